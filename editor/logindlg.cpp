#include "logindlg.h"

#include <wx/artprov.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

namespace tarnwick {

bool RunLoginDialog(wxWindow* parent, CLoginDlgModel& model)
{
    wxDialog dialog;
    if (!wxXmlResource::Get()->LoadDialog(&dialog, parent, "IDD_LOGIN"))
        return false;
    auto* dsn = XRCCTRL(dialog, "IDC_DSN", wxChoice);
    auto* kind = XRCCTRL(dialog, "IDC_DIAGRAM_KIND", wxChoice);
    auto* user = XRCCTRL(dialog, "IDC_USER", wxTextCtrl);
    auto* password = XRCCTRL(dialog, "IDC_PASSWORD", wxTextCtrl);
    user->SetMaxLength(CLoginDlgModel::kMaxCredentialChars);
    password->SetMaxLength(CLoginDlgModel::kMaxCredentialChars);

    model.OnInitDialog();
    for (const auto& name : model.DataSources())
        dsn->Append(wxString::FromUTF8(name));
    if (model.Selection() >= 0)
        dsn->SetSelection(model.Selection());
    kind->SetSelection(model.m_nDiagrammKind);
    user->SetValue(wxString::FromUTF8(model.m_strUser));
    password->SetValue(wxString::FromUTF8(model.m_strPassword));

    auto showAuthentication = [&] {
        user->Enable(model.CredentialsEnabled());
        password->Enable(model.CredentialsEnabled());
        if (auto* ok = dialog.FindWindow(wxID_OK))
            ok->Enable();
    };
    showAuthentication();
    (model.FocusOnPassword() ? password : user)->SetFocus();
    dsn->Bind(wxEVT_CHOICE, [&](wxCommandEvent&) {
        model.SelectDataSource(dsn->GetSelection());
        showAuthentication();
    });
    dialog.Fit();
    dialog.CentreOnParent();
    if (dialog.ShowModal() != wxID_OK)
        return false;
    model.SelectDataSource(dsn->GetSelection());
    model.m_strUser = user->GetValue().utf8_string();
    model.m_strPassword = password->GetValue().utf8_string();
    model.m_nDiagrammKind = kind->GetSelection();
    model.OnOK();
    return true;
}

} // namespace tarnwick
