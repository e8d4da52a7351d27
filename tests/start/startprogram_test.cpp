// The start program as a user starts it: it reads Start.ini beside it or the
// one its argument names, shows the picture's window, and ends with status
// 1 and one line on stderr when there is nothing to show.
#include "tests/common/gtkprobe.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/init.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

extern char** environ;

using kelm::test::ShellOutput;
using kelm::test::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs start with `arg` and waits for it to end.
Outcome RunToEnd(const std::string& arg, const TempDir& dir)
{
    std::string errFile = (dir.path() / "stderr.txt").string();
    Outcome r;
    std::string cmd = "'" START_BIN "' '" + arg + "' 2>'" + errFile + "'";
    int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.err = kelm::test::readFile(errFile);
    return r;
}

} // namespace

TEST(StartProgram, NothingToShowEndsWithStatusOne)
{
    TempDir dir;
    auto noMain = dir.write("NoMain.ini", "[Button1]\nType=Close\n");
    auto badPicture = dir.write("Bad.ini", "[Main]\nBitmap=missing.png\n");
    dir.write("broken.png", "not a picture");
    auto brokenPicture = dir.write("Broken.ini", "[Main]\nBitmap=broken.png\n");
    for (const auto& ini : {noMain, badPicture, brokenPicture, dir.path() / "None.ini"}) {
        Outcome r = RunToEnd(ini.string(), dir);
        EXPECT_EQ(r.status, 1) << ini;
        EXPECT_NE(r.err.find("start: "), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Each says what is wrong: a file without [Main], a file that is not there.
    EXPECT_EQ(RunToEnd(noMain.string(), dir).err, "start: " + noMain.string() + " has no [Main] section\n");
    const std::string none = (dir.path() / "None.ini").string();
    EXPECT_EQ(RunToEnd(none, dir).err, "start: " + none + " does not exist\n");
}

// Starts start on `ini` and waits until a window whose line in the window
// tree holds `caption` is viewable; returns that line ("" on time-out).
std::string ShowWindow(const std::string& ini, const std::string& caption, pid_t& pid)
{
    std::string iniPath = ini;
    char* argv[] = {const_cast<char*>(START_BIN), iniPath.data(), nullptr};
    if (posix_spawn(&pid, START_BIN, nullptr, nullptr, argv, environ) != 0)
        return "";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != 0)
            return "";
        std::string tree = ShellOutput("xwininfo -root -tree 2>/dev/null");
        std::size_t at = tree.find("\"" + caption + "\"");
        if (at != std::string::npos) {
            std::size_t begin = tree.rfind('\n', at) + 1;
            std::string line = tree.substr(begin, tree.find('\n', at) - begin);
            if (line.find(" 1x1+") == std::string::npos)
                return line;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

void Screenshot(const std::string& name)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "start_program_test";
    std::filesystem::create_directories(out);
    ShellOutput("import -window root '" + (out / name).string() + "'");
    EXPECT_TRUE(std::filesystem::exists(out / name));
    std::printf("screenshot: %s\n", (out / name).c_str());
}

void Stop(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

TEST(StartProgram, OpensTheDemoKitLauncher)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    pid_t pid = 0;
    std::string line = ShowWindow(std::string(KELM_DEMO_KIT) + "/Start.ini", "Kelm — комплект установки", pid);
    EXPECT_NE(line.find(" 640x420+"), std::string::npos) << line;
    Screenshot("demo-kit.png");
    Stop(pid);
}

TEST(StartProgram, ShowsThePictureWindowAndEndsOnSignal)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    TempDir dir;
    {
        wxInitializer wx; // image handlers only; no display needed
        wxInitAllImageHandlers();
        wxImage image(320, 200);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                image.SetRGB(x, y, static_cast<unsigned char>(x * 255 / 320), 120, static_cast<unsigned char>(y));
        ASSERT_TRUE(image.SaveFile(wxString::FromUTF8((dir.path() / "Стартовая картинка.png").string())));
    }
    auto ini = dir.write("Start.ini", "[Main]\nBitmap=Стартовая картинка.png\nCaption=Kelm start test\n"
                                      "[Button1]\nType=Close\nPointBegin=10,10\nPointEnd=110,40\n");
    pid_t pid = 0;
    std::string line = ShowWindow(ini.string(), "Kelm start test", pid);
    EXPECT_NE(line.find(" 320x200+"), std::string::npos) << line;
    Screenshot("start.png");
    Stop(pid);
}

// A command that cannot be opened is told in a box whose button is the
// toolkit's Russian, with the error icon drawn.
TEST(StartProgram, ItsErrorBoxIsRussianWithItsIcon)
{
    using kelm::test::ProbeWindow;
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    TempDir dir;
    {
        wxInitializer wx;
        wxInitAllImageHandlers();
        wxImage image(320, 200);
        image.SetRGB(wxRect(0, 0, 320, 200), 40, 90, 160);
        ASSERT_TRUE(image.SaveFile(wxString::FromUTF8((dir.path() / "start.png").string())));
    }
    auto ini = dir.write("Start.ini", "[Main]\nBitmap=start.png\nCaption=Kelm start test\n"
                                      "[Button1]\nType=Command\nCommandText=" + (dir.path() / "missing").string() +
                                          "\nPointBegin=10,10\nPointEnd=110,40\n");
    kelm::test::GtkProbe probe;
    probe.Export();
    pid_t pid = 0;
    const std::string shown = ShowWindow(ini.string(), "Kelm start test", pid);
    kelm::test::EndsWithTheTest ends(pid);
    ASSERT_NE(shown, "");
    auto window = probe.WaitFor([](const ProbeWindow& w) { return w.title == "Kelm start test"; }, 30);
    ASSERT_TRUE(window) << probe.Describe();
    ShellOutput("xdotool mousemove --sync " + std::to_string(window->x + 60) + " " + std::to_string(window->y + 25) +
                " click 1 2>/dev/null");
    auto box = probe.WaitFor([](const ProbeWindow& w) { return !w.items.empty(); }, 30);
    ASSERT_TRUE(box) << probe.Describe();
    Screenshot("error-box.png");
    const std::string shot = (std::filesystem::path(KELM_TEST_OUTPUT) / "start_program_test" / "error-box.png").string();
    EXPECT_EQ(box->Texts("button"), (std::vector<std::string>{"ОК"})) << box->Describe();
    const auto icons = box->Images(32);
    ASSERT_EQ(icons.size(), 1u) << box->Describe();
    EXPECT_GT(kelm::test::ColoursAt(shot, icons[0]), 8) << "no icon drawn in " << shot;
    ASSERT_NE(box->Find("button", "ОК"), nullptr);
    kelm::test::ClickItem(*box->Find("button", "ОК"));
    EXPECT_TRUE(probe.WaitUntilGone([](const ProbeWindow& w) { return !w.items.empty(); }, 10));
    Stop(pid);
}
