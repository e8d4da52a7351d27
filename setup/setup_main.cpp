// setup: installs a client application from a kit folder.
//   setup [-s] [kit folder]
// Exits with the run status: 0 success, 2 failed, 3 cancelled.
#include "afx/ui/uilanguage.h"
#include "installer/prompt/wxprompt.h"
#include "setup/setupapp.h"
#include "setup/setupdlg.h"
#include "winapi/module_version.h"
#include "winapi/text.h"

#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

namespace {

class CSetupWxApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

} // namespace

WINAPI_MODULE_VERSION("setup");

wxIMPLEMENT_APP_NO_MAIN(CSetupWxApp);

int main(int argc, char** argv)
{
    winapi::InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    kelm_setup::CSetupApp app;
    app.ParseCommandLine(args);
    if (app.IsSilent())
        return app.Run();

    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "setup: no display to show the wizard on; use -s for a silent installation\n");
        return kelm_setup::CSetupApp::Failed;
    }
    wxTheApp->SetAppDisplayName("setup");
    wxTheApp->CallOnInit();
    afx::SetUiLanguage(winapi::UiLanguage::Russian);
    app.SetPrompt(std::make_shared<dorvik::WxPrompt>());
    kelm_setup::CWxSetupWizard wizard;
    app.SetWizard(&wizard);
    int status = app.Run();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
