#include "charts/elements/awfelements.h"

#include "charts/documents/core/chartrows.h"
#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartshell.h"
#include "diagram/odcontroller.h"
#include "diagram/odviewport.h"

#include <wx/dc.h>

#include <algorithm>

using namespace tarnwick;

IMPLEMENT_SERIAL(CAWFDocumentType, CODComponent, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CAWFState, CODSymbolComponent, VERSIONABLE_SCHEMA | 3)
IMPLEMENT_SERIAL(CAWForeign, CAWFState, VERSIONABLE_SCHEMA | 1)

namespace tarnwick {

std::vector<std::uint8_t> StoreElement(CObject& element)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        element.Serialize(ar);
        ar.Close();
    }
    return file.Detach();
}

void LoadElement(CObject& element, const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        CArchive::ThrowException(CArchiveException::endOfFile, "empty drawing");
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    element.Serialize(ar);
}

std::optional<std::vector<std::uint8_t>> DrawingOf(const ado::_variant_t& value)
{
    if (value.vt == ado::VT_NULL || value.vt == ado::VT_EMPTY)
        return std::nullopt;
    return value.ToBytes();
}

} // namespace tarnwick

// ---------------------------------------------------------------- CAWFBase

CAWFBase::CAWFBase() : ErrorIcon(156) {}

CAWFBase::~CAWFBase() = default;

void CAWFBase::DrawErrorIcon(wxDC& dc, const CPoint& pt)
{
    dc.SetPen(*wxRED_PEN);
    dc.SetBrush(*wxRED_BRUSH);
    dc.DrawEllipse(pt.x, pt.y, 16, 16);
    dc.SetPen(*wxWHITE_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(pt.x + 7, pt.y + 3, 2, 7);
    dc.DrawRectangle(pt.x + 7, pt.y + 12, 2, 2);
}

// ---------------------------------------------------------------- document type

CAWFDocumentType::CAWFDocumentType(std::int32_t typeDoc, const std::string& name) : TypeDoc(typeDoc), NameDoc(name) {}

void CAWFDocumentType::Serialize(CArchive& ar)
{
    CODComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << TypeDoc << NameDoc << defState << DocTypeOptions;
        for (int i = 0; i < 10; ++i)
            ar << std::int32_t{0};
        return;
    }
    std::int32_t schema = 0, reserved = 0;
    ar >> schema >> TypeDoc >> NameDoc >> defState >> DocTypeOptions;
    for (int i = 0; i < 10; ++i)
        ar >> reserved;
    MarkSaved();
}

void CAWFDocumentType::SaveToDB(const ado::_ConnectionPtr& connection)
{
    auto* model = dynamic_cast<CTarnwickModel*>(GetModel());
    const std::int32_t grp = model ? model->GetGrp() : -1;
    const std::int32_t type = model ? model->GetType() : -1;
    const std::int32_t key = model ? model->GetKey() : -1;
    // The element of another document type (made for a foreign state) must
    // not overwrite the values of the chart's own row.
    if (TypeDoc >= 0 && TypeDoc != key)
        return;
    const std::string where = " WHERE Grp = " + std::to_string(grp) + " AND Type = " + std::to_string(type) +
                              " AND TypeDoc = " + std::to_string(key);
    ado::_RecordsetPtr rs = connection->Execute("SELECT * FROM MainDocType" + where);
    const bool found = !rs->IsEOF();
    rs->Close();
    if (found)
        connection->Execute("UPDATE MainDocType SET defState=" + std::to_string(defState) +
                            ",DocTypeOptions=" + std::to_string(DocTypeOptions) + where);
    else
        connection->Execute("INSERT INTO MainDocType(Grp, Type, TypeDoc, defState, DocTypeOptions)\nVALUES(" +
                            std::to_string(grp) + "," + std::to_string(type) + "," + std::to_string(key) + "," +
                            std::to_string(defState) + "," + std::to_string(DocTypeOptions) + ")");
}

// ---------------------------------------------------------------- state

CAWFState::CAWFState(CAWFDocumentType* documentType, std::int16_t state) : State(state)
{
    SetDocumentType(documentType);
}

CAWFState::~CAWFState()
{
    if (DocumentType)
        DocumentType->Release();
}

void CAWFState::SetDocumentType(CAWFDocumentType* documentType)
{
    if (documentType == DocumentType)
        return;
    if (documentType)
        documentType->AddRef();
    if (DocumentType)
        DocumentType->Release();
    DocumentType = documentType;
}

