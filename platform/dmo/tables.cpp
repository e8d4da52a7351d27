#include "dmo/tables.h"

#include "dmo/catalog.h"
#include "dmo/pgexec.h"
#include "dmo/quote.h"
#include "winapi/text.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>

namespace dmo {

using namespace detail;

namespace {

constexpr std::size_t kMaxIdentifierBytes = 63;

// Every user table: not in pg_catalog, information_schema or the pg_
// schemas (toast, temporary), not a partition.
const char* const kUserTables =
    "SELECT c.oid "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE c.relkind IN ('r','p') AND NOT c.relispartition "
    "AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\\_%' "
    "ORDER BY n.nspname COLLATE \"C\", c.relname COLLATE \"C\"";

// What Table::Names holds, over pg_class c and pg_namespace n.
const char* const kNameColumns =
    "n.nspname, c.relname, c.relpersistence, c.relkind, c.relispartition, "
    "EXISTS (SELECT 1 FROM pg_depend d WHERE d.classid = 'pg_class'::regclass "
    "AND d.objid = c.oid AND d.deptype = 'e')";

std::uint32_t toOid(const Param& text) { return static_cast<std::uint32_t>(std::strtoul(text->c_str(), nullptr, 10)); }

bool isTrue(const Param& text) { return text && *text == "t"; }

std::string oidText(std::uint32_t oid) { return std::to_string(oid); }

} // namespace

// ---------------------------------------------------------------------------

std::shared_ptr<Table> Catalog::table(const std::shared_ptr<Database>& db, std::uint32_t oid)
{
    std::erase_if(tables, [](const auto& entry) { return entry.second.expired(); });
    if (auto it = tables.find(oid); it != tables.end())
        if (auto t = it->second.lock()) {
            t->m_names.reset();
            return t;
        }
    std::shared_ptr<Table> t(new Table(db, oid));
    tables[oid] = t;
    return t;
}

Catalog& Access::catalog(Database& db)
{
    if (!db.m_catalog)
        db.m_catalog = std::make_shared<Catalog>();
    return *db.m_catalog;
}

std::shared_ptr<Tables> Database::GetTables()
{
    std::lock_guard lock(m_server->m_mutex);
    return std::shared_ptr<Tables>(new Tables(shared_from_this()));
}

void Tables::Refresh()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto set = ExecParams(Access::connection(*m_db), kUserTables);
    auto& cat = Access::catalog(*m_db);
    cat.snapshot.clear();
    for (const auto& row : set.rows)
        cat.snapshot.push_back(toOid(row[0]));
    cat.loaded = true;
}

detail::Catalog& Tables::catalog()
{
    auto& cat = Access::catalog(*m_db);
    if (!cat.loaded)
        Refresh();
    return cat;
}

int Tables::Count()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return static_cast<int>(catalog().snapshot.size());
}

std::shared_ptr<Table> Tables::Item(int index)
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto& cat = catalog();
    if (index < 1 || static_cast<std::size_t>(index) > cat.snapshot.size())
        throw Error(kErrNotFound, "table '" + std::to_string(index) + "' not found");
    return cat.table(m_db, cat.snapshot[static_cast<std::size_t>(index) - 1]);
}

std::map<std::uint32_t, RelationGrants> Tables::ScriptPermissions()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto& cat = catalog();
    if (cat.snapshot.empty())
        return {};
    return ScriptRelationGrants(Access::connection(*m_db), cat.snapshot);
}

std::shared_ptr<Table> Tables::Item(const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    // The form this layer writes ("schema"."name") names one table exactly.
    ObjectName parsed;
    try {
        parsed = ParseObjectName(name);
    } catch (const Error&) {
        throw Error(kErrNotFound, "table '" + name + "' not found");
    }
    if (!parsed.schema.empty() && name == QuoteQualified(parsed.schema, parsed.name)) {
        auto set = ExecParams(Access::connection(*m_db),
                              std::string("SELECT c.oid, ") + kNameColumns +
                                  " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                  "WHERE n.nspname = $1 AND c.relname = $2 AND c.relkind IN ('r','p') "
                                  "AND NOT c.relispartition",
                              {parsed.schema, parsed.name});
        if (!set.rows.empty()) {
            auto t = Access::catalog(*m_db).table(m_db, toOid(set.rows[0][0]));
            t->m_names = Table::namesOf(set.rows[0], 1);
            return t;
        }
    }
    TableRef ref = m_db->ResolveTable(name);
    return Access::catalog(*m_db).table(m_db, ref.oid);
}

