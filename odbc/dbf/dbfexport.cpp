#include "odbc/dbf/dbfexport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// The typed reads give -1 for a NULL, and a cleared or untouched value that
// would otherwise be written as a zero or a date of zeros: a NULL is left a
// blank field instead.
template <class T>
bool CopyTyped(CODBCRecord& rs, short i, CDataBaseFile& file)
{
    T value{};
    if (rs.GetFieldData(i, value) == SQL_NULL_DATA)
        return file.SetValue(i, "");
    return file.SetValue(i, value);
}

// Writes column i of the current row into field i. Gives false when the
// value does not fit the field.
bool CopyValue(CODBCRecord& rs, short i, short sqlType, const CFieldDBF& field, CDataBaseFile& file)
{
    if (field.m_type == 'D')
        return CopyTyped<TIMESTAMP_STRUCT>(rs, i, file);
    if (field.m_type == 'N') {
        switch (sqlType) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
            return CopyTyped<short>(rs, i, file);
        case SQL_INTEGER:
            return CopyTyped<std::int32_t>(rs, i, file);
        case SQL_BIGINT:
            return CopyTyped<std::int64_t>(rs, i, file);
        case SQL_NUMERIC:
        case SQL_DECIMAL:
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_DOUBLE:
            return CopyTyped<double>(rs, i, file);
        default:
            break;
        }
    }
    std::string text;
    rs.GetFieldData(i, text, -1);
    // The field holds what fits; a cut value is reported, as a number that
    // does not fit is.
    return file.SetValue(i, text.c_str()) && text.size() <= field.m_length;
}

// The rest of a recordset's rows fetched in rowsets into buffers bound to
// the columns, and written into the file from there: no call to the driver
// a value, no text made for a number on the way. Used for the general
// recordset itself, whose typed reads are SQLGetData calls that these
// buffers stand in for; the bindings are removed on every way out.
class RowsetCopier {
public:
    // Rows a fetch: read through a server cursor, each fetch is a round trip.
    static constexpr SQLULEN kRows = 10000;

    RowsetCopier(CODBCRecord& rs, const CFieldDBFArray& fields) : m_rs(rs), m_fields(fields) {}
    ~RowsetCopier()
    {
        SQLFreeStmt(m_rs.m_hstmt, SQL_UNBIND);
        SQLSetStmtAttr(m_rs.m_hstmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
        SQLSetStmtAttr(m_rs.m_hstmt, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        SQLSetStmtAttr(m_rs.m_hstmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    }
    RowsetCopier(const RowsetCopier&) = delete;
    RowsetCopier& operator=(const RowsetCopier&) = delete;

    // Copies every row after the current one; false when a value did not fit.
    bool Copy(CDataBaseFile& file)
    {
        Bind();
        bool complete = true;
        for (;;) {
            SQLULEN fetched = 0;
            SQLSetStmtAttr(m_rs.m_hstmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
            const RETCODE rc = AfxOdbcRetry([&] { return SQLFetch(m_rs.m_hstmt); });
            if (rc == SQL_NO_DATA)
                break;
            const bool failed = !SQL_SUCCEEDED(rc);
            // Rows the driver delivered before an error are still copied.
            for (SQLULEN row = 0; row < std::min(fetched, m_rows); ++row) {
                if (m_status[row] != SQL_ROW_SUCCESS && m_status[row] != SQL_ROW_SUCCESS_WITH_INFO)
                    break;
                complete = CopyRow(row, file) && complete;
                if (!file.GetError().empty())
                    return false;
            }
            if (failed || std::any_of(m_status.begin(), m_status.begin() + static_cast<std::ptrdiff_t>(std::min(fetched, m_rows)),
                                      [](SQLUSMALLINT st) { return st == SQL_ROW_ERROR; }))
                AfxThrowDBException(failed ? rc : SQL_ERROR, m_rs.m_pDatabase, m_rs.m_hstmt);
        }
        return complete;
    }

private:
    struct Column {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLLEN width = 0; // bytes a row
        std::vector<char> data;
        std::vector<SQLLEN> lengths;
    };

    void Bind()
    {
        HSTMT h = m_rs.m_hstmt;
        Check(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN{SQL_BIND_BY_COLUMN}), 0));
        RETCODE rc = SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0);
        Check(rc);
        // A driver may offer fewer rows a fetch (01S02); it says how many.
        SQLGetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, &m_rows, 0, nullptr);
        m_rows = std::clamp<SQLULEN>(m_rows, 1, kRows);
        m_status.assign(m_rows, SQL_ROW_NOROW);
        Check(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0));
        const CODBCFieldInfo* infos = m_rs.GetODBCFieldInfos();
        m_columns.resize(m_fields.size());
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            Column& c = m_columns[i];
            const CFieldDBF& f = *m_fields[i];
            if (f.m_type == 'D') {
                c.cType = SQL_C_TIMESTAMP;
                c.width = sizeof(TIMESTAMP_STRUCT);
            } else if (f.m_type == 'N' && NumberType(infos[i].m_nSQLType) != 0) {
                c.cType = NumberType(infos[i].m_nSQLType);
                c.width = c.cType == SQL_C_SSHORT ? 2 : c.cType == SQL_C_SLONG ? 4 : 8;
            } else {
                // Two bytes beyond the field: a longer value shows as cut,
                // and a character cut by the driver lies past the field.
                c.cType = SQL_C_CHAR;
                c.width = static_cast<SQLLEN>(f.m_length) + 2;
            }
            c.data.assign(static_cast<std::size_t>(c.width) * m_rows, 0);
            c.lengths.assign(m_rows, 0);
            Check(SQLBindCol(h, static_cast<SQLUSMALLINT>(i + 1), c.cType, c.data.data(), c.width, c.lengths.data()));
        }
    }

    static SQLSMALLINT NumberType(short sqlType)
    {
        switch (sqlType) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT: return SQL_C_SSHORT;
        case SQL_INTEGER: return SQL_C_SLONG;
        case SQL_BIGINT: return SQL_C_SBIGINT;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_DOUBLE: return SQL_C_DOUBLE;
        default: return 0;
        }
    }

    bool CopyRow(SQLULEN row, CDataBaseFile& file)
    {
        file.AddNew();
        bool complete = true;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            const Column& c = m_columns[i];
            const int field = static_cast<int>(i);
            const char* p = c.data.data() + static_cast<std::size_t>(c.width) * row;
            const SQLLEN length = c.lengths[row];
            bool ok = true;
            if (length == SQL_NULL_DATA) {
                ok = file.SetValue(field, "");
            } else {
                switch (c.cType) {
                case SQL_C_TIMESTAMP: ok = file.SetValue(field, Value<TIMESTAMP_STRUCT>(p)); break;
                case SQL_C_SSHORT: ok = file.SetValue(field, Value<short>(p)); break;
                case SQL_C_SLONG: ok = file.SetValue(field, Value<std::int32_t>(p)); break;
                case SQL_C_SBIGINT: ok = file.SetValue(field, Value<std::int64_t>(p)); break;
                case SQL_C_DOUBLE: ok = file.SetValue(field, Value<double>(p)); break;
                default:
                    ok = file.SetValue(field, p) && length != SQL_NO_TOTAL &&
                         length <= static_cast<SQLLEN>(m_fields[i]->m_length);
                    break;
                }
            }
            complete = ok && complete;
        }
        file.Flush();
        return complete;
    }

    template <class T>
    static T Value(const char* p)
    {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    void Check(RETCODE rc)
    {
        if (!SQL_SUCCEEDED(rc))
            AfxThrowDBException(rc, m_rs.m_pDatabase, m_rs.m_hstmt);
    }

    CODBCRecord& m_rs;
    const CFieldDBFArray& m_fields;
    std::vector<Column> m_columns;
    std::vector<SQLUSMALLINT> m_status;
    SQLULEN m_rows = 1;
};

} // namespace

