#include "installer/core/wizardhost.h"

#include "installer/common/dorvikcore.h"
#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "dmo/dmo.h"
#include "dmo/jobs.h"

namespace dorvik {

void CWizardHost::SetLanguage(int language) { m_run.SetLanguage(language); }

bool CWizardHost::IsLive() { return CDorvikCore::Get().GetLiveServer() != nullptr; }

bool CWizardHost::Connect(const std::string& server, const std::string& user, const std::string& password,
                          bool trusted)
{
    return m_run.Connect(server, user, password, trusted, true);
}

bool CWizardHost::Reconnect(const std::string& server, const std::string& user, const std::string& password,
                            bool trusted)
{
    return m_run.Reconnect(server, user, password, trusted, true);
}

bool CWizardHost::IsSysAdmin()
{
    auto server = CDorvikCore::Get().GetLiveServer();
    return server && server->IsSysAdmin();
}

bool CWizardHost::RefreshLogin() { return m_run.GetInstallData().RefreshLogin(); }

bool CWizardHost::HasJobServer()
{
    auto server = CDorvikCore::Get().GetLiveServer();
    return server && server->GetJobServer() != nullptr;
}

RunContext& CWizardHost::Context() { return m_run.Context(); }

std::string CWizardHost::BackupDirectory() { return CDorvikCore::Get().GetBackupDirectory(); }

std::vector<std::string> CWizardHost::DatabaseNames()
{
    std::vector<std::string> names;
    auto server = CDorvikCore::Get().GetLiveServer();
    if (!server)
        throw dmo::Error(dmo::kErrConnection, m_run.Context().Text(res::IDS_CANNOT_CONNECT));
    auto databases = server->GetDatabases();
    databases->Refresh();
    for (int i = 1, n = databases->Count(); i <= n; ++i)
        names.push_back(databases->Item(i)->Name());
    return names;
}

std::optional<winapi::DriveId> CWizardHost::DriveOf(const std::string& path) { return winapi::GetDriveOfPath(path); }

bool CWizardHost::FreeSpaceMB(const std::string& path, std::uint64_t& megabytes)
{
    return winapi::GetFreeDiskSpaceMB(path, megabytes);
}

} // namespace dorvik
