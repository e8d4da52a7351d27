// uninstall: removes the application installed in its own folder.
//   uninstall [-s]
//   uninstall -o:<path> [-h:<fd>]   deletes a temporary copy of itself
// Exits with the run status: 0 success, 2 failed, 3 cancelled.
// The windows live in libuninstall-ui.so, loaded only when the run shows
// them, so a silent removal starts without the window toolkit.
#include "setup/uninstallapp.h"
#include "setup/uninstallui.h"
#include "winapi/module_version.h"
#include "winapi/text.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

WINAPI_MODULE_VERSION("uninstall");

namespace {

// The window module lies beside the suite's libraries: in the folder the
// winapi layer was loaded from (the installed copy of this program lives in
// the application's folder, far from them).
std::string UiModulePath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&winapi::InitProcessLocale), &info) != 0 && info.dli_fname) {
        std::string library = info.dli_fname;
        auto slash = library.rfind('/');
        if (slash != std::string::npos)
            return library.substr(0, slash + 1) + UNINSTALL_UI_MODULE;
    }
    return UNINSTALL_UI_MODULE;
}

// The window module; null with the reason on stderr when it cannot be loaded.
std::unique_ptr<kelm_setup::IUninstallUi> LoadUi()
{
    // Never unloaded: the toolkit keeps running code of its own until exit.
    void* module = ::dlopen(UiModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "uninstall: cannot load its windows: %s\n", ::dlerror());
        return nullptr;
    }
    auto create = reinterpret_cast<kelm_setup::CreateUninstallUiFn>(
        ::dlsym(module, kelm_setup::kCreateUninstallUiSymbol));
    if (!create) {
        std::fprintf(stderr, "uninstall: cannot load its windows: %s\n", ::dlerror());
        return nullptr;
    }
    return std::unique_ptr<kelm_setup::IUninstallUi>(create());
}

} // namespace

int main(int argc, char** argv)
{
    winapi::InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    kelm_setup::CUninstallApp app;
    app.ParseCommandLine(args);
    bool temporaryCopy = false;
    for (const auto& arg : args)
        temporaryCopy = temporaryCopy || arg.rfind("-o:", 0) == 0;
    if (app.IsSilent() || temporaryCopy)
        return app.Run();

    auto ui = LoadUi();
    if (!ui)
        return kelm_setup::CUninstallApp::Failed;
    if (!ui->Start(argv[0])) {
        std::fprintf(stderr, "uninstall: no display to ask on; use -s for a silent removal\n");
        return kelm_setup::CUninstallApp::Failed;
    }
    app.SetPrompt(ui->Prompt());
    kelm_setup::IUninstallUi* windows = ui.get();
    app.SetConfirm([windows](const std::string& text) { return windows->Confirm(text); });
    int status = app.Run();
    ui->Stop();
    return status;
}