bool ConvertODBCtoDBF(const CODBCFieldInfo* infos, unsigned short count, CFieldDBFArray& fields)
{
    std::uint32_t offset = 1;
    for (unsigned short i = 0; i < count; ++i) {
        const CODBCFieldInfo& info = infos[i];
        auto field = std::make_unique<CFieldDBF>();
        if (!DBFFieldFromColumn(info.m_strName.c_str(), info.m_nSQLType, info.m_nPrecision,
                                info.m_nScale, offset, *field))
            return false;
        offset += field->m_length;
        fields.push_back(std::move(field));
    }
    return true;
}

bool ConvertODBCtoDBF(const CODBCFieldInfo* infos, unsigned short count,
                      CDBTypedPtrArrayEx<CFieldDBF*>& fields)
{
    CFieldDBFArray made;
    const bool all = ConvertODBCtoDBF(infos, count, made);
    for (auto& field : made)
        fields.Add(std::move(field));
    return all;
}

bool CreateDBFile(const char* path, CDBTypedPtrArrayEx<CFieldDBF*>& fields)
{
    CFieldDBFArray copy;
    for (const auto& field : fields) {
        if (!field)
            return false;
        copy.push_back(std::make_unique<CFieldDBF>(*field));
    }
    return CreateDBFile(path, copy);
}

bool CopyODBCtoDBF(const char* path, CODBCRecord& rs)
{
    const short count = rs.GetODBCFieldCount();
    if (count <= 0 || !rs.GetODBCFieldInfos())
        return false;
    CFieldDBFArray fields;
    if (!ConvertODBCtoDBF(rs.GetODBCFieldInfos(), static_cast<unsigned short>(count), fields) ||
        !CreateDBFile(path, fields))
        return false;
    CDataBaseFile file;
    if (!file.Open(path, 0))
        return false;
    const CODBCFieldInfo* infos = rs.GetODBCFieldInfos();
    bool complete = true;
    // The general recordset's own reads fetch each value from the driver;
    // its rows after the current one come faster in bound rowsets.
    const bool rowsets = typeid(rs) == typeid(CODBCRecord);
    try {
        for (; !rs.IsEOF(); rs.MoveNext()) {
            file.AddNew();
            for (short i = 0; i < count; ++i)
                if (!CopyValue(rs, i, infos[i].m_nSQLType, *fields[static_cast<std::size_t>(i)], file))
                    complete = false;
            file.Flush();
            if (!file.GetError().empty())
                return false;
            if (rowsets) {
                {
                    RowsetCopier copier(rs, fields);
                    complete = copier.Copy(file) && complete;
                }
                if (!file.GetError().empty())
                    return false;
                // The driver has no more rows: the recordset learns it is at its end.
            }
        }
    } catch (...) {
        // A row cut short by a database error is not a record.
        file.Discard();
        throw;
    }
    file.Close();
    return complete && file.GetError().empty();
}
