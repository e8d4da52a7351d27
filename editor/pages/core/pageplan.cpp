#include "editor/pages/core/pageplan.h"

#include "charts/elements/awfelements.h"

namespace tarnwick {

PagePlan PlanPages(const CODComponentSet& selection, int initialPage)
{
    PagePlan plan;
    plan.initialPage = initialPage;
    auto add = [&plan](PageKind kind, CODComponent* element) { plan.pages.push_back({kind, element}); };
    for (CODComponent* c : selection) {
        if (!c)
            continue;
        if (c->IsKindOf(RUNTIME_CLASS(CAWFState))) {
            auto* state = static_cast<CAWFState*>(c);
            add(PageKind::Document, state);
            add(PageKind::State, state);
            add(PageKind::Access, state);
            if (!state->Errors.empty()) {
                add(PageKind::Message, state);
                plan.initialPage = 2;
            } else {
                plan.initialPage = 1;
            }
        } else if (c->IsKindOf(RUNTIME_CLASS(CAWFLink))) {
            auto* link = static_cast<CAWFLink*>(c);
            if (link->IsDocumentMove()) {
                add(PageKind::Move, link);
                add(PageKind::Actions, link);
                add(PageKind::Script, link);
            }
            if (!link->Errors.empty()) {
                add(PageKind::Message, link);
                plan.initialPage = 1;
            }
        } else if (c->IsKindOf(RUNTIME_CLASS(CAWFAction))) {
            auto* action = static_cast<CAWFAction*>(c);
            add(PageKind::Action, action);
            if (!action->Errors.empty()) {
                add(PageKind::Message, action);
                plan.initialPage = 1;
            }
        }
    }
    return plan;
}

} // namespace tarnwick
