// App.ini records, the command line, Files.dat and the data-source
// attributes of setup and uninstall.
#include "setup/appini.h"
#include "setup/setupapp.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace kelm_setup;
using kelm::test::TempDir;

namespace {

const char* kInfo = "[INSTALL_INFO]\n"
                    "DevID=Kelm\nDevName=Varnholt Inc\nDevLink=\nAppName=Demo\nAppVer=1.0\n"
                    "AppGUID=12AB-34cd\nClientVer=1.0\nCopyPath=app\\sub\nEnglish=1\nLicense_agr=2\n";

struct IniCase {
    const char* name;
    std::string text;
    bool loads;
    std::size_t sections;
};

TEST(AppIni, RecordsFollowTheSectionRules)
{
    const IniCase cases[] = {
        {"installation record first", std::string(kInfo) + "[DBSEC1]\nDSN=a\n[other]\nDSN=x\n[sec_main]\nDSN=b\n",
         true, 2},
        {"a data-source section first is lost",
         std::string("[MAINSEC]\nDSN=lost\n") + kInfo + "[DBSEC2]\nDSN=kept\n", true, 1},
        {"empty DevLink accepted", kInfo, true, 0},
        {"empty ClientVer fails", "[INSTALL_INFO]\nDevID=K\nDevName=V\nAppName=A\nAppVer=1\nAppGUID=1\n", false, 0},
        {"empty AppName stops the reading", "[INSTALL_INFO]\nDevID=K\nDevName=V\nAppVer=1\nAppGUID=1\nClientVer=1\n",
         false, 0},
        {"no sections", "DevID=K\n", false, 0},
        {"AppName '..'", "[INSTALL_INFO]\nDevID=K\nDevName=V\nAppName=..\nAppVer=1\nAppGUID=1\nClientVer=1\n", false,
         0},
        {"DevID with '/'", "[INSTALL_INFO]\nDevID=a/b\nDevName=V\nAppName=A\nAppVer=1\nAppGUID=1\nClientVer=1\n",
         false, 0},
        {"AppVer '.'", "[INSTALL_INFO]\nDevID=K\nDevName=V\nAppName=A\nAppVer=.\nAppGUID=1\nClientVer=1\n", false, 0},
        {"AppGUID not hex", "[INSTALL_INFO]\nDevID=K\nDevName=V\nAppName=A\nAppVer=1\nAppGUID=x\\y\nClientVer=1\n",
         false, 0},
        {"shortcut name with '/'", std::string(kInfo) + "[SEC]\nSHORTCUT1=-x\nSHORTCUT_NAME1=../evil\n", false, 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = dir.write("App.ini", c.text);
        CInstallData data;
        EXPECT_EQ(data.LoadAppIni(path.string()), c.loads);
        EXPECT_EQ(data.GetSections().size(), c.sections);
    }
}

TEST(AppIni, InstallationRecordReadsEveryKey)
{
    TempDir dir;
    CInstallData data;
    auto path = dir.write("App.ini", std::string(kInfo) + "AppIco=img\\app.png\nInstallPath=\"%Program Files%\\Tools\"\n");
    ASSERT_TRUE(data.LoadAppIni(path.string()));
    TInstallInfo* info = data.GetInstallInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->m_strAppGUID, "{12AB-34cd}");
    EXPECT_EQ(info->m_strCopyPath, "app/sub");
    EXPECT_EQ(info->m_strAppIco, "img/app.png");
    EXPECT_EQ(info->m_strInstallPath, "%Program Files%/Tools");
    EXPECT_TRUE(info->m_bEnglish);
    EXPECT_TRUE(info->m_bLicenseAgr);
    EXPECT_EQ(info->m_strDevLink, "");
    EXPECT_EQ(BraceGuid("{ab}"), "{ab}");
    EXPECT_EQ(BraceGuid("ab}"), "{ab}");
    EXPECT_EQ(BraceGuid("{ab"), "{ab}");
}

TEST(AppIni, ShortcutsAreNumberedUpToTheLinesThatMentionThem)
{
    TempDir dir;
    std::string longArgs(3000, 'x'); // longer than the original's 2048-byte section buffer
    auto path = dir.write("App.ini", std::string(kInfo) +
                                         "[DBSEC1]\nCreateDSN=1\nDSN=Main\nSHORTCUT1=-d:%DSN%\nSHORTCUT_NAME1=Run\n"
                                         "SHORTCUT3=" + longArgs + "\nICON3=i\\3.png\nEXE_FILE3=bin\\tool\n"
                                         "SHORTCUT5=-never\n"
                                         "[DBSEC2]\nSHORTCUT_NAME1=x\nSHORTCUT1=\n");
    CInstallData data;
    ASSERT_TRUE(data.LoadAppIni(path.string()));
    auto sections = data.GetSections();
    ASSERT_EQ(sections.size(), 2u);
    // Four lines hold "SHORTCUT": numbers 1 to 4, so 5 is never looked at.
    const TSec& sec = *sections[0];
    EXPECT_EQ(sec.m_strSection, "DBSEC1");
    EXPECT_TRUE(sec.m_bCreateDSN);
    ASSERT_EQ(sec.m_Arguments.size(), 2u);
    EXPECT_EQ(sec.m_Arguments[0], "-d:%DSN%");
    EXPECT_EQ(sec.m_Names[0], "Run");
    EXPECT_EQ(sec.m_Icons[0], "");
    EXPECT_EQ(sec.m_Arguments[1], longArgs);
    EXPECT_EQ(sec.m_Names[1], "");
    EXPECT_EQ(sec.m_Icons[1], "i/3.png");
    EXPECT_EQ(sec.m_Programs[1], "bin/tool");
    EXPECT_TRUE(sections[1]->m_Arguments.empty());
}

TEST(AppIni, ThreeShortcutLinesFindShortcutsOneAndThreeButNotFive)
{
    TempDir dir;
    auto path = dir.write("App.ini", std::string(kInfo) +
                                         "[SEC]\nSHORTCUT1=-a\nSHORTCUT_NAME1=A\nSHORTCUT3=-c\n");
    CInstallData data;
    ASSERT_TRUE(data.LoadAppIni(path.string()));
    const TSec& sec = *data.GetSections().at(0);
    EXPECT_EQ(sec.m_Arguments, (std::vector<std::string>{"-a", "-c"}));

    path = dir.write("App.ini", std::string(kInfo) + "[SEC]\nSHORTCUT1=-a\nSHORTCUT_NAME1=A\nSHORTCUT5=-e\n");
    ASSERT_TRUE(data.LoadAppIni(path.string()));
    EXPECT_EQ(data.GetSections().at(0)->m_Arguments, (std::vector<std::string>{"-a"}));
}

TEST(CommandLine, FlagsAndPlainArguments)
{
    struct Case {
        std::vector<std::string> args;
        int silent;
        int handle;
        std::string path;
        std::string file;
    };
    const Case cases[] = {
        {{"-s"}, 1, 0, "", ""},
        {{"-S"}, 1, 0, "", ""},
        {{"-sx"}, 0, 0, "", ""},
        {{"-s:anything"}, 1, 0, "", ""},
        {{"-h:1234"}, 0, 1234, "", ""},
        {{"-o:/opt/Varnholt Inc/app/uninstall"}, 0, 0, "/opt/Varnholt Inc/app/uninstall", ""},
        {{"/s"}, 0, 0, "", "/s"},
        {{"/srv/kit", "-s", "/other"}, 1, 0, "", "/srv/kit"},
        {{"-", "kit"}, 0, 0, "", "-"},
        {{"-x", "-q:1"}, 0, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        CRunCommandLineInfo info;
        info.Parse(c.args);
        EXPECT_EQ(info.m_nSilent, c.silent);
        EXPECT_EQ(info.m_nHandle, c.handle);
        EXPECT_EQ(info.m_strPath, c.path);
        EXPECT_EQ(info.m_strFileName, c.file);
    }
}

TEST(FileList, WalkListsContentBeforeFoldersAndLeavesOutTheTopUninstaller)
{
    TempDir dir;
    auto kit = dir.path() / "app";
    std::filesystem::create_directories(kit / "sub" / "deeper");
    std::filesystem::create_directories(kit / "empty");
    for (const char* name : {"uninstall", "Uninstall", "b.txt", "A.txt", "sub/uninstall", "sub/deeper/z.bin"})
        std::ofstream(kit / name) << name;
    std::filesystem::create_symlink("/etc", kit / "link");
    std::vector<std::string> lines;
    ASSERT_TRUE(ListFolderTree(kit.string(), lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"A.txt", "b.txt", "empty", "link", "sub/deeper/z.bin", "sub/deeper",
                                               "sub/uninstall", "sub", "Uninstall", "App.ini"}));
    EXPECT_EQ(FormatFileList({"a", "App.ini"}), "a\r\nApp.ini\r\n");

    EXPECT_FALSE(ListFolderTree((dir.path() / "missing").string(), lines));
    std::string deep = dir.path().string();
    while (deep.size() < 300)
        deep += "/" + std::string(40, 'd');
    std::filesystem::create_directories(deep);
    EXPECT_FALSE(ListFolderTree(deep, lines));
}

TEST(FileList, ReadingCutsAtLineFeedsAndDropsAnUnfinishedLastLine)
{
    EXPECT_EQ(ParseFileList("a\r\nsub/b\r\nsub\nApp.ini\r\ntail"),
              (std::vector<std::string>{"a", "sub/b", "sub", "App.ini"}));
    EXPECT_EQ(ParseFileList(""), std::vector<std::string>{});
    EXPECT_EQ(ParseFileList("x\r\r\n"), std::vector<std::string>{"x"});
}

TEST(FileList, DeletingStaysInsideTheFolderAndKeepsFoldersThatStillHoldSomething)
{
    TempDir dir;
    auto folder = dir.path() / "install";
    auto outside = dir.path() / "outside.txt";
    std::filesystem::create_directories(folder / "kept");
    std::filesystem::create_directories(folder / "gone" / "inner");
    std::filesystem::create_directories(dir.path() / "elsewhere");
    std::ofstream(outside) << "x";
    std::ofstream(dir.path() / "elsewhere" / "keep.txt") << "x";
    std::ofstream(folder / "a.txt") << "a";
    std::ofstream(folder / "kept" / "user.txt") << "mine";
    std::ofstream(folder / "kept" / "listed.txt") << "x";
    std::ofstream(folder / "gone" / "inner" / "f") << "x";
    std::filesystem::create_symlink(dir.path() / "elsewhere", folder / "link");
    std::filesystem::create_symlink(dir.path() / "elsewhere", folder / "hop");
    // Installed from read-only media, a file keeps the mode it had there; a
    // link to a read-only file outside is listed as well.
    std::ofstream(folder / "readonly.txt") << "x";
    std::ofstream(dir.path() / "elsewhere" / "readonly.txt") << "x";
    for (const auto& file : {folder / "readonly.txt", dir.path() / "elsewhere" / "readonly.txt"})
        std::filesystem::permissions(file, std::filesystem::perms(0444));
    std::filesystem::create_symlink(dir.path() / "elsewhere" / "readonly.txt", folder / "rolink");
    std::vector<std::string> logged;
    DeleteListedPaths(folder.string(),
                      {"a.txt", "kept/listed.txt", "kept", "../outside.txt", outside.string(), "gone/inner/f",
                       "gone/inner", "gone", "hop/keep.txt", "hop", "link", "missing", "readonly.txt", "rolink"},
                      [&](const std::string& line) { logged.push_back(line); });
    EXPECT_FALSE(std::filesystem::exists(folder / "a.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "kept" / "listed.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder / "kept" / "user.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "link"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "elsewhere" / "keep.txt"));
    EXPECT_TRUE(std::filesystem::exists(outside));
    // A line through a link to another folder deletes nothing there.
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "hop"));
    // A listed read-only file goes; what a link points to stays as it was,
    // mode included.
    EXPECT_FALSE(std::filesystem::exists(folder / "readonly.txt"));
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "rolink"));
    EXPECT_EQ(std::filesystem::status(dir.path() / "elsewhere" / "readonly.txt").permissions(),
              std::filesystem::perms(0444));
    EXPECT_EQ(logged.size(), 2u);
}

