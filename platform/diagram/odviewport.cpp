#include "diagram/odviewport.h"

#include "diagram/odcontroller.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/window.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMaxImagePixels = 256.0 * 1024 * 1024;

std::int32_t roundTo(double v)
{
    return static_cast<std::int32_t>(std::lround(std::clamp(v, -2e9, 2e9)));
}

} // namespace

// ---------------------------------------------------------------- geometry

CSize MvcViewport::GetLogSize() const
{
    return {roundTo(m_rcBounds.Width() / m_dScale), roundTo(m_rcBounds.Height() / m_dScale)};
}

void MvcViewport::SetLogSize(std::int32_t cx, std::int32_t cy)
{
    if (cx > 0 && m_rcBounds.Width() > 0)
        m_dScale = double(m_rcBounds.Width()) / cx;
    (void)cy;
}

CPoint MvcViewport::LogToDev(const CPoint& p) const
{
    return {m_rcBounds.left + roundTo((p.x - m_ptLogOrigin.x) * m_dScale),
            m_rcBounds.top + roundTo((p.y - m_ptLogOrigin.y) * m_dScale)};
}

CPoint MvcViewport::DevToLog(const CPoint& p) const
{
    return {m_ptLogOrigin.x + roundTo((p.x - m_rcBounds.left) / m_dScale),
            m_ptLogOrigin.y + roundTo((p.y - m_rcBounds.top) / m_dScale)};
}

CRect MvcViewport::LogToDev(const CRect& r) const
{
    CPoint a = LogToDev(r.TopLeft()), b = LogToDev(r.BottomRight());
    return {a.x, a.y, b.x, b.y};
}

// ---------------------------------------------------------------- viewport

CODViewport::CODViewport()
{
    // Fixed count and order: the defaults file checks only the count.
    m_defaults.Set(CODFontProperty("Arial CYR", 8));
    m_defaults.Set(CODEditProperty());
    m_defaults.Set(CODIntProperty(OD_PROP_LINE, 0));
    m_defaults.Set(CODIntProperty(OD_PROP_FILL, 0xFFFFFF));
    m_defaults.Set(CODIntProperty(OD_PROP_LINECOLOR, 0x000000));
}

CODViewport::~CODViewport()
{
    // A window that outlives its viewport must not call back into it.
    if (m_pWnd)
        m_pWnd->Unbind(wxEVT_DESTROY, &CODViewport::OnWndDestroy, this);
    if (m_pModel)
        m_pModel->RemoveObserver(this);
    if (m_bOwnsController)
        delete m_pController;
}

bool CODViewport::Create(wxWindow* parent)
{
    if (!parent)
        return false;
    if (m_pWnd)
        m_pWnd->Unbind(wxEVT_DESTROY, &CODViewport::OnWndDestroy, this);
    m_pWnd = parent;
    parent->Bind(wxEVT_DESTROY, &CODViewport::OnWndDestroy, this);
    const wxSize s = parent->GetClientSize();
    SetSize(s.x, s.y);
    return true;
}

void CODViewport::OnWndDestroy(wxWindowDestroyEvent& e)
{
    if (e.GetEventObject() == m_pWnd)
        m_pWnd = nullptr;
    e.Skip();
}

void CODViewport::SetModel(CODModel* model)
{
    if (m_pModel == model)
        return;
    if (m_pModel)
        m_pModel->RemoveObserver(this);
    m_pModel = model;
    if (m_pModel)
        m_pModel->AddObserver(this);
}

void CODViewport::OnUpdate(void*, std::intptr_t hint, void* data)
{
    CRect area = GetVirtualBounds();
    if (hint == OD_UPDATE_COMPONENT && data)
        area = static_cast<CODComponent*>(data)->GetBounds();
    else if (hint == OD_UPDATE_RECT && data)
        area = *static_cast<CRect*>(data);
    const std::int32_t h = roundTo(GetHandleSize().m_dValue);
    area.InflateRect(h, h);
    InvalidateRect(area, true, false);
}

bool CODViewport::CreateController()
{
    SetController(new CODController(this), true);
    return true;
}

void CODViewport::SetController(CODController* controller, bool owned)
{
    if (m_bOwnsController && m_pController != controller)
        delete m_pController;
    m_pController = controller;
    m_bOwnsController = owned;
}

CODController* CODViewport::GetController()
{
    if (!m_pController)
        CreateController();
    return m_pController;
}

void CODViewport::OnInitialUpdate()
{
    GetController();
    Redraw();
}

int CODViewport::OnSize(unsigned, std::int32_t cx, std::int32_t cy)
{
    SetSize(cx, cy);
    return 0;
}

void CODViewport::OnPrepareDC(wxDC& dc, int)
{
    dc.SetDeviceOrigin(m_rcBounds.left, m_rcBounds.top);
    dc.SetUserScale(m_dScale, m_dScale);
    dc.SetLogicalOrigin(m_ptLogOrigin.x, m_ptLogOrigin.y);
}

