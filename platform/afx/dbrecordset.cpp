#include "afx/dbcore.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

SQLPOINTER AttrValue(SQLULEN v)
{
    return reinterpret_cast<SQLPOINTER>(v);
}

std::string UpperWord(const std::string& text, std::size_t pos, std::size_t len)
{
    std::string out = text.substr(pos, len);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::size_t SkipBlanks(const std::string& text, std::size_t pos)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    return pos;
}

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80);
}

// The one table a "SELECT ... FROM name [WHERE|ORDER BY ...]" text reads, or
// empty when the text reads several tables or is not such a SELECT.
std::string SingleTableOf(const std::string& sql)
{
    // Find FROM outside literals and quoted names.
    char quote = 0;
    std::size_t from = std::string::npos;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '[' || c == '`') {
            quote = c == '[' ? ']' : c;
            continue;
        }
        if ((i == 0 || !IsWordChar(sql[i - 1])) && i + 4 <= sql.size() &&
            UpperWord(sql, i, 4) == "FROM" && (i + 4 == sql.size() || !IsWordChar(sql[i + 4]))) {
            if (from != std::string::npos)
                return std::string(); // a sub-query
            from = i;
        }
    }
    if (from == std::string::npos)
        return std::string();
    std::string head = UpperWord(sql, 0, from);
    if (head.find("DISTINCT") != std::string::npos || head.find('(') != std::string::npos)
        return std::string();
    std::size_t start = SkipBlanks(sql, from + 4);
    std::size_t end = start;
    while (end < sql.size()) {
        char c = sql[end];
        if (c == '"' || c == '[' || c == '`') {
            char close = c == '[' ? ']' : c;
            std::size_t q = sql.find(close, end + 1);
            if (q == std::string::npos)
                return std::string();
            end = q + 1;
        } else if (IsWordChar(c) || c == '.') {
            ++end;
        } else {
            break;
        }
    }
    if (end == start)
        return std::string();
    std::size_t rest = SkipBlanks(sql, end);
    if (rest < sql.size()) {
        std::string tail = UpperWord(sql, rest, 5);
        if (tail.rfind("WHERE", 0) != 0 && tail.rfind("ORDER", 0) != 0)
            return std::string();
    }
    return sql.substr(start, end - start);
}

// True for a text that can only be a table name: one word, or quoted words,
// with no blanks outside the quotes.
bool IsSingleName(const std::string& text)
{
    char quote = 0;
    std::size_t end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    for (std::size_t i = 0; i < end; ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '[' || c == '`') {
            quote = c == '[' ? ']' : c;
        } else if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ';') {
            return false;
        }
    }
    return end > 0;
}

bool IsBackward(WORD wFetchType, long nRows)
{
    return wFetchType == SQL_FETCH_PRIOR ||
           ((wFetchType == SQL_FETCH_RELATIVE) && nRows < 0);
}

bool IsForward(WORD wFetchType, long nRows)
{
    return wFetchType == SQL_FETCH_NEXT || (wFetchType == SQL_FETCH_RELATIVE && nRows > 0);
}

// One pass of the field exchange over every member of the recordset.
void ExchangePass(CRecordset* prs, UINT nOperation)
{
    CFieldExchange fx(nOperation, prs);
    prs->DoFieldExchange(&fx);
}

} // namespace

IMPLEMENT_DYNAMIC(CRecordset, CObject)

CRecordset::CRecordset(CDatabase* pDatabase) : m_pDatabase(pDatabase) {}

CRecordset::~CRecordset()
{
    try {
        if (m_hstmt != SQL_NULL_HSTMT || m_hstmtUpdate != SQL_NULL_HSTMT || !m_rgFieldInfos.empty())
            CRecordset::Close();
    } catch (...) {
    }
    if (m_bRecordsetDb) {
        delete m_pDatabase;
        m_pDatabase = nullptr;
    }
}

BOOL CRecordset::Open(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions)
{
    if (IsOpen())
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    return OpenAround(nOpenType, lpszSQL, dwOptions, [&] {
        BuildSQL(lpszSQL);
        PrepareAndExecute();
    });
}

BOOL CRecordset::OpenAround(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions,
                            const std::function<void()>& makeAndRun)
{
    SetState(nOpenType, lpszSQL, dwOptions);
    if (!AllocHstmt())
        return FALSE;
    CloseOnFailure([&] {
        OnSetOptions(m_hstmt);
        bool statusDue = !(m_nFields > 0 || m_nParams > 0);
        if (!statusDue)
            AllocStatusArrays();
        makeAndRun();
        AllocAndCacheFieldInfo();
        AllocRowset();
        if (statusDue && (m_nFields > 0 || m_nParams > 0))
            AllocStatusArrays();
        PreBindFields();
        FetchFirst();
    });
    return TRUE;
}

void CRecordset::FetchFirst()
{
    Move(1, SQL_FETCH_NEXT);
    m_bBOF = m_bEOF;
}

void CRecordset::SetState(UINT nOpenType, LPCTSTR, DWORD dwOptions)
{
    m_nOpenType = nOpenType == AFX_DB_USE_DEFAULT_TYPE ? m_nDefaultType : nOpenType;
    m_dwOptions = dwOptions;
    m_bUpdatable = !(dwOptions & (readOnly | appendOnly));
    m_bAppendable = !(dwOptions & readOnly);
    if (m_pDatabase != nullptr && m_pDatabase->IsOpen() && !m_pDatabase->CanUpdate())
        m_bUpdatable = m_bAppendable = FALSE;
    m_bScrollable = m_nOpenType != forwardOnly;
    m_bCheckCacheForDirtyFields = !(dwOptions & noDirtyFieldCheck);
    m_nEditMode = noMode;
}

BOOL CRecordset::AllocHstmt()
{
    if (m_hstmt != SQL_NULL_HSTMT)
        return TRUE;
    if (m_pDatabase == nullptr) {
        m_pDatabase = new CDatabase;
        m_bRecordsetDb = TRUE;
    }
    if (!m_pDatabase->IsOpen()) {
        std::string connect = GetDefaultConnect();
        if (!m_pDatabase->Open("", FALSE, FALSE, connect.c_str(), FALSE)) {
            if (m_bRecordsetDb) {
                delete m_pDatabase;
                m_pDatabase = nullptr;
                m_bRecordsetDb = FALSE;
            }
            return FALSE;
        }
        if (!m_pDatabase->CanUpdate())
            m_bUpdatable = m_bAppendable = FALSE;
    }
    HSTMT hstmt = SQL_NULL_HSTMT;
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, m_pDatabase->m_hdbc, &hstmt);
    if (!Check(rc))
        AfxThrowDBException(rc, m_pDatabase, SQL_NULL_HSTMT);
    m_hstmt = hstmt;
    m_pDatabase->AddRecordset(this);
    m_bInList = TRUE;
    return TRUE;
}

