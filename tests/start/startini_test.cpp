#include "start/startini.h"
#include "start/startlook.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace start;
using kelm::test::TempDir;

TEST(StartIni, SectionsBecomeButtonsInFileOrder)
{
    TempDir dir;
    auto ini = dir.write("Start.ini",
                         "[Main]\nBitmap=pic.png\nCaption=Kelm\nIconApp=app.ico\n"
                         "[Button3]\nType=Close\nPointBegin=1,2\nPointEnd=30,40\n"
                         "[Button01]\nType=Command\nCommandText=ignored\n"
                         "[ButtonX]\nType=Url\n"
                         "[Button0]\nType=Url\n"
                         "[Other]\nType=Url\n"
                         "[BUTTON2]\nType=url\nCommandText=https://example.org\nToolTip=Web\n"
                         "[Button2a]\nType=Command\n"
                         "[Button 5]\nType=Close\n"
                         "[Button4]\nType=COMMAND\nCommandText=run.sh\nParamText=-a \"b c\"\nCursorIco=\n");
    CStartSettings s = ReadStartIni(ini.string());
    EXPECT_TRUE(s.m_bHasMain);
    EXPECT_EQ(s.m_strBitmap, "pic.png");
    EXPECT_EQ(s.m_strCaption, "Kelm");
    EXPECT_EQ(s.m_strIconApp, "app.ico");
    ASSERT_EQ(s.m_arrButtons.size(), 6u);
    // [Button3] first; [Button01] reads [Button1], which does not exist.
    EXPECT_EQ(s.m_arrButtons[0].m_nType, ButtonClose);
    EXPECT_EQ(s.m_arrButtons[0].m_ptEnd, (StartPoint{30, 40}));
    EXPECT_EQ(s.m_arrButtons[1].m_nType, ButtonNone);
    EXPECT_EQ(s.m_arrButtons[1].m_strCommandText, "");
    EXPECT_EQ(s.m_arrButtons[1].m_ptBegin, (StartPoint{0, 0}));
    EXPECT_EQ(s.m_arrButtons[1].m_ptEnd, (StartPoint{0, 0}));
    // [BUTTON2] and [Button2a] both read [Button2].
    for (int i : {2, 3}) {
        EXPECT_EQ(s.m_arrButtons[i].m_nType, ButtonUrl);
        EXPECT_EQ(s.m_arrButtons[i].m_strCommandText, "https://example.org");
        EXPECT_EQ(s.m_arrButtons[i].m_strToolTip, "Web");
        EXPECT_EQ(s.m_arrButtons[i].m_strCursorIco, "CursorHand");
    }
    // [Button 5] reads [Button5], which does not exist.
    EXPECT_EQ(s.m_arrButtons[4].m_nType, ButtonNone);
    EXPECT_EQ(s.m_arrButtons[5].m_nType, ButtonCommand);
    EXPECT_EQ(s.m_arrButtons[5].m_strParamText, "-a \"b c\"");
    EXPECT_EQ(s.m_arrButtons[5].m_strCursorIco, "");
}

TEST(StartIni, NoMainOrNoFile)
{
    TempDir dir;
    EXPECT_FALSE(ReadStartIni((dir / "missing.ini").string()).m_bHasMain);
    auto ini = dir.write("Start.ini", "[Button1]\nType=Close\n");
    CStartSettings s = ReadStartIni(ini.string());
    EXPECT_FALSE(s.m_bHasMain);
    EXPECT_EQ(s.m_arrButtons.size(), 1u);
}

// Many sections and long values are read whole.
TEST(StartIni, NothingIsCut)
{
    TempDir dir;
    std::string text = "[Main]\nBitmap=" + std::string(3000, 'p') + "\n";
    for (int i = 1; i <= 400; ++i)
        text += "[Button" + std::to_string(i) + "]\nType=Close\n";
    auto ini = dir.write("Start.ini", text);
    CStartSettings s = ReadStartIni(ini.string());
    EXPECT_EQ(s.m_strBitmap.size(), 3000u);
    EXPECT_EQ(s.m_arrButtons.size(), 400u);
}

