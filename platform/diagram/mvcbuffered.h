// A viewport that draws through an off-screen bitmap: the chart is drawn
// into a memory context, and a paint only copies pixels from it. The bitmap
// is made 100 pixels larger than the viewport each way and rebuilt only when
// the viewport outgrows it. Printing and pictures never go through it.
#pragma once

#include "diagram/odviewport.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/palette.h>
#include <wx/settings.h>
#include <wx/window.h>

#include <algorithm>

template <class V>
class MvcBufferedWrapper_T : public V {
public:
    MvcBufferedWrapper_T() = default;
    ~MvcBufferedWrapper_T() override
    {
        delete m_pPalette;
        m_pPalette = nullptr;
        DestroyBuffer();
    }

    void OnInitialUpdate() override
    {
        V::OnInitialUpdate();
        CreateBuffer();
        UpdateBuffer();
    }

    int OnSize(unsigned type, std::int32_t cx, std::int32_t cy) override
    {
        // The bitmap is brought up to date once, below, however often the
        // size handling moves the viewport.
        ++m_nSizing;
        const int result = V::OnSize(type, cx, cy);
        --m_nSizing;
        if (m_bBuffered) {
            if (!m_pMemDC || BufferTooSmall()) {
                DestroyBuffer();
                CreateBuffer();
            }
            // A new size shows parts the bitmap has never held, whatever
            // else waits to be painted: all that is visible is drawn again.
            m_rcDirty.SetRectEmpty();
            drawIntoBuffer(this->GetLogBounds());
        }
        return result;
    }

    // A viewport moved or resized in its window (the scroll bars coming or
    // going change its margins) shows parts the bitmap does not hold for
    // that place: the bitmap is drawn again and the window shows it whole.
    void SetSize(std::int32_t cx, std::int32_t cy) override
    {
        const CRect before = this->GetBounds();
        V::SetSize(cx, cy);
        if (this->GetBounds() != before)
            boundsChanged();
    }

    void SetOrigin(std::int32_t x, std::int32_t y) override
    {
        const CRect before = this->GetBounds();
        V::SetOrigin(x, y);
        if (this->GetBounds() != before)
            boundsChanged();
    }

    void Draw(wxDC& dc) override
    {
        if (!m_bBuffered || this->IsPrinting()) {
            V::Draw(dc);
            return;
        }
        CRect rect = this->GetBounds();
        const bool painting = windowUpdateBox(rect);
        PaintFromBuffer(dc, rect);
        if (painting)
            m_rcUnpainted.SetRectEmpty();
    }

    void DrawAll(wxDC& dc) override
    {
        if (this->IsPrinting())
            V::DrawAll(dc);
        else
            PaintFromBuffer(dc, this->GetBounds());
    }

    void InvalidateRect(const CRect& logRect, bool erase = true, bool updateNow = false) override
    {
        CRect r = logRect;
        r.NormalizeRect();
        r.right += 1;
        r.bottom += 1;
        m_rcDirty = this->LogToDev(r);
        m_rcDirty.NormalizeRect();
        wxWindow* wnd = this->GetWnd();
        CRect visible;
        if (wnd && visible.IntersectRect(m_rcDirty, this->GetBounds())) {
            m_rcUnpainted.UnionRect(m_rcUnpainted, visible);
            wnd->RefreshRect(wxRect(visible.left, visible.top, visible.Width(), visible.Height()), erase);
        }
        UpdateBuffer();
        if (updateNow && wnd)
            wnd->Update();
    }

    // Inside a paint, the window's update area; outside it, what was
    // invalidated through the wrapper since the last paint. Either widened
    // by the rectangle invalidated last.
    bool GetUpdateRect(CRect& rect, bool erase = false) override
    {
        CRect r;
        const bool painting = windowUpdateBox(r);
        if (!painting) {
            if (m_rcUnpainted.IsRectEmpty())
                return false;
            r = m_rcUnpainted;
        }
        if (!m_rcDirty.IsRectEmpty())
            r.UnionRect(r, m_rcDirty);
        rect = r;
        return true;
    }

    void EraseBackground(wxDC& dc, const CRect& rect) override
    {
        const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(window));
        dc.DrawRectangle(rect.left, rect.top, rect.Width() + 1, rect.Height() + 1);
    }

    void OnPrepareDC(wxDC& dc, int = 0) override { V::OnPrepareDC(dc, 1); }

    void ClampRect(CRect& rect) const override
    {
        const CPoint origin = this->GetLogOrigin();
        const CSize size = this->GetLogSize();
        rect.left = std::max(rect.left, origin.x);
        rect.top = std::max(rect.top, origin.y);
        rect.right = std::min(rect.right, origin.x + size.cx);
        rect.bottom = std::min(rect.bottom, origin.y + size.cy);
    }

    CODMeasure GetGridSpacing() const override { return CODMeasure(0, 0.0625 * this->GetScale()); }
    CODMeasure GetHandleSize() const override { return CODMeasure(0, 6.0 * this->GetScale()); }
    wxColour GetGridColour() const override { return wxColour(128, 128, 128); }

    bool IsBuffered() const { return m_bBuffered; }
    void SetBuffered(bool on)
    {
        m_bBuffered = on;
        if (!on)
            DestroyBuffer();
    }

