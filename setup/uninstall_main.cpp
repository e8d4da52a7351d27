// uninstall: removes the application installed in its own folder.
//   uninstall [-s]
// Exits with the run status: 0 success, 2 failed, 3 cancelled.
#include "installer/wxprompt.h"
#include "setup/uninstallapp.h"
#include "setup/uninstalldlg.h"
#include "winapi/module_version.h"
#include "winapi/text.h"

#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

namespace {

class CUninstallWxApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

} // namespace

WINAPI_MODULE_VERSION("uninstall");

wxIMPLEMENT_APP_NO_MAIN(CUninstallWxApp);

int main(int argc, char** argv)
{
    winapi::InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    kelm_setup::CUninstallApp app;
    app.ParseCommandLine(args);
    bool temporaryCopy = false;
    for (const auto& arg : args)
        temporaryCopy = temporaryCopy || arg.rfind("-o:", 0) == 0;
    if (app.IsSilent() || temporaryCopy)
        return app.Run();

    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "uninstall: no display to ask on; use -s for a silent removal\n");
        return kelm_setup::CUninstallApp::Failed;
    }
    wxTheApp->SetAppDisplayName("uninstall");
    wxTheApp->CallOnInit();
    app.SetPrompt(std::make_shared<dorvik::WxPrompt>());
    app.SetConfirm([](const std::string& text) {
        kelm_setup::CUninstallDlg dialog(text);
        return dialog.ShowModal() == wxID_OK;
    });
    int status = app.Run();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
