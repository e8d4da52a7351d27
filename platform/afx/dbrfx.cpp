#include "afx/dbcore.h"

#include "winapi/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

SQLSMALLINT AfxSqlTypeForCType(int nCType)
{
    switch (nCType) {
    case SQL_C_CHAR: return SQL_VARCHAR;
    case SQL_C_WCHAR: return SQL_WVARCHAR;
    case SQL_C_BINARY: return SQL_VARBINARY;
    case SQL_C_BIT: return SQL_BIT;
    case SQL_C_UTINYINT:
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: return SQL_SMALLINT;
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
    case SQL_C_SHORT: return SQL_SMALLINT;
    case SQL_C_SLONG:
    case SQL_C_ULONG:
    case SQL_C_LONG: return SQL_INTEGER;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: return SQL_BIGINT;
    case SQL_C_FLOAT: return SQL_REAL;
    case SQL_C_DOUBLE: return SQL_DOUBLE;
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP: return SQL_TYPE_TIMESTAMP;
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE: return SQL_TYPE_DATE;
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME: return SQL_TYPE_TIME;
    case SQL_C_GUID: return SQL_GUID;
    default: return static_cast<SQLSMALLINT>(nCType);
    }
}

namespace {

SQLSMALLINT SqlTypeForCType(int nCType)
{
    return AfxSqlTypeForCType(nCType);
}

SQLULEN ColumnSizeFor(int nCType, SQLULEN cbValue, SQLULEN cbPrecision)
{
    if (nCType == SQL_C_CHAR || nCType == SQL_C_BINARY || nCType == SQL_C_WCHAR) {
        SQLULEN size = std::max(cbValue, cbPrecision);
        return size == 0 ? 1 : size;
    }
    return cbPrecision;
}

// A field name as generated SQL needs it. A plain identifier stays as it is,
// so that PostgreSQL folds it like the unquoted names the tables were made
// with; quoted names and expressions go in unchanged; anything else (blanks,
// other characters) is quoted.
std::string QuotedFieldName(CRecordset* prs, LPCTSTR szName)
{
    std::string name = szName != nullptr ? szName : "";
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
    for (char c : name)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (plain || name.find_first_of("[]\"`().") != std::string::npos || prs->m_pDatabase == nullptr)
        return name;
    return prs->m_pDatabase->QuoteName(name);
}

void BindUpdateParam(CFieldExchange* pFX, void* pv, SQLLEN* plLength, int nCType, SQLULEN cbValue,
                     SQLULEN cbPrecision)
{
    UINT n = ++pFX->m_nBoundParams;
    RETCODE rc = SQLBindParameter(pFX->m_hstmt, static_cast<SQLUSMALLINT>(n), SQL_PARAM_INPUT,
                                  static_cast<SQLSMALLINT>(nCType), SqlTypeForCType(nCType),
                                  ColumnSizeFor(nCType, cbValue, cbPrecision), 0, pv,
                                  static_cast<SQLLEN>(cbValue), plLength);
    if (!pFX->m_prs->Check(rc))
        pFX->m_prs->ThrowDBException(rc, pFX->m_hstmt);
}

} // namespace

CFieldExchange::CFieldExchange(UINT nOperation, CRecordset* prs, void* pvField)
    : m_nOperation(nOperation),
      m_prs(prs),
      m_pvField(pvField),
      m_hstmt(prs != nullptr ? prs->m_hstmt : SQL_NULL_HSTMT)
{
}

