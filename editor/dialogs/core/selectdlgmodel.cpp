#include "editor/dialogs/core/selectdlgmodel.h"

#include "editor/app/core/editorcore.h"
#include "editor/app/core/editorprompt.h"
#include "editor/trees/core/processtree.h"

#include "charts/shell/core/chartshell.h"
#include "winapi/text.h"

#include <algorithm>

namespace tarnwick {

using namespace ado;

namespace {

// CAddState's modes for a document type and for a process.
constexpr unsigned kModeAddDocument = 3;
constexpr unsigned kModeRenameDocument = 4;
constexpr unsigned kModeDeleteDocument = 5;
constexpr unsigned kModeRenameProcess = 7;
constexpr unsigned kModeDeleteProcess = 8;

// own wording
constexpr const char* kNoRowAdded = "Запись не добавлена";

} // namespace

bool SortsBefore(const std::string& a, const std::string& b)
{
    if (const int order = winapi::Utf8CompareNoCase(a, b); order != 0)
        return order < 0;
    return a < b;
}

int FindPrefix(const std::vector<SelectEntry>& sorted, const std::string& prefix)
{
    const std::string key = winapi::Utf8Fold(prefix);
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (winapi::Utf8Fold(sorted[i].text).starts_with(key))
            return static_cast<int>(i);
    return -1;
}

bool CSelectListModel::CommandEnabled(int id) const { return CatalogCommandEnabled(id, !m_entries.empty()); }

void CSelectListModel::Clear(IItemList& list)
{
    list.ResetContent();
    m_entries.clear();
    m_nSelection = -1;
}

void CSelectListModel::Show(IItemList& list, std::vector<SelectEntry> rows)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SelectEntry& a, const SelectEntry& b) { return SortsBefore(a.text, b.text); });
    for (SelectEntry& row : rows) {
        // A list that sorts by itself gives the place it chose.
        const int index = list.AddString(row.text);
        list.SetItemData(index, row.data);
        m_entries.insert(m_entries.begin() + std::clamp(index, 0, static_cast<int>(m_entries.size())),
                         std::move(row));
    }
}

void CSelectListModel::Fill(IItemList& list, const std::string& sql, SelectEntry (*entryOf)(_RecordsetPtr& rs))
{
    Clear(list);
    std::vector<SelectEntry> rows;
    try {
        _RecordsetPtr rs = OpenAppReader(sql);
        for (; rs && !rs->IsEOF(); rs->MoveNext())
            rows.push_back(entryOf(rs));
    } catch (const _com_error& e) {
        ShowComError(e);
    }
    Show(list, std::move(rows));
    if (!m_entries.empty())
        Select(list, 0);
}

void CSelectListModel::Select(IItemList& list, int index)
{
    m_nSelection = index;
    list.SetCurSel(index);
}

int CSelectListModel::FindExact(const std::string& text) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].text == text)
            return static_cast<int>(i);
    return -1;
}

bool CSelectListModel::Execute(const std::string& sql, bool mustAddARow, const char* table)
{
    return ExecuteCatalogStatement(sql, mustAddARow ? kNoRowAdded : "", table);
}

CProcessSelectDlgModel::CProcessSelectDlgModel(std::int16_t grp, const std::string& groupName, INameDialog& names,
                                               IAddProcessDialog& processes)
    : m_nGrp(grp), m_strGroupName(groupName), m_names(names), m_processes(processes)
{
}

void CProcessSelectDlgModel::FillList(IItemList& list)
{
    // By number, not by the group's name: two groups may share a name.
    Fill(list,
         "SELECT p.Grp, p.Type, p.NameOperate FROM ProdTypeOperate p WHERE p.Grp = " + std::to_string(m_nGrp) +
             " AND NOT EXISTS(SELECT * FROM MainTypeOperate m WHERE m.Grp = p.Grp AND m.Type = p.Type)",
         [](_RecordsetPtr& rs) {
             const std::int16_t grp = rs->GetCollect("Grp").ToShort();
             const std::int16_t type = rs->GetCollect("Type").ToShort();
             return SelectEntry{GetFieldValueString(rs, "NameOperate", "").ToString(),
                                static_cast<std::uint32_t>(PackProcessWord(grp, type))};
         });
}

