#include "odbc/data/core/listfillers.h"
#include "odbc/data/core/conversions.h"

#include "winapi/settings/odbcconfig.h"
#include "winapi/text.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <strings.h>

const char* GetSQLTypeName(short sqlType)
{
    switch (sqlType) {
    case -11: return "GUID";
    case -10: return "WLONGVARCHAR";
    case -9: return "WVARCHAR";
    case -8: return "WCHAR";
    case -7: return "BIT";
    case -6: return "TINYINT";
    case -5: return "BIGINT";
    case -4: return "LONGVARBINARY";
    case -3: return "VARBINARY";
    case -2: return "BINARY";
    case -1: return "LONGVARCHAR";
    case 1: return "CHAR";
    case 2: return "NUMERIC";
    case 3: return "DECIMAL";
    case 4: return "INTEGER";
    case 5: return "SMALLINT";
    case 6: return "FLOAT";
    case 7: return "REAL";
    case 8: return "DOUBLE";
    case 10: return "TIME";
    case 11: return "TIMESTAMP";
    case 12: return "VARCHAR";
    case 91: return "TYPE_DATE";
    case 92: return "TYPE_TIME";
    case 93: return "TYPE_TIMESTAMP";
    default: return "";
    }
}

const char* GetNulableColName(short nullable)
{
    switch (nullable) {
    case 0: return "NOT NULL";
    case 1: return "NULL";
    default: return "";
    }
}

const char* GetColProcTypeName(short columnType)
{
    switch (columnType) {
    case 1: return "In";
    case 2: return "In\\Out";
    case 3: return "Result col";
    case 4: return "Out";
    case 5: return "Return value";
    default: return "Unknown";
    }
}

namespace {

// The data sources of one odbc.ini file in file order: each section but the
// driver manager's own [ODBC] with its first Driver value.
void ReadDataSourceFile(const std::string& path, std::vector<OrvoDataSource>& out)
{
    std::ifstream in(path);
    std::string line;
    OrvoDataSource* current = nullptr;
    bool driverSeen = false;
    while (std::getline(in, line)) {
        line = winapi::Trim(line, " \t\r");
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string name = winapi::Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1), " \t\r");
            current = nullptr;
            if (!name.empty() && strcasecmp(name.c_str(), "ODBC") != 0) {
                out.push_back({name, std::string()});
                current = &out.back();
                driverSeen = false;
            }
            continue;
        }
        std::size_t eq = line.find('=');
        if (current == nullptr || driverSeen || eq == std::string::npos)
            continue;
        if (strcasecmp(winapi::Trim(line.substr(0, eq), " \t\r").c_str(), "Driver") == 0) {
            current->driver = winapi::Trim(line.substr(eq + 1), " \t\r");
            driverSeen = true;
        }
    }
}

} // namespace

