#include "installer/commands/commander.h"
#include "installer/common/logfile.h"
#include "installer/packed/packwriter.h"
#include "dmo/address.h"
#include "dmo/dmo.h"
#include "dmo/restore.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

using namespace dorvik;
using kelm::test::PgDatabase;

namespace {

std::shared_ptr<dmo::SQLServer> connectTrusted()
{
    auto server = dmo::SQLServer::Create();
    server->SetLoginSecure(true);
    server->SetApplicationName("Dorvik");
    server->Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "");
    return server;
}

struct Lines : IProgress {
    std::vector<std::string> texts;
    std::function<void(int)> afterBatch; // with the count of batches run
    int steps = 0;
    void SetLineText(int, const std::string& text) override { texts.push_back(text); }
    void SetRange(int, int) override {}
    void SetPos(int, int) override {}
    void StepIt(int) override
    {
        if (afterBatch)
            afterBatch(++steps);
    }
    void ShowThirdLine(bool) override {}
};

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<PgDatabase>("script");
        server = connectTrusted();
    }
    std::string run(const std::string& command, const std::string& file)
    {
        return command + "(" + db->name() + ", " + file + ")";
    }

    kelm::test::TempDir dir;
    std::unique_ptr<PgDatabase> db;
    std::shared_ptr<dmo::SQLServer> server;
    Lines progress;
    RunContext context;
    CCommander commander{context, &progress};
};

} // namespace

