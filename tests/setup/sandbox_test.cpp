// setup and uninstall end to end in a sandbox: the real programs install
// the demo client kit, install it again over itself and remove it.
#include "tests/setup/sandbox.h"

#include "resources/setup/setupstrings.h"
#include "setup/appini.h"
#include "setup/setupapp.h"
#include "winapi/process.h"
#include "winapi/settings/registry.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <optional>
#include <fstream>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using kelm::test::readFile;
using kelm::test::ScopedEnv;
using kelm::test::SetupSandbox;

namespace {

const std::string kGuidKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1C2B7A-3D4E-4A5B-9C8D-0E1F2A3B4C5D}";

std::map<std::string, std::string> DesktopEntry(const std::string& path)
{
    std::map<std::string, std::string> entry;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (auto eq = line.find('='); eq != std::string::npos)
            entry[line.substr(0, eq)] = line.substr(eq + 1);
    return entry;
}

// name -> driver description, as the driver manager lists data sources.
std::map<std::string, std::string> DataSources()
{
    std::map<std::string, std::string> sources;
    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[256], description[256];
    SQLSMALLINT n1 = 0, n2 = 0;
    for (SQLUSMALLINT dir = SQL_FETCH_FIRST_SYSTEM;
         SQL_SUCCEEDED(SQLDataSources(env, dir, name, sizeof name, &n1, description, sizeof description, &n2));
         dir = SQL_FETCH_NEXT)
        sources[reinterpret_cast<char*>(name)] = reinterpret_cast<char*>(description);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return sources;
}

// Every BEGIN LOG has its END LOG, blocks nest and none is left open.
void ExpectBlocksIntact(const std::string& log, int blocks)
{
    int depth = 0, begun = 0;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("BEGIN LOG", 0) == 0) {
            ++depth;
            ++begun;
        } else if (line.rfind("END LOG", 0) == 0) {
            EXPECT_GT(depth, 0);
            --depth;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(begun, blocks);
}

TEST(SetupSandboxRun, SilentInstallReinstallAndRemoval)
{
    SetupSandbox box;
    box.RegisterClient();
    const std::string folder = box.InstallFolder();

    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    for (const char* name : {"License_agr.txt", "kelm.svg", "App.ini", "Files.dat", "uninstall"})
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    EXPECT_EQ(readFile(folder + "/Files.dat"), "kelm.svg\r\nLicense_agr.txt\r\nApp.ini\r\n");
    EXPECT_EQ(readFile(folder + "/App.ini"), readFile(box.Kit() + "/App.ini"));

    auto entry = DesktopEntry(box.Group() + "/Tarnwick.desktop");
    EXPECT_EQ(entry["Type"], "Application");
    EXPECT_EQ(entry["Name"], "Tarnwick");
    EXPECT_EQ(entry["Exec"], box.ClientFolder() + "/OrvoExec -d:KelmDemo");
    EXPECT_EQ(entry["Icon"], folder + "/kelm.svg");
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        EXPECT_EQ(SetupSandbox::Run({"/usr/bin/desktop-file-validate", box.Group() + "/Tarnwick.desktop"}), 0);
    }

    std::vector<std::string> names;
    std::map<std::string, std::string> texts;
    for (const auto& value : winapi::RegEnumValues(winapi::HKEY_LOCAL_MACHINE, kGuidKey)) {
        names.push_back(value.name);
        if (value.type == winapi::REG_SZ) {
            texts[value.name] = std::string(value.data.begin(), value.data.end() - 1);
        } else {
            EXPECT_EQ(value.data, (std::vector<BYTE>{1, 0, 0, 0})) << value.name;
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DisplayIcon", "DisplayName", "DisplayVersion", "InstallLocation",
                                               "ProductGuid", "HelpLink", "Publisher", "NoModify", "NoRepair",
                                               "UninstallString"}));
    EXPECT_EQ(texts["InstallLocation"], folder);
    EXPECT_EQ(texts["UninstallString"], folder + "/uninstall");
    EXPECT_EQ(texts["DisplayIcon"], folder + "/kelm.svg");
    EXPECT_EQ(texts["DisplayName"], "Kelm Tarnwick");
    EXPECT_EQ(texts["ProductGuid"], "{6F1C2B7A-3D4E-4A5B-9C8D-0E1F2A3B4C5D}");

    EXPECT_EQ(DataSources()["KelmDemo"], "PostgreSQL Unicode");
    EXPECT_NE(box.OdbcIni().find("Database=kelm_demo"), std::string::npos);
    EXPECT_EQ(box.OdbcIni().find("Servername"), std::string::npos);

    // A file the user put there is not the installation's.
    std::ofstream(folder + "/notes.txt") << "mine";
    // A second installation removes the first through its uninstaller.
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    EXPECT_TRUE(fs::exists(folder + "/uninstall"));
    EXPECT_TRUE(fs::exists(folder + "/notes.txt"));
    ExpectBlocksIntact(box.LogText(), 3);

    ASSERT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    for (const char* name : {"License_agr.txt", "kelm.svg", "App.ini", "Files.dat", "uninstall"})
        EXPECT_FALSE(fs::exists(folder + "/" + name)) << name;
    EXPECT_TRUE(fs::exists(folder + "/notes.txt"));
    EXPECT_FALSE(fs::exists(box.Group()));
    winapi::RegKey key;
    EXPECT_EQ(winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_READ, key), 2);

    // Without the stray file the folder and its empty parents go too, up to
    // the Program Files folder itself.
    fs::remove(folder + "/notes.txt");
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0);
    ASSERT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
    EXPECT_TRUE(fs::exists(box.ProgramFiles()));
    ExpectBlocksIntact(box.LogText(), 6);
    std::string log = box.LogText();
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;
    EXPECT_NE(log.find("VER_SETUP"), std::string::npos);
}

