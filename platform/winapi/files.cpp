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
#include <random>

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

// Whether `name` in `dirFd` is a symbolic link.
bool isLinkAt(int dirFd, const std::string& name)
{
    struct stat st {};
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// The folder `name` in `dirFd` as a path descriptor, never through a link
// (ELOOP when `name` is one).
int openFolderAt(int dirFd, const std::string& name)
{
    int fd = ::openat(dirFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOTDIR && isLinkAt(dirFd, name))
        errno = ELOOP;
    return fd;
}

// A missing folder is a missing path.
BOOL failOpeningFolder(int err, const std::string& path)
{
    DWORD code = Win32ErrorFromErrno(err, path);
    SetLastError(code == kErrorFileNotFound || code == kErrorDirectory ? kErrorPathNotFound : code);
    return kFalse;
}

// The name a copy is written under before it takes its own.
std::string copyTempName()
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name = ".copy-";
    for (int i = 0; i < 6; ++i)
        name += digits[random() % (sizeof digits - 1)];
    return name;
}

// Runs `make(name)` with fresh temporary names until one is free; the name
// used, or nullopt with errno set.
template <typename Make>
std::optional<std::string> withFreeTempName(Make make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = copyTempName();
        if (make(name))
            return name;
        if (errno != EEXIST)
            return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

// What stands at the target of a copy: 80 when it must not be replaced, 5
// when it is a folder or a read-only file (root ignores permission bits, so
// the mode is read here). `exists` tells whether anything stands there.
BOOL checkCopyTarget(int dirFd, const std::string& name, BOOL failIfExists, bool& exists)
{
    struct stat existing {};
    exists = ::fstatat(dirFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists)
        return kTrue;
    if (failIfExists)
        return FailWith(kErrorFileExists);
    if (S_ISDIR(existing.st_mode) || (S_ISREG(existing.st_mode) && !(existing.st_mode & S_IWUSR)))
        return FailWith(kErrorAccessDenied);
    return kTrue;
}

// Puts the temporary `temp` of `dirFd` in the place of `name`: beside an
// existing file only when `failIfExists` is off.
BOOL placeCopy(int dirFd, const std::string& temp, const std::string& name, BOOL failIfExists,
               const std::string& path)
{
    int err = 0;
    if (failIfExists) {
        // link() never replaces, so a target made meanwhile is kept.
        if (::linkat(dirFd, temp.c_str(), dirFd, name.c_str(), 0) != 0)
            err = errno;
        ::unlinkat(dirFd, temp.c_str(), 0);
    } else if (::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
        err = errno;
        ::unlinkat(dirFd, temp.c_str(), 0);
    }
    if (err)
        return FailWithErrno(err, path);
    return succeed();
}

bool procFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// Copies the open regular file `in` (`st` its status) to `name` in `dirFd`.
// The copy is written unnamed and linked in only once it is whole, so a
// process killed meanwhile leaves nothing; where the file system has no
// unnamed files it is written under a temporary name.
BOOL writeCopy(int in, const struct stat& st, int dirFd, const std::string& name, BOOL failIfExists,
               const std::string& path)
{
    bool exists = false;
    if (!checkCopyTarget(dirFd, name, failIfExists, exists))
        return kFalse;
    int out = procFdAvailable() ? ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
    bool unnamed = out >= 0;
    std::optional<std::string> temp;
    if (!unnamed) {
        temp = withFreeTempName([&](const std::string& n) {
            out = ::openat(dirFd, n.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            return out >= 0;
        });
        if (!temp)
            return FailWithErrno(errno, path);
    }
    bool ok = copyBytes(in, out);
    int err = errno;
    if (ok) {
        ::fchmod(out, st.st_mode & 07777);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    bool linked = false; // under its own name already
    if (ok && unnamed) {
        // Where nothing stands, the copy takes its name at once (link()
        // never replaces); it replaces a file by a rename from a temporary
        // name, so that readers see the old file or the new one.
        std::string self = "/proc/self/fd/" + std::to_string(out);
        if (failIfExists || !exists) {
            linked = ::linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
            err = linked ? 0 : errno;
            ok = linked || (!failIfExists && err == EEXIST);
        }
        if (ok && !linked) {
            temp = withFreeTempName([&](const std::string& n) {
                return ::linkat(AT_FDCWD, self.c_str(), dirFd, n.c_str(), AT_SYMLINK_FOLLOW) == 0;
            });
            if (!temp) {
                ok = false;
                err = errno;
            }
        }
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        if (temp)
            ::unlinkat(dirFd, temp->c_str(), 0);
        else if (linked)
            ::unlinkat(dirFd, name.c_str(), 0);
        return FailWithErrno(err, path);
    }
    if (linked)
        return succeed();
    return placeCopy(dirFd, *temp, name, failIfExists, path);
}

// A copy of the link `name` of `fromFd`: a link with the same text.
BOOL copyLink(int fromFd, const std::string& name, int toFd, const std::string& targetName, BOOL failIfExists,
              const std::string& path)
{
    std::string text(256, '\0');
    for (;;) {
        ssize_t n = ::readlinkat(fromFd, name.c_str(), text.data(), text.size());
        if (n < 0)
            return FailWithErrno(errno, path);
        if (static_cast<std::size_t>(n) < text.size()) {
            text.resize(static_cast<std::size_t>(n));
            break;
        }
        text.resize(text.size() * 2);
    }
    bool exists = false;
    if (!checkCopyTarget(toFd, targetName, failIfExists, exists))
        return kFalse;
    auto temp = withFreeTempName(
        [&](const std::string& n) { return ::symlinkat(text.c_str(), toFd, n.c_str()) == 0; });
    if (!temp)
        return FailWithErrno(errno, path);
    return placeCopy(toFd, *temp, targetName, failIfExists, path);
}

// Copies the open file `in` (closed here), which must be a regular file.
BOOL copyOpenFile(int in, int toFd, const std::string& targetName, BOOL failIfExists, const std::string& path)
{
    struct stat st {};
    BOOL ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode) ? writeCopy(in, st, toFd, targetName, failIfExists, path)
                                                          : FailWith(kErrorAccessDenied);
    DWORD code = GetLastError();
    ::close(in);
    SetLastError(code);
    return ok;
}

// The entry `name` of `fromFd` copied to `targetName` in `toFd`; a link is
// copied as a link.
BOOL copyEntry(int fromFd, const std::string& name, int toFd, const std::string& targetName, BOOL failIfExists,
               const std::string& path)
{
    int in = ::openat(fromFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0 && errno == ELOOP)
        return copyLink(fromFd, name, toFd, targetName, failIfExists, path);
    if (in < 0)
        return FailWithErrno(errno, name);
    return copyOpenFile(in, toFd, targetName, failIfExists, path);
}

// Never replaces: 183 when the target exists. Across file systems a file
// or a link is copied and then deleted; a folder fails with 17. The names
// may be whole paths with AT_FDCWD.
BOOL moveEntry(int fromFd, const std::string& name, int toFd, const std::string& targetName,
               const std::string& path)
{
    struct stat st {};
    if (::fstatat(fromFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailWithErrno(errno, name);
    if (::renameat2(fromFd, name.c_str(), toFd, targetName.c_str(), RENAME_NOREPLACE) == 0)
        return succeed();
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // The file system refuses the flag.
        if (!S_ISDIR(st.st_mode)) {
            if (::linkat(fromFd, name.c_str(), toFd, targetName.c_str(), 0) != 0)
                return FailWithErrno(errno, path, true);
            ::unlinkat(fromFd, name.c_str(), 0);
            return succeed();
        }
        struct stat existing {};
        if (::fstatat(toFd, targetName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
            return FailWith(kErrorAlreadyExists);
        if (::renameat(fromFd, name.c_str(), toFd, targetName.c_str()) != 0)
            return FailWithErrno(errno, path, true);
        return succeed();
    }
    if (err == EXDEV && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
        if (!copyEntry(fromFd, name, toFd, targetName, kTrue, path))
            return kFalse;
        if (::unlinkat(fromFd, name.c_str(), 0) != 0)
            return FailWithErrno(errno, name);
        return succeed();
    }
    return FailWithErrno(err, path, true);
}

// A file or a link (never its target): a folder is 5, a missing entry 2, a
// read-only file 5.
BOOL deleteEntry(int dirFd, const std::string& name)
{
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailWithErrno(errno, name);
    if (S_ISDIR(st.st_mode))
        return FailWith(kErrorAccessDenied);
    // unlink ignores the file's mode; a read-only file is not deleted by force.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
        return FailWith(kErrorAccessDenied);
    if (::unlinkat(dirFd, name.c_str(), 0) != 0)
        return FailWithErrno(errno, name);
    return succeed();
}

// An empty folder: not empty 145, missing 2, a link or a file 267.
BOOL removeFolderEntry(int dirFd, const std::string& name)
{
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailWithErrno(errno, name);
    if (!S_ISDIR(st.st_mode))
        return FailWith(kErrorDirectory);
    if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST)
            return FailWith(kErrorDirNotEmpty);
        return FailWithErrno(errno, name);
    }
    return succeed();
}

// The mode change behind SetFileAttributes, on a path descriptor that was
// opened without following; a link is left as it is.
BOOL setAttributesOf(int fd, DWORD attributes, const std::string& path)
{
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

// The matching entries of the open folder `fd` (closed here), in FindFiles'
// order. Without `details` only names and kinds are filled in, taken from
// the folder itself where it tells them.
std::optional<std::vector<FindData>> listFolder(int fd, const std::string& pattern, FindMode mode,
                                                bool details);

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
    return setAttributesOf(fd, attributes, path);
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

namespace {

// The matching entries of the folder at `folder` (the current folder when
// empty); none, with the last error set, when it cannot be opened.
std::optional<std::vector<FindData>> listPath(const std::string& folder, const std::string& pattern, FindMode mode,
                                              bool details)
{
    std::string dir = folder.empty() ? std::string(".") : folder;
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failOpeningFolder(errno, dir);
        return std::nullopt;
    }
    return listFolder(fd, pattern, mode, details);
}

} // namespace

std::optional<std::vector<FindData>> FindFiles(const std::string& folder, const std::string& pattern,
                                               FindMode mode)
{
    return listPath(folder, pattern, mode, true);
}

std::optional<std::vector<FindData>> FindNames(const std::string& folder, const std::string& pattern,
                                               FindMode mode)
{
    return listPath(folder, pattern, mode, false);
}

namespace {

std::optional<std::vector<FindData>> listFolder(int fd, const std::string& pattern, FindMode mode, bool details)
{
    DIR* d = ::fdopendir(fd);
    if (!d) {
        int err = errno;
        ::close(fd);
        failOpeningFolder(err, {});
        return std::nullopt;
    }
    std::vector<FindData> found;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (mode == FindMode::Exact ? name != pattern : !MatchFilePattern(name, pattern))
            continue;
        if (!details && e->d_type != DT_UNKNOWN) {
            FindData data;
            data.name = name;
            data.isSymlink = e->d_type == DT_LNK;
            data.isDirectory = e->d_type == DT_DIR;
            found.push_back(std::move(data));
            continue;
        }
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

} // namespace

BOOL CopyFile(const std::string& source, const std::string& target, BOOL failIfExists)
{
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return FailWithErrno(errno, source);
    int dir = ::open(parentOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        int err = errno;
        ::close(in);
        return FailWithErrno(err, target);
    }
    BOOL ok = copyOpenFile(in, dir, baseName(target), failIfExists, target);
    DWORD code = GetLastError();
    ::close(dir);
    SetLastError(code);
    return ok;
}

namespace {

constexpr std::string_view kReplaceMark = ".tmp";
constexpr std::size_t kReplaceRandom = 6;

// Creates an empty temporary beside `path` under a fresh name; its
// descriptor, or -1 with errno set.
int createReplaceTemporary(const std::string& path, std::string& temporary)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + std::string(kReplaceMark);
        for (std::size_t i = 0; i < kReplaceRandom; ++i)
            temporary += digits[random() % (sizeof digits - 1)];
        // The mode a new file gets, the umask applied by the system.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Removes the temporary unless it was renamed into place; errno is kept.
struct ReplaceTemporary {
    std::string path;
    int fd = -1;
    bool placed = false;
    void Drop()
    {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (!placed && !path.empty())
            ::unlink(path.c_str());
        path.clear();
        errno = err;
    }
    ~ReplaceTemporary() { Drop(); }
};

} // namespace

BOOL AtomicReplaceFile(const std::string& path, const ReplaceWriter& write, std::optional<unsigned> mode)
{
    ReplaceTemporary temp;
    temp.fd = createReplaceTemporary(path, temp.path);
    if (temp.fd < 0) {
        temp.path.clear();
        return FailWithErrno(errno, path);
    }
    // Leaves errno at the cause, for callers that report it themselves.
    auto fail = [&](int err) {
        temp.Drop();
        FailWithErrno(err, path);
        errno = err;
        return kFalse;
    };
    errno = 0;
    if (!write(temp.path, temp.fd))
        return fail(errno ? errno : EIO);
    // fsync through any descriptor of the file writes what every other
    // descriptor (a stream the writer opened by name) has handed over.
    if ((mode && ::fchmod(temp.fd, static_cast<mode_t>(*mode)) != 0) || ::fsync(temp.fd) != 0)
        return fail(errno);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0 || ::rename(temp.path.c_str(), path.c_str()) != 0)
        return fail(errno);
    temp.placed = true;
    // The rename itself lasts only once the folder is synced; a file system
    // that cannot sync a folder says EINVAL and keeps it as well as it can.
    const int dir = ::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return fail(errno);
    const bool synced = ::fsync(dir) == 0 || errno == EINVAL;
    const int err = errno;
    ::close(dir);
    if (!synced)
        return fail(err);
    return succeed();
}

BOOL WriteWholeFile(const std::string& path, const std::string& text, unsigned mode)
{
    return AtomicReplaceFile(
        path,
        [&text](const std::string&, int fd) {
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    if (n == 0)
                        errno = ENOSPC;
                    return false;
                }
                done += static_cast<std::size_t>(n);
            }
            return true;
        },
        mode);
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
    return moveEntry(AT_FDCWD, source, AT_FDCWD, target, target);
}

BOOL DeleteFile(const std::string& path) { return deleteEntry(AT_FDCWD, path); }

BOOL RemoveDirectory(const std::string& path) { return removeFolderEntry(AT_FDCWD, path); }

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

BOOL deleteTreeAt(int parentFd, const std::string& name, const std::string& path, DeleteTreeEvents& events)
{
    TreeWalk walk(events);
    bool finished = walk.removeEntry(parentFd, name, path);
    if (walk.firstError())
        return FailWith(walk.firstError());
    if (!finished)
        return FailWith(kErrorSuccess);
    return succeed();
}

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
    int parentFd = ::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return FailWithErrno(errno, parent);
    BOOL ok = deleteTreeAt(parentFd, clean.substr(slash + 1), clean, events);
    DWORD code = GetLastError();
    ::close(parentFd);
    SetLastError(code);
    return ok;
}

