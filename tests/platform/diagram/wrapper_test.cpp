// The scroll and buffer wrappers on real windows under Xvfb: bars numbered
// per wrapper class, laid out beside the viewport and kept in step with it;
// the off-screen buffer made, kept and rebuilt by its rules, brought up to
// date by invalidation, and left alone by printing.
#include "tests/platform/diagram/fixtures.h"
#include "tests/platform/diagram/wxtestapp.h"

#include "diagram/mvcbuffered.h"
#include "diagram/mvcwrapper.h"
#include "diagram/odprintout.h"

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/utils.h>

#include <cstdlib>
#include <filesystem>

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new odtest::WxEnvironment);

// Each wrapper class numbers its bars on its own: these two are used only
// by the numbering test.
struct NumberedA : MvcBufferedWrapper_T<CODViewport> {};
struct NumberedB : CODViewport {};

// The buffer's state, for the tests to read.
struct BufferedViewport : MvcBufferedWrapper_T<CODViewport> {
    bool HasBuffer() const { return m_pMemDC && m_pBitmap; }
    wxSize BufferSize() const { return m_szBitmap; }
    const wxBitmap* Bitmap() const { return m_pBitmap; }
};

using ScrolledChart = MvcScrollWrapper_T<BufferedViewport>;

// The holding window hands the viewport what the view would.
template <class V>
void Wire(wxWindow* canvas, V& viewport)
{
    canvas->SetBackgroundStyle(wxBG_STYLE_PAINT);
    canvas->Bind(wxEVT_PAINT, [canvas, &viewport](wxPaintEvent&) {
        wxPaintDC dc(canvas);
        viewport.OnPrepareDC(dc, 0);
        viewport.Draw(dc);
    });
    auto forward = [&viewport](auto& e) {
        if (!viewport.OnWndMsg(e))
            e.Skip();
    };
    for (const auto& type : {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
                             wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
                             wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED})
        canvas->Bind(type, [forward](wxScrollEvent& e) { forward(e); });
    canvas->Bind(wxEVT_MOUSEWHEEL, [forward](wxMouseEvent& e) { forward(e); });
}

wxColour PixelAt(const wxBitmap& bmp, int x, int y)
{
    const wxImage img = bmp.ConvertToImage();
    return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

// What a paint of the whole viewport puts on the screen, caught in a bitmap.
template <class V>
wxBitmap Painted(V& viewport)
{
    const CRect b = viewport.GetBounds();
    wxBitmap bmp(std::max(1, b.right), std::max(1, b.bottom), 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    viewport.OnPrepareDC(dc, 0);
    viewport.Draw(dc);
    dc.SelectObject(wxNullBitmap);
    return bmp;
}

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.SetSize(CSize(2000, 1500));
        a = odtest::MakeSymbol("A", 20, 20);
        b = odtest::MakeSymbol("B", 1800, 1400);
        a->SetProperty(CODIntProperty(OD_PROP_FILL, 0xFFEECC));
        b->SetProperty(CODIntProperty(OD_PROP_FILL, 0xCCE0FF));
        model.AppendComponent(a);
        model.AppendComponent(b);
        frame = new wxFrame(nullptr, wxID_ANY, "chart", wxDefaultPosition, wxSize(1000, 800));
        panel = new wxPanel(frame);
        frame->Show();
    }
    void TearDown() override
    {
        frame->Destroy();
        wxTheApp->ProcessIdle();
    }

    wxWindow* NewCanvas(int w, int h) { return new wxWindow(panel, wxID_ANY, wxPoint(0, 0), wxSize(w, h)); }

    template <class V>
    void Open(V& viewport, wxWindow* canvas)
    {
        Wire(canvas, viewport);
        ASSERT_TRUE(viewport.Create(canvas));
        viewport.SetModel(&model);
        const wxSize s = canvas->GetClientSize();
        viewport.OnSize(0, s.x, s.y);
        viewport.OnInitialUpdate();
    }

    CODModel model;
    CODSymbolComponent* a = nullptr;
    CODSymbolComponent* b = nullptr;
    wxFrame* frame = nullptr;
    wxPanel* panel = nullptr;
};

