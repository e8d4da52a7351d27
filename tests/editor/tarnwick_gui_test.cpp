// Starts the real program under the test display with d:, u: and p: on a
// data source of its own, waits until it is connected with its main window
// up, and keeps a screenshot in the test output folder.
#include "kelmdb.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

extern char** environ;

namespace {

// The run's driver list, before a test points the driver manager elsewhere.
const std::string g_drivers = [] {
    const char* sysini = std::getenv("ODBCSYSINI");
    return sysini ? kelm::test::readFile(std::filesystem::path(sysini) / "odbcinst.ini") : std::string();
}();

std::string Shell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

TEST(TarnwickGui, StartsWithCommandLineLoginAndReachesItsMainWindow)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    auto db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::PostgreSQL, "gui");
    std::string role = "kelm_gui_" + std::to_string(::getpid());
    kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
    kelm::test::PgAdminExec("CREATE ROLE " + role + " LOGIN PASSWORD 'gui pass'");
    db->Exec("GRANT ALL ON ALL TABLES IN SCHEMA public TO " + role);
    db->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('" + role + "', 1)");

    kelm::test::TempDir dir;
    dir.write("odbcinst.ini", g_drivers);
    dir.write("odbc.ini", "[KelmGui]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                              kelm::test::PgPort() + "\nDatabase=" + db->DatabaseName() + "\n");
    dir.write("user-odbc.ini", "");
    setenv("ODBCSYSINI", dir.path().c_str(), 1);
    setenv("ODBCINI", (dir.path() / "user-odbc.ini").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);

    std::string d = "-d:KelmGui", u = "-u:" + role, p = "-p:gui pass";
    char* argv[] = {const_cast<char*>(TARNWICK_BIN), d.data(), u.data(), p.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARNWICK_BIN, nullptr, nullptr, argv, environ), 0);

    // Connected: the server has a session of the role.
    bool connected = false;
    std::string windows;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "tarnwick ended early";
        std::string count = Shell("psql -XAtq -h '" + kelm::test::PgHost() + "' -p " + kelm::test::PgPort() +
                                " -d postgres -c \"SELECT count(*) FROM pg_stat_activity WHERE usename = '" + role +
                                "'\" 2>/dev/null");
        windows = Shell("xwininfo -root -tree 2>/dev/null");
        if (count.rfind("1", 0) == 0 && windows.find("Диаграммы") != std::string::npos &&
            windows.find("Kelm Tarnwick") == std::string::npos) {
            connected = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_TRUE(connected) << windows;
    // Connected with the password, which no longer shows in the process list.
    const std::string cmdline = kelm::test::readFile("/proc/" + std::to_string(pid) + "/cmdline");
    EXPECT_EQ(cmdline.find("gui pass"), std::string::npos);
    EXPECT_NE(cmdline.find("-p:xxxxxxxx"), std::string::npos);
    EXPECT_NE(cmdline.find("-u:" + role), std::string::npos);
    // No login dialog and no message box came up.
    EXPECT_EQ(windows.find("Параметры подключения"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "tarnwick_gui_test";
    std::filesystem::create_directories(out);
    std::filesystem::remove(out / "main.png");
    Shell("import -window root '" + (out / "main.png").string() + "'");
    EXPECT_TRUE(std::filesystem::exists(out / "main.png"));
    std::printf("screenshot: %s\n", (out / "main.png").c_str());

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    db.reset();
    kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
}

TEST(TarnwickGui, WithoutADataSourceTheLoginDialogComesUp)
{
    kelm::test::TempDir dir;
    dir.write("odbcinst.ini", g_drivers);
    dir.write("odbc.ini", "[Kelm Demo]\nDriver=SQLite3\nDatabase=" + (dir.path() / "kelm.db").string() +
                              "\n\n[Trusted]\nDriver=PostgreSQL Unicode\nTrusted_Connection=Yes\n\n"
                              "[Other]\nDriver=MySQL\n");
    dir.write("user-odbc.ini", "");
    setenv("ODBCSYSINI", dir.path().c_str(), 1);
    setenv("ODBCINI", (dir.path() / "user-odbc.ini").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);

    char* argv[] = {const_cast<char*>(TARNWICK_BIN), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARNWICK_BIN, nullptr, nullptr, argv, environ), 0);
    bool shown = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "tarnwick ended early";
        shown = Shell("xwininfo -root -tree 2>/dev/null").find("Параметры подключения") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_TRUE(shown);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "tarnwick_gui_test";
    std::filesystem::create_directories(out);
    Shell("import -window root '" + (out / "login.png").string() + "'");
    EXPECT_TRUE(std::filesystem::exists(out / "login.png"));
    std::printf("screenshot: %s\n", (out / "login.png").c_str());
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace
