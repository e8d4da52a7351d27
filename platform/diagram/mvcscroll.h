// The arithmetic of a scrolled viewport, without a display: what the bars
// show, when they are needed, how far a bar or the wheel scrolls, and how
// far the view is pulled back when it has moved past the drawing's end. The
// scroll wrapper only shows these values on wx scroll bars.
#pragma once

#include "afx/geometry.h"

#include <cstdint>

// Where the viewport stands over its drawing, in logical units.
struct MvcScrollGeometry {
    CPoint logOrigin;  // top left of what is visible
    CSize logSize;     // how much is visible
    CPoint virtOrigin; // top left of the scrollable drawing
    CSize virtSize;    // size of the scrollable drawing
};

// One bar's values as wx takes them: 0-based, so the position is the
// distance of the visible area from the drawing's start.
struct MvcBarValues {
    std::int32_t position = 0;
    std::int32_t page = 0;  // also the thumb size
    std::int32_t range = 0;
    bool needed = false;    // the page is smaller than the range
};

MvcBarValues MvcHorzBarValues(const MvcScrollGeometry& g);
MvcBarValues MvcVertBarValues(const MvcScrollGeometry& g);

// After the view or the drawing shrank: how far to scroll back (never
// positive, never past the drawing's start) so that no empty space hangs
// beyond the drawing's end.
CSize MvcPullBack(const MvcScrollGeometry& g);

// Limits a scroll so that the view stays over the drawing: never before its
// start, never past where its end shows. A view that already stands outside
// may move back towards the drawing.
CSize MvcClampScroll(const MvcScrollGeometry& g, CSize by);

// The scroll bar's codes, as the handlers number them.
enum : int {
    MVC_SB_LINEUP = 0,
    MVC_SB_LINEDOWN = 1,
    MVC_SB_PAGEUP = 2,
    MVC_SB_PAGEDOWN = 3,
    MVC_SB_THUMBPOSITION = 4,
    MVC_SB_THUMBTRACK = 5,
    MVC_SB_OTHER = 8,
};

// How far one bar message scrolls along its axis. trackPos is the bar's new
// 0-based position (thumb codes only), virtOrigin and logOrigin the axis'
// drawing start and visible start.
std::int32_t MvcScrollAmount(int code, std::int32_t lineStep, std::int32_t page, std::int32_t trackPos,
                             std::int32_t virtOrigin, std::int32_t logOrigin);

// The wheel: rotations accumulate until they make a step of 120, so a
// touchpad's small deltas scroll too. A step scrolls lineStep logical units.
// The vertical wheel scrolls vertically, or horizontally when only the
// horizontal bar shows; with Ctrl it scrolls horizontally, and only when the
// horizontal bar shows. A horizontal wheel scrolls horizontally. A turn away
// from the user (positive) moves the view up or left; a horizontal wheel
// turned right (positive) moves it right.
class MvcWheel {
public:
    static constexpr int kStep = 120;
    // Returns how far to move the logical origin; (0, 0) when nothing moves.
    CSize OnWheel(int rotation, bool control, bool horizontalAxis, bool horzBarShown, bool vertBarShown,
                  std::int32_t lineStep);

private:
    int m_nPending[2] = {0, 0}; // vertical wheel, horizontal wheel
};
