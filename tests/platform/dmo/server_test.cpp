#include "dmo/address.h"
#include "dmo/dmo.h"

#include "tests/common/testsupport.h"
#include "winapi/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace dmo;
using kelm::test::PgDatabase;

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::shared_ptr<SQLServer> connect()
{
    auto server = SQLServer::Create();
    server->SetLoginSecure(true);
    server->Connect(kelm::test::PgHost() + "\\" + kelm::test::PgPort(), "", "");
    return server;
}

} // namespace

TEST(ServerName, Grammar)
{
    std::string pgHost = env("PGHOST");
    int pgPort = env("PGPORT").empty() ? 5432 : std::atoi(env("PGPORT").c_str());
    std::string localSocket = pgHost.rfind('/', 0) == 0 ? pgHost : "";
    std::string me = winapi::GetComputerName();
    struct Case {
        std::string text;
        std::string host;
        int port;
        bool local;
    } cases[] = {
        {"", localSocket, pgPort, true},
        {"(local)", localSocket, pgPort, true},
        {"(LOCAL)\\5433", localSocket, 5433, true},
        {".", localSocket, pgPort, true},
        {me, localSocket, pgPort, true},
        {"/run/sockets", "/run/sockets", pgPort, true},
        {"/run/sockets,6000", "/run/sockets", 6000, true},
        {"db.example.org", "db.example.org", pgPort, false},
        {"db.example.org:6543", "db.example.org", 6543, false},
        {"10.0.0.7\\7000", "10.0.0.7", 7000, false},
    };
    for (const auto& c : cases) {
        ServerAddress a = ParseServerName(c.text);
        EXPECT_EQ(a.host, c.host) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
        EXPECT_EQ(a.local, c.local) << c.text;
    }
    for (std::string bad : {"host\\SQLEXPRESS", "host:", "host:99999"}) {
        try {
            ParseServerName(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult, kErrNotSupported) << bad;
        }
    }
}

TEST(Server, ConnectsAndReportsItself)
{
    KELM_REQUIRE_PG();
    auto never = SQLServer::Create();
    EXPECT_FALSE(never->VerifyConnection(6));
    EXPECT_THROW(never->VersionMajor(), Error);
    EXPECT_EQ(never->GetLoginTimeout(), 30);

    auto server = connect();
    EXPECT_EQ(server->VersionMajor(), 15);
    EXPECT_GE(server->VersionMinor(), 0);
    EXPECT_EQ(server->VersionString().rfind("PostgreSQL 15", 0), 0u);
    EXPECT_EQ(server->TrueLogin(), kelm::test::PgUser());
    EXPECT_TRUE(server->IsSysAdmin());
    EXPECT_EQ(server->NetName(), winapi::GetComputerName());
    EXPECT_EQ(server->InstanceName(), kelm::test::PgPort() == "5432" ? "" : kelm::test::PgPort());
    EXPECT_FALSE(server->RootDirectory().empty());
    EXPECT_THROW(server->VerifyConnection(1), Error);

    // NetName and InstanceName lead back to the same server.
    auto again = SQLServer::Create();
    again->SetLoginSecure(true);
    std::string instance = server->InstanceName();
    again->Connect(server->NetName() + (instance.empty() ? "" : "\\" + instance), "", "");
    EXPECT_EQ(again->ExecuteWithResults("SELECT current_setting('data_directory')")->GetColumnString(1, 1),
              server->ExecuteWithResults("SELECT current_setting('data_directory')")->GetColumnString(1, 1));
    // The address for programs the server starts names the socket folder
    // itself, which their environment does not know.
    EXPECT_EQ(server->ConnectionAddress(), kelm::test::PgHost() + "\\" + kelm::test::PgPort());
}

TEST(Server, ConnectFailures)
{
    KELM_REQUIRE_PG();
    auto server = SQLServer::Create();
    server->SetLoginSecure(false);
    server->SetLoginTimeout(5);
    try {
        server->Connect("127.0.0.1:" + kelm::test::PgPort(), "no_such_login_here", "wrong");
        FAIL() << "connected";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrConnection);
        EXPECT_NE(e.description.find("no_such_login_here"), std::string::npos) << e.description;
    }
    EXPECT_FALSE(server->IsConnected());
    EXPECT_FALSE(server->VerifyConnection(6));
    EXPECT_THROW(server->GetDatabases(), Error);
}

