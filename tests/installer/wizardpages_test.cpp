// The wizard pages' rules without a display: controls, sheet and host are
// fakes, questions are answered by a script.
#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "installer/core/wizardpages.h"
#include "winapi/drives.h"
#include "winapi/text.h"

#include "tests/installer/fakepages.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace dorvik;
using namespace dorvik::test;

namespace {

class WizardPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::SetPrompt(prompt);
        SetPageFactory(&MakeWizardPage);
    }
    void TearDown() override
    {
        winapi::SetPrompt(nullptr);
    }
    void Load(const std::string& ini)
    {
        path = dir.write("dorvik.ini", ini).string();
        run().SetKitFolder(dir.path().string());
        ASSERT_TRUE(data.Load(path, run().KitFolder()));
    }
    RunContext& run() { return *host.run; }
    TBase& Step(const std::string& name)
    {
        TBase* found = nullptr;
        data.ForEach([&](TBase& s) {
            if (s.m_strName == name)
                found = &s;
        });
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    // The step's page, attached to fresh fakes and initialised as when first shown.
    struct Shown {
        std::unique_ptr<CPageBase> page;
        std::unique_ptr<FakeControls> controls;
    };
    Shown Show(const std::string& name, bool init = true)
    {
        Shown s;
        s.page.reset(Step(name).CreatePage());
        s.controls = std::make_unique<FakeControls>(s.page->GetDialogId());
        s.page->Attach(*s.controls, sheet, host);
        if (init)
            s.page->OnInitDialog();
        s.page->OnSetActive();
        return s;
    }
    std::vector<std::string> Asked() const
    {
        std::vector<std::string> out;
        for (const auto& call : prompt->Calls())
            out.push_back(call.text);
        return out;
    }

    kelm::test::TempDir dir;
    std::string path;
    CInstallData data;
    FakeSheet sheet;
    FakeHost host;
    std::shared_ptr<winapi::TestPrompt> prompt = std::make_shared<winapi::TestPrompt>();
};

using Texts = std::vector<std::string>;

} // namespace

TEST_F(WizardPages, StartPageLanguageSwitchChangesEveryText)
{
    Load("[START]\nCaptionE=Welcome to %DATABASE%\nCaptionR=Добро пожаловать\nContextE=Line one\\nLine two\\tend\n"
         "ContextR=Строка\n[LOGIN]\nServer=db1\n");
    auto s = Show("START");
    FakeControls& c = *s.controls;
    EXPECT_TRUE(c.GetCheck(ctl::English));
    EXPECT_FALSE(c.GetCheck(ctl::Russian));
    EXPECT_EQ(sheet.title, "Welcome to %DATABASE%"); // the start step has no database macro
    EXPECT_EQ(c.GetText(ctl::Context), "Line one\nLine two\tend");
    EXPECT_EQ(c.GetText(ctl::LanguageLabel), "Language");
    int texts = sheet.buttonTexts;

    c.Click(*s.page, ctl::Russian);
    EXPECT_EQ(run().Language(), 1);
    EXPECT_EQ(sheet.title, "Добро пожаловать");
    EXPECT_EQ(c.GetText(ctl::Context), "Строка");
    EXPECT_EQ((Texts{c.GetText(ctl::LanguageLabel), c.GetText(ctl::Russian), c.GetText(ctl::English)}),
              (Texts{"Язык интерфейса", "Русский", "English"}));
    EXPECT_GT(sheet.buttonTexts, texts);

    c.Click(*s.page, ctl::English);
    EXPECT_EQ(run().Language(), 0);
    EXPECT_EQ(c.GetText(ctl::Russian), "Russian");
    EXPECT_EQ(sheet.title, "Welcome to %DATABASE%");

    // A page shown again in Russian starts with Russian checked.
    run().SetLanguage(1);
    auto again = Show("START");
    EXPECT_TRUE(again.controls->GetCheck(ctl::Russian));
}

TEST_F(WizardPages, CaptionIsCutAt99CharactersAndTakesTheStepsMacros)
{
    std::string longCaption(120, 'x');
    Load("[LOGIN]\nServer=db1\n[A_DORVIK]\nDataBase=kelm\nCaptionE=" + longCaption + "\nContextE=%DATABASE% on %SERVER%\n");
    auto s = Show("A_DORVIK");
    EXPECT_EQ(sheet.title, std::string(99, 'x'));
    EXPECT_EQ(s.controls->GetText(ctl::Context), "kelm on db1");
}

