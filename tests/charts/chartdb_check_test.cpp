// The integrity check of a chart: which element gets which message, which
// questions are asked, and the verdict, for a table of small charts.
#include "charts/shell/core/chartprogress.h"

#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

using namespace wft;

namespace {

const std::string kUnconnected = "Состояние не связано с другими состояниями.";
const std::string kNotInitial = "Состояние не может быть начальным.";
const std::string kNoInitial = "Отсутствует начальное состояние \"Введен\"";
const std::string kDupState = "Дублирование состояний!";
const std::string kDupMove = "Дублирование перехода!";
const std::string kDupAction = "Дублирование действия!";
const std::string kSameOrder = "Два действия имеют одинаковый приоритет!";
const std::string kMixedMove = "Переход между состояниями разных типов документов не сохраняется в БД!";
const std::string kQuestion = "На диаграмме обнаружены несвязанные состояния или\nостутсвует начальное состояние.Сохранять?";

struct StateSpec {
    std::string name;
    std::int16_t number;
    bool foreign = false;
};
struct MoveSpec {
    std::string name, from, to;
};
struct ActionSpec {
    std::string name, move;
    std::int32_t id;
    std::uint16_t order;
};

struct Scenario {
    std::string title;
    std::vector<StateSpec> states;
    std::vector<MoveSpec> moves;
    std::vector<ActionSpec> actions;
    std::deque<bool> answers;
    std::size_t questions;
    // Messages expected on named elements; unnamed elements expect none.
    std::map<std::string, std::vector<std::string>> errors;
};

class ChartCheck : public ::testing::TestWithParam<Scenario> {};

TEST_P(ChartCheck, MessagesQuestionsAndVerdict)
{
    const Scenario& s = GetParam();
    ShellScope scope;
    scope.shell.answers = s.answers;
    CTarnwickModel model;
    CAWFDocumentType* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    other->TypeDoc = 70002;

    std::map<std::string, CAWFBase*> named;
    std::map<std::string, CODComponent*> components;
    int x = 0;
    for (const StateSpec& st : s.states) {
        CAWFState* state = AddState(model, st.foreign ? other : own, st.number, x += 200, 0, st.foreign);
        named[st.name] = state;
        components[st.name] = state;
    }
    for (const MoveSpec& m : s.moves) {
        CAWFLink* link = AddLink(model, components.at(m.from), components.at(m.to));
        ASSERT_TRUE(link->IsDocumentMove()) << m.name;
        named[m.name] = link;
        components[m.name] = link;
    }
    for (const ActionSpec& a : s.actions) {
        CAWFAction* action = AddAction(model, a.id, "действие", a.order, x += 200, 300);
        named[a.name] = action;
        if (!a.move.empty())
            AddLink(model, components.at(a.move), action);
    }

    const bool passed = tarnwick::CheckChart(model, true);
    EXPECT_EQ(scope.shell.questions.size(), s.questions);
    for (const std::string& q : scope.shell.questions)
        EXPECT_EQ(q, kQuestion);
    std::size_t expected = 0;
    for (const auto& [name, element] : named) {
        auto it = s.errors.find(name);
        const std::vector<std::string> want = it == s.errors.end() ? std::vector<std::string>{} : it->second;
        EXPECT_EQ(element->Errors, want) << name;
        expected += want.size();
    }
    EXPECT_EQ(model.CountErrors(), static_cast<int>(expected));
    EXPECT_EQ(passed, expected == 0);
    ASSERT_EQ(scope.shell.messages.size(), 1u);
    if (expected == 0)
        EXPECT_EQ(scope.shell.messages[0], "Логических противоречий не обнаружено");
    else
        EXPECT_EQ(scope.shell.messages[0],
                  "При проверке целостности диаграммы\nобнаружено " + std::to_string(expected) + " ошибок!");
}

const Scenario kScenarios[] = {
    {"ValidChain", {{"s1", 1}, {"s2", 2}}, {{"m12", "s1", "s2"}}, {}, {}, 0, {}},
    {"DuplicateStatesEachGetOneMessagePerTwin",
     {{"s1", 1}, {"a2", 2}, {"b2", 2}, {"c2", 2}},
     {{"m1a", "s1", "a2"}, {"m1b", "s1", "b2"}, {"m1c", "s1", "c2"}},
     {},
     {false, false, false},
     3,
     {{"a2", {kDupState, kDupState}}, {"b2", {kDupState, kDupState}}, {"c2", {kDupState, kDupState}}}},
    // The move into the foreign state is refused: stored with the source's
    // document type only, it would load as a move into s2.
    {"SameNumberOtherDocumentTypeIsNoDuplicate",
     {{"s1", 1}, {"s2", 2}, {"f2", 2, true}},
     {{"m12", "s1", "s2"}, {"m1f", "s1", "f2"}},
     {},
     {},
     0,
     {{"m1f", {kMixedMove}}}},
    {"OppositeMovesAreNoDuplicates", {{"s1", 1}, {"s2", 2}}, {{"m12", "s1", "s2"}, {"m21", "s2", "s1"}}, {}, {}, 0, {}},
    {"DuplicateMoves",
     {{"s1", 1}, {"s2", 2}},
     {{"m12", "s1", "s2"}, {"again", "s1", "s2"}},
     {},
     {},
     0,
     {{"m12", {kDupMove}}, {"again", {kDupMove}}}},
    {"DuplicateActionsAndSameOrder",
     {{"s1", 1}, {"s2", 2}},
     {{"m12", "s1", "s2"}, {"m21", "s2", "s1"}},
     {{"x", "m12", 10, 1}, {"y", "m12", 10, 2}, {"p", "m21", 11, 3}, {"q", "m21", 12, 3}, {"r", "m21", 10, 1}},
     {},
     0,
     {{"x", {kDupAction}}, {"y", {kDupAction}}, {"p", {kSameOrder}}, {"q", {kSameOrder}}}},
    {"ActionWithoutMove",
     {{"s1", 1}, {"s2", 2}},
     {{"m12", "s1", "s2"}},
     {{"lone", "", 10, 1}},
     {},
     0,
     {{"lone", {"Действие должно быть связано с переходом"}}}},
    {"SingleInitialStateIsNotValidated", {{"s1", 1}}, {}, {}, {}, 0, {}},
    // Without the initial state no answer could let the save pass: nothing is asked.
    {"SingleStateNotInitialAsksNothing", {{"s2", 2}}, {}, {}, {}, 0, {{"s2", {kNoInitial}}}},
    {"NoInitialStateAsksNothingAndValidatesEveryState",
     {{"s2", 2}, {"s3", 3}, {"s4", 4}},
     {},
     {},
     {},
     0,
     {{"s2", {kUnconnected, kNoInitial}}, {"s3", {kUnconnected, kNoInitial}}, {"s4", {kUnconnected, kNoInitial}}}},
    {"NoInitialStateWithDuplicatesAsksNothing",
     {{"a2", 2}, {"b2", 2}},
     {{"mab", "a2", "b2"}},
     {},
     {},
     0,
     {{"a2", {kDupState, kNotInitial, kNoInitial}}, {"b2", {kDupState, kNoInitial}}}},
    {"UnconnectedStatesAcceptedByYes",
     {{"s1", 1}, {"s2", 2}, {"s3", 3}, {"s4", 4}},
     {{"m13", "s1", "s3"}},
     {},
     {true},
     1,
     {}},
    {"YesKeepsADuplicateOfTheStateAskedAbout",
     {{"s1", 1}, {"a2", 2}, {"b2", 2}, {"s5", 5}},
     {{"m1a", "s1", "a2"}, {"m1b", "s1", "b2"}},
     {},
     {true},
     1,
     {{"a2", {kDupState}}, {"b2", {kDupState}}}},
    {"StateWithoutIncomingMoveCannotBeInitial",
     {{"s1", 1}, {"s2", 2}, {"s3", 3}},
     {{"m12", "s1", "s2"}, {"m32", "s3", "s2"}},
     {},
     {false},
     1,
     {{"s3", {kNotInitial}}}},
    {"ForeignStatesAreCheckedButNeverCounted",
     {{"s2", 2}, {"f1", 1, true}, {"g1", 1, true}},
     {{"mf2", "f1", "s2"}},
     {},
     {},
     0,
     {{"s2", {kNoInitial}}, {"f1", {kDupState}}, {"g1", {kDupState, kUnconnected}}, {"mf2", {kMixedMove}}}},
    {"OnlyForeignStatesAskNothing", {{"f3", 3, true}}, {}, {}, {}, 0, {{"f3", {kUnconnected}}}},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, ChartCheck, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return info.param.title; });

