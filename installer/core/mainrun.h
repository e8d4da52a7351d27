// Dorvik's start-up and main run without a display: the command line, the
// INI file's path, the start-up checks, the connection, the run of the
// installation under the progress dialog, the end of the log and the
// outcome. The program's windows implement IMainView; tests drive the same
// flow with a view of their own.
#pragma once

#include "installer/commands/commander.h"
#include "installer/common/utils.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace dmo {
class SQLServer;
}

namespace dorvik {

class CInstallData;
class CProgressState;

// The original's command line: a flag ('-' first) "quite" in any case sets
// quiet mode; the first plain argument is the INI file (a path starting with
// '/' is a path, never a flag).
struct CDorvikCommandLineInfo {
    int m_nQuiet = 0;
    std::string m_strFileName;
    void ParseParam(const std::string& param, bool flag, bool last);
    void Parse(const std::vector<std::string>& args);
};

// Without a file name the program's path with ".ini" in place of its
// extension; an absolute name as it is; a relative one in the program's
// folder.
std::string ResolveIniPath(const std::string& programPath, const std::string& fileName);

// The library version check of start-up: major 7 or more except 7.0.0 and
// 7.0.1, and a product version above 7.0 or a low word of at least 0x80027.
bool DmoVersionPasses(int major, int minor, int build, std::uint32_t productMS, std::uint32_t productLS);

// The outcome message of a status.
int OutcomeStringId(int status);

// The main window's background: horizontal bands from the top, each a
// little lighter, while a band's bottom lies above the client's bottom.
struct Band {
    int top;
    int height;
    std::uint8_t red, green, blue;
};
std::vector<Band> BackgroundBands(int clientHeight);

// What the main run asks of the windows.
class IMainView {
public:
    virtual ~IMainView() = default;
    // The window boxes belong to (the main frame).
    virtual std::shared_ptr<winapi::PromptOwner> GetOwner() = 0;
    // The main window's title and repaint after a change of language.
    virtual void LanguageChanged() {}
    virtual void ShowWaiting(const std::string& text) {}
    virtual void HideWaiting() {}
    // Shows the progress dialog modally until the run closes it (false) or
    // the user confirms Cancel (true).
    virtual bool ShowProgress(CProgressState& progress) = 0;
    // Waits for the worker's completion, keeping the windows alive.
    virtual void WaitFor(const CManualEvent& done) { done.Wait(); }
    // The wizard: 12325 (Finish), 2 (Cancel) or another end; throws what
    // the wizard throws. Without a wizard in this build, nullopt.
    virtual std::optional<int> RunWizard(CInstallData& data) { return std::nullopt; }
    virtual void ShowLog(const std::string& path) {}
};

class CMainRun {
public:
    static constexpr int kFinish = 12325;

    CMainRun(RunContext& run, IMainView& view);
    ~CMainRun();
    RunContext& Context() const { return m_run; }
    // The windows, once they exist.
    void SetView(IMainView& view) { m_view = &view; }

    // Start-up steps 3 to 10 after the single-instance check: the log's
    // header, the command line, the INI path and kit folder, the server
    // object and its checks. False after a fatal failure (reported, log
    // closed).
    bool Start(const std::vector<std::string>& args, const std::string& programPath);
    // The main run: INI, connection or wizard, installation, end of the
    // log, outcome. Returns the run's status (0..3).
    int Run();

    bool Connect(const std::string& server, const std::string& user, const std::string& password, bool trusted,
                 bool showWaiting);
    // Drops the connection (ignoring errors), sets the server object up as
    // start-up did, and connects again.
    bool Reconnect(const std::string& server, const std::string& user, const std::string& password, bool trusted,
                   bool showWaiting);
    // Log text, status 2 in the end record, log closed, then the message
    // unless quiet.
    void ReportFatal(const std::string& logText, const std::string& messageText);
    void SetLanguage(int language);

    const std::string& GetIniPath() const { return m_strIniPath; }
    CInstallData& GetInstallData() { return *m_data; }
    CProgressState& GetProgress() { return *m_progress; }
    // The user-interface thread must not close the main window meanwhile.
    bool IsInstalling() const { return m_bInstalling; }

private:
    int RunInstallation();
    void FillBackupFolders();
    void ShowOutcome(int status);
    int Message(const std::string& text, int caption, UINT style);

    RunContext& m_run;
    IMainView* m_view;
    std::string m_strIniPath;
    std::shared_ptr<CInstallData> m_data;
    std::shared_ptr<CProgressState> m_progress;
    bool m_bInstalling = false;
};

} // namespace dorvik
