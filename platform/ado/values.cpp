#include "ado/ado.h"
#include "odbcbase/engine.h"

#include "winapi/text.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace ado {

SAFEARRAY* SafeArrayCreate(VARTYPE vt, unsigned dims, const SAFEARRAYBOUND* bounds)
{
    if (vt != VT_UI1 || dims != 1 || !bounds)
        return nullptr;
    auto* array = new (std::nothrow) SAFEARRAY{};
    if (!array)
        return nullptr;
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0] = bounds[0];
    if (bounds[0].cElements > 0) {
        array->pvData = new (std::nothrow) std::uint8_t[bounds[0].cElements]();
        if (!array->pvData) {
            delete array;
            return nullptr;
        }
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array)
        return S_OK;
    delete[] static_cast<std::uint8_t*>(array->pvData);
    delete array;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data)
{
    if (!array || !data)
        return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array)
{
    if (!array || array->cLocks == 0)
        return E_INVALIDARG;
    --array->cLocks;
    return S_OK;
}

namespace {

SAFEARRAY* CopyArray(const SAFEARRAY* array)
{
    if (!array)
        return nullptr;
    SAFEARRAYBOUND bound = array->rgsabound[0];
    SAFEARRAY* copy = SafeArrayCreate(VT_UI1, 1, &bound);
    if (!copy)
        throw std::bad_alloc();
    if (bound.cElements)
        std::memcpy(copy->pvData, array->pvData, bound.cElements);
    return copy;
}

bool OwnsArray(VARTYPE vt) { return (vt & VT_ARRAY) != 0; }

std::int64_t ParseInteger(const std::string& text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    if (begin < end && text[begin] == '+')
        ++begin;
    std::int64_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
    if (begin == end || ptr != text.data() + end) {
        if (ec == std::errc::result_out_of_range)
            throw _com_error(DISP_E_OVERFLOW);
        throw _com_error(DISP_E_TYPEMISMATCH);
    }
    if (ec == std::errc::result_out_of_range)
        throw _com_error(DISP_E_OVERFLOW);
    return value;
}

} // namespace

std::size_t _bstr_t::length() const
{
    return winapi::Utf8Length(m_text);
}

_variant_t::_variant_t(long value)
{
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
        vt = VT_I4;
    else
        vt = VT_I8;
    llVal = value;
}

_variant_t::_variant_t(const char* text) : vt(VT_BSTR), m_text(text ? text : "") {}

_variant_t::_variant_t(const _variant_t& other) : vt(other.vt), m_text(other.m_text)
{
    if (OwnsArray(vt))
        parray = CopyArray(other.parray);
    else
        llVal = other.llVal;
}

_variant_t::_variant_t(_variant_t&& other) noexcept : vt(other.vt), m_text(std::move(other.m_text))
{
    llVal = other.llVal;
    other.vt = VT_EMPTY;
    other.llVal = 0;
}

_variant_t& _variant_t::operator=(const _variant_t& other)
{
    if (this != &other) {
        _variant_t copy(other);
        *this = std::move(copy);
    }
    return *this;
}

_variant_t& _variant_t::operator=(_variant_t&& other) noexcept
{
    if (this != &other) {
        Clear();
        vt = other.vt;
        llVal = other.llVal;
        m_text = std::move(other.m_text);
        other.vt = VT_EMPTY;
        other.llVal = 0;
    }
    return *this;
}

_variant_t::~_variant_t() { Clear(); }

void _variant_t::Clear()
{
    if (OwnsArray(vt))
        SafeArrayDestroy(parray);
    vt = VT_EMPTY;
    llVal = 0;
    m_text.clear();
}

_variant_t _variant_t::Null()
{
    _variant_t v;
    v.vt = VT_NULL;
    return v;
}

_variant_t _variant_t::EmptyArray()
{
    _variant_t v;
    v.vt = VT_ARRAY;
    v.parray = nullptr;
    return v;
}

