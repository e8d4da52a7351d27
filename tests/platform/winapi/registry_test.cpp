// The registry store, processes and desktop-entry shortcuts of the layer.
#include "winapi/errors.h"
#include "winapi/process.h"
#include "winapi/settings/registry.h"
#include "winapi/shelllink.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace winapi;
using kelm::test::TempDir;

namespace {

// The test binary doubles as a helper process: WINAPI_TEST_HELPER=parent
// starts a waiter with its own pidfd as descriptor 3 and ends at once;
// =waiter waits for that process, then writes its arguments and open
// descriptors to the file named by WINAPI_TEST_OUT.
const bool g_helper = [] {
    const char* role = std::getenv("WINAPI_TEST_HELPER");
    if (!role)
        return false;
    std::string out = std::getenv("WINAPI_TEST_OUT");
    if (std::string(role) == "parent") {
        int leaked = ::open("/dev/null", O_RDONLY); // not close-on-exec: must not reach the child
        int self = OpenSelfHandle();
        ::setenv("WINAPI_TEST_HELPER", "waiter", 1);
        auto pid = Spawn({"/proc/self/exe", "-h:3", "an argument with blanks"}, SpawnOptions{{{self, 3}}});
        (void)leaked;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::ofstream(out + ".parent-ended") << (pid ? "spawned" : "failed");
        ::_exit(pid ? 0 : 1);
    }
    std::string fds;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(dir))
            if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(dir))
                fds += std::string(e->d_name) + ",";
        ::closedir(dir);
    }
    WaitForProcessHandle(3);
    bool parentEnded = std::filesystem::exists(out + ".parent-ended");
    std::ifstream cmdline("/proc/self/cmdline");
    std::string args((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    std::ofstream(out + ".tmp") << (parentEnded ? "after" : "before") << "\n" << fds << "\n" << args;
    std::filesystem::rename(out + ".tmp", out);
    ::_exit(0);
}();

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("WINAPI_REGISTRY_MACHINE", (m_dir.path() / "machine").c_str(), 1);
        ::setenv("WINAPI_REGISTRY_USER", (m_dir.path() / "user").c_str(), 1);
    }

    // Runs winapi-reg with these arguments; its exit status and output.
    std::pair<int, std::string> Tool(const std::vector<std::string>& args)
    {
        std::string outPath = (m_dir.path() / "tool.out").string();
        int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::vector<std::string> argv{WINAPI_REG_TOOL};
        argv.insert(argv.end(), args.begin(), args.end());
        auto pid = Spawn(argv, SpawnOptions{{{fd, 1}}});
        ::close(fd);
        EXPECT_TRUE(pid);
        auto status = pid ? WaitProcess(*pid) : std::nullopt;
        return {status.value_or(-1), kelm::test::readFile(outPath)};
    }

    TempDir m_dir;
};

TEST_F(RegistryTest, ValuesWrittenHereAreReadByAnotherProcessAndBack)
{
    RegKey key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Varnholt Inc\\Orvo Server\\ClientVersions\\1.0\\",
                             KEY_READ | KEY_SET_VALUE, key, &disposition),
              0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(RegSetString(key, "Path_Ver", "/opt/Клиент/"), 0);
    auto [status, out] = Tool({"query", "HKLM", "software\\VARNHOLT INC\\orvo server\\clientversions\\1.0", "path_ver"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "/opt/Клиент/\n");

    std::tie(status, out) = Tool({"set", "HKLM", "SOFTWARE\\Varnholt Inc\\Orvo Server\\ClientVersions\\1.0",
                                  "Count", "dword", "7"});
    EXPECT_EQ(status, 0);
    DWORD type = 0, value = 0, cb = sizeof value;
    ASSERT_EQ(RegQueryValueEx(key, "COUNT", &type, reinterpret_cast<BYTE*>(&value), &cb), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 7u);

    // The other process deletes the key this handle still names.
    std::tie(status, out) = Tool({"delete", "HKLM", "SOFTWARE\\Varnholt Inc"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RegQueryValueEx(key, "Count", &type, nullptr, &cb), kErrorKeyDeleted);
    RegKey gone;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Varnholt Inc", KEY_READ, gone), kErrorFileNotFound);
    EXPECT_EQ(Tool({"query", "HKLM", "SOFTWARE\\Varnholt Inc"}).first, 1);
    EXPECT_EQ(RegEnumKeys(HKEY_LOCAL_MACHINE, "SOFTWARE"), std::vector<std::string>{});
}

TEST_F(RegistryTest, TextKeepsItsTerminatorAndLongValuesAreRefusedByTheirBuffer)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB}",
                             KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, key),
              0);
    ASSERT_EQ(RegSetString(key, "InstallLocation", "abcd"), 0);
    DWORD type = 0, cb = 0;
    ASSERT_EQ(RegQueryValueEx(key, "installlocation", &type, nullptr, &cb), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(cb, 5u);
    BYTE small[4];
    cb = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "InstallLocation", &type, small, &cb), kErrorMoreData);
    EXPECT_EQ(cb, 5u);
    EXPECT_EQ(RegQueryString(key, "InstallLocation", 5), "abcd");
    EXPECT_EQ(RegQueryString(key, "InstallLocation", 4), std::nullopt);

    std::string long260(260, 'x');
    ASSERT_EQ(RegSetString(key, "Long", long260), 0);
    EXPECT_EQ(RegQueryString(key, "Long", 260), std::nullopt);
    EXPECT_EQ(RegQueryString(key, "Long", 261), long260);
    ASSERT_EQ(RegSetDword(key, "NoModify", 1), 0);
    EXPECT_EQ(RegQueryString(key, "NoModify", 260), std::nullopt); // not text
    EXPECT_EQ(RegQueryString(key, "Missing", 260), std::nullopt);

    // Opening existing levels with another spelling keeps the first one.
    RegKey again;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion\\uninstall\\{ab}",
                             KEY_READ, again, &disposition),
              0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(again.Path(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB}");
    // A key opened for reading writes nothing.
    EXPECT_EQ(RegSetString(again, "x", "y"), kErrorAccessDenied);

    ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB}"), 0);
    EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB}"),
              kErrorFileNotFound);
    EXPECT_EQ(RegEnumKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"),
              std::vector<std::string>{"Uninstall"});
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "a\\\\b", KEY_READ, again), kErrorInvalidParameter);
}

