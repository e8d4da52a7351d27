// The create-state dialog's rules on the chart fixture of both engines: the
// states it offers, and the catalogue commands with their refusals.
#include "editor/dialogs/core/createstate.h"

#include "editor/app/core/editorcore.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

using namespace tarnwick;

namespace {

// Answers the name dialog from a script; no answer left cancels.
struct ScriptedNames : INameDialog {
    struct Asked {
        std::string text;
        unsigned mode;
    };
    int AskName(const char* text, unsigned mode, std::string& name, std::string&) override
    {
        asked.push_back({text ? text : "", mode});
        if (answers.empty())
            return IDCANCEL;
        auto answer = answers.front();
        answers.pop_front();
        if (answer.second)
            answer.second();
        name = answer.first;
        return IDOK;
    }
    // The name given, and what happens just before the dialog closes.
    std::deque<std::pair<std::string, std::function<void()>>> answers;
    std::vector<Asked> asked;
};

std::vector<std::string> Names(const kelm::test::ItemList& list) { return list.items; }

class CreateState : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "createstate");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        g_bReadOnlyMode = FALSE;
    }
    void TearDown() override { g_bReadOnlyMode = TRUE; }

    std::string NameOf(int grp, int state)
    {
        auto rs = app->m_pConnection->Execute("SELECT NameState FROM ProdDocState WHERE Grp=" + std::to_string(grp) +
                                              " AND State=" + std::to_string(state));
        return rs->IsEOF() ? "<none>" : rs->GetCollect("NameState").ToString();
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    kelm::test::RecordingPrompt prompt;
    kelm::test::ItemList list;
    ScriptedNames names;
    CTarnwickModel chart;
};

TEST_P(CreateState, OffersTheGroupsStatesNeitherUsedByTheDocumentTypeNorOnTheChart)
{
    CCreateStateDlgModel dlg(3, 70002, &chart, names);
    dlg.OnInitDialog(list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Закрыт", "Архив"}));
    EXPECT_EQ(list.data, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(list.selection, 0);
    EXPECT_TRUE(dlg.OkEnabled());
    EXPECT_EQ(dlg.m_nState, 3);
    EXPECT_EQ(dlg.m_strState, "Закрыт");
    dlg.OnSelChange(1);
    ASSERT_TRUE(dlg.OnOK());
    EXPECT_EQ(dlg.m_nState, 4);
    EXPECT_EQ(dlg.m_strState, "Архив");

    // A state placed on the chart but not saved yet is left out too.
    wft::AddState(chart, chart.GetDocType(70002, "Счёт"), 3, 10, 10);
    dlg.OnCommand(ID_CATALOG_REREAD, list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Архив"}));

    // Everything used: only Cancel closes; rename and delete do nothing.
    wft::AddState(chart, chart.GetDocType(70002, "Счёт"), 4, 10, 10);
    dlg.OnCommand(ID_CATALOG_REREAD, list);
    EXPECT_TRUE(list.items.empty());
    EXPECT_FALSE(dlg.OkEnabled());
    EXPECT_FALSE(dlg.OnOK());
    EXPECT_EQ(dlg.m_nState, 0);
    EXPECT_EQ(dlg.m_strState, "");
    EXPECT_FALSE(dlg.CommandEnabled(ID_CATALOG_RENAME));
    EXPECT_FALSE(dlg.CommandEnabled(ID_CATALOG_DELETE));
    EXPECT_TRUE(dlg.CommandEnabled(ID_CATALOG_ADD));
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_TRUE(names.asked.empty());
}

TEST_P(CreateState, AddedStatesTakeTheNextNumberOfTheGroupAndKeepTheirName)
{
    // A group without states starts at 1; a quote and Cyrillic go in unharmed.
    CCreateStateDlgModel empty(7, 70003, &chart, names);
    empty.OnInitDialog(list);
    EXPECT_TRUE(list.items.empty());
    names.answers.push_back({"Сдан в 'архив'", nullptr});
    empty.OnCommand(ID_CATALOG_ADD, list);
    ASSERT_EQ(names.asked.size(), 1u);
    EXPECT_EQ(names.asked[0].mode, 9u);
    EXPECT_EQ(NameOf(7, 1), "Сдан в 'архив'");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Сдан в 'архив'"}));
    EXPECT_EQ(empty.m_nState, 1);
    EXPECT_EQ(empty.m_strState, "Сдан в 'архив'");

    // Another session takes the number while the name dialog is open: the
    // failure is shown and the next try gets a fresh number.
    CCreateStateDlgModel dlg(3, 70001, &chart, names);
    dlg.OnInitDialog(list);
    names.answers.push_back({"Новое", [this] { db->Exec("INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 5, 'Чужое')"); }});
    names.answers.push_back({"Новое", nullptr});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(NameOf(3, 5), "Чужое");
    EXPECT_EQ(NameOf(3, 6), "Новое");
    EXPECT_EQ(dlg.m_nState, 6);
    EXPECT_EQ(dlg.m_strState, "Новое");

    // Cancelling adds nothing.
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(NameOf(3, 7), "<none>");
}

TEST_P(CreateState, RenameAndDeleteActOnTheWholeGroup)
{
    CCreateStateDlgModel dlg(3, 70002, &chart, names);
    dlg.OnInitDialog(list);
    dlg.OnSelChange(1); // "Архив", state 4
    names.answers.push_back({"Архивный", nullptr});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    EXPECT_EQ(names.asked.back().text, "Архив");
    EXPECT_EQ(names.asked.back().mode, 1u);
    EXPECT_EQ(NameOf(3, 4), "Архивный");
    EXPECT_EQ(dlg.m_nState, 4);
    EXPECT_EQ(dlg.m_strState, "Архивный");

    // The other document type of the group sees the new name.
    kelm::test::ItemList other;
    CCreateStateDlgModel otherDlg(3, 70001, &chart, names);
    otherDlg.OnInitDialog(other);
    EXPECT_EQ(Names(other), (std::vector<std::string>{"Архивный"}));

    names.answers.push_back({"", nullptr});
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(names.asked.back().mode, 2u);
    EXPECT_EQ(NameOf(3, 4), "<none>");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Закрыт"}));
    otherDlg.OnCommand(ID_CATALOG_REREAD, other);
    EXPECT_TRUE(other.items.empty());

    // A cancelled confirmation changes nothing.
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(NameOf(3, 3), "Закрыт");
}

TEST_P(CreateState, ReadOnlyModeGreysAndRefusesTheCatalogueEdits)
{
    CCreateStateDlgModel dlg(3, 70002, &chart, names);
    dlg.OnInitDialog(list);
    g_bReadOnlyMode = TRUE;
    for (int id : {ID_CATALOG_ADD, ID_CATALOG_RENAME, ID_CATALOG_DELETE}) {
        EXPECT_FALSE(dlg.CommandEnabled(id)) << id;
        names.answers.push_back({"Х", nullptr});
        EXPECT_TRUE(dlg.OnCommand(id, list));
        names.answers.clear();
    }
    EXPECT_TRUE(dlg.CommandEnabled(ID_CATALOG_REREAD));
    EXPECT_TRUE(names.asked.empty());
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>(3, kReadOnlyCatalogMessage));
    EXPECT_EQ(NameOf(3, 3), "Закрыт");
    EXPECT_EQ(NameOf(3, 5), "<none>");
}

INSTANTIATE_TEST_SUITE_P(Engines, CreateState,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
