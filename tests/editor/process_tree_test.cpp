// The process tree's rules on a real catalogue, without a display: what it
// shows on each engine, what its menus and Edit commands allow, and what
// opening, renaming and the keys do.
#include "editor/trees/core/processtree.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/treehost.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tarnwick;

namespace {

using kelm::test::RecordingHost;

// Records the catalogue commands that reach the tree.
struct RecordingTree : CTreeAWFLogic {
    using CTreeAWFLogic::CTreeAWFLogic;
    void AddGroup() override { calls.push_back("AddGroup"); }
    void AddDocument() override { calls.push_back("AddDocument"); }
    void RunDelete() override { calls.push_back("Delete"); }
    std::vector<std::string> calls;
};

class ProcessTree : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "tree");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        app->m_cmdInfo.m_strDSN = "KelmTest";
        g_bReadOnlyMode = FALSE;
        tree = std::make_unique<RecordingTree>(items, host);
    }
    void TearDown() override { g_bReadOnlyMode = TRUE; }

    TreeItem Child(TreeItem parent, const std::string& text)
    {
        for (TreeItem child : items.GetChildren(parent))
            if (items.GetItemText(child) == text)
                return child;
        return 0;
    }
    TreeItem Root() { return items.GetChildren(items.GetRootItem()).at(0); }
    TreeItem Group(const std::string& text) { return Child(Root(), text); }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    CMemoryTreeItems items;
    RecordingHost host;
    std::unique_ptr<RecordingTree> tree;
};

TEST_P(ProcessTree, ShowsTheDataSourceAndTheGroupsInTheServersOrder)
{
    ASSERT_TRUE(tree->FillTree());
    ASSERT_EQ(items.GetChildren(items.GetRootItem()).size(), 1u);
    const TreeItem root = Root();
    EXPECT_EQ(items.GetItemText(root), "KelmTest [DSN]");
    EXPECT_EQ(items.GetItemImage(root), IMAGE_DSN);
    EXPECT_EQ(items.GetItemData(root), 0);
    EXPECT_TRUE(items.IsExpanded(root));

    // The order the server gives the tree's own query, group 9 (not in MainGroupOperate) left out.
    std::vector<std::pair<std::string, std::int32_t>> expected;
    auto rs = app->m_pConnection->Execute(
        "SELECT p.Grp, p.NameGrp, p.FullNameGrp FROM MainGroupOperate m, ProdGroupOperate p WHERE m.Grp = p.Grp");
    for (; !rs->IsEOF(); rs->MoveNext())
        expected.emplace_back(rs->GetCollect("FullNameGrp").ToString(), rs->GetCollect("Grp").ToLong());
    std::vector<std::pair<std::string, std::int32_t>> shown;
    for (TreeItem group : items.GetChildren(root)) {
        shown.emplace_back(items.GetItemText(group), items.GetItemData(group));
        EXPECT_EQ(items.GetItemImage(group), IMAGE_GROUP);
        EXPECT_TRUE(items.HasChildrenMark(group));
        EXPECT_TRUE(items.GetChildren(group).empty());
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(shown.size(), 3u);
}

TEST_P(ProcessTree, AGroupFillsWithItsProcessesAndTheirDocumentTypesOnItsFirstExpansion)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem sales = Group("Продажи и расчёты");
    ASSERT_TRUE(tree->OnItemExpanding(sales));
    const TreeItem order = Child(sales, "Оформление заказа");
    const TreeItem invoice = Child(sales, "Выставление счёта");
    ASSERT_NE(order, 0u);
    ASSERT_NE(invoice, 0u);
    EXPECT_EQ(items.GetItemImage(order), IMAGE_PROCESS);
    EXPECT_EQ(items.GetItemData(order), 3 | (4 << 16));
    EXPECT_EQ(items.GetItemData(invoice), 3 | (5 << 16));
    const TreeItem orderDoc = Child(order, "Заказ");
    ASSERT_NE(orderDoc, 0u);
    EXPECT_EQ(items.GetItemImage(orderDoc), IMAGE_DOCUMENT);
    // Beyond 16 bits.
    EXPECT_EQ(items.GetItemData(orderDoc), 70001);
    EXPECT_EQ(items.GetItemData(Child(invoice, "Счёт")), 70002);

    // Expanding again adds nothing.
    EXPECT_TRUE(tree->OnItemExpanding(sales));
    EXPECT_EQ(items.GetChildren(sales).size(), 2u);

    // A process without document types shows none; a group without processes does not expand.
    const TreeItem store = Group("Складской учёт");
    ASSERT_TRUE(tree->OnItemExpanding(store));
    const TreeItem receipt = Child(store, "Приёмка товара");
    ASSERT_NE(receipt, 0u);
    EXPECT_TRUE(items.GetChildren(receipt).empty());
    const TreeItem staff = Group("Кадровый учёт");
    EXPECT_FALSE(tree->OnItemExpanding(staff));
    EXPECT_TRUE(items.GetChildren(staff).empty());
    // Processes and documents fill nothing of their own.
    EXPECT_TRUE(tree->FillChildren(receipt));
}

