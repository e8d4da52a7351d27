// The wizard inside the test process under Xvfb: the whole sheet walked
// with a small kit against the test cluster until Finish runs the
// installation, the folder chooser on a temporary tree, and the maintenance
// dialog. Questions are answered by a script; screenshots go to the test's
// output folder.
#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/core/installdata.h"
#include "installer/core/mainrun.h"
#include "installer/core/progress.h"
#include "installer/ui/mainframe.h"
#include "installer/ui/mainsheet.h"
#include "installer/ui/wizarddlgs.h"
#include "afx/cmdid.h"

#include "tests/installer/runfixture.h"
#include "tests/common/testsupport.h"
#include "tests/installer/wxgui.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/xrc/xmlres.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using namespace dorvik;

namespace {

const auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new dorvik::test::WxEnvironment("installer_wizard_gui_test"));

void Screenshot(const std::string& name) { dorvik::test::Screenshot("installer_wizard_gui_test", name); }

using dorvik::test::FindTopLevel;
using dorvik::test::Poller;

// A click as the user makes it.
void Click(wxWindow* window, wxEventType type = wxEVT_BUTTON)
{
    ASSERT_NE(window, nullptr);
    if (auto* radio = dynamic_cast<wxRadioButton*>(window))
        radio->SetValue(true);
    wxCommandEvent event(type, window->GetId());
    event.SetEventObject(window);
    if (type == wxEVT_RADIOBUTTON)
        event.SetInt(1);
    window->GetEventHandler()->ProcessEvent(event);
}

std::string Label(wxWindow* window) { return window ? window->GetLabel().utf8_string() : "<none>"; }

class WizardGui : public dorvik::test::RunTest {
protected:
    void TearDown() override
    {
        RunTest::TearDown();
    }
};

} // namespace

