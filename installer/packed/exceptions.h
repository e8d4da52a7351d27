// The class library's failure kinds that Dorvik's commands turn into result
// codes: file failures and archive failures, each with its cause number.
#pragma once

#include <stdexcept>
#include <string>

namespace dorvik {

class CFileException : public std::runtime_error {
public:
    enum Cause {
        none = 0, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied,
        invalidFile, removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation,
        lockViolation, diskFull, endOfFile
    };
    CFileException(int cause, unsigned osError, std::string fileName);

    // From errno: the Win32 number and its cause.
    [[noreturn]] static void ThrowErrno(int err, const std::string& fileName);

    int m_cause;
    unsigned m_lOsError;
    std::string m_strFileName;
};

class CArchiveException : public std::runtime_error {
public:
    enum Cause {
        none = 0, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema
    };
    explicit CArchiveException(int cause, std::string fileName = {});

    int m_cause;
    std::string m_strFileName;
};

// Texts of the causes as the interpreter reports them; null outside the table.
const char* FileExceptionCauseText(int cause);
const char* ArchiveExceptionCauseText(int cause);

} // namespace dorvik
