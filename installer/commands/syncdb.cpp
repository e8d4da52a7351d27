#include "installer/commands/syncdb.h"

#include "installer/commands/commander.h"
#include "installer/common/dorvikcore.h"
#include "installer/common/utils.h"
#include "dmo/quote.h"
#include "dmo/tables.h"
#include "winapi/text.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace dorvik {

bool EqualIgnoringBlanksCaseSensitive(const std::string& a, const std::string& b)
{
    if (a.empty() && b.empty())
        return true;
    std::string x = a, y = b;
    RemoveBlanks(x);
    RemoveBlanks(y);
    return x == y;
}

void FixScriptTypes(std::string& script)
{
    static const char* const kWords[] = {"varchar", "nvarchar", "[varchar]", "[nvarchar]", "varbinary", "[varbinary]"};
    for (const char* word : kWords) {
        for (const char* length : {"(-1)", "(0)"}) {
            std::string from = std::string(word) + length, to = std::string(word) + "(max)";
            for (std::size_t at = script.find(from); at != std::string::npos; at = script.find(from, at + to.size()))
                script.replace(at, from.size(), to);
        }
    }
}

void ScriptTable(dmo::Table& table, std::string& script)
{
    script = table.Script(dmo::kScriptCreate, 16);
    FixScriptTypes(script);
}

void ScriptTable(dmo::Table& table, std::string& script, const std::map<std::uint32_t, std::string>* scripts)
{
    auto found = scripts ? scripts->find(table.Oid()) : std::map<std::uint32_t, std::string>::const_iterator();
    if (!scripts || found == scripts->end()) {
        ScriptTable(table, script);
        return;
    }
    script = found->second;
    FixScriptTypes(script);
}

bool ScriptsEqual(const std::string& a, const std::string& b) { return EqualIgnoringBlanksCaseSensitive(a, b); }

bool FindTable(dmo::Database& db, std::shared_ptr<dmo::Table>& table, const std::string& name)
{
    try {
        table = db.GetTables()->Item(name);
        return true;
    } catch (const dmo::Error&) {
        table.reset();
        return false;
    }
}

namespace {

// Tables read at the start of a run, by the names they were read with.
using HeldTables = std::map<std::string, std::shared_ptr<dmo::Table>>;

HeldTables ByName(const std::vector<std::shared_ptr<dmo::Table>>& tables)
{
    HeldTables byName;
    for (const auto& table : tables)
        byName.emplace(table->QualifiedName(), table);
    return byName;
}

// A table of that name among those held, else asked of the server: only a
// name that did not exist when the run began costs a query.
bool FindHeldTable(dmo::Database& db, const HeldTables& held, std::shared_ptr<dmo::Table>& table,
                   const std::string& name)
{
    if (auto found = held.find(name); found != held.end()) {
        table = found->second;
        return true;
    }
    return FindTable(db, table, name);
}

} // namespace

bool HasColumn(dmo::Table& table, std::shared_ptr<dmo::Column>& column, const std::string& name)
{
    try {
        column = table.ColumnByName(name);
        return true;
    } catch (const dmo::Error&) {
        column.reset();
        return false;
    }
}

bool FindIdentityColumn(dmo::Table& table, std::string& name)
{
    auto columns = table.Columns();
    for (int i = columns->Count(); i >= 1; --i) {
        auto column = columns->Item(i);
        if (column->Identity()) {
            name = column->Name();
            return true;
        }
    }
    return false;
}

bool HasIdentity(dmo::Table& table)
{
    std::string ignored;
    return FindIdentityColumn(table, ignored);
}

long CountRows(dmo::Database& db, dmo::Table& table)
{
    auto results = db.ExecuteWithResults("SELECT count(*) FROM " + table.QualifiedName());
    return results->GetColumnLong(1, 1);
}

