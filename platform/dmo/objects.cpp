#include "dmo/objects.h"

#include "dmo/catalog.h"
#include "dmo/quote.h"
#include "winapi/text.h"

#include <libpq-fe.h>

namespace dmo {

using namespace detail;

namespace {

const char* const kExtensionMember = "EXISTS (SELECT 1 FROM pg_depend d WHERE d.classid = '%s'::regclass "
                                     "AND d.objid = %s AND d.deptype = 'e')";

std::string extensionMember(const char* catalog, const char* column)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, kExtensionMember, catalog, column);
    return buffer;
}

void checkPermissionScript(int scriptType, int script2Type)
{
    if (scriptType != 2 || (script2Type != 0 && script2Type != 16))
        throw Error(kErrNotSupported, "not supported on PostgreSQL: script type " + std::to_string(scriptType));
}

} // namespace

std::string SchemaObject::QualifiedName() const { return QuoteQualified(m_schema, m_name); }

std::vector<std::shared_ptr<View>> Views::load()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto set = ExecParams(Access::connection(*m_db),
                         "SELECT n.nspname, c.relname, " + extensionMember("pg_class", "c.oid") +
                             " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                             "WHERE c.relkind IN ('v','m') AND n.nspname <> 'information_schema' "
                             "AND n.nspname NOT LIKE 'pg\\_%' ORDER BY n.nspname COLLATE \"C\", c.relname COLLATE \"C\"");
    std::vector<std::shared_ptr<View>> list;
    for (const auto& r : set.rows)
        list.push_back(std::shared_ptr<View>(new View(m_db, *r[0], *r[1], *r[2] == "t")));
    return list;
}

std::string View::Script(int scriptType, int script2Type)
{
    checkPermissionScript(scriptType, script2Type);
    std::lock_guard lock(Access::mutex(*m_db));
    PGconn* conn = Access::connection(*m_db);
    auto oid = ScalarParams(conn, "SELECT $1::regclass::oid", {QualifiedName()});
    return ScriptRelationGrants(conn, static_cast<std::uint32_t>(std::stoul(*oid)));
}

std::string View::ScriptGrantAllToPublic() { return RelationGrantAllToPublic(QualifiedName()); }

std::vector<std::shared_ptr<RoutineGroup>> StoredProcedures::load()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto set = ExecParams(Access::connection(*m_db),
                         "SELECT n.nspname, p.proname, bool_or(" + extensionMember("pg_proc", "p.oid") +
                             ") FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                             "WHERE p.prokind = 'p' AND n.nspname <> 'information_schema' "
                             "AND n.nspname NOT LIKE 'pg\\_%' GROUP BY 1, 2 "
                             "ORDER BY n.nspname COLLATE \"C\", p.proname COLLATE \"C\"");
    std::vector<std::shared_ptr<RoutineGroup>> list;
    for (const auto& r : set.rows)
        list.push_back(std::shared_ptr<RoutineGroup>(new RoutineGroup(m_db, *r[0], *r[1], *r[2] == "t", true)));
    return list;
}

std::vector<std::uint32_t> RoutineGroup::overloads()
{
    auto set = ExecParams(Access::connection(*m_db),
                         "SELECT p.oid FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                         "WHERE n.nspname = $1 AND p.proname = $2 AND p.prokind = $3",
                         {m_schema, m_name, std::string(m_procedure ? "p" : "f")});
    std::vector<std::uint32_t> oids;
    for (const auto& r : set.rows)
        oids.push_back(static_cast<std::uint32_t>(std::stoul(*r[0])));
    return oids;
}

std::string RoutineGroup::Script(int scriptType, int script2Type)
{
    checkPermissionScript(scriptType, script2Type);
    std::lock_guard lock(Access::mutex(*m_db));
    return ScriptRoutineGrants(Access::connection(*m_db), overloads());
}

std::string RoutineGroup::ScriptGrantAllToPublic()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return RoutineGrantAllToPublic(Access::connection(*m_db), overloads());
}

// ---------------------------------------------------------------------------

std::shared_ptr<Views> Database::GetViews()
{
    return std::shared_ptr<Views>(new Views(shared_from_this()));
}

std::shared_ptr<StoredProcedures> Database::GetStoredProcedures()
{
    return std::shared_ptr<StoredProcedures>(new StoredProcedures(shared_from_this()));
}

std::shared_ptr<RoutineGroup> Database::GetObjectByName(const std::string& name, int type, const std::string& owner)
{
    std::lock_guard lock(m_server->m_mutex);
    if (type != 4096)
        throw Error(kErrNotSupported, "not supported on PostgreSQL: object type " + std::to_string(type));
    auto set = ExecParams(connection(),
                         "SELECT bool_or(" + extensionMember("pg_proc", "p.oid") +
                             ") FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                             "WHERE n.nspname = $1 AND p.proname = $2 AND p.prokind = 'f' HAVING count(*) > 0",
                         {owner, name});
    if (set.rows.empty())
        throw Error(kErrNotFound, "function '" + owner + "." + name + "' not found");
    return std::shared_ptr<RoutineGroup>(new RoutineGroup(shared_from_this(), owner, name, *set.rows[0][0] == "t", false));
}

std::string Database::PrimaryFilePhysicalName(const std::string& fileGroup)
{
    std::lock_guard lock(m_server->m_mutex);
    if (!winapi::Utf8EqualNoCase(fileGroup, "PRIMARY"))
        throw Error(kErrNotFound, "file group '" + fileGroup + "' not found");
    try {
        return ScalarParams(m_server->mainConnection(),
                            "SELECT CASE WHEN t.spcname = 'pg_default' "
                            "THEN current_setting('data_directory') || '/base/' || d.oid "
                            "ELSE pg_tablespace_location(d.dattablespace) END "
                            "FROM pg_database d JOIN pg_tablespace t ON t.oid = d.dattablespace WHERE d.oid = $1",
                            {std::to_string(m_oid)})
            .value_or("");
    } catch (const Error&) {
        return {};
    }
}

std::string Database::LogFilePhysicalName()
{
    std::lock_guard lock(m_server->m_mutex);
    try {
        return ScalarParams(m_server->mainConnection(), "SELECT current_setting('data_directory') || '/pg_wal'")
            .value_or("");
    } catch (const Error&) {
        return {};
    }
}

void Database::Remove()
{
    std::lock_guard lock(m_server->m_mutex);
    close();
    runBatch(m_server->mainConnection(), "DROP DATABASE " + QuoteIdent(m_name), nullptr);
    if (m_server->m_databases)
        std::erase_if(*m_server->m_databases, [&](const SQLServer::DbRow& row) { return row.oid == m_oid; });
}

} // namespace dmo
