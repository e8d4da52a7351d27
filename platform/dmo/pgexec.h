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
// back before the error leaves.
QueryResults::Set ExecParams(PGconn* conn, const std::string& sql,
                             const std::vector<std::optional<std::string>>& params = {});

} // namespace dmo::detail
