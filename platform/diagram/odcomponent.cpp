#include "diagram/odcomponent.h"

#include "diagram/odmodel.h"
#include "winapi/text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

IMPLEMENT_SERIAL(CODComponent, CObject, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CODPortComponent, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_DYNAMIC(CODConnection, CObject)
IMPLEMENT_SERIAL(CODSymbolComponent, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CODPolygonComponent, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CODLineComponent, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CODEllipseComponent, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CODTextComponent, CODComponent, VERSIONABLE_SCHEMA | 1)

namespace {

std::int32_t clampToInt(double v)
{
    if (!(v == v))
        return 0;
    v = std::round(v);
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

void writePoints(CArchive& ar, const std::vector<CPoint>& pts)
{
    ar.WriteCount(static_cast<std::uint32_t>(pts.size()));
    for (const CPoint& p : pts)
        ar << p;
}

std::vector<CPoint> readPoints(CArchive& ar)
{
    std::vector<CPoint> pts;
    const std::uint32_t n = ar.ReadCount();
    for (std::uint32_t i = 0; i < n; ++i) {
        CPoint p;
        ar >> p;
        pts.push_back(p);
    }
    return pts;
}

// Stored geometry must stay well inside 32 bits, so that moving and
// scaling cannot overflow.
void checkCoordinate(std::int64_t v)
{
    if (v < -od::kMaxCoordinate || v > od::kMaxCoordinate)
        CArchive::ThrowException(CArchiveException::genericException, "coordinate out of range");
}

void checkPoints(const std::vector<CPoint>& pts)
{
    for (const CPoint& p : pts) {
        checkCoordinate(p.x);
        checkCoordinate(p.y);
    }
}

void checkRect(const CRect& r)
{
    checkCoordinate(r.left);
    checkCoordinate(r.top);
    checkCoordinate(r.right);
    checkCoordinate(r.bottom);
}

} // namespace

// ---------------------------------------------------------------- geometry

CPoint CODTransform::Apply(const CPoint& p) const
{
    return {clampToInt(p.x * m_sx + m_tx), clampToInt(p.y * m_sy + m_ty)};
}

CPoint CODTransform::Inverse(const CPoint& p) const
{
    return {m_sx != 0 ? clampToInt((double(p.x) - m_tx) / m_sx) : 0,
            m_sy != 0 ? clampToInt((double(p.y) - m_ty) / m_sy) : 0};
}

CRect CODTransform::Apply(const CRect& r) const
{
    CPoint a = Apply(r.TopLeft());
    CPoint b = Apply(r.BottomRight());
    CRect out(a.x, a.y, b.x, b.y);
    out.NormalizeRect();
    return out;
}

namespace od {

namespace {
std::atomic<std::uint64_t> g_generation{0};
std::atomic<std::uint64_t> g_connectionGeneration{0};
}

std::uint64_t ConnectionGeneration()
{
    return g_connectionGeneration.load(std::memory_order_relaxed);
}

void TouchConnections()
{
    g_connectionGeneration.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t GeometryGeneration()
{
    return g_generation.load(std::memory_order_relaxed);
}

void TouchGeometry()
{
    g_generation.fetch_add(1, std::memory_order_relaxed);
}

bool PointInPolygon(const std::vector<CPoint>& poly, const CPoint& p)
{
    bool inside = false;
    const std::size_t n = poly.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = poly[i].x, yi = poly[i].y, xj = poly[j].x, yj = poly[j].y;
        if ((yi > p.y) != (yj > p.y) && p.x < (xj - xi) * (p.y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

double DistanceToSegment(const CPoint& p, const CPoint& a, const CPoint& b)
{
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((double(p.x) - a.x) * dx + (double(p.y) - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double cx = a.x + t * dx - p.x, cy = a.y + t * dy - p.y;
    return std::sqrt(cx * cx + cy * cy);
}

CRect BoundsOf(const std::vector<CPoint>& pts)
{
    if (pts.empty())
        return {};
    CRect r(pts[0].x, pts[0].y, pts[0].x, pts[0].y);
    for (const CPoint& p : pts) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return r;
}

} // namespace od

const CPoint* CODRegion::GetPolygon(int i, int& count) const
{
    if (i < 0 || i >= GetPolygonCount()) {
        count = 0;
        return nullptr;
    }
    const auto& poly = m_polygons[static_cast<std::size_t>(i)];
    count = static_cast<int>(poly.size());
    return poly.data();
}

bool CODRegion::HitTest(const CPoint& p, int tolerance) const
{
    for (const auto& poly : m_polygons) {
        if (poly.size() >= 3 && od::PointInPolygon(poly, p))
            return true;
        for (std::size_t i = 0; i + 1 < poly.size(); ++i)
            if (od::DistanceToSegment(p, poly[i], poly[i + 1]) <= tolerance)
                return true;
        if (poly.size() == 1 && od::DistanceToSegment(p, poly[0], poly[0]) <= tolerance)
            return true;
    }
    return false;
}

CRect CODRegion::GetBounds() const
{
    CRect r;
    for (const auto& poly : m_polygons) {
        CRect b = od::BoundsOf(poly);
        if (r.IsRectNull())
            r = b;
        else
            r = CRect(std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
                      std::max(r.bottom, b.bottom));
    }
    return r;
}

// ---------------------------------------------------------------- component

CODComponent::CODComponent() = default;

CODComponent::~CODComponent()
{
    for (CODComponent* c : m_children) {
        c->m_pParent = nullptr;
        c->Release();
    }
}

std::int32_t CODComponent::Release()
{
    const std::int32_t n = --m_nRefCount;
    if (n == 0)
        delete this;
    return n;
}

void CODComponent::DiscardAfterFailedLoad()
{
    if (m_nRefCount == 0)
        delete this;
}

CODModel* CODComponent::GetModel() const
{
    const CODComponent* c = this;
    while (c->m_pParent)
        c = c->m_pParent;
    return c->m_pModel;
}

CObject* CODComponent::GetContainer() const
{
    if (m_pParent)
        return m_pParent;
    return m_pModel;
}

CODComponent* CODComponent::GetTopLevel()
{
    CODComponent* c = this;
    while (c->m_pParent)
        c = c->m_pParent;
    return c;
}

CODComponent* CODComponent::FindChild(const std::string& name) const
{
    for (CODComponent* c : m_children)
        if (c && c->m_strName == name)
            return c;
    return nullptr;
}

void CODComponent::AppendChild(CODComponent* child)
{
    InsertChild(GetChildCount(), child);
}

void CODComponent::InsertChild(int index, CODComponent* child)
{
    if (!child || child == this || child->m_pParent)
        return;
    index = std::clamp(index, 0, GetChildCount());
    child->AddRef();
    child->m_pParent = this;
    m_children.InsertAt(index, child);
    if (CODPortComponent* port = PortCast(child))
        m_ports.Add(port);
}

void CODComponent::RemoveChild(CODComponent* child)
{
    if (!child || m_children.IndexOf(child) < 0)
        return;
    m_children.Remove(child);
    if (auto* port = dynamic_cast<CODPortComponent*>(child)) {
        m_ports.Remove(port);
        if (m_pOwnPort == port)
            m_pOwnPort = nullptr;
        od::TouchConnections();
    }
    child->m_pParent = nullptr;
    UpdateBounds(false);
    child->Release();
}

void CODComponent::TakeChild(CODComponent* child)
{
    if (!child)
        return;
    if (child->GetRefCount() != 0 || child->m_pParent || child->m_bLoading || child->m_pModel)
        CArchive::ThrowException(CArchiveException::badIndex, "component stored in two places");
    AppendChild(child);
}

CRect CODComponent::GetModelBounds() const
{
    if (!m_pParent)
        return m_rcBounds;
    CPoint a = ToModel(m_rcBounds.TopLeft());
    CPoint b = ToModel(m_rcBounds.BottomRight());
    CRect r(a.x, a.y, b.x, b.y);
    r.NormalizeRect();
    return r;
}

CPoint CODComponent::ToModel(const CPoint& p) const
{
    CPoint q = p;
    for (const CODComponent* a = m_pParent; a; a = a->m_pParent)
        q = a->m_xform.Apply(q);
    return q;
}

CPoint CODComponent::ChildToModel(const CPoint& p) const
{
    return ToModel(m_xform.Apply(p));
}

CPoint CODComponent::ModelToChild(const CPoint& p) const
{
    std::vector<const CODComponent*> chain;
    for (const CODComponent* a = this; a; a = a->m_pParent)
        chain.push_back(a);
    CPoint q = p;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        q = (*it)->m_xform.Inverse(q);
    return q;
}

void CODComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    CRect r;
    bool any = false;
    auto add = [&](const CRect& b) {
        if (!any) {
            r = b;
            any = true;
        } else {
            r = CRect(std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
                      std::max(r.bottom, b.bottom));
        }
    };
    if (!m_vertices.empty())
        add(od::BoundsOf(m_vertices));
    for (CODComponent* c : m_children)
        if (c)
            add(m_xform.Apply(c->m_rcBounds));
    if (any)
        m_rcBounds = r;
    m_region.Clear();
    if (m_vertices.size() >= 2)
        m_region.AddPolygon(m_vertices);
    else
        m_region.AddPolygon({m_rcBounds.TopLeft(), {m_rcBounds.right, m_rcBounds.top}, m_rcBounds.BottomRight(),
                             {m_rcBounds.left, m_rcBounds.bottom}});
    if (redraw)
        Invalidate();
}

void CODComponent::OffsetBy(std::int32_t dx, std::int32_t dy)
{
    od::TouchGeometry();
    for (CPoint& p : m_vertices)
        p.Offset(dx, dy);
    m_xform.m_tx += dx;
    m_xform.m_ty += dy;
    m_rcBounds.OffsetRect(dx, dy);
    UpdateBounds(false);
    RelayoutAttachedLinks();
}

void CODComponent::MoveTo(std::int32_t x, std::int32_t y)
{
    OffsetBy(x - m_rcBounds.left, y - m_rcBounds.top);
}

void CODComponent::SetSize(const CSize& size)
{
    od::TouchGeometry();
    const CRect old = m_rcBounds;
    if (old.Width() <= 0 || old.Height() <= 0 || size.cx <= 0 || size.cy <= 0) {
        m_rcBounds.right = m_rcBounds.left + size.cx;
        m_rcBounds.bottom = m_rcBounds.top + size.cy;
        return;
    }
    const double fx = double(size.cx) / old.Width();
    const double fy = double(size.cy) / old.Height();
    for (CPoint& p : m_vertices) {
        p.x = old.left + clampToInt((p.x - old.left) * fx);
        p.y = old.top + clampToInt((p.y - old.top) * fy);
    }
    m_xform.m_sx *= fx;
    m_xform.m_sy *= fy;
    m_xform.m_tx = old.left + clampToInt((m_xform.m_tx - old.left) * fx);
    m_xform.m_ty = old.top + clampToInt((m_xform.m_ty - old.top) * fy);
    UpdateBounds(false);
    // Rounding must not leave the size one unit off what was asked.
    m_rcBounds = CRect(old.left, old.top, old.left + size.cx, old.top + size.cy);
    RelayoutAttachedLinks();
}

CPoint CODComponent::GetVertex(int i) const
{
    if (i < 0 || i >= GetVertexCount())
        return {-1, -1};
    return m_vertices[static_cast<std::size_t>(i)];
}

void CODComponent::SetVertex(int i, const CPoint& pt)
{
    if (i >= 0 && i < GetVertexCount())
        m_vertices[static_cast<std::size_t>(i)] = pt;
}

void CODComponent::SetVertices(const CPoint* pts, int n)
{
    m_vertices.assign(pts, pts + std::max(n, 0));
}

std::vector<CPoint> CODComponent::GetPoints(bool modelSpace) const
{
    std::vector<CPoint> pts;
    if (!m_vertices.empty()) {
        pts = m_vertices;
    } else {
        // The outline of the last polygon child, else the bounds.
        for (int i = GetChildCount() - 1; i >= 0 && pts.empty(); --i) {
            CODComponent* c = GetChild(i);
            if (c && c->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)))
                for (const CPoint& p : c->m_vertices)
                    pts.push_back(m_xform.Apply(p));
        }
        if (pts.empty())
            pts = {m_rcBounds.TopLeft(), {m_rcBounds.right, m_rcBounds.top}, m_rcBounds.BottomRight(),
                   {m_rcBounds.left, m_rcBounds.bottom}};
    }
    if (modelSpace)
        for (CPoint& p : pts)
            p = ToModel(p);
    return pts;
}

std::vector<CPoint> CODComponent::GetOutline() const
{
    std::vector<CPoint> pts;
    GetOutline(pts);
    return pts;
}

void CODComponent::GetOutline(std::vector<CPoint>& out) const
{
    auto shaped = [](const CODComponent* c) {
        return c && ((c->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)) && c->m_vertices.size() >= 3) ||
                     (c->IsKindOf(RUNTIME_CLASS(CODEllipseComponent)) && c->m_region.GetPolygonCount() > 0));
    };
    const CODComponent* shape = nullptr;
    for (int i = GetChildCount() - 1; i >= 0 && !shape; --i)
        if (const CODComponent* c = GetChild(i); shaped(c) && c->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)))
            shape = c;
    for (int i = GetChildCount() - 1; i >= 0 && !shape; --i)
        if (const CODComponent* c = GetChild(i); shaped(c))
            shape = c;
    if (!shape && shaped(this))
        shape = this;
    out.clear();
    if (!shape) {
        const CRect r = GetModelBounds();
        out.insert(out.end(), {r.TopLeft(), {r.right, r.top}, r.BottomRight(), {r.left, r.bottom}});
        return;
    }
    const std::vector<CPoint>& pts =
        shape->IsKindOf(RUNTIME_CLASS(CODEllipseComponent)) ? shape->m_region.Polygon(0) : shape->m_vertices;
    for (const CPoint& p : pts)
        out.push_back(shape->ToModel(p));
}

bool CODComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    CRect r = GetModelBounds();
    r.InflateRect(tolerance, tolerance);
    return r.PtInRect(modelPt);
}

