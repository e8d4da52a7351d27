#include "odbc/sql/dialect.h"

#include "odbcbase/diagnostics.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

DbEngine EngineOf(const CDatabase& db) { return db.GetDialect().engine(); }


namespace {

struct NamePart {
    std::string text;
    bool doubleQuoted = false; // "Name": its case is the caller's
};

// Splits "a.b", "[a].[b]" or "\"a\".\"b\"" into its parts, quotes removed.
std::vector<NamePart> NameParts(const std::string& name)
{
    std::vector<NamePart> parts;
    NamePart part;
    std::size_t i = 0;
    while (i <= name.size()) {
        if (i < name.size() && (name[i] == '[' || name[i] == '"')) {
            char close = name[i] == '[' ? ']' : '"';
            part.doubleQuoted = close == '"';
            ++i;
            while (i < name.size()) {
                if (name[i] == close) {
                    if (i + 1 < name.size() && name[i + 1] == close) {
                        part.text += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                part.text += name[i++];
            }
            continue;
        }
        if (i == name.size() || name[i] == '.') {
            parts.push_back(part);
            part = NamePart{};
            ++i;
            continue;
        }
        part.text += name[i++];
    }
    return parts;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string QuoteObjectName(const CDatabase& db, const std::string& name)
{
    DbEngine engine = EngineOf(db);
    std::vector<NamePart> parts = NameParts(name);
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string part = parts[i].text;
        if (engine == DbEngine::PostgreSql) {
            // Bare and bracketed names fold as PostgreSQL folds unquoted ones;
            // a double-quoted part is already PostgreSQL's own spelling.
            if (!parts[i].doubleQuoted)
                part = Lower(part);
            if (i + 1 < parts.size() && part == "dbo")
                part = "public";
        } else if (engine == DbEngine::Sqlite && i + 1 < parts.size() && Lower(part) == "dbo") {
            continue; // one schema only
        }
        if (!out.empty())
            out += '.';
        if (engine == DbEngine::SqlServer)
            out += Enclose(part, '[', ']');
        else
            out += Enclose(part, '"', '"');
    }
    return out;
}

std::string MaxDataLengthQuery(const CDatabase& db, const std::string& table, const std::string& field)
{
    const std::string t = QuoteObjectName(db, table);
    const std::string f = QuoteObjectName(db, field);
    switch (EngineOf(db)) {
    case DbEngine::SqlServer: return "SELECT CONVERT(INT,MAX(DATALENGTH(" + f + "))) FROM " + t;
    case DbEngine::PostgreSql: return "SELECT CAST(MAX(octet_length(" + f + ")) AS INTEGER) FROM " + t;
    default: return "SELECT MAX(length(CAST(" + f + " AS BLOB))) FROM " + t;
    }
}

std::string Enclose(const std::string& text, char open, char close)
{
    std::string out(1, open);
    for (char c : text) {
        out += c;
        if (c == close)
            out += close;
    }
    return out + close;
}

std::string QuoteIdentifier(const std::string& name)
{
    return Enclose(name, '"', '"');
}

std::string QuoteLiteral(const std::string& text)
{
    return Enclose(text, '\'', '\'');
}

bool QueryFirstValue(CDatabase& db, const std::string& sql, const std::vector<std::string>& params,
                     std::string& out, bool* isNull)
{
    out.clear();
    if (isNull != nullptr)
        *isNull = false;
    if (!db.IsOpen())
        db.ThrowDBException(SQL_INVALID_HANDLE);
    HSTMT hstmt = SQL_NULL_HSTMT;
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, db.m_hdbc, &hstmt);
    if (!db.Check(rc))
        AfxThrowDBException(rc, &db, SQL_NULL_HSTMT);
    bool row = false;
    try {
        std::vector<SQLLEN> lengths(params.size(), SQL_NTS);
        for (std::size_t i = 0; i < params.size(); ++i) {
            rc = SQLBindParameter(hstmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                  std::max<SQLULEN>(params[i].size(), 1), 0,
                                  const_cast<char*>(params[i].c_str()), 0, &lengths[i]);
            if (!db.Check(rc))
                AfxThrowDBException(rc, &db, hstmt);
        }
        std::string text = sql;
        rc = AfxOdbcRetry([&] { return SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS); });
        if (!db.Check(rc))
            AfxThrowDBException(rc, &db, hstmt);
        rc = AfxOdbcRetry([&] { return SQLFetch(hstmt); });
        if (!db.Check(rc))
            AfxThrowDBException(rc, &db, hstmt);
        if (rc != SQL_NO_DATA) {
            row = true;
            std::vector<char> buffer(256);
            SQLLEN indicator = 0;
            for (;;) {
                rc = AfxOdbcRetry([&] {
                    return SQLGetData(hstmt, 1, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()),
                                      &indicator);
                });
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc))
                    AfxThrowDBException(rc, &db, hstmt);
                if (indicator == SQL_NULL_DATA) {
                    if (isNull != nullptr)
                        *isNull = true;
                    break;
                }
                std::size_t got = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(buffer.size())
                                      ? buffer.size() - 1
                                      : static_cast<std::size_t>(indicator);
                out.append(buffer.data(), got);
                if (rc == SQL_SUCCESS)
                    break;
            }
        }
    } catch (...) {
        SQLCancel(hstmt);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
        throw;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return row;
}

