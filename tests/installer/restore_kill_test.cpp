// A Dorvik killed while pg_restore runs leaves the database as it was, its
// tool ends with it, and the next run drops what the killed one left.
#include "tests/installer/restorefixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

extern char** environ;

using kelm::test::RestoreTest;

namespace {

class KilledRestore : public RestoreTest {
protected:
    void SetUp() override
    {
        RestoreTest::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "dorvik needs a display";
        std::filesystem::create_directories(home / "runtime");
        std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
    }
    // dorvik -quite on a kit whose one step restores `dump`.
    pid_t start(const std::string& name, const std::string& dump)
    {
        std::string ini = dir.write(name, "[LOGIN]\nServer=" + kelm::test::PgHost() + "," + kelm::test::PgPort() +
                                              "\nTrustedConnection=1\n[PATCHDB]\nSectionDescriptionE=Restore\n"
                                              "Step1=LoadDump(" + db->name() + ", " + dump + ")\n")
                              .string();
        std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + (home / "runtime").string(),
                                        "XDG_DOCUMENTS_DIR=" + (home / "Documents").string(),
                                        "ASAN_OPTIONS=detect_leaks=0"};
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string key = entry.substr(0, entry.find('='));
            if (key != "XDG_RUNTIME_DIR" && key != "XDG_DOCUMENTS_DIR" && key != "ASAN_OPTIONS")
                env.push_back(entry);
        }
        std::vector<char*> envp, argv = {const_cast<char*>(DORVIK_BIN), const_cast<char*>("-quite"), ini.data()};
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, DORVIK_BIN, nullptr, nullptr, argv.data(), envp.data()), 0);
        return pid;
    }
    static int exitStatus(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    kelm::test::TempDir home;
};

} // namespace

TEST_F(KilledRestore, LeavesTheDatabaseAndTheNextRunDropsWhatItLeft)
{
    std::string slow = slowArchive(), good = dump("good.dump", "custom");
    db->exec("INSERT INTO t (v) VALUES ('later')");
    std::string before = content();

    pid_t dorvik = start("slow.ini", slow);
    ASSERT_GT(dorvik, 0);
    bool restoring = waitFor([&] { return restoreSessions() != "0"; }, std::chrono::seconds(90));
    kill(dorvik, SIGKILL);
    exitStatus(dorvik);
    ASSERT_TRUE(restoring);
    // pg_restore ended with Dorvik, and its session with it.
    EXPECT_TRUE(waitFor([&] { return restoreSessions() == "0"; }, std::chrono::seconds(15)));
    EXPECT_EQ(content(), before);
    EXPECT_EQ(scratchDatabases(), "1");

    EXPECT_EQ(exitStatus(start("good.ini", good)), 0);
    EXPECT_EQ(kelm::test::Query(*db, "SELECT string_agg(v, ',' ORDER BY id) FROM t"), "one,two,три");
    EXPECT_EQ(scratchDatabases(), "0");
}
