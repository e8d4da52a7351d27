// The document-selection dialog as a component: opened in this process under
// the test display over the program's process tree on the chart fixture,
// driven in code, with a screenshot.
#include "editor/trees/ui/basetreectrl.h"
#include "editor/trees/ui/docselectdlg.h"
#include "editor/program/tarnwickapp.h"

#include "tests/editor/fixture.h"
#include "tests/editor/recorder.h"
#include "tests/editor/tarnwickenv.h"
#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/uiaction.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

struct NoHost : ITreeHost {
    void OpenDiagram(std::int32_t, const std::string&) override {}
    bool CloseDiagram(std::int32_t) override { return true; }
    std::unique_ptr<IOpenedChart> OpenChartFile() override { return nullptr; }
    bool AskYesNo(const std::string&) override { return false; }
    void DiscardDiagram(std::int32_t) override {}
    void RetitleDiagram(std::int32_t, const std::string&) override {}
};

wxTreeItemId ChildOf(wxTreeCtrl& tree, const wxTreeItemId& parent, const std::string& text)
{
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree.GetFirstChild(parent, cookie); child.IsOk(); child = tree.GetNextChild(parent, cookie))
        if (tree.GetItemText(child).utf8_string() == text)
            return child;
    return {};
}

wxTreeItemId Find(wxTreeCtrl& tree, const std::vector<std::string>& path)
{
    wxTreeItemId item = tree.GetRootItem();
    for (const std::string& text : path) {
        item = ChildOf(tree, item, text);
        if (!item.IsOk())
            break;
    }
    return item;
}

void Press(wxDialog& dialog, int id)
{
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(dialog.FindWindow(id));
    dialog.GetEventHandler()->ProcessEvent(click);
}

// A double click on an item's label, as the mouse gives it.
void DoubleClick(wxTreeCtrl& tree, const wxTreeItemId& item)
{
    wxRect rect;
    ASSERT_TRUE(tree.GetBoundingRect(item, rect, true));
    wxMouseEvent click(wxEVT_LEFT_DCLICK);
    click.SetPosition(rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2));
    click.m_leftDown = true;
    click.SetEventObject(&tree);
    tree.GetEventHandler()->ProcessEvent(click);
}

// Runs body once the next modal dialog is up, with that dialog.
void WhenModal(std::function<void(ExtendedWFDocSelect&)> body)
{
    wxTheApp->CallAfter([body] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<ExtendedWFDocSelect*>(window); dialog && dialog->IsModal()) {
                body(*dialog);
                return;
            }
        ADD_FAILURE() << "no document-selection dialog is up";
    });
}

class DocSelectWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<wft::KelmDb>(wft::Engine::SQLite, "docselectwin");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        g_app->m_pConnection = db->connection;
        g_app->m_cmdInfo.m_strDSN = "KelmTest";
        frame = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8("Процессы"));
        tree = new CBaseTreeCtrl(TreeClass::AWF, host);
        ASSERT_TRUE(tree->Create(frame));
        ASSERT_TRUE(tree->Logic().FillTree());
        frame->SetSize(260, 420);
        frame->Move(20, 20);
        frame->Show();
        kelm::test::SettleWindows();
    }
    void TearDown() override
    {
        if (frame)
            frame->Destroy();
        kelm::test::SettleWindows();
        g_app->m_pConnection = nullptr;
    }

    std::unique_ptr<wft::KelmDb> db;
    NoHost host;
    wxFrame* frame = nullptr;
    CBaseTreeCtrl* tree = nullptr;
};

