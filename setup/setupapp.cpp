#include "setup/setupapp.h"

#include "installer/common/filemanager.h"
#include "resources/setup/setupstrings.h"
#include "winapi/settings/app_profile.h"
#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/settings/odbcconfig.h"
#include "winapi/process.h"
#include "winapi/settings/registry.h"
#include "winapi/shelllink.h"
#include "winapi/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>

namespace kelm_setup {

using namespace kelm_setup::res;

namespace {

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (!name.empty() && name[0] == '/')
        return folder.back() == '/' ? folder + name.substr(1) : folder + name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return withoutTrailingSlash(path);
    auto cwd = winapi::GetCurrentDirectory();
    return withoutTrailingSlash(joinPath(cwd ? *cwd : "/", path));
}

bool isPsqlDriver(const std::string& driver)
{
    return winapi::Utf8Upper(driver).rfind("POSTGRESQL", 0) == 0;
}

} // namespace

std::string FormatText(const std::string& text, const std::vector<std::string>& args)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < args.size())
                out += args[next];
            ++next;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool BuildDsnAttributes(const TSec& sec, std::vector<std::pair<std::string, std::string>>& attributes,
                        std::string& error)
{
    attributes.clear();
    error.clear();
    std::string host = sec.m_strServer;
    std::string port;
    // "host\N", "host:N" or "host,N" names a port; "host\name" a named
    // instance, which PostgreSQL does not have.
    auto sep = host.find_last_of("\\:,");
    if (sep != std::string::npos && !(host[sep] == ':' && host.find(':') != sep)) {
        port = host.substr(sep + 1);
        host.erase(sep);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(port) > 65535) {
            error = "named instances: give the port : " + sec.m_strServer;
            return false;
        }
    }
    bool local = host.empty() || host == "." || winapi::Utf8EqualNoCase(host, "(local)") ||
                 winapi::Utf8EqualNoCase(host, winapi::GetComputerName());
    if (isPsqlDriver(sec.m_strDriver)) {
        // The local server is reached through the default socket (or PGHOST).
        if (!local)
            attributes.emplace_back("Servername", host);
        if (!port.empty())
            attributes.emplace_back("Port", port);
        if (!sec.m_strDatabase.empty())
            attributes.emplace_back("Database", sec.m_strDatabase);
    } else {
        if (!sec.m_strServer.empty())
            attributes.emplace_back("SERVER", sec.m_strServer);
        if (!sec.m_strDatabase.empty())
            attributes.emplace_back("Database", sec.m_strDatabase);
    }
    return true;
}

namespace {

// The folder `relative` below `base`, each level opened from the one above
// without following links; `below` holds it when it is not `base` itself.
// Null when a level is missing or is a link.
const winapi::Folder* openBelow(const winapi::Folder& base, const std::string& relative,
                                std::optional<winapi::Folder>& below)
{
    below.reset();
    const winapi::Folder* at = &base;
    for (std::size_t pos = 0; pos < relative.size();) {
        std::size_t next = relative.find('/', pos);
        std::string part = relative.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        pos = next == std::string::npos ? relative.size() : next + 1;
        if (part.empty() || part == ".")
            continue;
        auto sub = at->OpenSub(part);
        if (!sub)
            return nullptr;
        below = std::move(sub);
        at = &*below;
    }
    return at;
}

} // namespace

void DeleteListedPaths(const std::string& folder, const std::vector<std::string>& lines,
                       const std::function<void(const std::string&)>& log)
{
    // Every line is walked from the folder one level at a time without
    // following links, so no line reaches outside the folder.
    auto base = winapi::Folder::Open(folder);
    if (!base)
        return;
    std::optional<std::string> openParent; // the parent of the last line, relative
    std::optional<winapi::Folder> parentFolder;
    const winapi::Folder* dir = nullptr;
    for (const auto& line : lines) {
        if (line.empty())
            continue;
        if (!winapi::IsConfinedRelativePath(line)) {
            log("Skipped, outside the installation folder : " + line);
            continue;
        }
        auto slash = line.rfind('/');
        std::string parent = slash == std::string::npos ? std::string() : line.substr(0, slash);
        std::string name = slash == std::string::npos ? line : line.substr(slash + 1);
        if (name.empty() || name == ".")
            continue;
        if (!openParent || parent != *openParent) {
            openParent = parent;
            dir = openBelow(*base, parent, parentFolder);
        }
        if (!dir)
            continue; // a level is missing or is a link: nothing to delete
        // A folder still holding something that was not installed stays
        // (rmdir refuses it); what a killed copy left in it does not count.
        // A listed file goes whatever its own mode: setup put it there,
        // often read-only as it lay on the kit's media, and only the
        // folder's permission decides. A link goes as the link. A failure
        // does not stop the list.
        bool isFolder = winapi::IsDirectory(*dir, name);
        if (::unlinkat(dir->Fd(), name.c_str(), isFolder ? AT_REMOVEDIR : 0) != 0 && isFolder &&
            errno == ENOTEMPTY) {
            if (auto sub = dir->OpenSub(name)) {
                winapi::RemoveCopyLeftovers(*sub);
                ::unlinkat(dir->Fd(), name.c_str(), AT_REMOVEDIR);
            }
        }
    }
    winapi::RemoveCopyLeftovers(*base);
}

