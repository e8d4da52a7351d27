// The parameters of a statement executed once for an array of parameter
// sets, bound column-wise: the caller's arrays, described.
#pragma once

#include "odbc/data/core/values.h"

#include <cstdint>
#include <vector>

class CArrayPointParam;

// One array-bound parameter; the data array stays the caller's.
class CDBParamPointValue : public CODBCParamInfoEx {
public:
    CDBParamPointValue(const char* name, int index) : CODBCParamInfoEx(name, index) {}
    ~CDBParamPointValue() override { FreeLengths(); }
    CDBParamPointValue(const CDBParamPointValue&) = delete;
    CDBParamPointValue& operator=(const CDBParamPointValue&) = delete;

    // Points the parameter at data; lengths null makes an array of its own.
    void Set(void* data, short cType, short sqlType, std::uint32_t precision, short paramType, short scale,
             SQLLEN* lengths, std::uint32_t arraySize);

    void* m_pData = nullptr;
    SQLLEN* m_pLengths = nullptr;
    bool m_bOwnLengths = false;

private:
    void FreeLengths();
};

class CArrayPointParam : public CDBTypedPtrArrayEx<CDBParamPointValue*> {
public:
    using CDBParamPointValue = ::CDBParamPointValue;

    explicit CArrayPointParam(std::uint32_t arraySize = 1);

    int AddParam(const char* name);
    int AddParam(const char* name, unsigned char* data, short sqlType, short paramType);
    int AddParam(const char* name, short* data, short sqlType, short paramType);
    int AddParam(const char* name, std::int32_t* data, short sqlType, short paramType);
    int AddParam(const char* name, std::uint32_t* data, short sqlType, short paramType);
    int AddParam(const char* name, float* data, short sqlType, short paramType);
    int AddParam(const char* name, double* data, short sqlType, short paramType);
    int AddParam(const char* name, TIMESTAMP_STRUCT* data, short sqlType, short paramType);
    int AddParam(const char* name, GUID* data, short sqlType, short paramType);
    int AddParam(const char* name, std::int64_t* data, short sqlType, short paramType);
    // A text column: arraySize elements of elementSize bytes each.
    int AddParam(const char* name, char* data, std::uint32_t elementSize, short sqlType, short paramType,
                 short scale);
    // A binary column: arraySize elements of elementSize bytes; lengths may be null.
    int AddParam(const char* name, unsigned char* data, std::uint32_t elementSize, SQLLEN* lengths,
                 short sqlType, short paramType);

    void SetParam(int index, unsigned char* data, short sqlType, short paramType);
    void SetParam(int index, short* data, short sqlType, short paramType);
    void SetParam(int index, std::int32_t* data, short sqlType, short paramType);
    void SetParam(int index, std::uint32_t* data, short sqlType, short paramType);
    void SetParam(int index, float* data, short sqlType, short paramType);
    void SetParam(int index, double* data, short sqlType, short paramType);
    void SetParam(int index, TIMESTAMP_STRUCT* data, short sqlType, short paramType);
    void SetParam(int index, GUID* data, short sqlType, short paramType);
    void SetParam(int index, std::int64_t* data, short sqlType, short paramType);
    void SetParam(int index, char* data, std::uint32_t elementSize, short sqlType, short paramType, short scale);
    void SetParam(int index, unsigned char* data, std::uint32_t elementSize, SQLLEN* lengths, short sqlType,
                  short paramType);

    CODBCParamInfoEx* GetInfo(int index) const { return GetAt(index); }
    const std::string& GetName(int index) const { return GetAt(index)->m_strName; }
    short GetSQLType(int index) const { return GetAt(index)->m_nSQLType; }
    void SetSQLType(int index, short sqlType) { GetAt(index)->m_nSQLType = sqlType; }
    short GetSQL_C_Type(int index) const { return GetAt(index)->m_nCType; }
    std::uint32_t GetPrec(int index) const { return GetAt(index)->m_nPrecision; }
    void SetPrec(int index, std::uint32_t precision) { GetAt(index)->m_nPrecision = precision; }
    short GetScale(int index) const { return GetAt(index)->m_nScale; }
    void SetScale(int index, short scale) { GetAt(index)->m_nScale = scale; }
    short GetParamType(int index) const { return GetAt(index)->m_nParamType; }
    void* GetArrayData(int index) const { return GetAt(index)->m_pData; }
    SQLLEN* GetArrayLen(int index) const { return GetAt(index)->m_pLengths; }

    int GetParamCount() const { return GetSize(); }
    std::uint32_t GetArraysSize() const { return m_nArraySize; }
    SQLUSMALLINT* GetStatusArray() { return m_status.data(); }
    SQLULEN* GetParamsProcessed() { return &m_nParamsProcessed; }

    void RemoveAll() override;

private:
    int Append(const char* name);
    CDBParamPointValue* At(int index) const;

    std::vector<SQLUSMALLINT> m_status;
    std::uint32_t m_nArraySize;
    SQLULEN m_nParamsProcessed = 0;
};
