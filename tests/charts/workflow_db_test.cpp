// The workflow elements' rows on both engines: first saves insert, second
// saves update and keep what they do not own; look-ups of the catalogue.
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

using namespace wft;

namespace {

class WorkflowDb : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<KelmDb>(GetParam(), "workflow");
        scope.shell.connection = db->connection;
        db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70001, 4, 3, 'Заказ')");
        db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70002, 4, 3, 'Счёт')");
        db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (7, 4, 3, 'Акт')");
        db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (9, 4, 3, 'Накладная')");
        db->Exec("INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 2, 'Проведен')");
        db->Exec("INSERT INTO ProdDocAction(Action, NameAction, Grp) VALUES (10, 'Провести', 3)");
        // Rows of another chart with large numbers: a new row's number must
        // be its own, not the largest of the table.
        db->Exec("INSERT INTO MainDocState(idState, Grp, Type, TypeDoc, State) VALUES (1000, 3, 4, 99, 1)");
        db->Exec("INSERT INTO MainDocMove(idMove, Grp, Type, TypeDoc, State, NewState) VALUES (1000, 3, 4, 99, 1, 2)");
        model.Grp = 3;
        model.Type = 4;
        model.m_nKey = 70001;
        docType = model.GetDocType(70001, "Заказ");
        docType->TypeDoc = 70001;
    }

    std::string Row(const std::string& columns, const std::string& table, const std::string& where)
    {
        ado::_RecordsetPtr rs = db->connection->Execute("SELECT " + columns + " FROM " + table + " WHERE " + where);
        std::string out;
        if (rs->IsEOF())
            return "<no row>";
        for (long i = 0; i < rs->FieldCount(); ++i) {
            const ado::_variant_t v = rs->GetCollect(ado::_variant_t(static_cast<int>(i)));
            out += (i ? "|" : "") + (v.vt == ado::VT_NULL ? std::string("NULL") : v.ToString());
        }
        rs->Close();
        return out;
    }

    std::vector<std::uint8_t> Blob(const std::string& sql)
    {
        ado::_RecordsetPtr rs = db->connection->Execute(sql);
        auto drawing = tarnwick::DrawingOf(rs->GetCollect(ado::_variant_t(0)));
        EXPECT_TRUE(drawing.has_value()) << sql;
        return drawing.value_or(std::vector<std::uint8_t>{});
    }

    ShellScope scope;
    std::unique_ptr<KelmDb> db;
    CTarnwickModel model;
    CAWFDocumentType* docType = nullptr;
};

} // namespace

TEST_P(WorkflowDb, StateFirstSaveInsertsSecondUpdatesAndKeepsItsKeyColumns)
{
    CAWFState* state = AddState(model, docType, 2, 0, 0);
    state->GenNewOperate = 1;
    state->isTakePrevState = 1;
    state->DataAction = 3;
    state->DataActionI = 6;
    state->idParentState = 17;
    state->Comment = "Документ проведён";
    db->connection->BeginTrans();
    const std::int32_t id = state->SaveToDB(db->connection);
    db->connection->CommitTrans();
    EXPECT_NE(id, 1000);
    EXPECT_EQ(Row("idState, Grp, Type, TypeDoc, State, Action, idCondition", "MainDocState", "TypeDoc = 70001"),
              std::to_string(id) + "|3|4|70001|2|0|0");
    EXPECT_EQ(Row("GenNewOperate, isHoleProcess, isPrevStateHole, isTakePrevState, DataAction, DataActionI, "
                  "idParentState, Comment",
                  "MainDocState", "idState = " + std::to_string(id)),
              "1|0|0|1|3|6|17|Документ проведён");
    CAWFState back;
    tarnwick::LoadElement(back, Blob("SELECT GraphInfo FROM MainDocState WHERE idState = " + std::to_string(id)));
    EXPECT_EQ(back.GetState(), 2);
    EXPECT_EQ(back.Comment, "Документ проведён");
    EXPECT_EQ(back.DocTypeName, "Заказ");

    db->Exec("UPDATE MainDocState SET Type = 99, Action = 77, idCondition = 5 WHERE idState = " + std::to_string(id));
    state->Comment = "";
    state->DataAction = 1;
    EXPECT_EQ(state->SaveToDB(db->connection), id);
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocState WHERE TypeDoc = 70001"), 1);
    EXPECT_EQ(Row("Type, Action, idCondition, DataAction, Comment", "MainDocState", "idState = " + std::to_string(id)),
              "99|77|5|1|");

    // Without a document type of its own the state takes the chart's.
    CAWFState* plain = AddState(model, nullptr, 3, 300, 0);
    const std::int32_t second = plain->SaveToDB(db->connection);
    EXPECT_NE(second, id);
    EXPECT_EQ(Row("TypeDoc, State", "MainDocState", "idState = " + std::to_string(second)), "70001|3");

    // A foreign state is saved as a state of its own document type.
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    other->TypeDoc = 70002;
    auto* foreign = static_cast<CAWForeign*>(AddState(model, other, 5, 600, 0, true));
    foreign->ForeignValue2 = 4;
    const std::int32_t third = foreign->SaveToDB(db->connection);
    EXPECT_EQ(Row("Grp, Type, TypeDoc, State", "MainDocState", "idState = " + std::to_string(third)), "3|4|70002|5");
    CAWForeign foreignBack;
    tarnwick::LoadElement(foreignBack,
                          Blob("SELECT GraphInfo FROM MainDocState WHERE idState = " + std::to_string(third)));
    EXPECT_EQ(foreignBack.ForeignValue2, 4);
    EXPECT_EQ(foreignBack.DocTypeName, "Счёт");
}