bool BuildColumnList(std::string& list, dmo::Table& oldTable, dmo::Table& newTable, bool& complete)
{
    list.clear();
    complete = true;
    auto columns = oldTable.Columns();
    for (int i = columns->Count(); i >= 1; --i) {
        auto column = columns->Item(i);
        std::shared_ptr<dmo::Column> match;
        if (!HasColumn(newTable, match, column->Name())) {
            complete = false;
            continue;
        }
        // The row-version type; the layer never reports a date-time so.
        if (column->Datatype() == "timestamp")
            continue;
        // The new table computes a generated column itself and refuses a
        // value for it; nothing is lost by leaving it out.
        if (match->Generated())
            continue;
        if (!list.empty())
            list += ", ";
        list += dmo::QuoteIdent(column->Name());
    }
    return !list.empty();
}

bool CopyTableData(dmo::Database& db, dmo::Table& oldTable, dmo::Table& newTable)
{
    std::string list;
    bool complete = false;
    if (!BuildColumnList(list, oldTable, newTable, complete))
        return false;
    std::string identity;
    std::shared_ptr<dmo::Column> ignored;
    bool keepIdentity = FindIdentityColumn(newTable, identity) && HasColumn(oldTable, ignored, identity);
    std::string insert = "INSERT INTO " + newTable.QualifiedName() + " (" + list + ")" +
                         (keepIdentity ? " OVERRIDING SYSTEM VALUE" : "") + " SELECT " + list + " FROM " +
                         oldTable.QualifiedName();
    // A failing copy is judged by the row counts below; the exception block
    // keeps the table's transaction usable.
    std::string tag = "$kelm_copy$";
    while (insert.find(tag) != std::string::npos)
        tag.insert(tag.size() - 1, "_");
    db.ExecuteImmediate("DO " + tag + " BEGIN " + insert + "; EXCEPTION WHEN OTHERS THEN NULL; END " + tag);
    return complete && CountRows(db, oldTable) == CountRows(db, newTable);
}

std::string MakeTableBackupName(const RunContext& run, const std::string& table)
{
    // 30 bytes of prefix, room for a "_NN" that keeps names of one minute
    // apart, and the table's name, cut with a hash of the whole when long.
    constexpr std::size_t kPrefix = 30, kRoom = 63 - 3;
    std::string part = table;
    if (kPrefix + table.size() > kRoom) {
        std::uint32_t hash = 2166136261u;
        for (unsigned char c : table)
            hash = (hash ^ c) * 16777619u;
        char tail[16];
        std::snprintf(tail, sizeof tail, "_%08x", hash);
        const std::size_t keep = winapi::Utf8CutBytes(table, kRoom - kPrefix - std::strlen(tail));
        part = table.substr(0, keep) + tail;
    }
    std::string name;
    MakeBackupName(run, part, name);
    return name;
}

namespace {

// The sequences serial columns own, with their table's OID, column and
// options; the caller adds the condition.
const char* const kOwnedSequences =
    "SELECT d.refobjid, format('%I.%I', n.nspname, c.relname), a.attname, format('AS %s INCREMENT BY %s "
    "MINVALUE %s MAXVALUE %s START WITH %s CACHE %s %s', format_type(s.seqtypid, NULL), s.seqincrement, s.seqmin, "
    "s.seqmax, s.seqstart, s.seqcache, CASE WHEN s.seqcycle THEN 'CYCLE' ELSE 'NO CYCLE' END) "
    "FROM pg_depend d JOIN pg_class c ON c.oid = d.objid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_sequence s ON s.seqrelid = c.oid "
    "JOIN pg_attribute a ON a.attrelid = d.refobjid AND a.attnum = d.refobjsubid "
    "WHERE d.classid = 'pg_class'::regclass AND d.refclassid = 'pg_class'::regclass AND d.deptype = 'a' "
    "AND c.relkind = 'S'";

OwnedSequences ReadOwned(dmo::Database& db, const std::string& condition)
{
    auto rows = db.ExecuteWithResults(std::string(kOwnedSequences) + condition);
    OwnedSequences owned;
    for (int row = 1; row <= rows->Rows(); ++row)
        owned[static_cast<std::uint32_t>(std::stoul(rows->GetColumnString(row, 1)))].push_back(
            {rows->GetColumnString(row, 2), rows->GetColumnString(row, 3), rows->GetColumnString(row, 4)});
    return owned;
}

} // namespace

