// The pages of the chart elements' property sheet without a display: which
// pages a selection gets, what each page reads from the catalogue on both
// engines, what it refuses and what it writes back into the element.
#include "editor/pages/core/actionpages.h"
#include "editor/pages/core/linkpages.h"
#include "editor/app/core/editorcore.h"
#include "editor/pages/core/pageplan.h"
#include "editor/pages/core/statepages.h"

#include "tests/editor/fixture.h"
#include "tests/editor/recorder.h"
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tarnwick;
using wft::Engine;

namespace {

using Kinds = std::vector<PageKind>;

Kinds KindsOf(const PagePlan& plan)
{
    Kinds kinds;
    for (const PlannedPage& p : plan.pages)
        kinds.push_back(p.kind);
    return kinds;
}

class PagePlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        docType = model.GetDocType(70001, "Заказ");
        a = wft::AddState(model, docType, 1, 0, 0);
        b = wft::AddState(model, docType, 2, 300, 0);
        foreign = wft::AddState(model, docType, 3, 600, 0, true);
        move = wft::AddLink(model, a, b);
        move->Kind = CAWFLink::kindMove;
        plain = wft::AddLink(model, b, foreign);
        plain->Kind = CAWFLink::kindAction;
        action = wft::AddAction(model, 10, "Провести", 1, 100, 200);
    }
    PagePlan Plan(std::initializer_list<CODComponent*> selected)
    {
        CODComponentSet set;
        for (CODComponent* c : selected)
            set.Add(c);
        return PlanPages(set, 0);
    }
    CTarnwickModel model;
    CAWFDocumentType* docType = nullptr;
    CAWFState *a = nullptr, *b = nullptr, *foreign = nullptr;
    CAWFLink *move = nullptr, *plain = nullptr;
    CAWFAction* action = nullptr;
};

TEST_F(PagePlanTest, EachElementGetsItsPagesAndTheSheetItsInitialPage)
{
    using K = PageKind;
    const Kinds statePages{K::Document, K::State, K::Access};
    const Kinds movePages{K::Move, K::Actions, K::Script};
    struct Case {
        const char* what;
        std::vector<CODComponent*> selection;
        std::vector<CODComponent*> withErrors;
        Kinds kinds;
        int initial;
    };
    const Case cases[] = {
        {"state", {a}, {}, statePages, 1},
        {"state with messages", {a}, {a}, {K::Document, K::State, K::Access, K::Message}, 2},
        {"foreign state", {foreign}, {}, statePages, 1},
        {"move", {move}, {}, movePages, 0},
        {"move with messages", {move}, {move}, {K::Move, K::Actions, K::Script, K::Message}, 1},
        {"not a move", {plain}, {}, {}, 0},
        {"not a move, with messages", {plain}, {plain}, {K::Message}, 1},
        {"action", {action}, {}, {K::Action}, 0},
        {"action with messages", {action}, {action}, {K::Action, K::Message}, 1},
        {"document type", {docType}, {}, {}, 0},
        {"two states", {a, b}, {}, {K::Document, K::State, K::Access, K::Document, K::State, K::Access}, 1},
    };
    for (const Case& c : cases) {
        for (CODComponent* e : c.withErrors)
            dynamic_cast<CAWFBase*>(e)->Errors = {"Ошибка"};
        CODComponentSet set;
        for (CODComponent* e : c.selection)
            set.Add(e);
        const PagePlan plan = PlanPages(set, 0);
        EXPECT_EQ(KindsOf(plan), c.kinds) << c.what;
        EXPECT_EQ(plan.initialPage, c.initial) << c.what;
        for (CODComponent* e : c.withErrors)
            dynamic_cast<CAWFBase*>(e)->Errors.clear();
    }
    // Each set of pages is built from its own element.
    const PagePlan two = Plan({a, b});
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(two.pages[static_cast<std::size_t>(i)].element, i < 3 ? static_cast<CODComponent*>(a) : b);
}

