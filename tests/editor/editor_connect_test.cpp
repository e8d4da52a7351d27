// ConnectDB, the login loop, the data-source list and the list fills against
// data sources of the test's own: SQLite files and the PostgreSQL cluster.
// One process per ODBC configuration: the files are written before the
// first ODBC call.
#include "editor/app/core/editorcore.h"
#include "editor/app/core/dbutil.h"
#include "tests/common/kelmdb.h"
#include "editor/dialogs/core/logindialogmodel.h"
#include "tests/editor/recorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <unistd.h>

using namespace tarnwick;
using kelm::test::Engine;
using kelm::test::KelmDatabase;

namespace {

const char* kReadOnly = "Без административных прав ресурсы БД доступны только для чтения";

struct OdbcSetup {
    std::unique_ptr<kelm::test::TempDir> dir;
    std::unique_ptr<KelmDatabase> lite;
    std::unique_ptr<KelmDatabase> pg;
    std::string role;
    std::string systemIni, userIni;
};

OdbcSetup* g_setup = nullptr;

class OdbcFiles : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_setup = new OdbcSetup;
        OdbcSetup& s = *g_setup;
        s.dir = std::make_unique<kelm::test::TempDir>();
        // The driver manager keeps the folders it read first: point it at
        // ours before the first ODBC call, and write the data sources later.
        const char* sysini = std::getenv("ODBCSYSINI");
        s.dir->write("odbcinst.ini",
                     sysini ? kelm::test::readFile(std::filesystem::path(sysini) / "odbcinst.ini") : std::string());
        s.dir->write("odbc.ini", "");
        s.dir->write("user-odbc.ini", "");
        setenv("ODBCSYSINI", s.dir->path().c_str(), 1);
        setenv("ODBCINI", (s.dir->path() / "user-odbc.ini").c_str(), 1);
        s.lite = std::make_unique<KelmDatabase>(Engine::SQLite, "connect");
        std::string system = "[KelmLite]\nDriver=SQLite3\nDatabase=" + s.lite->DatabaseName() +
                             "\n\n[KelmLiteTrusted]\nDriver=SQLite3\nDatabase=" + s.lite->DatabaseName() +
                             "\nTrusted_Connection=Yes\n\n[Other]\nDriver=MySQL\n\n"
                             "[TrustLower]\nDriver=SQLite3\nTrusted_Connection=yes\n\n"
                             "[TrustUpper]\nDriver=SQLite3\nTrusted_Connection=YES\n\n"
                             "[TrustLong]\nDriver=SQLite3\nTrusted_Connection=Yesterday\n\n"
                             "[TrustNo]\nDriver=SQLite3\nTrusted_Connection=No\n\n"
                             "[TrustBlank]\nDriver=SQLite3\nTrusted_Connection=Yes \n\n"
                             "[TrustBoth]\nDriver=SQLite3\nTrusted_Connection=Yes\n\n"
                             "[aLite]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n\n"
                             "[Кельм Тест]\nDriver=SQLite3\nDatabase=" + s.lite->DatabaseName() + "\n";
        if (kelm::test::PgAvailable()) {
            s.pg = std::make_unique<KelmDatabase>(Engine::PostgreSQL, "connect");
            s.role = "kelm_conn_" + std::to_string(::getpid());
            kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + s.role);
            kelm::test::PgAdminExec("CREATE ROLE " + s.role + " LOGIN PASSWORD 'Пароль;1'");
            s.pg->Exec("GRANT ALL ON ALL TABLES IN SCHEMA public TO " + s.role);
            system += "\n[KelmPg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" + kelm::test::PgPort() +
                      "\nDatabase=" + s.pg->DatabaseName() + "\n\n[KelmPgTrusted]\nDriver=PostgreSQL Unicode\n" +
                      "Servername=" + kelm::test::PgHost() + "\nPort=" + kelm::test::PgPort() +
                      "\nDatabase=" + s.pg->DatabaseName() + "\nTrusted_Connection=Yes\n";
        }
        std::string user = "[TrustUser]\nDriver=SQLite3\nTrusted_Connection=Yes\n\n"
                           "[TrustBoth]\nDriver=SQLite3\nTrusted_Connection=No\n\n"
                           "[TrustNoKey]\nDriver=SQLite3\n";
        s.systemIni = system;
        s.userIni = user;
        s.dir->write("odbc.ini", system);
        s.dir->write("user-odbc.ini", user);
    }
    void TearDown() override
    {
        std::string role = g_setup->role;
        delete g_setup;
        if (!role.empty())
            kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
    }
};

