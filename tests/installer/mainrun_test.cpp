#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "dmo/dmo.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace dorvik;
using namespace std::chrono_literals;

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x4321);

struct TestView : IMainView {
    std::shared_ptr<winapi::PromptOwner> owner = std::make_shared<winapi::PromptOwner>(kWindow);
    bool cancel = false;
    std::optional<int> wizardEnd;
    int wizardThrows = 0;
    std::vector<std::string> events;
    CMainRun* main = nullptr;

    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return owner; }
    void ShowWaiting(const std::string& text) override { events.push_back("wait:" + text); }
    void HideWaiting() override { events.push_back("unwait"); }
    bool ShowProgress(CProgressState& progress) override
    {
        progress.GetOwner()->Attach(kWindow);
        events.push_back("progress:" + progress.Get().title);
        if (cancel) {
            progress.GetOwner()->Detach();
            return true;
        }
        while (!progress.IsClosed())
            std::this_thread::sleep_for(5ms);
        progress.GetOwner()->Detach();
        return false;
    }
    // The login page connects as the user typed it.
    std::optional<int> RunWizard(CInstallData& data) override
    {
        if (wizardThrows)
            throw wizardThrows;
        std::string server, user, password;
        bool trusted = false;
        data.GetLogin(&server, &user, &password, &trusted);
        if (wizardEnd == CMainRun::kFinish && main)
            main->Connect(server, user, password, trusted, true);
        return wizardEnd;
    }
    void ShowLog(const std::string& path) override { events.push_back("log:" + path); }
};

class MainRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        env.set("XDG_DOCUMENTS_DIR", documents.path().string());
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>());
        winapi::SetPrompt(prompt);
        kit.write("sleep.sql", "SELECT pg_sleep(0.3)");
        kit.write("ok.sql", "SELECT 1");
    }
    void TearDown() override
    {
        CDorvikCore::Get().SetServer(nullptr);
        CDorvikCore::Get().SetLog(nullptr);
        CDorvikCore::Get().SetQuiet(false);
        winapi::SetPrompt(nullptr);
    }
    std::string login() const
    {
        return "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() + "\nTrustedConnection=1\n";
    }
    // Starts and runs the program's flow on a kit INI; the log text lands
    // in `log`.
    int run(const std::string& ini, std::vector<std::string> args)
    {
        auto path = kit.write("dorvik.ini", ini);
        for (auto& a : args)
            if (a == "<ini>")
                a = path.string();
        CMainRun main(context, view);
        view.main = &main;
        if (!main.Start(args, (kit / "bin/dorvik").string()))
            return -1;
        int status = main.Run();
        view.main = nullptr;
        log = kelm::test::readFile(CDorvikCore::Get().GetLog().GetPath());
        return status;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& c : prompt->Calls())
            out.push_back(c.text);
        return out;
    }

    kelm::test::ScopedEnv env;
    kelm::test::TempDir documents, kit;
    RunContext context;
    TestView view;
    std::shared_ptr<winapi::TestPrompt> prompt = std::make_shared<winapi::TestPrompt>();
    std::string log;
};

using Texts = std::vector<std::string>;

} // namespace

TEST(CommandLine, QuietFlagAndIniFile)
{
    struct Case {
        std::vector<std::string> args;
        int quiet;
        std::string file;
    } cases[] = {
        {{}, 0, ""},
        {{"-quite"}, 1, ""},
        {{"-QUITE", "kit.ini"}, 1, "kit.ini"},
        {{"quite"}, 0, "quite"},
        {{"/srv/kit/dorvik.ini", "-Quite"}, 1, "/srv/kit/dorvik.ini"},
        {{"-other", "a.ini", "b.ini"}, 0, "a.ini"},
    };
    for (const auto& c : cases) {
        CDorvikCommandLineInfo info;
        info.Parse(c.args);
        EXPECT_EQ(info.m_nQuiet, c.quiet) << testing::PrintToString(c.args);
        EXPECT_EQ(info.m_strFileName, c.file) << testing::PrintToString(c.args);
    }
    EXPECT_EQ(ResolveIniPath("/opt/kelm/bin/dorvik", ""), "/opt/kelm/bin/dorvik.ini");
    EXPECT_EQ(ResolveIniPath("/opt/kelm/bin/dorvik", "kit.ini"), "/opt/kelm/bin/kit.ini");
    EXPECT_EQ(ResolveIniPath("/opt/kelm/bin/dorvik", "/srv/kit/dorvik.ini"), "/srv/kit/dorvik.ini");

    EXPECT_FALSE(DmoVersionPasses(7, 0, 1, 0x00080000, 0));
    EXPECT_TRUE(DmoVersionPasses(7, 0, 2, 0x00070000, 0x00080027));
    EXPECT_FALSE(DmoVersionPasses(7, 0, 2, 0x00070000, 0x00080026));
    EXPECT_TRUE(DmoVersionPasses(8, 0, 0, 0x000A0002, 0));
    EXPECT_FALSE(DmoVersionPasses(6, 5, 0, 0x000A0002, 0));
}

