// Folders, texts, error numbers, version records and the application profile.
#include "tests/common/testsupport.h"
#include "winapi/settings/app_profile.h"
#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/module_version.h"
#include "winapi/text.h"
#include "winapi/version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <sys/wait.h>
#include <thread>
#include <cstdlib>
#include <sys/stat.h>
#include <libintl.h>
#include <unistd.h>

WINAPI_MODULE_VERSION("winapi system tests")

using namespace winapi;
using kelm::test::readFile;
using kelm::test::ScopedEnv;
using kelm::test::TempDir;

namespace {

bool isDir(const std::string& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

TEST(Text, CaseAndCuts)
{
    EXPECT_EQ(Utf8Upper("button2 ёлка Яблоко"), "BUTTON2 ЁЛКА ЯБЛОКО");
    EXPECT_EQ(Utf8Lower("MAIN ЁЛКА"), "main ёлка");
    EXPECT_TRUE(Utf8EqualNoCase("[Кнопка]", "[кНОПКА]"));
    EXPECT_FALSE(Utf8EqualNoCase("Button01", "Button1"));
    EXPECT_LT(Utf8CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(Utf8CompareNoCase("abcd", "ABC"), 0);
    // Bytes that are not UTF-8 are single characters and stay as they are.
    EXPECT_EQ(Utf8Upper(std::string("a\xff\xc3z")), std::string("A\xff\xc3Z"));
    EXPECT_EQ(Utf8Length("Привет"), 6u);
    EXPECT_EQ(Utf8Length(std::string("\xe2\x82")), 2u); // truncated sequence
    EXPECT_EQ(Utf8Left("Привет", 2), "Пр");
    EXPECT_EQ(Utf8Left("a€b", 2), "a€");
    EXPECT_EQ(Utf8Left("ab", 5), "ab");
    EXPECT_EQ(StrToInt("-12x"), -12);
    EXPECT_EQ(StrToInt("x12"), 0);
    EXPECT_EQ(StrToInt("+7"), 7);
}

TEST(Text, ByteCutsNeverSplitACharacter)
{
    // "a€я😀": 1 + 3 + 2 + 4 bytes.
    const std::string text = "a\u20ac\u044f\U0001F600";
    const std::size_t expected[] = {0, 1, 1, 1, 4, 4, 6, 6, 6, 6, 10, 10};
    for (std::size_t limit = 0; limit < std::size(expected); ++limit)
        EXPECT_EQ(Utf8CutBytes(text, limit), expected[limit]) << limit;
    // Only the prefix counts: a text that ends mid-character loses that tail.
    EXPECT_EQ(Utf8CutBytes(std::string_view(text.data(), 3), 100), 1u);
    EXPECT_EQ(Utf8CutBytes("", 5), 0u);
}

TEST(Text, TrimAndHexDigits)
{
    EXPECT_EQ(Trim(" \t\r\n a b \v\f"), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\tx\t", " "), "\tx\t");
    EXPECT_EQ(TrimRight("  x \r\n"), "  x");
    EXPECT_EQ(TrimRight("\n\n"), "");
    const std::pair<char, int> digits[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', -1}, {'/', -1}, {':', -1},
                                           {'@', -1}, {'G', -1}, {'`', -1}, {'\0', -1}};
    for (const auto& [c, value] : digits)
        EXPECT_EQ(HexDigitValue(c), value) << c;
    std::string out;
    AppendHexByte(out, 0x0A);
    AppendHexByte(out, 0xF5, true);
    EXPECT_EQ(out, "0aF5");
}

TEST(Text, Utf16Conversions)
{
    EXPECT_EQ(Utf8ToUtf16("aЯ€"), u"aЯ€");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string({0xD83D, 0xDE00}));
    // A broken sequence, a lead byte with no sequence, an encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16(std::string("a\xC3z")), u"a\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16(std::string("\xFF")), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16(std::string("\xED\xA0\x80")), u"\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(u"aЯ€"), "aЯ€");
    EXPECT_EQ(Utf16ToUtf8(std::u16string({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string({u'a', 0xD83D, u'b', 0xDE00})), "a\uFFFDb\uFFFD");
    std::string out = "x";
    AppendUtf16AsUtf8(out, u"ёж");
    EXPECT_EQ(out, "xёж");
}

TEST(Text, DateAndTimeFormats)
{
    std::tm tm {};
    tm.tm_year = 2012 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = 10;
    tm.tm_hour = 15;
    tm.tm_min = 4;
    tm.tm_sec = 5;
    EXPECT_EQ(GetTimeFormat(tm), "15:04:05");
    EXPECT_NE(GetDateFormat(tm, true).find("2012"), std::string::npos);
    EXPECT_FALSE(GetDateFormat(tm, false, true).empty());
}

TEST(Text, ProcessLocaleKeepsTheDecimalPoint)
{
    std::fflush(stdout);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("LC_ALL", "C.UTF-8", 1);
        InitProcessLocale();
        const bool ok = std::string(std::localeconv()->decimal_point) == "." &&
                        std::string(std::setlocale(LC_CTYPE, nullptr)) == "C.UTF-8";
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A program's start-up under a Russian user's environment, with the
// Russian locale on the system and without it: the C library's message
// catalogs (GTK's words read through them) answer in Russian, and in
// English once English is chosen; numbers are written and read back with
// the decimal point; a program started from it gets the user's LANGUAGE.
TEST(Text, StartUpSpeaksRussianAndKeepsTheDecimalPoint)
{
    if (!std::filesystem::exists("/usr/share/locale/ru/LC_MESSAGES/gtk30.mo"))
        GTEST_SKIP() << "GTK's catalogs are not installed";
    TempDir withoutRussian;
    std::filesystem::create_directory_symlink("/usr/lib/locale/C.utf8", withoutRussian / "C.utf8");
    for (const bool russianLocale : {true, false}) {
        SCOPED_TRACE(russianLocale ? "with ru_RU.UTF-8" : "without ru_RU.UTF-8");
        std::fflush(stdout);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (!russianLocale)
                ::setenv("LOCPATH", withoutRussian.path().c_str(), 1);
            ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
            ::setenv("LANGUAGE", "de", 1);
            InitProcessLocale();
            SetMessagesLanguage(UiLanguage::Russian);
            int failed = 0;
            auto check = [&](bool ok, int bit) { failed |= ok ? 0 : bit; };
            const bool russianMessages = std::setlocale(LC_MESSAGES, nullptr) == std::string("ru_RU.UTF-8");
            check(russianMessages == russianLocale, 1);
            check(std::string(::dgettext("gtk30", "_Cancel")) == "_Отмена", 2);
            char text[64];
            std::snprintf(text, sizeof text, "%.2f|%g", 1234.5, 0.25);
            check(std::string(text) == "1234.50|0.25", 4);
            double back = 0;
            check(std::sscanf("3.75", "%lf", &back) == 1 && back == 3.75 && std::strtod("0.5", nullptr) == 0.5, 8);
            check(std::to_string(2.5) == "2.500000", 16);
            const auto children = ChildEnvironment();
            check(std::count(children.begin(), children.end(), "LANGUAGE=de") == 1 &&
                      std::count_if(children.begin(), children.end(),
                                     [](const std::string& e) { return e.rfind("LANGUAGE=", 0) == 0; }) == 1,
                  32);
            SetMessagesLanguage(UiLanguage::English);
            check(std::string(::dgettext("gtk30", "_Cancel")) == "_Cancel", 64);
            ::_exit(failed);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits): " << WEXITSTATUS(status);
    }
}

TEST(Errors, NumbersAndTexts)
{
    TempDir dir;
    EXPECT_EQ(Win32ErrorFromErrno(ENOENT, (dir / "missing").string()), kErrorFileNotFound);
    EXPECT_EQ(Win32ErrorFromErrno(ENOENT, (dir / "missing/deeper").string()), kErrorPathNotFound);
    EXPECT_EQ(Win32ErrorFromErrno(EEXIST), kErrorFileExists);
    EXPECT_EQ(Win32ErrorFromErrno(EEXIST, {}, true), kErrorAlreadyExists);
    EXPECT_EQ(Win32ErrorFromErrno(ENOTEMPTY), kErrorDirNotEmpty);
    EXPECT_EQ(Win32ErrorFromErrno(EPROTO), kCustomerErrorBit | EPROTO);

    EXPECT_EQ(FormatMessage(80), "The file exists.");
    EXPECT_EQ(FormatMessage(3), "The system cannot find the path specified.");
    EXPECT_EQ(FormatMessage(kCustomerErrorBit | EPROTO), "Protocol error");
    EXPECT_EQ(FormatMessage(999999), "");
    EXPECT_EQ(FormatHResult(static_cast<HRESULT>(0x80070005u)), "Access is denied.");
    EXPECT_EQ(FormatHResult(static_cast<HRESULT>(0x80004005u)), "Unspecified error");
    EXPECT_EQ(FormatHResult(static_cast<HRESULT>(0x80041234u)), "");
    EXPECT_EQ(FileExceptionCauseFromWin32(183), 5);
    EXPECT_EQ(FileExceptionCauseFromWin32(112), 13);
    EXPECT_EQ(FileExceptionCauseFromWin32(12345), 1);

    // The last error belongs to the thread.
    SetLastError(42);
    DWORD other = 0;
    std::thread([&] { other = GetLastError(); }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(GetLastError(), 42u);
}

TEST(Files, AttributesAndCreateDirectory)
{
    TempDir dir;
    const std::string file = dir.write(".hidden", "x").string();
    EXPECT_EQ(GetFileAttributes(file), FILE_ATTRIBUTE_HIDDEN);
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(GetFileAttributes(file), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributes(dir.write("plain", "x").string()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributes(dir.path().string()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes((dir / "none").string()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);

    EXPECT_TRUE(CreateDirectory((dir / "d").string()));
    EXPECT_FALSE(CreateDirectory((dir / "d").string()));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    EXPECT_FALSE(CreateDirectory((dir / "x/y").string()));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
    EXPECT_TRUE(IsEnterableDirectory((dir / "d").string()));
    EXPECT_FALSE(IsEnterableDirectory(file));
}

TEST(Folders, EnvironmentOverridesAndCreation)
{
    TempDir dir;
    ScopedEnv env;
    env.set("XDG_CONFIG_HOME", (dir / "config").string());
    env.set("WINAPI_COMMON_APPDATA", (dir / "common").string());
    env.set("WINAPI_COMMON_DOCUMENTS", (dir / "cdocs/").string());
    env.set("WINAPI_PROGRAM_FILES", (dir / "opt").string());
    env.set("WINAPI_COMMON_PROGRAMS", (dir / "apps").string());
    env.set("XDG_DOCUMENTS_DIR", (dir / "docs").string());

    // Without the create flag a missing folder cannot be had.
    EXPECT_FALSE(GetSpecialFolder(CSIDL_APPDATA).has_value());
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE), (dir / "config").string());
    EXPECT_TRUE(isDir((dir / "config").string()));
    EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_CREATE), (dir / "cdocs").string());
    EXPECT_EQ(GetSpecialFolder(CSIDL_PERSONAL | CSIDL_FLAG_CREATE), (dir / "docs").string());
    EXPECT_EQ(GetSpecialFolder(CSIDL_PROGRAM_FILES | CSIDL_FLAG_CREATE), (dir / "opt").string());
    EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_PROGRAMS | CSIDL_FLAG_CREATE), (dir / "apps").string());
    std::string out = "x";
    EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, out, CSIDL_COMMON_APPDATA, kTrue));
    EXPECT_EQ(out, (dir / "common").string());
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, out, 99, kTrue));
    EXPECT_EQ(out, "");

    // A folder that cannot be created: a file stands in the way.
    dir.write("blocker", "x");
    env.set("XDG_CONFIG_HOME", (dir / "blocker/config").string());
    EXPECT_FALSE(GetSpecialFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE).has_value());
    // A relative setting is ignored, as XDG says.
    env.set("XDG_CONFIG_HOME", "relative/config");
    env.set("HOME", (dir / "home").string());
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE), (dir / "home/.config").string());
}

TEST(Folders, DocumentsFromUserDirs)
{
    TempDir dir;
    ScopedEnv env;
    env.unset("XDG_DOCUMENTS_DIR");
    env.unset("SUDO_UID");
    env.unset("PKEXEC_UID");
    env.set("HOME", (dir / "home").string());
    env.set("XDG_CONFIG_HOME", (dir / "cfg").string());
    const std::string absolute = (dir / "abs/Документы").string();
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", (dir / "home/Docs").string()},
        {"# comment\n  XDG_DOCUMENTS_DIR=\"" + absolute + "\"\n", absolute},
        {"XDG_DOCUMENTS_DIR=\"relative\"\n", (dir / "home").string()},
        {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", (dir / "home").string()},
    };
    for (const auto& c : cases) {
        dir.write("cfg/user-dirs.dirs", c.line);
        EXPECT_EQ(GetSpecialFolder(CSIDL_PERSONAL | CSIDL_FLAG_CREATE), c.expected) << c.line;
        EXPECT_TRUE(isDir(c.expected));
    }
    // No user-dirs file at all: the home folder.
    ::unlink((dir / "cfg/user-dirs.dirs").c_str());
    EXPECT_EQ(GetSpecialFolder(CSIDL_PERSONAL), (dir / "home").string());
}

