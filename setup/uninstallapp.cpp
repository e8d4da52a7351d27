#include "setup/uninstallapp.h"

#include "installer/common/filemanager.h"
#include "resources/setup/setupstrings.h"
#include "setup/setupapp.h"
#include "winapi/settings/app_profile.h"
#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/process.h"
#include "winapi/settings/registry.h"
#include "winapi/shelllink.h"
#include "winapi/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace kelm_setup {

using namespace kelm_uninstall::res;

namespace {

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Whether `inner` lies strictly below `outer` (both absolute, normalised).
bool isBelow(const std::string& inner, const std::string& outer)
{
    return !outer.empty() && inner.size() > outer.size() + 1 && inner.compare(0, outer.size(), outer) == 0 &&
           (outer == "/" || inner[outer.size()] == '/');
}

bool readWholeFile(const std::string& path, std::string& text)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return winapi::FailWithErrno(errno, path);
    if (!winapi::ReadAll(fd, text)) {
        int err = errno;
        ::close(fd);
        return winapi::FailWithErrno(err, path);
    }
    ::close(fd);
    return true;
}

} // namespace

CUninstallApp::CUninstallApp() : m_isAdmin([] { return winapi::IsUserAnAdmin() != 0; }) {}

void CUninstallApp::ParseCommandLine(const std::vector<std::string>& args)
{
    m_cmdInfo.Parse(args);
    m_bSilent = m_cmdInfo.m_nSilent != 0;
}

void CUninstallApp::Log(const std::string& line)
{
    if (m_log.IsOpen())
        m_log.WriteLine(line);
}

void CUninstallApp::Report(int id, bool logged, const std::string& extra)
{
    std::string text = std::string(LoadString(id)) + extra;
    if (!m_bSilent)
        (m_prompt ? m_prompt : winapi::GetPrompt())->Ask(nullptr, text, "", winapi::MB_OK | winapi::MB_ICONSTOP);
    if (logged)
        Log(text);
}

std::string CUninstallApp::ConfirmText() const
{
    return FormatText(LoadString(IDS_CONFIRM), {m_strAppName, m_strAppVer});
}

int CUninstallApp::Run()
{
    if (m_strProgramPath.empty())
        m_strProgramPath = winapi::GetModuleFileName();
    winapi::AppProfile::Instance().SetRegistryKey(kProfileKey);

    if (!m_cmdInfo.m_strPath.empty())
        return DeleteTemporaryCopy(m_cmdInfo.m_nHandle, m_cmdInfo.m_strPath);

    if (m_log.Open()) {
        m_log.BeginLog();
        m_log.WriteProgramVersion();
    } else {
        m_nStatus = Failed;
        Report(IDS_LOG_OPEN_FAILED, false);
    }
    if (m_nStatus == Success && !m_isAdmin()) {
        m_nStatus = Failed;
        Report(IDS_NOT_ADMIN);
    }
    if (m_nStatus == Success && !LoadAppIni()) {
        m_nStatus = Failed;
        Report(IDS_APP_INI_FAILED);
    }
    if (m_nStatus == Success) {
        if (m_bSilent || !m_confirm) {
            if (!Uninstall())
                m_nStatus = Failed;
        } else if (m_confirm(ConfirmText())) {
            if (!Uninstall())
                m_nStatus = Failed;
        } else {
            m_nStatus = Terminated;
        }
    }
    if (m_log.IsOpen()) {
        m_log.EndLog(m_nStatus);
        m_log.Close();
    }
    if (m_nStatus == Success)
        DeleteSelf();
    return m_nStatus;
}

bool CUninstallApp::LoadAppIni()
{
    std::string appIni = folderOf(m_strProgramPath) + "/" + kAppIniName;
    const std::pair<const char*, std::string*> keys[] = {
        {"DevID", &m_strDevID}, {"AppVer", &m_strAppVer}, {"AppGUID", &m_strAppGUID}, {"AppName", &m_strAppName}};
    for (const auto& [name, value] : keys) {
        winapi::GetPrivateProfileString("INSTALL_INFO", name, "", *value, 1u << 20, appIni);
        if (value->empty())
            return false;
    }
    // The group folder and the key are named by these texts.
    return winapi::IsSafePathComponent(m_strAppName) && IsValidGuid(m_strAppGUID);
}

