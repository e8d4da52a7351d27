#include "installer/filemanager.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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