void CRecordset::OnSetOptions(HSTMT hstmt)
{
    m_pDatabase->OnSetOptions(hstmt);
    if (m_nOpenType == forwardOnly)
        return;
    SQLULEN cursor = SQL_CURSOR_STATIC;
    RETCODE notSupported = AFX_SQL_ERROR_SNAPSHOT_NOT_SUPPORTED;
    if (m_nOpenType == dynaset) {
        cursor = SQL_CURSOR_KEYSET_DRIVEN;
        notSupported = AFX_SQL_ERROR_DYNASET_NOT_SUPPORTED;
    } else if (m_nOpenType == dynamic) {
        cursor = SQL_CURSOR_DYNAMIC;
        notSupported = AFX_SQL_ERROR_DYNAMIC_CURSOR_NOT_SUPPORTED;
    }
    RETCODE rc = SQLSetStmtAttr(hstmt, SQL_ATTR_CURSOR_TYPE, AttrValue(cursor), 0);
    if (!Check(rc))
        ThrowDBException(notSupported, hstmt);
    if (rc == SQL_SUCCESS_WITH_INFO) {
        SQLULEN actual = 0;
        SQLGetStmtAttr(hstmt, SQL_ATTR_CURSOR_TYPE, &actual, 0, nullptr);
        if (actual != cursor)
            ThrowDBException(notSupported, hstmt);
    }

    SQLULEN concurrency = SQL_CONCUR_READ_ONLY;
    if (m_bUpdatable) {
        for (SQLULEN wanted : {SQLULEN(SQL_CONCUR_ROWVER), SQLULEN(SQL_CONCUR_VALUES), SQLULEN(SQL_CONCUR_LOCK)}) {
            rc = SQLSetStmtAttr(hstmt, SQL_ATTR_CONCURRENCY, AttrValue(wanted), 0);
            if (!SQL_SUCCEEDED(rc))
                continue;
            SQLULEN actual = 0;
            SQLGetStmtAttr(hstmt, SQL_ATTR_CONCURRENCY, &actual, 0, nullptr);
            if (actual != SQL_CONCUR_READ_ONLY) {
                concurrency = actual;
                break;
            }
        }
    }
    if (concurrency == SQL_CONCUR_READ_ONLY)
        SQLSetStmtAttr(hstmt, SQL_ATTR_CONCURRENCY, AttrValue(SQL_CONCUR_READ_ONLY), 0);
    if (m_dwOptions & useBookmarks)
        SQLSetStmtAttr(hstmt, SQL_ATTR_USE_BOOKMARKS, AttrValue(SQL_UB_VARIABLE), 0);
}

void CRecordset::AllocStatusArrays()
{
    if (m_nFields > 0 && m_rgFieldInfos.size() < m_nFields) {
        m_rgFieldInfos.resize(m_nFields);
        m_rgFieldFlags.resize(m_nFields, 0);
    }
    if (m_nParams > 0 && m_rgParamFlags.size() < m_nParams) {
        m_rgParamFlags.resize(m_nParams, 0);
        m_plParamLength.resize(m_nParams, 0);
    }
}

void CRecordset::BuildSQL(LPCTSTR lpszSQL)
{
    m_strSQL = lpszSQL != nullptr ? std::string(lpszSQL) : GetDefaultSQL();
    if (m_nParams > 0)
        BindParams(m_hstmt);
    std::size_t start = SkipBlanks(m_strSQL, 0);
    std::string head = UpperWord(m_strSQL, start, 6);
    bool statement = head == "SELECT" || head.rfind("{CALL", 0) == 0 || head.rfind("{?", 0) == 0 ||
                     !IsSingleName(m_strSQL.substr(start));
    if (statement) {
        m_strTableName = head == "SELECT" ? SingleTableOf(m_strSQL) : std::string();
    } else {
        std::string table = m_strSQL.substr(start);
        while (!table.empty() && std::isspace(static_cast<unsigned char>(table.back())))
            table.pop_back();
        m_strTableName = table;
        std::string columns;
        if (m_nFields > 0) {
            CFieldExchange fx(CFieldExchange::Name, this);
            fx.m_pstr = &columns;
            fx.m_lpszSeparator = ",";
            if (m_dwOptions & useMultiRowFetch)
                DoBulkFieldExchange(&fx);
            else
                DoFieldExchange(&fx);
            if (!columns.empty() && columns.back() == ',')
                columns.pop_back();
        }
        m_strSQL = "SELECT " + (columns.empty() ? std::string("*") : columns) + " FROM " + table;
    }
    AppendFilterAndSortSQL();
    m_pDatabase->ReplaceBrackets(m_strSQL);
}

void CRecordset::AppendFilterAndSortSQL()
{
    m_strRequeryBase = m_strSQL;
    if (!m_strFilter.empty())
        m_strSQL += " WHERE " + m_strFilter;
    if (!m_strSort.empty())
        m_strSQL += " ORDER BY " + m_strSort;
    m_strLastFilter = m_strFilter;
    m_strLastSort = m_strSort;
}

UINT CRecordset::BindParams(HSTMT hstmt)
{
    CFieldExchange fx(CFieldExchange::BindParam, this);
    fx.m_hstmt = hstmt;
    DoFieldExchange(&fx);
    return fx.m_nParams;
}

static std::string FirstState(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR msg[8];
    SQLSMALLINT len = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, msg, sizeof msg, &len)))
        return reinterpret_cast<const char*>(state);
    return std::string();
}

