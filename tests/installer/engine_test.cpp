#include "installer/common/dorvikcore.h"
#include "installer/common/logfile.h"
#include "installer/common/utils.h"
#include "installer/core/installdata.h"
#include "installer/core/installer.h"
#include "installer/core/progress.h"
#include "installer/packed/packwriter.h"
#include "dmo/dmo.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace dorvik;
using kelm::test::PgDatabase;

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x1234);

// Records what the engine shows; a window is attached when the run is
// interactive. A line text equal to `cancelAt` sets the run's cancel event.
struct RecordingProgress : CProgressState {
    std::vector<std::string> texts;
    std::string cancelAt;
    std::shared_ptr<CManualEvent> cancel;
    bool throwOnRange = false;
    void SetLineText(int line, const std::string& text) override
    {
        CProgressState::SetLineText(line, text);
        texts.push_back(std::to_string(line) + ":" + text);
        if (!cancelAt.empty() && text == cancelAt && cancel)
            cancel->Set();
    }
    void SetRange(int line, int max) override
    {
        if (throwOnRange)
            throw std::runtime_error("progress broke");
        CProgressState::SetRange(line, max);
    }
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        env.set("XDG_DOCUMENTS_DIR", documents.path().string());
        setenv("TZ", "UTC", 1);
        context.SetClock([] { return std::time_t(1700000000); });
        pg = std::make_unique<PgDatabase>("engine");
        auto server = dmo::SQLServer::Create();
        server->SetLoginSecure(true);
        server->Connect(kelm::test::PgHost() + "," + kelm::test::PgPort(), "", "");
        CDorvikCore::Get().SetServer(server);
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>());
        CDorvikCore::Get().SetQuiet(false);
        winapi::SetPrompt(prompt);
        context.SetKitFolder(kit.path().string());
        kit.write("ok.sql", "SELECT 1");
        kit.write("bad.sql", "SELECT no_such_column");
        kit.write("values.sql", "SELECT 1");
    }
    void TearDown() override
    {
        CDorvikCore::Get().SetServer(nullptr);
        CDorvikCore::Get().SetLog(nullptr);
        CDorvikCore::Get().SetQuiet(false);
        winapi::SetPrompt(nullptr);
    }

    // An RScript that answers with a reaction and a value.
    std::string rscript(int reaction, int value)
    {
        std::string name = "r" + std::to_string(reaction) + "_" + std::to_string(value) + ".sql";
        kit.write(name, "SELECT " + std::to_string(reaction) + ", " + std::to_string(value));
        return "RScript(" + pg->name() + ", " + name + ")";
    }
    std::string script(const std::string& file) { return "Script(" + pg->name() + ", " + file + ")"; }

    // Runs the kit's INI through the worker, as the program does, and
    // returns the status; the log's text is in `log`.
    int run(const std::string& ini, bool quiet = false, bool window = true)
    {
        auto path = kit.write("dorvik.ini", ini);
        auto data = std::make_shared<CInstallData>();
        EXPECT_TRUE(data->Load(path.string(), context.KitFolder()));
        CDorvikCore::Get().SetQuiet(quiet);
        auto params = std::make_shared<CWorkerParams>();
        params->run = &context;
        params->data = data;
        params->progress = progress;
        if (window)
            progress->GetOwner()->Attach(kWindow);
        auto cancel = std::make_shared<CManualEvent>();
        progress->cancel = cancel;
        context.SetCancelEvent(cancel);
        CLogFile& logFile = CDorvikCore::Get().GetLog();
        logFile.SetClock([this] { return context.Now(); });
        logFile.Open();
        std::thread worker(InstallWorker, params);
        EXPECT_TRUE(params->done->Wait(std::chrono::seconds(60)));
        worker.join();
        logFile.Close();
        progress->GetOwner()->Detach();
        log = kelm::test::readFile(logFile.GetPath());
        EXPECT_TRUE(progress->IsClosed());
        return params->result;
    }
    // The log lines that begin with one of the prefixes, in order.
    std::vector<std::string> lines(const std::vector<std::string>& prefixes) const
    {
        std::vector<std::string> out;
        std::size_t start = 0;
        while (start < log.size()) {
            std::size_t end = log.find("\r\n", start);
            if (end == std::string::npos)
                end = log.size();
            std::string line = log.substr(start, end - start);
            for (const auto& p : prefixes)
                if (line.rfind(p, 0) == 0) {
                    out.push_back(line);
                    break;
                }
            start = end + 2;
        }
        return out;
    }

    kelm::test::ScopedEnv env;
    kelm::test::TempDir documents, kit;
    RunContext context;
    std::unique_ptr<PgDatabase> pg;
    std::shared_ptr<winapi::TestPrompt> prompt = std::make_shared<winapi::TestPrompt>();
    std::shared_ptr<RecordingProgress> progress = std::make_shared<RecordingProgress>();
    std::string log;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(EngineTest, NumberedStepsWithGapsAndStopCount)
{
    std::string steps = "Step1=" + script("ok.sql") + "\nStep2=" + script("ok.sql") + "\nStep5=" + script("ok.sql") + "\n";
    EXPECT_EQ(run("[PATCHDB_A]\n" + steps + "[PATCHDB_B]\nStopCount=2\n" + steps + "[PATCHDB_EMPTY]\n"), 0);
    EXPECT_EQ(lines({"BEGIN SECTION", "END SECTION", "STEP", "STATUS"}),
              (Lines{"BEGIN SECTION PATCHDB_A", "STEP  1 = " + script("ok.sql"), "STATUS1 = SUCCESS",
                     "STEP  2 = " + script("ok.sql"), "STATUS2 = SUCCESS", "STEP  5 = " + script("ok.sql"),
                     "STATUS5 = SUCCESS", "END SECTION PATCHDB_A", "BEGIN SECTION PATCHDB_B",
                     "STEP  1 = " + script("ok.sql"), "STATUS1 = SUCCESS", "STEP  2 = " + script("ok.sql"),
                     "STATUS2 = SUCCESS", "END SECTION PATCHDB_B", "BEGIN SECTION PATCHDB_EMPTY",
                     "END SECTION PATCHDB_EMPTY"}));
    auto state = progress->Get();
    EXPECT_EQ(state.lines[0].range, 3);
    EXPECT_EQ(state.lines[0].pos, 3);
}

