#include "diagram/odmodel.h"

#include "afx/pointermap.h"
#include "diagram/odcommand.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

IMPLEMENT_SERIAL(CODModel, CObject, VERSIONABLE_SCHEMA | 1)

// ---------------------------------------------------------------- history

CODCommandHistory::~CODCommandHistory()
{
    Clear();
}

bool CODCommandHistory::Execute(CODCommand* cmd)
{
    if (!cmd)
        return false;
    ++m_nBusy;
    bool ok = false;
    try {
        ok = cmd->Execute();
    } catch (...) {
        --m_nBusy;
        delete cmd;
        throw;
    }
    --m_nBusy;
    if (!ok) {
        delete cmd;
        return false;
    }
    m_undo.push_back(cmd);
    for (CODCommand* c : m_redo)
        delete c;
    m_redo.clear();
    if (m_pModel)
        m_pModel->SetModified(true);
    return true;
}

bool CODCommandHistory::Undo()
{
    if (m_undo.empty() || m_nBusy)
        return false;
    CODCommand* cmd = m_undo.back();
    m_undo.pop_back();
    ++m_nBusy;
    cmd->Unexecute();
    --m_nBusy;
    m_redo.push_back(cmd);
    if (m_pModel)
        m_pModel->SetModified(true);
    return true;
}

bool CODCommandHistory::Redo()
{
    if (m_redo.empty() || m_nBusy)
        return false;
    CODCommand* cmd = m_redo.back();
    m_redo.pop_back();
    ++m_nBusy;
    cmd->Reexecute();
    --m_nBusy;
    m_undo.push_back(cmd);
    if (m_pModel)
        m_pModel->SetModified(true);
    return true;
}

void CODCommandHistory::Clear()
{
    // Newest first, so that a command never outlives what it depends on.
    while (!m_redo.empty()) {
        delete m_redo.back();
        m_redo.pop_back();
    }
    while (!m_undo.empty()) {
        delete m_undo.back();
        m_undo.pop_back();
    }
}

// ---------------------------------------------------------------- model

// A grid of cells over model space, each listing the components whose
// bounds (with some slack for the tolerance) reach into it, so that a hit
// test looks at a few components instead of all of them. Rebuilt when any
// geometry has changed since.
struct CODModel::HitGrid {
    static constexpr int kShift = 8;     // cells of 256 units
    static constexpr int kSlack = 16;    // largest tolerance served from the grid
    static constexpr long kMaxCells = 1024;
    std::unordered_map<std::int64_t, std::vector<int>> cells;
    std::vector<int> large;              // too big for the cells: always looked at
    static std::int64_t key(std::int32_t cx, std::int32_t cy)
    {
        return (static_cast<std::int64_t>(cx) << 32) ^ static_cast<std::uint32_t>(cy);
    }
};

CODModel::CODModel() : m_history(this) {}

CODModel::~CODModel()
{
    m_pDelegate->Clear();
    m_history.Clear();
    m_observers.clear();
    RemoveAllComponents();
}

std::int32_t CODModel::Release()
{
    const std::int32_t n = --m_nRefCount;
    if (n == 0)
        delete this;
    return n;
}

void CODModel::DiscardAfterFailedLoad()
{
    if (m_nRefCount == 0)
        delete this;
}

void CODModel::AppendComponent(CODComponent* c)
{
    InsertComponent(m_components.GetSize(), c);
}

void CODModel::InsertComponent(int index, CODComponent* c)
{
    if (!c || c->GetParent())
        return;
    c->AddRef();
    c->SetModel(this);
    m_components.InsertAt(std::clamp(index, 0, m_components.GetSize()), c);
    od::TouchGeometry();
}

bool CODModel::RemoveComponent(CODComponent* c)
{
    const int i = m_components.IndexOf(c);
    if (i < 0)
        return false;
    m_components.RemoveAt(i);
    od::TouchGeometry();
    c->SetModel(nullptr);
    c->Release();
    return true;
}

