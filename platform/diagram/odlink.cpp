#include "diagram/odcomponent.h"
#include "diagram/odmodel.h"

#include <algorithm>
#include <cmath>

IMPLEMENT_SERIAL(CODLinkComponent, CODComponent, VERSIONABLE_SCHEMA | 1)

namespace {

CODPortComponent* newPort(const char* name, bool connectable)
{
    auto* p = new CODPortComponent;
    p->SetName(name);
    p->SetConnectable(connectable);
    return p;
}

CODPortComponent* joinOf(const CODPortComponent* end)
{
    if (!end || end->Connections().GetSize() == 0)
        return nullptr;
    return end->Connections().GetAt(0)->GetOtherPort(end);
}

// Inside the outline or on it; box is the outline's bounds.
bool insideOutline(const std::vector<CPoint>& outline, const CRect& box, const CPoint& p)
{
    if (p.x < box.left - 1 || p.x > box.right + 1 || p.y < box.top - 1 || p.y > box.bottom + 1)
        return false;
    if (od::PointInPolygon(outline, p))
        return true;
    for (std::size_t i = 0; i < outline.size(); ++i)
        if (od::DistanceToSegment(p, outline[i], outline[(i + 1) % outline.size()]) < 0.5)
            return true;
    return false;
}

// Where the segment from a point outside an outline towards a point inside
// it first meets the outline.
CPoint entryPoint(const std::vector<CPoint>& outline, const CPoint& outside, const CPoint& inside)
{
    const double ax = outside.x, ay = outside.y;
    const double dx = double(inside.x) - ax, dy = double(inside.y) - ay;
    double best = 1.0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const CPoint& p = outline[i];
        const CPoint& q = outline[(i + 1) % outline.size()];
        const double ex = double(q.x) - p.x, ey = double(q.y) - p.y;
        const double denom = dx * ey - dy * ex;
        if (denom == 0)
            continue;
        const double t = ((p.x - ax) * ey - (p.y - ay) * ex) / denom;
        const double u = ((p.x - ax) * dy - (p.y - ay) * dx) / denom;
        if (t >= 0 && t < best && u >= 0 && u <= 1)
            best = t;
    }
    return {static_cast<std::int32_t>(std::lround(ax + best * dx)), static_cast<std::int32_t>(std::lround(ay + best * dy))};
}

// Makes the end of a drawn line (the front, or the back) meet the border of
// the symbol it is joined to: an end inside the symbol stops where the line
// enters it, an end left outside (a loop's end on its arc) is carried on to
// the border towards the port.
void meetBorder(std::vector<CPoint>& pts, const CODPortComponent* join, bool front)
{
    if (!join || !join->GetOwner() || pts.size() < 2)
        return;
    const CODComponent* symbol = join->GetOwner();
    while (symbol->GetParent())
        symbol = symbol->GetParent();
    if (symbol->IsLink())
        return;
    // A paint does this for every link it shows: the outline's storage is kept.
    thread_local std::vector<CPoint> outline;
    symbol->GetOutline(outline);
    if (outline.size() < 3)
        return;
    const CRect box = od::BoundsOf(outline);
    auto inside = [&](const CPoint& p) { return insideOutline(outline, box, p); };
    if (!front)
        std::reverse(pts.begin(), pts.end());
    if (inside(pts[0])) {
        std::size_t k = 1;
        while (k < pts.size() && inside(pts[k]))
            ++k;
        if (k < pts.size()) {
            const CPoint border = entryPoint(outline, pts[k], pts[k - 1]);
            pts.erase(pts.begin(), pts.begin() + static_cast<std::ptrdiff_t>(k - 1));
            pts[0] = border;
        }
    } else if (const CPoint port = join->GetLocation(); inside(port)) {
        const CPoint border = entryPoint(outline, pts[0], port);
        if (border != pts[0])
            pts.insert(pts.begin(), border);
    }
    if (!front)
        std::reverse(pts.begin(), pts.end());
}

} // namespace

CODLinkComponent::CODLinkComponent()
{
    m_strName = "Link";
    // Child 0 is the link's own port, where other links attach; the two end
    // ports follow. Hiding the first child therefore hides nothing drawn.
    CODPortComponent* own = newPort("Port", true);
    AppendChild(own);
    m_pOwnPort = own;
    m_pSourceEnd = newPort("Source", false);
    m_pTargetEnd = newPort("Target", false);
    od::TouchConnections();
    AppendChild(m_pSourceEnd);
    AppendChild(m_pTargetEnd);
}

CODLinkComponent::~CODLinkComponent()
{
    if (m_pLine) {
        m_pLine->SetModel(nullptr);
        m_pLine->Release();
    }
}

CODPortComponent* CODLinkComponent::GetSourceJoin() const
{
    return joinOf(m_pSourceEnd);
}

CODPortComponent* CODLinkComponent::GetTargetJoin() const
{
    return joinOf(m_pTargetEnd);
}

CODComponent* CODLinkComponent::GetSourceComponent() const
{
    CODPortComponent* p = GetSourceJoin();
    return p ? p->GetOwner() : nullptr;
}

