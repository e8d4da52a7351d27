// Drawing through the viewport under a display: a model drawn to a picture
// and checked against the library's own drawing rules.
#include "tests/platform/diagram/fixtures.h"

#include "diagram/odcontroller.h"
#include "diagram/odviewport.h"

#include "afx/cmdid.h"

#include "tests/common/testsupport.h"
#include "tests/platform/diagram/wxtestapp.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new odtest::WxEnvironment);

bool inked(const wxImage& img, int x, int y)
{
    return img.GetRed(x, y) < 160 && img.GetGreen(x, y) < 160 && img.GetBlue(x, y) < 160;
}

bool white(const wxImage& img, int x, int y)
{
    return img.GetRed(x, y) == 255 && img.GetGreen(x, y) == 255 && img.GetBlue(x, y) == 255;
}

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.SetSize(CSize(400, 160));
        a = odtest::MakeSymbol("A", 20, 40);
        b = odtest::MakeSymbol("B", 260, 40);
        a->SetProperty(CODIntProperty(OD_PROP_FILL, 0xFFEECC));
        b->SetProperty(CODIntProperty(OD_PROP_FILL, 0xCCE0FF));
        auto* label = new CODTextComponent;
        label->SetName("DocState");
        label->SetText("Счёт");
        label->SetTextRect(CRect(-40, 5, 40, 25));
        b->AppendChild(label);
        b->SetProperty(CODFontProperty("Arial CYR", 10));
        model.AppendComponent(a);
        model.AppendComponent(b);
        link = new CODLinkComponent;
        auto* cmd = new CODLinkCommand(&model);
        cmd->SetLink(link);
        cmd->SetStartPort(a->GetPort());
        cmd->SetEndPort(b->GetPort());
        ASSERT_TRUE(model.ExecuteCommand(cmd));
        link->SetEndDecoration(20);
        viewport.SetModel(&model);
    }

    CODModel model;
    CODViewport viewport;
    CODSymbolComponent* a = nullptr;
    CODSymbolComponent* b = nullptr;
    CODLinkComponent* link = nullptr;
};

TEST_F(DrawTest, ModelDrawnToAPictureFollowsTheDrawingRules)
{
    wxImage img;
    ASSERT_TRUE(viewport.DrawToImage(img, 0));
    // The whole virtual area: (0, 0, model size), one more for the far edges.
    ASSERT_EQ(img.GetWidth(), 401);
    ASSERT_EQ(img.GetHeight(), 161);

    kelm::test::TempDir dir;
    const std::string png = (dir / "chart.png").string();
    ASSERT_TRUE(img.SaveFile(png, wxBITMAP_TYPE_PNG));
    if (const char* keep = std::getenv("KELM_KEEP_PICTURES"))
        img.SaveFile(wxString::FromUTF8(keep) + "/chart.png", wxBITMAP_TYPE_PNG);
    wxImage back(png, wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(back.IsOk());

    // Background.
    EXPECT_TRUE(white(back, 5, 5));
    EXPECT_TRUE(white(back, 200, 150));
    // Fill of A inside its outline, exact.
    EXPECT_EQ(back.GetRed(40, 50), 0xFF);
    EXPECT_EQ(back.GetGreen(40, 50), 0xEE);
    EXPECT_EQ(back.GetBlue(40, 50), 0xCC);
    // Outline of A: its left edge at x 20 from y 40 to 100.
    EXPECT_TRUE(inked(back, 20, 60) || inked(back, 21, 60));
    EXPECT_TRUE(inked(back, 60, 40) || inked(back, 60, 41));
    // The link runs at y 70 from A's border (x 120) to B's border (x 260),
    // not through the symbols, and ends in a filled arrow at B.
    for (int x : {130, 190, 230})
        EXPECT_TRUE(inked(back, x, 70) || inked(back, x, 69) || inked(back, x, 71)) << x;
    EXPECT_EQ(back.GetRed(90, 70), 0xFF) << "inside A the fill shows, not the link";
    EXPECT_TRUE(inked(back, 250, 73)) << "arrow body, off the line's axis";
    EXPECT_FALSE(inked(back, 230, 75)) << "behind the arrow only the line";
    // The label of B: ink inside its rectangle (x 270..350, y 45..65).
    int ink = 0;
    for (int y = 45; y < 65; ++y)
        for (int x = 270; x < 350; ++x)
            ink += inked(back, x, y);
    EXPECT_GT(ink, 10);
    // Hidden components are not drawn.
    b->SetVisible(false);
    wxImage hidden;
    ASSERT_TRUE(viewport.DrawToImage(hidden, 0));
    EXPECT_TRUE(white(hidden, 300, 50));
}

// A symbol of some shape whose port sits at local (0, py), placed with its
// top-left corner at (x, y); its outline in model space comes back too.
CODSymbolComponent* shapedSymbol(const std::vector<CPoint>& polygon, const CRect& ellipse, int py, int x, int y,
                                 std::vector<CPoint>& outline)
{
    auto* s = new CODSymbolComponent;
    auto* port = new CODPortComponent;
    port->SetLocation(CPoint(0, py), 3);
    s->AppendChild(port);
    s->SetPort(port);
    CODComponent* shape = nullptr;
    if (!polygon.empty()) {
        shape = new CODPolygonComponent;
        shape->SetVertices(polygon.data(), static_cast<int>(polygon.size()));
    } else {
        shape = new CODEllipseComponent(ellipse);
    }
    shape->UpdateBounds();
    s->AppendChild(shape);
    s->UpdateBounds();
    s->MoveTo(x, y);
    outline.clear();
    const CRect b = shape->GetModelBounds();
    if (!polygon.empty()) {
        for (CPoint p : polygon)
            outline.push_back(s->ChildToModel(p));
    } else {
        for (int i = 0; i < 360; ++i) {
            const double a = i * M_PI / 180;
            outline.emplace_back(static_cast<int>(std::lround((b.left + b.right) / 2.0 + b.Width() / 2.0 * std::cos(a))),
                                 static_cast<int>(std::lround((b.top + b.bottom) / 2.0 + b.Height() / 2.0 * std::sin(a))));
        }
    }
    return s;
}

double distanceToOutline(const std::vector<CPoint>& outline, double x, double y)
{
    double best = 1e9;
    for (std::size_t i = 0; i < outline.size(); ++i)
        best = std::min(best, od::DistanceToSegment(CPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))),
                                                    outline[i], outline[(i + 1) % outline.size()]));
    return best;
}

