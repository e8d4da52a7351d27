// The login dialog: shows CLoginDlgModel.
#pragma once

#include "editor/dialogs/core/logindialogmodel.h"

#include <wx/dialog.h>

class wxChoice;
class wxTextCtrl;

namespace tarnwick {

class CLoginDlg : public wxDialog {
public:
    CLoginDlg(const std::string& user, const std::string& dsn, int diagramKind, wxWindow* parent);
    // Runs the dialog; on wxID_OK the model holds the answers.
    int ShowModal() override;

    CLoginDlgModel m_model;

private:
    void ShowAuthentication();

    wxChoice* m_dsn = nullptr;
    wxChoice* m_kind = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
};

} // namespace tarnwick
