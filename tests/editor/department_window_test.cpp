// The department side in this process under the test display: start-up with
// the department kind on the default data source, the department tree of the
// real frame, a firm's chart opened, rebuilt, arranged, saved and closed,
// and the arrangement dialog. Questions are answered by a script.
#include "editor/dialogs/ui/arrangedlg.h"
#include "editor/trees/ui/basetreectrl.h"
#include "editor/dialogs/ui/chartdialogwindows.h"
#include "editor/pages/ui/departmentpage.h"
#include "editor/pages/ui/diagrampropsheet.h"
#include "editor/app/core/dbutil.h"
#include "editor/app/core/editorprompt.h"
#include "editor/frames/ui/childframe.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/app/ui/settings.h"
#include "editor/program/tarnwickapp.h"

#include "afx/cmdid.h"
#include "charts/views/deptview.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "resources/tarnwick/tarnwickstrings.h"
#include "diagram/odcontroller.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/screen_reader.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/init.h>
#include <wx/menu.h>
#include <wx/scrolbar.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;
std::unique_ptr<kelm::test::TempDir> g_odbcDir;
std::unique_ptr<kelm::test::KelmDatabase> g_db;

// The default data source is a fixture database on SQLite where this
// account is an administrator; the driver manager reads our files.
class Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_odbcDir = std::make_unique<kelm::test::TempDir>();
        const char* sysini = std::getenv("ODBCSYSINI");
        g_odbcDir->write("odbcinst.ini",
                         sysini ? kelm::test::readFile(std::filesystem::path(sysini) / "odbcinst.ini") : std::string());
        g_odbcDir->write("odbc.ini", "");
        g_odbcDir->write("user-odbc.ini", "");
        setenv("ODBCSYSINI", g_odbcDir->path().c_str(), 1);
        setenv("ODBCINI", (g_odbcDir->path() / "user-odbc.ini").c_str(), 1);
        g_db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "deptwin");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            g_db->Exec(sql);
        g_db->Exec("INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES ('" +
                   SqlQuote(CurrentUserName()) + "', 1)");
        g_odbcDir->write("odbc.ini", "[Default]\nDriver=SQLite3\nDatabase=" + g_db->DatabaseName() + "\n");
    }
    void TearDown() override
    {
        g_db.reset();
        g_odbcDir.reset();
    }
};

// The data source first: the driver manager must read our files from its first call on.
const auto* const g_odbcEnv = ::testing::AddGlobalTestEnvironment(new Environment);
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

void settle() { kelm::test::SettleWindows(); }

