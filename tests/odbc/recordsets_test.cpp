// The general, single-row and bulk recordsets and the catalog recordsets
// over a small fixture, on SQLite and PostgreSQL.
#include "odbc/sql/odbccatalog.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/dynamicrecord.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/paramarray.h"
#include "odbc/data/core/recordsettrace.h"

#include "tests/common/testsupport.h"

#include "afx/file.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kelm::test;

namespace {

class Recordsets : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam())
            KELM_REQUIRE_PG();
        engine = std::make_unique<EngineDatabase>(GetParam(), "recordsets", kPgRecordsetOptions);
        SetOrvoMessageHandler([this](const std::string& text, long) {
            messages.push_back(text);
            return IDOK;
        });
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(engine->connect().c_str(), false, error)) << error;
        db.ExecuteSQL(GetParam() ? "CREATE TABLE t (id SERIAL PRIMARY KEY, name VARCHAR(20), amount DECIMAL(10,2), "
                                   "ok BOOLEAN, body TEXT)"
                                 : "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(20), amount DECIMAL(10,2), "
                                   "ok BOOLEAN, body TEXT)");
        for (int i = 1; i <= 7; ++i)
            db.ExecuteSQL(("INSERT INTO t (name, amount, ok, body) VALUES ('n" + std::to_string(i) + "', -" +
                           std::to_string(i) + "2345678.9" + ", " + (i % 2 ? "TRUE" : "FALSE") + ", NULL)")
                              .c_str());
    }
    void TearDown() override { SetOrvoMessageHandler(nullptr); }

    std::unique_ptr<EngineDatabase> engine;
    CDatabaseEx db;
    std::vector<std::string> messages;
};

TEST_P(Recordsets, GeneralRecordsetReadsColumnsByIndexWithParameters)
{
    CODBCRecord rs(&db);
    rs.AddParamValue(LONG(3), CFieldExchange::inputParam);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name, amount, ok, body FROM t WHERE id >= ? ORDER BY id",
                        CRecordset::readOnly));
    ASSERT_FALSE(rs.IsEOF());
    int id = 0;
    EXPECT_EQ(rs.GetFieldData(0, id), 4);
    EXPECT_EQ(id, 3);
    std::string text;
    EXPECT_GT(rs.GetFieldData(1, text, -1), 0);
    EXPECT_EQ(text, "n3");
    // DECIMAL(10,2) at full width with its sign and point.
    rs.GetFieldData(2, text, -1);
    if (GetParam()) {
        EXPECT_EQ(text, "-32345678.90");
    } else {
        EXPECT_DOUBLE_EQ(std::stod(text), -32345678.9); // SQLite keeps it as a real
    }
    EXPECT_EQ(rs.GetFieldData(4, text, -1), -1);
    EXPECT_EQ(text, "");
    EXPECT_THROW(rs.GetFieldData(5, text, -1), CDBException);
    int rows = 1;
    for (rs.MoveNext(); !rs.IsEOF(); rs.MoveNext())
        ++rows;
    EXPECT_EQ(rows, 5);
    rs.Close();
    EXPECT_EQ(rs.GetDynParamCount(), 0);

    // A data-changing statement runs as written.
    CODBCRecord insert(&db);
    insert.AddParamValue("written", CFieldExchange::inputParam, 0, SQL_VARCHAR, 0);
    ASSERT_TRUE(insert.Open(CRecordset::forwardOnly, "insert INTO t (name) VALUES (?)", CRecordset::none));
    EXPECT_TRUE(insert.IsEOF());
    insert.Close();
    EXPECT_EQ(db.GetMaxRecordCount("t"), 8);
}

TEST_P(Recordsets, DynamicRecordBindsEveryColumnAndReadsTheNewKeyBack)
{
    CDynamicRecord rs(&db);
    rs.SetSqlQuery("SELECT id, name, amount, ok FROM t");
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, nullptr, CRecordset::none));
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.GetODBCFieldCount(), 4);
    EXPECT_EQ(rs.GetField(1).m_info.m_strName, "name");
    std::string name;
    rs.GetFieldData(1, name, -1);
    EXPECT_EQ(name, "n1");
    EXPECT_THROW(rs.PutData(1, "x"), CDBException);

    rs.AddNew();
    EXPECT_TRUE(rs.PutData(1, "added"));
    ASSERT_TRUE(rs.Update());
    EXPECT_STREQ(rs.GetIdentity(), "8");
    rs.Close();
    std::string added;
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    ASSERT_TRUE(db.GetOneRecord("SELECT name FROM t WHERE id = 8", fields, nullptr, false));
    fields[0]->m_value.GetData(added, -1);
    EXPECT_EQ(added, "added");
}