TEST(Folders, SudoUserDocuments)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempDir dir;
    ScopedEnv env;
    env.unset("XDG_DOCUMENTS_DIR");
    env.unset("PKEXEC_UID");
    // "nobody" has a home we cannot rely on; only check the user is found.
    env.set("SUDO_UID", "65534");
    auto user = GetInvokingUser();
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->uid, 65534u);
    env.set("SUDO_UID", "0");
    EXPECT_FALSE(GetInvokingUser().has_value());
    env.set("SUDO_UID", "12x");
    EXPECT_FALSE(GetInvokingUser().has_value());
}

TEST(Folders, SystemFolders)
{
    TempDir dir;
    ScopedEnv env;
    env.set("WINAPI_WINDIR", (dir / "win").string());
    EXPECT_EQ(GetWindowsDirectory(), (dir / "win").string());
    env.unset("WINAPI_WINDIR");
    EXPECT_EQ(GetWindowsDirectory(), "/etc");
    env.unset("WINAPI_SYSDIR");
    EXPECT_EQ(GetSystemDirectory(), "/usr/local/lib");
    env.set("TMPDIR", dir.path().string());
    EXPECT_EQ(GetTempPath(), dir.path().string() + "/");
    env.set("TMPDIR", (dir / "missing").string());
    EXPECT_EQ(GetTempPath(), "/tmp/");

    auto tmp = GetTempFileName(dir.path().string(), "Del");
    ASSERT_TRUE(tmp.has_value());
    EXPECT_EQ(tmp->rfind(dir.path().string() + "/Del", 0), 0u);
    EXPECT_EQ(tmp->substr(tmp->size() - 4), ".tmp");
    EXPECT_EQ(readFile(*tmp), "");
    EXPECT_FALSE(GetTempFileName((dir / "missing").string(), "Del").has_value());
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST(Folders, ModulesAndSystemFacts)
{
    const std::string& exe = GetModuleFileName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_NE(exe.find("winapi_system_test"), std::string::npos);
    static const int inMain = 0;
    EXPECT_EQ(GetModulePath(&inMain), exe);
    auto lib = GetModulePath(reinterpret_cast<const void*>(&FormatMessage));
    ASSERT_TRUE(lib.has_value());
    EXPECT_NE(lib->find("libplatform-winapi.so"), std::string::npos);

    const std::string host = GetComputerName();
    EXPECT_LE(host.size(), 15u);
    EXPECT_EQ(host.find('.'), std::string::npos);
    EXPECT_EQ(host, Utf8Upper(host));
    EXPECT_FALSE(GetUserName().empty());
    EXPECT_LE(GetUserName(3).size(), 2u);
    EXPECT_EQ(IsUserAnAdmin(), ::geteuid() == 0 ? kTrue : kFalse);
    EXPECT_EQ(GetVersion() & 0x80000000u, 0u);
    const DWORD t = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - t, 20u);
}

