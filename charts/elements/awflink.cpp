#include "charts/elements/awfelements.h"

#include "charts/documents/core/chartrows.h"
#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartshell.h"

#include "winapi/text.h"

#include <wx/dc.h>

#include <algorithm>
#include <cmath>

using namespace tarnwick;

IMPLEMENT_SERIAL(CAWFLink, CODLinkComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CAWFCircleLink, CAWFLink, VERSIONABLE_SCHEMA | 1)

namespace tarnwick {

namespace {

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string TrimScript(const std::string& script)
{
    return winapi::Trim(script);
}

std::string EncodeFormulaScript(const std::string& trimmedScript)
{
    if (trimmedScript.empty())
        return {};
    // The length character is a character of its own, however long the
    // script: a one-byte length would turn 256 into the code 0 that ends the
    // value. Codes that are no character stand as U+FFFD; readers skip it.
    std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(winapi::Utf8Length(trimmedScript), 0x10FFFF));
    if (n >= 0xD800 && n <= 0xDFFF)
        n = 0xFFFD;
    std::string out;
    appendUtf8(out, n);
    out += ' ';
    out += trimmedScript;
    return out;
}

std::string DecodeFormulaScript(const std::string& stored)
{
    if (stored.empty())
        return {};
    std::string rest = stored.substr(winapi::Utf8Left(stored, 2).size());
    const std::size_t nul = rest.find('\0');
    if (nul != std::string::npos)
        rest.resize(nul);
    return rest;
}

} // namespace tarnwick

// ---------------------------------------------------------------- link

void CAWFLink::Serialize(CArchive& ar)
{
    CODLinkComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << static_cast<std::int16_t>(Kind == kindMove ? 1 : 0) << isConcurrent << isPartialProc
           << NewTypeDoc << LinkState << MoveOptions << name_template << ReservedText << FormulaScript;
        for (int i = 0; i < 9; ++i)
            ar << std::int32_t{0};
        return;
    }
    std::int32_t schema = 0, discard = 0;
    std::int16_t move = 0;
    ar >> schema >> move >> isConcurrent >> isPartialProc >> NewTypeDoc >> LinkState >> MoveOptions >> name_template >>
        ReservedText >> FormulaScript;
    for (int i = 0; i < 9; ++i)
        ar >> discard;
    Kind = move ? kindMove : kindAction;
    MoveOptions = std::max(MoveOptions, 0);
    LinkState = std::max(LinkState, 0);
    isPartialProc = std::max(isPartialProc, 0);
    isConcurrent = std::max(isConcurrent, 0);
}

CAWFState* CAWFLink::FindStateAt(CODPortComponent* port) const
{
    if (!port)
        return nullptr;
    for (CODConnection* conn : port->Connections()) {
        CODPortComponent* far = conn->GetOtherPort(port);
        if (auto* state = ElementCast<CAWFState>(far ? far->GetOwner() : nullptr))
            return state;
    }
    return nullptr;
}

bool CAWFLink::AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort)
{
    if (!CODLinkComponent::AcceptConnection(ownEnd, otherPort))
        return false;
    CODComponent* other = otherPort->GetOwner();
    if (other == this)
        return false;
    auto isState = [](CODComponent* c) { return dynamic_cast<CAWFState*>(c) != nullptr; };
    auto isAction = [](CODComponent* c) { return dynamic_cast<CAWFAction*>(c) != nullptr; };
    auto asLink = [](CODComponent* c) { return dynamic_cast<CAWFLink*>(c); };

    if (ownEnd == GetSourcePort()) {
        bool accepted = false;
        switch (Kind) {
        case kindUndecided:
            accepted = !(asLink(other) && !asLink(other)->IsDocumentMove());
            break;
        case kindMove:
            accepted = isState(other);
            break;
        case kindAction:
            if (!TargetComponent)
                TargetComponent = GetTargetComponent();
            if (isAction(other))
                accepted = asLink(TargetComponent) != nullptr;
            else if (CAWFLink* move = asLink(other))
                accepted = move->IsDocumentMove() && isAction(TargetComponent);
            break;
        default:
            break;
        }
        if (accepted)
            SourceComponent = other;
        return accepted;
    }
    if (ownEnd == GetTargetPort()) {
        if (other == SourceComponent)
            return false;
        if (Kind == kindUndecided) {
            if (!SourceComponent) {
                TargetComponent = other;
                return true;
            }
            // A move has states at both ends; anything else drawn is an action link.
            if (isState(SourceComponent) && isState(other)) {
                Kind = kindMove;
                TargetComponent = other;
                return true;
            }
            Kind = kindAction;
            // A refusal leaves the link undecided.
            const bool accepted = CAWFLink::AcceptConnection(ownEnd, otherPort);
            if (!accepted)
                Kind = kindUndecided;
            return accepted;
        }
        bool accepted = false;
        switch (Kind) {
        case kindMove:
            accepted = isState(other);
            break;
        case kindAction:
            if (!SourceComponent)
                SourceComponent = GetSourceComponent();
            if (isAction(other)) {
                accepted = asLink(SourceComponent) != nullptr;
            } else if (CAWFLink* move = asLink(other)) {
                accepted = move->IsDocumentMove() && isAction(SourceComponent);
            } else if (isState(other)) {
                // An action dropped on a state goes to the state's circular link.
                CODConnectionSet connections;
                other->GetConnections(connections);
                for (CODConnection* conn : connections)
                    for (int end = 0; end < 2; ++end)
                        if (auto* loop = dynamic_cast<CAWFCircleLink*>(conn->GetOwner(end))) {
                            TargetComponent = loop;
                            return true;
                        }
                return false;
            }
            break;
        default:
            break;
        }
        if (accepted)
            TargetComponent = other;
        return accepted;
    }
    return true;
}

