// Expanding a group of 500 processes, each with one document type, in the
// process tree on PostgreSQL: the tree reads the processes, then the
// document types of them all. Beside it, one join that reads the same rows,
// which is what a user would run instead; "x_join" is the expansion over the
// median of the join's repetitions in the same run. Both are repeated, their
// median and spread printed.
#include "bench/benchstats.h"
#include "editor/trees/core/processtree.h"

#include "tests/common/testsupport.h"
#include "tests/charts/chartdb_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

using kelm::bench::Median;
using kelm::bench::WithSpread;

namespace {

constexpr int kProcesses = 500;

struct NoHost : tarnwick::ITreeHost {
    void OpenDiagram(std::int32_t, const std::string&) override {}
    bool CloseDiagram(std::int32_t) override { return true; }
    std::unique_ptr<tarnwick::IOpenedChart> OpenChartFile() override { return nullptr; }
    bool AskYesNo(const std::string&) override { return false; }
    void DiscardDiagram(std::int32_t) override {}
    void RetitleDiagram(std::int32_t, const std::string&) override {}
};

struct Catalogue {
    std::unique_ptr<kelm::test::PgDatabase> pg;
    std::unique_ptr<tarnwick::CTarnwickAppCore> app;
};

Catalogue* CatalogueFor(benchmark::State& state)
{
    static std::unique_ptr<Catalogue> catalogue;
    if (!kelm::test::PgAvailable()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return nullptr;
    }
    if (!catalogue) {
        catalogue = std::make_unique<Catalogue>();
        catalogue->pg = std::make_unique<kelm::test::PgDatabase>("bench_tree");
        catalogue->app = std::make_unique<tarnwick::CTarnwickAppCore>();
        auto& connection = catalogue->app->m_pConnection;
        connection.CreateInstance("ADODB.Connection");
        connection->Open(catalogue->pg->odbcConnString(), "", "", -1);
        chartdb::LoadSchema(connection, true, KELM_SOURCE_DIR);
        const std::string n = std::to_string(kProcesses);
        catalogue->pg->exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (3, 'Продажи', 'Продажи')");
        catalogue->pg->exec("INSERT INTO MainGroupOperate(Grp) VALUES (3)");
        catalogue->pg->exec("INSERT INTO MainTypeOperate(Grp, Type, NameOperate) SELECT 3, x, 'Процесс ' || x FROM "
                            "generate_series(1, " + n + ") x");
        catalogue->pg->exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) SELECT 70000 + x, x, 3, "
                            "'Документ ' || x FROM generate_series(1, " + n + ") x");
        catalogue->pg->exec("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState) SELECT 3, x, 70000 + x, 1 FROM "
                            "generate_series(1, " + n + ") x");
        catalogue->pg->exec("ANALYZE");
    }
    return catalogue.get();
}

// Seconds an iteration of the join took, repetition by repetition.
std::vector<double> g_joinSeconds;

template <class Body>
double SecondsOf(Body&& body)
{
    const auto t0 = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_OneJoinQuery(benchmark::State& state)
{
    Catalogue* catalogue = CatalogueFor(state);
    if (!catalogue)
        return;
    std::size_t rows = 0;
    double total = 0;
    for (auto _ : state) {
        const double seconds = SecondsOf([&] {
            rows = 0;
            ado::_RecordsetPtr rs = catalogue->app->m_pConnection->Execute(
                "SELECT t.Grp, t.Type, t.NameOperate, p.NameDoc, p.TypeDoc FROM MainTypeOperate t "
                "JOIN MainDocType m ON m.Grp = t.Grp AND m.Type = t.Type JOIN ProdDocType p ON p.TypeDoc = m.TypeDoc "
                "AND p.Type = t.Type WHERE t.Grp = 3");
            for (; !rs->IsEOF(); rs->MoveNext()) {
                benchmark::DoNotOptimize(rs->GetCollect("NameOperate").ToString());
                benchmark::DoNotOptimize(rs->GetCollect("TypeDoc").ToLong());
                ++rows;
            }
        });
        state.SetIterationTime(seconds);
        total += seconds;
    }
    g_joinSeconds.push_back(total / static_cast<double>(state.iterations()));
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_ExpandGroup(benchmark::State& state)
{
    Catalogue* catalogue = CatalogueFor(state);
    if (!catalogue)
        return;
    NoHost host;
    std::size_t shown = 0;
    double total = 0;
    for (auto _ : state) {
        tarnwick::CMemoryTreeItems items;
        tarnwick::CTreeAWFLogic tree(items, host);
        tree.FillTree();
        const tarnwick::TreeItem root = items.GetChildren(items.GetRootItem()).at(0);
        const tarnwick::TreeItem group = items.GetChildren(root).at(0);
        bool expanded = false;
        const double seconds = SecondsOf([&] { expanded = tree.OnItemExpanding(group); });
        state.SetIterationTime(seconds);
        total += seconds;
        if (!expanded) {
            state.SkipWithError("the group did not expand");
            return;
        }
        shown = items.GetChildren(group).size();
    }
    state.counters["processes"] = static_cast<double>(shown);
    if (const double join = Median(g_joinSeconds); join > 0)
        state.counters["x_join"] = total / static_cast<double>(state.iterations()) / join;
}

// The join first, so that each expansion has the join's figure of this run.
BENCHMARK(BM_OneJoinQuery)->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(WithSpread<7>);
BENCHMARK(BM_ExpandGroup)->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(WithSpread<7>);

} // namespace

BENCHMARK_MAIN();
