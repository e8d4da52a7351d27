#include "winapi/text.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <cwctype>
#include <fstream>
#include <locale.h>
#include <wctype.h>

extern char** environ;

namespace winapi {
namespace {

constexpr char32_t kInvalidBase = 0x110000; // invalid byte b decodes to kInvalidBase + b

// Decodes one character at `pos`; advances `pos`.
char32_t decode(std::string_view s, std::size_t& pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    auto invalid = [&] { ++pos; return kInvalidBase + b0; };
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) { extra = 1; cp = b0 & 0x1Fu; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { extra = 2; cp = b0 & 0x0Fu; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { extra = 3; cp = b0 & 0x07u; }
    else return invalid();
    if (pos + static_cast<std::size_t>(extra) >= s.size())
        return invalid();
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return invalid();
        cp = (cp << 6) | (b & 0x3Fu);
    }
    // Overlong forms, surrogates and values above U+10FFFF are not characters.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return invalid();
    pos += 1 + extra;
    return cp;
}

void encode(char32_t cp, std::string& out)
{
    if (cp >= kInvalidBase) {
        out.push_back(static_cast<char>(cp - kInvalidBase));
    } else if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

locale_t utf8Locale()
{
    static const locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

char32_t upper(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    if (cp >= kInvalidBase || utf8Locale() == static_cast<locale_t>(nullptr))
        return cp;
    return static_cast<char32_t>(::towupper_l(static_cast<wint_t>(cp), utf8Locale()));
}

char32_t lower(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp >= kInvalidBase || utf8Locale() == static_cast<locale_t>(nullptr))
        return cp;
    return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), utf8Locale()));
}

char32_t fold(char32_t cp) { return lower(upper(cp)); }

template <typename F>
std::string mapChars(std::string_view text, F f)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        encode(f(decode(text, pos)), out);
    return out;
}

} // namespace

std::size_t Utf8Length(std::string_view text)
{
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); ++n)
        decode(text, pos);
    return n;
}

std::string_view Utf8Left(std::string_view text, std::size_t maxChars)
{
    std::size_t pos = 0;
    for (std::size_t n = 0; n < maxChars && pos < text.size(); ++n)
        decode(text, pos);
    return text.substr(0, pos);
}

std::size_t Utf8CutBytes(std::string_view text, std::size_t maxBytes)
{
    const std::size_t length = std::min(text.size(), maxBytes);
    if (length == 0)
        return 0;
    // The lead byte of the last sequence the prefix touches.
    std::size_t start = length - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    const auto lead = static_cast<unsigned char>(text[start]);
    const std::size_t need = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start + need > length ? start : length;
}

std::string Trim(std::string_view text, std::string_view blanks)
{
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos)
        return {};
    return std::string(text.substr(begin, text.find_last_not_of(blanks) - begin + 1));
}

std::string TrimRight(std::string_view text, std::string_view blanks)
{
    const std::size_t last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendHexByte(std::string& out, unsigned char byte, bool upperCase)
{
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendUtf16AsUtf8(out, text);
    return out;
}

void AppendUtf16AsUtf8(std::string& out, std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        encode(cp, out);
    }
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t need = 0;
        if (c < 0x80) { cp = c; need = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; need = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; need = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; need = 3; }
        else { ++i; out.push_back(0xFFFD); continue; }
        bool ok = true;
        for (std::size_t k = 1; k <= need; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += need + 1;
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf8Upper(std::string_view text) { return mapChars(text, upper); }
std::string Utf8Lower(std::string_view text) { return mapChars(text, lower); }
std::string Utf8Fold(std::string_view text) { return mapChars(text, fold); }

int Utf8CompareNoCase(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = fold(decode(a, i));
        const char32_t cb = fold(decode(b, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool Utf8EqualNoCase(std::string_view a, std::string_view b) { return Utf8CompareNoCase(a, b) == 0; }

int StrToInt(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

namespace {

// LANGUAGE as the user set it, kept by InitProcessLocale for the programs
// this process starts.
struct UserLanguage {
    bool kept = false;
    bool set = false;
    std::string value;
};
UserLanguage g_userLanguage;

constexpr std::string_view kLanguageVariable = "LANGUAGE";

} // namespace

void InitProcessLocale()
{
    if (std::setlocale(LC_ALL, "") == nullptr)
        std::setlocale(LC_ALL, "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");
    // Translated messages come out in the character set of LC_CTYPE: in
    // any other than UTF-8 the windows' Russian would turn to question marks.
    if (std::string_view(::nl_langinfo(CODESET)) != "UTF-8")
        std::setlocale(LC_CTYPE, "C.UTF-8");
    const char* language = std::getenv(kLanguageVariable.data());
    g_userLanguage = {true, language != nullptr, language ? language : ""};
    // Present from here on (empty is the same as unset), so that a change of
    // the windows' language later replaces its value in place instead of
    // growing the environment while other threads may read it.
    if (!language)
        ::setenv(kLanguageVariable.data(), "", 0);
}

void SetMessagesLanguage(UiLanguage language)
{
    if (language == UiLanguage::Russian) {
        if (std::setlocale(LC_MESSAGES, "ru_RU.UTF-8") == nullptr)
            std::setlocale(LC_MESSAGES, "C.UTF-8");
        ::setenv(kLanguageVariable.data(), "ru", 1);
    } else {
        std::setlocale(LC_MESSAGES, "C");
        ::setenv(kLanguageVariable.data(), "", 1);
    }
}

std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> entries;
    const std::string prefix = std::string(kLanguageVariable) + "=";
    for (char** entry = environ; *entry; ++entry) {
        if (g_userLanguage.kept && std::string_view(*entry).starts_with(prefix))
            continue;
        entries.emplace_back(*entry);
    }
    if (g_userLanguage.kept && g_userLanguage.set)
        entries.push_back(prefix + g_userLanguage.value);
    return entries;
}

ChildEnvironmentBlock::ChildEnvironmentBlock() : m_entries(ChildEnvironment())
{
    for (std::string& entry : m_entries)
        m_pointers.push_back(entry.data());
    m_pointers.push_back(nullptr);
}

namespace {

locale_t displayLocale(bool systemDefault)
{
    static const locale_t user = [] {
        locale_t l = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    static const locale_t system = [] {
        std::string name;
        std::ifstream in("/etc/default/locale");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("LANG=", 0) == 0) {
                name = line.substr(5);
                if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                    name = name.substr(1, name.size() - 2);
            }
        }
        locale_t l = static_cast<locale_t>(nullptr);
        if (!name.empty())
            l = ::newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return systemDefault ? system : user;
}

std::string formatWith(const char* format, const std::tm& when, bool systemDefault)
{
    char buf[256];
    const std::size_t n = ::strftime_l(buf, sizeof buf, format, &when, displayLocale(systemDefault));
    return std::string(buf, n);
}

} // namespace

std::string GetDateFormat(const std::tm& when, bool longDate, bool systemDefault)
{
    return formatWith(longDate ? "%e %B %Y" : "%x", when, systemDefault);
}

std::string GetTimeFormat(const std::tm& when, bool systemDefault)
{
    return formatWith("%H:%M:%S", when, systemDefault);
}

} // namespace winapi
