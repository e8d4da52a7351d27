#include "odbc/dbf/dbfexport.h"
#include "odbc/data/core/dynamicrecord.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using kelm::test::EngineDatabase;
using kelm::test::PgDatabase;
using kelm::test::TempDir;

class DbfExport : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "pg")
            KELM_REQUIRE_PG();
        engine = std::make_unique<EngineDatabase>(GetParam() == "pg", "dbfexport");
        ASSERT_TRUE(db.OpenEx(engine->connect().c_str(), CDatabase::noOdbcDialog));
    }

    std::string Text(const CDataBaseFile& file, int field)
    {
        std::string s = "<refused>";
        file.GetValue(field, s);
        return s;
    }

    // The file made from the items table below, row by row.
    void CheckItems(const std::filesystem::path& path)
    {
        CDataBaseFile file;
        ASSERT_EQ(file.Open(path.c_str(), 1), 1);
        ASSERT_EQ(file.GetFieldCount(), 7);
        ASSERT_EQ(file.GetRecordCount(), 3);
        const char* types = "NNNCNND";
        for (int f = 0; f < 7; ++f)
            EXPECT_EQ(file.GetField(f)->m_type, types[f]) << f;
        EXPECT_STREQ(file.GetField(3)->m_name, "name");

        std::int32_t id = 0;
        short qty = 0;
        std::int64_t big = 0;
        double price = 0, ratio = 0;
        TIMESTAMP_STRUCT born{};
        EXPECT_EQ(file.GetValue(0, id) + file.GetValue(1, qty) + file.GetValue(2, big) +
                      file.GetValue(4, price) + file.GetValue(5, ratio) + file.GetValue(6, born),
                  6);
        EXPECT_EQ(id, 1);
        EXPECT_EQ(qty, -3);
        EXPECT_EQ(big, 9007199254740993LL);
        EXPECT_EQ(Text(file, 3), "Иван");
        EXPECT_DOUBLE_EQ(price, 19.95);
        EXPECT_DOUBLE_EQ(ratio, 1234.25);
        EXPECT_EQ(born.year * 10000 + born.month * 100 + born.day, 20240229);

        ASSERT_EQ(file.Seek(1), 1);
        EXPECT_EQ(file.GetValue(1, qty), 1);
        EXPECT_EQ(qty, 32767);
        EXPECT_EQ(Text(file, 3), "O'Brien");
        EXPECT_EQ(file.GetValue(4, price), 1);
        EXPECT_DOUBLE_EQ(price, -0.5);
        EXPECT_EQ(file.GetValue(6, born), 1);
        EXPECT_EQ(born.year * 10000 + born.month * 100 + born.day, 19991231);

        // A row of NULLs is a record of blanks.
        ASSERT_EQ(file.Seek(2), 1);
        EXPECT_EQ(Text(file, 0), "3");
        for (int f = 1; f < 7; ++f)
            EXPECT_EQ(Text(file, f), "") << f;
    }

    // The export of a query's rows into a file of the test's folder.
    bool Export(const char* sql, const std::filesystem::path& path)
    {
        CODBCRecord rs(&db);
        if (!rs.Open(CRecordset::forwardOnly, sql, CRecordset::readOnly)) {
            ADD_FAILURE() << "cannot open " << sql;
            return false;
        }
        return CopyODBCtoDBF(path.c_str(), rs);
    }

    std::unique_ptr<EngineDatabase> engine;
    CDatabase db;
    TempDir dir;
};

// The export reads through the recordset's typed reads, so a recordset that
// binds its columns (and answers those reads from its own buffers) exports
// the same file as one that fetches each column from the driver.
TEST_P(DbfExport, CopiesEveryRowAndColumn)
{
    const std::string dbl = engine->pg() ? "DOUBLE PRECISION" : "DOUBLE";
    db.ExecuteSQL(("CREATE TABLE items (id INTEGER, qty SMALLINT, big BIGINT, name VARCHAR(10), "
                   "price NUMERIC(8,2), ratio " + dbl + ", born DATE)").c_str());
    db.ExecuteSQL("INSERT INTO items VALUES (1, -3, 9007199254740993, 'Иван', 19.95, 1234.25, '2024-02-29')");
    db.ExecuteSQL("INSERT INTO items VALUES (2, 32767, -1, 'O''Brien', -0.5, 0.125, '1999-12-31')");
    db.ExecuteSQL("INSERT INTO items VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL)");

    std::string first;
    for (const bool bound : {false, true}) {
        SCOPED_TRACE(bound ? "CDynamicRecord" : "CODBCRecord");
        std::unique_ptr<CODBCRecord> rs;
        if (bound)
            rs = std::make_unique<CDynamicRecord>(&db);
        else
            rs = std::make_unique<CODBCRecord>(&db);
        ASSERT_TRUE(rs->Open(CRecordset::forwardOnly,
                             "SELECT id, qty, big, name, price, ratio, born FROM items ORDER BY id",
                             CRecordset::readOnly));
        const auto path = dir / (bound ? "bound.dbf" : "items.dbf");
        ASSERT_TRUE(CopyODBCtoDBF(path.c_str(), *rs));
        EXPECT_TRUE(rs->IsEOF());
        if (bound)
            EXPECT_EQ(kelm::test::readFile(path), first);
        else
            first = kelm::test::readFile(path);
        CheckItems(path);
    }
}

