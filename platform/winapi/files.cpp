#include "winapi/files.h"

#include "winapi/errors.h"
#include "winapi/folders.h"
#include "winapi/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace winapi {

namespace {

std::string parentOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DWORD attributesOf(const struct stat& st, const std::string& name)
{
    DWORD attrs = 0;
    if (S_ISDIR(st.st_mode))
        attrs |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0)
        attrs |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attrs |= FILE_ATTRIBUTE_HIDDEN;
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

BOOL succeed()
{
    SetLastError(kErrorSuccess);
    return kTrue;
}

// The nearest ancestor of an absolute path that exists (the path itself
// when it does).
std::optional<std::string> existingAncestor(std::string path, struct stat& st)
{
    if (path.empty() || path[0] != '/')
        return std::nullopt;
    for (;;) {
        if (::stat(path.c_str(), &st) == 0)
            return path;
        if (path == "/")
            return std::nullopt;
        path = parentOf(path);
    }
}

bool copyBytes(int in, int out)
{
    for (;;) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        break; // not offered here: copy through a buffer
    }
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return false;
            done += w;
        }
    }
}

} // namespace

DWORD GetFileAttributes(const std::string& path)
{
    struct stat st {};
    if (path.empty()) {
        SetLastError(kErrorFileNotFound);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (::stat(path.c_str(), &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(kErrorSuccess);
    return attributesOf(st, baseName(path));
}

BOOL SetFileAttributes(const std::string& path, DWORD attributes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FailWithErrno(errno, path);
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0)
        return FailWithErrno(errno, path);
    return succeed();
}

BOOL CreateDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        return FailWithErrno(errno, path, true);
    return succeed();
}

bool IsEnterableDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool MatchFilePattern(const std::string& name, const std::string& pattern)
{
    if (pattern == "*" || pattern == "*.*")
        return true;
    // Iterative '*' matching with one back-track point; '?' is one
    // character (a whole UTF-8 sequence).
    auto charLen = [](const std::string& s, std::size_t i) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        return std::min(n, s.size() - i);
    };
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            n += charLen(name, n);
            ++p;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++n;
            ++p;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            starN += charLen(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::optional<std::vector<FindData>> FindFiles(const std::string& folder, const std::string& pattern,
                                               FindMode mode)
{
    std::string dir = folder.empty() ? std::string(".") : folder;
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        DWORD code = Win32ErrorFromErrno(errno, dir);
        SetLastError(code == kErrorFileNotFound || code == kErrorDirectory ? kErrorPathNotFound : code);
        return std::nullopt;
    }
    std::vector<FindData> found;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (mode == FindMode::Exact ? name != pattern : !MatchFilePattern(name, pattern))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        FindData data;
        data.name = name;
        data.isSymlink = S_ISLNK(st.st_mode);
        if (data.isSymlink) {
            struct stat target {};
            if (::fstatat(::dirfd(d), name.c_str(), &target, 0) == 0)
                data.attributes = attributesOf(target, name) & ~FILE_ATTRIBUTE_DIRECTORY;
            else
                data.attributes = attributesOf(st, name);
            if (data.attributes == 0)
                data.attributes = FILE_ATTRIBUTE_NORMAL;
        } else {
            data.isDirectory = S_ISDIR(st.st_mode);
            data.attributes = attributesOf(st, name);
        }
        data.size = static_cast<std::uint64_t>(st.st_size);
        data.mtime = st.st_mtime;
        found.push_back(std::move(data));
    }
    ::closedir(d);
    if (found.empty()) {
        SetLastError(kErrorFileNotFound);
        return std::nullopt;
    }
    std::vector<std::pair<std::string, std::size_t>> keys;
    for (std::size_t i = 0; i < found.size(); ++i)
        keys.emplace_back(Utf8Upper(found[i].name), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return found[a.second].name < found[b.second].name;
    });
    std::vector<FindData> sorted;
    sorted.reserve(found.size());
    for (const auto& k : keys)
        sorted.push_back(std::move(found[k.second]));
    SetLastError(kErrorSuccess);
    return sorted;
}

BOOL CopyFile(const std::string& source, const std::string& target, BOOL failIfExists)
{
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return FailWithErrno(errno, source);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return FailWith(kErrorAccessDenied);
    }
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0) {
        if (failIfExists) {
            ::close(in);
            return FailWith(kErrorFileExists);
        }
        // Root ignores permission bits; a read-only target is refused anyway.
        if (S_ISDIR(existing.st_mode) || (S_ISREG(existing.st_mode) && !(existing.st_mode & S_IWUSR))) {
            ::close(in);
            return FailWith(kErrorAccessDenied);
        }
    }
    std::string temp = parentOf(target) + "/.copy-XXXXXX";
    int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        int err = errno;
        ::close(in);
        return FailWithErrno(err, target);
    }
    bool ok = copyBytes(in, out);
    int err = errno;
    ::close(in);
    if (ok) {
        ::fchmod(out, st.st_mode & 07777);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok) {
        if (failIfExists) {
            // link() never replaces, so a target made meanwhile is kept.
            if (::link(temp.c_str(), target.c_str()) != 0) {
                err = errno;
                ok = false;
            }
            ::unlink(temp.c_str());
            if (!ok)
                return FailWithErrno(err, target);
            return succeed();
        }
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            err = errno;
            ok = false;
        }
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return FailWithErrno(err, target);
    }
    return succeed();
}

