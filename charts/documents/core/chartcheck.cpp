#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"

#include <algorithm>
#include <cstdio>
#include <functional>
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
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
    struct Item {
        CODComponent* component;
        CAWFBase* errors;
        std::uint32_t index; // among the states, the links or the actions
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
        std::uint32_t fromIndex, toIndex;       // its states among the states, or kNone
    };

    explicit ChartScan(CODComponentSet& components);
    bool IsCurrent(const CODComponentSet& components) const;

    std::vector<Item> items; // the states, links and actions in component order
    std::vector<Link> links; // the links in component order
    std::vector<CAWFAction*> actions;
    std::vector<std::uint32_t> actionIndexes; // of `actions` among the actions, or kNone
    // The links with states at both ends, as indexes into `links`, ordered
    // by their two states, so that links between the same states lie side
    // by side.
    std::vector<std::uint32_t> byEnds;
    std::size_t stateCount = 0;
    std::size_t actionCount = 0;

    // What one check reads of the elements and finds, in arrays by index,
    // so that the check reaches each element's own memory in two walks in
    // component order and works on compact arrays in between. Sized once
    // for the chart and overwritten by every check.
    struct Found {
        std::vector<std::pair<std::int32_t, std::int32_t>> stateKeys; // document type and number
        std::vector<std::uint8_t> documentMove;                       // by link
        std::vector<std::uint32_t> duplicateStates;                   // others of the same key, by state
        std::vector<std::uint32_t> duplicateMoves;                    // other moves between its states, by link
        std::vector<std::uint8_t> actionMarked; // given a message by the comparison of its move's actions
        // The states ordered by their keys at the last check; checked and,
        // when the keys have changed, sorted again.
        std::vector<std::uint32_t> stateOrder;
    };
    mutable Found found;

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
            items.push_back({c, link, static_cast<std::uint32_t>(links.size()), Kind::Link, false, false});
            Link ends{link, link->GetFromState(), link->GetToState(), 0, 0,
                      static_cast<std::uint32_t>(actions.size()), 0, kNone, kNone};
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
            items.push_back({c, action, static_cast<std::uint32_t>(actionCount++), Kind::Action, hasConnections(action), false});
        } else if (auto* state = ElementCast<CAWFState>(c)) {
            items.push_back({c, state, static_cast<std::uint32_t>(stateCount++),
                             ElementCast<CAWForeign>(c) ? Kind::Foreign : Kind::State, hasConnections(state), false});
        }
    }
    // The states and the actions by address, to find a link's states and
    // actions by index.
    std::vector<std::pair<const CODComponent*, std::uint32_t>> states, actionItems;
    states.reserve(stateCount);
    actionItems.reserve(actionCount);
    for (const Item& item : items)
        if (item.kind == Kind::State || item.kind == Kind::Foreign)
            states.push_back({item.component, item.index});
        else if (item.kind == Kind::Action)
            actionItems.push_back({item.component, item.index});
    std::sort(states.begin(), states.end());
    std::sort(actionItems.begin(), actionItems.end());
    auto indexIn = [](const auto& sorted, const CODComponent* c) {
        auto it = std::lower_bound(sorted.begin(), sorted.end(), std::pair(c, std::uint32_t{0}));
        return it != sorted.end() && it->first == c ? it->second : kNone;
    };
    auto indexOf = [&](const CAWFState* state) { return indexIn(states, state); };
    actionIndexes.reserve(actions.size());
    for (const CAWFAction* action : actions)
        actionIndexes.push_back(indexIn(actionItems, action));
    std::sort(reached.begin(), reached.end());
    for (Item& item : items)
        if (item.kind == Kind::State || item.kind == Kind::Foreign)
            item.reached = std::binary_search(reached.begin(), reached.end(),
                                              static_cast<const CAWFState*>(static_cast<CAWFState*>(item.component)));
    for (Link& link : links) {
        link.fromIndex = link.from ? indexOf(link.from) : kNone;
        link.toIndex = link.to ? indexOf(link.to) : kNone;
    }
    // Stable, so that the members of a group keep their component order.
    std::stable_sort(byEnds.begin(), byEnds.end(), [this](std::uint32_t a, std::uint32_t b) {
        return std::pair(links[a].from, links[a].to) < std::pair(links[b].from, links[b].to);
    });
    found.stateKeys.resize(stateCount);
    found.documentMove.resize(links.size());
    found.duplicateStates.resize(stateCount);
    found.duplicateMoves.resize(links.size());
    found.actionMarked.resize(actionCount);
    found.stateOrder.resize(stateCount);
    for (std::uint32_t i = 0; i < stateCount; ++i)
        found.stateOrder[i] = i;
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

