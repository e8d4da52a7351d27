// Drawing through the viewport under a display: a model drawn to a picture
// and checked against the library's own drawing rules.
#include "fixtures.h"

#include "diagram/odcontroller.h"
#include "diagram/odviewport.h"

#include "afx/cmdid.h"

#include "testsupport.h"
#include "wxtestapp.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

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
