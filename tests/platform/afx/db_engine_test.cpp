// The connection and recordset engine against the real SQLite and PostgreSQL
// ODBC drivers.
#include "afx/dbcore.h"

#include "tests/common/dbscalar.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

using namespace kelm::test;

namespace {

// One engine: a fresh database and the SQL that differs between them.
class Engine : public EngineDatabase {
public:
    explicit Engine(const std::string& name) : EngineDatabase(name == "pg", "afxdb", kPgRecordsetOptions) {}
    std::string tinyint() const { return pg() ? "SMALLINT" : "TINYINT"; }
    std::string dbl() const { return pg() ? "DOUBLE PRECISION" : "DOUBLE"; }
};

// A recordset over every type the engine's own exchanges know.
class TypesSet : public CRecordset {
public:
    explicit TypesSet(CDatabase* db) : CRecordset(db) { m_nFields = 8; }
    std::string GetDefaultSQL() override { return "t"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "id", id);
        RFX_Bool(pFX, "b", b);
        RFX_Byte(pFX, "y", y);
        RFX_Int(pFX, "i", i);
        RFX_Long(pFX, "l", l);
        RFX_Single(pFX, "f", f);
        RFX_Double(pFX, "d", d);
        RFX_Date(pFX, "ts", ts);
    }

    LONG id = 0;
    BOOL b = 0;
    BYTE y = 0;
    int i = 0;
    LONG l = 0;
    float f = 0;
    double d = 0;
    TIMESTAMP_STRUCT ts{};
};

class DbEngine : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "pg")
            KELM_REQUIRE_PG();
        engine = std::make_unique<Engine>(GetParam());
        ASSERT_TRUE(db.OpenEx(engine->connect().c_str(), CDatabase::noOdbcDialog));
    }

    void CreateTypes()
    {
        db.ExecuteSQL(("CREATE TABLE t (id INTEGER PRIMARY KEY, b BOOLEAN, y " + engine->tinyint() +
                       ", i INTEGER DEFAULT 5, l INTEGER, f REAL, d " + engine->dbl() + ", ts TIMESTAMP)")
                          .c_str());
        db.ExecuteSQL("INSERT INTO t VALUES (1, TRUE, 200, -7, 2000000000, 1.5, 1234.25, "
                      "'2024-02-29 13:14:15')");
        db.ExecuteSQL("INSERT INTO t (id) VALUES (2)");
    }

    std::unique_ptr<Engine> engine;
    CDatabase db;
};

TEST_P(DbEngine, ConnectionFactsAndFailures)
{
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.GetConnect().rfind("ODBC;", 0), 0u);
    EXPECT_FALSE(db.GetDatabaseName().empty());
    EXPECT_EQ(db.GetIdentifierQuoteChar(), '"');
    // Opening an open connection is a mode error.
    try {
        db.OpenEx(engine->connect().c_str());
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_ILLEGAL_MODE);
    }
    CDatabase bad;
    try {
        bad.OpenEx("Driver={No Such Driver};");
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, SQL_ERROR);
        EXPECT_EQ(e.m_strStateNativeOrigin.rfind("State:", 0), 0u) << e.m_strStateNativeOrigin;
        EXPECT_NE(e.m_strError.find("No Such Driver"), std::string::npos) << e.m_strError;
    }
    EXPECT_FALSE(bad.IsOpen());
    EXPECT_FALSE(bad.Open("x", FALSE, FALSE, "NOTODBC;"));
}

TEST_P(DbEngine, SyntaxErrorCarriesStateLines)
{
    for (int round = 0; round < 2; ++round) {
        try {
            if (round == 0) {
                db.ExecuteSQL("SELEC nonsense");
            } else {
                CRecordset rs(&db);
                rs.Open(CRecordset::snapshot, "SELECT * FROM no_such_table");
            }
            FAIL();
        } catch (const CDBException& e) {
            EXPECT_EQ(e.m_nRetCode, SQL_ERROR);
            EXPECT_FALSE(e.m_strError.empty());
            ASSERT_EQ(e.m_strStateNativeOrigin.rfind("State:", 0), 0u) << e.m_strStateNativeOrigin;
            EXPECT_EQ(e.m_strStateNativeOrigin.substr(11, 8), ",Native:");
        }
    }
    EXPECT_TRUE(db.GetRecordsets().empty());
}

