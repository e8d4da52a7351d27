// The suite as a user installs it: cmake --install into a staging folder
// (DESTDIR) for a prefix with a blank in it, the build tree left as it is,
// and the programs started from the staged prefix: Dorvik installs the
// staged demo kit, Tarnwick opens on the database, start shows the kit's
// launcher. setup installs the client kit of a prefix installed in place,
// and the uninstaller it copies removes it again. cpack makes the Debian
// package of the same rules.
#include "tests/setup/sandbox.h"
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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>


namespace fs = std::filesystem;
using kelm::test::readFile;
using kelm::test::ShellOutput;
using kelm::test::TempDir;

namespace {

const std::string kPrefix = "/opt/Kelm Suite";
const std::string kBuild = KELM_BUILD_DIR;
const std::string kLibDir = KELM_INSTALL_LIBDIR;
const std::string kKitDir = KELM_INSTALL_KITDIR;
const std::vector<std::string> kPrograms = {"tarnwick", "dorvik", "setup", "uninstall", "start", "sqlmaint",
                                            "dorvik-pack"};
const std::vector<std::string> kLibraries = {
    "libplatform-winapi.so", "libplatform-odbcbase.so", "libplatform-afx.so", "libplatform-ado.so", "libplatform-dmo.so", "libplatform-diagram.so",
    "libquillmark.so",       "liborvoodbc.so",     "libtarnwick-charts.so", "libuninstall-ui.so"};

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command line; its exit status, its output (both streams) in `output`.
int Sh(const std::string& command, std::string* output = nullptr)
{
    static TempDir scratch;
    const fs::path file = scratch / "output.txt";
    int rc = std::system((command + " >" + Quote(file.string()) + " 2>&1").c_str());
    if (output)
        *output = readFile(file);
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string Psql(const std::string& db, const std::string& sql)
{
    std::string out = ShellOutput("psql -X -A -t -q -d " + Quote(db) + " -c " + Quote(sql) + " 2>&1");
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// The RUNPATH of an ELF file ("" when it has none or is no ELF file).
std::string RunPath(const fs::path& file)
{
    const std::string out = ShellOutput("readelf -d " + Quote(file.string()) + " 2>/dev/null");
    const std::string label = "(RUNPATH)";
    std::size_t at = out.find(label);
    if (at == std::string::npos || (at = out.find('[', at)) == std::string::npos)
        return "";
    return out.substr(at + 1, out.find("]\n", at) - at - 1);
}

// The value of `key` in an INI or desktop file's text (first occurrence).
std::string Value(const std::string& text, const std::string& key, std::size_t from = 0)
{
    std::size_t at = text.find("\n" + key + "=", from);
    if (at == std::string::npos)
        return "";
    at += key.size() + 2;
    return text.substr(at, text.find('\n', at) - at);
}

void Screenshot(const std::string& name)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    fs::path out = fs::path(KELM_TEST_OUTPUT) / "install_test";
    fs::create_directories(out);
    ShellOutput("import -window root " + Quote((out / name).string()));
    EXPECT_TRUE(fs::exists(out / name));
    std::printf("screenshot: %s\n", (out / name).c_str());
}

// A program started with extra environment variables, ended at the end.
class Program {
public:
    Program(const fs::path& program, const std::vector<std::string>& args, std::vector<std::string> env)
        : m_env(std::move(env))
    {
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<char*> envp = kelm::test::EnvironmentWith(m_env);
        if (posix_spawn(&m_pid, cargv[0], nullptr, nullptr, cargv.data(), envp.data()) != 0)
            m_pid = 0;
    }
    ~Program()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
    pid_t pid() const { return m_pid; }
    bool Running() const
    {
        int status = 0;
        return m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == 0;
    }

    // The line of the window tree for a viewable window whose name holds
    // `caption` and for which `ready` holds; "" when none came in time.
    std::string WaitWindow(const std::string& caption, const std::function<bool()>& ready = [] { return true; }) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && Running()) {
            std::string tree = ShellOutput("xwininfo -root -tree 2>/dev/null");
            std::size_t at = tree.find("\"" + caption);
            if (at != std::string::npos) {
                std::size_t begin = tree.rfind('\n', at) + 1;
                std::string line = tree.substr(begin, tree.find('\n', at) - begin);
                if (line.find(" 1x1+") == std::string::npos && ready())
                    return line;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }

    // The suite's libraries the process has mapped, by their paths.
    std::vector<std::string> SuiteLibraries() const
    {
        std::vector<std::string> found;
        std::istringstream maps(readFile("/proc/" + std::to_string(m_pid) + "/maps"));
        std::string line;
        while (std::getline(maps, line)) {
            std::size_t slash = line.find('/');
            if (slash == std::string::npos)
                continue;
            std::string path = line.substr(slash);
            for (const auto& lib : kLibraries)
                if (fs::path(path).filename() == lib && std::find(found.begin(), found.end(), path) == found.end())
                    found.push_back(path);
        }
        return found;
    }

private:
    std::vector<std::string> m_env;
    pid_t m_pid = 0;
};

// The tree staged once for every test here: DESTDIR=<root>, prefix kPrefix.
class StagedInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_root = new TempDir;
        s_status = Sh(Install());
    }
    static void TearDownTestSuite()
    {
        delete s_root;
        s_root = nullptr;
    }
    static std::string Install()
    {
        return "DESTDIR=" + Quote((s_root->path() / "stage").string()) + " " + Quote(CMAKE_BIN) + " --install " +
               Quote(kBuild) + " --prefix " + Quote(kPrefix);
    }
    void SetUp() override { ASSERT_EQ(s_status, 0) << Install(); }