BOOL CFieldExchange::IsFieldType(UINT* pnField)
{
    if (m_nFieldType == noFieldType)
        return FALSE;
    bool param = m_nOperation == BindParam || m_nOperation == RebindParam;
    if (m_nFieldType == outputColumn) {
        *pnField = ++m_nFields;
        if (m_nFields > m_prs->m_nFields)
            m_prs->ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
        return !param;
    }
    *pnField = ++m_nParams;
    if (m_nParams > m_prs->m_nParams)
        m_prs->ThrowDBException(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    return param;
}

void CFieldExchange::Default(LPCTSTR szName, void* pv, SQLLEN* plLength, int nCType, SQLULEN cbValue,
                             SQLULEN cbPrecision)
{
    CRecordset* prs = m_prs;
    switch (m_nOperation) {
    case BindParam:
    case RebindParam: {
        UINT n = m_nParams;
        *plLength = prs->IsParamStatusNull(n - 1) ? SQL_NULL_DATA : static_cast<SQLLEN>(cbValue);
        RETCODE rc = SQLBindParameter(m_hstmt, static_cast<SQLUSMALLINT>(n),
                                      static_cast<SQLSMALLINT>(m_nFieldType),
                                      static_cast<SQLSMALLINT>(nCType), SqlTypeForCType(nCType),
                                      ColumnSizeFor(nCType, cbValue, cbPrecision), 0, pv,
                                      static_cast<SQLLEN>(cbValue), plLength);
        if (!prs->Check(rc))
            prs->ThrowDBException(rc, m_hstmt);
        prs->m_mapParamIndex[pv] = n;
        return;
    }
    case BindFieldToColumn: {
        UINT n = m_nFields;
        RETCODE rc = SQLBindCol(m_hstmt, static_cast<SQLUSMALLINT>(n), static_cast<SQLSMALLINT>(nCType),
                                pv, static_cast<SQLLEN>(cbValue), plLength);
        if (!prs->Check(rc))
            prs->ThrowDBException(rc, m_hstmt);
        prs->m_mapFieldIndex[pv] = n;
        return;
    }
    case MarkForUpdate: {
        UINT n = m_nFields;
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        bool nowNull = prs->IsFieldStatusNull(n - 1);
        bool dirty;
        if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL)
            dirty = !nowNull;
        else if (nowNull)
            dirty = true;
        else if (AfxIsCachedByValue(info.m_nDataType))
            dirty = std::memcmp(pv, &info.m_pvDataCache, std::min<SQLULEN>(cbValue, sizeof(void*))) != 0;
        else
            dirty = info.m_pvDataCache == nullptr ||
                    !AfxCompareValueByRef(pv, info.m_pvDataCache, info.m_nDataType);
        if (dirty)
            prs->SetDirtyFieldStatus(n - 1);
        if ((m_pvField == nullptr || m_pvField == pv) && prs->IsFieldStatusDirty(n - 1))
            m_bField = TRUE;
        return;
    }
    case StoreField: {
        UINT n = m_nFields;
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        if (AfxIsCachedByValue(info.m_nDataType)) {
            // Exactly the member's bytes: a 2-byte member shares a 4-byte code.
            info.m_bStatus = prs->GetFieldStatus(n - 1);
            if (!(info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL)) {
                info.m_pvDataCache = nullptr;
                std::memcpy(&info.m_pvDataCache, pv, std::min<SQLULEN>(cbValue, sizeof(void*)));
            }
        } else {
            AfxStoreField(*prs, n, pv);
        }
        return;
    }
    case LoadField: {
        UINT n = m_nFields;
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        if (AfxIsCachedByValue(info.m_nDataType)) {
            prs->SetFieldStatus(n - 1, info.m_bStatus);
            if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) {
                *plLength = SQL_NULL_DATA;
            } else {
                std::memcpy(pv, &info.m_pvDataCache, std::min<SQLULEN>(cbValue, sizeof(void*)));
                *plLength = static_cast<SQLLEN>(cbValue);
            }
        } else {
            AfxLoadField(*prs, n, pv, plLength);
        }
        return;
    }
    case Name:
    case NameValue:
    case Value: {
        UINT n = m_nFieldType == outputColumn ? m_nFields : m_nParams;
        // Outside an edit, Name lists every field (the SELECT list); in one,
        // only the fields to write.
        bool all = m_nOperation == Name && prs->GetEditMode() == CRecordset::noMode;
        if (m_nFieldType != outputColumn || (!all && !prs->IsFieldStatusDirty(n - 1)))
            return;
        if (m_pstr == nullptr)
            return;
        if (m_nOperation == Name) {
            *m_pstr += QuotedFieldName(prs, szName);
        } else if (m_nOperation == NameValue) {
            *m_pstr += QuotedFieldName(prs, szName);
            *m_pstr += "=?";
        } else {
            *m_pstr += "?";
        }
        *m_pstr += m_lpszSeparator;
        if (m_nOperation != Name) {
            *plLength = prs->IsFieldStatusNull(n - 1) ? SQL_NULL_DATA : static_cast<SQLLEN>(cbValue);
            BindUpdateParam(this, pv, plLength, nCType, cbValue, cbPrecision);
        }
        return;
    }
    case BindFieldForUpdate: {
        UINT n = m_nFields;
        if (!prs->IsFieldStatusDirty(n - 1)) {
            *plLength = SQL_COLUMN_IGNORE;
            return;
        }
        RETCODE rc = SQLBindCol(prs->m_hstmt, static_cast<SQLUSMALLINT>(n), static_cast<SQLSMALLINT>(nCType),
                                pv, static_cast<SQLLEN>(cbValue), plLength);
        if (!prs->Check(rc))
            prs->ThrowDBException(rc);
        // After the binding: some drivers reset the indicator when a column is bound.
        *plLength = prs->IsFieldStatusNull(n - 1) ? SQL_NULL_DATA : static_cast<SQLLEN>(cbValue);
        return;
    }
    case StoreKey: {
        UINT n = m_nFields;
        if (m_nFieldType != outputColumn || !prs->IsKeyField(n))
            return;
        CRecordset::KeyValue key{n, static_cast<SQLSMALLINT>(nCType), {}, SQL_NULL_DATA};
        if (!prs->IsFieldStatusNull(n - 1)) {
            const auto* bytes = static_cast<const std::uint8_t*>(pv);
            key.bytes.assign(bytes, bytes + cbValue);
            key.nLength = static_cast<SQLLEN>(cbValue);
        }
        prs->AddKeyValue(std::move(key));
        return;
    }
    case UnbindFieldForUpdate:
        // The next fetch binds every column again.
        if (*plLength == SQL_COLUMN_IGNORE)
            *plLength = prs->IsFieldStatusNull(m_nFields - 1) ? SQL_NULL_DATA : static_cast<SQLLEN>(cbValue);
        return;
    default:
        return;
    }
}

