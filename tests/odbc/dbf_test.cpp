#include "odbc/dbf/dbffile.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace {

using kelm::test::readFile;
using kelm::test::TempDir;

struct FieldShape {
    const char* name;
    char type;
    int length;
    int decimals;
};

// Descriptors laid one after the other from offset 1, as an export makes them.
CFieldDBFArray Layout(std::initializer_list<FieldShape> shapes)
{
    CFieldDBFArray fields;
    std::uint32_t offset = 1;
    for (const FieldShape& s : shapes) {
        auto f = std::make_unique<CFieldDBF>();
        std::strncpy(f->m_name, s.name, 10);
        f->m_type = s.type;
        f->m_offset = offset;
        f->m_length = static_cast<std::uint8_t>(s.length);
        f->m_decimals = static_cast<std::uint8_t>(s.decimals);
        offset += static_cast<std::uint32_t>(s.length);
        fields.push_back(std::move(f));
    }
    return fields;
}

std::filesystem::path Fixture(const std::string& name)
{
    return std::filesystem::path(KELM_DBF_FIXTURES) / name;
}

TIMESTAMP_STRUCT Date(int y, int m, int d)
{
    TIMESTAMP_STRUCT ts{};
    ts.year = static_cast<SQLSMALLINT>(y);
    ts.month = static_cast<SQLUSMALLINT>(m);
    ts.day = static_cast<SQLUSMALLINT>(d);
    return ts;
}

std::string TodayBytes()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {static_cast<char>(tm.tm_year), static_cast<char>(tm.tm_mon + 1),
            static_cast<char>(tm.tm_mday)};
}

// The bytes of record `index` as they stand in the file.
std::string RawRecord(const std::filesystem::path& path, int index)
{
    const std::string bytes = readFile(path);
    const auto headerLength = static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
    const auto recordLength = static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
    return bytes.substr(static_cast<std::size_t>(headerLength + recordLength * index),
                        static_cast<std::size_t>(recordLength));
}

std::string Text(const CDataBaseFile& file, int field)
{
    std::string s = "<refused>";
    file.GetValue(field, s);
    return s;
}

const auto kFixtureLayout = {FieldShape{"NAME", 'C', 8, 0}, FieldShape{"QTY", 'N', 6, 0},
                             FieldShape{"PRICE", 'N', 8, 2}, FieldShape{"BORN", 'D', 8, 0}};

TEST(DbfFile, CreatedFileWithOneRecordHasTheFixtureBytes)
{
    TempDir dir;
    const auto path = dir / "made.dbf";
    const std::string before = TodayBytes();
    ASSERT_TRUE(CreateDBFile(path.c_str(), Layout(kFixtureLayout)));

    const std::string empty = readFile(path);
    ASSERT_EQ(empty.size(), 32u * 5 + 2);
    EXPECT_EQ(empty.substr(empty.size() - 2), "\x0D\x1A");
    EXPECT_EQ(empty.substr(4, 4), std::string(4, '\0')) << "no records yet";

    {
        CDataBaseFile file;
        ASSERT_EQ(file.Open(path.c_str(), 0), 1);
        EXPECT_EQ(file.GetCurrentIndex(), -1);
        file.AddNew();
        EXPECT_EQ(file.SetValue(0, "Ivan"), 1);
        EXPECT_EQ(file.SetValue(1, short{42}), 1);
        EXPECT_EQ(file.SetValue(2, 19.95), 1);
        EXPECT_EQ(file.SetValue(3, Date(2024, 2, 29)), 1);
    }
    const std::string after = TodayBytes();

    std::string made = readFile(path);
    const std::string expected = readFile(Fixture("one_record.dbf"));
    ASSERT_EQ(made.size(), expected.size());
    // Bytes 1-3 are the date of the last update: year - 1900, month, day.
    const std::string date = made.substr(1, 3);
    EXPECT_TRUE(date == before || date == after);
    made.replace(1, 3, expected.substr(1, 3));
    EXPECT_EQ(made, expected);
}

