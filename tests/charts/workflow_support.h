// Shared by the workflow chart tests: a shell that answers from a script,
// chart building, and a Kelm database on either engine.
#pragma once

#include "charts/awfelements.h"
#include "charts/chartshell.h"
#include "charts/chartsymbols.h"
#include "charts/diagrammodel.h"

#include "testsupport.h"

#include <deque>
#include <memory>
#include <string>
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

    std::deque<bool> answers;     // for AskYesNo, in order; none left is a test failure
    std::deque<int> threeWay;     // for AskYesNoCancel
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<int> posted;
    std::vector<int> sent;
    bool readOnly = false;
    ado::_ConnectionPtr connection;
};

// Installs a scripted shell for the scope.
struct ShellScope {
    ShellScope() { tarnwick::SetChartShell(&shell); }
    ~ShellScope() { tarnwick::SetChartShell(nullptr); }
    ScriptedShell shell;
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

enum class Engine { SQLite, PostgreSQL };
std::string EngineName(Engine engine);

// A Kelm database made from the schema for one test, with an open connection.
class KelmDb {
public:
    KelmDb(Engine engine, const std::string& hint);
    ~KelmDb();
    ado::_ConnectionPtr connection;
    void Exec(const std::string& sql) { connection->Execute(sql); }
    // One value of the first row, as text ("NULL" for a null).
    std::string Value(const std::string& sql);
    long Count(const std::string& sql);

private:
    std::unique_ptr<kelm::test::TempDir> m_dir;
    std::unique_ptr<kelm::test::PgDatabase> m_pg;
};

} // namespace wft
