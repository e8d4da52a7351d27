#include "winapi/errors.h"
#include "winapi/files.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace winapi;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> names(const std::optional<std::vector<FindData>>& found)
{
    std::vector<std::string> out;
    if (found)
        for (const auto& f : *found)
            out.push_back(f.name);
    return out;
}

} // namespace

TEST(Files, FindFilesPatternsAndOrder)
{
    kelm::test::TempDir dir;
    for (const char* name : {"a.sql", "B.SQL", "c.txt", "a[1].sql", "star*name", ".hidden", "ab.sqlx"})
        dir.write(name, name);
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(dir / "sub", dir / "link");
    using V = std::vector<std::string>;
    const V all = {".hidden", "a.sql", "ab.sqlx", "a[1].sql", "B.SQL", "c.txt", "link", "star*name", "sub"};
    struct Case {
        std::string pattern;
        FindMode mode;
        V expected;
    } cases[] = {
        {"*", FindMode::Pattern, all},
        {"*.*", FindMode::Pattern, all},
        {"*.sql", FindMode::Pattern, {"a.sql", "a[1].sql"}},
        {"a?sql", FindMode::Pattern, {"a.sql"}},
        {"a[1].sql", FindMode::Pattern, {"a[1].sql"}},
        {"*a*", FindMode::Pattern, {"a.sql", "ab.sqlx", "a[1].sql", "star*name"}},
        {"star*name", FindMode::Exact, {"star*name"}},
        {"B.SQL", FindMode::Exact, {"B.SQL"}},
        {"*", FindMode::Exact, {}},
        {"b.sql", FindMode::Pattern, {}},
    };
    for (const auto& c : cases) {
        auto found = FindFiles(dir.path().string(), c.pattern, c.mode);
        EXPECT_EQ(names(found), c.expected) << c.pattern;
        if (c.expected.empty()) {
            EXPECT_FALSE(found) << c.pattern;
            EXPECT_EQ(GetLastError(), 2u) << c.pattern;
        }
    }
    auto found = FindFiles(dir.path().string(), "*");
    for (const auto& f : *found) {
        EXPECT_EQ(f.isDirectory, f.name == "sub") << f.name;
        EXPECT_EQ(f.isSymlink, f.name == "link") << f.name;
    }
    EXPECT_FALSE(FindFiles((dir / "missing").string(), "*"));
    EXPECT_EQ(GetLastError(), 3u);
}

// The listing without details names the same entries with the same kinds
// and fails the same way.
TEST(Files, FindNamesListsWhatFindFilesLists)
{
    kelm::test::TempDir dir;
    for (const char* name : {"a.sql", "B.SQL", "c.txt"})
        dir.write(name, name);
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / "empty");
    fs::create_directory_symlink(dir / "sub", dir / "link");
    fs::create_symlink(dir / "a.sql", dir / "filelink");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    auto kinds = [](const std::optional<std::vector<FindData>>& found) {
        std::vector<std::string> out;
        if (found)
            for (const auto& f : *found)
                out.push_back(f.name + (f.isDirectory ? " dir" : "") + (f.isSymlink ? " link" : ""));
        return out;
    };
    auto folder = Folder::Open(dir.path().string());
    ASSERT_TRUE(folder);
    const std::pair<std::string, FindMode> cases[] = {
        {"*", FindMode::Pattern}, {"*.sql", FindMode::Pattern}, {"sub", FindMode::Exact}, {"none*", FindMode::Pattern}};
    for (const auto& [pattern, mode] : cases) {
        auto files = FindFiles(dir.path().string(), pattern, mode);
        DWORD filesError = GetLastError();
        auto byPath = FindNames(dir.path().string(), pattern, mode);
        EXPECT_EQ(GetLastError(), filesError) << pattern;
        auto inFolder = FindNames(*folder, pattern, mode);
        EXPECT_EQ(GetLastError(), filesError) << pattern;
        EXPECT_EQ(kinds(byPath), kinds(files)) << pattern;
        EXPECT_EQ(kinds(inFolder), kinds(files)) << pattern;
        EXPECT_EQ(bool(byPath), bool(files)) << pattern;
    }
    EXPECT_EQ(kinds(FindNames(dir.path().string(), "*")),
              (std::vector<std::string>{"a.sql", "B.SQL", "c.txt", "dangling link", "empty dir", "filelink link",
                                        "link link", "sub dir"}));
    EXPECT_FALSE(FindNames((dir / "empty").string(), "*"));
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_FALSE(FindNames((dir / "missing").string(), "*"));
    EXPECT_EQ(GetLastError(), 3u);
}

