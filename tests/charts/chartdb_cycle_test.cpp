// A chart's whole round trip through the workflow tables on both engines:
// load, edit, save, load again; a failing save; rows the load cannot place;
// stored drawings that are empty or broken; the archived drawing.
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/core/chartprogress.h"

#include "afx/archive.h"
#include "afx/file.h"
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <stdexcept>

using namespace wft;

namespace {

std::string cell(const ado::_variant_t& v)
{
    if (v.vt == ado::VT_NULL)
        return "NULL";
    if (v.vt == (ado::VT_ARRAY | ado::VT_UI1)) {
        const std::vector<std::uint8_t> bytes = v.ToBytes();
        std::uint32_t hash = 2166136261u;
        for (std::uint8_t b : bytes)
            hash = (hash ^ b) * 16777619u;
        return "blob" + std::to_string(bytes.size()) + ":" + std::to_string(hash);
    }
    return v.ToString();
}

class ChartDb : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<KelmDb>(GetParam(), "chartdb");
        scope.shell.connection = db->connection;
        db->ExecLines(std::filesystem::path(WORKFLOW_FIXTURES) / "chartdb_chart.sql");
    }

    bool Sqlite() const { return GetParam() == Engine::SQLite; }
    std::string BlobLiteral(const std::string& hex) const
    {
        return Sqlite() ? "X'" + hex + "'" : "'\\x" + hex + "'::bytea";
    }

    std::vector<std::string> Rows(const std::string& sql)
    {
        std::vector<std::string> rows;
        ado::_RecordsetPtr rs = db->connection->Execute(sql);
        for (; !rs->IsEOF(); rs->MoveNext()) {
            std::string row;
            for (long i = 0; i < rs->FieldCount(); ++i)
                row += (i ? "|" : "") + cell(rs->GetCollect(ado::_variant_t(static_cast<int>(i))));
            rows.push_back(row);
        }
        rs->Close();
        return rows;
    }

    // Every row of every chart table, blobs by size and hash.
    std::vector<std::string> Everything()
    {
        std::vector<std::string> all;
        for (const char* sql : {"SELECT * FROM MainDocType ORDER BY TypeDoc",
                                "SELECT * FROM MainDocState ORDER BY idState",
                                "SELECT * FROM MainDocMove ORDER BY idMove",
                                "SELECT * FROM MainDocAction ORDER BY idAction",
                                "SELECT Grp, Type, Symbol_Data FROM MainDocGraphic ORDER BY Type"}) {
            all.push_back(sql);
            for (const std::string& row : Rows(sql))
                all.push_back(row);
        }
        return all;
    }

    std::vector<std::string> States(int typeDoc)
    {
        return Rows("SELECT State, GenNewOperate, isHoleProcess, DataAction, DataActionI, Comment FROM MainDocState "
                    "WHERE TypeDoc = " +
                    std::to_string(typeDoc) + " ORDER BY State");
    }
    std::vector<std::string> Moves(int typeDoc)
    {
        return Rows("SELECT State, NewState, NewGrp, NewTypeDoc, MoveOptions, name_template, LinkState, "
                    "isPartialProc, isConcurrent FROM MainDocMove WHERE TypeDoc = " +
                    std::to_string(typeDoc) + " ORDER BY State, NewState");
    }
    // Each action with the ends of the move its idMove points at.
    std::vector<std::string> Actions(int typeDoc)
    {
        return Rows("SELECT a.State, a.NewState, a.Action, a.ActionGrp, a.TypeAction, a.OrderAction, m.State, "
                    "m.NewState FROM MainDocAction a LEFT JOIN MainDocMove m ON m.idMove = a.idMove WHERE "
                    "a.TypeDoc = " +
                    std::to_string(typeDoc) + " ORDER BY a.State, a.NewState, a.Action");
    }

    static CAWFAction* ActionOf(CTarnwickModel& model, std::int32_t id)
    {
        for (CODComponent* c : *model.GetComponents())
            if (auto* a = dynamic_cast<CAWFAction*>(c); a && a->GetActionId() == id)
                return a;
        return nullptr;
    }

    static void Delete(CTarnwickModel& model, CODComponent* c)
    {
        CODComponentSet set;
        set.Add(c);
        model.DeleteComponents(set);
    }

    ShellScope scope;
    std::unique_ptr<KelmDb> db;
};