OwnedSequences ReadOwnedSequences(dmo::Database& db) { return ReadOwned(db, ""); }

// The sequences that the reference table's serial columns own and the target
// lacks are made like the reference's, owned by the target's column, so the
// defaults that name them can be set.
void CreateMissingSequences(dmo::Database& target, dmo::Database& reference, const std::string& name,
                            dmo::Table& targetTable, dmo::Table& referenceTable, const OwnedSequences* known)
{
    OwnedSequences read;
    if (!known) {
        read = ReadOwned(reference, " AND d.refobjid = " + dmo::QuoteLiteral(name) + "::regclass");
        known = &read;
    }
    auto found = known->find(referenceTable.Oid());
    if (found == known->end())
        return;
    for (const auto& owned : found->second) {
        auto missing = target.ExecuteWithResults("SELECT to_regclass(" + dmo::QuoteLiteral(owned.sequence) +
                                                 ") IS NULL");
        if (missing->GetColumnString(1, 1) != "t")
            continue;
        target.ExecuteImmediate("CREATE SEQUENCE " + owned.sequence + " " + owned.options);
        target.ExecuteImmediate("ALTER SEQUENCE " + owned.sequence + " OWNED BY " + targetTable.QualifiedName() +
                                "." + dmo::QuoteIdent(owned.column));
    }
}

void RestoreColumnDefaults(dmo::Database& target, dmo::Database& reference, const std::string& name)
{
    RestoreColumnDefaults(target, reference, name, target.GetTables()->Item(name), reference.GetTables()->Item(name));
}

void RestoreColumnDefaults(dmo::Database& target, dmo::Database& reference, const std::string& name,
                           std::shared_ptr<dmo::Table> targetTable, std::shared_ptr<dmo::Table> referenceTable,
                           const OwnedSequences* sequences)
{
    CreateMissingSequences(target, reference, name, *targetTable, *referenceTable, sequences);
    auto targetColumns = targetTable->Columns();
    auto referenceColumns = referenceTable->Columns();
    int count = referenceColumns->Count();
    for (int i = 1; i <= count; ++i) {
        auto from = referenceColumns->Item(i);
        auto to = targetColumns->Item(i);
        if (!from->Default().empty())
            to->BindDefault(from->DefaultOwner(), from->Default(), true);
        std::string text = from->GetDRIDefault()->Text();
        if (text.empty())
            continue;
        if (!targetTable->InAlter())
            targetTable->BeginAlter();
        to->GetDRIDefault()->SetText(text);
    }
    if (targetTable->InAlter())
        targetTable->DoAlter();
}

// A serial column's default names a sequence that the old table owns, and
// dropping the old table would take the sequence the new default uses: the
// new table's columns take over the sequences their defaults use.
void HandOverOwnedSequences(dmo::Database& db, dmo::Table& oldTable, dmo::Table& newTable)
{
    auto results = db.ExecuteWithResults(
        "SELECT DISTINCT d.refobjid::regclass::text, a.attname FROM pg_depend d "
        "JOIN pg_attrdef ad ON d.classid = 'pg_attrdef'::regclass AND d.objid = ad.oid "
        "JOIN pg_attribute a ON a.attrelid = ad.adrelid AND a.attnum = ad.adnum "
        "JOIN pg_depend o ON o.classid = 'pg_class'::regclass AND o.objid = d.refobjid AND o.deptype = 'a' "
        "AND o.refclassid = 'pg_class'::regclass AND o.refobjid = " + dmo::QuoteLiteral(oldTable.QualifiedName()) +
        "::regclass WHERE d.refclassid = 'pg_class'::regclass AND ad.adrelid = " +
        dmo::QuoteLiteral(newTable.QualifiedName()) + "::regclass");
    for (int row = 1; row <= results->Rows(); ++row)
        db.ExecuteImmediate("ALTER SEQUENCE " + results->GetColumnString(row, 1) + " OWNED BY " +
                            newTable.QualifiedName() + "." + dmo::QuoteIdent(results->GetColumnString(row, 2)));
}

