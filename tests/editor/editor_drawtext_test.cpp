// The text box below a chart element: layout and drawing.
#include "charts/elements/drawtext.h"

#include "diagram/odcomponent.h"
#include "diagram/odproperty.h"

#include "tests/common/wxtestenv.h"

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

using namespace tarnwick;

namespace {

const auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new kelm::test::WxTestEnvironment("editor_drawtext_test"));

// 7 units per character, 12 per line.
wxSize FixedMeasure(const std::string& line) { return wxSize(static_cast<int>(line.size()) * 7, 12); }

TEST(MultiLineText, LayoutHangsTheBoxCentredBelowTheRectangle)
{
    struct Case {
        const char* text;
        std::vector<std::string> lines;
        wxRect box;
    } cases[] = {
        {"abc", {"abc"}, wxRect(44, 60, 31, 22)},
        {"ab\r\nabcd\n", {"ab", "abcd"}, wxRect(41, 60, 38, 34)},
        {"\r\n\r\n", {}, wxRect(55, 60, 10, 10)},
        {"", {}, wxRect(55, 60, 10, 10)},
        {"\rx\r\ry", {"x", "y"}, wxRect(51, 60, 17, 34)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto layout = LayoutMultiLineText(wxRect(10, 20, 100, 40), c.text, FixedMeasure);
        EXPECT_EQ(layout.lines, c.lines);
        EXPECT_EQ(layout.box, c.box);
        ASSERT_EQ(layout.origins.size(), c.lines.size());
        for (std::size_t i = 0; i < layout.origins.size(); ++i)
            EXPECT_EQ(layout.origins[i],
                      wxPoint(c.box.x + 5, c.box.y + 5 + static_cast<int>(i) * (c.box.height / static_cast<int>(c.lines.size()))));
    }
    // A box wider than the rectangle starts left of it (halved toward zero).
    auto wide = LayoutMultiLineText(wxRect(0, 0, 10, 10), "abcdef", FixedMeasure);
    EXPECT_EQ(wide.box.x, (10 - 52) / 2);
}

TEST(MultiLineText, DrawsOnlyWithTheComponentsFont)
{
    wxBitmap bitmap(200, 200);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();

    CODComponent plain;
    DrawMultiLineText(dc, wxRect(50, 10, 100, 40), "Состояние\nпервое", &plain);
    DrawMultiLineText(dc, wxRect(50, 10, 100, 40), "x", nullptr);
    wxColour pixel;
    ASSERT_TRUE(dc.GetPixel(100, 52, &pixel));
    EXPECT_EQ(pixel, *wxWHITE);

    CODComponent withFont;
    withFont.SetProperty(CODFontProperty("DejaVu Sans", 10));
    DrawMultiLineText(dc, wxRect(50, 10, 100, 40), "Состояние\nпервое", &withFont);
    ASSERT_TRUE(dc.GetPixel(100, 52, &pixel));
    EXPECT_EQ(pixel, wxColour(255, 255, 200));
}

} // namespace
