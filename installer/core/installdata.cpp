#include "installer/core/installdata.h"

#include "installer/common/dorvikcore.h"
#include "installer/common/utils.h"
#include "dmo/dmo.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/text.h"

#include <atomic>
#include <cstdlib>
#include <functional>

namespace dorvik {

namespace {

// The Linux counterpart of the original's data folder.
constexpr const char* kDefaultDataPath = "/var/lib/kelm/data";

std::atomic<PageFactory> g_pageFactory{nullptr};

CPageBase* makePage(PageKind kind, TBase& step)
{
    PageFactory factory = g_pageFactory.load();
    return factory ? factory(kind, step) : nullptr;
}

// A folder macro is replaced only when it occurs and its folder is known.
void replaceFolder(std::string& text, const std::string& macro, const std::function<std::string()>& folder)
{
    if (text.find(macro) == std::string::npos)
        return;
    std::string value = folder();
    if (value.empty())
        return;
    while (value.size() > 1 && value.back() == '/')
        value.pop_back();
    ReplaceAll(text, macro, value);
}

std::string currentFolder() { return winapi::GetCurrentDirectory().value_or(std::string()); }

std::string sqlRootFolder()
{
    auto server = CDorvikCore::Get().GetLiveServer();
    return server ? server->RootDirectory() : std::string();
}

bool containsWord(const std::string& name, const char* word) { return name.find(word) != std::string::npos; }

int readInt(const std::string& section, const char* key, int def, const std::string& file)
{
    return static_cast<int>(winapi::GetPrivateProfileInt(section.c_str(), key, def, file));
}

// The database keys: a 20-character text read as a decimal number.
int readNumber(const std::string& section, const char* key, const char* def, const std::string& file)
{
    std::string value;
    winapi::GetPrivateProfileString(section.c_str(), key, def, value, 20, file);
    return std::atoi(value.c_str());
}

} // namespace

void SetPageFactory(PageFactory factory) { g_pageFactory.store(factory); }

int ParseDiskSpace(const std::string& text)
{
    if (text.size() < 2)
        return 0;
    return static_cast<int>(std::strtod(text.substr(0, text.size() - 1).c_str(), nullptr));
}

std::string ReadIniString(const std::string& section, const char* key, const char* def, const std::string& file)
{
    std::string value;
    winapi::GetPrivateProfileString(section.c_str(), key, def, value, 0x7FFFFFFF, file);
    return value;
}

// --- steps -------------------------------------------------------------------

bool TBase::Load(const std::string& iniPath)
{
    m_strInfo = ReadIniString(m_strName, "Info", "", iniPath);
    m_strSectionDescriptionE = ReadIniString(m_strName, "SectionDescriptionE", "", iniPath);
    m_strSectionDescriptionR = ReadIniString(m_strName, "SectionDescriptionR", "", iniPath);
    return true;
}

CPageBase* TBase::CreatePage() { return nullptr; }

void TBase::ExpandMacros(std::string& text) const
{
    ReplaceAll(text, "%INFO%", m_strInfo);
    replaceFolder(text, "%TMPDIR%", [] { return winapi::GetTempPath(); });
    replaceFolder(text, "%WINDIR%", [] { return winapi::GetWindowsDirectory(); });
    replaceFolder(text, "%SYSDIR%", [] { return winapi::GetSystemDirectory(); });
    replaceFolder(text, "%CURDIR%", currentFolder);
    replaceFolder(text, "%APPDIR%", [this] { return m_pOwner ? m_pOwner->GetKitFolder() : GetProgramFolder(); });
    replaceFolder(text, "%SQLROOTDIR%", sqlRootFolder);
}

bool TStart::Load(const std::string& iniPath)
{
    TBase::Load(iniPath);
    m_nDefaultLanguage = readInt(m_strName, "DefaultLanguage", 0, iniPath) > 0 ? 1 : 0;
    m_strSectionDescriptionE.clear();
    m_strSectionDescriptionR.clear();
    return true;
}

CPageBase* TStart::CreatePage() { return makePage(PageKind::Start, *this); }

bool TLicense::Load(const std::string& iniPath)
{
    TBase::Load(iniPath);
    m_strLicenseFile = ReadIniString(m_strName, "LicenseFile", "%APPDIR%/License.txt", iniPath);
    ExpandMacros(m_strLicenseFile);
    return true;
}

CPageBase* TLicense::CreatePage() { return makePage(PageKind::License, *this); }

bool TLogin::Load(const std::string& iniPath)
{
    TBase::Load(iniPath);
    m_strServer = ReadIniString(m_strName, "Server", "(local)", iniPath);
    m_strUser = ReadIniString(m_strName, "User", "sa", iniPath);
    m_strPassword = ReadIniString(m_strName, "Password", "", iniPath);
    m_bEnableChangeLogin = readInt(m_strName, "EnableChangeLogin", 1, iniPath) != 0;
    // Linux is always of the NT family: a trusted connection is possible
    // (peer authentication).
    m_bTrustedConnection = readInt(m_strName, "TrustedConnection", 0, iniPath) != 0;
    return true;
}

CPageBase* TLogin::CreatePage() { return makePage(PageKind::Login, *this); }

CPageBase* TEnd::CreatePage() { return makePage(PageKind::End, *this); }

bool TSetup::Load(const std::string& iniPath)
{
    TBase::Load(iniPath);
    m_strPathData = ReadIniString(m_strName, "PathData", kDefaultDataPath, iniPath);
    m_strPathData2 = ReadIniString(m_strName, "PathData2", kDefaultDataPath, iniPath);
    m_nNeedDiskSpace = ParseDiskSpace(ReadIniString(m_strName, "NeedDiskSpace", "0M", iniPath));
    m_nNeedDiskSpace2 = ParseDiskSpace(ReadIniString(m_strName, "NeedDiskSpace2", "0M", iniPath));
    m_bEnabled = readInt(m_strName, "InstallSection", 1, iniPath) != 0;
    m_strCollateStr = ReadIniString(m_strName, "CollateStr", "", iniPath);
    return true;
}

void TSetup::ExpandMacros(std::string& text) const
{
    TBase::ExpandMacros(text);
    ReplaceAll(text, "%PATHDATA%", m_strPathData);
    ReplaceAll(text, "%PATHDATA2%", m_strPathData2);
    ReplaceAll(text, "%COLLATESTR%", m_strCollateStr);
}

int TSetup::NeededSpace(const winapi::DriveId& drive) const
{
    if (m_bHideTempDatabaseControls)
        return 0;
    int space = 0;
    if (auto d = winapi::GetDriveOfPath(m_strPathData); d && *d == drive)
        space += m_nNeedDiskSpace;
    if (auto d = winapi::GetDriveOfPath(m_strPathData2); d && *d == drive)
        space += m_nNeedDiskSpace2;
    return space;
}

bool TPatch::Load(const std::string& iniPath)
{
    TSetup::Load(iniPath);
    m_strDataBase = ReadIniString(m_strName, "DataBase", "Enterprise", iniPath);
    m_strTempDataBase = ReadIniString(m_strName, "TempDataBase", "Temp_Enterprise", iniPath);
    m_strBcpPath = ReadIniString(m_strName, "BcpPath", "", iniPath);
    ExpandMacros(m_strBcpPath);
    m_strUsing = ReadIniString(m_strName, "Using", "", iniPath);
    ExpandMacros(m_strUsing);
    m_bHideTempDatabaseControls = readInt(m_strName, "HideTempDatabaseControls", 0, iniPath) != 0;
    return true;
}

CPageBase* TPatch::CreatePage() { return makePage(PageKind::Patch, *this); }

void TPatch::ExpandMacros(std::string& text) const
{
    TSetup::ExpandMacros(text);
    ReplaceAll(text, "%DATABASE%", m_strDataBase);
    ReplaceAll(text, "%TEMPDATABASE%", m_strTempDataBase);
    ReplaceAll(text, "%BCPPATH%", m_strBcpPath);
}

bool TDatabase::Load(const std::string& iniPath)
{
    TPatch::Load(iniPath);
    m_strTempDataBase.clear();
    int loadDump = readNumber(m_strName, "LoadDump", "0", iniPath);
    m_nLoadDump = loadDump == 1 || loadDump == 2 ? loadDump : 0;
    m_bEnableLoad = readNumber(m_strName, "EnableLoad", "1", iniPath) > 0;
    m_bEnableDorvik = readNumber(m_strName, "EnableDorvik", "0", iniPath) > 0;
    m_bInstallDayMaintenance = readNumber(m_strName, "InstallDayMaintenance", "0", iniPath) > 0;
    m_bInstallWeekMaintenance = readNumber(m_strName, "InstallWeekMaintenance", "1", iniPath) > 0;
    m_nDayMaintenanceTime = static_cast<std::uint16_t>(readNumber(m_strName, "DayMaintenanceTime", "5", iniPath));
    m_nWeekMaintenanceTime = static_cast<std::uint16_t>(readNumber(m_strName, "WeekMaintenanceTime", "1", iniPath));
    m_nWeekMaintenanceDay = readNumber(m_strName, "WeekMaintenanceDay", "1", iniPath);
    return true;
}

CPageBase* TDatabase::CreatePage() { return makePage(PageKind::Database, *this); }

void TDatabase::ExpandMacros(std::string& text) const
{
    TPatch::ExpandMacros(text);
    ReplaceAll(text, "%BACKUPPATH%", m_strBackUpPath);
}

// --- the list ----------------------------------------------------------------

std::string CInstallData::GetKitFolder() const
{
    return m_strKitFolder.empty() ? GetProgramFolder() : m_strKitFolder;
}

bool CInstallData::Load(const std::string& iniPath, const std::string& kitFolder)
{
    DeleteAll();
    m_strIniPath = iniPath;
    m_strKitFolder = kitFolder;
    // Read whole: a long list of sections is never cut.
    std::vector<std::string> sections = winapi::GetPrivateProfileSectionNames(iniPath, 0x7FFFFFFF);
    if (sections.empty())
        return false;
    for (auto& name : sections)
        name = winapi::Utf8Upper(name);
    auto add = [this](TBase* step, std::string name) {
        step->m_strName = std::move(name);
        step->m_pOwner = this;
        Add(step);
    };
    add(new TStart, "START");
    std::size_t first = 0;
    if (containsWord(sections[0], "LICENSE")) {
        add(new TLicense, sections[0]);
        first = 1;
    }
    add(new TLogin, "LOGIN");
    for (std::size_t i = first; i < sections.size(); ++i) {
        const std::string& name = sections[i];
        if (containsWord(name, "DORVIK"))
            add(new TDatabase, name);
        else if (containsWord(name, "PATCHDB"))
            add(new TPatch, name);
        else if (containsWord(name, "LICENSE"))
            add(new TLicense, name);
    }
    add(new TEnd, "END");
    ForEach([&](TBase& step) { step.Load(iniPath); });
    return true;
}

TLogin* CInstallData::GetLoginStep() const
{
    TLogin* login = nullptr;
    ForEach([&](TBase& step) {
        if (!login)
            login = dynamic_cast<TLogin*>(&step);
    });
    return login;
}

TStart* CInstallData::GetStartStep() const
{
    TStart* start = nullptr;
    ForEach([&](TBase& step) {
        if (!start)
            start = dynamic_cast<TStart*>(&step);
    });
    return start;
}

void CInstallData::GetLogin(std::string* server, std::string* user, std::string* password, bool* trusted) const
{
    TLogin* login = GetLoginStep();
    if (!login)
        return;
    if (server)
        *server = login->m_strServer;
    if (user)
        *user = login->m_strUser;
    if (password)
        *password = login->m_strPassword;
    if (trusted)
        *trusted = login->m_bTrustedConnection;
}

bool CInstallData::RefreshLogin()
{
    TLogin* login = GetLoginStep();
    if (!login)
        return false;
    auto server = CDorvikCore::Get().GetLiveServer();
    if (!server)
        return false;
    try {
        std::string name = server->NetName();
        std::string instance = server->InstanceName();
        if (server->VersionMajor() >= 8 && !instance.empty())
            name += "\\" + instance;
        std::string user = server->TrueLogin();
        login->m_strServer = name;
        login->m_strPassword = server->Password();
        login->m_strUser = user;
    } catch (const dmo::Error&) {
        return false;
    }
    return true;
}

int CInstallData::NeededSpaceBefore(const winapi::DriveId& drive, const TBase* step) const
{
    int space = 0;
    bool before = true;
    ForEach([&](TBase& s) {
        if (&s == step)
            before = false;
        if (before && s.m_bEnabled)
            space += s.NeededSpace(drive);
    });
    return space;
}

int CInstallData::GetDefaultLanguage() const
{
    TStart* start = GetStartStep();
    return start ? start->m_nDefaultLanguage : 0;
}

void CInstallData::ExpandMacros(std::string& text, const TBase* step, bool withEscapes, bool hidePassword) const
{
    if (TLogin* login = GetLoginStep()) {
        ReplaceAll(text, "%SERVER%", login->m_strServer);
        ReplaceAll(text, "%USER%", login->m_strUser);
        ReplaceAll(text, "%PASSWORD%", hidePassword ? kHiddenPassword : login->m_strPassword);
        ReplaceAll(text, "%TRUSTEDCONNECTION%", login->m_bTrustedConnection ? "1" : "0");
    }
    if (withEscapes) {
        ReplaceAll(text, "\\n", "\n");
        ReplaceAll(text, "\\t", "\t");
    }
    if (step)
        step->ExpandMacros(text);
}

} // namespace dorvik