TEST(Server, DatabasesByNameAndPosition)
{
    KELM_REQUIRE_PG();
    PgDatabase db("dmo_items");
    auto server = connect();
    auto databases = server->GetDatabases();
    int count = databases->Count();
    ASSERT_GE(count, 2);
    bool seen = false;
    for (int i = 1; i <= count; ++i)
        seen = seen || databases->Item(i)->Name() == db.name();
    EXPECT_TRUE(seen);
    EXPECT_THROW(databases->Item(0), Error);
    EXPECT_THROW(databases->Item(count + 1), Error);

    auto exact = databases->Item(db.name());
    std::string upper = db.name();
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(databases->Item(upper), exact); // one object per database
    try {
        databases->Item("no_such_database_" + db.name());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrNotFound);
    }

    // A name that matches two databases only without case is ambiguous.
    PgDatabase other("dmo_items");
    std::string mixed = other.name();
    mixed[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(mixed[0])));
    kelm::test::PgAdminExec("CREATE DATABASE \"" + mixed + "\"");
    databases->Refresh();
    EXPECT_EQ(databases->Item(mixed)->Name(), mixed);
    std::string allUpper = mixed;
    for (auto& c : allUpper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_THROW(databases->Item(allUpper), Error);
    server->DisConnect();
    kelm::test::PgAdminExec("DROP DATABASE \"" + mixed + "\"");

    // Objects handed out before a refresh stay usable.
    auto reconnected = connect();
    auto kept = reconnected->GetDatabases()->Item(db.name());
    reconnected->GetDatabases()->Refresh();
    kept->ExecuteImmediate("SELECT 1");
}

TEST(Server, StatementsAndTheirErrors)
{
    KELM_REQUIRE_PG();
    PgDatabase db("dmo_exec");
    auto server = connect();
    auto database = server->GetDatabases()->Item(db.name());
    database->ExecuteImmediate("CREATE TABLE t (id int PRIMARY KEY, name text, data bytea, ok boolean, n numeric)");
    database->ExecuteImmediate("INSERT INTO t VALUES (1, 'один', '\\x00ff10', true, 12.000), "
                               "(2, NULL, NULL, false, 3000000000)", 16);

    struct Case {
        std::string sql;
        std::string sqlstate;
        std::int32_t hresult;
    } failures[] = {
        {"INSERT INTO t VALUES (1, 'again')", "23505", kErrStatement},
        {"SELECT * FROM missing_table", "42P01", kErrStatement},
        {"SELEC 1", "42601", kErrStatement},
        {"CREATE TABLE x (a int); SELECT 1/0", "22012", kErrStatement},
    };
    for (const auto& f : failures) {
        try {
            database->ExecuteImmediate(f.sql);
            ADD_FAILURE() << f.sql;
        } catch (const Error& e) {
            EXPECT_EQ(e.sqlstate, f.sqlstate) << f.sql;
            EXPECT_EQ(e.hresult, f.hresult) << f.sql;
            EXPECT_EQ(e.source, "PostgreSQL");
            EXPECT_EQ(e.description.rfind("[SQLSTATE " + f.sqlstate + "] ", 0), 0u) << e.description;
        }
    }
    EXPECT_THROW(database->ExecuteImmediate("SELECT 1", 2), Error);
    // The batch of several statements was one transaction: x is not there.
    auto rs = database->ExecuteWithResults("SELECT count(*) FROM pg_tables WHERE tablename = 'x'");
    EXPECT_EQ(rs->GetColumnLong(1, 1), 0);

    // A failure inside an open transaction is rolled back; the next batch starts clean.
    database->ExecuteImmediate("BEGIN; INSERT INTO t VALUES (3, 'three')");
    EXPECT_THROW(database->ExecuteImmediate("INSERT INTO t VALUES (3, 'dup')"), Error);
    database->ExecuteImmediate("INSERT INTO t VALUES (4, 'four')");
    EXPECT_EQ(database->ExecuteWithResults("SELECT count(*) FROM t")->GetColumnLong(1, 1), 3);
}