TEST_F(ScriptTest, ScriptRunsItsBatchesAndRScriptReturnsItsValues)
{
    auto script = dir.write("create.sql", "CREATE TABLE t (a int);\r\nGO\r\nINSERT INTO t VALUES (1);\r\n"
                                          "GO\r\nINSERT INTO t VALUES (2);\r\nINSERT INTO t VALUES (3);\r\nGO");
    ASSERT_TRUE(commander.Execute(server.get(), run("Script", script.string()))) << commander.GetDetailText();
    EXPECT_EQ(progress.texts, (std::vector<std::string>{"Command 0", "Command 1", "Command 2"}));
    EXPECT_EQ(commander.GetProtocol().m_strText, "");
    EXPECT_FALSE(commander.GetScriptReturn().m_bSuppressMessage);

    auto check = dir.write("check.sql", "SELECT 0, 0\r\nGO\r\nSELECT 1, 2;\r\nSELECT 1001, sum(a)::int FROM t\r\n");
    EXPECT_FALSE(commander.Execute(server.get(), "rscript(" + db->name() + ", " + check.string() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 5);
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 1001 , 6");
    EXPECT_NE(commander.GetProtocol().m_strText.find("SELECT 1001, sum(a)::int FROM t"), std::string::npos);

    // A last set that is not one row of two columns leaves the values unset.
    auto none = dir.write("none.sql", "SELECT a FROM t");
    commander.Execute(server.get(), run("RScript", none.string()));
    EXPECT_EQ(commander.GetResultCode(), 11);
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 1000 , -1");
}

TEST_F(ScriptTest, ScriptsWithoutBatches)
{
    auto empty = dir.write("empty.sql", "\r\n  \r\nGO\r\n\t\r\nGO\r\n");
    EXPECT_TRUE(commander.Execute(server.get(), run("Script", empty.string())));
    EXPECT_TRUE(commander.Execute(server.get(), run("RScript", empty.string())));
    EXPECT_EQ(commander.GetResultCode(), 0);
}

TEST_F(ScriptTest, AFailingBatchStaysInTheProtocol)
{
    auto script = dir.write("bad.sql", "CREATE TABLE kept (a int)\r\nGO\r\nINSERT INTO missing VALUES (1)\r\nGO\r\n"
                                       "CREATE TABLE never (a int)\r\n");
    EXPECT_FALSE(commander.Execute(server.get(), run("Script", script.string())));
    EXPECT_EQ(commander.GetResultCode(), 15);
    const std::string& detail = commander.GetDetailText();
    EXPECT_EQ(detail.rfind("HRESULT : -2147220991\r\nMESSAGE : IDispatch error #1\r\n"
                           "DESCRIPTION : [SQLSTATE 42P01] relation \"missing\" does not exist",
                           0),
              0u)
        << detail;
    EXPECT_NE(commander.GetProtocol().m_strText.find("INSERT INTO missing"), std::string::npos);
    EXPECT_TRUE(commander.GetScriptReturn().m_bSuppressMessage);

    auto probe = dir.write("probe.sql", "SELECT 0, (SELECT count(*) FROM pg_tables WHERE tablename IN ('kept', 'never'))::int");
    commander.Execute(server.get(), run("RScript", probe.string()));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 0 , 1");

    // A database the server does not know.
    EXPECT_FALSE(commander.Execute(server.get(), "Script(no_such_database_here, " + probe.string() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetDetailText().find("IDispatch error #3"), std::string::npos);
}

TEST_F(ScriptTest, SubstitutionOnlyWithFlagOne)
{
    commander.SetSubstitution([](const std::string& text) {
        std::string out = text;
        for (auto at = out.find("%TABLE%"); at != std::string::npos; at = out.find("%TABLE%"))
            out.replace(at, 7, "subst");
        return out;
    });
    auto script = dir.write("s.sql", "CREATE TABLE %TABLE% (a int)");
    EXPECT_FALSE(commander.Execute(server.get(), "Script(" + db->name() + ", " + script.string() + ", 2)"));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_TRUE(commander.Execute(server.get(), "Script(" + db->name() + ", " + script.string() + ", 1)"))
        << commander.GetDetailText();
}

TEST_F(ScriptTest, PackedEntriesComeFirst)
{
    CPackedFileWriter writer(true);
    writer.AddEntry("ddl\\Values.sql", {'S', 'E', 'L', 'E', 'C', 'T', ' ', '1', '0', '0', '2', ',', ' ', '7'});
    writer.AddEntry("empty.sql", {});
    auto pak = (dir / "patch.pak").string();
    writer.Write(pak);
    ASSERT_TRUE(commander.OpenPackedFile(pak));

    commander.Execute(server.get(), run("RScript", "DDL\\VALUES.SQL"));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 1002 , 7");
    EXPECT_TRUE(commander.Execute(server.get(), run("RScript", "Empty.sql")));
    // Not in the packed file: read from disk.
    auto onDisk = dir.write("disk.sql", "SELECT 1003, 1");
    commander.Execute(server.get(), run("RScript", onDisk.string()));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 1003 , 1");

    commander.OpenPackedFile("");
    EXPECT_FALSE(commander.IsPackedFileOpen());
    EXPECT_FALSE(commander.Execute(server.get(), run("RScript", "ddl\\Values.sql")));
    EXPECT_EQ(commander.GetResultCode(), 6);
}

TEST_F(ScriptTest, ADeadConnectionGivesEight)
{
    static std::atomic<int> counter{0};
    std::string role = "dorvik_dead_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    kelm::test::PgAdminExec("CREATE ROLE " + role + " SUPERUSER LOGIN PASSWORD 'pw'");
    {
        auto tcp = dmo::SQLServer::Create();
        tcp->SetLoginSecure(false);
        tcp->Connect("127.0.0.1:" + kelm::test::PgPort(), role, "pw");
        // The first batch cuts the layer's server connection and bars the
        // login, so the check before the second batch cannot reconnect. It
        // waits for the backend to be gone, as a crash would have it.
        auto script = dir.write("dead.sql", "ALTER ROLE " + role + " NOLOGIN;\r\n"
                                "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE usename = '" + role +
                                "' AND pid <> pg_backend_pid();\r\nGO\r\nCREATE TABLE not_reached (a int)\r\n");
        EXPECT_FALSE(commander.Execute(tcp.get(), run("Script", script.string())));
        EXPECT_EQ(commander.GetResultCode(), 8);
        EXPECT_STREQ(commander.GetResultText(), "Dead connect...");
        EXPECT_FALSE(tcp->VerifyConnection(6));
        tcp->DisConnect();
    }
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '" + role + "'");
    kelm::test::PgAdminExec("DROP ROLE " + role);
}

TEST(LogWithServer, VersionAndLoginLines)
{
    KELM_REQUIRE_PG();
    kelm::test::TempDir documents;
    kelm::test::ScopedEnv env;
    env.set("XDG_DOCUMENTS_DIR", documents.path().string());
    auto server = connectTrusted();
    {
        CLogFile log;
        ASSERT_TRUE(log.Open());
        log.WriteSQLServerVersion(server.get());
        log.WriteLogin(server.get(), "(local)", "ignored for trusted", true);
        log.WriteLogin(server.get(), "db.example.org", "sa", false);
        log.Close();
        std::string expected = "VER_SQLSERVER =PRODUCT : 15." + std::to_string(server->VersionMinor()) + "\r\n" +
                               "VER_SQLSERVER_STRING=" + server->VersionString() + "\r\n" +
                               "SERVER=(local) NETNAME : " + server->NetName() + "\r\n" +
                               "USER=" + kelm::test::PgUser() + "\r\nTRUSTED=1\r\n" +
                               "SERVER=db.example.org\r\nUSER=sa\r\nTRUSTED=0\r\n";
        EXPECT_EQ(kelm::test::readFile(log.GetPath()), expected);
    }
}

namespace {

// The server's sessions of one application name, as a crash or a restart
// of the server would end them; `database` narrows them to one database.
void endSessions(const std::string& application, const std::string& database = {})
{
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE application_name = '" +
                            application + "'" + (database.empty() ? "" : " AND datname = '" + database + "'"));
}

class LostConnectionTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        static std::atomic<int> counter{0};
        application = "dorvik_lost_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        server = dmo::SQLServer::Create();
        server->SetLoginSecure(true);
        server->SetApplicationName(application);
        server->Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "");
    }
    // 0 or 1: how many of the named tables the database holds.
    std::string tablesPresent(const std::string& names)
    {
        auto probe = dir.write("probe.sql", "SELECT 0, (SELECT count(*) FROM pg_tables WHERE tablename IN (" + names +
                                                "))::int");
        commander.Execute(server.get(), run("RScript", probe.string()));
        return commander.GetDetailText();
    }
    std::string application;
};

} // namespace