TEST_P(DbEngine, ExecuteSqlThatTouchesNoRowSucceeds)
{
    db.ExecuteSQL("CREATE TABLE e (a INTEGER)");
    db.ExecuteSQL("UPDATE e SET a = 1 WHERE a = 2");
    db.ExecuteSQL("DELETE FROM e");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM e"), "0");
}

TEST_P(DbEngine, EveryEngineTypeRoundTripsWithNulls)
{
    CreateTypes();
    TypesSet rs(&db);
    rs.m_strSort = "id";
    ASSERT_TRUE(rs.Open());
    EXPECT_NE(rs.GetSQL().find("FROM t ORDER BY id"), std::string::npos) << rs.GetSQL();
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_EQ(rs.GetODBCFieldCount(), 8);
    EXPECT_EQ(rs.id, 1);
    EXPECT_EQ(rs.b, 1);
    EXPECT_EQ(rs.y, 200);
    EXPECT_EQ(rs.i, -7);
    EXPECT_EQ(rs.l, 2000000000);
    EXPECT_FLOAT_EQ(rs.f, 1.5f);
    EXPECT_DOUBLE_EQ(rs.d, 1234.25);
    EXPECT_EQ(rs.ts.year, 2024);
    EXPECT_EQ(rs.ts.month, 2);
    EXPECT_EQ(rs.ts.day, 29);
    EXPECT_EQ(rs.ts.hour, 13);
    EXPECT_EQ(rs.ts.second, 15);
    for (void* pv : {(void*)&rs.b, (void*)&rs.y, (void*)&rs.i, (void*)&rs.l, (void*)&rs.f, (void*)&rs.d,
                     (void*)&rs.ts})
        EXPECT_FALSE(rs.IsFieldNull(pv));

    rs.MoveNext();
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.id, 2);
    for (void* pv : {(void*)&rs.b, (void*)&rs.y, (void*)&rs.l, (void*)&rs.f, (void*)&rs.d, (void*)&rs.ts})
        EXPECT_TRUE(rs.IsFieldNull(pv));
    EXPECT_FALSE(rs.IsFieldNull(&rs.i)); // the column default
    EXPECT_EQ(rs.i, 5);
    EXPECT_EQ(rs.b, AFX_RFX_BOOL_PSEUDO_NULL);
    EXPECT_EQ(rs.y, AFX_RFX_BYTE_PSEUDO_NULL);
    EXPECT_EQ(rs.l, AFX_RFX_LONG_PSEUDO_NULL);
    EXPECT_EQ(rs.f, AFX_RFX_SINGLE_PSEUDO_NULL);
    EXPECT_EQ(rs.d, AFX_RFX_DOUBLE_PSEUDO_NULL);
    EXPECT_EQ(rs.ts.year, AFX_RFX_DATE_PSEUDO_NULL);

    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    try {
        rs.MoveNext();
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_NO_DATA_FOUND);
    }
    // A snapshot scrolls back.
    rs.MoveFirst();
    EXPECT_EQ(rs.id, 1);
    rs.MoveLast();
    EXPECT_EQ(rs.id, 2);
    rs.MovePrev();
    EXPECT_EQ(rs.id, 1);
    rs.MovePrev();
    EXPECT_TRUE(rs.IsBOF());
}