TEST(Server, QueryResults)
{
    KELM_REQUIRE_PG();
    PgDatabase db("dmo_results");
    auto server = connect();
    auto database = server->GetDatabases()->Item(db.name());
    auto rs = database->ExecuteWithResults(
        "CREATE TABLE t (a int); SELECT 1 WHERE false; "
        "SELECT 7::int2, 8::int8, '9'::text, 12.000::numeric, true, NULL::int, '\\x00ff10'::bytea, 'один'::text, "
        "3000000000::int8, 1.5::numeric, 'x'::text, '2024-02-03'::date");
    ASSERT_EQ(rs->ResultSets(), 2);
    EXPECT_EQ(rs->GetCurrentResultSet(), 1);
    EXPECT_EQ(rs->Rows(), 0);
    EXPECT_EQ(rs->Columns(), 1);
    rs->SetCurrentResultSet(2);
    ASSERT_EQ(rs->Rows(), 1);
    ASSERT_EQ(rs->Columns(), 12);
    struct Long {
        int column;
        std::int32_t value;
    } longs[] = {{1, 7}, {2, 8}, {3, 9}, {4, 12}, {5, 1}, {6, 0}};
    for (const auto& l : longs)
        EXPECT_EQ(rs->GetColumnLong(1, l.column), l.value) << l.column;
    for (int column : {9, 10, 11})
        EXPECT_THROW(rs->GetColumnLong(1, column), Error) << column;
    EXPECT_EQ(rs->GetColumnBinary(1, 7), (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
    EXPECT_EQ(rs->GetColumnBinaryLength(1, 7), 3);
    EXPECT_EQ(rs->GetColumnBinaryLength(1, 6), 0);
    EXPECT_EQ(rs->GetColumnString(1, 8), "один");
    EXPECT_EQ(rs->GetColumnString(1, 6), "");
    EXPECT_EQ(rs->GetColumnString(1, 12), "2024-02-03");
    EXPECT_THROW(rs->GetColumnString(2, 1), Error);
    EXPECT_THROW(rs->GetColumnString(1, 13), Error);
    EXPECT_THROW(rs->SetCurrentResultSet(3), Error);

    auto none = database->ExecuteWithResults("CREATE TABLE u (a int)");
    EXPECT_EQ(none->ResultSets(), 0);
    none->SetCurrentResultSet(0);
    EXPECT_EQ(none->Rows(), 0);
    EXPECT_EQ(none->Columns(), 0);
}

// A check right after another costs no statement, yet a session that the
// server ended meanwhile is still seen and replaced, on the server's own
// connection and on a database's.
TEST(Server, AQuickSecondCheckStillSeesAnEndedSession)
{
    KELM_REQUIRE_PG();
    PgDatabase db("dmo_quick");
    auto server = connect();
    server->SetApplicationName("dmo_quick_" + db.name());
    server->Connect(kelm::test::PgHost() + "\\" + kelm::test::PgPort(), "", "");
    auto database = server->GetDatabases()->Item(db.name());
    auto pids = [&] {
        return server->ExecuteWithResults("SELECT pg_backend_pid()")->GetColumnString(1, 1) + " " +
               database->ExecuteWithResults("SELECT pg_backend_pid()")->GetColumnString(1, 1);
    };
    std::string before = pids();
    ASSERT_TRUE(server->VerifyConnection(6));
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE application_name = '" +
                            server->GetApplicationName() + "'");
    EXPECT_TRUE(server->VerifyConnection(6));
    std::string after = pids();
    EXPECT_NE(after.substr(0, after.find(' ')), before.substr(0, before.find(' ')));
    EXPECT_NE(after.substr(after.find(' ')), before.substr(before.find(' ')));
}

TEST(Server, VerifyConnectionReconnectsAfterTheBackendIsGone)
{
    KELM_REQUIRE_PG();
    PgDatabase db("dmo_verify");
    auto server = connect();
    server->SetApplicationName("dmo_verify_" + db.name());
    server->Connect(kelm::test::PgHost() + "\\" + kelm::test::PgPort(), "", "");
    auto database = server->GetDatabases()->Item(db.name());
    database->ExecuteImmediate("CREATE TABLE t (a int)");
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                            server->GetApplicationName() + "'");
    EXPECT_TRUE(server->VerifyConnection(6));
    database->ExecuteImmediate("INSERT INTO t VALUES (1)");
    EXPECT_EQ(server->ExecuteWithResults("SELECT 1")->GetColumnLong(1, 1), 1);

    // A statement on a connection that died meanwhile is a connection error.
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                            server->GetApplicationName() + "'");
    try {
        database->ExecuteImmediate("INSERT INTO t VALUES (2)");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrConnection) << e.description;
    }
    EXPECT_TRUE(server->VerifyConnection(6));
    database->ExecuteImmediate("INSERT INTO t VALUES (3)");
    server->DisConnect();
    EXPECT_FALSE(server->VerifyConnection(6));
}
