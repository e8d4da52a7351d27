// What a workflow chart window paints, read back from the test display while
// the pointer draws, moves and places elements through the display: links
// end on the borders of their states, a loop stays on its state, each box
// holds its labels, and a chart opens and reloads showing its top-left
// corner. Screenshots of each case go to the test's output folder.
#include "editor/trees/ui/basetreectrl.h"
#include "editor/dialogs/ui/createstatedlg.h"
#include "editor/frames/ui/editormainframe.h"

#include "afx/cmdid.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "charts/views/tarnwickcontroller.h"
#include "charts/views/tarnwickview.h"

#include "tests/common/kelmdb.h"
#include "tests/editor/screen_reader.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/aui/auibar.h>
#include <wx/scrolbar.h>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <filesystem>

using namespace tarnwick;
using kelm::test::InkIn;
using kelm::test::InkNear;
using kelm::test::Pointer;
using kelm::test::ScreenImage;
using kelm::test::WindowPoint;
using kelm::test::WindowRect;

namespace {

CTarnwickApp* g_app = nullptr;
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

// A shipping note's chart: state 1 moves to state 3, state 3 loops back to
// itself, state 2 stands alone (shown on demand), state 4 is free in the
// catalogue. No stored drawings: the chart lays itself out on opening.
const char* const kChart[] = {
    "INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (3, 'Продажи', 'Продажи покупателям')",
    "INSERT INTO MainGroupOperate(Grp) VALUES (3)",
    "INSERT INTO MainTypeOperate(Grp, Type, NameOperate) VALUES (3, 4, 'Отгрузка')",
    "INSERT INTO ProdDocType(TypeDoc, Type, Grp, NameDoc) VALUES (70101, 4, 3, 'Расходная накладная')",
    "INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 1, 'Черновик')",
    "INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 2, 'Проведена')",
    "INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 3, 'На проверке')",
    "INSERT INTO ProdDocState(Grp, State, NameState) VALUES (3, 4, 'Архив')",
    "INSERT INTO MainDocType(Grp, Type, TypeDoc, defState, DocTypeOptions) VALUES (3, 4, 70101, 1, 0)",
    "INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, 70101, 1)",
    "INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, 70101, 2)",
    "INSERT INTO MainDocState(Grp, Type, TypeDoc, State) VALUES (3, 4, 70101, 3)",
    "INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES (3, 4, 70101, 1, 3, 3)",
    "INSERT INTO MainDocMove(Grp, Type, TypeDoc, State, NewGrp, NewState) VALUES (3, 4, 70101, 3, 3, 3)",
};

// The chart's window and what it shows.
struct Window {
    CTarnwickDoc* doc;
    CTarnwickView* view;
    CTarnwickModel* model;
    CODViewport& viewport() const { return view->GetChartViewport(); }
    wxWindow* canvas() const { return view->GetCanvas(); }
    CAWFState* state(int number) const { return model->FindState(70101, number); }
    wxPoint centre(CODComponent* c) const { return WindowPoint(viewport(), c->GetBounds().CenterPoint()); }
};

class ChartPictureWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "chartpicture");
        for (const char* sql : kChart)
            db->Exec(sql);
        app().m_pConnection = db->Open();
        app().m_cmdInfo.m_strDSN = "KelmTest";
        app().m_cmdInfo.m_nDiagrammType = 1;
        g_bReadOnlyMode = FALSE;
        app().SetShell(&app());
        SetChartShell(&app());
        SetCreateStatePrompt(&statePrompt);
        kelm::test::AnswerMessageBoxes(asked, answers);
        ASSERT_TRUE(app().CreateWindows());
        frame()->SetSize(1100, 760);
        frame()->Show();
        app().BuildNavigationTree(TreeClass::AWF);
        kelm::test::SettleWindows();
    }
    void TearDown() override
    {
        // The edits are the test's: the charts close without asking.
        for (wxDocument* d : app().GetDocManager()->GetDocumentsVector())
            if (auto* chart = dynamic_cast<CBaseDiagramDoc*>(d)) {
                chart->GetModel()->SetModified(false);
                chart->Modify(false);
            }
        kelm::test::CloseProgramWindows(app());
        SetMessageBoxAnswer({});
        SetCreateStatePrompt(nullptr);
        SetChartShell(nullptr);
        app().SetShell(nullptr);
        app().ReleaseConnection();
        app().m_cmdInfo = CTarnwickCommandLineInfo();
    }

    static CTarnwickApp& app() { return *g_app; }
    CMainFrame* frame() { return app().GetMainFrame(); }

    // Opens the chart from the process tree.
    Window Open()
    {
        CBaseTreeCtrl* tree = frame()->GetTree();
        const TreeItem item =
            kelm::test::FindTreeItem(*tree, {"KelmTest [DSN]", "Продажи покупателям", "Отгрузка", "Расходная накладная"});
        EXPECT_NE(item, 0u);
        wxTreeEvent event(wxEVT_TREE_ITEM_ACTIVATED, tree, CBaseTreeCtrl::ToId(item));
        tree->GetEventHandler()->ProcessEvent(event);
        kelm::test::Pause();
        for (wxDocument* d : app().GetDocManager()->GetDocumentsVector())
            if (auto* doc = dynamic_cast<CTarnwickDoc*>(d))
                return {doc, dynamic_cast<CTarnwickView*>(doc->GetFirstView()), doc->GetModel()};
        ADD_FAILURE() << "no chart opened";
        return {nullptr, nullptr, nullptr};
    }

    // A command as the menu sends it.
    void Send(int id)
    {
        wxCommandEvent event(wxEVT_MENU, ToWxId(id));
        event.SetEventObject(frame());
        frame()->GetEventHandler()->ProcessEvent(event);
        kelm::test::Pause();
    }

    static std::filesystem::path Output() { return std::filesystem::path(KELM_TEST_OUTPUT) / "chart_picture_window_test"; }

    // The chart as its window shows it, kept beside a picture of the whole screen.
    wxImage Capture(const Window& w, const std::string& name)
    {
        const wxImage image = ScreenImage(w.canvas());
        std::filesystem::create_directories(Output());
        image.SaveFile(wxString::FromUTF8((Output() / (name + "-chart.png")).string()), wxBITMAP_TYPE_PNG);
        kelm::test::SaveScreenshot(Output(), name + ".png");
        return image;
    }

    kelm::test::TempDir dir;
    std::unique_ptr<kelm::test::KelmDatabase> db;
    CWxCreateStatePrompt statePrompt;
    std::deque<int> answers;
    std::vector<std::string> asked;
};

