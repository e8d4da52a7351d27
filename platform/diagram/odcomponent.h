// Components of a diagram: symbols with their child shapes, ports and the
// connections between them, and links. Every component and model is
// reference-counted: a new object starts at 0 and each holder takes one
// reference.
#pragma once

#include "afx/archive.h"
#include "afx/geometry.h"
#include "diagram/od/collections.h"
#include "diagram/odproperty.h"

#include <cstdint>
#include <string>
#include <vector>

class wxDC;
class CODModel;
class CODComponent;
class CODPortComponent;
class CODConnection;
class CODLinkComponent;
class CODLineComponent;

using CODComponentSet = CCArray_T<CODComponent*, CODComponent*>;
using CODConnectionSet = CCArray_T<CODConnection*, CODConnection*>;
using CODPortSet = CCArray_T<CODPortComponent*, CODPortComponent*>;

class IODRefCount {
public:
    virtual ~IODRefCount() = default;
    virtual std::int32_t AddRef() = 0;
    virtual std::int32_t Release() = 0;
};

// Maps a symbol's local space (where its children live) to its parent's space.
struct CODTransform {
    double m_sx = 1.0;
    double m_sy = 1.0;
    std::int32_t m_tx = 0;
    std::int32_t m_ty = 0;
    CPoint Apply(const CPoint& p) const;
    CPoint Inverse(const CPoint& p) const;
    CRect Apply(const CRect& r) const;
    bool IsIdentity() const { return m_sx == 1.0 && m_sy == 1.0 && m_tx == 0 && m_ty == 0; }
};

// A list of polygons, each a point array.
class CODRegion {
public:
    int GetPolygonCount() const { return static_cast<int>(m_polygons.size()); }
    const CPoint* GetPolygon(int i, int& count) const;
    const std::vector<CPoint>& Polygon(int i) const { return m_polygons.at(static_cast<std::size_t>(i)); }
    void AddPolygon(std::vector<CPoint> pts) { m_polygons.push_back(std::move(pts)); }
    void Clear() { m_polygons.clear(); }
    // Inside a polygon, or within tolerance of its outline.
    bool HitTest(const CPoint& p, int tolerance) const;
    CRect GetBounds() const;

private:
    std::vector<std::vector<CPoint>> m_polygons;
};

// Geometry helpers shared by hit testing and routing.
namespace od {
// Limits of stored geometry.
inline constexpr std::int32_t kMaxCoordinate = 1 << 28;
inline constexpr double kMinScale = 1e-4;
inline constexpr double kMaxScale = 1e4;
// Counts changes of any component's geometry or visibility, so that cached
// lookups (the model's hit-test grid) know when to rebuild.
std::uint64_t GeometryGeneration();
void TouchGeometry();
// Counts changes of any port's connections and of the port a component is
// joined at, so that cached readings of a chart's links know when to read again.
std::uint64_t ConnectionGeneration();
void TouchConnections();
bool PointInPolygon(const std::vector<CPoint>& poly, const CPoint& p);
double DistanceToSegment(const CPoint& p, const CPoint& a, const CPoint& b);
CRect BoundsOf(const std::vector<CPoint>& pts);
} // namespace od

class CODComponent : public CObject, public IODRefCount {
    DECLARE_SERIAL(CODComponent)
public:
    CODComponent();
    ~CODComponent() override;
    CODComponent(const CODComponent&) = delete;
    CODComponent& operator=(const CODComponent&) = delete;

    std::int32_t AddRef() override { return ++m_nRefCount; }
    std::int32_t Release() override;
    std::int32_t GetRefCount() const { return m_nRefCount; }
    void DiscardAfterFailedLoad() override;
    bool IsLoading() const { return m_bLoading; }

    void Serialize(CArchive& ar) override;

