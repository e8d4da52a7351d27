#include "charts/documents/core/chartrows.h"

#include <cstring>
#include <strings.h>

namespace tarnwick {

namespace {

constexpr const char* kRowVersion = "RowVersion";

// Columns of each table's key, as the elements' own look-ups select a row.
const std::vector<const char*>& KeyColumns(ChartTable table)
{
    static const std::vector<const char*> state = {"TypeDoc", "Grp", "State"};
    static const std::vector<const char*> move = {"TypeDoc", "Grp", "Type", "State", "NewGrp", "NewState"};
    static const std::vector<const char*> action = {"TypeDoc", "Grp",      "Type",  "State",
                                                    "NewGrp",  "NewState", "Action"};
    return table == ChartTable::State ? state : table == ChartTable::Move ? move : action;
}

std::size_t Slot(ChartTable table) { return static_cast<std::size_t>(table) - 1; }

struct Hash {
    std::uint64_t h;
    explicit Hash(std::uint64_t seed) : h(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    void Word(std::uint64_t w)
    {
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    void Bytes(const void* data, std::size_t size)
    {
        Word(size);
        const auto* p = static_cast<const unsigned char*>(data);
        for (; size >= 8; p += 8, size -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            Word(w);
        }
        std::uint64_t tail = 0;
        if (size)
            std::memcpy(&tail, p, size);
        Word(tail);
    }
    void Value(const ado::_variant_t& v)
    {
        switch (v.vt) {
        case ado::VT_I2:
        case ado::VT_I4:
        case ado::VT_I8:
            Word(2);
            Word(static_cast<std::uint64_t>(v.llVal));
            break;
        case ado::VT_R8: {
            std::uint64_t bits;
            std::memcpy(&bits, &v.dblVal, 8);
            Word(3);
            Word(bits);
            break;
        }
        case ado::VT_BSTR:
            Word(4);
            Bytes(v.bstrValue().data(), v.bstrValue().size());
            break;
        case ado::VT_ARRAY | ado::VT_UI1:
            Word(5);
            if (v.parray)
                Bytes(v.parray->pvData, v.parray->rgsabound[0].cElements);
            else
                Bytes(nullptr, 0);
            break;
        case ado::VT_ARRAY:
            Word(5);
            Bytes(nullptr, 0);
            break;
        default:
            Word(1); // NULL
            break;
        }
    }
    std::uint64_t Final() const
    {
        std::uint64_t z = h;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

bool IsPostgres(const ado::Dialect& dialect) { return dialect.engine() == ado::Dialect::Engine::PostgreSQL; }

} // namespace

std::int32_t ValueOrZero(const ado::_variant_t& value) { return value.vt == ado::VT_NULL ? 0 : value.ToLong(); }

const char* ChartTableName(ChartTable table)
{
    switch (table) {
    case ChartTable::DocType: return "MainDocType";
    case ChartTable::State: return "MainDocState";
    case ChartTable::Move: return "MainDocMove";
    case ChartTable::Action: return "MainDocAction";
    }
    return "";
}

const char* ChartTableKey(ChartTable table)
{
    switch (table) {
    case ChartTable::DocType: return "TypeDoc";
    case ChartTable::State: return "idState";
    case ChartTable::Move: return "idMove";
    case ChartTable::Action: return "idAction";
    }
    return "";
}

std::string ChartRowsVersion::SelectList(const ado::Dialect& dialect)
{
    // xmin changes with every write of the row, whoever makes it.
    return IsPostgres(dialect) ? std::string("*, xmin::text AS ") + kRowVersion : std::string("*");
}

ChartRowsVersion ChartRowsVersion::Read(const ado::_ConnectionPtr& connection, std::int32_t typeDoc)
{
    ChartRowsVersion version;
    const bool postgres = IsPostgres(connection->GetDialect());
    for (ChartTable table : {ChartTable::DocType, ChartTable::State, ChartTable::Move, ChartTable::Action}) {
        // PostgreSQL tells a row's version without its drawing being read.
        const std::string columns =
            postgres ? std::string(ChartTableKey(table)) + ", xmin::text AS " + kRowVersion : std::string("*");
        ado::_RecordsetPtr rs = connection->Execute("SELECT " + columns + " FROM " + ChartTableName(table) +
                                                    " WHERE TypeDoc = " + std::to_string(typeDoc));
        for (; !rs->IsEOF(); rs->MoveNext())
            version.AddRow(table, *rs.GetInterfacePtr());
        rs->Close();
    }
    return version;
}

void ChartRowsVersion::AddRow(ChartTable table, ado::Recordset& rs)
{
    Hash hash(static_cast<std::uint64_t>(table) + 1);
    long versionColumn = -1;
    for (long i = 0; i < rs.FieldCount(); ++i)
        if (strcasecmp(rs.FieldName(i).c_str(), kRowVersion) == 0)
            versionColumn = i;
    if (versionColumn >= 0) {
        hash.Value(rs.GetCollect(ChartTableKey(table)));
        hash.Value(rs.GetCollect(ado::_variant_t(static_cast<int>(versionColumn))));
    } else {
        for (long i = 0; i < rs.FieldCount(); ++i)
            hash.Value(rs.GetCollect(ado::_variant_t(static_cast<int>(i))));
    }
    m_sum += hash.Final();
    ++m_rows;
}

void LockChart(const ado::_ConnectionPtr& connection, std::int32_t typeDoc)
{
    // The first number marks the lock as a chart's, apart from other uses of
    // the server's advisory locks.
    constexpr std::int32_t kChartLocks = 0x4B434854;
    if (IsPostgres(connection->GetDialect()))
        connection->Execute("SELECT pg_advisory_xact_lock(" + std::to_string(kChartLocks) + ", " +
                            std::to_string(typeDoc) + ")")
            ->Close();
    else
        // A write takes the database's write lock at once, whether it changes a row or not.
        connection->Execute("UPDATE MainDocType SET TypeDoc = TypeDoc WHERE TypeDoc = " + std::to_string(typeDoc));
}

ChartSaveRows::ChartSaveRows(const ado::_ConnectionPtr& connection, std::int32_t typeDoc, bool updatable)
    : m_typeDoc(typeDoc)
{
    for (ChartTable table : {ChartTable::State, ChartTable::Move, ChartTable::Action}) {
        // The keys are read for the stale moves and their actions only.
        if (!updatable && table == ChartTable::State)
            continue;
        const std::vector<const char*>& columns = KeyColumns(table);
        std::string select = "*";
        if (!updatable) {
            select = ChartTableKey(table);
            for (const char* column : columns)
                select += std::string(", ") + column;
        }
        ado::_RecordsetPtr& rs = recordsets[Slot(table)];
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t("SELECT " + select + " FROM " + ChartTableName(table) + " WHERE TypeDoc = " +
                                 std::to_string(typeDoc) + " ORDER BY " + ChartTableKey(table)),
                 connection, updatable ? ado::adOpenStatic : ado::adOpenForwardOnly,
                 updatable ? ado::adLockOptimistic : ado::adLockReadOnly, ado::adCmdText);
        long position = 1;
        for (; !rs->IsEOF(); rs->MoveNext(), ++position) {
            Key key;
            bool complete = true;
            for (const char* column : columns) {
                const ado::_variant_t v = rs->GetCollect(column);
                complete = complete && v.vt != ado::VT_NULL;
                key.push_back(ValueOrZero(v));
            }
            // A key column that is NULL matches no element's look-up.
            if (complete)
                keys[Slot(table)].emplace(std::move(key),
                                          Row{position, ValueOrZero(rs->GetCollect(ChartTableKey(table)))});
        }
        if (!updatable)
            rs->Close();
    }
}

ado::_RecordsetPtr& ChartSaveRows::Rows(ChartTable table) { return recordsets[Slot(table)]; }

const ChartSaveRows::Row* ChartSaveRows::Find(ChartTable table, const Key& key) const
{
    const auto& map = keys[Slot(table)];
    const auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
}

ChartSaveRows::ElementRow ChartSaveRows::Open(ChartSaveRows* rows, ChartTable table, const Key& key,
                                              const ado::_ConnectionPtr& connection, const std::string& select)
{
    ElementRow row;
    if (rows && rows->Covers(key)) {
        const Row* found = rows->Find(table, key);
        if (!found || found->position > 0) {
            row.rs = rows->Rows(table);
            row.shared = true;
            row.added = !found;
            if (found)
                row.rs->PutAbsolutePosition(found->position);
            return row;
        }
    }
    row.rs.CreateInstance("ADODB.Recordset");
    row.rs->Open(ado::_variant_t(select), connection, ado::adOpenStatic, ado::adLockOptimistic, ado::adCmdText);
    row.added = row.rs->IsEOF();
    if (!row.added)
        row.rs->MoveFirst();
    return row;
}

void ChartSaveRows::Finish(ChartSaveRows* rows, ChartTable table, const Key& key, ElementRow& row)
{
    if (row.shared && row.added)
        rows->keys[Slot(table)].emplace(key, Row{0, 0});
    if (!row.shared && row.rs->GetState() == ado::adStateOpen)
        row.rs->Close();
}

std::int32_t NewRowId(const ado::_ConnectionPtr& connection, ado::_RecordsetPtr& rs, ChartTable table)
{
    const char* column = ChartTableKey(table);
    if (const ado::_variant_t id = rs->GetCollect(column); id.vt != ado::VT_NULL)
        return id.ToLong();
    ado::_RecordsetPtr last;
    last.CreateInstance("ADODB.Recordset");
    last->Open(ado::_variant_t(connection->GetDialect().LastIdentityQuery(ChartTableName(table), column)),
               connection, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
    std::int32_t id = 0;
    if (!last->IsEOF())
        id = ValueOrZero(last->GetCollect(column));
    last->Close();
    return id;
}

} // namespace tarnwick