class Pages : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<wft::KelmDb>(GetParam(), "pages");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        scope.shell.connection = db->connection;
        app.m_pConnection = db->connection;
        model.Grp = 3;
        model.Type = 4;
        docType = model.GetDocType(70001, "Заказ");
        docType->TypeDoc = 70001;
        docType->NameDoc = "Заказ";
        state = wft::AddState(model, docType, 2, 0, 0);
    }
    std::int32_t IdState(int s)
    {
        return std::stoi(db->Value("SELECT idState FROM MainDocState WHERE TypeDoc = 70001 AND State = " +
                                   std::to_string(s)));
    }

    std::unique_ptr<wft::KelmDb> db;
    wft::ShellScope scope;
    CTarnwickAppCore app;
    kelm::test::RecordingPrompt prompt;
    CTarnwickModel model;
    CAWFDocumentType* docType = nullptr;
    CAWFState* state = nullptr;
};

using Doc = CDocStatePPDocumentModel;

TEST_P(Pages, DocumentPageReadsAndWritesTheNineOptionBits)
{
    for (std::int32_t options : {0x000, 0x1FF, 0x155, 0x0AA, 0x0C0, 0x100}) {
        docType->DocTypeOptions = options;
        Doc page(docType, 3, 4, 0);
        page.Init();
        for (int bit = 0; bit < 9; ++bit)
            EXPECT_EQ(page.Checked(Doc::kOptionBoxes[bit]), ((options >> bit) & 1) != 0) << options << " bit " << bit;
        docType->DocTypeOptions = 0x7777;
        page.Apply();
        EXPECT_EQ(docType->DocTypeOptions, options);
    }
    // All boxes off store 0; each box alone stores its bit.
    docType->DocTypeOptions = 0x1FF;
    Doc page(docType, 3, 4, 0);
    page.Init();
    for (int id : Doc::kOptionBoxes)
        page.Check(id, false);
    page.Apply();
    EXPECT_EQ(docType->DocTypeOptions, 0);
    EXPECT_TRUE(page.ChangedElement);
    for (int bit = 0; bit < 9; ++bit) {
        Doc one(docType, 3, 4, 0);
        one.Init();
        one.Check(Doc::kOptionBoxes[bit], true);
        one.Apply();
        EXPECT_EQ(docType->DocTypeOptions, 1 << bit);
        docType->DocTypeOptions = 0;
    }
}

TEST_P(Pages, DocumentPageKeepsTheTaxInThePriceOnlyWithTaxesInTheDocument)
{
    struct Case {
        std::int32_t options;
        int clicked;
        bool taxesAfter, inPriceAfter, warned;
    };
    const Case cases[] = {
        // Unchecking taxes while the tax is in the price: refused.
        {0xC0, Doc::IDC_TAXES, true, true, true},
        // Checking the tax in the price without taxes: refused.
        {0x00, Doc::IDC_TAX_IN_PRICE, false, false, true},
        {0x40, Doc::IDC_TAX_IN_PRICE, true, true, false},
        {0x40, Doc::IDC_TAXES, false, false, false},
        {0xC0, Doc::IDC_TAX_IN_PRICE, true, false, false},
    };
    for (const Case& c : cases) {
        prompt.shown.clear();
        docType->DocTypeOptions = c.options;
        Doc page(docType, 3, 4, 0);
        page.Init();
        page.Check(c.clicked, !page.Checked(c.clicked)); // the click
        page.OnCommand(c.clicked);
        EXPECT_EQ(page.Checked(Doc::IDC_TAXES), c.taxesAfter) << c.options << "/" << c.clicked;
        EXPECT_EQ(page.Checked(Doc::IDC_TAX_IN_PRICE), c.inPriceAfter) << c.options << "/" << c.clicked;
        EXPECT_EQ(page.Modified, !c.warned);
        if (c.warned) {
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_EQ(prompt.shown[0].text, "Опция \"Налог входит в цену товара\"\nимеет смысл только при отмеченной "
                                            "опции\n\"Включать налоги в документ\"");
            EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Warning);
        } else {
            EXPECT_TRUE(prompt.shown.empty());
        }
    }
}

