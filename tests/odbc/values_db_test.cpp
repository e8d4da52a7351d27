// A recordset over a table of every column type, fetched singly and in bulk,
// updated, added to and deleted from, and a parameter array inserted in one
// execute, on SQLite and PostgreSQL.
#include "odbc/data/core/paramarray.h"
#include "odbc/data/core/rfx.h"
#include "odbc/data/core/values.h"

#include "tests/common/dbscalar.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace kelm::test;

namespace {

const GUID kGuid{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
const std::string kCyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"; // six letters

struct Engine : EngineDatabase {
    explicit Engine(const std::string& name) : EngineDatabase(name == "pg", "values", kPgRecordsetOptions) {}
    std::string CreateTable() const
    {
        if (pg())
            return "CREATE TABLE t (id INTEGER PRIMARY KEY, b BOOLEAN, sh SMALLINT, i INTEGER, bi BIGINT, "
                   "f REAL, d DOUBLE PRECISION, ts TIMESTAMP, tx VARCHAR(40), bl BYTEA, g UUID)";
        return "CREATE TABLE t (id INTEGER PRIMARY KEY, b BOOLEAN, sh SMALLINT, i INTEGER, bi BIGINT, "
               "f REAL, d DOUBLE, ts TIMESTAMP, tx VARCHAR(40), bl BLOB, g VARCHAR(38))";
    }
};

// Every column type, one member each; GUIDs only where the engine has them.
class AllTypesSet : public CRecordset {
public:
    AllTypesSet(CDatabase* db, bool guids) : CRecordset(db), m_guids(guids) { m_nFields = guids ? 11 : 10; }
    std::string GetDefaultSQL() override { return m_guids ? "t" : "SELECT id,b,sh,i,bi,f,d,ts,tx,bl FROM t"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "id", id);
        RFX_Bool(pFX, "b", b);
        RFX_Short(pFX, "sh", sh);
        RFX_Long(pFX, "i", i);
        RFX_Int64(pFX, "bi", bi);
        RFX_Single(pFX, "f", f);
        RFX_Double(pFX, "d", d);
        RFX_Date(pFX, "ts", ts);
        RFX_Text_Ntv(pFX, "tx", tx, 255);
        RFX_Binary_Ntv(pFX, "bl", bl, 64);
        if (m_guids)
            RFX_GUID(pFX, "g", g);
    }

    bool m_guids;
    LONG id = 0;
    BOOL b = 0;
    short sh = 0;
    LONG i = 0;
    std::int64_t bi = 0;
    float f = 0;
    double d = 0;
    TIMESTAMP_STRUCT ts{};
    std::string tx;
    std::vector<std::uint8_t> bl;
    GUID g{};
};

class AllTypesBulk : public CRecordset {
public:
    AllTypesBulk(CDatabase* db, bool guids) : CRecordset(db), m_guids(guids) { m_nFields = guids ? 7 : 6; }
    ~AllTypesBulk() override { Close(); }
    void DoBulkFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long_Bulk(pFX, "id", &id, &idLen);
        RFX_Short_Bulk(pFX, "sh", &sh, &shLen);
        RFX_Int64_Bulk(pFX, "bi", &bi, &biLen);
        RFX_Date_Bulk(pFX, "ts", &ts, &tsLen);
        RFX_Text_Bulk(pFX, "tx", &tx, &txLen, 64);
        RFX_Binary_Bulk(pFX, "bl", &bl, &blLen, 16);
        if (m_guids)
            RFX_GUID_Bulk(pFX, "g", &g, &gLen);
    }
    bool m_guids;
    LONG* id = nullptr;
    SQLLEN* idLen = nullptr;
    short* sh = nullptr;
    SQLLEN* shLen = nullptr;
    std::int64_t* bi = nullptr;
    SQLLEN* biLen = nullptr;
    TIMESTAMP_STRUCT* ts = nullptr;
    SQLLEN* tsLen = nullptr;
    char* tx = nullptr;
    SQLLEN* txLen = nullptr;
    BYTE* bl = nullptr;
    SQLLEN* blLen = nullptr;
    GUID* g = nullptr;
    SQLLEN* gLen = nullptr;
};

