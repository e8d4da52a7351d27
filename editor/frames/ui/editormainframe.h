// The main window: a workbook of chart windows (tabs on GTK) with the
// docking tree bar, seven toolbars and the status bar, laid out by AUI.
#pragma once

#include "editor/app/core/editorcore.h"
#include "editor/frames/ui/childframe.h"

#include "charts/shell/core/chartprogress.h"

#include <wx/aui/aui.h>
#include <wx/docmdi.h>

#include <vector>

class wxGauge;

namespace tarnwick {

struct ToolbarDef {
    int id;
    const char* title;
    int resource;
    bool newRow; // placed after none: starts a row
    std::vector<int> commands; // 0: separator
};
// The seven bars in their order.
const std::vector<ToolbarDef>& MainToolbars();

class CMainFrame : public wxDocMDIParentFrame, public IChartProgress {
public:
    CMainFrame(wxDocManager* manager, ITreeHost& host);
    ~CMainFrame() override;

    CTreeDockingWnd* GetTreeBar() const { return m_wndTreeBar; }
    CBaseTreeCtrl* GetTree() const { return m_wndTreeBar ? m_wndTreeBar->GetTree() : nullptr; }
    wxAuiManager& GetAuiManager() { return m_mgr; }
    bool IsTreeBarVisible();
    void ShowTreeBar(bool show);
    // The tree bar's width as the user left it, kept in its pane.
    void KeepTreeBarWidth();
    bool IsWorkbookMode() const { return m_bWorkbookMode; }
    void SetWorkbookMode(bool on);

    void BeginProgress(const std::string& text, int lower, int upper) override;
    void StepProgress() override;
    void EndProgress() override;
    wxGauge* GetProgressGauge() const { return m_progress; }

    // The profile's "BarState": the AUI layout of every bar.
    void SaveBarState();
    void LoadBarState();
    // Moves the focus as F6 does.
    void OnNextPane();

private:
    void CreateToolbars();
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnForwardToTree(wxCommandEvent& event);
    void OnUpdateForwarded(wxUpdateUIEvent& event);
    void OnUpdateChartCommand(wxUpdateUIEvent& event);
    void OnToggleTreeBar(wxCommandEvent& event);
    void OnUpdateToggleTreeBar(wxUpdateUIEvent& event);
    void OnWorkbookMode(wxCommandEvent& event);
    void OnUpdateWorkbookMode(wxUpdateUIEvent& event);
    void OnCustomize(wxCommandEvent& event);
    void OnLoadFromDB(wxCommandEvent& event);
    void OnUpdateLoadFromDB(wxUpdateUIEvent& event);

    wxAuiManager m_mgr;
    CTreeDockingWnd* m_wndTreeBar = nullptr;
    std::vector<wxAuiToolBar*> m_toolbars;
    wxGauge* m_progress = nullptr;
    int m_progressLower = 0;
    bool m_bWorkbookMode = true;
};

} // namespace tarnwick