TEST_P(ChartDb, LoadEditSaveAndLoadAgainGivesExactlyTheExpectedRows)
{
    const std::vector<std::string> otherChart = {States(70002)[0], States(70002)[1], Moves(70002)[0],
                                                 Actions(70002)[0]};
    const std::vector<std::string> idsBefore = Rows("SELECT idState FROM MainDocState WHERE TypeDoc = 70001 ORDER BY State");

    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    EXPECT_TRUE(scope.shell.messages.empty());
    EXPECT_EQ(model.GetGrp(), 3);
    EXPECT_EQ(model.GetType(), 4);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 3);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFCircleLink)), 1);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFLink)), 3 + 3); // moves and the links of the actions
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), 3);
    ASSERT_EQ(model.m_DocTypes.GetSize(), 1);
    EXPECT_EQ(static_cast<CAWFDocumentType*>(model.m_DocTypes.GetAt(0))->DocTypeOptions, 6);

    CAWFState* s1 = model.FindState(70001, 1);
    CAWFState* s2 = model.FindState(70001, 2);
    CAWFState* s3 = model.FindState(70001, 3);
    ASSERT_TRUE(s1 && s2 && s3);
    EXPECT_EQ(s1->Comment, "начало");
    EXPECT_EQ(s1->DataActionI, 7);
    EXPECT_EQ(s2->GenNewOperate, 1);
    EXPECT_EQ(s1->GetDocStateText(), "1:Введен");
    // States without a drawing stand in a cascade, in the order of their rows.
    EXPECT_EQ(s1->GetOrigin(), CPoint(0, 0));
    EXPECT_EQ(s2->GetOrigin(), CPoint(50, 50));
    EXPECT_EQ(s3->GetOrigin(), CPoint(100, 100));

    CAWFLink* m12 = model.FindMove(70001, 1, 70001, 2);
    CAWFLink* m21 = model.FindMove(70001, 2, 70001, 1);
    CAWFLink* m23 = model.FindMove(70001, 2, 70001, 3);
    ASSERT_TRUE(m12 && m21 && m23 && model.FindMove(70001, 3, 70001, 3));
    EXPECT_EQ(m12->name_template, "шаблон");
    EXPECT_EQ(m12->NewTypeDoc, 70002);
    EXPECT_EQ(m12->LinkState, 2);
    EXPECT_EQ(m21->isPartialProc, 1);
    // Opposite moves are bent apart; a lone move stays straight.
    EXPECT_EQ(m12->GetPointCount(), 3);
    EXPECT_EQ(m21->GetPointCount(), 3);
    // The second link ran straight from (130,75) to (50,25), so h = 40; each
    // bends to its own side, 20 units off the end's height.
    const std::vector<CPoint> bentFirst = {{50, 25}, {170, 45}, {130, 75}};
    const std::vector<CPoint> bentSecond = {{130, 75}, {90, 5}, {50, 25}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m12->GetPoint(i), bentFirst[i]) << i;
        EXPECT_EQ(m21->GetPoint(i), bentSecond[i]) << i;
    }
    EXPECT_NE(m12->GetPoint(1), m21->GetPoint(1));
    EXPECT_EQ(m23->GetPointCount(), 2);
    CODComponentSet actions;
    m12->GetActions(actions);
    EXPECT_EQ(actions.GetSize(), 2);
    ASSERT_TRUE(ActionOf(model, 12));
    EXPECT_EQ(ActionOf(model, 12)->TypeAction, 1); // NULL in the row
    EXPECT_EQ(ActionOf(model, 11)->Order, 2);

    // The edit: a state added (with a move to it), a move removed, actions changed.
    CAWFState* s4 = AddState(model, model.GetDocType(70001, "Заказ"), 4, 400, 300);
    AddLink(model, s3, s4);
    Delete(model, m21);
    ActionOf(model, 11)->Order = 5;
    ActionOf(model, 10)->TypeAction = 1;
    static_cast<CAWFDocumentType*>(model.m_DocTypes.GetAt(0))->defState = 2;
    model.SetModified(true);
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_FALSE(model.IsModified());
    EXPECT_TRUE(scope.shell.messages.empty());

    const std::vector<std::string> states = {"1|0|0|1|7|начало", "2|1|0|2|0|", "3|0|1|0|0|", "4|0|0|0|0|"};
    const std::vector<std::string> moves = {"1|2|3|70002|5|шаблон|2|0|0", "2|3|3|0|0||0|0|1", "3|3|3|0|0||0|0|0",
                                            "3|4|3|0|0||0|0|0"};
    const std::vector<std::string> actionRows = {"1|2|10|3|1|1|1|2", "1|2|11|3|1|5|1|2", "2|3|12|7|1|1|2|3"};
    EXPECT_EQ(States(70001), states);
    EXPECT_EQ(Moves(70001), moves);
    EXPECT_EQ(Actions(70001), actionRows);
    std::vector<std::string> ids = Rows("SELECT idState FROM MainDocState WHERE TypeDoc = 70001 ORDER BY State");
    ids.pop_back();
    EXPECT_EQ(ids, idsBefore); // kept rows are updated, not made anew
    EXPECT_EQ(Rows("SELECT defState, DocTypeOptions FROM MainDocType WHERE TypeDoc = 70001"),
              std::vector<std::string>{"2|6"});
    EXPECT_EQ(Rows("SELECT Type FROM MainDocGraphic"), std::vector<std::string>{"70002"});
    EXPECT_EQ((std::vector<std::string>{States(70002)[0], States(70002)[1], Moves(70002)[0], Actions(70002)[0]}),
              otherChart);

    // Loaded again, every element comes from its stored drawing.
    CTarnwickModel again;
    ASSERT_TRUE(again.LoadFromDB(70001, true));
    EXPECT_EQ(CountOf(again, RUNTIME_CLASS(CAWFState)), 4);
    EXPECT_EQ(CountOf(again, RUNTIME_CLASS(CAWFAction)), 3);
    EXPECT_EQ(again.m_NewComponents.GetSize(), 3); // only the links of the actions
    ASSERT_TRUE(again.FindState(70001, 4));
    EXPECT_EQ(again.FindState(70001, 4)->GetOrigin(), CPoint(400, 300));
    EXPECT_EQ(again.FindState(70001, 1)->Comment, "начало");
    EXPECT_FALSE(again.FindMove(70001, 2, 70001, 1));
    ASSERT_TRUE(again.FindMove(70001, 3, 70001, 4));
    CODComponentSet againActions;
    again.FindMove(70001, 1, 70001, 2)->GetActions(againActions);
    EXPECT_EQ(againActions.GetSize(), 2);
    EXPECT_EQ(ActionOf(again, 11)->Order, 5);
    EXPECT_TRUE(tarnwick::CheckChart(again, false));

    // Saving it unchanged changes nothing.
    const std::vector<std::string> before = Everything();
    ASSERT_TRUE(again.SaveToDB());
    EXPECT_EQ(Everything(), before);
}

