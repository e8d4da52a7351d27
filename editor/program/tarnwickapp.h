// The editor's application object: start-up and shut-down order around the
// logic of CTarnwickAppCore, the document template, and the chart windows.
#pragma once

#include "editor/app/core/editorcore.h"
#include "editor/trees/core/processtree.h"

#include "charts/shell/core/chartshell.h"

#include <wx/app.h>
#include <wx/docview.h>

#include <functional>

class CBaseDiagramDoc;
class CODViewport;

namespace tarnwick {

class CMainFrame;

// Keeps four recent files; a test may answer the file dialog.
class CTarnwickDocManager : public wxDocManager {
public:
    CTarnwickDocManager();
    wxFileHistory* OnCreateFileHistory() override;
    wxDocTemplate* SelectDocumentPath(wxDocTemplate** templates, int noTemplates, wxString& path, long flags,
                                      bool save = false) override;
    std::function<wxString()> m_choosePath;
};

class CTarnwickApp : public wxApp, public CTarnwickAppCore, public IAppShell, public IChartShell, public ITreeHost {
public:
    bool OnInit() override;
    int OnExit() override;

    // The document manager with the chart template, and the main frame.
    bool CreateWindows();
    void DestroyWindows();
    CMainFrame* GetMainFrame() const { return m_mainFrame; }
    CTarnwickDocManager* GetDocManager() const { return m_docManager; }

    // Chart windows of the current diagram kind.
    wxFrame* FindDiagram(std::int32_t key, bool activate);
    wxDocument* FindDiagramByPath(const std::string& path);
    void ActivateChildFrame(wxFrame* frame);

    // IAppShell
    bool RunLoginDialog(const std::string& user, const std::string& dsn, int diagramKind,
                        LoginResult& result) override;
    void BuildNavigationTree(TreeClass treeClass) override;
    void RemoveNavigationTree() override;
    bool CloseChildWindows() override;

    // IChartShell and ITreeHost
    bool AskYesNo(const std::string& text) override;
    int AskYesNoCancel(const std::string& text) override;
    void Message(const std::string& text, const std::string& caption, ChartIcon icon) override;
    void PostCommand(int id) override;
    bool SendCommand(int id) override;
    bool IsReadOnly() const override { return g_bReadOnlyMode != FALSE; }
    ado::_ConnectionPtr Connection() override { return ConnectDB(FALSE); }
    void OpenDiagram(std::int32_t key, const std::string& title) override;
    void LoadDefaultProperties(CODViewport& viewport) override;
    void SaveDefaultProperties(CODViewport& viewport) override;
    bool CloseDiagram(std::int32_t key) override;
    std::unique_ptr<IOpenedChart> OpenChartFile() override;
    void DiscardDiagram(std::int32_t key) override;
    void RetitleDiagram(std::int32_t key, const std::string& title) override;

private:
    void ShowSplash();
    // The templates of the current diagram kind, in registration order.
    std::vector<wxDocTemplate*> CurrentTemplates();
    CBaseDiagramDoc* NewDocument(wxDocTemplate* templ);
    void DropDocument(wxDocument* document);
    void OnOpenConnectionCommand(wxCommandEvent& event);
    void OnCloseConnectionCommand(wxCommandEvent& event);
    void OnUpdateOpenConnectionCommand(wxUpdateUIEvent& event);
    void OnUpdateCloseConnectionCommand(wxUpdateUIEvent& event);
    void OnLoadFromFile(wxCommandEvent& event);
    void OnAppAbout(wxCommandEvent& event);

    CMainFrame* m_mainFrame = nullptr;
    CTarnwickDocManager* m_docManager = nullptr;
    wxDECLARE_EVENT_TABLE();
};

// The command line as main took it, before the password was wiped from argv.
extern std::vector<std::string> g_arguments;

// Installs the program's XRC resources (dialogs and menus) once.
void InitTarnwickResources();

} // namespace tarnwick