CSetupApp::CSetupApp() : m_isAdmin([] { return winapi::IsUserAnAdmin() != 0; }) {}

CSetupApp::~CSetupApp() = default;

void CSetupApp::ParseCommandLine(const std::vector<std::string>& args)
{
    m_cmdInfo.Parse(args);
    m_bSilent = m_cmdInfo.m_nSilent != 0;
    m_strKitFolder = m_cmdInfo.m_strFileName.empty() ? folderOf(winapi::GetModuleFileName())
                                                      : absolute(m_cmdInfo.m_strFileName);
}

std::shared_ptr<winapi::IPrompt> CSetupApp::GetPrompt() const
{
    return m_prompt ? m_prompt : winapi::GetPrompt();
}

void CSetupApp::Log(const std::string& line)
{
    if (m_log.IsOpen())
        m_log.WriteLine(line);
}

int CSetupApp::Ask(const std::string& text, UINT style) { return GetPrompt()->Ask(nullptr, text, "", style); }

void CSetupApp::Report(int id, const std::vector<std::string>& args, const std::string& extra)
{
    std::string text = FormatText(LoadString(id), args) + extra;
    if (!m_bSilent)
        Ask(text, winapi::MB_OK | winapi::MB_ICONSTOP);
    Log(text);
}

void CSetupApp::OpenLog()
{
    if (m_log.Open()) {
        m_log.BeginLog();
        m_log.WriteProgramVersion();
    }
}

int CSetupApp::Run()
{
    if (m_strKitFolder.empty())
        m_strKitFolder = folderOf(winapi::GetModuleFileName());
    winapi::AppProfile::Instance().SetRegistryKey(kProfileKey);

    OpenLog();
    if (!m_log.IsOpen()) {
        m_nStatus = Failed;
        if (!m_bSilent)
            Ask(LoadString(IDS_LOG_OPEN_FAILED), winapi::MB_OK | winapi::MB_ICONSTOP);
    }
    if (m_nStatus == Success && !m_isAdmin()) {
        m_nStatus = Failed;
        Report(IDS_NOT_ADMIN);
    }
    if (m_nStatus == Success && !LoadAppIni())
        m_nStatus = Failed;

    // The client check runs whatever happened before.
    if (GetClientFolder().empty()) {
        Report(IDS_NO_CLIENT);
        m_nStatus = Failed;
    }

    if (m_nStatus == Success && IsInstalled()) {
        int answer = winapi::IDOK;
        if (!m_bSilent)
            answer = Ask(LoadString(IDS_ALREADY_INSTALLED), winapi::MB_OKCANCEL);
        if (answer != winapi::IDOK) {
            m_nStatus = Terminated;
            Ask(LoadString(IDS_INSTALL_CANCELLED), winapi::MB_OK | winapi::MB_ICONSTOP);
        } else {
            m_log.Close();
            std::string failure;
            bool removed = RunUninstaller(failure);
            // The uninstaller's block now stands inside this run's block.
            m_log.Open();
            if (!m_log.IsOpen()) {
                m_nStatus = Failed;
                if (!m_bSilent)
                    Ask(LoadString(IDS_LOG_OPEN_FAILED), winapi::MB_OK | winapi::MB_ICONSTOP);
            }
            if (!removed) {
                m_nStatus = Failed;
                Log(failure);
                Report(IDS_UNINSTALL_FAILED);
            }
        }
    }

    if (m_nStatus == Success) {
        m_strInstallFolder = GetInfo() ? DefaultInstallFolder() : std::string();
        if (m_strInstallFolder.empty()) {
            m_nStatus = Failed;
            Report(IDS_CANNOT_CREATE_FOLDER, {m_strInstallFolder});
        } else if (m_bSilent || !m_wizard) {
            std::string list;
            if (!CreateDataSources(list))
                m_nStatus = Failed;
            if (m_nStatus == Success)
                m_nStatus = Install();
        } else if (m_wizard->Run(*this)) {
            // The data sources are made only once the user has confirmed.
            std::string list;
            if (m_nStatus == Success && !CreateDataSources(list))
                m_nStatus = Failed;
            if (m_nStatus == Success)
                m_nStatus = Install();
        } else if (m_nStatus == Success) {
            m_nStatus = Terminated;
        }
    }

    if (m_nStatus == Failed)
        Rollback();

    if (m_log.IsOpen()) {
        m_log.EndLog(m_nStatus);
        m_log.Close();
    }
    return m_nStatus;
}

