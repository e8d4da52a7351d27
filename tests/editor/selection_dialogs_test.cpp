// The operation- and document-type selection dialogs on both engines: what
// each offers, and the catalogue commands its menu and keys run, with their
// failures and refusals.
#include "editor/dialogs/core/selectdlgmodel.h"

#include "editor/app/core/editorcore.h"
#include "editor/trees/core/processtree.h"

#include "charts/shell/core/chartshell.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

using namespace tarnwick;

namespace {

// Answers the name dialog from a script; no answer left cancels.
struct ScriptedNames : INameDialog {
    struct Answer {
        Answer(std::string n, std::string f, std::function<void()> b = {})
            : name(std::move(n)), fullName(std::move(f)), before(std::move(b))
        {
        }
        std::string name, fullName;
        std::function<void()> before; // runs just before the dialog closes
    };
    struct Asked {
        std::string text;
        unsigned mode;
    };
    int AskName(const char* text, unsigned mode, std::string& name, std::string& fullName) override
    {
        asked.push_back({text ? text : "<null>", mode});
        if (answers.empty())
            return IDCANCEL;
        Answer answer = answers.front();
        answers.pop_front();
        if (answer.before)
            answer.before();
        name = answer.name;
        fullName = answer.fullName;
        return IDOK;
    }
    std::deque<Answer> answers;
    std::vector<Asked> asked;
};

// Answers the add-process dialog from a script and records how it was opened.
struct ScriptedProcesses : IAddProcessDialog {
    struct Asked {
        std::int16_t grp;
        std::int32_t type;
        std::string groupName;
        bool retry;
        ProcessInput shown; // what a retry showed again
    };
    struct Answer {
        Answer(ProcessInput i, std::function<void()> b = {}) : input(std::move(i)), before(std::move(b)) {}
        ProcessInput input;
        std::function<void()> before;
    };
    int AskProcess(std::int16_t grp, std::int32_t type, const std::string& groupName, bool retry,
                   ProcessInput& input) override
    {
        asked.push_back({grp, type, groupName, retry, input});
        if (answers.empty())
            return IDCANCEL;
        Answer answer = answers.front();
        answers.pop_front();
        if (answer.before)
            answer.before();
        input = answer.input;
        return IDOK;
    }
    std::deque<Answer> answers;
    std::vector<Asked> asked;
};

ProcessInput Process(std::string code, std::string name, std::int16_t base, bool kindChoice = false, int moveKind = 0)
{
    return {std::move(code), std::move(name), base, kindChoice, moveKind};
}

std::uint32_t Word(int grp, int type)
{
    return static_cast<std::uint32_t>(PackProcessWord(static_cast<std::int16_t>(grp), static_cast<std::int16_t>(type)));
}

class SelectionDialogs : public ::testing::TestWithParam<kelm::test::Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == kelm::test::Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<kelm::test::KelmDatabase>(GetParam(), "selectdlg");
        for (const char* file : {WORKFLOW_FIXTURES "/chartdb_chart.sql", SELECTION_FIXTURE})
            for (const std::string& sql : kelm::test::FixtureStatements(file))
                db->Exec(sql);
        // The fixture numbers operations itself; new ones go beyond.
        if (pg())
            db->Exec("SELECT setval(pg_get_serial_sequence('prodtypeoperate', 'type'), 100)");
        app = std::make_unique<CTarnwickAppCore>();
        app->m_pConnection = db->Open();
        g_bReadOnlyMode = FALSE;
    }
    void TearDown() override { g_bReadOnlyMode = TRUE; }

    bool pg() const { return GetParam() == kelm::test::Engine::PostgreSQL; }

    // The first column of the first row as text: "<none>" without a row, "NULL" for NULL.
    std::string Value(const std::string& sql)
    {
        auto rs = app->m_pConnection->Execute(sql);
        if (rs->IsEOF())
            return "<none>";
        ado::_variant_t value = rs->GetCollect(0L);
        return value.vt == ado::VT_NULL ? "NULL" : value.ToString();
    }
    int Count(const std::string& table) { return std::stoi(Value("SELECT COUNT(*) FROM " + table)); }

    // Makes every statement of one kind on a table fail, or lets it pass again.
    void Refuse(const std::string& table, const std::string& op)
    {
        const std::string name = "refuse_" + op;
        if (pg()) {
            db->Exec("CREATE OR REPLACE FUNCTION " + name +
                     "() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'отказано'; END $$ LANGUAGE plpgsql");
            db->Exec("CREATE TRIGGER " + name + " BEFORE " + op + " ON " + table + " FOR EACH ROW EXECUTE FUNCTION " +
                     name + "()");
        } else {
            db->Exec("CREATE TRIGGER " + name + " BEFORE " + op + " ON " + table +
                     " BEGIN SELECT RAISE(ABORT, 'отказано'); END");
        }
    }
    void Allow(const std::string& table, const std::string& op)
    {
        db->Exec("DROP TRIGGER refuse_" + op + (pg() ? " ON " + table : std::string()));
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::unique_ptr<CTarnwickAppCore> app;
    kelm::test::RecordingPrompt prompt;
    kelm::test::ItemList list;
    ScriptedNames names;
    ScriptedProcesses processes;
};

