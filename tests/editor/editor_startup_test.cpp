// Command line, settings, version comparison and the small helpers of the
// editor's start-up; no database.
#include "editor/app/core/editorcore.h"
#include "editor/app/core/dbutil.h"
#include "editor/dialogs/core/logindialogmodel.h"
#include "tests/editor/recorder.h"
#include "editor/app/ui/settings.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace tarnwick;

namespace {

TEST(CommandLine, PasswordsAreWipedFromArgvAndKeptForTheProgram)
{
    std::string program = "tarnwick", user = "-u:ivan", password = "-p:se cret", upper = "-P:другой",
                path = "/home/u/p:x.wfa", bare = "-p:", other = "-pass";
    char* argv[] = {program.data(), user.data(), password.data(), upper.data(),
                    path.data(),    bare.data(), other.data(),    nullptr};
    const std::vector<std::string> args = TakeCommandLine(7, argv);
    EXPECT_EQ(args, (std::vector<std::string>{"-u:ivan", "-p:se cret", "-P:другой", "/home/u/p:x.wfa", "-p:",
                                              "-pass"}));
    EXPECT_STREQ(argv[1], "-u:ivan");
    EXPECT_STREQ(argv[2], "-p:xxxxxxx");
    EXPECT_EQ(std::string(argv[3]), "-P:" + std::string(std::string("другой").size(), 'x'));
    EXPECT_STREQ(argv[4], "/home/u/p:x.wfa");
    EXPECT_STREQ(argv[5], "-p:");
    EXPECT_STREQ(argv[6], "-pass");
}

TEST(CommandLine, FlagsAreMatchedByPrefixInOrder)
{
    struct Case {
        std::vector<std::string> args;
        std::string user, password, dsn, file;
        int nt, clearReg, fromCmdLine, type;
        std::vector<std::string> messages;
    } cases[] = {
        {{}, "", "", "", "", 0, 0, 0, 0, {}},
        {{"-u:Иван", "-p:se;cret", "-d:Kelm"}, "Иван", "se;cret", "Kelm", "", 0, 0, 1, 1, {}},
        {{"-U:x", "-P:y", "-D:z"}, "x", "y", "z", "", 0, 0, 1, 1, {}},
        {{"-u:"}, "", "", "", "", 0, 0, 1, 1, {}},
        {{"-e"}, "", "", "", "", 1, 0, 0, 1, {}},
        {{"-Embedding"}, "", "", "", "", 1, 0, 0, 1, {}},
        {{"-clearregistry"}, "", "", "", "", 0, 1, 0, 1, {}},
        {{"-x"}, "", "", "", "", 0, 0, 0, 1, {"Параметр x ошибочный!\nПараметр - игнорируется!"}},
        {{"-Automation"}, "", "", "", "", 0, 0, 0, 1,
         {"Параметр Automation ошибочный!\nПараметр - игнорируется!"}},
        {{"/home/u/chart.wfa", "-d:K"}, "", "", "K", "/home/u/chart.wfa", 0, 0, 1, 1, {}},
        {{"chart.wfa"}, "", "", "", "chart.wfa", 0, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.front());
        kelm::test::RecordingPrompt prompt;
        CTarnwickCommandLineInfo info;
        info.m_nShellCommand = CCommandLineInfo::FileNothing;
        ParseCommandLine(info, c.args);
        EXPECT_EQ(info.m_strUser, c.user);
        EXPECT_EQ(info.m_strPassword, c.password);
        EXPECT_EQ(info.m_strDSN, c.dsn);
        EXPECT_EQ(info.m_strFileName, c.file);
        EXPECT_EQ(info.m_nShellCommand, c.file.empty() ? CCommandLineInfo::FileNothing : CCommandLineInfo::FileOpen);
        EXPECT_EQ(info.m_bNTAuthentication, c.nt);
        EXPECT_EQ(info.m_bClearReg, c.clearReg);
        EXPECT_EQ(info.m_bLoginFromCmdLine, c.fromCmdLine);
        EXPECT_EQ(info.m_nDiagrammType, c.type);
        EXPECT_EQ(prompt.Texts(), c.messages);
    }
}

TEST(Versions, ComparedPartByPartAsNumbers)
{
    struct Case {
        const char *a, *b;
        int sign;
    } cases[] = {
        {"3.01.35", "3.01.35", 0}, {"3.01.4", "3.01.35", -1}, {"3.01.3", "3.01.35", -1},
        {"10.00.00", "3.01.35", 1}, {"3.1.35", "3.01.35", 0},  {"3.01.35.1", "3.01.35", 1},
        {"3.01", "3.01.35", -1},    {" 3.01.36 ", "3.01.35", 1}, {"", "3.01.35", -1},
        {"3.01.35b", "3.01.35", 1}, {"99999999999999999999.1", "3", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(CompareVersions(c.a, c.b), c.sign);
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.sign);
    }
    CTarnwickAppCore app;
    app.m_strDbVersion = "3.01.4";
    EXPECT_FALSE(app.IsDbVersionAtLeast("3.01.35"));
    app.m_strDbVersion = "10.00.00";
    EXPECT_TRUE(app.IsDbVersionAtLeast("3.01.35"));
}

TEST(Settings, ReadAtStartWrittenAtExit)
{
    kelm::test::TempDir dir;
    auto file = dir / "Kelm Tarnwick v1/Диаграммы.conf";
    {
        CFileProfileStore store(file);
        store.WriteProfileString("Settings", "User", "Пётр");
        store.WriteProfileString("Settings", "DSN", "Stored");
        store.WriteProfileInt("Settings", "NTAuthentication", 1);
        store.WriteProfileInt("Settings", "DiagrammType", 3);
        ASSERT_TRUE(store.Flush());
    }
    CTarnwickAppCore app;
    {
        CFileProfileStore store(file);
        app.LoadSettings(store);
    }
    EXPECT_EQ(app.m_cmdInfo.m_strUser, "Пётр");
    EXPECT_EQ(app.m_cmdInfo.m_strDSN, ""); // the stored DSN is never read
    EXPECT_EQ(app.m_cmdInfo.m_bNTAuthentication, 1);
    EXPECT_EQ(app.m_cmdInfo.m_nDiagrammType, 0); // 3 is not a kind
    EXPECT_EQ(app.GetTreeClass(), TreeClass::Base);

    // A command-line login writes back only the authentication mode.
    app.m_cmdInfo.m_bLoginFromCmdLine = 1;
    app.m_cmdInfo.m_strUser = "other";
    app.m_cmdInfo.m_strPassword = "secret";
    app.m_cmdInfo.m_bNTAuthentication = 0;
    {
        CFileProfileStore store(file);
        app.SaveSettings(store);
    }
    std::string text = kelm::test::readFile(file);
    EXPECT_NE(text.find("Пётр"), std::string::npos);
    EXPECT_EQ(text.find("other"), std::string::npos);
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_NE(text.find("NTAuthentication=0"), std::string::npos);

    app.m_cmdInfo.m_bLoginFromCmdLine = 0;
    app.m_cmdInfo.m_strDSN = "Kelm";
    app.m_cmdInfo.m_nDiagrammType = 1;
    {
        CFileProfileStore store(file);
        app.SaveSettings(store);
    }
    text = kelm::test::readFile(file);
    EXPECT_NE(text.find("User=other"), std::string::npos);
    EXPECT_NE(text.find("DSN=Kelm"), std::string::npos);
    EXPECT_NE(text.find("DiagrammType=1"), std::string::npos);
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_EQ(SettingsFilePath().parent_path().filename().string(), RegistryKeyName());
}

TEST(Connection, StringKeepsTheDataSourceNameWhole)
{
    CTarnwickAppCore app;
    struct Case {
        const char* dsn;
        int nt;
        const char* expected;
    } cases[] = {
        {"Kelm", 1, "Provider=MSDASQL;DSN=Kelm;"},
        {"Kelm", 0, "Kelm"},
        {"", 1, "Provider=MSDASQL;DSN=;"},
        {"a;Database=x", 1, "Provider=MSDASQL;DSN={a;Database=x};"},
        {"a}b", 1, "Provider=MSDASQL;DSN={a}}b};"},
        {"a=b", 0, "Provider=MSDASQL;DSN={a=b};"},
        {"a;b", 0, "a;b"},
    };
    for (const auto& c : cases) {
        app.m_cmdInfo.m_strDSN = c.dsn;
        app.m_cmdInfo.m_bNTAuthentication = c.nt;
        EXPECT_EQ(app.ConnectionString(), c.expected) << c.dsn;
    }
    // Without a connection object there is nothing to connect.
    app.m_strDbVersion = "x";
    EXPECT_FALSE(app.ConnectDB(TRUE));
    EXPECT_EQ(app.m_strDbVersion, "");
}

TEST(LoginDialog, AcceptedDrivers)
{
    struct Case {
        const char* driver;
        bool accepted;
    } cases[] = {
        {"PostgreSQL Unicode", true}, {"postgresql ansi", true},
        {"SQLite3", true},            {"SQLite", true},
        {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so", true},
        {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", true},
        {"SQL Server", false},        {"MySQL ODBC 8.0", false},
        {"", false},                  {"My PostgreSQL", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAcceptedDriver(c.driver), c.accepted) << c.driver;
    CLoginDlgModel model("", "x", 0);
    EXPECT_EQ(model.m_strUser, CurrentUserName());
    EXPECT_FALSE(model.m_strUser.empty());
    EXPECT_EQ(model.m_strPassword, "");
    EXPECT_FALSE(IsTrustedDataSource(""));
}

TEST(DbUtil, BuffersAndVariants)
{
    using namespace ado;
    std::uint8_t* buffer = reinterpret_cast<std::uint8_t*>(1);
    std::uint32_t length = 77;
    EXPECT_FALSE(VariantToBuffer(_variant_t::Null(), &buffer, &length));
    EXPECT_EQ(length, 77u);
    EXPECT_FALSE(VariantToBuffer(_variant_t(5), &buffer, &length));
    EXPECT_TRUE(VariantToBuffer(_variant_t::EmptyArray(), &buffer, &length));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(length, 0u);

    const std::uint8_t bytes[] = {0, 1, 2, 255};
    _variant_t v = BufferToVariant(bytes, 4);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
    ASSERT_TRUE(VariantToBuffer(v, &buffer, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + length), std::vector<std::uint8_t>(bytes, bytes + 4));
    delete[] buffer;

    _variant_t empty = BufferToVariant(nullptr, 0);
    EXPECT_EQ(empty.vt, VT_ARRAY | VT_UI1);
    ASSERT_NE(empty.parray, nullptr);
    EXPECT_EQ(empty.parray->rgsabound[0].cElements, 0u);
    ASSERT_TRUE(VariantToBuffer(empty, &buffer, &length));
    EXPECT_EQ(length, 0u);
    delete[] buffer;

    EXPECT_EQ(SqlQuote("O'Brien ''x''"), "O''Brien ''''x''''");
}

TEST(DbUtil, ShowComErrorFallsBackToTheSystemText)
{
    kelm::test::RecordingPrompt prompt;
    ShowComError(ado::_com_error(ado::E_POINTER));
    ShowComError(ado::_com_error(ado::E_FAIL, "Ошибка", "ODBC (SQLite)"));
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].text, "Invalid pointer");
    EXPECT_EQ(prompt.shown[1].text, "Ошибка");
    EXPECT_EQ(prompt.shown[1].caption, "ODBC (SQLite)");
    EXPECT_EQ(prompt.shown[1].icon, MessageIcon::Error);
}

// What lies in `folder` besides `keep`: leftovers of a save.
std::vector<std::string> strays(const std::filesystem::path& folder, const std::string& keep)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != keep)
            out.push_back(e.path().filename().string());
    return out;
}

// A file-size limit stands for a full disk: the save stops short in a child
// process, which says whether the store reported the failure.
TEST(Settings, AFlushThatCannotWriteKeepsTheOldFileAndLeavesNothingBeside)
{
    kelm::test::TempDir dir;
    const std::filesystem::path file = dir.path() / "settings.conf";
    {
        CFileProfileStore store(file);
        store.WriteProfileString("Settings", "User", "kept");
        ASSERT_TRUE(store.Flush());
    }
    const std::string old = kelm::test::readFile(file);
    const pid_t child = ::fork();
    if (child == 0) {
        struct rlimit limit {512, 512};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CFileProfileStore store(file);
        store.WriteProfileString("Settings", "Long", std::string(8192, 'x'));
        ::_exit(store.Flush() ? 1 : 0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed flush was reported as success";
    EXPECT_EQ(kelm::test::readFile(file), old);
    EXPECT_TRUE(strays(dir.path(), "settings.conf").empty());
}

} // namespace
