#include "start/startwnd.h"

#include "afx/cmdid.h"
#include "afx/ui/messagebox.h"
#include "winapi/errors.h"
#include "winapi/folders.h"
#include "winapi/shell.h"
#include "winapi/text.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/iconbndl.h>
#include <wx/log.h>
#include <wx/region.h>
#include <wx/settings.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace start {

namespace {

wxColour ColourOf(unsigned long c)
{
    return wxColour(static_cast<unsigned char>(RedOf(static_cast<COLORREF>(c))),
                    static_cast<unsigned char>(GreenOf(static_cast<COLORREF>(c))),
                    static_cast<unsigned char>(BlueOf(static_cast<COLORREF>(c))));
}

// The part of `image` under `r`, clipped to the image.
wxImage SubImage(const wxImage& image, const StartRect& r)
{
    wxRect clip = wxRect(r.x, r.y, r.width, r.height).Intersect(wxRect(0, 0, image.GetWidth(), image.GetHeight()));
    if (clip.IsEmpty())
        return wxImage();
    return image.GetSubImage(clip);
}

void ApplyEffect(wxImage& image, const CButtonTemplate& t, std::uint8_t tintAlpha)
{
    if (!image.IsOk())
        return;
    std::size_t pixels = static_cast<std::size_t>(image.GetWidth()) * static_cast<std::size_t>(image.GetHeight());
    switch (EffectOf(t)) {
    case HoverEffect::Lighten:
        LightenPixels(image.GetData(), pixels);
        break;
    case HoverEffect::Tint:
        TintPixels(image.GetData(), pixels, t.m_clrLightSelection, tintAlpha);
        break;
    case HoverEffect::None:
        break;
    }
}

bool IsExistingPath(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

std::string OpenFailureText(const std::string& target, int result)
{
    std::string reason = result == winapi::SE_ERR_NOASSOC
                             ? "There is no program here that opens it (xdg-open is missing)."
                             : winapi::FormatMessage(static_cast<DWORD>(result));
    return "Cannot open \"" + target + "\".\n" + reason;
}

} // namespace

// ---------------------------------------------------------------- tool tip

CStartToolTipCtrl::CStartToolTipCtrl(wxWindow* parent) : wxPopupWindow(parent, wxBORDER_NONE)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CStartToolTipCtrl::OnPaint, this);
}

wxSize CStartToolTipCtrl::TipSize(wxDC& dc, const wxString& text)
{
    wxCoord w = 0, h = 0;
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    dc.GetMultiLineTextExtent(text, &w, &h);
    return wxSize(w + 12, h + 8);
}

void CStartToolTipCtrl::DrawTip(wxDC& dc, const wxSize& size, const wxString& text)
{
    const int w = std::max(1, size.x), h = std::max(1, size.y);
    // A 45-degree gradient: the colour follows x + y.
    wxImage gradient(w, h);
    const wxColour from = ColourOf(kGradientFrom), to = ColourOf(kGradientTo);
    const double span = std::max(1, w + h - 2);
    unsigned char* p = gradient.GetData();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double f = (x + y) / span;
            *p++ = static_cast<unsigned char>(std::lround(from.Red() + (to.Red() - from.Red()) * f));
            *p++ = static_cast<unsigned char>(std::lround(from.Green() + (to.Green() - from.Green()) * f));
            *p++ = static_cast<unsigned char>(std::lround(from.Blue() + (to.Blue() - from.Blue()) * f));
        }
    dc.DrawBitmap(wxBitmap(gradient), 0, 0);
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    dc.SetTextForeground(ColourOf(kText));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(text, 6, 4);
}

void CStartToolTipCtrl::ShowTip(const wxString& text, const wxPoint& screenPos)
{
    m_text = text;
    wxClientDC measure(this);
    SetSize(screenPos.x, screenPos.y, -1, -1);
    SetClientSize(TipSize(measure, text));
    Show();
    Refresh(false);
}

void CStartToolTipCtrl::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    DrawTip(dc, GetClientSize(), m_text);
}

// ------------------------------------------------------------------ button

