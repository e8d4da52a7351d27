// The prompt that shows real message boxes. A question asked on a worker
// thread is shown on the user-interface thread and the worker waits for the
// answer, so the user-interface thread must keep dispatching events while it
// waits for a worker (WaitDispatchingEvents).
#pragma once

#include "winapi/event.h"
#include "winapi/prompt.h"

namespace dorvik {

class WxPrompt : public winapi::IPrompt {
public:
    // An owner given as a window is a wxWindow. IDCANCEL when there is no
    // application to show the box, or it ends before the box is shown.
    int Ask(const std::shared_ptr<winapi::PromptOwner>& owner, const std::string& text, const std::string& caption,
            UINT style) override;
    void Beep() override;
};

// Waits for the event; on the user-interface thread it keeps dispatching
// events meanwhile.
void WaitDispatchingEvents(const winapi::ManualResetEvent& event);

} // namespace dorvik
