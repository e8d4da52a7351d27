#include "charts/views/tarnwickcontroller.h"

#include "charts/documents/core/diagrammodel.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/elements/chartsymbols.h"
#include "charts/shell/core/chartdialogs.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"
#include "charts/views/chartview.h"

#include "afx/cmdid.h"
#include "diagram/odproperty.h"
#include "diagram/odpropsheet.h"

#include <wx/app.h>
#include <wx/docview.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <cstdio>

using namespace tarnwick;

std::uint8_t g_bShowComments = 1;

namespace {

constexpr std::int32_t kUnitCode = 4;


constexpr const char* kReloadQuestion = "Диаграмма была изменена.\nВы хотите ее сохранить?";

template <class T>
T* As(CODComponent* c)
{
    return dynamic_cast<T*>(c);
}

// Holds a reference for the scope: a delete command may drop the last other one.
struct RefHold {
    explicit RefHold(CODComponent* c) : p(c)
    {
        if (p)
            p->AddRef();
    }
    ~RefHold()
    {
        if (p)
            p->Release();
    }
    CODComponent* p;
};

// The wait cursor, when there is a program to show it.
struct BusyCursor {
    BusyCursor()
    {
        if (wxTheApp)
            wxBeginBusyCursor();
    }
    ~BusyCursor()
    {
        if (wxTheApp)
            wxEndBusyCursor();
    }
};

} // namespace

wxBEGIN_EVENT_TABLE(CTarnwickController, CODController)
    EVT_MENU(ToWxId(ID_INSERT_STATE), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_INSERT_EXTERNAL_STATE), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SHOW_ISOLATED_STATES), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_INSERT_ACTION), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SHOW_ACTIONS), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SAVE_TO_DB), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_RELOAD_CHART), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_CHECK_CHART), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_READ_ARCHIVE), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_GO_TO_CHART), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SHOW_COMMENTS), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_INSERT_COMMENTS), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SHOW_BACK_REFERENCES), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_INSERT_CIRCLE_LINK), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_SAVE_AS_PICTURE), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_INSERT_LINK), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_OD_PROPERTIES), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_OD_DEFAULT_PROPERTIES), CTarnwickController::OnCommand)
    EVT_MENU(ToWxId(ID_OD_EDIT_CLEAR), CTarnwickController::OnCommand)
    EVT_UPDATE_UI(ToWxId(ID_SAVE_AS_PICTURE), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_INSERT_LINK), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_SHOW_ACTIONS), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_SAVE_TO_DB), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_RELOAD_CHART), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_CHECK_CHART), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_GO_TO_CHART), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_SHOW_COMMENTS), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_INSERT_COMMENTS), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_SHOW_BACK_REFERENCES), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_INSERT_CIRCLE_LINK), CTarnwickController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_SHOW_ISOLATED_STATES), CTarnwickController::OnUpdateCommand)
wxEND_EVENT_TABLE()

CTarnwickController::CTarnwickController(CODViewport* viewport)
    : CODController(viewport)
{
    if (viewport) {
        ChartShell().LoadDefaultProperties(*viewport);
        viewport->SetMeasurementUnits(kUnitCode);
        viewport->SetMeasures(CODMeasure(kUnitCode, 1.0), CODMeasure(kUnitCode, 1.0));
    }
}

CTarnwickModel* CTarnwickController::GetTarnwickModel() const
{
    return dynamic_cast<CTarnwickModel*>(GetModel());
}

void CTarnwickController::Redraw()
{
    if (m_pViewport)
        m_pViewport->Redraw();
}

// ---- Commands and their update rules ----

void CTarnwickController::OnCommand(wxCommandEvent& event)
{
    switch (FromWxId(event.GetId())) {
    case ID_INSERT_STATE: OnInsertState(); break;
    case ID_INSERT_EXTERNAL_STATE: OnInsertExternalState(); break;
    case ID_INSERT_ACTION: OnInsertAction(); break;
    case ID_INSERT_LINK: OnInsertLink(); break;
    case ID_INSERT_CIRCLE_LINK: OnInsertCircleLink(); break;
    case ID_OD_PROPERTIES: OnProperties(); break;
    case ID_OD_DEFAULT_PROPERTIES: OnDefaultProperties(); break;
    case ID_OD_EDIT_CLEAR: OnDelete(); break;
    case ID_SAVE_TO_DB: OnSaveToDB(); break;
    case ID_RELOAD_CHART: OnReload(); break;
    case ID_READ_ARCHIVE: ReadArchive(); break;
    case ID_CHECK_CHART: OnCheck(); break;
    case ID_SHOW_ACTIONS: OnShowActions(); break;
    case ID_SHOW_ISOLATED_STATES: OnShowIsolatedStates(); break;
    case ID_SHOW_COMMENTS: OnShowComments(); break;
    case ID_INSERT_COMMENTS: OnInsertComments(); break;
    case ID_SHOW_BACK_REFERENCES: OnShowBackReferences(); break;
    case ID_GO_TO_CHART: OnGoToChart(); break;
    case ID_SAVE_AS_PICTURE: OnSaveAsPicture(); break;
    default: event.Skip(); break;
    }
}

