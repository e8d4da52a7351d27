// The driver manager's trace, on while connections open with a password:
// the password never reaches the trace file, whichever key carries it.
#include "tests/common/kelmdb.h"

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <unistd.h>

using namespace ado;

namespace {

class AdoTrace : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::PgDatabase>("ado_trace");
        role = "kelm_trace_" + std::to_string(::getpid());
        kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
        kelm::test::PgAdminExec("CREATE ROLE " + role + " LOGIN PASSWORD 'Sekrit42'");
        kelm::test::PgAdminExec("GRANT CONNECT ON DATABASE " + db->name() + " TO " + role);
        trace = (dir / "dm.log").string();
        SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACEFILE, trace.data(), SQL_NTS);
    }
    void TearDown() override
    {
        SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_OFF), 0);
        db.reset();
        if (!role.empty()) {
            try {
                kelm::test::PgAdminExec("DROP ROLE IF EXISTS " + role);
            } catch (...) {
            }
        }
    }
    static bool TraceOn()
    {
        SQLUINTEGER value = 0;
        return SQL_SUCCEEDED(SQLGetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, &value, sizeof value, nullptr)) &&
               value == SQL_OPT_TRACE_ON;
    }

    std::unique_ptr<kelm::test::PgDatabase> db;
    std::string role;
    kelm::test::TempDir dir;
    std::string trace;
};

TEST_F(AdoTrace, PasswordNeverReachesTheTrace)
{
    const std::string base = "Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + kelm::test::PgPort() +
                             ";Database=" + db->name() + ";UID=" + role + ";";
    const struct {
        std::string connect;
        std::string password; // given beside the connection string
    } cases[] = {
        {base + "PWD=Sekrit42;", ""},
        {base + "Password=Sekrit42;", ""},
        {base + "PASSWORD={Sekrit42};", ""},
        {base + "pwd=Sekrit42", ""},
        {base, "Sekrit42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connect);
        SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_ON), 0);
        _ConnectionPtr cn;
        ASSERT_EQ(cn.CreateInstance("ADODB.Connection"), S_OK);
        ASSERT_NO_THROW(cn->Open(c.connect, "", c.password, -1));
        EXPECT_TRUE(TraceOn()) << "the trace is on again after the connect";
        auto rs = cn->Execute("SELECT session_user AS u");
        EXPECT_EQ(std::string(rs->GetCollect("u")), role);
        rs->Close();
        cn->Close();
        SQLSetConnectAttr(SQL_NULL_HDBC, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_OFF), 0);
        const std::string text = std::filesystem::exists(trace) ? kelm::test::readFile(trace) : std::string();
        EXPECT_NE(text.find("session_user"), std::string::npos) << "the trace was on and written";
        EXPECT_EQ(text.find("Sekrit42"), std::string::npos);
    }
}

} // namespace
