#include "editor/dialogs/ui/selectdlgs.h"

#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/dialogs/ui/itemlist.h"
#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

namespace {

constexpr int kCatalogCommands[] = {ID_CATALOG_ADD, ID_CATALOG_RENAME, ID_CATALOG_DELETE, ID_CATALOG_REREAD};

void LoadDialogResource(wxDialog* dialog, wxWindow* parent, const char* name)
{
    if (!wxXmlResource::Get()->LoadDialog(dialog, parent, name))
        throw std::runtime_error(std::string("the dialog resource ") + name + " is missing");
}

// The add-process dialog that, on a retry, comes back with what was entered.
class CAddProcessAgainDlg : public CAddProcessDlg {
public:
    CAddProcessAgainDlg(std::int16_t grp, std::uint16_t type, const std::string& groupName, wxWindow* parent,
                        const ProcessInput* again)
        : CAddProcessDlg(grp, type, groupName, parent, false), m_pAgain(again)
    {
    }
    int ShowModal() override
    {
        Prepare();
        if (m_pAgain)
            Restore(*m_pAgain);
        CentreOnParent();
        return wxDialog::ShowModal();
    }

private:
    void Restore(const ProcessInput& input)
    {
        auto* base = XRCCTRL(*this, "IDC_BASE_PROCESS", wxChoice);
        for (unsigned i = 0; i < base->GetCount(); ++i)
            if (static_cast<std::int16_t>(CWxItemList::ItemData(*base, static_cast<int>(i))) == input.baseType) {
                base->SetSelection(static_cast<int>(i));
                m_model.OnBaseProcessChange(static_cast<std::uint32_t>(input.baseType));
            }
        const char* kinds[] = {"IDC_MOVE_EXPENSE", "IDC_MOVE_INCOME", "IDC_MOVE_INTERNAL"};
        if (input.kindChoice && input.moveKind >= 0 && input.moveKind < 3)
            XRCCTRL(*this, kinds[input.moveKind], wxRadioButton)->SetValue(true);
        // SetValue sends the edits' change events, and with them OK's state.
        XRCCTRL(*this, "IDC_PROCESS_CODE", wxTextCtrl)->SetValue(wxString::FromUTF8(input.code));
        XRCCTRL(*this, "IDC_PROCESS_NAME", wxTextCtrl)->SetValue(wxString::FromUTF8(input.name));
    }

    const ProcessInput* m_pAgain;
};

} // namespace

int CWxAddProcessDialog::AskProcess(std::int16_t grp, std::int32_t type, const std::string& groupName, bool retry,
                                    ProcessInput& input)
{
    CAddProcessAgainDlg dialog(grp, static_cast<std::uint16_t>(type), groupName, m_pParent,
                               retry ? &input : nullptr);
    if (dialog.ShowModal() != wxID_OK)
        return IDCANCEL;
    input.code = dialog.m_model.m_strCode;
    input.name = dialog.m_model.m_strName;
    input.baseType = dialog.m_model.m_nBaseType;
    input.kindChoice = dialog.m_model.m_bKindChoice != FALSE;
    input.moveKind = dialog.m_model.m_nMoveKind;
    return IDOK;
}

CProcessSelectDlg::CProcessSelectDlg(std::int16_t grp, const std::string& groupName, wxWindow* parent)
    : m_names(this), m_processes(this), m_model(grp, groupName, m_names, m_processes)
{
    LoadDialogResource(this, parent, "IDD_PROCESS_SELECT");
    m_list = XRCCTRL(*this, "IDC_PROCESS_LIST", wxListBox);
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) { m_model.TakeSelection(event.GetSelection()); });
    InstallCatalogMenu(*this, *XRCCTRL(*this, "IDC_MENU_BUTTON", wxButton),
                       [this](int id) { return m_model.CommandEnabled(id); });
    for (int id : kCatalogCommands)
        Bind(wxEVT_MENU, [this, id](wxCommandEvent&) { RunCommand(id); }, ToWxId(id));
}

void CProcessSelectDlg::ShowOkState()
{
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable(m_model.OkEnabled());
}

void CProcessSelectDlg::RunCommand(int id)
{
    // Keys reach the handler whatever the menu showed; the model refuses what it must.
    m_model.TakeSelection(m_list->GetSelection());
    CWxItemList list(*m_list);
    m_model.OnCommand(id, list);
    ShowOkState();
}

void CProcessSelectDlg::Prepare()
{
    wxBusyCursor wait;
    CWxItemList list(*m_list);
    m_model.OnInitDialog(list);
    ShowOkState();
    m_list->SetFocus();
}

int CProcessSelectDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CProcessSelectDlg::TransferDataFromWindow() { return m_model.OnOK(m_list->GetSelection()); }

CSelectDocDlg::CSelectDocDlg(std::int16_t type, std::int16_t grp, wxWindow* parent)
    : m_names(this), m_model(type, grp, m_names)
{
    LoadDialogResource(this, parent, "IDD_SELECT_DOC");
    m_list = XRCCTRL(*this, "IDC_DOC_LIST", wxListBox);
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) { m_model.OnSelChange(event.GetSelection()); });
    InstallCatalogMenu(*this, *XRCCTRL(*this, "IDC_MENU_BUTTON", wxButton),
                       [this](int id) { return m_model.CommandEnabled(id); });
    for (int id : kCatalogCommands)
        Bind(wxEVT_MENU, [this, id](wxCommandEvent&) { RunCommand(id); }, ToWxId(id));
}

void CSelectDocDlg::ShowOkState()
{
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable(m_model.OkEnabled());
}

void CSelectDocDlg::RunCommand(int id)
{
    m_model.OnSelChange(m_list->GetSelection());
    CWxItemList list(*m_list);
    m_model.OnCommand(id, list);
    ShowOkState();
}

void CSelectDocDlg::Prepare()
{
    wxBusyCursor wait;
    CWxItemList list(*m_list);
    m_model.OnInitDialog(list);
    ShowOkState();
    m_list->SetFocus();
}

int CSelectDocDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CSelectDocDlg::TransferDataFromWindow() { return m_model.OnOK(m_list->GetSelection()); }

bool RunProcessSelectDlg(wxWindow* parent, std::int16_t grp, const std::string& groupText, std::int32_t& word,
                         std::string& name)
{
    CProcessSelectDlg dialog(grp, groupText, parent);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    word = static_cast<std::int32_t>(dialog.m_model.m_dwSelected);
    name = dialog.m_model.m_strSelected;
    return true;
}

bool RunSelectDocDlg(wxWindow* parent, std::int16_t type, std::int16_t grp, std::int32_t& typeDoc,
                     std::string& name)
{
    CSelectDocDlg dialog(type, grp, parent);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    typeDoc = dialog.m_model.m_nTypeDoc;
    name = dialog.m_model.m_strName;
    return true;
}

} // namespace tarnwick