TEST(DbfFile, ReadsTheFixtureFieldByField)
{
    CDataBaseFile file;
    ASSERT_EQ(file.Open(Fixture("one_record.dbf").c_str(), 1), 1);
    EXPECT_EQ(file.GetRecordCount(), 1);
    EXPECT_EQ(file.GetCurrentIndex(), 0) << "the only record is current after Open";
    ASSERT_EQ(file.GetFieldCount(), 4);
    EXPECT_STREQ(file.GetField(2)->m_name, "PRICE");
    EXPECT_EQ(file.GetField(2)->m_type, 'N');
    EXPECT_EQ(file.GetField(2)->m_offset, 15u);
    EXPECT_EQ(file.GetField(2)->m_decimals, 2);
    EXPECT_EQ(file.GetField(4), nullptr);
    EXPECT_EQ(file.GetField(-1), nullptr);
    EXPECT_EQ(file.IsDeleted(), 0);

    EXPECT_EQ(Text(file, 0), "Ivan");
    EXPECT_EQ(Text(file, 1), "42");
    short s = 0;
    std::int32_t l = 0;
    std::int64_t ll = 0;
    float f = 0;
    double d = 0;
    EXPECT_EQ(file.GetValue(1, s), 1);
    EXPECT_EQ(file.GetValue(1, l), 1);
    EXPECT_EQ(file.GetValue(1, ll), 1);
    EXPECT_EQ(s + l + ll, 3 * 42);
    EXPECT_EQ(file.GetValue(2, d), 1);
    EXPECT_DOUBLE_EQ(d, 19.95);
    EXPECT_EQ(file.GetValue(2, f), 1);
    EXPECT_FLOAT_EQ(f, 19.95f);
    TIMESTAMP_STRUCT ts{};
    EXPECT_EQ(file.GetValue(3, ts), 1);
    EXPECT_EQ(ts.year * 10000 + ts.month * 100 + ts.day, 20240229);

    // Wrong type letters, indexes out of range, writes to a read-only file.
    EXPECT_EQ(file.GetValue(0, s), 0);
    EXPECT_EQ(file.GetValue(3, d), 0);
    ts.hour = 7;
    EXPECT_EQ(file.GetValue(1, ts), 0);
    EXPECT_EQ(ts.year + ts.hour, 0) << "the structure is cleared first";
    EXPECT_EQ(Text(file, 4), "<refused>");
    EXPECT_EQ(file.SetValue(0, "Petr"), 0);
    EXPECT_EQ(file.Seek(1), 0);
    EXPECT_EQ(file.Seek(-1), 0);
    EXPECT_EQ(file.Seek(0), 1);
    file.Close();
    EXPECT_EQ(readFile(Fixture("one_record.dbf")).size(), 193u);

    TempDir dir;
    std::string deleted = readFile(Fixture("one_record.dbf"));
    deleted[161] = '*';
    ASSERT_EQ(file.Open(dir.write("deleted.dbf", deleted).c_str(), 1), 1);
    EXPECT_EQ(file.IsDeleted(), 1);
    EXPECT_EQ(Text(file, 0), "Ivan");
}

