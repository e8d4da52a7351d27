#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"

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

// What the checks read of a chart's structure: its elements in component
// order and how its links join them, gathered in one walk over the
// components and their connections. That walk reads most of the chart's
// memory, and a large chart does not stay in the processor's caches, so the
// reading is kept with the model and taken again only when the chart has
// changed: another set of components, or any port's connections, ports or
// geometry. The element's own keys, kinds of move and error lists are read
// afresh by every check.
struct ChartScan {
    enum class Kind : std::uint8_t { State, Foreign, Link, Action };
    struct Item {
        CODComponent* component;
        CAWFBase* errors;
        Kind kind;
        bool connected; // a state or action whose port has a connection
        bool reached;   // a state that a link joined at its port ends on
    };
    struct Link {
        CAWFLink* link;
        CAWFState* from;
        CAWFState* to;
        int atSource, atTarget; // connections at its two ends
        std::uint32_t firstAction, actionCount; // its actions in `actions`
    };

    explicit ChartScan(CODComponentSet& components);
    bool IsCurrent(const CODComponentSet& components) const;

    std::vector<Item> items; // the states, links and actions in component order
    std::vector<Link> links; // the links in component order
    std::vector<CAWFAction*> actions;
    // The links with states at both ends, as indexes into `links`, ordered
    // by their two states, so that links between the same states lie side
    // by side.
    std::vector<std::uint32_t> byEnds;

    // What the reading was taken from.
    std::vector<CODComponent*> components;
    std::uint64_t connectionGeneration;
    std::uint64_t geometryGeneration;
};

ChartScan::ChartScan(CODComponentSet& set)
    : components(set.begin(), set.end()), connectionGeneration(od::ConnectionGeneration()),
      geometryGeneration(od::GeometryGeneration())
{
    items.reserve(components.size());
    std::vector<const CAWFState*> reached;
    CODComponentSet linkActions;
    auto hasConnections = [](CODComponent* c) {
        CODPortComponent* port = c->GetPort();
        return port && !port->Connections().IsEmpty();
    };
    for (CODComponent* c : components) {
        if (auto* link = ElementCast<CAWFLink>(c)) {
            items.push_back({c, link, Kind::Link, false, false});
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
            // Whether a link is a document move is read by each check; the
            // actions of every link are kept.
            linkActions.RemoveAll();
            link->GetActions(linkActions);
            for (CODComponent* a : linkActions)
                actions.push_back(static_cast<CAWFAction*>(a));
            ends.actionCount = static_cast<std::uint32_t>(actions.size()) - ends.firstAction;
            if (ends.from && ends.to)
                byEnds.push_back(static_cast<std::uint32_t>(links.size()));
            links.push_back(ends);
        } else if (auto* action = ElementCast<CAWFAction>(c)) {
            items.push_back({c, action, Kind::Action, hasConnections(action), false});
        } else if (auto* state = ElementCast<CAWFState>(c)) {
            items.push_back(
                {c, state, ElementCast<CAWForeign>(c) ? Kind::Foreign : Kind::State, hasConnections(state), false});
        }
    }
    std::sort(reached.begin(), reached.end());
    for (Item& item : items)
        if (item.kind == Kind::State || item.kind == Kind::Foreign)
            item.reached = std::binary_search(reached.begin(), reached.end(),
                                              static_cast<const CAWFState*>(static_cast<CAWFState*>(item.component)));
    // Stable, so that the members of a group keep their component order.
    std::stable_sort(byEnds.begin(), byEnds.end(), [this](std::uint32_t a, std::uint32_t b) {
        return std::pair(links[a].from, links[a].to) < std::pair(links[b].from, links[b].to);
    });
}

bool ChartScan::IsCurrent(const CODComponentSet& set) const
{
    return connectionGeneration == od::ConnectionGeneration() && geometryGeneration == od::GeometryGeneration() &&
           static_cast<std::size_t>(set.GetSize()) == components.size() &&
           std::equal(components.begin(), components.end(), set.begin());
}

} // namespace tarnwick

const ChartScan& CTarnwickModel::CheckScan()
{
    if (!m_CheckScan || !m_CheckScan->IsCurrent(*GetComponents()))
        m_CheckScan = std::make_shared<const ChartScan>(*GetComponents());
    return *m_CheckScan;
}

#define CHART_SCAN(name) const ChartScan& name = CheckScan()

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
    // Each document move of a group of k between the same two states gets
    // the message k - 1 times, once for every other move of the group.
    const std::vector<std::uint32_t>& order = scan.byEnds;
    for (std::size_t first = 0, next = 0; first < order.size(); first = next) {
        const ChartScan::Link& head = scan.links[order[first]];
        std::size_t moves = 0;
        for (next = first; next < order.size() && scan.links[order[next]].from == head.from &&
                           scan.links[order[next]].to == head.to;
             ++next)
            moves += scan.links[order[next]].link->IsDocumentMove();
        if (moves > 1)
            for (std::size_t i = first; i < next; ++i)
                if (CAWFLink* link = scan.links[order[i]].link; link->IsDocumentMove())
                    link->Errors.insert(link->Errors.end(), moves - 1, "Дублирование перехода!");
    }
}

void CTarnwickModel::CheckDuplicateActions()
{
    CHART_SCAN(scan);
    for (const ChartScan::Link& link : scan.links) {
        if (!link.link->IsDocumentMove())
            continue;
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
            static_cast<CAWFAction*>(item.component)->Validate(item.connected);
            break;
        case ChartScan::Kind::Foreign: {
            auto* foreign = static_cast<CAWFState*>(item.component);
            foreign->Validate(item.connected, item.reached);
            break;
        }
        case ChartScan::Kind::State: {
            auto* state = static_cast<CAWFState*>(item.component);
            if (accepted)
                break;
            const std::size_t before = state->Errors.size();
            if (ownStates > 1)
                state->Validate(item.connected, item.reached);
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
