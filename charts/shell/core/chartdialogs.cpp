#include "charts/shell/core/chartdialogs.h"

namespace tarnwick {

namespace {

class CancellingDialogs final : public IChartDialogs {
public:
    int SelectAction(ActionChoice&) override { return IDCANCEL; }
    int RunProperties(CODComponentSet&, CODViewport&, const std::string&) override { return IDCANCEL; }
    int ShowBackReferences(std::int32_t, DocTypeChoice&) override { return IDCANCEL; }
    int AskPicturePath(const std::string&, std::string&) override { return IDCANCEL; }
    int ArrangeParams(ArrangeChoice&) override { return IDCANCEL; }
};

IChartDialogs* g_dialogs = nullptr;

} // namespace

IChartDialogs& ChartDialogs()
{
    static CancellingDialogs cancelling;
    return g_dialogs ? *g_dialogs : cancelling;
}

void SetChartDialogs(IChartDialogs* dialogs) { g_dialogs = dialogs; }

} // namespace tarnwick
