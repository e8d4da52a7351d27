#include "editor/program/tarnwickapp.h"

#include "editor/dialogs/ui/aboutdlg.h"
#include "editor/dialogs/ui/chartdialogwindows.h"
#include "editor/frames/ui/childframe.h"
#include "editor/dialogs/ui/createstatedlg.h"
#include "editor/app/core/defprop.h"
#include "editor/program/filetype.h"
#include "editor/dialogs/ui/logindialog.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/recentfiles.h"
#include "editor/app/ui/settings.h"
#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"
#include "afx/ui/uilanguage.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "charts/views/chartview.h"
#include "charts/views/deptview.h"
#include "charts/views/tarnwickview.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include <wx/fileconf.h>
#include <wx/image.h>
#include <wx/splash.h>
#include <wx/xrc/xmlres.h>

void InitTarnwickXmlResource();

namespace tarnwick {

namespace {

class MessageBoxPrompt : public IPrompt {
public:
    void Message(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        ChartIcon shown = ChartIcon::None;
        switch (icon) {
        case MessageIcon::Error:
        case MessageIcon::Stop:
            shown = ChartIcon::Stop;
            break;
        case MessageIcon::Warning:
            shown = ChartIcon::Exclamation;
            break;
        case MessageIcon::Information:
            shown = ChartIcon::Information;
            break;
        case MessageIcon::None:
            break;
        }
        ShowMessageBox(text, caption, shown, MessageButtons::Ok);
    }
};

MessageBoxPrompt g_messageBoxPrompt;
CWxChartDialogs g_chartDialogs;
CWxCreateStatePrompt g_createStatePrompt;

constexpr int kSplashMilliseconds = 1500;
constexpr int kRecentFiles = 4;
constexpr const char* kRecentFileSection = "/Recent File List";

} // namespace

std::vector<std::string> g_arguments;

void InitTarnwickResources()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    wxXmlResource::Get()->InitAllHandlers();
    InitTarnwickXmlResource();
}

// The base would make its file history in its own constructor, where this
// class's OnCreateFileHistory is not called yet: it is made here instead.
CTarnwickDocManager::CTarnwickDocManager() : wxDocManager(0, false)
{
    Initialize();
}

wxFileHistory* CTarnwickDocManager::OnCreateFileHistory()
{
    return new CRecentFileList(kRecentFiles);
}

wxDocTemplate* CTarnwickDocManager::SelectDocumentPath(wxDocTemplate** templates, int noTemplates, wxString& path,
                                                      long flags, bool save)
{
    if (!m_choosePath)
        return wxDocManager::SelectDocumentPath(templates, noTemplates, path, flags, save);
    path = m_choosePath();
    if (path.empty() || noTemplates < 1)
        return nullptr;
    return templates[0];
}

wxBEGIN_EVENT_TABLE(CTarnwickApp, wxApp)
    EVT_MENU(ToWxId(res::ID_OPEN_CONNECTION), CTarnwickApp::OnOpenConnectionCommand)
    EVT_MENU(ToWxId(res::ID_CLOSE_CONNECTION), CTarnwickApp::OnCloseConnectionCommand)
    EVT_UPDATE_UI(ToWxId(res::ID_OPEN_CONNECTION), CTarnwickApp::OnUpdateOpenConnectionCommand)
    EVT_UPDATE_UI(ToWxId(res::ID_CLOSE_CONNECTION), CTarnwickApp::OnUpdateCloseConnectionCommand)
    EVT_MENU(ToWxId(res::ID_LOAD_FROM_FILE), CTarnwickApp::OnLoadFromFile)
    EVT_MENU(ToWxId(res::ID_APP_ABOUT), CTarnwickApp::OnAppAbout)
wxEND_EVENT_TABLE()

