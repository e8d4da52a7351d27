// The installation engine: on a worker thread it walks the enabled database
// and patch steps and runs each section's numbered step lines through the
// command interpreter, asks the questions the commands request, watches the
// cancel event and writes every section, step, protocol and status into the
// log. Its result is the installation status (0 success, 1 with warnings,
// 2 failed, 3 terminated by the user).
#pragma once

#include "installer/commands/commander.h"
#include "installer/common/utils.h"

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dmo {
class SQLServer;
}

namespace dorvik {

class CInstallData;
class CLogFile;
struct TBase;
struct TSetup;

// The log words of a status.
const char* StatusWord(int status);

class CInstaller {
public:
    CInstaller(RunContext& run, CInstallData* data, IProgress* progress);
    virtual ~CInstaller();
    CInstaller(const CInstaller&) = delete;
    CInstaller& operator=(const CInstaller&) = delete;

    int Run();

protected:
    enum KeyKind { kStep = 1, kMessage, kError, kQuestion, kDefault, kInformation };

    int RunSection(TSetup* step);
    int RunSteps();
    bool NextStep();
    int CountSteps();
    int Evaluate();
    int Reaction();
    int ConfigureMaintenance();

    // Key + step number from the current section, macro-expanded (with
    // escapes for every kind but the command line); "" when missing.
    // `shown`: as the log shows it, the login's password hidden.
    std::string ReadKey(KeyKind kind, int step, bool shown = false) const;
    void SetKeyNames(const TSetup& step);
    // The password hidden where it stands as the password: a value of a
    // connection string's password key.
    void Log(const std::string& text) const;
    // What a command wrote: its arguments that hold the password, as they
    // reach the texts of the command, also stand as the log shows them.
    void LogCommandText(const std::string& text) const;
    // The current step's arguments that differ from the log's view of them.
    void TakeShownArguments(const std::string& shownStep);
    void LogStatusLine(const char* name, const std::string& value) const;
    bool HasWindow() const;
    int Ask(const std::string& text, int caption, UINT style) const;

    CCommander m_commander;
    IProgress* m_pProgress;
    CInstallData* m_pData;
    TSetup* m_pStep = nullptr;
    int m_nStep = 0;
    std::string m_strStepText;
    int m_nStopCount = 10;
    std::string m_keyNames[7];
    bool m_bWarnings = false;
    std::string m_strPassword;
    // Arguments of the current step as run and as the log shows them.
    std::vector<std::pair<std::string, std::string>> m_shownArguments;
    std::shared_ptr<dmo::SQLServer> m_server; // held while a step runs
};

// Shared between the user-interface thread and the worker for one run.
struct CWorkerParams {
    RunContext* run = nullptr; // outlives the worker
    std::shared_ptr<CInstallData> data;
    std::shared_ptr<IProgress> progress;
    std::shared_ptr<CManualEvent> done = std::make_shared<CManualEvent>();
    std::atomic<int> result{2};
};

// The worker: runs the installation, stores the result, ends the progress
// dialog and signals completion, whatever happens inside.
void InstallWorker(std::shared_ptr<CWorkerParams> params);

} // namespace dorvik
