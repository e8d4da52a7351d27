#include "docselectdlg.h"

#include "basetreectrl.h"

#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

namespace {

// One 32-bit word per item.
class CItemWord : public wxTreeItemData {
public:
    explicit CItemWord(std::int32_t word) : m_word(word) {}
    std::int32_t m_word;
};

} // namespace

TreeItem CWxTreeItems::GetRootItem()
{
    wxTreeItemId root = m_tree.GetRootItem();
    if (!root.IsOk())
        root = m_tree.AddRoot(wxString());
    return FromId(root);
}

TreeItem CWxTreeItems::AppendItem(TreeItem parent, const std::string& text, int image, std::int32_t data,
                                  bool hasChildren)
{
    const wxTreeItemId id = m_tree.AppendItem(ToId(parent), wxString::FromUTF8(text), image, image, new CItemWord(data));
    if (hasChildren)
        m_tree.SetItemHasChildren(id, true);
    return FromId(id);
}

std::string CWxTreeItems::GetItemText(TreeItem item) { return m_tree.GetItemText(ToId(item)).utf8_string(); }

void CWxTreeItems::SetItemText(TreeItem item, const std::string& text)
{
    m_tree.SetItemText(ToId(item), wxString::FromUTF8(text));
}

int CWxTreeItems::GetItemImage(TreeItem item) { return m_tree.GetItemImage(ToId(item)); }

std::int32_t CWxTreeItems::GetItemData(TreeItem item)
{
    auto* word = dynamic_cast<CItemWord*>(m_tree.GetItemData(ToId(item)));
    return word ? word->m_word : 0;
}

TreeItem CWxTreeItems::GetItemParent(TreeItem item) { return FromId(m_tree.GetItemParent(ToId(item))); }

std::vector<TreeItem> CWxTreeItems::GetChildren(TreeItem item)
{
    std::vector<TreeItem> children;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = m_tree.GetFirstChild(ToId(item), cookie); child.IsOk();
         child = m_tree.GetNextChild(ToId(item), cookie))
        children.push_back(FromId(child));
    return children;
}

void CWxTreeItems::Expand(TreeItem item)
{
    // The hidden root is always open.
    if (ToId(item) != m_tree.GetRootItem())
        m_tree.Expand(ToId(item));
}

bool CWxTreeItems::IsExpanded(TreeItem item) { return m_tree.IsExpanded(ToId(item)); }
void CWxTreeItems::DeleteItem(TreeItem item) { m_tree.Delete(ToId(item)); }
void CWxTreeItems::DeleteAllItems() { m_tree.DeleteChildren(ToId(GetRootItem())); }
TreeItem CWxTreeItems::GetSelection() { return FromId(m_tree.GetSelection()); }

void CWxTreeItems::SelectItem(TreeItem item)
{
    if (item)
        m_tree.SelectItem(ToId(item));
    else
        m_tree.Unselect();
}

void CWxTreeItems::EditLabel(TreeItem item) { m_tree.EditLabel(ToId(item)); }
bool CWxTreeItems::IsEditingLabel() { return m_tree.GetEditControl() != nullptr; }
bool CWxTreeItems::HasChildrenMark(TreeItem item) { return m_tree.ItemHasChildren(ToId(item)); }

bool CWxTreeItems::IsValid(TreeItem item)
{
    // Walks the tree: an id of a deleted item must not be touched.
    const wxTreeItemId root = m_tree.GetRootItem();
    if (!root.IsOk())
        return false;
    std::vector<wxTreeItemId> pending{root};
    while (!pending.empty()) {
        const wxTreeItemId id = pending.back();
        pending.pop_back();
        if (FromId(id) == item)
            return true;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = m_tree.GetFirstChild(id, cookie); child.IsOk(); child = m_tree.GetNextChild(id, cookie))
            pending.push_back(child);
    }
    return false;
}

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
