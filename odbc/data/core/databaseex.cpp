#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/odbcrecord.h"

#include "profile/quillmark.h"
#include "winapi/folders.h"
#include "odbcbase/connectstring.h"
#include "winapi/settings/odbcconfig.h"
#include "winapi/text.h"

#include <odbcinst.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

IMPLEMENT_DYNAMIC(CDatabaseEx, CDatabase)

namespace {

SQLPOINTER AttrValue(SQLULEN v)
{
    return reinterpret_cast<SQLPOINTER>(v);
}

std::string KeyName(const char* key)
{
    std::string name = key ? key : "";
    if (!name.empty() && name.back() == '=')
        name.pop_back();
    return winapi::Trim(name, " \t");
}

// The data-source settings of unixODBC's odbc.ini files, system first.
std::optional<std::string> DsnValue(const std::string& dsn, const char* name)
{
    if (auto value = winapi::OdbcDsnValue(winapi::OdbcScope::System, dsn, name, 257))
        return value;
    return winapi::OdbcDsnValue(winapi::OdbcScope::User, dsn, name, 257);
}

std::atomic<bool> g_fatalShown{false};
// Constant-initialised: the window part may set it before this file's
// dynamic initialisation has run.
std::atomic<CDatabaseEx::TraceFileChooser> g_traceFileChooser{nullptr};

} // namespace

bool GetPartOfString(const char* connect, const char* key, std::string& out)
{
    std::optional<std::string> value = odbcbase::FindConnectValue(connect ? connect : "", KeyName(key));
    out = value ? std::move(*value) : std::string();
    return value.has_value();
}

std::string BraceConnectValue(const std::string& value) { return odbcbase::FormatConnectValue(value); }

void SetPartOfString(std::string& connect, const char* key, const char* value)
{
    std::string name = KeyName(key);
    std::string newValue = BraceConnectValue(value ? value : "");
    bool found = false;
    const std::vector<odbcbase::ConnectPart> parts = odbcbase::SplitConnectString(connect);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!it->HasValue() || !odbcbase::KeyEquals(it->key, name))
            continue;
        connect.replace(it->valueBegin, it->end - it->valueBegin, newValue);
        found = true;
    }
    if (found)
        return;
    if (!connect.empty() && connect.back() != ';')
        connect += ';';
    connect += (key ? key : "");
    connect += newValue;
}

bool HasPassword(const std::string& connect) { return odbcbase::HasPassword(connect); }

std::string HidePassword(const std::string& connect) { return odbcbase::HidePassword(connect); }

bool IsTrustedConnection(const char* dsn)
{
    if (dsn == nullptr || *dsn == '\0')
        return false;
    std::optional<std::string> value = DsnValue(dsn, "Trusted_Connection");
    // The setting was read into 4 bytes: a longer value never matched.
    return value && value->size() <= 3 && strcasecmp(value->c_str(), "yes") == 0;
}

bool IsDSNDriver(const char* dsn, const char* driver)
{
    if (dsn == nullptr || *dsn == '\0')
        return false;
    std::optional<std::string> description = DsnValue(dsn, "Driver");
    if (!description)
        return false;
    return driver == nullptr || description->find(driver) != std::string::npos;
}

void FatalDBError(CDBException* e)
{
    if (e == nullptr || e->m_strStateNativeOrigin.find("State:08S01") == std::string::npos)
        return;
    if (g_fatalShown.exchange(true))
        return;
    OrvoMessageBox(e->m_strError, MB_ICONSTOP);
    std::abort();
}

CDatabaseEx::~CDatabaseEx() = default;

BOOL CDatabaseEx::OpenQuietly(const std::string& connect, DWORD options)
{
    // The driver manager's trace would write the connect string with its password.
    std::string password;
    bool hide = HasPassword(connect) && IsTraceOn(true);
    if (hide)
        SetTrace(false, true);
    try {
        BOOL opened = CDatabase::OpenEx(connect.c_str(), options);
        // Some drivers complete a driver-string connection without its
        // driver; the text it was opened with opens it again.
        std::string driver, dsn;
        if (opened && !GetPartOfString(m_strConnect.c_str(), "DRIVER=", driver) &&
            (!GetPartOfString(m_strConnect.c_str(), "DSN=", dsn) || dsn.empty()) &&
            GetPartOfString(connect.c_str(), "DRIVER=", driver))
            m_strConnect = "ODBC;" + connect;
        // The user, password and application parts are read back from the
        // connect string; keep those the driver left out of its completion.
        for (const char* key : {"UID=", "PWD=", "APP="}) {
            std::string value, kept;
            if (opened && GetPartOfString(connect.c_str(), key, value) &&
                !GetPartOfString(m_strConnect.c_str(), key, kept))
                SetPartOfString(m_strConnect, key, value.c_str());
        }
        if (hide)
            SetTrace(true, true);
        return opened;
    } catch (...) {
        if (hide)
            SetTrace(true, true);
        throw;
    }
}

