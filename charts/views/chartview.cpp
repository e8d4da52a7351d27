#include "charts/views/chartview.h"

#include "afx/cmdid.h"
#include "diagram/odcontroller.h"
#include "diagram/odprintout.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/print.h>

#include <memory>

namespace tarnwick {

namespace {
ChartFrameFactory& frameFactory()
{
    static ChartFrameFactory factory;
    return factory;
}
} // namespace

void SetChartFrameFactory(ChartFrameFactory factory)
{
    frameFactory() = std::move(factory);
}

} // namespace tarnwick

CChartCanvas::CChartCanvas(wxWindow* parent, CChartViewBase* view)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxBORDER_NONE)
    , m_pView(view)
{
    // The viewport paints the whole client area itself.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CChartCanvas::OnPaint, this);
    Bind(wxEVT_SIZE, &CChartCanvas::OnSize, this);
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_MOTION, wxEVT_RIGHT_DOWN,
                             wxEVT_RIGHT_UP, wxEVT_MOUSEWHEEL})
        Bind(type, &CChartCanvas::OnInput, this);
    Bind(wxEVT_KEY_DOWN, &CChartCanvas::OnInput, this);
    Bind(wxEVT_KEY_UP, &CChartCanvas::OnInput, this);
    Bind(wxEVT_CHAR, &CChartCanvas::OnInput, this);
    Bind(wxEVT_SET_FOCUS, &CChartCanvas::OnInput, this);
    Bind(wxEVT_KILL_FOCUS, &CChartCanvas::OnInput, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CChartCanvas::OnInput, this);
    Bind(wxEVT_CONTEXT_MENU, &CChartCanvas::OnInput, this);
    // The scroll wrapper's bars are children of the canvas.
    for (wxEventType type : {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
                             wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
                             wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED})
        Bind(type, &CChartCanvas::OnInput, this);
}

CChartCanvas::~CChartCanvas()
{
    if (m_pView)
        m_pView->m_pCanvas = nullptr;
}

void CChartCanvas::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_pView)
        m_pView->OnDraw(&dc);
}

void CChartCanvas::OnSize(wxSizeEvent& event)
{
    if (m_pView) {
        const wxSize size = GetClientSize();
        m_pView->OnSize(size.x, size.y);
    }
    event.Skip();
}

void CChartCanvas::OnInput(wxEvent& event)
{
    if (event.GetEventType() == wxEVT_LEFT_DOWN && !HasFocus())
        SetFocus();
    if (!m_pView || !m_pView->OnWndMsg(event))
        event.Skip();
}

CChartViewBase::~CChartViewBase()
{
    DestroyCanvas();
}

void CChartViewBase::DestroyCanvas()
{
    if (m_pCanvas) {
        m_pCanvas->DetachView();
        delete m_pCanvas;
        m_pCanvas = nullptr;
    }
}

bool CChartViewBase::OnCreate(wxDocument* doc, long flags)
{
    if (!wxView::OnCreate(doc, flags))
        return false;
    const auto& factory = tarnwick::frameFactory();
    wxWindow* frame = factory ? factory(doc, this) : nullptr;
    if (!frame)
        return false;
    SetFrame(frame);
    m_pCanvas = new CChartCanvas(frame, this);
    CODViewport& viewport = GetChartViewport();
    if (!viewport.Create(m_pCanvas))
        return false;
    if (auto* chart = dynamic_cast<CBaseDiagramDoc*>(doc))
        viewport.SetModel(chart->GetModel());
    Bind(wxEVT_MENU, &CChartViewBase::OnCommand, this);
    Bind(wxEVT_UPDATE_UI, &CChartViewBase::OnUpdateCommand, this);
    frame->Show();
    return true;
}

bool CChartViewBase::OnClose(bool deleteWindow)
{
    if (!wxView::OnClose(deleteWindow))
        return false;
    Activate(false);
    if (deleteWindow && GetFrame()) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    return true;
}

void CChartViewBase::OnInitialUpdate()
{
    GetChartViewport().OnInitialUpdate();
}

void CChartViewBase::OnDraw(wxDC* dc)
{
    CODViewport& viewport = GetChartViewport();
    viewport.OnPrepareDC(*dc, 0);
    viewport.Draw(*dc);
}

void CChartViewBase::OnUpdate(wxView*, wxObject*)
{
    GetChartViewport().Redraw();
}

void CChartViewBase::OnSize(int cx, int cy)
{
    GetChartViewport().OnSize(0, cx, cy);
}

bool CChartViewBase::OnWndMsg(wxEvent& event)
{
    CODViewport& viewport = GetChartViewport();
    if (auto* mouse = dynamic_cast<wxMouseEvent*>(&event)) {
        const CPoint at(mouse->GetX(), mouse->GetY());
        if (event.GetEventType() == wxEVT_LEFT_DOWN) {
            m_ptDown = at;
        } else if (event.GetEventType() == wxEVT_MOTION) {
            CODController* controller = viewport.GetController();
            if (controller && ODIsSmallMove(controller->GetState(), m_ptDown, at))
                return true;
        }
    }
    return viewport.OnWndMsg(event);
}

wxPrintout* CChartViewBase::OnCreatePrintout()
{
    wxDocManager* manager = GetDocumentManager();
    return CODPrintout::Create(GetChartViewport(), GetDocument() ? GetDocument()->GetUserReadableName() : wxString(),
                               manager ? &manager->GetPageSetupDialogData() : nullptr);
}

void CChartViewBase::OnCommand(wxCommandEvent& event)
{
    // Print and preview are the document manager's, through OnCreatePrintout;
    // the direct print goes without the dialog.
    if (event.GetId() == ToWxId(ID_FILE_PRINT_DIRECT)) {
        if (std::unique_ptr<wxPrintout> printout{OnCreatePrintout()}) {
            wxPrinter printer;
            printer.Print(GetFrame(), printout.get(), false);
        }
        return;
    }
    if (!GetDocument() || !GetChartViewport().OnCmdMsg(event))
        event.Skip();
}

void CChartViewBase::OnUpdateCommand(wxUpdateUIEvent& event)
{
    if (!GetDocument() || !GetChartViewport().OnCmdMsg(event))
        event.Skip();
}
