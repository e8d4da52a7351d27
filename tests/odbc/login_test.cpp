// The login dialog's rules on data sources of its own: temporary system and
// user odbc.ini files with PostgreSQL and SQLite sources, the setting store
// in a temporary folder.
#include "odbc/data/core/databaseex.h"
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/listfillers.h"
#include "odbc/data/core/messages.h"

#include "profile/quillmark.h"
#include "tests/odbc/datasources.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace kelm::test;

namespace {

// Must be in place before the first ODBC call of the process.
class LoginSources : public ::testing::Environment {
public:
    void SetUp() override
    {
        dir = std::make_unique<TempDir>();
        std::string db = (*dir / "lite.db").string();
        UseOwnDataSources(*dir,
                          "[KelmPg]\nDriver=PostgreSQL Unicode\nServername=localhost\nDatabase=kelm\n\n"
                          "[kelmlite]\nDriver=SQLite3\nDatabase=" + db + "\n\n"
                          "[Trusted]\nDriver=SQLite3\nDatabase=" + db + "\nTrusted_Connection=yes\n\n"
                          "[Other]\nDriver=SQLite\nDatabase=" + db + "\n\n"
                          // A driver description far past the old 256-byte buffer.
                          "[LongDriver]\nDriver=" + std::string(300, 'd') + "\n\n"
                          "[Zafter]\nDriver=SQLite3\nDatabase=" + db + "\n\n",
                          "[UserSrc]\nDriver=SQLite3\nDatabase=" + db + "\n\n");
        setenv("XDG_CONFIG_HOME", (dir->path() / "config").c_str(), 1);
        setenv("LC_ALL", "ru_RU.UTF-8", 1);
    }
    void TearDown() override { dir.reset(); }
    std::unique_ptr<TempDir> dir;
};

const auto* const g_sources = ::testing::AddGlobalTestEnvironment(new LoginSources);

struct Messages {
    Messages()
    {
        SetOrvoMessageHandler([this](const std::string& text, long style) {
            shown.push_back(text);
            styles.push_back(style);
            return IDOK;
        });
    }
    ~Messages() { SetOrvoMessageHandler(nullptr); }
    std::vector<std::string> shown;
    std::vector<long> styles;
};

const char* const kKelmDrivers[] = {"PostgreSQL Unicode", "SQLite3"};

// Must run before the setting store is set up (the next test does that).
TEST(LoginDialog, OkBeforeTheSettingStoreExistsKeepsTheAnswersAndThrowsNothing)
{
    ASSERT_EQ(GetPrivateINIFileName() == nullptr || *GetPrivateINIFileName() == '\0', true);
    Messages messages;
    CLoginDlg dlg(nullptr, "Login", kKelmDrivers, 2, false, nullptr);
    ASSERT_TRUE(dlg.OnInitDialog());
    dlg.TypeUser("anna");
    EXPECT_NO_THROW(dlg.OnOK());
    EXPECT_EQ(dlg.GetConnectStr(), "DSN=kelmlite;UID=anna;PWD=");
}

TEST(LoginDialog, DataSourcesListedFilteredPresetAndLocked)
{
    const char* const withNull[] = {nullptr, "sqlite3"};
    const char* const empty[] = {"PostgreSQL Unicode"};
    struct Case {
        const char* what;
        const char* const* filter;
        short count;
        std::optional<std::string> preset; // nullopt: the constructor gets null
        bool lock;
        const char* exclude;
        std::vector<std::string> items;
        std::string selected;
        bool message;
        bool comboEnabled;
    };
    const std::vector<std::string> all = {"kelmlite", "KelmPg", "LongDriver", "Other", "Trusted", "UserSrc", "Zafter"};
    const std::vector<std::string> kelm = {"kelmlite", "KelmPg", "Trusted", "UserSrc", "Zafter"};
    const std::vector<std::string> lite = {"kelmlite", "Trusted", "UserSrc", "Zafter"};
    const Case cases[] = {
        {"no filter lists all, sorted without regard to case", nullptr, 0, std::nullopt, false, nullptr, all, "kelmlite",
         false, true},
        {"the Kelm drivers", kKelmDrivers, 2, std::nullopt, false, nullptr, kelm, "kelmlite", false, true},
        {"an empty filter lists nothing", empty, 0, std::nullopt, false, nullptr, {}, "", false, true},
        {"null entries never match; case ignored", withNull, 2, std::nullopt, false, nullptr, lite, "kelmlite",
         false, true},
        {"preset found and locked", kKelmDrivers, 2, "Trusted", true, nullptr, kelm, "Trusted", false, false},
        {"preset found, not locked", kKelmDrivers, 2, "Zafter", false, nullptr, kelm, "Zafter", false, true},
        {"preset differing in case is missing", kKelmDrivers, 2, "kelmpg", true, nullptr, kelm, "kelmlite", true,
         true},
        {"preset missing", nullptr, 0, "Gone", true, nullptr, all, "kelmlite", true, true},
        {"preset filtered out", kKelmDrivers, 2, "Other", true, nullptr, kelm, "kelmlite", true, true},
        {"preset excluded counts as missing", kKelmDrivers, 2, "KelmPg", true, "KelmPg",
         {"kelmlite", "Trusted", "UserSrc", "Zafter"}, "kelmlite", true, true},
        {"excluded only, preset kept", kKelmDrivers, 2, "Zafter", true, "Trusted",
         {"kelmlite", "KelmPg", "UserSrc", "Zafter"}, "Zafter", false, false},
        {"empty preset with the lock never locks", kKelmDrivers, 2, "", true, nullptr, kelm, "kelmlite", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Messages messages;
        std::unique_ptr<CLoginDlg> dlg;
        if (c.exclude != nullptr) {
            dlg = std::make_unique<CLoginDlg>(nullptr, "", c.filter, c.count, c.lock,
                                              c.exclude);
            // As a DSN remembered under a section would be.
            dlg->m_strDSN = c.preset.value_or("");
            dlg->m_bLockDSN = c.lock;
        } else {
            dlg = std::make_unique<CLoginDlg>("someone", c.preset ? c.preset->c_str() : nullptr, c.lock, nullptr,
                                              c.filter, c.count);
        }
        ASSERT_TRUE(dlg->OnInitDialog());
        EXPECT_EQ(dlg->m_dsnItems, c.items);
        if (c.items.empty()) {
            EXPECT_FALSE(dlg->m_bOKEnabled);
            continue;
        }
        EXPECT_EQ(dlg->m_dsnItems.at(static_cast<std::size_t>(dlg->m_nDsnSel)), c.selected);
        EXPECT_EQ(dlg->m_strDSN, c.selected);
        EXPECT_EQ(dlg->m_bDsnEnabled, c.comboEnabled);
        if (c.message) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0], "Запрашиваемый DSN - \"" + *c.preset + "\" отсутствует!\nВыберите DSN из списка.");
        } else {
            EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
        }
    }
}

