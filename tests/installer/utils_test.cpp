#include "installer/commands/commander.h"
#include "installer/common/utils.h"
#include "resources/dorvik/dorvikstrings.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace dorvik;
using namespace winapi;
namespace fs = std::filesystem;

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x1234);

// Answers the process's questions from a script in one language, and puts
// the silent prompt back afterwards.
class ScriptedPrompt : public ::testing::Test {
protected:
    void SetUp() override { SetPrompt(m_prompt); }
    void TearDown() override { SetPrompt(nullptr); }
    void Answer(std::initializer_list<int> answers) { m_prompt->Script(answers); }
    std::vector<TestPrompt::Call> Calls() const { return m_prompt->Calls(); }

    std::shared_ptr<TestPrompt> m_prompt = std::make_shared<TestPrompt>();
    RunContext m_run;
};

struct LineTexts : IProgress {
    std::vector<std::pair<int, std::string>> texts;
    void SetLineText(int line, const std::string& text) override { texts.emplace_back(line, text); }
    void SetRange(int, int) override {}
    void SetPos(int, int) override {}
    void StepIt(int) override {}
    void ShowThirdLine(bool) override {}
};

} // namespace

TEST(DorvikStrings, PairsByLanguageAndOneFormForTheTitle)
{
    EXPECT_STREQ(res::LoadString(res::IDS_ERROR, 0), "Error");
    EXPECT_STREQ(res::LoadString(res::IDS_ERROR, 1), "Ошибка");
    EXPECT_STREQ(res::LoadString(res::IDS_MESSAGE, 0), "Message");
    EXPECT_STREQ(res::LoadString(res::IDS_APP_TITLE, 0), "Dorvik");
    EXPECT_STREQ(res::LoadString(res::IDS_APP_TITLE, 1), "Dorvik");
    EXPECT_STREQ(res::LoadString(1, 0), "");
    EXPECT_STREQ(res::LoadString(1, 1), "");
}

TEST_F(ScriptedPrompt, ShowMessageOwnsTheBoxByAParentThatHasAWindowElseTheDesktop)
{
    auto shown = std::make_shared<PromptOwner>(kWindow);
    auto closed = std::make_shared<PromptOwner>();
    struct Case {
        std::shared_ptr<PromptOwner> parent;
        int language;
        HWND owner;
        const char* caption;
    } cases[] = {
        {shown, 0, kWindow, "Error"},
        {closed, 0, nullptr, "Error"},
        {nullptr, 0, nullptr, "Error"},
        {shown, 1, kWindow, "Ошибка"},
        {nullptr, 1, nullptr, "Ошибка"},
    };
    for (const auto& c : cases) {
        m_run.SetLanguage(c.language);
        Answer({IDOK});
        EXPECT_EQ(ShowMessage(m_run, c.parent, "Step 3 failed"), IDOK);
    }
    auto calls = Calls();
    ASSERT_EQ(calls.size(), std::size(cases));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(calls[i].shown);
        EXPECT_EQ(calls[i].owner, cases[i].owner);
        EXPECT_EQ(calls[i].text, "Step 3 failed");
        EXPECT_EQ(calls[i].caption, cases[i].caption);
        EXPECT_EQ(calls[i].style, 16u);
    }
}

TEST_F(ScriptedPrompt, ShowMessageTakesCaptionAndStyleAndReturnsTheButton)
{
    m_run.SetLanguage(1);
    Answer({IDNO, IDYES});
    EXPECT_EQ(ShowMessage(m_run, nullptr, "Пропустить шаги?", res::IDS_MESSAGE, MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(ShowMessageId(m_run, nullptr, res::IDS_CREATE_FOLDER, res::IDS_MESSAGE, MB_YESNO), IDYES);
    m_run.SetLanguage(0);
    EXPECT_EQ(ShowMessageId(m_run, nullptr, res::IDS_CANNOT_CREATE_FOLDER), IDOK);

    auto calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].caption, "Сообщение");
    EXPECT_EQ(calls[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(calls[1].text, "Создать этот каталог ?");
    EXPECT_EQ(calls[2].text, "Can not create folder !");
    EXPECT_EQ(calls[2].caption, "Error");
    EXPECT_EQ(calls[2].style, MB_ICONERROR | MB_OK);
}

TEST_F(ScriptedPrompt, AWorkerAsksThroughTheProcessPrompt)
{
    Answer({IDYES});
    int answer = 0;
    std::thread worker([&] { answer = ShowMessage(m_run, nullptr, "Continue?", res::IDS_MESSAGE, MB_YESNO); });
    worker.join();
    EXPECT_EQ(answer, IDYES);
    ASSERT_EQ(Calls().size(), 1u);
}

TEST_F(ScriptedPrompt, EnsureFolderPassesAFolderThatIsThereWithoutAsking)
{
    kelm::test::TempDir dir;
    auto parent = std::make_shared<PromptOwner>(kWindow);
    EXPECT_TRUE(EnsureFolder(m_run, parent, dir.path().string(), true));
    EXPECT_TRUE(EnsureFolder(m_run, parent, dir.path().string(), false));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ScriptedPrompt, EnsureFolderOffersToCreateEveryMissingLevel)
{
    kelm::test::TempDir dir;
    auto parent = std::make_shared<PromptOwner>(kWindow);
    std::string path = (dir / "Data/2024/Журнал").string();
    std::string question = "Path not exists\n" + path + ". \nCreate this folder ?";
    auto before = fs::current_path();

    Answer({IDNO});
    EXPECT_FALSE(EnsureFolder(m_run, parent, path, true));
    EXPECT_FALSE(fs::exists(dir / "Data"));

    Answer({IDYES});
    EXPECT_TRUE(EnsureFolder(m_run, parent, path, true));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(fs::current_path(), before);

    auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.owner, kWindow);
        EXPECT_EQ(call.text, question);
        EXPECT_EQ(call.caption, "Message");
        EXPECT_EQ(call.style, MB_YESNO | MB_ICONQUESTION);
    }
}

