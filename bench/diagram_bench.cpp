// A chart of 5,000 symbols and about 10,000 links (each symbol linked to its
// right and lower neighbours), twice and four times that: each cost should
// grow with the chart (the archive's save and load are repeated, their
// median and spread printed); a repaint of a window and a scroll step through the
// buffered viewport, beside a draw of the whole chart, should not grow with
// the chart. Each is repeated, its median and spread printed; drawing is
// timed by the clock and needs a display (./test.sh starts Xvfb).
#include "bench/benchstats.h"
#include "diagram/mvcbuffered.h"
#include "diagram/odcommand.h"
#include "diagram/odmodel.h"
#include "diagram/odviewport.h"

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/panel.h>

#include <chrono>

#include <memory>
#include <random>

using kelm::bench::WithSpread;

namespace {

CODSymbolComponent* symbol(int x, int y)
{
    auto* s = new CODSymbolComponent;
    auto* port = new CODPortComponent;
    port->SetLocation(CPoint(0, 30), 3);
    s->AppendChild(port);
    s->SetPort(port);
    auto* poly = new CODPolygonComponent;
    const CPoint pts[] = {{-50, 0}, {50, 0}, {50, 60}, {-50, 60}};
    poly->SetVertices(pts, 4);
    poly->UpdateBounds();
    s->AppendChild(poly);
    auto* text = new CODTextComponent;
    text->SetText("State");
    text->SetTextRect(CRect(-45, 5, 45, 25));
    s->AppendChild(text);
    s->UpdateBounds();
    s->MoveTo(x, y);
    return s;
}

// scale 1: 5,000 symbols in 50 rows of 100; scale 2 twice as many columns,
// scale 4 twice as many rows too.
std::unique_ptr<CODModel> chart(int scale)
{
    const int cols = 100 * (scale >= 2 ? 2 : 1), rows = 50 * (scale >= 4 ? 2 : 1);
    auto model = std::make_unique<CODModel>();
    std::vector<CODSymbolComponent*> grid;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            grid.push_back(symbol(c * 150, r * 100));
            model->AppendComponent(grid.back());
        }
    auto link = [&](CODSymbolComponent* a, CODSymbolComponent* b) {
        auto* l = new CODLinkComponent;
        l->SetupLink(a->GetPort(), b->GetPort());
        l->SetEndDecoration(12);
        model->AppendComponent(l);
    };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            if (c + 1 < cols)
                link(grid[r * cols + c], grid[r * cols + c + 1]);
            if (r + 1 < rows)
                link(grid[r * cols + c], grid[(r + 1) * cols + c]);
        }
    model->SetSize(CSize(cols * 150, rows * 100));
    return model;
}

std::vector<std::uint8_t> store(CODModel& m)
{
    CMemFile f;
    CArchive ar(&f, CArchive::store);
    m.Serialize(ar);
    return f.Detach();
}

// The archive of the whole chart, in steady state: the bytes it gives are
// freed outside the timing, as the caller keeps them.
void BM_Save(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    store(*model);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<std::uint8_t> bytes = store(*model);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["components"] = model->GetComponentCount();
}

