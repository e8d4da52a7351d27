// The main frame as the user meets it, in this process under the test
// display: its caption while charts open and close, the tree bar with a name
// wider than the bar, the toolbars with and without a chart, and the recent
// files over two sessions. Pointer input goes through the display.
#include "tests/editor/catalogue_windows.h"
#include "editor/frames/ui/childframe.h"
#include "editor/app/ui/settings.h"

#include "afx/cmdid.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "diagram/odcontroller.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include <gtest/gtest.h>

#include <wx/aui/auibar.h>
#include <wx/fileconf.h>
#include <wx/filehistory.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace tarnwick;

namespace {

void settle() { kelm::test::Settle(); }

// Lets idle time (where toolbars update) pass a few times.
void pause()
{
    for (int i = 0; i < 8; ++i) {
        wxMilliSleep(30);
        settle();
    }
}

// Lets the display catch up until done() holds (a few seconds at most).
bool settleUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 100; ++i) {
        settle();
        if (done())
            return true;
        wxMilliSleep(30);
    }
    return done();
}

const std::string kLongGroup = "Закупки у поставщиков и расчёты с ними по договорам поставки";

class MainFrameWindow : public kelm::test::CatalogueWindow {
protected:
    void SetUp() override
    {
        CatalogueWindow::SetUp();
        db->Exec("UPDATE ProdGroupOperate SET FullNameGrp = '" + kLongGroup + "' WHERE Grp = 5");
        MenuCommand(ID_REREAD_PROCESS_TREE);
    }

    // The user closes the main window, which writes its layout and the
    // recent files; the next session starts as the program does.
    void EndSession()
    {
        app().GetDocManager()->CloseDocuments(true);
        settle();
        frame()->Close(true);
        settle();
        app().DestroyWindows();
        settle();
    }
    void StartSession()
    {
        ASSERT_TRUE(app().CreateWindows());
        frame()->SetSize(900, 640);
        frame()->Show();
        app().BuildNavigationTree(TreeClass::AWF);
        settle();
    }
    void Restart()
    {
        EndSession();
        StartSession();
    }

    static CTarnwickApp& app() { return kelm::test::App(); }
    CMainFrame* frame() { return Frame(); }
    CBaseTreeCtrl* tree() { return Tree(); }

    TreeItem OrderItem() { return Find({"KelmTest [DSN]", "Продажи и расчёты", "Оформление заказа", "Заказ"}); }
    TreeItem InvoiceItem() { return Find({"KelmTest [DSN]", "Продажи и расчёты", "Выставление счёта", "Счёт"}); }

    // Where an item's label is on the screen.
    wxRect LabelOnScreen(TreeItem item)
    {
        tree()->EnsureVisible(CBaseTreeCtrl::ToId(item));
        settle();
        wxRect rect;
        tree()->GetBoundingRect(CBaseTreeCtrl::ToId(item), rect, true);
        return wxRect(tree()->ClientToScreen(rect.GetTopLeft()), rect.GetSize());
    }

    std::size_t ChartCount()
    {
        std::size_t n = 0;
        for (wxObject* object : app().GetDocManager()->GetDocuments())
            if (dynamic_cast<CBaseDiagramDoc*>(object))
                ++n;
        return n;
    }

    // The user double-clicks a document type of the tree: its chart opens.
    void OpenWithDoubleClick(TreeItem item)
    {
        ASSERT_NE(item, 0u);
        const std::size_t before = ChartCount();
        const wxRect label = LabelOnScreen(item);
        input.MouseMove(label.GetPosition() + wxPoint(label.width / 2, label.height / 2));
        settle();
        input.MouseDblClick();
        EXPECT_TRUE(settleUntil([&] { return ChartCount() == before + 1; }));
    }

    // The user presses the left button at from, moves by (dx, 0) in steps and lets go.
    void Drag(const wxPoint& from, int dx)
    {
        input.MouseMove(from);
        settle();
        input.MouseDown();
        for (int step = 1; step <= 10; ++step) {
            input.MouseMove(from + wxPoint(dx * step / 10, 0));
            wxMilliSleep(20);
            settle();
        }
        input.MouseUp();
        settle();
    }

