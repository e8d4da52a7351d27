#include "odbc/data/core/values.h"
#include "odbc/data/core/odbcrecord.h"

#include "afx/file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cstdarg>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

template <class T>
bool Fits(std::int64_t v)
{
    return v >= std::numeric_limits<T>::min() && v <= std::numeric_limits<T>::max();
}

// A real number truncated toward zero, when it fits T.
template <class T>
bool TruncateTo(double v, T& out)
{
    if (!std::isfinite(v))
        return false;
    double t = std::trunc(v);
    if (t < static_cast<double>(std::numeric_limits<T>::min()) ||
        t >= -2.0 * static_cast<double>(std::numeric_limits<T>::min()))
        return false;
    out = static_cast<T>(t);
    return true;
}

bool FitsFloat(double v)
{
    return !std::isfinite(v) || std::fabs(v) <= FLT_MAX;
}

// An integer text: decimal, or hexadecimal with a 0x prefix or with a hex
// letter among its digits ("1F"). Anything else is refused.
bool ParseInteger(const char* text, std::int64_t& out)
{
    if (text == nullptr) {
        out = 0;
        return true;
    }
    std::string s(text);
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    if (b == e) {
        out = 0;
        return true;
    }
    bool negative = false;
    if (s[b] == '-' || s[b] == '+')
        negative = s[b++] == '-';
    int radix = 10;
    if (e - b > 2 && s[b] == '0' && (s[b + 1] == 'x' || s[b + 1] == 'X')) {
        radix = 16;
        b += 2;
    }
    if (b == e)
        return false;
    bool hexLetter = false;
    for (std::size_t i = b; i < e; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isdigit(c))
            continue;
        if (!std::isxdigit(c))
            return false;
        hexLetter = true;
    }
    if (hexLetter)
        radix = 16;
    errno = 0;
    unsigned long long magnitude = std::strtoull(s.c_str() + b, nullptr, radix);
    if (errno == ERANGE || magnitude > static_cast<unsigned long long>(INT64_MAX))
        return false;
    out = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool ParseDateTime(const char* text, TIMESTAMP_STRUCT& out)
{
    if (text == nullptr)
        return false;
    static const char* const formats[] = {
        "%Y-%m-%d %H:%M:%S", "%Y-%m-%dT%H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d",
        "%d.%m.%Y %H:%M:%S", "%d.%m.%Y %H:%M",    "%d.%m.%Y",       "%m/%d/%Y %H:%M:%S",
        "%m/%d/%Y",          "%H:%M:%S",          "%H:%M",
    };
    for (const char* format : formats) {
        std::tm tm{};
        tm.tm_mday = -1;
        const char* end = strptime(text, format, &tm);
        if (end == nullptr)
            continue;
        // Fractions of a second are allowed after the seconds.
        if (*end == '.')
            for (++end; std::isdigit(static_cast<unsigned char>(*end)); ++end) {
            }
        while (std::isspace(static_cast<unsigned char>(*end)))
            ++end;
        if (*end != '\0')
            continue;
        if (tm.tm_mday == -1) {
            // A time alone: the date of the day count zero of the OLE calendar.
            out.year = 1899;
            out.month = 12;
            out.day = 30;
        } else {
            out.year = static_cast<SQLSMALLINT>(tm.tm_year + 1900);
            out.month = static_cast<SQLUSMALLINT>(tm.tm_mon + 1);
            out.day = static_cast<SQLUSMALLINT>(tm.tm_mday);
        }
        out.hour = static_cast<SQLUSMALLINT>(tm.tm_hour);
        out.minute = static_cast<SQLUSMALLINT>(tm.tm_min);
        out.second = static_cast<SQLUSMALLINT>(tm.tm_sec);
        out.fraction = 0;
        return true;
    }
    return false;
}

