// Dorvik's command language: a step line is cut into tokens, its keyword
// looked up, its arguments counted and converted, and the command run; every
// failure becomes a numbered result code with a text, and what the command
// did is kept in a protocol for the log.
#pragma once

#include "installer/packed/compressfile.h"
#include "installer/packed/scripttext.h"
#include "installer/common/runcontext.h"
#include "installer/common/slist.h"
#include "winapi/prompt.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace dmo {
class Table;
class SQLServer;
class Database;
} // namespace dmo

namespace winapi {
class PromptOwner;
}

namespace dorvik {

class CFileManager;

// What the commands show on the progress dialog (line 2: the items of a
// long command).
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetLineText(int line, const std::string& text) = 0;
    virtual void SetRange(int line, int max) = 0;
    virtual void SetPos(int line, int pos) = 0;
    virtual void StepIt(int line) = 0;
    virtual void ShowThirdLine(bool show) = 0;
    // Line 0 counts sections, line 1 the steps of a section; the engine
    // also sets the title, advances by several steps and ends the run.
    virtual void SetTitle(const std::string& text) {}
    virtual void OffsetPos(int line, int offset) {}
    virtual void Close() {}
    // The window that boxes asked during the run belong to; null, or one
    // without a window, when nothing is shown.
    virtual std::shared_ptr<winapi::PromptOwner> GetOwner() const { return nullptr; }
};

