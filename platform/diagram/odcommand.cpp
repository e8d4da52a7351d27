#include "diagram/odcommand.h"

#include <algorithm>

namespace {

// Restores a stored connection the way a load does: the link is asked about
// its end, the connection is kept whatever it answers, nobody is notified.
void restoreJoin(CODPortComponent* own, CODPortComponent* other)
{
    if (!own || !other || own->IsConnectedTo(other))
        return;
    auto ask = [](CODPortComponent* end, CODPortComponent* far) {
        CODComponent* owner = end->GetOwner();
        if (owner && owner->IsLink()) {
            auto* link = static_cast<CODLinkComponent*>(owner);
            if (end == link->GetSourcePort() || end == link->GetTargetPort())
                link->AcceptConnection(end, far);
        }
    };
    ask(own, other);
    ask(other, own);
    auto* conn = new CODConnection(own, other);
    conn->AddRef();
    own->Attach(conn);
    other->Attach(conn);
    conn->Release();
    if (CODComponent* o = own->GetOwner(); o && o->IsLink())
        static_cast<CODLinkComponent*>(o)->Relayout();
    if (CODComponent* o = other->GetOwner(); o && o->IsLink())
        static_cast<CODLinkComponent*>(o)->Relayout();
}

bool inModel(CODComponent* c, CODModel* model)
{
    return c && c->GetTopLevel()->GetModel() == model && model->Contains(c->GetTopLevel());
}

} // namespace

void CODCommand::SetComponents(const CODComponentSet& set)
{
    m_components.clear();
    m_holds.clear();
    for (CODComponent* c : set)
        SetComponent(c);
}

void CODCommand::SetComponent(CODComponent* c)
{
    if (!c)
        return;
    c->AddRef();
    m_holds.emplace_back(c);
    m_components.push_back(c);
}

// ---------------------------------------------------------------- insert

bool CODInsertCommand::Execute()
{
    bool any = false;
    for (CODComponent* c : m_components)
        if (!m_pModel->Contains(c) && !c->GetParent()) {
            m_pModel->AppendComponent(c);
            m_pModel->UpdateComponent(c);
            any = true;
        }
    return any;
}

void CODInsertCommand::Unexecute()
{
    for (auto it = m_components.rbegin(); it != m_components.rend(); ++it) {
        CRect area = (*it)->GetBounds();
        (*it)->DisconnectAll();
        if (m_pModel->RemoveComponent(*it))
            m_pModel->InvalidateRect(area);
    }
}

// ---------------------------------------------------------------- delete

namespace {

struct JoinHold {
    static void take(CODPortComponent* p)
    {
        if (p && p->GetOwner())
            p->GetOwner()->GetTopLevel()->AddRef();
    }
    static void drop(CODPortComponent* p)
    {
        if (p && p->GetOwner())
            p->GetOwner()->GetTopLevel()->Release();
    }
};

} // namespace

bool CODDeleteCommand::Execute()
{
    for (CODComponent* c : m_components) {
        const int index = m_pModel->GetComponents()->IndexOf(c);
        if (index < 0)
            continue; // already gone (a nested delete) or never in the model
        Removed r{c, index, {}};
        std::vector<CODPortComponent*> ports;
        c->CollectPorts(ports);
        for (CODPortComponent* p : ports)
            for (CODConnection* conn : p->Connections()) {
                CODPortComponent* other = conn->GetOtherPort(p);
                JoinHold::take(other);
                r.joins.push_back({p, other});
            }
        c->OnDelete(m_pModel);
        if (m_pModel->Contains(c)) {
            for (const Join& j : r.joins)
                JoinHold::drop(j.other);
            continue;
        }
        m_removed.push_back(std::move(r));
    }
    return !m_removed.empty();
}

