#include "installer/common/logfile.h"

#include "installer/common/filemanager.h"
#include "installer/common/utils.h"
#include "dmo/dmo.h"
#include "winapi/folders.h"
#include "winapi/version.h"

#include <strings.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace dorvik {

std::string CLogFile::logFolder()
{
    auto documents = winapi::GetSpecialFolder(winapi::CSIDL_PERSONAL | winapi::CSIDL_FLAG_CREATE);
    if (!documents)
        return {};
    std::string folder = *documents + "/Varnholt Inc";
    // Under sudo the folder is the user's, so a later run of theirs can log.
    winapi::CreateDirectories(folder, winapi::GetInvokingUser());
    return folder;
}

CLogFile::CLogFile(const char* fileName)
{
    std::string folder = logFolder();
    if (!folder.empty())
        m_strPath = folder + "/" + (fileName && *fileName ? fileName : "Orvo-Dorvik.log");
}

CLogFile::CLogFile(std::string path, bool shared, bool sync)
    : m_strPath(std::move(path)), m_bShared(shared), m_bSync(sync)
{
}

CLogFile::~CLogFile() { Close(); }

bool CLogFile::Open()
{
    Close();
    if (m_strPath.empty())
        return false;
    int fd = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        // A new log made under sudo belongs to the user who ran it; should
        // that fail, it stays root's and this run still logs.
        if (auto user = winapi::GetInvokingUser())
            static_cast<void>(::fchown(fd, user->uid, user->gid) == 0);
    } else if (errno == EEXIST) {
        fd = ::open(m_strPath.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0)
        return false;
    if (!m_bShared && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CLogFile::Close()
{
    if (m_fd >= 0) {
        if (m_bSync)
            ::fsync(m_fd);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CLogFile::WriteLine(const std::string& text)
{
    if (text.empty() || m_fd < 0)
        return false;
    // One write, so that appends of two programs never interleave.
    std::string line = text + "\r\n";
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string CLogFile::TimeText() const
{
    return FormatLocalTime(m_clock ? m_clock() : std::time(nullptr), "%d.%m.%Y %H:%M:%S");
}

std::string CLogFile::Padded(const std::string& name, std::size_t width)
{
    return name.size() >= width ? name : name + std::string(width - name.size(), ' ');
}

std::string CLogFile::FileVersionText(const std::string& modulePath)
{
    auto info = winapi::GetFileVersionInfo(modulePath);
    if (!info)
        return {};
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s : %d.%d.%d.%d; %s : %d.%d.%d.%d", "PRODUCT", info->productVersion[0],
                  info->productVersion[1], info->productVersion[2], info->productVersion[3], "FILE",
                  info->fileVersion[0], info->fileVersion[1], info->fileVersion[2], info->fileVersion[3]);
    return buf;
}

void CLogFile::BeginLog()
{
    WriteLine("\r\n");
    WriteLine(std::string(70, '/'));
    WriteLine("\r\nBEGIN LOG");
    WriteLine("DATE=" + TimeText() + "\r\n");
}

void CLogFile::WriteHost() { WriteLine("HOST=" + GetComputerNameUpper()); }

void CLogFile::WriteProgramVersion()
{
    std::string text = FileVersionText(winapi::GetModuleFileName());
    WriteLine(text.empty() ? "Can not check Dorvik version !" : Padded("VER_DORVIK", 14) + "=" + text);
}

void CLogFile::WriteDMOVersion()
{
    std::string text = FileVersionText(dmo::GetModulePath());
    if (text.empty()) {
        WriteLine("Can not check DMO version !");
        return;
    }
    WriteLine(Padded("VER_DMO", 14) + "=DMOLIBINFO : " + std::to_string(dmo::Application::VersionMajor) + "." +
              std::to_string(dmo::Application::VersionMinor) + "." + std::to_string(dmo::Application::VersionBuild) +
              "; " + text);
}

void CLogFile::WriteSQLServerVersion(dmo::SQLServer* server)
{
    try {
        if (server && server->VerifyConnection(6)) {
            WriteLine(Padded("VER_SQLSERVER", 14) + "=PRODUCT : " + std::to_string(server->VersionMajor()) + "." +
                      std::to_string(server->VersionMinor()));
            WriteLine("VER_SQLSERVER_STRING=" + server->VersionString());
            return;
        }
    } catch (const dmo::Error&) {
    }
    WriteLine("Can not check SQL Server version !");
}

void CLogFile::WriteLogin(dmo::SQLServer* server, const std::string& serverName, const std::string& user,
                          bool trusted)
{
    bool live = false;
    try {
        live = server && server->VerifyConnection(6);
    } catch (const dmo::Error&) {
    }
    auto ask = [&](auto getter) -> std::string {
        if (!live)
            return {};
        try {
            return getter();
        } catch (const dmo::Error&) {
            return {};
        }
    };
    if (serverName.size() == 7 && strncasecmp(serverName.c_str(), "(local)", 7) == 0) {
        std::string net = ask([&] { return server->NetName(); });
        WriteLine("SERVER=" + serverName + " NETNAME : " + (net.empty() ? "???" : net));
    } else {
        WriteLine("SERVER=" + serverName);
    }
    WriteLine("USER=" + (trusted ? ask([&] { return server->TrueLogin(); }) : user));
    WriteLine(std::string("TRUSTED=") + (trusted ? "1" : "0"));
}

void CLogFile::EndLog(int status)
{
    if (status == 3)
        WriteLine("Installation was terminated by user");
    const char* word = status == 0 ? "SUCCESS" : status == 1 ? "SUCCESS WITH WARNINGS" : "FAILED";
    WriteLine(std::string("\r\nINSTALL STATUS : ") + word + "\r\n");
    WriteLine("DATE=" + TimeText());
    WriteLine("END LOG");
}

void CLogFile::Abort(const std::string& text, int status)
{
    WriteLine(text);
    EndLog(status);
    Close();
}

namespace {

std::string setupLogPath()
{
    auto documents = winapi::GetSpecialFolder(winapi::CSIDL_PERSONAL | winapi::CSIDL_FLAG_CREATE);
    if (!documents)
        return {};
    std::string folder = *documents + "/Varnholt Inc/Orvo Server";
    winapi::CreateDirectories(folder, winapi::GetInvokingUser());
    return folder + "/Orvo_App.log";
}

} // namespace

// Not synced: setup and uninstall sync none of the files they copy or
// delete, so syncing their log would make it no truer after a crash, and
// the flush costs a silent removal a quarter of its time.
CSetupLogFile::CSetupLogFile() : CLogFile(setupLogPath(), true, false) {}

void CSetupLogFile::WriteProgramVersion()
{
    std::string text = FileVersionText(winapi::GetModuleFileName());
    WriteLine(text.empty() ? "Can not check Dorvik version !" : Padded("VER_SETUP", 12) + "=" + text);
}

} // namespace dorvik
