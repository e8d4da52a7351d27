// chart-drawings: gives the workflow charts of a Kelm database their stored
// drawings, as Tarnwick would on opening and saving each chart. Used by
// scripts/make-demo-kit.sh on its scratch database; not installed.
//
//   chart-drawings <ODBC connection string> <document type>...
//
// Each chart is loaded from its rows (the elements without a drawing are
// made from their symbols), laid out in columns by the moves' order from the
// first state, and saved through the chart's own save: every state, move and
// action gets its drawing in one transaction. The chart's archived drawing
// is then written beside it, so that reading the archive gives the same
// chart. Anything the chart classes would tell a user ends the run with
// status 1.
#include "charts/documents/core/diagrammodel.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/elements/awfelements.h"
#include "charts/shell/core/chartshell.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace tarnwick;

namespace {

// A shell with nobody to ask: questions are answered "no", messages go to
// stderr and count as failures.
class QuietShell : public IChartShell {
public:
    explicit QuietShell(ado::_ConnectionPtr connection) : m_connection(std::move(connection)) {}

    bool AskYesNo(const std::string& text) override
    {
        report("question", text);
        return false;
    }
    int AskYesNoCancel(const std::string& text) override
    {
        report("question", text);
        return IDCANCEL;
    }
    void Message(const std::string& text, const std::string& caption, ChartIcon) override
    {
        report(caption.empty() ? "message" : caption, text);
    }
    void PostCommand(int) override {}
    bool SendCommand(int) override { return false; }
    bool IsReadOnly() const override { return false; }
    ado::_ConnectionPtr Connection() override { return m_connection; }

