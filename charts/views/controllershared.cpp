#include "charts/views/controllershared.h"

#include "diagram/odcontroller.h"
#include "diagram/odmodel.h"
#include "diagram/odpropsheet.h"

#include <memory>

namespace tarnwick {

std::string ElementPropertiesCaption(const CODModel* model)
{
    // The diagram library's two captions, as the workflow chart's sheet has them.
    if (!model || model->GetEditC() != 0)
        return ODLoadString(OD_IDS_PROPERTIES);
    return ODLoadString(OD_IDS_PROPERTIES_READONLY);
}

void PrepareLinkLabels(CODController* controller, CODComponent* link)
{
    if (!link)
        return;
    for (int i = 0; i < link->GetChildCount(); ++i) {
        CODComponent* child = link->GetChild(i);
        if (!child)
            continue;
        if (controller)
            controller->RegisterComponent(child);
        if (child->GetName() != "Text")
            continue;
        const CODProperty* current = child->GetProperty(OD_PROP_TEXT);
        std::unique_ptr<CODProperty> copy =
            current ? current->Clone() : std::make_unique<CODIntProperty>(OD_PROP_TEXT);
        copy->SetValue(1);
        child->SetProperty(*copy);
    }
}

} // namespace tarnwick