TEST_P(ChartDb, AFailureInTheMiddleOfTheSaveLeavesEveryTableAsItWas)
{
    if (Sqlite()) {
        db->Exec("CREATE TRIGGER refuse_action BEFORE INSERT ON MainDocAction WHEN NEW.Action = 666 "
                 "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
    } else {
        db->Exec("CREATE FUNCTION refuse_action() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                 "IF NEW.Action = 666 THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$");
        db->Exec("CREATE TRIGGER refuse_action BEFORE INSERT ON MainDocAction FOR EACH ROW "
                 "EXECUTE FUNCTION refuse_action()");
    }
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    AddLink(model, model.FindState(70001, 3), AddState(model, model.GetDocType(70001, ""), 4, 400, 300));
    Delete(model, model.FindMove(70001, 2, 70001, 1));
    ActionOf(model, 11)->Order = 9;
    // The refused action comes after the deletes and the states' rows.
    AddLink(model, model.FindMove(70001, 2, 70001, 3), AddAction(model, 666, "отказ", 4, 0, 0));
    model.SetModified(true);

    const std::vector<std::string> before = Everything();
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(model.IsModified());
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("refused by the test"), std::string::npos) << scope.shell.messages[0];
    EXPECT_FALSE(db->connection->InTransaction());

    // Without the refused action the same chart saves.
    Delete(model, ActionOf(model, 666));
    EXPECT_TRUE(model.SaveToDB());
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocState WHERE TypeDoc = 70001"), 4);
}

TEST_P(ChartDb, ACommitTheServerRefusesIsRolledBackToo)
{
    if (Sqlite())
        GTEST_SKIP() << "SQLite checks nothing at commit that the schema could refuse";
    db->Exec("CREATE FUNCTION refuse_state() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
             "IF NEW.State = 9 THEN RAISE EXCEPTION 'refused at commit'; END IF; RETURN NEW; END $$");
    db->Exec("CREATE CONSTRAINT TRIGGER refuse_state AFTER INSERT ON MainDocState DEFERRABLE INITIALLY DEFERRED "
             "FOR EACH ROW EXECUTE FUNCTION refuse_state()");
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    AddLink(model, model.FindState(70001, 3), AddState(model, model.GetDocType(70001, ""), 9, 400, 300));
    Delete(model, model.FindMove(70001, 2, 70001, 1));
    model.SetModified(true);
    const std::vector<std::string> before = Everything();
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(model.IsModified());
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("refused at commit"), std::string::npos) << scope.shell.messages[0];
}

