// The department chart: one node per department of a firm and one link from
// each department to the department above it. The drawn chart is kept per
// firm in struct_gr_firm; the departments come from struct_gr.
#pragma once

#include "charts/documents/core/diagrammodel.h"
#include "diagram/odcomponent.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CODController;

// Whether department comments are drawn under the nodes; one switch for the
// whole program.
extern std::uint8_t g_bShowDeptComments;

class CADSubDivision : public CODSymbolComponent {
    DECLARE_SERIAL(CADSubDivision)
public:
    CADSubDivision() = default;

    void Serialize(CArchive& ar) override;
    void OnDraw(wxDC& dc) override;
    bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) override;

    // The name goes into the "DocState" label.
    void SetData(std::int32_t code, std::int32_t parentCode, const std::string& name);
    // The first child of exactly that name; nothing happens (text unchanged)
    // when there is none.
    void SetChildText(const std::string& childName, const std::string& text);
    void GetChildText(const std::string& childName, std::string& text) const;
    std::int32_t GetCode() const { return m_nCode; }
    std::int32_t GetParentCode() const { return m_nParentCode; }

    std::string m_strComment;
    std::int32_t m_nCode = -1;
    std::int32_t m_nParentCode = -1;
};

class CDWFLink : public CODLinkComponent {
    DECLARE_SERIAL(CDWFLink)
public:
    CDWFLink() = default;

    void Serialize(CArchive& ar) override;
    void OnCreateLine() override;
    bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) override;
    // Both ends only on department nodes, never a node to itself.
    bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort) override;

    CADSubDivision* m_pSourceNode = nullptr;
    CADSubDivision* m_pTargetNode = nullptr;
};

class CADepartmentDiagramModel : public CDiagramModel {
    DECLARE_SERIAL(CADepartmentDiagramModel)
public:
    CADepartmentDiagramModel() = default;

    void Serialize(CArchive& ar) override;

    // The stored chart of the firm; none or NULL is an empty chart. False
    // (after the message) when the database fails or the drawing cannot be
    // read; the chart is then empty.
    bool LoadFromDB(std::int32_t key, bool build) override;
    // Writes the chart into struct_gr_firm. Refused in read-only mode; false
    // when nothing was written. A save clears the modified flag.
    bool SaveToDB();
    // The firm's departments and the links between them, in place of the
    // chart's contents. The controller, when given, prepares each new component.
    bool RebuildFromDB(CODController* controller);
    // Lays the nodes out as trees under their roots (parent code -1 or 0).
    bool ArrangeNodes(CODController* controller);
    // Routes every four-point link as a right-angled step.
    void ArrangeLinks(CODController* controller);
    // The model's size: the nodes' extent plus 50.
    void FitExtent(CODController* controller);
    // Every node takes the size its name needs, as an opened chart's
    // symbols do; the chart stays unchanged in the sense of its modified flag.
    void FitNodesToText();

    std::int32_t m_nHorzSpace = 150;
    std::int32_t m_nVertSpace = 100;

private:
    void readStoredChart(const std::vector<std::uint8_t>& bytes);
};

namespace tarnwick {

// The department map of the arrangement: 17 buckets chosen by
// (code as unsigned >> 4) mod 17, new entries at the head of their bucket, a
// code seen again replacing its node in place. Its walk (buckets 0..16, each
// from the head) decides the order of roots and siblings.
class DepartmentCodeMap {
public:
    void SetAt(std::int32_t code, CADSubDivision* node);
    // The entries in walk order.
    const std::vector<std::pair<std::int32_t, CADSubDivision*>>& Entries() const;

private:
    static constexpr int kBuckets = 17;
    std::vector<std::pair<std::int32_t, CADSubDivision*>> m_buckets[kBuckets];
    mutable std::vector<std::pair<std::int32_t, CADSubDivision*>> m_walk;
    mutable bool m_dirty = true;
};

// The department controller's preparation of a new component: the viewport's
// default properties (when defaults is set), then registration of the
// component and of each of its children.
void PrepareDepartmentComponent(CODController* controller, CODComponent* component, bool defaults);

// A department node made from symbol 250.
CADSubDivision* NewDepartmentNode();
// A new node's name, code and parent code, its box sized to the name.
void SetNewNodeData(CADSubDivision& node, std::int32_t code, std::int32_t parentCode, const std::string& name);

} // namespace tarnwick
