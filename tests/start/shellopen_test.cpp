#include "winapi/shell.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace winapi;
using kelm::test::TempDir;

namespace {

// Waits until `file` exists and holds a complete line.
std::string WaitForFile(const std::filesystem::path& file)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(file)) {
            std::string text = kelm::test::readFile(file);
            if (!text.empty() && text.back() == '\n')
                return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "(nothing)";
}

std::filesystem::path Script(const TempDir& dir, const std::string& name, const std::string& body)
{
    auto path = dir.write(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

struct PathGuard {
    std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
    ~PathGuard() { setenv("PATH", old.c_str(), 1); }
};

} // namespace

TEST(ShellOpen, WordsAndAddresses)
{
    struct Case {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {"  a  b ", {"a", "b"}},
        {"-a \"b c\" 'd e'", {"-a", "b c", "d e"}},
        {"x\\ y \"q\\\"t\" 'it''s'", {"x y", "q\"t", "its"}},
        {"\"$HOME\" `x` *", {"$HOME", "`x`", "*"}},
        {"\"\" ''", {"", ""}},
        {"\"unclosed arg", {"unclosed arg"}},
        {"Путь\\ к\\ файлу", {"Путь к файлу"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitShellWords(c.text), c.words) << c.text;

    for (const char* url : {"https://example.org", "mailto:a@b.c", "www.example.org", "svn+ssh://h/x", "C:x"})
        EXPECT_TRUE(IsUrl(url)) << url;
    for (const char* path : {"/usr/bin/env", "run.sh", "./a:b", "1http://x", ":x", "dir/file:1"})
        EXPECT_FALSE(IsUrl(path)) << path;
}

TEST(ShellOpen, ProgramsDocumentsAndAddresses)
{
    TempDir dir;
    PathGuard guard;
    auto bin = dir.path() / "bin";
    std::filesystem::create_directories(bin);
    // xdg-open stand-in that records what it was asked to open.
    auto recorded = dir.path() / "xdg-open.txt";
    Script(dir, "bin/xdg-open", "printf '%s\\n' \"$1\" >> '" + recorded.string() + "'\n");
    setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);

    // An executable gets its parameters as words and only the standard
    // descriptors.
    auto marker = dir.path() / "marker.txt";
    auto program = Script(dir, "tool with blank.sh",
                          "{ printf '%s|' \"$@\"; echo; ls -l /proc/$$/fd/; } > '" + marker.string() + ".tmp'\n"
                          "mv '" + marker.string() + ".tmp' '" + marker.string() + "'\n");
    // A descriptor of ours without close-on-exec must not reach the child.
    auto probe = dir.write("leak-probe", "");
    int leaked = ::open(probe.c_str(), O_RDONLY);
    ASSERT_GE(leaked, 0);
    EXPECT_EQ(ShellOpen(program.string(), "-a \"b c\""), SHELL_OPEN_STARTED);
    std::string seen = WaitForFile(marker);
    ::close(leaked);
    EXPECT_EQ(seen.substr(0, seen.find('\n')), "-a|b c|");
    EXPECT_EQ(seen.find("leak-probe"), std::string::npos) << seen;

    // A document, a folder and a web address go to xdg-open.
    auto document = dir.write("notes.txt", "hello");
    EXPECT_EQ(ShellOpen(document.string()), SHELL_OPEN_STARTED);
    EXPECT_EQ(WaitForFile(recorded), document.string() + "\n");
    std::filesystem::remove(recorded);
    EXPECT_EQ(ShellOpen("https://example.org/a b"), SHELL_OPEN_STARTED);
    EXPECT_EQ(WaitForFile(recorded), "https://example.org/a b\n");
    std::filesystem::remove(recorded);
    EXPECT_TRUE(OpenUrl("www.example.org"));
    EXPECT_EQ(WaitForFile(recorded), "www.example.org\n");

    // A bare name runs from PATH; missing files and programs are 2.
    auto ran = dir.path() / "ran.txt";
    Script(dir, "bin/kelm-test-tool", "echo \"$1\" > '" + ran.string() + "'\n");
    EXPECT_EQ(ShellOpen("kelm-test-tool", "x"), SHELL_OPEN_STARTED);
    EXPECT_EQ(WaitForFile(ran), "x\n");
    EXPECT_EQ(ShellOpen((dir.path() / "missing.sh").string()), SE_ERR_FNF);
    EXPECT_EQ(ShellOpen("kelm-no-such-program"), SE_ERR_FNF);
    EXPECT_EQ(ShellOpen(""), SE_ERR_FNF);

    // Without xdg-open nothing can open a document.
    setenv("PATH", dir.path().c_str(), 1);
    EXPECT_EQ(ShellOpen(document.string()), SE_ERR_NOASSOC);
    EXPECT_FALSE(OpenUrl("https://example.org"));
}
