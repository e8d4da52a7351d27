// uninstall's windows, kept in a module of their own (libuninstall-ui.so)
// that the program loads only when it shows one: a silent removal never
// loads the window toolkit.
#pragma once

#include "winapi/prompt.h"

#include <memory>
#include <string>

namespace kelm_setup {

class IUninstallUi {
public:
    virtual ~IUninstallUi() = default;
    // Starts the toolkit; false when there is no display to show windows on.
    virtual bool Start(char* argv0) = 0;
    // The message boxes of the run.
    virtual std::shared_ptr<winapi::IPrompt> Prompt() = 0;
    // The confirmation dialog: true for OK.
    virtual bool Confirm(const std::string& text) = 0;
    // Ends the toolkit started by Start.
    virtual void Stop() = 0;
};

// The module's one entry point, looked up by this name.
using CreateUninstallUiFn = IUninstallUi* (*)();
inline constexpr const char* kCreateUninstallUiSymbol = "KelmCreateUninstallUi";

} // namespace kelm_setup