TEST(ChartCheckRerun, StartsFromEmptyListsAndShowsProgress)
{
    struct Progress : tarnwick::IChartProgress {
        std::vector<std::string> log;
        void BeginProgress(const std::string& text, int lower, int upper) override
        {
            log.push_back(text + " " + std::to_string(lower) + ".." + std::to_string(upper));
        }
        void StepProgress() override { log.push_back("step"); }
        void EndProgress() override { log.push_back("end"); }
    } progress;
    tarnwick::SetChartProgress(&progress);
    ShellScope scope;
    CTarnwickModel model;
    CAWFDocumentType* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    CAWFState* s1 = AddState(model, own, 1, 0, 0);
    CAWFState* s2 = AddState(model, own, 2, 200, 0);
    AddLink(model, s1, s2);
    CAWFLink* twice = AddLink(model, s1, s2);
    EXPECT_FALSE(tarnwick::CheckChart(model, false));
    EXPECT_EQ(model.CountErrors(), 2);
    model.DeleteComponents([&] {
        CODComponentSet set;
        set.Add(twice);
        return set;
    }());
    EXPECT_TRUE(tarnwick::CheckChart(model, false));
    EXPECT_EQ(model.CountErrors(), 0);
    // Without report, a passed check says nothing.
    EXPECT_EQ(scope.shell.messages.size(), 1u);
    tarnwick::SetChartProgress(nullptr);
    const std::vector<std::string> once = {"Проверка диаграммы... 0..60", "step", "step", "step", "step", "step",
                                           "step", "end"};
    ASSERT_EQ(progress.log.size(), 2 * once.size());
    EXPECT_EQ(std::vector<std::string>(progress.log.begin(), progress.log.begin() + once.size()), once);
}