TEST_F(RegistryTest, SeveralValuesSetAtOnceLeaveTheHiveAsSettingThemOneByOne)
{
    auto hive = [&](const char* root) { return kelm::test::readFile(m_dir.path() / root / "hive"); };
    RegKey one, all;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", KEY_READ | KEY_SET_VALUE, one), 0);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\A", KEY_READ | KEY_SET_VALUE, all), 0);
    // A value there before, named in another case, is replaced where it stands.
    ASSERT_EQ(RegSetString(one, "Publisher", "old"), 0);
    ASSERT_EQ(RegSetString(all, "Publisher", "old"), 0);

    ASSERT_EQ(RegSetString(one, "DisplayName", "Имя"), 0);
    ASSERT_EQ(RegSetString(one, "PUBLISHER", ""), 0);
    ASSERT_EQ(RegSetDword(one, "NoModify", 1), 0);
    ASSERT_EQ(RegSetString(one, "displayname", "Второе"), 0);
    ASSERT_EQ(RegSetValues(all, {RegStringValue("DisplayName", "Имя"), RegStringValue("PUBLISHER", ""),
                                 RegDwordValue("NoModify", 1), RegStringValue("displayname", "Второе")}),
              0);
    EXPECT_EQ(hive("user"), hive("machine"));
    EXPECT_EQ(RegQueryString(all, "DisplayName", 260), "Второе");

    // Nothing is written when one value is malformed or the key is read-only.
    std::string before = hive("user");
    RegValue shortDword{"Bad", REG_DWORD, {1, 0}};
    EXPECT_EQ(RegSetValues(all, {RegStringValue("First", "x"), shortDword}), kErrorInvalidParameter);
    RegKey readOnly;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\A", KEY_READ, readOnly), 0);
    EXPECT_EQ(RegSetValues(readOnly, {RegStringValue("First", "x")}), kErrorAccessDenied);
    EXPECT_EQ(hive("user"), before);
}

TEST_F(RegistryTest, ADamagedHiveIsReportedAndNeverEmptied)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Test", KEY_READ | KEY_SET_VALUE, key), 0);
    auto hive = m_dir.path() / "user" / "hive";
    std::string damaged = kelm::test::readFile(hive) + "garbage line\n";
    m_dir.write("user/hive", damaged);
    RegKey other;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Test", KEY_READ, other), kErrorBadDb);
    EXPECT_EQ(RegSetString(key, "v", "1"), kErrorBadDb);
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Software"), kErrorBadDb);
    EXPECT_EQ(kelm::test::readFile(hive), damaged);
    // The machine root was never touched.
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "machine"));
}

TEST_F(RegistryTest, AMachineRootThatCannotBeWrittenRefusesChanges)
{
    ::setenv("WINAPI_REGISTRY_MACHINE", "/proc/no-such-registry", 1);
    RegKey key;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", KEY_READ | KEY_SET_VALUE, key), kErrorAccessDenied);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", KEY_READ, key), kErrorFileNotFound);
}