protected:
    bool CreateBuffer()
    {
        if (!m_bBuffered || m_pMemDC || m_pBitmap)
            return false;
        const CRect bounds = this->GetBounds();
        wxWindow* wnd = this->GetWnd();
        if (bounds.Width() <= 0 || bounds.Height() <= 0 || !wnd)
            return false;
        wxClientDC windowDC(wnd);
        const wxSize size(bounds.Width() + m_nMargin, bounds.Height() + m_nMargin);
        m_pBitmap = new wxBitmap;
        if (!m_pBitmap->Create(size.x, size.y, windowDC)) {
            delete m_pBitmap;
            m_pBitmap = nullptr;
            return false;
        }
        m_szBitmap = size;
        m_pMemDC = new wxMemoryDC(&windowDC);
        m_pMemDC->SelectObject(*m_pBitmap);
        if (m_pPalette)
            m_pMemDC->SetPalette(*m_pPalette);
        if (!m_pMemDC->IsOk()) {
            DestroyBuffer();
            return false;
        }
        return true;
    }

    bool BufferTooSmall() const
    {
        if (!m_pBitmap || !this->GetWnd())
            return false;
        const CRect bounds = this->GetBounds();
        return m_szBitmap.x < bounds.Width() || m_szBitmap.y < bounds.Height();
    }

    void DestroyBuffer()
    {
        if (m_pMemDC)
            m_pMemDC->SelectObject(wxNullBitmap);
        delete m_pBitmap;
        m_pBitmap = nullptr;
        delete m_pMemDC;
        m_pMemDC = nullptr;
    }

    // Redraws the invalidated part of the bitmap, or all that is visible.
    void UpdateBuffer()
    {
        if (!m_bBuffered || !m_pMemDC)
            return;
        CRect area = this->GetLogBounds();
        // What was invalidated before is in the bitmap already: only the
        // latest rectangle is drawn again (the whole update area each time
        // would make a run of small updates cost the square of their number).
        CRect dev = m_rcDirty;
        if (!dev.IsRectEmpty() || GetUpdateRect(dev)) {
            const CPoint a = this->DevToLog(dev.TopLeft());
            const CPoint b = this->DevToLog(dev.BottomRight());
            CRect update(a.x, a.y, b.x + 1, b.y + 1);
            if (!area.IntersectRect(area, update))
                area.SetRectEmpty();
        }
        drawIntoBuffer(area);
    }

    // Copies the bitmap to the window's context within a device rectangle.
    void PaintFromBuffer(wxDC& dc, const CRect& rect)
    {
        const CRect bounds = this->GetBounds();
        CRect r;
        if (!r.IntersectRect(rect, bounds))
            return;
        if (!m_bBuffered || !m_pMemDC) {
            V::Draw(dc);
            return;
        }
        const wxPoint deviceOrigin = dc.GetDeviceOrigin();
        const wxPoint logicalOrigin = dc.GetLogicalOrigin();
        double sx = 1, sy = 1;
        dc.GetUserScale(&sx, &sy);
        dc.SetDeviceOrigin(0, 0);
        dc.SetLogicalOrigin(0, 0);
        dc.SetUserScale(1, 1);
        m_pMemDC->SetDeviceOrigin(0, 0);
        m_pMemDC->SetLogicalOrigin(0, 0);
        m_pMemDC->SetUserScale(1, 1);
        dc.Blit(r.left, r.top, r.Width(), r.Height(), m_pMemDC, r.left - bounds.left, r.top - bounds.top, wxCOPY);
        dc.SetUserScale(sx, sy);
        dc.SetLogicalOrigin(logicalOrigin.x, logicalOrigin.y);
        dc.SetDeviceOrigin(deviceOrigin.x, deviceOrigin.y);
    }

    bool m_bBuffered = true;
    wxMemoryDC* m_pMemDC = nullptr;
    wxBitmap* m_pBitmap = nullptr;
    wxPalette* m_pPalette = nullptr; // never set on GTK; kept for callers that set one
    std::int32_t m_nMargin = 100;
    CRect m_rcDirty;
    wxSize m_szBitmap;   // the size the bitmap was made with
    CRect m_rcUnpainted; // invalidated through the wrapper since the last paint
    int m_nSizing = 0;   // inside OnSize

private:
    void boundsChanged()
    {
        wxWindow* wnd = this->GetWnd();
        // Before the first size handling there is no bitmap to keep up.
        if (m_nSizing || !m_bBuffered || !m_pMemDC || !wnd)
            return;
        if (BufferTooSmall()) {
            DestroyBuffer();
            CreateBuffer();
        }
        m_rcDirty.SetRectEmpty();
        drawIntoBuffer(this->GetLogBounds());
        const CRect b = this->GetBounds();
        if (b.Width() > 0 && b.Height() > 0) {
            m_rcUnpainted.UnionRect(m_rcUnpainted, b);
            wnd->RefreshRect(wxRect(b.left, b.top, b.Width(), b.Height()), false);
        }
    }

    // Draws a logical rectangle of the chart into the bitmap.
    void drawIntoBuffer(const CRect& area)
    {
        if (!m_bBuffered || !m_pMemDC)
            return;
        wxMemoryDC& dc = *m_pMemDC;
        V::OnPrepareDC(dc, 1);
        // The bitmap's top left is the viewport's, wherever the viewport
        // stands in its window.
        dc.SetDeviceOrigin(0, 0);
        if (!area.IsRectEmpty()) {
            // The library's drawing erases and draws only within the clip.
            dc.SetClippingRegion(area.left, area.top, area.Width(), area.Height());
            V::Draw(dc);
            dc.DestroyClippingRegion();
        }
        dc.SetUserScale(1, 1);
        dc.SetLogicalOrigin(0, 0);
        m_rcDirty.SetRectEmpty();
    }

    // The window's update area while it paints, in device units.
    bool windowUpdateBox(CRect& rect) const
    {
        wxWindow* wnd = this->GetWnd();
        if (!wnd)
            return false;
        const wxRect box = wnd->GetUpdateRegion().GetBox();
        if (box.IsEmpty())
            return false;
        rect = CRect(box.GetLeft(), box.GetTop(), box.GetRight() + 1, box.GetBottom() + 1);
        return true;
    }
};
