// The ODBC side of the layer. Calls go through the wide (UTF-16) entry
// points, except where the driver has only narrow ones (see
// Dialect::NarrowCalls), so that UTF-8 text reaches the database unchanged.
#include "ado/ado.h"
#include "odbcbase/calls.h"
#include "odbcbase/connectstring.h"
#include "odbcbase/diagnostics.h"
#include "odbcbase/engine.h"
#include "winapi/settings/odbcconfig.h"
#include "winapi/text.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <odbcinst.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace ado {

namespace {

constexpr const char* kConnectionSource = "ADODB.Connection";
constexpr const char* kRecordsetSource = "ADODB.Recordset";
constexpr const char* kFieldSource = "ADODB.Field";

constexpr SQLULEN kQueryTimeoutSeconds = 30;
constexpr SQLULEN kLoginTimeoutSeconds = 15;
constexpr std::size_t kMaxPreparedStatements = 64;

using odbcbase::Succeeded;
using odbcbase::ToUtf8;
using odbcbase::WideArg;

std::vector<DiagRecord> Diagnostics(SQLSMALLINT type, SQLHANDLE handle, bool narrow = false)
{
    return odbcbase::ReadDiagnostics(type, handle, narrow);
}

std::string DriverSource(const Dialect& dialect)
{
    std::string name = dialect.Name();
    return name.empty() ? std::string("ODBC") : "ODBC (" + name + ")";
}

[[noreturn]] void ThrowDriver(SQLSMALLINT type, SQLHANDLE handle, const Dialect& dialect)
{
    auto records = Diagnostics(type, handle, dialect.NarrowCalls());
    std::string description = records.empty() ? std::string("ODBC call failed") : records.front().message;
    throw _com_error(E_FAIL, description, DriverSource(dialect), std::move(records));
}

SQLHENV Environment()
{
    // One environment for the process; unixODBC keeps it until exit.
    static SQLHENV env = [] {
        SQLHENV handle = SQL_NULL_HENV;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return handle;
    }();
    if (!env)
        throw _com_error(E_OUTOFMEMORY, "The ODBC environment cannot be allocated.", kConnectionSource);
    return env;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare as ADO compared them: ASCII letters without regard to case.
bool EqualsNoCase(const std::string& a, const std::string& b) { return odbcbase::KeyEquals(a, b); }

using Pair = odbcbase::ConnectPart;

// The pairs of a connection string; blank parts are skipped, and a part
// without '=' or with a brace left open makes the whole string invalid.
std::vector<Pair> ParsePairs(const std::string& text)
{
    std::vector<Pair> pairs;
    for (Pair& part : odbcbase::SplitConnectString(text)) {
        if (!part.HasValue() && part.key.empty())
            continue;
        if (!part.HasValue() || !part.wellFormed)
            throw _com_error(E_FAIL, "The connection string is not valid.", kConnectionSource);
        pairs.push_back(std::move(part));
    }
    return pairs;
}

SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& sql, const Dialect& dialect)
{
    return odbcbase::ExecDirect(stmt, sql, dialect.NarrowCalls());
}

// A name column of a catalogue result.
std::string CatalogName(SQLHSTMT stmt, SQLUSMALLINT column, const Dialect& dialect)
{
    SQLLEN length = 0;
    if (dialect.NarrowCalls()) {
        char name[1024];
        if (!Succeeded(SQLGetData(stmt, column, SQL_C_CHAR, name, sizeof name, &length)) || length <= 0)
            return {};
        return std::string(name, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof name - 1));
    }
    SQLWCHAR name[512];
    if (!Succeeded(SQLGetData(stmt, column, SQL_C_WCHAR, name, sizeof name, &length)) || length <= 0)
        return {};
    return ToUtf8(name, std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), 511));
}

// Data-source names live in the driver manager's INI files as UTF-8 bytes;
// the narrow call hands them over unchanged (the wide one would narrow
// them character by character). Drivers take the credentials as UTF-8.
SQLRETURN ConnectByName(SQLHDBC dbc, std::string dsn, std::string user, std::string password)
{
    return SQLConnect(dbc, reinterpret_cast<SQLCHAR*>(dsn.data()), static_cast<SQLSMALLINT>(dsn.size()),
                      user.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(user.data()),
                      static_cast<SQLSMALLINT>(user.size()),
                      password.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(password.data()),
                      static_cast<SQLSMALLINT>(password.size()));
}

bool IsSqliteDriver(const std::string& driver)
{
    return odbcbase::EngineOfDriver(driver) == odbcbase::Engine::Sqlite;
}

// Whether the driver a connection string names (directly, or through its
// data source) is the SQLite one, which has only narrow entry points.
bool IsNarrowDriver(const std::vector<Pair>& pairs)
{
    std::string driver;
    for (const auto& pair : pairs) {
        if (EqualsNoCase(pair.key, "Driver"))
            driver = pair.value;
        else if (EqualsNoCase(pair.key, "DSN") && driver.empty()) {
            char value[512] = {};
            if (SQLGetPrivateProfileString(pair.value.c_str(), "Driver", "", value, sizeof value, "odbc.ini") > 0)
                driver = value;
        }
    }
    return IsSqliteDriver(driver);
}

std::string BracedValue(const std::string& value) { return odbcbase::FormatConnectValue(value); }

class Statement {
public:
    explicit Statement(SQLHDBC dbc, const Dialect& dialect)
    {
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt)))
            ThrowDriver(SQL_HANDLE_DBC, dbc, dialect);
        // Not every driver honours a time-out; the statement runs either way.
        SQLSetStmtAttrW(m_stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);
    }
    ~Statement()
    {
        if (m_stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT get() const { return m_stmt; }
    SQLHSTMT release()
    {
        SQLHSTMT stmt = m_stmt;
        m_stmt = nullptr;
        return stmt;
    }

private:
    SQLHSTMT m_stmt = nullptr;
};

using Kind = Recordset::ColumnKind;

Kind KindOf(SQLSMALLINT type)
{
    switch (type) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIT:
        return Kind::Int16;
    case SQL_INTEGER:
        return Kind::Int32;
    case SQL_BIGINT:
        return Kind::Int64;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Kind::Real;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return Kind::Binary;
    default:
        return Kind::Text;
    }
}

// Holds the bound parameters until the statement has run.
struct Parameters {
    std::vector<std::u16string> texts;
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<std::int64_t> integers;
    std::vector<double> reals;
    std::vector<SQLLEN> indicators;

    void Reserve(std::size_t n)
    {
        texts.reserve(n);
        bytes.reserve(n);
        integers.reserve(n);
        reals.reserve(n);
        indicators.reserve(n);
    }

