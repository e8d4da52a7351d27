#include "profile/quillmark.h"

#include "winapi/settings/app_profile.h"
#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/module_version.h"
#include "winapi/text.h"
#include "winapi/version.h"

#include <cstdio>
#include <stdexcept>

WINAPI_MODULE_VERSION("Quillmark profile library")

namespace {

constexpr DWORD kValueSize = 4095; // values are cut to 4094 characters
constexpr std::size_t kMaxPathChars = 259;
constexpr std::size_t kMaxComponentChars = 255;

std::string g_subFolder;
std::string g_iniName;
std::string g_appPath;
std::vector<std::string> g_paths;

void addSlash(std::string& path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
}

bool specialFolder(int csidl, bool create, std::string& out)
{
    out.clear();
    // Without creation the folder is only named: the common folders are
    // looked at, never made.
    auto path = create ? winapi::GetSpecialFolder(csidl | winapi::CSIDL_FLAG_CREATE)
                       : winapi::GetSpecialFolderLocation(csidl);
    if (!path)
        return false;
    out = *path;
    addSlash(out);
    return true;
}

BOOL subFolderPath(int csidl, const char* sub, std::string& out, bool create)
{
    if (!specialFolder(csidl, create, out))
        return 0;
    out += g_subFolder;
    if (sub != nullptr)
        out += sub;
    return create ? CreateFullPath(out.c_str()) : IsPathExist(out.c_str());
}

const std::string& firstFile()
{
    if (g_paths.empty())
        throw std::invalid_argument("Quillmark has no INI file to write: InitQuillmark was not called");
    return g_paths.front();
}

} // namespace

BOOL InitQuillmark(const char* subFolder, const char* iniName)
{
    auto& profile = winapi::AppProfile::Instance();
    const std::string& exe = winapi::GetModuleFileName();
    g_appPath = winapi::SplitPath(exe).dir;

    const auto profileName = winapi::SplitPath(profile.ProfileName());
    std::string working = profileName.dir;
    g_iniName = (iniName != nullptr && *iniName != '\0') ? std::string(iniName)
                                                          : profileName.fname + profileName.ext;

    g_subFolder = subFolder == nullptr ? std::string() : std::string(subFolder);
    if (g_subFolder.empty()) {
        const auto version = winapi::GetFileVersionInfo(exe);
        if (!version)
            return 0;
        char buf[64];
        std::snprintf(buf, sizeof buf, "Varnholt Inc/Orvo Server/%d%d%d%d/",
                      static_cast<int>(version->ProductVersionMS() >> 16),
                      static_cast<int>(version->ProductVersionMS() & 0xFFFF),
                      static_cast<int>(version->ProductVersionLS() >> 16),
                      static_cast<int>(version->ProductVersionLS() & 0xFFFF));
        g_subFolder = buf;
    } else {
        // Without it the INI name would be glued to the last folder's name.
        addSlash(g_subFolder);
    }
    if (!GetUserAppDataFolderPath(working))
        return 0;

    working += g_iniName;
    profile.SetProfileName(working);
    g_paths.push_back(working);
    std::string common;
    if (GetAllUserAppDataFolderPath(common, false))
        g_paths.push_back(common + g_iniName);
    g_paths.push_back(g_appPath + g_iniName);
    return 1;
}

const char* GetPrivateSubFolder() { return g_subFolder.c_str(); }
const char* GetPrivateINIFileName() { return g_iniName.c_str(); }
const char* GetCurrentAppPath() { return g_appPath.c_str(); }

void GetPrivateProfilePaths(std::vector<std::string>& out, bool foldersOnly)
{
    out = g_paths;
    if (foldersOnly)
        for (auto& p : out)
            p = winapi::SplitPath(p).dir;
}

std::string GetPrivateProfileStringQM(const char* section, const char* key, const char* def)
{
    if (section != nullptr && key != nullptr) {
        std::string value;
        for (const auto& file : g_paths) {
            winapi::GetPrivateProfileString(section, key, "\n", value, kValueSize, file);
            // No stored value can begin with a line break: "\n" means not found.
            if (value.empty() || value.front() != '\n')
                return value;
        }
    }
    return def == nullptr ? std::string() : std::string(def);
}

UINT GetPrivateProfileIntQM(const char* section, const char* key, int def)
{
    for (const auto& file : g_paths) {
        const UINT value = winapi::GetPrivateProfileInt(section, key, -1, file);
        if (value != static_cast<UINT>(-1))
            return value;
    }
    return static_cast<UINT>(def);
}