std::string FormatDate(const TIMESTAMP_STRUCT& ts, const char* format)
{
    if (format == nullptr) {
        std::string out;
        DateTimeToString(ts, out, false, false);
        return out;
    }
    // The pattern may name the weekday or the day of the year.
    return FormatDateTimePattern(format, ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second);
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return std::string();
    if (static_cast<std::size_t>(n) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

std::string FormatReal(double v, int precision, bool single)
{
    (void)single;
    return Printf("%.*f", precision, v);
}

} // namespace

std::string GuidToString(const GUID& g)
{
    return Printf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
}

bool GuidFromString(const char* text, GUID& guid)
{
    if (text == nullptr || std::strlen(text) != 38 || text[0] != '{' || text[37] != '}')
        return false;
    static const int dashes[] = {9, 14, 19, 24};
    for (int i = 1; i < 37; ++i) {
        bool dash = i == dashes[0] || i == dashes[1] || i == dashes[2] || i == dashes[3];
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    auto hex = [&](int at, int len) {
        return static_cast<std::uint32_t>(std::strtoul(std::string(text + at, len).c_str(), nullptr, 16));
    };
    guid.Data1 = hex(1, 8);
    guid.Data2 = static_cast<std::uint16_t>(hex(10, 4));
    guid.Data3 = static_cast<std::uint16_t>(hex(15, 4));
    guid.Data4[0] = static_cast<std::uint8_t>(hex(20, 2));
    guid.Data4[1] = static_cast<std::uint8_t>(hex(22, 2));
    for (int i = 0; i < 6; ++i)
        guid.Data4[2 + i] = static_cast<std::uint8_t>(hex(25 + 2 * i, 2));
    return true;
}

// CDBVariantEx

CDBVariantEx::CDBVariantEx(const CDBVariantEx& other)
{
    m_pv = nullptr;
    *this = other;
    m_pszDateFormat = other.m_pszDateFormat;
}

CDBVariantEx& CDBVariantEx::operator=(const CDBVariantEx& other)
{
    if (this == &other)
        return *this;
    Clear();
    m_nBufferLength = other.m_nBufferLength;
    m_nLength = other.m_nLength;
    if (other.m_bAttached) {
        m_dwType = other.m_dwType;
        m_bAttached = true;
        m_pv = other.m_pv;
        return *this;
    }
    m_dwType = other.m_dwType;
    switch (other.m_dwType) {
    case DBVT_DATE: m_pdate = other.m_pdate ? new TIMESTAMP_STRUCT(*other.m_pdate) : nullptr; break;
    case DBVT_STRING: m_pstring = other.m_pstring ? new std::string(*other.m_pstring) : nullptr; break;
    case DBVT_BINARY:
        m_pbinary = other.m_pbinary ? new std::vector<std::uint8_t>(*other.m_pbinary) : nullptr;
        break;
    case DBVT_GUID: m_pguid = other.m_pguid ? new GUID(*other.m_pguid) : nullptr; break;
    default: m_i64Val = other.m_i64Val; break;
    }
    return *this;
}

void CDBVariantEx::Clear()
{
    if (!m_bAttached) {
        switch (m_dwType) {
        case DBVT_DATE: delete m_pdate; break;
        case DBVT_STRING: delete m_pstring; break;
        case DBVT_BINARY: delete m_pbinary; break;
        case DBVT_GUID: delete m_pguid; break;
        default: break;
        }
    }
    m_dwType = DBVT_NULL;
    m_bAttached = false;
    m_pv = nullptr;
    m_i64Val = 0;
}

void CDBVariantEx::Attach(DWORD type, void* storage, std::int32_t bufferLength)
{
    Clear();
    m_dwType = type;
    m_bAttached = true;
    m_pv = storage;
    m_nBufferLength = bufferLength;
}

CDBVariantEx& CDBVariantEx::operator=(CFile& file)
{
    Clear();
    PutData(file);
    return *this;
}

bool CDBVariantEx::Usable() const
{
    if (m_dwType > DBVT_BIGINT || (m_dwType >= 10 && m_dwType <= 14))
        return false;
    return !(m_bAttached && m_pv == nullptr);
}

void* CDBVariantEx::Storage() const
{
    if (m_bAttached)
        return m_pv;
    switch (m_dwType) {
    case DBVT_DATE:
    case DBVT_STRING:
    case DBVT_BINARY:
    case DBVT_GUID: return m_pv;
    default: return const_cast<void*>(static_cast<const void*>(&m_i64Val));
    }
}

bool CDBVariantEx::TakeType(DWORD type)
{
    if (m_dwType != DBVT_NULL)
        return true;
    if (m_bAttached)
        return false;
    m_dwType = type;
    m_i64Val = 0;
    switch (type) {
    case DBVT_DATE: m_pdate = new TIMESTAMP_STRUCT{}; break;
    case DBVT_STRING: m_pstring = new std::string; break;
    case DBVT_BINARY: m_pbinary = new std::vector<std::uint8_t>; break;
    case DBVT_GUID: m_pguid = new GUID{}; break;
    default: break;
    }
    return true;
}

bool CDBVariantEx::ReadInteger(std::int64_t& v) const
{
    const void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: v = *static_cast<const BOOL*>(p) != 0; return true;
    case DBVT_UCHAR: v = *static_cast<const unsigned char*>(p); return true;
    case DBVT_SHORT: v = *static_cast<const short*>(p); return true;
    case DBVT_LONG: v = *static_cast<const LONG*>(p); return true;
    case DBVT_BIGINT: v = *static_cast<const std::int64_t*>(p); return true;
    default: return false;
    }
}

bool CDBVariantEx::ReadReal(double& v) const
{
    std::int64_t i = 0;
    if (ReadInteger(i)) {
        v = static_cast<double>(i);
        return true;
    }
    const void* p = Storage();
    switch (m_dwType) {
    case DBVT_SINGLE: v = *static_cast<const float*>(p); return true;
    case DBVT_DOUBLE: v = *static_cast<const double*>(p); return true;
    case DBVT_STRING: {
        std::string text;
        ReadText(text);
        v = std::atof(text.c_str());
        return true;
    }
    default: return false;
    }
}

bool CDBVariantEx::ReadText(std::string& text) const
{
    if (m_dwType != DBVT_STRING)
        return false;
    if (IsRawBuffer()) {
        const char* p = static_cast<const char*>(m_pv);
        text.assign(p, strnlen(p, static_cast<std::size_t>(m_nBufferLength)));
    } else {
        text = *static_cast<const std::string*>(Storage());
    }
    return true;
}

bool CDBVariantEx::ReadBytes(const std::uint8_t*& data, std::size_t& size) const
{
    if (m_dwType != DBVT_BINARY)
        return false;
    if (IsRawBuffer()) {
        data = static_cast<const std::uint8_t*>(m_pv);
        SQLLEN n = m_nLength < 0 ? 0 : m_nLength;
        size = std::min<std::size_t>(static_cast<std::size_t>(n), static_cast<std::size_t>(m_nBufferLength));
    } else {
        const auto* bytes = static_cast<const std::vector<std::uint8_t>*>(Storage());
        data = bytes->data();
        size = bytes->size();
    }
    return true;
}

namespace {

// An unsigned read goes through the signed read of the same width.
template <class Signed, class Unsigned>
long GetThroughSigned(const CDBVariantEx& value, Unsigned& out)
{
    Signed v = 0;
    long n = value.GetData(v);
    if (n >= 0)
        out = static_cast<Unsigned>(v);
    return n;
}

} // namespace

long CDBVariantEx::GetData(unsigned char& out) const
{
    if (!Readable())
        return -1;
    if (m_dwType == DBVT_BOOL)
        out = *static_cast<const BOOL*>(Storage()) != 0;
    else if (m_dwType == DBVT_UCHAR)
        out = *static_cast<const unsigned char*>(Storage());
    else
        return -1;
    return 1;
}

bool CDBVariantEx::ReadIntegerOrText(std::int64_t& v) const
{
    if (m_dwType != DBVT_STRING)
        return ReadInteger(v);
    std::string text;
    ReadText(text);
    v = std::atoll(text.c_str());
    return true;
}

long CDBVariantEx::GetData(short& out) const
{
    if (!Readable() || m_dwType == DBVT_LONG)
        return -1;
    std::int64_t v = 0;
    if (!ReadIntegerOrText(v) || !Fits<short>(v))
        return -1;
    out = static_cast<short>(v);
    return 2;
}

long CDBVariantEx::GetData(unsigned short& out) const
{
    return GetThroughSigned<short>(*this, out);
}

long CDBVariantEx::GetData(int& out) const
{
    if (!Readable())
        return -1;
    std::int64_t v = 0;
    if (!ReadIntegerOrText(v) || !Fits<std::int32_t>(v))
        return -1;
    out = static_cast<int>(v);
    return 4;
}

long CDBVariantEx::GetData(unsigned int& out) const
{
    return GetThroughSigned<int>(*this, out);
}

long CDBVariantEx::GetData(float& out) const
{
    double v = 0;
    if (!Readable() || !ReadReal(v) || !FitsFloat(v))
        return -1;
    out = static_cast<float>(v);
    return 4;
}

long CDBVariantEx::GetData(double& out) const
{
    double v = 0;
    if (!Readable() || !ReadReal(v))
        return -1;
    out = v;
    return 8;
}

long CDBVariantEx::GetData(std::int64_t& out) const
{
    if (!Readable())
        return -1;
    std::int64_t v = 0;
    if (m_dwType == DBVT_SINGLE || m_dwType == DBVT_DOUBLE) {
        double d = 0;
        ReadReal(d);
        if (!TruncateTo(d, v))
            return -1;
    } else if (!ReadIntegerOrText(v)) {
        return -1;
    }
    out = v;
    return 8;
}

long CDBVariantEx::GetData(std::uint64_t& out) const
{
    return GetThroughSigned<std::int64_t>(*this, out);
}

long CDBVariantEx::GetData(TIMESTAMP_STRUCT& out) const
{
    if (!Readable() || m_dwType != DBVT_DATE)
        return -1;
    out = *static_cast<const TIMESTAMP_STRUCT*>(Storage());
    return 16;
}

long CDBVariantEx::GetData(DATE_STRUCT& out) const
{
    TIMESTAMP_STRUCT ts{};
    if (GetData(ts) < 0)
        return -1;
    CopyDate(out, ts);
    return 6;
}

long CDBVariantEx::GetData(TIME_STRUCT& out) const
{
    TIMESTAMP_STRUCT ts{};
    if (GetData(ts) < 0)
        return -1;
    CopyTime(out, ts);
    return 6;
}

long CDBVariantEx::GetData(SYSTEMTIME& out) const
{
    TIMESTAMP_STRUCT ts{};
    if (GetData(ts) < 0)
        return -1;
    CopyDateTime(out, ts);
    return 16;
}

long CDBVariantEx::GetData(GUID& out) const
{
    if (!Readable() || m_dwType != DBVT_GUID)
        return -1;
    out = *static_cast<const GUID*>(Storage());
    return 16;
}

long CDBVariantEx::GetData(std::string& out, int precision) const
{
    out.clear();
    if (!Readable())
        return -1;
    if (precision < 0)
        precision = 2;
    const void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: out = *static_cast<const BOOL*>(p) ? "TRUE" : "FALSE"; break;
    case DBVT_UCHAR: out = Printf("%d", *static_cast<const unsigned char*>(p)); break;
    case DBVT_SHORT: out = Printf("%d", *static_cast<const short*>(p)); break;
    case DBVT_LONG: out = Printf("%d", *static_cast<const LONG*>(p)); break;
    case DBVT_BIGINT: out = Printf("%" PRId64, *static_cast<const std::int64_t*>(p)); break;
    case DBVT_SINGLE: out = FormatReal(*static_cast<const float*>(p), precision, true); break;
    case DBVT_DOUBLE: out = FormatReal(*static_cast<const double*>(p), precision, false); break;
    case DBVT_DATE: out = FormatDate(*static_cast<const TIMESTAMP_STRUCT*>(p), m_pszDateFormat); break;
    case DBVT_STRING: ReadText(out); break;
    case DBVT_BINARY: {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
        ReadBytes(data, size);
        ByteToString(data, static_cast<int>(size), out);
        break;
    }
    case DBVT_GUID: out = GuidToString(*static_cast<const GUID*>(p)); break;
    default: return -1;
    }
    return static_cast<long>(out.size());
}

