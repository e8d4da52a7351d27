// Two commands of a database or patch section: loading a folder of bulk
// files into the tables named after them, and listing the application
// objects that the user or the patch changed.
#pragma once

#include <string>

namespace dmo {
class SQLServer;
}

namespace dorvik {

class CCommander;

// Each file that `mask` matches (relative to the kit folder) is loaded into
// the table named by the file name without its extension, in name order,
// one transaction per file. Throws CExceptLoadFromBCP naming the file that
// failed; files loaded before stay loaded. A cancelled run or a dead
// connection between files throws its result code (9, 8).
void LoadFromBcp(CCommander& commander, dmo::SQLServer* server, const std::string& database,
                 const std::string& mask, bool truncateFirst);

// Fills xchangedobjects: the objects whose checksum the patch table
// changes (PatchChanged 1), and the objects whose stored data no longer
// has its recorded checksum (UserChanged 1). Returns 0; server errors are
// thrown.
int ListChangedObjects(CCommander& commander, dmo::SQLServer* server, const std::string& database,
                       const std::string& patchTable);

} // namespace dorvik
