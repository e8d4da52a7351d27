// What the scroll bars show and how far they, the wheel and the pull-back
// scroll, without a display; and the small move that starts no drag.
#include "diagram/mvcscroll.h"
#include "diagram/odcontroller.h"

#include <gtest/gtest.h>

namespace {

TEST(ScrollArithmetic, BarsShowWhereTheViewStandsAndWhetherTheyAreNeeded)
{
    struct Case {
        const char* what;
        MvcScrollGeometry g;
        MvcBarValues h, v;
    };
    const Case cases[] = {
        {"chart larger than the window", {{100, 50}, {800, 600}, {0, 0}, {2000, 1500}},
         {100, 800, 2000, true}, {50, 600, 1500, true}},
        {"chart smaller than the window", {{0, 0}, {800, 600}, {0, 0}, {500, 400}},
         {0, 800, 500, false}, {0, 600, 400, false}},
        {"exactly fits", {{0, 0}, {800, 600}, {0, 0}, {800, 600}}, {0, 800, 800, false}, {0, 600, 600, false}},
        {"wider only", {{0, 0}, {800, 600}, {0, 0}, {801, 600}}, {0, 800, 801, true}, {0, 600, 600, false}},
        {"drawing reaches left of and above 0", {{0, 0}, {800, 600}, {-100, -50}, {2000, 1500}},
         {100, 800, 2000, true}, {50, 600, 1500, true}},
    };
    for (const Case& c : cases) {
        const MvcBarValues h = MvcHorzBarValues(c.g), v = MvcVertBarValues(c.g);
        EXPECT_EQ(h.position, c.h.position) << c.what;
        EXPECT_EQ(h.page, c.h.page) << c.what;
        EXPECT_EQ(h.range, c.h.range) << c.what;
        EXPECT_EQ(h.needed, c.h.needed) << c.what;
        EXPECT_EQ(v.position, c.v.position) << c.what;
        EXPECT_EQ(v.page, c.v.page) << c.what;
        EXPECT_EQ(v.range, c.v.range) << c.what;
        EXPECT_EQ(v.needed, c.v.needed) << c.what;
    }
}

TEST(ScrollArithmetic, PullBackAfterShrinkingNeverPassesTheStart)
{
    struct Case {
        const char* what;
        MvcScrollGeometry g;
        CSize back;
    };
    const Case cases[] = {
        {"window grew at the end", {{1200, 900}, {1000, 800}, {0, 0}, {2000, 1500}}, {-200, -200}},
        {"chart shrank below the view", {{700, 0}, {800, 600}, {0, 0}, {1000, 600}}, {-500, 0}},
        {"only as far as the start", {{50, 30}, {800, 600}, {0, 0}, {500, 400}}, {-50, -30}},
        {"at the start already", {{0, 0}, {800, 600}, {0, 0}, {500, 400}}, {0, 0}},
        {"before the start: nothing to pull", {{-20, -20}, {800, 600}, {0, 0}, {500, 400}}, {0, 0}},
        {"no overhang", {{100, 100}, {800, 600}, {0, 0}, {2000, 1500}}, {0, 0}},
        {"drawing starts left of 0", {{-50, 0}, {800, 600}, {-100, 0}, {500, 600}}, {-50, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MvcPullBack(c.g), c.back) << c.what;
}

TEST(ScrollArithmetic, BarMessagesScrollByLinePageOrThumb)
{
    struct Case {
        int code;
        std::int32_t amount;
    };
    // Line step 10, page 600; the thumb now at 0-based 300 over a drawing
    // that starts at -100, the view at 150.
    const Case cases[] = {{MVC_SB_LINEUP, -10},       {MVC_SB_LINEDOWN, 10},   {MVC_SB_PAGEUP, -600},
                          {MVC_SB_PAGEDOWN, 600},     {MVC_SB_THUMBPOSITION, 50}, {MVC_SB_THUMBTRACK, 50},
                          {MVC_SB_OTHER, 0},          {6, 0},                  {7, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(MvcScrollAmount(c.code, 10, 600, 300, -100, 150), c.amount) << c.code;
}

TEST(ScrollArithmetic, ScrollsStayOverTheDrawing)
{
    const MvcScrollGeometry g{{100, 0}, {800, 600}, {0, 0}, {2000, 1500}};
    EXPECT_EQ(MvcClampScroll(g, {-10, 0}), CSize(-10, 0));
    EXPECT_EQ(MvcClampScroll(g, {-500, -10}), CSize(-100, 0)) << "not before the start";
    EXPECT_EQ(MvcClampScroll(g, {5000, 5000}), CSize(1100, 900)) << "not past where the end shows";
    const MvcScrollGeometry small{{0, 0}, {800, 600}, {0, 0}, {500, 400}};
    EXPECT_EQ(MvcClampScroll(small, {10, 10}), CSize(0, 0)) << "all of it shows";
    const MvcScrollGeometry outside{{-30, 900}, {800, 600}, {0, 0}, {2000, 1000}};
    EXPECT_EQ(MvcClampScroll(outside, {10, -10}), CSize(10, -10)) << "back towards the drawing";
}

TEST(ScrollArithmetic, WheelStepsAccumulateAndPickTheAxis)
{
    struct Step {
        int rotation;
        bool control, horizontalAxis, horzBar, vertBar;
        CSize by; // how far the logical origin moves
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"two notches away: 20 up", {{240, false, false, true, true, {0, -20}}}},
        {"one notch back: 10 down", {{-120, false, false, true, true, {0, 10}}}},
        {"half notches add up", {{60, false, false, true, true, {0, 0}}, {60, false, false, true, true, {0, -10}}}},
        {"half notches cancel", {{60, false, false, true, true, {0, 0}}, {-60, false, false, true, true, {0, 0}},
                                 {60, false, false, true, true, {0, 0}}}},
        {"Ctrl without a horizontal bar", {{120, true, false, false, true, {0, 0}}}},
        {"Ctrl scrolls horizontally", {{120, true, false, true, true, {-10, 0}}}},
        {"only the horizontal bar shows", {{-240, false, false, true, false, {20, 0}}}},
        {"no bar shows", {{120, false, false, false, false, {0, 0}}}},
        {"horizontal wheel turned right", {{120, false, true, true, true, {10, 0}}}},
        {"horizontal wheel without a horizontal bar", {{120, false, true, false, true, {0, 0}}}},
        {"each wheel keeps its own remainder",
         {{60, false, false, true, true, {0, 0}}, {60, false, true, true, true, {0, 0}},
          {60, false, false, true, true, {0, -10}}}},
    };
    for (const Case& c : cases) {
        MvcWheel wheel;
        int n = 0;
        for (const Step& s : c.steps)
            EXPECT_EQ(wheel.OnWheel(s.rotation, s.control, s.horizontalAxis, s.horzBar, s.vertBar, 10), s.by)
                << c.what << ", step " << n++;
    }
}

TEST(SmallMove, UnderFivePixelsFromThePressStartsNoDrag)
{
    struct Case {
        int state;
        CPoint press, at;
        bool swallowed;
    };
    const Case cases[] = {
        {OD_STATE_PRESSED, {100, 100}, {104, 100}, true},  {OD_STATE_PRESSED, {100, 100}, {105, 100}, false},
        {OD_STATE_PRESSED, {100, 100}, {95, 100}, false},  {OD_STATE_PRESSED, {100, 100}, {96, 100}, true},
        {OD_STATE_PRESSED, {100, 100}, {100, 104}, true},  {OD_STATE_PRESSED, {100, 100}, {100, 105}, false},
        {OD_STATE_PRESSED, {100, 100}, {100, 95}, false},  {OD_STATE_PRESSED, {100, 100}, {104, 105}, false},
        {OD_STATE_PRESSED, {100, 100}, {100, 100}, true},
        // Captured outside the window: signed, not 65531.
        {OD_STATE_PRESSED, {0, 0}, {-5, 0}, false},       {OD_STATE_PRESSED, {-2, 3}, {-5, 0}, true},
        {OD_STATE_IDLE, {100, 100}, {101, 100}, false},    {OD_STATE_IDLE, {100, 100}, {100, 100}, false},
        {OD_STATE_DRAG, {100, 100}, {101, 100}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ODIsSmallMove(c.state, c.press, c.at), c.swallowed)
            << c.state << " (" << c.press.x << "," << c.press.y << ") -> (" << c.at.x << "," << c.at.y << ")";
}

} // namespace
