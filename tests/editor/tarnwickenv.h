// The program's application object under the test display, started once per
// test program; any wx assertion fails the test that raised it.
#pragma once

#include "tarnwickapp.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/init.h>

namespace kelm::test {

inline void FailOnWxAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                           const wxString& msg)
{
    ADD_FAILURE() << "wx assertion: " << cond.utf8_string() << " " << msg.utf8_string() << " at "
                  << file.utf8_string() << ":" << line << " in " << func.utf8_string();
}

class TarnwickEnvironment : public ::testing::Environment {
public:
    explicit TarnwickEnvironment(tarnwick::CTarnwickApp*& app) : m_app(app) {}
    void SetUp() override
    {
        wxSetAssertHandler(FailOnWxAssert);
        static int argc = 1;
        static char name[] = "tarnwick_test";
        static char* argv[] = {name, nullptr};
        m_app = new tarnwick::CTarnwickApp;
        wxApp::SetInstance(m_app);
        ASSERT_TRUE(wxEntryStart(argc, argv));
        m_app->SetAppDisplayName(wxString::FromUTF8("Диаграммы"));
        tarnwick::InitTarnwickResources();
        wxInitAllImageHandlers();
    }
    void TearDown() override { wxEntryCleanup(); }

private:
    tarnwick::CTarnwickApp*& m_app;
};

} // namespace kelm::test