long CDBVariantEx::GetData(unsigned char* buffer, unsigned long size) const
{
    if (!Readable())
        return -1;
    if (m_dwType == DBVT_STRING) {
        std::string text;
        ReadText(text);
        unsigned long needed = static_cast<unsigned long>(text.size()) + 1;
        if (buffer == nullptr || size == 0)
            return static_cast<long>(needed);
        // An exact fit counts as a cut: the result is then the characters
        // copied, never more than the buffer holds besides the zero.
        if (size > needed) {
            std::memcpy(buffer, text.c_str(), needed);
            return static_cast<long>(needed);
        }
        std::size_t n = AfxUtf8CutLength(text.data(), size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
        return static_cast<long>(n);
    }
    if (m_dwType == DBVT_BINARY) {
        const std::uint8_t* data = nullptr;
        std::size_t count = 0;
        ReadBytes(data, count);
        if (buffer == nullptr || size == 0)
            return static_cast<long>(count);
        std::size_t n = std::min<std::size_t>(count, size);
        if (n > 0)
            std::memcpy(buffer, data, n);
        return static_cast<long>(n);
    }
    return -1;
}

long CDBVariantEx::GetData(std::vector<std::uint8_t>& out) const
{
    long needed = GetData(static_cast<unsigned char*>(nullptr), 0);
    if (needed < 1)
        return needed;
    // One byte to spare, so that a text arrives whole with its zero.
    out.assign(static_cast<std::size_t>(needed) + 1, 0);
    long got = GetData(out.data(), static_cast<unsigned long>(out.size()));
    out.resize(static_cast<std::size_t>(needed));
    return got;
}

long CDBVariantEx::GetData(CFile& out) const
{
    if (!Readable())
        return -1;
    if (m_dwType == DBVT_STRING) {
        std::string text;
        ReadText(text);
        out.Write(text.c_str(), text.size() + 1);
        return static_cast<long>(text.size() + 1);
    }
    if (m_dwType == DBVT_BINARY) {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
        ReadBytes(data, size);
        if (size > 0)
            out.Write(data, size);
        return static_cast<long>(size);
    }
    return -1;
}

// Writing

bool CDBVariantEx::WriteText(const std::string& text)
{
    if (m_dwType != DBVT_STRING)
        return false;
    if (IsRawBuffer()) {
        char* p = static_cast<char*>(m_pv);
        std::size_t room = m_nBufferLength >= 2 ? static_cast<std::size_t>(m_nBufferLength) - 2 : 0;
        std::size_t n = AfxUtf8CutLength(text.data(), std::min(text.size(), room));
        std::memcpy(p, text.data(), n);
        p[n] = 0;
        p[m_nBufferLength - 1] = 0;
        m_nLength = SQL_NTS;
    } else {
        *static_cast<std::string*>(Storage()) = text;
    }
    return true;
}

bool CDBVariantEx::WriteInteger(std::int64_t v, bool fromText)
{
    void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: *static_cast<BOOL*>(p) = v != 0; return true;
    case DBVT_UCHAR:
        if (!fromText || !Fits<unsigned char>(v))
            return false;
        *static_cast<unsigned char*>(p) = static_cast<unsigned char>(v);
        return true;
    case DBVT_SHORT:
        if (!Fits<short>(v))
            return false;
        *static_cast<short*>(p) = static_cast<short>(v);
        return true;
    case DBVT_LONG:
        if (!Fits<std::int32_t>(v))
            return false;
        *static_cast<LONG*>(p) = static_cast<LONG>(v);
        return true;
    case DBVT_BIGINT: *static_cast<std::int64_t*>(p) = v; return true;
    case DBVT_SINGLE: *static_cast<float*>(p) = static_cast<float>(v); return true;
    case DBVT_DOUBLE: *static_cast<double*>(p) = static_cast<double>(v); return true;
    default: return false;
    }
}

