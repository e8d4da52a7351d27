// Ad-hoc statements of CDatabaseEx, the column and parameter descriptions,
// the one-value queries and the data-model check.
#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/odbcrecord.h"

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

SQLPOINTER AttrValue(SQLULEN v)
{
    return reinterpret_cast<SQLPOINTER>(v);
}

// A statement handle freed on every way out.
class Statement {
public:
    explicit Statement(CDatabase& db) : m_db(db)
    {
        if (!db.IsOpen())
            db.ThrowDBException(SQL_INVALID_HANDLE);
        RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, db.m_hdbc, &m_hstmt);
        if (!db.CheckHstmt(rc, SQL_NULL_HSTMT))
            AfxThrowDBException(rc, &db, SQL_NULL_HSTMT);
    }
    ~Statement()
    {
        if (m_cancel)
            SQLCancel(m_hstmt);
        SQLFreeHandle(SQL_HANDLE_STMT, m_hstmt);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    HSTMT get() const { return m_hstmt; }
    void Check(RETCODE rc)
    {
        if (!m_db.CheckHstmt(rc, m_hstmt)) {
            m_cancel = true;
            AfxThrowDBException(rc, &m_db, m_hstmt);
        }
    }
    void Cancel() { m_cancel = true; }

private:
    CDatabase& m_db;
    HSTMT m_hstmt = SQL_NULL_HSTMT;
    bool m_cancel = false;
};

// Reads a text or binary column whole, however the driver reports its size.
// False for NULL.
bool ReadWhole(CDatabase* db, HSTMT hstmt, WORD column, SQLSMALLINT cType, std::string& out)
{
    out.clear();
    std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    std::vector<char> buffer(4096);
    for (;;) {
        SQLLEN indicator = 0;
        RETCODE rc = AfxOdbcRetry([&] {
            return SQLGetData(hstmt, column, cType, buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator);
        });
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc))
            AfxThrowDBException(rc, db, hstmt);
        if (indicator == SQL_NULL_DATA)
            return false;
        std::size_t room = buffer.size() - terminator;
        std::size_t got = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room
                              ? room
                              : static_cast<std::size_t>(indicator);
        out.append(buffer.data(), got);
        if (rc == SQL_SUCCESS)
            return true;
        if (indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) > room)
            buffer.resize(std::max(buffer.size(), static_cast<std::size_t>(indicator) - got + terminator));
    }
}

int LeadingInt(const std::string& text)
{
    // StrToInt: optional sign, then digits; none give 0.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 0x7FFFFFFF)
        value = value * 10 + (text[i++] - '0');
    return static_cast<int>(negative ? -value : value);
}

} // namespace

void GetParamInfo(CDatabase* db, void* hstmt, std::vector<CODBCParamInfoEx>& out)
{
    SQLSMALLINT count = 0;
    RETCODE rc = AfxOdbcRetry([&] { return SQLNumParams(hstmt, &count); });
    if (!db->CheckHstmt(rc, hstmt))
        AfxThrowDBException(rc, db, hstmt);
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        CODBCParamInfoEx info(("PARAM_" + std::to_string(i)).c_str(), i);
        SQLSMALLINT type = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        rc = AfxOdbcRetry([&] { return SQLDescribeParam(hstmt, static_cast<SQLUSMALLINT>(i), &type, &size, &scale, &nullable); });
        if (!db->CheckHstmt(rc, hstmt))
            AfxThrowDBException(rc, db, hstmt);
        info.m_nSQLType = type;
        info.m_nPrecision = static_cast<std::uint32_t>(std::min<SQLULEN>(size, 0xFFFFFFFFu));
        info.m_nScale = scale;
        out.push_back(info);
    }
}

void GetFieldInfo(CDatabase* db, void* hstmt, std::vector<CODBCFieldInfoEx>& out)
{
    SQLSMALLINT count = 0;
    AfxOdbcRetry([&] { return SQLNumResultCols(hstmt, &count); });
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        CODBCFieldInfoEx info;
        GetFieldInfo(db, hstmt, static_cast<WORD>(i), info);
        out.push_back(info);
    }
}

