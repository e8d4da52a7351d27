#include "installer/core/configdb.h"

#include "installer/commands/commander.h"
#include "installer/common/dorvikcore.h"
#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "dmo/jobs.h"
#include "winapi/text.h"

#include <cstdint>
#include <ctime>
#include <new>
#include <vector>

namespace dorvik {

namespace {

// E_POINTER: the run has no server object.
constexpr std::int32_t kNoServer = static_cast<std::int32_t>(0x80004003u);

struct StepPlan {
    const char* name;
    std::vector<std::string> options;
};

// An argument for /bin/sh: in single quotes, a quote inside as '\''.
std::string ShellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Week days 0 Monday .. 6 Sunday as the schedule's day bits.
int WeekDayBits(int day)
{
    static const int kBits[] = {2, 4, 8, 16, 32, 64, 1};
    return day >= 0 && day <= 6 ? kBits[day] : 0;
}

} // namespace

std::string SqlMaintPath() { return GetProgramFolder() + "/sqlmaint"; }

std::string SqlMaintCommand(const std::string& server, const std::string& database,
                            const std::vector<std::string>& options)
{
    std::string command = ShellQuote(SqlMaintPath()) + " -S " + ShellQuote(server) + " -D " + ShellQuote(database);
    for (const auto& option : options)
        command += " " + (option.rfind('-', 0) == 0 ? option : ShellQuote(option));
    return command;
}

CConfigDB::CConfigDB(const RunContext& run, CInstallData* data, TDatabase* step)
    : m_run(run), m_pStep(step), m_pData(data)
{
    m_strServer = "%SERVER%";
    if (m_pData)
        m_pData->ExpandMacros(m_strServer, m_pStep, false);
}

CConfigDB::~CConfigDB() = default;

template <class T>
std::shared_ptr<T> CConfigDB::CreateDMOObject(const char* kind, const std::string& name)
{
    try {
        return T::Create();
    } catch (const std::bad_alloc&) {
        m_strResult = std::string("Can not create COM-object") + " : '" + kind + "' named '" + name + "'";
        return nullptr;
    }
}

bool CConfigDB::Configure()
{
    try {
        auto server = CDorvikCore::Get().GetLiveServer();
        if (!server)
            throw dmo::Error(kNoServer, "no server object");
        m_strResult = "OK";
        // The agent starts the steps with an environment of its own: they
        // name the socket folder or host and the port of this connection.
        m_strStepServer = server->ConnectionAddress();
        auto jobServer = server->GetJobServer();
        if (!jobServer) {
            m_strResult = "Can not get job server";
            return false;
        }
        // Without a folder from the wizard: the server's own backup folder.
        std::string backupPath = m_pStep->m_strBackUpPath;
        if (backupPath.empty()) {
            std::string root = server->RootDirectory();
            if (!root.empty())
                backupPath = root + "/backup";
        }
        if (m_pStep->m_bInstallDayMaintenance &&
            !CreateJob(*jobServer, "KELM Daily Scheduled Maintenance",
                       "Performs database checks and backs up transaction log", "KELM Daily Schedule",
                       m_pStep->m_nDayMaintenanceTime, -1, 0, backupPath))
            return false;
        if (m_pStep->m_bInstallWeekMaintenance &&
            !CreateJob(*jobServer, "KELM Weekly Scheduled Maintenance", "Backup Database and rebuild indexes",
                       "KELM Weekly Schedule", m_pStep->m_nWeekMaintenanceTime, m_pStep->m_nWeekMaintenanceDay, 1,
                       backupPath))
            return false;
        return true;
    } catch (const dmo::Error& e) {
        m_strResult = FormatComError("", e.hresult, e.description);
    } catch (...) {
        m_strResult = "Unknown error";
    }
    return false;
}

bool CConfigDB::CreateJob(dmo::JobServer& jobServer, const std::string& baseName, const std::string& description,
                          const std::string& scheduleName, int hour, int weekDay, int kind,
                          const std::string& backupPath)
{
    const std::string& database = m_pStep->m_strDataBase;
    const std::vector<StepPlan> daily = {{"Integrity Checks", {"-CkDB"}}};
    const std::vector<StepPlan> weekly = {
        {"DB Backup",
         {"-VrfyBackup", "-BkUpOnlyIfClean", "-CkDB", "-BkUpMedia", "DISK", "-BkUpDB", backupPath,
          "-DelBkUps", "4WEEKS", "-BkExt", "BAK"}},
        {"Integrity Checks", {"-CkDB"}},
        {"Optimizations", {"-RebldIdx", "100"}},
    };
    const auto& steps = kind == 0 ? daily : weekly;

    auto job = CreateDMOObject<dmo::Job>("job", baseName);
    if (!job)
        return false;
    job->Name = baseName + " for database '" + database + "'";
    job->Description = description;
    job->StartStepID = 1;
    job->Category = "Database Maintenance";

    // The job is replaced whole or not at all.
    auto transaction = jobServer.BeginTransaction();
    auto jobs = jobServer.GetJobs();
    for (int i = jobs->Count(); i >= 1; --i) {
        if (winapi::Utf8EqualNoCase(jobs->ItemName(i), job->Name)) {
            jobs->Remove(i);
            break;
        }
    }
    jobs->Add(job);

    auto schedule = CreateDMOObject<dmo::JobSchedule>("schedule", scheduleName);
    if (!schedule)
        return false;
    schedule->Name = scheduleName;
    std::time_t now = m_run.Now();
    std::tm local{};
    localtime_r(&now, &local);
    schedule->Schedule.ActiveStartDate = (local.tm_year + 1900) * 10000L + (local.tm_mon + 1) * 100L + local.tm_mday;
    schedule->Schedule.ActiveStartTimeOfDay = hour * 10000L;
    if (weekDay == -1) {
        schedule->Schedule.FrequencyType = 4;
        schedule->Schedule.FrequencyInterval = 1;
    } else {
        schedule->Schedule.FrequencyInterval = WeekDayBits(weekDay);
        schedule->Schedule.FrequencyType = 8;
        schedule->Schedule.FrequencyRecurrenceFactor = 1;
    }
    job->JobSchedules().Add(schedule);

    for (std::size_t i = 0; i < steps.size(); ++i) {
        auto step = CreateDMOObject<dmo::JobStep>("step", steps[i].name);
        if (!step)
            return false;
        step->Command = SqlMaintCommand(m_strStepServer, database, steps[i].options);
        step->SubSystem = "CmdExec";
        step->DatabaseName = database;
        step->StepID = job->JobSteps().Count() + 1;
        step->Name = steps[i].name;
        step->OnFailAction = 2;
        step->OnSuccessAction = i + 1 == steps.size() ? 1 : 3;
        job->JobSteps().Add(step);
    }
    job->ApplyToTargetServer(m_strServer);
    transaction->Commit();
    return true;
}

} // namespace dorvik
