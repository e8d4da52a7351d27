// The editor's windows in this process under the test display: the main
// frame with its docking process tree on a real database, charts opened
// from the tree through the document template, and what closing, reopening
// and the file command do to them. Questions are answered by a script.
#include "editor/trees/ui/basetreectrl.h"
#include "editor/dialogs/ui/chartdialogwindows.h"
#include "editor/app/ui/uires.h"
#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/frames/ui/childframe.h"
#include "editor/pages/ui/diagrampropsheet.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"

#include "afx/cmdid.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "charts/views/tarnwickview.h"
#include "diagram/odcontroller.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"
#include "tests/editor/scripted_tree_dialogs.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/scrolbar.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <filesystem>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

std::filesystem::path outputFolder()
{
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "chart_window_test";
    std::filesystem::create_directories(out);
    return out;
}

void settle() { kelm::test::SettleWindows(); }

class ChartWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "chartwin");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app().m_pConnection = db->Open();
        app().m_cmdInfo.m_strDSN = "KelmTest";
        app().m_cmdInfo.m_nDiagrammType = 1;
        g_bReadOnlyMode = FALSE;
        app().SetShell(&app());
        SetChartShell(&app());
        kelm::test::AnswerMessageBoxes(asked, answers);
        ASSERT_TRUE(app().CreateWindows());
        frame()->SetSize(1100, 760);
        frame()->Show();
        app().BuildNavigationTree(TreeClass::AWF);
        settle();
    }
    void TearDown() override
    {
        kelm::test::CloseProgramWindows(app());
        SetMessageBoxAnswer({});
        SetChartShell(nullptr);
        app().SetShell(nullptr);
        app().ReleaseConnection();
        app().m_cmdInfo = CTarnwickCommandLineInfo();
    }

    static CTarnwickApp& app() { return *g_app; }
    CMainFrame* frame() { return app().GetMainFrame(); }
    CBaseTreeCtrl* tree() { return frame()->GetTree(); }

    // The item under parent with this text, expanding its way down.
    TreeItem Find(const std::vector<std::string>& path) { return kelm::test::FindTreeItem(*tree(), path); }
    TreeItem OrderItem() { return Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ"}); }
    TreeItem InvoiceItem() { return Find({"KelmTest [DSN]", "Продажи и расчёты", "Выставление счёта", "Счёт"}); }

    void Activate(TreeItem item)
    {
        wxTreeEvent event(wxEVT_TREE_ITEM_ACTIVATED, tree(), CBaseTreeCtrl::ToId(item));
        tree()->GetEventHandler()->ProcessEvent(event);
        settle();
    }

    std::vector<CBaseDiagramDoc*> Charts()
    {
        std::vector<CBaseDiagramDoc*> charts;
        for (wxObject* object : app().GetDocManager()->GetDocuments())
            if (auto* doc = dynamic_cast<CBaseDiagramDoc*>(object))
                charts.push_back(doc);
        return charts;
    }

    void Screenshot(const char* name) { kelm::test::SaveScreenshot(outputFolder(), name); }

    kelm::test::TempDir dir;
    std::unique_ptr<kelm::test::KelmDatabase> db;
    std::deque<int> answers;
    std::vector<std::string> asked;
};

TEST_F(ChartWindow, ADocumentTypeOfTheTreeOpensItsChartOnceInAWindowOfItsOwn)
{
    const TreeItem order = OrderItem();
    ASSERT_NE(order, 0u);
    Activate(order);
    ASSERT_EQ(Charts().size(), 1u);
    CBaseDiagramDoc* chart = Charts()[0];
    EXPECT_EQ(chart->GetModel()->GetKey(), 70001);
    EXPECT_EQ(chart->GetTitle().utf8_string(), "Заказ");
    EXPECT_GT(chart->GetModel()->GetComponents()->GetSize(), 3);
    auto* view = dynamic_cast<CTarnwickView*>(chart->GetFirstView());
    ASSERT_NE(view, nullptr);
    EXPECT_NE(dynamic_cast<CChildFrame*>(view->GetFrame()), nullptr);
    EXPECT_NE(dynamic_cast<CTarnwickController*>(view->GetViewport()->GetController()), nullptr);
    EXPECT_FALSE(chart->IsModified());
    EXPECT_EQ(frame()->GetActiveChild(), view->GetFrame());
    EXPECT_EQ(frame()->GetLabel().utf8_string(), std::string(res::LoadString(res::IDS_APP_TITLE)) + " - Заказ");
    Screenshot("chart.png");

    // A window smaller than the chart scrolls it.
    frame()->SetSize(560, 420);
    settle();
    int shownBars = 0;
    for (wxWindow* child : view->GetCanvas()->GetChildren())
        if (dynamic_cast<wxScrollBar*>(child) && child->IsShown())
            ++shownBars;
    EXPECT_GE(shownBars, 1);
    Screenshot("chart-small.png");
    frame()->SetSize(1100, 760);

    // Opening the same key again activates the first window.
    Activate(InvoiceItem());
    ASSERT_EQ(Charts().size(), 2u);
    EXPECT_NE(frame()->GetActiveChild(), view->GetFrame());
    Activate(order);
    EXPECT_EQ(Charts().size(), 2u);
    EXPECT_EQ(frame()->GetActiveChild(), view->GetFrame());
    EXPECT_TRUE(asked.empty());
}

