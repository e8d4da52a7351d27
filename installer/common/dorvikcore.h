// What Dorvik's application object holds for the whole run and what every
// part of the installer reaches through it: the log, the one server object,
// quiet mode.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace dmo {
class SQLServer;
}

namespace dorvik {

class CLogFile;

class CDorvikCore {
public:
    static CDorvikCore& Get();

    // Dorvik's log (the default file), made on first use.
    CLogFile& GetLog();
    void SetLog(std::unique_ptr<CLogFile> log);

    std::shared_ptr<dmo::SQLServer> GetServer() const;
    void SetServer(std::shared_ptr<dmo::SQLServer> server);
    // The server once its connection has been checked (and made again when
    // it had died); null when there is none that works.
    std::shared_ptr<dmo::SQLServer> GetLiveServer() const;
    // The live server's default backup folder (its root's "backup"); ""
    // without a live server.
    std::string GetBackupDirectory() const;

    bool IsQuiet() const;
    void SetQuiet(bool quiet);

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<CLogFile> m_log;
    std::shared_ptr<dmo::SQLServer> m_server;
    bool m_bQuiet = false;
};

} // namespace dorvik