void GetFieldInfo(CDatabase* db, void* hstmt, WORD column, CODBCFieldInfoEx& info)
{
    SQLCHAR name[257] = {};
    SQLSMALLINT nameLength = 0;
    RETCODE rc = AfxOdbcRetry([&] {
        return SQLDescribeCol(hstmt, column, name, 256, &nameLength, &info.m_nSQLType, &info.m_nPrecision,
                              &info.m_nScale, &info.m_nNullability);
    });
    if (!db->CheckHstmt(rc, hstmt))
        AfxThrowDBException(rc, db, hstmt);
    info.m_strName.assign(reinterpret_cast<const char*>(name),
                          strnlen(reinterpret_cast<const char*>(name), std::min<std::size_t>(nameLength, 256)));
    if (info.m_nPrecision == 0) {
        switch (info.m_nSQLType) {
        case SQL_SS_XML:
        case SQL_LONGVARCHAR:
        case SQL_VARCHAR:
            info.m_nSQLType = SQL_LONGVARCHAR;
            break;
        case SQL_WLONGVARCHAR:
        case SQL_WVARCHAR:
            info.m_nSQLType = SQL_WLONGVARCHAR;
            break;
        default:
            info.m_nSQLType = SQL_LONGVARBINARY;
            break;
        }
        info.m_nPrecision = 0x20000000;
    }
    auto attribute = [&](SQLUSMALLINT field) {
        SQLLEN value = 0;
        RETCODE r = AfxOdbcRetry([&] { return SQLColAttribute(hstmt, column, field, nullptr, 0, nullptr, &value); });
        // A flag the driver does not know is taken as not set.
        if (r == SQL_ERROR && IsUnsupportedAttribute(hstmt))
            return SQLLEN(0);
        if (!db->CheckHstmt(r, hstmt))
            AfxThrowDBException(r, db, hstmt);
        return value;
    };
    info.m_nSearchable = static_cast<std::int16_t>(attribute(SQL_DESC_SEARCHABLE) & 0xFFFF);
    info.m_bAutoIncrement = attribute(SQL_DESC_AUTO_UNIQUE_VALUE) == 1;
    info.m_bCaseSensitive = attribute(SQL_DESC_CASE_SENSITIVE) == 1;
    info.m_nUpdatable = attribute(SQL_DESC_UPDATABLE) == SQL_ATTR_WRITE ? 1 : 0;
}

void GetFieldData(CDatabase* db, void* hstmt, WORD column, CDBFieldValue& value)
{
    short cType = CODBCRecord::GetDefaultFieldTypeEx(value.m_info.m_nSQLType);
    CDBVariantEx& v = value.m_value;
    v.Clear();
    CODBCRecord::CreateDataBuffer(v, cType);
    void* target = nullptr;
    SQLLEN length = 0;
    switch (v.m_dwType) {
    case DBVT_BOOL:
    case DBVT_LONG:
    case DBVT_SINGLE:
        target = &v.m_lVal;
        length = 4;
        break;
    case DBVT_UCHAR:
        target = &v.m_chVal;
        length = 1;
        break;
    case DBVT_SHORT:
        target = &v.m_iVal;
        length = 2;
        break;
    case DBVT_DOUBLE:
    case DBVT_BIGINT:
        target = &v.m_dblVal;
        length = 8;
        break;
    case DBVT_DATE:
        target = v.m_pdate;
        length = 16;
        break;
    case DBVT_GUID:
        target = v.m_pguid;
        length = 16;
        break;
    case DBVT_STRING:
    case DBVT_BINARY: {
        // Read whole: long columns and those that report no size alike.
        std::string bytes;
        bool text = v.m_dwType == DBVT_STRING;
        if (!ReadWhole(db, hstmt, column, text ? SQL_C_CHAR : SQL_C_BINARY, bytes)) {
            v.Clear();
            return;
        }
        if (text)
            *v.m_pstring = bytes;
        else
            v.m_pbinary->assign(bytes.begin(), bytes.end());
        v.m_nLength = static_cast<SQLLEN>(bytes.size());
        return;
    }
    default:
        return;
    }
    SQLLEN indicator = 0;
    RETCODE rc = AfxOdbcRetry([&] { return SQLGetData(hstmt, column, cType, target, length, &indicator); });
    if (!db->CheckHstmt(rc, hstmt))
        AfxThrowDBException(rc, db, hstmt);
    if (indicator == SQL_NULL_DATA)
        v.Clear();
    else
        v.m_nLength = indicator;
}

