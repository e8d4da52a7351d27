// The diagnostic records the driver manager keeps for a handle. The header
// leaves the ODBC headers out (their Windows type names would meet the
// programs' own): type is an SQL_HANDLE_* value, handle an ODBC handle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace odbcbase {

struct DiagRecord {
    std::string sqlState;
    std::int32_t nativeError = 0;
    std::string message;
};

// Every record of the handle, in order, each message whole. `narrow` reads
// through SQLGetDiagRec (for drivers with only the narrow entry points),
// else through SQLGetDiagRecW.
std::vector<DiagRecord> ReadDiagnostics(short type, void* handle, bool narrow = false);
// The first record's SQLSTATE; "" when there is none.
std::string FirstSqlState(short type, void* handle);

} // namespace odbcbase