// What the reference's script does not make and the table's users rely on:
// the table's owner, row-level security with its policies, and the
// comments, as statements that give them to a new table of the same name.
// A column comment comes with its column's name, for a new table that may
// lack the column.
struct TableSetting {
    std::string column, statement;
};

std::vector<TableSetting> ScriptTableSettings(dmo::Database& db, dmo::Table& table)
{
    std::string name = dmo::QuoteLiteral(table.QualifiedName());
    auto rows = db.ExecuteWithResults(
        "WITH t AS (SELECT c.oid, c.relowner, c.relrowsecurity, c.relforcerowsecurity FROM pg_class c "
        "WHERE c.oid = " + name + "::regclass) "
        "SELECT 1, '', format('ALTER TABLE %s OWNER TO %I', " + name + ", pg_get_userbyid(t.relowner)) FROM t "
        "UNION ALL SELECT 2, '', format('ALTER TABLE %s ENABLE ROW LEVEL SECURITY', " + name + ") FROM t "
        "WHERE t.relrowsecurity "
        "UNION ALL SELECT 3, '', format('ALTER TABLE %s FORCE ROW LEVEL SECURITY', " + name + ") FROM t "
        "WHERE t.relforcerowsecurity "
        "UNION ALL SELECT 4, p.polname, format('CREATE POLICY %I ON %s AS %s FOR %s TO %s', p.polname, " + name +
        ", CASE WHEN p.polpermissive THEN 'PERMISSIVE' ELSE 'RESTRICTIVE' END, "
        "CASE p.polcmd WHEN 'r' THEN 'SELECT' WHEN 'a' THEN 'INSERT' WHEN 'w' THEN 'UPDATE' "
        "WHEN 'd' THEN 'DELETE' ELSE 'ALL' END, "
        "(SELECT string_agg(CASE WHEN r.id = 0 THEN 'PUBLIC' ELSE quote_ident(pg_get_userbyid(r.id)) END, ', ' "
        "ORDER BY r.n) FROM unnest(p.polroles) WITH ORDINALITY r(id, n))) "
        "|| coalesce(' USING (' || pg_get_expr(p.polqual, p.polrelid) || ')', '') "
        "|| coalesce(' WITH CHECK (' || pg_get_expr(p.polwithcheck, p.polrelid) || ')', '') "
        "FROM t JOIN pg_policy p ON p.polrelid = t.oid "
        "UNION ALL SELECT 5, '', format('COMMENT ON TABLE %s IS %L', " + name + ", d.description) "
        "FROM t JOIN pg_description d ON d.objoid = t.oid AND d.classoid = 'pg_class'::regclass AND d.objsubid = 0 "
        "UNION ALL SELECT 6, a.attname, format('COMMENT ON COLUMN %s.%I IS %L', " + name + ", a.attname, "
        "d.description) FROM t JOIN pg_description d ON d.objoid = t.oid AND d.classoid = 'pg_class'::regclass "
        "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = d.objsubid AND NOT a.attisdropped "
        "ORDER BY 1, 2");
    std::vector<TableSetting> settings;
    for (int row = 1; row <= rows->Rows(); ++row)
        settings.push_back({rows->GetColumnLong(row, 1) == 6 ? rows->GetColumnString(row, 2) : std::string(),
                            rows->GetColumnString(row, 3)});
    return settings;
}