TEST_P(DbfExport, ColumnWithoutAFieldTypeMakesNoFile)
{
    // Binary and long text columns have no DBF field.
    for (const std::string type : {engine->pg() ? "BYTEA" : "BLOB", "TEXT"}) {
        SCOPED_TRACE(type);
        db.ExecuteSQL("DROP TABLE IF EXISTS odd");
        db.ExecuteSQL(("CREATE TABLE odd (id INTEGER, data " + type + ")").c_str());
        db.ExecuteSQL("INSERT INTO odd (id) VALUES (1)");
        CODBCRecord rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, data FROM odd", CRecordset::readOnly));
        const auto path = dir / "odd.dbf";
        EXPECT_FALSE(CopyODBCtoDBF(path.c_str(), rs));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_P(DbfExport, EmptyResultGivesAnEmptyTable)
{
    db.ExecuteSQL("CREATE TABLE no_rows (id INTEGER, name VARCHAR(5))");
    CODBCRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name FROM no_rows", CRecordset::readOnly));
    const auto path = dir / "nothing.dbf";
    ASSERT_TRUE(CopyODBCtoDBF(path.c_str(), rs));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    EXPECT_EQ(file.GetRecordCount(), 0);
    EXPECT_EQ(file.GetFieldCount(), 2);
}

// What python3-dbfread reads from a file: one line a record, values by repr.
std::string ReadWithDbfread(const TempDir& dir, const std::filesystem::path& path)
{
    const auto script = dir.write("read.py", R"(import sys, dbfread
for r in dbfread.DBF(sys.argv[1], encoding='utf-8'):
    print('|'.join(repr(v) for v in r.values()))
)");
    const std::string cmd = "/usr/bin/python3 " + script.string() + " " + path.string() + " 2>&1";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return "<popen failed>";
    std::string out;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
        out.append(buf, n);
    if (pclose(pipe) != 0)
        out += "<dbfread failed>";
    return out;
}

// Text is UTF-8: a column full of two-byte letters exports whole, and a value
// the field cannot hold makes the export report that it did not fit.
TEST_P(DbfExport, UnicodeTextFillingItsColumnExportsWhole)
{
    db.ExecuteSQL("CREATE TABLE people (id INTEGER, name VARCHAR(6), code CHAR(3))");
    db.ExecuteSQL("INSERT INTO people VALUES (1, 'Петров', 'Жёж')");
    db.ExecuteSQL("INSERT INTO people VALUES (2, 'Ян', 'abc')");
    const char* sql = "SELECT id, name, code FROM people ORDER BY id";
    ASSERT_TRUE(Export(sql, dir / "people.dbf"));
    EXPECT_EQ(ReadWithDbfread(dir, dir / "people.dbf"), "1|'Петров'|'Жёж'\n2|'Ян'|'abc'\n");
    if (engine->pg())
        return;
    // SQLite keeps a text longer than its declared size.
    db.ExecuteSQL("INSERT INTO people VALUES (3, 'Петров-Водкин', 'abc')");
    const auto path = dir / "long.dbf";
    EXPECT_FALSE(Export(sql, path));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    EXPECT_EQ(file.GetRecordCount(), 3);
}

// Floating columns get decimals the column does not state; the field is
// widened for them, so values with as many whole digits as the column's
// precision still fit.
TEST_P(DbfExport, FloatingColumnsHoldTheirWholeDigits)
{
    const std::string dbl = engine->pg() ? "DOUBLE PRECISION" : "DOUBLE";
    db.ExecuteSQL(("CREATE TABLE measures (id INTEGER, amount NUMERIC(8,2), big " + dbl + ", small REAL)").c_str());
    db.ExecuteSQL("INSERT INTO measures VALUES (1, 123456.78, 1e14, 1e9)");
    db.ExecuteSQL("INSERT INTO measures VALUES (2, -123456.78, -1e14, -0.5)");
    const auto path = dir / "measures.dbf";
    ASSERT_TRUE(Export("SELECT id, amount, big, small FROM measures ORDER BY id", path));
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    ASSERT_EQ(file.GetRecordCount(), 2);
    double amount = 0, big = 0, small = 0;
    ASSERT_EQ(file.GetValue(1, amount) + file.GetValue(2, big) + file.GetValue(3, small), 3);
    EXPECT_DOUBLE_EQ(amount, 123456.78);
    EXPECT_DOUBLE_EQ(big, 1e14);
    EXPECT_DOUBLE_EQ(small, 1e9);
    ASSERT_EQ(file.Seek(1), 1);
    ASSERT_EQ(file.GetValue(1, amount) + file.GetValue(2, big) + file.GetValue(3, small), 3);
    EXPECT_DOUBLE_EQ(amount, -123456.78);
    EXPECT_DOUBLE_EQ(big, -1e14);
    EXPECT_DOUBLE_EQ(small, -0.5);
}

// A recordset whose date read fails on its second row, as a driver's
// conversion error would.
class FailingDateRecord : public CODBCRecord {
public:
    using CODBCRecord::CODBCRecord;
    using CODBCRecord::GetFieldData;
    long GetFieldData(short index, TIMESTAMP_STRUCT& value) override
    {
        if (++m_reads == 2)
            AfxThrowDBException(AFX_SQL_ERROR_ROW_FETCH, m_pDatabase, SQL_NULL_HSTMT);
        return CODBCRecord::GetFieldData(index, value);
    }

private:
    int m_reads = 0;
};

// A database error in the middle of a row reaches the caller, and the row's
// half-filled record is not added to the file.
TEST_P(DbfExport, RowCutShortByAnErrorIsNotWritten)
{
    db.ExecuteSQL("CREATE TABLE events (id INTEGER, name VARCHAR(5), at DATE)");
    db.ExecuteSQL("INSERT INTO events VALUES (1, 'one', '2024-02-29')");
    db.ExecuteSQL("INSERT INTO events VALUES (2, 'two', '2024-03-01')");
    FailingDateRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name, at FROM events ORDER BY id",
                        CRecordset::readOnly));
    const auto path = dir / "events.dbf";
    EXPECT_THROW(CopyODBCtoDBF(path.c_str(), rs), CDBException);
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    EXPECT_EQ(file.GetRecordCount(), 1);
    EXPECT_EQ(ReadWithDbfread(dir, path), "1|'one'|datetime.date(2024, 2, 29)\n");
}