TEST_P(Pages, DocumentAndStatePagesListTheCatalogueOrShowTheNamesOfAChartFromAFile)
{
    docType->defState = 1;
    Doc doc(docType, 3, 4, 0);
    doc.Init();
    const ControlState& types = doc.Control(Doc::IDC_DOCTYPE);
    EXPECT_FALSE(types.enabled);
    EXPECT_EQ(types.items, std::vector<std::string>{"Заказ"});
    EXPECT_EQ(types.selection, 0);
    const ControlState& defState = doc.Control(Doc::IDC_DEFSTATE);
    EXPECT_EQ(defState.items, (std::vector<std::string>{"Архив", "Введен", "Закрыт", "Проведен"}));
    EXPECT_EQ(defState.SelectedText(), "Введен");
    EXPECT_FALSE(defState.shown);
    doc.Control(Doc::IDC_DEFSTATE).selection = defState.FindText("Закрыт");
    doc.Apply();
    EXPECT_EQ(docType->defState, 3);

    CDocStatePPModel page(state, nullptr, 3, 4);
    page.Init();
    const ControlState& states = page.Control(CDocStatePPModel::IDC_STATE);
    EXPECT_FALSE(states.enabled);
    EXPECT_EQ(states.SelectedText(), "Проведен");

    // A chart read from a file runs no query: the catalogue could be gone.
    db->Exec("DROP TABLE ProdDocState");
    state->SetDocStateLabel("Проведен (из файла)");
    Doc fileDoc(docType, -1, -1, 0);
    fileDoc.Init();
    CDocStatePPModel fileState(state, nullptr, -1, -1);
    fileState.Init();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(fileDoc.Control(Doc::IDC_DOCTYPE).text, "Заказ");
    EXPECT_TRUE(fileDoc.Control(Doc::IDC_DOCTYPE).items.empty());
    EXPECT_TRUE(fileDoc.Control(Doc::IDC_DOCTYPE).enabled);
    EXPECT_EQ(fileState.Control(CDocStatePPModel::IDC_STATE).text, "Проведен (из файла)");
    // Without a selection the default state stays.
    fileDoc.Apply();
    EXPECT_EQ(docType->defState, 3);
    // The same page of a chart from the database does query, and says the table is missing.
    Doc dbDoc(docType, 3, 4, 0);
    dbDoc.Init();
    EXPECT_EQ(prompt.shown.size(), 1u);
}

TEST_P(Pages, ReadOnlyDocumentPageDisablesTheNineOptions)
{
    for (int readOnly : {0, 1}) {
        Doc page(docType, 3, 4, readOnly);
        page.Init();
        for (int id : Doc::kOptionBoxes)
            EXPECT_EQ(page.Control(id).enabled, readOnly == 0) << id;
    }
}

TEST_P(Pages, StatePageReshapesTheStateOnlyWhenItsCreationFlagChanges)
{
    using S = CDocStatePPModel;
    auto notch = [this] { return state->FindChild("Polygon")->GetVertex(2).x - state->FindChild("Polygon")->GetVertex(1).x; };
    struct Case {
        int box;
        int expectedNotch;
    };
    for (const Case& c : {Case{S::IDC_WHOLE_SUM, 0}, Case{S::IDC_PREV_WHOLE, 0}, Case{S::IDC_TAKE_PREV, 0},
                          Case{S::IDC_NEW_DOCUMENT, 30}}) {
        state->GenNewOperate = state->isHoleProcess = state->isPrevStateHole = state->isTakePrevState = 0;
        state->AdjustShape(false, nullptr);
        S page(state, nullptr, 3, 4);
        page.Init();
        page.Check(c.box, true);
        page.Apply();
        EXPECT_EQ(notch(), c.expectedNotch) << c.box;
        EXPECT_TRUE(page.ChangedElement);
    }
    EXPECT_EQ(state->GenNewOperate, 1);
    EXPECT_EQ(state->isHoleProcess, 0);
    // Its catalogue number is not changed here.
    EXPECT_EQ(state->State, 2);
}