void CRecordset::PrepareAndExecute()
{
    // A forward-only result without parameters is read once from start to
    // end: it is executed directly, as a program calling ODBC itself would.
    // Prepared first, psqlODBC keeps a server-side statement that costs a
    // round trip to make and one to drop, and it takes the whole result in
    // one piece before handing it over row by row, which on a large result
    // holds it twice in memory.
    m_bExecuteDirect = (m_dwOptions & executeDirect) || (m_nOpenType == forwardOnly && m_nParams == 0);
    auto execute = [&] {
        if (m_bExecuteDirect)
            return AfxOdbcRetry([&] {
                return SQLExecDirect(m_hstmt, reinterpret_cast<SQLCHAR*>(m_strSQL.data()), SQL_NTS);
            });
        RETCODE rc = AfxOdbcRetry([&] {
            return SQLPrepare(m_hstmt, reinterpret_cast<SQLCHAR*>(m_strSQL.data()), SQL_NTS);
        });
        if (!Check(rc))
            return rc;
        return AfxOdbcRetry([&] { return SQLExecute(m_hstmt); });
    };
    RETCODE rc = execute();
    if (!Check(rc) && m_bUpdatable && FirstState(SQL_HANDLE_STMT, m_hstmt) == "HYC00") {
        // The driver cannot give this cursor an updatable concurrency.
        SQLSetStmtAttr(m_hstmt, SQL_ATTR_CONCURRENCY, AttrValue(SQL_CONCUR_READ_ONLY), 0);
        m_bUpdatable = FALSE;
        rc = execute();
    }
    if (!Check(rc))
        ThrowDBException(rc);
    m_bOpened = TRUE;
    m_bEOF = m_bBOF = FALSE;
    m_bDeleted = FALSE;

    SQLULEN cursor = SQL_CURSOR_FORWARD_ONLY;
    SQLULEN concurrency = SQL_CONCUR_READ_ONLY;
    SQLGetStmtAttr(m_hstmt, SQL_ATTR_CURSOR_TYPE, &cursor, 0, nullptr);
    SQLGetStmtAttr(m_hstmt, SQL_ATTR_CONCURRENCY, &concurrency, 0, nullptr);
    if (cursor == SQL_CURSOR_FORWARD_ONLY)
        m_bScrollable = FALSE;
    SQLUSMALLINT info = SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1;
    if (cursor == SQL_CURSOR_STATIC)
        info = SQL_STATIC_CURSOR_ATTRIBUTES1;
    else if (cursor == SQL_CURSOR_KEYSET_DRIVEN)
        info = SQL_KEYSET_CURSOR_ATTRIBUTES1;
    else if (cursor == SQL_CURSOR_DYNAMIC)
        info = SQL_DYNAMIC_CURSOR_ATTRIBUTES1;
    m_dwCursorAttributes1 = 0;
    SQLGetInfo(m_pDatabase->m_hdbc, info, &m_dwCursorAttributes1, sizeof m_dwCursorAttributes1, nullptr);
    bool wantUpdates = m_bUpdatable && !m_strTableName.empty();
    m_bUpdatable = FALSE;
    m_bKeyedUpdates = FALSE;
    if (wantUpdates) {
        bool setPos = concurrency != SQL_CONCUR_READ_ONLY && CursorSupports(SQL_CA1_POS_UPDATE) &&
                      m_pDatabase->GetDialect().PositionedUpdates();
        if (setPos) {
            m_bUpdatable = TRUE;
        } else if (m_nOpenType != dynamic && LoadKeyColumns()) {
            m_bUpdatable = TRUE;
            m_bKeyedUpdates = TRUE;
        }
    }
    if (m_strTableName.empty())
        m_bAppendable = FALSE;
}

namespace {

// The parts of a possibly qualified, possibly quoted table name.
std::vector<std::string> NameParts(const std::string& name, bool& quoted)
{
    std::vector<std::string> parts(1);
    quoted = false;
    char quote = 0;
    for (char c : name) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                parts.back() += c;
        } else if (c == '"' || c == '`' || c == '[') {
            quote = c == '[' ? ']' : c;
            quoted = true;
        } else if (c == '.') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

bool CRecordset::LoadKeyColumns()
{
    m_keyColumns.clear();
    bool quoted = false;
    std::vector<std::string> parts = NameParts(m_strTableName, quoted);
    std::string table = parts.back();
    std::string schema = parts.size() > 1 ? parts[parts.size() - 2] : std::string();
    HSTMT hstmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_pDatabase->m_hdbc, &hstmt)))
        return false;
    for (int attempt = 0; attempt < 2 && m_keyColumns.empty(); ++attempt) {
        if (attempt == 1) {
            if (quoted)
                break;
            // Unquoted names are folded to lower case by PostgreSQL.
            table = Lower(table);
            schema = Lower(schema);
        }
        SQLFreeStmt(hstmt, SQL_CLOSE);
        RETCODE rc = SQLPrimaryKeys(hstmt, nullptr, 0,
                                    schema.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data()),
                                    schema.empty() ? 0 : SQL_NTS, reinterpret_cast<SQLCHAR*>(table.data()),
                                    SQL_NTS);
        if (!SQL_SUCCEEDED(rc))
            continue;
        while (SQL_SUCCEEDED(SQLFetch(hstmt))) {
            char column[512] = {};
            SQLLEN len = 0;
            if (SQL_SUCCEEDED(SQLGetData(hstmt, 4, SQL_C_CHAR, column, sizeof column, &len)) &&
                len != SQL_NULL_DATA)
                m_keyColumns.push_back(column);
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, hstmt);
    return !m_keyColumns.empty();
}