    // Identity and tree.
    std::string GetName() const { return m_strName; }
    void SetName(const std::string& name) { m_strName = name; }
    int GetChildCount() const { return m_children.GetSize(); }
    CODComponent* GetChild(int i) const { return m_children.GetAt(i); }
    CODComponent* FindChild(const std::string& name) const;
    CODComponentSet* GetChildren() { return &m_children; }
    void AppendChild(CODComponent* child);
    void InsertChild(int index, CODComponent* child);
    void RemoveChild(CODComponent* child);
    CODComponent* GetParent() const { return m_pParent; }
    CODModel* GetModel() const;
    void SetModel(CODModel* model) { m_pModel = model; }
    // The object that transforms this component's points: the parent symbol
    // for a child, the model for a top-level component.
    CObject* GetContainer() const;
    CODComponent* GetTopLevel();

    // Geometry. Bounds and vertices are in the parent's space (model space
    // for top-level components).
    void GetBounds(CRect& rc) const { rc = m_rcBounds; }
    CRect GetBounds() const { return m_rcBounds; }
    CRect GetModelBounds() const;
    virtual void UpdateBounds(bool redraw = false);
    CPoint GetOrigin() const { return m_rcBounds.TopLeft(); }
    CSize GetSize() const { return m_rcBounds.Size(); }
    virtual void SetSize(const CSize& size);
    virtual void MoveTo(std::int32_t x, std::int32_t y);
    virtual void OffsetBy(std::int32_t dx, std::int32_t dy);
    const CODTransform& GetTransform() const { return m_xform; }
    void SetTransform(const CODTransform& t) { m_xform = t; }
    // Maps a point of this component's own space (that of its bounds) to
    // model space, and a point of its children's space to model space.
    CPoint ToModel(const CPoint& p) const;
    CPoint ChildToModel(const CPoint& p) const;
    CPoint ModelToChild(const CPoint& p) const;

    int GetVertexCount() const { return static_cast<int>(m_vertices.size()); }
    CPoint GetVertex(int i) const;
    void SetVertex(int i, const CPoint& pt);
    void SetVertices(const CPoint* pts, int n);
    const std::vector<CPoint>& Vertices() const { return m_vertices; }
    // The outline in model coordinates.
    virtual std::vector<CPoint> GetPoints(bool modelSpace = true) const;
    // The border that links joined to this component end on, as a closed
    // polygon in model coordinates: the last polygon child, else the last
    // ellipse child, else the bounds.
    std::vector<CPoint> GetOutline() const;
    void GetOutline(std::vector<CPoint>& out) const;

    const CODRegion& GetRegion() const { return m_region; }
    CODRegion& CopyRegion(CODRegion& out) const
    {
        out = m_region;
        return out;
    }
    virtual bool HitTest(const CPoint& modelPt, int tolerance) const;

    // Ports and connections.
    CODPortComponent* GetPort() const;
    void SetPort(CODPortComponent* port)
    {
        m_pOwnPort = port;
        od::TouchConnections();
    }
    CODPortSet* GetPorts() { return &m_ports; }
    void CollectPorts(std::vector<CODPortComponent*>& out) const;
    void GetConnections(CODConnectionSet& out) const;
    void AddConnection(CODConnection* conn);
    void RemoveConnection(CODConnection* conn);

    bool IsVisible() const { return m_bVisible; }
    void SetVisible(bool visible)
    {
        m_bVisible = visible;
        od::TouchGeometry();
    }

    // Properties, walked in order.
    CODProperty* GetProperty(std::int32_t id) const { return m_props.Find(id); }
    void SetProperty(const CODProperty& prop) { m_props.Set(prop); }
    CODPropertySet& GetProperties() { return m_props; }
    // The font of property 30, here or on the nearest parent that has one.
    const CODFontProperty* GetFont() const;

    std::int32_t GetStateValue() const { return m_nStateValue; }
    void SetStateValue(std::int32_t v) { m_nStateValue = v; }

