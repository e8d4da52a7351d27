#include "charts/views/deptcontroller.h"

#include "charts/shell/core/chartdialogs.h"
#include "charts/shell/core/chartshell.h"
#include "charts/views/controllershared.h"
#include "charts/views/deptview.h"

#include "afx/cmdid.h"

#include <wx/app.h>
#include <wx/utils.h>

#include <optional>

using namespace tarnwick;

wxBEGIN_EVENT_TABLE(CADepartmentDiagramController, CODController)
    EVT_MENU(ToWxId(ID_DEPT_INSERT), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_DEPT_INSERT_LINK), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_DEPT_SAVE_TO_DB), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_DEPT_REBUILD), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_OD_PROPERTIES), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_OD_DEFAULT_PROPERTIES), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_DEPT_SHOW_COMMENTS), CADepartmentDiagramController::OnCommand)
    EVT_MENU(ToWxId(ID_DEPT_ARRANGE), CADepartmentDiagramController::OnCommand)
    EVT_UPDATE_UI(ToWxId(ID_DEPT_INSERT_LINK), CADepartmentDiagramController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_DEPT_SAVE_TO_DB), CADepartmentDiagramController::OnUpdateCommand)
    EVT_UPDATE_UI(ToWxId(ID_DEPT_SHOW_COMMENTS), CADepartmentDiagramController::OnUpdateCommand)
wxEND_EVENT_TABLE()

CADepartmentDiagramController::CADepartmentDiagramController(CODViewport* viewport)
    : CODController(viewport)
{
    if (viewport)
        ChartShell().LoadDefaultProperties(*viewport);
}

CADepartmentDoc* CADepartmentDiagramController::GetDocument() const
{
    auto* viewport = dynamic_cast<CADepartmentDiagramViewport*>(GetViewport());
    return viewport ? viewport->m_pDocument : nullptr;
}

bool CADepartmentDiagramController::CanSaveToDB() const
{
    const CADepartmentDoc* doc = GetDocument();
    return !(doc && doc->m_bFromFile) && !m_bManualInsert;
}

void CADepartmentDiagramController::OnCommand(wxCommandEvent& event)
{
    switch (FromWxId(event.GetId())) {
    case ID_DEPT_INSERT: OnInsertDepartment(); break;
    case ID_DEPT_INSERT_LINK: OnInsertDeptLink(); break;
    case ID_DEPT_SAVE_TO_DB: OnSaveToDB(); break;
    case ID_DEPT_REBUILD: OnRebuild(); break;
    case ID_OD_PROPERTIES: OnProperties(); break;
    case ID_OD_DEFAULT_PROPERTIES: OnDefaultProperties(); break;
    case ID_DEPT_SHOW_COMMENTS: OnShowComments(); break;
    case ID_DEPT_ARRANGE: OnArrange(); break;
    default: event.Skip(); break;
    }
}

void CADepartmentDiagramController::OnUpdateCommand(wxUpdateUIEvent& event)
{
    CADepartmentDiagramModel* model = GetModel();
    switch (FromWxId(event.GetId())) {
    case ID_DEPT_INSERT_LINK: {
        const bool locked = model && model->GetLinkValue() == 0 && model->GetEditA() != 0;
        event.Enable(!locked);
        const bool drawing = dynamic_cast<CDWFLink*>(GetInsertComponent()) &&
                             (GetState() == OD_STATE_LINK_ARMED || GetState() == OD_STATE_LINK_DRAG);
        event.Check(drawing);
        break;
    }
    case ID_DEPT_SAVE_TO_DB:
        event.Enable(CanSaveToDB());
        break;
    case ID_DEPT_SHOW_COMMENTS:
        if (model)
            event.Check(g_bShowDeptComments != 0);
        break;
    default:
        event.Skip();
        break;
    }
}

void CADepartmentDiagramController::OnInsertDepartment()
{
    CADSubDivision* node = NewDepartmentNode();
    SetNewNodeData(*node, -1, -1, "New Department");
    PrepareDepartmentComponent(this, node, true);
    OnInsertSymbol(node);
    m_bManualInsert = 1;
}

void CADepartmentDiagramController::OnInsertDeptLink()
{
    auto* link = new CDWFLink;
    link->SetupLink(nullptr, nullptr);
    CODController::OnInsertLink(link);
    PrepareLinkLabels(this, link);
    m_bManualInsert = 1;
}

bool CADepartmentDiagramController::OnSaveToDB()
{
    CADepartmentDiagramModel* model = GetModel();
    // Greyed then; refused here too, for the accelerator and posted commands.
    if (!model || !CanSaveToDB())
        return false;
    if (CADepartmentDoc* doc = GetDocument())
        return doc->SaveChartToDatabase();
    return model->SaveToDB();
}

void CADepartmentDiagramController::OnRebuild()
{
    CADepartmentDiagramModel* model = GetModel();
    if (!model)
        return;
    if (model->IsModified()) {
        switch (ChartShell().AskYesNoCancel("Диаграмма была изменена.\nВы хотите ее сохранить?")) {
        case IDCANCEL:
            return;
        case IDYES:
            // Edits that could not be saved are not dropped by the rebuild.
            if (!OnSaveToDB())
                return;
            break;
        default:
            break;
        }
    }
    ClearSelection();
    model->RebuildFromDB(this);
    if (CODViewport* viewport = GetViewport()) {
        viewport->ShowTopLeft();
        viewport->Redraw();
    }
}

void CADepartmentDiagramController::OnProperties()
{
    CADepartmentDiagramModel* model = GetModel();
    CODViewport* viewport = GetViewport();
    if (!viewport)
        return;
    CODComponentSet selection = GetSelection();
    if (ChartDialogs().RunProperties(selection, *viewport, ElementPropertiesCaption(model)) != IDOK)
        return;
    if (model)
        model->SetModified(true);
    viewport->Update(0, 1);
}

void CADepartmentDiagramController::OnDefaultProperties()
{
    wxCommandEvent event(wxEVT_MENU, ToWxId(ID_OD_DEFAULT_PROPERTIES));
    CODController::OnMenu(event);
    if (CODViewport* viewport = GetViewport())
        ChartShell().SaveDefaultProperties(*viewport);
}

void CADepartmentDiagramController::OnShowComments()
{
    if (!GetModel())
        return;
    g_bShowDeptComments = g_bShowDeptComments ? 0 : 1;
    if (CODViewport* viewport = GetViewport())
        viewport->Redraw();
}

void CADepartmentDiagramController::OnArrange()
{
    CADepartmentDiagramModel* model = GetModel();
    if (!model)
        return;
    ArrangeChoice choice;
    choice.horzSpace = static_cast<std::uint32_t>(model->m_nHorzSpace);
    choice.vertSpace = static_cast<std::uint32_t>(model->m_nVertSpace);
    if (ChartDialogs().ArrangeParams(choice) != IDOK)
        return;
    model->m_nHorzSpace = static_cast<std::int32_t>(choice.horzSpace);
    model->m_nVertSpace = static_cast<std::int32_t>(choice.vertSpace);
    {
        std::optional<wxBusyCursor> wait;
        if (wxTheApp)
            wait.emplace();
        if (choice.arrangeNodes)
            model->ArrangeNodes(this);
        if (choice.arrangeLinks)
            model->ArrangeLinks(this);
        if (choice.fitSheet)
            model->FitExtent(this);
    }
    // The arranged chart is shown from its top-left corner, as on opening.
    if (CODViewport* viewport = GetViewport()) {
        viewport->ShowTopLeft();
        viewport->Redraw();
    }
    model->SetModified(true);
}