TEST_P(ChartDb, ANullConnectionOrNoOperationSavesNothing)
{
    CTarnwickModel unbound;
    EXPECT_FALSE(unbound.SaveToDB());
    EXPECT_TRUE(scope.shell.messages.empty());

    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    const std::vector<std::string> before = Everything();
    scope.shell.connection = nullptr;
    EXPECT_FALSE(model.SaveToDB());
    // A null connection fails at its first use, as a COM error; its rollback fails too.
    ASSERT_EQ(scope.shell.messages.size(), 2u);
    EXPECT_EQ(scope.shell.messages[0],
              "Не удалось откатить транзакцию при обработке исключения при сохранении модели в БД!");
    EXPECT_EQ(scope.shell.messages[1], "Invalid pointer");
    scope.shell.connection = db->connection;
    EXPECT_EQ(Everything(), before);
}

TEST_P(ChartDb, AnErrorOtherThanTheDatabasesIsRolledBackWithItsOwnMessage)
{
    struct Exploding : CAWFState {
        using CAWFState::CAWFState;
        void Serialize(CArchive& ar) override
        {
            if (ar.IsStoring())
                throw std::runtime_error("not storable");
            CAWFState::Serialize(ar);
        }
    };
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    auto* exploding = new Exploding(model.GetDocType(70001, ""), 4);
    model.AppendComponent(exploding);
    Delete(model, model.FindMove(70001, 2, 70001, 1));
    model.SetModified(true);
    const std::vector<std::string> before = Everything();
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(model.IsModified());
    EXPECT_FALSE(db->connection->InTransaction());
    EXPECT_EQ(scope.shell.messages, std::vector<std::string>{"Ошибка сохранения схемы документооборота в БД!"});
}

TEST_P(ChartDb, RowsTheLoadCannotPlaceAreReportedAndKept)
{
    // A move and its action from a state that is not on the chart.
    db->Exec("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES (3, 4, 70001, 5, 3, 1)");
    db->Exec("INSERT INTO MainDocAction(Grp, Type, TypeDoc, State, NewGrp, NewState, Action, idMove, OrderAction) "
             "SELECT 3, 4, 70001, 5, 3, 1, 11, idMove, 1 FROM MainDocMove WHERE TypeDoc = 70001 AND State = 5");
    const std::string idMove = db->Value("SELECT idMove FROM MainDocMove WHERE TypeDoc = 70001 AND State = 5");

    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("переход 5 -> 1"), std::string::npos) << scope.shell.messages[0];
    EXPECT_NE(scope.shell.messages[0].find("idMove " + idMove), std::string::npos) << scope.shell.messages[0];
    EXPECT_EQ(model.m_KeptMoveIds, std::vector<std::int32_t>{std::stoi(idMove)});

    // The action of the missing move is on the chart, on a link to nothing;
    // the user removes it, and removes a move that is on the chart.
    CAWFAction* orphan = nullptr;
    for (CODComponent* c : *model.GetComponents())
        if (auto* a = dynamic_cast<CAWFAction*>(c); a && a->Order == 1 && a->GetActionId() == 11)
            orphan = a;
    ASSERT_TRUE(orphan);
    Delete(model, orphan);
    Delete(model, model.FindMove(70001, 2, 70001, 3));
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(Rows("SELECT State, NewState FROM MainDocMove WHERE TypeDoc = 70001 ORDER BY State, NewState"),
              (std::vector<std::string>{"1|2", "2|1", "3|3", "5|1"}));
    EXPECT_EQ(Rows("SELECT State, Action FROM MainDocAction WHERE TypeDoc = 70001 ORDER BY State, Action"),
              (std::vector<std::string>{"1|10", "1|11", "5|11"}));
}