// Every message of the chart, element by element in component order, as
// "name: text"; unnamed components are listed by their class.
std::vector<std::string> AllMessages(CTarnwickModel& model, const std::map<CODComponent*, std::string>& names)
{
    std::vector<std::string> all;
    for (CODComponent* c : *model.GetComponents()) {
        auto* element = dynamic_cast<CAWFBase*>(c);
        if (!element)
            continue;
        const auto it = names.find(c);
        const std::string name = it != names.end() ? it->second : c->GetRuntimeClass()->m_lpszClassName;
        for (const std::string& text : element->Errors)
            all.push_back(name + ": " + text);
    }
    return all;
}

// One chart with a fault of every kind, checked again after each of a row
// of edits: each check reports what the chart holds at that moment, in the
// same order, whatever an earlier check of the same chart saw.
TEST(ChartCheckRerun, ReportsEachEditOfTheChart)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFDocumentType* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    CAWFDocumentType* other = model.GetDocType(70002, "Счёт");
    other->TypeDoc = 70002;
    std::map<CODComponent*, std::string> names;
    auto name = [&](auto* c, const std::string& n) {
        names[c] = n;
        return c;
    };
    CAWFState* s1 = name(AddState(model, own, 1, 0, 0), "s1");
    CAWFState* s2 = name(AddState(model, own, 2, 200, 0), "s2");
    CAWFState* s3 = name(AddState(model, own, 3, 400, 0), "s3");
    name(AddState(model, other, 2, 600, 0, true), "f2");
    CAWFLink* m12 = name(AddLink(model, s1, s2), "m12");
    CAWFLink* m23 = name(AddLink(model, s2, s3), "m23");
    CAWFLink* again = name(AddLink(model, s1, s2), "again");
    name(AddLink(model, s3, s1), "m31");
    CAWFAction* x = name(AddAction(model, 10, "действие", 1, 0, 300), "x");
    AddLink(model, m12, x);
    CAWFAction* y = name(AddAction(model, 10, "действие", 2, 200, 300), "y");
    AddLink(model, m12, y);
    CAWFAction* z = name(AddAction(model, 11, "действие", 1, 400, 300), "z");
    AddLink(model, m23, z);
    CAWFAction* lone = name(AddAction(model, 12, "действие", 1, 600, 300), "lone");

    const std::string kUnlinkedAction = "lone: Действие должно быть связано с переходом";
    const std::string kLooseMove = "Переход не имеет связи с состоянием";
    struct Step {
        std::string edit;
        std::function<void()> apply;
        std::vector<std::string> messages;
        std::deque<bool> answers = {};
    };
    const std::vector<Step> steps = {
        {"as built", [] {},
         {"f2: " + kUnconnected, "m12: " + kDupMove, "again: " + kDupMove, "x: " + kDupAction, "y: " + kDupAction,
          kUnlinkedAction}},
        {"a state renumbered to its neighbour's number", [&] { s3->State = 2; },
         {"s2: " + kDupState, "s3: " + kDupState, "f2: " + kUnconnected, "m12: " + kDupMove, "again: " + kDupMove,
          "x: " + kDupAction, "y: " + kDupAction, kUnlinkedAction},
         {false, false}},
        {"renumbered back, an action given another number",
         [&] {
             s3->State = 3;
             y->ActionId = 13;
         },
         {"f2: " + kUnconnected, "m12: " + kDupMove, "again: " + kDupMove, kUnlinkedAction}},
        {"the action given its neighbour's order", [&] { y->Order = 1; },
         {"f2: " + kUnconnected, "m12: " + kDupMove, "again: " + kDupMove, "x: " + kSameOrder, "y: " + kSameOrder,
          kUnlinkedAction}},
        {"the lone action tied to a move", [&] { AddLink(model, m23, lone); },
         {"f2: " + kUnconnected, "m12: " + kDupMove, "again: " + kDupMove, "x: " + kSameOrder, "y: " + kSameOrder,
          "z: " + kSameOrder, "lone: " + kSameOrder}},
        {"the second move's target let go", [&] { again->DisconnectEnd(again->GetTargetPort()); },
         {"f2: " + kUnconnected, "again: " + kLooseMove, "x: " + kSameOrder, "y: " + kSameOrder, "z: " + kSameOrder,
          "lone: " + kSameOrder}},
        {"the only move into the third state let go, and a state added",
         [&] {
             m23->DisconnectEnd(m23->GetTargetPort());
             name(AddState(model, own, 9, 800, 0), "s9");
         },
         {"s3: " + kNotInitial, "f2: " + kUnconnected, "m23: " + kLooseMove, "again: " + kLooseMove,
          "x: " + kSameOrder, "y: " + kSameOrder, "z: " + kSameOrder, "lone: " + kSameOrder, "s9: " + kUnconnected},
         {false, false}},
        {"the loose move deleted, and yes to the question",
         [&] {
             CODComponentSet set;
             set.Add(again);
             model.DeleteComponents(set);
         },
         {"f2: " + kUnconnected, "m23: " + kLooseMove, "x: " + kSameOrder, "y: " + kSameOrder, "z: " + kSameOrder,
          "lone: " + kSameOrder},
         {true}},
    };
    for (const Step& step : steps) {
        step.apply();
        scope.shell.answers = step.answers;
        scope.shell.questions.clear();
        EXPECT_EQ(tarnwick::CheckChart(model, false), step.messages.empty()) << step.edit;
        EXPECT_EQ(AllMessages(model, names), step.messages) << step.edit;
        EXPECT_EQ(model.CountErrors(), static_cast<int>(step.messages.size())) << step.edit;
        EXPECT_EQ(scope.shell.questions.size(), step.answers.size()) << step.edit;

        // The model's passes one by one, in the order the check once ran
        // them, find the same messages and ask the same questions.
        scope.shell.answers = step.answers;
        scope.shell.questions.clear();
        model.ClearErrors();
        model.CheckDuplicateStates();
        model.CheckDuplicateMoves();
        model.CheckDuplicateActions();
        model.CheckConnections();
        EXPECT_EQ(AllMessages(model, names), step.messages) << "one pass at a time: " << step.edit;
        EXPECT_EQ(scope.shell.questions.size(), step.answers.size()) << "one pass at a time: " << step.edit;
    }
}

} // namespace