BOOL DeleteTree(const std::string& path)
{
    // Everything it can, whatever fails on the way.
    DeleteTreeEvents events;
    return DeleteTree(path, events);
}

Folder::~Folder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Folder::Folder(Folder&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

std::optional<Folder> Folder::Open(const std::string& path)
{
    std::string clean = withoutTrailingSlashes(path);
    if (clean.empty()) {
        SetLastError(kErrorPathNotFound);
        return std::nullopt;
    }
    if (clean == "/") {
        int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            failOpeningFolder(errno, clean);
            return std::nullopt;
        }
        return Folder(fd);
    }
    auto slash = clean.rfind('/');
    std::string parent = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/")
                                                                                    : clean.substr(0, slash);
    int parentFd = ::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        failOpeningFolder(errno, clean);
        return std::nullopt;
    }
    int fd = openFolderAt(parentFd, slash == std::string::npos ? clean : clean.substr(slash + 1));
    int err = errno;
    ::close(parentFd);
    if (fd < 0) {
        failOpeningFolder(err, clean);
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    return Folder(fd);
}

std::optional<Folder> Folder::OpenSub(const std::string& name) const
{
    int fd = openFolderAt(m_fd, name);
    if (fd < 0) {
        failOpeningFolder(errno, name);
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    return Folder(fd);
}

namespace {

// The matching entries of an open folder, read through a description of its
// own, so that two listings never share a position.
std::optional<std::vector<FindData>> listOpen(const Folder& folder, const std::string& pattern, FindMode mode,
                                              bool details)
{
    int fd = ::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failOpeningFolder(errno, {});
        return std::nullopt;
    }
    return listFolder(fd, pattern, mode, details);
}

} // namespace

