// A chart of 1,000 states, 3,000 moves and 3,000 actions (scale 1), and
// twice and four times that, on PostgreSQL: the first save (every row
// added), a save of the unchanged chart (every row updated), and the load.
// Beside the first save, what a user would run instead: psql sending the
// same rows, drawings and all, as plain INSERT statements in one
// transaction; "x_psql" is a first save over psql's run on the same empty
// tables just before it, and "x_first" an unchanged save over the median
// first save. "table_ops" counts the scans and row writes the server
// saw on the user tables (pg_stat_user_tables), a measure of the
// statements. The integrity check the save command runs first is timed on
// the same charts, without a database, with the chart in the processor's
// caches and without. Each figure is repeated; its median and spread are
// printed.
#include "bench/benchstats.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"
#include "charts/documents/core/diagrammodel.h"
#include "tests/common/testsupport.h"
#include "tests/charts/chartdb_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <strings.h>
#include <vector>

using kelm::bench::Median;
using kelm::bench::WithSpread;

namespace {

constexpr int kTypeDoc = 70001;

class BenchShell : public tarnwick::IChartShell {
public:
    bool AskYesNo(const std::string&) override { return false; }
    int AskYesNoCancel(const std::string&) override { return tarnwick::IDCANCEL; }
    void Message(const std::string& text, const std::string&, tarnwick::ChartIcon) override { last = text; }
    void PostCommand(int) override {}
    bool SendCommand(int) override { return false; }
    bool IsReadOnly() const override { return false; }
    ado::_ConnectionPtr Connection() override { return connection; }
    ado::_ConnectionPtr connection;
    std::string last;
};

struct Database {
    std::unique_ptr<kelm::test::PgDatabase> pg;
    BenchShell shell;
};

Database* DatabaseFor(benchmark::State& state)
{
    static std::map<int, std::unique_ptr<Database>> databases;
    if (!kelm::test::PgAvailable()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return nullptr;
    }
    const int scale = static_cast<int>(state.range(0));
    auto& slot = databases[scale];
    if (!slot) {
        slot = std::make_unique<Database>();
        slot->pg = std::make_unique<kelm::test::PgDatabase>("bench_chart" + std::to_string(scale));
        slot->shell.connection.CreateInstance("ADODB.Connection");
        slot->shell.connection->Open(slot->pg->odbcConnString(), "", "", -1);
        chartdb::LoadSchema(slot->shell.connection, true, KELM_SOURCE_DIR);
        slot->pg->exec("INSERT INTO ProdDocState(Grp, State, NameState) SELECT 3, x, 'Состояние ' || x FROM "
                       "generate_series(1, " +
                       std::to_string(1000 * scale) + ") x");
        slot->pg->exec("INSERT INTO ProdDocAction(Action, NameAction, Grp) VALUES (300001, 'Действие', 3)");
        slot->pg->exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70001, 4, 3, 'Документ')");
        slot->pg->exec("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState) VALUES (3, 4, 70001, 1)");
    }
    tarnwick::SetChartShell(&slot->shell);
    return slot.get();
}

long TableOps(Database& db)
{
    ado::_ConnectionPtr& c = db.shell.connection;
    c->Execute("SELECT pg_stat_force_next_flush()");
    ado::_RecordsetPtr rs = c->Execute("SELECT coalesce(sum(coalesce(seq_scan, 0) + coalesce(idx_scan, 0) + n_tup_ins + "
                                       "n_tup_upd + n_tup_del), 0) FROM pg_stat_user_tables");
    const long n = static_cast<long>(rs->GetCollect(ado::_variant_t(0)).ToInt64());
    rs->Close();
    return n;
}

void ClearChart(Database& db)
{
    for (const char* table : {"MainDocAction", "MainDocMove", "MainDocState"})
        db.pg->exec(std::string("DELETE FROM ") + table);
}

void Build(CTarnwickModel& model, int scale)
{
    chartdb::BuildChart(model, 3, 4, kTypeDoc, 1000 * scale, 3, 1);
}

