// Typed values, their conversions, the parameter arrays and the bulk column
// buffer, without a database.
#include "odbc/data/core/bulkvariant.h"
#include "odbc/data/core/conversions.h"
#include "odbc/data/core/paramarray.h"
#include "odbc/data/core/values.h"
#include "odbc/data/ui/arrayimages.h"

#include "afx/file.h"

#include <wx/image.h>
#include <wx/mstream.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <cstring>

namespace {

const GUID kGuid{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
const char* const kGuidText = "{12345678-9ABC-DEF0-0123-456789ABCDEF}";
const char* const kDateFormat = "%Y-%m-%d %H:%M:%S";

std::string Num(long n, const std::string& v)
{
    return n < 0 ? "-1" : std::to_string(n) + ":" + v;
}

std::string Real(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Every read target of a value, each rendered as "bytes:value" or "-1".
std::vector<std::string> ReadAll(const CDBVariantEx& v)
{
    std::vector<std::string> out;
    unsigned char uc = 0;
    long n = v.GetData(uc);
    out.push_back(Num(n, std::to_string(uc)));
    short s = 0;
    n = v.GetData(s);
    out.push_back(Num(n, std::to_string(s)));
    int i = 0;
    n = v.GetData(i);
    out.push_back(Num(n, std::to_string(i)));
    float f = 0;
    n = v.GetData(f);
    out.push_back(Num(n, Real(f)));
    double d = 0;
    n = v.GetData(d);
    out.push_back(Num(n, Real(d)));
    std::int64_t i64 = 0;
    n = v.GetData(i64);
    out.push_back(Num(n, std::to_string(i64)));
    TIMESTAMP_STRUCT ts{};
    n = v.GetData(ts);
    out.push_back(Num(n, std::to_string(ts.year) + "-" + std::to_string(ts.month) + "-" + std::to_string(ts.day) +
                             " " + std::to_string(ts.hour) + ":" + std::to_string(ts.minute) + ":" +
                             std::to_string(ts.second)));
    DATE_STRUCT date{};
    n = v.GetData(date);
    out.push_back(Num(n, std::to_string(date.year) + "-" + std::to_string(date.month) + "-" + std::to_string(date.day)));
    TIME_STRUCT time{};
    n = v.GetData(time);
    out.push_back(Num(n, std::to_string(time.hour) + ":" + std::to_string(time.minute) + ":" + std::to_string(time.second)));
    SYSTEMTIME st{};
    n = v.GetData(st);
    out.push_back(Num(n, std::to_string(st.wYear) + "-" + std::to_string(st.wMonth) + "-" + std::to_string(st.wDay) +
                             " dow" + std::to_string(st.wDayOfWeek)));
    GUID g{};
    n = v.GetData(g);
    out.push_back(Num(n, GuidToString(g)));
    std::string text = "stale";
    n = v.GetData(text, 2);
    out.push_back(n < 0 ? "-1" + text : Num(n, text));
    unsigned char buffer[64] = {};
    n = v.GetData(buffer, sizeof buffer);
    out.push_back(Num(n, ""));
    std::vector<std::uint8_t> bytes;
    n = v.GetData(bytes);
    out.push_back(Num(n, std::to_string(bytes.size())));
    return out;
}

TEST(DBVariantEx, EveryStoredTypeReadAsEveryTarget)
{
    std::vector<std::pair<const char*, CDBVariantEx>> values(12);
    values[0].first = "NULL";
    values[1].first = "BOOL";
    values[1].second.m_dwType = DBVT_BOOL;
    values[1].second.m_boolVal = 1;
    values[2].first = "UCHAR";
    values[2].second = static_cast<unsigned char>(200);
    values[3].first = "SHORT";
    values[3].second = static_cast<short>(-7);
    values[4].first = "LONG";
    values[4].second = 70000;
    values[5].first = "SINGLE";
    values[5].second = 1.5f;
    values[6].first = "DOUBLE";
    values[6].second = -2.75;
    values[7].first = "DATE";
    values[7].second = TIMESTAMP_STRUCT{2024, 2, 29, 13, 14, 15, 0};
    values[7].second.m_pszDateFormat = kDateFormat;
    values[8].first = "STRING";
    values[8].second = "42";
    values[9].first = "BINARY";
    values[9].second = std::vector<std::uint8_t>{0x0A, 0xFF};
    values[10].first = "GUID";
    values[10].second = kGuid;
    values[11].first = "BIGINT";
    values[11].second = std::int64_t(5000000000);

    using Row = std::vector<std::string>;
    const std::string g = std::string("16:") + kGuidText;
    const Row x(14, "-1");
    const std::vector<Row> expected = {
        // uchar, short, int, float, double, int64, timestamp, date, time, systemtime, guid, text, buffer, bytes
        {"-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1"},
        {"1:1", "2:1", "4:1", "4:1", "8:1", "8:1", "-1", "-1", "-1", "-1", "-1", "4:TRUE", "-1", "-1"},
        {"1:200", "2:200", "4:200", "4:200", "8:200", "8:200", "-1", "-1", "-1", "-1", "-1", "3:200", "-1", "-1"},
        {"-1", "2:-7", "4:-7", "4:-7", "8:-7", "8:-7", "-1", "-1", "-1", "-1", "-1", "2:-7", "-1", "-1"},
        {"-1", "-1", "4:70000", "4:70000", "8:70000", "8:70000", "-1", "-1", "-1", "-1", "-1", "5:70000", "-1", "-1"},
        {"-1", "-1", "-1", "4:1.5", "8:1.5", "8:1", "-1", "-1", "-1", "-1", "-1", "4:1.50", "-1", "-1"},
        {"-1", "-1", "-1", "4:-2.75", "8:-2.75", "8:-2", "-1", "-1", "-1", "-1", "-1", "5:-2.75", "-1", "-1"},
        {"-1", "-1", "-1", "-1", "-1", "-1", "16:2024-2-29 13:14:15", "6:2024-2-29", "6:13:14:15",
         "16:2024-2-29 dow4", "-1", "19:2024-02-29 13:14:15", "-1", "-1"},
        {"-1", "2:42", "4:42", "4:42", "8:42", "8:42", "-1", "-1", "-1", "-1", "-1", "2:42", "3:", "3:3"},
        {"-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "6:0x0aff", "2:", "2:2"},
        {"-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", g, std::string("38:") + kGuidText, "-1", "-1"},
        // A 64-bit value that does not fit 16 or 32 bits is refused, not cut.
        {"-1", "-1", "-1", "4:5e+09", "8:5e+09", "8:5000000000", "-1", "-1", "-1", "-1", "-1", "10:5000000000",
         "-1", "-1"},
    };
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ReadAll(values[i].second), expected[i]) << values[i].first;
    (void)x;
}

// Writes one input into a value of each type; renders the stored value.
template <class T>
std::vector<std::string> WriteAll(const T& input)
{
    std::vector<std::string> out;
    for (DWORD type : {DWORD(DBVT_BOOL), DWORD(DBVT_UCHAR), DWORD(DBVT_SHORT), DWORD(DBVT_LONG), DWORD(DBVT_SINGLE),
                       DWORD(DBVT_DOUBLE), DWORD(DBVT_DATE), DWORD(DBVT_STRING), DWORD(DBVT_BINARY), DWORD(DBVT_GUID),
                       DWORD(DBVT_BIGINT)}) {
        CDBVariantEx v;
        switch (type) {
        case DBVT_BOOL:
            v.m_dwType = DBVT_BOOL;
            v.m_boolVal = 0;
            break;
        case DBVT_UCHAR: v = static_cast<unsigned char>(0); break;
        case DBVT_SHORT: v = static_cast<short>(0); break;
        case DBVT_LONG: v = 0; break;
        case DBVT_SINGLE: v = 0.0f; break;
        case DBVT_DOUBLE: v = 0.0; break;
        case DBVT_DATE: v = TIMESTAMP_STRUCT{2000, 1, 1, 10, 20, 30, 0}; break;
        case DBVT_STRING: v = ""; break;
        case DBVT_BINARY: v = std::vector<std::uint8_t>{}; break;
        case DBVT_GUID: v = GUID{}; break;
        case DBVT_BIGINT: v = std::int64_t(0); break;
        }
        v.m_pszDateFormat = kDateFormat;
        CDBVariantEx before(v);
        std::string stored, original;
        before.GetData(original, 2);
        if (!v.PutData(input)) {
            v.GetData(stored, 2);
            EXPECT_EQ(stored, original) << "a refused write changed the value";
            out.push_back("no");
        } else {
            v.GetData(stored, 2);
            out.push_back(stored);
        }
        EXPECT_EQ(v.m_dwType, type);
    }
    return out;
}

TEST(DBVariantEx, EveryInputWrittenIntoEveryType)
{
    using Row = std::vector<std::string>;
    const std::string no = "no";
    // BOOL, UCHAR, SHORT, LONG, SINGLE, DOUBLE, DATE, STRING, BINARY, GUID, BIGINT
    EXPECT_EQ(WriteAll(static_cast<unsigned char>(200)),
              (Row{"TRUE", "200", "200", "200", "200.00", "200.00", no, "200", no, no, "200"}));
    EXPECT_EQ(WriteAll(static_cast<short>(-7)),
              (Row{"TRUE", no, "-7", "-7", "-7.00", "-7.00", no, "-7", no, no, "-7"}));
    // 70000 does not fit 16 bits: refused rather than stored as 4464.
    EXPECT_EQ(WriteAll(70000), (Row{"TRUE", no, no, "70000", "70000.00", "70000.00", no, "70000", no, no, "70000"}));
    EXPECT_EQ(WriteAll(2.9f), (Row{"TRUE", no, "2", "2", "2.90", "2.90", no, "2.900000", no, no, "2"}));
    EXPECT_EQ(WriteAll(-2.9), (Row{"TRUE", no, "-2", "-2", "-2.90", "-2.90", no, "-2.900000", no, no, "-2"}));
    EXPECT_EQ(WriteAll(std::int64_t(5000000000)),
              (Row{"TRUE", no, no, no, no, no, no, "5000000000", no, no, "5000000000"}));
    EXPECT_EQ(WriteAll(DATE_STRUCT{2024, 2, 29}), (Row{no, no, no, no, no, no, "2024-02-29 10:20:30", no, no, no, no}));
    EXPECT_EQ(WriteAll(TIME_STRUCT{13, 14, 15}), (Row{no, no, no, no, no, no, "2000-01-01 13:14:15", no, no, no, no}));
    EXPECT_EQ(WriteAll(TIMESTAMP_STRUCT{2024, 2, 29, 13, 14, 15, 0}),
              (Row{no, no, no, no, no, no, "2024-02-29 13:14:15", no, no, no, no}));
    EXPECT_EQ(WriteAll(SYSTEMTIME{2024, 2, 4, 29, 13, 14, 15, 999}),
              (Row{no, no, no, no, no, no, "2024-02-29 13:14:15", no, no, no, no}));
    EXPECT_EQ(WriteAll(static_cast<const char*>("0x10")),
              (Row{"FALSE", "16", "16", "16", "16.00", "16.00", no, "0x10", "0x3078313000", no, "0"}));
    EXPECT_EQ(WriteAll(std::vector<std::uint8_t>{'h', 'i'}), (Row{no, no, no, no, no, no, no, "hi", "0x6869", no, no}));
    EXPECT_EQ(WriteAll(kGuid), (Row{no, no, no, no, no, no, no, kGuidText, no, kGuidText, no}));
}

TEST(DBVariantEx, TextIntoIntegersAndBooleans)
{
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"0x10", true, 16}, {"10", true, 10},   {"ff", true, 255}, {"1F", true, 31}, {"-5", true, -5},
        {" 12 ", true, 12}, {"", true, 0},      {nullptr, true, 0}, {"10 abc", false, 0}, {"12z", false, 0},
        {"0x", false, 0},   {"99999999999", false, 0},
    };
    for (const Case& c : cases) {
        CDBVariantEx v;
        v = 123;
        EXPECT_EQ(v.PutData(c.text), c.ok) << (c.text ? c.text : "(null)");
        int out = 0;
        v.GetData(out);
        EXPECT_EQ(out, c.ok ? c.value : 123) << (c.text ? c.text : "(null)");
    }
    for (auto [text, value] : {std::pair<const char*, int>{"TRUE", 1}, {"true", 1}, {"yes", 0}, {nullptr, 0}}) {
        CDBVariantEx v;
        v.m_dwType = DBVT_BOOL;
        v.m_boolVal = 5;
        EXPECT_TRUE(v.PutData(text));
        EXPECT_EQ(v.m_boolVal, value);
    }
    CDBVariantEx date;
    date = TIMESTAMP_STRUCT{2000, 1, 1, 0, 0, 0, 0};
    EXPECT_TRUE(date.PutData("2024-02-29 13:14:15"));
    EXPECT_FALSE(date.PutData("not a date"));
    TIMESTAMP_STRUCT ts{};
    date.GetData(ts);
    EXPECT_EQ(ts.day, 29);
    EXPECT_EQ(ts.second, 15);
}

TEST(DBVariantEx, NullOwnedTakesTheInputTypeAttachedNullRefuses)
{
    CDBVariantEx owned;
    EXPECT_TRUE(owned.PutData("text"));
    EXPECT_EQ(owned.m_dwType, DBVT_STRING);
    CDBVariantEx attached;
    attached.m_bAttached = true;
    int storage = 0;
    attached.m_pv = &storage;
    EXPECT_FALSE(attached.PutData("text"));
    EXPECT_EQ(attached.m_dwType, DBVT_NULL);
    // Single precision read as text with a negative precision gives two places.
    CDBVariantEx single;
    single = 1.5f;
    std::string text;
    EXPECT_EQ(single.GetData(text, -1), 4);
    EXPECT_EQ(text, "1.50");
    // Codes 10 to 14 convert to nothing.
    CDBVariantEx odd;
    odd.m_dwType = 12;
    EXPECT_EQ(odd.GetData(text, 2), -1);
    EXPECT_FALSE(odd.PutData(1));
    odd.m_dwType = DBVT_NULL;
}

TEST(DBVariantEx, AttachedStorageIsWrittenSharedAndNeverFreed)
{
    LONG number = 5;
    CDBVariantEx v;
    v.Attach(DBVT_LONG, &number);
    EXPECT_TRUE(v.PutData(static_cast<short>(-3)));
    EXPECT_EQ(number, -3);
    CDBVariantEx copy(v);
    EXPECT_TRUE(copy.m_bAttached);
    copy.PutData(8);
    EXPECT_EQ(number, 8);
    v.Clear();
    EXPECT_FALSE(v.m_bAttached);
    EXPECT_EQ(number, 8);

    // A raw character buffer of n bytes takes n - 2 characters, never half of one.
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    CDBVariantEx raw;
    raw.Attach(DBVT_STRING, buffer, sizeof buffer);
    EXPECT_TRUE(raw.PutData("abcdefghij"));
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(buffer[7], 0);
    EXPECT_EQ(raw.m_nLength, SQL_NTS);
    EXPECT_TRUE(raw.PutData("\xD0\xB6\xD0\xB6\xD0\xB6\xD0\xB6")); // four two-byte letters
    EXPECT_STREQ(buffer, "\xD0\xB6\xD0\xB6\xD0\xB6");

    // A raw byte buffer: at most its length; a null text sets the indicator to 0.
    unsigned char bytes[3] = {};
    CDBVariantEx bin;
    bin.Attach(DBVT_BINARY, bytes, sizeof bytes);
    bin.m_nLength = 3;
    EXPECT_TRUE(bin.PutData("abcdef"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 3), "abc");
    EXPECT_TRUE(bin.PutData(static_cast<const char*>(nullptr)));
    EXPECT_EQ(bin.m_nLength, 0);
}

TEST(DBVariantEx, BufferReadsAndOwnedCopies)
{
    CDBVariantEx v;
    v = "abcdef";
    unsigned char buffer[5];
    EXPECT_EQ(v.GetData(buffer, 5), 4);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "abcd");
    EXPECT_EQ(v.GetData(static_cast<unsigned char*>(nullptr), 0), 7);