bool EnumDataSources(std::vector<OrvoDataSource>& out)
{
    out.clear();
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return false;
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return false;
    }
    {
        // The driver manager switches the installer's configuration mode
        // while it reads the two odbc.ini files.
        std::lock_guard<std::mutex> lock(winapi::OdbcConfigModeLock());
        // SQLDataSources reads the whole file again for every source (8 s
        // for 500 of them), and it lists only the names that fit 4 KB: the
        // same two files, user first, are read once here instead.
        std::string userFile, systemFile;
        if (winapi::OdbcDataSourceFiles(userFile, systemFile)) {
            ReadDataSourceFile(userFile, out);
            ReadDataSourceFile(systemFile, out);
        } else {
            // Buffers far above any name the driver manager keeps; an entry
            // cut anyway (SQL_SUCCESS_WITH_INFO) is skipped and the walk goes on.
            std::vector<SQLCHAR> name(1024), driver(4096);
            SQLUSMALLINT direction = SQL_FETCH_FIRST;
            for (;;) {
                SQLSMALLINT nameLen = 0, driverLen = 0;
                SQLRETURN rc = SQLDataSources(env, direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                              &nameLen, driver.data(), static_cast<SQLSMALLINT>(driver.size()),
                                              &driverLen);
                direction = SQL_FETCH_NEXT;
                if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
                    break;
                if (nameLen >= static_cast<SQLSMALLINT>(name.size()))
                    continue;
                out.push_back(
                    {reinterpret_cast<const char*>(name.data()), reinterpret_cast<const char*>(driver.data())});
            }
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return true;
}

bool DriverPassesFilter(const std::vector<std::string>* filter, const std::string& driver)
{
    if (filter == nullptr)
        return true;
    return std::any_of(filter->begin(), filter->end(),
                       [&](const std::string& name) { return winapi::Utf8EqualNoCase(name, driver); });
}

void FillChoiceList(CRecordset& rs, std::string& out, int withHeader)
{
    out.clear();
    short n = rs.GetODBCFieldCount();
    auto written = [&](short i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        return info.m_nSQLType < -4 || info.m_nSQLType > -1;
    };
    if (withHeader != 0) {
        for (short i = 0; i < n; ++i) {
            CODBCFieldInfo info;
            rs.GetODBCFieldInfo(i, info);
            if (written(i)) {
                std::string name = info.m_strName;
                if (!name.empty() && name.front() == '[') {
                    name.erase(0, 1);
                    if (!name.empty() && name.back() == ']')
                        name.pop_back();
                }
                out += name;
            }
            if (i < n - 1)
                out += '\t';
        }
        out += '\n';
    }
    while (!rs.IsEOF()) {
        for (short i = 0; i < n; ++i) {
            if (written(i)) {
                std::string value;
                rs.GetFieldValue(i, value);
                out += value;
            }
            if (i < n - 1)
                out += '\t';
        }
        out += '\n';
        rs.MoveNext();
    }
}

long SelectListColumnData(short sqlType, SQLULEN precision)
{
    unsigned long p = static_cast<unsigned long>(std::min<SQLULEN>(precision, 0x7FFFFFFF));
    unsigned long size;
    switch (sqlType) {
    case -11: size = 129; break;
    case -9: case -8: case -1: case 1: case 12: size = p; break;
    case -6: case -5: case 4: case 5: size = p + 1; break;
    case -4: case -3: case -2: size = 2 * p + 2; break;
    case 2: case 3: size = p + 2; break;
    default: size = p + 10; break;
    }
    size = std::min<unsigned long>(size, 32767);
    return static_cast<long>((size << 16) | (static_cast<unsigned short>(sqlType) & 0xFFFFu));
}

std::string SelectListCellText(CRecordset& rs, short column, short sqlType)
{
    std::string text;
    switch (sqlType) {
    case -11: case -9: case -8: case -7: case -6: case -5: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
    case 8: case 12:
        rs.GetFieldValue(column, text);
        return text;
    case -4: return "LONG VARBINARY";
    case -1: return "LONG VARCHAR";
    case -3:
    case -2: {
        CDBVariant value;
        rs.GetFieldValue(column, value, SQL_C_BINARY);
        if (value.m_dwType == DBVT_NULL)
            return "NULL";
        const std::vector<BYTE>& bytes = value.m_pbinary->m_data;
        if (!bytes.empty())
            ByteToString(bytes.data(), static_cast<int>(bytes.size()), text);
        return text;
    }
    case 9: case 11: case 93: case 10: case 92: case 91: {
        CDBVariant value;
        rs.GetFieldValue(column, value, SQL_C_TYPE_TIMESTAMP);
        bool isNull = value.m_dwType == DBVT_NULL;
        if (sqlType == 9 || sqlType == 11 || sqlType == 93) {
            if (!isNull)
                DateTimeToString(*value.m_pdate, text, false, false);
            return text;
        }
        if (isNull)
            return "NULL";
        if (sqlType == 91) {
            DATE_STRUCT date{};
            CopyDate(date, *value.m_pdate);
            DateToString(date, text, false, false);
        } else {
            TIME_STRUCT time{};
            CopyTime(time, *value.m_pdate);
            TimeToString(time, text, false);
        }
        return text;
    }
    default: return "UNKNOWN TYPE";
    }
}
