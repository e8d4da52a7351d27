// The workflow controller's commands without a display, on the chart
// fixture of both engines: inserting, the update rules, saving, checking,
// reloading and the archive, what the chart shows, and the way to other
// charts. Commands go in as the menu sends them, through the event table.
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/views/tarnwickcontroller.h"

#include "afx/cmdid.h"

#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace tarnwick;
using namespace wft;

namespace {

struct ScriptedStatePrompt : ICreateStatePrompt {
    ScriptedStatePrompt() { SetCreateStatePrompt(this); }
    ~ScriptedStatePrompt() override { SetCreateStatePrompt(nullptr); }
    bool ChooseState(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel&, std::int16_t& state,
                     std::string& name) override
    {
        ++calls;
        if (!answer)
            return false;
        state = answer->first;
        name = answer->second;
        return true;
    }
    std::optional<std::pair<std::int16_t, std::string>> answer;
    int calls = 0;
};

struct RecordingProgress : IChartProgress {
    RecordingProgress() { SetChartProgress(this); }
    ~RecordingProgress() override { SetChartProgress(nullptr); }
    void BeginProgress(const std::string& text, int lower, int upper) override
    {
        seen.push_back("begin " + text + " " + std::to_string(lower) + ".." + std::to_string(upper));
    }
    void StepProgress() override { seen.push_back("step"); }
    void EndProgress() override { seen.push_back("end"); }
    std::vector<std::string> seen;
};

class ChartCommands : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<KelmDb>(GetParam(), "chartcmd");
        scope.shell.connection = db->connection;
        db->ExecLines(std::filesystem::path(WORKFLOW_FIXTURES) / "chartdb_chart.sql");
        g_bShowComments = 1;
    }
    void TearDown() override { g_bShowComments = 1; }

    // The chart of a key in a viewport with the workflow controller.
    CTarnwickController& Open(std::int32_t key, bool build = true)
    {
        model.LoadFromDB(key, build);
        model.m_NewComponents.RemoveAll();
        model.ClearHistory();
        model.SetModified(false);
        viewport.SetModel(&model);
        controller = new CTarnwickController(&viewport);
        viewport.SetController(controller, true);
        return *controller;
    }
    void Send(int id)
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        EXPECT_TRUE(controller->ProcessEvent(event)) << id;
    }
    struct Rule {
        bool enabled;
        int checked; // -1: no check mark set
    };
    Rule Update(int id)
    {
        wxUpdateUIEvent event(ToWxId(id));
        controller->ProcessEvent(event);
        return {event.GetSetEnabled() ? event.GetEnabled() : true,
                event.GetSetChecked() ? (event.GetChecked() ? 1 : 0) : -1};
    }
    long Count(const std::string& sql) { return db->Count(sql); }

    ShellScope scope;
    DialogsScope dialogs;
    ScriptedStatePrompt prompt;
    std::unique_ptr<KelmDb> db;
    CTarnwickModel model;
    CODViewport viewport;
    CTarnwickController* controller = nullptr;
};

TEST_P(ChartCommands, InsertedStatesAndActionsCarryTheirLabels)
{
    Open(70001);
    // Cancelled: nothing to place.
    Send(ID_INSERT_STATE);
    EXPECT_EQ(prompt.calls, 1);
    EXPECT_EQ(controller->GetInsertComponent(), nullptr);

    prompt.answer = {{3, "X"}};
    Send(ID_INSERT_STATE);
    auto* state = dynamic_cast<CAWFState*>(controller->GetInsertComponent());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetDocStateText(), "3:X");
    EXPECT_EQ(state->GetChildText("DocType"), "Заказ");
    EXPECT_EQ(state->GetState(), 3);
    EXPECT_EQ(state->GetTypeDoc(), 70001);
    EXPECT_EQ(state->GenNewOperate, 0);
    controller->CancelInsertion();

    Send(ID_INSERT_EXTERNAL_STATE);
    auto* external = dynamic_cast<CAWFState*>(controller->GetInsertComponent());
    ASSERT_NE(external, nullptr);
    EXPECT_EQ(external->GenNewOperate, 1);
    EXPECT_EQ(external->GetChildText("DocType"), "");
    controller->CancelInsertion();

    // An action comes from the action dialog; cancelled, nothing.
    Send(ID_INSERT_ACTION);
    EXPECT_EQ(dialogs.dialogs.calls.selectAction, 1);
    EXPECT_EQ(controller->GetInsertComponent(), nullptr);
    dialogs.dialogs.selectAction = [](ActionChoice& choice) {
        choice = {11, "Уведомить", 1, 4};
        return IDOK;
    };
    Send(ID_INSERT_ACTION);
    auto* action = dynamic_cast<CAWFAction*>(controller->GetInsertComponent());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->GetActionId(), 11);
    EXPECT_EQ(action->GetOrder(), 4);
    EXPECT_EQ(action->TypeAction, 1);
}