CODComponent* CODLinkComponent::GetTargetComponent() const
{
    CODPortComponent* p = GetTargetJoin();
    return p ? p->GetOwner() : nullptr;
}

bool CODLinkComponent::AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort)
{
    if (!ownEnd || !otherPort || ownEnd == otherPort)
        return false;
    if (ownEnd != m_pSourceEnd && ownEnd != m_pTargetEnd)
        return false;
    if (!otherPort->IsConnectable() || ownEnd->IsConnectedTo(otherPort))
        return false;
    if (otherPort->GetOwner() == this)
        return false;
    return true;
}

bool CODLinkComponent::ConnectEnd(CODPortComponent* ownEnd, CODPortComponent* other)
{
    if (!ownEnd || !AcceptConnection(ownEnd, other))
        return false;
    KeepAlive self(this); // the notifications may drop the last holder
    if (ownEnd->Connections().GetSize() > 0)
        DisconnectEnd(ownEnd);
    auto* conn = new CODConnection(ownEnd, other);
    conn->AddRef();
    ownEnd->Attach(conn);
    other->Attach(conn);
    {
        CODComponent* owner = other->GetOwner();
        KeepAlive far(owner && owner != this ? owner : nullptr);
        OnConnected(conn);
        if (owner && owner != this)
            owner->OnConnected(conn);
    }
    conn->Release();
    Relayout();
    return true;
}

void CODLinkComponent::DisconnectEnd(CODPortComponent* ownEnd)
{
    if (!ownEnd)
        return;
    while (ownEnd->Connections().GetSize() > 0) {
        CODConnection* conn = ownEnd->Connections().GetAt(0);
        conn->AddRef();
        CODComponent* other = conn->GetOwner(0) == this ? conn->GetOwner(1) : conn->GetOwner(0);
        KeepAlive self(this);
        KeepAlive far(other && other != this ? other : nullptr);
        RemoveConnection(conn);
        OnDisconnected(conn);
        if (other && other != this)
            other->OnDisconnected(conn);
        conn->Release();
    }
}

bool CODLinkComponent::SetupLink(CODPortComponent* source, CODPortComponent* target)
{
    if (!source && !target)
        return true;
    bool ok = true;
    if (source)
        ok = ConnectSource(source) && ok;
    if (target)
        ok = ConnectTarget(target) && ok;
    const CPoint a = source ? source->GetLocation() : (target ? target->GetLocation() : CPoint());
    const CPoint b = target ? target->GetLocation() : a;
    CreateLine({a, b});
    return ok;
}

void CODLinkComponent::CreateLine(const std::vector<CPoint>& pts)
{
    if (m_pLine) {
        SetPoints(pts.data(), static_cast<int>(pts.size()));
        return;
    }
    m_pLine = new CODLineComponent;
    m_pLine->AddRef();
    m_pLine->SetName("Line");
    m_pLine->SetVertices(pts.data(), static_cast<int>(pts.size()));
    m_pLine->UpdateBounds(false);
    Relayout();
    OnCreateLine();
}

int CODLinkComponent::GetPointCount() const
{
    return m_pLine ? m_pLine->GetVertexCount() : 0;
}

CPoint CODLinkComponent::GetPoint(int i) const
{
    return m_pLine ? m_pLine->GetVertex(i) : CPoint(-1, -1);
}

std::vector<CPoint> CODLinkComponent::GetDrawnPoints() const
{
    if (!m_pLine || m_pLine->GetVertexCount() < 2)
        return {};
    std::vector<CPoint> pts = m_pLine->Vertices();
    meetBorder(pts, GetSourceJoin(), true);
    meetBorder(pts, GetTargetJoin(), false);
    return pts;
}

void CODLinkComponent::SetPoints(const CPoint* pts, int n)
{
    if (!m_pLine || !pts || n < 0)
        return;
    m_pLine->SetVertices(pts, n);
    Relayout();
}

void CODLinkComponent::InsertPoint(int i, const CPoint& pt)
{
    if (!m_pLine)
        return;
    std::vector<CPoint> v = m_pLine->Vertices();
    i = std::clamp(i, 0, static_cast<int>(v.size()));
    v.insert(v.begin() + i, pt);
    m_pLine->SetVertices(v.data(), static_cast<int>(v.size()));
    Relayout();
}

void CODLinkComponent::MovePoint(int i, const CPoint& pt)
{
    if (!m_pLine || i < 0 || i >= m_pLine->GetVertexCount())
        return;
    m_pLine->SetVertex(i, pt);
    Relayout();
}

void CODLinkComponent::RemovePoint(int i)
{
    if (!m_pLine || i <= 0 || i >= m_pLine->GetVertexCount() - 1)
        return;
    std::vector<CPoint> v = m_pLine->Vertices();
    v.erase(v.begin() + i);
    m_pLine->SetVertices(v.data(), static_cast<int>(v.size()));
    Relayout();
}