TEST_P(Pages, AccessPageBitsGoInAndComeBackAndXClearsTheParentState)
{
    using A = CDocStatePPAccessModel;
    struct Case {
        std::int32_t dataAction, dataActionI;
        std::vector<int> checked;
    };
    const Case cases[] = {
        {0, 0, {}},
        {1, 0, {A::IDC_DOC_CHANGE}},
        {2, 0, {A::IDC_DOC_DELETE}},
        {0, 1, {A::IDC_ROW_ADD}},
        {0, 2, {A::IDC_ROW_CHANGE}},
        {0, 4, {A::IDC_ROW_DELETE}},
        {3, 7, {A::IDC_DOC_CHANGE, A::IDC_DOC_DELETE, A::IDC_ROW_ADD, A::IDC_ROW_CHANGE, A::IDC_ROW_DELETE}},
    };
    const int boxes[] = {A::IDC_DOC_CHANGE, A::IDC_DOC_DELETE, A::IDC_ROW_ADD, A::IDC_ROW_CHANGE, A::IDC_ROW_DELETE};
    state->idParentState = IdState(1);
    for (const Case& c : cases) {
        state->DataAction = c.dataAction;
        state->DataActionI = c.dataActionI;
        A page(state);
        page.Init();
        for (int box : boxes)
            EXPECT_EQ(page.Checked(box), std::count(c.checked.begin(), c.checked.end(), box) == 1) << box;
        state->DataAction = state->DataActionI = 0x70;
        page.Apply();
        EXPECT_EQ(state->DataAction, c.dataAction);
        EXPECT_EQ(state->DataActionI, c.dataActionI);
        EXPECT_EQ(state->idParentState, IdState(1));
    }
    A page(state);
    page.Init();
    const ControlState& parents = page.Control(A::IDC_PARENT);
    EXPECT_EQ(parents.items, (std::vector<std::string>{"Введен", "Закрыт", "Проведен"}));
    EXPECT_EQ(parents.SelectedText(), "Введен");
    page.OnCommand(A::IDC_CLEAR_PARENT);
    page.Apply();
    EXPECT_EQ(state->idParentState, 0);

    // A parent that is no longer listed leaves no selection and stores 0.
    state->idParentState = 99999;
    A stale(state);
    stale.Init();
    EXPECT_FALSE(stale.Control(A::IDC_PARENT).HasSelection());
    stale.Apply();
    EXPECT_EQ(state->idParentState, 0);
}

using Act = CDocActionPPModel;

TEST_P(Pages, ActionPageOffersTheKindsTheActionAllows)
{
    db->Exec("INSERT INTO ProdDocAction(Action, NameAction, Grp) VALUES (8192, 'Создать на основе', 3)");
    CAWFAction* action = wft::AddAction(model, 10, "Провести", 3, 0, 300);
    action->TypeAction = 1;
    Act page(action, 3);
    page.Init();
    const ControlState& actions = page.Control(Act::IDC_ACTION);
    EXPECT_EQ(actions.items, (std::vector<std::string>{"Закрыть", "Провести", "Создать на основе", "Уведомить"}));
    EXPECT_EQ(actions.SelectedText(), "Провести");
    const ControlState& kinds = page.Control(Act::IDC_KIND);
    EXPECT_EQ(kinds.items, (std::vector<std::string>{"В конце перехода", "Перед созданием документа на основе"}));
    EXPECT_EQ(kinds.selection, 1);
    EXPECT_EQ(page.Control(Act::IDC_ORDER).text, "3");

    // Action 8192 runs only before a document is created from the current one.
    page.Control(Act::IDC_ACTION).selection = actions.FindText("Создать на основе");
    page.OnCommand(Act::IDC_ACTION);
    EXPECT_EQ(kinds.items, std::vector<std::string>{"Перед созданием документа на основе"});
    EXPECT_EQ(kinds.selection, 0);
    // Back to another action: the kind chosen then is kept.
    page.Control(Act::IDC_ACTION).selection = actions.FindText("Уведомить");
    page.OnCommand(Act::IDC_ACTION);
    EXPECT_EQ(kinds.items.size(), 2u);
    EXPECT_EQ(kinds.selection, 1);
    EXPECT_TRUE(page.Modified);

    page.Control(Act::IDC_ORDER).text = "7";
    ASSERT_TRUE(page.Validate());
    page.Apply();
    EXPECT_EQ(action->ActionId, 11);
    EXPECT_EQ(action->TypeAction, 1);
    EXPECT_EQ(action->Order, 7);
    EXPECT_EQ(action->GetActionName().rfind("Уведомить", 0), 0u);
    EXPECT_TRUE(page.ChangedElement);
}

TEST_P(Pages, ActionPageRefusesAnOrderOutsideAByteAndAppliesNothingForAChartFromAFile)
{
    CAWFAction* action = wft::AddAction(model, 10, "Провести", 3, 0, 300);
    Act page(action, 3);
    page.Init();
    for (const char* text : {"256", "-1", "abc", "", "1e2"}) {
        prompt.shown.clear();
        page.Control(Act::IDC_ORDER).text = text;
        EXPECT_FALSE(page.Validate()) << text;
        ASSERT_EQ(prompt.Texts(), std::vector<std::string>{RangeMessage(0, 255)}) << text;
    }
    page.Control(Act::IDC_ORDER).text = " 255 ";
    EXPECT_TRUE(page.Validate());

    Act fromFile(action, -1);
    fromFile.Init();
    EXPECT_TRUE(fromFile.Control(Act::IDC_ACTION).items.empty());
    EXPECT_TRUE(fromFile.Control(Act::IDC_KIND).items.empty());
    fromFile.Control(Act::IDC_ORDER).text = "9";
    ASSERT_TRUE(fromFile.Validate());
    fromFile.Apply();
    EXPECT_EQ(action->ActionId, 10);
    EXPECT_EQ(action->Order, 3);
    EXPECT_FALSE(fromFile.ChangedElement);
}

