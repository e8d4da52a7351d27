// The thread's last Win32 error, the errno translation every function of the
// layer uses, and the English texts of the numbers.
#pragma once

#include "winapi/types.h"

#include <string>

namespace winapi {

DWORD GetLastError();
void SetLastError(DWORD code);

// What an errno becomes. ENOENT is 2, or 3 when a folder of `path` is
// missing (pass the path the call used); EEXIST is 80 for files and 183 for
// folder creation and moves (`existsAsAlreadyExists`).
DWORD Win32ErrorFromErrno(int err, const std::string& path = {}, bool existsAsAlreadyExists = false);

// Sets the last error from errno (as above) and returns FALSE, for the
// common "fail with the system's reason" exit.
BOOL FailWithErrno(int err, const std::string& path = {}, bool existsAsAlreadyExists = false);
BOOL FailWith(DWORD code);

// English text of a Win32 number, without a trailing line break; a
// customer-bit number gives the errno's text; unknown numbers give "".
std::string FormatMessage(DWORD code);

// Text of an HRESULT as the COM error formatter shows it; "" when unknown.
std::string FormatHResult(HRESULT hr);

// The class library's file-failure cause for a Win32 number (1 = generic).
int FileExceptionCauseFromWin32(DWORD code);

} // namespace winapi
