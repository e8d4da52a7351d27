// OrvoODBC's windows in this process under the test display: the login
// dialog as CDatabaseEx shows it, the list fillers' controls, and the object
// tree (as a view of a document, the way a host uses it) on PostgreSQL, with
// its popup menu, clipboard and drag text. Screenshots go to the test's
// output folder.
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/listfillers.h"
#include "odbc/data/ui/listcontrols.h"
#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/messages.h"
#include "odbc/trees/ui/objectclipboard.h"
#include "odbc/trees/ui/treedbobjects.h"

#include "afx/cmdid.h"
#include "tests/odbc/datasources.h"
#include "tests/common/gtkprobe.h"
#include "tests/common/testsupport.h"
#include "tests/platform/diagram/wxtestapp.h"

#include <gtest/gtest.h>

#include <wx/clipbrd.h>
#include <wx/combobox.h>
#include <wx/dataobj.h>
#include <wx/dialog.h>
#include <wx/docview.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

using namespace kelm::test;
using kelm::test::ProbeItem;
using kelm::test::ProbeWindow;

namespace {

// Data sources first, then wx: both must be in place before the first use.
class Sources : public ::testing::Environment {
public:
    void SetUp() override
    {
        dir = std::make_unique<TempDir>();
        std::string db = (*dir / "lite.db").string();
        UseOwnDataSources(*dir,
                          "[Склад]\nDriver=SQLite3\nDatabase=" + db + "\n\n[Trusted]\nDriver=SQLite3\nDatabase=" + db +
                              "\nTrusted_Connection=yes\n\n[Other]\nDriver=SQLite\nDatabase=" + db + "\n\n",
                          "");
        setenv("LC_ALL", "ru_RU.UTF-8", 1);
        // Before the toolkit starts, which loads it.
        probe.Export();
    }
    std::unique_ptr<TempDir> dir;
    GtkProbe probe;
};

Sources* const g_sources = new Sources;
const auto* const g_sourcesAdded = ::testing::AddGlobalTestEnvironment(g_sources);
const auto* const g_wx = ::testing::AddGlobalTestEnvironment(new odtest::WxEnvironment);

void Pump(int ms = 200)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::filesystem::path Screenshot(const std::string& name)
{
    std::filesystem::path out = std::filesystem::path(KELM_TEST_OUTPUT) / "odbc_gui_test";
    std::filesystem::create_directories(out);
    EXPECT_EQ(std::system(("import -window root '" + (out / (name + ".png")).string() + "'").c_str()), 0);
    return out / (name + ".png");
}

// Steps run one by one from a timer while a modal loop runs.
class Steps : public wxTimer {
public:
    explicit Steps(std::vector<std::function<void()>> steps) : m_steps(std::move(steps)) { Start(250); }
    void Notify() override
    {
        if (m_next < m_steps.size())
            m_steps[m_next++]();
        else
            Stop();
    }

private:
    std::vector<std::function<void()>> m_steps;
    std::size_t m_next = 0;
};

// Polls each step in turn, a tenth of a second after the last poll ended,
// until it answers true, while a modal loop runs. A poll that takes longer
// than the period (a screenshot does) must not start the next at once: the
// toolkit paints only when no timer is due, so a window would never be drawn.
class Until : public wxTimer {
public:
    explicit Until(std::vector<std::function<bool()>> steps) : m_steps(std::move(steps))
    {
        Start(100, wxTIMER_ONE_SHOT);
    }
    void Notify() override
    {
        if (m_next < m_steps.size() && m_steps[m_next]())
            ++m_next;
        if (m_next < m_steps.size())
            Start(100, wxTIMER_ONE_SHOT);
    }
    bool Done() const { return m_next == m_steps.size(); }

private:
    std::vector<std::function<bool()>> m_steps;
    std::size_t m_next = 0;
};

// Clicks the first of the buttons the window has; false when it has none.
bool ClickFirst(const ProbeWindow& window, std::initializer_list<const char*> buttons)
{
    for (const char* text : buttons)
        if (const ProbeItem* button = window.Find("button", text)) {
            ClickItem(*button);
            return true;
        }
    return false;
}

wxDialog* OpenDialog(const wxString& title)
{
    for (wxWindow* top : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(top); dialog != nullptr && dialog->GetTitle() == title && dialog->IsShown())
            return dialog;
    return nullptr;
}

template <class T>
T* Find(wxWindow* parent, const char* name)
{
    return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

TEST(OdbcWindows, LoginDialogAsTheLogonOpenShowsIt)
{
    std::vector<std::string> messages;
    SetOrvoMessageHandler([&](const std::string& text, long) {
        messages.push_back(text);
        return IDOK;
    });
    const wxString title = wxString::FromUTF8("Соединение с сервером");
    wxDialog* seen = nullptr;
    wxComboBox* combo = nullptr;
    wxTextCtrl* user = nullptr;
    wxTextCtrl* password = nullptr;
    Steps steps({
        [&] {
            seen = OpenDialog(title);
            ASSERT_NE(seen, nullptr);
            combo = Find<wxComboBox>(seen, "IDC_DSN");
            user = Find<wxTextCtrl>(seen, "IDC_UID");
            password = Find<wxTextCtrl>(seen, "IDC_PWD");
            ASSERT_TRUE(combo && user && password);
            // The preset source, sorted among the Kelm drivers' sources.
            EXPECT_EQ(combo->GetCount(), 2u);
            EXPECT_EQ(combo->GetString(combo->GetSelection()).utf8_string(), "Склад");
            EXPECT_EQ(user->GetValue(), "anna");
            EXPECT_TRUE(user->IsEnabled());
            bool labels = false;
            for (wxWindow* child : seen->GetChildren())
                labels = labels || child->GetLabel().utf8_string().find("Пароль") != std::string::npos;
            EXPECT_TRUE(labels);
            password->SetValue("secret"); // as typed
        },
        [&] { Screenshot("login"); },
        [&] {
            // Choosing the trusted source, as the user does.
            combo->SetSelection(combo->FindString("Trusted"));
            wxCommandEvent chosen(wxEVT_COMBOBOX, combo->GetId());
            chosen.SetEventObject(combo);
            chosen.SetInt(combo->GetSelection());
            combo->GetEventHandler()->ProcessEvent(chosen);
        },
        [&] {
            EXPECT_EQ(user->GetValue().utf8_string(), "Аутентификация средствами ОС");
            EXPECT_FALSE(user->IsEnabled());
            EXPECT_EQ(password->GetValue(), "");
            Screenshot("login_trusted");
            wxWindow* ok = seen->FindWindow(wxID_OK);
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(ok->IsEnabled());
            wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
            click.SetEventObject(ok);
            ok->GetEventHandler()->ProcessEvent(click);
        },
    });
    const char* filter[] = {"PostgreSQL Unicode", "SQLite3"};
    CDatabaseEx db;
    ASSERT_TRUE(db.OpenExLogonDlg("Склад", "anna", nullptr, 0, filter, 2, false));
    steps.Stop();
    ASSERT_NE(seen, nullptr);
    std::string dsn;
    db.GetDSN(dsn);
    EXPECT_EQ(dsn, "Trusted");
    EXPECT_TRUE(messages.empty());
    SetOrvoMessageHandler(nullptr);
}

TEST(OdbcWindows, ListFillersFillTheirControls)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "fillers", wxDefaultPosition, wxSize(500, 400));
    auto* list = new wxListBox(frame, wxID_ANY, wxPoint(0, 0), wxSize(200, 100), 0, nullptr, wxLB_SORT);
    auto* combo = new wxComboBox(frame, wxID_ANY, "", wxPoint(0, 110), wxSize(200, -1));
    auto* report = new wxListCtrl(frame, wxID_ANY, wxPoint(210, 0), wxSize(280, 150), wxLC_REPORT);
    auto* rows = new wxListCtrl(frame, wxID_ANY, wxPoint(0, 160), wxSize(490, 200), wxLC_REPORT);
    frame->Show();
    std::vector<std::string> kelm = {"sqlite3"};
    ASSERT_TRUE(FillDSNList(*list, &kelm));
    EXPECT_EQ(list->GetCount(), 2u);
    EXPECT_EQ(list->GetSelection(), 0);
    ASSERT_TRUE(FillDSNList(*combo, nullptr));
    EXPECT_EQ(combo->GetCount(), 3u);
    std::vector<std::string> none;
    ASSERT_TRUE(FillDSNList(*combo, &none));
    EXPECT_EQ(combo->GetCount(), 0u);
    ASSERT_TRUE(FillDSNList(*report, nullptr));
    ASSERT_EQ(report->GetColumnCount(), 2);
    wxListItem header;
    header.SetMask(wxLIST_MASK_TEXT);
    report->GetColumn(0, header);
    EXPECT_EQ(header.GetText().utf8_string(), "Наименование");
    EXPECT_EQ(report->GetItemCount(), 3);
    EXPECT_EQ(report->GetItemText(0, 0).utf8_string(), "Склад"); // the driver manager's order
    EXPECT_EQ(report->GetItemText(2, 1).utf8_string(), "SQLite");
    EXPECT_EQ(report->GetItemState(0, wxLIST_STATE_SELECTED), wxLIST_STATE_SELECTED);

