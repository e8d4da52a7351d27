// The extended connection: connect-string parts, the ways to open, driver
// facts, ad-hoc statements with parameter arrays and identities, and the
// data-model check, on SQLite and PostgreSQL.
#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/recordsettrace.h"
#include "odbc/sql/userqueries.h"

#include "profile/quillmark.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <unistd.h>
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

    EXPECT_EQ(BraceConnectValue("plain"), "plain");
    EXPECT_EQ(BraceConnectValue("a;b}c"), "{a;b}}c}");
    EXPECT_EQ(BraceConnectValue("{x}"), "{{x}}}");
    EXPECT_EQ(HidePassword("DSN=a;PWD=secret;UID=b"), "DSN=a;UID=b");
    EXPECT_EQ(HidePassword("DSN=a;UID=b;pwd={se;cret}"), "DSN=a;UID=b");
    EXPECT_EQ(HidePassword("Driver={PostgreSQL Unicode};Password=secret;UID=b"), "Driver={PostgreSQL Unicode};UID=b");
    EXPECT_EQ(HidePassword("DSN=a;PASSWORD={x;y};PWD=z"), "DSN=a");

    // A blank before a braced password: the braces still hold its ';', so
    // no part of it is left behind for the trace.
    EXPECT_EQ(HidePassword("DSN=x;PWD= {se;cret};UID=u"), "DSN=x;UID=u");
    std::string password;
    EXPECT_TRUE(GetPartOfString("DSN=x;PWD= {se;cret};UID=u", "PWD=", password));
    EXPECT_EQ(password, "se;cret");
    std::string connect = "DSN=x;PWD= {se;cret};UID=u";
    SetPartOfString(connect, "PWD=", "new");
    EXPECT_EQ(connect, "DSN=x;PWD=new;UID=u");
}

TEST(Quoting, IdentifiersAndLiteralsDoubleTheirClosingQuote)
{
    const struct {
        std::string (*quote)(const std::string&);
        const char* text;
        const char* quoted;
    } cases[] = {
        {QuoteIdentifier, "Role", "\"Role\""}, {QuoteIdentifier, "a\"b", "\"a\"\"b\""},
        {QuoteIdentifier, "", "\"\""},         {QuoteLiteral, "it's", "'it''s'"},
        {QuoteLiteral, "'", "''''"},           {QuoteLiteral, "say \"hi\"", "'say \"hi\"'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.quote(c.text), c.quoted) << c.text;
}

class Connection : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam()) {
            KELM_REQUIRE_PG();
        }
        engine = std::make_unique<EngineDatabase>(GetParam(), "conn");
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
        ASSERT_TRUE(db.OpenDBExStr(engine->connect().c_str(), false, error)) << error;
    }

    std::unique_ptr<EngineDatabase> engine;
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
    EXPECT_EQ(name, engine->pg() ? "PostgreSQL" : "SQLite");
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

// Driver information comes back at the size the driver writes it: text,
// 16-bit and 32-bit numbers; a closed connection throws.
TEST_P(Connection, DriverInformationIsReadAtItsSize)
{
    CDatabaseEx db;
    Open(db);
    EXPECT_EQ(db.SQLGetInfoString(SQL_DBMS_NAME), engine->pg() ? "PostgreSQL" : "SQLite");
    SQLUSMALLINT shortValue = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfo(db.m_hdbc, SQL_MAX_COLUMN_NAME_LEN, &shortValue, sizeof shortValue, nullptr)));
    EXPECT_EQ(db.SQLGetInfoShort(SQL_MAX_COLUMN_NAME_LEN), shortValue);
    SQLUINTEGER longValue = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfo(db.m_hdbc, SQL_GETDATA_EXTENSIONS, &longValue, sizeof longValue, nullptr)));
    EXPECT_NE(longValue, 0u);
    EXPECT_EQ(db.SQLGetInfoLong(SQL_GETDATA_EXTENSIONS), longValue);

    CDatabaseEx closed;
    EXPECT_THROW(closed.SQLGetInfoShort(SQL_MAX_COLUMN_NAME_LEN), CDBException);
    EXPECT_THROW(closed.SQLGetInfoLong(SQL_GETDATA_EXTENSIONS), CDBException);
}

