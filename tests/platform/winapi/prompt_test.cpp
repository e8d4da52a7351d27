#include "winapi/event.h"
#include "winapi/prompt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace winapi;
using namespace std::chrono_literals;

TEST(Prompt, SilentAnswersWithTheButtonThatChangesNothing)
{
    struct Case {
        UINT style;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_ICONERROR, IDOK},
        {MB_OKCANCEL, IDCANCEL},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, IDCANCEL},
        {MB_YESNO, IDNO},
        {MB_YESNO | MB_ICONQUESTION, IDNO},
        {MB_YESNO | MB_ICONINFORMATION, IDNO},
    };
    SilentPrompt silent;
    auto window = std::make_shared<PromptOwner>(reinterpret_cast<HWND>(0x10));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(silent.Ask(nullptr, "text", "caption", c.style), c.answer);
        EXPECT_EQ(silent.Ask(window, "text", "", c.style), c.answer);
    }
}

TEST(Prompt, TestPromptAnswersInScriptOrderAndRecordsEachCall)
{
    TestPrompt prompt{IDYES, IDCANCEL};
    auto owner = std::make_shared<PromptOwner>(reinterpret_cast<HWND>(0x20));

    EXPECT_EQ(prompt.Ask(owner, "Delete?", "Message", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(prompt.Ask(nullptr, "Go on?", "", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(prompt.Unused(), 0u);
    // Past the script the answers are the silent ones.
    EXPECT_EQ(prompt.Ask(nullptr, "Again?", "Message", MB_YESNO), IDNO);
    prompt.Script({IDOK});
    EXPECT_EQ(prompt.Ask(nullptr, "Done", "Информация", MB_OK | MB_ICONINFORMATION), IDOK);
    prompt.Beep();
    prompt.Beep();

    auto calls = prompt.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].owner, reinterpret_cast<HWND>(0x20));
    EXPECT_TRUE(calls[0].shown);
    EXPECT_EQ(calls[0].text, "Delete?");
    EXPECT_EQ(calls[0].caption, "Message");
    EXPECT_EQ(calls[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(calls[1].owner, nullptr);
    EXPECT_EQ(calls[1].caption, "");
    EXPECT_EQ(calls[2].answer, IDNO);
    EXPECT_EQ(calls[3].caption, "Информация");
    EXPECT_EQ(prompt.Beeps(), 2);
}

TEST(Prompt, AnOwnerThatIsGoneGetsCancelAndKeepsTheScript)
{
    TestPrompt prompt{IDYES};
    auto owner = std::make_shared<PromptOwner>();
    EXPECT_FALSE(owner->IsWindow());
    owner->Attach(reinterpret_cast<HWND>(0x30));
    EXPECT_TRUE(owner->IsWindow());
    owner->Detach();

    EXPECT_EQ(prompt.Ask(owner, "Skip the next steps?", "Message", MB_YESNO), IDCANCEL);
    EXPECT_EQ(prompt.Unused(), 1u);
    // The desktop is always there.
    EXPECT_EQ(prompt.Ask(nullptr, "Skip the next steps?", "Message", MB_YESNO), IDYES);

    auto calls = prompt.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].shown);
    EXPECT_EQ(calls[0].answer, IDCANCEL);
    EXPECT_TRUE(calls[1].shown);
}

TEST(Prompt, QuestionsFromManyThreadsAreEachAnsweredOnce)
{
    constexpr int kThreads = 8, kEach = 50;
    auto prompt = std::make_shared<TestPrompt>();
    for (int i = 0; i < kThreads * kEach / 2; ++i)
        prompt->Script({IDYES, IDNO});
    std::atomic<int> yes{0}, no{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                int answer = prompt->Ask(nullptr, std::to_string(t) + "/" + std::to_string(i), "", MB_YESNO);
                (answer == IDYES ? yes : no)++;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(yes, kThreads * kEach / 2);
    EXPECT_EQ(no, kThreads * kEach / 2);
    auto calls = prompt->Calls();
    std::set<std::string> texts;
    for (const auto& call : calls)
        texts.insert(call.text);
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(Prompt, TheProcessPromptIsSilentUntilOneIsSet)
{
    EXPECT_EQ(GetPrompt()->Ask(nullptr, "Exit?", "", MB_YESNO), IDNO);
    auto prompt = std::make_shared<TestPrompt>(std::initializer_list<int>{IDYES});
    SetPrompt(prompt);
    EXPECT_EQ(GetPrompt(), prompt);
    EXPECT_EQ(GetPrompt()->Ask(nullptr, "Exit?", "", MB_YESNO), IDYES);
    SetPrompt(nullptr);
    ASSERT_NE(GetPrompt(), nullptr);
    EXPECT_EQ(GetPrompt()->Ask(nullptr, "Exit?", "", MB_YESNO), IDNO);
    EXPECT_EQ(prompt->Calls().size(), 1u);
}

TEST(ManualResetEvent, StaysSetForEveryWaiterUntilReset)
{
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(20ms));

    constexpr int kWaiters = 4;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(released, 0);
    event.Set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released, kWaiters);

    // Still set: later waits go straight through.
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0ms));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_TRUE(ManualResetEvent(true).IsSet());
}

TEST(ManualResetEvent, ATimedWaitEndsWhenAnotherThreadSetsIt)
{
    ManualResetEvent event;
    auto start = std::chrono::steady_clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(30ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(std::chrono::milliseconds(10000)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    setter.join();
}
