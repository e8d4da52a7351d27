// The arrangement dialog of a department chart (resource 251).
#pragma once

#include "editor/dialogs/core/arrangedlgmodel.h"

#include <wx/dialog.h>

class wxCheckBox;
class wxTextCtrl;

namespace tarnwick {

class CArrangeHorzParamDlg : public wxDialog {
public:
    CArrangeHorzParamDlg(const ArrangeChoice& initial, wxWindow* parent);
    // wxID_OK or wxID_CANCEL; after wxID_OK the model holds the values.
    int ShowModal() override;
    CArrangeHorzParamDlgModel& Model() { return m_model; }
    // What the OK button runs; false keeps the dialog open.
    bool TakeValues();

private:
    void OnOk(wxCommandEvent& event);

    CArrangeHorzParamDlgModel m_model;
    wxTextCtrl* m_horz = nullptr;
    wxTextCtrl* m_vert = nullptr;
    wxCheckBox* m_nodes = nullptr;
    wxCheckBox* m_links = nullptr;
    wxCheckBox* m_horizontal = nullptr;
    wxCheckBox* m_fit = nullptr;
};

} // namespace tarnwick
