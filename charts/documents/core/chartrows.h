// The rows a workflow chart is stored in, as the save sees them: which
// version of them a chart was built from, the lock a save holds on them, and
// the rows a save found under that lock.
#pragma once

#include "ado/ado.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnwick {

// The chart's tables, each with the column that tells its rows apart.
enum class ChartTable { DocType, State, Move, Action };
const char* ChartTableName(ChartTable table);
const char* ChartTableKey(ChartTable table);

// A fingerprint of a chart's rows: its MainDocType row and its MainDocState,
// MainDocMove and MainDocAction rows. On PostgreSQL a row counts by its key
// and the transaction that last wrote it; elsewhere by all its values. The
// order of the rows does not count.
class ChartRowsVersion {
public:
    // The select list of a read whose rows are to be counted: every column,
    // and on PostgreSQL the row's version beside them.
    static std::string SelectList(const ado::Dialect& dialect);
    // Reads the version of a chart's rows as they stand.
    static ChartRowsVersion Read(const ado::_ConnectionPtr& connection, std::int32_t typeDoc);

    // Counts the recordset's current row, read with SelectList.
    void AddRow(ChartTable table, ado::Recordset& rs);
    bool operator==(const ChartRowsVersion& other) const = default;

private:
    std::uint64_t m_sum = 0;
    std::uint64_t m_rows = 0;
};

// The first statement of a chart's save: it holds the chart until the
// transaction ends, so that two saves of one chart run one after the other
// (on PostgreSQL a lock on the chart's key; on SQLite the database's write
// lock, which waits for another writer as long as the driver's busy timeout).
void LockChart(const ado::_ConnectionPtr& connection, std::int32_t typeDoc);

// While a save runs: the chart's rows of the three element tables as the save
// found them under its lock, in updatable recordsets, and where the first row
// of each key stands. The keys begin with the document type, so that a key of
// another document type is known not to be here.
struct ChartSaveRows {
    struct Row {
        long position; // ordinal in the recordset; 0 for a row this save added
        std::int32_t id;
    };
    using Key = std::vector<std::int32_t>;

    // Reads the chart's rows of the three tables: whole and updatable, or
    // only their keys.
    ChartSaveRows(const ado::_ConnectionPtr& connection, std::int32_t typeDoc, bool updatable);

    // The recordset of a table, null for the document types.
    ado::_RecordsetPtr& Rows(ChartTable table);
    // The first row of a key; null when the key has no row here.
    const Row* Find(ChartTable table, const Key& key) const;
    bool Covers(const Key& key) const { return !key.empty() && key[0] == m_typeDoc; }

    // Puts an element's row on the shared rows, or on a recordset of its own
    // opened on `select`; `added` tells whether a new row is to be written.
    // A key this save has added a row for is read anew: the shared rows do
    // not know that row's id on every engine.
    struct ElementRow {
        ado::_RecordsetPtr rs;
        bool added = false;
        bool shared = false;
    };
    static ElementRow Open(ChartSaveRows* rows, ChartTable table, const Key& key,
                           const ado::_ConnectionPtr& connection, const std::string& select);
    // After the row's Update: notes an added key and lets go of an own recordset.
    static void Finish(ChartSaveRows* rows, ChartTable table, const Key& key, ElementRow& row);

    std::map<Key, Row> keys[3];
    ado::_RecordsetPtr recordsets[3];

private:
    std::int32_t m_typeDoc;
};

// A value of an id column, 0 for NULL.
std::int32_t ValueOrZero(const ado::_variant_t& value);

// The key of the row an insert has just made, read in the same session when
// the insert did not hand it back.
std::int32_t NewRowId(const ado::_ConnectionPtr& connection, ado::_RecordsetPtr& rs, ChartTable table);

} // namespace tarnwick