struct RecordingPrompt : IPrompt {
    void Message(const std::string& text, const std::string&, MessageIcon) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// The arrangement answered from the test.
struct ScriptedArrange : IChartDialogs {
    int SelectAction(ActionChoice&) override { return IDCANCEL; }
    int RunProperties(CODComponentSet&, CODViewport&, const std::string&) override { return IDCANCEL; }
    int ShowBackReferences(std::int32_t, DocTypeChoice&) override { return IDCANCEL; }
    int AskPicturePath(const std::string&, std::string&) override { return IDCANCEL; }
    int ArrangeParams(ArrangeChoice& params) override
    {
        seen.push_back(params);
        return answer ? answer(params) : IDCANCEL;
    }
    std::function<int(ArrangeChoice&)> answer;
    std::vector<ArrangeChoice> seen;
};

class DepartmentWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        g_db->Exec("DELETE FROM struct_gr_firm");
        g_bReadOnlyMode = FALSE;
        g_bShowDeptComments = 0;
        app().SetShell(&app());
        SetChartShell(&app());
        SetChartDialogs(&dialogs);
        kelm::test::AnswerMessageBoxes(asked, answers);
    }
    void TearDown() override
    {
        kelm::test::CloseProgramWindows(app());
        SetMessageBoxAnswer({});
        SetChartDialogs(nullptr);
        SetChartShell(nullptr);
        app().SetShell(nullptr);
        app().ReleaseConnection();
        app().m_cmdInfo = CTarnwickCommandLineInfo();
    }

    // Start-up as the program runs it: the stored kind, the windows, the
    // silent connection to the default data source and the tree it builds.
    void StartWithDepartments()
    {
        {
            CFileProfileStore store;
            store.WriteProfileInt("Settings", "DiagrammType", 2);
            ASSERT_TRUE(store.Flush());
        }
        {
            CFileProfileStore store;
            app().LoadSettings(store);
        }
        ASSERT_TRUE(app().CreateWindows());
        frame()->SetSize(1100, 760);
        frame()->Show();
        ASSERT_TRUE(app().ConnectAtStartup());
        settle();
    }

    static CTarnwickApp& app() { return *g_app; }
    CMainFrame* frame() { return app().GetMainFrame(); }
    CBaseTreeCtrl* tree() { return frame()->GetTree(); }

    TreeItem FirmItem()
    {
        TreeItem root = tree()->GetChildren(tree()->GetRootItem()).at(0);
        for (TreeItem child : tree()->GetChildren(root))
            if (tree()->GetItemText(child) == "ООО \"Кельм\"")
                return child;
        return 0;
    }

    void Activate(TreeItem item)
    {
        wxTreeEvent event(wxEVT_TREE_ITEM_ACTIVATED, tree(), CBaseTreeCtrl::ToId(item));
        tree()->GetEventHandler()->ProcessEvent(event);
        settle();
    }

    CADepartmentDoc* OpenFirmChart()
    {
        Activate(FirmItem());
        for (wxObject* object : app().GetDocManager()->GetDocuments())
            if (auto* doc = dynamic_cast<CADepartmentDoc*>(object))
                return doc;
        return nullptr;
    }

    static CADepartmentView* ViewOf(CADepartmentDoc* doc) { return dynamic_cast<CADepartmentView*>(doc->GetFirstView()); }

    // A command of the chart window's menu, as the menu sends it.
    bool Command(CADepartmentDoc* doc, int id)
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        return ViewOf(doc)->GetFrame()->GetEventHandler()->ProcessEvent(event);
    }
    // Enabled and checked state of a command in the chart window.
    std::pair<bool, bool> State(CADepartmentDoc* doc, int id)
    {
        wxUpdateUIEvent event(ToWxId(id));
        event.Enable(true);
        event.Check(false);
        ViewOf(doc)->GetFrame()->GetEventHandler()->ProcessEvent(event);
        return {!event.GetSetEnabled() || event.GetEnabled(), event.GetSetChecked() && event.GetChecked()};
    }

    void Screenshot(const char* name)
    {
        kelm::test::SaveScreenshot(std::filesystem::path(KELM_TEST_OUTPUT) / "department_window_test", name);
    }

    kelm::test::TempDir dir;
    ScriptedArrange dialogs;
    std::deque<int> answers;
    std::vector<std::string> asked;
};

TEST_F(DepartmentWindow, StartedWithTheDepartmentKindTheDefaultSourceShowsTheDepartmentTree)
{
    StartWithDepartments();
    EXPECT_EQ(app().m_cmdInfo.m_nDiagrammType, 2);
    ASSERT_NE(tree(), nullptr);
    EXPECT_EQ(tree()->GetTreeClass(), TreeClass::DWF);
    EXPECT_EQ(frame()->GetTreeBar()->GetTabs()->GetPageText(0).utf8_string(), "Подразделения");
    // No name was given: the root names the data source the connection went through.
    EXPECT_TRUE(app().m_cmdInfo.m_strDSN.empty());
    EXPECT_EQ(tree()->GetItemText(tree()->GetChildren(tree()->GetRootItem()).at(0)), "Default [DSN]");
    const TreeItem firm = FirmItem();
    ASSERT_NE(firm, 0u);
    EXPECT_EQ(tree()->GetItemData(firm), 1);
    tree()->Expand(firm);
    settle();
    ASSERT_EQ(tree()->GetChildren(firm).size(), 1u);
    EXPECT_EQ(tree()->GetItemText(tree()->GetChildren(firm)[0]), "Дирекция");
    EXPECT_TRUE(asked.empty());
    Screenshot("department-tree.png");
}

