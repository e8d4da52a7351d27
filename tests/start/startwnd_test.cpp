// start's window in this process under the test display: made from a
// Start.ini of the test's own, hovered, clicked and dragged as a user does.
#include "start/startini.h"
#include "start/startwnd.h"

#include "tests/common/testsupport.h"
#include "tests/platform/diagram/wxtestapp.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using namespace start;
using kelm::test::TempDir;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new odtest::WxEnvironment);

// Lets the display deliver what it has, for `ms` milliseconds.
void Pump(int ms = 150)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

template <class Pred>
bool PumpUntil(Pred pred, int ms = 5000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (pred())
            return true;
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

wxColour PixelOf(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

// What the display shows now.
wxImage Screen()
{
    TempDir dir;
    std::string file = (dir.path() / "screen.png").string();
    EXPECT_EQ(std::system(("import -window root '" + file + "'").c_str()), 0);
    wxImage image;
    EXPECT_TRUE(image.LoadFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG));
    return image;
}

// A picture of the test's own: mid grey with a darker stripe.
std::filesystem::path MakePicture(const TempDir& dir, const char* name, int w, int h)
{
    wxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetRGB(x, y, 100, static_cast<unsigned char>(100 + (y % 40)), 120);
    auto path = dir.path() / name;
    EXPECT_TRUE(image.SaveFile(wxString::FromUTF8(path.string()), wxBITMAP_TYPE_PNG));
    return path;
}

std::filesystem::path Executable(const TempDir& dir, const std::string& name, const std::string& body)
{
    auto path = dir.write(name, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

bool IsAlive(wxWindow* w)
{
    for (wxWindow* top : wxTopLevelWindows)
        if (top == w && !w->IsBeingDeleted())
            return true;
    return false;
}

// A window with four buttons: lighten with bands, red tint with bands,
// no effect, and a command; plus a Close button.
struct Fixture {
    TempDir dir;
    std::string ini;
    CStartWnd* wnd = nullptr;
    std::filesystem::path marker = dir.path() / "marker.txt";

    explicit Fixture(const std::string& extra = "")
    {
        MakePicture(dir, "picture.png", 400, 300);
        Executable(dir, "make marker.sh", "echo \"$2\" > '" + marker.string() + ".tmp'; mv '" + marker.string() +
                                               ".tmp' '" + marker.string() + "'\n");
        ini = dir.write("Start.ini",
                        "[Main]\nBitmap=picture.png\nCaption=Start test\n"
                        "[Button1]\nType=Command\nCommandText=make marker.sh\nParamText=-m \"first run\"\n"
                        "PointBegin=100,20\nPointEnd=200,50\nToolTip=Install the database\n"
                        "[Button2]\nType=Url\nCommandText=https://example.org/kelm\nPointBegin=100,80\n"
                        "PointEnd=200,110\nSelection=0\nColorLightSelection=255,0,0\nFullLineSelection=1\n"
                        "[Button3]\nType=Close\nPointBegin=100,140\nPointEnd=200,170\nSelection=0\n"
                        "ColorLightSelection=1,2\n"
                        "[Button4]\nType=Command\nCommandText=sub/missing.sh\nPointBegin=100,200\nPointEnd=200,230\n" +
                            extra)
                  .string();
        wnd = new CStartWnd;
        EXPECT_TRUE(wnd->CreateStartWnd(ReadStartIni(ini), ini));
        Pump(300);
    }
    ~Fixture()
    {
        if (IsAlive(wnd))
            wnd->Destroy();
        Pump(50);
    }
    CStartButton* Button(int i) const { return wnd->Buttons()[static_cast<std::size_t>(i)]; }
    wxPoint CentreOf(int i) const { return Button(i)->GetScreenRect().GetPosition() + wxPoint(50, 15); }
    // What the window paints now, buttons' faces placed on it.
    wxImage Painted() const
    {
        wxBitmap bitmap(wnd->GetClientSize());
        wxMemoryDC dc(bitmap);
        wnd->DrawWindow(dc);
        for (CStartButton* b : wnd->Buttons())
            if (b->GetHandle() && b->HasFace())
                dc.DrawBitmap(b->CurrentFace(), b->GetPosition());
        dc.SelectObject(wxNullBitmap);
        return bitmap.ConvertToImage();
    }
};

} // namespace

TEST(StartWindow, TakesThePictureSizeAndMakesEveryButton)
{
    Fixture f;
    EXPECT_EQ(f.wnd->GetClientSize(), wxSize(400, 300));
    EXPECT_EQ(f.wnd->GetTitle(), "Start test");
    EXPECT_TRUE(f.wnd->IsShown());
    ASSERT_EQ(f.wnd->Buttons().size(), 4u);
    EXPECT_EQ(f.Button(0)->GetRect(), wxRect(100, 20, 100, 30));
    EXPECT_TRUE(f.Button(0)->HasFace());
    EXPECT_TRUE(f.wnd->GetIcon().IsOk());

    // A picture that does not load makes no window.
    CStartWnd* none = new CStartWnd;
    CStartSettings settings;
    settings.m_strBitmap = "no-such.png";
    EXPECT_FALSE(none->CreateStartWnd(settings, f.ini));
    EXPECT_EQ(none->GetHandle(), nullptr);
    delete none;
}

TEST(StartWindow, HoverLightensOrTintsTheButtonAndItsBands)
{
    Fixture f;
    wxImage plain = f.Painted();
    wxUIActionSimulator sim;
    sim.MouseMove(f.wnd->ClientToScreen(wxPoint(20, 280)));
    Pump();
    int paints[4];
    for (int i = 0; i < 4; ++i)
        paints[i] = f.Button(i)->PaintCount();

    // Lighten (the defaults): the button and the bands left and right of it.
    sim.MouseMove(f.CentreOf(0));
    ASSERT_TRUE(PumpUntil([&] { return f.Button(0)->IsHover(); }));
    Pump();
    EXPECT_EQ(f.wnd->HoverButton(), f.Button(0));
    wxImage lit = f.Painted();
    for (wxPoint p : {wxPoint(150, 35), wxPoint(50, 35), wxPoint(300, 35)}) {
        EXPECT_GT(PixelOf(lit, p.x, p.y).Red(), PixelOf(plain, p.x, p.y).Red()) << p.x;
        EXPECT_GT(PixelOf(lit, p.x, p.y).Blue(), PixelOf(plain, p.x, p.y).Blue()) << p.x;
    }
    // Not beside the button's rows, nor in the 10-pixel gap next to it.
    for (wxPoint p : {wxPoint(50, 60), wxPoint(95, 35), wxPoint(205, 35)})
        EXPECT_EQ(PixelOf(lit, p.x, p.y), PixelOf(plain, p.x, p.y)) << p.x << "," << p.y;
    // The display shows it: button and band lit.
    wxImage screen = Screen();
    for (wxPoint p : {wxPoint(150, 35), wxPoint(50, 35), wxPoint(300, 35), wxPoint(50, 60)}) {
        wxPoint at = f.wnd->ClientToScreen(p);
        EXPECT_EQ(PixelOf(screen, at.x, at.y), PixelOf(lit, p.x, p.y)) << p.x << "," << p.y;
    }
    // Only the button under the pointer was repainted.
    EXPECT_GT(f.Button(0)->PaintCount(), paints[0]);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(f.Button(i)->PaintCount(), paints[i]) << i;

    // Tint: red at the button's own alpha, and stronger in the bands.
    sim.MouseMove(f.CentreOf(1));
    ASSERT_TRUE(PumpUntil([&] { return f.Button(1)->IsHover() && !f.Button(0)->IsHover(); }));
    Pump();
    wxImage tinted = f.Painted();
    wxColour before = PixelOf(plain, 150, 95), onButton = PixelOf(tinted, 150, 95), inBand = PixelOf(tinted, 50, 95);
    EXPECT_GT(onButton.Red(), before.Red());
    EXPECT_LT(onButton.Green(), before.Green());
    EXPECT_GT(inBand.Red(), onButton.Red());
    EXPECT_LT(inBand.Green(), onButton.Green());
    std::uint8_t expected[3] = {before.Red(), before.Green(), before.Blue()};
    TintPixels(expected, 1, MakeRgb(255, 0, 0), kBandTintAlpha);
    EXPECT_EQ(inBand, wxColour(expected[0], expected[1], expected[2]));
    // The first button and its bands are plain again, on the display too.
    EXPECT_EQ(PixelOf(tinted, 150, 35), PixelOf(plain, 150, 35));
    screen = Screen();
    for (wxPoint p : {wxPoint(150, 35), wxPoint(50, 35), wxPoint(150, 95), wxPoint(50, 95)}) {
        wxPoint at = f.wnd->ClientToScreen(p);
        EXPECT_EQ(PixelOf(screen, at.x, at.y), PixelOf(tinted, p.x, p.y)) << p.x << "," << p.y;
    }

    // Two colour pieces: no tint, so nothing lights up.
    sim.MouseMove(f.CentreOf(2));
    ASSERT_TRUE(PumpUntil([&] { return f.Button(2)->IsHover(); }));
    Pump();
    wxImage unlit = f.Painted();
    EXPECT_EQ(PixelOf(unlit, 150, 155), PixelOf(plain, 150, 155));
    EXPECT_EQ(PixelOf(unlit, 50, 155), PixelOf(plain, 50, 155));

    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "start_window_test";
    std::filesystem::create_directories(out);
    sim.MouseMove(f.CentreOf(1));
    Pump(300);
    std::system(("import -window root '" + (out / "hover.png").string() + "'").c_str());
}

TEST(StartWindow, ToolTipIsAGradientWithWhiteText)
{
    Fixture f;
    wxUIActionSimulator sim;
    sim.MouseMove(f.CentreOf(0));
    ASSERT_TRUE(PumpUntil([&] { return f.wnd->ToolTip()->IsShown(); }));
    wxBitmap bitmap(120, 30);
    wxMemoryDC dc(bitmap);
    CStartToolTipCtrl::DrawTip(dc, wxSize(120, 30), "");
    dc.SelectObject(wxNullBitmap);
    wxImage tip = bitmap.ConvertToImage();
    EXPECT_EQ(PixelOf(tip, 0, 0), wxColour(104, 165, 225));
    EXPECT_EQ(PixelOf(tip, 119, 29), wxColour(37, 92, 222));
    // Pressing the button hides it.
    sim.MouseDown();
    ASSERT_TRUE(PumpUntil([&] { return !f.wnd->ToolTip()->IsShown(); }));
    sim.MouseUp();
    Pump();
}

TEST(StartWindow, ButtonsRunCommandsOpenAddressesAndClose)
{
    TempDir bin;
    auto recorded = bin.path() / "xdg-open.txt";
    Executable(bin, "xdg-open", "printf '%s\\n' \"$1\" > '" + recorded.string() + "'\n");
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.path().string() + ":" + oldPath).c_str(), 1);

    // Twenty buttons before a last Command one: every button acts.
    std::string extra;
    for (int i = 5; i <= 21; ++i)
        extra += "[Button" + std::to_string(i) + "]\nType=None\n";
    extra += "[Button22]\nType=Command\nCommandText=make marker.sh\nParamText=-m twenty-second\n"
             "PointBegin=300,250\nPointEnd=350,280\n";
    Fixture f(extra);
    std::vector<std::pair<std::string, int>> failures;
    f.wnd->m_onOpenFailed = [&](const std::string& target, int result) { failures.emplace_back(target, result); };

    wxUIActionSimulator sim;
    sim.MouseMove(f.CentreOf(0));
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(f.marker); }));
    EXPECT_EQ(kelm::test::readFile(f.marker), "first run\n");

    sim.MouseMove(f.CentreOf(1));
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(recorded); }));
    EXPECT_EQ(kelm::test::readFile(recorded), "https://example.org/kelm\n");

    // A command that cannot be opened is reported, not swallowed.
    sim.MouseMove(f.CentreOf(3));
    Pump();
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].first, (f.dir.path() / "sub" / "missing.sh").string());
    EXPECT_EQ(failures[0].second, 2);

    std::filesystem::remove(f.marker);
    ASSERT_EQ(f.wnd->Buttons().size(), 22u);
    f.wnd->ExecuteButton(kFirstButtonId + 21);
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(f.marker); }));
    EXPECT_EQ(kelm::test::readFile(f.marker), "twenty-second\n");

    // A press released outside the button does nothing.
    sim.MouseMove(f.CentreOf(2));
    Pump();
    sim.MouseDown();
    Pump();
    sim.MouseMove(f.wnd->ClientToScreen(wxPoint(20, 280)));
    Pump();
    sim.MouseUp();
    Pump();
    EXPECT_TRUE(IsAlive(f.wnd));

    sim.MouseMove(f.CentreOf(2));
    Pump();
    sim.MouseClick();
    EXPECT_TRUE(PumpUntil([&] { return !IsAlive(f.wnd); }));
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(StartWindow, EscapeClosesAndTheBackgroundDrags)
{
    Fixture f;
    wxUIActionSimulator sim;
    wxPoint before = f.wnd->GetPosition();
    const wxPoint grab = f.wnd->ClientToScreen(wxPoint(20, 280));
    sim.MouseMove(grab);
    Pump();
    sim.MouseDown();
    Pump();
    sim.MouseMove(grab + wxPoint(20, -10));
    Pump();
    sim.MouseMove(grab + wxPoint(50, -30));
    Pump();
    sim.MouseUp();
    Pump(300);
    EXPECT_EQ(f.wnd->GetPosition(), before + wxPoint(50, -30));

    f.wnd->Raise();
    f.wnd->SetFocus();
    Pump();
    sim.Char(WXK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !IsAlive(f.wnd); }));
}
