// A wx application for the gui tests of this folder: started once per test
// program, and any wx assertion fails the test that raised it.
#pragma once

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

namespace odtest {

inline void FailOnWxAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                           const wxString& msg)
{
    ADD_FAILURE() << "wx assertion: " << cond.utf8_string() << " " << msg.utf8_string() << " at "
                  << file.utf8_string() << ":" << line << " in " << func.utf8_string();
}

class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        wxSetAssertHandler(FailOnWxAssert);
        static int argc = 1;
        static char name[] = "diagram_gui_test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        ASSERT_TRUE(wxEntryStart(argc, argv));
        ASSERT_TRUE(wxTheApp->CallOnInit());
        wxInitAllImageHandlers();
    }
    void TearDown() override { wxEntryCleanup(); }
};

} // namespace odtest
