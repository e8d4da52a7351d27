#include "chartdialogs_wx.h"

#include <wx/defs.h>

namespace tarnwick {

int DialogResultFromWx(int wxResult)
{
    return wxResult == wxID_OK ? IDOK : IDCANCEL;
}

// Each dialog below answers Cancel until its window exists.

int CWxChartDialogs::SelectAction(ActionChoice&) { return IDCANCEL; }

int CWxChartDialogs::RunProperties(CODComponentSet&, CODViewport&, const std::string&) { return IDCANCEL; }

int CWxChartDialogs::ShowBackReferences(std::int32_t, DocTypeChoice&) { return IDCANCEL; }

int CWxChartDialogs::AskPicturePath(const std::string&, std::string&) { return IDCANCEL; }

int CWxChartDialogs::ArrangeParams(ArrangeChoice&) { return IDCANCEL; }

} // namespace tarnwick