TEST_P(ProcessTree, ACatalogueWithoutGroupsShowsTheDataSourceAlone)
{
    db->Exec("DELETE FROM MainGroupOperate");
    ASSERT_TRUE(tree->FillTree());
    EXPECT_TRUE(items.GetChildren(Root()).empty());
    EXPECT_FALSE(items.IsExpanded(Root()));
}

TEST_P(ProcessTree, ADocumentTypeOpensItsChartByTypeDocAndText)
{
    ASSERT_TRUE(tree->FillTree());
    const TreeItem sales = Group("Продажи и расчёты");
    tree->OnItemExpanding(sales);
    const TreeItem order = Child(sales, "Оформление заказа");
    const TreeItem orderDoc = Child(order, "Заказ");

    EXPECT_FALSE(tree->OnItemActivated(sales));
    EXPECT_FALSE(tree->OnItemActivated(order));
    EXPECT_TRUE(tree->OnItemActivated(orderDoc));
    items.SelectItem(orderDoc);
    EXPECT_TRUE(tree->OnCommand(ID_TREE_LOAD_FROM_DB));
    const TreeItem zero = items.AppendItem(order, "Без номера", IMAGE_DOCUMENT, 0);
    EXPECT_TRUE(tree->OnItemActivated(zero));
    ASSERT_EQ(host.opened.size(), 2u);
    EXPECT_EQ(host.opened[0], std::make_pair(70001, std::string("Заказ")));
    EXPECT_EQ(host.opened[1], std::make_pair(70001, std::string("Заказ")));

    bool enabled = false;
    items.SelectItem(order);
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_LOAD_FROM_DB, enabled));
    EXPECT_FALSE(enabled);
    items.SelectItem(orderDoc);
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_LOAD_FROM_FILE, enabled));
    EXPECT_TRUE(enabled);
}

TEST_P(ProcessTree, RereadingReplacesEveryItem)
{
    ASSERT_TRUE(tree->FillTree());
    tree->OnItemExpanding(Group("Продажи и расчёты"));
    db->Exec("DELETE FROM MainGroupOperate WHERE Grp = 7");
    bool enabled = false;
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_REREAD, enabled));
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(tree->OnCommand(ID_REREAD_PROCESS_TREE));
    EXPECT_EQ(items.GetChildren(Root()).size(), 2u);
    EXPECT_TRUE(items.GetChildren(Group("Продажи и расчёты")).empty());
    EXPECT_EQ(Group("Кадровый учёт"), 0u);

    app->m_pConnection->Close();
    ASSERT_TRUE(tree->OnUpdateCommand(ID_TREE_REREAD, enabled));
    EXPECT_FALSE(enabled);
}

