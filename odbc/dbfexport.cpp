#include "dbfexport.h"

#include <charconv>

namespace {

// Writes column i of the current row into field i; a NULL leaves the field
// blank. Gives false when the value does not fit the field.
bool CopyValue(CRecordset& rs, short i, const CODBCFieldInfo& info, const CFieldDBF& field,
               CDataBaseFile& file)
{
    CDBVariant v;
    if (field.m_type == 'D') {
        rs.GetFieldValue(i, v, SQL_C_TIMESTAMP);
        return v.m_dwType == DBVT_DATE ? file.SetValue(i, *v.m_pdate) : file.SetValue(i, "");
    }
    if (field.m_type == 'N') {
        switch (info.m_nSQLType) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
            rs.GetFieldValue(i, v, SQL_C_SSHORT);
            return v.m_dwType == DBVT_SHORT ? file.SetValue(i, v.m_iVal) : file.SetValue(i, "");
        case SQL_INTEGER:
            rs.GetFieldValue(i, v, SQL_C_SLONG);
            return v.m_dwType == DBVT_LONG ? file.SetValue(i, std::int32_t{v.m_lVal})
                                           : file.SetValue(i, "");
        case SQL_BIGINT: {
            // The engine's variant has no 64-bit integer: the text is exact.
            std::string text;
            rs.GetFieldValue(i, text);
            if (text.empty())
                return file.SetValue(i, "");
            std::int64_t n = 0;
            const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
            return res.ec == std::errc() && res.ptr == text.data() + text.size() && file.SetValue(i, n);
        }
        case SQL_NUMERIC:
        case SQL_DECIMAL:
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_DOUBLE:
            rs.GetFieldValue(i, v, SQL_C_DOUBLE);
            return v.m_dwType == DBVT_DOUBLE ? file.SetValue(i, v.m_dblVal) : file.SetValue(i, "");
        default:
            break;
        }
    }
    std::string text;
    rs.GetFieldValue(i, text);
    return file.SetValue(i, text.c_str());
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

bool CopyODBCtoDBF(const char* path, CRecordset& rs)
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
    for (; !rs.IsEOF(); rs.MoveNext()) {
        file.AddNew();
        for (short i = 0; i < count; ++i)
            if (!CopyValue(rs, i, infos[i], *fields[static_cast<std::size_t>(i)], file))
                complete = false;
        file.Flush();
        if (!file.GetError().empty())
            return false;
    }
    file.Close();
    return complete && file.GetError().empty();
}
