#include "winapi/settings/registry.h"

#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace winapi {

namespace {

// The hive as text: a header line, then "K <path>" for each key followed by
// "V <type> <name> <data>" for each of its values. Paths, names and data
// are quoted; bytes outside printable ASCII and UTF-8 are written \xNN.
constexpr const char* kHiveHeader = "# winapi registry hive 1";

struct Key {
    std::string path;
    std::vector<RegValue> values;
};
using Hive = std::map<std::string, Key>; // by folded path

std::mutex g_registryMutex;

std::string quote(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            AppendHexByte(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Reads one quoted text at `pos`, leaving `pos` behind it.
bool unquote(const std::string& line, std::size_t& pos, std::string& out)
{
    out.clear();
    if (pos >= line.size() || line[pos] != '"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        if (line[pos] == 'x') {
            if (pos + 2 >= line.size())
                return false;
            int hi = HexDigitValue(line[pos + 1]), lo = HexDigitValue(line[pos + 2]);
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
        } else if (line[pos] == '"' || line[pos] == '\\') {
            out += line[pos];
        } else {
            return false;
        }
    }
    return false;
}

bool skipBlank(const std::string& line, std::size_t& pos)
{
    if (pos >= line.size() || line[pos] != ' ')
        return false;
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    return true;
}

bool parseHive(const std::string& text, Hive& hive)
{
    Key* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t pos = 1;
        if (line[0] == 'K') {
            std::string path;
            if (!skipBlank(line, pos) || !unquote(line, pos, path) || pos != line.size() || path.empty())
                return false;
            Key& key = hive[Utf8Fold(path)];
            key.path = path;
            current = &key;
        } else if (line[0] == 'V' && current) {
            if (!skipBlank(line, pos))
                return false;
            std::size_t digits = pos;
            while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9')
                ++pos;
            if (pos == digits || pos - digits > 10)
                return false;
            RegValue value;
            value.type = static_cast<DWORD>(std::strtoul(line.c_str() + digits, nullptr, 10));
            std::string data;
            if (!skipBlank(line, pos) || !unquote(line, pos, value.name) || !skipBlank(line, pos) ||
                !unquote(line, pos, data) || pos != line.size())
                return false;
            value.data.assign(data.begin(), data.end());
            current->values.push_back(std::move(value));
        } else {
            return false;
        }
    }
    return true;
}

std::string formatHive(const Hive& hive)
{
    std::string text = std::string(kHiveHeader) + "\n";
    for (const auto& [folded, key] : hive) {
        text += "K " + quote(key.path) + "\n";
        for (const auto& value : key.values)
            text += "V " + std::to_string(value.type) + " " + quote(value.name) + " " +
                    quote(std::string(value.data.begin(), value.data.end())) + "\n";
    }
    return text;
}

// Splits a key path at '\'; leading and trailing separators are ignored,
// an empty component inside is an error.
bool normalisePath(const std::string& subkey, std::vector<std::string>& parts)
{
    parts.clear();
    std::size_t begin = subkey.find_first_not_of('\\');
    if (begin == std::string::npos)
        return true;
    std::size_t end = subkey.find_last_not_of('\\');
    std::string trimmed = subkey.substr(begin, end - begin + 1);
    std::size_t pos = 0;
    for (;;) {
        std::size_t sep = trimmed.find('\\', pos);
        std::string part = trimmed.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos);
        if (part.empty())
            return false;
        parts.push_back(part);
        if (sep == std::string::npos)
            return true;
        pos = sep + 1;
    }
}

std::string joinParts(const std::vector<std::string>& parts, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            out += '\\';
        out += parts[i];
    }
    return out;
}

class HiveFile {
public:
    explicit HiveFile(HKEY root) : m_folder(RegistryRootFolder(root)) {}
    ~HiveFile()
    {
        if (m_lockFd >= 0)
            ::close(m_lockFd);
    }

    // Takes the shared lock (when the lock file exists) and reads.
    LONG Read(Hive& hive) { return load(hive, false); }

    // Takes the exclusive lock, creating the root folder and lock file, and
    // reads; Write() then replaces the hive.
    LONG ReadForWrite(Hive& hive) { return load(hive, true); }

    LONG Write(const Hive& hive)
    {
        if (!WriteWholeFile(m_folder + "/hive", formatHive(hive), 0644))
            return static_cast<LONG>(GetLastError());
        return kErrorSuccess;
    }