bool CSetupApp::LoadAppIni()
{
    if (!winapi::IsEnterableDirectory(m_strKitFolder)) {
        Log(winapi::FormatMessage(winapi::kErrorPathNotFound) + " : " + m_strKitFolder);
        Report(IDS_APP_INI_MISSING);
        return false;
    }
    std::string appIni = joinPath(m_strKitFolder, LoadString(IDS_APP_INI));
    int fd = ::open(appIni.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        Log(winapi::FormatMessage(fd < 0 ? winapi::Win32ErrorFromErrno(errno, appIni) : winapi::kErrorAccessDenied) +
            " : " + appIni);
        Report(IDS_APP_INI_MISSING);
        return false;
    }
    ::close(fd);
    if (!m_data.LoadAppIni(appIni)) {
        Report(IDS_APP_INI_BAD);
        return false;
    }
    return true;
}

std::string CSetupApp::GetClientFolder()
{
    TInstallInfo* info = GetInfo();
    if (!info || info->m_strClientVer.empty())
        return {};
    winapi::RegKey key;
    if (winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kClientVersionsKey + info->m_strClientVer,
                             winapi::KEY_READ, key) != 0)
        return {};
    auto folder = winapi::RegQueryString(key, "Path_Ver", winapi::kMaxPath);
    if (!folder || folder->empty())
        return {};
    std::string path = winapi::FromKitPath(*folder);
    if (path.back() != '/')
        path += '/';
    return path;
}

bool CSetupApp::IsInstalled()
{
    TInstallInfo* info = GetInfo();
    if (!info)
        return false;
    m_strUninstallKey = info->m_strAppGUID;
    winapi::RegKey key;
    return winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + m_strUninstallKey, winapi::KEY_READ,
                                key) == 0;
}

bool CSetupApp::RunUninstaller(std::string& failure)
{
    if (m_strUninstallKey.empty())
        return true;
    winapi::RegKey key;
    if (winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + m_strUninstallKey, winapi::KEY_READ,
                             key) != 0)
        return true;
    auto location = winapi::RegQueryString(key, "InstallLocation", winapi::kMaxPath);
    if (!location || location->empty())
        return true;
    std::string program = joinPath(*location, kUninstallerName);
    auto pid = winapi::Spawn({program, "-s"});
    if (!pid) {
        failure = winapi::FormatMessage(winapi::GetLastError()) + " : " + program;
        return false;
    }
    auto status = winapi::WaitProcess(*pid);
    if (!status || *status != 0) {
        failure = program + " -s : exit status " + (status ? std::to_string(*status) : std::string("unknown"));
        return false;
    }
    return true;
}

std::string CSetupApp::DefaultInstallFolder() const
{
    TInstallInfo* info = GetInfo();
    auto programFiles = winapi::GetSpecialFolder(winapi::CSIDL_PROGRAM_FILES | winapi::CSIDL_FLAG_CREATE);
    if (!info || !programFiles || info->m_strDevID.empty() || info->m_strAppName.empty() ||
        info->m_strAppVer.empty())
        return {};
    std::string root = withoutTrailingSlash(*programFiles) + "/";
    std::string folder = root + "Varnholt Inc/Orvo Server/CommonFiles/" + info->m_strDevID + "/" +
                         info->m_strAppName + "/" + info->m_strAppVer;
    if (!info->m_strInstallPath.empty()) {
        folder = info->m_strInstallPath;
        const std::string macro = "%Program Files%";
        for (std::size_t pos = folder.find(macro); pos != std::string::npos;
             pos = folder.find(macro, pos + root.size())) {
            // "%Program Files%/x" must not become "root//x".
            std::size_t length = macro.size();
            if (pos + length < folder.size() && folder[pos + length] == '/')
                ++length;
            folder.replace(pos, length, root);
        }
    }
    return withoutTrailingSlash(folder);
}