namespace {

// Checks one of the chart's own states. Without the initial state no answer
// lets the save pass, so nothing is asked; otherwise a state with messages
// asks whether to save anyway. The answer accepts unconnected states only:
// a duplicate found before still fails the check. beforeQuestion runs just
// before the question is asked. Gives whether the user accepted.
bool CheckOwnState(CAWFState* state, const ChartScan::Item& item, int ownStates, bool hasInitial,
                   const std::function<void()>& beforeQuestion = {})
{
    const std::size_t before = state->Errors.size();
    if (ownStates > 1)
        state->Validate(item.connected, item.reached);
    if (!hasInitial) {
        state->Errors.push_back(kNoInitialState);
        return false;
    }
    if (state->Errors.empty())
        return false;
    if (beforeQuestion)
        beforeQuestion();
    if (!ChartShell().AskYesNo("На диаграмме обнаружены несвязанные состояния или\n"
                               "остутсвует начальное состояние.Сохранять?"))
        return false;
    state->Errors.resize(before);
    return true;
}

} // namespace

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
        case ChartScan::Kind::State:
            if (!accepted)
                accepted = CheckOwnState(static_cast<CAWFState*>(item.component), item, ownStates, hasInitial);
            break;
        }
    }
}

namespace {

// The walk over the elements asks for the memory of the element some places
// ahead while it works on this one: the elements lie far apart, and a large
// chart's do not stay in the processor's caches, so that the walk would
// otherwise wait for each element in turn. The error list and the keys after
// it share the line the list starts.
constexpr std::size_t kAhead = 32;

inline void FetchAhead(const std::vector<ChartScan::Item>& items, std::size_t i)
{
    if (i + kAhead < items.size())
        __builtin_prefetch(items[i + kAhead].errors, 1);
}

} // namespace

