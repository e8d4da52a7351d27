// The catalogue dialogs' rules without a display, on the chart fixture of
// both engines: the name dialog's modes, the process dialog for a new and an
// existing process, and the groups offered for the chart.
#include "editor/dialogs/core/catalogdlgmodel.h"

#include "editor/app/core/editorcore.h"
#include "charts/shell/core/chartshell.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace tarnwick;

namespace {

TEST(AddStateModes, CaptionEditsAndLimitFollowTheMode)
{
    struct Row {
        unsigned mode;
        const char* caption;
        bool name, fullName;
        int limit;
    };
    const Row rows[] = {
        {1, "Переименовать состояние.", true, false, 40}, {2, "Удалить состояние.", false, false, 40},
        {3, "Добавить документ.", true, true, 40},         {4, "Переименовать документ.", true, true, 40},
        {5, "Удалить документ.", false, false, 40},        {6, "Добавить процесс.", true, false, 18},
        {7, "Переименовать процесс.", true, false, 18},    {8, "Удалить процесс.", false, false, 40},
        {9, "Добавить состояние.", true, false, 40},       {0, "", true, false, 40},
        {10, "", true, false, 40},
    };
    for (const Row& row : rows) {
        CAddStateModel model("Введен", row.mode);
        model.OnInitDialog();
        SCOPED_TRACE(row.mode);
        EXPECT_EQ(model.Caption(), row.caption);
        EXPECT_EQ(model.NameEnabled(), row.name);
        EXPECT_EQ(model.FullNameEnabled(), row.fullName);
        EXPECT_EQ(model.NameLimit(), row.limit);
        // A delete shows the name read-only and may still be confirmed.
        EXPECT_TRUE(model.OkEnabled(model.m_strName));
    }
    CAddStateModel empty(nullptr, 9);
    empty.OnInitDialog();
    EXPECT_EQ(empty.m_strName, "");
    EXPECT_EQ(empty.m_strFullName, "");
    EXPECT_FALSE(empty.OkEnabled(empty.m_strName));
    CAddStateModel given("Счёт", 3);
    EXPECT_EQ(given.m_strFullName, "Счёт");
}

class CatalogDialogs : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "catalog");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        // Group 3's processes, the first an income; group 92 lets a new process choose its kind.
        db->Exec("INSERT INTO ProdTypeOperate(Grp, Type, Kind, Code, NameOperate) VALUES (3, 4, 1, 'ZK', 'Оформление заказа')");
        db->Exec("INSERT INTO ProdTypeOperate(Grp, Type, Kind, Code, NameOperate) VALUES (3, 5, 0, 'SC', 'Выставление счёта')");
        db->Exec("INSERT INTO ProdTypeOperate(Grp, Type, Kind, Code, NameOperate) VALUES (92, 40, 2, 'VP', 'Перемещение')");
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    kelm::test::RecordingPrompt prompt;
    kelm::test::ItemList combo;
};