std::string CSetupApp::DataSourceList() const
{
    std::string list;
    for (const TSec* sec : m_data.GetSections())
        list += sec->m_strDSN + "\r\n";
    return list;
}

namespace {

// The data sources of all scopes whose driver matches (all when `driver` is
// empty); nullopt when the driver manager gives no environment.
std::optional<std::vector<std::string>> listDataSources(const std::string& driver);

} // namespace

bool CSetupApp::CreateDataSources(std::string& list)
{
    list.clear();
    TInstallInfo* info = GetInfo();
    if (!info)
        return true;
    if (m_bDataSourcesCreated) {
        list = m_strDataSources;
        return true;
    }
    for (TSec* sec : m_data.GetSections()) {
        if (sec->m_bCreateDSN) {
            std::string error;
            std::vector<std::pair<std::string, std::string>> attributes;
            bool ok = false;
            if (sec->m_strDriver.empty()) {
                error = "no driver named for the data source " + sec->m_strDSN +
                        " : the interactive data-source dialog does not exist here";
            } else if (!winapi::OdbcDriverInstalled(sec->m_strDriver)) {
                error = "ODBC driver not installed : " + sec->m_strDriver;
            } else if (BuildDsnAttributes(*sec, attributes, error)) {
                auto before = listDataSources(sec->m_strDriver);
                if (!before) {
                    error = "no ODBC environment";
                } else if (winapi::OdbcWriteSystemDsn(sec->m_strDSN, sec->m_strDriver, attributes, error)) {
                    ok = true;
                    if (auto after = listDataSources(sec->m_strDriver)) {
                        for (const auto& name : *after) {
                            if (std::find(before->begin(), before->end(), name) == before->end()) {
                                sec->m_strDSN = name;
                                break;
                            }
                        }
                    }
                }
            }
            if (!ok) {
                Log(error);
                Report(IDS_DSN_FAILED);
                m_nStatus = Failed;
                return false;
            }
        }
        list += sec->m_strDSN + "\r\n";
    }
    m_bDataSourcesCreated = true;
    m_strDataSources = list;
    return true;
}

int CSetupApp::Install()
{
    TInstallInfo* info = GetInfo();
    if (!info || info->m_strCopyPath.empty())
        return Success;
    if (!CreateAppFolder(m_strInstallFolder))
        return Failed;
    if (!CreateProgramGroup())
        return Failed;
    if (!RegisterUninstall()) {
        Report(IDS_REGISTRY_FAILED);
        return Failed;
    }
    return Success;
}

bool CSetupApp::CreateAppFolder(const std::string& folder)
{
    std::size_t length = winapi::Utf8Length(folder);
    if (length == 0 || length > 259) {
        Report(IDS_CANNOT_CREATE_FOLDER, {folder});
        return false;
    }
    if (!winapi::IsEnterableDirectory(folder)) {
        // The highest level that is missing is what a rollback takes back.
        std::string created = withoutTrailingSlash(folder);
        while (created.size() > 1 && ::access(folderOf(created).c_str(), F_OK) != 0)
            created = folderOf(created);
        if (!dorvik::CreateFolderTree(folder)) {
            Log(winapi::FormatMessage(winapi::GetLastError()));
            Report(IDS_CANNOT_CREATE_FOLDER, {folder});
            return false;
        }
        m_strCreatedFolder = created;
    }
    return CopyAppFiles(folder);
}