// A row that fails on the server ends the export with the database error,
// not a result; the rows copied before it are in a file left consistent.
// Rows are fetched in rowsets: those of the rowset that failed may be
// missing, the rows before them are there.
TEST(DbfExportErrors, ServerErrorMidwayReachesTheCaller)
{
    KELM_REQUIRE_PG();
    PgDatabase pg("dbfexport_error");
    CDatabase db;
    // Rows come from a server cursor two at a time, so the third is computed
    // only when the export moves to it.
    ASSERT_TRUE(db.OpenEx((pg.odbcConnString() + "UseDeclareFetch=1;Fetch=2;").c_str(), CDatabase::noOdbcDialog));
    CODBCRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT i AS id, 10 / (3 - i) AS v FROM generate_series(1, 5) i",
                        CRecordset::readOnly));
    TempDir dir;
    const auto path = dir / "broken.dbf";
    EXPECT_THROW(CopyODBCtoDBF(path.c_str(), rs), CDBException);
    CDataBaseFile file;
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    const long count = file.GetRecordCount();
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 2);
    const std::int32_t expected[] = {5, 10};
    for (long r = 0; r < count; ++r) {
        std::int32_t v = 0;
        ASSERT_EQ(file.Seek(r), 1);
        EXPECT_EQ(file.GetValue(1, v), 1);
        EXPECT_EQ(v, expected[r]);
    }
    // Header, two descriptors, the records and the end mark: nothing half-written.
    EXPECT_EQ(kelm::test::readFile(path).size(), 32u * 3 + 1 + std::size_t(count) * (1 + 11 + 11) + 1);
}

// The library's owning array takes the descriptors made before a refused
// column, and makes the same file as the plain array.
TEST(DbfExportArrays, LibraryArrayKeepsWhatWasMade)
{
    CODBCFieldInfo infos[3];
    infos[0].m_strName = "id";
    infos[0].m_nSQLType = SQL_INTEGER;
    infos[0].m_nPrecision = 10;
    infos[1].m_strName = "name";
    infos[1].m_nSQLType = SQL_VARCHAR;
    infos[1].m_nPrecision = 12;
    infos[2].m_strName = "memo";
    infos[2].m_nSQLType = SQL_LONGVARCHAR;

    CDBTypedPtrArrayEx<CFieldDBF*> fields;
    EXPECT_FALSE(ConvertODBCtoDBF(infos, 3, fields));
    ASSERT_EQ(fields.GetSize(), 2);
    EXPECT_EQ(fields[1]->m_offset, 12u);
    EXPECT_EQ(fields[1]->m_length, 48) << "12 characters of up to 4 bytes";

    CFieldDBFArray plain;
    ASSERT_TRUE(ConvertODBCtoDBF(infos, 2, plain));
    TempDir dir;
    ASSERT_TRUE(CreateDBFile((dir / "a.dbf").c_str(), fields));
    ASSERT_TRUE(CreateDBFile((dir / "b.dbf").c_str(), plain));
    EXPECT_EQ(kelm::test::readFile(dir / "a.dbf"), kelm::test::readFile(dir / "b.dbf"));
    CDBTypedPtrArrayEx<CFieldDBF*> none;
    EXPECT_FALSE(CreateDBFile((dir / "c.dbf").c_str(), none));
}

INSTANTIATE_TEST_SUITE_P(Engines, DbfExport, ::testing::Values("sqlite", "pg"));

} // namespace