// The engine's single-row exchanges

namespace {

template <class T>
bool SameBytes(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
void RfxFixed(CFieldExchange* pFX, LPCTSTR szName, T& value, const T& marker, int nCType,
              SQLULEN cbValue, SQLULEN cbPrecision, int nCacheType)
{
    UINT n = 0;
    if (!pFX->IsFieldType(&n))
        return;
    CRecordset* prs = pFX->m_prs;
    SQLLEN* plLength = prs->GetFieldLengthBuffer(n - 1, static_cast<int>(pFX->m_nFieldType));
    switch (pFX->m_nOperation) {
    case CFieldExchange::Fixup:
        if (*plLength == SQL_NULL_DATA) {
            prs->SetNullFieldStatus(n - 1);
            value = marker;
        }
        return;
    case CFieldExchange::MarkForAddNew:
        if (!SameBytes(value, marker)) {
            prs->SetDirtyFieldStatus(n - 1);
            prs->ClearNullFieldStatus(n - 1);
        }
        return;
    case CFieldExchange::MarkForUpdate:
        if (!SameBytes(value, marker))
            prs->ClearNullFieldStatus(n - 1);
        break;
    case CFieldExchange::SetFieldNull:
        if ((pFX->m_pvField == nullptr && pFX->m_nFieldType == CFieldExchange::outputColumn) ||
            pFX->m_pvField == &value) {
            if (pFX->m_bField) {
                prs->SetNullFieldStatus(n - 1);
                value = marker;
                *plLength = SQL_NULL_DATA;
            } else {
                prs->ClearNullFieldStatus(n - 1);
                *plLength = static_cast<SQLLEN>(cbValue);
            }
        }
        return;
    case CFieldExchange::AllocCache: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        info.m_nDataType = nCacheType;
        if (info.m_pvDataCache == nullptr) {
            if (nCacheType == AFX_RFX_DOUBLE)
                info.m_pvDataCache = new double(0);
            else if (nCacheType == AFX_RFX_TIMESTAMP)
                info.m_pvDataCache = new TIMESTAMP_STRUCT{};
        }
        return;
    }
    default:
        break;
    }
    pFX->Default(szName, &value, plLength, nCType, cbValue, cbPrecision);
}

} // namespace