void CODModel::RemoveAllComponents()
{
    while (m_components.GetSize() > 0) {
        CODComponent* c = m_components.GetAt(m_components.GetSize() - 1);
        m_components.RemoveAt(m_components.GetSize() - 1);
        c->SetModel(nullptr);
        c->Release();
    }
    od::TouchGeometry();
}

void CODModel::DeleteContents()
{
    m_pDelegate->Clear();
    RemoveAllComponents();
    Broadcast(this, OD_UPDATE_ALL, nullptr);
}

void CODModel::UpdateComponent(CODComponent* c)
{
    if (!c)
        return;
    c->UpdateBounds(false);
    Broadcast(this, OD_UPDATE_COMPONENT, c);
}

void CODModel::UpdateAllComponents()
{
    for (CODComponent* c : m_components)
        if (c)
            c->UpdateBounds(false);
    Broadcast(this, OD_UPDATE_ALL, nullptr);
}

void CODModel::InvalidateRect(const CRect& modelRect)
{
    CRect r = modelRect;
    Broadcast(this, OD_UPDATE_RECT, &r);
}

void CODModel::MoveComponents(CODComponentSet& set, std::int32_t dx, std::int32_t dy)
{
    for (CODComponent* c : set)
        if (c)
            c->OffsetBy(dx, dy);
    for (CODComponent* c : set)
        if (c)
            c->RelayoutAttachedLinks();
    Broadcast(this, OD_UPDATE_ALL, nullptr);
}

const CODModel::HitGrid& CODModel::hitGrid() const
{
    const std::uint64_t gen = od::GeometryGeneration();
    if (m_pGrid && m_nGridGeneration == gen)
        return *m_pGrid;
    auto grid = std::make_unique<HitGrid>();
    for (int i = 0; i < m_components.GetSize(); ++i) {
        CODComponent* c = m_components.GetAt(i);
        if (!c)
            continue;
        CRect r = c->GetBounds();
        r.InflateRect(HitGrid::kSlack, HitGrid::kSlack);
        const std::int32_t x0 = r.left >> HitGrid::kShift, x1 = r.right >> HitGrid::kShift;
        const std::int32_t y0 = r.top >> HitGrid::kShift, y1 = r.bottom >> HitGrid::kShift;
        if (static_cast<long>(x1 - x0 + 1) * (y1 - y0 + 1) > HitGrid::kMaxCells) {
            grid->large.push_back(i);
            continue;
        }
        for (std::int32_t y = y0; y <= y1; ++y)
            for (std::int32_t x = x0; x <= x1; ++x)
                grid->cells[HitGrid::key(x, y)].push_back(i);
    }
    m_pGrid = std::move(grid);
    m_nGridGeneration = gen;
    return *m_pGrid;
}

CODComponent* CODModel::ComponentAt(const CPoint& pt, int tolerance) const
{
    if (tolerance >= 0 && tolerance <= HitGrid::kSlack) {
        const HitGrid& grid = hitGrid();
        int best = -1;
        auto consider = [&](int i) {
            if (i <= best)
                return;
            CODComponent* c = m_components.GetAt(i);
            if (!c || !c->IsVisible())
                return;
            CRect r = c->GetBounds();
            r.InflateRect(tolerance, tolerance);
            if (r.PtInRect(pt) && c->HitTest(pt, tolerance))
                best = i;
        };
        auto it = grid.cells.find(HitGrid::key(pt.x >> HitGrid::kShift, pt.y >> HitGrid::kShift));
        if (it != grid.cells.end())
            for (auto j = it->second.rbegin(); j != it->second.rend() && *j > best; ++j)
                consider(*j);
        for (int i : grid.large)
            consider(i);
        return best >= 0 ? m_components.GetAt(best) : nullptr;
    }
    for (int i = m_components.GetSize() - 1; i >= 0; --i) {
        CODComponent* c = m_components.GetAt(i);
        if (!c || !c->IsVisible())
            continue;
        CRect r = c->GetBounds();
        r.InflateRect(tolerance, tolerance);
        if (r.PtInRect(pt) && c->HitTest(pt, tolerance))
            return c;
    }
    return nullptr;
}

