// start: the kit's launcher. Reads Start.ini once and shows its picture and
// buttons until Escape, a Close button or the desktop closes the window.
#include "afx/ui/uilanguage.h"
#include "start/startini.h"
#include "start/startwnd.h"

#include "winapi/folders.h"
#include "winapi/text.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace start {

class CStartApp : public wxApp {
public:
    bool OnInit() override
    {
        afx::SetUiLanguage(winapi::UiLanguage::Russian);
        wxInitAllImageHandlers();
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i)
            arguments.push_back(argv[i].utf8_string());
        const std::string ini = StartIniPath(arguments, winapi::GetModuleFileName());
        if (::access(ini.c_str(), R_OK) != 0) {
            int err = errno;
            if (err == ENOENT)
                std::fprintf(stderr, "start: %s does not exist\n", ini.c_str());
            else
                std::fprintf(stderr, "start: %s cannot be read: %s\n", ini.c_str(), std::strerror(err));
            return false;
        }
        m_settings = ReadStartIni(ini);
        if (!m_settings.m_bHasMain) {
            std::fprintf(stderr, "start: %s has no [Main] section\n", ini.c_str());
            return false;
        }
        m_wndStart = new CStartWnd;
        if (!m_wndStart->CreateStartWnd(m_settings, ini)) {
            std::fprintf(stderr, "start: the picture \"%s\" named in %s does not load\n",
                         m_settings.m_strBitmap.c_str(), ini.c_str());
            delete m_wndStart;
            m_wndStart = nullptr;
            return false;
        }
        SetTopWindow(m_wndStart);
        m_wndStart->Update();
        return true;
    }

private:
    CStartSettings m_settings;
    CStartWnd* m_wndStart = nullptr;
};

} // namespace start

wxIMPLEMENT_APP_NO_MAIN(start::CStartApp);

int main(int argc, char** argv)
{
    winapi::InitProcessLocale();
    wxApp::SetInstance(new start::CStartApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "start: no display to show the window on\n");
        return 1;
    }
    int rc = 1;
    if (wxTheApp->CallOnInit()) {
        rc = wxTheApp->OnRun();
        wxTheApp->OnExit();
    }
    wxEntryCleanup();
    return rc;
}