TEST_P(ChartDb, AnEmptyDrawingIsNoDrawingAndABrokenOneIsReportedWithItsElement)
{
    db->Exec("UPDATE MainDocState SET GraphInfo = " + BlobLiteral("") + " WHERE TypeDoc = 70001 AND State = 2");
    db->Exec("UPDATE MainDocState SET GraphInfo = " + BlobLiteral("0badc0de") + " WHERE TypeDoc = 70001 AND State = 3");
    db->Exec("UPDATE MainDocMove SET GraphInfo = " + BlobLiteral("ffff0100") +
             " WHERE TypeDoc = 70001 AND State = 2 AND NewState = 3");
    const std::string idState = db->Value("SELECT idState FROM MainDocState WHERE TypeDoc = 70001 AND State = 3");
    const std::string idMove =
        db->Value("SELECT idMove FROM MainDocMove WHERE TypeDoc = 70001 AND State = 2 AND NewState = 3");

    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    const std::string& report = scope.shell.messages[0];
    EXPECT_NE(report.find("состояние 3 (idState " + idState + ")"), std::string::npos) << report;
    EXPECT_NE(report.find("переход 2 -> 3 (idMove " + idMove + ")"), std::string::npos) << report;
    EXPECT_EQ(report.find("состояние 2"), std::string::npos) << report;
    // Everything is on the chart, the broken ones drawn anew.
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 3);
    ASSERT_TRUE(model.FindMove(70001, 2, 70001, 3));
    EXPECT_EQ(model.FindMove(70001, 2, 70001, 3)->isConcurrent, 1);
    EXPECT_EQ(model.FindState(70001, 3)->isHoleProcess, 1);
    EXPECT_EQ(model.FindState(70001, 3)->GetDocStateText(), "3:Закрыт");
    EXPECT_EQ(model.m_NewComponents.GetSize(), 3 + 4 + 3 + 3);
}

TEST_P(ChartDb, OtherDocumentTypesRowsGetOnlyWhatTheUserChangedHere)
{
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70003, 6, 8, 'Акт')");
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    static_cast<CAWFDocumentType*>(model.m_DocTypes.GetAt(0))->defState = 3;
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    EXPECT_EQ(other->defState, 2);
    // Meanwhile the other chart changes its initial state; here only the options change.
    db->Exec("UPDATE MainDocType SET defState = 4 WHERE TypeDoc = 70002");
    other->DocTypeOptions = 9;
    CAWFDocumentType* unlisted = model.GetDocType(70003, "Акт");
    unlisted->TypeDoc = 70003; // as a stored drawing brings it
    unlisted->defState = 1;
    CAWFDocumentType* nameless = model.GetDocType(70004, "?");
    EXPECT_EQ(nameless->GetTypeDoc(), -1);
    nameless->defState = 4;
    ASSERT_TRUE(model.SaveToDB());
    const std::vector<std::string> rows = {"3|4|70001|3|6", "3|5|70002|4|9"};
    EXPECT_EQ(Rows("SELECT Grp, Type, TypeDoc, defState, DocTypeOptions FROM MainDocType ORDER BY TypeDoc"), rows);

    // Saved once, the values are no longer this chart's changes.
    db->Exec("UPDATE MainDocType SET DocTypeOptions = 1 WHERE TypeDoc = 70002");
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(Rows("SELECT defState, DocTypeOptions FROM MainDocType WHERE TypeDoc = 70002"),
              std::vector<std::string>{"4|1"});
}

