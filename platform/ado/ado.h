// Connection, Recordset, Field and the COM-style value and error types the
// editor uses, on unixODBC. One ODBC connection handle per Connection; every
// recordset and Execute of a connection runs on it, inside its transaction.
#pragma once

#include "odbcbase/diagnostics.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ado {

using HRESULT = std::int32_t;
using VARTYPE = std::uint16_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT XACT_E_NOTRANSACTION = static_cast<HRESULT>(0x8004D00Eu);
// The layer's own errors: 0x800A0000 + the ADO error number.
constexpr HRESULT AdoError(int number) { return static_cast<HRESULT>(0x800A0000u + static_cast<unsigned>(number)); }

enum : VARTYPE {
    VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8,
    VT_UI1 = 17, VT_I8 = 20, VT_ARRAY = 0x2000,
};

enum CursorTypeEnum { adOpenUnspecified = -1, adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum { adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
enum CommandTypeEnum { adCmdUnspecified = -1, adCmdUnknown = 8, adCmdText = 1, adCmdTable = 2 };
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };
enum ConnectOptionEnum { adConnectUnspecified = -1 };

// 1-D byte arrays only, lower bound 0.
struct SAFEARRAYBOUND {
    std::uint32_t cElements;
    std::int32_t lLbound;
};
struct SAFEARRAY {
    std::uint16_t cDims;
    std::uint16_t fFeatures;
    std::uint32_t cbElements;
    std::uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
SAFEARRAY* SafeArrayCreate(VARTYPE vt, unsigned dims, const SAFEARRAYBOUND* bounds);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);

// UTF-8 text; length() counts characters.
class _bstr_t {
public:
    _bstr_t() = default;
    _bstr_t(const char* text) : m_text(text ? text : "") {}
    _bstr_t(const char* text, std::size_t bytes) : m_text(text, bytes) {}
    _bstr_t(std::string text) : m_text(std::move(text)) {}

    std::size_t length() const;
    const std::string& str() const { return m_text; }
    operator const char*() const { return m_text.c_str(); }
    operator std::string() const { return m_text; }
    bool operator==(const _bstr_t& other) const { return m_text == other.m_text; }
    _bstr_t operator+(const _bstr_t& other) const { return _bstr_t(m_text + other.m_text); }

private:
    std::string m_text;
};

class _variant_t {
public:
    _variant_t() = default;
    _variant_t(short value) : vt(VT_I2) { llVal = value; }
    _variant_t(int value) : vt(VT_I4) { llVal = value; }
    _variant_t(long value);
    _variant_t(long long value) : vt(VT_I8) { llVal = value; }
    _variant_t(double value) : vt(VT_R8) { dblVal = value; }
    _variant_t(const char* text);
    _variant_t(const std::string& text) : vt(VT_BSTR), m_text(text) {}
    _variant_t(const _bstr_t& text) : vt(VT_BSTR), m_text(text.str()) {}
    // Takes ownership of the array (VT_ARRAY|VT_UI1).
    explicit _variant_t(SAFEARRAY* array) : vt(VT_ARRAY | VT_UI1) { parray = array; }
    _variant_t(const _variant_t& other);
    _variant_t(_variant_t&& other) noexcept;
    _variant_t& operator=(const _variant_t& other);
    _variant_t& operator=(_variant_t&& other) noexcept;
    ~_variant_t();

    static _variant_t Null();
    static _variant_t FromBytes(const void* data, std::size_t size);
    // An empty binary value: VT_ARRAY with no element type and no array.
    static _variant_t EmptyArray();

    void Clear();
    // Makes this a text value, reusing the storage it has.
    void AssignText(const char* text, std::size_t bytes);
    void AppendText(const char* text, std::size_t bytes) { m_text.append(text, bytes); }

    // Range-checked conversions: DISP_E_OVERFLOW, DISP_E_TYPEMISMATCH (NULL too).
    std::int16_t ToShort() const;
    std::int32_t ToLong() const;
    std::int64_t ToInt64() const;
    double ToDouble() const;
    std::string ToString() const&;
    std::string ToString() &&;
    std::vector<std::uint8_t> ToBytes() const;

    operator short() const { return ToShort(); }
    operator int() const { return ToLong(); }
    operator long() const { return ToLong(); }
    operator _bstr_t() const { return _bstr_t(ToString()); }
    operator std::string() const& { return ToString(); }
    operator std::string() && { return std::move(*this).ToString(); }

    const std::string& bstrValue() const { return m_text; }

    VARTYPE vt = VT_EMPTY;
    union {
        std::int64_t llVal = 0;
        double dblVal;
        SAFEARRAY* parray;
    };

private:
    std::string m_text;
};

using DiagRecord = odbcbase::DiagRecord;

class _com_error {
public:
    explicit _com_error(HRESULT hr, std::string description = {}, std::string source = {},
                        std::vector<DiagRecord> records = {});