TEST_F(EngineTest, DisabledSectionsAreNeitherRunNorCounted)
{
    EXPECT_EQ(run("[DORVIK_OFF]\nInstallSection=0\nbcp_Step1=" + script("bad.sql") +
                  "\n[DORVIK_ON]\nSectionDescriptionE=Main %DATABASE%\nbcp_Step1=" + script("ok.sql") +
                  "\nbcp_MsgE1=Loading %DATABASE%\\n\nStep1=" + script("bad.sql") + "\n"),
              0);
    EXPECT_EQ(lines({"BEGIN SECTION"}), Lines{"BEGIN SECTION DORVIK_ON"});
    EXPECT_EQ(progress->Get().lines[0].range, 1);
    EXPECT_EQ(progress->texts, (Lines{"0:Main Enterprise", "1:Loading Enterprise\n", "2:Command 0"}));
}

TEST_F(EngineTest, ReactionsAndAnswers)
{
    struct Case {
        std::string name;
        bool quiet;
        std::string section;
        std::vector<int> answers;
        int status;
        Lines expected;
        std::size_t boxes;
    } cases[] = {
        {"1001 answered No skips three steps", false,
         "Step1=" + rscript(1001, 3) + "\nRSQstE1=Skip?\nStep2=x\nStep3=x\nStep4=x\nStep5=" + script("ok.sql") + "\n",
         {winapi::IDNO}, 0, Lines{"STEP  1 = " + rscript(1001, 3), "User choise : No", "STEP  5 = " + script("ok.sql")}, 1},
        {"1001 answered Yes skips nothing", false, "Step1=" + rscript(1001, 1) + "\nStep2=" + script("ok.sql") + "\n",
         {winapi::IDYES}, 0, Lines{"STEP  1 = " + rscript(1001, 1), "User choise : Yes", "STEP  2 = " + script("ok.sql")}, 1},
        {"quiet lower-case y answers Yes", true,
         "Step1=" + rscript(1001, 1) + "\nRSDefault1=y\nStep2=" + script("ok.sql") + "\n", {}, 0,
         Lines{"STEP  1 = " + rscript(1001, 1), "User choise : Yes", "STEP  2 = " + script("ok.sql")}, 0},
        {"quiet without a default answers No", true, "Step1=" + rscript(1001, 1) + "\nStep2=" + script("bad.sql") + "\n",
         {}, 0, Lines{"STEP  1 = " + rscript(1001, 1), "User choise : No"}, 0},
        {"1002 ends the run", false, "Step1=" + rscript(1002, 0) + "\nErrE1=Stopped\nStep2=" + script("ok.sql") + "\n",
         {}, 2, Lines{"STEP  1 = " + rscript(1002, 0), "RScript return CANCEL reaction! Terminating ..."}, 1},
        {"1003 informs and goes on", false, "Step1=" + rscript(1003, 0) + "\nRSInfE1=FYI\nStep2=" + script("ok.sql") + "\n",
         {}, 0, Lines{"STEP  1 = " + rscript(1003, 0), "STEP  2 = " + script("ok.sql")}, 1},
        {"without a window the answer is Cancel", false,
         "Step1=" + rscript(1001, 1) + "\nRSQstE1=Skip?\nStep2=" + script("bad.sql") + "\nStep3=" + script("ok.sql") + "\n",
         {}, 0, Lines{"STEP  1 = " + rscript(1001, 1), "STEP  3 = " + script("ok.sql")}, 0},
    };
    for (const auto& c : cases) {
        prompt = std::make_shared<winapi::TestPrompt>();
        winapi::SetPrompt(prompt);
        for (int a : c.answers)
            prompt->Script({a});
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>(("log" + std::to_string(&c - cases) + ".log").c_str()));
        bool window = c.name.find("without a window") == std::string::npos;
        EXPECT_EQ(run("[PATCHDB]\n" + c.section, c.quiet, window), c.status) << c.name;
        EXPECT_EQ(lines({"STEP", "User choise", "RScript return"}), c.expected) << c.name;
        EXPECT_EQ(prompt->Calls().size(), c.boxes) << c.name;
        for (const auto& call : prompt->Calls())
            EXPECT_EQ(call.owner, kWindow) << c.name;
    }
}

