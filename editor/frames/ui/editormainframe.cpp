#include "editor/frames/ui/editormainframe.h"

#include "editor/frames/core/framelogic.h"
#include "editor/app/ui/settings.h"
#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"
#include "charts/views/chartview.h"
#include "diagram/odcontroller.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/propdlg.h>
#include <wx/checklst.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <dlfcn.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace tarnwick {

namespace {

constexpr int ID_VIEW_TREE_BAR = 32796;
constexpr int ID_WORKBOOK_MODE = 32795;
constexpr int ID_CUSTOMIZE = 200;
constexpr int AFX_IDW_STATUS_BAR = 0xE801;
constexpr const char* kTreePane = "TreeBar";

constexpr int kForwarded[] = {ID_ADD_GROUP,      ID_DELETE_GROUP,    ID_RENAME_GROUP,    ID_ADD_PROCESS,
                              ID_DELETE_PROCESS, ID_RENAME_PROCESS,  ID_ADD_DOCUMENT,    ID_DELETE_DOCUMENT,
                              ID_RENAME_DOCUMENT, ID_SHOW_PROPERTIES, ID_REREAD_PROCESS_TREE};
constexpr int kHelpCommands[] = {ID_HELP_FINDER, ID_CONTEXT_HELP, ID_HELP, ID_DEFAULT_HELP};
// The toolbar commands that the application and the tree serve; every other
// one acts on a chart.
constexpr int kFrameCommands[] = {res::ID_OPEN_CONNECTION, res::ID_CLOSE_CONNECTION, ID_FILE_OPEN,
                                  ID_TREE_LOAD_FROM_DB, ID_TREE_LOAD_FROM_FILE};

bool needsChart(int id)
{
    return std::find(std::begin(kFrameCommands), std::end(kFrameCommands), id) == std::end(kFrameCommands);
}

std::string paneName(int barId) { return "Bar" + std::to_string(barId); }

// Hides or shows the tab strip of the MDI client, a GTK notebook. Found at
// run time, so that a build without GTK's headers still links.
bool showNotebookTabs(wxWindow* client, bool show)
{
    using SetShowTabs = void (*)(void*, int);
    static auto setShowTabs = reinterpret_cast<SetShowTabs>(dlsym(RTLD_DEFAULT, "gtk_notebook_set_show_tabs"));
    if (!setShowTabs || !client || !client->GetHandle())
        return false;
    setShowTabs(client->GetHandle(), show ? 1 : 0);
    return true;
}

wxString menuLabel(wxMenuBar* bar, int id)
{
    if (!bar)
        return wxString();
    wxMenuItem* item = bar->FindItem(ToWxId(id));
    return item ? item->GetItemLabelText() : wxString();
}

} // namespace

const std::vector<ToolbarDef>& MainToolbars()
{
    static const std::vector<ToolbarDef> bars = [] {
        std::vector<ToolbarDef> list = {
            {0xE800, "Общие команды", 128, true,
             {32775, 32776, 0, ID_FILE_OPEN, 32804, 32813, 0, ID_FILE_PRINT}},
        };
        // The library's bars: size, alignment, moving, rotating, structure.
        const int libraryIds[] = {59396, 59397, 59398, 59399, 59400};
        const bool rows[] = {false, false, true, false, false};
        int i = 0;
        for (const ODToolbarInfo& info : ODLibraryToolbars()) {
            list.push_back({libraryIds[i], info.title, info.id, rows[i], info.commands});
            ++i;
        }
        list.push_back({59401, "Диаграмма", 134, false,
                        {32773, 32774, 32785, 44538, 32818, 0, 57632, 0, 32793, 32788, 32792}});
        return list;
    }();
    return bars;
}