bool CRecordset::IsKeyField(UINT nField) const
{
    if (nField == 0 || nField > m_rgODBCFieldInfos.size())
        return false;
    const std::string& name = m_rgODBCFieldInfos[nField - 1].m_strName;
    for (const std::string& key : m_keyColumns)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

void CRecordset::SnapshotKeys()
{
    m_keyValues.clear();
    CFieldExchange fx(CFieldExchange::StoreKey, this);
    DoFieldExchange(&fx);
    if (m_keyValues.size() != m_keyColumns.size())
        ThrowDBException(AFX_SQL_ERROR_NO_POSITIONED_UPDATES);
}

void CRecordset::ExecuteKeyed(std::string sql, UINT nBoundParams)
{
    std::string where;
    for (KeyValue& key : m_keyValues) {
        where += where.empty() ? " WHERE " : " AND ";
        where += m_pDatabase->QuoteName(m_rgODBCFieldInfos[key.nField - 1].m_strName);
        if (key.nLength == SQL_NULL_DATA) {
            where += " IS NULL";
            continue;
        }
        where += "=?";
        SQLULEN size = key.bytes.empty() ? 1 : key.bytes.size();
        RETCODE rc = SQLBindParameter(m_hstmtUpdate, static_cast<SQLUSMALLINT>(++nBoundParams), SQL_PARAM_INPUT,
                                      key.nCType, AfxSqlTypeForCType(key.nCType), size, 0,
                                      key.bytes.empty() ? nullptr : key.bytes.data(),
                                      static_cast<SQLLEN>(key.bytes.size()), &key.nLength);
        if (!Check(rc))
            ThrowDBException(rc, m_hstmtUpdate);
    }
    ExecuteUpdateHstmt(sql + where);
}

bool CRecordset::CursorSupports(SQLUINTEGER bits) const
{
    return (m_dwCursorAttributes1 & bits) == bits;
}

void CRecordset::AllocAndCacheFieldInfo()
{
    SQLSMALLINT cols = 0;
    RETCODE rc = SQLNumResultCols(m_hstmt, &cols);
    if (!Check(rc))
        ThrowDBException(rc);
    m_nResultCols = cols;
    m_rgODBCFieldInfos.clear();
    if (cols <= 0)
        return;
    m_rgODBCFieldInfos.resize(static_cast<std::size_t>(cols));
    for (SQLSMALLINT i = 0; i < cols; ++i) {
        CODBCFieldInfo& info = m_rgODBCFieldInfos[static_cast<std::size_t>(i)];
        std::vector<SQLCHAR> name(256, 0);
        SQLSMALLINT nameLen = 0;
        rc = SQLDescribeCol(m_hstmt, static_cast<SQLUSMALLINT>(i + 1), name.data(),
                            static_cast<SQLSMALLINT>(name.size()), &nameLen, &info.m_nSQLType,
                            &info.m_nPrecision, &info.m_nScale, &info.m_nNullability);
        if (!Check(rc))
            ThrowDBException(rc);
        if (nameLen >= static_cast<SQLSMALLINT>(name.size())) {
            name.assign(static_cast<std::size_t>(nameLen) + 1, 0);
            rc = SQLDescribeCol(m_hstmt, static_cast<SQLUSMALLINT>(i + 1), name.data(),
                                static_cast<SQLSMALLINT>(name.size()), &nameLen, &info.m_nSQLType,
                                &info.m_nPrecision, &info.m_nScale, &info.m_nNullability);
            if (!Check(rc))
                ThrowDBException(rc);
        }
        info.m_strName = reinterpret_cast<const char*>(name.data());
    }
}

void CRecordset::AllocRowset()
{
    if (m_dwOptions & useMultiRowFetch) {
        SetRowsetSize(m_dwRowsetSize);
        return;
    }
    delete[] m_rgRowStatus;
    m_rgRowStatus = new WORD[1]();
}

void CRecordset::SetRowsetSize(DWORD dwNewRowsetSize)
{
    if (dwNewRowsetSize == 0)
        AfxThrowInvalidArgException();
    if (m_hstmt == SQL_NULL_HSTMT) {
        m_dwRowsetSize = dwNewRowsetSize;
        return;
    }
    if (!(m_dwOptions & useMultiRowFetch))
        return;
    if (m_dwAllocatedRowsetSize == 0 || m_dwAllocatedRowsetSize < dwNewRowsetSize) {
        delete[] m_rgRowStatus;
        m_rgRowStatus = nullptr;
        if (!(m_dwOptions & userAllocMultiRowBuffers)) {
            m_dwRowsetSize = dwNewRowsetSize;
            CFieldExchange del(CFieldExchange::DeleteMultiRowBuffer, this);
            DoBulkFieldExchange(&del);
            m_dwAllocatedRowsetSize = dwNewRowsetSize;
            CFieldExchange alloc(CFieldExchange::AllocMultiRowBuffer, this);
            DoBulkFieldExchange(&alloc);
            m_bFieldsBound = FALSE; // the buffers moved
        }
        m_rgRowStatus = new WORD[dwNewRowsetSize]();
    }
    m_dwRowsetSize = dwNewRowsetSize;
    RETCODE rc = SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROW_ARRAY_SIZE, AttrValue(dwNewRowsetSize), 0);
    if (!Check(rc))
        ThrowDBException(rc);
    SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROW_STATUS_PTR, m_rgRowStatus, 0);
}

WORD CRecordset::GetRowStatus(WORD wRow) const
{
    DWORD size = (m_dwOptions & useMultiRowFetch) ? std::max<DWORD>(m_dwAllocatedRowsetSize, 0) : 1;
    if (m_rgRowStatus == nullptr || wRow == 0 || wRow > size)
        return SQL_ROW_NOROW;
    return m_rgRowStatus[wRow - 1];
}

void CRecordset::SetRowsetCursorPosition(WORD wRow, WORD wLockType)
{
    RETCODE rc = AfxOdbcRetry([&] { return SQLSetPos(m_hstmt, wRow, SQL_POSITION, wLockType); });
    if (!Check(rc))
        ThrowDBException(rc);
}

BOOL CRecordset::IsOpen() const
{
    if (m_hstmt == SQL_NULL_HSTMT)
        return FALSE;
    if (m_bOpened)
        return TRUE;
    SQLSMALLINT cols = 0;
    return SQL_SUCCEEDED(SQLNumResultCols(m_hstmt, &cols)) && cols > 0;
}

void CRecordset::FreeStatements()
{
    if (m_hstmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, m_hstmt);
        m_hstmt = SQL_NULL_HSTMT;
    }
    if (m_hstmtUpdate != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, m_hstmtUpdate);
        m_hstmtUpdate = SQL_NULL_HSTMT;
    }
}

void CRecordset::Close()
{
    if (!m_rgFieldInfos.empty())
        FreeDataCache();
    if ((m_dwOptions & useMultiRowFetch) && !(m_dwOptions & userAllocMultiRowBuffers) &&
        m_dwAllocatedRowsetSize != 0) {
        CFieldExchange fx(CFieldExchange::DeleteMultiRowBuffer, this);
        DoBulkFieldExchange(&fx);
    }
    delete[] m_rgRowStatus;
    m_rgRowStatus = nullptr;
    m_dwAllocatedRowsetSize = 0;
    m_nEditMode = noMode;
    m_rgFieldInfos.clear();
    m_rgODBCFieldInfos.clear();
    m_rgFieldFlags.clear();
    m_rgParamFlags.clear();
    m_plParamLength.clear();
    FreeStatements();
    // After its connection closed us, the connection may be gone already.
    if (m_bInList && m_pDatabase != nullptr)
        m_pDatabase->RemoveRecordset(this);
    m_bInList = FALSE;
    m_bBOF = m_bEOF = TRUE;
    m_nResultCols = -1;
    m_bUpdatable = m_bAppendable = FALSE;
    m_bOpened = FALSE;
    m_bExecuteDirect = FALSE;
    m_bFieldsBound = FALSE;
    m_bCacheAllocated = FALSE;
    m_bDeleted = FALSE;
    m_nRowsFetched = 0;
    m_bKeyedUpdates = FALSE;
    m_keyColumns.clear();
    m_keyValues.clear();
    m_strRequeryBase.clear();
}

