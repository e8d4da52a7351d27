#include "charts/chartprogress.h"
#include "charts/chartshell.h"
#include "charts/diagrammodel.h"

#include <cstdio>
#include <unordered_map>
#include <utility>
#include <vector>

using namespace tarnwick;

namespace {

const char* const kNoInitialState = "Отсутствует начальное состояние \"Введен\"";

CAWFBase* errorListOf(CODComponent* c)
{
    if (auto* state = dynamic_cast<CAWFState*>(c))
        return state;
    if (auto* link = dynamic_cast<CAWFLink*>(c))
        return link;
    if (auto* action = dynamic_cast<CAWFAction*>(c))
        return action;
    return nullptr;
}

const char* const kMixedMove = "Переход между состояниями разных типов документов не сохраняется в БД!";

template <class Key>
struct KeyHash {
    std::size_t operator()(const Key& key) const
    {
        const std::size_t a = std::hash<typename Key::first_type>()(key.first);
        const std::size_t b = std::hash<typename Key::second_type>()(key.second);
        return a ^ (b + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2));
    }
};

} // namespace

void CTarnwickModel::ClearErrors()
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (CAWFBase* base = errorListOf(components->GetAt(i)))
            base->Errors.clear();
}

int CTarnwickModel::CountErrors()
{
    int count = 0;
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (CAWFBase* base = errorListOf(components->GetAt(i)))
            count += static_cast<int>(base->Errors.size());
    return count;
}

// Each member of a group of k equal elements gets the message k - 1 times,
// once for every other member: what comparing every pair gives, in one pass.
template <class Key, class Element>
void markGroups(std::unordered_map<Key, std::vector<Element*>, KeyHash<Key>>& groups, const char* message)
{
    for (auto& [key, members] : groups)
        if (members.size() > 1)
            for (Element* e : members)
                e->Errors.insert(e->Errors.end(), members.size() - 1, message);
}

void CTarnwickModel::CheckDuplicateStates()
{
    std::unordered_map<std::pair<std::int32_t, std::int32_t>, std::vector<CAWFState*>,
                       KeyHash<std::pair<std::int32_t, std::int32_t>>>
        groups;
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* state = dynamic_cast<CAWFState*>(components->GetAt(i)))
            groups[{state->GetTypeDoc(), state->GetState()}].push_back(state);
    markGroups(groups, "Дублирование состояний!");
}

void CTarnwickModel::CheckDuplicateMoves()
{
    std::unordered_map<std::pair<CAWFState*, CAWFState*>, std::vector<CAWFLink*>,
                       KeyHash<std::pair<CAWFState*, CAWFState*>>>
        groups;
    for (const DocumentMove& move : documentMoves())
        groups[{move.from, move.to}].push_back(move.link);
    markGroups(groups, "Дублирование перехода!");
}

void CTarnwickModel::CheckDuplicateActions()
{
    CODComponentSet* components = GetComponents();
    for (int k = 0; k < components->GetSize(); ++k) {
        auto* link = dynamic_cast<CAWFLink*>(components->GetAt(k));
        if (!link || !link->IsDocumentMove())
            continue;
        CODComponentSet actions;
        link->GetActions(actions);
        for (int i = 0; i < actions.GetSize(); ++i)
            for (int j = 0; j < actions.GetSize(); ++j) {
                auto* a = dynamic_cast<CAWFAction*>(actions.GetAt(i));
                auto* b = dynamic_cast<CAWFAction*>(actions.GetAt(j));
                if (i == j || !a || !b)
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
    CODComponentSet* components = GetComponents();
    int ownStates = 0;
    bool hasInitial = false;
    for (int i = 0; i < components->GetSize(); ++i) {
        CODComponent* c = components->GetAt(i);
        auto* state = dynamic_cast<CAWFState*>(c);
        if (!state || dynamic_cast<CAWForeign*>(c))
            continue;
        ++ownStates;
        if (state->GetState() == 1)
            hasInitial = true;
        if (hasInitial && ownStates >= 2)
            break;
    }

    bool accepted = false;
    for (int i = 0; i < components->GetSize(); ++i) {
        CODComponent* c = components->GetAt(i);
        if (auto* link = dynamic_cast<CAWFLink*>(c)) {
            link->Validate();
            // Its row keeps the source's document type only: loaded again, it
            // would end on the source type's state of the same number.
            if (link->IsDocumentMove())
                if (CAWFState* from = link->GetFromState(), *to = link->GetToState();
                    from && to && from->GetTypeDoc() != to->GetTypeDoc())
                    link->Errors.push_back(kMixedMove);
        } else if (auto* action = dynamic_cast<CAWFAction*>(c)) {
            action->Validate();
        } else if (auto* foreign = dynamic_cast<CAWForeign*>(c)) {
            foreign->Validate();
        } else if (auto* state = dynamic_cast<CAWFState*>(c); state && !accepted) {
            const std::size_t before = state->Errors.size();
            if (ownStates > 1)
                state->Validate();
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
