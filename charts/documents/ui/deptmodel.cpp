#include "charts/documents/core/deptmodel.h"

#include "charts/elements/chartsymbols.h"
#include "charts/elements/drawtext.h"
#include "charts/shell/core/chartshell.h"
#include "diagram/odcontroller.h"

#include "afx/archive.h"
#include "afx/file.h"

#include <wx/app.h>
#include <wx/utils.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>

IMPLEMENT_SERIAL(CADepartmentDiagramModel, CDiagramModel, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CADSubDivision, CODSymbolComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CDWFLink, CODLinkComponent, VERSIONABLE_SCHEMA | 1)

std::uint8_t g_bShowDeptComments = 0;

using namespace tarnwick;

namespace {

const char* const kReadOnlyNotice = "Режим \"только чтение\", диаграмма не будет сохранена";

std::string firmQuery(const char* table, std::int32_t key)
{
    return std::string("SELECT * FROM ") + table + " WHERE id_firm = " + std::to_string(key);
}

// A 32-bit column value; NULL gives -1.
std::int32_t codeOf(const ado::_variant_t& value)
{
    return value.vt == ado::VT_NULL || value.vt == ado::VT_EMPTY ? -1 : value.ToLong();
}

// The wait cursor, when there is a program to show it.
struct WaitCursor {
    WaitCursor()
    {
        if (wxTheApp)
            cursor.emplace();
    }
    std::optional<wxBusyCursor> cursor;
};

CPoint centreOf(const CRect& r)
{
    return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

} // namespace

// ---------------------------------------------------------------- helpers

namespace tarnwick {

void DepartmentCodeMap::SetAt(std::int32_t code, CADSubDivision* node)
{
    auto& bucket = m_buckets[(static_cast<std::uint32_t>(code) >> 4) % kBuckets];
    m_dirty = true;
    for (auto& entry : bucket)
        if (entry.first == code) {
            entry.second = node;
            return;
        }
    bucket.insert(bucket.begin(), {code, node});
}

const std::vector<std::pair<std::int32_t, CADSubDivision*>>& DepartmentCodeMap::Entries() const
{
    if (m_dirty) {
        m_walk.clear();
        for (const auto& bucket : m_buckets)
            m_walk.insert(m_walk.end(), bucket.begin(), bucket.end());
        m_dirty = false;
    }
    return m_walk;
}

void PrepareDepartmentComponent(CODController* controller, CODComponent* component, bool defaults)
{
    if (!controller || !component)
        return;
    if (defaults)
        controller->PrepareComponent(component);
    controller->RegisterComponent(component);
    for (int i = 0; i < component->GetChildCount(); ++i)
        controller->RegisterComponent(component->GetChild(i));
}

CADSubDivision* NewDepartmentNode()
{
    auto* node = new CADSubDivision;
    LoadChartSymbol(*node, IDR_SYMBOL_DEPARTMENT);
    return node;
}

void SetNewNodeData(CADSubDivision& node, std::int32_t code, std::int32_t parentCode, const std::string& name)
{
    node.SetData(code, parentCode, name);
    CTarnwickModel::FitSymbolToText(&node);
}

} // namespace tarnwick

// ---------------------------------------------------------------- node

void CADSubDivision::Serialize(CArchive& ar)
{
    CODSymbolComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << m_nCode << m_nParentCode << m_strComment;
        return;
    }
    std::int32_t schema = 0;
    ar >> schema >> m_nCode >> m_nParentCode >> m_strComment;
}

void CADSubDivision::OnDraw(wxDC& dc)
{
    CODSymbolComponent::OnDraw(dc);
    // A node being dragged draws no comment.
    if (!GetModel() || !g_bShowDeptComments || GetStateValue() != 0 || m_strComment.empty())
        return;
    const CRect r = GetBounds();
    const int height = r.bottom - r.top;
    DrawMultiLineText(dc, wxRect(r.left, r.bottom, r.right - r.left, height), m_strComment, this);
}

bool CADSubDivision::OnDoubleClick(std::uint32_t, const CPoint&)
{
    ChartShell().PostCommand(ID_OD_PROPERTIES);
    return true;
}

void CADSubDivision::SetData(std::int32_t code, std::int32_t parentCode, const std::string& name)
{
    SetChildText("DocState", name);
    m_nCode = code;
    m_nParentCode = parentCode;
}

void CADSubDivision::SetChildText(const std::string& childName, const std::string& text)
{
    for (int i = 0; i < GetChildCount(); ++i)
        if (CODComponent* c = GetChild(i); c && c->GetName() == childName) {
            if (auto* label = dynamic_cast<CODTextComponent*>(c))
                label->SetText(text);
            return;
        }
}

void CADSubDivision::GetChildText(const std::string& childName, std::string& text) const
{
    for (int i = 0; i < GetChildCount(); ++i)
        if (CODComponent* c = GetChild(i); c && c->GetName() == childName) {
            if (auto* label = dynamic_cast<CODTextComponent*>(c))
                text = label->GetText();
            return;
        }
}

