// Opening a chart of 1,000 states (3,000 moves, 3,000 actions) from
// PostgreSQL to its first painted window, in the program's own frame under
// the display, as a user's double-click on the document type does. Beside
// it, in the same run, the load of the same chart into a model without any
// window: "x_load" is the ratio of the open to the median load. Both are
// repeated, their median and spread printed.
#include "bench/benchstats.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"

#include "charts/documents/ui/basediagramdoc.h"
#include "charts/views/chartview.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "tests/common/testsupport.h"
#include "tests/charts/chartdb_support.h"

#include <benchmark/benchmark.h>

#include <wx/init.h>

#include <chrono>
#include <memory>
#include <vector>

using namespace tarnwick;

using kelm::bench::Median;
using kelm::bench::WithSpread;

namespace {

constexpr int kTypeDoc = 70001;
constexpr int kStates = 1000;

CTarnwickApp* g_app = nullptr;
std::unique_ptr<kelm::test::PgDatabase> g_pg;
// Seconds of every load of the model in this run, for the ratio.
std::vector<double> g_loadSeconds;

// Counts the paints of chart windows as they arrive.
class PaintCounter : public wxEventFilter {
public:
    int FilterEvent(wxEvent& event) override
    {
        if (event.GetEventType() == wxEVT_PAINT && dynamic_cast<CChartCanvas*>(event.GetEventObject()))
            ++paints;
        return Event_Skip;
    }
    int paints = 0;
};

void Settle()
{
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
}

bool Prepare(benchmark::State& state)
{
    if (!kelm::test::PgAvailable()) {
        state.SkipWithError("PostgreSQL test cluster not running");
        return false;
    }
    if (!getenv("DISPLAY")) {
        state.SkipWithError("no display");
        return false;
    }
    if (g_pg)
        return true;
    g_pg = std::make_unique<kelm::test::PgDatabase>("bench_open_chart");
    ado::_ConnectionPtr connection;
    connection.CreateInstance("ADODB.Connection");
    connection->Open(g_pg->odbcConnString(), "", "", -1);
    chartdb::LoadSchema(connection, true, KELM_SOURCE_DIR);
    chartdb::FillCatalogue(connection, 3, kStates, 3);
    g_pg->exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70001, 4, 3, 'Документ')");
    g_pg->exec("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState) VALUES (3, 4, 70001, 1)");

    static int argc = 1;
    static char name[] = "bench_open_chart";
    static char* argv[] = {name, nullptr};
    g_app = new CTarnwickApp;
    wxApp::SetInstance(g_app);
    if (!wxEntryStart(argc, argv)) {
        state.SkipWithError("the display does not open");
        return false;
    }
    InitTarnwickResources();
    wxInitAllImageHandlers();
    g_app->m_pConnection = connection;
    g_app->m_cmdInfo.m_strDSN = "KelmBench";
    g_app->m_cmdInfo.m_nDiagrammType = 1;
    g_app->SetShell(g_app);
    SetChartShell(g_app);
    // Leaving a chart never asks in a benchmark: its changes are dropped.
    SetMessageBoxAnswer([](const std::string&, ChartIcon, MessageButtons) { return static_cast<int>(IDNO); });
    if (!g_app->CreateWindows()) {
        state.SkipWithError("the main frame was not made");
        return false;
    }
    g_app->GetMainFrame()->SetSize(1280, 1024);
    g_app->GetMainFrame()->Show();
    Settle();

    CTarnwickModel model;
    chartdb::BuildChart(model, 3, 4, kTypeDoc, kStates, 3, 1);
    if (!model.SaveToDB()) {
        state.SkipWithError("the chart was not stored");
        return false;
    }
    return true;
}

void BM_LoadChartModel(benchmark::State& state)
{
    if (!Prepare(state))
        return;
    for (auto _ : state) {
        CTarnwickModel model;
        const auto start = std::chrono::steady_clock::now();
        const bool loaded = model.LoadFromDB(kTypeDoc, true);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        g_loadSeconds.push_back(seconds);
        if (!loaded) {
            state.SkipWithError("the chart did not load");
            return;
        }
    }
}

void BM_OpenChartToFirstPaint(benchmark::State& state)
{
    if (!Prepare(state))
        return;
    PaintCounter counter;
    wxEvtHandler::AddFilter(&counter);
    double total = 0;
    for (auto _ : state) {
        counter.paints = 0;
        const auto start = std::chrono::steady_clock::now();
        g_app->OpenDiagram(kTypeDoc, "Документ");
        for (int i = 0; i < 100000 && counter.paints == 0; ++i)
            Settle();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
        if (counter.paints == 0) {
            state.SkipWithError("the chart window was never painted");
            break;
        }
        state.PauseTiming();
        g_app->GetDocManager()->CloseDocuments(true);
        Settle();
        state.ResumeTiming();
    }
    wxEvtHandler::RemoveFilter(&counter);
    if (const double load = Median(g_loadSeconds); load > 0 && state.iterations() > 0)
        state.counters["x_load"] = total / static_cast<double>(state.iterations()) / load;
}

} // namespace

BENCHMARK(BM_LoadChartModel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Apply(WithSpread<5>);
BENCHMARK(BM_OpenChartToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Apply(WithSpread<5>);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_app) {
        g_app->GetDocManager()->CloseDocuments(true);
        if (g_app->GetMainFrame())
            g_app->GetMainFrame()->Destroy();
        Settle();
        g_app->DestroyWindows();
        SetMessageBoxAnswer({});
        SetChartShell(nullptr);
        g_app->SetShell(nullptr);
        g_app->ReleaseConnection();
        wxEntryCleanup();
    }
    g_pg.reset();
    return 0;
}
