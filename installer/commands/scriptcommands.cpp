#include "installer/commands/commander.h"

#include "installer/commands/bulkcopy.h"
#include "installer/common/filemanager.h"
#include "installer/common/utils.h"
#include "dmo/dmo.h"
#include "winapi/folders.h"
#include "winapi/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace dorvik {

namespace {

enum Command {
    cmdConfigDB,
    cmdScript,
    cmdRScript,
    cmdLoadBcp,
    cmdLoadDump,
    cmdRemoveDB,
    cmdSyncDBs,
    cmdSavePermissions,
    cmdRestorePermissions,
    cmdFileCopy,
    cmdFileMove,
    cmdFileRename,
    cmdFileDelete,
    cmdFileSetAttributes,
    cmdFileClearAttributes,
    cmdFileCreatePath,
    cmdListChangedObjects,
};

struct Keyword {
    const char* name;
    int minArgs;
    int maxArgs;
};

const Keyword kKeywords[] = {
    {"ConfigDB", 0, 0},
    {"Script", 2, 3},
    {"RScript", 2, 3},
    {"LoadBcp", 2, 3},
    {"LoadDump", 2, 2},
    {"RemoveDB", 1, 1},
    {"SyncDBs", 2, 2},
    {"SavePermissions", 6, 6},
    {"RestorePermissions", 8, 8},
    {"FileCopy", 6, 6},
    {"FileMove", 4, 4},
    {"FileRename", 4, 4},
    {"FileDelete", 3, 3},
    {"FileSetAttributes", 4, 4},
    {"FileClearAttributes", 4, 4},
    {"FileCreatePath", 1, 1},
    {"ListChangedObjects", 2, 2},
};

// The C runtime's decimal conversion: leading blanks, a sign and the
// digits that follow; anything else gives 0.
int toInt(const std::string& text)
{
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

bool isOne(const std::string& text) { return toInt(text) == 1; }

} // namespace

class CCommander::CDorvikFileManager : public CFileManager {
public:
    explicit CDorvikFileManager(CCommander& owner) : m_owner(owner) {}

protected:
    void OnBegin(int count) override
    {
        if (IProgress* p = m_owner.GetProgress()) {
            p->ShowThirdLine(true);
            p->SetRange(2, count);
            p->SetPos(2, 0);
        }
    }
    void OnBeforeItem() override
    {
        if (IProgress* p = m_owner.GetProgress())
            p->SetLineText(2, GetSourcePath());
    }
    void OnAfterItem() override
    {
        if (IProgress* p = m_owner.GetProgress())
            p->StepIt(2);
    }
    void OnEnd() override
    {
        if (IProgress* p = m_owner.GetProgress())
            p->ShowThirdLine(false);
    }
    void OnIgnoredError() override { m_owner.Protocol().AddLine("IGNORED ERROR : " + GetMessage(), true, true); }
    bool ContinueOperation() override { return !m_owner.Context().IsCancelRequested(); }
    std::string ResolvePath(const std::string& path) const override { return m_owner.Context().ResolvePath(path); }

private:
    CCommander& m_owner;
};

int CCommander::Translate(int& command) const
{
    const std::string& keyword = m_command.GetLexema(1);
    int args = m_command.GetCount() - 1;
    for (int i = 0; i < static_cast<int>(std::size(kKeywords)); ++i) {
        if (!winapi::Utf8EqualNoCase(keyword, kKeywords[i].name))
            continue;
        if (args < kKeywords[i].minArgs || args > kKeywords[i].maxArgs)
            return 4;
        command = i;
        return 0;
    }
    return 3;
}

int CCommander::Dispatch(dmo::SQLServer* server, int command)
{
    auto arg = [this](int n) -> const std::string& { return m_command.GetLexema(n + 1); };
    int args = m_command.GetCount() - 1;
    auto path = [&](int n) { return winapi::FromKitPath(arg(n)); };
    // The other commands find the databases as they stand, with no session
    // of an earlier step left on them.
    if (command != cmdScript && command != cmdRScript && command != cmdLoadBcp && command != cmdListChangedObjects)
        CloseDatabase();
    switch (command) {
    case cmdConfigDB:
        return 11;
    case cmdScript:
    case cmdRScript:
        return RunScript(server, arg(1), arg(2), command == cmdRScript, args == 3 && isOne(arg(3)));
    case cmdFileCopy:
        return FileCopy(path(1), path(2), isOne(arg(3)), isOne(arg(4)), isOne(arg(5)), isOne(arg(6)));
    case cmdFileMove:
        return FileMove(path(1), path(2), isOne(arg(3)), isOne(arg(4)));
    case cmdFileRename:
        return FileRename(path(1), arg(2), isOne(arg(3)), isOne(arg(4)));
    case cmdFileDelete:
        return FileDelete(path(1), isOne(arg(2)), isOne(arg(3)));
    case cmdFileSetAttributes:
        return FileSetAttributes(path(1), static_cast<std::uint32_t>(toInt(arg(2))), isOne(arg(3)), isOne(arg(4)));
    case cmdFileClearAttributes:
        return FileClearAttributes(path(1), static_cast<std::uint32_t>(toInt(arg(2))), isOne(arg(3)),
                                   isOne(arg(4)));
    case cmdFileCreatePath:
        return FileCreatePath(path(1));
    case cmdLoadDump:
        return LoadDump(server, arg(1), path(2));
    case cmdRemoveDB:
        return RemoveDB(server, arg(1));
    case cmdSyncDBs:
        return server ? SyncDBs(server, arg(1), arg(2)) : 8;
    case cmdSavePermissions:
        return ProcessPermissions(server, arg(1), m_run.ResolvePath(path(2)), true, isOne(arg(3)), isOne(arg(4)),
                                  isOne(arg(5)), false, false, isOne(arg(6)));
    case cmdRestorePermissions:
        return ProcessPermissions(server, arg(1), m_run.ResolvePath(path(2)), false, isOne(arg(3)), isOne(arg(4)),
                                  isOne(arg(5)), isOne(arg(6)), isOne(arg(7)), isOne(arg(8)));
    case cmdLoadBcp:
        LoadFromBcp(*this, server, arg(1), arg(2), args < 3 || toInt(arg(3)) != 0);
        return 0;
    case cmdListChangedObjects:
        return ListChangedObjects(*this, server, arg(1), arg(2));
    default:
        return 3; // Translate hands over only the table's commands
    }
}

void CCommander::LoadScriptBatches(const std::string& file, std::vector<std::string>& batches)
{
    batches.clear();
    std::string text;
    if (m_bPackedOpen && m_packed.HasEntry(file)) {
        std::vector<std::uint8_t> bytes;
        if (!m_packed.ReadEntry(file, bytes))
            throw 6;
        text.assign(bytes.begin(), bytes.end());
    } else {
        std::string path = m_run.ResolvePath(winapi::FromKitPath(file));
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw 6; // a folder would read as an empty script
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw 6;
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad())
            throw 6;
    }
    // Editors save UTF-8 with a byte-order mark; the server must not see it.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    batches = SplitScriptBatches(text);
}

