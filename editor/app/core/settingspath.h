// Where the editor keeps its profile: <config>/Kelm Tarnwick v<version>/<title>.conf
// under the user's XDG configuration folder; the default element properties
// lie beside it.
#pragma once

#include <filesystem>

namespace tarnwick {

std::filesystem::path SettingsFilePath();

} // namespace tarnwick