    // Whether a change could be written, without changing anything.
    bool Writable() const
    {
        struct stat st {};
        if (::stat(m_folder.c_str(), &st) == 0)
            return ::access(m_folder.c_str(), W_OK) == 0;
        std::string parent = m_folder;
        while (true) {
            auto slash = parent.rfind('/');
            if (slash == std::string::npos || slash == 0)
                return ::access("/", W_OK) == 0;
            parent.erase(slash);
            if (::stat(parent.c_str(), &st) == 0)
                return ::access(parent.c_str(), W_OK) == 0;
        }
    }

private:
    LONG load(Hive& hive, bool exclusive)
    {
        hive.clear();
        if (m_lockFd >= 0) {
            ::close(m_lockFd);
            m_lockFd = -1;
        }
        if (m_folder.empty())
            return kErrorPathNotFound;
        std::string lockPath = m_folder + "/hive.lock";
        if (exclusive) {
            if (!makeFolder())
                return kErrorAccessDenied;
            m_lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (m_lockFd < 0)
                return errno == EACCES || errno == EPERM || errno == EROFS
                           ? static_cast<LONG>(kErrorAccessDenied)
                           : static_cast<LONG>(Win32ErrorFromErrno(errno, lockPath));
        } else {
            m_lockFd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        }
        if (m_lockFd >= 0) {
            while (::flock(m_lockFd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
        }
        std::string hivePath = m_folder + "/hive";
        int fd = ::open(hivePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                return kErrorSuccess; // no hive yet: no keys
            return static_cast<LONG>(Win32ErrorFromErrno(errno, hivePath));
        }
        std::string text;
        if (!ReadAll(fd, text)) {
            int err = errno;
            ::close(fd);
            return static_cast<LONG>(Win32ErrorFromErrno(err, hivePath));
        }
        ::close(fd);
        if (!parseHive(text, hive)) {
            hive.clear();
            return kErrorBadDb;
        }
        return kErrorSuccess;
    }

    bool makeFolder()
    {
        struct stat st {};
        if (::stat(m_folder.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode);
        std::size_t pos = 1;
        for (;;) {
            std::size_t slash = m_folder.find('/', pos);
            std::string prefix = m_folder.substr(0, slash);
            if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
            if (slash == std::string::npos)
                return true;
            pos = slash + 1;
        }
    }

    std::string m_folder;
    int m_lockFd = -1;
};

LONG finish(LONG code)
{
    SetLastError(static_cast<DWORD>(code));
    return code;
}

RegValue* findValue(Key& key, const char* name)
{
    std::string wanted = name ? name : "";
    for (auto& value : key.values)
        if (Utf8EqualNoCase(value.name, wanted))
            return &value;
    return nullptr;
}

// The open key's entry in a freshly read hive; 1018 when it went away.
LONG locate(const RegKey& key, Hive& hive, Key*& found)
{
    found = nullptr;
    if (!key.IsOpen())
        return kErrorInvalidHandle;
    auto it = hive.find(Utf8Fold(key.Path()));
    if (it == hive.end())
        return kErrorKeyDeleted;
    found = &it->second;
    return kErrorSuccess;
}

// Reads the open key's hive with `read` (HiveFile::Read or ReadForWrite) and
// finds the key's entry in it.
LONG readKey(const RegKey& key, HiveFile& file, LONG (HiveFile::*read)(Hive&), Hive& hive, Key*& entry)
{
    entry = nullptr;
    LONG rc = (file.*read)(hive);
    if (rc != kErrorSuccess)
        return rc;
    return locate(key, hive, entry);
}

} // namespace

std::string RegistryRootFolder(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE) {
        const char* env = std::getenv("WINAPI_REGISTRY_MACHINE");
        return env && *env ? env : "/var/lib/varnholt/registry";
    }
    if (root == HKEY_CURRENT_USER) {
        if (const char* env = std::getenv("WINAPI_REGISTRY_USER"); env && *env)
            return env;
        if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
            return std::string(config) + "/varnholt/registry";
        const char* home = std::getenv("HOME");
        return std::string(home && *home ? home : "") + "/.config/varnholt/registry";
    }
    return {};
}

LONG RegCreateKeyEx(HKEY root, const std::string& subkey, REGSAM access, RegKey& key, DWORD* disposition)
{
    std::vector<std::string> parts;
    if (!normalisePath(subkey, parts) || parts.empty())
        return finish(kErrorInvalidParameter);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(root);
    Hive hive;
    LONG rc = file.Read(hive);
    if (rc != kErrorSuccess)
        return finish(rc);
    std::string path = joinParts(parts, parts.size());
    bool exists = hive.count(Utf8Fold(path)) != 0;
    if (!exists || (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))) {
        if (!file.Writable())
            return finish(kErrorAccessDenied);
    }
    if (!exists) {
        rc = file.ReadForWrite(hive);
        if (rc != kErrorSuccess)
            return finish(rc);
        exists = hive.count(Utf8Fold(path)) != 0;
        // Each level keeps the spelling it was first created with.
        std::string spelled;
        for (std::size_t level = 1; level <= parts.size() && !exists; ++level) {
            Key& entry = hive[Utf8Fold(joinParts(parts, level))];
            if (entry.path.empty())
                entry.path = spelled.empty() ? parts[level - 1] : spelled + "\\" + parts[level - 1];
            spelled = entry.path;
        }
        if (!exists) {
            rc = file.Write(hive);
            if (rc != kErrorSuccess)
                return finish(rc);
        }
    }
    key.m_open = true;
    key.m_root = root;
    key.m_path = hive[Utf8Fold(path)].path;
    key.m_access = access;
    if (disposition)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    return finish(kErrorSuccess);
}

