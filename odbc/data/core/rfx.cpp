#include "odbc/data/core/rfx.h"

#include "winapi/text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool Begin(CFieldExchange* pFX, UINT& n, SQLLEN*& length)
{
    if (!pFX->IsFieldType(&n))
        return false;
    length = pFX->m_prs->GetFieldLengthBuffer(n - 1, static_cast<int>(pFX->m_nFieldType));
    return true;
}

bool Addressed(const CFieldExchange* pFX, const void* pv)
{
    return (pFX->m_pvField == nullptr && pFX->m_nFieldType == CFieldExchange::outputColumn) ||
           pFX->m_pvField == pv;
}

template <class T>
void FreeBlock(void* p)
{
    delete static_cast<T*>(p);
}

template <class T>
void FreeArray(void* p)
{
    delete[] static_cast<T*>(p);
}

template <class T>
bool SameBytes(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

void MarkDirtyIf(CFieldExchange* pFX, UINT n, const void* pv, bool dirty)
{
    if (dirty)
        pFX->m_prs->SetDirtyFieldStatus(n - 1);
    if ((pFX->m_pvField == nullptr || pFX->m_pvField == pv) && pFX->m_prs->IsFieldStatusDirty(n - 1))
        pFX->m_bField = TRUE;
}

// MarkForUpdate after the null status is set: dirty when that status differs
// from the cached one, or when a value that is not null differs from its cache.
template <class DiffersFromCache>
void MarkDirtyAgainstCache(CFieldExchange* pFX, UINT n, const void* pv, DiffersFromCache differs)
{
    CRecordset* prs = pFX->m_prs;
    CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
    bool nowNull = prs->IsFieldStatusNull(n - 1);
    bool dirty;
    if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL)
        dirty = !nowNull;
    else
        dirty = nowNull || info.m_pvDataCache == nullptr || differs(info.m_pvDataCache);
    MarkDirtyIf(pFX, n, pv, dirty);
}

void MarkAddedIf(CRecordset* prs, UINT n, bool notNull)
{
    if (notNull) {
        prs->SetDirtyFieldStatus(n - 1);
        prs->ClearNullFieldStatus(n - 1);
    }
}

// MarkForUpdate of a member whose null form is its empty value.
void SetNullStatus(CRecordset* prs, UINT n, bool null)
{
    if (null)
        prs->SetNullFieldStatus(n - 1);
    else
        prs->ClearNullFieldStatus(n - 1);
}

// Fixup: true when the column came back null, its null status then set;
// the caller gives the member its null form.
bool FetchedNull(CRecordset* prs, UINT n, const SQLLEN* length)
{
    if (*length != SQL_NULL_DATA)
        return false;
    prs->SetNullFieldStatus(n - 1);
    return true;
}

// Binds data, bytes long, as column n's buffer; key is the member the
// recordset finds the field by.
void BindColumn(CFieldExchange* pFX, UINT n, int nCType, void* data, SQLLEN bytes, SQLLEN* length, void* key)
{
    CRecordset* prs = pFX->m_prs;
    RETCODE rc =
        SQLBindCol(pFX->m_hstmt, static_cast<SQLUSMALLINT>(n), static_cast<SQLSMALLINT>(nCType), data, bytes, length);
    if (!prs->Check(rc))
        prs->ThrowDBException(rc);
    prs->m_mapFieldIndex[key] = n;
}

// Binds a text buffer of bytes as parameter n, a null one when its status
// says so; key is the member the recordset finds the parameter by.
void BindTextParam(CFieldExchange* pFX, UINT n, int nCType, int nColumnType, SQLULEN columnSize, short nScale,
                   void* data, SQLLEN bytes, SQLLEN* length, void* key)
{
    CRecordset* prs = pFX->m_prs;
    *length = prs->IsParamStatusNull(n - 1) ? SQL_NULL_DATA : SQL_NTS;
    RETCODE rc = SQLBindParameter(pFX->m_hstmt, static_cast<SQLUSMALLINT>(n),
                                  static_cast<SQLSMALLINT>(pFX->m_nFieldType), static_cast<SQLSMALLINT>(nCType),
                                  static_cast<SQLSMALLINT>(nColumnType), columnSize, nScale, data, bytes, length);
    if (!prs->Check(rc))
        prs->ThrowDBException(rc, pFX->m_hstmt);
    prs->m_mapParamIndex[key] = n;
}

