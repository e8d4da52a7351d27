#include "installer/packed/exceptions.h"

#include "winapi/errors.h"

namespace dorvik {

namespace {

const char* const kFileCauses[] = {
    "No error occurred",
    "An unspecified error occurred",
    "The file could not be located",
    "All or part of the path is invalid",
    "The permitted number of open files was exceeded",
    "The file could not be accessed",
    "There was an attempt to use an invalid file handle",
    "The current working directory cannot be removed",
    "There are no more directory entries",
    "There was an error trying to set the file pointer",
    "There was a hardware error",
    "SHARE.EXE was not loaded, or a shared region was locked",
    "There was an attempt to lock a region that was already locked",
    "The disk is full",
    "The end of file was reached",
};

const char* const kArchiveCauses[] = {
    "No error occurred",
    "Unspecified error",
    "Tried to write into an archive opened for loading",
    "Reached end of file while reading an object",
    "Tried to read from an archive opened for storing",
    "Invalid file format",
    "Tried to read an object into an object of the wrong type",
    "Tried to read an object with a different version of the class",
};

template <std::size_t N>
const char* lookup(const char* const (&table)[N], int cause)
{
    return cause >= 0 && static_cast<std::size_t>(cause) < N ? table[cause] : nullptr;
}

std::string describe(const char* text) { return text ? text : "unknown cause"; }

} // namespace

CFileException::CFileException(int cause, unsigned osError, std::string fileName)
    : std::runtime_error(describe(lookup(kFileCauses, cause)) +
                         (fileName.empty() ? "" : ": " + fileName)),
      m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName))
{
}

void CFileException::ThrowErrno(int err, const std::string& fileName)
{
    DWORD code = winapi::Win32ErrorFromErrno(err, fileName);
    winapi::SetLastError(code);
    throw CFileException(winapi::FileExceptionCauseFromWin32(code), code, fileName);
}

CArchiveException::CArchiveException(int cause, std::string fileName)
    : std::runtime_error(describe(lookup(kArchiveCauses, cause)) +
                         (fileName.empty() ? "" : ": " + fileName)),
      m_cause(cause), m_strFileName(std::move(fileName))
{
}

const char* FileExceptionCauseText(int cause) { return lookup(kFileCauses, cause); }
const char* ArchiveExceptionCauseText(int cause) { return lookup(kArchiveCauses, cause); }

} // namespace dorvik
