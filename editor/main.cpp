#include "tarnwickapp.h"

wxIMPLEMENT_APP_NO_MAIN(tarnwick::CTarnwickApp);

int main(int argc, char** argv)
{
    tarnwick::g_arguments = tarnwick::TakeCommandLine(argc, argv);
    return wxEntry(argc, argv);
}