TEST_P(DbEngine, AddNewWritesOnlyTheFieldsSet)
{
    CreateTypes();
    TypesSet rs(&db);
    rs.m_strSort = "id";
    ASSERT_TRUE(rs.Open());
    ASSERT_TRUE(rs.CanAppend());
    rs.AddNew();
    EXPECT_EQ(rs.GetEditMode(), CRecordset::addnew);
    EXPECT_EQ(rs.l, AFX_RFX_LONG_PSEUDO_NULL);
    rs.id = 3;
    rs.l = 42;
    rs.d = 2.5;
    rs.b = FALSE;
    rs.ts = TIMESTAMP_STRUCT{2001, 12, 31, 23, 59, 58, 0};
    EXPECT_TRUE(rs.Update());
    // The record that was current before AddNew is back.
    EXPECT_EQ(rs.id, 1);
    EXPECT_EQ(rs.l, 2000000000);

    // i was not set, so the column default applies rather than a NULL.
    EXPECT_EQ(Scalar(db, "SELECT i FROM t WHERE id = 3"), "5");
    EXPECT_EQ(Scalar(db, "SELECT l FROM t WHERE id = 3"), "42");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t WHERE id = 3 AND f IS NULL AND y IS NULL"), "1");
    std::string ts = Scalar(db, "SELECT ts FROM t WHERE id = 3");
    EXPECT_EQ(ts.substr(0, 19), "2001-12-31 23:59:58");

    // An AddNew that sets nothing writes nothing.
    rs.AddNew();
    EXPECT_FALSE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), CRecordset::addnew);
    rs.CancelUpdate();
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t"), "3");
}

TEST_P(DbEngine, EditUpdatesTheDirtyFieldsAndDeleteRemovesTheRow)
{
    CreateTypes();
    TypesSet rs(&db);
    rs.m_strSort = "id";
    ASSERT_TRUE(rs.Open());
    ASSERT_TRUE(rs.CanUpdate()) << "the driver offers no positioned updates";
    rs.Edit();
    EXPECT_FALSE(rs.Update()); // nothing changed
    rs.Edit();
    rs.l = -5;
    rs.SetFieldNull(&rs.f);
    EXPECT_TRUE(rs.Update());
    EXPECT_EQ(Scalar(db, "SELECT l FROM t WHERE id = 1"), "-5");
    // Fields that were not changed keep their stored values exactly.
    EXPECT_EQ(Scalar(db, "SELECT ts FROM t WHERE id = 1").substr(0, 19), "2024-02-29 13:14:15");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t WHERE id = 1 AND f IS NULL AND i = -7 AND y = 200"), "1");

    // A NULL field that gets a value is written.
    rs.MoveNext();
    ASSERT_EQ(rs.id, 2);
    rs.Edit();
    rs.y = 7;
    EXPECT_TRUE(rs.Update());
    EXPECT_EQ(Scalar(db, "SELECT y FROM t WHERE id = 2"), "7");

    rs.Delete();
    try {
        rs.Edit();
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_NO_CURRENT_RECORD);
    }
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t"), "1");

    // Update outside an edit is a mode error; a read-only recordset refuses edits.
    try {
        rs.Update();
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_ILLEGAL_MODE);
    }
    TypesSet ro(&db);
    ro.Open(CRecordset::snapshot, nullptr, CRecordset::readOnly);
    EXPECT_FALSE(ro.CanUpdate());
    try {
        ro.Edit();
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_RECORDSET_READONLY);
    }
}

// Records the calls of the overridable open steps.
class TracingSet : public CRecordset {
public:
    explicit TracingSet(CDatabase* db) : CRecordset(db) {}
    void PreBindFields() override
    {
        calls.push_back("PreBindFields cols=" + std::to_string(GetODBCFieldCount()));
        m_nFields = 1;
    }
    void Move(long nRows, WORD wFetchType) override
    {
        calls.push_back("Move");
        CRecordset::Move(nRows, wFetchType);
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "a", a);
    }
    std::vector<std::string> calls;
    LONG a = 0;
};

TEST_P(DbEngine, OpenCallsItsStepsInOrderAndCleansUpOnFailure)
{
    db.ExecuteSQL("CREATE TABLE o (a INTEGER)");
    db.ExecuteSQL("INSERT INTO o VALUES (41)");
    TracingSet rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT a FROM o"));
    EXPECT_EQ(rs.calls, (std::vector<std::string>{"PreBindFields cols=1", "Move"}));
    EXPECT_EQ(rs.a, 41);
    EXPECT_EQ(db.GetRecordsets(), std::vector<CRecordset*>{&rs});
    // A forward-only cursor does not go back.
    try {
        rs.MovePrev();
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY);
    }
    rs.Close();
    EXPECT_TRUE(db.GetRecordsets().empty());
    EXPECT_EQ(rs.m_hstmt, nullptr);

    TracingSet bad(&db);
    EXPECT_THROW(bad.Open(CRecordset::snapshot, "SELECT nothing FROM nowhere"), CDBException);
    EXPECT_FALSE(bad.IsOpen());
    EXPECT_EQ(bad.m_hstmt, nullptr);
    EXPECT_TRUE(bad.calls.empty());
    EXPECT_TRUE(db.GetRecordsets().empty());
}