TEST_F(WrapperTest, EachWrapperClassNumbersItsBarsFrom2561)
{
    MvcScrollWrapper_T<NumberedA> first, second;
    MvcScrollWrapper_T<NumberedB> other;
    Open(first, NewCanvas(300, 200));
    Open(second, NewCanvas(300, 200));
    Open(other, NewCanvas(300, 200));
    // The size box first, then the horizontal and the vertical bar.
    EXPECT_EQ(first.GetSizeBox()->GetId(), 2561);
    EXPECT_EQ(first.GetHorzBar()->GetId(), 2562);
    EXPECT_EQ(first.GetVertBar()->GetId(), 2563);
    EXPECT_EQ(second.GetSizeBox()->GetId(), 2564);
    EXPECT_EQ(second.GetHorzBar()->GetId(), 2565);
    EXPECT_EQ(second.GetVertBar()->GetId(), 2566);
    EXPECT_EQ(other.GetSizeBox()->GetId(), 2561);
    EXPECT_EQ(other.GetHorzBar()->GetId(), 2562);
    EXPECT_TRUE(first.GetHorzBar()->IsVertical() == false && first.GetVertBar()->IsVertical());
}

TEST_F(WrapperTest, InAWindowTooSmallForThemTheBarsKeepTheLengthTheToolkitNeeds)
{
    ScrolledChart chart;
    wxWindow* canvas = NewCanvas(12, 9);
    Open(chart, canvas);
    wxScrollBar* h = chart.GetHorzBar();
    wxScrollBar* v = chart.GetVertBar();
    ASSERT_TRUE(h && v);
    EXPECT_GE(h->GetSize().x, h->GetBestSize().x);
    EXPECT_GE(v->GetSize().y, v->GetBestSize().y);
    EXPECT_EQ(h->GetPosition().x, 0);
    EXPECT_EQ(v->GetPosition().y, 0);
}