TEST(SetupSandboxRun, FailuresEndWithTheirStatusAndLeaveNothingBehind)
{
    SetupSandbox box;
    // No client part registered: message 153, status 2.
    EXPECT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 2);
    EXPECT_NE(box.LogText().find("клиентской части"), std::string::npos);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));

    // An uninstaller with nothing installed fails, and deletes nothing.
    EXPECT_EQ(SetupSandbox::Run({UNINSTALL_BIN, "-s"}), 2);
    EXPECT_TRUE(fs::exists(UNINSTALL_BIN));

    // Without a display the wizard cannot be shown.
    ::setenv("DISPLAY", ":9999", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    box.RegisterClient();
    EXPECT_EQ(SetupSandbox::Run({SETUP_BIN, box.Kit()}), 2);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
}

TEST(SetupSandboxRun, TheTemporaryCopyRoleDeletesNothingButATemporaryCopyOfItself)
{
    SetupSandbox box;
    ScopedEnv env;
    const std::string temp = (box.Dir() / "tmp").string();
    fs::create_directories(temp);
    env.set("TMPDIR", temp);

    // A copy in the temporary folder under the program's own name goes,
    // once the process it was given has ended.
    const std::string copy = temp + "/uninstall";
    fs::copy_file(UNINSTALL_BIN, copy);
    auto sleeper = winapi::Spawn({"/bin/sleep", "1"});
    ASSERT_TRUE(sleeper);
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, *sleeper, 0));
    ASSERT_GE(pidfd, 0);
    auto run = winapi::Spawn({UNINSTALL_BIN, "-h:3", "-o:" + copy}, winapi::SpawnOptions{{{pidfd, 3}}});
    ::close(pidfd);
    ASSERT_TRUE(run);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(fs::exists(copy)); // still waiting for the sleeper
    EXPECT_EQ(winapi::WaitProcess(*sleeper), 0);
    EXPECT_EQ(winapi::WaitProcess(*run), 0);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_NE(box.LogText().find(kelm_setup::FormatText(kelm_uninstall::res::LoadString(139), {copy}) + "\r\n"),
              std::string::npos)
        << box.LogText();

    // Anything else stays, with the reason in the log: the installed
    // program (the role Windows needed), another file, one below the
    // temporary folder, a link.
    const std::string installed = box.ProgramFiles() + "/Varnholt Inc/App/1.0/uninstall";
    fs::create_directories(box.ProgramFiles() + "/Varnholt Inc/App/1.0");
    fs::copy_file(UNINSTALL_BIN, installed);
    box.Dir().write("tmp/notes.txt", "mine");
    box.Dir().write("tmp/sub/uninstall", "x");
    fs::create_symlink(installed, copy);
    for (const std::string& path : {installed, temp + "/notes.txt", temp + "/sub/uninstall", copy}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(SetupSandbox::Run({UNINSTALL_BIN, "-o:" + path}), 2);
        EXPECT_TRUE(fs::exists(fs::symlink_status(path)));
        EXPECT_NE(box.LogText().find(kelm_setup::FormatText(kelm_uninstall::res::LoadString(138),
                                                             {"uninstall", temp, path})),
                  std::string::npos);
    }
    EXPECT_TRUE(fs::exists(installed));
}

