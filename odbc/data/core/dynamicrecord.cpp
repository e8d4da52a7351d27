#include "odbc/data/core/dynamicrecord.h"
#include "odbc/data/core/rfx.h"

#include "afx/file.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CDynamicRecord, CODBCRecord)
IMPLEMENT_DYNAMIC(CDynamicBulkRecord, CODBCRecord)

int TextBufferBytes(SWORD sqlType, SQLULEN precision)
{
    SQLULEN bytes = sqlType == SQL_NUMERIC || sqlType == SQL_DECIMAL ? precision + 1 + 2 : precision * 4 + 1;
    return static_cast<int>(std::min<SQLULEN>(bytes, 0x7FFFFFF0));
}

namespace {

// The precision a bound column gets: long columns, and columns that report
// no size, take the recordset's cap.
SQLULEN BoundPrecision(const CODBCFieldInfo& info, DWORD sizeLongVar)
{
    switch (info.m_nSQLType) {
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY:
        return sizeLongVar;
    case SQL_VARCHAR:
    case SQL_VARBINARY:
    case SQL_WVARCHAR:
        return info.m_nPrecision == 0 ? sizeLongVar : info.m_nPrecision;
    default:
        return info.m_nPrecision;
    }
}

// One field a result column, described with its bound precision, its value
// typed and given its buffer.
template <class Record, class Field>
void DescribeResultColumns(Record& rs, std::vector<Field>& fields, const char* dateFormat)
{
    fields.clear();
    const short count = rs.GetODBCFieldCount();
    if (count <= 0)
        return;
    fields.resize(static_cast<std::size_t>(count));
    const CODBCFieldInfo* infos = rs.GetODBCFieldInfos();
    for (short i = 0; i < count; ++i) {
        Field& field = fields[static_cast<std::size_t>(i)];
        field.m_info.InitFromInfo(infos[i]);
        field.m_info.m_bAutoIncrement = rs.IsFieldAutoIncrement(i);
        field.m_info.m_nSearchable = rs.IsFieldSearchable(i);
        field.m_info.m_bCaseSensitive = rs.IsFieldCaseSensitive(i);
        field.m_info.m_nUpdatable = rs.IsFieldUpdatable(i) ? 1 : 0;
        field.m_value.m_pszDateFormat = dateFormat;
        field.m_info.m_nPrecision = BoundPrecision(field.m_info, rs.GetSizeLONGVAR());
        Record::CreateDataBuffer(field.m_value, Record::GetDefaultFieldTypeEx(field.m_info.m_nSQLType));
    }
}

// An unsigned read goes through the signed read of the same width.
template <class Signed, class Record, class Unsigned>
long ReadThroughSigned(Record& rs, short i, Unsigned& value)
{
    Signed v = 0;
    long r = rs.GetFieldData(i, v);
    value = static_cast<Unsigned>(v);
    return r;
}

template <class Record>
long ReadIntoFile(Record& rs, short i, CFile& value)
{
    std::vector<std::uint8_t> bytes;
    long r = rs.GetFieldData(i, bytes);
    if (r > 0)
        value.Write(bytes.data(), bytes.size());
    return r;
}

} // namespace

// CDynamicRecord

CDynamicRecord::CDynamicRecord(CDatabase* pDatabase) : CODBCRecord(pDatabase) {}

CDynamicRecord::~CDynamicRecord()
{
    try {
        if (m_hstmt != SQL_NULL_HSTMT || !m_fields.empty())
            CDynamicRecord::Close();
    } catch (...) {
    }
}

void CDynamicRecord::PreBindFields()
{
    DescribeResultColumns(*this, m_fields, m_pszFormatDateTime);
    if (m_nResultCols > 0)
        m_nFields = static_cast<UINT>(m_nResultCols);
    if (m_nFields > 0 || m_nParams > 0)
        AllocStatusArrays();
}

void* CDynamicRecord::FieldAddress(std::size_t i)
{
    CDBVariantEx& v = m_fields[i].m_value;
    if (v.m_bAttached)
        return v.m_pv;
    switch (v.m_dwType) {
    case DBVT_DATE:
    case DBVT_STRING:
    case DBVT_BINARY:
    case DBVT_GUID:
        return v.m_pv;
    default:
        return &v.m_lVal;
    }
}