bool CTarnwickApp::OnInit()
{
    afx::SetUiLanguage(winapi::UiLanguage::Russian);
    SetPrompt(&g_messageBoxPrompt);
    SetChartShell(this);
    SetChartDialogs(&g_chartDialogs);
    SetCreateStatePrompt(&g_createStatePrompt);
    SetAppDisplayName(wxString::FromUTF8(res::LoadString(res::IDS_APP_TITLE)));
    InitTarnwickResources();
    wxInitAllImageHandlers();
    SetShell(this);

    {
        CFileProfileStore store;
        LoadSettings(store);
    }
    ShowSplash();

    if (!CreateWindows())
        return false;

    m_cmdInfo.m_nShellCommand = CCommandLineInfo::FileNothing;
    // wx's copy of argv holds the wiped password; main kept the arguments as given.
    ParseCommandLine(m_cmdInfo, g_arguments);
    RegisterChartFileType();

    m_mainFrame->Show();
    m_mainFrame->Update();

    if (!ConnectAtStartup())
        return false;
    // A chart file named on the command line opens once the connection is there.
    if (!m_cmdInfo.m_strFileName.empty())
        m_docManager->CreateDocument(wxString::FromUTF8(m_cmdInfo.m_strFileName), wxDOC_SILENT);
    return true;
}

bool CTarnwickApp::CreateWindows()
{
    m_docManager = new CTarnwickDocManager;
    new wxDocTemplate(m_docManager, wxString::FromUTF8("Документооборот"), "*.wfa", "", "wfa", "DiagramAWF",
                      "DiagramAWF Document", CLASSINFO(CTarnwickDoc), CLASSINFO(CTarnwickView));
    new wxDocTemplate(m_docManager, wxString::FromUTF8("Подразделения"), "*.wfd", "", "wfd", "DiagramDWF",
                      "DiagramDWF Document", CLASSINFO(CADepartmentDoc), CLASSINFO(CADepartmentView));
    {
        CFileProfileStore store;
        wxFileConfig& config = store.Config();
        config.SetPath(kRecentFileSection);
        m_docManager->FileHistoryLoad(config);
        config.SetPath("/");
    }
    m_mainFrame = new CMainFrame(m_docManager, *this);
    SetChartFrameFactory([this](wxDocument* doc, wxView* view) -> wxWindow* {
        return m_mainFrame ? new CChildFrame(doc, view, m_mainFrame) : nullptr;
    });
    SetTopWindow(m_mainFrame);
    m_mainFrame->GetTreeBar()->CreateTree(TreeClass::Base);
    return true;
}

void CTarnwickApp::DestroyWindows()
{
    if (m_docManager) {
        CFileProfileStore store;
        wxFileConfig& config = store.Config();
        config.DeleteGroup(kRecentFileSection);
        config.SetPath(kRecentFileSection);
        m_docManager->FileHistorySave(config);
        config.SetPath("/");
        store.Flush();
    }
    SetChartFrameFactory({});
    delete m_docManager;
    m_docManager = nullptr;
    m_mainFrame = nullptr;
}

int CTarnwickApp::OnExit()
{
    DestroyWindows();
    CFileProfileStore store;
    SaveSettings(store);
    if (!store.Flush())
        Prompt().Message("Не удалось сохранить настройки: " + SettingsFilePath().string(), {},
                         MessageIcon::Warning);
    ReleaseConnection();
    SetCreateStatePrompt(nullptr);
    SetChartDialogs(nullptr);
    SetChartShell(nullptr);
    SetPrompt(nullptr);
    return wxApp::OnExit();
}

void CTarnwickApp::ShowSplash()
{
    wxBitmap bitmap = SplashBitmap();
    if (!bitmap.IsOk())
        return;
    auto* splash = new wxSplashScreen(bitmap, wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT, kSplashMilliseconds,
                                      nullptr, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxCAPTION | wxSTAY_ON_TOP);
    splash->SetTitle("Kelm Tarnwick");
    wxYield();
}

