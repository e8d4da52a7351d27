#include "editor/dialogs/ui/arrangedlg.h"

#include <wx/checkbox.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

CArrangeHorzParamDlg::CArrangeHorzParamDlg(const ArrangeChoice& initial, wxWindow* parent)
    : m_model(initial)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_ARRANGE_HORZ"))
        throw std::runtime_error("the arrangement dialog resource is missing");
    m_horz = XRCCTRL(*this, "IDC_1066", wxTextCtrl);
    m_vert = XRCCTRL(*this, "IDC_1000", wxTextCtrl);
    m_nodes = XRCCTRL(*this, "IDC_1001", wxCheckBox);
    m_links = XRCCTRL(*this, "IDC_1002", wxCheckBox);
    m_horizontal = XRCCTRL(*this, "IDC_1003", wxCheckBox);
    m_fit = XRCCTRL(*this, "IDC_1006", wxCheckBox);
    Bind(wxEVT_BUTTON, &CArrangeHorzParamDlg::OnOk, this, wxID_OK);

    const ArrangeChoice& c = m_model.m_choice;
    m_horz->SetValue(std::to_string(c.horzSpace));
    m_vert->SetValue(std::to_string(c.vertSpace));
    // The four switches start ticked; the sheet fitting cannot be turned off.
    m_nodes->SetValue(true);
    m_links->SetValue(true);
    m_horizontal->SetValue(true);
    m_fit->SetValue(true);
    Fit();
    SetMinSize(GetSize());
}

int CArrangeHorzParamDlg::ShowModal()
{
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CArrangeHorzParamDlg::TakeValues()
{
    CArrangeHorzParamDlgModel::Field bad = CArrangeHorzParamDlgModel::FieldNone;
    if (!m_model.TakeSpacings(m_horz->GetValue().utf8_string(), m_vert->GetValue().utf8_string(), bad)) {
        wxTextCtrl* field = bad == CArrangeHorzParamDlgModel::FieldHorz ? m_horz : m_vert;
        field->SetFocus();
        field->SelectAll();
        return false;
    }
    ArrangeChoice& c = m_model.m_choice;
    c.arrangeNodes = m_nodes->GetValue();
    c.arrangeLinks = m_links->GetValue();
    c.horizontal = m_horizontal->GetValue();
    c.fitSheet = m_fit->GetValue();
    return true;
}

void CArrangeHorzParamDlg::OnOk(wxCommandEvent&)
{
    if (TakeValues())
        EndModal(wxID_OK);
}

} // namespace tarnwick
