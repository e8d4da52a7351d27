// File and folder calls with Win32 results and error numbers.
#pragma once

#include "winapi/types.h"

#include <string>

namespace winapi {

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Symbolic links are followed. READONLY when the owner write bit is clear,
// HIDDEN for a name beginning with '.', NORMAL when no other bit is set.
DWORD GetFileAttributes(const std::string& path);

// mkdir with 0777 & ~umask: an existing entry is 183, a missing parent 3.
BOOL CreateDirectory(const std::string& path);

// A folder that could be made the current directory (stat and X_OK).
bool IsEnterableDirectory(const std::string& path);

} // namespace winapi
