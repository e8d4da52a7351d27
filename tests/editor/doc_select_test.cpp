// The document-selection tree without a display: what it copies from its
// source tree, when it asks the source for children, and what OK, Enter and
// a double click take or refuse.
#include "editor/trees/core/docselecttree.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace tarnwick;

namespace {

struct NoHost : ITreeHost {
    void OpenDiagram(std::int32_t, const std::string&) override {}
    bool CloseDiagram(std::int32_t) override { return true; }
    std::unique_ptr<IOpenedChart> OpenChartFile() override { return nullptr; }
    bool AskYesNo(const std::string&) override { return false; }
    void DiscardDiagram(std::int32_t) override {}
    void RetitleDiagram(std::int32_t, const std::string&) override {}
};

// A navigation tree whose items load their children only when asked, as the
// process tree's groups do; items named in failing refuse to load.
struct LazySource : CBaseTreeLogic {
    struct Child {
        std::string text;
        int image;
        std::int32_t data;
        bool hasChildren = false;
    };
    LazySource(ITreeItems& items, ITreeHost& host) : CBaseTreeLogic(items, host) {}

    bool FillChildren(TreeItem item) override
    {
        const std::string text = m_items.GetItemText(item);
        asked.push_back(text);
        if (failing.count(text))
            return false;
        auto it = toLoad.find(item);
        if (it == toLoad.end())
            return true;
        for (const Child& child : it->second)
            m_items.AppendItem(item, child.text, child.image, child.data, child.hasChildren);
        toLoad.erase(it);
        return true;
    }
    bool IsDiagramItem(TreeItem item) override { return item && m_items.GetItemImage(item) == IMAGE_DOCUMENT; }

    std::map<TreeItem, std::vector<Child>> toLoad;
    std::set<std::string> failing;
    std::vector<std::string> asked;
};

const std::string kLongName = "Договор поставки с отсрочкой платежа и поэтапной приёмкой товара по актам сверки";

// Source: the data source (open) with a loaded group holding a process with
// two document types, a group still to load, an empty group and a process
// without document types.
class DocSelectTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsn = src.AppendItem(src.GetRootItem(), "KelmTest [DSN]", IMAGE_DSN, 0);
        sales = src.AppendItem(dsn, "Продажи и расчёты", IMAGE_GROUP, 3, true);
        order = src.AppendItem(sales, "Оформление заказа", IMAGE_PROCESS, PackProcessWord(3, 4));
        src.AppendItem(order, "Заказ", IMAGE_DOCUMENT, 70001);
        src.AppendItem(order, kLongName, IMAGE_DOCUMENT, 70003);
        store = src.AppendItem(dsn, "Складской учёт", IMAGE_GROUP, 5, true);
        source.toLoad[store] = {{"Приёмка товара", IMAGE_PROCESS, PackProcessWord(5, 1)},
                                {"Отгрузка", IMAGE_PROCESS, PackProcessWord(5, 2)}};
        staff = src.AppendItem(dsn, "Кадровый учёт", IMAGE_GROUP, 7, true);
        source.failing.insert("Кадровый учёт");
        src.Expand(dsn);
        src.Expand(sales);
        model.m_endDialog = [this] { ++ended; };
    }

    // The shown item reached through these texts.
    TreeItem Shown(const std::vector<std::string>& path)
    {
        TreeItem item = own.GetRootItem();
        for (const std::string& text : path) {
            TreeItem found = 0;
            for (TreeItem child : own.GetChildren(item))
                if (own.GetItemText(child) == text)
                    found = child;
            if (!found)
                return 0;
            item = found;
        }
        return item;
    }
    std::vector<std::string> Texts(ITreeItems& items, TreeItem parent)
    {
        std::vector<std::string> texts;
        for (TreeItem child : items.GetChildren(parent))
            texts.push_back(items.GetItemText(child));
        return texts;
    }

    CMemoryTreeItems src, own;
    NoHost host;
    LazySource source{src, host};
    CWFDocSelectTreeModel model{own, source};
    TreeItem dsn = 0, sales = 0, order = 0, store = 0, staff = 0;
    int ended = 0;
};