void RFX_Bool(CFieldExchange* pFX, LPCTSTR szName, BOOL& value)
{
    UINT op = pFX->m_nOperation;
    if (op == CFieldExchange::BindFieldToColumn && pFX->m_nFieldType == CFieldExchange::outputColumn)
        value = 0; // the driver writes one byte of the four
    RfxFixed<BOOL>(pFX, szName, value, AFX_RFX_BOOL_PSEUDO_NULL, SQL_C_BIT, sizeof(BOOL), 1, AFX_RFX_BOOL);
    if (op == CFieldExchange::Fixup && value != AFX_RFX_BOOL_PSEUDO_NULL)
        value = (value & 0xFF) != 0;
}

void RFX_Byte(CFieldExchange* pFX, LPCTSTR szName, BYTE& value)
{
    RfxFixed<BYTE>(pFX, szName, value, AFX_RFX_BYTE_PSEUDO_NULL, SQL_C_UTINYINT, 1, 3, AFX_RFX_BYTE);
}

void RFX_Int(CFieldExchange* pFX, LPCTSTR szName, int& value)
{
    RfxFixed<int>(pFX, szName, value, AFX_RFX_INT_PSEUDO_NULL, SQL_C_SLONG, sizeof(int), 10, AFX_RFX_INT);
}

void RFX_Long(CFieldExchange* pFX, LPCTSTR szName, LONG& value)
{
    RfxFixed<LONG>(pFX, szName, value, AFX_RFX_LONG_PSEUDO_NULL, SQL_C_SLONG, sizeof(LONG), 10, AFX_RFX_LONG);
}

void RFX_Single(CFieldExchange* pFX, LPCTSTR szName, float& value)
{
    RfxFixed<float>(pFX, szName, value, AFX_RFX_SINGLE_PSEUDO_NULL, SQL_C_FLOAT, sizeof(float), 13,
                    AFX_RFX_SINGLE);
}

void RFX_Double(CFieldExchange* pFX, LPCTSTR szName, double& value)
{
    RfxFixed<double>(pFX, szName, value, AFX_RFX_DOUBLE_PSEUDO_NULL, SQL_C_DOUBLE, sizeof(double), 22,
                     AFX_RFX_DOUBLE);
}

void RFX_Date(CFieldExchange* pFX, LPCTSTR szName, TIMESTAMP_STRUCT& value)
{
    TIMESTAMP_STRUCT marker;
    std::memset(&marker, 0, sizeof marker);
    marker.year = marker.month = marker.day = marker.hour = marker.minute = marker.second =
        AFX_RFX_DATE_PSEUDO_NULL;
    marker.fraction = AFX_RFX_DATE_PSEUDO_NULL;
    RfxFixed<TIMESTAMP_STRUCT>(pFX, szName, value, marker, SQL_C_TIMESTAMP, sizeof(TIMESTAMP_STRUCT), 23,
                               AFX_RFX_TIMESTAMP);
}

// Bulk exchanges

