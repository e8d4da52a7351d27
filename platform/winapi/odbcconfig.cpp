#include "winapi/odbcconfig.h"

#include "winapi/text.h"

#include <odbcinst.h>

#include <cstring>

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
