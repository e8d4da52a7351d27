// The viewport: a visual part inside a holding window (not a window of its
// own) that shows a model, converts between logical and device coordinates,
// draws into a device context or an image, and hands input to its controller.
#pragma once

#include "diagram/odmodel.h"

#include <memory>
#include <string>

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/colour.h>
#include <wx/event.h>

class wxDC;
class wxImage;
class wxWindow;
class CODController;

class MvcVisualPart {
public:
    virtual ~MvcVisualPart() = default;
    virtual void SetOrigin(std::int32_t x, std::int32_t y) { m_rcBounds.OffsetRect(x - m_rcBounds.left, y - m_rcBounds.top); }
    virtual void SetSize(std::int32_t cx, std::int32_t cy)
    {
        m_rcBounds.right = m_rcBounds.left + cx;
        m_rcBounds.bottom = m_rcBounds.top + cy;
    }
    // The part's place in the holding window, device units.
    CRect GetBounds() const { return m_rcBounds; }
    virtual void Draw(wxDC&) {}

protected:
    CRect m_rcBounds;
};

class MvcViewport : public MvcVisualPart {
public:
    // Visual parts placed on the viewport (none of the library's own).
    ICollection_T<MvcVisualPart*>* GetVisualParts() { return &m_parts; }
    void AddVisualPart(MvcVisualPart* part) { m_parts.Add(part); }
    void RemoveVisualPart(MvcVisualPart* part) { m_parts.Remove(part); }

    virtual CPoint GetLogOrigin() const { return m_ptLogOrigin; }
    virtual void SetLogOrigin(std::int32_t x, std::int32_t y) { m_ptLogOrigin = CPoint(x, y); }
    virtual void ScrollBy(std::int32_t dx, std::int32_t dy) { SetLogOrigin(m_ptLogOrigin.x + dx, m_ptLogOrigin.y + dy); }
    // Visible logical size: the device size over the scale.
    virtual CSize GetLogSize() const;
    virtual void SetLogSize(std::int32_t cx, std::int32_t cy);
    CRect GetLogBounds() const { return CRect(GetLogOrigin(), GetLogSize()); }
    virtual void SetScale(double scale) { m_dScale = scale > 0 ? scale : 1.0; }
    double GetScale() const { return m_dScale; }
    virtual CRect GetMargins() const { return m_rcMargins; }
    virtual void SetMargins(const CRect& m) { m_rcMargins = m; }
    CPoint LogToDev(const CPoint& p) const;
    CPoint DevToLog(const CPoint& p) const;
    CRect LogToDev(const CRect& r) const;

protected:
    CCArray_T<MvcVisualPart*, MvcVisualPart*> m_parts;
    CPoint m_ptLogOrigin;
    double m_dScale = 1.0;
    CRect m_rcMargins;
};

class CODViewport : public MvcViewport, public IODObserver {
public:
    CODViewport();
    ~CODViewport() override;
    CODViewport(const CODViewport&) = delete;
    CODViewport& operator=(const CODViewport&) = delete;

    virtual bool Create(wxWindow* parent);
    wxWindow* GetWnd() const { return m_pWnd; }

    void SetModel(CODModel* model);
    CODModel* GetModel() const { return m_pModel; }
    void OnUpdate(void* sender, std::intptr_t hint, void* data) override;

    virtual bool CreateController();
    void SetController(CODController* controller, bool owned);
    CODController* GetController();

    virtual void OnInitialUpdate();
    virtual int OnSize(unsigned type, std::int32_t cx, std::int32_t cy);
    virtual void OnPrepareDC(wxDC& dc, int info = 0);
    // What is visible (within the window's update region while it paints,
    // and within the context's clipping box): background, components and
    // what the mouse is doing.
    void Draw(wxDC& dc) override;
    // The components within the context's clipping box, or all of them.
    virtual void DrawAll(wxDC& dc);
    virtual void DrawSelection(wxDC& dc);
    // The components that reach into a logical area, and only those.
    void DrawComponents(wxDC& dc, const CRect& logArea);

