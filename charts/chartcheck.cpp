#include "charts/chartprogress.h"
#include "charts/chartshell.h"
#include "charts/diagrammodel.h"

#include <cstdio>

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

bool isCompleteMove(CAWFLink* link)
{
    return link && link->IsDocumentMove() && link->GetFromState() && link->GetToState();
}

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

void CTarnwickModel::CheckDuplicateStates()
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* a = dynamic_cast<CAWFState*>(components->GetAt(i));
        if (!a)
            continue;
        for (int j = 0; j < components->GetSize(); ++j) {
            auto* b = dynamic_cast<CAWFState*>(components->GetAt(j));
            if (b && b != a && a->GetTypeDoc() == b->GetTypeDoc() && a->GetState() == b->GetState())
                a->Errors.push_back("Дублирование состояний!");
        }
    }
}

void CTarnwickModel::CheckDuplicateMoves()
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i) {
        auto* a = dynamic_cast<CAWFLink*>(components->GetAt(i));
        if (!isCompleteMove(a))
            continue;
        for (int j = 0; j < components->GetSize(); ++j) {
            auto* b = dynamic_cast<CAWFLink*>(components->GetAt(j));
            if (b != a && isCompleteMove(b) && a->GetFromState() == b->GetFromState() &&
                a->GetToState() == b->GetToState())
                a->Errors.push_back("Дублирование перехода!");
        }
    }
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
        } else if (auto* action = dynamic_cast<CAWFAction*>(c)) {
            action->Validate();
        } else if (auto* foreign = dynamic_cast<CAWForeign*>(c)) {
            foreign->Validate();
        } else if (auto* state = dynamic_cast<CAWFState*>(c); state && !accepted) {
            const std::size_t before = state->Errors.size();
            if (ownStates > 1)
                state->Validate();
            if (!hasInitial)
                state->Errors.push_back(kNoInitialState);
            if (!state->Errors.empty() &&
                ChartShell().AskYesNo("На диаграмме обнаружены несвязанные состояния или\n"
                                      "остутсвует начальное состояние.Сохранять?")) {
                // The answer accepts unconnected states only: a duplicate
                // found before, and a missing initial state, still fail the check.
                state->Errors.resize(before);
                if (!hasInitial)
                    state->Errors.push_back(kNoInitialState);
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
