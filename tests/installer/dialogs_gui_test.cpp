// Dorvik's run dialogs inside the test process under Xvfb: Cancel in the
// progress dialog, the waiting dialog, the outcome and the log viewer, the
// short form of the progress dialog. Questions are answered by a script.
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "installer/prompt/wxprompt.h"
#include "installer/ui/dialogs.h"
#include "installer/ui/mainframe.h"

#include "tests/installer/runfixture.h"
#include "tests/common/testsupport.h"
#include "tests/installer/wxgui.h"

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
#include <unistd.h>
#include <vector>

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
    // A main frame whose wizard connects as the login step says and ends
    // with Finish.
    ScriptedFrame* FinishingFrame(CMainRun& run, bool showWaiting)
    {
        auto* frame = new ScriptedFrame(run);
        run.SetView(*frame);
        frame->wizard = [&run, showWaiting](CInstallData& data) -> std::optional<int> {
            std::string server, user, password;
            bool trusted = false;
            data.GetLogin(&server, &user, &password, &trusted);
            return run.Connect(server, user, password, trusted, showWaiting) ? CMainRun::kFinish : 2;
        };
        frame->SetSize(900, 600);
        frame->Show();
        return frame;
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
    RunContext context;
    CMainRun run(context, headless);
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
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = FinishingFrame(run, true);
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

namespace {

struct ShownWindow {
    std::string id, name;
};

// This process's top-level windows that the X server shows, as it names them.
std::vector<ShownWindow> ShownWindows()
{
    std::vector<ShownWindow> windows;
    std::string ids = kelm::test::ShellOutput("xdotool search --onlyvisible --pid " + std::to_string(::getpid()) +
                                              " 2>/dev/null");
    for (std::size_t at = 0; at < ids.size();) {
        std::size_t end = ids.find('\n', at);
        std::string id = ids.substr(at, end - at);
        at = end == std::string::npos ? ids.size() : end + 1;
        if (id.empty())
            continue;
        std::string name = kelm::test::ShellOutput("xdotool getwindowname " + id + " 2>/dev/null");
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        windows.push_back({id, name});
    }
    return windows;
}

// A key pressed on the keyboard of the display, into the window.
void PressKey(const std::string& id, const char* key)
{
    kelm::test::ShellOutput("timeout 5 xdotool windowfocus --sync " + id + " 2>/dev/null");
    kelm::test::ShellOutput(std::string("xdotool key ") + key + " 2>/dev/null");
}

} // namespace

// The end of an interactive run on the real boxes, answered from the
// keyboard: the outcome, then the offer of the log under a title that the X
// server shows, Enter opens the log viewer and Escape closes it.
TEST_F(DialogsGui, TheLogOfferHasATitleAndEscapeClosesTheLogViewer)
{
    std::string ini = Ini("Step1=Script(postgres, ok.sql)\n");
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = FinishingFrame(run, false);
    winapi::SetPrompt(std::make_shared<WxPrompt>());
    wxTheApp->SetAppDisplayName("Dorvik");
    std::string viewerName; // the log's path, once the viewer is open

    std::vector<std::string> boxes; // the titles of the boxes, in turn
    std::string lastId;
    auto since = std::chrono::steady_clock::now();
    bool escapeSent = false, viewerHung = false;
    // Ends only when it gives up: the run's end leaves its loops.
    Poller poller([&] {
        auto now = std::chrono::steady_clock::now();
        const std::string frameName = frame->GetTitle().utf8_string();
        if (auto* viewer = dorvik::test::FindTopLevel<CDlgLog>())
            viewerName = viewer->GetTitle().utf8_string();
        for (const auto& window : ShownWindows()) {
            if (window.name == frameName || window.name == "Installation ...")
                continue;
            bool viewer = !viewerName.empty() && window.name == viewerName;
            if (window.id != lastId) {
                lastId = window.id;
                since = now;
                if (!viewer)
                    boxes.push_back(window.name);
                return false;
            }
            // Let it be drawn; a key a loaded display dropped goes again.
            auto shown = now - since;
            if (shown < std::chrono::milliseconds(400) || (escapeSent && shown < std::chrono::seconds(3)))
                return false;
            if (!viewer) {
                PressKey(window.id, "Return");
                since = now;
                return false;
            }
            if (escapeSent && shown > std::chrono::seconds(8)) {
                viewerHung = true;
                if (auto* dialog = dorvik::test::FindTopLevel<CDlgLog>())
                    dialog->EndModal(wxID_OK);
                return true;
            }
            if (!escapeSent)
                Screenshot("log-viewer.png");
            PressKey(window.id, "Escape");
            escapeSent = true;
            return false;
        }
        return false;
    });
    EXPECT_EQ(run.Run(), 0);
    winapi::SetPrompt(prompt);
    EXPECT_TRUE(escapeSent);
    EXPECT_FALSE(viewerHung) << "Escape left the log viewer open";
    EXPECT_NE(viewerName.find("Orvo-Dorvik.log"), std::string::npos) << viewerName;
    for (const auto& window : ShownWindows())
        EXPECT_NE(window.name, viewerName);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Dorvik", "Dorvik - Message"}));
    frame->Destroy();
}

TEST_F(DialogsGui, ThirdLineHiddenBeforeShowingOpensTheShortForm)
{
    wxFrame* parent = new wxFrame(nullptr, wxID_ANY, "parent");
    RunContext context;
    CDlgProgress dialog(parent, context);
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