TEST_F(DepartmentWindow, AFirmsChartIsRebuiltArrangedSavedAndOpensAgainFromTheDatabase)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle().utf8_string(), "ООО \"Кельм\"");
    EXPECT_EQ(doc->GetModel()->GetComponentCount(), 0); // nothing stored yet
    auto* view = ViewOf(doc);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(dynamic_cast<CChildFrame*>(view->GetFrame()), nullptr);
    ASSERT_NE(view->GetController(), nullptr);
    // The department window's own menu.
    wxMenuBar* bar = dynamic_cast<wxFrame*>(view->GetFrame())->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(bar->FindMenu(wxString::FromUTF8("Вс&тавка")), wxNOT_FOUND);

    ASSERT_TRUE(Command(doc, 32792));
    CADepartmentDiagramModel* model = doc->GetModel();
    EXPECT_EQ(model->GetComponentCount(), 5); // three departments, two links

    // The dialog opens with the default spacings, then with the last accepted ones.
    dialogs.answer = [](ArrangeChoice& c) {
        c.horzSpace = 180;
        c.vertSpace = 120;
        return static_cast<int>(IDOK);
    };
    ASSERT_TRUE(Command(doc, 32828));
    ASSERT_TRUE(Command(doc, 32828));
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].horzSpace, 150u);
    EXPECT_EQ(dialogs.seen[0].vertSpace, 100u);
    EXPECT_EQ(dialogs.seen[1].horzSpace, 180u);
    EXPECT_EQ(dialogs.seen[1].vertSpace, 120u);
    EXPECT_TRUE(doc->IsModified());
    Screenshot("department-chart.png");

    EXPECT_TRUE(State(doc, 32788).first);
    ASSERT_TRUE(Command(doc, 32788));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(g_db->Open()->Execute("SELECT count(*) FROM struct_gr_firm WHERE id_firm = 1")
                  ->GetCollect(ado::_variant_t(0))
                  .ToLong(),
              1);
    ASSERT_TRUE(app().GetDocManager()->CloseDocument(doc));
    settle();
    EXPECT_TRUE(asked.empty());

    CADepartmentDoc* again = OpenFirmChart();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetModel()->GetComponentCount(), 5);
    EXPECT_FALSE(again->IsModified());
}

TEST_F(DepartmentWindow, ArrowsOnlyLeaveTheNodesWhereTheyAre)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    std::vector<CRect> before;
    for (CODComponent* c : *doc->GetModel()->GetComponents())
        if (dynamic_cast<CADSubDivision*>(c))
            before.push_back(c->GetBounds());
    dialogs.answer = [](ArrangeChoice& c) {
        c.arrangeNodes = false;
        return static_cast<int>(IDOK);
    };
    ASSERT_TRUE(Command(doc, 32828));
    std::vector<CRect> after;
    for (CODComponent* c : *doc->GetModel()->GetComponents())
        if (dynamic_cast<CADSubDivision*>(c))
            after.push_back(c->GetBounds());
    EXPECT_EQ(before, after);
    // Cancel changes nothing and marks nothing.
    doc->GetModel()->SetModified(false);
    dialogs.answer = nullptr;
    ASSERT_TRUE(Command(doc, 32828));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DepartmentWindow, AfterAHandInsertionTheSaveIsGreyedRefusedAndClosingOffersTheFile)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    CADepartmentDiagramController* controller = ViewOf(doc)->GetController();
    ASSERT_TRUE(Command(doc, 32805));
    auto* inserted = dynamic_cast<CADSubDivision*>(controller->GetInsertComponent());
    ASSERT_NE(inserted, nullptr);
    std::string name;
    inserted->GetChildText("DocState", name);
    EXPECT_EQ(name, "New Department");
    EXPECT_EQ(inserted->GetCode(), -1);
    EXPECT_EQ(inserted->GetParentCode(), -1);
    EXPECT_EQ(controller->m_bManualInsert, 1);
    controller->CancelInsertion();

    EXPECT_FALSE(State(doc, 32788).first);
    doc->GetModel()->SetModified(true);
    Command(doc, 32788);
    EXPECT_EQ(g_db->Open()->Execute("SELECT count(*) FROM struct_gr_firm")->GetCollect(ado::_variant_t(0)).ToLong(),
              0);

    // The link command draws a department link and keeps the save greyed.
    ASSERT_TRUE(Command(doc, 44538));
    EXPECT_NE(dynamic_cast<CDWFLink*>(controller->GetInsertComponent()), nullptr);
    EXPECT_TRUE(State(doc, 44538).second);
    controller->CancelInsertion();
    EXPECT_FALSE(State(doc, 44538).second);

    // Closing asks the file question, not the database one; No drops the changes.
    answers = {IDNO};
    ASSERT_TRUE(app().GetDocManager()->CloseDocument(doc));
    settle();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("Сохранить изменения в"), std::string::npos);
    EXPECT_EQ(asked[0].find("в БД"), std::string::npos);
}

