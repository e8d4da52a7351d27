// The editor's application object: start-up and shut-down order around the
// logic of CTarnwickAppCore.
#pragma once

#include "appcore.h"

#include <wx/app.h>

class CMainFrame;

namespace tarnwick {

class CTarnwickApp : public wxApp, public CTarnwickAppCore, public IAppShell {
public:
    bool OnInit() override;
    int OnExit() override;

    bool RunLoginDialog(const std::string& user, const std::string& dsn, int diagramKind,
                        LoginResult& result) override;
    void BuildNavigationTree(TreeClass treeClass) override;
    void RemoveNavigationTree() override;
    void CloseChildWindows() override;

private:
    void ShowSplash();
    void OnOpenConnectionCommand(wxCommandEvent& event);
    void OnCloseConnectionCommand(wxCommandEvent& event);
    void OnUpdateOpenConnectionCommand(wxUpdateUIEvent& event);
    void OnUpdateCloseConnectionCommand(wxUpdateUIEvent& event);

    CMainFrame* m_mainFrame = nullptr;
    wxDECLARE_EVENT_TABLE();
};

} // namespace tarnwick

wxDECLARE_APP(tarnwick::CTarnwickApp);