TEST_P(Recordsets, BulkRecordReadsRowsetsAndKnowsAShortLastRowset)
{
    CDynamicBulkRecord rs(&db);
    rs.SetRowsetSize(3);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, name, amount FROM t ORDER BY id", CRecordset::readOnly));
    EXPECT_EQ(rs.GetRowsetPos(), 1);
    if (GetParam()) {
        EXPECT_EQ(rs.GetField(2).m_value.m_nElementSize, 13); // DECIMAL(10,2): 10 + 1 + 2
    }
    std::vector<int> ids;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        for (WORD row = 1; rs.RowsetPos(row); ++row) {
            int id = 0;
            rs.GetFieldData(0, id);
            ids.push_back(id);
        }
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(rs.GetRowsetPos(), 0);
    int id = 0;
    EXPECT_THROW(rs.GetFieldData(0, id), CDBException);
    rs.Close();

    // A row's text into a caller's buffer, ended inside it; a file written
    // just before is stored whole.
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, name FROM t WHERE id = 3", CRecordset::readOnly));
    unsigned char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(rs.GetFieldData(1, buffer, 2), 1);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "n");
    EXPECT_EQ(rs.GetFieldData(1, buffer, 3), 2);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "n3");
    CMemFile file;
    file.Write("from a file", 11);
    ASSERT_TRUE(rs.PutData(1, file));
    std::string text;
    rs.GetFieldData(1, text, -1);
    EXPECT_EQ(text, "from a file");
    rs.Close();

    CDynamicBulkRecord empty(&db);
    ASSERT_TRUE(empty.Open(CRecordset::snapshot, "SELECT id FROM t WHERE id < 0", CRecordset::readOnly));
    EXPECT_TRUE(empty.IsEOF());
    EXPECT_EQ(empty.GetRowsetPos(), 0);
    EXPECT_THROW(empty.GetFieldData(0, id), CDBException);
}

// A binary value longer than the recordset reads of it is a database error
// that names the column, not a value silently cut.
TEST_P(Recordsets, BinaryLongerThanItsCapIsADatabaseError)
{
    db.ExecuteSQL(GetParam() ? "CREATE TABLE blobs (id INTEGER, raw BYTEA)" : "CREATE TABLE blobs (id INTEGER, raw BLOB)");
    db.ExecuteSQL(GetParam() ? "INSERT INTO blobs VALUES (1, decode(repeat('ab', 3000), 'hex'))"
                             : "INSERT INTO blobs VALUES (1, zeroblob(3000))");
    CDynamicRecord rs(&db);
    try {
        rs.Open(CRecordset::forwardOnly, "SELECT id, raw FROM blobs", CRecordset::readOnly);
        ADD_FAILURE() << "a 3000-byte value was read into 2048 bytes";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.find("raw"), std::string::npos) << e.m_strError;
    }
}

// Too few parameters for the statement's markers: the library's own message,
// before the driver is asked to execute.
TEST_P(Recordsets, TooFewParametersAreReportedBeforeExecuting)
{
    CODBCRecord rs(&db);
    rs.AddParamValue(LONG{1}, CFieldExchange::inputParam);
    try {
        rs.Open(CRecordset::forwardOnly, "SELECT id FROM t WHERE id = ? OR id = ?", CRecordset::readOnly);
        ADD_FAILURE() << "opened with one parameter for two markers";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strError, "Не совпадает количество параметров запроса !");
    }
    EXPECT_FALSE(rs.IsOpen());
    CODBCRecord enough(&db);
    enough.AddParamValue(LONG{1}, CFieldExchange::inputParam);
    enough.AddParamValue(LONG{2}, CFieldExchange::inputParam);
    ASSERT_TRUE(enough.Open(CRecordset::forwardOnly, "SELECT id FROM t WHERE id = ? OR id = ? ORDER BY id",
                            CRecordset::readOnly));
    int id = 0;
    enough.GetFieldData(0, id);
    EXPECT_EQ(id, 1);
}