bool CStartButton::CreateFromTemplate(const CButtonTemplate& t, const wxImage& background, CStartWnd* parent,
                                      int id, const std::string& iniFile)
{
    m_template = t;
    const int w = t.m_ptEnd.x - t.m_ptBegin.x, h = t.m_ptEnd.y - t.m_ptBegin.y;
    if (w <= 0 || h <= 0)
        return false;
    wxImage face = SubImage(background, {t.m_ptBegin.x, t.m_ptBegin.y, w, h});
    if (face.IsOk() && face.GetWidth() == w && face.GetHeight() == h) {
        m_bmpFace = wxBitmap(face);
        wxImage hover = face.Copy();
        ApplyEffect(hover, t, kButtonTintAlpha);
        m_bmpHoverFace = wxBitmap(hover);
    }
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!Create(parent, id, wxPoint(t.m_ptBegin.x, t.m_ptBegin.y), wxSize(w, h), wxBORDER_NONE))
        return false;
    m_tipTimer.SetOwner(this);
    Bind(wxEVT_PAINT, &CStartButton::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &CStartButton::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CStartButton::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CStartButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CStartButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CStartButton::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CStartButton::OnCaptureLost, this);
    Bind(wxEVT_TIMER, &CStartButton::OnTipTimer, this);

    if (winapi::Utf8EqualNoCase(t.m_strCursorIco, "CursorHand")) {
        SetCursor(wxCursor(wxCURSOR_HAND));
    } else if (!t.m_strCursorIco.empty()) {
        wxLogNull quiet;
        wxCursor cursor(wxString::FromUTF8(ResolveKitPath(iniFile, t.m_strCursorIco)), wxBITMAP_TYPE_CUR);
        if (cursor.IsOk())
            SetCursor(cursor);
    }
    return true;
}

CStartWnd* CStartButton::Parent() const
{
    return static_cast<CStartWnd*>(GetParent());
}

const wxBitmap& CStartButton::CurrentFace() const
{
    if (m_bHover && !m_bPressed && m_bmpHoverFace.IsOk() && EffectOf(m_template) != HoverEffect::None)
        return m_bmpHoverFace;
    return m_bmpFace;
}

void CStartButton::SetHover(bool hover)
{
    if (hover == m_bHover)
        return;
    m_bHover = hover;
    if (hover) {
        if (!m_bPressed)
            Parent()->SetHoverButton(this);
        if (!m_template.m_strToolTip.empty())
            m_tipTimer.StartOnce(500);
    } else {
        if (Parent()->HoverButton() == this)
            Parent()->SetHoverButton(nullptr);
        m_tipTimer.Stop();
        if (auto* tip = Parent()->ToolTip(); tip && tip->IsShown())
            tip->Hide();
    }
    Refresh(false);
}

void CStartButton::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (!m_bmpFace.IsOk())
        return;
    ++m_paints;
    dc.DrawBitmap(CurrentFace(), 0, 0);
}

void CStartButton::OnEnter(wxMouseEvent& event)
{
    SetHover(true);
    event.Skip();
}

void CStartButton::OnLeave(wxMouseEvent& event)
{
    // A pressed button keeps the mouse; it is left when the button is let go.
    if (!HasCapture())
        SetHover(false);
    event.Skip();
}

void CStartButton::OnLeftDown(wxMouseEvent&)
{
    m_bPressed = true;
    if (!HasCapture())
        CaptureMouse();
    Parent()->SetHoverButton(nullptr);
    m_tipTimer.Stop();
    if (auto* tip = Parent()->ToolTip(); tip && tip->IsShown())
        tip->Hide();
    Refresh(false);
}

void CStartButton::OnLeftUp(wxMouseEvent& event)
{
    if (HasCapture())
        ReleaseMouse();
    bool clicked = m_bPressed && wxRect(GetClientSize()).Contains(event.GetPosition());
    m_bPressed = false;
    if (!wxRect(GetClientSize()).Contains(event.GetPosition()))
        SetHover(false);
    else if (m_bHover)
        Parent()->SetHoverButton(this);
    Refresh(false);
    if (clicked) {
        wxCommandEvent click(wxEVT_BUTTON, GetId());
        click.SetEventObject(this);
        GetParent()->GetEventHandler()->AddPendingEvent(click);
    }
}

void CStartButton::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_bPressed = false;
    SetHover(false);
    Refresh(false);
}

