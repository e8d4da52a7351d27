#include "odbc/trees/ui/treedbobjects.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/messages.h"
#include "odbc/dialogs/ui/orvoresources.h"
#include "odbc/trees/ui/objectclipboard.h"

#include "afx/cmdid.h"
#include "afx/ui/uilanguage.h"

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/utils.h>
#include <wx/wupdlock.h>
#include <wx/xrc/xmlres.h>

#include <cstdio>

namespace {

class NodeData : public wxTreeItemData {
public:
    explicit NodeData(CDBTreeNode* node) : m_node(node) {}
    CDBTreeNode* m_node;
};

// The popup menu's items by their names in the resource.
const std::pair<const char*, int> kMenuCommands[] = {
    {"ID_TREEDB_SELECT", ID_TREEDB_SCRIPT_SELECT}, {"ID_TREEDB_INSERT", ID_TREEDB_SCRIPT_INSERT},
    {"ID_TREEDB_UPDATE", ID_TREEDB_SCRIPT_UPDATE}, {"ID_TREEDB_DELETE", ID_TREEDB_SCRIPT_DELETE},
    {"ID_TREEDB_EXECUTE", ID_TREEDB_SCRIPT_EXECUTE}, {"ID_TREEDB_REFRESH", ID_TREEDB_REFRESH},
    {"ID_TREEDB_FIND", ID_TREEDB_FIND},           {"ID_TREEDB_NEXT", ID_TREEDB_NEXT},
};

const int kCommands[] = {ID_TREEDB_REFRESH,       ID_TREEDB_SCRIPT_SELECT, ID_TREEDB_SCRIPT_INSERT,
                         ID_TREEDB_SCRIPT_UPDATE, ID_TREEDB_SCRIPT_DELETE, ID_TREEDB_SCRIPT_EXECUTE,
                         ID_TREEDB_NEXT,          ID_TREEDB_FIND};

// Gives the resource's items their command ids and sets their state.
void PrepareMenu(wxMenu* menu, const CTreeDBObjectsCtrl& tree)
{
    for (wxMenuItem* item : menu->GetMenuItems()) {
        if (item->IsSeparator())
            continue;
        if (item->IsSubMenu()) {
            PrepareMenu(item->GetSubMenu(), tree);
            continue;
        }
        int command = 0;
        for (auto [name, id] : kMenuCommands)
            if (item->GetId() == XRCID(name))
                command = id;
        item->SetId(ToWxId(command));
        item->Enable(command != 0 && tree.IsCommandEnabled(command));
    }
}

} // namespace

CTreeDBObjectsCtrl::CTreeDBObjectsCtrl()
{
    m_findData.SetFlags(wxFR_DOWN);
}

CTreeDBObjectsCtrl::~CTreeDBObjectsCtrl()
{
    // The find dialog belongs to this tree and goes with it.
    if (m_findDialog != nullptr)
        m_findDialog->Destroy();
}

bool CTreeDBObjectsCtrl::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
{
    if (!wxTreeCtrl::Create(parent, id, pos, size, wxTR_HAS_BUTTONS | wxTR_SINGLE | wxTR_FULL_ROW_HIGHLIGHT))
        return false;
    CSetResourceHandle resources;
    wxSize image = FromDIP(wxSize(16, 16));
    auto* images = new wxImageList(image.x, image.y, true, kNodeKindCount);
    for (int i = 0; i < kNodeKindCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "tree%02d", i);
        images->Add(OrvoImage(name, image));
    }
    AssignImageList(images);

    wxAcceleratorEntry keys[] = {{wxACCEL_CTRL, 'F', ToWxId(ID_TREEDB_FIND)},
                                 {wxACCEL_NORMAL, WXK_F3, ToWxId(ID_TREEDB_NEXT)},
                                 {wxACCEL_NORMAL, WXK_F5, ToWxId(ID_TREEDB_REFRESH)}};
    SetAcceleratorTable(wxAcceleratorTable(3, keys));
    for (int command : kCommands)
        Bind(wxEVT_MENU, [this, command](wxCommandEvent&) {
            if (IsCommandEnabled(command))
                RunCommand(command);
        }, ToWxId(command));

    Bind(wxEVT_TREE_ITEM_EXPANDING, &CTreeDBObjectsCtrl::OnExpanding, this);
    Bind(wxEVT_TREE_ITEM_COLLAPSING, &CTreeDBObjectsCtrl::OnCollapsing, this);
    Bind(wxEVT_TREE_BEGIN_DRAG, &CTreeDBObjectsCtrl::OnBeginDrag, this);
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& event) {
        wxPoint at = event.GetPosition() == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(event.GetPosition());
        wxRect client = GetClientRect();
        // The menu key gives no point inside: the middle of the tree.
        if (at == wxDefaultPosition || !client.Contains(at))
            at = wxPoint(client.width / 2, client.height / 2);
        ShowPopupMenu(at);
    });
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() && m_findDialog != nullptr)
            m_findDialog->Close();
    });
    Bind(wxEVT_FIND, &CTreeDBObjectsCtrl::OnFind, this);
    Bind(wxEVT_FIND_NEXT, &CTreeDBObjectsCtrl::OnFind, this);
    Bind(wxEVT_FIND_CLOSE, &CTreeDBObjectsCtrl::OnFind, this);
    return true;
}