// Each catalog recordset reads its members from the driver's columns by
// their place: a row of each, on a database built here.
TEST_P(Recordsets, CatalogRecordsetsReadTheirColumnsIntoTheirMembers)
{
    const bool pg = GetParam();
    db.ExecuteSQL("CREATE TABLE child (id INTEGER PRIMARY KEY, t_id INTEGER NOT NULL REFERENCES t (id), "
                  "note VARCHAR(12))");
    db.ExecuteSQL("CREATE INDEX child_t ON child (t_id)");
    if (pg) {
        db.ExecuteSQL("CREATE FUNCTION twice(x INTEGER) RETURNS INTEGER AS 'SELECT 2 * x' LANGUAGE sql");
    }
    // Reads rows until `match` takes one; its text, or "<none>".
    auto first = [](CRecordset& rs, const std::function<bool()>& match, const std::function<std::string()>& text) {
        for (; !rs.IsEOF(); rs.MoveNext())
            if (match())
                return text();
        return std::string("<none>");
    };
    auto any = [] { return true; };
    using std::to_string;

    CTables tables(&db);
    CColumns columns(&db);
    CPrimaryKeys keys(&db);
    CForeignKeys foreign(&db);
    CStatistics stats(&db);
    CSpecialColumns special(&db);
    CProcedures procedures(&db);
    CProcedureColumns procColumns(&db);
    CTablePrivileges tablePriv(&db);
    CColumnPrivileges columnPriv(&db);
    CGetTypeInfo types(&db);
    const struct {
        const char* name;
        std::function<BOOL()> open;
        CRecordset* rs;
        std::function<bool()> match;
        std::function<std::string()> text;
        std::string expected; // "" where the engine has nothing to show
    } cases[] = {
        {"tables", [&] { return tables.Open(nullptr, nullptr, "child", nullptr); }, &tables, any,
         [&] { return tables.m_strTableName + "|" + tables.m_strTableType; }, "child|TABLE"},
        {"columns", [&] { return columns.Open(nullptr, nullptr, "child", "note"); }, &columns, any,
         [&] {
             return columns.m_strColumnName + "|" + to_string(columns.m_nDataType == SQL_VARCHAR ||
                                                             columns.m_nDataType == SQL_WVARCHAR) +
                    "|" + to_string(columns.m_lPrecision) + "|" + to_string(columns.m_nNullable);
         },
         "note|1|12|1"},
        {"primary keys", [&] { return keys.Open(nullptr, nullptr, "child"); }, &keys, any,
         [&] { return keys.m_strTableName + "|" + keys.m_strColumnName + "|" + to_string(keys.m_nKeySeq); },
         "child|id|1"},
        {"foreign keys", [&] { return foreign.Open(nullptr, nullptr, "t", nullptr, nullptr, "child"); }, &foreign, any,
         [&] {
             return foreign.m_strPkTableName + "." + foreign.m_strPkColumnName + "<-" + foreign.m_strFkTableName + "." +
                    foreign.m_strFkColumnName + "|" + to_string(foreign.m_nKeySeq);
         },
         "t.id<-child.t_id|1"},
        {"statistics", [&] { return stats.Open(nullptr, nullptr, "child", SQL_INDEX_ALL, SQL_QUICK); }, &stats,
         [&] { return stats.m_strIndexName == "child_t"; },
         [&] {
             return stats.m_strIndexName + "|" + stats.m_strColumnName + "|" + to_string(stats.m_nNonUnique) + "|" +
                    to_string(stats.m_nSeqInIndex);
         },
         "child_t|t_id|1|1"},
        {"special columns",
         [&] {
             // psqlODBC names no best row id without OIDs; its row version is xmin.
             return special.Open(pg ? SQL_ROWVER : SQL_BEST_ROWID, nullptr, nullptr, "child", SQL_SCOPE_SESSION,
                                 SQL_NULLABLE);
         },
         &special, any, [&] { return special.m_strColumnName + "|" + to_string(special.m_nDataType != 0); },
         pg ? "xmin|1" : "_ROWID_|1"},
        {"procedures", [&] { return procedures.Open(nullptr, nullptr, "twice"); }, &procedures, any,
         [&] {
             return procedures.m_strProcedureName + "|" + procedures.m_strRemarks + "|" +
                    to_string(procedures.m_nProcedureType);
         },
         pg ? "twice||2" : ""},
        {"procedure columns", [&] { return procColumns.Open(nullptr, nullptr, "twice", nullptr); }, &procColumns,
         [&] { return procColumns.m_nColumnType == SQL_PARAM_INPUT; },
         [&] {
             return procColumns.m_strProcedureName + "|" + procColumns.m_strColumnName + "|" +
                    to_string(procColumns.m_nDataType);
         },
         pg ? "twice|x|4" : ""},
        {"table privileges", [&] { return tablePriv.Open(nullptr, nullptr, "child"); }, &tablePriv,
         [&] { return tablePriv.m_strPrivilege == "SELECT"; },
         [&] { return tablePriv.m_strTableName + "|" + tablePriv.m_strPrivilege; }, "child|SELECT"},
        {"column privileges", [&] { return columnPriv.Open(nullptr, nullptr, "child", "note"); }, &columnPriv,
         [&] { return columnPriv.m_strPrivilege == "SELECT"; },
         [&] { return columnPriv.m_strColumnName + "|" + columnPriv.m_strPrivilege; }, ""},
        {"type info", [&] { return types.Open(SQL_INTEGER); }, &types, any,
         [&] { return to_string(types.m_nDataType) + "|" + to_string(types.m_nNullable); }, "4|1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.open()) {
            EXPECT_EQ(c.expected, "") << "the driver lacks the function";
            continue;
        }
        const std::string got = first(*c.rs, c.match, c.text);
        EXPECT_EQ(got, c.expected.empty() ? "<none>" : c.expected);
    }

    CTables nothing(&db);
    ASSERT_TRUE(nothing.Open(nullptr, nullptr, "no_such_table", nullptr));
    EXPECT_TRUE(nothing.IsEOF());
    EXPECT_TRUE(nothing.IsBOF());
    CTables closed(nullptr);
    EXPECT_FALSE(closed.Open(nullptr, nullptr, nullptr, nullptr));
}