TEST_F(WizardPages, LicencePageLetsNextPassOnlyAfterYes)
{
    dir.write("License.txt", "The terms.");
    Load("[LICENSE]\nCaptionE=Terms\n[LOGIN]\n");
    auto s = Show("LICENSE");
    FakeControls& c = *s.controls;
    EXPECT_EQ(c.GetText(ctl::LicenseText), "The terms.");
    EXPECT_TRUE(c.GetCheck(ctl::Decline));
    EXPECT_TRUE(sheet.back);
    EXPECT_FALSE(sheet.next);
    c.Click(*s.page, ctl::Accept);
    EXPECT_TRUE(sheet.next);
    c.Click(*s.page, ctl::Decline);
    EXPECT_FALSE(sheet.next);
    EXPECT_TRUE(prompt->Calls().empty());
}

TEST_F(WizardPages, LicencePageWithoutItsFileSaysSoAndShowsNothing)
{
    for (std::string key : {"LicenseFile=missing.txt\n", "LicenseFile=\n"}) {
        Load("[LICENSE]\n" + key + "[LOGIN]\n");
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        auto s = Show("LICENSE");
        std::string name = static_cast<TLicense&>(Step("LICENSE")).m_strLicenseFile;
        EXPECT_EQ(Asked(), Texts{"File not found or corrupted\n\r" + name + " !"}) << key;
        EXPECT_EQ(s.controls->GetText(ctl::LicenseText), "");
        EXPECT_FALSE(sheet.next);
    }
}