void CDynamicRecord::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        CDBFieldValue& field = m_fields[i];
        CDBVariantEx& v = field.m_value;
        const char* name = field.m_info.m_strName.c_str();
        void* at = FieldAddress(i);
        int longVar = static_cast<int>(std::min<DWORD>(m_dwSizeLONGVAR, 0x7FFFFFF0));
        int precision = static_cast<int>(std::min<SQLULEN>(field.m_info.m_nPrecision, 0x7FFFFFF0));
        if (ExchangeNumber(pFX, name, v.m_dwType, at))
            continue;
        switch (v.m_dwType) {
        case DBVT_DATE: RFX_Date(pFX, name, *static_cast<TIMESTAMP_STRUCT*>(at)); break;
        case DBVT_STRING:
            if (!v.m_bAttached || v.m_nBufferLength < 1)
                RFX_Text_Ntv(pFX, name, *static_cast<std::string*>(at), std::min(longVar, precision + 3),
                             field.m_info.m_nSQLType, 0);
            else
                RFX_Text_Ntv(pFX, name, static_cast<char*>(at), v.m_nBufferLength);
            break;
        case DBVT_BINARY:
            RFX_Binary_Ntv(pFX, name, *static_cast<std::vector<std::uint8_t>*>(at), std::min(longVar, precision));
            break;
        case DBVT_GUID: RFX_GUID(pFX, name, *static_cast<GUID*>(at)); break;
        default: break;
        }
    }
    CODBCRecord::DoFieldExchange(pFX);
}

void CDynamicRecord::Close()
{
    CODBCRecord::Close();
    m_fields.clear();
    m_mapFieldIndex.clear();
    m_mapParamIndex.clear();
    m_nFields = 0;
    m_nParams = 0;
}

BOOL CDynamicRecord::IsFieldDataNull(short index)
{
    CheckFieldIndex(index);
    return IsFieldStatusNull(static_cast<DWORD>(index));
}

void CDynamicRecord::CheckEditMode()
{
    if (m_nEditMode != edit && m_nEditMode != addnew)
        ThrowDBException(AFX_SQL_ERROR_ILLEGAL_MODE);
}

void CDynamicRecord::MarkWritten(std::size_t i)
{
    void* at = FieldAddress(i);
    SetFieldNull(at, FALSE);
    SetFieldDirty(at, TRUE);
}

long CDynamicRecord::GetFieldData(short i, unsigned short& value)
{
    return ReadThroughSigned<short>(*this, i, value);
}

long CDynamicRecord::GetFieldData(short i, std::uint32_t& value)
{
    return ReadThroughSigned<int>(*this, i, value);
}

long CDynamicRecord::GetFieldData(short i, std::uint64_t& value)
{
    return ReadThroughSigned<std::int64_t>(*this, i, value);
}

long CDynamicRecord::GetFieldData(short i, CFile& value)
{
    return ReadIntoFile(*this, i, value);
}

long CDynamicRecord::GetFieldData(short i, unsigned char* buffer, DWORD size)
{
    CheckFieldIndex(i);
    if (IsFieldStatusNull(static_cast<DWORD>(i)))
        return -1;
    return m_fields.at(static_cast<std::size_t>(i)).m_value.GetData(buffer, size);
}

long CDynamicRecord::GetFieldData(short i, std::string& value, int decimals)
{
    value.clear();
    CheckFieldIndex(i);
    if (IsFieldStatusNull(static_cast<DWORD>(i)))
        return -1;
    const CDBFieldValue& field = m_fields.at(static_cast<std::size_t>(i));
    int digits = decimals != -1 ? (decimals < 1 ? 2 : decimals) : static_cast<int>(field.m_info.m_nPrecision);
    return field.m_value.GetData(value, digits);
}

bool CDynamicRecord::PutData(short i, CFile& v)
{
    return WriteWith(i, [&](CDBVariantEx& field) { return field.PutData(v); });
}

bool CDynamicRecord::PutData(short i, const unsigned char* data, DWORD length)
{
    return WriteWith(i, [&](CDBVariantEx& field) { return field.PutData(data, length); });
}

// CDynamicBulkRecord

CDynamicBulkRecord::CDynamicBulkRecord(CDatabase* pDatabase) : CODBCRecord(pDatabase) {}

CDynamicBulkRecord::~CDynamicBulkRecord()
{
    try {
        if (m_hstmt != SQL_NULL_HSTMT || !m_fields.empty())
            CDynamicBulkRecord::Close();
    } catch (...) {
    }
}

BOOL CDynamicBulkRecord::Open(UINT nOpenType, LPCTSTR lpszSQL, DWORD dwOptions)
{
    return CODBCRecord::Open(nOpenType, lpszSQL, dwOptions | useMultiRowFetch);
}

void CDynamicBulkRecord::Close()
{
    CODBCRecord::Close();
    m_fields.clear();
    m_mapFieldIndex.clear();
    m_mapParamIndex.clear();
    m_nFields = 0;
    m_nParams = 0;
    m_wRowsetPos = 0;
}

