#include "charts/chartprogress.h"
#include "charts/chartshell.h"
#include "charts/diagrammodel.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

using namespace tarnwick;

namespace {

const char* const kNoInitialState = "Отсутствует начальное состояние \"Введен\"";
const char* const kMixedMove = "Переход между состояниями разных типов документов не сохраняется в БД!";

// Each member of a group of k equal elements gets the message k - 1 times,
// once for every other member: what comparing every pair gives. The keys
// are sorted, so that the groups lie side by side.
template <class Key, class Element>
void markGroups(std::vector<std::pair<Key, Element*>>& keyed, const char* message)
{
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t first = 0, next = 0; first < keyed.size(); first = next) {
        for (next = first + 1; next < keyed.size() && keyed[next].first == keyed[first].first;)
            ++next;
        if (next - first > 1)
            for (std::size_t i = first; i < next; ++i)
                keyed[i].second->Errors.insert(keyed[i].second->Errors.end(), next - first - 1, message);
    }
}

} // namespace

namespace tarnwick {

// What the checks read of a chart, gathered in one walk over its components
// and their connections. The check of a large chart costs more in reading
// memory than in comparing; the checks read these compact lists rather than
// walk the elements' connections again each.
struct ChartScan {
    enum class Kind : std::uint8_t { State, Foreign, Link, Action };
    struct Item {
        CODComponent* component;
        CAWFBase* errors;
        Kind kind;
    };
    struct Link {
        CAWFLink* link;
        CAWFState* from;
        CAWFState* to;
        int atSource, atTarget; // connections at its two ends
        std::uint32_t firstAction, actionCount; // a document move's actions in `actions`
    };

    explicit ChartScan(CODComponentSet& components);
    // Whether a link joined at the state's port ends on the state.
    bool Reached(const CAWFState* state) const;

    std::vector<Item> items; // the states, links and actions in component order
    std::vector<Link> links; // the links in component order
    std::vector<CAWFAction*> actions;
    std::vector<const CAWFState*> reached; // sorted
};

ChartScan::ChartScan(CODComponentSet& components)
{
    items.reserve(static_cast<std::size_t>(components.GetSize()));
    CODComponentSet moveActions;
    for (CODComponent* c : components) {
        if (auto* link = ElementCast<CAWFLink>(c)) {
            items.push_back({c, link, Kind::Link});
            Link ends{link, link->GetFromState(), link->GetToState(), 0, 0,
                      static_cast<std::uint32_t>(actions.size()), 0};
            ends.atSource = link->GetSourcePort() ? link->GetSourcePort()->Connections().GetSize() : 0;
            ends.atTarget = link->GetTargetPort() ? link->GetTargetPort()->Connections().GetSize() : 0;
            // The link reaches its target state when it is joined at that state's port.
            if (CODPortComponent* port = ends.to ? ends.to->GetPort() : nullptr)
                for (CODPortComponent* end : {link->GetSourcePort(), link->GetTargetPort(), link->GetPort()})
                    if (end && end->IsConnectedTo(port)) {
                        reached.push_back(ends.to);
                        break;
                    }
            if (link->IsDocumentMove()) {
                moveActions.RemoveAll();
                link->GetActions(moveActions);
                for (CODComponent* a : moveActions)
                    actions.push_back(static_cast<CAWFAction*>(a));
                ends.actionCount = static_cast<std::uint32_t>(actions.size()) - ends.firstAction;
            }
            links.push_back(ends);
        } else if (auto* action = ElementCast<CAWFAction>(c)) {
            items.push_back({c, action, Kind::Action});
        } else if (auto* state = ElementCast<CAWFState>(c)) {
            items.push_back({c, state, ElementCast<CAWForeign>(c) ? Kind::Foreign : Kind::State});
        }
    }
    std::sort(reached.begin(), reached.end());
}

bool ChartScan::Reached(const CAWFState* state) const
{
    return std::binary_search(reached.begin(), reached.end(), state);
}

} // namespace tarnwick

// While the check runs, its one walk over the chart; a check called on its
// own walks the chart itself.
#define CHART_SCAN(name)                                                                                           \
    std::optional<ChartScan> ownScan;                                                                              \
    const ChartScan& name = m_CheckScan ? *m_CheckScan : ownScan.emplace(*GetComponents())

void CTarnwickModel::ClearErrors()
{
    CHART_SCAN(scan);
    for (const ChartScan::Item& item : scan.items)
        item.errors->Errors.clear();
}

int CTarnwickModel::CountErrors()
{
    CHART_SCAN(scan);
    int count = 0;
    for (const ChartScan::Item& item : scan.items)
        count += static_cast<int>(item.errors->Errors.size());
    return count;
}

