#include "editor/pages/ui/departmentpage.h"

#include "editor/pages/ui/diagrampropsheet.h"

#include <memory>

namespace tarnwick {

CDepartmentPropPage::CDepartmentPropPage(CADSubDivision* node)
    : CModelPage(std::make_unique<CDepartmentPropPageModel>(node), "IDD_DEPARTMENT", "Подразделение")
{
}

void AddDepartmentPages(CDiagramPropSheet& sheet)
{
    for (int i = 0; i < sheet.GetComponentCount(); ++i)
        if (auto* node = dynamic_cast<CADSubDivision*>(sheet.GetComponent(i)))
            sheet.AddPage(new CDepartmentPropPage(node));
}

} // namespace tarnwick