TEST_F(LostConnectionTest, ATransactionLostWithItsConnectionFailsTheScript)
{
    auto script = dir.write("tx.sql", "BEGIN;\r\nCREATE TABLE in_tx (a int);\r\nGO\r\nCREATE TABLE after_tx (a int);\r\n"
                                      "COMMIT;\r\n");
    progress.afterBatch = [&](int batches) {
        if (batches == 1)
            endSessions(application, db->name());
    };
    EXPECT_FALSE(commander.Execute(server.get(), run("Script", script.string())));
    EXPECT_EQ(commander.GetResultCode(), 8);
    progress.afterBatch = nullptr;
    EXPECT_EQ(tablesPresent("'in_tx', 'after_tx'"), "RS_VALUES : 0 , 0");
}

TEST_F(LostConnectionTest, AStepAfterTheServerCameBackReconnects)
{
    auto first = dir.write("first.sql", "CREATE TABLE first_step (a int)");
    ASSERT_TRUE(commander.Execute(server.get(), run("Script", first.string()))) << commander.GetDetailText();
    endSessions(application);
    auto second = dir.write("second.sql", "CREATE TABLE second_step (a int)");
    EXPECT_TRUE(commander.Execute(server.get(), run("Script", second.string()))) << commander.GetDetailText();
    EXPECT_EQ(tablesPresent("'first_step', 'second_step'"), "RS_VALUES : 0 , 2");
}

