// The chart commands in the program's windows under the test display, on the
// PostgreSQL fixture: commands go to the main frame by their wx ids and reach
// the chart's controller through the document manager and the view; the
// create-state and back-references dialogs show as windows.
#include "editor/trees/ui/basetreectrl.h"
#include "editor/dialogs/ui/chartdialogwindows.h"
#include "editor/dialogs/ui/createstatedlg.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/dialogs/ui/shortcutdlg.h"

#include "afx/cmdid.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "charts/views/tarnwickcontroller.h"
#include "charts/views/tarnwickview.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/treectrl.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <deque>
#include <filesystem>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

using kelm::test::SettleWindows;

std::filesystem::path OutputFolder()
{
    auto out = std::filesystem::path(KELM_TEST_OUTPUT) / "chart_commands_window_test";
    std::filesystem::create_directories(out);
    return out;
}

void Screenshot(const char* name)
{
    kelm::test::SaveScreenshot(OutputFolder(), name);
}

struct RecordingProgress : IChartProgress {
    void BeginProgress(const std::string& text, int, int) override { seen.push_back("begin " + text); }
    void StepProgress() override { ++steps; }
    void EndProgress() override { seen.push_back("end"); }
    std::vector<std::string> seen;
    int steps = 0;
};

// The picture dialog answers from the test; everything else is the program's.
struct PictureDialogs : IChartDialogs {
    int SelectAction(ActionChoice& choice) override { return program.SelectAction(choice); }
    int RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption) override
    {
        return program.RunProperties(selection, viewport, caption);
    }
    int ShowBackReferences(std::int32_t typeDoc, DocTypeChoice& chosen) override
    {
        return program.ShowBackReferences(typeDoc, chosen);
    }
    int ArrangeParams(ArrangeChoice& params) override { return program.ArrangeParams(params); }
    int AskPicturePath(const std::string& proposed, std::string& path) override
    {
        this->proposed = proposed;
        if (answer.empty())
            return IDCANCEL;
        path = answer;
        return IDOK;
    }
    std::string proposed, answer;
    CWxChartDialogs program;
};

class ChartCommandsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::PostgreSQL, "chartcmdwin");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        g_app->m_pConnection = db->Open();
        g_app->m_cmdInfo.m_strDSN = "KelmTest";
        g_app->m_cmdInfo.m_nDiagrammType = 1;
        g_bReadOnlyMode = FALSE;
        g_bShowComments = 1;
        g_app->SetShell(g_app);
        SetChartShell(g_app);
        SetChartDialogs(&dialogs);
        SetCreateStatePrompt(&statePrompt);
        kelm::test::AnswerMessageBoxes(asked, answers);
        ASSERT_TRUE(g_app->CreateWindows());
        frame()->SetSize(1100, 760);
        frame()->Show();
        g_app->BuildNavigationTree(TreeClass::AWF);
        SettleWindows();
    }
    void TearDown() override
    {
        kelm::test::CloseProgramWindows(*g_app);
        SetMessageBoxAnswer({});
        SetCreateStatePrompt(nullptr);
        SetChartDialogs(nullptr);
        SetChartShell(nullptr);
        g_app->SetShell(nullptr);
        g_app->ReleaseConnection();
        g_app->m_cmdInfo = CTarnwickCommandLineInfo();
        g_bReadOnlyMode = TRUE;
        g_bShowComments = 1;
    }

    CMainFrame* frame() { return g_app->GetMainFrame(); }

    // Opens the order chart from the tree as the user does.
    CTarnwickDoc* OpenOrder()
    {
        CBaseTreeCtrl* tree = frame()->GetTree();
        const TreeItem item =
            kelm::test::FindTreeItem(*tree, {"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ"});
        if (!item)
            return nullptr;
        wxTreeEvent event(wxEVT_TREE_ITEM_ACTIVATED, tree, CBaseTreeCtrl::ToId(item));
        tree->GetEventHandler()->ProcessEvent(event);
        SettleWindows();
        for (wxDocument* doc : g_app->GetDocManager()->GetDocumentsVector())
            if (auto* chart = dynamic_cast<CTarnwickDoc*>(doc))
                return chart;
        return nullptr;
    }
    static CTarnwickController* ControllerOf(CTarnwickDoc* doc)
    {
        auto* view = dynamic_cast<CTarnwickView*>(doc->GetFirstView());
        return view ? dynamic_cast<CTarnwickController*>(view->GetViewport()->GetController()) : nullptr;
    }
    // A command as the menu sends it, to the main frame.
    bool Send(int id)
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        event.SetEventObject(frame());
        const bool handled = frame()->GetEventHandler()->ProcessEvent(event);
        SettleWindows();
        return handled;
    }
    std::pair<bool, int> Update(int id)
    {
        wxUpdateUIEvent event(ToWxId(id));
        event.SetEventObject(frame());
        frame()->GetEventHandler()->ProcessEvent(event);
        return {event.GetSetEnabled() ? event.GetEnabled() : true,
                event.GetSetChecked() ? int(event.GetChecked()) : -1};
    }
    long Count(const std::string& sql)
    {
        auto rs = g_app->m_pConnection->Execute(sql);
        return rs->GetCollect(0L).ToLong();
    }

    kelm::test::TempDir dir;
    std::unique_ptr<kelm::test::KelmDatabase> db;
    PictureDialogs dialogs;
    CWxCreateStatePrompt statePrompt;
    std::deque<int> answers;
    std::vector<std::string> asked;
};

