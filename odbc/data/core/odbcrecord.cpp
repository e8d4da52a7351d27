#include "odbc/data/core/odbcrecord.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/rfx.h"

#include "afx/file.h"
#include "odbcbase/calls.h"
#include "odbcbase/engine.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <strings.h>

IMPLEMENT_DYNAMIC(CODBCRecord, CRecordset)

bool IsMS_SQL_Server(CDatabase* db)
{
    return db != nullptr && db->m_hdbc != SQL_NULL_HDBC && EngineOf(*db) == DbEngine::SqlServer;
}

std::string FormatDateTimePattern(const char* pattern, int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::tm normal = tm;
    if (std::mktime(&normal) != static_cast<std::time_t>(-1))
        tm.tm_wday = normal.tm_wday, tm.tm_yday = normal.tm_yday;
    char buffer[256] = {};
    std::size_t n = std::strftime(buffer, sizeof buffer, pattern ? pattern : "", &tm);
    return std::string(buffer, n);
}

CODBCRecord::CODBCRecord(CDatabase* pDatabase) : CRecordset(pDatabase)
{
    m_nFields = 0;
    m_nParams = 0;
}

CODBCRecord::~CODBCRecord()
{
    try {
        if (m_hstmt != SQL_NULL_HSTMT)
            CODBCRecord::Close();
    } catch (...) {
    }
}

short CODBCRecord::AddParam(short cType, short paramType, int size, short sqlType, short scale)
{
    int index = m_params.GetSize();
    auto param = std::make_unique<CDBParamValue>();
    param->m_info = CODBCParamInfoEx(("PARAM_" + std::to_string(index + 1)).c_str(), cType,
                                     sqlType == SQL_DEFAULT ? cType : sqlType,
                                     static_cast<std::uint32_t>(std::max(size, 0)), index + 1, paramType, scale);
    CreateDataBuffer(param->m_value, cType);
    m_params.Add(std::move(param));
    ++m_nParams;
    return static_cast<short>(index);
}

namespace {

template <class T>
short AddSimple(CODBCRecord& rs, short cType, int size, short paramType, const T& value)
{
    short i = rs.AddParam(cType, paramType, size);
    rs.GetParam(i).m_value.PutData(value);
    return i;
}

} // namespace

short CODBCRecord::AddParamValue(unsigned char value, short paramType)
{
    return AddSimple(*this, SQL_C_UTINYINT, 1, paramType, value);
}
short CODBCRecord::AddParamValue(short value, short paramType)
{
    return AddSimple(*this, SQL_C_SHORT, 2, paramType, value);
}
short CODBCRecord::AddParamValue(unsigned short value, short paramType)
{
    return AddParamValue(static_cast<short>(value), paramType);
}
short CODBCRecord::AddParamValue(LONG value, short paramType)
{
    return AddSimple(*this, SQL_C_SLONG, 4, paramType, static_cast<int>(value));
}
short CODBCRecord::AddParamValue(std::uint32_t value, short paramType)
{
    return AddParamValue(static_cast<LONG>(value), paramType);
}
short CODBCRecord::AddParamValue(float value, short paramType)
{
    return AddSimple(*this, SQL_C_FLOAT, 4, paramType, value);
}
short CODBCRecord::AddParamValue(double value, short paramType)
{
    return AddSimple(*this, SQL_C_DOUBLE, 8, paramType, value);
}
short CODBCRecord::AddParamValue(std::int64_t value, short paramType)
{
    return AddSimple(*this, SQL_C_SBIGINT, 8, paramType, value);
}
short CODBCRecord::AddParamValue(const GUID& value, short paramType)
{
    return AddSimple(*this, SQL_C_GUID, 16, paramType, value);
}
short CODBCRecord::AddParamValue(const TIMESTAMP_STRUCT& value, short paramType)
{
    return AddSimple(*this, SQL_C_TIMESTAMP, 16, paramType, value);
}