    TempDir dir;
    CDatabaseEx db;
    std::string error;
    ASSERT_TRUE(db.OpenDBExStr(SqliteConnString(dir / "rows.db").c_str(), false, error)) << error;
    db.ExecuteSQL("CREATE TABLE t (id INTEGER, name VARCHAR(20), note VARCHAR(20))");
    db.ExecuteSQL("INSERT INTO t VALUES (1, 'Щука', NULL)");
    db.ExecuteSQL("INSERT INTO t VALUES (2, 'Ёрш', 'x')");
    {
        CRecordset rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name, note FROM t ORDER BY id", CRecordset::readOnly));
        ASSERT_TRUE(FillSelectList(rs, *rows, true));
    }
    EXPECT_EQ(rows->GetColumnCount(), 3);
    EXPECT_EQ(rows->GetItemCount(), 2);
    EXPECT_EQ(rows->GetItemText(0, 1).utf8_string(), "Щука");
    EXPECT_EQ(rows->GetItemText(1, 2).utf8_string(), "x");
    EXPECT_EQ(rows->GetColumnWidth(0), 30); // "id": under five letters
    // Kept columns fewer than the result's: only they are filled.
    rows->DeleteColumn(2);
    {
        CRecordset rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT id, name, note FROM t ORDER BY id", CRecordset::readOnly));
        ASSERT_TRUE(FillSelectList(rs, *rows, false));
    }
    EXPECT_EQ(rows->GetColumnCount(), 2);
    EXPECT_EQ(rows->GetItemText(1, 1).utf8_string(), "Ёрш");
    Pump();
    Screenshot("fillers");
    frame->Destroy();
    Pump(50);
}