CODPortComponent* CODModel::PortAt(const CPoint& pt, int tolerance, const CODComponent* exclude) const
{
    for (int i = m_components.GetSize() - 1; i >= 0; --i) {
        CODComponent* c = m_components.GetAt(i);
        if (!c || !c->IsVisible() || c == exclude)
            continue;
        CRect r = c->GetBounds();
        r.InflateRect(tolerance, tolerance);
        if (!r.PtInRect(pt))
            continue;
        std::vector<CODPortComponent*> ports;
        c->CollectPorts(ports);
        for (CODPortComponent* p : ports) {
            if (!p->IsConnectable())
                continue;
            CRect pr = p->GetModelBounds();
            pr.InflateRect(tolerance, tolerance);
            if (pr.PtInRect(pt))
                return p;
        }
        // A press inside a symbol means its own port.
        if (!c->IsLink() && c->HitTest(pt, 0) && c->GetPort() && c->GetPort()->IsConnectable())
            return c->GetPort();
    }
    return nullptr;
}

void CODModel::ComponentsIn(const CRect& area, std::vector<CODComponent*>& out) const
{
    out.clear();
    if (area.IsRectEmpty())
        return;
    // Pens, arrow heads and labels may reach a little past the bounds.
    auto reaches = [&](const CODComponent* c) {
        if (!c || !c->IsVisible())
            return false;
        CRect r = c->GetBounds();
        r.InflateRect(HitGrid::kSlack, HitGrid::kSlack);
        CRect common;
        return common.IntersectRect(r, area);
    };
    const std::int64_t x0 = area.left >> HitGrid::kShift, x1 = area.right >> HitGrid::kShift;
    const std::int64_t y0 = area.top >> HitGrid::kShift, y1 = area.bottom >> HitGrid::kShift;
    // An area that spans more cells than there are components is cheaper to
    // walk in order.
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > m_components.GetSize()) {
        for (CODComponent* c : m_components)
            if (reaches(c))
                out.push_back(c);
        return;
    }
    const HitGrid& grid = hitGrid();
    std::vector<int> found(grid.large);
    for (std::int64_t y = y0; y <= y1; ++y)
        for (std::int64_t x = x0; x <= x1; ++x) {
            auto it = grid.cells.find(HitGrid::key(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
            if (it != grid.cells.end())
                found.insert(found.end(), it->second.begin(), it->second.end());
        }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (int i : found)
        if (CODComponent* c = m_components.GetAt(i); reaches(c))
            out.push_back(c);
}

CRect CODModel::GetComponentBounds() const
{
    CRect r;
    for (CODComponent* c : m_components)
        if (c)
            r.UnionRect(r, c->GetBounds());
    return r;
}

std::int32_t CODModel::GetEditA() const
{
    auto* p = dynamic_cast<CODEditProperty*>(m_props.Find(OD_PROP_EDIT));
    return p ? p->m_nA : 0;
}

std::int32_t CODModel::GetEditB() const
{
    auto* p = dynamic_cast<CODEditProperty*>(m_props.Find(OD_PROP_EDIT));
    return p ? p->m_nB : 1;
}

std::int32_t CODModel::GetEditC() const
{
    auto* p = dynamic_cast<CODEditProperty*>(m_props.Find(OD_PROP_EDIT));
    return p ? p->m_nC : 1;
}

void CODModel::SetEditA(std::int32_t v)
{
    CODEditProperty p;
    p.m_nA = v;
    SetProperty(p, OD_EDIT_MASK_A);
}

void CODModel::SetEditB(std::int32_t v)
{
    CODEditProperty p;
    p.m_nB = v;
    SetProperty(p, OD_EDIT_MASK_B);
}

void CODModel::SetEditC(std::int32_t v)
{
    CODEditProperty p;
    p.m_nC = v;
    SetProperty(p, OD_EDIT_MASK_C);
}

void CODModel::SetProperty(const CODProperty& prop, std::uint32_t mask)
{
    auto* in = dynamic_cast<const CODEditProperty*>(&prop);
    if (!in || prop.GetId() != OD_PROP_EDIT) {
        m_props.Set(prop);
        return;
    }
    CODEditProperty merged;
    if (auto* old = dynamic_cast<CODEditProperty*>(m_props.Find(OD_PROP_EDIT)))
        merged = *old;
    if (mask & OD_EDIT_MASK_A)
        merged.m_nA = in->m_nA;
    if (mask & OD_EDIT_MASK_B)
        merged.m_nB = in->m_nB;
    if (mask & OD_EDIT_MASK_C)
        merged.m_nC = in->m_nC;
    m_props.Set(merged);
}

void CODModel::RemoveObserver(IODObserver* o)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), o), m_observers.end());
}

