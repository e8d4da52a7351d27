#include "afx/dbcore.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

std::mutex g_envLock;
HENV g_henv = SQL_NULL_HENV;
int g_envUsers = 0;

HENV AcquireEnv()
{
    std::lock_guard<std::mutex> lock(g_envLock);
    if (g_henv == SQL_NULL_HENV) {
        HENV henv = SQL_NULL_HENV;
        RETCODE rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv);
        if (!SQL_SUCCEEDED(rc))
            AfxThrowDBException(rc, nullptr, SQL_NULL_HSTMT);
        // unixODBC refuses connection handles until the version is set.
        rc = SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
        if (!SQL_SUCCEEDED(rc)) {
            SQLFreeHandle(SQL_HANDLE_ENV, henv);
            AfxThrowDBException(rc, nullptr, SQL_NULL_HSTMT);
        }
        g_henv = henv;
    }
    ++g_envUsers;
    return g_henv;
}

void ReleaseEnv()
{
    std::lock_guard<std::mutex> lock(g_envLock);
    if (g_envUsers > 0 && --g_envUsers == 0 && g_henv != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, g_henv);
        g_henv = SQL_NULL_HENV;
    }
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    std::size_t n = std::strlen(prefix);
    if (text.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Reads every diagnostic record of one handle.
void AppendDiagnostics(SQLSMALLINT type, SQLHANDLE handle, std::string& error, std::string& states)
{
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> msg(512);
        SQLSMALLINT msgLen = 0;
        RETCODE rc = SQLGetDiagRec(type, handle, rec, state, &native, msg.data(),
                                   static_cast<SQLSMALLINT>(msg.size()), &msgLen);
        if (!SQL_SUCCEEDED(rc))
            break;
        if (msgLen >= static_cast<SQLSMALLINT>(msg.size())) {
            msg.assign(static_cast<std::size_t>(msgLen) + 1, 0);
            rc = SQLGetDiagRec(type, handle, rec, state, &native, msg.data(),
                               static_cast<SQLSMALLINT>(msg.size()), &msgLen);
            if (!SQL_SUCCEEDED(rc))
                break;
        }
        std::string text(reinterpret_cast<const char*>(msg.data()));
        // The leading bracketed tags name the components the message came through.
        std::string origin;
        while (!text.empty() && text[0] == '[') {
            std::size_t close = text.find(']');
            if (close == std::string::npos)
                break;
            origin += text.substr(0, close + 1);
            text.erase(0, close + 1);
        }
        if (!error.empty())
            error += "\n";
        error += text;
        char line[64];
        std::snprintf(line, sizeof line, "State:%.5s,Native:%d,Origin:", reinterpret_cast<const char*>(state),
                      static_cast<int>(native));
        states += line;
        states += origin;
        states += "\n";
    }
}

} // namespace

void AfxOdbcYield()
{
    std::this_thread::yield();
}

HENV AfxGetHENV()
{
    std::lock_guard<std::mutex> lock(g_envLock);
    return g_henv;
}

void AfxThrowMemoryException()
{
    throw CMemoryException();
}

void AfxThrowInvalidArgException()
{
    throw CInvalidArgException();
}

std::string AfxDBErrorText(RETCODE nRetCode)
{
    switch (nRetCode) {
    case AFX_SQL_ERROR: return "Database operation failed.";
    case AFX_SQL_ERROR_CONNECT_FAIL: return "Connection to the data source failed.";
    case AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY: return "The recordset supports forward movement only.";
    case AFX_SQL_ERROR_EMPTY_COLUMN_LIST: return "The recordset has no columns to bind.";
    case AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH: return "The field types do not match the result columns.";
    case AFX_SQL_ERROR_ILLEGAL_MODE: return "The operation is not allowed in the recordset's current mode.";
    case AFX_SQL_ERROR_MULTIPLE_ROWS_AFFECTED: return "More than one row was changed.";
    case AFX_SQL_ERROR_NO_CURRENT_RECORD: return "There is no current record.";
    case AFX_SQL_ERROR_NO_ROWS_AFFECTED: return "No row was changed.";
    case AFX_SQL_ERROR_RECORDSET_READONLY: return "The recordset is read-only.";
    case AFX_SQL_ERROR_SQL_NO_TOTAL: return "The driver cannot report the length of the value.";
    case AFX_SQL_ERROR_DYNASET_NOT_SUPPORTED: return "The driver does not support keyset-driven cursors.";
    case AFX_SQL_ERROR_SNAPSHOT_NOT_SUPPORTED: return "The driver does not support static cursors.";
    case AFX_SQL_ERROR_NO_DATA_FOUND: return "Attempt to move past the end or the beginning of the data.";
    case AFX_SQL_ERROR_NO_POSITIONED_UPDATES: return "The driver supports no positioned updates.";
    case AFX_SQL_ERROR_DATA_TRUNCATED: return "The data was truncated.";
    case AFX_SQL_ERROR_ROW_FETCH: return "An error occurred while fetching one or more rows.";
    case AFX_SQL_ERROR_UPDATE_DELETE_FAILED: return "The row could not be updated or deleted.";
    case AFX_SQL_ERROR_DYNAMIC_CURSOR_NOT_SUPPORTED: return "The driver does not support dynamic cursors.";
    case AFX_SQL_ERROR_FIELD_NOT_FOUND: return "The column does not exist.";
    default:
        if (nRetCode >= AFX_SQL_ERROR && nRetCode < AFX_SQL_ERROR_MAX)
            return "Database error " + std::to_string(nRetCode) + ".";
        return std::string();
    }
}