short CODBCRecord::AddParamValue(const char* value, short paramType, int size, short sqlType, short scale)
{
    int length = static_cast<int>(value ? std::strlen(value) : 0) + 1;
    short i = AddParam(SQL_C_CHAR, paramType, std::max(length, size), sqlType, scale);
    GetParam(i).m_value.PutData(value ? value : "");
    return i;
}

short CODBCRecord::AddParamValue(const unsigned char* value, DWORD length, short paramType, int size)
{
    short i = AddParam(SQL_C_BINARY, paramType, std::max(static_cast<int>(length), size));
    GetParam(i).m_value.PutData(value, length);
    return i;
}

short CODBCRecord::AddParamValue(const std::vector<std::uint8_t>& value, short paramType, int size)
{
    return AddParamValue(value.data(), static_cast<DWORD>(value.size()), paramType, size);
}

short CODBCRecord::AddParamValue(const CDBVariantEx& value, short paramType, int size)
{
    short type = 0;
    int bytes = 0;
    switch (value.m_dwType) {
    case DBVT_BOOL: type = SQL_BIT, bytes = 1; break;
    case DBVT_UCHAR: type = SQL_C_UTINYINT, bytes = 1; break;
    case DBVT_SHORT: type = SQL_C_SSHORT, bytes = 2; break;
    case DBVT_LONG: type = SQL_C_SLONG, bytes = 4; break;
    case DBVT_SINGLE: type = SQL_C_FLOAT, bytes = 4; break;
    case DBVT_DOUBLE: type = SQL_C_DOUBLE, bytes = 8; break;
    case DBVT_DATE: type = SQL_C_TIMESTAMP, bytes = 16; break;
    case DBVT_STRING: {
        std::string text;
        value.GetData(text, -1);
        type = SQL_C_CHAR;
        bytes = std::max(static_cast<int>(text.size()) + 1, size);
        break;
    }
    case DBVT_BINARY: {
        std::vector<std::uint8_t> data;
        value.GetData(data);
        type = SQL_C_BINARY;
        bytes = std::max(static_cast<int>(data.size()), size);
        break;
    }
    case DBVT_GUID: type = SQL_C_GUID, bytes = 16; break;
    case DBVT_BIGINT: type = SQL_C_SBIGINT, bytes = 8; break;
    default: return -1;
    }
    short i = AddParam(type, paramType, bytes, type, 0);
    GetParam(i).m_value = value;
    return i;
}

void CODBCRecord::AddParamPoint(CArrayPointParam& params)
{
    for (int p = 0; p < params.GetParamCount(); ++p) {
        int index = m_params.GetSize();
        auto param = std::make_unique<CDBParamValue>();
        param->m_info = *params.GetInfo(p);
        param->m_info.m_strName = "PARAM_" + std::to_string(index + 1);
        short cType = params.GetSQL_C_Type(p);
        CDBVariantEx& v = param->m_value;
        v.m_bAttached = true;
        CreateDataBuffer(v, cType);
        v.m_pv = params.GetArrayData(p);
        if (cType == SQL_C_CHAR || cType == SQL_C_BINARY) {
            v.m_nBufferLength = static_cast<std::int32_t>(params.GetPrec(p));
            v.m_nLength = params.GetArrayLen(p) ? params.GetArrayLen(p)[0] : SQL_NTS;
        } else {
            param->m_info.m_nPrecision = static_cast<std::uint32_t>(v.m_nLength);
        }
        m_params.Add(std::move(param));
        ++m_nParams;
    }
}

