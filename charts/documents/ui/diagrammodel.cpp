#include "charts/documents/core/diagrammodel.h"

#include "charts/shell/core/chartshell.h"
#include "diagram/odcommand.h"
#include "diagram/odcontroller.h"

#include <wx/docview.h>

#include <algorithm>

IMPLEMENT_SERIAL(CDiagramModel, CODModel, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CTarnwickModel, CDiagramModel, VERSIONABLE_SCHEMA | 1)

using namespace tarnwick;

bool CDiagramModel::LoadFromDB(std::int32_t key, bool)
{
    m_nKey = key;
    return true;
}

void CDiagramModel::DeleteComponents(const CODComponentSet& components)
{
    if (components.IsEmpty())
        return;
    auto* command = new CODDeleteCommand(this);
    command->SetComponents(components);
    ExecuteCommand(command);
}

CTarnwickModel::~CTarnwickModel()
{
    ReleaseDocTypes();
}

void CTarnwickModel::ReleaseDocTypes()
{
    while (m_DocTypes.GetSize() > 0) {
        CODComponent* element = m_DocTypes.GetAt(0);
        m_DocTypes.RemoveAt(0);
        if (element)
            element->Release();
    }
}

void CTarnwickModel::Serialize(CArchive& ar)
{
    CODModel::Serialize(ar);
    if (ar.IsStoring()) {
        ar << static_cast<std::int32_t>(m_DocTypes.GetSize());
        for (CODComponent* element : m_DocTypes)
            ar.WriteObject(element);
        ar << m_bActionsShown;
        for (std::int32_t i = 0; i < 20; ++i)
            ar << i;
        SetModified(false);
        return;
    }
    std::int32_t count = 0;
    ar >> count;
    if (count < 0)
        CArchive::ThrowException(CArchiveException::genericException, "negative count of document types");
    for (std::int32_t i = 0; i < count; ++i) {
        CAWFDocumentType* element = nullptr;
        ar >> element;
        if (!element)
            CArchive::ThrowException(CArchiveException::badIndex, "empty document type entry");
        if (element->GetRefCount() != 0 || m_DocTypes.IndexOf(element) >= 0)
            CArchive::ThrowException(CArchiveException::badIndex, "document type stored twice");
        m_DocTypes.Add(element);
        element->AddRef();
        element->SetModel(this);
    }
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* state = dynamic_cast<CAWFState*>(components->GetAt(i));
        if (!state)
            continue;
        for (CODComponent* c : m_DocTypes)
            if (auto* element = static_cast<CAWFDocumentType*>(c); element->NameDoc == state->DocTypeName) {
                state->SetDocumentType(element);
                break;
            }
    }
    ar >> m_bActionsShown;
    std::int32_t reserved = 0;
    for (int i = 0; i < 20; ++i)
        ar >> reserved;
    SetModified(false);
}

CAWFDocumentType* CTarnwickModel::GetDocType(std::int32_t typeDoc, const std::string& name)
{
    for (CODComponent* c : m_DocTypes)
        if (auto* element = static_cast<CAWFDocumentType*>(c); element->GetTypeDoc() == typeDoc)
            return element;
    auto* element = new CAWFDocumentType(typeDoc, name);
    element->defState = -1;
    element->TypeDoc = -1;
    element->DocTypeOptions = 0;
    if (Grp != -1 && Type != -1) {
        // The chart keeps the document type it was opened for.
        if (m_nKey < 0)
            m_nKey = typeDoc;
        try {
            ado::_RecordsetPtr rs;
            rs.CreateInstance("ADODB.Recordset");
            rs->Open(ado::_variant_t("SELECT * FROM MainDocType WHERE TypeDoc = " + std::to_string(typeDoc)),
                     ChartShell().Connection(), ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
            if (!rs->IsEOF()) {
                auto read = [&](const char* column) {
                    const ado::_variant_t v = rs->GetCollect(column);
                    return v.vt == ado::VT_NULL ? ado::_variant_t(0) : v;
                };
                element->defState = read("defState").ToShort();
                element->TypeDoc = read("TypeDoc").ToLong();
                element->DocTypeOptions = read("DocTypeOptions").ToLong();
            }
            rs->Close();
        } catch (const ado::_com_error& e) {
            ShowChartComError(e);
        }
    }
    element->MarkSaved();
    m_DocTypes.Add(element);
    element->SetModel(this);
    element->AddRef();
    return element;
}

std::vector<CTarnwickModel::DocumentMove> CTarnwickModel::documentMoves()
{
    std::vector<DocumentMove> moves;
    for (CODComponent* c : *GetComponents()) {
        auto* link = tarnwick::ElementCast<CAWFLink>(c);
        if (!link || !link->IsDocumentMove())
            continue;
        CAWFState* from = link->GetFromState();
        CAWFState* to = link->GetToState();
        if (from && to)
            moves.push_back({link, from, to});
    }
    return moves;
}

std::string CTarnwickModel::lookUpName(const std::string& sql, const char* column)
{
    if (Grp == -1)
        return "?";
    if (m_NameCache)
        if (auto found = m_NameCache->names.find(sql); found != m_NameCache->names.end())
            return found->second;
    try {
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t(sql), ChartShell().Connection(), ado::adOpenForwardOnly, ado::adLockReadOnly,
                 ado::adCmdText);
        std::string name = "(null)";
        if (!rs->IsEOF())
            name = rs->GetCollect(column).ToString();
        rs->Close();
        if (m_NameCache)
            m_NameCache->names.emplace(sql, name);
        return name;
    } catch (const ado::_com_error& e) {
        ShowChartComError(e);
        return "(error)";
    }
}

