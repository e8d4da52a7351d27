#include "editor/trees/ui/treectrlitems.h"

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

} // namespace tarnwick