void CProcessSelectDlgModel::TakeSelection(int index)
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    m_nSelection = index;
    const SelectEntry& entry = m_entries[static_cast<std::size_t>(index)];
    m_dwSelected = entry.data;
    std::int16_t grp = 0, type = 0;
    UnpackProcessWord(static_cast<std::int32_t>(entry.data), grp, type);
    m_nGrp = grp;
    m_nType = type;
    m_strSelected = entry.text;
}

void CProcessSelectDlgModel::Reread(IItemList& list)
{
    FillList(list);
    TakeSelection(m_nSelection);
}

bool CProcessSelectDlgModel::OnOK(int index)
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return false;
    TakeSelection(index);
    return true;
}

bool CProcessSelectDlgModel::OnCommand(int id, IItemList& list)
{
    switch (id) {
    case ID_CATALOG_ADD:
        AddOperation(list);
        return true;
    case ID_CATALOG_RENAME:
        RenameOperation(list);
        return true;
    case ID_CATALOG_DELETE:
        DeleteOperation(list);
        return true;
    case ID_CATALOG_REREAD:
        Reread(list);
        return true;
    default:
        return false;
    }
}

std::string CProcessSelectDlgModel::InsertStatement(const ProcessInput& input) const
{
    const std::string grp = std::to_string(m_nGrp);
    std::string sql = "INSERT INTO ProdTypeOperate (Grp,Kind,Code,NameGrp,FullNameGrp,NameOperate,NameTable,"
                      "NameScript,Color) SELECT " + grp + ",";
    if (input.baseType >= 0) {
        // Modelled on the base operation: its kind unless one was chosen.
        sql += (input.kindChoice ? std::to_string(input.moveKind) : std::string("Kind")) + ",'" +
               SqlQuote(input.code) + "',NameGrp,FullNameGrp,'" + SqlQuote(input.name) +
               "',NameTable,NameScript,Color FROM ProdTypeOperate WHERE Grp=" + grp +
               " AND Type=" + std::to_string(input.baseType);
    } else {
        // The group's first operation takes its names from the group's own row.
        sql += std::to_string(input.kindChoice ? input.moveKind : 0) + ",'" + SqlQuote(input.code) +
               "',NameGrp,FullNameGrp,'" + SqlQuote(input.name) +
               "',NULL,NULL,NULL FROM ProdGroupOperate WHERE Grp=" + grp;
    }
    return sql + " LIMIT 1";
}

void CProcessSelectDlgModel::AddOperation(IItemList& list)
{
    if (RefuseCatalogEdit())
        return;
    ProcessInput input;
    for (bool retry = false;; retry = true) {
        if (m_processes.AskProcess(static_cast<std::int16_t>(m_nGrp), m_nType < 0 ? 0 : m_nType, m_strGroupName,
                                   retry, input) != IDOK)
            return;
        if (Execute(InsertStatement(input), true, "ProdTypeOperate"))
            break;
    }
    RereadAt(list, input.name);
}

void CProcessSelectDlgModel::RenameOperation(IItemList& list)
{
    if (RefuseCatalogEdit() || m_entries.empty())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strSelected.c_str(), kModeRenameProcess, name, fullName) != IDOK)
        return;
    if (!Execute("UPDATE ProdTypeOperate SET NameOperate='" + SqlQuote(name) + "' WHERE Grp=" +
                     std::to_string(m_nGrp) + " AND Type=" + std::to_string(m_nType),
                 false, "ProdTypeOperate"))
        return;
    RereadAt(list, name);
}

void CProcessSelectDlgModel::RereadAt(IItemList& list, const std::string& name)
{
    FillList(list);
    if (const int found = FindPrefix(m_entries, name); found >= 0)
        Select(list, found);
    TakeSelection(m_nSelection);
}

void CProcessSelectDlgModel::DeleteOperation(IItemList& list)
{
    if (RefuseCatalogEdit() || m_entries.empty())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strSelected.c_str(), kModeDeleteProcess, name, fullName) != IDOK)
        return;
    if (!Execute("DELETE FROM ProdTypeOperate WHERE Grp=" + std::to_string(m_nGrp) + " AND Type=" +
                     std::to_string(m_nType),
                 false, "ProdTypeOperate"))
        return;
    FillList(list);
    TakeSelection(m_nSelection);
}

CSelectDocDlgModel::CSelectDocDlgModel(std::int16_t type, std::int16_t grp, INameDialog& names)
    : Type(type), Grp(grp), m_names(names)
{
}