BOOL CRecordset::Requery()
{
    if (!IsOpen())
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    CloseOnFailure([&] {
        SQLFreeStmt(m_hstmt, SQL_CLOSE);
        if (m_nParams > 0)
            BindParams(m_hstmt);
        if (m_strFilter != m_strLastFilter || m_strSort != m_strLastSort) {
            if (!m_strRequeryBase.empty())
                m_strSQL = m_strRequeryBase;
            AppendFilterAndSortSQL();
            m_pDatabase->ReplaceBrackets(m_strSQL);
            PrepareAndExecute();
        } else {
            RETCODE rc = AfxOdbcRetry([&] {
                if (m_bExecuteDirect)
                    return SQLExecDirect(m_hstmt, reinterpret_cast<SQLCHAR*>(m_strSQL.data()), SQL_NTS);
                return SQLExecute(m_hstmt);
            });
            if (!Check(rc))
                ThrowDBException(rc);
            m_bEOF = m_bBOF = FALSE;
            m_bDeleted = FALSE;
        }
        FetchFirst();
    });
    return TRUE;
}

void CRecordset::Move(long nRows, WORD wFetchType)
{
    if (m_hstmt == SQL_NULL_HSTMT)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (m_nResultCols == 0) {
        m_bEOF = m_bBOF = TRUE;
        return;
    }
    if (!m_bScrollable && !IsForward(wFetchType, nRows))
        ThrowDBException(AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY);
    if ((m_bEOF && IsForward(wFetchType, nRows)) || (m_bBOF && IsBackward(wFetchType, nRows)))
        ThrowDBException(AFX_SQL_ERROR_NO_DATA_FOUND);

    bool multi = (m_dwOptions & useMultiRowFetch) != 0;
    if (multi) {
        if (!m_bFieldsBound) {
            SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROW_BIND_TYPE, AttrValue(SQL_BIND_BY_COLUMN), 0);
            CFieldExchange fx(CFieldExchange::BindFieldToColumn, this);
            DoBulkFieldExchange(&fx);
            m_bFieldsBound = TRUE;
        }
    } else if (m_nFields > 0) {
        AllocStatusArrays();
        // Bound each time: a text member's storage may have moved since.
        BindFieldsToColumns();
        if (!m_bCacheAllocated && m_bCheckCacheForDirtyFields && (m_bUpdatable || m_bAppendable))
            AllocDataCache();
        m_bFieldsBound = TRUE;
    }
    ClearFieldFlags();
    m_nEditMode = noMode;
    m_bDeleted = FALSE;
    FetchRows(wFetchType, nRows);
    if (!multi && m_nFields > 0 && !m_bEOF && !m_bBOF)
        Fixups();
}

void CRecordset::FetchRows(WORD wFetchType, long nRows)
{
    bool multi = (m_dwOptions & useMultiRowFetch) != 0;
    SQLULEN rowset = multi ? m_dwRowsetSize : 1;
    SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROW_ARRAY_SIZE, AttrValue(rowset), 0);
    SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROW_STATUS_PTR, m_rgRowStatus, 0);
    SQLSetStmtAttr(m_hstmt, SQL_ATTR_ROWS_FETCHED_PTR, &m_nRowsFetched, 0);
    RETCODE rc = SQL_SUCCESS;
    if (!multi && m_nOpenType == forwardOnly) {
        long count = wFetchType == SQL_FETCH_RELATIVE ? nRows : 1;
        for (long i = 0; i < count; ++i) {
            rc = AfxOdbcRetry([&] { return SQLFetch(m_hstmt); });
            if (!SQL_SUCCEEDED(rc))
                break;
        }
    } else {
        rc = AfxOdbcRetry([&] {
            return SQLFetchScroll(m_hstmt, wFetchType, static_cast<SQLLEN>(nRows));
        });
    }
    if (rc == SQL_NO_DATA) {
        m_nRowsFetched = 0;
        if (wFetchType == SQL_FETCH_FIRST || wFetchType == SQL_FETCH_LAST) {
            m_bEOF = m_bBOF = TRUE;
        } else if (IsBackward(wFetchType, nRows)) {
            m_bBOF = TRUE;
            m_bEOF = FALSE;
        } else {
            m_bEOF = TRUE;
            m_bBOF = FALSE;
        }
        return;
    }
    if (!SQL_SUCCEEDED(rc))
        ThrowDBException(rc);
    m_bEOF = m_bBOF = FALSE;
    if (multi)
        CheckRowsetError(rc);
}

void CRecordset::CheckRowsetError(RETCODE nRetCode)
{
    if (nRetCode != SQL_SUCCESS_WITH_INFO || m_rgRowStatus == nullptr)
        return;
    SQLULEN rows = std::min<SQLULEN>(m_nRowsFetched, m_dwAllocatedRowsetSize);
    for (SQLULEN i = 0; i < rows; ++i)
        if (m_rgRowStatus[i] == SQL_ROW_ERROR)
            ThrowDBException(AFX_SQL_ERROR_ROW_FETCH);
}

void CRecordset::GetODBCFieldInfo(short nIndex, CODBCFieldInfo& info)
{
    if (nIndex < 0 || nIndex >= static_cast<short>(m_rgODBCFieldInfos.size()))
        ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
    info = m_rgODBCFieldInfos[static_cast<std::size_t>(nIndex)];
}

void CRecordset::GetODBCFieldInfo(LPCTSTR lpszName, CODBCFieldInfo& info)
{
    for (const CODBCFieldInfo& f : m_rgODBCFieldInfos) {
        if (lpszName != nullptr && strcasecmp(f.m_strName.c_str(), lpszName) == 0) {
            info = f;
            return;
        }
    }
    ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
}

SQLLEN CRecordset::GetData(CDatabase* pdb, HSTMT hstmt, short nFieldIndex, short nFieldType,
                           void* pvData, SQLLEN nLen, short)
{
    SQLLEN indicator = 0;
    RETCODE rc = AfxOdbcRetry([&] {
        return SQLGetData(hstmt, static_cast<SQLUSMALLINT>(nFieldIndex), nFieldType, pvData, nLen,
                          &indicator);
    });
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO)
        return indicator;
    AfxThrowDBException(rc, pdb, hstmt);
}