    // The caption as the display has it for the main window.
    std::string ShownCaption()
    {
        using GetWindow = void* (*)(void*);
        using GetXid = unsigned long (*)(void*);
        static auto gdkWindow = reinterpret_cast<GetWindow>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
        static auto xid = reinterpret_cast<GetXid>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
        if (!gdkWindow || !xid)
            return "(no X window)";
        void* window = gdkWindow(frame()->GetHandle());
        return window ? kelm::test::ShellOutput("xdotool getwindowname " + std::to_string(xid(window)) +
                                                " 2>/dev/null")
                      : "(no X window)";
    }

    // The file dialog answers with a fresh copy of the chart file each time,
    // chart1.wfa, chart2.wfa and so on, counting them in opened.
    void OpenFreshCopies(int& opened)
    {
        app().GetDocManager()->m_choosePath = [this, &opened] {
            const std::filesystem::path copy = dir.path() / ("chart" + std::to_string(++opened) + ".wfa");
            std::filesystem::copy_file(WORKFLOW_FIXTURES "/chart.wfa", copy);
            return wxString::FromUTF8(copy.string());
        };
    }

    void Screenshot(const char* name) { kelm::test::Screenshot(name); }

    wxUIActionSimulator input;
};

TEST_F(MainFrameWindow, TheCaptionNamesTheActiveChartAndOnlyWhileOneIsOpen)
{
    const std::string title = res::LoadString(res::IDS_APP_TITLE);
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title);

    OpenWithDoubleClick(OrderItem());
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title + " - Заказ");
    OpenWithDoubleClick(InvoiceItem());
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title + " - Счёт");
    EXPECT_EQ(ShownCaption(), title + " - Счёт\n");

    // A click on the first chart's tab brings it to the front, and its name to the caption.
    const wxRect charts = frame()->GetClientWindow()->GetScreenRect();
    input.MouseMove(charts.GetPosition() + wxPoint(30, 12));
    settle();
    input.MouseClick();
    EXPECT_TRUE(settleUntil([&] { return frame()->GetTitle().utf8_string() == title + " - Заказ"; }))
        << frame()->GetTitle().utf8_string();

    // Closing the chart in front names the one left; closing that one, none.
    MenuCommand(ID_FILE_CLOSE);
    EXPECT_TRUE(settleUntil([&] { return ChartCount() == 1; }));
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title + " - Счёт");
    MenuCommand(ID_FILE_CLOSE);
    EXPECT_TRUE(settleUntil([&] { return ChartCount() == 0; }));
    EXPECT_EQ(frame()->GetTitle().utf8_string(), title);
    EXPECT_TRUE(settleUntil([&] { return ShownCaption() == title + "\n"; })) << ShownCaption();
    Screenshot("caption-after-close.png");
    EXPECT_TRUE(asked.empty());
}