bool CSetupApp::CopyAppFiles(const std::string& folder)
{
    TInstallInfo* info = GetInfo();
    bool ok = info && !info->m_strCopyPath.empty();
    std::string source = ok ? withoutTrailingSlash(joinPath(m_strKitFolder, info->m_strCopyPath)) : std::string();
    if (ok && info->m_strCopyPath[0] == '/')
        source = withoutTrailingSlash(info->m_strCopyPath);
    dorvik::CSetupFileManager manager;
    manager.RecordCreated(&m_copiedPaths);
    if (ok) {
        ok = manager.Copy(joinPath(source, "*"), folder, true, true);
        if (!ok)
            Log(manager.GetMessage());
    }
    if (ok)
        ok = WriteFileList(source, folder);
    if (ok) {
        ok = manager.Copy(joinPath(m_strKitFolder, LoadString(IDS_APP_INI)), folder, false);
        if (!ok)
            Log(manager.GetMessage());
    }
    // Kits carry no programs: the uninstaller comes from beside setup.
    if (ok && ::access(joinPath(source, kUninstallerName).c_str(), F_OK) != 0) {
        std::string from = m_uninstallerSource.empty() ? joinPath(folderOf(winapi::GetModuleFileName()),
                                                                  kUninstallerName)
                                                       : m_uninstallerSource;
        ok = winapi::CopyFile(from, joinPath(folder, kUninstallerName), false);
        if (ok)
            m_copiedPaths.push_back(kUninstallerName);
        else
            Log("i/o error " + std::to_string(winapi::GetLastError()) + ": " +
                winapi::FormatMessage(winapi::GetLastError()) + "\r\nCOPY : " + from);
    }
    if (!ok)
        Report(IDS_COPY_FAILED);
    return ok;
}

bool CSetupApp::WriteFileList(const std::string& source, const std::string& folder)
{
    std::vector<std::string> lines;
    if (!ListFolderTree(source, lines) ||
        !winapi::WriteWholeFile(joinPath(folder, kFileListName), FormatFileList(lines))) {
        std::string error = winapi::FormatMessage(winapi::GetLastError());
        Report(IDS_FILES_DAT_ERROR, {}, std::string(winapi::Utf8Left(error, 255)));
        return false;
    }
    m_copiedPaths.push_back(kFileListName);
    return true;
}

std::string CSetupApp::GetProgramsFolder() const
{
    auto programs = winapi::GetSpecialFolder(winapi::CSIDL_COMMON_PROGRAMS | winapi::CSIDL_FLAG_CREATE);
    return programs ? withoutTrailingSlash(*programs) : std::string();
}

bool CSetupApp::CreateProgramGroup()
{
    TInstallInfo* info = GetInfo();
    std::string programs = GetProgramsFolder();
    std::string group = programs.empty() || !info ? std::string() : joinPath(programs, info->m_strAppName);
    std::size_t length = winapi::Utf8Length(group);
    bool ok = length > 0 && length <= 259;
    if (ok && ::access(group.c_str(), F_OK) == 0)
        ok = RemoveOldFolder(group);
    if (ok && !dorvik::CreateFolderTree(group)) {
        Log(winapi::FormatMessage(winapi::GetLastError()));
        Report(IDS_CANNOT_CREATE_FOLDER, {group});
        ok = false;
    }
    if (ok) {
        m_strGroupFolder = group;
        ok = CreateShortcuts(group);
    }
    if (!ok)
        Report(IDS_SHORTCUTS_FAILED);
    return ok;
}

bool CSetupApp::RemoveOldFolder(const std::string& folder)
{
    // A folder that cannot be listed counts as holding something.
    if (winapi::IsFolderEmpty(folder) != winapi::FolderState::Empty && !m_bSilent) {
        if (Ask(FormatText(LoadString(IDS_DELETE_OLD_FOLDER), {folder}), winapi::MB_OKCANCEL) != winapi::IDOK) {
            Log(FormatText(LoadString(IDS_OLD_FOLDER_KEPT), {folder}));
            return false;
        }
    }
    dorvik::CSetupFileManager manager;
    if (!manager.Delete(folder, false)) {
        Log(manager.GetMessage());
        return false;
    }
    Log(FormatText(LoadString(IDS_OLD_FOLDER_DELETED), {folder}));
    return true;
}