void CODModel::Broadcast(void* sender, std::intptr_t hint, void* data)
{
    // An observer may go away while it is told.
    const std::vector<IODObserver*> observers = m_observers;
    for (IODObserver* o : observers)
        if (std::find(m_observers.begin(), m_observers.end(), o) != m_observers.end())
            o->OnUpdate(sender, hint, data);
}

std::vector<CODConnection*> CODModel::CollectConnections() const
{
    std::vector<CODConnection*> out;
    std::unordered_set<CODConnection*> seen;
    for (CODComponent* c : m_components) {
        if (!c)
            continue;
        std::vector<CODPortComponent*> ports;
        c->CollectPorts(ports);
        for (CODPortComponent* p : ports)
            for (CODConnection* conn : p->Connections())
                if (seen.insert(conn).second)
                    out.push_back(conn);
    }
    return out;
}

namespace {

struct PortRef {
    std::int32_t component;
    std::int32_t port;
};

} // namespace

void CODModel::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_size << m_nValue1 << m_nValue2 << m_nLinkValue;
        m_props.Serialize(ar);
        ar.WriteCount(static_cast<std::uint32_t>(m_components.GetSize()));
        // A component belongs to one model alone: it is written once.
        for (CODComponent* c : m_components)
            ar.WriteNewObject(c);

        // Connections between components of this model, by component index
        // and port index (ports depth first), each where it is first met in
        // that order: at the earlier of its two ports.
        struct PortAt {
            PortRef ref;
            std::size_t position;
        };
        std::vector<CODPortComponent*> ports;
        std::vector<PortRef> refs;
        for (int i = 0; i < m_components.GetSize(); ++i) {
            const std::size_t first = ports.size();
            m_components.GetAt(i)->CollectPorts(ports);
            for (std::size_t j = first; j < ports.size(); ++j)
                refs.push_back(PortRef{i, static_cast<std::int32_t>(j - first)});
        }
        PointerMap<PortAt> where;
        where.Reserve(ports.size());
        for (std::size_t p = 0; p < ports.size(); ++p)
            where.Insert(ports[p], PortAt{refs[p], p});
        std::vector<std::pair<PortRef, PortRef>> joins;
        for (std::size_t p = 0; p < ports.size(); ++p)
            for (CODConnection* conn : ports[p]->Connections())
                if (const PortAt* other = where.Find(conn->GetOtherPort(ports[p])); other && other->position > p) {
                    // A join runs from the connection's first port to its second.
                    if (conn->GetPort(0) == ports[p])
                        joins.emplace_back(refs[p], other->ref);
                    else
                        joins.emplace_back(other->ref, refs[p]);
                }
        ar.WriteCount(static_cast<std::uint32_t>(joins.size()));
        for (const auto& [a, b] : joins)
            ar << a.component << a.port << b.component << b.port;
        ar << std::int32_t{0}; // reserved
        return;
    }
    readContents(ar);
}

