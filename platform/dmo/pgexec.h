// Inside the server layer: running statements on a libpq connection and
// turning the server's failures into the layer's Error.
#pragma once

#include "dmo/dmo.h"

#include <optional>
#include <string>
#include <vector>

typedef struct pg_result PGresult;

namespace dmo::detail {

// The failure a result carries: the statement category with SQLSTATE, the
// primary message, DETAIL and HINT, or the connection category when the
// connection is gone.
Error StatementError(PGconn* conn, const PGresult* res);

// The rows of a result in text form.
QueryResults::Set RowsOf(const PGresult* res);

// One statement with text parameters (a null parameter is SQL NULL), its
// rows in text form; throws Error. A failed transaction block is rolled
// back before the error leaves, unless `keepTransaction` (the caller rolls
// back to its savepoint).
QueryResults::Set ExecParams(PGconn* conn, const std::string& sql,
                             const std::vector<std::optional<std::string>>& params = {},
                             bool keepTransaction = false);

using Param = std::optional<std::string>;

// The first value of the first row, or nothing.
std::optional<std::string> ScalarParams(PGconn* conn, const std::string& sql, const std::vector<Param>& params = {});

// Sends one batch and drains every result; row results are added to
// `results` when given. The first failure is thrown once the connection is
// quiet again.
void runBatch(PGconn* conn, const std::string& sql, QueryResults* results);

// The server's lock and connections for the layer's classes.
struct Access {
    static std::recursive_mutex& mutex(Database& db);
    static PGconn* connection(Database& db);
    static PGconn* serverConnection(SQLServer& server);
    static std::recursive_mutex& mutex(SQLServer& server);
    static std::shared_ptr<SQLServer> server(Database& db);
    static struct Catalog& catalog(Database& db);
    // Closes the layer's own connection to the database.
    static void close(Database& db);
};

} // namespace dmo::detail
