// The extended connection: connect-string parts, the ways to open, driver
// facts, ad-hoc statements with parameter arrays and identities, and the
// data-model check, on SQLite and PostgreSQL.
#include "databaseex.h"
#include "dialect.h"
#include "logindlg.h"
#include "messages.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace kelm::test;

namespace {

TEST(ConnectString, PartsAreFoundAndReplacedWithoutRegardToCase)
{
    struct Case {
        const char* connect;
        const char* key;
        bool found;
        const char* value;
    } cases[] = {
        {"DSN=a;UID=b", "UID=", true, "b"},
        {"DSN=a;UID=b", "APP=", false, ""},
        {"DSN=a;Uid=b;PWD=c", "UID=", true, "b"},
        {"DSN=a;XUID=z;UID=b", "UID=", true, "b"},
        {"DSN=a;PWD={x;y}};z};UID=u", "PWD=", true, "x;y};z"},
        {"", "DSN=", false, ""},
    };
    for (const Case& c : cases) {
        std::string out = "junk";
        EXPECT_EQ(GetPartOfString(c.connect, c.key, out), c.found) << c.connect << " " << c.key;
        EXPECT_EQ(out, c.value) << c.connect << " " << c.key;
    }

    struct Set {
        const char* connect;
        const char* value;
        const char* result;
    } sets[] = {
        {"DSN=x;UID=u", "y", "DSN=y;UID=u"},
        {"", "y", "DSN=y"},
        {"UID=u", "y", "UID=u;DSN=y"},
        {"dsn=x;UID=u", "y", "dsn=y;UID=u"},
        {"DSN=x", "a;b", "DSN={a;b}"},
    };
    for (const Set& s : sets) {
        std::string connect = s.connect;
        SetPartOfString(connect, "DSN=", s.value);
        EXPECT_EQ(connect, s.result);
    }

    EXPECT_EQ(HidePassword("DSN=a;PWD=secret;UID=b"), "DSN=a;UID=b");
    EXPECT_EQ(HidePassword("DSN=a;UID=b;pwd={se;cret}"), "DSN=a;UID=b");
}

struct Engine {
    explicit Engine(bool isPg) : pg(isPg)
    {
        if (pg) {
            database = std::make_unique<PgDatabase>("conn");
            connect = database->odbcConnString();
        } else {
            dir = std::make_unique<TempDir>();
            connect = SqliteConnString(*dir / "conn.db");
        }
    }
    bool pg;
    std::unique_ptr<PgDatabase> database;
    std::unique_ptr<TempDir> dir;
    std::string connect;
};

class Connection : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam()) {
            KELM_REQUIRE_PG();
        }
        engine = std::make_unique<Engine>(GetParam());
        SetOrvoMessageHandler([this](const std::string& text, long style) {
            messages.push_back(text);
            styles.push_back(style);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetOrvoMessageHandler(nullptr);
        CLoginDlg::SetPresenter(nullptr);
    }
    void Open(CDatabaseEx& db)
    {
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(engine->connect.c_str(), false, error)) << error;
    }

    std::unique_ptr<Engine> engine;
    std::vector<std::string> messages;
    std::vector<long> styles;
};