TEST(Folders, SplitPathAndKitPaths)
{
    struct {
        const char* path;
        const char* dir;
        const char* fname;
        const char* ext;
    } cases[] = {
        {"/x/y.txt", "/x/", "y", ".txt"},
        {"/x/.bashrc", "/x/", "", ".bashrc"},
        {"/x.d/name", "/x.d/", "name", ""},
        {"dorvik", "", "dorvik", ""},
        {"/a/b.tar.gz", "/a/", "b.tar", ".gz"},
        {"/dir/", "/dir/", "", ""},
    };
    for (const auto& c : cases) {
        const auto r = SplitPath(c.path);
        EXPECT_EQ(r.drive, "") << c.path;
        EXPECT_EQ(r.dir, c.dir) << c.path;
        EXPECT_EQ(r.fname, c.fname) << c.path;
        EXPECT_EQ(r.ext, c.ext) << c.path;
    }
    EXPECT_EQ(FromKitPath("%APPDIR%\\Data\\a.sql"), "%APPDIR%/Data/a.sql");
    EXPECT_EQ(GetShortPathName("/a b/c"), "/a b/c");
}

TEST(Version, RecordsOfLoadedModules)
{
    auto mine = GetFileVersionInfo(GetModuleFileName());
    ASSERT_TRUE(mine.has_value());
    EXPECT_EQ(mine->ProductVersionMS(), (10u << 16) | 2u);
    EXPECT_EQ(mine->ProductVersionLS(), (8u << 16) | 20u);
    // The DMO check of the installer needs at least 7.1.
    EXPECT_GT(mine->ProductVersionMS(), 0x00070000u);
    ASSERT_NE(mine->GetString("ProductVersion"), nullptr);
    EXPECT_STREQ(mine->GetString("ProductVersion"), "10.2.8.20");
    EXPECT_STREQ(mine->GetString("CompanyName"), "Varnholt Inc");
    EXPECT_EQ(mine->GetString("NoSuchString"), nullptr);
    EXPECT_EQ(mine->translation, 0x041904B0u);

    TempDir dir;
    EXPECT_FALSE(GetFileVersionInfo(dir.write("other", "x").string()).has_value());
    EXPECT_FALSE(GetFileVersionInfo((dir / "none").string()).has_value());
}

