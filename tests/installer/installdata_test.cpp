#include "installer/common/utils.h"
#include "installer/core/installdata.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <typeinfo>
#include <vector>

using namespace dorvik;

namespace {

std::string kindOf(const TBase& step)
{
    if (dynamic_cast<const TDatabase*>(&step))
        return "database";
    if (dynamic_cast<const TPatch*>(&step))
        return "patch";
    if (dynamic_cast<const TLicense*>(&step))
        return "license";
    if (dynamic_cast<const TLogin*>(&step))
        return "login";
    if (dynamic_cast<const TStart*>(&step))
        return "start";
    if (dynamic_cast<const TEnd*>(&step))
        return "end";
    return "?";
}

std::vector<std::string> steps(const CInstallData& data)
{
    std::vector<std::string> out;
    data.ForEach([&](TBase& s) { out.push_back(kindOf(s) + ":" + s.m_strName); });
    return out;
}

template <typename T> T* find(const CInstallData& data, const std::string& name)
{
    T* found = nullptr;
    data.ForEach([&](TBase& s) {
        if (s.m_strName == name)
            found = dynamic_cast<T*>(&s);
    });
    return found;
}

} // namespace

TEST(InstallData, SectionNamesMakeTheSteps)
{
    kelm::test::TempDir dir;
    using V = std::vector<std::string>;
    struct Case {
        std::string ini;
        V expected;
    } cases[] = {
        {"[License]\n[MainWindow]\n[Dorvik_Main]\n[patchdb_1]\n",
         V{"start:START", "license:LICENSE", "login:LOGIN", "database:DORVIK_MAIN", "patch:PATCHDB_1", "end:END"}},
        {"[MAINWINDOW]\n[LICENSE]\n[DORVIK]\n",
         V{"start:START", "login:LOGIN", "license:LICENSE", "database:DORVIK", "end:END"}},
        {"[DORVIK_PATCHDB]\n[LICENSE_PATCHDB]\n[START]\n[LOGIN]\n",
         V{"start:START", "login:LOGIN", "database:DORVIK_PATCHDB", "patch:LICENSE_PATCHDB", "end:END"}},
        {"[LICENSE_PATCHDB]\n", V{"start:START", "license:LICENSE_PATCHDB", "login:LOGIN", "end:END"}},
    };
    for (const auto& c : cases) {
        auto ini = dir.write("kit.ini", c.ini);
        CInstallData data;
        ASSERT_TRUE(data.Load(ini.string())) << c.ini;
        EXPECT_EQ(steps(data), c.expected) << c.ini;
    }
    CInstallData data;
    EXPECT_FALSE(data.Load((dir / "missing.ini").string()));
    EXPECT_FALSE(data.Load(dir.write("empty.ini", "; nothing\n").string()));

    // Many long section names are all read.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "[PATCHDB_WITH_A_RATHER_LONG_NAME_" + std::to_string(i) + "]\n";
    ASSERT_TRUE(data.Load(dir.write("many.ini", many).string()));
    EXPECT_EQ(data.GetCount(), 303);
}

TEST(InstallData, KeysAndDefaults)
{
    kelm::test::TempDir dir;
    std::string longStep(400, 'x');
    auto ini = dir.write("kit.ini", "[START]\nDefaultLanguage=2\nSectionDescriptionE=gone\n"
                                    "[LOGIN]\nServer=db.example.org\\5433\nTrustedConnection=1\n"
                                    "[DORVIK]\nNeedDiskSpace=1.9M\nNeedDiskSpace2=M\nPathData=/srv/data\n"
                                    "TempDataBase=temp\nLoadDump=7\nInstallSection=0\nWeekMaintenanceDay=3\n"
                                    "BcpPath=%PATHDATA%/bcp\nInfo=" + longStep + "\n"
                                    "[PATCHDB]\nHideTempDatabaseControls=1\nUsing=%DATABASE%.pak\n"
                                    "[LICENSE]\n");
    CInstallData data;
    ASSERT_TRUE(data.Load(ini.string()));
    EXPECT_EQ(data.GetDefaultLanguage(), 1);
    EXPECT_EQ(data.GetStartStep()->m_strSectionDescriptionE, "");

    TLogin* login = data.GetLoginStep();
    EXPECT_EQ(login->m_strServer, "db.example.org\\5433");
    EXPECT_EQ(login->m_strUser, "sa");
    EXPECT_TRUE(login->m_bTrustedConnection);
    EXPECT_TRUE(login->m_bEnableChangeLogin);

    auto* db = find<TDatabase>(data, "DORVIK");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->m_nNeedDiskSpace, 1);
    EXPECT_EQ(db->m_nNeedDiskSpace2, 0);
    EXPECT_EQ(db->m_strPathData2, "/var/lib/kelm/data");
    EXPECT_EQ(db->m_strTempDataBase, ""); // a database step has no temporary database
    EXPECT_EQ(db->m_strDataBase, "Enterprise");
    EXPECT_EQ(db->m_strCollateStr, "");
    EXPECT_EQ(db->m_nLoadDump, 0);
    EXPECT_FALSE(db->m_bEnabled);
    EXPECT_TRUE(db->m_bInstallWeekMaintenance);
    EXPECT_EQ(db->m_nDayMaintenanceTime, 5);
    EXPECT_EQ(db->m_nWeekMaintenanceDay, 3);
    EXPECT_EQ(db->m_strBcpPath, "/srv/data/bcp");
    EXPECT_EQ(db->m_strInfo, longStep);

    auto* patch = find<TPatch>(data, "PATCHDB");
    ASSERT_TRUE(patch);
    EXPECT_TRUE(patch->m_bEnabled);
    EXPECT_TRUE(patch->m_bHideTempDatabaseControls);
    EXPECT_EQ(patch->m_strTempDataBase, "Temp_Enterprise");
    EXPECT_EQ(patch->m_strUsing, "Enterprise.pak");

    ASSERT_TRUE(find<TLicense>(data, "LICENSE"));
    CInstallData again;
    ASSERT_TRUE(again.Load(ini.string(), dir.path().string()));
    EXPECT_EQ(find<TLicense>(again, "LICENSE")->m_strLicenseFile, dir.path().string() + "/License.txt");
}

