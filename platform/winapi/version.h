// Version records of the suite's programs and libraries. Each module
// registers its record at start-up (see module_version.h); a file that is
// not a loaded module of this process has none.
#pragma once

#include "winapi/types.h"

#include <array>
#include <ctime>
#include <map>
#include <optional>
#include <string>

namespace winapi {

struct VersionInfo {
    std::array<WORD, 4> fileVersion {};
    std::array<WORD, 4> productVersion {};
    DWORD translation = 0x041904B0;
    // ProductName, ProductVersion ("a.b.c.d"), FileVersion, CompanyName,
    // LegalCopyright, FileDescription.
    std::map<std::string, std::string> strings;

    DWORD FileVersionMS() const { return (DWORD(fileVersion[0]) << 16) | fileVersion[1]; }
    DWORD FileVersionLS() const { return (DWORD(fileVersion[2]) << 16) | fileVersion[3]; }
    DWORD ProductVersionMS() const { return (DWORD(productVersion[0]) << 16) | productVersion[1]; }
    DWORD ProductVersionLS() const { return (DWORD(productVersion[2]) << 16) | productVersion[3]; }
    // Null when the record has no such string.
    const char* GetString(const std::string& name) const;
};

// Registers the record of the module (executable or shared library) that
// holds `addressInModule`.
void RegisterModuleVersion(const void* addressInModule, VersionInfo info);

// The record of the module at `path` (an executable or a loaded library).
std::optional<VersionInfo> GetFileVersionInfo(const std::string& path);

// A compiler date literal ("May 10 2012") as the local midnight of that
// day; 0 when it does not parse. Month names are English whatever the locale.
std::time_t ParseCompileDate(const char* dateLiteral);

} // namespace winapi
