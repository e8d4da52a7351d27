// Reading the columns of CODBCRecord's current row by index and C type.
#include "odbc/data/core/odbcrecord.h"
#include "odbc/sql/dialect.h"

#include "afx/file.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

void CODBCRecord::CheckFieldIndex(short index) const
{
    if (index < 0 || index >= m_nResultCols)
        const_cast<CODBCRecord*>(this)->ThrowDBException(AFX_SQL_ERROR_FIELD_NOT_FOUND);
}

BOOL CODBCRecord::IsFieldDataNull(short index)
{
    CheckFieldIndex(index);
    return IsFieldStatusNull(static_cast<DWORD>(index));
}

SQLLEN CODBCRecord::ColAttribute(short index, SQLUSMALLINT field)
{
    CheckFieldIndex(index);
    SQLLEN value = 0;
    RETCODE rc = AfxOdbcRetry([&] {
        return SQLColAttribute(m_hstmt, static_cast<SQLUSMALLINT>(index + 1), field, nullptr, 0, nullptr, &value);
    });
    // A flag the driver does not know is taken as not set.
    if (rc == SQL_ERROR && IsUnsupportedAttribute(m_hstmt))
        return 0;
    if (!Check(rc))
        ThrowDBException(rc);
    return value;
}

bool CODBCRecord::IsFieldAutoIncrement(short index)
{
    return ColAttribute(index, SQL_DESC_AUTO_UNIQUE_VALUE) == 1;
}
bool CODBCRecord::IsFieldCaseSensitive(short index)
{
    return ColAttribute(index, SQL_DESC_CASE_SENSITIVE) == 1;
}
bool CODBCRecord::IsFieldUpdatable(short index)
{
    return ColAttribute(index, SQL_DESC_UPDATABLE) == 1;
}
short CODBCRecord::IsFieldSearchable(short index)
{
    return static_cast<short>(ColAttribute(index, SQL_DESC_SEARCHABLE));
}

long CODBCRecord::GetFieldData(short index, short cType, void* buffer, SQLLEN length)
{
    CheckFieldIndex(index);
    short sqlType = m_rgODBCFieldInfos[static_cast<std::size_t>(index)].m_nSQLType;
    return static_cast<long>(CRecordset::GetData(m_pDatabase, m_hstmt, static_cast<short>(index + 1), cType, buffer,
                                                 length, sqlType));
}

#define ORVO_READ(Type, cType, size)                                   \
    long CODBCRecord::GetFieldData(short index, Type& value)           \
    {                                                                  \
        value = Type{};                                                \
        return GetFieldData(index, short(cType), &value, SQLLEN(size)); \
    }

ORVO_READ(std::uint8_t, SQL_C_UTINYINT, 1)
ORVO_READ(short, SQL_C_SSHORT, 2)
ORVO_READ(std::uint16_t, SQL_C_USHORT, 2)
ORVO_READ(int, SQL_C_SLONG, 4)
ORVO_READ(std::uint32_t, SQL_C_ULONG, 4)
ORVO_READ(float, SQL_C_FLOAT, 4)
ORVO_READ(double, SQL_C_DOUBLE, 8)
ORVO_READ(std::int64_t, SQL_C_SBIGINT, 8)
ORVO_READ(std::uint64_t, SQL_C_UBIGINT, 8)
ORVO_READ(GUID, SQL_C_GUID, 16)
ORVO_READ(TIMESTAMP_STRUCT, SQL_C_TIMESTAMP, 16)
ORVO_READ(DATE_STRUCT, SQL_C_DATE, 6)
ORVO_READ(TIME_STRUCT, SQL_C_TIME, 6)
#undef ORVO_READ

long CODBCRecord::GetFieldData(short index, SYSTEMTIME& value)
{
    value = SYSTEMTIME{};
    TIMESTAMP_STRUCT ts{};
    long r = GetFieldData(index, ts);
    if (r != SQL_NULL_DATA)
        CopyDateTime(value, ts);
    return r;
}

long CODBCRecord::GetFieldData(short index, unsigned char* buffer, DWORD size)
{
    unsigned char placeholder[1];
    if (buffer == nullptr)
        return GetFieldData(index, short(SQL_C_BINARY), placeholder, 0);
    return GetFieldData(index, short(SQL_C_BINARY), buffer, static_cast<SQLLEN>(size));
}

