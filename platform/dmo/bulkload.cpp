#include "dmo/dmo.h"
#include "dmo/pgexec.h"
#include "dmo/quote.h"

#include <libpq-fe.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace dmo {

namespace {

constexpr char kBinarySignature[] = "PGCOPY\n\377\r\n";
constexpr std::size_t kSignatureSize = 11; // the text above and its NUL

class InputFile {
public:
    explicit InputFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0)
            throw Error(kErrFile, "cannot open the bulk file '" + path + "': " + std::strerror(errno));
    }
    ~InputFile() { ::close(m_fd); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // 0 at the end; throws on a read error.
    std::size_t Read(char* buffer, std::size_t size, const std::string& path)
    {
        for (;;) {
            ssize_t n = ::read(m_fd, buffer, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                throw Error(kErrFile, "cannot read the bulk file '" + path + "': " + std::strerror(errno));
        }
    }

private:
    int m_fd;
};

void exec(PGconn* conn, const std::string& sql) { detail::ExecParams(conn, sql); }

// Ends a COPY that failed on our side and drains its results, so the
// connection can roll back.
void abandonCopy(PGconn* conn, const char* reason)
{
    PQputCopyEnd(conn, reason);
    while (PGresult* res = PQgetResult(conn))
        PQclear(res);
}

std::string copyError(PGconn* conn, const PGresult* res)
{
    Error error = detail::StatementError(conn, res);
    std::string text = error.description;
    // The context names the line of the file that failed.
    if (const char* context = PQresultErrorField(res, PG_DIAG_CONTEXT)) {
        std::string c = context;
        while (!c.empty() && (c.back() == '\n' || c.back() == '\r'))
            c.pop_back();
        text += "\r\nCONTEXT: " + c;
    }
    return text;
}

} // namespace

std::uint64_t Database::BulkLoad(const std::string& table, const std::string& path, bool truncateFirst,
                                 const std::function<void()>& truncated)
{
    std::lock_guard lock(m_server->m_mutex);
    TableRef ref = ResolveTable(table);
    InputFile file(path);
    std::vector<char> buffer(1 << 20);
    std::size_t first = file.Read(buffer.data(), buffer.size(), path);
    bool binary = first >= kSignatureSize && std::memcmp(buffer.data(), kBinarySignature, kSignatureSize) == 0;

    PGconn* conn = connection();
    if (PQtransactionStatus(conn) != PQTRANS_IDLE)
        throw Error(kErrArgument, "a transaction is open on the connection of database '" + m_name +
                                      "'; a bulk load runs in a transaction of its own");
    const std::string qualified = ref.QualifiedName();
    std::uint64_t rows = 0;
    exec(conn, "BEGIN");
    try {
        exec(conn, "SET LOCAL session_replication_role = replica");
        if (truncateFirst) {
            // An empty table has no rows to give up: emptying it would only
            // cost it new files. Its identity restarts with the counters
            // below either way.
            exec(conn, "LOCK TABLE " + qualified + " IN ACCESS EXCLUSIVE MODE");
            if (detail::ScalarParams(conn, "SELECT EXISTS (SELECT FROM " + qualified + ")") == "t")
                exec(conn, "TRUNCATE TABLE " + qualified + " RESTART IDENTITY");
            if (truncated)
                truncated();
        }
        std::string copy = "COPY " + qualified + " FROM STDIN WITH (FORMAT " + (binary ? "binary" : "text") + ")";
        PGresult* res = PQexec(conn, copy.c_str());
        if (PQresultStatus(res) != PGRES_COPY_IN) {
            Error error = detail::StatementError(conn, res);
            PQclear(res);
            throw error;
        }
        PQclear(res);
        try {
            for (std::size_t n = first; n > 0; n = file.Read(buffer.data(), buffer.size(), path))
                if (PQputCopyData(conn, buffer.data(), static_cast<int>(n)) != 1)
                    throw Error(kErrConnection, PQerrorMessage(conn), "PostgreSQL");
        } catch (...) {
            abandonCopy(conn, "the bulk file could not be read");
            throw;
        }
        if (PQputCopyEnd(conn, nullptr) != 1)
            throw Error(kErrConnection, PQerrorMessage(conn), "PostgreSQL");
        std::optional<Error> failure;
        while (PGresult* r = PQgetResult(conn)) {
            if (PQresultStatus(r) == PGRES_COMMAND_OK)
                rows = std::strtoull(PQcmdTuples(r), nullptr, 10);
            else if (!failure) {
                Error e = detail::StatementError(conn, r);
                e.description = copyError(conn, r);
                failure = e;
            }
            PQclear(r);
        }
        if (failure)
            throw *failure;

        // COPY stores the given identity values but leaves the counters
        // where they were: move each one past what the table now holds,
        // never back; after emptying, from its start.
        auto sequences = detail::ExecParams(
            conn,
            "SELECT a.attname, d.objid, s.seqincrement < 0, s.seqstart FROM pg_depend d "
            "JOIN pg_sequence s ON s.seqrelid = d.objid "
            "JOIN pg_attribute a ON a.attrelid = d.refobjid AND a.attnum = d.refobjsubid "
            "WHERE d.classid = 'pg_class'::regclass AND d.refclassid = 'pg_class'::regclass "
            "AND d.refobjid = $1 AND d.deptype IN ('a', 'i')",
            {std::to_string(ref.oid)});
        for (const auto& row : sequences.rows) {
            bool down = *row[2] == "t";
            std::string column = QuoteIdent(*row[0]);
            std::string extreme = std::string(down ? "min(" : "max(") + column + ") AS m FROM " + qualified;
            if (truncateFirst) {
                detail::ExecParams(conn, "SELECT setval($1::oid::regclass, COALESCE(m, $2::bigint), m IS NOT NULL) "
                                         "FROM (SELECT " + extreme + ") x",
                                   {*row[1], *row[3]});
                continue;
            }
            std::string sql = "SELECT setval($1::oid::regclass, m) FROM (SELECT " + extreme +
                              ") x WHERE m IS NOT NULL AND m " + (down ? "<=" : ">=") +
                              " COALESCE(pg_sequence_last_value($1::oid::regclass), m)";
            detail::ExecParams(conn, sql, {*row[1]});
        }
        exec(conn, "COMMIT");
    } catch (...) {
        if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
            PQclear(PQexec(conn, "ROLLBACK"));
        throw;
    }
    return rows;
}

} // namespace dmo
