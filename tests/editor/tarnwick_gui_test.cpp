// Starts the real program under the test display with d:, u: and p: on a
// data source of its own, waits until it is connected with its main window
// up, and keeps a screenshot in the test output folder.
#include "tests/editor/fixture.h"
#include "tests/common/gtkprobe.h"
#include "tests/common/kelmdb.h"

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
#include <vector>

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

// The program on a PostgreSQL database of its own, started with d:, u: and
// p: for a role of its own, until it is connected with its main window up.
class RunningTarnwick {
public:
    explicit RunningTarnwick(const std::vector<std::string>& fixture = {})
    {
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::PostgreSQL, "gui");
        for (const std::string& sql : fixture)
            db->Exec(sql);
        role = "kelm_gui_" + std::to_string(::getpid());
        kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
        kelm::test::PgAdminExec("CREATE ROLE " + role + " LOGIN PASSWORD 'gui pass'");
        db->Exec("GRANT ALL ON ALL TABLES IN SCHEMA public TO " + role);
        db->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('" + role + "', 1)");

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
        if (posix_spawn(&pid, TARNWICK_BIN, nullptr, nullptr, argv, environ) != 0)
            pid = 0;
    }
    ~RunningTarnwick()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        db.reset();
        kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
    }

    // Connected: the server has a session of the role, and the main window
    // is up without the splash.
    bool WaitConnected()
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != 0) {
                ADD_FAILURE() << "tarnwick ended early";
                pid = 0;
                return false;
            }
            std::string count = Shell("psql -XAtq -h '" + kelm::test::PgHost() + "' -p " + kelm::test::PgPort() +
                                    " -d postgres -c \"SELECT count(*) FROM pg_stat_activity WHERE usename = '" +
                                    role + "'\" 2>/dev/null");
            windows = Shell("xwininfo -root -tree 2>/dev/null");
            if (count.rfind("1", 0) == 0 && windows.find("Диаграммы") != std::string::npos &&
                windows.find("Kelm Tarnwick") == std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
    }

    // The main window's id, focused, with the tree's first row clicked: the
    // connection's, below the menus, the two rows of toolbars, the bar's
    // caption and its tab. Empty without a window.
    std::string ClickTreesFirstRow()
    {
        const std::string found = Shell("xdotool search --onlyvisible --classname tarnwick 2>/dev/null");
        if (found.empty())
            return {};
        const std::string id = found.substr(0, found.find('\n'));
        Shell("xdotool windowfocus --sync " + id + " 2>/dev/null");
        Shell("xdotool mousemove --window " + id + " 100 150 click 1 2>/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return id;
    }

    // Polls the window list until it holds text.
    bool WaitForWindow(const std::string& text, int seconds)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            windows = Shell("xwininfo -root -tree 2>/dev/null");
            if (windows.find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::string role;
    kelm::test::TempDir dir;
    pid_t pid = 0;
    std::string windows;
};

std::filesystem::path Screenshot(const std::string& name)
{
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "tarnwick_gui_test";
    std::filesystem::create_directories(out);
    std::filesystem::remove(out / name);
    Shell("import -window root '" + (out / name).string() + "'");
    std::printf("screenshot: %s\n", (out / name).c_str());
    return out / name;
}

TEST(TarnwickGui, StartsWithCommandLineLoginAndReachesItsMainWindow)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    RunningTarnwick tarnwick;
    ASSERT_GT(tarnwick.pid, 0);
    EXPECT_TRUE(tarnwick.WaitConnected()) << tarnwick.windows;
    // Connected with the password, which no longer shows in the process list.
    const std::string cmdline = kelm::test::readFile("/proc/" + std::to_string(tarnwick.pid) + "/cmdline");
    EXPECT_EQ(cmdline.find("gui pass"), std::string::npos);
    EXPECT_NE(cmdline.find("-p:xxxxxxxx"), std::string::npos);
    EXPECT_NE(cmdline.find("-u:" + tarnwick.role), std::string::npos);
    // No login dialog and no message box came up.
    EXPECT_EQ(tarnwick.windows.find("Параметры подключения"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(std::filesystem::exists(Screenshot("main.png")));
}

// A user's road through the keyboard of the display: into the process tree,
// down to a group, open it, down to a process, open it, and Enter on its
// document type opens the chart, whose name the main window's caption shows.
TEST(TarnwickGui, ADocumentTypeOpenedFromTheTreeShowsItsChart)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    RunningTarnwick tarnwick(kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"));
    ASSERT_GT(tarnwick.pid, 0);
    ASSERT_TRUE(tarnwick.WaitConnected()) << tarnwick.windows;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const std::string id = tarnwick.ClickTreesFirstRow();
    ASSERT_FALSE(id.empty()) << tarnwick.windows;
    // The connection's row opens with the groups under it. Right opens an
    // item that is closed and steps into one that is open. Down to the second
    // group, open it, into its first process, open it, into its document
    // type, and Enter. One key at a time: each opening reads the database.
    for (const char* key : {"Down", "Down", "Right", "Right", "Right", "Right", "Return"}) {
        Shell(std::string("xdotool key ") + key + " 2>/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    const bool opened = tarnwick.WaitForWindow("\"Диаграммы - ", 20);
    const std::filesystem::path shot = Screenshot("chart.png");
    EXPECT_TRUE(opened) << tarnwick.windows;
    EXPECT_TRUE(std::filesystem::exists(shot));
    // The chart's window is open: nothing was asked on the way.
    EXPECT_EQ(Shell("xdotool search --onlyvisible --classname tarnwick 2>/dev/null | wc -l"), "1\n");

    // Smaller than the chart: the chart window shows its scroll bars.
    Shell("xdotool windowsize --sync " + id + " 640 480 2>/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(std::filesystem::exists(Screenshot("chart-small.png")));
}

// The toolkit's own words speak the program's Russian whatever the locale
// of the session: the question that Delete on a group asks shows Russian
// buttons and its question icon, No keeps the group, and File > Open's file
// chooser is Russian throughout.
TEST(TarnwickGui, TheToolkitsOwnWordsAreRussian)
{
    using kelm::test::ProbeWindow;
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    kelm::test::GtkProbe probe;
    probe.Export();
    RunningTarnwick tarnwick(kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"));
    ASSERT_GT(tarnwick.pid, 0);
    ASSERT_TRUE(tarnwick.WaitConnected()) << tarnwick.windows;
    auto groups = [&] {
        return Shell("psql -XAtq -h '" + kelm::test::PgHost() + "' -p " + kelm::test::PgPort() + " -d " +
                     tarnwick.db->DatabaseName() + " -c 'SELECT count(*) FROM MainGroupOperate' 2>&1");
    };
    const std::string groupsBefore = groups();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string id = tarnwick.ClickTreesFirstRow();
    ASSERT_FALSE(id.empty()) << tarnwick.windows;
    // Down to the first group and Delete.
    for (const char* key : {"Down", "Delete"}) {
        Shell(std::string("xdotool key ") + key + " 2>/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    auto question = probe.WaitFor(
        [](const ProbeWindow& w) { return w.Find("button", "Да") || w.Find("button", "Yes"); }, 30);
    ASSERT_TRUE(question) << probe.Describe();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::filesystem::path shot = Screenshot("question.png");
    EXPECT_EQ(question->SortedTexts("button"), (std::vector<std::string>{"Да", "Нет"})) << question->Describe();
    const auto icons = question->Images(32);
    ASSERT_EQ(icons.size(), 1u) << question->Describe();
    EXPECT_GT(kelm::test::ColoursAt(shot, icons[0]), 8) << "no icon drawn in " << shot;
    const kelm::test::ProbeItem* no = question->Find("button", "Нет");
    ASSERT_NE(no, nullptr);
    kelm::test::ClickItem(*no);
    EXPECT_TRUE(probe.WaitUntilGone([](const ProbeWindow& w) { return w.Find("button", "Нет"); }, 10));
    EXPECT_EQ(groups(), groupsBefore);

    Shell("xdotool windowfocus --sync " + id + " key ctrl+o 2>/dev/null");
    auto chooser = probe.WaitForButton("Открыть файл", "Отменить", 30);
    ASSERT_TRUE(chooser) << probe.Describe();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Screenshot("file-open.png");
    EXPECT_NE(chooser->Find("button", "Открыть"), nullptr) << chooser->Describe();
    EXPECT_NE(chooser->Find("label", "Домашняя папка"), nullptr) << chooser->Describe();
    EXPECT_NE(chooser->Find("button", "Имя"), nullptr) << chooser->Describe();
    kelm::test::ClickItem(*chooser->Find("button", "Отменить"));
    EXPECT_TRUE(probe.WaitUntilGone([](const ProbeWindow& w) { return w.title == "Открыть файл"; }, 10));
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