TEST_P(WorkflowDb, MovesSaveTheirActionsWithTheMovesOwnNumber)
{
    CAWFState* s1 = AddState(model, docType, 1, 0, 0);
    CAWFState* s2 = AddState(model, docType, 2, 300, 0);
    CAWFState* s3 = AddState(model, docType, 3, 600, 0);
    s3->GenNewOperate = 1;
    CAWFLink* m12 = AddLink(model, s1, s2);
    m12->NewTypeDoc = 7; // the target creates nothing: stored as 0
    m12->LinkState = -3;
    m12->isPartialProc = 1;
    m12->FormulaScript = " a ";
    m12->name_template = "Шаблон 'один'";
    CAWFLink* m13 = AddLink(model, s1, s3);
    m13->NewTypeDoc = 7;
    std::string script;
    for (int i = 0; i < 120; ++i)
        script += "ы;";
    m13->FormulaScript = script; // 240 characters, 480 bytes
    script += std::string(30, 'q');
    m13->FormulaScript = script;
    CAWFCircleLink* loop = AddLoop(model, s2);
    CAWFAction* a10 = AddAction(model, 10, "Провести", 1, 100, 200);
    a10->TypeAction = 1;
    CAWFAction* a12 = AddAction(model, 12, "Нет в каталоге", 2, 200, 200);
    AddLink(model, a10, m12);
    AddLink(model, a12, m12);

    db->connection->BeginTrans();
    m12->SaveToDB(db->connection);
    m13->SaveToDB(db->connection);
    loop->SaveToDB(db->connection);
    db->connection->CommitTrans();

    const std::string idMove = db->Value("SELECT idMove FROM MainDocMove WHERE TypeDoc = 70001 AND NewState = 2 AND State = 1");
    EXPECT_NE(idMove, "1000");
    EXPECT_EQ(Row("Grp, Type, TypeDoc, State, NewGrp, NewType, NewTypeDoc, NewState, LinkState, isPartialProc, "
                  "name_template",
                  "MainDocMove", "idMove = " + idMove),
              "3|4|70001|1|3|NULL|0|2|0|1|Шаблон 'один'");
    EXPECT_EQ(m12->NewTypeDoc, 0);
    EXPECT_EQ(m12->LinkState, 0);
    EXPECT_EQ(m12->FormulaScript, "a");
    EXPECT_EQ(db->Value("SELECT FormulaScript FROM MainDocMove WHERE idMove = " + idMove), std::string("\x01 a"));

    const std::string longScript =
        db->Value("SELECT FormulaScript FROM MainDocMove WHERE TypeDoc = 70001 AND State = 1 AND NewState = 3");
    EXPECT_EQ(tarnwick::DecodeFormulaScript(longScript), script);
    EXPECT_EQ(db->Value("SELECT NewTypeDoc FROM MainDocMove WHERE TypeDoc = 70001 AND State = 1 AND NewState = 3"),
              "7");
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocMove WHERE TypeDoc = 70001 AND State = 2 AND NewState = 2"), 1);

    EXPECT_EQ(Row("idMove, ActionGrp, TypeAction, OrderAction, NewGrp, NewState", "MainDocAction", "Action = 10"),
              idMove + "|3|1|1|3|2");
    EXPECT_EQ(Row("idMove, ActionGrp, TypeAction, OrderAction", "MainDocAction", "Action = 12"), idMove + "|0|0|2");
    CAWFAction back;
    tarnwick::LoadElement(back, Blob("SELECT GraphInfo FROM MainDocAction WHERE Action = 10"));
    EXPECT_EQ(back.GetActionId(), 10);
    EXPECT_EQ(back.GetActionName(), "Провести(1)");

    // A second save finds the rows and keeps the columns it does not write.
    db->Exec("UPDATE MainDocMove SET NewType = 5 WHERE idMove = " + idMove);
    db->Exec("UPDATE MainDocAction SET ActionGrp = 55, idMove = 999 WHERE Action = 10");
    m12->MoveOptions = 12;
    a10->Order = 4;
    m12->SaveToDB(db->connection);
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocMove WHERE TypeDoc = 70001"), 3);
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocAction"), 2);
    EXPECT_EQ(Row("NewType, MoveOptions", "MainDocMove", "idMove = " + idMove), "5|12");
    EXPECT_EQ(Row("idMove, ActionGrp, OrderAction", "MainDocAction", "Action = 10"), idMove + "|55|4");
}

