#include "editor/trees/core/processtree.h"

#include "editor/trees/core/departmenttree.h"

#include "editor/dialogs/core/createstate.h"
#include "editor/app/core/dbutil.h"
#include "editor/app/core/editorprompt.h"

#include "charts/documents/core/diagrammodel.h"
#include "charts/elements/awfelements.h"
#include "resources/tarnwick/tarnwickstrings.h"

#include <algorithm>
#include <map>

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
    const std::string dsn = app ? app->DataSourceName() : std::string();
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
        // Any item will do; refused while a label is edited and in read-only mode.
        enabled = !m_items.IsEditingLabel() && !g_bReadOnlyMode;
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

ITreeDialogs& CBaseTreeLogic::Dialogs()
{
    static CCancellingTreeDialogs cancelling;
    return m_dialogs ? *m_dialogs : cancelling;
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
        const std::string grp = std::to_string(m_items.GetItemData(item));
        _RecordsetPtr processes = OpenReader("SELECT * FROM MainTypeOperate WHERE Grp = " + grp, connection);
        if (processes->IsEOF()) {
            processes->Close();
            return false;
        }
        // The document types of all the group's processes in one read, each
        // process's in the order the server gives them.
        std::map<std::pair<std::int16_t, std::int16_t>, std::vector<std::pair<std::string, std::int32_t>>> documents;
        _RecordsetPtr docs = OpenReader("SELECT m.Grp, m.Type, p.NameDoc, p.TypeDoc FROM ProdDocType p, MainDocType m "
                                        "WHERE m.Grp = " + grp + " AND p.Type = m.Type AND m.TypeDoc = p.TypeDoc",
                                        connection);
        for (; !docs->IsEOF(); docs->MoveNext())
            // Document types are numbered beyond 16 bits.
            documents[{GetFieldValueShort(docs, "Grp", 0).ToShort(), GetFieldValueShort(docs, "Type", 0).ToShort()}]
                .emplace_back(GetFieldValueString(docs, "NameDoc", ""), GetFieldValueLong(docs, "TypeDoc", 0).ToLong());
        docs->Close();
        while (!processes->IsEOF()) {
            const std::string name = GetFieldValueString(processes, "NameOperate", "");
            const std::int16_t type = GetFieldValueShort(processes, "Type", 0).ToShort();
            const std::int16_t grp = GetFieldValueShort(processes, "Grp", 0).ToShort();
            const TreeItem process = m_items.AppendItem(item, name, IMAGE_PROCESS, PackProcessWord(grp, type));
            if (auto found = documents.find({grp, type}); found != documents.end())
                for (const auto& [docName, typeDoc] : found->second)
                    m_items.AppendItem(process, docName, IMAGE_DOCUMENT, typeDoc);
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
    const std::unique_ptr<IOpenedChart> chart = m_host.OpenChartFile();
    if (!chart)
        return;
    CTarnwickModel* model = chart->Model();
    if (!model)
        return;
    model->LoadFromDB(typeDoc, false);
    chart->SetTitle(m_items.GetItemText(item));
    if (model->m_DocTypes.GetSize() == 0)
        return;
    auto* first = dynamic_cast<CAWFDocumentType*>(model->m_DocTypes.GetAt(0));
    if (!first || first->TypeDoc == model->GetTypeDoc())
        return;
    if (m_host.AskYesNo("Ошибка загрузки файла для выбранного Документа.\nОбнаружено не соответствие типов "
                        "Документов.\nВы хотите продолжить?"))
        first->TypeDoc = model->GetTypeDoc();
    else
        chart->CloseLater();
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
    // Read-only mode greys every edit; the properties only show.
    if (g_bReadOnlyMode && id != ID_SHOW_PROPERTIES)
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
    const TreeItem item = m_items.GetSelection();
    if (!item || RefuseCatalogEdit())
        return;
    m_items.EditLabel(item);
}

void CTreeAWFLogic::ReportNotStored()
{
    Prompt().Message("Изменение не записано в базу данных: строка не найдена", {}, // own wording
                     MessageIcon::Warning);
}

TreeItem CTreeAWFLogic::SelectedOrParent(int image, int childImage)
{
    TreeItem item = m_items.GetSelection();
    if (!item)
        return 0;
    FillChildren(item);
    if (m_items.GetItemImage(item) == childImage)
        item = m_items.GetItemParent(item);
    if (!item || m_items.GetItemImage(item) != image)
        return 0;
    return item;
}

bool CTreeAWFLogic::ExecuteStored(ado::_ConnectionPtr& connection, const std::string& sql)
{
    try {
        std::int64_t rows = 0;
        connection->Execute(sql, &rows, adCmdText);
        if (rows < 1) {
            ReportNotStored();
            return false;
        }
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
    return true;
}

TreeItem CTreeAWFLogic::DataSourceItem()
{
    for (TreeItem top : m_items.GetChildren(m_items.GetRootItem()))
        if (m_items.GetItemImage(top) == IMAGE_DSN)
            return top;
    return 0;
}

void CTreeAWFLogic::AddGroup()
{
    if (RefuseCatalogEdit())
        return;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return;
    std::vector<std::int16_t> groups;
    if (!Dialogs().SelectGroups(groups))
        return;
    // One statement per group, without a transaction: the groups added
    // before a failure stay, and the reread shows them.
    bool added = false;
    try {
        for (std::int16_t grp : groups) {
            connection->Execute("INSERT INTO MainGroupOperate(Grp) VALUES(" + std::to_string(grp) + ")", nullptr,
                                adCmdText);
            added = true;
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
    if (added) {
        m_items.DeleteAllItems();
        FillTree();
    }
}

void CTreeAWFLogic::AddProcess()
{
    if (RefuseCatalogEdit())
        return;
    TreeItem group = SelectedOrParent(IMAGE_GROUP, IMAGE_PROCESS);
    if (!group)
        return;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return;
    std::int32_t word = 0;
    std::string name;
    if (!Dialogs().SelectProcess(static_cast<std::int16_t>(m_items.GetItemData(group)), m_items.GetItemText(group),
                                 word, name))
        return;
    std::int16_t grp = 0, type = 0;
    UnpackProcessWord(word, grp, type);
    if (!ExecuteStored(connection, "INSERT INTO MainTypeOperate(Grp,Type,NameOperate) VALUES(" +
                                       std::to_string(grp) + ", " + std::to_string(type) + ", '" + SqlQuote(name) +
                                       "')"))
        return;
    // The process goes under the group its row names, which is the chosen
    // one unless the dialog answered for another.
    if (m_items.GetItemData(group) != grp) {
        group = 0;
        if (TreeItem dsn = DataSourceItem())
            for (TreeItem g : m_items.GetChildren(dsn))
                if (m_items.GetItemImage(g) == IMAGE_GROUP && m_items.GetItemData(g) == grp)
                    group = g;
        if (!group)
            return;
        // A group not read yet reads the new row with the others.
        if (m_items.GetChildren(group).empty()) {
            FillChildren(group);
            m_items.Expand(group);
            return;
        }
    }
    m_items.AppendItem(group, name, IMAGE_PROCESS, word);
    m_items.Expand(group);
}

void CTreeAWFLogic::AddDocument()
{
    if (RefuseCatalogEdit())
        return;
    const TreeItem process = SelectedOrParent(IMAGE_PROCESS, IMAGE_DOCUMENT);
    if (!process)
        return;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return;
    std::int16_t grp = 0, type = 0;
    UnpackProcessWord(m_items.GetItemData(process), grp, type);
    std::int32_t typeDoc = 0;
    std::string name;
    if (!Dialogs().SelectDocument(type, grp, typeDoc, name))
        return;
    try {
        // The row takes the group and operation the catalogue gives the document type.
        std::int16_t docGrp = 0, docType = 0;
        _RecordsetPtr rs = OpenReader("SELECT * FROM ProdDocType WHERE TypeDoc = " + std::to_string(typeDoc), connection);
        if (!rs->IsEOF()) {
            docType = GetFieldValueShort(rs, "Type", 0).ToShort();
            docGrp = GetFieldValueShort(rs, "Grp", 0).ToShort();
        }
        rs->Close();
        if (!ExecuteStored(connection, "INSERT INTO MainDocType (TypeDoc, Grp, Type) VALUES(" +
                                           std::to_string(typeDoc) + ", " + std::to_string(docGrp) + ", " +
                                           std::to_string(docType) + ")"))
            return;
    } catch (const _com_error& e) {
        ShowComError(e);
        return;
    }
    m_items.AppendItem(process, name, IMAGE_DOCUMENT, typeDoc);
    m_items.Expand(process);
}

bool CTreeAWFLogic::RenameItem(TreeItem item, const std::string& newText)
{
    if (!item || RefuseCatalogEdit())
        return false;
    const int kind = m_items.GetItemImage(item);
    const std::int32_t data = m_items.GetItemData(item);
    const std::string quoted = SqlQuote(newText);
    std::string sql;
    switch (kind) {
    case IMAGE_GROUP:
        sql = "UPDATE ProdGroupOperate SET FullNameGrp = '" + quoted + "' WHERE Grp = " +
              std::to_string(static_cast<std::int16_t>(data));
        break;
    case IMAGE_PROCESS: {
        std::int16_t grp = 0, type = 0;
        UnpackProcessWord(data, grp, type);
        sql = "UPDATE MainTypeOperate SET NameOperate = '" + quoted + "' WHERE Grp = " + std::to_string(grp) +
              " AND Type = " + std::to_string(type);
        break;
    }
    case IMAGE_DOCUMENT:
        sql = "UPDATE ProdDocType SET NameDoc = '" + quoted + "', FullNameDoc = '" + quoted +
              "' WHERE TypeDoc = " + std::to_string(data);
        break;
    default:
        return false;
    }
    _ConnectionPtr connection = Connection();
    if (!connection)
        return false;
    // A row gone meanwhile: the label must not claim a stored name.
    if (!ExecuteStored(connection, sql))
        return false;
    m_items.SetItemText(item, newText);
    // An open chart of the document type is found by its key; a process has no chart of its own.
    if (kind == IMAGE_DOCUMENT)
        m_host.RetitleDiagram(data, newText);
    return true;
}

void CTreeAWFLogic::RunDelete()
{
    // A Del meant for the label being edited never deletes an item.
    if (m_items.IsEditingLabel())
        return;
    const TreeItem item = m_items.GetSelection();
    if (!item)
        return;
    const int kind = m_items.GetItemImage(item);
    const char* word = kind == IMAGE_GROUP     ? "группу"
                       : kind == IMAGE_PROCESS ? "процесс"
                       : kind == IMAGE_DOCUMENT ? "документ"
                                                : nullptr;
    if (!word || RefuseCatalogEdit())
        return;
    if (!m_host.AskYesNo(std::string("Вы уверены, что хотите удалить \n") + word + ": " + m_items.GetItemText(item)))
        return;
    // The question may have taken long enough for the item or the label editor to change.
    if (!m_items.IsValid(item) || m_items.IsEditingLabel())
        return;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return;
    const std::int32_t data = m_items.GetItemData(item);
    bool inTransaction = false;
    try {
        connection->BeginTrans();
        inTransaction = true;
        switch (kind) {
        case IMAGE_GROUP:
            connection->Execute("DELETE FROM MainGroupOperate WHERE Grp IN (SELECT p.Grp FROM ProdGroupOperate p "
                                "WHERE p.Grp = " +
                                    std::to_string(static_cast<std::int16_t>(data)) + ")",
                                nullptr, adCmdText);
            break;
        case IMAGE_PROCESS: {
            std::int16_t grp = 0, type = 0;
            UnpackProcessWord(data, grp, type);
            connection->Execute("DELETE FROM MainTypeOperate WHERE Grp = " + std::to_string(grp) +
                                    " AND Type = " + std::to_string(type),
                                nullptr, adCmdText);
            break;
        }
        default: {
            std::int16_t grp = 0, type = 0;
            const TreeItem process = m_items.GetItemParent(item);
            if (process && m_items.GetItemImage(process) == IMAGE_PROCESS)
                UnpackProcessWord(m_items.GetItemData(process), grp, type);
            const std::string typeDoc = std::to_string(data);
            connection->Execute("DELETE FROM MainDocAction WHERE TypeDoc = " + typeDoc, nullptr, adCmdText);
            connection->Execute("DELETE FROM MainDocMove WHERE TypeDoc = " + typeDoc, nullptr, adCmdText);
            CTarnwickModel::DeleteArchive(connection, grp, data);
            connection->Execute("DELETE FROM MainDocState WHERE TypeDoc = " + typeDoc, nullptr, adCmdText);
            connection->Execute("DELETE FROM MainDocType WHERE TypeDoc = " + typeDoc, nullptr, adCmdText);
            break;
        }
        }
        connection->CommitTrans();
        inTransaction = false;
    } catch (const _com_error& e) {
        if (inTransaction) {
            try {
                connection->RollbackTrans();
            } catch (const _com_error&) {
                // The error shown below is the one that matters.
            }
        }
        ShowComError(e);
        return;
    }
    // Its chart, if open, would write the deleted rows back on a save.
    if (kind == IMAGE_DOCUMENT)
        m_host.DiscardDiagram(data);
    if (m_items.IsValid(item))
        m_items.DeleteItem(item);
}

void CTreeAWFLogic::ShowProperties()
{
    const TreeItem item = m_items.GetSelection();
    if (!item)
        return;
    const int kind = m_items.GetItemImage(item);
    if (kind == IMAGE_PROCESS) {
        std::int16_t grp = 0, type = 0;
        UnpackProcessWord(m_items.GetItemData(item), grp, type);
        Dialogs().ShowProcessProperties(grp, type, m_items.GetItemText(item));
        return;
    }
    if (kind != IMAGE_DOCUMENT)
        return;
    std::int16_t grp = 0, type = 0;
    const TreeItem process = m_items.GetItemParent(item);
    if (process && m_items.GetItemImage(process) == IMAGE_PROCESS)
        UnpackProcessWord(m_items.GetItemData(process), grp, type);
    const std::int32_t typeDoc = m_items.GetItemData(item);
    CAWFDocumentType element(typeDoc, m_items.GetItemText(item));
    element.TypeDoc = -1;
    element.DocTypeOptions = 0;
    element.defState = -1;
    if (grp != -1 && typeDoc != -1) {
        _ConnectionPtr connection = Connection();
        if (connection) {
            try {
                _RecordsetPtr rs =
                    OpenReader("SELECT * FROM MainDocType WHERE TypeDoc = " + std::to_string(typeDoc), connection);
                if (!rs->IsEOF()) {
                    element.defState = GetFieldValueShort(rs, "defState", 0).ToShort();
                    // Both are numbered beyond 16 bits.
                    element.TypeDoc = GetFieldValueLong(rs, "TypeDoc", 0).ToLong();
                    element.DocTypeOptions = GetFieldValueLong(rs, "DocTypeOptions", 0).ToLong();
                }
                rs->Close();
            } catch (const _com_error& e) {
                ShowComError(e);
                return;
            }
        }
    }
    Dialogs().ShowDocumentProperties(element, grp, type);
}

std::unique_ptr<CBaseTreeLogic> CreateTreeLogic(TreeClass treeClass, ITreeItems& items, ITreeHost& host)
{
    if (treeClass == TreeClass::AWF)
        return std::make_unique<CTreeAWFLogic>(items, host);
    if (treeClass == TreeClass::DWF)
        return std::make_unique<CTreeDWFLogic>(items, host);
    return std::make_unique<CBaseTreeLogic>(items, host);
}

bool CLabelClicks::OnPress(TreeItem item, bool onLabel, bool armed, long time)
{
    const bool second = item != 0 && item == m_lastClick && time - m_lastRelease <= m_doubleClickMs;
    m_lastClick = 0;
    m_takenByPress = second;
    m_swallowRelease = second;
    m_pressed = item;
    m_armed = !second && item != 0 && onLabel && armed;
    return second;
}

bool CLabelClicks::OnRelease(long time)
{
    if (m_swallowRelease) {
        m_swallowRelease = false;
        return false;
    }
    m_lastClick = m_pressed;
    m_lastRelease = time;
    const bool edit = m_armed;
    m_armed = false;
    return edit;
}

bool CLabelClicks::OnDoubleClick()
{
    const bool open = !m_takenByPress;
    m_takenByPress = false;
    m_armed = false;
    m_swallowRelease = true;
    m_lastClick = 0;
    return open;
}

void CLabelClicks::Forget()
{
    m_armed = false;
    m_swallowRelease = false;
    m_takenByPress = false;
    m_lastClick = 0;
}

} // namespace tarnwick