void CTreeDBObjectsCtrl::SetConnect(CDatabaseEx* pDatabase)
{
    m_pDatabase = pDatabase;
    RunCommand(ID_TREEDB_REFRESH);
}

CDBTreeNode* CTreeDBObjectsCtrl::NodeOf(const wxTreeItemId& item) const
{
    if (!item.IsOk())
        return nullptr;
    auto* data = dynamic_cast<NodeData*>(GetItemData(item));
    return data != nullptr ? data->m_node : nullptr;
}

wxTreeItemId CTreeDBObjectsCtrl::ItemOf(const CDBTreeNode* node) const
{
    auto found = m_items.find(node);
    return found == m_items.end() ? wxTreeItemId() : found->second;
}

CDBTreeNode* CTreeDBObjectsCtrl::SelectedNode() const
{
    return NodeOf(GetSelection());
}

void CTreeDBObjectsCtrl::Reload()
{
    wxBusyCursor wait;
    wxWindowUpdateLocker noDrawing(this);
    DeleteAllItems();
    m_items.clear();
    m_model.Populate(m_pDatabase);
    CDBTreeNode* root = m_model.Root();
    if (root == nullptr)
        return;
    wxTreeItemId item = AddRoot(wxString::FromUTF8(root->text), root->kind, root->selectedKind, new NodeData(root));
    m_items[root] = item;
    Mirror(root, item);
    Expand(item);
}

// Adds the items of the node's children the window does not show yet.
void CTreeDBObjectsCtrl::Mirror(CDBTreeNode* node, const wxTreeItemId& item)
{
    for (const auto& child : node->children) {
        wxTreeItemId childItem = ItemOf(child.get());
        if (!childItem.IsOk()) {
            childItem = AppendItem(item, wxString::FromUTF8(child->text), child->kind, child->selectedKind,
                                   new NodeData(child.get()));
            m_items[child.get()] = childItem;
        }
        Mirror(child.get(), childItem);
    }
    SetItemImage(item, node->kind, wxTreeItemIcon_Normal);
    SetItemImage(item, node->selectedKind == node->kind || node->kind == kNodeFolderOpen ? node->kind : node->selectedKind,
                 wxTreeItemIcon_Selected);
    SetItemHasChildren(item, !node->children.empty() || node->hasChildrenMark);
}

void CTreeDBObjectsCtrl::OnExpanding(wxTreeEvent& event)
{
    CDBTreeNode* node = NodeOf(event.GetItem());
    if (node == nullptr || !m_model.IsConnected())
        return;
    wxWindowUpdateLocker noDrawing(this);
    {
        wxBusyCursor wait;
        m_model.Expand(node);
    }
    Mirror(node, event.GetItem());
}

void CTreeDBObjectsCtrl::OnCollapsing(wxTreeEvent& event)
{
    CDBTreeNode* node = NodeOf(event.GetItem());
    if (node == nullptr)
        return;
    m_model.Collapse(node);
    SetItemImage(event.GetItem(), node->kind, wxTreeItemIcon_Normal);
}

std::string CTreeDBObjectsCtrl::DragText(const wxTreeItemId& item) const
{
    CDBTreeNode* node = NodeOf(item);
    if (node == nullptr)
        return std::string();
    std::vector<std::string> children;
    for (const auto& child : node->children)
        children.push_back(child->text);
    return DragTextOf(node->kind, node->text, children);
}

void CTreeDBObjectsCtrl::OnBeginDrag(wxTreeEvent& event)
{
    std::string text = DragText(event.GetItem());
    _CopyTextToDragObj(text.c_str(), this);
}

bool CTreeDBObjectsCtrl::IsCommandEnabled(int command) const
{
    return m_model.IsCommandEnabled(command, SelectedNode());
}

