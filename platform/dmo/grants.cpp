// The permission statements of tables, views and routines, written so that
// replaying them on re-created objects gives the same access lists.
#include "dmo/catalog.h"
#include "dmo/quote.h"

#include <array>
#include <map>
#include <tuple>

namespace dmo::detail {

namespace {

// SQL Server's order of the privileges, then PostgreSQL's own.
const char* const kPrivileges[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "TRUNCATE", "REFERENCES", "TRIGGER"};
constexpr int kPrivilegeCount = 7;

int privilegeIndex(const std::string& name)
{
    for (int i = 0; i < kPrivilegeCount; ++i)
        if (name == kPrivileges[i])
            return i;
    return -1;
}

// PUBLIC first, then role names byte by byte (COLLATE "C").
struct Grantee {
    bool isPublic;
    std::string role;
    bool grantable;
    bool operator<(const Grantee& o) const
    {
        return std::tie(o.isPublic, role, grantable) < std::tie(isPublic, o.role, o.grantable);
    }
};

Grantee grantee(const Param& oid, const Param& role, const Param& grantable)
{
    return {oid && *oid == "0", role.value_or(""), grantable && *grantable == "t"};
}

std::string granteeText(const Grantee& g) { return g.isPublic ? "PUBLIC" : QuoteIdent(g.role); }
std::string grantOption(const Grantee& g) { return g.grantable ? " WITH GRANT OPTION" : ""; }

std::string oidArray(const std::vector<std::uint32_t>& oids)
{
    std::string text = "{";
    for (std::size_t i = 0; i < oids.size(); ++i)
        text += (i ? "," : "") + std::to_string(oids[i]);
    return text + "}";
}

struct Routine {
    std::uint32_t oid;
    std::string signature; // "schema"."name"(args)
    bool procedure;
    bool defaultAcl;
    bool publicExecute;
};

std::vector<Routine> routines(PGconn* conn, const std::vector<std::uint32_t>& oids)
{
    auto set = ReadCatalog(conn, {"SELECT p.oid, n.nspname, p.proname, pg_get_function_identity_arguments(p.oid), "
                                  "p.prokind = 'p', p.proacl IS NULL, EXISTS (SELECT 1 FROM aclexplode(p.proacl) x "
                                  "WHERE x.grantee = 0 AND x.privilege_type = 'EXECUTE') "
                                  "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                                  "WHERE p.oid = ANY ('" + oidArray(oids) + "'::oid[]) "
                                  "ORDER BY pg_get_function_identity_arguments(p.oid) COLLATE \"C\", p.oid"})[0];
    std::vector<Routine> list;
    for (const auto& r : set.rows)
        list.push_back({static_cast<std::uint32_t>(std::stoul(*r[0])), QuoteQualified(*r[1], *r[2]) + "(" + *r[3] + ")",
                        *r[4] == "t", *r[5] == "t", *r[6] == "t"});
    return list;
}

} // namespace

std::map<std::uint32_t, RelationGrants> ScriptRelationGrants(PGconn* conn, const std::vector<std::uint32_t>& oids)
{
    std::string ids = "ANY ('" + oidArray(oids) + "'::oid[])";
    auto sets = ReadCatalog(
        conn, {"SELECT c.oid, n.nspname, c.relname, EXISTS (SELECT 1 FROM pg_depend d "
               "WHERE d.classid = 'pg_class'::regclass AND d.objid = c.oid AND d.deptype = 'e') "
               "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = " + ids,
               "SELECT c.oid, x.grantee, r.rolname, x.privilege_type, x.is_grantable "
               "FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) x "
               "LEFT JOIN pg_roles r ON r.oid = x.grantee WHERE c.oid = " + ids + " AND x.grantee <> c.relowner",
               "SELECT a.attrelid, a.attname, x.grantee, r.rolname, x.privilege_type, x.is_grantable "
               "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
               "CROSS JOIN LATERAL aclexplode(a.attacl) x LEFT JOIN pg_roles r ON r.oid = x.grantee "
               "WHERE a.attrelid = " + ids + " AND a.attnum > 0 AND NOT a.attisdropped "
               "AND x.grantee <> c.relowner ORDER BY a.attrelid, a.attnum"},
        true);
    auto oidOf = [](const Param& text) { return static_cast<std::uint32_t>(std::stoul(*text)); };
    std::map<std::uint32_t, std::map<Grantee, std::array<bool, kPrivilegeCount>>> tables;
    for (const auto& r : sets[1].rows) {
        int p = privilegeIndex(*r[3]);
        if (p >= 0 && (*r[1] == "0" || r[2]))
            tables[oidOf(r[0])][grantee(r[1], r[2], r[4])][static_cast<std::size_t>(p)] = true;
    }
    std::map<std::uint32_t, std::map<std::pair<Grantee, int>, std::vector<std::string>>> columns;
    for (const auto& r : sets[2].rows) {
        int p = privilegeIndex(*r[4]);
        if (p >= 0 && (*r[2] == "0" || r[3]))
            columns[oidOf(r[0])][{grantee(r[2], r[3], r[5]), p}].push_back(QuoteIdent(*r[1]));
    }

    std::map<std::uint32_t, RelationGrants> scripts;
    for (const auto& row : sets[0].rows) {
        std::uint32_t oid = oidOf(row[0]);
        RelationGrants& out = scripts[oid];
        out.qualifiedName = QuoteQualified(*row[1], *row[2]);
        out.extension = *row[3] == "t";
        std::string& text = out.script;
        for (const auto& [g, privs] : tables[oid]) {
            std::string list;
            for (int p = 0; p < kPrivilegeCount; ++p)
                if (privs[static_cast<std::size_t>(p)])
                    list += (list.empty() ? "" : ", ") + std::string(kPrivileges[p]);
            text += "GRANT " + list + " ON TABLE " + out.qualifiedName + " TO " + granteeText(g) + grantOption(g) +
                    ";\r\n";
        }
        for (const auto& [key, names] : columns[oid]) {
            std::string list;
            for (const auto& n : names)
                list += (list.empty() ? "" : ", ") + n;
            text += "GRANT " + std::string(kPrivileges[key.second]) + " (" + list + ") ON TABLE " +
                    out.qualifiedName + " TO " + granteeText(key.first) + grantOption(key.first) + ";\r\n";
        }
    }
    return scripts;
}

std::string ScriptRelationGrants(PGconn* conn, std::uint32_t oid)
{
    auto scripts = ScriptRelationGrants(conn, std::vector<std::uint32_t>{oid});
    auto it = scripts.find(oid);
    if (it == scripts.end())
        throw Error(kErrNotFound, "object '" + std::to_string(oid) + "' not found");
    return it->second.script;
}

std::string ScriptRoutineGrants(PGconn* conn, const std::vector<std::uint32_t>& oids)
{
    std::string text;
    for (const auto& routine : routines(conn, oids)) {
        if (routine.defaultAcl)
            continue;
        std::string kind = routine.procedure ? "PROCEDURE " : "FUNCTION ";
        if (!routine.publicExecute)
            text += "REVOKE ALL ON " + kind + routine.signature + " FROM PUBLIC;\r\n";
        auto set = ExecParams(conn,
                             "SELECT x.grantee, r.rolname, x.is_grantable FROM pg_proc p "
                             "CROSS JOIN LATERAL aclexplode(p.proacl) x JOIN pg_roles r ON r.oid = x.grantee "
                             "WHERE p.oid = $1 AND x.grantee <> p.proowner AND x.privilege_type = 'EXECUTE'",
                             {std::to_string(routine.oid)});
        std::map<Grantee, bool> grantees;
        for (const auto& r : set.rows)
            grantees[grantee(r[0], r[1], r[2])] = true;
        for (const auto& [g, _] : grantees)
            text += "GRANT EXECUTE ON " + kind + routine.signature + " TO " + granteeText(g) + grantOption(g) + ";\r\n";
    }
    return text;
}

std::string RelationGrantAllToPublic(const std::string& qualifiedName)
{
    return "GRANT SELECT, INSERT, UPDATE, DELETE, REFERENCES ON TABLE " + qualifiedName + " TO PUBLIC";
}

std::string RoutineGrantAllToPublic(PGconn* conn, const std::vector<std::uint32_t>& oids)
{
    std::string text;
    for (const auto& routine : routines(conn, oids))
        text += "GRANT EXECUTE ON " + std::string(routine.procedure ? "PROCEDURE " : "FUNCTION ") + routine.signature +
                " TO PUBLIC;\r\n";
    return text;
}

} // namespace dmo::detail