namespace {

// The question about unconnected states comes once every duplicate of the
// chart is marked, those of the elements after the state asked about too:
// the chart behind the question shows them all.
TEST(ChartCheckQuestion, ComesWithEveryDuplicateMarked)
{
    struct Shell : ScriptedShell {
        std::function<void()> onAsk;
        bool AskYesNo(const std::string& text) override
        {
            onAsk();
            return ScriptedShell::AskYesNo(text);
        }
    } shell;
    tarnwick::SetChartShell(&shell);
    CTarnwickModel model;
    CAWFDocumentType* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    std::map<CODComponent*, std::string> names;
    auto name = [&](auto* c, const std::string& n) {
        names[c] = n;
        return c;
    };
    CAWFState* s1 = name(AddState(model, own, 1, 0, 0), "s1");
    name(AddState(model, own, 2, 200, 0), "s2");
    CAWFState* a3 = name(AddState(model, own, 3, 400, 0), "a3");
    CAWFState* b3 = name(AddState(model, own, 3, 600, 0), "b3");
    name(AddLink(model, s1, a3), "m1a");
    name(AddLink(model, s1, b3), "m1b");
    name(AddLink(model, s1, a3), "again");
    std::vector<std::string> seen;
    shell.onAsk = [&] { seen = AllMessages(model, names); };
    shell.answers = {true};
    EXPECT_FALSE(tarnwick::CheckChart(model, false));
    EXPECT_EQ(seen, (std::vector<std::string>{"s2: " + kUnconnected, "a3: " + kDupState, "b3: " + kDupState,
                                              "m1a: " + kDupMove, "again: " + kDupMove}));
    EXPECT_EQ(AllMessages(model, names), (std::vector<std::string>{"a3: " + kDupState, "b3: " + kDupState,
                                                                   "m1a: " + kDupMove, "again: " + kDupMove}));
    EXPECT_EQ(model.CountErrors(), 4);
    EXPECT_EQ(shell.questions.size(), 1u);
    tarnwick::SetChartShell(nullptr);
}

TEST(ChartVisibility, IsolatedStatesAndActionsAreShownAndHidden)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFDocumentType* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    CAWFState* s1 = AddState(model, own, 1, 0, 0);
    CAWFState* s2 = AddState(model, own, 2, 200, 0);
    CAWFState* lone = AddState(model, own, 3, 400, 0);
    CAWFState* foreign = AddState(model, own, 4, 600, 0, true);
    CAWFLink* move = AddLink(model, s1, s2);
    CAWFAction* action = AddAction(model, 10, "действие", 1, 0, 300);
    CAWFLink* tie = AddLink(model, move, action);
    EXPECT_TRUE(model.HasIsolatedStates());