TEST(DbfFile, FieldWritesAndReads)
{
    TempDir dir;
    const auto path = dir / "t.dbf";
    ASSERT_TRUE(CreateDBFile(path.c_str(), Layout({{"A", 'C', 5, 0},
                                                   {"B", 'C', 3, 0},
                                                   {"N", 'N', 6, 0},
                                                   {"F", 'N', 8, 3},
                                                   {"D6", 'D', 6, 0},
                                                   {"G", 'C', 41, 0}})));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 0), 1);
    EXPECT_EQ(file.SetValue(0, "x"), 0) << "no current record: the write would hit the header";

    file.AddNew();
    EXPECT_EQ(file.SetValue(1, "xyz"), 1);
    EXPECT_EQ(file.SetValue(0, "abcdefgh"), 1);
    EXPECT_EQ(file.SetValue(2, short{42}), 1);
    EXPECT_EQ(file.SetValue(3, 3.14159), 1);
    EXPECT_EQ(file.SetValue(4, "991231"), 1);
    SQLGUID guid{0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
    EXPECT_EQ(file.SetValue(5, guid), 1);
    // Numbers that do not fit are refused, not cut to other numbers.
    EXPECT_EQ(file.SetValue(2, std::int32_t{1234567}), 0);
    EXPECT_EQ(file.SetValue(3, -12345.5), 0);
    EXPECT_EQ(file.SetValue(3, 0.0 / 0.0), 0);
    EXPECT_EQ(file.SetValue(4, Date(1999, 12, 31)), 0) << "a date needs 8 characters";
    file.AddNew();
    EXPECT_EQ(file.SetValue(0, "  ab  "), 1);
    EXPECT_EQ(file.SetValue(1, "   "), 1);
    EXPECT_EQ(file.SetValue(4, "491231"), 1);
    EXPECT_EQ(file.SetValue(5, "{0123456Z-89AB-CDEF-1032-547698BADCFE}"), 1);
    file.AddNew();
    // Cut to the field without splitting a character: "Иван" is 8 bytes.
    EXPECT_EQ(file.SetValue(0, "Иван"), 1);
    EXPECT_EQ(file.SetValue(2, std::int64_t{-99999}), 1);
    EXPECT_EQ(file.SetValue(3, -1.0f), 1);
    file.Close();

    EXPECT_EQ(RawRecord(path, 0), " abcdexyz    42   3.142991231{01234567-89AB-CDEF-1032-547698BADCFE}   ");
    EXPECT_EQ(RawRecord(path, 2).substr(0, 29), " Ив    -99999  -1.000      ");

    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    ASSERT_EQ(file.GetRecordCount(), 3);
    EXPECT_EQ(Text(file, 0), "abcde");
    EXPECT_EQ(Text(file, 1), "xyz");
    TIMESTAMP_STRUCT ts{};
    EXPECT_EQ(file.GetValue(4, ts), 1);
    EXPECT_EQ(ts.year * 10000 + ts.month * 100 + ts.day, 19991231);
    SQLGUID back{};
    EXPECT_EQ(file.GetValue(5, back), 1);
    EXPECT_EQ(std::memcmp(&back, &guid, sizeof guid), 0);

    ASSERT_EQ(file.Seek(1), 1);
    EXPECT_EQ(Text(file, 0), "ab");
    EXPECT_EQ(Text(file, 1), "");
    short s = -1;
    EXPECT_EQ(file.GetValue(2, s), 1);
    EXPECT_EQ(s, 0) << "a blank number reads as 0";
    EXPECT_EQ(file.GetValue(4, ts), 1);
    EXPECT_EQ(ts.year, 2049);
    EXPECT_EQ(file.GetValue(5, back), 0) << "not a GUID";

    ASSERT_EQ(file.Seek(2), 1);
    EXPECT_EQ(Text(file, 0), "Ив");
    EXPECT_EQ(file.GetValue(2, s), 0) << "-99999 does not fit a short";
    std::int32_t l = 0;
    EXPECT_EQ(file.GetValue(2, l), 1);
    EXPECT_EQ(l, -99999);
}

TEST(DbfFile, SeekToTheCurrentRecordKeepsUnflushedChanges)
{
    TempDir dir;
    const auto path = dir / "t.dbf";
    ASSERT_TRUE(CreateDBFile(path.c_str(), Layout({{"A", 'C', 4, 0}})));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 0), 1);
    for (const char* v : {"one", "two"}) {
        file.AddNew();
        file.SetValue(0, v);
    }
    ASSERT_EQ(file.Seek(0), 1);
    ASSERT_EQ(file.SetValue(0, "new"), 1);
    ASSERT_EQ(file.Seek(0), 1);
    EXPECT_EQ(Text(file, 0), "new");
    EXPECT_EQ(RawRecord(path, 0), " one ") << "not written before the record is left";
    ASSERT_EQ(file.Seek(1), 1);
    EXPECT_EQ(RawRecord(path, 0), " new ");
    ASSERT_EQ(file.Seek(0), 1);
    EXPECT_EQ(Text(file, 0), "new");

    // A new record that is never written to does not come into being.
    file.AddNew();
    file.Close();
    EXPECT_EQ(readFile(path).size(), 32u * 2 + 1 + 2 * 5 + 1);
}