std::string CTarnwickModel::GetNameDoc(std::int32_t typeDoc, std::int32_t, std::int32_t)
{
    return lookUpName("SELECT NameDoc FROM ProdDocType WHERE TypeDoc = " + std::to_string(typeDoc), "NameDoc");
}

std::string CTarnwickModel::GetNameState(std::int32_t state, std::int32_t grp)
{
    if (grp == -1)
        grp = Grp;
    if (m_NameCache && m_NameCache->stateNames && grp == Grp && Grp != -1) {
        auto found = m_NameCache->stateNames->find(state);
        return found == m_NameCache->stateNames->end() ? "(null)" : found->second;
    }
    return lookUpName("SELECT NameState FROM ProdDocState WHERE Grp = " + std::to_string(grp) +
                          " AND State = " + std::to_string(state),
                      "NameState");
}

std::string CTarnwickModel::GetNameAction(std::int32_t action)
{
    return lookUpName("SELECT NameAction FROM ProdDocAction WHERE Action = " + std::to_string(action), "NameAction");
}

void CTarnwickModel::RemoveDanglingConnections(CODComponent* component)
{
    if (!component)
        return;
    CODConnectionSet connections;
    component->GetConnections(connections);
    for (CODConnection* conn : connections) {
        CODComponent* far = nullptr;
        for (int i = 0; i < 2; ++i)
            if (conn->GetOwner(i) != component)
                far = conn->GetOwner(i);
        if (!far || !far->GetModel())
            component->RemoveConnection(conn);
    }
}

void CTarnwickModel::FitSymbolsToText(CODController* controller, wxDocument* document,
                                      const std::function<void(CODComponent*)>& prepareNew)
{
    SetModified(false);
    if (document)
        document->Modify(false);
    for (CODComponent* c : m_NewComponents) {
        if (!c)
            continue;
        if (controller)
            controller->RegisterComponent(c);
        if (prepareNew)
            prepareNew(c);
        if (auto* state = dynamic_cast<CAWFState*>(c))
            state->UpdateDocTypeNames();
    }
    m_NewComponents.RemoveAll();

    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        CODComponent* c = components->GetAt(i);
        if (!c)
            continue;
        if (auto* link = dynamic_cast<CAWFLink*>(c))
            link->Relayout();
        if (controller)
            controller->RegisterComponent(c);
        if (auto* edit = dynamic_cast<CODEditProperty*>(c->GetProperty(OD_PROP_EDIT))) {
            CODEditProperty flags = *edit;
            flags.m_bValue = true;
            flags.m_bSecond = true;
            c->SetProperty(flags);
        }
        FitSymbolToText(c);
    }
    // A loop is laid from its state as the state now stands, whatever
    // shape its stored drawing had.
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* loop = dynamic_cast<CAWFCircleLink*>(components->GetAt(i)))
            loop->Route();
    UpdateAllComponents();
}

void CTarnwickModel::FitSymbolToText(CODComponent* component)
{
    if (component->IsLink())
        return;
    CSize size = component->GetSize();
    CRect polygon;
    bool havePolygon = false;
    int texts = 0, grown = 0;
    std::int32_t lastHeightGrowth = 0;
    for (int i = 0; i < component->GetChildCount(); ++i) {
        CODComponent* child = component->GetChild(i);
        if (!child)
            continue;
        if (child->IsKindOf(RUNTIME_CLASS(CODPolygonComponent))) {
            polygon = child->GetBounds();
            havePolygon = true;
        }
        auto* text = dynamic_cast<CODTextComponent*>(child);
        if (!text)
            continue;
        // Sizes as the chart sees them: a symbol that took another size
        // before scales its texts' rectangles, not their fonts.
        CRect rect = text->GetTextRect();
        const CSize before = text->GetModelBounds().Size();
        if (havePolygon) {
            rect.top = std::max(rect.top, polygon.top);
            rect.bottom = std::min(rect.bottom, polygon.bottom);
        }
        text->SizeToText(8);
        const CSize after = text->GetModelBounds().Size();
        text->SetTextRect(rect);
        lastHeightGrowth = after.cy - before.cy;
        if (after.cx > before.cx || after.cy > before.cy) {
            size.cx += after.cx - before.cx;
            size.cy += after.cy - before.cy;
            ++grown;
        }
        ++texts;
    }
    if (texts >= 2 && grown == 1)
        size.cy += lastHeightGrowth;
    if (size != component->GetSize()) {
        component->SetSize(size);
        // A state of another size lays its loop again.
        component->OnSymbolChanged();
    }
}
