// The department page's logic without its window.
#pragma once

#include "editor/pages/core/pagemodel.h"

#include "charts/documents/core/deptmodel.h"

#include <cstddef>
#include <string>

namespace tarnwick {

class CDepartmentPropPageModel : public CPageModel {
public:
    enum : int { IDC_NAME = 1001, IDC_CODE = 1002 };
    static constexpr std::size_t kMaxNameChars = 255;

    explicit CDepartmentPropPageModel(CADSubDivision* node);
    void Init() override;
    void OnCommand(int id) override;
    // A name of more than 255 characters is refused.
    bool Validate() override;
    // A new department takes the name into its "DocState" label.
    bool Apply() override;

    std::string CodeText;
    std::string Name;

private:
    CADSubDivision* m_pNode;
};

} // namespace tarnwick