void CDynamicBulkRecord::Move(long nRows, WORD wFetchType)
{
    CODBCRecord::Move(nRows, wFetchType);
    m_wRowsetPos = !IsEOF() && !IsBOF() ? 1 : 0;
}

void CDynamicBulkRecord::CreateDataBuffer(CDBBulkVariant& value, short cType)
{
    switch (cType) {
    case SQL_C_UTINYINT: value.m_dwType = DBVT_UCHAR; break;
    case SQL_C_SBIGINT: value.m_dwType = DBVT_BIGINT; break;
    case SQL_C_SLONG:
    case SQL_C_LONG: value.m_dwType = DBVT_LONG; break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT: value.m_dwType = DBVT_SHORT; break;
    case SQL_C_GUID: value.m_dwType = DBVT_GUID; break;
    case SQL_C_BIT: value.m_dwType = DBVT_BOOL; break;
    case SQL_C_BINARY: value.m_dwType = DBVT_BINARY; break;
    case SQL_C_CHAR: value.m_dwType = DBVT_STRING; break;
    case SQL_C_FLOAT: value.m_dwType = DBVT_SINGLE; break;
    case SQL_C_DOUBLE: value.m_dwType = DBVT_DOUBLE; break;
    case SQL_C_TIMESTAMP: value.m_dwType = DBVT_DATE; break;
    default: break;
    }
}

void CDynamicBulkRecord::PreBindFields()
{
    DescribeResultColumns(*this, m_fields, m_pszFormatDateTime);
    if (m_nResultCols > 0)
        m_nFields = static_cast<UINT>(m_nResultCols);
    if (m_nFields > 0 || m_nParams > 0)
        AllocStatusArrays();
    // The buffers are made now that the columns are known.
    delete[] m_rgRowStatus;
    m_rgRowStatus = nullptr;
    m_dwAllocatedRowsetSize = 0;
    SetRowsetSize(m_dwRowsetSize);
}

void CDynamicBulkRecord::DoBulkFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    for (CDBBulkFieldValue& field : m_fields) {
        CDBBulkVariant& b = field.m_value;
        const char* name = field.m_info.m_strName.c_str();
        SQLLEN** lengths = &b.m_pLengths;
        int elementSize = 0;
        switch (b.m_dwType) {
        case DBVT_BOOL: RFX_Bool_Bulk(pFX, name, reinterpret_cast<BOOL**>(&b.m_pData), lengths); break;
        case DBVT_UCHAR: RFX_Byte_Bulk(pFX, name, reinterpret_cast<BYTE**>(&b.m_pData), lengths); break;
        case DBVT_SHORT: RFX_Short_Bulk(pFX, name, reinterpret_cast<short**>(&b.m_pData), lengths); break;
        case DBVT_LONG: RFX_Long_Bulk(pFX, name, reinterpret_cast<LONG**>(&b.m_pData), lengths); break;
        case DBVT_SINGLE: RFX_Single_Bulk(pFX, name, reinterpret_cast<float**>(&b.m_pData), lengths); break;
        case DBVT_DOUBLE: RFX_Double_Bulk(pFX, name, reinterpret_cast<double**>(&b.m_pData), lengths); break;
        case DBVT_DATE: RFX_Date_Bulk(pFX, name, reinterpret_cast<TIMESTAMP_STRUCT**>(&b.m_pData), lengths); break;
        case DBVT_STRING:
            elementSize = TextBufferBytes(field.m_info.m_nSQLType, field.m_info.m_nPrecision);
            RFX_Text_Bulk(pFX, name, reinterpret_cast<char**>(&b.m_pData), lengths, elementSize);
            break;
        case DBVT_BINARY:
            elementSize = static_cast<int>(std::max<SQLULEN>(1, std::min<SQLULEN>(field.m_info.m_nPrecision, 0x7FFFFFF0)));
            RFX_Binary_Bulk(pFX, name, reinterpret_cast<BYTE**>(&b.m_pData), lengths, elementSize);
            break;
        case DBVT_GUID: RFX_GUID_Bulk(pFX, name, reinterpret_cast<GUID**>(&b.m_pData), lengths); break;
        case DBVT_BIGINT: RFX_Int64_Bulk(pFX, name, reinterpret_cast<std::int64_t**>(&b.m_pData), lengths); break;
        default: ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
        }
        if (pFX->m_nOperation == CFieldExchange::AllocMultiRowBuffer) {
            b.m_nRows = static_cast<std::int32_t>(GetRowsetSize());
            b.m_nElementSize = elementSize > 0 ? elementSize : CDBBulkVariant::FixedSize(b.m_dwType);
        } else if (pFX->m_nOperation == CFieldExchange::DeleteMultiRowBuffer) {
            b.m_nRows = 0;
            b.m_nElementSize = 0;
        }
    }
}

