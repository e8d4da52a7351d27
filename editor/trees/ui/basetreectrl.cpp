#include "editor/trees/ui/basetreectrl.h"

#include "editor/app/core/waitcursor.h"
#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"

#include <wx/app.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <dlfcn.h>

namespace tarnwick {

namespace {

// The trees' long reads show the toolkit's busy cursor while there is a
// program to show it.
bool showBusyCursor()
{
    if (!wxTheApp)
        return false;
    wxBeginBusyCursor();
    return true;
}
void hideBusyCursor() { wxEndBusyCursor(); }
[[maybe_unused]] const bool kBusyCursorSet = (SetWaitCursorHandlers(showBusyCursor, hideBusyCursor), true);

// GTK draws scroll bars over the content, and only while the pointer is
// near them: a name cut at the bar's edge gave no sign that the tree scrolls.
// The tree keeps classic bars. Found at run time, as GTK's headers are not
// part of the build.
void keepClassicScrollBars(wxWindow& window)
{
    using GetType = unsigned long (*)();
    using IsA = int (*)(void*, unsigned long);
    using SetOverlay = void (*)(void*, int);
    static auto scrolledWindowType = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "gtk_scrolled_window_get_type"));
    static auto isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    static auto setOverlay =
        reinterpret_cast<SetOverlay>(dlsym(RTLD_DEFAULT, "gtk_scrolled_window_set_overlay_scrolling"));
    void* widget = window.GetHandle();
    if (scrolledWindowType && isA && setOverlay && widget && isA(widget, scrolledWindowType()))
        setOverlay(widget, 0);
}

// Commands the tree's own menu and keys carry, beside the forwarded ones.
constexpr int kTreeCommands[] = {ID_TREE_REREAD,      ID_TREE_LOAD_FROM_DB, ID_TREE_LOAD_FROM_FILE, ID_ADD_GROUP,
                                 ID_DELETE_GROUP,     ID_RENAME_GROUP,      ID_ADD_PROCESS,         ID_DELETE_PROCESS,
                                 ID_RENAME_PROCESS,   ID_ADD_DOCUMENT,      ID_DELETE_DOCUMENT,     ID_RENAME_DOCUMENT,
                                 ID_SHOW_PROPERTIES,  ID_REREAD_PROCESS_TREE, ID_TREE_ADD_GROUP,    ID_TREE_ADD_PROCESS,
                                 ID_TREE_DELETE,      ID_TREE_RENAME,       ID_TREE_ADD_DOCUMENT,
                                 ID_TREE_PROCESS_PROPERTIES, ID_TREE_DOCUMENT_PROPERTIES};

// The display's double-click time, which also lets a slow click wait
// before it edits.
long doubleClickTime()
{
    const int ms = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    return ms > 0 ? ms : 500;
}

bool isTreeCommand(int id)
{
    for (int c : kTreeCommands)
        if (c == id)
            return true;
    return false;
}

} // namespace

CBaseTreeCtrl::CBaseTreeCtrl(TreeClass treeClass, ITreeHost& host)
    : CWxTreeItems(static_cast<wxTreeCtrl&>(*this))
    , m_treeClass(treeClass)
    , m_clicks(doubleClickTime())
    , m_logic(CreateTreeLogic(treeClass, *this, host))
{
    m_logic->SetDialogs(&m_dialogs);
}

CBaseTreeCtrl::~CBaseTreeCtrl()
{
    // The editor, a child, outlives this part of the tree.
    if (m_labelEditor)
        m_labelEditor->Unbind(wxEVT_DESTROY, &CBaseTreeCtrl::OnLabelEditorDestroyed, this);
}