void CTarnwickModel::CheckDuplicateStates()
{
    CHART_SCAN(scan);
    std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, CAWFState*>> keyed;
    for (const ChartScan::Item& item : scan.items)
        if (item.kind == ChartScan::Kind::State || item.kind == ChartScan::Kind::Foreign) {
            auto* state = static_cast<CAWFState*>(item.component);
            keyed.push_back({{state->GetTypeDoc(), state->GetState()}, state});
        }
    markGroups(keyed, "Дублирование состояний!");
}

void CTarnwickModel::CheckDuplicateMoves()
{
    CHART_SCAN(scan);
    std::vector<std::pair<std::pair<CAWFState*, CAWFState*>, CAWFLink*>> keyed;
    for (const ChartScan::Link& link : scan.links)
        if (link.link->IsDocumentMove() && link.from && link.to)
            keyed.push_back({{link.from, link.to}, link.link});
    markGroups(keyed, "Дублирование перехода!");
}

void CTarnwickModel::CheckDuplicateActions()
{
    CHART_SCAN(scan);
    for (const ChartScan::Link& link : scan.links) {
        CAWFAction* const* actions = scan.actions.data() + link.firstAction;
        for (std::size_t i = 0; i < link.actionCount; ++i)
            for (std::size_t j = 0; j < link.actionCount; ++j) {
                CAWFAction* a = actions[i];
                CAWFAction* b = actions[j];
                if (i == j)
                    continue;
                if (a->GetActionId() == b->GetActionId())
                    a->Errors.push_back("Дублирование действия!");
                else if (a->GetOrder() == b->GetOrder())
                    a->Errors.push_back("Два действия имеют одинаковый приоритет!");
            }
    }
}

void CTarnwickModel::CheckConnections()
{
    CHART_SCAN(scan);
    int ownStates = 0;
    bool hasInitial = false;
    for (const ChartScan::Item& item : scan.items) {
        if (item.kind != ChartScan::Kind::State)
            continue;
        ++ownStates;
        if (static_cast<CAWFState*>(item.component)->GetState() == 1)
            hasInitial = true;
        if (hasInitial && ownStates >= 2)
            break;
    }

    bool accepted = false;
    auto link = scan.links.begin();
    for (const ChartScan::Item& item : scan.items) {
        switch (item.kind) {
        case ChartScan::Kind::Link: {
            const ChartScan::Link& ends = *link++;
            ends.link->Validate(ends.atSource, ends.atTarget, ends.from, ends.to);
            // Its row keeps the source's document type only: loaded again, it
            // would end on the source type's state of the same number.
            if (ends.link->IsDocumentMove() && ends.from && ends.to &&
                ends.from->GetTypeDoc() != ends.to->GetTypeDoc())
                ends.link->Errors.push_back(kMixedMove);
            break;
        }
        case ChartScan::Kind::Action:
            static_cast<CAWFAction*>(item.component)->Validate();
            break;
        case ChartScan::Kind::Foreign: {
            auto* foreign = static_cast<CAWFState*>(item.component);
            foreign->Validate(scan.Reached(foreign));
            break;
        }
        case ChartScan::Kind::State: {
            auto* state = static_cast<CAWFState*>(item.component);
            if (accepted)
                break;
            const std::size_t before = state->Errors.size();
            if (ownStates > 1)
                state->Validate(scan.Reached(state));
            // Without the initial state no answer lets the save pass, so
            // nothing is asked. The answer accepts unconnected states only:
            // a duplicate found before still fails the check.
            if (!hasInitial) {
                state->Errors.push_back(kNoInitialState);
            } else if (!state->Errors.empty() &&
                       ChartShell().AskYesNo("На диаграмме обнаружены несвязанные состояния или\n"
                                             "остутсвует начальное состояние.Сохранять?")) {
                state->Errors.resize(before);
                accepted = true;
            }
            break;
        }
        }
    }
}

namespace tarnwick {

bool CheckChart(CTarnwickModel& model, bool report)
{
    IChartProgress& progress = ChartProgress();
    progress.BeginProgress("Проверка диаграммы...", 0, 60);
    const ChartScan scan(*model.GetComponents());
    struct ScanScope {
        CTarnwickModel& model;
        ~ScanScope() { model.m_CheckScan = nullptr; }
    } scanScope{model};
    model.m_CheckScan = &scan;
    model.ClearErrors();
    model.CheckDuplicateStates();
    progress.StepProgress();
    model.CheckDuplicateMoves();
    progress.StepProgress();
    progress.StepProgress();
    model.CheckDuplicateActions();
    progress.StepProgress();
    progress.StepProgress();
    model.CheckConnections();
    progress.StepProgress();
    progress.EndProgress();
    const long count = model.CountErrors();
    if (count != 0) {
        char text[128];
        std::snprintf(text, sizeof text, "При проверке целостности диаграммы\nобнаружено %ld ошибок!", count);
        ChartShell().Message(text, "", ChartIcon::Exclamation);
        return false;
    }
    if (report)
        ChartShell().Message("Логических противоречий не обнаружено", "", ChartIcon::Information);
    return true;
}

} // namespace tarnwick