// ---------------------------------------------------------------------------

Table::Names Table::names()
{
    if (m_names)
        return *m_names;
    auto set = ExecParams(Access::connection(*m_db),
                          std::string("SELECT ") + kNameColumns +
                              " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = $1",
                          {oidText(m_oid)});
    if (set.rows.empty())
        throw Error(kErrNotFound, "table '" + std::to_string(m_oid) + "' not found (it was dropped)");
    m_names = namesOf(set.rows[0], 0);
    return *m_names;
}

Table::Names Table::namesOf(const std::vector<Param>& row, std::size_t at)
{
    return Names{*row[at], *row[at + 1], (*row[at + 2])[0], (*row[at + 3])[0], isTrue(row[at + 4]),
                 isTrue(row[at + 5])};
}

std::string Table::Name()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return names().name;
}

std::string Table::Owner()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return names().schema;
}

std::string Table::QualifiedName()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto n = names();
    return QuoteQualified(n.schema, n.name);
}

int Table::TypeOf()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return names().extension ? kTypeSystemTable : kTypeUserTable;
}

void Table::SetName(const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    if (name.size() > kMaxIdentifierBytes)
        throw Error(kErrArgument, "the name '" + name + "' is longer than 63 bytes", "DMO", "42622");
    std::string old = QualifiedName();
    m_names.reset();
    runBatch(Access::connection(*m_db), "ALTER TABLE " + old + " RENAME TO " + QuoteIdent(name), nullptr);
}

long Table::Rows()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto value = ScalarParams(Access::connection(*m_db), "SELECT count(*) FROM " + QualifiedName());
    long long rows = value ? std::strtoll(value->c_str(), nullptr, 10) : 0;
    return static_cast<long>(std::min<long long>(rows, INT_MAX));
}

void Table::Remove()
{
    std::lock_guard lock(Access::mutex(*m_db));
    std::string name = QualifiedName();
    m_names.reset();
    m_loaded = false;
    runBatch(Access::connection(*m_db), "DROP TABLE " + name, nullptr);
}

std::string Table::Script(int scriptType, int script2Type)
{
    std::lock_guard lock(Access::mutex(*m_db));
    if (script2Type != 0 && script2Type != 16)
        throw Error(kErrNotSupported, "not supported on PostgreSQL: script option " + std::to_string(script2Type));
    if (scriptType == kScriptCreate)
        return scriptCreate();
    if (scriptType == kScriptPermissions)
        return ScriptRelationGrants(Access::connection(*m_db), m_oid);
    throw Error(kErrNotSupported, "not supported on PostgreSQL: script type " + std::to_string(scriptType));
}

std::string Table::ScriptGrantAllToPublic()
{
    std::lock_guard lock(Access::mutex(*m_db));
    return RelationGrantAllToPublic(QualifiedName());
}