std::optional<std::vector<FindData>> FindFiles(const Folder& folder, const std::string& pattern, FindMode mode)
{
    return listOpen(folder, pattern, mode, true);
}

std::optional<std::vector<FindData>> FindNames(const Folder& folder, const std::string& pattern, FindMode mode)
{
    return listOpen(folder, pattern, mode, false);
}

DWORD GetFileAttributes(const Folder& folder, const std::string& name)
{
    struct stat st {};
    if (::fstatat(folder.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetLastError(Win32ErrorFromErrno(errno, name));
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(kErrorSuccess);
    return attributesOf(st, name);
}

BOOL SetFileAttributes(const Folder& folder, const std::string& name, DWORD attributes)
{
    int fd = ::openat(folder.Fd(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FailWithErrno(errno, name);
    return setAttributesOf(fd, attributes, name);
}

BOOL CreateDirectory(const Folder& folder, const std::string& name)
{
    if (::mkdirat(folder.Fd(), name.c_str(), 0777) != 0)
        return FailWithErrno(errno, name, true);
    return succeed();
}

bool IsDirectory(const Folder& folder, const std::string& name)
{
    struct stat st {};
    return ::fstatat(folder.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

BOOL CopyFile(const Folder& from, const std::string& name, const Folder& to, const std::string& targetName,
              BOOL failIfExists)
{
    return copyEntry(from.Fd(), name, to.Fd(), targetName, failIfExists, targetName);
}

BOOL MoveFile(const Folder& from, const std::string& name, const Folder& to, const std::string& targetName)
{
    return moveEntry(from.Fd(), name, to.Fd(), targetName, targetName);
}

BOOL DeleteFile(const Folder& folder, const std::string& name) { return deleteEntry(folder.Fd(), name); }

BOOL RemoveDirectory(const Folder& folder, const std::string& name)
{
    return removeFolderEntry(folder.Fd(), name);
}

BOOL DeleteTree(const Folder& folder, const std::string& name, const std::string& path, DeleteTreeEvents& events)
{
    return deleteTreeAt(folder.Fd(), name, path, events);
}

bool IsCopyLeftover(const std::string& name)
{
    static const std::string prefix = ".copy-";
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

void RemoveCopyLeftovers(const Folder& folder)
{
    auto entries = FindFiles(folder, ".copy-??????");
    if (!entries)
        return;
    for (const auto& entry : *entries)
        if (!entry.isDirectory && IsCopyLeftover(entry.name))
            ::unlinkat(folder.Fd(), entry.name.c_str(), 0);
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
