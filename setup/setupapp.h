// setup: installs the client application App.ini describes, as one run
// from start to end status. The windows (wizard, message boxes) are
// reached through small interfaces so that the run can be driven without a
// display.
#pragma once

#include "installer/common/logfile.h"
#include "setup/appini.h"
#include "winapi/prompt.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelm_setup {

class CSetupApp;

// The wizard of an interactive run; true when the user pressed Finish.
class ISetupWizard {
public:
    virtual ~ISetupWizard() = default;
    virtual bool Run(CSetupApp& app) = 0;
};

// The attributes a data-source section gives the ODBC driver, as key and
// value (DSN, Trusted_Connection and LANGUAGE have no counterpart in the
// drivers here). false with the reason for a server name that cannot be
// written as a data source.
bool BuildDsnAttributes(const TSec& sec, std::vector<std::pair<std::string, std::string>>& attributes,
                        std::string& error);

// Deletes the paths of Files.dat below `folder`: a line that would leave the
// folder is skipped, a folder that still holds something stays, a read-only
// file is deleted like any other. Every skip is told to `log`.
void DeleteListedPaths(const std::string& folder, const std::vector<std::string>& lines,
                       const std::function<void(const std::string&)>& log);

// Formats a string-table text with its "%s" arguments in order.
std::string FormatText(const std::string& text, const std::vector<std::string>& args);

class CSetupApp {
public:
    enum Status { Success = 0, Failed = 2, Terminated = 3 };

    CSetupApp();
    ~CSetupApp();
    CSetupApp(const CSetupApp&) = delete;
    CSetupApp& operator=(const CSetupApp&) = delete;

    // Set-up before Run.
    void ParseCommandLine(const std::vector<std::string>& args);
    void SetAdminCheck(std::function<bool()> isAdmin) { m_isAdmin = std::move(isAdmin); }
    void SetPrompt(std::shared_ptr<winapi::IPrompt> prompt) { m_prompt = std::move(prompt); }
    void SetWizard(ISetupWizard* wizard) { m_wizard = wizard; }
    // The uninstaller copied into the installation folder (default: the
    // "uninstall" beside this program).
    void SetUninstallerSource(std::string path) { m_uninstallerSource = std::move(path); }

    // The whole run; returns the run status, which is the exit status.
    int Run();

    // The steps of the run.
    bool LoadAppIni();
    std::string GetClientFolder();
    bool IsInstalled();
    // Runs the installed copy's uninstaller and waits for it; false with
    // the reason in `failure` when it could not start or did not succeed.
    bool RunUninstaller(std::string& failure);
    std::string DefaultInstallFolder() const;
    // Creates the data sources of App.ini and lists their names, one per
    // line; on failure message 146 and status 2.
    bool CreateDataSources(std::string& list);
    // The names CreateDataSources will create, one per line.
    std::string DataSourceList() const;
    int Install();
    bool CreateAppFolder(const std::string& folder);
    bool CopyAppFiles(const std::string& folder);
    bool WriteFileList(const std::string& source, const std::string& folder);
    bool CreateProgramGroup();
    bool RemoveOldFolder(const std::string& folder);
    bool CreateShortcuts(const std::string& group);
    bool RegisterUninstall();
    void Rollback();

    // An error: a stop box unless silent, and a line in the log; `extra`
    // follows the message (a system's error text).
    void Report(int id, const std::vector<std::string>& args = {}, const std::string& extra = {});
    void Log(const std::string& line);
    int Ask(const std::string& text, UINT style);

    bool IsSilent() const { return m_bSilent; }
    int GetStatus() const { return m_nStatus; }
    void SetStatus(int status) { m_nStatus = status; }
    const std::string& GetKitFolder() const { return m_strKitFolder; }
    const std::string& GetInstallFolder() const { return m_strInstallFolder; }
    void SetInstallFolder(std::string folder) { m_strInstallFolder = std::move(folder); }
    const std::string& GetGroupFolder() const { return m_strGroupFolder; }
    std::string GetProgramsFolder() const;
    CInstallData& GetData() { return m_data; }
    const CInstallData& GetData() const { return m_data; }
    TInstallInfo* GetInfo() const { return m_data.GetInstallInfo(); }
    std::shared_ptr<winapi::IPrompt> GetPrompt() const;

private:
    void OpenLog();

    CRunCommandLineInfo m_cmdInfo;
    bool m_bSilent = false;
    int m_nStatus = Success;
    std::string m_strKitFolder;
    std::string m_strInstallFolder;
    std::string m_strGroupFolder;
    std::string m_strUninstallKey;
    std::string m_uninstallerSource;
    bool m_bRegistered = false;   // this run wrote the Uninstall entry
    // What this run wrote into the installation folder, in the order it
    // was written (a folder before its content), and the highest folder of
    // the installation folder's path that it created ("" for none).
    std::vector<std::string> m_copiedPaths;
    std::string m_strCreatedFolder;
    bool m_bDataSourcesCreated = false;
    std::string m_strDataSources;
    dorvik::CSetupLogFile m_log;
    CInstallData m_data;
    std::function<bool()> m_isAdmin;
    std::shared_ptr<winapi::IPrompt> m_prompt;
    ISetupWizard* m_wizard = nullptr;
};

} // namespace kelm_setup
