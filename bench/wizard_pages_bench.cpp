// Each page of the wizard's sheet on a small kit against the test cluster:
// from the moment the sheet is told to show the page (first time, as after
// Next or Back) until the page has run its rules and painted. The login,
// database and patch pages ask the server (connection check, job scheduler,
// backup folder, database list); the licence page reads its file.
//
// Beside each, the same page's controls in the same sheet with no rules but
// the caption and the buttons every wizard page sets: what a plain wx
// wizard page of that dialog costs. Each is repeated, its median and
// spread printed, timed by the clock (the server and the X server work for
// the page).
#include "bench/benchstats.h"
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "installer/core/wizardpages.h"
#include "installer/ui/mainsheet.h"

#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/init.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <typeinfo>

using namespace dorvik;

namespace {

const char* const kPageNames[] = {"start", "licence", "login", "database", "patch", "end"};
constexpr std::size_t kPages = 6;

struct Headless : IMainView {
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return nullptr; }
    bool ShowProgress(CProgressState&) override { return false; }
};

// The kit and the connection, made once.
struct Kit {
    kelm::test::TempDir dir;
    Headless view;
    RunContext context;
    CMainRun run{context, view};
    bool ready = false;
    std::string error;

    Kit()
    {
        std::string licence;
        for (int i = 0; i < 300; ++i)
            licence += "Clause " + std::to_string(i + 1) +
                       ". The licensee may install the Kelm test kit on the computers it owns.\n";
        dir.write("License.txt", licence);
        std::string data = (dir.path() / "data").string();
        std::string ini =
            dir.write("dorvik.ini",
                      "[START]\nCaptionE=Kelm test installation\nContextE=This wizard installs the test kit.\n"
                      "[LICENSE]\nCaptionE=Licence agreement\nContextE=Please read the agreement.\n"
                      "[LOGIN]\nCaptionE=Login\nContextE=Connect to the server.\nServer=" +
                          kelm::test::PgHost() + "," + kelm::test::PgPort() +
                          "\nTrustedConnection=1\n"
                          "[KELM_DORVIK]\nCaptionE=Kelm database\nContextE=Where %DATABASE% goes.\n"
                          "DataBase=kelm_bench\nPathData=" + data + "\nPathData2=" + data +
                          "\nNeedDiskSpace=10M\nNeedDiskSpace2=5M\nEnableDorvik=1\n"
                          "bcp_Step1=Script(postgres, a.sql)\ndump_Step1=Script(postgres, b.sql)\n"
                          "[FIX_PATCHDB]\nCaptionE=Patch\nContextE=Choose the database to patch.\n"
                          "DataBase=postgres\nPathData=" + data + "\nPathData2=" + data +
                          "\nStep1=Script(%DATABASE%, ok.sql)\n"
                          "[END]\nCaptionE=Ready\nContextE=Press Finish to install.\n")
                .string();
        if (!run.Start({ini}, "/opt/kelm/dorvik")) {
            error = "the installer does not start";
            return;
        }
        if (!run.GetInstallData().Load(ini, context.KitFolder())) {
            error = "the kit does not load";
            return;
        }
        if (!run.Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "", true, false)) {
            error = "no connection to the test cluster";
            return;
        }
        ready = true;
    }
};

Kit& kit()
{
    static Kit k;
    return k;
}

int dialogOf(PageKind kind)
{
    switch (kind) {
    case PageKind::Start: return IDD_PAGE_START;
    case PageKind::License: return IDD_PAGE_LICENSE;
    case PageKind::Login: return IDD_PAGE_LOGIN;
    case PageKind::Patch: return IDD_PAGE_PATCH;
    case PageKind::Database: return IDD_PAGE_DATABASE;
    case PageKind::End: return IDD_PAGE_END;
    }
    return IDD_PAGE_END;
}

// The same dialogs with the rules every page has and nothing more.
CPageBase* MakeBarePage(PageKind kind, TBase& step) { return new CPageBase(step, dialogOf(kind)); }

void Settle()
{
    for (int i = 0; i < 10; ++i) {
        wxYield();
        wxMilliSleep(2);
    }
}

// Shows page `index` of a fresh sheet, coming from another page already on
// screen; times only the change.
void ShowPage(benchmark::State& state, std::size_t index, PageFactory factory)
{
    auto prompt = std::make_shared<winapi::TestPrompt>();
    winapi::SetPrompt(prompt);
    Kit& k = kit();
    if (!k.ready) {
        state.SkipWithError(k.error.c_str());
        winapi::SetPrompt(nullptr);
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        CWxWizardHost host(k.run);
        auto* sheet = new CMainSheet(nullptr, host);
        host.SetParent(sheet);
        SetPageFactory(factory); // after the sheet, which registers its own
        sheet->AddSteps(k.run.GetInstallData());
        if (sheet->GetPageCount() != kPages) {
            state.SkipWithError("the kit does not give six pages");
            sheet->Destroy();
            break;
        }
        std::size_t from = index == 0 ? kPages - 1 : 0;
        sheet->ShowPage(sheet->GetPageAt(from));
        sheet->Show();
        Settle();
        CWizardPage* target = sheet->GetPageAt(index);
        if ((typeid(target->GetPage()) == typeid(CPageBase)) != (factory == &MakeBarePage)) {
            state.SkipWithError("the sheet did not make the pages asked for");
            sheet->Destroy();
            break;
        }
        bool shown = false, painted = false;
        sheet->SetOnPageShown([&](std::size_t active) { shown = shown || active == index; });
        target->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
            wxPaintDC dc(target);
            painted = painted || shown;
            event.Skip();
        });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        state.ResumeTiming();

        sheet->ShowPage(target, index > from);
        while (!(shown && painted) && std::chrono::steady_clock::now() < deadline) {
            wxYield();
            if (!(shown && painted))
                wxMicroSleep(100);
        }

        state.PauseTiming();
        bool ok = shown && painted;
        sheet->Destroy();
        Settle();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError(shown ? "the page did not paint" : "the page was not shown");
            break;
        }
    }
    // Boxes the pages showed (a server error, a missing file): none is
    // expected, so the times are those of pages that worked.
    state.counters["messages"] = static_cast<double>(prompt->Calls().size());
    SetPageFactory(&MakeWizardPage);
    winapi::SetPrompt(nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!kelm::test::PgAvailable()) {
        std::fprintf(stderr, "bench_wizard_pages: the PostgreSQL test cluster is not running\n");
        return 1;
    }
    int wxArgc = 1;
    char name[] = "bench_wizard_pages";
    char* wxArgv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "bench_wizard_pages: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    for (std::size_t i = 0; i < kPages; ++i) {
        benchmark::RegisterBenchmark((std::string("BM_PageShown/") + kPageNames[i]).c_str(),
                                     [i](benchmark::State& state) { ShowPage(state, i, &MakeWizardPage); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5)
            ->Apply(kelm::bench::WithSpread<5>);
        benchmark::RegisterBenchmark((std::string("BM_BarePageShown/") + kPageNames[i]).c_str(),
                                     [i](benchmark::State& state) { ShowPage(state, i, &MakeBarePage); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5)
            ->Apply(kelm::bench::WithSpread<5>);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CDorvikCore::Get().SetServer(nullptr);
    wxEntryCleanup();
    return 0;
}