TEST_P(DbEngine, StatementWithoutResultOpensAtBofAndEof)
{
    db.ExecuteSQL("CREATE TABLE s (a INTEGER)");
    CRecordset rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "INSERT INTO s VALUES (1)", CRecordset::executeDirect));
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetODBCFieldCount(), 0);
    rs.Close();
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM s"), "1");
}

class LongParamSet : public CRecordset {
public:
    explicit LongParamSet(CDatabase* db) : CRecordset(db)
    {
        m_nFields = 1;
        m_nParams = 1;
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "a", a);
        pFX->SetFieldType(CFieldExchange::inputParam);
        RFX_Long(pFX, "min", min);
    }
    LONG a = 0;
    LONG min = 0;
};

TEST_P(DbEngine, ParametersAndRequeryWithANewFilter)
{
    db.ExecuteSQL("CREATE TABLE r (a INTEGER)");
    for (int v = 1; v <= 6; ++v)
        db.ExecuteSQL(("INSERT INTO r VALUES (" + std::to_string(v) + ")").c_str());
    LongParamSet rs(&db);
    rs.min = 4;
    rs.m_strSort = "a";
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT a FROM r WHERE a >= ?"));
    std::vector<LONG> seen;
    for (; !rs.IsEOF(); rs.MoveNext())
        seen.push_back(rs.a);
    EXPECT_EQ(seen, (std::vector<LONG>{4, 5, 6}));

    // A new parameter value and no filter change: the prepared text runs again.
    rs.min = 5;
    ASSERT_TRUE(rs.Requery());
    EXPECT_EQ(rs.a, 5);

    // A new sort is built into the text.
    rs.m_strSort = "a DESC";
    ASSERT_TRUE(rs.Requery());
    EXPECT_EQ(rs.a, 6);
    EXPECT_NE(rs.GetSQL().find("ORDER BY a DESC"), std::string::npos);

    // A NULL parameter matches nothing.
    rs.SetParamNull(0);
    ASSERT_TRUE(rs.Requery());
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.IsBOF());
}

class BulkSet : public CRecordset {
public:
    explicit BulkSet(CDatabase* db) : CRecordset(db) { m_nFields = 4; }
    ~BulkSet() override { Close(); }
    void DoBulkFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long_Bulk(pFX, "a", &a, &aLen);
        RFX_Double_Bulk(pFX, "d", &d, &dLen);
        RFX_Text_Bulk(pFX, "s", &s, &sLen, 16);
        RFX_Date_Bulk(pFX, "ts", &ts, &tsLen);
    }
    LONG* a = nullptr;
    SQLLEN* aLen = nullptr;
    double* d = nullptr;
    SQLLEN* dLen = nullptr;
    char* s = nullptr;
    SQLLEN* sLen = nullptr;
    TIMESTAMP_STRUCT* ts = nullptr;
    SQLLEN* tsLen = nullptr;
};