// The end of a link at a state is drawn up to the state's border: the line
// shows right outside the border, along the way it leaves the state.
void ExpectEndOnBorder(const wxImage& image, const Window& w, CAWFLink* link, bool source, const char* what)
{
    SCOPED_TRACE(std::string(what) + (source ? ", source end" : ", target end"));
    const int n = link->GetPointCount();
    ASSERT_GE(n, 2);
    CAWFState* state = source ? link->GetFromState() : link->GetToState();
    ASSERT_NE(state, nullptr);
    const CRect box = state->GetBounds();
    const CPoint next = link->GetPoint(source ? 1 : n - 2);
    const auto border = kelm::test::ExitPoint(box, state->GetPort()->GetLocation(), next);
    ASSERT_TRUE(border.has_value());
    const wxPoint b = WindowPoint(w.viewport(), *border), q = WindowPoint(w.viewport(), next);
    const wxRect shown = WindowRect(w.viewport(), box);
    const double len = std::hypot(q.x - b.x, q.y - b.y);
    ASSERT_GT(len, 10);
    int looked = 0;
    for (int d = 3; d <= 8; ++d) {
        const int x = static_cast<int>(std::lround(b.x + (q.x - b.x) * d / len));
        const int y = static_cast<int>(std::lround(b.y + (q.y - b.y) * d / len));
        // Only where the state's own outline is out of reach.
        const int away = std::max({shown.GetLeft() - x, x - shown.GetRight(), shown.GetTop() - y, y - shown.GetBottom()});
        if (away < 3)
            continue;
        ++looked;
        EXPECT_TRUE(InkNear(image, x, y)) << "nothing drawn " << d << " px from the border at (" << x << ", " << y
                                          << ")";
    }
    EXPECT_GE(looked, 2);
}

// A loop on its state: its stems meet the state's bottom edge and its arc
// runs below.
void ExpectLoopOnState(const wxImage& image, const Window& w, CAWFState* state, const char* what)
{
    SCOPED_TRACE(what);
    const wxRect box = WindowRect(w.viewport(), state->GetBounds());
    EXPECT_GT(InkIn(image, wxRect(box.GetLeft() + 3, box.GetBottom() + 2, box.GetWidth() - 6, 4)), 0)
        << "the loop does not reach the state";
    EXPECT_GT(InkIn(image, wxRect(box.GetLeft(), box.GetBottom() + 20, box.GetWidth(), 60)), 0) << "no arc below";
}

// Each label inside its box: nothing is written right of the box.
void ExpectLabelsInside(const wxImage& image, const Window& w, CAWFState* state, const char* what)
{
    SCOPED_TRACE(what);
    const wxRect box = WindowRect(w.viewport(), state->GetBounds());
    EXPECT_GT(InkIn(image, wxRect(box.GetLeft() + 3, box.GetTop() + 3, box.GetWidth() - 6, box.GetHeight() - 6)), 0)
        << "no label";
    EXPECT_EQ(InkIn(image, wxRect(box.GetRight() + 3, box.GetTop() + 4, 30, box.GetHeight() - 8)), 0)
        << "a label runs past the box";
}