TEST(StartIni, ValueRules)
{
    struct Case {
        const char* selection;    // nullptr: key missing
        const char* colour;       // nullptr: key missing
        const char* fullLine;     // nullptr: key missing
        int wantSelection;
        COLORREF wantColour;
        int wantFullLine;
    } cases[] = {
        {nullptr, nullptr, "0", 1, 0, 1},
        {"", "", "0", 1, 0, 1},
        {"0", "255,0,0", nullptr, 0, MakeRgb(255, 0, 0), 0},
        {"0", "255,0,0", "1", 0, MakeRgb(255, 0, 0), 1},
        {"0", "255,0", "1", 0, 0, 1},
        {"0", "1,2,3,4", "1", 0, 0, 1},
        {"0", " 10 , 20 , 30 ", "1", 0, MakeRgb(10, 20, 30), 1},
        {"0", "300,0,0", "1", 0, MakeRgb(44, 0, 0), 1},
        {"0", "1,2,3,", "1", 0, MakeRgb(1, 2, 3), 1},
        {"0", "1,2,3, ,", "1", 0, 0, 1},
        {"0", "1,,3", "1", 0, MakeRgb(1, 0, 3), 1},
        {"1", "255,0,0", "1", 1, 0, 1},
        {"abc", "", "x", 0, 0, 0},
        {nullptr, "0,0,255", nullptr, 0, MakeRgb(0, 0, 255), 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string text = "[Main]\n[Button1]\n";
        if (c.selection)
            text += std::string("Selection=") + c.selection + "\n";
        if (c.colour)
            text += std::string("ColorLightSelection=") + c.colour + "\n";
        if (c.fullLine)
            text += std::string("FullLineSelection=") + c.fullLine + "\n";
        auto ini = dir.write("Start.ini", text);
        CButtonTemplate t = ReadButtonSection(ini.string(), "Button1");
        SCOPED_TRACE(text);
        EXPECT_EQ(t.m_bSelection, c.wantSelection);
        EXPECT_EQ(t.m_clrLightSelection, c.wantColour);
        EXPECT_EQ(t.m_bFullLineSelection, c.wantFullLine);
    }
}

TEST(StartIni, PointsAndNumbers)
{
    struct Case {
        const char* text;
        StartPoint want;
    } cases[] = {
        {"100", {0, 100}},   {"", {0, 0}},        {"10,20", {10, 20}}, {" 10 , 20 ", {10, 20}},
        {"-5,7", {-5, 7}},   {"12x,3y", {12, 3}}, {"a,b", {0, 0}},     {"1,2,3", {1, 2}},
        {"  +8", {0, 8}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePoint(c.text), c.want) << c.text;
    EXPECT_EQ(Atoi("  -12abc"), -12);
    EXPECT_EQ(Atoi("x1"), 0);
}

TEST(StartIni, WhereStartIniAndItsPathsAre)
{
    EXPECT_EQ(StartIniPath({}, "/opt/kelm/bin/start"), "/opt/kelm/bin/Start.ini");
    EXPECT_EQ(StartIniPath({"-x", "/kits/demo/Start.ini"}, "/opt/kelm/bin/start"), "/kits/demo/Start.ini");
    EXPECT_EQ(ResolveKitPath("/kits/demo/Start.ini", "pic\\start.png"), "/kits/demo/pic/start.png");
    EXPECT_EQ(ResolveKitPath("/kits/demo/Start.ini", "../bin/dorvik"), "/kits/bin/dorvik");
    EXPECT_EQ(ResolveKitPath("/kits/demo/Start.ini", "/usr/bin/env"), "/usr/bin/env");
    EXPECT_EQ(ResolveKitPath("/kits/demo/Start.ini", ""), "");
}

TEST(StartLook, EffectsAndBands)
{
    CButtonTemplate t;
    t.m_ptBegin = {100, 50};
    t.m_ptEnd = {200, 80};
    t.m_bSelection = 1;
    t.m_bFullLineSelection = 1;
    EXPECT_EQ(EffectOf(t), HoverEffect::Lighten);
    EXPECT_EQ(BandRects(t, 400), (std::vector<StartRect>{{0, 50, 90, 30}, {210, 50, 190, 30}}));
    // Too little room on either side, or too low a button: no band there.
    EXPECT_EQ(BandRects(t, 215), (std::vector<StartRect>{{0, 50, 90, 30}}));
    EXPECT_EQ(BandRects(t, 219), (std::vector<StartRect>{{0, 50, 90, 30}}));
    EXPECT_EQ(BandRects(t, 220), (std::vector<StartRect>{{0, 50, 90, 30}, {210, 50, 10, 30}}));
    CButtonTemplate low = t;
    low.m_ptEnd.y = 59;
    EXPECT_TRUE(BandRects(low, 400).empty());
    CButtonTemplate nearEdge = t;
    nearEdge.m_ptBegin.x = 19;
    EXPECT_EQ(BandRects(nearEdge, 400), (std::vector<StartRect>{{210, 50, 190, 30}}));
    CButtonTemplate noFullLine = t;
    noFullLine.m_bFullLineSelection = 0;
    EXPECT_TRUE(BandRects(noFullLine, 400).empty());
    CButtonTemplate tint = t;
    tint.m_bSelection = 0;
    tint.m_clrLightSelection = MakeRgb(255, 0, 0);
    EXPECT_EQ(EffectOf(tint), HoverEffect::Tint);
    EXPECT_EQ(BandRects(tint, 400).size(), 2u);
    CButtonTemplate none = tint;
    none.m_clrLightSelection = 0;
    EXPECT_EQ(EffectOf(none), HoverEffect::None);
    EXPECT_TRUE(BandRects(none, 400).empty());
}

TEST(StartLook, PixelArithmetic)
{
    std::uint8_t px[] = {0, 128, 255};
    LightenPixels(px, 1);
    EXPECT_EQ(px[0], 0 + 255 * kLightenPercent / 100);
    EXPECT_GT(px[1], 128);
    EXPECT_EQ(px[2], 255);

    // Blended in linear light: 50% of black over white is brighter than the
    // naive 128.
    std::uint8_t white[] = {255, 255, 255};
    TintPixels(white, 1, MakeRgb(0, 0, 0), 128);
    EXPECT_GT(white[0], 180);
    EXPECT_LT(white[0], 190);
    // Full alpha gives the colour; zero alpha changes nothing.
    std::uint8_t grey[] = {90, 90, 90, 90, 90, 90};
    TintPixels(grey, 1, MakeRgb(255, 0, 10), 255);
    EXPECT_EQ((std::vector<int>{grey[0], grey[1], grey[2], grey[3]}), (std::vector<int>{255, 0, 10, 90}));
    std::uint8_t same[] = {1, 2, 3};
    TintPixels(same, 1, MakeRgb(255, 255, 255), 0);
    EXPECT_EQ((std::vector<int>{same[0], same[1], same[2]}), (std::vector<int>{1, 2, 3}));
    // A red tint at the button's alpha reddens a grey pixel.
    std::uint8_t g2[] = {100, 100, 100};
    TintPixels(g2, 1, MakeRgb(255, 0, 0), kButtonTintAlpha);
    EXPECT_GT(g2[0], 150);
    EXPECT_LT(g2[1], 100);
}
