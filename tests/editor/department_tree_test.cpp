// The department tree on a real catalogue, without a display: which firms it
// lists and in what order, what a firm expands to, what opens and which
// items have a menu.
#include "editor/trees/core/departmenttree.h"

#include "charts/shell/core/chartshell.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/treehost.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tarnwick;

namespace {

using kelm::test::RecordingHost;

// Records the commands posted to the main window.
struct PostRecorder : IChartShell {
    bool AskYesNo(const std::string&) override { return false; }
    int AskYesNoCancel(const std::string&) override { return IDCANCEL; }
    void Message(const std::string& text, const std::string&, ChartIcon) override { messages.push_back(text); }
    void PostCommand(int id) override { posted.push_back(id); }
    bool SendCommand(int) override { return false; }
    bool IsReadOnly() const override { return false; }
    ado::_ConnectionPtr Connection() override { return nullptr; }
    std::vector<int> posted;
    std::vector<std::string> messages;
};

class DepartmentTree : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "depttree");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        // Firm 2: every department deleted. Firm 3: only lower levels. Firm 4: a NULL name.
        for (const char* sql : {
                 "INSERT INTO setup(id_firm, name) VALUES (2, 'Удалённая')",
                 "INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, flag_deleted, "
                 "sort) VALUES (2, 1, 0, 'Склад', 0, 1, 1)",
                 "INSERT INTO setup(id_firm, name) VALUES (3, 'Альфа')",
                 "INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) VALUES "
                 "(3, 5, 4, 'Цех', 1, 1)",
                 "INSERT INTO setup(id_firm, name) VALUES (4, 'Бета')",
                 "INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) VALUES "
                 "(4, 9, 0, NULL, 0, 2)",
                 "INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) VALUES "
                 "(4, NULL, 0, 'Без кода', 0, 1)",
                 "INSERT INTO setup(id_firm, name) VALUES (0, 'Нулевая')",
                 "INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) VALUES "
                 "(0, 1, 0, 'Отдел', 0, 1)",
             })
            db->Exec(sql);
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        app->m_cmdInfo.m_strDSN = "KelmTest";
        SetChartShell(&shell);
        tree = std::make_unique<CTreeDWFLogic>(items, host);
    }
    void TearDown() override { SetChartShell(nullptr); }

    TreeItem Root() { return items.GetChildren(items.GetRootItem()).at(0); }
    TreeItem Firm(const std::string& text)
    {
        for (TreeItem child : items.GetChildren(Root()))
            if (items.GetItemText(child) == text)
                return child;
        return 0;
    }
    std::vector<std::string> Texts(TreeItem parent)
    {
        std::vector<std::string> out;
        for (TreeItem child : items.GetChildren(parent))
            out.push_back(items.GetItemText(child));
        return out;
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    CMemoryTreeItems items;
    RecordingHost host;
    PostRecorder shell;
    std::unique_ptr<CTreeDWFLogic> tree;
};

TEST_P(DepartmentTree, ListsTheFirmsWithLiveDepartmentsSortedByName)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem root = Root();
    EXPECT_EQ(items.GetItemText(root), "KelmTest [DSN]");
    EXPECT_EQ(items.GetItemImage(root), IMAGE_DSN);
    EXPECT_TRUE(items.IsExpanded(root));
    // The firm with only deleted departments is left out.
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"Альфа", "Бета", "Нулевая", "ООО \"Кельм\""}));
    const TreeItem kelm = Firm("ООО \"Кельм\"");
    EXPECT_EQ(items.GetItemImage(kelm), IMAGE_FIRM);
    EXPECT_EQ(items.GetItemData(kelm), 1);
    EXPECT_TRUE(items.HasChildrenMark(kelm));
    EXPECT_EQ(tree->GetTreeTitle(), "Подразделения");
}