TEST_F(ChartCommandsWindow, AStateInsertedThroughTheDialogAndLinkedIsSavedWithCtrlW)
{
    CTarnwickDoc* doc = OpenOrder();
    ASSERT_NE(doc, nullptr);
    CTarnwickController* controller = ControllerOf(doc);
    ASSERT_NE(controller, nullptr);
    CTarnwickModel* model = doc->GetModel();
    RecordingProgress progress;
    SetChartProgress(&progress);

    // The dialog offers the one free state of the group; OK takes it.
    bool shown = false;
    wxTheApp->CallAfter([&] {
        for (wxWindow* top : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<CCreateStateDlg*>(top)) {
                shown = true;
                auto* list = XRCCTRL(*dialog, "IDC_STATE_LIST", wxListBox);
                EXPECT_EQ(list->GetCount(), 1u);
                Screenshot("create_state_dialog.png");
                wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
                ok.SetEventObject(dialog->FindWindow(wxID_OK));
                dialog->FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
            }
    });
    EXPECT_TRUE(Send(ID_INSERT_STATE));
    EXPECT_TRUE(shown);
    auto* state = dynamic_cast<CAWFState*>(controller->GetInsertComponent());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetDocStateText(), "4:Архив");
    const CPoint at(420, 320);
    controller->OnMouseMove(0, at);
    controller->OnLButtonDown(OD_MK_LBUTTON, at);
    controller->OnLButtonUp(0, at);
    ASSERT_TRUE(model->Contains(state));

    // A link from state 3 to the new state, drawn with the mouse.
    CAWFState* s3 = model->FindState(70001, 3);
    ASSERT_NE(s3, nullptr);
    EXPECT_TRUE(Send(ID_INSERT_LINK));
    EXPECT_EQ(Update(ID_INSERT_LINK).second, 1);
    const CPoint from = s3->GetPort()->GetModelBounds().CenterPoint();
    const CPoint to = state->GetPort()->GetModelBounds().CenterPoint();
    controller->OnLButtonDown(OD_MK_LBUTTON, from);
    controller->OnMouseMove(OD_MK_LBUTTON, to);
    controller->OnLButtonUp(0, to);
    ASSERT_NE(model->FindMove(70001, 3, 70001, 4), nullptr);
    EXPECT_EQ(Update(ID_INSERT_LINK).second, 0);

    // Ctrl+W: the frame's accelerator sends 32788.
    bool viaAccelerator = false;
    auto* child = dynamic_cast<wxFrame*>(doc->GetFirstView()->GetFrame());
    for (wxMenuBar* bar : {frame()->GetMenuBar(), child ? child->GetMenuBar() : nullptr})
        if (wxMenuItem* item = bar ? bar->FindItem(ToWxId(ID_SAVE_TO_DB)) : nullptr)
            if (wxAcceleratorEntry* accel = item->GetAccel()) {
                viaAccelerator = accel->GetFlags() == wxACCEL_CTRL && accel->GetKeyCode() == 'W';
                delete accel;
            }
    EXPECT_TRUE(viaAccelerator);
    EXPECT_TRUE(Send(ID_SAVE_TO_DB));
    SetChartProgress(frame());
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocState WHERE TypeDoc = 70001 AND State = 4"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM MainDocMove WHERE TypeDoc = 70001 AND State = 3 AND NewState = 4"), 1);
    EXPECT_FALSE(doc->IsModified());
    ASSERT_GE(progress.seen.size(), 4u);
    EXPECT_EQ(progress.seen[0], "begin Проверка диаграммы...");
    EXPECT_EQ(progress.seen[2], "begin Сохранение диаграммы...");
    EXPECT_EQ(progress.seen.back(), "end");
    EXPECT_GT(progress.steps, 6);
    EXPECT_TRUE(asked.empty()) << asked.front();
    Screenshot("chart_saved.png");
}