TEST_F(WizardGui, TheWholeWizardWalkedToFinishRunsTheInstallation)
{
    kelm::test::PgDatabase db("wizard_gui");
    kit.write("License.txt", "Terms of the Kelm test kit.\nRead them.");
    kit.write("ok.sql", "SELECT 1");
    kit.write("sleep.sql", "SELECT pg_sleep(1.5)");
    std::string data = (kit.path() / "data").string();
    std::string ini =
        kit.write("dorvik.ini",
                  "[LICENSE]\nCaptionE=Licence agreement\nContextE=Please read the agreement.\n"
                  "[MAINWINDOW]\nText1E=Kelm\nText2E=Wizard test\n"
                  "[START]\nCaptionE=Kelm test installation\nCaptionR=Тестовая установка Kelm\n"
                  "ContextE=This wizard installs the test kit.\\nPress Next.\nContextR=Мастер установки.\n"
                  "[LOGIN]\nCaptionE=Login\nContextE=Connect to the server.\nServer=" + kelm::test::PgHost() + "," +
                      kelm::test::PgPort() + "\nTrustedConnection=1\n"
                  "[KELM_DORVIK]\nCaptionE=Kelm database\nContextE=Where the database %DATABASE% goes.\n"
                  "DataBase=kelm_wizard\nPathData=" + data + "\nPathData2=" + data + "\nNeedDiskSpace=1M\n"
                  "EnableDorvik=1\nInstallSection=0\nbcp_Step1=Script(postgres, sleep.sql)\n"
                  "[FIX_PATCHDB]\nCaptionE=Patch\nContextE=Choose the database to patch.\nDataBase=postgres\n"
                  "HideTempDatabaseControls=1\nStep1=Script(%DATABASE%, ok.sql)\n"
                  "[END]\nCaptionE=Ready\nContextE=Press Finish to install.\n")
            .string();
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = new CMainFrame(run);
    run.SetView(*frame);
    frame->SetSize(1024, 768);
    frame->Show();

    // Creating the data folder; the outcome; no log.
    prompt->Script({winapi::IDYES, winapi::IDOK, winapi::IDNO});
    std::vector<std::string> titles, nextLabels;
    std::vector<bool> backEnabled, nextEnabled;
    std::string databaseShown, combo;
    bool progressSeen = false, wentBack = false, russianSeen = false;
    int lastPage = -1, ticks = 0, phase = 0, progressTicks = 0;
    CMainSheet* seenSheet = nullptr;
    auto started = std::chrono::steady_clock::now();
    Poller poller([&] {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(60))
            return true;
        if (frame->GetProgressDialog().IsModal()) {
            if (!progressSeen && ++progressTicks == 10) {
                Screenshot("wizard-progress.png");
                progressSeen = true;
            }
            return false;
        }
        auto* sheet = FindTopLevel<CMainSheet>();
        if (!sheet || !sheet->IsModal())
            return false;
        seenSheet = sheet;
        int page = static_cast<int>(sheet->GetActiveIndex());
        if (page != lastPage || phase < 0) {
            lastPage = page;
            ticks = 0;
            phase = 0;
            return false;
        }
        if (++ticks < 3)
            return false;
        wxWindow* next = sheet->FindWindow(wxID_FORWARD);
        wxWindow* back = sheet->FindWindow(wxID_BACKWARD);
        auto record = [&] {
            titles.push_back(sheet->GetTitle().utf8_string());
            nextLabels.push_back(Label(next));
            backEnabled.push_back(back->IsEnabled());
            nextEnabled.push_back(next->IsEnabled());
        };
        CWizardPage* wp = sheet->GetPageAt(static_cast<std::size_t>(page));
        switch (page) {
        case 0: // start: a look at it in Russian, then back to English
            if (phase == 0) {
                Click(wp->FindWindow(1014), wxEVT_RADIOBUTTON);
                phase = 1;
            } else if (phase == 1) {
                russianSeen = sheet->GetTitle().utf8_string() == "Тестовая установка Kelm" &&
                              Label(next) == "Далее >";
                Screenshot("wizard-start-russian.png");
                Click(wp->FindWindow(1015), wxEVT_RADIOBUTTON);
                phase = 2;
            } else {
                Screenshot("wizard-start.png");
                record();
                Click(next);
            }
            break;
        case 1: // licence: Next only after YES
            if (phase == 0) {
                record();
                Screenshot("wizard-licence.png");
                Click(wp->FindWindow(1031), wxEVT_RADIOBUTTON);
                phase = 1;
            } else {
                nextEnabled.push_back(next->IsEnabled());
                Click(next);
            }
            break;
        case 2: // login
            record();
            Screenshot("wizard-login.png");
            Click(next);
            phase = -1;
            break;
        case 3: // database: once back to the login and on again, then on
            if (phase == 0) {
                record();
                databaseShown = static_cast<wxTextCtrl*>(wp->FindWindow(1005))->GetValue().utf8_string();
                // Install it after all: the folders are checked now.
                auto* install = static_cast<wxCheckBox*>(wp->FindWindow(1010));
                install->SetValue(true);
                Click(install, wxEVT_CHECKBOX);
                phase = 1;
            } else if (phase == 1) {
                Screenshot("wizard-database.png");
                if (!wentBack) {
                    wentBack = true;
                    Click(back);
                } else {
                    Click(next);
                }
                phase = -1;
            }
            break;
        case 4: { // patch: the test's database
            record();
            auto* choice = static_cast<wxChoice*>(wp->FindWindow(1048));
            choice->SetStringSelection(wxString::FromUTF8(db.name()));
            combo = choice->GetStringSelection().utf8_string();
            Screenshot("wizard-patch.png");
            Click(next);
            phase = -1;
            break;
        }
        case 5: // end
            record();
            Screenshot("wizard-end.png");
            Click(next);
            phase = -1;
            break;
        }
        return false;
    });
    EXPECT_EQ(run.Run(), 0);
    ASSERT_NE(seenSheet, nullptr);
    EXPECT_TRUE(russianSeen);
    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(combo, db.name());
    EXPECT_EQ(databaseShown, data);
    EXPECT_EQ(titles, (std::vector<std::string>{"Kelm test installation", "Licence agreement", "Login",
                                                "Kelm database", "Login", "Kelm database", "Patch", "Ready"}));
    EXPECT_EQ(nextLabels, (std::vector<std::string>{"Next >", "Next >", "Next >", "Next >", "Next >", "Next >",
                                                    "Next >", "Finish"}));
    EXPECT_EQ(backEnabled, (std::vector<bool>{false, true, true, true, true, true, true, true}));
    // The licence page's Next: off before YES, on after.
    ASSERT_GE(nextEnabled.size(), 3u);
    EXPECT_FALSE(nextEnabled[1]);
    EXPECT_TRUE(nextEnabled[2]);

    // What the pages stored reached the run.
    ASSERT_EQ(prompt->Calls().size(), 3u);
    EXPECT_EQ(prompt->Calls()[0].text, "Path not exists\n" + data + ". \nCreate this folder ?");
    EXPECT_EQ(prompt->Calls()[1].text, "The application was successfully installed !");
    EXPECT_TRUE(std::filesystem::is_directory(data));
    std::string log = kelm::test::readFile(CDorvikCore::Get().GetLog().GetPath());
    EXPECT_NE(log.find("BEGIN SECTION KELM_DORVIK"), std::string::npos) << log;
    EXPECT_NE(log.find("Script(" + db.name() + ", ok.sql)"), std::string::npos) << log;
    EXPECT_NE(log.find("INSTALL STATUS : SUCCESS"), std::string::npos) << log;
    frame->Destroy();
}

