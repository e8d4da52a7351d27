// The login and patch pages with the program's own host against the test
// cluster: a superuser passes, a plain role is refused, the patch page lists
// the server's databases.
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "installer/core/wizardhost.h"
#include "dmo/dmo.h"
#include "dmo/jobs.h"

#include "tests/installer/fakepages.h"
#include "tests/installer/runfixture.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>

using namespace dorvik;
using namespace dorvik::test;

namespace {

class WizardPg : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        CDorvikCore::Get().SetServer(dmo::SQLServer::Create());
        SetPageFactory(&MakeWizardPage);
    }
    std::unique_ptr<CPageBase> Page(const std::string& ini, const std::string& section, FakeControls*& controls)
    {
        std::string path = kit.write("dorvik.ini", ini).string();
        EXPECT_TRUE(run.GetInstallData().Load(path, context.KitFolder()));
        TBase* step = nullptr;
        run.GetInstallData().ForEach([&](TBase& s) {
            if (s.m_strName == section)
                step = &s;
        });
        std::unique_ptr<CPageBase> page(step->CreatePage());
        auto owned = std::make_unique<FakeControls>(page->GetDialogId());
        controls = owned.get();
        m_controls.push_back(std::move(owned));
        page->Attach(*controls, sheet, host);
        page->OnInitDialog();
        page->OnSetActive();
        return page;
    }

    RunContext context;
    CMainRun run{context, headless};
    CWizardHost host{run};
    FakeSheet sheet;
    std::vector<std::unique_ptr<FakeControls>> m_controls;
};

} // namespace

TEST_F(WizardPg, LoginPassesASuperuserAndRefusesAPlainRole)
{
    static std::atomic<int> counter{0};
    std::string role = "wizard_plain_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    kelm::test::PgAdminExec("CREATE ROLE " + role + " LOGIN PASSWORD 'plain pw'");
    std::string local = "localhost:" + kelm::test::PgPort();

    FakeControls* c = nullptr;
    auto page = Page("[LOGIN]\nServer=" + local + "\nUser=" + role + "\nPassword=plain pw\n", "LOGIN", c);
    EXPECT_FALSE(page->OnWizardNext());
    EXPECT_EQ(prompt->Calls().back().text, "You have not superuser rights on the PostgreSQL server !");
    EXPECT_TRUE(host.IsLive());

    // A wrong password: the reason, then the page's own message.
    c->Type(*page, ctl::Password, "wrong");
    prompt->Script({winapi::IDYES, winapi::IDOK});
    EXPECT_FALSE(page->OnWizardNext());
    auto calls = prompt->Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3].text,
              "Connection already has been established.\nDo You want reconnect with new parameters ?");
    EXPECT_EQ(calls.back().text, "Can not connect to the PostgreSQL server !\nPlease check that the service is "
                                 "running or try change parameters.");

    // The trusted login of the test user is a superuser: the page passes
    // and the login step takes what the server reports.
    c->SetText(ctl::Server, kelm::test::PgHost() + "," + kelm::test::PgPort());
    c->Click(*page, ctl::Trusted, true);
    prompt->Script({winapi::IDYES});
    EXPECT_TRUE(page->OnWizardNext());
    page->OnKillActive();
    TLogin* login = run.GetInstallData().GetLoginStep();
    EXPECT_TRUE(login->m_bTrustedConnection);
    EXPECT_EQ(login->m_strUser, CDorvikCore::Get().GetLiveServer()->TrueLogin());

    CDorvikCore::Get().GetServer()->DisConnect();
    kelm::test::PgAdminExec("DROP ROLE " + role);
}