TEST_F(ChartCommandsWindow, TheContextMenuOffersCommentsAndTheWayToAnotherChart)
{
    CTarnwickDoc* doc = OpenOrder();
    ASSERT_NE(doc, nullptr);
    CTarnwickController* controller = ControllerOf(doc);
    CTarnwickModel* model = doc->GetModel();
    auto labels = [&] {
        std::unique_ptr<wxMenu> menu(controller->BuildContextMenu());
        std::vector<std::string> out;
        for (wxMenuItem* item : menu->GetMenuItems()) {
            out.push_back(item->IsSeparator() ? "-" : std::to_string(FromWxId(item->GetId())));
            EXPECT_NE(FromWxId(item->GetId()), ID_OD_EDIT_CUT);
            EXPECT_NE(FromWxId(item->GetId()), ID_OD_EDIT_COPY);
            EXPECT_NE(FromWxId(item->GetId()), ID_OD_EDIT_PASTE);
        }
        return out;
    };
    auto around = [](const std::vector<std::string>& items) {
        // From the separator before the comment entry to the properties.
        auto at = std::find(items.begin(), items.end(), std::to_string(ID_OD_PROPERTIES));
        auto start = std::find(items.begin(), items.end(), std::to_string(ID_INSERT_COMMENTS));
        while (start != items.begin() && *(start - 1) != "-")
            --start;
        if (start != items.begin())
            --start;
        return std::vector<std::string>(start, at == items.end() ? at : at + 1);
    };
    controller->Select(model->FindState(70001, 2)); // external
    EXPECT_EQ(around(labels()), (std::vector<std::string>{"-", std::to_string(ID_GO_TO_CHART),
                                                           std::to_string(ID_INSERT_COMMENTS), "-",
                                                           std::to_string(ID_OD_PROPERTIES)}));
    controller->Select(model->FindState(70001, 1));
    EXPECT_EQ(around(labels()), (std::vector<std::string>{"-", std::to_string(ID_INSERT_COMMENTS), "-",
                                                           std::to_string(ID_OD_PROPERTIES)}));
    controller->Select(model->FindState(70001, 2), true);
    const auto two = labels();
    EXPECT_EQ(std::count(two.begin(), two.end(), std::to_string(ID_INSERT_COMMENTS)), 0);
    EXPECT_EQ(std::count(two.begin(), two.end(), std::to_string(ID_GO_TO_CHART)), 0);
    EXPECT_NE(two.front(), "-");
}