CODPortComponent* CODComponent::GetPort() const
{
    if (m_pOwnPort)
        return m_pOwnPort;
    return m_ports.GetSize() > 0 ? m_ports.GetAt(0) : nullptr;
}

void CODComponent::CollectPorts(std::vector<CODPortComponent*>& out) const
{
    for (CODComponent* c : m_children) {
        if (!c)
            continue;
        if (CODPortComponent* p = PortCast(c))
            out.push_back(p);
        c->CollectPorts(out);
    }
}

void CODComponent::GetConnections(CODConnectionSet& out) const
{
    std::vector<CODPortComponent*> ports;
    CollectPorts(ports);
    for (CODPortComponent* p : ports)
        p->GetConnections(out);
}

void CODComponent::AddConnection(CODConnection* conn)
{
    if (!conn)
        return;
    std::vector<CODPortComponent*> ports;
    CollectPorts(ports);
    for (CODPortComponent* p : ports)
        if (conn->GetPort(0) == p || conn->GetPort(1) == p)
            p->Attach(conn);
}

void CODComponent::RemoveConnection(CODConnection* conn)
{
    if (!conn)
        return;
    conn->AddRef(); // alive until both ports have let go
    for (int i = 0; i < 2; ++i)
        if (CODPortComponent* p = conn->GetPort(i))
            p->Detach(conn);
    conn->Release();
}