    // Table defaults that the element classes override.
    virtual std::int32_t GetField() const { return m_nField; }
    virtual void OnDraw(wxDC& dc);
    virtual void OnDelete(CODModel* model);
    virtual bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) { return false; }
    virtual bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort) { return true; }
    virtual void OnConnected(CODConnection* conn);
    virtual void OnDisconnected(CODConnection* conn);
    virtual void OnSymbolChanged() {}
    virtual bool IsLink() const { return false; }

    // Geometry only (bounds, transform, vertices, the children's geometry),
    // for commands that undo by restoring it.
    virtual void SerializeGeometry(CArchive& ar);

    // Re-lays the links attached to this component's ports.
    void RelayoutAttachedLinks();
    // Notifying disconnection of every connection at this component's ports.
    void DisconnectAll();

    // Keeps a component alive through notifications that may drop its last
    // holder, without destroying one that nobody had taken yet.
    class KeepAlive {
    public:
        explicit KeepAlive(CODComponent* c) : m_c(c), m_before(c ? c->m_nRefCount : 0)
        {
            if (m_c)
                ++m_c->m_nRefCount;
        }
        ~KeepAlive()
        {
            if (m_c && --m_c->m_nRefCount == 0 && m_before > 0)
                delete m_c;
        }
        KeepAlive(const KeepAlive&) = delete;
        KeepAlive& operator=(const KeepAlive&) = delete;

    private:
        CODComponent* m_c;
        std::int32_t m_before;
    };

protected:
    // The component's own part of its archive after the common part.
    virtual void SerializeOwn(CArchive& ar) {}
    virtual void DrawSelf(wxDC& dc) {}
    void Invalidate();
    void TakeChild(CODComponent* child); // loading: only a fresh, finished component

    std::string m_strName;
    CRect m_rcBounds;
    CODTransform m_xform;
    std::vector<CPoint> m_vertices;
    CODRegion m_region;
    CODPropertySet m_props;
    CODComponentSet m_children;
    CODPortSet m_ports;
    CODPortComponent* m_pOwnPort = nullptr;
    CODComponent* m_pParent = nullptr;
    CODModel* m_pModel = nullptr;
    bool m_bVisible = true;
    bool m_bLoading = false;
    std::int32_t m_nStateValue = 0;
    std::int32_t m_nField = 0;

private:
    std::int32_t m_nRefCount = 0;
};

class CODPortComponent : public CODComponent {
    DECLARE_SERIAL(CODPortComponent)
public:
    CODPortComponent();
    ~CODPortComponent() override;
    // A port centred on pt (in its owner's space) with the given radius.
    void SetLocation(const CPoint& pt, std::int32_t radius = 3);
    CODComponent* GetOwner() const { return m_pParent; }
    // The centre, in model space.
    CPoint GetLocation() const;
    void GetConnections(CODConnectionSet& out) const { out.Append(m_connections); }
    const CODConnectionSet& Connections() const { return m_connections; }
    bool IsConnectable() const { return m_bConnectable; }
    void SetConnectable(bool b) { m_bConnectable = b; }
    bool IsConnectedTo(const CODPortComponent* other) const;
    CODConnection* FindConnection(const CODPortComponent* other) const;
    bool IsCircle() const { return m_bCircle; }
    void SetCircle(bool b) { m_bCircle = b; }
    void UpdateBounds(bool redraw = false) override;

    // Records and drops a connection at this port (silent).
    void Attach(CODConnection* conn);
    void Detach(CODConnection* conn);

protected:
    void SerializeOwn(CArchive& ar) override;
    void DrawSelf(wxDC& dc) override;

private:
    CODConnectionSet m_connections;
    bool m_bConnectable = true;
    bool m_bCircle = true;
};

// The component as a port, or null; told by its runtime class, which costs
// less than a dynamic_cast in the walks over every component of a model.
inline CODPortComponent* PortCast(CODComponent* c)
{
    return c && c->IsKindOf(CODPortComponent::GetThisClass()) ? static_cast<CODPortComponent*>(c) : nullptr;
}

