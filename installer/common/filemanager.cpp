#include "installer/common/filemanager.h"

#include "installer/common/utils.h"
#include "winapi/errors.h"

#include <filesystem>
#include <optional>

namespace dorvik {

namespace {

const char* operationWord(int operation)
{
    switch (operation) {
    case CFileManager::opCopy: return "COPY";
    case CFileManager::opDelete: return "DELETE";
    case CFileManager::opMove: return "MOVE";
    case CFileManager::opRename: return "RENAME";
    case CFileManager::opSetAttributes: return "SET ATTRIBUTES";
    case CFileManager::opClearAttributes: return "CLEAR ATTRIBUTES";
    default: return "";
    }
}

std::string join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::size_t utf8CharLength(const std::string& s, std::size_t i)
{
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    return std::min(n, s.size() - i);
}

// The path of `inner` below `outer`, both resolved: nullopt when `inner`
// does not lie below `outer`, "" when they are the same folder.
std::optional<std::filesystem::path> pathBelow(const std::string& inner, const std::string& outer)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path a = fs::weakly_canonical(inner, ec);
    if (ec)
        return std::nullopt;
    fs::path b = fs::weakly_canonical(outer, ec);
    if (ec)
        return std::nullopt;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty())
            continue; // a trailing separator
        if (ai == a.end() || *ai != *bi)
            return std::nullopt;
    }
    fs::path rest;
    for (; ai != a.end(); ++ai)
        if (!ai->empty())
            rest /= *ai;
    return rest;
}

// A name the rename pattern may give: one entry of the same folder.
bool isPlainName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

} // namespace

std::string CFileManager::ResolvePath(const std::string& path) const
{
    return !path.empty() && path[0] == '/' ? path : GetProgramFolder() + "/" + path;
}

void TFilePath::Set(const std::string& path, bool split)
{
    m_strPath = path;
    while (m_strPath.size() > 1 && m_strPath.back() == '/')
        m_strPath.pop_back();
    m_strName.clear();
    if (split) {
        auto slash = m_strPath.rfind('/');
        m_strName = m_strPath.substr(slash + 1);
        m_strPath.erase(slash == 0 ? 1 : slash);
    }
    m_nNamePos = m_strPath.size();
}

void TFilePath::Clear()
{
    m_strPath.clear();
    m_strName.clear();
    m_nNamePos = 0;
}

void CFileManager::Reset()
{
    m_source.Clear();
    m_target.Clear();
    m_nOperation = opNone;
    m_nOptions = 0;
    m_dwAttributes = 0;
    SetError(errOK);
}

void CFileManager::SetError(int code)
{
    m_nError = code;
    m_dwSystemError = 0;
    switch (code) {
    case errOK:
        m_strMessage = "OK";
        break;
    case errNotFound:
        m_strMessage = "Fite not found : " + join(m_baseSource, m_source.m_strName);
        break;
    case errCreatePath:
        m_strMessage = "Can not create path : " + m_target.m_strPath;
        break;
    case errIO:
        m_dwSystemError = winapi::GetLastError();
        m_strMessage = "i/o error " + std::to_string(m_dwSystemError) + ": " +
                       winapi::FormatMessage(m_dwSystemError) + "\r\n" + operationWord(m_nOperation) + " : " +
                       m_source.m_strPath + " " + m_target.m_strPath;
        break;
    case errTerminated:
        m_strMessage = "Terminated by user";
        break;
    default:
        m_strMessage.clear();
        break;
    }
}

