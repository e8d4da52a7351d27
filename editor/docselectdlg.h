// The document-selection dialog: a copy of a navigation tree in which the
// user picks one document type. No menu opens it; a caller gives it the tree
// to copy and reads the choice after OK.
#pragma once

#include "docselect.h"

#include <wx/dialog.h>
#include <wx/treectrl.h>

#include <memory>

namespace tarnwick {

class CBaseTreeCtrl;

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

// The dialog's tree. Made by the dialog resource (its "subclass"), then
// given its source with SetSource.
class CWFDocSelectTreeCtrl : public wxTreeCtrl {
public:
    CWFDocSelectTreeCtrl();
    // Copies the source's items and takes its images. Inside a dialog, an
    // accepted document type ends the dialog with OK.
    void SetSource(CBaseTreeCtrl& source);

    CWFDocSelectTreeModel& Model() { return *m_model; }
    ITreeItems& Items() { return m_items; }

private:
    void OnExpanding(wxTreeEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

    CWxTreeItems m_items;
    std::unique_ptr<CWFDocSelectTreeModel> m_model;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CWFDocSelectTreeCtrl);
};

class ExtendedWFDocSelect : public wxDialog {
public:
    ExtendedWFDocSelect(CBaseTreeCtrl& source, wxWindow* parent);

    // After OK: the tree's m_strSelText and m_nSelData.
    CWFDocSelectTreeCtrl& Tree() { return *m_tree; }

private:
    void OnOK(wxCommandEvent& event);

    CWFDocSelectTreeCtrl* m_tree = nullptr;
    CBaseTreeCtrl* m_pSource;
};

} // namespace tarnwick
