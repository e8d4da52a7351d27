#include "odbcbase/diagnostics.h"

#include "odbcbase/calls.h"

#include <algorithm>
#include <climits>

namespace odbcbase {

namespace {

std::string Text(const SQLCHAR* text, std::size_t length) { return std::string(reinterpret_cast<const char*>(text), length); }

std::string Text(const SQLWCHAR* text, std::size_t length) { return ToUtf8(text, length); }

SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, SQLCHAR* state, SQLINTEGER* native,
                     SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length)
{
    return SQLGetDiagRec(type, handle, i, state, native, message, size, length);
}

SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, SQLWCHAR* state, SQLINTEGER* native,
                     SQLWCHAR* message, SQLSMALLINT size, SQLSMALLINT* length)
{
    return SQLGetDiagRecW(type, handle, i, state, native, message, size, length);
}

// Reads record i into records; false when there is no such record.
template <class Char>
bool ReadRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, std::vector<DiagRecord>& records)
{
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    Char state[6] = {};
    std::vector<Char> message(1024);
    SQLRETURN rc = GetDiagRec(type, handle, i, state, &native, message.data(),
                              static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(rc))
        return false;
    if (length >= static_cast<SQLSMALLINT>(message.size())) {
        message.assign(static_cast<std::size_t>(length) + 1, Char());
        rc = GetDiagRec(type, handle, i, state, &native, message.data(), static_cast<SQLSMALLINT>(message.size()),
                        &length);
        if (!Succeeded(rc))
            return false;
    }
    const std::size_t used =
        std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    std::size_t stateLength = 0;
    while (stateLength < 5 && state[stateLength])
        ++stateLength;
    records.push_back({Text(state, stateLength), static_cast<std::int32_t>(native), Text(message.data(), used)});
    return true;
}

} // namespace

std::vector<DiagRecord> ReadDiagnostics(short type, void* handle, bool narrow)
{
    std::vector<DiagRecord> records;
    if (!handle)
        return records;
    for (SQLSMALLINT i = 1; i < SHRT_MAX; ++i) {
        const bool read = narrow ? ReadRecord<SQLCHAR>(type, handle, i, records)
                                 : ReadRecord<SQLWCHAR>(type, handle, i, records);
        if (!read)
            break;
    }
    return records;
}

std::string FirstSqlState(short type, void* handle)
{
    if (!handle)
        return {};
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[8];
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length)))
        return {};
    return reinterpret_cast<const char*>(state);
}

} // namespace odbcbase