void CODViewport::Draw(wxDC& dc)
{
    CRect area = GetLogBounds();
    if (m_pWnd && !m_bPrinting) {
        const wxRect box = m_pWnd->GetUpdateRegion().GetBox();
        if (!box.IsEmpty()) {
            const CPoint a = DevToLog(CPoint(box.GetLeft(), box.GetTop()));
            const CPoint b = DevToLog(CPoint(box.GetRight() + 1, box.GetBottom() + 1));
            area.IntersectRect(area, CRect(a.x, a.y, b.x + 1, b.y + 1));
        }
    }
    wxRect clip;
    if (dc.GetClippingBox(clip))
        area.IntersectRect(area, CRect(clip.GetLeft(), clip.GetTop(), clip.GetRight() + 1, clip.GetBottom() + 1));
    if (area.IsRectEmpty())
        return;
    EraseBackground(dc, area);
    DrawComponents(dc, area);
    if (!m_bPrinting)
        DrawSelection(dc);
}

void CODViewport::DrawAll(wxDC& dc)
{
    wxRect clip;
    if (dc.GetClippingBox(clip))
        DrawComponents(dc, CRect(clip.GetLeft(), clip.GetTop(), clip.GetRight() + 1, clip.GetBottom() + 1));
    else
        DrawComponents(dc, GetVirtualBounds());
}

void CODViewport::DrawComponents(wxDC& dc, const CRect& logArea)
{
    if (!m_pModel)
        return;
    std::vector<CODComponent*> found;
    m_pModel->ComponentsIn(logArea, found);
    for (CODComponent* c : found)
        c->OnDraw(dc);
}

void CODViewport::SetLogOrigin(std::int32_t x, std::int32_t y)
{
    if (CPoint(x, y) == GetLogOrigin())
        return;
    MvcViewport::SetLogOrigin(x, y);
    InvalidateRect(GetLogBounds(), false, false);
}

void CODViewport::SetScale(double scale)
{
    const double before = GetScale();
    MvcViewport::SetScale(scale);
    if (GetScale() != before)
        InvalidateRect(GetLogBounds(), true, false);
}

void CODViewport::DrawSelection(wxDC& dc)
{
    if (!m_pController)
        return;
    // What the mouse is doing: the link being drawn, the rubber band, the
    // outline of a component being placed.
    dc.SetPen(wxPen(*wxBLACK, 1, wxPENSTYLE_DOT));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    const CPoint press = m_pController->GetPressPoint(), at = m_pController->GetPointerPoint();
    switch (m_pController->GetState()) {
    case OD_STATE_LINK_DRAG: {
        std::vector<wxPoint> pts;
        for (const CPoint& p : m_pController->GetVertexList())
            pts.emplace_back(p.x, p.y);
        if (pts.size() >= 2)
            dc.DrawLines(static_cast<int>(pts.size()), pts.data());
        break;
    }
    case OD_STATE_RUBBER:
        dc.DrawRectangle(std::min(press.x, at.x), std::min(press.y, at.y), std::abs(at.x - press.x) + 1,
                         std::abs(at.y - press.y) + 1);
        break;
    case OD_STATE_INSERT:
        if (CODComponent* c = m_pController->GetInsertComponent()) {
            const CSize s = c->GetSize();
            dc.DrawRectangle(at.x, at.y, s.cx, s.cy);
        }
        break;
    case OD_STATE_DRAG:
        for (CODComponent* c : m_pController->GetSelection()) {
            CRect r = c->GetBounds();
            r.OffsetRect(at.x - press.x, at.y - press.y);
            dc.DrawRectangle(r.left, r.top, r.Width(), r.Height());
        }
        break;
    default:
        break;
    }
    const std::int32_t h = std::max<std::int32_t>(1, roundTo(GetHandleSize().m_dValue / m_dScale));
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(*wxBLACK_BRUSH);
    for (CODComponent* c : m_pController->GetSelection()) {
        const CRect r = c->GetBounds();
        for (const CPoint& p : {r.TopLeft(), CPoint(r.right, r.top), r.BottomRight(), CPoint(r.left, r.bottom)})
            dc.DrawRectangle(p.x - h / 2, p.y - h / 2, h, h);
    }
}

void CODViewport::OnPrint(wxDC& dc, void*)
{
    m_bPrinting = true;
    const CRect area = GetVirtualBounds();
    dc.SetLogicalOrigin(area.left, area.top);
    DrawComponents(dc, area);
}

bool CODViewport::OnCmdMsg(wxEvent& event)
{
    CODController* c = GetController();
    return c && c->ProcessEvent(event);
}