    // Copies of owned values never share storage; ASan checks each is freed once.
    auto first = std::make_unique<CDBFieldValue>();
    first->m_value = "owned text";
    first->m_info.m_strName = "col";
    auto second = std::make_unique<CDBFieldValue>(*first);
    CDBFieldValue third;
    third = *second;
    EXPECT_NE(first->m_value.m_pstring, second->m_value.m_pstring);
    first.reset();
    second.reset();
    EXPECT_EQ(*third.m_value.m_pstring, "owned text");

    CDBTypedPtrArrayEx<CDBFieldValue*> array;
    array.Add(new CDBFieldValue);
    array.Add(std::make_unique<CDBFieldValue>());
    EXPECT_EQ(array.GetSize(), 2);
    array.RemoveAll();
    EXPECT_EQ(array.GetSize(), 0);
}

// A text read into a caller's buffer: always ended with a zero inside the
// buffer, never cut inside a character; the result counts what was copied
// (with the zero when the buffer had room to spare). The value and the bulk
// column buffer read alike.
TEST(DBVariantEx, TextIntoABufferIsEndedAndCounted)
{
    const struct {
        const char* text;
        unsigned long size;
        long result;
        const char* copied;
    } cases[] = {
        {"abcdef", 5, 4, "abcd"},
        {"abcd", 5, 4, "abcd"},
        {"abc", 5, 4, "abc"},
        {"", 1, 0, ""},
        {"", 2, 1, ""},
        {"\xD0\xAF\xD1\x8F", 4, 2, "\xD0\xAF"},
    };
    CDBBulkVariant bulk;
    bulk.Allocate(DBVT_STRING, 1, 16);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " into " << c.size);
        CDBVariantEx v;
        v = c.text;
        ASSERT_TRUE(bulk.PutData(0, c.text));
        for (int reader = 0; reader < 2; ++reader) {
            unsigned char buffer[8];
            std::memset(buffer, 'x', sizeof buffer);
            EXPECT_EQ(reader == 0 ? v.GetData(buffer, c.size) : bulk.GetData(0, buffer, c.size), c.result) << reader;
            EXPECT_STREQ(reinterpret_cast<char*>(buffer), c.copied) << reader;
            EXPECT_EQ(buffer[c.size], 'x') << "nothing written past the buffer";
        }
    }
}

