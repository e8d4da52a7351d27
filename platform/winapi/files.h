// File and folder calls with Win32 results and error numbers.
#pragma once

#include "winapi/types.h"

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace winapi {

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Symbolic links are followed. READONLY when the owner write bit is clear,
// HIDDEN for a name beginning with '.', NORMAL when no other bit is set.
DWORD GetFileAttributes(const std::string& path);

// READONLY set removes every write bit, clear adds the owner's; the other
// bits have no counterpart here and are accepted without effect. A link is
// never followed: it has no mode of its own, so it is left as it is.
BOOL SetFileAttributes(const std::string& path, DWORD attributes);

// mkdir with 0777 & ~umask: an existing entry is 183, a missing parent 3.
BOOL CreateDirectory(const std::string& path);

// A folder that could be made the current directory (stat and X_OK).
bool IsEnterableDirectory(const std::string& path);

// One entry of a folder listing. A symbolic link is reported as a link,
// never as a folder, whatever it points to.
struct FindData {
    std::string name;
    bool isDirectory = false;
    bool isSymlink = false;
    DWORD attributes = 0;
    std::uint64_t size = 0;
    std::time_t mtime = 0;
};

enum class FindMode {
    Pattern, // '*' any run, '?' one character, everything else literal
    Exact,   // the text names one entry, '*' and '?' included
};

// '*' and '*.*' match every name.
bool MatchFilePattern(const std::string& name, const std::string& pattern);

// The entries of `folder` that match, without "." and "..", sorted by their
// upper-cased names (ties by bytes). nullopt with last error 3 when the
// folder cannot be listed, 2 when nothing matches.
std::optional<std::vector<FindData>> FindFiles(const std::string& folder, const std::string& pattern,
                                               FindMode mode = FindMode::Pattern);
// The same entries with only their names, isDirectory and isSymlink: no
// look at each entry where the folder itself tells its kind, for walks that
// need no more (a count, a list of names).
std::optional<std::vector<FindData>> FindNames(const std::string& folder, const std::string& pattern,
                                               FindMode mode = FindMode::Pattern);

// 80 when `failIfExists` and the target exists; 5 when the target is
// read-only or a folder, or the source is not a regular file; 2 when the
// source is missing. Bytes, mode and modification time are copied; the
// target appears whole (written beside it, then linked or renamed into
// place), and a copy that is killed leaves no part of it behind.
BOOL CopyFile(const std::string& source, const std::string& target, BOOL failIfExists);

// Fills the temporary file of a replace, given by name and by an open
// descriptor (either may be written through); false with errno set, or an
// exception, when the content could not be written.
using ReplaceWriter = std::function<bool(const std::string& temporary, int fd)>;

// Replaces `path` as a whole: `write` fills a temporary file created in the
// same folder under a name no other writer uses, which is synced, renamed
// over `path`, and the folder synced, so that readers, a second writer and
// a power cut see the old file or a new one, never half of one. The file
// gets `mode`, or without it the mode a new file gets (0666 less the
// umask). On any failure the temporary is removed and the old file is left
// as it was; an exception from `write` is passed on after that.
BOOL AtomicReplaceFile(const std::string& path, const ReplaceWriter& write,
                       std::optional<unsigned> mode = std::nullopt);

// Writes `text` as the whole new content of `path` with `mode`, replacing
// it as AtomicReplaceFile does.
BOOL WriteWholeFile(const std::string& path, const std::string& text, unsigned mode = 0644);

// Reads from `fd` to its end into `out` (emptied first), going on after an
// interrupted read; false with errno set when a read fails.
bool ReadAll(int fd, std::string& out);

// Never replaces: 183 when the target exists. Across file systems a file
// is copied and then deleted; a folder fails with 17.
BOOL MoveFile(const std::string& source, const std::string& target);

// A file or a link (never its target): a folder is 5, a missing entry 2,
// a read-only file 5.
BOOL DeleteFile(const std::string& path);

// An empty folder: not empty 145, missing 2, a link 267.
BOOL RemoveDirectory(const std::string& path);

enum class FolderState { Empty, NotEmpty, CannotList };
FolderState IsFolderEmpty(const std::string& folder);

// Removes a folder and everything below it without following links.
// Refuses (87) a relative path, a ".." component, "/", $HOME and the roots
// of the special folders.
BOOL DeleteTree(const std::string& path);

// What a tree delete tells its caller, entry by entry: content before its
// folder, the entries of one folder in FindFiles' order. The folder below
// is held open by descriptor, so a link swapped in meanwhile is removed as
// a link and never entered.
class DeleteTreeEvents {
public:
    virtual ~DeleteTreeEvents() = default;
    // Before an entry is removed; false stops the walk.
    virtual bool OnEntry(const std::string& path, bool isFolder) { return true; }
    // After it, with the last error set when it failed; false stops the walk.
    virtual bool OnResult(const std::string& path, bool isFolder, bool removed) { return true; }
    // Refuse (5) a file whose owner write bit is clear, as DeleteFile does.
    bool refuseReadOnly = false;
};

// The same delete, reported to `events`. FALSE with 87 for a refused path,
// with the error of the first failure otherwise, with 0 when the events
// stopped it.
BOOL DeleteTree(const std::string& path, DeleteTreeEvents& events);

// "/", $HOME and the special-folder roots, by name or by what the name
// resolves to.
bool IsGuardedPath(const std::string& path);

// A folder held by descriptor. Every name below it is taken relative to it
// and an entry that is a symbolic link is never followed, so a link put in
// the place of a folder while a walk runs leads nowhere.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The folder `path` names: the folders above it as the system resolves
    // them, the folder itself never through a link (1921 when it is one, 3
    // when it is missing).
    static std::optional<Folder> Open(const std::string& path);
    // The folder `name` in this one, with the same rule.
    std::optional<Folder> OpenSub(const std::string& name) const;

    int Fd() const { return m_fd; }

private:
    explicit Folder(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// The calls above on `name` in an open folder. None of them follows `name`
// when it is a link: its attributes are the link's own (never a folder),
// setting them leaves a link as it is, a copy of a link is a link with the
// same text, a move or delete takes the link itself.
std::optional<std::vector<FindData>> FindFiles(const Folder& folder, const std::string& pattern,
                                               FindMode mode = FindMode::Pattern);
std::optional<std::vector<FindData>> FindNames(const Folder& folder, const std::string& pattern,
                                               FindMode mode = FindMode::Pattern);
DWORD GetFileAttributes(const Folder& folder, const std::string& name);
BOOL SetFileAttributes(const Folder& folder, const std::string& name, DWORD attributes);
BOOL CreateDirectory(const Folder& folder, const std::string& name);
// A folder, not a link to one.
bool IsDirectory(const Folder& folder, const std::string& name);
BOOL CopyFile(const Folder& from, const std::string& name, const Folder& to, const std::string& targetName,
              BOOL failIfExists);
BOOL MoveFile(const Folder& from, const std::string& name, const Folder& to, const std::string& targetName);
BOOL DeleteFile(const Folder& folder, const std::string& name);
BOOL RemoveDirectory(const Folder& folder, const std::string& name);
// `path` names the entry in what `events` are told.
BOOL DeleteTree(const Folder& folder, const std::string& name, const std::string& path, DeleteTreeEvents& events);

// The temporary names a copy writes under before the file takes its own
// name. A copy is written unnamed where the file system allows it, so only
// a copy killed on another file system (or between two calls) leaves one.
bool IsCopyLeftover(const std::string& name);
// Removes the copy leftovers (files and links, never folders) that lie
// directly in `folder`.
void RemoveCopyLeftovers(const Folder& folder);

// The device and mount point of the nearest existing ancestor of an
// absolute path.
struct DriveId {
    dev_t device = 0;
    std::string mountPoint;
    bool operator==(const DriveId& other) const { return device == other.device; }
};
std::optional<DriveId> GetDriveOfPath(const std::string& path);

// Space available to the caller on the file system of the nearest existing
// ancestor, in whole megabytes.
bool GetFreeDiskSpaceMB(const std::string& path, std::uint64_t& megabytes);

} // namespace winapi
