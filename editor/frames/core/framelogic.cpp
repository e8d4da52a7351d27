#include "editor/frames/core/framelogic.h"

namespace tarnwick {

PaneTarget NextPaneTarget(bool focusInTreeBar, bool treeBarVisible, bool hasView, bool focusOnView)
{
    if (focusInTreeBar)
        return hasView ? PaneTarget::View : PaneTarget::None;
    if (treeBarVisible)
        return focusOnView || !hasView ? PaneTarget::Tree : PaneTarget::View;
    return hasView && !focusOnView ? PaneTarget::View : PaneTarget::None;
}

} // namespace tarnwick