    void Bind(SQLHSTMT stmt, SQLUSMALLINT number, Kind kind, SQLSMALLINT sqlType, const _variant_t& value,
              const Dialect& dialect)
    {
        indicators.push_back(0);
        SQLLEN& indicator = indicators.back();
        SQLRETURN rc;
        bool isNull = value.vt == VT_NULL || value.vt == VT_EMPTY;
        switch (kind) {
        case Kind::Int16:
        case Kind::Int32:
        case Kind::Int64:
            integers.push_back(isNull ? 0 : value.ToInt64());
            indicator = isNull ? SQL_NULL_DATA : 0;
            rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                  kind == Kind::Int16 ? SQL_SMALLINT : kind == Kind::Int32 ? SQL_INTEGER : SQL_BIGINT,
                                  0, 0, &integers.back(), 0, &indicator);
            break;
        case Kind::Real:
            reals.push_back(isNull ? 0.0 : value.ToDouble());
            indicator = isNull ? SQL_NULL_DATA : 0;
            rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &reals.back(), 0,
                                  &indicator);
            break;
        case Kind::Binary: {
            bytes.push_back(isNull ? std::vector<std::uint8_t>() : value.ToBytes());
            auto& data = bytes.back();
            indicator = isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(data.size());
            static std::uint8_t empty = 0;
            rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY,
                                  std::max<SQLULEN>(data.size(), 1), 0, data.empty() ? &empty : data.data(),
                                  static_cast<SQLLEN>(data.size()), &indicator);
            break;
        }
        case Kind::Text:
        default: {
            texts.push_back(isNull ? std::u16string() : winapi::Utf8ToUtf16(value.ToString()));
            auto& text = texts.back();
            SQLLEN bytesLength = static_cast<SQLLEN>(text.size() * sizeof(char16_t));
            indicator = isNull ? SQL_NULL_DATA : bytesLength;
            static char16_t emptyText = 0;
            rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  sqlType == SQL_WVARCHAR || sqlType == SQL_VARCHAR ? SQL_WVARCHAR : SQL_WLONGVARCHAR,
                                  std::max<SQLULEN>(text.size(), 1), 0,
                                  text.empty() ? &emptyText : text.data(), bytesLength, &indicator);
            break;
        }
        }
        if (!Succeeded(rc))
            ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
    }
};

// The driver manager's trace writes connect strings and SQLConnect's
// arguments as given; unixODBC masks only a PWD key. While a password goes to
// the driver, the process-wide trace is paused.
class TracePause {
public:
    explicit TracePause(bool secret)
    {
        SQLUINTEGER value = 0;
        m_paused = secret &&
                   SQL_SUCCEEDED(SQLGetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, &value, sizeof value, nullptr)) &&
                   value == SQL_OPT_TRACE_ON;
        if (m_paused)
            SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_OFF), 0);
    }
    ~TracePause()
    {
        if (m_paused)
            SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_ON), 0);
    }
    TracePause(const TracePause&) = delete;
    TracePause& operator=(const TracePause&) = delete;

private:
    bool m_paused = false;
};

using odbcbase::IsPasswordKey;

bool IsUserKey(const std::string& key) { return EqualsNoCase(key, "UID") || EqualsNoCase(key, "Username"); }

// A data source named alone, as a connection string without a name: the
// driver and every setting of its section in the data-source files, read
// once here; the driver manager and the driver would read both files again
// for each setting they look up (a hundred reads for psqlODBC's). A user or
// password given goes in after the settings, in place of the data source's
// own. nullopt when the files name no such data source or no driver for it:
// the driver manager then finds what it can by the name.
struct ResolvedSource {
    std::string connect; // without the user and the password given
    std::string driver;
    bool secret = false;
};
std::optional<ResolvedSource> ResolveDataSource(const std::string& dsn, const std::string& user,
                                                const std::string& password)
{
    const auto settings = winapi::OdbcDataSourceSettings(dsn);
    if (!settings)
        return std::nullopt;
    ResolvedSource source;
    std::vector<std::string> seen;
    for (const auto& setting : *settings) {
        const std::string& key = setting.first;
        const std::string& value = setting.second;
        // The driver manager reads the first of a key that appears twice.
        if (std::any_of(seen.begin(), seen.end(), [&](const std::string& k) { return EqualsNoCase(k, key); }))
            continue;
        seen.push_back(key);
        if (EqualsNoCase(key, "Driver")) {
            source.driver = value;
            continue;
        }
        if (key.empty() || EqualsNoCase(key, "DSN") || (IsUserKey(key) && !user.empty()) ||
            (IsPasswordKey(key) && !password.empty()))
            continue;
        source.secret = source.secret || (IsPasswordKey(key) && !value.empty());
        source.connect += key + "=" + BracedValue(value) + ";";
    }
    if (source.driver.empty())
        return std::nullopt;
    source.connect = "DRIVER=" + BracedValue(source.driver) + ";" + source.connect;
    return source;
}

// Connects through a connection string: the narrow call for the SQLite
// driver (a file path in the string reaches it as UTF-8), else the wide one.
SQLRETURN ConnectByString(SQLHDBC dbc, const std::string& connect, bool narrowDriver)
{
    return odbcbase::DriverConnect(dbc, connect, narrowDriver);
}

} // namespace


// ---------------------------------------------------------------------------
// Connection

bool Connection::IsProgId(const char* progId) { return EqualsNoCase(progId, "ADODB.Connection"); }

std::shared_ptr<Connection> Connection::Create() { return std::shared_ptr<Connection>(new Connection()); }

Connection::Connection() = default;

Connection::~Connection()
{
    if (!m_dbc)
        return;
    try {
        Close();
    } catch (...) {
        // A destructor never throws; the handle is dropped below regardless.
    }
    if (m_dbc) {
        SQLDisconnect(static_cast<SQLHDBC>(m_dbc));
        SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(m_dbc));
    }
}

void Connection::ThrowClosed(int number) const
{
    if (number == 3709)
        throw _com_error(AdoError(3709),
                         "The connection cannot be used to perform this operation. It is either closed or invalid in "
                         "this context.",
                         kConnectionSource);
    throw _com_error(AdoError(3704), "Operation is not allowed when the object is closed.", kConnectionSource);
}