bool CFileManager::Copy(const std::string& source, const std::string& target, bool overwrite,
                        bool clearReadOnly, bool recursive, bool ignoreErrors)
{
    Reset();
    m_nOperation = opCopy;
    m_source.Set(ResolvePath(source), true);
    m_target.Set(ResolvePath(target), false);
    m_nOptions = (overwrite ? optOverwrite : 0u) | (clearReadOnly ? optClearReadOnly : 0u) |
                 (recursive ? optFolders | optRecursive | optFolderFirst : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    if (recursive && WalkWouldEnter(m_target.m_strPath)) {
        // The walk would meet its own copies, level after level.
        winapi::SetLastError(winapi::kErrorInvalidParameter);
        SetError(errIO);
        return false;
    }
    if (!CreateFolderTree(m_target.m_strPath)) {
        SetError(errCreatePath);
        return false;
    }
    return Run();
}

bool CFileManager::Move(const std::string& source, const std::string& target, bool folders, bool ignoreErrors)
{
    Reset();
    m_nOperation = opMove;
    m_source.Set(ResolvePath(source), true);
    m_target.Set(ResolvePath(target), false);
    m_nOptions = (folders ? optFolders : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    if (!CreateFolderTree(m_target.m_strPath)) {
        SetError(errCreatePath);
        return false;
    }
    return Run();
}

bool CFileManager::Rename(const std::string& source, const std::string& pattern, bool folders, bool ignoreErrors)
{
    Reset();
    m_nOperation = opRename;
    m_source.Set(ResolvePath(source), true);
    m_target.m_strName = pattern;
    m_nOptions = (folders ? optFolders : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    if (pattern.find('/') != std::string::npos) {
        // Items stay in their folder.
        winapi::SetLastError(winapi::kErrorInvalidParameter);
        SetError(errIO);
        return false;
    }
    return Run();
}

bool CFileManager::Delete(const std::string& path, bool recursive, bool ignoreErrors)
{
    Reset();
    m_nOperation = opDelete;
    m_source.Set(ResolvePath(path), true);
    m_nOptions = (recursive ? optFolders | optRecursive : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    if (recursive && winapi::IsGuardedPath(m_source.m_strPath) && NameIsMask()) {
        // A mask over such a folder would empty it; one name in it is
        // judged as an item.
        winapi::SetLastError(winapi::kErrorInvalidParameter);
        SetError(errIO);
        return false;
    }
    return Run();
}

bool CFileManager::SetAttributes(const std::string& path, DWORD attributes, bool recursive, bool ignoreErrors)
{
    Reset();
    m_nOperation = opSetAttributes;
    m_source.Set(ResolvePath(path), true);
    m_dwAttributes = attributes;
    m_nOptions = (recursive ? optFolders | optRecursive : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    return Run();
}

bool CFileManager::ClearAttributes(const std::string& path, DWORD attributes, bool recursive, bool ignoreErrors)
{
    Reset();
    m_nOperation = opClearAttributes;
    m_source.Set(ResolvePath(path), true);
    m_dwAttributes = attributes;
    m_nOptions = (recursive ? optFolders | optRecursive : 0u) | (ignoreErrors ? optIgnoreErrors : 0u);
    return Run();
}

bool CFileManager::CreatePath(const std::string& path)
{
    Reset();
    m_nOperation = opCreatePath;
    m_target.m_strPath = path;
    OnBegin(0);
    SetError(CreateFolderTree(path) ? errOK : errCreatePath);
    OnEnd();
    return m_nError == errOK;
}

bool CFileManager::Run()
{
    m_baseSource = m_source.m_strPath;
    m_baseTarget = m_target.m_strPath;
    std::string mask = m_source.m_strName;
    auto mode = m_bExactNames ? winapi::FindMode::Exact : winapi::FindMode::Pattern;
    auto source = winapi::Folder::Open(m_baseSource);
    DWORD failure = winapi::GetLastError();
    int count = 0;
    if (source) {
        count = CountItems(*source, mask, mode);
        failure = winapi::GetLastError();
    }
    OnBegin(count);
    bool ok;
    bool twoFolders = m_nOperation == opCopy || m_nOperation == opMove;
    if (count == 0 && failure != winapi::kErrorSuccess && failure != winapi::kErrorFileNotFound &&
        failure != winapi::kErrorPathNotFound) {
        // There, but it cannot be entered or listed, or it is a link: not
        // the same as nothing found.
        winapi::SetLastError(failure);
        ok = FailFolder(m_baseSource, twoFolders ? m_baseTarget : std::string());
    } else if (count == 0) {
        SetError(errNotFound);
        ok = false;
    } else {
        std::optional<winapi::Folder> target;
        if (twoFolders) {
            target = winapi::Folder::Open(m_baseTarget);
            if (target && m_bRemoveCopyLeftovers)
                winapi::RemoveCopyLeftovers(*target);
        }
        if (twoFolders && !target)
            ok = FailFolder(m_baseSource, m_baseTarget);
        else
            ok = ProcessItems(Level{*source, target ? &*target : nullptr, ""}, mask, mode);
    }
    if (ok)
        SetError(errOK);
    OnEnd();
    return ok;
}

int CFileManager::CountItems(const winapi::Folder& folder, const std::string& mask, winapi::FindMode mode)
{
    auto entries = winapi::FindNames(folder, mask, mode);
    if (!entries)
        return 0;
    int count = 0;
    for (const auto& e : *entries) {
        if (!e.isDirectory) {
            ++count;
            continue;
        }
        if (m_nOptions & optFolders)
            ++count;
        if ((m_nOptions & optFolders) && (m_nOptions & optRecursive))
            if (auto sub = folder.OpenSub(e.name))
                count += CountItems(*sub, "*", winapi::FindMode::Pattern);
    }
    winapi::SetLastError(winapi::kErrorSuccess);
    return count;
}

bool CFileManager::FailFolder(const std::string& source, const std::string& target)
{
    DWORD error = winapi::GetLastError();
    m_source.m_strPath = source;
    m_target.m_strPath = target;
    winapi::SetLastError(error);
    return FinishItem(errIO);
}

bool CFileManager::ProcessItems(const Level& level, const std::string& mask, winapi::FindMode mode)
{
    // A snapshot: items renamed or created by the walk are not met again.
    // Only names and kinds are used, so no entry is looked at on its own.
    auto entries = winapi::FindNames(level.source, mask, mode);
    if (!entries) {
        if (winapi::GetLastError() == winapi::kErrorFileNotFound)
            return true; // an empty folder
        return FailFolder(join(m_baseSource, level.relative),
                          level.target ? join(m_baseTarget, level.relative) : std::string());
    }
    for (const auto& e : *entries) {
        if (!ContinueOperation()) {
            SetError(errTerminated);
            return false;
        }
        if (e.isDirectory && !(m_nOptions & optFolders))
            continue;
        bool ok = e.isDirectory && (m_nOptions & optRecursive) ? ProcessFolder(level, e) : ProcessItem(level, e);
        if (!ok)
            return false;
    }
    return true;
}

bool CFileManager::ProcessFolder(const Level& level, const winapi::FindData& entry)
{
    std::string below = level.relative.empty() ? entry.name : level.relative + "/" + entry.name;
    if (m_nOperation == opDelete)
        return DeleteFolder(level.source, entry.name, join(m_baseSource, below));
    bool folderFirst = (m_nOptions & optFolderFirst) != 0;
    if (folderFirst && !ProcessItem(level, entry))
        return false;
    bool madeNow = folderFirst && m_bItemCreated; // nothing can have been left in it
    // Each level is opened from the one above it, so a folder swapped for a
    // link since the listing fails here instead of leading elsewhere.
    auto source = level.source.OpenSub(entry.name);
    std::optional<winapi::Folder> target;
    if (source && level.target)
        target = level.target->OpenSub(entry.name);
    if (!source || (level.target && !target))
        return FailFolder(join(m_baseSource, below), level.target ? join(m_baseTarget, below) : std::string());
    if (target && m_bRemoveCopyLeftovers && !madeNow)
        winapi::RemoveCopyLeftovers(*target);
    if (!ProcessItems(Level{*source, target ? &*target : nullptr, below}, "*", winapi::FindMode::Pattern))
        return false;
    return folderFirst || ProcessItem(level, entry);
}

// A folder and its content go through the descriptor walk of the platform,
// which never follows a link; each entry is still one item.
bool CFileManager::DeleteFolder(const winapi::Folder& folder, const std::string& name, const std::string& path)
{
    class Events : public winapi::DeleteTreeEvents {
    public:
        explicit Events(CFileManager& owner) : m_owner(owner) { refuseReadOnly = true; }
        bool OnEntry(const std::string& path, bool) override
        {
            if (!m_owner.ContinueOperation()) {
                m_owner.SetError(errTerminated);
                m_terminated = true;
                return false;
            }
            m_owner.m_source.m_strPath = path;
            m_owner.OnBeforeItem();
            return true;
        }
        bool OnResult(const std::string&, bool, bool removed) override
        {
            m_failed = !m_owner.FinishItem(removed ? errOK : errIO);
            return !m_failed;
        }
        bool m_terminated = false;
        bool m_failed = false;

    private:
        CFileManager& m_owner;
    } events(*this);

    if (winapi::IsGuardedPath(path)) {
        m_source.m_strPath = path;
        OnBeforeItem();
        winapi::SetLastError(winapi::kErrorInvalidParameter);
        return FinishItem(errIO);
    }
    winapi::DeleteTree(folder, name, path, events);
    if (events.m_terminated || events.m_failed)
        return false;
    SetError(errOK);
    return true;
}

bool CFileManager::ProcessItem(const Level& level, const winapi::FindData& entry)
{
    m_strItem = level.relative.empty() ? entry.name : level.relative + "/" + entry.name;
    m_source.m_strPath = join(m_baseSource, m_strItem);
    std::string newName;
    if (m_nOperation == opCopy || m_nOperation == opMove) {
        m_target.m_strPath = join(m_baseTarget, m_strItem);
    } else if (m_nOperation == opRename) {
        newName = MakeTargetName(entry.name, m_target.m_strName);
        m_target.m_strPath = join(join(m_baseSource, level.relative), newName);
    }
    m_bItemCreated = false;
    OnBeforeItem();
    int result = errOK;
    switch (m_nOperation) {
    case opCopy: result = CopyItem(level, entry.name, entry.isDirectory); break;
    case opDelete: result = DeleteItem(level, entry.name, entry.isDirectory); break;
    case opMove: result = MoveItem(level, entry.name); break;
    case opRename:
        if (isPlainName(newName)) {
            result = RenameItem(level, entry.name, newName);
        } else {
            winapi::SetLastError(winapi::kErrorInvalidParameter);
            result = errIO;
        }
        break;
    case opSetAttributes:
    case opClearAttributes:
        // Nothing is ever changed through a link.
        if (!entry.isSymlink)
            result = SetItemAttributes(level.source, entry.name);
        break;
    default: break;
    }
    return FinishItem(result);
}

bool CFileManager::FinishItem(int result)
{
    SetError(result);
    OnAfterItem();
    if (result != errOK && (m_nOptions & optIgnoreErrors)) {
        OnIgnoredError();
        return true;
    }
    return result == errOK;
}

bool CFileManager::NameIsMask() const
{
    return !m_bExactNames && m_source.m_strName.find_first_of("*?") != std::string::npos;
}

bool CFileManager::WalkWouldEnter(const std::string& folder) const
{
    auto below = pathBelow(folder, m_source.m_strPath);
    if (!below)
        return false;
    if (below->empty())
        return true;
    std::string first = below->begin()->string();
    return m_bExactNames ? first == m_source.m_strName : winapi::MatchFilePattern(first, m_source.m_strName);
}

int CFileManager::CopyItem(const Level& level, const std::string& name, bool isFolder)
{
    if (isFolder) {
        if (winapi::CreateDirectory(*level.target, name)) {
            m_bItemCreated = true;
            return errOK;
        }
        if (m_bExistingFolderOk && winapi::IsDirectory(*level.target, name))
            return errOK;
        return errIO;
    }
    if (!winapi::CopyFile(level.source, name, *level.target, name, !(m_nOptions & optOverwrite)))
        return errIO;
    m_bItemCreated = true;
    if (!(m_nOptions & optClearReadOnly))
        return errOK;
    OnSubOperation();
    int operation = m_nOperation;
    DWORD attributes = m_dwAttributes;
    std::string source = m_source.m_strPath;
    m_nOperation = opClearAttributes;
    m_dwAttributes = winapi::FILE_ATTRIBUTE_READONLY;
    m_source.m_strPath = m_target.m_strPath;
    int result = SetItemAttributes(*level.target, name);
    m_source.m_strPath = source;
    m_nOperation = operation;
    m_dwAttributes = attributes;
    OnSubOperation();
    return result;
}

int CFileManager::DeleteItem(const Level& level, const std::string& name, bool isFolder)
{
    bool ok = isFolder ? winapi::RemoveDirectory(level.source, name) : winapi::DeleteFile(level.source, name);
    return ok ? errOK : errIO;
}

int CFileManager::MoveItem(const Level& level, const std::string& name)
{
    return winapi::MoveFile(level.source, name, *level.target, name) ? errOK : errIO;
}

int CFileManager::RenameItem(const Level& level, const std::string& name, const std::string& newName)
{
    return winapi::MoveFile(level.source, name, level.source, newName) ? errOK : errIO;
}

int CFileManager::SetItemAttributes(const winapi::Folder& folder, const std::string& name)
{
    DWORD attributes = winapi::GetFileAttributes(folder, name);
    if (attributes == winapi::INVALID_FILE_ATTRIBUTES)
        return errIO;
    if (m_nOperation == opSetAttributes)
        attributes |= m_dwAttributes;
    else
        attributes &= ~m_dwAttributes;
    return winapi::SetFileAttributes(folder, name, attributes) ? errOK : errIO;
}

// ---------------------------------------------------------------------------

CSetupFileManager::CSetupFileManager()
{
    m_bExactNames = true;
    m_bExistingFolderOk = true;
    m_bRemoveCopyLeftovers = true;
}

void CSetupFileManager::OnAfterItem()
{
    if (m_created && m_nOperation == opCopy && m_nError == errOK && m_bItemCreated)
        m_created->push_back(m_strItem);
}

bool CSetupFileManager::Copy(const std::string& source, const std::string& target, bool recursive, bool pattern)
{
    m_bExactNames = !pattern;
    bool ok = CFileManager::Copy(source, target, true, false, recursive, false);
    m_bExactNames = true;
    return ok;
}

bool CSetupFileManager::Delete(const std::string& path, bool ignoreErrors)
{
    return CFileManager::Delete(path, true, ignoreErrors);
}

// ---------------------------------------------------------------------------

bool CreateFolderTree(const std::string& path)
{
    if (path.empty())
        return false;
    // Each prefix up to a separator, then the whole path; the root itself
    // is never created.
    std::size_t pos = path[0] == '/' ? path.find_first_not_of('/') : 0;
    if (pos == std::string::npos)
        return true;
    for (;;) {
        std::size_t slash = path.find('/', pos);
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && !winapi::IsEnterableDirectory(prefix) && !winapi::CreateDirectory(prefix) &&
            !winapi::IsEnterableDirectory(prefix))
            return false;
        if (slash == std::string::npos)
            return true;
        pos = slash + 1;
    }
}

bool CreateDirectories(const std::string& path) { return CreateFolderTree(path); }

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

std::string GetModuleFolder() { return GetProgramFolder(); }

std::string ApplyWildcardPattern(const std::string& source, const std::string& pattern, bool isExtension)
{
    if (pattern.empty())
        return isExtension ? std::string() : source;
    std::string out;
    std::size_t s = 0;
    for (char c : pattern) {
        if (c == '*') {
            out += source.substr(s);
            s = source.size();
        } else if (c == '?') {
            if (s < source.size()) {
                std::size_t n = utf8CharLength(source, s);
                out += source.substr(s, n);
                s += n;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string MakeTargetName(const std::string& name, const std::string& pattern)
{
    if (pattern.empty())
        return name;
    auto split = [](const std::string& text) {
        auto dot = text.rfind('.');
        return dot == std::string::npos ? std::pair(text, std::string())
                                        : std::pair(text.substr(0, dot), text.substr(dot + 1));
    };
    auto [base, ext] = split(name);
    auto [patternBase, patternExt] = split(pattern);
    std::string newBase = ApplyWildcardPattern(base, patternBase, false);
    std::string newExt = ApplyWildcardPattern(ext, patternExt, true);
    if (newBase.empty())
        return newExt;
    return newExt.empty() ? newBase : newBase + "." + newExt;
}

bool GetFreeDiskSpaceMB(const std::string& path, std::uint64_t& megabytes)
{
    return winapi::GetFreeDiskSpaceMB(path, megabytes);
}

} // namespace dorvik
