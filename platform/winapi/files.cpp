#include "winapi/files.h"

#include "winapi/errors.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace winapi {

DWORD GetFileAttributes(const std::string& path)
{
    struct stat st {};
    if (path.empty()) {
        SetLastError(kErrorFileNotFound);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (::stat(path.c_str(), &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attrs = 0;
    if (S_ISDIR(st.st_mode))
        attrs |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0)
        attrs |= FILE_ATTRIBUTE_READONLY;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attrs |= FILE_ATTRIBUTE_HIDDEN;
    if (attrs == 0)
        attrs = FILE_ATTRIBUTE_NORMAL;
    SetLastError(kErrorSuccess);
    return attrs;
}

BOOL CreateDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        return FailWithErrno(errno, path, true);
    SetLastError(kErrorSuccess);
    return kTrue;
}

bool IsEnterableDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace winapi