// Replaces whatever chart the database holds by a freshly built and saved one.
void StoreChart(Database& db, CTarnwickModel& model, int scale)
{
    ClearChart(db);
    Build(model, scale);
    model.SaveToDB();
}

// Seconds of every repetition, by benchmark and scale, for the ratios.
std::map<std::pair<std::string, int>, std::vector<double>> g_seconds;

// Notes a repetition's time and gives it as a multiple of the median of a
// baseline's repetitions in this run.
void Ratio(benchmark::State& state, const char* name, const char* over, const char* counter, int scale,
           double seconds)
{
    g_seconds[{name, scale}].push_back(seconds);
    if (over)
        if (auto it = g_seconds.find({over, scale}); it != g_seconds.end())
            if (const double median = Median(it->second); median > 0)
                state.counters[counter] = seconds / median;
}

void Report(benchmark::State& state, int scale, long ops)
{
    const double elements = 7000.0 * scale;
    state.counters["elements"] = elements;
    state.counters["table_ops"] = static_cast<double>(ops);
    state.counters["ops_per_element"] = ops / elements;
}

// Runs one step of an iteration, timing it alone and counting the table
// operations it caused.
template <class Step>
double Measure(benchmark::State& state, Database& db, long& ops, const char* what, Step step)
{
    const long before = TableOps(db);
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = step();
    const auto t1 = std::chrono::steady_clock::now();
    ops = TableOps(db) - before;
    if (!ok)
        state.SkipWithError((std::string(what) + " failed: " + db.shell.last).c_str());
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(seconds);
    return seconds;
}

// The rows a first save of the chart writes, drawings and all, as plain
// INSERT statements, one a line, in a file for psql.
std::string InsertsOfTheChart(Database& db, int scale)
{
    static kelm::test::TempDir folder;
    const std::string file = (folder / ("chart" + std::to_string(scale) + ".sql")).string();
    {
        CTarnwickModel model;
        StoreChart(db, model, scale);
    }
    std::ofstream out(file);
    ado::_ConnectionPtr& c = db.shell.connection;
    for (const auto& [table, id] : {std::pair{"MainDocState", "idState"}, std::pair{"MainDocMove", "idMove"},
                                    std::pair{"MainDocAction", "idAction"}}) {
        ado::_RecordsetPtr rs = c->Execute(std::string("SELECT * FROM ") + table + " WHERE 1 = 0");
        std::string columns, values;
        for (long i = 0; i < rs->FieldCount(); ++i) {
            const std::string& name = rs->FieldName(i);
            if (strcasecmp(name.c_str(), id) == 0)
                continue; // the engine numbers the rows, as it does for the save
            columns += (columns.empty() ? "" : ", ") + name;
            values += (values.empty() ? "quote_nullable(" : ", quote_nullable(") + name + ")";
        }
        rs->Close();
        rs = c->Execute(std::string("SELECT 'INSERT INTO ") + table + "(" + columns + ") VALUES (' || concat_ws(', ', " +
                        values + ") || ');' FROM " + table + " WHERE TypeDoc = " + std::to_string(kTypeDoc) +
                        " ORDER BY " + id);
        for (; !rs->IsEOF(); rs->MoveNext())
            out << rs->GetCollect(ado::_variant_t(0)).ToString() << "\n";
        rs->Close();
    }
    return file;
}

// Seconds psql takes to run those statements in one transaction on the
// emptied tables; negative when it fails.
double PsqlInserts(Database& db, int scale)
{
    static std::map<int, std::string> files;
    if (!files.count(scale))
        files[scale] = InsertsOfTheChart(db, scale);
    const std::string command = "psql -X -q -v ON_ERROR_STOP=1 -1 -o /dev/null -h '" + kelm::test::PgHost() +
                                "' -p " + kelm::test::PgPort() + " -d " + db.pg->name() + " -f '" + files[scale] + "'";
    ClearChart(db);
    const auto t0 = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return status == 0 ? seconds : -1;
}

void BM_PsqlInsertsOfTheSameRows(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    for (auto _ : state) {
        const double seconds = PsqlInserts(*db, scale);
        if (seconds < 0)
            state.SkipWithError("psql failed");
        state.SetIterationTime(seconds);
    }
    state.counters["elements"] = 7000.0 * scale;
}