void CDatabaseEx::BindParamArray(HSTMT hstmt, const char* sql, CArrayPointParam& params)
{
    bool defaults = false;
    for (int i = 0; i < params.GetParamCount(); ++i)
        defaults = defaults || params.GetSQLType(i) == SQL_DEFAULT;
    if (defaults) {
        std::vector<CODBCParamInfoEx> infos;
        GetSQLFieldParamInfo(sql, nullptr, &infos);
        if (static_cast<int>(infos.size()) != params.GetParamCount())
            AfxThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH, this, hstmt);
        for (int i = 0; i < params.GetParamCount(); ++i) {
            if (params.GetSQLType(i) != SQL_DEFAULT)
                continue;
            params.SetSQLType(i, infos[i].m_nSQLType);
            params.SetPrec(i, infos[i].m_nPrecision);
            params.SetScale(i, infos[i].m_nScale);
        }
    }
    auto check = [&](RETCODE rc) {
        if (!CheckHstmt(rc, hstmt))
            AfxThrowDBException(rc, this, hstmt);
    };
    check(SQLSetStmtAttr(hstmt, SQL_ATTR_PARAM_BIND_TYPE, AttrValue(SQL_PARAM_BIND_BY_COLUMN), 0));
    check(SQLSetStmtAttr(hstmt, SQL_ATTR_PARAMSET_SIZE, AttrValue(params.GetArraysSize()), 0));
    check(SQLSetStmtAttr(hstmt, SQL_ATTR_PARAM_STATUS_PTR, params.GetStatusArray(), 0));
    check(SQLSetStmtAttr(hstmt, SQL_ATTR_PARAMS_PROCESSED_PTR, params.GetParamsProcessed(), 0));
    for (int i = 0; i < params.GetParamCount(); ++i)
        check(SQLBindParameter(hstmt, static_cast<SQLUSMALLINT>(i + 1), params.GetParamType(i),
                               params.GetSQL_C_Type(i), params.GetSQLType(i), params.GetPrec(i), params.GetScale(i),
                               params.GetArrayData(i), static_cast<SQLLEN>(params.GetPrec(i)), params.GetArrayLen(i)));
}

bool CDatabaseEx::GetOneRecord(const char* sql, CDBTypedPtrArrayEx<CDBFieldValue*>& fields, CArrayPointParam* params,
                               bool keepCursor)
{
    fields.RemoveAll();
    Statement st(*this);
    HSTMT hstmt = st.get();
    try {
        OnSetOptions(hstmt);
        if (!keepCursor) {
            SQLUINTEGER scroll = 0;
            st.Check(SQLGetInfo(m_hdbc, SQL_SCROLL_OPTIONS, &scroll, sizeof scroll, nullptr));
            if (scroll & SQL_SO_STATIC)
                st.Check(SQLSetStmtAttr(hstmt, SQL_ATTR_CURSOR_TYPE, AttrValue(SQL_CURSOR_STATIC), 0));
        }
        if (params != nullptr)
            BindParamArray(hstmt, sql, *params);
        std::string text = sql ? sql : "";
        RETCODE rc = AfxOdbcRetry([&] { return SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS); });
        // SQL_NO_DATA here is a statement that touched no row; later results
        // of a batch may still have columns.
        st.Check(rc);
        SQLSMALLINT cols = 0;
        for (;;) {
            st.Check(AfxOdbcRetry([&] { return SQLNumResultCols(hstmt, &cols); }));
            if (cols > 0)
                break;
            rc = AfxOdbcRetry([&] { return SQLMoreResults(hstmt); });
            if (!CheckHstmt(rc, hstmt) || rc == SQL_NO_DATA)
                return true;
        }
        for (SQLSMALLINT c = 1; c <= cols; ++c) {
            auto record = std::make_unique<CDBFieldValue>();
            GetFieldInfo(this, hstmt, static_cast<WORD>(c), record->m_info);
            fields.Add(std::move(record));
        }
        rc = AfxOdbcRetry([&] { return SQLFetch(hstmt); });
        st.Check(rc);
        if (rc == SQL_NO_DATA)
            return false;
        for (SQLSMALLINT c = 1; c <= cols; ++c)
            GetFieldData(this, hstmt, static_cast<WORD>(c), *fields[c - 1]);
    } catch (...) {
        st.Cancel();
        throw;
    }
    return true;
}

const char* CDatabaseEx::GetIdentityScript() const
{
    if (EngineOf(*this) == DbEngine::SqlServer)
        return "\nSELECT CONVERT(VARCHAR, SCOPE_IDENTITY())";
    return nullptr;
}