TEST(WizardRules, LocalServerNames)
{
    struct Case {
        const char* server;
        bool local;
    } cases[] = {
        {"(local)", true},      {"(local)\\5433", true}, {".", true},         {".\\inst", true},
        {"/var/run/postgresql", true}, {"localhost", true}, {"LocalHost:5433", true}, {"kelmhost", true},
        {"KELMHOST.example.org", true}, {"otherhost", false}, {"127.0.0.1", false}, {"db.example.org", false},
        {"(LOCAL)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLocalServerName(c.server, "KELMHOST"), c.local) << c.server;
}

TEST_F(WizardPages, LoginRefusesEmptyFieldsWithABeepAndTheFocus)
{
    Load("[LOGIN]\nServer=(local)\nUser=sa\nTrustedConnection=0\n");
    struct Case {
        std::string server, user;
        bool trusted;
        int focus;
    } cases[] = {{"", "sa", false, ctl::Server}, {"", "", true, ctl::Server}, {"(local)", "", false, ctl::User}};
    for (const auto& k : cases) {
        auto s = Show("LOGIN");
        s.controls->Click(*s.page, ctl::Trusted, k.trusted);
        s.controls->SetText(ctl::Server, k.server);
        s.controls->SetText(ctl::User, k.user);
        int beeps = prompt->Beeps();
        EXPECT_FALSE(s.page->OnWizardNext());
        EXPECT_EQ(prompt->Beeps(), beeps + 1);
        EXPECT_EQ(s.controls->focus, k.focus);
    }
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(prompt->Calls().empty());
}

TEST_F(WizardPages, LoginTrustedCheckBoxEmptiesAndLocksTheUserFields)
{
    Load("[LOGIN]\nUser=kelm\nPassword=pw\nTrustedConnection=0\n");
    auto s = Show("LOGIN");
    FakeControls& c = *s.controls;
    EXPECT_EQ(c.GetText(ctl::User), "kelm");
    EXPECT_TRUE(c.IsEnabled(ctl::User));
    c.Click(*s.page, ctl::Trusted, true);
    EXPECT_EQ((Texts{c.GetText(ctl::User), c.GetText(ctl::Password)}), (Texts{"", ""}));
    EXPECT_FALSE(c.IsEnabled(ctl::User));
    EXPECT_FALSE(c.IsEnabled(ctl::Password));
    c.Click(*s.page, ctl::Trusted, false);
    EXPECT_EQ(c.GetText(ctl::Password), "pw");

    // Without EnableChangeLogin nothing of the login can change.
    Load("[LOGIN]\nUser=kelm\nEnableChangeLogin=0\n");
    auto locked = Show("LOGIN");
    EXPECT_FALSE(locked.controls->IsEnabled(ctl::User));
    EXPECT_FALSE(locked.controls->IsEnabled(ctl::Trusted));
}

TEST_F(WizardPages, LoginConnectsAsksAndRefuses)
{
    Load("[LOGIN]\nServer=(local)\nUser=kelm\nPassword=pw\n");
    const std::string remote = "The programm may work incorrectly on remote instance of the PostgreSQL server. Are you "
                               "sure this instance is local?";
    const std::string cannot = "Can not connect to the PostgreSQL server !\nPlease check that the service is running "
                               "or try change parameters.";
    const std::string reconnect = "Connection already has been established.\nDo You want reconnect with new parameters ?";
    const std::string notSuper = "You have not superuser rights on the PostgreSQL server !";
    struct Case {
        const char* name;
        std::string server;
        bool live, connects, sysAdmin, typed;
        std::vector<int> answers;
        bool passes;
        Texts questions;
        std::vector<std::string> calls;
    } cases[] = {
        {"first connection", "(local)", false, true, true, false, {}, true, {}, {"connect (local) kelm pw", "refresh"}},
        {"remote, yes", "db.example.org", false, true, true, false, {winapi::IDYES}, true, {remote},
         {"connect db.example.org kelm pw", "refresh"}},
        {"remote, no", "db.example.org", false, true, true, false, {winapi::IDNO}, false, {remote}, {}},
        {"connect fails", "(local)", false, false, true, false, {}, false, {cannot}, {"connect (local) kelm pw"}},
        {"not superuser", "(local)", false, true, false, false, {}, false, {notSuper}, {"connect (local) kelm pw"}},
        {"live, typed, yes", "(local)", true, true, true, true, {winapi::IDYES}, true, {reconnect},
         {"reconnect (local) kelm pw", "refresh"}},
        {"live, typed, no", "(local)", true, true, true, true, {winapi::IDNO}, true, {reconnect}, {"refresh"}},
        {"live, typed, reconnect fails", "(local)", true, false, true, true, {winapi::IDYES}, false,
         {reconnect, cannot}, {"reconnect (local) kelm pw"}},
    };
    for (const auto& k : cases) {
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        for (int answer : k.answers)
            prompt->Script({answer});
        host.Renew();
        host.live = k.live;
        host.connectWorks = k.connects;
        host.sysAdmin = k.sysAdmin;
        auto s = Show("LOGIN");
        auto& page = static_cast<CPageLogin&>(*s.page);
        s.controls->SetText(ctl::Server, k.server);
        if (k.typed)
            s.controls->Type(page, ctl::Password, "pw");
        EXPECT_EQ(page.OnWizardNext(), k.passes) << k.name;
        EXPECT_EQ(Asked(), k.questions) << k.name;
        EXPECT_EQ(host.calls, k.calls) << k.name;
        EXPECT_EQ(page.IsChanged(), !k.passes) << k.name;
    }
}

TEST_F(WizardPages, LoginBackAndNextWithoutAChangeKeepsTheConnectionWithoutAsking)
{
    Load("[LOGIN]\nServer=(local)\nUser=kelm\nTrustedConnection=1\n");
    auto s = Show("LOGIN");
    auto& page = static_cast<CPageLogin&>(*s.page);
    ASSERT_TRUE(page.OnWizardNext());
    page.OnKillActive();
    EXPECT_TRUE(static_cast<TLogin&>(Step("LOGIN")).m_bTrustedConnection);
    // Back to the page and on again: no question, no new connection.
    page.OnSetActive();
    ASSERT_TRUE(page.OnWizardNext());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"connect (local)   trusted", "refresh", "refresh"}));
    EXPECT_TRUE(prompt->Calls().empty());
    // A typed character asks.
    s.controls->Type(page, ctl::Server, "(local)");
    prompt->Script({winapi::IDNO});
    EXPECT_TRUE(page.OnWizardNext());
    EXPECT_EQ(prompt->Calls().size(), 1u);
}

TEST_F(WizardPages, SetupPageShowsNeedAndFreeFigures)
{
    // The steps measure what they need on the real drives; only the free
    // space is made up.
    std::string base = dir.path().string();
    auto drive = winapi::GetDriveOfPath(base);
    ASSERT_TRUE(drive);
    host.realDrives = true;
    host.disks = {{drive->mountPoint, {drive->device, 1000}}};
    host.databases = {"postgres"};
    Load("[LOGIN]\n[A_DORVIK]\nPathData=" + base + "/data/kelm\nPathData2=" + base +
         "/logs\nNeedDiskSpace=300M\nNeedDiskSpace2=20M\n[B_PATCHDB]\nPathData=" + base +
         "/data/patch\nPathData2=relative/folder\nNeedDiskSpace=5M\nNeedDiskSpace2=7M\n");
    auto a = Show("A_DORVIK");
    FakeControls& c = *a.controls;
    EXPECT_EQ((Texts{c.GetText(ctl::Need1), c.GetText(ctl::Need2), c.GetText(ctl::Free1), c.GetText(ctl::Free2)}),
              (Texts{"300 M", "20 M", "1000 M", "1000 M"}));
    // The patch after it: the database step's 320 M on the same drive are
    // taken off; a relative folder has no drive.
    auto b = Show("B_PATCHDB");
    EXPECT_EQ((Texts{b.controls->GetText(ctl::Free1), b.controls->GetText(ctl::Free2)}), (Texts{"680 M", "?"}));
    // A disabled step before it needs nothing.
    Step("A_DORVIK").m_bEnabled = false;
    b.page->OnCommand(ctl::Browse1); // browse cancelled: nothing changes
    EXPECT_EQ(b.controls->GetText(ctl::Folder1), base + "/data/patch");
    static_cast<CPageSetup&>(*b.page).RefreshFreeSpace();
    EXPECT_EQ(b.controls->GetText(ctl::Free1), "1000 M");
    EXPECT_EQ(host.calls.back(), "browse Choose folder " + base + "/data/patch");
    // Browse puts the chosen folder in and refreshes the figure.
    host.browsed = "elsewhere";
    b.page->OnCommand(ctl::Browse1);
    EXPECT_EQ(b.controls->GetText(ctl::Folder1), "elsewhere");
    EXPECT_EQ(b.controls->GetText(ctl::Free1), "?");
}