bool RebuildTable(CCommander& commander, dmo::Database& reference, dmo::Database& target,
                  std::shared_ptr<dmo::Table> table, const std::string& script, const std::string& name,
                  std::shared_ptr<dmo::Table> referenceTable, const std::map<std::uint32_t, std::string>* scripts,
                  const OwnedSequences* sequences)
{
    if (!referenceTable)
        referenceTable = reference.GetTables()->Item(name);
    std::string own;
    ScriptTable(*table, own, scripts);
    if (ScriptsEqual(script, own)) {
        RestoreColumnDefaults(target, reference, name, table, referenceTable, sequences);
        return true;
    }
    std::string bare = table->Name();
    // The protocol gets the rebuild's lines once it stands; a rebuild rolled
    // back gets one line that says so.
    struct Line {
        std::string text;
        bool numbered, warning;
    };
    std::vector<Line> lines;
    std::string stage;
    auto note = [&](const std::string& text, bool numbered, bool warning) {
        stage = text;
        lines.push_back({text, numbered, warning});
    };
    // Rename, create, copy, reseed and drop stand or fall together, so a
    // failure leaves the old table under its own name.
    target.ExecuteImmediate("BEGIN");
    try {
        bool kept = true;
        stage = "READ TABLE " + bare;
        auto settings = ScriptTableSettings(target, *table);
        std::string backup = MakeTableBackupName(commander.Context(), bare);
        note("RENAME TABLE " + bare + "->" + backup, true, false);
        table->SetName(backup);
        note("CREATE TABLE " + bare, false, false);
        target.ExecuteImmediate(script, 16);
        auto tables = target.GetTables();
        tables->Refresh();
        std::shared_ptr<dmo::Table> created;
        if (!FindTable(target, created, name))
            throw dmo::Error(dmo::kErrNotFound, "table '" + name + "' not found after it was created");
        RestoreColumnDefaults(target, reference, name, created, referenceTable, sequences);
        // The old table's owner, security and comments; a policy the new
        // columns cannot carry fails the rebuild rather than open the rows.
        for (const auto& setting : settings) {
            std::shared_ptr<dmo::Column> column;
            if (setting.column.empty() || HasColumn(*created, column, setting.column)) {
                stage = setting.statement;
                target.ExecuteImmediate(setting.statement);
            }
        }
        stage = "COPY DATA";
        std::string status;
        if (table->Rows() == 0) {
            status = "NO DATA";
        } else if (CopyTableData(target, *table, *created)) {
            status = "OK";
        } else {
            status = "ERROR";
            kept = false;
        }
        note("COPY DATA : " + status, false, !kept);
        stage = "HAND OVER SEQUENCES";
        HandOverOwnedSequences(target, *table, *created);
        std::string oldIdentity, newIdentity;
        if (FindIdentityColumn(*table, oldIdentity) && FindIdentityColumn(*created, newIdentity)) {
            // Never below a copied value, whatever the old counter said.
            std::string newSeq = "pg_get_serial_sequence(" + dmo::QuoteLiteral(created->QualifiedName()) + ", " +
                                 dmo::QuoteLiteral(newIdentity) + ")";
            stage = "RESEED " + bare;
            std::string oldSeq = "pg_get_serial_sequence(" + dmo::QuoteLiteral(table->QualifiedName()) + ", " +
                                 dmo::QuoteLiteral(oldIdentity) + ")";
            std::string last = "pg_sequence_last_value(" + oldSeq + "::regclass)";
            std::string extreme = "(SELECT %s(" + dmo::QuoteIdent(newIdentity) + ") FROM " +
                                  created->QualifiedName() + ")";
            std::string highest = extreme, lowest = extreme;
            highest.replace(highest.find("%s"), 2, "max");
            lowest.replace(lowest.find("%s"), 2, "min");
            target.ExecuteImmediate("SELECT setval(" + newSeq + ", CASE WHEN (SELECT seqincrement FROM pg_sequence "
                                    "WHERE seqrelid = " + newSeq + "::regclass) > 0 THEN GREATEST(" + last + ", " +
                                    highest + ") ELSE LEAST(" + last + ", " + lowest + ") END)");
        }
        note((kept ? "DROP TABLE " : "KEEP TABLE ") + backup, false, !kept);
        if (kept)
            table->Remove();
        stage = "COMMIT";
        target.ExecuteImmediate("COMMIT");
        for (const auto& line : lines)
            commander.Protocol().AddLine(line.text, line.numbered, line.warning);
        return kept;
    } catch (...) {
        try {
            target.ExecuteImmediate("ROLLBACK");
        } catch (const dmo::Error&) {
            // The failed statement has rolled the transaction back already.
        }
        commander.Protocol().AddLine("ROLLBACK TABLE " + bare + " : " + stage + " failed; " + bare +
                                         " stays as it was, with its rows",
                                     true, false);
        throw;
    }
}

