#include "winapi/prompt.h"

namespace winapi {

namespace {

std::shared_ptr<IPrompt> MakeSilent() { return std::make_shared<SilentPrompt>(); }

std::atomic<std::shared_ptr<IPrompt>>& PromptSlot()
{
    static std::atomic<std::shared_ptr<IPrompt>> slot{MakeSilent()};
    return slot;
}

} // namespace

int NonDestructiveAnswer(UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}

int SilentPrompt::Ask(const std::shared_ptr<PromptOwner>&, const std::string&, const std::string&, UINT style)
{
    return NonDestructiveAnswer(style);
}

void TestPrompt::Script(std::initializer_list<int> answers)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.insert(m_script.end(), answers);
}

int TestPrompt::Ask(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
                    UINT style)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Call call{owner ? owner->GetWindow() : nullptr, true, text, caption, style, IDCANCEL};
    if (owner && !call.owner) {
        call.shown = false;
    } else if (!m_script.empty()) {
        call.answer = m_script.front();
        m_script.pop_front();
    } else {
        call.answer = NonDestructiveAnswer(style);
    }
    m_calls.push_back(call);
    return call.answer;
}

void TestPrompt::Beep()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_beeps;
}

std::vector<TestPrompt::Call> TestPrompt::Calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

int TestPrompt::Beeps() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_beeps;
}

std::size_t TestPrompt::Unused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_script.size();
}

std::shared_ptr<IPrompt> GetPrompt() { return PromptSlot().load(); }

void SetPrompt(std::shared_ptr<IPrompt> prompt) { PromptSlot().store(prompt ? std::move(prompt) : MakeSilent()); }

} // namespace winapi
