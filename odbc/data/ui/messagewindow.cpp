// The library's message boxes as windows: the class library's box, with its
// buttons in the language the caller asks for.
#include "odbc/data/core/messages.h"

#include "afx/ui/messagebox.h"
#include "afx/ui/uilanguage.h"

#include <wx/app.h>

namespace {

bool ShowMessageWindow(const std::string& text, long style, const std::string& caption, winapi::UiLanguage language,
                       int& answer)
{
    if (wxTheApp == nullptr)
        return false;
    afx::ScopedUiLanguage buttons(language);
    answer = afx::MessageBox(nullptr, text, caption, static_cast<UINT>(style));
    return true;
}

// Set as the library loads, so every host that has the windows shows boxes.
const bool g_windowSet = (SetOrvoMessageWindow(&ShowMessageWindow), true);

} // namespace