TEST_P(Recordsets, ColumnsConvertToTextByTheirType)
{
    db.ExecuteSQL(GetParam() ? "CREATE TABLE kinds (d DOUBLE PRECISION, b BOOLEAN, nb BOOLEAN, raw BYTEA, ts TIMESTAMP, "
                               "dt DATE, big BIGINT)"
                             : "CREATE TABLE kinds (d DOUBLE, b BIT, nb BIT, raw BLOB, ts TIMESTAMP, dt DATE, big BIGINT)");
    db.ExecuteSQL(GetParam() ? "INSERT INTO kinds VALUES (2.5, TRUE, NULL, '\\x0aff', '2024-03-05 06:07:08', "
                               "'2024-03-05', 9000000000)"
                             : "INSERT INTO kinds VALUES (2.5, 1, NULL, X'0aff', '2024-03-05 06:07:08', '2024-03-05', "
                               "9000000000)");
    const char* pattern = "%d.%m.%Y %H:%M";
    const char* datePattern = "%Y/%m/%d";
    struct Case {
        const char* column;
        int decimals;
        const char* text;
        bool null;
    } cases[] = {
        {"d", 0, "2.50", false},      {"d", 3, "2.500", false},   {"b", -1, "TRUE", false},
        {"nb", -1, "", true},         {"raw", -1, "0x0aff", false}, {"ts", -1, "05.03.2024 06:07", false},
        {"dt", -1, "2024/03/05", false}, {"big", -1, "9000000000", false},
    };
    for (const Case& c : cases) {
        CODBCRecord rs(&db);
        rs.SetFormatDateTime(pattern);
        rs.SetFormatDate(datePattern);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, (std::string("SELECT ") + c.column + " FROM kinds").c_str(),
                            CRecordset::readOnly));
        std::string text = "junk";
        long r = rs.GetFieldData(0, text, c.decimals);
        if (!GetParam() && (std::string(c.column) == "b" || std::string(c.column) == "nb")) {
            continue; // SQLite's BIT column comes back as an integer
        }
        if (!GetParam() && std::string(c.column) == "dt") {
            continue; // SQLite reports a DATE column as a timestamp
        }
        EXPECT_EQ(text, c.text) << c.column;
        EXPECT_EQ(r == -1, c.null) << c.column;
    }

    // A double read with the column's own precision prints that many decimals.
    CODBCRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT d FROM kinds", CRecordset::readOnly));
    CODBCFieldInfo info;
    rs.GetODBCFieldInfo(short(0), info);
    std::string text;
    rs.GetFieldData(0, text, -1);
    std::size_t point = text.find('.');
    ASSERT_NE(point, std::string::npos);
    EXPECT_EQ(text.size() - point - 1, info.m_nPrecision > 0 ? info.m_nPrecision : 2u);
}

// Texts and bytes many times the size of one read come back whole, a
// character cut at a piece's end included.
TEST_P(Recordsets, LongTextAndBytesAreReadWholeInPieces)
{
    std::string longText;
    for (int i = 0; i < 4001; ++i)
        longText += "\xD1\x8F\xD0\xB1"; // "яб": an odd-sized piece ends inside a character
    db.ExecuteSQL(("UPDATE t SET body = '" + longText + "' WHERE id = 1").c_str());
    std::vector<std::uint8_t> bytes(20001);
    std::string hex;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        static const char digits[] = "0123456789abcdef";
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    db.ExecuteSQL(GetParam() ? "CREATE TABLE blobs (raw BYTEA)" : "CREATE TABLE blobs (raw BLOB)");
    db.ExecuteSQL((GetParam() ? "INSERT INTO blobs VALUES ('\\x" + hex + "')" : "INSERT INTO blobs VALUES (X'" + hex + "')")
                      .c_str());

    CODBCRecord text(&db);
    ASSERT_TRUE(text.Open(CRecordset::forwardOnly, "SELECT body FROM t WHERE id = 1", CRecordset::readOnly));
    std::string read;
    EXPECT_EQ(text.GetFieldData(0, read, -1), static_cast<long>(longText.size()));
    EXPECT_EQ(read, longText);

    CODBCRecord raw(&db);
    ASSERT_TRUE(raw.Open(CRecordset::forwardOnly, "SELECT raw FROM blobs", CRecordset::readOnly));
    std::vector<std::uint8_t> readBytes;
    EXPECT_EQ(raw.GetFieldData(0, readBytes), static_cast<long>(bytes.size()));
    EXPECT_EQ(readBytes, bytes);
}