TEST_F(DepartmentWindow, ARefreshOfAChangedChartAsksFirstAndCancelKeepsIt)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    doc->GetModel()->SetModified(true);
    answers = {IDCANCEL};
    ASSERT_TRUE(Command(doc, 32792));
    EXPECT_EQ(asked, std::vector<std::string>{"Диаграмма была изменена.\nВы хотите ее сохранить?"});
    EXPECT_TRUE(doc->IsModified());

    // Yes saves, then rebuilds.
    answers = {IDYES};
    ASSERT_TRUE(Command(doc, 32792));
    EXPECT_EQ(g_db->Open()->Execute("SELECT count(*) FROM struct_gr_firm")->GetCollect(ado::_variant_t(0)).ToLong(),
              1);
    EXPECT_EQ(doc->GetModel()->GetComponentCount(), 5);

    // A closing chart changed by moving only asks the database question.
    doc->GetModel()->SetModified(true);
    answers = {IDNO};
    ASSERT_TRUE(app().GetDocManager()->CloseDocument(doc));
    settle();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2], "Сохранить диаграмму 'ООО \"Кельм\"' в БД ?");
}

TEST_F(DepartmentWindow, TheCommentsSwitchIsOneForEveryChart)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    for (CODComponent* c : *doc->GetModel()->GetComponents())
        if (auto* node = dynamic_cast<CADSubDivision*>(c))
            node->m_strComment = "Комментарий\nвторая строка";
    EXPECT_FALSE(State(doc, 32809).second);
    ASSERT_TRUE(Command(doc, 32809));
    EXPECT_EQ(g_bShowDeptComments, 1);
    EXPECT_TRUE(State(doc, 32809).second);
    // A second chart window of another firm sees the same switch.
    g_db->Exec("INSERT INTO setup(id_firm, name) VALUES (2, 'Вторая')");
    g_db->Exec("INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) "
               "VALUES (2, 1, 0, 'Склад', 0, 1)");
    app().OpenDiagram(2, "Вторая");
    settle();
    CADepartmentDoc* second = nullptr;
    for (wxObject* object : app().GetDocManager()->GetDocuments())
        if (auto* d = dynamic_cast<CADepartmentDoc*>(object); d && d != doc)
            second = d;
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(State(second, 32809).second);
    app().GetDocManager()->CloseDocument(second, true);
    g_db->Exec("DELETE FROM struct_gr WHERE id_firm = 2");
    g_db->Exec("DELETE FROM setup WHERE id_firm = 2");
    settle();
    Screenshot("department-comments.png");
}

TEST_F(DepartmentWindow, LoadFromFileOfAFirmOpensTheFileDialog)
{
    StartWithDepartments();
    int asks = 0;
    app().GetDocManager()->m_choosePath = [&asks] {
        ++asks;
        return wxString();
    };
    tree()->SelectItem(FirmItem());
    wxCommandEvent event(wxEVT_MENU, ToWxId(ID_TREE_LOAD_FROM_FILE));
    tree()->GetEventHandler()->ProcessEvent(event);
    settle();
    EXPECT_EQ(asks, 1);
    app().GetDocManager()->m_choosePath = nullptr;
}