bool CDBVariantEx::PutData(unsigned char v)
{
    if (!Usable() || !TakeType(DBVT_UCHAR))
        return false;
    if (m_dwType == DBVT_UCHAR) {
        *static_cast<unsigned char*>(Storage()) = v;
        return true;
    }
    if (m_dwType == DBVT_STRING)
        return WriteText(Printf("%d", v));
    return WriteInteger(v, false);
}

bool CDBVariantEx::PutData(short v)
{
    if (!Usable() || !TakeType(DBVT_SHORT))
        return false;
    if (m_dwType == DBVT_STRING)
        return WriteText(Printf("%d", v));
    return WriteInteger(v, false);
}

bool CDBVariantEx::PutData(int v)
{
    if (!Usable() || !TakeType(DBVT_LONG))
        return false;
    if (m_dwType == DBVT_STRING)
        return WriteText(Printf("%d", v));
    return WriteInteger(v, false);
}

bool CDBVariantEx::PutData(double v)
{
    if (!Usable() || !TakeType(DBVT_DOUBLE))
        return false;
    void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: *static_cast<BOOL*>(p) = v != 0.0; return true;
    case DBVT_SHORT: {
        short s = 0;
        if (!TruncateTo(v, s))
            return false;
        *static_cast<short*>(p) = s;
        return true;
    }
    case DBVT_LONG: {
        std::int32_t l = 0;
        if (!TruncateTo(v, l))
            return false;
        *static_cast<LONG*>(p) = l;
        return true;
    }
    case DBVT_BIGINT: {
        std::int64_t i = 0;
        if (!TruncateTo(v, i))
            return false;
        *static_cast<std::int64_t*>(p) = i;
        return true;
    }
    case DBVT_SINGLE:
        if (!FitsFloat(v))
            return false;
        *static_cast<float*>(p) = static_cast<float>(v);
        return true;
    case DBVT_DOUBLE: *static_cast<double*>(p) = v; return true;
    case DBVT_STRING: return WriteText(Printf("%f", v));
    default: return false;
    }
}

