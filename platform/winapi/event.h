// Win32's manual-reset event: once set it stays set, and every waiter goes
// through, until it is reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace winapi {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : m_set(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    // A wait of zero time.
    bool IsSet() const;
    void Wait() const;
    // False when the time ran out before the event was set.
    bool Wait(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set;
};

} // namespace winapi
