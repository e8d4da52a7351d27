// Shared by the workflow chart tests: a shell that answers from a script,
// chart building, and a Kelm database on either engine.
#pragma once

#include "charts/documents/core/diagrammodel.h"
#include "charts/elements/awfelements.h"
#include "charts/elements/chartsymbols.h"
#include "charts/shell/core/chartdialogs.h"
#include "charts/shell/core/chartshell.h"

#include "tests/common/testsupport.h"
#include "tests/common/kelmschema.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wft {

class ScriptedShell : public tarnwick::IChartShell {
public:
    bool AskYesNo(const std::string& text) override;
    int AskYesNoCancel(const std::string& text) override;
    void Message(const std::string& text, const std::string& caption, tarnwick::ChartIcon icon) override;
    void PostCommand(int id) override { posted.push_back(id); }
    bool SendCommand(int id) override
    {
        sent.push_back(id);
        return true;
    }
    bool IsReadOnly() const override { return readOnly; }
    ado::_ConnectionPtr Connection() override { return connection; }
    void OpenDiagram(std::int32_t key, const std::string& title) override { opened.emplace_back(key, title); }
    void SaveDefaultProperties(CODViewport&) override { ++defaultsSaved; }

    std::deque<bool> answers;     // for AskYesNo, in order; none left is a test failure
    std::deque<int> threeWay;     // for AskYesNoCancel
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<int> posted;
    std::vector<int> sent;
    std::vector<std::pair<std::int32_t, std::string>> opened;
    int defaultsSaved = 0;
    bool readOnly = false;
    ado::_ConnectionPtr connection;
};

// Installs a scripted shell for the scope.
struct ShellScope {
    ShellScope() { tarnwick::SetChartShell(&shell); }
    ~ShellScope() { tarnwick::SetChartShell(nullptr); }
    ScriptedShell shell;
};

// Dialogs that answer from the test: each entry runs its function, or
// cancels when none is set, and counts its calls.
class ScriptedDialogs : public tarnwick::IChartDialogs {
public:
    int SelectAction(tarnwick::ActionChoice& choice) override
    {
        return Run(selectAction, calls.selectAction, choice);
    }
    int RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption) override
    {
        return Run(runProperties, calls.runProperties, selection, viewport, caption);
    }
    int ShowBackReferences(std::int32_t typeDoc, tarnwick::DocTypeChoice& chosen) override
    {
        return Run(showBackReferences, calls.showBackReferences, typeDoc, chosen);
    }
    int AskPicturePath(const std::string& proposed, std::string& path) override
    {
        return Run(askPicturePath, calls.askPicturePath, proposed, path);
    }
    int ArrangeParams(tarnwick::ArrangeChoice& params) override
    {
        return Run(arrangeParams, calls.arrangeParams, params);
    }

    std::function<int(tarnwick::ActionChoice&)> selectAction;
    std::function<int(CODComponentSet&, CODViewport&, const std::string&)> runProperties;
    std::function<int(std::int32_t, tarnwick::DocTypeChoice&)> showBackReferences;
    std::function<int(const std::string&, std::string&)> askPicturePath;
    std::function<int(tarnwick::ArrangeChoice&)> arrangeParams;
    struct {
        int selectAction = 0, runProperties = 0, showBackReferences = 0, askPicturePath = 0, arrangeParams = 0;
    } calls;

private:
    template <class F, class... A>
    static int Run(const F& f, int& count, A&&... args)
    {
        ++count;
        return f ? f(std::forward<A>(args)...) : tarnwick::IDCANCEL;
    }
};

// Installs scripted dialogs for the scope.
struct DialogsScope {
    DialogsScope() { tarnwick::SetChartDialogs(&dialogs); }
    ~DialogsScope() { tarnwick::SetChartDialogs(nullptr); }
    ScriptedDialogs dialogs;
};

CAWFState* AddState(CTarnwickModel& model, CAWFDocumentType* docType, std::int16_t state, int x, int y,
                    bool foreign = false);
CAWFAction* AddAction(CTarnwickModel& model, std::int32_t id, const std::string& name, std::uint16_t order, int x,
                      int y);
// A link drawn from one component's port to another's and put into the model.
CAWFLink* AddLink(CTarnwickModel& model, CODComponent* from, CODComponent* to);
CAWFCircleLink* AddLoop(CTarnwickModel& model, CAWFState* state);
// Counts the model's components of exactly this class.
int CountOf(CODModel& model, const CRuntimeClass* cls);

using kelm::test::Engine;
using kelm::test::EngineName;

// A Kelm database made from the schema for one test, with an open connection.
class KelmDb {
public:
    KelmDb(Engine engine, const std::string& hint);
    ~KelmDb();
    // A further session on the same database.
    ado::_ConnectionPtr Open() const;
    ado::_ConnectionPtr connection;
    void Exec(const std::string& sql) { connection->Execute(sql); }
    // Runs a fixture script (kelmschema.h): statements ending with a ';' at
    // the end of a line; "--" comments are passed over.
    void ExecLines(const std::filesystem::path& file);
    // One value of the first row, as text ("NULL" for a null).
    std::string Value(const std::string& sql);
    long Count(const std::string& sql);

private:
    std::unique_ptr<kelm::test::TempDir> m_dir;
    std::unique_ptr<kelm::test::PgDatabase> m_pg;
    std::string m_connString;
};

} // namespace wft
