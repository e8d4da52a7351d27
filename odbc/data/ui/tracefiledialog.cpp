// The file chooser CDatabaseEx::SetTraceFileDlg asks with: a save dialog in
// Russian, for trace files.
#include "odbc/data/core/databaseex.h"

#include "afx/ui/uilanguage.h"

#include <wx/app.h>
#include <wx/filedlg.h>

namespace {

bool ChooseTraceFile(const std::string& current, std::string& chosen)
{
    if (wxTheApp == nullptr)
        return false;
    afx::ScopedUiLanguage russian(winapi::UiLanguage::Russian);
    wxFileDialog dlg(nullptr, wxString::FromUTF8("Сохранять трассировку в файле..."), wxEmptyString,
                     wxString::FromUTF8(current), "Trace ODBC Files (*.log)|*.log|All Files (*.*)|*.*",
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    chosen = dlg.GetPath().utf8_string();
    return true;
}

// Set as the library loads.
const bool g_chooserSet = (CDatabaseEx::SetTraceFileChooser(&ChooseTraceFile), true);

} // namespace