TEST_F(WrapperTest, BarsSitBesideTheViewportAndFollowIt)
{
    ScrolledChart chart;
    wxWindow* canvas = NewCanvas(600, 400);
    Open(chart, canvas);
    wxScrollBar* h = chart.GetHorzBar();
    wxScrollBar* v = chart.GetVertBar();
    ASSERT_TRUE(h && v && chart.GetSizeBox());
    EXPECT_TRUE(h->IsShown() && v->IsShown() && chart.GetSizeBox()->IsShown());

    // The viewport gives up the bars' room; the bars lie below and right.
    const CRect r = chart.GetBounds();
    const int barH = h->GetSize().y, barW = v->GetSize().x;
    EXPECT_GT(barH, 0);
    EXPECT_EQ(r, CRect(0, 0, 600 - barW, 400 - barH));
    EXPECT_EQ(h->GetPosition(), wxPoint(0, r.bottom));
    EXPECT_EQ(h->GetSize().x, r.Width());
    EXPECT_EQ(v->GetPosition(), wxPoint(r.right, 0));
    EXPECT_EQ(chart.GetSizeBox()->GetRect(), wxRect(r.right, r.bottom, barW, barH));
    EXPECT_EQ(h->GetRange(), 2000);
    EXPECT_EQ(h->GetThumbSize(), r.Width());
    EXPECT_EQ(v->GetRange(), 1500);
    EXPECT_EQ(v->GetPageSize(), r.Height());

    // The wheel: two notches towards the user scroll 20 down, Ctrl 10 right.
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.m_wheelRotation = -240;
    wheel.m_wheelDelta = 120;
    canvas->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_EQ(chart.GetLogOrigin(), CPoint(0, 20));
    EXPECT_EQ(v->GetThumbPosition(), 20);
    wheel.m_wheelRotation = -120;
    wheel.SetControlDown(true);
    canvas->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_EQ(chart.GetLogOrigin(), CPoint(10, 20));
    EXPECT_EQ(h->GetThumbPosition(), 10);

    // Bar messages arrive at the holding window from the bars.
    auto send = [&](wxScrollBar* bar, wxEventType type, int pos) {
        wxScrollEvent e(type, bar->GetId(), pos, bar->IsVertical() ? wxVERTICAL : wxHORIZONTAL);
        e.SetEventObject(bar);
        bar->GetEventHandler()->ProcessEvent(e);
    };
    send(v, wxEVT_SCROLL_PAGEDOWN, 0);
    EXPECT_EQ(chart.GetLogOrigin().y, 20 + r.Height());
    send(v, wxEVT_SCROLL_THUMBTRACK, 300);
    EXPECT_EQ(chart.GetLogOrigin().y, 300);
    send(h, wxEVT_SCROLL_LINEUP, 0);
    EXPECT_EQ(chart.GetLogOrigin().x, 0);
    send(h, wxEVT_SCROLL_LINEUP, 0);
    EXPECT_EQ(chart.GetLogOrigin().x, 0) << "not before the drawing's start";
    EXPECT_EQ(h->GetThumbPosition(), 0);

    // Another bar's message is not the wrapper's.
    auto* foreign = new wxScrollBar(canvas, wxID_ANY);
    wxScrollEvent e(wxEVT_SCROLL_LINEDOWN, foreign->GetId(), 0, wxHORIZONTAL);
    e.SetEventObject(foreign);
    EXPECT_FALSE(chart.OnWndMsg(e));
    EXPECT_EQ(chart.GetLogOrigin(), CPoint(0, 300));

    // At the end, then the window grows: pulled back so the end shows.
    send(h, wxEVT_SCROLL_THUMBTRACK, 2000 - r.Width());
    EXPECT_EQ(chart.GetLogOrigin().x, 2000 - r.Width());
    canvas->SetSize(900, 700);
    chart.OnSize(0, 900, 700);
    const CRect grown = chart.GetBounds();
    EXPECT_EQ(grown.Width(), 900 - barW);
    EXPECT_EQ(chart.GetLogOrigin().x, 2000 - grown.Width());
    EXPECT_EQ(h->GetThumbPosition(), 2000 - grown.Width());

    // The drawing shrinks below the window: both bars and the box go, the
    // viewport takes the whole window and the view returns to the start.
    ASSERT_TRUE(model.RemoveComponent(b));
    model.SetSize(CSize(300, 200));
    model.UpdateAllComponents();
    wxTheApp->ProcessPendingEvents(); // once the run of updates is over
    EXPECT_FALSE(h->IsShown());
    EXPECT_FALSE(v->IsShown());
    EXPECT_FALSE(chart.GetSizeBox()->IsShown());
    EXPECT_EQ(chart.GetBounds(), CRect(0, 0, 900, 700));
    EXPECT_EQ(chart.GetLogOrigin(), CPoint(0, 0));

    // A wheel with no bar showing scrolls nothing.
    wheel.SetControlDown(false);
    canvas->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_EQ(chart.GetLogOrigin(), CPoint(0, 0));
}

TEST_F(WrapperTest, HidingTheVerticalBarHidesTheSizeBox)
{
    ScrolledChart chart;
    Open(chart, NewCanvas(600, 400));
    const CRect before = chart.GetBounds();
    chart.ShowScrollBars(true, false);
    EXPECT_FALSE(chart.GetVertBar()->IsShown());
    EXPECT_FALSE(chart.GetSizeBox()->IsShown());
    EXPECT_TRUE(chart.GetHorzBar()->IsShown());
    EXPECT_EQ(chart.GetBounds().Width(), 600) << "the bar's room is given back";
    EXPECT_EQ(chart.GetBounds().Height(), before.Height());
}