namespace {

// Reads a text or binary column whole with as many SQLGetData calls as it takes.
// Returns false for NULL.
bool ReadWhole(CRecordset& rs, short column, SQLSMALLINT cType, std::size_t firstSize,
               std::string& out)
{
    out.clear();
    std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    std::vector<char> buffer(std::max<std::size_t>(firstSize, 16) + terminator);
    for (bool first = true;; first = false) {
        SQLLEN indicator = 0;
        RETCODE rc = AfxOdbcRetry([&] {
            return SQLGetData(rs.m_hstmt, static_cast<SQLUSMALLINT>(column), cType, buffer.data(),
                              static_cast<SQLLEN>(buffer.size()), &indicator);
        });
        if (rc == SQL_NO_DATA && !first)
            return true;
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            rs.ThrowDBException(rc);
        if (indicator == SQL_NULL_DATA)
            return false;
        std::size_t room = buffer.size() - terminator;
        bool more = rc == SQL_SUCCESS_WITH_INFO &&
                    (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room);
        std::size_t got = more ? room : static_cast<std::size_t>(indicator);
        if (cType == SQL_C_CHAR && !more)
            got = std::min(got, std::strlen(buffer.data()));
        out.append(buffer.data(), got);
        if (!more)
            return true;
        if (indicator != SQL_NO_TOTAL)
            buffer.resize(static_cast<std::size_t>(indicator) - room + terminator + 1);
        else if (buffer.size() < (1u << 20))
            buffer.resize(buffer.size() * 2);
    }
}

std::size_t TextBufferSize(const CODBCFieldInfo& info)
{
    switch (info.m_nSQLType) {
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY:
        return 256;
    default: break;
    }
    SQLULEN size = info.m_nPrecision;
    if (size == 0 || size > 65536)
        return 256;
    if (info.m_nSQLType == SQL_NUMERIC || info.m_nSQLType == SQL_DECIMAL)
        size += 2;
    // Precision counts characters; UTF-8 needs up to 4 bytes for each.
    return static_cast<std::size_t>(size) * 4 + 1;
}

} // namespace

void CRecordset::GetFieldValue(short nIndex, std::string& strValue)
{
    if (nIndex < 0 || nIndex >= m_nResultCols)
        ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
    const CODBCFieldInfo& info = m_rgODBCFieldInfos[static_cast<std::size_t>(nIndex)];
    if (!ReadWhole(*this, static_cast<short>(nIndex + 1), SQL_C_CHAR, TextBufferSize(info), strValue))
        strValue.clear();
}

void CRecordset::GetFieldValue(short nIndex, CDBVariant& varValue, short nFieldType)
{
    varValue.Clear();
    if (nIndex < 0 || nIndex >= m_nResultCols)
        ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
    const CODBCFieldInfo& info = m_rgODBCFieldInfos[static_cast<std::size_t>(nIndex)];
    short cType = nFieldType != DEFAULT_FIELD_TYPE ? nFieldType : GetDefaultFieldType(info.m_nSQLType);
    short column = static_cast<short>(nIndex + 1);
    auto fixed = [&](void* pv, SQLLEN size) {
        return GetData(m_pDatabase, m_hstmt, column, cType, pv, size, info.m_nSQLType) != SQL_NULL_DATA;
    };
    // A value of the C type's own width into its member of the variant.
    auto fixedInto = [&]<class T>(T& member, DWORD type) {
        T v{};
        if (fixed(&v, sizeof v)) {
            member = v;
            varValue.m_dwType = type;
        }
    };
    switch (cType) {
    case SQL_C_BIT: {
        unsigned char b = 0;
        if (fixed(&b, 1)) {
            varValue.m_boolVal = b != 0;
            varValue.m_dwType = DBVT_BOOL;
        }
        break;
    }
    case SQL_C_UTINYINT: fixedInto(varValue.m_chVal, DBVT_UCHAR); break;
    case SQL_C_SSHORT: fixedInto(varValue.m_iVal, DBVT_SHORT); break;
    case SQL_C_SLONG: fixedInto(varValue.m_lVal, DBVT_LONG); break;
    case SQL_C_FLOAT: fixedInto(varValue.m_fltVal, DBVT_SINGLE); break;
    case SQL_C_DOUBLE: fixedInto(varValue.m_dblVal, DBVT_DOUBLE); break;
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP: {
        TIMESTAMP_STRUCT v{};
        cType = SQL_C_TYPE_TIMESTAMP;
        if (fixed(&v, sizeof v)) {
            varValue.m_pdate = new TIMESTAMP_STRUCT(v);
            varValue.m_dwType = DBVT_DATE;
        }
        break;
    }
    case SQL_C_CHAR: {
        std::string text;
        if (ReadWhole(*this, column, SQL_C_CHAR, TextBufferSize(info), text)) {
            varValue.m_pstring = new std::string(std::move(text));
            varValue.m_dwType = DBVT_STRING;
        }
        break;
    }
    case SQL_C_BINARY: {
        std::string bytes;
        if (ReadWhole(*this, column, SQL_C_BINARY, 256, bytes)) {
            auto* binary = new CLongBinary;
            binary->m_data.assign(bytes.begin(), bytes.end());
            binary->m_dwDataLength = static_cast<DWORD>(binary->m_data.size());
            varValue.m_pbinary = binary;
            varValue.m_dwType = DBVT_BINARY;
        }
        break;
    }
    default:
        ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    }
}

short CRecordset::GetDefaultFieldType(short nSQLType)
{
    switch (nSQLType) {
    case SQL_BIT: return SQL_C_BIT;
    case SQL_TINYINT: return SQL_C_UTINYINT;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_FLOAT:
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP: return SQL_C_TIMESTAMP;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_BIGINT:
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR: return SQL_C_CHAR;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return SQL_C_BINARY;
    default:
        if (nSQLType >= 101 && nSQLType <= 113)
            return SQL_C_CHAR;
        return 0;
    }
}

// Updating

void CRecordset::AddNew()
{
    if (m_dwOptions & useMultiRowFetch)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (!m_bAppendable)
        ThrowDBException(AFX_SQL_ERROR_RECORDSET_READONLY);
    if (m_bCheckCacheForDirtyFields && m_nFields > 0) {
        if (!m_bCacheAllocated)
            AllocDataCache();
        if (m_nEditMode == addnew)
            LoadFields();
        StoreFields();
    }
    SetFieldNull(nullptr, TRUE);
    for (BYTE& flags : m_rgFieldFlags)
        flags &= static_cast<BYTE>(~AFX_SQL_FIELD_FLAG_DIRTY);
    m_nEditMode = addnew;
}

