// The item interface of the navigation trees over a wx tree control: the
// program's trees and the document-selection dialog's copy of one share it.
#pragma once

#include "editor/trees/core/processtree.h"

#include <wx/treectrl.h>

namespace tarnwick {

// The tree items of a wx tree control with a hidden root.
class CWxTreeItems : public ITreeItems {
public:
    explicit CWxTreeItems(wxTreeCtrl& tree) : m_tree(tree) {}
    TreeItem GetRootItem() override;
    TreeItem AppendItem(TreeItem parent, const std::string& text, int image, std::int32_t data,
                        bool hasChildren = false) override;
    std::string GetItemText(TreeItem item) override;
    void SetItemText(TreeItem item, const std::string& text) override;
    int GetItemImage(TreeItem item) override;
    std::int32_t GetItemData(TreeItem item) override;
    TreeItem GetItemParent(TreeItem item) override;
    std::vector<TreeItem> GetChildren(TreeItem item) override;
    void Expand(TreeItem item) override;
    bool IsExpanded(TreeItem item) override;
    void DeleteItem(TreeItem item) override;
    void DeleteAllItems() override;
    TreeItem GetSelection() override;
    void SelectItem(TreeItem item) override;
    void EditLabel(TreeItem item) override;
    bool IsEditingLabel() override;
    bool IsValid(TreeItem item) override;
    bool HasChildrenMark(TreeItem item) override;

    static wxTreeItemId ToId(TreeItem item) { return wxTreeItemId(reinterpret_cast<void*>(item)); }
    static TreeItem FromId(const wxTreeItemId& id) { return reinterpret_cast<TreeItem>(id.GetID()); }

private:
    wxTreeCtrl& m_tree;
};

} // namespace tarnwick