LONG RegOpenKeyEx(HKEY root, const std::string& subkey, REGSAM access, RegKey& key)
{
    std::vector<std::string> parts;
    if (!normalisePath(subkey, parts) || parts.empty())
        return finish(kErrorInvalidParameter);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(root);
    Hive hive;
    LONG rc = file.Read(hive);
    if (rc != kErrorSuccess)
        return finish(rc);
    auto it = hive.find(Utf8Fold(joinParts(parts, parts.size())));
    if (it == hive.end())
        return finish(kErrorFileNotFound);
    if ((access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) && !file.Writable())
        return finish(kErrorAccessDenied);
    key.m_open = true;
    key.m_root = root;
    key.m_path = it->second.path;
    key.m_access = access;
    return finish(kErrorSuccess);
}

LONG RegCloseKey(RegKey& key)
{
    key.Close();
    return finish(kErrorSuccess);
}

LONG RegQueryValueEx(const RegKey& key, const char* name, DWORD* type, BYTE* data, DWORD* cb)
{
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(key.Root());
    Hive hive;
    Key* entry = nullptr;
    if (LONG rc = readKey(key, file, &HiveFile::Read, hive, entry); rc != kErrorSuccess)
        return finish(rc);
    RegValue* value = findValue(*entry, name);
    if (!value)
        return finish(kErrorFileNotFound);
    if (type)
        *type = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (!data) {
        if (cb)
            *cb = size;
        return finish(kErrorSuccess);
    }
    if (!cb)
        return finish(kErrorInvalidParameter);
    if (*cb < size) {
        *cb = size;
        return finish(kErrorMoreData);
    }
    if (size)
        std::memcpy(data, value->data.data(), size);
    *cb = size;
    return finish(kErrorSuccess);
}

std::optional<std::string> RegQueryString(const RegKey& key, const char* name, DWORD maxChars)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key, name, &type, nullptr, &size) != kErrorSuccess)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    std::vector<BYTE> data(size + 1);
    DWORD cb = size;
    if (RegQueryValueEx(key, name, &type, data.data(), &cb) != kErrorSuccess)
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(data.data()), cb);
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (maxChars == 0 || Utf8Length(text) > maxChars - 1) {
        SetLastError(kErrorMoreData);
        return std::nullopt;
    }
    return text;
}

LONG RegSetValueEx(const RegKey& key, const char* name, DWORD type, const BYTE* data, DWORD cb)
{
    if (!key.IsOpen())
        return finish(kErrorInvalidHandle);
    if (!(key.Access() & KEY_SET_VALUE))
        return finish(kErrorAccessDenied);
    if (cb && !data)
        return finish(kErrorInvalidParameter);
    if (type == REG_DWORD && cb != 4)
        return finish(kErrorInvalidParameter);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(key.Root());
    Hive hive;
    Key* entry = nullptr;
    if (LONG rc = readKey(key, file, &HiveFile::ReadForWrite, hive, entry); rc != kErrorSuccess)
        return finish(rc);
    RegValue* value = findValue(*entry, name);
    if (!value) {
        entry->values.push_back(RegValue{name ? name : "", REG_NONE, {}});
        value = &entry->values.back();
    }
    value->type = type;
    value->data.assign(data, data + cb);
    return finish(file.Write(hive));
}