HRESULT Connection::Open(const std::string& connectionString, const std::string& userId,
                         const std::string& password, long)
{
    if (m_dbc)
        throw _com_error(AdoError(3705), "Operation is not allowed when the object is open.", kConnectionSource);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc)))
        ThrowDriver(SQL_HANDLE_ENV, Environment(), Dialect());
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);

    bool narrowDriver = false;
    auto fail = [&](SQLRETURN) {
        auto records = Diagnostics(SQL_HANDLE_DBC, dbc, narrowDriver);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        std::string description = records.empty() ? std::string("ODBC connection failed") : records.front().message;
        throw _com_error(E_FAIL, description, "ODBC", std::move(records));
    };

    SQLRETURN rc;
    std::string loginUser;
    // The same login as a connection string, for the second connection below.
    std::string again;
    bool namesRollbackLevel = false;
    bool secretAgain = !password.empty();
    // A data source named alone: connected to through its settings when the
    // data-source files have them, else by its name.
    auto connectToSource = [&](const std::string& dsn) {
        if (auto source = ResolveDataSource(dsn, userId, password)) {
            std::string connect = source->connect;
            if (!userId.empty())
                connect += "UID=" + BracedValue(userId) + ";";
            if (!password.empty())
                connect += "PWD=" + BracedValue(password) + ";";
            secretAgain = secretAgain || source->secret;
            narrowDriver = IsSqliteDriver(source->driver);
            {
                TracePause pause(secretAgain);
                rc = ConnectByString(dbc, connect, narrowDriver);
            }
            // The data source's own rollback level gives way to the one below.
            std::string level;
            for (const Pair& pair : ParsePairs(connect))
                if (!EqualsNoCase(pair.key, "Protocol"))
                    level += pair.key + "=" + pair.written + ";";
            again = level;
            return;
        }
        {
            TracePause pause(!password.empty());
            rc = ConnectByName(dbc, dsn, userId, password);
        }
        again = "DSN=" + BracedValue(dsn) + ";";
        if (!userId.empty())
            again += "UID=" + BracedValue(userId) + ";";
        if (!password.empty())
            again += "PWD=" + BracedValue(password) + ";";
    };
    if (connectionString.find('=') == std::string::npos) {
        connectToSource(connectionString);
        loginUser = userId;
    } else {
        std::vector<Pair> pairs;
        try {
            pairs = ParsePairs(connectionString);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            throw;
        }
        std::string rest;
        const Pair* dsn = nullptr;
        std::size_t others = 0;
        bool secret = !password.empty();
        for (const auto& pair : pairs) {
            if (IsPasswordKey(pair.key) && !pair.value.empty())
                secret = true;
            if (EqualsNoCase(pair.key, "Provider")) {
                if (!EqualsNoCase(pair.value, "MSDASQL") && !EqualsNoCase(pair.value, "MSDASQL.1")) {
                    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
                    throw _com_error(REGDB_E_CLASSNOTREG, "Provider cannot be found. It may not be properly installed.",
                                     kConnectionSource);
                }
                continue;
            }
            if (EqualsNoCase(pair.key, "DSN"))
                dsn = &pair;
            else
                ++others;
            if (EqualsNoCase(pair.key, "UID") || EqualsNoCase(pair.key, "User ID") || EqualsNoCase(pair.key, "Username"))
                loginUser = pair.value;
            if (EqualsNoCase(pair.key, "Protocol"))
                namesRollbackLevel = true;
            rest += pair.key + "=" + pair.written + ";";
        }
        secretAgain = secret;
        if (!userId.empty() && loginUser.empty())
            loginUser = userId;
        if (dsn && others == 0) {
            // The data source alone: its name goes in as a name, so nothing in
            // it can add keys to a connection string.
            connectToSource(dsn->value);
        } else {
            // Credentials given beside a connection string go in as keys of it.
            if (!userId.empty())
                rest += "UID=" + BracedValue(userId) + ";";
            if (!password.empty())
                rest += "PWD=" + BracedValue(password) + ";";
            again = rest;
            narrowDriver = IsNarrowDriver(pairs);
            TracePause pause(secret);
            rc = ConnectByString(dbc, rest, narrowDriver);
        }
    }
    if (!Succeeded(rc))
        fail(rc);

    m_dialect = Dialect::FromDbmsName(odbcbase::InfoText(dbc, SQL_DBMS_NAME, false));
    // psqlODBC puts every statement of a transaction under a savepoint of its
    // own (a round trip or two more per statement) unless it is told to roll
    // the whole transaction back on an error, which is all this layer's
    // callers do with a failed transaction. Connected once more so told,
    // unless the connection string names a level itself; should that fail,
    // the first connection stays.
    if (m_dialect.engine() == Dialect::Engine::PostgreSQL && !namesRollbackLevel && !again.empty()) {
        SQLHDBC second = SQL_NULL_HDBC;
        if (Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &second))) {
            SQLSetConnectAttrW(second, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
            SQLRETURN secondRc;
            {
                TracePause pause(secretAgain);
                secondRc = odbcbase::DriverConnect(second, again + "Protocol=7.4-1;", false);
            }
            if (Succeeded(secondRc)) {
                SQLDisconnect(dbc);
                SQLFreeHandle(SQL_HANDLE_DBC, dbc);
                dbc = second;
            } else {
                SQLFreeHandle(SQL_HANDLE_DBC, second);
            }
        }
    }
    SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    m_dbc = dbc;
    m_loginUser = loginUser;
    m_inTransaction = false;
    ForgetCatalogue();
    return S_OK;
}

_RecordsetPtr Connection::Execute(const std::string& commandText, std::int64_t* recordsAffected, long)
{
    if (!m_dbc)
        ThrowClosed(3709);
    ForgetCatalogueUnlessDml(commandText);
    Statement stmt(static_cast<SQLHDBC>(m_dbc), m_dialect);
    SQLRETURN rc = ExecDirect(stmt.get(), commandText, m_dialect);
    if (rc != SQL_NO_DATA && !Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt.get(), m_dialect);
    if (recordsAffected) {
        SQLLEN count = 0;
        if (rc == SQL_NO_DATA || !Succeeded(SQLRowCount(stmt.get(), &count)) || count < 0)
            count = 0;
        *recordsAffected = count;
    }
    SQLSMALLINT columns = 0;
    if (rc != SQL_NO_DATA)
        SQLNumResultCols(stmt.get(), &columns);
    _RecordsetPtr result(Recordset::Create());
    if (columns > 0)
        result->OpenOnStatement(shared_from_this(), stmt.release());
    return result;
}

void Connection::SetAutoCommit(bool on)
{
    SQLRETURN rc = SQLSetConnectAttrW(static_cast<SQLHDBC>(m_dbc), SQL_ATTR_AUTOCOMMIT,
                                      reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
    if (!Succeeded(rc))
        ThrowDriver(SQL_HANDLE_DBC, m_dbc, m_dialect);
}

void Connection::EndTransaction(short completion)
{
    if (!m_dbc)
        ThrowClosed(3704);
    if (!m_inTransaction)
        throw _com_error(XACT_E_NOTRANSACTION, "No transaction is active.", kConnectionSource);
    ForgetCatalogue();
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, static_cast<SQLHDBC>(m_dbc), completion);
    // A failed commit leaves the transaction open for the caller's rollback.
    if (!Succeeded(rc))
        ThrowDriver(SQL_HANDLE_DBC, m_dbc, m_dialect);
    m_inTransaction = false;
    SetAutoCommit(true);
}