TEST(Files, ErrorNumbers)
{
    kelm::test::TempDir dir;
    auto src = dir.write("src.txt", "source").string();
    auto ro = dir.write("ro.txt", "read-only").string();
    ::chmod(ro.c_str(), 0444);
    auto other = dir.write("other.txt", "other").string();
    fs::create_directories(dir / "full/inner");
    fs::create_directory(dir / "outside");
    fs::create_directory_symlink(dir / "outside", dir / "dirlink");
    std::string missing = (dir / "missing.txt").string();
    std::string folder = (dir / "full").string();

    struct Case {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;
    } cases[] = {
        {"copy, no overwrite", [&] { return CopyFile(src, other, kTrue); }, 80},
        {"copy onto read-only", [&] { return CopyFile(src, ro, kFalse); }, 5},
        {"copy onto a folder", [&] { return CopyFile(src, folder, kFalse); }, 5},
        {"copy a folder", [&] { return CopyFile(folder, (dir / "x").string(), kFalse); }, 5},
        {"copy a missing file", [&] { return CopyFile(missing, (dir / "x").string(), kFalse); }, 2},
        {"move onto existing", [&] { return MoveFile(src, other); }, 183},
        {"move a missing file", [&] { return MoveFile(missing, (dir / "x").string()); }, 2},
        {"delete read-only", [&] { return DeleteFile(ro); }, 5},
        {"delete a folder", [&] { return DeleteFile(folder); }, 5},
        {"delete missing", [&] { return DeleteFile(missing); }, 2},
        {"remove non-empty", [&] { return RemoveDirectory(folder); }, 145},
        {"remove missing", [&] { return RemoveDirectory((dir / "none").string()); }, 2},
        {"remove a link", [&] { return RemoveDirectory((dir / "dirlink").string()); }, 267},
        {"create existing", [&] { return CreateDirectory(folder); }, 183},
        {"create below missing", [&] { return CreateDirectory((dir / "no/such").string()); }, 3},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(c.call(), kFalse) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(kelm::test::readFile(other), "other");
    EXPECT_EQ(kelm::test::readFile(src), "source");
    EXPECT_EQ(kelm::test::readFile(ro), "read-only");
    EXPECT_TRUE(fs::is_directory(dir / "outside"));
}

TEST(Files, CopyAndMove)
{
    kelm::test::TempDir dir;
    auto src = dir.write("src.txt", "content").string();
    ::chmod(src.c_str(), 0444);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, src.c_str(), old, 0);
    auto dst = (dir / "copy.txt").string();
    ASSERT_TRUE(CopyFile(src, dst, kTrue));
    struct stat st {};
    ::stat(dst.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(st.st_mtime, 1000000000);
    EXPECT_EQ(GetFileAttributes(dst) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributes(dst, FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributes(dst), FILE_ATTRIBUTE_NORMAL);
    dir.write("over.txt", "old");
    ASSERT_TRUE(CopyFile((dir / "copy.txt").string(), (dir / "over.txt").string(), kFalse));
    EXPECT_EQ(kelm::test::readFile(dir / "over.txt"), "content");
    // No temporary names are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3);

    ASSERT_TRUE(MoveFile((dir / "over.txt").string(), (dir / "moved.txt").string()));
    EXPECT_FALSE(fs::exists(dir / "over.txt"));
    fs::create_directories(dir / "tree/a");
    ASSERT_TRUE(MoveFile((dir / "tree").string(), (dir / "tree2").string()));
    EXPECT_TRUE(fs::is_directory(dir / "tree2/a"));
}

TEST(Files, FolderStateAndDeleteTree)
{
    kelm::test::TempDir dir;
    fs::create_directories(dir / "empty");
    dir.write("tree/a/b/c.txt", "c");
    dir.write("tree/d.txt", "d");
    dir.write("outside/keep.txt", "keep");
    fs::create_directory_symlink(dir / "outside", dir / "tree/a/link");
    ::chmod((dir / "tree/d.txt").c_str(), 0444);

    EXPECT_EQ(IsFolderEmpty((dir / "empty").string()), FolderState::Empty);
    EXPECT_EQ(IsFolderEmpty((dir / "tree").string()), FolderState::NotEmpty);
    EXPECT_EQ(IsFolderEmpty((dir / "none").string()), FolderState::CannotList);

    ASSERT_TRUE(DeleteTree((dir / "tree").string()));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ(kelm::test::readFile(dir / "outside/keep.txt"), "keep");

    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/root";
    for (std::string refused : {std::string("/"), std::string("relative/path"), (dir / "a/../b").string(), home,
                                home + "/"}) {
        SetLastError(0);
        EXPECT_FALSE(DeleteTree(refused)) << refused;
        EXPECT_EQ(GetLastError(), 87u) << refused;
    }
}

TEST(Files, DrivesAndFreeSpace)
{
    kelm::test::TempDir dir;
    auto here = GetDriveOfPath(dir.path().string());
    auto notYet = GetDriveOfPath((dir / "not/yet/there").string());
    ASSERT_TRUE(here && notYet);
    EXPECT_TRUE(*here == *notYet);
    EXPECT_EQ(here->mountPoint, notYet->mountPoint);
    EXPECT_EQ(dir.path().string().rfind(here->mountPoint, 0), 0u);
    EXPECT_FALSE(GetDriveOfPath("relative"));

    std::uint64_t mb = 0;
    EXPECT_TRUE(GetFreeDiskSpaceMB((dir / "not/yet").string(), mb));
    EXPECT_FALSE(GetFreeDiskSpaceMB("relative", mb));
}

namespace {

// The entries of a folder other than `keep`: what a replace left behind.
std::vector<std::string> strays(const fs::path& folder, const std::string& keep)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename() != keep)
            out.push_back(e.path().filename().string());
    return out;
}

} // namespace