void CRecordset::Edit()
{
    if (m_dwOptions & useMultiRowFetch)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (!m_bUpdatable)
        ThrowDBException(AFX_SQL_ERROR_RECORDSET_READONLY);
    if (m_bEOF || m_bBOF || m_bDeleted)
        ThrowDBException(AFX_SQL_ERROR_NO_CURRENT_RECORD);
    if (m_nEditMode == addnew && m_bCheckCacheForDirtyFields)
        LoadFields();
    if (m_bCheckCacheForDirtyFields && m_nFields > 0) {
        if (!m_bCacheAllocated)
            AllocDataCache();
        StoreFields();
    }
    if (m_bKeyedUpdates)
        SnapshotKeys();
    m_nEditMode = edit;
}

BOOL CRecordset::Update()
{
    if (m_dwOptions & useMultiRowFetch)
        return FALSE;
    if (m_nEditMode != edit && m_nEditMode != addnew)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    return UpdateInsertDelete();
}

void CRecordset::CancelUpdate()
{
    if (m_nEditMode == noMode)
        return;
    if (m_bCheckCacheForDirtyFields && m_bCacheAllocated)
        LoadFields();
    m_nEditMode = noMode;
}

void CRecordset::Delete()
{
    if (m_dwOptions & useMultiRowFetch)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (m_nEditMode != noMode)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
    if (!m_bUpdatable || (!m_bKeyedUpdates && !CursorSupports(SQL_CA1_POS_DELETE)))
        ThrowDBException(AFX_SQL_ERROR_RECORDSET_READONLY);
    if (m_bEOF || m_bBOF || m_bDeleted)
        ThrowDBException(AFX_SQL_ERROR_NO_CURRENT_RECORD);
    if (m_bKeyedUpdates) {
        SnapshotKeys();
        PrepareUpdateHstmt();
        ExecuteKeyed("DELETE FROM " + m_strTableName, 0);
    } else {
        SetPosOperation(SQL_DELETE);
    }
    m_bDeleted = TRUE;
}

BOOL CRecordset::UpdateInsertDelete()
{
    if (m_nEditMode == addnew) {
        if (!m_bAppendable)
            ThrowDBException(AFX_SQL_ERROR_RECORDSET_READONLY);
        if (!MarkFields(m_bCheckCacheForDirtyFields ? UINT(CFieldExchange::MarkForAddNew) : UINT(-1)))
            return FALSE;
        PrepareUpdateHstmt();
        std::string columns, values;
        CFieldExchange names(CFieldExchange::Name, this);
        names.m_pstr = &columns;
        names.m_hstmt = m_hstmtUpdate;
        DoFieldExchange(&names);
        CFieldExchange marks(CFieldExchange::Value, this);
        marks.m_pstr = &values;
        marks.m_hstmt = m_hstmtUpdate;
        DoFieldExchange(&marks);
        if (!columns.empty() && columns.back() == ',')
            columns.pop_back();
        if (!values.empty() && values.back() == ',')
            values.pop_back();
        ExecuteUpdateHstmt("INSERT INTO " + m_strTableName + " (" + columns + ") VALUES (" + values + ")");
        if (m_bCheckCacheForDirtyFields && m_bCacheAllocated)
            LoadFields();
    } else {
        if (!m_bUpdatable)
            ThrowDBException(AFX_SQL_ERROR_RECORDSET_READONLY);
        if (m_bEOF || m_bBOF || m_bDeleted)
            ThrowDBException(AFX_SQL_ERROR_NO_CURRENT_RECORD);
        if (!MarkFields(m_bCheckCacheForDirtyFields ? UINT(CFieldExchange::MarkForUpdate) : UINT(-1)))
            return FALSE;
        if (m_bKeyedUpdates) {
            PrepareUpdateHstmt();
            std::string assignments;
            CFieldExchange fx(CFieldExchange::NameValue, this);
            fx.m_pstr = &assignments;
            fx.m_hstmt = m_hstmtUpdate;
            DoFieldExchange(&fx);
            if (!assignments.empty() && assignments.back() == ',')
                assignments.pop_back();
            ExecuteKeyed("UPDATE " + m_strTableName + " SET " + assignments, fx.m_nBoundParams);
        } else {
            SetPosOperation(SQL_UPDATE);
        }
    }
    for (BYTE& flags : m_rgFieldFlags)
        flags &= static_cast<BYTE>(~AFX_SQL_FIELD_FLAG_DIRTY);
    m_nEditMode = noMode;
    return TRUE;
}

void CRecordset::PrepareUpdateHstmt()
{
    if (m_hstmtUpdate != SQL_NULL_HSTMT) {
        bool ok = Check(SQLFreeStmt(m_hstmtUpdate, SQL_CLOSE));
        if (ok && !(m_dwOptions & optimizeBulkAdd))
            ok = Check(SQLFreeStmt(m_hstmtUpdate, SQL_RESET_PARAMS));
        if (ok)
            return;
        SQLFreeHandle(SQL_HANDLE_STMT, m_hstmtUpdate);
        m_hstmtUpdate = SQL_NULL_HSTMT;
    }
    RETCODE rc = SQLAllocHandle(SQL_HANDLE_STMT, m_pDatabase->m_hdbc, &m_hstmtUpdate);
    if (!Check(rc)) {
        m_hstmtUpdate = SQL_NULL_HSTMT;
        AfxThrowDBException(rc, m_pDatabase, SQL_NULL_HSTMT);
    }
    m_pDatabase->OnSetOptions(m_hstmtUpdate);
}