bool CDatabaseEx::OpenExLogonDlg(const char* dsn, const char* uid, const char* app, DWORD options,
                                 const char** driverFilter, short filterCount, bool lockDsn)
{
    options |= noOdbcDialog;
    bool trusted = dsn != nullptr && *dsn != '\0' && IsDSNDriver(dsn, nullptr) && uid != nullptr &&
                   IsTrustedConnection(dsn);
    if (trusted) {
        std::string connect = "DSN=" + BraceConnectValue(dsn) + ";UID=;PWD=";
        if (app != nullptr)
            connect += ";APP=" + BraceConnectValue(app);
        try {
            if (OpenQuietly(connect, options))
                return true;
            return OpenQuietly(connect, options) != FALSE;
        } catch (CDBException& e) {
            FatalDBError(&e);
        }
    }
    CLoginDlg dlg(uid, dsn, lockDsn, nullptr, driverFilter, filterCount);
    if (dlg.DoModal() != IDOK)
        return false;
    std::string connect = dlg.GetConnectStr();
    if (app != nullptr)
        connect += ";APP=" + BraceConnectValue(app);
    return OpenQuietly(connect, options) != FALSE;
}

bool CDatabaseEx::OpenDBEx(const CDatabaseEx& other, const char* dsn, DWORD options)
{
    std::string connect = other.GetConnect();
    connect.erase(0, std::min(connect.size(), connect.find_first_not_of(' ')));
    if (connect.compare(0, 5, "ODBC;") == 0)
        connect.erase(0, 5);
    if (dsn != nullptr && *dsn != '\0')
        SetPartOfString(connect, "DSN=", dsn);
    if (options == 0xFFFFFFFF)
        options = other.GetConnectOption();
    return OpenQuietly(connect, options | noOdbcDialog) != FALSE;
}

int CDatabaseEx::OpenDBExStr(const char* connect, bool showError, std::string& error)
{
    try {
        return OpenQuietly(connect ? connect : "", noOdbcDialog);
    } catch (CDBException& e) {
        error = e.m_strError;
        if (showError)
            OrvoMessageBox(error, MB_ICONEXCLAMATION);
        return FALSE;
    }
}

std::string CDatabaseEx::GetShortConnect() const
{
    if (!IsOpen())
        return std::string();
    std::string dsn, uid, pwd, app;
    const char* connect = m_strConnect.c_str();
    GetPartOfString(connect, "DSN=", dsn);
    GetPartOfString(connect, "UID=", uid);
    GetPartOfString(connect, "PWD=", pwd);
    GetPartOfString(connect, "APP=", app);
    return "DSN=" + dsn + ";UID=" + uid + ";PWD=" + pwd + ";APP=" + app;
}

void CDatabaseEx::RequireOpen() const
{
    if (!IsOpen())
        const_cast<CDatabaseEx*>(this)->ThrowDBException(SQL_INVALID_HANDLE);
}

void CDatabaseEx::GetInfoText(SQLUSMALLINT info, std::string& out)
{
    char buffer[256] = {};
    SQLSMALLINT length = 0;
    RETCODE rc = SQLGetInfo(m_hdbc, info, buffer, 255, &length);
    out = buffer;
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
        ThrowDBException(rc);
}

void CDatabaseEx::GetDBMSName(std::string& name, std::string& version)
{
    name.clear();
    version.clear();
    RequireOpen();
    GetInfoText(SQL_DBMS_NAME, name);
    GetInfoText(SQL_DBMS_VER, version);
}

void CDatabaseEx::GetHostName(std::string& name)
{
    name.clear();
    RequireOpen();
    name = winapi::GetComputerName();
}

void CDatabaseEx::GetServerName(std::string& name)
{
    name.clear();
    RequireOpen();
    GetInfoText(SQL_SERVER_NAME, name);
}