TEST_P(ChartDb, AForeignStateInsertsItsMissingRowAndLeavesAnExistingOneAlone)
{
    const std::vector<std::string> before = States(70002);
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    CAWFDocumentType* bill = model.GetDocType(70002, "Счёт");
    CAWFState* stale = AddState(model, bill, 1, 600, 0);
    stale->Comment = "копия";
    stale->GenNewOperate = 1;
    stale->DataAction = 5;
    CAWFState* fresh = AddState(model, bill, 4, 800, 0);
    fresh->Comment = "новое";
    ASSERT_TRUE(model.SaveToDB());
    std::vector<std::string> expected = before;
    expected.push_back("4|0|0|0|0|новое");
    EXPECT_EQ(States(70002), expected);
    EXPECT_EQ(db->Value("SELECT Grp FROM MainDocState WHERE TypeDoc = 70002 AND State = 1"), "3");

    // Saved again, the inserted row is the other chart's now.
    fresh->Comment = "изменено здесь";
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(States(70002), expected);
}

TEST_P(ChartDb, ADocumentTypeFiledUnderAnotherOperationIsReportedAndNothingIsWritten)
{
    db->Exec("UPDATE MainDocType SET Grp = 5, Type = 6 WHERE TypeDoc = 70001");
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    AddState(model, model.GetDocType(70001, ""), 4, 400, 300);
    model.SetModified(true);
    const std::vector<std::string> before = Everything();
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(model.IsModified());
    EXPECT_FALSE(db->connection->InTransaction());
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("группа 5, операция 6"), std::string::npos) << scope.shell.messages[0];
    EXPECT_NE(scope.shell.messages[0].find("70001"), std::string::npos) << scope.shell.messages[0];
}

TEST_P(ChartDb, YesToTheClosingQuestionSavesThatDocumentsOwnChart)
{
    CTarnwickDoc order, bill;
    ASSERT_TRUE(order.OpenFromDB(70001, "Заказ", true));
    ASSERT_TRUE(bill.OpenFromDB(70002, "Счёт", true));
    ASSERT_TRUE(scope.shell.messages.empty());

    // The chart closed in the background is the one written.
    bill.GetModel()->FindState(70002, 2)->Comment = "фон";
    bill.GetModel()->SetModified(true);
    scope.shell.threeWay = {tarnwick::IDYES};
    EXPECT_TRUE(bill.OnSaveModified());
    EXPECT_EQ(db->Value("SELECT Comment FROM MainDocState WHERE TypeDoc = 70002 AND State = 2"), "фон");
    EXPECT_FALSE(bill.IsModified());
    EXPECT_TRUE(scope.shell.sent.empty());

    // A move into another document type's state cannot be stored as such:
    // the check refuses it, nothing is written and the window stays.
    CTarnwickModel& model = *order.GetModel();
    CAWFState* foreign = AddState(model, model.GetDocType(70002, "Счёт"), 2, 600, 0);
    CAWFLink* mixed = AddLink(model, model.FindState(70001, 3), foreign);
    model.SetModified(true);
    const std::vector<std::string> before = Everything();
    scope.shell.threeWay = {tarnwick::IDYES};
    EXPECT_FALSE(order.OnSaveModified());
    EXPECT_TRUE(order.IsModified());
    EXPECT_EQ(Everything(), before);
    ASSERT_FALSE(scope.shell.messages.empty());
    EXPECT_EQ(scope.shell.messages.back(), "При проверке целостности диаграммы\nобнаружено 1 ошибок!");
    EXPECT_EQ(mixed->Errors.size(), 1u);

    // A save the database refuses keeps it too.
    Delete(model, mixed);
    Delete(model, foreign);
    if (Sqlite())
        db->Exec("CREATE TRIGGER refuse_state BEFORE UPDATE ON MainDocState BEGIN SELECT RAISE(ABORT, 'no'); END");
    else {
        db->Exec("CREATE FUNCTION refuse_state() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'no'; "
                 "END $$");
        db->Exec("CREATE TRIGGER refuse_state BEFORE UPDATE ON MainDocState FOR EACH ROW EXECUTE FUNCTION "
                 "refuse_state()");
    }
    scope.shell.threeWay = {tarnwick::IDYES};
    EXPECT_FALSE(order.OnSaveModified());
    EXPECT_TRUE(order.IsModified());
    EXPECT_EQ(Everything(), before);
    db->Exec(Sqlite() ? "DROP TRIGGER refuse_state" : "DROP TRIGGER refuse_state ON MainDocState");

    // Then Yes writes it.
    scope.shell.threeWay = {tarnwick::IDYES};
    EXPECT_TRUE(order.OnSaveModified());
    EXPECT_FALSE(order.IsModified());
    EXPECT_EQ(db->Value("SELECT Comment FROM MainDocState WHERE TypeDoc = 70002 AND State = 2"), "фон");
}

