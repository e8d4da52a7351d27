// uninstall: removes what setup installed (the paths of Files.dat, the
// program group, the Uninstall entry), then itself and the emptied
// installation folder.
#pragma once

#include "installer/common/logfile.h"
#include "setup/appini.h"
#include "winapi/prompt.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelm_setup {

class CUninstallApp {
public:
    enum Status { Success = 0, Failed = 2, Terminated = 3 };

    CUninstallApp();
    CUninstallApp(const CUninstallApp&) = delete;
    CUninstallApp& operator=(const CUninstallApp&) = delete;

    void ParseCommandLine(const std::vector<std::string>& args);
    void SetAdminCheck(std::function<bool()> isAdmin) { m_isAdmin = std::move(isAdmin); }
    void SetPrompt(std::shared_ptr<winapi::IPrompt> prompt) { m_prompt = std::move(prompt); }
    // The confirmation dialog of an interactive run: true for OK.
    void SetConfirm(std::function<bool(const std::string& text)> confirm) { m_confirm = std::move(confirm); }
    // The program's own path (default: the running executable).
    void SetProgramPath(std::string path) { m_strProgramPath = std::move(path); }

    int Run();

    bool LoadAppIni();
    bool Uninstall();
    bool DeleteListedFiles();
    // Deletes the own program file, then the installation folder and its
    // parents below the Program Files folder while they are empty.
    void DeleteSelf();
    // The "-o:" run: deletes `path` once the process behind `handle` has
    // ended, only when it is a temporary copy of this program (a file of
    // the same name in the temporary folder); anything else is refused.
    // Both are logged. Returns the run status.
    int DeleteTemporaryCopy(int handle, const std::string& path);
    // Whether `path` names a temporary copy of this program.
    bool IsTemporaryCopy(const std::string& path) const;

    void Report(int id, bool logged = true, const std::string& extra = {});
    void Log(const std::string& line);

    bool IsSilent() const { return m_bSilent; }
    int GetStatus() const { return m_nStatus; }
    const std::string& GetAppName() const { return m_strAppName; }
    const std::string& GetAppVer() const { return m_strAppVer; }
    std::string ConfirmText() const;

private:
    CRunCommandLineInfo m_cmdInfo;
    bool m_bSilent = false;
    int m_nStatus = Success;
    std::string m_strProgramPath;
    std::string m_strDevID;
    std::string m_strAppVer;
    std::string m_strAppGUID;
    std::string m_strAppName;
    dorvik::CSetupLogFile m_log;
    std::function<bool()> m_isAdmin;
    std::function<bool(const std::string&)> m_confirm;
    std::shared_ptr<winapi::IPrompt> m_prompt;
};

} // namespace kelm_setup