const auto* g_env = ::testing::AddGlobalTestEnvironment(new OdbcFiles);

// A shell whose login dialog answers from a script.
struct ScriptedShell : IAppShell {
    std::deque<LoginResult> answers;
    std::vector<std::string> dialogUsers, dialogDsns;
    int trees = 0, removed = 0, closedChildren = 0;
    bool closeChildren = true;
    bool RunLoginDialog(const std::string& user, const std::string& dsn, int, LoginResult& result) override
    {
        dialogUsers.push_back(user);
        dialogDsns.push_back(dsn);
        if (answers.empty())
            return false;
        result = answers.front();
        answers.pop_front();
        return true;
    }
    void BuildNavigationTree(TreeClass) override { ++trees; }
    void RemoveNavigationTree() override { ++removed; }
    bool CloseChildWindows() override
    {
        ++closedChildren;
        return closeChildren;
    }
};

class ConnectDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_setup->lite->Exec("DELETE FROM common_ver");
        g_setup->lite->Exec("DELETE FROM kelm_user");
        g_setup->lite->Exec("INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.35', '*')");
        app.SetShell(&shell);
        app.m_pConnection.CreateInstance("ADODB.Connection");
        app.m_cmdInfo.m_nDiagrammType = 1;
    }
    void UseLite(const std::string& user)
    {
        app.m_cmdInfo.m_strDSN = "KelmLite";
        app.m_cmdInfo.m_strUser = user;
    }
    kelm::test::RecordingPrompt prompt;
    ScriptedShell shell;
    CTarnwickAppCore app;
};

TEST_F(ConnectDb, AdministratorWritesAndASecondCallRunsNoQuery)
{
    g_setup->lite->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('ALICE', 1)");
    UseLite("alice");
    auto cn = app.ConnectDB(TRUE);
    ASSERT_TRUE(cn);
    EXPECT_EQ(app.m_strDbVersion, "3.01.35");
    EXPECT_FALSE(g_bReadOnlyMode);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_TRUE(app.OnUpdateCloseConnection());
    EXPECT_FALSE(app.OnUpdateOpenConnection());

    // With the tables gone, only a query could fail now.
    g_setup->lite->Exec("DROP TABLE common_ver");
    auto again = app.ConnectDB(TRUE);
    g_setup->lite->Exec("CREATE TABLE common_ver (Applversion varchar(20) NOT NULL, flagtrue varchar(1))");
    g_setup->lite->Exec("INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.35', '*')");
    EXPECT_TRUE(again == cn);
    EXPECT_TRUE(prompt.shown.empty());

    // A chart window the user keeps open keeps the connection and the tree.
    shell.closeChildren = false;
    app.OnCloseConnection();
    EXPECT_NE(cn->GetState(), ado::adStateClosed);
    EXPECT_EQ(shell.removed, 0);

    shell.closeChildren = true;
    app.OnCloseConnection();
    EXPECT_EQ(cn->GetState(), ado::adStateClosed);
    EXPECT_EQ(shell.removed, 1);
    EXPECT_EQ(shell.closedChildren, 2);
}

TEST_F(ConnectDb, DataSourceNamedInRussian)
{
    app.m_cmdInfo.m_strDSN = "Кельм Тест";
    app.m_cmdInfo.m_strUser = "Иван";
    g_setup->lite->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('Иван', 1)");
    ASSERT_TRUE(app.ConnectDB(TRUE)) << (prompt.shown.empty() ? "" : prompt.shown[0].text);
    EXPECT_FALSE(g_bReadOnlyMode);
}