TEST(DBVariantEx, FilesInAndOut)
{
    CMemFile file;
    file.Write("abc\0def", 7);
    CDBVariantEx text;
    text = "";
    EXPECT_TRUE(text.PutData(file));
    EXPECT_EQ(*text.m_pstring, "abc");
    CDBVariantEx bytes;
    bytes = std::vector<std::uint8_t>{};
    EXPECT_TRUE(bytes.PutData(file));
    EXPECT_EQ(bytes.m_pbinary->size(), 7u);
    CMemFile out;
    EXPECT_EQ(text.GetData(out), 4); // the text and its terminating zero
    EXPECT_EQ(out.GetLength(), 4u);

    // The bulk column buffer takes a file whole, wherever its position is.
    CDBBulkVariant texts;
    texts.Allocate(DBVT_STRING, 2, 16);
    ASSERT_TRUE(texts.PutData(1, file));
    std::string got;
    EXPECT_EQ(texts.GetData(1, got, -1), 3);
    EXPECT_EQ(got, "abc");
    CDBBulkVariant blobs;
    blobs.Allocate(DBVT_BINARY, 1, 16);
    ASSERT_TRUE(blobs.PutData(0, file));
    std::vector<std::uint8_t> raw;
    EXPECT_EQ(blobs.GetData(0, raw), 7);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), std::string("abc\0def", 7));
    CDBBulkVariant numbers;
    numbers.Allocate(DBVT_LONG, 1);
    EXPECT_FALSE(numbers.PutData(0, file));
}

