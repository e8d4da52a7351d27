// Field exchanges for 16-bit and 64-bit integers, GUIDs, native text and
// binary columns, and the cache helpers of their cached types.
#pragma once

#include "odbc/data/core/values.h"

#include <cstdint>
#include <string>
#include <vector>

// Cache data types of the exchanges below.
enum {
    AFX_RFX_WTEXT_BUFFER = 18, // char16_t[nMaxLength + 1]
    AFX_RFX_TEXT_BUFFER = 19,  // char[nMaxLength + 1]
    AFX_RFX_INT64_OR_WTEXT = 20,
    AFX_RFX_GUID_OR_TEXT = 21,
};

constexpr short AFX_RFX_SHORT_PSEUDO_NULL = 0x7EE4;
constexpr std::int64_t AFX_RFX_INT64_PSEUDO_NULL = 0x4A4D4120;

void RFX_Short(CFieldExchange* pFX, const char* szName, short& value);
void RFX_Int64(CFieldExchange* pFX, const char* szName, std::int64_t& value);
void RFX_GUID(CFieldExchange* pFX, const char* szName, GUID& value);

// Text whose C type follows the member: SQL_C_CHAR for UTF-8 text,
// SQL_C_WCHAR (UTF-16, 2-byte units) for the wide forms. nMaxLength counts
// characters for the string members (a UTF-8 string gets 4 bytes for each)
// and units for the caller's buffers, which hold nMaxLength + 1 units.
void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, std::string& value, int nMaxLength = 255,
                  int nColumnType = SQL_VARCHAR, short nScale = 0);
void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, std::u16string& value, int nMaxLength = 255,
                  int nColumnType = SQL_WVARCHAR, short nScale = 0);
void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, char* value, int nMaxLength = 255,
                  int nColumnType = SQL_VARCHAR, short nScale = 0);
void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, char16_t* value, int nMaxLength = 255,
                  int nColumnType = SQL_WVARCHAR, short nScale = 0);

void RFX_Binary_Ntv(CFieldExchange* pFX, const char* szName, std::vector<std::uint8_t>& value,
                    int nMaxLength = 255);

void RFX_Short_Bulk(CFieldExchange* pFX, const char* szName, short** prgValues, SQLLEN** prgLengths);
void RFX_Int64_Bulk(CFieldExchange* pFX, const char* szName, std::int64_t** prgValues, SQLLEN** prgLengths);
void RFX_GUID_Bulk(CFieldExchange* pFX, const char* szName, GUID** prgValues, SQLLEN** prgLengths);

// nField is 1-based. Types 20 and 21 here are the 8-byte and 16-byte blocks.
void AfxStoreFieldEx(CRecordset& rs, UINT nField, void* pv);
void AfxLoadFieldEx(CRecordset& rs, UINT nField, void* pv, SQLLEN* plLength);
int AfxCompareValueByRefEx(void* pvData, void* pvCache, int nDataType);
void AfxCopyValueByRefEx(void* pvSrc, void* pvDest, SQLLEN* plLength, int nDataType);
