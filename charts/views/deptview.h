// The department chart in a window: its document, its view and the viewport
// that makes the department controller.
#pragma once

#include "charts/documents/core/deptmodel.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/views/chartview.h"
#include "charts/views/deptcontroller.h"
#include "diagram/mvcbuffered.h"
#include "diagram/mvcwrapper.h"

class CADepartmentDoc : public CBaseDiagramDoc {
    wxDECLARE_DYNAMIC_CLASS(CADepartmentDoc);

public:
    CADepartmentDoc();
    CADepartmentDiagramModel* GetModel() const { return static_cast<CADepartmentDiagramModel*>(m_pModel); }
    // Refused in read-only mode; clears the changed marks when it wrote.
    bool SaveChartToDatabase() override;
    // A chart not from the database, or with hand-inserted elements, offers
    // the file save; otherwise the database question. Without a view or a
    // controller the document does not close.
    bool OnSaveModified() override;

private:
    // The question of saving to a file: Yes saves (file dialog), No drops
    // the changes, Cancel keeps the window.
    bool AskFileSave();
};

// The library's buffered viewport with the department controller.
class CADepartmentDiagramViewport : public MvcBufferedWrapper_T<CODViewport> {
public:
    bool CreateController() override;
    // The document of the view that holds this viewport.
    CADepartmentDoc* m_pDocument = nullptr;
};

class CADepartmentView : public CChartViewBase {
    wxDECLARE_DYNAMIC_CLASS(CADepartmentView);

public:
    CADepartmentView() = default;
    ~CADepartmentView() override;

    bool OnCreate(wxDocument* doc, long flags) override;
    CADepartmentDoc* GetDocument() const { return dynamic_cast<CADepartmentDoc*>(wxView::GetDocument()); }
    MvcScrollWrapper_T<CADepartmentDiagramViewport>* GetViewport() { return &m_Viewport; }
    CODViewport& GetChartViewport() override { return m_Viewport; }
    CADepartmentDiagramController* GetController()
    {
        return dynamic_cast<CADepartmentDiagramController*>(m_Viewport.GetController());
    }

    MvcScrollWrapper_T<CADepartmentDiagramViewport> m_Viewport;
};
