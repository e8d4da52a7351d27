#include "installer/common/dorvikcore.h"
#include "installer/core/configdb.h"
#include "installer/core/installdata.h"
#include "dmo/tools.h"

#include "tests/installer/pgtestutil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>

using namespace dorvik;
using kelm::test::PgDatabase;
using kelm::test::QueryOn;

namespace {

std::string Jobs(const std::string& sql) { return QueryOn("postgres", sql); }

class JobsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<PgDatabase>("jobs");
        server = kelm::test::ConnectTrustedServer();
        CDorvikCore::Get().SetServer(server);
        step.m_strDataBase = db->name();
        step.m_strBackUpPath = "/srv/backup/it's $HOME";
        step.m_bInstallDayMaintenance = true;
        step.m_bInstallWeekMaintenance = true;
        step.m_nDayMaintenanceTime = 5;
        step.m_nWeekMaintenanceTime = 3;
        step.m_nWeekMaintenanceDay = 2;
    }
    void TearDown() override
    {
        CDorvikCore::Get().SetServer(nullptr);
        if (db)
            Jobs("DELETE FROM pgagent.pga_job WHERE jobname LIKE '%''" + db->name() + "'''");
    }
    std::string jobName(const char* base) const { return std::string(base) + " for database '" + db->name() + "'"; }
    std::string jobWhere(const char* base) const
    {
        std::string quoted;
        for (char c : jobName(base))
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return "jobname = '" + quoted + "'";
    }

    std::unique_ptr<PgDatabase> db;
    std::shared_ptr<dmo::SQLServer> server;
    TDatabase step;
    RunContext context;
};

} // namespace

TEST_F(JobsTest, ConfigureMakesOneDailyAndOneWeeklyJobWithOrderedStepsEvenWhenRunTwice)
{
    for (int run = 0; run < 2; ++run) {
        CConfigDB config(context, nullptr, &step);
        ASSERT_TRUE(config.Configure()) << config.GetResultText();
        EXPECT_EQ(config.GetResultText(), "OK");
    }
    std::string daily = jobWhere("KELM Daily Scheduled Maintenance");
    std::string weekly = jobWhere("KELM Weekly Scheduled Maintenance");
    EXPECT_EQ(Jobs("SELECT count(*) FROM pgagent.pga_job WHERE " + daily), "1");
    EXPECT_EQ(Jobs("SELECT count(*) FROM pgagent.pga_job WHERE " + weekly), "1");
    EXPECT_EQ(Jobs("SELECT j.jobdesc, c.jclname, j.jobenabled, j.jobhostagent = '', j.jobnextrun IS NOT NULL "
                   "FROM pgagent.pga_job j JOIN pgagent.pga_jobclass c ON c.jclid = j.jobjclid WHERE " + daily),
              "Performs database checks and backs up transaction log|Database Maintenance|t|t|t");

    std::string steps = Jobs("SELECT string_agg(s.jstname || ':' || s.jstkind || ':' || s.jstonerror || ':' || "
                             "s.jstdbname || ':' || s.jstenabled, ',' ORDER BY s.jstname) FROM pgagent.pga_jobstep s "
                             "JOIN pgagent.pga_job j ON j.jobid = s.jstjobid WHERE " + weekly);
    EXPECT_EQ(steps, "001 DB Backup:b:f::true,002 Integrity Checks:b:f::true,003 Optimizations:b:f::true");
    std::string code = Jobs("SELECT s.jstcode FROM pgagent.pga_jobstep s JOIN pgagent.pga_job j ON "
                            "j.jobid = s.jstjobid WHERE s.jstname = '001 DB Backup' AND " + weekly);
    EXPECT_EQ(code, "#!/bin/sh\n'" + SqlMaintPath() + "' -S '" + kelm::test::PgHost() + "\\" +
                        kelm::test::PgPort() + "' -D '" + db->name() +
                        "' -VrfyBackup -BkUpOnlyIfClean -CkDB -BkUpMedia 'DISK' -BkUpDB '/srv/backup/it'\\''s $HOME' "
                        "-DelBkUps '4WEEKS' -BkExt 'BAK'\n");

    // Minute 0 of the hour, every day / on Wednesdays only (index 4).
    EXPECT_EQ(Jobs("SELECT s.jscname, s.jscminutes[1], s.jschours[6], array_position(s.jschours, true), "
                   "array_position(s.jscweekdays, true), array_length(s.jscmonthdays, 1), s.jscstart::date = "
                   "current_date FROM pgagent.pga_schedule s JOIN pgagent.pga_job j ON j.jobid = s.jscjobid WHERE " +
                   daily),
              "KELM Daily Schedule|t|t|6|NULL|32|t");
    EXPECT_EQ(Jobs("SELECT array_position(s.jscweekdays, true), array_positions(s.jscweekdays, true) "
                   "FROM pgagent.pga_schedule s JOIN pgagent.pga_job j ON j.jobid = s.jscjobid WHERE " + weekly),
              "4|{4}");
}