    static fs::path Stage() { return s_root->path() / "stage"; }
    static fs::path Prefix() { return Stage() / kPrefix.substr(1); }
    static fs::path Kit() { return Prefix() / kKitDir; }
    static fs::path Bin(const std::string& program) { return Prefix() / "bin" / program; }

    // Every staged program and library is started from the stage and finds
    // the suite's libraries there, never in the build tree.
    static void ExpectLoadedFromStage(const Program& program, std::size_t atLeast)
    {
        auto libraries = program.SuiteLibraries();
        EXPECT_GE(libraries.size(), atLeast);
        for (const auto& lib : libraries)
            EXPECT_EQ(lib.rfind((Prefix() / kLibDir).string() + "/", 0), 0u) << lib;
    }

    static TempDir* s_root;
    static int s_status;
};
TempDir* StagedInstall::s_root = nullptr;
int StagedInstall::s_status = -1;

} // namespace

TEST_F(StagedInstall, HoldsTheProgramsLibrariesKitAndMenuEntriesAndNamesNoBuildFolder)
{
    for (const auto& program : kPrograms) {
        EXPECT_EQ(::access(Bin(program).c_str(), X_OK), 0) << program;
        EXPECT_EQ(RunPath(Bin(program)).rfind("$ORIGIN/", 0), 0u) << program << ": " << RunPath(Bin(program));
    }
    for (const auto& lib : kLibraries)
        EXPECT_EQ(RunPath(Prefix() / kLibDir / lib), "$ORIGIN") << lib;
    // The uninstaller that setup copies away finds the libraries by the
    // prefix's own folder, not the staging folder's.
    EXPECT_EQ(RunPath(Bin("uninstall")), "$ORIGIN/../" + kLibDir + ":" + kPrefix + "/" + kLibDir);

    // No staged file names the build tree or the staging folder.
    for (const auto& entry : fs::recursive_directory_iterator(Stage())) {
        if (!entry.is_regular_file())
            continue;
        const std::string path = entry.path().string();
        EXPECT_EQ(RunPath(path).find(kBuild), std::string::npos) << path;
        if (entry.path().extension() == ".ini" || entry.path().extension() == ".desktop") {
            std::string text = readFile(entry.path());
            EXPECT_EQ(text.find(kBuild), std::string::npos) << path;
            EXPECT_EQ(text.find(Stage().string()), std::string::npos) << path;
        }
    }

    for (const char* name : {"dorvik.ini", "patch.ini", "patch.pak", "README", "client/App.ini",
                             "client/app/License_agr.txt", "start/start.png"})
        EXPECT_TRUE(fs::is_regular_file(Kit() / name)) << name;
    EXPECT_EQ(::access((Kit() / "client/orvo-client/OrvoExec").c_str(), X_OK), 0);
    const std::string start = readFile(Kit() / "Start.ini");
    EXPECT_EQ(Value(start, "CommandText"), kPrefix + "/bin/dorvik") << start;
    EXPECT_EQ(Value(start, "ParamText"), "/opt/Kelm\\ Suite/" + kKitDir + "/dorvik.ini") << start;
    EXPECT_EQ(Value(start, "CommandText", start.find("[Button2]")), kPrefix + "/bin/setup") << start;
    EXPECT_EQ(Value(start, "ParamText", start.find("[Button2]")), "/opt/Kelm\\ Suite/" + kKitDir + "/client");

    const fs::path apps = Prefix() / "share/applications";
    const struct {
        const char* file;
        std::string exec;
        const char* icon;
        const char* iconFile;
    } entries[] = {
        {"kelm.tarnwick.desktop", "\"" + kPrefix + "/bin/tarnwick\"", "kelm-tarnwick", "scalable/apps/kelm-tarnwick.svg"},
        {"kelm.dorvik.desktop", "\"" + kPrefix + "/bin/dorvik\" \"" + kPrefix + "/" + kKitDir + "/dorvik.ini\"",
         "kelm-dorvik", "32x32/apps/kelm-dorvik.png"},
        {"kelm.start.desktop", "\"" + kPrefix + "/bin/start\" \"" + kPrefix + "/" + kKitDir + "/Start.ini\"",
         "kelm-start", "scalable/apps/kelm-start.svg"},
    };
    for (const auto& e : entries) {
        std::string text = readFile(apps / e.file);
        EXPECT_EQ(Value(text, "Exec"), e.exec) << e.file;
        EXPECT_EQ(Value(text, "Icon"), e.icon) << e.file;
        std::string output;
        EXPECT_EQ(Sh("desktop-file-validate " + Quote((apps / e.file).string()), &output), 0) << output;
        EXPECT_TRUE(fs::is_regular_file(Prefix() / "share/icons/hicolor" / e.iconFile)) << e.iconFile;
    }
    EXPECT_TRUE(fs::is_regular_file(Prefix() / "share/doc/kelm/copyright"));
    EXPECT_EQ(Sh("gzip -t " + Quote((Prefix() / "share/doc/kelm/changelog.gz").string())), 0);
}

