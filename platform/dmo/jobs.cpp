#include "dmo/jobs.h"

#include "dmo/pgexec.h"

#include <libpq-fe.h>

#include <cstdio>
#include <ctime>

namespace dmo {

using namespace detail;

namespace {

std::string boolArray(int size, int setIndex = -1, int mask = 0)
{
    std::string text = "{";
    for (int i = 0; i < size; ++i) {
        bool on = i == setIndex || (i < 7 && (mask & (1 << i)));
        text += (i ? "," : "") + std::string(on ? "t" : "f");
    }
    return text + "}";
}

Error unsupported(const std::string& what) { return Error(kErrNotSupported, "not supported on PostgreSQL: " + what); }

// The start date at local midnight, with its offset, so the agent reads
// the same instant.
std::string startOfDay(long yyyymmdd)
{
    std::tm tm{};
    tm.tm_year = static_cast<int>(yyyymmdd / 10000) - 1900;
    tm.tm_mon = static_cast<int>(yyyymmdd / 100 % 100) - 1;
    tm.tm_mday = static_cast<int>(yyyymmdd % 100);
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || std::mktime(&tm) == -1)
        throw Error(kErrArgument, "the start date " + std::to_string(yyyymmdd) + " is not a date");
    long offset = tm.tm_gmtoff;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d 00:00:00%c%02ld:%02ld", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, offset < 0 ? '-' : '+', std::labs(offset) / 3600, std::labs(offset) % 3600 / 60);
    return text;
}

} // namespace

std::shared_ptr<JobServer> SQLServer::GetJobServer()
{
    std::lock_guard lock(m_mutex);
    PGconn* conn = mainConnection();
    try {
        auto usable = ScalarParams(
            conn, "SELECT EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'pgagent') "
                  "AND has_schema_privilege('pgagent', 'USAGE') "
                  "AND has_table_privilege('pgagent.pga_job', 'INSERT, DELETE, UPDATE') "
                  "AND has_table_privilege('pgagent.pga_jobstep', 'INSERT') "
                  "AND has_table_privilege('pgagent.pga_schedule', 'INSERT')");
        if (usable != "t" || ScalarParams(conn, "SELECT pgagent.pgagent_schema_version()") != "4")
            return nullptr;
    } catch (const Error&) {
        return nullptr;
    }
    return std::shared_ptr<JobServer>(new JobServer(shared_from_this()));
}

JobServer::Transaction::Transaction(std::shared_ptr<SQLServer> server) : m_server(std::move(server))
{
    std::lock_guard lock(Access::mutex(*m_server));
    runBatch(Access::serverConnection(*m_server), "BEGIN", nullptr);
}

JobServer::Transaction::~Transaction()
{
    if (!m_open)
        return;
    std::lock_guard lock(Access::mutex(*m_server));
    try {
        runBatch(Access::serverConnection(*m_server), "ROLLBACK", nullptr);
    } catch (const Error&) {
        // A failed statement has ended the transaction already.
    }
}

void JobServer::Transaction::Commit()
{
    std::lock_guard lock(Access::mutex(*m_server));
    m_open = false;
    runBatch(Access::serverConnection(*m_server), "COMMIT", nullptr);
}

std::unique_ptr<JobServer::Transaction> JobServer::BeginTransaction()
{
    return std::unique_ptr<Transaction>(new Transaction(m_server));
}

int Jobs::Count()
{
    std::lock_guard lock(Access::mutex(*m_server));
    return std::stoi(*ScalarParams(Access::serverConnection(*m_server), "SELECT count(*) FROM pgagent.pga_job"));
}

std::string Jobs::ItemName(int index)
{
    std::lock_guard lock(Access::mutex(*m_server));
    if (index < 1)
        throw Error(kErrNotFound, "job '" + std::to_string(index) + "' not found");
    auto name = ScalarParams(Access::serverConnection(*m_server),
                             "SELECT jobname FROM pgagent.pga_job ORDER BY jobid OFFSET $1 LIMIT 1",
                             {std::to_string(index - 1)});
    if (!name)
        throw Error(kErrNotFound, "job '" + std::to_string(index) + "' not found");
    return *name;
}

void Jobs::Remove(int index)
{
    std::lock_guard lock(Access::mutex(*m_server));
    if (index < 1)
        throw Error(kErrNotFound, "job '" + std::to_string(index) + "' not found");
    auto set = ExecParams(Access::serverConnection(*m_server),
                          "DELETE FROM pgagent.pga_job WHERE jobid = (SELECT jobid FROM pgagent.pga_job "
                          "ORDER BY jobid OFFSET $1 LIMIT 1) RETURNING jobid",
                          {std::to_string(index - 1)});
    if (set.rows.empty())
        throw Error(kErrNotFound, "job '" + std::to_string(index) + "' not found");
}

void Jobs::Add(const std::shared_ptr<Job>& job)
{
    std::lock_guard lock(Access::mutex(*m_server));
    if (job->m_id)
        throw Error(kErrArgument, "the job '" + job->Name + "' was added already");
    if (job->StartStepID != 1)
        throw unsupported("a job that starts at step " + std::to_string(job->StartStepID));
    PGconn* conn = Access::serverConnection(*m_server);
    std::string category = job->Category.empty() ? "Miscellaneous" : job->Category;
    ExecParams(conn, "INSERT INTO pgagent.pga_jobclass (jclname) VALUES ($1) ON CONFLICT (jclname) DO NOTHING",
               {category});
    auto id = ScalarParams(conn,
                           "INSERT INTO pgagent.pga_job (jobjclid, jobname, jobdesc, jobhostagent, jobenabled) "
                           "VALUES ((SELECT jclid FROM pgagent.pga_jobclass WHERE jclname = $1 LIMIT 1), $2, $3, '', "
                           "false) RETURNING jobid",
                           {category, job->Name, job->Description});
    job->m_id = std::stoll(*id);
    job->m_server = m_server;
}