CMainFrame::CMainFrame(wxDocManager* manager, ITreeHost& host)
    : wxDocMDIParentFrame(manager, nullptr, ToWxId(res::IDR_MAINFRAME),
                          wxString::FromUTF8(res::LoadString(res::IDS_APP_TITLE)), wxDefaultPosition, wxSize(1000, 720))
{
    m_mgr.SetManagedWindow(this);
    // A bar shown again takes the width it had, up to two thirds of the window
    // (the manager's own limit is a third).
    m_mgr.SetDockSizeConstraint(2.0 / 3.0, 1.0 / 3.0);

    if (wxMenuBar* bar = LoadMenuBarResource("IDR_MAINFRAME")) {
        manager->FileHistoryUseMenu(bar->GetMenu(0));
        manager->FileHistoryAddFilesToMenu(bar->GetMenu(0));
        SetMenuBar(bar);
    }

    CreateToolbars();

    wxStatusBar* status = CreateStatusBar(4, wxSTB_DEFAULT_STYLE, ToWxId(AFX_IDW_STATUS_BAR));
    const int widths[] = {-1, 50, 50, 50};
    status->SetStatusWidths(4, widths);

    m_wndTreeBar = new CTreeDockingWnd(this, host);
    m_mgr.AddPane(m_wndTreeBar, wxAuiPaneInfo()
                                    .Name(kTreePane)
                                    .Caption(wxString::FromUTF8("Панель Управления"))
                                    .Left()
                                    .BestSize(220, -1)
                                    .MinSize(120, -1)
                                    .LeftDockable()
                                    .RightDockable()
                                    .TopDockable(false)
                                    .BottomDockable(false)
                                    .CloseButton());
    m_mgr.AddPane(GetClientWindow(), wxAuiPaneInfo().Name("Charts").CenterPane());
    LoadBarState();
    m_mgr.Update();

    wxAcceleratorEntry nextPane(wxACCEL_NORMAL, WXK_F6, ToWxId(ID_NEXT_PANE));
    SetAcceleratorTable(wxAcceleratorTable(1, &nextPane));

    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    // The bar's close button hides it as the menu's toggle does.
    Bind(wxEVT_AUI_PANE_CLOSE, [this](wxAuiManagerEvent& event) {
        if (event.GetPane() && event.GetPane()->window == m_wndTreeBar)
            KeepTreeBarWidth();
        event.Skip();
    });
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    for (int id : kForwarded) {
        Bind(wxEVT_MENU, &CMainFrame::OnForwardToTree, this, ToWxId(id));
        if (id != ID_ADD_GROUP && id != ID_REREAD_PROCESS_TREE)
            Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateForwarded, this, ToWxId(id));
    }
    Bind(wxEVT_MENU, &CMainFrame::OnToggleTreeBar, this, ToWxId(ID_VIEW_TREE_BAR));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateToggleTreeBar, this, ToWxId(ID_VIEW_TREE_BAR));
    Bind(wxEVT_MENU, &CMainFrame::OnWorkbookMode, this, ToWxId(ID_WORKBOOK_MODE));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateWorkbookMode, this, ToWxId(ID_WORKBOOK_MODE));
    Bind(wxEVT_MENU, &CMainFrame::OnCustomize, this, ToWxId(ID_CUSTOMIZE));
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnNextPane(); }, ToWxId(ID_NEXT_PANE));
    Bind(wxEVT_MENU, &CMainFrame::OnLoadFromDB, this, ToWxId(ID_TREE_LOAD_FROM_DB));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateLoadFromDB, this, ToWxId(ID_TREE_LOAD_FROM_DB));
    // The active chart enables its own commands (or not); without one they are greyed.
    for (const ToolbarDef& def : MainToolbars())
        for (int command : def.commands)
            if (command != 0 && needsChart(command))
                Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateChartCommand, this, ToWxId(command));
    // No help files on Linux.
    for (int id : kHelpCommands)
        Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(false); }, ToWxId(id));

    SetChartProgress(this);
}

CMainFrame::~CMainFrame()
{
    SetChartProgress(nullptr);
    m_mgr.UnInit();
}

void CMainFrame::CreateToolbars()
{
    std::unique_ptr<wxMenuBar> chartMenu(LoadMenuBarResource("IDR_TARNWICKTYPE"));
    std::unique_ptr<wxMenuBar> mainMenu(LoadMenuBarResource("IDR_MAINFRAME"));
    int row = -1, position = 0;
    for (const ToolbarDef& def : MainToolbars()) {
        auto* bar = new wxAuiToolBar(this, ToWxId(def.id), wxDefaultPosition, wxDefaultSize,
                                     wxAUI_TB_DEFAULT_STYLE | wxAUI_TB_GRIPPER);
        for (int command : def.commands) {
            if (command == 0) {
                bar->AddSeparator();
                continue;
            }
            wxString label = menuLabel(mainMenu.get(), command);
            if (label.empty())
                label = menuLabel(chartMenu.get(), command);
            bar->AddTool(ToWxId(command), label, CommandBitmap(command), label);
        }
        bar->Realize();
        if (def.newRow) {
            ++row;
            position = 0;
        }
        m_mgr.AddPane(bar, wxAuiPaneInfo()
                               .Name(paneName(def.id))
                               .Caption(wxString::FromUTF8(def.title))
                               .ToolbarPane()
                               .Top()
                               .Row(row)
                               .Position(position++));
        m_toolbars.push_back(bar);
    }
}

bool CMainFrame::IsTreeBarVisible()
{
    wxAuiPaneInfo& pane = m_mgr.GetPane(kTreePane);
    return pane.IsOk() && pane.IsShown();
}

void CMainFrame::ShowTreeBar(bool show)
{
    if (!show)
        KeepTreeBarWidth();
    m_mgr.GetPane(kTreePane).Show(show);
    m_mgr.Update();
}

