#include "installer/core/mainrun.h"

#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/installdata.h"
#include "installer/core/installer.h"
#include "installer/core/progress.h"
#include "dmo/dmo.h"
#include "winapi/text.h"

#include <libpq-fe.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <thread>

namespace dorvik {

namespace {

CLogFile& theLog() { return CDorvikCore::Get().GetLog(); }


// What start-up sets on the server object: a 30-second login time-out and
// the program's title as the application name.
void ConfigureServer(dmo::SQLServer& server)
{
    server.SetLoginTimeout(30);
    server.SetApplicationName(res::LoadString(res::IDS_APP_TITLE));
}

} // namespace

void CDorvikCommandLineInfo::ParseParam(const std::string& param, bool flag, bool last)
{
    if (flag) {
        if (winapi::Utf8EqualNoCase(param, "quite"))
            m_nQuiet = 1;
        return;
    }
    if (m_strFileName.empty())
        m_strFileName = param;
}

void CDorvikCommandLineInfo::Parse(const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool flag = a.size() > 1 && a[0] == '-';
        ParseParam(flag ? a.substr(1) : a, flag, i + 1 == args.size());
    }
}

std::string ResolveIniPath(const std::string& programPath, const std::string& fileName)
{
    std::filesystem::path program(programPath);
    if (fileName.empty())
        return program.replace_extension(".ini").string();
    if (fileName[0] == '/')
        return fileName;
    return (program.parent_path() / fileName).string();
}

bool DmoVersionPasses(int major, int minor, int build, std::uint32_t productMS, std::uint32_t productLS)
{
    if (major < 7 || (major == 7 && minor == 0 && (build == 0 || build == 1)))
        return false;
    return productMS > 0x00070000u || productLS >= 0x00080027u;
}

int OutcomeStringId(int status)
{
    switch (status) {
    case 0: return res::IDS_INSTALL_SUCCESS;
    case 1: return res::IDS_INSTALL_WARNINGS;
    case 3: return res::IDS_INSTALL_TERMINATED;
    default: return res::IDS_INSTALL_FAILED;
    }
}

std::vector<Band> BackgroundBands(int clientHeight)
{
    std::vector<Band> bands;
    const int height = (4 * clientHeight / 7) / 255 + 1;
    double red = 0, green = 103, blue = 178;
    for (int top = 0; top + height < clientHeight; top += height) {
        red = std::min(255.0, red + 255.0 / 255);
        green = std::min(255.0, green + 152.0 / 255);
        blue = std::min(255.0, blue + 77.0 / 255);
        bands.push_back({top, height, static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                         static_cast<std::uint8_t>(blue)});
    }
    return bands;
}

CMainRun::CMainRun(RunContext& run, IMainView& view)
    : m_run(run), m_view(&view), m_data(std::make_shared<CInstallData>()), m_progress(std::make_shared<CProgressState>())
{
}

CMainRun::~CMainRun()
{
    // The log outlives the run; it goes back to the system's clock.
    theLog().SetClock(nullptr);
}

int CMainRun::Message(const std::string& message, int caption, UINT style)
{
    return ShowMessage(m_run, m_view->GetOwner(), message, caption, style);
}