TEST_P(Pages, ActionChoiceGivesTheCurrentRowKindZeroAndTheOrder)
{
    CActionSelectDlgModel dlg;
    dlg.Init();
    const ControlState& list = dlg.Control(CActionSelectDlgModel::IDC_ACTIONS);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Закрыть", "Провести", "Уведомить"}));
    EXPECT_TRUE(dlg.Control(CActionSelectDlgModel::IDC_OK).enabled);
    EXPECT_FALSE(dlg.Control(CActionSelectDlgModel::IDC_KIND).enabled);
    EXPECT_EQ(dlg.SelectedAction, 12);
    dlg.Control(CActionSelectDlgModel::IDC_ACTIONS).selection = 2;
    dlg.Control(CActionSelectDlgModel::IDC_ORDER).text = "300";
    EXPECT_FALSE(dlg.Apply());
    dlg.Control(CActionSelectDlgModel::IDC_ORDER).text = "4";
    ASSERT_TRUE(dlg.Apply());
    EXPECT_EQ(dlg.SelectedAction, 11);
    EXPECT_EQ(dlg.SelectedName, "Уведомить");
    EXPECT_EQ(dlg.KindIndex, 0);
    EXPECT_EQ(dlg.Order, 4);

    db->Exec("DELETE FROM ProdDocAction");
    CActionSelectDlgModel empty;
    empty.Init();
    EXPECT_FALSE(empty.Control(CActionSelectDlgModel::IDC_OK).enabled);
    EXPECT_EQ(empty.SelectedAction, -1);
}

TEST_P(Pages, MessagePageListsTheMessagesInTheirOrder)
{
    state->Errors = {"Вторая ошибка", "Первая ошибка", "Ещё одна"};
    CDocMessagePPModel page(&state->Errors);
    page.Init();
    EXPECT_EQ(page.Control(CDocMessagePPModel::IDC_MESSAGES).items, state->Errors);
}

using Mv = CDocLinkPPModel;

// The chart's states 1, 2 (creates documents) and 3, and a move 1 -> 2 as
// the fixture stores it.
class LinkPages : public Pages {
protected:
    void SetUp() override
    {
        Pages::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        entered = wft::AddState(model, docType, 1, 0, 0);
        entered->SetDocStateLabel("Введен");
        state->GenNewOperate = 1;
        state->SetDocStateLabel("Проведен");
        closed = wft::AddState(model, docType, 3, 0, 400);
        move = Move(entered, state);
        move->NewTypeDoc = 70002;
        move->LinkState = 2;
        move->MoveOptions = 5;
        move->name_template = "шаблон";
    }
    CAWFLink* Move(CAWFState* from, CAWFState* to)
    {
        CAWFLink* link = wft::AddLink(model, from, to);
        link->Kind = CAWFLink::kindMove;
        return link;
    }
    std::string Templates(Mv& page) { return Join(page.Control(Mv::IDC_TEMPLATE).items); }
    static std::string Join(const std::vector<std::string>& items)
    {
        std::string out;
        for (const std::string& item : items)
            out += (out.empty() ? "" : ",") + item;
        return out;
    }

    CAWFState* entered = nullptr;
    CAWFState* closed = nullptr;
    CAWFLink* move = nullptr;
};

