// Scheduled jobs on the server's job agent (pgAgent, schema 4, in the
// maintenance database): jobs, their steps and schedules.
//
// Job, step and schedule objects hold their properties in memory until
// they are added. A transaction from BeginTransaction makes everything
// added while it lives one unit: a failure leaves the server as it was.
#pragma once

#include "dmo/dmo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace dmo {

class JobStep {
public:
    static std::shared_ptr<JobStep> Create() { return std::make_shared<JobStep>(); }
    std::string Name;
    int StepID = 0;
    // "CmdExec" (an operating-system command) or "TSQL".
    std::string SubSystem = "TSQL";
    std::string Command;
    std::string DatabaseName;
    int OnFailAction = 2;    // 2 quit reporting failure, 3 go to the next step
    int OnSuccessAction = 1; // 1 quit reporting success, 3 go to the next step
};

class JobSchedule {
public:
    static std::shared_ptr<JobSchedule> Create() { return std::make_shared<JobSchedule>(); }
    std::string Name;
    struct Timing {
        long ActiveStartDate = 0;      // yyyymmdd
        long ActiveStartTimeOfDay = 0; // hhmmss
        int FrequencyType = 0;         // 4 daily, 8 weekly
        int FrequencyInterval = 0;     // daily: 1; weekly: day bits, 1 Sunday .. 64 Saturday
        int FrequencyRecurrenceFactor = 0;
    } Schedule;
};

class Job : public std::enable_shared_from_this<Job> {
public:
    static std::shared_ptr<Job> Create() { return std::shared_ptr<Job>(new Job()); }
    std::string Name;
    std::string Description;
    std::string Category;
    int StartStepID = 1;

    struct StepList {
        Job& job;
        // Steps on the server (0 before the job is added).
        int Count();
        // The step's StepID must be Count + 1.
        void Add(const std::shared_ptr<JobStep>& step);
    };
    StepList JobSteps() { return {*this}; }
    struct ScheduleList {
        Job& job;
        void Add(const std::shared_ptr<JobSchedule>& schedule);
    };
    ScheduleList JobSchedules() { return {*this}; }
    // Enables the job for any agent; the name is not kept.
    void ApplyToTargetServer(const std::string& server);

    std::int64_t Id() const { return m_id; }

private:
    friend class Jobs;
    Job() = default;
    PGconn* connection();
    std::shared_ptr<SQLServer> m_server;
    std::int64_t m_id = 0;
    bool m_closed = false; // a step that quits on success was added
};

class Jobs {
public:
    int Count();
    // 1-based, in the order the jobs were made.
    std::string ItemName(int index);
    void Remove(int index);
    void Add(const std::shared_ptr<Job>& job);

private:
    friend class JobServer;
    explicit Jobs(std::shared_ptr<SQLServer> server) : m_server(std::move(server)) {}
    std::shared_ptr<SQLServer> m_server;
};

class JobServer {
public:
    std::shared_ptr<Jobs> GetJobs() { return std::shared_ptr<Jobs>(new Jobs(m_server)); }

    // Everything sent between this and Commit is kept together; an object
    // destroyed without Commit rolls it back.
    class Transaction {
    public:
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void Commit();

    private:
        friend class JobServer;
        explicit Transaction(std::shared_ptr<SQLServer> server);
        std::shared_ptr<SQLServer> m_server;
        bool m_open = true;
    };
    std::unique_ptr<Transaction> BeginTransaction();

private:
    friend class SQLServer;
    explicit JobServer(std::shared_ptr<SQLServer> server) : m_server(std::move(server)) {}
    std::shared_ptr<SQLServer> m_server;
};

} // namespace dmo