int CCommander::RunScript(dmo::SQLServer* server, const std::string& database, const std::string& file,
                          bool returnsValues, bool substitute)
{
    m_return.m_bSuppressMessage = true;
    std::vector<std::string> batches;
    LoadScriptBatches(file, batches);
    bool several = batches.size() > 1;
    if (several && m_pProgress) {
        m_pProgress->ShowThirdLine(true);
        m_pProgress->SetRange(2, static_cast<int>(batches.size()));
        m_pProgress->SetPos(2, 0);
    }
    int result = 0;
    std::shared_ptr<dmo::Database> db;
    if (server) {
        // A connection lost since the last step is reset before the
        // database list is read through it.
        result = CheckConnection(server);
        if (result == 0)
            db = OpenDatabase(server, database);
    }
    std::size_t count = result == 0 ? batches.size() : 0;
    for (std::size_t i = 0; i < count; ++i) {
        result = db ? CheckConnection(server) : 8;
        if (result)
            break;
        if (m_pProgress)
            m_pProgress->SetLineText(2, "Command " + std::to_string(i));
        std::string batch = substitute && m_substitute ? m_substitute(batches[i]) : batches[i];
        m_protocol.SetBlock(substitute && m_shownSubstitute ? m_shownSubstitute(batches[i]) : batch, true, false);
        if (!returnsValues) {
            db->ExecuteImmediate(batch);
        } else {
            auto results = db->ExecuteWithResults(batch);
            results->SetCurrentResultSet(results->ResultSets());
            if (results->Rows() == 1 && results->Columns() == 2) {
                m_return.m_nReaction = results->GetColumnLong(1, 1);
                m_return.m_nValue = results->GetColumnLong(1, 2);
            }
            result = 5;
        }
        if (m_pProgress)
            m_pProgress->StepIt(2);
    }
    if (several && m_pProgress)
        m_pProgress->ShowThirdLine(false);
    if (result == 0)
        m_protocol.Clear();
    m_return.m_bSuppressMessage = false;
    return result;
}

int CCommander::TakeFileResult(const CFileManager& manager)
{
    switch (manager.GetErrorCode()) {
    case CFileManager::errOK:
        return 0;
    case CFileManager::errTerminated:
        return 9;
    default:
        m_strDetail = manager.GetMessage();
        return 21;
    }
}

int CCommander::FileCopy(const std::string& source, const std::string& target, bool overwrite, bool clearReadOnly,
                         bool recursive, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.Copy(source, target, overwrite, clearReadOnly, recursive, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileMove(const std::string& source, const std::string& target, bool folders, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.Move(source, target, folders, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileRename(const std::string& source, const std::string& pattern, bool folders, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.Rename(source, pattern, folders, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileDelete(const std::string& path, bool recursive, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.Delete(path, recursive, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileSetAttributes(const std::string& path, std::uint32_t mask, bool recursive, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.SetAttributes(path, mask, recursive, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileClearAttributes(const std::string& path, std::uint32_t mask, bool recursive, bool ignoreErrors)
{
    CDorvikFileManager manager(*this);
    manager.ClearAttributes(path, mask, recursive, ignoreErrors);
    return TakeFileResult(manager);
}

int CCommander::FileCreatePath(const std::string& path)
{
    CDorvikFileManager manager(*this);
    manager.CreatePath(path);
    return TakeFileResult(manager);
}

} // namespace dorvik