// A host's view: the connection comes from the host's own class.
class HostTreeView : public CTreeDBObjectsStruct {
    wxDECLARE_DYNAMIC_CLASS(HostTreeView);

public:
    static CDatabaseEx* s_db;

protected:
    CDatabaseEx* GetConnect() override { return s_db; }
};
wxIMPLEMENT_DYNAMIC_CLASS(HostTreeView, CTreeDBObjectsStruct);
CDatabaseEx* HostTreeView::s_db = nullptr;

class HostDocument : public wxDocument {
    wxDECLARE_DYNAMIC_CLASS(HostDocument);
};
wxIMPLEMENT_DYNAMIC_CLASS(HostDocument, wxDocument);

TEST(OdbcWindows, ObjectTreeViewOnPostgreSql)
{
    KELM_REQUIRE_PG();
    PgDatabase pg("treegui");
    pg.exec("CREATE SCHEMA склад; CREATE TABLE склад.товары (id integer PRIMARY KEY, название varchar(40));"
            "CREATE TABLE склад.заказы (id integer PRIMARY KEY, товар integer REFERENCES склад.товары);"
            "CREATE FUNCTION склад.f(x integer) RETURNS integer LANGUAGE sql AS $$ SELECT x $$;");
    CDatabaseEx db;
    std::string error;
    ASSERT_TRUE(db.OpenDBExStr(pg.odbcConnString().c_str(), false, error)) << error;
    HostTreeView::s_db = &db;
    std::vector<std::string> messages;
    SetOrvoMessageHandler([&](const std::string& text, long) {
        messages.push_back(text);
        return IDOK;
    });

    auto* manager = new wxDocManager;
    auto* main = new wxDocParentFrame(manager, nullptr, wxID_ANY, "host", wxDefaultPosition, wxSize(700, 560));
    wxTheApp->SetTopWindow(main);
    main->Show();
    new wxDocTemplate(manager, "Objects", "*.dbo", "", "dbo", "Objects", "Objects tree", CLASSINFO(HostDocument),
                      CLASSINFO(HostTreeView));
    wxDocument* doc = manager->CreateDocument("", wxDOC_NEW);
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<HostTreeView*>(doc->GetFirstView());
    ASSERT_NE(view, nullptr);
    CTreeDBObjectsCtrl* tree = view->GetTree();
    ASSERT_NE(tree, nullptr);
    view->GetFrame()->SetSize(wxSize(520, 520));
    view->GetFrame()->Move(0, 0);

    wxTreeItemId root = tree->GetRootItem();
    ASSERT_TRUE(root.IsOk());
    EXPECT_TRUE(tree->IsExpanded(root));
    CDBTreeNode* database = tree->Model().Root()->children.front().get();
    CDBTreeNode* tables = database->children.front().get();
    CDBTreeNode* owner = nullptr;
    for (const auto& o : tables->children)
        if (o->text == "склад")
            owner = o.get();
    ASSERT_NE(owner, nullptr);
    // Opening the owner as the user does reads its tables.
    tree->Expand(tree->ItemOf(database));
    tree->Expand(tree->ItemOf(tables));
    tree->Expand(tree->ItemOf(owner));
    ASSERT_EQ(owner->children.size(), 2u);
    CDBTreeNode* goods = owner->children[1].get();
    EXPECT_EQ(goods->text, "склад.товары");
    wxTreeItemId goodsItem = tree->ItemOf(goods);
    tree->Expand(goodsItem);
    CDBTreeNode* columns = goods->children.front().get();
    EXPECT_EQ(tree->GetItemText(tree->ItemOf(columns->children[1].get())).utf8_string(), "название (varchar(40),NULL)");
    EXPECT_FALSE(tree->IsExpanded(tree->ItemOf(columns)));
    tree->SelectItem(goodsItem);

    // The popup menu as it is shown for a table.
    std::unique_ptr<wxMenu> menu(tree->MakePopupMenu());
    ASSERT_TRUE(menu);
    wxMenu* scripts = menu->FindItemByPosition(0)->GetSubMenu();
    ASSERT_NE(scripts, nullptr);
    std::vector<std::pair<std::string, bool>> items;
    for (wxMenuItem* item : scripts->GetMenuItems())
        items.emplace_back(item->GetItemLabelText().utf8_string(), item->IsEnabled());
    EXPECT_EQ(items, (std::vector<std::pair<std::string, bool>>{
                         {"Select", true}, {"Insert", true}, {"Update", true}, {"Delete", true}, {"Execute", false}}));
    EXPECT_TRUE(menu->IsEnabled(ToWxId(ID_TREEDB_REFRESH)));
    EXPECT_TRUE(menu->IsEnabled(ToWxId(ID_TREEDB_FIND)));
    EXPECT_EQ(menu->GetLabel(ToWxId(ID_TREEDB_NEXT)).utf8_string(), "Следующее\tF3");

    // The Select script through the command, read back from the clipboard.
    wxCommandEvent select(wxEVT_MENU, ToWxId(ID_TREEDB_SCRIPT_SELECT));
    tree->GetEventHandler()->ProcessEvent(select);
    {
        wxClipboardLocker clipboard;
        ASSERT_TRUE(!!clipboard);
        wxTextDataObject text;
        ASSERT_TRUE(wxTheClipboard->GetData(text));
        EXPECT_EQ(text.GetText().utf8_string(), "SELECT id, название FROM " + pg.name() + ".склад.товары");
    }
    // Drag texts of the closed Columns folder and of the table.
    EXPECT_EQ(tree->DragText(tree->ItemOf(columns)), "id , название ");
    EXPECT_EQ(tree->DragText(goodsItem), "склад.товары");
    _CopyToClipboard("Ёж в тумане");
    {
        wxClipboardLocker clipboard;
        wxTextDataObject text;
        ASSERT_TRUE(wxTheClipboard->GetData(text));
        EXPECT_EQ(text.GetText().utf8_string(), "Ёж в тумане");
    }

    // Find from the menu's command: a dialog of this tree.
    wxCommandEvent find(wxEVT_MENU, ToWxId(ID_TREEDB_FIND));
    tree->GetEventHandler()->ProcessEvent(find);
    ASSERT_NE(tree->FindDialog(), nullptr);
    EXPECT_EQ(tree->FindDialog()->GetTitle().utf8_string(), "Поиск объектов БД");
    wxFindDialogEvent next(wxEVT_FIND, tree->FindDialog()->GetId());
    next.SetEventObject(tree->FindDialog());
    next.SetFindString(wxString::FromUTF8("заказ"));
    next.SetFlags(0); // upwards
    tree->GetEventHandler()->ProcessEvent(next);
    EXPECT_EQ(tree->SelectedNode(), owner->children[0].get());
    EXPECT_EQ(TreeDBFindSettings().text, "заказ");
    EXPECT_FALSE(TreeDBFindSettings().searchDown);

    Pump(300);
    Screenshot("tree");
    {
        // The menu as the user sees it, then dismissed with Escape.
        Steps steps({[] { Screenshot("tree_menu"); }, [] { wxUIActionSimulator().Char(WXK_ESCAPE); },
                     [] { wxUIActionSimulator().Char(WXK_ESCAPE); }});
        tree->ShowPopupMenu(wxPoint(60, 60));
    }
    wxFindDialogEvent close(wxEVT_FIND_CLOSE, tree->FindDialog()->GetId());
    close.SetEventObject(tree->FindDialog());
    tree->GetEventHandler()->ProcessEvent(close);
    EXPECT_EQ(tree->FindDialog(), nullptr);
    EXPECT_TRUE(messages.empty()) << messages.front();

    // Next (F3) searches again with the stored settings: upwards from the
    // first table finds nothing.
    tree->SelectItem(tree->ItemOf(owner->children[0].get()));
    wxCommandEvent again(wxEVT_MENU, ToWxId(ID_TREEDB_NEXT));
    tree->GetEventHandler()->ProcessEvent(again);
    EXPECT_EQ(messages, std::vector<std::string>{"Значение не найдено!"});

    // Refresh rebuilds from scratch.
    wxCommandEvent refresh(wxEVT_MENU, ToWxId(ID_TREEDB_REFRESH));
    tree->GetEventHandler()->ProcessEvent(refresh);
    EXPECT_TRUE(tree->Model().Root()->children.front()->children.front()->children.front()->children.empty());

    // A find dialog still open goes with its tree.
    tree->SelectItem(tree->ItemOf(tree->Model().Root()->children.front()->children.front().get()));
    tree->GetEventHandler()->ProcessEvent(find);
    ASSERT_NE(tree->FindDialog(), nullptr);
    doc->DeleteAllViews();
    Pump(100);
    for (wxWindow* top : wxTopLevelWindows)
        EXPECT_NE(top->GetLabel().utf8_string(), "Поиск объектов БД");
    main->Destroy();
    Pump(100);
    delete manager;
    SetOrvoMessageHandler(nullptr);
}