TEST_P(Connection, OpensFourWaysAndReportsFailuresAsText)
{
    CDatabaseEx first;
    Open(first);
    EXPECT_TRUE(first.IsOpen());
    std::string name, version;
    first.GetDBMSName(name, version);
    EXPECT_EQ(name, engine->pg ? "PostgreSQL" : "SQLite");
    EXPECT_FALSE(version.empty());
    first.GetDriverName(name, version);
    EXPECT_NE(name.find("(ODBC)"), std::string::npos);
    EXPECT_EQ(first.GetConnectOption(), 0u);

    // A second connection on the first one's connect string, read-only.
    CDatabaseEx second;
    ASSERT_TRUE(second.OpenDBEx(first, nullptr, CDatabase::openReadOnly));
    EXPECT_FALSE(second.CanUpdate());
    CDatabaseEx third;
    ASSERT_TRUE(third.OpenDBEx(second, nullptr, 0xFFFFFFFF));
    EXPECT_EQ(third.GetConnectOption(), second.GetConnectOption());

    // A bad connect string: FALSE and the driver's text, a message only when asked.
    CDatabaseEx bad;
    std::string error;
    EXPECT_FALSE(bad.OpenDBExStr("Driver={No Such Driver};", false, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(bad.OpenDBExStr("Driver={No Such Driver};", true, error));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(styles[0], MB_ICONEXCLAMATION);

    // The login road: a null user name always asks; Cancel opens nothing.
    std::string asked;
    CDatabaseEx viaDialog;
    CLoginDlg::SetPresenter([&](CLoginDlg& dlg) {
        asked = dlg.m_strDSN;
        return IDCANCEL;
    });
    EXPECT_FALSE(viaDialog.OpenExLogonDlg("Main", nullptr, "App", 0, nullptr, 0, false));
    EXPECT_EQ(asked, "Main");
    EXPECT_FALSE(viaDialog.IsOpen());

    // Getters on a closed connection throw; GetShortConnect gives "".
    CDatabaseEx closed;
    EXPECT_EQ(closed.GetShortConnect(), "");
    std::string dsn;
    EXPECT_THROW(closed.GetDSN(dsn), CDBException);
}

TEST_P(Connection, ParameterArraysInsertInOneExecuteWithStatuses)
{
    CDatabaseEx db;
    Open(db);
    db.ExecuteSQL(engine->pg ? "CREATE TABLE items (id SERIAL PRIMARY KEY, n INTEGER, name VARCHAR(20))"
                             : "CREATE TABLE items (id INTEGER PRIMARY KEY, n INTEGER, name VARCHAR(20))");
    std::int32_t numbers[5] = {1, 2, 3, 4, 5};
    char names[5][21] = {"one", "two", "three", "four", "five"};
    CArrayPointParam params(5);
    params.AddParam("n", numbers, SQL_INTEGER, SQL_PARAM_INPUT);
    params.AddParam("name", &names[0][0], 21, SQL_VARCHAR, SQL_PARAM_INPUT, 0);
    CODBCStringValue identity;
    db.ExecuteSQL_Ex("INSERT INTO items (n, name) VALUES (?, ?)", &params, &identity);
    EXPECT_EQ(*params.GetParamsProcessed(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(params.GetStatusArray()[i] == SQL_PARAM_SUCCESS ||
                    params.GetStatusArray()[i] == SQL_PARAM_SUCCESS_WITH_INFO);
    EXPECT_EQ(identity.m_strValue, ""); // five sets read no identity
    EXPECT_EQ(db.GetMaxRecordCount("items"), 5);

    // One set with an identity: the key of the row this statement inserted,
    // even after a trigger has inserted elsewhere.
    if (engine->pg) {
        db.ExecuteSQL("CREATE TABLE audit (id SERIAL PRIMARY KEY, note VARCHAR(10))");
        db.ExecuteSQL("INSERT INTO audit (note) VALUES ('a'), ('b'), ('c'), ('d'), ('e'), ('f'), ('g'), ('h')");
        db.ExecuteSQL("CREATE FUNCTION log_item() RETURNS trigger AS $$ BEGIN INSERT INTO audit (note) "
                      "VALUES ('x'); RETURN NEW; END $$ LANGUAGE plpgsql");
        db.ExecuteSQL("CREATE TRIGGER items_log AFTER INSERT ON items FOR EACH ROW EXECUTE FUNCTION log_item()");
    } else {
        db.ExecuteSQL("CREATE TABLE audit (id INTEGER PRIMARY KEY, note VARCHAR(10))");
        db.ExecuteSQL("INSERT INTO audit (id, note) VALUES (100, 'a')");
        db.ExecuteSQL("CREATE TRIGGER items_log AFTER INSERT ON items BEGIN INSERT INTO audit (note) VALUES ('x'); END");
    }
    std::int32_t six[1] = {6};
    CArrayPointParam one(1);
    one.AddParam("n", six, SQL_INTEGER, SQL_PARAM_INPUT);
    db.ExecuteSQL_Ex("INSERT INTO items (n) VALUES (?)", &one, &identity);
    EXPECT_EQ(identity.m_strValue, "6");

    // A parameter of SQL_DEFAULT type takes its type from the driver.
    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    std::int32_t wanted[1] = {3};
    CArrayPointParam query(1);
    query.AddParam("n", wanted, SQL_DEFAULT, SQL_PARAM_INPUT);
    ASSERT_TRUE(db.GetOneRecord("SELECT name FROM items WHERE n = ?", fields, &query, false));
    ASSERT_EQ(fields.GetSize(), 1);
    std::string text;
    fields[0]->m_value.GetData(text, -1);
    EXPECT_EQ(text, "three");
}

TEST_P(Connection, OneRowQueriesDescribeAndReadTheFirstRow)
{
    CDatabaseEx db;
    Open(db);
    db.ExecuteSQL(engine->pg ? "CREATE TABLE big (id INTEGER, body TEXT, raw BYTEA, note VARCHAR(5))"
                             : "CREATE TABLE big (id INTEGER, body TEXT, raw BLOB, note VARCHAR(5))");
    std::string body(70000, 'x');
    body += "\xD0\xAF"; // a two-byte letter at the very end
    db.ExecuteSQL(("INSERT INTO big VALUES (1, '" + body + "', NULL, NULL)").c_str());

    CDBTypedPtrArrayEx<CDBFieldValue*> fields;
    ASSERT_TRUE(db.GetOneRecord("SELECT id, body, raw, note FROM big", fields, nullptr, false));
    ASSERT_EQ(fields.GetSize(), 4);
    EXPECT_EQ(fields[0]->m_info.m_strName, "id");
    std::string text;
    fields[1]->m_value.GetData(text, -1);
    EXPECT_EQ(text, body); // read whole
    EXPECT_EQ(fields[2]->m_value.m_dwType, DWORD(DBVT_NULL));
    EXPECT_EQ(fields[3]->m_value.m_dwType, DWORD(DBVT_NULL));

    // No row: false, the descriptions stay.
    EXPECT_FALSE(db.GetOneRecord("SELECT id, note FROM big WHERE id = 2", fields, nullptr, false));
    EXPECT_EQ(fields.GetSize(), 2);
    // No result with columns: true and empty.
    EXPECT_TRUE(db.GetOneRecord("UPDATE big SET id = 1 WHERE id = 5", fields, nullptr, false));
    EXPECT_EQ(fields.GetSize(), 0);
    // A statement error passes on as a database exception.
    EXPECT_THROW(db.GetOneRecord("SELECT nope FROM big", fields, nullptr, false), CDBException);

    // Names are quoted, never pasted: a table name with a quote is just a name.
    EXPECT_EQ(db.GetMaxRecordCount("big"), 1);
    EXPECT_GE(db.GetMaxDataLengthField("big", "body"), 1);
    EXPECT_THROW(db.GetMaxRecordCount("big; DROP TABLE big; --"), CDBException);
    EXPECT_EQ(db.GetMaxRecordCount("big"), 1);
    EXPECT_EQ(db.GetTrancount(), 0);
    SYSTEMTIME now{};
    db.GetDate(now);
    EXPECT_GE(now.wYear, 2024);

    std::vector<CODBCFieldInfoEx> infos;
    std::vector<CODBCParamInfoEx> params;
    db.GetSQLFieldParamInfo("SELECT id, note FROM big WHERE id = ?", &infos, &params);
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[1].m_strName, "note");
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].m_strName, "PARAM_1");
}

TEST_P(Connection, CheckModelVerComparesWithTheVersionTable)
{
    CDatabaseEx db;
    Open(db);
    // Without the table: the driver's error as message 20203.
    EXPECT_FALSE(db.CheckModelVer("10.3.12.7"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("ODBC driver error!\r\n", 0), 0u);
    messages.clear();

    db.ExecuteSQL("CREATE TABLE xRepositoryVer (ResVer INTEGER, ResSubVer INTEGER, ModelVer INTEGER, "
                  "ModelSubVer INTEGER)");
    EXPECT_FALSE(db.CheckModelVer("10.3.12.7"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "There isn't a data model version information!");
    EXPECT_EQ(styles[0], MB_ICONSTOP);
    messages.clear();

    db.ExecuteSQL("INSERT INTO xRepositoryVer VALUES (3, 1, 12, 4)");
    EXPECT_EQ(db.GetVersion(), "3.1.12.4");
    struct Case {
        const char* version;
        bool ok;
        const char* demanded;
    } cases[] = {{"10.3.12.7", true, ""}, {"10.3.11.7", false, "3.x.11.x"}, {"10.3.12", false, "3.x.0.x"},
                 {"garbage", false, "0.x.0.x"}};
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_EQ(db.CheckModelVer(c.version), c.ok) << c.version;
        if (c.ok) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("Current data model: 3.1.12.4"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find(std::string("Demanded data model: ") + c.demanded), std::string::npos)
            << messages[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, Connection, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