// SetFieldNull for the member at pv; makeNull gives the member its null form.
template <class MakeNull>
void ExchangeNullStatus(CFieldExchange* pFX, UINT n, const void* pv, SQLLEN* length, SQLLEN notNullLength,
                        MakeNull makeNull)
{
    if (!Addressed(pFX, pv))
        return;
    CRecordset* prs = pFX->m_prs;
    if (pFX->m_bField) {
        prs->SetNullFieldStatus(n - 1);
        makeNull();
        *length = SQL_NULL_DATA;
    } else {
        prs->ClearNullFieldStatus(n - 1);
        *length = notNullLength;
    }
}

template <class T>
void AllocBlockCache(CRecordset* prs, UINT n, int nCacheType)
{
    CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
    info.m_nDataType = nCacheType;
    if (info.m_pvDataCache == nullptr) {
        info.m_pvDataCache = new T{};
        info.m_pfnFreeCache = &FreeBlock<T>;
    }
}

// A field whose cache is a block of its own type (8-byte integers, GUIDs).
template <class T>
void RfxBlock(CFieldExchange* pFX, const char* szName, T& value, const T& marker, int nCType,
              SQLULEN cbPrecision, int nCacheType)
{
    UINT n = 0;
    SQLLEN* length = nullptr;
    if (!Begin(pFX, n, length))
        return;
    CRecordset* prs = pFX->m_prs;
    switch (pFX->m_nOperation) {
    case CFieldExchange::Fixup:
        if (FetchedNull(prs, n, length))
            value = marker;
        return;
    case CFieldExchange::MarkForAddNew: MarkAddedIf(prs, n, !SameBytes(value, marker)); return;
    case CFieldExchange::MarkForUpdate:
        if (!SameBytes(value, marker))
            prs->ClearNullFieldStatus(n - 1);
        MarkDirtyAgainstCache(pFX, n, &value,
                              [&](void* cache) { return !AfxCompareValueByRefEx(&value, cache, nCacheType); });
        return;
    case CFieldExchange::SetFieldNull:
        ExchangeNullStatus(pFX, n, &value, length, sizeof(T), [&] { value = marker; });
        return;
    case CFieldExchange::StoreField: AfxStoreFieldEx(*prs, n, &value); return;
    case CFieldExchange::LoadField: AfxLoadFieldEx(*prs, n, &value, length); return;
    case CFieldExchange::AllocCache: AllocBlockCache<T>(prs, n, nCacheType); return;
    default: pFX->Default(szName, &value, length, nCType, sizeof(T), cbPrecision);
    }
}

// The text buffer size, in units, for column nField: from the column's
// precision and type, else nMaxLength. With utf8Room the sizes count
// characters and the result allows 4 bytes for each (a string member can
// grow); a caller's fixed buffer is counted in units as it is.
SQLULEN TextBufferUnits(CFieldExchange* pFX, UINT nField, int nMaxLength, bool utf8Room)
{
    SQLULEN size = 0;
    const CODBCFieldInfo* infos = pFX->m_prs->GetODBCFieldInfos();
    if (infos != nullptr && static_cast<short>(nField) <= pFX->m_prs->GetODBCFieldCount()) {
        const CODBCFieldInfo& info = infos[nField - 1];
        size = info.m_nPrecision;
        switch (info.m_nSQLType) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR: break;
        case SQL_TINYINT:
        case SQL_BIGINT:
        case SQL_INTEGER:
        case SQL_SMALLINT: size += 1; break;
        case SQL_NUMERIC:
        case SQL_DECIMAL: size += 2; break;
        default: size += 10; break;
        }
    }
    SQLULEN max = nMaxLength > 0 ? static_cast<SQLULEN>(nMaxLength) : 0;
    if (size == 0 || size > max || size < 256)
        size = max;
    if (utf8Room)
        size *= 4;
    if (size > 0x7FFFFFFE / 2)
        AfxThrowMemoryException();
    return size;
}

template <class Unit>
std::size_t UnitLength(const Unit* text, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && text[n] != Unit(0))
        ++n;
    return n;
}

