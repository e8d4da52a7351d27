// The chart window and the docking bar that holds the navigation tree.
#pragma once

#include "editor/trees/ui/basetreectrl.h"

#include <wx/docmdi.h>
#include <wx/notebook.h>
#include <wx/panel.h>

namespace tarnwick {

class CChildFrame : public wxDocMDIChildFrame {
public:
    CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent);
    ~CChildFrame() override;
    // Names the chart in the main frame's caption.
    void ShowInParentCaption();
    // A chart in front that is named anew renames the main frame's caption too.
    void SetTitle(const wxString& title) override;

private:
    void OnActivate(wxActivateEvent& event);
    wxMenu* m_fileMenu = nullptr;
};

// The main frame's caption: the program's title, with the name of the
// active chart when one is open.
void ShowActiveChartInCaption(wxMDIParentFrame& frame);

// The docking bar: a tab window whose one tab is the navigation tree.
class CTreeDockingWnd : public wxPanel {
public:
    CTreeDockingWnd(wxWindow* parent, ITreeHost& host);
    ~CTreeDockingWnd() override;

    // Replaces the tree when its class differs, then clears and fills it.
    // False when the tree window could not be made or the fill failed.
    bool CreateTree(TreeClass treeClass);
    CBaseTreeCtrl* GetTree() const { return m_pTree; }
    wxNotebook* GetTabs() const { return m_tabs; }

private:
    ITreeHost& m_host;
    wxNotebook* m_tabs = nullptr;
    CBaseTreeCtrl* m_pTree = nullptr;
};

} // namespace tarnwick
