#include "charts/shell/core/chartshell.h"
#include "charts/shell/ui/chartmessagebox.h"

#include "afx/cmdid.h"

#include <wx/app.h>
#include <wx/window.h>

namespace tarnwick {
namespace {

class CDefaultChartShell : public IChartShell {
public:
    bool AskYesNo(const std::string& text) override
    {
        return ShowMessageBox(text, "", ChartIcon::Question, MessageButtons::YesNo) == IDYES;
    }
    int AskYesNoCancel(const std::string& text) override
    {
        return ShowMessageBox(text, "", ChartIcon::Question, MessageButtons::YesNoCancel);
    }
    void Message(const std::string& text, const std::string& caption, ChartIcon icon) override
    {
        ShowMessageBox(text, caption, icon, MessageButtons::Ok);
    }
    void PostCommand(int id) override
    {
        if (!wxTheApp || !wxTheApp->GetTopWindow())
            return;
        wxTheApp->GetTopWindow()->GetEventHandler()->QueueEvent(new wxCommandEvent(wxEVT_MENU, ToWxId(id)));
    }
    bool SendCommand(int id) override
    {
        if (!wxTheApp || !wxTheApp->GetTopWindow())
            return false;
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
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