// The chart read back from its archive, in steady state: the model it gives
// is destroyed outside the timing, as the caller keeps it.
void BM_Load(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    const auto bytes = store(*model);
    for (auto _ : state) {
        auto back = std::make_unique<CODModel>();
        const auto t0 = std::chrono::steady_clock::now();
        CMemFile f(bytes);
        CArchive ar(&f, CArchive::load);
        back->Serialize(ar);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        benchmark::DoNotOptimize(back->GetComponentCount());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_HitTest(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    const CSize size = model->GetSize();
    std::mt19937 rng(42);
    std::vector<CPoint> points;
    for (int i = 0; i < 10000; ++i)
        points.emplace_back(static_cast<int>(rng() % size.cx), static_cast<int>(rng() % size.cy));
    for (auto _ : state) {
        int hits = 0;
        for (const CPoint& p : points)
            hits += model->ComponentAt(p) != nullptr;
        benchmark::DoNotOptimize(hits);
    }
}

void BM_Draw(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    CODViewport viewport;
    viewport.SetModel(model.get());
    const double scale = 0.1;
    const CSize size = model->GetSize();
    wxBitmap bmp(static_cast<int>(size.cx * scale) + 1, static_cast<int>(size.cy * scale) + 1, 24);
    for (auto _ : state) {
        wxMemoryDC dc(bmp);
        dc.SetUserScale(scale, scale);
        viewport.DrawAll(dc);
    }
}

// A window of 1280 by 1024 pixels over the middle of the chart, at scale 1.
constexpr int kWindowW = 1280, kWindowH = 1024;

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// What a paint cost before it looked only at what is visible: every
// component of the chart drawn into the window's context.
double wholeChartDrawMs(CODViewport& viewport, wxDC& dc)
{
    const auto t0 = std::chrono::steady_clock::now();
    dc.DestroyClippingRegion();
    for (CODComponent* c : *viewport.GetModel()->GetComponents())
        if (c->IsVisible())
            c->OnDraw(dc);
    return msSince(t0);
}

void BM_Repaint(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    CODViewport viewport;
    viewport.SetModel(model.get());
    viewport.SetSize(kWindowW, kWindowH);
    const CSize size = model->GetSize();
    viewport.SetLogOrigin((size.cx - kWindowW) / 2, (size.cy - kWindowH) / 2);
    wxBitmap bmp(kWindowW, kWindowH, 24);
    wxMemoryDC dc(bmp);
    viewport.OnPrepareDC(dc, 0);
    std::vector<CODComponent*> shown;
    model->ComponentsIn(viewport.GetLogBounds(), shown);
    viewport.Draw(dc); // the hit-test grid is built once, as for the first paint
    const double whole = wholeChartDrawMs(viewport, dc);
    double loop = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        viewport.Draw(dc);
        loop += msSince(t0);
    }
    state.counters["components"] = model->GetComponentCount();
    state.counters["shown"] = static_cast<double>(shown.size());
    state.counters["whole_chart_ms"] = whole;
    state.counters["whole_over_repaint"] = whole / (loop / static_cast<double>(state.iterations()));
}

struct BufferedViewport : MvcBufferedWrapper_T<CODViewport> {};

// One wheel notch down through the buffered viewport of a real window: the
// buffer is brought up to date and the paint copies it.
void BM_ScrollStep(benchmark::State& state)
{
    auto model = chart(static_cast<int>(state.range(0)));
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(kWindowW + 100, kWindowH + 100));
    auto* canvas = new wxWindow(new wxPanel(frame), wxID_ANY, wxPoint(0, 0), wxSize(kWindowW, kWindowH));
    frame->Show();
    double whole = 0, loop = 0;
    {
        BufferedViewport viewport;
        viewport.Create(canvas);
        viewport.SetModel(model.get());
        viewport.OnSize(0, kWindowW, kWindowH);
        viewport.OnInitialUpdate();
        const CSize size = model->GetSize();
        viewport.SetLogOrigin((size.cx - kWindowW) / 2, 0);
        wxBitmap screen(kWindowW, kWindowH, 24);
        wxMemoryDC dc(screen);
        viewport.OnPrepareDC(dc, 0);
        whole = wholeChartDrawMs(viewport, dc);
        int step = 0;
        for (auto _ : state) {
            const auto t0 = std::chrono::steady_clock::now();
            // Down the chart and back, a notch at a time.
            viewport.ScrollBy(0, (step++ / 100) % 2 ? -10 : 10);
            viewport.OnPrepareDC(dc, 0);
            viewport.Draw(dc);
            loop += msSince(t0);
        }
    }
    frame->Destroy();
    wxTheApp->ProcessIdle();
    state.counters["whole_chart_ms"] = whole;
    state.counters["whole_over_step"] = whole / (loop / static_cast<double>(state.iterations()));
}

BENCHMARK(BM_Save)->Arg(1)->Arg(2)->Arg(4)->UseManualTime()->MinTime(1)->Unit(benchmark::kMillisecond)->Apply(WithSpread<7>);
BENCHMARK(BM_Load)->Arg(1)->Arg(2)->Arg(4)->UseManualTime()->MinTime(1)->Unit(benchmark::kMillisecond)->Apply(WithSpread<7>);
BENCHMARK(BM_HitTest)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Draw)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Apply(WithSpread<5>);
BENCHMARK(BM_Repaint)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.2)->Apply(WithSpread<7>);
BENCHMARK(BM_ScrollStep)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.2)->Apply(WithSpread<7>);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    int wxArgc = 1;
    char name[] = "bench_diagram";
    char* wxArgv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "bench_diagram: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxEntryCleanup();
    return 0;
}
