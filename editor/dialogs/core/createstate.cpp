#include "editor/dialogs/core/createstate.h"

#include "editor/app/core/editorcore.h"
#include "editor/app/core/editorprompt.h"

#include "charts/documents/core/diagrammodel.h"
#include "charts/elements/awfelements.h"
#include "charts/shell/core/chartshell.h"

namespace tarnwick {

using namespace ado;

const char* const kReadOnlyCatalogMessage = "Режим \"только чтение\", изменения не будут сохранены";

namespace {

constexpr unsigned kModeRename = 1;
constexpr unsigned kModeDelete = 2;
constexpr unsigned kModeAdd = 9;

} // namespace

bool RefuseCatalogEdit()
{
    if (!g_bReadOnlyMode)
        return false;
    Prompt().Message(kReadOnlyCatalogMessage, {}, MessageIcon::Warning);
    return true;
}

bool CatalogCommandEnabled(int id, bool hasEntries)
{
    switch (id) {
    case ID_CATALOG_ADD:
        return !g_bReadOnlyMode;
    case ID_CATALOG_RENAME:
    case ID_CATALOG_DELETE:
        return !g_bReadOnlyMode && hasEntries;
    case ID_CATALOG_REREAD:
        return true;
    default:
        return false;
    }
}

bool ExecuteCatalogStatement(const std::string& sql, const std::string& noRowError, const char* table)
{
    CTarnwickAppCore* app = CTarnwickAppCore::Instance();
    _ConnectionPtr connection = app ? app->ConnectDB(FALSE) : nullptr;
    if (!connection)
        return false;
    try {
        std::int64_t affected = 0;
        connection->Execute(sql, &affected, adCmdText);
        if (!noRowError.empty() && affected < 1)
            throw _com_error(E_FAIL, noRowError, table);
        return true;
    } catch (const _com_error& e) {
        ShowComError(e);
        return false;
    }
}

CCreateStateDlgModel::CCreateStateDlgModel(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel* model,
                                           INameDialog& names)
    : Grp(grp), TypeDoc(typeDoc), m_pModel(model), m_names(names)
{
}

bool CCreateStateDlgModel::OnChart(std::int16_t state) const
{
    if (!m_pModel)
        return false;
    CODComponentSet* components = m_pModel->GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* s = dynamic_cast<CAWFState*>(components->GetAt(i)); s && s->GetState() == state)
            return true;
    return false;
}

void CCreateStateDlgModel::FillList(IItemList& list)
{
    list.ResetContent();
    m_entries.clear();
    m_nSelection = -1;
    try {
        _RecordsetPtr rs = OpenAppReader("SELECT s.State, s.NameState FROM ProdDocState s WHERE s.Grp = " +
                                         std::to_string(Grp) +
                                         " AND s.State not in (SELECT State FROM MainDocState m WHERE m.TypeDoc = " +
                                         std::to_string(TypeDoc) + ") ORDER BY s.State");
        for (; rs && !rs->IsEOF(); rs->MoveNext()) {
            const std::int16_t state = rs->GetCollect("State").ToShort();
            if (OnChart(state))
                continue;
            const std::string name = GetFieldValueString(rs, "NameState", "").ToString();
            const int index = list.AddString(name);
            list.SetItemData(index, static_cast<std::uint16_t>(state));
            m_entries.insert(m_entries.begin() + index, {name, state});
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
    if (!m_entries.empty())
        Select(list, 0);
    OnSelChange(m_nSelection);
}

void CCreateStateDlgModel::Select(IItemList& list, int index)
{
    m_nSelection = index;
    list.SetCurSel(index);
}

void CCreateStateDlgModel::OnSelChange(int index)
{
    if (m_entries.empty()) {
        m_nSelection = -1;
        m_strState.clear();
        m_nState = 0;
        return;
    }
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    m_nSelection = index;
    m_strState = m_entries[static_cast<std::size_t>(index)].first;
    m_nState = m_entries[static_cast<std::size_t>(index)].second;
}

bool CCreateStateDlgModel::OnOK()
{
    if (m_nSelection < 0 || m_nSelection >= static_cast<int>(m_entries.size()))
        return false;
    OnSelChange(m_nSelection);
    return true;
}

bool CCreateStateDlgModel::CommandEnabled(int id) const { return CatalogCommandEnabled(id, !m_entries.empty()); }

bool CCreateStateDlgModel::OnCommand(int id, IItemList& list)
{
    return RunCatalogCommand(*this, id, list, &CCreateStateDlgModel::OnAdd, &CCreateStateDlgModel::OnRename, &CCreateStateDlgModel::OnDelete,
                             &CCreateStateDlgModel::FillList);
}

std::int16_t CCreateStateDlgModel::NextStateNumber() const
{
    try {
        _RecordsetPtr rs = OpenAppReader("SELECT MAX(State)as newnom FROM ProdDocState WHERE Grp=" +
                                         std::to_string(Grp));
        if (rs && !rs->IsEOF()) {
            _variant_t top = rs->GetCollect("newnom");
            if (top.vt != VT_NULL)
                return static_cast<std::int16_t>(top.ToShort() + 1);
        }
    } catch (const _com_error& e) {
        ShowComError(e);
    }
    return 1;
}

bool CCreateStateDlgModel::Execute(const std::string& sql, bool mustTouchARow)
{
    return ExecuteCatalogStatement(sql, mustTouchARow ? "the statement changed no row: " + sql : std::string(),
                                   "ProdDocState");
}

int CCreateStateDlgModel::Find(const std::string& name) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].first == name)
            return static_cast<int>(i);
    return -1;
}

void CCreateStateDlgModel::OnAdd(IItemList& list)
{
    if (RefuseCatalogEdit())
        return;
    for (;;) {
        const std::int16_t number = NextStateNumber();
        std::string name, fullName;
        if (m_names.AskName(nullptr, kModeAdd, name, fullName) != IDOK)
            return;
        if (!Execute("INSERT INTO ProdDocState (Grp,State,NameState) VALUES (" + std::to_string(Grp) + "," +
                         std::to_string(number) + ",'" + SqlQuote(name) + "')",
                     true))
            continue;
        FillList(list);
        if (int found = Find(name); found >= 0)
            Select(list, found);
        OnSelChange(m_nSelection);
        return;
    }
}

void CCreateStateDlgModel::OnDelete(IItemList& list)
{
    if (RefuseCatalogEdit() || m_entries.empty())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strState.c_str(), kModeDelete, name, fullName) != IDOK)
        return;
    if (!Execute("DELETE FROM ProdDocState WHERE Grp=" + std::to_string(Grp) + " AND State=" +
                     std::to_string(m_nState),
                 false))
        return;
    FillList(list);
    OnSelChange(m_nSelection);
}

void CCreateStateDlgModel::OnRename(IItemList& list)
{
    if (RefuseCatalogEdit() || m_entries.empty())
        return;
    std::string name, fullName;
    if (m_names.AskName(m_strState.c_str(), kModeRename, name, fullName) != IDOK)
        return;
    if (!Execute("UPDATE ProdDocState SET NameState='" + SqlQuote(name) + "' WHERE Grp=" + std::to_string(Grp) +
                     " AND State=" + std::to_string(m_nState),
                 false))
        return;
    FillList(list);
    if (int found = Find(name); found >= 0)
        Select(list, found);
    OnSelChange(m_nSelection);
}

} // namespace tarnwick
