#include "editor/dialogs/ui/createstatedlg.h"

#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/dialogs/ui/itemlist.h"
#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

namespace {

constexpr int kCatalogCommands[] = {ID_CATALOG_ADD, ID_CATALOG_RENAME, ID_CATALOG_DELETE, ID_CATALOG_REREAD};

} // namespace

void InstallCatalogMenu(wxDialog& dialog, wxButton& menuButton, std::function<bool(int id)> enabled)
{
    wxAcceleratorEntry keys[] = {
        {wxACCEL_NORMAL, WXK_INSERT, ToWxId(ID_CATALOG_ADD)},
        {wxACCEL_NORMAL, WXK_F2, ToWxId(ID_CATALOG_RENAME)},
        {wxACCEL_NORMAL, WXK_DELETE, ToWxId(ID_CATALOG_DELETE)},
        {wxACCEL_NORMAL, WXK_F5, ToWxId(ID_CATALOG_REREAD)},
    };
    dialog.SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));
    menuButton.Bind(wxEVT_BUTTON, [&dialog, &menuButton, enabled](wxCommandEvent&) {
        std::unique_ptr<wxMenu> menu(wxXmlResource::Get()->LoadMenu("IDR_CATALOG_MENU"));
        if (!menu)
            return;
        RenumberMenu(*menu);
        for (int id : kCatalogCommands)
            menu->Enable(ToWxId(id), enabled(id));
        dialog.PopupMenu(menu.get(), menuButton.GetPosition() + wxPoint(0, menuButton.GetSize().y));
    });
}

int CWxNameDialog::AskName(const char* text, unsigned mode, std::string& name, std::string& fullName)
{
    CAddState dialog(text, mode, m_pParent);
    if (dialog.ShowModal() != wxID_OK)
        return IDCANCEL;
    name = dialog.m_model.m_strName;
    fullName = dialog.m_model.m_strFullName;
    return IDOK;
}

CCreateStateDlg::CCreateStateDlg(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel* model, wxWindow* parent)
    : m_names(this), m_model(grp, typeDoc, model, m_names)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_CREATE_STATE"))
        throw std::runtime_error("the dialog resource IDD_CREATE_STATE is missing");
    m_list = XRCCTRL(*this, "IDC_STATE_LIST", wxListBox);
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) { m_model.OnSelChange(event.GetSelection()); });
    InstallCatalogMenu(*this, *XRCCTRL(*this, "IDC_MENU_BUTTON", wxButton),
                       [this](int id) { return m_model.CommandEnabled(id); });
    for (int id : kCatalogCommands)
        Bind(wxEVT_MENU, [this, id](wxCommandEvent&) { RunCommand(id); }, ToWxId(id));
}

void CCreateStateDlg::RunCommand(int id)
{
    // Keys reach the handler whatever the menu showed; the model refuses what it must.
    CWxItemList list(*m_list);
    m_model.OnCommand(id, list);
    ShowSelection();
}

void CCreateStateDlg::ShowSelection()
{
    if (wxWindow* ok = FindWindow(wxID_OK))
        ok->Enable(m_model.OkEnabled());
}

void CCreateStateDlg::Prepare()
{
    wxBusyCursor wait;
    CWxItemList list(*m_list);
    m_model.OnInitDialog(list);
    ShowSelection();
}

int CCreateStateDlg::ShowModal()
{
    Prepare();
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CCreateStateDlg::TransferDataFromWindow()
{
    m_model.OnSelChange(m_list->GetSelection());
    return m_model.OnOK();
}

bool CWxCreateStatePrompt::ChooseState(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel& model,
                                       std::int16_t& state, std::string& stateName)
{
    CCreateStateDlg dialog(grp, typeDoc, &model, wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    state = dialog.m_model.m_nState;
    stateName = dialog.m_model.m_strState;
    return true;
}

} // namespace tarnwick