CAWFLink* LastLink(CTarnwickModel* model)
{
    CAWFLink* last = nullptr;
    for (CODComponent* c : *model->GetComponents())
        if (auto* link = dynamic_cast<CAWFLink*>(c); link && link->IsDocumentMove())
            last = link;
    return last;
}

TEST_F(ChartPictureWindow, LinksDrawnWithThePointerEndOnTheBordersOfTheirStates)
{
    const Window w = Open();
    ASSERT_NE(w.doc, nullptr);
    Send(ID_SHOW_ISOLATED_STATES);
    CAWFState* s1 = w.state(1);
    CAWFState* s2 = w.state(2);
    ASSERT_TRUE(s1 && s2 && s2->IsVisible());
    // State 2 taken by its corner (the link from 1 to 3 crosses its centre)
    // and moved away.
    Pointer pointer(w.canvas());
    const wxPoint corner = WindowPoint(w.viewport(), s2->GetBounds().TopLeft()) + wxPoint(8, 6);
    pointer.Drag(corner, corner + wxPoint(350, 150));
    ASSERT_GT(s2->GetBounds().left, 300);

    // Straight: pressed on state 1's centre, released on state 2's.
    const int before = w.model->GetComponentCount();
    Send(ID_INSERT_LINK);
    pointer.Drag(w.centre(s1), w.centre(s2));
    ASSERT_EQ(w.model->GetComponentCount(), before + 1);
    CAWFLink* straight = LastLink(w.model);
    ASSERT_EQ(straight->GetFromState(), s1);
    ASSERT_EQ(straight->GetToState(), s2);
    wxImage image = Capture(w, "straight_link");
    ExpectEndOnBorder(image, w, straight, true, "straight");
    ExpectEndOnBorder(image, w, straight, false, "straight");

    // With a bend: released once over the empty chart, then a click on the target.
    Send(ID_INSERT_LINK);
    const wxPoint bend = w.centre(s1) + wxPoint(60, 300);
    pointer.Drag(w.centre(s2), bend);
    pointer.MoveTo(bend + wxPoint(-20, -100));
    pointer.Click(w.centre(s1));
    ASSERT_EQ(w.model->GetComponentCount(), before + 2);
    CAWFLink* bent = LastLink(w.model);
    ASSERT_EQ(bent->GetFromState(), s2);
    ASSERT_EQ(bent->GetToState(), s1);
    EXPECT_EQ(bent->GetPointCount(), 3);
    image = Capture(w, "bent_link");
    ExpectEndOnBorder(image, w, bent, true, "bent");
    ExpectEndOnBorder(image, w, bent, false, "bent");

    // State 1 taken by its centre and moved: both links follow it to its border.
    pointer.Drag(w.centre(s1), w.centre(s1) + wxPoint(30, 380));
    ASSERT_GT(s1->GetBounds().top, 300);
    image = Capture(w, "links_after_move");
    for (CAWFLink* link : {straight, bent}) {
        ExpectEndOnBorder(image, w, link, true, "after the move");
        ExpectEndOnBorder(image, w, link, false, "after the move");
    }
    EXPECT_TRUE(asked.empty()) << asked.front();
}

TEST_F(ChartPictureWindow, AnInsertedStateLeavesTheLoopOnItsStateAndEachBoxHoldsItsLabels)
{
    const Window w = Open();
    ASSERT_NE(w.doc, nullptr);
    CAWFState* s3 = w.state(3);
    ASSERT_NE(s3, nullptr);
    wxImage image = Capture(w, "opened");
    ExpectLoopOnState(image, w, s3, "opened");
    for (int number : {1, 3})
        ExpectLabelsInside(image, w, w.state(number), "opened");

    // Вставка › Состояние: the dialog offers state 4, OK takes it, a click places it.
    wxTheApp->CallAfter([] {
        for (wxWindow* top : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<CCreateStateDlg*>(top)) {
                wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
                ok.SetEventObject(dialog->FindWindow(wxID_OK));
                dialog->FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
            }
    });
    Send(ID_INSERT_STATE);
    Pointer pointer(w.canvas());
    pointer.Click(WindowPoint(w.viewport(), CPoint(420, 60)));
    CAWFState* s4 = w.state(4);
    ASSERT_NE(s4, nullptr);
    ASSERT_TRUE(w.model->Contains(s4));
    image = Capture(w, "state_inserted");
    ExpectLoopOnState(image, w, s3, "after a state was inserted");
    ExpectLabelsInside(image, w, s4, "inserted");

    // The looped state moved by the pointer takes its loop along.
    pointer.Drag(w.centre(s3), w.centre(s3) + wxPoint(250, 150));
    image = Capture(w, "loop_after_move");
    ExpectLoopOnState(image, w, s3, "after its state was moved");
    EXPECT_TRUE(asked.empty()) << asked.front();
}

