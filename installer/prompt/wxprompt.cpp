#include "installer/prompt/wxprompt.h"

#include "afx/ui/messagebox.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/thread.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <chrono>
#include <future>

namespace dorvik {

using namespace winapi;

namespace {

// The program's name for no caption, and before the toolkit's own default
// caption ("Message"), which alone does not say whose box it is.
wxString BoxTitle(const std::string& caption)
{
    wxString program = wxTheApp->GetAppDisplayName();
    if (caption.empty())
        return program;
    wxString title = wxString::FromUTF8(caption);
    if (title == wxASCII_STR(wxMessageBoxCaptionStr))
        return program + " - " + title;
    return title;
}

int ShowBox(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
            UINT style)
{
    wxWindow* parent = nullptr;
    if (owner) {
        parent = static_cast<wxWindow*>(owner->GetWindow());
        if (!parent || parent->IsBeingDeleted())
            return IDCANCEL;
    }
    return afx::MessageBox(parent, text, BoxTitle(caption).utf8_string(), style);
}

} // namespace

int WxPrompt::Ask(const std::shared_ptr<PromptOwner>& owner, const std::string& text, const std::string& caption,
                  UINT style)
{
    wxAppConsole* app = wxTheApp;
    if (!app)
        return IDCANCEL;
    if (wxThread::IsMain())
        return ShowBox(owner, text, caption, style);
    // Only the queued call holds the promise: when the application drops it
    // unrun, the promise breaks and the worker stops waiting.
    auto promise = std::make_shared<std::promise<int>>();
    std::future<int> answer = promise->get_future();
    app->CallAfter([promise = std::move(promise), owner, text, caption, style] {
        promise->set_value(ShowBox(owner, text, caption, style));
    });
    try {
        return answer.get();
    } catch (const std::future_error&) {
        return IDCANCEL;
    }
}

void WxPrompt::Beep()
{
    wxAppConsole* app = wxTheApp;
    if (!app)
        return;
    if (wxThread::IsMain())
        wxBell();
    else
        app->CallAfter([] { wxBell(); });
}

void WaitDispatchingEvents(const ManualResetEvent& event)
{
    if (!wxTheApp || !wxThread::IsMain()) {
        event.Wait();
        return;
    }
    while (!event.Wait(std::chrono::milliseconds(10)))
        wxTheApp->Yield(false);
}

} // namespace dorvik