TEST_F(MainFrameWindow, TheTreeBarScrollsSidewaysToALongNameAndKeepsTheWidthTheUserGaveIt)
{
    const TreeItem purchases = Find({"KelmTest [DSN]", kLongGroup});
    ASSERT_NE(purchases, 0u);
    settle();
    wxRect label;
    tree()->GetBoundingRect(CBaseTreeCtrl::ToId(purchases), label, true);
    const wxSize client = tree()->GetClientSize();
    ASSERT_GT(label.GetRight(), client.x) << "the name fits the bar: nothing to scroll";

    // The tree scrolls as far as the name is long, and shows a scroll bar
    // that takes its room below the items rather than hiding over them.
    EXPECT_GE(tree()->GetScrollRange(wxHORIZONTAL) * 10, label.GetRight());
    EXPECT_LT(client.y, tree()->GetSize().y);
    Screenshot("tree-long-name.png");

    // The user drags the scroll bar's thumb to the right: the end of the name shows.
    const wxRect treeOnScreen = tree()->GetScreenRect();
    Drag(wxPoint(treeOnScreen.x + 20, treeOnScreen.GetBottom() - (tree()->GetSize().y - client.y) / 2), 250);
    EXPECT_GT(tree()->GetScrollPos(wxHORIZONTAL), 0);
    tree()->GetBoundingRect(CBaseTreeCtrl::ToId(purchases), label, true);
    EXPECT_GT(label.GetRight(), 0);
    EXPECT_LE(label.GetRight(), tree()->GetClientSize().x);
    Screenshot("tree-scrolled.png");

    // The user drags the bar's edge 200 pixels to the right.
    const int width = frame()->GetTreeBar()->GetSize().x;
    Drag(frame()->GetTreeBar()->GetScreenRect().GetTopRight() + wxPoint(3, 200), 200);
    const int dragged = frame()->GetTreeBar()->GetSize().x;
    EXPECT_NEAR(dragged, width + 200, 4);

    // Closed with the button on its caption, the bar comes back at that width,
    // also in the next session.
    const int caption = frame()->GetAuiManager().GetArtProvider()->GetMetric(wxAUI_DOCKART_CAPTION_SIZE);
    const wxRect bar = frame()->GetTreeBar()->GetScreenRect();
    input.MouseMove(wxPoint(bar.GetRight() - 8, bar.GetTop() - caption / 2 - 1));
    settle();
    input.MouseClick();
    EXPECT_TRUE(settleUntil([&] { return !frame()->IsTreeBarVisible(); }));
    MenuCommand(32796);
    EXPECT_TRUE(frame()->IsTreeBarVisible());
    EXPECT_EQ(frame()->GetTreeBar()->GetSize().x, dragged);
    Restart();
    EXPECT_EQ(frame()->GetTreeBar()->GetSize().x, dragged);
    MenuCommand(32796);
    EXPECT_FALSE(frame()->IsTreeBarVisible());
    Restart();
    EXPECT_FALSE(frame()->IsTreeBarVisible());
    MenuCommand(32796);
    EXPECT_EQ(frame()->GetTreeBar()->GetSize().x, dragged);
    Screenshot("tree-bar-width-kept.png");
}

TEST_F(MainFrameWindow, ToolbarCommandsThatActOnAChartAreGreyedWhileNoneIsOpen)
{
    // Enabled states as the toolbars show them after their update.
    auto states = [this] {
        std::map<int, bool> enabled;
        for (const ToolbarDef& def : MainToolbars()) {
            auto* bar = dynamic_cast<wxAuiToolBar*>(frame()->FindWindow(ToWxId(def.id)));
            EXPECT_NE(bar, nullptr) << def.title;
            if (!bar)
                continue;
            for (int command : def.commands)
                if (command != 0)
                    enabled[command] = bar->GetToolEnabled(ToWxId(command));
        }
        return enabled;
    };
    const std::vector<int> frameCommands = {32775, 32776, ID_FILE_OPEN, 32804, 32813};
    auto isFrameCommand = [&](int id) {
        return std::find(frameCommands.begin(), frameCommands.end(), id) != frameCommands.end();
    };
    pause();
    std::map<int, bool> shown = states();
    for (const auto& [command, enabled] : shown) {
        if (!isFrameCommand(command)) {
            EXPECT_FALSE(enabled) << "without a chart: " << command;
        }
    }
    EXPECT_TRUE(shown[ID_FILE_OPEN]);
    EXPECT_TRUE(shown[32776]); // disconnect: a connection is open
    Screenshot("toolbars-without-chart.png");

    // With a chart, the chart decides: its insert commands are there, what
    // needs a selection waits for one.
    OpenWithDoubleClick(OrderItem());
    pause();
    shown = states();
    for (int insert : {32773, 32774, 32785, 44538, 32818, 32793})
        EXPECT_TRUE(shown[insert]) << "with a chart: " << insert;
    for (int needsSelection : {ID_OD_ALIGN_LEFT, ID_OD_NUDGE_LEFT, ID_OD_SAME_WIDTH})
        EXPECT_FALSE(shown[needsSelection]) << "nothing selected: " << needsSelection;
    EXPECT_TRUE(shown[ID_FILE_PRINT]);
    Screenshot("toolbars-with-chart.png");

    // The chart closes: greyed again.
    MenuCommand(ID_FILE_CLOSE);
    EXPECT_TRUE(settleUntil([&] { return ChartCount() == 0; }));
    pause();
    for (const auto& [command, enabled] : states()) {
        if (!isFrameCommand(command)) {
            EXPECT_FALSE(enabled) << "after the chart closed: " << command;
        }
    }
}