void CTreeDBObjectsCtrl::RunCommand(int command)
{
    switch (command) {
    case ID_TREEDB_REFRESH: Reload(); break;
    case ID_TREEDB_FIND: OpenFindDialog(); break;
    case ID_TREEDB_NEXT: Search(); break;
    default:
        if (CDBTreeNode* node = SelectedNode())
            CopyObjectScript(m_pDatabase, command, node->kind, node->text);
        break;
    }
}

wxMenu* CTreeDBObjectsCtrl::MakePopupMenu() const
{
    CSetResourceHandle resources;
    std::unique_ptr<wxMenuBar> bar(wxXmlResource::Get()->LoadMenuBar("IDR_TREEDB_MENU"));
    if (!bar || bar->GetMenuCount() == 0)
        return nullptr;
    wxMenu* menu = bar->Remove(0);
    PrepareMenu(menu, *this);
    return menu;
}

void CTreeDBObjectsCtrl::ShowPopupMenu(const wxPoint& clientPoint)
{
    std::unique_ptr<wxMenu> menu(MakePopupMenu());
    if (menu)
        PopupMenu(menu.get(), clientPoint);
}

void CTreeDBObjectsCtrl::OpenFindDialog()
{
    if (m_findDialog != nullptr) {
        m_findDialog->Show();
        m_findDialog->Raise();
        return;
    }
    const CTreeDBFindSettings& find = TreeDBFindSettings();
    m_findData.SetFindString(wxString::FromUTF8(find.text));
    m_findData.SetFlags((find.searchDown ? wxFR_DOWN : 0) | (find.matchCase ? wxFR_MATCHCASE : 0) |
                        (find.wholeWord ? wxFR_WHOLEWORD : 0));
    afx::ScopedUiLanguage russian(winapi::UiLanguage::Russian);
    m_findDialog = new wxFindReplaceDialog(this, &m_findData, wxString::FromUTF8("Поиск объектов БД"));
    m_findDialog->Show();
    m_findDialog->Raise();
}

void CTreeDBObjectsCtrl::OnFind(wxFindDialogEvent& event)
{
    if (event.GetEventType() == wxEVT_FIND_CLOSE) {
        if (m_findDialog != nullptr)
            m_findDialog->Destroy();
        m_findDialog = nullptr;
        SetFocus();
        return;
    }
    CTreeDBFindSettings& find = TreeDBFindSettings();
    int flags = event.GetFlags();
    find.text = event.GetFindString().utf8_string();
    find.matchCase = (flags & wxFR_MATCHCASE) != 0;
    find.searchDown = (flags & wxFR_DOWN) != 0;
    find.wholeWord = (flags & wxFR_WHOLEWORD) != 0;
    Search();
}

void CTreeDBObjectsCtrl::Search()
{
    CDBTreeNode* found = m_model.Search(SelectedNode(), TreeDBFindSettings(), [this](CDBTreeNode* folder) {
        wxTreeItemId item = ItemOf(folder);
        if (item.IsOk())
            Expand(item); // the window's expansion reads the children
    });
    if (found != nullptr) {
        wxTreeItemId item = ItemOf(found);
        if (item.IsOk()) {
            SelectItem(item);
            EnsureVisible(item);
        }
    }
    SetFocus();
}

wxIMPLEMENT_DYNAMIC_CLASS(CTreeDBObjectsStruct, wxView);

CTreeDBObjectsStruct::~CTreeDBObjectsStruct() = default;

bool CTreeDBObjectsStruct::OnCreate(wxDocument* doc, long flags)
{
    if (!wxView::OnCreate(doc, flags))
        return false;
    wxWindow* frame = GetFrame();
    if (frame == nullptr) {
        auto* parent = dynamic_cast<wxFrame*>(wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr);
        frame = new wxDocChildFrame(doc, this, parent, wxID_ANY, doc->GetUserReadableName());
        SetFrame(frame);
    }
    m_tree = new CTreeDBObjectsCtrl;
    m_tree->Create(frame, wxID_ANY);
    frame->Show();
    OnUpdate(nullptr);
    return true;
}

void CTreeDBObjectsStruct::OnUpdate(wxView*, wxObject*)
{
    if (m_tree == nullptr)
        return;
    CDatabaseEx* db = GetConnect();
    // A closed connection leaves the tree empty, as none does.
    m_tree->SetConnect(db != nullptr && db->IsOpen() ? db : nullptr);
}

bool CTreeDBObjectsStruct::OnClose(bool deleteWindow)
{
    if (!wxView::OnClose(deleteWindow))
        return false;
    if (deleteWindow && GetFrame() != nullptr) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
        m_tree = nullptr;
    }
    return true;
}