namespace {

// The columns of creation scripts: the table's OID, then what createText
// reads, for the tables `ids` names.
std::string scriptColumnsQuery(const std::string& ids)
{
    return "SELECT a.attrelid, a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, a.attidentity, "
           "a.attgenerated, "
           "CASE WHEN a.attcollation <> 0 AND a.attcollation <> t.typcollation THEN cn.nspname END, "
           "CASE WHEN a.attcollation <> 0 AND a.attcollation <> t.typcollation THEN co.collname END, "
           "CASE WHEN a.attgenerated <> '' THEN pg_get_expr(d.adbin, d.adrelid) END, "
           "s.seqstart, s.seqincrement, s.seqmin, s.seqmax, s.seqcache, s.seqcycle, s.seqtypid "
           "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
           "LEFT JOIN pg_collation co ON co.oid = a.attcollation "
           "LEFT JOIN pg_namespace cn ON cn.oid = co.collnamespace "
           "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
           "LEFT JOIN LATERAL (SELECT q.* FROM pg_depend dep JOIN pg_sequence q ON q.seqrelid = dep.objid "
           "  WHERE a.attidentity <> '' AND dep.classid = 'pg_class'::regclass "
           "  AND dep.refclassid = 'pg_class'::regclass AND dep.refobjid = a.attrelid "
           "  AND dep.refobjsubid = a.attnum AND dep.deptype = 'i' LIMIT 1) s ON true "
           "WHERE a.attrelid = " + ids + " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attrelid, a.attnum";
}

// The canonical creation script from a table's names and its rows of
// scriptColumnsQuery.
std::string createText(const std::string& schema, const std::string& name, char persistence,
                       const std::vector<const std::vector<Param>*>& rows)
{
    std::string text = std::string("CREATE ") + (persistence == 'u' ? "UNLOGGED " : "") + "TABLE " +
                       QuoteQualified(schema, name) + " (\r\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = *rows[i];
        auto r = [&](std::size_t column) -> const Param& { return row[column + 1]; };
        text += "\t" + QuoteIdent(*r(0)) + " " + *r(1);
        if (r(5) && r(6))
            text += " COLLATE " + QuoteQualified(*r(5), *r(6));
        if (r(4) && !r(4)->empty() && r(7))
            text += " GENERATED ALWAYS AS (" + *r(7) + ") STORED";
        if (r(3) && !r(3)->empty() && r(8)) {
            long long inc = std::strtoll(r(9)->c_str(), nullptr, 10);
            long long min = std::strtoll(r(10)->c_str(), nullptr, 10);
            long long max = std::strtoll(r(11)->c_str(), nullptr, 10);
            std::uint32_t type = toOid(r(14));
            long long typeMin = type == 21 ? -32768LL : type == 23 ? INT_MIN : LLONG_MIN;
            long long typeMax = type == 21 ? 32767LL : type == 23 ? INT_MAX : LLONG_MAX;
            text += std::string(" GENERATED ") + ((*r(3))[0] == 'a' ? "ALWAYS" : "BY DEFAULT") +
                    " AS IDENTITY (START WITH " + *r(8) + " INCREMENT BY " + *r(9);
            if (min != (inc > 0 ? 1 : typeMin))
                text += " MINVALUE " + *r(10);
            if (max != (inc > 0 ? typeMax : -1))
                text += " MAXVALUE " + *r(11);
            if (*r(12) != "1")
                text += " CACHE " + *r(12);
            if (isTrue(r(13)))
                text += " CYCLE";
            text += ")";
        }
        text += isTrue(r(2)) ? " NOT NULL" : " NULL";
        text += i + 1 < rows.size() ? ",\r\n" : "\r\n";
    }
    text += ")\r\n";
    return text;
}

std::string oidList(const std::vector<std::uint32_t>& oids)
{
    std::string text = "ANY ('{";
    for (std::size_t i = 0; i < oids.size(); ++i)
        text += (i ? "," : "") + std::to_string(oids[i]);
    return text + "}'::oid[])";
}

} // namespace

std::string Table::scriptCreate()
{
    PGconn* conn = Access::connection(*m_db);
    Names n = names();
    std::string id = "'" + oidText(m_oid) + "'::oid";
    auto sets = ReadCatalog(
        conn, {"SELECT EXISTS (SELECT 1 FROM pg_inherits WHERE inhrelid = " + id + " OR inhparent = " + id + ")",
               scriptColumnsQuery(id)});
    if (n.kind == 'p' || n.partition || (!sets[0].rows.empty() && isTrue(sets[0].rows[0][0])))
        throw Error(kErrNotSupported, "not supported on PostgreSQL: scripting the partitioned or inherited table " +
                                          QuoteQualified(n.schema, n.name));
    std::vector<const std::vector<Param>*> rows;
    for (const auto& row : sets[1].rows)
        rows.push_back(&row);
    return createText(n.schema, n.name, n.persistence, rows);
}

