#include "editor/trees/ui/docselectdlg.h"

#include "editor/trees/ui/basetreectrl.h"

#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

wxIMPLEMENT_DYNAMIC_CLASS(CWFDocSelectTreeCtrl, wxTreeCtrl);

CWFDocSelectTreeCtrl::CWFDocSelectTreeCtrl() : m_items(*this)
{
    Bind(wxEVT_TREE_ITEM_EXPANDING, &CWFDocSelectTreeCtrl::OnExpanding, this);
    // A double click and Enter are told apart: only a double click on a
    // group or process opens and closes it.
    Bind(wxEVT_LEFT_DCLICK, &CWFDocSelectTreeCtrl::OnDoubleClick, this);
    Bind(wxEVT_KEY_DOWN, &CWFDocSelectTreeCtrl::OnKeyDown, this);
}

void CWFDocSelectTreeCtrl::SetSource(CBaseTreeCtrl& source)
{
    DeleteAllItems();
    m_model = std::make_unique<CWFDocSelectTreeModel>(m_items, source.Logic());
    if (auto* dialog = dynamic_cast<wxDialog*>(GetParent()))
        m_model->m_endDialog = [dialog] {
            if (dialog->IsModal()) {
                dialog->EndModal(wxID_OK);
            } else {
                dialog->SetReturnCode(wxID_OK);
                dialog->Hide();
            }
        };
    if (source.GetImageList())
        SetImageList(source.GetImageList());
    m_model->Fill();
}

void CWFDocSelectTreeCtrl::OnExpanding(wxTreeEvent& event)
{
    if (!m_model || !m_model->OnItemExpanding(CWxTreeItems::FromId(event.GetItem())))
        event.Veto();
}

void CWFDocSelectTreeCtrl::OnDoubleClick(wxMouseEvent& event)
{
    if (!m_model || !m_model->OnDoubleClick())
        event.Skip();
}

void CWFDocSelectTreeCtrl::OnKeyDown(wxKeyEvent& event)
{
    if (m_model && (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER)) {
        m_model->OnOK();
        return;
    }
    event.Skip();
}

ExtendedWFDocSelect::ExtendedWFDocSelect(CBaseTreeCtrl& source, wxWindow* parent) : m_pSource(&source)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_DOC_SELECT"))
        throw std::runtime_error("the dialog resource IDD_DOC_SELECT is missing");
    m_tree = XRCCTRL(*this, "IDC_DOC_TREE", CWFDocSelectTreeCtrl);
    if (!m_tree)
        throw std::runtime_error("the dialog resource IDD_DOC_SELECT has no document tree");
    m_tree->SetSource(source);
    Bind(wxEVT_BUTTON, &ExtendedWFDocSelect::OnOK, this, wxID_OK);
}

void ExtendedWFDocSelect::OnOK(wxCommandEvent&)
{
    // A taken document type has ended the dialog already; otherwise it stays.
    m_tree->Model().OnOK();
}

} // namespace tarnwick
