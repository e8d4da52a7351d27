// Expanding a group of 500 processes, each with one document type, in the
// process tree on PostgreSQL: the tree reads the processes, then each
// process's document types, as the tree has always done. Beside it, one
// join that reads the same rows, which is what a user would run instead.
#include "treelogic.h"

#include "testsupport.h"
#include "tests/charts/chartdb_support.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kProcesses = 500;

struct NoHost : tarnwick::ITreeHost {
    void OpenDiagram(std::int32_t, const std::string&) override {}
    bool CloseDiagram(std::int32_t) override { return true; }
    CBaseDiagramDoc* OpenChartFile() override { return nullptr; }
    void CloseChartLater(CBaseDiagramDoc*) override {}
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

void BM_ExpandGroup(benchmark::State& state)
{
    Catalogue* catalogue = CatalogueFor(state);
    if (!catalogue)
        return;
    NoHost host;
    std::size_t shown = 0;
    for (auto _ : state) {
        tarnwick::CMemoryTreeItems items;
        tarnwick::CTreeAWFLogic tree(items, host);
        tree.FillTree();
        const tarnwick::TreeItem root = items.GetChildren(items.GetRootItem()).at(0);
        const tarnwick::TreeItem group = items.GetChildren(root).at(0);
        if (!tree.OnItemExpanding(group)) {
            state.SkipWithError("the group did not expand");
            return;
        }
        shown = items.GetChildren(group).size();
    }
    state.counters["processes"] = static_cast<double>(shown);
}

void BM_OneJoinQuery(benchmark::State& state)
{
    Catalogue* catalogue = CatalogueFor(state);
    if (!catalogue)
        return;
    std::size_t rows = 0;
    for (auto _ : state) {
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
    }
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK(BM_ExpandGroup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneJoinQuery)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
