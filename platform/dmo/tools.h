// PostgreSQL's own client programs (pg_dump, pg_restore, psql, pg_amcheck,
// reindexdb) run as children: found in the server version's folder first,
// connection facts and the password passed in their environment only.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace dmo {

// The program's full path: /usr/lib/postgresql/<major>/bin when it is
// there (Debian keeps pg_amcheck only there), else the name for PATH.
std::string FindPgTool(const std::string& name, int major = 15);

// A --dbname value that the tools take as a database name only: a bare name
// holding "=" (or starting with a URI scheme) would be read as a connection
// string.
std::string DbnameArgument(const std::string& database);

struct ToolRun {
    int exitStatus = -1; // -1 when the program could not be started
    std::string errorText; // the last lines of its stderr, or why it did not start
    bool cancelled = false; // ended because `cancelled` asked for it
};

// Runs `argv` (argv[0] a path or a name for PATH) with `environment` added
// to this process's; its stdout goes to `stdoutFd` (-1: inherited).
// Returns when it has ended. While it runs, `cancelled` (when given) is
// asked about ten times a second; when it answers true the program is
// ended (SIGTERM, then SIGKILL) and the run is marked cancelled. The
// program also ends when the thread that started it dies, so a killed
// caller leaves no tool behind.
ToolRun RunTool(const std::vector<std::string>& argv,
                const std::vector<std::pair<std::string, std::string>>& environment, int stdoutFd = -1,
                const std::function<bool()>& cancelled = {});

} // namespace dmo