void CStartButton::OnTipTimer(wxTimerEvent&)
{
    if (!m_bHover || m_bPressed || m_template.m_strToolTip.empty())
        return;
    if (auto* tip = Parent()->ToolTip())
        tip->ShowTip(wxString::FromUTF8(m_template.m_strToolTip), wxGetMousePosition() + wxPoint(0, 20));
}

// ------------------------------------------------------------------ window

CStartWnd::CStartWnd()
{
    m_onOpenFailed = [this](const std::string& target, int result) {
        afx::MessageBox(this, OpenFailureText(target, result), GetTitle().utf8_string(),
                        winapi::MB_OK | winapi::MB_ICONERROR);
    };
}

CStartWnd::~CStartWnd() = default;

bool CStartWnd::CreateStartWnd(const CStartSettings& settings, const std::string& iniFile)
{
    m_iniFile = iniFile;
    {
        wxLogNull quiet;
        std::string picture = ResolveKitPath(iniFile, settings.m_strBitmap);
        if (picture.empty() || !m_imgBackground.LoadFile(wxString::FromUTF8(picture)) || !m_imgBackground.IsOk())
            return false;
    }
    if (m_imgBackground.HasAlpha())
        m_imgBackground.ClearAlpha();
    const int w = m_imgBackground.GetWidth(), h = m_imgBackground.GetHeight();

    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // GTK gives a window that is not resizable the size its content asks
    // for, which a window without sizers does not: the window is made
    // resizable and held at the picture's size by its size hints instead.
    if (!Create(nullptr, wxID_ANY, wxString::FromUTF8(settings.m_strCaption), wxDefaultPosition, wxSize(w, h),
                wxBORDER_NONE | wxRESIZE_BORDER | wxCLIP_CHILDREN))
        return false;
    SetSizeHints(wxSize(w, h), wxSize(w, h));
    SetClientSize(w, h);

    // The picture with the window's double frame drawn into it once.
    {
        wxBitmap composed(m_imgBackground);
        wxMemoryDC dc(composed);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW)));
        dc.DrawRectangle(0, 0, w, h);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT)));
        dc.DrawRectangle(1, 1, w - 2, h - 2);
        dc.SelectObject(wxNullBitmap);
        m_bmpBackground = composed;
        m_imgComposed = composed.ConvertToImage();
    }

    Bind(wxEVT_PAINT, &CStartWnd::OnPaint, this);
    Bind(wxEVT_CHAR_HOOK, &CStartWnd::OnCharHook, this);
    Bind(wxEVT_LEFT_DOWN, &CStartWnd::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CStartWnd::OnLeftUp, this);
    Bind(wxEVT_MOTION, &CStartWnd::OnMotion, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CStartWnd::OnCaptureLost, this);
    Bind(wxEVT_BUTTON, &CStartWnd::OnButton, this);

    Centre();
    Show();

    {
        wxLogNull quiet;
        wxIconBundle icons;
        std::string iconFile = ResolveKitPath(iniFile, settings.m_strIconApp);
        if (!iconFile.empty())
            icons = wxIconBundle(wxString::FromUTF8(iconFile), wxBITMAP_TYPE_ICO);
        if (!icons.GetIconOfExactSize(16).IsOk()) {
            icons = wxIconBundle();
            icons.AddIcon(MakeProgramIcon(16));
            icons.AddIcon(MakeProgramIcon(32));
        }
        SetIcons(icons);
    }

    for (std::size_t i = 0; i < settings.m_arrButtons.size(); ++i) {
        auto* button = new CStartButton;
        if (!button->CreateFromTemplate(settings.m_arrButtons[i], m_imgBackground, this,
                                        ToWxId(kFirstButtonId + static_cast<int>(i)), iniFile)) {
            // A button without a window still counts, as its template does.
            m_arrButtons.push_back(button);
            continue;
        }
        m_arrButtons.push_back(button);
    }
    return true;
}

CStartToolTipCtrl* CStartWnd::ToolTip()
{
    if (!m_pToolTip)
        m_pToolTip = new CStartToolTipCtrl(this);
    return m_pToolTip;
}

void CStartWnd::SetHoverButton(CStartButton* button)
{
    if (button == m_pHoverButton)
        return;
    CStartButton* old = m_pHoverButton;
    m_pHoverButton = button;
    RefreshBands(old);
    RefreshBands(button);
}