TEST_F(WizardGui, CancelAsksAndNoKeepsTheWizard)
{
    std::string ini = kit.write("dorvik.ini", "[START]\nCaptionE=Start\n[LOGIN]\n").string();
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = new CMainFrame(run);
    run.SetView(*frame);
    frame->Show();
    prompt->Script({winapi::IDNO, winapi::IDYES, winapi::IDOK, winapi::IDNO});
    int presses = 0, ticks = 0;
    bool stillThere = false;
    Poller poller([&] {
        auto* sheet = FindTopLevel<CMainSheet>();
        if (!sheet || !sheet->IsModal() || ++ticks % 4)
            return false;
        if (presses == 1)
            stillThere = true;
        Click(sheet->FindWindow(wxID_CANCEL));
        return ++presses == 2;
    });
    EXPECT_EQ(run.Run(), 3);
    EXPECT_TRUE(stillThere);
    ASSERT_GE(prompt->Calls().size(), 3u);
    EXPECT_EQ(prompt->Calls()[0].text, "Do you want exit from Installer ?");
    EXPECT_EQ(prompt->Calls()[1].text, "Do you want exit from Installer ?");
    EXPECT_EQ(prompt->Calls()[2].text,
              "Installation was terminated by user !\nThe applicatin was not properly installed.");
    frame->Destroy();
}

namespace {

// Pages whose set-up fails the way no page message answers: the start page
// (shown before the modal loop runs) or the login page (after Next).
PageKind g_throwingKind = PageKind::Login;

template <typename Page, typename Step> struct Throwing : Page {
    explicit Throwing(Step& step) : Page(step) {}
    void OnInitDialog() override { throw 42; }
};

CPageBase* PagesWithAThrowingOne(PageKind kind, TBase& step)
{
    if (kind == g_throwingKind && kind == PageKind::Login)
        return new Throwing<CPageLogin, TLogin>(static_cast<TLogin&>(step));
    if (kind == g_throwingKind && kind == PageKind::Start)
        return new Throwing<CPageStart, TStart>(static_cast<TStart&>(step));
    return MakeWizardPage(kind, step);
}

} // namespace

// What a page throws ends the modal sheet and comes out of it as that
// exception, for the program's wizard error path; nothing is asked.
TEST_F(WizardGui, AnExceptionInAPageEndsTheSheetAndReachesItsCaller)
{
    std::string ini =
        kit.write("dorvik.ini", "[START]\nCaptionE=Start\n[LOGIN]\nCaptionE=Login\n[END]\nCaptionE=End\n").string();
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    ASSERT_TRUE(run.GetInstallData().Load(ini, context.KitFolder()));
    for (PageKind kind : {PageKind::Login, PageKind::Start}) {
        g_throwingKind = kind;
        CWxWizardHost host(run);
        auto* sheet = new CMainSheet(nullptr, host);
        host.SetParent(sheet);
        SetPageFactory(&PagesWithAThrowingOne);
        sheet->AddSteps(run.GetInstallData());
        SetPageFactory(&MakeWizardPage);
        int ticks = 0;
        Poller poller([&] {
            if (!sheet->IsModal() || ++ticks < 3)
                return false;
            Click(sheet->FindWindow(wxID_FORWARD));
            return true;
        });
        int thrown = 0;
        try {
            sheet->RunModal();
        } catch (int code) {
            thrown = code;
        }
        EXPECT_EQ(thrown, 42);
        EXPECT_FALSE(sheet->IsModal());
        EXPECT_TRUE(prompt->Calls().empty());
        sheet->Destroy();
        wxYield();
    }
}