TEST_F(MainFrameWindow, RecentFilesKeepTheLastFourOverSessions)
{
    // A list left by an older version with nine entries reads as its first four.
    EndSession();
    {
        CFileProfileStore store;
        for (int i = 1; i <= 9; ++i)
            store.Config().Write(wxString::Format("/Recent File List/file%d", i),
                                 wxString::FromUTF8((dir.path() / ("old" + std::to_string(i) + ".wfa")).string()));
        ASSERT_TRUE(store.Flush());
    }
    StartSession();
    wxFileHistory* history = app().GetDocManager()->GetFileHistory();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->GetMaxFiles(), 4u);
    ASSERT_EQ(history->GetCount(), 4u);
    EXPECT_EQ(history->GetHistoryFile(0).utf8_string(), (dir.path() / "old1.wfa").string());

    // Six chart files opened one after another: the last four are listed, the latest first.
    int opened = 0;
    OpenFreshCopies(opened);
    for (int i = 0; i < 6; ++i)
        MenuCommand(ID_FILE_OPEN);
    EXPECT_EQ(opened, 6);
    auto expectLatestFour = [this](wxFileHistory* shown) {
        ASSERT_EQ(shown->GetCount(), 4u);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(shown->GetHistoryFile(i).utf8_string(),
                      (dir.path() / ("chart" + std::to_string(6 - i) + ".wfa")).string());
    };
    expectLatestFour(history);

    // The main window's File menu lists four, and so does the next session's.
    app().GetDocManager()->CloseDocuments(true);
    settle();
    auto listedInFileMenu = [this] {
        wxMenu* file = frame()->GetMenuBar()->GetMenu(0);
        int listed = 0;
        for (int id = wxID_FILE1; id <= wxID_FILE9; ++id)
            if (file->FindItem(id))
                ++listed;
        return listed;
    };
    EXPECT_EQ(listedInFileMenu(), 4);
    Restart();
    expectLatestFour(app().GetDocManager()->GetFileHistory());
    EXPECT_EQ(listedInFileMenu(), 4);
}

