// Data sources of unixODBC's odbc.ini: the trusted-connection setting, the
// driver of a data source, and the two roads of the logon open.
#include "odbc/data/core/databaseex.h"
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/messages.h"

#include "tests/common/testsupport.h"
#include "winapi/folders.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace kelm::test;

namespace {

// The data sources must be in place before the first ODBC call.
class DataSources : public ::testing::Environment {
public:
    void SetUp() override
    {
        dir = std::make_unique<TempDir>();
        std::string ini;
        for (const char* dsn : {"Main", "Loose", "Plain"}) {
            ini += std::string("[") + dsn + "]\nDriver=SQLite3\nDatabase=" + (*dir / (std::string(dsn) + ".db")).string() +
                   "\n";
            if (std::string(dsn) == "Main")
                ini += "Trusted_Connection=yes\n";
            if (std::string(dsn) == "Loose")
                ini += "Trusted_Connection=Yess\n";
            ini += "\n";
        }
        setenv("ODBCINI", dir->write("odbc.ini", ini).c_str(), 1);
    }
    void TearDown() override { dir.reset(); }
    std::unique_ptr<TempDir> dir;
};

const auto* const g_sources = ::testing::AddGlobalTestEnvironment(new DataSources);

TEST(DataSource, TrustedSettingAndDriverComeFromOdbcIni)
{
    EXPECT_TRUE(IsTrustedConnection("Main"));
    EXPECT_FALSE(IsTrustedConnection("Loose")); // longer than the setting's three letters
    EXPECT_FALSE(IsTrustedConnection("Plain"));
    EXPECT_FALSE(IsTrustedConnection("Missing"));
    EXPECT_FALSE(IsTrustedConnection(""));
    EXPECT_FALSE(IsTrustedConnection(nullptr));

    EXPECT_TRUE(IsDSNDriver("Main", nullptr));
    EXPECT_TRUE(IsDSNDriver("Main", "SQLite"));
    EXPECT_FALSE(IsDSNDriver("Main", "sqlite"));
    EXPECT_FALSE(IsDSNDriver("Missing", nullptr));
    EXPECT_FALSE(IsDSNDriver(nullptr, nullptr));
}

TEST(DataSource, LogonOpensTrustedSourcesWithoutTheDialog)
{
    int shown = 0;
    CLoginDlg::SetPresenter([&](CLoginDlg& dlg) {
        ++shown;
        EXPECT_TRUE(dlg.m_bLockDSN);
        dlg.m_strUID = "someone";
        dlg.m_strPWD = "secret";
        return IDOK;
    });

    CDatabaseEx trusted;
    ASSERT_TRUE(trusted.OpenExLogonDlg("Main", "", "App", 0, nullptr, 0, true));
    EXPECT_EQ(shown, 0);
    std::string dsn, user;
    trusted.GetDSN(dsn);
    EXPECT_EQ(dsn, "Main");
    trusted.GetUserNameA(user);
    EXPECT_EQ(user, winapi::GetUserName());
    EXPECT_EQ(trusted.GetShortConnect(), "DSN=Main;UID=;PWD=;APP=App");

    // No user name passed: the dialog is shown even for a trusted source.
    CDatabaseEx asked;
    ASSERT_TRUE(asked.OpenExLogonDlg("Main", nullptr, "App", 0, nullptr, 0, true));
    EXPECT_EQ(shown, 1);

    // A source that is not trusted always asks.
    CDatabaseEx plain;
    ASSERT_TRUE(plain.OpenExLogonDlg("Plain", "", nullptr, 0, nullptr, 0, true));
    EXPECT_EQ(shown, 2);
    plain.GetUserNameA(user);
    EXPECT_EQ(user, "someone");

    // A second connection like the first on another data source.
    CDatabaseEx other;
    ASSERT_TRUE(other.OpenDBEx(trusted, "Plain", 0xFFFFFFFF));
    other.GetDSN(dsn);
    EXPECT_EQ(dsn, "Plain");
    CLoginDlg::SetPresenter(nullptr);
}

TEST(Messages, TheEnvironmentsLanguagePicksTheTable)
{
    const char* saved = std::getenv("LC_ALL");
    std::string keep = saved ? saved : "";
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    EXPECT_EQ(LoadOrvoString(IDS_ERR_NO_MODEL_VERSION), "Отсутствует информация о версии репозитория!");
    EXPECT_EQ(FormatOrvoString(IDS_ERR_ODBC_DRIVER, {"x"}), "Ошибка ODBC драйвера!\r\nx");
    setenv("LC_ALL", "de_DE.UTF-8", 1); // neither table fits: English
    EXPECT_EQ(LoadOrvoString(IDS_ERR_NO_MODEL_VERSION), "There isn't a data model version information!");
    if (saved)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(DataSource, TraceFileDefaultsBeforeTheSettingsExist)
{
    // This process never initialises the setting store.
    CDatabaseEx::SetTraceFile(nullptr);
    std::string file;
    CDatabaseEx::GetTraceFile(file);
    EXPECT_EQ(file, "./TraceODBC.log");
    EXPECT_EQ(CDatabaseEx::GetFileNameTraceRecordSets(), "./TraceODBC.trr");
}

TEST(DataSourceDeathTest, ALostLinkEndsTheProgramAfterOneMessage)
{
    CDBException other(SQL_ERROR);
    other.m_strStateNativeOrigin = "State:42S02,Native:1,Origin:[x]";
    FatalDBError(&other); // nothing happens
    EXPECT_EXIT(
        {
            SetOrvoMessageHandler([](const std::string& text, long style) {
                std::fprintf(stderr, "shown:%s:%ld\n", text.c_str(), style);
                return IDOK;
            });
            CDBException lost(SQL_ERROR);
            lost.m_strStateNativeOrigin = "State:08S01,Native:0,Origin:[x]";
            lost.m_strError = "link gone";
            FatalDBError(&lost);
        },
        ::testing::KilledBySignal(SIGABRT), "shown:link gone:16");
}

} // namespace