TEST_P(Recordsets, ParametersOfEveryKindAndTheirSizes)
{
    CODBCRecord rs(&db);
    EXPECT_EQ(rs.AddParamValue("abc", CFieldExchange::inputParam, 2, SQL_VARCHAR, 0), 0);
    EXPECT_EQ(rs.GetParam(0).m_info.m_nPrecision, 4u);
    EXPECT_EQ(rs.AddParamValue("abc", CFieldExchange::inputParam, 10, SQL_VARCHAR, 0), 1);
    EXPECT_EQ(rs.GetParam(1).m_info.m_nPrecision, 10u);
    EXPECT_EQ(rs.GetParam(1).m_info.m_strName, "PARAM_2");
    CDBVariantEx null;
    EXPECT_EQ(rs.AddParamValue(null, CFieldExchange::inputParam, 0), -1);
    EXPECT_EQ(rs.GetDynParamCount(), 2);

    CODBCRecord typed(&db);
    typed.AddParamValue(double(-12345678.9), CFieldExchange::inputParam);
    CDBVariantEx name;
    name = "n2";
    typed.AddParamValue(name, CFieldExchange::inputParam, 0);
    ASSERT_TRUE(typed.Open(CRecordset::forwardOnly, "SELECT id FROM t WHERE amount < ? AND name = ?", CRecordset::readOnly));
    ASSERT_FALSE(typed.IsEOF());
    int id = 0;
    typed.GetFieldData(0, id);
    EXPECT_EQ(id, 2);
}

// Bytes from a buffer and from a file go into a new row, and only while the
// record is being edited.
TEST_P(Recordsets, DynamicRecordStoresBytesFromABufferAndAFile)
{
    db.ExecuteSQL(GetParam() ? "CREATE TABLE pics (id SERIAL PRIMARY KEY, a BYTEA, b BYTEA)"
                             : "CREATE TABLE pics (id INTEGER PRIMARY KEY, a BLOB, b BLOB)");
    const unsigned char bytes[] = {0, 1, 0xfe, 0xff, 7};
    CMemFile file;
    file.Write("from a file", 11);

    CDynamicRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, a, b FROM pics", CRecordset::none));
    EXPECT_THROW(rs.PutData(1, bytes, sizeof bytes), CDBException);
    EXPECT_THROW(rs.PutData(2, file), CDBException);
    rs.AddNew();
    EXPECT_TRUE(rs.PutData(1, bytes, sizeof bytes));
    EXPECT_TRUE(rs.PutData(2, file));
    ASSERT_TRUE(rs.Update());
    rs.Close();

    CODBCRecord check(&db);
    ASSERT_TRUE(check.Open(CRecordset::forwardOnly, "SELECT a, b FROM pics", CRecordset::readOnly));
    ASSERT_FALSE(check.IsEOF());
    std::vector<std::uint8_t> a, b;
    check.GetFieldData(0, a);
    check.GetFieldData(1, b);
    EXPECT_EQ(a, std::vector<std::uint8_t>(bytes, bytes + sizeof bytes));
    EXPECT_EQ(std::string(b.begin(), b.end()), "from a file");
}

TEST_P(Recordsets, DynamicRecordCutsLongTextOnACharacter)
{
    std::string letters;
    for (int i = 0; i < 3000; ++i)
        letters += "ж";
    db.ExecuteSQL(("UPDATE t SET body = '" + letters + "' WHERE id = 2").c_str());
    db.ExecuteSQL("UPDATE t SET body = 'ab€€€€' WHERE id = 3");
    CDynamicRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT body FROM t WHERE id = 2", CRecordset::readOnly));
    std::string body;
    rs.GetFieldData(0, body, -1);
    EXPECT_EQ(body, letters.substr(0, 2048 * 2)); // 2048 letters of two bytes
    rs.Close();

    CDynamicRecord small(&db);
    small.SetSizeLONGVAR(5);
    ASSERT_TRUE(small.Open(CRecordset::forwardOnly, "SELECT body FROM t WHERE id = 3", CRecordset::readOnly));
    small.GetFieldData(0, body, -1);
    EXPECT_EQ(body, "ab€€€");
}

TEST_P(Recordsets, DynamicRecordEditsNullsAndCapsLongText)
{
    db.ExecuteSQL(("UPDATE t SET body = '" + std::string(3000, 'b') + "' WHERE id = 2").c_str());
    CDynamicRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, name, body FROM t ORDER BY id", CRecordset::none));
    // body has no declared size: it is bound with the LONGVAR cap.
    EXPECT_EQ(rs.GetField(2).m_info.m_nPrecision, 2048u);
    std::string body;
    EXPECT_EQ(rs.GetFieldData(2, body, -1), -1);
    EXPECT_TRUE(body.empty());
    rs.MoveNext();
    rs.GetFieldData(2, body, -1);
    EXPECT_EQ(body.size(), 2048u);
    EXPECT_EQ(body.find_first_not_of('b'), std::string::npos);
    rs.Edit();
    EXPECT_TRUE(rs.PutData(1, "edited"));
    ASSERT_TRUE(rs.Update());
    rs.Close();
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    ASSERT_TRUE(db.GetOneRecord("SELECT name FROM t WHERE id = 2", fields, nullptr, false));
    std::string name;
    fields[0]->m_value.GetData(name, -1);
    EXPECT_EQ(name, "edited");

    // Reopened on another statement, the fields are built anew.
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT name FROM t WHERE id = 3", CRecordset::readOnly));
    EXPECT_EQ(rs.GetODBCFieldCount(), 1);
    rs.GetFieldData(0, name, -1);
    EXPECT_EQ(name, "n3");
}

