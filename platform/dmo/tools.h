// PostgreSQL's own client programs (pg_dump, pg_restore, psql, pg_amcheck,
// reindexdb) run as children: found in the server version's folder first,
// connection facts and the password passed in their environment only.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace dmo {

// The program's full path: /usr/lib/postgresql/<major>/bin when it is
// there (Debian keeps pg_amcheck only there), else the name for PATH.
std::string FindPgTool(const std::string& name, int major = 15);

struct ToolRun {
    int exitStatus = -1; // -1 when the program could not be started
    std::string errorText; // the last lines of its stderr, or why it did not start
};

// Runs `argv` (argv[0] a path or a name for PATH) with `environment` added
// to this process's; its stdout goes to `stdoutFd` (-1: inherited).
// Returns when it has ended.
ToolRun RunTool(const std::vector<std::string>& argv,
                const std::vector<std::pair<std::string, std::string>>& environment, int stdoutFd = -1);

} // namespace dmo
