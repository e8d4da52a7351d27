// The dorvik program as a user starts it: a quiet run of a small kit shows
// the main window and the progress dialog, writes its log and exits with
// its status; a second start exits 4 and raises the first.
#include "tests/common/gtkprobe.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <utility>
#include <vector>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using kelm::test::ShellOutput;

namespace {

pid_t Start(const std::vector<std::string>& args, const std::string& errFile = {})
{
    std::vector<char*> argv{const_cast<char*>(DORVIK_BIN)};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, DORVIK_BIN, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The exit status, or -1 when the program does not end in time.
int WaitExit(pid_t pid, std::chrono::seconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

class DorvikGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        ASSERT_NE(std::getenv("DISPLAY"), nullptr);
        std::filesystem::create_directories(home / "runtime");
        std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", (home.path() / "Documents").c_str(), 1);
        out = std::filesystem::path(KELM_TEST_OUTPUT) / "installer_dorvik_gui_test";
        std::filesystem::create_directories(out);
    }
    std::string Kit(const std::string& steps)
    {
        // Long enough that the second start comes while the first still runs,
        // however slowly a loaded machine starts the second program.
        kit.write("sleep.sql", "SELECT pg_sleep(12)");
        kit.write("ok.sql", "SELECT 1");
        return kit.write("dorvik.ini", "[MAINWINDOW]\nText1E=Kelm database\nText2E=Demo installation\n"
                                       "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() +
                                           "\nTrustedConnection=1\n"
                                           "[PATCHDB]\nSectionDescriptionE=Demo patch\n" + steps)
            .string();
    }
    std::string Log() { return kelm::test::readFile(home.path() / "Documents/Varnholt Inc/Orvo-Dorvik.log"); }

    kelm::test::TempDir home, kit;
    std::filesystem::path out;
};

} // namespace

TEST_F(DorvikGui, QuietRunShowsItsProgressAndASecondStartExitsFour)
{
    std::string ini = Kit("Step1=Script(postgres, sleep.sql)\nMsgE1=Waiting for the server\n");
    pid_t first = Start({"-quite", ini});
    ASSERT_GT(first, 0);
    bool shown = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        shown = ShellOutput("xwininfo -root -tree 2>/dev/null").find("Installation ...") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(shown);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::filesystem::remove(out / "quiet-run.png");
    ShellOutput("import -window root '" + (out / "quiet-run.png").string() + "'");
    EXPECT_TRUE(std::filesystem::exists(out / "quiet-run.png"));
    std::printf("screenshot: %s\n", (out / "quiet-run.png").c_str());

    std::string err = (home / "second.err").string();
    pid_t second = Start({"-quite", ini}, err);
    EXPECT_EQ(WaitExit(second, std::chrono::seconds(20)), 4);
    std::string line = kelm::test::readFile(err);
    EXPECT_NE(line.find("already running"), std::string::npos) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);

    EXPECT_EQ(WaitExit(first, std::chrono::seconds(60)), 0);
    std::string log = Log();
    EXPECT_NE(log.find("STEP  1 = Script(postgres, sleep.sql)"), std::string::npos) << log;
    EXPECT_NE(log.find("INSTALL STATUS : SUCCESS\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("BEGIN LOG"), log.rfind("BEGIN LOG")); // the second start wrote nothing
    EXPECT_NE(log.find("VER_DORVIK    =PRODUCT : "), std::string::npos) << log;
    EXPECT_NE(log.find("VER_DMO       =DMOLIBINFO : 8.0.0; PRODUCT : "), std::string::npos) << log;
}

TEST_F(DorvikGui, RunsThatEndAtOnceDoNotHang)
{
    struct Case {
        const char* steps;
        int status;
    } cases[] = {
        {"", 0},                                    // nothing to run
        {"Step1=Script(postgres, ok.sql)\n", 0},    // over before the dialog shows
        {"Step1=Script(postgres, none.sql)\n", 2},  // fails at once
    };
    for (const auto& c : cases) {
        pid_t pid = Start({"-QUITE", Kit(c.steps)});
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitExit(pid, std::chrono::seconds(30)), c.status) << c.steps;
    }
    // A missing INI in quiet mode fails without asking.
    pid_t pid = Start({(kit.path() / "missing.ini").string(), "-quite"});
    EXPECT_EQ(WaitExit(pid, std::chrono::seconds(30)), 2);
    EXPECT_NE(Log().find("Can not load data from ini-file !"), std::string::npos);
}

