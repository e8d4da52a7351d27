#include "diagram/mvcscroll.h"

#include <algorithm>

namespace {

MvcBarValues barValues(std::int32_t logOrigin, std::int32_t logSize, std::int32_t virtOrigin,
                       std::int32_t virtSize)
{
    MvcBarValues v;
    v.range = std::max(0, virtSize);
    v.page = std::max(0, logSize);
    v.position = logOrigin - virtOrigin;
    v.needed = v.page < v.range;
    return v;
}

std::int32_t pullBack(std::int32_t logOrigin, std::int32_t logSize, std::int32_t virtOrigin, std::int32_t virtSize)
{
    const std::int64_t overhang =
        (std::int64_t{logOrigin} + logSize) - (std::int64_t{virtOrigin} + virtSize);
    const std::int64_t position = std::int64_t{logOrigin} - virtOrigin;
    if (overhang <= 0 || position <= 0)
        return 0;
    return static_cast<std::int32_t>(-std::min(position, overhang));
}

std::int32_t clampAxis(std::int32_t logOrigin, std::int32_t logSize, std::int32_t virtOrigin, std::int32_t virtSize,
                       std::int32_t by)
{
    const std::int64_t last = std::max<std::int64_t>(virtOrigin, std::int64_t{virtOrigin} + virtSize - logSize);
    const std::int64_t lo = std::min<std::int64_t>(logOrigin, virtOrigin);
    const std::int64_t hi = std::max<std::int64_t>(logOrigin, last);
    const std::int64_t to = std::clamp<std::int64_t>(std::int64_t{logOrigin} + by, lo, hi);
    return static_cast<std::int32_t>(to - logOrigin);
}

} // namespace

CSize MvcClampScroll(const MvcScrollGeometry& g, CSize by)
{
    return {clampAxis(g.logOrigin.x, g.logSize.cx, g.virtOrigin.x, g.virtSize.cx, by.cx),
            clampAxis(g.logOrigin.y, g.logSize.cy, g.virtOrigin.y, g.virtSize.cy, by.cy)};
}

MvcBarValues MvcHorzBarValues(const MvcScrollGeometry& g)
{
    return barValues(g.logOrigin.x, g.logSize.cx, g.virtOrigin.x, g.virtSize.cx);
}

MvcBarValues MvcVertBarValues(const MvcScrollGeometry& g)
{
    return barValues(g.logOrigin.y, g.logSize.cy, g.virtOrigin.y, g.virtSize.cy);
}

CSize MvcPullBack(const MvcScrollGeometry& g)
{
    return {pullBack(g.logOrigin.x, g.logSize.cx, g.virtOrigin.x, g.virtSize.cx),
            pullBack(g.logOrigin.y, g.logSize.cy, g.virtOrigin.y, g.virtSize.cy)};
}

std::int32_t MvcScrollAmount(int code, std::int32_t lineStep, std::int32_t page, std::int32_t trackPos,
                             std::int32_t virtOrigin, std::int32_t logOrigin)
{
    switch (code) {
    case MVC_SB_LINEUP:
        return -lineStep;
    case MVC_SB_LINEDOWN:
        return lineStep;
    case MVC_SB_PAGEUP:
        return -page;
    case MVC_SB_PAGEDOWN:
        return page;
    case MVC_SB_THUMBPOSITION:
    case MVC_SB_THUMBTRACK:
        // The bar has already moved its thumb: go where it now stands.
        return trackPos + virtOrigin - logOrigin;
    default:
        return 0;
    }
}

CSize MvcWheel::OnWheel(int rotation, bool control, bool horizontalAxis, bool horzBarShown, bool vertBarShown,
                        std::int32_t lineStep)
{
    int& pending = m_nPending[horizontalAxis ? 1 : 0];
    pending += rotation;
    const int notches = pending / kStep; // towards zero
    pending -= notches * kStep;
    if (notches == 0)
        return {};
    const std::int32_t amount = notches * lineStep;
    if (horizontalAxis)
        return horzBarShown ? CSize(amount, 0) : CSize();
    if (control)
        return horzBarShown ? CSize(-amount, 0) : CSize();
    if (vertBarShown)
        return {0, -amount};
    if (horzBarShown)
        return {-amount, 0};
    return {};
}
