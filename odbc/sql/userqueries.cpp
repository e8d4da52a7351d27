#include "odbc/sql/userqueries.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/data/core/odbcrecord.h"

#include <cstring>

const char* ObjectTypeCode(eObjectDBType kind)
{
    switch (kind) {
    case eUserTable: return "U";
    case eView: return "V";
    case eSystemTable: return "S";
    case eStoredProcedure: return "P";
    case eScalarFunction: return "FN";
    case eTrigger: return "TR";
    default: return nullptr;
    }
}

namespace {

[[noreturn]] void NotSupported(CDatabase& db, const char* what)
{
    CDBException e(SQL_ERROR);
    e.m_strError = std::string(EngineName(EngineOf(db))) + " does not support " + what + ".";
    throw e;
}

// Appends the first column of every row of a read-only forward cursor.
bool AppendList(CDatabase* db, std::vector<std::string>& out, const std::string& sql,
                const std::vector<std::string>& params)
{
    try {
        CODBCRecord rs(db);
        for (const std::string& p : params)
            rs.AddParamValue(p.c_str(), CFieldExchange::inputParam, 0, SQL_VARCHAR, 0);
        rs.Open(CRecordset::forwardOnly, sql.c_str(), CRecordset::readOnly);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            std::string text;
            rs.GetFieldData(0, text, -1);
            out.push_back(text);
        }
        return true;
    } catch (CDBException& e) {
        FatalDBError(&e);
        return false;
    }
}

bool RunList(CDatabase* db, std::vector<std::string>& out, const char* what, const std::string& sqlServer,
             const std::string& postgres, const std::vector<std::string>& params)
{
    if (db == nullptr)
        return false;
    try {
        switch (EngineOf(*db)) {
        case DbEngine::SqlServer: return AppendList(db, out, sqlServer, params);
        case DbEngine::PostgreSql: return AppendList(db, out, postgres, params);
        default: NotSupported(*db, what);
        }
    } catch (CDBException& e) {
        FatalDBError(&e);
        return false;
    }
}

} // namespace

bool GetListUsersDB(CDatabase* db, std::vector<std::string>& out)
{
    return RunList(db, out, "database users",
                   "SELECT Princ.[name] FROM sys.database_permissions Per, sys.database_principals Princ WHERE "
                   "Per.type = 'CO' AND Per.grantee_principal_id = Princ.principal_id ORDER BY [NAME]",
                   "SELECT CAST(rolname AS VARCHAR) FROM pg_catalog.pg_roles WHERE rolcanlogin AND "
                   "has_database_privilege(oid, current_database(), 'CONNECT') ORDER BY rolname",
                   {});
}

bool GetListRolesDB(CDatabase* db, std::vector<std::string>& out, bool applicationRoles)
{
    // PostgreSQL's roles without login stand for database roles; it has no
    // application roles of their own kind.
    if (applicationRoles)
        return RunList(db, out, "application roles", "SELECT [name] FROM sys.database_principals WHERE [type] = 'A'",
                       "SELECT CAST(rolname AS VARCHAR) FROM pg_catalog.pg_roles WHERE false", {});
    return RunList(db, out, "database roles", "SELECT [name] FROM sys.database_principals WHERE [type] = 'R'",
                   "SELECT CAST(rolname AS VARCHAR) FROM pg_catalog.pg_roles WHERE NOT rolcanlogin AND rolname NOT "
                   "LIKE 'pg\\_%' ORDER BY rolname",
                   {});
}

bool GetListRolememberDB(CDatabase* db, std::vector<std::string>& out, const char* role)
{
    if (role == nullptr || *role == '\0')
        return false;
    return RunList(db, out, "role members",
                   "SELECT [name] FROM sys.database_principals WHERE principal_id IN (SELECT member_principal_id FROM "
                   "sys.database_role_members WHERE role_principal_id = user_id(?))",
                   "SELECT CAST(m.rolname AS VARCHAR) FROM pg_catalog.pg_auth_members a JOIN pg_catalog.pg_roles r ON "
                   "r.oid = a.roleid JOIN pg_catalog.pg_roles m ON m.oid = a.member WHERE r.rolname = ? ORDER BY 1",
                   {role});
}

bool GetListUserRolesDB(CDatabase* db, std::vector<std::string>& out, const char* user, bool)
{
    if (user == nullptr || *user == '\0')
        return false;
    return RunList(db, out, "role members",
                   "SELECT [name] FROM sys.database_principals WHERE principal_id IN (SELECT role_principal_id FROM "
                   "sys.database_role_members WHERE member_principal_id = user_id(?))",
                   "SELECT CAST(r.rolname AS VARCHAR) FROM pg_catalog.pg_auth_members a JOIN pg_catalog.pg_roles r ON "
                   "r.oid = a.roleid JOIN pg_catalog.pg_roles m ON m.oid = a.member WHERE m.rolname = ? ORDER BY 1",
                   {user});
}