namespace {

// The table an INSERT statement writes to ("INSERT INTO name ..."); empty
// when the text does not say.
std::string InsertTarget(const std::string& sql)
{
    std::size_t i = 6;
    auto skip = [&] {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
            ++i;
    };
    skip();
    if (strncasecmp(sql.c_str() + i, "INTO", 4) != 0)
        return std::string();
    i += 4;
    skip();
    std::size_t start = i;
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '"' || c == '[') {
            char close = c == '[' ? ']' : '"';
            for (++i; i < sql.size() && sql[i] != close; ++i)
                ;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)) || c == '(')
            break;
        ++i;
    }
    return sql.substr(start, i - start);
}

} // namespace

void CDatabaseEx::ExecuteSQL_Ex(const char* sql, CArrayPointParam* params, CODBCStringValue* identity)
{
    if (params == nullptr && identity == nullptr) {
        ExecuteSQL(sql);
        return;
    }
    std::string text = sql ? sql : "";
    const bool insert = text.size() >= 6 && strncasecmp(text.c_str(), "INSERT", 6) == 0;
    bool readBack = identity != nullptr && insert &&
                    (params == nullptr || params->GetArraysSize() == 1);
    // The engines read the key of the row this statement inserted each in its
    // own way; the caller's text is run as given (a clause appended to it
    // would break a statement ending in ';' or a comment).
    std::string keyQuery;
    if (readBack) {
        const char* script = GetIdentityScript();
        if (script != nullptr && *script != '\0') {
            text += script;
        } else {
            keyQuery = LastKeyQuery(*this, InsertTarget(text));
            readBack = false;
        }
    }
    bool inserted = true;
    {
        Statement st(*this);
        HSTMT hstmt = st.get();
        try {
            OnSetOptions(hstmt);
            if (params != nullptr)
                BindParamArray(hstmt, text.c_str(), *params);
            RETCODE rc =
                AfxOdbcRetry([&] { return SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS); });
            st.Check(rc);
            inserted = rc != SQL_NO_DATA;
            // A first statement that touched no row still leaves the batch's
            // later results to read.
            do {
                SQLSMALLINT cols = 0;
                AfxOdbcRetry([&] { return SQLNumResultCols(hstmt, &cols); });
                if (cols > 0) {
                    if (readBack) {
                        rc = AfxOdbcRetry([&] { return SQLFetch(hstmt); });
                        st.Check(rc);
                        if (rc != SQL_NO_DATA) {
                            CDBFieldValue value;
                            value.m_info.m_nSQLType = SQL_VARCHAR;
                            GetFieldData(this, hstmt, 1, value);
                            if (value.m_value.m_dwType != DBVT_NULL)
                                value.m_value.GetData(identity->m_strValue, -1);
                            readBack = false;
                        }
                    }
                    while (SQL_SUCCEEDED(rc = AfxOdbcRetry([&] { return SQLFetch(hstmt); })))
                        ;
                }
                rc = AfxOdbcRetry([&] { return SQLMoreResults(hstmt); });
            } while (CheckHstmt(rc, hstmt) && rc != SQL_NO_DATA);
        } catch (...) {
            st.Cancel();
            throw;
        }
    }
    if (insert)
        m_strLastInsertTable = InsertTarget(text);
    if (!keyQuery.empty() && inserted) {
        std::string key;
        bool null = false;
        try {
            if (QueryFirstValue(*this, keyQuery, {}, key, &null) && !null)
                identity->m_strValue = key;
        } catch (CDBException& e) {
            // 55000: the INSERT gave its own keys, the sequence was not used
            // in this session, so there is no generated key to report.
            if (e.m_strStateNativeOrigin.find("State:55000") == std::string::npos)
                throw;
        }
    }
}

void CDatabaseEx::GetSQLFieldParamInfo(const char* sql, std::vector<CODBCFieldInfoEx>* fields,
                                       std::vector<CODBCParamInfoEx>* params)
{
    Statement st(*this);
    HSTMT hstmt = st.get();
    std::string text = sql ? sql : "";
    RETCODE rc = AfxOdbcRetry([&] { return SQLPrepare(hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS); });
    st.Check(rc);
    if (fields != nullptr) {
        fields->clear();
        GetFieldInfo(this, hstmt, *fields);
    }
    if (params != nullptr) {
        params->clear();
        GetParamInfo(this, hstmt, *params);
        if (!params->empty() && !text.empty() && text[0] == '{')
            params->front().m_nParamType = SQL_PARAM_OUTPUT;
    }
}

// One-value queries.

std::string CDatabaseEx::OneText(const std::string& sql)
{
    if (sql.empty())
        return std::string();
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    std::string out;
    if (GetOneRecord(sql.c_str(), fields, nullptr, false) && fields.GetSize() > 0 &&
        fields[0]->m_value.m_dwType != DBVT_NULL)
        fields[0]->m_value.GetData(out, -1);
    return out;
}