CDBException::CDBException(RETCODE nRetCode) : CException(std::string()), m_nRetCode(nRetCode) {}

void CDBException::BuildErrorString(CDatabase* pdb, HSTMT hstmt, BOOL bTrace)
{
    if (m_nRetCode == SQL_SUCCESS)
        return;
    try {
        if (hstmt != SQL_NULL_HSTMT)
            AppendDiagnostics(SQL_HANDLE_STMT, hstmt, m_strError, m_strStateNativeOrigin);
        else if (pdb != nullptr && pdb->IsOpen())
            AppendDiagnostics(SQL_HANDLE_DBC, pdb->m_hdbc, m_strError, m_strStateNativeOrigin);
        else if (HENV henv = AfxGetHENV(); henv != SQL_NULL_HENV)
            AppendDiagnostics(SQL_HANDLE_ENV, henv, m_strError, m_strStateNativeOrigin);
        if (bTrace && !m_strError.empty())
            std::fprintf(stderr, "%s\n%s", m_strError.c_str(), m_strStateNativeOrigin.c_str());
    } catch (...) {
    }
}

BOOL CDBException::GetErrorMessage(std::string& message) const
{
    message = m_strError;
    return TRUE;
}

void AfxThrowDBException(RETCODE nRetCode, CDatabase* pdb, HSTMT hstmt)
{
    CDBException e(nRetCode);
    std::string fixed = AfxDBErrorText(nRetCode);
    if (!fixed.empty()) {
        e.m_strError = fixed;
    } else if (nRetCode == SQL_INVALID_HANDLE) {
        e.m_strError = "Invalid handle (ODBC return code -2).";
    } else {
        e.BuildErrorString(pdb, hstmt, FALSE);
        if (e.m_strError.empty())
            e.m_strError = "ODBC call failed with return code " + std::to_string(nRetCode) + ".";
    }
    throw e;
}

// CDatabase

IMPLEMENT_DYNAMIC(CDatabase, CObject)

CDatabase::CDatabase() = default;

CDatabase::~CDatabase()
{
    try {
        if (IsOpen())
            CDatabase::Close();
    } catch (...) {
    }
}

BOOL CDatabase::Open(LPCTSTR lpszDSN, BOOL bExclusive, BOOL bReadOnly, LPCTSTR lpszConnect,
                     BOOL bUseCursorLib)
{
    std::string connect = lpszConnect ? lpszConnect : "";
    if (!StartsWithNoCase(connect, "ODBC;") || bExclusive)
        return FALSE;
    connect.erase(0, 5);
    if (lpszDSN != nullptr && *lpszDSN != '\0') {
        if (!connect.empty() && connect.back() != ';')
            connect += ';';
        connect += "DSN=";
        connect += lpszDSN;
    }
    DWORD options = 0;
    if (bReadOnly)
        options |= openReadOnly;
    if (bUseCursorLib)
        options |= useCursorLib;
    return OpenEx(connect.c_str(), options | noOdbcDialog);
}

