#include "winapi/settings/app_profile.h"

#include "winapi/errors.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"

namespace winapi {
namespace {

std::string defaultExeName()
{
    const std::string& exe = GetModuleFileName();
    return SplitPath(exe).fname;
}

} // namespace

AppProfile& AppProfile::Instance()
{
    static AppProfile profile;
    return profile;
}

AppProfile::AppProfile()
    : m_exeName(defaultExeName()), m_appTitle(m_exeName), m_profileName(m_exeName + ".INI")
{
}

std::string AppProfile::ExeName() const
{
    std::lock_guard lock(m_mutex);
    return m_exeName;
}

void AppProfile::SetExeName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_exeName = std::move(name);
}

std::string AppProfile::AppTitle() const
{
    std::lock_guard lock(m_mutex);
    return m_appTitle;
}

void AppProfile::SetAppTitle(std::string title)
{
    std::lock_guard lock(m_mutex);
    m_appTitle = std::move(title);
}

void AppProfile::SetRegistryKey(std::string key)
{
    std::lock_guard lock(m_mutex);
    m_registryKey = std::move(key);
    m_profileName = m_appTitle;
}

std::string AppProfile::RegistryKey() const
{
    std::lock_guard lock(m_mutex);
    return m_registryKey;
}

bool AppProfile::IsRegistryMode() const
{
    std::lock_guard lock(m_mutex);
    return !m_registryKey.empty();
}

std::string AppProfile::ProfileName() const
{
    std::lock_guard lock(m_mutex);
    return m_profileName;
}

void AppProfile::SetProfileName(std::string path)
{
    std::lock_guard lock(m_mutex);
    m_profileName = std::move(path);
    m_registryKey.clear();
}

// The registry store arrives with the programs that use registry mode; until
// then that mode reads defaults and refuses writes, so nothing is lost
// silently.
std::string AppProfile::GetProfileString(const char* section, const char* entry, const char* def) const
{
    if (IsRegistryMode())
        return def == nullptr ? std::string() : std::string(def);
    std::string out;
    GetPrivateProfileString(section, entry, def, out, 4096, ProfileName());
    return out;
}

UINT AppProfile::GetProfileInt(const char* section, const char* entry, int def) const
{
    if (IsRegistryMode())
        return static_cast<UINT>(def);
    return GetPrivateProfileInt(section, entry, def, ProfileName());
}

BOOL AppProfile::WriteProfileString(const char* section, const char* entry, const char* value)
{
    if (IsRegistryMode())
        return FailWith(kErrorNotSupported);
    return WritePrivateProfileString(section, entry, value, ProfileName());
}

BOOL AppProfile::WriteProfileInt(const char* section, const char* entry, int value)
{
    const std::string text = std::to_string(value);
    return WriteProfileString(section, entry, text.c_str());
}

} // namespace winapi
