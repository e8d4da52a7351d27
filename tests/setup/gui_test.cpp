// setup's wizard and uninstall's confirmation on the display: pages,
// buttons, the licence rule and the abort question, with screenshots in the
// test's output folder.
#include "tests/common/gtkprobe.h"
#include "tests/setup/sandbox.h"

#include "resources/setup/setupstrings.h"
#include "setup/setupdlg.h"
#include "setup/uninstalldlg.h"
#include "tests/common/wxtestenv.h"
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

const auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new kelm::test::WxTestEnvironment("setup_gui_test"));

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

// Waits for the program's end: its exit status, or -1 after a minute (the
// program is then ended).
int WaitExit(pid_t pid)
{
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        wxMilliSleep(100);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// The picture at the place of the window's one message icon shows a drawing.
void ExpectOneIconDrawn(const kelm::test::ProbeWindow& box, const std::string& screenshot)
{
    const auto icons = box.Images(32);
    ASSERT_EQ(icons.size(), 1u) << box.Describe();
    EXPECT_GT(kelm::test::ColoursAt(screenshot, icons[0]), 8) << "no icon drawn in " << screenshot;
}

// The program as a user starts it: its licence page, the abort question
// with its question icon, and the folder chooser speak Russian, the
// toolkit's own words included; No keeps the wizard, Yes ends it.
TEST(SetupProgram, TheWizardsQuestionAndFolderChooserAreRussian)
{
    using kelm::test::ProbeWindow;
    SetupSandbox box;
    box.RegisterClient();
    kelm::test::GtkProbe probe;
    probe.Export();
    auto pid = winapi::Spawn({SETUP_BIN, box.Kit()});
    ASSERT_TRUE(pid);
    kelm::test::EndsWithTheTest ends(*pid);
    const std::string title = "Установка приложения Kelm Tarnwick";
    auto licence = probe.WaitForButton(title, "Отмена", 60);
    ASSERT_TRUE(licence) << probe.Describe();
    Screenshot("setup-licence.png");
    EXPECT_NE(licence->Find("button", "ДА, принимаю"), nullptr) << licence->Describe();

    ASSERT_TRUE(probe.Click(title, "Отмена"));
    auto question = probe.WaitFor([](const ProbeWindow& w) { return w.Find("button", "Нет") != nullptr; }, 30);
    ASSERT_TRUE(question) << probe.Describe();
    const std::string shot = Screenshot("setup-question.png");
    EXPECT_EQ(question->SortedTexts("button"), (std::vector<std::string>{"Да", "Нет"})) << question->Describe();
    ExpectOneIconDrawn(*question, shot);
    kelm::test::ClickItem(*question->Find("button", "Нет"));
    ASSERT_TRUE(probe.WaitUntilGone([](const ProbeWindow& w) { return w.Find("button", "Нет"); }, 10));

    ASSERT_TRUE(probe.Click(title, "ДА, принимаю"));
    ASSERT_TRUE(probe.Click(title, "Далее"));
    ASSERT_TRUE(probe.Click(title, "Выбрать директорию")) << probe.Describe();
    auto chooser = probe.WaitFor([](const ProbeWindow& w) { return w.Find("button", "Отменить") != nullptr; }, 30);
    ASSERT_TRUE(chooser) << probe.Describe();
    Screenshot("setup-folder-chooser.png");
    EXPECT_NE(chooser->Find("button", "Открыть"), nullptr) << chooser->Describe();
    EXPECT_NE(chooser->Find("label", "Домашняя папка"), nullptr) << chooser->Describe();
    kelm::test::ClickItem(*chooser->Find("button", "Отменить"));
    ASSERT_TRUE(probe.WaitUntilGone([](const ProbeWindow& w) { return w.Find("button", "Отменить"); }, 10));

    ASSERT_TRUE(probe.Click(title, "Отмена"));
    ASSERT_TRUE(probe.Click(question->title, "Да")) << probe.Describe();
    EXPECT_EQ(WaitExit(*pid), 3);
}

// The installed uninstaller's confirmation, also where the system has no
// Russian locale, and its error box with the error icon take Russian
// buttons from the toolkit.
TEST(UninstallProgram, ItsConfirmationAndErrorBoxAreRussian)
{
    using kelm::test::ProbeWindow;
    SetupSandbox box;
    box.RegisterClient();
    ASSERT_EQ(SetupSandbox::Run({SETUP_BIN, "-s", box.Kit()}), 0) << box.LogText();
    const std::string program = box.InstallFolder() + "/uninstall";
    kelm::test::GtkProbe probe;
    probe.Export();

    // Also on a system without the Russian locale (only C.UTF-8 there).
    kelm::test::TempDir withoutRussian;
    fs::create_directory_symlink("/usr/lib/locale/C.utf8", withoutRussian / "C.utf8");
    for (const bool russianLocale : {true, false}) {
        SCOPED_TRACE(russianLocale ? "with ru_RU.UTF-8" : "without ru_RU.UTF-8");
        kelm::test::ScopedEnv env;
        if (!russianLocale)
            env.set("LOCPATH", withoutRussian.path().string());
        probe.Clear();
        auto pid = winapi::Spawn({program});
        ASSERT_TRUE(pid);
        kelm::test::EndsWithTheTest ends(*pid);
        auto confirmation = probe.WaitForButton("Uninstall", "Отменить", 60);
        ASSERT_TRUE(confirmation) << probe.Describe();
        Screenshot(russianLocale ? "uninstall-confirmation-russian.png" : "uninstall-without-russian-locale.png");
        EXPECT_EQ(confirmation->SortedTexts("button"), (std::vector<std::string>{"ОК", "Отменить"}))
            << confirmation->Describe();
        kelm::test::ClickItem(*confirmation->Find("button", "Отменить"));
        EXPECT_EQ(WaitExit(*pid), 3);
    }

    fs::remove(box.InstallFolder() + "/App.ini");
    probe.Clear();
    auto pid = winapi::Spawn({program});
    ASSERT_TRUE(pid);
    kelm::test::EndsWithTheTest ends(*pid);
    auto error = probe.WaitFor([](const ProbeWindow& w) { return w.Find("button", "ОК") != nullptr; }, 60);
    ASSERT_TRUE(error) << probe.Describe();
    const std::string shot = Screenshot("uninstall-error.png");
    EXPECT_EQ(error->Texts("button"), (std::vector<std::string>{"ОК"})) << error->Describe();
    ExpectOneIconDrawn(*error, shot);
    kelm::test::ClickItem(*error->Find("button", "ОК"));
    EXPECT_EQ(WaitExit(*pid), 2);
}

} // namespace
