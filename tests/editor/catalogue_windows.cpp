#include "tests/editor/catalogue_windows.h"

#include "tests/editor/fixture.h"
#include "tests/editor/tarnwickenv.h"

#include "afx/cmdid.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "winapi/module_version.h"

#include <wx/dialog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

// The program registers its record in main; this test program stands in for it.
WINAPI_MODULE_VERSION("catalogue window tests")

using namespace tarnwick;

namespace kelm::test {

namespace {

CTarnwickApp* g_app = nullptr;
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new TarnwickEnvironment(g_app));

} // namespace

CTarnwickApp& App() { return *g_app; }

void Settle() { kelm::test::SettleWindows(); }

void Screenshot(const char* name)
{
    // Each test program that shares these windows keeps its pictures apart.
    kelm::test::SaveScreenshot(std::filesystem::path(KELM_TEST_OUTPUT) / program_invocation_short_name, name);
}

void WhenModal(std::function<void(wxDialog&)> body)
{
    wxTheApp->CallAfter([body] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
                body(*dialog);
                return;
            }
        ADD_FAILURE() << "no modal dialog is up";
    });
}

void CatalogueWindow::SetUp()
{
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    db = std::make_unique<KelmDatabase>(Engine::SQLite, "cataloguewin");
    for (const std::string& sql : FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
        db->Exec(sql);
    App().m_pConnection = db->Open();
    App().m_cmdInfo.m_strDSN = "KelmTest";
    App().m_cmdInfo.m_nDiagrammType = 1;
    App().m_strDbVersion = "3.01.35";
    g_bReadOnlyMode = FALSE;
    App().SetShell(&App());
    SetChartShell(&App());
    kelm::test::AnswerMessageBoxes(asked, answers);
    ASSERT_TRUE(App().CreateWindows());
    Frame()->SetSize(900, 640);
    Frame()->Show();
    App().BuildNavigationTree(TreeClass::AWF);
    Settle();
}

void CatalogueWindow::TearDown()
{
    kelm::test::CloseProgramWindows(App());
    SetMessageBoxAnswer({});
    SetChartShell(nullptr);
    App().SetShell(nullptr);
    App().ReleaseConnection();
    g_bReadOnlyMode = TRUE;
}

TreeItem CatalogueWindow::Find(const std::vector<std::string>& path)
{
    TreeItem item = Tree()->GetRootItem();
    for (const std::string& text : path) {
        TreeItem found = 0;
        if (!Tree()->IsExpanded(item) && item != Tree()->GetRootItem())
            Tree()->wxTreeCtrl::Expand(CBaseTreeCtrl::ToId(item));
        for (TreeItem child : Tree()->GetChildren(item))
            if (Tree()->GetItemText(child) == text)
                found = child;
        if (!found)
            return 0;
        item = found;
    }
    return item;
}

void CatalogueWindow::MenuCommand(int id)
{
    wxCommandEvent event(wxEVT_MENU, ToWxId(id));
    Frame()->GetEventHandler()->ProcessEvent(event);
    Settle();
}

} // namespace kelm::test