void CMainFrame::KeepTreeBarWidth()
{
    // A docked bar's width is its dock's, which goes when the bar is hidden:
    // the pane keeps the width the user gave it, for showing it again and
    // for the next run.
    wxAuiPaneInfo& pane = m_mgr.GetPane(kTreePane);
    if (pane.IsOk() && pane.IsShown() && pane.IsDocked() && m_wndTreeBar->GetSize().x > 0)
        pane.BestSize(m_wndTreeBar->GetSize().x, pane.best_size.y);
}

void CMainFrame::SetWorkbookMode(bool on)
{
    showNotebookTabs(GetClientWindow(), on);
    m_bWorkbookMode = on;
}

void CMainFrame::SaveBarState()
{
    KeepTreeBarWidth();
    CFileProfileStore store;
    store.WriteProfileString("BarState", "Layout", m_mgr.SavePerspective().utf8_string());
    store.Flush();
}

void CMainFrame::LoadBarState()
{
    CFileProfileStore store;
    const std::string layout = store.GetProfileString("BarState", "Layout", "");
    if (layout.empty())
        return;
    // A layout that does not load leaves the bars where they are.
    const wxString kept = m_mgr.SavePerspective();
    if (!m_mgr.LoadPerspective(wxString::FromUTF8(layout), false))
        m_mgr.LoadPerspective(kept, false);
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    SaveBarState();
    event.Skip();
}

void CMainFrame::OnIdle(wxIdleEvent& event)
{
    if (wxStatusBar* status = GetStatusBar()) {
        const struct {
            int field;
            wxKeyCode key;
            const char* text;
        } locks[] = {{1, WXK_CAPITAL, "CAP"}, {2, WXK_NUMLOCK, "NUM"}, {3, WXK_SCROLL, "SCRL"}};
        for (const auto& lock : locks) {
            const wxString text = wxGetKeyState(lock.key) ? wxString(lock.text) : wxString();
            if (status->GetStatusText(lock.field) != text)
                status->SetStatusText(text, lock.field);
        }
    }
    event.Skip();
}

void CMainFrame::BeginProgress(const std::string& text, int lower, int upper)
{
    wxStatusBar* status = GetStatusBar();
    if (!status)
        return;
    EndProgress();
    status->SetStatusText(wxString::FromUTF8(text), 0);
    wxRect field;
    status->GetFieldRect(0, field);
    const int textWidth = status->GetTextExtent(wxString::FromUTF8(text)).x + 12;
    const int width = std::max(60, std::min(200, field.width - textWidth));
    m_progressLower = lower;
    m_progress = new wxGauge(status, wxID_ANY, std::max(1, upper - lower), wxPoint(field.x + textWidth, field.y + 1),
                             wxSize(width, std::max(8, field.height - 2)));
    m_progress->SetValue(0);
    status->Update();
}

void CMainFrame::StepProgress()
{
    if (!m_progress)
        return;
    m_progress->SetValue(std::min(m_progress->GetRange(), m_progress->GetValue() + 1));
    // Load, save and check run in the handler: repaint now, never yield.
    m_progress->Update();
}

void CMainFrame::EndProgress()
{
    if (m_progress) {
        m_progress->Destroy();
        m_progress = nullptr;
    }
    if (wxStatusBar* status = GetStatusBar())
        status->SetStatusText(wxString(), 0);
}

void CMainFrame::OnForwardToTree(wxCommandEvent& event)
{
    if (CBaseTreeCtrl* tree = GetTree())
        wxQueueEvent(tree, new wxCommandEvent(wxEVT_MENU, event.GetId()));
}

void CMainFrame::OnUpdateForwarded(wxUpdateUIEvent& event)
{
    bool enabled = false;
    if (CBaseTreeCtrl* tree = GetTree())
        tree->UpdateCommand(FromWxId(event.GetId()), enabled);
    event.Enable(enabled);
}

void CMainFrame::OnUpdateChartCommand(wxUpdateUIEvent& event)
{
    // Reached only when the active chart, if any, left the command alone.
    event.Enable(GetActiveChild() != nullptr);
}

void CMainFrame::OnToggleTreeBar(wxCommandEvent&)
{
    ShowTreeBar(!IsTreeBarVisible());
}

void CMainFrame::OnUpdateToggleTreeBar(wxUpdateUIEvent& event)
{
    CTarnwickAppCore* app = CTarnwickAppCore::Instance();
    const bool kindKnown = app && app->m_cmdInfo.m_nDiagrammType > 0;
    event.Enable(kindKnown);
    event.Check(kindKnown && IsTreeBarVisible());
}

void CMainFrame::OnWorkbookMode(wxCommandEvent&)
{
    SetWorkbookMode(!m_bWorkbookMode);
}