TEST(DataSources, TheAttributesOfASectionBecomeTheDriversKeys)
{
    struct Case {
        const char* driver;
        const char* server;
        const char* database;
        std::vector<std::pair<std::string, std::string>> expected;
        bool ok;
    };
    const Case cases[] = {
        // The example of the original: SQL Server attributes for srv1/maindb.
        {"PostgreSQL Unicode", "srv1", "maindb", {{"Servername", "srv1"}, {"Database", "maindb"}}, true},
        {"PostgreSQL Unicode", "(local)", "kelm_demo", {{"Database", "kelm_demo"}}, true},
        {"PostgreSQL Unicode", ".", "", {}, true},
        {"PostgreSQL Unicode", "", "d", {{"Database", "d"}}, true},
        {"PostgreSQL Unicode", "db.example\\5433", "d", {{"Servername", "db.example"}, {"Port", "5433"}, {"Database", "d"}},
         true},
        {"postgresql ansi", "(local),6543", "d", {{"Port", "6543"}, {"Database", "d"}}, true},
        {"PostgreSQL Unicode", "host:5432", "", {{"Servername", "host"}, {"Port", "5432"}}, true},
        {"PostgreSQL Unicode", "srv\\SQLEXPRESS", "d", {}, false},
        {"SQLite3", "", "/var/lib/kelm/demo.db", {{"Database", "/var/lib/kelm/demo.db"}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.driver) + " " + c.server);
        TSec sec;
        sec.m_strDriver = c.driver;
        sec.m_strDSN = "Main";
        sec.m_strServer = c.server;
        sec.m_strDatabase = c.database;
        std::vector<std::pair<std::string, std::string>> attributes;
        std::string error;
        EXPECT_EQ(BuildDsnAttributes(sec, attributes, error), c.ok);
        if (c.ok)
            EXPECT_EQ(attributes, c.expected);
        else
            EXPECT_NE(error.find("named instances"), std::string::npos);
    }
}

TEST(Texts, FormatFillsEachPlaceholderInTurn)
{
    EXPECT_EQ(FormatText("Приложение %s %s будет удалено.", {"Kelm", "1.0"}), "Приложение Kelm 1.0 будет удалено.");
    EXPECT_EQ(FormatText("a %s b %s", {"1"}), "a 1 b ");
    EXPECT_EQ(FormatText("100%", {}), "100%");
}

} // namespace
