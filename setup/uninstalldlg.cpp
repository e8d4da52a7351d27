#include "setup/uninstalldlg.h"

#include "resources/setup/setupstrings.h"

#include <wx/artprov.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace kelm_setup {

CUninstallDlg::CUninstallDlg(const std::string& text)
    : wxDialog(nullptr, 102, wxString::FromUTF8(kelm_uninstall::res::kDialogCaption))
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmapBundle(wxART_QUESTION, wxART_MESSAGE_BOX)),
             0, wxALL, 10);
    row->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text)), 1, wxALIGN_CENTER_VERTICAL | wxALL, 10);
    top->Add(row, 1, wxEXPAND);
    top->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);
    CentreOnScreen();
}

} // namespace kelm_setup
