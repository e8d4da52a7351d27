// The process tree's catalogue commands on a real catalogue, without a
// display: adding, renaming and deleting groups, processes and document
// types, what each leaves in the tables and in the tree, the refusals of
// read-only mode and of an open label editor, and the Edit menu's state.
#include "editor/dialogs/core/createstate.h"
#include "editor/trees/core/processtree.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"
#include "tests/editor/scripted_tree_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>

using namespace tarnwick;

namespace {

struct ScriptedHost : ITreeHost {
    void OpenDiagram(std::int32_t key, const std::string& title) override { opened.emplace_back(key, title); }
    bool CloseDiagram(std::int32_t) override { return true; }
    std::unique_ptr<IOpenedChart> OpenChartFile() override { return nullptr; }
    bool AskYesNo(const std::string& question) override
    {
        questions.push_back(question);
        if (whileAsking)
            whileAsking();
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << question;
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void DiscardDiagram(std::int32_t key) override { discarded.push_back(key); }
    void RetitleDiagram(std::int32_t key, const std::string& title) override { retitled.emplace_back(key, title); }

    std::deque<bool> answers;
    std::function<void()> whileAsking;
    std::vector<std::string> questions;
    std::vector<std::pair<std::int32_t, std::string>> opened;
    std::vector<std::int32_t> discarded;
    std::vector<std::pair<std::int32_t, std::string>> retitled;
};

// The rows of a chart in the five tables a document-type delete empties.
struct ChartRows {
    long actions, moves, states, graphics, docTypes;
    bool operator==(const ChartRows&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ChartRows& r)
{
    return out << "{actions " << r.actions << ", moves " << r.moves << ", states " << r.states << ", graphics "
               << r.graphics << ", docTypes " << r.docTypes << "}";
}

class TreeEditing : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "treeedit");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        app->m_cmdInfo.m_strDSN = "KelmTest";
        g_bReadOnlyMode = FALSE;
        tree = std::make_unique<CTreeAWFLogic>(items, host);
        tree->SetDialogs(&dialogs);
        ASSERT_TRUE(tree->FillTree());
    }
    void TearDown() override { g_bReadOnlyMode = TRUE; }

    long Count(const std::string& sql)
    {
        ado::_RecordsetPtr rs = app->m_pConnection->Execute(sql);
        return rs->GetCollect(0L).ToLong();
    }
    std::string Text(const std::string& sql)
    {
        ado::_RecordsetPtr rs = app->m_pConnection->Execute(sql);
        return rs->IsEOF() ? "<none>" : rs->GetCollect(0L).ToString();
    }
    ChartRows Rows(std::int32_t typeDoc)
    {
        const std::string key = std::to_string(typeDoc);
        return {Count("SELECT COUNT(*) FROM MainDocAction WHERE TypeDoc = " + key),
                Count("SELECT COUNT(*) FROM MainDocMove WHERE TypeDoc = " + key),
                Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = " + key),
                Count("SELECT COUNT(*) FROM MainDocGraphic WHERE Type = " + key),
                Count("SELECT COUNT(*) FROM MainDocType WHERE TypeDoc = " + key)};
    }
    // Row counts of every catalogue table the tree may touch.
    std::map<std::string, long> Catalogue()
    {
        std::map<std::string, long> counts;
        for (const char* table : {"MainGroupOperate", "ProdGroupOperate", "MainTypeOperate", "ProdDocType",
                                  "MainDocType", "MainDocState", "MainDocMove", "MainDocAction", "MainDocGraphic"})
            counts[table] = Count(std::string("SELECT COUNT(*) FROM ") + table);
        return counts;
    }

    TreeItem Child(TreeItem parent, const std::string& text)
    {
        for (TreeItem child : items.GetChildren(parent))
            if (items.GetItemText(child) == text)
                return child;
        return 0;
    }
    TreeItem Root() { return items.GetChildren(items.GetRootItem()).at(0); }
    TreeItem Group(const std::string& text) { return Child(Root(), text); }
    TreeItem Sales()
    {
        const TreeItem sales = Group("Продажи и расчёты");
        tree->OnItemExpanding(sales);
        return sales;
    }
    TreeItem OrderProcess() { return Child(Sales(), "Оформление заказа"); }
    TreeItem OrderDoc() { return Child(OrderProcess(), "Заказ"); }
    std::vector<std::string> Texts(TreeItem parent)
    {
        std::vector<std::string> texts;
        for (TreeItem child : items.GetChildren(parent))
            texts.push_back(items.GetItemText(child));
        return texts;
    }