// Appends over several sessions keep exactly one end-of-file byte after the
// last record, and an independent reader sees every value.
TEST(DbfFile, AppendedRecordsReadBackWithDbfread)
{
    TempDir dir;
    const auto path = dir / "people.dbf";
    ASSERT_TRUE(CreateDBFile(path.c_str(), Layout({{"NAME", 'C', 12, 0},
                                                   {"QTY", 'N', 11, 0},
                                                   {"BIG", 'N', 21, 0},
                                                   {"PRICE", 'N', 10, 2},
                                                   {"BORN", 'D', 8, 0}})));
    struct Row {
        const char* name;
        std::int32_t qty;
        std::int64_t big;
        double price;
        TIMESTAMP_STRUCT born;
    };
    const Row rows[] = {{"Иван", 1, 9007199254740993LL, 0.5, Date(1999, 12, 31)},
                        {"O'Brien", -2147483647 - 1, -1, -1234.56, Date(2000, 1, 1)},
                        {"", 0, 0, 0, Date(2024, 2, 29)}};
    for (int session = 0; session < 2; ++session) {
        CDataBaseFile file;
        ASSERT_EQ(file.Open(path.c_str(), 0), 1);
        for (int i = session * 2; i < std::min(3, session * 2 + 2); ++i) {
            const Row& r = rows[i];
            file.AddNew();
            ASSERT_EQ(file.SetValue(0, r.name) + file.SetValue(1, r.qty) + file.SetValue(2, r.big) +
                          file.SetValue(3, r.price) + file.SetValue(4, r.born),
                      5);
        }
    }
    const std::string bytes = readFile(path);
    const std::size_t recordLength = 1 + 12 + 11 + 21 + 10 + 8;
    ASSERT_EQ(bytes.size(), 32u * 6 + 1 + 3 * recordLength + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes[4], 3);

    const auto script = dir.write("read.py", R"(import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='utf-8')
print(t.header.numrecords, t.header.year)
for f in t.fields:
    print(f.name, f.type, f.length, f.decimal_count)
for r in t:
    print('|'.join(repr(v) for v in r.values()))
)");
    const std::string cmd = "/usr/bin/python3 " + script.string() + " " + path.string() + " 2>&1";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
        out.append(buf, n);
    ASSERT_EQ(pclose(pipe), 0) << out;
    const std::string year = std::to_string(static_cast<unsigned char>(TodayBytes()[0]));
    EXPECT_EQ(out, "3 " + year + "\n"
                   "NAME C 12 0\nQTY N 11 0\nBIG N 21 0\nPRICE N 10 2\nBORN D 8 0\n"
                   "'Иван'|1|9007199254740993|0.5|datetime.date(1999, 12, 31)\n"
                   "\"O'Brien\"|-2147483648|-1|-1234.56|datetime.date(2000, 1, 1)\n"
                   "''|0|0|0.0|datetime.date(2024, 2, 29)\n");
}

