// The property page of a department node (resource 252): the department's
// code, and the name of a department that is not stored yet.
#pragma once

#include "editor/pages/core/departmentpagemodel.h"
#include "editor/pages/ui/pagewindow.h"

namespace tarnwick {

class CDiagramPropSheet;

class CDepartmentPropPage : public CModelPage {
public:
    explicit CDepartmentPropPage(CADSubDivision* node);
};

// A department page for each department node of the sheet's selection, in
// selection order; links and other components get none.
void AddDepartmentPages(CDiagramPropSheet& sheet);

} // namespace tarnwick
