// The database classes: a connection, a recordset with record field exchange,
// and the database exception, over the unixODBC driver manager.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "afx/dbdialect.h"
#include "afx/object.h"

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef std::int32_t LONG;
typedef const char* LPCTSTR;

// The database engine's own error codes, carried in CDBException::m_nRetCode
// beside the ODBC return codes.
enum : RETCODE {
    AFX_SQL_ERROR = 1000,
    AFX_SQL_ERROR_CONNECT_FAIL = 1001,
    AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY = 1002,
    AFX_SQL_ERROR_EMPTY_COLUMN_LIST = 1003,
    AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH = 1004,
    AFX_SQL_ERROR_ILLEGAL_MODE = 1005,
    AFX_SQL_ERROR_MULTIPLE_ROWS_AFFECTED = 1006,
    AFX_SQL_ERROR_NO_CURRENT_RECORD = 1007,
    AFX_SQL_ERROR_NO_ROWS_AFFECTED = 1008,
    AFX_SQL_ERROR_RECORDSET_READONLY = 1009,
    AFX_SQL_ERROR_SQL_NO_TOTAL = 1010,
    AFX_SQL_ERROR_DYNASET_NOT_SUPPORTED = 1012,
    AFX_SQL_ERROR_SNAPSHOT_NOT_SUPPORTED = 1013,
    AFX_SQL_ERROR_NO_DATA_FOUND = 1016,
    AFX_SQL_ERROR_NO_POSITIONED_UPDATES = 1019,
    AFX_SQL_ERROR_DATA_TRUNCATED = 1021,
    AFX_SQL_ERROR_ROW_FETCH = 1022,
    AFX_SQL_ERROR_UPDATE_DELETE_FAILED = 1024,
    AFX_SQL_ERROR_DYNAMIC_CURSOR_NOT_SUPPORTED = 1025,
    AFX_SQL_ERROR_FIELD_NOT_FOUND = 1026,
    AFX_SQL_ERROR_MAX = 1029,
};

constexpr DWORD AFX_DB_USE_DEFAULT_TYPE = 0xFFFFFFFF;
constexpr short DEFAULT_FIELD_TYPE = 0;

// Status bits of the field and parameter flag arrays.
constexpr BYTE AFX_SQL_FIELD_FLAG_DIRTY = 0x1;
constexpr BYTE AFX_SQL_FIELD_FLAG_NULL = 0x2;

// Cache data types of CFieldInfo::m_nDataType.
enum {
    AFX_RFX_BOOL = 1,
    AFX_RFX_BYTE = 2,
    AFX_RFX_INT = 3,
    AFX_RFX_LONG = 4,
    AFX_RFX_SINGLE = 6,
    AFX_RFX_DOUBLE = 7,
    AFX_RFX_BINARY = 9,
    AFX_RFX_TEXT = 10,
    AFX_RFX_TIMESTAMP = 13,
};

// Values a member holds while its field is NULL.
constexpr BOOL AFX_RFX_BOOL_PSEUDO_NULL = 2;
constexpr BYTE AFX_RFX_BYTE_PSEUDO_NULL = 255;
constexpr int AFX_RFX_INT_PSEUDO_NULL = 0x7EE4;
constexpr LONG AFX_RFX_LONG_PSEUDO_NULL = 0x4A4D4120;
constexpr float AFX_RFX_SINGLE_PSEUDO_NULL = -9.123e19f;
constexpr double AFX_RFX_DOUBLE_PSEUDO_NULL = -9.123e19;
constexpr SQLUSMALLINT AFX_RFX_DATE_PSEUDO_NULL = 99;

// The engine throws these for allocation and argument errors.
class CMemoryException : public CException {
public:
    CMemoryException() : CException("Out of memory.") {}
};

class CInvalidArgException : public CException {
public:
    CInvalidArgException() : CException("Invalid argument.") {}
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();

class CDatabase;
class CRecordset;

// A database error: an ODBC return code or one of the AFX_SQL_ERROR codes,
// the diagnostic messages and one "State:..." line per diagnostic record.
class CDBException : public CException {
public:
    explicit CDBException(RETCODE nRetCode = SQL_SUCCESS);

