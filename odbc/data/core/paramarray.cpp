#include "odbc/data/core/paramarray.h"

#include <stdexcept>

void CDBParamPointValue::FreeLengths()
{
    if (m_bOwnLengths)
        delete[] m_pLengths;
    m_pLengths = nullptr;
    m_bOwnLengths = false;
}

void CDBParamPointValue::Set(void* data, short cType, short sqlType, std::uint32_t precision, short paramType,
                             short scale, SQLLEN* lengths, std::uint32_t arraySize)
{
    FreeLengths();
    SetValues(cType, sqlType, precision, paramType, scale);
    m_pData = data;
    if (lengths != nullptr) {
        m_pLengths = lengths;
        return;
    }
    m_pLengths = new SQLLEN[arraySize == 0 ? 1 : arraySize];
    m_bOwnLengths = true;
    for (std::uint32_t i = 0; i < arraySize; ++i)
        m_pLengths[i] = cType == SQL_C_CHAR ? SQL_NTS : static_cast<SQLLEN>(precision);
}

CArrayPointParam::CArrayPointParam(std::uint32_t arraySize)
    : m_status(arraySize == 0 ? 1 : arraySize, 0), m_nArraySize(arraySize)
{
}

CDBParamPointValue* CArrayPointParam::At(int index) const
{
    if (index < 0 || index >= GetSize())
        throw std::out_of_range("no parameter " + std::to_string(index));
    return GetAt(index);
}

int CArrayPointParam::Append(const char* name)
{
    return Add(std::make_unique<CDBParamPointValue>(name, GetSize()));
}

int CArrayPointParam::AddParam(const char* name)
{
    return Append(name);
}

#define KELM_FIXED_PARAM(Type, cType, size)                                                          \
    int CArrayPointParam::AddParam(const char* name, Type* data, short sqlType, short paramType)     \
    {                                                                                                \
        int index = Append(name);                                                                    \
        SetParam(index, data, sqlType, paramType);                                                   \
        return index;                                                                                \
    }                                                                                                \
    void CArrayPointParam::SetParam(int index, Type* data, short sqlType, short paramType)           \
    {                                                                                                \
        At(index)->Set(data, cType, sqlType, size, paramType, 0, nullptr, m_nArraySize);             \
    }

// Bytes are small integers (0 to 255), not bits.
KELM_FIXED_PARAM(unsigned char, SQL_C_UTINYINT, 1)
KELM_FIXED_PARAM(short, SQL_C_SHORT, 2)
KELM_FIXED_PARAM(std::int32_t, SQL_C_LONG, 4)
KELM_FIXED_PARAM(std::uint32_t, SQL_C_LONG, 4)
KELM_FIXED_PARAM(float, SQL_C_FLOAT, 4)
KELM_FIXED_PARAM(double, SQL_C_DOUBLE, 8)
KELM_FIXED_PARAM(TIMESTAMP_STRUCT, SQL_C_TIMESTAMP, 16)
KELM_FIXED_PARAM(GUID, SQL_C_GUID, 16)
KELM_FIXED_PARAM(std::int64_t, SQL_C_SBIGINT, 8)

#undef KELM_FIXED_PARAM

int CArrayPointParam::AddParam(const char* name, char* data, std::uint32_t elementSize, short sqlType,
                               short paramType, short scale)
{
    int index = Append(name);
    SetParam(index, data, elementSize, sqlType, paramType, scale);
    return index;
}

void CArrayPointParam::SetParam(int index, char* data, std::uint32_t elementSize, short sqlType,
                                short paramType, short scale)
{
    At(index)->Set(data, SQL_C_CHAR, sqlType, elementSize, paramType, scale, nullptr, m_nArraySize);
}

int CArrayPointParam::AddParam(const char* name, unsigned char* data, std::uint32_t elementSize,
                               SQLLEN* lengths, short sqlType, short paramType)
{
    int index = Append(name);
    SetParam(index, data, elementSize, lengths, sqlType, paramType);
    return index;
}

void CArrayPointParam::SetParam(int index, unsigned char* data, std::uint32_t elementSize, SQLLEN* lengths,
                                short sqlType, short paramType)
{
    At(index)->Set(data, SQL_C_BINARY, sqlType, elementSize, paramType, 0, lengths, m_nArraySize);
}

void CArrayPointParam::RemoveAll()
{
    CDBTypedPtrArrayEx<CDBParamPointValue*>::RemoveAll();
    m_nParamsProcessed = 0;
}