void CDatabaseEx::GetDSN(std::string& dsn)
{
    dsn.clear();
    RequireOpen();
    GetInfoText(SQL_DATA_SOURCE_NAME, dsn);
}

void CDatabaseEx::GetUserNameA(std::string& user)
{
    user.clear();
    RequireOpen();
    std::string dsn;
    GetDSN(dsn);
    if (IsTrustedConnection(dsn.c_str()))
        user = winapi::GetUserName(257);
    else
        GetPartOfString(m_strConnect.c_str(), "UID=", user);
}

void CDatabaseEx::GetPassword(std::string& password)
{
    password.clear();
    RequireOpen();
    if (!GetPartOfString(m_strConnect.c_str(), "PWD=", password))
        GetPartOfString(m_strConnect.c_str(), "Password=", password);
}

void CDatabaseEx::GetAppName(std::string& app)
{
    app.clear();
    RequireOpen();
    GetPartOfString(m_strConnect.c_str(), "APP=", app);
}

void CDatabaseEx::GetDriverName(std::string& name, std::string& version)
{
    name.clear();
    version.clear();
    RequireOpen();
    GetInfoText(SQL_DRIVER_NAME, name);
    name += "(ODBC)";
    GetInfoText(SQL_DRIVER_VER, version);
}

DWORD CDatabaseEx::GetConnectOption() const
{
    if (m_hdbc == SQL_NULL_HDBC)
        return 0;
    DWORD options = 0;
    SQLUINTEGER value = 0;
    if (Check(SQLGetConnectAttr(m_hdbc, SQL_ATTR_ACCESS_MODE, &value, sizeof value, nullptr)) &&
        (value & SQL_MODE_READ_ONLY))
        options |= openReadOnly;
    SQLULEN cursors = 0;
    if (Check(SQLGetConnectAttr(m_hdbc, SQL_ATTR_ODBC_CURSORS, &cursors, sizeof cursors, nullptr)) &&
        (cursors & SQL_CUR_USE_ODBC))
        options |= useCursorLib;
    return options;
}

std::string CDatabaseEx::SQLGetInfoString(WORD infoType)
{
    char buffer[200] = {};
    SQLSMALLINT length = 0;
    RETCODE rc = SQLGetInfo(m_hdbc, infoType, buffer, sizeof buffer, &length);
    if (!Check(rc))
        ThrowDBException(rc);
    return buffer;
}

namespace {

// A number the driver reports about the connection, of the size T names.
template <class T>
T InfoNumber(CDatabaseEx& db, WORD infoType)
{
    T value = 0;
    RETCODE rc = SQLGetInfo(db.m_hdbc, infoType, &value, sizeof value, nullptr);
    if (!db.Check(rc))
        db.ThrowDBException(rc);
    return value;
}

} // namespace

WORD CDatabaseEx::SQLGetInfoShort(WORD infoType)
{
    return InfoNumber<SQLUSMALLINT>(*this, infoType);
}

DWORD CDatabaseEx::SQLGetInfoLong(WORD infoType)
{
    return InfoNumber<SQLUINTEGER>(*this, infoType);
}

bool CDatabaseEx::SetConnectOption(WORD option, DWORD value)
{
    return Check(SQLSetConnectAttr(m_hdbc, option, AttrValue(value), 0)) != FALSE;
}

bool CDatabaseEx::IsAsyncConnect()
{
    SQLUINTEGER mode = 0;
    return Check(SQLGetInfo(m_hdbc, SQL_ASYNC_MODE, &mode, sizeof mode, nullptr)) && mode == SQL_AM_CONNECTION;
}

bool CDatabaseEx::IsAsyncStatement()
{
    SQLUINTEGER mode = 0;
    return Check(SQLGetInfo(m_hdbc, SQL_ASYNC_MODE, &mode, sizeof mode, nullptr)) && mode == SQL_AM_STATEMENT;
}

bool CDatabaseEx::SetAsyncModeOn()
{
    return IsAsyncConnect() && SetConnectOption(SQL_ATTR_ASYNC_ENABLE, SQL_ASYNC_ENABLE_ON);
}

bool CDatabaseEx::IsTraceOn(bool global)
{
    SQLUINTEGER value = 0;
    RETCODE rc = SQLGetConnectAttr(global ? SQL_NULL_HDBC : m_hdbc, SQL_ATTR_TRACE, &value, sizeof value, nullptr);
    return SQL_SUCCEEDED(rc) && value == SQL_OPT_TRACE_ON;
}

