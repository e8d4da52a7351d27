#include "installer/commands/commander.h"
#include "installer/commands/scriptlist.h"
#include "installer/common/utils.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

using namespace dorvik;

namespace {

std::vector<std::string> tokens(const std::string& line)
{
    RunContext run;
    CCommander commander(run, nullptr);
    commander.SplitLine(line);
    std::vector<std::string> out;
    for (int i = 1; i <= commander.GetCommand().GetCount(); ++i)
        out.push_back(commander.GetCommand().GetLexema(i));
    return out;
}

struct RecordingProgress : IProgress {
    std::vector<std::string> calls;
    void SetLineText(int line, const std::string& text) override
    {
        calls.push_back("text " + std::to_string(line) + " " + text);
    }
    void SetRange(int line, int max) override
    {
        calls.push_back("range " + std::to_string(line) + " " + std::to_string(max));
    }
    void SetPos(int line, int pos) override
    {
        calls.push_back("pos " + std::to_string(line) + " " + std::to_string(pos));
    }
    void StepIt(int line) override { calls.push_back("step " + std::to_string(line)); }
    void ShowThirdLine(bool show) override { calls.push_back(show ? "show" : "hide"); }
};

// Cancels the run for as long as it lives.
struct CancelledRun {
    explicit CancelledRun(RunContext& run) : run(run)
    {
        auto event = std::make_shared<CManualEvent>();
        event->Set();
        run.SetCancelEvent(event);
    }
    ~CancelledRun() { run.SetCancelEvent(nullptr); }
    RunContext& run;
};

} // namespace