BOOL GetPrivateProfileStructQM(const char* section, const char* key, void* data, UINT size)
{
    for (const auto& file : g_paths)
        if (winapi::GetPrivateProfileStruct(section, key, data, size, file))
            return 1;
    return 0;
}

BOOL WritePrivateProfileStringQM(const char* section, const char* key, const char* value)
{
    return winapi::WritePrivateProfileString(section, key, value, firstFile());
}

BOOL WritePrivateProfileIntQM(const char* section, const char* key, int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return winapi::WritePrivateProfileString(section, key, buf, firstFile());
}

BOOL WritePrivateProfileStructQM(const char* section, const char* key, void* data, UINT size)
{
    return winapi::WritePrivateProfileStruct(section, key, data, size, firstFile());
}

BOOL IsWinNT() { return (winapi::GetVersion() & 0x80000000u) == 0 ? 1 : 0; }

std::string GetWindowsFolderPath()
{
    std::string path = winapi::GetWindowsDirectory();
    addSlash(path);
    return path;
}

bool GetSpecialFolderPath(int csidl, std::string& out) { return specialFolder(csidl, true, out); }

BOOL GetUserAppDataFolderPath(std::string& out)
{
    return subFolderPath(winapi::CSIDL_APPDATA, nullptr, out, true);
}

BOOL GetUserDocumentFolderPath(std::string& out)
{
    return subFolderPath(winapi::CSIDL_PERSONAL, nullptr, out, true);
}

BOOL GetUserSubFolderPath(const char* sub, std::string& out)
{
    return subFolderPath(winapi::CSIDL_APPDATA, sub, out, true);
}

BOOL GetAllUserAppDataFolderPath(std::string& out, bool create)
{
    return subFolderPath(winapi::CSIDL_COMMON_APPDATA, nullptr, out, create);
}

BOOL GetAllUserDocumentFolderPath(std::string& out, bool create)
{
    return subFolderPath(winapi::CSIDL_COMMON_DOCUMENTS, nullptr, out, create);
}

BOOL GetAllUserSubFolderPath(const char* sub, std::string& out, bool create)
{
    return subFolderPath(winapi::CSIDL_COMMON_APPDATA, sub, out, create);
}

std::string GetTEMPFolderPath()
{
    std::string path;
    if (!GetUserAppDataFolderPath(path))
        return {};
    path += "Temp/";
    if (!CreateFullPath(path.c_str()))
        return {};
    return path;
}

BOOL CreateFullPath(const char* path)
{
    if (path == nullptr || *path == '\0')
        return 0;
    if (IsPathExist(path))
        return 1;
    const std::string_view p(path);
    if (p.front() != '/' || winapi::Utf8Length(p) > kMaxPathChars)
        return 0;
    std::vector<std::string> components;
    std::size_t pos = 1;
    while (pos <= p.size()) {
        std::size_t slash = p.find('/', pos);
        if (slash == std::string_view::npos)
            slash = p.size();
        const std::string_view c = p.substr(pos, slash - pos);
        if (!c.empty()) {
            if (c.find_first_of(":<>|") != std::string_view::npos ||
                winapi::Utf8Length(c) > kMaxComponentChars)
                return 0;
            components.emplace_back(c);
        }
        pos = slash + 1;
    }
    std::string buffer = "/";
    for (const auto& c : components) {
        buffer += c;
        if (!IsPathExist(buffer.c_str()) && !winapi::CreateDirectory(buffer))
            return 0;
        buffer += '/';
    }
    return 1;
}

BOOL IsFullPath(const char* path) { return path != nullptr && path[0] == '/' ? 1 : 0; }

BOOL IsPathExist(const char* path)
{
    if (path == nullptr)
        return 0;
    const DWORD a = winapi::GetFileAttributes(path);
    return a != winapi::INVALID_FILE_ATTRIBUTES && (a & winapi::FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}

BOOL IsFileExist(const char* path)
{
    if (path == nullptr)
        return 0;
    const DWORD a = winapi::GetFileAttributes(path);
    return a != winapi::INVALID_FILE_ATTRIBUTES && (a & winapi::FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
}

const char* GetFilePath(const char* path, std::string& out)
{
    const auto parts = winapi::SplitPath(path == nullptr ? std::string() : std::string(path));
    out = parts.drive + parts.dir;
    return out.c_str();
}

BOOL IsFilePathExist(const char* path)
{
    std::string folder;
    GetFilePath(path, folder);
    return IsPathExist(folder.c_str());
}

std::chrono::system_clock::time_point GetLastCompileDate()
{
    return std::chrono::system_clock::from_time_t(winapi::ParseCompileDate(__DATE__));
}