void CTarnwickController::OnUpdateCommand(wxUpdateUIEvent& event)
{
    bool enabled = true;
    std::optional<bool> checked;
    if (!GetCommandState(FromWxId(event.GetId()), enabled, checked)) {
        event.Skip();
        return;
    }
    event.Enable(enabled);
    if (checked)
        event.Check(*checked);
}

bool CTarnwickController::GetCommandState(int id, bool& enabled, std::optional<bool>& checked) const
{
    CTarnwickModel* model = GetTarnwickModel();
    const bool known = model && model->GetGrp() != -1;
    const int selected = const_cast<CTarnwickController*>(this)->GetSelection().GetSize();
    checked.reset();
    switch (id) {
    case ID_SAVE_AS_PICTURE:
    case ID_RELOAD_CHART:
    case ID_CHECK_CHART:
        enabled = known;
        return true;
    case ID_SAVE_TO_DB:
        enabled = known && !ChartShell().IsReadOnly();
        return true;
    case ID_INSERT_LINK:
    case ID_INSERT_CIRCLE_LINK: {
        // Editing switched off through the model's property 40.
        enabled = !(model && model->GetProperties().Find(OD_PROP_EDIT) && model->GetEditA() != 0);
        const bool drawing = m_nState == OD_STATE_LINK_ARMED || m_nState == OD_STATE_LINK_DRAG;
        const bool circle = dynamic_cast<CAWFCircleLink*>(m_pInsert) != nullptr;
        const bool plain = dynamic_cast<CAWFLink*>(m_pInsert) != nullptr && !circle;
        checked = drawing && (id == ID_INSERT_LINK ? plain : circle);
        return true;
    }
    case ID_SHOW_ACTIONS:
        enabled = true;
        checked = model && model->GetActionsShown() != 0;
        return true;
    case ID_GO_TO_CHART:
        enabled = GetSelectedExternalState() != nullptr;
        return true;
    case ID_SHOW_COMMENTS:
        enabled = true;
        if (model)
            checked = g_bShowComments != 0;
        return true;
    case ID_INSERT_COMMENTS:
    case ID_SHOW_BACK_REFERENCES:
        enabled = selected == 1 && g_bShowComments;
        return true;
    case ID_SHOW_ISOLATED_STATES:
        enabled = model && model->HasIsolatedStates();
        checked = model && model->GetIsolatedShown() != 0;
        return true;
    default:
        return false;
    }
}

// ---- Insertion ----

std::string CTarnwickController::GetNameDoc(std::int32_t typeDoc, std::int32_t grp, std::int32_t type)
{
    CTarnwickModel* model = GetTarnwickModel();
    return model ? model->GetNameDoc(typeDoc, grp, type) : std::string();
}

std::string CTarnwickController::GetNameState(std::int32_t state, std::int32_t grp)
{
    CTarnwickModel* model = GetTarnwickModel();
    return model ? model->GetNameState(state, grp) : std::string();
}

std::string CTarnwickController::GetNameAction(std::int32_t action, std::int32_t)
{
    CTarnwickModel* model = GetTarnwickModel();
    return model ? model->GetNameAction(action) : std::string();
}

