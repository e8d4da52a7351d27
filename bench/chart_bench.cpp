// A chart of 1,000 states, 3,000 moves and 3,000 actions (scale 1) and of
// four times that (scale 4), on PostgreSQL: the first save (every row added),
// a save of the unchanged chart (every row updated), and the load. Beside
// them, the same number of rows written with plain INSERTs in one
// transaction. "table_ops" counts the scans and row writes the server saw
// on the user tables (pg_stat_user_tables), a measure of the statements.
// "x_plain" is the first save over the plain INSERTs of the same run,
// "x_first" the unchanged save over the first save. The integrity check the
// save command runs first is timed on the same charts, without a database.
#include "charts/chartprogress.h"
#include "charts/chartshell.h"
#include "charts/diagrammodel.h"
#include "testsupport.h"
#include "tests/charts/chartdb_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

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

// Seconds of the last timed step, by benchmark and scale, for the ratios.
std::map<std::pair<std::string, int>, double> g_seconds;

void Ratio(benchmark::State& state, const char* name, const char* over, int scale, double seconds)
{
    g_seconds[{name, scale}] = seconds;
    if (over)
        if (auto it = g_seconds.find({over, scale}); it != g_seconds.end() && it->second > 0)
            state.counters[std::string("x_") + (std::string(over) == "plain" ? "plain" : "first")] =
                seconds / it->second;
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

void BM_ChartFirstSave(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    long ops = 0;
    double seconds = 0;
    for (auto _ : state) {
        ClearChart(*db);
        CTarnwickModel model;
        Build(model, scale);
        seconds = Measure(state, *db, ops, "save", [&] { return model.SaveToDB(); });
    }
    Report(state, scale, ops);
    Ratio(state, "first", "plain", scale, seconds);
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
    Ratio(state, "unchanged", "first", scale, seconds);
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

// The same rows, without drawings, as plain INSERT statements in one transaction.
void BM_PlainInserts(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    Database* db = DatabaseFor(state);
    if (!db)
        return;
    ado::_ConnectionPtr& c = db->shell.connection;
    for (auto _ : state) {
        ClearChart(*db);
        const auto t0 = std::chrono::steady_clock::now();
        c->BeginTrans();
        const int states = 1000 * scale;
        for (int i = 1; i <= states; ++i)
            c->Execute("INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, 70001, " +
                       std::to_string(i) + ")");
        for (int i = 1; i <= states; ++i)
            for (int k = 1; k <= 3; ++k) {
                const std::string to = std::to_string((i - 1 + k) % states + 1);
                c->Execute("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES (3, 4, 70001, " +
                           std::to_string(i) + ", 3, " + to + ")");
                c->Execute("INSERT INTO MainDocAction(Grp, Type, TypeDoc, State, NewGrp, NewState, Action, OrderAction) "
                           "VALUES (3, 4, 70001, " +
                           std::to_string(i) + ", 3, " + to + ", 300001, 1)");
            }
        c->CommitTrans();
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        Ratio(state, "plain", nullptr, scale, std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["elements"] = 7000.0 * scale;
}

// The integrity check of the same chart, as the save command runs it first.
void BM_ChartCheck(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    BenchShell shell;
    tarnwick::SetChartShell(&shell);
    CTarnwickModel model;
    Build(model, scale);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool passed = tarnwick::CheckChart(model, false);
        const auto t1 = std::chrono::steady_clock::now();
        if (!passed)
            state.SkipWithError(("check failed: " + shell.last).c_str());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        state.counters["ns_per_element"] = std::chrono::duration<double, std::nano>(t1 - t0).count() / (7000.0 * scale);
    }
    state.counters["elements"] = 7000.0 * scale;
    tarnwick::SetChartShell(nullptr);
}

} // namespace

#define CHART_SIZES Arg(1)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond)
BENCHMARK(BM_PlainInserts)->CHART_SIZES;
BENCHMARK(BM_ChartFirstSave)->CHART_SIZES;
BENCHMARK(BM_ChartSaveUnchanged)->CHART_SIZES;
BENCHMARK(BM_ChartLoad)->CHART_SIZES;
BENCHMARK(BM_ChartCheck)->CHART_SIZES;
BENCHMARK_MAIN();