long Connection::BeginTrans()
{
    if (!m_dbc)
        ThrowClosed(3704);
    if (m_inTransaction)
        throw _com_error(XACT_E_NOTRANSACTION, "A transaction is already active.", kConnectionSource);
    ForgetCatalogue();
    SetAutoCommit(false);
    m_inTransaction = true;
    return 1;
}

HRESULT Connection::CommitTrans()
{
    EndTransaction(SQL_COMMIT);
    return S_OK;
}

HRESULT Connection::RollbackTrans()
{
    EndTransaction(SQL_ROLLBACK);
    return S_OK;
}

HRESULT Connection::Close()
{
    if (!m_dbc)
        ThrowClosed(3704);
    auto recordsets = m_recordsets;
    for (Recordset* recordset : recordsets)
        recordset->CloseQuietly();
    m_recordsets.clear();
    ForgetCatalogue();
    SQLHDBC dbc = static_cast<SQLHDBC>(m_dbc);
    if (m_inTransaction)
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
    m_inTransaction = false;
    SQLRETURN rc = SQLDisconnect(dbc);
    if (!Succeeded(rc)) {
        auto records = Diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        m_dbc = nullptr;
        std::string description = records.empty() ? std::string("ODBC disconnect failed") : records.front().message;
        throw _com_error(E_FAIL, description, DriverSource(m_dialect), std::move(records));
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    m_dbc = nullptr;
    return S_OK;
}

namespace {

std::string CatalogueKey(const std::string& table)
{
    std::string key = table;
    for (char& c : key)
        c = AsciiLower(c);
    return key;
}

} // namespace

const std::vector<std::string>* Connection::CachedPrimaryKey(const std::string& table) const
{
    auto found = m_primaryKeys.find(CatalogueKey(table));
    return found == m_primaryKeys.end() ? nullptr : &found->second;
}

void Connection::CachePrimaryKey(const std::string& table, std::vector<std::string> columns)
{
    m_primaryKeys[CatalogueKey(table)] = std::move(columns);
}

// Only statements that read or write rows leave the tables' keys as they
// were; anything else (DDL, SET, a transaction verb) may have changed them.
void Connection::ForgetCatalogueUnlessDml(const std::string& sql)
{
    if (m_primaryKeys.empty() && m_prepared.empty())
        return;
    std::size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
        ++i;
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        word += AsciiLower(sql[i++]);
    if (word != "select" && word != "insert" && word != "update" && word != "delete" && word != "with" &&
        word != "values")
        ForgetCatalogue();
}

void* Connection::PreparedStatement(const std::string& sql)
{
    if (auto found = m_prepared.find(sql); found != m_prepared.end())
        return found->second;
    // A caller that writes many shapes of row only loses the reuse.
    if (m_prepared.size() >= kMaxPreparedStatements) {
        for (auto& entry : m_prepared)
            SQLFreeHandle(SQL_HANDLE_STMT, entry.second);
        m_prepared.clear();
    }
    Statement stmt(static_cast<SQLHDBC>(m_dbc), m_dialect);
    SQLRETURN rc;
    if (m_dialect.NarrowCalls()) {
        std::string text = sql;
        rc = SQLPrepare(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
    } else {
        std::u16string text = winapi::Utf8ToUtf16(sql);
        rc = SQLPrepareW(stmt.get(), WideArg(text), static_cast<SQLINTEGER>(text.size()));
    }
    if (!Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt.get(), m_dialect);
    void* handle = stmt.release();
    m_prepared.emplace(sql, handle);
    return handle;
}

void Connection::DropPreparedStatement(const std::string& sql) noexcept
{
    if (auto found = m_prepared.find(sql); found != m_prepared.end()) {
        SQLFreeHandle(SQL_HANDLE_STMT, found->second);
        m_prepared.erase(found);
    }
}

void Connection::ForgetCatalogue() noexcept
{
    m_primaryKeys.clear();
    for (auto& entry : m_prepared)
        SQLFreeHandle(SQL_HANDLE_STMT, entry.second);
    m_prepared.clear();
}

bool Connection::TableExists(const std::string& table)
{
    if (!m_dbc)
        ThrowClosed(3709);
    Statement stmt(static_cast<SQLHDBC>(m_dbc), m_dialect);
    // Catalogue names are patterns: list every table and compare here, so
    // that '_' and '%' in the name match only themselves.
    SQLRETURN rc;
    if (m_dialect.NarrowCalls()) {
        char type[] = "TABLE,VIEW";
        rc = SQLTables(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(type),
                       static_cast<SQLSMALLINT>(std::strlen(type)));
    } else {
        std::u16string type = u"TABLE,VIEW";
        rc = SQLTablesW(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0, WideArg(type), static_cast<SQLSMALLINT>(type.size()));
    }
    if (!Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt.get(), m_dialect);
    std::string wanted = m_dialect.FoldCatalogName(table);
    bool sqlite = m_dialect.engine() == Dialect::Engine::SQLite;
    while (Succeeded(rc = SQLFetch(stmt.get()))) {
        std::string found = CatalogName(stmt.get(), 3, m_dialect);
        if (sqlite ? EqualsNoCase(found, wanted) : found == wanted)
            return true;
    }
    if (rc != SQL_NO_DATA)
        ThrowDriver(SQL_HANDLE_STMT, stmt.get(), m_dialect);
    return false;
}

// ---------------------------------------------------------------------------
// Recordset

bool Recordset::IsProgId(const char* progId) { return EqualsNoCase(progId, "ADODB.Recordset"); }

std::shared_ptr<Recordset> Recordset::Create() { return std::shared_ptr<Recordset>(new Recordset()); }

Recordset::~Recordset() { CloseQuietly(); }

void Recordset::ThrowOwn(int number, const std::string& description) const
{
    throw _com_error(AdoError(number), description, kRecordsetSource);
}

void Recordset::RequireOpen() const
{
    if (!m_open)
        ThrowOwn(3704, "Operation is not allowed when the object is closed.");
}

void Recordset::FreeStatement() noexcept
{
    if (m_stmt) {
        SQLFreeHandle(SQL_HANDLE_STMT, static_cast<SQLHSTMT>(m_stmt));
        m_stmt = nullptr;
    }
}

void Recordset::CloseQuietly() noexcept
{
    FreeStatement();
    if (m_connection) {
        auto& list = m_connection->m_recordsets;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        m_connection.reset();
    }
    m_open = false;
    m_columns.clear();
    m_rows.clear();
    m_assigned.clear();
    m_adding = false;
    m_rowsPending = false;
    m_bof = m_eof = true;
}

HRESULT Recordset::Close()
{
    RequireOpen();
    CloseQuietly();
    return S_OK;
}

void Recordset::Describe(void* handle)
{
    SQLHSTMT stmt = static_cast<SQLHSTMT>(handle);
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    m_columns.clear();
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Column column;
        SQLRETURN rc;
        if (m_connection->m_dialect.NarrowCalls()) {
            SQLCHAR name[1024] = {};
            rc = SQLDescribeCol(stmt, static_cast<SQLUSMALLINT>(i), name, sizeof name, &nameLength, &type, &size,
                                &digits, &nullable);
            column.name.assign(reinterpret_cast<char*>(name),
                               std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)),
                                                     sizeof name - 1));
        } else {
            SQLWCHAR name[512] = {};
            rc = SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(i), name, 512, &nameLength, &type, &size, &digits,
                                 &nullable);
            column.name = ToUtf8(name, std::min<std::size_t>(
                                           static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)), 511));
        }
        if (!Succeeded(rc))
            ThrowDriver(SQL_HANDLE_STMT, stmt, m_connection->m_dialect);
        column.sqlType = type;
        column.kind = KindOf(type);
        m_columns.push_back(std::move(column));
    }
}

