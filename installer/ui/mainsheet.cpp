#include "installer/ui/mainframe.h"

namespace dorvik {

// The wizard is built with its pages; until then an interactive run ends
// with the main run's "not available in this build" message.
std::optional<int> RunMainSheet(wxWindow*, CInstallData&) { return std::nullopt; }

} // namespace dorvik