TEST_F(WrapperTest, BufferMadeAtAPositiveSizeAndRebuiltOnlyWhenOutgrown)
{
    BufferedViewport viewport;
    wxWindow* canvas = NewCanvas(0, 0);
    ASSERT_TRUE(viewport.Create(canvas));
    viewport.SetModel(&model);
    viewport.OnSize(0, 0, 0);
    viewport.OnInitialUpdate();
    EXPECT_FALSE(viewport.HasBuffer()) << "zero size";
    viewport.OnSize(0, 300, 0);
    EXPECT_FALSE(viewport.HasBuffer()) << "zero height";

    viewport.OnSize(0, 300, 200);
    ASSERT_TRUE(viewport.HasBuffer());
    EXPECT_EQ(viewport.BufferSize(), wxSize(400, 300)) << "100 pixels to spare each way";
    const wxBitmap* first = viewport.Bitmap();
    viewport.OnSize(0, 400, 300);
    EXPECT_EQ(viewport.Bitmap(), first);
    EXPECT_EQ(viewport.BufferSize(), wxSize(400, 300)) << "growth of 100 keeps the bitmap";
    viewport.OnSize(0, 250, 150);
    EXPECT_EQ(viewport.BufferSize(), wxSize(400, 300)) << "shrinking keeps it too";
    viewport.OnSize(0, 401, 300);
    EXPECT_EQ(viewport.BufferSize(), wxSize(501, 400)) << "one more pixel rebuilds it";
    viewport.OnSize(0, 501, 401);
    EXPECT_EQ(viewport.BufferSize(), wxSize(601, 501));
}

TEST_F(WrapperTest, AnInvalidatedChangeShowsAtTheNextPaint)
{
    BufferedViewport viewport;
    Open(viewport, NewCanvas(300, 200));
    ASSERT_TRUE(viewport.HasBuffer());
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), wxColour(0xFF, 0xEE, 0xCC));
    EXPECT_EQ(PixelAt(Painted(viewport), 250, 150), wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));

    // Changed without telling anyone: the paint copies what the buffer holds.
    a->SetProperty(CODIntProperty(OD_PROP_FILL, 0x20C040));
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), wxColour(0xFF, 0xEE, 0xCC));
    // The model's update invalidates through the wrapper, which redraws the
    // buffer at once; the window had no other update area.
    model.UpdateComponent(a);
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), wxColour(0x20, 0xC0, 0x40));

    // A later invalidation elsewhere draws only its own rectangle again, not
    // everything invalidated since the last paint.
    a->SetProperty(CODIntProperty(OD_PROP_FILL, 0x4080C0));
    viewport.InvalidateRect(CRect(200, 100, 250, 150), true, false);
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), wxColour(0x20, 0xC0, 0x40));
    model.UpdateComponent(a);
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), wxColour(0x40, 0x80, 0xC0));

    // Scrolling shows the drawing anew.
    viewport.SetLogOrigin(50, 0);
    EXPECT_EQ(PixelAt(Painted(viewport), 20, 50), wxColour(0x40, 0x80, 0xC0));
    EXPECT_EQ(PixelAt(Painted(viewport), 100, 50), wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
}

// A chart window starts tiny and grows to its size while changes made at the
// small size still wait for their paint: the grown parts show the chart.
TEST_F(WrapperTest, GrowingDrawsAllThatShowsThoughAnEarlierChangeWaitsForItsPaint)
{
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    struct Step {
        wxSize from, to;
        const char* what;
    };
    for (const Step& step : {Step{{20, 20}, {600, 400}, "the bitmap rebuilt"},
                             Step{{300, 200}, {380, 280}, "the bitmap kept"}}) {
        BufferedViewport viewport;
        wxWindow* canvas = NewCanvas(step.from.x, step.from.y);
        Open(viewport, canvas);
        viewport.InvalidateRect(CRect(0, 0, 20, 20), true, false);
        canvas->SetSize(step.to);
        viewport.OnSize(0, step.to.x, step.to.y);
        const wxBitmap shown = Painted(viewport);
        EXPECT_EQ(PixelAt(shown, 70, 50), wxColour(0xFF, 0xEE, 0xCC)) << step.what;
        EXPECT_EQ(PixelAt(shown, step.to.x - 10, step.to.y - 10), window) << step.what;
    }
}