// Units of a fetched text that fit whole characters.
template <class Unit>
std::size_t FetchedUnits(const Unit* text, SQLLEN indicator, std::size_t room)
{
    std::size_t units = 0;
    if (indicator == SQL_NO_TOTAL || indicator < 0 ||
        static_cast<std::size_t>(indicator) > room * sizeof(Unit)) {
        units = UnitLength(text, room);
        if constexpr (sizeof(Unit) == 1) {
            units = AfxUtf8CutLength(reinterpret_cast<const char*>(text), units);
        } else if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] < 0xDC00) {
            --units; // half a surrogate pair
        }
    } else {
        units = static_cast<std::size_t>(indicator) / sizeof(Unit);
    }
    return units;
}

template <class Unit>
void StripTrailingBlanks(CFieldExchange* pFX, Unit* text, std::size_t& units)
{
    if (pFX->m_prs->m_pDatabase == nullptr || !pFX->m_prs->m_pDatabase->m_bStripTrailingSpaces)
        return;
    while (units > 0 && text[units - 1] == Unit(' '))
        --units;
}

template <class Str>
void RfxTextString(CFieldExchange* pFX, const char* szName, Str& value, int nMaxLength, int nColumnType,
                   short nScale, int nCType, int nCacheType)
{
    using Unit = typename Str::value_type;
    const SQLLEN unit = sizeof(Unit);
    UINT n = 0;
    SQLLEN* length = nullptr;
    if (!Begin(pFX, n, length))
        return;
    CRecordset* prs = pFX->m_prs;
    switch (pFX->m_nOperation) {
    case CFieldExchange::BindParam:
    case CFieldExchange::RebindParam: {
        if (pFX->m_nFieldType != CFieldExchange::inputParam && value.size() < static_cast<std::size_t>(nMaxLength))
            value.resize(static_cast<std::size_t>(nMaxLength)); // room for what the driver returns
        SQLULEN columnSize = std::max<SQLULEN>({static_cast<SQLULEN>(std::max(nMaxLength, 0)), value.size(), 1});
        BindTextParam(pFX, n, nCType, nColumnType, columnSize, nScale, value.data(),
                      static_cast<SQLLEN>(value.size() + 1) * unit, length, &value);
        return;
    }
    case CFieldExchange::BindFieldToColumn: {
        SQLULEN units = TextBufferUnits(pFX, n, nMaxLength, unit == 1);
        value.resize(static_cast<std::size_t>(units) + 1);
        BindColumn(pFX, n, nCType, value.data(), static_cast<SQLLEN>(units + 1) * unit, length, &value);
        return;
    }
    case CFieldExchange::Fixup: {
        if (FetchedNull(prs, n, length)) {
            value.clear();
            return;
        }
        std::size_t room = value.empty() ? 0 : value.size() - 1;
        std::size_t units = FetchedUnits(value.data(), *length, room);
        // The buffer allows four bytes a character, so a longer text of
        // shorter characters fits whole; the limit counts characters.
        if constexpr (sizeof(Unit) == 1)
            units = winapi::Utf8Left(std::string_view(value.data(), units),
                                     TextBufferUnits(pFX, n, nMaxLength, false))
                        .size();
        StripTrailingBlanks(pFX, value.data(), units);
        value.resize(units);
        *length = static_cast<SQLLEN>(units) * unit;
        return;
    }
    case CFieldExchange::MarkForAddNew: MarkAddedIf(prs, n, !value.empty()); return;
    case CFieldExchange::MarkForUpdate:
        SetNullStatus(prs, n, value.empty());
        MarkDirtyAgainstCache(pFX, n, &value, [&](void* cache) { return *static_cast<Str*>(cache) != value; });
        return;
    case CFieldExchange::SetFieldNull:
        ExchangeNullStatus(pFX, n, &value, length, SQL_NTS, [&] { value.clear(); });
        return;
    case CFieldExchange::StoreField: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        info.m_bStatus = prs->GetFieldStatus(n - 1);
        if (!(info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) && info.m_pvDataCache != nullptr)
            *static_cast<Str*>(info.m_pvDataCache) = value;
        return;
    }
    case CFieldExchange::LoadField: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        prs->SetFieldStatus(n - 1, info.m_bStatus);
        if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) {
            *length = SQL_NULL_DATA;
        } else if (info.m_pvDataCache != nullptr) {
            value = *static_cast<Str*>(info.m_pvDataCache);
            *length = static_cast<SQLLEN>(value.size()) * unit;
        }
        return;
    }
    case CFieldExchange::AllocCache: AllocBlockCache<Str>(prs, n, nCacheType); return;
    default:
        pFX->Default(szName, value.data(), length, nCType, value.size() * unit, static_cast<SQLULEN>(nMaxLength));
    }
}

