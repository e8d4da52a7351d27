// The catalogue dialogs as windows under the test display, on the SQLite
// fixture: what each shows at start, how OK follows the edits and the list,
// and what a confirmed dialog hands back.
#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/dialogs/ui/createstatedlg.h"
#include "charts/documents/core/diagrammodel.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

void Screenshot(const char* name)
{
    const auto out = std::filesystem::path(KELM_TEST_OUTPUT) / "catalog_dialog_window_test";
    std::filesystem::create_directories(out);
    const std::string command = "import -window root " + (out / name).string() + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

// Runs the dialog modally and presses OK once it is up.
int RunAndConfirm(wxDialog& dialog, const std::function<void()>& whileShown = {})
{
    wxTheApp->CallAfter([&dialog, whileShown] {
        if (whileShown)
            whileShown();
        wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
        click.SetEventObject(dialog.FindWindow(wxID_OK));
        dialog.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(click);
    });
    return dialog.ShowModal();
}

class CatalogDialogWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "catalogwin");
        for (const std::string& sql : kelm::test::FixtureStatements(WORKFLOW_FIXTURES "/chartdb_chart.sql"))
            db->Exec(sql);
        db->Exec("INSERT INTO ProdGroupOperate(Grp, NameGrp, FullNameGrp) VALUES (11, 'Касса', 'Кассовые операции')");
        db->Exec("INSERT INTO ProdTypeOperate(Grp, Type, Kind, Code, NameOperate) VALUES (92, 40, 2, 'VP', 'Перемещение')");
        g_app->m_pConnection = db->Open();
        g_bReadOnlyMode = FALSE;
    }
    void TearDown() override
    {
        g_bReadOnlyMode = TRUE;
        g_app->ReleaseConnection();
    }

    std::unique_ptr<kelm::test::KelmDatabase> db;
};

