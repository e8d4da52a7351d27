#include "winapi/settings/odbcconfig.h"

#include "winapi/text.h"

#include <odbcinst.h>

#include <cstring>
#include <fstream>
#include <strings.h>

// libodbcinst's own answer to where the driver manager reads the user's and
// the system's odbc.ini (its installed header does not declare it).
extern "C" int _odbcinst_UserINI(char* path, int verify);
extern "C" int _odbcinst_SystemINI(char* path, int verify);

namespace winapi {

namespace {

// Sets the configuration mode under the lock and puts the default back.
class ConfigModeScope {
public:
    explicit ConfigModeScope(UWORD mode) : m_lock(OdbcConfigModeLock()) { SQLSetConfigMode(mode); }
    ~ConfigModeScope() { SQLSetConfigMode(ODBC_BOTH_DSN); }

private:
    std::lock_guard<std::mutex> m_lock;
};

} // namespace

std::mutex& OdbcConfigModeLock()
{
    static std::mutex lock;
    return lock;
}

std::optional<std::string> OdbcDsnValue(OdbcScope scope, const std::string& dsn, const std::string& name,
                                        unsigned maxChars)
{
    if (dsn.empty() || name.empty() || maxChars == 0)
        return std::nullopt;
    ConfigModeScope mode(scope == OdbcScope::System ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
    // A default no stored value can have tells "missing" from "empty".
    std::string value(4096, '\0');
    int length = SQLGetPrivateProfileString(dsn.c_str(), name.c_str(), "\x01", value.data(),
                                            static_cast<int>(value.size()), "odbc.ini");
    if (length < 0)
        return std::nullopt;
    value.resize(std::strlen(value.c_str()));
    if (value == "\x01")
        return std::nullopt;
    return std::string(Utf8Left(value, maxChars - 1));
}

bool OdbcDataSourceFiles(std::string& user, std::string& system)
{
    char path[4096] = {};
    if (!_odbcinst_UserINI(path, 0))
        return false;
    user = path;
    path[0] = '\0';
    if (!_odbcinst_SystemINI(path, 0))
        return false;
    system = path;
    return !user.empty() && !system.empty();
}

namespace {

// One section of an odbc.ini file read as the driver manager reads it:
// names and values trimmed, ';' and '#' lines left out, sections matched
// without regard to case.
std::optional<std::vector<std::pair<std::string, std::string>>> ReadIniSection(const std::string& path,
                                                                              const std::string& section)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    auto trim = [](const std::string& text) { return Trim(text, " \t\r"); };
    std::optional<std::vector<std::pair<std::string, std::string>>> found;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (found)
                break;
            const std::size_t close = line.find(']');
            inside = strcasecmp(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)).c_str(),
                                section.c_str()) == 0;
            if (inside)
                found.emplace();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (inside && eq != std::string::npos)
            found->emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return found;
}

} // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> OdbcDataSourceSettings(const std::string& dsn)
{
    std::string user, system;
    if (dsn.empty() || !OdbcDataSourceFiles(user, system))
        return std::nullopt;
    if (auto settings = ReadIniSection(user, dsn))
        return settings;
    return ReadIniSection(system, dsn);
}

bool OdbcDriverInstalled(const std::string& driver)
{
    if (driver.empty())
        return false;
    std::vector<char> buf(65536);
    WORD out = 0;
    {
        std::lock_guard<std::mutex> lock(OdbcConfigModeLock());
        if (!SQLGetInstalledDrivers(buf.data(), static_cast<WORD>(buf.size() - 1), &out))
            return false;
    }
    for (const char* name = buf.data(); *name; name += std::strlen(name) + 1)
        if (Utf8EqualNoCase(name, driver))
            return true;
    return false;
}

bool OdbcWriteSystemDsn(const std::string& dsn, const std::string& driver,
                        const std::vector<std::pair<std::string, std::string>>& attributes, std::string& error)
{
    error.clear();
    bool ok;
    {
        ConfigModeScope mode(ODBC_SYSTEM_DSN);
        ok = SQLWriteDSNToIni(dsn.c_str(), driver.c_str());
        for (std::size_t i = 0; ok && i < attributes.size(); ++i)
            ok = SQLWritePrivateProfileString(dsn.c_str(), attributes[i].first.c_str(),
                                              attributes[i].second.c_str(), "odbc.ini");
    }
    if (!ok) {
        error = OdbcInstallerError();
        if (error.empty())
            error = "General installer error";
    }
    return ok;
}

std::string OdbcInstallerError()
{
    DWORD code = 0;
    char message[260] = {};
    WORD length = 0;
    RETCODE rc = SQLInstallerError(1, &code, message, sizeof message, &length);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
        return {};
    return std::string(Utf8Left(message, sizeof message - 1));
}

} // namespace winapi