TEST_F(LostConnectionTest, AConnectionThatCannotBeResetGivesEight)
{
    auto script = dir.write("two.sql", "CREATE TABLE one (a int)\r\nGO\r\nCREATE TABLE two (a int)\r\n");
    progress.afterBatch = [&](int batches) {
        if (batches != 1)
            return;
        kelm::test::PgAdminExec("ALTER DATABASE " + db->name() + " WITH ALLOW_CONNECTIONS false");
        endSessions(application, db->name());
    };
    EXPECT_FALSE(commander.Execute(server.get(), run("Script", script.string())));
    EXPECT_EQ(commander.GetResultCode(), 8) << commander.GetDetailText();
    progress.afterBatch = nullptr;
    kelm::test::PgAdminExec("ALTER DATABASE " + db->name() + " WITH ALLOW_CONNECTIONS true");
    EXPECT_EQ(tablesPresent("'one', 'two'"), "RS_VALUES : 0 , 1");
}

TEST_F(ScriptTest, AByteOrderMarkIsNotSentToTheServer)
{
    const std::string bom = "\xEF\xBB\xBF";
    auto script = dir.write("bom.sql", bom + "CREATE TABLE from_disk (a int)\r\nGO\r\n");
    EXPECT_TRUE(commander.Execute(server.get(), run("Script", script.string()))) << commander.GetDetailText();

    CPackedFileWriter writer(true);
    std::string entry = bom + "SELECT 1002, 8";
    writer.AddEntry("bom.sql", std::vector<std::uint8_t>(entry.begin(), entry.end()));
    auto pak = (dir / "bom.pak").string();
    writer.Write(pak);
    ASSERT_TRUE(commander.OpenPackedFile(pak));
    commander.Execute(server.get(), run("RScript", "bom.sql"));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 1002 , 8");
}

// What the server says beside the results goes into the step's protocol
// under the server's word for it, after the failing batch when there is
// one. Nothing reaches the program's stderr.
TEST_F(ScriptTest, TheServersNoticesGoToTheProtocol)
{
    auto notices = dir.write("notices.sql", "DROP TABLE IF EXISTS no_such_table\r\nGO\r\n"
                                            "DO $$BEGIN RAISE WARNING 'look here'; END$$\r\n");
    auto failing = dir.write("failing.sql", "DROP TABLE IF EXISTS no_such_table;\r\nSELECT no_such_column\r\n");
    std::fflush(stderr);
    int saved = ::dup(2);
    auto errFile = dir.path() / "stderr.txt";
    int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    bool ok = commander.Execute(server.get(), run("Script", notices.string()));
    std::string text = commander.GetProtocol().m_strText;
    int warnings = commander.GetProtocol().m_nWarnings;
    commander.Execute(server.get(), run("Script", failing.string()));
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(err);
    EXPECT_TRUE(ok) << commander.GetDetailText();
    EXPECT_EQ(text, "\t1 NOTICE : table \"no_such_table\" does not exist, skipping\r\n\t2 WARNING : look here\r\n");
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_EQ(commander.GetProtocol().m_strText,
              "\r\n" + std::string(70, '/') + "\r\nDROP TABLE IF EXISTS no_such_table;\r\nSELECT no_such_column\r\n\r\n" +
                  std::string(70, '/') + "\r\n\t1 NOTICE : table \"no_such_table\" does not exist, skipping\r\n");
    EXPECT_EQ(kelm::test::readFile(errFile), "");
}

TEST_F(ScriptTest, ABatchIsOneTransaction)
{
    // All of a batch or nothing of it; so statements that refuse to run in
    // a transaction block run only alone in their batch.
    auto alone = dir.write("alone.sql", "CREATE TABLE kept (a int)\r\nGO\r\nVACUUM kept\r\n");
    EXPECT_TRUE(commander.Execute(server.get(), run("Script", alone.string()))) << commander.GetDetailText();
    auto together = dir.write("together.sql", "CREATE TABLE not_kept (a int);\r\nVACUUM kept;\r\n");
    EXPECT_FALSE(commander.Execute(server.get(), run("Script", together.string())));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetDetailText().find("[SQLSTATE 25001]"), std::string::npos) << commander.GetDetailText();
    auto probe = dir.write("probe.sql", "SELECT 0, (SELECT count(*) FROM pg_tables WHERE tablename = 'not_kept')::int");
    commander.Execute(server.get(), run("RScript", probe.string()));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 0 , 0");

    // A transaction that a step leaves open ends with the step, undone; the
    // next step on the database does not run inside it.
    auto open = dir.write("open.sql", "BEGIN;\r\nCREATE TABLE not_kept (a int);\r\n");
    EXPECT_TRUE(commander.Execute(server.get(), run("Script", open.string()))) << commander.GetDetailText();
    commander.Execute(server.get(), run("RScript", probe.string()));
    EXPECT_EQ(commander.GetDetailText(), "RS_VALUES : 0 , 0");
}