TEST_P(DbEngine, BulkFetchOfThreeOverSevenRows)
{
    db.ExecuteSQL(("CREATE TABLE b (a INTEGER, d " + engine->dbl() + ", s VARCHAR(15), ts TIMESTAMP)").c_str());
    for (int v = 1; v <= 7; ++v) {
        std::string text = v == 4 ? "NULL" : "'row" + std::to_string(v) + "'";
        db.ExecuteSQL(("INSERT INTO b VALUES (" + std::to_string(v) + ", " + std::to_string(v) + ".5, " + text +
                       ", '2020-01-0" + std::to_string(v) + " 00:00:00')")
                          .c_str());
    }
    for (UINT type : {UINT(CRecordset::forwardOnly), UINT(CRecordset::snapshot)}) {
        SCOPED_TRACE(type);
        BulkSet rs(&db);
        rs.SetRowsetSize(3);
        rs.m_strSort = "a";
        ASSERT_TRUE(rs.Open(type, "b", CRecordset::useMultiRowFetch | CRecordset::readOnly));
        std::vector<DWORD> sizes;
        std::vector<LONG> values;
        std::vector<std::string> texts;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            sizes.push_back(rs.GetRowsFetched());
            for (DWORD row = 0; row < rs.GetRowsFetched(); ++row) {
                EXPECT_EQ(rs.GetRowStatus(static_cast<WORD>(row + 1)), SQL_ROW_SUCCESS);
                values.push_back(rs.a[row]);
                EXPECT_DOUBLE_EQ(rs.d[row], rs.a[row] + 0.5);
                EXPECT_EQ(rs.ts[row].day, rs.a[row]);
                texts.push_back(rs.sLen[row] == SQL_NULL_DATA ? "NULL" : std::string(rs.s + row * 16));
            }
        }
        EXPECT_EQ(sizes, (std::vector<DWORD>{3, 3, 1}));
        EXPECT_EQ(values, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7}));
        EXPECT_EQ(texts[3], "NULL");
        EXPECT_EQ(texts[6], "row7");
        EXPECT_FALSE(rs.Update()); // no single-row updates on a rowset
        if (type == CRecordset::snapshot) {
            // A bigger rowset on the open recordset: new buffers, new status array.
            rs.SetRowsetSize(5);
            rs.MoveFirst();
            EXPECT_EQ(rs.GetRowsFetched(), 5u);
            EXPECT_EQ(rs.a[4], 5);
            EXPECT_EQ(std::string(rs.s + 4 * 16), "row5");
            rs.MoveNext();
            EXPECT_EQ(rs.GetRowsFetched(), 2u);
            EXPECT_EQ(rs.a[1], 7);
        }
    }
}

TEST_P(DbEngine, ForwardOnlyBulkRecordsetRunsUnpreparedAndRequeriesToEveryRow)
{
    db.ExecuteSQL(("CREATE TABLE q (a INTEGER, d " + engine->dbl() + ", s VARCHAR(15), ts TIMESTAMP)").c_str());
    auto insert = [&](int v) {
        db.ExecuteSQL(("INSERT INTO q VALUES (" + std::to_string(v) + ", " + std::to_string(v) + ".5, 'row" +
                       std::to_string(v) + "', '2020-01-0" + std::to_string(v) + " 00:00:00')")
                          .c_str());
    };
    for (int v = 1; v <= 7; ++v)
        insert(v);
    BulkSet rs(&db);
    rs.SetRowsetSize(3);
    rs.m_strSort = "a";
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "q", CRecordset::useMultiRowFetch | CRecordset::readOnly));
    if (engine->pg()) {
        // Read once and dropped, the statement leaves nothing prepared on
        // the server (a prepared one would be listed until the close).
        EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM pg_prepared_statements"), "0");
    }
    // Every pass reads the table from its first row to the end in rowsets,
    // and stays at the end once there.
    auto readAll = [&] {
        std::vector<DWORD> sizes;
        std::vector<LONG> values;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            sizes.push_back(rs.GetRowsFetched());
            for (DWORD row = 0; row < rs.GetRowsFetched(); ++row) {
                values.push_back(rs.a[row]);
                EXPECT_EQ(std::string(rs.s + row * 16), "row" + std::to_string(rs.a[row]));
                EXPECT_EQ(rs.ts[row].day, rs.a[row]);
            }
        }
        EXPECT_TRUE(rs.IsEOF());
        EXPECT_EQ(rs.GetRowsFetched(), 0u);
        EXPECT_THROW(rs.MoveNext(), CDBException);
        return std::make_pair(sizes, values);
    };
    auto [sizes, values] = readAll();
    EXPECT_EQ(sizes, (std::vector<DWORD>{3, 3, 1}));
    EXPECT_EQ(values, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7}));

    // The same text runs again and sees the table as it is now.
    insert(8);
    ASSERT_TRUE(rs.Requery());
    EXPECT_FALSE(rs.IsBOF());
    std::tie(sizes, values) = readAll();
    EXPECT_EQ(sizes, (std::vector<DWORD>{3, 3, 2}));
    EXPECT_EQ(values, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7, 8}));

    // A new filter is built into the text, which runs in its place.
    rs.m_strFilter = "a > 5";
    ASSERT_TRUE(rs.Requery());
    std::tie(sizes, values) = readAll();
    EXPECT_EQ(sizes, (std::vector<DWORD>{3}));
    EXPECT_EQ(values, (std::vector<LONG>{6, 7, 8}));

    // Nothing left: at the start and the end at once.
    rs.m_strFilter = "a > 100";
    ASSERT_TRUE(rs.Requery());
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetRowsFetched(), 0u);
}

