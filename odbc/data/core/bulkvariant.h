// The buffer of one result column in bulk (rowset) fetching: N rows of one
// type side by side, with a length indicator a row.
#pragma once

#include "odbc/data/core/values.h"

#include <cstdint>
#include <string>
#include <vector>

class CDBBulkVariant {
public:
    CDBBulkVariant() = default;
    CDBBulkVariant(const CDBBulkVariant& other);
    CDBBulkVariant& operator=(const CDBBulkVariant& other);
    virtual ~CDBBulkVariant() { Clear(); }

    // Makes the buffers for rows of one type; elementSize matters for
    // STRING and BINARY, the fixed types take their own size.
    void Allocate(DWORD type, std::int32_t rows, std::int32_t elementSize = 0);
    void Clear();

    char* GetItemStr(int row) const;
    unsigned char* GetItemBinary(int row) const;
    int IsDataNull(int row) const;
    void GetItem(int row, CDBVariantEx& value) const;
    // False when the value does not fit the row; the row is then unchanged.
    bool SetItem(int row, const CDBVariantEx& value);

    template <class T>
    long GetData(int row, T& out) const
    {
        CDBVariantEx view;
        if (!View(row, view))
            return -1;
        return view.GetData(out);
    }
    long GetData(int row, std::string& out, int precision) const;
    long GetData(int row, unsigned char* buffer, unsigned long size) const
    {
        CDBVariantEx view;
        if (!View(row, view))
            return -1;
        return view.GetData(buffer, size);
    }

    bool PutData(int row, unsigned char v) { return PutValue(row, v); }
    bool PutData(int row, short v) { return PutValue(row, v); }
    bool PutData(int row, unsigned short v) { return PutValue(row, static_cast<short>(v)); }
    bool PutData(int row, int v) { return PutValue(row, v); }
    bool PutData(int row, unsigned int v) { return PutValue(row, static_cast<int>(v)); }
    bool PutData(int row, float v) { return PutValue(row, v); }
    bool PutData(int row, double v) { return PutValue(row, v); }
    bool PutData(int row, std::int64_t v) { return PutValue(row, v); }
    bool PutData(int row, std::uint64_t v) { return PutValue(row, static_cast<std::int64_t>(v)); }
    bool PutData(int row, const DATE_STRUCT& v) { return PutValue(row, v); }
    bool PutData(int row, const TIME_STRUCT& v) { return PutValue(row, v); }
    bool PutData(int row, const TIMESTAMP_STRUCT& v) { return PutValue(row, v); }
    bool PutData(int row, const SYSTEMTIME& v) { return PutValue(row, v); }
    bool PutData(int row, const GUID& v) { return PutValue(row, v); }
    bool PutData(int row, const char* v);
    // The file's whole content, from its start.
    bool PutData(int row, CFile& file);
    bool PutData(int row, const unsigned char* data, unsigned long size);
    bool PutData(int row, const std::vector<std::uint8_t>& v)
    {
        return PutData(row, v.data(), static_cast<unsigned long>(v.size()));
    }

    static std::int32_t FixedSize(DWORD type);

    DWORD m_dwType = DBVT_NULL;
    std::int32_t m_nRows = 0;
    std::int32_t m_nElementSize = 0;
    SQLLEN* m_pLengths = nullptr;
    const char* m_pszDateFormat = nullptr;
    std::uint8_t* m_pData = nullptr;

private:
    bool InRange(int row) const { return m_pData != nullptr && row >= 0 && row < m_nRows; }
    void* Slot(int row) const { return m_pData + static_cast<std::size_t>(row) * m_nElementSize; }
    // An attached variant over one row, for reading it.
    bool View(int row, CDBVariantEx& view) const;
    bool StoreText(int row, const std::string& text);
    bool StoreBytes(int row, const std::uint8_t* data, std::size_t size);

    template <class T>
    bool PutValue(int row, const T& v)
    {
        if (!InRange(row) || m_dwType == DBVT_NULL)
            return false;
        if (m_dwType == DBVT_STRING || m_dwType == DBVT_BINARY) {
            // The text the value formats to, stored only when it fits.
            CDBVariantEx text;
            text = std::string().c_str();
            if (!text.PutData(v))
                return false;
            if (m_dwType == DBVT_STRING)
                return StoreText(row, *text.m_pstring);
            return StoreBytes(row, reinterpret_cast<const std::uint8_t*>(text.m_pstring->c_str()),
                              text.m_pstring->size() + 1);
        }
        return PutInPlace(row, v);
    }
    // The value converted into the row's slot of the column's own type.
    template <class T>
    bool PutInPlace(int row, const T& v)
    {
        CDBVariantEx view;
        view.Attach(m_dwType, Slot(row));
        if (!view.PutData(v))
            return false;
        m_pLengths[row] = FixedSize(m_dwType);
        return true;
    }
};

struct CDBBulkFieldValue {
    CODBCFieldInfoEx m_info;
    CDBBulkVariant m_value;
};