class CODConnection : public CObject, public IODRefCount {
    DECLARE_DYNAMIC(CODConnection)
public:
    CODConnection(CODPortComponent* a, CODPortComponent* b) : m_pPorts{a, b} {}
    std::int32_t AddRef() override { return ++m_nRefCount; }
    std::int32_t Release() override;
    CODPortComponent* GetPort(int i) const { return (i == 0 || i == 1) ? m_pPorts[i] : nullptr; }
    CODPortComponent* GetOtherPort(const CODPortComponent* p) const;
    CODComponent* GetOwner(int i) const;
    bool Joins(const CODPortComponent* a, const CODPortComponent* b) const;

private:
    CODPortComponent* m_pPorts[2];
    std::int32_t m_nRefCount = 0;
};

class CODSymbolComponent : public CODComponent {
    DECLARE_SERIAL(CODSymbolComponent)
public:
    // Builds the drawing from a registered SYMBOL resource: name, children,
    // ports, properties and size. Leaves the object's own fields alone.
    bool LoadFromResource(std::uint32_t id);
    // Registers a resource text (see odsymbol.cpp for the format).
    static void RegisterResource(std::uint32_t id, const std::string& text);
    static bool HasResource(std::uint32_t id);
};

class CODPolygonComponent : public CODComponent {
    DECLARE_SERIAL(CODPolygonComponent)
public:
    void UpdateBounds(bool redraw = false) override;
    bool HitTest(const CPoint& modelPt, int tolerance) const override;

protected:
    void DrawSelf(wxDC& dc) override;
};

class CODLineComponent : public CODComponent {
    DECLARE_SERIAL(CODLineComponent)
public:
    ~CODLineComponent() override;
    void UpdateBounds(bool redraw = false) override;
    bool HitTest(const CPoint& modelPt, int tolerance) const override;
    void SetEndDecoration(std::int32_t size) { m_nEndDecoration = size; }
    std::int32_t GetEndDecoration() const { return m_nEndDecoration; }
    void SetLineDecoration(std::int32_t style) { m_nLineDecoration = style; }
    std::int32_t GetLineDecoration() const { return m_nLineDecoration; }

protected:
    void SerializeOwn(CArchive& ar) override;
    void DrawSelf(wxDC& dc) override;

private:
    std::int32_t m_nEndDecoration = 0;  // arrow size at the last point; 0 none
    std::int32_t m_nLineDecoration = 0; // 0 solid, 1 dashed
};

class CODEllipseComponent : public CODComponent {
    DECLARE_SERIAL(CODEllipseComponent)
public:
    CODEllipseComponent() = default;
    explicit CODEllipseComponent(const CRect& rc) { Create(rc); }
    void Create(const CRect& rc);
    void UpdateBounds(bool redraw = false) override;
    void SetSize(const CSize& size) override;
    bool HitTest(const CPoint& modelPt, int tolerance) const override;
    bool IsFilled() const { return m_bFilled; }
    void ClearFilled() { m_bFilled = false; }
    // Points of the outline.
    static constexpr int kOutlinePoints = 64;

protected:
    void SerializeOwn(CArchive& ar) override;
    void DrawSelf(wxDC& dc) override;

private:
    bool m_bFilled = true;
};

// Measures text for layout: fixed metrics without a display, real fonts
// when a viewport draws.
class IODTextMeasurer {
public:
    virtual ~IODTextMeasurer() = default;
    virtual CSize Measure(const std::string& line, const CODFontProperty& font) = 0;
    // The measurer in use: the one set, else, while a wx program with its
    // display runs, the fonts the texts are drawn with, else fixed metrics
    // (per character 0.6 of the point size, line height 1.5 of it, both
    // rounded up).
    static IODTextMeasurer* Get();
    static void Set(IODTextMeasurer* measurer); // null: back to the default
};

namespace od {
// Measures with the fonts texts are drawn with; null without a display.
IODTextMeasurer* FontMeasurer();
} // namespace od