    RETCODE m_nRetCode;
    std::string m_strError;
    std::string m_strStateNativeOrigin;

    // Reads every diagnostic record of hstmt, else of the open connection,
    // else of the environment, into both texts. Never throws.
    void BuildErrorString(CDatabase* pdb, HSTMT hstmt, BOOL bTrace = TRUE);
    BOOL GetErrorMessage(std::string& message) const;
    const char* what() const noexcept override { return m_strError.c_str(); }
};

[[noreturn]] void AfxThrowDBException(RETCODE nRetCode, CDatabase* pdb, HSTMT hstmt);
// The fixed English text of an AFX_SQL_ERROR code (empty for other codes).
std::string AfxDBErrorText(RETCODE nRetCode);

void AfxOdbcYield();

// Repeats an ODBC call while the driver reports SQL_STILL_EXECUTING.
template <class F>
RETCODE AfxOdbcRetry(F&& call)
{
    RETCODE rc;
    while ((rc = call()) == SQL_STILL_EXECUTING)
        AfxOdbcYield();
    return rc;
}

// The process-wide ODBC 3 environment, counted by the open connections.
HENV AfxGetHENV();

class CDatabase : public CObject {
    DECLARE_DYNAMIC(CDatabase)

public:
    enum DbOpenOptions : DWORD {
        openExclusive = 0x1,
        openReadOnly = 0x2,
        useCursorLib = 0x4,
        noOdbcDialog = 0x8,
        forceOdbcDialog = 0x10,
    };
    // Bits of m_dwUpdateOptions.
    enum : DWORD {
        AFX_SQL_SETPOSUPDATES = 0x1,
        AFX_SQL_POSITIONEDSQL = 0x2,
        AFX_SQL_GDBOUND = 0x4,
    };

    CDatabase();
    virtual ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    virtual BOOL Open(LPCTSTR lpszDSN, BOOL bExclusive = FALSE, BOOL bReadOnly = FALSE,
                      LPCTSTR lpszConnect = "ODBC;", BOOL bUseCursorLib = FALSE);
    virtual BOOL OpenEx(LPCTSTR lpszConnectString, DWORD dwOptions = 0);
    virtual void Close();
    BOOL IsOpen() const { return m_hdbc != SQL_NULL_HDBC; }

    const std::string& GetConnect() const { return m_strConnect; }
    std::string GetDatabaseName() const;
    BOOL CanUpdate() const { return m_bUpdatable; }
    BOOL CanTransact() const { return m_bTransactions; }
    void SetLoginTimeout(DWORD dwSeconds) { m_dwLoginTimeout = dwSeconds; }
    void SetQueryTimeout(DWORD dwSeconds) { m_dwQueryTimeout = dwSeconds; }
    BOOL BeginTrans();
    BOOL CommitTrans();
    BOOL Rollback();

    void ExecuteSQL(LPCTSTR lpszSQL);
    virtual void OnSetOptions(HSTMT hstmt);
    virtual void BindParameters(HSTMT hstmt);

    virtual BOOL Check(RETCODE nRetCode) const;
    BOOL CheckHstmt(RETCODE nRetCode, HSTMT hstmt) const;
    [[noreturn]] virtual void ThrowDBException(RETCODE nRetCode);

    // Outside single-quoted literals, "[" and "]" become the identifier quote
    // character; "[[" and "]]" stand for one literal bracket.
    void ReplaceBrackets(std::string& sql) const;
    char GetIdentifierQuoteChar() const { return m_chIDQuoteChar; }
    // The DBMS name the driver reports (SQL_DBMS_NAME).
    const std::string& GetDBMSName() const { return m_strDBMSName; }
    CDbDialect GetDialect() const { return CDbDialect(odbcbase::EngineOfDbmsName(m_strDBMSName)); }
    // name quoted with the identifier quote character (embedded quotes doubled).
    std::string QuoteName(const std::string& name) const;