// The week day the user picks is the day the agent runs the job.
TEST_F(JobsTest, TheWeekDayBecomesTheDayTheJobRuns)
{
    step.m_bInstallDayMaintenance = false;
    const struct {
        int day;
        int dow; // PostgreSQL's day of week, 0 Sunday
    } cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 0}};
    for (const auto& c : cases) {
        step.m_nWeekMaintenanceDay = c.day;
        CConfigDB config(context, nullptr, &step);
        ASSERT_TRUE(config.Configure()) << config.GetResultText();
        EXPECT_EQ(Jobs("SELECT extract(dow FROM jobnextrun) || ' ' || extract(hour FROM jobnextrun) || ' ' || "
                       "extract(minute FROM jobnextrun) FROM pgagent.pga_job WHERE " +
                       jobWhere("KELM Weekly Scheduled Maintenance")),
                  std::to_string(c.dow) + " 3 0")
            << "week day " << c.day;
    }
}

TEST_F(JobsTest, ABadWeekDayFailsAndKeepsThePreviousJob)
{
    step.m_bInstallDayMaintenance = false;
    CConfigDB first(context, nullptr, &step);
    ASSERT_TRUE(first.Configure()) << first.GetResultText();
    std::string before = Jobs("SELECT jobid FROM pgagent.pga_job WHERE " + jobWhere("KELM Weekly Scheduled Maintenance"));

    step.m_nWeekMaintenanceDay = 9;
    CConfigDB second(context, nullptr, &step);
    EXPECT_FALSE(second.Configure());
    EXPECT_NE(second.GetResultText().find("HRESULT"), std::string::npos) << second.GetResultText();
    EXPECT_NE(second.GetResultText().find("week days"), std::string::npos) << second.GetResultText();
    EXPECT_EQ(Jobs("SELECT jobid FROM pgagent.pga_job WHERE " + jobWhere("KELM Weekly Scheduled Maintenance")), before);
    EXPECT_EQ(Jobs("SELECT count(*) FROM pgagent.pga_jobstep s JOIN pgagent.pga_job j ON j.jobid = s.jstjobid "
                   "WHERE " + jobWhere("KELM Weekly Scheduled Maintenance")),
              "3");
}

TEST_F(JobsTest, NoJobServerOrNothingAskedFor)
{
    // Nothing asked for: only the job server is checked.
    step.m_bInstallDayMaintenance = step.m_bInstallWeekMaintenance = false;
    CConfigDB idle(context, nullptr, &step);
    EXPECT_TRUE(idle.Configure());
    EXPECT_EQ(idle.GetResultText(), "OK");

    // A login that may not touch pgAgent's tables has no job server.
    std::string role = "plain_" + db->name();
    kelm::test::PgAdminExec("CREATE ROLE \"" + role + "\" LOGIN PASSWORD 'secret'");
    {
        auto plain = dmo::SQLServer::Create();
        plain->Connect("127.0.0.1," + kelm::test::PgPort(), role, "secret");
        CDorvikCore::Get().SetServer(plain);
        step.m_bInstallWeekMaintenance = true;
        CConfigDB config(context, nullptr, &step);
        EXPECT_FALSE(config.Configure());
        EXPECT_EQ(config.GetResultText(), "Can not get job server");
        CDorvikCore::Get().SetServer(server);
    }
    kelm::test::PgAdminExec("DROP ROLE \"" + role + "\"");
    EXPECT_EQ(Jobs("SELECT count(*) FROM pgagent.pga_job WHERE " + jobWhere("KELM Weekly Scheduled Maintenance")), "0");

    // No server at all.
    CDorvikCore::Get().SetServer(nullptr);
    CConfigDB none(context, nullptr, &step);
    EXPECT_FALSE(none.Configure());
    EXPECT_NE(none.GetResultText().find("HRESULT"), std::string::npos);
}

