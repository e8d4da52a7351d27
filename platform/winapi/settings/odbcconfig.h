// unixODBC's data-source files (odbc.ini, system and user) and driver list
// (odbcinst.ini), read and written through odbcinst. The installer's
// configuration mode is one setting of the whole process, so every use of
// it goes through the one lock here and puts ODBC_BOTH_DSN back.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace winapi {

// Held while the configuration mode is anything but ODBC_BOTH_DSN.
std::mutex& OdbcConfigModeLock();

enum class OdbcScope { System, User };

// A setting of a data source in the system or user odbc.ini; nullopt when
// the source or the key is missing. Nothing is ever created. The value is
// cut to maxChars - 1 characters.
std::optional<std::string> OdbcDsnValue(OdbcScope scope, const std::string& dsn, const std::string& name,
                                        unsigned maxChars = 256);

// The files the driver manager reads the user's and the system's data
// sources from, as libodbcinst names them; false when it does not say.
bool OdbcDataSourceFiles(std::string& user, std::string& system);

// A data source's settings as the driver manager finds them: its section of
// the user's odbc.ini, or else of the system's, each key with its value
// trimmed, in file order. nullopt when neither file has the section. Each
// file is read once, where the driver manager and a driver read them again
// for every key they look up.
std::optional<std::vector<std::pair<std::string, std::string>>> OdbcDataSourceSettings(const std::string& dsn);

// Whether odbcinst.ini has a driver section of that name (without regard to
// case, as the driver manager looks it up).
bool OdbcDriverInstalled(const std::string& driver);

// Adds or replaces a system data source: the driver entry, then each
// key=value. false with the installer's error text on failure.
bool OdbcWriteSystemDsn(const std::string& dsn, const std::string& driver,
                        const std::vector<std::pair<std::string, std::string>>& attributes, std::string& error);

// The installer's first error message (record 1), at most 259 characters;
// "" when none.
std::string OdbcInstallerError();

} // namespace winapi