TEST(Files, ReplaceByTwoWritersAtOnceLeavesOneWholeFile)
{
    kelm::test::TempDir dir;
    const std::string path = (dir / "shared.dat").string();
    const std::size_t size = 256 * 1024;
    ASSERT_TRUE(WriteWholeFile(path, std::string(size, 'o')));
    std::atomic<bool> done {false};
    std::atomic<int> failures {0};
    auto writer = [&](char letter, bool byName) {
        const std::string text(size, letter);
        for (int i = 0; i < 40; ++i) {
            const BOOL ok = AtomicReplaceFile(path, [&](const std::string& temporary, int fd) {
                if (!byName)
                    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
                // Through a stream of its own, as the archive and the wx
                // writers do; it is flushed before the replace syncs.
                std::FILE* out = std::fopen(temporary.c_str(), "wb");
                if (!out)
                    return false;
                const bool whole = std::fwrite(text.data(), 1, text.size(), out) == text.size();
                return std::fclose(out) == 0 && whole;
            });
            if (!ok)
                ++failures;
        }
    };
    std::thread reader([&] {
        while (!done) {
            const std::string seen = kelm::test::readFile(path);
            if (seen.size() != size || seen.find_first_not_of(seen[0]) != std::string::npos)
                ++failures;
        }
    });
    std::thread a(writer, 'a', false), b(writer, 'b', true);
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    const std::string last = kelm::test::readFile(path);
    ASSERT_EQ(last.size(), size);
    EXPECT_TRUE(last == std::string(size, 'a') || last == std::string(size, 'b'));
    EXPECT_TRUE(strays(dir.path(), "shared.dat").empty());
}

TEST(Files, FailedReplaceKeepsTheOldFileWhole)
{
    kelm::test::TempDir dir;
    const std::string path = (dir / "keep.dat").string();
    const std::string old = "the old content\n";
    struct Case {
        const char* what;
        std::function<BOOL()> replace;
    };
    const Case cases[] = {
        {"writer fails", [&] { return AtomicReplaceFile(path, [](const std::string&, int) { return false; }); }},
        {"writer throws",
         [&] {
             try {
                 AtomicReplaceFile(path, [](const std::string&, int fd) -> bool {
                     [[maybe_unused]] auto n = ::write(fd, "half", 4);
                     throw std::runtime_error("stop");
                 });
             } catch (const std::runtime_error&) {
                 return kFalse;
             }
             ADD_FAILURE() << "the exception was not passed on";
             return kTrue;
         }},
        // A file-size limit stands for a full disk: the write stops short.
        {"disk full", [&] {
             const pid_t child = ::fork();
             if (child == 0) {
                 struct rlimit limit {4096, 4096};
                 ::signal(SIGXFSZ, SIG_IGN);
                 ::setrlimit(RLIMIT_FSIZE, &limit);
                 ::_exit(WriteWholeFile(path, std::string(65536, 'n')) ? 1 : 0);
             }
             int status = -1;
             ::waitpid(child, &status, 0);
             return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kFalse : kTrue;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWholeFile(path, old));
        EXPECT_FALSE(c.replace());
        EXPECT_EQ(kelm::test::readFile(path), old);
        EXPECT_TRUE(strays(dir.path(), "keep.dat").empty());
    }
    // A target that cannot be replaced (a folder) or a missing folder: the
    // error is the rename's or the create's, and nothing is left beside it.
    fs::create_directories(dir / "sub");
    EXPECT_FALSE(WriteWholeFile((dir / "sub").string(), "x"));
    EXPECT_EQ(GetLastError(), 5u);
    EXPECT_FALSE(WriteWholeFile((dir / "missing/file").string(), "x"));
    EXPECT_EQ(GetLastError(), 3u);
    EXPECT_EQ(strays(dir.path(), "keep.dat"), std::vector<std::string>{"sub"});
}

TEST(Files, ReplaceGivesTheModeOfANewFileOrTheOneAsked)
{
    kelm::test::TempDir dir;
    const mode_t mask = ::umask(022);
    const std::string path = (dir / "mode.dat").string();
    ASSERT_TRUE(AtomicReplaceFile(path, [](const std::string&, int fd) { return ::write(fd, "a", 1) == 1; }));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_TRUE(WriteWholeFile(path, "b", 0600));
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(kelm::test::readFile(path), "b");
    ::umask(mask);
}
