#include "odbc/sql/sqltext.h"

#include "winapi/text.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<const char*, 238> kKeywords = {
    "", "SELECT", "INSERT", "UPDATE", "DELETE", "EXEC", "EXECUTE", "CALL", "FROM", "WHERE",
    "ABSOLUTE", "ACTION", "ADA", "ADD", "ALL", "ALLOCATE", "ALTER", "AVG", "AND", "ANY", "ARE",
    "AS", "ASC", "ASSERTION", "AT", "AUTHORIZATION", "BEGIN", "BETWEEN", "BIT", "BIT_LENGTH",
    "BOTH", "BY", "CASCADE", "CASCADED", "CASE", "CAST", "CATALOG", "CHAR", "CHAR_LENGTH",
    "CHARACTER", "CHARACTER_LENGTH", "CHECK", "CLOSE", "COALESCE", "COLLATE", "COLLATION",
    "COLUMN", "COMMIT", "CONNECT", "CONNECTION", "CONSTRAINT", "CONSTRAINTS", "CONTINUE",
    "CONVERT", "CORRESPONDING", "COUNT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATE", "DAY", "DEALLOCATE",
    "DEC", "DECIMAL", "DECLARE", "DEFAULT", "DEFERRABLE", "DEFERRED", "DESC", "DESCRIBE",
    "DESCRIPTOR", "DIAGNOSTICS", "DISCONNECT", "DISTINCT", "DOMAIN", "DOUBLE", "DROP", "ELSE",
    "END", "END-EXEC", "ESCAPE", "EXCEPT", "EXCEPTION", "EXISTS", "EXTERNAL", "EXTRACT",
    "FALSE", "FETCH", "FIRST", "FLOAT", "FOR", "FOREIGN", "FORTRAN", "FOUND", "FULL", "GET",
    "GLOBAL", "GO", "GOTO", "GRANT", "GROUP", "HAVING", "HOUR", "IDENTITY", "IMMEDIATE", "IN",
    "INCLUDE", "INDEX", "INDICATOR", "INITIALLY", "INNER", "INPUT", "INSENSITIVE", "INT",
    "INTEGER", "INTERSECT", "INTERVAL", "INTO", "IS", "ISOLATION", "JOIN", "KEY", "LANGUAGE",
    "LAST", "LEADING", "LEFT", "LEVEL", "LIKE", "LOCAL", "LOWER", "MATCH", "MAX", "MIN",
    "MINUTE", "MODULE", "MONTH", "NAMES", "NATIONAL", "NATURAL", "NCHAR", "NEXT", "NO", "NONE",
    "NOT", "NULL", "NULLIF", "NUMERIC", "OCTET_LENGTH", "OF", "ON", "ONLY", "OPEN", "OPTION",
    "OR", "ORDER", "OUTER", "OUTPUT", "OVERLAPS", "PAD", "PARTIAL", "PASCAL", "PLI",
    "POSITION", "PRECISION", "PREPARE", "PRESERVE", "PRIMARY", "PRIOR", "PRIVILEGES",
    "PROCEDURE", "PUBLIC", "READ", "REAL", "REFERENCES", "RELATIVE", "RESTRICT", "REVOKE",
    "RIGHT", "ROLLBACK", "ROWS", "SCHEMA", "SCROLL", "SECOND", "SECTION", "SESSION",
    "SESSION_USER", "SET", "SIZE", "SMALLINT", "SOME", "SPACE", "SQL", "SQLCA", "SQLCODE",
    "SQLERROR", "SQLSTATE", "SQLWARNING", "SUBSTRING", "SUM", "SYSTEM_USER", "TABLE",
    "TEMPORARY", "THEN", "TIME", "TIMESTAMP", "TIMEZONE_HOUR", "TIMEZONE_MINUTE", "TO",
    "TRAILING", "TRANSACTION", "TRANSLATE", "TRANSLATION", "TRIM", "TRUE", "UNION", "UNIQUE",
    "UNKNOWN", "UPPER", "USAGE", "USER", "USING", "VALUE", "VALUES", "VARCHAR", "VARYING",
    "VIEW", "WHEN", "WHENEVER", "WITH", "WORK", "WRITE", "YEAR", "ZONE",
};