std::map<std::uint32_t, std::string> Tables::ScriptCreateAll()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto& cat = catalog();
    if (cat.snapshot.empty())
        return {};
    std::string ids = oidList(cat.snapshot);
    auto sets = ReadCatalog(Access::connection(*m_db),
                            {"SELECT c.oid, n.nspname, c.relname, c.relpersistence FROM pg_class c "
                             "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = " + ids +
                                 " AND c.relkind = 'r' AND NOT c.relispartition AND NOT EXISTS (SELECT 1 FROM "
                                 "pg_inherits WHERE inhrelid = c.oid OR inhparent = c.oid)",
                             scriptColumnsQuery(ids)});
    std::map<std::uint32_t, std::vector<const std::vector<Param>*>> columns;
    for (const auto& row : sets[1].rows)
        columns[toOid(row[0])].push_back(&row);
    std::map<std::uint32_t, std::string> scripts;
    for (const auto& row : sets[0].rows) {
        std::uint32_t oid = toOid(row[0]);
        scripts[oid] = createText(*row[1], *row[2], (*row[3])[0], columns[oid]);
    }
    return scripts;
}

// ---------------------------------------------------------------------------

namespace {

// The parts of the tables `ids` names, each query's rows led by the table's
// OID and in each table's own order: keys and checks, indexes, triggers,
// columns.
std::vector<std::string> partQueries(const std::string& ids)
{
    return {"SELECT k.conrelid, k.conname, k.contype, rn.nspname, r.relname FROM pg_constraint k "
            "LEFT JOIN pg_class r ON r.oid = k.confrelid "
            "LEFT JOIN pg_namespace rn ON rn.oid = r.relnamespace "
            "WHERE k.conrelid = " + ids + " AND k.contype IN ('p','u','f','c','x') "
            "ORDER BY k.conrelid, k.conname COLLATE \"C\"",
            "SELECT i.indrelid, n.nspname, ic.relname, EXISTS (SELECT 1 FROM pg_constraint k "
            "WHERE k.conindid = i.indexrelid AND k.conrelid = i.indrelid "
            "AND k.contype IN ('p','u','x')) "
            "FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid "
            "JOIN pg_namespace n ON n.oid = ic.relnamespace "
            "WHERE i.indrelid = " + ids + " ORDER BY i.indrelid, ic.relname COLLATE \"C\"",
            "SELECT tgrelid, tgname FROM pg_trigger WHERE tgrelid = " + ids +
                " AND NOT tgisinternal ORDER BY tgrelid, tgname COLLATE \"C\"",
            "SELECT a.attrelid, a.attname, a.attnum, a.attidentity IN ('a','d'), format_type(a.atttypid, NULL), "
            "CASE WHEN a.attgenerated = '' THEN pg_get_expr(d.adbin, d.adrelid) END, a.attgenerated <> '' "
            "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid "
            "AND d.adnum = a.attnum WHERE a.attrelid = " + ids + " AND a.attnum > 0 "
            "AND NOT a.attisdropped ORDER BY a.attrelid, a.attnum"};
}

} // namespace