bool CBaseTreeCtrl::Create(wxWindow* parent)
{
    // Labels are edited outside read-only mode only. The control's own
    // slow-click edit (wxTR_EDIT_LABELS) stays off: it started on the
    // second click of a double-click whose first click was held long.
    const long style = wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE | wxTR_HIDE_ROOT | wxBORDER_SUNKEN;
    m_bEditLabels = !g_bReadOnlyMode;
    if (!wxTreeCtrl::Create(parent, kTreeId, wxDefaultPosition, wxDefaultSize, style))
        return false;
    keepClassicScrollBars(*this);
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    auto* images = new wxImageList(16, 16, true, 8);
    for (const wxBitmap& bitmap : TreeImageStrip())
        images->Add(bitmap);
    AssignImageList(images);
    AddRoot(wxString());
    Bind(wxEVT_TREE_ITEM_EXPANDING, &CBaseTreeCtrl::OnExpanding, this);
    Bind(wxEVT_TREE_ITEM_ACTIVATED, &CBaseTreeCtrl::OnActivated, this);
    Bind(wxEVT_TREE_BEGIN_LABEL_EDIT, &CBaseTreeCtrl::OnBeginLabelEdit, this);
    Bind(wxEVT_TREE_END_LABEL_EDIT, &CBaseTreeCtrl::OnEndLabelEdit, this);
    Bind(wxEVT_TREE_KEY_DOWN, &CBaseTreeCtrl::OnKeyDown, this);
    Bind(wxEVT_CONTEXT_MENU, &CBaseTreeCtrl::OnContextMenu, this);
    Bind(wxEVT_MENU, &CBaseTreeCtrl::OnCommand, this);
    Bind(wxEVT_UPDATE_UI, &CBaseTreeCtrl::OnUpdateCommand, this);
    Bind(wxEVT_LEFT_DOWN, &CBaseTreeCtrl::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CBaseTreeCtrl::OnLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &CBaseTreeCtrl::OnLeftDoubleClick, this);
    Bind(wxEVT_RIGHT_DOWN, &CBaseTreeCtrl::ForgetClicks, this);
    Bind(wxEVT_MIDDLE_DOWN, &CBaseTreeCtrl::ForgetClicks, this);
    Bind(wxEVT_MOUSEWHEEL, &CBaseTreeCtrl::ForgetClicks, this);
    Bind(wxEVT_KEY_DOWN, &CBaseTreeCtrl::ForgetClicks, this);
    Bind(wxEVT_KILL_FOCUS, &CBaseTreeCtrl::ForgetClicks, this);
    m_editTimer.SetOwner(this);
    Bind(wxEVT_TIMER, &CBaseTreeCtrl::OnEditTimer, this, m_editTimer.GetId());
    return true;
}

void CBaseTreeCtrl::DeleteAllItems() { CWxTreeItems::DeleteAllItems(); }

void CBaseTreeCtrl::SelectItem(TreeItem item)
{
    if (!item) {
        const wxTreeItemId selected = wxTreeCtrl::GetSelection();
        if (selected.IsOk())
            SetItemDropHighlight(selected, false);
    }
    CWxTreeItems::SelectItem(item);
}

wxTextCtrl* CBaseTreeCtrl::EditLabel(const wxTreeItemId& item, wxClassInfo* textCtrlClass)
{
    wxTextCtrl* editor = wxTreeCtrl::EditLabel(item, textCtrlClass);
    if (editor && editor != m_labelEditor) {
        if (m_labelEditor)
            m_labelEditor->Unbind(wxEVT_DESTROY, &CBaseTreeCtrl::OnLabelEditorDestroyed, this);
        m_labelEditor = editor;
        editor->Bind(wxEVT_DESTROY, &CBaseTreeCtrl::OnLabelEditorDestroyed, this);
    }
    return editor;
}

void CBaseTreeCtrl::OnLabelEditorDestroyed(wxWindowDestroyEvent& event)
{
    if (event.GetEventObject() == m_labelEditor)
        m_labelEditor = nullptr;
    event.Skip();
}

bool CBaseTreeCtrl::IsEditingLabel() { return CWxTreeItems::IsEditingLabel() || m_labelEditor != nullptr; }

void CBaseTreeCtrl::OnLeftDown(wxMouseEvent& event)
{
    m_editTimer.Stop();
    int flags = 0;
    const wxTreeItemId hit = HitTest(event.GetPosition(), flags);
    const bool onItem = hit.IsOk() && (flags & (wxTREE_HITTEST_ONITEMLABEL | wxTREE_HITTEST_ONITEMICON)) != 0;
    const TreeItem item = onItem ? FromId(hit) : 0;
    const bool armed = m_bEditLabels && onItem && hit == wxTreeCtrl::GetSelection() && HasFocus();
    if (m_clicks.OnPress(item, (flags & wxTREE_HITTEST_ONITEMLABEL) != 0, armed, event.GetTimestamp())) {
        // The second click of a double-click the toolkit took for two clicks.
        CallAfter([this, item] {
            if (!IsValid(item))
                return;
            wxTreeEvent activated(wxEVT_TREE_ITEM_ACTIVATED, this, ToId(item));
            GetEventHandler()->ProcessEvent(activated);
        });
    }
    event.Skip();
}

