#include "installer/core/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace dorvik;

TEST(ProgressState, RangesPositionsAndSteps)
{
    CProgressState p;
    EXPECT_EQ(p.Get().lines[0].range, 100);
    EXPECT_EQ(p.Get().lines[2].range, 0);
    struct Case {
        const char* what;
        void (*act)(CProgressState&);
        int range, pos;
    } cases[] = {
        {"range 0 changes nothing", [](CProgressState& s) { s.SetRange(1, 0); }, 100, 0},
        {"a negative range changes nothing", [](CProgressState& s) { s.SetRange(1, -5); }, 100, 0},
        {"beyond the range is full", [](CProgressState& s) { s.SetRange(1, 10); s.SetPos(1, 50); }, 10, 10},
        {"a negative position is empty", [](CProgressState& s) { s.SetPos(1, -3); }, 10, 0},
        {"a smaller range lowers the position", [](CProgressState& s) { s.SetPos(1, 8); s.SetRange(1, 4); }, 4, 4},
        {"a step past the range starts again", [](CProgressState& s) { s.StepIt(1); }, 4, 0},
        {"a step", [](CProgressState& s) { s.StepIt(1); }, 4, 1},
        {"an offset", [](CProgressState& s) { s.OffsetPos(1, 2); }, 4, 3},
        {"an offset past the range is full", [](CProgressState& s) { s.OffsetPos(1, 7); }, 4, 4},
        {"a line that does not exist", [](CProgressState& s) { s.SetPos(3, 1); s.StepIt(-1); }, 4, 4},
    };
    for (const auto& c : cases) {
        c.act(p);
        EXPECT_EQ(p.Get().lines[1].range, c.range) << c.what;
        EXPECT_EQ(p.Get().lines[1].pos, c.pos) << c.what;
    }
    p.ShowThirdLine(true);
    p.SetTitle("Installation ...");
    p.SetLineText(2, "file");
    auto s = p.Get();
    EXPECT_TRUE(s.thirdLine);
    EXPECT_EQ(s.title, "Installation ...");
    EXPECT_EQ(s.lines[2].text, "file");
    EXPECT_FALSE(s.closed);
    p.Close();
    EXPECT_TRUE(p.IsClosed());
    p.Reopen();
    EXPECT_FALSE(p.IsClosed());
}

TEST(ProgressState, ChangesAreCoalescedAndTheEndIsNeverLost)
{
    CProgressState p;
    std::atomic<int> calls{0};
    p.SetChangeHandler([&] { ++calls; });
    std::thread worker([&] {
        for (int i = 0; i < 100000; ++i)
            p.StepIt(1);
        p.Close();
    });
    // The user-interface side takes changes as they come.
    bool closed = false;
    while (!closed) {
        if (calls.load() > 0)
            closed = p.TakeChange().closed;
        std::this_thread::yield();
        if (!closed && p.IsClosed() && calls.load() > 0)
            closed = p.TakeChange().closed;
    }
    worker.join();
    EXPECT_LT(calls.load(), 100001);
    EXPECT_TRUE(p.Get().closed);
}