void Table::takeParts(const std::vector<QueryResults::Set>& sets, const PartRows& at)
{
    m_keys.clear();
    m_checks.clear();
    m_indexes.clear();
    m_triggers.clear();
    m_columns.clear();
    const auto &keys = sets[0], &indexes = sets[1], &triggers = sets[2], &columns = sets[3];
    for (std::size_t i = at.keys.first; i < at.keys.second; ++i) {
        const auto& r = keys.rows[i];
        char type = (*r[2])[0];
        if (type == 'c') {
            m_checks.push_back({*r[1], 0, {}});
            continue;
        }
        // An exclusion constraint goes as a unique key does: nothing can
        // reference it, and the kit's keys script makes it again.
        m_keys.push_back({*r[1], type == 'p' ? 1 : type == 'u' || type == 'x' ? 2 : 3,
                          type == 'f' && r[3] && r[4] ? QuoteQualified(*r[3], *r[4]) : std::string()});
    }
    for (std::size_t i = at.indexes.first; i < at.indexes.second; ++i) {
        const auto& r = indexes.rows[i];
        m_indexes.push_back({*r[1], *r[2], isTrue(r[3])});
    }
    for (std::size_t i = at.triggers.first; i < at.triggers.second; ++i)
        m_triggers.push_back(*triggers.rows[i][1]);
    for (std::size_t i = at.columns.first; i < at.columns.second; ++i) {
        const auto& r = columns.rows[i];
        m_columns.push_back({*r[1], std::atoi(r[2]->c_str()), isTrue(r[3]), *r[4], r[5].value_or(""), isTrue(r[6])});
    }
    m_loaded = true;
}

void Table::load()
{
    if (m_loaded)
        return;
    PGconn* conn = Access::connection(*m_db);
    std::string id = "'" + oidText(m_oid) + "'::oid";
    auto queries = partQueries(id);
    // The names too, in the same round trip, when not known yet.
    queries.push_back(m_names ? std::string("SELECT") : std::string("SELECT ") + kNameColumns +
                                    " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = " +
                                    id);
    auto sets = ReadCatalog(conn, queries);
    if (!m_names && !sets[4].rows.empty())
        m_names = namesOf(sets[4].rows[0], 0);
    takeParts(sets, PartRows{{0, sets[0].rows.size()},
                             {0, sets[1].rows.size()},
                             {0, sets[2].rows.size()},
                             {0, sets[3].rows.size()}});
}

std::vector<std::shared_ptr<Table>> Tables::LoadAll()
{
    std::lock_guard lock(Access::mutex(*m_db));
    auto& cat = catalog();
    std::vector<std::shared_ptr<Table>> tables;
    if (cat.snapshot.empty())
        return tables;
    std::string ids = oidList(cat.snapshot);
    auto queries = partQueries(ids);
    queries.push_back(std::string("SELECT c.oid, ") + kNameColumns +
                      " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = " + ids);
    auto sets = ReadCatalog(Access::connection(*m_db), queries);
    // Each table's rows are one run, the runs in OID order.
    std::map<std::uint32_t, Table::PartRows> runs;
    auto spans = [&](std::size_t set, std::pair<std::size_t, std::size_t> Table::PartRows::*member) {
        const auto& rows = sets[set].rows;
        for (std::size_t i = 0; i < rows.size();) {
            std::uint32_t oid = toOid(rows[i][0]);
            std::size_t j = i + 1;
            while (j < rows.size() && toOid(rows[j][0]) == oid)
                ++j;
            runs[oid].*member = {i, j};
            i = j;
        }
    };
    spans(0, &Table::PartRows::keys);
    spans(1, &Table::PartRows::indexes);
    spans(2, &Table::PartRows::triggers);
    spans(3, &Table::PartRows::columns);
    std::map<std::uint32_t, const std::vector<Param>*> names;
    for (const auto& row : sets[4].rows)
        names[toOid(row[0])] = &row;
    for (std::uint32_t oid : cat.snapshot) {
        auto found = names.find(oid);
        if (found == names.end())
            continue; // dropped since the snapshot
        auto t = cat.table(m_db, oid);
        t->m_names = Table::namesOf(*found->second, 1);
        t->takeParts(sets, runs[oid]);
        tables.push_back(std::move(t));
    }
    return tables;
}

void Table::Refresh()
{
    std::lock_guard lock(Access::mutex(*m_db));
    m_names.reset();
    m_loaded = false;
    load();
}

void Table::BeginAlter()
{
    std::lock_guard lock(Access::mutex(*m_db));
    if (m_inAlter)
        throw Error(kErrArgument, "an alter block is already open on this table");
    m_inAlter = true;
    m_alterKnown = true;
    m_actions.clear();
}

