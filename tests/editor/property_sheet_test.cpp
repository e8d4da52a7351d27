// The property sheet of chart elements as the user sees it: opened on a
// chart window of the program in this process, filled from the test
// database, clicked through in code, with screenshots.
#include "editor/dialogs/ui/chartdialogwindows.h"
#include "editor/pages/ui/diagrampropsheet.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"


#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "charts/views/tarnwickview.h"
#include "diagram/odcontroller.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/recorder.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

void settle() { kelm::test::SettleWindows(); }

// The sheet the program shows now (the innermost), or null.
CDiagramPropSheet* OpenSheet()
{
    CDiagramPropSheet* shown = nullptr;
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* sheet = dynamic_cast<CDiagramPropSheet*>(w); sheet && sheet->IsModal())
            shown = sheet;
    return shown;
}

void Press(wxWindow& dialog, int id)
{
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(&dialog);
    dialog.GetEventHandler()->ProcessEvent(click);
}

// A click on a button of a page.
void ClickButton(CModelPage& page, int id)
{
    wxWindow* button = page.ControlWindow(id);
    ASSERT_NE(button, nullptr) << id;
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

// A click on a check box of a page, as the toolkit reports it.
void Click(CModelPage& page, int id)
{
    auto* box = dynamic_cast<wxCheckBox*>(page.ControlWindow(id));
    ASSERT_NE(box, nullptr) << id;
    box->SetValue(!box->GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
    event.SetEventObject(box);
    event.SetInt(box->GetValue());
    box->GetEventHandler()->ProcessEvent(event);
}

CModelPage& Page(CDiagramPropSheet& sheet, int i)
{
    return *dynamic_cast<CModelPage*>(sheet.GetPage(i));
}

class PropertySheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "sheet");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        app().m_pConnection = db->Open();
        app().m_cmdInfo.m_strDSN = "KelmTest";
        app().m_cmdInfo.m_nDiagrammType = 1;
        g_bReadOnlyMode = FALSE;
        app().SetShell(&app());
        SetChartShell(&app());
        SetChartDialogs(&dialogs);
        SetMessageBoxAnswer([](const std::string&, ChartIcon, MessageButtons) { return 1; });
        ASSERT_TRUE(app().CreateWindows());
        app().GetMainFrame()->SetSize(1100, 760);
        app().GetMainFrame()->Show();
        settle();
        app().OpenDiagram(70001, "Заказ");
        settle();
        for (wxObject* object : app().GetDocManager()->GetDocuments())
            if (auto* doc = dynamic_cast<CBaseDiagramDoc*>(object))
                chart = doc;
        ASSERT_NE(chart, nullptr);
        model = dynamic_cast<CTarnwickModel*>(chart->GetModel());
        view = dynamic_cast<CTarnwickView*>(chart->GetFirstView());
        ASSERT_NE(view, nullptr);
        model->SetModified(false);
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
    static CTarnwickApp& app() { return *g_app; }

    CAWFState* State(int number)
    {
        for (CODComponent* c : *model->GetComponents())
            if (auto* s = dynamic_cast<CAWFState*>(c); s && s->State == number)
                return s;
        return nullptr;
    }

    // Opens the sheet of these elements; while it is shown, runs the step.
    int Run(std::initializer_list<CODComponent*> selected, std::function<void(CDiagramPropSheet&)> step)
    {
        CODComponentSet selection;
        for (CODComponent* c : selected)
            selection.Add(c);
        bool ran = false;
        wxTheApp->CallAfter([&] {
            CDiagramPropSheet* sheet = OpenSheet();
            ASSERT_NE(sheet, nullptr);
            ran = true;
            step(*sheet);
        });
        const int result = ChartDialogs().RunProperties(selection, *view->GetViewport(), ODLoadString(OD_IDS_PROPERTIES));
        settle();
        EXPECT_TRUE(ran);
        return result;
    }

    void Screenshot(const char* name)
    {
        kelm::test::SaveScreenshot(std::filesystem::path(KELM_TEST_OUTPUT) / "property_sheet_test", name);
    }

    // A double-click on the state's box, as the chart's controller gets it.
    void DoubleClick(CAWFState* state)
    {
        CODController* controller = view->GetViewport()->GetController();
        ASSERT_NE(controller, nullptr);
        CRect bounds;
        state->GetBounds(bounds);
        const CPoint at(bounds.CenterPoint().x, bounds.top + 4);
        controller->OnLButtonDown(OD_MK_LBUTTON, at);
        controller->OnLButtonUp(0, at);
        controller->OnLButtonDblClk(OD_MK_LBUTTON, at);
    }

    kelm::test::TempDir dir;
    std::unique_ptr<kelm::test::KelmDatabase> db;
    kelm::test::RecordingPrompt prompt;
    CWxChartDialogs dialogs;
    CBaseDiagramDoc* chart = nullptr;
    CTarnwickModel* model = nullptr;
    CTarnwickView* view = nullptr;
};

