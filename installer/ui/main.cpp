#include "winapi/module_version.h"

WINAPI_MODULE_VERSION("Dorvik database installer")

namespace dorvik {
int RunDorvik(int argc, char** argv);
}

int main(int argc, char** argv) { return dorvik::RunDorvik(argc, argv); }