TEST(LoginDialog, TrustedSourceShowsThePlaceholderAndGivesTheTypedUserBack)
{
    Messages messages;
    CLoginDlg dlg("anna", "kelmlite", false, nullptr, kKelmDrivers, 2);
    ASSERT_TRUE(dlg.OnInitDialog());
    EXPECT_EQ(dlg.m_userText, "anna");
    EXPECT_TRUE(dlg.m_bOKEnabled);
    dlg.TypeUser("");
    EXPECT_FALSE(dlg.m_bOKEnabled); // no user, no OK
    dlg.TypeUser("boris");
    dlg.TypePassword("secret");

    int trusted = static_cast<int>(std::find(dlg.m_dsnItems.begin(), dlg.m_dsnItems.end(), "Trusted") - dlg.m_dsnItems.begin());
    dlg.SelectDsn(trusted);
    EXPECT_EQ(dlg.m_userText, "Аутентификация средствами ОС");
    EXPECT_EQ(dlg.m_passwordText, "");
    EXPECT_FALSE(dlg.m_bUserEnabled);
    EXPECT_FALSE(dlg.m_bPasswordEnabled);
    EXPECT_TRUE(dlg.m_bOKEnabled);
    dlg.TypeUser("ignored"); // a disabled edit takes no typing
    EXPECT_EQ(dlg.m_userText, "Аутентификация средствами ОС");

    dlg.SelectDsn(1); // KelmPg, not trusted
    EXPECT_EQ(dlg.m_userText, "boris");
    EXPECT_EQ(dlg.m_passwordText, "secret");
    EXPECT_TRUE(dlg.m_bUserEnabled);

    dlg.SelectDsn(trusted);
    dlg.OnOK();
    EXPECT_EQ(dlg.GetConnectStr(), "DSN=Trusted;UID=;PWD=");
    std::string odbc;
    dlg.GetODBCConnectStr(odbc);
    EXPECT_EQ(odbc, "ODBC;DSN=Trusted;UID=;PWD=");
}

TEST(LoginDialog, EditsKeepTheirLimitsAndValuesAreBraced)
{
    Messages messages;
    CLoginDlg dlg("", "KelmPg", false, nullptr, kKelmDrivers, 2);
    ASSERT_TRUE(dlg.OnInitDialog());
    dlg.TypeUser(std::string(40, 'u'));
    EXPECT_EQ(dlg.m_userText.size(), 32u);
    dlg.TypePassword("пароль-из-двадцати-пяти-б"); // cut at 20 letters, never inside one
    EXPECT_EQ(dlg.m_passwordText, "пароль-из-двадцати-п");
    dlg.TypeUser("a;b");
    dlg.TypePassword("p}w");
    dlg.OnOK();
    EXPECT_EQ(dlg.GetConnectStr(), "DSN=KelmPg;UID={a;b};PWD={p}}w}");
}

