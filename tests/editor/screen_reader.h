// What a chart window shows on the test display, read back from the screen,
// and the pointer moved through the display as a user moves it.
#pragma once

#include "tests/editor/tarnwickenv.h"

#include "diagram/odviewport.h"

#include <wx/image.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace kelm::test {

// Lets the display deliver what was sent to it and the windows paint.
inline void Pause(int rounds = 4)
{
    for (int i = 0; i < rounds; ++i) {
        wxMilliSleep(20);
        SettleWindows();
    }
}

// Read from the display itself, as the screenshots are: what the X server
// shows, not what the toolkit believes it drew.
inline wxImage grabScreen(wxWindow* window)
{
    const wxSize size = window->GetClientSize();
    const wxPoint at = window->ClientToScreen(wxPoint(0, 0));
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path file =
        std::filesystem::path(tmp ? tmp : "/tmp") / ("screen-" + std::to_string(::getpid()) + ".png");
    const std::string crop = std::to_string(size.x) + "x" + std::to_string(size.y) + "+" + std::to_string(at.x) +
                             "+" + std::to_string(at.y);
    if (std::system(("import -window root -crop " + crop + " +repage '" + file.string() + "' 2>/dev/null").c_str()) !=
        0)
        return wxImage(std::max(1, size.x), std::max(1, size.y));
    wxImage image(wxString::FromUTF8(file.string()), wxBITMAP_TYPE_PNG);
    std::filesystem::remove(file);
    return image.IsOk() ? image : wxImage(std::max(1, size.x), std::max(1, size.y));
}

// The client area of a window as the screen shows it, once the painting
// has come to rest (the same picture twice running).
inline wxImage ScreenImage(wxWindow* window)
{
    Pause();
    wxImage last = grabScreen(window);
    for (int i = 0; i < 20; ++i) {
        Pause(3);
        wxImage now = grabScreen(window);
        if (now.GetSize() == last.GetSize() &&
            std::equal(now.GetData(), now.GetData() + 3 * now.GetWidth() * now.GetHeight(), last.GetData()))
            return now;
        last = now;
    }
    return last;
}

// Ink: a line, a letter, an arrow; not the white of the chart.
inline bool IsInk(const wxImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight())
        return false;
    return image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) < 3 * 170;
}

inline bool InkNear(const wxImage& image, int x, int y, int radius = 1)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (IsInk(image, x + dx, y + dy))
                return true;
    return false;
}

// Ink pixels within a rectangle of the image (right and bottom excluded).
inline int InkIn(const wxImage& image, const wxRect& r)
{
    int n = 0;
    for (int y = r.GetTop(); y <= r.GetBottom(); ++y)
        for (int x = r.GetLeft(); x <= r.GetRight(); ++x)
            n += IsInk(image, x, y) ? 1 : 0;
    return n;
}

// Where a point of the chart shows in its window, and on the screen.
inline wxPoint WindowPoint(const CODViewport& viewport, const CPoint& p)
{
    const CPoint d = viewport.LogToDev(p);
    return {d.x, d.y};
}

inline wxRect WindowRect(const CODViewport& viewport, const CRect& r)
{
    const CPoint a = viewport.LogToDev(r.TopLeft()), b = viewport.LogToDev(r.BottomRight());
    return wxRect(wxPoint(a.x, a.y), wxPoint(b.x, b.y));
}

// Where the segment from a point inside a rectangle to a point outside it
// leaves the rectangle.
inline std::optional<CPoint> ExitPoint(const CRect& r, const CPoint& inside, const CPoint& outside)
{
    const double dx = double(outside.x) - inside.x, dy = double(outside.y) - inside.y;
    double t = 1.0;
    if (dx > 0)
        t = std::min(t, (r.right - double(inside.x)) / dx);
    if (dx < 0)
        t = std::min(t, (r.left - double(inside.x)) / dx);
    if (dy > 0)
        t = std::min(t, (r.bottom - double(inside.y)) / dy);
    if (dy < 0)
        t = std::min(t, (r.top - double(inside.y)) / dy);
    if (t <= 0 || t >= 1)
        return std::nullopt;
    return CPoint(static_cast<int>(std::lround(inside.x + t * dx)), static_cast<int>(std::lround(inside.y + t * dy)));
}

// The pointer, moved and pressed through the display.
class Pointer {
public:
    explicit Pointer(wxWindow* window) : m_window(window) {}
    void MoveTo(const wxPoint& windowPoint)
    {
        m_input.MouseMove(m_window->ClientToScreen(windowPoint));
        Pause(2);
    }
    void Press()
    {
        m_input.MouseDown();
        Pause(2);
    }
    void Release()
    {
        m_input.MouseUp();
        Pause(2);
    }
    void Click(const wxPoint& windowPoint)
    {
        MoveTo(windowPoint);
        Press();
        Release();
    }
    // Down at one point, through a few steps, up at another.
    void Drag(const wxPoint& from, const wxPoint& to)
    {
        MoveTo(from);
        Press();
        for (int i = 1; i <= 6; ++i)
            MoveTo(from + (to - from) * i / 6);
        Release();
    }

private:
    wxWindow* m_window;
    wxUIActionSimulator m_input;
};

} // namespace kelm::test