    model.ShowIsolatedStates(false);
    EXPECT_EQ(model.GetIsolatedShown(), 0);
    EXPECT_FALSE(lone->IsVisible());
    EXPECT_FALSE(foreign->IsVisible());
    EXPECT_TRUE(s1->IsVisible() && s2->IsVisible());
    model.ShowIsolatedStates(true);
    EXPECT_TRUE(lone->IsVisible() && foreign->IsVisible());

    // One document move selected: that selection only, which holds no action.
    CODComponentSet selection;
    selection.Add(move);
    model.ShowActions(&selection, false);
    EXPECT_TRUE(action->IsVisible() && tie->IsVisible());
    EXPECT_EQ(model.GetActionsShown(), 1);
    // One state selected: the whole chart, and the flag is stored.
    selection.RemoveAll();
    selection.Add(s1);
    model.ShowActions(&selection, false);
    EXPECT_FALSE(action->IsVisible());
    EXPECT_FALSE(tie->IsVisible());
    EXPECT_TRUE(move->IsVisible() && s1->IsVisible());
    EXPECT_EQ(model.GetActionsShown(), 0);
    // Two components selected: only those.
    selection.RemoveAll();
    selection.Add(action);
    selection.Add(s2);
    model.ShowActions(&selection, true);
    EXPECT_TRUE(action->IsVisible());
    EXPECT_FALSE(tie->IsVisible());
    EXPECT_EQ(model.GetActionsShown(), 0);

    CTarnwickModel connected;
    EXPECT_FALSE(connected.HasIsolatedStates());
}

} // namespace