TEST_P(Connection, ParameterArraysInsertInOneExecuteWithStatuses)
{
    CDatabaseEx db;
    Open(db);
    db.ExecuteSQL(engine->pg() ? "CREATE TABLE items (id SERIAL PRIMARY KEY, n INTEGER, name VARCHAR(20))"
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
    if (engine->pg()) {
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

    // Without parameters too; a table without generated keys gives none.
    db.ExecuteSQL("CREATE TABLE plain (v INTEGER)");
    CODBCStringValue key;
    db.ExecuteSQL_Ex("insert into items (n) values (7)", nullptr, &key);
    EXPECT_EQ(key.m_strValue, "7");
    if (engine->pg()) {
        CODBCStringValue none;
        db.ExecuteSQL_Ex("INSERT INTO plain VALUES (1)", nullptr, &none);
        EXPECT_EQ(none.m_strValue, "");
        db.ExecuteSQL_Ex("INSERT INTO plain SELECT 2 WHERE false", nullptr, &none);
        EXPECT_EQ(none.m_strValue, "");
    }

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

// GetIDENTITY gives the key of the table the last INSERT wrote to, not one a
// trigger drew from another table's sequence afterwards.
TEST_P(Connection, IdentityIsTheKeyOfTheTableInsertedInto)
{
    CDatabaseEx db;
    Open(db);
    if (engine->pg()) {
        db.ExecuteSQL("CREATE TABLE items (id SERIAL PRIMARY KEY, n INTEGER)");
        db.ExecuteSQL("CREATE TABLE audit (id SERIAL PRIMARY KEY, note VARCHAR(10))");
        db.ExecuteSQL("INSERT INTO audit (note) VALUES ('a'), ('b'), ('c'), ('d'), ('e'), ('f'), ('g'), ('h')");
        db.ExecuteSQL("CREATE FUNCTION log_item() RETURNS trigger AS $$ BEGIN INSERT INTO audit (note) "
                      "VALUES ('x'); RETURN NEW; END $$ LANGUAGE plpgsql");
        db.ExecuteSQL("CREATE TRIGGER items_log AFTER INSERT ON items FOR EACH ROW EXECUTE FUNCTION log_item()");
    } else {
        db.ExecuteSQL("CREATE TABLE items (id INTEGER PRIMARY KEY, n INTEGER)");
        db.ExecuteSQL("CREATE TABLE audit (id INTEGER PRIMARY KEY, note VARCHAR(10))");
        db.ExecuteSQL("INSERT INTO audit (id, note) VALUES (100, 'a')");
        db.ExecuteSQL("CREATE TRIGGER items_log AFTER INSERT ON items BEGIN INSERT INTO audit (note) VALUES ('x'); END");
    }
    std::string key;
    db.ExecuteSQL("INSERT INTO items (n) VALUES (1)");
    db.GetIDENTITY(key);
    EXPECT_EQ(key, "1");
    EXPECT_EQ(db.GetIDENTITY(), 1);

    std::int32_t two[1] = {2};
    CArrayPointParam params(1);
    params.AddParam("n", two, SQL_INTEGER, SQL_PARAM_INPUT);
    db.ExecuteSQL_Ex("INSERT INTO items (n) VALUES (?)", &params, nullptr);
    db.GetIDENTITY(key);
    EXPECT_EQ(key, "2");
    EXPECT_EQ(db.GetIDENTITY(), 2);
    EXPECT_EQ(db.GetMaxRecordCount("audit"), engine->pg() ? 10 : 3); // the trigger did run

    // A connection that inserted nothing has no key to give.
    if (engine->pg()) {
        CDatabaseEx fresh;
        Open(fresh);
        std::string none = "junk";
        fresh.GetIDENTITY(none);
        EXPECT_EQ(none, "");
        EXPECT_EQ(fresh.GetIDENTITY(), -1);
    }
}

// The key read back leaves the caller's statement as written: a trailing
// ';' or comment, or a name holding RETURNING, change nothing, and a
// statement that inserts several rows gives the last key.
TEST_P(Connection, InsertedKeyIsReadWithoutTouchingTheStatement)
{
    CDatabaseEx db;
    Open(db);
    const std::string key = engine->pg() ? "SERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
    db.ExecuteSQL(("CREATE TABLE items (id " + key + ", n INTEGER)").c_str());
    db.ExecuteSQL(("CREATE TABLE returning_log (id " + key + ", returning_note VARCHAR(10))").c_str());
    const struct {
        const char* sql;
        const char* key;
        const char* table;
        long rows;
    } cases[] = {
        {"INSERT INTO items (n) VALUES (1);", "1", "items", 1},
        {"INSERT INTO items (n) VALUES (2) -- the second", "2", "items", 2},
        {"INSERT INTO items (n) VALUES (3), (4), (5)", "5", "items", 5},
        {"INSERT INTO returning_log (returning_note) VALUES ('a')", "1", "returning_log", 1},
        {"insert into items (n) select n from items where n > 3", "7", "items", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        CODBCStringValue identity;
        ASSERT_NO_THROW(db.ExecuteSQL_Ex(c.sql, nullptr, &identity));
        EXPECT_EQ(identity.m_strValue, c.key);
        EXPECT_EQ(db.GetMaxRecordCount(c.table), c.rows);
    }
    if (!engine->pg())
        return;
    // Keys the statement gave itself: no generated key to report, no error.
    db.ExecuteSQL("CREATE TABLE given (id SERIAL PRIMARY KEY, n INTEGER)");
    CODBCStringValue identity;
    ASSERT_NO_THROW(db.ExecuteSQL_Ex("INSERT INTO given (id, n) VALUES (10, 1)", nullptr, &identity));
    EXPECT_EQ(identity.m_strValue, "");
    EXPECT_EQ(db.GetMaxRecordCount("given"), 1);
}

// Names the caller double-quoted keep their case on PostgreSQL; bare and
// bracketed names fold to lower case, as the Kelm tables are created.
TEST_P(Connection, QuotedMixedCaseNamesAreReached)
{
    CDatabaseEx db;
    Open(db);
    if (engine->pg()) {
        const struct {
            const char* name;
            const char* quoted;
        } cases[] = {
            {"\"MixedCase\"", "\"MixedCase\""},
            {"MixedCase", "\"mixedcase\""},
            {"[MixedCase]", "\"mixedcase\""},
            {"[dbo].[xRepositoryVer]", "\"public\".\"xrepositoryver\""},
            {"Public.\"MixedCase\"", "\"public\".\"MixedCase\""},
            {"\"Say \"\"Hi\"\"\"", "\"Say \"\"Hi\"\"\""},
        };
        for (const auto& c : cases)
            EXPECT_EQ(QuoteObjectName(db, c.name), c.quoted) << c.name;
    }
    const std::string key = engine->pg() ? "SERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
    db.ExecuteSQL(("CREATE TABLE \"MixedCase\" (id " + key + ", \"Body\" VARCHAR(10))").c_str());
    db.ExecuteSQL(("CREATE TABLE \"Say \"\"Hi\"\"\" (id " + key + ")").c_str());
    CODBCStringValue identity;
    db.ExecuteSQL_Ex("INSERT INTO \"MixedCase\" (\"Body\") VALUES ('abcd')", nullptr, &identity);
    EXPECT_EQ(identity.m_strValue, "1");
    EXPECT_EQ(db.GetMaxRecordCount("\"MixedCase\""), 1);
    EXPECT_EQ(db.GetMaxDataLengthField("\"MixedCase\"", "\"Body\""), 4);
    db.ExecuteSQL_Ex("INSERT INTO \"Say \"\"Hi\"\"\" DEFAULT VALUES", nullptr, &identity);
    EXPECT_EQ(identity.m_strValue, "1");
    EXPECT_EQ(db.GetMaxRecordCount("\"Say \"\"Hi\"\"\""), 1);
}

TEST_P(Connection, OneRowQueriesDescribeAndReadTheFirstRow)
{
    CDatabaseEx db;
    Open(db);
    db.ExecuteSQL(engine->pg() ? "CREATE TABLE big (id INTEGER, body TEXT, raw BYTEA, note VARCHAR(5))"
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
    // An update that touched no row does not hide the batch's later result
    // (the SQLite driver takes one statement at a time).
    if (engine->pg()) {
        ASSERT_TRUE(db.GetOneRecord("UPDATE big SET id = 1 WHERE id = 99; SELECT 42 AS answer", fields, nullptr, false));
        ASSERT_EQ(fields.GetSize(), 1);
        fields[0]->m_value.GetData(text, -1);
        EXPECT_EQ(text, "42");
    }
    // A statement error passes on as a database exception.
    EXPECT_THROW(db.GetOneRecord("SELECT nope FROM big", fields, nullptr, false), CDBException);

    // Names are quoted, never pasted: a table name with a quote is just a name.
    EXPECT_EQ(db.GetMaxRecordCount("big"), 1);
    // The bytes of the largest value, not its stored (compressed) size.
    EXPECT_EQ(db.GetMaxDataLengthField("big", "body"), 70002);
    EXPECT_EQ(GetMaxDataLengthField(&db, "big", "body"), 70002);
    db.ExecuteSQL("INSERT INTO big (id, note) VALUES (2, 'abc'), (3, 'Яя')");
    EXPECT_EQ(db.GetMaxDataLengthField("big", "note"), 4);
    EXPECT_EQ(GetMaxDataLengthField(&db, "big", "note"), 4);
    db.ExecuteSQL("DELETE FROM big WHERE id > 1");
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

    if (engine->pg()) {
        db.ExecuteSQL("CREATE FUNCTION twice(x INTEGER) RETURNS INTEGER AS 'SELECT 2 * x' LANGUAGE sql");
        db.GetSQLFieldParamInfo("{? = call twice(?)}", nullptr, &params);
        ASSERT_EQ(params.size(), 2u);
        EXPECT_EQ(params[0].m_nParamType, SQL_PARAM_OUTPUT);
    }
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

std::string UniqueName(const char* stem)
{
    static int counter = 0;
    return std::string(stem) + "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

TEST_P(Connection, UserRoleAndObjectQueriesOnTheServerOnly)
{
    CDatabaseEx db;
    Open(db);
    std::vector<std::string> out{"kept"};
    if (!engine->pg()) {
        EXPECT_FALSE(GetListUsersDB(&db, out));
        EXPECT_FALSE(GetListRolesDB(&db, out, false));
        EXPECT_FALSE(GetListRolememberDB(&db, out, "x"));
        EXPECT_FALSE(GetListOwnerNames(&db, out, eUserTable));
        std::string script = "kept";
        EXPECT_FALSE(GetUserScript(&db, eView, "v", script));
        EXPECT_EQ(out, std::vector<std::string>{"kept"});
        EXPECT_EQ(GetDBCollateName(&db), "");
        EXPECT_THROW(db.SetAppRole("r", "p"), CDBException);
        return;
    }
    std::string role = UniqueName("Kelm_Role");
    std::string member = UniqueName("kelm_user");
    std::string quoted = "\"" + role + "\"";
    PgAdminExec("CREATE ROLE " + quoted);
    PgAdminExec("CREATE ROLE " + member + " LOGIN PASSWORD 'x''y'");
    PgAdminExec("GRANT " + quoted + " TO " + member);
    PgAdminExec("GRANT CONNECT ON DATABASE " + engine->pgDatabase().name() + " TO " + member);
    struct Cleanup {
        std::string role, member;
        ~Cleanup()
        {
            try {
                PgAdminExec("DROP ROLE IF EXISTS " + member);
                PgAdminExec("DROP ROLE IF EXISTS \"" + role + "\"");
            } catch (...) {
            }
        }
    } cleanup{role, member};

    std::vector<std::string> members;
    ASSERT_TRUE(GetListRolememberDB(&db, members, role.c_str()));
    EXPECT_EQ(members, std::vector<std::string>{member});
    ASSERT_TRUE(GetListRolememberDB(&db, members, role.c_str()));
    EXPECT_EQ(members.size(), 2u); // appended, not replaced
    EXPECT_FALSE(GetListRolememberDB(&db, members, ""));
    std::vector<std::string> roles;
    ASSERT_TRUE(GetListUserRolesDB(&db, roles, member.c_str(), false));
    EXPECT_EQ(roles, std::vector<std::string>{role});
    // A name that would break out of a quoted literal is only a name.
    std::vector<std::string> none;
    EXPECT_TRUE(GetListUserRolesDB(&db, none, "x') OR ('1'='1", false));
    EXPECT_TRUE(none.empty());
    std::vector<std::string> all;
    ASSERT_TRUE(GetListRolesDB(&db, all, false));
    EXPECT_NE(std::find(all.begin(), all.end(), role), all.end());
    std::vector<std::string> app;
    EXPECT_TRUE(GetListRolesDB(&db, app, true));
    EXPECT_TRUE(app.empty());
    std::vector<std::string> users;
    ASSERT_TRUE(GetListUsersDB(&db, users));
    EXPECT_NE(std::find(users.begin(), users.end(), member), users.end());
    EXPECT_FALSE(GetListOwnerNames(&db, users, static_cast<eObjectDBType>(9)));

    db.ExecuteSQL("CREATE TABLE T (c VARCHAR(10))");
    db.ExecuteSQL("CREATE VIEW v AS SELECT c FROM t");
    db.ExecuteSQL("CREATE FUNCTION twice(x INTEGER) RETURNS INTEGER AS 'SELECT 2 * x' LANGUAGE sql");
    std::vector<std::string> owners;
    ASSERT_TRUE(GetListOwnerNames(&db, owners, eUserTable));
    EXPECT_NE(std::find(owners.begin(), owners.end(), "public"), owners.end());
    std::string script = "unchanged";
    EXPECT_TRUE(GetUserScript(&db, eUserTable, "dbo.T", script));
    EXPECT_EQ(script, "unchanged");
    EXPECT_TRUE(GetUserScript(&db, eView, "v", script));
    EXPECT_NE(script.find("FROM t"), std::string::npos) << script;
    EXPECT_TRUE(GetUserScript(&db, eScalarFunction, "twice", script));
    EXPECT_NE(script.find("2 * x"), std::string::npos) << script;
    EXPECT_EQ(GetMaxDataLengthField(&db, "T", "C"), -1);
    EXPECT_EQ(db.GetMaxDataLengthField("T", "C"), 0);
    EXPECT_EQ(GetMaxRecordCount(&db, "dbo.T"), 0);
    EXPECT_FALSE(GetDBCollateName(&db).empty());
    EXPECT_FALSE(GetServerCollateName(&db).empty());

    // The application role: set once, the same name again does nothing,
    // another one is refused.
    PgAdminExec("GRANT " + quoted + " TO " + PgUser());
    db.SetAppRole(role.c_str(), "secret");
    EXPECT_TRUE(db.IsSetRole());
    EXPECT_EQ(db.GetCurrentuser(), role);
    std::string command;
    EXPECT_TRUE(db.GetRoleCMD(command));
    EXPECT_EQ(command, "SET ROLE " + quoted);
    std::string lower = role;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    db.SetAppRole(lower.c_str(), "other");
    try {
        db.SetAppRole("another", "x");
        ADD_FAILURE() << "a second role was set";
    } catch (CDBException& e) {
        EXPECT_EQ(e.m_strError, "Переустановка уже установленной роли.");
    }
    CDatabaseEx second;
    Open(second);
    second.CopyAppRole(&db);
    EXPECT_EQ(second.GetCurrentuser(), role);
}

TEST_P(Connection, DriverManagerTraceKeepsItsFileAndNeverSeesAPassword)
{
    TempDir dir;
    std::string trace = (dir / "dm.log").string();
    CDatabaseEx::SetTraceFile(trace.c_str());
    std::string current;
    CDatabaseEx::GetTraceFile(current);
    EXPECT_EQ(current, trace);
    if (!engine->pg())
        return;
    std::string member = UniqueName("kelm_pw");
    PgAdminExec("CREATE ROLE " + member + " LOGIN PASSWORD 'Sekrit42'");
    PgAdminExec("GRANT CONNECT ON DATABASE " + engine->pgDatabase().name() + " TO " + member);
    struct Cleanup {
        std::string member;
        ~Cleanup()
        {
            try {
                PgAdminExec("DROP ROLE IF EXISTS " + member);
            } catch (...) {
            }
        }
    } cleanup{member};
    const std::string base = "Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + PgPort() +
                             ";Database=" + engine->pgDatabase().name() + ";UID=" + member + ";";
    // Every key a driver takes a password under, in any case.
    std::unique_ptr<CDatabaseEx> db;
    for (const char* password : {"PWD=Sekrit42;", "Password=Sekrit42;", "password={Sekrit42}", "pwd=Sekrit42"}) {
        SCOPED_TRACE(password);
        std::string connect = base + password;
        CDatabaseEx probe;
        bool before = probe.SetTrace(true, true);
        db = std::make_unique<CDatabaseEx>();
        std::string error;
        bool opened = db->OpenDBExStr(connect.c_str(), false, error);
        probe.SetTrace(before, true);
        ASSERT_TRUE(opened) << error;
        EXPECT_FALSE(probe.IsTraceOn(true)) << "the trace is left as it was";
        std::string pwd;
        db->GetPassword(pwd);
        EXPECT_EQ(pwd, "Sekrit42");
        std::string text = std::filesystem::exists(trace) ? readFile(trace) : std::string();
        EXPECT_EQ(text.find("Sekrit42"), std::string::npos);
        EXPECT_NE(text.find("[ODBC]"), std::string::npos); // the trace was on and written
    }

    // The list of recordsets writes the connect string without the password.
    db->TraceRecordSets((dir / "list.trr").string().c_str(), nullptr);
    std::string list = readFile(dir / "list.trr");
    EXPECT_EQ(list.find("Sekrit42"), std::string::npos);
    EXPECT_NE(list.find("UID=" + member), std::string::npos) << list;
}

INSTANTIATE_TEST_SUITE_P(Engines, Connection, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
