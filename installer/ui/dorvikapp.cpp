// Dorvik: one instance per user; the start-up checks, then the full-screen
// main window that runs the installation. A quiet run without a display
// runs without windows.
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "installer/prompt/wxprompt.h"
#include "installer/ui/mainframe.h"
#include "installer/ui/singleinstance.h"
#include "winapi/folders.h"
#include "winapi/text.h"

#include <wx/app.h>
#include <wx/display.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/xrc/xmlres.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

void InitDorvikXmlResource();

namespace dorvik {

namespace {

int g_status = 2;

// The windows' part when there is no display: nothing is shown, the run
// is waited for.
class HeadlessView : public IMainView {
public:
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return nullptr; }
    bool ShowProgress(CProgressState& progress) override
    {
        while (!progress.IsClosed())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return false;
    }
};

class CDorvikApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

bool IsQuietRequested(const std::vector<std::string>& args)
{
    CDorvikCommandLineInfo info;
    info.Parse(args);
    return info.m_nQuiet == 1;
}

} // namespace

void SetMainRunStatus(int status) { g_status = status; }

int RunDorvik(int argc, char** argv)
{
    winapi::InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    auto single = std::make_unique<CSingleInstance>("NUBO_Dorvik_MainWindow-" + std::to_string(::getuid()));
    if (!single->Acquire()) {
        std::fprintf(stderr, "dorvik: Dorvik is already running; it was asked to come to the front\n");
        return 4;
    }

    wxApp::SetInstance(new CDorvikApp);
    bool gui = wxEntryStart(argc, argv);
    HeadlessView headless;
    RunContext context;
    CMainRun run(context, headless);
    if (!gui) {
        // A quiet run needs no window; anything else cannot start.
        if (!run.Start(args, winapi::GetModuleFileName()))
            return 2;
        if (!IsQuietRequested(args)) {
            std::fprintf(stderr, "dorvik: Error of MFC initialization (no display)\n");
            run.ReportFatal("Error of MFC initialization", "Error of MFC initialization");
            return 2;
        }
        return run.Run();
    }
    auto prompt = std::make_shared<WxPrompt>();
    winapi::SetPrompt(prompt);
    context.SetPrompt(prompt);
    wxTheApp->SetAppDisplayName("Dorvik");
    // A quiet run asks nothing, not even about the toolkit's own troubles.
    if (IsQuietRequested(args))
        delete wxLog::SetActiveTarget(new wxLogStderr);
    wxInitAllImageHandlers();
    wxXmlResource::Get()->InitAllHandlers();
    InitDorvikXmlResource();
    int status = 2;
    if (wxTheApp->CallOnInit() && run.Start(args, winapi::GetModuleFileName())) {
        auto* frame = new CMainFrame(run);
        run.SetView(*frame);
        wxTheApp->SetTopWindow(frame);
        run.SetLanguage(0);
        // Without a window manager nothing maximises: take the screen.
        frame->SetSize(wxGetClientDisplayRect());
        frame->Maximize();
        frame->Show();
        frame->Update();
        single->Listen([] {
            if (wxTheApp)
                wxTheApp->CallAfter([] {
                    if (auto* f = dynamic_cast<CMainFrame*>(wxTheApp->GetTopWindow()))
                        f->BringToFront();
                });
        });
        frame->CallAfter(&CMainFrame::StartMainRun);
        wxTheApp->OnRun();
        status = g_status;
    }
    single.reset();
    winapi::SetPrompt(nullptr);
    wxEntryCleanup();
    return status;
}

} // namespace dorvik
