#include "charts/messagebox.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace tarnwick {

namespace {
MessageBoxAnswer& answerHook()
{
    static MessageBoxAnswer answer;
    return answer;
}
} // namespace

void SetMessageBoxAnswer(MessageBoxAnswer answer)
{
    answerHook() = std::move(answer);
}

int ShowMessageBox(const std::string& text, const std::string& caption, ChartIcon icon, MessageButtons buttons)
{
    if (answerHook())
        return answerHook()(text, icon, buttons);
    if (!wxTheApp)
        return IDCANCEL;
    long style = 0;
    switch (buttons) {
    case MessageButtons::Ok:
        style = wxOK;
        break;
    case MessageButtons::YesNo:
        style = wxYES_NO;
        break;
    case MessageButtons::YesNoCancel:
        style = wxYES_NO | wxCANCEL;
        break;
    }
    switch (icon) {
    case ChartIcon::Question:
        style |= wxICON_QUESTION;
        break;
    case ChartIcon::Exclamation:
        style |= wxICON_EXCLAMATION;
        break;
    case ChartIcon::Stop:
        style |= wxICON_ERROR;
        break;
    case ChartIcon::Information:
        style |= wxICON_INFORMATION;
        break;
    case ChartIcon::None:
        break;
    }
    const wxString title = caption.empty() ? wxTheApp->GetAppDisplayName() : wxString::FromUTF8(caption);
    switch (wxMessageBox(wxString::FromUTF8(text), title, style, wxTheApp->GetTopWindow())) {
    case wxYES:
        return IDYES;
    case wxNO:
        return IDNO;
    case wxOK:
        return 1;
    default:
        return IDCANCEL;
    }
}

} // namespace tarnwick
