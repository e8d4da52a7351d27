// The back-references dialog: a tree of group, process and document type;
// OK takes a document type.
#pragma once

#include "editor/dialogs/core/shortcut.h"

#include <wx/dialog.h>
#include <wx/treebase.h>

#include <map>

class wxTreeCtrl;

namespace tarnwick {

class CShortCutDlg : public wxDialog {
public:
    CShortCutDlg(wxWindow* parent, std::int32_t typeDoc);
    void Prepare();
    int ShowModal() override;
    // Selects the shown item of a tree item of the model.
    void SelectItem(TreeItem item);
    const CMemoryTreeItems& Items() const { return m_items; }

private:
    CMemoryTreeItems m_items;

public:
    CShortCutDlgModel m_model;

private:
    wxTreeCtrl* m_tree = nullptr;
    std::map<TreeItem, wxTreeItemId> m_shown;
};

} // namespace tarnwick
