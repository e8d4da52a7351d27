#include "editor/app/core/editorcore.h"

#include "kelm_version.h"
#include "odbcbase/connectstring.h"

#include "winapi/text.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tarnwick {

BOOL g_bReadOnlyMode = TRUE;

namespace {

CTarnwickAppCore* g_app = nullptr;

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    std::size_t n = std::char_traits<char>::length(prefix);
    if (text.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// A connection-string value goes in braces where it could add keys of its own.
std::string ConnectionValue(const std::string& value) { return odbcbase::FormatConnectValue(value); }

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> SplitDots(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            return parts;
        start = dot + 1;
    }
}

} // namespace

std::string CurrentUserName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return entry->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

void CCommandLineInfo::ParseParam(const std::string& param, bool bFlag, bool bLast)
{
    if (!bFlag && m_strFileName.empty()) {
        m_strFileName = param;
        m_nShellCommand = FileOpen;
    }
}

void CTarnwickCommandLineInfo::ParseParam(const std::string& param, bool bFlag, bool bLast)
{
    if (!bFlag) {
        CCommandLineInfo::ParseParam(param, bFlag, bLast);
        return;
    }
    m_nDiagrammType = 1;
    if (StartsWithNoCase(param, "u:")) {
        m_bLoginFromCmdLine = 1;
        m_strUser = param.substr(2);
    } else if (StartsWithNoCase(param, "p:")) {
        m_bLoginFromCmdLine = 1;
        m_strPassword = param.substr(2);
    } else if (StartsWithNoCase(param, "d:")) {
        m_bLoginFromCmdLine = 1;
        m_strDSN = param.substr(2);
    } else if (StartsWithNoCase(param, "e")) {
        m_bNTAuthentication = TRUE;
    } else if (StartsWithNoCase(param, "clearreg")) {
        m_bClearReg = 1;
    } else {
        Prompt().Message("Параметр " + param + " ошибочный!\nПараметр - игнорируется!", {}, MessageIcon::None);
    }
}

void ParseCommandLine(CCommandLineInfo& info, const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool flag = arg.size() > 1 && arg[0] == '-';
        info.ParseParam(flag ? arg.substr(1) : arg, flag, i + 1 == args.size());
    }
}

std::vector<std::string> TakeCommandLine(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
        char* arg = argv[i];
        if (arg[0] == '-' && (arg[1] == 'p' || arg[1] == 'P') && arg[2] == ':')
            for (char* c = arg + 3; *c; ++c)
                *c = 'x';
    }
    return args;
}

std::string RegistryKeyName() { return std::string("Kelm Tarnwick v") + KELM_VERSION_STRING; }