TEST_P(Recordsets, BulkRowsChangeInPlaceWhereTheCursorAllows)
{
    if (!GetParam())
        GTEST_SKIP() << "the SQLite driver has no positioned updates of a rowset";
    CDynamicBulkRecord rs(&db);
    rs.SetRowsetSize(3);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, name FROM t ORDER BY id", CRecordset::none));
    // Move to the last rowset: row 7 alone.
    rs.MoveNext();
    rs.MoveNext();
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.GetRowsFetched(), 1u);
    EXPECT_FALSE(rs.RowsetPos(2));
    ASSERT_TRUE(rs.RowsetPos(1));
    EXPECT_TRUE(rs.PutData(1, "seven"));
    EXPECT_TRUE(rs.RowsetUpdate(1));
    // Row 0 means every fetched row, not the rows a full rowset would have.
    EXPECT_TRUE(rs.RowsetUpdate(0));
    rs.Close();
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    ASSERT_TRUE(db.GetOneRecord("SELECT name FROM t WHERE id = 7", fields, nullptr, false));
    std::string name;
    fields[0]->m_value.GetData(name, -1);
    EXPECT_EQ(name, "seven");
}

TEST_P(Recordsets, StatementsAsWrittenArrayParametersAndOutputValues)
{
    CODBCRecord filtered(&db);
    filtered.m_strFilter = "id > 5";
    ASSERT_TRUE(filtered.OpenNew(CRecordset::forwardOnly, "SELECT id FROM t", CRecordset::readOnly));
    EXPECT_EQ(filtered.GetSQL(), "SELECT id FROM t WHERE id > 5");
    int count = 0;
    for (; !filtered.IsEOF(); filtered.MoveNext())
        ++count;
    EXPECT_EQ(count, 2);

    // A parameter taken from a caller's array.
    std::int32_t wanted[1] = {4};
    CArrayPointParam array(1);
    array.AddParam("id", wanted, SQL_INTEGER, SQL_PARAM_INPUT);
    CODBCRecord fromArray(&db);
    fromArray.AddParamPoint(array);
    EXPECT_EQ(fromArray.GetDynParamCount(), 1);
    ASSERT_TRUE(fromArray.Open(CRecordset::forwardOnly, "SELECT name FROM t WHERE id = ?", CRecordset::readOnly));
    std::string name;
    fromArray.GetFieldData(0, name, -1);
    EXPECT_EQ(name, "n4");

    // A text parameter in a caller's array of 6-byte elements is bound
    // within its element, its zero included.
    char names[2][6] = {"n5", "n6"};
    CArrayPointParam texts(1);
    texts.AddParam("name", &names[0][0], 6, SQL_VARCHAR, SQL_PARAM_INPUT, 0);
    CODBCRecord fromTexts(&db);
    fromTexts.AddParamPoint(texts);
    ASSERT_TRUE(fromTexts.Open(CRecordset::forwardOnly, "SELECT id FROM t WHERE name = ?", CRecordset::readOnly));
    int id = 0;
    fromTexts.GetFieldData(0, id);
    EXPECT_EQ(id, 5);
    SQLHDESC apd = SQL_NULL_HDESC;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetStmtAttr(fromTexts.m_hstmt, SQL_ATTR_APP_PARAM_DESC, &apd, 0, nullptr)));
    SQLLEN bound = 0;
    if (SQL_SUCCEEDED(SQLGetDescField(apd, 1, SQL_DESC_OCTET_LENGTH, &bound, 0, nullptr)))
        EXPECT_EQ(bound, 6);
    else
        EXPECT_FALSE(GetParam()) << "only the SQLite driver keeps its descriptors to itself";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST_P(Recordsets, CursorTraceWritesOpenCloseAndErrorLinesAndTheRecordsetList)
{
    TempDir traceDir;
    std::string traceFile = (traceDir / "cursors.log").string();
    // The default list file is named once, after the driver manager's trace file.
    static TempDir listDir;
    CDatabaseEx::SetTraceFile((listDir / "TraceODBC.log").string().c_str());
    std::string listFile = CDatabaseEx::GetFileNameTraceRecordSets();
    EXPECT_EQ(listFile.substr(listFile.size() - 4), ".trr");

    ASSERT_TRUE(CRecordsetTrace::OpenTraceFile(traceFile.c_str()));
    EXPECT_FALSE(CRecordsetTrace::OpenTraceFile((traceDir / "other.log").string().c_str()));
    CRecordsetTrace::AddTracedHDBC(db.m_hdbc);
    {
        CRecordsetTrace forward(&db);
        // The SQLite driver reports every cursor as static.
        char letter = GetParam() ? 'F' : 'S';
        if (!GetParam())
            forward.SetCursorsTrace("S");
        ASSERT_TRUE(forward.Open(CRecordset::forwardOnly, "SELECT id FROM t", CRecordset::readOnly));
        EXPECT_EQ(forward.GetCursorType(), letter);
        CRecordsetTrace scrolling(&db);
        ASSERT_TRUE(scrolling.Open(CRecordset::snapshot, "SELECT name FROM t", CRecordset::readOnly));
        EXPECT_EQ(std::string("FU").find(scrolling.GetCursorType()), std::string::npos);
        CRecordsetTrace never(&db);
        never.Close(); // never opened: nothing

        // Both open recordsets appear in a list written on demand.
        db.TraceRecordSets((traceDir / "list.trr").string().c_str(), "why");
        std::vector<std::string> list = Lines(readFile(traceDir / "list.trr"));
        ASSERT_EQ(list.size(), 8u);
        EXPECT_EQ(list[0].rfind("Begin List Recordsets : TickCount ", 0), 0u);
        EXPECT_EQ(list[1], "Begin Message :");
        EXPECT_EQ(list[2], "why");
        EXPECT_EQ(list[3], "End Message");
        EXPECT_EQ(list[4], "List Recordset:");
        EXPECT_NE(list[5].find(std::string("; ?; ") + letter + "; SELECT id FROM t;"), std::string::npos) << list[5];
        EXPECT_NE(list[6].find("; SELECT name FROM t;"), std::string::npos) << list[6];
        EXPECT_EQ(list[7].rfind("End List Recordsets :  TickCount ", 0), 0u);
        forward.Close();
    }
    CRecordsetTrace::CloseTraceFile();
    std::vector<std::string> lines = Lines(readFile(traceFile));
    ASSERT_EQ(lines.size(), 2u);
    std::string cursor = GetParam() ? "F" : "S";
    EXPECT_NE(lines[0].find("; O; " + cursor + "; SELECT id FROM t;"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("; C; " + cursor + "; SELECT id FROM t;"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[0].find("0x"), lines[0].find("; ") + 2);
    // Handles are written whole, at least eight digits.
    EXPECT_NE(lines[0].find("; " + TraceHandle(db.m_hdbc) + "; "), std::string::npos) << lines[0];
    EXPECT_EQ(TraceHandle(reinterpret_cast<void*>(std::uintptr_t{0x7F0012345678})), "0x7F0012345678");
    EXPECT_EQ(TraceHandle(reinterpret_cast<void*>(std::uintptr_t{0x1234})), "0x00001234");

    // A general error with the trace file closed goes to the list file.
    std::filesystem::remove(listFile);
    CRecordsetTrace broken(&db);
    EXPECT_THROW(broken.Open(CRecordset::forwardOnly, "SELECT nothing FROM nowhere", CRecordset::readOnly),
                 CDBException);
    std::string list = std::filesystem::exists(listFile) ? readFile(listFile) : std::string();
    if (!GetParam()) { // SQLite reports such errors as HY000
        EXPECT_NE(list.find("ERROR; "), std::string::npos) << list;
        EXPECT_NE(list.find("State:HY000"), std::string::npos) << list;
    }

    CRecordsetTrace filtered(&db);
    filtered.SetCursorsTrace("FKDSU");
    EXPECT_STREQ(filtered.GetCursorsTrace(), "FKDS");
}

// A forward-only, read-only record on PostgreSQL reads its rows through a
// server cursor as it goes; every other record, and a record inside the
// caller's transaction, gets the driver's whole result as before.
class ServerCursor : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        engine = std::make_unique<EngineDatabase>(true, "servercursor", kPgRecordsetOptions);
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(engine->connect().c_str(), false, error)) << error;
        db.ExecuteSQL("CREATE TABLE big AS SELECT g AS id, 'row ' || g AS name FROM generate_series(1, 2500) g");
        db.ExecuteSQL("CREATE TABLE log (id SERIAL PRIMARY KEY, what TEXT)");
    }

    // Cursors open on the connection, as the server sees them.
    long OpenCursors()
    {
        CODBCRecord count(&db);
        count.Open(CRecordset::snapshot, "SELECT count(*) FROM pg_cursors", CRecordset::none);
        long n = -1;
        count.GetFieldData(0, n);
        count.Close();
        return n;
    }

    SQLULEN DeclareFetch()
    {
        SQLULEN value = 99;
        SQLGetConnectAttr(db.m_hdbc, 65539, &value, 0, nullptr);
        return value;
    }

    std::unique_ptr<EngineDatabase> engine;
    CDatabaseEx db;
};

