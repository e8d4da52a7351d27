// Two sessions at once: saving the charts of two document types, each keeps
// all its rows; saving one chart, the saves run one after the other and a
// save over rows another session changed since the load asks first.
#include "tests/charts/chartdb_support.h"

#include "afx/archive.h"
#include "afx/file.h"
#include "charts/documents/core/chartrows.h"
#include "charts/shell/core/chartshell.h"
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <latch>
#include <mutex>
#include <set>
#include <thread>

using namespace wft;

namespace {

thread_local ado::_ConnectionPtr t_connection;
// The session's answer to the question before a save over changed rows.
thread_local bool t_answer = false;
thread_local int t_asked = 0;

// The application's connection and the user's answers are the session's own
// in each thread.
class PerThreadShell : public wft::ScriptedShell {
public:
    ado::_ConnectionPtr Connection() override { return t_connection; }
    bool AskYesNo(const std::string& text) override
    {
        ++t_asked;
        std::lock_guard<std::mutex> lock(m_mutex);
        questions.push_back(text);
        return t_answer;
    }
    void Message(const std::string& text, const std::string&, tarnwick::ChartIcon) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        messages.push_back(text);
    }

private:
    std::mutex m_mutex;
};

const std::string kChangedQuestion =
    "Диаграмма была изменена другим пользователем после загрузки.\nСохранить вашу версию поверх?";

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
    t_connection = nullptr;
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

// The chart of the workflow fixture (document type 70001: states 1 to 3,
// four moves, three actions), opened by sessions of their own.
class OneChart : public ::testing::TestWithParam<Engine> {
protected:
    struct Rows {
        std::set<std::string> states, moves, actions;
        bool operator==(const Rows&) const = default;
    };

    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<KelmDb>(GetParam(), "chartdb_one");
        db->ExecLines(std::filesystem::path(WORKFLOW_FIXTURES) / "chartdb_chart.sql");
        for (const char* table : {"MainDocState", "MainDocMove", "MainDocAction"})
            db->Exec(std::string("CREATE TABLE base_") + table + " AS SELECT * FROM " + table +
                     " WHERE TypeDoc = 70001");
        tarnwick::SetChartShell(&shell);
        t_connection = nullptr;
        t_asked = 0;
        base = Current();
        withState4 = base;
        withState4.states.insert("4");
        withState4.moves.insert("1>4");
        withState4.actions.insert("1>4:10");
    }
    void TearDown() override
    {
        t_connection = nullptr;
        tarnwick::SetChartShell(nullptr);
    }

    // Puts the chart's rows back as the fixture made them, ids and all.
    void Restore()
    {
        for (const char* table : {"MainDocAction", "MainDocMove", "MainDocState"}) {
            db->Exec(std::string("DELETE FROM ") + table + " WHERE TypeDoc = 70001");
            db->Exec(std::string("INSERT INTO ") + table + " SELECT * FROM base_" + table);
        }
    }

    // The chart's rows: states, moves by their ends, actions by their
    // move's ends, each action through the move its idMove points at.
    Rows Current()
    {
        Rows rows;
        auto read = [&](const std::string& sql, std::set<std::string>& into) {
            ado::_RecordsetPtr rs = db->connection->Execute(sql);
            for (; !rs->IsEOF(); rs->MoveNext())
                into.insert(rs->GetCollect(ado::_variant_t(0)).ToString());
            rs->Close();
        };
        read("SELECT State FROM MainDocState WHERE TypeDoc = 70001", rows.states);
        read("SELECT State || '>' || NewState FROM MainDocMove WHERE TypeDoc = 70001", rows.moves);
        read("SELECT m.State || '>' || m.NewState || ':' || a.Action FROM MainDocAction a "
             "LEFT JOIN MainDocMove m ON m.idMove = a.idMove WHERE a.TypeDoc = 70001",
             rows.actions);
        return rows;
    }

    std::unique_ptr<CTarnwickModel> Load(const ado::_ConnectionPtr& connection)
    {
        t_connection = connection;
        auto model = std::make_unique<CTarnwickModel>();
        EXPECT_TRUE(model->LoadFromDB(70001, true));
        t_connection = nullptr;
        return model;
    }

    // State 4, a move from state 1 to it and an action on that move.
    static void AddState4(CTarnwickModel& model)
    {
        CAWFState* s4 = AddState(model, model.GetDocType(70001, ""), 4, 400, 300);
        CAWFLink* move = AddLink(model, model.FindState(70001, 1), s4);
        AddLink(model, move, AddAction(model, 10, "Провести", 1, 420, 380));
        model.SetModified(true);
    }

    // Saves in this thread as the session of the connection, answering the
    // question (if asked) with answer; gives the questions asked.
    static int Save(CTarnwickModel& model, const ado::_ConnectionPtr& connection, bool answer, bool& saved)
    {
        t_connection = connection;
        t_answer = answer;
        t_asked = 0;
        saved = model.SaveToDB();
        t_connection = nullptr;
        return t_asked;
    }

    PerThreadShell shell;
    std::unique_ptr<KelmDb> db;
    Rows base, withState4;
};