CAWFState* CTarnwickController::CreateStateComponent(std::int32_t typeDoc, std::int32_t state, bool external)
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return nullptr;
    std::string docText = "Document type";
    std::string stateText = "State";
    if (typeDoc == -1) {
        if (model->GetGrp() != -1 && model->GetType() != -1) {
            std::int16_t chosen = 0;
            std::string chosenName;
            if (!CreateStatePrompt().ChooseState(model->GetGrp(), model->GetTypeDoc(), *model, chosen, chosenName))
                return nullptr;
            typeDoc = model->GetTypeDoc();
            state = chosen;
            docText = GetNameDoc(typeDoc);
            stateText = chosenName;
        }
    } else {
        docText = GetNameDoc(typeDoc);
        stateText = GetNameState(state);
    }
    char number[32];
    std::snprintf(number, sizeof number, "%d:", static_cast<int>(state));
    stateText = number + stateText;
    CAWFDocumentType* docType = model->GetDocType(typeDoc, docText);
    auto* s = new CAWFState(docType, static_cast<std::int16_t>(-1));
    LoadChartSymbol(*s, IDR_SYMBOL_STATE);
    s->AdjustShape(external, m_pViewport);
    s->SetData(static_cast<std::int16_t>(state), external ? std::string() : docText, stateText, docText);
    // Its box holds its labels as an opened chart's boxes do.
    CTarnwickModel::FitSymbolToText(s);
    return s;
}

void CTarnwickController::PrepareNewComponent(CODComponent* component)
{
    if (!component)
        return;
    for (int i = 0; i < component->GetChildCount(); ++i)
        if (CODComponent* child = component->GetChild(i))
            PrepareComponent(child);
    for (int i = 0; i < component->GetChildCount(); ++i) {
        CODComponent* child = component->GetChild(i);
        if (child && child->GetName() == "Text" && child->GetProperty(OD_PROP_TEXT))
            child->SetProperty(CODIntProperty(OD_PROP_TEXT, 1));
    }
}

void CTarnwickController::OnInsertState()
{
    CAWFState* state = CreateStateComponent(-1, -1, false);
    if (!state)
        return;
    PrepareNewComponent(state);
    OnInsertSymbol(state);
}

void CTarnwickController::OnInsertExternalState()
{
    CAWFState* state = CreateStateComponent(-1, -1, true);
    if (!state)
        return;
    state->GenNewOperate = 1;
    PrepareNewComponent(state);
    OnInsertSymbol(state);
}

void CTarnwickController::OnInsertAction()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return;
    ActionChoice choice;
    if (model->GetGrp() == -1) {
        choice.action = -1;
        choice.name = "Неопределенное действие";
    } else if (ChartDialogs().SelectAction(choice) != IDOK) {
        return;
    }
    auto* action = new CAWFAction;
    LoadChartSymbol(*action, IDR_SYMBOL_ACTION);
    action->SetActionName(choice.action, choice.name, choice.kind, static_cast<std::uint16_t>(choice.order));
    PrepareNewComponent(action);
    OnInsertSymbol(action);
}

void CTarnwickController::OnInsertLink()
{
    auto* link = new CAWFLink;
    link->SetupLink(nullptr, nullptr);
    CODController::OnInsertLink(link);
    PrepareNewComponent(link);
}

void CTarnwickController::OnInsertCircleLink()
{
    auto* link = new CAWFCircleLink;
    link->SetupLink(nullptr, nullptr);
    CODController::OnInsertLink(link);
    PrepareNewComponent(link);
}

void CTarnwickController::OnLinkDrawEnd(std::uint32_t flags, const CPoint& pt)
{
    CODController::OnLinkDrawEnd(flags, pt);
    auto* loop = dynamic_cast<CAWFCircleLink*>(GetInsertComponent());
    if (!loop || !GetStartPort())
        return;
    RefHold hold(loop);
    SetEndPort(GetStartPort());
    GetVertexList().push_back(pt);
    GetVertexList().push_back(pt);
    LinkPorts(loop, GetVertexList(), GetStartPort(), GetEndPort());
    PrepareNewComponent(loop);
    SetState(OD_STATE_IDLE);
    SetCursor(wxCURSOR_ARROW);
    SetInsertComponent(nullptr);
    GetVertexList().clear();
    CODModel* model = GetModel();
    if (!model)
        return;
    if (!loop->Route()) {
        CODComponentSet one;
        one.Add(loop);
        DeleteComponents(&one);
    } else {
        model->UpdateAllComponents();
    }
    Redraw();
}

CODCommand* CTarnwickController::MoveComponents(CODComponentSet* set, std::int32_t dx, std::int32_t dy)
{
    CODCommand* command = CODController::MoveComponents(set, dx, dy);
    Redraw();
    return command;
}

// ---- Properties and delete ----

