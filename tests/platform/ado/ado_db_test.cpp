// The ADO layer on a real Kelm database, each case on both engines.
#include "tests/common/kelmdb.h"
#include "tests/platform/ado/errorof.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

using namespace ado;
using kelm::test::Engine;
using kelm::test::ErrorOf;
using kelm::test::KelmDatabase;

namespace {

_RecordsetPtr Query(const _ConnectionPtr& connection, const std::string& sql)
{
    _RecordsetPtr rs;
    EXPECT_EQ(rs.CreateInstance("ADODB.Recordset"), S_OK);
    rs->Open(sql.c_str(), connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    return rs;
}

long Count(const _ConnectionPtr& connection, const std::string& sql)
{
    auto rs = Query(connection, sql);
    long n = rs->GetCollect(0L);
    rs->Close();
    return n;
}

class AdoDb : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (kEngine == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        // The case's name without its engine, as the database's name.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        name.erase(std::min(name.find('/'), name.size()));
        db = std::make_unique<KelmDatabase>(kEngine, name);
        cn = db->Open();
    }
    void TearDown() override
    {
        if (cn && cn->GetState() == adStateOpen)
            cn->Close();
    }
    const Engine kEngine = GetParam(); // the engine of this instance
    std::unique_ptr<KelmDatabase> db;
    _ConnectionPtr cn;
};

TEST_P(AdoDb, OpenReportsTheEngineAndStateAndRefusesSecondOpenOrClose)
{
    EXPECT_EQ(cn->GetState(), adStateOpen);
    EXPECT_EQ(cn->GetDialect().engine(),
              kEngine == Engine::SQLite ? Dialect::Engine::SQLite : Dialect::Engine::PostgreSQL);
    EXPECT_EQ(ErrorOf([&] { cn->Open(db->connString()); }), AdoError(3705));
    cn->Close();
    EXPECT_EQ(cn->GetState(), adStateClosed);
    EXPECT_EQ(ErrorOf([&] { cn->Close(); }), AdoError(3704));
    EXPECT_EQ(ErrorOf([&] { cn->Execute("SELECT 1"); }), AdoError(3709));
    EXPECT_EQ(ErrorOf([&] { Query(cn, "SELECT 1"); }), AdoError(3709));
    // The same object opens again.
    cn->Open(db->connString());
    EXPECT_EQ(Count(cn, "SELECT 1"), 1);
}

TEST_P(AdoDb, ProviderOtherThanMsdasqlFailsAndObjectStaysUsable)
{
    cn->Close();
    EXPECT_EQ(ErrorOf([&] { cn->Open("Provider=SQLOLEDB;" + db->connString()); }), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(cn->GetState(), adStateClosed);
    cn->Open("Provider=msdasql;" + db->connString());
    EXPECT_EQ(cn->GetState(), adStateOpen);
}

TEST_P(AdoDb, DriverErrorsCarrySqlStateSourceAndDescription)
{
    try {
        cn->Execute("SELECT * FROM NoSuchTable");
        FAIL() << "no error";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_FAIL);
        EXPECT_EQ(std::string(e.Source()), "ODBC (" + kelm::test::EngineName(kEngine) + ")");
        EXPECT_GT(e.Description().length(), 0u);
        EXPECT_FALSE(e.Records().empty());
        if (kEngine == Engine::PostgreSQL) {
            EXPECT_TRUE(Dialect::IsUndefinedTable(e.SqlState())) << e.SqlState();
        } else {
            EXPECT_EQ(e.SqlState().size(), 5u);
        }
    }
    // On SQLite the catalogue tells the missing table apart.
    EXPECT_FALSE(cn->TableExists("NoSuchTable"));
    EXPECT_FALSE(cn->TableExists("Operation_Document"));
    EXPECT_TRUE(cn->TableExists("Operation_DocumentTempl"));
    EXPECT_TRUE(cn->TableExists("maindocstate"));
    EXPECT_TRUE(cn->TableExists("MAINDOCSTATE") == (kEngine == Engine::SQLite) ||
                kEngine == Engine::PostgreSQL);
}

TEST_P(AdoDb, ExecuteResultsAndCursorRules)
{
    cn->Execute("INSERT INTO ProdGroupOperate (Grp, NameGrp, FullNameGrp) VALUES (1, 'a', 'Группа один')");
    cn->Execute("INSERT INTO ProdGroupOperate (Grp, NameGrp, FullNameGrp) VALUES (2, 'b', NULL)");

    std::int64_t affected = -1;
    auto none = cn->Execute("DELETE FROM ProdGroupOperate WHERE Grp = 99", &affected, adCmdText);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->GetState(), adStateClosed);
    EXPECT_EQ(affected, 0);
    cn->Execute("UPDATE ProdGroupOperate SET NameGrp = 'x' WHERE Grp = 99");