TEST_P(OneChart, TwoSessionsSavingOneChartAtOnceLeaveOneWholeVersion)
{
    const ado::_ConnectionPtr sessions[2] = {db->Open(), db->Open()};
    for (int round = 0; round < 30; ++round) {
        Restore();
        // A adds state 4 with its move and action; B saves the copy it loaded before.
        std::unique_ptr<CTarnwickModel> models[2] = {Load(sessions[0]), Load(sessions[1])};
        AddState4(*models[0]);
        // Whoever comes second finds the other's rows and is asked: half the
        // rounds it writes over them, half it leaves them.
        const bool overwrite = round % 2 == 0;
        bool saved[2] = {false, false};
        int asked[2] = {0, 0};
        std::latch start(2);
        auto session = [&](int i) {
            start.arrive_and_wait();
            asked[i] = Save(*models[i], sessions[i], overwrite, saved[i]);
        };
        std::thread a(session, 0), b(session, 1);
        a.join();
        b.join();

        ASSERT_EQ(asked[0] + asked[1], 1) << "round " << round;
        const int second = asked[0] ? 0 : 1;
        EXPECT_TRUE(saved[1 - second]) << "round " << round;
        EXPECT_EQ(saved[second], overwrite) << "round " << round;
        const int last = overwrite ? second : 1 - second;
        EXPECT_EQ(Current(), last == 0 ? withState4 : base) << "round " << round << ", last writer " << last;
    }
    EXPECT_TRUE(shell.messages.empty());
    for (const std::string& question : shell.questions)
        EXPECT_EQ(question, kChangedQuestion);
}

TEST_P(OneChart, ASaveOverRowsChangedSinceTheLoadAsksAndNoChangesNothing)
{
    const ado::_ConnectionPtr a = db->Open(), b = db->Open();
    std::unique_ptr<CTarnwickModel> modelA = Load(a), modelB = Load(b);
    bool saved = false;

    AddState4(*modelA);
    EXPECT_EQ(Save(*modelA, a, false, saved), 0);
    ASSERT_TRUE(saved);
    ASSERT_EQ(Current(), withState4);
    // A's own save does not count as another's.
    EXPECT_EQ(Save(*modelA, a, false, saved), 0);
    EXPECT_TRUE(saved);

    // B's copy was loaded before A saved: No leaves the rows and B's edits.
    const std::string comment = "SELECT Comment FROM MainDocState WHERE TypeDoc = 70001 AND State = 2";
    const std::string commentOfA = db->Value(comment);
    modelB->FindState(70001, 2)->Comment = "изменено в B";
    modelB->SetModified(true);
    EXPECT_EQ(Save(*modelB, b, false, saved), 1);
    EXPECT_FALSE(saved);
    EXPECT_EQ(Current(), withState4);
    EXPECT_TRUE(modelB->IsModified());
    EXPECT_EQ(db->Value(comment), commentOfA);
    EXPECT_FALSE(b->InTransaction());
    // Yes writes B's version over A's, and B's next save asks nothing.
    EXPECT_EQ(Save(*modelB, b, true, saved), 1);
    EXPECT_TRUE(saved);
    EXPECT_EQ(Current(), base);
    EXPECT_EQ(db->Value(comment), "изменено в B");
    EXPECT_EQ(Save(*modelB, b, false, saved), 0);

    // A chart loaded again, or read from a file, asks nothing new.
    EXPECT_EQ(Save(*Load(a), a, false, saved), 0);
    EXPECT_TRUE(saved);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        modelA->Serialize(ar);
        ar.Close();
    }
    CTarnwickModel fromFile;
    {
        CMemFile in(file.Detach());
        CArchive ar(&in, CArchive::load);
        fromFile.Serialize(ar);
    }
    t_connection = a;
    ASSERT_TRUE(fromFile.LoadFromDB(70001, false));
    EXPECT_EQ(Save(fromFile, a, false, saved), 0);
    EXPECT_TRUE(saved);
    EXPECT_EQ(Current(), withState4);
    for (const std::string& question : shell.questions)
        EXPECT_EQ(question, kChangedQuestion);
}

TEST_P(OneChart, ASecondWriterWaitsForTheFirstAndThenFindsItsRows)
{
    // Another session changes a row of the chart and holds its transaction a while.
    const ado::_ConnectionPtr other = db->Open(), session = db->Open();
    std::unique_ptr<CTarnwickModel> model = Load(session);
    model->SetModified(true);
    other->BeginTrans();
    if (GetParam() == Engine::PostgreSQL)
        tarnwick::LockChart(other, 70001); // another save of the chart holds it
    other->Execute("UPDATE MainDocState SET Comment = 'другой' WHERE TypeDoc = 70001 AND State = 1");
    constexpr auto kHeld = std::chrono::milliseconds(1500);
    std::thread holder([&] {
        std::this_thread::sleep_for(kHeld);
        other->CommitTrans();
    });
    const auto t0 = std::chrono::steady_clock::now();
    bool saved = true;
    const int asked = Save(*model, session, false, saved);
    const auto waited = std::chrono::steady_clock::now() - t0;
    holder.join();

    EXPECT_GE(waited, kHeld - std::chrono::milliseconds(100));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(shell.messages.empty()) << shell.messages.front();
    EXPECT_EQ(Current(), base);
    EXPECT_EQ(db->Value("SELECT Comment FROM MainDocState WHERE TypeDoc = 70001 AND State = 1"), "другой");
}

INSTANTIATE_TEST_SUITE_P(Engines, OneChart, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

} // namespace
