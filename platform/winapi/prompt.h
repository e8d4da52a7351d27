// MessageBox and MessageBeep for code without a display of its own: every
// question goes through an IPrompt. The program installs the one that shows
// boxes; without it the silent one answers, and tests script the answers.
#pragma once

#include "winapi/types.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace winapi {

// A style is one button set ORed with one icon.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The answer that changes nothing: IDOK for OK, IDCANCEL for OK/Cancel and
// Yes/No/Cancel, IDNO for Yes/No.
int NonDestructiveAnswer(UINT style);

// A window that boxes are modal to, as code on any thread sees it. The
// window's own code attaches the toolkit's window while it exists and
// detaches it before it goes. Callers hold it by shared_ptr, so a question
// posted from a worker never outlives it.
class PromptOwner {
public:
    PromptOwner() = default;
    explicit PromptOwner(HWND window) : m_window(window) {}
    PromptOwner(const PromptOwner&) = delete;
    PromptOwner& operator=(const PromptOwner&) = delete;

    void Attach(HWND window) { m_window.store(window); }
    void Detach() { m_window.store(nullptr); }
    HWND GetWindow() const { return m_window.load(); }
    bool IsWindow() const { return GetWindow() != nullptr; }

private:
    std::atomic<HWND> m_window{nullptr};
};

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // Shows `text` and returns the button pressed (IDOK, IDCANCEL, IDYES,
    // IDNO). A null owner is the desktop; an empty caption is the program's
    // title. A box whose owner is gone by the time it would be shown is not
    // shown and answers IDCANCEL. Callable from any thread.
    virtual int Ask(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
                    UINT style) = 0;
    virtual void Beep() = 0;
};

// Shows nothing and gives the non-destructive answer.
class SilentPrompt : public IPrompt {
public:
    int Ask(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
            UINT style) override;
    void Beep() override {}
};

// Answers from a script, in order, and records every call; once the script
// is used up it answers like SilentPrompt.
class TestPrompt : public IPrompt {
public:
    struct Call {
        HWND owner;  // the owner's window when the call was made; null for none
        bool shown;  // false when the owner was gone
        std::string text;
        std::string caption;
        UINT style;
        int answer;
    };

    TestPrompt() = default;
    TestPrompt(std::initializer_list<int> answers) { Script(answers); }

    // Appends answers to the script.
    void Script(std::initializer_list<int> answers);
    int Ask(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
            UINT style) override;
    void Beep() override;

    std::vector<Call> Calls() const;
    int Beeps() const;
    // Scripted answers not used yet.
    std::size_t Unused() const;

private:
    mutable std::mutex m_mutex;
    std::deque<int> m_script;
    std::vector<Call> m_calls;
    int m_beeps = 0;
};

// The prompt of the process, used by code that has no window of its own to
// ask through. A SilentPrompt until the program sets another; null restores
// it.
std::shared_ptr<IPrompt> GetPrompt();
void SetPrompt(std::shared_ptr<IPrompt> prompt);

} // namespace winapi