struct TLexema : TListItem {
    explicit TLexema(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

// The tokens of one line: 1 the keyword, 2..n the arguments.
class CCommand : public CSList {
public:
    const std::string& GetLexema(int index) const;
};

// The failure of a bulk-copy load: its text and the data file.
class CExceptLoadFromBCP : public std::runtime_error {
public:
    CExceptLoadFromBCP(std::string text, std::string file)
        : std::runtime_error(text), m_strText(std::move(text)), m_strFile(std::move(file))
    {
    }
    std::string m_strText;
    std::string m_strFile;
};

// "HRESULT : n", "MESSAGE : text", "DESCRIPTION : text", each line after
// `prefix`.
std::string FormatComError(const std::string& prefix, std::int32_t hresult, const std::string& description);

class CCommander {
public:
    struct TScriptReturn {
        std::int32_t m_nReaction = 1000;
        std::int32_t m_nValue = -1;
        bool m_bSuppressMessage = false;
        bool IsValid() const;
    };

    struct TProtocol {
        std::string m_strText;
        std::int32_t m_nLine = 0;
        std::int32_t m_nWarnings = 0;
        void AddLine(const std::string& text, bool numbered, bool warning);
        void SetBlock(const std::string& text, bool framed, bool warning);
        void Clear();
    };

    class CDorvikFileManager;

    CCommander(RunContext& run, IProgress* progress);
    CCommander(const CCommander&) = delete;
    CCommander& operator=(const CCommander&) = delete;
    virtual ~CCommander();

    // True when the result code is 0. `server` may be null for commands
    // that need none.
    bool Execute(dmo::SQLServer* server, const std::string& line);
    void Reset();

    int GetResultCode() const { return m_nResult; }
    // The keyword of the last line run, as it was written.
    const std::string& GetKeyword() const { return m_strKeyword; }
    // Null for a code without text.
    const char* GetResultText() const;
    static const char* GetResultText(int code);
    const std::string& GetDetailText() const { return m_strDetail; }
    const TScriptReturn& GetScriptReturn() const { return m_return; }
    const TProtocol& GetProtocol() const { return m_protocol; }
    TProtocol& Protocol() { return m_protocol; }
    IProgress* GetProgress() const { return m_pProgress; }
    RunContext& Context() const { return m_run; }

    // 9 when the run is cancelled, 8 when the server's connection is dead
    // and cannot be made again, 0 otherwise.
    int CheckConnection(dmo::SQLServer* server);

    // The section's packed data file; an empty name only closes it.
    bool OpenPackedFile(const std::string& path);
    void ClosePackedFile();
    bool IsPackedFileOpen() const { return m_bPackedOpen; }

    // The macro substitution of the current step, for scripts run with it;
    // `shown` makes the text the log shows of a batch (the password hidden).
    void SetSubstitution(std::function<std::string(const std::string&)> substitute,
                         std::function<std::string(const std::string&)> shown = {});

    // The database a step names, from the server's list read afresh, so
    // that one an earlier step created is found. The last one a script or
    // bulk load used stays open for the next step, so that steps on one
    // database in turn share its session as they would share the server's
    // one connection; a step on another database, any other command and a
    // transaction left open end it.
    std::shared_ptr<dmo::Database> OpenDatabase(dmo::SQLServer* server, const std::string& name);
    void CloseDatabase();

    // The tokens of the line just split (for tests of the splitter).
    const CCommand& GetCommand() const { return m_command; }
    void SplitLine(const std::string& line);

protected:
    int Translate(int& command) const;
    void AddNotices();
    int Run(dmo::SQLServer* server);
    int Dispatch(dmo::SQLServer* server, int command);

    int RunScript(dmo::SQLServer* server, const std::string& database, const std::string& file,
                  bool returnsValues, bool substitute);
    void LoadScriptBatches(const std::string& file, std::vector<std::string>& batches);

    int FileCopy(const std::string& source, const std::string& target, bool overwrite, bool clearReadOnly,
                 bool recursive, bool ignoreErrors);
    int FileMove(const std::string& source, const std::string& target, bool folders, bool ignoreErrors);
    int FileRename(const std::string& source, const std::string& pattern, bool folders, bool ignoreErrors);
    int FileDelete(const std::string& path, bool recursive, bool ignoreErrors);
    int FileSetAttributes(const std::string& path, std::uint32_t mask, bool recursive, bool ignoreErrors);
    int FileClearAttributes(const std::string& path, std::uint32_t mask, bool recursive, bool ignoreErrors);
    int FileCreatePath(const std::string& path);
    int TakeFileResult(const CFileManager& manager);

    // Whole databases, table structure and permissions.
    // 0 restored, 7 when the restore cannot be set up, 9 when Cancel stopped
    // it (the database then stays as it was).
    int LoadDump(dmo::SQLServer* server, const std::string& database, const std::string& file);
    int RemoveDB(dmo::SQLServer* server, const std::string& database);
    int SyncDBs(dmo::SQLServer* server, const std::string& target, const std::string& reference);
    // The passes walk the tables of one side as SyncDBs read them
    // (Tables::LoadAll): the target's for the keys, the reference's else;
    // each finds the other side's tables among those read with it.
    int StripForeignKeys(dmo::SQLServer* server, dmo::Database& target, dmo::Database& reference,
                         const std::vector<std::shared_ptr<dmo::Table>>& targetTables,
                         const std::vector<std::shared_ptr<dmo::Table>>& referenceTables, std::string& step);
    int StripTableObjects(dmo::SQLServer* server, dmo::Database& target, dmo::Database& reference,
                          const std::vector<std::shared_ptr<dmo::Table>>& targetTables,
                          const std::vector<std::shared_ptr<dmo::Table>>& referenceTables, std::string& step);
    int ProcessPermissions(dmo::SQLServer* server, const std::string& database, const std::string& file, bool save,
                           bool tables, bool views, bool procedures, bool deleteFile, bool grantToPublic,
                           bool functions);

private:
    TScriptReturn m_return;
    CPackedFile m_packed;
    bool m_bPackedOpen = false;
    std::function<std::string(const std::string&)> m_substitute;
    std::function<std::string(const std::string&)> m_shownSubstitute;
    std::shared_ptr<dmo::Database> m_database;
    dmo::SQLServer* m_databaseServer = nullptr;
    // What the server said beside the results of the current command.
    std::vector<std::pair<std::string, std::string>> m_notices;
    RunContext& m_run;
    IProgress* m_pProgress;
    CCommand m_command;
    int m_nResult = 0;
    std::string m_strKeyword;
    std::string m_strDetail;
    TProtocol m_protocol;
};

// "name : string" in the interface language on progress line 2; `text`
// receives the same in English, for the log.
void SetProgressResourceText(CCommander& commander, int id, const std::string& name, std::string& text);

} // namespace dorvik
