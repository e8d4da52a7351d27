#include "dmo/tools.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

TEST(RunTool, CancelEndsAToolThatIgnoresTheRequestToStop)
{
    std::atomic<bool> cancel{false};
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    auto start = std::chrono::steady_clock::now();
    auto run = dmo::RunTool({"/bin/sh", "-c", "trap '' TERM; echo started >&2; exec sleep 60"}, {}, -1,
                            [&] { return cancel.load(); });
    user.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(run.cancelled);
    EXPECT_EQ(run.exitStatus, 128 + SIGKILL);
    EXPECT_EQ(run.errorText, "started");
}