bool CODViewport::OnWndMsg(wxEvent& event)
{
    CODController* ctl = GetController();
    if (!ctl)
        return false;
    if (event.GetEventType() == wxEVT_MOUSE_CAPTURE_LOST) {
        ctl->OnCancelMode();
        return true;
    }
    if (auto* m = dynamic_cast<wxMouseEvent*>(&event)) {
        std::uint32_t flags = 0;
        if (m->LeftIsDown())
            flags |= OD_MK_LBUTTON;
        if (m->RightIsDown())
            flags |= OD_MK_RBUTTON;
        if (m->ShiftDown())
            flags |= OD_MK_SHIFT;
        if (m->ControlDown())
            flags |= OD_MK_CONTROL;
        const CPoint pt = DevToLog(CPoint(m->GetX(), m->GetY()));
        const wxEventType t = m->GetEventType();
        if (t == wxEVT_LEFT_DOWN)
            ctl->OnLButtonDown(flags, pt);
        else if (t == wxEVT_LEFT_UP)
            ctl->OnLButtonUp(flags, pt);
        else if (t == wxEVT_MOTION)
            ctl->OnMouseMove(flags, pt);
        else if (t == wxEVT_LEFT_DCLICK)
            ctl->OnLButtonDblClk(flags, pt);
        else if (t == wxEVT_RIGHT_UP)
            ctl->OnRButtonUp(flags, pt);
        else
            return false;
        return true;
    }
    if (auto* k = dynamic_cast<wxKeyEvent*>(&event)) {
        if (k->GetEventType() != wxEVT_KEY_DOWN)
            return false;
        std::uint32_t flags = 0;
        if (k->ControlDown())
            flags |= OD_MK_CONTROL;
        if (k->ShiftDown())
            flags |= OD_MK_SHIFT;
        return ctl->OnKeyDown(k->GetKeyCode(), flags);
    }
    if (event.GetEventType() == wxEVT_KILL_FOCUS) {
        ctl->OnCancelMode();
        return false;
    }
    return false;
}

void CODViewport::InvalidateRect(const CRect& logRect, bool erase, bool updateNow)
{
    CRect visible = logRect;
    visible.NormalizeRect();
    ClampRect(visible);
    CRect dev = LogToDev(visible);
    dev.NormalizeRect();
    m_rcDirty.UnionRect(m_rcDirty, dev);
    if (!m_pWnd || dev.IsRectEmpty())
        return;
    wxRect r(dev.left, dev.top, dev.Width(), dev.Height());
    m_pWnd->RefreshRect(r, erase);
    if (updateNow)
        m_pWnd->Update();
}

bool CODViewport::GetUpdateRect(CRect& rect, bool)
{
    rect = m_rcDirty;
    return !rect.IsRectEmpty();
}

void CODViewport::EraseBackground(wxDC& dc, const CRect& rect)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(rect.left, rect.top, rect.Width() + 1, rect.Height() + 1);
}

void CODViewport::ClampRect(CRect& rect) const
{
    const CRect visible = GetLogBounds();
    rect.left = std::max(rect.left, visible.left);
    rect.top = std::max(rect.top, visible.top);
    rect.right = std::min(rect.right, visible.right);
    rect.bottom = std::min(rect.bottom, visible.bottom);
}

CRect CODViewport::GetVirtualBounds() const
{
    CRect r(0, 0, 1, 1);
    if (m_pModel) {
        const CSize s = m_pModel->GetSize();
        r = CRect(0, 0, std::max(1, s.cx), std::max(1, s.cy));
        r.UnionRect(r, m_pModel->GetComponentBounds());
    }
    return r;
}

CPoint CODViewport::GetRotationPivot() const
{
    return GetLogBounds().CenterPoint();
}

std::unique_ptr<wxDC> CODViewport::CreatePreparedDC()
{
    if (!m_pWnd)
        return nullptr;
    auto dc = std::make_unique<wxClientDC>(m_pWnd);
    OnPrepareDC(*dc, 0);
    return dc;
}

bool CODViewport::DrawToImage(wxImage& image, int)
{
    const CRect area = GetVirtualBounds();
    const int w = std::max(1, roundTo(area.Width() * m_dScale) + 1);
    const int h = std::max(1, roundTo(area.Height() * m_dScale) + 1);
    // A picture too big to hold in memory is a failure, not an attempt.
    if (double(w) * h > kMaxImagePixels)
        return false;
    wxBitmap bmp(w, h, 24);
    if (!bmp.IsOk())
        return false;
    {
        wxMemoryDC dc(bmp);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetUserScale(m_dScale, m_dScale);
        dc.SetLogicalOrigin(area.left, area.top);
        DrawComponents(dc, area);
        dc.SelectObject(wxNullBitmap);
    }
    image = bmp.ConvertToImage();
    return image.IsOk();
}

// ---------------------------------------------------------------- image

bool CODImage::Create(CODViewport& viewport)
{
    auto img = std::make_shared<wxImage>();
    if (!viewport.DrawToImage(*img, 0))
        return false;
    m_image = img;
    return true;
}

bool CODImage::Save(const std::string& path, wxBitmapType type) const
{
    if (!m_image || !m_image->IsOk())
        return false;
    if (type == wxBITMAP_TYPE_JPEG && !wxImage::FindHandler(wxBITMAP_TYPE_JPEG))
        wxImage::AddHandler(new wxJPEGHandler);
    if (type == wxBITMAP_TYPE_PNG && !wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxLogNull quiet;
    return m_image->SaveFile(wxString::FromUTF8(path), type);
}