    // The connection's recordsets in the order they joined (a copy).
    std::vector<CRecordset*> GetRecordsets() const;

    virtual void AssertValid() const {}
    virtual void Dump() const {}

    HDBC m_hdbc = SQL_NULL_HDBC;
    BOOL m_bStripTrailingSpaces = FALSE;

protected:
    friend class CRecordset;
    void AddRecordset(CRecordset* prs);
    void RemoveRecordset(CRecordset* prs);
    void CacheConnectionInfo();

    std::string m_strConnect;
    DWORD m_dwLoginTimeout = 15;
    DWORD m_dwQueryTimeout = 15;
    DWORD m_dwUpdateOptions = 0;
    BOOL m_bUpdatable = FALSE;
    BOOL m_bTransactions = FALSE;
    char m_chIDQuoteChar = '"';
    std::string m_strDBMSName;

    mutable std::mutex m_listLock;
    std::list<CRecordset*> m_listRecordsets;
};

// One result column as SQLDescribeCol reports it.
struct CODBCFieldInfo {
    std::string m_strName;
    SWORD m_nSQLType = 0;
    SQLULEN m_nPrecision = 0;
    SWORD m_nScale = 0;
    SWORD m_nNullability = 0;
};

// One bound field of a recordset and its dirty-check cache. m_pvDataCache
// holds the value itself for the by-value types and otherwise points to the
// cached copy, which m_pfnFreeCache (when set) releases.
struct CFieldInfo {
    void* m_pvDataCache = nullptr;
    SQLLEN m_nLength = 0;
    int m_nDataType = 0;
    BYTE m_bStatus = 0;
    void (*m_pfnFreeCache)(void*) = nullptr;
};

enum DBVariantType : DWORD {
    DBVT_NULL = 0,
    DBVT_BOOL = 1,
    DBVT_UCHAR = 2,
    DBVT_SHORT = 3,
    DBVT_LONG = 4,
    DBVT_SINGLE = 5,
    DBVT_DOUBLE = 6,
    DBVT_DATE = 7,
    DBVT_STRING = 8,
    DBVT_BINARY = 9,
    DBVT_ASTRING = 10,
    DBVT_WSTRING = 11,
};

struct CLongBinary {
    DWORD m_dwDataLength = 0;
    std::vector<std::uint8_t> m_data;
};

class CDBVariant {
public:
    CDBVariant() = default;
    virtual ~CDBVariant() { Clear(); }
    CDBVariant(const CDBVariant&) = delete;
    CDBVariant& operator=(const CDBVariant&) = delete;
    void Clear();

    DWORD m_dwType = DBVT_NULL;
    union {
        BOOL m_boolVal;
        BYTE m_chVal;
        short m_iVal;
        LONG m_lVal;
        float m_fltVal;
        double m_dblVal;
        TIMESTAMP_STRUCT* m_pdate;
        std::string* m_pstring;
        CLongBinary* m_pbinary;
    };
};

class CFieldExchange {
public:
    enum RFX_Operation {
        BindParam,
        RebindParam,
        BindFieldToColumn,
        BindFieldForUpdate,
        UnbindFieldForUpdate,
        Fixup,
        MarkForAddNew,
        MarkForUpdate,
        Name,
        NameValue,
        Value,
        SetFieldNull,
        StoreField,
        LoadField,
        AllocCache,
        AllocMultiRowBuffer,
        DeleteMultiRowBuffer,
        // The engine's own: copies the key fields of the current row for a
        // keyed UPDATE or DELETE.
        StoreKey,
    };
    enum FieldType : UINT {
        noFieldType = static_cast<UINT>(-1),
        outputColumn = 0,
        param = SQL_PARAM_INPUT,
        inputParam = param,
        inoutParam = SQL_PARAM_INPUT_OUTPUT,
        outputParam = SQL_PARAM_OUTPUT,
    };

    CFieldExchange(UINT nOperation, CRecordset* prs, void* pvField = nullptr);

