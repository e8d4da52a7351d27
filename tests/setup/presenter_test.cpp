// setup's and uninstall's runs driven in this process: the administrator
// test, the questions and the wizard are answered by the test.
#include "tests/setup/sandbox.h"

#include "resources/setup/setupstrings.h"
#include "setup/setupapp.h"
#include "setup/uninstallapp.h"
#include "setup/wizardmodel.h"
#include "winapi/settings/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace kelm_setup;
using kelm::test::readFile;
using kelm::test::SetupSandbox;
using winapi::TestPrompt;

namespace {

const std::string kGuidKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1C2B7A-3D4E-4A5B-9C8D-0E1F2A3B4C5D}";

class ScriptedWizard : public ISetupWizard {
public:
    explicit ScriptedWizard(bool finish, std::string folder = {}) : m_finish(finish), m_folder(std::move(folder)) {}
    bool Run(CSetupApp& app) override
    {
        CSetupWizardModel model(app);
        pages = model.Pages().size();
        if (!m_folder.empty()) {
            model.SetFolder(m_folder);
            model.CommitFolder();
        }
        summary = model.Summary();
        return m_finish;
    }
    std::size_t pages = 0;
    std::string summary;

private:
    bool m_finish;
    std::string m_folder;
};

struct Run {
    int status;
    std::string log;
    std::vector<TestPrompt::Call> boxes;
};

Run RunSetup(SetupSandbox& box, std::vector<std::string> args, bool admin = true,
             std::initializer_list<int> answers = {}, ISetupWizard* wizard = nullptr)
{
    args.push_back(box.Kit());
    auto prompt = std::make_shared<TestPrompt>(answers);
    std::size_t before = box.LogText().size();
    CSetupApp app;
    app.ParseCommandLine(args);
    app.SetAdminCheck([admin] { return admin; });
    app.SetPrompt(prompt);
    app.SetUninstallerSource(UNINSTALL_BIN);
    app.SetWizard(wizard);
    int status = app.Run();
    return {status, box.LogText().substr(before), prompt->Calls()};
}

// The text with its first `from` replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    auto pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << from;
    if (pos != std::string::npos)
        text.replace(pos, from.size(), to);
    return text;
}

std::string Text(int id) { return kelm_setup::res::LoadString(id); }

// The texts of the lines in `log` that are string-table messages, in order.
std::vector<int> Messages(const std::string& log)
{
    std::vector<int> ids;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        for (int id = 136; id <= 161; ++id) {
            std::string text = Text(id);
            if (!text.empty() && text.find("%s") == std::string::npos && line == text)
                ids.push_back(id);
            else if (text.find("%s") != std::string::npos && line.rfind(text.substr(0, text.find("%s")), 0) == 0 &&
                     text.find("%s") > 0)
                ids.push_back(id);
        }
    }
    return ids;
}

TEST(SetupRun, WithoutAdministratorRightsOnlyTheClientCheckFollows)
{
    SetupSandbox box;
    auto run = RunSetup(box, {"-s"}, false);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{148, 153}));
    EXPECT_NE(run.log.find("INSTALL STATUS : FAILED"), std::string::npos);
    EXPECT_TRUE(run.boxes.empty()); // silent

    // The client check needs App.ini's ClientVer, which was never read.
    box.RegisterClient();
    run = RunSetup(box, {}, false, {});
    EXPECT_EQ(Messages(run.log), (std::vector<int>{148, 153}));
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, Text(148));
    EXPECT_EQ(run.boxes[0].style, winapi::MB_OK | winapi::MB_ICONSTOP);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
}

TEST(SetupRun, AMissingOrBrokenAppIniIsReportedBeforeTheClientCheck)
{
    SetupSandbox box;
    fs::remove(box.Kit() + "/App.ini");
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{150, 153}));

    box.RegisterClient();
    box.WriteAppIni("[INSTALL_INFO]\nDevID=Kelm\nDevName=V\nAppName=../../etc\nAppVer=1\nAppGUID=1\nClientVer=1.0\n");
    run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{147}));
}

TEST(SetupRun, AnUnknownDriverFailsTheRunAndRollsBack)
{
    SetupSandbox box;
    box.RegisterClient();
    std::string ini = readFile(box.Kit() + "/App.ini");
    box.WriteAppIni(Replace(ini, "PostgreSQL Unicode", "No Such Driver"));
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{146}));
    EXPECT_NE(run.log.find("ODBC driver not installed : No Such Driver"), std::string::npos);
    EXPECT_NE(run.log.find("FAILED"), std::string::npos);
    EXPECT_EQ(box.OdbcIni().find("KelmDemo"), std::string::npos);
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));

    // A section without a driver cannot use the interactive dialog here.
    box.WriteAppIni(Replace(ini, "DSN_DRIVER=PostgreSQL Unicode\n", ""));
    run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.log.find("no driver named"), std::string::npos);
}