bool GetListOwnerNames(CDatabase* db, std::vector<std::string>& out, eObjectDBType kind)
{
    const char* code = ObjectTypeCode(kind);
    if (code == nullptr)
        return false;
    // The schemas that hold objects of the kind, and the system schema.
    std::string objects;
    switch (kind) {
    case eUserTable: objects = "SELECT relnamespace FROM pg_catalog.pg_class WHERE relkind IN ('r', 'p')"; break;
    case eView: objects = "SELECT relnamespace FROM pg_catalog.pg_class WHERE relkind IN ('v', 'm')"; break;
    case eSystemTable: objects = "SELECT CAST('pg_catalog' AS regnamespace)"; break;
    case eStoredProcedure: objects = "SELECT pronamespace FROM pg_catalog.pg_proc WHERE prokind = 'p'"; break;
    case eScalarFunction: objects = "SELECT pronamespace FROM pg_catalog.pg_proc WHERE prokind = 'f'"; break;
    case eTrigger:
        objects = "SELECT c.relnamespace FROM pg_catalog.pg_trigger t JOIN pg_catalog.pg_class c ON c.oid = t.tgrelid "
                  "WHERE NOT t.tgisinternal";
        break;
    }
    return RunList(db, out, "object owners",
                   std::string("SELECT [name] FROM sys.database_principals WHERE  principal_id IN (SELECT schema_id "
                               "FROM sys.objects WHERE [type]='") +
                       code + "' OR [type]='s' GROUP BY schema_id)",
                   "SELECT CAST(nspname AS VARCHAR) FROM pg_catalog.pg_namespace WHERE oid IN (" + objects +
                       ") OR nspname = 'pg_catalog' ORDER BY 1",
                   {});
}

namespace {

std::string Collation(CDatabase* db, const char* sqlServer, const char* postgres)
{
    if (db == nullptr || !db->IsOpen())
        AfxThrowInvalidArgException();
    const char* sql = nullptr;
    switch (EngineOf(*db)) {
    case DbEngine::SqlServer: sql = sqlServer; break;
    case DbEngine::PostgreSql: sql = postgres; break;
    default: return std::string(); // no collation of the database as a whole
    }
    CRecordset rs(db);
    rs.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
    std::string out;
    if (!rs.IsEOF())
        rs.GetFieldValue(0, out);
    return out;
}

long CountQuery(CDatabase* db, const std::string& sql)
{
    long result = -1;
    try {
        CRecordset rs(db);
        rs.Open(CRecordset::snapshot, sql.c_str(), CRecordset::readOnly);
        if (!rs.IsEOF()) {
            CDBVariant value;
            rs.GetFieldValue(0, value, SQL_C_SLONG);
            if (value.m_dwType == DBVT_SHORT)
                result = value.m_iVal;
            else if (value.m_dwType == DBVT_LONG)
                result = value.m_lVal;
        }
    } catch (CDBException& e) {
        FatalDBError(&e);
    }
    return result;
}

} // namespace

std::string GetDBCollateName(CDatabase* db)
{
    return Collation(db, "SELECT DATABASEPROPERTYEX( DB_NAME(),'Collation')",
                     "SELECT CAST(datcollate AS VARCHAR) FROM pg_catalog.pg_database WHERE datname = current_database()");
}

std::string GetServerCollateName(CDatabase* db)
{
    return Collation(db, "SELECT SERVERPROPERTY('Collation')",
                     "SELECT CAST(datcollate AS VARCHAR) FROM pg_catalog.pg_database WHERE datname = 'template1'");
}

long GetMaxDataLengthField(CDatabase* db, const char* table, const char* field)
{
    if (db == nullptr)
        return -1;
    return CountQuery(db, MaxDataLengthQuery(*db, table ? table : "", field ? field : ""));
}

long GetMaxRecordCount(CDatabase* db, const char* table)
{
    if (db == nullptr)
        return -1;
    return CountQuery(db, "SELECT CAST(COUNT(*) AS INTEGER) FROM " + QuoteObjectName(*db, table ? table : ""));
}

bool GetUserScript(CDatabaseEx* db, eObjectDBType kind, const char* name, std::string& out)
{
    const char* code = ObjectTypeCode(kind);
    if (code == nullptr || db == nullptr)
        return false;
    try {
        std::string sql;
        std::vector<std::string> params{name ? name : ""};
        switch (EngineOf(*db)) {
        case DbEngine::SqlServer:
            sql = "SELECT [definition] FROM sys.sql_modules WHERE [OBJECT_ID] = OBJECT_ID(?, ?)";
            params.push_back(code);
            break;
        case DbEngine::PostgreSql:
            switch (kind) {
            case eView: sql = "SELECT pg_catalog.pg_get_viewdef(to_regclass(?), true) WHERE to_regclass(?) IS NOT NULL"; params.push_back(params[0]); break;
            case eStoredProcedure:
            case eScalarFunction:
                sql = "SELECT pg_catalog.pg_get_functiondef(to_regproc(?)) WHERE to_regproc(?) IS NOT NULL";
                params.push_back(params[0]);
                break;
            case eTrigger:
                sql = "SELECT pg_catalog.pg_get_triggerdef(oid, true) FROM pg_catalog.pg_trigger WHERE tgname = ?";
                break;
            default:
                return true; // tables have no source text
            }
            break;
        default:
            NotSupported(*db, "object scripts");
        }
        std::string text;
        bool null = false;
        if (!QueryFirstValue(*db, sql, params, text, &null))
            return true;
        if (null)
            return false;
        out = text;
        return true;
    } catch (CDBException& e) {
        FatalDBError(&e);
        return false;
    }
}

bool IsCursorType(void* hstmt, DWORD cursorType)
{
    SQLULEN type = 0;
    RETCODE rc = SQLGetStmtAttr(hstmt, SQL_ATTR_CURSOR_TYPE, &type, 0, nullptr);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
        return false;
    return type == cursorType;
}
