// Tarnwick's start on a data source named on its command line: the silent
// connection (data-source settings, the structure version, the user's
// rights) as the program makes it before its window shows, counting the
// opens of the driver manager's two data-source files (system odbc.ini and
// the user's) with inotify. Beside it, a plain SQLDriverConnect to the same
// data source through the driver manager. "odbc_ini_opens" is the largest
// count of one start over the run.
#include "editor/app/core/editorcore.h"

#include "tests/common/testsupport.h"
#include "tests/charts/chartdb_support.h"
#include "bench/benchstats.h"

#include <benchmark/benchmark.h>

#include <sql.h>
#include <sqlext.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kelm::bench::WithSpread;

namespace {

const char* const kDsn = "KelmStartBench";

// Counts the opens of the files given while it lives.
class OpenCounter {
public:
    explicit OpenCounter(const std::vector<fs::path>& files) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        for (const fs::path& file : files)
            inotify_add_watch(m_fd, file.c_str(), IN_OPEN);
    }
    ~OpenCounter() { close(m_fd); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;
    int Opens() const
    {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                ++opens;
                p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len;
            }
        return opens;
    }

private:
    int m_fd;
};

// The driver manager's two data-source files, in a folder of the run's own
// set before the first ODBC call of the process.
kelm::test::TempDir* g_odbcDir = nullptr;

// A Kelm database on the test cluster and the data source that names it.
struct DataSource {
    std::unique_ptr<kelm::test::PgDatabase> pg;
    std::vector<fs::path> files;
};

DataSource* Source(benchmark::State& state)
{
    static std::unique_ptr<DataSource> source;
    if (!kelm::test::PgAvailable()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return nullptr;
    }
    if (!source) {
        source = std::make_unique<DataSource>();
        source->pg = std::make_unique<kelm::test::PgDatabase>("bench_tarnwick_start");
        ado::_ConnectionPtr connection;
        connection.CreateInstance("ADODB.Connection");
        connection->Open(source->pg->odbcConnString(), "", "", -1);
        chartdb::LoadSchema(connection, true, KELM_SOURCE_DIR);
        connection->Close();
        // An administrator, so the start asks nothing.
        source->pg->exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES (session_user, 1)");
        source->files = {g_odbcDir->write("odbc.ini", std::string("[") + kDsn +
                                                          "]\nDriver=PostgreSQL Unicode\nServername=" +
                                                          kelm::test::PgHost() + "\nPort=" + kelm::test::PgPort() +
                                                          "\nDatabase=" + source->pg->name() + "\n"),
                         g_odbcDir->path() / "user-odbc.ini"};
    }
    return source.get();
}

struct NoShell : tarnwick::IAppShell {
    bool RunLoginDialog(const std::string&, const std::string&, int, tarnwick::LoginResult&) override { return false; }
    void BuildNavigationTree(tarnwick::TreeClass) override { ++trees; }
    void RemoveNavigationTree() override {}
    bool CloseChildWindows() override { return true; }
    int trees = 0;
};

void BM_TarnwickStartConnect(benchmark::State& state)
{
    DataSource* source = Source(state);
    if (!source)
        return;
    int most = 0;
    for (auto _ : state) {
        OpenCounter counter(source->files);
        tarnwick::CTarnwickAppCore app;
        NoShell shell;
        app.SetShell(&shell);
        app.m_cmdInfo.m_strDSN = kDsn;
        app.m_cmdInfo.m_nDiagrammType = 1;
        const bool connected = app.ConnectAtStartup() && shell.trees == 1;
        benchmark::DoNotOptimize(app.DataSourceName());
        state.PauseTiming();
        app.ReleaseConnection();
        most = std::max(most, counter.Opens());
        state.ResumeTiming();
        if (!connected) {
            state.SkipWithError("the start did not connect");
            return;
        }
    }
    state.counters["odbc_ini_opens"] = most;
}

void BM_DriverManagerConnect(benchmark::State& state)
{
    DataSource* source = Source(state);
    if (!source)
        return;
    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    std::string text = std::string("DSN=") + kDsn + ";";
    int most = 0;
    for (auto _ : state) {
        OpenCounter counter(source->files);
        SQLHDBC dbc = SQL_NULL_HDBC;
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        const bool connected = SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                                              SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
        state.PauseTiming();
        if (connected)
            SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        most = std::max(most, counter.Opens());
        state.ResumeTiming();
        if (!connected) {
            state.SkipWithError("the driver manager did not connect");
            break;
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.counters["odbc_ini_opens"] = most;
}

BENCHMARK(BM_DriverManagerConnect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Apply(WithSpread<5>);
BENCHMARK(BM_TarnwickStartConnect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Apply(WithSpread<5>);

} // namespace

int main(int argc, char** argv)
{
    // The driver manager keeps the folders it read first: ours, before any
    // ODBC call, with the drivers of the run's own configuration; the data
    // source is written once its database exists.
    static kelm::test::TempDir dir;
    g_odbcDir = &dir;
    const char* sysini = std::getenv("ODBCSYSINI");
    dir.write("odbcinst.ini", sysini ? kelm::test::readFile(fs::path(sysini) / "odbcinst.ini") : std::string());
    dir.write("odbc.ini", "");
    setenv("ODBCSYSINI", dir.path().c_str(), 1);
    setenv("ODBCINI", dir.write("user-odbc.ini", "").c_str(), 1);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