// Binds a parameter array column-wise to every statement the connection runs.
class ArrayDatabase : public CDatabase {
public:
    void BindParameters(HSTMT hstmt) override
    {
        if (params == nullptr)
            return;
        SQLSetStmtAttr(hstmt, SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
        SQLSetStmtAttr(hstmt, SQL_ATTR_PARAMSET_SIZE,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(params->GetArraysSize())), 0);
        SQLSetStmtAttr(hstmt, SQL_ATTR_PARAM_STATUS_PTR, params->GetStatusArray(), 0);
        SQLSetStmtAttr(hstmt, SQL_ATTR_PARAMS_PROCESSED_PTR, params->GetParamsProcessed(), 0);
        for (int p = 0; p < params->GetParamCount(); ++p) {
            RETCODE rc = SQLBindParameter(hstmt, static_cast<SQLUSMALLINT>(p + 1), SQL_PARAM_INPUT,
                                          params->GetSQL_C_Type(p), params->GetSQLType(p), params->GetPrec(p),
                                          params->GetScale(p), params->GetArrayData(p),
                                          static_cast<SQLLEN>(params->GetPrec(p)), params->GetArrayLen(p));
            if (!Check(rc))
                AfxThrowDBException(rc, this, hstmt);
        }
    }
    CArrayPointParam* params = nullptr;
};

class ValuesDb : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "pg")
            KELM_REQUIRE_PG();
        engine = std::make_unique<Engine>(GetParam());
        ASSERT_TRUE(db.OpenEx(engine->connect().c_str()));
        db.ExecuteSQL(engine->CreateTable().c_str());
    }

    // Rows 1 to 5 in one execute of a parameter array.
    void InsertFiveWithOneExecute()
    {
        constexpr std::uint32_t kSets = 5;
        std::int32_t ids[kSets], ints[kSets];
        unsigned char bytes[kSets];
        double doubles[kSets];
        char texts[kSets][16];
        TIMESTAMP_STRUCT stamps[kSets];
        for (std::uint32_t s = 0; s < kSets; ++s) {
            ids[s] = static_cast<std::int32_t>(s + 1);
            ints[s] = static_cast<std::int32_t>(100 * (s + 1));
            bytes[s] = static_cast<unsigned char>(250 + s);
            doubles[s] = s + 0.25;
            std::snprintf(texts[s], sizeof texts[s], "set %u", s + 1);
            stamps[s] = TIMESTAMP_STRUCT{2024, 1, static_cast<SQLUSMALLINT>(s + 1), 10, 0, static_cast<SQLUSMALLINT>(s), 0};
        }
        CArrayPointParam params(kSets);
        params.AddParam("id", ids, SQL_INTEGER, SQL_PARAM_INPUT);
        params.AddParam("i", ints, SQL_INTEGER, SQL_PARAM_INPUT);
        params.AddParam("d", doubles, SQL_DOUBLE, SQL_PARAM_INPUT);
        params.AddParam("tx", &texts[0][0], 16, SQL_VARCHAR, SQL_PARAM_INPUT, 0);
        params.AddParam("ts", stamps, SQL_TYPE_TIMESTAMP, SQL_PARAM_INPUT);
        params.AddParam("sh", bytes, SQL_SMALLINT, SQL_PARAM_INPUT);
        std::fill(params.GetStatusArray(), params.GetStatusArray() + kSets, SQLUSMALLINT(99));
        db.params = &params;
        db.ExecuteSQL("INSERT INTO t (id, i, d, tx, ts, sh) VALUES (?, ?, ?, ?, ?, ?)");
        db.params = nullptr;
        EXPECT_EQ(*params.GetParamsProcessed(), kSets);
        // The SQLite driver leaves the status array as it was.
        if (engine->pg()) {
            for (std::uint32_t s = 0; s < kSets; ++s)
                EXPECT_EQ(params.GetStatusArray()[s], SQL_PARAM_SUCCESS) << s;
        }
    }

    std::unique_ptr<Engine> engine;
    ArrayDatabase db;
};

