#include "treelogic.h"

#include "dwftreelogic.h"

#include "dbutil.h"

#include "charts/basediagramdoc.h"
#include "resources/tarnwick/strings.h"

#include <algorithm>

namespace tarnwick {

using namespace ado;

CMemoryTreeItems::CMemoryTreeItems()
{
    m_items[1] = Item{};
}

CMemoryTreeItems::Item& CMemoryTreeItems::at(TreeItem item)
{
    auto it = m_items.find(item);
    if (it == m_items.end())
        throw std::out_of_range("no such tree item");
    return it->second;
}

TreeItem CMemoryTreeItems::AppendItem(TreeItem parent, const std::string& text, int image, std::int32_t data,
                                      bool hasChildren)
{
    Item& p = at(parent);
    const TreeItem id = m_next++;
    p.children.push_back(id);
    m_items[id] = Item{parent, text, image, data, hasChildren, false, {}};
    return id;
}

std::string CMemoryTreeItems::GetItemText(TreeItem item) { return at(item).text; }
void CMemoryTreeItems::SetItemText(TreeItem item, const std::string& text) { at(item).text = text; }
int CMemoryTreeItems::GetItemImage(TreeItem item) { return at(item).image; }
std::int32_t CMemoryTreeItems::GetItemData(TreeItem item) { return at(item).data; }
TreeItem CMemoryTreeItems::GetItemParent(TreeItem item) { return at(item).parent; }
std::vector<TreeItem> CMemoryTreeItems::GetChildren(TreeItem item) { return at(item).children; }
bool CMemoryTreeItems::HasChildrenMark(TreeItem item) { return at(item).hasChildren; }
bool CMemoryTreeItems::IsExpanded(TreeItem item) { return at(item).expanded; }

void CMemoryTreeItems::Expand(TreeItem item)
{
    Item& i = at(item);
    if (i.children.empty() && !i.hasChildren)
        return;
    i.expanded = true;
}

void CMemoryTreeItems::DeleteItem(TreeItem item)
{
    if (item == GetRootItem())
        return;
    for (TreeItem child : std::vector<TreeItem>(at(item).children))
        DeleteItem(child);
    auto& siblings = at(at(item).parent).children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    m_items.erase(item);
    if (m_selection == item)
        m_selection = 0;
    if (m_editing == item)
        m_editing = 0;
}

void CMemoryTreeItems::DeleteAllItems()
{
    for (TreeItem child : std::vector<TreeItem>(at(GetRootItem()).children))
        DeleteItem(child);
}

std::int32_t PackProcessWord(std::int16_t grp, std::int16_t type)
{
    return static_cast<std::int32_t>(static_cast<std::uint16_t>(grp) |
                                     (static_cast<std::uint32_t>(static_cast<std::uint16_t>(type)) << 16));
}

void UnpackProcessWord(std::int32_t word, std::int16_t& grp, std::int16_t& type)
{
    const auto bits = static_cast<std::uint32_t>(word);
    grp = static_cast<std::int16_t>(bits & 0xFFFF);
    type = static_cast<std::int16_t>(bits >> 16);
}

namespace {

_RecordsetPtr OpenReader(const std::string& sql, const _ConnectionPtr& connection)
{
    _RecordsetPtr rs;
    HRESULT hr = rs.CreateInstance("ADODB.Recordset");
    if (hr != S_OK)
        throw _com_error(hr);
    rs->Open(sql, connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    return rs;
}

} // namespace

_ConnectionPtr CBaseTreeLogic::Connection()
{
    CTarnwickAppCore* app = CTarnwickAppCore::Instance();
    return app ? app->ConnectDB(FALSE) : nullptr;
}

TreeItem CBaseTreeLogic::AppendDataSourceRoot()
{
    CTarnwickAppCore* app = CTarnwickAppCore::Instance();
    const std::string dsn = app ? app->m_cmdInfo.m_strDSN : std::string();
    return m_items.AppendItem(m_items.GetRootItem(), dsn + " [DSN]", IMAGE_DSN, 0);
}

bool CBaseTreeLogic::FillTree()
{
    AppendDataSourceRoot();
    return true;
}

bool CBaseTreeLogic::FillChildren(TreeItem) { return true; }
TreeMenu CBaseTreeLogic::GetItemMenu(TreeItem) { return {}; }
bool CBaseTreeLogic::RenameItem(TreeItem, const std::string&) { return false; }
void CBaseTreeLogic::OpenItemFromDB(TreeItem) {}
void CBaseTreeLogic::OpenItemFromFile(TreeItem) {}
bool CBaseTreeLogic::IsDiagramItem(TreeItem) { return false; }
std::string CBaseTreeLogic::GetTreeTitle() { return res::LoadString(res::IDS_TREE_UNDEFINED); }
bool CBaseTreeLogic::UpdateEditCommand(int) { return false; }

bool CBaseTreeLogic::OnItemExpanding(TreeItem item)
{
    if (!m_items.GetChildren(item).empty())
        return true;
    return FillChildren(item);
}

bool CBaseTreeLogic::OnItemActivated(TreeItem item)
{
    if (!item || !IsDiagramItem(item))
        return false;
    OpenItemFromDB(item);
    return true;
}

bool CBaseTreeLogic::OnBeginLabelEdit(TreeItem item)
{
    return item != 0 && !g_bReadOnlyMode;
}

bool CBaseTreeLogic::OnEndLabelEdit(TreeItem item, const std::string& text, bool cancelled)
{
    // The item may have gone while its label was edited.
    if (cancelled || !item || !m_items.IsValid(item))
        return false;
    return RenameItem(item, text);
}

TreeMenu CBaseTreeLogic::OnContextMenu(TreeItem hit, bool onLabel)
{
    if (onLabel && hit) {
        m_items.SelectItem(hit);
    } else {
        m_items.SelectItem(0);
        hit = onLabel ? hit : 0;
    }
    return GetItemMenu(hit);
}

void CBaseTreeLogic::Reread()
{
    _ConnectionPtr connection = Connection();
    if (!connection || connection->GetState() == adStateClosed)
        return;
    m_items.DeleteAllItems();
    FillTree();
}

bool CBaseTreeLogic::OnCommand(int id)
{
    // Nothing that changes the catalogue runs while a label is being edited.
    const bool editing = m_items.IsEditingLabel();
    switch (id) {
    case ID_TREE_REREAD:
    case ID_REREAD_PROCESS_TREE:
        Reread();
        return true;
    case ID_TREE_LOAD_FROM_DB:
        if (TreeItem item = m_items.GetSelection(); item && IsDiagramItem(item))
            OpenItemFromDB(item);
        return true;
    case ID_TREE_LOAD_FROM_FILE:
        if (TreeItem item = m_items.GetSelection(); item && IsDiagramItem(item))
            OpenItemFromFile(item);
        return true;
    case ID_ADD_GROUP:
        if (!editing)
            AddGroup();
        return true;
    case ID_DELETE_GROUP:
        if (!editing)
            DeleteGroup();
        return true;
    case ID_RENAME_GROUP:
        if (!editing)
            EditGroupName();
        return true;
    case ID_ADD_PROCESS:
        if (!editing)
            AddProcess();
        return true;
    case ID_DELETE_PROCESS:
        if (!editing)
            DeleteProcess();
        return true;
    case ID_RENAME_PROCESS:
        if (!editing)
            EditProcessName();
        return true;
    case ID_ADD_DOCUMENT:
        if (!editing)
            AddDocument();
        return true;
    case ID_DELETE_DOCUMENT:
        if (!editing)
            DeleteDocument();
        return true;
    case ID_RENAME_DOCUMENT:
        if (!editing)
            EditDocumentName();
        return true;
    case ID_SHOW_PROPERTIES:
    case ID_TREE_PROCESS_PROPERTIES:
    case ID_TREE_DOCUMENT_PROPERTIES:
        if (!editing)
            ShowProperties();
        return true;
    case ID_TREE_ADD_GROUP:
        if (!editing)
            AddGroup();
        return true;
    case ID_TREE_ADD_PROCESS:
        if (!editing)
            AddProcess();
        return true;
    case ID_TREE_ADD_DOCUMENT:
        if (!editing)
            AddDocument();
        return true;
    case ID_TREE_DELETE:
        // One delete for every kind of item.
        if (!editing)
            DeleteGroup();
        return true;
    case ID_TREE_RENAME:
        if (!editing)
            EditGroupName();
        return true;
    default:
        return false;
    }
}

bool CBaseTreeLogic::OnUpdateCommand(int id, bool& enabled)
{
    switch (id) {
    case ID_TREE_REREAD:
    case ID_REREAD_PROCESS_TREE:
        enabled = false;
        try {
            _ConnectionPtr connection = Connection();
            enabled = connection && connection->GetState() != adStateClosed;
        } catch (const _com_error& e) {
            ShowComError(e);
        }
        return true;
    case ID_TREE_LOAD_FROM_DB:
    case ID_TREE_LOAD_FROM_FILE:
        enabled = m_items.GetSelection() && IsDiagramItem(m_items.GetSelection());
        return true;
    case ID_ADD_GROUP:
        // No rule of the tree's own: only refused while a label is edited.
        enabled = !m_items.IsEditingLabel();
        return true;
    case ID_DELETE_GROUP:
    case ID_RENAME_GROUP:
    case ID_ADD_PROCESS:
    case ID_DELETE_PROCESS:
    case ID_RENAME_PROCESS:
    case ID_ADD_DOCUMENT:
    case ID_DELETE_DOCUMENT:
    case ID_RENAME_DOCUMENT:
    case ID_SHOW_PROPERTIES:
        enabled = !m_items.IsEditingLabel() && UpdateEditCommand(id);
        return true;
    default:
        return false;
    }
}

bool CTreeAWFLogic::FillTree()
{
    _ConnectionPtr connection = Connection();
    const TreeItem root = AppendDataSourceRoot();
    if (!connection)
        return false;
    try {
        _RecordsetPtr rs = OpenReader(
            "SELECT p.Grp, p.NameGrp, p.FullNameGrp FROM MainGroupOperate m, ProdGroupOperate p WHERE m.Grp = p.Grp",
            connection);
        bool any = false;
        while (!rs->IsEOF()) {
            const std::string name = GetFieldValueString(rs, "FullNameGrp", "");
            const std::int32_t grp = GetFieldValueLong(rs, "Grp", 0).ToLong();
            m_items.AppendItem(root, name, IMAGE_GROUP, grp, true);
            any = true;
            rs->MoveNext();
        }
        rs->Close();
        if (any)
            m_items.Expand(root);
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
    return true;
}

bool CTreeAWFLogic::FillChildren(TreeItem item)
{
    if (m_items.GetItemImage(item) != IMAGE_GROUP || !m_items.GetChildren(item).empty())
        return true;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return false;
    try {
        _RecordsetPtr processes = OpenReader(
            "SELECT * FROM MainTypeOperate WHERE Grp = " + std::to_string(m_items.GetItemData(item)), connection);
        if (processes->IsEOF()) {
            processes->Close();
            return false;
        }
        while (!processes->IsEOF()) {
            const std::string name = GetFieldValueString(processes, "NameOperate", "");
            const std::int16_t type = GetFieldValueShort(processes, "Type", 0).ToShort();
            const std::int16_t grp = GetFieldValueShort(processes, "Grp", 0).ToShort();
            const TreeItem process = m_items.AppendItem(item, name, IMAGE_PROCESS, PackProcessWord(grp, type));
            _RecordsetPtr docs = OpenReader("SELECT p.NameDoc, p.TypeDoc FROM ProdDocType p, MainDocType m WHERE p.Type = " +
                                                std::to_string(type) + " AND m.Type = " + std::to_string(type) +
                                                " AND m.Grp = " + std::to_string(grp) + " AND m.TypeDoc = p.TypeDoc",
                                            connection);
            while (!docs->IsEOF()) {
                const std::string docName = GetFieldValueString(docs, "NameDoc", "");
                // Document types are numbered beyond 16 bits.
                const std::int32_t typeDoc = GetFieldValueLong(docs, "TypeDoc", 0).ToLong();
                m_items.AppendItem(process, docName, IMAGE_DOCUMENT, typeDoc);
                docs->MoveNext();
            }
            docs->Close();
            processes->MoveNext();
        }
        processes->Close();
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
    return true;
}

TreeMenu CTreeAWFLogic::GetItemMenu(TreeItem item)
{
    TreeMenu menu;
    if (!item)
        return menu;
    switch (m_items.GetItemImage(item)) {
    case IMAGE_DSN:
        menu = {0, {ID_TREE_ADD_GROUP}};
        break;
    case IMAGE_GROUP:
        menu = {1, {ID_TREE_ADD_PROCESS, ID_TREE_ADD_GROUP, ID_TREE_RENAME, ID_TREE_DELETE}};
        break;
    case IMAGE_PROCESS:
        menu = {2, {ID_TREE_ADD_DOCUMENT, ID_TREE_ADD_PROCESS, ID_TREE_RENAME, ID_TREE_DELETE}};
        break;
    case IMAGE_DOCUMENT:
        menu = {3, {ID_TREE_ADD_DOCUMENT, ID_TREE_RENAME, ID_TREE_DELETE}};
        break;
    default:
        return menu;
    }
    if (!g_bReadOnlyMode)
        menu.greyed.clear();
    return menu;
}

void CTreeAWFLogic::OpenItemFromDB(TreeItem item)
{
    const std::int32_t typeDoc = m_items.GetItemData(item);
    if (typeDoc != 0)
        m_host.OpenDiagram(typeDoc, m_items.GetItemText(item));
}

void CTreeAWFLogic::OpenItemFromFile(TreeItem item)
{
    const std::int32_t typeDoc = m_items.GetItemData(item);
    if (typeDoc == 0)
        return;
    // An open chart of this document type closes first, through its save question.
    if (!m_host.CloseDiagram(typeDoc))
        return;
    CBaseDiagramDoc* document = m_host.OpenChartFile();
    if (!document)
        return;
    auto* model = dynamic_cast<CTarnwickModel*>(document->GetModel());
    if (!model)
        return;
    model->LoadFromDB(typeDoc, false);
    document->SetTitle(wxString::FromUTF8(m_items.GetItemText(item)));
    if (model->m_DocTypes.GetSize() == 0)
        return;
    auto* first = dynamic_cast<CAWFDocumentType*>(model->m_DocTypes.GetAt(0));
    if (!first || first->TypeDoc == model->GetTypeDoc())
        return;
    if (m_host.AskYesNo("Ошибка загрузки файла для выбранного Документа.\nОбнаружено не соответствие типов "
                        "Документов.\nВы хотите продолжить?"))
        first->TypeDoc = model->GetTypeDoc();
    else
        m_host.CloseChartLater(document);
}

bool CTreeAWFLogic::IsDiagramItem(TreeItem item)
{
    return item && m_items.GetItemImage(item) == IMAGE_DOCUMENT;
}

std::string CTreeAWFLogic::GetTreeTitle() { return res::LoadString(res::IDS_TREE_AWF); }

bool CTreeAWFLogic::UpdateEditCommand(int id)
{
    const TreeItem item = m_items.GetSelection();
    if (!item)
        return false;
    const int kind = m_items.GetItemImage(item);
    const bool group = kind == IMAGE_GROUP, process = kind == IMAGE_PROCESS, document = kind == IMAGE_DOCUMENT;
    switch (id) {
    case ID_DELETE_GROUP:
    case ID_RENAME_GROUP:
        return group;
    case ID_ADD_PROCESS:
        return group || process;
    case ID_DELETE_PROCESS:
    case ID_RENAME_PROCESS:
        return process;
    case ID_ADD_DOCUMENT:
        return process || document;
    case ID_DELETE_DOCUMENT:
    case ID_RENAME_DOCUMENT:
        return document;
    case ID_SHOW_PROPERTIES:
        return process || document;
    default:
        return false;
    }
}

void CTreeAWFLogic::EditSelectedLabel()
{
    if (TreeItem item = m_items.GetSelection(); item && !g_bReadOnlyMode)
        m_items.EditLabel(item);
}

std::unique_ptr<CBaseTreeLogic> CreateTreeLogic(TreeClass treeClass, ITreeItems& items, ITreeHost& host)
{
    if (treeClass == TreeClass::AWF)
        return std::make_unique<CTreeAWFLogic>(items, host);
    if (treeClass == TreeClass::DWF)
        return std::make_unique<CTreeDWFLogic>(items, host);
    return std::make_unique<CBaseTreeLogic>(items, host);
}

} // namespace tarnwick
