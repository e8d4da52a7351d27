// The registry: keys and typed values in one small file-backed hive per
// root. HKEY_LOCAL_MACHINE lives in $WINAPI_REGISTRY_MACHINE (default
// /var/lib/varnholt/registry), HKEY_CURRENT_USER in $WINAPI_REGISTRY_USER
// (default $XDG_CONFIG_HOME/varnholt/registry). Every call reads the hive
// again, so handles see what other processes wrote; every change rewrites
// it whole under an exclusive lock (temporary file, fsync, rename).
#pragma once

#include "winapi/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace winapi {

enum class HKEY : std::uintptr_t {
    LocalMachine = 0x80000002,
    CurrentUser = 0x80000001,
};
inline constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::LocalMachine;
inline constexpr HKEY HKEY_CURRENT_USER = HKEY::CurrentUser;

using REGSAM = DWORD;
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// An open key: the root, the path below it and the access asked for. It
// holds no file open; a key deleted behind it answers 1018.
class RegKey {
public:
    RegKey() = default;
    bool IsOpen() const { return m_open; }
    HKEY Root() const { return m_root; }
    const std::string& Path() const { return m_path; }
    REGSAM Access() const { return m_access; }
    void Close() { m_open = false; }

private:
    friend LONG RegCreateKeyEx(HKEY, const std::string&, REGSAM, RegKey&, DWORD*);
    friend LONG RegOpenKeyEx(HKEY, const std::string&, REGSAM, RegKey&);
    bool m_open = false;
    HKEY m_root = HKEY_LOCAL_MACHINE;
    std::string m_path; // components joined by '\', as first written
    REGSAM m_access = 0;
};

// The folder that holds a root's hive.
std::string RegistryRootFolder(HKEY root);

// Creates every missing level (5 when the hive cannot be written). The
// disposition says whether the key was new.
LONG RegCreateKeyEx(HKEY root, const std::string& subkey, REGSAM access, RegKey& key, DWORD* disposition = nullptr);
// 2 when the key does not exist.
LONG RegOpenKeyEx(HKEY root, const std::string& subkey, REGSAM access, RegKey& key);
LONG RegCloseKey(RegKey& key);

// 2 when the value is missing; 234 when `*cb` is too small (then `*cb` is
// the size needed). Null `data` asks for the size only. Null or "" names
// the default value.
LONG RegQueryValueEx(const RegKey& key, const char* name, DWORD* type, BYTE* data, DWORD* cb);
// A text value (REG_SZ or REG_EXPAND_SZ, unexpanded) without its
// terminating NUL; nullopt when missing, of another type, or longer than
// maxChars - 1 characters.
std::optional<std::string> RegQueryString(const RegKey& key, const char* name, DWORD maxChars);
LONG RegSetValueEx(const RegKey& key, const char* name, DWORD type, const BYTE* data, DWORD cb);
// Text with its NUL, as the callers of RegSetValueEx store it.
LONG RegSetString(const RegKey& key, const char* name, const std::string& value);
LONG RegSetDword(const RegKey& key, const char* name, DWORD value);
LONG RegDeleteValue(const RegKey& key, const char* name);
// The key, its values and every key below it; 2 when missing.
LONG RegDeleteTree(HKEY root, const std::string& subkey);
// Names of the keys directly below; empty when the key is missing.
std::vector<std::string> RegEnumKeys(HKEY root, const std::string& subkey);

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
std::vector<RegValue> RegEnumValues(HKEY root, const std::string& subkey);

// Several values of one key set as RegSetValueEx sets each, in their order,
// with one rewrite of the hive: other processes see all of them or none.
// 87 (nothing written) when a REG_DWORD value is not 4 bytes.
LONG RegSetValues(const RegKey& key, const std::vector<RegValue>& values);
// Values as RegSetString and RegSetDword store them.
RegValue RegStringValue(const std::string& name, const std::string& value);
RegValue RegDwordValue(const std::string& name, DWORD value);

} // namespace winapi