bool Recordset::FetchInto(void* handle, std::vector<_variant_t>& row)
{
    SQLHSTMT stmt = static_cast<SQLHSTMT>(handle);
    const Dialect& dialect = m_connection->m_dialect;
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA)
        return false;
    if (!Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
    // The row's cells are reused, so a forward read allocates little per row.
    row.resize(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const Column& column = m_columns[i];
        SQLUSMALLINT number = static_cast<SQLUSMALLINT>(i + 1);
        SQLLEN indicator = 0;
        switch (column.kind) {
        case Kind::Int16:
        case Kind::Int32:
        case Kind::Int64: {
            std::int64_t value = 0;
            rc = SQLGetData(stmt, number, SQL_C_SBIGINT, &value, 0, &indicator);
            if (!Succeeded(rc))
                ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
            if (indicator == SQL_NULL_DATA) {
                row[i] = _variant_t::Null();
            } else {
                _variant_t v(static_cast<long long>(value));
                v.vt = column.kind == Kind::Int16 ? VT_I2 : column.kind == Kind::Int32 ? VT_I4 : VT_I8;
                row[i] = std::move(v);
            }
            break;
        }
        case Kind::Real: {
            double value = 0;
            rc = SQLGetData(stmt, number, SQL_C_DOUBLE, &value, 0, &indicator);
            if (!Succeeded(rc))
                ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
            row[i] = indicator == SQL_NULL_DATA ? _variant_t::Null() : _variant_t(value);
            break;
        }
        case Kind::Binary: {
            std::vector<std::uint8_t> data;
            constexpr std::size_t kChunk = 65536;
            m_scratch.resize(std::max(m_scratch.size(), kChunk));
            bool isNull = false;
            for (;;) {
                rc = SQLGetData(stmt, number, SQL_C_BINARY, m_scratch.data(), kChunk, &indicator);
                if (rc == SQL_NO_DATA)
                    break;
                if (!Succeeded(rc))
                    ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                std::size_t got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(kChunk))
                                      ? kChunk
                                      : static_cast<std::size_t>(indicator);
                data.insert(data.end(), m_scratch.data(), m_scratch.data() + got);
                if (rc == SQL_SUCCESS)
                    break;
            }
            if (isNull)
                row[i] = _variant_t::Null();
            else if (data.empty())
                row[i] = _variant_t::EmptyArray();
            else
                row[i] = _variant_t::FromBytes(data.data(), data.size());
            break;
        }
        case Kind::Text:
        default: {
            // Narrow drivers hand their UTF-8 over as it is; wide ones UTF-16.
            const bool narrow = dialect.NarrowCalls();
            const std::size_t unit = narrow ? 1 : sizeof(SQLWCHAR);
            // A small first piece: some drivers pad the whole buffer.
            std::size_t chunkBytes = 1024;
            m_scratch.resize(std::max<std::size_t>(m_scratch.size(), 65536));
            _variant_t& cell = row[i];
            cell.AssignText("", 0);
            std::u16string& wide = m_wideScratch;
            wide.clear();
            bool isNull = false;
            for (;;) {
                rc = SQLGetData(stmt, number, narrow ? SQL_C_CHAR : SQL_C_WCHAR, m_scratch.data(),
                                static_cast<SQLLEN>(chunkBytes), &indicator);
                if (rc == SQL_NO_DATA)
                    break;
                if (!Succeeded(rc))
                    ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                // Each chunk ends with a terminator of one unit.
                std::size_t room = chunkBytes - unit;
                std::size_t got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(room))
                                      ? room
                                      : static_cast<std::size_t>(indicator);
                got -= got % unit;
                if (narrow) {
                    cell.AppendText(m_scratch.data(), got);
                } else {
                    std::size_t start = wide.size();
                    wide.resize(start + got / 2);
                    std::memcpy(wide.data() + start, m_scratch.data(), got);
                }
                if (rc == SQL_SUCCESS)
                    break;
                chunkBytes = 65536;
            }
            if (isNull) {
                cell = _variant_t::Null();
            } else if (!narrow) {
                m_textScratch.clear();
                winapi::AppendUtf16AsUtf8(m_textScratch, wide);
                cell.AssignText(m_textScratch.data(), m_textScratch.size());
            }
            break;
        }
        }
    }
    return true;
}

void Recordset::OpenOnStatement(const std::shared_ptr<Connection>& connection, void* stmt)
{
    m_connection = connection;
    m_stmt = stmt;
    m_open = true;
    m_forwardOnly = true;
    m_updatable = false;
    m_movedNext = false;
    m_adding = false;
    m_rowsPending = false;
    m_connection->m_recordsets.push_back(this);
    try {
        Describe(m_stmt);
        m_rows.assign(1, {});
        if (FetchInto(m_stmt, m_rows[0])) {
            m_bof = m_eof = false;
        } else {
            m_rows.clear();
            m_bof = m_eof = true;
            FreeStatement();
        }
        m_position = 0;
    } catch (...) {
        CloseQuietly();
        throw;
    }
}

