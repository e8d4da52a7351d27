#include "odbc/data/core/bulkvariant.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

std::int32_t CDBBulkVariant::FixedSize(DWORD type)
{
    switch (type) {
    case DBVT_BOOL: return sizeof(BOOL);
    case DBVT_UCHAR: return 1;
    case DBVT_SHORT: return 2;
    case DBVT_LONG: return 4;
    case DBVT_SINGLE: return 4;
    case DBVT_DOUBLE: return 8;
    case DBVT_BIGINT: return 8;
    case DBVT_DATE: return sizeof(TIMESTAMP_STRUCT);
    case DBVT_GUID: return sizeof(GUID);
    default: return 0;
    }
}

void CDBBulkVariant::Allocate(DWORD type, std::int32_t rows, std::int32_t elementSize)
{
    Clear();
    std::int32_t size = FixedSize(type);
    if (type == DBVT_STRING || type == DBVT_BINARY)
        size = elementSize;
    if (rows <= 0 || size <= 0)
        throw std::invalid_argument("a bulk column needs rows and an element size");
    if (static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(size) >
        static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::bad_alloc();
    m_pData = new std::uint8_t[static_cast<std::size_t>(rows) * static_cast<std::size_t>(size)]();
    m_pLengths = new SQLLEN[static_cast<std::size_t>(rows)];
    std::fill(m_pLengths, m_pLengths + rows, SQLLEN(SQL_NULL_DATA));
    m_dwType = type;
    m_nRows = rows;
    m_nElementSize = size;
}

void CDBBulkVariant::Clear()
{
    delete[] m_pData;
    m_pData = nullptr;
    delete[] m_pLengths;
    m_pLengths = nullptr;
    m_dwType = DBVT_NULL;
    m_nRows = 0;
    m_nElementSize = 0;
}

CDBBulkVariant::CDBBulkVariant(const CDBBulkVariant& other)
{
    *this = other;
}

CDBBulkVariant& CDBBulkVariant::operator=(const CDBBulkVariant& other)
{
    if (this == &other)
        return *this;
    Clear();
    m_pszDateFormat = other.m_pszDateFormat;
    if (other.m_pData == nullptr)
        return *this;
    Allocate(other.m_dwType, other.m_nRows, other.m_nElementSize);
    std::memcpy(m_pData, other.m_pData, static_cast<std::size_t>(m_nRows) * m_nElementSize);
    std::copy(other.m_pLengths, other.m_pLengths + m_nRows, m_pLengths);
    return *this;
}

char* CDBBulkVariant::GetItemStr(int row) const
{
    return m_dwType == DBVT_STRING && InRange(row) ? static_cast<char*>(Slot(row)) : nullptr;
}

unsigned char* CDBBulkVariant::GetItemBinary(int row) const
{
    return m_dwType == DBVT_BINARY && InRange(row) ? static_cast<unsigned char*>(Slot(row)) : nullptr;
}

int CDBBulkVariant::IsDataNull(int row) const
{
    return InRange(row) && m_pLengths[row] == SQL_NULL_DATA;
}

bool CDBBulkVariant::View(int row, CDBVariantEx& view) const
{
    if (!InRange(row) || m_pLengths[row] == SQL_NULL_DATA)
        return false;
    if (m_dwType == DBVT_STRING || m_dwType == DBVT_BINARY) {
        view.Attach(m_dwType, Slot(row), m_nElementSize);
        view.m_nLength = m_pLengths[row];
    } else {
        view.Attach(m_dwType, Slot(row));
    }
    view.m_pszDateFormat = m_pszDateFormat;
    return true;
}

long CDBBulkVariant::GetData(int row, std::string& out, int precision) const
{
    out.clear();
    CDBVariantEx view;
    if (!View(row, view))
        return -1;
    return view.GetData(out, precision);
}

void CDBBulkVariant::GetItem(int row, CDBVariantEx& value) const
{
    value.Clear();
    CDBVariantEx view;
    if (!View(row, view))
        return;
    if (m_dwType == DBVT_STRING) {
        std::string text;
        view.GetData(text, 0);
        value = text.c_str();
    } else if (m_dwType == DBVT_BINARY) {
        std::vector<std::uint8_t> bytes;
        view.GetData(bytes);
        value = bytes;
    } else {
        CDBVariantEx owned;
        owned.m_dwType = m_dwType;
        switch (m_dwType) {
        case DBVT_DATE: owned.m_pdate = new TIMESTAMP_STRUCT(*static_cast<TIMESTAMP_STRUCT*>(Slot(row))); break;
        case DBVT_GUID: owned.m_pguid = new GUID(*static_cast<GUID*>(Slot(row))); break;
        default: std::memcpy(&owned.m_i64Val, Slot(row), static_cast<std::size_t>(FixedSize(m_dwType))); break;
        }
        owned.m_nLength = FixedSize(m_dwType);
        value = owned;
    }
}

bool CDBBulkVariant::StoreText(int row, const std::string& text)
{
    if (text.size() + 1 > static_cast<std::size_t>(m_nElementSize))
        return false;
    std::memcpy(Slot(row), text.c_str(), text.size() + 1);
    m_pLengths[row] = static_cast<SQLLEN>(text.size());
    return true;
}

bool CDBBulkVariant::StoreBytes(int row, const std::uint8_t* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(m_nElementSize))
        return false;
    if (size > 0)
        std::memcpy(Slot(row), data, size);
    m_pLengths[row] = static_cast<SQLLEN>(size);
    return true;
}

