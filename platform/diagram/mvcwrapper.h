// Wrappers around a viewport class V: MvcWrapper_T keeps margins between
// the holding window and the viewport; MvcScrollWrapper_T puts a horizontal
// and a vertical scroll bar (and a size box between them) into the right and
// bottom margins and keeps them in step with the viewport. The arithmetic is
// in mvcscroll.h; here it is only shown on wx scroll bars.
//
// The holding window hands the wrapper its events through OnWndMsg: the
// scroll events of its child bars (wxScrollEvent), the wheel and the mouse.
#pragma once

#include "diagram/mvcscroll.h"
#include "diagram/odcontroller.h"
#include "diagram/odviewport.h"

#include <wx/scrolbar.h>
#include <wx/settings.h>
#include <wx/window.h>

#include <algorithm>
#include <memory>

template <class V>
class MvcWrapper_T : public V {
public:
    CRect GetMargins() const override { return m_rcMargins; }

    // The viewport moves by the change of the left and top margins and
    // shrinks by the growth of the margins.
    void SetMargins(const CRect& margins) override
    {
        const CRect old = m_rcMargins;
        const CRect b = this->GetBounds();
        m_rcMargins = margins;
        V::SetOrigin(b.left + margins.left - old.left, b.top + margins.top - old.top);
        V::SetSize(std::max(0, b.Width() - (margins.left - old.left) - (margins.right - old.right)),
                   std::max(0, b.Height() - (margins.top - old.top) - (margins.bottom - old.bottom)));
    }

    // The size the holding window offers, less the margins.
    void SetSize(std::int32_t cx, std::int32_t cy) override
    {
        V::SetSize(std::max(0, cx - m_rcMargins.left - m_rcMargins.right),
                   std::max(0, cy - m_rcMargins.top - m_rcMargins.bottom));
    }

    void SetOrigin(std::int32_t x, std::int32_t y) override { V::SetOrigin(x + m_rcMargins.left, y + m_rcMargins.top); }

protected:
    CRect m_rcMargins;
};

template <class V>
class MvcScrollWrapper_T : public MvcWrapper_T<V> {
    using Base = MvcWrapper_T<V>;

public:
    MvcScrollWrapper_T() = default;
    ~MvcScrollWrapper_T() override
    {
        // Bars whose window has gone went with it.
        if (this->GetWnd()) {
            for (wxWindow* w : {static_cast<wxWindow*>(m_pSizeBox), static_cast<wxWindow*>(m_pHorzBar),
                                static_cast<wxWindow*>(m_pVertBar)})
                if (w)
                    w->Destroy();
        }
    }

    void OnInitialUpdate() override
    {
        if (m_bInitialized)
            return;
        Base::OnInitialUpdate();
        // A chart opens showing where its drawing starts.
        this->ShowTopLeft();
        CreateScrollBars();
        SetScrollRanges();
        UpdateHorzBar();
        UpdateVertBar();
        RecalcScrollLayout();
        m_bInitialized = true;
    }

    // Shows each bar whose flag is set; the size box only with both. A
    // change of either makes room for the bars that show.
    virtual void ShowScrollBars(bool horz, bool vert)
    {
        const bool changed = horz != m_bHorzEnabled || vert != m_bVertEnabled;
        m_bHorzEnabled = horz;
        m_bVertEnabled = vert;
        if (m_pHorzBar)
            m_pHorzBar->Show(horz);
        if (m_pVertBar)
            m_pVertBar->Show(vert);
        if (m_pSizeBox)
            m_pSizeBox->Show(horz && vert);
        if (changed)
            SetMargins(CRect());
    }

    void SetMargins(const CRect& margins) override
    {
        CRect m = margins;
        if (m_pHorzBar && m_pHorzBar->IsShown())
            m.bottom += m_cyHorzBar;
        if (m_pVertBar && m_pVertBar->IsShown())
            m.right += m_cxVertBar;
        Base::SetMargins(m);
    }

