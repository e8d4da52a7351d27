// The windows of uninstall, loaded by the program when it is not silent.
#include "setup/uninstallui.h"

#include "afx/ui/uilanguage.h"
#include "installer/prompt/wxprompt.h"
#include "setup/uninstalldlg.h"

#include <wx/app.h>
#include <wx/init.h>

namespace {

class CUninstallWxApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

class CWxUninstallUi : public kelm_setup::IUninstallUi {
public:
    bool Start(char* argv0) override
    {
        int wxArgc = 1;
        char* wxArgv[] = {argv0, nullptr};
        if (!wxEntryStart(wxArgc, wxArgv))
            return false;
        m_started = true;
        wxTheApp->SetAppDisplayName("uninstall");
        wxTheApp->CallOnInit();
        afx::SetUiLanguage(winapi::UiLanguage::Russian);
        return true;
    }

    std::shared_ptr<winapi::IPrompt> Prompt() override { return std::make_shared<dorvik::WxPrompt>(); }

    bool Confirm(const std::string& text) override
    {
        kelm_setup::CUninstallDlg dialog(text);
        return dialog.ShowModal() == wxID_OK;
    }

    void Stop() override
    {
        if (!m_started)
            return;
        m_started = false;
        wxTheApp->OnExit();
        wxEntryCleanup();
    }

private:
    bool m_started = false;
};

} // namespace

wxIMPLEMENT_APP_NO_MAIN(CUninstallWxApp);

extern "C" __attribute__((visibility("default"))) kelm_setup::IUninstallUi* KelmCreateUninstallUi()
{
    return new CWxUninstallUi;
}