long CDatabaseEx::OneLong(const std::string& sql, long noRow, long null)
{
    if (sql.empty())
        return noRow;
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    if (!GetOneRecord(sql.c_str(), fields, nullptr, false) || fields.GetSize() == 0)
        return noRow;
    int value = 0;
    if (fields[0]->m_value.m_dwType == DBVT_NULL || fields[0]->m_value.GetData(value) < 0)
        return null;
    return value;
}

std::string CDatabaseEx::GetSuser_sname()
{
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: return OneText("SELECT suser_sname()");
    case DbEngine::PostgreSql: return OneText("SELECT CAST(session_user AS VARCHAR)");
    default: return std::string();
    }
}

std::string CDatabaseEx::GetCurrentuser()
{
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: return OneText("SELECT current_user");
    case DbEngine::PostgreSql: return OneText("SELECT CAST(current_user AS VARCHAR)");
    default: return std::string();
    }
}

std::string CDatabaseEx::GetSERVERNAME()
{
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: return OneText("SELECT CONVERT(VARCHAR, @@SERVERNAME)");
    case DbEngine::PostgreSql:
        return OneText("SELECT CAST(COALESCE(host(inet_server_addr()), 'localhost') AS VARCHAR)");
    default: return std::string();
    }
}

std::string CDatabaseEx::GetDB_Name()
{
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: return OneText("SELECT CONVERT(VARCHAR,db_name())");
    case DbEngine::PostgreSql: return OneText("SELECT CAST(current_database() AS VARCHAR)");
    case DbEngine::Sqlite: return OneText("SELECT file FROM pragma_database_list WHERE name = 'main'");
    default: return std::string();
    }
}

void CDatabaseEx::NoteInsertInto(const std::string& table) { m_strLastInsertTable = table; }

void CDatabaseEx::ExecuteSQL(LPCTSTR sql)
{
    CDatabase::ExecuteSQL(sql);
    if (sql != nullptr && strncasecmp(sql, "INSERT", 6) == 0)
        m_strLastInsertTable = InsertTarget(sql);
}

void CDatabaseEx::GetIDENTITY(std::string& out)
{
    if (EngineOf(*this) == DbEngine::SqlServer) {
        out = OneText("SELECT CONVERT(VARCHAR,@@IDENTITY)");
        return;
    }
    // The key of the last INSERT this connection ran, read from that table's
    // own sequence: a key a trigger drew for another table is not it.
    out = OneText(LastKeyQuery(*this, m_strLastInsertTable));
}

long CDatabaseEx::GetIDENTITY()
{
    if (EngineOf(*this) == DbEngine::SqlServer)
        return OneLong("SELECT CONVERT(INT,@@IDENTITY)", -1, 0);
    const std::string query = LastKeyQuery(*this, m_strLastInsertTable);
    std::string key;
    bool null = false;
    if (query.empty() || !QueryFirstValue(*this, query, {}, key, &null))
        return -1;
    return null ? 0 : std::strtol(key.c_str(), nullptr, 10);
}

long CDatabaseEx::GetTrancount()
{
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: return OneLong("SELECT CONVERT(int,@@trancount)", 0, 0);
    case DbEngine::PostgreSql:
        // Inside a transaction block the transaction began before this statement.
        return OneLong("SELECT CASE WHEN now() = statement_timestamp() THEN 0 ELSE 1 END", 0, 0);
    default: return 0;
    }
}

void CDatabaseEx::GetDate(SYSTEMTIME& out)
{
    out = SYSTEMTIME{};
    std::string sql;
    switch (EngineOf(*this)) {
    case DbEngine::SqlServer: sql = "SELECT CONVERT(DATETIME,getdate())"; break;
    case DbEngine::PostgreSql: sql = "SELECT CAST(LOCALTIMESTAMP(3) AS TIMESTAMP)"; break;
    default: break;
    }
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    if (!sql.empty()) {
        if (GetOneRecord(sql.c_str(), fields, nullptr, false) && fields.GetSize() > 0)
            fields[0]->m_value.GetData(out);
        return;
    }
    // Engines without a date-time type give the time as text.
    TIMESTAMP_STRUCT ts{};
    std::string text = OneText(EngineOf(*this) == DbEngine::Sqlite ? "SELECT strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')" : "");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%lf", &y, &mo, &d, &h, &mi, &s) == 6) {
        ts.year = static_cast<SQLSMALLINT>(y);
        ts.month = static_cast<SQLUSMALLINT>(mo);
        ts.day = static_cast<SQLUSMALLINT>(d);
        ts.hour = static_cast<SQLUSMALLINT>(h);
        ts.minute = static_cast<SQLUSMALLINT>(mi);
        ts.second = static_cast<SQLUSMALLINT>(s);
        ts.fraction = static_cast<SQLUINTEGER>((s - ts.second) * 1000 + 0.5) * 1000000u;
        CopyDateTime(out, ts);
    }
}