void CMainRun::ReportFatal(const std::string& logText, const std::string& messageText)
{
    theLog().Abort(logText, 2);
    if (!CDorvikCore::Get().IsQuiet())
        Message(messageText, res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
}

void CMainRun::SetLanguage(int language)
{
    m_run.SetLanguage(language);
    m_view->LanguageChanged();
}

bool CMainRun::Start(const std::vector<std::string>& args, const std::string& programPath)
{
    CLogFile& log = theLog();
    log.SetClock([this] { return m_run.Now(); });
    log.Open();
    log.BeginLog();
    log.WriteHost();

    CDorvikCommandLineInfo info;
    info.Parse(args);
    CDorvikCore::Get().SetQuiet(info.m_nQuiet == 1);
    m_strIniPath = ResolveIniPath(programPath, info.m_strFileName);
    m_run.SetKitFolder(std::filesystem::path(m_strIniPath).parent_path().string());
    log.WriteProgramVersion();

    auto server = dmo::SQLServer::Create();
    CDorvikCore::Get().SetServer(server);
    try {
        log.WriteDMOVersion();
        std::string module;
        std::uint32_t productMS = 0, productLS = 0;
        bool passes = GetSqlDmoPath(module) && GetFileVersion(module, nullptr, nullptr, &productMS, &productLS) &&
                      DmoVersionPasses(dmo::Application::VersionMajor, dmo::Application::VersionMinor,
                                       dmo::Application::VersionBuild, productMS, productLS) &&
                      PQlibVersion() >= 150000;
        if (!passes) {
            ReportFatal("DMO version mast be 7.0.2 or higher !", "DMO version mast be 7.0.2 or higher !");
            return false;
        }
        ConfigureServer(*server);
    } catch (const dmo::Error& e) {
        ReportFatal(e.description, e.description);
        return false;
    }
    return true;
}

bool CMainRun::Connect(const std::string& name, const std::string& user, const std::string& password, bool trusted,
                       bool showWaiting)
{
    auto server = CDorvikCore::Get().GetServer();
    if (!server)
        return false;
    if (showWaiting)
        m_view->ShowWaiting(m_run.Text(res::IDS_CONNECTING));
    std::string error;
    try {
        server->SetLoginSecure(trusted);
        server->Connect(name, user, password);
        if (server->VersionMajor() < 15) {
            server->DisConnect();
            error = m_run.Text(res::IDS_SERVER_TOO_OLD);
        }
    } catch (const dmo::Error& e) {
        error = e.description;
    } catch (...) {
        error = "Unrecornized error";
    }
    if (showWaiting)
        m_view->HideWaiting();
    if (error.empty())
        return true;
    if (CDorvikCore::Get().IsQuiet())
        theLog().WriteLine("Connect : " + error);
    else
        Message(error, res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
    return false;
}

bool CMainRun::Reconnect(const std::string& name, const std::string& user, const std::string& password,
                         bool trusted, bool showWaiting)
{
    auto server = CDorvikCore::Get().GetServer();
    if (!server)
        return false;
    server->DisConnect();
    ConfigureServer(*server);
    return Connect(name, user, password, trusted, showWaiting);
}

void CMainRun::FillBackupFolders()
{
    std::string backup = CDorvikCore::Get().GetBackupDirectory();
    if (backup.empty())
        return;
    m_data->ForEach([&](TBase& step) {
        if (auto* db = dynamic_cast<TDatabase*>(&step); db && db->m_strBackUpPath.empty())
            db->m_strBackUpPath = backup;
    });
}

int CMainRun::RunInstallation()
{
    m_bInstalling = true;
    m_progress->Reopen();
    m_progress->SetTitle(m_run.Text(res::IDS_INSTALLATION));
    auto params = std::make_shared<CWorkerParams>();
    params->run = &m_run;
    params->data = m_data;
    params->progress = m_progress;
    auto cancel = std::make_shared<CManualEvent>();
    m_run.SetCancelEvent(cancel);
    std::thread worker(InstallWorker, params);
    bool cancelled = m_view->ShowProgress(*m_progress);
    if (cancelled) {
        cancel->Set();
        m_view->LanguageChanged();
        m_view->ShowWaiting(m_run.Text(res::IDS_TERMINATING));
    }
    m_view->WaitFor(*params->done);
    if (cancelled)
        m_view->HideWaiting();
    worker.join();
    m_run.SetCancelEvent(nullptr);
    m_bInstalling = false;
    return params->result;
}

int CMainRun::Run()
{
    CLogFile& log = theLog();
    bool quiet = CDorvikCore::Get().IsQuiet();
    int status = 2;
    if (!m_data->Load(m_strIniPath, m_run.KitFolder())) {
        if (!quiet) {
            Message(m_strIniPath.empty() ? m_run.Text(res::IDS_INI_NOT_PRESENT)
                                         : m_run.Text(res::IDS_FILE_NOT_FOUND) + " :\n" + m_strIniPath,
                    res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
        }
        log.WriteLine("Can not load data from ini-file ! : " + m_strIniPath);
    } else {
        SetLanguage(m_data->GetDefaultLanguage());
        if (quiet) {
            std::string server, user, password;
            bool trusted = false;
            m_data->GetLogin(&server, &user, &password, &trusted);
            if (Connect(server, user, password, trusted, false)) {
                m_data->RefreshLogin();
                FillBackupFolders();
            }
            status = RunInstallation();
        } else {
            std::optional<int> end;
            std::string error;
            try {
                end = m_view->RunWizard(*m_data);
            } catch (int code) {
                error = "Return code : " + std::to_string(code);
            } catch (const dmo::Error& e) {
                error = e.description;
            } catch (const std::bad_alloc&) {
                error = "Out of memory";
            } catch (...) {
                error = "Unknown error !";
            }
            if (!error.empty()) {
                log.WriteLine("\r\nProgram terminating : WIZARD_ERROR.\r\n");
                ReportFatal(error, error);
                return 2;
            }
            if (!end) {
                std::string missing = "not available in this build : the installation wizard";
                log.WriteLine(missing);
                Message(missing, res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
                status = 2;
            } else if (*end == kFinish) {
                status = RunInstallation();
            } else {
                status = *end == 2 ? 3 : 0;
            }
        }
    }
    log.EndLog(status);
    log.Close();
    if (!quiet)
        ShowOutcome(status);
    return status;
}

void CMainRun::ShowOutcome(int status)
{
    Message(m_run.Text(OutcomeStringId(status)), res::IDS_APP_TITLE, winapi::MB_ICONINFORMATION | winapi::MB_OK);
    const std::string& path = theLog().GetPath();
    if (path.empty()) {
        Message(m_run.Text(res::IDS_LOG_NOT_PRESENT), res::IDS_ERROR, winapi::MB_ICONERROR | winapi::MB_OK);
        return;
    }
    std::string offer = m_run.Text(res::IDS_LOG_OFFER);
    if (auto at = offer.find("%s"); at != std::string::npos)
        offer.replace(at, 2, path);
    if (Message(offer, res::IDS_MESSAGE, winapi::MB_YESNO | winapi::MB_ICONQUESTION) == winapi::IDYES)
        m_view->ShowLog(path);
}

} // namespace dorvik
