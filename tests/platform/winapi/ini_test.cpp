// The private-profile functions on real files in a temporary folder.
#include "tests/common/testsupport.h"
#include "winapi/errors.h"
#include "winapi/settings/ini.h"
#include "winapi/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <vector>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace winapi;
using kelm::test::readFile;
using kelm::test::TempDir;

namespace {

const char* const kSample =
    "; leading comment\n"
    "orphan=before any section\n"
    "[Main]\n"
    "  Name \t=  \t Alpha  \n"
    "Quoted=\"x y\"\n"
    "Single='one'\n"
    "Mixed=\"a'\n"
    "Lone=\"\n"
    "Empty=\n"
    "NoEquals\n"
    "Dup=first\n"
    "dup=second\n"
    ";Hidden=comment\n"
    "Cyr=Привет мир\n"
    "Eq=a=b\n"
    "[main]\n"
    "Second=from the second main\n"
    "[  Кириллица  ] trailing text\n"
    "Ключ=значение\n"
    "[Broken\n"
    "InBroken=yes\n"
    "[Numbers]\n"
    "Neg=-1\n"
    "Mixed=12abc\n"
    "Text=abc\n"
    "Empty=\n"
    "Plus=+7\n"
    "Big=4294967297\n"
    "Quoted=\"42\"\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* def;
    DWORD size;
    const char* expected;
};

} // namespace

TEST(IniRead, StringLookups)
{
    TempDir dir;
    const std::string file = dir.write("sample.ini", kSample).string();
    const ReadCase cases[] = {
        {"Main", "Name", "d", 100, "Alpha"},
        {"MAIN", "name", "d", 100, "Alpha"},        // case of section and key
        {" Main ", " Name ", "d", 100, "Alpha"},    // names are trimmed
        {"Main", "Quoted", "d", 100, "x y"},
        {"Main", "Single", "d", 100, "one"},
        {"Main", "Mixed", "d", 100, "\"a'"},        // unequal quotes stay
        {"Main", "Lone", "d", 100, "\""},           // one quote is no pair
        {"Main", "Empty", "d", 100, ""},            // present and empty is not missing
        {"Main", "NoEquals", "d", 100, ""},
        {"Main", "Dup", "d", 100, "first"},         // first duplicate wins
        {"Main", "Hidden", "d", 100, "d"},          // comments are no keys
        {"Main", ";Hidden", "d", 100, "d"},
        {"Main", "Eq", "d", 100, "a=b"},            // split at the first '='
        {"Main", "Second", "d", 100, "d"},          // only the first [Main] is searched
        {"Main", "orphan", "d", 100, "d"},
        {"кириллица", "КЛЮЧ", "d", 100, "значение"}, // Cyrillic folds too
        {"Broken", "InBroken", "d", 100, "yes"},    // header without ']'
        {"Main", "Missing", "default  ", 100, "default"}, // default loses trailing blanks
        {"Missing", "Name", "\n", 100, "\n"},       // a line-feed default is kept
        {"Main", "Missing", nullptr, 100, ""},
        {"Main", "Name", "d", 4, "Alp"},            // cut to size-1 characters
        {"Main", "Cyr", "d", 4, "При"},             // never half a character
        {"Main", "Name", "d", 0, ""},
    };
    for (const auto& c : cases) {
        std::string out = "garbage";
        const DWORD n = GetPrivateProfileString(c.section, c.key, c.def, out, c.size, file);
        EXPECT_EQ(out, c.expected) << c.section << "/" << c.key << " size " << c.size;
        EXPECT_EQ(n, Utf8Length(c.expected)) << c.section << "/" << c.key;
    }
}