    int told = 0;

private:
    void report(const std::string& kind, const std::string& text)
    {
        ++told;
        std::fprintf(stderr, "chart-drawings: %s: %s\n", kind.c_str(), text.c_str());
    }
    ado::_ConnectionPtr m_connection;
};

constexpr int kLeft = 40, kTop = 40, kColumn = 230, kRow = 130;

// States in columns: the first state (the lowest number) in the first
// column, each other state one column right of the nearest state that moves
// to it; states no move reaches go into a last column. Within a column the
// states keep the order of their numbers. Actions stand beside the middle
// of their move.
void LayOut(CTarnwickModel& model)
{
    std::vector<CAWFState*> states;
    std::vector<CAWFLink*> moves, ties;
    for (CODComponent* c : *model.GetComponents()) {
        if (auto* state = dynamic_cast<CAWFState*>(c))
            states.push_back(state);
        else if (auto* link = dynamic_cast<CAWFLink*>(c))
            (link->IsDocumentMove() ? moves : ties).push_back(link);
    }
    if (states.empty())
        return;
    std::sort(states.begin(), states.end(), [](CAWFState* a, CAWFState* b) { return a->GetState() < b->GetState(); });
    std::map<CAWFState*, std::vector<CAWFState*>> next;
    for (CAWFLink* move : moves)
        if (move->GetFromState() && move->GetToState() && move->GetFromState() != move->GetToState())
            next[move->GetFromState()].push_back(move->GetToState());
    std::map<CAWFState*, int> column;
    std::deque<CAWFState*> queue{states.front()};
    column[states.front()] = 0;
    int last = 0;
    while (!queue.empty()) {
        CAWFState* state = queue.front();
        queue.pop_front();
        last = std::max(last, column[state]);
        for (CAWFState* to : next[state])
            if (column.emplace(to, column[state] + 1).second)
                queue.push_back(to);
    }
    for (CAWFState* state : states)
        column.emplace(state, last + 1);
    std::map<int, int> rows;
    for (CAWFState* state : states) {
        const int col = column[state];
        state->MoveTo(kLeft + col * kColumn, kTop + rows[col]++ * kRow);
    }

    // The moves run straight from port to port again, except that two moves
    // between the same states in opposite directions bend apart, and a loop
    // is laid beside its state.
    std::set<std::pair<CAWFState*, CAWFState*>> pairs;
    for (CAWFLink* move : moves)
        pairs.insert({move->GetFromState(), move->GetToState()});
    for (CAWFLink* move : moves) {
        CAWFState* from = move->GetFromState();
        CAWFState* to = move->GetToState();
        if (auto* loop = dynamic_cast<CAWFCircleLink*>(move)) {
            loop->Route();
            continue;
        }
        const CPoint a = from->GetPort()->GetLocation();
        const CPoint b = to->GetPort()->GetLocation();
        if (pairs.count({to, from})) {
            // Each of the two bends to its own side of the straight line.
            const CPoint middle((a.x + b.x) / 2 + (b.y - a.y) / 6, (a.y + b.y) / 2 - (b.x - a.x) / 6);
            const CPoint bent[3] = {a, middle, b};
            move->SetPoints(bent, 3);
        } else {
            const CPoint straight[2] = {a, b};
            move->SetPoints(straight, 2);
        }
        move->Relayout();
    }

    // An action's tie runs from its move's middle to the action.
    std::map<CAWFLink*, int> actionsOnMove;
    for (CAWFLink* tie : ties) {
        CODComponent* target = tie->GetTargetComponent();
        auto* action = dynamic_cast<CAWFAction*>(target);
        auto* move = dynamic_cast<CAWFLink*>(tie->GetSourceComponent());
        if (!action || !move)
            continue;
        const CRect bounds = move->GetBounds();
        const int n = actionsOnMove[move]++;
        action->MoveTo(bounds.CenterPoint().x + 25, bounds.CenterPoint().y + 15 + n * 40);
        tie->Relayout();
    }
    model.UpdateAllComponents();
}

int DrawChart(QuietShell& shell, std::int32_t key)
{
    CTarnwickDoc document;
    const int toldBefore = shell.told;
    if (!document.OpenFromDB(key, std::to_string(key), true) || shell.told != toldBefore) {
        std::fprintf(stderr, "chart-drawings: the chart of document type %d did not load\n", key);
        return 1;
    }
    CTarnwickModel& model = *document.GetModel();
    if (model.GetComponentCount() == 0) {
        std::fprintf(stderr, "chart-drawings: document type %d has no chart\n", key);
        return 1;
    }
    LayOut(model);
    if (SaveWorkflowChart(model) != ChartSaveResult::Saved || shell.told != toldBefore) {
        std::fprintf(stderr, "chart-drawings: the chart of document type %d was not saved\n", key);
        return 1;
    }
    ado::_ConnectionPtr connection = shell.Connection();
    connection->BeginTrans();
    CTarnwickModel::DeleteArchive(connection, model.GetGrp(), key);
    model.SaveToArchive(connection);
    connection->CommitTrans();
    std::printf("document type %d: %d elements drawn\n", key, model.GetComponentCount());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <ODBC connection string> <document type>...\n", argv[0]);
        return 2;
    }
    int status = 0;
    try {
        ado::_ConnectionPtr connection;
        connection.CreateInstance("ADODB.Connection");
        connection->Open(argv[1], "", "", -1);
        QuietShell shell(connection);
        SetChartShell(&shell);
        for (int i = 2; i < argc; ++i) {
            char* end = nullptr;
            const long key = std::strtol(argv[i], &end, 10);
            if (!*argv[i] || *end) {
                std::fprintf(stderr, "chart-drawings: not a document type: %s\n", argv[i]);
                status = 2;
                break;
            }
            if (DrawChart(shell, static_cast<std::int32_t>(key)) != 0) {
                status = 1;
                break;
            }
        }
        SetChartShell(nullptr);
        connection->Close();
    } catch (const ado::_com_error& e) {
        std::fprintf(stderr, "chart-drawings: %s\n", e.Description().str().c_str());
        status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "chart-drawings: %s\n", e.what());
        status = 1;
    }
    return status;
}