TEST(Version, CompileDates)
{
    std::tm expected {};
    expected.tm_year = 112;
    expected.tm_mon = 4;
    expected.tm_mday = 10;
    expected.tm_isdst = -1;
    EXPECT_EQ(ParseCompileDate("May 10 2012"), std::mktime(&expected));
    EXPECT_NE(ParseCompileDate("Jan  1 2020"), 0);
    EXPECT_NE(ParseCompileDate(__DATE__), 0);
    for (const char* bad : {"", "Mai 10 2012", "May 32 2012", "Feb 30 2012", "May 10", "May 10 2012x", "10 May 2012"})
        EXPECT_EQ(ParseCompileDate(bad), 0) << bad;
    EXPECT_EQ(ParseCompileDate(nullptr), 0);
}

TEST(AppProfile, IniModeAndModeSwitches)
{
    TempDir dir;
    AppProfile profile;
    EXPECT_EQ(profile.ProfileName(), profile.ExeName() + ".INI");
    const std::string file = (dir / "app.ini").string();
    profile.SetProfileName(file);
    EXPECT_FALSE(profile.IsRegistryMode());
    EXPECT_TRUE(profile.WriteProfileString("Settings", "User", "Иван"));
    EXPECT_TRUE(profile.WriteProfileInt("Settings", "DiagrammType", -3));
    EXPECT_EQ(profile.GetProfileString("settings", "user"), "Иван");
    EXPECT_EQ(static_cast<int>(profile.GetProfileInt("Settings", "DiagrammType", 0)), -3);
    EXPECT_EQ(profile.GetProfileInt("Settings", "Missing", 4), 4u);
    EXPECT_TRUE(profile.WriteProfileString("Settings", "User", nullptr));
    EXPECT_EQ(profile.GetProfileString("Settings", "User", "none"), "none");

    profile.SetAppTitle("Диаграммы");
    profile.SetRegistryKey("Kelm Tarnwick v10.2.8.20");
    EXPECT_TRUE(profile.IsRegistryMode());
    EXPECT_EQ(profile.GetProfileString("Settings", "DiagrammType", "d"), "d");
    // The registry store is not there yet: a write is refused, never lost silently.
    EXPECT_FALSE(profile.WriteProfileString("Settings", "User", "x"));
    EXPECT_EQ(GetLastError(), kErrorNotSupported);
    profile.SetProfileName(file);
    EXPECT_FALSE(profile.IsRegistryMode());
    EXPECT_EQ(static_cast<int>(profile.GetProfileInt("Settings", "DiagrammType", 0)), -3);
}