TEST(Commander, SplitLine)
{
    using V = std::vector<std::string>;
    struct Case {
        std::string line;
        V expected;
    } cases[] = {
        {"Script(Db1, a.sql)", {"Script", "Db1", "a.sql"}},
        {"Script Db1", {"Script Db1"}},
        {"FileDelete(x,,1)", {"FileDelete", "x"}},
        {"", {}},
        {"     ", {}},
        {",Script(a)", {}},
        {"Script(\tDb1 ,   a.sql   )", {"Script", "\tDb1", "a.sql"}},
        {"RScript(db, kit data/a b.sql, 1)", {"RScript", "db", "kit data/a b.sql", "1"}},
        {"  ConfigDB  ", {"ConfigDB"}},
        {"ConfigDB()", {"ConfigDB"}},
        {"FileCopy(a(b),c)", {"FileCopy", "a", "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.line), c.expected) << "line: [" << c.line << "]";
}

TEST(Commander, KeywordsAndArgumentCounts)
{
    struct Case {
        std::string line;
        int result;
    } cases[] = {
        {"", 2},
        {"    ", 2},
        {",ConfigDB", 2},
        {"Unknown(a)", 3},
        {"Script", 4},
        {"configdb", 11},
        {"CONFIGDB()", 11},
        {"ConfigDB(x)", 4},
        {"Script(a)", 4},
        {"RScript(a,b,c,d)", 4},
        {"LoadBcp(a)", 4},
        {"LoadDump(a)", 4},
        {"RemoveDB(a,b)", 4},
        {"SyncDBs(a)", 4},
        {"SavePermissions(a,b,1,1,1)", 4},
        {"RestorePermissions(a,b,1,1,1,1,1)", 4},
        {"FileCopy(a,b,1,1,1)", 4},
        {"FileMove(a,b,1)", 4},
        {"FileRename(a,b,1)", 4},
        {"FileDelete(a.txt)", 4},
        {"FileSetAttributes(a,1,1)", 4},
        {"FileClearAttributes(a,1,1,1,1)", 4},
        {"FileCreatePath(a,b)", 4},
        {"ListChangedObjects(a)", 4},
        // Commands whose server operations come later fail on their own.
        {"LoadDump(db, x.bak)", 7},
        // Without a server the object list has no database to reach.
        {"ListChangedObjects(db, xVerCRC_new)", 8},
    };
    for (const auto& c : cases) {
        RunContext run;
        CCommander commander(run, nullptr);
        EXPECT_EQ(commander.Execute(nullptr, c.line), c.result == 0) << c.line;
        EXPECT_EQ(commander.GetResultCode(), c.result) << c.line;
        EXPECT_EQ(commander.GetCommand().GetCount(), 0) << "tokens are emptied after " << c.line;
    }
}

TEST(Commander, ResultTexts)
{
    struct Case {
        int code;
        const char* text;
    } cases[] = {
        {0, "OK"},
        {2, "\u0421an not translate command"},
        {3, "Function not found"},
        {4, "Bad arguments number"},
        {5, "RSCRIPT RETURN"},
        {6, "Can not open Script"},
        {7, "Function failed"},
        {8, "Dead connect..."},
        {9, "Terminated by user..."},
        {11, "Invalid RScript data..."},
        {12, "Can not read file : bad file format"},
        {13, "Can not read file : bad file version"},
        {14, "File is corrupted"},
        {15, "DMO exception"},
        {16, "File exception"},
        {17, "Archive exception"},
        {18, "Memory exception"},
        {19, "General exception"},
        {21, "File operation error"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(CCommander::GetResultText(c.code), c.text) << c.code;
    for (int code : {1, 10, 20, 22, -1})
        EXPECT_EQ(CCommander::GetResultText(code), nullptr) << code;
}

TEST(Commander, UnreadableScriptThrowsSix)
{
    RunContext run;
    CCommander commander(run, nullptr);
    EXPECT_FALSE(commander.Execute(nullptr, "Script(db, /nonexistent/folder/a.sql)"));
    EXPECT_EQ(commander.GetResultCode(), 6);
    EXPECT_EQ(commander.GetDetailText(), "Return code : 6");
    EXPECT_TRUE(commander.GetScriptReturn().m_bSuppressMessage);
    kelm::test::TempDir dir;
    EXPECT_FALSE(commander.Execute(nullptr, "Script(db, " + dir.path().string() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 6) << "a folder is no script";
    // The next command starts clean.
    commander.Execute(nullptr, "ConfigDB");
    EXPECT_FALSE(commander.GetScriptReturn().m_bSuppressMessage);
    EXPECT_EQ(commander.GetDetailText(), "");
}

TEST(Commander, Protocol)
{
    CCommander::TProtocol p;
    p.AddLine("first", true, false);
    p.AddLine("", true, false); // counts, writes nothing
    p.AddLine("third", true, true);
    p.AddLine("unnumbered", false, false);
    EXPECT_EQ(p.m_strText, "\t1 first\r\n\t3 WARNING third\r\n\t3 unnumbered\r\n");
    EXPECT_EQ(p.m_nWarnings, 1);

    const std::string rule(70, '/');
    p.SetBlock("SELECT 1", true, false);
    EXPECT_EQ(p.m_strText, "\r\n" + rule + "\r\nSELECT 1\r\n" + rule + "\r\n");
    EXPECT_EQ(p.m_nWarnings, 0);
    p.SetBlock("careful", false, true);
    EXPECT_EQ(p.m_strText, "\r\nWARNING careful\r\n");
    EXPECT_EQ(p.m_nWarnings, 1);
    p.SetBlock("", true, true);
    EXPECT_EQ(p.m_strText, "");
    EXPECT_EQ(p.m_nWarnings, 0);
}

TEST(Commander, FormatComError)
{
    struct Case {
        std::uint32_t hresult;
        const char* message;
    } cases[] = {
        {0x80040201u, "IDispatch error #1"},
        {0x80040207u, "IDispatch error #7"},
        {0x80004005u, "Unspecified error"},
        {0x80070057u, "The parameter is incorrect."},
        {0x12345678u, "Unknown error 0x12345678"},
    };
    for (const auto& c : cases) {
        auto hr = static_cast<std::int32_t>(c.hresult);
        EXPECT_EQ(FormatComError("\t", hr, "what the server said"),
                  "\tHRESULT : " + std::to_string(hr) + "\r\n\tMESSAGE : " + c.message +
                      "\r\n\tDESCRIPTION : what the server said");
    }
}

TEST(Commander, ScriptBatches)
{
    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        std::string text;
        V expected;
    } cases[] = {
        {"CR LF", "A\r\nGO\r\nB", {"A", "B"}},
        {"LF only", "A\nGO\nB\n", {"A", "B\n"}},
        {"first line", "GO\r\nA", {"A"}},
        {"two in a row", "A\r\nGO\r\nGO\r\nB", {"A", "B"}},
        {"lower case", "A\r\ngo\r\nB", {"A\r\ngo\r\nB"}},
        {"trailing blank", "A\r\nGO \r\nB", {"A\r\nGO \r\nB"}},
        {"leading blank", "A\r\n GO\r\nB", {"A\r\n GO\r\nB"}},
        {"GO inside a line", "SELECT 'GO'\r\nGOTO\r\n", {"SELECT 'GO'\r\nGOTO\r\n"}},
        {"last line without a line end", "A\r\nGO", {"A"}},
        {"blank batches", " \r\n\t\r\nGO\r\n\r\nGO\r\n", {}},
        {"keeps inner line ends", "A\r\nB\r\nGO\r\nC", {"A\r\nB", "C"}},
        {"empty", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitScriptBatches(c.text), c.expected) << c.what;
}

TEST(Commander, FileCommandsConvertTheirArguments)
{
    RunContext run;
    kelm::test::TempDir dir;
    dir.write("src/a.txt", "new");
    std::filesystem::create_directories(dir / "dst");
    struct Case {
        const char* flags; // overwrite, clear read-only, recursive, ignore errors
        int result;
        const char* content;
    } cases[] = {
        {"1, 0, 0, 0", 0, "new"},
        {"01, 0, 0, 0", 0, "new"},
        {"yes, 0, 0, 0", 21, "old"},
        {"2, 0, 0, 0", 21, "old"},
        {" 1x, 0, 0, 0", 0, "new"},
        {"0, 0, 0, 1", 0, "old"}, // the error becomes a warning
    };
    for (const auto& c : cases) {
        dir.write("dst/a.txt", "old");
        CCommander commander(run, nullptr);
        std::string line = "FileCopy(" + (dir / "src/*.txt").string() + ", " + (dir / "dst").string() + ", " + c.flags + ")";
        commander.Execute(nullptr, line);
        EXPECT_EQ(commander.GetResultCode(), c.result) << c.flags << ": " << commander.GetDetailText();
        EXPECT_EQ(kelm::test::readFile(dir / "dst/a.txt"), c.content) << c.flags;
    }

    // Attribute masks are decimal: 1 is read-only.
    CCommander commander(run, nullptr);
    ASSERT_TRUE(commander.Execute(nullptr, "FileSetAttributes(" + (dir / "src/a.txt").string() + ", 1, 0, 0)"));
    struct stat st {};
    ::stat((dir / "src/a.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_TRUE(commander.Execute(nullptr, "FileClearAttributes(" + (dir / "src/a.txt").string() + ", 01, 0, 0)"));
    ::stat((dir / "src/a.txt").c_str(), &st);
    EXPECT_NE(st.st_mode & 0200, 0u);
}

TEST(Commander, FileCommandResults)
{
    kelm::test::TempDir dir;
    dir.write("data/a.sql", "a");
    dir.write("data/b.sql", "b");
    RecordingProgress progress;
    RunContext run;
    CCommander commander(run, &progress);

    // No match: 21 with the file manager's message.
    EXPECT_FALSE(commander.Execute(nullptr, "FileDelete(" + (dir / "data/*.tmp").string() + ", 0, 0)"));
    EXPECT_EQ(commander.GetResultCode(), 21);
    EXPECT_EQ(commander.GetDetailText(), "Fite not found : " + (dir / "data/*.tmp").string());

    // The progress line shows the count, each item and the steps.
    progress.calls.clear();
    ASSERT_TRUE(commander.Execute(nullptr, "FileCopy(" + (dir / "data/*.sql").string() + ", " +
                                               (dir / "copy").string() + ", 0, 0, 0, 0)"));
    std::vector<std::string> expected = {"show", "range 2 2", "pos 2 0",
                                         "text 2 " + (dir / "data/a.sql").string(), "step 2",
                                         "text 2 " + (dir / "data/b.sql").string(), "step 2", "hide"};
    EXPECT_EQ(progress.calls, expected);

    // Ignored errors are numbered warning lines; the command succeeds.
    ASSERT_TRUE(commander.Execute(nullptr, "FileCopy(" + (dir / "data/*.sql").string() + ", " +
                                               (dir / "copy").string() + ", 0, 0, 0, 1)"));
    EXPECT_EQ(commander.GetProtocol().m_nWarnings, 2);
    EXPECT_EQ(commander.GetProtocol().m_strText.rfind("\t1 WARNING IGNORED ERROR : i/o error 80: ", 0), 0u)
        << commander.GetProtocol().m_strText;

    // A cancelled run stops before the first item.
    {
        CancelledRun cancelled(run);
        EXPECT_FALSE(commander.Execute(nullptr, "FileDelete(" + (dir / "data/*.sql").string() + ", 0, 0)"));
        EXPECT_EQ(commander.GetResultCode(), 9);
        EXPECT_EQ(commander.CheckConnection(nullptr), 9);
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "data/a.sql"));
    EXPECT_EQ(commander.CheckConnection(nullptr), 8); // no server: dead

    // Cancelled while the first item is shown: the second is never touched.
    struct CancelOnFirstItem : RecordingProgress {
        std::shared_ptr<CManualEvent> event = std::make_shared<CManualEvent>();
        void SetLineText(int line, const std::string& text) override
        {
            RecordingProgress::SetLineText(line, text);
            event->Set();
        }
    } cancelling;
    RunContext stoppedRun;
    stoppedRun.SetCancelEvent(cancelling.event);
    CCommander stopped(stoppedRun, &cancelling);
    EXPECT_FALSE(stopped.Execute(nullptr, "FileDelete(" + (dir / "data/*.sql").string() + ", 0, 0)"));
    EXPECT_EQ(stopped.GetResultCode(), 9);
    EXPECT_FALSE(std::filesystem::exists(dir / "data/a.sql"));
    EXPECT_TRUE(std::filesystem::exists(dir / "data/b.sql"));

    ASSERT_TRUE(commander.Execute(nullptr, "FileCreatePath(" + (dir / "x/y/z").string() + ")"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "x/y/z"));
    ASSERT_TRUE(commander.Execute(nullptr, "FileDelete(" + (dir / "x").string() + ", 1, 0)"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST(PermissionsFile, RoundTripAndDamage)
{
    kelm::test::TempDir dir;
    auto path = (dir / "perm.dat").string();
    CScriptList list;
    for (int i = 1; i <= 3; ++i) {
        auto* item = new TScriptListItem;
        item->m_nKind = i;
        item->m_strName = "\"public\".\"T" + std::to_string(i) + "\"";
        item->m_strText = "GRANT SELECT ON TABLE t" + std::to_string(i) + " TO PUBLIC;\r\n";
        list.Add(item);
    }
    list.Save(path);
    std::string bytes = kelm::test::readFile(path);
    EXPECT_EQ(bytes.substr(0, 4 + 24 + 12), std::string("\x18\0\0\0", 4) + "NUBO SavePermissions out" +
                                                std::string("\x01\0\0\0\0\0\0\0\x03\0\0\0", 12));

    CScriptList back;
    ASSERT_EQ(back.Load(path), 0);
    ASSERT_EQ(back.GetCount(), 3);
    // Reverse file order; names found exactly, as PostgreSQL tells them apart.
    EXPECT_EQ(static_cast<TScriptListItem*>(back.GetHead())->m_nKind, 3);
    EXPECT_EQ(back.Find(2, "\"PUBLIC\".\"t2\""), nullptr);
    ASSERT_NE(back.Find(2, "\"public\".\"T2\""), nullptr);
    EXPECT_EQ(back.Find(2, "\"public\".\"T2\"")->m_strText, "GRANT SELECT ON TABLE t2 TO PUBLIC;\r\n");
    EXPECT_EQ(back.Find(1, "\"public\".\"T2\""), nullptr);

    struct Case {
        const char* what;
        std::string file;
        int result;
    } cases[] = {
        {"other marker", std::string("\x05\0\0\0", 4) + "OTHER" + std::string(8, '\0'), 1},
        {"marker in other case", std::string("\x18\0\0\0", 4) + "nubo savepermissions OUT" +
                                     std::string("\x01\0\0\0\0\0\0\0\0\0\0\0", 12), 0},
        {"other version", std::string("\x18\0\0\0", 4) + "NUBO SavePermissions out" +
                              std::string("\x02\0\0\0\0\0\0\0", 8), 2},
        {"cut in the header", bytes.substr(0, 10), 3},
        {"cut in a record", bytes.substr(0, bytes.size() - 5), 3},
    };
    for (const auto& c : cases) {
        CScriptList l;
        EXPECT_EQ(l.Load(dir.write("case.dat", c.file).string()), c.result) << c.what;
        if (c.result == 3) {
            EXPECT_EQ(l.GetCount(), 0) << c.what;
        }
    }
}

TEST(Utilities, BlanksAndBackupNames)
{
    EXPECT_TRUE(EqualIgnoringBlanks("", ""));
    EXPECT_TRUE(EqualIgnoringBlanks("CREATE TABLE t\r\n(\ta int )", "create table T (A INT)"));
    EXPECT_FALSE(EqualIgnoringBlanks("a int", "a bigint"));
    EXPECT_FALSE(EqualIgnoringBlanks("", " x"));
    std::string text = "a \tb\r\nc\x01";
    RemoveBlanks(text);
    EXPECT_EQ(text, "abc");

    setenv("TZ", "UTC", 1);
    tzset();
    RunContext run;
    run.SetClock([] { return std::time_t(1700000000); }); // 14.11.2023 22:13:20 UTC
    std::string first, second, other;
    MakeBackupName(run, "Orders", first);
    MakeBackupName(run, "Orders", second);
    MakeBackupName(run, "Lines", other);
    EXPECT_EQ(first, "___KELMBACK_14_11_2023__22_13_Orders");
    EXPECT_EQ(second, "___KELMBACK_14_11_2023__22_13_Orders_2");
    EXPECT_EQ(other, "___KELMBACK_14_11_2023__22_13_Lines");
}