    auto rs = cn->Execute("SELECT Grp, FullNameGrp FROM ProdGroupOperate ORDER BY Grp");
    EXPECT_EQ(rs->GetState(), adStateOpen);
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_FALSE(rs->IsEOF());
    rs->MoveFirst(); // nothing yet moved: allowed, stays on the first row
    EXPECT_EQ(static_cast<short>(rs->GetCollect("grp")), 1);
    EXPECT_EQ(std::string(rs->GetCollect("FULLNAMEGRP")), "Группа один");
    rs->MoveNext();
    EXPECT_EQ(rs->GetCollect("FullNameGrp").vt, VT_NULL);
    EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), AdoError(3251));
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), AdoError(3021));
    EXPECT_EQ(ErrorOf([&] { rs->GetCollect("Grp"); }), AdoError(3021));
    EXPECT_EQ(ErrorOf([&] { rs->PutCollect("Grp", 5); }), AdoError(3251));
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), AdoError(3251));
    rs->Close();
    EXPECT_EQ(ErrorOf([&] { rs->Close(); }), AdoError(3704));
    EXPECT_EQ(ErrorOf([&] { rs->IsEOF(); }), AdoError(3704));

    auto empty = Query(cn, "SELECT * FROM ProdGroupOperate WHERE Grp < 0");
    EXPECT_TRUE(empty->IsBOF());
    EXPECT_TRUE(empty->IsEOF());
    empty->MoveFirst();
    EXPECT_TRUE(empty->IsEOF());
    // Reopening the same object after Close with new arguments.
    empty->Close();
    empty->Open("SELECT count(*) AS n FROM ProdGroupOperate", cn, adOpenForwardOnly, adLockReadOnly, adCmdText);
    EXPECT_EQ(static_cast<long>(empty->GetCollect("n")), 2);
    EXPECT_EQ(ErrorOf([&] {
                  empty->Open("SELECT 1", cn, adOpenForwardOnly, adLockReadOnly, adCmdText);
              }),
              AdoError(3705));
}

TEST_P(AdoDb, FieldLookupByNameOrdinalAndDuplicates)
{
    cn->Execute("INSERT INTO ProdDocState (Grp, State, NameState) VALUES (3, 7, 'Новый')");
    cn->Execute("INSERT INTO MainDocState (Grp, Type, TypeDoc, State) VALUES (30, 4, 55, 7)");
    // Grp and State appear twice: the first column in result order wins.
    auto rs = Query(cn, "SELECT * FROM ProdDocState p, MainDocState m WHERE p.State = m.State AND m.TypeDoc = 55");
    ASSERT_FALSE(rs->IsEOF());
    struct Case {
        _variant_t key;
        HRESULT error;
        long value;
    } cases[] = {
        {"Grp", S_OK, 3},   {"GRP", S_OK, 3},         {"state", S_OK, 7},       {"TypeDoc", S_OK, 55},
        {0, S_OK, 3},       {1, S_OK, 7},             {"", AdoError(3265), 0},  {"Nope", AdoError(3265), 0},
        {-1, AdoError(3265), 0}, {1000, AdoError(3265), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.vt == VT_BSTR ? c.key.bstrValue() : std::to_string(c.key.llVal));
        long value = 0;
        EXPECT_EQ(ErrorOf([&] { value = rs->GetFields()->GetItem(c.key)->GetValue(); }), c.error);
        if (c.error == S_OK) {
            EXPECT_EQ(value, c.value);
        }
    }
    EXPECT_EQ(std::string(rs->GetCollect("NameState")), "Новый");
    rs->MoveNext();
    EXPECT_EQ(ErrorOf([&] { rs->GetCollect("Grp"); }), AdoError(3021));
}