TEST(MainWindow, BackgroundBands)
{
    EXPECT_TRUE(BackgroundBands(0).empty());
    EXPECT_TRUE(BackgroundBands(1).empty());
    auto small = BackgroundBands(3); // bands of one pixel while their bottom is above 3
    ASSERT_EQ(small.size(), 2u);
    EXPECT_EQ(small[0].top, 0);
    EXPECT_EQ(small[0].height, 1);
    EXPECT_EQ(small[0].red, 1);
    EXPECT_EQ(small[0].green, 103); // 103 + 152/255 truncated
    EXPECT_EQ(small[0].blue, 178);
    EXPECT_EQ(small[1].green, 104);

    auto bands = BackgroundBands(1050); // (4 * 1050 / 7) / 255 + 1 = 3
    ASSERT_EQ(bands.size(), 349u);
    EXPECT_EQ(bands[0].height, 3);
    EXPECT_EQ(bands.back().top, 348 * 3);
    EXPECT_LT(bands.back().top + bands.back().height, 1050);
    EXPECT_EQ(bands[260].red, 255);
    EXPECT_EQ(bands[260].green, 255);
    EXPECT_EQ(bands[260].blue, 255);
    EXPECT_EQ(bands[100].red, 101);
    EXPECT_EQ(bands[100].green, 103 + 101 * 152 / 255);
    EXPECT_EQ(bands[100].blue, 178 + 101 * 77 / 255);
}

TEST_F(MainRunTest, QuietRunAsksNothingAndLogsItsOutcome)
{
    std::string ini = login() + "[DORVIK]\nDataBase=postgres\nbcp_Step1=Script(%DATABASE%, ok.sql)\n"
                                "bcp_Step2=FileCreatePath(%BACKUPPATH%)\n";
    EXPECT_EQ(run(ini, {"-quite", "<ini>"}), 0);
    EXPECT_TRUE(prompt->Calls().empty());
    EXPECT_NE(log.find("STEP  1 = Script(postgres, ok.sql)"), std::string::npos);
    EXPECT_NE(log.find("INSTALL STATUS : SUCCESS\r\n"), std::string::npos);
    EXPECT_NE(log.find("END LOG"), std::string::npos);
    EXPECT_EQ(view.events, Texts{"progress:Installation ..."});
    // The quiet run fills the backup folder the database page would have.
    std::string root = CDorvikCore::Get().GetServer()->RootDirectory();
    ASSERT_FALSE(root.empty());
    EXPECT_NE(log.find("STEP  2 = FileCreatePath(" + root + "/backup)"), std::string::npos);

    // Reconnect drops the connection and makes it again, set up as before.
    {
        CMainRun again(context, view);
        auto server = CDorvikCore::Get().GetServer();
        ASSERT_TRUE(again.Reconnect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "", true, false));
        EXPECT_TRUE(server->VerifyConnection(6));
        EXPECT_EQ(server->GetLoginTimeout(), 30);
        EXPECT_EQ(server->GetApplicationName(), "Dorvik");
    }

    // A failed connection is logged with its reason; the run then fails.
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("refused.log"));
    std::string refused = "[LOGIN]\nServer=127.0.0.1:" + kelm::test::PgPort() +
                          "\nUser=no_such_login\nPassword=pw\n[PATCHDB]\nStep1=Script(postgres, ok.sql)\n";
    EXPECT_EQ(run(refused, {"<ini>", "-quite"}), 2);
    EXPECT_TRUE(prompt->Calls().empty());
    EXPECT_NE(log.find("Connect : "), std::string::npos);
    EXPECT_NE(log.find("no_such_login"), std::string::npos);
    EXPECT_NE(log.find("The connection is dead ! Can not reconnect ..."), std::string::npos);

    // A missing INI file: no box either, the reason in the log.
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("missing.log"));
    CMainRun main(context, view);
    ASSERT_TRUE(main.Start({"-quite", (kit / "none.ini").string()}, "/opt/dorvik"));
    EXPECT_EQ(main.Run(), 2);
    EXPECT_TRUE(prompt->Calls().empty());
    log = kelm::test::readFile(CDorvikCore::Get().GetLog().GetPath());
    EXPECT_NE(log.find("Can not load data from ini-file ! : " + (kit / "none.ini").string()), std::string::npos);
}