const CODFontProperty* CODComponent::GetFont() const
{
    for (const CODComponent* c = this; c; c = c->m_pParent)
        if (auto* f = dynamic_cast<const CODFontProperty*>(c->m_props.Find(OD_PROP_FONT)))
            return f;
    return nullptr;
}

void CODComponent::Invalidate()
{
    if (CODModel* m = GetModel())
        m->RedrawComponent(GetTopLevel());
}

void CODComponent::OnDelete(CODModel* model)
{
    CRect area = GetModelBounds();
    DisconnectAll();
    if (model) {
        model->RemoveComponent(this);
        model->InvalidateRect(area);
    }
}

void CODComponent::OnConnected(CODConnection*)
{
    Invalidate();
}

void CODComponent::OnDisconnected(CODConnection*)
{
    Invalidate();
}

void CODComponent::DisconnectAll()
{
    std::vector<CODPortComponent*> ports;
    CollectPorts(ports);
    for (CODPortComponent* p : ports) {
        while (p->Connections().GetSize() > 0) {
            CODConnection* conn = p->Connections().GetAt(0);
            conn->AddRef();
            CODComponent* a = conn->GetOwner(0);
            CODComponent* b = conn->GetOwner(1);
            {
                KeepAlive keepA(a);
                KeepAlive keepB(b != a ? b : nullptr);
                RemoveConnection(conn);
                if (a)
                    a->OnDisconnected(conn);
                if (b && b != a)
                    b->OnDisconnected(conn);
            }
            conn->Release();
        }
    }
}