TEST_F(DocSelectTree, FillCopiesWhatTheSourceHasLoadedAndAsksForNothing)
{
    ASSERT_TRUE(model.Fill());
    EXPECT_TRUE(source.asked.empty());
    ASSERT_EQ(Texts(own, own.GetRootItem()), std::vector<std::string>{"KelmTest [DSN]"});
    const TreeItem shownDsn = Shown({"KelmTest [DSN]"});
    EXPECT_EQ(Texts(own, shownDsn), (std::vector<std::string>{"Продажи и расчёты", "Складской учёт", "Кадровый учёт"}));
    EXPECT_EQ(Texts(own, Shown({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа"})),
              (std::vector<std::string>{"Заказ", kLongName}));

    // Each copy keeps its source's text, image, data word, children mark and open state.
    struct Expected {
        std::vector<std::string> path;
        TreeItem source;
        bool mark, expanded;
    };
    const Expected cases[] = {
        {{"KelmTest [DSN]"}, dsn, false, true},
        {{"KelmTest [DSN]", "Продажи и расчёты"}, sales, true, true},
        {{"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа"}, order, false, false},
        {{"KelmTest [DSN]", "Складской учёт"}, store, true, false},
        {{"KelmTest [DSN]", "Кадровый учёт"}, staff, true, false},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.path.back());
        const TreeItem shown = Shown(e.path);
        ASSERT_NE(shown, 0u);
        EXPECT_EQ(model.SourceOf(shown), e.source);
        EXPECT_EQ(own.GetItemImage(shown), src.GetItemImage(e.source));
        EXPECT_EQ(own.GetItemData(shown), src.GetItemData(e.source));
        EXPECT_EQ(own.HasChildrenMark(shown), e.mark);
        EXPECT_EQ(own.IsExpanded(shown), e.expanded);
    }
    // The groups still to load show no children yet.
    EXPECT_TRUE(own.GetChildren(Shown({"KelmTest [DSN]", "Складской учёт"})).empty());
}

TEST_F(DocSelectTree, ASourceThatShowsNothingLeavesTheTreeEmpty)
{
    src.DeleteAllItems();
    EXPECT_FALSE(model.Fill());
    EXPECT_TRUE(own.GetChildren(own.GetRootItem()).empty());
}

TEST_F(DocSelectTree, ANodesChildrenAreLoadedThroughTheSourceOnlyWhenItExpands)
{
    ASSERT_TRUE(model.Fill());
    const TreeItem shownStore = Shown({"KelmTest [DSN]", "Складской учёт"});

    ASSERT_TRUE(model.OnItemExpanding(shownStore));
    EXPECT_EQ(source.asked, std::vector<std::string>{"Складской учёт"});
    // The source tree holds them now, and the copy shows the same.
    EXPECT_EQ(Texts(src, store), (std::vector<std::string>{"Приёмка товара", "Отгрузка"}));
    EXPECT_EQ(Texts(own, shownStore), (std::vector<std::string>{"Приёмка товара", "Отгрузка"}));
    const TreeItem receipt = Shown({"KelmTest [DSN]", "Складской учёт", "Приёмка товара"});
    EXPECT_EQ(own.GetItemData(receipt), PackProcessWord(5, 1));
    EXPECT_EQ(src.GetItemText(model.SourceOf(receipt)), "Приёмка товара");

    // Once shown, expanding again neither asks nor copies twice.
    ASSERT_TRUE(model.OnItemExpanding(shownStore));
    EXPECT_EQ(source.asked.size(), 1u);
    EXPECT_EQ(own.GetChildren(shownStore).size(), 2u);
    // A loaded group never asks.
    EXPECT_TRUE(model.OnItemExpanding(Shown({"KelmTest [DSN]", "Продажи и расчёты"})));
    EXPECT_EQ(source.asked.size(), 1u);
}

TEST_F(DocSelectTree, ChildrenTheSourceLoadedAfterTheCopyAreShownOnExpansion)
{
    ASSERT_TRUE(model.Fill());
    // The user opened the group in the navigation tree while the copy was made.
    ASSERT_TRUE(source.FillChildren(store));
    const TreeItem shownStore = Shown({"KelmTest [DSN]", "Складской учёт"});
    ASSERT_TRUE(model.OnItemExpanding(shownStore));
    EXPECT_EQ(Texts(own, shownStore), (std::vector<std::string>{"Приёмка товара", "Отгрузка"}));
    EXPECT_EQ(Texts(src, store).size(), 2u);
}

TEST_F(DocSelectTree, AnItemTheSourceCannotLoadDoesNotExpand)
{
    ASSERT_TRUE(model.Fill());
    const TreeItem shownStaff = Shown({"KelmTest [DSN]", "Кадровый учёт"});
    EXPECT_FALSE(model.OnItemExpanding(shownStaff));
    EXPECT_EQ(source.asked, std::vector<std::string>{"Кадровый учёт"});
    EXPECT_TRUE(own.GetChildren(shownStaff).empty());
}

TEST_F(DocSelectTree, OkTakesADocumentTypeAndNamesAnythingElseSelected)
{
    ASSERT_TRUE(model.Fill());
    ASSERT_TRUE(model.OnItemExpanding(Shown({"KelmTest [DSN]", "Складской учёт"})));
    struct Case {
        std::vector<std::string> selected; // empty: nothing selected
        std::string message;               // empty: taken
    };
    const Case cases[] = {
        {{}, "Следует выбрать документ"},
        {{"KelmTest [DSN]"}, "Следует выбрать документ"},
        {{"KelmTest [DSN]", "Продажи и расчёты"}, "Выбрана группа. Следует выбрать документ"},
        {{"KelmTest [DSN]", "Складской учёт"}, "Выбрана группа. Следует выбрать документ"},
        {{"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа"}, "Выбран процесс. Следует выбрать документ"},
        {{"KelmTest [DSN]", "Складской учёт", "Отгрузка"}, "Выбран процесс. Следует выбрать документ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + (c.selected.empty() ? "" : " at " + c.selected.back()));
        kelm::test::RecordingPrompt prompt;
        own.SelectItem(c.selected.empty() ? 0 : Shown(c.selected));
        std::string message = "stale";
        EXPECT_FALSE(model.TryAccept(&message));
        EXPECT_EQ(message + "Следует выбрать документ", c.message);
        EXPECT_FALSE(model.TryAccept());

        EXPECT_FALSE(model.OnOK());
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, c.message);
        EXPECT_EQ(prompt.shown[0].caption, "Внимание");
        EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Warning);
        EXPECT_EQ(ended, 0);
        EXPECT_EQ(model.m_nSelData, -1);
        EXPECT_EQ(model.m_strSelText, "");
    }

    // A document type is taken whole, and the dialog ends.
    kelm::test::RecordingPrompt prompt;
    own.SelectItem(Shown({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", kLongName}));
    EXPECT_TRUE(model.OnOK());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(model.m_strSelText, kLongName);
    EXPECT_EQ(model.m_nSelData, 70003);
}

TEST_F(DocSelectTree, ADoubleClickTakesOnlyADocumentType)
{
    ASSERT_TRUE(model.Fill());
    kelm::test::RecordingPrompt prompt;
    // On a group or a process it is left to the tree, which opens or closes the item.
    for (const auto& path : {std::vector<std::string>{"KelmTest [DSN]", "Продажи и расчёты"},
                             std::vector<std::string>{"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа"}}) {
        own.SelectItem(Shown(path));
        EXPECT_FALSE(model.OnDoubleClick()) << path.back();
    }
    own.SelectItem(0);
    EXPECT_FALSE(model.OnDoubleClick());
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(prompt.shown.empty()) << "a double click never warns";

    own.SelectItem(Shown({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ"}));
    EXPECT_TRUE(model.OnDoubleClick());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(model.m_strSelText, "Заказ");
    EXPECT_EQ(model.m_nSelData, 70001);
}

TEST_F(DocSelectTree, OutsideADialogADocumentTypeIsAcceptedButNothingIsTaken)
{
    model.m_endDialog = nullptr;
    ASSERT_TRUE(model.Fill());
    own.SelectItem(Shown({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ"}));
    EXPECT_TRUE(model.TryAccept());
    EXPECT_EQ(model.m_nSelData, -1);
    EXPECT_EQ(model.m_strSelText, "");
}

// Over the process tree on the chart fixture: the copy loads a group
// through the tree's own query and takes a document type's key.
class DocSelectOverProcessTree : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "docselect");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        app->m_cmdInfo.m_strDSN = "KelmTest";
    }

    TreeItem Child(ITreeItems& items, TreeItem parent, const std::string& text)
    {
        for (TreeItem child : items.GetChildren(parent))
            if (items.GetItemText(child) == text)
                return child;
        return 0;
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    CMemoryTreeItems src, own;
    NoHost host;
};

TEST_P(DocSelectOverProcessTree, ExpandingAGroupLoadsItIntoBothTreesAndOkTakesTheDocumentType)
{
    CTreeAWFLogic tree(src, host);
    ASSERT_TRUE(tree.FillTree());
    CWFDocSelectTreeModel model(own, tree);
    int ended = 0;
    model.m_endDialog = [&] { ++ended; };
    ASSERT_TRUE(model.Fill());

    const TreeItem shownDsn = Child(own, own.GetRootItem(), "KelmTest [DSN]");
    const TreeItem sales = Child(own, shownDsn, "Продажи и расчёты");
    ASSERT_NE(sales, 0u);
    EXPECT_TRUE(own.GetChildren(sales).empty());
    const TreeItem sourceSales = model.SourceOf(sales);
    EXPECT_TRUE(src.GetChildren(sourceSales).empty());

    ASSERT_TRUE(model.OnItemExpanding(sales));
    EXPECT_EQ(src.GetChildren(sourceSales).size(), 2u);
    const TreeItem order = Child(own, sales, "Оформление заказа");
    ASSERT_NE(order, 0u);
    EXPECT_EQ(own.GetItemData(order), PackProcessWord(3, 4));
    const TreeItem doc = Child(own, order, "Заказ");
    ASSERT_NE(doc, 0u);

    // The group without processes does not open.
    EXPECT_FALSE(model.OnItemExpanding(Child(own, shownDsn, "Кадровый учёт")));

    own.SelectItem(doc);
    EXPECT_TRUE(model.OnOK());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(model.m_strSelText, "Заказ");
    EXPECT_EQ(model.m_nSelData, 70001);
}

INSTANTIATE_TEST_SUITE_P(Engines, DocSelectOverProcessTree,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
