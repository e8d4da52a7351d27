#include "mainframe.h"

#include "afx/cmdid.h"
#include "resources/tarnwick/strings.h"

#include <wx/menu.h>

using namespace tarnwick;

CMainFrame::CMainFrame()
    : wxFrame(nullptr, res::IDR_MAINFRAME, wxString::FromUTF8(res::LoadString(res::IDS_APP_TITLE)),
              wxDefaultPosition, wxSize(900, 650))
{
    auto* file = new wxMenu;
    file->Append(ToWxId(res::ID_OPEN_CONNECTION), wxString::FromUTF8(res::LoadString(res::ID_OPEN_CONNECTION)));
    file->Append(ToWxId(res::ID_CLOSE_CONNECTION), wxString::FromUTF8(res::LoadString(res::ID_CLOSE_CONNECTION)));
    file->AppendSeparator();
    file->Append(wxID_EXIT, wxString::FromUTF8("Выход"));
    auto* bar = new wxMenuBar;
    bar->Append(file, wxString::FromUTF8("&Файл"));
    SetMenuBar(bar);
    CreateStatusBar();
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_EXIT);
}

void CMainFrame::SetTreeClass(TreeClass) { m_hasTree = true; }

void CMainFrame::ClearTree() { m_hasTree = false; }