void CODComponent::RelayoutAttachedLinks()
{
    std::vector<CODPortComponent*> ports;
    CollectPorts(ports);
    for (CODPortComponent* p : ports)
        for (CODConnection* conn : p->Connections()) {
            CODPortComponent* other = conn->GetOtherPort(p);
            CODComponent* owner = other ? other->GetOwner() : nullptr;
            if (owner && owner != this && owner->IsLink())
                static_cast<CODLinkComponent*>(owner)->Relayout();
        }
}

void CODComponent::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_strName << m_bVisible << m_rcBounds;
        ar << m_xform.m_sx << m_xform.m_sy << m_xform.m_tx << m_xform.m_ty;
        writePoints(ar, m_vertices);
        m_props.Serialize(ar);
        ar.WriteCount(static_cast<std::uint32_t>(m_children.GetSize()));
        // A child belongs to this component alone: it is written once.
        for (CODComponent* c : m_children)
            ar.WriteNewObject(c);
        ar << static_cast<std::int32_t>(m_children.IndexOf(m_pOwnPort));
        SerializeOwn(ar);
        return;
    }
    m_bLoading = true;
    ar >> m_strName >> m_bVisible >> m_rcBounds;
    ar >> m_xform.m_sx >> m_xform.m_sy >> m_xform.m_tx >> m_xform.m_ty;
    if (!(std::fabs(m_xform.m_sx) >= od::kMinScale && std::fabs(m_xform.m_sx) <= od::kMaxScale) ||
        !(std::fabs(m_xform.m_sy) >= od::kMinScale && std::fabs(m_xform.m_sy) <= od::kMaxScale))
        CArchive::ThrowException(CArchiveException::genericException, "component with a broken scale");
    checkRect(m_rcBounds);
    checkCoordinate(m_xform.m_tx);
    checkCoordinate(m_xform.m_ty);
    m_vertices = readPoints(ar);
    checkPoints(m_vertices);
    m_props.Serialize(ar);
    // The stored children replace those a constructor made.
    m_pOwnPort = nullptr;
    m_ports.RemoveAll();
    while (m_children.GetSize() > 0) {
        CODComponent* c = m_children.GetAt(m_children.GetSize() - 1);
        m_children.RemoveAt(m_children.GetSize() - 1);
        c->m_pParent = nullptr;
        c->Release();
    }
    const std::uint32_t n = ar.ReadCount();
    for (std::uint32_t i = 0; i < n; ++i) {
        CODComponent* c = nullptr;
        ar >> c;
        TakeChild(c);
    }
    std::int32_t own = -1;
    ar >> own;
    m_pOwnPort = nullptr;
    if (own >= 0) {
        m_pOwnPort = PortCast(m_children.GetAt(own));
        if (!m_pOwnPort)
            CArchive::ThrowException(CArchiveException::badIndex, "own port is no port");
    }
    od::TouchConnections();
    SerializeOwn(ar);
    const CRect stored = m_rcBounds;
    UpdateBounds(false);
    m_rcBounds = stored;
    m_bLoading = false;
}

