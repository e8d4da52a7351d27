// The plain-text log of an installation run: every run appends a record (a
// header with the date and versions, the run's lines, an end record with
// the install status) to one file in the user's documents folder.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace dmo {
class SQLServer;
}

namespace dorvik {

class CLogFile {
public:
    // Dorvik's log: <documents>/Varnholt Inc/<fileName>, "Orvo-Dorvik.log"
    // when the name is null or empty. The folder is made when missing.
    explicit CLogFile(const char* fileName = nullptr);
    virtual ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Appends; never truncates. Dorvik's log is held exclusively.
    bool Open();
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // Text + CR LF; false for an empty text, a closed file or a write error.
    bool WriteLine(const std::string& text);

    void BeginLog();
    void WriteHost();
    virtual void WriteProgramVersion();
    void WriteDMOVersion();
    // `server` is the run's server object (null or dead: no live server).
    void WriteSQLServerVersion(dmo::SQLServer* server);
    void WriteLogin(dmo::SQLServer* server, const std::string& serverName, const std::string& user, bool trusted);
    void EndLog(int status);
    void Abort(const std::string& text, int status);

    const std::string& GetPath() const { return m_strPath; }
    // The clock the header and the end record take their time from; the
    // system's unless the run sets its own.
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    std::string TimeText() const;

protected:
    // `shared`: appended by several programs at once, never locked.
    // `sync`: flushed to the disk when closed.
    CLogFile(std::string path, bool shared, bool sync);
    // "PRODUCT : a.b.c.d; FILE : a.b.c.d" of a loaded module; "" when it has
    // no version record.
    static std::string FileVersionText(const std::string& modulePath);
    static std::string Padded(const std::string& name, std::size_t width);

private:
    static std::string logFolder();
    std::string m_strPath;
    bool m_bShared = false;
    bool m_bSync = true;
    int m_fd = -1;
    std::function<std::time_t()> m_clock;
};

// setup's and uninstall's shared log: <documents>/Varnholt Inc/Orvo
// Server/Orvo_App.log, opened so that both programs can append at once.
class CSetupLogFile : public CLogFile {
public:
    CSetupLogFile();
    void WriteProgramVersion() override;
};

} // namespace dorvik
