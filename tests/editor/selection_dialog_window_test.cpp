// The operation- and document-type selection dialogs as windows under the
// test display, on the SQLite fixture: what they show, their keys, and what
// a confirmed dialog hands back to the process tree.
#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/dialogs/ui/selectdlgs.h"
#include "editor/trees/core/processtree.h"

#include "tests/editor/fixture.h"
#include "tests/common/kelmdb.h"
#include "tests/editor/tarnwickenv.h"

#include <gtest/gtest.h>

#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <filesystem>
#include <functional>

using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new kelm::test::TarnwickEnvironment(g_app));

void Screenshot(const char* name)
{
    kelm::test::SaveScreenshot(std::filesystem::path(KELM_TEST_OUTPUT) / "selection_dialog_window_test", name);
}

void Click(wxDialog& dialog, int id)
{
    wxWindow* button = dialog.FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

// Waits a little while for the condition, letting events run.
bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 100 && !done(); ++i) {
        wxMilliSleep(30);
        wxTheApp->Yield(true);
    }
    return done();
}

// Watches for the name dialog over the selection dialog; once it is up,
// fills it and confirms it. A timer, because the dialog opens in a modal
// loop of its own once the key has arrived.
class NameDialogAnswer : public wxTimer {
public:
    explicit NameDialogAnswer(std::function<void(CAddState&)> fill) : m_fill(std::move(fill)) { Start(30); }
    ~NameDialogAnswer() override { Stop(); }
    void Notify() override
    {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* names = dynamic_cast<CAddState*>(window); names && names->IsModal()) {
                Stop();
                answered = true;
                m_fill(*names);
                Click(*names, wxID_OK);
                return;
            }
        if (++m_ticks > 300) {
            Stop();
            ADD_FAILURE() << "the name dialog did not come up";
        }
    }
    bool answered = false;

private:
    std::function<void(CAddState&)> m_fill;
    int m_ticks = 0;
};

std::vector<std::string> Items(const wxListBox& list)
{
    std::vector<std::string> items;
    for (unsigned i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetString(i).utf8_string());
    return items;
}

class SelectionDialogWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<kelm::test::KelmDatabase>(kelm::test::Engine::SQLite, "selectwin");
        for (const char* file : {WORKFLOW_FIXTURES "/chartdb_chart.sql", SELECTION_FIXTURE})
            for (const std::string& sql : kelm::test::FixtureStatements(file))
                db->Exec(sql);
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

TEST_F(SelectionDialogWindow, TheOperationDialogDeletesByKeyAndHandsBackTheChosenOperation)
{
    CProcessSelectDlg dialog(3, "Продажи и расчёты", nullptr);
    auto* list = XRCCTRL(dialog, "IDC_PROCESS_LIST", wxListBox);
    wxTheApp->CallAfter([&] {
        EXPECT_EQ(Items(*list), (std::vector<std::string>{"акт", "Отгрузка", "Приход", "Приход товара"}));
        EXPECT_EQ(list->GetSelection(), 0);
        EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
        Screenshot("process_select.png");

        // Del on the focused list asks for the chosen operation and removes it.
        list->SetSelection(2);
        wxCommandEvent changed(wxEVT_LISTBOX, list->GetId());
        changed.SetEventObject(list);
        changed.SetInt(2);
        list->GetEventHandler()->ProcessEvent(changed);
        EXPECT_EQ(dialog.m_model.m_strSelected, "Приход");
        std::string asked;
        NameDialogAnswer confirm([&](CAddState& names) {
            asked = XRCCTRL(names, "IDC_STATE_NAME", wxTextCtrl)->GetValue().utf8_string();
            EXPECT_EQ(names.GetTitle().utf8_string(), "Удалить процесс.");
        });
        list->SetFocus();
        wxUIActionSimulator input;
        input.Char(WXK_DELETE);
        EXPECT_TRUE(WaitFor([&] { return list->GetCount() == 3; }));
        EXPECT_TRUE(confirm.answered);
        EXPECT_EQ(asked, "Приход");
        EXPECT_EQ(Items(*list), (std::vector<std::string>{"акт", "Отгрузка", "Приход товара"}));

        // F5 shows what another session filed meanwhile.
        db->Exec("INSERT INTO MainTypeOperate(Grp, Type, NameOperate) VALUES (3, 24, 'акт')");
        input.Char(WXK_F5);
        EXPECT_TRUE(WaitFor([&] { return list->GetCount() == 2; }));
        EXPECT_EQ(list->GetSelection(), 0);
        Click(dialog, wxID_OK);
    });
    ASSERT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(static_cast<std::int32_t>(dialog.m_model.m_dwSelected), PackProcessWord(3, 21));
    EXPECT_EQ(dialog.m_model.m_strSelected, "Отгрузка");
}

TEST_F(SelectionDialogWindow, TheDocumentDialogAddsByKeyAndHandsBackTheNewDocumentType)
{
    std::int32_t typeDoc = 0;
    std::string name;
    wxTheApp->CallAfter([&] {
        wxDialog* dialog = nullptr;
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* select = dynamic_cast<CSelectDocDlg*>(window); select && select->IsModal())
                dialog = select;
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->GetTitle().utf8_string(), "Выбор Документа");
        auto* list = XRCCTRL(*dialog, "IDC_DOC_LIST", wxListBox);
        EXPECT_EQ(Items(*list), (std::vector<std::string>{"акт приёмки", "Накладная"}));

        // Insert asks for the names and selects the new entry.
        NameDialogAnswer add([](CAddState& names) {
            EXPECT_EQ(names.GetTitle().utf8_string(), "Добавить документ.");
            XRCCTRL(names, "IDC_STATE_NAME", wxTextCtrl)->SetValue(wxString::FromUTF8("Счёт 'на оплату'"));
            XRCCTRL(names, "IDC_STATE_FULL_NAME", wxTextCtrl)->SetValue(wxString::FromUTF8("Счёт на оплату"));
        });
        list->SetFocus();
        wxUIActionSimulator input;
        input.Char(WXK_INSERT);
        EXPECT_TRUE(WaitFor([&] { return list->GetCount() == 3; }));
        EXPECT_TRUE(add.answered);
        EXPECT_EQ(Items(*list), (std::vector<std::string>{"акт приёмки", "Накладная", "Счёт 'на оплату'"}));
        EXPECT_EQ(list->GetSelection(), 2);
        Screenshot("select_doc.png");
        Click(*dialog, wxID_OK);
    });
    ASSERT_TRUE(RunSelectDocDlg(nullptr, 21, 3, typeDoc, name));
    EXPECT_EQ(name, "Счёт 'на оплату'");
    auto rs = g_app->m_pConnection->Execute("SELECT TypeDoc, FullNameDoc FROM ProdDocType WHERE NameDoc = 'Счёт ''на оплату'''");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(typeDoc, rs->GetCollect("TypeDoc").ToLong());
    EXPECT_EQ(rs->GetCollect("FullNameDoc").ToString(), "Счёт на оплату");
}

} // namespace