TEST_F(WizardPages, SetupPageChecksEachDriveOrTheSumOnOne)
{
    struct Case {
        const char* name;
        std::string folder1, folder2;
        int need1, need2;
        std::uint64_t free1, free2;
        bool passes;
        Texts messages;
    } cases[] = {
        {"same drive, sum too big", "/c/data", "/c/log", 300, 200, 400, 0, false, {"Not enough space on disk /c !"}},
        {"same drive, sum fits", "/c/data", "/c/log", 300, 100, 400, 0, true, {}},
        {"two drives, each fits", "/c/data", "/d/log", 300, 200, 300, 200, true, {}},
        {"two drives, second short", "/c/data", "/d/log", 300, 200, 300, 199, false, {"Not enough space on disk /d !"}},
        {"two drives, first short", "/c/data", "/d/log", 300, 200, 10, 10, false, {"Not enough space on disk /c !"}},
        {"no drive passes", "rel/data", "rel/log", 300, 200, 0, 0, true, {}},
    };
    for (const auto& k : cases) {
        kelm::test::TempDir folders;
        std::string f1 = k.folder1[0] == '/' ? k.folder1 : (folders.path() / k.folder1).string();
        Load("[LOGIN]\n[A_DORVIK]\nPathData=" + f1 + "\nPathData2=" + k.folder2 + "\nNeedDiskSpace=" +
             std::to_string(k.need1) + "M\nNeedDiskSpace2=" + std::to_string(k.need2) + "M\n");
        host.disks = {{"/c", {1, k.free1}}, {"/d", {2, k.free2}}};
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        auto s = Show("A_DORVIK");
        EXPECT_EQ(static_cast<CPageSetup&>(*s.page).CheckDiskSpace(), k.passes) << k.name;
        EXPECT_EQ(Asked(), k.messages) << k.name;
    }
}

TEST_F(WizardPages, SetupPageCreatesMissingFoldersOnlyWhenTheUserSaysSo)
{
    std::string data = (dir.path() / "new" / "data").string();
    std::string log = (dir.path() / "log").string();
    std::filesystem::create_directories(log);
    Load("[LOGIN]\n[A_DORVIK]\nPathData=" + data + "\nPathData2=" + log + "\n");
    auto s = Show("A_DORVIK");
    const std::string ask = "Path not exists\n" + data + ". \nCreate this folder ?";

    prompt->Script({winapi::IDNO});
    EXPECT_FALSE(s.page->OnWizardNext());
    EXPECT_FALSE(std::filesystem::exists(data));
    EXPECT_EQ(Asked(), Texts{ask});

    prompt->Script({winapi::IDYES});
    EXPECT_TRUE(s.page->OnWizardNext());
    EXPECT_TRUE(std::filesystem::is_directory(data));

    // Unchecked, the page passes without any check.
    std::string other = (dir.path() / "other").string();
    s.controls->SetText(ctl::Folder1, other);
    s.controls->Click(*s.page, ctl::Install, false);
    EXPECT_FALSE(s.controls->IsEnabled(ctl::Folder1));
    EXPECT_FALSE(s.controls->IsEnabled(ctl::Browse2));
    std::size_t asked = prompt->Calls().size();
    EXPECT_TRUE(s.page->OnWizardNext());
    EXPECT_EQ(prompt->Calls().size(), asked);
    s.page->OnKillActive();
    auto& step = static_cast<TDatabase&>(Step("A_DORVIK"));
    EXPECT_FALSE(step.m_bEnabled);
    EXPECT_EQ(step.m_strPathData, other);
}