    void SetFieldType(UINT nFieldType) { m_nFieldType = nFieldType; }
    BOOL IsFieldType(UINT* pnField);
    void Default(LPCTSTR szName, void* pv, SQLLEN* plLength, int nCType, SQLULEN cbValue,
                 SQLULEN cbPrecision);

    UINT m_nOperation;
    CRecordset* m_prs;
    UINT m_nFieldType = noFieldType;
    UINT m_nFields = 0;
    UINT m_nParams = 0;
    void* m_pvField;
    BOOL m_bField = FALSE;
    HSTMT m_hstmt;
    std::string* m_pstr = nullptr;
    LPCTSTR m_lpszSeparator = ",";
    // Parameter numbers given out by NameValue and Value on m_hstmt.
    UINT m_nBoundParams = 0;
};

class CRecordset : public CObject {
    DECLARE_DYNAMIC(CRecordset)

public:
    enum OpenType : UINT { dynaset = 0, snapshot = 1, forwardOnly = 2, dynamic = 3 };
    enum OpenOptions : DWORD {
        none = 0x0,
        readOnly = 0x4,
        appendOnly = 0x8,
        skipDeletedRecords = 0x10,
        noDirtyFieldCheck = 0x20,
        useBookmarks = 0x100,
        useMultiRowFetch = 0x200,
        userAllocMultiRowBuffers = 0x400,
        useExtendedFetch = 0x800,
        executeDirect = 0x2000,
        optimizeBulkAdd = 0x4000,
        firstBulkAdd = 0x8000,
    };
    enum EditMode { noMode = 0, edit = 1, addnew = 2 };

    explicit CRecordset(CDatabase* pDatabase = nullptr);
    virtual ~CRecordset();
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    virtual BOOL Open(UINT nOpenType = AFX_DB_USE_DEFAULT_TYPE, LPCTSTR lpszSQL = nullptr,
                      DWORD dwOptions = none);
    virtual void Close();
    virtual BOOL Requery();
    BOOL IsOpen() const;

    virtual void Move(long nRows, WORD wFetchType = SQL_FETCH_RELATIVE);
    void MoveNext() { Move(1, SQL_FETCH_NEXT); }
    void MovePrev() { Move(-1, SQL_FETCH_PRIOR); }
    void MoveFirst() { Move(1, SQL_FETCH_FIRST); }
    void MoveLast() { Move(-1, SQL_FETCH_LAST); }
    BOOL IsEOF() const { return m_bEOF; }
    BOOL IsBOF() const { return m_bBOF; }

    DWORD GetRowsetSize() const { return m_dwRowsetSize; }
    virtual void SetRowsetSize(DWORD dwNewRowsetSize);
    DWORD GetRowsFetched() const { return static_cast<DWORD>(m_nRowsFetched); }
    WORD GetRowStatus(WORD wRow) const;
    virtual void SetRowsetCursorPosition(WORD wRow, WORD wLockType = SQL_LOCK_NO_CHANGE);

    short GetODBCFieldCount() const { return m_nResultCols; }
    void GetODBCFieldInfo(short nIndex, CODBCFieldInfo& info);
    void GetODBCFieldInfo(LPCTSTR lpszName, CODBCFieldInfo& info);
    const CODBCFieldInfo* GetODBCFieldInfos() const
    {
        return m_rgODBCFieldInfos.empty() ? nullptr : m_rgODBCFieldInfos.data();
    }
    void GetFieldValue(short nIndex, std::string& strValue);
    void GetFieldValue(short nIndex, CDBVariant& varValue, short nFieldType = DEFAULT_FIELD_TYPE);
    static SQLLEN GetData(CDatabase* pdb, HSTMT hstmt, short nFieldIndex, short nFieldType,
                          void* pvData, SQLLEN nLen, short nSQLType);
    static short GetDefaultFieldType(short nSQLType);

    virtual void AddNew();
    virtual void Edit();
    virtual BOOL Update();
    virtual void Delete();
    void CancelUpdate();
    BOOL CanUpdate() const { return m_bUpdatable; }
    BOOL CanAppend() const { return m_bAppendable; }
    BOOL CanScroll() const { return m_bScrollable; }
    int GetEditMode() const { return m_nEditMode; }