    kelm::test::RecordingPrompt prompt;
    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    CMemoryTreeItems items;
    ScriptedHost host;
    kelm::test::ScriptedTreeDialogs dialogs;
    std::unique_ptr<CTreeAWFLogic> tree;
};

TEST_P(TreeEditing, AddingGroupsInsertsARowForEachAndRereadsTheTree)
{
    db->Exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (11, 'Новая', 'Новая группа')");
    const TreeItem oldSales = Group("Продажи и расчёты");

    // Cancel adds nothing and keeps the items.
    items.SelectItem(Root());
    EXPECT_TRUE(tree->OnCommand(ID_TREE_ADD_GROUP));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate"), 3);
    EXPECT_TRUE(items.IsValid(oldSales));

    dialogs.groups = std::vector<std::int16_t>{9, 11};
    items.SelectItem(Group("Кадровый учёт"));
    EXPECT_TRUE(tree->OnCommand(ID_ADD_GROUP));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate WHERE Grp IN (9, 11)"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate"), 5);
    // Reread: the old items are gone, the new groups are shown with their names.
    EXPECT_FALSE(items.IsValid(oldSales));
    EXPECT_EQ(items.GetChildren(Root()).size(), 5u);
    EXPECT_EQ(items.GetItemData(Group("Архивные операции")), 9);
    EXPECT_EQ(items.GetItemData(Group("Новая группа")), 11);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"SelectGroups", "SelectGroups"}));
}

TEST_P(TreeEditing, AGroupThatFailsLeavesTheGroupsAddedBeforeItAndShowsTheError)
{
    db->Exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (11, 'Новая', 'Новая группа')");
    // Group 3 is there already: its row fails, 9 before it stays, 11 after it is never tried.
    dialogs.groups = std::vector<std::int16_t>{9, 3, 11};
    items.SelectItem(Root());
    tree->OnCommand(ID_ADD_GROUP);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate WHERE Grp = 9"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate WHERE Grp = 11"), 0);
    EXPECT_NE(Group("Архивные операции"), 0u);
    EXPECT_EQ(Group("Новая группа"), 0u);
}