// The library's windows inside a host that set no locale of its own: its
// trace-file chooser and its find dialog speak Russian, the toolkit's words
// included, and a box of its string table takes the table's language (the
// environment's Russian here) with its information icon drawn.
TEST(OdbcWindows, TheToolkitsWordsInTheLibrarysWindowsAreRussian)
{
    const GtkProbe& probe = g_sources->probe;
    auto window = [&](const std::function<bool(const ProbeWindow&)>& matches) -> std::optional<ProbeWindow> {
        for (const ProbeWindow& w : probe.Windows())
            if (matches(w))
                return w;
        return std::nullopt;
    };
    // A window on a busy display may be found before it has painted: its
    // screenshot is taken again, for a few seconds at most, until the place
    // where it lies shows a drawn picture.
    auto painted = [](const std::filesystem::path& shot, const ProbeWindow& w, int& tries) {
        ProbeItem whole;
        whole.x = w.x;
        whole.y = w.y;
        whole.width = w.width;
        whole.height = w.height;
        return ColoursAt(shot, whole) > 8 || ++tries >= 50;
    };
    std::optional<ProbeWindow> chooser;
    int chooserTries = 0;
    {
        Until steps({[&] {
            chooser = window([](const ProbeWindow& w) { return w.title == "Сохранять трассировку в файле..."; });
            if (!chooser || chooser->Texts("button").size() < 2)
                return false;
            if (!painted(Screenshot("trace_file_chooser"), *chooser, chooserTries))
                return false;
            return ClickFirst(*chooser, {"Отменить", "Cancel"});
        }});
        EXPECT_FALSE(CDatabaseEx::SetTraceFileDlg());
    }
    ASSERT_TRUE(chooser) << probe.Describe();
    EXPECT_LT(chooserTries, 50) << "the file chooser was never drawn on the display";
    EXPECT_NE(chooser->Find("button", "Сохранить"), nullptr) << chooser->Describe();
    EXPECT_NE(chooser->Find("button", "Отменить"), nullptr) << chooser->Describe();
    EXPECT_NE(chooser->Find("label", "Домашняя папка"), nullptr) << chooser->Describe();

    // A preset source that is not there: the string table's warning.
    SetOrvoMessageHandler(nullptr);
    std::optional<ProbeWindow> box;
    std::filesystem::path boxShot;
    int boxTries = 0;
    {
        Until steps({[&] {
                         box = window([](const ProbeWindow& w) { return w.title == "Предупреждение"; });
                         if (!box)
                             return false;
                         boxShot = Screenshot("missing_source_box");
                         if (!painted(boxShot, *box, boxTries))
                             return false;
                         return ClickFirst(*box, {"ОК", "OK"});
                     },
                     [&] {
                         auto login = window([](const ProbeWindow& w) { return w.title == "Соединение с сервером"; });
                         if (login && login->Find("button", "Отмена"))
                             ClickItem(*login->Find("button", "Отмена"));
                         return login.has_value();
                     }});
        CLoginDlg dialog("anna", "Нет такого", true);
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    ASSERT_TRUE(box) << probe.Describe();
    EXPECT_EQ(box->Texts("button"), std::vector<std::string>{"ОК"}) << box->Describe();
    const auto icons = box->Images(32);
    ASSERT_EQ(icons.size(), 1u) << box->Describe();
    EXPECT_GT(ColoursAt(boxShot, icons[0]), 8) << "no icon drawn in " << boxShot;

    // A plain box, as the tree's "not found" is, shows no icon.
    std::optional<ProbeWindow> plain;
    {
        Until steps({[&] {
            plain = window([](const ProbeWindow& w) { return w.Find("label", "Значение не найдено!") != nullptr; });
            return plain && ClickFirst(*plain, {"ОК", "OK"});
        }});
        EXPECT_EQ(OrvoMessageBox("Значение не найдено!", MB_OK, std::string(), winapi::UiLanguage::Russian), IDOK);
    }
    ASSERT_TRUE(plain) << probe.Describe();
    EXPECT_TRUE(plain->Images(16).empty()) << plain->Describe();

    auto* frame = new wxFrame(nullptr, wxID_ANY, "host", wxDefaultPosition, wxSize(300, 300));
    auto* tree = new CTreeDBObjectsCtrl;
    ASSERT_TRUE(tree->Create(frame, wxID_ANY));
    frame->Show();
    tree->RunCommand(ID_TREEDB_FIND);
    ASSERT_NE(tree->FindDialog(), nullptr);
    std::optional<ProbeWindow> find;
    for (int i = 0; i < 50 && !find; ++i) {
        Pump(100);
        find = window([](const ProbeWindow& w) { return w.title == "Поиск объектов БД"; });
    }
    ASSERT_TRUE(find) << probe.Describe();
    Screenshot("find_dialog");
    EXPECT_NE(find->Find("button", "Отменить"), nullptr) << find->Describe();
    for (const ProbeItem& item : find->items)
        for (const char* english : {"Find", "Cancel", "Whole word", "Match case", "Search for:", "Up", "Down"})
            EXPECT_EQ(item.text.find(english), std::string::npos) << find->Describe();
    frame->Destroy();
    Pump(100);
}

} // namespace