bool CUninstallApp::Uninstall()
{
    if (!DeleteListedFiles()) {
        Report(IDS_FOLDER_FAILED);
        return false;
    }

    auto programs = winapi::GetSpecialFolder(winapi::CSIDL_COMMON_PROGRAMS | winapi::CSIDL_FLAG_CREATE);
    if (m_strAppName.empty() || !programs) {
        Report(IDS_GROUP_FAILED);
        return false;
    }
    std::string group = withoutTrailingSlash(*programs) + "/" + m_strAppName;
    // A group that is gone already is as good as removed.
    if (::access(group.c_str(), F_OK) == 0) {
        dorvik::CSetupFileManager manager;
        if (!manager.Delete(group, true) || ::access(group.c_str(), F_OK) == 0) {
            Report(IDS_GROUP_FAILED);
            return false;
        }
    }

    winapi::RegKey parent;
    if (m_strAppGUID.empty() ||
        winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kUninstallKey, winapi::KEY_READ, parent) != 0 ||
        winapi::RegDeleteTree(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + BraceGuid(m_strAppGUID)) != 0) {
        Report(IDS_REGISTRY_FAILED);
        return false;
    }
    return true;
}

bool CUninstallApp::DeleteListedFiles()
{
    winapi::RegKey key;
    std::optional<std::string> folder;
    if (winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kUninstallKey + BraceGuid(m_strAppGUID), winapi::KEY_READ,
                             key) == 0)
        folder = winapi::RegQueryString(key, "InstallLocation", winapi::kMaxPath);
    if (!folder || folder->empty()) {
        Log("InstallLocation not found : " + BraceGuid(m_strAppGUID));
        return false;
    }
    std::string fileList = withoutTrailingSlash(*folder) + "/" + kFileListName;
    std::string text;
    if (!readWholeFile(fileList, text)) {
        Report(IDS_FILES_DAT_ERROR, true,
               std::string(winapi::Utf8Left(winapi::FormatMessage(winapi::GetLastError()), 255)));
        return false;
    }
    DeleteListedPaths(withoutTrailingSlash(*folder), ParseFileList(text),
                      [this](const std::string& line) { Log(line); });
    dorvik::CSetupFileManager manager;
    return manager.Delete(fileList, true);
}

void CUninstallApp::DeleteSelf()
{
    const std::string& program = m_strProgramPath;
    if (program.empty() || program[0] != '/')
        return;
    // The installed program goes even when read-only (a kit may carry its
    // own uninstaller on read-only media); unlink never follows a link.
    ::unlink(program.c_str());
    auto programFiles = winapi::GetSpecialFolderLocation(winapi::CSIDL_PROGRAM_FILES);
    std::string root = programFiles ? withoutTrailingSlash(*programFiles) : std::string();
    std::string folder = folderOf(program);
    // The folder itself, then its parents while they are empty and still
    // below the Program Files folder.
    for (bool first = true; first || isBelow(folder, root); first = false) {
        if (folder == "/" || folder == root ||
            winapi::IsFolderEmpty(folder) != winapi::FolderState::Empty || !winapi::RemoveDirectory(folder))
            break;
        folder = folderOf(folder);
    }
}

bool CUninstallApp::IsTemporaryCopy(const std::string& path) const
{
    // Only what a temporary copy of this program would be: a file (not a
    // link) under this program's own name, in the temporary folder itself.
    if (path.empty() || path[0] != '/' || m_strProgramPath.empty())
        return false;
    if (nameOf(path) != nameOf(m_strProgramPath))
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::error_code folderError, temporaryError;
    auto folder = std::filesystem::canonical(folderOf(path), folderError);
    auto temporary = std::filesystem::canonical(winapi::GetTempPath(), temporaryError);
    return !folderError && !temporaryError && folder == temporary;
}

int CUninstallApp::DeleteTemporaryCopy(int handle, const std::string& path)
{
    if (m_log.Open()) {
        m_log.BeginLog();
        m_log.WriteProgramVersion();
    }
    if (!IsTemporaryCopy(path)) {
        m_nStatus = Failed;
        std::string text = FormatText(LoadString(IDS_NOT_TEMPORARY_COPY),
                                      {nameOf(m_strProgramPath), withoutTrailingSlash(winapi::GetTempPath()), path});
        std::fprintf(stderr, "uninstall: %s\n", text.c_str());
        Log(text);
    } else {
        if (handle > 0)
            winapi::WaitForProcessHandle(handle);
        if (winapi::DeleteFile(path)) {
            Log(FormatText(LoadString(IDS_TEMPORARY_COPY_DELETED), {path}));
        } else {
            m_nStatus = Failed;
            Log(winapi::FormatMessage(winapi::GetLastError()) + " : " + path);
        }
    }
    if (m_log.IsOpen()) {
        m_log.EndLog(m_nStatus);
        m_log.Close();
    }
    return m_nStatus;
}

} // namespace kelm_setup
