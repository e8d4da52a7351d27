// The department chart's controller: inserting departments and links, the
// element properties, saving to and rebuilding from the database, the
// arrangement and the comments switch. The rest is the library controller's.
#pragma once

#include "charts/documents/core/deptmodel.h"
#include "diagram/odcontroller.h"

#include <cstdint>

class CADepartmentDoc;

// Command ids of the department chart's menu.
enum : int {
    ID_DEPT_INSERT = 32805,
    ID_DEPT_INSERT_LINK = 44538,
    ID_DEPT_SAVE_TO_DB = 32788,
    ID_DEPT_REBUILD = 32792,
    ID_DEPT_SHOW_COMMENTS = 32809,
    ID_DEPT_ARRANGE = 32828,
};

class CADepartmentDiagramController : public CODController {
public:
    explicit CADepartmentDiagramController(CODViewport* viewport);

    CADepartmentDiagramModel* GetModel() const
    {
        return dynamic_cast<CADepartmentDiagramModel*>(CODController::GetModel());
    }
    // The document of the viewport's view; null for a viewport without one.
    CADepartmentDoc* GetDocument() const;
    // Whether "Сохранить в БД" may run: a chart from the database, nothing
    // inserted by hand.
    bool CanSaveToDB() const;

    void OnInsertDepartment();
    void OnInsertDeptLink();
    bool OnSaveToDB();
    void OnRebuild();
    void OnProperties();
    void OnDefaultProperties();
    void OnShowComments();
    void OnArrange();

    std::uint8_t m_bManualInsert = 0;

private:
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);

    wxDECLARE_EVENT_TABLE();
};
