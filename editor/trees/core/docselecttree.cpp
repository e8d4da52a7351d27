#include "editor/trees/core/docselecttree.h"

#include "editor/app/core/editorprompt.h"

namespace tarnwick {

const char* const kChooseDocumentMessage = "Следует выбрать документ";

CWFDocSelectTreeModel::CWFDocSelectTreeModel(ITreeItems& items, CBaseTreeLogic& source)
    : m_pSource(&source), m_items(items)
{
}

bool CWFDocSelectTreeModel::Fill()
{
    ITreeItems& source = m_pSource->Items();
    const std::vector<TreeItem> roots = source.GetChildren(source.GetRootItem());
    if (roots.empty())
        return false;
    for (TreeItem root : roots)
        CopyItem(root, m_items.GetRootItem());
    return true;
}

TreeItem CWFDocSelectTreeModel::CopyItem(TreeItem sourceItem, TreeItem parent)
{
    ITreeItems& source = m_pSource->Items();
    // The whole text: nothing is cut to a buffer's length.
    const TreeItem copy =
        m_items.AppendItem(parent, source.GetItemText(sourceItem), source.GetItemImage(sourceItem),
                           source.GetItemData(sourceItem), source.HasChildrenMark(sourceItem));
    m_sourceOf[copy] = sourceItem;
    for (TreeItem child : source.GetChildren(sourceItem))
        CopyItem(child, copy);
    if (source.IsExpanded(sourceItem))
        m_items.Expand(copy);
    return copy;
}

TreeItem CWFDocSelectTreeModel::SourceOf(TreeItem item) const
{
    const auto it = m_sourceOf.find(item);
    return it == m_sourceOf.end() ? 0 : it->second;
}

bool CWFDocSelectTreeModel::OnItemExpanding(TreeItem item)
{
    if (!m_items.GetChildren(item).empty())
        return true;
    const TreeItem sourceItem = SourceOf(item);
    if (!sourceItem || !m_pSource->FillChildren(sourceItem))
        return false;
    for (TreeItem child : m_pSource->Items().GetChildren(sourceItem))
        CopyItem(child, item);
    return true;
}

bool CWFDocSelectTreeModel::OnDoubleClick()
{
    const TreeItem sourceItem = SourceOf(m_items.GetSelection());
    if (!sourceItem || !m_pSource->IsDiagramItem(sourceItem))
        return false;
    Accept(sourceItem);
    return true;
}

bool CWFDocSelectTreeModel::TryAccept(std::string* message)
{
    if (message)
        message->clear();
    const TreeItem sourceItem = SourceOf(m_items.GetSelection());
    if (!sourceItem)
        return false;
    if (m_pSource->IsDiagramItem(sourceItem)) {
        Accept(sourceItem);
        return true;
    }
    if (message) {
        switch (m_pSource->Items().GetItemImage(sourceItem)) {
        case IMAGE_GROUP:
            *message = "Выбрана группа. ";
            break;
        case IMAGE_PROCESS:
            *message = "Выбран процесс. ";
            break;
        default:
            break;
        }
    }
    return false;
}

bool CWFDocSelectTreeModel::OnOK()
{
    std::string message;
    if (TryAccept(&message))
        return true;
    Prompt().Message(message + kChooseDocumentMessage, "Внимание", MessageIcon::Warning);
    return false;
}

void CWFDocSelectTreeModel::Accept(TreeItem sourceItem)
{
    if (!m_endDialog)
        return;
    m_strSelText = m_pSource->Items().GetItemText(sourceItem);
    m_nSelData = m_pSource->Items().GetItemData(sourceItem);
    m_endDialog();
}

} // namespace tarnwick