TEST_F(MainFrameWindow, TheRecentFilesStandAboveExitAndOpenFromTheFileMenu)
{
    int opened = 0;
    OpenFreshCopies(opened);
    for (int i = 0; i < 3; ++i)
        MenuCommand(ID_FILE_OPEN);
    ASSERT_EQ(ChartCount(), 3u);

    // Separators read "-"; the entries stand between the print setup and Exit.
    auto shownItems = [](wxMenu* menu) {
        std::vector<std::string> items;
        for (wxMenuItem* item : menu->GetMenuItems())
            items.push_back(item->IsSeparator() ? "-" : item->GetItemLabel().utf8_string());
        return items;
    };
    auto expectAboveExit = [&](wxMenu* menu, const char* which, const std::vector<const char*>& files) {
        ASSERT_NE(menu, nullptr) << which;
        std::vector<std::string> tail = {"Настройка печати...", "-"};
        for (std::size_t i = 0; i < files.size(); ++i)
            tail.push_back("&" + std::to_string(i + 1) + " " + files[i]);
        tail.insert(tail.end(), {"-", "В&ыход"});
        const std::vector<std::string> items = shownItems(menu);
        ASSERT_GE(items.size(), tail.size()) << which;
        EXPECT_EQ(std::vector<std::string>(items.end() - tail.size(), items.end()), tail) << which;
    };
    auto* chart = dynamic_cast<wxFrame*>(frame()->GetActiveChild());
    ASSERT_NE(chart, nullptr);
    expectAboveExit(chart->GetMenuBar()->GetMenu(0), "a chart's window", {"chart3.wfa", "chart2.wfa", "chart1.wfa"});
    app().GetDocManager()->CloseDocuments(true);
    EXPECT_TRUE(settleUntil([&] { return ChartCount() == 0; }));
    expectAboveExit(frame()->GetMenuBar()->GetMenu(0), "the main window", {"chart3.wfa", "chart2.wfa", "chart1.wfa"});

    // The user opens the File menu from the keyboard and walks up from its
    // last item: Exit, then the entries from the last one up.
    frame()->Raise();
    frame()->SetFocus();
    pause();
    input.Char(WXK_F10);
    pause();
    for (int i = 0; i < 3; ++i) {
        input.Char(WXK_UP);
        pause();
    }
    Screenshot("recent-files-menu.png");
    input.Char(WXK_RETURN);
    EXPECT_TRUE(settleUntil([&] { return ChartCount() == 1; }));
    if (ChartCount() == 1) {
        auto* doc = static_cast<wxDocument*>(app().GetDocManager()->GetDocuments().front());
        EXPECT_EQ(std::filesystem::path(doc->GetFilename().utf8_string()).filename(), "chart2.wfa");
    }
    // Opened again, it leads the list.
    auto* reopened = dynamic_cast<wxFrame*>(frame()->GetActiveChild());
    ASSERT_NE(reopened, nullptr);
    expectAboveExit(reopened->GetMenuBar()->GetMenu(0), "after opening the second",
                    {"chart2.wfa", "chart3.wfa", "chart1.wfa"});
}

TEST_F(MainFrameWindow, ADoubleClickOnTheSelectedDocumentTypeOpensItsChartAndNeverEditsItsName)
{
    // Held like this, a first click ends a double-click that the display
    // takes for two clicks: its press comes too early for the second press,
    // its release just before it.
    long dclick = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    if (dclick <= 0)
        dclick = 500;
    struct Case {
        const char* what;
        long holdFirst; // ms
        long gap;       // ms from the first release to the second press; -1: one click
        bool opens;
        const char* screenshot;
    } cases[] = {
        {"a quick double-click", 40, 60, true, "tree-double-click-opens.png"},
        {"a double-click whose first click is held", dclick - 40, 90, true, "tree-held-double-click-opens.png"},
        {"one click on the selected name", 40, -1, false, "tree-slow-click-edits.png"},
    };
    const TreeItem order = OrderItem();
    ASSERT_NE(order, 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tree()->SelectItem(order);
        tree()->SetFocus();
        pause();
        const wxRect label = LabelOnScreen(order);
        input.MouseMove(label.GetPosition() + wxPoint(label.width / 2, label.height / 2));
        settle();
        input.MouseDown();
        wxMilliSleep(c.holdFirst);
        input.MouseUp();
        if (c.gap >= 0) {
            wxMilliSleep(c.gap);
            input.MouseDown();
            wxMilliSleep(30);
            input.MouseUp();
        }
        // Well past the time a slow click waits before it edits.
        for (int i = 0; i < 4 * dclick / 30; ++i) {
            wxMilliSleep(30);
            settle();
        }
        EXPECT_EQ(ChartCount(), c.opens ? 1u : 0u);
        EXPECT_EQ(tree()->GetEditControl() != nullptr, !c.opens);
        Screenshot(c.screenshot);
        if (tree()->GetEditControl())
            tree()->EndEditLabel(CBaseTreeCtrl::ToId(order), true);
        app().GetDocManager()->CloseDocuments(true);
        EXPECT_TRUE(settleUntil([&] { return ChartCount() == 0 && !tree()->GetEditControl(); }));
        EXPECT_EQ(tree()->GetItemText(order), "Заказ");
    }
    EXPECT_TRUE(asked.empty());
}

} // namespace
