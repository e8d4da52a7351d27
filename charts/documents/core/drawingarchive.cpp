#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartshell.h"

#include "afx/archive.h"
#include "afx/file.h"

using namespace tarnwick;

namespace {

// A state no link reaches.
bool isIsolated(CAWFState& state)
{
    CODConnectionSet connections;
    if (CODPortComponent* port = state.GetPort())
        port->GetConnections(connections);
    return connections.IsEmpty();
}

} // namespace

void CTarnwickModel::LoadFromArchive(const ado::_ConnectionPtr& connection)
{
    ado::_RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    if (rs->Open(ado::_variant_t("SELECT Symbol_Data FROM MainDocGraphic WHERE Grp = " + std::to_string(Grp) +
                                 " AND Type = " + std::to_string(GetKey())),
                 connection, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText) != ado::S_OK)
        return;
    if (rs->IsEOF() || rs->IsBOF())
        return;
    const ado::_variant_t value = rs->GetCollect("Symbol_Data");
    rs->Close();
    if (value.vt != (ado::VT_ARRAY | ado::VT_UI1))
        return;
    const std::vector<std::uint8_t> bytes = value.ToBytes();
    if (bytes.empty())
        return;
    // Read into a scratch model first, so that a broken drawing leaves this
    // chart and its document types as they were.
    {
        CTarnwickModel scratch;
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        scratch.Serialize(ar);
    }
    ReleaseDocTypes();
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    Serialize(ar);
}

void CTarnwickModel::SaveToArchive(const ado::_ConnectionPtr& connection)
{
    ado::_RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open(ado::_variant_t("MainDocGraphic"), connection, ado::adOpenKeyset, ado::adLockOptimistic, ado::adCmdTable);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        Serialize(ar);
        ar.Flush();
    }
    const std::vector<std::uint8_t> bytes = file.Detach();
    rs->AddNew();
    rs->PutCollect("Grp", ado::_variant_t(static_cast<short>(Grp)));
    rs->PutCollect("Type", ado::_variant_t(static_cast<int>(GetKey())));
    rs->PutCollect("Symbol_Data", ado::_variant_t::FromBytes(bytes.data(), bytes.size()));
    rs->Update();
    rs->Close();
}

bool CTarnwickModel::HasConsistentStates()
{
    if (GetComponentCount() > 0)
        return true;
    ado::_RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    // The count is read by its position: an unnamed column has no name that
    // both engines agree on.
    rs->Open(ado::_variant_t("SELECT count(State) AS StateCount FROM MainDocState WHERE TypeDoc =" +
                             std::to_string(GetKey())),
             ChartShell().Connection(), ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
    const std::int64_t count = rs->IsEOF() ? 0 : rs->GetCollect(ado::_variant_t(0)).ToInt64();
    rs->Close();
    return count == 0;
}

bool CTarnwickModel::HasIsolatedStates()
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* state = dynamic_cast<CAWFState*>(components->GetAt(i));
        if (state && isIsolated(*state))
            return true;
    }
    return false;
}

void CTarnwickModel::ShowIsolatedStates(bool show)
{
    m_bIsolatedShown = show ? 1 : 0;
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* state = dynamic_cast<CAWFState*>(components->GetAt(i));
        if (state && isIsolated(*state))
            state->SetVisible(show);
    }
}

void CTarnwickModel::ShowActions(CODComponentSet* selection, bool show)
{
    CODComponentSet* list = GetComponents();
    bool useSelection = false;
    if (selection) {
        if (selection->GetSize() > 1) {
            useSelection = true;
        } else if (selection->GetSize() == 1) {
            auto* link = dynamic_cast<CAWFLink*>(selection->GetAt(0));
            useSelection = link && link->IsDocumentMove();
        }
    }
    if (useSelection)
        list = selection;
    else
        m_bActionsShown = show ? 1 : 0;
    for (int i = 0; i < list->GetSize(); ++i) {
        CODComponent* c = list->GetAt(i);
        auto* link = dynamic_cast<CAWFLink*>(c);
        if (dynamic_cast<CAWFAction*>(c) || (link && !link->IsDocumentMove()))
            c->SetVisible(show);
    }
}
