#include "tests/charts/chartdb_support.h"

#include "charts/elements/chartsymbols.h"
#include "tests/common/kelmschema.h"

namespace chartdb {

void LoadSchema(const ado::_ConnectionPtr& connection, bool postgres, const std::string& sourceDir)
{
    using kelm::test::Engine;
    for (const std::string& statement :
         kelm::test::SqlFileStatements(kelm::test::SchemaFile(sourceDir, postgres ? Engine::PostgreSQL : Engine::SQLite)))
        connection->Execute(statement);
}

void FillCatalogue(const ado::_ConnectionPtr& connection, int grp, int states, int actions)
{
    for (int i = 1; i <= states; ++i)
        connection->Execute("INSERT INTO ProdDocState(Grp, State, NameState) VALUES (" + std::to_string(grp) + ", " +
                            std::to_string(i) + ", 'Состояние " + std::to_string(i) + "')");
    for (int i = 1; i <= actions; ++i)
        connection->Execute("INSERT INTO ProdDocAction(Action, NameAction, Grp) VALUES (" +
                            std::to_string(grp * 100000 + i) + ", 'Действие " + std::to_string(i) + "', " +
                            std::to_string(grp) + ")");
}

void BuildChart(CTarnwickModel& model, int grp, int type, int typeDoc, int states, int movesPerState,
                int actionsPerMove)
{
    model.Grp = static_cast<std::int16_t>(grp);
    model.Type = static_cast<std::int16_t>(type);
    model.m_nKey = typeDoc;
    auto* docType = new CAWFDocumentType(typeDoc, "Документ");
    docType->SetModel(&model);
    docType->AddRef();
    model.m_DocTypes.Add(docType);

    std::vector<CAWFState*> made;
    for (int i = 1; i <= states; ++i) {
        auto* s = new CAWFState(docType, static_cast<std::int16_t>(i));
        tarnwick::LoadChartSymbol(*s, tarnwick::IDR_SYMBOL_STATE);
        s->SetData(static_cast<std::int16_t>(i), "Документ", std::to_string(i) + ":", "Документ");
        s->MoveTo((i % 40) * 250, (i / 40) * 200);
        model.AppendComponent(s);
        made.push_back(s);
    }
    for (int i = 0; i < states; ++i)
        for (int k = 1; k <= movesPerState; ++k) {
            CAWFState* from = made[static_cast<std::size_t>(i)];
            CAWFState* to = made[static_cast<std::size_t>((i + k) % states)];
            if (from == to)
                continue;
            auto* link = new CAWFLink;
            link->AddRef();
            link->SetupLink(from->GetPort(), to->GetPort());
            model.AppendComponent(link);
            for (int a = 1; a <= actionsPerMove; ++a) {
                auto* action = new CAWFAction;
                tarnwick::LoadChartSymbol(*action, tarnwick::IDR_SYMBOL_ACTION);
                action->SetActionName(grp * 100000 + a, "Действие", 0, static_cast<std::uint16_t>(a));
                action->MoveTo(from->GetOrigin().x + 40 * k, from->GetOrigin().y + 100);
                model.AppendComponent(action);
                auto* tie = new CAWFLink;
                tie->AddRef();
                tie->SetupLink(link->GetPort(), action->GetPort());
                model.AppendComponent(tie);
                tie->Release();
            }
            link->Release();
        }
}

} // namespace chartdb