class CODTextComponent : public CODComponent {
    DECLARE_SERIAL(CODTextComponent)
public:
    // An empty text with a default rectangle.
    void Create(std::int32_t flags);
    std::string GetText() const { return m_strText; }
    void SetText(const std::string& text) { m_strText = text; }
    CRect GetTextRect() const { return m_rcBounds; }
    void SetTextRect(const CRect& rc);
    // Code 8: the rectangle takes the size that its text needs at its font,
    // one line per line feed, keeping its top-left corner.
    void SizeToText(std::int32_t code = 8);
    void UpdateBounds(bool redraw = false) override;
    bool HitTest(const CPoint& modelPt, int tolerance) const override;
    // Lines of the text, split at line feeds, carriage returns dropped.
    std::vector<std::string> GetLines() const;

protected:
    void SerializeOwn(CArchive& ar) override;
    void DrawSelf(wxDC& dc) override;

private:
    std::string m_strText;
};

// A link: a line between its source end (first point) and target end (last
// point), an own centre port where other links attach, and children such as
// labels. Links are top-level components in model space.
class CODLinkComponent : public CODComponent {
    DECLARE_SERIAL(CODLinkComponent)
public:
    CODLinkComponent();
    ~CODLinkComponent() override;
    bool IsLink() const override { return true; }

    // With two ports: a straight line of two points from port to port, both
    // ends connected (notifying), then the line is made. With two nulls: no
    // ends yet.
    bool SetupLink(CODPortComponent* source, CODPortComponent* target);
    bool ConnectSource(CODPortComponent* port) { return ConnectEnd(m_pSourceEnd, port); }
    bool ConnectTarget(CODPortComponent* port) { return ConnectEnd(m_pTargetEnd, port); }
    bool ConnectEnd(CODPortComponent* ownEnd, CODPortComponent* other);
    void DisconnectEnd(CODPortComponent* ownEnd);
    CODPortComponent* GetSourcePort() const { return m_pSourceEnd; }
    CODPortComponent* GetTargetPort() const { return m_pTargetEnd; }
    // The port joined at an end, and its owner.
    CODPortComponent* GetSourceJoin() const;
    CODPortComponent* GetTargetJoin() const;
    CODComponent* GetSourceComponent() const;
    CODComponent* GetTargetComponent() const;

    CODLineComponent* GetLine() const { return m_pLine; }
    // Makes the line from points (once) and calls OnCreateLine.
    void CreateLine(const std::vector<CPoint>& pts);
    virtual void OnCreateLine() {}

    int GetPointCount() const;
    CPoint GetPoint(int i) const; // (-1, -1) without a line
    // The line as it is drawn, in model coordinates: an end joined to a
    // symbol stops where the line enters the symbol's outline.
    std::vector<CPoint> GetDrawnPoints() const;
    void SetPoints(const CPoint* pts, int n);
    void InsertPoint(int i, const CPoint& pt);
    void MovePoint(int i, const CPoint& pt);
    void RemovePoint(int i);
    void OnPortMoved(CODPortComponent* port, std::int32_t dx, std::int32_t dy) { Relayout(); }
    // Ends snap to the ports they are joined to; inner points stay.
    void Relayout();
    void SetEndDecoration(std::int32_t size);
    void SetLineDecoration(std::int32_t style);

    bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort) override;
    void UpdateBounds(bool redraw = false) override;
    void OffsetBy(std::int32_t dx, std::int32_t dy) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void SetSize(const CSize&) override {}
    bool HitTest(const CPoint& modelPt, int tolerance) const override;
    std::vector<CPoint> GetPoints(bool modelSpace = true) const override;
    void SerializeGeometry(CArchive& ar) override;

protected:
    void SerializeOwn(CArchive& ar) override;
    void DrawSelf(wxDC& dc) override;

private:
    void placeOwnPorts();
    CODPortComponent* m_pSourceEnd = nullptr; // children, not connectable by others
    CODPortComponent* m_pTargetEnd = nullptr;
    CODLineComponent* m_pLine = nullptr;      // one reference
    std::vector<CPoint> m_pending;            // end points before the line exists
};
