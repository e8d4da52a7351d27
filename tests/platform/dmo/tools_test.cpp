#include "dmo/error.h"
#include "dmo/restore.h"
#include "dmo/tools.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using kelm::test::TempDir;

namespace {

struct DumpCase {
    const char* name;
    std::string bytes;
    const char* refused; // a part of the refusal, or null when the dump passes
};

void expectRefusals(const std::vector<DumpCase>& cases, dmo::Restore::Format format)
{
    TempDir dir;
    for (const auto& c : cases) {
        std::string refusal;
        try {
            EXPECT_TRUE(dmo::Restore::CheckWhole(dir.write("dump", c.bytes).string(), format));
        } catch (const dmo::Error& e) {
            refusal = e.description;
        }
        if (c.refused)
            EXPECT_NE(refusal.find(c.refused), std::string::npos) << c.name << ": " << refusal;
        else
            EXPECT_EQ(refusal, "") << c.name;
    }
}

} // namespace

TEST(RunTool, CancelEndsAToolThatIgnoresTheRequestToStop)
{
    std::atomic<bool> cancel{false};
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    auto start = std::chrono::steady_clock::now();
    auto run = dmo::RunTool({"/bin/sh", "-c", "trap '' TERM; echo started >&2; exec sleep 60"}, {}, -1,
                            [&] { return cancel.load(); });
    user.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(run.cancelled);
    EXPECT_EQ(run.exitStatus, 128 + SIGKILL);
    EXPECT_EQ(run.errorText, "started");
}

TEST(CheckWhole, APlainDumpEndsWithItsClosingCommentAndMakesNoDatabaseOfItsOwn)
{
    const std::string closing = "--\n-- PostgreSQL database dump complete\n--\n\n";
    const std::string copy = "COPY public.t (a) FROM stdin;\n";
    auto crlf = [](std::string text) {
        for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
            text.insert(at, "\r");
        return text;
    };
    expectRefusals(
        {
            {"whole, with pg_dump's last line", "SET x = 1;\n" + copy + "1\n\\.\n" + closing + "\\unrestrict k\n",
             nullptr},
            {"CR LF line ends", crlf(copy + "1\n\\.\n" + closing), nullptr},
            {"data lines that read like commands", copy + "\\\\connect x\nDROP DATABASE y\n\\.\n" + closing,
             nullptr},
            {"cut in data that ends like the closing comment", copy + "1\n" + closing, "not a whole dump"},
            {"a statement after the closing comment", closing + "SELECT 1;\n", "not a whole dump"},
            {"\\connect", "\\connect other\n" + closing, "--create"},
            {"\\c with blanks before it", "  \\c other\n" + closing, "--create"},
            {"create database in lower case", "create database other;\n" + closing, "--create"},
            {"DROP DATABASE IF EXISTS", "DROP DATABASE IF EXISTS other;\n" + closing, "--create"},
        },
        dmo::Restore::Format::Plain);
}

TEST(CheckWhole, ATarArchiveHoldsEveryMemberUpToItsEnd)
{
    TempDir dir;
    dir.write("a.dat", std::string(1000, 'a'));
    dir.write("b.dat", std::string(3000, 'b'));
    ASSERT_EQ(std::system(("tar -C '" + dir.path().string() + "' -cf '" + (dir / "x.tar").string() +
                           "' a.dat b.dat")
                              .c_str()),
              0);
    const std::string whole = kelm::test::readFile(dir / "x.tar");
    std::string corrupt = whole;
    corrupt[3] = 'X'; // a's name, under its header checksum
    expectRefusals(
        {
            {"whole", whole, nullptr},
            {"cut after a member, before the next", whole.substr(0, 512 + 1024), "end-of-archive"},
            {"cut inside a member", whole.substr(0, 512 + 1024 + 512 + 1000), "\"b.dat\" is cut short"},
            {"a corrupt header", corrupt, "corrupt"},
        },
        dmo::Restore::Format::Tar);
}