TEST_F(ChartWindow, NothingOpensWithoutADiagramKindOrForTypeDocZero)
{
    app().m_cmdInfo.m_nDiagrammType = 0;
    Activate(OrderItem());
    EXPECT_TRUE(Charts().empty());
    app().m_cmdInfo.m_nDiagrammType = 1;
    const TreeItem zero = tree()->AppendItem(tree()->GetRootItem(), "Пустой", IMAGE_DOCUMENT, 0);
    Activate(zero);
    EXPECT_TRUE(Charts().empty());
}

TEST_F(ChartWindow, ReadOnlyChartsSayItInTheirTitle)
{
    g_bReadOnlyMode = TRUE;
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    EXPECT_EQ(Charts()[0]->GetTitle().utf8_string(), "Заказ (только чтение)");
    // A new name keeps saying so; another key's chart is not touched.
    app().RetitleDiagram(70001, "Заказ покупателя");
    app().RetitleDiagram(70002, "Счёт покупателю");
    EXPECT_EQ(Charts()[0]->GetTitle().utf8_string(), "Заказ покупателя (только чтение)");
}

TEST_F(ChartWindow, AChartWhoseRowsFailToLoadOpensWithItsKeysAndRefusesToSave)
{
    db->Exec("DROP TABLE MainDocMove");
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    auto* model = dynamic_cast<CTarnwickModel*>(Charts()[0]->GetModel());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetKey(), 70001);
    EXPECT_EQ(model->GetComponents()->GetSize(), 0);
    EXPECT_TRUE(model->m_bIncomplete);
    const std::size_t before = asked.size();
    EXPECT_FALSE(model->SaveToDB());
    ASSERT_EQ(asked.size(), before + 1);
    EXPECT_NE(asked.back().find("Обновить диаграмму"), std::string::npos);
    // The stored states are all still there.
    auto rs = app().m_pConnection->Execute("SELECT count(*) AS n FROM MainDocState WHERE TypeDoc = 70001");
    EXPECT_EQ(rs->GetCollect("n").ToLong(), 3);
}

TEST_F(ChartWindow, LoadingFromAFileClosesTheOpenChartFirstAndAsksWhenTheTypesDiffer)
{
    // A fresh copy of the chart file each time: wx shows a file that is open already instead.
    int chosen = 0;
    app().GetDocManager()->m_choosePath = [this, &chosen] {
        const std::filesystem::path copy = dir.path() / ("chart" + std::to_string(++chosen) + ".wfa");
        std::filesystem::copy_file(WORKFLOW_FIXTURES "/chart.wfa", copy);
        return wxString::FromUTF8(copy.string());
    };

    // A modified chart of that document type asks; Cancel keeps it and stops.
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    Charts()[0]->Modify(true);
    tree()->SelectItem(OrderItem());
    answers = {IDCANCEL};
    tree()->Logic().OnCommand(ID_TREE_LOAD_FROM_FILE);
    settle();
    EXPECT_EQ(Charts().size(), 1u);
    EXPECT_EQ(chosen, 0);
    EXPECT_TRUE(answers.empty());
    Charts()[0]->Modify(false);
    Charts()[0]->GetModel()->SetModified(false);

    // The same document type: the open chart closes and the file takes its place.
    tree()->Logic().OnCommand(ID_TREE_LOAD_FROM_FILE);
    settle();
    EXPECT_EQ(chosen, 1);
    ASSERT_EQ(Charts().size(), 1u);
    EXPECT_EQ(Charts()[0]->GetTitle().utf8_string(), "Заказ");
    EXPECT_EQ(Charts()[0]->GetModel()->GetKey(), 70001);

    // Another document type: Yes gives the file's document type the item's key.
    tree()->SelectItem(InvoiceItem());
    answers = {IDYES};
    tree()->Logic().OnCommand(ID_TREE_LOAD_FROM_FILE);
    settle();
    ASSERT_EQ(Charts().size(), 2u);
    auto* model = dynamic_cast<CTarnwickModel*>(Charts()[1]->GetModel());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetKey(), 70002);
    EXPECT_EQ(dynamic_cast<CAWFDocumentType*>(model->m_DocTypes.GetAt(0))->TypeDoc, 70002);

    // No closes the window it opened.
    app().GetDocManager()->CloseDocument(Charts()[1], true);
    answers = {IDNO};
    tree()->Logic().OnCommand(ID_TREE_LOAD_FROM_FILE);
    settle();
    EXPECT_EQ(Charts().size(), 1u);
    EXPECT_TRUE(answers.empty());
}

