#include "installer/common/dorvikcore.h"

#include "installer/common/logfile.h"
#include "dmo/dmo.h"

namespace dorvik {

CDorvikCore& CDorvikCore::Get()
{
    static CDorvikCore core;
    return core;
}

CLogFile& CDorvikCore::GetLog()
{
    std::lock_guard lock(m_mutex);
    if (!m_log)
        m_log = std::make_unique<CLogFile>();
    return *m_log;
}

void CDorvikCore::SetLog(std::unique_ptr<CLogFile> log)
{
    std::lock_guard lock(m_mutex);
    m_log = std::move(log);
}

std::shared_ptr<dmo::SQLServer> CDorvikCore::GetServer() const
{
    std::lock_guard lock(m_mutex);
    return m_server;
}

void CDorvikCore::SetServer(std::shared_ptr<dmo::SQLServer> server)
{
    std::lock_guard lock(m_mutex);
    m_server = std::move(server);
}

std::shared_ptr<dmo::SQLServer> CDorvikCore::GetLiveServer() const
{
    auto server = GetServer();
    try {
        if (server && server->VerifyConnection(6))
            return server;
    } catch (const dmo::Error&) {
    }
    return nullptr;
}

std::string CDorvikCore::GetBackupDirectory() const
{
    auto server = GetLiveServer();
    std::string root = server ? server->RootDirectory() : std::string();
    return root.empty() ? root : root + "/backup";
}

bool CDorvikCore::IsQuiet() const
{
    std::lock_guard lock(m_mutex);
    return m_bQuiet;
}

void CDorvikCore::SetQuiet(bool quiet)
{
    std::lock_guard lock(m_mutex);
    m_bQuiet = quiet;
}

} // namespace dorvik