    // Scrolling and zooming show the drawing anew.
    void SetLogOrigin(std::int32_t x, std::int32_t y) override;
    void SetScale(double scale) override;

    virtual bool OnPreparePrinting(void* info) { return true; }
    // The whole drawing, its top left at the context's logical origin, in
    // the context's own mapping: the printout fits it to the page.
    virtual void OnPrint(wxDC& dc, void* info);
    virtual void OnEndPrinting(wxDC& dc, void* info) { m_bPrinting = false; }
    bool IsPrinting() const { return m_bPrinting; }

    // Commands (and their update-UI) go to the controller.
    virtual bool OnCmdMsg(wxEvent& event);
    // Mouse, keys, focus and capture loss, handed to the controller.
    virtual bool OnWndMsg(wxEvent& event);

    virtual void InvalidateRect(const CRect& logRect, bool erase = true, bool updateNow = false);
    virtual bool GetUpdateRect(CRect& rect, bool erase = false);
    virtual void EraseBackground(wxDC& dc, const CRect& rect);
    // Limits a logical rectangle to the visible logical area.
    virtual void ClampRect(CRect& rect) const;
    void Redraw() { InvalidateRect(GetVirtualBounds(), true, false); }
    void Update(int, int) { InvalidateRect(GetVirtualBounds(), true, true); }
    // Forgets what was invalidated (after a paint).
    void ValidateAll() { m_rcDirty.SetRectEmpty(); }

    // Scrolls to the drawing's top-left corner (that of the scrollable area).
    void ShowTopLeft()
    {
        const CPoint start = GetVirtualOrigin();
        SetLogOrigin(start.x, start.y);
    }
    // The scrollable area: (0, 0, model size) and every component's bounds.
    CPoint GetVirtualOrigin() const { return GetVirtualBounds().TopLeft(); }
    CSize GetVirtualSize() const { return GetVirtualBounds().Size(); }
    CRect GetVirtualBounds() const;

    // The pivot the rotate command turns about.
    virtual CPoint GetRotationPivot() const;
    virtual CODMeasure GetGridSpacing() const { return CODMeasure(0, 0.0625); }
    virtual CODMeasure GetHandleSize() const { return CODMeasure(0, 6.0); }
    virtual wxColour GetGridColour() const { return wxColour(192, 192, 192); }
    void SetMeasurementUnits(std::int32_t unit) { m_nUnits = unit; }
    std::int32_t GetMeasurementUnits() const { return m_nUnits; }
    void SetMeasures(const CODMeasure& a, const CODMeasure& b)
    {
        m_measures[0] = a;
        m_measures[1] = b;
    }

    CODPropertySet& GetDefaultProperties() { return m_defaults; }
    // A device context on the holding window, prepared; null without one.
    std::unique_ptr<wxDC> CreatePreparedDC();

    // The whole drawing (virtual area) at the current scale, on white.
    bool DrawToImage(wxImage& image, int flags = 0);

private:
    void OnWndDestroy(wxWindowDestroyEvent& e);

    wxWindow* m_pWnd = nullptr;
    CODModel* m_pModel = nullptr;
    CODController* m_pController = nullptr;
    bool m_bOwnsController = false;
    bool m_bPrinting = false;
    CRect m_rcDirty;
    std::int32_t m_nUnits = 0;
    CODMeasure m_measures[2];
    CODPropertySet m_defaults;
};

// Writes a viewport's drawing to a picture file.
class CODImage {
public:
    bool Create(CODViewport& viewport);
    // False on any failure, with no message to the user.
    bool Save(const std::string& path, wxBitmapType type) const;
    const wxImage* GetImage() const { return m_image.get(); }

private:
    std::shared_ptr<wxImage> m_image;
};
