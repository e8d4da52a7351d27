// Two sessions save the charts of two document types at the same time: each
// keeps all its rows, and every action points at a move of its own chart.
#include "chartdb_support.h"

#include "charts/chartshell.h"
#include "workflow_support.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

namespace {

thread_local ado::_ConnectionPtr t_connection;

// The application's connection is the session's own in each thread.
class PerThreadShell : public wft::ScriptedShell {
public:
    ado::_ConnectionPtr Connection() override { return t_connection; }
};

ado::_ConnectionPtr open(const std::string& connString)
{
    ado::_ConnectionPtr c;
    c.CreateInstance("ADODB.Connection");
    c->Open(connString, "", "", -1);
    return c;
}

long count(const ado::_ConnectionPtr& c, const std::string& sql)
{
    ado::_RecordsetPtr rs = c->Execute(sql);
    const long n = static_cast<long>(rs->GetCollect(ado::_variant_t(0)).ToInt64());
    rs->Close();
    return n;
}

TEST(ChartDbSessions, TwoSessionsSavingAtOnceBothKeepTheirRows)
{
    KELM_REQUIRE_PG();
    kelm::test::PgDatabase pg("chartdb_sessions");
    ado::_ConnectionPtr admin = open(pg.odbcConnString());
    chartdb::LoadSchema(admin, true, KELM_SOURCE_DIR);
    chartdb::FillCatalogue(admin, 3, 30, 2);
    admin->Execute("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState) VALUES (3, 4, 70001, 1)");
    admin->Execute("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState) VALUES (3, 5, 70002, 1)");

    PerThreadShell shell;
    tarnwick::SetChartShell(&shell);
    CTarnwickModel charts[2];
    chartdb::BuildChart(charts[0], 3, 4, 70001, 30, 2, 2);
    chartdb::BuildChart(charts[1], 3, 5, 70002, 25, 3, 1);
    const long moves[2] = {60, 75};
    const long actions[2] = {120, 75};

    for (int round = 0; round < 3; ++round) {
        bool saved[2] = {false, false};
        std::latch start(2);
        auto session = [&](int i) {
            t_connection = open(pg.odbcConnString());
            start.arrive_and_wait();
            saved[i] = charts[i].SaveToDB();
            t_connection->Close();
            t_connection = nullptr;
        };
        std::thread a(session, 0), b(session, 1);
        a.join();
        b.join();
        ASSERT_TRUE(saved[0] && saved[1]) << "round " << round;
        for (int i = 0; i < 2; ++i) {
            const std::string typeDoc = std::to_string(70001 + i);
            EXPECT_EQ(count(admin, "SELECT count(*) FROM MainDocState WHERE TypeDoc = " + typeDoc), i ? 25 : 30);
            EXPECT_EQ(count(admin, "SELECT count(*) FROM MainDocMove WHERE TypeDoc = " + typeDoc), moves[i]);
            EXPECT_EQ(count(admin, "SELECT count(*) FROM MainDocAction WHERE TypeDoc = " + typeDoc), actions[i]);
            // The move an action points at is the move it belongs to.
            EXPECT_EQ(count(admin, "SELECT count(*) FROM MainDocAction a JOIN MainDocMove m ON m.idMove = a.idMove "
                                   "WHERE a.TypeDoc = " +
                                       typeDoc +
                                       " AND m.TypeDoc = a.TypeDoc AND m.State = a.State AND m.NewState = a.NewState"),
                      actions[i]);
        }
    }
    EXPECT_TRUE(shell.messages.empty());
    tarnwick::SetChartShell(nullptr);
    admin->Close();
}

} // namespace