template <class Unit>
void RfxTextBuffer(CFieldExchange* pFX, const char* szName, Unit* value, int nMaxLength, int nColumnType,
                   short nScale, int nCType, int nCacheType)
{
    const SQLLEN unit = sizeof(Unit);
    if (value == nullptr || nMaxLength <= 0)
        AfxThrowInvalidArgException();
    std::size_t capacity = static_cast<std::size_t>(nMaxLength);
    UINT n = 0;
    SQLLEN* length = nullptr;
    if (!Begin(pFX, n, length))
        return;
    CRecordset* prs = pFX->m_prs;
    switch (pFX->m_nOperation) {
    case CFieldExchange::BindParam:
    case CFieldExchange::RebindParam:
        BindTextParam(pFX, n, nCType, nColumnType, capacity, nScale, value, static_cast<SQLLEN>(capacity + 1) * unit,
                      length, value);
        return;
    case CFieldExchange::BindFieldToColumn: {
        SQLULEN units = TextBufferUnits(pFX, n, nMaxLength, false);
        value[units] = Unit(0);
        BindColumn(pFX, n, nCType, value, static_cast<SQLLEN>(units + 1) * unit, length, value);
        return;
    }
    case CFieldExchange::Fixup: {
        if (FetchedNull(prs, n, length)) {
            value[0] = Unit(0);
            return;
        }
        std::size_t units = FetchedUnits(value, *length, TextBufferUnits(pFX, n, nMaxLength, false));
        StripTrailingBlanks(pFX, value, units);
        value[units] = Unit(0);
        *length = static_cast<SQLLEN>(units) * unit;
        return;
    }
    case CFieldExchange::MarkForAddNew: MarkAddedIf(prs, n, value[0] != Unit(0)); return;
    case CFieldExchange::MarkForUpdate:
        SetNullStatus(prs, n, value[0] == Unit(0));
        MarkDirtyAgainstCache(pFX, n, value, [&](void* cache) {
            const Unit* cached = static_cast<const Unit*>(cache);
            std::size_t a = UnitLength(value, capacity);
            return a != UnitLength(cached, capacity) || std::memcmp(value, cached, a * sizeof(Unit)) != 0;
        });
        return;
    case CFieldExchange::SetFieldNull:
        ExchangeNullStatus(pFX, n, value, length, SQL_NTS, [&] { value[0] = Unit(0); });
        return;
    case CFieldExchange::StoreField: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        info.m_bStatus = prs->GetFieldStatus(n - 1);
        if (!(info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) && info.m_pvDataCache != nullptr) {
            std::size_t units = UnitLength(value, capacity);
            std::memcpy(info.m_pvDataCache, value, units * sizeof(Unit));
            static_cast<Unit*>(info.m_pvDataCache)[units] = Unit(0);
        }
        return;
    }
    case CFieldExchange::LoadField: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        prs->SetFieldStatus(n - 1, info.m_bStatus);
        if (info.m_bStatus & AFX_SQL_FIELD_FLAG_NULL) {
            *length = SQL_NULL_DATA;
        } else if (info.m_pvDataCache != nullptr) {
            std::size_t units = UnitLength(static_cast<const Unit*>(info.m_pvDataCache), capacity);
            std::memcpy(value, info.m_pvDataCache, units * sizeof(Unit));
            value[units] = Unit(0);
            *length = static_cast<SQLLEN>(units) * unit;
        }
        return;
    }
    case CFieldExchange::AllocCache: {
        CFieldInfo& info = prs->m_rgFieldInfos[n - 1];
        info.m_nDataType = nCacheType;
        if (info.m_pvDataCache == nullptr) {
            info.m_pvDataCache = new Unit[capacity + 1]();
            info.m_pfnFreeCache = &FreeArray<Unit>;
        }
        return;
    }
    default:
        pFX->Default(szName, value, length, nCType, UnitLength(value, capacity) * sizeof(Unit), capacity);
    }
}

