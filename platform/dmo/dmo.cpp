#include "dmo/dmo.h"

#include "dmo/address.h"
#include "dmo/pgexec.h"
#include "winapi/folders.h"
#include "winapi/module_version.h"
#include "winapi/text.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

WINAPI_MODULE_VERSION("Server object layer on PostgreSQL")

namespace dmo {

Error::Error(std::int32_t hr, std::string desc, std::string src, std::string state)
    : std::runtime_error(desc), hresult(hr), description(std::move(desc)), source(std::move(src)),
      sqlstate(std::move(state))
{
}

std::string GetModulePath()
{
    return winapi::GetModulePath(reinterpret_cast<const void*>(&GetModulePath)).value_or(std::string());
}

namespace detail {

std::string trimmed(const char* text)
{
    return winapi::TrimRight(text ? text : "", "\r\n ");
}

using detail::StatementError;

// Sends one batch and drains every result; the first failure is thrown
// once the connection is quiet again.
void runBatch(PGconn* conn, const std::string& sql, QueryResults* results)
{
    if (!PQsendQuery(conn, sql.c_str())) {
        std::string text = trimmed(PQerrorMessage(conn));
        throw Error(PQstatus(conn) == CONNECTION_OK ? kErrStatement : kErrConnection, text, "PostgreSQL");
    }
    std::optional<Error> failure;
    while (PGresult* res = PQgetResult(conn)) {
        switch (PQresultStatus(res)) {
        case PGRES_TUPLES_OK:
            if (results && !failure) {
                QueryResults::Set set = detail::RowsOf(res);
                results->AddSet(std::move(set));
            }
            break;
        case PGRES_COPY_IN:
            PQputCopyEnd(conn, "COPY FROM STDIN is not available in a script batch");
            break;
        case PGRES_COPY_OUT: {
            char* buffer = nullptr;
            while (PQgetCopyData(conn, &buffer, 0) > 0)
                PQfreemem(buffer);
            break;
        }
        case PGRES_FATAL_ERROR:
        case PGRES_BAD_RESPONSE:
            if (!failure)
                failure = StatementError(conn, res);
            break;
        default:
            break;
        }
        PQclear(res);
        if (PQstatus(conn) != CONNECTION_OK)
            break;
    }
    if (failure) {
        if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_INERROR)
            PQclear(PQexec(conn, "ROLLBACK"));
        if (PQstatus(conn) != CONNECTION_OK)
            failure->hresult = kErrConnection;
        throw *failure;
    }
    if (PQstatus(conn) != CONNECTION_OK)
        throw Error(kErrConnection, trimmed(PQerrorMessage(conn)), "PostgreSQL");
}

} // namespace detail

using namespace detail;

struct SQLServer::Params {
    long loginTimeout = 30;
    std::string applicationName;
    bool loginSecure = false;
    std::string server;
    std::string login;
    std::string password;
    ServerAddress address;
    std::string maintenanceDb = "postgres";
};

std::shared_ptr<SQLServer> SQLServer::Create()
{
    std::shared_ptr<SQLServer> server(new SQLServer());
    server->m_params = std::make_unique<Params>();
    return server;
}

SQLServer::~SQLServer() { DisConnect(); }

void SQLServer::SetLoginTimeout(long seconds)
{
    std::lock_guard lock(m_mutex);
    if (seconds < 0)
        throw Error(kErrArgument, "the login time-out cannot be negative");
    m_params->loginTimeout = seconds;
}

long SQLServer::GetLoginTimeout() const
{
    std::lock_guard lock(m_mutex);
    return m_params->loginTimeout;
}

void SQLServer::SetApplicationName(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    m_params->applicationName = name;
}

std::string SQLServer::GetApplicationName() const
{
    std::lock_guard lock(m_mutex);
    return m_params->applicationName;
}

void SQLServer::SetLoginSecure(bool trusted)
{
    std::lock_guard lock(m_mutex);
    m_params->loginSecure = trusted;
}

bool SQLServer::GetLoginSecure() const
{
    std::lock_guard lock(m_mutex);
    return m_params->loginSecure;
}

