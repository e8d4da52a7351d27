// Opening by data-source name, with credentials or trusted, against data
// sources of the test's own (one process per ODBC configuration).
#include "tests/common/kelmdb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/inotify.h>
#include <unistd.h>

using namespace ado;
namespace fs = std::filesystem;

namespace {

class AdoDsn : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!kelm::test::PgAvailable())
            return;
        s_db = new kelm::test::PgDatabase("ado_dsn");
        s_dir = new kelm::test::TempDir();
        s_role = "kelm_dsn_" + std::to_string(::getpid());
        kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + s_role);
        kelm::test::PgAdminExec("CREATE ROLE " + s_role + " LOGIN PASSWORD 'pa;ss{}'");
        const char* sysini = std::getenv("ODBCSYSINI");
        std::string drivers = sysini ? kelm::test::readFile(fs::path(sysini) / "odbcinst.ini") : std::string();
        s_dir->write("odbcinst.ini", drivers);
        s_dir->write("odbc.ini", "[KelmTcp]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                                     kelm::test::PgPort() + "\nDatabase=" + s_db->name() +
                                     "\n\n[KelmSocket]\nDriver=PostgreSQL Unicode\nServername=" +
                                     kelm::test::PgHost() + "\nPort=" + kelm::test::PgPort() +
                                     "\nDatabase=" + s_db->name() + "\n");
        s_dir->write("user-odbc.ini", "");
        setenv("ODBCSYSINI", s_dir->path().c_str(), 1);
        setenv("ODBCINI", (s_dir->path() / "user-odbc.ini").c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete s_db;
        delete s_dir;
        if (!s_role.empty()) {
            try {
                kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + s_role);
            } catch (...) {
            }
        }
    }
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        cn.CreateInstance("ADODB.Connection");
    }
    std::string SessionUser()
    {
        auto rs = cn->Execute("SELECT session_user AS u");
        return rs->GetCollect("u");
    }
    _com_error OpenError(const std::string& text, const std::string& user, const std::string& password)
    {
        try {
            cn->Open(text, user, password, -1);
        } catch (const _com_error& e) {
            EXPECT_EQ(cn->GetState(), adStateClosed);
            return e;
        }
        ADD_FAILURE() << "open of " << text << " succeeded";
        cn->Close();
        return _com_error(S_OK);
    }

    static kelm::test::PgDatabase* s_db;
    static kelm::test::TempDir* s_dir;
    static std::string s_role;
    _ConnectionPtr cn;
};

kelm::test::PgDatabase* AdoDsn::s_db = nullptr;
kelm::test::TempDir* AdoDsn::s_dir = nullptr;
std::string AdoDsn::s_role;

TEST_F(AdoDsn, BareNameWithUserAndPassword)
{
    auto wrong = OpenError("KelmTcp", s_role, "bad");
    EXPECT_EQ(wrong.Error(), E_FAIL);
    EXPECT_GT(wrong.Description().length(), 0u);
    EXPECT_FALSE(wrong.SqlState().empty());
    // The same object, opened again after the failure.
    cn->Open("KelmTcp", s_role, "pa;ss{}", -1);
    EXPECT_EQ(cn->GetState(), adStateOpen);
    EXPECT_EQ(SessionUser(), s_role);
    EXPECT_EQ(cn->GetLoginUser(), s_role);
    cn->Close();
    cn->Open("KelmTcp", s_role, "pa;ss{}", -1);
    EXPECT_EQ(cn->GetState(), adStateOpen);
}

TEST_F(AdoDsn, CredentialsBesideAConnectionStringStayWhole)
{
    cn->Open("Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + kelm::test::PgPort() +
                 ";Database=" + s_db->name() + ";",
             s_role, "pa;ss{}", -1);
    EXPECT_EQ(SessionUser(), s_role);
    cn->Close();
    // The data source by key, with the credentials given apart.
    cn->Open("Provider=MSDASQL;DSN=KelmTcp;", s_role, "pa;ss{}", -1);
    EXPECT_EQ(SessionUser(), s_role);
}

TEST_F(AdoDsn, TrustedFormUsesTheDataSourceAndTheOsIdentity)
{
    cn->Open("Provider=MSDASQL;DSN=KelmSocket;", "", "", -1);
    EXPECT_EQ(SessionUser(), kelm::test::PgUser());
    EXPECT_EQ(cn->GetLoginUser(), "");
}

// Counts the opens of files while it lives.
class OpenCounter {
public:
    explicit OpenCounter(const std::vector<fs::path>& files) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        for (const fs::path& file : files)
            m_watches[inotify_add_watch(m_fd, file.c_str(), IN_OPEN)] = file;
    }
    ~OpenCounter() { close(m_fd); }
    std::map<fs::path, int> Opens()
    {
        std::map<fs::path, int> opens;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                ++opens[m_watches[event->wd]];
                p += sizeof(inotify_event) + event->len;
            }
        return opens;
    }

private:
    int m_fd;
    std::map<int, fs::path> m_watches;
};

TEST_F(AdoDsn, ADataSourceIsReadOnceAndItsSettingsApplyAsTheDriverManagerFindsThem)
{
    // The user's section of a name wins over the system's; the data source's
    // own user and password count unless others are given.
    const fs::path system = s_dir->path() / "odbc.ini", user = s_dir->path() / "user-odbc.ini";
    const std::string systemBefore = kelm::test::readFile(system);
    s_dir->write("odbc.ini", systemBefore + "\n[KelmShadowed]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                                 kelm::test::PgPort() + "\nDatabase=postgres\n");
    s_dir->write("user-odbc.ini", "[KelmShadowed]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                                      kelm::test::PgPort() + "\nDatabase=" + s_db->name() + "\nUsername=" + s_role +
                                      "\nPassword=pa;ss{}\n\n[KelmSocketAsNobody]\nDriver=PostgreSQL Unicode\n"
                                      "Servername=" +
                                      kelm::test::PgHost() + "\nPort=" + kelm::test::PgPort() + "\nDatabase=" +
                                      s_db->name() + "\nUsername=nobody_at_all\n");
    {
        OpenCounter counter({system, user});
        cn->Open("KelmShadowed", "", "", -1);
        EXPECT_EQ(SessionUser(), s_role);
        EXPECT_EQ(std::string(cn->Execute("SELECT current_database() AS d")->GetCollect("d")), s_db->name());
        const auto opens = counter.Opens();
        EXPECT_LE(opens.count(system) ? opens.at(system) : 0, 1);
        EXPECT_EQ(opens.count(user) ? opens.at(user) : 0, 1);
    }
    cn->Close();
    cn->Open("Provider=MSDASQL;DSN=KelmSocketAsNobody;", kelm::test::PgUser(), "", -1);
    EXPECT_EQ(SessionUser(), kelm::test::PgUser());
    cn->Close();
    s_dir->write("odbc.ini", systemBefore);
    s_dir->write("user-odbc.ini", "");
}

TEST_F(AdoDsn, UnknownEmptyAndSmuggledNamesFail)
{
    for (const std::string& text : {std::string("NoSuchDsn"), std::string(""),
                                    std::string("Provider=MSDASQL;DSN={KelmSocket;Database=postgres};")}) {
        SCOPED_TRACE(text);
        auto e = OpenError(text, "", "");
        EXPECT_EQ(e.Error(), E_FAIL);
        EXPECT_EQ(e.SqlState(), "IM002");
        EXPECT_NE(std::string(e.Description()).find("[unixODBC][Driver Manager]"), std::string::npos);
    }
}

} // namespace
