#include "odbcbase/calls.h"

#include "winapi/text.h"

#include <string_view>

namespace odbcbase {

std::string ToUtf8(const SQLWCHAR* text, std::size_t length)
{
    return winapi::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::string ToUtf8(const SQLWCHAR* text)
{
    std::size_t length = 0;
    while (text[length])
        ++length;
    return ToUtf8(text, length);
}

std::u16string ToWide(const std::string& text) { return winapi::Utf8ToUtf16(text); }

SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& sql, bool narrow)
{
    if (narrow) {
        std::string text = sql;
        return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
    }
    std::u16string text = ToWide(sql);
    return SQLExecDirectW(stmt, WideArg(text), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN DriverConnect(SQLHDBC dbc, const std::string& connect, bool narrow)
{
    SQLSMALLINT outLength = 0;
    if (narrow) {
        std::string text = connect;
        SQLCHAR out[1024];
        return SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                static_cast<SQLSMALLINT>(text.size()), out, sizeof out, &outLength,
                                SQL_DRIVER_NOPROMPT);
    }
    std::u16string text = ToWide(connect);
    SQLWCHAR out[1024];
    return SQLDriverConnectW(dbc, nullptr, WideArg(text), static_cast<SQLSMALLINT>(text.size()), out, 1024,
                             &outLength, SQL_DRIVER_NOPROMPT);
}

std::string InfoText(SQLHDBC dbc, SQLUSMALLINT info, bool narrow)
{
    SQLSMALLINT length = 0;
    if (narrow) {
        char text[256] = {};
        if (!Succeeded(SQLGetInfo(dbc, info, text, sizeof text - 1, &length)))
            return {};
        return text;
    }
    SQLWCHAR text[256] = {};
    if (!Succeeded(SQLGetInfoW(dbc, info, text, sizeof text - sizeof(SQLWCHAR), &length)))
        return {};
    return ToUtf8(text);
}

} // namespace odbcbase
