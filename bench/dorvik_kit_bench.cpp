// A Script step of one statement (SELECT 1) run as the engine runs it,
// CCommander::Execute on the run's server object, beside the same statement
// sent on an open libpq connection; "overhead_ms" is the step's time less
// the statement's median.
//
// A quiet install of the staged demo kit (start-up checks, connection,
// every step, the maintenance job, the log) onto a database that does not
// exist yet, beside psql creating that database and loading the kit's
// schema, bulk files and administrator row; "x_psql" is the install's time
// over psql's median.
//
// Every case runs in repetitions: read the median and its spread.
#include "installer/commands/commander.h"
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "dmo/dmo.h"
#include "bench/benchstats.h"
#include "bench/quietrun.h"
#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

using kelm::bench::Median;
using kelm::bench::WithSpread;

bool NeedsServer(benchmark::State& state)
{
    if (kelm::test::PgAvailable())
        return true;
    state.SkipWithError("PostgreSQL test cluster not running");
    return false;
}

std::shared_ptr<dmo::SQLServer> Connect()
{
    auto server = dmo::SQLServer::Create();
    server->SetLoginSecure(true);
    server->Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "");
    return server;
}

// --- one Script step ----------------------------------------------------------

struct StepFixture {
    kelm::test::TempDir dir;
    kelm::test::PgDatabase pg{"bench_step"};
    std::shared_ptr<dmo::SQLServer> server = Connect();
};

StepFixture& Step()
{
    static StepFixture fixture;
    return fixture;
}

std::vector<double> g_statementSeconds;

void BM_LibpqStatement(benchmark::State& state)
{
    if (!NeedsServer(state))
        return;
    PGconn* conn = PQconnectdb(Step().pg.libpqConnInfo().c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        state.SkipWithError(PQerrorMessage(conn));
        PQfinish(conn);
        return;
    }
    for (auto _ : state) {
        auto start = Clock::now();
        PGresult* res = PQexec(conn, "SELECT 1");
        bool ok = PQresultStatus(res) == PGRES_TUPLES_OK;
        PQclear(res);
        double seconds = Seconds(Clock::now() - start);
        if (!ok) {
            state.SkipWithError(PQerrorMessage(conn));
            break;
        }
        state.SetIterationTime(seconds);
        g_statementSeconds.push_back(seconds);
    }
    PQfinish(conn);
}

void BM_DorvikScriptStep(benchmark::State& state)
{
    if (!NeedsServer(state))
        return;
    StepFixture& f = Step();
    std::string line = "Script(" + f.pg.name() + ", " + f.dir.write("one.sql", "SELECT 1").string() + ")";
    dorvik::RunContext context;
    dorvik::CCommander commander(context, nullptr);
    std::vector<double> steps;
    for (auto _ : state) {
        auto start = Clock::now();
        bool ok = commander.Execute(f.server.get(), line);
        double seconds = Seconds(Clock::now() - start);
        if (!ok) {
            state.SkipWithError(commander.GetDetailText().c_str());
            break;
        }
        state.SetIterationTime(seconds);
        steps.push_back(seconds);
    }
    state.counters["overhead_ms"] = (Median(steps) - Median(g_statementSeconds)) * 1000;
}

BENCHMARK(BM_LibpqStatement)->UseManualTime()->MinTime(0.5)->Apply(WithSpread<7>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DorvikScriptStep)->UseManualTime()->MinTime(0.5)->Apply(WithSpread<7>)->Unit(benchmark::kMicrosecond);

// --- the demo kit ---------------------------------------------------------------

struct KitFixture {
    kelm::test::TempDir dir, documents;
    std::string database = "bench_demo_kit_" + std::to_string(::getpid());
    std::string ini, psqlScript;

    KitFixture()
    {
        fs::copy(KELM_DEMO_KIT, dir.path(), fs::copy_options::recursive);
        std::string text = kelm::test::readFile(dir.path() / "dorvik.ini");
        text = std::regex_replace(text, std::regex("DataBase=kelm_demo"), "DataBase=" + database);
        text = std::regex_replace(text, std::regex("Server=\\(local\\)"),
                                  "Server=" + kelm::test::PgHost() + "," + kelm::test::PgPort());
        ini = dir.write("dorvik.ini", text).string();
        // What one would type: the schema, a \copy per bulk file, the
        // administrator's row.
        std::string script = kelm::test::readFile(dir.path() / "schema/postgresql.sql") + "\n";
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir.path() / "bcp"))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files)
            script += "\\copy " + file.stem().string() + " FROM '" + file.string() + "'\n";
        script += kelm::test::readFile(dir.path() / "sql/admin.sql") + ";\n";
        psqlScript = dir.write("load.sql", script).string();
    }
    ~KitFixture() { Clean(); }
    void Clean() const
    {
        kelm::test::PgAdminExec("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
        kelm::test::PgAdminExec("DELETE FROM pgagent.pga_job WHERE jobname LIKE '%''" + database + "''%'");
    }
    std::string Psql(const std::string& db) const
    {
        return "psql -X -q -v ON_ERROR_STOP=1 -h '" + kelm::test::PgHost() + "' -p " + kelm::test::PgPort() +
               " -d " + db;
    }
};

KitFixture& Kit()
{
    static KitFixture fixture;
    return fixture;
}

using kelm::bench::NoWindows;

std::vector<double> g_psqlSeconds;

void BM_PsqlDemoKit(benchmark::State& state)
{
    if (!NeedsServer(state))
        return;
    KitFixture& kit = Kit();
    std::string command = kit.Psql("postgres") + " -c \"CREATE DATABASE " + kit.database +
                          " ENCODING 'UTF8' TEMPLATE template0\" && " + kit.Psql(kit.database) + " -f '" +
                          kit.psqlScript + "' >/dev/null";
    for (auto _ : state) {
        kit.Clean();
        auto start = Clock::now();
        int rc = std::system(command.c_str());
        double seconds = Seconds(Clock::now() - start);
        if (rc != 0) {
            state.SkipWithError("psql failed");
            break;
        }
        state.SetIterationTime(seconds);
        g_psqlSeconds.push_back(seconds);
    }
}

void BM_DorvikDemoKit(benchmark::State& state)
{
    if (!NeedsServer(state))
        return;
    KitFixture& kit = Kit();
    setenv("XDG_DOCUMENTS_DIR", kit.documents.path().c_str(), 1);
    std::vector<double> runs;
    for (auto _ : state) {
        kit.Clean();
        auto start = Clock::now();
        dorvik::CDorvikCore::Get().SetLog(std::make_unique<dorvik::CLogFile>());
        NoWindows view;
        dorvik::RunContext context;
        dorvik::CMainRun run(context, view);
        bool ok = run.Start({"-quite", kit.ini}, "/opt/kelm/dorvik") && run.Run() == 0;
        dorvik::CDorvikCore::Get().SetServer(nullptr);
        double seconds = Seconds(Clock::now() - start);
        if (!ok) {
            state.SkipWithError("the quiet install failed");
            break;
        }
        state.SetIterationTime(seconds);
        runs.push_back(seconds);
    }
    double psql = Median(g_psqlSeconds);
    if (psql > 0)
        state.counters["x_psql"] = Median(runs) / psql;
}

BENCHMARK(BM_PsqlDemoKit)->UseManualTime()->Iterations(1)->Apply(WithSpread<7>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DorvikDemoKit)->UseManualTime()->Iterations(1)->Apply(WithSpread<7>)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