TEST_P(DbEngine, ColumnValuesReadWhole)
{
    db.ExecuteSQL(("CREATE TABLE v (n INTEGER, s VARCHAR(3), tx TEXT, d " + engine->dbl() + ")").c_str());
    std::string cyrillic = "\xD0\x96\xD0\xB0\xD0\xB1"; // three two-byte letters in VARCHAR(3)
    std::string longText(5000, 'x');
    longText += "\xD0\xAF";
    db.ExecuteSQL(("INSERT INTO v VALUES (12, '" + cyrillic + "', '" + longText + "', 0.25)").c_str());
    db.ExecuteSQL("INSERT INTO v VALUES (NULL, NULL, NULL, NULL)");
    CRecordset rs(&db);
    rs.m_strSort = "n";
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT n, s, tx, d FROM v", CRecordset::readOnly));
    CODBCFieldInfo info;
    rs.GetODBCFieldInfo(short(1), info);
    EXPECT_EQ(info.m_strName, "s");
    try {
        rs.GetODBCFieldInfo(short(4), info);
        FAIL();
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_FIELD_NOT_FOUND);
    }
    // NULLs sort first on SQLite and last on PostgreSQL.
    bool nullFirst = !engine->pg();
    for (int row = 0; row < 2; ++row, rs.MoveNext()) {
        ASSERT_FALSE(rs.IsEOF());
        bool isNull = (row == 0) == nullFirst;
        CDBVariant n;
        rs.GetFieldValue(0, n);
        std::string s, tx;
        rs.GetFieldValue(1, s);
        rs.GetFieldValue(2, tx);
        CDBVariant d;
        rs.GetFieldValue(3, d);
        if (isNull) {
            EXPECT_EQ(n.m_dwType, DBVT_NULL);
            EXPECT_EQ(s, "");
            EXPECT_EQ(tx, "");
            EXPECT_EQ(d.m_dwType, DBVT_NULL);
        } else {
            ASSERT_EQ(n.m_dwType, DBVT_LONG);
            EXPECT_EQ(n.m_lVal, 12);
            EXPECT_EQ(s, cyrillic);
            EXPECT_EQ(tx, longText);
            ASSERT_EQ(d.m_dwType, DBVT_DOUBLE);
            EXPECT_DOUBLE_EQ(d.m_dblVal, 0.25);
        }
    }
}

TEST_P(DbEngine, CloseOfTheConnectionClosesItsRecordsetsInJoinOrder)
{
    db.ExecuteSQL("CREATE TABLE l (a INTEGER)");
    db.ExecuteSQL("INSERT INTO l VALUES (1)");
    auto first = std::make_unique<CRecordset>(&db);
    auto second = std::make_unique<CRecordset>(&db);
    auto third = std::make_unique<CRecordset>(&db);
    first->Open(CRecordset::forwardOnly, "SELECT a FROM l");
    second->Open(CRecordset::forwardOnly, "SELECT a FROM l");
    third->Open(CRecordset::forwardOnly, "SELECT a FROM l");
    EXPECT_EQ(db.GetRecordsets(), (std::vector<CRecordset*>{first.get(), second.get(), third.get()}));
    second->Close();
    EXPECT_EQ(db.GetRecordsets(), (std::vector<CRecordset*>{first.get(), third.get()}));
    EXPECT_EQ(first->GetSQL(), "SELECT a FROM l");
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(first->IsOpen());
    EXPECT_FALSE(third->IsOpen());
    EXPECT_EQ(third->m_hstmt, nullptr);
    EXPECT_TRUE(db.GetRecordsets().empty());

    // A recordset that outlives its closed and destroyed connection closes safely.
    auto connection = std::make_unique<CDatabase>();
    ASSERT_TRUE(connection->OpenEx(engine->connect().c_str()));
    BulkSet orphan(connection.get());
    orphan.SetRowsetSize(2);
    ASSERT_TRUE(orphan.Open(CRecordset::forwardOnly, "SELECT a, 1.5, 'x', CURRENT_TIMESTAMP FROM l", CRecordset::useMultiRowFetch));
    connection.reset();
    EXPECT_FALSE(orphan.IsOpen());
    orphan.Close();
}