void CODBCRecord::CreateDataBuffer(CDBVariantEx& value, short cType)
{
    DWORD type = value.m_dwType;
    SQLLEN length = value.m_nLength;
    switch (cType) {
    case SQL_C_UTINYINT: type = DBVT_UCHAR, length = 1; break;
    case SQL_C_SBIGINT: type = DBVT_BIGINT, length = 8; break;
    case SQL_C_SLONG:
    case SQL_C_LONG: type = DBVT_LONG, length = 4; break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT: type = DBVT_SHORT, length = 2; break;
    case SQL_C_GUID: type = DBVT_GUID, length = 16; break;
    case SQL_C_BIT: type = DBVT_BOOL, length = 4; break;
    case SQL_C_BINARY: type = DBVT_BINARY; break;
    case SQL_C_CHAR: type = DBVT_STRING; break;
    case SQL_C_FLOAT: type = DBVT_SINGLE, length = 4; break;
    case SQL_C_DOUBLE: type = DBVT_DOUBLE, length = 8; break;
    case SQL_C_TIMESTAMP: type = DBVT_DATE, length = 16; break;
    default: return;
    }
    if (value.m_bAttached) {
        value.m_dwType = type;
    } else if (value.m_dwType != type) {
        value.Clear();
        value.m_dwType = type;
        switch (type) {
        case DBVT_DATE: value.m_pdate = new TIMESTAMP_STRUCT{}; break;
        case DBVT_STRING: value.m_pstring = new std::string; break;
        case DBVT_BINARY: value.m_pbinary = new std::vector<std::uint8_t>; break;
        case DBVT_GUID: value.m_pguid = new GUID{}; break;
        default: value.m_i64Val = 0; break;
        }
    }
    value.m_nLength = length;
}

short CODBCRecord::GetDefaultFieldTypeEx(short sqlType)
{
    switch (sqlType) {
    case SQL_GUID: return SQL_C_GUID;
    case SQL_WLONGVARCHAR:
    case SQL_WVARCHAR:
    case SQL_WCHAR: return SQL_C_CHAR;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    default: return CRecordset::GetDefaultFieldType(sqlType);
    }
}

BOOL CODBCRecord::Open(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions)
{
    return OpenStatement(nOpenType, lpszSQL, dwOptions, false);
}

BOOL CODBCRecord::OpenNew(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions)
{
    return OpenStatement(nOpenType, lpszSQL, dwOptions, true);
}

namespace {

bool BeginsWithWord(const char* sql, const char* word)
{
    while (sql != nullptr && std::isspace(static_cast<unsigned char>(*sql)))
        ++sql;
    return sql != nullptr && strncasecmp(sql, word, std::strlen(word)) == 0;
}

// psqlODBC reads a whole result into its own memory when the statement
// executes, unless its data source asks for a server cursor. A forward-only,
// read-only record is read once, in order: outside a transaction of the
// caller it is given the server cursor for its execution, and its rows come
// as they are read. Inside one it is not, since the caller's rollback would
// take a cursor declared in it along; nor is a statement that does not begin
// with SELECT (a WITH may change data, which no cursor may hold). Other
// drivers and other records are left as they are.
class ServerCursorScope {
public:
    static constexpr SQLINTEGER kUseDeclareFetch = 65539; // psqlODBC's own attributes
    static constexpr SQLINTEGER kFetch = 65541;
    // Rows the driver reads with the execution: its cache is sized by them.
    static constexpr SQLULEN kFirstFetch = 10000;