TEST_P(TreeEditing, AProcessGoesUnderItsGroupWithItsPackedWordAndQuotedName)
{
    const std::string name = "Отгрузка 'срочная'; DROP TABLE MainTypeOperate";
    // From a process: the dialog is asked for its group; the group's
    // processes are read before the new one is added, so none shows twice.
    const TreeItem store = Group("Складской учёт");
    ASSERT_TRUE(items.GetChildren(store).empty());
    tree->OnItemExpanding(store);
    items.SelectItem(Child(store, "Приёмка товара"));
    dialogs.process = kelm::test::ScriptedTreeDialogs::Process{PackProcessWord(5, 2), name};
    EXPECT_TRUE(tree->OnCommand(ID_ADD_PROCESS));
    ASSERT_EQ(dialogs.processAskedFor.size(), 1u);
    EXPECT_EQ(dialogs.processAskedFor[0], std::make_pair(std::int16_t{5}, std::string("Складской учёт")));
    EXPECT_EQ(Text("SELECT NameOperate FROM MainTypeOperate WHERE Grp = 5 AND Type = 2"), name);
    EXPECT_EQ(Texts(store), (std::vector<std::string>{"Приёмка товара", name}));
    const TreeItem added = Child(store, name);
    EXPECT_EQ(items.GetItemImage(added), IMAGE_PROCESS);
    EXPECT_EQ(items.GetItemData(added), 5 | (2 << 16));
    EXPECT_TRUE(items.IsExpanded(store));

    // A group without processes, never expanded, gets its first and opens.
    const TreeItem staff = Group("Кадровый учёт");
    items.SelectItem(staff);
    dialogs.process = kelm::test::ScriptedTreeDialogs::Process{PackProcessWord(7, -2), "Приём на работу"};
    EXPECT_TRUE(tree->OnCommand(ID_TREE_ADD_PROCESS));
    EXPECT_EQ(Texts(staff), (std::vector<std::string>{"Приём на работу"}));
    EXPECT_EQ(items.GetItemData(Child(staff, "Приём на работу")), PackProcessWord(7, -2));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainTypeOperate WHERE Grp = 7 AND Type = -2"), 1);
    EXPECT_TRUE(items.IsExpanded(staff));

    // A process that is there already fails: shown, and nothing is added to the tree.
    items.SelectItem(staff);
    tree->OnCommand(ID_ADD_PROCESS);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(Texts(staff).size(), 1u);

    // An answer for another group files the process under that group:
    // once with the group's other processes when it was not read yet, once
    // as the last of a read group.
    const TreeItem sales = Group("Продажи и расчёты");
    ASSERT_TRUE(items.GetChildren(sales).empty());
    for (const auto& [type, processName] : {std::pair<std::int16_t, const char*>{6, "Возврат"}, {7, "Предоплата"}}) {
        items.SelectItem(staff);
        dialogs.process = kelm::test::ScriptedTreeDialogs::Process{PackProcessWord(3, type), processName};
        tree->OnCommand(ID_ADD_PROCESS);
    }
    EXPECT_EQ(Texts(staff), (std::vector<std::string>{"Приём на работу"}));
    std::vector<std::string> salesTexts = Texts(sales);
    ASSERT_EQ(salesTexts.size(), 4u);
    EXPECT_EQ(salesTexts.back(), "Предоплата");
    std::sort(salesTexts.begin(), salesTexts.end());
    EXPECT_EQ(salesTexts, (std::vector<std::string>{"Возврат", "Выставление счёта", "Оформление заказа", "Предоплата"}));
    EXPECT_TRUE(items.IsExpanded(sales));

    // Cancel, and a document type or the data source as the selection, add nothing.
    dialogs.process.reset();
    items.SelectItem(staff);
    tree->OnCommand(ID_ADD_PROCESS);
    const std::size_t asked = dialogs.calls.size();
    for (TreeItem other : {OrderDoc(), Root()}) {
        items.SelectItem(other);
        tree->OnCommand(ID_ADD_PROCESS);
    }
    EXPECT_EQ(dialogs.calls.size(), asked);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainTypeOperate"), 7);
}

TEST_P(TreeEditing, ADocumentTypeIsAddedAsARowAndAnItemUnderItsProcess)
{
    // Numbered beyond 16 bits, filed by the catalogue under group 3, operation 4.
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70003, 4, 3, 'Акт')");
    // From a document type: the dialog is asked for its process.
    items.SelectItem(OrderDoc());
    dialogs.document = kelm::test::ScriptedTreeDialogs::Document{70003, "Акт"};
    EXPECT_TRUE(tree->OnCommand(ID_ADD_DOCUMENT));
    ASSERT_EQ(dialogs.documentAskedFor.size(), 1u);
    EXPECT_EQ(dialogs.documentAskedFor[0], std::make_pair(std::int16_t{4}, std::int16_t{3}));
    EXPECT_EQ(Text("SELECT Grp FROM MainDocType WHERE TypeDoc = 70003"), "3");
    EXPECT_EQ(Text("SELECT Type FROM MainDocType WHERE TypeDoc = 70003"), "4");
    const TreeItem process = OrderProcess();
    EXPECT_EQ(Texts(process), (std::vector<std::string>{"Заказ", "Акт"}));
    const TreeItem act = Child(process, "Акт");
    EXPECT_EQ(items.GetItemImage(act), IMAGE_DOCUMENT);
    EXPECT_EQ(items.GetItemData(act), 70003);
    EXPECT_TRUE(items.IsExpanded(process));
    // The tree read from the tables agrees.
    tree->OnCommand(ID_REREAD_PROCESS_TREE);
    std::vector<std::string> reread = Texts(OrderProcess());
    std::sort(reread.begin(), reread.end());
    EXPECT_EQ(reread, (std::vector<std::string>{"Акт", "Заказ"}));

    // A document type in the chart tables already fails and adds no item.
    items.SelectItem(OrderProcess());
    dialogs.document = kelm::test::ScriptedTreeDialogs::Document{70001, "Заказ"};
    tree->OnCommand(ID_TREE_ADD_DOCUMENT);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(Texts(OrderProcess()).size(), 2u);
    // From a group nothing is asked.
    items.SelectItem(Sales());
    tree->OnCommand(ID_ADD_DOCUMENT);
    EXPECT_EQ(dialogs.documentAskedFor.size(), 2u);
}