TEST_P(DbEngine, RecordsetOpensItsOwnConnection)
{
    class OwnSet : public CRecordset {
    public:
        explicit OwnSet(std::string connect) : m_connect(std::move(connect)) {}
        std::string GetDefaultConnect() override { return "ODBC;" + m_connect; }
        std::string m_connect;
    };
    OwnSet rs(engine->connect());
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT 1"));
    ASSERT_NE(rs.m_pDatabase, nullptr);
    EXPECT_TRUE(rs.m_pDatabase->IsOpen());
    EXPECT_FALSE(rs.IsEOF());
}

TEST_P(DbEngine, CursorTypesTheDriverLacksAreRefused)
{
    db.ExecuteSQL("CREATE TABLE k (a INTEGER PRIMARY KEY)");
    db.ExecuteSQL("INSERT INTO k VALUES (1)");
    CRecordset dynaset(&db);
    if (engine->pg()) {
        // psqlODBC offers keyset-driven cursors with UpdatableCursors=1.
        ASSERT_TRUE(dynaset.Open(CRecordset::dynaset, "SELECT a FROM k"));
        EXPECT_FALSE(dynaset.IsEOF());
    } else {
        try {
            dynaset.Open(CRecordset::dynaset, "SELECT a FROM k");
            FAIL();
        } catch (const CDBException& e) {
            EXPECT_EQ(e.m_nRetCode, AFX_SQL_ERROR_DYNASET_NOT_SUPPORTED);
        }
        EXPECT_FALSE(dynaset.IsOpen());
        EXPECT_TRUE(db.GetRecordsets().empty());
    }
}

TEST_P(DbEngine, LostServerConnectionStates)
{
    if (!engine->pg())
        GTEST_SKIP() << "an embedded engine has no server connection to lose";
    std::string pid = Scalar(db, "SELECT pg_backend_pid()");
    PgAdminExec("SELECT pg_terminate_backend(" + pid + ")");
    std::vector<std::string> states;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            db.ExecuteSQL("SELECT 1");
            FAIL();
        } catch (const CDBException& e) {
            states.push_back(e.m_strStateNativeOrigin.substr(0, 11));
        }
    }
    // The server says why first (57P01, terminated by an administrator); from
    // then on the driver reports the connection as lost.
    EXPECT_EQ(states, (std::vector<std::string>{"State:57P01", "State:08S01"}));
}

TEST_P(DbEngine, ReadOnlyConnectionAndCursorLibrary)
{
    db.ExecuteSQL("CREATE TABLE ro (a INTEGER PRIMARY KEY)");
    db.ExecuteSQL("INSERT INTO ro VALUES (1)");
    CDatabase readOnly;
    ASSERT_TRUE(readOnly.OpenEx(engine->connect().c_str(), CDatabase::openReadOnly));
    EXPECT_FALSE(readOnly.CanUpdate());
    CRecordset rs(&readOnly);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT a FROM ro"));
    EXPECT_FALSE(rs.CanUpdate());
    EXPECT_FALSE(rs.CanAppend());
    // Neither driver enforces SQL_MODE_READ_ONLY: statements still write.
    readOnly.ExecuteSQL("INSERT INTO ro VALUES (2)");
    EXPECT_EQ(Scalar(readOnly, "SELECT COUNT(*) FROM ro"), "2");

    // The driver manager's cursor library scrolls, but only over bound columns.
    CDatabase withCursorLibrary;
    ASSERT_TRUE(withCursorLibrary.OpenEx(engine->connect().c_str(), CDatabase::useCursorLib));
    TracingSet scroll(&withCursorLibrary);
    ASSERT_TRUE(scroll.Open(CRecordset::snapshot, "SELECT a FROM ro ORDER BY a", CRecordset::readOnly));
    scroll.MoveLast();
    EXPECT_EQ(scroll.a, 2);
    scroll.MoveFirst();
    EXPECT_EQ(scroll.a, 1);
    CRecordset unbound(&withCursorLibrary);
    EXPECT_THROW(unbound.Open(CRecordset::snapshot, "SELECT a FROM ro", CRecordset::readOnly), CDBException);
}