    ServerCursorScope(CDatabase* db, UINT type, DWORD options, const std::string& sql)
    {
        if (type != CRecordset::forwardOnly || !(options & CRecordset::readOnly) || !IsSelect(sql) ||
            db == nullptr || db->m_hdbc == SQL_NULL_HDBC || !IsPsqlOdbc(db->m_hdbc))
            return;
        SQLULEN autocommit = SQL_AUTOCOMMIT_OFF;
        if (!SQL_SUCCEEDED(SQLGetConnectAttr(db->m_hdbc, SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr)) ||
            autocommit != SQL_AUTOCOMMIT_ON)
            return;
        SQLULEN was = 0;
        if (!SQL_SUCCEEDED(SQLGetConnectAttr(db->m_hdbc, kUseDeclareFetch, &was, 0, nullptr)) || was != 0)
            return;
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(db->m_hdbc, kUseDeclareFetch, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0)))
            return;
        m_hdbc = db->m_hdbc;
        SQLINTEGER fetch = 0;
        if (SQL_SUCCEEDED(SQLGetConnectAttr(m_hdbc, kFetch, &fetch, 0, nullptr)) && fetch > 0 &&
            static_cast<SQLULEN>(fetch) < kFirstFetch &&
            SQL_SUCCEEDED(SQLSetConnectAttr(m_hdbc, kFetch, reinterpret_cast<SQLPOINTER>(kFirstFetch), 0)))
            m_fetch = fetch;
    }
    ~ServerCursorScope()
    {
        if (m_hdbc == SQL_NULL_HDBC)
            return;
        SQLSetConnectAttr(m_hdbc, kUseDeclareFetch, nullptr, 0);
        if (m_fetch > 0)
            SQLSetConnectAttr(m_hdbc, kFetch, reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(m_fetch)), 0);
    }
    ServerCursorScope(const ServerCursorScope&) = delete;
    ServerCursorScope& operator=(const ServerCursorScope&) = delete;

private:
    static bool IsSelect(const std::string& sql)
    {
        const char* p = sql.c_str();
        while (std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        return strncasecmp(p, "SELECT", 6) == 0 && !std::isalnum(static_cast<unsigned char>(p[6])) && p[6] != '_';
    }

    static bool IsPsqlOdbc(HDBC hdbc)
    {
        return odbcbase::EngineOfDriver(odbcbase::InfoText(hdbc, SQL_DRIVER_NAME)) == odbcbase::Engine::PostgreSql;
    }

    HDBC m_hdbc = SQL_NULL_HDBC;
    SQLINTEGER m_fetch = 0; // the data source's own fetch size, put back
};

} // namespace

BOOL CODBCRecord::OpenStatement(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions, bool asWritten)
{
    if (IsOpen())
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    m_bServer = IsMS_SQL_Server(m_pDatabase);
    UINT type = nOpenType == AFX_DB_USE_DEFAULT_TYPE ? m_nDefaultType : nOpenType;
    if (m_bServer && type == snapshot)
        dwOptions |= readOnly;
    return OpenAround(nOpenType, lpszSQL, dwOptions, [&] {
        bool written = asWritten ? lpszSQL != nullptr
                                 : BeginsWithWord(lpszSQL, "EXEC") || BeginsWithWord(lpszSQL, "INSERT") ||
                                       BeginsWithWord(lpszSQL, "UPDATE");
        if (written) {
            m_strSQL = lpszSQL;
            m_strTableName.clear();
            m_bUpdatable = m_bAppendable = FALSE;
            if (m_nParams > 0)
                BindParams(m_hstmt);
            if (asWritten)
                AppendFilterAndSortSQL();
            m_pDatabase->ReplaceBrackets(m_strSQL);
        } else {
            BuildSQL(lpszSQL);
        }
        // The markers are counted on the text prepared apart: executed with
        // too few parameters, the driver would refuse it with its own words.
        // (psqlODBC overruns a buffer when one statement is prepared twice.)
        const SQLSMALLINT markers = CountMarkers();
        if (m_params.GetSize() < markers) {
            CDBException e(SQL_ERROR);
            e.m_strError = "Не совпадает количество параметров запроса !";
            throw e;
        }
        ServerCursorScope cursor(m_pDatabase, m_nOpenType, m_dwOptions, m_strSQL);
        PrepareAndExecute();
    });
}