TEST_F(ChartWindow, DisconnectingKeepsEverythingWhenTheUserKeepsAModifiedChart)
{
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    Charts()[0]->GetModel()->SetModified(true);
    answers = {IDCANCEL};
    app().OnCloseConnection();
    EXPECT_EQ(Charts().size(), 1u);
    EXPECT_NE(app().m_pConnection->GetState(), ado::adStateClosed);
    EXPECT_EQ(tree()->GetTreeClass(), TreeClass::AWF);
    EXPECT_NE(OrderItem(), 0u);

    answers = {IDNO};
    app().OnCloseConnection();
    settle();
    EXPECT_TRUE(Charts().empty());
    EXPECT_EQ(app().m_pConnection->GetState(), ado::adStateClosed);
    EXPECT_EQ(tree()->GetTreeClass(), TreeClass::Base);
}

TEST_F(ChartWindow, TheTreeBarToggleIsGreyedWithoutAKindAndAHiddenBarStaysHiddenAfterARestart)
{
    auto state = [this] {
        wxUpdateUIEvent update(ToWxId(32796));
        update.SetEventObject(frame());
        frame()->ProcessWindowEvent(update);
        return std::make_pair(update.GetEnabled(), update.GetChecked());
    };
    EXPECT_TRUE(frame()->IsTreeBarVisible());
    EXPECT_EQ(state(), std::make_pair(true, true));
    app().m_cmdInfo.m_nDiagrammType = 0;
    EXPECT_EQ(state(), std::make_pair(false, false));
    app().m_cmdInfo.m_nDiagrammType = 1;

    wxCommandEvent toggle(wxEVT_MENU, ToWxId(32796));
    frame()->ProcessWindowEvent(toggle);
    EXPECT_FALSE(frame()->IsTreeBarVisible());
    EXPECT_EQ(state(), std::make_pair(true, false));

    // Closing writes the layout, with or without a connection; the next frame reads it.
    app().m_pConnection->Close();
    frame()->Close(true);
    settle();
    app().DestroyWindows();
    ASSERT_TRUE(app().CreateWindows());
    frame()->Show();
    settle();
    EXPECT_FALSE(frame()->IsTreeBarVisible());
    EXPECT_TRUE(frame()->GetAuiManager().GetPane("Bar59392").IsShown());
}