void CRecordset::ExecuteUpdateHstmt(const std::string& sql)
{
    std::string text = sql;
    RETCODE rc = AfxOdbcRetry([&] {
        return SQLExecDirect(m_hstmtUpdate, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    });
    if (!Check(rc) || rc == SQL_NEED_DATA)
        ThrowDBException(rc, m_hstmtUpdate);
    SQLLEN rows = -1;
    if (SQL_SUCCEEDED(SQLRowCount(m_hstmtUpdate, &rows))) {
        if (rows == 0)
            ThrowDBException(AFX_SQL_ERROR_NO_ROWS_AFFECTED);
        if (rows > 1)
            ThrowDBException(AFX_SQL_ERROR_MULTIPLE_ROWS_AFFECTED);
    }
}

void CRecordset::SetPosOperation(SQLUSMALLINT nOperation)
{
    RETCODE rc;
    if (nOperation == SQL_UPDATE) {
        CFieldExchange bind(CFieldExchange::BindFieldForUpdate, this);
        DoFieldExchange(&bind);
        rc = AfxOdbcRetry([&] { return SQLSetPos(m_hstmt, 1, SQL_UPDATE, SQL_LOCK_NO_CHANGE); });
        CFieldExchange unbind(CFieldExchange::UnbindFieldForUpdate, this);
        DoFieldExchange(&unbind);
    } else {
        rc = AfxOdbcRetry([&] { return SQLSetPos(m_hstmt, 1, nOperation, SQL_LOCK_NO_CHANGE); });
    }
    if (!Check(rc))
        ThrowDBException(rc);
}

// Field exchange passes

void CRecordset::BindFieldsToColumns()
{
    ExchangePass(this, CFieldExchange::BindFieldToColumn);
}

void CRecordset::Fixups()
{
    ExchangePass(this, CFieldExchange::Fixup);
}

void CRecordset::StoreFields()
{
    ExchangePass(this, CFieldExchange::StoreField);
}

void CRecordset::LoadFields()
{
    ExchangePass(this, CFieldExchange::LoadField);
}

void CRecordset::AllocDataCache()
{
    AllocStatusArrays();
    ExchangePass(this, CFieldExchange::AllocCache);
    m_bCacheAllocated = TRUE;
}

BOOL CRecordset::MarkFields(UINT nOperation)
{
    if (nOperation != UINT(-1))
        ExchangePass(this, nOperation);
    for (BYTE flags : m_rgFieldFlags)
        if (flags & AFX_SQL_FIELD_FLAG_DIRTY)
            return TRUE;
    return FALSE;
}

void CRecordset::ClearFieldFlags()
{
    std::fill(m_rgFieldFlags.begin(), m_rgFieldFlags.end(), BYTE(0));
}

void CRecordset::FreeDataCache()
{
    for (CFieldInfo& info : m_rgFieldInfos) {
        if (info.m_pvDataCache != nullptr) {
            if (info.m_pfnFreeCache != nullptr) {
                info.m_pfnFreeCache(info.m_pvDataCache);
            } else {
                switch (info.m_nDataType) {
                case AFX_RFX_DOUBLE: delete static_cast<double*>(info.m_pvDataCache); break;
                case AFX_RFX_BINARY: delete static_cast<std::vector<std::uint8_t>*>(info.m_pvDataCache); break;
                case AFX_RFX_TEXT: delete static_cast<std::string*>(info.m_pvDataCache); break;
                case AFX_RFX_TIMESTAMP: delete static_cast<TIMESTAMP_STRUCT*>(info.m_pvDataCache); break;
                default:
                    if (!AfxIsCachedByValue(info.m_nDataType))
                        continue; // owned by whoever registered the type
                    break;
                }
            }
        }
        info.m_pvDataCache = nullptr;
        info.m_pfnFreeCache = nullptr;
        info.m_nDataType = 0;
    }
    m_bCacheAllocated = FALSE;
}

// Status

BOOL CRecordset::FieldFlag(DWORD nField, BYTE bit) const
{
    return nField < m_rgFieldFlags.size() && (m_rgFieldFlags[nField] & bit) != 0;
}

void CRecordset::SetFieldFlag(DWORD nField, BYTE bit, bool on)
{
    if (nField >= m_rgFieldFlags.size())
        return;
    if (on)
        m_rgFieldFlags[nField] |= bit;
    else
        m_rgFieldFlags[nField] &= static_cast<BYTE>(~bit);
}

BOOL CRecordset::IsParamStatusNull(DWORD nParam) const
{
    return nParam < m_rgParamFlags.size() && (m_rgParamFlags[nParam] & AFX_SQL_FIELD_FLAG_NULL) != 0;
}

void CRecordset::SetNullParamStatus(DWORD nParam)
{
    if (nParam < m_rgParamFlags.size())
        m_rgParamFlags[nParam] |= AFX_SQL_FIELD_FLAG_NULL;
}

void CRecordset::ClearNullParamStatus(DWORD nParam)
{
    if (nParam < m_rgParamFlags.size())
        m_rgParamFlags[nParam] &= static_cast<BYTE>(~AFX_SQL_FIELD_FLAG_NULL);
}

BYTE CRecordset::GetFieldStatus(DWORD nField) const
{
    return nField < m_rgFieldFlags.size() ? m_rgFieldFlags[nField] : BYTE(0);
}

void CRecordset::SetFieldStatus(DWORD nField, BYTE bFlags)
{
    if (nField < m_rgFieldFlags.size())
        m_rgFieldFlags[nField] = bFlags;
}

SQLLEN* CRecordset::GetFieldLengthBuffer(DWORD nField, int nFieldType)
{
    if (nFieldType == CFieldExchange::outputColumn) {
        if (nField >= m_rgFieldInfos.size())
            ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
        return &m_rgFieldInfos[nField].m_nLength;
    }
    if (nField >= m_plParamLength.size())
        ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    return &m_plParamLength[nField];
}

void CRecordset::SetFieldNull(void* pv, BOOL bNull)
{
    CFieldExchange fx(CFieldExchange::SetFieldNull, this, pv);
    fx.m_bField = bNull;
    DoFieldExchange(&fx);
}

static UINT LookupField(CRecordset& rs, void* pv)
{
    auto it = rs.m_mapFieldIndex.find(pv);
    if (it == rs.m_mapFieldIndex.end())
        rs.ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
    return it->second;
}

void CRecordset::SetFieldDirty(void* pv, BOOL bDirty)
{
    if (pv == nullptr) {
        for (DWORD i = 0; i < m_rgFieldFlags.size(); ++i)
            SetFieldFlag(i, AFX_SQL_FIELD_FLAG_DIRTY, bDirty);
        return;
    }
    SetFieldFlag(LookupField(*this, pv) - 1, AFX_SQL_FIELD_FLAG_DIRTY, bDirty);
}

BOOL CRecordset::IsFieldNull(void* pv)
{
    return IsFieldStatusNull(LookupField(*this, pv) - 1);
}

BOOL CRecordset::IsFieldDirty(void* pv)
{
    return IsFieldStatusDirty(LookupField(*this, pv) - 1);
}

void CRecordset::SetParamNull(int nIndex, BOOL bNull)
{
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    if (bNull)
        SetNullParamStatus(static_cast<DWORD>(nIndex));
    else
        ClearNullParamStatus(static_cast<DWORD>(nIndex));
}

BOOL CRecordset::Check(RETCODE nRetCode) const
{
    return nRetCode == SQL_SUCCESS || nRetCode == SQL_SUCCESS_WITH_INFO || nRetCode == SQL_NO_DATA ||
           nRetCode == SQL_NEED_DATA;
}

void CRecordset::ThrowDBException(RETCODE nRetCode, HSTMT hstmt)
{
    AfxThrowDBException(nRetCode, m_pDatabase, hstmt != SQL_NULL_HSTMT ? hstmt : m_hstmt);
}