TEST_F(WizardPages, DatabasePageSourcesMaintenanceAndBackupFolder)
{
    Load("[LOGIN]\n[A_DORVIK]\nEnableDorvik=1\nLoadDump=1\nbcp_Step1=Script(postgres, a.sql)\n"
         "dump_Step12=Script(postgres, b.sql)\nStopCount=12\n[B_DORVIK]\nEnableDorvik=1\ndump_Step11=x\n");
    host.live = true;
    auto s = Show("A_DORVIK");
    FakeControls& c = *s.controls;
    auto& step = static_cast<TDatabase&>(Step("A_DORVIK"));
    EXPECT_TRUE(c.GetCheck(ctl::LoadDump));
    EXPECT_TRUE(c.IsEnabled(ctl::LoadBcp));
    EXPECT_TRUE(c.IsEnabled(ctl::LoadDump));
    EXPECT_FALSE(c.IsEnabled(ctl::Attach)); // no attach_ steps
    EXPECT_TRUE(c.IsEnabled(ctl::Maintenance));
    EXPECT_EQ(step.m_strBackUpPath, "/srv/pg/backup");
    s.page->OnCommand(ctl::Maintenance);
    EXPECT_EQ(host.calls.back(), "maintenance A_DORVIK");
    c.Click(*s.page, ctl::LoadBcp);
    s.page->OnKillActive();
    EXPECT_EQ(step.m_nLoadDump, 0);

    // Beyond the default StopCount of 10 no step is found.
    auto b = Show("B_DORVIK");
    EXPECT_FALSE(b.controls->IsEnabled(ctl::LoadDump));
    EXPECT_FALSE(b.controls->IsEnabled(ctl::LoadBcp));

    // A server without a job scheduler: the maintenance button stays grey.
    host.jobServer = false;
    auto e = Show("A_DORVIK");
    EXPECT_FALSE(e.controls->IsEnabled(ctl::Maintenance));
    e.controls->Click(*e.page, ctl::Install, false);
    e.controls->Click(*e.page, ctl::Install, true);
    EXPECT_FALSE(e.controls->IsEnabled(ctl::Maintenance));
    EXPECT_TRUE(e.controls->IsEnabled(ctl::Folder1));
}

TEST_F(WizardPages, PatchPageListsTheServersDatabases)
{
    Load("[LOGIN]\n[A_PATCHDB]\nDataBase=kelm\nHideTempDatabaseControls=1\nPathData=nowhere\n"
         "[B_PATCHDB]\nDataBase=gone\n");
    host.live = true;
    host.databases = {"alpha", "kelm", "postgres"};
    auto s = Show("A_PATCHDB");
    FakeControls& c = *s.controls;
    EXPECT_EQ(c.c[ctl::DatabaseCombo].items, host.databases);
    EXPECT_EQ(c.GetText(ctl::DatabaseCombo), "kelm");
    for (int id : FolderControlIds())
        EXPECT_FALSE(c.c[id].shown) << id;
    // Hidden folders are never checked; a selection is needed.
    EXPECT_TRUE(s.page->OnWizardNext());
    c.SetSelection(ctl::DatabaseCombo, 2);
    s.page->OnKillActive();
    EXPECT_EQ(static_cast<TPatch&>(Step("A_PATCHDB")).m_strDataBase, "postgres");
    c.SetItems(ctl::DatabaseCombo, {});
    EXPECT_FALSE(s.page->OnWizardNext());
    EXPECT_TRUE(prompt->Calls().empty());
    c.Click(*s.page, ctl::Install, false);
    EXPECT_FALSE(c.IsEnabled(ctl::DatabaseCombo));

    // A name the server does not have selects the first entry.
    auto b = Show("B_PATCHDB");
    EXPECT_EQ(b.controls->GetText(ctl::DatabaseCombo), "alpha");
}

