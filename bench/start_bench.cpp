// start's window on the demo kit's Start.ini: reading it and showing the
// window until it has painted, beside a plain wx frame that shows the same
// picture; and a hover, beside repainting the whole window. Each is
// repeated, its median and spread printed, timed by the clock: the X server
// draws for the program.
#include "bench/benchstats.h"
#include "start/startini.h"
#include "start/startwnd.h"

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/statbmp.h>
#include <wx/utils.h>

#include <cstdio>
#include <string>

namespace {

const std::string kIni = std::string(KELM_DEMO_KIT) + "/Start.ini";

void Settle()
{
    for (int i = 0; i < 20; ++i) {
        wxYield();
        wxMilliSleep(5);
    }
}

void BM_StartWindowShown(benchmark::State& state)
{
    for (auto _ : state) {
        auto* wnd = new start::CStartWnd;
        if (!wnd->CreateStartWnd(start::ReadStartIni(kIni), kIni)) {
            state.SkipWithError("the demo kit's Start.ini does not show");
            delete wnd;
            return;
        }
        wnd->Update();
        state.PauseTiming();
        wnd->Destroy();
        Settle();
        state.ResumeTiming();
    }
}

void BM_PlainFrameShown(benchmark::State& state)
{
    const std::string picture = std::string(KELM_DEMO_KIT) + "/start/start.png";
    for (auto _ : state) {
        wxImage image(wxString::FromUTF8(picture));
        auto* frame = new wxFrame(nullptr, wxID_ANY, "plain", wxDefaultPosition, wxDefaultSize,
                                  wxBORDER_NONE | wxRESIZE_BORDER);
        new wxStaticBitmap(frame, wxID_ANY, wxBitmap(image));
        frame->SetClientSize(image.GetWidth(), image.GetHeight());
        frame->Centre();
        frame->Show();
        frame->Update();
        state.PauseTiming();
        frame->Destroy();
        Settle();
        state.ResumeTiming();
    }
}

// The pointer moving onto or off the first button, painted; the counter
// says how many paints the other buttons received meanwhile.
void BM_HoverRepaint(benchmark::State& state)
{
    auto* wnd = new start::CStartWnd;
    wnd->CreateStartWnd(start::ReadStartIni(kIni), kIni);
    Settle();
    auto& buttons = wnd->Buttons();
    int others = 0;
    for (std::size_t i = 1; i < buttons.size(); ++i)
        others -= buttons[i]->PaintCount();
    bool hover = false;
    for (auto _ : state) {
        hover = !hover;
        buttons[0]->SetHover(hover);
        buttons[0]->Update();
        wnd->Update();
    }
    for (std::size_t i = 1; i < buttons.size(); ++i)
        others += buttons[i]->PaintCount();
    state.counters["other_button_paints"] = others;
    wnd->Destroy();
    Settle();
}

void BM_WholeWindowRepaint(benchmark::State& state)
{
    auto* wnd = new start::CStartWnd;
    wnd->CreateStartWnd(start::ReadStartIni(kIni), kIni);
    Settle();
    for (auto _ : state) {
        wnd->Refresh(false);
        wnd->Update();
        for (auto* b : wnd->Buttons())
            b->Update();
    }
    wnd->Destroy();
    Settle();
}

using kelm::bench::WithSpread;
BENCHMARK(BM_StartWindowShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Apply(WithSpread<5>);
BENCHMARK(BM_PlainFrameShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Apply(WithSpread<5>);
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(0.2)->Apply(WithSpread<5>);
BENCHMARK(BM_WholeWindowRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(0.2)->Apply(WithSpread<5>);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    int wxArgc = 1;
    char name[] = "bench_start";
    char* wxArgv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "bench_start: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxEntryCleanup();
    return 0;
}
