// Typed values (one cell of a row or one parameter), the records that pair
// a value with its description, and the owning pointer array.
#pragma once

#include "afx/dbcore.h"
#include "odbc/data/core/conversions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class CFile;

typedef SQLGUID GUID;

enum : DWORD {
    DBVT_GUID = 15,
    DBVT_BIGINT = 16,
};

// A value of one of the DBVT types, owned or attached to a caller's storage.
// Reads convert to the type asked for; writes convert into the value's type.
// A mismatch is reported by the result (-1 or false), never thrown.
class CDBVariantEx {
public:
    CDBVariantEx() { m_pv = nullptr; }
    CDBVariantEx(const CDBVariantEx& other);
    virtual ~CDBVariantEx() { Clear(); }
    CDBVariantEx& operator=(const CDBVariantEx& other);

    void Clear();
    // Binds the value to the caller's storage; bufferLength > 0 marks a raw
    // character or byte buffer of that many bytes for STRING and BINARY.
    void Attach(DWORD type, void* storage, std::int32_t bufferLength = -1);

    CDBVariantEx& operator=(unsigned char v) { return Assign(v); }
    CDBVariantEx& operator=(short v) { return Assign(v); }
    CDBVariantEx& operator=(unsigned short v) { return Assign(v); }
    CDBVariantEx& operator=(int v) { return Assign(v); }
    CDBVariantEx& operator=(unsigned int v) { return Assign(v); }
    CDBVariantEx& operator=(float v) { return Assign(v); }
    CDBVariantEx& operator=(double v) { return Assign(v); }
    CDBVariantEx& operator=(std::int64_t v) { return Assign(v); }
    CDBVariantEx& operator=(std::uint64_t v) { return Assign(v); }
    CDBVariantEx& operator=(const DATE_STRUCT& v) { return Assign(v); }
    CDBVariantEx& operator=(const TIME_STRUCT& v) { return Assign(v); }
    CDBVariantEx& operator=(const TIMESTAMP_STRUCT& v) { return Assign(v); }
    CDBVariantEx& operator=(const SYSTEMTIME& v) { return Assign(v); }
    CDBVariantEx& operator=(const char* v) { return Assign(v); }
    CDBVariantEx& operator=(const std::vector<std::uint8_t>& v) { return Assign(v); }
    CDBVariantEx& operator=(CFile& v);
    CDBVariantEx& operator=(const GUID& v) { return Assign(v); }

    // Reads give the bytes delivered (or the text length), -1 on a mismatch.
    long GetData(unsigned char& out) const;
    long GetData(short& out) const;
    long GetData(unsigned short& out) const;
    long GetData(int& out) const;
    long GetData(unsigned int& out) const;
    long GetData(float& out) const;
    long GetData(double& out) const;
    long GetData(std::int64_t& out) const;
    long GetData(std::uint64_t& out) const;
    long GetData(DATE_STRUCT& out) const;
    long GetData(TIME_STRUCT& out) const;
    long GetData(TIMESTAMP_STRUCT& out) const;
    long GetData(SYSTEMTIME& out) const;
    long GetData(GUID& out) const;
    long GetData(std::string& out, int precision) const;
    long GetData(unsigned char* buffer, unsigned long size) const;
    long GetData(std::vector<std::uint8_t>& out) const;
    long GetData(CFile& out) const;

    // Writes give false on a mismatch and leave the value unchanged.
    bool PutData(unsigned char v);
    bool PutData(short v);
    bool PutData(unsigned short v) { return PutData(static_cast<short>(v)); }
    bool PutData(int v);
    bool PutData(unsigned int v) { return PutData(static_cast<int>(v)); }
    bool PutData(float v);
    bool PutData(double v);
    bool PutData(std::int64_t v);
    bool PutData(std::uint64_t v) { return PutData(static_cast<std::int64_t>(v)); }
    bool PutData(const DATE_STRUCT& v);
    bool PutData(const TIME_STRUCT& v);
    bool PutData(const TIMESTAMP_STRUCT& v);
    bool PutData(const SYSTEMTIME& v);
    bool PutData(const char* v);
    bool PutData(const unsigned char* data, unsigned long size);
    bool PutData(const std::vector<std::uint8_t>& v) { return PutData(v.data(), static_cast<unsigned long>(v.size())); }
    bool PutData(CFile& file);
    bool PutData(const GUID& v);

