// Dorvik's run dialogs inside the test process under Xvfb: Cancel in the
// progress dialog, the waiting dialog, the outcome and the log viewer, the
// short form of the progress dialog. Questions are answered by a script.
#include "installer/appcore.h"
#include "installer/installdata.h"
#include "installer/logfile.h"
#include "installer/mainrun.h"
#include "installer/progress.h"
#include "installer/ui/dialogs.h"
#include "installer/ui/mainframe.h"

#include "runfixture.h"
#include "testsupport.h"
#include "wxgui.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/xrc/xmlres.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

using namespace dorvik;

namespace {

const auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new dorvik::test::WxEnvironment("installer_dialogs_gui_test"));

void Screenshot(const std::string& name) { dorvik::test::Screenshot("installer_dialogs_gui_test", name); }

using dorvik::test::FindTopLevel;
using dorvik::test::Poller;

struct ScriptedFrame : CMainFrame {
    using CMainFrame::CMainFrame;
    std::function<std::optional<int>(CInstallData&)> wizard;
    std::optional<int> RunWizard(CInstallData& data) override { return wizard ? wizard(data) : std::nullopt; }
};

class DialogsGui : public dorvik::test::RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        kit.write("sleep.sql", "SELECT pg_sleep(2)");
        kit.write("ok.sql", "SELECT 1");
    }
    void TearDown() override
    {
        RunTest::TearDown();
        CDorvikCore::Get().SetQuiet(false);
    }
    std::string Ini(const std::string& steps)
    {
        return kit.write("dorvik.ini", "[MAINWINDOW]\nText1E=Kelm database\nText2E=Installation test\n"
                                       "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() +
                                           "\nTrustedConnection=1\n[PATCHDB]\nSectionDescriptionE=Demo patch\n" + steps)
            .string();
    }
};

} // namespace

TEST_F(DialogsGui, CancelInTheProgressDialogWaitsForTheWorkerAndEndsWithThree)
{
    std::string ini = Ini("Step1=Script(postgres, sleep.sql)\nMsgE1=Sleeping\nStep2=Script(postgres, ok.sql)\n");
    CMainRun run(headless);
    ASSERT_TRUE(run.Start({"-quite", ini}, "/opt/kelm/dorvik"));
    auto* frame = new ScriptedFrame(run);
    run.SetView(*frame);
    frame->SetSize(900, 600);
    frame->Show();

    prompt->Script({winapi::IDYES}); // "Do you want exit from Installer ?"
    bool cancelled = false, waitingSeen = false;
    auto started = std::chrono::steady_clock::now();
    Poller poller([&] {
        CDlgProgress& dialog = frame->GetProgressDialog();
        if (!cancelled) {
            if (!dialog.IsModal() || std::chrono::steady_clock::now() - started < std::chrono::milliseconds(700))
                return false;
            Screenshot("progress.png");
            wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
            dialog.GetEventHandler()->ProcessEvent(click);
            cancelled = true;
            return false;
        }
        for (wxWindow* w : wxTopLevelWindows)
            if (w->IsShown() && w->FindWindow(XRCID("IDC_WAIT_TEXT"))) {
                // Seen twice, so that it has been drawn.
                if (waitingSeen) {
                    Screenshot("waiting.png");
                    return true;
                }
                waitingSeen = true;
            }
        return false;
    });
    EXPECT_EQ(run.Run(), 3);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(waitingSeen);
    ASSERT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, "Do you want exit from Installer ?");
    std::string log = kelm::test::readFile(CDorvikCore::Get().GetLog().GetPath());
    EXPECT_EQ(log.find("STEP  2"), std::string::npos);
    EXPECT_NE(log.find("Installation was terminated by user"), std::string::npos);
    frame->Destroy();
}

TEST_F(DialogsGui, InteractiveRunEndsWithTheOutcomeAndShowsTheLog)
{
    std::string ini = Ini("Step1=Script(postgres, ok.sql)\n");
    CMainRun run(headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = new ScriptedFrame(run);
    run.SetView(*frame);
    frame->wizard = [&](CInstallData& data) -> std::optional<int> {
        std::string server, user, password;
        bool trusted = false;
        data.GetLogin(&server, &user, &password, &trusted);
        if (!run.Connect(server, user, password, trusted, true))
            return 2;
        return CMainRun::kFinish;
    };
    frame->SetSize(900, 600);
    frame->Show();
    prompt->Script({winapi::IDOK, winapi::IDYES}); // the outcome; yes, show the log
    std::string shown;
    int ticks = 0;
    Poller poller([&] {
        auto* viewer = FindTopLevel<CDlgLog>();
        if (!viewer || !viewer->IsModal() || ++ticks < 10)
            return false;
        shown = viewer->GetShownText();
        Screenshot("log.png");
        viewer->EndModal(wxID_OK);
        return true;
    });
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(prompt->Calls().size(), 2u);
    EXPECT_EQ(prompt->Calls()[0].text, "The application was successfully installed !");
    EXPECT_NE(shown.find("INSTALL STATUS : SUCCESS"), std::string::npos) << shown;
    frame->Destroy();

    CDlgLog missing(nullptr, (kit.path() / "none.log").string());
    EXPECT_EQ(missing.GetShownText(), "File not found ...");
}

TEST_F(DialogsGui, ThirdLineHiddenBeforeShowingOpensTheShortForm)
{
    wxFrame* parent = new wxFrame(nullptr, wxID_ANY, "parent");
    CDlgProgress dialog(parent);
    int heights[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        CProgressState state;
        state.ShowThirdLine(i == 1);
        state.SetTitle("Installation ...");
        state.SetLineText(0, "Section");
        state.SetLineText(1, "Step");
        Poller poller([&] {
            if (!dialog.IsModal())
                return false;
            heights[i] = dialog.GetSize().y;
            state.Close(); // the run ends while the dialog is shown
            return true;
        });
        EXPECT_FALSE(dialog.RunModal(state));
    }
    EXPECT_GT(heights[0], 0);
    EXPECT_LT(heights[0], heights[1]);

    // A run that has already ended ends the dialog at once.
    CProgressState over;
    over.Close();
    EXPECT_FALSE(dialog.RunModal(over));
    parent->Destroy();
}