std::string IdentityColumnOf(CDatabase& db, const std::string& table)
{
    std::string column;
    switch (EngineOf(db)) {
    case DbEngine::PostgreSql:
        QueryFirstValue(db,
                        "SELECT a.attname FROM pg_catalog.pg_attribute a "
                        "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped "
                        "AND (a.attidentity <> '' OR pg_catalog.pg_get_serial_sequence(CAST(a.attrelid AS "
                        "regclass)::text, a.attname) IS NOT NULL) ORDER BY a.attnum LIMIT 1",
                        {QuoteObjectName(db, table)}, column);
        break;
    case DbEngine::Sqlite:
        column = "rowid";
        break;
    default:
        break;
    }
    return column;
}

std::string LastKeyQuery(CDatabase& db, const std::string& table)
{
    switch (EngineOf(db)) {
    case DbEngine::PostgreSql: {
        const std::string column = table.empty() ? std::string() : IdentityColumnOf(db, table);
        if (column.empty())
            return std::string();
        // currval is the session's own last value, so a multi-row INSERT
        // gives its last key, as last_insert_rowid() does.
        return "SELECT CAST(currval(pg_catalog.pg_get_serial_sequence(" + QuoteLiteral(QuoteObjectName(db, table)) +
               ", " + QuoteLiteral(column) + ")) AS VARCHAR)";
    }
    case DbEngine::Sqlite:
        return "SELECT CAST(last_insert_rowid() AS TEXT)";
    default:
        return std::string();
    }
}

bool IsUnsupportedAttribute(HSTMT hstmt)
{
    const std::string s = odbcbase::FirstSqlState(SQL_HANDLE_STMT, hstmt);
    return s == "HY091" || s == "HY092" || s == "HYC00" || s == "S1091" || s == "S1092" || s == "S1C00";
}

std::string DataTypeNamesQuery(const CDatabase& db, bool userDefined)
{
    switch (EngineOf(db)) {
    case DbEngine::SqlServer:
        return std::string("SELECT name FROM sys.types WHERE ") + (userDefined ? "user_type_id>=257" : "user_type_id<257") +
               " ORDER BY 1";
    case DbEngine::PostgreSql:
        // Neither the row types of tables nor the array types that come
        // with every type.
        return std::string("SELECT CAST(t.typname AS VARCHAR) FROM pg_catalog.pg_type t JOIN pg_catalog.pg_namespace n ON "
                           "n.oid = t.typnamespace LEFT JOIN pg_catalog.pg_class c ON c.oid = t.typrelid WHERE "
                           "t.typcategory <> 'A' AND (t.typrelid = 0 OR c.relkind = 'c') AND ") +
               (userDefined ? "n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_%'"
                            : "n.nspname = 'pg_catalog'") +
               " ORDER BY 1";
    default: return std::string();
    }
}

std::string RoutineKindsQuery(const std::string& owner)
{
    return "SELECT CAST(p.proname AS VARCHAR), CAST(p.prokind AS VARCHAR) FROM pg_catalog.pg_proc p JOIN "
           "pg_catalog.pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = " +
           QuoteLiteral(owner);
}