std::int32_t CAWFState::GetTypeDoc() const
{
    return DocumentType ? DocumentType->GetTypeDoc() : -1;
}

void CAWFState::SetData(std::int16_t state, const std::string& docTypeLabel, const std::string& stateLabel,
                        const std::string& docTypeName)
{
    SetDocTypeLabel(docTypeLabel);
    SetDocStateLabel(stateLabel);
    State = state;
    DocTypeName = docTypeName;
    GenNewOperate = isHoleProcess = isPrevStateHole = isTakePrevState = 0;
    DataAction = DataActionI = idParentState = 0;
}

std::string CAWFState::GetChildText(const std::string& childName) const
{
    for (int i = 0; i < GetChildCount(); ++i) {
        CODComponent* c = GetChild(i);
        if (c && c->GetName() == childName) {
            auto* text = dynamic_cast<CODTextComponent*>(c);
            return text ? text->GetText() : std::string();
        }
    }
    return {};
}

void CAWFState::SetChildText(const std::string& childName, const std::string& text)
{
    for (int i = 0; i < GetChildCount(); ++i) {
        CODComponent* c = GetChild(i);
        if (c && c->GetName() == childName) {
            if (auto* t = dynamic_cast<CODTextComponent*>(c))
                t->SetText(text);
            return;
        }
    }
}

void CAWFState::Serialize(CArchive& ar)
{
    CODSymbolComponent::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{3} << State << GenNewOperate << isHoleProcess << isPrevStateHole << isTakePrevState
           << Comment << DataAction << DataActionI << idParentState << DocTypeName;
        return;
    }
    std::int32_t schema = 0;
    ar >> schema >> State >> GenNewOperate >> isHoleProcess >> isPrevStateHole >> isTakePrevState >> Comment;
    switch (schema) {
    case 0:
    case 1: {
        std::int32_t discard = 0;
        for (int i = 0; i < 12; ++i)
            ar >> discard;
        break;
    }
    case 2:
        ar >> DataAction >> DataActionI >> idParentState;
        DocTypeName = GetChildText("DocType");
        break;
    case 3:
        ar >> DataAction >> DataActionI >> idParentState >> DocTypeName;
        break;
    default:
        break;
    }
}

std::int32_t CAWFState::SaveToDB(const ado::_ConnectionPtr& connection)
{
    auto* model = dynamic_cast<CTarnwickModel*>(GetModel());
    const std::int32_t grp = model ? model->GetGrp() : -1;
    const std::int32_t type = model ? model->GetType() : -1;
    std::int32_t typeDoc = DocumentType ? GetTypeDoc() : -1;
    if (!DocumentType || typeDoc < 0)
        typeDoc = model ? model->GetTypeDoc() : -1;

    const ChartSaveRows::Key key = {typeDoc, grp, State};
    ChartSaveRows* rows = model ? model->m_SaveRows : nullptr;
    ChartSaveRows::ElementRow row =
        ChartSaveRows::Open(rows, ChartTable::State, key, connection,
                            "SELECT * FROM MainDocState WHERE State = " + std::to_string(State) +
                                " AND Grp = " + std::to_string(grp) + " AND TypeDoc = " + std::to_string(typeDoc));
    ado::_RecordsetPtr& rs = row.rs;
    if (!row.added && model && typeDoc != model->GetTypeDoc()) {
        // A foreign state's row belongs to the chart of its own document
        // type; this chart's copy may be stale, so the row stays as it is.
        const ado::_variant_t id = rs->GetCollect("idState");
        ChartSaveRows::Finish(rows, ChartTable::State, key, row);
        return id.vt == ado::VT_NULL ? 0 : id.ToLong();
    }
    if (row.added) {
        rs->AddNew();
        rs->PutCollect("Grp", ado::_variant_t(static_cast<int>(grp)));
        rs->PutCollect("Type", ado::_variant_t(static_cast<int>(type)));
        rs->PutCollect("State", ado::_variant_t(static_cast<short>(State)));
        rs->PutCollect("TypeDoc", ado::_variant_t(static_cast<int>(typeDoc)));
        rs->PutCollect("Action", ado::_variant_t("0"));
        rs->PutCollect("idCondition", ado::_variant_t("0"));
    }
    const std::vector<std::uint8_t> drawing = StoreElement(*this);
    rs->PutCollect("DataAction", ado::_variant_t(static_cast<int>(DataAction)));
    rs->PutCollect("DataActionI", ado::_variant_t(static_cast<int>(DataActionI)));
    rs->PutCollect("idParentState", ado::_variant_t(static_cast<int>(idParentState)));
    rs->PutCollect("GenNewOperate", ado::_variant_t(static_cast<int>(GenNewOperate)));
    rs->PutCollect("isHoleProcess", ado::_variant_t(static_cast<int>(isHoleProcess)));
    rs->PutCollect("isPrevStateHole", ado::_variant_t(static_cast<int>(isPrevStateHole)));
    rs->PutCollect("isTakePrevState", ado::_variant_t(static_cast<int>(isTakePrevState)));
    rs->PutCollect("Comment", ado::_variant_t(Comment));
    rs->PutCollect("GraphInfo", ado::_variant_t::FromBytes(drawing.data(), drawing.size()));
    rs->Update();

    // An updated row has its id; an added one has it where the engine handed
    // it back with the insert, or reads the key the engine gave it.
    const std::int32_t idState = row.added ? NewRowId(connection, rs, ChartTable::State)
                                           : ValueOrZero(rs->GetCollect("idState"));
    ChartSaveRows::Finish(rows, ChartTable::State, key, row);
    return idState;
}