// Damaged files are refused with a reason and left as they were.
TEST(DbfFile, CorruptFilesAreRefused)
{
    const std::string good = readFile(Fixture("one_record.dbf"));
    auto patch = [&](std::size_t at, std::initializer_list<unsigned char> b) {
        std::string s = good;
        for (unsigned char c : b)
            s[at++] = static_cast<char>(c);
        return s;
    };
    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "shorter than a table header"},
        {"cut header", good.substr(0, 20), "shorter than a table header"},
        {"header length 32", patch(8, {32, 0}), "header length 32"},
        {"header length past the end", patch(8, {0xFF, 0xFF}), "beyond the end"},
        {"record length 0", patch(10, {0, 0}), "record length 0"},
        {"more records than bytes", patch(4, {2}), "the file holds fewer"},
        {"huge record count", patch(4, {0xFF, 0xFF, 0xFF, 0xFF}), "the file holds fewer"},
        {"record cut short", good.substr(0, good.size() - 3), "the file holds fewer"},
        {"field offset 0", patch(32 + 12, {0}), "descriptor 0 (NAME)"},
        {"field past the record", patch(32 * 4 + 12, {24}), "descriptor 3 (BORN)"},
        {"field length past the record", patch(32 * 2 + 16, {200}), "descriptor 1 (QTY)"},
        {"huge field offset", patch(32 * 3 + 12, {0xFF, 0xFF, 0xFF, 0xFF}), "descriptor 2"},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir.write("bad" + std::to_string(n++) + ".dbf", c.bytes);
        for (int readOnly : {1, 0}) {
            CDataBaseFile file;
            EXPECT_EQ(file.Open(path.c_str(), readOnly), 0);
            EXPECT_FALSE(file.IsOpen());
            EXPECT_NE(file.GetError().find(c.reason), std::string::npos) << file.GetError();
            EXPECT_EQ(file.GetRecordCount(), 0);
            EXPECT_EQ(file.GetFieldCount(), 0);
            file.AddNew();
            EXPECT_EQ(file.SetValue(0, "x"), 0);
        }
        EXPECT_EQ(readFile(path), c.bytes);
    }

    CDataBaseFile file;
    EXPECT_EQ(file.Open((dir / "missing.dbf").c_str(), 1), 0);
    EXPECT_NE(file.GetError().find("No such file"), std::string::npos) << file.GetError();
    EXPECT_EQ(file.Open(dir.path().c_str(), 1), 0);
    EXPECT_FALSE(file.GetError().empty());
}

TEST(DbfFile, CreateRefusesWhatCannotBeAValidFile)
{
    TempDir dir;
    const auto path = dir.write("keep.dbf", "keep");
    EXPECT_FALSE(CreateDBFile(path.c_str(), CFieldDBFArray{}));

    // 257 fields of 255 bytes need a record of 65,536 bytes.
    auto tooLong = Layout({});
    auto fits = Layout({});
    for (std::uint32_t i = 0; i < 257; ++i) {
        auto f = std::make_unique<CFieldDBF>();
        std::snprintf(f->m_name, sizeof f->m_name, "F%u", i);
        f->m_type = 'C';
        f->m_offset = 1 + 255 * i;
        f->m_length = 255;
        if (i < 256)
            fits.push_back(std::make_unique<CFieldDBF>(*f));
        tooLong.push_back(std::move(f));
    }
    EXPECT_FALSE(CreateDBFile(path.c_str(), tooLong));
    EXPECT_FALSE(CreateDBFile((dir / "new.dbf").c_str(), tooLong));
    EXPECT_FALSE(std::filesystem::exists(dir / "new.dbf"));

    auto badOffset = Layout({{"A", 'C', 4, 0}, {"B", 'C', 4, 0}});
    badOffset[1]->m_offset = 6;
    EXPECT_FALSE(CreateDBFile(path.c_str(), badOffset));
    EXPECT_FALSE(CreateDBFile((dir / "no" / "such" / "folder.dbf").c_str(), fits));
    EXPECT_EQ(readFile(path), "keep");

    ASSERT_TRUE(CreateDBFile(path.c_str(), fits));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 0), 1);
    EXPECT_EQ(file.GetFieldCount(), 256);
    file.AddNew();
    EXPECT_EQ(file.SetValue(255, std::string(300, 'z').c_str()), 1);
    file.Close();
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    EXPECT_EQ(Text(file, 255), std::string(255, 'z'));
    EXPECT_EQ(Text(file, 254), "");
}