PGconn* Job::connection()
{
    if (!m_id)
        throw Error(kErrArgument, "the job '" + Name + "' has not been added to a job server");
    return Access::serverConnection(*m_server);
}

int Job::StepList::Count()
{
    if (!job.m_id)
        return 0;
    std::lock_guard lock(Access::mutex(*job.m_server));
    return std::stoi(*ScalarParams(job.connection(), "SELECT count(*) FROM pgagent.pga_jobstep WHERE jstjobid = $1",
                                   {std::to_string(job.m_id)}));
}

void Job::StepList::Add(const std::shared_ptr<JobStep>& step)
{
    if (!job.m_id)
        job.connection();
    std::lock_guard lock(Access::mutex(*job.m_server));
    int next = Count() + 1;
    if (step->StepID != next)
        throw unsupported("step " + std::to_string(step->StepID) + " where step " + std::to_string(next) +
                          " comes next");
    if (job.m_closed)
        throw unsupported("a step after one that ends the job");
    std::string onError;
    switch (step->OnFailAction) {
    case 2: onError = "f"; break;
    case 3: onError = "i"; break;
    default: throw unsupported("on-failure action " + std::to_string(step->OnFailAction));
    }
    if (step->OnSuccessAction != 1 && step->OnSuccessAction != 3)
        throw unsupported("on-success action " + std::to_string(step->OnSuccessAction));
    std::string kind, code, dbname;
    if (step->SubSystem == "CmdExec") {
        kind = "b";
        code = "#!/bin/sh\n" + step->Command + "\n";
    } else if (step->SubSystem == "TSQL") {
        kind = "s";
        code = step->Command;
        dbname = step->DatabaseName;
    } else {
        throw unsupported("job step subsystem '" + step->SubSystem + "'");
    }
    char number[16];
    std::snprintf(number, sizeof number, "%03d ", step->StepID);
    ExecParams(job.connection(),
               "INSERT INTO pgagent.pga_jobstep (jstjobid, jstname, jstdesc, jstenabled, jstkind, jstcode, "
               "jstdbname, jstconnstr, jstonerror) VALUES ($1, $2, $3, true, $4, $5, $6, '', $7)",
               {std::to_string(job.m_id), number + step->Name,
                "SubSystem=" + step->SubSystem + "; DatabaseName=" + step->DatabaseName, kind, code, dbname, onError});
    if (step->OnSuccessAction == 1)
        job.m_closed = true;
}

void Job::ScheduleList::Add(const std::shared_ptr<JobSchedule>& schedule)
{
    if (!job.m_id)
        job.connection();
    std::lock_guard lock(Access::mutex(*job.m_server));
    const auto& s = schedule->Schedule;
    long hh = s.ActiveStartTimeOfDay / 10000, mm = s.ActiveStartTimeOfDay / 100 % 100, ss = s.ActiveStartTimeOfDay % 100;
    if (ss != 0)
        throw unsupported("a start time with seconds");
    if (hh < 0 || hh > 23 || mm < 0 || mm > 59)
        throw Error(kErrArgument, "the start time " + std::to_string(s.ActiveStartTimeOfDay) + " is not a time");
    int weekdays = 0;
    if (s.FrequencyType == 4) {
        if (s.FrequencyInterval != 1)
            throw unsupported("a daily schedule every " + std::to_string(s.FrequencyInterval) + " days");
    } else if (s.FrequencyType == 8) {
        // No day would mean every day to the agent.
        if (s.FrequencyInterval <= 0 || s.FrequencyInterval > 127)
            throw Error(kErrArgument, "a weekly schedule needs week days (got " +
                                          std::to_string(s.FrequencyInterval) + ")");
        if (s.FrequencyRecurrenceFactor != 1)
            throw unsupported("a weekly schedule every " + std::to_string(s.FrequencyRecurrenceFactor) + " weeks");
        weekdays = s.FrequencyInterval;
    } else {
        throw unsupported("schedule frequency type " + std::to_string(s.FrequencyType));
    }
    ExecParams(job.connection(),
               "INSERT INTO pgagent.pga_schedule (jscjobid, jscname, jscdesc, jscenabled, jscstart, jscminutes, "
               "jschours, jscweekdays, jscmonthdays, jscmonths) VALUES ($1, $2, '', true, $3, $4, $5, $6, $7, $8)",
               {std::to_string(job.m_id), schedule->Name, startOfDay(s.ActiveStartDate), boolArray(60, int(mm)),
                boolArray(24, int(hh)), boolArray(7, -1, weekdays), boolArray(32), boolArray(12)});
}

void Job::ApplyToTargetServer(const std::string&)
{
    PGconn* conn = connection();
    std::lock_guard lock(Access::mutex(*m_server));
    ExecParams(conn,
               "UPDATE pgagent.pga_job SET jobenabled = true, jobhostagent = '', jobchanged = now() WHERE jobid = $1",
               {std::to_string(m_id)});
}

} // namespace dmo