    void SetFieldNull(void* pv, BOOL bNull = TRUE);
    void SetFieldDirty(void* pv, BOOL bDirty = TRUE);
    BOOL IsFieldNull(void* pv);
    BOOL IsFieldDirty(void* pv);
    void SetParamNull(int nIndex, BOOL bNull = TRUE);

    virtual void DoFieldExchange(CFieldExchange* pFX) {}
    virtual void DoBulkFieldExchange(CFieldExchange* pFX) {}
    virtual void PreBindFields() {}
    virtual void OnSetOptions(HSTMT hstmt);
    virtual std::string GetDefaultSQL() { return std::string(); }
    virtual std::string GetDefaultConnect() { return "ODBC;"; }
    const std::string& GetSQL() const { return m_strSQL; }
    const std::string& GetTableName() const { return m_strTableName; }

    BOOL Check(RETCODE nRetCode) const;
    [[noreturn]] virtual void ThrowDBException(RETCODE nRetCode, HSTMT hstmt = SQL_NULL_HSTMT);

    // Field and parameter status, 0-based.
    SQLLEN* GetFieldLengthBuffer(DWORD nField, int nFieldType);
    BOOL IsFieldStatusNull(DWORD nField) const { return FieldFlag(nField, AFX_SQL_FIELD_FLAG_NULL); }
    void SetNullFieldStatus(DWORD nField) { SetFieldFlag(nField, AFX_SQL_FIELD_FLAG_NULL, true); }
    void ClearNullFieldStatus(DWORD nField) { SetFieldFlag(nField, AFX_SQL_FIELD_FLAG_NULL, false); }
    BOOL IsFieldStatusDirty(DWORD nField) const { return FieldFlag(nField, AFX_SQL_FIELD_FLAG_DIRTY); }
    void SetDirtyFieldStatus(DWORD nField) { SetFieldFlag(nField, AFX_SQL_FIELD_FLAG_DIRTY, true); }
    void ClearDirtyFieldStatus(DWORD nField) { SetFieldFlag(nField, AFX_SQL_FIELD_FLAG_DIRTY, false); }
    BOOL IsParamStatusNull(DWORD nParam) const;
    void SetNullParamStatus(DWORD nParam);
    void ClearNullParamStatus(DWORD nParam);
    BYTE GetFieldStatus(DWORD nField) const;
    void SetFieldStatus(DWORD nField, BYTE bFlags);

    CDatabase* m_pDatabase;
    HSTMT m_hstmt = SQL_NULL_HSTMT;
    UINT m_nFields = 0;
    UINT m_nParams = 0;
    std::string m_strFilter;
    std::string m_strSort;
    std::vector<CFieldInfo> m_rgFieldInfos;
    std::map<void*, UINT> m_mapFieldIndex;
    std::map<void*, UINT> m_mapParamIndex;

protected:
    void SetState(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions);
    BOOL AllocHstmt();
    void AllocStatusArrays();
    void BuildSQL(LPCTSTR lpszSQL);
    void AppendFilterAndSortSQL();
    UINT BindParams(HSTMT hstmt);
    void PrepareAndExecute();
    void AllocAndCacheFieldInfo();
    void AllocRowset();
    // The steps of Open around makeAndRun, which puts the SQL text in
    // m_strSQL and executes it: before, the statement's options and status
    // arrays; after, the field information, the rowset, the fields' last
    // preparation and the first row. A failure on the way closes the
    // recordset.
    BOOL OpenAround(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions, const std::function<void()>& makeAndRun);
    // Fetches the first row; the recordset is at its start and, when empty,
    // at its end too.
    void FetchFirst();
    // Runs body; when it fails, the recordset is closed before the failure
    // passes on.
    template <class Body>
    void CloseOnFailure(Body body)
    {
        try {
            body();
        } catch (...) {
            try {
                Close();
            } catch (...) {
            }
            throw;
        }
    }
    void PrepareUpdateHstmt();
    BOOL UpdateInsertDelete();
    void FreeDataCache();

