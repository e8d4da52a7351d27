#include "editor/dialogs/ui/catalogdlgs.h"

#include "editor/dialogs/ui/itemlist.h"

#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

namespace {

void LoadDialogResource(wxDialog* dialog, wxWindow* parent, const char* name)
{
    if (!wxXmlResource::Get()->LoadDialog(dialog, parent, name))
        throw std::runtime_error(std::string("the dialog resource ") + name + " is missing");
}

void EnableOk(wxDialog& dialog, bool enable)
{
    if (wxWindow* ok = dialog.FindWindow(wxID_OK))
        ok->Enable(enable);
}

std::string Text(const wxTextCtrl* edit)
{
    return edit->GetValue().utf8_string();
}

} // namespace

CAddProcessDlg::CAddProcessDlg(std::int16_t grp, std::uint16_t type, const std::string& groupName,
                               wxWindow* parent, bool edit)
    : m_model(grp, type, groupName, edit)
{
    LoadDialogResource(this, parent, "IDD_ADD_PROCESS");
    m_baseProcess = XRCCTRL(*this, "IDC_BASE_PROCESS", wxChoice);
    m_code = XRCCTRL(*this, "IDC_PROCESS_CODE", wxTextCtrl);
    m_name = XRCCTRL(*this, "IDC_PROCESS_NAME", wxTextCtrl);
    m_kinds[CAddProcessDlgModel::kExpense] = XRCCTRL(*this, "IDC_MOVE_EXPENSE", wxRadioButton);
    m_kinds[CAddProcessDlgModel::kIncome] = XRCCTRL(*this, "IDC_MOVE_INCOME", wxRadioButton);
    m_kinds[CAddProcessDlgModel::kInternal] = XRCCTRL(*this, "IDC_MOVE_INTERNAL", wxRadioButton);
    m_code->SetMaxLength(CAddProcessDlgModel::kMaxCodeChars);
    m_name->SetMaxLength(CAddProcessDlgModel::kMaxNameChars);
    auto onEdit = [this](wxCommandEvent&) {
        m_model.OnEditChange(Text(m_code), Text(m_name));
        ShowOkState();
    };
    m_code->Bind(wxEVT_TEXT, onEdit);
    m_name->Bind(wxEVT_TEXT, onEdit);
    m_baseProcess->Bind(wxEVT_CHOICE, [this](wxCommandEvent& event) {
        if (event.GetSelection() >= 0)
            m_model.OnBaseProcessChange(CWxItemList::ItemData(*m_baseProcess, event.GetSelection()));
    });
}

void CAddProcessDlg::ShowOkState()
{
    EnableOk(*this, m_model.OkEnabled());
}

void CAddProcessDlg::Prepare()
{
    XRCCTRL(*this, "IDC_GROUP_NAME", wxStaticText)->SetLabel(wxString::FromUTF8(m_model.GroupName()));
    for (wxRadioButton* kind : m_kinds)
        kind->Enable(m_model.KindChoiceEnabled());
    CWxItemList combo(*m_baseProcess);
    m_model.OnInitDialog(combo);
    m_code->ChangeValue(wxString::FromUTF8(m_model.m_strCode));
    m_name->ChangeValue(wxString::FromUTF8(m_model.m_strName));
    m_code->Enable(m_model.EditsEnabled());
    m_name->Enable(m_model.EditsEnabled());
    m_baseProcess->Enable(m_model.EditsEnabled());
    m_kinds[m_model.SelectedRadio()]->SetValue(true);
    ShowOkState();
    Fit();
}

int CAddProcessDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CAddProcessDlg::TransferDataFromWindow()
{
    int selected = CAddProcessDlgModel::kExpense;
    for (int i = 0; i < 3; ++i)
        if (m_kinds[i]->GetValue())
            selected = i;
    m_model.OnOK(selected, Text(m_code), Text(m_name));
    return true;
}

CAddState::CAddState(const char* text, unsigned mode, wxWindow* parent) : m_model(text, mode)
{
    LoadDialogResource(this, parent, "IDD_ADD_STATE");
    m_nameEdit = XRCCTRL(*this, "IDC_STATE_NAME", wxTextCtrl);
    m_fullNameEdit = XRCCTRL(*this, "IDC_STATE_FULL_NAME", wxTextCtrl);
    m_nameEdit->Bind(wxEVT_TEXT,
                     [this](wxCommandEvent&) { EnableOk(*this, m_model.OkEnabled(Text(m_nameEdit))); });
}

void CAddState::Prepare()
{
    m_model.OnInitDialog();
    if (!m_model.Caption().empty())
        SetTitle(wxString::FromUTF8(m_model.Caption()));
    m_nameEdit->ChangeValue(wxString::FromUTF8(m_model.m_strName));
    m_fullNameEdit->ChangeValue(wxString::FromUTF8(m_model.m_strFullName));
    m_nameEdit->Enable(m_model.NameEnabled());
    m_fullNameEdit->Enable(m_model.FullNameEnabled());
    m_nameEdit->SetMaxLength(static_cast<unsigned long>(m_model.NameLimit()));
    m_nameEdit->SetFocus();
    EnableOk(*this, m_model.OkEnabled(Text(m_nameEdit)));
    Fit();
}

int CAddState::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CAddState::TransferDataFromWindow()
{
    m_model.m_strName = Text(m_nameEdit);
    m_model.m_strFullName = Text(m_fullNameEdit);
    return true;
}

CProdGroupSelectDlg::CProdGroupSelectDlg(wxWindow* parent)
{
    LoadDialogResource(this, parent, "IDD_PROD_GROUP_SELECT");
    m_list = XRCCTRL(*this, "IDC_GROUP_LIST", wxListBox);
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
        wxArrayInt selections;
        EnableOk(*this, m_model.OkEnabled(m_list->GetSelections(selections)));
    });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        wxArrayInt selections;
        m_list->GetSelections(selections);
        std::vector<std::uint32_t> data;
        for (int index : selections)
            data.push_back(CWxItemList::ItemData(*m_list, index));
        const int result = m_model.OnOK(data) == IDOK ? wxID_OK : wxID_CANCEL;
        if (IsModal())
            EndModal(result);
        else
            SetReturnCode(result);
    }, wxID_OK);
}

void CProdGroupSelectDlg::Prepare()
{
    wxBusyCursor wait;
    CWxItemList list(*m_list);
    m_model.OnInitDialog(list);
    m_list->SetSelection(wxNOT_FOUND);
    EnableOk(*this, false);
    m_list->SetFocus();
}

int CProdGroupSelectDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

} // namespace tarnwick
