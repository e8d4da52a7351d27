// Reading 100,000 rows (two integers, a text, an integer) through the ADO
// layer, and through the ODBC calls a program would make without it. Each
// engine's plain ODBC read runs first; "x_odbc" is the ADO read's time per
// pass over the median of its repetitions, in the same run. Each read is
// repeated, its median and spread printed, timed by the clock: the server
// works for the client meanwhile.
#include "ado/ado.h"
#include "bench/benchstats.h"
#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using kelm::bench::Median;
using kelm::bench::WithSpread;

namespace {

constexpr int kRows = 100000;

// Seconds per pass of the plain ODBC read, by engine, each repetition.
std::map<std::string, std::vector<double>> g_odbcSeconds;

double SecondsPerPass(const benchmark::State& state, std::chrono::steady_clock::duration total)
{
    return state.iterations() ? std::chrono::duration<double>(total).count() / state.iterations() : 0;
}
const char* kQuery = "SELECT id, grp, name, val FROM bench_rows";

struct Source {
    std::string connString;
    std::unique_ptr<kelm::test::TempDir> dir;
    std::unique_ptr<kelm::test::PgDatabase> pg;
};

Source& Sqlite()
{
    static Source source = [] {
        Source s;
        s.dir = std::make_unique<kelm::test::TempDir>();
        s.connString = kelm::test::SqliteConnString(s.dir->path() / "bench.db");
        ado::_ConnectionPtr cn;
        cn.CreateInstance("ADODB.Connection");
        cn->Open(s.connString);
        cn->Execute("CREATE TABLE bench_rows (id INTEGER PRIMARY KEY, grp integer, name text, val integer)");
        cn->Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
                    std::to_string(kRows) +
                    ") INSERT INTO bench_rows SELECT x, x % 7, 'Строка номер ' || x, x * 3 FROM c");
        cn->Close();
        return s;
    }();
    return source;
}

Source* Postgres()
{
    static std::unique_ptr<Source> source = []() -> std::unique_ptr<Source> {
        if (!kelm::test::PgAvailable())
            return nullptr;
        auto s = std::make_unique<Source>();
        s->pg = std::make_unique<kelm::test::PgDatabase>("bench_ado");
        s->connString = s->pg->odbcConnString();
        s->pg->exec("CREATE TABLE bench_rows (id integer PRIMARY KEY, grp integer, name text, val integer)");
        s->pg->exec("INSERT INTO bench_rows SELECT x, x % 7, 'Строка номер ' || x, x * 3 FROM generate_series(1, " +
                    std::to_string(kRows) + ") x");
        return s;
    }();
    return source.get();
}

void ReadThroughAdo(benchmark::State& state, const std::string& connString, const std::string& engine)
{
    ado::_ConnectionPtr cn;
    cn.CreateInstance("ADODB.Connection");
    cn->Open(connString);
    std::chrono::steady_clock::duration total{};
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(kQuery, cn, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
        long rows = 0, sum = 0;
        std::size_t chars = 0;
        while (!rs->IsEOF()) {
            sum += static_cast<long>(rs->GetCollect("id")) + static_cast<long>(rs->GetCollect("grp")) +
                   static_cast<long>(rs->GetCollect("val"));
            chars += static_cast<std::string>(rs->GetCollect("name")).size();
            ++rows;
            rs->MoveNext();
        }
        if (rows != kRows)
            throw std::runtime_error("wrong row count");
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        total += std::chrono::steady_clock::now() - t0;
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    if (auto it = g_odbcSeconds.find(engine); it != g_odbcSeconds.end() && Median(it->second) > 0)
        state.counters["x_odbc"] = SecondsPerPass(state, total) / Median(it->second);
}

// What a program does with ODBC alone: bound-free SQLGetData per column.
void ReadThroughOdbc(benchmark::State& state, const std::string& connString, SQLSMALLINT textType,
                     const std::string& engine)
{
    SQLHENV env;
    SQLHDBC dbc;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string text = connString;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT)))
        throw std::runtime_error("cannot connect");
    std::chrono::steady_clock::duration total{};
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        SQLHSTMT stmt;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kQuery)), SQL_NTS);
        long rows = 0, sum = 0;
        std::size_t chars = 0;
        char buffer[1024];
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            for (SQLUSMALLINT column : {1, 2, 4}) {
                SQLBIGINT value = 0;
                SQLLEN indicator = 0;
                SQLGetData(stmt, column, SQL_C_SBIGINT, &value, 0, &indicator);
                sum += static_cast<long>(value);
            }
            SQLLEN indicator = 0;
            SQLGetData(stmt, 3, textType, buffer, sizeof buffer, &indicator);
            chars += indicator > 0 ? static_cast<std::size_t>(indicator) : 0;
            ++rows;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (rows != kRows)
            throw std::runtime_error("wrong row count");
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        total += std::chrono::steady_clock::now() - t0;
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    g_odbcSeconds[engine].push_back(SecondsPerPass(state, total));
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

void BM_SqliteAdo(benchmark::State& state) { ReadThroughAdo(state, Sqlite().connString, "sqlite"); }
void BM_SqliteOdbc(benchmark::State& state) { ReadThroughOdbc(state, Sqlite().connString, SQL_C_CHAR, "sqlite"); }

void BM_PostgresAdo(benchmark::State& state)
{
    if (!Postgres()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return;
    }
    ReadThroughAdo(state, Postgres()->connString, "pg");
}

void BM_PostgresOdbc(benchmark::State& state)
{
    if (!Postgres()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return;
    }
    ReadThroughOdbc(state, Postgres()->connString, SQL_C_WCHAR, "pg");
}

#define READS Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Apply(WithSpread<5>)
BENCHMARK(BM_SqliteOdbc)->READS;
BENCHMARK(BM_SqliteAdo)->READS;
BENCHMARK(BM_PostgresOdbc)->READS;
BENCHMARK(BM_PostgresAdo)->READS;

} // namespace

BENCHMARK_MAIN();