namespace {

// The base table of "SELECT * FROM <table> [WHERE ...]", or "" for any other shape.
std::string BaseTable(const std::string& sql)
{
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
            ++i;
    };
    auto word = [&](const char* expected) {
        skipBlanks();
        std::size_t n = std::strlen(expected);
        if (sql.size() - i < n || !EqualsNoCase(sql.substr(i, n), expected))
            return false;
        if (i + n < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i + n])) || sql[i + n] == '_'))
            return false;
        i += n;
        return true;
    };
    if (!word("select"))
        return {};
    skipBlanks();
    if (i >= sql.size() || sql[i] != '*')
        return {};
    ++i;
    if (!word("from"))
        return {};
    skipBlanks();
    std::size_t start = i;
    while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' || sql[i] == '.'))
        ++i;
    std::string table = sql.substr(start, i - start);
    if (table.empty() || std::isdigit(static_cast<unsigned char>(table[0])))
        return {};
    skipBlanks();
    if (i == sql.size() || (sql[i] == ';' && sql.find_first_not_of(" \t\r\n", i + 1) == std::string::npos))
        return table;
    return word("where") ? table : std::string();
}

bool IsIdentifier(const std::string& name)
{
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; });
}

} // namespace

HRESULT Recordset::Open(const _variant_t& source, const _ConnectionPtr& activeConnection, int cursorType,
                        int lockType, long options)
{
    if (m_open)
        ThrowOwn(3705, "Operation is not allowed when the object is open.");
    if (!activeConnection || activeConnection->GetState() != adStateOpen)
        ThrowOwn(3709, "The connection cannot be used to perform this operation. It is either closed or invalid in "
                       "this context.");
    std::string text = source.ToString();
    const std::shared_ptr<Connection>& connection = activeConnection.shared();
    bool tableName = options == adCmdTable;
    if (tableName) {
        if (!IsIdentifier(text))
            ThrowOwn(3001, "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
                           "one another.");
        m_table = text;
        text = "SELECT * FROM " + text;
    } else {
        m_table = BaseTable(text);
    }
    m_source = text;
    bool updatable = lockType == adLockOptimistic || lockType == adLockPessimistic || lockType == adLockBatchOptimistic;
    connection->ForgetCatalogueUnlessDml(text);
    if (!updatable && cursorType == adOpenForwardOnly) {
        Statement stmt(static_cast<SQLHDBC>(connection->m_dbc), connection->m_dialect);
        SQLRETURN rc = ExecDirect(stmt.get(), text, connection->m_dialect);
        if (rc != SQL_NO_DATA && !Succeeded(rc))
            ThrowDriver(SQL_HANDLE_STMT, stmt.get(), connection->m_dialect);
        OpenOnStatement(connection, stmt.release());
        return S_OK;
    }

    // Scrollable or updatable: the rows are read into memory and the cursor is
    // released at once. A table opened by name is only described until its
    // rows are asked for, so that AddNew never reads a table of large blobs.
    m_connection = connection;
    m_open = true;
    m_forwardOnly = false;
    m_updatable = updatable;
    m_movedNext = false;
    m_adding = false;
    m_rows.clear();
    m_position = 0;
    m_connection->m_recordsets.push_back(this);
    try {
        if (tableName) {
            Statement stmt(static_cast<SQLHDBC>(connection->m_dbc), connection->m_dialect);
            SQLRETURN rc = ExecDirect(stmt.get(), text + " WHERE 1=0", connection->m_dialect);
            if (!Succeeded(rc))
                ThrowDriver(SQL_HANDLE_STMT, stmt.get(), connection->m_dialect);
            Describe(stmt.get());
            m_rowsPending = true;
            m_bof = m_eof = false;
        } else {
            FetchAll();
        }
    } catch (...) {
        CloseQuietly();
        throw;
    }
    return S_OK;
}

void Recordset::FetchAll()
{
    Statement stmt(static_cast<SQLHDBC>(m_connection->m_dbc), m_connection->m_dialect);
    SQLRETURN rc = ExecDirect(stmt.get(), m_source, m_connection->m_dialect);
    if (rc != SQL_NO_DATA && !Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt.get(), m_connection->m_dialect);
    Describe(stmt.get());
    m_rows.clear();
    std::vector<_variant_t> row;
    while (FetchInto(stmt.get(), row))
        m_rows.push_back(std::move(row));
    m_rowsPending = false;
    m_position = 0;
    m_bof = m_eof = m_rows.empty();
}

void Recordset::EnsureRows()
{
    if (m_rowsPending && !m_adding)
        FetchAll();
}

bool Recordset::IsEOF()
{
    RequireOpen();
    EnsureRows();
    return m_eof;
}

bool Recordset::IsBOF()
{
    RequireOpen();
    EnsureRows();
    return m_bof;
}

HRESULT Recordset::MoveFirst()
{
    RequireOpen();
    m_adding = false;
    m_assigned.clear();
    EnsureRows();
    if (m_forwardOnly) {
        if (m_movedNext)
            ThrowOwn(3251, "Operation is not supported for this type of object.");
        return S_OK;
    }
    m_position = 0;
    m_bof = m_eof = m_rows.empty();
    return S_OK;
}

