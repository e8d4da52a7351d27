// The test program's own version record, as a host program has one.
#include "winapi/module_version.h"

WINAPI_MODULE_VERSION("Quillmark tests")
