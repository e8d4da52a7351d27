// What the wizard's pages reach through the application: the language, the
// one server object and its connection, the disks. The program adds the
// folder and maintenance dialogs.
#pragma once

#include "installer/core/wizardpages.h"

namespace dorvik {

class CMainRun;

class CWizardHost : public IWizardHost {
public:
    explicit CWizardHost(CMainRun& run) : m_run(run) {}

    RunContext& Context() override;
    void SetLanguage(int language) override;
    bool IsLive() override;
    bool Connect(const std::string& server, const std::string& user, const std::string& password,
                 bool trusted) override;
    bool Reconnect(const std::string& server, const std::string& user, const std::string& password,
                   bool trusted) override;
    bool IsSysAdmin() override;
    bool RefreshLogin() override;
    bool HasJobServer() override;
    std::string BackupDirectory() override;
    std::vector<std::string> DatabaseNames() override;
    std::optional<winapi::DriveId> DriveOf(const std::string& path) override;
    bool FreeSpaceMB(const std::string& path, std::uint64_t& megabytes) override;
    // Without a display there is nothing to choose with.
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& start) override
    {
        return std::nullopt;
    }
    void EditMaintenance(TDatabase& step) override {}

protected:
    CMainRun& m_run;
};

} // namespace dorvik