TEST(Process, AChildWaitsForItsParentThroughThePidfdAndInheritsNothingElse)
{
    TempDir dir;
    std::string out = (dir.path() / "waiter.txt").string();
    ::setenv("WINAPI_TEST_OUT", out.c_str(), 1);
    ::setenv("WINAPI_TEST_HELPER", "parent", 1);
    auto pid = Spawn({"/proc/self/exe"});
    ::unsetenv("WINAPI_TEST_HELPER");
    ASSERT_TRUE(pid);
    EXPECT_EQ(WaitProcess(*pid), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(out) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string text = kelm::test::readFile(out);
    std::string cmdline = std::string("-h:3") + '\0' + "an argument with blanks" + '\0';
    EXPECT_EQ(text.substr(0, text.find('\n')), "after");
    EXPECT_NE(text.find("\n0,1,2,3,\n"), std::string::npos) << text;
    EXPECT_NE(text.find(cmdline), std::string::npos);

    EXPECT_FALSE(Spawn({"/bin/no-such-program"}));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    auto failing = Spawn({"/bin/sh", "-c", "exit 3"});
    ASSERT_TRUE(failing);
    EXPECT_EQ(WaitProcess(*failing), 3);
}

// The Exec value read back as the desktop-entry rules say.
std::vector<std::string> ParseExec(const std::string& raw)
{
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            char c = raw[++i];
            value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            value += raw[i];
        }
    }
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < value.size())
                word += value[++i];
            else
                word += c;
        } else if (c == ' ') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == '%' && i + 1 < value.size() && value[i + 1] == '%') {
            word += '%';
            ++i;
            inWord = true;
        } else {
            EXPECT_EQ(std::string(" \t\n\"'\\><~|&;$*?#()`").find(c), std::string::npos) << "unquoted " << c;
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

TEST(ShellLink, ShortcutsAreDesktopEntriesWhoseCommandReadsBackWordForWord)
{
    struct Case {
        const char* arguments;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"-d:KelmDemo", {"-d:KelmDemo"}},
        {"-d:\"Kelm Demo\" -u:sa", {"-d:Kelm Demo", "-u:sa"}},
        {"'a \"quoted\" word'", {"a \"quoted\" word"}},
        {"$HOME `cmd` 100% back\\\\slash", {"$HOME", "`cmd`", "100%", "back\\slash"}},
        {"-e:Диаграммы", {"-e:Диаграммы"}},
        {"", {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        ShellLink link;
        link.SetPath("/opt/Orvo Client/OrvoExec");
        link.SetArguments(c.arguments);
        link.SetIconLocation("/opt/app/icon.png");
        std::string path = (dir.path() / "Кельм Demo.desktop").string();
        ASSERT_TRUE(link.Save(path));
        EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms(0644));
        std::ifstream in(path);
        std::string line, exec, name, icon, type, terminal;
        std::getline(in, line);
        EXPECT_EQ(line, "[Desktop Entry]");
        while (std::getline(in, line)) {
            auto eq = line.find('=');
            std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            (key == "Exec" ? exec : key == "Name" ? name : key == "Icon" ? icon : key == "Type" ? type
             : key == "Terminal" ? terminal : line) = value;
        }
        EXPECT_EQ(type, "Application");
        EXPECT_EQ(name, "Кельм Demo");
        EXPECT_EQ(icon, "/opt/app/icon.png");
        EXPECT_EQ(terminal, "false");
        std::vector<std::string> expected{"/opt/Orvo Client/OrvoExec"};
        expected.insert(expected.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(ParseExec(exec), expected) << exec;
        if (std::filesystem::exists("/usr/bin/desktop-file-validate")) {
            auto pid = Spawn({"/usr/bin/desktop-file-validate", path});
            ASSERT_TRUE(pid);
            EXPECT_EQ(WaitProcess(*pid), 0) << exec;
        }
    }
    ShellLink noTarget;
    EXPECT_FALSE(noTarget.Save((dir.path() / "x.desktop").string()));
    ShellLink missingFolder;
    missingFolder.SetPath("/bin/true");
    EXPECT_FALSE(missingFolder.Save((dir.path() / "no" / "x.desktop").string()));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST(PathRules, NamesAndFileListLines)
{
    for (const char* good : {"Kelm", "Кельм Demo", "a.b", "...", "a\\b"})
        EXPECT_TRUE(IsSafePathComponent(good)) << good;
    for (const char* bad : {"", ".", "..", "a/b", "/"})
        EXPECT_FALSE(IsSafePathComponent(bad)) << bad;
    EXPECT_FALSE(IsSafePathComponent(std::string("a\0b", 3)));
    for (const char* good : {"a", "sub/b", "..x/y", "a/..b"})
        EXPECT_TRUE(IsConfinedRelativePath(good)) << good;
    for (const char* bad : {"", "/etc/passwd", "../x", "a/../../b", "a/.."})
        EXPECT_FALSE(IsConfinedRelativePath(bad)) << bad;
}

} // namespace