TEST_P(DepartmentTree, AFirmExpandsToItsTopLevelDepartmentsOnce)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem kelm = Firm("ООО \"Кельм\"");
    ASSERT_TRUE(tree->OnItemExpanding(kelm));
    EXPECT_EQ(Texts(kelm), std::vector<std::string>{"Дирекция"});
    const TreeItem direction = items.GetChildren(kelm).at(0);
    EXPECT_EQ(items.GetItemImage(direction), IMAGE_DEPARTMENT);
    EXPECT_EQ(items.GetItemData(direction), 1);
    ASSERT_TRUE(tree->OnItemExpanding(kelm));
    EXPECT_EQ(Texts(kelm).size(), 1u);

    // Only lower levels: nothing. A NULL name or code is read as empty and -1.
    const TreeItem alpha = Firm("Альфа");
    ASSERT_TRUE(tree->OnItemExpanding(alpha));
    EXPECT_TRUE(items.GetChildren(alpha).empty());
    const TreeItem beta = Firm("Бета");
    ASSERT_TRUE(tree->OnItemExpanding(beta));
    EXPECT_EQ(Texts(beta), (std::vector<std::string>{"Без кода", ""}));
    EXPECT_EQ(items.GetItemData(items.GetChildren(beta).at(0)), -1);
    EXPECT_EQ(items.GetItemData(items.GetChildren(beta).at(1)), 9);
    // A department expands to nothing.
    EXPECT_TRUE(tree->OnItemExpanding(direction));
    EXPECT_TRUE(items.GetChildren(direction).empty());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_P(DepartmentTree, FirmsOpenTheirChartAndHaveTheMenu)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem kelm = Firm("ООО \"Кельм\"");
    tree->OnItemExpanding(kelm);
    const TreeItem direction = items.GetChildren(kelm).at(0);

    EXPECT_FALSE(tree->OnItemActivated(direction));
    EXPECT_FALSE(tree->OnItemActivated(Root()));
    EXPECT_TRUE(tree->OnItemActivated(Firm("Нулевая"))); // data 0: a firm, but nothing opens
    EXPECT_TRUE(host.opened.empty());
    EXPECT_TRUE(tree->OnItemActivated(kelm));
    EXPECT_EQ(host.opened, (std::vector<std::pair<std::int32_t, std::string>>{{1, "ООО \"Кельм\""}}));

    const TreeMenu firmMenu = tree->OnContextMenu(kelm, true);
    EXPECT_EQ(firmMenu.popup, 0);
    EXPECT_STREQ(firmMenu.resource, "IDR_DWF_TREE_MENU");
    EXPECT_EQ(items.GetSelection(), kelm);
    for (TreeItem none : {direction, Root(), TreeItem{0}})
        EXPECT_EQ(tree->OnContextMenu(none, true).popup, -1);

    // "Загрузить из файла..." asks the main window for the file dialog.
    items.SelectItem(kelm);
    bool enabled = false;
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_LOAD_FROM_FILE, enabled));
    EXPECT_TRUE(enabled);
    ASSERT_TRUE(tree->OnCommand(ID_TREE_LOAD_FROM_FILE));
    EXPECT_EQ(shell.posted, std::vector<int>{ID_TREE_LOAD_FROM_FILE});
    items.SelectItem(direction);
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_LOAD_FROM_DB, enabled));
    EXPECT_FALSE(enabled);
}

TEST_P(DepartmentTree, AFailedExpansionCanBeRepeated)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem kelm = Firm("ООО \"Кельм\"");
    db->Exec("ALTER TABLE struct_gr RENAME TO struct_gr_away");
    EXPECT_FALSE(tree->OnItemExpanding(kelm));
    EXPECT_TRUE(items.GetChildren(kelm).empty());
    db->Exec("ALTER TABLE struct_gr_away RENAME TO struct_gr");
    EXPECT_TRUE(tree->OnItemExpanding(kelm));
    EXPECT_EQ(Texts(kelm), std::vector<std::string>{"Дирекция"});
}

INSTANTIATE_TEST_SUITE_P(Engines, DepartmentTree,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