TEST(Records, ParamInfoNamesAndFieldInfoInit)
{
    EXPECT_EQ(CODBCParamInfoEx(nullptr, 3).m_strName, "PARAM_3");
    EXPECT_EQ(CODBCParamInfoEx("", 2).m_strName, "PARAM_2");
    CODBCParamInfoEx info("p", SQL_C_CHAR, SQL_VARCHAR, 40, 0, SQL_PARAM_INPUT, 2);
    EXPECT_EQ(info.m_strName, "p");
    EXPECT_EQ(info.m_nPrecision, 40u);
    EXPECT_EQ(info.m_nScale, 2);
    CODBCFieldInfo base;
    base.m_strName = "n";
    base.m_nSQLType = SQL_INTEGER;
    base.m_nPrecision = 10;
    CODBCFieldInfoEx ex;
    ex.m_strLabel = "old";
    ex.m_bAutoIncrement = true;
    ex.InitFromInfo(base);
    EXPECT_EQ(ex.m_strName, "n");
    EXPECT_EQ(ex.m_nPrecision, 10u);
    EXPECT_TRUE(ex.m_strLabel.empty());
    EXPECT_FALSE(ex.m_bAutoIncrement);
}

TEST(Conversions, CalendarDifferences)
{
    EXPECT_EQ(DaysFromBeginYear(DATE_STRUCT{2023, 3, 1}), 59);
    EXPECT_EQ(DaysFromBeginYear(DATE_STRUCT{2024, 3, 1}), 60);
    EXPECT_EQ(DaysFromBeginYear(DATE_STRUCT{2024, 12, 31}), 365);
    EXPECT_EQ(DaysFromBeginYear(SYSTEMTIME{2023, 12, 0, 31, 23, 59, 59, 0}), 364);
    EXPECT_EQ(DiffInDay(DATE_STRUCT{2024, 3, 1}, DATE_STRUCT{2024, 2, 28}), 2);
    EXPECT_EQ(DiffInDay(TIMESTAMP_STRUCT{2024, 3, 1, 23, 0, 0, 0}, DATE_STRUCT{2024, 2, 28}), 2);
    EXPECT_EQ(DiffInDay(SYSTEMTIME{2024, 3, 0, 2, 6, 0, 0, 0}, SYSTEMTIME{2024, 3, 0, 1, 12, 0, 0, 0}), 0);
    EXPECT_EQ(DiffInMin(TIME_STRUCT{10, 5, 59}, TIME_STRUCT{10, 4, 0}), 1);
    EXPECT_EQ(DiffInSec(TIME_STRUCT{10, 5, 59}, TIME_STRUCT{10, 4, 0}), 119);
    TIMESTAMP_STRUCT a{2024, 2, 28, 12, 0, 0, 0}, b{2024, 2, 29, 12, 0, 0, 0};
    EXPECT_EQ(DiffInSec(b, a), 86400);
    EXPECT_EQ(DiffInSec(a, b), -86400);
    EXPECT_EQ(DiffInMin(b, a), 1440);
    SYSTEMTIME st{};
    CopyDateTime(st, TIMESTAMP_STRUCT{2024, 2, 29, 13, 14, 15, 999});
    EXPECT_EQ(st.wDayOfWeek, 4); // Thursday
    EXPECT_EQ(st.wMilliseconds, 0);
    TIMESTAMP_STRUCT ts{1999, 1, 1, 1, 2, 3, 77};
    CopyDateTime(ts, DATE_STRUCT{2024, 2, 29});
    EXPECT_EQ(ts.hour, 1);
    EXPECT_EQ(ts.fraction, 0u);
    std::string text;
    EXPECT_TRUE(DateTimeToString(TIMESTAMP_STRUCT{2024, 2, 29, 13, 14, 15, 0}, text, false, true));
    EXPECT_EQ(text, "02/29/2024 13:14:15");
    EXPECT_FALSE(DateToString(DATE_STRUCT{2023, 2, 29}, text, false, true));
    // The short date keeps the century: the C locale's own has two digits.
    std::string older;
    EXPECT_TRUE(DateToString(DATE_STRUCT{1924, 2, 29}, older, false, true));
    EXPECT_TRUE(DateToString(DATE_STRUCT{2024, 2, 29}, text, false, true));
    EXPECT_EQ(older, "02/29/1924");
    EXPECT_EQ(text, "02/29/2024");
}

