// What Dorvik's run tests share: a main view with no window and a fixture
// that sets up the run's log, prompt and documents folder and puts them away.
#pragma once

#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/mainrun.h"
#include "tests/common/testsupport.h"
#include "winapi/prompt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace dorvik::test {

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