// Every kind of failure of the server layer, and the lines the protocol and
// the message box show for it.
TEST_F(ScriptTest, LayerFailuresCarryTheirCategoryIntoTheMessageLines)
{
    auto database = server->GetDatabases()->Item(db->name());
    auto damaged = dir.write("damaged.dump", "PGDMP\x01\x0e\x00garbage that is no archive");
    auto restore = [](const std::string& file) {
        return [file](dmo::SQLServer& s) {
            auto r = dmo::Restore::Create();
            r->Files = file;
            r->ReadFileList(s);
        };
    };
    struct Case {
        const char* what;
        std::function<void(dmo::SQLServer&)> call;
        std::int32_t hresult;
        int number; // of "IDispatch error #n"
        const char* source;
        const char* sqlstate;
        const char* description; // what the description starts with or holds
    } cases[] = {
        {"a statement the server refuses",
         [&](dmo::SQLServer&) { database->ExecuteImmediate("SELECT * FROM missing_table"); }, dmo::kErrStatement,
         1, "PostgreSQL", "42P01", "[SQLSTATE 42P01] relation \"missing_table\" does not exist"},
        {"a server that never connected", [](dmo::SQLServer&) { dmo::SQLServer::Create()->GetDatabases(); },
         dmo::kErrConnection, 2, "DMO", "", ""},
        {"a database by name", [](dmo::SQLServer& s) { s.GetDatabases()->Item("no_such_database_here"); },
         dmo::kErrNotFound, 3, "DMO", "", "'no_such_database_here' not found"},
        {"a database by position", [](dmo::SQLServer& s) { s.GetDatabases()->Item(100000); }, dmo::kErrNotFound, 3,
         "DMO", "", "not found"},
        {"a named instance", [](dmo::SQLServer&) { dmo::ParseServerName("host\\SQLEXPRESS"); },
         dmo::kErrNotSupported, 4, "DMO", "", "not supported on PostgreSQL"},
        {"a damaged archive", restore(damaged.string()), dmo::kErrTool, 5, "DMO", "", "pg_restore"},
        {"a row past the end", [&](dmo::SQLServer&) { database->ExecuteWithResults("SELECT 1")->GetColumnLong(5, 1); },
         dmo::kErrArgument, 6, "DMO", "", ""},
        {"a number past 32 bits",
         [&](dmo::SQLServer&) { database->ExecuteWithResults("SELECT 3000000000")->GetColumnLong(1, 1); },
         dmo::kErrArgument, 6, "DMO", "", ""},
        {"a missing dump", restore((dir.path() / "none.dump").string()), dmo::kErrFile, 7, "DMO", "",
         "none.dump"},
    };
    for (const Case& c : cases) {
        try {
            c.call(*server);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const dmo::Error& e) {
            EXPECT_EQ(e.hresult, c.hresult) << c.what << ": " << e.description;
            EXPECT_EQ(e.source, c.source) << c.what;
            EXPECT_EQ(e.sqlstate, c.sqlstate) << c.what;
            EXPECT_FALSE(e.description.empty()) << c.what;
            EXPECT_NE(e.description.find(c.description), std::string::npos) << c.what << ": " << e.description;
            EXPECT_EQ(FormatComError("\t", e.hresult, e.description),
                      "\tHRESULT : " + std::to_string(c.hresult) + "\r\n\tMESSAGE : IDispatch error #" +
                          std::to_string(c.number) + "\r\n\tDESCRIPTION : " + e.description)
                << c.what;
        }
    }
    // A refused statement leaves the connection usable.
    EXPECT_EQ(database->ExecuteWithResults("SELECT 7")->GetColumnLong(1, 1), 7);
}
