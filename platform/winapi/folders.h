// Special folders, the system's fixed folders and facts, and path helpers.
// Every place can be moved by an environment variable, read at each call:
// XDG_DOCUMENTS_DIR, XDG_CONFIG_HOME, HOME, WINAPI_COMMON_APPDATA,
// WINAPI_COMMON_DOCUMENTS, WINAPI_PROGRAM_FILES, WINAPI_COMMON_PROGRAMS,
// WINAPI_WINDIR, WINAPI_SYSDIR, TMPDIR.
#pragma once

#include "winapi/types.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace winapi {

enum : int {
    CSIDL_PERSONAL = 5,          // the user's documents
    CSIDL_COMMON_PROGRAMS = 23,  // all users' menu programs
    CSIDL_APPDATA = 26,          // the user's application data
    CSIDL_COMMON_APPDATA = 35,   // all users' application data
    CSIDL_PROGRAM_FILES = 38,
    CSIDL_COMMON_DOCUMENTS = 46,
    CSIDL_FLAG_CREATE = 0x8000,
};

// Absolute path of a special folder without a trailing separator; with
// CSIDL_FLAG_CREATE its missing levels are created. nullopt (and the last
// error) when it cannot be named or created.
std::optional<std::string> GetSpecialFolder(int csidlAndFlags);
// Where the special folder is, whether it exists or not; nullopt for a
// folder the layer does not know.
std::optional<std::string> GetSpecialFolderLocation(int csidl);
BOOL SHGetSpecialFolderPath(HWND owner, std::string& path, int csidl, BOOL create);

// The user whose documents a program run through sudo or pkexec works for:
// set when the effective user is root and SUDO_UID / PKEXEC_UID names
// another user. Folders the layer creates for that user are given to them.
struct InvokingUser {
    uid_t uid;
    gid_t gid;
    std::string home;
};
std::optional<InvokingUser> GetInvokingUser();

std::string GetWindowsDirectory(); // $WINAPI_WINDIR, else /etc
std::string GetSystemDirectory();  // $WINAPI_SYSDIR, else /usr/local/lib
std::string GetTempPath();         // $TMPDIR when a folder, else /tmp; ends with '/'
// Creates a new empty file "<dir>/<prefix>XXXXXX.tmp" and returns its name.
std::optional<std::string> GetTempFileName(const std::string& dir, const std::string& prefix);

std::optional<std::string> GetCurrentDirectory();
BOOL SetCurrentDirectory(const std::string& path);

// The executable's absolute path, read once.
const std::string& GetModuleFileName();
// The absolute path of the executable or shared library that holds `address`.
std::optional<std::string> GetModulePath(const void* address);

std::string GetComputerName(); // host name up to the first '.', upper case, at most 15 characters
std::string GetUserName(DWORD maxChars = 257);
BOOL IsUserAnAdmin();
DWORD GetVersion(); // always the NT family (high bit clear)
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// _splitpath on Linux paths: no drive; the folder keeps its trailing '/';
// the extension runs from the last '.' of the last component.
struct SplitPathResult {
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;
};
SplitPathResult SplitPath(const std::string& path);

// A path taken from a kit file: '\' becomes '/'. Nothing else converts.
std::string FromKitPath(std::string text);
std::string GetShortPathName(const std::string& path);

// Creates every missing level of an absolute path (mode 0777 & ~umask).
bool CreateDirectories(const std::string& path, const std::optional<InvokingUser>& owner = std::nullopt);

} // namespace winapi
