// The login dialog as a window, which DoModal shows from the time the
// library is loaded.
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/messages.h"
#include "odbc/dialogs/ui/orvoresources.h"

#include "afx/ui/uilanguage.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/iconbndl.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

namespace {

// The window of the dialog: shows the state of CLoginDlg and hands the
// user's actions to it.
class CLoginWnd : public wxDialog {
public:
    CLoginWnd(CLoginDlg& dlg) : m_dlg(dlg)
    {
        CSetResourceHandle resources;
        wxXmlResource::Get()->LoadDialog(this, dlg.m_pParent, "IDD_ORVO_LOGIN");
        m_combo = XRCCTRL(*this, "IDC_DSN", wxComboBox);
        m_user = XRCCTRL(*this, "IDC_UID", wxTextCtrl);
        m_password = XRCCTRL(*this, "IDC_PWD", wxTextCtrl);
        m_ok = XRCCTRL(*this, "wxID_OK", wxButton);
        if (auto* picture = XRCCTRL(*this, "IDC_PICTURE", wxStaticBitmap))
            picture->SetBitmap(OrvoImage("login", picture->GetSize()));
        m_user->SetMaxLength(CLoginDlg::kUserChars);
        m_password->SetMaxLength(CLoginDlg::kPasswordChars);
        m_combo->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) {
            m_dlg.SelectDsn(m_combo->GetSelection());
            ShowState();
        });
        m_user->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
            if (m_showing)
                return;
            m_dlg.m_userText = m_user->GetValue().utf8_string();
            m_dlg.OnUserUpdate();
            m_ok->Enable(m_dlg.m_bOKEnabled);
        });
        m_password->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
            if (!m_showing)
                m_dlg.m_passwordText = m_password->GetValue().utf8_string();
        });
        m_ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            m_dlg.OnOK();
            EndModal(wxID_OK);
        });
        {
            wxBusyCursor wait;
            if (!m_dlg.OnInitDialog())
                m_ok->Disable();
        }
        m_combo->Freeze();
        for (const std::string& item : m_dlg.m_dsnItems)
            m_combo->Append(wxString::FromUTF8(item));
        m_combo->Thaw();
        ShowState();
        CentreOnScreen();
    }

    // The dialog's state onto the controls.
    void ShowState()
    {
        m_showing = true;
        if (m_dlg.m_nDsnSel >= 0)
            m_combo->SetSelection(m_dlg.m_nDsnSel);
        m_combo->Enable(m_dlg.m_bDsnEnabled);
        m_user->ChangeValue(wxString::FromUTF8(m_dlg.m_userText));
        m_password->ChangeValue(wxString::FromUTF8(m_dlg.m_passwordText));
        m_user->Enable(m_dlg.m_bUserEnabled);
        m_password->Enable(m_dlg.m_bPasswordEnabled);
        m_ok->Enable(m_dlg.m_bOKEnabled);
        m_showing = false;
    }

private:
    CLoginDlg& m_dlg;
    wxComboBox* m_combo = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxButton* m_ok = nullptr;
    bool m_showing = false;
};

int ShowLoginWindow(CLoginDlg& dlg)
{
    if (wxTheApp == nullptr)
        return IDCANCEL;
    afx::ScopedUiLanguage russian(winapi::UiLanguage::Russian);
    CLoginWnd window(dlg);
    if (const wxIconBundle* icons = dlg.GetIcons())
        window.SetIcons(*icons);
    return window.ShowModal() == wxID_OK ? IDOK : IDCANCEL;
}

// Set as the library loads, so that DoModal shows this window.
const bool g_windowSet = (CLoginDlg::SetWindow(&ShowLoginWindow), true);

} // namespace

void CLoginDlg::LoadIconDlg(const wxIconBundle& icons)
{
    m_pIcons = std::make_shared<const wxIconBundle>(icons);
}
