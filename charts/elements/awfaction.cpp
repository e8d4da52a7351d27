#include "charts/elements/awfelements.h"

#include "charts/documents/core/chartrows.h"
#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartshell.h"

#include <wx/dc.h>

using namespace tarnwick;

IMPLEMENT_SERIAL(CAWFAction, CODSymbolComponent, VERSIONABLE_SCHEMA | 1)

void CAWFAction::Serialize(CArchive& ar)
{
    CODSymbolComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << ActionId << TypeAction << Order << ReservedText;
        for (int i = 0; i < 10; ++i)
            ar << std::int32_t{0};
        return;
    }
    std::int32_t version = 0, discard = 0;
    ar >> version >> ActionId >> TypeAction >> Order >> ReservedText;
    if (TypeAction != 0 && TypeAction != 1)
        TypeAction = 0;
    if (version == 1)
        FormatOrderLabel();
    for (int i = 0; i < 10; ++i)
        ar >> discard;
}

void CAWFAction::FormatOrderLabel()
{
    OrderLabel = "(" + std::to_string(Order) + ")";
}

void CAWFAction::SetActionName(std::int32_t actionId, const std::string& name, std::int32_t typeAction,
                               std::uint16_t order)
{
    ActionId = actionId;
    TypeAction = typeAction;
    Order = order;
    for (int i = 0; i < GetChildCount(); ++i) {
        CODComponent* c = GetChild(i);
        if (c && c->GetName() == "ActionName") {
            FormatOrderLabel();
            if (auto* text = dynamic_cast<CODTextComponent*>(c))
                text->SetText(name + OrderLabel);
            return;
        }
    }
}

std::string CAWFAction::GetActionName() const
{
    for (int i = 0; i < GetChildCount(); ++i) {
        CODComponent* c = GetChild(i);
        if (c && c->GetName() == "ActionName") {
            auto* text = dynamic_cast<CODTextComponent*>(c);
            return text ? text->GetText() : std::string();
        }
    }
    return "???";
}

void CAWFAction::Validate()
{
    CODPortComponent* port = GetPort();
    Validate(port && !port->Connections().IsEmpty());
}

void CAWFAction::Validate(bool connected)
{
    if (!connected)
        Errors.push_back("Действие должно быть связано с переходом");
}

void CAWFAction::OnDraw(wxDC& dc)
{
    CODSymbolComponent::OnDraw(dc);
    if (Errors.empty())
        return;
    const CPoint origin = GetOrigin();
    const CRect bounds = GetBounds();
    DrawErrorIcon(dc, CPoint(origin.x + 4, origin.y + (bounds.bottom - bounds.top) / 2 - 10));
}

bool CAWFAction::OnDoubleClick(std::uint32_t, const CPoint&)
{
    ChartShell().PostCommand(44546);
    return true;
}

void CAWFAction::SaveToDB(const ado::_ConnectionPtr& connection, std::int32_t grp, std::int32_t type,
                          std::int32_t typeDoc, std::int32_t state, std::int32_t newGrp, std::int32_t,
                          std::int32_t, std::int32_t newState, std::int32_t idMove)
{
    ado::_RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    std::int16_t actionGrp = 0;
    auto* model = dynamic_cast<CTarnwickModel*>(GetModel());
    if (model && model->m_ActionGroups) {
        if (auto found = model->m_ActionGroups->find(ActionId); found != model->m_ActionGroups->end())
            actionGrp = found->second;
    } else {
        rs->Open(ado::_variant_t("SELECT Grp FROM ProdDocAction WHERE Action = " + std::to_string(ActionId)),
                 connection, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
        if (!rs->IsEOF()) {
            rs->MoveFirst();
            const ado::_variant_t v = rs->GetCollect("Grp");
            actionGrp = v.vt == ado::VT_NULL ? 0 : v.ToShort();
        }
        rs->Close();
    }

    const ChartSaveRows::Key key = {typeDoc, grp, type, state, newGrp, newState, ActionId};
    ChartSaveRows* rows = model ? model->m_SaveRows : nullptr;
    ChartSaveRows::ElementRow row = ChartSaveRows::Open(
        rows, ChartTable::Action, key, connection,
        "SELECT * FROM MainDocAction WHERE Grp = " + std::to_string(grp) + " AND Type = " + std::to_string(type) +
            " AND TypeDoc = " + std::to_string(typeDoc) + " AND State = " + std::to_string(state) +
            " AND NewGrp = " + std::to_string(newGrp) + " AND NewState = " + std::to_string(newState) +
            " AND Action = " + std::to_string(ActionId));
    if (row.added) {
        row.rs->AddNew();
        row.rs->PutCollect("Grp", ado::_variant_t(static_cast<int>(grp)));
        row.rs->PutCollect("Type", ado::_variant_t(static_cast<int>(type)));
        row.rs->PutCollect("TypeDoc", ado::_variant_t(static_cast<int>(typeDoc)));
        row.rs->PutCollect("State", ado::_variant_t(static_cast<int>(state)));
        row.rs->PutCollect("NewGrp", ado::_variant_t(static_cast<int>(newGrp)));
        row.rs->PutCollect("NewState", ado::_variant_t(static_cast<int>(newState)));
        row.rs->PutCollect("Action", ado::_variant_t(static_cast<int>(ActionId)));
        row.rs->PutCollect("ActionGrp", ado::_variant_t(static_cast<short>(actionGrp)));
    }
    const std::vector<std::uint8_t> drawing = StoreElement(*this);
    row.rs->PutCollect("idMove", ado::_variant_t(static_cast<int>(idMove)));
    row.rs->PutCollect("TypeAction", ado::_variant_t(static_cast<int>(TypeAction)));
    row.rs->PutCollect("OrderAction", ado::_variant_t(static_cast<short>(Order)));
    row.rs->PutCollect("GraphInfo", ado::_variant_t::FromBytes(drawing.data(), drawing.size()));
    row.rs->Update();
    ChartSaveRows::Finish(rows, ChartTable::Action, key, row);
}
