// The navigation tree windows: a wx tree control that shows the items of its
// tree logic and hands its events to it.
#pragma once

#include "treedialogs_wx.h"
#include "treelogic.h"

#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <memory>

namespace tarnwick {

class CBaseTreeCtrl : public wxTreeCtrl, public ITreeItems {
public:
    // The control id of every navigation tree.
    static constexpr int kTreeId = 200;

    CBaseTreeCtrl(TreeClass treeClass, ITreeHost& host);
    ~CBaseTreeCtrl() override;
    // Creates the window: label editing only outside read-only mode.
    bool Create(wxWindow* parent);

    TreeClass GetTreeClass() const { return m_treeClass; }
    CBaseTreeLogic& Logic() { return *m_logic; }

    // ITreeItems over the control.
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
    // True from the moment a label editor opens until its window is gone,
    // which is after the edit has ended.
    bool IsEditingLabel() override;
    // Every label edit starts here, by command, key or slow click.
    wxTextCtrl* EditLabel(const wxTreeItemId& item, wxClassInfo* textCtrlClass = wxCLASSINFO(wxTextCtrl)) override;
    bool IsValid(TreeItem item) override;
    bool HasChildrenMark(TreeItem item) override;

    // The edit commands the main frame forwards, and their state.
    bool UpdateCommand(int id, bool& enabled) { return m_logic->OnUpdateCommand(id, enabled); }

    static wxTreeItemId ToId(TreeItem item) { return wxTreeItemId(reinterpret_cast<void*>(item)); }
    static TreeItem FromId(const wxTreeItemId& id) { return reinterpret_cast<TreeItem>(id.GetID()); }

private:
    void OnExpanding(wxTreeEvent& event);
    void OnActivated(wxTreeEvent& event);
    void OnBeginLabelEdit(wxTreeEvent& event);
    void OnEndLabelEdit(wxTreeEvent& event);
    void OnKeyDown(wxTreeEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    void OnLabelEditorDestroyed(wxWindowDestroyEvent& event);

    TreeClass m_treeClass;
    CWxTreeDialogs m_dialogs{this};
    wxTextCtrl* m_labelEditor = nullptr;
    std::unique_ptr<CBaseTreeLogic> m_logic;
    wxTreeItemId m_hiddenRoot;
};

// The popup of menu 139 the tree shows, with its greyed entries; null without one.
wxMenu* LoadTreeMenu(const TreeMenu& menu);

} // namespace tarnwick
