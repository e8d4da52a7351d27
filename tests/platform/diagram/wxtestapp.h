// A wx application for the gui tests of this folder: started once per test
// program, and any wx assertion fails the test that raised it.
#pragma once

#include "tests/common/wxtestenv.h"

namespace odtest {

class WxEnvironment : public kelm::test::WxTestEnvironment {
public:
    WxEnvironment() : WxTestEnvironment("diagram_gui_test", {.failOnAsserts = true, .imageHandlers = true}) {}
};

} // namespace odtest