TEST_F(ServerCursor, ForwardOnlyReadOnlyRowsComeThroughACursorInOrder)
{
    CODBCRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name FROM big ORDER BY id", CRecordset::readOnly));
    EXPECT_EQ(DeclareFetch(), 0u) << "the driver's setting is put back after the execution";
    SQLINTEGER fetch = 0;
    SQLGetConnectAttr(db.m_hdbc, 65541, &fetch, 0, nullptr);
    EXPECT_EQ(fetch, 100) << "and so is the data source's fetch size";
    EXPECT_EQ(OpenCursors(), 1);
    long expected = 1;
    for (; !rs.IsEOF(); rs.MoveNext(), ++expected) {
        long id = 0;
        std::string name;
        rs.GetFieldData(0, id);
        rs.GetFieldData(1, name, -1);
        ASSERT_EQ(id, expected);
        ASSERT_EQ(name, "row " + std::to_string(expected));
    }
    EXPECT_EQ(expected, 2501);
    rs.Close();
    EXPECT_EQ(OpenCursors(), 0);
}

TEST_F(ServerCursor, TransactionsOfTheCallerWhileReadingLoseNoRows)
{
    CODBCRecord rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id FROM big ORDER BY id", CRecordset::readOnly));
    int rows = 0;
    for (; !rs.IsEOF() && rows < 150; rs.MoveNext())
        ++rows;
    // A transaction rolled back and one committed on the same connection
    // while the cursor is open.
    ASSERT_TRUE(db.BeginTrans());
    db.ExecuteSQL("INSERT INTO log (what) VALUES ('rolled back')");
    ASSERT_TRUE(db.Rollback());
    for (; !rs.IsEOF() && rows < 1300; rs.MoveNext())
        ++rows;
    ASSERT_TRUE(db.BeginTrans());
    db.ExecuteSQL("INSERT INTO log (what) VALUES ('kept')");
    ASSERT_TRUE(db.CommitTrans());
    long last = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        rs.GetFieldData(0, last);
        ++rows;
    }
    EXPECT_EQ(rows, 2500);
    EXPECT_EQ(last, 2500);
    rs.Close();
}