TEST_F(DepartmentWindow, AChartFileRoundTripComesBackFromTheFileAndCannotBeSavedToTheDatabase)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    const std::string file = (dir.path() / "firm.wfd").string();
    ASSERT_TRUE(doc->OnSaveDocument(wxString::FromUTF8(file)));
    ASSERT_TRUE(app().GetDocManager()->CloseDocument(doc, true));
    settle();

    wxDocument* opened = app().GetDocManager()->CreateDocument(wxString::FromUTF8(file), wxDOC_SILENT);
    settle();
    auto* fromFile = dynamic_cast<CADepartmentDoc*>(opened);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->m_bFromFile, 1);
    EXPECT_EQ(fromFile->GetModel()->GetComponentCount(), 5);
    EXPECT_FALSE(State(fromFile, 32788).first);
}

TEST_F(DepartmentWindow, TheArrangementDialogTakesWholeNumbersFrom10To1000)
{
    StartWithDepartments();
    ArrangeChoice initial;
    initial.horzSpace = 150;
    initial.vertSpace = 100;
    CArrangeHorzParamDlg dialog(initial, frame());
    auto* horz = XRCCTRL(dialog, "IDC_1066", wxTextCtrl);
    auto* vert = XRCCTRL(dialog, "IDC_1000", wxTextCtrl);
    ASSERT_NE(horz, nullptr);
    ASSERT_NE(vert, nullptr);
    EXPECT_EQ(horz->GetValue(), "150");
    EXPECT_EQ(vert->GetValue(), "100");
    EXPECT_FALSE(XRCCTRL(dialog, "IDC_1006", wxCheckBox)->IsEnabled());
    EXPECT_TRUE(XRCCTRL(dialog, "IDC_1006", wxCheckBox)->GetValue());
    dialog.Show();
    settle();
    Screenshot("arrange-dialog.png");

    struct Case {
        const char* horz;
        const char* vert;
        bool taken;
    } cases[] = {{"5", "100", false}, {"150", "1001", false}, {"abc", "100", false}, {"", "100", false},
                 {"10", "1000", true}, {" 200 ", "80", true}};
    RecordingPrompt prompt;
    SetPrompt(&prompt);
    for (const Case& c : cases) {
        prompt.texts.clear();
        horz->SetValue(c.horz);
        vert->SetValue(c.vert);
        EXPECT_EQ(dialog.TakeValues(), c.taken) << c.horz << " " << c.vert;
        EXPECT_EQ(prompt.texts, c.taken ? std::vector<std::string>{}
                                        : std::vector<std::string>{"Введите целое число от 10 до 1000."})
            << c.horz << " " << c.vert;
    }
    SetPrompt(nullptr);
    EXPECT_EQ(dialog.Model().m_choice.horzSpace, 200u);
    EXPECT_EQ(dialog.Model().m_choice.vertSpace, 80u);
    dialog.Hide();
}