TEST_F(ConnectDb, ReadOnlyWithoutARowOrWithZero)
{
    for (const char* row : {"", "INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('bob', 0)",
                            "INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('alice', 1)"}) {
        SCOPED_TRACE(row);
        g_setup->lite->Exec("DELETE FROM kelm_user");
        if (*row)
            g_setup->lite->Exec(row);
        prompt.shown.clear();
        UseLite("bob");
        auto cn = app.ConnectDB(FALSE);
        ASSERT_TRUE(cn);
        EXPECT_TRUE(g_bReadOnlyMode);
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, kReadOnly);
        EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Warning);
        cn->Close();
    }
}

TEST_F(ConnectDb, TheLoginNameOnSqliteIsTheAccountForATrustedLogin)
{
    g_setup->lite->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('" +
                        SqlQuote(CurrentUserName()) + "', 1)");
    app.m_cmdInfo.m_strDSN = "KelmLiteTrusted";
    app.m_cmdInfo.m_bNTAuthentication = TRUE;
    app.m_cmdInfo.m_strUser = "somebody";
    ASSERT_TRUE(app.ConnectDB(TRUE));
    EXPECT_FALSE(g_bReadOnlyMode);
    // A quote in the user name stays inside the literal.
    app.m_pConnection->Close();
    app.m_cmdInfo.m_bNTAuthentication = FALSE;
    UseLite("x') OR 1=1 OR ('");
    ASSERT_TRUE(app.ConnectDB(TRUE));
    EXPECT_TRUE(g_bReadOnlyMode);
}

TEST_F(ConnectDb, UnsupportedStructureAndOldVersionDisconnect)
{
    struct Case {
        const char* setup;
        int type;
        bool connects;
        std::string message;
    } cases[] = {
        {"UPDATE common_ver SET flagtrue = NULL", 1, false, "Не поддерживаемая структура БД!"},
        {"UPDATE common_ver SET Applversion = '3.01.4'", 1, false,
         "К сожалению версия Вашей БД 3.01.4.\nДанная версия Tarnwick.exe поддерживает БД версии 3.01.35 и "
         "выше.\nСделайте обновление БД до версии 3.01.35 и выше."},
        {"UPDATE common_ver SET Applversion = '3.01.4'", 2, true, kReadOnly},
        {"UPDATE common_ver SET Applversion = '10.00.00'", 1, true, kReadOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        SetUp();
        g_setup->lite->Exec(c.setup);
        prompt.shown.clear();
        shell.removed = 0;
        app.m_cmdInfo.m_nDiagrammType = c.type;
        UseLite("bob");
        auto cn = app.ConnectDB(TRUE);
        EXPECT_EQ(static_cast<bool>(cn), c.connects);
        EXPECT_EQ(app.m_pConnection->GetState(), c.connects ? ado::adStateOpen : ado::adStateClosed);
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, c.message);
        EXPECT_EQ(shell.removed, c.connects ? 0 : 1);
        if (cn)
            cn->Close();
    }
}

TEST_F(ConnectDb, AFailedRightsCheckLeavesNoConnectionBehind)
{
    g_setup->lite->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('alice', 1)");
    UseLite("alice");
    ASSERT_TRUE(app.ConnectDB(TRUE));
    ASSERT_FALSE(g_bReadOnlyMode);
    app.m_pConnection->Close();

    // A NULL flag does not convert; earlier rights must not survive that.
    g_setup->lite->Exec("DROP TABLE kelm_user");
    g_setup->lite->Exec("CREATE TABLE kelm_user (db_user_netname varchar(128), kelm_user_isadmin integer)");
    g_setup->lite->Exec("INSERT INTO kelm_user VALUES ('alice', NULL)");
    EXPECT_FALSE(app.ConnectDB(TRUE));
    EXPECT_TRUE(g_bReadOnlyMode);
    EXPECT_EQ(app.m_pConnection->GetState(), ado::adStateClosed);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Type mismatch.");

    g_setup->lite->Exec("DROP TABLE kelm_user");
    prompt.shown.clear();
    EXPECT_FALSE(app.ConnectDB(FALSE));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(app.m_pConnection->GetState(), ado::adStateClosed);
    g_setup->lite->Exec("CREATE TABLE kelm_user (kelm_user_id INTEGER PRIMARY KEY, db_user_netname varchar(128) "
                        "NOT NULL, kelm_user_isadmin integer NOT NULL DEFAULT 0)");
}