PGconn* SQLServer::openConnection(const std::string& dbname, std::string& error) const
{
    const Params& p = *m_params;
    std::vector<const char*> keys, values;
    std::string port = std::to_string(p.address.port);
    std::string timeout = std::to_string(p.loginTimeout);
    auto add = [&](const char* k, const std::string& v) {
        keys.push_back(k);
        values.push_back(v.c_str());
    };
    if (!p.address.host.empty())
        add("host", p.address.host);
    add("port", port);
    add("dbname", dbname);
    if (!p.loginSecure) {
        add("user", p.login);
        add("password", p.password);
    }
    if (!p.applicationName.empty())
        add("application_name", p.applicationName);
    if (p.loginTimeout > 0)
        add("connect_timeout", timeout);
    static const std::string encoding = "UTF8", options = "-c DateStyle=ISO,YMD";
    add("client_encoding", encoding);
    add("options", options);
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (PQstatus(conn) != CONNECTION_OK) {
        error = trimmed(PQerrorMessage(conn));
        PQfinish(conn);
        return nullptr;
    }
    PQsetNoticeReceiver(conn, &SQLServer::receiveNotice, const_cast<SQLServer*>(this));
    return conn;
}

// libpq calls it inside the call that read the message, which holds the
// server's lock.
void SQLServer::receiveNotice(void* server, const PGresult* result)
{
    auto* self = static_cast<SQLServer*>(server);
    if (!self->m_noticeHandler) {
        std::fputs(PQresultErrorMessage(result), stderr);
        return;
    }
    // Nothing may be thrown back through libpq: a notice that cannot be
    // kept for want of memory is dropped.
    try {
        const char* severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
        std::string message = trimmed(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
        if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
            message += "\r\nDETAIL: " + trimmed(detail);
        if (const char* hint = PQresultErrorField(result, PG_DIAG_MESSAGE_HINT))
            message += "\r\nHINT: " + trimmed(hint);
        self->m_noticeHandler(severity ? severity : "NOTICE", message);
    } catch (...) {
    }
}

void SQLServer::SetNoticeHandler(NoticeHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_noticeHandler = std::move(handler);
}

void SQLServer::Connect(const std::string& server, const std::string& login, const std::string& password)
{
    std::lock_guard lock(m_mutex);
    DisConnect();
    m_params->server = server;
    m_params->login = login;
    m_params->password = password;
    m_params->address = ParseServerName(server);
    std::string error;
    PGconn* conn = openConnection("postgres", error);
    m_params->maintenanceDb = "postgres";
    if (!conn) {
        // A cluster without the postgres database still has template1.
        std::string ignored;
        conn = openConnection("template1", ignored);
        m_params->maintenanceDb = "template1";
    }
    if (!conn)
        throw Error(kErrConnection, error, "PostgreSQL");
    m_conn = conn;
    m_everConnected = true;
}

void SQLServer::DisConnect()
{
    std::lock_guard lock(m_mutex);
    for (auto& weak : m_handedOut)
        if (auto db = weak.lock())
            db->close();
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    m_answered.clear();
    m_databases.reset();
}

bool SQLServer::IsConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_conn != nullptr;
}

namespace {

// How long an answer to a probe vouches for a connection that shows no
// sign of trouble.
constexpr auto kProbeInterval = std::chrono::seconds(1);

// A server that ends a session (shutdown, a terminated backend) says so
// and closes the socket at once: on an idle connection any input at all,
// or a socket that cannot be asked, is reason to look closer.
bool inputWaiting(PGconn* conn)
{
    int fd = PQsocket(conn);
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) != 0;
}

} // namespace

bool SQLServer::alive(PGconn* conn)
{
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return false;
    auto now = std::chrono::steady_clock::now();
    auto status = PQtransactionStatus(conn);
    if ((status == PQTRANS_IDLE || status == PQTRANS_INTRANS) && !inputWaiting(conn))
        if (auto it = m_answered.find(conn); it != m_answered.end() && now - it->second < kProbeInterval)
            return true;
    PGresult* res = PQexec(conn, "SELECT 1");
    bool ok = PQresultStatus(res) == PGRES_TUPLES_OK;
    PQclear(res);
    if (ok)
        m_answered[conn] = now;
    else
        m_answered.erase(conn);
    return ok;
}