const std::vector<std::uint8_t> kBinaryNullMarker{255};

} // namespace

void RFX_Short(CFieldExchange* pFX, const char* szName, short& value)
{
    UINT n = 0;
    SQLLEN* length = nullptr;
    if (!Begin(pFX, n, length))
        return;
    CRecordset* prs = pFX->m_prs;
    switch (pFX->m_nOperation) {
    case CFieldExchange::Fixup:
        if (FetchedNull(prs, n, length))
            value = AFX_RFX_SHORT_PSEUDO_NULL;
        return;
    case CFieldExchange::MarkForAddNew: MarkAddedIf(prs, n, value != AFX_RFX_SHORT_PSEUDO_NULL); return;
    case CFieldExchange::MarkForUpdate:
        if (value != AFX_RFX_SHORT_PSEUDO_NULL)
            prs->ClearNullFieldStatus(n - 1);
        break;
    case CFieldExchange::SetFieldNull:
        ExchangeNullStatus(pFX, n, &value, length, sizeof(short), [&] { value = AFX_RFX_SHORT_PSEUDO_NULL; });
        return;
    case CFieldExchange::AllocCache: prs->m_rgFieldInfos[n - 1].m_nDataType = AFX_RFX_INT; return;
    default: break;
    }
    pFX->Default(szName, &value, length, SQL_C_SHORT, sizeof(short), 5);
}

void RFX_Int64(CFieldExchange* pFX, const char* szName, std::int64_t& value)
{
    RfxBlock<std::int64_t>(pFX, szName, value, AFX_RFX_INT64_PSEUDO_NULL, SQL_C_SBIGINT, 22,
                           AFX_RFX_INT64_OR_WTEXT);
}

void RFX_GUID(CFieldExchange* pFX, const char* szName, GUID& value)
{
    RfxBlock<GUID>(pFX, szName, value, GUID{}, SQL_C_GUID, 40, AFX_RFX_GUID_OR_TEXT);
}

void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, std::string& value, int nMaxLength, int nColumnType,
                  short nScale)
{
    RfxTextString(pFX, szName, value, nMaxLength, nColumnType, nScale, SQL_C_CHAR, AFX_RFX_GUID_OR_TEXT);
}

void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, std::u16string& value, int nMaxLength,
                  int nColumnType, short nScale)
{
    RfxTextString(pFX, szName, value, nMaxLength, nColumnType, nScale, SQL_C_WCHAR, AFX_RFX_INT64_OR_WTEXT);
}

void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, char* value, int nMaxLength, int nColumnType,
                  short nScale)
{
    RfxTextBuffer(pFX, szName, value, nMaxLength, nColumnType, nScale, SQL_C_CHAR, AFX_RFX_TEXT_BUFFER);
}

void RFX_Text_Ntv(CFieldExchange* pFX, const char* szName, char16_t* value, int nMaxLength, int nColumnType,
                  short nScale)
{
    RfxTextBuffer(pFX, szName, value, nMaxLength, nColumnType, nScale, SQL_C_WCHAR, AFX_RFX_WTEXT_BUFFER);
}

