// Which engine a connection reaches, from the DBMS name the driver reports
// (SQL_DBMS_NAME) or from a driver's name or library file. The layers'
// dialects decide what differs between the engines; this only tells them apart.
#pragma once

#include <sql.h>

#include <string_view>

namespace odbcbase {

enum class Engine { Other, SqlServer, PostgreSql, Sqlite };

Engine EngineOfDbmsName(std::string_view dbmsName);
// A driver's description ("PostgreSQL Unicode", "SQLite3") or library
// ("/usr/lib/.../psqlodbcw.so", "libsqlite3odbc.so").
Engine EngineOfDriver(std::string_view driver);
// Asks an open connection for its DBMS name.
Engine EngineOfConnection(SQLHDBC hdbc);

const char* EngineName(Engine engine);

} // namespace odbcbase