TEST_P(CatalogDialogs, ANewProcessOfAnEmptyGroupStartsAsAnExpenseWithoutABase)
{
    CAddProcessDlgModel model(5, 0, "Складской учёт", false);
    model.OnInitDialog(combo);
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(model.m_nBaseType, -1);
    EXPECT_EQ(model.SelectedRadio(), CAddProcessDlgModel::kExpense);
    EXPECT_FALSE(model.KindChoiceEnabled());
    EXPECT_TRUE(model.EditsEnabled());
    EXPECT_FALSE(model.OkEnabled());
    EXPECT_EQ(model.GroupName(), "Складской учёт");

    // OK follows both edits, also back to disabled.
    const std::pair<const char*, const char*> edits[] = {{"K", ""}, {"K", "Имя"}, {"", "Имя"}, {"K", "Имя"}};
    const bool enabled[] = {false, true, false, true};
    for (std::size_t i = 0; i < std::size(edits); ++i) {
        model.OnEditChange(edits[i].first, edits[i].second);
        EXPECT_EQ(model.OkEnabled(), enabled[i]) << i;
    }
    model.OnOK(CAddProcessDlgModel::kInternal, "K", "Имя");
    EXPECT_EQ(model.m_nMoveKind, 2);
    EXPECT_EQ(model.m_strCode, "K");
    EXPECT_EQ(model.m_strName, "Имя");
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_P(CatalogDialogs, ANewProcessOffersTheGroupsProcessesAsBases)
{
    CAddProcessDlgModel model(3, 0, "Продажи и расчёты", false);
    model.OnInitDialog(combo);
    ASSERT_EQ(combo.items.size(), 2u);
    EXPECT_EQ(combo.data.size(), 2u);
    const std::set<std::string> names(combo.items.begin(), combo.items.end());
    EXPECT_EQ(names, (std::set<std::string>{"Оформление заказа", "Выставление счёта"}));
    EXPECT_EQ(combo.selection, 0);
    EXPECT_EQ(model.m_nBaseType, static_cast<std::int16_t>(combo.data[0]));
    // The first row's kind chooses the radio button; this group has no choice.
    EXPECT_EQ(model.SelectedRadio(), combo.data[0] == 4 ? CAddProcessDlgModel::kIncome : CAddProcessDlgModel::kExpense);
    EXPECT_FALSE(model.KindChoiceEnabled());
    EXPECT_TRUE(model.EditsEnabled());
    EXPECT_TRUE(model.m_strCode.empty());
    model.OnBaseProcessChange(combo.data[1]);
    EXPECT_EQ(model.m_nBaseType, static_cast<std::int16_t>(combo.data[1]));
    for (int radio : {CAddProcessDlgModel::kExpense, CAddProcessDlgModel::kIncome, CAddProcessDlgModel::kInternal}) {
        model.OnOK(radio, "a", "b");
        EXPECT_EQ(model.m_nMoveKind, radio);
    }

    CAddProcessDlgModel choice(92, 0, "Склад", false);
    choice.OnInitDialog(combo);
    EXPECT_TRUE(choice.KindChoiceEnabled());
    EXPECT_EQ(choice.SelectedRadio(), CAddProcessDlgModel::kInternal);
}

TEST_P(CatalogDialogs, AnExistingProcessShowsItsOwnRowReadOnly)
{
    for (std::int16_t grp : {std::int16_t(3), std::int16_t(92)}) {
        const std::uint16_t type = grp == 3 ? 4 : 40;
        CAddProcessDlgModel model(grp, type, "", true);
        model.OnInitDialog(combo);
        SCOPED_TRACE(grp);
        ASSERT_EQ(combo.items.size(), 1u);
        EXPECT_EQ(model.m_nBaseType, static_cast<std::int16_t>(type));
        EXPECT_EQ(model.m_strCode, grp == 3 ? "ZK" : "VP");
        EXPECT_EQ(model.m_strName, grp == 3 ? "Оформление заказа" : "Перемещение");
        EXPECT_FALSE(model.EditsEnabled());
        EXPECT_FALSE(model.KindChoiceEnabled());
        EXPECT_EQ(model.SelectedRadio(), grp == 3 ? CAddProcessDlgModel::kIncome : CAddProcessDlgModel::kInternal);
        EXPECT_TRUE(model.OkEnabled());
    }
}

TEST_P(CatalogDialogs, TheGroupListOffersOnlyGroupsMissingFromTheWorkflowTables)
{
    db->Exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (11, 'Касса', 'Кассовые операции')");
    CProdGroupSelectDlgModel model;
    model.OnInitDialog(combo);
    std::map<std::string, std::uint32_t> shown;
    for (std::size_t i = 0; i < combo.items.size(); ++i)
        shown[combo.items[i]] = combo.data[i];
    EXPECT_EQ(shown, (std::map<std::string, std::uint32_t>{{"Архивные операции", 9}, {"Кассовые операции", 11}}));
    EXPECT_EQ(combo.selection, -1);
    EXPECT_FALSE(model.OkEnabled(0));
    EXPECT_TRUE(model.OkEnabled(2));

    EXPECT_EQ(model.OnOK({}), IDCANCEL);
    EXPECT_TRUE(model.m_arrGroups.empty());
    EXPECT_EQ(model.OnOK({11, 9}), IDOK);
    EXPECT_EQ(model.m_arrGroups, (std::vector<std::int16_t>{11, 9}));

    db->Exec("INSERT INTO MainGroupOperate(Grp) VALUES (9)");
    db->Exec("INSERT INTO MainGroupOperate(Grp) VALUES (11)");
    CProdGroupSelectDlgModel full;
    full.OnInitDialog(combo);
    EXPECT_TRUE(combo.items.empty());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_P(CatalogDialogs, AReadErrorIsShownAndTheDialogKeepsWhatItHas)
{
    db->Exec("DROP TABLE ProdTypeOperate");
    CAddProcessDlgModel model(3, 0, "Продажи", false);
    model.OnInitDialog(combo);
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(model.m_nBaseType, -1);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Error);

    db->Exec("DROP TABLE MainGroupOperate");
    CProdGroupSelectDlgModel groups;
    groups.OnInitDialog(combo);
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(prompt.shown.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogDialogs,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
