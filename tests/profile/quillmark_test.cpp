#include "profile/quillmark.h"
#include "tests/profile/quillmark_env.h"

#include "winapi/settings/app_profile.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/version.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

using kelm::test::readFile;
using qmtest::Folders;
using qmtest::InChild;

namespace {

bool isDir(const std::string& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string programFolder() { return winapi::SplitPath(winapi::GetModuleFileName()).dir; }

// A file in the program's folder, unique to this process, removed at the end.
struct ProgramFolderIni {
    std::string name = "qm-test-" + std::to_string(::getpid()) + ".ini";
    std::string path = programFolder() + name;
    ~ProgramFolderIni() { std::remove(path.c_str()); }
};

} // namespace

TEST(Quillmark, BeforeInitReadsDefaultsAndWritesThrow)
{
    InChild([] {
        Folders f;
        EXPECT_EQ(GetPrivateProfileStringQM("ODBC", "TraceFile", "./TraceODBC.log"), "./TraceODBC.log");
        EXPECT_EQ(GetPrivateProfileStringQM("ODBC", "TraceFile", nullptr), "");
        EXPECT_EQ(GetPrivateProfileIntQM("ODBC", "Trace", 3), 3u);
        unsigned char data[2] = {};
        EXPECT_EQ(GetPrivateProfileStructQM("S", "k", data, 2), 0);
        EXPECT_THROW(WritePrivateProfileStringQM("ODBC", "TraceFile", "x"), std::invalid_argument);
        EXPECT_THROW(WritePrivateProfileIntQM("ODBC", "Trace", 1), std::invalid_argument);
        EXPECT_THROW(WritePrivateProfileStructQM("S", "k", data, 2), std::invalid_argument);
        EXPECT_STREQ(GetPrivateSubFolder(), "");
        std::vector<std::string> paths {"x"};
        GetPrivateProfilePaths(paths, false);
        EXPECT_TRUE(paths.empty());
    });
}

TEST(Quillmark, DefaultSubFolderFromTheHostVersion)
{
    InChild([] {
        Folders f;
        winapi::AppProfile::Instance().SetProfileName("App.INI");
        ASSERT_EQ(InitQuillmark(nullptr, nullptr), 1);
        const std::string folder = f.user + "/Varnholt Inc/Orvo Server/102820/";
        EXPECT_STREQ(GetPrivateSubFolder(), "Varnholt Inc/Orvo Server/102820/");
        EXPECT_STREQ(GetPrivateINIFileName(), "App.INI");
        EXPECT_EQ(GetCurrentAppPath(), programFolder());
        EXPECT_TRUE(isDir(folder));
        EXPECT_EQ(winapi::AppProfile::Instance().ProfileName(), folder + "App.INI");
        // No common folder: the user's file and the program folder's.
        std::vector<std::string> paths;
        GetPrivateProfilePaths(paths, false);
        EXPECT_EQ(paths, (std::vector<std::string> {folder + "App.INI", programFolder() + "App.INI"}));
        EXPECT_FALSE(isDir(f.common + "/Varnholt Inc"));

        // The host's own profile calls now use the user's file too.
        ASSERT_TRUE(WritePrivateProfileStringQM("ODBC", "TraceFile", "/tmp/t.log"));
        EXPECT_EQ(winapi::AppProfile::Instance().GetProfileString("odbc", "tracefile"), "/tmp/t.log");
        EXPECT_EQ(readFile(folder + "App.INI"), "[ODBC]\nTraceFile=/tmp/t.log\n");

        // A second call appends a second set behind the first.
        ASSERT_EQ(InitQuillmark(nullptr, nullptr), 1);
        GetPrivateProfilePaths(paths, false);
        EXPECT_EQ(paths.size(), 4u);
    });
}

TEST(Quillmark, SearchListWithAndWithoutTheCommonFolder)
{
    InChild([] {
        Folders f;
        ASSERT_EQ(InitQuillmark("Co/Prod/", "x.ini"), 1);
        std::vector<std::string> paths;
        GetPrivateProfilePaths(paths, false);
        EXPECT_EQ(paths, (std::vector<std::string> {f.user + "/Co/Prod/x.ini", programFolder() + "x.ini"}));
        EXPECT_FALSE(isDir(f.common + "/Co"));
        GetPrivateProfilePaths(paths, true);
        EXPECT_EQ(paths, (std::vector<std::string> {f.user + "/Co/Prod/", programFolder()}));
    });
    InChild([] {
        Folders f;
        ASSERT_TRUE(std::filesystem::create_directories(f.common + "/Co/Prod"));
        // A sub-folder without its trailing separator still names the folder.
        ASSERT_EQ(InitQuillmark("Co/Prod", "x.ini"), 1);
        EXPECT_STREQ(GetPrivateSubFolder(), "Co/Prod/");
        std::vector<std::string> paths;
        GetPrivateProfilePaths(paths, false);
        EXPECT_EQ(paths, (std::vector<std::string> {f.user + "/Co/Prod/x.ini", f.common + "/Co/Prod/x.ini",
                                                    programFolder() + "x.ini"}));
    });
}

TEST(Quillmark, ReadOrderAndWritesToTheUserFile)
{
    InChild([] {
        Folders f;
        ProgramFolderIni program;
        ASSERT_TRUE(std::filesystem::create_directories(f.common + "/Co/Prod"));
        ASSERT_EQ(InitQuillmark("Co/Prod/", program.name.c_str()), 1);
        const std::string user = f.user + "/Co/Prod/" + program.name;
        const std::string common = f.common + "/Co/Prod/" + program.name;
        f.dir.write("user/Co/Prod/" + program.name, "[S]\nEmptyHere=\nNeg=-1\nOnlyUser=u\n");
        f.dir.write("common/Co/Prod/" + program.name, "[S]\nEmptyHere=common\nInCommon=c\nNeg=-1\n"
                                                        "Both=common\nStruct=0102FF\n");
        std::FILE* out = std::fopen(program.path.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fputs("[S]\nEmptyHere=program\nNeg=5\nBoth=program\nOnlyProgram=\"quoted p\"\nStruct=0A0B15\n", out);
        std::fclose(out);

        EXPECT_EQ(GetPrivateProfileStringQM("S", "EmptyHere", "d"), ""); // empty hides later files
        EXPECT_EQ(GetPrivateProfileStringQM("s", "onlyuser", "d"), "u");
        EXPECT_EQ(GetPrivateProfileStringQM("S", "InCommon", "d"), "c");
        EXPECT_EQ(GetPrivateProfileStringQM("S", "Both", "d"), "common");
        EXPECT_EQ(GetPrivateProfileStringQM("S", "OnlyProgram", "d"), "quoted p");
        EXPECT_EQ(GetPrivateProfileStringQM("S", "Nowhere", "d"), "d");
        EXPECT_EQ(GetPrivateProfileIntQM("S", "Neg", 9), 5u); // -1 counts as missing
        EXPECT_EQ(GetPrivateProfileIntQM("S", "Nowhere", 9), 9u);
        unsigned char data[2] = {};
        // The common file's struct has a bad checksum: the program folder's wins.
        ASSERT_EQ(GetPrivateProfileStructQM("S", "Struct", data, 2), 1);
        EXPECT_EQ(data[0], 0x0A);
        EXPECT_EQ(data[1], 0x0B);

        ASSERT_TRUE(WritePrivateProfileStringQM("S", "Both", "user"));
        ASSERT_TRUE(WritePrivateProfileIntQM("S", "Number", -42));
        const unsigned char bytes[2] = {1, 2};
        ASSERT_TRUE(WritePrivateProfileStructQM("S", "Bytes", const_cast<unsigned char*>(bytes), 2));
        EXPECT_EQ(readFile(user), "[S]\nEmptyHere=\nNeg=-1\nOnlyUser=u\nBoth=user\nNumber=-42\nBytes=010203\n");
        EXPECT_EQ(GetPrivateProfileStringQM("S", "Both", "d"), "user");
        EXPECT_EQ(static_cast<int>(GetPrivateProfileIntQM("S", "Number", 0)), -42);
        EXPECT_EQ(readFile(common).find("user"), std::string::npos);

        // Values are cut to 4094 characters.
        ASSERT_TRUE(WritePrivateProfileStringQM("S", "Long", std::string(5000, 'x').c_str()));
        EXPECT_EQ(GetPrivateProfileStringQM("S", "Long", "").size(), 4094u);
        // A refused write reports failure and leaves the file alone.
        const std::string before = readFile(user);
        EXPECT_FALSE(WritePrivateProfileStringQM("S", "Evil", "x\n[Other]\nk=v"));
        EXPECT_EQ(readFile(user), before);
    });
}

TEST(Quillmark, FolderGetters)
{
    InChild([] {
        Folders f;
        ASSERT_EQ(InitQuillmark("Co/Prod/", "x.ini"), 1);
        std::string out = "junk";
        EXPECT_EQ(GetUserAppDataFolderPath(out), 1);
        EXPECT_EQ(out, f.user + "/Co/Prod/");
        EXPECT_EQ(GetUserDocumentFolderPath(out), 1);
        EXPECT_EQ(out, f.docs + "/Co/Prod/");
        EXPECT_TRUE(isDir(out));
        EXPECT_EQ(GetUserSubFolderPath("Sub/Deeper/", out), 1);
        EXPECT_EQ(out, f.user + "/Co/Prod/Sub/Deeper/");
        EXPECT_TRUE(isDir(out));

        // Common folders are only looked at unless creation is asked for.
        EXPECT_EQ(GetAllUserAppDataFolderPath(out, false), 0);
        EXPECT_EQ(out, f.common + "/Co/Prod/");
        EXPECT_FALSE(isDir(f.common));
        EXPECT_EQ(GetAllUserSubFolderPath("S/", out, true), 1);
        EXPECT_EQ(out, f.common + "/Co/Prod/S/");
        EXPECT_TRUE(isDir(out));
        EXPECT_EQ(GetAllUserAppDataFolderPath(out, false), 1);
        EXPECT_EQ(GetAllUserDocumentFolderPath(out, false), 0);
        EXPECT_EQ(GetAllUserDocumentFolderPath(out, true), 1);
        EXPECT_EQ(out, f.commonDocs + "/Co/Prod/");

        EXPECT_EQ(GetTEMPFolderPath(), f.user + "/Co/Prod/Temp/");
        EXPECT_TRUE(isDir(f.user + "/Co/Prod/Temp"));

        EXPECT_TRUE(GetSpecialFolderPath(winapi::CSIDL_APPDATA, out));
        EXPECT_EQ(out, f.user + "/");
        EXPECT_FALSE(GetSpecialFolderPath(1234, out));
        EXPECT_EQ(out, "");

        // A per-user folder that cannot be created.
        f.dir.write("blocker", "x");
        ::setenv("XDG_CONFIG_HOME", (f.dir / "blocker").c_str(), 1);
        EXPECT_EQ(GetUserAppDataFolderPath(out), 0);
        EXPECT_EQ(GetTEMPFolderPath(), "");
    });
}

TEST(Quillmark, InitFailsWhenTheUserFolderCannotBeMade)
{
    InChild([] {
        Folders f;
        f.dir.write("blocker", "x");
        ::setenv("XDG_CONFIG_HOME", (f.dir / "blocker").c_str(), 1);
        winapi::AppProfile::Instance().SetProfileName("Host.INI");
        EXPECT_EQ(InitQuillmark("Co/", nullptr), 0);
        // What was set before the failure stays; the list and profile do not change.
        EXPECT_STREQ(GetPrivateINIFileName(), "Host.INI");
        EXPECT_STREQ(GetPrivateSubFolder(), "Co/");
        std::vector<std::string> paths;
        GetPrivateProfilePaths(paths, false);
        EXPECT_TRUE(paths.empty());
        EXPECT_EQ(winapi::AppProfile::Instance().ProfileName(), "Host.INI");
    });
}

TEST(Quillmark, CreateFullPath)
{
    kelm::test::TempDir dir;
    const std::string base = dir.path().string();
    ASSERT_TRUE(std::filesystem::create_directory(base + "/a"));
    EXPECT_EQ(CreateFullPath((base + "/a/b/c").c_str()), 1);
    EXPECT_TRUE(isDir(base + "/a/b/c"));
    EXPECT_EQ(CreateFullPath((base + "//a///b/c/d/").c_str()), 1); // empty components dropped
    EXPECT_TRUE(isDir(base + "/a/b/c/d"));
    EXPECT_EQ(CreateFullPath((base + "/a/b").c_str()), 1);          // existing

    struct {
        std::string path;
        std::string mustNotExist;
    } refused[] = {
        {"a/b", ""},                                                 // relative
        {base + "/x/a|b", base + "/x"},                              // nothing created
        {base + "/y/a:b", base + "/y"},
        {base + "/z/<c>", base + "/z"},
        {base + "/w/" + std::string(256, 'n'), base + "/w"},         // component too long
        {base + "/v/" + std::string(260 - base.size(), 'n'), base + "/v"}, // path too long
    };
    for (const auto& r : refused) {
        EXPECT_EQ(CreateFullPath(r.path.c_str()), 0) << r.path;
        if (!r.mustNotExist.empty()) {
            EXPECT_FALSE(isDir(r.mustNotExist)) << r.path;
        }
    }
    EXPECT_EQ(CreateFullPath(nullptr), 0);
    EXPECT_EQ(CreateFullPath(""), 0);
    // The longest allowed path, and a Cyrillic one counted in characters.
    const std::string longest = base + "/" + std::string(259 - base.size() - 1, 'k');
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_EQ(CreateFullPath(longest.c_str()), 1);
    std::string cyr;
    for (int i = 0; i < 100; ++i)
        cyr += "ж"; // 100 characters, 200 bytes
    EXPECT_EQ(CreateFullPath((base + "/" + cyr).c_str()), 1);

    // A file in the way: creation fails, levels made before it stay.
    dir.write("file", "x");
    EXPECT_EQ(CreateFullPath((base + "/m/file").c_str()), 1);
    EXPECT_EQ(CreateFullPath((base + "/file/sub").c_str()), 0);
}

TEST(Quillmark, PathQuestions)
{
    kelm::test::TempDir dir;
    const std::string file = dir.write("x/y.txt", "text").string();
    const std::string base = dir.path().string();
    EXPECT_EQ(IsFullPath("/a"), 1);
    EXPECT_EQ(IsFullPath("a/b"), 0);
    EXPECT_EQ(IsFullPath("C:\\a"), 0);
    EXPECT_EQ(IsFullPath(nullptr), 0);
    EXPECT_EQ(IsPathExist((base + "/x").c_str()), 1);
    EXPECT_EQ(IsPathExist(file.c_str()), 0);
    EXPECT_EQ(IsFileExist(file.c_str()), 1);
    EXPECT_EQ(IsFileExist((base + "/x").c_str()), 0);
    EXPECT_EQ(IsFileExist((base + "/none").c_str()), 0);
    std::string out;
    EXPECT_STREQ(GetFilePath(file.c_str(), out), (base + "/x/").c_str());
    EXPECT_EQ(out, base + "/x/");
    EXPECT_EQ(IsFilePathExist(file.c_str()), 1);
    EXPECT_EQ(IsFilePathExist((base + "/none/y.txt").c_str()), 0);
    EXPECT_EQ(IsFilePathExist("bare.txt"), 0);
    EXPECT_EQ(IsWinNT(), 1);

    ::setenv("WINAPI_WINDIR", (base + "/win").c_str(), 1);
    EXPECT_EQ(GetWindowsFolderPath(), base + "/win/");
    ::unsetenv("WINAPI_WINDIR");
    EXPECT_EQ(GetWindowsFolderPath(), "/etc/");

    // The library carries its own version record.
    const auto library = winapi::GetModulePath(reinterpret_cast<const void*>(&InitQuillmark));
    ASSERT_TRUE(library.has_value());
    const auto version = winapi::GetFileVersionInfo(*library);
    ASSERT_TRUE(version.has_value()) << *library;
    EXPECT_STREQ(version->GetString("FileDescription"), "Quillmark profile library");

    // The day the library was compiled: a local midnight, and no later
    // than the library file itself was written (a day's slack for a change
    // of time zone). The test may be built on another day than the library.
    const auto built = std::chrono::system_clock::to_time_t(GetLastCompileDate());
    EXPECT_GT(built, 0);
    std::tm local {};
    ASSERT_NE(::localtime_r(&built, &local), nullptr);
    EXPECT_EQ(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec, 0);
    struct stat st {};
    ASSERT_EQ(::stat(library->c_str(), &st), 0);
    EXPECT_LE(built, st.st_mtime + 86400);
}