TEST_F(StagedInstall, DorvikInstallsTheStagedKitAndTarnwickOpensOnIt)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    const std::string db = "kelm_install_" + std::to_string(::getpid());
    struct Cleanup {
        std::string db;
        ~Cleanup()
        {
            Psql("postgres", "DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
            Psql("postgres", "DELETE FROM pgagent.pga_job WHERE jobname LIKE '%''" + db + "''%'");
        }
    } cleanup{db};
    std::string ini = readFile(Kit() / "dorvik.ini");
    const std::string key = "DataBase=kelm_demo\n";
    ASSERT_NE(ini.find(key), std::string::npos);
    ini.replace(ini.find(key), key.size(), "DataBase=" + db + "\n");
    std::ofstream(Kit() / "dorvik.ini", std::ios::binary | std::ios::trunc) << ini;
    TempDir home;
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all);
    const std::string env = "XDG_DOCUMENTS_DIR=" + Quote((home / "Documents").string()) +
                            " XDG_RUNTIME_DIR=" + Quote((home / "runtime").string());

    // As the kit's README says: from the kit's folder, the INI by its full path.
    std::string output;
    ASSERT_EQ(Sh("cd " + Quote(Kit().string()) + " && " + env + " timeout 300 " + Quote(Bin("dorvik").string()) +
                     " -quite \"$PWD/dorvik.ini\"",
                 &output),
              0)
        << output << readFile(home / "Documents/Varnholt Inc/Orvo-Dorvik.log");
    EXPECT_EQ(Psql(db, "SELECT count(*) FROM prodgroupoperate"), "3");

    // The maintenance job runs the staged sqlmaint, beside the staged dorvik,
    // and still does after the same prefix is installed again.
    const std::string code = Psql("postgres", "SELECT s.jstcode FROM pgagent.pga_jobstep s JOIN pgagent.pga_job j ON "
                                              "j.jobid = s.jstjobid WHERE s.jstname = '002 Integrity Checks' AND "
                                              "j.jobname LIKE '%''" + db + "''%'");
    EXPECT_NE(code.find(Quote(Bin("sqlmaint").string()) + " "), std::string::npos) << code;
    ASSERT_EQ(Sh(Install(), &output), 0) << output;
    std::ofstream(home / "step.sh", std::ios::trunc) << code << "\n";
    EXPECT_EQ(Sh("sh " + Quote((home / "step.sh").string()), &output), 0) << code << "\n" << output;

    TempDir odbc;
    const char* sysini = std::getenv("ODBCSYSINI");
    ASSERT_NE(sysini, nullptr);
    odbc.write("odbcinst.ini", readFile(fs::path(sysini) / "odbcinst.ini"));
    odbc.write("odbc.ini", "[KelmInstallTest]\nDriver=PostgreSQL Unicode\nServername=" + kelm::test::PgHost() +
                               "\nPort=" + kelm::test::PgPort() + "\nDatabase=" + db + "\n");
    odbc.write("user-odbc.ini", "");
    Program tarnwick(Bin("tarnwick"), {"-d:KelmInstallTest"},
                     {"ODBCSYSINI=" + odbc.path().string(), "ODBCINI=" + (odbc / "user-odbc.ini").string(),
                      "XDG_CONFIG_HOME=" + (home / "config").string(), "XDG_DATA_HOME=" + (home / "data").string(),
                      "XDG_RUNTIME_DIR=" + (home / "runtime").string()});
    auto connected = [&] {
        return Psql("postgres", "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + db + "'") != "0" &&
               ShellOutput("xwininfo -root -tree 2>/dev/null").find("\"Kelm Tarnwick\"") == std::string::npos;
    };
    std::string line = tarnwick.WaitWindow("Диаграммы", connected);
    ASSERT_FALSE(line.empty()) << "Tarnwick's main window did not come";
    EXPECT_EQ(line.find("только чтение"), std::string::npos) << line;
    ExpectLoadedFromStage(tarnwick, 5);
    Screenshot("tarnwick.png");
}