TEST_P(ChartDb, AnActionTakenOffAMoveThatStaysLosesItsRow)
{
    const std::vector<std::string> other = Actions(70002);
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    Delete(model, ActionOf(model, 11));
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(Actions(70001), (std::vector<std::string>{"1|2|10|3|0|1|1|2", "2|3|12|7|1|1|2|3"}));
    EXPECT_EQ(Actions(70002), other);
}

TEST_P(ChartDb, AnEmptyChartRemovesItsOwnRowsAndNothingElse)
{
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, false));
    ASSERT_EQ(model.GetComponentCount(), 0);
    std::vector<std::string> expected;
    for (const std::string& row : Everything())
        if (row.find("|70001|") == std::string::npos && row != "3|70001|NULL")
            expected.push_back(row);
    ASSERT_TRUE(model.SaveToDB());
    // The chart's MainDocType row stays: no element of the chart writes or removes it.
    std::vector<std::string> after = Everything();
    after.erase(std::remove(after.begin(), after.end(), "3|4|70001|1|6"), after.end());
    EXPECT_EQ(after, expected);
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocType WHERE TypeDoc = 70001"), 1);
}

TEST_P(ChartDb, RowsThatBuildNothingFailTheLoad)
{
    // State rows without a document type, whose state nobody chooses (the default prompt cancels).
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (-1, 4, 3, 'Без номера')");
    db->Exec("INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, -1, 7)");
    CTarnwickModel model;
    EXPECT_FALSE(model.LoadFromDB(-1, true));
    EXPECT_EQ(model.GetComponentCount(), 0);
    ASSERT_EQ(scope.shell.messages.size(), 2u); // the rows left off, then the verdict
    EXPECT_EQ(scope.shell.messages[1],
              "Диаграмма не соответствует настройке документооборота в БД!\nРекомендуется обновить диаграмму!");
}

TEST_P(ChartDb, ALoadThatFailsPartWayShowsOneMessageAndKeepsWhatItBuilt)
{
    db->Exec("ALTER TABLE MainDocAction RENAME TO MainDocActionGone");
    CTarnwickModel model;
    EXPECT_FALSE(model.LoadFromDB(70001, true));
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_EQ(scope.shell.messages[0].rfind("Ошибка загрузки графической компоненты Диаграммы\n", 0), 0u)
        << scope.shell.messages[0];
    EXPECT_GT(scope.shell.messages[0].size(), std::string("Ошибка загрузки графической компоненты Диаграммы\n").size());
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 3);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFCircleLink)), 1);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFLink)), 3);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), 0);
}

TEST_P(ChartDb, TheArchivedDrawingHoldsTheChartFileAndTheSaveDropsIt)
{
    db->Exec("DELETE FROM MainDocGraphic");
    CTarnwickModel model;
    ASSERT_TRUE(model.LoadFromDB(70001, true));
    model.SaveToArchive(db->connection);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        model.Serialize(ar);
        ar.Flush();
    }
    const std::vector<std::uint8_t> wfa = file.Detach();
    ado::_RecordsetPtr rs = db->connection->Execute("SELECT Grp, Type, Symbol_Data FROM MainDocGraphic");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->GetCollect("Grp").ToLong(), 3);
    EXPECT_EQ(rs->GetCollect("Type").ToLong(), 70001);
    EXPECT_EQ(rs->GetCollect("Symbol_Data").ToBytes(), wfa);
    rs->Close();

    CTarnwickModel archived;
    archived.Grp = 3;
    archived.m_nKey = 70001;
    archived.GetDocType(70005, "прежний");
    archived.LoadFromArchive(db->connection);
    EXPECT_EQ(archived.GetComponentCount(), model.GetComponentCount());
    ASSERT_EQ(archived.m_DocTypes.GetSize(), 1);
    EXPECT_EQ(static_cast<CAWFDocumentType*>(archived.m_DocTypes.GetAt(0))->GetTypeDoc(), 70001);
    EXPECT_TRUE(archived.FindMove(70001, 2, 70001, 1));

    // A broken archive reaches the caller and leaves the chart as it was.
    db->Exec("UPDATE MainDocGraphic SET Symbol_Data = " + BlobLiteral("00010203"));
    EXPECT_THROW(archived.LoadFromArchive(db->connection), CException);
    EXPECT_EQ(archived.GetComponentCount(), model.GetComponentCount());
    EXPECT_EQ(archived.m_DocTypes.GetSize(), 1);

    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocGraphic"), 0);
    CTarnwickModel empty;
    empty.Grp = 3;
    empty.m_nKey = 70001;
    empty.LoadFromArchive(db->connection);
    EXPECT_EQ(empty.GetComponentCount(), 0);
}