TEST_P(TreeEditing, RenamesStoreQuotesAndCyrillicByKindAndRetitleOnlyADocumentTypesChart)
{
    const std::string name = "Имя 'в кавычках'; --";
    struct Case {
        std::function<TreeItem()> item;
        std::vector<std::string> stored; // statements reading the stored name
        bool retitles;
    };
    // Taken before the group's label changes.
    const TreeItem sales = Sales(), process = OrderProcess(), doc = OrderDoc();
    const Case cases[] = {
        {[&] { return sales; }, {"SELECT FullNameGrp FROM ProdGroupOperate WHERE Grp = 3"}, false},
        {[&] { return process; }, {"SELECT NameOperate FROM MainTypeOperate WHERE Grp = 3 AND Type = 4"}, false},
        {[&] { return doc; },
         {"SELECT NameDoc FROM ProdDocType WHERE TypeDoc = 70001",
          "SELECT FullNameDoc FROM ProdDocType WHERE TypeDoc = 70001"},
         true},
    };
    for (const Case& c : cases) {
        host.retitled.clear();
        const TreeItem item = c.item();
        const auto before = Catalogue();
        EXPECT_TRUE(tree->OnEndLabelEdit(item, name, false));
        EXPECT_EQ(items.GetItemText(item), name);
        for (const std::string& sql : c.stored)
            EXPECT_EQ(Text(sql), name) << sql;
        EXPECT_EQ(Catalogue(), before);
        if (c.retitles)
            EXPECT_EQ(host.retitled, (std::vector<std::pair<std::int32_t, std::string>>{{70001, name}}));
        else
            EXPECT_TRUE(host.retitled.empty());
        // Cancelled: nothing stored.
        EXPECT_FALSE(tree->OnEndLabelEdit(item, "Отменено", true));
        EXPECT_EQ(items.GetItemText(item), name);
    }
    // Renamed names survive a reread.
    tree->OnCommand(ID_TREE_REREAD);
    EXPECT_NE(Group(name), 0u);
    EXPECT_TRUE(prompt.shown.empty());
    // The data source has nothing to store.
    EXPECT_FALSE(tree->OnEndLabelEdit(Root(), name, false));
}

TEST_P(TreeEditing, AFailedRenameKeepsTheLabelAndSaysWhy)
{
    const TreeItem process = OrderProcess();
    const TreeItem doc = OrderDoc();
    // A row that went meanwhile: nothing was stored, so the label stays.
    db->Exec("DELETE FROM ProdDocType WHERE TypeDoc = 70001");
    EXPECT_FALSE(tree->OnEndLabelEdit(doc, "Новый заказ", false));
    EXPECT_EQ(items.GetItemText(doc), "Заказ");
    EXPECT_TRUE(host.retitled.empty());
    // A database error is shown.
    db->Exec("DROP TABLE MainTypeOperate");
    EXPECT_FALSE(tree->OnEndLabelEdit(process, "Новый процесс", false));
    EXPECT_EQ(items.GetItemText(process), "Оформление заказа");
    EXPECT_EQ(prompt.shown.size(), 2u);
}