// A date value read as text with a pattern names its weekday and day of the
// year as the calendar has them.
TEST(Conversions, DatePatternsKnowTheWeekdayAndDayOfYear)
{
    const struct {
        TIMESTAMP_STRUCT ts;
        const char* text;
    } cases[] = {
        {{2024, 2, 29, 0, 0, 0, 0}, "Thursday 060 Feb"},
        {{2023, 12, 31, 0, 0, 0, 0}, "Sunday 365 Dec"},
        {{1900, 1, 1, 0, 0, 0, 0}, "Monday 001 Jan"},
    };
    for (const auto& c : cases) {
        CDBVariantEx v;
        v = c.ts;
        v.m_pszDateFormat = "%A %j %b";
        std::string text;
        v.GetData(text, -1);
        EXPECT_EQ(text, c.text);
    }
}

TEST(Conversions, HexTextBothWays)
{
    std::string text;
    const unsigned char bytes[] = {0x0A, 0xFF};
    ByteToString(bytes, 2, text);
    EXPECT_EQ(text, "0x0aff");
    ByteToString(bytes, 0, text);
    EXPECT_EQ(text, "0x");
    std::vector<std::uint8_t> out{0x01};
    StringToByte("0x0aff", out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x01, 0x0A, 0xFF}));
    out.clear();
    StringToByte("abc", out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xAB, 0x0C}));
    out.clear();
    StringToByte("x10zz", out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x10, 0x00}));
}

