#include "charts/views/deptview.h"

#include "charts/shell/core/chartshell.h"

wxIMPLEMENT_DYNAMIC_CLASS(CADepartmentDoc, CBaseDiagramDoc);
wxIMPLEMENT_DYNAMIC_CLASS(CADepartmentView, wxView);

using namespace tarnwick;

CADepartmentDoc::CADepartmentDoc()
{
    m_pModel = new CADepartmentDiagramModel;
    m_pModel->AddRef();
}

bool CADepartmentDoc::SaveChartToDatabase()
{
    CADepartmentDiagramModel* model = GetModel();
    if (!model || !model->SaveToDB())
        return false;
    Modify(false);
    return true;
}

bool CADepartmentDoc::AskFileSave()
{
    // Own wording: the question of the framework's file save.
    switch (ChartShell().AskYesNoCancel("Сохранить изменения в \"" + GetUserReadableName().utf8_string() + "\"?")) {
    case IDCANCEL:
        return false;
    case IDYES:
        return Save();
    default:
        DiscardChanges();
        return true;
    }
}

bool CADepartmentDoc::OnSaveModified()
{
    if (!m_pModel || !IsModified())
        return true;
    if (m_pModel->GetKey() < 0 || m_bFromFile)
        return AskFileSave();
    auto* view = dynamic_cast<CADepartmentView*>(GetFirstView());
    if (!view)
        return false;
    CADepartmentDiagramController* controller = view->GetController();
    if (!controller)
        return false;
    if (controller->m_bManualInsert)
        return AskFileSave();
    return CBaseDiagramDoc::OnSaveModified();
}

bool CADepartmentDiagramViewport::CreateController()
{
    SetController(new CADepartmentDiagramController(this), true);
    return true;
}

CADepartmentView::~CADepartmentView()
{
    DestroyCanvas();
}

bool CADepartmentView::OnCreate(wxDocument* doc, long flags)
{
    m_Viewport.m_pDocument = dynamic_cast<CADepartmentDoc*>(doc);
    return CChartViewBase::OnCreate(doc, flags);
}