void CTarnwickController::OnProperties()
{
    CODModel* model = GetModel();
    if (!model || !m_pViewport || GetSelection().GetSize() == 0)
        return;
    const bool editable = !model->GetProperties().Find(OD_PROP_EDIT) || model->GetEditA() == 0;
    CODComponentSet selection = GetSelection();
    const char* caption = ODLoadString(editable ? OD_IDS_PROPERTIES : OD_IDS_PROPERTIES_READONLY);
    if (ChartDialogs().RunProperties(selection, *m_pViewport, caption) != IDOK)
        return;
    model->SetModified();
    Redraw();
}

void CTarnwickController::OnDefaultProperties()
{
    if (!m_pViewport)
        return;
    CODPropertySet copy = m_pViewport->GetDefaultProperties();
    if (EditDefaultProperties(copy))
        m_pViewport->GetDefaultProperties() = copy;
    // Written whichever way the dialog ended.
    ChartShell().SaveDefaultProperties(*m_pViewport);
}

void CTarnwickController::OnDelete()
{
    auto* model = dynamic_cast<CDiagramModel*>(GetModel());
    if (!model)
        return;
    struct Loud {
        CDiagramModel* m;
        explicit Loud(CDiagramModel* model) : m(model) { m->m_bSilentRemove = 0; }
        ~Loud() { m->m_bSilentRemove = 1; }
    } loud(model);
    PruneSelection();
    if (GetSelection().GetSize() > 0) {
        CODComponentSet set = GetSelection();
        DeleteComponents(&set);
        PruneSelection();
    }
    Redraw();
}

// ---- Context menu and comments ----

wxMenu* CTarnwickController::BuildContextMenu()
{
    wxMenu* menu = CODController::BuildContextMenu();
    if (!menu)
        return nullptr;
    for (int id : {ID_OD_EDIT_CUT, ID_OD_EDIT_COPY, ID_OD_EDIT_PASTE})
        if (wxMenuItem* item = menu->FindItem(ToWxId(id)))
            menu->Destroy(item);
    if (menu->GetMenuItemCount() > 0)
        menu->Destroy(menu->FindItemByPosition(0));
    if (GetSelection().GetSize() != 1)
        return menu;
    int properties = -1;
    for (std::size_t i = 0; i < menu->GetMenuItemCount(); ++i)
        if (menu->FindItemByPosition(i)->GetId() == ToWxId(ID_OD_PROPERTIES))
            properties = static_cast<int>(i);
    if (properties < 0)
        return menu;
    // Separator, [go to chart,] insert comments, separator, properties.
    std::size_t at = static_cast<std::size_t>(properties);
    menu->InsertSeparator(at++);
    auto* state = dynamic_cast<CAWFState*>(GetSelection().GetAt(0));
    if (state && state->GenNewOperate)
        menu->Insert(at++, ToWxId(ID_GO_TO_CHART), wxString::FromUTF8("Перейти на диаграмму"));
    menu->Insert(at++, ToWxId(ID_INSERT_COMMENTS), wxString::FromUTF8("Вставить комментарии"));
    menu->InsertSeparator(at);
    return menu;
}

CODTextComponent* CTarnwickController::FindComment(CODComponent* component)
{
    if (!component)
        return nullptr;
    for (int i = 0; i < component->GetChildCount(); ++i) {
        auto* text = dynamic_cast<CODTextComponent*>(component->GetChild(i));
        if (text && text->GetProperty(OD_PROP_COMMENT))
            return text;
    }
    return nullptr;
}

bool CTarnwickController::OnEditText(CODTextComponent* text, const CPoint& pt)
{
    // Labels come from the catalogue; only comments are typed.
    if (!text || !text->GetProperty(OD_PROP_COMMENT))
        return false;
    return CODController::OnEditText(text, pt);
}

void CTarnwickController::OnLButtonDblClk(std::uint32_t flags, const CPoint& pt)
{
    CODModel* model = GetModel();
    if (model && m_nState == OD_STATE_IDLE)
        if (CODComponent* hit = model->ComponentAt(pt))
            if (CODTextComponent* comment = FindComment(hit); comment && comment->IsVisible() && comment->HitTest(pt, 0)) {
                OnEditText(comment, pt);
                return;
            }
    CODController::OnLButtonDblClk(flags, pt);
}

void CTarnwickController::OnShowComments()
{
    CODModel* model = GetModel();
    if (!model)
        return;
    g_bShowComments = !g_bShowComments;
    for (CODComponent* c : *model->GetComponents())
        if (CODTextComponent* comment = FindComment(c)) {
            comment->SetVisible(g_bShowComments != 0);
            model->UpdateComponent(c);
        }
    Redraw();
}