TEST_F(DepartmentWindow, TheSheetOfTwoDepartmentsAndALinkShowsTwoDepartmentPages)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    CADepartmentDiagramModel* model = doc->GetModel();
    CADSubDivision* added = NewDepartmentNode();
    added->SetData(-1, -1, "New Department");
    model->AppendComponent(added);
    CADSubDivision* stored = nullptr;
    CDWFLink* link = nullptr;
    for (CODComponent* c : *model->GetComponents()) {
        if (auto* node = dynamic_cast<CADSubDivision*>(c); node && node->GetCode() == 1)
            stored = node;
        if (!link)
            link = dynamic_cast<CDWFLink*>(c);
    }
    ASSERT_NE(stored, nullptr);
    ASSERT_NE(link, nullptr);
    CADepartmentDiagramController* controller = ViewOf(doc)->GetController();
    controller->Select(added);
    controller->Select(link, true);
    controller->Select(stored, true);
    model->SetModified(false);

    CWxChartDialogs windows;
    SetChartDialogs(&windows);
    struct Seen {
        int pages = 0;
        std::string firstCode, secondCode;
        bool firstEditable = false, secondEditable = true;
    } seen;
    wxTheApp->CallAfter([&seen] {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* sheet = dynamic_cast<CDiagramPropSheet*>(window);
            if (!sheet || !sheet->IsModal())
                continue;
            seen.pages = sheet->GetPageCount();
            auto* first = dynamic_cast<CDepartmentPropPage*>(sheet->GetPage(0));
            auto* second = dynamic_cast<CDepartmentPropPage*>(sheet->GetPage(1));
            if (!first || !second)
                break;
            seen.firstCode = static_cast<wxStaticText*>(first->ControlWindow(1002))->GetLabel().utf8_string();
            seen.firstEditable = first->ControlWindow(1001)->IsEnabled();
            static_cast<wxTextCtrl*>(first->ControlWindow(1001))->SetValue(wxString::FromUTF8("Склад"));
            sheet->SetActivePage(1);
            seen.secondCode = static_cast<wxStaticText*>(second->ControlWindow(1002))->GetLabel().utf8_string();
            seen.secondEditable = second->ControlWindow(1001)->IsEnabled();
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            sheet->GetEventHandler()->ProcessEvent(ok);
        }
    });
    ASSERT_TRUE(Command(doc, 44546));
    settle();
    SetChartDialogs(&dialogs);
    EXPECT_EQ(seen.pages, 2);
    EXPECT_EQ(seen.firstCode, "Новое");
    EXPECT_TRUE(seen.firstEditable);
    EXPECT_EQ(seen.secondCode, "1");
    EXPECT_FALSE(seen.secondEditable);
    std::string name;
    added->GetChildText("DocState", name);
    EXPECT_EQ(name, "Склад");
    stored->GetChildText("DocState", name);
    EXPECT_EQ(name, "Дирекция");
    EXPECT_TRUE(model->IsModified());
    answers = {IDNO};
}

TEST(DepartmentPage, ANewDepartmentIsNamedHereAStoredOneIsNot)
{
    struct Case {
        std::int32_t code;
        const char* code_text;
        bool editable;
        std::string typed;
        bool taken;
        const char* nameAfter;
    } cases[] = {
        {-1, "Новое", true, "Цех", true, "Цех"},
        {12, "12", false, "Цех", true, "Склад"},
        {-1, "Новое", true, std::string(255, 'x'), true, nullptr},
        {-1, "Новое", true, std::string(256, 'x'), false, "Склад"},
    };
    for (const Case& c : cases) {
        CADSubDivision* node = NewDepartmentNode();
        node->AddRef();
        node->SetData(c.code, -1, "Склад");
        CDepartmentPropPageModel page(node);
        page.Init();
        EXPECT_EQ(page.Control(CDepartmentPropPageModel::IDC_CODE).text, c.code_text);
        EXPECT_EQ(page.Control(CDepartmentPropPageModel::IDC_NAME).text, "Склад");
        EXPECT_EQ(page.Control(CDepartmentPropPageModel::IDC_NAME).enabled, c.editable);
        page.Control(CDepartmentPropPageModel::IDC_NAME).text = c.typed;
        page.OnCommand(CDepartmentPropPageModel::IDC_NAME);
        EXPECT_TRUE(page.Modified);
        const bool taken = page.Validate() && page.Apply();
        EXPECT_EQ(taken, c.taken) << c.typed.size();
        std::string name;
        node->GetChildText("DocState", name);
        EXPECT_EQ(name, c.nameAfter ? std::string(c.nameAfter) : c.typed) << c.typed.size();
        node->Release();
    }
}