namespace {

// The program's top-level windows that the X server shows, by X id (hex,
// as xwininfo writes it) and name.
std::vector<std::pair<std::string, std::string>> ShownWindows(pid_t pid)
{
    std::vector<std::pair<std::string, std::string>> windows;
    std::istringstream ids(ShellOutput("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
    for (std::string id; std::getline(ids, id);) {
        std::string name = ShellOutput("xdotool getwindowname " + id + " 2>/dev/null");
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", std::stoul(id));
        windows.emplace_back(hex, name);
    }
    return windows;
}

// Whether window `a` stands above window `b` on the screen: xwininfo lists
// the root's children from the top down.
bool Above(const std::string& a, const std::string& b)
{
    std::string tree = ShellOutput("xwininfo -root -children 2>/dev/null");
    std::size_t atA = tree.find("\n     " + a + " "), atB = tree.find("\n     " + b + " ");
    return atA != std::string::npos && atB != std::string::npos && atA < atB;
}

} // namespace

// The wizard is a modal window over the full-screen frame. Put under the
// frame (as a click on the frame does with no window manager to keep it
// on top), it comes back to the front when Dorvik is started again.
TEST_F(DorvikGui, ASecondStartBringsTheWizardToTheFront)
{
    std::string ini = Kit("Step1=Script(postgres, ok.sql)\n");
    pid_t first = Start({ini});
    ASSERT_GT(first, 0);
    std::string frame, wizard;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((frame.empty() || wizard.empty()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (const auto& [id, name] : ShownWindows(first))
            (name == "Database Installer" ? frame : wizard) = id;
    }
    ASSERT_FALSE(frame.empty());
    ASSERT_FALSE(wizard.empty());
    ShellOutput("xdotool windowraise " + frame + " 2>/dev/null");
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Above(frame, wizard) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(Above(frame, wizard)) << ShellOutput("xwininfo -root -children");

    EXPECT_EQ(WaitExit(Start({ini}), std::chrono::seconds(20)), 4);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Above(wizard, frame) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Above(wizard, frame)) << ShellOutput("xwininfo -root -children");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::filesystem::remove(out / "second-start.png");
    ShellOutput("import -window root '" + (out / "second-start.png").string() + "'");
    std::printf("screenshot: %s\n", (out / "second-start.png").c_str());
    kill(first, SIGKILL);
    WaitExit(first, std::chrono::seconds(10));
}

// The toolkit's own words follow the language the start page chooses: the
// Cancel question, with its question icon, and the folder chooser of the
// database page speak English first and Russian once Russian is chosen. No
// keeps the wizard; Yes at last ends the run as cancelled.
TEST_F(DorvikGui, TheToolkitsWordsFollowTheLanguageOfTheStartPage)
{
    using kelm::test::ProbeWindow;
    kelm::test::GtkProbe probe;
    probe.Export();
    const std::filesystem::path data = kit.path() / "data";
    std::filesystem::create_directories(data);
    const std::string ini =
        kit.write("dorvik.ini",
                  "[START]\nCaptionE=Kelm test installation\nCaptionR=Тестовая установка Kelm\n"
                  "[LOGIN]\nCaptionE=Login\nCaptionR=Подключение\nServer=" + kelm::test::PgHost() + "," +
                      kelm::test::PgPort() + "\nTrustedConnection=1\n"
                  "[KELM_DORVIK]\nCaptionE=Kelm database\nCaptionR=База данных Kelm\nDataBase=kelm_language\n"
                  "PathData=" + data.string() + "\nPathData2=" + data.string() + "\nNeedDiskSpace=1M\n")
            .string();
    pid_t pid = Start({ini});
    ASSERT_GT(pid, 0);
    kelm::test::EndsWithTheTest ends(pid);
    auto shot = [&](const std::string& name) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        std::filesystem::remove(out / name);
        ShellOutput("import -window root '" + (out / name).string() + "'");
        std::printf("screenshot: %s\n", (out / name).c_str());
        return out / name;
    };
    struct Language {
        const char* name;
        const char* start;
        const char* login;
        const char* database;
        const char* next;
        const char* back;
        const char* cancel;
        std::vector<std::string> answers;
        const char* no;
        const char* chooser;
        std::vector<std::string> chooserButtons;
    } languages[] = {
        {"english", "Kelm test installation", "Login", "Kelm database", "Next >", "< Back", "Cancel",
         {"No", "Yes"}, "No", "Choose folder", {"Cancel", "OK"}},
        {"russian", "Тестовая установка Kelm", "Подключение", "База данных Kelm", "Далее >", "< Назад", "Отказ",
         {"Да", "Нет"}, "Нет", "Выбор каталога", {"ОК", "Отменить"}},
    };
    for (const Language& l : languages) {
        SCOPED_TRACE(l.name);
        ASSERT_TRUE(probe.Click(l.start, l.cancel, 60)) << probe.Describe();
        auto question = probe.WaitFor([&](const ProbeWindow& w) { return w.Find("button", l.no) != nullptr; }, 30);
        ASSERT_TRUE(question) << probe.Describe();
        const auto picture = shot("question-" + std::string(l.name) + ".png");
        EXPECT_EQ(question->SortedTexts("button"), l.answers) << question->Describe();
        const auto icons = question->Images(32);
        ASSERT_EQ(icons.size(), 1u) << question->Describe();
        EXPECT_GT(kelm::test::ColoursAt(picture, icons[0]), 8) << "no icon drawn in " << picture;
        ASSERT_TRUE(probe.Click(question->title, l.no));
        ASSERT_TRUE(probe.WaitUntilGone([&](const ProbeWindow& w) { return w.Find("button", l.no); }, 10));

        ASSERT_TRUE(probe.Click(l.start, l.next)) << probe.Describe();
        ASSERT_TRUE(probe.Click(l.login, l.next)) << probe.Describe();
        // A click while the page still settles may be lost: again until the chooser shows.
        std::optional<ProbeWindow> chooser;
        for (int attempt = 0; attempt < 4 && !chooser; ++attempt) {
            ASSERT_TRUE(probe.Click(l.database, "...", 60)) << probe.Describe();
            chooser = probe.WaitFor([&](const ProbeWindow& w) { return w.title == l.chooser; }, 10);
        }
        ASSERT_TRUE(chooser) << probe.Describe();
        shot("folder-chooser-" + std::string(l.name) + ".png");
        EXPECT_EQ(chooser->SortedTexts("button"), l.chooserButtons) << chooser->Describe();
        ASSERT_TRUE(probe.Click(l.chooser, l.chooserButtons[0])) << chooser->Describe();
        ASSERT_TRUE(probe.WaitUntilGone([&](const ProbeWindow& w) { return w.title == l.chooser; }, 10));

        ASSERT_TRUE(probe.Click(l.database, l.back));
        ASSERT_TRUE(probe.Click(l.login, l.back));
        if (std::string(l.name) == "english") {
            ASSERT_TRUE(probe.Click(l.start, "Russian")) << probe.Describe();
        }
    }
    ASSERT_TRUE(probe.Click("Тестовая установка Kelm", "Отказ"));
    ASSERT_TRUE(probe.Click("Dorvik", "Да")) << probe.Describe();
    // The outcome with its information icon, then the offer of the log.
    auto outcome = probe.WaitFor([](const ProbeWindow& w) { return w.Find("button", "ОК") != nullptr; }, 30);
    ASSERT_TRUE(outcome) << probe.Describe();
    const auto picture = shot("outcome-russian.png");
    const auto icons = outcome->Images(32);
    ASSERT_EQ(icons.size(), 1u) << outcome->Describe();
    EXPECT_GT(kelm::test::ColoursAt(picture, icons[0]), 8) << "no icon drawn in " << picture;
    kelm::test::ClickItem(*outcome->Find("button", "ОК"));
    auto offer = probe.WaitFor([](const ProbeWindow& w) { return w.Find("button", "Нет") != nullptr; }, 30);
    ASSERT_TRUE(offer) << probe.Describe();
    kelm::test::ClickItem(*offer->Find("button", "Нет"));
    EXPECT_EQ(WaitExit(pid, std::chrono::seconds(30)), 3);
}