void CSelectDocDlgModel::FillList(IItemList& list)
{
    Fill(list,
         "SELECT p.NameDoc, p.TypeDoc, p.Type, p.Grp FROM ProdDocType p WHERE p.Type = " + std::to_string(Type) +
             " AND p.Grp = " + std::to_string(Grp) +
             " AND NOT EXISTS (SELECT * FROM MainDocType m WHERE m.TypeDoc = p.TypeDoc)",
         [](_RecordsetPtr& rs) {
             // Document types are numbered beyond 16 bits.
             const std::int32_t typeDoc = GetFieldValueLong(rs, "TypeDoc", 0).ToLong();
             return SelectEntry{GetFieldValueString(rs, "NameDoc", "").ToString(),
                                static_cast<std::uint32_t>(typeDoc)};
         });
}

void CSelectDocDlgModel::OnSelChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    m_nSelection = index;
    m_nTypeDoc = static_cast<std::int32_t>(m_entries[static_cast<std::size_t>(index)].data);
}

void CSelectDocDlgModel::Reread(IItemList& list)
{
    FillList(list);
    OnSelChange(m_nSelection);
}

bool CSelectDocDlgModel::CurrentSelection()
{
    if (m_nSelection < 0 || m_nSelection >= static_cast<int>(m_entries.size()))
        return false;
    const SelectEntry& entry = m_entries[static_cast<std::size_t>(m_nSelection)];
    m_nTypeDoc = static_cast<std::int32_t>(entry.data);
    m_strName = entry.text;
    return true;
}

bool CSelectDocDlgModel::OnOK(int index)
{
    // Without a chosen entry the caller would file TypeDoc 0.
    OnSelChange(index);
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return false;
    return CurrentSelection();
}

bool CSelectDocDlgModel::OnCommand(int id, IItemList& list)
{
    return RunCatalogCommand(*this, id, list, &CSelectDocDlgModel::OnAdd, &CSelectDocDlgModel::OnRename, &CSelectDocDlgModel::OnDelete,
                             &CSelectDocDlgModel::Reread);
}

void CSelectDocDlgModel::OnAdd(IItemList& list)
{
    if (RefuseCatalogEdit())
        return;
    std::string name, fullName;
    for (;;) {
        if (m_names.AskName(nullptr, kModeAddDocument, name, fullName) != IDOK)
            return;
        // The new row copies the operation's columns; the table numbers it.
        if (Execute("INSERT INTO ProdDocType (Type,Grp,NameDoc,NameOperate,NameTable,NameScript,FullNameDoc) SELECT " +
                        std::to_string(Type) + "," + std::to_string(Grp) + ",'" + SqlQuote(name) +
                        "', NameOperate, NameTable, NameScript,'" + SqlQuote(fullName) +
                        "' FROM ProdTypeOperate WHERE Type=" + std::to_string(Type) + " AND Grp=" +
                        std::to_string(Grp),
                    true, "ProdDocType"))
            break;
    }
    RereadAt(list, name);
}

void CSelectDocDlgModel::OnRename(IItemList& list)
{
    if (RefuseCatalogEdit() || !CurrentSelection())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strName.c_str(), kModeRenameDocument, name, fullName) != IDOK)
        return;
    if (!Execute("UPDATE ProdDocType SET NameDoc='" + SqlQuote(name) + "', FullNameDoc='" + SqlQuote(fullName) +
                     "' WHERE Grp=" + std::to_string(Grp) + " AND Type=" + std::to_string(Type) +
                     " AND TypeDoc=" + std::to_string(m_nTypeDoc),
                 false, "ProdDocType"))
        return;
    RereadAt(list, name);
}

void CSelectDocDlgModel::RereadAt(IItemList& list, const std::string& name)
{
    FillList(list);
    if (const int found = FindExact(name); found >= 0)
        Select(list, found);
    OnSelChange(m_nSelection);
}

void CSelectDocDlgModel::OnDelete(IItemList& list)
{
    if (RefuseCatalogEdit() || !CurrentSelection())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strName.c_str(), kModeDeleteDocument, name, fullName) != IDOK)
        return;
    if (!Execute("DELETE FROM ProdDocType WHERE Grp=" + std::to_string(Grp) + " AND Type=" + std::to_string(Type) +
                     " AND TypeDoc=" + std::to_string(m_nTypeDoc),
                 false, "ProdDocType"))
        return;
    FillList(list);
    OnSelChange(m_nSelection);
}

} // namespace tarnwick
