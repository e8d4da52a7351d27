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

// Calls `tick` every 50 ms on the user-interface thread, also inside modal
// loops, until it returns true; a tick never runs inside another.
class Poller {
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            if (m_busy)
                return;
            m_busy = true;
            if (m_tick())
                m_timer.Stop();
            m_busy = false;
        });
        m_timer.Start(50);
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
