#include "editor/trees/core/departmenttree.h"

#include "editor/app/core/dbutil.h"
#include "editor/app/core/waitcursor.h"

#include "charts/shell/core/chartshell.h"
#include "resources/tarnwick/tarnwickstrings.h"

using namespace ado;

namespace tarnwick {

std::string CTreeDWFLogic::FirmsQuery(const _ConnectionPtr& connection)
{
    std::string order = "s1.name";
    if (connection)
        order += connection->GetDialect().NameCollation();
    return "SELECT id_firm, name FROM setup s1 WHERE EXISTS(SELECT id_firm FROM struct_gr s2 WHERE s1.id_firm = "
           "s2.id_firm AND s2.flag_deleted = 0 ) ORDER BY " +
           order + " ";
}

bool CTreeDWFLogic::FillTree()
{
    const TreeItem root = AppendDataSourceRoot();
    _ConnectionPtr connection = Connection();
    if (!connection)
        return false;
    try {
        _RecordsetPtr rs = connection->Execute(FirmsQuery(connection));
        if (rs->IsEOF())
            return true;
        while (!rs->IsEOF()) {
            const std::string name = GetFieldValueString(rs, "name", "");
            const std::int32_t firm = GetFieldValueLong(rs, "id_firm", 0).ToLong();
            m_items.AppendItem(root, name, IMAGE_FIRM, firm, true);
            rs->MoveNext();
        }
        rs->Close();
        m_items.Expand(root);
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
    return true;
}

bool CTreeDWFLogic::FillChildren(TreeItem item)
{
    if (m_items.GetItemImage(item) != IMAGE_FIRM || !m_items.GetChildren(item).empty())
        return true;
    _ConnectionPtr connection = Connection();
    if (!connection)
        return false;
    WaitCursor wait;
    try {
        _RecordsetPtr rs = connection->Execute("SELECT * FROM struct_gr WHERE id_firm = " +
                                               std::to_string(m_items.GetItemData(item)) +
                                               " AND struct_lev = 0 AND flag_deleted = 0 ORDER BY sort");
        while (!rs->IsEOF()) {
            // A department without a name is listed with an empty one.
            const std::string name = GetFieldValueString(rs, "struct_name", "");
            const std::int32_t code = GetFieldValueLong(rs, "struct_code", -1).ToLong();
            m_items.AppendItem(item, name, IMAGE_DEPARTMENT, code);
            rs->MoveNext();
        }
        rs->Close();
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
    return true;
}

TreeMenu CTreeDWFLogic::GetItemMenu(TreeItem item)
{
    TreeMenu menu;
    if (item && m_items.GetItemImage(item) == IMAGE_FIRM) {
        menu.resource = "IDR_DWF_TREE_MENU";
        menu.popup = 0;
        menu.greyed = {ID_TREE_ADD_DOCUMENT, ID_TREE_RENAME, ID_TREE_DELETE, ID_TREE_DOCUMENT_PROPERTIES};
    }
    return menu;
}

void CTreeDWFLogic::OpenItemFromDB(TreeItem item)
{
    if (!item || m_items.GetItemImage(item) != IMAGE_FIRM || m_items.GetItemData(item) == 0)
        return;
    WaitCursor wait;
    m_host.OpenDiagram(m_items.GetItemData(item), m_items.GetItemText(item));
}

void CTreeDWFLogic::OpenItemFromFile(TreeItem)
{
    ChartShell().PostCommand(ID_TREE_LOAD_FROM_FILE);
}

bool CTreeDWFLogic::IsDiagramItem(TreeItem item)
{
    return item && m_items.GetItemImage(item) == IMAGE_FIRM;
}

std::string CTreeDWFLogic::GetTreeTitle() { return res::LoadString(res::IDS_TREE_DWF); }

} // namespace tarnwick
