// Boxes are answered by a modal-dialog hook, wx's own way of answering a
// dialog at the moment it would be shown.
#include "installer/common/utils.h"
#include "installer/prompt/wxprompt.h"
#include "tests/common/wxtestenv.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/thread.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace dorvik;
using namespace winapi;
using namespace std::chrono_literals;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::WxTestEnvironment(
    "installer_wxprompt_test", {.started = [] { wxTheApp->SetAppDisplayName("Dorvik"); }}));

struct SeenBox {
    bool onMainThread;
    wxWindow* parent;
    std::string text;
    std::string caption;
    long style;
};

class AnsweringHook : public wxModalDialogHook {
public:
    explicit AnsweringHook(std::initializer_list<int> answers) : m_answers(answers) { Register(); }

    std::vector<SeenBox> seen;

protected:
    int Enter(wxDialog* dialog) override
    {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        if (!box)
            return wxID_NONE;
        seen.push_back({wxThread::IsMain(), box->GetParent(), box->GetMessage().utf8_string(),
                        box->GetCaption().utf8_string(), box->GetMessageDialogStyle()});
        if (m_answers.empty())
            return wxID_CANCEL;
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

private:
    std::deque<int> m_answers;
};

// A shown frame that boxes can be modal to.
struct OwnerFrame {
    OwnerFrame() : frame(new wxFrame(nullptr, wxID_ANY, "Progress")), owner(std::make_shared<PromptOwner>(frame))
    {
        frame->Show();
    }
    ~OwnerFrame() { Close(); }
    void Close()
    {
        if (!frame)
            return;
        owner->Detach();
        frame->Destroy();
        frame = nullptr;
        wxTheApp->Yield(false);
    }
    wxFrame* frame;
    std::shared_ptr<PromptOwner> owner;
};

// Runs `ask` on a worker while the user-interface thread waits dispatching
// events; false when the worker did not finish in time.
template <typename Ask>
bool AskOnWorker(Ask ask)
{
    ManualResetEvent done;
    bool timedOut = false;
    std::thread worker([&] {
        ask();
        done.Set();
    });
    std::thread watchdog([&] {
        if (!done.Wait(30s)) {
            timedOut = true;
            done.Set();
        }
    });
    WaitDispatchingEvents(done);
    watchdog.join();
    if (timedOut) {
        worker.detach();
        return false;
    }
    worker.join();
    return true;
}

} // namespace

TEST(WxPrompt, AWorkersQuestionIsShownOnTheUserInterfaceThreadOverItsOwner)
{
    OwnerFrame owner;
    AnsweringHook hook{wxID_NO};
    WxPrompt prompt;
    int answer = 0;
    ASSERT_TRUE(AskOnWorker([&] {
        EXPECT_FALSE(wxThread::IsMain());
        answer = prompt.Ask(owner.owner, "Пропустить три шага?", "Message", MB_YESNO | MB_ICONQUESTION);
    }));
    EXPECT_EQ(answer, IDNO);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_TRUE(hook.seen[0].onMainThread);
    EXPECT_EQ(hook.seen[0].parent, owner.frame);
    EXPECT_EQ(hook.seen[0].text, "Пропустить три шага?");
    EXPECT_EQ(hook.seen[0].caption, "Dorvik - Message");
    EXPECT_EQ(hook.seen[0].style & (wxYES_NO | wxOK | wxCANCEL), wxYES_NO);
    EXPECT_TRUE(hook.seen[0].style & wxICON_QUESTION);
}

TEST(WxPrompt, AQuestionWhoseOwnerClosedBeforeItIsShownIsCancelled)
{
    OwnerFrame owner;
    AnsweringHook hook{wxID_YES};
    WxPrompt prompt;
    ManualResetEvent done;
    int answer = 0;
    std::thread worker([&] {
        answer = prompt.Ask(owner.owner, "Continue?", "Message", MB_YESNO);
        done.Set();
    });
    // The question is queued; the owner goes before the queue is served.
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!wxTheApp->HasPendingEvents() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    owner.Close();
    WaitDispatchingEvents(done);
    worker.join();
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_TRUE(hook.seen.empty());
}

TEST(WxPrompt, StylesBecomeButtonsAndIconsAndTheButtonComesBack)
{
    struct Case {
        UINT style;
        int wxAnswer;
        long buttons;
        long icon;
        int answer;
    } cases[] = {
        {MB_OK | MB_ICONERROR, wxID_OK, wxOK, wxICON_ERROR, IDOK},
        {MB_OK | MB_ICONINFORMATION, wxID_CANCEL, wxOK, wxICON_INFORMATION, IDOK},
        // No icon asked for: no icon flag (the box draws none).
        {MB_OKCANCEL, wxID_OK, wxOK | wxCANCEL, 0, IDOK},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, wxID_CANCEL, wxOK | wxCANCEL, wxICON_EXCLAMATION, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, wxID_YES, wxYES_NO, wxICON_QUESTION, IDYES},
        {MB_YESNOCANCEL | MB_ICONQUESTION, wxID_NO, wxYES_NO | wxCANCEL, wxICON_QUESTION, IDNO},
        // Closed without a button.
        {MB_YESNO, wxID_CANCEL, wxYES_NO, 0, IDNO},
        {MB_YESNOCANCEL, wxID_CANCEL, wxYES_NO | wxCANCEL, 0, IDCANCEL},
    };
    OwnerFrame owner;
    WxPrompt prompt;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        AnsweringHook hook{c.wxAnswer};
        EXPECT_EQ(prompt.Ask(owner.owner, "text", "", c.style), c.answer);
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].style & (wxYES_NO | wxOK | wxCANCEL), c.buttons);
        EXPECT_EQ(hook.seen[0].style & wxICON_MASK, c.icon);
        EXPECT_EQ(hook.seen[0].caption, "Dorvik");
    }
}

// GTK shows no title for a box whose caption is the toolkit's default.
TEST(WxPrompt, ACaptionGtkWouldLeaveOutGetsTheProgramsName)
{
    struct Case {
        const char* caption;
        const char* title;
    } cases[] = {{"Message", "Dorvik - Message"}, {"Сообщение", "Сообщение"}, {"Error", "Error"}};
    WxPrompt prompt;
    for (const auto& c : cases) {
        AnsweringHook hook{wxID_OK};
        prompt.Ask(nullptr, "text", c.caption, MB_OK);
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].caption, c.title);
    }
}

TEST(WxPrompt, ShowMessageFromAWorkerUsesTheProcessPrompt)
{
    OwnerFrame owner;
    AnsweringHook hook{wxID_OK};
    SetPrompt(std::make_shared<WxPrompt>());
    dorvik::RunContext run;
    run.SetLanguage(1);
    int answer = 0;
    ASSERT_TRUE(AskOnWorker([&] { answer = ShowMessage(run, owner.owner, "Шаг 3 не выполнен"); }));
    SetPrompt(nullptr);
    EXPECT_EQ(answer, IDOK);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_EQ(hook.seen[0].parent, owner.frame);
    EXPECT_EQ(hook.seen[0].caption, "Ошибка");
    EXPECT_TRUE(hook.seen[0].style & wxICON_ERROR);
}