void CAWFLink::OnConnected(CODConnection* conn)
{
    CODPortComponent* own = nullptr;
    for (int i = 0; i < 2; ++i)
        if (conn->GetOwner(i) == this && (conn->GetPort(i) == GetSourcePort() || conn->GetPort(i) == GetTargetPort()))
            own = conn->GetPort(i);
    CODPortComponent* far = own ? conn->GetOtherPort(own) : nullptr;
    CODComponent* other = far ? far->GetOwner() : nullptr;
    if (own && own == GetSourcePort()) {
        Kind = dynamic_cast<CAWFState*>(other) ? kindMove : kindAction;
    } else if (own && own == GetTargetPort()) {
        if (auto* state = dynamic_cast<CAWFState*>(other)) {
            state->UpdateDocTypeNames();
            if (Kind == kindAction) {
                CODConnectionSet connections;
                state->GetConnections(connections);
                CAWFCircleLink* loop = nullptr;
                for (CODConnection* c : connections) {
                    for (int end = 0; end < 2 && !loop; ++end)
                        loop = dynamic_cast<CAWFCircleLink*>(c->GetOwner(end));
                    if (loop)
                        break;
                }
                if (loop) {
                    TargetComponent = loop;
                    Reconnect(conn, GetTargetPort(), loop->GetPort());
                }
            }
        }
    }
    CODLinkComponent::OnConnected(conn);
}

CODConnection* CAWFLink::Reconnect(CODConnection* conn, CODPortComponent* a, CODPortComponent* b)
{
    RemoveConnection(conn);
    // The link's own ends take no connections from others, but this one is its own.
    if (!a || !b || a == b || a->IsConnectedTo(b) || (!a->IsConnectable() && a->GetOwner() != this) ||
        !b->IsConnectable())
        return nullptr;
    auto* created = new CODConnection(a, b);
    created->AddRef();
    AddConnection(created);
    if (CODComponent* owner = b->GetOwner(); owner && owner != this)
        owner->AddConnection(created);
    created->Release();
    Relayout();
    return created;
}

void CAWFLink::OnDisconnected(CODConnection* conn)
{
    CODComponent* other = nullptr;
    for (int i = 0; i < 2; ++i)
        if (conn->GetOwner(i) != this)
            other = conn->GetOwner(i);
    CODLinkComponent::OnDisconnected(conn);
    if (auto* state = dynamic_cast<CAWFState*>(other)) {
        state->UpdateDocTypeNames();
        if (CODModel* model = GetModel())
            model->RedrawComponent(state);
    }
}

void CAWFLink::OnCreateLine()
{
    CODLinkComponent::OnCreateLine();
    RemovalConfirmed = 0;
    if (IsDocumentMove() && GetLine()) {
        GetLine()->SetProperty(CODIntProperty(OD_PROP_LINE, 1));
        SetEndDecoration(20);
    }
}

void CAWFLink::GetActions(CODComponentSet& list)
{
    CODPortComponent* port = GetPort();
    if (!port)
        return;
    for (CODConnection* conn : port->Connections()) {
        CODPortComponent* far = conn->GetOtherPort(port);
        auto* link = ElementCast<CODLinkComponent>(far ? far->GetOwner() : nullptr);
        if (!link)
            continue;
        CODComponent* end = link->GetTargetComponent();
        if (end == this)
            end = link->GetSourceComponent();
        if (auto* action = ElementCast<CAWFAction>(end))
            list.Add(action);
    }
}

void CAWFLink::MarkActionLinks(CODComponentSet& list)
{
    CODPortComponent* port = GetPort();
    if (!port)
        return;
    for (CODConnection* conn : port->Connections()) {
        CODPortComponent* far = conn->GetOtherPort(port);
        if (auto* link = dynamic_cast<CAWFLink*>(far ? far->GetOwner() : nullptr)) {
            link->RemovalConfirmed = 1;
            list.Add(link);
        }
    }
}