TEST_P(WorkflowDb, DocumentTypeRowIsInsertedThenUpdated)
{
    docType->defState = -1;
    docType->DocTypeOptions = 5;
    docType->SaveToDB(db->connection);
    EXPECT_EQ(Row("Grp, Type, defState, DocTypeOptions", "MainDocType", "TypeDoc = 70001"), "3|4|-1|5");
    docType->defState = 2;
    docType->SaveToDB(db->connection);
    EXPECT_EQ(Row("defState, DocTypeOptions", "MainDocType", "TypeDoc = 70001"), "2|5");
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocType"), 1);

    // The element of another document type leaves the chart's row alone.
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    other->TypeDoc = 70002;
    other->defState = 9;
    other->SaveToDB(db->connection);
    EXPECT_EQ(Row("defState", "MainDocType", "TypeDoc = 70001"), "2");
    EXPECT_EQ(db->Count("SELECT count(*) FROM MainDocType"), 1);
}

TEST_P(WorkflowDb, DocumentTypesAndNamesFromTheCatalogue)
{
    db->Exec("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState, DocTypeOptions) VALUES (3, 4, 70002, 3, 8)");
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    EXPECT_EQ(other->GetTypeDoc(), 70002);
    EXPECT_EQ(other->defState, 3);
    EXPECT_EQ(other->DocTypeOptions, 8);
    EXPECT_EQ(model.GetDocType(70002, "другое"), other);
    EXPECT_EQ(model.m_DocTypes.GetSize(), 2);
    EXPECT_EQ(model.GetKey(), 70001); // the chart keeps its own document type
    CAWFDocumentType* unknown = model.GetDocType(70003, "Без строки");
    EXPECT_EQ(unknown->GetTypeDoc(), -1);
    EXPECT_EQ(unknown->defState, -1);

    EXPECT_EQ(model.GetNameDoc(70002), "Счёт");
    EXPECT_EQ(model.GetNameDoc(12345), "(null)");
    EXPECT_EQ(model.GetNameState(2), "Проведен");
    EXPECT_EQ(model.GetNameAction(10), "Провести");
    db->Exec("DROP TABLE ProdDocAction");
    EXPECT_EQ(model.GetNameAction(10), "(error)");
    EXPECT_EQ(scope.shell.messages.size(), 1u);

    CTarnwickModel unbound;
    EXPECT_EQ(unbound.GetNameDoc(70001), "?");
}

TEST_P(WorkflowDb, CreatedDocumentTypesLabelFollowsTheMoves)
{
    CAWFState* target = AddState(model, docType, 4, 600, 0);
    target->GenNewOperate = 1;
    const std::int32_t created[] = {9, 7, 9};
    for (std::int32_t typeDoc : created) {
        CAWFState* from = AddState(model, docType, 1, 0, 0);
        AddLink(model, from, target)->NewTypeDoc = typeDoc;
    }
    AddLink(model, target, AddState(model, docType, 5, 900, 0))->NewTypeDoc = 70002; // outgoing: not listed
    target->UpdateDocTypeNames();
    EXPECT_EQ(target->GetChildText("DocType"), "Накладная;\nАкт");
}

INSTANTIATE_TEST_SUITE_P(Engines, WorkflowDb, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });
