// One file operation at a time on a path or a mask: copy, move, rename by
// pattern, delete, set or clear attributes, create a folder path. Matches
// are walked (optionally into subfolders) from a snapshot of each listing,
// each item is reported to overridable notifications, and failures become
// an error code with a message.
//
// The folder an operation works in (a mask's folder, a walk's level, a copy's
// or a move's target folder) is held by descriptor and never reached through
// a link, nor is an item: links in the folders above the one the path names
// are followed as the system does. An item met as a link is taken as the
// link itself (a copy of it is a link).
#pragma once

#include "winapi/files.h"
#include "winapi/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvik {

struct TFilePath {
    std::string m_strPath; // a folder, extended by the item being processed
    std::string m_strName; // the mask or name split off, or a rename pattern
    std::size_t m_nNamePos = 0; // where the part below the base folder begins

    // `path` resolved; a trailing '/' is dropped; with `split` the last
    // component moves into the name.
    void Set(const std::string& path, bool split);
    void Clear();
};

class CFileManager {
public:
    enum Operation { opNone, opCopy, opDelete, opMove, opRename, opSetAttributes, opClearAttributes, opCreatePath };
    // Option bits.
    static constexpr std::uint32_t optOverwrite = 1;
    static constexpr std::uint32_t optClearReadOnly = 2;
    static constexpr std::uint32_t optIgnoreErrors = 4;
    static constexpr std::uint32_t optFolders = 8;
    static constexpr std::uint32_t optRecursive = 16;
    static constexpr std::uint32_t optFolderFirst = 32;
    enum ErrorCode { errOK, errNotFound, errCreatePath, errIO, errTerminated };

    CFileManager() = default;
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;
    virtual ~CFileManager() = default;

    bool Copy(const std::string& source, const std::string& target, bool overwrite, bool clearReadOnly,
              bool recursive, bool ignoreErrors);
    bool Move(const std::string& source, const std::string& target, bool folders, bool ignoreErrors);
    bool Rename(const std::string& source, const std::string& pattern, bool folders, bool ignoreErrors);
    bool Delete(const std::string& path, bool recursive, bool ignoreErrors);
    bool SetAttributes(const std::string& path, DWORD attributes, bool recursive, bool ignoreErrors);
    bool ClearAttributes(const std::string& path, DWORD attributes, bool recursive, bool ignoreErrors);
    bool CreatePath(const std::string& path);

    int GetErrorCode() const { return m_nError; }
    DWORD GetSystemError() const { return m_dwSystemError; }
    const std::string& GetMessage() const { return m_strMessage; }
    // The item being processed.
    const std::string& GetSourcePath() const { return m_source.m_strPath; }
    const std::string& GetTargetPath() const { return m_target.m_strPath; }

protected:
    virtual void OnBegin(int itemCount) {}
    virtual void OnBeforeItem() {}
    virtual void OnAfterItem() {}
    virtual void OnEnd() {}
    virtual void OnIgnoredError() {}
    virtual void OnSubOperation() {}
    virtual bool ContinueOperation() { return true; }
    virtual void SetError(int code);
    // An absolute path as it is, a relative one taken in the program's folder.
    virtual std::string ResolvePath(const std::string& path) const;

    // One level of the walk: the source folder and, for a copy or a move,
    // the target folder that answers to it.
    struct Level {
        const winapi::Folder& source;
        const winapi::Folder* target;
        std::string relative; // below the base folders
    };

    void Reset();
    bool Run();
    int CountItems(const winapi::Folder& folder, const std::string& mask, winapi::FindMode mode);
    bool ProcessItems(const Level& level, const std::string& mask, winapi::FindMode mode);
    // The folder `name` of `level` and its content.
    bool ProcessFolder(const Level& level, const winapi::FindData& entry);
    bool ProcessItem(const Level& level, const winapi::FindData& entry);
    // Records the item's result and reports it; false when the walk stops.
    bool FinishItem(int result);
    // A folder that cannot be opened or listed fails as an item.
    bool FailFolder(const std::string& source, const std::string& target);
    bool DeleteFolder(const winapi::Folder& folder, const std::string& name, const std::string& path);
    // Whether a recursive walk of the source would reach `folder`.
    bool WalkWouldEnter(const std::string& folder) const;
    bool NameIsMask() const;
    int CopyItem(const Level& level, const std::string& name, bool isFolder);
    int DeleteItem(const Level& level, const std::string& name, bool isFolder);
    int MoveItem(const Level& level, const std::string& name);
    int RenameItem(const Level& level, const std::string& name, const std::string& newName);
    int SetItemAttributes(const winapi::Folder& folder, const std::string& name);

    TFilePath m_source;
    TFilePath m_target;
    int m_nOperation = opNone;
    std::uint32_t m_nOptions = 0;
    DWORD m_dwAttributes = 0;
    int m_nError = errOK;
    DWORD m_dwSystemError = 0;
    std::string m_strMessage;
    // The setup and uninstall build: names are exact, not masks, a folder
    // that is there already is copied into, and what a killed copy left in
    // a target folder goes.
    bool m_bExactNames = false;
    bool m_bExistingFolderOk = false;
    bool m_bRemoveCopyLeftovers = false;
    // The item's path below the base folders; whether its action made it
    // (a copied file, a folder created).
    std::string m_strItem;
    bool m_bItemCreated = false;

private:
    std::string m_baseSource;
    std::string m_baseTarget;
};

// The narrower file manager of setup and uninstall: Copy always overwrites
// (recursively when asked), Delete is always recursive; notifications stay
// empty and the walk is never stopped.
class CSetupFileManager : protected CFileManager {
public:
    CSetupFileManager();
    // With `pattern` the source's last component is a mask (a kit's "*"),
    // otherwise it names one entry exactly.
    bool Copy(const std::string& source, const std::string& target, bool recursive, bool pattern = false);
    bool Delete(const std::string& path, bool ignoreErrors);
    // From now on every file a copy writes and every folder it makes is
    // added to `created`, as its path below the target folder, in the order
    // of the walk (a folder before its content).
    void RecordCreated(std::vector<std::string>* created) { m_created = created; }
    using CFileManager::GetErrorCode;
    using CFileManager::GetMessage;
    using CFileManager::GetSystemError;

protected:
    void OnAfterItem() override;

private:
    std::vector<std::string>* m_created = nullptr;
};

// Creates every missing level of `path` (relative paths below the current
// directory); false for an empty path or a level that cannot be made. The
// current directory is never changed.
bool CreateFolderTree(const std::string& path);
bool CreateDirectories(const std::string& path);
bool IsDotEntry(const std::string& name);
std::string GetModuleFolder();
std::string MakeTargetName(const std::string& name, const std::string& pattern);
std::string ApplyWildcardPattern(const std::string& source, const std::string& pattern, bool isExtension);
bool GetFreeDiskSpaceMB(const std::string& path, std::uint64_t& megabytes);

} // namespace dorvik