TEST_P(TreeEditing, DeletingADocumentTypeRemovesItsChartRowsAloneAndClosesItsChartAfterTheCommit)
{
    const ChartRows other = Rows(70002);
    EXPECT_EQ(Rows(70001), (ChartRows{3, 4, 3, 1, 1}));
    const long groups = Count("SELECT COUNT(*) FROM MainGroupOperate");
    const long processes = Count("SELECT COUNT(*) FROM MainTypeOperate");
    const long docTypes = Count("SELECT COUNT(*) FROM ProdDocType");
    const TreeItem doc = OrderDoc();
    items.SelectItem(doc);
    host.answers = {true};
    EXPECT_TRUE(tree->OnCommand(ID_DELETE_DOCUMENT));
    EXPECT_EQ(host.questions, (std::vector<std::string>{"Вы уверены, что хотите удалить \nдокумент: Заказ"}));
    EXPECT_EQ(Rows(70001), (ChartRows{0, 0, 0, 0, 0}));
    EXPECT_EQ(Rows(70002), other);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainGroupOperate"), groups);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainTypeOperate"), processes);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM ProdDocType"), docTypes);
    EXPECT_FALSE(items.IsValid(doc));
    EXPECT_EQ(host.discarded, (std::vector<std::int32_t>{70001}));
    EXPECT_TRUE(prompt.shown.empty());
    // Nothing comes back on a reread.
    tree->OnCommand(ID_TREE_REREAD);
    EXPECT_EQ(OrderDoc(), 0u);
}

TEST_P(TreeEditing, AFailureInTheMiddleOfADocumentTypeDeleteLeavesAllFiveTablesAndTheChart)
{
    if (GetParam() == kelm::test::Engine::PostgreSQL) {
        db->Exec("CREATE FUNCTION refuse_state_delete() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'refused'; "
                 "END $$ LANGUAGE plpgsql");
        db->Exec("CREATE TRIGGER refuse_state_delete BEFORE DELETE ON MainDocState FOR EACH ROW EXECUTE FUNCTION "
                 "refuse_state_delete()");
    } else {
        db->Exec("CREATE TRIGGER refuse_state_delete BEFORE DELETE ON MainDocState BEGIN SELECT RAISE(ABORT, "
                 "'refused'); END");
    }
    const auto before = Catalogue();
    const TreeItem doc = OrderDoc();
    items.SelectItem(doc);
    host.answers = {true};
    tree->OnCommand(ID_TREE_DELETE);
    EXPECT_EQ(Catalogue(), before);
    EXPECT_EQ(Rows(70001), (ChartRows{3, 4, 3, 1, 1}));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("refused"), std::string::npos) << prompt.shown[0].text;
    EXPECT_TRUE(items.IsValid(doc));
    EXPECT_TRUE(host.discarded.empty());
    // The connection is usable afterwards: no transaction was left open.
    db->Exec("DROP TRIGGER refuse_state_delete" +
             std::string(GetParam() == kelm::test::Engine::PostgreSQL ? " ON MainDocState" : ""));
    host.answers = {true};
    tree->OnCommand(ID_TREE_DELETE);
    EXPECT_EQ(Rows(70001), (ChartRows{0, 0, 0, 0, 0}));
}

TEST_P(TreeEditing, GroupsAndProcessesGoAloneAndNoAnswerDeletesNothing)
{
    struct Case {
        std::function<TreeItem()> item;
        int command;
        std::string question;
        std::string gone; // counts the deleted row
    };
    const Case cases[] = {
        {[&] { return OrderProcess(); }, ID_DELETE_PROCESS, "Вы уверены, что хотите удалить \nпроцесс: Оформление заказа",
         "SELECT COUNT(*) FROM MainTypeOperate WHERE Grp = 3 AND Type = 4"},
        {[&] { return Sales(); }, ID_DELETE_GROUP, "Вы уверены, что хотите удалить \nгруппу: Продажи и расчёты",
         "SELECT COUNT(*) FROM MainGroupOperate WHERE Grp = 3"},
    };
    for (const Case& c : cases) {
        const TreeItem item = c.item();
        items.SelectItem(item);
        auto before = Catalogue();
        // No: nothing changes.
        host.questions.clear();
        host.answers = {false};
        tree->OnCommand(c.command);
        EXPECT_EQ(host.questions, (std::vector<std::string>{c.question}));
        EXPECT_EQ(Catalogue(), before);
        EXPECT_TRUE(items.IsValid(item));
        // Yes: its own row alone goes; the rows under it stay.
        host.answers = {true};
        tree->OnCommand(ID_TREE_DELETE);
        EXPECT_EQ(Count(c.gone), 0);
        const std::string table = c.command == ID_DELETE_GROUP ? "MainGroupOperate" : "MainTypeOperate";
        --before[table];
        EXPECT_EQ(Catalogue(), before);
        EXPECT_FALSE(items.IsValid(item));
    }
    EXPECT_TRUE(host.discarded.empty());
    EXPECT_EQ(Rows(70001), (ChartRows{3, 4, 3, 1, 1}));
    // The data source has no delete.
    host.questions.clear();
    items.SelectItem(Root());
    tree->OnCommand(ID_TREE_DELETE);
    EXPECT_TRUE(host.questions.empty());
}