TEST_F(StagedInstall, StartShowsTheStagedKitsLauncher)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    Program start(Bin("start"), {(Kit() / "Start.ini").string()}, {});
    std::string line = start.WaitWindow("Kelm — комплект установки");
    ASSERT_FALSE(line.empty()) << "the launcher did not come";
    EXPECT_NE(line.find(" 640x420+"), std::string::npos) << line;
    ExpectLoadedFromStage(start, 1);

    // It shows the staged kit's picture.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TempDir dir;
    const std::string window = line.substr(line.find("0x"), line.find(' ', line.find("0x")) - line.find("0x"));
    ASSERT_EQ(Sh("import -window " + window + " " + Quote((dir / "window.png").string())), 0);
    wxInitializer wx;
    wxInitAllImageHandlers();
    wxImage shown(wxString::FromUTF8((dir / "window.png").string()));
    wxImage picture(wxString::FromUTF8((Kit() / "start/start.png").string()));
    ASSERT_TRUE(shown.IsOk() && picture.IsOk());
    for (wxPoint p : {wxPoint(320, 60), wxPoint(100, 120), wxPoint(600, 30)})
        EXPECT_EQ(std::make_tuple(shown.GetRed(p.x, p.y), shown.GetGreen(p.x, p.y), shown.GetBlue(p.x, p.y)),
                  std::make_tuple(picture.GetRed(p.x, p.y), picture.GetGreen(p.x, p.y), picture.GetBlue(p.x, p.y)))
            << p.x << "," << p.y;
    Screenshot("start.png");
}