TEST(SetupRun, AnOldCopyWhoseUninstallerFailsStopsTheInstallation)
{
    SetupSandbox box;
    box.RegisterClient();
    std::string old = box.Dir().path().string() + "/old copy";
    fs::create_directories(old);
    std::ofstream(old + "/uninstall") << "#!/bin/sh\necho run >> \"" + old + "/runs\"\nexit 2\n";
    fs::permissions(old + "/uninstall", fs::perms(0755));
    winapi::RegKey key;
    ASSERT_EQ(winapi::RegCreateKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_SET_VALUE, key), 0);
    ASSERT_EQ(winapi::RegSetString(key, "InstallLocation", old), 0);

    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.log.find(Text(158)), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("exit status 2"), std::string::npos);
    EXPECT_FALSE(fs::exists(box.InstallFolder()));
    // The rollback takes back nothing of a copy this run did not make: the
    // old copy keeps its Uninstall entry, and its uninstaller ran once.
    winapi::RegKey kept;
    ASSERT_EQ(winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_READ, kept), 0);
    EXPECT_EQ(winapi::RegQueryString(kept, "InstallLocation", winapi::kMaxPath), old);
    EXPECT_EQ(readFile(old + "/runs"), "run\n");

    // Asked in an interactive run, Cancel keeps the installed copy.
    ASSERT_EQ(winapi::RegCreateKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_SET_VALUE, key), 0);
    ASSERT_EQ(winapi::RegSetString(key, "InstallLocation", old), 0);
    ScriptedWizard wizard(true);
    run = RunSetup(box, {}, true, {winapi::IDCANCEL}, &wizard);
    EXPECT_EQ(run.status, 3);
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, Text(159));
    EXPECT_EQ(run.boxes[0].style, winapi::MB_OKCANCEL);
    EXPECT_EQ(run.boxes[1].text, Text(160));
    EXPECT_NE(run.log.find("Installation was terminated by user"), std::string::npos);
    EXPECT_EQ(Messages(run.log), std::vector<int>{}); // 160 is a box only
    EXPECT_EQ(wizard.pages, 0u);
}

TEST(SetupRun, TheWizardDecidesFolderAndWhetherDataSourcesAreMade)
{
    SetupSandbox box;
    box.RegisterClient();
    ScriptedWizard cancel(false);
    auto run = RunSetup(box, {}, true, {}, &cancel);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(cancel.pages, 3u);
    EXPECT_EQ(box.OdbcIni().find("KelmDemo"), std::string::npos);
    EXPECT_NE(cancel.summary.find(box.InstallFolder()), std::string::npos);
    EXPECT_NE(cancel.summary.find(Text(157) + "KelmDemo\r\n"), std::string::npos);

    std::string chosen = box.Dir().path().string() + "/chosen place";
    ScriptedWizard finish(true, chosen);
    run = RunSetup(box, {}, true, {}, &finish);
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_TRUE(fs::exists(chosen + "/Files.dat"));
    EXPECT_NE(finish.summary.find(chosen), std::string::npos);
    EXPECT_NE(box.OdbcIni().find("[KelmDemo]"), std::string::npos);
    EXPECT_TRUE(run.boxes.empty());

    // Removing it from the chosen place leaves that folder's parent alone.
    EXPECT_EQ(SetupSandbox::Run({chosen + "/uninstall", "-s"}), 0);
    EXPECT_FALSE(fs::exists(chosen));
    EXPECT_TRUE(fs::exists(box.Dir().path()));
}

TEST(SetupRun, AnEmptyCopyFolderInstallsNothingButTheDataSources)
{
    SetupSandbox box;
    box.RegisterClient();
    box.WriteAppIni(Replace(readFile(box.Kit() + "/App.ini"), "CopyPath=app", "CopyPath="));
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_FALSE(fs::exists(box.InstallFolder()));
    EXPECT_FALSE(fs::exists(box.Group()));
    EXPECT_NE(box.OdbcIni().find("[KelmDemo]"), std::string::npos);
    winapi::RegKey key;
    EXPECT_EQ(winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_READ, key), 2);
}