TEST_F(EngineTest, FailuresAndTheirTexts)
{
    // Interactive: the step's error text in a box; quiet: in the log.
    std::string missing = "FileDelete(" + (kit / "missing.txt").string() + ", 0, 0)";
    std::string section = "[PATCHDB]\nStep1=" + missing + "\nErrE1=It broke\nStep2=" + script("ok.sql") + "\n";
    EXPECT_EQ(run(section), 2);
    ASSERT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(prompt->Calls()[0].text, "It broke");
    Lines status = lines({"STATUS", "ERROR", "DESCR"});
    ASSERT_EQ(status.size(), 3u);
    EXPECT_EQ(status[0], "STATUS1 = FAILED");
    EXPECT_EQ(status[1], "ERROR 1 = File operation error");
    EXPECT_NE(status[2].find("missing.txt"), std::string::npos) << status[2];
    EXPECT_EQ(lines({"STEP"}).size(), 1u);

    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("quiet.log"));
    EXPECT_EQ(run(section, true), 2);
    EXPECT_EQ(prompt->Calls().size(), 1u);
    EXPECT_EQ(lines({"MESSAGE"}), Lines{"MESSAGE : It broke"});

    // An RScript without valid values fails; it does not configure.
    kit.write("one.sql", "SELECT 1");
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("rscript.log"));
    EXPECT_EQ(run("[DORVIK]\nbcp_Step1=RScript(" + pg->name() + ", one.sql)\n"), 2);
    EXPECT_EQ(lines({"STATUS", "ERROR", "\tBEGIN Set"}), (Lines{"STATUS1 = FAILED", "ERROR 1 = Invalid RScript data..."}));

    // ConfigDB hands the database step to the configuration object.
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("config.log"));
    run("[DORVIK]\nInstallDayMaintenance=1\nbcp_Step1=ConfigDB\n");
    Lines config = lines({"\tBEGIN Set", "STATUS"});
    ASSERT_EQ(config.size(), 2u);
    EXPECT_EQ(config[0], "\tBEGIN Set database confguation : Weekly=1, WeekDay=1, WeeklyMaintTime=1, Daily=1, "
                         "DailyMaintTime=5");
    EXPECT_EQ(config[1].rfind("STATUS1 = ", 0), 0u);
    EXPECT_EQ(config[1].find("Invalid RScript"), std::string::npos);

    // A patch section has no maintenance settings.
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("patchconfig.log"));
    EXPECT_EQ(run("[PATCHDB]\nStep1=ConfigDB\n"), 2);
    EXPECT_EQ(lines({"STATUS", "ERROR"}),
              (Lines{"STATUS1 = FAILED", "ERROR 1 = ConfigDB : a patch section has no maintenance settings"}));
}