bool CAWFLink::GetLinkedAction(CODComponentSet& list)
{
    if (IsDocumentMove())
        return false;
    CODComponent* end = GetTargetComponent();
    if (dynamic_cast<CAWFLink*>(end))
        end = GetSourceComponent();
    if (auto* action = dynamic_cast<CAWFAction*>(end)) {
        list.Add(action);
        return true;
    }
    return false;
}

CAWFAction* CAWFLink::FindAction(std::int32_t action)
{
    CODComponentSet actions;
    GetActions(actions);
    for (CODComponent* c : actions)
        if (auto* a = dynamic_cast<CAWFAction*>(c); a && a->GetActionId() == action)
            return a;
    return nullptr;
}

void CAWFLink::OnDelete(CODModel* model)
{
    auto* chart = dynamic_cast<CDiagramModel*>(model);
    // The target state is read while the link still ends on it.
    CAWFState* target = GetToState();
    if (target)
        target->AddRef();
    if (chart && !chart->m_bSilentRemove) {
        CODComponentSet list;
        if (!IsDocumentMove()) {
            if (GetLinkedAction(list) && (RemovalConfirmed || ChartShell().AskYesNo("Удалять действия?")))
                chart->DeleteComponents(list);
        } else {
            CODPortComponent* port = GetPort();
            if (port && port->Connections().GetSize() > 0 &&
                (RemovalConfirmed || ChartShell().AskYesNo("Удалять связанные с переходом действия?"))) {
                MarkActionLinks(list);
                chart->DeleteComponents(list);
            }
        }
    }
    CODLinkComponent::OnDelete(model);
    if (target) {
        if (chart && !chart->m_bSilentRemove) {
            target->UpdateDocTypeNames();
            model->RedrawComponent(target);
        }
        target->Release();
    }
}

void CAWFLink::OnDraw(wxDC& dc)
{
    CODLinkComponent::OnDraw(dc);
    if (Errors.empty() || !GetPort())
        return;
    const CPoint at = GetPort()->GetLocation();
    DrawErrorIcon(dc, CPoint(at.x - 5, at.y - 5));
}

bool CAWFLink::OnDoubleClick(std::uint32_t, const CPoint&)
{
    ChartShell().PostCommand(44546);
    return true;
}

bool CAWFLink::Validate()
{
    return Validate(GetSourcePort() ? GetSourcePort()->Connections().GetSize() : 0,
                    GetTargetPort() ? GetTargetPort()->Connections().GetSize() : 0, GetFromState(), GetToState());
}

bool CAWFLink::Validate(int atSource, int atTarget, CAWFState* from, CAWFState* to)
{
    if (FindsError(atSource, atTarget, IsDocumentMove(), from && to)) {
        Errors.push_back("Переход не имеет связи с состоянием");
        return true;
    }
    return false;
}

void CAWFLink::SaveToDB(const ado::_ConnectionPtr& connection)
{
    CAWFState* from = GetFromState();
    CAWFState* to = GetToState();
    if (Kind == kindUndecided || !from || !to)
        return;
    auto* model = dynamic_cast<CTarnwickModel*>(GetModel());
    const std::int32_t grp = model ? model->GetGrp() : -1;
    const std::int32_t type = model ? model->GetType() : -1;
    const std::int32_t typeDoc = from->GetTypeDoc();
    const std::int32_t state = from->GetState();
    const std::int32_t newTypeDoc = to->GetTypeDoc();
    const std::int32_t newState = to->GetState();
    if (to->GenNewOperate == 0)
        NewTypeDoc = 0;
    if (LinkState < 0)
        LinkState = 0;

    const ChartSaveRows::Key key = {typeDoc, grp, type, state, grp, newState};
    ChartSaveRows* rows = model ? model->m_SaveRows : nullptr;
    ChartSaveRows::ElementRow row = ChartSaveRows::Open(
        rows, ChartTable::Move, key, connection,
        "SELECT * FROM MainDocMove WHERE Grp = " + std::to_string(grp) + " AND Type = " + std::to_string(type) +
            " AND TypeDoc = " + std::to_string(typeDoc) + " AND State = " + std::to_string(state) +
            " AND NewGrp = " + std::to_string(grp) + " AND NewState = " + std::to_string(newState));
    ado::_RecordsetPtr& rs = row.rs;
    if (row.added) {
        rs->AddNew();
        rs->PutCollect("Grp", ado::_variant_t(static_cast<int>(grp)));
        rs->PutCollect("Type", ado::_variant_t(static_cast<int>(type)));
        rs->PutCollect("TypeDoc", ado::_variant_t(static_cast<int>(typeDoc)));
        rs->PutCollect("State", ado::_variant_t(static_cast<int>(state)));
        rs->PutCollect("NewGrp", ado::_variant_t(static_cast<int>(grp)));
        rs->PutCollect("NewState", ado::_variant_t(static_cast<int>(newState)));
    }
    FormulaScript = TrimScript(FormulaScript);
    const std::vector<std::uint8_t> drawing = StoreElement(*this);
    rs->PutCollect("isPartialProc", ado::_variant_t(static_cast<short>(isPartialProc)));
    rs->PutCollect("NewTypeDoc", ado::_variant_t(static_cast<int>(NewTypeDoc)));
    rs->PutCollect("MoveOptions", ado::_variant_t(static_cast<int>(MoveOptions)));
    rs->PutCollect("name_template", ado::_variant_t(name_template));
    rs->PutCollect("LinkState", ado::_variant_t(static_cast<int>(LinkState)));
    rs->PutCollect("isConcurrent", ado::_variant_t(static_cast<short>(isConcurrent)));
    rs->PutCollect("GraphInfo", ado::_variant_t::FromBytes(drawing.data(), drawing.size()));
    rs->PutCollect("FormulaScript", ado::_variant_t(EncodeFormulaScript(FormulaScript)));
    rs->Update();

    const std::int32_t idMove =
        row.added ? NewRowId(connection, rs, ChartTable::Move) : ValueOrZero(rs->GetCollect("idMove"));
    ChartSaveRows::Finish(rows, ChartTable::Move, key, row);

    CODComponentSet actions;
    GetActions(actions);
    for (CODComponent* c : actions)
        static_cast<CAWFAction*>(c)->SaveToDB(connection, grp, type, typeDoc, state, grp, type, newTypeDoc, newState,
                                               idMove);
}