const std::string kGroup3 = "Продажи и расчёты";

TEST(SelectionListOrder, SortsWithoutRegardToCaseAndFindsTheFirstEntryBeginningWithAText)
{
    // Lower-case Cyrillic and Latin go among the capitals; texts equal but
    // for case keep code point order, capitals first.
    std::vector<std::string> texts = {"приход", "Отгрузка", "акт", "Приход товара", "Приход", "Zeta", "alpha"};
    std::sort(texts.begin(), texts.end(), SortsBefore);
    EXPECT_EQ(texts, (std::vector<std::string>{"alpha", "Zeta", "акт", "Отгрузка", "Приход", "приход",
                                               "Приход товара"}));

    std::vector<SelectEntry> sorted;
    for (const std::string& text : texts)
        sorted.push_back({text, 0});
    const struct {
        const char* prefix;
        int found;
    } cases[] = {
        {"приход", 4}, {"ПРИХОД Т", 6}, {"ПРИ", 4}, {"Приход", 4}, {"AL", 0},  {"ZETA", 1},
        {"", 0},       {"Приходы", -1}, {"отгрузкаа", -1},          {"б", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindPrefix(sorted, c.prefix), c.found) << c.prefix;
    EXPECT_EQ(FindPrefix({}, "а"), -1);
}

TEST_P(SelectionDialogs, OperationsListOnlyTheirOwnGroupsFreeOperationsSorted)
{
    // Group 11 shares group 3's name; each lists its own operations only.
    CProcessSelectDlgModel dlg(3, kGroup3, names, processes);
    dlg.OnInitDialog(list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт", "Отгрузка", "Приход", "Приход товара"}));
    EXPECT_EQ(list.data, (std::vector<std::uint32_t>{Word(3, 24), Word(3, 21), Word(3, 23), Word(3, 22)}));
    EXPECT_EQ(list.selection, 0);
    EXPECT_TRUE(dlg.OkEnabled());
    EXPECT_EQ(dlg.m_dwSelected, Word(3, 24));
    EXPECT_EQ(dlg.m_nType, 24);
    EXPECT_EQ(dlg.m_strSelected, "акт");

    ASSERT_TRUE(dlg.OnOK(1));
    EXPECT_EQ(dlg.m_dwSelected, Word(3, 21));
    EXPECT_EQ(dlg.m_nGrp, 3);
    EXPECT_EQ(dlg.m_nType, 21);
    EXPECT_EQ(dlg.m_strSelected, "Отгрузка");

    kelm::test::ItemList twinList;
    CProcessSelectDlgModel twin(11, kGroup3, names, processes);
    twin.OnInitDialog(twinList);
    EXPECT_EQ(twinList.items, (std::vector<std::string>{"Возврат"}));
    EXPECT_EQ(twin.m_dwSelected, Word(11, 30));

    // A group without free operations: only Cancel closes, only adding is offered.
    kelm::test::ItemList emptyList;
    CProcessSelectDlgModel empty(7, "Кадровый учёт", names, processes);
    empty.OnInitDialog(emptyList);
    EXPECT_TRUE(emptyList.items.empty());
    EXPECT_FALSE(empty.OkEnabled());
    EXPECT_FALSE(empty.OnOK(-1));
    EXPECT_EQ(empty.m_nType, -1);
    EXPECT_TRUE(empty.CommandEnabled(ID_CATALOG_ADD));
    EXPECT_FALSE(empty.CommandEnabled(ID_CATALOG_RENAME));
    EXPECT_FALSE(empty.CommandEnabled(ID_CATALOG_DELETE));
    EXPECT_TRUE(empty.CommandEnabled(ID_CATALOG_REREAD));
    empty.OnCommand(ID_CATALOG_RENAME, emptyList);
    empty.OnCommand(ID_CATALOG_DELETE, emptyList);
    EXPECT_TRUE(names.asked.empty());
    EXPECT_TRUE(prompt.shown.empty());

    // F5 shows what another session changed.
    db->Exec("INSERT INTO MainTypeOperate(Grp, Type, NameOperate) VALUES (3, 24, 'акт')");
    dlg.OnCommand(ID_CATALOG_REREAD, list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Отгрузка", "Приход", "Приход товара"}));
    EXPECT_EQ(dlg.m_dwSelected, Word(3, 21));
}

TEST_P(SelectionDialogs, AnAddedOperationCopiesItsBaseAndIsListedAndSelected)
{
    CProcessSelectDlgModel dlg(3, kGroup3, names, processes);
    dlg.OnInitDialog(list);
    dlg.TakeSelection(1); // "Отгрузка", offered as the base
    processes.answers.push_back({Process("O'2", "Отгрузка 'срочная'", 21)});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    ASSERT_EQ(processes.asked.size(), 1u);
    EXPECT_EQ(processes.asked[0].grp, 3);
    EXPECT_EQ(processes.asked[0].type, 21);
    EXPECT_EQ(processes.asked[0].groupName, kGroup3);
    EXPECT_FALSE(processes.asked[0].retry);
    EXPECT_TRUE(prompt.shown.empty());

    const std::string type = Value("SELECT Type FROM ProdTypeOperate WHERE NameOperate = 'Отгрузка ''срочная'''");
    ASSERT_NE(type, "<none>");
    const std::string row = "FROM ProdTypeOperate WHERE Type = " + type;
    EXPECT_EQ(Value("SELECT Grp " + row), "3");
    EXPECT_EQ(Value("SELECT Code " + row), "O'2");
    EXPECT_EQ(Value("SELECT Kind " + row), "1");
    EXPECT_EQ(Value("SELECT NameGrp " + row), "Продажи");
    EXPECT_EQ(Value("SELECT FullNameGrp " + row), kGroup3);
    EXPECT_EQ(Value("SELECT NameTable " + row), "Operation_Document");
    EXPECT_EQ(Value("SELECT NameScript " + row), "ship.vbs");
    EXPECT_EQ(Value("SELECT Color " + row), "255");
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт", "Отгрузка", "Отгрузка 'срочная'", "Приход", "Приход товара"}));
    EXPECT_EQ(list.selection, 2);
    EXPECT_EQ(dlg.m_strSelected, "Отгрузка 'срочная'");
    EXPECT_EQ(dlg.m_nType, std::stoi(type));
    EXPECT_EQ(dlg.m_dwSelected, Word(3, std::stoi(type)));

    // A kind chosen in the dialog replaces the base operation's.
    const struct {
        bool kindChoice;
        int moveKind;
        const char* kind;
    } kinds[] = {{false, 2, "1"}, {true, 2, "2"}, {true, 0, "0"}};
    for (const auto& k : kinds) {
        const std::string code = std::string("K") + (k.kindChoice ? "c" : "b") + std::to_string(k.moveKind);
        processes.answers.push_back({Process(code, code, 21, k.kindChoice, k.moveKind)});
        dlg.OnCommand(ID_CATALOG_ADD, list);
        EXPECT_EQ(Value("SELECT Kind FROM ProdTypeOperate WHERE Code = '" + code + "'"), k.kind) << code;
        EXPECT_EQ(dlg.m_strSelected, code);
    }

    // Cancel adds nothing.
    const int rows = Count("ProdTypeOperate");
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(Count("ProdTypeOperate"), rows);
}

TEST_P(SelectionDialogs, AnEmptyGroupsFirstOperationTakesTheGroupsNames)
{
    CProcessSelectDlgModel dlg(7, "Кадровый учёт", names, processes);
    dlg.OnInitDialog(list);
    processes.answers.push_back({Process("PR", "Приём на работу", -1)});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(processes.asked.at(0).type, 0);
    EXPECT_TRUE(prompt.shown.empty());
    const std::string row = "FROM ProdTypeOperate WHERE Grp = 7";
    EXPECT_EQ(Value("SELECT COUNT(*) " + row), "1");
    EXPECT_EQ(Value("SELECT NameOperate " + row), "Приём на работу");
    EXPECT_EQ(Value("SELECT NameGrp " + row), "Кадры");
    EXPECT_EQ(Value("SELECT FullNameGrp " + row), "Кадровый учёт");
    EXPECT_EQ(Value("SELECT Kind " + row), "0");
    EXPECT_EQ(Value("SELECT NameTable " + row), "NULL");
    EXPECT_EQ(Value("SELECT NameScript " + row), "NULL");
    EXPECT_EQ(Value("SELECT Color " + row), "NULL");
    EXPECT_EQ(list.items, (std::vector<std::string>{"Приём на работу"}));
    EXPECT_EQ(list.selection, 0);
    EXPECT_TRUE(dlg.OkEnabled());
    EXPECT_EQ(dlg.m_strSelected, "Приём на работу");
    EXPECT_EQ(dlg.m_dwSelected, Word(7, std::stoi(Value("SELECT Type " + row))));

    // A group with neither operations nor a row of its own: nothing can be
    // added, and that is said, not taken for success.
    kelm::test::ItemList orphanList;
    CProcessSelectDlgModel orphan(13, "", names, processes);
    orphan.OnInitDialog(orphanList);
    processes.answers.push_back({Process("X", "Нигде", -1)});
    orphan.OnCommand(ID_CATALOG_ADD, orphanList);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM ProdTypeOperate WHERE Grp = 13"), "0");
    ASSERT_EQ(processes.asked.size(), 3u); // the failed try comes back, and is cancelled
    EXPECT_TRUE(processes.asked[2].retry);
    EXPECT_TRUE(orphanList.items.empty());
}

TEST_P(SelectionDialogs, AFailedInsertIsShownAndTheDialogComesBackWithItsValues)
{
    CProcessSelectDlgModel dlg(3, kGroup3, names, processes);
    dlg.OnInitDialog(list);
    const int rows = Count("ProdTypeOperate");

    // The database refuses, then the base operation goes while the dialog
    // is open: each failure is shown and the entered values come back.
    Refuse("ProdTypeOperate", "INSERT");
    processes.answers.push_back({Process("NV", "Новая", 22, true, 1)});
    processes.answers.push_back({Process("NV", "Новая", 23, true, 1), [this] {
                                     Allow("ProdTypeOperate", "INSERT");
                                     db->Exec("DELETE FROM ProdTypeOperate WHERE Type = 23");
                                 }});
    processes.answers.push_back({Process("NV", "Новая", 22, true, 1)});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(prompt.shown.size(), 2u);
    for (const auto& shown : prompt.shown)
        EXPECT_EQ(shown.icon, MessageIcon::Error);
    ASSERT_EQ(processes.asked.size(), 3u);
    EXPECT_FALSE(processes.asked[0].retry);
    for (std::size_t i : {1u, 2u}) {
        EXPECT_TRUE(processes.asked[i].retry);
        EXPECT_EQ(processes.asked[i].shown.code, "NV");
        EXPECT_EQ(processes.asked[i].shown.name, "Новая");
        EXPECT_EQ(processes.asked[i].shown.moveKind, 1);
    }
    EXPECT_EQ(processes.asked[1].shown.baseType, 22);
    EXPECT_EQ(processes.asked[2].shown.baseType, 23);
    EXPECT_EQ(Count("ProdTypeOperate"), rows); // one gone, one added
    EXPECT_EQ(Value("SELECT Kind FROM ProdTypeOperate WHERE Code = 'NV'"), "1");
    EXPECT_EQ(dlg.m_strSelected, "Новая");
}

TEST_P(SelectionDialogs, RenamingAnOperationKeepsItsNameAndSelectsTheFirstEntryBeginningWithIt)
{
    CProcessSelectDlgModel dlg(3, kGroup3, names, processes);
    dlg.OnInitDialog(list);
    dlg.TakeSelection(1); // "Отгрузка"
    names.answers.push_back({"Отгрузка 'по; счёту'", ""});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    ASSERT_EQ(names.asked.size(), 1u);
    EXPECT_EQ(names.asked[0].text, "Отгрузка");
    EXPECT_EQ(names.asked[0].mode, 7u);
    EXPECT_EQ(Value("SELECT NameOperate FROM ProdTypeOperate WHERE Type = 21"), "Отгрузка 'по; счёту'");
    EXPECT_EQ(dlg.m_strSelected, "Отгрузка 'по; счёту'");
    EXPECT_EQ(dlg.m_nType, 21);

    // The new name begins "Приход", which sorts first, so that entry is the one selected.
    names.answers.push_back({"приход", ""});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    EXPECT_EQ(Value("SELECT NameOperate FROM ProdTypeOperate WHERE Type = 21"), "приход");
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт", "Приход", "приход", "Приход товара"}));
    EXPECT_EQ(list.selection, 1);
    EXPECT_EQ(dlg.m_strSelected, "Приход");
    EXPECT_EQ(dlg.m_nType, 23);

    // A failed rename is shown and leaves list and selection alone; Cancel changes nothing.
    Refuse("ProdTypeOperate", "UPDATE");
    names.answers.push_back({"Другое", ""});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт", "Приход", "приход", "Приход товара"}));
    EXPECT_EQ(dlg.m_nType, 23);
    Allow("ProdTypeOperate", "UPDATE");
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    EXPECT_EQ(Value("SELECT NameOperate FROM ProdTypeOperate WHERE Type = 23"), "Приход");
}

TEST_P(SelectionDialogs, DeletingAnOperationRemovesOnlyItsRow)
{
    CProcessSelectDlgModel dlg(3, kGroup3, names, processes);
    dlg.OnInitDialog(list);
    dlg.TakeSelection(2); // "Приход"
    const int rows = Count("ProdTypeOperate");

    dlg.OnCommand(ID_CATALOG_DELETE, list); // cancelled
    EXPECT_EQ(Count("ProdTypeOperate"), rows);

    Refuse("ProdTypeOperate", "DELETE");
    names.answers.push_back({"", ""});
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(Count("ProdTypeOperate"), rows);
    EXPECT_EQ(list.items.size(), 4u);
    EXPECT_EQ(dlg.m_nType, 23);
    Allow("ProdTypeOperate", "DELETE");

    names.answers.push_back({"", ""});
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(names.asked.back().text, "Приход");
    EXPECT_EQ(names.asked.back().mode, 8u);
    EXPECT_EQ(Count("ProdTypeOperate"), rows - 1);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM ProdTypeOperate WHERE Type = 23"), "0");
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт", "Отгрузка", "Приход товара"}));
    EXPECT_EQ(dlg.m_strSelected, "акт");
    EXPECT_EQ(dlg.m_nType, 24);
}

TEST_P(SelectionDialogs, DocumentTypesListOnlyTheOperationsOnesNotInTheCatalogue)
{
    CSelectDocDlgModel dlg(21, 3, names);
    dlg.OnInitDialog(list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт приёмки", "Накладная"}));
    // Numbers beyond 16 bits come back whole.
    EXPECT_EQ(list.data, (std::vector<std::uint32_t>{70021, 70020}));
    EXPECT_EQ(list.selection, 0);
    EXPECT_EQ(dlg.m_nTypeDoc, 70021);
    dlg.OnSelChange(1);
    EXPECT_EQ(dlg.m_nTypeDoc, 70020);
    ASSERT_TRUE(dlg.OnOK(1));
    EXPECT_EQ(dlg.m_nTypeDoc, 70020);
    EXPECT_EQ(dlg.m_strName, "Накладная");

    // OK needs a chosen entry: without one the dialog stays open.
    CSelectDocDlgModel none(21, 3, names);
    none.OnInitDialog(list);
    EXPECT_FALSE(none.OnOK(-1));
    EXPECT_EQ(none.m_strName, "");

    // Every document type filed: an empty list, OK greyed and refused.
    kelm::test::ItemList filedList;
    CSelectDocDlgModel filed(4, 3, names);
    filed.OnInitDialog(filedList);
    EXPECT_TRUE(filedList.items.empty());
    EXPECT_FALSE(filed.OkEnabled());
    EXPECT_FALSE(filed.OnOK(0));
    EXPECT_EQ(filed.m_nTypeDoc, 0);
    filed.OnCommand(ID_CATALOG_RENAME, filedList);
    filed.OnCommand(ID_CATALOG_DELETE, filedList);
    EXPECT_TRUE(names.asked.empty());
}

TEST_P(SelectionDialogs, AnAddedDocumentTypeCopiesTheOperationsColumns)
{
    CSelectDocDlgModel dlg(21, 3, names);
    dlg.OnInitDialog(list);
    names.answers.push_back({"Акт 'сверки'", "Акт сверки; \"полный\""});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    ASSERT_EQ(names.asked.size(), 1u);
    EXPECT_EQ(names.asked[0].text, "<null>");
    EXPECT_EQ(names.asked[0].mode, 3u);
    EXPECT_TRUE(prompt.shown.empty());

    const std::string typeDoc = Value("SELECT TypeDoc FROM ProdDocType WHERE NameDoc = 'Акт ''сверки'''");
    ASSERT_NE(typeDoc, "<none>");
    const std::string row = "FROM ProdDocType WHERE TypeDoc = " + typeDoc;
    EXPECT_EQ(Value("SELECT Type " + row), "21");
    EXPECT_EQ(Value("SELECT Grp " + row), "3");
    EXPECT_EQ(Value("SELECT FullNameDoc " + row), "Акт сверки; \"полный\"");
    EXPECT_EQ(Value("SELECT NameOperate " + row), "Отгрузка");
    EXPECT_EQ(Value("SELECT NameTable " + row), "Operation_Document");
    EXPECT_EQ(Value("SELECT NameScript " + row), "ship.vbs");
    EXPECT_EQ(list.items, (std::vector<std::string>{"Акт 'сверки'", "акт приёмки", "Накладная"}));
    EXPECT_EQ(list.selection, 0);
    EXPECT_EQ(dlg.m_nTypeDoc, std::stoi(typeDoc));
    ASSERT_TRUE(dlg.OnOK(0));
    EXPECT_EQ(dlg.m_strName, "Акт 'сверки'");

    // An operation without its catalogue row gives nothing to copy: the
    // failure is shown and the name dialog comes back.
    kelm::test::ItemList orphanList;
    CSelectDocDlgModel orphan(40, 3, names);
    orphan.OnInitDialog(orphanList);
    const int rows = Count("ProdDocType");
    names.answers.push_back({"Сирота", ""});
    orphan.OnCommand(ID_CATALOG_ADD, orphanList);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(names.asked.size(), 3u);
    EXPECT_EQ(Count("ProdDocType"), rows);

    // A refused insert is shown too, and the next try goes in.
    Refuse("ProdDocType", "INSERT");
    names.answers.push_back({"Счёт", "", [] {}});
    names.answers.push_back({"Счёт", "Счёт на оплату", [this] { Allow("ProdDocType", "INSERT"); }});
    dlg.OnCommand(ID_CATALOG_ADD, list);
    EXPECT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(Count("ProdDocType"), rows + 1);
    EXPECT_EQ(dlg.m_strName, "Акт 'сверки'");
    ASSERT_TRUE(dlg.OnOK(list.selection));
    EXPECT_EQ(dlg.m_strName, "Счёт");
}

TEST_P(SelectionDialogs, RenamingAndDeletingADocumentTypeTouchOnlyItsRow)
{
    db->Exec("INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewTypeDoc, NewState) "
             "VALUES (3, 4, 70001, 3, 3, 70020, 1)");
    CSelectDocDlgModel dlg(21, 3, names);
    dlg.OnInitDialog(list);
    dlg.OnSelChange(1); // "Накладная"
    names.answers.push_back({"Накладная 'ТОРГ-12'", "Товарная накладная; форма"});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    EXPECT_EQ(names.asked.back().text, "Накладная");
    EXPECT_EQ(names.asked.back().mode, 4u);
    EXPECT_EQ(Value("SELECT NameDoc FROM ProdDocType WHERE TypeDoc = 70020"), "Накладная 'ТОРГ-12'");
    EXPECT_EQ(Value("SELECT FullNameDoc FROM ProdDocType WHERE TypeDoc = 70020"), "Товарная накладная; форма");
    EXPECT_EQ(Value("SELECT NameDoc FROM ProdDocType WHERE TypeDoc = 70021"), "акт приёмки");
    EXPECT_EQ(list.selection, 1);
    EXPECT_EQ(dlg.m_nTypeDoc, 70020);

    const int rows = Count("ProdDocType");
    names.answers.push_back({"", ""});
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(names.asked.back().text, "Накладная 'ТОРГ-12'");
    EXPECT_EQ(names.asked.back().mode, 5u);
    EXPECT_EQ(Count("ProdDocType"), rows - 1);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM ProdDocType WHERE TypeDoc = 70020"), "0");
    // References elsewhere stay.
    EXPECT_EQ(Value("SELECT COUNT(*) FROM MainDocMove WHERE NewTypeDoc = 70020"), "1");
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт приёмки"}));
    EXPECT_EQ(dlg.m_nTypeDoc, 70021);

    // Failures are shown and leave the list as it was.
    Refuse("ProdDocType", "UPDATE");
    Refuse("ProdDocType", "DELETE");
    names.answers.push_back({"Другое", ""});
    dlg.OnCommand(ID_CATALOG_RENAME, list);
    names.answers.push_back({"", ""});
    dlg.OnCommand(ID_CATALOG_DELETE, list);
    EXPECT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(Value("SELECT NameDoc FROM ProdDocType WHERE TypeDoc = 70021"), "акт приёмки");
    EXPECT_EQ(list.items, (std::vector<std::string>{"акт приёмки"}));
}

TEST_P(SelectionDialogs, ReadOnlyModeGreysAndRefusesTheCatalogueEdits)
{
    CProcessSelectDlgModel processDlg(3, kGroup3, names, processes);
    kelm::test::ItemList processList;
    processDlg.OnInitDialog(processList);
    CSelectDocDlgModel docDlg(21, 3, names);
    docDlg.OnInitDialog(list);
    const int operations = Count("ProdTypeOperate"), documents = Count("ProdDocType");
    g_bReadOnlyMode = TRUE;

    struct Dialog {
        std::function<bool(int)> enabled;
        std::function<void(int)> run;
    };
    const Dialog dialogs[] = {
        {[&](int id) { return processDlg.CommandEnabled(id); }, [&](int id) { processDlg.OnCommand(id, processList); }},
        {[&](int id) { return docDlg.CommandEnabled(id); }, [&](int id) { docDlg.OnCommand(id, list); }},
    };
    for (const Dialog& dialog : dialogs) {
        for (int id : {ID_CATALOG_ADD, ID_CATALOG_RENAME, ID_CATALOG_DELETE}) {
            EXPECT_FALSE(dialog.enabled(id)) << id;
            names.answers.push_back({"Х", "Х"});
            processes.answers.push_back({Process("X", "Х", 21)});
            dialog.run(id);
            names.answers.clear();
            processes.answers.clear();
        }
        EXPECT_TRUE(dialog.enabled(ID_CATALOG_REREAD));
        dialog.run(ID_CATALOG_REREAD);
    }
    EXPECT_TRUE(names.asked.empty());
    EXPECT_TRUE(processes.asked.empty());
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>(6, kReadOnlyCatalogMessage));
    EXPECT_EQ(Count("ProdTypeOperate"), operations);
    EXPECT_EQ(Count("ProdDocType"), documents);
    EXPECT_EQ(processList.items.size(), 4u);
    EXPECT_EQ(list.items.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, SelectionDialogs,
                         ::testing::Values(kelm::test::Engine::SQLite, kelm::test::Engine::PostgreSQL),
                         [](const auto& info) { return kelm::test::EngineName(info.param); });

} // namespace