void CODComponent::SerializeGeometry(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_rcBounds << m_xform.m_sx << m_xform.m_sy << m_xform.m_tx << m_xform.m_ty;
        writePoints(ar, m_vertices);
        for (CODComponent* c : m_children)
            c->SerializeGeometry(ar);
        return;
    }
    CRect bounds;
    ar >> bounds >> m_xform.m_sx >> m_xform.m_sy >> m_xform.m_tx >> m_xform.m_ty;
    m_vertices = readPoints(ar);
    for (CODComponent* c : m_children)
        c->SerializeGeometry(ar);
    UpdateBounds(false);
    m_rcBounds = bounds;
}

// ---------------------------------------------------------------- ports

CODPortComponent::CODPortComponent()
{
    m_strName = "Port";
}

CODPortComponent::~CODPortComponent()
{
    // A port going away takes its connections with it, from both sides.
    while (m_connections.GetSize() > 0) {
        CODConnection* conn = m_connections.GetAt(0);
        conn->AddRef();
        for (int i = 0; i < 2; ++i)
            if (CODPortComponent* p = conn->GetPort(i))
                p->Detach(conn);
        conn->Release();
    }
}

void CODPortComponent::SetLocation(const CPoint& pt, std::int32_t radius)
{
    od::TouchGeometry();
    m_vertices = {pt};
    m_rcBounds = CRect(pt.x - radius, pt.y - radius, pt.x + radius, pt.y + radius);
    m_region.Clear();
    m_region.AddPolygon({m_rcBounds.TopLeft(), {m_rcBounds.right, m_rcBounds.top}, m_rcBounds.BottomRight(),
                         {m_rcBounds.left, m_rcBounds.bottom}});
}

void CODPortComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    if (!m_vertices.empty()) {
        const std::int32_t r = std::max(1, m_rcBounds.Width() / 2);
        const CPoint c = m_vertices[0];
        m_rcBounds = CRect(c.x - r, c.y - r, c.x + r, c.y + r);
    }
    if (redraw)
        Invalidate();
}

CPoint CODPortComponent::GetLocation() const
{
    CPoint centre = m_vertices.empty() ? m_rcBounds.CenterPoint() : m_vertices[0];
    return ToModel(centre);
}

bool CODPortComponent::IsConnectedTo(const CODPortComponent* other) const
{
    return FindConnection(other) != nullptr;
}

CODConnection* CODPortComponent::FindConnection(const CODPortComponent* other) const
{
    for (CODConnection* c : m_connections)
        if (c->Joins(this, other))
            return c;
    return nullptr;
}

void CODPortComponent::Attach(CODConnection* conn)
{
    if (m_connections.IndexOf(conn) >= 0)
        return;
    conn->AddRef();
    m_connections.Add(conn);
    od::TouchConnections();
}

void CODPortComponent::Detach(CODConnection* conn)
{
    if (m_connections.IndexOf(conn) < 0)
        return;
    m_connections.Remove(conn);
    od::TouchConnections();
    conn->Release();
}

void CODPortComponent::SerializeOwn(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_bConnectable << m_bCircle;
    else
        ar >> m_bConnectable >> m_bCircle;
}

// ---------------------------------------------------------------- connections

std::int32_t CODConnection::Release()
{
    const std::int32_t n = --m_nRefCount;
    if (n == 0)
        delete this;
    return n;
}