bool SQLServer::VerifyConnection(int type)
{
    std::lock_guard lock(m_mutex);
    if (type != 6)
        throw Error(kErrNotSupported, "not supported on PostgreSQL: connection check type " + std::to_string(type));
    if (!m_conn)
        return false;
    // A reconnect gives a fresh session: what an open transaction had done
    // is gone, so such a connection fails the check even when it comes back.
    auto inTransaction = [](PGconn* conn) {
        auto status = PQtransactionStatus(conn);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
    };
    bool ok = true;
    bool wasInTransaction = inTransaction(m_conn);
    if (!alive(m_conn)) {
        PQreset(m_conn);
        if (!alive(m_conn) || wasInTransaction)
            ok = false;
    }
    std::erase_if(m_handedOut, [](const auto& weak) { return weak.expired(); });
    for (auto& weak : m_handedOut) {
        auto db = weak.lock();
        if (!db || !db->m_conn)
            continue;
        wasInTransaction = inTransaction(db->m_conn);
        if (alive(db->m_conn))
            continue;
        PQreset(db->m_conn);
        if (!alive(db->m_conn)) {
            db->close(); // opened again on next use
            ok = false;
        } else if (wasInTransaction) {
            ok = false;
        }
    }
    std::erase_if(m_answered, [&](const auto& entry) {
        if (entry.first == m_conn)
            return false;
        for (auto& weak : m_handedOut)
            if (auto db = weak.lock(); db && db->m_conn == entry.first)
                return false;
        return true;
    });
    return ok;
}

PGconn* SQLServer::mainConnection()
{
    if (!m_conn)
        throw Error(kErrConnection, "not connected to a server");
    return m_conn;
}

std::string SQLServer::scalar(const std::string& sql)
{
    QueryResults results;
    runBatch(mainConnection(), sql, &results);
    if (results.ResultSets() < 1 || results.Rows() < 1)
        return {};
    return results.GetColumnString(1, 1);
}

int SQLServer::VersionMajor()
{
    std::lock_guard lock(m_mutex);
    return PQserverVersion(mainConnection()) / 10000;
}

int SQLServer::VersionMinor()
{
    std::lock_guard lock(m_mutex);
    return PQserverVersion(mainConnection()) % 10000;
}

std::string SQLServer::VersionString()
{
    std::lock_guard lock(m_mutex);
    return scalar("SELECT version()");
}

std::string SQLServer::NetName()
{
    std::lock_guard lock(m_mutex);
    PGconn* conn = mainConnection();
    if (m_params->address.local)
        return LocalComputerName();
    const char* host = PQhost(conn);
    return host ? host : "";
}

std::string SQLServer::InstanceName()
{
    std::lock_guard lock(m_mutex);
    mainConnection();
    return m_params->address.port == 5432 ? std::string() : std::to_string(m_params->address.port);
}

std::string SQLServer::ConnectionAddress()
{
    std::lock_guard lock(m_mutex);
    PGconn* conn = mainConnection();
    std::string host = PQhost(conn) ? PQhost(conn) : "";
    if (host.find(':') != std::string::npos && host.front() != '/')
        host = "[" + host + "]";
    return host + "\\" + (PQport(conn) && *PQport(conn) ? PQport(conn) : std::to_string(m_params->address.port));
}

std::string SQLServer::Login() const
{
    std::lock_guard lock(m_mutex);
    return m_params->login;
}

std::string SQLServer::Password() const
{
    std::lock_guard lock(m_mutex);
    return m_params->password;
}

std::string SQLServer::TrueLogin()
{
    std::lock_guard lock(m_mutex);
    return scalar("SELECT session_user");
}

bool SQLServer::IsSysAdmin()
{
    std::lock_guard lock(m_mutex);
    return scalar("SELECT rolsuper FROM pg_roles WHERE rolname = current_user") == "t";
}

std::string SQLServer::RootDirectory()
{
    std::lock_guard lock(m_mutex);
    if (!m_conn)
        return {};
    try {
        std::string data = scalar("SELECT current_setting('data_directory')");
        if (data.empty())
            return {};
        return std::filesystem::path(data).parent_path().string();
    } catch (const Error&) {
        return {};
    }
}

std::shared_ptr<QueryResults> SQLServer::ExecuteWithResults(const std::string& sql)
{
    std::lock_guard lock(m_mutex);
    auto results = std::make_shared<QueryResults>();
    runBatch(mainConnection(), sql, results.get());
    return results;
}

std::shared_ptr<Databases> SQLServer::GetDatabases()
{
    std::lock_guard lock(m_mutex);
    mainConnection();
    return std::shared_ptr<Databases>(new Databases(shared_from_this()));
}

void SQLServer::loadDatabases()
{
    QueryResults results;
    runBatch(mainConnection(),
             "SELECT oid, datname FROM pg_database WHERE datallowconn AND NOT datistemplate "
             "ORDER BY datname COLLATE \"C\"",
             &results);
    std::vector<DbRow> rows;
    for (int r = 1; r <= results.Rows(); ++r)
        rows.push_back({static_cast<std::uint32_t>(std::strtoul(results.GetColumnString(r, 1).c_str(), nullptr, 10)),
                        results.GetColumnString(r, 2)});
    m_databases = std::move(rows);
}

