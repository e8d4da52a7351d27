#include "installer/ui/mainframe.h"

#include "afx/ui/uilanguage.h"
#include "installer/core/installdata.h"
#include "installer/prompt/wxprompt.h"
#include "installer/ui/mainsheet.h"
#include "resources/dorvik/dorvikstrings.h"
#include "winapi/settings/ini.h"

#include <wx/dcbuffer.h>
#include <wx/fontenum.h>
#include <wx/icon.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

namespace dorvik {

namespace {

wxFont titleFont()
{
    for (const char* face : {"Times New Roman", "Liberation Serif"})
        if (wxFontEnumerator::IsValidFacename(face))
            return wxFont(wxFontInfo(24).Bold().FaceName(face).Encoding(wxFONTENCODING_UTF8));
    return wxFont(wxFontInfo(24).Bold().Family(wxFONTFAMILY_ROMAN));
}

} // namespace

CMainFrame::CMainFrame(CMainRun& run)
    : wxFrame(nullptr, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE),
      m_run(run), m_owner(std::make_shared<winapi::PromptOwner>(this)), m_waiting(run.Context()), m_font(titleFont()),
      m_language(run.Context().Language())
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxBitmap icon = wxXmlResource::Get()->LoadBitmap("IDR_MAINFRAME");
    if (icon.IsOk()) {
        wxIcon i;
        i.CopyFromBitmap(icon);
        SetIcon(i);
    }
    m_logo = wxXmlResource::Get()->LoadBitmap("IDB_LOGO");
    m_progress = new CDlgProgress(this, m_run.Context());
    ReadTexts();
    Bind(wxEVT_PAINT, &CMainFrame::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        Refresh(false);
        e.Skip();
    });
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
}

CMainFrame::~CMainFrame() { m_owner->Detach(); }

void CMainFrame::ReadTexts()
{
    const std::string& ini = m_run.GetIniPath();
    m_text1R = ReadIniString("MAINWINDOW", "Text1R", "", ini);
    m_text1E = ReadIniString("MAINWINDOW", "Text1E", "", ini);
    m_text2R = ReadIniString("MAINWINDOW", "Text2R", "", ini);
    m_text2E = ReadIniString("MAINWINDOW", "Text2E", "", ini);
    m_bDrawLogo = static_cast<int>(winapi::GetPrivateProfileInt("MAINWINDOW", "DrawLogo", 1, ini)) > 0;
}

void CMainFrame::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    wxSize client = GetClientSize();
    auto bands = BackgroundBands(client.y);
    wxColour last(0, 103, 178);
    for (const auto& band : bands) {
        last = wxColour(band.red, band.green, band.blue);
        dc.SetBrush(wxBrush(last));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawRectangle(0, band.top, client.x, band.height);
    }
    // Below the last whole band, the last colour.
    int covered = bands.empty() ? 0 : bands.back().top + bands.back().height;
    dc.SetBrush(wxBrush(last));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(0, covered, client.x, client.y - covered);

    bool russian = m_language == 1;
    wxString text1 = wxString::FromUTF8(russian ? m_text1R : m_text1E);
    wxString text2 = wxString::FromUTF8(russian ? m_text2R : m_text2E);
    dc.SetFont(m_font);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    int height1 = text1.empty() ? dc.GetCharHeight() : dc.GetTextExtent(text1).y;
    auto drawShadowed = [&](const wxString& text, int x, int y) {
        dc.SetTextForeground(*wxBLACK);
        dc.DrawText(text, x + 3, y + 3);
        dc.SetTextForeground(*wxWHITE);
        dc.DrawText(text, x, y);
    };
    drawShadowed(text1, 20, 20);
    drawShadowed(text2, 20, 20 + height1 + 21);
    if (m_bDrawLogo && m_logo.IsOk())
        dc.DrawBitmap(m_logo, 20, client.y - m_logo.GetHeight() - 30, true);
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    // The worker still uses the install data and the dialogs.
    if (m_run.IsInstalling() && event.CanVeto()) {
        event.Veto();
        return;
    }
    Destroy();
}

void CMainFrame::BringToFront()
{
    if (IsIconized())
        Iconize(false);
    Show();
    Raise();
    // What the user has to answer stays over the frame: the wizard, the
    // progress dialog and a box over them, the innermost last.
    for (wxDialog* dialog : m_modal.Dialogs())
        dialog->Raise();
    RequestUserAttention();
}

void CMainFrame::LanguageChanged()
{
    // The toolkit's words of every box and dialog from now on.
    m_language = m_run.Context().Language();
    afx::SetUiLanguage(m_language == 1 ? winapi::UiLanguage::Russian : winapi::UiLanguage::English);
    SetTitle(wxString::FromUTF8(m_run.Context().Text(res::IDS_WINDOW_TITLE)));
    Refresh(false);
    Update();
}

void CMainFrame::ShowWaiting(const std::string& text) { m_waiting.Show(this, text); }

void CMainFrame::HideWaiting() { m_waiting.Close(); }

bool CMainFrame::ShowProgress(CProgressState& progress) { return m_progress->RunModal(progress); }

void CMainFrame::WaitFor(const CManualEvent& done)
{
    wxBusyCursor busy;
    WaitDispatchingEvents(done);
}

std::optional<int> CMainFrame::RunWizard(CInstallData&) { return RunMainSheet(this, m_run); }

void CMainFrame::ShowLog(const std::string& path)
{
    CDlgLog dialog(this, path);
    dialog.ShowModal();
}

void SetMainRunStatus(int status);

void CMainFrame::StartMainRun()
{
    m_status = m_run.Run();
    SetMainRunStatus(m_status);
    m_owner->Detach();
    Destroy();
}

} // namespace dorvik