TEST(DbfFile, ColumnMapping)
{
    const struct {
        short sqlType;
        std::uint64_t precision;
        short scale;
        char type; // 0: refused
        int length;
        int decimals;
    } cases[] = {
        {SQL_GUID, 36, 0, 'C', 41, 0},
        {SQL_BIT, 1, 0, 'N', 6, 0},
        {SQL_TINYINT, 3, 0, 'N', 6, 0},
        {SQL_SMALLINT, 5, 0, 'N', 6, 0},
        {SQL_BIGINT, 19, 0, 'N', 21, 0},
        {SQL_INTEGER, 10, 0, 'N', 11, 0},
        {SQL_CHAR, 0, 0, 'C', 1, 0},
        {SQL_VARCHAR, 20, 0, 'C', 80, 0},
        {SQL_VARCHAR, 8190, 0, 'C', 255, 0},
        {SQL_NUMERIC, 10, 2, 'N', 12, 2},
        {SQL_DECIMAL, 10, 0, 'N', 11, 0},
        {SQL_NUMERIC, 0, 0, 'N', 20, 4},
        {SQL_DOUBLE, 15, 0, 'N', 21, 4},
        {SQL_FLOAT, 53, 0, 'N', 59, 4},
        {SQL_REAL, 7, 0, 'N', 13, 4},
        {SQL_DOUBLE, 252, 0, 'N', 255, 4},
        {SQL_CHAR, 63, 0, 'C', 252, 0},
        {SQL_DOUBLE, 15, 2, 'N', 17, 2},
        {SQL_DOUBLE, 0, 0, 'N', 20, 4},
        {SQL_NUMERIC, 254, 6, 'N', 255, 6},
        {SQL_NUMERIC, 1000, 6, 'N', 255, 6},
        {SQL_DATE, 10, 0, 'D', 8, 0},
        {SQL_TIME, 8, 0, 'D', 8, 0},
        {SQL_TIMESTAMP, 23, 3, 'D', 8, 0},
        {SQL_TYPE_DATE, 10, 0, 'D', 8, 0},
        {SQL_TYPE_TIME, 8, 0, 'D', 8, 0},
        {SQL_TYPE_TIMESTAMP, 23, 3, 'D', 8, 0},
        {SQL_LONGVARCHAR, 0, 0, 0, 0, 0},
        {SQL_BINARY, 16, 0, 0, 0, 0},
        {SQL_WVARCHAR, 20, 0, 'C', 80, 0},
        {SQL_WCHAR, 0, 0, 'C', 1, 0},
        {SQL_WCHAR, 64, 0, 'C', 255, 0},
        {SQL_WLONGVARCHAR, 0, 0, 0, 0, 0},
        {SQL_VARBINARY, 16, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "SQL type " << c.sqlType << " (" << c.precision << ","
                                        << c.scale << ")");
        CFieldDBF f;
        ASSERT_EQ(DBFFieldFromColumn("Column", c.sqlType, c.precision, c.scale, 7, f), c.type != 0);
        if (!c.type)
            continue;
        EXPECT_EQ(f.m_type, c.type);
        EXPECT_EQ(f.m_length, c.length);
        EXPECT_EQ(f.m_decimals, c.decimals);
        EXPECT_EQ(f.m_offset, 7u);
        EXPECT_STREQ(f.m_name, "Column");
    }
    CFieldDBF f;
    ASSERT_TRUE(DBFFieldFromColumn("ABCDEFGHIJKL", SQL_INTEGER, 10, 0, 1, f));
    EXPECT_STREQ(f.m_name, "ABCDEFGHI");
    ASSERT_TRUE(DBFFieldFromColumn("ИмяКолонки", SQL_INTEGER, 10, 0, 1, f));
    EXPECT_STREQ(f.m_name, "ИмяК") << "cut to 9 bytes without splitting a character";
}

} // namespace