namespace {

// Appends column (from 1) to out whole, in pieces of chunkSize bytes of the
// C type cType: drivers may not know the total length beforehand. A text
// piece ends in a zero, which is not kept. SQL_NULL_DATA for a null column,
// else the size read.
template <class Out>
long ReadInPieces(CDatabase* db, HSTMT hstmt, short column, SQLSMALLINT cType, std::size_t chunkSize, Out& out)
{
    std::vector<char> chunk(chunkSize);
    const std::size_t room = cType == SQL_C_CHAR ? chunk.size() - 1 : chunk.size();
    for (;;) {
        SQLLEN indicator = 0;
        RETCODE rc = AfxOdbcRetry([&] {
            return SQLGetData(hstmt, static_cast<SQLUSMALLINT>(column), cType, chunk.data(),
                              static_cast<SQLLEN>(chunk.size()), &indicator);
        });
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            AfxThrowDBException(rc, db, hstmt);
        if (indicator == SQL_NULL_DATA)
            return SQL_NULL_DATA;
        std::size_t got = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room
                              ? room
                              : static_cast<std::size_t>(indicator);
        out.insert(out.end(), chunk.data(), chunk.data() + got);
        if (rc == SQL_SUCCESS)
            break;
    }
    return static_cast<long>(out.size());
}

} // namespace

long CODBCRecord::GetFieldData(short index, std::vector<std::uint8_t>& value)
{
    value.clear();
    CheckFieldIndex(index);
    return ReadInPieces(m_pDatabase, m_hstmt, static_cast<short>(index + 1), SQL_C_BINARY, 8192, value);
}

long CODBCRecord::GetFieldData(short index, CFile& file)
{
    std::vector<std::uint8_t> bytes;
    long r = GetFieldData(index, bytes);
    if (r != SQL_NULL_DATA && !bytes.empty())
        file.Write(bytes.data(), bytes.size());
    return r;
}

namespace {

// Reads a text column whole (long or not, whatever size the driver reports).
long ReadText(CDatabase* db, HSTMT hstmt, short column, std::string& out)
{
    out.clear();
    return ReadInPieces(db, hstmt, column, SQL_C_CHAR, 4096, out);
}

} // namespace

int CODBCRecord::DecimalsFor(int decimals, SQLULEN precision)
{
    int count = decimals == -1 ? static_cast<int>(precision) : decimals;
    return count <= 0 ? 2 : count;
}

long CODBCRecord::GetFieldData(short index, std::string& value, int decimals)
{
    value.clear();
    CheckFieldIndex(index);
    CODBCFieldInfo info;
    GetODBCFieldInfo(index, info);
    long r = 0;
    switch (info.m_nSQLType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_GUID:
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        r = ReadText(m_pDatabase, m_hstmt, static_cast<short>(index + 1), value);
        if (r == SQL_NULL_DATA)
            value.clear();
        return r;
    case SQL_BIT: {
        unsigned char v = 0;
        r = GetFieldData(index, v);
        if (r != SQL_NULL_DATA)
            value = v ? "TRUE" : "FALSE";
        return r;
    }
    case SQL_TINYINT: {
        unsigned char v = 0;
        r = GetFieldData(index, v);
        if (r != SQL_NULL_DATA)
            value = std::to_string(v);
        return r;
    }
    case SQL_BIGINT: {
        std::int64_t v = 0;
        r = GetFieldData(index, v);
        if (r != SQL_NULL_DATA)
            value = std::to_string(v);
        return r;
    }
    case SQL_LONGVARBINARY:
    case SQL_VARBINARY:
    case SQL_BINARY: {
        std::vector<std::uint8_t> bytes;
        r = GetFieldData(index, bytes);
        if (r != SQL_NULL_DATA)
            ByteToString(bytes.data(), static_cast<int>(bytes.size()), value);
        return r;
    }
    case SQL_INTEGER:
    case SQL_SMALLINT: {
        int v = 0;
        r = GetFieldData(index, v);
        if (r != SQL_NULL_DATA)
            value = std::to_string(v);
        return r;
    }
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE: {
        double v = 0;
        r = GetFieldData(index, v);
        if (r != SQL_NULL_DATA) {
            char buffer[400];
            std::snprintf(buffer, sizeof buffer, "%.*f", std::min(DecimalsFor(decimals, info.m_nPrecision), 340), v);
            value = buffer;
        }
        return r;
    }
    case SQL_DATE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: {
        TIMESTAMP_STRUCT ts{};
        r = GetFieldData(index, ts);
        if (r == SQL_NULL_DATA)
            return r;
        if (m_pszFormatDateTime != nullptr)
            value = FormatDateTimePattern(m_pszFormatDateTime, ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second);
        else
            DateTimeToString(ts, value, false, false);
        return r;
    }
    case SQL_TIME:
    case SQL_TYPE_TIME: {
        TIME_STRUCT t{};
        r = GetFieldData(index, t);
        if (r != SQL_NULL_DATA)
            TimeToString(t, value, false);
        return r;
    }
    case SQL_TYPE_DATE: {
        DATE_STRUCT d{};
        r = GetFieldData(index, d);
        if (r == SQL_NULL_DATA)
            return r;
        if (m_pszFormatDate != nullptr)
            value = FormatDateTimePattern(m_pszFormatDate, d.year, d.month, d.day, 0, 0, 0);
        else
            DateToString(d, value, false, false);
        return r;
    }
    default:
        value = "UNDEFINED TYPE";
        return 0;
    }
}