TEST_F(DepartmentWindow, TheCaptionNamesTheFirmsChartUntilItCloses)
{
    StartWithDepartments();
    const std::string title = res::LoadString(res::IDS_APP_TITLE);
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title);
    // The user double-clicks the firm in the tree.
    const wxTreeItemId firm = CBaseTreeCtrl::ToId(FirmItem());
    ASSERT_TRUE(firm.IsOk());
    wxRect label;
    ASSERT_TRUE(tree()->GetBoundingRect(firm, label, true));
    wxUIActionSimulator input;
    input.MouseMove(tree()->ClientToScreen(label.GetPosition() + wxPoint(label.width / 2, label.height / 2)));
    settle();
    input.MouseDblClick();
    CADepartmentDoc* doc = nullptr;
    for (int i = 0; i < 100 && !doc; ++i) {
        wxMilliSleep(30);
        settle();
        for (wxObject* object : app().GetDocManager()->GetDocuments())
            if (auto* found = dynamic_cast<CADepartmentDoc*>(object))
                doc = found;
    }
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title + " - ООО \"Кельм\"");
    ASSERT_TRUE(Command(doc, ID_FILE_CLOSE));
    settle();
    EXPECT_TRUE(app().GetDocManager()->GetDocuments().empty());
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title);
    Screenshot("department-caption-after-close.png");
    EXPECT_TRUE(asked.empty());
}

TEST_F(DepartmentWindow, AfterAnArrangementTheWindowShowsTheChartWhole)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    wxWindow* canvas = ViewOf(doc)->GetCanvas();
    auto barsShown = [canvas] {
        int n = 0;
        for (wxWindow* child : canvas->GetChildren())
            n += dynamic_cast<wxScrollBar*>(child) && child->IsShown() ? 1 : 0;
        return n;
    };
    kelm::test::Pause();
    ASSERT_GT(barsShown(), 0) << "the sheet fits before the arrangement";

    // Arranged, the sheet shrinks to the tree and the bars go.
    dialogs.answer = [](ArrangeChoice&) { return static_cast<int>(IDOK); };
    ASSERT_TRUE(Command(doc, 32828));
    const wxImage shown = kelm::test::ScreenImage(canvas);
    EXPECT_EQ(barsShown(), 0);
    Screenshot("arranged.png");

    // What a fresh paint of the same view shows: the window made smaller and
    // its size given back.
    frame()->SetSize(900, 600);
    kelm::test::Pause();
    frame()->SetSize(1100, 760);
    const wxImage fresh = kelm::test::ScreenImage(canvas);
    Screenshot("arranged-repainted.png");
    ASSERT_EQ(shown.GetSize(), fresh.GetSize());
    int differ = 0, black = 0;
    for (int y = 0; y < shown.GetHeight(); ++y)
        for (int x = 0; x < shown.GetWidth(); ++x) {
            differ += shown.GetRed(x, y) != fresh.GetRed(x, y) || shown.GetGreen(x, y) != fresh.GetGreen(x, y) ||
                      shown.GetBlue(x, y) != fresh.GetBlue(x, y);
            black += x >= shown.GetWidth() - 30 && shown.GetRed(x, y) + shown.GetGreen(x, y) + shown.GetBlue(x, y) == 0;
        }
    EXPECT_EQ(black, 0) << "a black strip where the bar was";
    EXPECT_EQ(differ, 0) << "pixels left from before the arrangement";
    doc->GetModel()->SetModified(false);
    doc->Modify(false);
}

