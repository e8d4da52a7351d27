// The application object's profile: the class library's GetProfileString
// family. A full profile path means INI mode; SetRegistryKey switches to the
// registry (HKEY_CURRENT_USER\Software\<key>\<application>\<section>), and
// setting a profile path switches back to INI mode.
#pragma once

#include "winapi/types.h"

#include <mutex>
#include <string>

namespace winapi {

class AppProfile {
public:
    // The one profile of the process (the application object's).
    static AppProfile& Instance();

    AppProfile();

    // The program name (default: the executable's name without extension)
    // and the application title that names the registry key.
    std::string ExeName() const;
    void SetExeName(std::string name);
    std::string AppTitle() const;
    void SetAppTitle(std::string title);

    void SetRegistryKey(std::string key);
    std::string RegistryKey() const;
    bool IsRegistryMode() const;

    // The INI file name; by default "<exe name>.INI", a bare name (looked up
    // in the Windows folder stand-in).
    std::string ProfileName() const;
    void SetProfileName(std::string path);

    std::string GetProfileString(const char* section, const char* entry, const char* def = nullptr) const;
    UINT GetProfileInt(const char* section, const char* entry, int def) const;
    // Null entry deletes the section, null value the entry.
    BOOL WriteProfileString(const char* section, const char* entry, const char* value);
    BOOL WriteProfileInt(const char* section, const char* entry, int value);

private:
    mutable std::mutex m_mutex;
    std::string m_exeName;
    std::string m_appTitle;
    std::string m_registryKey;
    std::string m_profileName;
};

} // namespace winapi