void RFX_Bool_Bulk(CFieldExchange* pFX, LPCTSTR szName, BOOL** prgBoolVals, SQLLEN** prgLengths)
{
    // SQL_C_BIT steps one byte a row in a column-wise array: bind the BOOLs as integers.
    AfxRFXBulkArrays<BOOL>(pFX, szName, prgBoolVals, prgLengths, SQL_C_SLONG, sizeof(BOOL));
}

void RFX_Byte_Bulk(CFieldExchange* pFX, LPCTSTR szName, BYTE** prgByteVals, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays<BYTE>(pFX, szName, prgByteVals, prgLengths, SQL_C_UTINYINT, 1);
}

void RFX_Long_Bulk(CFieldExchange* pFX, LPCTSTR szName, LONG** prgLongVals, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays<LONG>(pFX, szName, prgLongVals, prgLengths, SQL_C_SLONG, sizeof(LONG));
}

void RFX_Single_Bulk(CFieldExchange* pFX, LPCTSTR szName, float** prgFltVals, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays<float>(pFX, szName, prgFltVals, prgLengths, SQL_C_FLOAT, sizeof(float));
}

void RFX_Double_Bulk(CFieldExchange* pFX, LPCTSTR szName, double** prgDblVals, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays<double>(pFX, szName, prgDblVals, prgLengths, SQL_C_DOUBLE, sizeof(double));
}

void RFX_Date_Bulk(CFieldExchange* pFX, LPCTSTR szName, TIMESTAMP_STRUCT** prgTSVals, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays<TIMESTAMP_STRUCT>(pFX, szName, prgTSVals, prgLengths, SQL_C_TIMESTAMP, sizeof(TIMESTAMP_STRUCT));
}

void RFX_Text_Bulk(CFieldExchange* pFX, LPCTSTR szName, char** prgStrVals, SQLLEN** prgLengths,
                   int nMaxLength)
{
    if (nMaxLength <= 0)
        AfxThrowInvalidArgException();
    AfxRFXBulkArrays<char>(pFX, szName, prgStrVals, prgLengths, SQL_C_CHAR, static_cast<std::size_t>(nMaxLength));
}

void RFX_Binary_Bulk(CFieldExchange* pFX, LPCTSTR szName, BYTE** prgByteVals, SQLLEN** prgLengths,
                     int nMaxLength)
{
    if (nMaxLength <= 0)
        AfxThrowInvalidArgException();
    AfxRFXBulkArrays<BYTE>(pFX, szName, prgByteVals, prgLengths, SQL_C_BINARY, static_cast<std::size_t>(nMaxLength));
}

void AfxRFXBulkDefault(CFieldExchange* pFX, LPCTSTR szName, void* pv, SQLLEN* rgLengths, int nCType,
                       SQLULEN cbValue)
{
    switch (pFX->m_nOperation) {
    case CFieldExchange::BindFieldToColumn: {
        RETCODE rc = SQLBindCol(pFX->m_prs->m_hstmt, static_cast<SQLUSMALLINT>(pFX->m_nFields),
                                static_cast<SQLSMALLINT>(nCType), pv, static_cast<SQLLEN>(cbValue), rgLengths);
        if (!pFX->m_prs->Check(rc))
            pFX->m_prs->ThrowDBException(rc);
        return;
    }
    case CFieldExchange::Name:
        if (pFX->m_pstr != nullptr) {
            *pFX->m_pstr += QuotedFieldName(pFX->m_prs, szName);
            *pFX->m_pstr += pFX->m_lpszSeparator;
        }
        return;
    default:
        return;
    }
}

// Cache helpers

bool AfxIsCachedByValue(int nDataType)
{
    switch (nDataType) {
    case AFX_RFX_BOOL:
    case AFX_RFX_BYTE:
    case AFX_RFX_INT:
    case AFX_RFX_LONG:
    case AFX_RFX_SINGLE: return true;
    default: return false;
    }
}