long CDatabaseEx::GetMaxDataLengthField(const char* table, const char* field)
{
    return OneLong(MaxDataLengthQuery(*this, table ? table : "", field ? field : ""), 0, 0);
}

long CDatabaseEx::GetMaxRecordCount(const char* table)
{
    return OneLong("SELECT CAST(COUNT(*) AS INTEGER) FROM " + QuoteObjectName(*this, table ? table : ""), 0, 0);
}

// The data-model check.

std::string CDatabaseEx::VersionQuery(const char* column) const
{
    if (EngineOf(*this) == DbEngine::SqlServer)
        return std::string("SELECT TOP (1) [") + column + "] FROM [dbo].[xRepositoryVer]";
    return std::string("SELECT ") + column + " FROM " + QuoteObjectName(*this, "dbo.xRepositoryVer") + " LIMIT 1";
}

std::string CDatabaseEx::GetVersion()
{
    std::string out;
    try {
        int parts[4] = {};
        const char* columns[4] = {"ResVer", "ResSubVer", "ModelVer", "ModelSubVer"};
        for (int i = 0; i < 4; ++i) {
            CDBTypedPtrArrayEx<CDBFieldValue*> fields;
            if (!GetOneRecord(VersionQuery(columns[i]).c_str(), fields, nullptr, false) || fields.GetSize() == 0) {
                OrvoMessageBox(LoadOrvoString(IDS_ERR_NO_MODEL_VERSION), MB_ICONSTOP);
                return std::string();
            }
            fields[0]->m_value.GetData(parts[i]);
        }
        out = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
              std::to_string(parts[3]);
    } catch (CDBException& e) {
        FatalDBError(&e);
        OrvoMessageBox(FormatOrvoString(IDS_ERR_ODBC_DRIVER, {e.m_strError}), MB_ICONSTOP);
    }
    return out;
}

bool CDatabaseEx::GetVersion(std::string sql, int& value)
{
    try {
        CDBTypedPtrArrayEx<CDBFieldValue*> fields;
        if (!GetOneRecord(sql.c_str(), fields, nullptr, false) || fields.GetSize() == 0) {
            OrvoMessageBox(LoadOrvoString(IDS_ERR_NO_MODEL_VERSION), MB_ICONSTOP);
            return false;
        }
        value = 0;
        fields[0]->m_value.GetData(value);
        return true;
    } catch (CDBException& e) {
        FatalDBError(&e);
        OrvoMessageBox(FormatOrvoString(IDS_ERR_ODBC_DRIVER, {e.m_strError}), MB_ICONSTOP);
        return false;
    } catch (...) {
        return false;
    }
}

bool CDatabaseEx::CheckModelVer(std::string appVersion)
{
    int res = 0, model = 0;
    if (!GetVersion(VersionQuery("ResVer"), res) || !GetVersion(VersionQuery("ModelVer"), model))
        return false;
    std::size_t first = appVersion.find('.');
    std::size_t second = first == std::string::npos ? std::string::npos : appVersion.find('.', first + 1);
    std::size_t third = second == std::string::npos ? std::string::npos : appVersion.find('.', second + 1);
    std::string a = first != std::string::npos && second != std::string::npos
                        ? appVersion.substr(first + 1, second - first - 1)
                        : std::string();
    std::string b = second != std::string::npos && third != std::string::npos
                        ? appVersion.substr(second + 1, third - second - 1)
                        : std::string();
    int wantRes = LeadingInt(a);
    int wantModel = LeadingInt(b);
    if (wantRes == res && wantModel == model)
        return true;
    std::string dsn;
    try {
        GetDSN(dsn);
    } catch (CDBException&) {
        dsn.clear();
    }
    std::string demanded = std::to_string(wantRes) + ".x." + std::to_string(wantModel) + ".x";
    OrvoMessageBox(FormatOrvoString(IDS_ERR_MODEL_VERSION, {dsn, GetVersion(), demanded}), MB_ICONSTOP);
    return false;
}
