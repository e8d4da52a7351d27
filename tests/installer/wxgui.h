// What Dorvik's window tests share: wx started once for the test program
// with Dorvik's resources, screenshots into the test's output folder, a
// timer that drives modal loops, the shown top-level window of a type, and
// a run's log, prompt and documents folder set up and put away.
#pragma once

#include "installer/appcore.h"
#include "installer/logfile.h"
#include "installer/mainrun.h"
#include "testsupport.h"
#include "winapi/prompt.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/xrc/xmlres.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

void InitDorvikXmlResource();

namespace dorvik::test {

class WxEnvironment : public ::testing::Environment {
public:
    explicit WxEnvironment(const char* program) : m_program(program) {}
    void SetUp() override
    {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>(m_program), nullptr};
        wxApp::SetInstance(new wxApp);
        ASSERT_TRUE(wxEntryStart(argc, argv));
        ASSERT_TRUE(wxTheApp->CallOnInit());
        wxInitAllImageHandlers();
        wxXmlResource::Get()->InitAllHandlers();
        InitDorvikXmlResource();
    }
    void TearDown() override { wxEntryCleanup(); }

private:
    const char* m_program;
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

// A main view with no window: no owner for questions, no progress shown.
struct Headless : IMainView {
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return nullptr; }
    bool ShowProgress(CProgressState&) override { return false; }
};

// A run against the test cluster: the log goes to a temporary documents
// folder and questions to a scripted prompt; the server, the log and the
// prompt are put away at the end.
class RunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        setenv("XDG_DOCUMENTS_DIR", docs.path().c_str(), 1);
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>());
        winapi::SetPrompt(prompt);
    }
    void TearDown() override
    {
        winapi::SetPrompt(nullptr);
        CDorvikCore::Get().SetServer(nullptr);
        CDorvikCore::Get().SetLog(nullptr);
    }

    kelm::test::TempDir docs, kit;
    std::shared_ptr<winapi::TestPrompt> prompt = std::make_shared<winapi::TestPrompt>();
    Headless headless;
};

} // namespace dorvik::test