TEST_F(EngineTest, UsingFileIsOpenedForItsSectionOnly)
{
    CPackedFileWriter writer;
    std::string sql = "SELECT 1";
    writer.AddEntry("packed.sql", std::vector<std::uint8_t>(sql.begin(), sql.end()));
    writer.Write((kit / "scripts.pak").string());

    EXPECT_EQ(run("[PATCHDB_A]\nUsing=scripts.pak\nStep1=" + script("packed.sql") + "\n[PATCHDB_B]\nStep1=" +
                  script("packed.sql") + "\n"),
              2);
    EXPECT_EQ(lines({"Using", "STATUS", "ERROR"}),
              (Lines{"Using file : scripts.pak !", "STATUS1 = SUCCESS", "STATUS1 = FAILED", "ERROR 1 = Can not open Script"}));

    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("missing.log"));
    EXPECT_EQ(run("[PATCHDB]\nUsing=%DATABASE%.pak\nStep1=" + script("ok.sql") + "\n"), 2);
    EXPECT_EQ(lines({"Open file", "STEP"}), Lines{"Open file error: Enterprise.pak !"});
}

TEST_F(EngineTest, CancelWarningsAndAFailingWorker)
{
    // Cancel seen before the next step.
    progress->cancelAt = "cancel here";
    EXPECT_EQ(run("[PATCHDB]\nStep1=" + script("ok.sql") + "\nMsgE1=cancel here\nStep2=" + script("ok.sql") +
                  "\n[PATCHDB_2]\nStep1=" + script("ok.sql") + "\n"),
              3);
    EXPECT_EQ(lines({"STEP", "END SECTION", "BEGIN SECTION"}),
              (Lines{"BEGIN SECTION PATCHDB", "STEP  1 = " + script("ok.sql"), "END SECTION PATCHDB"}));
    progress->cancelAt.clear();

    // An ignored file error is a warning: success with warnings.
    std::filesystem::create_directories(kit / "src");
    std::filesystem::create_directories(kit / "dst");
    kit.write("src/a.txt", "new");
    kit.write("dst/a.txt", "old");
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("warnings.log"));
    std::string copy = "FileCopy(" + (kit / "src/*.txt").string() + ", " + (kit / "dst").string() + ", 0, 0, 0, 1)";
    EXPECT_EQ(run("[PATCHDB]\nStep1=" + copy + "\nStep2=" + script("ok.sql") + "\n"), 1);
    EXPECT_EQ(lines({"STATUS"}), (Lines{"STATUS1 = SUCCESS WITH WARNINGS", "STATUS2 = SUCCESS"}));
    EXPECT_NE(log.find("WARNING IGNORED ERROR"), std::string::npos);

    // Whatever escapes the engine still ends the run.
    progress->throwOnRange = true;
    CDorvikCore::Get().SetLog(std::make_unique<CLogFile>("broken.log"));
    EXPECT_EQ(run("[PATCHDB]\nStep1=" + script("ok.sql") + "\n"), 2);
    EXPECT_NE(log.find("Program terminating : WORKER_ERROR : progress broke"), std::string::npos);
}