TEST(InstallPackage, CpackMakesADebianPackageOfTheSameLayoutForUsr)
{
    TempDir dir;
    std::string output;
    ASSERT_EQ(Sh(Quote(CPACK_BIN) + " -G DEB --config " + Quote(kBuild + "/CPackConfig.cmake") + " -B " +
                     Quote(dir.path().string()),
                 &output),
              0)
        << output;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    ASSERT_FALSE(deb.empty()) << output;
    EXPECT_EQ(deb.filename().string().rfind("kelm_", 0), 0u) << deb;

    std::string contents;
    ASSERT_EQ(Sh("dpkg-deb -c " + Quote(deb.string()), &contents), 0) << contents;
    for (const std::string& path : std::vector<std::string>{"./usr/bin/tarnwick", "./usr/bin/dorvik", "./usr/bin/setup", "./usr/bin/uninstall", "./usr/bin/start",
          "./usr/bin/sqlmaint", "./usr/bin/dorvik-pack", "./usr/" + kLibDir + "/libplatform-winapi.so",
          "./usr/" + kLibDir + "/libuninstall-ui.so", "./usr/" + kKitDir + "/dorvik.ini",
          "./usr/" + kKitDir + "/Start.ini", "./usr/" + kKitDir + "/client/App.ini",
          "./usr/share/applications/kelm.tarnwick.desktop", "./usr/share/icons/hicolor/scalable/apps/kelm-tarnwick.svg",
          "./usr/share/doc/kelm/copyright", "./usr/share/doc/kelm/changelog.gz"})
        EXPECT_NE(contents.find(" " + path + "\n"), std::string::npos) << path;
    // The programs and nothing else of the build tree's.
    std::size_t programs = 0;
    for (std::size_t at = contents.find(" ./usr/bin/"); at != std::string::npos; at = contents.find(" ./usr/bin/", at + 1))
        ++programs;
    EXPECT_EQ(programs, 1 + kPrograms.size()) << contents;

    std::string depends;
    ASSERT_EQ(Sh("dpkg-deb -f " + Quote(deb.string()) + " Depends", &depends), 0);
    for (const char* package : {"libwxgtk3.2-1", "libodbc2", "libpq5", "postgresql-client-15", "odbc-postgresql"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;

    // Written for /usr, where the package installs.
    ASSERT_EQ(Sh("dpkg-deb -x " + Quote(deb.string()) + " " + Quote((dir / "x").string())), 0);
    std::string start = readFile(dir / "x/usr" / kKitDir / "Start.ini");
    EXPECT_EQ(Value(start, "CommandText"), "/usr/bin/dorvik") << start;
    EXPECT_EQ(Value(readFile(dir / "x/usr/share/applications/kelm.start.desktop"), "Exec"),
              "\"/usr/bin/start\" \"/usr/" + kKitDir + "/Start.ini\"");
    EXPECT_EQ(RunPath(dir / "x/usr/bin/uninstall"), "$ORIGIN/../" + kLibDir + ":/usr/" + kLibDir);
}

// setup of a prefix installed in place copies that prefix's uninstaller
// into the application's folder, and the copy runs from there.
TEST(InstalledInPlace, SetupInstallsTheClientKitAndItsUninstallerCopyRemovesIt)
{
    TempDir dir;
    const fs::path prefix = dir / "Kelm Suite";
    std::string output;
    ASSERT_EQ(Sh(Quote(CMAKE_BIN) + " --install " + Quote(kBuild) + " --prefix " + Quote(prefix.string()), &output), 0)
        << output;

    kelm::test::SetupSandbox box; // every folder and registry root moved into a temporary folder
    box.RegisterClient();
    ASSERT_EQ(kelm::test::SetupSandbox::Run({(prefix / "bin/setup").string(), "-s", (prefix / kKitDir / "client").string()}),
              0)
        << box.LogText();
    const std::string folder = box.InstallFolder();
    ASSERT_TRUE(fs::exists(folder + "/uninstall"));
    EXPECT_EQ(readFile(folder + "/uninstall"), readFile(prefix / "bin/uninstall"));
    EXPECT_EQ(RunPath(folder + "/uninstall"), "$ORIGIN/../" + kLibDir + ":" + (prefix / kLibDir).string());
    EXPECT_TRUE(fs::exists(box.Group() + "/Tarnwick.desktop"));

    ASSERT_EQ(kelm::test::SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    // The uninstaller's temporary copy removes the folder once it has ended.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fs::exists(folder) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(box.Group()));
    EXPECT_TRUE(fs::exists(prefix / "bin/uninstall"));
}
