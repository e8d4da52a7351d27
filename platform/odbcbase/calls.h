// The narrow and wide ODBC entry points. Text is UTF-8 on our side; the wide
// calls take UTF-16. The SQLite driver has only the narrow entry points,
// which take UTF-8 as is (the driver manager's own wide-to-narrow mapping
// would mangle it), so its callers ask for the narrow call.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <string>

namespace odbcbase {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// UTF-16 from the driver to UTF-8; the second form reads to the terminating 0.
std::string ToUtf8(const SQLWCHAR* text, std::size_t length);
std::string ToUtf8(const SQLWCHAR* text);
// UTF-8 to the UTF-16 a wide call takes; WideArg hands its buffer over.
std::u16string ToWide(const std::string& text);
inline SQLWCHAR* WideArg(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& sql, bool narrow);
// SQLDriverConnect without a prompt.
SQLRETURN DriverConnect(SQLHDBC dbc, const std::string& connect, bool narrow);
// A text item of SQLGetInfo ("" when the driver does not give it).
std::string InfoText(SQLHDBC dbc, SQLUSMALLINT info, bool narrow = true);

} // namespace odbcbase
