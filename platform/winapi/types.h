// Win32 scalar types, constants and error numbers as the suite's code uses
// them. The typedefs agree with unixODBC's sqltypes.h (which declares the
// same names), so the two headers may be included in either order.
#pragma once

#include <cstdint>

#ifndef BOOL
typedef int BOOL;
#endif
typedef unsigned int DWORD;
typedef unsigned int UINT;
typedef unsigned short WORD;
typedef unsigned char BYTE;
typedef void* HWND;

namespace winapi {

using LONG = std::int32_t;
using HRESULT = std::int32_t;

inline constexpr BOOL kTrue = 1;
inline constexpr BOOL kFalse = 0;

// The layer has no path limit; this is the number the callers' own length
// rules are written against.
inline constexpr unsigned kMaxPath = 260;

// Win32 error numbers the layer sets.
enum : DWORD {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorTooManyOpenFiles = 4,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorOutOfMemory = 14,
    kErrorNotSameDevice = 17,
    kErrorNoMoreFiles = 18,
    kErrorWriteProtect = 19,
    kErrorSharingViolation = 32,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorDiskFull = 112,
    kErrorDirNotEmpty = 145,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorMoreData = 234,
    kErrorDirectory = 267,
    kErrorBadDb = 1009,
    kErrorKeyDeleted = 1018,
    kErrorIoDevice = 1117,
    kErrorCantResolveFilename = 1921,
};

// Errors that have no Win32 number carry the errno under this bit.
inline constexpr DWORD kCustomerErrorBit = 0x20000000;

} // namespace winapi