void CODDeleteCommand::Unexecute()
{
    for (auto it = m_removed.rbegin(); it != m_removed.rend(); ++it)
        m_pModel->InsertComponent(it->index, it->comp);
    for (const Removed& r : m_removed)
        for (const Join& j : r.joins)
            if (inModel(j.other ? j.other->GetOwner() : nullptr, m_pModel))
                restoreJoin(j.own, j.other);
    for (const Removed& r : m_removed)
        for (const Join& j : r.joins)
            JoinHold::drop(j.other);
    for (Removed& r : m_removed)
        r.joins.clear();
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
}

void CODDeleteCommand::Reexecute()
{
    for (Removed& r : m_removed) {
        r.index = std::max(0, m_pModel->GetComponents()->IndexOf(r.comp));
        std::vector<CODPortComponent*> ports;
        r.comp->CollectPorts(ports);
        for (CODPortComponent* p : ports)
            for (CODConnection* conn : p->Connections()) {
                CODPortComponent* other = conn->GetOtherPort(p);
                JoinHold::take(other);
                r.joins.push_back({p, other});
            }
        // Only the library's own removal: what the elements added to it
        // was recorded as commands of its own and is redone from those.
        r.comp->CODComponent::OnDelete(m_pModel);
    }
}

CODDeleteCommand::~CODDeleteCommand()
{
    for (const Removed& r : m_removed)
        for (const Join& j : r.joins)
            JoinHold::drop(j.other);
}

// ---------------------------------------------------------------- link

void CODLinkCommand::SetLink(CODLinkComponent* link)
{
    m_pLink = link;
    SetComponent(link);
}

bool CODLinkCommand::Execute()
{
    if (!m_pLink || !m_pStart || !m_pEnd)
        return false;
    if (!m_pLink->ConnectSource(m_pStart))
        return false;
    if (!m_pLink->ConnectTarget(m_pEnd)) {
        m_pLink->DisconnectEnd(m_pLink->GetSourcePort());
        return false;
    }
    std::vector<CPoint> pts = m_vertices;
    if (pts.size() < 2)
        pts = {m_pStart->GetLocation(), m_pEnd->GetLocation()};
    pts.front() = m_pStart->GetLocation();
    pts.back() = m_pEnd->GetLocation();
    if (m_pLink->GetLine())
        m_pLink->SetPoints(pts.data(), static_cast<int>(pts.size()));
    else
        m_pLink->CreateLine(pts);
    if (!m_pModel->Contains(m_pLink)) {
        m_pModel->AppendComponent(m_pLink);
        m_bAppended = true;
    }
    m_pModel->UpdateComponent(m_pLink);
    return true;
}

void CODLinkCommand::Unexecute()
{
    m_pLink->DisconnectEnd(m_pLink->GetSourcePort());
    m_pLink->DisconnectEnd(m_pLink->GetTargetPort());
    if (m_bAppended) {
        CRect area = m_pLink->GetBounds();
        m_pModel->RemoveComponent(m_pLink);
        m_pModel->InvalidateRect(area);
    }
}

void CODLinkCommand::Reexecute()
{
    restoreJoin(m_pLink->GetSourcePort(), m_pStart);
    restoreJoin(m_pLink->GetTargetPort(), m_pEnd);
    if (m_bAppended && !m_pModel->Contains(m_pLink))
        m_pModel->AppendComponent(m_pLink);
    m_pLink->Relayout();
    m_pModel->UpdateComponent(m_pLink);
}

// ---------------------------------------------------------------- geometry

std::vector<CODComponent*> CODGeometryCommand::affected() const
{
    std::vector<CODComponent*> out;
    auto add = [&](CODComponent* c) {
        if (c && std::find(out.begin(), out.end(), c) == out.end())
            out.push_back(c);
    };
    for (CODComponent* c : m_components)
        add(c);
    for (CODComponent* c : m_components) {
        std::vector<CODPortComponent*> ports;
        c->CollectPorts(ports);
        for (CODPortComponent* p : ports)
            for (CODConnection* conn : p->Connections()) {
                CODPortComponent* other = conn->GetOtherPort(p);
                if (other && other->GetOwner())
                    add(other->GetOwner()->GetTopLevel());
            }
    }
    return out;
}