void CBaseTreeCtrl::OnLeftUp(wxMouseEvent& event)
{
    if (m_clicks.OnRelease(event.GetTimestamp()))
        m_editTimer.StartOnce(static_cast<int>(m_clicks.DoubleClickMs()));
    event.Skip();
}

void CBaseTreeCtrl::OnLeftDoubleClick(wxMouseEvent& event)
{
    m_editTimer.Stop();
    // A double-click already opened from its second press opens nothing more.
    if (m_clicks.OnDoubleClick())
        event.Skip();
}

void CBaseTreeCtrl::OnEditTimer(wxTimerEvent&)
{
    const TreeItem item = m_clicks.PressedItem();
    if (item && IsValid(item) && GetSelection() == item && !IsEditingLabel())
        EditLabel(ToId(item));
}

void CBaseTreeCtrl::ForgetClicks(wxEvent& event)
{
    m_editTimer.Stop();
    m_clicks.Forget();
    event.Skip();
}

void CBaseTreeCtrl::OnExpanding(wxTreeEvent& event)
{
    if (!m_logic->OnItemExpanding(FromId(event.GetItem())))
        event.Veto();
}

void CBaseTreeCtrl::OnActivated(wxTreeEvent& event)
{
    wxBusyCursor wait;
    if (m_logic->OnItemActivated(FromId(event.GetItem())))
        SetFocus();
    else
        event.Skip();
}

void CBaseTreeCtrl::OnBeginLabelEdit(wxTreeEvent& event)
{
    if (!m_logic->OnBeginLabelEdit(FromId(event.GetItem())))
        event.Veto();
}

void CBaseTreeCtrl::OnEndLabelEdit(wxTreeEvent& event)
{
    const TreeItem item = FromId(event.GetItem());
    if (!m_logic->OnEndLabelEdit(item, event.GetLabel().utf8_string(), event.IsEditCancelled()))
        event.Veto();
}

void CBaseTreeCtrl::OnKeyDown(wxTreeEvent& event)
{
    // Delete and F2 act on the tree's items, never inside its label editor.
    if (!IsEditingLabel()) {
        if (event.GetKeyCode() == WXK_DELETE) {
            m_logic->OnCommand(ID_TREE_DELETE);
            return;
        }
        if (event.GetKeyCode() == WXK_F2) {
            m_logic->OnCommand(ID_TREE_RENAME);
            return;
        }
    }
    event.Skip();
}

void CBaseTreeCtrl::OnContextMenu(wxContextMenuEvent& event)
{
    wxPoint at = event.GetPosition();
    at = at == wxDefaultPosition ? wxPoint(0, 0) : ScreenToClient(at);
    int flags = 0;
    const wxTreeItemId hit = HitTest(at, flags);
    const TreeMenu menu = m_logic->OnContextMenu(FromId(hit), hit.IsOk() && (flags & wxTREE_HITTEST_ONITEMLABEL));
    std::unique_ptr<wxMenu> popup(LoadTreeMenu(menu));
    if (popup)
        PopupMenu(popup.get(), at);
}

void CBaseTreeCtrl::OnCommand(wxCommandEvent& event)
{
    const int id = FromWxId(event.GetId());
    if (!isTreeCommand(id) || !m_logic->OnCommand(id))
        event.Skip();
}

void CBaseTreeCtrl::OnUpdateCommand(wxUpdateUIEvent& event)
{
    bool enabled = false;
    if (m_logic->OnUpdateCommand(FromWxId(event.GetId()), enabled))
        event.Enable(enabled);
    else
        event.Skip();
}

wxMenu* LoadTreeMenu(const TreeMenu& menu)
{
    if (menu.popup < 0)
        return nullptr;
    std::unique_ptr<wxMenuBar> bar(LoadMenuBarResource(menu.resource));
    if (!bar || menu.popup >= static_cast<int>(bar->GetMenuCount()))
        return nullptr;
    wxMenu* popup = bar->Remove(menu.popup);
    for (int id : menu.greyed)
        if (popup->FindItem(ToWxId(id)))
            popup->Enable(ToWxId(id), false);
    return popup;
}

} // namespace tarnwick