TEST_F(PropertySheet, AStateOpensOnItsStatePageAndOnlyThePagesShownApply)
{
    CAWFState* state = State(2);
    ASSERT_NE(state, nullptr);
    const std::int32_t dataAction = state->DataAction;
    state->DataActionI = 5;
    const int result = Run({state}, [&](CDiagramPropSheet& sheet) {
        ASSERT_EQ(sheet.GetPageCount(), 3);
        EXPECT_EQ(sheet.Pages.GetSize(), 3);
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        EXPECT_FALSE(sheet.GetPage(0)->IsInitialized());
        EXPECT_TRUE(sheet.GetPage(1)->IsInitialized());
        EXPECT_FALSE(sheet.GetPage(2)->IsInitialized());
        EXPECT_EQ(sheet.GetPage(1)->GetCaption(), "Состояние");
        Click(Page(sheet, 1), CDocStatePPModel::IDC_WHOLE_SUM);
        EXPECT_TRUE(sheet.GetPage(1)->IsModified());
        sheet.SetActivePage(0);
        Screenshot("state-document.png");
        Press(sheet, wxID_OK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(state->isHoleProcess, 1);
    // The access page was never shown: its bits are untouched.
    EXPECT_EQ(state->DataAction, dataAction);
    EXPECT_EQ(state->DataActionI, 5);
    EXPECT_TRUE(model->IsModified());
}

TEST_F(PropertySheet, DoubleClickingAStateOnTheChartOpensItsSheet)
{
    CAWFState* state = State(3);
    ASSERT_NE(state, nullptr);
    state->isTakePrevState = 0;
    bool shown = false;
    DoubleClick(state);
    wxTheApp->CallAfter([&] {
        CDiagramPropSheet* sheet = OpenSheet();
        ASSERT_NE(sheet, nullptr);
        shown = true;
        EXPECT_EQ(sheet->GetTitle().utf8_string(), "Свойства");
        ASSERT_EQ(sheet->GetComponentCount(), 1);
        EXPECT_EQ(sheet->GetComponent(0), state);
        EXPECT_TRUE(sheet->IsComponentKindOf(0, RUNTIME_CLASS(CAWFState)));
        EXPECT_FALSE(sheet->IsComponentKindOf(0, RUNTIME_CLASS(CAWFLink)));
        EXPECT_FALSE(sheet->IsComponentKindOf(1, RUNTIME_CLASS(CAWFState)));
        EXPECT_EQ(sheet->GetActiveIndex(), 1);
        Click(Page(*sheet, 1), CDocStatePPModel::IDC_TAKE_PREV);
        Press(*sheet, wxID_OK);
    });
    settle();
    EXPECT_TRUE(shown);
    EXPECT_EQ(state->isTakePrevState, 1);
    EXPECT_TRUE(model->IsModified());
}

// A pointer click in the middle of a window, or on the left end of a check box.
void PointerClick(wxWindow& window)
{
    const wxRect rect = window.GetScreenRect();
    const int x = dynamic_cast<wxCheckBox*>(&window) ? rect.x + 8 : rect.x + rect.width / 2;
    wxUIActionSimulator input;
    input.MouseMove(x, rect.y + rect.height / 2);
    settle();
    input.MouseClick();
    for (int i = 0; i < 5; ++i) {
        wxMilliSleep(30);
        settle();
    }
}

TEST_F(PropertySheet, ApplyWritesTheElementWithoutClosingAndACancelAfterItKeepsTheChange)
{
    CAWFState* state = State(3);
    ASSERT_NE(state, nullptr);
    state->isTakePrevState = 0;
    std::vector<std::string> asked;
    SetMessageBoxAnswer([&asked](const std::string& text, ChartIcon, MessageButtons buttons) {
        asked.push_back(text);
        return buttons == MessageButtons::Ok ? 1 : static_cast<int>(IDCANCEL);
    });
    bool shown = false;
    // The double-click posts the properties command; the sheet is up once it has run.
    DoubleClick(state);
    auto steps = [&](CDiagramPropSheet* sheet) {
        wxWindow* apply = sheet->FindWindow(wxID_APPLY);
        ASSERT_NE(apply, nullptr);
        EXPECT_EQ(apply->GetLabel().utf8_string(), "Применить");
        EXPECT_FALSE(apply->IsEnabled());
        ASSERT_EQ(sheet->GetActiveIndex(), 1);
        wxWindow* takePrevious = Page(*sheet, 1).ControlWindow(CDocStatePPModel::IDC_TAKE_PREV);
        ASSERT_NE(takePrevious, nullptr);
        PointerClick(*takePrevious);
        EXPECT_TRUE(apply->IsEnabled());
        EXPECT_EQ(state->isTakePrevState, 0);
        Screenshot("apply-enabled.png");
        // Apply writes the element and leaves the sheet open, Apply greyed.
        PointerClick(*apply);
        EXPECT_EQ(state->isTakePrevState, 1);
        EXPECT_TRUE(sheet->IsModal());
        EXPECT_FALSE(apply->IsEnabled());
        Screenshot("apply-applied.png");
        wxWindow* cancel = sheet->FindWindow(wxID_CANCEL);
        ASSERT_NE(cancel, nullptr);
        PointerClick(*cancel);
    };
    wxTheApp->CallAfter([&] {
        CDiagramPropSheet* sheet = OpenSheet();
        ASSERT_NE(sheet, nullptr);
        shown = true;
        steps(sheet);
        // A step that failed leaves the sheet open: end it, so the test ends.
        if (OpenSheet() == sheet)
            sheet->EndModal(wxID_CANCEL);
    });
    settle();
    ASSERT_TRUE(shown);
    EXPECT_EQ(OpenSheet(), nullptr);
    // Cancel after Apply keeps what Apply wrote, and the chart is changed, as after OK.
    EXPECT_EQ(state->isTakePrevState, 1);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(chart->IsModified());
    // So closing the chart asks to save it (Cancel keeps the window).
    EXPECT_FALSE(chart->Close());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Сохранить диаграмму 'Заказ' в БД ?");
    model->SetModified(false);
}

TEST_F(PropertySheet, CancelChangesNothingAndATaxRefusalWarns)
{
    CAWFState* state = State(1);
    ASSERT_NE(state, nullptr);
    CAWFDocumentType* docType = state->GetDocTypeElement();
    ASSERT_NE(docType, nullptr);
    const std::int32_t options = docType->DocTypeOptions;
    const int result = Run({state}, [&](CDiagramPropSheet& sheet) {
        sheet.SetActivePage(0);
        CModelPage& doc = Page(sheet, 0);
        Click(doc, CDocStatePPDocumentModel::IDC_TAX_IN_PRICE);
        EXPECT_FALSE(dynamic_cast<wxCheckBox*>(doc.ControlWindow(CDocStatePPDocumentModel::IDC_TAX_IN_PRICE))->GetValue());
        EXPECT_EQ(prompt.shown.size(), 1u);
        Click(doc, CDocStatePPDocumentModel::IDC_ZERO_SUM);
        Press(sheet, wxID_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(docType->DocTypeOptions, options);
    EXPECT_FALSE(model->IsModified());
}

TEST_F(PropertySheet, AnActionPageRefusesAnOrderAboveAByteAndKeepsTheSheetOpen)
{
    CAWFAction* action = nullptr;
    for (CODComponent* c : *model->GetComponents())
        if (auto* a = dynamic_cast<CAWFAction*>(c))
            action = a;
    ASSERT_NE(action, nullptr);
    const int result = Run({action}, [&](CDiagramPropSheet& sheet) {
        ASSERT_EQ(sheet.GetPageCount(), 1);
        CModelPage& page = Page(sheet, 0);
        auto* order = dynamic_cast<wxTextCtrl*>(page.ControlWindow(CDocActionPPModel::IDC_ORDER));
        ASSERT_NE(order, nullptr);
        order->ChangeValue("256");
        Press(sheet, wxID_OK);
        EXPECT_TRUE(sheet.IsModal());
        EXPECT_EQ(prompt.Texts(), std::vector<std::string>{RangeMessage(0, 255)});
        order->ChangeValue("12");
        Press(sheet, wxID_OK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(action->Order, 12);
    EXPECT_TRUE(model->IsModified());
}

TEST_F(PropertySheet, AMoveShowsItsPagesAndAnActionChangedInTheNestedSheetStaysChanged)
{
    CAWFLink* move = nullptr;
    for (CODComponent* c : *model->GetComponents())
        if (auto* l = dynamic_cast<CAWFLink*>(c); l && l->IsDocumentMove() && l->GetFromState() == State(1) &&
                                                  l->GetToState() == State(2))
            move = l;
    ASSERT_NE(move, nullptr);
    CODComponentSet actions;
    move->GetActions(actions);
    ASSERT_EQ(actions.GetSize(), 2);
    const std::int32_t options = move->MoveOptions;
    const int result = Run({move}, [&](CDiagramPropSheet& sheet) {
        ASSERT_EQ(sheet.GetPageCount(), 3);
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        EXPECT_EQ(sheet.GetPage(0)->GetCaption(), "Переход");
        Click(Page(sheet, 0), CDocLinkPPModel::IDC_HIDE_RESULT);
        Screenshot("move.png");
        ASSERT_TRUE(sheet.SetActivePage(1));
        CModelPage& page = Page(sheet, 1);
        auto* list = dynamic_cast<wxListBox*>(page.ControlWindow(CDocLinkPPActionModel::IDC_ACTIONS));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetCount(), 2u);
        wxTheApp->CallAfter([&] {
            CDiagramPropSheet* nested = OpenSheet();
            ASSERT_NE(nested, &sheet);
            ASSERT_EQ(nested->GetPageCount(), 1);
            auto* order = dynamic_cast<wxTextCtrl*>(Page(*nested, 0).ControlWindow(CDocActionPPModel::IDC_ORDER));
            ASSERT_NE(order, nullptr);
            order->ChangeValue("77");
            Press(*nested, wxID_OK);
        });
        ClickButton(page, CDocLinkPPActionModel::IDC_PROPERTIES);
        EXPECT_TRUE(model->IsModified());
        Press(sheet, wxID_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    // The move page's change went with the cancel; the action's stays, and so
    // does the mark that the chart changed.
    EXPECT_EQ(move->MoveOptions, options);
    int changed = 0;
    for (CODComponent* c : actions)
        changed += static_cast<CAWFAction*>(c)->Order == 77;
    EXPECT_EQ(changed, 1);
    EXPECT_TRUE(model->IsModified());
}

TEST_F(PropertySheet, AMoveWithoutBothEndsSaysSoAndEndsBeforeTheSheetShows)
{
    auto* loose = new CAWFLink;
    model->AppendComponent(loose);
    loose->Kind = CAWFLink::kindMove;
    loose->isConcurrent = 0;
    CODComponentSet selection;
    selection.Add(loose);
    EXPECT_EQ(ChartDialogs().RunProperties(selection, *view->GetViewport(), ODLoadString(OD_IDS_PROPERTIES)), IDCANCEL);
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{CDocLinkPPModel::kNoEnds});
    EXPECT_EQ(OpenSheet(), nullptr);
    EXPECT_FALSE(model->IsModified());
}

TEST_F(PropertySheet, ALinkThatIsNoMoveOpensNoSheet)
{
    CAWFLink* link = nullptr;
    for (CODComponent* c : *model->GetComponents())
        if (auto* l = dynamic_cast<CAWFLink*>(c); l && !l->IsDocumentMove())
            link = l;
    ASSERT_NE(link, nullptr);
    CODComponentSet selection;
    selection.Add(link);
    EXPECT_EQ(ChartDialogs().RunProperties(selection, *view->GetViewport(), ODLoadString(OD_IDS_PROPERTIES)), IDCANCEL);
    EXPECT_EQ(OpenSheet(), nullptr);
}

TEST_F(PropertySheet, TheActionChoiceGivesTheChosenRow)
{
    wxTheApp->CallAfter([&] {
        CActionSelectDlg* dialog = nullptr;
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<CActionSelectDlg*>(w); d && d->IsModal())
                dialog = d;
        ASSERT_NE(dialog, nullptr);
        auto* list = dynamic_cast<wxListBox*>(dialog->FindWindow("IDC_1035"));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetCount(), 3u);
        EXPECT_TRUE(dialog->FindWindow(wxID_OK)->IsEnabled());
        list->SetSelection(2);
        wxCommandEvent changed(wxEVT_LISTBOX, list->GetId());
        changed.SetEventObject(list);
        changed.SetInt(2);
        list->GetEventHandler()->ProcessEvent(changed);
        dynamic_cast<wxTextCtrl*>(dialog->FindWindow("IDC_1049"))->ChangeValue("5");
        Screenshot("action-choice.png");
        Press(*dialog, wxID_OK);
    });
    ActionChoice choice;
    EXPECT_EQ(ChartDialogs().SelectAction(choice), IDOK);
    EXPECT_EQ(choice.action, 11);
    EXPECT_EQ(choice.name, "Уведомить");
    EXPECT_EQ(choice.kind, 0);
    EXPECT_EQ(choice.order, 5);
}

} // namespace
