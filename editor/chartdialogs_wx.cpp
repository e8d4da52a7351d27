#include "chartdialogs_wx.h"

#include "diagrampropsheet.h"

#include "diagram/odviewport.h"

#include <wx/app.h>
#include <wx/defs.h>
#include <wx/toplevel.h>

namespace tarnwick {

int DialogResultFromWx(int wxResult)
{
    return wxResult == wxID_OK ? IDOK : IDCANCEL;
}

// Each dialog below answers Cancel until its window exists.

int CWxChartDialogs::SelectAction(ActionChoice& choice)
{
    CActionSelectDlg dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (dialog.DoModal() != IDOK)
        return IDCANCEL;
    const CActionSelectDlgModel& chosen = dialog.Model();
    choice.action = chosen.SelectedAction;
    choice.name = chosen.SelectedName;
    choice.kind = chosen.KindIndex;
    choice.order = chosen.Order;
    return IDOK;
}

int CWxChartDialogs::RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption)
{
    wxWindow* parent = viewport.GetWnd() ? wxGetTopLevelParent(viewport.GetWnd()) : nullptr;
    if (!parent && wxTheApp)
        parent = wxTheApp->GetTopWindow();
    CDiagramPropSheet sheet(selection, &viewport, caption, 0xFFFFFFFFu, parent);
    AddPagesForSelection(sheet);
    // Nothing to show: no sheet.
    if (sheet.GetPageCount() == 0)
        return IDCANCEL;
    return sheet.DoModal() == OD_IDOK ? IDOK : IDCANCEL;
}

int CWxChartDialogs::ShowBackReferences(std::int32_t, DocTypeChoice&) { return IDCANCEL; }

int CWxChartDialogs::AskPicturePath(const std::string&, std::string&) { return IDCANCEL; }

int CWxChartDialogs::ArrangeParams(ArrangeChoice&) { return IDCANCEL; }

} // namespace tarnwick