INSTANTIATE_TEST_SUITE_P(Engines, ProcessTree,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

// The rules that need items but no database.
class TreeRules : public ::testing::Test {
public:
    void SetUp() override
    {
        g_bReadOnlyMode = FALSE;
        root = items.AppendItem(items.GetRootItem(), "KelmTest [DSN]", IMAGE_DSN, 0);
        group = items.AppendItem(root, "Группа", IMAGE_GROUP, 3, true);
        process = items.AppendItem(group, "Процесс", IMAGE_PROCESS, PackProcessWord(3, 4));
        document = items.AppendItem(process, "Документ", IMAGE_DOCUMENT, 70001);
    }
    void TearDown() override { g_bReadOnlyMode = TRUE; }
    CMemoryTreeItems items;
    RecordingHost host;
    RecordingTree tree{items, host};
    TreeItem root = 0, group = 0, process = 0, document = 0;
};

TEST_F(TreeRules, EachKindHasItsPopupWithItsEditsGreyedOnlyInReadOnlyMode)
{
    struct Case {
        TreeItem TreeRules::*item;
        int popup;
        std::vector<int> greyedReadOnly;
    };
    const Case cases[] = {
        {&TreeRules::root, 0, {ID_TREE_ADD_GROUP}},
        {&TreeRules::group, 1, {ID_TREE_ADD_PROCESS, ID_TREE_ADD_GROUP, ID_TREE_RENAME, ID_TREE_DELETE}},
        {&TreeRules::process, 2, {ID_TREE_ADD_DOCUMENT, ID_TREE_ADD_PROCESS, ID_TREE_RENAME, ID_TREE_DELETE}},
        {&TreeRules::document, 3, {ID_TREE_ADD_DOCUMENT, ID_TREE_RENAME, ID_TREE_DELETE}},
    };
    for (const Case& c : cases) {
        g_bReadOnlyMode = FALSE;
        TreeMenu menu = tree.OnContextMenu(this->*c.item, true);
        EXPECT_EQ(menu.popup, c.popup);
        EXPECT_TRUE(menu.greyed.empty());
        EXPECT_EQ(items.GetSelection(), this->*c.item);
        g_bReadOnlyMode = TRUE;
        menu = tree.GetItemMenu(this->*c.item);
        EXPECT_EQ(menu.popup, c.popup);
        EXPECT_EQ(menu.greyed, c.greyedReadOnly);
    }
    // Off a label: the selection goes and there is no item, so no menu.
    EXPECT_EQ(tree.OnContextMenu(group, false).popup, -1);
    EXPECT_EQ(items.GetSelection(), 0u);
    const TreeItem other = items.AppendItem(root, "Чужой", 0, 0);
    EXPECT_EQ(tree.GetItemMenu(other).popup, -1);
}

TEST_F(TreeRules, TheEditMenuFollowsTheKindOfTheSelectedItem)
{
    const int ids[] = {ID_DELETE_GROUP,   ID_RENAME_GROUP,    ID_ADD_PROCESS,     ID_DELETE_PROCESS,
                       ID_RENAME_PROCESS, ID_ADD_DOCUMENT,    ID_DELETE_DOCUMENT, ID_RENAME_DOCUMENT,
                       ID_SHOW_PROPERTIES, ID_TREE_REREAD};
    // Rows: nothing, root, group, process, document; columns in the order of ids.
    const std::vector<std::vector<bool>> expected = {
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 1, 1, 1, 1, 0, 0, 1, 0},
        {0, 0, 0, 0, 0, 1, 1, 1, 1, 0},
    };
    const TreeItem selected[] = {0, root, group, process, document};
    for (std::size_t row = 0; row < expected.size(); ++row) {
        items.SelectItem(selected[row]);
        for (std::size_t col = 0; col < std::size(ids); ++col)
            EXPECT_EQ(tree.UpdateEditCommand(ids[col]), expected[row][col]) << "row " << row << ", id " << ids[col];
    }
}

