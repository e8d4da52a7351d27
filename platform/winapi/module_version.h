// Include in exactly one source file of a program or library and name the
// module there: its version record, built from the project version, is
// registered when the module is loaded.
//
//   #include "platform/winapi/module_version.h"
//   WINAPI_MODULE_VERSION("Quillmark profile library");
#pragma once

#include "winapi/version.h"

#include <kelm_version.h>

namespace winapi::detail {

inline VersionInfo ProjectVersionInfo(const char* description)
{
    VersionInfo v;
    v.fileVersion = {KELM_VERSION_MAJOR, KELM_VERSION_MINOR, KELM_VERSION_PATCH, KELM_VERSION_TWEAK};
    v.productVersion = v.fileVersion;
    v.strings["ProductName"] = "Kelm";
    v.strings["ProductVersion"] = KELM_VERSION_STRING;
    v.strings["FileVersion"] = KELM_VERSION_STRING;
    v.strings["CompanyName"] = KELM_COMPANY_NAME;
    v.strings["LegalCopyright"] = KELM_LEGAL_COPYRIGHT;
    v.strings["FileDescription"] = description;
    return v;
}

} // namespace winapi::detail

#define WINAPI_MODULE_VERSION(description)                                              \
    namespace {                                                                         \
    [[maybe_unused]] const bool winapiModuleVersionRegistered = [] {                    \
        static const char anchor = 0;                                                   \
        ::winapi::RegisterModuleVersion(&anchor, ::winapi::detail::ProjectVersionInfo(description)); \
        return true;                                                                    \
    }();                                                                                \
    }