TEST_F(ConnectDb, FailedOpenShowsTheErrorOnlyWhenAsked)
{
    struct Case {
        std::string dsn;
        int nt;
    } cases[] = {{"NoSuchDsn", 0}, {"", 0}, {"", 1}, {"KelmLite;Database=/tmp/other.db", 1}, {"KelmLite=x", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dsn);
        app.m_cmdInfo.m_strDSN = c.dsn;
        app.m_cmdInfo.m_bNTAuthentication = c.nt;
        prompt.shown.clear();
        app.m_strDbVersion = "old";
        EXPECT_FALSE(app.ConnectDB(FALSE));
        EXPECT_TRUE(prompt.shown.empty());
        EXPECT_EQ(app.m_strDbVersion, "");
        EXPECT_FALSE(app.ConnectDB(TRUE));
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_NE(prompt.shown[0].text.find("Data source name not found"), std::string::npos)
            << prompt.shown[0].text;
        EXPECT_EQ(app.m_pConnection->GetState(), ado::adStateClosed);
    }
}

TEST_F(ConnectDb, LoginLoopRetriesUntilConnectedOrCancelled)
{
    g_setup->lite->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('carol', 1)");
    app.m_cmdInfo.m_strUser = "first";
    app.m_cmdInfo.m_strPassword = "pw";
    app.m_cmdInfo.m_nDiagrammType = 0;
    shell.answers.push_back({"NoSuchDsn", FALSE, "carol", "x"});
    shell.answers.push_back({"KelmLiteTrusted", TRUE, "ignored", "ignored"});
    app.OnOpenConnection();
    // The trusted choice kept the user and password of the failed attempt.
    EXPECT_EQ(app.m_cmdInfo.m_strUser, "carol");
    EXPECT_EQ(app.m_cmdInfo.m_strPassword, "x");
    EXPECT_EQ(app.m_cmdInfo.m_nDiagrammType, 1);
    EXPECT_EQ(shell.dialogUsers, (std::vector<std::string>{"first", "carol"}));
    EXPECT_EQ(shell.dialogDsns, (std::vector<std::string>{"", "NoSuchDsn"}));
    EXPECT_EQ(shell.trees, 1);
    EXPECT_EQ(app.m_pConnection->GetState(), ado::adStateOpen);
    app.m_pConnection->Close();

    shell.trees = 0;
    app.OnOpenConnection(); // cancelled
    EXPECT_EQ(shell.trees, 0);
    EXPECT_EQ(app.m_pConnection->GetState(), ado::adStateClosed);
}

