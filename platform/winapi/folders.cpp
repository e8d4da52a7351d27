#include "winapi/folders.h"

#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/text.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace winapi {
namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

// An absolute setting of the environment, without trailing separators.
std::optional<std::string> absoluteEnv(const char* name)
{
    std::string v = env(name);
    if (v.empty() || v.front() != '/')
        return std::nullopt;
    while (v.size() > 1 && v.back() == '/')
        v.pop_back();
    return v;
}

std::optional<passwd> lookupUser(uid_t uid, std::vector<char>& buf)
{
    buf.resize(16384);
    passwd pw {};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &result) != 0 || result == nullptr)
        return std::nullopt;
    return pw;
}

std::string homeFolder()
{
    if (auto home = absoluteEnv("HOME"))
        return *home;
    std::vector<char> buf;
    if (auto pw = lookupUser(::geteuid(), buf); pw && pw->pw_dir != nullptr && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return "/";
}

std::string stripSlashes(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// XDG_DOCUMENTS_DIR of a user-dirs.dirs file: "$HOME/..." or absolute only.
std::optional<std::string> documentsFromUserDirs(const std::string& configHome, const std::string& home)
{
    std::ifstream in(configHome + "/user-dirs.dirs");
    for (std::string line; std::getline(in, line);) {
        std::string_view l(line);
        while (!l.empty() && (l.front() == ' ' || l.front() == '\t'))
            l.remove_prefix(1);
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
        if (l.substr(0, key.size()) != key)
            continue;
        std::string_view v = l.substr(key.size());
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
            v.remove_suffix(1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (v.substr(0, 5) == "$HOME" && (v.size() == 5 || v[5] == '/'))
            return stripSlashes(home + std::string(v.substr(5)));
        if (!v.empty() && v.front() == '/')
            return stripSlashes(std::string(v));
        return std::nullopt;
    }
    return std::nullopt;
}

std::string documentsFolder()
{
    if (auto d = absoluteEnv("XDG_DOCUMENTS_DIR"))
        return *d;
    if (auto user = GetInvokingUser()) {
        if (auto d = documentsFromUserDirs(user->home + "/.config", user->home))
            return *d;
        return user->home;
    }
    const std::string home = homeFolder();
    const std::string config = absoluteEnv("XDG_CONFIG_HOME").value_or(home + "/.config");
    if (auto d = documentsFromUserDirs(config, home))
        return *d;
    return home;
}

} // namespace

std::optional<InvokingUser> GetInvokingUser()
{
    if (::geteuid() != 0)
        return std::nullopt;
    for (const char* var : {"SUDO_UID", "PKEXEC_UID"}) {
        const std::string v = env(var);
        if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || v.size() > 9)
            continue;
        const auto uid = static_cast<uid_t>(std::stoul(v));
        if (uid == 0)
            return std::nullopt;
        std::vector<char> buf;
        auto pw = lookupUser(uid, buf);
        if (!pw || pw->pw_dir == nullptr || pw->pw_dir[0] != '/')
            return std::nullopt;
        return InvokingUser {uid, pw->pw_gid, stripSlashes(pw->pw_dir)};
    }
    return std::nullopt;
}

bool CreateDirectories(const std::string& path, const std::optional<InvokingUser>& owner)
{
    if (path.empty() || path.front() != '/') {
        SetLastError(kErrorPathNotFound);
        return false;
    }
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > pos) {
            const std::string prefix = path.substr(0, slash);
            struct stat st {};
            if (::stat(prefix.c_str(), &st) != 0) {
                if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
                    FailWithErrno(errno, prefix, true);
                    return false;
                }
                if (owner && ::chown(prefix.c_str(), owner->uid, owner->gid) != 0) {
                    FailWithErrno(errno, prefix);
                    return false;
                }
            } else if (!S_ISDIR(st.st_mode)) {
                SetLastError(kErrorPathNotFound);
                return false;
            }
        }
        pos = slash + 1;
    }
    SetLastError(kErrorSuccess);
    return true;
}

std::optional<std::string> GetSpecialFolderLocation(int csidl)
{
    switch (csidl & 0xFF) {
    case CSIDL_PERSONAL:
        return documentsFolder();
    case CSIDL_APPDATA:
        return absoluteEnv("XDG_CONFIG_HOME").value_or(homeFolder() + "/.config");
    case CSIDL_COMMON_APPDATA:
        return absoluteEnv("WINAPI_COMMON_APPDATA").value_or("/etc/xdg");
    case CSIDL_COMMON_DOCUMENTS:
        return absoluteEnv("WINAPI_COMMON_DOCUMENTS").value_or("/usr/local/share");
    case CSIDL_PROGRAM_FILES:
        return absoluteEnv("WINAPI_PROGRAM_FILES").value_or("/opt");
    case CSIDL_COMMON_PROGRAMS:
        return absoluteEnv("WINAPI_COMMON_PROGRAMS").value_or("/usr/local/share/applications");
    default:
        SetLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
}

std::optional<std::string> GetSpecialFolder(int csidlAndFlags)
{
    const int csidl = csidlAndFlags & 0xFF;
    const bool create = (csidlAndFlags & CSIDL_FLAG_CREATE) != 0;
    auto location = GetSpecialFolderLocation(csidl);
    if (!location)
        return std::nullopt;
    const std::string path = *location;
    std::optional<InvokingUser> owner;
    if (csidl == CSIDL_PERSONAL && !absoluteEnv("XDG_DOCUMENTS_DIR"))
        owner = GetInvokingUser();
    if (create) {
        if (!CreateDirectories(path, owner))
            return std::nullopt;
    } else {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            SetLastError(kErrorFileNotFound);
            return std::nullopt;
        }
    }
    SetLastError(kErrorSuccess);
    return path;
}