    // The exchange passes; each calls DoFieldExchange with one operation.
    void BindFieldsToColumns();
    void Fixups();
    void StoreFields();
    void LoadFields();
    void AllocDataCache();
    BOOL MarkFields(UINT nOperation);
    void ClearFieldFlags();

    UINT m_nOpenType = snapshot;
    UINT m_nDefaultType = snapshot;
    DWORD m_dwOptions = none;
    int m_nEditMode = noMode;
    BOOL m_bEOF = TRUE;
    BOOL m_bBOF = TRUE;
    BOOL m_bUpdatable = FALSE;
    BOOL m_bAppendable = FALSE;
    BOOL m_bScrollable = FALSE;
    BOOL m_bCheckCacheForDirtyFields = TRUE;
    BOOL m_bRecordsetDb = FALSE;
    BOOL m_bOpened = FALSE;
    BOOL m_bExecuteDirect = FALSE; // the statement runs with SQLExecDirect, not prepared
    BOOL m_bFieldsBound = FALSE;
    BOOL m_bCacheAllocated = FALSE;
    BOOL m_bDeleted = FALSE;
    BOOL m_bInList = FALSE; // joined m_pDatabase's list of recordsets
    short m_nResultCols = -1;
    DWORD m_dwRowsetSize = 25;
    DWORD m_dwAllocatedRowsetSize = 0;
    SQLULEN m_nRowsFetched = 0;
    SQLUINTEGER m_dwCursorAttributes1 = 0;
    WORD* m_rgRowStatus = nullptr;
    HSTMT m_hstmtUpdate = SQL_NULL_HSTMT;
    std::string m_strSQL;
    std::string m_strRequeryBase;
    std::string m_strLastFilter;
    std::string m_strLastSort;
    std::string m_strTableName;
    std::vector<CODBCFieldInfo> m_rgODBCFieldInfos;
    std::vector<BYTE> m_rgFieldFlags;
    std::vector<BYTE> m_rgParamFlags;
    std::vector<SQLLEN> m_plParamLength;

private:
    BOOL FieldFlag(DWORD nField, BYTE bit) const;
    void SetFieldFlag(DWORD nField, BYTE bit, bool on);
    void FetchRows(WORD wFetchType, long nRows);
    void ExecuteUpdateHstmt(const std::string& sql);
    void SetPosOperation(SQLUSMALLINT nOperation);
    void FreeStatements();
    bool CursorSupports(SQLUINTEGER bits) const;
    void CheckRowsetError(RETCODE nRetCode);
    bool LoadKeyColumns();
    void SnapshotKeys();
    void ExecuteKeyed(std::string sql, UINT nBoundParams);

public:
    // A key field of the current row, as the keyed UPDATE and DELETE bind it.
    struct KeyValue {
        UINT nField;
        SQLSMALLINT nCType;
        std::vector<std::uint8_t> bytes;
        SQLLEN nLength;
    };
    bool IsKeyField(UINT nField) const;
    void AddKeyValue(KeyValue value) { m_keyValues.push_back(std::move(value)); }

private:
    BOOL m_bKeyedUpdates = FALSE;
    std::vector<std::string> m_keyColumns;
    std::vector<KeyValue> m_keyValues;
};

// The SQL type a parameter of the C type is declared with.
SQLSMALLINT AfxSqlTypeForCType(int nCType);

// The engine's record field exchange functions.
void RFX_Bool(CFieldExchange* pFX, LPCTSTR szName, BOOL& value);
void RFX_Byte(CFieldExchange* pFX, LPCTSTR szName, BYTE& value);
void RFX_Int(CFieldExchange* pFX, LPCTSTR szName, int& value);
void RFX_Long(CFieldExchange* pFX, LPCTSTR szName, LONG& value);
void RFX_Single(CFieldExchange* pFX, LPCTSTR szName, float& value);
void RFX_Double(CFieldExchange* pFX, LPCTSTR szName, double& value);
void RFX_Date(CFieldExchange* pFX, LPCTSTR szName, TIMESTAMP_STRUCT& value);

void RFX_Bool_Bulk(CFieldExchange* pFX, LPCTSTR szName, BOOL** prgBoolVals, SQLLEN** prgLengths);
void RFX_Byte_Bulk(CFieldExchange* pFX, LPCTSTR szName, BYTE** prgByteVals, SQLLEN** prgLengths);
void RFX_Long_Bulk(CFieldExchange* pFX, LPCTSTR szName, LONG** prgLongVals, SQLLEN** prgLengths);
void RFX_Single_Bulk(CFieldExchange* pFX, LPCTSTR szName, float** prgFltVals, SQLLEN** prgLengths);
void RFX_Double_Bulk(CFieldExchange* pFX, LPCTSTR szName, double** prgDblVals, SQLLEN** prgLengths);
void RFX_Date_Bulk(CFieldExchange* pFX, LPCTSTR szName, TIMESTAMP_STRUCT** prgTSVals,
                   SQLLEN** prgLengths);
void RFX_Text_Bulk(CFieldExchange* pFX, LPCTSTR szName, char** prgStrVals, SQLLEN** prgLengths,
                   int nMaxLength);
void RFX_Binary_Bulk(CFieldExchange* pFX, LPCTSTR szName, BYTE** prgByteVals, SQLLEN** prgLengths,
                     int nMaxLength);
void AfxRFXBulkDefault(CFieldExchange* pFX, LPCTSTR szName, void* pv, SQLLEN* rgLengths, int nCType,
                       SQLULEN cbValue);

// A bulk exchange of elementSize bytes a row (a whole number of T): makes
// and frees the value and length arrays, and leaves every other operation
// to AfxRFXBulkDefault.
template <class T>
void AfxRFXBulkArrays(CFieldExchange* pFX, LPCTSTR szName, T** values, SQLLEN** lengths, int nCType,
                      std::size_t elementSize)
{
    UINT n = 0;
    if (!pFX->IsFieldType(&n))
        return;
    switch (pFX->m_nOperation) {
    case CFieldExchange::AllocMultiRowBuffer: {
        std::size_t rows = pFX->m_prs->GetRowsetSize();
        std::size_t count = elementSize / sizeof(T);
        if (count == 0 || rows > std::numeric_limits<std::size_t>::max() / elementSize)
            AfxThrowMemoryException();
        delete[] *values;
        delete[] *lengths;
        *values = nullptr;
        *lengths = nullptr;
        *values = new T[rows * count]();
        *lengths = new SQLLEN[rows]();
        return;
    }
    case CFieldExchange::DeleteMultiRowBuffer:
        delete[] *values;
        *values = nullptr;
        delete[] *lengths;
        *lengths = nullptr;
        return;
    default: AfxRFXBulkDefault(pFX, szName, *values, *lengths, nCType, elementSize);
    }
}

// Cache helpers; nField is 1-based.
void AfxStoreField(CRecordset& rs, UINT nField, void* pvField);
void AfxLoadField(CRecordset& rs, UINT nField, void* pvField, SQLLEN* plLength);
// The two above with another copy for the values cached in a block, for
// cache types the class library does not know.
using AfxCopyValueFn = void (*)(void* pvSrc, void* pvDest, SQLLEN* plLength, int nDataType);
void AfxStoreFieldCopying(CRecordset& rs, UINT nField, void* pvField, AfxCopyValueFn copyBlock);
void AfxLoadFieldCopying(CRecordset& rs, UINT nField, void* pvField, SQLLEN* plLength, AfxCopyValueFn copyBlock);
void AfxCopyValueByRef(void* pvSrc, void* pvDest, SQLLEN* plLength, int nDataType);
BOOL AfxCompareValueByRef(void* pvData, void* pvCache, int nDataType);
// True for the cache types kept inside CFieldInfo::m_pvDataCache itself.
bool AfxIsCachedByValue(int nDataType);
// Cuts a UTF-8 text back so that it does not end inside a character.
std::size_t AfxUtf8CutLength(const char* text, std::size_t length);
