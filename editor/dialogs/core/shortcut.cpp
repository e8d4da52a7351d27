#include "editor/dialogs/core/shortcut.h"

namespace tarnwick {

using namespace ado;

CShortCutDlgModel::CShortCutDlgModel(std::int32_t typeDoc, ITreeItems& items) : m_nTypeDoc(typeDoc), m_items(items)
{
}

TreeItem CShortCutDlgModel::FindOrAppend(TreeItem parent, std::int32_t data, const std::string& text, int image)
{
    for (TreeItem child : m_items.GetChildren(parent))
        if (m_items.GetItemData(child) == data)
            return child;
    return m_items.AppendItem(parent, text, image, data);
}

void CShortCutDlgModel::OnInitDialog()
{
    m_bOkEnabled = false;
    const std::string key = std::to_string(m_nTypeDoc);
    try {
        _RecordsetPtr rs = OpenAppReader(
            "SELECT t.Grp, t.Type, t.TypeDoc, t.NameDoc, t.NameOperate, p.FullNameGrp FROM ProdDocType t, "
            "MainDocMove m, ProdGroupOperate p WHERE m.NewTypeDoc = " +
            key + " AND m.NewTypeDoc <> m.TypeDoc AND t.TypeDoc = m.TypeDoc AND p.Grp = t.Grp");
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            TreeItem group = FindOrAppend(m_items.GetRootItem(), GetFieldValueShort(rs, "Grp", 0).ToShort(),
                                          GetFieldValueString(rs, "FullNameGrp", "").ToString(), IMAGE_GROUP);
            TreeItem process = FindOrAppend(group, GetFieldValueShort(rs, "Type", 0).ToShort(),
                                            GetFieldValueString(rs, "NameOperate", "").ToString(), IMAGE_PROCESS);
            FindOrAppend(process, rs->GetCollect("TypeDoc").ToLong(), GetFieldValueString(rs, "NameDoc", "").ToString(),
                         IMAGE_DOCUMENT);
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
}

void CShortCutDlgModel::OnSelChange(TreeItem item)
{
    if (!item)
        return;
    m_bOkEnabled = m_items.GetItemImage(item) == IMAGE_DOCUMENT;
    m_nSelTypeDoc = m_items.GetItemData(item);
    m_strSelName = m_items.GetItemText(item);
}

} // namespace tarnwick