TEST_F(ChartWindow, DelInTheTreesLabelEditorDeletesACharacterAndNeverReachesTheChart)
{
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    CODModel* model = Charts()[0]->GetModel();
    auto* view = dynamic_cast<CTarnwickView*>(Charts()[0]->GetFirstView());
    ASSERT_NE(view, nullptr);
    // Everything on the chart is selected: a Del that reached the chart would delete it.
    CODController* controller = view->GetViewport()->GetController();
    for (CODComponent* c : *model->GetComponents())
        controller->Select(c, true);
    const int components = model->GetComponents()->GetSize();

    const TreeItem order = OrderItem();
    tree()->SelectItem(order);
    tree()->SetFocus();
    settle();
    tree()->EditLabel(order);
    settle();
    wxTextCtrl* editor = tree()->GetEditControl();
    ASSERT_NE(editor, nullptr);
    editor->SetFocus();
    editor->SetInsertionPoint(0);
    settle();
    wxUIActionSimulator input;
    input.Char(WXK_DELETE);
    for (int i = 0; i < 10 && editor->GetValue() != wxString::FromUTF8("аказ"); ++i) {
        wxMilliSleep(30);
        settle();
    }
    EXPECT_EQ(editor->GetValue().utf8_string(), "аказ");
    EXPECT_EQ(model->GetComponents()->GetSize(), components);
    // The Edit menu's delete, forwarded to the tree while the editor is open, deletes nothing either.
    for (int id : {ID_DELETE_DOCUMENT, ID_DELETE_PROCESS, ID_DELETE_GROUP})
        wxQueueEvent(frame(), new wxCommandEvent(wxEVT_MENU, ToWxId(id)));
    settle();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(tree()->GetEditControl(), editor);
    input.Char(WXK_ESCAPE);
    settle();
    EXPECT_EQ(tree()->GetItemText(order), "Заказ");
    EXPECT_TRUE(asked.empty());

    // A delete arriving as the editor opens is refused as well.
    tree()->EditLabel(order);
    for (int id : {ID_DELETE_DOCUMENT, ID_TREE_DELETE}) {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        tree()->GetEventHandler()->ProcessEvent(event);
    }
    settle();
    EXPECT_TRUE(asked.empty());
    if (wxTextCtrl* open = tree()->GetEditControl()) {
        open->SetFocus();
        settle();
        input.Char(WXK_ESCAPE);
        settle();
    }

    // Del with the focus on the tree itself is the tree's delete, not the chart's: it asks, and No keeps all.
    tree()->SetFocus();
    settle();
    answers = {IDNO};
    input.Char(WXK_DELETE);
    for (int i = 0; i < 10 && !answers.empty(); ++i) {
        wxMilliSleep(30);
        settle();
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"Вы уверены, что хотите удалить \nдокумент: Заказ"}));
    EXPECT_EQ(model->GetComponents()->GetSize(), components);
    EXPECT_EQ(Charts().size(), 1u);
    EXPECT_EQ(OrderItem(), order);
}

TEST_F(ChartWindow, TheTreeOpensTheProcessDialogAReadOnlyDocumentSheetAndTheSelectionDialogs)
{
    kelm::test::RecordingPrompt prompt;
    // Whatever modal dialog comes up is looked at, then cancelled.
    auto whenModal = [](std::function<void(wxDialog&)> body) {
        wxTheApp->CallAfter([body] {
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
                    body(*dialog);
                    dialog->EndModal(wxID_CANCEL);
                    return;
                }
            ADD_FAILURE() << "no modal dialog is up";
        });
    };
    // Straight to the tree, as its context menu sends them: the dialog is up before anything else runs.
    auto command = [this](int id) {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        tree()->GetEventHandler()->ProcessEvent(event);
        settle();
    };

    bool processShown = false;
    tree()->SelectItem(Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа"}));
    whenModal([&](wxDialog& dialog) { processShown = dynamic_cast<CAddProcessDlg*>(&dialog) != nullptr; });
    command(ID_SHOW_PROPERTIES);
    EXPECT_TRUE(processShown);

    // Read-only mode still shows the properties.
    g_bReadOnlyMode = TRUE;
    bool sheetShown = false;
    tree()->SelectItem(OrderItem());
    whenModal([&](wxDialog& dialog) {
        auto* sheet = dynamic_cast<CPropertySheet*>(&dialog);
        ASSERT_NE(sheet, nullptr);
        sheetShown = true;
        EXPECT_EQ(sheet->GetTitle().utf8_string(), "Свойства");
        ASSERT_EQ(sheet->GetBookCtrl()->GetPageCount(), 1u);
        auto* page = dynamic_cast<CModelPage*>(sheet->GetBookCtrl()->GetPage(0));
        ASSERT_NE(page, nullptr);
        for (int id : {1012, 1013, 1014, 1015, 1016, 1022, 1005}) {
            ASSERT_NE(page->ControlWindow(id), nullptr) << id;
            EXPECT_FALSE(page->ControlWindow(id)->IsEnabled()) << id;
        }
        Screenshot("document-properties.png");
    });
    command(ID_SHOW_PROPERTIES);
    EXPECT_TRUE(sheetShown);
    g_bReadOnlyMode = FALSE;

    // Adding a process and a document type goes through their selection
    // dialogs over the tree: Cancel adds nothing, OK files the chosen entry.
    db->Exec("INSERT INTO ProdTypeOperate(Grp, Type, Code, NameOperate) VALUES (3, 21, 'OT', 'Отгрузка')");
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70020, 21, 3, 'Накладная')");
    auto choose = [](int button, std::vector<std::string>& listed) {
        wxTheApp->CallAfter([button, &listed] {
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
                    for (const char* name : {"IDC_PROCESS_LIST", "IDC_DOC_LIST"})
                        if (auto* list = dynamic_cast<wxListBox*>(dialog->FindWindow(XRCID(name))))
                            for (unsigned i = 0; i < list->GetCount(); ++i)
                                listed.push_back(list->GetString(i).utf8_string());
                    wxCommandEvent click(wxEVT_BUTTON, button);
                    click.SetEventObject(dialog->FindWindow(button));
                    dialog->FindWindow(button)->GetEventHandler()->ProcessEvent(click);
                    return;
                }
            ADD_FAILURE() << "no modal dialog is up";
        });
    };
    const TreeItem sales = Find({"KelmTest [DSN]", "Продажи и расчёты"});
    const std::size_t processes = tree()->GetChildren(sales).size();
    tree()->SelectItem(sales);
    std::vector<std::string> listed;
    choose(wxID_CANCEL, listed);
    command(ID_ADD_PROCESS);
    EXPECT_EQ(listed, (std::vector<std::string>{"Отгрузка"}));
    EXPECT_EQ(tree()->GetChildren(sales).size(), processes);
    listed.clear();
    choose(wxID_OK, listed);
    command(ID_ADD_PROCESS);
    const TreeItem shipping = Find({"KelmTest [DSN]", "Продажи и расчёты", "Отгрузка"});
    ASSERT_NE(shipping, 0u);
    EXPECT_EQ(tree()->GetItemData(shipping), PackProcessWord(3, 21));
    tree()->SelectItem(shipping);
    listed.clear();
    choose(wxID_OK, listed);
    command(ID_ADD_DOCUMENT);
    EXPECT_EQ(listed, (std::vector<std::string>{"Накладная"}));
    const TreeItem waybill = Find({"KelmTest [DSN]", "Продажи и расчёты", "Отгрузка", "Накладная"});
    ASSERT_NE(waybill, 0u);
    EXPECT_EQ(tree()->GetItemData(waybill), 70020);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_TRUE(asked.empty());
}

