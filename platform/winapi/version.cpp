#include "winapi/version.h"

#include "winapi/errors.h"
#include "winapi/folders.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace winapi {
namespace {

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, VersionInfo>& records()
{
    static std::map<std::string, VersionInfo> r;
    return r;
}

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

} // namespace

const char* VersionInfo::GetString(const std::string& name) const
{
    auto it = strings.find(name);
    return it == strings.end() ? nullptr : it->second.c_str();
}

void RegisterModuleVersion(const void* addressInModule, VersionInfo info)
{
    auto path = GetModulePath(addressInModule);
    if (!path)
        return;
    std::lock_guard lock(registryMutex());
    records()[canonical(*path)] = std::move(info);
}

std::optional<VersionInfo> GetFileVersionInfo(const std::string& path)
{
    const std::string key = canonical(path);
    std::lock_guard lock(registryMutex());
    auto it = records().find(key);
    if (it == records().end()) {
        SetLastError(1813); // no version resource
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    return it->second;
}

std::time_t ParseCompileDate(const char* dateLiteral)
{
    if (dateLiteral == nullptr)
        return 0;
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char month[4] = {};
    int day = 0, year = 0;
    int consumed = 0;
    if (std::sscanf(dateLiteral, "%3s %d %d%n", month, &day, &year, &consumed) != 3 ||
        dateLiteral[consumed] != '\0')
        return 0;
    int m = -1;
    for (int i = 0; i < 12; ++i)
        if (std::strcmp(month, months[i]) == 0)
            m = i;
    if (m < 0 || day < 1 || day > 31 || year < 1970 || year > 9999)
        return 0;
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = m;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    // A day that does not exist in that month (Feb 30) is not a date.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != m)
        return 0;
    return t;
}

} // namespace winapi