// ---------------------------------------------------------------- circular link

bool CAWFCircleLink::AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort)
{
    if (!CODLinkComponent::AcceptConnection(ownEnd, otherPort))
        return false;
    CODComponent* other = otherPort->GetOwner();
    if (!other)
        return false;
    if (dynamic_cast<CAWFState*>(other)) {
        for (int i = 0; i < other->GetChildCount(); ++i)
            if (CODComponent* c = other->GetChild(i); c && c->IsKindOf(RUNTIME_CLASS(CODEllipseComponent)))
                return false;
    } else if (!dynamic_cast<CAWFLink*>(other)) {
        return false;
    }
    if (ownEnd == GetSourcePort())
        SourceComponent = other;
    else if (ownEnd == GetTargetPort())
        TargetComponent = other;
    return true;
}

bool CAWFCircleLink::Route()
{
    CODComponent* source = GetSourceComponent();
    CODComponent* state = GetTargetComponent();
    if (source != state)
        return true;
    if (!state)
        return false;
    CODComponent* polygon = nullptr;
    for (int i = 0; i < state->GetChildCount(); ++i)
        if (CODComponent* c = state->GetChild(i); c && c->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)))
            polygon = c;

    // The ellipse is only a measure; it leaves the state on every way out.
    auto* ellipse = new CODEllipseComponent(CRect(-50, 20, 50, 120));
    ellipse->AddRef();
    struct Guard {
        CODComponent* state;
        CODEllipseComponent* ellipse;
        ~Guard()
        {
            state->RemoveChild(ellipse);
            ellipse->Release();
        }
    } guard{state, ellipse};
    state->AppendChild(ellipse);
    state->UpdateBounds(true);
    ellipse->ClearFilled();
    if (!polygon)
        return false;

    const CODRegion& circle = ellipse->GetRegion();
    const CODRegion& inside = polygon->GetRegion();
    if (circle.GetPolygonCount() == 0)
        return false;
    std::vector<CPoint> kept;
    for (const CPoint& p : circle.Polygon(0))
        if (!inside.HitTest(p, 10))
            kept.push_back(p);
    // Placed from the state's left edge and top as the state stands, scaled
    // as it is: a state that took another size keeps its loop against it.
    const CRect bounds = state->GetBounds();
    const CODTransform& scale = state->GetTransform();
    for (CPoint& p : kept)
        p = CPoint(bounds.left + static_cast<std::int32_t>(std::lround((p.x + 50) * scale.m_sx)),
                   bounds.top + static_cast<std::int32_t>(std::lround(p.y * scale.m_sy)));
    SetPoints(kept.data(), static_cast<int>(kept.size()));
    // The ends stay on the arc rather than at the port's centre inside the state.
    if (CODLineComponent* line = GetLine(); line && kept.size() >= 2) {
        line->SetVertex(0, kept.front());
        line->SetVertex(line->GetVertexCount() - 1, kept.back());
        line->UpdateBounds(false);
        UpdateBounds(false);
    }
    return true;
}