TEST_P(LinkPages, MovePageShowsTheMoveAndTheDocumentItCreates)
{
    Mv page(move, nullptr, 3, 4);
    page.Init();
    EXPECT_FALSE(page.EndRequested);
    EXPECT_EQ(page.Control(Mv::IDC_FROM_STATE).text, "Введен");
    EXPECT_EQ(page.Control(Mv::IDC_TO_STATE).text, "Проведен");
    EXPECT_FALSE(page.Control(Mv::IDC_FROM_STATE).enabled);
    EXPECT_EQ(page.Control(Mv::IDC_MOVE_NUMBER).text,
              db->Value("SELECT idMove FROM MainDocMove WHERE TypeDoc = 70001 AND State = 1 AND NewState = 2"));
    EXPECT_EQ(page.Control(Mv::IDC_PROCESS).SelectedText(), "Выставление счёта");
    EXPECT_EQ(page.Control(Mv::IDC_NEW_DOCTYPE).SelectedText(), "Счёт");
    EXPECT_EQ(Join(page.Control(Mv::IDC_NEW_STATE).items), "Введен,Проведен");
    EXPECT_EQ(page.Control(Mv::IDC_NEW_STATE).SelectedText(), "Проведен");
    EXPECT_EQ(page.CheckTypeDoc(), 70002);
    // A template is in use, but the document type has no template table:
    // the list is enabled and stays as it was.
    EXPECT_TRUE(page.Checked(Mv::IDC_USE_TEMPLATE));
    EXPECT_TRUE(page.Control(Mv::IDC_TEMPLATE).enabled);
    EXPECT_TRUE(page.Control(Mv::IDC_TEMPLATE).items.empty());
    EXPECT_TRUE(prompt.shown.empty());

    // Another process: its document types, the first one chosen, and its states.
    ControlState& processes = page.Control(Mv::IDC_PROCESS);
    processes.selection = processes.FindText("Оформление заказа");
    page.OnCommand(Mv::IDC_PROCESS);
    EXPECT_EQ(page.Control(Mv::IDC_NEW_DOCTYPE).SelectedText(), "Заказ");
    EXPECT_EQ(page.NewTypeDoc(), 70001);
    EXPECT_EQ(Join(page.Control(Mv::IDC_NEW_STATE).items), "Введен,Закрыт,Проведен");
    page.Control(Mv::IDC_NEW_STATE).selection = 1;
    page.Apply();
    EXPECT_EQ(move->NewTypeDoc, 70001);
    EXPECT_EQ(move->LinkState, 3);
    // The template list was empty: no template is kept.
    EXPECT_EQ(move->name_template, "");
    EXPECT_TRUE(page.ChangedElement);
}

TEST_P(LinkPages, MovePageWithoutBothEndsEndsTheSheet)
{
    auto* loose = new CAWFLink;
    model.AppendComponent(loose);
    loose->Kind = CAWFLink::kindMove;
    Mv page(loose, nullptr, 3, 4);
    page.Init();
    EXPECT_TRUE(page.EndRequested);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Перемещение документа не имеет\nисточника или приемника!");
    EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Error);
}

TEST_P(LinkPages, AMoveToAStateThatCreatesNothingDisablesTheNewDocumentAndKeepsItsType)
{
    db->Exec("INSERT INTO MainDocMove(idMove, Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES (40000, 3, 4, 70001, "
             "1, 3, 3)");
    CAWFLink* toClosed = Move(entered, closed);
    toClosed->NewTypeDoc = 70002;
    toClosed->name_template = "шаблон";
    Mv page(toClosed, nullptr, 3, 4);
    page.Init();
    // A number beyond 16 bits.
    EXPECT_EQ(page.Control(Mv::IDC_MOVE_NUMBER).text, "40000");
    for (int id : {Mv::IDC_NEW_STATE, Mv::IDC_TEMPLATE, Mv::IDC_PROCESS, Mv::IDC_NEW_DOCTYPE, Mv::IDC_LINK_DOCUMENT,
                   Mv::IDC_USE_TEMPLATE})
        EXPECT_FALSE(page.Control(id).enabled) << id;
    EXPECT_EQ(page.CheckTypeDoc(), 0);
    page.Apply();
    EXPECT_EQ(toClosed->NewTypeDoc, 70002);

    // No stored row for this move yet: no number.
    Mv back(Move(closed, entered), nullptr, 3, 4);
    back.Init();
    EXPECT_EQ(back.Control(Mv::IDC_MOVE_NUMBER).text, "");
    EXPECT_EQ(back.IdMove(), 0);
}