TEST_P(ValuesDb, ParameterArrayAddNewBulkAndSingleFetchUpdateDelete)
{
    InsertFiveWithOneExecute();
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t"), "5");
    EXPECT_EQ(Scalar(db, "SELECT tx FROM t WHERE id = 4"), "set 4");
    EXPECT_EQ(Scalar(db, "SELECT SUM(sh) FROM t"), "1260"); // 250 to 254: bytes, not bits

    // Rows 6 (every type set) and 7 (only the key) through AddNew.
    AllTypesSet rs(&db, engine->pg());
    rs.m_strSort = "id";
    ASSERT_TRUE(rs.Open());
    ASSERT_TRUE(rs.CanAppend());
    rs.AddNew();
    rs.id = 6;
    rs.b = TRUE;
    rs.sh = -32000;
    rs.i = 2147483647;
    rs.bi = -9000000000000000000LL;
    rs.f = 0.5f;
    rs.d = 1e300;
    rs.ts = TIMESTAMP_STRUCT{1999, 12, 31, 23, 59, 59, 0};
    rs.tx = kCyrillic;
    rs.bl = {0x00, 0xFF, 0x7F, 0x00};
    rs.g = kGuid;
    ASSERT_TRUE(rs.Update());
    rs.AddNew();
    rs.id = 7;
    ASSERT_TRUE(rs.Update());
    ASSERT_TRUE(rs.Requery());

    // Bulk: a rowset of 3 over 7 rows.
    {
        AllTypesBulk bulk(&db, engine->pg());
        bulk.SetRowsetSize(3);
        bulk.m_strSort = "id";
        ASSERT_TRUE(bulk.Open(CRecordset::snapshot, "t", CRecordset::useMultiRowFetch | CRecordset::readOnly));
        std::vector<DWORD> sizes;
        std::vector<LONG> ids;
        for (; !bulk.IsEOF(); bulk.MoveNext()) {
            sizes.push_back(bulk.GetRowsFetched());
            for (DWORD r = 0; r < bulk.GetRowsFetched(); ++r) {
                ids.push_back(bulk.id[r]);
                if (bulk.id[r] == 6) {
                    EXPECT_EQ(bulk.sh[r], -32000);
                    EXPECT_EQ(bulk.bi[r], -9000000000000000000LL);
                    EXPECT_EQ(bulk.ts[r].year, 1999);
                    EXPECT_EQ(std::string(bulk.tx + r * 64), kCyrillic);
                    ASSERT_EQ(bulk.blLen[r], 4);
                    EXPECT_EQ(bulk.bl[r * 16 + 1], 0xFF);
                    if (engine->pg()) {
                        EXPECT_EQ(GuidToString(bulk.g[r]), GuidToString(kGuid));
                    }
                } else if (bulk.id[r] == 7) {
                    EXPECT_EQ(bulk.shLen[r], SQL_NULL_DATA);
                    EXPECT_EQ(bulk.txLen[r], SQL_NULL_DATA);
                    EXPECT_EQ(bulk.blLen[r], SQL_NULL_DATA);
                } else {
                    EXPECT_EQ(std::string(bulk.tx + r * 64), "set " + std::to_string(bulk.id[r]));
                    EXPECT_EQ(bulk.ts[r].day, bulk.id[r]);
                }
            }
        }
        EXPECT_EQ(sizes, (std::vector<DWORD>{3, 3, 1}));
        EXPECT_EQ(ids, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7}));
    }

    // Singly, each row in turn.
    int rows = 0;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
        ++rows;
        if (rs.id == 6) {
            EXPECT_EQ(rs.b, TRUE);
            EXPECT_EQ(rs.sh, -32000);
            EXPECT_EQ(rs.i, 2147483647);
            EXPECT_EQ(rs.bi, -9000000000000000000LL);
            EXPECT_FLOAT_EQ(rs.f, 0.5f);
            EXPECT_DOUBLE_EQ(rs.d, 1e300);
            EXPECT_EQ(rs.ts.second, 59);
            EXPECT_EQ(rs.tx, kCyrillic);
            EXPECT_EQ(rs.bl, (std::vector<std::uint8_t>{0x00, 0xFF, 0x7F, 0x00}));
            if (engine->pg()) {
                EXPECT_EQ(GuidToString(rs.g), GuidToString(kGuid));
            }
        } else if (rs.id == 7) {
            EXPECT_TRUE(rs.IsFieldNull(&rs.sh));
            EXPECT_EQ(rs.sh, AFX_RFX_SHORT_PSEUDO_NULL);
            EXPECT_TRUE(rs.IsFieldNull(&rs.bi));
            EXPECT_EQ(rs.bi, AFX_RFX_INT64_PSEUDO_NULL);
            EXPECT_TRUE(rs.IsFieldNull(&rs.tx));
            EXPECT_TRUE(rs.tx.empty());
            EXPECT_TRUE(rs.IsFieldNull(&rs.bl));
            EXPECT_EQ(rs.bl, std::vector<std::uint8_t>{255});
        } else {
            EXPECT_EQ(rs.tx, "set " + std::to_string(rs.id));
            EXPECT_EQ(rs.i, 100 * rs.id);
            EXPECT_FALSE(rs.IsFieldNull(&rs.d));
            EXPECT_EQ(rs.sh, 249 + rs.id);
        }
    }
    EXPECT_EQ(rows, 7);

    // Edit row 6: a text, a 64-bit value and the bytes; nothing else moves.
    rs.MoveFirst();
    while (rs.id != 6)
        rs.MoveNext();
    rs.Edit();
    EXPECT_FALSE(rs.Update()); // nothing changed, texts and bytes included
    rs.Edit();
    rs.tx = "changed " + kCyrillic;
    rs.bi = 42;
    rs.bl = {1, 2, 3};
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(Scalar(db, "SELECT tx FROM t WHERE id = 6"), "changed " + kCyrillic);
    EXPECT_EQ(Scalar(db, "SELECT bi FROM t WHERE id = 6"), "42");
    EXPECT_EQ(Scalar(db, "SELECT sh FROM t WHERE id = 6"), "-32000");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t WHERE id = 6 AND i = 2147483647"), "1");

    // Delete row 3.
    rs.MoveFirst();
    rs.MoveNext();
    rs.MoveNext();
    ASSERT_EQ(rs.id, 3);
    rs.Delete();
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t"), "6");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM t WHERE id = 3"), "0");
    ASSERT_TRUE(rs.Requery());
    int left = 0;
    for (; !rs.IsEOF(); rs.MoveNext())
        ++left;
    EXPECT_EQ(left, 6);
}

TEST_P(ValuesDb, TextLongerThanItsBufferArrivesCutOnACharacter)
{
    class ShortText : public CRecordset {
    public:
        explicit ShortText(CDatabase* db) : CRecordset(db) { m_nFields = 1; }
        void DoFieldExchange(CFieldExchange* pFX) override
        {
            pFX->SetFieldType(CFieldExchange::outputColumn);
            RFX_Text_Ntv(pFX, "tx", tx, 5);
        }
        std::string tx;
    };
    // One byte and fifteen letters of two; the buffer has room for five
    // characters of up to four bytes, so 20 bytes arrive, the letter they
    // split is dropped, and the member keeps its five characters.
    std::string longText = "a" + kCyrillic + kCyrillic + kCyrillic.substr(0, 6);
    db.ExecuteSQL(("INSERT INTO t (id, tx) VALUES (1, '" + longText + "')").c_str());
    ShortText rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT tx FROM t", CRecordset::readOnly));
    EXPECT_EQ(rs.tx, longText.substr(0, 9));
}

// The text forms: UTF-8 string and buffer, UTF-16 string and buffer, and a
// text parameter.
class TextForms : public CRecordset {
public:
    explicit TextForms(CDatabase* db) : CRecordset(db)
    {
        m_nFields = 5;
        m_nParams = 1;
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "id", id);
        RFX_Text_Ntv(pFX, "tx", narrow, 255);
        RFX_Text_Ntv(pFX, "tx", buffer, 63);
        RFX_Text_Ntv(pFX, "tx", wide, 255);
        RFX_Text_Ntv(pFX, "tx", wideBuffer, 63);
        pFX->SetFieldType(CFieldExchange::inputParam);
        RFX_Text_Ntv(pFX, "p", prefix, 40);
    }
    LONG id = 0;
    std::string narrow;
    char buffer[64] = {};
    std::u16string wide;
    char16_t wideBuffer[64] = {};
    std::string prefix;
};

