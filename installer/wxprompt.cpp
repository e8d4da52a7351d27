#include "installer/wxprompt.h"

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

long ToWxStyle(UINT style)
{
    long wx;
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        wx = wxOK | wxCANCEL;
        break;
    case MB_YESNO:
        wx = wxYES_NO;
        break;
    default:
        wx = wxOK;
        break;
    }
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return wx | wxICON_ERROR;
    case MB_ICONQUESTION:
        return wx | wxICON_QUESTION;
    case MB_ICONEXCLAMATION:
        return wx | wxICON_EXCLAMATION;
    case MB_ICONINFORMATION:
        return wx | wxICON_INFORMATION;
    default:
        return wx | wxICON_NONE;
    }
}

// A box closed without a button: OK for an OK box, Cancel for OK/Cancel,
// and No for Yes/No, which on Windows cannot be closed that way.
int ToAnswer(int wxAnswer, UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return wxAnswer == wxOK ? IDOK : IDCANCEL;
    case MB_YESNO:
        return wxAnswer == wxYES ? IDYES : IDNO;
    default:
        return IDOK;
    }
}

// The program's name for no caption; GTK shows no title at all for the
// toolkit's own default caption ("Message"), so that one gets the
// program's name before it.
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
    return ToAnswer(wxMessageBox(wxString::FromUTF8(text), BoxTitle(caption), ToWxStyle(style), parent), style);
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