TEST_F(ChartCommandsWindow, CommandsThroughTheFrameFollowTheirRulesAndReadOnlyRefusesTheSave)
{
    CTarnwickDoc* doc = OpenOrder();
    ASSERT_NE(doc, nullptr);
    CTarnwickController* controller = ControllerOf(doc);
    CTarnwickModel* model = doc->GetModel();
    controller->Select(model->FindState(70001, 2));
    EXPECT_TRUE(Update(ID_GO_TO_CHART).first);
    EXPECT_EQ(Update(ID_SHOW_ACTIONS).second, 1);
    EXPECT_TRUE(Send(ID_SHOW_ACTIONS));
    EXPECT_EQ(Update(ID_SHOW_ACTIONS).second, 0);

    // Go to chart opens the other document type's window.
    EXPECT_TRUE(Send(ID_GO_TO_CHART));
    int charts = 0;
    for (wxDocument* d : g_app->GetDocManager()->GetDocumentsVector())
        if (auto* chart = dynamic_cast<CBaseDiagramDoc*>(d); chart && chart->GetModel()->GetKey() == 70002)
            ++charts;
    EXPECT_EQ(charts, 1);

    // Read-only: greyed, and refused when sent all the same, to the right chart.
    g_bReadOnlyMode = TRUE;
    model->SetModified();
    EXPECT_TRUE(doc->SaveChartToDatabase() == false);
    EXPECT_EQ(asked.back(), "Режим \"только чтение\", диаграмма не будет сохранена");
    g_bReadOnlyMode = FALSE;
    model->SetModified(false);
}

TEST_F(ChartCommandsWindow, ThePictureIsAJpegOfTheDrawingsSizeAndAFailureIsReported)
{
    CTarnwickDoc* doc = OpenOrder();
    ASSERT_NE(doc, nullptr);
    CTarnwickController* controller = ControllerOf(doc);
    EXPECT_TRUE(Update(ID_SAVE_AS_PICTURE).first);
    const auto path = (dir.path() / "Заказ.jpg").string();
    dialogs.answer = path;
    EXPECT_TRUE(Send(ID_SAVE_AS_PICTURE));
    EXPECT_EQ(dialogs.proposed, "Заказ");
    wxImage image;
    ASSERT_TRUE(image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_JPEG));
    wxImage expected;
    auto* view = dynamic_cast<CTarnwickView*>(doc->GetFirstView());
    ASSERT_TRUE(view->GetChartViewport().DrawToImage(expected));
    EXPECT_EQ(image.GetSize(), expected.GetSize());

    asked.clear();
    EXPECT_FALSE(controller->ExportPicture((dir.path() / "нет" / "файла.jpg").string()));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("нет/файла.jpg"), std::string::npos) << asked[0];

    EXPECT_EQ(PicturePathWithExtension("/tmp/a"), "/tmp/a.jpg");
    EXPECT_EQ(PicturePathWithExtension("/tmp/a.JPG"), "/tmp/a.JPG");
    EXPECT_EQ(PicturePathWithExtension("/tmp/a.jpg.png"), "/tmp/a.jpg.png.jpg");
}

TEST_F(ChartCommandsWindow, TheBackReferencesDialogTakesOnlyADocumentType)
{
    CShortCutDlg dialog(frame(), 70002);
    dialog.Prepare();
    auto* tree = XRCCTRL(dialog, "IDC_SHORTCUT_TREE", wxTreeCtrl);
    EXPECT_EQ(tree->GetCount(), 3u);
    const CMemoryTreeItems& items = dialog.Items();
    const TreeItem group = const_cast<CMemoryTreeItems&>(items).GetChildren(1).at(0);
    const TreeItem process = const_cast<CMemoryTreeItems&>(items).GetChildren(group).at(0);
    const TreeItem docType = const_cast<CMemoryTreeItems&>(items).GetChildren(process).at(0);
    dialog.SelectItem(process);
    SettleWindows();
    EXPECT_FALSE(dialog.FindWindow(wxID_OK)->IsEnabled());
    dialog.SelectItem(docType);
    SettleWindows();
    EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
    EXPECT_EQ(dialog.m_model.m_nSelTypeDoc, 70001);
    EXPECT_EQ(dialog.m_model.m_strSelName, "Заказ");
}

} // namespace