BOOL CDatabase::OpenEx(LPCTSTR lpszConnectString, DWORD dwOptions)
{
    if (IsOpen())
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (dwOptions & openExclusive)
        return FALSE;
    m_bUpdatable = !(dwOptions & openReadOnly);

    std::string connect = lpszConnectString ? lpszConnectString : "";
    if (StartsWithNoCase(connect, "ODBC;"))
        connect.erase(0, 5);

    HENV henv = AcquireEnv();
    HDBC hdbc = SQL_NULL_HDBC;
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_DBC, henv, &hdbc);
    if (!SQL_SUCCEEDED(rc)) {
        CDBException e(rc);
        e.BuildErrorString(nullptr, SQL_NULL_HSTMT, FALSE);
        if (e.m_strError.empty())
            e.m_strError = AfxDBErrorText(AFX_SQL_ERROR_CONNECT_FAIL);
        ReleaseEnv();
        throw e;
    }
    SQLSetConnectAttr(hdbc, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_dwLoginTimeout)), 0);
    if (dwOptions & openReadOnly)
        SQLSetConnectAttr(hdbc, SQL_ATTR_ACCESS_MODE,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_MODE_READ_ONLY)), 0);
    if (dwOptions & useCursorLib)
        SQLSetConnectAttr(hdbc, SQL_ATTR_ODBC_CURSORS,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_CUR_USE_ODBC)), 0);

    std::vector<SQLCHAR> out(8192, 0);
    SQLSMALLINT outLen = 0;
    // Linux has no driver dialogs: never ask the driver to prompt.
    rc = AfxOdbcRetry([&] {
        return SQLDriverConnect(hdbc, nullptr,
                                reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect.c_str())),
                                SQL_NTS, out.data(), static_cast<SQLSMALLINT>(out.size() - 1),
                                &outLen, SQL_DRIVER_NOPROMPT);
    });
    if (rc == SQL_NO_DATA) {
        SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
        ReleaseEnv();
        return FALSE;
    }
    if (!SQL_SUCCEEDED(rc)) {
        CDBException e(rc);
        m_hdbc = hdbc;
        e.BuildErrorString(this, SQL_NULL_HSTMT, FALSE);
        m_hdbc = SQL_NULL_HDBC;
        if (e.m_strError.empty())
            e.m_strError = AfxDBErrorText(AFX_SQL_ERROR_CONNECT_FAIL);
        SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
        ReleaseEnv();
        throw e;
    }
    m_hdbc = hdbc;
    std::string completed(reinterpret_cast<const char*>(out.data()));
    m_strConnect = "ODBC;" + (completed.empty() ? connect : completed);
    CacheConnectionInfo();
    return TRUE;
}

void CDatabase::CacheConnectionInfo()
{
    char text[64] = {};
    SQLSMALLINT len = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_IDENTIFIER_QUOTE_CHAR, text, sizeof text, &len)) &&
        text[0] != ' ' && text[0] != '\0')
        m_chIDQuoteChar = text[0];
    std::memset(text, 0, sizeof text);
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_DATA_SOURCE_READ_ONLY, text, sizeof text, &len)) &&
        text[0] == 'Y')
        m_bUpdatable = FALSE;
    char dbms[256] = {};
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_DBMS_NAME, dbms, sizeof dbms - 1, &len)))
        m_strDBMSName = dbms;
    SQLUSMALLINT txn = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_TXN_CAPABLE, &txn, sizeof txn, &len)))
        m_bTransactions = txn != SQL_TC_NONE;
    SQLUINTEGER bits = 0;
    m_dwUpdateOptions = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_POS_OPERATIONS, &bits, sizeof bits, &len)) &&
        (bits & SQL_POS_UPDATE))
        m_dwUpdateOptions |= AFX_SQL_SETPOSUPDATES;
    bits = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_POSITIONED_STATEMENTS, &bits, sizeof bits, &len)) &&
        (bits & SQL_PS_POSITIONED_UPDATE))
        m_dwUpdateOptions |= AFX_SQL_POSITIONEDSQL;
    bits = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_GETDATA_EXTENSIONS, &bits, sizeof bits, &len)) &&
        (bits & SQL_GD_BOUND))
        m_dwUpdateOptions |= AFX_SQL_GDBOUND;
}

void CDatabase::Close()
{
    if (!IsOpen())
        return;
    for (;;) {
        CRecordset* prs = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_listLock);
            if (m_listRecordsets.empty())
                break;
            prs = m_listRecordsets.front();
        }
        try {
            prs->Close();
        } catch (...) {
        }
        RemoveRecordset(prs);
    }
    if (!SQL_SUCCEEDED(SQLDisconnect(m_hdbc))) {
        // An open transaction keeps the connection: give it up, then leave.
        SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_ROLLBACK);
        SQLDisconnect(m_hdbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    m_hdbc = SQL_NULL_HDBC;
    ReleaseEnv();
}

std::string CDatabase::GetDatabaseName() const
{
    if (!IsOpen())
        return std::string();
    std::vector<char> name(1024, 0);
    SQLSMALLINT len = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(m_hdbc, SQL_DATABASE_NAME, name.data(),
                                 static_cast<SQLSMALLINT>(name.size() - 1), &len)) &&
        name[0] != '\0')
        return name.data();
    std::fill(name.begin(), name.end(), 0);
    SQLINTEGER ilen = 0;
    if (SQL_SUCCEEDED(SQLGetConnectAttr(m_hdbc, SQL_ATTR_CURRENT_CATALOG, name.data(),
                                        static_cast<SQLINTEGER>(name.size() - 1), &ilen)))
        return name.data();
    return std::string();
}

static BOOL SetAutoCommit(HDBC hdbc, bool on)
{
    return SQL_SUCCEEDED(SQLSetConnectAttr(
        hdbc, SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
        0));
}