TEST(SetupSandboxRun, SetupKilledWhileCopyingLeavesNothingARerunAndUninstallDoNotRemove)
{
    SetupSandbox box;
    box.RegisterClient();
    {
        ScopedEnv env;
        env.set("LD_PRELOAD", KILL_COPY);
        env.set("KELM_KILL_IN_COPY", "2");
        const char* asan = std::getenv("ASAN_OPTIONS");
        env.set("ASAN_OPTIONS",
                std::string(asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0");
        EXPECT_NE(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0);
    }
    ASSERT_TRUE(fs::exists(box.InstallFolder())); // killed after the first file

    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    ASSERT_EQ(SetupSandbox::Run({box.InstallFolder() + "/uninstall", "-s"}), 0) << box.LogText();
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
}

bool MapsAny(const std::string& maps, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (maps.find(name) != std::string::npos)
            return true;
    return false;
}

TEST(SetupSandboxRun, ASilentRemovalNeverLoadsTheWindowToolkit)
{
    SetupSandbox box;
    box.RegisterClient();
    const std::string folder = box.InstallFolder();
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();

    const std::string maps = (box.Dir() / "maps").string();
    ScopedEnv env;
    env.set("LD_PRELOAD", MAPS_DUMP);
    env.set("KELM_MAPS_OUT", maps);
    // The preloaded library comes before the sanitizer's runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.set("ASAN_OPTIONS", std::string(asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0");

    // Asked to show its windows where there is no display, the program loads
    // them and the toolkit, fails and removes nothing: the map shows them.
    env.set("DISPLAY", ":9999");
    env.unset("WAYLAND_DISPLAY");
    EXPECT_EQ(SetupSandbox::Run({folder + "/uninstall"}), 2);
    std::string shown = readFile(maps);
    EXPECT_TRUE(MapsAny(shown, {"libuninstall-ui.so"})) << shown;
    EXPECT_TRUE(MapsAny(shown, {"libwx_"})) << shown;
    EXPECT_TRUE(fs::exists(folder + "/License_agr.txt"));

    fs::remove(maps);
    ASSERT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    std::string silent = readFile(maps);
    EXPECT_TRUE(MapsAny(silent, {"libplatform-winapi"})) << silent;
    EXPECT_FALSE(MapsAny(silent, {"libuninstall-ui.so", "libwx_", "libgtk", "libgdk", "libX11", "libcairo"}))
        << silent;
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
    EXPECT_FALSE(fs::exists(box.Group()));
}

TEST(SetupSandboxRun, AKitOnReadOnlyMediaIsInstalledAgainAndRemovedWhole)
{
    SetupSandbox box;
    box.RegisterClient();
    const std::string folder = box.InstallFolder();
    // The kit's copy folder carries its own uninstaller; every file and
    // folder of the kit is read-only, as on a disc.
    fs::copy_file(UNINSTALL_BIN, box.Kit() + "/app/uninstall");
    std::vector<fs::path> folders;
    for (const auto& entry : fs::recursive_directory_iterator(box.Kit())) {
        if (entry.is_directory())
            folders.push_back(entry.path());
        else
            fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
    }
    folders.push_back(box.Kit());
    for (const auto& path : folders)
        fs::permissions(path, fs::perms(0555));

    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    for (const char* name : {"License_agr.txt", "kelm.svg", "App.ini", "uninstall"})
        EXPECT_EQ(fs::status(folder + "/" + name).permissions() & fs::perms::owner_write, fs::perms::none) << name;

    // Installing again first removes the read-only copy through its own
    // uninstaller, then copies over the emptied folder.
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    ASSERT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
    EXPECT_EQ(box.LogText().find("FAILED"), std::string::npos) << box.LogText();
    // The kit is left as it was.
    EXPECT_TRUE(fs::exists(box.Kit() + "/app/License_agr.txt"));
    EXPECT_TRUE(fs::exists(box.Kit() + "/app/uninstall"));

    for (const auto& path : folders)
        fs::permissions(path, fs::perms(0755));
}

} // namespace