bool CDBVariantEx::PutData(float v)
{
    if (!Usable() || !TakeType(DBVT_SINGLE))
        return false;
    return PutData(static_cast<double>(v));
}

bool CDBVariantEx::PutData(std::int64_t v)
{
    if (!Usable() || !TakeType(DBVT_BIGINT))
        return false;
    void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: *static_cast<BOOL*>(p) = v != 0; return true;
    case DBVT_BIGINT: *static_cast<std::int64_t*>(p) = v; return true;
    case DBVT_STRING: return WriteText(Printf("%" PRId64, v));
    default: return false;
    }
}

template <class Part>
bool CDBVariantEx::PutDateTimePart(const Part& v)
{
    if (!Usable() || !TakeType(DBVT_DATE) || m_dwType != DBVT_DATE)
        return false;
    CopyDateTime(*static_cast<TIMESTAMP_STRUCT*>(Storage()), v);
    return true;
}

bool CDBVariantEx::PutData(const DATE_STRUCT& v)
{
    return PutDateTimePart(v);
}

bool CDBVariantEx::PutData(const TIME_STRUCT& v)
{
    return PutDateTimePart(v);
}

bool CDBVariantEx::PutData(const TIMESTAMP_STRUCT& v)
{
    if (!Usable() || !TakeType(DBVT_DATE) || m_dwType != DBVT_DATE)
        return false;
    *static_cast<TIMESTAMP_STRUCT*>(Storage()) = v;
    return true;
}

