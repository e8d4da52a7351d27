#include "installer/commands/commander.h"
#include "installer/common/filemanager.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace dorvik;
namespace fs = std::filesystem;

namespace {

// Records the walk: each item as it is processed and each ignored error.
class Recorder : public CFileManager {
public:
    std::vector<std::string> items;
    std::vector<std::string> ignored;
    int begun = -1;
    int stopAfter = -1;

protected:
    void OnBegin(int count) override { begun = count; }
    void OnBeforeItem() override { items.push_back(GetSourcePath()); }
    void OnIgnoredError() override { ignored.push_back(GetMessage()); }
    bool ContinueOperation() override { return stopAfter < 0 || static_cast<int>(items.size()) < stopAfter; }
};

void makeTree(const kelm::test::TempDir& dir)
{
    dir.write("src/a.txt", "a");
    dir.write("src/b.sql", "b");
    dir.write("src/sub/c.txt", "c");
    dir.write("src/sub/deep/d.txt", "d");
}

std::vector<std::string> listing(const fs::path& root)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        out.push_back(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(FileManager, CopyRecursiveAndItsOrder)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    Recorder fm;
    ASSERT_TRUE(fm.Copy((dir / "src/*").string(), (dir / "out/new").string(), false, false, true, false))
        << fm.GetMessage();
    EXPECT_EQ(fm.begun, 6);
    EXPECT_EQ(fm.GetMessage(), "OK");
    EXPECT_EQ(listing(dir / "out/new"), listing(dir / "src"));
    // A folder before its content.
    std::string s = (dir / "src").string();
    EXPECT_EQ(fm.items, (std::vector<std::string>{s + "/a.txt", s + "/b.sql", s + "/sub", s + "/sub/c.txt",
                                                  s + "/sub/deep", s + "/sub/deep/d.txt"}));

    // Again: the first existing folder fails, unless errors are ignored.
    Recorder again;
    EXPECT_FALSE(again.Copy((dir / "src/*").string(), (dir / "out/new").string(), true, false, true, false));
    EXPECT_EQ(again.GetErrorCode(), CFileManager::errIO);
    EXPECT_EQ(again.GetMessage(), "i/o error 183: Cannot create a file when that file already exists.\r\nCOPY : " +
                                      s + "/sub " + (dir / "out/new/sub").string());
    Recorder ignoring;
    EXPECT_TRUE(ignoring.Copy((dir / "src/*").string(), (dir / "out/new").string(), true, false, true, true));
    EXPECT_EQ(ignoring.ignored.size(), 2u); // sub and sub/deep
    EXPECT_EQ(ignoring.GetErrorCode(), CFileManager::errOK);
}

TEST(FileManager, Messages)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    dir.write("out/a.txt", "old");

    Recorder fm;
    EXPECT_FALSE(fm.Copy((dir / "src/a.txt").string(), (dir / "out").string(), false, false, false, false));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errIO);
    EXPECT_EQ(fm.GetSystemError(), 80u);
    EXPECT_EQ(fm.GetMessage(), "i/o error 80: The file exists.\r\nCOPY : " + (dir / "src/a.txt").string() + " " +
                                   (dir / "out/a.txt").string());
    EXPECT_EQ(kelm::test::readFile(dir / "out/a.txt"), "old");

    EXPECT_FALSE(fm.Delete((dir / "src/*.tmp").string(), false, false));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errNotFound);
    EXPECT_EQ(fm.GetMessage(), "Fite not found : " + (dir / "src/*.tmp").string());
    EXPECT_EQ(fm.begun, 0);

    dir.write("blocker", "a file where a folder should be");
    EXPECT_FALSE(fm.Copy((dir / "src/*").string(), (dir / "blocker/x").string(), false, false, false, false));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errCreatePath);
    EXPECT_EQ(fm.GetMessage(), "Can not create path : " + (dir / "blocker/x").string());

    fm.items.clear();
    fm.stopAfter = 1;
    EXPECT_FALSE(fm.Delete((dir / "src/*").string(), true, false));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errTerminated);
    EXPECT_EQ(fm.GetMessage(), "Terminated by user");
    EXPECT_EQ(listing(dir / "src").size(), 5u); // one file gone, then stopped
}