int CompareVersions(const std::string& a, const std::string& b)
{
    auto left = SplitDots(winapi::Trim(a, " \t\r\n")), right = SplitDots(winapi::Trim(b, " \t\r\n"));
    std::size_t n = std::max(left.size(), right.size());
    for (std::size_t i = 0; i < n; ++i) {
        std::string x = i < left.size() ? left[i] : "0";
        std::string y = i < right.size() ? right[i] : "0";
        if (AllDigits(x) && AllDigits(y)) {
            x.erase(0, std::min(x.find_first_not_of('0'), x.size()));
            y.erase(0, std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
        }
        if (int c = x.compare(y); c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

CTarnwickAppCore::CTarnwickAppCore()
{
    g_app = this;
    g_bReadOnlyMode = TRUE;
}

CTarnwickAppCore::~CTarnwickAppCore()
{
    if (g_app == this)
        g_app = nullptr;
}

CTarnwickAppCore* CTarnwickAppCore::Instance() { return g_app; }

void CTarnwickAppCore::LoadSettings(ISettingsStore& store)
{
    m_cmdInfo.m_strDSN.clear();
    m_cmdInfo.m_strUser = store.GetProfileString("Settings", "User", "");
    m_cmdInfo.m_bNTAuthentication = store.GetProfileInt("Settings", "NTAuthentication", 0);
    int type = store.GetProfileInt("Settings", "DiagrammType", 0);
    m_cmdInfo.m_nDiagrammType = (type == 1 || type == 2) ? type : 0;
}

void CTarnwickAppCore::SaveSettings(ISettingsStore& store)
{
    if (!m_cmdInfo.m_bLoginFromCmdLine) {
        store.WriteProfileString("Settings", "DSN", m_cmdInfo.m_strDSN);
        store.WriteProfileString("Settings", "User", m_cmdInfo.m_strUser);
        store.WriteProfileInt("Settings", "DiagrammType", m_cmdInfo.m_nDiagrammType);
    }
    store.WriteProfileInt("Settings", "NTAuthentication", m_cmdInfo.m_bNTAuthentication);
}

bool CTarnwickAppCore::ConnectAtStartup()
{
    try {
        ado::HRESULT hr = m_pConnection.CreateInstance("ADODB.Connection");
        if (hr != ado::S_OK)
            throw ado::_com_error(hr);
        if (!ConnectDB(FALSE))
            OnOpenConnection();
        if (ConnectDB(FALSE) && m_shell)
            m_shell->BuildNavigationTree(GetTreeClass());
    } catch (const ado::_com_error& e) {
        ShowComError(e);
        return false;
    } catch (...) {
        Prompt().Message("Общая ошибка приложения", {}, MessageIcon::Error);
        return false;
    }
    return true;
}

void CTarnwickAppCore::ReleaseConnection()
{
    if (!m_pConnection)
        return;
    try {
        if (m_pConnection->GetState() & ado::adStateOpen)
            m_pConnection->Close();
    } catch (const ado::_com_error& e) {
        ShowComError(e);
    }
    m_pConnection.Release();
}

std::string CTarnwickAppCore::ConnectionString() const
{
    const std::string& dsn = m_cmdInfo.m_strDSN;
    if (m_cmdInfo.m_bNTAuthentication || dsn.find('=') != std::string::npos)
        return "Provider=MSDASQL;DSN=" + ConnectionValue(dsn) + ";";
    return dsn;
}

std::string CTarnwickAppCore::DataSourceName() const
{
    if (!m_cmdInfo.m_strDSN.empty() || !m_pConnection || !(m_pConnection->GetState() & ado::adStateOpen))
        return m_cmdInfo.m_strDSN;
    static const std::string kDefault = "Default";
    // Spelled as the data-source list has it.
    for (const ado::DataSource& source : ado::ListDataSources())
        if (source.name.size() == kDefault.size() && StartsWithNoCase(source.name, kDefault.c_str()))
            return source.name;
    return kDefault;
}

std::string CTarnwickAppCore::RightsQuery() const
{
    const std::string query = "select kelm_user_isadmin from kelm_user where ";
    if (m_pConnection && !m_pConnection->GetDialect().HasLogins()) {
        // No logins: the user given at login, else the account name.
        std::string login = m_pConnection->GetLoginUser();
        if (login.empty())
            login = CurrentUserName();
        return query + "lower(db_user_netname) = lower('" + SqlQuote(login) + "')";
    }
    return query + "lower(db_user_netname) = lower(session_user)";
}

ado::_ConnectionPtr CTarnwickAppCore::ConnectDB(BOOL bShowErrors)
{
    if (!m_pConnection) {
        m_strDbVersion.clear();
        return nullptr;
    }
    try {
        if (m_pConnection->GetState() & ado::adStateOpen)
            return m_pConnection;
        if (m_cmdInfo.m_bNTAuthentication)
            m_pConnection->Open(ConnectionString(), "", "", ado::adConnectUnspecified);
        else
            m_pConnection->Open(ConnectionString(), m_cmdInfo.m_strUser, m_cmdInfo.m_strPassword,
                                ado::adConnectUnspecified);
    } catch (const ado::_com_error& e) {
        if (bShowErrors)
            ShowComError(e);
        m_strDbVersion.clear();
        return nullptr;
    }

    try {
        m_strDbVersion.clear();
        auto version = m_pConnection->Execute("SELECT Applversion FROM common_ver where flagtrue = '*'", nullptr, 0);
        if (!version || version->GetState() == ado::adStateClosed || version->IsBOF() || version->IsEOF()) {
            OnCloseConnection();
            Prompt().Message("Не поддерживаемая структура БД!", {}, MessageIcon::None);
            return nullptr;
        }
        m_strDbVersion = static_cast<std::string>(version->GetCollect("Applversion"));
        version.Release();

        if (m_cmdInfo.m_nDiagrammType == 1 && !IsDbVersionAtLeast("3.01.35")) {
            std::string found = m_strDbVersion;
            OnCloseConnection();
            m_strDbVersion.clear();
            Prompt().Message("К сожалению версия Вашей БД " + found +
                                 ".\nДанная версия Tarnwick.exe поддерживает БД версии 3.01.35 и выше.\n"
                                 "Сделайте обновление БД до версии 3.01.35 и выше.",
                             {}, MessageIcon::None);
            return nullptr;
        }

        auto rights = m_pConnection->Execute(RightsQuery(), nullptr, 0);
        if (!rights || rights->GetState() == ado::adStateClosed || rights->IsEOF() || rights->IsBOF())
            g_bReadOnlyMode = TRUE;
        else
            g_bReadOnlyMode = rights->GetCollect("kelm_user_isadmin").ToLong() == 0;
        rights.Release();
        if (g_bReadOnlyMode)
            Prompt().Message("Без административных прав ресурсы БД доступны только для чтения", {},
                             MessageIcon::Warning);
        return m_pConnection;
    } catch (const ado::_com_error& e) {
        if (bShowErrors)
            ShowComError(e);
        // A check that could not run leaves no connection behind, so no one
        // works on with rights an earlier login was given.
        g_bReadOnlyMode = TRUE;
        m_strDbVersion.clear();
        try {
            if (m_pConnection->GetState() & ado::adStateOpen)
                m_pConnection->Close();
        } catch (const ado::_com_error& closeError) {
            if (bShowErrors)
                ShowComError(closeError);
        }
        return nullptr;
    }
}

bool CTarnwickAppCore::IsDbVersionAtLeast(const std::string& version) const
{
    return CompareVersions(m_strDbVersion, version) >= 0;
}

TreeClass CTarnwickAppCore::GetTreeClass() const
{
    switch (m_cmdInfo.m_nDiagrammType) {
    case 1: return TreeClass::AWF;
    case 2: return TreeClass::DWF;
    default: return TreeClass::Base;
    }
}

void CTarnwickAppCore::OnOpenConnection()
{
    for (;;) {
        LoginResult result;
        if (!m_shell || !m_shell->RunLoginDialog(m_cmdInfo.m_strUser, m_cmdInfo.m_strDSN,
                                                 m_cmdInfo.m_nDiagrammType - 1, result))
            return;
        m_cmdInfo.m_bNTAuthentication = result.m_bNTAuthentication;
        m_cmdInfo.m_strDSN = result.m_strDSN;
        if (!result.m_bNTAuthentication) {
            m_cmdInfo.m_strUser = result.m_strUser;
            m_cmdInfo.m_strPassword = result.m_strPassword;
        }
        m_cmdInfo.m_nDiagrammType = 1;
        if (ConnectDB(TRUE)) {
            m_shell->BuildNavigationTree(GetTreeClass());
            return;
        }
    }
}

void CTarnwickAppCore::OnCloseConnection()
{
    try {
        // A chart the user keeps keeps the connection and the tree too.
        if (m_shell && !m_shell->CloseChildWindows())
            return;
        auto connection = ConnectDB(FALSE);
        if (connection && connection->GetState() != ado::adStateClosed)
            connection->Close();
        if (m_shell)
            m_shell->RemoveNavigationTree();
    } catch (const ado::_com_error& e) {
        ShowComError(e);
    }
}

bool CTarnwickAppCore::OnUpdateOpenConnection() const
{
    return m_pConnection && m_pConnection->GetState() == ado::adStateClosed;
}

bool CTarnwickAppCore::OnUpdateCloseConnection() const
{
    return m_pConnection && m_pConnection->GetState() != ado::adStateClosed;
}

} // namespace tarnwick