bool CAWFState::Validate()
{
    bool reached = false;
    if (CODPortComponent* port = GetPort())
        for (CODConnection* conn : port->Connections()) {
            CODPortComponent* far = conn->GetOtherPort(port);
            auto* link = ElementCast<CAWFLink>(far ? far->GetOwner() : nullptr);
            if (link && link->GetToState() == this)
                reached = true;
        }
    return Validate(reached);
}

bool CAWFState::Validate(bool reachedByLink)
{
    CODPortComponent* port = GetPort();
    return Validate(port && !port->Connections().IsEmpty(), reachedByLink);
}

bool CAWFState::Validate(bool connected, bool reachedByLink)
{
    if (!FindsError(connected, reachedByLink, State))
        return false;
    Errors.push_back(connected ? "Состояние не может быть начальным." : "Состояние не связано с другими состояниями.");
    return true;
}

void CAWFState::OnDraw(wxDC& dc)
{
    CODSymbolComponent::OnDraw(dc);
    if (Errors.empty())
        return;
    const CPoint origin = GetOrigin();
    const CRect bounds = GetBounds();
    DrawErrorIcon(dc, CPoint(origin.x + (bounds.right - bounds.left) / 2 - 8,
                             origin.y + (bounds.bottom - bounds.top) / 2 - 10));
}

bool CAWFState::OnDoubleClick(std::uint32_t flags, const CPoint&)
{
    ChartShell().PostCommand((flags & OD_MK_CONTROL) ? 32808 : 44546);
    return true;
}

void CAWFState::OnDelete(CODModel* model)
{
    auto* chart = dynamic_cast<CDiagramModel*>(model);
    if (!chart || chart->m_bSilentRemove) {
        CODSymbolComponent::OnDelete(model);
        return;
    }
    CODConnectionSet connections;
    if (CODPortComponent* port = GetPort())
        port->GetConnections(connections);
    if (!connections.IsEmpty() && ChartShell().AskYesNo("Удалять связанные с состоянием переходы?")) {
        CODComponentSet links;
        for (CODConnection* conn : connections)
            for (int end = 0; end < 2; ++end)
                if (auto* link = dynamic_cast<CAWFLink*>(conn->GetOwner(end))) {
                    link->RemovalConfirmed = 1;
                    // Both ends of a circular link lie on this state: list it once.
                    if (links.IndexOf(link) < 0)
                        links.Add(link);
                }
        chart->DeleteComponents(links);
    }
    CODSymbolComponent::OnDelete(model);
}

void CAWFState::OnSymbolChanged()
{
    CODSymbolComponent::OnSymbolChanged();
    CODConnectionSet connections;
    GetConnections(connections);
    auto ownersOf = [](CODConnection* c) {
        CODComponent* a = c->GetOwner(0);
        CODComponent* b = c->GetOwner(1);
        return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
    };
    for (int i = 0; i + 1 < connections.GetSize(); ++i) {
        if (ownersOf(connections.GetAt(i)) != ownersOf(connections.GetAt(i + 1)))
            continue;
        auto [a, b] = ownersOf(connections.GetAt(i));
        CODComponent* other = a == this ? b : a;
        if (auto* loop = dynamic_cast<CAWFCircleLink*>(other))
            loop->Route();
        break;
    }
}