TEST_P(TreeEditing, ReadOnlyModeRefusesEveryEditByMenuContextMenuAndKeys)
{
    g_bReadOnlyMode = TRUE;
    dialogs.groups = std::vector<std::int16_t>{9};
    dialogs.process = kelm::test::ScriptedTreeDialogs::Process{PackProcessWord(3, 9), "Новый"};
    dialogs.document = kelm::test::ScriptedTreeDialogs::Document{70002, "Счёт"};
    host.answers = {true, true, true, true, true, true, true, true};
    const auto before = Catalogue();
    struct Case {
        std::function<TreeItem()> item;
        int command;
    };
    const Case cases[] = {
        // The Edit menu.
        {[&] { return Root(); }, ID_ADD_GROUP},
        {[&] { return Sales(); }, ID_DELETE_GROUP},
        {[&] { return Sales(); }, ID_RENAME_GROUP},
        {[&] { return Sales(); }, ID_ADD_PROCESS},
        {[&] { return OrderProcess(); }, ID_DELETE_PROCESS},
        {[&] { return OrderProcess(); }, ID_RENAME_PROCESS},
        {[&] { return OrderProcess(); }, ID_ADD_DOCUMENT},
        {[&] { return OrderDoc(); }, ID_DELETE_DOCUMENT},
        {[&] { return OrderDoc(); }, ID_RENAME_DOCUMENT},
        // The context menu; Del and F2 are its delete and rename.
        {[&] { return Root(); }, ID_TREE_ADD_GROUP},
        {[&] { return Sales(); }, ID_TREE_ADD_PROCESS},
        {[&] { return OrderProcess(); }, ID_TREE_ADD_DOCUMENT},
        {[&] { return OrderDoc(); }, ID_TREE_DELETE},
        {[&] { return Sales(); }, ID_TREE_DELETE},
        {[&] { return OrderProcess(); }, ID_TREE_RENAME},
    };
    for (const Case& c : cases) {
        prompt.shown.clear();
        items.SelectItem(c.item());
        EXPECT_TRUE(tree->OnCommand(c.command));
        EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{kReadOnlyCatalogMessage})) << c.command;
        EXPECT_FALSE(items.IsEditingLabel()) << c.command;
    }
    // A label edit that ends anyway stores nothing.
    EXPECT_FALSE(tree->OnEndLabelEdit(OrderDoc(), "Новое имя", false));
    EXPECT_EQ(items.GetItemText(OrderDoc()), "Заказ");
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(Catalogue(), before);
    EXPECT_EQ(Text("SELECT NameDoc FROM ProdDocType WHERE TypeDoc = 70001"), "Заказ");

    // The properties still show.
    items.SelectItem(OrderProcess());
    EXPECT_TRUE(tree->OnCommand(ID_SHOW_PROPERTIES));
    EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"ShowProcessProperties"}));
}