TEST_P(AdoDb, ValuesAndConversionsFromColumns)
{
    cn->Execute("INSERT INTO struct_gr (id_firm, struct_code, struct_name, struct_lev) VALUES (1, NULL, NULL, 40000)");
    cn->Execute("INSERT INTO struct_gr_firm (id_firm, graph) VALUES (1, NULL)");
    cn->Execute("INSERT INTO struct_gr_firm (id_firm, graph) VALUES (2, " +
                std::string(kEngine == Engine::SQLite ? "X''" : "''::bytea") + ")");
    auto rs = Query(cn, "SELECT struct_code, struct_name, struct_lev, id_firm FROM struct_gr");
    EXPECT_EQ(rs->GetCollect("struct_code").vt, VT_NULL);
    EXPECT_EQ(ErrorOf([&] { (void)static_cast<short>(rs->GetCollect("struct_code")); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorOf([&] { (void)static_cast<long>(rs->GetCollect("struct_code")); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorOf([&] { (void)static_cast<_bstr_t>(rs->GetCollect("struct_name")); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorOf([&] { (void)static_cast<short>(rs->GetCollect("struct_lev")); }), DISP_E_OVERFLOW);
    EXPECT_EQ(static_cast<long>(rs->GetCollect("struct_lev")), 40000);
    EXPECT_EQ(rs->GetCollect("id_firm").vt, VT_I4);
    rs->Close();

    // count() is bigint on PostgreSQL and may be text on SQLite; both read as long.
    EXPECT_EQ(Count(cn, "SELECT count(id_firm) AS StateCount FROM struct_gr_firm"), 2);
    EXPECT_EQ(Count(cn, "SELECT max(id_firm) as idState FROM struct_gr_firm"), 2);

    rs = Query(cn, "SELECT id_firm, graph FROM struct_gr_firm ORDER BY id_firm");
    EXPECT_EQ(rs->GetCollect("graph").vt, VT_NULL);
    rs->MoveNext();
    _variant_t empty = rs->GetCollect("graph");
    EXPECT_EQ(empty.vt, VT_ARRAY);
    EXPECT_EQ(empty.parray, nullptr);
}

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

TEST_P(AdoDb, SavedRowSequenceInsertsUpdatesAndReadsTheGeneratedKey)
{
    const std::string key = "SELECT * FROM MainDocState WHERE State = 5 AND Grp = 2 AND TypeDoc = 77";
    auto blob = Pattern(1 << 20);
    long newId = 0;
    {
        _RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(key.c_str(), cn, adOpenStatic, adLockOptimistic, adCmdText);
        ASSERT_TRUE(rs->IsEOF());
        rs->AddNew();
        EXPECT_FALSE(rs->IsEOF());
        EXPECT_FALSE(rs->IsBOF());
        rs->GetFields()->GetItem("State")->PutValue(static_cast<short>(5));
        rs->PutCollect("Grp", 2);
        rs->PutCollect("TypeDoc", 77);
        rs->PutCollect("Type", 3);
        rs->PutCollect("Action", "0");
        rs->PutCollect("idCondition", "0");
        rs->PutCollect("Comment", "Состояние «черновик»");
        rs->PutCollect("GraphInfo", _variant_t::FromBytes(blob.data(), blob.size()));
        EXPECT_EQ(ErrorOf([&] { rs->PutCollect("DataAction", "x"); }), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(ErrorOf([&] { rs->PutCollect("State", 40000); }), DISP_E_OVERFLOW);
        rs->Update();
        EXPECT_EQ(static_cast<long>(rs->GetCollect("TypeDoc")), 77);
        rs->Close();
        auto id = Query(cn, cn->GetDialect().LastIdentityQuery("MainDocState", "idState"));
        newId = id->GetCollect("idState");
        EXPECT_GT(newId, 0);
        EXPECT_EQ(Count(cn, "SELECT max(idState) as idState FROM MainDocState"), newId);
    }
    {
        // The same row again: found, updated, keys untouched.
        _RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(key.c_str(), cn, adOpenStatic, adLockOptimistic, adCmdText);
        ASSERT_FALSE(rs->IsEOF());
        rs->MoveFirst();
        rs->PutCollect("Comment", "Второй");
        rs->PutCollect("DataAction", 3);
        rs->Update();
        EXPECT_EQ(static_cast<long>(rs->GetCollect("idState")), newId);
        EXPECT_EQ(std::string(rs->GetCollect("Comment")), "Второй");
        rs->Close();
    }
    auto rs = Query(cn, "SELECT * FROM MainDocState");
    EXPECT_EQ(static_cast<long>(rs->GetCollect("idState")), newId);
    EXPECT_EQ(static_cast<long>(rs->GetCollect("Action")), 0);
    EXPECT_EQ(static_cast<long>(rs->GetCollect("DataAction")), 3);
    EXPECT_EQ(static_cast<long>(rs->GetCollect("isHoleProcess")), 0); // the column's default
    EXPECT_EQ(std::string(rs->GetCollect("Comment")), "Второй");
    EXPECT_EQ(rs->GetCollect("GraphInfo").ToBytes(), blob);
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    rs->Close();

    {
        // A row that vanished under the recordset is an error, and nothing changes.
        _RecordsetPtr rs2;
        rs2.CreateInstance("ADODB.Recordset");
        rs2->Open(key.c_str(), cn, adOpenStatic, adLockOptimistic, adCmdText);
        cn->Execute("DELETE FROM MainDocState");
        rs2->PutCollect("Comment", "lost");
        try {
            rs2->Update();
            FAIL() << "update of a vanished row succeeded";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), E_FAIL);
            EXPECT_EQ(std::string(e.Source()), "ADODB.Recordset");
        }
        EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainDocState"), 0);
    }
}

TEST_P(AdoDb, AFailedInsertKeepsTheRowPendingUntilItIsFixed)
{
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open("SELECT * FROM MainDocType WHERE TypeDoc = 5", cn, adOpenStatic, adLockOptimistic, adCmdText);
    rs->AddNew();
    rs->PutCollect("TypeDoc", 5);
    rs->PutCollect("defState", static_cast<short>(1));
    // Grp and Type are NOT NULL: the driver refuses the row.
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), E_FAIL);
    EXPECT_EQ(static_cast<long>(rs->GetCollect("TypeDoc")), 5);
    rs->PutCollect("Grp", 1);
    rs->PutCollect("Type", 2);
    rs->Update();
    rs->Close();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainDocType WHERE TypeDoc = 5 AND defState = 1"), 1);

    // Execute results of statements without rows are closed recordsets.
    auto none = cn->Execute("UPDATE MainDocType SET defState = 2");
    EXPECT_EQ(ErrorOf([&] { none->IsEOF(); }), AdoError(3704));
    EXPECT_EQ(ErrorOf([&] { none->GetCollect("defState"); }), AdoError(3704));
}

TEST_P(AdoDb, UpdateWithoutPrimaryKeyMatchesOriginalValues)
{
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM common_ver WHERE flagtrue = '*'"), 1);
    cn->Execute("DELETE FROM common_ver");
    cn->Execute("INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.35', '*')");
    cn->Execute("INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.34', NULL)");
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open("SELECT * FROM common_ver WHERE flagtrue IS NULL", cn, adOpenStatic, adLockOptimistic, adCmdText);
    rs->PutCollect("Applversion", "3.01.40");
    rs->Update();
    rs->Close();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM common_ver WHERE Applversion = '3.01.40' AND flagtrue IS NULL"), 1);
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM common_ver WHERE Applversion = '3.01.35'"), 1);

    // A static recordset goes back to its first row.
    rs->Open("SELECT * FROM common_ver ORDER BY Applversion", cn, adOpenStatic, adLockOptimistic, adCmdText);
    rs->MoveNext();
    EXPECT_EQ(std::string(rs->GetCollect("Applversion")), "3.01.40");
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    rs->MoveFirst();
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_EQ(std::string(rs->GetCollect("Applversion")), "3.01.35");
}

TEST_P(AdoDb, AddNewOnTableNameAndUnsupportedShapes)
{
    cn->Execute("INSERT INTO MainDocGraphic (Grp, Type) VALUES (1, 1)");
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open("MainDocGraphic", cn, adOpenKeyset, adLockOptimistic, adCmdTable);
    rs->AddNew();
    rs->PutCollect("Grp", static_cast<short>(4));
    rs->PutCollect("Type", 9);
    rs->PutCollect("Symbol_Data", _variant_t::FromBytes("\x01\x00\x02", 3));
    rs->Update();
    rs->Close();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainDocGraphic"), 2);
    auto read = Query(cn, "SELECT Symbol_Data FROM MainDocGraphic WHERE Grp = 4 AND Type = 9");
    EXPECT_EQ(read->GetCollect("Symbol_Data").ToBytes(), (std::vector<std::uint8_t>{1, 0, 2}));
    read->Close();

    _RecordsetPtr join;
    join.CreateInstance("ADODB.Recordset");
    join->Open("SELECT g.Grp FROM MainDocGraphic g, MainGroupOperate m WHERE g.Grp = m.Grp", cn, adOpenStatic,
               adLockOptimistic, adCmdText);
    EXPECT_EQ(ErrorOf([&] { join->AddNew(); }), AdoError(3251));
}

TEST_P(AdoDb, RollbackUndoesRecordsetAndExecuteWork)
{
    EXPECT_EQ(ErrorOf([&] { cn->RollbackTrans(); }), XACT_E_NOTRANSACTION);
    EXPECT_EQ(ErrorOf([&] { cn->CommitTrans(); }), XACT_E_NOTRANSACTION);
    cn->BeginTrans();
    EXPECT_EQ(ErrorOf([&] { cn->BeginTrans(); }), XACT_E_NOTRANSACTION);
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open("SELECT * FROM MainDocMove WHERE idMove = -1", cn, adOpenStatic, adLockOptimistic, adCmdText);
    rs->AddNew();
    for (const char* column : {"Grp", "Type", "TypeDoc", "State", "NewState"})
        rs->PutCollect(column, 1);
    rs->PutCollect("FormulaScript", "");
    rs->Update();
    rs->Close();
    cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (10)");
    cn->RollbackTrans();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainDocMove"), 0);
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainGroupOperate"), 0);

    // A failing statement inside, then the rollback the callers run.
    cn->BeginTrans();
    cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (11)");
    EXPECT_EQ(ErrorOf([&] { cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (11)"); }), E_FAIL);
    cn->RollbackTrans();
    EXPECT_FALSE(cn->InTransaction());
    // Autocommit is back: this stays without a commit.
    cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (12)");
    auto other = db->Open();
    EXPECT_EQ(Count(other, "SELECT count(*) AS n FROM MainGroupOperate"), 1);
}

// psqlODBC is told to roll the whole transaction back at an error instead of
// putting each statement under a savepoint; a connection string that names
// its own level keeps it.
TEST_P(AdoDb, OnPostgreSQLAnErrorEndsTheWholeTransaction)
{
    if (kEngine != Engine::PostgreSQL)
        GTEST_SKIP() << "SQLite's driver keeps no savepoints";
    cn->BeginTrans();
    cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (40)");
    EXPECT_EQ(ErrorOf([&] { cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (40)"); }), E_FAIL);
    cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (41)");
    cn->CommitTrans();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainGroupOperate WHERE Grp = 40"), 0);
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainGroupOperate WHERE Grp = 41"), 1);

    _ConnectionPtr statementLevel;
    statementLevel.CreateInstance("ADODB.Connection");
    statementLevel->Open(db->connString() + "Protocol=7.4-2;");
    statementLevel->BeginTrans();
    statementLevel->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (30)");
    EXPECT_EQ(ErrorOf([&] { statementLevel->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (30)"); }), E_FAIL);
    // Only the failed statement was undone: the transaction goes on.
    statementLevel->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (31)");
    statementLevel->CommitTrans();
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainGroupOperate WHERE Grp IN (30, 31)"), 2);
    statementLevel->Close();
}

TEST_P(AdoDb, FailedCommitStaysOpenForTheRollback)
{
    if (kEngine == Engine::PostgreSQL) {
        cn->Execute("CREATE TABLE parent_t (id integer PRIMARY KEY)");
        cn->Execute("CREATE TABLE child_t (id integer REFERENCES parent_t (id) DEFERRABLE INITIALLY DEFERRED)");
    } else {
        cn->Execute("PRAGMA foreign_keys = ON");
        cn->Execute("CREATE TABLE parent_t (id integer PRIMARY KEY)");
        cn->Execute("CREATE TABLE child_t (id integer REFERENCES parent_t (id) DEFERRABLE INITIALLY DEFERRED)");
    }
    cn->BeginTrans();
    cn->Execute("INSERT INTO child_t (id) VALUES (1)");
    EXPECT_EQ(ErrorOf([&] { cn->CommitTrans(); }), E_FAIL);
    EXPECT_TRUE(cn->InTransaction());
    EXPECT_EQ(ErrorOf([&] { cn->RollbackTrans(); }), S_OK);
    EXPECT_FALSE(cn->InTransaction());
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM child_t"), 0);
    cn->Execute("INSERT INTO parent_t (id) VALUES (1)");
    EXPECT_EQ(Count(db->Open(), "SELECT count(*) AS n FROM parent_t"), 1);
}

TEST_P(AdoDb, TwoReadersAndExecuteInsideOneTransactionThenCommit)
{
    for (int g = 1; g <= 3; ++g)
        cn->Execute("INSERT INTO ProdGroupOperate (Grp, FullNameGrp) VALUES (" + std::to_string(g) + ", 'g')");
    cn->BeginTrans();
    auto outer = Query(cn, "SELECT Grp FROM ProdGroupOperate ORDER BY Grp");
    int seen = 0;
    while (!outer->IsEOF()) {
        auto inner = Query(cn, "SELECT Grp FROM ProdGroupOperate WHERE Grp >= " +
                                   std::to_string(static_cast<long>(outer->GetCollect("Grp"))));
        while (!inner->IsEOF()) {
            ++seen;
            inner->MoveNext();
        }
        cn->Execute("INSERT INTO MainGroupOperate (Grp) VALUES (" +
                    std::to_string(static_cast<long>(outer->GetCollect("Grp"))) + ")");
        outer->MoveNext();
    }
    // A reader still open while committing: its cursor must not block it.
    auto pending = Query(cn, "SELECT Grp FROM ProdGroupOperate");
    cn->CommitTrans();
    EXPECT_EQ(seen, 6);
    EXPECT_EQ(Count(db->Open(), "SELECT count(*) AS n FROM MainGroupOperate"), 3);
    // Closing the connection closes what is open on it.
    cn->Close();
    EXPECT_EQ(pending->GetState(), adStateClosed);
    EXPECT_EQ(ErrorOf([&] { pending->IsEOF(); }), AdoError(3704));
}

TEST_P(AdoDb, TextRoundTripsWholeThroughParameters)
{
    std::string long_text;
    for (int i = 0; i < 5000; ++i)
        long_text += "Ёж ъ 🙂 'quote' \\ ";
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open("SELECT * FROM MainDocState WHERE idState = 0", cn, adOpenStatic, adLockOptimistic, adCmdText);
    rs->AddNew();
    for (const char* column : {"Grp", "Type", "TypeDoc", "State"})
        rs->PutCollect(column, 1);
    rs->PutCollect("Comment", long_text);
    rs->Update();
    rs->Close();
    auto read = Query(cn, "SELECT Comment FROM MainDocState");
    _bstr_t text = read->GetCollect("Comment");
    EXPECT_EQ(text.str(), long_text);
    EXPECT_EQ(text.length(), 5000u * 17u);
}

// The statements the editor runs in a per-engine or corrected form.
TEST_P(AdoDb, CorrectedStatementsRunAndReturnWhatTheCallersRead)
{
    const char* seed[] = {
        "INSERT INTO ProdGroupOperate (Grp, NameGrp, FullNameGrp) VALUES (1, 'G', 'Группа')",
        "INSERT INTO ProdTypeOperate (Grp, Kind, Code, NameOperate, NameGrp, FullNameGrp, NameTable, NameScript, "
        "Color) VALUES (1, 1, 'c', 'Приход', 'G', 'Группа', 'Operation_Document', 's', 5)",
        "INSERT INTO ProdDocState (Grp, State, NameState) VALUES (1, 1, 'Черновик')",
        "INSERT INTO ProdDocType (Type, Grp, NameDoc) VALUES (1, 1, 'Накладная')",
        "INSERT INTO MainDocState (Grp, Type, TypeDoc, State) VALUES (1, 1, 1, 1)",
        "INSERT INTO MainDocMove (Grp, Type, TypeDoc, State, NewTypeDoc, NewState) VALUES (1, 1, 1, 1, 2, 1)",
        "INSERT INTO MainGroupOperate (Grp) VALUES (1)",
        "INSERT INTO MainDocType (Grp, Type, TypeDoc) VALUES (1, 1, 1)",
    };
    for (const char* s : seed)
        cn->Execute(s);
    long base = Count(cn, "SELECT max(Type) AS t FROM ProdTypeOperate");

    cn->Execute("INSERT INTO ProdTypeOperate (Grp,Kind,Code,NameGrp,FullNameGrp,NameOperate,NameTable,NameScript,"
                "Color) SELECT Grp,Kind,'code',NameGrp,FullNameGrp,'name',NameTable,NameScript,Color FROM "
                "ProdTypeOperate WHERE Grp=1 AND Type=" + std::to_string(base) + " LIMIT 1");
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM ProdTypeOperate"), 2);
    EXPECT_GT(Count(cn, "SELECT max(Type) AS t FROM ProdTypeOperate"), base);

    auto rs = Query(cn, "SELECT count(State) AS StateCount FROM MainDocState WHERE TypeDoc = 1");
    EXPECT_EQ(static_cast<long>(rs->GetCollect("StateCount")), 1);
    EXPECT_EQ(static_cast<long>(rs->GetCollect(0)), 1);
    rs->Close();

    rs = Query(cn, "SELECT t.Grp, t.Type, t.TypeDoc, t.NameDoc, t.NameOperate, p.FullNameGrp FROM ProdDocType t, "
                   "MainDocMove m, ProdGroupOperate p WHERE m.NewTypeDoc = 2 AND m.NewTypeDoc <> m.TypeDoc AND "
                   "t.TypeDoc = m.TypeDoc AND p.Grp = t.Grp");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(std::string(rs->GetCollect("NameDoc")), "Накладная");
    EXPECT_EQ(std::string(rs->GetCollect("FullNameGrp")), "Группа");
    rs->Close();

    rs = Query(cn, "SELECT p.NameState, m.idState FROM ProdDocState p, MainDocState m WHERE p.Grp = m.Grp AND "
                   "p.State = m.State AND m.TypeDoc = 1");
    EXPECT_EQ(std::string(rs->GetCollect("NameState")), "Черновик");
    rs->Close();

    cn->Execute("DELETE FROM MainGroupOperate WHERE Grp IN (SELECT p.Grp FROM ProdGroupOperate p WHERE p.Grp = 1)");
    cn->Execute("DELETE FROM MainDocType WHERE TypeDoc = 1");
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainGroupOperate"), 0);
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM MainDocType"), 0);
}

// Rows whose keys collide on the column that is not the key: an update
// located by the wrong column would match both rows and fail.
void CreateKeyed(const std::function<void(const std::string&)>& exec, const char* key)
{
    exec(std::string("CREATE TABLE keyed (a integer NOT NULL, b integer NOT NULL, c varchar(20), PRIMARY KEY (") +
         key + "))");
    if (std::strcmp(key, "a") == 0)
        exec("INSERT INTO keyed (a, b, c) VALUES (1, 10, 'x'), (2, 10, 'y')");
    else
        exec("INSERT INTO keyed (a, b, c) VALUES (1, 10, 'x'), (1, 20, 'y')");
}

void SetC(const _ConnectionPtr& connection, const std::string& where, const char* value)
{
    _RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open(("SELECT * FROM keyed WHERE " + where).c_str(), connection, adOpenStatic, adLockOptimistic, adCmdText);
    rs->PutCollect("c", value);
    rs->Update();
    rs->Close();
    EXPECT_EQ(Count(connection, "SELECT count(*) AS n FROM keyed WHERE c = '" + std::string(value) + "' AND " + where),
              1)
        << where;
}

TEST_P(AdoDb, KeyOfATableIsReadAgainOnAnotherDatabase)
{
    auto exec = [&](const std::string& sql) { cn->Execute(sql); };
    CreateKeyed(exec, "a");
    SetC(cn, "a = 1", "p");
    KelmDatabase other(kEngine, "other_keys", false);
    CreateKeyed([&](const std::string& sql) { other.Exec(sql); }, "b");
    cn->Close();
    cn->Open(other.connString(), "", "", -1);
    SetC(cn, "b = 20", "q");
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM keyed WHERE c = 'q'"), 1);
}

TEST_P(AdoDb, KeyOfATableRecreatedWithAnotherKeyIsReadAgain)
{
    auto exec = [&](const std::string& sql) { cn->Execute(sql); };
    CreateKeyed(exec, "a");
    SetC(cn, "a = 1", "p");

    // Re-created on the same connection.
    cn->Execute("DROP TABLE keyed");
    CreateKeyed(exec, "b");
    SetC(cn, "b = 20", "q");

    // Re-created by another connection between two transactions.
    cn->BeginTrans();
    SetC(cn, "b = 10", "r");
    cn->CommitTrans();
    db->Exec("DROP TABLE keyed");
    CreateKeyed([&](const std::string& sql) { db->Exec(sql); }, "a");
    cn->BeginTrans();
    SetC(cn, "a = 2", "s");
    cn->CommitTrans();

    // Re-created inside a transaction that is rolled back.
    cn->BeginTrans();
    cn->Execute("DROP TABLE keyed");
    CreateKeyed(exec, "b");
    SetC(cn, "b = 20", "t");
    cn->RollbackTrans();
    SetC(cn, "a = 1", "u");
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM keyed"), 2);
}

// The layer keeps its INSERT and UPDATE statements prepared between calls.
TEST_P(AdoDb, WritesReachATableRecreatedByAnotherConnection)
{
    CreateKeyed([&](const std::string& sql) { cn->Execute(sql); }, "a");
    auto add = [&](int a, int b) {
        _RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open("SELECT * FROM keyed WHERE a = -1", cn, adOpenStatic, adLockOptimistic, adCmdText);
        rs->AddNew();
        rs->PutCollect("a", a);
        rs->PutCollect("b", b);
        rs->PutCollect("c", "n");
        rs->Update();
        rs->Close();
    };
    add(3, 30);
    SetC(cn, "a = 3", "p");
    db->Exec("DROP TABLE keyed");
    db->Exec("CREATE TABLE keyed (c varchar(20), b integer NOT NULL, a integer NOT NULL PRIMARY KEY, d integer)");
    add(4, 40);
    SetC(cn, "a = 4", "q");
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM keyed WHERE a = 4 AND b = 40 AND c = 'q' AND d IS NULL"), 1);
    EXPECT_EQ(Count(cn, "SELECT count(*) AS n FROM keyed"), 1);
}

// Users keep databases in localised folders ("Документы").
TEST(AdoSqlite, DatabaseFileUnderACyrillicPath)
{
    kelm::test::TempDir dir;
    auto folder = dir / "Документы";
    std::filesystem::create_directories(folder);
    _ConnectionPtr cn;
    cn.CreateInstance("ADODB.Connection");
    cn->Open(kelm::test::SqliteConnString(folder / "Кельм.db"));
    cn->Execute("CREATE TABLE t (x integer)");
    cn->Close();
    EXPECT_TRUE(std::filesystem::exists(folder / "Кельм.db"));
}

// The demo kit's loader (and the user) run the schema file through psql.
TEST(KelmSchema, LoadsWithPsqlAsAWhole)
{
    KELM_REQUIRE_PG();
    kelm::test::PgDatabase db("schema_psql");
    std::string command = "psql -X -q -v ON_ERROR_STOP=1 -d '" + db.libpqConnInfo() + "' -f '" KELM_SOURCE_DIR
                          "/kits/demo/schema/postgresql.sql' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    db.exec("INSERT INTO ProdTypeOperate (Grp, NameOperate) VALUES (1, 'a'), (2, 'b')");
}

TEST(AdoPointers, NullPointerAndUnknownClass)
{
    _ConnectionPtr cn;
    EXPECT_EQ(ErrorOf([&] { cn->GetState(); }), E_POINTER);
    try {
        cn->Close();
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Description().length(), 0u);
        EXPECT_EQ(e.ErrorMessage(), "Invalid pointer");
    }
    _RecordsetPtr rs;
    EXPECT_EQ(rs.CreateInstance("ADODB.Command"), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(rs.CreateInstance("ADODB.Recordset"), S_OK);
    EXPECT_EQ(rs->GetState(), adStateClosed);
    EXPECT_EQ(ErrorOf([&] { rs->Open("SELECT 1", cn, adOpenForwardOnly, adLockReadOnly, adCmdText); }),
              AdoError(3709));
}

INSTANTIATE_TEST_SUITE_P(Engines, AdoDb, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
