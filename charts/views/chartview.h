// The chart window's view: a wx view that embeds the viewport showing the
// document's model and hands it drawing, printing, sizes, commands and input.
// Written once over the viewport; each chart kind names its own viewport.
#pragma once

#include "charts/documents/ui/basediagramdoc.h"
#include "diagram/odviewport.h"

#include <wx/docview.h>
#include <wx/window.h>

#include <functional>

class CChartViewBase;

// The window a chart is drawn in. It paints through its view, and passes
// sizes, mouse, keys and focus to it.
class CChartCanvas : public wxWindow {
public:
    CChartCanvas(wxWindow* parent, CChartViewBase* view);
    ~CChartCanvas() override;
    void DetachView() { m_pView = nullptr; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnInput(wxEvent& event);

    CChartViewBase* m_pView;
};

namespace tarnwick {

// Makes the chart window (a child frame of the main frame) for a new view.
// The program installs its own; without one a view cannot be created.
using ChartFrameFactory = std::function<wxWindow*(wxDocument*, wxView*)>;
void SetChartFrameFactory(ChartFrameFactory factory);

} // namespace tarnwick

class CChartViewBase : public wxView {
public:
    CChartViewBase() = default;
    ~CChartViewBase() override;

    virtual CODViewport& GetChartViewport() = 0;
    CChartCanvas* GetCanvas() const { return m_pCanvas; }

    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    void OnDraw(wxDC* dc) override;
    void OnUpdate(wxView* sender, wxObject* hint = nullptr) override;
    // Once the window is up: the viewport makes its controller and draws.
    virtual void OnInitialUpdate();
    // One page fitted to the margins; null when the viewport refuses to print,
    // so that no print dialog shows.
    wxPrintout* OnCreatePrintout() override;

    void OnSize(int cx, int cy);
    // Mouse, keys and focus of the canvas; false when nobody took the event.
    virtual bool OnWndMsg(wxEvent& event);

    // Client position of the last left-button press.
    CPoint m_ptDown;

protected:
    // The canvas goes before the viewport that watches it: a derived view
    // calls this first in its destructor, while its viewport still exists.
    void DestroyCanvas();

private:
    friend class CChartCanvas;
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);

    CChartCanvas* m_pCanvas = nullptr;
};