TEST_F(ServerCursor, OtherRecordsAndTransactionsKeepTheWholeResult)
{
    const struct {
        const char* what;
        UINT type;
        DWORD options;
        bool inTransaction;
    } cases[] = {
        {"snapshot", CRecordset::snapshot, CRecordset::readOnly, false},
        {"forward-only, updatable", CRecordset::forwardOnly, CRecordset::none, false},
        {"forward-only, read-only, in a transaction", CRecordset::forwardOnly, CRecordset::readOnly, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.inTransaction)
            ASSERT_TRUE(db.BeginTrans());
        CODBCRecord rs(&db);
        ASSERT_TRUE(rs.Open(c.type, "SELECT id FROM big ORDER BY id", c.options));
        EXPECT_EQ(OpenCursors(), 0);
        if (c.inTransaction) {
            // The rows read on after the caller's rollback.
            db.Rollback();
        }
        int rows = 0;
        for (; !rs.IsEOF(); rs.MoveNext())
            ++rows;
        EXPECT_EQ(rows, 2500);
        rs.Close();
    }
}

TEST_F(ServerCursor, StatementsACursorCannotHoldReadAsBefore)
{
    const struct {
        const char* sql;
        long first;
        int rows;
    } cases[] = {
        {"SELECT id FROM big WHERE id <= 3 ORDER BY id FOR UPDATE", 1, 3},
        {"WITH w AS (INSERT INTO log (what) VALUES ('a'), ('b') RETURNING id) SELECT id FROM w ORDER BY id", 1, 2},
        {"SELECT id FROM big WHERE id = 7; SELECT 1", 7, 1},
        {"select id from big where id between 10 and 12 order by id", 10, 3},
        {"SELECT id INTO big_copy FROM big WHERE id <= 4", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        CODBCRecord rs(&db);
        ASSERT_NO_THROW(rs.Open(CRecordset::forwardOnly, c.sql, CRecordset::readOnly));
        if (c.rows > 0) {
            ASSERT_FALSE(rs.IsEOF());
            long first = 0;
            rs.GetFieldData(0, first);
            EXPECT_EQ(first, c.first);
        }
        int rows = 0;
        for (; !rs.IsEOF(); rs.MoveNext())
            ++rows;
        EXPECT_EQ(rows, c.rows);
        rs.Close();
    }
    // The data-changing ones ran once.
    for (const auto& [sql, expected] : {std::pair{"SELECT count(*) FROM log", 2L},
                                        std::pair{"SELECT count(*) FROM big_copy", 4L}}) {
        CODBCRecord count(&db);
        count.Open(CRecordset::snapshot, sql, CRecordset::none);
        long n = 0;
        count.GetFieldData(0, n);
        EXPECT_EQ(n, expected) << sql;
        count.Close();
    }
}

TEST_F(ServerCursor, AnErrorInALaterRowFailsTheOpen)
{
    CODBCRecord rs(&db);
    EXPECT_THROW(rs.Open(CRecordset::forwardOnly, "SELECT 1 / (id - 2000) FROM big ORDER BY id", CRecordset::readOnly),
                 CDBException);
    EXPECT_EQ(DeclareFetch(), 0u);
    // The connection goes on.
    EXPECT_EQ(OpenCursors(), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, Recordsets, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
