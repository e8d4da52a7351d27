// What one run of the installer shares with the code it calls: the cancel
// event of the installation under way, the interface language, the clock
// that log lines and backup names carry, the kit folder and the prompt that
// shows message boxes. The program sets one up at start-up and each test
// its own; it is passed by reference to what needs it.
#pragma once

#include "winapi/event.h"
#include "winapi/prompt.h"

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace dorvik {

// The user-interface thread sets it; long operations poll it without waiting.
using CManualEvent = winapi::ManualResetEvent;

class RunContext {
public:
    RunContext() = default;
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // The installation's cancel event (null between installations). The
    // worker asks while the user-interface thread sets it.
    void SetCancelEvent(std::shared_ptr<CManualEvent> event) { m_cancel.store(std::move(event)); }
    // True when the cancel event exists and is set.
    bool IsCancelRequested() const;

    // The interface language: 0 English, 1 Russian. Texts the user sees are
    // the installer's strings in this language.
    void SetLanguage(int language) { m_language.store(language); }
    int Language() const { return m_language.load(); }
    // The string `id` in the interface language.
    std::string Text(int id) const;

    // The time; the system's clock unless another is set.
    void SetClock(std::function<std::time_t()> clock);
    std::time_t Now() const;

    // The kit folder: the installer INI file's folder, against which every
    // relative path of the kit resolves; the program's folder until it is set.
    void SetKitFolder(const std::string& folder);
    std::string KitFolder() const;
    // An absolute path unchanged, a relative one taken in the kit folder.
    std::string ResolvePath(const std::string& path) const;

    // The prompt that shows the run's boxes; the process's own until one is set.
    void SetPrompt(std::shared_ptr<winapi::IPrompt> prompt);
    std::shared_ptr<winapi::IPrompt> Prompt() const;

private:
    std::atomic<std::shared_ptr<CManualEvent>> m_cancel;
    std::atomic<int> m_language {0};
    mutable std::mutex m_mutex;
    std::function<std::time_t()> m_clock;
    std::string m_kitFolder;
    std::shared_ptr<winapi::IPrompt> m_prompt;
};

} // namespace dorvik