// pgAgent runs a step as a script of its own, in its own environment: no
// PGHOST, PGPORT or PGUSER of the installer's. The test cluster's socket
// is not in the default folder, so only a step that names it gets there.
TEST_F(JobsTest, AJobStepRunInTheAgentsEnvironmentReachesTheServer)
{
    // The login step as the quiet run and the login page leave it.
    CInstallData data;
    auto* login = new TLogin;
    data.Add(login);
    ASSERT_TRUE(data.RefreshLogin());
    step.m_bInstallWeekMaintenance = false;
    CConfigDB config(context, &data, &step);
    ASSERT_TRUE(config.Configure()) << config.GetResultText();
    std::string code = Jobs("SELECT s.jstcode FROM pgagent.pga_jobstep s JOIN pgagent.pga_job j ON "
                            "j.jobid = s.jstjobid WHERE " + jobWhere("KELM Daily Scheduled Maintenance"));
    ASSERT_EQ(code.rfind("#!/bin/sh\n", 0), 0u) << code;

    kelm::test::TempDir dir;
    auto script = dir.write("step.sh", code);
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    auto output = dir / "output.txt";
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(out, 0);
    auto run = dmo::RunTool({"/usr/bin/env", "-u", "PGHOST", "-u", "PGPORT", "-u", "PGUSER", "-u", "KELM_PG_HOST",
                             "-u", "KELM_PG_PORT", script.string()},
                            {}, out);
    ::close(out);
    std::string printed = kelm::test::readFile(output);
    EXPECT_EQ(run.exitStatus, 0) << code << "\n" << printed << run.errorText;
    EXPECT_NE(printed.find("Integrity check of database '" + db->name() + "' : OK"), std::string::npos) << printed;
}

TEST(SqlMaint, ChecksBacksUpVerifiesDeletesOldBackupsAndRebuildsIndexes)
{
    KELM_REQUIRE_PG();
    PgDatabase db("sqlmaint");
    db.exec("CREATE TABLE t (id int PRIMARY KEY, v text); INSERT INTO t SELECT g, 'v' || g FROM generate_series(1, 50) g");
    kelm::test::TempDir dir;
    std::string folder = dir.path().string();
    auto old = dir.write(db.name() + "_db_200001010000.BAK", "old");
    auto recent = dir.write(db.name() + "_db_209901010000.BAK", "recent");
    auto other = dir.write("other_db_200001010000.BAK", "not ours");
    struct utimbuf longAgo{1'000'000'000, 1'000'000'000};
    ASSERT_EQ(::utime(old.c_str(), &longAgo), 0);
    ASSERT_EQ(::utime(other.c_str(), &longAgo), 0);

    std::string server = kelm::test::PgHost() + "," + kelm::test::PgPort();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), SqlMaintPath());
        return dmo::RunTool(args, {}).exitStatus;
    };
    EXPECT_EQ(run({"-S", server, "-D", db.name(), "-VrfyBackup", "-BkUpOnlyIfClean", "-CkDB", "-BkUpMedia", "DISK",
                   "-BkUpDB", folder, "-DelBkUps", "4WEEKS", "-BkExt", "BAK"}),
              0);
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_TRUE(std::filesystem::exists(recent));
    EXPECT_TRUE(std::filesystem::exists(other));
    int backups = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (name != recent.filename().string() && name.rfind(db.name() + "_db_", 0) == 0) {
            ++backups;
            // A real archive: pg_restore lists its table.
            EXPECT_EQ(dmo::RunTool({dmo::FindPgTool("pg_restore"), "--list", e.path().string()}, {}).exitStatus, 0);
        }
    }
    EXPECT_EQ(backups, 1);

    EXPECT_EQ(run({"-S", server, "-D", db.name(), "-CkDB"}), 0);
    EXPECT_EQ(run({"-S", server, "-D", db.name(), "-RebldIdx", "100"}), 0);
    EXPECT_EQ(run({"-S", server, "-D", db.name() + "_missing", "-CkDB"}), 1);
    EXPECT_EQ(run({"-S", server, "-D", db.name(), "-Bogus"}), 2);
    EXPECT_EQ(run({"-S", server, "-CkDB"}), 2);
    EXPECT_EQ(run({"-S", server, "-D", db.name(), "-BkUpDB", folder, "-BkUpMedia", "TAPE"}), 2);
}

// A database name is only a name to the tools sqlmaint runs, even when it
// reads like a connection string.
TEST(SqlMaint, ADatabaseNameHoldingAnEqualsSignIsOnlyAName)
{
    KELM_REQUIRE_PG();
    const std::string name = "kelm_sqlmaint_a=b 'c'";
    kelm::test::PgAdminExec("DROP DATABASE IF EXISTS \"" + name + "\"");
    kelm::test::PgAdminExec("CREATE DATABASE \"" + name + "\"");
    kelm::test::TempDir dir;
    std::string server = kelm::test::PgHost() + "," + kelm::test::PgPort();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), SqlMaintPath());
        return dmo::RunTool(args, {}).exitStatus;
    };
    EXPECT_EQ(run({"-S", server, "-D", name, "-CkDB"}), 0);
    EXPECT_EQ(run({"-S", server, "-D", name, "-RebldIdx", "100"}), 0);
    EXPECT_EQ(run({"-S", server, "-D", name, "-BkUpMedia", "DISK", "-BkUpDB", dir.path().string(), "-BkExt", "BAK"}), 0);
    int backups = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        backups += e.path().filename().string().rfind(name + "_db_", 0) == 0;
    EXPECT_EQ(backups, 1);
    kelm::test::PgAdminExec("DROP DATABASE \"" + name + "\"");
}