bool CDBVariantEx::PutData(const SYSTEMTIME& v)
{
    return PutDateTimePart(v);
}

bool CDBVariantEx::PutData(const GUID& v)
{
    if (!Usable() || !TakeType(DBVT_GUID))
        return false;
    if (m_dwType == DBVT_GUID) {
        *static_cast<GUID*>(Storage()) = v;
        return true;
    }
    if (m_dwType == DBVT_STRING)
        return WriteText(GuidToString(v));
    return false;
}

bool CDBVariantEx::PutData(const char* v)
{
    if (!Usable() || !TakeType(DBVT_STRING))
        return false;
    void* p = Storage();
    switch (m_dwType) {
    case DBVT_BOOL: *static_cast<BOOL*>(p) = v != nullptr && strcasecmp(v, "TRUE") == 0; return true;
    case DBVT_UCHAR:
    case DBVT_SHORT:
    case DBVT_LONG: {
        std::int64_t i = 0;
        return ParseInteger(v, i) && WriteInteger(i, true);
    }
    case DBVT_SINGLE: {
        double d = v ? std::atof(v) : 0.0;
        if (!FitsFloat(d))
            return false;
        *static_cast<float*>(p) = static_cast<float>(d);
        return true;
    }
    case DBVT_DOUBLE: *static_cast<double*>(p) = v ? std::atof(v) : 0.0; return true;
    case DBVT_BIGINT: *static_cast<std::int64_t*>(p) = v ? std::atoll(v) : 0; return true;
    case DBVT_DATE: {
        TIMESTAMP_STRUCT ts{};
        if (!ParseDateTime(v, ts))
            return false;
        *static_cast<TIMESTAMP_STRUCT*>(p) = ts;
        return true;
    }
    case DBVT_GUID: {
        GUID g{};
        if (!GuidFromString(v, g))
            return false;
        *static_cast<GUID*>(p) = g;
        return true;
    }
    case DBVT_BINARY:
        if (IsRawBuffer()) {
            if (v == nullptr) {
                m_nLength = 0;
                return true;
            }
            std::size_t n = std::min<std::size_t>(std::strlen(v) + 1, static_cast<std::size_t>(m_nBufferLength));
            std::memcpy(p, v, n);
            return true;
        }
        if (v == nullptr)
            static_cast<std::vector<std::uint8_t>*>(p)->clear();
        else
            static_cast<std::vector<std::uint8_t>*>(p)->assign(v, v + std::strlen(v) + 1);
        return true;
    case DBVT_STRING: return WriteText(v ? std::string(v) : std::string());
    default: return false;
    }
}