    void SetLogOrigin(std::int32_t x, std::int32_t y) override
    {
        Base::SetLogOrigin(x, y);
        afterChange(false);
    }
    void ScrollBy(std::int32_t dx, std::int32_t dy) override
    {
        Base::ScrollBy(dx, dy);
        afterChange(false);
    }
    void SetLogSize(std::int32_t cx, std::int32_t cy) override
    {
        Base::SetLogSize(cx, cy);
        afterChange(true);
    }
    void SetScale(double scale) override
    {
        Base::SetScale(scale);
        afterChange(true);
    }
    void SetOrigin(std::int32_t x, std::int32_t y) override
    {
        Base::SetOrigin(x, y);
        afterChange(false);
    }
    void SetSize(std::int32_t cx, std::int32_t cy) override
    {
        Base::SetSize(cx, cy);
        afterChange(false);
    }

    // The drawing may have grown or shrunk: the bars follow, once a run of
    // updates is over (each look at the drawing's size walks the model).
    void OnUpdate(void* sender, std::intptr_t hint, void* data) override
    {
        Base::OnUpdate(sender, hint, data);
        wxWindow* wnd = this->GetWnd();
        if (!wnd || m_bRecalcPending || !m_pHorzBar)
            return;
        m_bRecalcPending = true;
        wnd->CallAfter([this, alive = std::weak_ptr<int>(m_alive)] {
            if (alive.expired())
                return;
            m_bRecalcPending = false;
            afterChange(true);
        });
    }

    bool OnWndMsg(wxEvent& event) override
    {
        if (auto* s = dynamic_cast<wxScrollEvent*>(&event)) {
            auto* bar = dynamic_cast<wxScrollBar*>(s->GetEventObject());
            const int code = scrollCode(s->GetEventType());
            if (bar && bar == m_pHorzBar)
                return OnHScroll(code, s->GetPosition(), bar);
            if (bar && bar == m_pVertBar)
                return OnVScroll(code, s->GetPosition(), bar);
            return Base::OnWndMsg(event);
        }
        if (event.GetEventType() == wxEVT_MOUSEWHEEL) {
            auto& m = static_cast<wxMouseEvent&>(event);
            return OnMouseWheel(m.ControlDown() ? OD_MK_CONTROL : 0u, m.GetWheelRotation(),
                                CPoint(m.GetX(), m.GetY()), m.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL);
        }
        return Base::OnWndMsg(event);
    }

    // Where the viewport stands over its drawing, as the arithmetic takes it.
    MvcScrollGeometry GetScrollGeometry() const
    {
        const CRect drawing = this->GetVirtualBounds();
        return {this->GetLogOrigin(), this->GetLogSize(), drawing.TopLeft(), drawing.Size()};
    }