TEST_P(TreeEditing, DelDuringALabelEditDoesNothing)
{
    const auto before = Catalogue();
    const TreeItem doc = OrderDoc();
    items.SelectItem(doc);
    items.EditLabel(doc);
    for (int id : {ID_TREE_DELETE, ID_DELETE_DOCUMENT})
        tree->OnCommand(id);
    EXPECT_TRUE(host.questions.empty());
    items.EndEditing();

    // An editor that opens while the question is up stops the delete too.
    host.answers = {true};
    host.whileAsking = [&] { items.EditLabel(doc); };
    tree->OnCommand(ID_TREE_DELETE);
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(Catalogue(), before);
    EXPECT_TRUE(items.IsValid(doc));
    EXPECT_TRUE(host.discarded.empty());
}

TEST_P(TreeEditing, PropertiesShowTheProcessOrTheDocumentTypesStoredValues)
{
    // Options and the key beyond 16 bits.
    db->Exec("UPDATE MainDocType SET DocTypeOptions = 70006, defState = 2 WHERE TypeDoc = 70001");
    items.SelectItem(OrderProcess());
    tree->OnCommand(ID_TREE_PROCESS_PROPERTIES);
    EXPECT_EQ(dialogs.processProperties, (std::vector<std::string>{"3 4 Оформление заказа"}));

    items.SelectItem(OrderDoc());
    tree->OnCommand(ID_TREE_DOCUMENT_PROPERTIES);
    ASSERT_EQ(dialogs.documentProperties.size(), 1u);
    const auto& shown = dialogs.documentProperties[0];
    EXPECT_EQ(shown.typeDoc, 70001);
    EXPECT_EQ(shown.options, 70006);
    EXPECT_EQ(shown.defState, 2);
    EXPECT_EQ(shown.name, "Заказ");
    EXPECT_EQ(shown.grp, 3);
    EXPECT_EQ(shown.type, 4);

    // Without its row the element keeps its "none" values.
    db->Exec("DELETE FROM MainDocType WHERE TypeDoc = 70001");
    tree->OnCommand(ID_SHOW_PROPERTIES);
    ASSERT_EQ(dialogs.documentProperties.size(), 2u);
    EXPECT_EQ(dialogs.documentProperties[1].typeDoc, -1);
    EXPECT_EQ(dialogs.documentProperties[1].options, 0);
    EXPECT_EQ(dialogs.documentProperties[1].defState, -1);
    // A group has none.
    items.SelectItem(Sales());
    tree->OnCommand(ID_SHOW_PROPERTIES);
    EXPECT_EQ(dialogs.calls.size(), 3u);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_P(TreeEditing, TheEditMenuFollowsTheItemKindAndGreysEditsInReadOnlyMode)
{
    const int ids[] = {ID_ADD_GROUP,      ID_DELETE_GROUP,    ID_RENAME_GROUP,   ID_ADD_PROCESS,
                       ID_DELETE_PROCESS, ID_RENAME_PROCESS,  ID_ADD_DOCUMENT,   ID_DELETE_DOCUMENT,
                       ID_RENAME_DOCUMENT, ID_SHOW_PROPERTIES};
    // Rows: nothing, data source, group, process, document type; columns in the order of ids.
    const std::vector<std::vector<int>> readWrite = {
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 1, 0, 0, 0, 0, 0, 0},
        {1, 0, 0, 1, 1, 1, 1, 0, 0, 1},
        {1, 0, 0, 0, 0, 0, 1, 1, 1, 1},
    };
    const std::vector<std::vector<int>> readOnly = {
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
    };
    const TreeItem selected[] = {0, Root(), Sales(), OrderProcess(), OrderDoc()};
    for (bool ro : {false, true}) {
        g_bReadOnlyMode = ro;
        const auto& expected = ro ? readOnly : readWrite;
        for (std::size_t row = 0; row < expected.size(); ++row) {
            items.SelectItem(selected[row]);
            for (std::size_t col = 0; col < std::size(ids); ++col) {
                bool enabled = !expected[row][col];
                ASSERT_TRUE(tree->OnUpdateCommand(ids[col], enabled));
                EXPECT_EQ(enabled, expected[row][col] != 0)
                    << (ro ? "read-only" : "read-write") << ", row " << row << ", id " << ids[col];
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, TreeEditing,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