void RFX_Binary_Ntv(CFieldExchange* pFX, const char* szName, std::vector<std::uint8_t>& value, int nMaxLength)
{
    UINT n = 0;
    SQLLEN* length = nullptr;
    if (!Begin(pFX, n, length))
        return;
    CRecordset* prs = pFX->m_prs;
    switch (pFX->m_nOperation) {
    case CFieldExchange::BindFieldToColumn: {
        SQLULEN size = 0;
        const CODBCFieldInfo* infos = prs->GetODBCFieldInfos();
        if (infos != nullptr && static_cast<short>(n) <= prs->GetODBCFieldCount())
            size = infos[n - 1].m_nPrecision;
        if (size == 0 || size > static_cast<SQLULEN>(std::max(nMaxLength, 1)))
            size = static_cast<SQLULEN>(std::max(nMaxLength, 1));
        value.resize(static_cast<std::size_t>(size));
        BindColumn(pFX, n, SQL_C_BINARY, value.data(), static_cast<SQLLEN>(size), length, &value);
        return;
    }
    case CFieldExchange::Fixup:
        if (FetchedNull(prs, n, length)) {
            value = kBinaryNullMarker;
            return;
        }
        // A value longer than the bound buffer would arrive cut: refuse it,
        // as the database error callers of a fetch catch.
        if (*length < 0 || static_cast<std::size_t>(*length) > value.size()) {
            CDBException e(SQL_ERROR);
            e.m_strError = std::string("Column ") + (szName ? szName : "") + ": the value (" +
                           (*length < 0 ? std::string("of unknown size") : std::to_string(*length) + " bytes") +
                           ") is longer than the " + std::to_string(value.size()) + " bytes read for it";
            throw e;
        }
        value.resize(static_cast<std::size_t>(*length));
        return;
    case CFieldExchange::MarkForAddNew: MarkAddedIf(prs, n, value != kBinaryNullMarker); return;
    case CFieldExchange::MarkForUpdate:
        SetNullStatus(prs, n, value == kBinaryNullMarker);
        pFX->Default(szName, &value, length, SQL_C_BINARY, value.size(), value.size());
        return;
    case CFieldExchange::SetFieldNull:
        ExchangeNullStatus(pFX, n, &value, length, static_cast<SQLLEN>(value.size()),
                           [&] { value = kBinaryNullMarker; });
        return;
    case CFieldExchange::StoreField: AfxStoreField(*prs, n, &value); return;
    case CFieldExchange::LoadField: AfxLoadField(*prs, n, &value, length); return;
    case CFieldExchange::AllocCache: AllocBlockCache<std::vector<std::uint8_t>>(prs, n, AFX_RFX_BINARY); return;
    default: {
        static std::uint8_t empty = 0;
        pFX->Default(szName, value.empty() ? &empty : value.data(), length, SQL_C_BINARY, value.size(),
                     value.size());
    }
    }
}

void RFX_Short_Bulk(CFieldExchange* pFX, const char* szName, short** prgValues, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays(pFX, szName, prgValues, prgLengths, SQL_C_SHORT, sizeof(short));
}

void RFX_Int64_Bulk(CFieldExchange* pFX, const char* szName, std::int64_t** prgValues, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays(pFX, szName, prgValues, prgLengths, SQL_C_SBIGINT, sizeof(std::int64_t));
}

void RFX_GUID_Bulk(CFieldExchange* pFX, const char* szName, GUID** prgValues, SQLLEN** prgLengths)
{
    AfxRFXBulkArrays(pFX, szName, prgValues, prgLengths, SQL_C_GUID, sizeof(GUID));
}

void AfxStoreFieldEx(CRecordset& rs, UINT nField, void* pv)
{
    AfxStoreFieldCopying(rs, nField, pv, &AfxCopyValueByRefEx);
}

void AfxLoadFieldEx(CRecordset& rs, UINT nField, void* pv, SQLLEN* plLength)
{
    AfxLoadFieldCopying(rs, nField, pv, plLength, &AfxCopyValueByRefEx);
}

int AfxCompareValueByRefEx(void* pvData, void* pvCache, int nDataType)
{
    if (nDataType == AFX_RFX_INT64_OR_WTEXT)
        return std::memcmp(pvData, pvCache, 8) == 0;
    if (nDataType == AFX_RFX_GUID_OR_TEXT)
        return std::memcmp(pvData, pvCache, 16) == 0;
    return AfxCompareValueByRef(pvData, pvCache, nDataType);
}

void AfxCopyValueByRefEx(void* pvSrc, void* pvDest, SQLLEN* plLength, int nDataType)
{
    if (nDataType == AFX_RFX_INT64_OR_WTEXT) {
        std::memcpy(pvDest, pvSrc, 8);
        *plLength = 8;
    } else if (nDataType == AFX_RFX_GUID_OR_TEXT) {
        std::memcpy(pvDest, pvSrc, 16);
        *plLength = 16;
    } else {
        AfxCopyValueByRef(pvSrc, pvDest, plLength, nDataType);
    }
}
