// Date, time, hex and image-file conversions, and the byte array that
// adopts and releases a raw buffer. The images are decoded by
// odbc/data/ui/arrayimages.h.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <vector>

#ifndef KELM_HAVE_SYSTEMTIME
#define KELM_HAVE_SYSTEMTIME
// The system date-time record: day of week 0 = Sunday.
struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;
    std::uint16_t wDayOfWeek;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};
#endif

void CopyDateTime(TIMESTAMP_STRUCT& out, const DATE_STRUCT& date);
void CopyDateTime(TIMESTAMP_STRUCT& out, const TIME_STRUCT& time);
void CopyDateTime(TIMESTAMP_STRUCT& out, const SYSTEMTIME& st);
void CopyDateTime(SYSTEMTIME& out, const DATE_STRUCT& date, const TIME_STRUCT& time);
void CopyDateTime(SYSTEMTIME& out, const TIMESTAMP_STRUCT& ts);
void CopyDate(DATE_STRUCT& out, const TIMESTAMP_STRUCT& ts);
void CopyTime(TIME_STRUCT& out, const TIMESTAMP_STRUCT& ts);
void CopyDate(DATE_STRUCT& out, const SYSTEMTIME& st);
void CopyTime(TIME_STRUCT& out, const SYSTEMTIME& st);

// Differences are the first argument minus the second.
int DaysFromBeginYear(const DATE_STRUCT& date);
int DaysFromBeginYear(const SYSTEMTIME& st);
int DiffInDay(const DATE_STRUCT& a, const DATE_STRUCT& b);
int DiffInDay(const TIMESTAMP_STRUCT& a, const DATE_STRUCT& b);
int DiffInDay(const SYSTEMTIME& a, const SYSTEMTIME& b);
int DiffInSec(const TIME_STRUCT& a, const TIME_STRUCT& b);
int DiffInMin(const TIME_STRUCT& a, const TIME_STRUCT& b);
std::int64_t DiffInSec(const TIMESTAMP_STRUCT& a, const TIMESTAMP_STRUCT& b);
std::int64_t DiffInSec(const SYSTEMTIME& a, const SYSTEMTIME& b);
int DiffInMin(const TIMESTAMP_STRUCT& a, const TIMESTAMP_STRUCT& b);
int DiffInMin(const SYSTEMTIME& a, const SYSTEMTIME& b);

// Locale-formatted text (the user's locale, or the system's, "C").
bool DateToString(const DATE_STRUCT& date, std::string& out, bool longFormat, bool systemLocale);
bool TimeToString(const TIME_STRUCT& time, std::string& out, bool systemLocale);
bool DateTimeToString(const TIMESTAMP_STRUCT& ts, std::string& out, bool longFormat, bool systemLocale);

// "0x" and two lower-case hex digits a byte.
void ByteToString(const unsigned char* bytes, int count, std::string& out);
// Appends the bytes of a hex text ("0x0aff", "x0aff" or "0aff") to out.
void StringToByte(const char* text, std::vector<std::uint8_t>& out);

// Images held in memory, as files a decoder reads. False (and `file`
// empty) when the data is not a whole image of its kind. An icon gives an
// icon file of its first image; a bitmap gives the bitmap with the offset
// of its bits set from its headers.
bool IconFileOfArray(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& file);
bool BitmapFileOfArray(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& file);

// A byte array that can adopt a raw buffer (allocated with new[]) and hand
// its storage back.
class CByteArrayEx {
public:
    CByteArrayEx() = default;
    ~CByteArrayEx();
    CByteArrayEx(const CByteArrayEx&) = delete;
    CByteArrayEx& operator=(const CByteArrayEx&) = delete;

    int GetSize() const { return m_nSize; }
    int GetBufferSize() const { return m_nMaxSize; }
    unsigned char* GetData() { return m_pData; }
    const unsigned char* GetData() const { return m_pData; }
    void SetSize(int size);
    std::vector<std::uint8_t> ToVector() const { return {m_pData, m_pData + m_nSize}; }

    void AttachBuffer(unsigned char* buffer, int size, int bufferSize = -1);
    unsigned char* DetachBuffer();

private:
    unsigned char* m_pData = nullptr;
    int m_nSize = 0;
    int m_nMaxSize = 0;
    int m_nGrowBy = 0;
};