TEST(FileManager, RecursiveCopyIntoItsOwnSubfolderIsRefused)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    auto before = listing(dir / "src");
    Recorder fm;
    EXPECT_FALSE(fm.Copy((dir / "src/*").string(), (dir / "src/sub/backup").string(), true, false, true, true));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errIO);
    EXPECT_EQ(fm.GetMessage().rfind("i/o error 87: ", 0), 0u) << fm.GetMessage();
    EXPECT_EQ(listing(dir / "src"), before);
    // Into a sibling it works, also non-recursively into a subfolder.
    EXPECT_TRUE(fm.Copy((dir / "src/*.txt").string(), (dir / "src/sub/flat").string(), false, false, false, false));
}

TEST(FileManager, DeleteContentBeforeFoldersAndIgnoredErrors)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    dir.write("src/locked.txt", "x");
    ::chmod((dir / "src/locked.txt").c_str(), 0444);

    Recorder fm;
    EXPECT_TRUE(fm.Delete((dir / "src/*").string(), true, true)) << fm.GetMessage();
    ASSERT_EQ(fm.ignored.size(), 1u);
    EXPECT_EQ(fm.ignored[0], "i/o error 5: Access is denied.\r\nDELETE : " + (dir / "src/locked.txt").string() + " ");
    EXPECT_EQ(listing(dir / "src"), std::vector<std::string>{"locked.txt"});
    std::string s = (dir / "src").string();
    auto pos = [&](const std::string& p) { return std::find(fm.items.begin(), fm.items.end(), s + p) - fm.items.begin(); };
    EXPECT_LT(pos("/sub/deep/d.txt"), pos("/sub/deep"));
    EXPECT_LT(pos("/sub/deep"), pos("/sub"));

    // Without ignoring, the same file stops the walk with the error.
    EXPECT_FALSE(fm.Delete((dir / "src/locked.txt").string(), false, false));
    EXPECT_EQ(fm.GetSystemError(), 5u);

    // A whole tree by its own name.
    makeTree(dir);
    EXPECT_TRUE(fm.Delete((dir / "src/sub").string(), true, false));
    EXPECT_FALSE(fs::exists(dir / "src/sub"));
}

TEST(FileManager, RenameByPatternOnASnapshot)
{
    kelm::test::TempDir dir;
    dir.write("r/a.txt", "a");
    dir.write("r/abc.txt", "abc");
    dir.write("r/keep.sql", "k");
    Recorder fm;
    ASSERT_TRUE(fm.Rename((dir / "r/*.txt").string(), "z*.txt", false, false)) << fm.GetMessage();
    // Each file once, although the new names match the mask too.
    EXPECT_EQ(listing(dir / "r"), (std::vector<std::string>{"keep.sql", "za.txt", "zabc.txt"}));
    ASSERT_TRUE(fm.Rename((dir / "r/z*.txt").string(), "*_old.txt", false, false));
    EXPECT_EQ(listing(dir / "r"), (std::vector<std::string>{"keep.sql", "za_old.txt", "zabc_old.txt"}));
    ASSERT_TRUE(fm.Rename((dir / "r/zabc_old.txt").string(), "?", false, false));
    EXPECT_EQ(listing(dir / "r"), (std::vector<std::string>{"keep.sql", "z", "za_old.txt"}));
    // A rename onto an existing name never replaces it.
    EXPECT_FALSE(fm.Rename((dir / "r/za_old.txt").string(), "keep.sql", false, false));
    EXPECT_EQ(fm.GetSystemError(), 183u);
    EXPECT_EQ(kelm::test::readFile(dir / "r/keep.sql"), "k");
}