TEST_F(WizardGui, HelpOpensTheActivePagesDocument)
{
    // xdg-open is a stand-in that records what it is asked to open.
    kelm::test::TempDir bin;
    auto recorded = bin.path() / "opened.txt";
    auto stub = bin.write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + recorded.string() + "'\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.path().string() + ":" + oldPath).c_str(), 1);

    kit.write("help/start.html", "<p>Start</p>");
    std::string ini = kit.write("dorvik.ini", "[START]\nCaptionE=Start\nInfo=help/start.html\n[LOGIN]\n"
                                              "CaptionE=Login\n[END]\nCaptionE=End\nInfo=https://example.org/end\n")
                          .string();
    RunContext context;
    CMainRun run(context, headless);
    ASSERT_TRUE(run.Start({ini}, "/opt/kelm/dorvik"));
    auto* frame = new CMainFrame(run);
    run.SetView(*frame);
    frame->Show();
    prompt->Script({winapi::IDYES, winapi::IDOK, winapi::IDNO});
    std::vector<bool> helpEnabled;
    int ticks = 0, step = 0;
    std::string opened;
    auto started = std::chrono::steady_clock::now();
    Poller poller([&] {
        auto* sheet = FindTopLevel<CMainSheet>();
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(30))
            return true;
        if (!sheet || !sheet->IsModal() || ++ticks % 4)
            return false;
        wxWindow* help = sheet->FindWindow(wxID_HELP);
        switch (step++) {
        case 0: // start: the button, then F1's command
            helpEnabled.push_back(help && help->IsEnabled());
            Screenshot("wizard-help.png");
            Click(help);
            return false;
        case 1: {
            wxCommandEvent f1(wxEVT_MENU, ToWxId(ID_HELP));
            sheet->GetEventHandler()->ProcessEvent(f1);
            return false;
        }
        case 2: // the login page has no document
            Click(sheet->FindWindow(wxID_FORWARD));
            return false;
        case 3:
            helpEnabled.push_back(help && help->IsEnabled());
            Click(sheet->FindWindow(wxID_CANCEL));
            return true;
        }
        return false;
    });
    EXPECT_EQ(run.Run(), 3);
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(helpEnabled, (std::vector<bool>{true, false}));
    std::string expected = (kit.path() / "help" / "start.html").string() + "\n";
    auto read = [&] { return std::filesystem::exists(recorded) ? kelm::test::readFile(recorded) : std::string(); };
    for (int i = 0; i < 500 && read() != expected + expected; ++i)
        wxMilliSleep(10);
    EXPECT_EQ(read(), expected + expected);
    // Nothing went wrong on the way: only the Cancel question and the end.
    ASSERT_GE(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, "Do you want exit from Installer ?");
    EXPECT_EQ(prompt->Beeps(), 0);
    frame->Destroy();
}

