// Display names of ODBC codes and the texts the list fillers write for the
// rows of a query, on both engines.
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/listfillers.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <utility>

using namespace kelm::test;

namespace {

TEST(DisplayNames, CodesAndTheirTexts)
{
    const std::pair<short, const char*> types[] = {
        {-11, "GUID"}, {-10, "WLONGVARCHAR"}, {-9, "WVARCHAR"}, {-8, "WCHAR"}, {-7, "BIT"}, {-6, "TINYINT"},
        {-5, "BIGINT"}, {-4, "LONGVARBINARY"}, {-3, "VARBINARY"}, {-2, "BINARY"}, {-1, "LONGVARCHAR"},
        {0, ""}, {1, "CHAR"}, {2, "NUMERIC"}, {3, "DECIMAL"}, {4, "INTEGER"}, {5, "SMALLINT"}, {6, "FLOAT"},
        {7, "REAL"}, {8, "DOUBLE"}, {9, ""}, {10, "TIME"}, {11, "TIMESTAMP"}, {12, "VARCHAR"}, {13, ""},
        {91, "TYPE_DATE"}, {92, "TYPE_TIME"}, {93, "TYPE_TIMESTAMP"}, {-12, ""}, {94, ""},
    };
    for (auto [code, text] : types)
        EXPECT_STREQ(GetSQLTypeName(code), text) << code;
    const std::pair<short, const char*> nullable[] = {{0, "NOT NULL"}, {1, "NULL"}, {2, ""}, {-1, ""}};
    for (auto [code, text] : nullable)
        EXPECT_STREQ(GetNulableColName(code), text) << code;
    const std::pair<short, const char*> kinds[] = {{0, "Unknown"}, {1, "In"}, {2, "In\\Out"}, {3, "Result col"},
                                                   {4, "Out"}, {5, "Return value"}, {6, "Unknown"}};
    for (auto [code, text] : kinds)
        EXPECT_STREQ(GetColProcTypeName(code), text) << code;
}

TEST(DisplayNames, ColumnDataHoldsSizeAndType)
{
    struct Case {
        short type;
        SQLULEN precision;
        long size;
    };
    const Case cases[] = {
        {-11, 36, 129}, {12, 40, 40}, {-9, 7, 7}, {4, 10, 11}, {-5, 19, 20}, {-3, 16, 34}, {2, 10, 12},
        {3, 5, 7}, {93, 23, 33}, {8, 15, 25}, {-1, 1000000, 32767}, {-4, 20000, 32767},
    };
    for (const Case& c : cases) {
        long data = SelectListColumnData(c.type, c.precision);
        EXPECT_EQ(data >> 16, c.size) << c.type;
        EXPECT_EQ(static_cast<short>(data & 0xFFFF), c.type) << c.type;
    }
}

class ListFillers : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam())
            KELM_REQUIRE_PG();
        engine = std::make_unique<EngineDatabase>(GetParam(), "fillers");
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(engine->connect().c_str(), false, error)) << error;
    }
    std::unique_ptr<EngineDatabase> engine;
    CDatabaseEx db;
};

TEST_P(ListFillers, ChoiceListWritesTabbedRowsAndLeavesLongColumnsOut)
{
    // The long text column is last, so its tab stays: the tab follows the
    // column's place, not the columns written.
    const char* longText = GetParam() ? "CAST('x' AS text)" : "CAST('x' AS BLOB)";
    db.ExecuteSQL("CREATE TABLE t (id INTEGER, name VARCHAR(20))");
    db.ExecuteSQL("INSERT INTO t VALUES (1, 'Анна')");
    db.ExecuteSQL("INSERT INTO t VALUES (2, NULL)");
    CRecordset rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly,
                        (std::string("SELECT id AS \"[[Order]]\", name, ") + longText + " AS body FROM t ORDER BY id").c_str(),
                        CRecordset::readOnly));
    std::string out;
    FillChoiceList(rs, out, 1);
    EXPECT_EQ(out, "Order\tname\t\n1\tАнна\t\n2\t\t\n");
    EXPECT_TRUE(rs.IsEOF());

    CRecordset again(&db);
    ASSERT_TRUE(again.Open(CRecordset::forwardOnly, "SELECT name, id FROM t ORDER BY id", CRecordset::readOnly));
    FillChoiceList(again, out, 0);
    EXPECT_EQ(out, "Анна\t1\n\t2\n");
}

TEST_P(ListFillers, SelectListCellsByTheirSqlType)
{
    if (!GetParam())
        GTEST_SKIP() << "SQLite reports most declared types as text; the PostgreSQL half covers each kind";
    struct Case {
        const char* expression;
        short type;
        const char* text;
    };
    const Case cases[] = {
        {"CAST(42 AS integer)", SQL_INTEGER, "42"},
        {"CAST(NULL AS integer)", SQL_INTEGER, ""},
        {"CAST('Щука' AS varchar(10))", SQL_VARCHAR, "Щука"},
        {"CAST('long' AS text)", SQL_LONGVARCHAR, "LONG VARCHAR"},
        {"CAST('2024-02-29 13:14:15' AS timestamp)", SQL_TYPE_TIMESTAMP, "02/29/2024 13:14:15"},
        {"CAST(NULL AS timestamp)", SQL_TYPE_TIMESTAMP, ""},
        {"CAST('2024-02-29' AS date)", SQL_TYPE_DATE, "02/29/2024"},
        {"CAST(NULL AS date)", SQL_TYPE_DATE, "NULL"},
        {"CAST('07:08:09' AS time)", SQL_TYPE_TIME, "07:08:09"},
        {"CAST(NULL AS time)", SQL_TYPE_TIME, "NULL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        CRecordset rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, (std::string("SELECT ") + c.expression).c_str(), CRecordset::readOnly));
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(short{0}, info);
        EXPECT_EQ(info.m_nSQLType, c.type);
        EXPECT_EQ(SelectListCellText(rs, 0, info.m_nSQLType), c.text);
    }
    // The fixed texts of long columns and binary values read as binary.
    const Case forced[] = {
        {"CAST('abc' AS text)", SQL_WLONGVARCHAR, "UNKNOWN TYPE"},
        {"CAST('\\x0aff' AS bytea)", SQL_LONGVARBINARY, "LONG VARBINARY"},
        {"CAST('\\x0aff' AS bytea)", SQL_VARBINARY, "0x0aff"},
        {"CAST('' AS bytea)", SQL_BINARY, ""},
        {"CAST(NULL AS bytea)", SQL_VARBINARY, "NULL"},
        {"CAST(1 AS integer)", 99, "UNKNOWN TYPE"},
    };
    for (const Case& c : forced) {
        SCOPED_TRACE(c.expression);
        CRecordset rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, (std::string("SELECT ") + c.expression).c_str(), CRecordset::readOnly));
        EXPECT_EQ(SelectListCellText(rs, 0, c.type), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, ListFillers, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