BOOL SHGetSpecialFolderPath(HWND, std::string& path, int csidl, BOOL create)
{
    auto p = GetSpecialFolder(csidl | (create ? CSIDL_FLAG_CREATE : 0));
    path = p.value_or(std::string());
    return p ? kTrue : kFalse;
}

std::string GetWindowsDirectory() { return absoluteEnv("WINAPI_WINDIR").value_or("/etc"); }
std::string GetSystemDirectory() { return absoluteEnv("WINAPI_SYSDIR").value_or("/usr/local/lib"); }

std::string GetTempPath()
{
    if (auto t = absoluteEnv("TMPDIR")) {
        struct stat st {};
        if (::stat(t->c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return *t == "/" ? *t : *t + "/";
    }
    return "/tmp/";
}

std::optional<std::string> GetTempFileName(const std::string& dir, const std::string& prefix)
{
    std::string name = dir;
    if (name.empty() || name.back() != '/')
        name += '/';
    name += prefix + "XXXXXX.tmp";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    const int fd = ::mkostemps(buf.data(), 4, O_CLOEXEC);
    if (fd < 0) {
        FailWithErrno(errno, dir + "/x");
        return std::nullopt;
    }
    ::close(fd);
    SetLastError(kErrorSuccess);
    return std::string(buf.data());
}

std::optional<std::string> GetCurrentDirectory()
{
    std::vector<char> buf(PATH_MAX);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) {
            FailWithErrno(errno);
            return std::nullopt;
        }
        buf.resize(buf.size() * 2);
    }
    SetLastError(kErrorSuccess);
    return std::string(buf.data());
}

BOOL SetCurrentDirectory(const std::string& path)
{
    if (::chdir(path.c_str()) != 0)
        return FailWithErrno(errno, path);
    SetLastError(kErrorSuccess);
    return kTrue;
}

const std::string& GetModuleFileName()
{
    static const std::string exe = [] {
        std::vector<char> buf(PATH_MAX);
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
            if (n < 0)
                return std::string();
            if (static_cast<std::size_t>(n) < buf.size()) {
                std::string path(buf.data(), static_cast<std::size_t>(n));
                constexpr std::string_view deleted = " (deleted)";
                if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
                    path.resize(path.size() - deleted.size());
                return path;
            }
            buf.resize(buf.size() * 2);
        }
    }();
    return exe;
}

namespace {
// Read while the layer loads: a program that deletes its own file later
// (the uninstaller) still knows where it was.
[[maybe_unused]] const bool g_moduleFileNameRead = !GetModuleFileName().empty();
} // namespace

std::optional<std::string> GetModulePath(const void* address)
{
    struct Search {
        std::uintptr_t address = 0;
        bool found = false;
        bool mainProgram = false;
        std::string name;
    } search;
    search.address = reinterpret_cast<std::uintptr_t>(address);
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD)
                    continue;
                const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
                if (s->address >= begin && s->address < begin + ph.p_memsz) {
                    s->found = true;
                    s->mainProgram = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
                    if (!s->mainProgram)
                        s->name = info->dlpi_name;
                    return 1;
                }
            }
            return 0;
        },
        &search);
    if (!search.found) {
        SetLastError(kErrorInvalidHandle);
        return std::nullopt;
    }
    if (search.mainProgram)
        return GetModuleFileName();
    char resolved[PATH_MAX];
    if (::realpath(search.name.c_str(), resolved) != nullptr)
        return std::string(resolved);
    return search.name;
}

std::string GetComputerName()
{
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0)
        return {};
    std::string name(buf);
    name = name.substr(0, name.find('.'));
    return std::string(Utf8Left(Utf8Upper(name), 15));
}

std::string GetUserName(DWORD maxChars)
{
    std::string name;
    std::vector<char> buf;
    if (auto pw = lookupUser(::geteuid(), buf); pw && pw->pw_name != nullptr)
        name = pw->pw_name;
    if (name.empty())
        name = env("USER");
    if (name.empty())
        name = env("LOGNAME");
    if (name.empty())
        name = std::to_string(::geteuid());
    return std::string(Utf8Left(name, maxChars == 0 ? 0 : maxChars - 1));
}

BOOL IsUserAnAdmin() { return ::geteuid() == 0 ? kTrue : kFalse; }

DWORD GetVersion()
{
    // 6.1 build 7601: an NT-family answer for code that still asks.
    return (7601u << 16) | (1u << 8) | 6u;
}

DWORD GetTickCount()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms & 0xFFFFFFFFu);
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

SplitPathResult SplitPath(const std::string& path)
{
    SplitPathResult r;
    const auto slash = path.rfind('/');
    const std::size_t nameBegin = slash == std::string::npos ? 0 : slash + 1;
    r.dir = path.substr(0, nameBegin);
    const std::string last = path.substr(nameBegin);
    const auto dot = last.rfind('.');
    if (dot == std::string::npos) {
        r.fname = last;
    } else {
        r.fname = last.substr(0, dot);
        r.ext = last.substr(dot);
    }
    return r;
}

std::string FromKitPath(std::string text)
{
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

std::string GetShortPathName(const std::string& path) { return path; }

} // namespace winapi
