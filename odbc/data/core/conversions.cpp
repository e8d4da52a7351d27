#include "odbc/data/core/conversions.h"

#include "winapi/text.h"

#include <cctype>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <langinfo.h>
#include <locale.h>
#include <stdexcept>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t Seconds(std::int64_t y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s)
{
    return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::uint16_t DayOfWeek(std::int64_t y, unsigned m, unsigned d)
{
    std::int64_t days = DaysFromCivil(y, m, d);
    return static_cast<std::uint16_t>(days >= -4 ? (days + 4) % 7 : (days + 5) % 7 + 6);
}

std::uint32_t U32(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

std::uint16_t U16(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}

void PutU32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Formats with the user's locale (from the environment) or the "C" locale.
// A null pattern is the locale's short date, with the year in four digits
// where the locale writes two (1924 and 2024 must not look alike).
bool Format(const std::tm& tm, const char* pattern, bool systemLocale, std::string& out)
{
    locale_t loc = newlocale(LC_ALL_MASK, systemLocale ? "C" : "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    std::string shortDate;
    if (pattern == nullptr) {
        shortDate = nl_langinfo_l(D_FMT, loc);
        for (std::size_t i = 0; i + 1 < shortDate.size(); ++i) {
            if (shortDate[i] != '%')
                continue;
            if (shortDate[i + 1] == 'y')
                shortDate[i + 1] = 'Y';
            ++i;
        }
        pattern = shortDate.c_str();
    }
    char buffer[256];
    std::size_t n = strftime_l(buffer, sizeof buffer, pattern, &tm, loc);
    freelocale(loc);
    if (n == 0)
        return false;
    out.assign(buffer, n);
    return true;
}

bool ValidDate(int y, int m, int d)
{
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

} // namespace

void CopyDateTime(TIMESTAMP_STRUCT& out, const DATE_STRUCT& date)
{
    out.year = date.year;
    out.month = date.month;
    out.day = date.day;
    out.fraction = 0;
}

void CopyDateTime(TIMESTAMP_STRUCT& out, const TIME_STRUCT& time)
{
    out.hour = time.hour;
    out.minute = time.minute;
    out.second = time.second;
    out.fraction = 0;
}

void CopyDateTime(TIMESTAMP_STRUCT& out, const SYSTEMTIME& st)
{
    out.year = static_cast<SQLSMALLINT>(st.wYear);
    out.month = st.wMonth;
    out.day = st.wDay;
    out.hour = st.wHour;
    out.minute = st.wMinute;
    out.second = st.wSecond;
    out.fraction = 0;
}

void CopyDateTime(SYSTEMTIME& out, const DATE_STRUCT& date, const TIME_STRUCT& time)
{
    out.wYear = static_cast<std::uint16_t>(date.year);
    out.wMonth = date.month;
    out.wDay = date.day;
    out.wHour = time.hour;
    out.wMinute = time.minute;
    out.wSecond = time.second;
    out.wMilliseconds = 0;
    out.wDayOfWeek = DayOfWeek(date.year, date.month, date.day);
}

void CopyDateTime(SYSTEMTIME& out, const TIMESTAMP_STRUCT& ts)
{
    CopyDateTime(out, DATE_STRUCT{ts.year, ts.month, ts.day}, TIME_STRUCT{ts.hour, ts.minute, ts.second});
}

void CopyDate(DATE_STRUCT& out, const TIMESTAMP_STRUCT& ts)
{
    out = DATE_STRUCT{ts.year, ts.month, ts.day};
}

void CopyTime(TIME_STRUCT& out, const TIMESTAMP_STRUCT& ts)
{
    out = TIME_STRUCT{ts.hour, ts.minute, ts.second};
}

void CopyDate(DATE_STRUCT& out, const SYSTEMTIME& st)
{
    out = DATE_STRUCT{static_cast<SQLSMALLINT>(st.wYear), st.wMonth, st.wDay};
}

void CopyTime(TIME_STRUCT& out, const SYSTEMTIME& st)
{
    out = TIME_STRUCT{st.wHour, st.wMinute, st.wSecond};
}

int DaysFromBeginYear(const DATE_STRUCT& date)
{
    return static_cast<int>(DaysFromCivil(date.year, date.month, date.day) - DaysFromCivil(date.year, 1, 1));
}

int DaysFromBeginYear(const SYSTEMTIME& st)
{
    return static_cast<int>(DaysFromCivil(st.wYear, st.wMonth, st.wDay) - DaysFromCivil(st.wYear, 1, 1));
}

int DiffInDay(const DATE_STRUCT& a, const DATE_STRUCT& b)
{
    return static_cast<int>(DaysFromCivil(a.year, a.month, a.day) - DaysFromCivil(b.year, b.month, b.day));
}

int DiffInDay(const TIMESTAMP_STRUCT& a, const DATE_STRUCT& b)
{
    return static_cast<int>(DaysFromCivil(a.year, a.month, a.day) - DaysFromCivil(b.year, b.month, b.day));
}

int DiffInDay(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return static_cast<int>(DiffInSec(a, b) / 86400);
}

int DiffInSec(const TIME_STRUCT& a, const TIME_STRUCT& b)
{
    return (a.hour - b.hour) * 3600 + (a.minute - b.minute) * 60 + (a.second - b.second);
}

int DiffInMin(const TIME_STRUCT& a, const TIME_STRUCT& b)
{
    return (a.hour - b.hour) * 60 + (a.minute - b.minute);
}

std::int64_t DiffInSec(const TIMESTAMP_STRUCT& a, const TIMESTAMP_STRUCT& b)
{
    return Seconds(a.year, a.month, a.day, a.hour, a.minute, a.second) -
           Seconds(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

std::int64_t DiffInSec(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return Seconds(a.wYear, a.wMonth, a.wDay, a.wHour, a.wMinute, a.wSecond) -
           Seconds(b.wYear, b.wMonth, b.wDay, b.wHour, b.wMinute, b.wSecond);
}

int DiffInMin(const TIMESTAMP_STRUCT& a, const TIMESTAMP_STRUCT& b)
{
    return static_cast<int>(DiffInSec(a, b) / 60);
}

int DiffInMin(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return static_cast<int>(DiffInSec(a, b) / 60);
}

bool DateToString(const DATE_STRUCT& date, std::string& out, bool longFormat, bool systemLocale)
{
    if (!ValidDate(date.year, date.month, date.day))
        return false;
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_wday = DayOfWeek(date.year, date.month, date.day);
    tm.tm_yday = DaysFromBeginYear(date);
    return Format(tm, longFormat ? "%A, %d %B %Y" : nullptr, systemLocale, out);
}

bool TimeToString(const TIME_STRUCT& time, std::string& out, bool systemLocale)
{
    if (time.hour > 23 || time.minute > 59 || time.second > 61)
        return false;
    std::tm tm{};
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    return Format(tm, "%H:%M:%S", systemLocale, out);
}

bool DateTimeToString(const TIMESTAMP_STRUCT& ts, std::string& out, bool longFormat, bool systemLocale)
{
    std::string date, time;
    if (!DateToString(DATE_STRUCT{ts.year, ts.month, ts.day}, date, longFormat, systemLocale))
        return false;
    out = date;
    if (!TimeToString(TIME_STRUCT{ts.hour, ts.minute, ts.second}, time, systemLocale))
        return false;
    out = date + " " + time;
    return true;
}

void ByteToString(const unsigned char* bytes, int count, std::string& out)
{
    out = "0x";
    for (int i = 0; i < count && bytes != nullptr; ++i)
        winapi::AppendHexByte(out, bytes[i]);
}

void StringToByte(const char* text, std::vector<std::uint8_t>& out)
{
    if (text == nullptr)
        return;
    std::size_t len = std::strlen(text);
    std::size_t pos = 0;
    if (len > 0 && (text[0] == 'x' || text[0] == 'X'))
        pos = 1;
    else if (len > 1 && text[1] == 'x')
        pos = 2;
    for (; pos < len; pos += 2) {
        char pair[3] = {text[pos], pos + 1 < len ? text[pos + 1] : '\0', '\0'};
        out.push_back(static_cast<std::uint8_t>(std::isxdigit(static_cast<unsigned char>(pair[0]))
                                                    ? std::strtoul(pair, nullptr, 16)
                                                    : 0));
    }
}

bool IconFileOfArray(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& file)
{
    file.clear();
    // Header (6 bytes), then the first 16-byte directory entry.
    if (data.size() < 6 + 16 || U16(data, 0) != 0 || U16(data, 4) == 0)
        return false;
    std::uint32_t size = U32(data, 6 + 8);
    std::uint32_t offset = U32(data, 6 + 12);
    if (offset == 0 || size == 0 || offset > data.size() || size > data.size() - offset)
        return false;
    // An icon file of that one image.
    file.assign(data.begin(), data.begin() + 6 + 16);
    file[4] = 1;
    file[5] = 0;
    PutU32(file, 6 + 12, 6 + 16);
    file.insert(file.end(), data.begin() + offset, data.begin() + offset + size);
    return true;
}

bool BitmapFileOfArray(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& file)
{
    file.clear();
    const std::size_t fileHeader = 14, infoHeader = 40;
    if (data.size() < fileHeader + infoHeader || data[0] != 'B' || data[1] != 'M')
        return false;
    if (U32(data, fileHeader) < infoHeader)
        return false;
    std::int32_t width = static_cast<std::int32_t>(U32(data, 18));
    std::int32_t height = static_cast<std::int32_t>(U32(data, 22));
    std::uint16_t bits = U16(data, 28);
    std::uint32_t compression = U32(data, 30);
    std::uint32_t used = U32(data, 46);
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min())
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    std::uint64_t colours = used != 0 ? used : (bits <= 8 ? (1u << bits) : 0);
    if (bits <= 8 && colours > (1u << bits))
        return false;
    std::uint64_t offset = fileHeader + U32(data, fileHeader);
    offset += colours * 4;
    if (bits > 8 && compression == 3)
        offset += 12;
    std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
    std::uint64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (compression != 0 && compression != 3)
        return false; // compressed bits have no fixed size to check
    if (offset > data.size() || stride * rows > data.size() - offset)
        return false;
    file = data;
    PutU32(file, 10, static_cast<std::uint32_t>(offset));
    return true;
}

// CByteArrayEx

CByteArrayEx::~CByteArrayEx()
{
    delete[] m_pData;
}

void CByteArrayEx::SetSize(int size)
{
    if (size < 0)
        throw std::invalid_argument("negative size");
    if (size > m_nMaxSize) {
        auto* data = new unsigned char[static_cast<std::size_t>(size)]();
        if (m_nSize > 0)
            std::memcpy(data, m_pData, static_cast<std::size_t>(m_nSize));
        delete[] m_pData;
        m_pData = data;
        m_nMaxSize = size;
    } else if (size > m_nSize) {
        std::memset(m_pData + m_nSize, 0, static_cast<std::size_t>(size - m_nSize));
    }
    m_nSize = size;
}

void CByteArrayEx::AttachBuffer(unsigned char* buffer, int size, int bufferSize)
{
    if (bufferSize == -1)
        bufferSize = size;
    if (size < 0 || bufferSize < size || (buffer == nullptr && bufferSize > 0))
        throw std::invalid_argument("buffer smaller than its size");
    delete[] m_pData;
    m_pData = buffer;
    m_nSize = size;
    m_nMaxSize = bufferSize;
}

unsigned char* CByteArrayEx::DetachBuffer()
{
    unsigned char* data = m_pData;
    m_pData = nullptr;
    m_nSize = m_nMaxSize = m_nGrowBy = 0;
    return data;
}