// The first column and row of the image that hold ink; -1 when none does.
std::pair<int, int> FirstInk(const wxImage& image)
{
    int column = -1, row = -1;
    for (int x = 0; x < image.GetWidth() && column < 0; ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (kelm::test::IsInk(image, x, y)) {
                column = x;
                break;
            }
    for (int y = 0; y < image.GetHeight() && row < 0; ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (kelm::test::IsInk(image, x, y)) {
                row = y;
                break;
            }
    return {column, row};
}

TEST_F(DepartmentWindow, AfterARebuildAndAnArrangementTheWindowShowsTheDrawingsTopLeftCorner)
{
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(Command(doc, 32792));
    dialogs.answer = [](ArrangeChoice&) { return static_cast<int>(IDOK); };
    ASSERT_TRUE(Command(doc, 32828));

    CODViewport& viewport = ViewOf(doc)->GetChartViewport();
    const CRect drawing = viewport.GetVirtualBounds();
    EXPECT_EQ(viewport.GetLogOrigin(), drawing.TopLeft());
    CRect nodes;
    bool any = false;
    for (CODComponent* c : *doc->GetModel()->GetComponents())
        if (dynamic_cast<CADSubDivision*>(c)) {
            if (any)
                nodes.UnionRect(nodes, c->GetBounds());
            else
                nodes = c->GetBounds();
            any = true;
        }
    ASSERT_TRUE(any);
    // The leftmost box and the top one stand as far from the window's
    // corner as from the drawing's.
    const wxImage shown = kelm::test::ScreenImage(ViewOf(doc)->GetCanvas());
    Screenshot("arranged-top-left.png");
    const auto [column, row] = FirstInk(shown);
    EXPECT_NEAR(column, nodes.left - drawing.left, 1);
    EXPECT_NEAR(row, nodes.top - drawing.top, 1);
    doc->GetModel()->SetModified(false);
}

TEST_F(DepartmentWindow, ADepartmentsNameStaysInsideItsBoxOnTheScreen)
{
    const std::string name = "Отдел материально-технического снабжения и логистики";
    g_db->Exec("INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, sort) "
               "VALUES (1, 9, 0, '" + name + "', 0, 9)");
    StartWithDepartments();
    CADepartmentDoc* doc = OpenFirmChart();
    ASSERT_NE(doc, nullptr);

    // Each box on the screen: the name reaches towards its right border and
    // no ink stands just outside it.
    auto expectNameInside = [this](CADepartmentDoc* chart, const char* when) {
        CODViewport& viewport = ViewOf(chart)->GetChartViewport();
        const wxImage shown = kelm::test::ScreenImage(ViewOf(chart)->GetCanvas());
        bool found = false;
        for (CODComponent* c : *chart->GetModel()->GetComponents()) {
            auto* node = dynamic_cast<CADSubDivision*>(c);
            if (!node || node->GetCode() != 9)
                continue;
            found = true;
            const wxRect box = kelm::test::WindowRect(viewport, node->GetBounds());
            ASSERT_TRUE(wxRect(wxPoint(0, 0), shown.GetSize()).Contains(box)) << when;
            EXPECT_EQ(kelm::test::InkIn(shown, wxRect(box.GetRight() + 2, box.GetTop() + 2, 40, box.height - 4)), 0)
                << when << ": the name runs past its box";
            EXPECT_GT(kelm::test::InkIn(shown, wxRect(box.GetRight() - 30, box.GetTop() + 3, 26, box.height - 6)), 0)
                << when << ": the name's end is not drawn in its box";
        }
        EXPECT_TRUE(found) << when;
    };
    ASSERT_TRUE(Command(doc, 32792));
    dialogs.answer = [](ArrangeChoice&) { return static_cast<int>(IDOK); };
    ASSERT_TRUE(Command(doc, 32828));
    expectNameInside(doc, "rebuilt and arranged");
    Screenshot("department-long-name.png");

    // Stored and opened again, the boxes hold their names as well.
    ASSERT_TRUE(Command(doc, 32788));
    ASSERT_TRUE(app().GetDocManager()->CloseDocument(doc));
    settle();
    CADepartmentDoc* again = OpenFirmChart();
    ASSERT_NE(again, nullptr);
    expectNameInside(again, "opened again");
    EXPECT_FALSE(again->IsModified());
    Screenshot("department-long-name-reopened.png");
    g_db->Exec("DELETE FROM struct_gr WHERE struct_code = 9");
}

TEST_F(DepartmentWindow, AChangedChartFromTheDatabaseWithoutAViewDoesNotClose)
{
    CADepartmentDoc doc;
    doc.GetModel()->m_nKey = 1;
    doc.m_bFromFile = 0;
    EXPECT_TRUE(doc.OnSaveModified()); // unchanged: closes without a question
    doc.GetModel()->SetModified(true);
    EXPECT_FALSE(doc.OnSaveModified());
    EXPECT_TRUE(asked.empty());
    doc.GetModel()->SetModified(false);
}

} // namespace
