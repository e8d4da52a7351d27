#include "odbcbase/engine.h"

#include "odbcbase/calls.h"

#include <sqlext.h>

#include <string>

namespace odbcbase {

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

} // namespace

Engine EngineOfDbmsName(std::string_view dbmsName)
{
    const std::string lower = Lower(dbmsName);
    if (lower.find("postgres") != std::string::npos)
        return Engine::PostgreSql;
    if (lower.find("sqlite") != std::string::npos)
        return Engine::Sqlite;
    if (lower.find("sql server") != std::string::npos)
        return Engine::SqlServer;
    return Engine::Other;
}

Engine EngineOfDriver(std::string_view driver)
{
    const std::string lower = Lower(driver);
    const std::size_t slash = lower.find_last_of('/');
    const std::string file = slash == std::string::npos ? lower : lower.substr(slash + 1);
    if (lower.find("sqlite") != std::string::npos)
        return Engine::Sqlite;
    if (lower.rfind("postgresql", 0) == 0 || file.find("psqlodbc") != std::string::npos)
        return Engine::PostgreSql;
    if (lower.find("sql server") != std::string::npos)
        return Engine::SqlServer;
    return Engine::Other;
}

Engine EngineOfConnection(SQLHDBC hdbc)
{
    if (hdbc == SQL_NULL_HDBC)
        return Engine::Other;
    return EngineOfDbmsName(InfoText(hdbc, SQL_DBMS_NAME));
}

const char* EngineName(Engine engine)
{
    switch (engine) {
    case Engine::SqlServer: return "Microsoft SQL Server";
    case Engine::PostgreSql: return "PostgreSQL";
    case Engine::Sqlite: return "SQLite";
    default: return "this DBMS";
    }
}

} // namespace odbcbase
