#include "charts/shell/ui/chartmessagebox.h"

#include "afx/ui/messagebox.h"

#include <wx/app.h>

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
    UINT style = winapi::MB_OK;
    switch (buttons) {
    case MessageButtons::Ok:
        break;
    case MessageButtons::YesNo:
        style = winapi::MB_YESNO;
        break;
    case MessageButtons::YesNoCancel:
        style = winapi::MB_YESNOCANCEL;
        break;
    }
    switch (icon) {
    case ChartIcon::Question:
        style |= winapi::MB_ICONQUESTION;
        break;
    case ChartIcon::Exclamation:
        style |= winapi::MB_ICONEXCLAMATION;
        break;
    case ChartIcon::Stop:
        style |= winapi::MB_ICONSTOP;
        break;
    case ChartIcon::Information:
        style |= winapi::MB_ICONINFORMATION;
        break;
    case ChartIcon::None:
        break;
    }
    return afx::MessageBox(wxTheApp->GetTopWindow(), text, caption, style);
}

} // namespace tarnwick