TEST(FileManager, MoveAndAttributes)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    Recorder fm;
    ASSERT_TRUE(fm.Move((dir / "src/*").string(), (dir / "moved").string(), true, false)) << fm.GetMessage();
    EXPECT_EQ(fm.begun, 3); // folders move whole
    EXPECT_EQ(listing(dir / "moved").size(), 6u);
    EXPECT_TRUE(fs::is_empty(dir / "src"));

    ASSERT_TRUE(fm.SetAttributes((dir / "moved/*").string(), 1, true, false));
    struct stat st {};
    ::stat((dir / "moved/sub/deep/d.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_TRUE(fm.ClearAttributes((dir / "moved/*").string(), 1 | 2 | 32, true, false));
    ::stat((dir / "moved/sub/deep/d.txt").c_str(), &st);
    EXPECT_NE(st.st_mode & 0200, 0u);

    // Copy with "clear read-only" leaves a writable copy of a read-only file.
    ::chmod((dir / "moved/a.txt").c_str(), 0444);
    ASSERT_TRUE(fm.Copy((dir / "moved/a.txt").string(), (dir / "rw").string(), false, true, false, false));
    ::stat((dir / "rw/a.txt").c_str(), &st);
    EXPECT_NE(st.st_mode & 0200, 0u);
}

TEST(FileManager, MakeTargetName)
{
    struct Case {
        const char* name;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"a.txt", "", "a.txt"},        {"a.txt", "*", "a"},
        {"a.txt", "*.bak", "a.bak"},   {"a.txt", "*_old.txt", "a_old.txt"},
        {"abc.txt", "?", "a"},         {"xyz", "a?c", "axc"},
        {"a.tar.gz", "*.*", "a.tar.gz"}, {"readme", "*.txt", "readme.txt"},
        {"ab", "???x", "abx"},         {"данные.sql", "?*.bak", "данные.bak"},
        {"данные.sql", "?", "д"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeTargetName(c.name, c.pattern), c.expected) << c.name << " / " << c.pattern;
    EXPECT_EQ(ApplyWildcardPattern("txt", "", true), "");
    EXPECT_EQ(ApplyWildcardPattern("abc", "", false), "abc");
}

TEST(FileManager, CreateFolderTreeLeavesTheCurrentDirectory)
{
    kelm::test::TempDir dir;
    auto cwd = fs::current_path();
    EXPECT_TRUE(CreateFolderTree((dir / "one/two/three").string()));
    EXPECT_TRUE(fs::is_directory(dir / "one/two/three"));
    EXPECT_TRUE(CreateFolderTree((dir / "one/two/three").string())); // already there
    EXPECT_FALSE(CreateFolderTree(""));
    dir.write("file", "x");
    EXPECT_FALSE(CreateFolderTree((dir / "file/below").string()));
    EXPECT_EQ(fs::current_path(), cwd);

    Recorder fm;
    EXPECT_TRUE(fm.CreatePath((dir / "p/q").string()));
    EXPECT_EQ(fm.begun, 0);
    EXPECT_FALSE(fm.CreatePath((dir / "file/q").string()));
    EXPECT_EQ(fm.GetMessage(), "Can not create path : " + (dir / "file/q").string());
}

TEST(FileManager, SetupBuild)
{
    kelm::test::TempDir dir;
    makeTree(dir);
    dir.write("src/a*.txt", "a name with a star");
    CSetupFileManager fm;
    // Names are exact: the star is part of the name, not a mask.
    ASSERT_TRUE(fm.Copy((dir / "src/a*.txt").string(), (dir / "app").string(), false));
    EXPECT_EQ(listing(dir / "app"), std::vector<std::string>{"a*.txt"});
    // Folders that exist are copied into; files are overwritten.
    dir.write("app/sub/c.txt", "old");
    ASSERT_TRUE(fm.Copy((dir / "src/sub").string(), (dir / "app").string(), true)) << fm.GetMessage();
    EXPECT_EQ(kelm::test::readFile(dir / "app/sub/c.txt"), "c");
    EXPECT_TRUE(fs::exists(dir / "app/sub/deep/d.txt"));
    ASSERT_TRUE(fm.Delete((dir / "app").string(), false));
    EXPECT_FALSE(fs::exists(dir / "app"));
    EXPECT_FALSE(fm.Delete((dir / "app").string(), false));
    EXPECT_EQ(fm.GetErrorCode(), CFileManager::errNotFound);
}

namespace {

// A tree whose walks meet links into an outside folder, a folder that
// cannot be listed, and folders that must never be deleted.
//   box/      a.txt, sub/c.txt, sub/dangling -> nowhere,
//             f-link -> outside/f.txt, ro-link -> outside/ro.txt,
//             dir-link -> outside/dir
//   shut/     open.txt, locked/hidden.txt (locked cannot be listed)
//   d/        x.sql, y.sql, backup/old.sql
//   home/     h.txt ($HOME)      docs/  d.txt (the documents folder)
//   outside/  f.txt 0644, ro.txt 0444, dir/keep.txt
void makeHostileTree(const kelm::test::TempDir& dir)
{
    dir.write("box/a.txt", "a");
    dir.write("box/sub/c.txt", "c");
    fs::create_directory_symlink(dir / "nowhere", dir / "box/sub/dangling");
    dir.write("outside/f.txt", "f");
    dir.write("outside/ro.txt", "ro");
    ::chmod((dir / "outside/f.txt").c_str(), 0644);
    ::chmod((dir / "outside/ro.txt").c_str(), 0444);
    dir.write("outside/dir/keep.txt", "keep");
    fs::create_symlink(dir / "outside/f.txt", dir / "box/f-link");
    fs::create_symlink(dir / "outside/ro.txt", dir / "box/ro-link");
    fs::create_directory_symlink(dir / "outside/dir", dir / "box/dir-link");
    dir.write("shut/open.txt", "o");
    dir.write("shut/locked/hidden.txt", "h");
    dir.write("d/x.sql", "x");
    dir.write("d/y.sql", "y");
    dir.write("d/backup/old.sql", "old");
    dir.write("home/h.txt", "h");
    dir.write("docs/d.txt", "d");
}

mode_t modeOf(const fs::path& p)
{
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

struct LineOutcome {
    std::string result;
    std::string detail;
    std::string protocol;
};

// Runs one command line, with every "{}" standing for the tree's folder, as
// an unprivileged user; `prepare` runs first in that user's process.
LineOutcome RunLine(const kelm::test::TempDir& dir, std::string line, const std::function<void()>& prepare = {})
{
    for (auto at = line.find("{}"); at != std::string::npos; at = line.find("{}"))
        line.replace(at, 2, dir.path().string());
    std::string outcome = kelm::test::RunUnprivileged(dir.path(), [&] {
        if (prepare)
            prepare();
        RunContext run;
        CCommander commander(run, nullptr);
        commander.Execute(nullptr, line);
        return std::to_string(commander.GetResultCode()) + "|" + commander.GetDetailText() + "|" +
               commander.GetProtocol().m_strText;
    });
    auto bar = outcome.find('|');
    auto bar2 = outcome.find('|', bar == std::string::npos ? 0 : bar + 1);
    if (bar == std::string::npos || bar2 == std::string::npos)
        return {outcome, "", ""};
    return {outcome.substr(0, bar), outcome.substr(bar + 1, bar2 - bar - 1), outcome.substr(bar2 + 1)};
}

} // namespace

TEST(FileManager, CommandsStayInsideTheirFolder)
{
    struct Case {
        const char* line; // {} is the tree's folder
        int result;
        const char* detailStart;
        std::function<void(const kelm::test::TempDir&)> check;
    };
    auto outsideUntouched = [](const kelm::test::TempDir& d) {
        EXPECT_EQ(modeOf(d / "outside/f.txt"), 0644u);
        EXPECT_EQ(modeOf(d / "outside/ro.txt"), 0444u);
        EXPECT_EQ(kelm::test::readFile(d / "outside/dir/keep.txt"), "keep");
    };
    std::vector<Case> cases = {
        // Attributes are never changed through a link; the rest is.
        {"FileSetAttributes({}/box/*, 1, 1, 0)", 0, "",
         [&](const auto& d) {
             outsideUntouched(d);
             EXPECT_EQ(modeOf(d / "box/sub/c.txt") & 0222, 0u);
         }},
        {"FileClearAttributes({}/box/*, 1, 1, 0)", 0, "", outsideUntouched},
        {"FileSetAttributes({}/box/f-link, 1, 0, 0)", 0, "", outsideUntouched},
        // A recursive delete removes links, never what they point to.
        {"FileDelete({}/box/*, 1, 0)", 0, "",
         [&](const auto& d) {
             outsideUntouched(d);
             EXPECT_TRUE(fs::is_empty(d / "box"));
         }},
        // The home and documents folders: neither by name nor by a mask
        // over them; one name inside them is an ordinary item.
        {"FileDelete({}/home, 1, 0)", 21, "i/o error 87: ",
         [](const auto& d) { EXPECT_TRUE(fs::exists(d / "home/h.txt")); }},
        {"FileDelete({}/home/*, 1, 0)", 21, "i/o error 87: ",
         [](const auto& d) { EXPECT_TRUE(fs::exists(d / "home/h.txt")); }},
        {"FileDelete({}/ho*, 1, 1)", 0, "",
         [](const auto& d) { EXPECT_TRUE(fs::exists(d / "home/h.txt")); }},
        {"FileDelete({}/docs, 1, 0)", 21, "i/o error 87: ",
         [](const auto& d) { EXPECT_TRUE(fs::exists(d / "docs/d.txt")); }},
        {"FileDelete({}/home/h.txt, 1, 0)", 0, "",
         [](const auto& d) { EXPECT_FALSE(fs::exists(d / "home/h.txt")); }},
        // A rename pattern keeps each item in its folder.
        {"FileRename({}/d/x.sql, ../x*.sql, 0, 0)", 21, "i/o error 87: ",
         [](const auto& d) {
             EXPECT_TRUE(fs::exists(d / "d/x.sql"));
             EXPECT_FALSE(fs::exists(d / "xx.sql"));
         }},
        {"FileRename({}/d/x.sql, backup/x*, 0, 0)", 21, "i/o error 87: ",
         [](const auto& d) { EXPECT_TRUE(fs::exists(d / "d/x.sql")); }},
        // A folder that cannot be listed is an i/o error, or a warning.
        {"FileCopy({}/shut/*, {}/out, 0, 0, 1, 0)", 21, "i/o error 5: Access is denied.\r\nCOPY : ", nullptr},
        {"FileCopy({}/shut/*, {}/out, 0, 0, 1, 1)", 0, "",
         [](const auto& d) { EXPECT_EQ(kelm::test::readFile(d / "out/open.txt"), "o"); }},
        {"FileSetAttributes({}/shut/*, 1, 1, 0)", 21, "i/o error 5: ", nullptr},
        {"FileDelete({}/shut/*, 1, 0)", 21, "i/o error 5: ", nullptr},
        {"FileDelete({}/shut/locked/*, 1, 0)", 21, "i/o error 5: ", nullptr},
        // Into a subfolder of the source: refused only where the walk
        // would enter it.
        {"FileCopy({}/d/*.sql, {}/d/backup, 1, 0, 1, 0)", 0, "",
         [](const auto& d) { EXPECT_EQ(kelm::test::readFile(d / "d/backup/x.sql"), "x"); }},
        {"FileCopy({}/d/*, {}/d/backup/again, 1, 0, 1, 0)", 21, "i/o error 87: ",
         [](const auto& d) { EXPECT_FALSE(fs::exists(d / "d/backup/again")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        kelm::test::TempDir dir;
        makeHostileTree(dir);
        auto outcome = RunLine(dir, c.line, [&] {
            ::chmod((dir / "shut/locked").c_str(), 0);
            ::setenv("HOME", (dir / "home").c_str(), 1);
            ::setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
        });
        ::chmod((dir / "shut/locked").c_str(), 0755);
        EXPECT_EQ(outcome.result, std::to_string(c.result)) << outcome.detail;
        EXPECT_EQ(outcome.detail.rfind(c.detailStart, 0), 0u) << outcome.detail;
        if (c.check)
            c.check(dir);
    }
}

namespace {

// A tree with links out of it, and a link above the folders it names:
//   work/     a.txt, sub/b.txt, f-link -> outside/f.txt, link_out -> outside
//   outside/  f.txt and k.txt (0644), deep/x.txt
//   via  -> work
void makeLinkedTree(const kelm::test::TempDir& dir)
{
    dir.write("work/a.txt", "a");
    dir.write("work/sub/b.txt", "b");
    dir.write("outside/f.txt", "outside");
    dir.write("outside/k.txt", "k");
    dir.write("outside/deep/x.txt", "x");
    ::chmod((dir / "outside/f.txt").c_str(), 0644);
    ::chmod((dir / "outside/k.txt").c_str(), 0644);
    fs::create_symlink(dir / "outside/f.txt", dir / "work/f-link");
    fs::create_directory_symlink(dir / "outside", dir / "work/link_out");
    fs::create_directory_symlink(dir / "work", dir / "via");
}

} // namespace

TEST(FileManager, NoCommandReachesThroughALink)
{
    using Dir = kelm::test::TempDir;
    struct Case {
        const char* line; // {} is the tree's folder
        int result;
        std::string detailStart;
        std::function<void(const Dir&, const std::string& protocol)> check;
    };
    auto outsideIntact = [](const Dir& d) {
        ASSERT_TRUE(fs::exists(d / "outside/f.txt"));
        EXPECT_EQ(kelm::test::readFile(d / "outside/f.txt"), "outside");
        EXPECT_EQ(modeOf(d / "outside/f.txt"), 0644u);
        EXPECT_EQ(modeOf(d / "outside/k.txt"), 0644u);
        EXPECT_TRUE(fs::exists(d / "outside/deep/x.txt"));
        EXPECT_FALSE(fs::exists(d / "outside/a.txt"));
        EXPECT_FALSE(fs::exists(d / "outside/k2.txt"));
    };
    auto isLinkTo = [](const fs::path& link, const fs::path& target) {
        EXPECT_TRUE(fs::is_symlink(link)) << link;
        if (fs::is_symlink(link)) {
            EXPECT_EQ(fs::read_symlink(link), target);
        }
    };
    const std::string linkError = "i/o error 1921: The name of the file cannot be resolved by the system.\r\n";
    std::vector<Case> cases = {
        // A link is copied as a link, never as what it points to.
        {"FileCopy({}/work/*, {}/copy, 1, 0, 1, 1)", 0, "",
         [&](const Dir& d, const std::string& protocol) {
             isLinkTo(d / "copy/f-link", d / "outside/f.txt");
             isLinkTo(d / "copy/link_out", d / "outside");
             EXPECT_EQ(kelm::test::readFile(d / "copy/sub/b.txt"), "b");
             EXPECT_EQ(protocol, "");
         }},
        {"FileCopy({}/work/f-link, {}/copy, 1, 0, 0, 0)", 0, "",
         [&](const Dir& d, const std::string&) { isLinkTo(d / "copy/f-link", d / "outside/f.txt"); }},
        // The folder a command works in is never reached through a link...
        {"FileDelete({}/work/link_out/*, 0, 0)", 21, linkError + "DELETE : {}/work/link_out ", nullptr},
        {"FileDelete({}/work/link_out/*, 1, 1)", 0, "",
         [](const Dir&, const std::string& protocol) {
             EXPECT_NE(protocol.find("WARNING IGNORED ERROR : i/o error 1921:"), std::string::npos) << protocol;
         }},
        {"FileDelete({}/work/link_out/deep, 1, 0)", 21, linkError, nullptr},
        {"FileRename({}/work/link_out/k.txt, k2.txt, 0, 0)", 21, linkError, nullptr},
        {"FileSetAttributes({}/work/link_out/*, 1, 1, 0)", 21, linkError, nullptr},
        {"FileMove({}/work/link_out/k.txt, {}/work, 0, 0)", 21, linkError, nullptr},
        {"FileCopy({}/work/link_out/*, {}/copy, 1, 0, 1, 0)", 21, linkError,
         [](const Dir& d, const std::string&) { EXPECT_FALSE(fs::exists(d / "copy/f.txt")); }},
        // ... nor is a copy's or a move's target folder.
        {"FileMove({}/work/a.txt, {}/work/link_out, 0, 0)", 21, linkError + "MOVE : {}/work {}/work/link_out",
         [](const Dir& d, const std::string&) { EXPECT_TRUE(fs::exists(d / "work/a.txt")); }},
        {"FileCopy({}/work/a.txt, {}/work/link_out, 1, 0, 0, 0)", 21, linkError, nullptr},
        // Links above that folder are followed, as the system follows them.
        {"FileDelete({}/via/sub/b.txt, 0, 0)", 0, "",
         [](const Dir& d, const std::string&) { EXPECT_FALSE(fs::exists(d / "work/sub/b.txt")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        kelm::test::TempDir dir;
        makeLinkedTree(dir);
        auto outcome = RunLine(dir, c.line);
        std::string detailStart = c.detailStart;
        for (auto at = detailStart.find("{}"); at != std::string::npos; at = detailStart.find("{}"))
            detailStart.replace(at, 2, dir.path().string());
        EXPECT_EQ(outcome.result, std::to_string(c.result)) << outcome.detail;
        EXPECT_EQ(outcome.detail.rfind(detailStart, 0), 0u) << outcome.detail;
        outsideIntact(dir);
        if (c.check)
            c.check(dir, outcome.protocol);
    }
}

TEST(FileManager, ALinkSwappedInDuringAWalkIsNotFollowed)
{
    // The swap comes between the listing and the act: at the walk's start,
    // after the working folder was opened, or at its first item, after the
    // folder above `sub` was listed.
    enum When { AtBegin, AtFirstItem };
    class Swapper : public CFileManager {
    public:
        Swapper(When when, fs::path folder, fs::path outside)
            : m_when(when), m_folder(std::move(folder)), m_outside(std::move(outside))
        {
        }

    protected:
        void OnBegin(int) override
        {
            if (m_when == AtBegin)
                Swap();
        }
        void OnBeforeItem() override
        {
            if (m_when == AtFirstItem)
                Swap();
        }

    private:
        void Swap()
        {
            if (m_swapped)
                return;
            m_swapped = true;
            fs::rename(m_folder, m_folder.string() + "-away");
            fs::create_directory_symlink(m_outside, m_folder);
        }
        When m_when;
        fs::path m_folder;
        fs::path m_outside;
        bool m_swapped = false;
    };
    struct Case {
        const char* name;
        When when;
        const char* swapped; // below the tree
        std::function<bool(CFileManager&, const kelm::test::TempDir&)> run;
        bool succeeds;
    };
    std::vector<Case> cases = {
        {"copy", AtFirstItem, "tree/sub",
         [](CFileManager& fm, const auto& d) {
             return fm.Copy((d / "tree/*").string(), (d / "copy").string(), true, false, true, false);
         },
         false},
        {"set attributes", AtFirstItem, "tree/sub",
         [](CFileManager& fm, const auto& d) { return fm.SetAttributes((d / "tree/*").string(), 1, true, false); },
         false},
        {"delete", AtBegin, "tree",
         [](CFileManager& fm, const auto& d) { return fm.Delete((d / "tree/*").string(), true, false); }, true},
        {"rename", AtBegin, "tree",
         [](CFileManager& fm, const auto& d) { return fm.Rename((d / "tree/*.txt").string(), "*.old", false, false); },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kelm::test::TempDir dir;
        dir.write("tree/a.txt", "a");
        dir.write("tree/sub/s.txt", "s");
        dir.write("outside/keep.txt", "keep");
        ::chmod((dir / "outside/keep.txt").c_str(), 0644);
        Swapper fm(c.when, dir / c.swapped, dir / "outside");
        EXPECT_EQ(c.run(fm, dir), c.succeeds) << fm.GetMessage();
        if (!c.succeeds) {
            EXPECT_EQ(fm.GetSystemError(), 1921u) << fm.GetMessage();
        }
        EXPECT_EQ(listing(dir / "outside"), std::vector<std::string>{"keep.txt"});
        EXPECT_EQ(modeOf(dir / "outside/keep.txt"), 0644u);
        EXPECT_FALSE(fs::exists(dir / "copy/sub/keep.txt"));
    }
}

TEST(FileManager, AFolderSwappedForALinkDuringADeleteIsNotFollowed)
{
    kelm::test::TempDir dir;
    dir.write("tree/a/1.txt", "1");
    dir.write("tree/b/2.txt", "2");
    dir.write("outside/keep.txt", "keep");
    class Swapper : public CFileManager {
    public:
        explicit Swapper(const kelm::test::TempDir& d) : m_dir(d) {}

    protected:
        void OnBeforeItem() override
        {
            if (m_swapped)
                return;
            m_swapped = true;
            fs::rename(m_dir / "tree/b", m_dir / "b-away");
            fs::create_directory_symlink(m_dir / "outside", m_dir / "tree/b");
        }

    private:
        const kelm::test::TempDir& m_dir;
        bool m_swapped = false;
    } fm(dir);
    EXPECT_TRUE(fm.Delete((dir / "tree/*").string(), true, false)) << fm.GetMessage();
    EXPECT_EQ(kelm::test::readFile(dir / "outside/keep.txt"), "keep");
    EXPECT_TRUE(fs::is_empty(dir / "tree"));
}