bool CDatabaseEx::SetTrace(bool on, bool global)
{
    bool before = IsTraceOn(global);
    if (before != on)
        SQLSetConnectAttr(global ? SQL_NULL_HDBC : m_hdbc, SQL_ATTR_TRACE,
                          AttrValue(on ? SQL_OPT_TRACE_ON : SQL_OPT_TRACE_OFF), 0);
    return before;
}

void CDatabaseEx::GetTraceFile(std::string& out)
{
    char buffer[512] = {};
    SQLINTEGER length = 0;
    RETCODE rc = SQLGetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACEFILE, buffer, sizeof buffer - 1, &length);
    if (!SQL_SUCCEEDED(rc) || length < 0) {
        out.clear();
        return;
    }
    out.assign(buffer, strnlen(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1)));
}

void CDatabaseEx::SetTraceFile(const char* path)
{
    std::string file;
    if (path != nullptr && *path != '\0') {
        file = path;
        try {
            WritePrivateProfileStringQM("ODBC", "TraceFile", path);
        } catch (const std::exception&) {
            // Before InitQuillmark there is no setting store to keep it in.
        }
    } else {
        file = GetPrivateProfileStringQM("ODBC", "TraceFile", "./TraceODBC.log");
    }
    SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACEFILE, const_cast<char*>(file.c_str()), SQL_NTS);
}

bool CDatabaseEx::SetTraceFileDlg()
{
    std::string current;
    GetTraceFile(current);
    current = GetPrivateProfileStringQM("ODBC", "TraceFile", current.c_str());
    TraceFileChooser chooser = g_traceFileChooser.load();
    std::string chosen;
    if (chooser == nullptr || !chooser(current, chosen))
        return false;
    if (chosen.find('.', chosen.rfind('/') + 1) == std::string::npos)
        chosen += ".log";
    SetTraceFile(chosen.c_str());
    return true;
}

void CDatabaseEx::SetTraceFileChooser(TraceFileChooser chooser)
{
    g_traceFileChooser.store(chooser);
}

void CDatabaseEx::SetAppRole(const char* role, const char* password)
{
    std::string name = role ? role : "";
    std::string secret = password ? password : "";
    if (!m_strAppRole.empty()) {
        if (strcasecmp(m_strAppRole.c_str(), name.c_str()) == 0)
            return;
        CDBException e(SQL_ERROR);
        e.m_strError = "Переустановка уже установленной роли.";
        throw e;
    }
    RequireOpen();
    DbEngine engine = EngineOf(*this);
    if (engine != DbEngine::SqlServer && engine != DbEngine::PostgreSql) {
        CDBException e(SQL_ERROR);
        e.m_strError = std::string("Application roles are not supported by ") + EngineName(engine) + ".";
        throw e;
    }
    std::string previous = m_strAppRole;
    m_strAppRole = name;
    m_strRolePassword = secret;
    std::string statement;
    GetRoleCMD(statement);
    m_strAppRole = previous;
    m_strRolePassword.clear();
    bool traced = IsTraceOn(false);
    if (traced)
        SetTrace(false, false);
    try {
        ExecuteSQL(statement.c_str());
    } catch (...) {
        if (traced)
            SetTrace(true, false);
        throw;
    }
    if (traced)
        SetTrace(true, false);
    m_strAppRole = name;
    m_strRolePassword = secret;
}

void CDatabaseEx::CopyAppRole(CDatabaseEx* other)
{
    if (other == nullptr)
        return;
    if (!m_strAppRole.empty()) {
        if (strcasecmp(m_strAppRole.c_str(), other->m_strAppRole.c_str()) != 0) {
            CDBException e(SQL_ERROR);
            e.m_strError = "Переустановка уже установленной роли.";
            throw e;
        }
        return;
    }
    if (!other->m_strAppRole.empty())
        SetAppRole(other->m_strAppRole.c_str(), other->m_strRolePassword.c_str());
}

BOOL CDatabaseEx::GetRoleCMD(std::string& command) const
{
    command.clear();
    if (m_strAppRole.empty())
        return FALSE;
    if (EngineOf(*this) == DbEngine::PostgreSql)
        // PostgreSQL has no role passwords of this kind: the session must be a member.
        command = "SET ROLE " + QuoteIdentifier(m_strAppRole);
    else
        command = "EXEC sp_setapprole " + QuoteLiteral(m_strAppRole) + ", " + QuoteLiteral(m_strRolePassword);
    return TRUE;
}