TEST_F(CatalogDialogWindow, TheNameDialogFollowsItsModeAndHandsBackBothNames)
{
    CAddState remove("Введен", 2, nullptr);
    remove.Prepare();
    EXPECT_EQ(remove.GetTitle().utf8_string(), "Удалить состояние.");
    auto* name = XRCCTRL(remove, "IDC_STATE_NAME", wxTextCtrl);
    EXPECT_FALSE(name->IsEnabled());
    EXPECT_EQ(name->GetValue().utf8_string(), "Введен");
    EXPECT_TRUE(remove.FindWindow(wxID_OK)->IsEnabled());

    CAddState add(nullptr, 3, nullptr);
    add.Prepare();
    auto* addName = XRCCTRL(add, "IDC_STATE_NAME", wxTextCtrl);
    auto* fullName = XRCCTRL(add, "IDC_STATE_FULL_NAME", wxTextCtrl);
    EXPECT_TRUE(fullName->IsEnabled());
    EXPECT_FALSE(add.FindWindow(wxID_OK)->IsEnabled());
    addName->SetValue(wxString::FromUTF8("Акт"));
    EXPECT_TRUE(add.FindWindow(wxID_OK)->IsEnabled());
    addName->SetValue("");
    EXPECT_FALSE(add.FindWindow(wxID_OK)->IsEnabled());
    const int result = RunAndConfirm(add, [&] {
        addName->SetValue(wxString::FromUTF8("Акт"));
        fullName->SetValue(wxString::FromUTF8("Акт сверки \"полный\""));
        for (int i = 0; i < 5; ++i)
            wxTheApp->Yield(true);
        Screenshot("add_state.png");
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(add.m_model.m_strName, "Акт");
    EXPECT_EQ(add.m_model.m_strFullName, "Акт сверки \"полный\"");

    // The process modes cut the name at 18 characters.
    CAddState process(nullptr, 6, nullptr);
    process.Prepare();
    auto* processName = XRCCTRL(process, "IDC_STATE_NAME", wxTextCtrl);
    processName->WriteText(wxString::FromUTF8("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"));
    processName->WriteText(wxString::FromUTF8("Ж"));
    EXPECT_EQ(processName->GetValue().length(), 18u);
}

TEST_F(CatalogDialogWindow, TheProcessDialogShowsTheKindAndTheExistingRow)
{
    CAddProcessDlg add(92, 0, "Склад", nullptr, false);
    add.Prepare();
    auto* internal = XRCCTRL(add, "IDC_MOVE_INTERNAL", wxRadioButton);
    EXPECT_TRUE(internal->IsEnabled());
    EXPECT_TRUE(internal->GetValue());
    EXPECT_FALSE(add.FindWindow(wxID_OK)->IsEnabled());
    auto* code = XRCCTRL(add, "IDC_PROCESS_CODE", wxTextCtrl);
    auto* name = XRCCTRL(add, "IDC_PROCESS_NAME", wxTextCtrl);
    const int result = RunAndConfirm(add, [&] {
        code->SetValue("N1");
        name->SetValue(wxString::FromUTF8("Новый"));
        XRCCTRL(add, "IDC_MOVE_INCOME", wxRadioButton)->SetValue(true);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(add.m_model.m_nMoveKind, CAddProcessDlgModel::kIncome);
    EXPECT_EQ(add.m_model.m_strCode, "N1");
    EXPECT_EQ(add.m_model.m_nBaseType, 40);

    CAddProcessDlg edit(92, 40, "Склад", nullptr, true);
    edit.Prepare();
    EXPECT_FALSE(XRCCTRL(edit, "IDC_PROCESS_CODE", wxTextCtrl)->IsEnabled());
    EXPECT_FALSE(XRCCTRL(edit, "IDC_BASE_PROCESS", wxChoice)->IsEnabled());
    EXPECT_FALSE(XRCCTRL(edit, "IDC_MOVE_INTERNAL", wxRadioButton)->IsEnabled());
    EXPECT_EQ(XRCCTRL(edit, "IDC_PROCESS_NAME", wxTextCtrl)->GetValue().utf8_string(), "Перемещение");
    EXPECT_TRUE(edit.FindWindow(wxID_OK)->IsEnabled());
}

TEST_F(CatalogDialogWindow, TheGroupDialogReturnsTheSelectedGroupsInListOrder)
{
    CProdGroupSelectDlg dialog(nullptr);
    dialog.Prepare();
    auto* list = XRCCTRL(dialog, "IDC_GROUP_LIST", wxListBox);
    ASSERT_EQ(list->GetCount(), 2u);
    EXPECT_EQ(list->GetString(0).utf8_string(), "Архивные операции");
    EXPECT_EQ(list->GetString(1).utf8_string(), "Кассовые операции");
    EXPECT_FALSE(dialog.FindWindow(wxID_OK)->IsEnabled());
    const int result = RunAndConfirm(dialog, [&] {
        list->SetSelection(1);
        list->SetSelection(0);
        wxCommandEvent changed(wxEVT_LISTBOX, list->GetId());
        changed.SetEventObject(list);
        list->GetEventHandler()->ProcessEvent(changed);
        EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(dialog.m_model.m_arrGroups, (std::vector<std::int16_t>{9, 11}));

    CProdGroupSelectDlg none(nullptr);
    EXPECT_EQ(RunAndConfirm(none), wxID_CANCEL);
    EXPECT_TRUE(none.m_model.m_arrGroups.empty());
}

TEST_F(CatalogDialogWindow, TheCreateStateDialogRereadsByKeyAndHandsBackTheChosenState)
{
    CTarnwickModel chart;
    CCreateStateDlg dialog(3, 70002, &chart, nullptr);
    auto* list = XRCCTRL(dialog, "IDC_STATE_LIST", wxListBox);
    const int result = RunAndConfirm(dialog, [&] {
        ASSERT_EQ(list->GetCount(), 2u);
        EXPECT_EQ(list->GetString(0).utf8_string(), "Архив");
        EXPECT_EQ(list->GetString(1).utf8_string(), "Закрыт");
        EXPECT_EQ(list->GetSelection(), 0);
        EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
        for (int i = 0; i < 5; ++i)
            wxTheApp->Yield(true);
        Screenshot("create_state.png");
        // F5 through the dialog's accelerators rereads the catalogue.
        db->Exec("DELETE FROM ProdDocState WHERE Grp = 3 AND State = 4");
        list->SetFocus();
        wxUIActionSimulator input;
        input.Char(WXK_F5);
        for (int i = 0; i < 20 && list->GetCount() != 1; ++i) {
            wxMilliSleep(30);
            wxTheApp->Yield(true);
        }
        ASSERT_EQ(list->GetCount(), 1u);
        EXPECT_EQ(list->GetString(0).utf8_string(), "Закрыт");
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(dialog.m_model.m_nState, 3);
    EXPECT_EQ(dialog.m_model.m_strState, "Закрыт");
}

} // namespace