bool CTarnwickApp::RunLoginDialog(const std::string& user, const std::string& dsn, int diagramKind,
                                  LoginResult& result)
{
    CLoginDlg dialog(user, dsn, diagramKind, m_mainFrame);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    result.m_strDSN = dialog.m_model.m_strDSN;
    result.m_bNTAuthentication = dialog.m_model.m_bNTAuthentication;
    result.m_strUser = dialog.m_model.m_strUser;
    result.m_strPassword = dialog.m_model.m_strPassword;
    return true;
}

void CTarnwickApp::BuildNavigationTree(TreeClass treeClass)
{
    if (m_mainFrame)
        m_mainFrame->GetTreeBar()->CreateTree(treeClass);
}

void CTarnwickApp::RemoveNavigationTree()
{
    if (m_mainFrame)
        m_mainFrame->GetTreeBar()->CreateTree(TreeClass::Base);
}

bool CTarnwickApp::CloseChildWindows()
{
    return !m_docManager || m_docManager->CloseDocuments(false);
}

std::vector<wxDocTemplate*> CTarnwickApp::CurrentTemplates()
{
    std::vector<wxDocTemplate*> found;
    const int kind = m_cmdInfo.m_nDiagrammType;
    if (kind < 1 || !m_docManager)
        return found;
    const wxString name = wxString::FromUTF8(res::LoadString(res::IDS_DOCUMENT_NAME_BASE + kind));
    for (wxObject* object : m_docManager->GetTemplates())
        if (auto* templ = dynamic_cast<wxDocTemplate*>(object); templ && templ->GetDocumentName() == name)
            found.push_back(templ);
    return found;
}

wxFrame* CTarnwickApp::FindDiagram(std::int32_t key, bool activate)
{
    for (wxDocTemplate* templ : CurrentTemplates()) {
        for (wxObject* object : m_docManager->GetDocuments()) {
            auto* doc = dynamic_cast<CBaseDiagramDoc*>(object);
            if (!doc || doc->GetDocumentTemplate() != templ || !doc->GetModel() || doc->GetModel()->GetKey() != key)
                continue;
            wxView* view = doc->GetFirstView();
            if (!view)
                continue;
            auto* frame = dynamic_cast<wxFrame*>(view->GetFrame());
            if (frame && activate)
                ActivateChildFrame(frame);
            return frame;
        }
    }
    return nullptr;
}

wxDocument* CTarnwickApp::FindDiagramByPath(const std::string& path)
{
    for (wxDocTemplate* templ : CurrentTemplates()) {
        for (wxObject* object : m_docManager->GetDocuments()) {
            auto* doc = dynamic_cast<wxDocument*>(object);
            if (!doc || doc->GetDocumentTemplate() != templ || doc->GetFilename().utf8_string() != path)
                continue;
            if (wxView* view = doc->GetFirstView())
                ActivateChildFrame(dynamic_cast<wxFrame*>(view->GetFrame()));
            return doc;
        }
    }
    return nullptr;
}

void CTarnwickApp::ActivateChildFrame(wxFrame* frame)
{
    if (auto* child = dynamic_cast<wxMDIChildFrame*>(frame))
        child->Activate();
    // A window that is the current tab already hears of no activation.
    if (auto* chart = dynamic_cast<CChildFrame*>(frame))
        chart->ShowInParentCaption();
}

CBaseDiagramDoc* CTarnwickApp::NewDocument(wxDocTemplate* templ)
{
    auto* doc = dynamic_cast<CBaseDiagramDoc*>(templ->GetDocClassInfo()->CreateObject());
    if (!doc)
        return nullptr;
    doc->SetDocumentTemplate(templ);
    doc->SetDocumentName(templ->GetDocumentName());
    m_docManager->AddDocument(doc);
    return doc;
}

void CTarnwickApp::DropDocument(wxDocument* document)
{
    m_docManager->RemoveDocument(document);
    delete document;
}

