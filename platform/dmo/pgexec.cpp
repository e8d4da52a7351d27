#include "dmo/pgexec.h"

#include "dmo/catalog.h"
#include "winapi/text.h"

#include <libpq-fe.h>

namespace dmo::detail {

namespace {

bool connectionLost(PGconn* conn, const std::string& sqlstate)
{
    return PQstatus(conn) != CONNECTION_OK || sqlstate.rfind("08", 0) == 0 || sqlstate == "57P01" ||
           sqlstate == "57P02" || sqlstate == "57P03";
}

std::string trimmed(const char* text)
{
    return winapi::TrimRight(text ? text : "", "\r\n ");
}

} // namespace

Error StatementError(PGconn* conn, const PGresult* res)
{
    std::string state = trimmed(PQresultErrorField(res, PG_DIAG_SQLSTATE));
    std::string text;
    if (const char* primary = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)) {
        text = "[SQLSTATE " + state + "] " + trimmed(primary);
        if (const char* detail = PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL))
            text += "\r\nDETAIL: " + trimmed(detail);
        if (const char* hint = PQresultErrorField(res, PG_DIAG_MESSAGE_HINT))
            text += "\r\nHINT: " + trimmed(hint);
    } else {
        text = trimmed(PQerrorMessage(conn));
    }
    bool lost = connectionLost(conn, state);
    return Error(lost ? kErrConnection : kErrStatement, text, "PostgreSQL", state);
}

QueryResults::Set RowsOf(const PGresult* res)
{
    QueryResults::Set set;
    int columns = PQnfields(res), rows = PQntuples(res);
    for (int c = 0; c < columns; ++c)
        set.types.push_back(PQftype(res, c));
    set.rows.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        auto& row = set.rows.emplace_back();
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(res, r, c))
                row.emplace_back();
            else
                row.emplace_back(std::string(PQgetvalue(res, r, c), static_cast<std::size_t>(PQgetlength(res, r, c))));
        }
    }
    return set;
}

QueryResults::Set ExecParams(PGconn* conn, const std::string& sql,
                             const std::vector<std::optional<std::string>>& params, bool keepTransaction)
{
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& p : params)
        values.push_back(p ? p->c_str() : nullptr);
    PGresult* res = PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                 nullptr, nullptr, 0);
    ExecStatusType status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        Error error = res ? StatementError(conn, res)
                          : Error(kErrConnection, trimmed(PQerrorMessage(conn)), "PostgreSQL");
        PQclear(res);
        if (!keepTransaction && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_INERROR)
            PQclear(PQexec(conn, "ROLLBACK"));
        throw error;
    }
    QueryResults::Set set = RowsOf(res);
    PQclear(res);
    return set;
}

} // namespace dmo::detail

namespace dmo::detail {

std::optional<std::string> ScalarParams(PGconn* conn, const std::string& sql, const std::vector<Param>& params)
{
    auto set = ExecParams(conn, sql, params);
    if (set.rows.empty() || set.rows[0].empty())
        return std::nullopt;
    return set.rows[0][0];
}

std::vector<QueryResults::Set> ReadCatalog(PGconn* conn, const std::vector<std::string>& queries, bool plain)
{
    bool open = PQtransactionStatus(conn) != PQTRANS_IDLE;
    bool bare = plain && !open;
    const char* undo = open ? "ROLLBACK TO SAVEPOINT dmo_catalog_path; RELEASE SAVEPOINT dmo_catalog_path"
                       : bare ? "" : "ROLLBACK";
    std::string sql = bare   ? ""
                      : open ? "SAVEPOINT dmo_catalog_path; SET LOCAL search_path = pg_catalog"
                             : "BEGIN READ ONLY; SET LOCAL search_path = pg_catalog";
    for (const auto& query : queries)
        sql += (sql.empty() ? "" : ";\n") + query;
    if (!bare)
        sql += open ? ";\nROLLBACK TO SAVEPOINT dmo_catalog_path; RELEASE SAVEPOINT dmo_catalog_path" : ";\nCOMMIT";
    if (!PQsendQuery(conn, sql.c_str()))
        throw Error(PQstatus(conn) == CONNECTION_OK ? kErrStatement : kErrConnection, trimmed(PQerrorMessage(conn)),
                    "PostgreSQL");
    std::vector<QueryResults::Set> sets;
    std::optional<Error> failure;
    while (PGresult* res = PQgetResult(conn)) {
        ExecStatusType status = PQresultStatus(res);
        if (status == PGRES_TUPLES_OK && !failure)
            sets.push_back(RowsOf(res));
        else if ((status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) && !failure)
            failure = StatementError(conn, res);
        PQclear(res);
        if (PQstatus(conn) != CONNECTION_OK)
            break;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        if (failure) {
            failure->hresult = kErrConnection;
            throw *failure;
        }
        throw Error(kErrConnection, trimmed(PQerrorMessage(conn)), "PostgreSQL");
    }
    if (failure) {
        // What the caller had open stays as it was.
        if (*undo)
            PQclear(PQexec(conn, undo));
        throw *failure;
    }
    if (sets.size() != queries.size())
        throw Error(kErrStatement, "a catalogue read returned " + std::to_string(sets.size()) + " of " +
                                       std::to_string(queries.size()) + " result sets", "PostgreSQL");
    return sets;
}

std::recursive_mutex& Access::mutex(Database& db) { return db.m_server->m_mutex; }
PGconn* Access::connection(Database& db) { return db.connection(); }
PGconn* Access::serverConnection(SQLServer& server) { return server.mainConnection(); }
std::recursive_mutex& Access::mutex(SQLServer& server) { return server.m_mutex; }
std::shared_ptr<SQLServer> Access::server(Database& db) { return db.m_server; }
void Access::close(Database& db) { db.close(); }

} // namespace dmo::detail
