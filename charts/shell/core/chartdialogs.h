// The modal dialogs the chart controllers open, one entry each. The editor
// installs the windows; tests install answers from a script. Every entry
// returns how the dialog ended: IDOK (1) or IDCANCEL (2); what the user chose
// comes back through the reference arguments, which stay untouched on
// IDCANCEL.
#pragma once

#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"
#include "diagram/odcomponent.h"

#include <cstdint>
#include <string>

class CODViewport;

namespace tarnwick {

// The catalogue action picked for a new action element.
struct ActionChoice {
    std::int32_t action = -1;
    std::string name;
    int kind = 0;
    std::int16_t order = 0;
};

// A document type picked among the back references of a state.
struct DocTypeChoice {
    std::int32_t typeDoc = 0;
    std::string name;
};

// The arrangement of a department chart. The spacings come in from the
// chart and go back when the user confirms.
struct ArrangeChoice {
    std::uint32_t horzSpace = 0;
    std::uint32_t vertSpace = 0;
    bool arrangeNodes = true;
    bool arrangeLinks = true;
    bool horizontal = true;
    bool fitSheet = true;
};

// The state prompt of the load and of the insertion lives beside these
// dialogs (ICreateStatePrompt, chartprogress.h).
class IChartDialogs {
public:
    virtual ~IChartDialogs() = default;
    // The action of a new action element.
    virtual int SelectAction(ActionChoice& choice) = 0;
    // The property sheet of the selected components; on IDOK the pages have
    // written their values into the components.
    virtual int RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption) = 0;
    // The document types whose charts lead into typeDoc.
    virtual int ShowBackReferences(std::int32_t typeDoc, DocTypeChoice& chosen) = 0;
    // The file a chart's picture is written to; proposed is the chart's title.
    virtual int AskPicturePath(const std::string& proposed, std::string& path) = 0;
    virtual int ArrangeParams(ArrangeChoice& params) = 0;
};

// Without installed dialogs every entry ends with IDCANCEL.
IChartDialogs& ChartDialogs();
void SetChartDialogs(IChartDialogs* dialogs);

} // namespace tarnwick