TEST_F(ChartPictureWindow, AChartOpensAndReloadsShowingItsTopLeftCorner)
{
    auto expectTopLeft = [this](const Window& w, const char* what) {
        SCOPED_TRACE(what);
        CODViewport& viewport = w.viewport();
        EXPECT_EQ(viewport.GetLogOrigin(), viewport.GetVirtualOrigin());
        const wxImage image = Capture(w, what);
        const wxRect box = WindowRect(viewport, w.state(1)->GetBounds());
        const CRect shown = viewport.GetBounds();
        EXPECT_TRUE(wxRect(shown.left, shown.top, shown.Width(), shown.Height()).Contains(box)) << "state 1 is cut";
        // Its four borders are painted.
        EXPECT_TRUE(InkNear(image, box.GetLeft(), box.GetTop() + box.GetHeight() / 2, 0));
        EXPECT_TRUE(InkNear(image, box.GetRight(), box.GetTop() + box.GetHeight() / 2, 0));
        EXPECT_TRUE(InkNear(image, box.GetLeft() + box.GetWidth() / 2, box.GetTop(), 0));
        EXPECT_TRUE(InkNear(image, box.GetLeft() + box.GetWidth() / 2, box.GetBottom(), 0));
        ExpectLoopOnState(image, w, w.state(3), what);
        ExpectLabelsInside(image, w, w.state(1), what);
    };
    const Window w = Open();
    ASSERT_NE(w.doc, nullptr);
    expectTopLeft(w, "opened_top_left");

    // Scrolled away with the bar, then Диаграмма › Обновить диаграмму.
    wxScrollBar* bar = nullptr;
    for (wxWindow* child : w.canvas()->GetChildren())
        if (auto* b = dynamic_cast<wxScrollBar*>(child); b && b->IsShown() && b->IsVertical())
            bar = b;
    ASSERT_NE(bar, nullptr) << "the chart fits its window";
    Pointer pointer(bar);
    const CPoint before = w.viewport().GetLogOrigin();
    for (int i = 0; i < 3; ++i)
        pointer.Click(wxPoint(bar->GetClientSize().x / 2, bar->GetClientSize().y - 40));
    ASSERT_NE(w.viewport().GetLogOrigin(), before) << "the bar did not scroll";
    Send(ID_RELOAD_CHART);
    expectTopLeft(w, "reloaded_top_left");
    EXPECT_TRUE(asked.empty()) << asked.front();
}

TEST_F(ChartPictureWindow, AReloadShowsTheUnconnectedStatesAsTheViewSwitchSays)
{
    const Window w = Open();
    ASSERT_NE(w.doc, nullptr);
    auto* bar = dynamic_cast<wxAuiToolBar*>(frame()->FindWindow(ToWxId(59401)));
    ASSERT_NE(bar, nullptr);
    const wxRect reload = bar->GetToolRect(ToWxId(ID_RELOAD_CHART));
    ASSERT_FALSE(reload.IsEmpty());
    // Вид › Показать несвязанные состояния, then the toolbar's reload button.
    for (bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "switched on" : "switched off");
        Send(ID_SHOW_ISOLATED_STATES);
        ASSERT_EQ(w.model->GetIsolatedShown() != 0, shown);
        w.model->SetModified(false);
        Pointer(bar).Click(reload.GetPosition() + wxPoint(reload.width / 2, reload.height / 2));
        kelm::test::Pause(8);
        CAWFState* alone = w.state(2);
        ASSERT_NE(alone, nullptr);
        EXPECT_EQ(alone->IsVisible(), shown);
        EXPECT_EQ(w.model->GetIsolatedShown() != 0, shown);
        // Its left border and the start of its lower label, where no link of the chart runs.
        const wxImage image = Capture(w, shown ? "reloaded_alone_shown" : "reloaded_alone_hidden");
        const wxRect box = WindowRect(w.viewport(), alone->GetBounds());
        EXPECT_EQ(InkNear(image, box.GetLeft(), box.GetTop() + box.GetHeight() * 3 / 4, 0), shown);
        EXPECT_EQ(InkIn(image, wxRect(box.GetLeft() + 3, box.GetTop() + box.GetHeight() / 2 + 3, 20,
                                      box.GetHeight() / 2 - 6)) > 0,
                  shown);
    }
    EXPECT_TRUE(asked.empty()) << asked.front();
}

} // namespace
