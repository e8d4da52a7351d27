// 1,000,000 rows of (integer, text, numeric, timestamp) from PostgreSQL:
// psql writing them as CSV, beside the export writing them to a DBF file
// through ODBC (on a data source with psqlODBC's defaults, where the
// forward-only record asks for its server cursor itself, and on one set up
// for large results), each with its time as a multiple of psql's median; and
// the DBF writer's own share, the same rows from memory. Each is repeated,
// its median and spread printed, timed by the clock (psql is a child, the
// server works for the export).
#include "odbc/dbf/dbfexport.h"
#include "bench/benchstats.h"
#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using kelm::bench::Median;
using kelm::bench::WithSpread;

namespace {

constexpr int kRows = 1000000;

kelm::test::PgDatabase* Database()
{
    static std::unique_ptr<kelm::test::PgDatabase> db = [] {
        if (!kelm::test::PgAvailable())
            return std::unique_ptr<kelm::test::PgDatabase>();
        auto d = std::make_unique<kelm::test::PgDatabase>("bench_dbf");
        d->exec("CREATE TABLE bench_rows AS SELECT i AS id, ('name ' || i)::varchar(30) AS name, "
                "(i * 0.01)::numeric(12,2) AS price, "
                "timestamp '2024-01-01' + i * interval '1 minute' AS born "
                "FROM generate_series(1, " + std::to_string(kRows) + ") i");
        return d;
    }();
    return db.get();
}

// Seconds an iteration of psql's CSV took in this run, each repetition, for
// the ratio the export reports beside it.
std::vector<double> g_csvSeconds;

template <class Body>
double TimedSeconds(Body&& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double RowsPerSecond(const benchmark::State& state, double seconds)
{
    return seconds > 0 ? kRows * static_cast<double>(state.iterations()) / seconds : 0;
}

kelm::test::TempDir& Folder()
{
    static kelm::test::TempDir dir;
    return dir;
}

void BM_PsqlCsv(benchmark::State& state)
{
    auto* db = Database();
    if (!db) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return;
    }
    const std::string out = (Folder() / "rows.csv").string();
    const std::string cmd = "psql -X -q -h '" + kelm::test::PgHost() + "' -p " + kelm::test::PgPort() +
                            " -d " + db->name() + " -c \"\\copy (SELECT id, name, price, born FROM bench_rows) TO '" +
                            out + "' CSV\"";
    double total = 0;
    for (auto _ : state)
        total += TimedSeconds([&] {
            if (std::system(cmd.c_str()) != 0)
                state.SkipWithError("psql failed");
        });
    g_csvSeconds.push_back(total / static_cast<double>(state.iterations()));
    // By the clock: psql's work is its own process's, not this one's.
    state.counters["rows/s"] = RowsPerSecond(state, total);
}

// The export through a connection opened with these extra options.
void ExportToDbf(benchmark::State& state, const std::string& options)
{
    auto* db = Database();
    if (!db) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return;
    }
    const std::string path = (Folder() / "export.dbf").string();
    CDatabase connection;
    if (!connection.OpenEx((db->odbcConnString() + options).c_str(), CDatabase::noOdbcDialog)) {
        state.SkipWithError("cannot connect through ODBC");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        total += TimedSeconds([&] {
            CODBCRecord rs(&connection);
            rs.Open(CRecordset::forwardOnly, "SELECT id, name, price, born FROM bench_rows",
                    CRecordset::readOnly);
            if (!CopyODBCtoDBF(path.c_str(), rs))
                state.SkipWithError("export failed");
            rs.Close();
        });
    }
    state.counters["rows/s"] = RowsPerSecond(state, total);
    // How many times psql's CSV of the same rows in this run the export takes.
    if (const double csv = Median(g_csvSeconds); csv > 0)
        state.counters["x_psql_csv"] = total / static_cast<double>(state.iterations()) / csv;
}

// A data source with psqlODBC's defaults.
void BM_ExportToDbf(benchmark::State& state)
{
    ExportToDbf(state, "");
}

// A data source meant for large results: every SELECT through a server
// cursor, ten thousand rows a fetch.
void BM_ExportToDbfCursorFetch(benchmark::State& state)
{
    ExportToDbf(state, "UseDeclareFetch=1;Fetch=10000;");
}

void BM_DbfWrite(benchmark::State& state)
{
    const std::string path = (Folder() / "rows.dbf").string();
    for (auto _ : state) {
        CFieldDBFArray fields;
        const struct {
            const char* name;
            short type;
            unsigned precision;
            short scale;
        } columns[] = {{"id", SQL_INTEGER, 10, 0},
                       {"name", SQL_VARCHAR, 30, 0},
                       {"price", SQL_NUMERIC, 12, 2},
                       {"born", SQL_TYPE_TIMESTAMP, 26, 6}};
        std::uint32_t offset = 1;
        for (const auto& c : columns) {
            auto f = std::make_unique<CFieldDBF>();
            DBFFieldFromColumn(c.name, c.type, c.precision, c.scale, offset, *f);
            offset += f->m_length;
            fields.push_back(std::move(f));
        }
        if (!CreateDBFile(path.c_str(), fields)) {
            state.SkipWithError("cannot create the file");
            return;
        }
        CDataBaseFile file;
        file.Open(path.c_str(), 0);
        char name[32];
        TIMESTAMP_STRUCT born{};
        born.year = 2024;
        born.month = 1;
        for (int i = 1; i <= kRows; ++i) {
            file.AddNew();
            file.SetValue(0, std::int32_t{i});
            std::snprintf(name, sizeof name, "name %d", i);
            file.SetValue(1, name);
            file.SetValue(2, i * 0.01);
            born.day = static_cast<SQLUSMALLINT>(1 + i % 28);
            file.SetValue(3, born);
        }
        file.Close();
    }
    state.counters["rows/s"] = benchmark::Counter(kRows, benchmark::Counter::kIsIterationInvariantRate);
}

#define ONE_PASS Iterations(1)->Apply(WithSpread<5>)->UseRealTime()->Unit(benchmark::kMillisecond)
BENCHMARK(BM_PsqlCsv)->ONE_PASS;
BENCHMARK(BM_ExportToDbf)->ONE_PASS;
BENCHMARK(BM_ExportToDbfCursorFetch)->ONE_PASS;
BENCHMARK(BM_DbfWrite)->ONE_PASS;

} // namespace

BENCHMARK_MAIN();