    wxScrollBar* GetHorzBar() const { return m_pHorzBar; }
    wxScrollBar* GetVertBar() const { return m_pVertBar; }
    wxWindow* GetSizeBox() const { return m_pSizeBox; }
    std::int32_t GetLineStep() const { return m_nLineStep; }
    void SetLineStep(std::int32_t step) { m_nLineStep = step; }

protected:
    virtual void CreateScrollBars()
    {
        wxWindow* wnd = this->GetWnd();
        if (!wnd || m_pHorzBar)
            return;
        m_pSizeBox = new wxWindow(wnd, GetNextChildId(), wxDefaultPosition, wxSize(0, 0));
        m_pSizeBox->Disable();
        m_pSizeBox->Show(m_bHorzEnabled && m_bVertEnabled);
        forgetOnDestroy(m_pSizeBox, reinterpret_cast<wxWindow**>(&m_pSizeBox));
        m_pHorzBar = NewScrollBar();
        m_pHorzBar->Create(wnd, GetNextChildId(), wxDefaultPosition, wxDefaultSize, wxSB_HORIZONTAL);
        m_pHorzBar->Show(m_bHorzEnabled);
        forgetOnDestroy(m_pHorzBar, reinterpret_cast<wxWindow**>(&m_pHorzBar));
        m_pVertBar = NewScrollBar();
        m_pVertBar->Create(wnd, GetNextChildId(), wxDefaultPosition, wxDefaultSize, wxSB_VERTICAL);
        m_pVertBar->Show(m_bVertEnabled);
        forgetOnDestroy(m_pVertBar, reinterpret_cast<wxWindow**>(&m_pVertBar));
        if (m_cyHorzBar <= 0)
            m_cyHorzBar = wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, wnd);
        if (m_cyHorzBar <= 0)
            m_cyHorzBar = m_pHorzBar->GetBestSize().y;
        if (m_cxVertBar <= 0)
            m_cxVertBar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, wnd);
        if (m_cxVertBar <= 0)
            m_cxVertBar = m_pVertBar->GetBestSize().x;
        // Room for the bars that show.
        SetMargins(CRect());
    }

    virtual void SetScrollRanges()
    {
        const MvcScrollGeometry g = GetScrollGeometry();
        applyBar(m_pHorzBar, MvcHorzBarValues(g));
        applyBar(m_pVertBar, MvcVertBarValues(g));
    }

    // Pages and the need for each bar; a bar goes as soon as all fits.
    virtual void UpdateHorzBar() { applyBar(m_pHorzBar, MvcHorzBarValues(GetScrollGeometry())); }
    virtual void UpdateVertBar()
    {
        const MvcScrollGeometry g = GetScrollGeometry();
        applyBar(m_pVertBar, MvcVertBarValues(g));
        ShowScrollBars(MvcHorzBarValues(g).needed, MvcVertBarValues(g).needed);
    }

    // Below the viewport's area, right of it, and the square between.
    virtual void LayoutScrollBars(const CRect& r)
    {
        if (!m_pHorzBar || !m_pVertBar || !m_pSizeBox)
            return;
        // Never shorter than the toolkit can draw a bar: a window smaller
        // than that clips the bar instead.
        m_pHorzBar->SetSize(r.left, r.bottom, std::max<int>(r.Width(), m_pHorzBar->GetBestSize().x), m_cyHorzBar);
        m_pVertBar->SetSize(r.right, r.top, m_cxVertBar, std::max<int>(r.Height(), m_pVertBar->GetBestSize().y));
        if (m_pHorzBar->IsShown() && m_pVertBar->IsShown())
            m_pSizeBox->SetSize(r.right, r.bottom, m_cxVertBar, m_cyHorzBar);
        else
            m_pSizeBox->SetSize(0, 0, 0, 0);
    }

    virtual void UpdateScrollPositions() { SetScrollRanges(); }

    // Each instantiation numbers its bars on its own, from 2561.
    virtual int GetNextChildId() { return s_nNextChildId++; }
    virtual wxScrollBar* NewScrollBar() { return new wxScrollBar; }

    virtual bool OnHScroll(int code, int position, wxScrollBar* bar)
    {
        if (!bar || bar != m_pHorzBar)
            return false;
        const MvcScrollGeometry g = GetScrollGeometry();
        scrollChecked(MvcScrollAmount(code, m_nLineStep, bar->GetPageSize(), position, g.virtOrigin.x, g.logOrigin.x),
                      0);
        return true;
    }

    virtual bool OnVScroll(int code, int position, wxScrollBar* bar)
    {
        if (!bar || bar != m_pVertBar)
            return false;
        const MvcScrollGeometry g = GetScrollGeometry();
        scrollChecked(0,
                      MvcScrollAmount(code, m_nLineStep, bar->GetPageSize(), position, g.virtOrigin.y, g.logOrigin.y));
        return true;
    }

    virtual bool OnMouseWheel(std::uint32_t flags, int delta, const CPoint&, bool horizontalAxis = false)
    {
        const CSize by = m_wheel.OnWheel(delta, (flags & OD_MK_CONTROL) != 0, horizontalAxis,
                                         m_pHorzBar && m_pHorzBar->IsShown(), m_pVertBar && m_pVertBar->IsShown(),
                                         m_nLineStep);
        if (by.cx != 0 || by.cy != 0)
            scrollChecked(by.cx, by.cy);
        return true;
    }

    virtual void RecalcScrollLayout() { afterChange(true); }

    wxScrollBar* m_pHorzBar = nullptr;
    wxScrollBar* m_pVertBar = nullptr;
    wxWindow* m_pSizeBox = nullptr;
    std::int32_t m_nLineStep = 10;
    std::int32_t m_cyHorzBar = 0;
    std::int32_t m_cxVertBar = 0;
    bool m_bInitialized = false;
    bool m_bUpdateOption = false;
    bool m_bHorzEnabled = true;
    bool m_bVertEnabled = true;