TEST_F(WizardGui, FolderChooserListsOneLevelAtATime)
{
    kelm::test::TempDir tree;
    std::filesystem::create_directories(tree.path() / "alpha" / "inner");
    std::filesystem::create_directories(tree.path() / "files");
    std::filesystem::create_directories(tree.path() / ".hidden");
    tree.write("files/a.txt", "a");
    winapi::DriveInfo drive;
    drive.mountPoint = tree.path().string();
    drive.label = "TEST tree";

    wxFrame* parent = new wxFrame(nullptr, wxID_ANY, "parent");
    parent->Show();
    CDlgChooseDir dialog(parent, "Choose folder", "/start/path");
    dialog.SetDrives({drive});
    std::vector<std::string> children;
    bool filesHadButton = true, filesButtonAfter = true;
    std::string edit, rootText;
    int step = 0;
    Poller poller([&] {
        if (!dialog.IsModal())
            return false;
        if (step++ > 0) {
            if (step < 5)
                return false;
            Screenshot("folder-chooser.png");
            Click(dialog.FindWindow(wxID_OK));
            return true;
        }
        CDirTreeCtrl* t = dialog.GetTree();
        wxTreeItemIdValue cookie;
        wxTreeItemId root = t->GetFirstChild(t->GetRootItem(), cookie);
        rootText = t->GetItemText(root).utf8_string();
        edit = dialog.GetEdit()->GetValue().utf8_string();
        t->Expand(root);
        wxTreeItemIdValue c2;
        wxTreeItemId files;
        for (wxTreeItemId item = t->GetFirstChild(root, c2); item.IsOk(); item = t->GetNextChild(root, c2)) {
            children.push_back(t->GetItemText(item).utf8_string());
            if (t->GetItemText(item) == "files")
                files = item;
        }
        if (files.IsOk()) {
            filesHadButton = t->ItemHasChildren(files);
            t->Expand(files);
            filesButtonAfter = t->ItemHasChildren(files);
            t->SelectItem(files);
        }
        return false;
    });
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(edit, "/start/path");
    EXPECT_EQ(rootText, tree.path().string() + " [Test tree]");
    EXPECT_EQ(children, (std::vector<std::string>{"alpha", "files"}));
    EXPECT_TRUE(filesHadButton);
    EXPECT_FALSE(filesButtonAfter); // only files inside: the button goes
    EXPECT_EQ(dialog.GetPath(), (tree.path() / "files").string());

    // The browse variant refuses a folder on a network file system.
    struct stat st {};
    ASSERT_EQ(::stat(tree.path().c_str(), &st), 0);
    RunContext context;
    CDlgBrowse browse(context, parent, "Choose folder", (tree.path() / "alpha").string() + "/");
    browse.SetMountInfo("30 1 " + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
                        " / /mnt rw - nfs4 server:/x rw\n");
    EXPECT_FALSE(browse.Accept());
    ASSERT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, "You can not choose network path !");
    browse.SetMountInfo("30 1 " + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
                        " / /mnt rw - ext4 /dev/sda1 rw\n");
    EXPECT_TRUE(browse.Accept());
    EXPECT_EQ(browse.GetPath(), (tree.path() / "alpha").string());
    parent->Destroy();
}

TEST_F(WizardGui, MaintenanceDialogShowsTheStep)
{
    wxFrame* parent = new wxFrame(nullptr, wxID_ANY, "parent");
    parent->Show();
    TDatabase step;
    step.m_strName = "KELM_DORVIK";
    step.m_strBackUpPath = kit.path().string();
    step.m_nWeekMaintenanceDay = 6;
    RunContext context;
    CMainRun run(context, headless);
    CWizardHost host(run);
    CDlgParamDB dialog(parent, step, host);
    std::string day;
    int ticks = 0;
    Poller poller([&] {
        if (!dialog.IsModal() || ++ticks < 4)
            return false;
        day = dialog.Controls().GetText(1025);
        dialog.Controls().SetSelection(1023, 4);
        Screenshot("maintenance.png");
        Click(dialog.FindWindow(wxID_OK));
        return true;
    });
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(day, "Sunday");
    EXPECT_EQ(step.m_nDayMaintenanceTime, 4);
    EXPECT_TRUE(step.m_bMaintenanceConfirmed);

    // Cancel after changes leaves the step as it was.
    CDlgParamDB again(parent, step, host);
    ticks = 0;
    Poller cancel([&] {
        if (!again.IsModal() || ++ticks < 4)
            return false;
        again.Controls().SetSelection(1023, 9);
        again.Controls().SetSelection(1025, 0);
        again.Controls().SetCheck(1034, true);
        again.Controls().SetText(301, "/srv/other");
        Click(again.FindWindow(wxID_CANCEL));
        return true;
    });
    EXPECT_EQ(again.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(step.m_nDayMaintenanceTime, 4);
    EXPECT_EQ(step.m_nWeekMaintenanceDay, 6);
    EXPECT_FALSE(step.m_bInstallDayMaintenance);
    EXPECT_EQ(step.m_strBackUpPath, kit.path().string());
    parent->Destroy();
}
