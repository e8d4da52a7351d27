// Diagnostic records read from real handles, through the narrow and the
// wide calls.
#include "odbcbase/calls.h"
#include "odbcbase/diagnostics.h"
#include "odbcbase/engine.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace kelm::test;

class Handles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)));
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)));
    }
    void TearDown() override
    {
        if (stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (connected)
            SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool connected = false;
};

TEST_F(Handles, AFailedConnectionGivesTheDriverManagersRecord)
{
    for (bool narrow : {true, false}) {
        SQLRETURN rc = odbcbase::DriverConnect(dbc, "DSN=kelm_no_such_source_here", narrow);
        ASSERT_FALSE(odbcbase::Succeeded(rc));
        const auto records = odbcbase::ReadDiagnostics(SQL_HANDLE_DBC, dbc, narrow);
        ASSERT_FALSE(records.empty()) << narrow;
        EXPECT_EQ(records.front().sqlState, "IM002") << narrow;
        EXPECT_NE(records.front().message.find("not found"), std::string::npos) << records.front().message;
        EXPECT_EQ(odbcbase::FirstSqlState(SQL_HANDLE_DBC, dbc), "IM002");
    }
    EXPECT_TRUE(odbcbase::ReadDiagnostics(SQL_HANDLE_DBC, nullptr).empty());
}

TEST_F(Handles, StatementMessagesAreReadWholeAndTheEngineIsKnown)
{
    TempDir dir;
    ASSERT_TRUE(odbcbase::Succeeded(odbcbase::DriverConnect(dbc, SqliteConnString(dir / "diag.db"), true)));
    connected = true;
    EXPECT_EQ(odbcbase::EngineOfConnection(dbc), odbcbase::Engine::Sqlite);
    EXPECT_EQ(odbcbase::InfoText(dbc, SQL_DBMS_NAME, false), "SQLite");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)));
    // A message of a few hundred characters (the driver gives at most 512).
    const std::string table = "t" + std::string(300, 'x') + "_end";
    ASSERT_FALSE(odbcbase::Succeeded(odbcbase::ExecDirect(stmt, "SELECT * FROM " + table, true)));
    for (bool narrow : {true, false}) {
        const auto records = odbcbase::ReadDiagnostics(SQL_HANDLE_STMT, stmt, narrow);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.front().sqlState.size(), 5u);
        EXPECT_NE(records.front().message.find(table), std::string::npos) << narrow;
    }
}

} // namespace