TEST_F(WizardPages, ServerErrorsInPagesAreShownOrEndTheWizard)
{
    Load("[LOGIN]\nServer=(local)\nUser=kelm\n[A_DORVIK]\nEnableDorvik=1\nBackUpPath=/kit/backup\n"
         "[B_PATCHDB]\nDataBase=kelm\nHideTempDatabaseControls=1\n");

    // The superuser test after Next: the server's own words in an error box,
    // and the page stays (not "not superuser").
    host.failing = {"sysadmin"};
    {
        auto s = Show("LOGIN");
        EXPECT_FALSE(s.page->OnWizardNext());
        // Connected, but the login step is not refreshed.
        EXPECT_EQ(host.calls, std::vector<std::string>{"connect (local) kelm "});
        ASSERT_EQ(Asked(), Texts{"server says no to sysadmin"});
        EXPECT_EQ(prompt->Calls()[0].style, winapi::MB_ICONERROR | winapi::MB_OK);
    }

    // A server error while a page is made is the wizard's own error: it
    // leaves the page and reaches the program's fatal-error path unshown.
    for (const char* failing : {"jobserver", "backup", "databases"}) {
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        host.Renew();
        host.live = true;
        host.databases = {"alpha", "kelm"};
        host.failing = {failing};
        const char* section = std::string(failing) == "databases" ? "B_PATCHDB" : "A_DORVIK";
        try {
            Show(section);
            ADD_FAILURE() << failing << " did not end the page";
        } catch (const dmo::Error& e) {
            EXPECT_EQ(e.description, "server says no to " + std::string(failing));
        }
        EXPECT_TRUE(prompt->Calls().empty()) << failing;
    }

    // Without a live connection the patch page says it cannot reach the
    // server and does not pass; shown again once the server is back, it
    // lists what the server gives, and a list once made is not asked again.
    host.Renew();
    host.live = false;
    host.databases = {"alpha", "kelm"};
    prompt = std::make_shared<winapi::TestPrompt>();
    winapi::SetPrompt(prompt);
    auto b = Show("B_PATCHDB");
    ASSERT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, res::LoadString(res::IDS_CANNOT_CONNECT, run().Language()));
    EXPECT_TRUE(b.controls->c[ctl::DatabaseCombo].items.empty());
    EXPECT_FALSE(b.page->OnWizardNext());
    host.live = true;
    b.page->OnSetActive();
    EXPECT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(b.controls->c[ctl::DatabaseCombo].items, (std::vector<std::string>{"alpha", "kelm"}));
    EXPECT_EQ(b.controls->GetText(ctl::DatabaseCombo), "kelm");
    EXPECT_TRUE(b.page->OnWizardNext());
    host.failing = {"databases"};
    b.page->OnSetActive();
    EXPECT_EQ(prompt->Calls().size(), 1u);
}

TEST_F(WizardPages, MaintenanceDialog)
{
    Load("[LOGIN]\n[A_DORVIK]\nDayMaintenanceTime=3\nWeekMaintenanceTime=22\nWeekMaintenanceDay=6\n");
    auto& step = static_cast<TDatabase&>(Step("A_DORVIK"));
    std::string backup = (dir.path() / "backup").string();
    step.m_strBackUpPath = backup + "/";
    for (int language : {0, 1}) {
        run().SetLanguage(language);
        FakeControls c(147);
        CParamDBPresenter dialog(run(), step);
        dialog.OnInitDialog(c);
        const auto& hours = c.c[ctl::DailyHour].items;
        ASSERT_EQ(hours.size(), 24u);
        EXPECT_EQ(hours.front(), "00:00");
        EXPECT_EQ(hours.back(), "23:00");
        EXPECT_EQ(c.c[ctl::WeeklyHour].items, hours);
        const auto& days = c.c[ctl::WeeklyDay].items;
        ASSERT_EQ(days.size(), 7u);
        EXPECT_EQ(days.front(), language ? "Понедельник" : "Monday");
        EXPECT_EQ(days.back(), language ? "Воскресенье" : "Sunday");
        EXPECT_EQ((std::vector<int>{c.GetSelection(ctl::DailyHour), c.GetSelection(ctl::WeeklyHour),
                                    c.GetSelection(ctl::WeeklyDay)}),
                  (std::vector<int>{3, 22, 6}));
        EXPECT_EQ(CParamDBPresenter::Caption(run()), language ? "Обслуживание БД" : "Database maintenance");
        EXPECT_EQ(c.GetText(ctl::Cancel), language ? "Отказ" : "Cancel");
    }
    run().SetLanguage(0);
    FakeControls c(147);
    CParamDBPresenter dialog(run(), step);
    dialog.OnInitDialog(c);
    EXPECT_FALSE(c.GetCheck(ctl::DailyCheck));
    EXPECT_TRUE(c.GetCheck(ctl::WeeklyCheck));

    // Without a selection OK does nothing and says nothing.
    c.SetSelection(ctl::WeeklyDay, -1);
    EXPECT_FALSE(dialog.OnOK(c));
    EXPECT_TRUE(prompt->Calls().empty());
    c.SetSelection(ctl::WeeklyDay, 0);
    c.SetCheck(ctl::DailyCheck, true);
    c.SetSelection(ctl::DailyHour, 7);

    // A missing backup folder asks; No keeps the dialog and the step as it was.
    prompt->Script({winapi::IDNO});
    EXPECT_FALSE(dialog.OnOK(c));
    EXPECT_FALSE(step.m_bMaintenanceConfirmed);
    EXPECT_FALSE(step.m_bInstallDayMaintenance);
    EXPECT_EQ(Asked(), Texts{"Path not exists\n" + backup + "/. \nCreate this folder ?"});

    prompt->Script({winapi::IDYES});
    EXPECT_TRUE(dialog.OnOK(c));
    EXPECT_TRUE(std::filesystem::is_directory(backup));
    EXPECT_TRUE(step.m_bMaintenanceConfirmed);
    EXPECT_TRUE(step.m_bInstallDayMaintenance);
    EXPECT_TRUE(step.m_bInstallWeekMaintenance);
    EXPECT_EQ(step.m_nDayMaintenanceTime, 7);
    EXPECT_EQ(step.m_nWeekMaintenanceTime, 22);
    EXPECT_EQ(step.m_nWeekMaintenanceDay, 0);
    EXPECT_EQ(step.m_strBackUpPath, backup); // without the trailing slash
    EXPECT_TRUE(step.m_bEnabled);            // whether the step runs is the page's

    host.browsed = "/srv/elsewhere";
    dialog.OnBrowse(c, host);
    EXPECT_EQ(c.GetText(ctl::BackupEdit), "/srv/elsewhere");
    EXPECT_EQ(host.calls.back(), "browse Choose folder " + backup);
}