// ---------------------------------------------------------------------------

void Databases::Refresh()
{
    std::lock_guard lock(m_server->m_mutex);
    m_server->loadDatabases();
}

int Databases::Count()
{
    std::lock_guard lock(m_server->m_mutex);
    if (!m_server->m_databases)
        m_server->loadDatabases();
    return static_cast<int>(m_server->m_databases->size());
}

std::shared_ptr<Database> Databases::Item(int index)
{
    std::lock_guard lock(m_server->m_mutex);
    if (!m_server->m_databases)
        m_server->loadDatabases();
    const auto& list = *m_server->m_databases;
    if (index < 1 || static_cast<std::size_t>(index) > list.size())
        throw Error(kErrNotFound, "database '" + std::to_string(index) + "' not found");
    const auto& row = list[static_cast<std::size_t>(index) - 1];
    return object(row.oid, row.name);
}

std::shared_ptr<Database> Databases::Item(const std::string& name)
{
    std::lock_guard lock(m_server->m_mutex);
    if (!m_server->m_databases)
        m_server->loadDatabases();
    const auto& list = *m_server->m_databases;
    for (const auto& row : list)
        if (row.name == name)
            return object(row.oid, row.name);
    const SQLServer::DbRow* match = nullptr;
    for (const auto& row : list) {
        if (winapi::Utf8EqualNoCase(row.name, name)) {
            if (match)
                throw Error(kErrNotFound, "database '" + name + "' not found (the name is ambiguous)");
            match = &row;
        }
    }
    if (!match)
        throw Error(kErrNotFound, "database '" + name + "' not found");
    return object(match->oid, match->name);
}

std::shared_ptr<Database> Databases::object(std::uint32_t oid, const std::string& name)
{
    auto& handed = m_server->m_handedOut;
    std::erase_if(handed, [](const auto& weak) { return weak.expired(); });
    for (auto& weak : handed)
        if (auto db = weak.lock(); db && db->m_oid == oid) {
            db->m_name = name;
            return db;
        }
    std::shared_ptr<Database> db(new Database(m_server, oid, name));
    handed.push_back(db);
    return db;
}

// ---------------------------------------------------------------------------

Database::Database(std::shared_ptr<SQLServer> server, std::uint32_t oid, std::string name)
    : m_server(std::move(server)), m_oid(oid), m_name(std::move(name))
{
}

Database::~Database()
{
    std::lock_guard lock(m_server->m_mutex);
    close();
}

void Database::close()
{
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

PGconn* Database::connection()
{
    m_server->mainConnection();
    if (!m_conn) {
        std::string error;
        m_conn = m_server->openConnection(m_name, error);
        if (!m_conn)
            throw Error(kErrConnection, error, "PostgreSQL");
    }
    return m_conn;
}

void Database::ExecuteImmediate(const std::string& sql, int type)
{
    std::lock_guard lock(m_server->m_mutex);
    if (type & ~(1 | 16))
        throw Error(kErrNotSupported, "not supported on PostgreSQL: execution type " + std::to_string(type));
    runBatch(connection(), sql, nullptr);
}

bool Database::HasOpenTransaction()
{
    std::lock_guard lock(m_server->m_mutex);
    if (!m_conn)
        return false;
    auto status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

std::shared_ptr<QueryResults> Database::ExecuteWithResults(const std::string& sql)
{
    std::lock_guard lock(m_server->m_mutex);
    auto results = std::make_shared<QueryResults>();
    runBatch(connection(), sql, results.get());
    return results;
}

std::vector<std::pair<std::string, std::string>> SQLServer::ToolEnvironment() const
{
    std::lock_guard lock(m_mutex);
    const Params& p = *m_params;
    std::vector<std::pair<std::string, std::string>> env;
    if (!p.address.host.empty())
        env.emplace_back("PGHOST", p.address.host);
    env.emplace_back("PGPORT", std::to_string(p.address.port));
    if (!p.loginSecure) {
        env.emplace_back("PGUSER", p.login);
        env.emplace_back("PGPASSWORD", p.password);
    }
    env.emplace_back("PGAPPNAME", p.applicationName.empty() ? std::string("Dorvik") : p.applicationName);
    return env;
}

} // namespace dmo