TEST_F(EngineTest, OneRunsWholeLogWithThePasswordHidden)
{
    kit.write("secret.sql", "SELECT '%PASSWORD%' FROM no_such_table");
    std::filesystem::create_directories(kit / "dst_s3cret");
    kit.write("a.txt", "new");
    kit.write("dst_s3cret/a.txt", "old");
    std::string ini = "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() +
                      "\nUser=kelm\nPassword=s3cret\n"
                      "[DORVIK_MAIN]\nDataBase=" + pg->name() +
                      "\nbcp_Step1=FileCopy(%APPDIR%/a.txt, %APPDIR%/dst_%PASSWORD%, 0, 0, 0, 1)"
                      "\nbcp_Step2=Script(%DATABASE%, secret.sql, 1)\nbcp_Step3=Script(%DATABASE%, ok.sql)\n";
    CLogFile& logFile = CDorvikCore::Get().GetLog();
    logFile.Open();
    logFile.BeginLog();
    logFile.Close();
    EXPECT_EQ(run(ini), 2);
    std::string text = std::regex_replace(log, std::regex(pg->name()), "<db>");
    text = std::regex_replace(text, std::regex("(VER_SQLSERVER[^=]*=)[^\r]*"), "$1...");
    text = std::regex_replace(text, std::regex("(DATE=)[^\r]*"), "$1...");
    text = std::regex_replace(text, std::regex("(SERVER=)[^\r]*"), "$1...");
    text = std::regex_replace(text, std::regex(kit.path().string()), "<kit>");
    text = std::regex_replace(text, std::regex("\\[SQLSTATE 42P01\\][^\r]*"), "[SQLSTATE 42P01] ...");
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
    std::string expected = kelm::test::readFile(std::filesystem::path(KELM_FIXTURES) / "engine_run.log");
    EXPECT_EQ(text, expected);
    if (text != expected) {
        // Kept in this build tree's test output, to compare with the fixture.
        auto out = std::filesystem::path(KELM_TEST_OUTPUT) / "installer_engine_test";
        std::filesystem::create_directories(out);
        std::ofstream(out / "engine_run.actual.log", std::ios::binary | std::ios::trunc) << text;
        std::printf("actual log: %s\n", (out / "engine_run.actual.log").c_str());
    }
}

// The password is hidden where it stands as the password, and nowhere else:
// whatever the password, even one letter or a word the log holds anyway,
// the log reads as it does for a password that occurs nowhere.
TEST_F(EngineTest, ThePasswordIsHiddenWhereItStandsAndTheRestOfTheLogIsLeftAlone)
{
    kit.write("a.txt", "new");
    // A connection string the server quotes back in its error.
    kit.write("conn.sql", "SELECT 'host=db.example password=%PASSWORD% user=%USER%'::int");
    auto logFor = [&](const std::string& password) {
        kit.write("dst_" + password + "/a.txt", "old"); // the copy's warning names both paths
        std::string ini = "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() +
                          "\nUser=kelm\nPassword=" + password + "\n[DORVIK_MAIN]\nDataBase=" + pg->name() +
                          "\nbcp_Step1=Script(postgres, ok.sql)"
                          "\nbcp_Step2=FileCopy(%APPDIR%/a.txt, %APPDIR%/dst_%PASSWORD%, 0, 0, 0, 1)"
                          "\nbcp_Step3=" + rscript(1003, 0) +
                          "\nbcp_RSInfE3=Logged in as %USER% with %PASSWORD%."
                          "\nbcp_Step4=Script(%DATABASE%, conn.sql, 1)\n";
        CDorvikCore::Get().SetLog(std::make_unique<CLogFile>(("password_" + password + ".log").c_str()));
        EXPECT_EQ(run(ini, true), 2) << password;
        return log;
    };
    const std::string neutral = logFor("n0t-in-any-log");
    EXPECT_NE(neutral.find("STEP  1 = Script(postgres, ok.sql)\r\n"), std::string::npos) << neutral;
    EXPECT_NE(neutral.find("COPY : " + (kit / "a.txt").string() + " " + (kit / "dst_***/a.txt").string()),
              std::string::npos)
        << neutral;
    EXPECT_NE(neutral.find("SELECT 'host=db.example password=*** user=kelm'::int"), std::string::npos) << neutral;
    EXPECT_NE(neutral.find("\"host=db.example password=*** user=kelm\""), std::string::npos) << neutral;
    EXPECT_NE(neutral.find("MESSAGE : Logged in as kelm with ***."), std::string::npos) << neutral;
    EXPECT_EQ(neutral.find("n0t-in-any-log"), std::string::npos) << neutral;
    for (const std::string password : {"e", "postgres"})
        EXPECT_EQ(logFor(password), neutral) << password;
}