TEST_F(DocSelectWindow, ShowsTheProcessTreeLoadsAGroupOnExpansionAndTakesADocumentType)
{
    kelm::test::RecordingPrompt prompt;
    ExtendedWFDocSelect dialog(*tree, frame);
    bool ran = false;
    WhenModal([&](ExtendedWFDocSelect& shown) {
        ran = true;
        wxTreeCtrl& t = shown.Tree();
        // The copy shows the data source open with its groups, none loaded yet.
        const wxTreeItemId dsn = Find(t, {"KelmTest [DSN]"});
        ASSERT_TRUE(dsn.IsOk());
        EXPECT_TRUE(t.IsExpanded(dsn));
        EXPECT_EQ(t.GetChildrenCount(dsn, false), 3u);
        const wxTreeItemId sales = ChildOf(t, dsn, "Продажи и расчёты");
        ASSERT_TRUE(sales.IsOk());
        EXPECT_EQ(t.GetItemImage(sales), IMAGE_GROUP);
        EXPECT_TRUE(t.ItemHasChildren(sales));
        EXPECT_EQ(t.GetChildrenCount(sales), 0u);
        const wxTreeItemId sourceSales = Find(*tree, {"KelmTest [DSN]", "Продажи и расчёты"});
        EXPECT_EQ(tree->wxTreeCtrl::GetChildrenCount(sourceSales), 0u);

        // Opening the group loads it through the process tree, which shows it too.
        t.Expand(sales);
        EXPECT_TRUE(t.IsExpanded(sales));
        EXPECT_EQ(tree->wxTreeCtrl::GetChildrenCount(sourceSales, false), 2u);
        const wxTreeItemId order = ChildOf(t, sales, "Оформление заказа");
        ASSERT_TRUE(order.IsOk());
        t.Expand(order);
        const wxTreeItemId doc = ChildOf(t, order, "Заказ");
        ASSERT_TRUE(doc.IsOk());
        EXPECT_EQ(t.GetItemImage(doc), IMAGE_DOCUMENT);

        // The group without processes does not open.
        const wxTreeItemId staff = ChildOf(t, dsn, "Кадровый учёт");
        t.Expand(staff);
        EXPECT_FALSE(t.IsExpanded(staff));

        // A double click on a group closes it and keeps the dialog; a second opens it again.
        t.SelectItem(sales);
        DoubleClick(t, sales);
        EXPECT_FALSE(t.IsExpanded(sales));
        EXPECT_TRUE(shown.IsModal());
        DoubleClick(t, sales);
        EXPECT_TRUE(t.IsExpanded(sales));
        EXPECT_TRUE(shown.IsModal());
        EXPECT_TRUE(prompt.shown.empty());

        // OK on the group says so and keeps the dialog.
        Press(shown, wxID_OK);
        ASSERT_EQ(prompt.Texts(), std::vector<std::string>{"Выбрана группа. Следует выбрать документ"});
        EXPECT_EQ(prompt.shown[0].caption, "Внимание");
        EXPECT_TRUE(shown.IsModal());

        // Enter on a process, typed on the keyboard, says so once and neither
        // closes the dialog nor opens the process.
        t.SelectItem(order);
        t.Collapse(order);
        t.SetFocus();
        wxUIActionSimulator input;
        input.Char(WXK_RETURN);
        for (int i = 0; i < 100 && prompt.shown.size() < 2; ++i) {
            wxMilliSleep(30);
            wxTheApp->Yield(true);
        }
        for (int i = 0; i < 5; ++i)
            wxTheApp->Yield(true);
        EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"Выбрана группа. Следует выбрать документ",
                                                            "Выбран процесс. Следует выбрать документ"}));
        EXPECT_FALSE(t.IsExpanded(order));
        EXPECT_TRUE(shown.IsModal());
        t.Expand(order);

        t.SelectItem(doc);
        kelm::test::SaveScreenshot(std::filesystem::path(KELM_TEST_OUTPUT) / "doc_select_window_test",
                                   "document_selected.png");
        Press(shown, wxID_OK);
    });
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_TRUE(ran);
    EXPECT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(dialog.Tree().Model().m_strSelText, "Заказ");
    EXPECT_EQ(dialog.Tree().Model().m_nSelData, 70001);
}

TEST_F(DocSelectWindow, ADoubleClickOnADocumentTypeEndsTheDialogWithIt)
{
    // The process tree had the group open before the dialog came up.
    const wxTreeItemId sourceSales = Find(*tree, {"KelmTest [DSN]", "Продажи и расчёты"});
    ASSERT_TRUE(sourceSales.IsOk());
    tree->wxTreeCtrl::Expand(sourceSales);
    ASSERT_EQ(tree->wxTreeCtrl::GetChildrenCount(sourceSales, false), 2u);
    ExtendedWFDocSelect dialog(*tree, frame);
    const wxTreeItemId invoice = Find(dialog.Tree(), {"KelmTest [DSN]", "Продажи и расчёты", "Выставление счёта", "Счёт"});
    ASSERT_TRUE(invoice.IsOk()) << "a loaded group is copied with its children";
    WhenModal([&](ExtendedWFDocSelect& shown) {
        shown.Tree().SelectItem(invoice);
        DoubleClick(shown.Tree(), invoice);
    });
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(dialog.Tree().Model().m_strSelText, "Счёт");
    EXPECT_EQ(dialog.Tree().Model().m_nSelData, 70002);
}

} // namespace
