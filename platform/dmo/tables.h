// The tables of a database and what hangs on them: columns with their
// defaults, keys, checks, indexes and triggers, the canonical creation
// script and the permission statements, on the PostgreSQL catalogues.
//
// A table object keeps its database alive and stays the same table across
// renames and collection refreshes (it is found again by its OID). Its
// parts are read from the catalogue when first asked for and kept until
// the table is refreshed or an alter block is committed.
#pragma once

#include "dmo/dmo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace dmo {

class Table;
class Column;
class Key;
class Index;
class Trigger;
class Check;

// Object types the callers test.
constexpr int kTypeUserTable = 8;
constexpr int kTypeSystemTable = 2;
constexpr int kTypeUserFunction = 4096;

// Script types: 516 the creation script without constraints, 2 the
// permission statements; Script2Type 0 or 16.
constexpr int kScriptCreate = 516;
constexpr int kScriptPermissions = 2;

// A table's or view's permission statements with what a permission walk
// shows of it.
struct RelationGrants {
    std::string qualifiedName;
    // Belongs to an extension: a system table to the walk.
    bool extension = false;
    std::string script; // as Script(kScriptPermissions)
};

class Tables {
public:
    void Refresh();
    int Count();
    // The permission statements of every table of the last Refresh, read
    // in one round trip, by OID; a table dropped since is left out.
    std::map<std::uint32_t, RelationGrants> ScriptPermissions();
    // The creation scripts (Script with kScriptCreate) of every table of the
    // last Refresh, read in one round trip, by OID; a table dropped since,
    // and one that cannot be scripted (partitioned, inherited), is left out.
    std::map<std::uint32_t, std::string> ScriptCreateAll();
    // Reads the keys, checks, indexes, triggers, columns and names of every
    // table of the last Refresh in one round trip and hands them to the
    // table objects, as each would read them when first asked; a table
    // dropped since is left out. The parts stay while the returned objects
    // are held and until a table is refreshed or altered.
    std::vector<std::shared_ptr<Table>> LoadAll();
    // 1-based over the last snapshot.
    std::shared_ptr<Table> Item(int index);
    // The table a user's name means (Database::ResolveTable).
    std::shared_ptr<Table> Item(const std::string& name);

private:
    friend class Database;
    explicit Tables(std::shared_ptr<Database> db) : m_db(std::move(db)) {}
    // The database's catalogue, its table list read on first use; the
    // caller holds the database's lock.
    detail::Catalog& catalog();
    std::shared_ptr<Database> m_db;
};

// A list the callers walk by position; Count reads the current state.
template <class T>
class Collection {
public:
    virtual ~Collection() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<T> Item(int index) = 0;
};

class Table : public std::enable_shared_from_this<Table> {
public:
    std::string Name();
    // Renames the table; a name over 63 bytes is refused before sending.
    void SetName(const std::string& name);
    // The schema.
    std::string Owner();
    std::string QualifiedName();
    std::uint32_t Oid() const { return m_oid; }
    int TypeOf();
    std::string Script(int scriptType, int script2Type = 16);
    std::string ScriptGrantAllToPublic();
    // Exact row count, clamped to 2^31-1.
    long Rows();
    void Remove();
    std::string FullTextCatalogName() { return {}; }

    // Removals and default changes between BeginAlter and DoAlter go to the
    // server as one ALTER TABLE.
    void BeginAlter();
    void DoAlter();
    bool InAlter() const { return m_inAlter; }
    // Reads keys, indexes, triggers, checks and columns again.
    void Refresh();

    std::shared_ptr<Collection<Key>> Keys();
    std::shared_ptr<Key> PrimaryKey();
    std::shared_ptr<Collection<Index>> Indexes();
    std::shared_ptr<Collection<Trigger>> Triggers();
    std::shared_ptr<Collection<Check>> Checks();
    std::shared_ptr<Collection<dmo::Column>> Columns();
    // Exact, case-sensitive; none throws (not found).
    std::shared_ptr<dmo::Column> ColumnByName(const std::string& name);

    std::shared_ptr<Database> GetDatabase() const { return m_db; }

    // What the parts read from the catalogue.
    struct KeyRow {
        std::string name;
        int type;
        std::string referenced;
    };
    struct IndexRow {
        std::string schema, name;
        bool keep;
    };
    struct ColumnRow {
        std::string name;
        int attnum;
        bool identity;
        std::string datatype;
        std::string defaultText;
        bool generated;
    };

private:
    friend class Tables;
    friend struct detail::Catalog;
    friend class dmo::Column;
    friend class Key;
    friend class Index;
    friend class Trigger;
    friend class Check;
    friend class DRIDefault;
    Table(std::shared_ptr<Database> db, std::uint32_t oid) : m_db(std::move(db)), m_oid(oid) {}