void Table::DoAlter()
{
    std::lock_guard lock(Access::mutex(*m_db));
    if (!m_inAlter)
        throw Error(kErrArgument, "no alter block is open on this table");
    m_inAlter = false;
    auto actions = std::move(m_actions);
    m_actions.clear();
    if (actions.empty())
        return;
    std::string sql = "ALTER TABLE " + QualifiedName() + " ";
    for (std::size_t i = 0; i < actions.size(); ++i)
        sql += (i ? ", " : "") + actions[i];
    // The parts already show what the actions do, unless one of them set a
    // default the server words its own way; a failure reads them again.
    bool keep = m_loaded && m_alterKnown;
    m_loaded = false;
    runBatch(Access::connection(*m_db), sql, nullptr);
    m_loaded = keep;
}

void Table::alter(const std::string& action)
{
    if (m_inAlter) {
        m_actions.push_back(action);
        return;
    }
    runBatch(Access::connection(*m_db), "ALTER TABLE " + QualifiedName() + " " + action, nullptr);
}

void Table::dropConstraint(const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    alter("DROP CONSTRAINT " + QuoteIdent(name));
    // A primary or unique key takes its index, which has its name, along.
    bool indexed = std::any_of(m_keys.begin(), m_keys.end(),
                               [&](const KeyRow& k) { return k.name == name && (k.type == 1 || k.type == 2); });
    if (indexed)
        std::erase_if(m_indexes, [&](const IndexRow& i) { return i.keep && i.name == name; });
    std::erase_if(m_keys, [&](const KeyRow& k) { return k.name == name; });
    std::erase_if(m_checks, [&](const KeyRow& k) { return k.name == name; });
}

void Table::dropIndex(const std::string& schema, const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    runBatch(Access::connection(*m_db), "DROP INDEX " + QuoteQualified(schema, name), nullptr);
    std::erase_if(m_indexes, [&](const IndexRow& i) { return i.schema == schema && i.name == name; });
}

void Table::dropTrigger(const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    runBatch(Access::connection(*m_db), "DROP TRIGGER " + QuoteIdent(name) + " ON " + QualifiedName(), nullptr);
    std::erase(m_triggers, name);
}

void Table::setDefault(const std::string& column, const std::string& text)
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    alter("ALTER COLUMN " + QuoteIdent(column) + (text.empty() ? " DROP DEFAULT" : " SET DEFAULT " + text));
    if (!text.empty())
        m_alterKnown = false;
    for (auto& c : m_columns)
        if (c.name == column)
            c.defaultText = text;
}

namespace {

template <class T>
class ListOf : public Collection<T> {
public:
    using Make = std::function<std::shared_ptr<T>(int)>;
    ListOf(std::shared_ptr<Table> t, std::function<int()> count, Make make)
        : m_table(std::move(t)), m_count(std::move(count)), m_make(std::move(make))
    {
    }
    int Count() override { return m_count(); }
    std::shared_ptr<T> Item(int index) override
    {
        if (index < 1 || index > m_count())
            throw Error(kErrNotFound, "item '" + std::to_string(index) + "' not found");
        return m_make(index - 1);
    }

private:
    std::shared_ptr<Table> m_table;
    std::function<int()> m_count;
    Make m_make;
};

template <class T>
std::shared_ptr<Collection<T>> makeList(std::shared_ptr<Table> t, std::function<int()> count,
                                        typename ListOf<T>::Make make)
{
    return std::make_shared<ListOf<T>>(std::move(t), std::move(count), std::move(make));
}

} // namespace

template <class T, class Row, class Pick>
std::shared_ptr<Collection<T>> Table::partList(std::vector<Row> Table::*rows, Pick pick)
{
    auto self = shared_from_this();
    return makeList<T>(
        self,
        [this, rows] {
            std::lock_guard lock(Access::mutex(*m_db));
            load();
            return static_cast<int>((this->*rows).size());
        },
        [this, self, rows, pick](int i) {
            return std::shared_ptr<T>(new T(self, std::invoke(pick, (this->*rows)[static_cast<std::size_t>(i)])));
        });
}

