// Points, sizes and rectangles with 32-bit signed coordinates, y growing
// downwards. A rectangle contains its left and top edges but not its right
// and bottom ones.
#pragma once

#include <algorithm>
#include <cstdint>

struct CSize {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    constexpr CSize() = default;
    constexpr CSize(std::int32_t x, std::int32_t y) : cx(x), cy(y) {}
    friend constexpr bool operator==(const CSize&, const CSize&) = default;
};

struct CPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    constexpr CPoint() = default;
    constexpr CPoint(std::int32_t px, std::int32_t py) : x(px), y(py) {}
    constexpr void Offset(std::int32_t dx, std::int32_t dy) { x += dx; y += dy; }
    constexpr CPoint operator+(const CSize& s) const { return {x + s.cx, y + s.cy}; }
    constexpr CPoint operator-(const CSize& s) const { return {x - s.cx, y - s.cy}; }
    constexpr CSize operator-(const CPoint& p) const { return {x - p.x, y - p.y}; }
    friend constexpr bool operator==(const CPoint&, const CPoint&) = default;
};

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
        : left(l), top(t), right(r), bottom(b) {}
    constexpr CRect(const CPoint& tl, const CSize& s)
        : left(tl.x), top(tl.y), right(tl.x + s.cx), bottom(tl.y + s.cy) {}

    constexpr std::int32_t Width() const { return right - left; }
    constexpr std::int32_t Height() const { return bottom - top; }
    constexpr CSize Size() const { return {Width(), Height()}; }
    constexpr CPoint TopLeft() const { return {left, top}; }
    constexpr CPoint BottomRight() const { return {right, bottom}; }
    constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    constexpr bool PtInRect(const CPoint& p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr void SetRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
    {
        left = l; top = t; right = r; bottom = b;
    }
    constexpr void SetRectEmpty() { left = top = right = bottom = 0; }
    constexpr void OffsetRect(std::int32_t dx, std::int32_t dy)
    {
        left += dx; right += dx; top += dy; bottom += dy;
    }
    constexpr void InflateRect(std::int32_t dx, std::int32_t dy)
    {
        left -= dx; right += dx; top -= dy; bottom += dy;
    }
    constexpr void NormalizeRect()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    // Empty rectangles take no part, as the class library's union has it.
    constexpr bool UnionRect(const CRect& a, const CRect& b)
    {
        if (a.IsRectEmpty()) { *this = b; }
        else if (b.IsRectEmpty()) { *this = a; }
        else {
            *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top),
                          std::max(a.right, b.right), std::max(a.bottom, b.bottom));
        }
        if (IsRectEmpty()) { SetRectEmpty(); return false; }
        return true;
    }
    constexpr bool IntersectRect(const CRect& a, const CRect& b)
    {
        CRect r(std::max(a.left, b.left), std::max(a.top, b.top),
                std::min(a.right, b.right), std::min(a.bottom, b.bottom));
        if (r.IsRectEmpty()) { SetRectEmpty(); return false; }
        *this = r;
        return true;
    }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};