TEST(InstallData, MacrosOfEachStepClass)
{
    kelm::test::TempDir dir;
    auto ini = dir.write("kit.ini", "[LOGIN]\nServer=srv\nUser=u\nPassword=p\n"
                                    "[DORVIK]\nDataBase=Kelm\nPathData=/d1\nPathData2=/d2\nCollateStr=C\nInfo=i.html\n"
                                    "[PATCHDB]\nDataBase=Kelm2\nTempDataBase=T2\nBcpPath=/bcp\n");
    CInstallData data;
    ASSERT_TRUE(data.Load(ini.string()));
    auto* db = find<TDatabase>(data, "DORVIK");
    auto* patch = find<TPatch>(data, "PATCHDB");
    db->m_strBackUpPath = "/backup";
    setenv("TMPDIR", dir.path().c_str(), 1);
    struct Case {
        const TBase* step;
        std::string text;
        bool escapes;
        std::string expected;
    } cases[] = {
        {db, "%SERVER%;%USER%;%PASSWORD%;%TRUSTEDCONNECTION%", false, "srv;u;p;0"},
        {db, "%DATABASE% %PATHDATA% %PATHDATA2% %COLLATESTR% %BACKUPPATH% %INFO%", false, "Kelm /d1 /d2 C /backup i.html"},
        {patch, "%DATABASE% %TEMPDATABASE% %BCPPATH% %BACKUPPATH%", false, "Kelm2 T2 /bcp %BACKUPPATH%"},
        {data.GetLoginStep(), "%DATABASE% %SERVER%", false, "%DATABASE% srv"},
        {db, "%database% %Server%", false, "%database% %Server%"},
        {db, "a\\nb\\tc", false, "a\\nb\\tc"},
        {db, "a\\nb\\tc", true, "a\nb\tc"},
        {db, "%TMPDIR%/x", false, dir.path().string() + "/x"},
        {db, "%DATABASE%%DATABASE%", false, "KelmKelm"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        data.ExpandMacros(text, c.step, c.escapes);
        EXPECT_EQ(text, c.expected) << c.text;
    }
    unsetenv("TMPDIR");
}

TEST(InstallData, NeededSpaceCountsEnabledStepsBeforeOne)
{
    kelm::test::TempDir dir;
    auto ini = dir.write("kit.ini", "[DORVIK_A]\nNeedDiskSpace=100M\nNeedDiskSpace2=10M\nPathData=/tmp\nPathData2=/tmp\n"
                                    "[PATCHDB_B]\nNeedDiskSpace=7M\nPathData=/tmp\nPathData2=/tmp\n"
                                    "[PATCHDB_C]\nNeedDiskSpace=5M\nPathData=/tmp\nHideTempDatabaseControls=1\n"
                                    "[DORVIK_D]\nNeedDiskSpace=1000M\nPathData=/tmp\nInstallSection=0\n");
    CInstallData data;
    ASSERT_TRUE(data.Load(ini.string()));
    auto drive = winapi::GetDriveOfPath("/tmp");
    ASSERT_TRUE(drive);
    EXPECT_EQ(data.NeededSpaceBefore(*drive, nullptr), 117);
    EXPECT_EQ(data.NeededSpaceBefore(*drive, find<TPatch>(data, "PATCHDB_B")), 110);
    EXPECT_EQ(data.NeededSpaceBefore(*drive, find<TPatch>(data, "DORVIK_A")), 0);
    EXPECT_EQ(ParseDiskSpace("250G"), 250);
    EXPECT_EQ(ParseDiskSpace("1.9M"), 1);
    EXPECT_EQ(ParseDiskSpace("M"), 0);
    EXPECT_EQ(ParseDiskSpace(""), 0);
}
