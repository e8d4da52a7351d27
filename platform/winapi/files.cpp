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
    // Opened without following, and changed through that descriptor, so a
    // link swapped in after the check is never followed either.
    int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FailWithErrno(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return FailWithErrno(err, path);
    }
    if (S_ISLNK(st.st_mode)) {
        ::close(fd);
        return succeed();
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777)) {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::chmod(self.c_str(), mode) != 0) {
            int err = errno;
            ::close(fd);
            return FailWithErrno(err, path);
        }
    }
    ::close(fd);
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

BOOL WriteWholeFile(const std::string& path, const std::string& text, unsigned mode)
{
    std::string tmp = path + ".tmpXXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return FailWithErrno(errno, path);
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
        else if (n == 0)
            errno = ENOSPC;
    }
    ok = ok && ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return FailWithErrno(err ? err : EIO, path);
    }
    return succeed();
}

bool ReadAll(int fd, std::string& out)
{
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<std::size_t>(n));
    }
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

// FindFiles' order: upper-cased names, ties by bytes.
void sortLikeFindFiles(std::vector<std::string>& names)
{
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& name : names)
        keyed.emplace_back(Utf8Upper(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& k : keyed)
        names.push_back(std::move(k.second));
}

class TreeWalk {
public:
    explicit TreeWalk(DeleteTreeEvents& events) : m_events(events) {}

    // Reports a failure for `path` (errno holds it); false stops the walk.
    bool failed(const std::string& path, bool isFolder, int err)
    {
        DWORD code = Win32ErrorFromErrno(err, path);
        return failedWith(path, isFolder, code);
    }
    bool failedWith(const std::string& path, bool isFolder, DWORD code)
    {
        if (!m_firstError)
            m_firstError = code;
        SetLastError(code);
        if (!m_events.OnResult(path, isFolder, false))
            m_stopped = true;
        return !m_stopped;
    }
    bool removed(const std::string& path, bool isFolder)
    {
        SetLastError(kErrorSuccess);
        if (!m_events.OnResult(path, isFolder, true))
            m_stopped = true;
        return !m_stopped;
    }

    // Removes one entry of the folder `parentFd`, a folder with its content
    // first. False once the walk is stopped.
    bool removeEntry(int parentFd, const std::string& name, const std::string& path)
    {
        struct stat st {};
        if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT || failed(path, false, errno);
        bool isFolder = S_ISDIR(st.st_mode);
        if (isFolder) {
            int sub = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                int err = errno;
                if (!m_events.OnEntry(path, true))
                    return stop();
                return failed(path, true, err);
            }
            if (!removeBelow(sub, path))
                return false;
        }
        if (!m_events.OnEntry(path, isFolder))
            return stop();
        if (!isFolder && m_events.refuseReadOnly && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
            return failedWith(path, false, kErrorAccessDenied);
        if (::unlinkat(parentFd, name.c_str(), isFolder ? AT_REMOVEDIR : 0) != 0) {
            int err = errno;
            if (isFolder && (err == ENOTEMPTY || err == EEXIST))
                return failedWith(path, true, kErrorDirNotEmpty);
            return failed(path, isFolder, err);
        }
        return removed(path, isFolder);
    }

    // Removes what the open folder `dirFd` holds; closes it.
    bool removeBelow(int dirFd, const std::string& path)
    {
        DIR* d = ::fdopendir(dirFd);
        if (!d) {
            int err = errno;
            ::close(dirFd);
            if (!m_events.OnEntry(path, true))
                return stop();
            return failed(path, true, err);
        }
        std::vector<std::string> names;
        errno = 0;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        if (errno != 0) {
            int err = errno;
            ::closedir(d);
            if (!m_events.OnEntry(path, true))
                return stop();
            return failed(path, true, err);
        }
        sortLikeFindFiles(names);
        bool go = true;
        for (const auto& name : names)
            if (!(go = removeEntry(::dirfd(d), name, path + "/" + name)))
                break;
        ::closedir(d);
        return go;
    }

    bool stop()
    {
        m_stopped = true;
        return false;
    }

    DWORD firstError() const { return m_firstError; }

private:
    DeleteTreeEvents& m_events;
    DWORD m_firstError = 0;
    bool m_stopped = false;
};

std::vector<std::string> guardedRoots()
{
    std::vector<std::string> roots;
    if (const char* home = std::getenv("HOME"))
        roots.push_back(home);
    for (int csidl : {CSIDL_PERSONAL, CSIDL_COMMON_PROGRAMS, CSIDL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_PROGRAM_FILES, CSIDL_COMMON_DOCUMENTS})
        if (auto folder = GetSpecialFolder(csidl))
            roots.push_back(*folder);
    return roots;
}

std::string withoutTrailingSlashes(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

bool isGuardedName(const std::string& path, const std::vector<std::string>& roots)
{
    namespace fs = std::filesystem;
    std::string p = withoutTrailingSlashes(fs::path(path).lexically_normal().string());
    if (p == "/" || p.empty())
        return true;
    for (const auto& root : roots) {
        std::string r = withoutTrailingSlashes(fs::path(root).lexically_normal().string());
        if (!r.empty() && r == p)
            return true;
    }
    return false;
}

// The name itself, then what it resolves to when it is there.
bool isGuarded(const std::string& path, bool resolve)
{
    auto roots = guardedRoots();
    if (isGuardedName(path, roots))
        return true;
    if (!resolve)
        return false;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return false;
    std::string resolved = real;
    std::free(real);
    if (isGuardedName(resolved, roots))
        return true;
    for (const auto& root : roots) {
        char* r = ::realpath(root.c_str(), nullptr);
        if (!r)
            continue;
        bool same = resolved == r;
        std::free(r);
        if (same)
            return true;
    }
    return false;
}

} // namespace

bool IsGuardedPath(const std::string& path) { return isGuarded(path, true); }

BOOL DeleteTree(const std::string& path, DeleteTreeEvents& events)
{
    if (path.empty() || path[0] != '/')
        return FailWith(kErrorInvalidParameter);
    for (const auto& part : std::filesystem::path(path))
        if (part == "..")
            return FailWith(kErrorInvalidParameter);
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    // A link to a guarded folder is only a link; a folder is judged by
    // what its name resolves to as well.
    if (isGuarded(path, exists && S_ISDIR(st.st_mode)))
        return FailWith(kErrorInvalidParameter);
    if (!exists)
        return FailWithErrno(errno, path);
    std::string clean = withoutTrailingSlashes(path);
    auto slash = clean.rfind('/');
    std::string parent = slash == 0 ? std::string("/") : clean.substr(0, slash);
    int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return FailWithErrno(errno, parent);
    TreeWalk walk(events);
    bool finished = walk.removeEntry(parentFd, clean.substr(slash + 1), clean);
    ::close(parentFd);
    if (walk.firstError())
        return FailWith(walk.firstError());
    if (!finished)
        return FailWith(kErrorSuccess);
    return succeed();
}

BOOL DeleteTree(const std::string& path)
{
    // Everything it can, whatever fails on the way.
    DeleteTreeEvents events;
    return DeleteTree(path, events);
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
