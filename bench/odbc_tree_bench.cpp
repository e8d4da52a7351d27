// The object tree opening the owner of 10,000 tables on PostgreSQL, beside
// SQLTables fetched by hand on the same connection; the login dialog
// listing 500 data sources, beside SQLDataSources walked by hand. Each is
// repeated, its median and spread printed, timed by the clock.
#include "bench/benchstats.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/trees/core/dbobjecttree.h"
#include "odbc/dialogs/core/logindlg.h"

#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace kelm::test;

namespace {

constexpr int kTables = 10000;
constexpr int kSources = 500;

struct Schema {
    std::unique_ptr<PgDatabase> pg;
    CDatabaseEx db;
};

Schema& WideSchema()
{
    static std::unique_ptr<Schema> schema;
    if (!schema) {
        schema = std::make_unique<Schema>();
        schema->pg = std::make_unique<PgDatabase>("benchtree");
        schema->pg->exec("CREATE SCHEMA wide");
        // In batches: each table takes a lock until its transaction ends.
        for (int from = 1; from <= kTables; from += 500)
            schema->pg->exec("DO $$ BEGIN FOR i IN " + std::to_string(from) + ".." + std::to_string(from + 499) +
                             " LOOP EXECUTE format('CREATE TABLE wide.t%s (id integer PRIMARY KEY, note text)', i); "
                             "END LOOP; END $$");
        std::string error;
        if (!schema->db.OpenDBExStr(schema->pg->odbcConnString().c_str(), false, error))
            throw std::runtime_error(error);
    }
    return *schema;
}

void TreeExpandOwner(benchmark::State& state)
{
    Schema& s = WideSchema();
    CTreeDBObjectsModel tree;
    int queries = 0;
    std::size_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tree.Populate(&s.db);
        CDBTreeNode* owner = nullptr;
        for (const auto& o : tree.Root()->children.front()->children.front()->children)
            if (o->text == "wide")
                owner = o.get();
        int before = tree.CatalogQueries();
        state.ResumeTiming();
        tree.Expand(owner);
        queries = tree.CatalogQueries() - before;
        nodes = owner->children.size();
    }
    if (nodes != kTables)
        state.SkipWithError("wrong table count");
    state.counters["catalog_queries"] = queries;
    state.counters["tables"] = static_cast<double>(nodes);
}

void RawSQLTables(benchmark::State& state)
{
    Schema& s = WideSchema();
    std::string catalog = s.db.GetDatabaseName();
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        HSTMT h = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, s.db.m_hdbc, &h);
        SQLTables(h, (SQLCHAR*)catalog.c_str(), SQL_NTS, (SQLCHAR*)"wide", SQL_NTS, nullptr, 0, (SQLCHAR*)"'TABLE'",
                  SQL_NTS);
        char owner[256], name[256];
        SQLLEN ownerLen = 0, nameLen = 0;
        SQLBindCol(h, 2, SQL_C_CHAR, owner, sizeof owner, &ownerLen);
        SQLBindCol(h, 3, SQL_C_CHAR, name, sizeof name, &nameLen);
        while (SQL_SUCCEEDED(SQLFetch(h))) {
            std::string text = std::string(owner) + "." + name;
            benchmark::DoNotOptimize(text);
            ++rows;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
    if (rows != kTables)
        state.SkipWithError("wrong table count");
}

void LoginList(benchmark::State& state)
{
    std::size_t items = 0;
    for (auto _ : state) {
        CLoginDlg dlg;
        dlg.OnInitDialog();
        items = dlg.m_dsnItems.size();
    }
    if (items < kSources)
        state.SkipWithError(("wrong source count " + std::to_string(items)).c_str());
}

void RawSQLDataSources(benchmark::State& state)
{
    std::size_t items = 0;
    for (auto _ : state) {
        items = 0;
        SQLHENV env = SQL_NULL_HENV;
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLCHAR name[256], driver[256];
        SQLSMALLINT nameLen = 0, driverLen = 0;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLen, driver, sizeof driver, &driverLen))) {
            direction = SQL_FETCH_NEXT;
            ++items;
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    if (items < kSources)
        state.SkipWithError(("wrong source count " + std::to_string(items)).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // The data sources of this run, before the first ODBC call.
    static TempDir dir;
    std::string ini;
    for (int i = 0; i < kSources; ++i)
        // Short names: unixODBC lists the sections of odbc.ini through a
        // buffer of about 4 KB of names.
        ini += "[S" + std::to_string(i) + "]\nDriver=SQLite3\nDatabase=" + (dir / "x.db").string() + "\n\n";
    setenv("ODBCINI", dir.write("odbc.ini", ini).c_str(), 1);

    benchmark::Initialize(&argc, argv);
    using kelm::bench::WithSpread;
    benchmark::RegisterBenchmark("login/list500", LoginList)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(WithSpread<5>);
    // The driver manager's own walk rereads the files for every source: many
    // seconds a pass, so one pass a repetition.
    benchmark::RegisterBenchmark("raw/SQLDataSources500", RawSQLDataSources)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Apply(WithSpread<3>);
    if (PgAvailable()) {
        benchmark::RegisterBenchmark("tree/expand_owner_10000", TreeExpandOwner)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5)
            ->Apply(WithSpread<5>);
        benchmark::RegisterBenchmark("raw/SQLTables_10000", RawSQLTables)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Apply(WithSpread<5>);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