void CTarnwickApp::OpenDiagram(std::int32_t key, const std::string& title)
{
    if (m_cmdInfo.m_nDiagrammType < 1 || FindDiagram(key, true))
        return;
    for (wxDocTemplate* templ : CurrentTemplates()) {
        CBaseDiagramDoc* doc = NewDocument(templ);
        if (!doc)
            return;
        if (!doc->OpenFromDB(key, title, true)) {
            // Only a workflow chart opens again with its keys alone.
            const bool retry = dynamic_cast<CTarnwickDoc*>(doc) != nullptr;
            DropDocument(doc);
            if (!retry)
                return;
            doc = NewDocument(templ);
            if (!doc || !doc->OpenFromDB(key, title, false)) {
                if (doc)
                    DropDocument(doc);
                return;
            }
            // Opened with its keys only: saving it would delete the stored chart.
            if (auto* model = dynamic_cast<CTarnwickModel*>(doc->GetModel()))
                model->m_bIncomplete = true;
        }
        auto* view = dynamic_cast<CChartViewBase*>(templ->CreateView(doc, 0));
        if (!view) {
            DropDocument(doc);
            return;
        }
        view->OnInitialUpdate();
        ActivateChildFrame(dynamic_cast<wxFrame*>(view->GetFrame()));
        if (auto* model = dynamic_cast<CTarnwickModel*>(doc->GetModel()))
            model->FitSymbolsToText(view->GetChartViewport().GetController(), doc);
        // The same layout pass gives a department chart's nodes the size of their names.
        if (auto* model = dynamic_cast<CADepartmentDiagramModel*>(doc->GetModel()))
            model->FitNodesToText();
        view->GetChartViewport().Redraw();
    }
}

void CTarnwickApp::LoadDefaultProperties(CODViewport& viewport)
{
    LoadDefaultPropertiesFile(DefaultPropertiesPath(), viewport.GetDefaultProperties());
}

void CTarnwickApp::SaveDefaultProperties(CODViewport& viewport)
{
    SaveDefaultPropertiesFile(DefaultPropertiesPath(), viewport.GetDefaultProperties());
}

bool CTarnwickApp::CloseDiagram(std::int32_t key)
{
    wxFrame* frame = FindDiagram(key, true);
    if (!frame)
        return true;
    auto* child = dynamic_cast<wxDocMDIChildFrame*>(frame);
    wxDocument* doc = child ? child->GetDocument() : nullptr;
    return !doc || m_docManager->CloseDocument(doc, false);
}

namespace {

// A chart the file dialog opened, as the process tree sees it.
class COpenedChart final : public IOpenedChart {
public:
    explicit COpenedChart(CBaseDiagramDoc& document) : m_document(document) {}

    CTarnwickModel* Model() override { return dynamic_cast<CTarnwickModel*>(m_document.GetModel()); }
    void SetTitle(const std::string& title) override { m_document.SetTitle(wxString::FromUTF8(title)); }
    void CloseLater() override
    {
        if (!m_document.GetFirstView())
            return;
        if (wxWindow* frame = m_document.GetFirstView()->GetFrame())
            frame->GetEventHandler()->CallAfter([frame] { frame->Close(); });
    }

private:
    CBaseDiagramDoc& m_document;
};

} // namespace

std::unique_ptr<IOpenedChart> CTarnwickApp::OpenChartFile()
{
    if (!m_mainFrame)
        return nullptr;
    wxMDIChildFrame* before = m_mainFrame->GetActiveChild();
    wxCommandEvent open(wxEVT_MENU, wxID_OPEN);
    m_mainFrame->GetEventHandler()->ProcessEvent(open);
    wxMDIChildFrame* after = m_mainFrame->GetActiveChild();
    if (!after || after == before)
        return nullptr;
    auto* child = dynamic_cast<wxDocMDIChildFrame*>(after);
    auto* document = child ? dynamic_cast<CBaseDiagramDoc*>(child->GetDocument()) : nullptr;
    if (!document)
        return nullptr;
    return std::make_unique<COpenedChart>(*document);
}