bool CDBBulkVariant::SetItem(int row, const CDBVariantEx& value)
{
    if (!InRange(row) || m_dwType == DBVT_NULL)
        return false;
    if (value.m_dwType == DBVT_NULL) {
        m_pLengths[row] = SQL_NULL_DATA;
        return true;
    }
    switch (m_dwType) {
    case DBVT_STRING: {
        std::string text;
        if (value.GetData(text, -1) < 0)
            return false;
        return StoreText(row, text);
    }
    case DBVT_BINARY: {
        std::vector<std::uint8_t> bytes;
        if (value.GetData(bytes) < 0)
            return false;
        return StoreBytes(row, bytes.data(), bytes.size());
    }
    default: {
        // The value read as the column's own type.
        long n = -1;
        switch (m_dwType) {
        case DBVT_BOOL: {
            unsigned char b = 0;
            n = value.GetData(b);
            if (n >= 0)
                *static_cast<BOOL*>(Slot(row)) = b != 0;
            break;
        }
        case DBVT_UCHAR: n = value.GetData(*static_cast<unsigned char*>(Slot(row))); break;
        case DBVT_SHORT: n = value.GetData(*static_cast<short*>(Slot(row))); break;
        case DBVT_LONG: n = value.GetData(*static_cast<int*>(Slot(row))); break;
        case DBVT_SINGLE: n = value.GetData(*static_cast<float*>(Slot(row))); break;
        case DBVT_DOUBLE: n = value.GetData(*static_cast<double*>(Slot(row))); break;
        case DBVT_BIGINT: n = value.GetData(*static_cast<std::int64_t*>(Slot(row))); break;
        case DBVT_DATE: n = value.GetData(*static_cast<TIMESTAMP_STRUCT*>(Slot(row))); break;
        case DBVT_GUID: n = value.GetData(*static_cast<GUID*>(Slot(row))); break;
        default: break;
        }
        if (n < 0)
            return false;
        m_pLengths[row] = FixedSize(m_dwType);
        return true;
    }
    }
}

bool CDBBulkVariant::PutData(int row, const char* v)
{
    if (!InRange(row) || m_dwType == DBVT_NULL)
        return false;
    if (v == nullptr) {
        m_pLengths[row] = SQL_NULL_DATA;
        return true;
    }
    if (m_dwType == DBVT_STRING)
        return StoreText(row, v);
    if (m_dwType == DBVT_BINARY)
        return StoreBytes(row, reinterpret_cast<const std::uint8_t*>(v), std::strlen(v) + 1);
    return PutInPlace(row, v);
}

bool CDBBulkVariant::PutData(int row, CFile& file)
{
    if (!InRange(row) || (m_dwType != DBVT_STRING && m_dwType != DBVT_BINARY))
        return false;
    const std::vector<std::uint8_t> bytes = ReadFileFromStart(file);
    if (m_dwType == DBVT_STRING)
        return StoreText(row, TextUpToZero(bytes));
    return StoreBytes(row, bytes.data(), bytes.size());
}

bool CDBBulkVariant::PutData(int row, const unsigned char* data, unsigned long size)
{
    if (!InRange(row) || m_dwType == DBVT_NULL)
        return false;
    if (data == nullptr) {
        m_pLengths[row] = SQL_NULL_DATA;
        return true;
    }
    if (m_dwType == DBVT_STRING)
        return StoreText(row, std::string(reinterpret_cast<const char*>(data), size));
    if (m_dwType == DBVT_BINARY)
        return StoreBytes(row, data, size);
    return false;
}