HRESULT Recordset::MoveNext()
{
    RequireOpen();
    if (m_adding) {
        // Moving away drops a row that was never written.
        m_adding = false;
        m_assigned.clear();
    }
    EnsureRows();
    if (m_eof)
        ThrowOwn(3021, "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                       "requires a current record.");
    m_movedNext = true;
    m_bof = false;
    if (m_forwardOnly) {
        if (!m_stmt || !FetchInto(m_stmt, m_rows[0])) {
            m_rows.clear();
            m_eof = true;
            FreeStatement();
        }
        return S_OK;
    }
    ++m_position;
    m_eof = m_position >= m_rows.size();
    return S_OK;
}

void Recordset::PutAbsolutePosition(long position)
{
    RequireOpen();
    if (m_forwardOnly)
        ThrowOwn(3251, "Operation is not supported for this type of object.");
    EnsureRows();
    if (position < 1 || static_cast<std::size_t>(position) > m_rows.size())
        ThrowOwn(3001, "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
                       "another.");
    // Moving away drops a row that was never written.
    m_adding = false;
    m_assigned.clear();
    m_position = static_cast<std::size_t>(position) - 1;
    m_bof = m_eof = false;
}

void Recordset::RequireCurrentRow()
{
    RequireOpen();
    if (m_adding)
        return;
    EnsureRows();
    if (m_bof || m_eof || m_rows.empty())
        ThrowOwn(3021, "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                       "requires a current record.");
}

const std::string& Recordset::FieldName(long index) const
{
    RequireOpen();
    if (index < 0 || index >= static_cast<long>(m_columns.size()))
        throw _com_error(AdoError(3265),
                         "Item cannot be found in the collection corresponding to the requested name or ordinal.",
                         kRecordsetSource);
    return m_columns[static_cast<std::size_t>(index)].name;
}

long Recordset::FindColumn(const _variant_t& key) const
{
    RequireOpen();
    if (key.vt == VT_BSTR) {
        const std::string& name = key.bstrValue();
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            if (EqualsNoCase(m_columns[i].name, name))
                return static_cast<long>(i);
    } else if (key.vt == VT_I2 || key.vt == VT_I4 || key.vt == VT_I8) {
        if (key.llVal >= 0 && key.llVal < static_cast<std::int64_t>(m_columns.size()))
            return static_cast<long>(key.llVal);
    }
    throw _com_error(AdoError(3265),
                     "Item cannot be found in the collection corresponding to the requested name or ordinal.",
                     kRecordsetSource);
}

_variant_t Recordset::ValueAt(long index)
{
    RequireCurrentRow();
    std::size_t i = static_cast<std::size_t>(index);
    if (m_adding)
        return m_assigned[i] ? *m_assigned[i] : _variant_t::Null();
    if (!m_assigned.empty() && m_assigned[i])
        return *m_assigned[i];
    const auto& row = m_forwardOnly ? m_rows[0] : m_rows[m_position];
    return row[i];
}

_variant_t Recordset::GetCollect(const _variant_t& key)
{
    long index = FindColumn(key);
    return ValueAt(index);
}

void Recordset::PutCollect(const _variant_t& key, const _variant_t& value)
{
    long index = FindColumn(key);
    Assign(index, value);
}

void Recordset::Assign(long index, const _variant_t& value)
{
    RequireOpen();
    if (!m_updatable)
        ThrowOwn(3251, "Current Recordset does not support updating. This may be a limitation of the provider, or "
                       "of the selected locktype.");
    RequireCurrentRow();
    const Column& column = m_columns[static_cast<std::size_t>(index)];
    _variant_t converted;
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) {
        converted = _variant_t::Null();
    } else {
        switch (column.kind) {
        case Kind::Int16:
            converted = _variant_t(static_cast<short>(value.ToShort()));
            break;
        case Kind::Int32:
            converted = _variant_t(static_cast<int>(value.ToLong()));
            break;
        case Kind::Int64:
            converted = _variant_t(static_cast<long long>(value.ToInt64()));
            break;
        case Kind::Real:
            converted = _variant_t(value.ToDouble());
            break;
        case Kind::Binary:
            if (value.vt == VT_ARRAY || value.vt == (VT_ARRAY | VT_NULL) ||
                (value.vt == (VT_ARRAY | VT_UI1) && !value.parray))
                converted = _variant_t::EmptyArray();
            else if (value.vt == (VT_ARRAY | VT_UI1))
                converted = value;
            else
                throw _com_error(DISP_E_TYPEMISMATCH);
            break;
        case Kind::Text:
        default:
            converted = _variant_t(value.ToString());
            break;
        }
    }
    if (m_assigned.size() != m_columns.size())
        m_assigned.assign(m_columns.size(), std::nullopt);
    m_assigned[static_cast<std::size_t>(index)] = std::move(converted);
}

HRESULT Recordset::AddNew()
{
    RequireOpen();
    if (!m_updatable)
        ThrowOwn(3251, "Current Recordset does not support updating. This may be a limitation of the provider, or "
                       "of the selected locktype.");
    if (m_table.empty())
        ThrowOwn(3251, "Operation is not supported for this type of object.");
    m_adding = true;
    m_assigned.assign(m_columns.size(), std::nullopt);
    m_bof = m_eof = false;
    return S_OK;
}

HRESULT Recordset::Update()
{
    RequireOpen();
    if (!m_updatable || m_table.empty())
        ThrowOwn(3251, "Current Recordset does not support updating. This may be a limitation of the provider, or "
                       "of the selected locktype.");
    RequireCurrentRow();
    if (m_adding)
        Insert();
    else if (!m_assigned.empty())
        UpdateExisting();
    return S_OK;
}

void Recordset::Insert()
{
    std::string names, marks;
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (!m_assigned[i])
            continue;
        if (!columns.empty()) {
            names += ", ";
            marks += ", ";
        }
        names += m_columns[i].name;
        marks += "?";
        columns.push_back(i);
    }
    std::string sql = columns.empty() ? "INSERT INTO " + m_table + " DEFAULT VALUES"
                                      : "INSERT INTO " + m_table + " (" + names + ") VALUES (" + marks + ")";
    // On PostgreSQL the key the engine gives the new row comes back with the
    // insert, so the row holds it without a second query.
    std::optional<std::size_t> key = GeneratedKeyColumn();
    if (key)
        sql += " RETURNING " + m_columns[*key].name;
    std::vector<const _variant_t*> values;
    values.reserve(columns.size());
    for (std::size_t i : columns)
        values.push_back(&*m_assigned[i]);
    std::optional<std::int64_t> returned;
    ExecuteWritten(sql, columns, values, key ? &returned : nullptr);

    std::vector<_variant_t> row;
    row.reserve(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        row.push_back(m_assigned[i] ? *m_assigned[i] : _variant_t::Null());
    if (key && returned) {
        _variant_t v(static_cast<long long>(*returned));
        v.vt = m_columns[*key].kind == Kind::Int16 ? VT_I2 : m_columns[*key].kind == Kind::Int32 ? VT_I4 : VT_I8;
        row[*key] = std::move(v);
    }
    m_adding = false;
    m_assigned.clear();
    if (m_forwardOnly) {
        m_rows.assign(1, std::move(row));
    } else {
        if (m_rowsPending) {
            // The table's other rows were never read; the new row stands alone.
            m_rows.clear();
            m_rowsPending = false;
        }
        m_rows.push_back(std::move(row));
        m_position = m_rows.size() - 1;
    }
    m_bof = m_eof = false;
}

std::optional<std::size_t> Recordset::GeneratedKeyColumn()
{
    if (m_connection->m_dialect.engine() != Dialect::Engine::PostgreSQL)
        return std::nullopt;
    const std::vector<std::string> keys = PrimaryKeyColumns();
    if (keys.size() != 1)
        return std::nullopt;
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (EqualsNoCase(m_columns[i].name, keys[0])) {
            const Kind kind = m_columns[i].kind;
            if (m_assigned[i] || (kind != Kind::Int16 && kind != Kind::Int32 && kind != Kind::Int64))
                return std::nullopt;
            return i;
        }
    return std::nullopt;
}

std::int64_t Recordset::ExecuteWritten(const std::string& sql, const std::vector<std::size_t>& columns,
                                       const std::vector<const _variant_t*>& values,
                                       std::optional<std::int64_t>* returned)
{
    const Dialect& dialect = m_connection->m_dialect;
    SQLHSTMT stmt = static_cast<SQLHSTMT>(m_connection->PreparedStatement(sql));
    // The bound buffers die with this call; a statement that failed is not reused.
    struct Release {
        Connection& connection;
        const std::string& sql;
        SQLHSTMT stmt;
        bool failed = true;
        ~Release()
        {
            if (failed) {
                connection.DropPreparedStatement(sql);
                return;
            }
            SQLFreeStmt(stmt, SQL_CLOSE);
            SQLFreeStmt(stmt, SQL_RESET_PARAMS);
        }
    } release{*m_connection, sql, stmt};
    Parameters parameters;
    parameters.Reserve(columns.size());
    for (std::size_t n = 0; n < columns.size(); ++n) {
        const Column& column = m_columns[columns[n]];
        parameters.Bind(stmt, static_cast<SQLUSMALLINT>(n + 1), column.kind, column.sqlType, *values[n], dialect);
    }
    SQLRETURN rc = SQLExecute(stmt);
    SQLLEN count = 0;
    if (rc != SQL_NO_DATA && !Succeeded(rc))
        ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
    if (rc != SQL_NO_DATA && !Succeeded(SQLRowCount(stmt, &count)))
        ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
    if (returned && rc != SQL_NO_DATA) {
        rc = SQLFetch(stmt);
        if (Succeeded(rc)) {
            std::int64_t value = 0;
            SQLLEN indicator = 0;
            rc = SQLGetData(stmt, 1, SQL_C_SBIGINT, &value, 0, &indicator);
            if (!Succeeded(rc))
                ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
            if (indicator != SQL_NULL_DATA)
                *returned = value;
        } else if (rc != SQL_NO_DATA) {
            ThrowDriver(SQL_HANDLE_STMT, stmt, dialect);
        }
    }
    release.failed = false;
    return count;
}

std::vector<std::string> Recordset::PrimaryKeyColumns()
{
    if (const std::vector<std::string>* cached = m_connection->CachedPrimaryKey(m_table))
        return *cached;
    const Dialect& dialect = m_connection->m_dialect;
    Statement stmt(static_cast<SQLHDBC>(m_connection->m_dbc), dialect);
    std::string table = m_table, schema;
    if (auto dot = table.rfind('.'); dot != std::string::npos) {
        schema = dialect.FoldCatalogName(table.substr(0, dot));
        if (dialect.engine() == Dialect::Engine::PostgreSQL && schema == "dbo")
            schema = "public";
        table = table.substr(dot + 1);
    }
    std::string folded = dialect.FoldCatalogName(table);
    SQLRETURN rc;
    if (dialect.NarrowCalls()) {
        rc = SQLPrimaryKeys(stmt.get(), nullptr, 0,
                            schema.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data()),
                            static_cast<SQLSMALLINT>(schema.size()), reinterpret_cast<SQLCHAR*>(folded.data()),
                            static_cast<SQLSMALLINT>(folded.size()));
    } else {
        std::u16string wideTable = winapi::Utf8ToUtf16(folded), wideSchema = winapi::Utf8ToUtf16(schema);
        rc = SQLPrimaryKeysW(stmt.get(), nullptr, 0, schema.empty() ? nullptr : WideArg(wideSchema),
                             static_cast<SQLSMALLINT>(wideSchema.size()), WideArg(wideTable),
                             static_cast<SQLSMALLINT>(wideTable.size()));
    }
    std::vector<std::string> keys;
    if (!Succeeded(rc))
        return keys;
    while (Succeeded(SQLFetch(stmt.get()))) {
        std::string name = CatalogName(stmt.get(), 4, dialect);
        if (!name.empty())
            keys.push_back(name);
    }
    m_connection->CachePrimaryKey(m_table, keys);
    return keys;
}