void CODLinkComponent::Relayout()
{
    if (!m_pLine || m_pLine->GetVertexCount() == 0) {
        UpdateBounds(false);
        return;
    }
    const int last = m_pLine->GetVertexCount() - 1;
    if (CODPortComponent* s = GetSourceJoin())
        m_pLine->SetVertex(0, s->GetLocation());
    if (CODPortComponent* t = GetTargetJoin())
        m_pLine->SetVertex(last, t->GetLocation());
    m_pLine->UpdateBounds(false);
    placeOwnPorts();
    UpdateBounds(false);
}

void CODLinkComponent::placeOwnPorts()
{
    const std::vector<CPoint>& v = m_pLine ? m_pLine->Vertices() : m_pending;
    if (v.empty())
        return;
    m_pSourceEnd->SetLocation(v.front());
    m_pTargetEnd->SetLocation(v.back());
    const std::size_t n = v.size();
    const CPoint a = v[(n - 1) / 2], b = v[n / 2];
    if (m_pOwnPort)
        m_pOwnPort->SetLocation(CPoint((a.x + b.x) / 2, (a.y + b.y) / 2));
}

void CODLinkComponent::SetEndDecoration(std::int32_t size)
{
    if (m_pLine)
        m_pLine->SetEndDecoration(size);
}

void CODLinkComponent::SetLineDecoration(std::int32_t style)
{
    if (m_pLine)
        m_pLine->SetLineDecoration(style);
}

void CODLinkComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    CRect r;
    bool any = false;
    auto add = [&](const CRect& b) {
        r = any ? CRect(std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
                        std::max(r.bottom, b.bottom))
                : b;
        any = true;
    };
    if (m_pLine && m_pLine->GetVertexCount() > 0)
        add(m_pLine->GetBounds());
    for (CODComponent* c : m_children)
        if (c && !dynamic_cast<CODPortComponent*>(c))
            add(c->GetBounds());
    if (any)
        m_rcBounds = r;
    m_region.Clear();
    if (m_pLine)
        m_region.AddPolygon(m_pLine->Vertices());
    if (redraw)
        Invalidate();
}

void CODLinkComponent::OffsetBy(std::int32_t dx, std::int32_t dy)
{
    od::TouchGeometry();
    if (m_pLine) {
        std::vector<CPoint> v = m_pLine->Vertices();
        for (CPoint& p : v)
            p.Offset(dx, dy);
        m_pLine->SetVertices(v.data(), static_cast<int>(v.size()));
    }
    for (CODComponent* c : m_children)
        if (c && !dynamic_cast<CODPortComponent*>(c))
            c->OffsetBy(dx, dy);
    Relayout();
    RelayoutAttachedLinks();
}

void CODLinkComponent::MoveTo(std::int32_t x, std::int32_t y)
{
    OffsetBy(x - m_rcBounds.left, y - m_rcBounds.top);
}

bool CODLinkComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    // The line is hit where it is drawn, not inside the symbols it joins:
    // a press there takes the symbol.
    if (m_pLine && m_pLine->HitTest(modelPt, tolerance)) {
        const std::vector<CPoint> drawn = GetDrawnPoints();
        for (std::size_t i = 0; i + 1 < drawn.size(); ++i)
            if (od::DistanceToSegment(modelPt, drawn[i], drawn[i + 1]) <= tolerance)
                return true;
    }
    for (CODComponent* c : m_children)
        if (c && c->IsVisible() && !dynamic_cast<CODPortComponent*>(c) && c->HitTest(modelPt, tolerance))
            return true;
    return false;
}

std::vector<CPoint> CODLinkComponent::GetPoints(bool) const
{
    return m_pLine ? m_pLine->Vertices() : std::vector<CPoint>{};
}

void CODLinkComponent::SerializeOwn(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteNewObject(m_pLine);
        ar << static_cast<std::int32_t>(m_children.IndexOf(m_pSourceEnd))
           << static_cast<std::int32_t>(m_children.IndexOf(m_pTargetEnd));
        return;
    }
    if (m_pLine) {
        m_pLine->Release();
        m_pLine = nullptr;
    }
    CODLineComponent* line = nullptr;
    ar >> line;
    if (line) {
        if (line->GetRefCount() != 0 || line->GetParent() || line->IsLoading())
            CArchive::ThrowException(CArchiveException::badIndex, "line stored in two places");
        line->AddRef();
        m_pLine = line;
    }
    std::int32_t s = -1, t = -1;
    ar >> s >> t;
    m_pSourceEnd = PortCast(m_children.GetAt(s));
    m_pTargetEnd = PortCast(m_children.GetAt(t));
    if (!m_pSourceEnd || !m_pTargetEnd || m_pSourceEnd == m_pTargetEnd)
        CArchive::ThrowException(CArchiveException::badIndex, "link without its two ends");
}

void CODLinkComponent::SerializeGeometry(CArchive& ar)
{
    if (ar.IsStoring()) {
        CODComponent::SerializeGeometry(ar);
        ar << (m_pLine != nullptr);
        if (m_pLine)
            m_pLine->SerializeGeometry(ar);
        return;
    }
    CODComponent::SerializeGeometry(ar);
    bool hasLine = false;
    ar >> hasLine;
    if (hasLine && m_pLine)
        m_pLine->SerializeGeometry(ar);
    placeOwnPorts();
    UpdateBounds(false);
}
