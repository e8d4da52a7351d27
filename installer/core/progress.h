// What the progress dialog shows, kept apart from its window: the worker
// sets the values from its thread, the dialog reads a snapshot on the
// user-interface thread. The end of the run is kept like any value, so a
// dialog shown after the worker has finished ends at once.
#pragma once

#include "installer/commands/commander.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace dorvik {

class CProgressState : public IProgress {
public:
    struct Line {
        std::string text;
        int range = 100;
        int pos = 0;
    };
    struct Snapshot {
        std::string title;
        std::array<Line, 3> lines;
        bool thirdLine = false;
        bool closed = false;
    };

    CProgressState();

    void SetTitle(const std::string& text) override;
    void SetLineText(int line, const std::string& text) override;
    void SetRange(int line, int max) override;
    void SetPos(int line, int pos) override;
    void StepIt(int line) override;
    void OffsetPos(int line, int offset) override;
    void ShowThirdLine(bool show) override;
    void Close() override;
    std::shared_ptr<winapi::PromptOwner> GetOwner() const override { return m_owner; }

    Snapshot Get() const;
    bool IsClosed() const;
    // Starts a new run: not closed, line 2 without range.
    void Reopen();

    // Called after each change, on the setter's thread; a change that comes
    // while an earlier one has not been taken (TakeChange) calls nothing,
    // so a fast worker never floods the user-interface thread.
    void SetChangeHandler(std::function<void()> handler);
    // Marks the pending change as seen; returns the values to show.
    Snapshot TakeChange();

private:
    void changed();
    static bool validLine(int line) { return line >= 0 && line < 3; }

    mutable std::mutex m_mutex;
    Snapshot m_state;
    std::function<void()> m_handler;
    std::atomic<bool> m_pending{false};
    std::shared_ptr<winapi::PromptOwner> m_owner = std::make_shared<winapi::PromptOwner>();
};

} // namespace dorvik
