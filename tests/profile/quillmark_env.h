// Shared by the Quillmark tests: a private set of special folders for one
// scenario, and a way to run a scenario in a fresh child process (Quillmark's
// state lives for the whole process).
#pragma once

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qmtest {

struct Folders {
    kelm::test::TempDir dir;
    std::string user = (dir / "user").string();
    std::string common = (dir / "common").string();
    std::string docs = (dir / "docs").string();
    std::string commonDocs = (dir / "commondocs").string();

    Folders()
    {
        ::setenv("XDG_CONFIG_HOME", user.c_str(), 1);
        ::setenv("WINAPI_COMMON_APPDATA", common.c_str(), 1);
        ::setenv("XDG_DOCUMENTS_DIR", docs.c_str(), 1);
        ::setenv("WINAPI_COMMON_DOCUMENTS", commonDocs.c_str(), 1);
    }
};

// Runs `scenario` in a child process; its failures are printed there and
// make the child's exit status, which the parent checks.
template <typename F>
void InChild(F scenario)
{
    std::fflush(stdout);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        scenario();
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the scenario failed in the child (see above)";
}

} // namespace qmtest