void CAWFState::AdjustShape(bool generatesDocument, CODViewport* viewport)
{
    CODComponent* polygon = FindChild("Polygon");
    if (!polygon || polygon->GetVertexCount() < 7)
        return;
    // Set from the rectangle's own corners, so that the look is the same
    // however often it is applied.
    std::vector<CPoint> v = polygon->Vertices();
    const std::int32_t notch = generatesDocument ? 30 : 0;
    v[2].x = v[1].x + notch;
    v[6].x = v[0].x = v[4].x = v[5].x - notch;
    polygon->SetVertices(v.data(), static_cast<int>(v.size()));
    polygon->UpdateBounds(false);

    if (CODComponent* line = FindChild("Line"); line && line->GetVertexCount() >= 2) {
        const CPoint a(v[5].x + 18, line->GetVertex(0).y);
        const CPoint b(v[2].x - (generatesDocument ? 26 : 18), line->GetVertex(1).y);
        const CPoint pts[2] = {a, b};
        line->SetVertices(pts, 2);
        line->UpdateBounds(false);
    }
    UpdateBounds(false);

    if (!viewport)
        return;
    if (CODModel* model = viewport->GetModel()) {
        CODComponentSet* components = model->GetComponents();
        for (int i = 0; i < components->GetSize(); ++i) {
            CODComponent* c = components->GetAt(i);
            // A loop's ends lie on its arc: its route comes after the re-laying.
            if (auto* link = dynamic_cast<CAWFLink*>(c))
                link->Relayout();
            if (auto* loop = dynamic_cast<CAWFCircleLink*>(c))
                loop->Route();
        }
        model->UpdateAllComponents();
    }
    viewport->Redraw();
}

void CAWFState::UpdateDocTypeNames()
{
    if (GenNewOperate == 0)
        return;
    std::vector<std::int32_t> created;
    CODConnectionSet connections;
    GetConnections(connections);
    for (CODConnection* conn : connections)
        for (int end = 0; end < 2; ++end) {
            auto* link = dynamic_cast<CAWFLink*>(conn->GetOwner(end));
            if (link && link->GetToState() == this && link->NewTypeDoc > 0 &&
                std::find(created.begin(), created.end(), link->NewTypeDoc) == created.end())
                created.push_back(link->NewTypeDoc);
        }
    if (created.empty()) {
        SetDocTypeLabel("");
        return;
    }
    ado::_ConnectionPtr connection = ChartShell().Connection();
    if (!connection)
        return; // a chart without a database keeps its label
    std::string sql = "SELECT TypeDoc, NameDoc FROM ProdDocType WHERE TypeDoc in (";
    for (std::size_t i = 0; i < created.size(); ++i)
        sql += (i ? ", " : "") + std::to_string(created[i]);
    sql += ")";
    try {
        std::vector<std::string> names(created.size());
        std::vector<bool> found(created.size(), false);
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t(sql), connection, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
        while (!rs->IsEOF()) {
            const std::int32_t typeDoc = rs->GetCollect("TypeDoc").ToLong();
            const ado::_variant_t name = rs->GetCollect("NameDoc");
            auto it = std::find(created.begin(), created.end(), typeDoc);
            if (it != created.end()) {
                const auto at = static_cast<std::size_t>(it - created.begin());
                names[at] = name.vt == ado::VT_NULL ? std::string() : name.ToString();
                found[at] = true;
            }
            rs->MoveNext();
        }
        rs->Close();
        // The names follow the order in which the moves were found, whatever
        // order the server returns the rows in.
        std::string label;
        bool first = true;
        for (std::size_t i = 0; i < created.size(); ++i) {
            if (!found[i])
                continue;
            if (!first)
                label += ";\n";
            label += names[i];
            first = false;
        }
        SetDocTypeLabel(label);
    } catch (const ado::_com_error& e) {
        ShowChartComError(e);
    }
}

// ---------------------------------------------------------------- foreign state

CAWForeign::CAWForeign() : CAWFState(nullptr, -1) {}

void CAWForeign::Serialize(CArchive& ar)
{
    CAWFState::Serialize(ar);
    if (ar.IsStoring()) {
        ar << std::int32_t{1} << ForeignValue1 << ForeignValue2;
        for (int i = 0; i < 10; ++i)
            ar << std::int32_t{0};
        return;
    }
    std::int32_t number = 0, discard = 0;
    ar >> number >> ForeignValue1 >> ForeignValue2;
    for (int i = 0; i < 10; ++i)
        ar >> discard;
}