LONG RegSetValues(const RegKey& key, const std::vector<RegValue>& values)
{
    if (!key.IsOpen())
        return finish(kErrorInvalidHandle);
    if (!(key.Access() & KEY_SET_VALUE))
        return finish(kErrorAccessDenied);
    for (const auto& v : values)
        if (v.type == REG_DWORD && v.data.size() != 4)
            return finish(kErrorInvalidParameter);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(key.Root());
    Hive hive;
    Key* entry = nullptr;
    if (LONG rc = readKey(key, file, &HiveFile::ReadForWrite, hive, entry); rc != kErrorSuccess)
        return finish(rc);
    for (const auto& v : values) {
        RegValue* value = findValue(*entry, v.name.c_str());
        if (!value) {
            entry->values.push_back(RegValue{v.name, REG_NONE, {}});
            value = &entry->values.back();
        }
        value->type = v.type;
        value->data = v.data;
    }
    return finish(file.Write(hive));
}

RegValue RegStringValue(const std::string& name, const std::string& value)
{
    RegValue v{name, REG_SZ, {}};
    v.data.assign(value.begin(), value.end());
    v.data.push_back(0);
    return v;
}

RegValue RegDwordValue(const std::string& name, DWORD value)
{
    return RegValue{name,
                    REG_DWORD,
                    {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)}};
}

LONG RegSetString(const RegKey& key, const char* name, const std::string& value)
{
    return RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
}

LONG RegSetDword(const RegKey& key, const char* name, DWORD value)
{
    BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)};
    return RegSetValueEx(key, name, REG_DWORD, bytes, 4);
}

LONG RegDeleteValue(const RegKey& key, const char* name)
{
    if (!key.IsOpen())
        return finish(kErrorInvalidHandle);
    if (!(key.Access() & KEY_SET_VALUE))
        return finish(kErrorAccessDenied);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(key.Root());
    Hive hive;
    Key* entry = nullptr;
    if (LONG rc = readKey(key, file, &HiveFile::ReadForWrite, hive, entry); rc != kErrorSuccess)
        return finish(rc);
    RegValue* value = findValue(*entry, name);
    if (!value)
        return finish(kErrorFileNotFound);
    entry->values.erase(entry->values.begin() + (value - entry->values.data()));
    return finish(file.Write(hive));
}

LONG RegDeleteTree(HKEY root, const std::string& subkey)
{
    std::vector<std::string> parts;
    if (!normalisePath(subkey, parts) || parts.empty())
        return finish(kErrorInvalidParameter);
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(root);
    Hive hive;
    LONG rc = file.Read(hive);
    if (rc != kErrorSuccess)
        return finish(rc);
    std::string folded = Utf8Fold(joinParts(parts, parts.size()));
    if (!hive.count(folded))
        return finish(kErrorFileNotFound);
    if (!file.Writable())
        return finish(kErrorAccessDenied);
    rc = file.ReadForWrite(hive);
    if (rc != kErrorSuccess)
        return finish(rc);
    bool removed = false;
    for (auto it = hive.begin(); it != hive.end();) {
        if (it->first == folded || it->first.rfind(folded + "\\", 0) == 0) {
            it = hive.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (!removed)
        return finish(kErrorFileNotFound);
    return finish(file.Write(hive));
}

std::vector<std::string> RegEnumKeys(HKEY root, const std::string& subkey)
{
    std::vector<std::string> names;
    std::vector<std::string> parts;
    if (!normalisePath(subkey, parts))
        return names;
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(root);
    Hive hive;
    if (file.Read(hive) != kErrorSuccess)
        return names;
    std::string prefix = parts.empty() ? std::string() : Utf8Fold(joinParts(parts, parts.size())) + "\\";
    for (const auto& [folded, key] : hive) {
        if (folded.rfind(prefix, 0) != 0 || folded.size() == prefix.size())
            continue;
        if (folded.find('\\', prefix.size()) == std::string::npos)
            names.push_back(key.path.substr(key.path.rfind('\\') + 1));
    }
    return names;
}

std::vector<RegValue> RegEnumValues(HKEY root, const std::string& subkey)
{
    std::vector<std::string> parts;
    if (!normalisePath(subkey, parts) || parts.empty())
        return {};
    std::lock_guard<std::mutex> guard(g_registryMutex);
    HiveFile file(root);
    Hive hive;
    if (file.Read(hive) != kErrorSuccess)
        return {};
    auto it = hive.find(Utf8Fold(joinParts(parts, parts.size())));
    return it == hive.end() ? std::vector<RegValue>{} : it->second.values;
}

} // namespace winapi
