#include "afx/ui/messagebox.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
// After msgdlg.h, which declares its base.
#include <wx/generic/msgdlgg.h>

namespace afx {

using namespace winapi;

namespace {

long ToWxStyle(UINT style)
{
    long wx = wxCENTRE;
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        wx |= wxOK | wxCANCEL;
        break;
    case MB_YESNOCANCEL:
        wx |= wxYES_NO | wxCANCEL;
        break;
    case MB_YESNO:
        wx |= wxYES_NO;
        break;
    default:
        wx |= wxOK;
        break;
    }
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return wx | wxICON_ERROR;
    case MB_ICONQUESTION:
        return wx | wxICON_QUESTION;
    case MB_ICONEXCLAMATION:
        return wx | wxICON_EXCLAMATION;
    case MB_ICONINFORMATION:
        return wx | wxICON_INFORMATION;
    default:
        // No icon flag at all: the generic dialog takes wxICON_NONE for one.
        return wx;
    }
}

int ToAnswer(int wxAnswer, UINT style)
{
    switch (wxAnswer) {
    case wxID_YES:
        return IDYES;
    case wxID_NO:
        return IDNO;
    case wxID_OK:
        return IDOK;
    default:
        return NonDestructiveAnswer(style);
    }
}

} // namespace

int MessageBox(wxWindow* parent, const std::string& text, const std::string& caption, UINT style)
{
    const wxString title = !caption.empty() ? wxString::FromUTF8(caption)
                           : wxTheApp        ? wxTheApp->GetAppDisplayName()
                                             : wxString();
    // GTK's own message dialog draws no icon for its kind of message; wx's
    // generic one shows the icon theme's and the same stock buttons.
    wxGenericMessageDialog dialog(parent, wxString::FromUTF8(text), title, ToWxStyle(style));
    return ToAnswer(dialog.ShowModal(), style);
}

} // namespace afx
