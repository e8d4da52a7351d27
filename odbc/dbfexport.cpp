#include "dbfexport.h"

#include <cstdint>
#include <string>

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
    try {
        for (; !rs.IsEOF(); rs.MoveNext()) {
            file.AddNew();
            for (short i = 0; i < count; ++i)
                if (!CopyValue(rs, i, infos[i].m_nSQLType, *fields[static_cast<std::size_t>(i)], file))
                    complete = false;
            file.Flush();
            if (!file.GetError().empty())
                return false;
        }
    } catch (...) {
        // A row cut short by a database error is not a record.
        file.Discard();
        throw;
    }
    file.Close();
    return complete && file.GetError().empty();
}
