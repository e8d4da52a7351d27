// The about box's texts from the program's version record and the
// connection's database version; no display.
#include "editor/dialogs/core/aboutdlgmodel.h"

#include "tests/common/testsupport.h"

#include "winapi/module_version.h"

#include <gtest/gtest.h>

WINAPI_MODULE_VERSION("about box tests")

using namespace tarnwick;

namespace {

TEST(AboutBox, ShowsTheRecordsTextsAndTheDatabaseVersion)
{
    CVersionInfo version;
    ASSERT_NE(version.GetString("ProductVersion"), nullptr);
    EXPECT_EQ(version.GetString("NoSuchValue"), nullptr);

    CAboutDlgModel about;
    about.OnInitDialog(version, "3.01.35", 1);
    EXPECT_EQ(about.m_strProductName, "Kelm");
    EXPECT_EQ(about.m_strVersion, std::string("Tarnwick - ") + KELM_VERSION_STRING + "\nБаза Данных - 3.01.35");
    EXPECT_EQ(about.m_strCompany, KELM_COMPANY_NAME);
    // The notice, then the record's copyright on a line of its own.
    const std::string tail = std::string("\n") + KELM_LEGAL_COPYRIGHT;
    ASSERT_GT(about.m_strLegal.size(), tail.size());
    EXPECT_EQ(about.m_strLegal.substr(about.m_strLegal.size() - tail.size()), tail);
    EXPECT_EQ(about.m_strLegal.find('\n'), about.m_strLegal.size() - tail.size());
}

TEST(AboutBox, BeforeAConnectionAndWithoutARecordOnlyTheFixedPartsShow)
{
    CAboutDlgModel unconnected;
    unconnected.OnInitDialog(CVersionInfo(), "", 0);
    EXPECT_EQ(unconnected.m_strVersion, std::string("Tarnwick - ") + KELM_VERSION_STRING + "\nБаза Данных - ");

    kelm::test::TempDir dir;
    CVersionInfo none(dir.write("not-a-module", "x").string());
    EXPECT_EQ(none.GetString("ProductName"), nullptr);
    CAboutDlgModel about;
    about.OnInitDialog(none, "", 0);
    EXPECT_EQ(about.m_strProductName, "");
    EXPECT_EQ(about.m_strCompany, "");
    EXPECT_EQ(about.m_strVersion, "Tarnwick - \nБаза Данных - ");
    EXPECT_EQ(about.m_strLegal.find('\n'), std::string::npos);
    EXPECT_FALSE(about.m_strLegal.empty());
}

TEST(AboutBox, TheCaptionNamesTheDiagramKind)
{
    const std::pair<int, const char*> cases[] = {
        {0, "О программе Tarnwick"},
        {1, "О программе \"Документооборот\""},
        {2, "О программе \"Подразделения\""},
        // Unknown kinds keep the resource's caption.
        {3, ""},
        {-1, ""},
        {999, ""},
    };
    for (const auto& [kind, caption] : cases) {
        CAboutDlgModel about;
        about.OnInitDialog(CVersionInfo(), "1", kind);
        EXPECT_EQ(about.m_strCaption, caption) << kind;
    }
}

} // namespace