void CTarnwickController::OnInsertComments()
{
    CODModel* model = GetModel();
    if (!model || GetSelection().GetSize() != 1)
        return;
    CODComponent* target = GetSelection().GetAt(0);
    if (!dynamic_cast<CAWFState*>(target) && !dynamic_cast<CAWFAction*>(target))
        return;
    if (FindComment(target))
        return;
    auto* comment = new CODTextComponent;
    comment->Create(0);
    comment->SetVisible(true);
    comment->SetProperty(CODIntProperty(OD_PROP_COMMENT, 1));
    const CRect bounds = target->GetModelBounds();
    comment->MoveTo(bounds.left, bounds.bottom + 4);
    target->AppendChild(comment);
    model->UpdateComponent(target);
    model->SetModified();
    Redraw();
    OnEditText(comment, comment->GetModelBounds().TopLeft());
}

// ---- Show and navigate ----

void CTarnwickController::OnShowActions()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return;
    model->ShowActions(&GetSelection(), model->GetActionsShown() == 0);
    Redraw();
}

void CTarnwickController::OnShowIsolatedStates()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return;
    model->ShowIsolatedStates(model->GetIsolatedShown() == 0);
    Redraw();
}

CAWFState* CTarnwickController::GetSelectedExternalState() const
{
    auto& selection = const_cast<CTarnwickController*>(this)->GetSelection();
    if (selection.GetSize() != 1)
        return nullptr;
    auto* state = dynamic_cast<CAWFState*>(selection.GetAt(0));
    return state && state->GenNewOperate ? state : nullptr;
}

void CTarnwickController::OnGoToChart()
{
    CAWFState* target = GetSelectedExternalState();
    CODModel* model = GetModel();
    if (!target || !model)
        return;
    CAWFLink* into = nullptr;
    for (CODComponent* c : *model->GetComponents())
        if (auto* link = dynamic_cast<CAWFLink*>(c); link && link->GetToState() == target) {
            into = link;
            break;
        }
    if (!into)
        return;
    const std::int32_t typeDoc = into->NewTypeDoc;
    std::string name;
    try {
        ado::_ConnectionPtr connection = ChartShell().Connection();
        if (!connection)
            return;
        ado::_RecordsetPtr rs;
        rs.CreateInstance("ADODB.Recordset");
        rs->Open(ado::_variant_t("SELECT p.NameDoc, p.TypeDoc, p.Grp FROM ProdDocType p WHERE p.TypeDoc = " +
                                 std::to_string(typeDoc)),
                 connection, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adCmdText);
        if (rs->IsEOF())
            return;
        const ado::_variant_t value = rs->GetCollect("NameDoc");
        name = value.vt == ado::VT_NULL ? std::string() : value.ToString();
        rs->Close();
    } catch (const ado::_com_error& e) {
        ShowChartComError(e);
        return;
    }
    ChartShell().OpenDiagram(typeDoc, name);
}

void CTarnwickController::OnShowBackReferences()
{
    if (GetSelection().GetSize() != 1)
        return;
    auto* state = dynamic_cast<CAWFState*>(GetSelection().GetAt(0));
    if (!state)
        return;
    DocTypeChoice chosen;
    if (ChartDialogs().ShowBackReferences(state->GetTypeDoc(), chosen) != IDOK)
        return;
    ChartShell().OpenDiagram(chosen.typeDoc, chosen.name);
}

// ---- Picture ----

CBaseDiagramDoc* CTarnwickController::FindDocument() const
{
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    if (!manager || !m_pViewport)
        return nullptr;
    for (wxDocument* doc : manager->GetDocumentsVector())
        for (wxView* view : doc->GetViewsVector())
            if (auto* chart = dynamic_cast<CChartViewBase*>(view); chart && &chart->GetChartViewport() == m_pViewport)
                return dynamic_cast<CBaseDiagramDoc*>(doc);
    return nullptr;
}

void CTarnwickController::OnSaveAsPicture()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model || model->GetGrp() == -1)
        return;
    CBaseDiagramDoc* doc = FindDocument();
    const std::string title = doc ? doc->GetTitle().utf8_string() : std::to_string(model->GetTypeDoc());
    std::string path;
    if (ChartDialogs().AskPicturePath(CBaseDiagramDoc::ProposedFileTitle(title), path) != IDOK || path.empty())
        return;
    ExportPicture(path);
}