TEST_P(ChartCommands, AChartWithoutItsCatalogueRowInsertsWithoutAsking)
{
    Open(99999, false);
    ASSERT_EQ(model.GetGrp(), -1);
    Send(ID_INSERT_STATE);
    EXPECT_EQ(prompt.calls, 0);
    auto* state = dynamic_cast<CAWFState*>(controller->GetInsertComponent());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetDocStateText(), "-1:State");
    EXPECT_EQ(state->GetChildText("DocType"), "Document type");
    controller->CancelInsertion();
    Send(ID_INSERT_ACTION);
    EXPECT_EQ(dialogs.dialogs.calls.selectAction, 0);
    auto* action = dynamic_cast<CAWFAction*>(controller->GetInsertComponent());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->GetActionName().rfind("Неопределенное действие", 0), 0u) << action->GetActionName();
    EXPECT_EQ(action->GetActionId(), -1);
}

TEST_P(ChartCommands, UpdateRulesFollowTheChartTheModeAndTheSelection)
{
    Open(70001);
    CAWFState* s1 = model.FindState(70001, 1);
    CAWFState* s2 = model.FindState(70001, 2); // external in the fixture
    ASSERT_TRUE(s1 && s2);
    struct Row {
        const char* title;
        std::function<void()> setUp;
        std::vector<std::tuple<int, bool, int>> expected; // id, enabled, checked
    };
    const std::vector<Row> rows = {
        {"nothing selected",
         [&] { controller->ClearSelection(); },
         {{ID_SAVE_TO_DB, true, -1}, {ID_RELOAD_CHART, true, -1}, {ID_CHECK_CHART, true, -1},
          {ID_SAVE_AS_PICTURE, true, -1}, {ID_GO_TO_CHART, false, -1}, {ID_INSERT_COMMENTS, false, -1},
          {ID_SHOW_BACK_REFERENCES, false, -1}, {ID_SHOW_ACTIONS, true, 1}, {ID_SHOW_COMMENTS, true, 1},
          {ID_INSERT_LINK, true, 0}, {ID_INSERT_CIRCLE_LINK, true, 0}}},
        {"one own state",
         [&] { controller->Select(s1); },
         {{ID_GO_TO_CHART, false, -1}, {ID_INSERT_COMMENTS, true, -1}, {ID_SHOW_BACK_REFERENCES, true, -1}}},
        {"one external state",
         [&] { controller->Select(s2); },
         {{ID_GO_TO_CHART, true, -1}, {ID_INSERT_COMMENTS, true, -1}}},
        {"two selected",
         [&] {
             controller->Select(s1);
             controller->Select(s2, true);
         },
         {{ID_GO_TO_CHART, false, -1}, {ID_INSERT_COMMENTS, false, -1}, {ID_SHOW_BACK_REFERENCES, false, -1}}},
        {"comments hidden",
         [&] {
             controller->Select(s1);
             g_bShowComments = 0;
         },
         {{ID_INSERT_COMMENTS, false, -1}, {ID_SHOW_BACK_REFERENCES, false, -1}, {ID_SHOW_COMMENTS, true, 0}}},
        {"read-only",
         [&] { scope.shell.readOnly = true; },
         {{ID_SAVE_TO_DB, false, -1}, {ID_RELOAD_CHART, true, -1}, {ID_CHECK_CHART, true, -1}}},
        {"a link being drawn",
         [&] {
             scope.shell.readOnly = false;
             g_bShowComments = 1;
             controller->ClearSelection();
             Send(ID_INSERT_LINK);
             controller->SetState(OD_STATE_LINK_DRAG);
         },
         {{ID_INSERT_LINK, true, 1}, {ID_INSERT_CIRCLE_LINK, true, 0}}},
        {"a loop being drawn",
         [&] {
             controller->CancelInsertion();
             Send(ID_INSERT_CIRCLE_LINK);
             controller->SetState(OD_STATE_LINK_ARMED);
         },
         {{ID_INSERT_LINK, true, 0}, {ID_INSERT_CIRCLE_LINK, true, 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        row.setUp();
        for (const auto& [id, enabled, checked] : row.expected) {
            const Rule rule = Update(id);
            EXPECT_EQ(rule.enabled, enabled) << id;
            EXPECT_EQ(rule.checked, checked) << id;
        }
    }
    controller->CancelInsertion();

    // Isolated states: a state without any link.
    EXPECT_FALSE(Update(ID_SHOW_ISOLATED_STATES).enabled);
    AddState(model, model.GetDocType(70001, "Заказ"), 4, 500, 500);
    EXPECT_TRUE(Update(ID_SHOW_ISOLATED_STATES).enabled);
    EXPECT_EQ(Update(ID_SHOW_ISOLATED_STATES).checked, 0);
}

TEST_P(ChartCommands, AChartWithoutItsCatalogueRowCannotBeSavedReloadedCheckedOrPictured)
{
    Open(99999, false);
    for (int id : {ID_SAVE_TO_DB, ID_RELOAD_CHART, ID_CHECK_CHART, ID_SAVE_AS_PICTURE})
        EXPECT_FALSE(Update(id).enabled) << id;
    // The library's own commands are left to the library.
    wxUpdateUIEvent undo(ToWxId(ID_OD_EDIT_UNDO));
    controller->ProcessEvent(undo);
    EXPECT_FALSE(undo.GetEnabled());
}

TEST_P(ChartCommands, SaveRefusesReadOnlyStopsOnAFailedCheckAndSavesASoundChartSilently)
{
    Open(70001);
    const long states = Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001");
    AddLink(model, model.FindState(70001, 3), AddState(model, model.GetDocType(70001, "Заказ"), 4, 500, 500));
    model.SetModified();

    // Read-only: refused whatever sends the command.
    scope.shell.readOnly = true;
    Send(ID_SAVE_TO_DB);
    EXPECT_EQ(scope.shell.messages, std::vector<std::string>{"Режим \"только чтение\", диаграмма не будет сохранена"});
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001"), states);
    scope.shell.readOnly = false;
    scope.shell.messages.clear();

    // A second state 4: the check fails and nothing is written.
    CAWFState* twin = AddState(model, model.GetDocType(70001, "Заказ"), 4, 600, 600);
    scope.shell.answers = {false, false, false, false};
    EXPECT_FALSE(controller->OnSaveToDB());
    ASSERT_FALSE(scope.shell.messages.empty());
    EXPECT_EQ(scope.shell.messages.back().rfind("При проверке целостности диаграммы\nобнаружено ", 0), 0u)
        << scope.shell.messages.back();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001"), states);

    // Sound again: saved without a word.
    scope.shell.messages.clear();
    CODComponentSet one;
    one.Add(twin);
    model.DeleteComponents(one);
    Send(ID_SAVE_TO_DB);
    EXPECT_TRUE(scope.shell.messages.empty()) << scope.shell.messages.front();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001"), states + 1);

    // The check on demand says so.
    Send(ID_CHECK_CHART);
    EXPECT_EQ(scope.shell.messages, std::vector<std::string>{"Логических противоречий не обнаружено"});

    // No document type on the chart: nothing happens.
    CTarnwickModel empty;
    CODViewport bare;
    bare.SetModel(&empty);
    CTarnwickController emptyController(&bare);
    EXPECT_FALSE(emptyController.OnSaveToDB());
    EXPECT_EQ(scope.shell.messages.size(), 1u);
}

TEST_P(ChartCommands, ReloadBuildsTheChartFromItsRowsAlone)
{
    // A duplicate state row with other flags, an action whose move does not exist, a script.
    db->Exec("INSERT INTO MainDocState(Grp, Type, TypeDoc, State, isHoleProcess, Comment) VALUES (3, 4, 70001, 3, 0, 'второй')");
    db->Exec("INSERT INTO MainDocAction(Grp, Type, TypeDoc, State, NewGrp, NewState, Action, OrderAction) VALUES (3, 4, 70001, 3, 3, 1, 10, 1)");
    db->Exec("UPDATE MainDocMove SET FormulaScript = '" + std::string(1, '\x02') + " ab' WHERE TypeDoc = 70001 AND State = 2 AND NewState = 1");
    RecordingProgress progress;
    Open(70001);
    scope.shell.messages.clear();
    progress.seen.clear();
    CAWFState* before = model.FindState(70001, 1);
    before->MoveTo(700, 700);
    model.SetModified();

    // No: the edits go, the rows come back.
    scope.shell.threeWay = {IDNO};
    Send(ID_RELOAD_CHART);
    EXPECT_EQ(scope.shell.questions, std::vector<std::string>{"Диаграмма была изменена.\nВы хотите ее сохранить?"});
    EXPECT_EQ(progress.seen, (std::vector<std::string>{"begin Перезагрузка данных... 0..30", "step", "step", "step", "end"}));

    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 3);
    CAWFState* s1 = model.FindState(70001, 1);
    CAWFState* s2 = model.FindState(70001, 2);
    CAWFState* s3 = model.FindState(70001, 3);
    ASSERT_TRUE(s1 && s2 && s3);
    EXPECT_EQ(s1->GetOrigin(), CPoint(0, 0));
    EXPECT_EQ(s2->GetOrigin(), CPoint(50, 50));
    EXPECT_EQ(s3->GetOrigin(), CPoint(100, 100));
    // The second row of state 3 gave its flags and comment.
    EXPECT_EQ(s3->isHoleProcess, 0);
    EXPECT_EQ(s3->Comment, "второй");
    CAWFLink* m12 = model.FindMove(70001, 1, 70001, 2);
    CAWFLink* m21 = model.FindMove(70001, 2, 70001, 1);
    ASSERT_TRUE(m12 && m21);
    ASSERT_EQ(m12->GetPointCount(), 3);
    ASSERT_EQ(m21->GetPointCount(), 3);
    EXPECT_EQ(std::abs(m12->GetPoint(1).y - m21->GetPoint(1).y), 40);
    EXPECT_EQ(m21->FormulaScript, "ab");
    EXPECT_EQ(m12->FormulaScript, "");
    // The action without its move is reported, not placed.
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), 3);
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_NE(scope.shell.messages[0].find("действие 10"), std::string::npos) << scope.shell.messages[0];
    EXPECT_FALSE(model.m_bIncomplete);
    // Nothing to undo into.
    EXPECT_FALSE(model.CanUndo());
}