TEST_F(MainRunTest, InteractiveOutcomesAndTheLogOffer)
{
    std::string ini = login() + "[PATCHDB]\nStep1=Script(postgres, ok.sql)\n";
    struct Case {
        const char* what;
        std::optional<int> end;
        int throws;
        std::vector<int> answers;
        int status;
        Texts boxes;
    } cases[] = {
        {"finish", CMainRun::kFinish, 0, {winapi::IDOK, winapi::IDNO}, 0,
         Texts{"The application was successfully installed !", "Log-file is <log>.\nDo you want to view it now ?"}},
        {"cancel", 2, 0, {winapi::IDOK, winapi::IDNO}, 3,
         Texts{"Installation was terminated by user !\nThe applicatin was not properly installed.",
               "Log-file is <log>.\nDo you want to view it now ?"}},
        {"no wizard in this build", std::nullopt, 0, {}, 2,
         Texts{"not available in this build : the installation wizard", "Installation failed !",
               "Log-file is <log>.\nDo you want to view it now ?"}},
        {"the wizard throws", std::nullopt, 5, {}, 2, Texts{"Return code : 5"}},
    };
    for (const auto& c : cases) {
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        for (int a : c.answers)
            prompt->Script({a});
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>((std::string(c.what) + ".log").c_str()));
        view.wizardEnd = c.end;
        view.wizardThrows = c.throws;
        EXPECT_EQ(run(ini, {"<ini>"}), c.status) << c.what;
        Texts expected = c.boxes;
        for (auto& t : expected)
            if (auto at = t.find("<log>"); at != std::string::npos)
                t.replace(at, 5, CDorvikCore::Get().GetLog().GetPath());
        EXPECT_EQ(texts(), expected) << c.what;
        for (const auto& call : prompt->Calls())
            EXPECT_EQ(call.owner, kWindow) << c.what;
    }
    EXPECT_NE(log.find("Program terminating : WIZARD_ERROR."), std::string::npos);
    EXPECT_NE(log.find("INSTALL STATUS : FAILED"), std::string::npos);

    // Cancel in the wizard: the end record says so.
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("cancel2.log"));
    view.wizardEnd = 2;
    view.wizardThrows = 0;
    prompt->Script({winapi::IDOK, winapi::IDYES});
    EXPECT_EQ(run(ini, {"<ini>"}), 3);
    EXPECT_NE(log.find("Installation was terminated by user\r\n"), std::string::npos);
    EXPECT_EQ(view.events.back(), "log:" + CDorvikCore::Get().GetLog().GetPath());

    // A missing INI: the box names the file.
    prompt = std::make_shared<winapi::TestPrompt>();
    winapi::SetPrompt(prompt);
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("noini.log"));
    CMainRun main(context, view);
    ASSERT_TRUE(main.Start({(kit / "none.ini").string()}, "/opt/dorvik"));
    EXPECT_EQ(main.Run(), 2);
    ASSERT_FALSE(prompt->Calls().empty());
    EXPECT_EQ(prompt->Calls()[0].text, "File not found or corrupted :\n" + (kit / "none.ini").string());
}

TEST_F(MainRunTest, CancelDuringTheRunWaitsForTheWorker)
{
    std::string ini = login() + "[PATCHDB]\nStep1=Script(postgres, sleep.sql)\nStep2=Script(postgres, ok.sql)\n";
    view.wizardEnd = CMainRun::kFinish;
    view.cancel = true;
    prompt->Script({winapi::IDOK, winapi::IDNO});
    EXPECT_EQ(run(ini, {"<ini>"}), 3);
    EXPECT_EQ(view.events, (Texts{"wait:Connecting. Please wait ...", "unwait", "progress:Installation ...", "wait:Programm is terminating. Please wait ...", "unwait"}));
    EXPECT_EQ(log.find("STEP  2"), std::string::npos);
    EXPECT_NE(log.find("Installation was terminated by user"), std::string::npos);
}