TEST_F(ChartWindow, CatalogueCommandsAddToTheTreeRetitleAndCloseTheChartOfADeletedDocumentType)
{
    kelm::test::ScriptedTreeDialogs dialogs;
    kelm::test::RecordingPrompt prompt;
    tree()->Logic().SetDialogs(&dialogs);
    db->Exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (11, 'Новая', 'Новая группа')");
    db->Exec("INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70003, 1, 11, 'Акт приёмки')");
    auto command = [this](int id) {
        // As the Edit menu does: the main window forwards it to the tree.
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        frame()->GetEventHandler()->ProcessEvent(event);
        settle();
    };

    tree()->SelectItem(Find({"KelmTest [DSN]"}));
    dialogs.groups = std::vector<std::int16_t>{9, 11};
    command(ID_ADD_GROUP);
    const TreeItem group = Find({"KelmTest [DSN]", "Новая группа"});
    ASSERT_NE(group, 0u);
    ASSERT_NE(Find({"KelmTest [DSN]", "Архивные операции"}), 0u);

    tree()->SelectItem(group);
    dialogs.process = kelm::test::ScriptedTreeDialogs::Process{PackProcessWord(11, 1), "Приёмка работ"};
    command(ID_ADD_PROCESS);
    const TreeItem process = Find({"KelmTest [DSN]", "Новая группа", "Приёмка работ"});
    ASSERT_NE(process, 0u);
    EXPECT_EQ(tree()->GetItemData(process), PackProcessWord(11, 1));

    tree()->SelectItem(process);
    dialogs.document = kelm::test::ScriptedTreeDialogs::Document{70003, "Акт приёмки"};
    command(ID_ADD_DOCUMENT);
    const TreeItem act = Find({"KelmTest [DSN]", "Новая группа", "Приёмка работ", "Акт приёмки"});
    ASSERT_NE(act, 0u);
    EXPECT_EQ(tree()->GetItemData(act), 70003);
    EXPECT_TRUE(tree()->IsExpanded(group));
    EXPECT_TRUE(tree()->IsExpanded(process));
    EXPECT_TRUE(asked.empty());
    tree()->SelectItem(act);
    Screenshot("tree-after-adds.png");

    // A renamed document type renames its open chart.
    Activate(OrderItem());
    ASSERT_EQ(Charts().size(), 1u);
    CBaseDiagramDoc* chart = Charts()[0];
    EXPECT_TRUE(tree()->Logic().OnEndLabelEdit(OrderItem(), "Заказ покупателя", false));
    EXPECT_EQ(chart->GetTitle().utf8_string(), "Заказ покупателя");
    EXPECT_EQ(frame()->GetLabel().utf8_string(),
              std::string(res::LoadString(res::IDS_APP_TITLE)) + " - Заказ покупателя");
    const TreeItem order = Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ покупателя"});
    ASSERT_NE(order, 0u);

    // A delete that rolls back leaves the chart open.
    db->Exec("CREATE TRIGGER refuse_state_delete BEFORE DELETE ON MainDocState BEGIN SELECT RAISE(ABORT, "
             "'refused'); END");
    chart->GetModel()->SetModified(true);
    tree()->SelectItem(order);
    answers = {IDYES};
    command(ID_DELETE_DOCUMENT);
    EXPECT_EQ(asked, (std::vector<std::string>{"Вы уверены, что хотите удалить \nдокумент: Заказ покупателя"}));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("refused"), std::string::npos) << prompt.shown[0].text;
    EXPECT_EQ(Charts().size(), 1u);
    EXPECT_NE(Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ покупателя"}), 0u);

    // After the commit the modified chart closes without asking to save it, and nothing comes back.
    db->Exec("DROP TRIGGER refuse_state_delete");
    asked.clear();
    answers = {IDYES};
    command(ID_DELETE_DOCUMENT);
    settle();
    EXPECT_EQ(asked, (std::vector<std::string>{"Вы уверены, что хотите удалить \nдокумент: Заказ покупателя"}));
    EXPECT_TRUE(Charts().empty());
    EXPECT_EQ(Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ покупателя"}), 0u);
    for (const char* table : {"MainDocType", "MainDocState", "MainDocMove", "MainDocAction"}) {
        auto rs = app().m_pConnection->Execute(std::string("SELECT count(*) AS n FROM ") + table +
                                               " WHERE TypeDoc = 70001");
        EXPECT_EQ(rs->GetCollect("n").ToLong(), 0) << table;
    }
    tree()->Logic().SetDialogs(nullptr);
}

} // namespace