void CODGeometryCommand::capture(std::vector<std::vector<std::uint8_t>>& out,
                                 const std::vector<CODComponent*>& comps) const
{
    out.clear();
    for (CODComponent* c : comps) {
        CMemFile f;
        CArchive ar(&f, CArchive::store);
        c->SerializeGeometry(ar);
        out.push_back(f.Detach());
    }
}

void CODGeometryCommand::restore(const std::vector<std::vector<std::uint8_t>>& in)
{
    for (std::size_t i = 0; i < m_affected.size() && i < in.size(); ++i) {
        CMemFile f(in[i]);
        CArchive ar(&f, CArchive::load);
        m_affected[i]->SerializeGeometry(ar);
    }
    finish();
}

void CODGeometryCommand::finish()
{
    // Links are in place; the symbols have the last word.
    for (CODComponent* c : m_components)
        if (!c->IsLink())
            c->OnSymbolChanged();
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
}

bool CODGeometryCommand::Execute()
{
    m_affected = affected();
    for (CODComponent* c : m_affected)
        if (std::find(m_components.begin(), m_components.end(), c) == m_components.end())
            SetComponentHold(c);
    capture(m_before, m_affected);
    if (!Apply())
        return false;
    capture(m_after, m_affected);
    finish();
    return true;
}

void CODGeometryCommand::Unexecute()
{
    restore(m_before);
}

void CODGeometryCommand::Reexecute()
{
    restore(m_after);
}

void CODGeometryCommand::SetComponentHold(CODComponent* c)
{
    c->AddRef();
    m_extraHolds.emplace_back(c);
}

bool CODMoveCommand::Apply()
{
    if (m_components.empty() || (m_dx == 0 && m_dy == 0))
        return false;
    for (CODComponent* c : m_components)
        c->OffsetBy(m_dx, m_dy);
    return true;
}

bool CODAlignCommand::Apply()
{
    if (m_components.size() < 2)
        return false;
    const CRect ref = m_components.front()->GetBounds();
    for (std::size_t i = 1; i < m_components.size(); ++i) {
        CODComponent* c = m_components[i];
        const CRect b = c->GetBounds();
        std::int32_t dx = 0, dy = 0;
        switch (m_nAlign) {
        case 0: dx = ref.left - b.left; break;
        case 1: dx = ref.CenterPoint().x - b.CenterPoint().x; break;
        case 2: dx = ref.right - b.right; break;
        case 3: dy = ref.top - b.top; break;
        case 4: dy = ref.CenterPoint().y - b.CenterPoint().y; break;
        case 5: dy = ref.bottom - b.bottom; break;
        default: return false;
        }
        c->OffsetBy(dx, dy);
    }
    return true;
}

bool CODScaleCommand::Apply()
{
    if (m_components.empty() || m_cx <= 0 || m_cy <= 0)
        return false;
    for (CODComponent* c : m_components) {
        const CSize s = c->GetSize();
        c->SetSize(CSize(std::max(1, s.cx * m_cx / 100), std::max(1, s.cy * m_cy / 100)));
    }
    return true;
}

