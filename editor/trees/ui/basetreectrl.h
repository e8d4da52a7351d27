// The navigation tree windows: a wx tree control that shows the items of its
// tree logic and hands its events to it.
#pragma once

#include "editor/trees/ui/treedialogwindows.h"
#include "editor/trees/core/processtree.h"
#include "editor/trees/ui/treectrlitems.h"

#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include <memory>

namespace tarnwick {

// Its items are read and changed as in any wx tree control (CWxTreeItems);
// only the label editor it follows and a cleared selection are its own.
class CBaseTreeCtrl : public wxTreeCtrl, public CWxTreeItems {
public:
    // The control id of every navigation tree.
    static constexpr int kTreeId = 200;

    CBaseTreeCtrl(TreeClass treeClass, ITreeHost& host);
    ~CBaseTreeCtrl() override;
    // Creates the window: label editing only outside read-only mode.
    bool Create(wxWindow* parent);

    TreeClass GetTreeClass() const { return m_treeClass; }
    CBaseTreeLogic& Logic() { return *m_logic; }

    // ITreeItems over the control; these names mean the items' ones here,
    // not the wx control's.
    using CWxTreeItems::AppendItem;
    using CWxTreeItems::EditLabel;
    using CWxTreeItems::Expand;
    using CWxTreeItems::GetChildren;
    using CWxTreeItems::GetItemData;
    using CWxTreeItems::GetItemImage;
    using CWxTreeItems::GetItemParent;
    using CWxTreeItems::GetItemText;
    using CWxTreeItems::GetRootItem;
    using CWxTreeItems::GetSelection;
    using CWxTreeItems::IsExpanded;
    using CWxTreeItems::SetItemText;
    // Both the items' and the wx control's: either keeps the hidden root.
    void DeleteAllItems() override;
    void SelectItem(TreeItem item) override;
    // True from the moment a label editor opens until its window is gone,
    // which is after the edit has ended.
    bool IsEditingLabel() override;
    // Every label edit starts here, by command, key or slow click.
    wxTextCtrl* EditLabel(const wxTreeItemId& item, wxClassInfo* textCtrlClass = wxCLASSINFO(wxTextCtrl)) override;

    // The edit commands the main frame forwards, and their state.
    bool UpdateCommand(int id, bool& enabled) { return m_logic->OnUpdateCommand(id, enabled); }

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
    // Clicks on labels: the tree edits a selected item's label after a
    // slow click of its own, never on a double-click (the control's own
    // slow-click edit is off).
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnLeftDoubleClick(wxMouseEvent& event);
    void OnEditTimer(wxTimerEvent& event);
    void ForgetClicks(wxEvent& event);

    TreeClass m_treeClass;
    CWxTreeDialogs m_dialogs{this};
    wxTextCtrl* m_labelEditor = nullptr;
    bool m_bEditLabels = false;
    CLabelClicks m_clicks;
    wxTimer m_editTimer;
    std::unique_ptr<CBaseTreeLogic> m_logic;
};

// The popup of menu 139 the tree shows, with its greyed entries; null without one.
wxMenu* LoadTreeMenu(const TreeMenu& menu);

} // namespace tarnwick
