#include "tests/installer/pgtestutil.h"

#include <libpq-fe.h>

#include <stdexcept>

namespace kelm::test {

std::shared_ptr<dmo::SQLServer> ConnectTrustedServer()
{
    auto server = dmo::SQLServer::Create();
    server->SetLoginSecure(true);
    server->SetApplicationName("Dorvik");
    server->Connect(PgHost() + "," + PgPort(), "", "");
    return server;
}

std::string QueryOn(const std::string& database, const std::string& sql)
{
    std::string conninfo = "host=" + PgHost() + " port=" + PgPort() + " dbname=" + database;
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string error = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error(error);
    }
    PGresult* res = PQexec(conn, sql.c_str());
    if (PQresultStatus(res) != PGRES_TUPLES_OK && PQresultStatus(res) != PGRES_COMMAND_OK) {
        std::string error = PQerrorMessage(conn);
        PQclear(res);
        PQfinish(conn);
        throw std::runtime_error(error + " in: " + sql);
    }
    std::string text;
    for (int r = 0; r < PQntuples(res); ++r) {
        if (r)
            text += '\n';
        for (int c = 0; c < PQnfields(res); ++c) {
            if (c)
                text += '|';
            text += PQgetisnull(res, r, c) ? "NULL" : PQgetvalue(res, r, c);
        }
    }
    PQclear(res);
    PQfinish(conn);
    return text;
}

std::string Query(const PgDatabase& db, const std::string& sql) { return QueryOn(db.name(), sql); }

} // namespace kelm::test