void CTarnwickApp::DiscardDiagram(std::int32_t key)
{
    wxFrame* frame = FindDiagram(key, false);
    auto* child = dynamic_cast<wxDocMDIChildFrame*>(frame);
    auto* doc = child ? dynamic_cast<CBaseDiagramDoc*>(child->GetDocument()) : nullptr;
    if (!doc)
        return;
    // No save question: the changes are dropped before the document closes.
    if (doc->GetModel())
        doc->GetModel()->SetModified(false);
    doc->Modify(false);
    m_docManager->CloseDocument(doc, true);
}

void CTarnwickApp::RetitleDiagram(std::int32_t key, const std::string& title)
{
    wxFrame* frame = FindDiagram(key, false);
    auto* child = dynamic_cast<wxDocMDIChildFrame*>(frame);
    wxDocument* doc = child ? child->GetDocument() : nullptr;
    if (!doc)
        return;
    static const std::string kReadOnlySuffix = " (только чтение)";
    const std::string old = doc->GetTitle().utf8_string();
    const bool readOnly =
        old.size() >= kReadOnlySuffix.size() && old.compare(old.size() - kReadOnlySuffix.size(), std::string::npos,
                                                            kReadOnlySuffix) == 0;
    doc->SetTitle(wxString::FromUTF8(readOnly ? title + kReadOnlySuffix : title));
    // The window's new title reaches the main frame's caption when the chart is in front.
    for (wxView* view : doc->GetViewsVector())
        view->OnChangeFilename();
}

bool CTarnwickApp::AskYesNo(const std::string& text)
{
    return ShowMessageBox(text, {}, ChartIcon::Question, MessageButtons::YesNo) == IDYES;
}

int CTarnwickApp::AskYesNoCancel(const std::string& text)
{
    return ShowMessageBox(text, {}, ChartIcon::Question, MessageButtons::YesNoCancel);
}

void CTarnwickApp::Message(const std::string& text, const std::string& caption, ChartIcon icon)
{
    ShowMessageBox(text, caption, icon, MessageButtons::Ok);
}

void CTarnwickApp::PostCommand(int id)
{
    if (m_mainFrame)
        wxQueueEvent(m_mainFrame, new wxCommandEvent(wxEVT_MENU, ToWxId(id)));
}

bool CTarnwickApp::SendCommand(int id)
{
    if (!m_mainFrame)
        return false;
    wxCommandEvent event(wxEVT_MENU, ToWxId(id));
    event.SetEventObject(m_mainFrame);
    return m_mainFrame->GetEventHandler()->ProcessEvent(event);
}

void CTarnwickApp::OnOpenConnectionCommand(wxCommandEvent&) { OnOpenConnection(); }

void CTarnwickApp::OnCloseConnectionCommand(wxCommandEvent&) { OnCloseConnection(); }

void CTarnwickApp::OnUpdateOpenConnectionCommand(wxUpdateUIEvent& event) { event.Enable(OnUpdateOpenConnection()); }

void CTarnwickApp::OnUpdateCloseConnectionCommand(wxUpdateUIEvent& event)
{
    event.Enable(OnUpdateCloseConnection());
}

void CTarnwickApp::OnLoadFromFile(wxCommandEvent&)
{
    CBaseTreeCtrl* tree = m_mainFrame ? m_mainFrame->GetTree() : nullptr;
    // The department tree has no item of its own to load into: the plain file-open.
    if (tree && tree->GetTreeClass() == TreeClass::Base)
        return;
    if (tree) {
        const TreeItem selected = tree->GetSelection();
        if (selected && tree->GetItemImage(selected) == IMAGE_DOCUMENT) {
            wxQueueEvent(tree, new wxCommandEvent(wxEVT_MENU, ToWxId(res::ID_LOAD_FROM_FILE)));
            return;
        }
    }
    wxCommandEvent open(wxEVT_MENU, wxID_OPEN);
    if (m_mainFrame)
        m_mainFrame->GetEventHandler()->ProcessEvent(open);
}

void CTarnwickApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg dialog(m_mainFrame, CVersionInfo(), m_strDbVersion, m_cmdInfo.m_nDiagrammType);
    dialog.ShowModal();
}

} // namespace tarnwick