TEST_F(WizardPages, SheetButtonsCancelAndHelp)
{
    Load("[START]\nInfo=missing-readme.txt\n[LOGIN]\n");
    const TBase& start = Step("START");
    const TBase& login = Step("LOGIN");
    struct Case {
        std::size_t index;
        const TBase& step;
        bool back, next, finish, help;
    } cases[] = {{0, start, false, true, false, true},
                 {1, login, true, true, false, false},
                 {2, login, true, false, true, false}};
    for (const auto& k : cases) {
        SheetButtons b = SheetButtonsFor(k.index, 3, k.step);
        EXPECT_EQ((std::vector<bool>{b.back, b.next, b.finish, b.help}),
                  (std::vector<bool>{k.back, k.next, k.finish, k.help}))
            << k.index;
    }

    prompt->Script({winapi::IDNO, winapi::IDYES});
    EXPECT_FALSE(ConfirmSheetCancel(run(), nullptr));
    EXPECT_TRUE(ConfirmSheetCancel(run(), nullptr));
    ASSERT_EQ(prompt->Calls().size(), 2u);
    EXPECT_EQ(prompt->Calls()[0].text, "Do you want exit from Installer ?");
    EXPECT_EQ(prompt->Calls()[0].caption, "Dorvik");
    EXPECT_EQ(prompt->Calls()[0].style, winapi::MB_YESNO | winapi::MB_ICONQUESTION);

    // Help on a page without a document only beeps; a missing document beeps and says so.
    OpenStepHelp(run(), nullptr, &login);
    EXPECT_EQ(prompt->Beeps(), 1);
    EXPECT_EQ(prompt->Calls().size(), 2u);
    OpenStepHelp(run(), nullptr, &start);
    EXPECT_EQ(prompt->Beeps(), 2);
    ASSERT_EQ(prompt->Calls().size(), 3u);
    EXPECT_EQ(prompt->Calls()[2].text, "File not found or corrupted :\nmissing-readme.txt");
}