BOOL MoveFile(const std::string& source, const std::string& target)
{
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0)
        return FailWithErrno(errno, source);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return succeed();
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // The file system refuses the flag.
        if (!S_ISDIR(st.st_mode)) {
            if (::link(source.c_str(), target.c_str()) != 0)
                return FailWithErrno(errno, target, true);
            ::unlink(source.c_str());
            return succeed();
        }
        struct stat existing {};
        if (::lstat(target.c_str(), &existing) == 0)
            return FailWith(kErrorAlreadyExists);
        if (::rename(source.c_str(), target.c_str()) != 0)
            return FailWithErrno(errno, target, true);
        return succeed();
    }
    if (err == EXDEV && S_ISREG(st.st_mode)) {
        if (!CopyFile(source, target, kTrue))
            return kFalse;
        if (::unlink(source.c_str()) != 0)
            return FailWithErrno(errno, source);
        return succeed();
    }
    return FailWithErrno(err, target, true);
}

BOOL DeleteFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return FailWithErrno(errno, path);
    if (S_ISDIR(st.st_mode))
        return FailWith(kErrorAccessDenied);
    // unlink ignores the file's mode; a read-only file is not deleted by force.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
        return FailWith(kErrorAccessDenied);
    if (::unlink(path.c_str()) != 0)
        return FailWithErrno(errno, path);
    return succeed();
}

BOOL RemoveDirectory(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return FailWithErrno(errno, path);
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode))
        return FailWith(kErrorDirectory);
    if (::rmdir(path.c_str()) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST)
            return FailWith(kErrorDirNotEmpty);
        return FailWithErrno(errno, path);
    }
    return succeed();
}

FolderState IsFolderEmpty(const std::string& folder)
{
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return FolderState::CannotList;
    FolderState state = FolderState::Empty;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") {
            state = FolderState::NotEmpty;
            break;
        }
    }
    ::closedir(d);
    return state;
}

namespace {

bool removeBelow(int dirFd)
{
    DIR* d = ::fdopendir(dirFd);
    if (!d) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    for (const auto& name : names) {
        struct stat st {};
        if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            int sub = ::openat(::dirfd(d), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || !removeBelow(sub)) {
                ok = false;
                continue;
            }
            if (::unlinkat(::dirfd(d), name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(::dirfd(d), name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    ::closedir(d);
    return ok;
}

bool isGuarded(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p = fs::path(path).lexically_normal();
    if (p == "/" || p.empty())
        return true;
    std::vector<std::string> roots;
    if (const char* home = std::getenv("HOME"))
        roots.push_back(home);
    for (int csidl : {CSIDL_PERSONAL, CSIDL_COMMON_PROGRAMS, CSIDL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_PROGRAM_FILES, CSIDL_COMMON_DOCUMENTS})
        if (auto folder = GetSpecialFolder(csidl))
            roots.push_back(*folder);
    for (const auto& root : roots) {
        std::string r = fs::path(root).lexically_normal().string();
        while (r.size() > 1 && r.back() == '/')
            r.pop_back();
        std::string q = p.string();
        while (q.size() > 1 && q.back() == '/')
            q.pop_back();
        if (!r.empty() && r == q)
            return true;
    }
    return false;
}

} // namespace

BOOL DeleteTree(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return FailWith(kErrorInvalidParameter);
    for (const auto& part : std::filesystem::path(path))
        if (part == "..")
            return FailWith(kErrorInvalidParameter);
    if (isGuarded(path))
        return FailWith(kErrorInvalidParameter);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return FailWithErrno(errno, path);
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(path.c_str()) != 0)
            return FailWithErrno(errno, path);
        return succeed();
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FailWithErrno(errno, path);
    if (!removeBelow(fd))
        return FailWith(kErrorAccessDenied);
    if (::rmdir(path.c_str()) != 0)
        return FailWithErrno(errno, path);
    return succeed();
}

std::optional<DriveId> GetDriveOfPath(const std::string& path)
{
    struct stat st {};
    auto existing = existingAncestor(path, st);
    if (!existing)
        return std::nullopt;
    DriveId id;
    id.device = st.st_dev;
    // The mount point is the highest ancestor on the same device.
    std::string mount = *existing;
    while (mount != "/") {
        std::string up = parentOf(mount);
        struct stat upSt {};
        if (::stat(up.c_str(), &upSt) != 0 || upSt.st_dev != st.st_dev)
            break;
        mount = up;
    }
    id.mountPoint = mount;
    return id;
}

bool GetFreeDiskSpaceMB(const std::string& path, std::uint64_t& megabytes)
{
    struct stat st {};
    auto existing = existingAncestor(path, st);
    if (!existing)
        return false;
    struct statvfs vfs {};
    if (::statvfs(existing->c_str(), &vfs) != 0)
        return false;
    megabytes = (static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize) >> 20;
    return true;
}

} // namespace winapi