void CMainFrame::OnUpdateWorkbookMode(wxUpdateUIEvent& event)
{
    event.Check(m_bWorkbookMode);
}

void CMainFrame::OnLoadFromDB(wxCommandEvent&)
{
    if (CBaseTreeCtrl* tree = GetTree())
        tree->Logic().OnCommand(ID_TREE_LOAD_FROM_DB);
}

void CMainFrame::OnUpdateLoadFromDB(wxUpdateUIEvent& event)
{
    bool enabled = false;
    if (CBaseTreeCtrl* tree = GetTree())
        tree->UpdateCommand(ID_TREE_LOAD_FROM_DB, enabled);
    event.Enable(enabled);
}

void CMainFrame::OnNextPane()
{
    wxView* view = nullptr;
    if (wxMDIChildFrame* child = GetActiveChild())
        if (auto* docChild = dynamic_cast<wxDocMDIChildFrame*>(child))
            view = docChild->GetView();
    wxWindow* viewWindow = nullptr;
    if (auto* chartView = dynamic_cast<CChartViewBase*>(view))
        viewWindow = chartView->GetCanvas();
    wxWindow* focus = wxWindow::FindFocus();
    bool inTreeBar = false;
    for (wxWindow* w = focus; w; w = w->GetParent())
        if (w == m_wndTreeBar)
            inTreeBar = true;
    switch (NextPaneTarget(inTreeBar, IsTreeBarVisible(), viewWindow != nullptr, focus && focus == viewWindow)) {
    case PaneTarget::View:
        viewWindow->SetFocus();
        break;
    case PaneTarget::Tree:
        if (CBaseTreeCtrl* tree = GetTree())
            tree->SetFocus();
        break;
    case PaneTarget::None:
        break;
    }
}

void CMainFrame::OnCustomize(wxCommandEvent&)
{
    // The bars can be shown and hidden here; buttons are not dragged between bars.
    wxPropertySheetDialog sheet(this, wxID_ANY, wxString::FromUTF8("Настройки панели управления"));
    sheet.CreateButtons(wxOK | wxCANCEL);
    wxBookCtrlBase* book = sheet.GetBookCtrl();

    auto* barsPage = new wxPanel(book);
    auto* bars = new wxCheckListBox(barsPage, wxID_ANY);
    for (std::size_t i = 0; i < m_toolbars.size(); ++i) {
        bars->Append(wxString::FromUTF8(MainToolbars()[i].title));
        bars->Check(static_cast<unsigned>(i), m_mgr.GetPane(m_toolbars[i]).IsShown());
    }
    auto* barsSizer = new wxBoxSizer(wxVERTICAL);
    barsSizer->Add(bars, 1, wxEXPAND | wxALL, 8);
    barsPage->SetSizer(barsSizer);
    book->AddPage(barsPage, wxString::FromUTF8("Панели инструментов")); // own wording

    auto* commandsPage = new wxPanel(book);
    auto* groups = new wxListBox(commandsPage, wxID_ANY);
    groups->Append(wxString::FromUTF8("Общие команды"));
    groups->Append(wxString::FromUTF8("Меню"));
    auto* commands = new wxListBox(commandsPage, wxID_ANY);
    auto showGroup = [this, groups, commands](int group) {
        commands->Clear();
        if (group == 0) {
            for (int command : MainToolbars().front().commands)
                if (command != 0)
                    if (wxMenuItem* item = GetMenuBar()->FindItem(ToWxId(command)))
                        commands->Append(item->GetItemLabelText());
        } else if (group == 1) {
            for (std::size_t i = 0; i < GetMenuBar()->GetMenuCount(); ++i)
                commands->Append(wxMenuItem::GetLabelText(GetMenuBar()->GetMenuLabel(i)));
        }
    };
    groups->Bind(wxEVT_LISTBOX, [groups, showGroup](wxCommandEvent&) { showGroup(groups->GetSelection()); });
    groups->SetSelection(0);
    showGroup(0);
    auto* commandsSizer = new wxBoxSizer(wxHORIZONTAL);
    commandsSizer->Add(groups, 1, wxEXPAND | wxALL, 8);
    commandsSizer->Add(commands, 2, wxEXPAND | wxALL, 8);
    commandsPage->SetSizer(commandsSizer);
    book->AddPage(commandsPage, wxString::FromUTF8("Команды"));

    sheet.LayoutDialog();
    sheet.SetMinSize(wxSize(480, 360));
    if (sheet.ShowModal() != wxID_OK)
        return;
    for (std::size_t i = 0; i < m_toolbars.size(); ++i)
        m_mgr.GetPane(m_toolbars[i]).Show(bars->IsChecked(static_cast<unsigned>(i)));
    m_mgr.Update();
}

} // namespace tarnwick
