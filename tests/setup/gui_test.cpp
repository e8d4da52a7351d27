// setup's wizard and uninstall's confirmation on the display: pages,
// buttons, the licence rule and the abort question, with screenshots in the
// test's output folder.
#include "sandbox.h"

#include "resources/setup/strings.h"
#include "setup/setupdlg.h"
#include "setup/uninstalldlg.h"
#include "winapi/process.h"

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace fs = std::filesystem;
using namespace kelm_setup;
using kelm::test::readFile;
using kelm::test::ShellOutput;
using kelm::test::SetupSandbox;

namespace {

class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "setup_gui_test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        ASSERT_TRUE(wxEntryStart(argc, argv));
        ASSERT_TRUE(wxTheApp->CallOnInit());
    }
    void TearDown() override { wxEntryCleanup(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

std::string Screenshot(const std::string& name)
{
    fs::path out = fs::path(KELM_TEST_OUTPUT) / "setup_gui_test";
    fs::create_directories(out);
    // Let GTK repaint what changed (a button's sensitivity is drawn late).
    for (int i = 0; i < 10; ++i) {
        wxTheApp->Yield(true);
        wxMilliSleep(30);
    }
    std::string path = (out / name).string();
    fs::remove(path);
    EXPECT_EQ(SetupSandbox::Run({"/usr/bin/import", "-window", "root", path}), 0);
    EXPECT_TRUE(fs::exists(path));
    std::printf("screenshot: %s\n", path.c_str());
    return path;
}

void Click(wxWindow* button)
{
    ASSERT_NE(button, nullptr);
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

void Choose(wxRadioButton* radio)
{
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->GetEventHandler()->ProcessEvent(event);
}

bool Enabled(wxWindow* dialog, int id)
{
    wxWindow* button = dialog->FindWindow(id);
    return button && button->IsEnabled();
}

std::string Label(wxWindow* dialog, int id)
{
    wxWindow* button = dialog->FindWindow(id);
    return button ? button->GetLabel().utf8_string() : std::string();
}

struct WizardRun {
    SetupSandbox box;
    std::shared_ptr<winapi::TestPrompt> prompt = std::make_shared<winapi::TestPrompt>();
    CSetupApp app;

    explicit WizardRun(const std::function<std::string(std::string)>& editIni = {})
    {
        box.RegisterClient();
        if (editIni)
            box.WriteAppIni(editIni(readFile(box.Kit() + "/App.ini")));
        app.ParseCommandLine({box.Kit()});
        app.SetPrompt(prompt);
        EXPECT_TRUE(app.LoadAppIni());
        app.SetInstallFolder(app.DefaultInstallFolder());
    }

    // Shows the wizard; `steps` run once it is up, and it ends as they leave it.
    bool Show(const std::function<void(CSetupDlg&)>& steps)
    {
        auto* dialog = new CSetupDlg(app);
        dialog->CallAfter([dialog, steps] { steps(*dialog); });
        bool finished = dialog->RunModal();
        dialog->Destroy();
        wxTheApp->Yield(true);
        return finished;
    }
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    auto pos = text.find(from);
    if (pos != std::string::npos)
        text.replace(pos, from.size(), to);
    return text;
}

TEST(SetupWizard, ThreePagesWithTheLicenceRuleAndTheAbortQuestion)
{
    WizardRun run;
    run.prompt->Script({winapi::IDNO, winapi::IDYES});
    std::string chosen = run.box.Dir().path().string() + "/Выбранная папка";
    bool finished = run.Show([&](CSetupDlg& dialog) {
        ASSERT_EQ(dialog.PageCount(), 3u);
        EXPECT_EQ(dialog.GetTitle().utf8_string(), "Установка приложения Kelm Tarnwick");
        EXPECT_EQ(dialog.GetCurrentPage(), dialog.PageAt(0));
        EXPECT_FALSE(Enabled(&dialog, wxID_FORWARD));
        EXPECT_FALSE(Enabled(&dialog, wxID_BACKWARD));
        EXPECT_FALSE(Enabled(&dialog, wxID_HELP));
        EXPECT_TRUE(Enabled(&dialog, wxID_CANCEL));
        EXPECT_EQ(Label(&dialog, wxID_FORWARD), "Далее");
        EXPECT_EQ(Label(&dialog, wxID_CANCEL), "Отмена");
        auto* licence = dynamic_cast<wxTextCtrl*>(dialog.FindWindow(12002));
        ASSERT_NE(licence, nullptr);
        EXPECT_NE(licence->GetValue().utf8_string().find("Лицензионное соглашение"), std::string::npos);
        Screenshot("wizard-licence.png");

        Choose(dialog.AcceptButton());
        EXPECT_TRUE(Enabled(&dialog, wxID_FORWARD));
        Choose(dialog.DeclineButton());
        EXPECT_FALSE(Enabled(&dialog, wxID_FORWARD));
        Choose(dialog.AcceptButton());
        Screenshot("wizard-licence-accepted.png");
        Click(dialog.FindWindow(wxID_FORWARD));

        EXPECT_EQ(dialog.GetCurrentPage(), dialog.PageAt(1));
        EXPECT_TRUE(Enabled(&dialog, wxID_BACKWARD));
        EXPECT_TRUE(Enabled(&dialog, wxID_FORWARD));
        EXPECT_EQ(dialog.FolderEdit()->GetValue().utf8_string(), run.box.InstallFolder());
        dialog.FolderEdit()->SetValue(wxString::FromUTF8(chosen));
        Screenshot("wizard-folder.png");
        Click(dialog.FindWindow(wxID_FORWARD));

        EXPECT_EQ(dialog.GetCurrentPage(), dialog.PageAt(2));
        EXPECT_EQ(Label(&dialog, wxID_FORWARD), "Финиш");
        EXPECT_TRUE(Enabled(&dialog, wxID_BACKWARD));
        std::string summary = dialog.SummaryEdit()->GetValue().utf8_string();
        EXPECT_NE(summary.find(chosen), std::string::npos);
        EXPECT_NE(summary.find("KelmDemo"), std::string::npos);
        Screenshot("wizard-summary.png");

        // The first answer keeps the wizard, the second ends it.
        Click(dialog.FindWindow(wxID_CANCEL));
        EXPECT_TRUE(dialog.IsShown());
        Click(dialog.FindWindow(wxID_CANCEL));
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(run.app.GetInstallFolder(), chosen);
    auto calls = run.prompt->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Вы действительно хотите прервать инсталляцию?");
    EXPECT_EQ(calls[0].style, winapi::MB_YESNO | winapi::MB_ICONQUESTION);
    EXPECT_EQ(run.box.OdbcIni().find("KelmDemo"), std::string::npos);
}

TEST(SetupWizard, TwoPagesWithoutTheLicenceAndFinish)
{
    WizardRun run([](std::string ini) { return Replace(ini, "License_agr=1", "License_agr=0"); });
    bool finished = run.Show([&](CSetupDlg& dialog) {
        ASSERT_EQ(dialog.PageCount(), 2u);
        EXPECT_FALSE(Enabled(&dialog, wxID_BACKWARD));
        EXPECT_TRUE(Enabled(&dialog, wxID_FORWARD));
        Screenshot("wizard-two-pages-folder.png");
        Click(dialog.FindWindow(wxID_FORWARD));
        EXPECT_EQ(dialog.GetCurrentPage(), dialog.PageAt(1));
        EXPECT_TRUE(Enabled(&dialog, wxID_BACKWARD));
        EXPECT_EQ(Label(&dialog, wxID_FORWARD), "Финиш");
        Screenshot("wizard-two-pages-summary.png");
        Click(dialog.FindWindow(wxID_FORWARD));
    });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(run.prompt->Calls().empty());
}

TEST(SetupWizard, AMissingLicenceFileIsToldAndThePageStaysEmpty)
{
    WizardRun run;
    fs::remove(run.box.Kit() + "/app/License_agr.txt");
    run.Show([&](CSetupDlg& dialog) {
        auto* licence = dynamic_cast<wxTextCtrl*>(dialog.FindWindow(12002));
        ASSERT_NE(licence, nullptr);
        EXPECT_TRUE(licence->GetValue().empty());
        dialog.EndModal(wxID_CANCEL);
    });
    auto calls = run.prompt->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "Файл лицензии не найден или поврежден\n\rLicense_agr.txt !\n");
    EXPECT_EQ(calls[0].style, winapi::MB_OK);
}

TEST(UninstallDialog, AsksWithOkAndCancel)
{
    CUninstallDlg dialog("Приложение Kelm Tarnwick 10.2.8.20 будет удалено. Продолжить?");
    dialog.Show();
    EXPECT_EQ(dialog.GetTitle(), "Uninstall");
    EXPECT_NE(dialog.FindWindow(wxID_OK), nullptr);
    EXPECT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
    Screenshot("uninstall-confirmation.png");
    dialog.Hide();
}

// Starts the program as a user would, waits for its confirmation on the
// display and answers it with a key; the program's exit status.
int AnswerUninstall(const std::string& program, const char* key, const std::string& screenshot)
{
    auto pid = winapi::Spawn({program});
    if (!pid)
        return -1;
    // The program's own window: this test's process showed one of that name.
    std::string id = ShellOutput("timeout 60 xdotool search --sync --onlyvisible --pid " + std::to_string(*pid) +
                           " --name '^Uninstall$' 2>/dev/null");
    id = id.substr(0, id.find('\n'));
    EXPECT_FALSE(id.empty()) << "no confirmation shown";
    if (!id.empty()) {
        ShellOutput("xdotool windowfocus --sync " + id + " 2>/dev/null");
        wxMilliSleep(300);
        if (!screenshot.empty())
            Screenshot(screenshot);
    }
    // A loaded display may drop a key pressed while the dialog takes its
    // focus: the key goes again every few seconds until the program ends,
    // which is ended rather than waited for after a minute.
    for (int i = 0; i < 600; ++i) {
        if (!id.empty() && i % 30 == 0) {
            ShellOutput("timeout 5 xdotool windowfocus --sync " + id + " 2>/dev/null");
            ShellOutput(std::string("xdotool key ") + key + " 2>/dev/null");
        }
        int status = 0;
        if (::waitpid(*pid, &status, WNOHANG) == *pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        wxMilliSleep(100);
    }
    ADD_FAILURE() << "the program did not end after " << key;
    ::kill(*pid, SIGKILL);
    ::waitpid(*pid, nullptr, 0);
    return -1;
}

// The installed program loads its windows only for this run: Escape keeps
// everything, OK removes it.
TEST(UninstallProgram, AsksOnTheDisplayAndRemovesOnlyAfterOk)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    SetupSandbox box;
    box.RegisterClient();
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    const std::string program = box.InstallFolder() + "/uninstall";

    EXPECT_EQ(AnswerUninstall(program, "Escape", "uninstall-program.png"), 3);
    EXPECT_TRUE(fs::exists(program));
    EXPECT_TRUE(fs::exists(box.InstallFolder() + "/License_agr.txt"));
    EXPECT_TRUE(fs::exists(box.Group() + "/Tarnwick.desktop"));

    EXPECT_EQ(AnswerUninstall(program, "Return", ""), 0);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
    EXPECT_FALSE(fs::exists(box.Group()));
}

} // namespace