TEST_F(TreeRules, LabelEditingIsRefusedInReadOnlyModeAndEndsQuietlyOnAGoneItem)
{
    EXPECT_TRUE(tree.OnBeginLabelEdit(group));
    // The tree was made read-write; a later login without rights still refuses.
    g_bReadOnlyMode = TRUE;
    EXPECT_FALSE(tree.OnBeginLabelEdit(group));
    g_bReadOnlyMode = FALSE;

    items.EditLabel(document);
    EXPECT_FALSE(tree.OnEndLabelEdit(document, "Новое", true));
    // The base refuses renames; the catalogue edit decides for the process tree.
    EXPECT_FALSE(tree.OnEndLabelEdit(document, "Новое", false));
    items.DeleteItem(document);
    EXPECT_FALSE(tree.OnEndLabelEdit(document, "Новое", false));
}

TEST_F(TreeRules, NothingIsAddedOrDeletedWhileALabelIsBeingEdited)
{
    items.SelectItem(document);
    items.EditLabel(document);
    for (int id : {ID_ADD_GROUP, ID_ADD_DOCUMENT, ID_DELETE_DOCUMENT, ID_TREE_DELETE, ID_TREE_ADD_GROUP}) {
        EXPECT_TRUE(tree.OnCommand(id));
        bool enabled = true;
        if (id != ID_TREE_DELETE && id != ID_TREE_ADD_GROUP) {
            ASSERT_TRUE(tree.OnUpdateCommand(id, enabled));
            EXPECT_FALSE(enabled) << id;
        }
    }
    EXPECT_TRUE(tree.calls.empty());

    items.EndEditing();
    EXPECT_TRUE(tree.OnCommand(ID_ADD_GROUP));
    EXPECT_TRUE(tree.OnCommand(ID_TREE_DELETE));
    EXPECT_TRUE(tree.OnCommand(ID_DELETE_DOCUMENT));
    EXPECT_EQ(tree.calls, (std::vector<std::string>{"AddGroup", "Delete", "Delete"}));
    EXPECT_FALSE(tree.OnCommand(12345));
}

TEST(ProcessWord, GroupLowAndOperationHighAsSigned16BitNumbers)
{
    const std::int16_t values[][2] = {{3, 4}, {-1, 0}, {0, -1}, {32767, -32768}, {-2, 1}};
    for (const auto& v : values) {
        std::int16_t grp = 0, type = 0;
        UnpackProcessWord(PackProcessWord(v[0], v[1]), grp, type);
        EXPECT_EQ(grp, v[0]);
        EXPECT_EQ(type, v[1]);
    }
    EXPECT_EQ(PackProcessWord(3, 4), 0x00040003);
    EXPECT_EQ(PackProcessWord(-1, 0), 0x0000FFFF);
}

TEST(BaseTree, ShowsTheDataSourceAloneAndOpensNothing)
{
    CTarnwickAppCore app;
    app.m_cmdInfo.m_strDSN = "Склад";
    CMemoryTreeItems items;
    RecordingHost host;
    std::unique_ptr<CBaseTreeLogic> tree = CreateTreeLogic(TreeClass::Base, items, host);
    EXPECT_EQ(tree->GetTreeTitle(), "Не определена");
    EXPECT_EQ(CreateTreeLogic(TreeClass::AWF, items, host)->GetTreeTitle(), "Документооборот");
    ASSERT_TRUE(tree->FillTree());
    const auto top = items.GetChildren(items.GetRootItem());
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(items.GetItemText(top[0]), "Склад [DSN]");
    EXPECT_EQ(tree->GetItemMenu(top[0]).popup, -1);
    EXPECT_FALSE(tree->OnItemActivated(top[0]));
    EXPECT_TRUE(host.opened.empty());
}

} // namespace