// ---------------------------------------------------------------- link

void CDWFLink::Serialize(CArchive& ar)
{
    CODLinkComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1};
        return;
    }
    std::int32_t schema = 0;
    ar >> schema;
}

void CDWFLink::OnCreateLine()
{
    CODLinkComponent::OnCreateLine();
    SetEndDecoration(20);
}

bool CDWFLink::OnDoubleClick(std::uint32_t, const CPoint&)
{
    ChartShell().PostCommand(ID_OD_PROPERTIES);
    return true;
}

bool CDWFLink::AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort)
{
    if (!CODLinkComponent::AcceptConnection(ownEnd, otherPort))
        return false;
    CODComponent* other = otherPort ? otherPort->GetOwner() : nullptr;
    if (!other || other == this)
        return false;
    auto* node = dynamic_cast<CADSubDivision*>(other);
    if (ownEnd && ownEnd == GetSourcePort()) {
        if (!node)
            return false;
        m_pSourceNode = node;
        return true;
    }
    if (ownEnd && ownEnd == GetTargetPort()) {
        if (!node || node == m_pSourceNode)
            return false;
        m_pTargetNode = node;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- model

void CADepartmentDiagramModel::Serialize(CArchive& ar)
{
    CODModel::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << GetValue1() << GetValue2();
        return;
    }
    std::int32_t schema = 0, value1 = 0, value2 = 0;
    ar >> schema >> value1 >> value2;
    SetValue1(value1);
    SetValue2(value2);
}

void CADepartmentDiagramModel::readStoredChart(const std::vector<std::uint8_t>& bytes)
{
    // Read into a scratch model first: a damaged value leaves this chart empty.
    {
        CADepartmentDiagramModel scratch;
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        scratch.Serialize(ar);
    }
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    Serialize(ar);
}

bool CADepartmentDiagramModel::LoadFromDB(std::int32_t key, bool build)
{
    CDiagramModel::LoadFromDB(key, build);
    RemoveAllComponents();
    WaitCursor wait;
    std::vector<std::uint8_t> bytes;
    try {
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t(firmQuery("struct_gr_firm", key)), ChartShell().Connection(), ado::adOpenForwardOnly,
                 ado::adLockReadOnly, ado::adCmdText);
        if (rs->IsEOF())
            return true;
        const ado::_variant_t graph = rs->GetCollect("graph");
        rs->Close();
        if (graph.vt != (ado::VT_ARRAY | ado::VT_UI1))
            return true;
        bytes = graph.ToBytes();
    } catch (const ado::_com_error& e) {
        ShowChartComError(e);
        return false;
    }
    try {
        readStoredChart(bytes);
    } catch (...) {
        RemoveAllComponents();
        ChartShell().Message("Ошибка чтения данных!", "", ChartIcon::None);
        return false;
    }
    SetModified(false);
    return true;
}

bool CADepartmentDiagramModel::SaveToDB()
{
    if (ChartShell().IsReadOnly()) {
        ChartShell().Message(kReadOnlyNotice, "", ChartIcon::Exclamation);
        return false;
    }
    WaitCursor wait;
    const bool modified = IsModified();
    try {
        CMemFile file;
        {
            CArchive ar(&file, CArchive::store);
            Serialize(ar);
            ar.Flush();
        }
        const std::vector<std::uint8_t> bytes = file.Detach();
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t(firmQuery("struct_gr_firm", GetKey())), ChartShell().Connection(),
                 ado::adOpenKeyset, ado::adLockOptimistic, ado::adCmdText);
        if (rs->IsEOF())
            rs->AddNew();
        rs->PutCollect("graph", ado::_variant_t::FromBytes(bytes.data(), bytes.size()));
        rs->PutCollect("id_firm", ado::_variant_t(static_cast<int>(GetKey())));
        rs->Update();
        rs->Close();
    } catch (const ado::_com_error& e) {
        SetModified(modified);
        ShowChartComError(e);
        return false;
    }
    SetModified(false);
    return true;
}