    struct Names {
        std::string schema, name;
        char persistence;
        char kind;
        bool partition;
        bool extension;
    };
    Names names();
    static Names namesOf(const std::vector<std::optional<std::string>>& row, std::size_t at);
    void load();
    // Row ranges [first, second) of one table in the part queries' sets.
    struct PartRows {
        std::pair<std::size_t, std::size_t> keys, indexes, triggers, columns;
    };
    void takeParts(const std::vector<QueryResults::Set>& sets, const PartRows& at);
    // A list of one kind of part as Keys() and the others hand it out: it
    // reads the parts when counted, and its items are made from `pick` of a row.
    template <class T, class Row, class Pick>
    std::shared_ptr<Collection<T>> partList(std::vector<Row> Table::*rows, Pick pick);
    // An action of an ALTER TABLE: queued inside a block, else sent now.
    void alter(const std::string& action);
    void dropConstraint(const std::string& name);
    void dropIndex(const std::string& schema, const std::string& name);
    void dropTrigger(const std::string& name);
    void setDefault(const std::string& column, const std::string& text);
    std::string scriptCreate();

    std::shared_ptr<Database> m_db;
    std::uint32_t m_oid;
    // Read once per hand-out of the object; a rename or refresh reads again.
    std::optional<Names> m_names;
    bool m_loaded = false;
    bool m_inAlter = false;
    // No action of the open alter block leaves the parts unlike a new read.
    bool m_alterKnown = true;
    std::vector<std::string> m_actions;
    std::vector<KeyRow> m_keys;
    std::vector<KeyRow> m_checks;
    std::vector<IndexRow> m_indexes;
    std::vector<std::string> m_triggers;
    std::vector<ColumnRow> m_columns;
};

class Key {
public:
    std::string Name() const { return m_row.name; }
    // 1 primary, 2 unique (or exclusion), 3 foreign.
    int Type() const { return m_row.type; }
    // "schema"."name" of the referenced table of a foreign key.
    std::string ReferencedTable() const { return m_row.referenced; }
    void Remove();

private:
    friend class Table;
    Key(std::shared_ptr<Table> t, Table::KeyRow row) : m_table(std::move(t)), m_row(std::move(row)) {}
    std::shared_ptr<Table> m_table;
    Table::KeyRow m_row;
};

class Check {
public:
    std::string Name() const { return m_name; }
    void Remove();

private:
    friend class Table;
    Check(std::shared_ptr<Table> t, std::string name) : m_table(std::move(t)), m_name(std::move(name)) {}
    std::shared_ptr<Table> m_table;
    std::string m_name;
};

class Index {
public:
    std::string Name() const { return m_row.name; }
    // True for an index that backs a constraint: it goes with the constraint.
    bool Keep() const { return m_row.keep; }
    void Remove();

private:
    friend class Table;
    Index(std::shared_ptr<Table> t, Table::IndexRow row) : m_table(std::move(t)), m_row(std::move(row)) {}
    std::shared_ptr<Table> m_table;
    Table::IndexRow m_row;
};

class Trigger {
public:
    std::string Name() const { return m_name; }
    void Remove();

private:
    friend class Table;
    Trigger(std::shared_ptr<Table> t, std::string name) : m_table(std::move(t)), m_name(std::move(name)) {}
    std::shared_ptr<Table> m_table;
    std::string m_name;
};

// A column's default. PostgreSQL defaults have no names: a column with one
// reports DF_<table>_<column>, one without reports "".
class DRIDefault {
public:
    std::string Name();
    std::string Text();
    // Gives the column this default expression.
    void SetText(const std::string& text);
    void SetName(const std::string&) {}
    void Remove();

private:
    friend class Column;
    DRIDefault(std::shared_ptr<Table> t, std::string column) : m_table(std::move(t)), m_column(std::move(column)) {}
    const Table::ColumnRow* row();
    std::shared_ptr<Table> m_table;
    std::string m_column;
};

class Column {
public:
    std::string Name() const { return m_name; }
    bool Identity();
    // A stored generated column: its values are computed, never written.
    bool Generated();
    // format_type's name of the base type; never the bare "timestamp".
    std::string Datatype();
    std::shared_ptr<DRIDefault> GetDRIDefault();
    // Bound defaults and rules do not exist here: always empty, and
    // unbinding succeeds without doing anything.
    std::string Default() const { return {}; }
    std::string DefaultOwner() const { return {}; }
    void BindDefault(const std::string& owner, const std::string& name, bool bind);
    void BindRule(const std::string& owner, const std::string& name, bool bind);

private:
    friend class Table;
    Column(std::shared_ptr<Table> t, std::string name) : m_table(std::move(t)), m_name(std::move(name)) {}
    const Table::ColumnRow& row();
    std::shared_ptr<Table> m_table;
    std::string m_name;
};

} // namespace dmo
