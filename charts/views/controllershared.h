// What the department chart's controller keeps apart from its commands: the
// caption of the element property sheet and the preparation of a new link's
// "Text" label.
#pragma once

#include <string>

class CODComponent;
class CODController;
class CODModel;

namespace tarnwick {

// The caption the model's edit property chooses: its last flag set (or no
// such property) gives the library's plain properties caption, otherwise its
// read-only one.
std::string ElementPropertiesCaption(const CODModel* model);

// Registers a new link's children with the controller and gives each child
// named "Text" the value 1 in property 10, so that the label keeps its place
// on the link.
void PrepareLinkLabels(CODController* controller, CODComponent* link);

} // namespace tarnwick