private:
    inline static int s_nNextChildId = 2561;

    static int scrollCode(wxEventType t)
    {
        if (t == wxEVT_SCROLL_LINEUP)
            return MVC_SB_LINEUP;
        if (t == wxEVT_SCROLL_LINEDOWN)
            return MVC_SB_LINEDOWN;
        if (t == wxEVT_SCROLL_PAGEUP)
            return MVC_SB_PAGEUP;
        if (t == wxEVT_SCROLL_PAGEDOWN)
            return MVC_SB_PAGEDOWN;
        if (t == wxEVT_SCROLL_THUMBRELEASE)
            return MVC_SB_THUMBPOSITION;
        if (t == wxEVT_SCROLL_THUMBTRACK)
            return MVC_SB_THUMBTRACK;
        return MVC_SB_OTHER;
    }

    void forgetOnDestroy(wxWindow* w, wxWindow** slot)
    {
        w->Bind(wxEVT_DESTROY, [w, slot](wxWindowDestroyEvent& e) {
            if (e.GetEventObject() == w && *slot == w)
                *slot = nullptr;
            e.Skip();
        });
    }

    static void applyBar(wxScrollBar* bar, const MvcBarValues& v)
    {
        if (bar)
            bar->SetScrollbar(std::clamp(v.position, 0, std::max(0, v.range - v.page)), v.page, v.range, v.page, true);
    }

    // Scrolls within the drawing; when nothing moved, the bars (whose thumb
    // the user may have dragged) show where the view stands.
    void scrollChecked(std::int32_t dx, std::int32_t dy)
    {
        const CSize by = MvcClampScroll(GetScrollGeometry(), CSize(dx, dy));
        const CRect before = this->GetLogBounds();
        if (by.cx != 0 || by.cy != 0)
            this->ScrollBy(by.cx, by.cy);
        if (this->GetLogBounds() == before)
            SetScrollRanges();
    }

    // After anything that moves or sizes the view: pull back an overhang,
    // show the bars that are needed, then their values and places.
    void afterChange(bool)
    {
        if (m_nBusy || !m_pHorzBar || !m_pVertBar || !m_pSizeBox)
            return;
        ++m_nBusy;
        // Showing a bar shrinks the view, which can call for the other.
        for (int pass = 0; pass < 3; ++pass) {
            const CSize back = MvcPullBack(GetScrollGeometry());
            if (back.cx != 0 || back.cy != 0)
                Base::ScrollBy(back.cx, back.cy);
            const MvcScrollGeometry g = GetScrollGeometry();
            const bool horz = MvcHorzBarValues(g).needed, vert = MvcVertBarValues(g).needed;
            if (horz == m_bHorzEnabled && vert == m_bVertEnabled && m_pHorzBar->IsShown() == horz &&
                m_pVertBar->IsShown() == vert)
                break;
            ShowScrollBars(horz, vert);
        }
        SetScrollRanges();
        LayoutScrollBars(this->GetBounds());
        --m_nBusy;
    }

    MvcWheel m_wheel;
    int m_nBusy = 0;
    bool m_bRecalcPending = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // gone with the wrapper
};