TEST_P(ChartCommands, ReloadSavesFirstOnYesAndOnlyGoesOnWhenTheSaveCommitted)
{
    Open(70001);
    AddLink(model, model.FindState(70001, 3), AddState(model, model.GetDocType(70001, "Заказ"), 4, 500, 500));
    CAWFState* twin = AddState(model, model.GetDocType(70001, "Заказ"), 4, 600, 600);
    model.SetModified();
    // The check fails: nothing saved, the chart stays as edited.
    scope.shell.threeWay = {IDYES};
    scope.shell.answers = {false, false, false, false};
    Send(ID_RELOAD_CHART);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 5);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001 AND State = 4"), 0);

    // Sound: saved, then rebuilt from the rows it wrote.
    CODComponentSet one;
    one.Add(twin);
    model.DeleteComponents(one);
    scope.shell.messages.clear();
    scope.shell.threeWay = {IDYES};
    Send(ID_RELOAD_CHART);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001 AND State = 4"), 1);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 4);

    // Cancel: nothing at all.
    model.SetModified();
    scope.shell.threeWay = {IDCANCEL};
    const int components = model.GetComponentCount();
    Send(ID_RELOAD_CHART);
    EXPECT_EQ(model.GetComponentCount(), components);
}

TEST_P(ChartCommands, ReadingTheArchiveOfAModifiedChartAsksFirst)
{
    Open(70001);
    model.SetModified();
    const int components = model.GetComponentCount();
    scope.shell.threeWay = {IDCANCEL};
    Send(ID_READ_ARCHIVE);
    EXPECT_EQ(scope.shell.questions, std::vector<std::string>{"Диаграмма была изменена.\nВы хотите ее сохранить?"});
    EXPECT_EQ(model.GetComponentCount(), components);
}