TEST(LoginDialog, SectionRemembersUserAndSourceButNeverThePassword)
{
    ASSERT_TRUE(InitQuillmark("Varnholt Inc/Orvo Server/LoginTest/", "login.ini"));
    Messages messages;
    {
        CLoginDlg dlg(nullptr, "Login", kKelmDrivers, 2, true, nullptr);
        EXPECT_FALSE(dlg.m_bLockDSN); // nothing remembered yet: no lock
        ASSERT_TRUE(dlg.OnInitDialog());
        dlg.SelectDsn(0); // kelmlite
        dlg.TypeUser("vera");
        dlg.TypePassword("TopSecret42");
        dlg.OnOK();
    }
    EXPECT_EQ(GetPrivateProfileStringQM("Login", "UID", "?"), "vera");
    EXPECT_EQ(GetPrivateProfileStringQM("Login", "DSN", "?"), "kelmlite");
    std::vector<std::string> files;
    GetPrivateProfilePaths(files, false);
    ASSERT_FALSE(files.empty());
    std::string ini = readFile(files.front());
    ASSERT_NE(ini.find("vera"), std::string::npos);
    EXPECT_EQ(ini.find("TopSecret42"), std::string::npos) << ini;

    CLoginDlg again(nullptr, "Login", kKelmDrivers, 2, true, nullptr);
    EXPECT_EQ(again.m_strUID, "vera");
    EXPECT_TRUE(again.m_bLockDSN);
    ASSERT_TRUE(again.OnInitDialog());
    EXPECT_EQ(again.m_strDSN, "kelmlite");
    EXPECT_FALSE(again.m_bDsnEnabled);
    EXPECT_EQ(again.m_userText, "vera");
    EXPECT_TRUE(messages.shown.empty());

    // A trusted source stores an empty user.
    int trusted = static_cast<int>(std::find(again.m_dsnItems.begin(), again.m_dsnItems.end(), "Trusted") -
                                   again.m_dsnItems.begin());
    again.SelectDsn(trusted);
    again.OnOK();
    EXPECT_EQ(GetPrivateProfileStringQM("Login", "UID", "?"), "");
    EXPECT_EQ(GetPrivateProfileStringQM("Login", "DSN", "?"), "Trusted");
}

// Derived dialogs choose their sources in their own way.
class OnlyUserSources : public CLoginDlg {
public:
    using CLoginDlg::CLoginDlg;

protected:
    bool IsAddToList(const char* dsn, const char*) override { return std::string(dsn) == "UserSrc"; }
};

TEST(LoginDialog, DerivedDialogFiltersItsOwnWay)
{
    OnlyUserSources dlg;
    ASSERT_TRUE(dlg.OnInitDialog());
    EXPECT_EQ(dlg.m_dsnItems, std::vector<std::string>{"UserSrc"});
}

TEST(DataSourceList, WalkGoesOnPastALongDriverDescription)
{
    std::vector<OrvoDataSource> sources;
    ASSERT_TRUE(EnumDataSources(sources));
    std::vector<std::string> names;
    for (const OrvoDataSource& s : sources)
        names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"UserSrc", "KelmPg", "kelmlite", "Trusted", "Other", "LongDriver", "Zafter"}));
    EXPECT_EQ(sources[5].driver, std::string(300, 'd'));
    EXPECT_EQ(sources[1].driver, "PostgreSQL Unicode");

    std::vector<std::string> filter = {"sqlite3"};
    EXPECT_TRUE(DriverPassesFilter(nullptr, "anything"));
    EXPECT_TRUE(DriverPassesFilter(&filter, "SQLite3"));
    EXPECT_FALSE(DriverPassesFilter(&filter, "SQLite"));
    std::vector<std::string> none;
    EXPECT_FALSE(DriverPassesFilter(&none, "SQLite3"));
}

} // namespace

namespace {

TEST(DataSourceList, ManySourcesAreListedWhole)
{
    // More names than the driver manager's own walk lists (about 4 KB of them).
    TempDir dir;
    std::string ini;
    for (int i = 0; i < 600; ++i)
        ini += "[Source number " + std::to_string(i) + "]\nDriver=SQLite3\n\n";
    std::string saved = std::getenv("ODBCINI");
    setenv("ODBCINI", dir.write("many.ini", ini).c_str(), 1);
    std::vector<OrvoDataSource> sources;
    bool read = EnumDataSources(sources);
    setenv("ODBCINI", saved.c_str(), 1);
    ASSERT_TRUE(read);
    ASSERT_EQ(sources.size(), 600u + 6u); // and the six system sources
    EXPECT_EQ(sources[599].name, "Source number 599");
    EXPECT_EQ(sources[599].driver, "SQLite3");
    EXPECT_EQ(sources[600].name, "KelmPg");
}

} // namespace
