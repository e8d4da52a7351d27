// The wx start-up every window test shares: one application object for the
// test program, started once before the first test on the test display and
// cleaned up after the last. Each program says what it needs on top (its
// own application class, image and resource handlers, wx assertions turned
// into test failures, a display it can do without).
#pragma once

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace kelm::test {

// Makes a wx assertion fail the test that raised it.
inline void FailOnWxAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                           const wxString& msg)
{
    ADD_FAILURE() << "wx assertion: " << cond.utf8_string() << " " << msg.utf8_string() << " at "
                  << file.utf8_string() << ":" << line << " in " << func.utf8_string();
}

struct WxTestOptions {
    // Report wx assertions as test failures.
    bool failOnAsserts = false;
    // Run the application's OnInit (a plain wxApp's only parses the command
    // line; a program's own would build its windows).
    bool callOnInit = true;
    // wxInitAllImageHandlers() once wx has started.
    bool imageHandlers = false;
    // Without $DISPLAY, or when wx cannot start on it, leave wx unstarted
    // instead of failing; the tests then see Started() false.
    bool displayOptional = false;
    // The application object; a plain wxApp when not given.
    std::function<wxApp*()> makeApp;
    // What the program sets up once wx runs (names, resources).
    std::function<void()> started;
};

class WxTestEnvironment : public ::testing::Environment {
public:
    explicit WxTestEnvironment(std::string program, WxTestOptions options = {})
        : m_program(std::move(program)), m_options(std::move(options))
    {
    }

    void SetUp() override
    {
        if (m_options.displayOptional && !std::getenv("DISPLAY"))
            return;
        if (m_options.failOnAsserts)
            wxSetAssertHandler(FailOnWxAssert);
        m_argv[0] = m_program.data();
        m_argv[1] = nullptr;
        wxApp::SetInstance(m_options.makeApp ? m_options.makeApp() : new wxApp);
        if (m_options.displayOptional) {
            if (!wxEntryStart(m_argc, m_argv))
                return;
        } else {
            ASSERT_TRUE(wxEntryStart(m_argc, m_argv));
        }
        m_started = true;
        if (m_options.callOnInit)
            ASSERT_TRUE(wxTheApp->CallOnInit());
        if (m_options.imageHandlers)
            wxInitAllImageHandlers();
        if (m_options.started)
            m_options.started();
    }

    void TearDown() override
    {
        if (m_started)
            wxEntryCleanup();
        m_started = false;
    }

    // Whether wx runs (always, unless the display was optional).
    bool Started() const { return m_started; }

private:
    std::string m_program;
    WxTestOptions m_options;
    int m_argc = 1;
    char* m_argv[2] = {nullptr, nullptr};
    bool m_started = false;
};

} // namespace kelm::test