_variant_t _variant_t::FromBytes(const void* data, std::size_t size)
{
    SAFEARRAYBOUND bound{static_cast<std::uint32_t>(size), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    if (!array)
        throw std::bad_alloc();
    if (size)
        std::memcpy(array->pvData, data, size);
    return _variant_t(array);
}

std::int64_t _variant_t::ToInt64() const
{
    switch (vt) {
    case VT_EMPTY:
        return 0;
    case VT_I2:
    case VT_I4:
    case VT_I8:
        return llVal;
    case VT_R8: {
        double rounded = dblVal < 0 ? dblVal - 0.5 : dblVal + 0.5;
        if (!(rounded >= -9.2e18 && rounded <= 9.2e18))
            throw _com_error(DISP_E_OVERFLOW);
        return static_cast<std::int64_t>(rounded);
    }
    case VT_BSTR:
        return ParseInteger(m_text);
    default:
        throw _com_error(DISP_E_TYPEMISMATCH);
    }
}

std::int16_t _variant_t::ToShort() const
{
    std::int64_t value = ToInt64();
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw _com_error(DISP_E_OVERFLOW);
    return static_cast<std::int16_t>(value);
}

std::int32_t _variant_t::ToLong() const
{
    std::int64_t value = ToInt64();
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw _com_error(DISP_E_OVERFLOW);
    return static_cast<std::int32_t>(value);
}

double _variant_t::ToDouble() const
{
    switch (vt) {
    case VT_R8:
        return dblVal;
    case VT_BSTR: {
        char* end = nullptr;
        double value = std::strtod(m_text.c_str(), &end);
        while (end && *end && std::isspace(static_cast<unsigned char>(*end)))
            ++end;
        if (m_text.empty() || !end || *end)
            throw _com_error(DISP_E_TYPEMISMATCH);
        return value;
    }
    default:
        return static_cast<double>(ToInt64());
    }
}

void _variant_t::AssignText(const char* text, std::size_t bytes)
{
    if (OwnsArray(vt))
        SafeArrayDestroy(parray);
    vt = VT_BSTR;
    llVal = 0;
    m_text.assign(text, bytes);
}

std::string _variant_t::ToString() &&
{
    if (vt == VT_BSTR)
        return std::move(m_text);
    return static_cast<const _variant_t&>(*this).ToString();
}

std::string _variant_t::ToString() const&
{
    switch (vt) {
    case VT_EMPTY:
        return {};
    case VT_I2:
    case VT_I4:
    case VT_I8:
        return std::to_string(llVal);
    case VT_R8: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", dblVal);
        return buffer;
    }
    case VT_BSTR:
        return m_text;
    default:
        throw _com_error(DISP_E_TYPEMISMATCH);
    }
}

std::vector<std::uint8_t> _variant_t::ToBytes() const
{
    if (vt == VT_ARRAY || vt == (VT_ARRAY | VT_NULL))
        return {};
    if (vt != (VT_ARRAY | VT_UI1))
        throw _com_error(DISP_E_TYPEMISMATCH);
    if (!parray)
        return {};
    auto* data = static_cast<const std::uint8_t*>(parray->pvData);
    return std::vector<std::uint8_t>(data, data + parray->rgsabound[0].cElements);
}

_com_error::_com_error(HRESULT hr, std::string description, std::string source, std::vector<DiagRecord> records)
    : m_hr(hr), m_description(std::move(description)), m_source(std::move(source)), m_records(std::move(records))
{
}

std::string _com_error::ErrorMessage() const
{
    switch (static_cast<std::uint32_t>(m_hr)) {
    case 0x80004003u: return "Invalid pointer";
    case 0x80004005u: return "Unspecified error";
    case 0x8007000Eu: return "Ran out of memory";
    case 0x80070057u: return "The parameter is incorrect.";
    case 0x80040154u: return "Class not registered";
    case 0x80020005u: return "Type mismatch.";
    case 0x8002000Au: return "Out of present range.";
    case 0x8004D00Eu: return "No transaction is active.";
    default: {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%08X", static_cast<unsigned>(m_hr));
        return buffer;
    }
    }
}

std::string _com_error::SqlState() const { return m_records.empty() ? std::string() : m_records.front().sqlState; }

std::int32_t _com_error::NativeError() const { return m_records.empty() ? 0 : m_records.front().nativeError; }

Dialect Dialect::FromDbmsName(const std::string& dbmsName)
{
    switch (odbcbase::EngineOfDbmsName(dbmsName)) {
    case odbcbase::Engine::PostgreSql: return Dialect(Engine::PostgreSQL);
    case odbcbase::Engine::Sqlite: return Dialect(Engine::SQLite);
    default: return Dialect(Engine::Unknown);
    }
}

std::string Dialect::Name() const
{
    switch (m_engine) {
    case Engine::PostgreSQL: return "PostgreSQL";
    case Engine::SQLite: return "SQLite";
    default: return {};
    }
}

std::string Dialect::NameCollation() const
{
    switch (m_engine) {
    case Engine::PostgreSQL: return " COLLATE \"ru-RU-x-icu\"";
    case Engine::SQLite: return " COLLATE NOCASE";
    default: return {};
    }
}

std::string Dialect::FoldCatalogName(const std::string& name) const
{
    if (m_engine != Engine::PostgreSQL)
        return name;
    std::string folded;
    for (char c : name)
        folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool Dialect::IsUndefinedTable(const std::string& sqlState) { return sqlState == "42S02" || sqlState == "42P01"; }

std::string Dialect::LastIdentityQuery(const std::string& table, const std::string& column) const
{
    if (m_engine == Engine::PostgreSQL)
        return "SELECT currval(pg_get_serial_sequence('" + FoldCatalogName(table) + "', '" +
               FoldCatalogName(column) + "')) AS " + column;
    return "SELECT last_insert_rowid() AS " + column;
}

} // namespace ado