bool CADepartmentDiagramModel::RebuildFromDB(CODController* controller)
{
    DeleteContents();
    WaitCursor wait;
    try {
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t(firmQuery("struct_gr", GetKey()) + " AND flag_deleted = 0 ORDER BY sort"),
                 ChartShell().Connection(), ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
        while (!rs->IsEOF()) {
            CADSubDivision* node = NewDepartmentNode();
            const ado::_variant_t name = rs->GetCollect("struct_name");
            const std::int32_t parent = codeOf(rs->GetCollect("struct_parent"));
            const std::int32_t code = codeOf(rs->GetCollect("struct_code"));
            SetNewNodeData(*node, code, parent, name.vt == ado::VT_NULL ? std::string() : name.ToString());
            AppendComponent(node);
            PrepareDepartmentComponent(controller, node, true);
            rs->MoveNext();
        }
        rs->Close();

        CODComponentSet* components = GetComponents();
        const int count = components->GetSize();
        for (int i = 0; i < count; ++i) {
            auto* child = dynamic_cast<CADSubDivision*>(components->GetAt(i));
            if (!child || child->GetParentCode() == -1)
                continue;
            for (int j = 0; j < count; ++j) {
                auto* parent = dynamic_cast<CADSubDivision*>(components->GetAt(j));
                if (!parent || parent->GetCode() != child->GetParentCode())
                    continue;
                auto* link = new CDWFLink;
                link->SetupLink(child->GetPort(), parent->GetPort());
                PrepareDepartmentComponent(controller, link, false);
                AppendComponent(link);
                const CPoint from = link->GetPoint(0), to = link->GetPoint(1);
                link->InsertPoint(1, from);
                link->InsertPoint(2, to);
                break;
            }
        }
        UpdateAllComponents();
        return true;
    } catch (const ado::_com_error& e) {
        ShowChartComError(e);
        return false;
    } catch (...) {
        try {
            ado::_ConnectionPtr connection = ChartShell().Connection();
            if (!connection)
                throw std::runtime_error("no connection");
            connection->RollbackTrans();
        } catch (...) {
            ChartShell().Message("Error CADepartmentDiagramModel", "", ChartIcon::None);
        }
        return false;
    }
}

bool CADepartmentDiagramModel::ArrangeNodes(CODController*)
{
    DepartmentCodeMap map;
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* node = dynamic_cast<CADSubDivision*>(components->GetAt(i)))
            map.SetAt(node->GetCode(), node);
    const auto& entries = map.Entries();

    // Each node moves at most once: a department of code 0 below a root of
    // parent code 0 would otherwise place the two in turn for ever.
    std::set<CADSubDivision*> placed;
    auto moveCentreTo = [this, &placed](CADSubDivision* node, int x, int y) {
        const CPoint centre = centreOf(node->GetBounds());
        CODComponentSet set;
        set.Add(node);
        MoveComponents(set, x - centre.x, y - centre.y);
        placed.insert(node);
    };
    auto hasChildren = [&entries](const CADSubDivision* node) {
        return std::any_of(entries.begin(), entries.end(),
                           [node](const auto& e) { return e.second->GetParentCode() == node->GetCode(); });
    };
    // Children side by side one column apart, each child's subtree filling
    // the columns from its own to the right before the next sibling.
    std::function<bool(CADSubDivision*, int*, int*, int*)> placeChildren = [&](CADSubDivision* parent, int* px,
                                                                                int* py, int* pMaxY) {
        int cx = *px;
        const int cy = *py;
        bool found = false;
        for (const auto& [code, node] : entries) {
            if (node == parent || node->GetParentCode() != parent->GetCode() || placed.count(node))
                continue;
            found = true;
            moveCentreTo(node, cx, cy);
            if (hasChildren(node)) {
                *py += m_nVertSpace;
                placeChildren(node, &cx, py, pMaxY);
                *py -= m_nVertSpace;
            }
            cx += m_nHorzSpace;
        }
        *px = cx - m_nHorzSpace;
        *pMaxY = std::max(*pMaxY, *py);
        return found;
    };

    int y = -(m_nVertSpace / 2);
    for (const auto& [code, node] : entries) {
        if ((node->GetParentCode() != -1 && node->GetParentCode() != 0) || placed.count(node))
            continue;
        y += m_nVertSpace;
        const CRect r = node->GetBounds();
        int x = r.right - r.left;
        moveCentreTo(node, x, y);
        int level = y + m_nVertSpace;
        if (placeChildren(node, &x, &level, &y))
            y += m_nVertSpace;
    }
    return true;
}

void CADepartmentDiagramModel::ArrangeLinks(CODController*)
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* link = dynamic_cast<CODLinkComponent*>(components->GetAt(i));
        if (!link || link->GetPointCount() != 4)
            continue;
        CODPortComponent* sourcePort = link->GetSourceJoin();
        CODPortComponent* targetPort = link->GetTargetJoin();
        if (!sourcePort || !targetPort || !link->GetSourceComponent() || !link->GetTargetComponent())
            continue;
        const CPoint s = sourcePort->GetLocation(), e = targetPort->GetLocation();
        const int m = s.y + (e.y - s.y) / 2;
        link->MovePoint(2, CPoint(e.x, m));
        link->MovePoint(1, CPoint(s.x, m));
        link->OnPortMoved(link->GetSourcePort(), 0, 0);
        link->OnPortMoved(link->GetTargetPort(), 0, 0);
    }
}

void CADepartmentDiagramModel::FitNodesToText()
{
    const bool modified = IsModified();
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* node = dynamic_cast<CADSubDivision*>(components->GetAt(i)))
            CTarnwickModel::FitSymbolToText(node);
    UpdateAllComponents();
    SetModified(modified);
}

void CADepartmentDiagramModel::FitExtent(CODController*)
{
    int maxX = 0, maxY = 0;
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* node = dynamic_cast<CADSubDivision*>(components->GetAt(i));
        if (!node)
            continue;
        for (const CPoint& p : node->GetPoints(true)) {
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    }
    SetSize(CSize(maxX + 50, maxY + 50));
}