    HRESULT Error() const { return m_hr; }
    _bstr_t Description() const { return _bstr_t(m_description); }
    _bstr_t Source() const { return _bstr_t(m_source); }
    // The system text of the error code, for an error without a description.
    std::string ErrorMessage() const;
    // The first diagnostic record's SQLSTATE and native code ("" / 0 when none).
    std::string SqlState() const;
    std::int32_t NativeError() const;
    const std::vector<DiagRecord>& Records() const { return m_records; }

private:
    HRESULT m_hr;
    std::string m_description;
    std::string m_source;
    std::vector<DiagRecord> m_records;
};

// Reference-counted pointer whose -> throws E_POINTER when null.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(std::shared_ptr<T> object) : m_object(std::move(object)) {}

    HRESULT CreateInstance(const char* progId) {
        if (!progId || !T::IsProgId(progId))
            return REGDB_E_CLASSNOTREG;
        m_object = T::Create();
        return S_OK;
    }
    T* operator->() const {
        if (!m_object)
            throw _com_error(E_POINTER);
        return m_object.get();
    }
    T& operator*() const { return *operator->(); }
    T* GetInterfacePtr() const { return m_object.get(); }
    const std::shared_ptr<T>& shared() const { return m_object; }
    void Release() { m_object.reset(); }
    explicit operator bool() const { return static_cast<bool>(m_object); }
    bool operator==(std::nullptr_t) const { return !m_object; }
    bool operator==(const ComPtr& other) const { return m_object == other.m_object; }

private:
    std::shared_ptr<T> m_object;
};

class Connection;
class Recordset;
using _ConnectionPtr = ComPtr<Connection>;
using _RecordsetPtr = ComPtr<Recordset>;

// What differs between the engines, chosen from the DBMS name the driver reports.
class Dialect {
public:
    enum class Engine { Unknown, PostgreSQL, SQLite };
    explicit Dialect(Engine engine = Engine::Unknown) : m_engine(engine) {}
    static Dialect FromDbmsName(const std::string& dbmsName);

    Engine engine() const { return m_engine; }
    std::string Name() const;
    // Catalogue names: PostgreSQL folds unquoted names to lower case.
    std::string FoldCatalogName(const std::string& name) const;
    static bool IsUndefinedTable(const std::string& sqlState);
    // A query giving the key the engine generated for this session's last
    // insert into table (column): one row, one column named as the column.
    std::string LastIdentityQuery(const std::string& table, const std::string& column) const;
    // The SQLite driver has only the narrow entry points, which take UTF-8 as
    // is; the driver manager's own wide-to-narrow mapping would mangle it.
    bool NarrowCalls() const { return m_engine == Engine::SQLite; }
    // Whether the engine knows logins (session_user); SQLite does not.
    bool HasLogins() const { return m_engine != Engine::SQLite; }
    // The collation that orders names as a reader expects (Russian text,
    // without regard to case): " COLLATE ...", or "" for the engine's own.
    std::string NameCollation() const;
    // Whether a query on a missing table fails with its own SQLSTATE; the
    // SQLite driver reports it as a general error, so callers look the
    // table up in the catalogue first.
    bool ReportsMissingTables() const { return m_engine != Engine::SQLite; }

private:
    Engine m_engine;
};

struct DataSource {
    std::string name;
    std::string driver;
};

class Connection : public std::enable_shared_from_this<Connection> {
public:
    static bool IsProgId(const char* progId);
    static std::shared_ptr<Connection> Create();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // "Provider=MSDASQL;DSN=...;" style pairs, or a bare data-source name.
    HRESULT Open(const std::string& connectionString, const std::string& userId = {},
                 const std::string& password = {}, long options = adConnectUnspecified);
    long GetState() const { return m_dbc ? adStateOpen : adStateClosed; }
    _RecordsetPtr Execute(const std::string& commandText, std::int64_t* recordsAffected = nullptr,
                          long options = adCmdText);
    long BeginTrans();
    HRESULT CommitTrans();
    HRESULT RollbackTrans();
    HRESULT Close();

    bool InTransaction() const { return m_inTransaction; }
    const Dialect& GetDialect() const { return m_dialect; }
    // The user given to Open ("" for a trusted or empty login).
    const std::string& GetLoginUser() const { return m_loginUser; }
    // Looks a table up through the catalogue, case-insensitively on SQLite.
    bool TableExists(const std::string& table);