TEST_P(ValuesDb, TextFormsNarrowAndWideWithATextParameter)
{
    db.ExecuteSQL(("INSERT INTO t (id, tx) VALUES (1, '" + kCyrillic + " one')").c_str());
    db.ExecuteSQL("INSERT INTO t (id, tx) VALUES (2, 'plain two  ')");
    db.ExecuteSQL("INSERT INTO t (id, tx) VALUES (3, NULL)");
    TextForms rs(&db);
    rs.prefix = kCyrillic + "%";
    rs.m_strSort = "id";
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT id, tx, tx, tx, tx FROM t WHERE tx LIKE ?",
                        CRecordset::readOnly));
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.id, 1);
    const std::string expected = kCyrillic + " one";
    const std::u16string wideExpected = u"\u041F\u0440\u0438\u0432\u0435\u0442 one";
    EXPECT_EQ(rs.narrow, expected);
    EXPECT_STREQ(rs.buffer, expected.c_str());
    EXPECT_EQ(rs.wide, wideExpected);
    EXPECT_EQ(std::u16string(rs.wideBuffer), wideExpected);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());

    // All rows, NULL included, with trailing blanks cut on request.
    db.m_bStripTrailingSpaces = TRUE;
    rs.prefix = "%";
    ASSERT_TRUE(rs.Requery());
    rs.MoveNext();
    ASSERT_EQ(rs.id, 2);
    EXPECT_EQ(rs.narrow, "plain two");
    EXPECT_STREQ(rs.buffer, "plain two");
    EXPECT_EQ(rs.wide, u"plain two");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF()); // NULL is not LIKE anything
}

TEST_P(ValuesDb, BytesLongerThanTheMemberAreRefusedNotCut)
{
    class ShortBytes : public CRecordset {
    public:
        explicit ShortBytes(CDatabase* db) : CRecordset(db) { m_nFields = 1; }
        void DoFieldExchange(CFieldExchange* pFX) override
        {
            pFX->SetFieldType(CFieldExchange::outputColumn);
            RFX_Binary_Ntv(pFX, "bl", bl, 2);
        }
        std::vector<std::uint8_t> bl;
    };
    db.ExecuteSQL(engine->pg() ? "INSERT INTO t (id, bl) VALUES (1, '\\x01020304')"
                             : "INSERT INTO t (id, bl) VALUES (1, X'01020304')");
    ShortBytes rs(&db);
    // A database error, as callers of a fetch catch, naming the column.
    try {
        rs.Open(CRecordset::forwardOnly, "SELECT bl FROM t", CRecordset::readOnly);
        ADD_FAILURE() << "4 bytes read into 2";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strError, "Column bl: the value (4 bytes) is longer than the 2 bytes read for it");
    }
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_TRUE(db.GetRecordsets().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, ValuesDb, ::testing::Values("sqlite", "pg"));

} // namespace
