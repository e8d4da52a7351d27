#include "editor/program/tarnwickapp.h"

#include "winapi/module_version.h"
#include "winapi/text.h"

WINAPI_MODULE_VERSION("Tarnwick workflow editor")

wxIMPLEMENT_APP_NO_MAIN(tarnwick::CTarnwickApp);

int main(int argc, char** argv)
{
    winapi::InitProcessLocale();
    tarnwick::g_arguments = tarnwick::TakeCommandLine(argc, argv);
    return wxEntry(argc, argv);
}
