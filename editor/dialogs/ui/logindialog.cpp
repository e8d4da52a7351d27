#include "editor/dialogs/ui/logindialog.h"

#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

CLoginDlg::CLoginDlg(const std::string& user, const std::string& dsn, int diagramKind, wxWindow* parent)
    : m_model(user, dsn, diagramKind)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_LOGIN"))
        throw std::runtime_error("the login dialog resource is missing");
    m_dsn = XRCCTRL(*this, "IDC_DSN", wxChoice);
    m_kind = XRCCTRL(*this, "IDC_DIAGRAM_KIND", wxChoice);
    m_user = XRCCTRL(*this, "IDC_USER", wxTextCtrl);
    m_password = XRCCTRL(*this, "IDC_PASSWORD", wxTextCtrl);
    m_user->SetMaxLength(CLoginDlgModel::kMaxCredentialChars);
    m_password->SetMaxLength(CLoginDlgModel::kMaxCredentialChars);
    auto onSelection = [this](wxCommandEvent&) {
        m_model.SelectDataSource(m_dsn->GetSelection());
        ShowAuthentication();
    };
    m_dsn->Bind(wxEVT_CHOICE, onSelection);
    m_kind->Bind(wxEVT_CHOICE, onSelection);
}

void CLoginDlg::ShowAuthentication()
{
    m_user->Enable(m_model.CredentialsEnabled());
    m_password->Enable(m_model.CredentialsEnabled());
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable();
}

int CLoginDlg::ShowModal()
{
    m_model.OnInitDialog();
    m_dsn->Clear();
    for (const auto& name : m_model.DataSources())
        m_dsn->Append(wxString::FromUTF8(name));
    if (m_model.Selection() >= 0)
        m_dsn->SetSelection(m_model.Selection());
    m_kind->SetSelection(m_model.m_nDiagrammKind);
    m_user->SetValue(wxString::FromUTF8(m_model.m_strUser));
    m_password->SetValue(wxString::FromUTF8(m_model.m_strPassword));
    ShowAuthentication();
    (m_model.FocusOnPassword() ? m_password : m_user)->SetFocus();
    Fit();
    CentreOnParent();

    int result = wxDialog::ShowModal();
    if (result == wxID_OK) {
        m_model.m_strUser = m_user->GetValue().utf8_string();
        m_model.m_strPassword = m_password->GetValue().utf8_string();
        m_model.m_nDiagrammKind = m_kind->GetSelection();
        m_model.OnOK();
    }
    return result;
}

} // namespace tarnwick