TEST_P(ChartCommands, ThePropertySheetIsCaptionedByWhetherTheChartMayBeEdited)
{
    Open(70001);
    std::vector<std::string> captions;
    dialogs.dialogs.runProperties = [&](CODComponentSet&, CODViewport&, const std::string& caption) {
        captions.push_back(caption);
        return static_cast<int>(IDCANCEL);
    };
    controller->Select(model.GetComponents()->GetAt(0));
    Send(ID_OD_PROPERTIES);
    model.SetEditA(1);
    Send(ID_OD_PROPERTIES);
    EXPECT_EQ(captions, (std::vector<std::string>{"Свойства", "Свойства (только просмотр)"}));
    EXPECT_FALSE(model.IsModified()) << "a cancelled sheet changes nothing";
}

TEST_P(ChartCommands, ShowActionsWorksOnTheSelectionOrTheWholeChart)
{
    Open(70001);
    std::vector<CAWFAction*> actions;
    for (CODComponent* c : *model.GetComponents())
        if (auto* a = dynamic_cast<CAWFAction*>(c))
            actions.push_back(a);
    ASSERT_EQ(actions.size(), 3u);
    controller->Select(actions[0]);
    controller->Select(actions[1], true);
    Send(ID_SHOW_ACTIONS);
    EXPECT_FALSE(actions[0]->IsVisible());
    EXPECT_FALSE(actions[1]->IsVisible());
    EXPECT_TRUE(actions[2]->IsVisible());
    EXPECT_EQ(Update(ID_SHOW_ACTIONS).checked, 1);

    controller->ClearSelection();
    Send(ID_SHOW_ACTIONS);
    for (CAWFAction* a : actions)
        EXPECT_FALSE(a->IsVisible());
    EXPECT_EQ(Update(ID_SHOW_ACTIONS).checked, 0);
}

