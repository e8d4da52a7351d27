#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace wft {

bool ScriptedShell::AskYesNo(const std::string& text)
{
    questions.push_back(text);
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

int ScriptedShell::AskYesNoCancel(const std::string& text)
{
    questions.push_back(text);
    if (threeWay.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return tarnwick::IDCANCEL;
    }
    const int answer = threeWay.front();
    threeWay.pop_front();
    return answer;
}

void ScriptedShell::Message(const std::string& text, const std::string&, tarnwick::ChartIcon)
{
    messages.push_back(text);
}

CAWFState* AddState(CTarnwickModel& model, CAWFDocumentType* docType, std::int16_t state, int x, int y, bool foreign)
{
    CAWFState* s = foreign ? new CAWForeign : new CAWFState(docType, state);
    if (foreign)
        s->SetDocumentType(docType);
    tarnwick::LoadChartSymbol(*s, tarnwick::IDR_SYMBOL_STATE);
    s->SetData(state, docType ? docType->NameDoc : "", std::to_string(state) + ":", docType ? docType->NameDoc : "");
    s->MoveTo(x, y);
    model.AppendComponent(s);
    return s;
}

CAWFAction* AddAction(CTarnwickModel& model, std::int32_t id, const std::string& name, std::uint16_t order, int x,
                      int y)
{
    auto* a = new CAWFAction;
    tarnwick::LoadChartSymbol(*a, tarnwick::IDR_SYMBOL_ACTION);
    a->SetActionName(id, name, 0, order);
    a->MoveTo(x, y);
    model.AppendComponent(a);
    return a;
}

CAWFLink* AddLink(CTarnwickModel& model, CODComponent* from, CODComponent* to)
{
    auto* link = new CAWFLink;
    link->AddRef();
    link->SetupLink(from->GetPort(), to->GetPort());
    model.AppendComponent(link);
    link->Release();
    return link;
}

CAWFCircleLink* AddLoop(CTarnwickModel& model, CAWFState* state)
{
    auto* loop = new CAWFCircleLink;
    loop->AddRef();
    loop->SetupLink(state->GetPort(), state->GetPort());
    model.AppendComponent(loop);
    loop->Route();
    loop->Release();
    return loop;
}

int CountOf(CODModel& model, const CRuntimeClass* cls)
{
    int n = 0;
    for (CODComponent* c : *model.GetComponents())
        if (c->GetRuntimeClass() == cls)
            ++n;
    return n;
}

KelmDb::KelmDb(Engine engine, const std::string& hint)
{
    if (engine == Engine::SQLite) {
        m_dir = std::make_unique<kelm::test::TempDir>();
        m_connString = kelm::test::SqliteConnString(m_dir->path() / (hint + ".db"));
    } else {
        m_pg = std::make_unique<kelm::test::PgDatabase>(hint);
        m_connString = m_pg->odbcConnString();
    }
    connection = Open();
    for (const std::string& statement : kelm::test::SqlFileStatements(kelm::test::SchemaFile(KELM_SOURCE_DIR, engine)))
        connection->Execute(statement);
}

ado::_ConnectionPtr KelmDb::Open() const
{
    ado::_ConnectionPtr session;
    session.CreateInstance("ADODB.Connection");
    session->Open(m_connString, "", "", -1);
    return session;
}

KelmDb::~KelmDb()
{
    if (connection && connection->GetState() == ado::adStateOpen) {
        if (connection->InTransaction())
            connection->RollbackTrans();
        connection->Close();
    }
}

void KelmDb::ExecLines(const std::filesystem::path& file)
{
    for (const std::string& statement : kelm::test::SqlFileStatements(file))
        Exec(statement);
}

std::string KelmDb::Value(const std::string& sql)
{
    ado::_RecordsetPtr rs = connection->Execute(sql);
    if (rs->IsEOF())
        return "<no row>";
    const ado::_variant_t v = rs->GetCollect(ado::_variant_t(0));
    std::string text = v.vt == ado::VT_NULL ? "NULL" : v.ToString();
    rs->Close();
    return text;
}

long KelmDb::Count(const std::string& sql)
{
    return std::stol(Value(sql));
}

} // namespace wft