    DWORD m_dwType = DBVT_NULL;
    bool m_bAttached = false;
    std::int32_t m_nBufferLength = -1;
    SQLLEN m_nLength = SQL_NULL_DATA;
    const char* m_pszDateFormat = nullptr;
    union {
        BOOL m_boolVal;
        unsigned char m_chVal;
        short m_iVal;
        LONG m_lVal;
        float m_fltVal;
        double m_dblVal;
        std::int64_t m_i64Val;
        TIMESTAMP_STRUCT* m_pdate;
        std::string* m_pstring;
        std::vector<std::uint8_t>* m_pbinary;
        GUID* m_pguid;
        void* m_pv;
    };

private:
    template <class T>
    CDBVariantEx& Assign(const T& v)
    {
        Clear();
        PutData(v);
        return *this;
    }
    bool Usable() const;
    bool Readable() const { return Usable() && m_dwType != DBVT_NULL; }
    bool TakeType(DWORD type);
    // The stored value's storage, owned or attached.
    void* Storage() const;
    bool IsRawBuffer() const { return m_bAttached && m_nBufferLength > 0; }
    bool ReadInteger(std::int64_t& v) const;
    // ReadInteger, but a text is read as a leading decimal number.
    bool ReadIntegerOrText(std::int64_t& v) const;
    template <class Part>
    bool PutDateTimePart(const Part& v);
    bool ReadReal(double& v) const;
    bool ReadText(std::string& text) const;
    bool ReadBytes(const std::uint8_t*& data, std::size_t& size) const;
    bool WriteText(const std::string& text);
    bool WriteInteger(std::int64_t v, bool fromText);
};

// The braced upper-case text of a GUID, and its reverse.
std::string GuidToString(const GUID& guid);
bool GuidFromString(const char* text, GUID& guid);

struct CODBCFieldInfoEx : CODBCFieldInfo {
    std::string m_strLabel;
    std::int16_t m_nUpdatable = 0;
    std::int16_t m_nSearchable = 0;
    bool m_bAutoIncrement = false;
    bool m_bCaseSensitive = false;

    void InitFromInfo(const CODBCFieldInfo& info);
};

struct CODBCParamInfoEx {
    CODBCParamInfoEx() = default;
    CODBCParamInfoEx(const char* name, int index);
    CODBCParamInfoEx(const char* name, short cType, short sqlType, std::uint32_t precision, int index,
                     short paramType, short scale);
    virtual ~CODBCParamInfoEx() = default;
    CODBCParamInfoEx(const CODBCParamInfoEx&) = default;
    CODBCParamInfoEx& operator=(const CODBCParamInfoEx&) = default;

    void SetValues(short cType, short sqlType, std::uint32_t precision, short paramType, short scale);

    std::string m_strName;
    std::int16_t m_nCType = 0;
    std::int16_t m_nSQLType = 0;
    std::uint32_t m_nPrecision = 0;
    std::int16_t m_nScale = 0;
    std::int16_t m_nParamType = 0;
};

struct CDBFieldValue {
    CODBCFieldInfoEx m_info;
    CDBVariantEx m_value;
};

struct CDBParamValue {
    CODBCParamInfoEx m_info;
    CDBVariantEx m_value;
};

struct CODBCStringValue {
    std::uint8_t m_bFlag1 = 0;
    std::uint8_t m_bFlag2 = 0;
    std::string m_strValue;
};

// An array of pointers that owns its elements: CDBTypedPtrArrayEx<T*>.
template <class TPtr>
class CDBTypedPtrArrayEx {
    static_assert(std::is_pointer_v<TPtr>, "the element type is a pointer");
    using T = std::remove_pointer_t<TPtr>;

public:
    CDBTypedPtrArrayEx() = default;
    virtual ~CDBTypedPtrArrayEx() = default;
    CDBTypedPtrArrayEx(const CDBTypedPtrArrayEx&) = delete;
    CDBTypedPtrArrayEx& operator=(const CDBTypedPtrArrayEx&) = delete;

    int GetSize() const { return static_cast<int>(m_items.size()); }
    TPtr GetAt(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    TPtr operator[](int index) const { return GetAt(index); }
    // Takes ownership of element; returns its index.
    int Add(TPtr element)
    {
        m_items.emplace_back(element);
        return GetSize() - 1;
    }
    int Add(std::unique_ptr<T> element)
    {
        m_items.push_back(std::move(element));
        return GetSize() - 1;
    }
    // Deletes every element, then empties the array.
    virtual void RemoveAll() { m_items.clear(); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

protected:
    std::vector<std::unique_ptr<T>> m_items;
};

// The whole content of a file, read from its start whatever its position.
std::vector<std::uint8_t> ReadFileFromStart(CFile& file);
// The bytes before the first zero, as text.
std::string TextUpToZero(const std::vector<std::uint8_t>& bytes);
