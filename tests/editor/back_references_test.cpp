// The back-references dialog's tree on the chart fixture of both engines:
// the document types with a move into a given one, by group and process.
#include "editor/dialogs/core/shortcut.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace tarnwick;

namespace {

class BackReferences : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "backrefs");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        db->Exec("UPDATE ProdDocType SET NameOperate = 'Оформление заказа' WHERE TypeDoc = 70001");
        db->Exec("UPDATE ProdDocType SET NameOperate = 'Выставление счёта' WHERE TypeDoc = 70002");
        // A document type of another group with a move into 70002; a second
        // move of 70001 into it; 70002's own moves into itself do not count.
        db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc, NameOperate) VALUES (70010, 1, 5, 'Накладная', 'Приёмка товара')");
        db->Exec("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewTypeDoc, NewState) VALUES (5, 1, 70010, 1, 3, 70002, 1)");
        db->Exec("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewTypeDoc, NewState) VALUES (3, 4, 70001, 3, 3, 70002, 1)");
        db->Exec("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewTypeDoc, NewState) VALUES (3, 5, 70002, 2, 3, 70002, 1)");
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
    }

    // Every item as "level:text=data/image", depth first.
    std::vector<std::string> Shown(TreeItem parent = 0, int level = 0)
    {
        std::vector<std::string> out;
        for (TreeItem child : items.GetChildren(parent ? parent : items.GetRootItem())) {
            out.push_back(std::to_string(level) + ":" + items.GetItemText(child) + "=" +
                          std::to_string(items.GetItemData(child)) + "/" + std::to_string(items.GetItemImage(child)));
            for (const std::string& below : Shown(child, level + 1))
                out.push_back(below);
        }
        return out;
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    kelm::test::RecordingPrompt prompt;
    CMemoryTreeItems items;
};

TEST_P(BackReferences, ShowsEachLeadingDocumentTypeOnceUnderItsGroupAndProcess)
{
    CShortCutDlgModel dlg(70002, items);
    dlg.OnInitDialog();
    std::vector<std::string> shown = Shown();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"0:Продажи и расчёты=3/1", "0:Складской учёт=5/1",
                                               "1:Оформление заказа=4/2", "1:Приёмка товара=1/2",
                                               "2:Заказ=70001/3", "2:Накладная=70010/3"}));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(dlg.OkEnabled());

    // OK only on a document type; the results follow any selection.
    const TreeItem group = items.GetChildren(items.GetRootItem()).at(0);
    const TreeItem process = items.GetChildren(group).at(0);
    const TreeItem doc = items.GetChildren(process).at(0);
    dlg.OnSelChange(doc);
    EXPECT_TRUE(dlg.OkEnabled());
    EXPECT_EQ(dlg.m_nSelTypeDoc, items.GetItemData(doc));
    EXPECT_EQ(dlg.m_strSelName, items.GetItemText(doc));
    dlg.OnSelChange(process);
    EXPECT_FALSE(dlg.OkEnabled());
    EXPECT_EQ(dlg.m_strSelName, items.GetItemText(process));
}

TEST_P(BackReferences, ItemsFollowTheRowOrderAndNoMovesGiveAnEmptyTree)
{
    // The order of the rows, whatever it is, is the order of the items.
    std::vector<std::string> groups;
    auto rs = app->m_pConnection->Execute(
        "SELECT p.FullNameGrp FROM ProdDocType t, MainDocMove m, ProdGroupOperate p WHERE m.NewTypeDoc = 70002 AND "
        "m.NewTypeDoc <> m.TypeDoc AND t.TypeDoc = m.TypeDoc AND p.Grp = t.Grp");
    for (; !rs->IsEOF(); rs->MoveNext())
        if (std::find(groups.begin(), groups.end(), rs->GetCollect("FullNameGrp").ToString()) == groups.end())
            groups.push_back(rs->GetCollect("FullNameGrp").ToString());
    CShortCutDlgModel dlg(70002, items);
    dlg.OnInitDialog();
    std::vector<std::string> top;
    for (TreeItem group : items.GetChildren(items.GetRootItem()))
        top.push_back(items.GetItemText(group));
    EXPECT_EQ(top, groups);

    CMemoryTreeItems none;
    CShortCutDlgModel empty(70010, none);
    empty.OnInitDialog();
    EXPECT_TRUE(none.GetChildren(none.GetRootItem()).empty());
    EXPECT_FALSE(empty.OkEnabled());
}

INSTANTIATE_TEST_SUITE_P(Engines, BackReferences,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