void AfxStoreFieldCopying(CRecordset& rs, UINT nField, void* pvField, AfxCopyValueFn copyBlock)
{
    CFieldInfo& info = rs.m_rgFieldInfos[nField - 1];
    info.m_bStatus = rs.GetFieldStatus(nField - 1);
    if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL)
        return;
    SQLLEN length = 0;
    if (AfxIsCachedByValue(info.m_nDataType))
        AfxCopyValueByRef(pvField, &info.m_pvDataCache, &length, info.m_nDataType);
    else if (info.m_pvDataCache != nullptr)
        copyBlock(pvField, info.m_pvDataCache, &length, info.m_nDataType);
}

void AfxLoadFieldCopying(CRecordset& rs, UINT nField, void* pvField, SQLLEN* plLength, AfxCopyValueFn copyBlock)
{
    CFieldInfo& info = rs.m_rgFieldInfos[nField - 1];
    rs.SetFieldStatus(nField - 1, info.m_bStatus);
    if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) {
        *plLength = SQL_NULL_DATA;
        return;
    }
    if (AfxIsCachedByValue(info.m_nDataType))
        AfxCopyValueByRef(&info.m_pvDataCache, pvField, plLength, info.m_nDataType);
    else if (info.m_pvDataCache != nullptr)
        copyBlock(info.m_pvDataCache, pvField, plLength, info.m_nDataType);
}

void AfxStoreField(CRecordset& rs, UINT nField, void* pvField)
{
    AfxStoreFieldCopying(rs, nField, pvField, &AfxCopyValueByRef);
}

void AfxLoadField(CRecordset& rs, UINT nField, void* pvField, SQLLEN* plLength)
{
    AfxLoadFieldCopying(rs, nField, pvField, plLength, &AfxCopyValueByRef);
}

static std::size_t FixedCacheSize(int nDataType)
{
    switch (nDataType) {
    case AFX_RFX_BOOL: return sizeof(BOOL);
    case AFX_RFX_BYTE: return 1;
    case AFX_RFX_INT: return 4;
    case AFX_RFX_LONG: return 4;
    case AFX_RFX_SINGLE: return 4;
    case AFX_RFX_DOUBLE: return 8;
    case AFX_RFX_TIMESTAMP: return sizeof(TIMESTAMP_STRUCT);
    default: return 0;
    }
}

void AfxCopyValueByRef(void* pvSrc, void* pvDest, SQLLEN* plLength, int nDataType)
{
    if (std::size_t size = FixedCacheSize(nDataType)) {
        std::memcpy(pvDest, pvSrc, size);
        *plLength = static_cast<SQLLEN>(size);
    } else if (nDataType == AFX_RFX_BINARY) {
        auto& dest = *static_cast<std::vector<std::uint8_t>*>(pvDest);
        dest = *static_cast<const std::vector<std::uint8_t>*>(pvSrc);
        *plLength = static_cast<SQLLEN>(dest.size());
    } else if (nDataType == AFX_RFX_TEXT) {
        auto& dest = *static_cast<std::string*>(pvDest);
        dest = *static_cast<const std::string*>(pvSrc);
        *plLength = static_cast<SQLLEN>(dest.size());
    }
}

BOOL AfxCompareValueByRef(void* pvData, void* pvCache, int nDataType)
{
    if (std::size_t size = FixedCacheSize(nDataType))
        return std::memcmp(pvData, pvCache, size) == 0;
    if (nDataType == AFX_RFX_BINARY)
        return *static_cast<const std::vector<std::uint8_t>*>(pvData) ==
               *static_cast<const std::vector<std::uint8_t>*>(pvCache);
    if (nDataType == AFX_RFX_TEXT)
        return *static_cast<const std::string*>(pvData) == *static_cast<const std::string*>(pvCache);
    return FALSE;
}

std::size_t AfxUtf8CutLength(const char* text, std::size_t length)
{
    return winapi::Utf8CutBytes(std::string_view(text, length), length);
}