TEST_F(ScriptedPrompt, EnsureFolderThatCannotBeCreatedSaysSoAndFails)
{
    kelm::test::TempDir dir;
    // A file where a folder level should be.
    dir.write("plain", "x");
    std::string path = (dir / "plain/sub").string();
    m_run.SetLanguage(1);
    Answer({IDYES});
    EXPECT_FALSE(EnsureFolder(m_run, nullptr, path, true));

    auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Путь не существует\n" + path + ". \nСоздать этот каталог ?");
    EXPECT_EQ(calls[0].caption, "Сообщение");
    EXPECT_EQ(calls[1].text, "Не удалось создать каталог !");
    EXPECT_EQ(calls[1].caption, "Ошибка");
    EXPECT_EQ(calls[1].style, MB_ICONERROR | MB_OK);
}

TEST_F(ScriptedPrompt, EnsureFolderWithoutTheOfferOnlyShowsTheError)
{
    kelm::test::TempDir dir;
    std::string missing = (dir / "missing").string();
    std::string file = dir.write("file.txt", "x").string();
    EXPECT_FALSE(EnsureFolder(m_run, nullptr, missing, false));
    EXPECT_FALSE(EnsureFolder(m_run, nullptr, file, false));
    EXPECT_FALSE(fs::exists(missing));

    auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Path not exists\n" + missing + ". ");
    EXPECT_EQ(calls[1].text, "Path not exists\n" + file + ". ");
    for (const auto& call : calls) {
        EXPECT_EQ(call.caption, "Error");
        EXPECT_EQ(call.style, MB_ICONERROR | MB_OK);
    }
}

TEST_F(ScriptedPrompt, EnsureFolderRefusesAFolderThatCannotBeEntered)
{
    // Root enters every folder: the check runs as an ordinary user.
    kelm::test::TempDir dir;
    fs::create_directory(dir / "locked");
    std::string report = kelm::test::RunUnprivileged(dir.path(), [&] {
        ::chmod((dir / "locked").c_str(), 0600);
        Answer({IDYES});
        bool ensured = EnsureFolder(m_run, nullptr, (dir / "locked").string(), true);
        auto calls = Calls();
        std::string out = (ensured ? "ensured " : "refused ") + std::to_string(calls.size());
        if (calls.size() == 2)
            out += " " + calls[1].text;
        return out;
    });
    EXPECT_EQ(report, "refused 2 Can not create folder !");
}

TEST_F(ScriptedPrompt, ProgressTextIsShownInTheInterfaceLanguageAndKeptInEnglish)
{
    struct Case {
        int language;
        const char* shown;
    } cases[] = {
        {0, "orders : Refresh Database information ..."},
        {1, "orders : Загрузка информации о базе данных ..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        m_run.SetLanguage(c.language);
        LineTexts progress;
        CCommander commander(m_run, &progress);
        std::string text = "old";
        SetProgressResourceText(commander, res::IDS_REFRESH_DATABASE_INFO, "orders", text);
        EXPECT_EQ(text, "orders : Refresh Database information ...");
        ASSERT_EQ(progress.texts.size(), 1u);
        EXPECT_EQ(progress.texts[0].first, 2);
        EXPECT_EQ(progress.texts[0].second, c.shown);

        CCommander withoutDialog(m_run, nullptr);
        SetProgressResourceText(withoutDialog, res::IDS_REFRESH_DATABASE_INFO, "orders", text);
        EXPECT_EQ(text, "orders : Refresh Database information ...");
    }
}

TEST(RunContext, TwoRunsKeepTheirOwnLanguageKitClockCancelAndPrompt)
{
    auto processPrompt = std::make_shared<TestPrompt>();
    auto ownPrompt = std::make_shared<TestPrompt>();
    SetPrompt(processPrompt);
    RunContext russian, plain;
    russian.SetLanguage(1);
    russian.SetKitFolder("/kits/a");
    russian.SetClock([] { return std::time_t(1700000000); });
    russian.SetPrompt(ownPrompt);
    auto cancel = std::make_shared<CManualEvent>();
    russian.SetCancelEvent(cancel);

    EXPECT_FALSE(russian.IsCancelRequested());
    cancel->Set();
    EXPECT_TRUE(russian.IsCancelRequested());
    EXPECT_FALSE(plain.IsCancelRequested());

    EXPECT_EQ(russian.Now(), 1700000000);
    EXPECT_LE(std::abs(plain.Now() - std::time(nullptr)), 5);

    EXPECT_EQ(russian.ResolvePath("data/a.sql"), "/kits/a/data/a.sql");
    EXPECT_EQ(russian.ResolvePath("/srv/b.sql"), "/srv/b.sql");
    EXPECT_EQ(plain.ResolvePath("a.sql"), GetProgramFolder() + "/a.sql");

    ShowMessageId(russian, nullptr, res::IDS_CANNOT_CREATE_FOLDER);
    ShowMessageId(plain, nullptr, res::IDS_CANNOT_CREATE_FOLDER);
    SetPrompt(nullptr);
    ASSERT_EQ(ownPrompt->Calls().size(), 1u);
    EXPECT_EQ(ownPrompt->Calls()[0].caption, res::LoadString(res::IDS_ERROR, 1));
    ASSERT_EQ(processPrompt->Calls().size(), 1u);
    EXPECT_EQ(processPrompt->Calls()[0].caption, "Error");
    EXPECT_EQ(processPrompt->Calls()[0].text, res::LoadString(res::IDS_CANNOT_CREATE_FOLDER, 0));
}
