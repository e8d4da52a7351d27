// Bringing a database's tables into line with a reference database: the
// per-table steps (script, compare, rebuild, copy, reseed, defaults).
#pragma once

#include "installer/common/runcontext.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dmo {
class Database;
class Table;
class Column;
} // namespace dmo

namespace dorvik {

class CCommander;

// Equal when both are empty, or equal once bytes 1..32 are removed, with
// letter case counting: on PostgreSQL "Name" and "name" are two columns.
bool EqualIgnoringBlanksCaseSensitive(const std::string& a, const std::string& b);

// The table's creation script without constraints, with the old type fix
// (a length -1 or 0 after varchar, nvarchar, varbinary becomes max).
void ScriptTable(dmo::Table& table, std::string& script);
// The same from scripts read beforehand by OID (Tables::ScriptCreateAll);
// a table missing there is scripted on its own.
void ScriptTable(dmo::Table& table, std::string& script, const std::map<std::uint32_t, std::string>* scripts);
void FixScriptTypes(std::string& script);
bool ScriptsEqual(const std::string& a, const std::string& b);
// Any failure of the look-up means "not found".
bool FindTable(dmo::Database& db, std::shared_ptr<dmo::Table>& table, const std::string& name);
bool HasColumn(dmo::Table& table, std::shared_ptr<dmo::Column>& column, const std::string& name);
// The identity column nearest the end.
bool FindIdentityColumn(dmo::Table& table, std::string& name);
bool HasIdentity(dmo::Table& table);
long CountRows(dmo::Database& db, dmo::Table& table);
// The shared columns in reverse order, quoted; `complete` is cleared when
// the new table lacks one of the old table's columns.
bool BuildColumnList(std::string& list, dmo::Table& oldTable, dmo::Table& newTable, bool& complete);
bool CopyTableData(dmo::Database& db, dmo::Table& oldTable, dmo::Table& newTable);
// The table's backup name, cut to fit PostgreSQL's 63 bytes.
std::string MakeTableBackupName(const RunContext& run, const std::string& table);
// The sequences that serial columns own, by their table's OID: each one's
// "schema"."name" as format's %I writes it, its column and its options.
struct OwnedSequence {
    std::string sequence, column, options;
};
using OwnedSequences = std::map<std::uint32_t, std::vector<OwnedSequence>>;
// Every table's of the database, in one read.
OwnedSequences ReadOwnedSequences(dmo::Database& db);
// `referenceTable`, when given, is the reference's table of that name;
// `scripts`, when given, the target's scripts read beforehand; `sequences`
// the reference's owned sequences read beforehand.
bool RebuildTable(CCommander& commander, dmo::Database& reference, dmo::Database& target,
                  std::shared_ptr<dmo::Table> table, const std::string& script, const std::string& name,
                  std::shared_ptr<dmo::Table> referenceTable = nullptr,
                  const std::map<std::uint32_t, std::string>* scripts = nullptr,
                  const OwnedSequences* sequences = nullptr);
void RestoreColumnDefaults(dmo::Database& target, dmo::Database& reference, const std::string& name);
// The same with both tables already at hand.
void RestoreColumnDefaults(dmo::Database& target, dmo::Database& reference, const std::string& name,
                           std::shared_ptr<dmo::Table> targetTable, std::shared_ptr<dmo::Table> referenceTable,
                           const OwnedSequences* sequences = nullptr);

} // namespace dorvik