SQLSMALLINT CODBCRecord::CountMarkers()
{
    HSTMT hstmt = SQL_NULL_HSTMT;
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, m_pDatabase->m_hdbc, &hstmt);
    if (!Check(rc))
        AfxThrowDBException(rc, m_pDatabase, SQL_NULL_HSTMT);
    SQLSMALLINT markers = 0;
    rc = AfxOdbcRetry([&] { return SQLPrepare(hstmt, reinterpret_cast<SQLCHAR*>(m_strSQL.data()), SQL_NTS); });
    if (Check(rc))
        rc = AfxOdbcRetry([&] { return SQLNumParams(hstmt, &markers); });
    if (!Check(rc)) {
        CDBException e(rc);
        e.BuildErrorString(m_pDatabase, hstmt);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
        throw e;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return markers;
}

void CODBCRecord::Close()
{
    m_strIdentity.clear();
    m_nIdentityTypeSQL = 0;
    m_nParams = 0;
    m_params.RemoveAll();
    if (!m_rgFieldInfos.empty() && m_nFields > 0 && m_bCheckCacheForDirtyFields)
        FreeDataCacheEx();
    CRecordset::Close();
}

void CODBCRecord::FreeDataCacheEx()
{
    for (CFieldInfo& info : m_rgFieldInfos) {
        if (info.m_nDataType != AFX_RFX_INT64_OR_WTEXT && info.m_nDataType != AFX_RFX_GUID_OR_TEXT)
            continue;
        if (info.m_pfnFreeCache != nullptr && info.m_pvDataCache != nullptr)
            info.m_pfnFreeCache(info.m_pvDataCache);
        info.m_pvDataCache = nullptr;
        info.m_pfnFreeCache = nullptr;
    }
}

void CODBCRecord::DoFieldExchange(CFieldExchange* pFX)
{
    for (int i = 0; i < m_params.GetSize(); ++i) {
        CDBParamValue& p = *m_params[i];
        CDBVariantEx& v = p.m_value;
        pFX->SetFieldType(static_cast<UINT>(p.m_info.m_nParamType));
        const char* name = p.m_info.m_strName.c_str();
        void* at = v.m_bAttached ? v.m_pv : static_cast<void*>(&v.m_lVal);
        if (at == nullptr || ExchangeNumber(pFX, name, v.m_dwType, at))
            continue;
        switch (v.m_dwType) {
        case DBVT_DATE:
            RFX_Date(pFX, name, v.m_bAttached ? *static_cast<TIMESTAMP_STRUCT*>(at) : *v.m_pdate);
            break;
        case DBVT_STRING:
            if (!v.m_bAttached || v.m_nBufferLength < 1)
                RFX_Text_Ntv(pFX, name, v.m_bAttached ? *static_cast<std::string*>(at) : *v.m_pstring,
                             static_cast<int>(p.m_info.m_nPrecision) + 3, p.m_info.m_nSQLType, p.m_info.m_nScale);
            else // a caller's element of that many bytes, its zero included
                RFX_Text_Ntv(pFX, name, static_cast<char*>(at), v.m_nBufferLength - 1);
            break;
        case DBVT_BINARY:
            RFX_Binary_Ntv(pFX, name, v.m_bAttached ? *static_cast<std::vector<std::uint8_t>*>(at) : *v.m_pbinary,
                           static_cast<int>(p.m_info.m_nPrecision));
            break;
        case DBVT_GUID: RFX_GUID(pFX, name, v.m_bAttached ? *static_cast<GUID*>(at) : *v.m_pguid); break;
        default: break;
        }
    }
    CRecordset::DoFieldExchange(pFX);
}

bool CODBCRecord::ExchangeNumber(CFieldExchange* pFX, const char* name, DWORD type, void* at)
{
    switch (type) {
    case DBVT_BOOL: RFX_Bool(pFX, name, *static_cast<BOOL*>(at)); return true;
    case DBVT_UCHAR: RFX_Byte(pFX, name, *static_cast<BYTE*>(at)); return true;
    case DBVT_SHORT: RFX_Short(pFX, name, *static_cast<short*>(at)); return true;
    case DBVT_LONG: RFX_Long(pFX, name, *static_cast<LONG*>(at)); return true;
    case DBVT_SINGLE: RFX_Single(pFX, name, *static_cast<float*>(at)); return true;
    case DBVT_DOUBLE: RFX_Double(pFX, name, *static_cast<double*>(at)); return true;
    case DBVT_BIGINT: RFX_Int64(pFX, name, *static_cast<std::int64_t*>(at)); return true;
    default: return false;
    }
}