BOOL CDatabase::BeginTrans()
{
    return IsOpen() && m_bTransactions && SetAutoCommit(m_hdbc, false);
}

BOOL CDatabase::CommitTrans()
{
    if (!IsOpen())
        return FALSE;
    BOOL ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_COMMIT));
    SetAutoCommit(m_hdbc, true);
    return ok;
}

BOOL CDatabase::Rollback()
{
    if (!IsOpen())
        return FALSE;
    BOOL ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_ROLLBACK));
    SetAutoCommit(m_hdbc, true);
    return ok;
}

void CDatabase::ExecuteSQL(LPCTSTR lpszSQL)
{
    if (!IsOpen())
        ThrowDBException(SQL_INVALID_HANDLE);
    HSTMT hstmt = SQL_NULL_HSTMT;
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &hstmt);
    if (!Check(rc))
        AfxThrowDBException(rc, this, SQL_NULL_HSTMT);
    try {
        OnSetOptions(hstmt);
        BindParameters(hstmt);
        std::string sql = lpszSQL ? lpszSQL : "";
        rc = AfxOdbcRetry([&] {
            return SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
        });
        if (!CheckHstmt(rc, hstmt))
            AfxThrowDBException(rc, this, hstmt);
        // Drain every result so that the statement ends cleanly.
        if (rc != SQL_NO_DATA) {
            do {
                SQLSMALLINT cols = 0;
                if (Check(SQLNumResultCols(hstmt, &cols)) && cols > 0) {
                    while (SQL_SUCCEEDED(AfxOdbcRetry([&] { return SQLFetch(hstmt); })))
                        ;
                }
                rc = AfxOdbcRetry([&] { return SQLMoreResults(hstmt); });
            } while (SQL_SUCCEEDED(rc));
        }
    } catch (...) {
        SQLCancel(hstmt);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
        throw;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
}

void CDatabase::OnSetOptions(HSTMT hstmt)
{
    if (m_dwQueryTimeout == static_cast<DWORD>(-1))
        return;
    RETCODE rc = SQLSetStmtAttr(hstmt, SQL_ATTR_QUERY_TIMEOUT,
                                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_dwQueryTimeout)), 0);
    if (!Check(rc))
        m_dwQueryTimeout = static_cast<DWORD>(-1);
}

void CDatabase::BindParameters(HSTMT) {}

BOOL CDatabase::Check(RETCODE nRetCode) const
{
    return nRetCode == SQL_SUCCESS || nRetCode == SQL_SUCCESS_WITH_INFO || nRetCode == SQL_NO_DATA;
}

BOOL CDatabase::CheckHstmt(RETCODE nRetCode, HSTMT) const
{
    return nRetCode == SQL_SUCCESS || nRetCode == SQL_SUCCESS_WITH_INFO || nRetCode == SQL_NO_DATA;
}

void CDatabase::ThrowDBException(RETCODE nRetCode)
{
    AfxThrowDBException(nRetCode, this, SQL_NULL_HSTMT);
}

void CDatabase::ReplaceBrackets(std::string& sql) const
{
    std::string out;
    out.reserve(sql.size());
    bool literal = false;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'') {
            literal = !literal; // '' inside a literal toggles twice
            out += c;
        } else if (!literal && (c == '[' || c == ']')) {
            if (i + 1 < sql.size() && sql[i + 1] == c) {
                out += c;
                ++i;
            } else {
                out += m_chIDQuoteChar;
            }
        } else {
            out += c;
        }
    }
    sql.swap(out);
}

std::string CDatabase::QuoteName(const std::string& name) const
{
    std::string out(1, m_chIDQuoteChar);
    for (char c : name) {
        out += c;
        if (c == m_chIDQuoteChar)
            out += c;
    }
    out += m_chIDQuoteChar;
    return out;
}

std::vector<CRecordset*> CDatabase::GetRecordsets() const
{
    std::lock_guard<std::mutex> lock(m_listLock);
    return {m_listRecordsets.begin(), m_listRecordsets.end()};
}

void CDatabase::AddRecordset(CRecordset* prs)
{
    std::lock_guard<std::mutex> lock(m_listLock);
    for (CRecordset* p : m_listRecordsets)
        if (p == prs)
            return;
    m_listRecordsets.push_back(prs);
}

void CDatabase::RemoveRecordset(CRecordset* prs)
{
    std::lock_guard<std::mutex> lock(m_listLock);
    m_listRecordsets.remove(prs);
}

// CDBVariant

void CDBVariant::Clear()
{
    switch (m_dwType) {
    case DBVT_DATE: delete m_pdate; break;
    case DBVT_STRING:
    case DBVT_ASTRING: delete m_pstring; break;
    case DBVT_BINARY: delete m_pbinary; break;
    default: break;
    }
    m_dwType = DBVT_NULL;
    m_dblVal = 0;
}
