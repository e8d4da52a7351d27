// What Dorvik's window tests share: wx started once for the test program
// with Dorvik's resources, screenshots into the test's output folder, a
// timer that drives modal loops, and the shown top-level window of a type.
#pragma once

#include "tests/common/wxtestenv.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/xrc/xmlres.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

void InitDorvikXmlResource();

namespace dorvik::test {

// wx with image handlers and Dorvik's dialog resources.
class WxEnvironment : public kelm::test::WxTestEnvironment {
public:
    explicit WxEnvironment(const char* program)
        : WxTestEnvironment(program, {.imageHandlers = true, .started = [] {
                                          wxXmlResource::Get()->InitAllHandlers();
                                          InitDorvikXmlResource();
                                      }})
    {
    }
};

inline void Screenshot(const std::string& test, const std::string& name)
{
    auto out = std::filesystem::path(KELM_TEST_OUTPUT) / test;
    std::filesystem::create_directories(out);
    std::string path = (out / name).string();
    std::system(("import -window root '" + path + "' 2>/dev/null").c_str());
    std::printf("screenshot: %s\n", path.c_str());
}

// Calls `tick` on the user-interface thread, also inside modal loops, 50 ms
// after the last tick ended, until it returns true; a tick never runs inside
// another. The pause is counted from the end of a tick, so a slow tick (a
// screenshot) leaves the toolkit time to paint and to handle its idle work.
class Poller {
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            if (m_busy)
                return;
            m_busy = true;
            const bool done = m_tick();
            m_busy = false;
            if (!done)
                m_timer.Start(50, wxTIMER_ONE_SHOT);
        });
        m_timer.Start(50, wxTIMER_ONE_SHOT);
    }

private:
    std::function<bool()> m_tick;
    wxTimer m_timer;
    bool m_busy = false;
};

template <typename T> T* FindTopLevel()
{
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* t = dynamic_cast<T*>(w); t && t->IsShown())
            return t;
    return nullptr;
}

} // namespace dorvik::test