// ---------------------------------------------------------------------------

int CCommander::SyncDBs(dmo::SQLServer* server, const std::string& targetName, const std::string& referenceName)
{
    std::string step;
    try {
        if (m_pProgress) {
            m_pProgress->ShowThirdLine(true);
            m_pProgress->SetLineText(2, res::LoadString(res::IDS_REFRESH_DATABASE_INFO, m_run.Language()));
        }
        auto databases = server->GetDatabases();
        databases->Refresh();
        auto target = databases->Item(targetName);
        auto reference = databases->Item(referenceName);
        auto referenceTables = reference->GetTables();
        referenceTables->Refresh();
        target->GetTables()->Refresh();
        // The parts of every table of both sides in one read each, kept
        // while held: the reference's for the whole run, the target's until
        // the passes below alter a table, which reads that one again.
        auto heldReference = referenceTables->LoadAll();
        auto heldTarget = target->GetTables()->LoadAll();
        // The target's tables by name. The passes rename nothing, and the
        // loop renames and creates only the table it is on and visits each
        // name once, so a name not yet visited still names the table read
        // at the start.
        auto targetByName = ByName(heldTarget);

        // Every script of both sides in one read each, before anything
        // changes. The passes change no script (keys, indexes, triggers,
        // checks and defaults are not in it), and the loop changes only
        // tables it has already scripted, so these are the scripts each
        // table gives when its turn comes. A table the run must script and
        // cannot (partitioned, inherited) fails the run here, with nothing
        // altered.
        auto referenceScripts = referenceTables->ScriptCreateAll();
        auto targetScripts = target->GetTables()->ScriptCreateAll();
        auto scriptable = [&](dmo::Table& table, std::map<std::uint32_t, std::string>& scripts) {
            if (scripts.count(table.Oid()))
                return;
            try {
                scripts[table.Oid()] = table.Script(dmo::kScriptCreate, 16);
            } catch (const dmo::Error&) {
                SetProgressResourceText(*this, res::IDS_REFRESH_DATABASE_INFO, table.Name(), step);
                throw;
            }
        };
        for (const auto& table : heldReference) {
            if (table->TypeOf() != dmo::kTypeUserTable)
                continue;
            scriptable(*table, referenceScripts);
            if (auto existing = targetByName.find(table->QualifiedName()); existing != targetByName.end())
                scriptable(*existing->second, targetScripts);
        }

        int result = StripForeignKeys(server, *target, *reference, heldTarget, heldReference, step);
        if (result == 0)
            result = StripTableObjects(server, *target, *reference, heldTarget, heldReference, step);
        if (result != 0) {
            if (m_pProgress)
                m_pProgress->ShowThirdLine(false);
            return result;
        }

        step.clear();
        bool allKept = true;
        int count = static_cast<int>(heldReference.size());
        // The reference's owned sequences, which the loop does not change.
        auto referenceSequences = ReadOwnedSequences(*reference);
        if (m_pProgress) {
            m_pProgress->SetRange(2, count);
            m_pProgress->SetPos(2, 0);
        }
        for (int i = count; i >= 1; --i) {
            result = CheckConnection(server);
            if (result)
                break;
            auto& table = heldReference[static_cast<std::size_t>(i) - 1];
            std::string name = table->Name();
            if (m_pProgress)
                m_pProgress->SetLineText(2, name);
            if (table->TypeOf() == dmo::kTypeUserTable) {
                std::string script;
                ScriptTable(*table, script, &referenceScripts);
                std::shared_ptr<dmo::Table> existing;
                if (!FindHeldTable(*target, targetByName, existing, table->QualifiedName())) {
                    step = "CREATE TABLE " + name;
                    m_protocol.AddLine(step, true, false);
                    target->ExecuteImmediate(script, 0);
                    target->GetTables()->Refresh();
                    RestoreColumnDefaults(*target, *reference, table->QualifiedName(),
                                          target->GetTables()->Item(table->QualifiedName()), table,
                                          &referenceSequences);
                } else {
                    if (!RebuildTable(*this, *reference, *target, existing, script, table->QualifiedName(), table,
                                      &targetScripts, &referenceSequences) &&
                        allKept)
                        allKept = false;
                }
            }
            if (m_pProgress)
                m_pProgress->StepIt(2);
        }
        if (m_pProgress)
            m_pProgress->ShowThirdLine(false);
        // A quiet run shows its progress but has nobody to close a message
        // box; the KEEP TABLE warnings in the log say it there.
        if (!allKept && m_pProgress && !CDorvikCore::Get().IsQuiet())
            if (auto owner = m_pProgress->GetOwner(); owner && owner->IsWindow())
                ShowMessageId(m_run, owner, res::IDS_NOT_ALL_DATA_TRANSFERRED);
        return result;
    } catch (const dmo::Error&) {
        m_protocol.AddLine(step, true, false);
        if (m_pProgress)
            m_pProgress->ShowThirdLine(false);
        throw;
    }
}