    struct Impl;

private:
    Connection();
    friend class Recordset;
    [[noreturn]] void ThrowClosed(int number) const;
    void SetAutoCommit(bool on);
    // Commits or rolls back, then goes back to autocommit.
    void EndTransaction(short completion);
    // Key columns by table, as the catalogue gave them, and the layer's own
    // INSERT and UPDATE statements, prepared once. A transaction's locks keep
    // them true until it ends; they are dropped then, when it begins, and
    // after any statement on this connection that may change a table.
    const std::vector<std::string>* CachedPrimaryKey(const std::string& table) const;
    void CachePrimaryKey(const std::string& table, std::vector<std::string> columns);
    void* PreparedStatement(const std::string& sql);
    void DropPreparedStatement(const std::string& sql) noexcept;
    void ForgetCatalogue() noexcept;
    void ForgetCatalogueUnlessDml(const std::string& sql);
    void* m_dbc = nullptr;
    bool m_inTransaction = false;
    Dialect m_dialect;
    std::string m_loginUser;
    std::vector<Recordset*> m_recordsets;
    std::map<std::string, std::vector<std::string>> m_primaryKeys;
    std::map<std::string, void*> m_prepared;
};

class Field;
class Fields;
using FieldPtr = std::shared_ptr<Field>;
using FieldsPtr = std::shared_ptr<Fields>;

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    static bool IsProgId(const char* progId);
    static std::shared_ptr<Recordset> Create();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    HRESULT Open(const _variant_t& source, const _ConnectionPtr& activeConnection,
                 int cursorType = adOpenForwardOnly, int lockType = adLockReadOnly,
                 long options = adCmdText);
    HRESULT Close();
    long GetState() const { return m_open ? adStateOpen : adStateClosed; }

    bool IsEOF();
    bool IsBOF();
    HRESULT MoveFirst();
    HRESULT MoveNext();
    // Makes the row of this ordinal (from 1) current, on a recordset whose
    // rows are all read (static or keyset).
    void PutAbsolutePosition(long position);
    HRESULT AddNew();
    HRESULT Update();

    FieldsPtr GetFields();
    _variant_t GetCollect(const _variant_t& key);
    void PutCollect(const _variant_t& key, const _variant_t& value);

    long FieldCount() const { return static_cast<long>(m_columns.size()); }
    const std::string& FieldName(long index) const;

    enum class ColumnKind { Int16, Int32, Int64, Real, Text, Binary };
    struct Column {
        std::string name;
        std::int16_t sqlType = 0;
        ColumnKind kind = ColumnKind::Text;
    };

private:
    Recordset() = default;
    friend class Connection;
    friend class Field;
    friend class Fields;
    void OpenOnStatement(const std::shared_ptr<Connection>& connection, void* stmt);
    void Describe(void* stmt);
    bool FetchInto(void* stmt, std::vector<_variant_t>& row);
    void FetchAll();
    void EnsureRows();
    void FreeStatement() noexcept;
    void CloseQuietly() noexcept;
    void RequireOpen() const;
    void RequireCurrentRow();
    long FindColumn(const _variant_t& key) const;
    _variant_t ValueAt(long index);
    void Assign(long index, const _variant_t& value);
    void Insert();
    void UpdateExisting();
    std::vector<std::string> PrimaryKeyColumns();
    // The single integer key column an insert leaves to the engine, on an
    // engine that hands it back with the insert.
    std::optional<std::size_t> GeneratedKeyColumn();
    // Runs one of the layer's own statements with the given values bound;
    // returns the rows it affected. With returned set, the statement gives
    // back one integer (an INSERT's RETURNING), stored there.
    std::int64_t ExecuteWritten(const std::string& sql, const std::vector<std::size_t>& columns,
                                const std::vector<const _variant_t*>& values,
                                std::optional<std::int64_t>* returned = nullptr);
    [[noreturn]] void ThrowOwn(int number, const std::string& description) const;

    std::shared_ptr<Connection> m_connection;
    void* m_stmt = nullptr;
    bool m_open = false;
    bool m_forwardOnly = true;
    bool m_updatable = false;
    bool m_rowsPending = false; // rows of a table-name recordset not read yet
    bool m_movedNext = false;
    bool m_bof = true;
    bool m_eof = true;
    std::string m_source;
    std::string m_table;
    std::vector<Column> m_columns;
    std::vector<std::vector<_variant_t>> m_rows;
    std::size_t m_position = 0;
    bool m_adding = false;
    std::vector<std::optional<_variant_t>> m_assigned;
    // Reused by every text and blob read.
    std::vector<char> m_scratch;
    std::u16string m_wideScratch;
    std::string m_textScratch;
};

class Field {
public:
    Field(std::shared_ptr<Recordset> recordset, long index)
        : m_recordset(std::move(recordset)), m_index(index) {}
    _variant_t GetValue();
    void PutValue(const _variant_t& value);
    std::string GetName() const;

private:
    std::shared_ptr<Recordset> m_recordset;
    long m_index;
};

class Fields {
public:
    explicit Fields(std::shared_ptr<Recordset> recordset) : m_recordset(std::move(recordset)) {}
    FieldPtr GetItem(const _variant_t& key);
    long GetCount() const;

private:
    std::shared_ptr<Recordset> m_recordset;
};

// The ODBC data sources that the driver manager lists (user and system),
// each with its driver description. Empty when no environment can be made.
std::vector<DataSource> ListDataSources();

} // namespace ado