TEST_F(WizardPg, PatchPageListsTheTestsDatabases)
{
    kelm::test::PgDatabase db("wizard_patch");
    ASSERT_TRUE(run.Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "", true, false));
    FakeControls* c = nullptr;
    auto page = Page("[LOGIN]\n[FIX_PATCHDB]\nDataBase=" + db.name() + "\n", "FIX_PATCHDB", c);
    const auto& items = c->c[ctl::DatabaseCombo].items;
    EXPECT_NE(std::find(items.begin(), items.end(), db.name()), items.end());
    EXPECT_NE(std::find(items.begin(), items.end(), "postgres"), items.end());
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
    EXPECT_EQ(c->GetText(ctl::DatabaseCombo), db.name());

    // The database page takes the server's backup folder; its maintenance
    // button follows the server's job scheduler.
    auto dbPage = Page("[LOGIN]\n[KELM_DORVIK]\nEnableDorvik=1\n", "KELM_DORVIK", c);
    EXPECT_EQ(static_cast<TDatabase&>(dbPage->GetStep()).m_strBackUpPath,
              CDorvikCore::Get().GetLiveServer()->RootDirectory() + "/backup");
    EXPECT_EQ(c->IsEnabled(ctl::Maintenance), CDorvikCore::Get().GetLiveServer()->GetJobServer() != nullptr);
    EXPECT_TRUE(c->IsEnabled(ctl::Folder1));
    EXPECT_TRUE(prompt->Calls().empty());
    CDorvikCore::Get().GetServer()->DisConnect();
}

// The server refusing a page's request reaches the user with the server's
// own words, and the page stays; it does not pass for a plain refusal.
TEST_F(WizardPg, ServerErrorsInsidePagesAreShownAndThePageStays)
{
    static std::atomic<int> counter{0};
    std::string role = "wizard_refused_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    kelm::test::PgAdminExec("CREATE ROLE " + role + " LOGIN PASSWORD 'refused pw'");
    std::string local = "localhost:" + kelm::test::PgPort();
    ASSERT_TRUE(run.Connect(local, role, "refused pw", false, false));
    auto server = CDorvikCore::Get().GetServer();

    // The superuser test reads a catalog this role may not read (the
    // session's own view stands in front of pg_roles): the server's text,
    // not "not superuser".
    server->ExecuteWithResults("CREATE TEMP VIEW pg_roles AS SELECT rolname, rolsuper FROM pg_catalog.pg_authid");
    FakeControls* c = nullptr;
    auto login = Page("[LOGIN]\nServer=" + local + "\nUser=" + role + "\nPassword=refused pw\n[FIX_PATCHDB]\n"
                      "DataBase=postgres\n",
                      "LOGIN", c);
    prompt->Script({winapi::IDNO}); // keep the connection
    EXPECT_FALSE(login->OnWizardNext());
    auto calls = prompt->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[1].text.find("permission denied"), std::string::npos) << calls[1].text;
    EXPECT_NE(calls[1].text.find("pg_authid"), std::string::npos) << calls[1].text;
    EXPECT_EQ(calls[1].style, winapi::MB_ICONERROR | winapi::MB_OK);

    // The server stops taking the role while the wizard is on: the patch
    // page says it cannot reach the server and does not pass; once the role
    // may log in again, showing the page again lists the databases.
    kelm::test::PgAdminExec("ALTER ROLE " + role + " NOLOGIN");
    kelm::test::PgAdminExec("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE usename = '" + role +
                            "'");
    std::size_t before = prompt->Calls().size();
    auto patch = Page("[LOGIN]\n[FIX_PATCHDB]\nDataBase=postgres\nHideTempDatabaseControls=1\n", "FIX_PATCHDB", c);
    calls = prompt->Calls();
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back().text, "Can not connect to the PostgreSQL server !\nPlease check that the service is "
                                 "running or try change parameters.");
    EXPECT_TRUE(c->c[ctl::DatabaseCombo].items.empty());
    EXPECT_FALSE(patch->OnWizardNext());

    kelm::test::PgAdminExec("ALTER ROLE " + role + " LOGIN");
    patch->OnSetActive();
    EXPECT_EQ(prompt->Calls().size(), before + 1) << prompt->Calls().back().text;
    EXPECT_EQ(c->GetText(ctl::DatabaseCombo), "postgres");
    EXPECT_TRUE(patch->OnWizardNext());

    server->DisConnect();
    kelm::test::PgAdminExec("DROP ROLE " + role);
}