bool CSetupApp::CreateShortcuts(const std::string& group)
{
    std::string client = GetClientFolder();
    if (client.empty()) {
        Report(IDS_NO_CLIENT);
        return true;
    }
    for (const TSec* sec : m_data.GetSections()) {
        for (std::size_t k = 0; k < sec->m_Arguments.size(); ++k) {
            std::string name = sec->m_Names[k].empty() ? "SHORTCUT" + std::to_string(k + 1) : sec->m_Names[k];
            std::string link = joinPath(group, name + winapi::kShortcutExtension);
            std::string target = sec->m_Programs[k].empty() ? client + kClientProgramName
                                                            : joinPath(m_strInstallFolder, sec->m_Programs[k]);
            std::string arguments = sec->m_Arguments[k];
            if (!sec->m_strDSN.empty())
                for (auto pos = arguments.find("%DSN%"); pos != std::string::npos;
                     pos = arguments.find("%DSN%", pos + sec->m_strDSN.size()))
                    arguments.replace(pos, 5, sec->m_strDSN);
            winapi::ShellLink shortcut;
            shortcut.SetPath(target);
            shortcut.SetArguments(arguments);
            shortcut.SetName(name);
            if (!sec->m_Icons[k].empty())
                shortcut.SetIconLocation(joinPath(m_strInstallFolder, sec->m_Icons[k]));
            if (!shortcut.Save(link)) {
                Log(winapi::FormatMessage(winapi::GetLastError()) + " : " + link);
                return false;
            }
        }
    }
    return true;
}

bool CSetupApp::RegisterUninstall()
{
    TInstallInfo* info = GetInfo();
    if (!info)
        return false;
    m_strUninstallKey = info->m_strAppGUID;
    winapi::RegKey key;
    if (winapi::RegCreateKeyEx(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + m_strUninstallKey,
                               winapi::KEY_READ | winapi::KEY_CREATE_SUB_KEY | winapi::KEY_SET_VALUE, key) != 0)
        return false;
    m_bRegistered = true;
    // One rewrite of the hive for the whole entry.
    const std::vector<winapi::RegValue> values = {
        winapi::RegStringValue("DisplayIcon", joinPath(m_strInstallFolder, info->m_strAppIco)),
        winapi::RegStringValue("DisplayName", info->m_strAppName),
        winapi::RegStringValue("DisplayVersion", info->m_strAppVer),
        winapi::RegStringValue("InstallLocation", m_strInstallFolder),
        winapi::RegStringValue("ProductGuid", info->m_strAppGUID),
        winapi::RegStringValue("HelpLink", info->m_strDevLink),
        winapi::RegStringValue("Publisher", info->m_strDevName),
        winapi::RegDwordValue("NoModify", 1),
        winapi::RegDwordValue("NoRepair", 1),
        winapi::RegStringValue("UninstallString", joinPath(m_strInstallFolder, kUninstallerName)),
    };
    return winapi::RegSetValues(key, values) == 0;
}

void CSetupApp::Rollback()
{
    // Only what this run made is taken back: a copy installed before, whose
    // removal failed, keeps its files, its group and its Uninstall entry.
    std::string failure;
    if (m_bRegistered && !RunUninstaller(failure)) {
        Log(failure);
        Log(LoadString(IDS_UNINSTALL_FAILED));
    }
    if (!m_strInstallFolder.empty()) {
        // Whatever the uninstaller did not find (a copy that failed before
        // Files.dat was written is listed nowhere else), content first.
        std::vector<std::string> paths(m_copiedPaths.rbegin(), m_copiedPaths.rend());
        DeleteListedPaths(m_strInstallFolder, paths, [this](const std::string& line) { Log(line); });
        // The folders this run created, from the installation folder up,
        // while they are empty.
        std::string folder = withoutTrailingSlash(m_strInstallFolder);
        while (!m_strCreatedFolder.empty() && winapi::IsFolderEmpty(folder) == winapi::FolderState::Empty &&
               winapi::RemoveDirectory(folder) && folder != m_strCreatedFolder)
            folder = folderOf(folder);
    }
    if (!m_strGroupFolder.empty()) {
        dorvik::CSetupFileManager manager;
        manager.Delete(m_strGroupFolder, true);
    }
    if (m_bRegistered)
        winapi::RegDeleteTree(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + m_strUninstallKey);
}

namespace {

std::optional<std::vector<std::string>> listDataSources(const std::string& driver)
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return std::nullopt;
    std::vector<std::string> names;
    if (SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        std::lock_guard<std::mutex> lock(winapi::OdbcConfigModeLock());
        SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
        SQLCHAR description[257];
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                            sizeof description, &descriptionLength))) {
            direction = SQL_FETCH_NEXT;
            if (driver.empty() ||
                winapi::Utf8EqualNoCase(reinterpret_cast<const char*>(description), driver))
                names.emplace_back(reinterpret_cast<const char*>(name));
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

} // namespace

} // namespace kelm_setup