BOOL CODBCRecord::Update()
{
    m_strIdentity.clear();
    m_nIdentityTypeSQL = 0;
    if (m_dwOptions & useMultiRowFetch)
        return FALSE;
    int mode = m_nEditMode;
    if (mode != edit && mode != addnew)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (!UpdateInsertDelete())
        return FALSE;
    if (auto* database = dynamic_cast<CDatabaseEx*>(m_pDatabase); database != nullptr && mode == addnew)
        database->NoteInsertInto(m_strTableName);
    if (mode == addnew && m_nOpenType != forwardOnly) {
        try {
            PrepareUpdateHstmt();
            ReadIdentity(m_hstmtUpdate);
        } catch (CDBException& e) {
            FatalDBError(&e);
            OrvoMessageBox(e.m_strError, MB_ICONERROR);
        }
    }
    return TRUE;
}

bool CODBCRecord::GetIdentityScript(std::string& sql)
{
    sql.clear();
    if (m_bServer) {
        sql = "SELECT @@IDENTITY";
        return true;
    }
    if (m_pDatabase == nullptr)
        return false;
    sql = LastKeyQuery(*m_pDatabase, m_strTableName);
    return !sql.empty();
}

void CODBCRecord::ReadIdentity(HSTMT hstmt)
{
    std::string script;
    if (!GetIdentityScript(script))
        return;
    RETCODE rc = AfxOdbcRetry([&] { return SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(script.data()), SQL_NTS); });
    if (!Check(rc))
        ThrowDBException(rc, hstmt);
    rc = AfxOdbcRetry([&] { return SQLFetch(hstmt); });
    if (!Check(rc) || rc == SQL_NO_DATA) {
        SQLFreeStmt(hstmt, SQL_CLOSE);
        if (rc == SQL_NO_DATA)
            return;
        AfxThrowDBException(rc, m_pDatabase, hstmt);
    }
    SQLLEN type = 0;
    rc = AfxOdbcRetry([&] { return SQLColAttribute(hstmt, 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &type); });
    if (!Check(rc))
        AfxThrowDBException(rc, m_pDatabase, hstmt);
    m_nIdentityTypeSQL = static_cast<short>(type);
    char buffer[512] = {};
    SQLLEN indicator = 0;
    rc = AfxOdbcRetry([&] { return SQLGetData(hstmt, 1, SQL_C_CHAR, buffer, 511, &indicator); });
    if (!Check(rc))
        AfxThrowDBException(rc, m_pDatabase, hstmt);
    if (indicator == SQL_NULL_DATA)
        m_strIdentity.clear();
    else
        m_strIdentity.assign(buffer, strnlen(buffer, 511));
    SQLFreeStmt(hstmt, SQL_CLOSE);
}

void CODBCRecord::CorrectSQLType()
{
    for (CODBCFieldInfo& info : m_rgODBCFieldInfos) {
        if (info.m_nPrecision != 0)
            continue;
        switch (info.m_nSQLType) {
        case SQL_SS_XML:
        case SQL_LONGVARCHAR:
        case SQL_VARCHAR: info.m_nSQLType = SQL_LONGVARCHAR; break;
        case SQL_WLONGVARCHAR:
        case SQL_WVARCHAR: info.m_nSQLType = SQL_WLONGVARCHAR; break;
        default: info.m_nSQLType = SQL_LONGVARBINARY; break;
        }
        info.m_nPrecision = 0x20000000;
    }
}