int CTarnwickModel::CheckAll(const std::function<void()>& step)
{
    CHART_SCAN(scan);
    ChartScan::Found& found = scan.found;
    const std::vector<ChartScan::Item>& items = scan.items;

    // The first walk: every list emptied, every state's keys and every
    // link's kind of move read.
    for (std::size_t i = 0; i < items.size(); ++i) {
        FetchAhead(items, i);
        const ChartScan::Item& item = items[i];
        item.errors->Errors.clear();
        switch (item.kind) {
        case ChartScan::Kind::State:
        case ChartScan::Kind::Foreign: {
            auto* state = static_cast<CAWFState*>(item.component);
            found.stateKeys[item.index] = {state->GetTypeDoc(), state->GetState()};
            break;
        }
        case ChartScan::Kind::Link:
            found.documentMove[item.index] = scan.links[item.index].link->IsDocumentMove();
            break;
        case ChartScan::Kind::Action:
            break;
        }
    }

    // Equal states: each member of a group of k gets the message k - 1
    // times. The order of the last check is taken again while the keys
    // still follow it.
    std::vector<std::uint32_t>& order = found.stateOrder;
    auto byKey = [&found](std::uint32_t a, std::uint32_t b) { return found.stateKeys[a] < found.stateKeys[b]; };
    if (!std::is_sorted(order.begin(), order.end(), byKey))
        std::sort(order.begin(), order.end(), byKey);
    for (std::size_t first = 0, next = 0; first < order.size(); first = next) {
        for (next = first + 1; next < order.size() && found.stateKeys[order[next]] == found.stateKeys[order[first]];)
            ++next;
        for (std::size_t i = first; i < next; ++i)
            found.duplicateStates[order[i]] = static_cast<std::uint32_t>(next - first - 1);
    }
    step();

    // Document moves between the same two states, k - 1 times each.
    std::fill(found.duplicateMoves.begin(), found.duplicateMoves.end(), 0);
    const std::vector<std::uint32_t>& ends = scan.byEnds;
    for (std::size_t first = 0, next = 0; first < ends.size(); first = next) {
        const ChartScan::Link& head = scan.links[ends[first]];
        std::uint32_t moves = 0;
        for (next = first;
             next < ends.size() && scan.links[ends[next]].from == head.from && scan.links[ends[next]].to == head.to;
             ++next)
            moves += found.documentMove[ends[next]];
        if (moves > 1)
            for (std::size_t i = first; i < next; ++i)
                if (found.documentMove[ends[i]])
                    found.duplicateMoves[ends[i]] = moves - 1;
    }
    step();
    step();

    // The actions of each document move, compared pairwise; their lists
    // were emptied by the first walk.
    std::fill(found.actionMarked.begin(), found.actionMarked.end(), 0);
    for (std::size_t l = 0; l < scan.links.size(); ++l) {
        const ChartScan::Link& link = scan.links[l];
        if (!found.documentMove[l] || link.actionCount < 2)
            continue;
        CAWFAction* const* actions = scan.actions.data() + link.firstAction;
        for (std::size_t i = 0; i < link.actionCount; ++i)
            for (std::size_t j = 0; j < link.actionCount; ++j) {
                CAWFAction* a = actions[i];
                CAWFAction* b = actions[j];
                if (i == j)
                    continue;
                const char* message = a->GetActionId() == b->GetActionId() ? "Дублирование действия!"
                                      : a->GetOrder() == b->GetOrder()    ? "Два действия имеют одинаковый приоритет!"
                                                                          : nullptr;
                if (message) {
                    a->Errors.push_back(message);
                    if (std::uint32_t index = scan.actionIndexes[link.firstAction + i]; index != ChartScan::kNone)
                        found.actionMarked[index] = 1;
                }
            }
    }
    step();
    step();

    int ownStates = 0;
    bool hasInitial = false;
    for (const ChartScan::Item& item : items) {
        if (item.kind != ChartScan::Kind::State)
            continue;
        ++ownStates;
        if (found.stateKeys[item.index].second == 1)
            hasInitial = true;
        if (hasInitial && ownStates >= 2)
            break;
    }

    // The second walk, in component order: each element that has a message
    // to get, as the compact arrays tell, gets its duplicate messages, then
    // what its connections tell; its list is then complete and counted. The
    // others were emptied by the first walk and are left alone.
    auto duplicatesOf = [&found](const ChartScan::Item& item) -> std::uint32_t {
        switch (item.kind) {
        case ChartScan::Kind::State:
        case ChartScan::Kind::Foreign:
            return found.duplicateStates[item.index];
        case ChartScan::Kind::Link:
            return found.duplicateMoves[item.index];
        case ChartScan::Kind::Action:
            break;
        }
        return 0;
    };
    auto writeDuplicates = [&](const ChartScan::Item& item) {
        if (const std::uint32_t k = duplicatesOf(item))
            item.errors->Errors.insert(item.errors->Errors.end(), k,
                                       item.kind == ChartScan::Kind::Link ? "Дублирование перехода!"
                                                                          : "Дублирование состояний!");
    };
    auto typeDocOf = [&found](CAWFState* state, std::uint32_t index) {
        return index != ChartScan::kNone ? found.stateKeys[index].first : state->GetTypeDoc();
    };
    auto mixedMove = [&](const ChartScan::Link& link, std::uint32_t index) {
        return found.documentMove[index] && link.from && link.to &&
               typeDocOf(link.from, link.fromIndex) != typeDocOf(link.to, link.toIndex);
    };
    std::size_t marked = 0; // the elements before it have their duplicate messages
    bool accepted = false;
    int count = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ChartScan::Item& item = items[i];
        bool touched = duplicatesOf(item) != 0;
        switch (item.kind) {
        case ChartScan::Kind::Link: {
            const ChartScan::Link& link = scan.links[item.index];
            touched = touched ||
                      CAWFLink::FindsError(link.atSource, link.atTarget, found.documentMove[item.index],
                                           link.from && link.to) ||
                      mixedMove(link, item.index);
            break;
        }
        case ChartScan::Kind::Action:
            touched = !item.connected || found.actionMarked[item.index];
            break;
        case ChartScan::Kind::Foreign:
            touched = touched ||
                      CAWFState::FindsError(item.connected, item.reached,
                                            static_cast<std::int16_t>(found.stateKeys[item.index].second));
            break;
        case ChartScan::Kind::State:
            touched = touched ||
                      (!accepted && (!hasInitial || (ownStates > 1 && CAWFState::FindsError(
                                                                           item.connected, item.reached,
                                                                           static_cast<std::int16_t>(
                                                                               found.stateKeys[item.index].second)))));
            break;
        }
        if (!touched)
            continue;
        if (marked <= i) {
            writeDuplicates(item);
            marked = i + 1;
        }
        switch (item.kind) {
        case ChartScan::Kind::Link: {
            const ChartScan::Link& link = scan.links[item.index];
            link.link->Validate(link.atSource, link.atTarget, link.from, link.to);
            // Its row keeps the source's document type only: loaded again, it
            // would end on the source type's state of the same number.
            if (mixedMove(link, item.index))
                link.link->Errors.push_back(kMixedMove);
            break;
        }
        case ChartScan::Kind::Action:
            static_cast<CAWFAction*>(item.component)->Validate(item.connected);
            break;
        case ChartScan::Kind::Foreign:
            static_cast<CAWFState*>(item.component)->Validate(item.connected, item.reached);
            break;
        case ChartScan::Kind::State:
            // The question finds every duplicate marked.
            if (!accepted)
                accepted = CheckOwnState(static_cast<CAWFState*>(item.component), item, ownStates, hasInitial, [&] {
                    for (; marked < items.size(); ++marked)
                        writeDuplicates(items[marked]);
                });
            break;
        }
        count += static_cast<int>(item.errors->Errors.size());
    }
    step();
    return count;
}

namespace tarnwick {

bool CheckChart(CTarnwickModel& model, bool report)
{
    IChartProgress& progress = ChartProgress();
    progress.BeginProgress("Проверка диаграммы...", 0, 60);
    const long count = model.CheckAll([&progress] { progress.StepProgress(); });
    progress.EndProgress();
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
