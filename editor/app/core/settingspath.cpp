#include "editor/app/core/settingspath.h"

#include "editor/app/core/editorcore.h"

#include "resources/tarnwick/tarnwickstrings.h"

#include <cstdlib>
#include <string>

namespace tarnwick {

std::filesystem::path SettingsFilePath()
{
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = ".";
    return base / RegistryKeyName() / (std::string(res::LoadString(res::IDS_APP_TITLE)) + ".conf");
}

} // namespace tarnwick
