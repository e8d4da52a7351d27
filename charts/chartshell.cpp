#include "charts/chartshell.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace tarnwick {
namespace {

class CDefaultChartShell : public IChartShell {
public:
    bool AskYesNo(const std::string& text) override
    {
        if (!wxTheApp)
            return false;
        return wxMessageBox(wxString::FromUTF8(text), wxTheApp->GetAppDisplayName(),
                            wxYES_NO | wxICON_QUESTION) == wxYES;
    }
    int AskYesNoCancel(const std::string& text) override
    {
        if (!wxTheApp)
            return IDCANCEL;
        switch (wxMessageBox(wxString::FromUTF8(text), wxTheApp->GetAppDisplayName(),
                             wxYES_NO | wxCANCEL | wxICON_QUESTION)) {
        case wxYES:
            return IDYES;
        case wxNO:
            return IDNO;
        default:
            return IDCANCEL;
        }
    }
    void Message(const std::string& text, const std::string& caption, ChartIcon icon) override
    {
        if (!wxTheApp)
            return;
        long style = wxOK;
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
        wxMessageBox(wxString::FromUTF8(text),
                     caption.empty() ? wxTheApp->GetAppDisplayName() : wxString::FromUTF8(caption), style);
    }
    void PostCommand(int id) override
    {
        if (!wxTheApp || !wxTheApp->GetTopWindow())
            return;
        wxTheApp->GetTopWindow()->GetEventHandler()->QueueEvent(new wxCommandEvent(wxEVT_MENU, id));
    }
    bool SendCommand(int id) override
    {
        if (!wxTheApp || !wxTheApp->GetTopWindow())
            return false;
        wxCommandEvent event(wxEVT_MENU, id);
        return wxTheApp->GetTopWindow()->GetEventHandler()->ProcessEvent(event);
    }
    bool IsReadOnly() const override { return true; }
    ado::_ConnectionPtr Connection() override { return nullptr; }
};

CDefaultChartShell g_defaultShell;
IChartShell* g_pShell = nullptr;

} // namespace

IChartShell& ChartShell()
{
    return g_pShell ? *g_pShell : g_defaultShell;
}

void SetChartShell(IChartShell* shell)
{
    g_pShell = shell;
}

void ShowChartComError(const ado::_com_error& e)
{
    std::string text = e.Description().str();
    if (text.empty())
        text = e.ErrorMessage();
    ChartShell().Message(text, e.Source().str(), ChartIcon::Stop);
}

} // namespace tarnwick