void BM_ChartFirstSave(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    long ops = 0;
    double seconds = 0;
    for (auto _ : state) {
        // psql on the same empty tables just before, so that the ratio
        // compares the two under the same load of the machine.
        const double psql = PsqlInserts(*db, scale);
        ClearChart(*db);
        CTarnwickModel model;
        Build(model, scale);
        seconds = Measure(state, *db, ops, "save", [&] { return model.SaveToDB(); });
        if (psql > 0)
            state.counters["x_psql"] = seconds / psql;
    }
    Report(state, scale, ops);
    Ratio(state, "first", nullptr, nullptr, scale, seconds);
}

void BM_ChartSaveUnchanged(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    CTarnwickModel model;
    StoreChart(*db, model, scale);
    long ops = 0;
    double seconds = 0;
    for (auto _ : state) {
        seconds = Measure(state, *db, ops, "save", [&] { return model.SaveToDB(); });
    }
    Report(state, scale, ops);
    Ratio(state, "unchanged", "first", "x_first", scale, seconds);
}

void BM_ChartLoad(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    {
        CTarnwickModel model;
        StoreChart(*db, model, scale);
    }
    long ops = 0;
    for (auto _ : state) {
        CTarnwickModel model;
        Measure(state, *db, ops, "load", [&] {
            return model.LoadFromDB(kTypeDoc, true) && model.GetComponentCount() == 10000 * scale;
        });
    }
    Report(state, scale, ops);
}

// The integrity check of the same chart, as the save command runs it first:
// again and again on a chart whose memory the last check left in the
// processor's caches, and (ColdCache) as a user meets it, once, after other
// work has pushed the chart out of them.
void ChartCheck(benchmark::State& state, bool cold)
{
    const int scale = static_cast<int>(state.range(0));
    BenchShell shell;
    tarnwick::SetChartShell(&shell);
    CTarnwickModel model;
    Build(model, scale);
    // Written between two checks, larger than the caches the chart could stay in.
    std::vector<char> otherWork(cold ? std::size_t{256} << 20 : 0);
    for (auto _ : state) {
        for (std::size_t i = 0; i < otherWork.size(); i += 64)
            ++otherWork[i];
        const auto t0 = std::chrono::steady_clock::now();
        const bool passed = tarnwick::CheckChart(model, false);
        const auto t1 = std::chrono::steady_clock::now();
        if (!passed)
            state.SkipWithError(("check failed: " + shell.last).c_str());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        state.counters["ns_per_element"] = std::chrono::duration<double, std::nano>(t1 - t0).count() / (7000.0 * scale);
    }
    benchmark::DoNotOptimize(otherWork.data());
    state.counters["elements"] = 7000.0 * scale;
    tarnwick::SetChartShell(nullptr);
}

void BM_ChartCheck(benchmark::State& state) { ChartCheck(state, false); }
void BM_ChartCheckColdCache(benchmark::State& state) { ChartCheck(state, true); }

} // namespace

// A save changes the database, so each repetition is one save on tables
// made ready for it; the check runs as often as the library likes.
#define CHART_SIZES Arg(1)->Arg(2)->Arg(4)->UseManualTime()->Unit(benchmark::kMillisecond)
BENCHMARK(BM_PsqlInsertsOfTheSameRows)->CHART_SIZES->Iterations(1)->Apply(WithSpread<7>);
BENCHMARK(BM_ChartFirstSave)->CHART_SIZES->Iterations(1)->Apply(WithSpread<7>);
BENCHMARK(BM_ChartSaveUnchanged)->CHART_SIZES->Iterations(1)->Apply(WithSpread<7>);
BENCHMARK(BM_ChartLoad)->CHART_SIZES->Iterations(1)->Apply(WithSpread<7>);
BENCHMARK(BM_ChartCheck)->CHART_SIZES->Apply(WithSpread<7>);
BENCHMARK(BM_ChartCheckColdCache)->CHART_SIZES->Iterations(20)->Apply(WithSpread<7>);
BENCHMARK_MAIN();