void CODModel::readContents(CArchive& ar)
{
    CSize size;
    std::int32_t v1 = 0, v2 = 0, linkValue = 0;
    ar >> size >> v1 >> v2 >> linkValue;
    if (size.cx < 0 || size.cy < 0 || size.cx > od::kMaxCoordinate || size.cy > od::kMaxCoordinate)
        CArchive::ThrowException(CArchiveException::genericException, "model size out of range");
    CODPropertySet props;
    props.Serialize(ar);

    // Read everything aside first: a broken archive leaves the model as it was.
    struct Holder {
        std::vector<CODComponent*> items;
        ~Holder()
        {
            for (auto it = items.rbegin(); it != items.rend(); ++it)
                (*it)->Release();
        }
    } loaded;
    // The ports of every component, depth first, one after the other, taken
    // as each component is read, while its parts are still at hand.
    std::vector<CODPortComponent*> ports;
    std::vector<std::size_t> firstPort{0};
    const std::uint32_t n = ar.ReadCount();
    for (std::uint32_t i = 0; i < n; ++i) {
        CODComponent* c = nullptr;
        ar >> c;
        if (!c)
            CArchive::ThrowException(CArchiveException::badIndex, "empty component entry");
        if (c->GetRefCount() != 0 || c->GetParent() || c->IsLoading())
            CArchive::ThrowException(CArchiveException::badIndex, "component stored in two places");
        c->AddRef();
        c->SetModel(this);
        loaded.items.push_back(c);
        c->CollectPorts(ports);
        firstPort.push_back(ports.size());
    }
    auto resolve = [&](const PortRef& r) -> CODPortComponent* {
        if (r.component < 0 || static_cast<std::size_t>(r.component) >= loaded.items.size())
            CArchive::ThrowException(CArchiveException::badIndex, "connection to a missing component");
        const std::size_t first = firstPort[static_cast<std::size_t>(r.component)];
        const std::size_t count = firstPort[static_cast<std::size_t>(r.component) + 1] - first;
        if (r.port < 0 || static_cast<std::size_t>(r.port) >= count)
            CArchive::ThrowException(CArchiveException::badIndex, "connection to a missing port");
        return ports[first + static_cast<std::size_t>(r.port)];
    };
    std::vector<std::pair<CODPortComponent*, CODPortComponent*>> joins;
    const std::uint32_t nj = ar.ReadCount();
    for (std::uint32_t i = 0; i < nj; ++i) {
        PortRef a{}, b{};
        ar >> a.component >> a.port >> b.component >> b.port;
        CODPortComponent* pa = resolve(a);
        CODPortComponent* pb = resolve(b);
        if (pa == pb)
            CArchive::ThrowException(CArchiveException::badIndex, "connection of a port to itself");
        joins.emplace_back(pa, pb);
    }
    std::int32_t reserved = 0;
    ar >> reserved;

    // Everything is read: replace the contents. What the history could undo
    // belonged to the old contents.
    m_pDelegate->Clear();
    RemoveAllComponents();
    m_size = size;
    m_nValue1 = v1;
    m_nValue2 = v2;
    m_nLinkValue = linkValue;
    m_props = std::move(props);
    // Each component passes from the holder to the model with the reference
    // the read gave it, so that none is touched again here.
    for (CODComponent* c : loaded.items)
        m_components.Add(c);
    loaded.items.clear();
    od::TouchGeometry();
    // The stored connections come back after every component is in place;
    // a link is asked to accept its end (its own fields follow from that)
    // but keeps the connection whatever it answers, and no OnConnected.
    for (auto [pa, pb] : joins) {
        if (pa->IsConnectedTo(pb))
            continue;
        auto ask = [](CODPortComponent* own, CODPortComponent* other) {
            CODComponent* owner = own->GetOwner();
            if (owner && owner->IsLink()) {
                auto* link = static_cast<CODLinkComponent*>(owner);
                if (own == link->GetSourcePort() || own == link->GetTargetPort())
                    link->AcceptConnection(own, other);
            }
        };
        ask(pa, pb);
        ask(pb, pa);
        auto* conn = new CODConnection(pa, pb);
        conn->AddRef();
        pa->Attach(conn);
        pb->Attach(conn);
        conn->Release();
    }
    Broadcast(this, OD_UPDATE_ALL, nullptr);
}