bool CODVertexCommand::Apply()
{
    if (m_components.empty())
        return false;
    CODComponent* c = m_components.front();
    if (c->IsLink()) {
        auto* link = static_cast<CODLinkComponent*>(c);
        if (!link->GetLine() || m_nIndex < 0 || m_nIndex > link->GetPointCount())
            return false;
        if (m_kind == moveVertex) {
            if (m_nIndex >= link->GetPointCount())
                return false;
            link->MovePoint(m_nIndex, m_pt);
        } else {
            link->InsertPoint(m_nIndex, m_pt);
        }
        return true;
    }
    std::vector<CPoint> v = c->Vertices();
    if (m_nIndex < 0 || m_nIndex > static_cast<std::int32_t>(v.size()))
        return false;
    if (m_kind == moveVertex) {
        if (m_nIndex >= static_cast<std::int32_t>(v.size()))
            return false;
        v[static_cast<std::size_t>(m_nIndex)] = m_pt;
    } else {
        v.insert(v.begin() + m_nIndex, m_pt);
    }
    c->SetVertices(v.data(), static_cast<int>(v.size()));
    c->UpdateBounds(false);
    c->RelayoutAttachedLinks();
    return true;
}

bool CODHandleCommand::Apply()
{
    if (m_components.empty())
        return false;
    CODComponent* c = m_components.front();
    if (m_nHandle == 0) {
        c->MoveTo(m_pt.x, m_pt.y);
        return true;
    }
    const CPoint tl = c->GetOrigin();
    if (m_pt.x <= tl.x || m_pt.y <= tl.y)
        return false;
    c->SetSize(CSize(m_pt.x - tl.x, m_pt.y - tl.y));
    return true;
}

bool CODNudgeCommand::Apply()
{
    static const std::int32_t dx[] = {-1, 1, 0, 0}, dy[] = {0, 0, -1, 1};
    if (m_components.empty() || m_nDir < 0 || m_nDir > 3)
        return false;
    for (CODComponent* c : m_components)
        c->OffsetBy(dx[m_nDir], dy[m_nDir]);
    return true;
}

// ---------------------------------------------------------------- others

bool CODVisibilityCommand::Execute()
{
    m_old.clear();
    for (CODComponent* c : m_components) {
        m_old.push_back(c->IsVisible());
        c->SetVisible(m_bVisible);
    }
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
    return !m_components.empty();
}

void CODVisibilityCommand::Unexecute()
{
    for (std::size_t i = 0; i < m_components.size() && i < m_old.size(); ++i)
        m_components[i]->SetVisible(m_old[i]);
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
}

bool CODPropertyCommand::Execute()
{
    if (!m_pProp || m_components.empty())
        return false;
    m_old.clear();
    for (CODComponent* c : m_components) {
        CODProperty* old = c->GetProperty(m_pProp->GetId());
        m_old.push_back(old ? old->Clone() : nullptr);
        c->SetProperty(*m_pProp);
    }
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
    return true;
}

void CODPropertyCommand::Unexecute()
{
    for (std::size_t i = 0; i < m_components.size() && i < m_old.size(); ++i) {
        if (m_old[i])
            m_components[i]->SetProperty(*m_old[i]);
        else
            m_components[i]->GetProperties().Remove(m_pProp->GetId());
    }
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
}

bool CODTextCommand::Execute()
{
    m_old.clear();
    bool any = false;
    for (CODComponent* c : m_components) {
        auto* t = dynamic_cast<CODTextComponent*>(c);
        m_old.emplace_back(t ? t->GetText() : std::string(), c->GetBounds());
        if (!t)
            continue;
        t->SetText(m_strText);
        t->SizeToText(8);
        any = true;
    }
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
    return any;
}

void CODTextCommand::Unexecute()
{
    for (std::size_t i = 0; i < m_components.size() && i < m_old.size(); ++i)
        if (auto* t = dynamic_cast<CODTextComponent*>(m_components[i])) {
            t->SetText(m_old[i].first);
            t->SetTextRect(m_old[i].second);
        }
    m_pModel->Broadcast(m_pModel, OD_UPDATE_ALL, nullptr);
}

void CODUnsupportedCommand::SetShared(IODRefCount* shared)
{
    if (shared)
        shared->AddRef();
    if (m_pShared)
        m_pShared->Release();
    m_pShared = shared;
}

CODUnsupportedCommand::~CODUnsupportedCommand()
{
    if (m_pShared)
        m_pShared->Release();
}
