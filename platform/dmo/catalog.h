// What the layer's catalogue classes share. Internal to the layer.
#pragma once

#include "dmo/pgexec.h"
#include "dmo/tables.h"

#include <libpq-fe.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dmo {
class Table;
}

namespace dmo::detail {

// A database's table objects by OID, so one table is one object, and the
// positions of the last Tables.Refresh.
struct Catalog {
    std::shared_ptr<Table> table(const std::shared_ptr<Database>& db, std::uint32_t oid);
    std::map<std::uint32_t, std::weak_ptr<Table>> tables;
    std::vector<std::uint32_t> snapshot;
    bool loaded = false;
};

// Runs the queries (no parameters) in one round trip with search_path =
// pg_catalog, so type names and expressions come out schema-qualified the
// same way in every database: in a read-only transaction of its own, or in
// a savepoint when one is open. Returns their rows in the queries' order.
// `plain`: the queries need no particular search path; outside a
// transaction they go as they are.
std::vector<QueryResults::Set> ReadCatalog(PGconn* conn, const std::vector<std::string>& queries, bool plain = false);

// The permission statements of a table or view, and of routines.
std::string ScriptRelationGrants(PGconn* conn, std::uint32_t oid);
// The same for many tables or views at once, by OID; one missing from the
// catalogue is missing from the answer.
std::map<std::uint32_t, RelationGrants> ScriptRelationGrants(PGconn* conn, const std::vector<std::uint32_t>& oids);
std::string ScriptRoutineGrants(PGconn* conn, const std::vector<std::uint32_t>& oids);
std::string RelationGrantAllToPublic(const std::string& qualifiedName);
std::string RoutineGrantAllToPublic(PGconn* conn, const std::vector<std::uint32_t>& oids);

} // namespace dmo::detail
