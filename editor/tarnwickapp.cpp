#include "tarnwickapp.h"

#include "logindlg.h"
#include "mainframe.h"
#include "settings.h"

#include "afx/cmdid.h"
#include "resources/tarnwick/strings.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/msgdlg.h>
#include <wx/splash.h>
#include <wx/xrc/xmlres.h>

void InitTarnwickXmlResource();

namespace tarnwick {

namespace {

class MessageBoxPrompt : public IPrompt {
public:
    void Message(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        long style = wxOK;
        switch (icon) {
        case MessageIcon::Error:
        case MessageIcon::Stop:
            style |= wxICON_ERROR;
            break;
        case MessageIcon::Warning:
            style |= wxICON_EXCLAMATION;
            break;
        case MessageIcon::Information:
            style |= wxICON_INFORMATION;
            break;
        case MessageIcon::None:
            break;
        }
        wxString title = wxString::FromUTF8(caption.empty() ? res::LoadString(res::IDS_APP_TITLE) : caption);
        wxMessageBox(wxString::FromUTF8(text), title, style, nullptr);
    }
};

MessageBoxPrompt g_messageBoxPrompt;
std::vector<std::string> g_arguments;

constexpr int kSplashMilliseconds = 1500;

} // namespace

wxBEGIN_EVENT_TABLE(CTarnwickApp, wxApp)
    EVT_MENU(ToWxId(res::ID_OPEN_CONNECTION), CTarnwickApp::OnOpenConnectionCommand)
    EVT_MENU(ToWxId(res::ID_CLOSE_CONNECTION), CTarnwickApp::OnCloseConnectionCommand)
    EVT_UPDATE_UI(ToWxId(res::ID_OPEN_CONNECTION), CTarnwickApp::OnUpdateOpenConnectionCommand)
    EVT_UPDATE_UI(ToWxId(res::ID_CLOSE_CONNECTION), CTarnwickApp::OnUpdateCloseConnectionCommand)
wxEND_EVENT_TABLE()

bool CTarnwickApp::OnInit()
{
    SetPrompt(&g_messageBoxPrompt);
    SetAppDisplayName(wxString::FromUTF8(res::LoadString(res::IDS_APP_TITLE)));
    wxXmlResource::Get()->InitAllHandlers();
    InitTarnwickXmlResource();
    SetShell(this);

    {
        CFileProfileStore store;
        LoadSettings(store);
    }
    ShowSplash();

    m_mainFrame = new CMainFrame();
    SetTopWindow(m_mainFrame);

    m_cmdInfo.m_nShellCommand = CCommandLineInfo::FileNothing;
    // wx's copy of argv holds the wiped password; main kept the arguments as given.
    ParseCommandLine(m_cmdInfo, g_arguments);

    m_mainFrame->Show();
    m_mainFrame->Update();

    return ConnectAtStartup();
}

int CTarnwickApp::OnExit()
{
    CFileProfileStore store;
    SaveSettings(store);
    if (!store.Flush())
        Prompt().Message("Не удалось сохранить настройки: " + SettingsFilePath().string(), {},
                         MessageIcon::Warning);
    ReleaseConnection();
    SetPrompt(nullptr);
    return wxApp::OnExit();
}

void CTarnwickApp::ShowSplash()
{
    wxBitmap bitmap(360, 200);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(40, 70, 120)));
        dc.Clear();
        dc.SetTextForeground(*wxWHITE);
        wxFont font = dc.GetFont();
        font.SetPointSize(20);
        font.SetWeight(wxFONTWEIGHT_BOLD);
        dc.SetFont(font);
        wxString title = "Kelm Tarnwick";
        wxSize extent = dc.GetTextExtent(title);
        dc.DrawText(title, (360 - extent.x) / 2, (200 - extent.y) / 2);
    }
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
        m_mainFrame->SetTreeClass(treeClass);
}

void CTarnwickApp::RemoveNavigationTree()
{
    if (m_mainFrame)
        m_mainFrame->ClearTree();
}

void CTarnwickApp::CloseChildWindows()
{
    // Chart windows arrive with the workbook frame; the plain frame has none.
}

void CTarnwickApp::OnOpenConnectionCommand(wxCommandEvent&) { OnOpenConnection(); }

void CTarnwickApp::OnCloseConnectionCommand(wxCommandEvent&) { OnCloseConnection(); }

void CTarnwickApp::OnUpdateOpenConnectionCommand(wxUpdateUIEvent& event) { event.Enable(OnUpdateOpenConnection()); }

void CTarnwickApp::OnUpdateCloseConnectionCommand(wxUpdateUIEvent& event)
{
    event.Enable(OnUpdateCloseConnection());
}

} // namespace tarnwick

wxIMPLEMENT_APP_NO_MAIN(tarnwick::CTarnwickApp);

int main(int argc, char** argv)
{
    tarnwick::g_arguments = tarnwick::TakeCommandLine(argc, argv);
    return wxEntry(argc, argv);
}