void Recordset::UpdateExisting()
{
    auto& current = m_forwardOnly ? m_rows[0] : m_rows[m_position];

    std::vector<std::size_t> identity;
    for (const std::string& key : PrimaryKeyColumns())
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            if (EqualsNoCase(m_columns[i].name, key)) {
                identity.push_back(i);
                break;
            }
    if (identity.empty())
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            if (m_columns[i].kind != Kind::Binary)
                identity.push_back(i);

    std::string sql = "UPDATE " + m_table + " SET ";
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (!m_assigned[i])
            continue;
        if (!changed.empty())
            sql += ", ";
        sql += m_columns[i].name + " = ?";
        changed.push_back(i);
    }
    std::vector<std::size_t> compared;
    std::string where;
    for (std::size_t i : identity) {
        if (!where.empty())
            where += " AND ";
        if (current[i].vt == VT_NULL) {
            where += m_columns[i].name + " IS NULL";
        } else {
            where += m_columns[i].name + " = ?";
            compared.push_back(i);
        }
    }
    if (!where.empty())
        sql += " WHERE " + where;

    std::vector<std::size_t> columns = changed;
    columns.insert(columns.end(), compared.begin(), compared.end());
    std::vector<const _variant_t*> values;
    values.reserve(columns.size());
    for (std::size_t i : changed)
        values.push_back(&*m_assigned[i]);
    for (std::size_t i : compared)
        values.push_back(&current[i]);
    const std::int64_t count = ExecuteWritten(sql, columns, values);
    if (count != 1)
        throw _com_error(E_FAIL, "Row cannot be located for updating. Some values may have been changed since it "
                                 "was last read.",
                         kRecordsetSource);
    for (std::size_t i : changed)
        current[i] = *m_assigned[i];
    m_assigned.clear();
}

FieldsPtr Recordset::GetFields()
{
    RequireOpen();
    return std::make_shared<Fields>(shared_from_this());
}

FieldPtr Fields::GetItem(const _variant_t& key)
{
    return std::make_shared<Field>(m_recordset, m_recordset->FindColumn(key));
}

long Fields::GetCount() const { return m_recordset->FieldCount(); }

_variant_t Field::GetValue() { return m_recordset->ValueAt(m_index); }

void Field::PutValue(const _variant_t& value)
{
    try {
        m_recordset->Assign(m_index, value);
    } catch (const _com_error& e) {
        if (e.Description().length() == 0 && e.Source().length() == 0)
            throw _com_error(e.Error(), {}, kFieldSource);
        throw;
    }
}

std::string Field::GetName() const { return m_recordset->FieldName(m_index); }

// ---------------------------------------------------------------------------

std::vector<DataSource> ListDataSources()
{
    std::vector<DataSource> sources;
    SQLHENV env = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return sources;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[512], description[512];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    // Plain success only: a truncated name ends the list. The names come
    // from the INI files as UTF-8 bytes, so the narrow call keeps them whole.
    while (SQLDataSources(env, direction, name, sizeof name, &nameLength, description, sizeof description,
                          &descriptionLength) == SQL_SUCCESS) {
        sources.push_back({reinterpret_cast<char*>(name), reinterpret_cast<char*>(description)});
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return sources;
}

} // namespace ado