int CDynamicBulkRecord::CurrentRow()
{
    if (m_wRowsetPos == 0)
        ThrowDBException(AFX_SQL_ERROR_NO_CURRENT_RECORD);
    return m_wRowsetPos - 1;
}

BOOL CDynamicBulkRecord::IsFieldDataNull(short index)
{
    int row = CurrentRow();
    CheckFieldIndex(index);
    return m_fields.at(static_cast<std::size_t>(index)).m_value.IsDataNull(row);
}

long CDynamicBulkRecord::GetFieldData(short i, unsigned short& value)
{
    return ReadThroughSigned<short>(*this, i, value);
}

long CDynamicBulkRecord::GetFieldData(short i, std::uint32_t& value)
{
    return ReadThroughSigned<int>(*this, i, value);
}

long CDynamicBulkRecord::GetFieldData(short i, std::uint64_t& value)
{
    return ReadThroughSigned<std::int64_t>(*this, i, value);
}

long CDynamicBulkRecord::GetFieldData(short i, std::string& value, int decimals)
{
    int row = CurrentRow();
    CheckFieldIndex(i);
    const CDBBulkFieldValue& field = m_fields.at(static_cast<std::size_t>(i));
    int digits = decimals != -1 ? (decimals < 1 ? 2 : decimals) : static_cast<int>(field.m_info.m_nPrecision);
    return field.m_value.GetData(row, value, digits);
}

long CDynamicBulkRecord::GetFieldData(short i, CFile& value)
{
    return ReadIntoFile(*this, i, value);
}

long CDynamicBulkRecord::GetFieldData(short i, unsigned char* buffer, DWORD size)
{
    int row = CurrentRow();
    CheckFieldIndex(i);
    return m_fields.at(static_cast<std::size_t>(i)).m_value.GetData(row, buffer, size);
}

bool CDynamicBulkRecord::PutData(short i, CFile& v)
{
    int row = CurrentRow();
    CheckFieldIndex(i);
    return m_fields.at(static_cast<std::size_t>(i)).m_value.PutData(row, v);
}

bool CDynamicBulkRecord::PutData(short i, const unsigned char* data, DWORD length)
{
    int row = CurrentRow();
    CheckFieldIndex(i);
    return m_fields.at(static_cast<std::size_t>(i)).m_value.PutData(row, data, length);
}

long CDynamicBulkRecord::GetRowAbsolutePos()
{
    SQLULEN number = 0;
    RETCODE rc = SQLGetStmtAttr(m_hstmt, SQL_ATTR_ROW_NUMBER, &number, sizeof number, nullptr);
    if (!Check(rc))
        ThrowDBException(rc);
    return static_cast<long>(number);
}

BOOL CDynamicBulkRecord::RowsetPos(WORD row, WORD lock)
{
    // Only rows the last fetch delivered exist; a short last rowset has fewer.
    if (row == 0 || row > GetRowsFetched() || row > GetRowsetSize() || GetRowStatus(row) == SQL_ROW_NOROW)
        return FALSE;
    // A read-only rowset is only read from our buffers; the SQLite driver
    // refuses to position some of its rows.
    if (!(m_dwOptions & readOnly))
        SetRowsetCursorPosition(row, lock);
    m_wRowsetPos = row;
    return TRUE;
}

BOOL CDynamicBulkRecord::SetPosOperation(WORD row, WORD operation, WORD lock, WORD status)
{
    RETCODE rc = AfxOdbcRetry([&] { return SQLSetPos(m_hstmt, row, operation, lock); });
    if (!SQL_SUCCEEDED(rc))
        return FALSE;
    return ValidateMod(row, status);
}

BOOL CDynamicBulkRecord::RowsetUpdate(WORD row, WORD lock)
{
    return SetPosOperation(row, SQL_UPDATE, lock, SQL_ROW_UPDATED);
}

BOOL CDynamicBulkRecord::RowsetAdd(WORD row, WORD lock)
{
    return SetPosOperation(row, SQL_ADD, lock, SQL_ROW_ADDED);
}

BOOL CDynamicBulkRecord::RowsetDelete(WORD row, WORD lock)
{
    return SetPosOperation(row, SQL_DELETE, lock, SQL_ROW_DELETED);
}

BOOL CDynamicBulkRecord::ValidateMod(WORD row, WORD status)
{
    if (row == 0) {
        DWORD rows = std::min<DWORD>(GetRowsFetched(), GetRowsetSize());
        if (rows == 0)
            return FALSE;
        for (WORD r = 1; r <= rows; ++r)
            if (GetRowStatus(r) != status)
                return FALSE;
        return TRUE;
    }
    return GetRowStatus(row) == status;
}
