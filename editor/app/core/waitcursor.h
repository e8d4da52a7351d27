// The wait cursor over a long read. The windows say how it is shown; where
// there are none, as in the logic's tests, nothing is shown.
#pragma once

namespace tarnwick {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

// show: true when it put the cursor up (there is a program to show it);
// hide is called once for each show that did.
void SetWaitCursorHandlers(bool (*show)(), void (*hide)());

} // namespace tarnwick