std::shared_ptr<Collection<Key>> Table::Keys() { return partList<Key>(&Table::m_keys, std::identity{}); }

std::shared_ptr<Key> Table::PrimaryKey()
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    for (const auto& k : m_keys)
        if (k.type == 1)
            return std::shared_ptr<Key>(new Key(shared_from_this(), k));
    return nullptr;
}

std::shared_ptr<Collection<Index>> Table::Indexes() { return partList<Index>(&Table::m_indexes, std::identity{}); }

std::shared_ptr<Collection<Trigger>> Table::Triggers()
{
    return partList<Trigger>(&Table::m_triggers, std::identity{});
}

std::shared_ptr<Collection<Check>> Table::Checks() { return partList<Check>(&Table::m_checks, &KeyRow::name); }

std::shared_ptr<Collection<dmo::Column>> Table::Columns()
{
    return partList<dmo::Column>(&Table::m_columns, &ColumnRow::name);
}

std::shared_ptr<dmo::Column> Table::ColumnByName(const std::string& name)
{
    std::lock_guard lock(Access::mutex(*m_db));
    load();
    for (const auto& c : m_columns)
        if (c.name == name)
            return std::shared_ptr<dmo::Column>(new dmo::Column(shared_from_this(), name));
    throw Error(kErrNotFound, "column '" + name + "' not found");
}

void Key::Remove() { m_table->dropConstraint(m_row.name); }
void Check::Remove() { m_table->dropConstraint(m_name); }
void Index::Remove() { m_table->dropIndex(m_row.schema, m_row.name); }
void Trigger::Remove() { m_table->dropTrigger(m_name); }

const Table::ColumnRow& Column::row()
{
    m_table->load();
    for (const auto& c : m_table->m_columns)
        if (c.name == m_name)
            return c;
    throw Error(kErrNotFound, "column '" + m_name + "' not found");
}

bool Column::Identity()
{
    std::lock_guard lock(Access::mutex(*m_table->m_db));
    return row().identity;
}

bool Column::Generated()
{
    std::lock_guard lock(Access::mutex(*m_table->m_db));
    return row().generated;
}

std::string Column::Datatype()
{
    std::lock_guard lock(Access::mutex(*m_table->m_db));
    return row().datatype;
}

std::shared_ptr<DRIDefault> Column::GetDRIDefault()
{
    return std::shared_ptr<DRIDefault>(new DRIDefault(m_table, m_name));
}

void Column::BindDefault(const std::string&, const std::string& name, bool bind)
{
    if (bind && !name.empty())
        throw Error(kErrNotSupported, "not supported on PostgreSQL: bound default '" + name + "'");
}

void Column::BindRule(const std::string&, const std::string& name, bool bind)
{
    if (bind && !name.empty())
        throw Error(kErrNotSupported, "not supported on PostgreSQL: bound rule '" + name + "'");
}

const Table::ColumnRow* DRIDefault::row()
{
    m_table->load();
    for (const auto& c : m_table->m_columns)
        if (c.name == m_column)
            return &c;
    throw Error(kErrNotFound, "column '" + m_column + "' not found");
}

std::string DRIDefault::Name()
{
    std::lock_guard lock(Access::mutex(*m_table->m_db));
    if (row()->defaultText.empty())
        return {};
    return "DF_" + m_table->names().name + "_" + m_column;
}

std::string DRIDefault::Text()
{
    std::lock_guard lock(Access::mutex(*m_table->m_db));
    return row()->defaultText;
}

void DRIDefault::SetText(const std::string& text)
{
    if (text.empty())
        throw Error(kErrArgument, "a default needs an expression");
    m_table->setDefault(m_column, text);
}

void DRIDefault::Remove() { m_table->setDefault(m_column, {}); }

} // namespace dmo