bool CDBVariantEx::PutData(const unsigned char* data, unsigned long size)
{
    if (!Usable() || !TakeType(DBVT_BINARY))
        return false;
    void* p = Storage();
    if (m_dwType == DBVT_STRING) {
        if (IsRawBuffer()) {
            char* buffer = static_cast<char*>(p);
            if (data == nullptr) {
                buffer[0] = 0;
                return true;
            }
            std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(m_nBufferLength) - 1);
            std::memcpy(buffer, data, n);
            buffer[n] = 0;
            m_nLength = SQL_NTS;
            return true;
        }
        *static_cast<std::string*>(p) =
            data ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
        return true;
    }
    if (m_dwType == DBVT_BINARY) {
        if (IsRawBuffer()) {
            if (data == nullptr) {
                m_nLength = 0;
                return true;
            }
            std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(m_nBufferLength));
            std::memcpy(p, data, n);
            return true;
        }
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(p);
        if (data == nullptr)
            bytes->clear();
        else
            bytes->assign(data, data + size);
        return true;
    }
    return false;
}

std::vector<std::uint8_t> ReadFileFromStart(CFile& file)
{
    file.Seek(0, CFile::begin);
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[8192];
    for (std::size_t n; (n = file.Read(chunk, sizeof chunk)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}

std::string TextUpToZero(const std::vector<std::uint8_t>& bytes)
{
    std::size_t zero = 0;
    while (zero < bytes.size() && bytes[zero] != 0)
        ++zero;
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(zero));
}

bool CDBVariantEx::PutData(CFile& file)
{
    if (!Usable() || !TakeType(DBVT_BINARY))
        return false;
    if (m_dwType != DBVT_STRING && m_dwType != DBVT_BINARY)
        return false;
    std::vector<std::uint8_t> bytes = ReadFileFromStart(file);
    if (m_dwType == DBVT_STRING) {
        // A raw character buffer receives what fits, cut on a character boundary.
        return WriteText(TextUpToZero(bytes));
    }
    return PutData(bytes.data(), static_cast<unsigned long>(bytes.size()));
}

// Records

void CODBCFieldInfoEx::InitFromInfo(const CODBCFieldInfo& info)
{
    static_cast<CODBCFieldInfo&>(*this) = info;
    m_strLabel.clear();
    m_nUpdatable = 0;
    m_nSearchable = 0;
    m_bAutoIncrement = false;
    m_bCaseSensitive = false;
}

static std::string ParamName(const char* name, int index)
{
    if (name == nullptr || *name == '\0')
        return "PARAM_" + std::to_string(index);
    return name;
}

CODBCParamInfoEx::CODBCParamInfoEx(const char* name, int index) : m_strName(ParamName(name, index)) {}

CODBCParamInfoEx::CODBCParamInfoEx(const char* name, short cType, short sqlType, std::uint32_t precision,
                                   int index, short paramType, short scale)
    : m_strName(ParamName(name, index))
{
    SetValues(cType, sqlType, precision, paramType, scale);
}

void CODBCParamInfoEx::SetValues(short cType, short sqlType, std::uint32_t precision, short paramType,
                                 short scale)
{
    m_nCType = cType;
    m_nSQLType = sqlType;
    m_nPrecision = precision;
    m_nParamType = paramType;
    m_nScale = scale;
}