TEST_P(ChartDb, ConsistencyOfAnEmptyChartWithTheStateRows)
{
    CTarnwickModel model;
    model.m_nKey = 70001;
    EXPECT_FALSE(model.HasConsistentStates());
    model.m_nKey = 70009;
    EXPECT_TRUE(model.HasConsistentStates());

    // A document type without rows opens as an empty chart.
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70009, 4, 3, 'Пустой')");
    CTarnwickModel fresh;
    EXPECT_TRUE(fresh.LoadFromDB(70009, true));
    EXPECT_EQ(fresh.GetComponentCount(), 0);
    EXPECT_TRUE(scope.shell.messages.empty());
}

TEST_P(ChartDb, StateRowsWithoutDocumentTypeAskWhichStateTheyAre)
{
    struct Prompt : tarnwick::ICreateStatePrompt {
        std::deque<std::int16_t> choices; // 0 cancels
        std::vector<std::string> asked;
        bool ChooseState(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel&, std::int16_t& state,
                         std::string& name) override
        {
            asked.push_back(std::to_string(grp) + "/" + std::to_string(typeDoc));
            const std::int16_t choice = choices.front();
            choices.pop_front();
            state = choice;
            name = "выбрано";
            return choice != 0;
        }
    } prompt;
    struct Progress : tarnwick::IChartProgress {
        std::vector<std::string> log;
        void BeginProgress(const std::string& text, int lower, int upper) override
        {
            log.push_back(text + " " + std::to_string(lower) + ".." + std::to_string(upper));
        }
        void StepProgress() override { log.push_back("step"); }
        void EndProgress() override { log.push_back("end"); }
    } progress;
    tarnwick::SetCreateStatePrompt(&prompt);
    tarnwick::SetChartProgress(&progress);
    // The rows of a document type numbered -1, as only a catalogue row of that number gives them.
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (-1, 4, 3, 'Без номера')");
    db->Exec("INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, -1, 7)");
    db->Exec("INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, -1, 8)");
    const std::string skipped = db->Value("SELECT idState FROM MainDocState WHERE TypeDoc = -1 AND State = 8");

    prompt.choices = {2, 0};
    CTarnwickModel model;
    EXPECT_TRUE(model.LoadFromDB(-1, true));
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"3/-1", "3/-1"}));
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 1);
    ASSERT_TRUE(model.FindState(-1, 2));
    EXPECT_EQ(model.FindState(-1, 2)->GetDocStateText(), "2:выбрано");
    EXPECT_EQ(model.m_KeptStateIds, std::vector<std::int32_t>{std::stoi(skipped)});
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("idState " + skipped), std::string::npos) << scope.shell.messages[0];
    EXPECT_EQ(progress.log, (std::vector<std::string>{"Загрузка диаграммы... 0..30", "step", "step", "step", "end"}));

    progress.log.clear();
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(progress.log.front(), "Сохранение диаграммы... 0..80");
    EXPECT_EQ(progress.log.size(), 10u);
    EXPECT_EQ(Rows("SELECT State FROM MainDocState WHERE TypeDoc = -1 ORDER BY State"),
              (std::vector<std::string>{"2", "8"}));
    tarnwick::SetCreateStatePrompt(nullptr);
    tarnwick::SetChartProgress(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Engines, ChartDb, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

} // namespace