TEST_P(ChartCommands, CommentsAreOwnTextsThatShowHideAndAreAddedOnce)
{
    Open(70001);
    CAWFState* s1 = model.FindState(70001, 1);
    const int children = s1->GetChildCount();
    controller->Select(s1);
    Send(ID_INSERT_COMMENTS);
    ASSERT_EQ(s1->GetChildCount(), children + 1);
    CODTextComponent* comment = CTarnwickController::FindComment(s1);
    ASSERT_NE(comment, nullptr);
    EXPECT_TRUE(comment->IsVisible());
    Send(ID_INSERT_COMMENTS);
    EXPECT_EQ(s1->GetChildCount(), children + 1);

    std::vector<bool> labels;
    for (int i = 0; i < s1->GetChildCount(); ++i)
        if (s1->GetChild(i) != comment)
            labels.push_back(s1->GetChild(i)->IsVisible());
    Send(ID_SHOW_COMMENTS);
    EXPECT_FALSE(comment->IsVisible());
    std::vector<bool> after;
    for (int i = 0; i < s1->GetChildCount(); ++i)
        if (s1->GetChild(i) != comment)
            after.push_back(s1->GetChild(i)->IsVisible());
    EXPECT_EQ(after, labels);
    Send(ID_SHOW_COMMENTS);
    EXPECT_TRUE(comment->IsVisible());
    // Labels come from the catalogue: only the comment may be edited.
    CODTextComponent* label = nullptr;
    for (int i = 0; i < s1->GetChildCount() && !label; ++i)
        if (s1->GetChild(i) != comment)
            label = dynamic_cast<CODTextComponent*>(s1->GetChild(i));
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(controller->OnEditText(label, CPoint(0, 0)));
}

