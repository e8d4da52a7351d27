#include "winapi/errors.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>

namespace winapi {
namespace {

thread_local DWORD t_lastError = 0;

bool parentFolderMissing(const std::string& path)
{
    if (path.empty())
        return false;
    std::string parent = path;
    while (!parent.empty() && parent.back() == '/')
        parent.pop_back();
    const auto slash = parent.rfind('/');
    if (slash == std::string::npos)
        return false; // relative name in the current folder, which exists
    parent.resize(slash == 0 ? 1 : slash);
    struct stat st {};
    return ::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

} // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD Win32ErrorFromErrno(int err, const std::string& path, bool existsAsAlreadyExists)
{
    switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return parentFolderMissing(path) ? kErrorPathNotFound : kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EEXIST: return existsAsAlreadyExists ? kErrorAlreadyExists : kErrorFileExists;
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EIO: return kErrorIoDevice;
    case ELOOP: return kErrorCantResolveFilename;
    default: return kCustomerErrorBit | static_cast<DWORD>(err);
    }
}

BOOL FailWithErrno(int err, const std::string& path, bool existsAsAlreadyExists)
{
    SetLastError(Win32ErrorFromErrno(err, path, existsAsAlreadyExists));
    return kFalse;
}

BOOL FailWith(DWORD code)
{
    SetLastError(code);
    return kFalse;
}

std::string FormatMessage(DWORD code)
{
    switch (code) {
    case 0: return "The operation completed successfully.";
    case 2: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 4: return "The system cannot open the file.";
    case 5: return "Access is denied.";
    case 6: return "The handle is invalid.";
    case 8: return "Not enough memory resources are available to process this command.";
    case 13: return "The data is invalid.";
    case 14: return "Not enough storage is available to complete this operation.";
    case 17: return "The system cannot move the file to a different disk drive.";
    case 18: return "There are no more files.";
    case 19: return "The media is write protected.";
    case 32: return "The process cannot access the file because it is being used by another process.";
    case 50: return "The request is not supported.";
    case 80: return "The file exists.";
    case 87: return "The parameter is incorrect.";
    case 112: return "There is not enough space on the disk.";
    case 145: return "The directory is not empty.";
    case 183: return "Cannot create a file when that file already exists.";
    case 206: return "The filename or extension is too long.";
    case 234: return "More data is available.";
    case 267: return "The directory name is invalid.";
    case 1009: return "The configuration registry database is corrupt.";
    case 1018: return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case 1117: return "The request could not be performed because of an I/O device error.";
    case 1921: return "The name of the file cannot be resolved by the system.";
    default: break;
    }
    if ((code & 0xF0000000u) == kCustomerErrorBit) {
        // English whatever LANG says.
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        const int err = static_cast<int>(code & ~kCustomerErrorBit);
        if (c != static_cast<locale_t>(nullptr))
            return ::strerror_l(err, c);
        return "";
    }
    return "";
}

std::string FormatHResult(HRESULT hr)
{
    const auto u = static_cast<std::uint32_t>(hr);
    switch (u) {
    case 0x8007000Eu: return FormatMessage(kErrorOutOfMemory); // E_OUTOFMEMORY
    case 0x80070057u: return FormatMessage(kErrorInvalidParameter); // E_INVALIDARG
    case 0x80004005u: return "Unspecified error";
    case 0x80004001u: return "Not implemented";
    case 0x80004002u: return "No such interface supported";
    case 0x80004003u: return "Invalid pointer";
    case 0x80020009u: return "Exception occurred.";
    default: break;
    }
    if ((u & 0xFFFF0000u) == 0x80070000u)
        return FormatMessage(u & 0xFFFFu);
    return "";
}

int FileExceptionCauseFromWin32(DWORD code)
{
    switch (code) {
    case 2: return 2;
    case 3: case 15: case 123: case 206: case 267: return 3;
    case 4: return 4;
    case 5: case 19: case 80: case 183: return 5;
    case 6: return 6;
    case 16: return 7;
    case 18: return 8;
    case 25: return 9;
    case 1117: return 10;
    case 32: return 11;
    case 33: return 12;
    case 112: return 13;
    case 38: return 14;
    default: return 1;
    }
}

} // namespace winapi