TEST_F(ConnectDb, StartupConnectsSilentlyOrFallsBackToTheLogin)
{
    CTarnwickAppCore fresh;
    ScriptedShell freshShell;
    fresh.SetShell(&freshShell);
    fresh.m_cmdInfo.m_strDSN = "KelmLite";
    fresh.m_cmdInfo.m_nDiagrammType = 1;
    EXPECT_TRUE(fresh.ConnectAtStartup());
    EXPECT_TRUE(freshShell.dialogUsers.empty());
    EXPECT_EQ(freshShell.trees, 1);
    EXPECT_EQ(fresh.GetTreeClass(), TreeClass::AWF);
    fresh.ReleaseConnection();
    EXPECT_FALSE(fresh.m_pConnection);

    CTarnwickAppCore cancelled;
    ScriptedShell cancelShell;
    cancelled.SetShell(&cancelShell);
    prompt.shown.clear();
    EXPECT_TRUE(cancelled.ConnectAtStartup()); // the program runs without a connection
    EXPECT_EQ(cancelShell.dialogUsers.size(), 1u);
    EXPECT_EQ(cancelShell.trees, 0);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST(DataSources, ListHoldsTheAcceptedDriversSorted)
{
    CLoginDlgModel model("user", "klite", 0);
    model.OnInitDialog();
    std::vector<std::string> expected = {"aLite", "KelmLite", "KelmLiteTrusted"};
    if (g_setup->pg) {
        expected.push_back("KelmPg");
        expected.push_back("KelmPgTrusted");
    }
    for (const char* name : {"TrustBlank", "TrustBoth", "TrustLong", "TrustLower", "TrustNo", "TrustNoKey", "TrustUpper",
                             "TrustUser", "Кельм Тест"})
        expected.push_back(name);
    EXPECT_EQ(model.DataSources(), expected);
    // "klite" matches no entry: the first is selected.
    EXPECT_EQ(model.Selection(), 0);
    EXPECT_TRUE(model.FocusOnPassword());

    CLoginDlgModel chosen("", "KELMLITETRUSTED", 0);
    chosen.OnInitDialog();
    EXPECT_EQ(chosen.DataSources().at(static_cast<std::size_t>(chosen.Selection())), "KelmLiteTrusted");
    EXPECT_TRUE(chosen.m_bNTAuthentication);
    EXPECT_FALSE(chosen.CredentialsEnabled());
    chosen.SelectDataSource(1);
    EXPECT_FALSE(chosen.m_bNTAuthentication);
    chosen.OnOK();
    EXPECT_EQ(chosen.m_strDSN, "KelmLite");
}

TEST(DataSources, TrustedConnectionIsReadWithoutWriting)
{
    struct Case {
        const char* dsn;
        bool trusted;
    } cases[] = {
        {"KelmLiteTrusted", true}, {"TrustLower", true}, {"TrustUpper", true},  {"TrustLong", false},
        {"TrustNo", false},        {"TrustNoKey", false}, {"TrustUser", true},  {"TrustBoth", true},
        {"KelmLite", false},       {"Missing", false},    {"", false},
        // An INI value ends before its trailing blanks.
        {"TrustBlank", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsTrustedDataSource(c.dsn), c.trusted) << c.dsn;
    EXPECT_EQ(kelm::test::readFile(g_setup->dir->path() / "odbc.ini"), g_setup->systemIni);
    EXPECT_EQ(kelm::test::readFile(g_setup->dir->path() / "user-odbc.ini"), g_setup->userIni);
}

TEST_F(ConnectDb, FillsReadTheApplicationsConnection)
{
    UseLite("bob");
    g_setup->lite->Exec("INSERT INTO ProdDocState (Grp, State, NameState) VALUES (1, 2, 'Б'), (1, 3, 'А'), "
                        "(1, 4, 'В'), (2, 1, 'Г')");
    kelm::test::ItemList combo;
    EXPECT_TRUE(FillComboFromSQL(combo, "SELECT NameState, State FROM ProdDocState WHERE Grp = 1 ORDER BY State",
                                 "NameState", "State", 3));
    EXPECT_EQ(combo.items, (std::vector<std::string>{"Б", "А", "В"}));
    EXPECT_EQ(combo.selection, 1);
    EXPECT_EQ(combo.data, (std::vector<std::uint32_t>{2, 3, 4}));

    EXPECT_TRUE(FillComboFromSQL(combo, "SELECT NameState, State FROM ProdDocState", "NameState", "State", 99));
    EXPECT_EQ(combo.selection, -1);

    kelm::test::ItemList list;
    EXPECT_TRUE(FillListBoxFromSQL(list, "SELECT NameState, Grp, State FROM ProdDocState WHERE Grp = 2", "NameState",
                                   "State", "Grp"));
    EXPECT_EQ(list.data, (std::vector<std::uint32_t>{0x00020001u}));
    EXPECT_EQ(list.selection, 0);

    prompt.shown.clear();
    EXPECT_FALSE(FillListBoxFromSQL(list, "SELECT x FROM NoSuchTempl", "x", nullptr, nullptr));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(FillComboFromSQL(combo, "SELECT NameState FROM ProdDocState", "NoField", nullptr, 0));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "ADODB.Recordset");

    app.m_pConnection->Close();
    app.m_cmdInfo.m_strDSN = "NoSuchDsn";
    EXPECT_FALSE(FillComboFromSQL(combo, "SELECT 1 AS x", "x", nullptr, 0));
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(ConnectDb, FieldReadersGiveTheDefaultForNull)
{
    UseLite("bob");
    g_setup->lite->Exec("INSERT INTO struct_gr (id_firm, struct_code, struct_name, struct_lev) VALUES (9, NULL, NULL, 2)");
    auto cn = app.ConnectDB(FALSE);
    ASSERT_TRUE(cn);
    auto rs = cn->Execute("SELECT struct_code, struct_name, struct_lev FROM struct_gr WHERE id_firm = 9");
    ado::_variant_t code = GetFieldValueShort(rs, "struct_code", -1);
    EXPECT_EQ(code.vt, ado::VT_I2);
    EXPECT_EQ(static_cast<short>(code), -1);
    EXPECT_EQ(GetFieldValueLong(rs, "struct_code", 7).vt, ado::VT_I4);
    EXPECT_EQ(static_cast<std::string>(GetFieldValueString(rs, "struct_name", "нет")), "нет");
    EXPECT_EQ(static_cast<long>(GetFieldValueLong(rs, 2L, 0)), 2);
    EXPECT_THROW(GetFieldValueLong(rs, "missing", 0), ado::_com_error);
    g_setup->lite->Exec("DELETE FROM struct_gr");
}

class ConnectPg : public ConnectDb {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        g_setup->pg->Exec("DELETE FROM common_ver");
        g_setup->pg->Exec("DELETE FROM kelm_user");
        g_setup->pg->Exec("INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.35', '*')");
        app.SetShell(&shell);
        app.m_pConnection.CreateInstance("ADODB.Connection");
        app.m_cmdInfo.m_nDiagrammType = 1;
    }
};

TEST_F(ConnectPg, RightsFollowTheSessionUser)
{
    g_setup->pg->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('" +
                      kelm::test::PgUser() + "', 1), (upper('" + g_setup->role + "'), 0)");
    // Trusted: the server login is the account the process runs as.
    app.m_cmdInfo.m_strDSN = "KelmPgTrusted";
    app.m_cmdInfo.m_bNTAuthentication = TRUE;
    ASSERT_TRUE(app.ConnectDB(TRUE));
    EXPECT_FALSE(g_bReadOnlyMode);
    EXPECT_TRUE(prompt.shown.empty());
    app.OnCloseConnection();

    app.m_cmdInfo.m_strDSN = "KelmPg";
    app.m_cmdInfo.m_bNTAuthentication = FALSE;
    app.m_cmdInfo.m_strUser = g_setup->role;
    app.m_cmdInfo.m_strPassword = "wrong";
    EXPECT_FALSE(app.ConnectDB(TRUE));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Error);

    prompt.shown.clear();
    app.m_cmdInfo.m_strPassword = "Пароль;1";
    ASSERT_TRUE(app.ConnectDB(TRUE));
    EXPECT_TRUE(g_bReadOnlyMode);
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{kReadOnly});
}

TEST_F(ConnectPg, MissingTemplateTableIsToldByItsSqlState)
{
    app.m_cmdInfo.m_strDSN = "KelmPgTrusted";
    app.m_cmdInfo.m_bNTAuthentication = TRUE;
    kelm::test::ItemList combo;
    prompt.shown.clear();
    EXPECT_FALSE(FillComboFromSQL(combo, "SELECT name_template FROM Operation_OrderTempl", "name_template", nullptr,
                                  0));
    ASSERT_FALSE(prompt.shown.empty());
    EXPECT_EQ(prompt.shown.back().text, "Процесс не поддерживает работу с шаблонами документов!");
    EXPECT_TRUE(FillComboFromSQL(combo, "SELECT name_template FROM Operation_DocumentTempl", "name_template",
                                 nullptr, 0));
}

} // namespace