TEST(SetupRun, AFailureAfterTheCopyTakesTheCopiedFilesBack)
{
    SetupSandbox box;
    box.RegisterClient();
    // The menu folder cannot be made below a file.
    box.Dir().write("not-a-folder", "x");
    ::setenv("WINAPI_COMMON_PROGRAMS", (box.Dir().path() / "not-a-folder" / "applications").c_str(), 1);
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{149}));
    EXPECT_FALSE(fs::exists(box.InstallFolder())) << run.log;
    winapi::RegKey key;
    EXPECT_EQ(winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_READ, key), 2);
}

TEST(SetupRun, ACopyThatFailsMidwayTakesBackWhatItWroteAndNothingElse)
{
    SetupSandbox box;
    box.RegisterClient();
    // A pipe sorts after the kit's files and cannot be copied.
    ASSERT_EQ(::mkfifo((box.Kit() + "/app/zz-pipe").c_str(), 0644), 0);
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{151}));
    // The folders the run created go with the files.
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc")) << run.log;
    winapi::RegKey key;
    EXPECT_EQ(winapi::RegOpenKeyEx(winapi::HKEY_LOCAL_MACHINE, kGuidKey, winapi::KEY_READ, key), 2);

    // Into a folder that was there, with a file of the user's: the folder
    // and that file stay.
    fs::create_directories(box.InstallFolder());
    std::ofstream(box.InstallFolder() + "/notes.txt") << "mine";
    run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(box.InstallFolder()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"notes.txt"});
}

TEST(SetupRun, AFilesDatThatCannotBeWrittenIsShownWithItsReason)
{
    SetupSandbox box;
    box.RegisterClient();
    // The kit brings a folder where the list of installed paths must go.
    box.Dir().write("kit/app/Files.dat/inside.txt", "x");
    ScriptedWizard wizard(true);
    auto run = RunSetup(box, {}, true, {}, &wizard);
    EXPECT_EQ(run.status, 2);
    const std::string text = Text(161) + "Access is denied.";
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, text);
    EXPECT_EQ(run.boxes[1].text, Text(151));
    EXPECT_NE(run.log.find(text + "\r\n"), std::string::npos) << run.log;
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
}

TEST(SetupRun, WhatAKilledCopyLeftGoesWithTheNextRunAndWithUninstall)
{
    SetupSandbox box;
    box.RegisterClient();
    box.Dir().write("kit/app/docs/readme.txt", "r");
    const std::string folder = box.InstallFolder();
    auto plant = [&](const std::string& path, const std::string& text) {
        box.Dir().write(fs::relative(path, box.Dir().path()).string(), text);
    };
    // A run killed while copying left temporary files; a name that only
    // looks like one is the user's.
    plant(folder + "/.copy-Ab12Cd", "half");
    plant(folder + "/docs/.copy-Cd34Ef", "half");
    plant(folder + "/.copy-Ab12Cd7", "mine");
    ASSERT_EQ(RunSetup(box, {"-s"}).status, 0);
    EXPECT_FALSE(fs::exists(folder + "/.copy-Ab12Cd"));
    EXPECT_FALSE(fs::exists(folder + "/docs/.copy-Cd34Ef"));
    EXPECT_TRUE(fs::exists(folder + "/.copy-Ab12Cd7"));
    fs::remove(folder + "/.copy-Ab12Cd7");

    // Ones left in an installed copy do not keep its folders.
    plant(folder + "/.copy-Zz98Yx", "half");
    plant(folder + "/docs/.copy-Yy76Xw", "half");
    EXPECT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
}

TEST(SetupRun, LinksAreInstalledAsLinksAndNoFolderIsReachedThroughOne)
{
    SetupSandbox box;
    box.RegisterClient();
    const std::string folder = box.InstallFolder();
    const fs::path outside = box.Dir().path() / "outside";
    box.Dir().write("outside/secret.txt", "secret");
    box.Dir().write("outside/dir/keep.txt", "keep");
    fs::create_symlink(outside / "secret.txt", box.Kit() + "/app/secret-link");
    fs::create_directory_symlink(outside / "dir", box.Kit() + "/app/dir-link");
    ASSERT_EQ(RunSetup(box, {"-s"}).status, 0);
    EXPECT_TRUE(fs::is_symlink(folder + "/secret-link"));
    EXPECT_TRUE(fs::is_symlink(folder + "/dir-link"));
    EXPECT_EQ(fs::read_symlink(folder + "/secret-link"), outside / "secret.txt");
    ASSERT_EQ(SetupSandbox::Run({folder + "/uninstall", "-s"}), 0) << box.LogText();
    EXPECT_FALSE(fs::exists(box.ProgramFiles() + "/Varnholt Inc"));
    EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
    EXPECT_EQ(readFile(outside / "dir/keep.txt"), "keep");

    // An installation folder that is a link is not copied into.
    fs::create_directories(fs::path(folder).parent_path());
    fs::create_directory_symlink(outside / "dir", folder);
    auto run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Messages(run.log), (std::vector<int>{151}));
    EXPECT_NE(run.log.find("i/o error 1921"), std::string::npos) << run.log;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outside / "dir"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keep.txt"});
}