TEST_P(LinkPages, TemplateListComesFromTheDocumentTypesTemplateTable)
{
    db->Exec("INSERT INTO Operation_DocumentTempl(name_template, Type, TypeTemplate) VALUES ('Основной', 5, 0)");
    db->Exec("INSERT INTO Operation_DocumentTempl(name_template, Type, TypeTemplate) VALUES ('шаблон', 5, 0)");
    db->Exec("INSERT INTO Operation_DocumentTempl(name_template, Type, TypeTemplate) VALUES ('Другой процесс', 4, 0)");
    db->Exec("INSERT INTO Operation_DocumentTempl(name_template, Type, TypeTemplate) VALUES ('Другой вид', 5, 1)");
    struct Case {
        const char* nameTable;
        const char* stored;
        const char* items;
        const char* selected;
        bool refused;
    };
    const Case cases[] = {
        {"Operation_Document", "шаблон", "Основной,шаблон", "шаблон", false},
        // A template no longer there: the first one.
        {"Operation_Document", "удалён", "Основной,шаблон", "Основной", false},
        {"operation_document", "шаблон", "Основной,шаблон", "шаблон", false},
        {"Operation_Missing", "шаблон", "", "", true},
        // Not a plain table name: never put into the statement.
        {"Operation_Document; DELETE FROM MainDocMove; --", "шаблон", "", "", true},
    };
    for (const Case& c : cases) {
        prompt.shown.clear();
        db->Exec("UPDATE ProdDocType SET NameTable = '" + SqlQuote(c.nameTable) + "' WHERE TypeDoc = 70002");
        move->name_template = c.stored;
        Mv page(move, nullptr, 3, 4);
        page.Init();
        EXPECT_EQ(Templates(page), c.items) << c.nameTable;
        EXPECT_EQ(page.Control(Mv::IDC_TEMPLATE).SelectedText(), c.selected) << c.nameTable;
        EXPECT_EQ(page.Control(Mv::IDC_TEMPLATE).enabled, !c.refused) << c.nameTable;
        EXPECT_EQ(page.Checked(Mv::IDC_USE_TEMPLATE), !c.refused) << c.nameTable;
        if (c.refused)
            EXPECT_EQ(prompt.Texts(), std::vector<std::string>{"Процесс не поддерживает работу с шаблонами документов!"})
                << c.nameTable;
        else
            EXPECT_TRUE(prompt.shown.empty()) << c.nameTable;
        page.Apply();
        EXPECT_EQ(move->name_template, c.selected) << c.nameTable;
    }
    EXPECT_GT(db->Count("SELECT count(*) FROM MainDocMove"), 0);

    // Checking the box loads the list; unchecking it drops the template on apply.
    db->Exec("UPDATE ProdDocType SET NameTable = 'Operation_Document' WHERE TypeDoc = 70002");
    move->name_template = "";
    Mv page(move, nullptr, 3, 4);
    page.Init();
    EXPECT_FALSE(page.Control(Mv::IDC_TEMPLATE).enabled);
    page.Check(Mv::IDC_USE_TEMPLATE, true);
    page.OnCommand(Mv::IDC_USE_TEMPLATE);
    EXPECT_EQ(Templates(page), "Основной,шаблон");
    EXPECT_TRUE(page.Control(Mv::IDC_TEMPLATE).enabled);
    page.Control(Mv::IDC_TEMPLATE).selection = 1;
    page.Apply();
    EXPECT_EQ(move->name_template, "шаблон");
    page.Check(Mv::IDC_USE_TEMPLATE, false);
    page.OnCommand(Mv::IDC_USE_TEMPLATE);
    page.Apply();
    EXPECT_EQ(move->name_template, "");
}

TEST_P(LinkPages, MovePageRefusesPartialProcessingWithComponentsOrKitsAndChangesNothing)
{
    db->Exec("UPDATE MainDocState SET Action = 256 WHERE TypeDoc = 70002 AND State = 2");
    move->MoveOptions = 1;
    struct Case {
        std::vector<int> boxes;
        const char* refusal;
    };
    const Case cases[] = {
        {{Mv::IDC_PARTIAL, Mv::IDC_COMPONENTS_ONLY}, Mv::kPartialWithComponents},
        {{Mv::IDC_PARTIAL}, Mv::kPartialWithKits},
    };
    for (const Case& c : cases) {
        prompt.shown.clear();
        Mv page(move, nullptr, 3, 4);
        page.Init();
        for (int box : c.boxes)
            page.Check(box, true);
        page.Check(Mv::IDC_CONCURRENT, true);
        EXPECT_FALSE(page.Apply());
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, c.refusal);
        EXPECT_EQ(prompt.shown[0].caption, "Предупреждение");
        EXPECT_EQ(move->isPartialProc, 0);
        EXPECT_EQ(move->isConcurrent, 0);
        EXPECT_EQ(move->MoveOptions, 1);
    }
    // Without kit actions in the new document's state, partial processing goes.
    db->Exec("UPDATE MainDocState SET Action = 2 WHERE TypeDoc = 70002 AND State = 2");
    Mv page(move, nullptr, 3, 4);
    page.Init();
    page.Check(Mv::IDC_PARTIAL, true);
    EXPECT_TRUE(page.Apply());
    EXPECT_EQ(move->isPartialProc, 1);
}