CODPortComponent* CODConnection::GetOtherPort(const CODPortComponent* p) const
{
    if (p == m_pPorts[0])
        return m_pPorts[1];
    if (p == m_pPorts[1])
        return m_pPorts[0];
    return nullptr;
}

CODComponent* CODConnection::GetOwner(int i) const
{
    CODPortComponent* p = GetPort(i);
    return p ? p->GetOwner() : nullptr;
}

bool CODConnection::Joins(const CODPortComponent* a, const CODPortComponent* b) const
{
    return (m_pPorts[0] == a && m_pPorts[1] == b) || (m_pPorts[0] == b && m_pPorts[1] == a);
}

// ---------------------------------------------------------------- shapes

void CODPolygonComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    if (!m_vertices.empty())
        m_rcBounds = od::BoundsOf(m_vertices);
    m_region.Clear();
    m_region.AddPolygon(m_vertices);
    if (redraw)
        Invalidate();
}

bool CODPolygonComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    std::vector<CPoint> pts = GetPoints(true);
    CODRegion r;
    r.AddPolygon(pts);
    return r.HitTest(modelPt, tolerance);
}

CODLineComponent::~CODLineComponent() = default;

void CODLineComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    if (!m_vertices.empty())
        m_rcBounds = od::BoundsOf(m_vertices);
    m_region.Clear();
    m_region.AddPolygon(m_vertices);
    if (redraw)
        Invalidate();
}

bool CODLineComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    std::vector<CPoint> pts = GetPoints(true);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        if (od::DistanceToSegment(modelPt, pts[i], pts[i + 1]) <= tolerance)
            return true;
    return false;
}

void CODLineComponent::SerializeOwn(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_nEndDecoration << m_nLineDecoration;
    else
        ar >> m_nEndDecoration >> m_nLineDecoration;
}

void CODEllipseComponent::Create(const CRect& rc)
{
    m_rcBounds = rc;
    m_vertices.clear();
    UpdateBounds(false);
}

void CODEllipseComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    // The outline is derived from the bounds; resolution fixed so that the
    // region is the same on every run. It starts at the top and runs
    // clockwise on the screen, so that the part of it below or beside a
    // shape that covers its top is one run of points.
    const double cx = (m_rcBounds.left + m_rcBounds.right) / 2.0;
    const double cy = (m_rcBounds.top + m_rcBounds.bottom) / 2.0;
    const double rx = m_rcBounds.Width() / 2.0, ry = m_rcBounds.Height() / 2.0;
    std::vector<CPoint> outline;
    for (int i = 0; i < kOutlinePoints; ++i) {
        const double a = 2 * M_PI * i / kOutlinePoints - M_PI / 2;
        outline.emplace_back(clampToInt(cx + rx * std::cos(a)), clampToInt(cy + ry * std::sin(a)));
    }
    m_region.Clear();
    m_region.AddPolygon(std::move(outline));
    if (redraw)
        Invalidate();
}

bool CODEllipseComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    CODRegion r;
    std::vector<CPoint> pts = m_region.GetPolygonCount() ? m_region.Polygon(0) : std::vector<CPoint>{};
    for (CPoint& p : pts)
        p = ToModel(p);
    r.AddPolygon(pts);
    return r.HitTest(modelPt, tolerance);
}

void CODEllipseComponent::SerializeOwn(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_bFilled;
    else
        ar >> m_bFilled;
}

void CODEllipseComponent::SetSize(const CSize& size)
{
    CODComponent::SetSize(size);
    UpdateBounds(false);
}


// ---------------------------------------------------------------- text

namespace {

class FixedMeasurer : public IODTextMeasurer {
public:
    CSize Measure(const std::string& line, const CODFontProperty& font) override
    {
        const auto chars = static_cast<std::int32_t>(winapi::Utf8Length(line));
        const std::int32_t pt = std::max(1, font.m_nPointSize);
        return {chars * ((pt * 6 + 9) / 10), (pt * 15 + 9) / 10};
    }
};

FixedMeasurer g_fixedMeasurer;
IODTextMeasurer* g_measurer = nullptr;

} // namespace

IODTextMeasurer* IODTextMeasurer::Get()
{
    if (g_measurer)
        return g_measurer;
    if (IODTextMeasurer* fonts = od::FontMeasurer())
        return fonts;
    return &g_fixedMeasurer;
}

void IODTextMeasurer::Set(IODTextMeasurer* measurer)
{
    g_measurer = measurer;
}

void CODTextComponent::Create(std::int32_t)
{
    m_strText.clear();
    m_vertices.clear();
    CRect below(0, 0, 100, 20);
    if (m_pParent) {
        // Below the parent's drawing, in its local space, so it reads as a comment.
        CRect local;
        bool any = false;
        for (CODComponent* c : *m_pParent->GetChildren())
            if (c && c != this) {
                CRect b = c->GetBounds();
                local = any ? CRect(std::min(local.left, b.left), std::min(local.top, b.top),
                                    std::max(local.right, b.right), std::max(local.bottom, b.bottom))
                            : b;
                any = true;
            }
        if (any)
            below = CRect(local.left, local.bottom + 2, local.right, local.bottom + 22);
    }
    m_rcBounds = below;
    UpdateBounds(false);
}

void CODTextComponent::SetTextRect(const CRect& rc)
{
    m_rcBounds = rc;
    UpdateBounds(false);
}

std::vector<std::string> CODTextComponent::GetLines() const
{
    std::vector<std::string> lines(1);
    for (char c : m_strText) {
        if (c == '\n')
            lines.emplace_back();
        else if (c != '\r')
            lines.back() += c;
    }
    return lines;
}

void CODTextComponent::SizeToText(std::int32_t)
{
    od::TouchGeometry();
    static const CODFontProperty kDefaultFont;
    const CODFontProperty* font = GetFont();
    if (!font)
        font = &kDefaultFont;
    std::int32_t w = 0, h = 0;
    IODTextMeasurer* measurer = IODTextMeasurer::Get();
    if (m_strText.find_first_of("\r\n") == std::string::npos) {
        // One line, as most labels are: measured as it stands.
        const CSize s = measurer->Measure(m_strText, *font);
        w = s.cx;
        h = s.cy;
    } else {
        for (const std::string& line : GetLines()) {
            CSize s = measurer->Measure(line, *font);
            w = std::max(w, s.cx);
            h += s.cy;
        }
    }
    // Fonts do not scale with the symbol: in the symbol's own space, the
    // text needs its size over the symbol's scale.
    double sx = 1.0, sy = 1.0;
    for (const CODComponent* p = m_pParent; p; p = p->GetParent()) {
        sx *= p->GetTransform().m_sx;
        sy *= p->GetTransform().m_sy;
    }
    sx = std::max(std::fabs(sx), od::kMinScale);
    sy = std::max(std::fabs(sy), od::kMinScale);
    m_rcBounds.right = m_rcBounds.left + static_cast<std::int32_t>(std::ceil(w / sx));
    m_rcBounds.bottom = m_rcBounds.top + static_cast<std::int32_t>(std::ceil(h / sy));
    UpdateBounds(false);
}

void CODTextComponent::UpdateBounds(bool redraw)
{
    od::TouchGeometry();
    m_region.Clear();
    m_region.AddPolygon({m_rcBounds.TopLeft(), {m_rcBounds.right, m_rcBounds.top}, m_rcBounds.BottomRight(),
                         {m_rcBounds.left, m_rcBounds.bottom}});
    if (redraw)
        Invalidate();
}

bool CODTextComponent::HitTest(const CPoint& modelPt, int tolerance) const
{
    CRect r = GetModelBounds();
    r.InflateRect(tolerance, tolerance);
    return r.PtInRect(modelPt);
}

void CODTextComponent::SerializeOwn(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_strText;
    else
        ar >> m_strText;
}