TEST(DrawLinks, ALinkMeetsTheOutlineOfTheSymbolItEndsAtWhateverItsShape)
{
    struct Case {
        const char* what;
        std::vector<CPoint> polygon; // else the ellipse
        CRect ellipse;
        int portY;
        CPoint from; // top-left of the source, a plain box
        CPoint to;   // top-left of the target
    };
    // The notched look of a state that creates documents: its left side
    // points inwards, so its box is not its border.
    const std::vector<CPoint> notched{{-80, 0}, {50, 0}, {80, 25}, {50, 50}, {-80, 50}, {-50, 25}, {-80, 0}};
    const std::vector<CPoint> box{{-50, 0}, {50, 0}, {50, 50}, {-50, 50}};
    const Case cases[] = {
        {"a box entered steeply past its corner", box, {}, 25, {0, 20}, {150, 260}},
        {"a notched symbol entered through its notch", notched, {}, 25, {20, 150}, {400, 200}},
        {"an ellipse entered across the corner of its box", {}, CRect(-40, 0, 40, 30), 15, {80, 300}, {400, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CODModel model;
        model.SetSize(CSize(600, 400));
        std::vector<CPoint> sourceOutline, targetOutline;
        CODSymbolComponent* source = shapedSymbol(box, {}, 25, c.from.x, c.from.y, sourceOutline);
        CODSymbolComponent* target = shapedSymbol(c.polygon, c.ellipse, c.portY, c.to.x, c.to.y, targetOutline);
        model.AppendComponent(source);
        model.AppendComponent(target);
        auto* link = new CODLinkComponent;
        auto* cmd = new CODLinkCommand(&model);
        cmd->SetLink(link);
        cmd->SetStartPort(source->GetPort());
        cmd->SetEndPort(target->GetPort());
        ASSERT_TRUE(model.ExecuteCommand(cmd));
        CODViewport viewport;
        viewport.SetModel(&model);
        wxImage img;
        ASSERT_TRUE(viewport.DrawToImage(img, 0));
        if (const char* keep = std::getenv("KELM_KEEP_PICTURES"))
            img.SaveFile(wxString::FromUTF8(keep) + "/link-" + wxString::Format("%d", int(&c - cases)) + ".png",
                         wxBITMAP_TYPE_PNG);

        // From the source's port towards the target's: where the line enters
        // the target, and on either side of that.
        const CPoint a = source->GetPort()->GetLocation(), b = target->GetPort()->GetLocation();
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        auto at = [&](double d) { return std::make_pair(a.x + (b.x - a.x) * d / len, a.y + (b.y - a.y) * d / len); };
        double entry = -1;
        for (double d = 0; d < len && entry < 0; d += 0.25) {
            const auto [x, y] = at(d);
            if (distanceToOutline(targetOutline, x, y) < 0.5)
                entry = d;
        }
        ASSERT_GT(entry, 0);
        int outside = 0, inside = 0;
        for (int d = 3; d <= 10; ++d) {
            const auto [ox, oy] = at(entry - d);
            if (distanceToOutline(targetOutline, ox, oy) >= 2.5) {
                ++outside;
                const int x = static_cast<int>(std::lround(ox)), y = static_cast<int>(std::lround(oy));
                EXPECT_TRUE(inked(img, x, y) || inked(img, x + 1, y) || inked(img, x, y + 1) || inked(img, x - 1, y) ||
                            inked(img, x, y - 1))
                    << "the line stops short of the border, " << d << " px out at (" << x << ", " << y << ")";
            }
            const auto [ix, iy] = at(entry + d + 20);
            if (distanceToOutline(targetOutline, ix, iy) >= 2.5) {
                ++inside;
                EXPECT_FALSE(inked(img, static_cast<int>(std::lround(ix)), static_cast<int>(std::lround(iy))))
                    << "the line runs on inside the symbol";
            }
        }
        EXPECT_GE(outside, 3);
        EXPECT_GE(inside, 3);
        viewport.SetModel(nullptr);
    }
}

TEST_F(DrawTest, PictureWrittenAsJpegThroughTheImageObject)
{
    kelm::test::TempDir dir;
    CODImage image;
    ASSERT_TRUE(image.Create(viewport));
    const std::string path = (dir / "chart.jpg").string();
    ASSERT_TRUE(image.Save(path, wxBITMAP_TYPE_JPEG));
    const std::string bytes = kelm::test::readFile(path);
    ASSERT_GT(bytes.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    wxImage back(path, wxBITMAP_TYPE_JPEG);
    ASSERT_TRUE(back.IsOk());
    EXPECT_EQ(back.GetWidth(), 401);
    EXPECT_FALSE(image.Save((dir / "missing" / "chart.jpg").string(), wxBITMAP_TYPE_JPEG));
}

TEST_F(DrawTest, ScaleAndContextMenu)
{
    viewport.SetScale(0.5);
    wxImage img;
    ASSERT_TRUE(viewport.DrawToImage(img, 0));
    EXPECT_EQ(img.GetWidth(), 201);
    EXPECT_EQ(img.GetRed(20, 25), 0xFF); // A's fill at half size
    EXPECT_EQ(img.GetBlue(20, 25), 0xCC);

    CODController ctl(&viewport);
    std::unique_ptr<wxMenu> menu(ctl.BuildContextMenu());
    ASSERT_EQ(menu->GetMenuItemCount(), 5u);
    EXPECT_EQ(FromWxId(menu->FindItemByPosition(0)->GetId()), ID_OD_EDIT_CUT);
    EXPECT_EQ(FromWxId(menu->FindItemByPosition(1)->GetId()), ID_OD_EDIT_COPY);
    EXPECT_EQ(FromWxId(menu->FindItemByPosition(2)->GetId()), ID_OD_EDIT_PASTE);
    EXPECT_TRUE(menu->FindItemByPosition(3)->IsSeparator());
    EXPECT_EQ(menu->FindItemByPosition(4)->GetItemLabelText().utf8_string(), "Свойства...");
    EXPECT_EQ(FromWxId(menu->FindItemByPosition(4)->GetId()), 44546);
}

TEST_F(DrawTest, ALinkBeingDrawnIsShownWhileTheButtonIsDown)
{
    CODController* ctl = viewport.GetController();
    viewport.SetSize(401, 161);
    ctl->OnInsertLink(new CODLinkComponent);
    ctl->OnLButtonDown(OD_MK_LBUTTON, CPoint(70, 70)); // A's port
    ctl->OnMouseMove(OD_MK_LBUTTON, CPoint(200, 140));
    wxBitmap bmp(401, 161, 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    viewport.OnPrepareDC(dc, 0);
    viewport.Draw(dc);
    dc.SelectObject(wxNullBitmap);
    const wxImage img = bmp.ConvertToImage();
    // Along the pending segment from (70, 70) to (200, 140), outside A.
    int ink = 0;
    for (int x = 130; x <= 190; x += 10) {
        const int y = 70 + (x - 70) * 70 / 130;
        ink += inked(img, x, y) || inked(img, x, y - 1) || inked(img, x, y + 1);
    }
    EXPECT_GE(ink, 3) << "a dotted line shows the link being drawn";
    ctl->OnKeyDown(WXK_ESCAPE, 0);
    EXPECT_EQ(ctl->GetInsertComponent(), nullptr);
}

TEST_F(DrawTest, TextIsEditedInPlace)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "chart", wxDefaultPosition, wxSize(500, 300));
    auto* canvas = new wxWindow(frame, wxID_ANY);
    frame->Show();
    ASSERT_TRUE(viewport.Create(canvas));
    CODController* ctl = viewport.GetController();
    auto* label = static_cast<CODTextComponent*>(b->FindChild("DocState"));

    ctl->OnLButtonDblClk(0, CPoint(300, 55)); // on B's label
    wxTextCtrl* editor = nullptr;
    for (wxWindow* w : canvas->GetChildren())
        if ((editor = dynamic_cast<wxTextCtrl*>(w)))
            break;
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetValue().utf8_string(), "Счёт");
    editor->SetValue(wxString::FromUTF8("Счёт-фактура"));
    wxFocusEvent lost(wxEVT_KILL_FOCUS, editor->GetId());
    lost.SetEventObject(editor);
    editor->GetEventHandler()->ProcessEvent(lost);
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(label->GetText(), "Счёт-фактура");
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(label->GetText(), "Счёт");

    // An editor left open goes with its window.
    ctl->OnLButtonDblClk(0, CPoint(300, 55));
    frame->Destroy();
    wxTheApp->ProcessIdle(); // top-level windows go at idle time
    EXPECT_EQ(viewport.GetWnd(), nullptr);
}

} // namespace