// Only the bands change on hover. They are drawn straight onto the window:
// invalidating a part of it would make GTK repaint every button as well.
void CStartWnd::RefreshBands(const CStartButton* button)
{
    if (!button || !IsShownOnScreen())
        return;
    wxRegion region;
    for (const StartRect& r : BandRects(button->GetTemplate(), GetClientSize().x))
        region.Union(r.x, r.y, r.width, r.height);
    if (region.IsEmpty())
        return;
    for (const CStartButton* b : m_arrButtons)
        if (b->GetHandle())
            region.Subtract(b->GetRect());
    if (region.IsEmpty())
        return;
    wxClientDC dc(this);
    dc.SetDeviceClippingRegion(region);
    const wxRect box = region.GetBox();
    dc.DrawBitmap(m_bmpBackground.GetSubBitmap(box), box.GetPosition());
    DrawBands(dc);
}

void CStartWnd::DrawWindow(wxDC& dc)
{
    dc.DrawBitmap(m_bmpBackground, 0, 0);
    DrawBands(dc);
}

void CStartWnd::DrawBands(wxDC& dc)
{
    CStartButton* hover = m_pHoverButton;
    if (!hover || !hover->GetHandle())
        return;
    for (const StartRect& r : BandRects(hover->GetTemplate(), GetClientSize().x)) {
        wxImage band = SubImage(m_imgComposed, r);
        if (!band.IsOk())
            continue;
        ApplyEffect(band, hover->GetTemplate(), kBandTintAlpha);
        dc.DrawBitmap(wxBitmap(band), r.x, r.y);
    }
}

void CStartWnd::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    DrawWindow(dc);
}

void CStartWnd::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE) {
        Close(true);
        return;
    }
    event.Skip();
}

void CStartWnd::OnLeftDown(wxMouseEvent& event)
{
    m_bDragging = true;
    m_dragOffset = ClientToScreen(event.GetPosition()) - GetPosition();
    if (!HasCapture())
        CaptureMouse();
}

void CStartWnd::OnMotion(wxMouseEvent& event)
{
    if (m_bDragging && event.LeftIsDown())
        Move(ClientToScreen(event.GetPosition()) - m_dragOffset);
}

void CStartWnd::OnLeftUp(wxMouseEvent&)
{
    m_bDragging = false;
    if (HasCapture())
        ReleaseMouse();
}

void CStartWnd::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_bDragging = false;
}

void CStartWnd::OnButton(wxCommandEvent& event)
{
    ExecuteButton(FromWxId(event.GetId()));
}

void CStartWnd::ExecuteButton(int id)
{
    auto it = std::find_if(m_arrButtons.begin(), m_arrButtons.end(),
                           [id](const CStartButton* b) { return b->GetHandle() && FromWxId(b->GetId()) == id; });
    if (it == m_arrButtons.end())
        return;
    const CButtonTemplate& t = (*it)->GetTemplate();
    switch (t.m_nType) {
    case ButtonCommand:
        RunCommand(t.m_strCommandText, t.m_strParamText);
        break;
    case ButtonUrl:
        OpenUrl(t.m_strCommandText);
        break;
    case ButtonClose:
        Close(true);
        break;
    default:
        break;
    }
}

void CStartWnd::RunCommand(const std::string& file, const std::string& parameters)
{
    if (file.empty())
        return;
    std::string target = file;
    if (!winapi::IsUrl(file)) {
        // Beside Start.ini first; a bare name found nowhere there goes to PATH.
        std::string beside = ResolveKitPath(m_iniFile, file);
        bool bare = winapi::FromKitPath(file).find('/') == std::string::npos;
        if (!bare || IsExistingPath(beside))
            target = beside;
    }
    int result = winapi::ShellOpen(target, parameters);
    if (result <= 32 && m_onOpenFailed)
        m_onOpenFailed(target, result);
}

void CStartWnd::OpenUrl(const std::string& url)
{
    if (!url.empty())
        winapi::OpenUrl(url);
}

wxIcon MakeProgramIcon(int size)
{
    wxBitmap bitmap(size, size, 32);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(37, 92, 222)));
        dc.Clear();
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(*wxWHITE_BRUSH);
        const int m = size / 4;
        wxPoint play[] = {{m, m}, {size - m, size / 2}, {m, size - m}};
        dc.DrawPolygon(3, play);
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    return icon;
}

} // namespace start