TEST_P(LinkPages, MoveOptionsGoInAndComeBackBitByBit)
{
    for (int bit = -1; bit < 8; ++bit) {
        move->MoveOptions = bit < 0 ? 0 : 1 << bit;
        Mv page(move, nullptr, 3, 4);
        page.Init();
        for (int b = 0; b < 8; ++b)
            EXPECT_EQ(page.Checked(Mv::kOptionBoxes[b]), b == bit) << bit << "/" << b;
        move->MoveOptions = 0x5A5A;
        page.Apply();
        EXPECT_EQ(move->MoveOptions, bit < 0 ? 0 : 1 << bit);
    }
}

TEST_P(LinkPages, ActionsPageListsFirstLinesAndOpensTheActionsSheet)
{
    CAWFAction* first = wft::AddAction(model, 10, "Провести", 1, 100, 200);
    CAWFAction* second = wft::AddAction(model, 11, "Уведомить", 2, 300, 200);
    wft::AddLink(model, move, first);
    wft::AddLink(model, move, second);
    second->SetActionName(11, "Уведомить\r\nклиента", 0, 2);
    first->SetActionName(10, "Архивировать\nсразу", 0, 1);
    CDocLinkPPActionModel page(move, nullptr, 3);
    std::vector<CAWFAction*> opened;
    page.SetRunSheet([&](CAWFAction* action) {
        opened.push_back(action);
        action->SetActionName(12, "Закрыть", 0, 1);
        return 1;
    });
    page.Init();
    using P = CDocLinkPPActionModel;
    EXPECT_EQ(page.Control(P::IDC_ACTIONS).items, (std::vector<std::string>{"Архивировать", "Уведомить"}));
    EXPECT_EQ(page.Control(P::IDC_ACTIONS).selection, 0);
    EXPECT_TRUE(page.Control(P::IDC_PROPERTIES).enabled);
    EXPECT_FALSE(page.Control(P::IDC_ADD).enabled);
    EXPECT_FALSE(page.Control(P::IDC_DELETE).enabled);
    page.Control(P::IDC_ACTIONS).selection = 1;
    page.OnCommand(P::IDC_PROPERTIES);
    EXPECT_EQ(opened, std::vector<CAWFAction*>{second});
    EXPECT_TRUE(page.Modified);
    EXPECT_EQ(page.Control(P::IDC_ACTIONS).items[0], "Архивировать");
    EXPECT_EQ(page.Control(P::IDC_ACTIONS).items[1].rfind("Закрыть", 0), 0u);

    // A move without actions: nothing to open.
    CDocLinkPPActionModel none(Move(closed, entered), nullptr, 3);
    none.Init();
    EXPECT_TRUE(none.Control(P::IDC_ACTIONS).items.empty());
    EXPECT_FALSE(none.Control(P::IDC_PROPERTIES).enabled);
}

TEST_P(LinkPages, ScriptPageGivesTheScriptBack)
{
    move->FormulaScript = "if (a > 1)\n  b = 'да';";
    CDocLinkPPScriptModel page(move);
    EXPECT_EQ(page.Control(CDocLinkPPScriptModel::IDC_SCRIPT).text, move->FormulaScript);
    page.Apply();
    EXPECT_EQ(move->FormulaScript, "if (a > 1)\n  b = 'да';");
    EXPECT_FALSE(page.ChangedElement);
    page.Control(CDocLinkPPScriptModel::IDC_SCRIPT).text = "";
    page.Apply();
    EXPECT_EQ(move->FormulaScript, "");
    EXPECT_TRUE(page.ChangedElement);
}

INSTANTIATE_TEST_SUITE_P(Engines, LinkPages, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return wft::EngineName(info.param); });

INSTANTIATE_TEST_SUITE_P(Engines, Pages, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return wft::EngineName(info.param); });

} // namespace