TEST(ChartDialogs, AnEndOtherThanOkIsACancelAndUninstalledDialogsCancelWithoutTouchingTheChoice)
{
    EXPECT_EQ(DialogResultFromWx(wxID_OK), IDOK);
    for (int end : {int(wxID_CANCEL), int(wxID_NO), int(wxID_CLOSE), 0, int(IDOK)})
        EXPECT_EQ(DialogResultFromWx(end), IDCANCEL) << end;

    ActionChoice action;
    action.name = "kept";
    EXPECT_EQ(ChartDialogs().SelectAction(action), IDCANCEL);
    EXPECT_EQ(action.name, "kept");
    ArrangeChoice arrange{40, 50};
    EXPECT_EQ(ChartDialogs().ArrangeParams(arrange), IDCANCEL);
    EXPECT_EQ(arrange.horzSpace, 40u);
    std::string path = "x";
    EXPECT_EQ(ChartDialogs().AskPicturePath("chart", path), IDCANCEL);
    EXPECT_EQ(path, "x");
}

TEST_F(ChartWindow, WithoutTheProgramsShellCommandsStillReachTheMainWindowUnderTheirWindowIds)
{
    constexpr int kSaveAsPicture = 33801; // above what the toolkit takes as a window id
    std::vector<int> seen;
    frame()->Bind(wxEVT_MENU, [&](wxCommandEvent& event) { seen.push_back(event.GetId()); }, ToWxId(kSaveAsPicture));
    wxTheApp->SetTopWindow(frame());
    SetChartShell(nullptr);
    EXPECT_TRUE(ChartShell().SendCommand(kSaveAsPicture));
    ChartShell().PostCommand(kSaveAsPicture);
    settle();
    SetChartShell(&app());
    EXPECT_EQ(seen, (std::vector<int>{ToWxId(kSaveAsPicture), ToWxId(kSaveAsPicture)}));
}