TEST(SetupRun, AnOldProgramGroupIsDeletedAfterTheQuestion)
{
    SetupSandbox box;
    box.RegisterClient();
    fs::create_directories(box.Group());
    std::ofstream(box.Group() + "/old.desktop") << "x";
    ScriptedWizard wizard(true);
    auto run = RunSetup(box, {}, true, {winapi::IDCANCEL}, &wizard);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(fs::exists(box.Group() + "/old.desktop"));
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes[0].text, FormatText(Text(140), {box.Group()}));
    EXPECT_NE(run.log.find(FormatText(Text(142), {box.Group()})), std::string::npos);

    run = RunSetup(box, {"-s"});
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_FALSE(fs::exists(box.Group() + "/old.desktop"));
    EXPECT_TRUE(fs::exists(box.Group() + "/Tarnwick.desktop"));
    EXPECT_NE(run.log.find(FormatText(Text(141), {box.Group()})), std::string::npos);
}

TEST(SetupRun, InstallPathReplacesTheDefaultFolder)
{
    SetupSandbox box;
    box.RegisterClient();
    box.WriteAppIni(Replace(readFile(box.Kit() + "/App.ini"), "InstallPath=",
                               "InstallPath=%Program Files%\\Tools\\App"));
    CSetupApp app;
    app.ParseCommandLine({box.Kit()});
    ASSERT_TRUE(app.LoadAppIni());
    EXPECT_EQ(app.DefaultInstallFolder(), box.ProgramFiles() + "/Tools/App");
}

TEST(UninstallRun, CancelKeepsEverythingAndAFailingStepStopsTheRest)
{
    SetupSandbox box;
    box.RegisterClient();
    ASSERT_EQ(RunSetup(box, {"-s"}).status, 0);
    std::string program = box.InstallFolder() + "/uninstall";

    CUninstallApp cancelled;
    cancelled.SetProgramPath(program);
    cancelled.SetAdminCheck([] { return true; });
    std::string asked;
    cancelled.SetConfirm([&](const std::string& text) {
        asked = text;
        return false;
    });
    EXPECT_EQ(cancelled.Run(), 3);
    EXPECT_EQ(asked, "Приложение Kelm Tarnwick 10.2.8.20 будет удалено. Продолжить?");
    EXPECT_TRUE(fs::exists(program));
    EXPECT_TRUE(fs::exists(box.Group() + "/Tarnwick.desktop"));

    // A line leading out of the folder is skipped; the rest goes.
    std::string outside = box.Dir().path().string() + "/keep.txt";
    std::ofstream(outside) << "x";
    std::ofstream(box.InstallFolder() + "/Files.dat", std::ios::app) << "../../../../../../../keep.txt\r\n"
                                                                      << outside << "\r\n";
    auto prompt = std::make_shared<TestPrompt>();
    CUninstallApp notAdmin;
    notAdmin.SetProgramPath(program);
    notAdmin.SetAdminCheck([] { return false; });
    notAdmin.SetPrompt(prompt);
    EXPECT_EQ(notAdmin.Run(), 2);
    ASSERT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, kelm_uninstall::res::LoadString(135));

    CUninstallApp removal;
    removal.SetProgramPath(program);
    removal.SetAdminCheck([] { return true; });
    removal.ParseCommandLine({"-s"});
    EXPECT_EQ(removal.Run(), 0);
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(box.InstallFolder()));
    EXPECT_NE(box.LogText().find("Skipped, outside the installation folder : ../../../"), std::string::npos);

    // Nothing registered any more: the listed files cannot be found.
    fs::create_directories(box.InstallFolder());
    std::ofstream(box.InstallFolder() + "/App.ini") << readFile(box.Kit() + "/App.ini");
    CUninstallApp again;
    again.SetProgramPath(program);
    again.SetAdminCheck([] { return true; });
    again.ParseCommandLine({"-s"});
    EXPECT_EQ(again.Run(), 2);
    EXPECT_NE(box.LogText().find(kelm_uninstall::res::LoadString(130)), std::string::npos);
}

} // namespace