bool CTarnwickController::ExportPicture(const std::string& path)
{
    if (!m_pViewport)
        return false;
    CODImage image;
    if (!image.Create(*m_pViewport) || !image.Save(path, wxBITMAP_TYPE_JPEG)) {
        // own wording
        ChartShell().Message("Не удалось сохранить рисунок диаграммы в файл\n" + path, "", ChartIcon::Exclamation);
        return false;
    }
    return true;
}

// ---- Save, check, reload and archive ----

bool CTarnwickController::OnSaveToDB()
{
    if (CBaseDiagramDoc* doc = FindDocument())
        return doc->SaveChartToDatabase();
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return false;
    const ChartSaveResult result = SaveWorkflowChart(*model);
    if (result == ChartSaveResult::CheckFailed)
        Redraw();
    return result == ChartSaveResult::Saved;
}

bool CTarnwickController::CheckChart(bool report)
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model)
        return false;
    BusyCursor wait;
    return tarnwick::CheckChart(*model, report);
}

void CTarnwickController::OnCheck()
{
    CheckChart(true);
    Redraw();
}

bool CTarnwickController::AskSaveBeforeRebuild()
{
    CODModel* model = GetModel();
    if (!model || !model->IsModified())
        return true;
    switch (ChartShell().AskYesNoCancel(kReloadQuestion)) {
    case IDCANCEL:
        return false;
    case IDYES:
        // The chart is rebuilt only when its edits are in the database.
        return OnSaveToDB();
    default:
        return true;
    }
}

void CTarnwickController::OnReload()
{
    if (AskSaveBeforeRebuild())
        ReloadFromDB();
}

void CTarnwickController::EmptyChart()
{
    CTarnwickModel* model = GetTarnwickModel();
    ClearSelection();
    CancelInsertion();
    if (model->GetComponentCount() > 0) {
        CODComponentSet all = *model->GetComponents();
        DeleteComponents(&all);
    }
    model->RemoveAllComponents();
    model->ReleaseDocTypes();
    model->m_NewComponents.RemoveAll();
}

void CTarnwickController::FinishRebuild()
{
    CTarnwickModel* model = GetTarnwickModel();
    for (CODComponent* c : *model->GetComponents())
        PrepareNewComponent(c);
    // Symbols made anew hold their labels, as when the chart is opened.
    for (CODComponent* c : model->m_NewComponents)
        if (c)
            CTarnwickModel::FitSymbolToText(c);
    model->m_NewComponents.RemoveAll();
    model->UpdateAllComponents();
    // What came before the rebuild cannot be undone into it.
    model->ClearHistory();
    if (m_pViewport)
        m_pViewport->ShowTopLeft();
    Redraw();
}

void CTarnwickController::ReloadFromDB()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model || model->GetGrp() == -1)
        return;
    EmptyChart();
    bool complete = true;
    {
        BusyCursor wait;
        IChartProgress& progress = ChartProgress();
        progress.BeginProgress("Перезагрузка данных...", 0, 30);
        try {
            if (!ChartShell().Connection())
                throw ado::_com_error(ado::E_FAIL, "Нет подключения к БД", "Tarnwick");
            model->BuildFromDB(true, [&progress] { progress.StepProgress(); });
        } catch (const ado::_com_error& e) {
            complete = false;
            ShowChartComError(e);
        } catch (const std::exception& e) {
            complete = false;
            ChartShell().Message(e.what(), "", ChartIcon::Stop);
        }
        progress.EndProgress();
    }
    // A broken-off reload must not be saved over the stored chart.
    model->m_bIncomplete = !complete;
    // The states are built anew: the view switch for unconnected ones holds
    // for them as after every load.
    model->ShowIsolatedStates(model->GetIsolatedShown() != 0);
    FinishRebuild();
}

void CTarnwickController::ReadArchive()
{
    CTarnwickModel* model = GetTarnwickModel();
    if (!model || model->GetGrp() == -1)
        return;
    if (!AskSaveBeforeRebuild())
        return;
    ado::_ConnectionPtr connection = ChartShell().Connection();
    if (!connection)
        return;
    EmptyChart();
    try {
        model->LoadFromArchive(connection);
        model->m_bIncomplete = false;
    } catch (const ado::_com_error& e) {
        model->m_bIncomplete = true;
        ShowChartComError(e);
    } catch (const std::exception& e) {
        model->m_bIncomplete = true;
        ChartShell().Message(e.what(), "", ChartIcon::Stop);
    }
    FinishRebuild();
}