TEST_P(DbEngine, KeyedUpdatesWhereTheCursorCannotUpdate)
{
    db.ExecuteSQL("CREATE TABLE Keyed (k INTEGER PRIMARY KEY, a INTEGER)");
    db.ExecuteSQL("INSERT INTO Keyed VALUES (1, 10)");
    db.ExecuteSQL("INSERT INTO Keyed VALUES (2, 20)");
    // A plain connection: psqlODBC then offers read-only cursors only.
    std::string plain = engine->connect();
    if (engine->pg())
        plain = plain.substr(0, plain.find("UpdatableCursors"));
    CDatabase other;
    ASSERT_TRUE(other.OpenEx(plain.c_str()));
    class KeyedSet : public CRecordset {
    public:
        explicit KeyedSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
        void DoFieldExchange(CFieldExchange* pFX) override
        {
            pFX->SetFieldType(CFieldExchange::outputColumn);
            // Names spelt as the original code spells them reach PostgreSQL's
            // folded names unquoted.
            RFX_Long(pFX, "K", k);
            RFX_Long(pFX, "A", a);
        }
        LONG k = 0, a = 0;
    };
    KeyedSet keyed(&other);
    keyed.m_strSort = "k";
    // Unquoted, so PostgreSQL folds the name to lower case.
    ASSERT_TRUE(keyed.Open(CRecordset::forwardOnly, "Keyed"));
    ASSERT_TRUE(keyed.CanUpdate());
    keyed.Edit();
    keyed.k = 5; // the key itself changes: the row is found by its old key
    keyed.a = 11;
    ASSERT_TRUE(keyed.Update());
    keyed.MoveNext();
    keyed.Delete();
    EXPECT_EQ(Scalar(other, "SELECT COUNT(*) FROM Keyed"), "1");
    EXPECT_EQ(Scalar(other, "SELECT a FROM Keyed WHERE k = 5"), "11");
    keyed.Requery();
    keyed.AddNew();
    keyed.k = 6;
    keyed.a = 60;
    ASSERT_TRUE(keyed.Update());
    EXPECT_EQ(Scalar(other, "SELECT a FROM Keyed WHERE k = 6"), "60");
    // A text with no single table cannot be written.
    KeyedSet joined(&other);
    ASSERT_TRUE(joined.Open(CRecordset::snapshot, "SELECT x.k, y.a FROM Keyed x, Keyed y"));
    EXPECT_FALSE(joined.CanUpdate());
    EXPECT_FALSE(joined.CanAppend());
}

TEST_P(DbEngine, TransactionsCommitRollBackAndEndWithTheConnection)
{
    db.ExecuteSQL("CREATE TABLE tr (a INTEGER)");
    ASSERT_TRUE(db.CanTransact());
    ASSERT_TRUE(db.BeginTrans());
    db.ExecuteSQL("INSERT INTO tr VALUES (1)");
    ASSERT_TRUE(db.Rollback());
    ASSERT_TRUE(db.BeginTrans());
    db.ExecuteSQL("INSERT INTO tr VALUES (2)");
    ASSERT_TRUE(db.CommitTrans());
    EXPECT_EQ(Scalar(db, "SELECT SUM(a) FROM tr"), "2");
    // Closing with a transaction still open rolls it back and frees the connection.
    ASSERT_TRUE(db.BeginTrans());
    db.ExecuteSQL("INSERT INTO tr VALUES (3)");
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    ASSERT_TRUE(db.OpenEx(engine->connect().c_str()));
    EXPECT_EQ(Scalar(db, "SELECT SUM(a) FROM tr"), "2");
}

INSTANTIATE_TEST_SUITE_P(Engines, DbEngine, ::testing::Values("sqlite", "pg"));

} // namespace