TEST(IniRead, MissingFileReadsAsEmpty)
{
    TempDir dir;
    const std::string file = (dir / "none.ini").string();
    std::string out;
    EXPECT_EQ(GetPrivateProfileString("A", "b", "\n", out, 4095, file), 1u);
    EXPECT_EQ(out, "\n");
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(GetPrivateProfileInt("A", "b", 7, file), 7u);
    EXPECT_TRUE(GetPrivateProfileSectionNames(file, 2048).empty());
    EXPECT_TRUE(GetPrivateProfileSection("A", 2048, file).empty());
    EXPECT_FALSE(IniFind(file, "A", "b").has_value());
    // A folder or a FIFO in place of the file reads as missing too, and a
    // write over them is refused without blocking or replacing them.
    EXPECT_EQ(GetPrivateProfileInt("A", "b", 9, dir.path().string()), 9u);
    const std::string fifo = (dir / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(GetPrivateProfileInt("A", "b", 9, fifo), 9u);
    EXPECT_FALSE(WritePrivateProfileString("A", "b", "c", fifo));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(IniRead, BareNamesLiveInTheWindowsFolder)
{
    TempDir dir;
    const char* old = std::getenv("WINAPI_WINDIR");
    const std::string saved = old ? old : "";
    ::setenv("WINAPI_WINDIR", dir.path().c_str(), 1);
    const std::string name = "bare-" + std::to_string(::getpid()) + ".ini";
    EXPECT_TRUE(WritePrivateProfileString("S", "k", "v", name));
    EXPECT_EQ(readFile(dir / name), "[S]\nk=v\n");
    EXPECT_EQ(IniFind(name, "s", "K"), "v");
    if (old)
        ::setenv("WINAPI_WINDIR", saved.c_str(), 1);
    else
        ::unsetenv("WINAPI_WINDIR");
}

TEST(IniRead, Integers)
{
    TempDir dir;
    const std::string file = dir.write("n.ini", kSample).string();
    struct {
        const char* key;
        UINT expected;
    } cases[] = {
        {"Neg", 0xFFFFFFFFu}, {"Mixed", 12u}, {"Text", 0u}, {"Empty", 5u},
        {"Plus", 7u},         {"Big", 1u},    {"Quoted", 42u}, {"Missing", 5u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetPrivateProfileInt("Numbers", c.key, 5, file), c.expected) << c.key;
}

TEST(IniRead, SectionNamesAndSections)
{
    TempDir dir;
    const std::string file = dir.write("s.ini", kSample).string();
    const std::vector<std::string> all = {"Main", "main", "Кириллица", "Broken", "Numbers"};
    EXPECT_EQ(GetPrivateProfileSectionNames(file, 2048), all);
    // "Main\0main\0" plus the final NUL need 11 characters; a name that does
    // not fit whole is left out with everything after it.
    EXPECT_EQ(GetPrivateProfileSectionNames(file, 11), (std::vector<std::string> {"Main", "main"}));
    EXPECT_EQ(GetPrivateProfileSectionNames(file, 10), (std::vector<std::string> {"Main"}));
    // "Кириллица" counts nine characters, not eighteen bytes.
    EXPECT_EQ(GetPrivateProfileSectionNames(file, 21).size(), 3u);

    const std::vector<std::string> main = {"Name=Alpha", "Quoted=\"x y\"", "Single='one'", "Mixed=\"a'",
                                           "Lone=\"",     "Empty=",        "NoEquals",     "Dup=first",
                                           "dup=second", "Cyr=Привет мир", "Eq=a=b"};
    EXPECT_EQ(GetPrivateProfileSection("MAIN", 2048, file), main);
    EXPECT_EQ(GetPrivateProfileSection("Main", 12, file), (std::vector<std::string> {"Name=Alpha"}));

    // 2048 characters hold only the names that fit whole.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "[Section" + std::to_string(i) + "]\n";
    const std::string big = dir.write("big.ini", many).string();
    const auto names = GetPrivateProfileSectionNames(big, 2048);
    std::size_t used = 1;
    for (const auto& n : names)
        used += n.size() + 1;
    EXPECT_LE(used, 2048u);
    EXPECT_GT(used + 12, 2048u);
    EXPECT_EQ(names.back(), "Section" + std::to_string(names.size() - 1));
}

TEST(IniRead, BomCrLfAndBinaryText)
{
    TempDir dir;
    const std::string file = dir.write("bom.ini", "\xEF\xBB\xBF[A]\r\nk=v\r\nn=1\r\n").string();
    std::string out;
    GetPrivateProfileString("A", "k", "", out, 100, file);
    EXPECT_EQ(out, "v");
    EXPECT_EQ(GetPrivateProfileInt("a", "N", 0, file), 1u);

    std::string binary("[\x01\xff]\n\x80=\x81\0\n[Z]\nk=\xc3", 17);
    const std::string bin = dir.write("bin.ini", binary).string();
    GetPrivateProfileString("Z", "k", "", out, 100, bin);
    EXPECT_EQ(out, "\xc3"); // an invalid byte is a character of its own, kept
    EXPECT_EQ(GetPrivateProfileSectionNames(bin, 2048).size(), 2u);
}

TEST(IniStruct, ChecksumAndLength)
{
    TempDir dir;
    const unsigned char bytes[3] = {0x01, 0xFF, 0x10};
    const std::string file = (dir / "s.ini").string();
    ASSERT_TRUE(WritePrivateProfileStruct("S", "good", bytes, 3, file));
    EXPECT_NE(readFile(file).find("good=01FF1010\n"), std::string::npos);

    std::ofstream(file, std::ios::app) << "lower=01ff1010\nbadsum=01FF1011\nshort=01FF10\nnothex=01FG1010\n";
    unsigned char out[3] = {9, 9, 9};
    EXPECT_TRUE(GetPrivateProfileStruct("S", "good", out, 3, file));
    EXPECT_EQ(std::memcmp(out, bytes, 3), 0);
    EXPECT_TRUE(GetPrivateProfileStruct("S", "lower", out, 3, file));
    for (const char* bad : {"badsum", "short", "nothex"}) {
        unsigned char untouched[3] = {7, 7, 7};
        EXPECT_FALSE(GetPrivateProfileStruct("S", bad, untouched, 3, file)) << bad;
        EXPECT_EQ(GetLastError(), kErrorInvalidData) << bad;
        EXPECT_EQ(untouched[0], 7) << bad;
    }
    EXPECT_FALSE(GetPrivateProfileStruct("S", "missing", out, 3, file));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_FALSE(GetPrivateProfileStruct("S", "good", out, 2, file)); // wrong size
}

TEST(IniWrite, KeepsTheRestOfTheFile)
{
    TempDir dir;
    const std::string original = "\xEF\xBB\xBF; settings\r\n[One]\r\n  Key = old  \r\nOther=1\r\n\r\n; tail\r\n[Two]\r\nx=1";
    const std::string file = dir.write("w.ini", original).string();

    ASSERT_TRUE(WritePrivateProfileString("one", "KEY", "new", file));
    EXPECT_EQ(readFile(file), "\xEF\xBB\xBF; settings\r\n[One]\r\n  Key=new\r\nOther=1\r\n\r\n; tail\r\n[Two]\r\nx=1");

    ASSERT_TRUE(WritePrivateProfileString("One", "Added", "v", file));
    ASSERT_TRUE(WritePrivateProfileString("Two", "y", "2", file));
    ASSERT_TRUE(WritePrivateProfileString("Three", "z", "3", file));
    EXPECT_EQ(readFile(file), "\xEF\xBB\xBF; settings\r\n[One]\r\n  Key=new\r\nOther=1\r\nAdded=v\r\n\r\n; tail\r\n"
                              "[Two]\r\nx=1\r\ny=2\r\n\r\n[Three]\r\nz=3\r\n");

    ASSERT_TRUE(WritePrivateProfileString("One", "Other", nullptr, file));
    ASSERT_TRUE(WritePrivateProfileString("Two", nullptr, nullptr, file));
    ASSERT_TRUE(WritePrivateProfileString(nullptr, "a", "b", file)); // writes nothing
    EXPECT_EQ(readFile(file), "\xEF\xBB\xBF; settings\r\n[One]\r\n  Key=new\r\nAdded=v\r\n\r\n; tail\r\n[Three]\r\nz=3\r\n");
}

TEST(IniWrite, NewFileAndDeletes)
{
    TempDir dir;
    const std::string file = (dir / "new.ini").string();
    ASSERT_TRUE(WritePrivateProfileString("S", "k", " spaced ", file));
    ASSERT_TRUE(WritePrivateProfileString("S", "k2", "Значение", file));
    EXPECT_EQ(readFile(file), "[S]\nk= spaced \nk2=Значение\n");
    std::string out;
    GetPrivateProfileString("S", "k", "", out, 100, file);
    EXPECT_EQ(out, "spaced"); // blanks at the ends do not survive a read

    // Deleting what is not there changes nothing and creates nothing.
    const std::string none = (dir / "none.ini").string();
    EXPECT_TRUE(WritePrivateProfileString("S", "k", nullptr, none));
    EXPECT_TRUE(WritePrivateProfileString("S", nullptr, nullptr, none));
    struct stat st {};
    EXPECT_NE(::stat(none.c_str(), &st), 0);

    // Every entry of the key goes, in the first section of the name only.
    dir.write("dups.ini", "[A]\nk=1\nK=2\nj=3\n[a]\nk=4\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", nullptr, (dir / "dups.ini").string()));
    EXPECT_EQ(readFile(dir / "dups.ini"), "[A]\nj=3\n[a]\nk=4\n");
}

TEST(IniWrite, RefusesInjectionAndMissingFolders)
{
    TempDir dir;
    const std::string file = dir.write("i.ini", "[S]\nk=v\n").string();
    struct {
        const char* section;
        const char* key;
        const char* value;
    } refused[] = {
        {"S", "k", "a\nb=c"}, {"S", "k", "a\rb"},   {"S]", "k", "v"},   {"S\n[T", "k", "v"},
        {"S", "k=x", "v"},    {"S", "k\nx", "v"},   {"S", "[T]", "v"},  {"S", " ;c", "v"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(WritePrivateProfileString(r.section, r.key, r.value, file)) << r.key;
        EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    }
    EXPECT_EQ(readFile(file), "[S]\nk=v\n");

    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", (dir / "no/such/folder.ini").string()));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
    struct stat st {};
    EXPECT_NE(::stat((dir / "no").c_str(), &st), 0);
}

TEST(IniWrite, ModeAndSymlinkTargetKept)
{
    TempDir dir;
    const std::string target = dir.write("target.ini", "[S]\nk=1\n").string();
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = (dir / "link.ini").string();
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", link));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile(target), "[S]\nk=2\n");
}

TEST(IniWrite, ConcurrentThreadsLoseNothing)
{
    TempDir dir;
    const std::string file = (dir / "t.ini").string();
    std::vector<std::thread> threads;
    std::atomic<int> failures {0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const std::string key = "thread" + std::to_string(t);
            for (int i = 1; i <= 40; ++i) {
                if (!WritePrivateProfileString("S", key.c_str(), std::to_string(i).c_str(), file))
                    ++failures;
                // Every read sees a whole file: its own last write at least.
                if (static_cast<int>(GetPrivateProfileInt("S", key.c_str(), 0, file)) != i)
                    ++failures;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(GetPrivateProfileSection("S", 2048, file).size(), 4u);
}

TEST(IniWrite, ConcurrentProcessesLoseNothing)
{
    TempDir dir;
    const std::string file = (dir / "c.ini").string();
    constexpr int kWrites = 150;
    auto writer = [&](const char* key) {
        for (int i = 1; i <= kWrites; ++i)
            if (!WritePrivateProfileString("S", (std::string(key) + std::to_string(i % 5)).c_str(),
                                           std::to_string(i).c_str(), file))
                return false;
        return true;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(writer("child") ? 0 : 1);
    const bool parentOk = writer("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(parentOk);
    for (const char* who : {"child", "parent"})
        for (int k = 0; k < 5; ++k) {
            const int last = kWrites - ((kWrites - k) % 5);
            EXPECT_EQ(GetPrivateProfileInt("S", (std::string(who) + std::to_string(k)).c_str(), 0, file),
                      static_cast<UINT>(last)) << who << k;
        }
}

TEST(IniWrite, LastLineEndingInCarriageReturn)
{
    TempDir dir;
    const struct {
        const char* before;
        const char* key;
        const char* after;
    } cases[] = {
        {"[S]\nK\r", "k", "[S]\nK=v\r"},
        {"[S]\nx=1\r", "y", "[S]\nx=1\r\ny=v\n"},
        {"[T]\r\nx=1\r", "y", "[T]\r\nx=1\r\n\r\n[S]\r\ny=v\r\n"},
    };
    for (const auto& c : cases) {
        const std::string file = dir.write("cr.ini", c.before).string();
        ASSERT_TRUE(WritePrivateProfileString("S", c.key, "v", file));
        EXPECT_EQ(readFile(file), c.after) << c.before;
        std::string out;
        GetPrivateProfileString("S", c.key, "", out, 10, file);
        EXPECT_EQ(out, "v") << c.before;
    }
}

namespace {

// Runs `change` in a child process, as another program writing the file.
void inChild(const std::function<void()>& change)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        change();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

void rewriteInPlace(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

void setModificationTime(const std::string& file, const timespec& mtime)
{
    const timespec times[2] = {{0, UTIME_OMIT}, mtime};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

timespec modificationTime(const std::string& file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_mtim;
}

// The file another writer puts in place of `file` by renaming, optionally
// with the old file's modification time.
void replaceByRename(const std::string& file, const std::string& text, const timespec* mtime)
{
    const std::string fresh = file + ".new";
    rewriteInPlace(fresh, text);
    if (mtime != nullptr)
        setModificationTime(fresh, *mtime);
    ASSERT_EQ(::rename(fresh.c_str(), file.c_str()), 0);
}

std::string readK(const std::string& file)
{
    std::string out;
    GetPrivateProfileString("S", "K", "default", out, 64, file);
    return out;
}

// Waits for the start of the next second, so that what follows within a few
// hundred milliseconds shares its modification second.
void waitForNextSecond()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    ::usleep(static_cast<useconds_t>((1'000'000'000L - now.tv_nsec) / 1000 + 1000));
}

} // namespace

// A value read once is read again as it now stands, whoever changed the file
// and however: the suite's own writer, another process or this one writing
// in place (also with the same size and the old modification time put back),
// deleting it, or renaming another file over it. Each is tried on a file the
// reader has long trusted and on one changed within the clock tick of its
// first read; the in-place changes of the same size stay within one second.
TEST(IniRead, SeesEveryChangeBetweenTwoReads)
{
    const std::string before = "[S]\nK=aaa\n";
    const std::string sameSize = "[S]\nK=bbb\n";
    const std::string otherSize = "[S]\nK=longer\n";
    struct Change {
        const char* name;
        std::function<void(const std::string&)> apply;
        const char* expected;
        bool inPlaceSameSize;
    };
    const Change changes[] = {
        {"own writer", [](const std::string& f) { ASSERT_TRUE(WritePrivateProfileString("S", "K", "bbb", f)); },
         "bbb", false},
        {"other process, other size", [&](const std::string& f) { inChild([&] { rewriteInPlace(f, otherSize); }); },
         "longer", false},
        {"other process, same size", [&](const std::string& f) { inChild([&] { rewriteInPlace(f, sameSize); }); },
         "bbb", true},
        {"plain ofstream, same size", [&](const std::string& f) { rewriteInPlace(f, sameSize); }, "bbb", true},
        {"same size, modification time put back",
         [&](const std::string& f) {
             const timespec old = modificationTime(f);
             rewriteInPlace(f, sameSize);
             setModificationTime(f, old);
         },
         "bbb", true},
        {"deleted", [](const std::string& f) { ASSERT_EQ(::unlink(f.c_str()), 0); }, "default", false},
        {"replaced by rename", [&](const std::string& f) { replaceByRename(f, sameSize, nullptr); }, "bbb", false},
        {"replaced by rename, modification time kept",
         [&](const std::string& f) {
             const timespec old = modificationTime(f);
             replaceByRename(f, sameSize, &old);
         },
         "bbb", false},
    };

    for (const bool aged : {true, false}) {
        // The in-place rewrites must fall in the second of the file's last
        // change; a round the machine was too slow for is tried again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            TempDir dir;
            std::vector<std::string> files;
            if (aged)
                waitForNextSecond();
            for (std::size_t i = 0; i < std::size(changes); ++i)
                files.push_back(dir.write("f" + std::to_string(i) + ".ini", before).string());
            if (aged)
                ::usleep(250'000); // older than the reader's margin, so its stamp is trusted
            bool sameSecond = true;
            for (std::size_t i = 0; i < std::size(changes); ++i) {
                const auto& c = changes[i];
                const std::string& f = files[i];
                const std::string label = std::string(c.name) + (aged ? " (trusted file)" : " (just written)");
                const time_t second = modificationTime(f).tv_sec;
                ASSERT_EQ(readK(f), "aaa") << label;
                ASSERT_EQ(readK(f), "aaa") << label; // now served from the cache
                c.apply(f);
                if (c.inPlaceSameSize && modificationTime(f).tv_sec != second)
                    sameSecond = false;
                EXPECT_EQ(readK(f), c.expected) << label;
                EXPECT_EQ(readK(f), c.expected) << label;
            }
            if (sameSecond)
                break;
        }
    }
}

// Readers in several threads over more files than the cache keeps, while a
// writer changes them: no reader sees a value go back, and each file reads
// its last value at the end.
TEST(IniRead, ThreadsReadingWhileAWriterChangesManyFiles)
{
    TempDir dir;
    constexpr int kFiles = 24;
    constexpr int kWrites = 96;
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i)
        files.push_back(dir.write("m" + std::to_string(i) + ".ini", "[S]\nK=0\n").string());
    std::atomic<bool> done {false};
    std::atomic<int> wentBack {0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            std::vector<UINT> seen(kFiles, 0);
            while (!done.load()) {
                for (int i = 0; i < kFiles; ++i) {
                    const UINT v = GetPrivateProfileInt("S", "K", 0, files[i]);
                    if (v < seen[i])
                        ++wentBack;
                    seen[i] = v;
                }
            }
        });
    for (int n = 1; n <= kWrites; ++n)
        ASSERT_TRUE(WritePrivateProfileString("S", "K", std::to_string(n).c_str(), files[n % kFiles]));
    done = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wentBack.load(), 0);
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(GetPrivateProfileInt("S", "K", 0, files[i]), static_cast<UINT>(kWrites - (kWrites - i) % kFiles))
            << i;
}
