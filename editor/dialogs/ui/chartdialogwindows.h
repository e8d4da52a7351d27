// The chart dialogs as windows. Each entry opens its dialog modally on the
// main window and turns the dialog's end into IDOK or IDCANCEL.
#pragma once

#include "charts/shell/core/chartdialogs.h"

namespace tarnwick {

class CWxChartDialogs final : public IChartDialogs {
public:
    int SelectAction(ActionChoice& choice) override;
    int RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption) override;
    int ShowBackReferences(std::int32_t typeDoc, DocTypeChoice& chosen) override;
    int AskPicturePath(const std::string& proposed, std::string& path) override;
    int ArrangeParams(ArrangeChoice& params) override;
};

// wxID_OK is IDOK; every other end of a dialog is IDCANCEL.
int DialogResultFromWx(int wxResult);
// A picture path ends in ".jpg" (in any case); otherwise it is added.
std::string PicturePathWithExtension(const std::string& path);

} // namespace tarnwick
