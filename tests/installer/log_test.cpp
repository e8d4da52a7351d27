#include "installer/common/logfile.h"
#include "installer/common/utils.h"

#include "tests/common/testsupport.h"
#include "winapi/module_version.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

WINAPI_MODULE_VERSION("installer tests")

using namespace dorvik;

namespace {

// A documents folder of the test's own and a fixed clock.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.set("XDG_DOCUMENTS_DIR", dir.path().string());
        setenv("TZ", "UTC", 1);
        tzset();
    }
    // Logs whose lines carry the test's clock.
    template <class... Logs> void clocked(Logs&... logs)
    {
        (logs.SetClock([this] { return now; }), ...);
    }

    kelm::test::ScopedEnv env;
    kelm::test::TempDir dir;
    std::time_t now = 1700000000; // 14.11.2023 22:13:20
};

const std::string kVersion = std::to_string(KELM_VERSION_MAJOR) + "." + std::to_string(KELM_VERSION_MINOR) + "." +
                             std::to_string(KELM_VERSION_PATCH) + "." + std::to_string(KELM_VERSION_TWEAK);

} // namespace

TEST_F(LogTest, HeaderAndEndRecord)
{
    CLogFile log;
    clocked(log);
    EXPECT_EQ(log.GetPath(), (dir / "Varnholt Inc/Orvo-Dorvik.log").string());
    ASSERT_TRUE(log.Open());
    log.BeginLog();
    log.WriteHost();
    log.WriteProgramVersion();
    log.WriteDMOVersion();
    log.WriteSQLServerVersion(nullptr);
    log.WriteLogin(nullptr, "(LOCAL)", "sa", false);
    EXPECT_TRUE(log.WriteLine("a line of the run"));
    EXPECT_FALSE(log.WriteLine(""));
    now += 65;
    log.EndLog(3);
    log.Close();
    EXPECT_FALSE(log.WriteLine("lost while closed"));

    std::string v = "PRODUCT : " + kVersion + "; FILE : " + kVersion;
    std::string expected = "\r\n\r\n" + std::string(70, '/') + "\r\n" + "\r\nBEGIN LOG\r\n" +
                           "DATE=14.11.2023 22:13:20\r\n\r\n" + "HOST=" + GetComputerNameUpper() + "\r\n" +
                           "VER_DORVIK    =" + v + "\r\n" + "VER_DMO       =DMOLIBINFO : 8.0.0; " + v + "\r\n" +
                           "Can not check SQL Server version !\r\n" + "SERVER=(LOCAL) NETNAME : ???\r\n" +
                           "USER=sa\r\n" + "TRUSTED=0\r\n" + "a line of the run\r\n" +
                           "Installation was terminated by user\r\n" + "\r\nINSTALL STATUS : FAILED\r\n\r\n" +
                           "DATE=14.11.2023 22:14:25\r\n" + "END LOG\r\n";
    EXPECT_EQ(kelm::test::readFile(log.GetPath()), expected);
}

TEST_F(LogTest, RunsAppendAndStatusWords)
{
    struct Case {
        int status;
        const char* word;
    } cases[] = {{0, "SUCCESS"}, {1, "SUCCESS WITH WARNINGS"}, {2, "FAILED"}, {7, "FAILED"}};
    CLogFile log("status.log");
    clocked(log);
    for (const auto& c : cases) {
        ASSERT_TRUE(log.Open());
        log.EndLog(c.status);
        log.Close();
    }
    std::string text = kelm::test::readFile(log.GetPath());
    std::size_t at = 0;
    for (const auto& c : cases) {
        std::string line = std::string("\r\nINSTALL STATUS : ") + c.word + "\r\n\r\n";
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << c.status;
        ++at;
    }
    EXPECT_EQ(text.find("terminated"), std::string::npos);
}

TEST_F(LogTest, DorviksLogIsExclusiveTheSharedLogIsNot)
{
    CLogFile first, second;
    clocked(first, second);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    first.Abort("fatal", 2);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.Open());

    CSetupLogFile setup, uninstall;
    clocked(setup, uninstall);
    EXPECT_EQ(setup.GetPath(), (dir / "Varnholt Inc/Orvo Server/Orvo_App.log").string());
    ASSERT_TRUE(setup.Open());
    ASSERT_TRUE(uninstall.Open());
    for (int i = 0; i < 50; ++i) {
        setup.WriteLine("setup " + std::to_string(i));
        uninstall.WriteLine("uninstall " + std::to_string(i));
    }
    setup.WriteProgramVersion();
    setup.Close();
    uninstall.Close();
    std::string text = kelm::test::readFile(setup.GetPath());
    for (int i = 0; i < 50; ++i) {
        EXPECT_NE(text.find("setup " + std::to_string(i) + "\r\n"), std::string::npos);
        EXPECT_NE(text.find("uninstall " + std::to_string(i) + "\r\n"), std::string::npos);
    }
    EXPECT_NE(text.find("VER_SETUP   =PRODUCT : " + kVersion), std::string::npos);
}

TEST_F(LogTest, UnderSudoTheLogsStayTheUsers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root hands files to another user";
    const passwd* pw = ::getpwnam("nobody");
    uid_t uid = pw ? pw->pw_uid : 65534;
    ::setenv("SUDO_UID", std::to_string(uid).c_str(), 1);
    {
        CLogFile dorvik;
        CSetupLogFile setup;
        clocked(dorvik, setup);
        ASSERT_TRUE(dorvik.Open());
        ASSERT_TRUE(setup.Open());
        dorvik.WriteLine("as root");
        setup.WriteLine("as root");
    }
    ::unsetenv("SUDO_UID");
    for (const char* made : {"Varnholt Inc", "Varnholt Inc/Orvo-Dorvik.log", "Varnholt Inc/Orvo Server",
                             "Varnholt Inc/Orvo Server/Orvo_App.log"}) {
        struct stat st {};
        ASSERT_EQ(::stat((dir / made).c_str(), &st), 0) << made;
        EXPECT_EQ(st.st_uid, uid) << made;
    }
    // The user's own run logs on.
    std::string report = kelm::test::RunUnprivileged({}, [] {
        CLogFile dorvik;
        CSetupLogFile setup;
        return std::string(dorvik.Open() && dorvik.WriteLine("as the user") ? "dorvik " : "") +
               (setup.Open() && setup.WriteLine("as the user") ? "setup" : "");
    });
    EXPECT_EQ(report, "dorvik setup");
    EXPECT_EQ(kelm::test::readFile(dir / "Varnholt Inc/Orvo-Dorvik.log"), "as root\r\nas the user\r\n");
}
