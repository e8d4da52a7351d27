// Which property pages the selected chart elements get, and on which page
// the sheet opens.
#pragma once

#include "diagram/odcomponent.h"

#include <vector>

namespace tarnwick {

enum class PageKind { Document, State, Access, Message, Move, Actions, Script, Action };

struct PlannedPage {
    PageKind kind;
    CODComponent* element;
};

struct PagePlan {
    std::vector<PlannedPage> pages;
    // The page the sheet opens on; unchanged when no element sets it.
    int initialPage = 0;
};

// In selection order: a state (foreign ones too) gets its document, state
// and access pages, a document move its move, actions and script pages, an
// action its action page; each then its message page while it has messages.
PagePlan PlanPages(const CODComponentSet& selection, int initialPage = 0);

} // namespace tarnwick