std::vector<std::uint8_t> Bitmap2x2()
{
    // 24 bits a pixel, rows of 8 bytes (6 + 2 padding), bottom-up.
    std::vector<std::uint8_t> bmp(54 + 16, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[2] = static_cast<std::uint8_t>(bmp.size());
    bmp[10] = 99; // a wrong offset: the reader computes its own
    bmp[14] = 40;
    bmp[18] = 2;
    bmp[22] = 2;
    bmp[26] = 1;
    bmp[28] = 24;
    // bottom row: blue, green; top row: red, white (BGR order)
    const std::uint8_t pixels[] = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
    std::copy(std::begin(pixels), std::end(pixels), bmp.begin() + 54);
    return bmp;
}

TEST(Conversions, BitmapReaderChecksEverySize)
{
    wxImage image = GetBitmapFromArray(Bitmap2x2());
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(image.GetWidth(), 2);
    EXPECT_EQ(image.GetHeight(), 2);
    EXPECT_EQ(image.GetRed(0, 0), 255); // top left is red
    EXPECT_EQ(image.GetBlue(0, 1), 255);

    std::vector<std::uint8_t> notBm = Bitmap2x2();
    notBm[0] = 'X';
    EXPECT_FALSE(GetBitmapFromArray(notBm).IsOk());
    std::vector<std::uint8_t> shortBits = Bitmap2x2();
    shortBits.resize(shortBits.size() - 1);
    EXPECT_FALSE(GetBitmapFromArray(shortBits).IsOk());
    std::vector<std::uint8_t> huge = Bitmap2x2();
    huge[18] = 0xFF;
    huge[19] = 0xFF;
    huge[20] = 0xFF;
    huge[21] = 0x7F;
    EXPECT_FALSE(GetBitmapFromArray(huge).IsOk());
    std::vector<std::uint8_t> manyColours = Bitmap2x2();
    manyColours[46] = 0xFF;
    manyColours[49] = 0x7F;
    EXPECT_FALSE(GetBitmapFromArray(manyColours).IsOk());
    EXPECT_FALSE(GetBitmapFromArray({'B', 'M'}).IsOk());
}

std::vector<std::uint8_t> IconWithPng()
{
    wxImage image(3, 2);
    image.SetRGB(0, 0, 10, 20, 30);
    wxMemoryOutputStream stream;
    wxPNGHandler encoder;
    EXPECT_TRUE(encoder.SaveFile(&image, stream, false));
    std::vector<std::uint8_t> png(stream.GetLength());
    stream.CopyTo(png.data(), png.size());
    std::vector<std::uint8_t> ico(6 + 16, 0);
    ico[2] = 1;
    ico[4] = 1;
    ico[6] = 3;
    ico[7] = 2;
    ico[10] = 1;
    ico[12] = 32;
    std::uint32_t size = static_cast<std::uint32_t>(png.size());
    for (int i = 0; i < 4; ++i) {
        ico[14 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        ico[18 + i] = static_cast<std::uint8_t>(22u >> (8 * i));
    }
    ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

TEST(Conversions, IconReaderChecksEverySize)
{
    std::vector<std::uint8_t> ico = IconWithPng();
    wxImage image = GetFromArrayIcon(ico);
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(image.GetWidth(), 3);
    EXPECT_EQ(image.GetRed(0, 0), 10);

    std::vector<std::uint8_t> noOffset = ico;
    std::fill(noOffset.begin() + 18, noOffset.begin() + 22, 0);
    EXPECT_FALSE(GetFromArrayIcon(noOffset).IsOk());
    std::vector<std::uint8_t> cut = ico;
    cut.resize(cut.size() - 1);
    EXPECT_FALSE(GetFromArrayIcon(cut).IsOk());
    std::vector<std::uint8_t> farOffset = ico;
    farOffset[21] = 0x80;
    EXPECT_FALSE(GetFromArrayIcon(farOffset).IsOk());
    EXPECT_FALSE(GetFromArrayIcon({0, 0, 1, 0}).IsOk());
}

TEST(Conversions, ImageReadersSurviveDamagedBytes)
{
    // Deterministic damage of valid files; AddressSanitizer watches every read.
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const std::vector<std::uint8_t> originals[] = {Bitmap2x2(), IconWithPng()};
    for (const auto& original : originals) {
        for (int round = 0; round < 300; ++round) {
            std::vector<std::uint8_t> bytes = original;
            for (int hits = 1 + next() % 4; hits > 0; --hits)
                bytes[(next() >> 8) % std::min<std::size_t>(bytes.size(), 64)] = static_cast<std::uint8_t>(next() >> 16);
            if (next() % 3 == 0)
                bytes.resize((next() >> 8) % bytes.size());
            GetBitmapFromArray(bytes);
            GetFromArrayIcon(bytes);
        }
    }
}

TEST(Conversions, ByteArrayAdoptsAndReleasesBuffers)
{
    CByteArrayEx array;
    array.SetSize(3);
    auto* buffer = new unsigned char[10]{1, 2, 3, 4};
    array.AttachBuffer(buffer, 4, 10);
    EXPECT_EQ(array.GetSize(), 4);
    EXPECT_EQ(array.GetBufferSize(), 10);
    EXPECT_EQ(array.ToVector(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    unsigned char* back = array.DetachBuffer();
    EXPECT_EQ(back, buffer);
    EXPECT_EQ(array.GetSize(), 0);
    EXPECT_EQ(array.GetBufferSize(), 0);
    delete[] back;
    auto small = std::make_unique<unsigned char[]>(2);
    EXPECT_THROW(array.AttachBuffer(small.get(), 4, 2), std::invalid_argument);
}

TEST(ArrayPointParam, DescriptionsAndLengthArrays)
{
    const std::uint32_t sets = 10;
    char text[sets][8] = {};
    double numbers[sets] = {};
    unsigned char blobs[sets][4] = {};
    SQLLEN callerLengths[sets];
    std::fill(std::begin(callerLengths), std::end(callerLengths), SQLLEN(4));
    {
        CArrayPointParam params(sets);
        EXPECT_EQ(params.AddParam("name", &text[0][0], 8, SQL_VARCHAR, SQL_PARAM_INPUT, 0), 0);
        EXPECT_EQ(params.AddParam("", numbers, SQL_DOUBLE, SQL_PARAM_INPUT), 1);
        EXPECT_EQ(params.AddParam(nullptr, &blobs[0][0], 4, nullptr, SQL_VARBINARY, SQL_PARAM_INPUT), 2);
        EXPECT_EQ(params.GetName(1), "PARAM_1");
        EXPECT_EQ(params.GetName(2), "PARAM_2");
        for (std::uint32_t i = 0; i < sets; ++i) {
            EXPECT_EQ(params.GetArrayLen(0)[i], SQL_NTS);
            EXPECT_EQ(params.GetArrayLen(1)[i], 8);
            EXPECT_EQ(params.GetArrayLen(2)[i], 4);
        }
        EXPECT_EQ(params.GetSQL_C_Type(0), SQL_C_CHAR);
        EXPECT_EQ(params.GetPrec(0), 8u);
        EXPECT_EQ(params.GetSQL_C_Type(2), SQL_C_BINARY);
        unsigned char flags[sets] = {};
        EXPECT_EQ(params.GetSQL_C_Type(params.AddParam("flags", flags, SQL_SMALLINT, SQL_PARAM_INPUT)),
                  SQL_C_UTINYINT);
        EXPECT_EQ(params.GetArrayData(1), numbers);
        // Re-pointed at the caller's lengths: the own array is freed (ASan), the caller's kept.
        params.SetParam(2, &blobs[0][0], 4, callerLengths, SQL_VARBINARY, SQL_PARAM_INPUT);
        EXPECT_EQ(params.GetArrayLen(2), callerLengths);
        EXPECT_EQ(params.GetName(2), "PARAM_2");
        EXPECT_EQ(params.GetArraysSize(), sets);
        EXPECT_EQ(*params.GetParamsProcessed(), 0u);
        EXPECT_EQ(params.GetParamCount(), 4);
        EXPECT_THROW(params.GetArrayData(7), std::out_of_range);
        params.RemoveAll();
        EXPECT_EQ(params.GetParamCount(), 0);
        EXPECT_EQ(params.GetArraysSize(), sets);
        params.AddParam("again", &blobs[0][0], 4, callerLengths, SQL_VARBINARY, SQL_PARAM_INPUT);
    }
    EXPECT_EQ(callerLengths[9], 4); // the caller's arrays outlive the description
}

TEST(BulkVariant, RowsReadAndWritten)
{
    CDBBulkVariant text;
    text.Allocate(DBVT_STRING, 10, 4);
    EXPECT_FALSE(text.PutData(10, "a"));
    std::string out;
    EXPECT_EQ(text.GetData(-1, out, 2), -1);
    EXPECT_TRUE(text.PutData(3, "abc"));
    EXPECT_EQ(text.m_pLengths[3], 3); // the text's length, without its terminating zero
    EXPECT_STREQ(text.GetItemStr(3), "abc");
    EXPECT_FALSE(text.PutData(3, "abcd")); // no room for the zero
    EXPECT_STREQ(text.GetItemStr(3), "abc");
    EXPECT_EQ(text.m_pLengths[3], 3);
    EXPECT_TRUE(text.PutData(4, 12)); // a number as text
    EXPECT_STREQ(text.GetItemStr(4), "12");
    EXPECT_FALSE(text.PutData(4, 123456));
    EXPECT_TRUE(text.PutData(2, static_cast<const char*>(nullptr)));
    EXPECT_NE(text.IsDataNull(2), 0);
    CDBVariantEx item;
    item = 5;
    text.GetItem(2, item);
    EXPECT_EQ(item.m_dwType, DBVT_NULL);
    text.GetItem(3, item);
    ASSERT_EQ(item.m_dwType, DBVT_STRING);
    EXPECT_EQ(*item.m_pstring, "abc");
    // SetItem leaves a row alone when the text does not fit.
    CDBVariantEx longText;
    longText = "too long";
    EXPECT_FALSE(text.SetItem(3, longText));
    EXPECT_EQ(text.m_pLengths[3], 3);
    EXPECT_STREQ(text.GetItemStr(3), "abc");
    EXPECT_EQ(text.GetItemBinary(3), nullptr);

    CDBBulkVariant bytes;
    bytes.Allocate(DBVT_UCHAR, 3);
    EXPECT_FALSE(bytes.PutData(0, static_cast<short>(1)));
    EXPECT_TRUE(bytes.PutData(0, static_cast<unsigned char>(7)));
    EXPECT_EQ(bytes.m_pLengths[0], 1);
    short s = 0;
    EXPECT_EQ(bytes.GetData(0, s), 2);
    EXPECT_EQ(s, 7);
    EXPECT_EQ(bytes.GetData(1, s), -1); // a NULL row

    CDBBulkVariant guids;
    guids.Allocate(DBVT_GUID, 2);
    EXPECT_TRUE(guids.PutData(1, kGuid));
    guids.GetItem(1, item);
    ASSERT_EQ(item.m_dwType, DBVT_GUID);
    EXPECT_FALSE(item.m_bAttached);
    EXPECT_EQ(GuidToString(*item.m_pguid), kGuidText);
    CDBBulkVariant copy(guids);
    EXPECT_NE(copy.m_pData, guids.m_pData);
    guids.Clear();
    GUID g{};
    EXPECT_EQ(copy.GetData(1, g), 16);
    EXPECT_EQ(GuidToString(g), kGuidText);

    CDBBulkVariant dates;
    dates.Allocate(DBVT_DATE, 2);
    CDBVariantEx when;
    when = "2024-02-29 01:02:03";
    EXPECT_FALSE(dates.SetItem(0, when)); // text is not a date value
    when = TIMESTAMP_STRUCT{2024, 2, 29, 1, 2, 3, 0};
    EXPECT_TRUE(dates.SetItem(0, when));
    EXPECT_EQ(dates.m_pLengths[0], 16);
    EXPECT_FALSE(dates.PutData(1, "not a date"));
}

} // namespace