TEST_F(WrapperTest, PrintingFitsTheWholeDrawingAndLeavesTheBufferAlone)
{
    BufferedViewport viewport;
    Open(viewport, NewCanvas(300, 200));
    const wxBitmap* buffer = viewport.Bitmap();
    const wxColour before = PixelAt(Painted(viewport), 70, 50);
    a->SetProperty(CODIntProperty(OD_PROP_FILL, 0x20C040)); // not yet in the buffer

    std::unique_ptr<CODPrintout> printout(CODPrintout::Create(viewport, "chart"));
    ASSERT_TRUE(printout);
    wxBitmap page(500, 400, 24);
    {
        wxMemoryDC dc(page);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        printout->SetDC(&dc);
        printout->SetPageSizePixels(500, 400);
        printout->SetPageSizeMM(132, 106);
        printout->SetPPIScreen(96, 96);
        printout->SetPPIPrinter(96, 96);
        printout->SetPaperRectPixels(wxRect(0, 0, 500, 400));
        ASSERT_TRUE(printout->HasPage(1));
        EXPECT_FALSE(printout->HasPage(2));
        ASSERT_TRUE(printout->OnPrintPage(1));
        EXPECT_TRUE(viewport.IsPrinting());
        printout->OnEndPrinting();
        printout->SetDC(nullptr);
        dc.SelectObject(wxNullBitmap);
    }
    EXPECT_FALSE(viewport.IsPrinting());
    // 2001 by 1501 units onto 500 by 400 pixels: a quarter, width-bound.
    EXPECT_EQ(PixelAt(page, 70 / 4, 50 / 4), wxColour(0x20, 0xC0, 0x40)) << "drawn by the library, not copied";
    EXPECT_EQ(PixelAt(page, 1850 / 4, 1430 / 4), wxColour(0xCC, 0xE0, 0xFF)) << "the far corner is on the page";
    EXPECT_EQ(PixelAt(page, 1000 / 4, 700 / 4), *wxWHITE);
    EXPECT_EQ(viewport.Bitmap(), buffer);
    EXPECT_EQ(PixelAt(Painted(viewport), 70, 50), before) << "the buffer was not touched";
}

TEST_F(WrapperTest, AScrolledChartOnScreen)
{
    // A grid of linked states, larger than the window.
    std::vector<CODSymbolComponent*> grid;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            grid.push_back(odtest::MakeSymbol("S", 40 + c * 200, 40 + r * 140));
            model.AppendComponent(grid.back());
        }
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c + 1 < 8; ++c) {
            auto* link = new CODLinkComponent;
            auto* cmd = new CODLinkCommand(&model);
            cmd->SetLink(link);
            cmd->SetStartPort(grid[r * 8 + c]->GetPort());
            cmd->SetEndPort(grid[r * 8 + c + 1]->GetPort());
            ASSERT_TRUE(model.ExecuteCommand(cmd));
            link->SetEndDecoration(12);
        }
    ScrolledChart chart;
    wxWindow* canvas = NewCanvas(700, 500);
    Open(chart, canvas);
    chart.ScrollBy(60, 30);
    canvas->Refresh();
    canvas->Update();
    wxYield();
    EXPECT_EQ(chart.GetVertBar()->GetThumbPosition(), 30);
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "diagram_wrapper_test";
    std::filesystem::create_directories(out);
    const std::string shot = (out / "scrolled_chart.png").string();
    EXPECT_EQ(std::system(("import -window root '" + shot + "'").c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(shot));
}

TEST_F(WrapperTest, AViewportThatRefusesPrintsNothing)
{
    struct Refusing : CODViewport {
        bool OnPreparePrinting(void*) override { return false; }
    } viewport;
    viewport.SetModel(&model);
    EXPECT_EQ(CODPrintout::Create(viewport, "chart"), nullptr);
}

} // namespace