int CCommander::StripForeignKeys(dmo::SQLServer* server, dmo::Database& target, dmo::Database& reference,
                                 const std::vector<std::shared_ptr<dmo::Table>>& targetTables,
                                 const std::vector<std::shared_ptr<dmo::Table>>& referenceTables, std::string& step)
{
    (void)target;
    step.clear();
    // The reference's tables by the names they were read with; a name not
    // among them is looked up on the server as before.
    std::set<std::string> referenceNames;
    for (const auto& table : referenceTables)
        referenceNames.insert(table->QualifiedName());
    auto inReferenceByName = [&](const std::string& name) {
        std::shared_ptr<dmo::Table> match;
        return referenceNames.count(name) != 0 || FindTable(reference, match, name);
    };
    int count = static_cast<int>(targetTables.size());
    if (m_pProgress) {
        m_pProgress->SetLineText(2, res::LoadString(res::IDS_REMOVING_FOREIGN_KEYS, m_run.Language()));
        m_pProgress->SetRange(2, count);
        m_pProgress->SetPos(2, 0);
    }
    // Foreign keys first, everywhere, then unique keys: a unique key that
    // another table's foreign key still uses cannot go. The second pass
    // takes the tables and their look-ups from the first.
    std::vector<std::shared_ptr<dmo::Table>> seen(static_cast<std::size_t>(count) + 1);
    std::vector<char> found(static_cast<std::size_t>(count) + 1);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 1; i <= count; ++i) {
            int result = CheckConnection(server);
            if (result)
                return result;
            auto& table = seen[static_cast<std::size_t>(i)];
            auto& inReference = found[static_cast<std::size_t>(i)];
            if (pass == 0) {
                table = targetTables[static_cast<std::size_t>(i) - 1];
                if (table->TypeOf() != dmo::kTypeUserTable)
                    continue;
                inReference = inReferenceByName(table->QualifiedName());
            } else if (table->TypeOf() != dmo::kTypeUserTable || !inReference) {
                continue;
            }
            SetProgressResourceText(*this, inReference ? res::IDS_REMOVING_FOREIGN_UNIQUE_KEYS
                                                       : res::IDS_REMOVING_FOREIGN_KEYS,
                                    table->Name(), step);
            auto keys = table->Keys();
            for (int j = 1; j <= keys->Count();) {
                auto key = keys->Item(j);
                bool remove;
                if (inReference)
                    remove = pass == 0 ? key->Type() == 3 : key->Type() == 2;
                else
                    remove = key->Type() == 3 && inReferenceByName(key->ReferencedTable());
                if (!remove) {
                    ++j;
                    continue;
                }
                if (!table->InAlter())
                    table->BeginAlter();
                key->Remove();
            }
            if (table->InAlter())
                table->DoAlter();
            if (m_pProgress && pass == 1)
                m_pProgress->StepIt(2);
        }
    }
    return 0;
}