bool IsAsciiAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Bytes taken by the identifier character at p, 0 when there is none: a
// Latin letter or digit, "_", or a Cyrillic letter (А-я, Ё, ё in UTF-8).
std::size_t IdentChar(const char* p)
{
    const auto c = static_cast<unsigned char>(p[0]);
    if (IsAsciiAlnum(c) || c == '_')
        return 1;
    if (c != 0xD0 && c != 0xD1)
        return 0;
    const auto d = static_cast<unsigned char>(p[1]);
    if (c == 0xD0 && (d == 0x81 || (d >= 0x90 && d <= 0xBF)))
        return 2;
    if (c == 0xD1 && ((d >= 0x80 && d <= 0x8F) || d == 0x91))
        return 2;
    return 0;
}

// The blanks of a statement's text.
constexpr std::string_view kWhite = " \n\r\t\v\a\b";

bool IsWhite(char c)
{
    switch (c) {
    case ' ': case '\n': case '\r': case '\t': case '\v': case '\a': case '\b':
        return true;
    default:
        return false;
    }
}

bool IsQuote(char c)
{
    return c == '\'' || c == '"';
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const char* a, const char* b, std::size_t n, bool caseSensitive)
{
    if (caseSensitive)
        return std::memcmp(a, b, n) == 0;
    for (std::size_t i = 0; i < n; ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool SameWord(const std::string& word, const char* other, bool caseSensitive)
{
    return word.size() == std::strlen(other) && SameText(word.data(), other, word.size(), caseSensitive);
}

// Past a nested block comment that starts at pos ("/*"), or to the end.
std::size_t SkipBlockComment(const char* s, std::size_t pos)
{
    pos += 2;
    int level = 1;
    while (s[pos]) {
        if (s[pos] == '/' && s[pos + 1] == '*') {
            ++level;
            pos += 2;
        } else if (s[pos] == '*' && s[pos + 1] == '/') {
            pos += 2;
            if (--level < 1)
                break;
        } else {
            ++pos;
        }
    }
    return pos;
}

// Past a quoted string that starts at pos: to the next same quote, or to the end.
std::size_t SkipString(const char* s, std::size_t pos)
{
    const char quote = s[pos++];
    while (s[pos] && s[pos] != quote)
        ++pos;
    return s[pos] ? pos + 1 : pos;
}

// Past a "--" comment that starts at pos, its line break included (a CR LF
// pair is one break).
std::size_t SkipLineComment(const char* s, std::size_t pos)
{
    pos += 2;
    while (s[pos] && s[pos] != '\n' && s[pos] != '\r')
        ++pos;
    if (s[pos] == '\r' && s[pos + 1] == '\n')
        return pos + 2;
    return s[pos] ? pos + 1 : pos;
}

// Same place as SkipLineComment, but the line break stays.
std::size_t LineCommentEnd(const char* s, std::size_t pos)
{
    pos += 2;
    while (s[pos] && s[pos] != '\n' && s[pos] != '\r')
        ++pos;
    return pos;
}

const char* const kMessages[] = {
    "",
    "Отсутствует функция получения значений переменных.%s",
    "Отсутствует переменная '#%s' для подстановки.",
    "Определен символ подстановки '#', но отсутствует имя переменной.%s",
    "Определен символ связывания ':', но отсутствует имя переменной.%s",
    "Неопределенная ошибка.%s",
};

} // namespace

CParserReplace::CParserReplace(const char* text, ValueCallback callback)
    : m_source(text ? text : ""), m_callback(callback)
{
    const char* s = m_source;
    while (s[m_pos]) {
        if (!Token())
            break;
        // The character after each token is copied without being looked at.
        if (!s[m_pos])
            break;
        m_strOut += s[m_pos++];
    }
    m_strOut = winapi::Trim(m_strOut, kWhite);
}

CParserReplace::~CParserReplace() = default;

std::span<const char* const> CParserReplace::GetKeywords()
{
    return kKeywords;
}

bool CParserReplace::SetError(int code, std::string token)
{
    m_error = code;
    m_errorToken = std::move(token);
    return false;
}

bool CParserReplace::Token()
{
    const char* s = m_source;
    const char c = s[m_pos];
    if (c == '/') {
        if (s[m_pos + 1] == '*') {
            m_pos = SkipBlockComment(s, m_pos);
            m_strOut += ' ';
        } else {
            m_strOut += '/';
            ++m_pos;
        }
    } else if (c == '-') {
        if (s[m_pos + 1] == '-') {
            m_pos = LineCommentEnd(s, m_pos);
            if (s[m_pos] == '\r')
                ++m_pos;
            m_strOut += ' ';
        } else {
            m_strOut += '-';
            ++m_pos;
        }
    } else if (IsQuote(c)) {
        const std::size_t start = m_pos++;
        while (s[m_pos]) {
            if (s[m_pos] == c) {
                if (s[m_pos + 1] != c) {
                    ++m_pos;
                    break;
                }
                ++m_pos; // a doubled quote stands for one
            }
            ++m_pos;
        }
        m_strOut.append(s + start, m_pos - start);
    } else if (c == ':') {
        return BindVariable();
    } else if (c == '$') {
        return Substitution();
    } else if (IdentChar(s + m_pos)) {
        Word();
    }
    return true;
}

std::string CParserReplace::ReadName()
{
    const std::size_t start = m_pos;
    while (const std::size_t n = IdentChar(m_source + m_pos))
        m_pos += n;
    return std::string(m_source + start, m_pos - start);
}

void CParserReplace::Word()
{
    const std::string word = ReadName();
    m_strOut += word;
    for (int k = QuerySelect; k <= 7; ++k) {
        if (!SameWord(word, kKeywords[static_cast<std::size_t>(k)], false))
            continue;
        if (k == 1) {
            if (m_queryType != QuerySelect && m_queryType != QueryInsert && m_queryType != QueryUpdate)
                m_queryType = QuerySelect;
        } else if (k <= 4) {
            m_queryType = k;
        } else if (m_queryType == QueryUnknown) {
            m_queryType = QueryProcedure;
        }
        return;
    }
}

bool CParserReplace::BindVariable()
{
    ++m_pos;
    const std::string name = ReadName();
    if (name.empty())
        return SetError(4, {});
    m_bindVariables.push_back(":" + name);
    m_strOut += '?';
    return true;
}

bool CParserReplace::Substitution()
{
    ++m_pos;
    const std::string name = ReadName();
    if (name.empty())
        return SetError(3, {});
    if (!m_callback)
        return SetError(1, {});
    m_value.clear();
    if (!m_callback(name.c_str(), m_value))
        return SetError(2, name);
    m_strOut += m_value;
    return true;
}

std::string CParserReplace::GetError()
{
    if (m_error == 0)
        return {};
    if (m_error < 1 || m_error > 5)
        m_error = 5;
    std::string message = kMessages[m_error];
    const auto at = message.find("%s");
    if (at != std::string::npos)
        message.replace(at, 2, m_errorToken);
    return message;
}

void CParserReplace::GetBindVariables(std::vector<std::string>& names)
{
    names = m_bindVariables;
}

void GetBatchsFromString(const char* script, std::vector<std::string>& batches)
{
    if (!script)
        return;
    const char* s = script;
    std::size_t start = 0, pos = 0;
    auto endBatch = [&](std::size_t end, std::size_t next) {
        std::string batch = winapi::Trim(std::string(s + start, end - start), kWhite);
        if (!batch.empty())
            batches.push_back(std::move(batch));
        start = next;
    };
    while (s[pos]) {
        const char c = s[pos];
        if (IsQuote(c)) {
            pos = SkipString(s, pos);
        } else if (c == '-' && s[pos + 1] == '-') {
            pos = SkipLineComment(s, pos);
        } else if (c == '/' && s[pos + 1] == '*') {
            pos = SkipBlockComment(s, pos);
        } else if (IsWhite(c)) {
            while (IsWhite(s[pos]))
                ++pos;
        } else if (IdentChar(s + pos)) {
            const std::size_t word = pos;
            while (const std::size_t n = IdentChar(s + pos))
                pos += n;
            if (pos - word == 2 && SameText(s + word, "GO", 2, false))
                endBatch(word, pos);
        } else if (c == ';') {
            endBatch(pos, pos + 1);
            ++pos;
        } else {
            ++pos;
        }
    }
    endBatch(pos, pos);
}

void DeleteAllComments(const char* text, std::string& out)
{
    out.clear();
    if (!text)
        return;
    const char* s = text;
    std::size_t pos = 0;
    // A comment separates what stands on either side of it; where nothing
    // else does, one blank keeps "a/**/b" from becoming the word "ab".
    auto dropped = [&](std::size_t next) {
        if (!out.empty() && !IsWhite(out.back()) && s[next] && !IsWhite(s[next]))
            out += ' ';
        pos = next;
    };
    while (s[pos]) {
        const char c = s[pos];
        if (IsQuote(c)) {
            const std::size_t end = SkipString(s, pos);
            out.append(s + pos, end - pos);
            pos = end;
        } else if (c == '-' && s[pos + 1] == '-') {
            dropped(SkipLineComment(s, pos));
        } else if (c == '/' && s[pos + 1] == '*') {
            dropped(SkipBlockComment(s, pos));
        } else {
            out += c;
            ++pos;
        }
    }
}

const char* FindSubString(const char* text, const char* sub, bool caseSensitive)
{
    if (!text || !*text || !sub)
        return nullptr;
    const std::size_t size = std::strlen(text);
    const std::size_t n = std::strlen(sub);
    for (std::size_t i = 0; i + n <= size; ++i)
        if (SameText(text + i, sub, n, caseSensitive))
            return text + i;
    return nullptr;
}

void WordsReplaceCode(const char* text, const CWordReplace* table, std::string& out,
                      bool caseSensitive, const char* separators)
{
    if (!text)
        return;
    const char* s = text;
    const char* seps = separators ? separators : "";
    auto isSeparator = [&](char c) { return c && std::strchr(seps, c) != nullptr; };
    auto emit = [&](const std::string& word) {
        for (const CWordReplace* e = table; e && e->m_word; ++e)
            if (SameWord(word, e->m_word, caseSensitive)) {
                out += e->m_replace ? e->m_replace : "";
                return;
            }
        out += word;
    };
    std::size_t pos = 0;
    while (s[pos]) {
        const char c = s[pos];
        std::size_t end = pos + 1;
        if (IsQuote(c)) {
            end = SkipString(s, pos);
        } else if (c == '-' && s[pos + 1] == '-') {
            end = LineCommentEnd(s, pos);
        } else if (c == '/' && s[pos + 1] == '*') {
            end = SkipBlockComment(s, pos);
        } else if (c == '-' || c == '/') {
        } else if (isSeparator(c)) {
            emit(std::string(1, c));
            pos = end;
            continue;
        } else if (IsWhite(c)) {
            while (IsWhite(s[end]))
                ++end;
        } else {
            while (s[end] && !IsWhite(s[end]) && !isSeparator(s[end]))
                ++end;
            emit(std::string(s + pos, end - pos));
            pos = end;
            continue;
        }
        out.append(s + pos, end - pos);
        pos = end;
    }
}