TEST_F(WizardPages, HelpOpensTheStepsDocumentOrAddress)
{
    // An xdg-open stand-in that records what it is asked to open.
    kelm::test::TempDir bin;
    auto recorded = bin.path() / "opened.txt";
    auto stub = bin.write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + recorded.string() + "'\n");
    ::chmod(stub.c_str(), 0755);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    struct PathGuard {
        std::string old;
        ~PathGuard() { setenv("PATH", old.c_str(), 1); }
    } guard{oldPath};
    setenv("PATH", (bin.path().string() + ":/usr/bin:/bin").c_str(), 1);
    auto opened = [&] {
        std::string text;
        for (int i = 0; i < 500 && (text.empty() || text.back() != '\n'); ++i) {
            ::usleep(10000);
            if (std::filesystem::exists(recorded))
                text = kelm::test::readFile(recorded);
        }
        std::filesystem::remove(recorded);
        return text;
    };

    dir.write("docs/help me.html", "<p>help</p>");
    Load("[START]\nInfo=docs\\help me.html\n[LICENSE]\nInfo=https://example.org/kelm?page=licence\n"
         "[LOGIN]\nInfo=/nowhere/help.html\n");
    struct Case {
        const char* section;
        std::string opened;
    } cases[] = {
        {"START", (dir.path() / "docs" / "help me.html").string() + "\n"}, // in the kit folder, '\\' read as '/'
        {"LICENSE", "https://example.org/kelm?page=licence\n"},          // an address as it stands
    };
    for (const auto& k : cases) {
        OpenStepHelp(run(), nullptr, &Step(k.section));
        EXPECT_EQ(opened(), k.opened) << k.section;
    }
    EXPECT_EQ(prompt->Beeps(), 0);
    EXPECT_TRUE(prompt->Calls().empty());

    // A missing document is not handed on; without xdg-open nothing opens
    // the one that is there. Both beep and say what could not be opened.
    OpenStepHelp(run(), nullptr, &Step("LOGIN"));
    setenv("PATH", dir.path().c_str(), 1);
    OpenStepHelp(run(), nullptr, &Step("START"));
    EXPECT_EQ(prompt->Beeps(), 2);
    EXPECT_EQ(Asked(), (Texts{"File not found or corrupted :\n/nowhere/help.html",
                              "File not found or corrupted :\ndocs\\help me.html"}));
    EXPECT_FALSE(std::filesystem::exists(recorded));
}

TEST(Drives, MountTableGivesTheDrives)
{
    const std::string table =
        "21 1 0:30 / / rw,relatime - overlay overlay rw\n"
        "22 21 0:5 / /proc rw - proc proc rw\n"
        "23 21 8:1 / /data rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "24 21 8:1 /sub /srv/bind rw - ext4 /dev/sda1 rw\n"
        "25 21 11:0 / /mnt/cd\\040rom ro - iso9660 /dev/sr0 ro\n"
        "26 21 0:50 / /net/share rw - nfs4 server:/export rw\n"
        "27 21 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n"
        "28 21 0:26 / /dev/shm rw - tmpfs tmpfs rw\n"
        "broken line\n";
    auto drives = winapi::ParseMountInfo(table);
    std::vector<std::string> seen;
    for (const auto& d : drives)
        seen.push_back(d.mountPoint + (d.type == winapi::DriveType::CdRom     ? " cd"
                                       : d.type == winapi::DriveType::Network ? " net"
                                                                              : " fixed"));
    EXPECT_EQ(seen, (std::vector<std::string>{"/ fixed", "/data fixed", "/mnt/cd rom cd", "/net/share net"}));
    EXPECT_EQ(winapi::ParseMountInfo("").size(), 1u); // the root is always there

    winapi::DriveInfo d;
    d.mountPoint = "/data";
    EXPECT_EQ(winapi::DriveItemText(d), "/data []");
    d.label = "DATA disk";
    EXPECT_EQ(winapi::DriveItemText(d), "/data [Data disk]");
    d.label = "ДИСК";
    EXPECT_EQ(winapi::DriveItemText(d), "/data [Диск]");
    d.mountPoint = "/" + std::string(120, 'm');
    EXPECT_EQ(winapi::Utf8Length(winapi::DriveItemText(d)), 99u);
}

TEST(Drives, NetworkPathsAreFoundByTheirFileSystem)
{
    kelm::test::TempDir dir;
    struct stat st {};
    ASSERT_EQ(::stat(dir.path().c_str(), &st), 0);
    auto line = [&](const char* fs) {
        return "30 1 " + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
               " / /mnt rw - " + fs + " src rw\n";
    };
    std::string below = (dir.path() / "not" / "yet").string();
    EXPECT_TRUE(winapi::IsNetworkPath(below, line("nfs")));
    EXPECT_TRUE(winapi::IsNetworkPath(below, line("cifs")));
    EXPECT_FALSE(winapi::IsNetworkPath(below, line("ext4")));
    EXPECT_FALSE(winapi::IsNetworkPath("relative", line("nfs")));
}

TEST(Folders, OneLevelOfSubfoldersWithoutHiddenOnes)
{
    kelm::test::TempDir dir;
    for (const char* name : {"beta", "Alpha", ".hidden", "gamma/inner"})
        std::filesystem::create_directories(dir.path() / name);
    dir.write("file.txt", "x");
    std::filesystem::create_directory_symlink(dir.path() / "beta", dir.path() / "link");
    EXPECT_EQ(ListSubfolders(dir.path().string()), (std::vector<std::string>{"Alpha", "beta", "gamma", "link"}));
    EXPECT_TRUE(ListSubfolders((dir.path() / "beta").string()).empty());
    EXPECT_TRUE(ListSubfolders((dir.path() / "none").string()).empty());
}