int CCommander::StripTableObjects(dmo::SQLServer* server, dmo::Database& target, dmo::Database& reference,
                                  const std::vector<std::shared_ptr<dmo::Table>>& targetTables,
                                  const std::vector<std::shared_ptr<dmo::Table>>& referenceTables, std::string& step)
{
    (void)reference;
    step.clear();
    // This pass renames and creates nothing: the target's tables keep the
    // names they were read with.
    auto targetByName = ByName(targetTables);
    int count = static_cast<int>(referenceTables.size());
    if (m_pProgress) {
        m_pProgress->SetRange(2, count);
        m_pProgress->SetPos(2, 0);
    }
    for (int i = 1; i <= count; ++i) {
        int result = CheckConnection(server);
        if (result)
            return result;
        auto& referenceTable = referenceTables[static_cast<std::size_t>(i) - 1];
        if (referenceTable->TypeOf() != dmo::kTypeUserTable)
            continue;
        std::string name = referenceTable->Name();
        std::shared_ptr<dmo::Table> table;
        if (!FindHeldTable(target, targetByName, table, referenceTable->QualifiedName()))
            continue;
        if (!table->FullTextCatalogName().empty())
            SetProgressResourceText(*this, res::IDS_REMOVING_FULLTEXT, name, step); // none on PostgreSQL

        SetProgressResourceText(*this, res::IDS_REMOVING_PRIMARY_KEYS, name, step);
        // The parts are the run's first read of them, or read again since
        // the foreign-key pass altered the table: no refresh needed.
        if (auto key = table->PrimaryKey(); key && key->Type() == 1) {
            table->BeginAlter();
            key->Remove();
            table->DoAlter();
        }

        SetProgressResourceText(*this, res::IDS_REMOVING_INDEXES, name, step);
        auto indexes = table->Indexes();
        for (int j = 1; j <= indexes->Count();) {
            auto index = indexes->Item(j);
            if (index->Keep())
                ++j;
            else
                index->Remove();
        }

        SetProgressResourceText(*this, res::IDS_REMOVING_TRIGGERS, name, step);
        auto triggers = table->Triggers();
        while (triggers->Count() >= 1)
            triggers->Item(1)->Remove();

        SetProgressResourceText(*this, res::IDS_REMOVING_CHECKS, name, step);
        auto checks = table->Checks();
        while (checks->Count() >= 1) {
            if (!table->InAlter())
                table->BeginAlter();
            checks->Item(1)->Remove();
        }
        if (table->InAlter())
            table->DoAlter();

        SetProgressResourceText(*this, res::IDS_REMOVING_DEFAULTS, name, step);
        auto columns = table->Columns();
        for (int j = 1; j <= columns->Count(); ++j) {
            auto dri = columns->Item(j)->GetDRIDefault();
            if (dri->Name().empty())
                continue;
            if (!table->InAlter())
                table->BeginAlter();
            dri->Remove();
        }
        if (table->InAlter())
            table->DoAlter();

        SetProgressResourceText(*this, res::IDS_UNBINDING_DEFAULTS_RULES, name, step);
        for (int j = 1; j <= columns->Count(); ++j) {
            auto column = columns->Item(j);
            column->BindDefault({}, {}, false);
            column->BindRule({}, {}, false);
        }
        if (m_pProgress)
            m_pProgress->StepIt(2);
    }
    return 0;
}

} // namespace dorvik