TEST_P(ChartCommands, GoToChartOpensTheFirstMoveIntoTheExternalStateWithACatalogueRow)
{
    Open(70001);
    CAWFState* s2 = model.FindState(70001, 2); // reached by 1 -> 2 (to 70002)
    controller->Select(s2);
    Send(ID_GO_TO_CHART);
    ASSERT_EQ(scope.shell.opened.size(), 1u);
    EXPECT_EQ(scope.shell.opened[0], std::make_pair(70002, std::string("Счёт")));

    // A second move into the same state, later in component order, changes nothing.
    CAWFState* s3 = model.FindState(70001, 3);
    CAWFLink* second = AddLink(model, s3, s2);
    second->NewTypeDoc = 70001;
    Send(ID_GO_TO_CHART);
    ASSERT_EQ(scope.shell.opened.size(), 2u);
    EXPECT_EQ(scope.shell.opened[1].first, 70002);

    // No ProdDocType row: nothing.
    db->Exec("DELETE FROM ProdDocType WHERE TypeDoc = 70002");
    Send(ID_GO_TO_CHART);
    EXPECT_EQ(scope.shell.opened.size(), 2u);
    EXPECT_TRUE(scope.shell.messages.empty());
}

TEST_P(ChartCommands, BackReferencesOpenTheChosenChart)
{
    Open(70001);
    controller->Select(model.FindState(70001, 1));
    dialogs.dialogs.showBackReferences = [](std::int32_t typeDoc, DocTypeChoice& chosen) {
        EXPECT_EQ(typeDoc, 70001);
        chosen = {70002, "Счёт"};
        return IDOK;
    };
    Send(ID_SHOW_BACK_REFERENCES);
    ASSERT_EQ(scope.shell.opened.size(), 1u);
    EXPECT_EQ(scope.shell.opened[0], std::make_pair(70002, std::string("Счёт")));
}

TEST_P(ChartCommands, ACircularLinkClosesOnItsStateOrVanishesWhenItCannotBeLaid)
{
    Open(70001);
    CAWFState* s1 = model.FindState(70001, 1);
    const CPoint port = s1->GetPort()->GetModelBounds().CenterPoint();
    Send(ID_INSERT_CIRCLE_LINK);
    controller->OnLButtonDown(OD_MK_LBUTTON, port);
    controller->OnLButtonUp(0, port);
    EXPECT_EQ(controller->GetState(), OD_STATE_IDLE);
    EXPECT_EQ(controller->GetInsertComponent(), nullptr);
    CAWFLink* loop = model.FindMove(70001, 1, 70001, 1);
    ASSERT_NE(loop, nullptr);
    EXPECT_NE(dynamic_cast<CAWFCircleLink*>(loop), nullptr);
    EXPECT_GT(loop->GetPointCount(), 2);

    // A state without its outline: the loop cannot be laid and is deleted again, undoably.
    CAWFState* bare = AddState(model, model.GetDocType(70001, "Заказ"), 4, 600, 600);
    for (int i = bare->GetChildCount() - 1; i >= 0; --i)
        if (bare->GetChild(i)->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)))
            bare->RemoveChild(bare->GetChild(i));
    const int components = model.GetComponentCount();
    const CPoint barePort = bare->GetPort()->GetModelBounds().CenterPoint();
    Send(ID_INSERT_CIRCLE_LINK);
    controller->OnLButtonDown(OD_MK_LBUTTON, barePort);
    controller->OnLButtonUp(0, barePort);
    EXPECT_EQ(model.GetComponentCount(), components);
    EXPECT_EQ(model.FindMove(70001, 4, 70001, 4), nullptr);
    ASSERT_TRUE(model.CanUndo());
    model.Undo();
    EXPECT_NE(model.FindMove(70001, 4, 70001, 4), nullptr);
}

TEST_P(ChartCommands, DeleteAsksWhatTheElementsAskAndDefaultPropertiesAreAlwaysWritten)
{
    Open(70001);
    controller->Select(model.FindState(70001, 3));
    scope.shell.answers = std::deque<bool>(8, true);
    Send(ID_OD_EDIT_CLEAR);
    EXPECT_FALSE(scope.shell.questions.empty());
    EXPECT_EQ(model.m_bSilentRemove, 1);
    EXPECT_EQ(model.FindState(70001, 3), nullptr);

    // Without a window the dialog ends at once; the file is written all the same.
    Send(ID_OD_DEFAULT_PROPERTIES);
    EXPECT_EQ(scope.shell.defaultsSaved, 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, ChartCommands, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

} // namespace
