// The server object model Dorvik administers its server through, on
// PostgreSQL: the server with its connection, versions and login facts, its
// databases, and the statements run on them with their results.
//
// Objects are held by shared_ptr (the reference count). A database object
// keeps its server alive; the server closes every connection at DisConnect
// or when the last reference goes. Every member takes the server's lock, so
// an accidental overlap of threads serialises instead of corrupting a
// connection.
#pragma once

#include "dmo/error.h"
#include "dmo/names.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace dmo {

class Database;
class Databases;
class QueryResults;
class Tables;
class Views;
class StoredProcedures;
class RoutineGroup;
class JobServer;
namespace detail {
struct Access;
struct Catalog;
}

// The library's own version; there is no separate client library to ask.
struct Application {
    static constexpr int VersionMajor = 8;
    static constexpr int VersionMinor = 0;
    static constexpr int VersionBuild = 0;
};

// Path of the module that holds this layer.
std::string GetModulePath();

class SQLServer : public std::enable_shared_from_this<SQLServer> {
public:
    static std::shared_ptr<SQLServer> Create();
    ~SQLServer();
    SQLServer(const SQLServer&) = delete;
    SQLServer& operator=(const SQLServer&) = delete;

    void SetLoginTimeout(long seconds);
    long GetLoginTimeout() const;
    void SetApplicationName(const std::string& name);
    std::string GetApplicationName() const;
    void SetLoginSecure(bool trusted);
    bool GetLoginSecure() const;

    // Returns connected or throws Error (connection category); an earlier
    // connection is closed first.
    void Connect(const std::string& server, const std::string& login, const std::string& password);
    void DisConnect();
    bool IsConnected() const;
    // Type 6: reconnect when dead. False when never connected or when a
    // reconnect fails; never throws for a lost server. A connection that
    // answered a probe less than a second ago, is idle or inside a healthy
    // transaction and has nothing waiting on its socket is taken as good
    // without a round trip; anything else is probed with a statement.
    bool VerifyConnection(int type);

    int VersionMajor();
    int VersionMinor();
    std::string VersionString();
    std::string NetName();
    std::string InstanceName();
    // This server as a name Connect reads wherever on this host it is read,
    // whatever PGHOST says there: the socket folder or host the connection
    // uses, "\" and its port. For programs the server starts, such as the
    // steps of scheduled jobs.
    std::string ConnectionAddress();
    std::string Login() const;
    std::string Password() const;
    std::string TrueLogin();
    bool IsSysAdmin();
    // The parent of the data folder; "" when it cannot be read.
    std::string RootDirectory();

    std::shared_ptr<QueryResults> ExecuteWithResults(const std::string& sql);
    std::shared_ptr<Databases> GetDatabases();
    // What PostgreSQL's client programs need to reach this server as this
    // login: PGHOST, PGPORT, PGUSER, PGPASSWORD, PGAPPNAME (for their
    // environment, never their command line).
    std::vector<std::pair<std::string, std::string>> ToolEnvironment() const;
    // Null when the pgagent extension (schema version 4) is missing from
    // the maintenance database, or the login may not write its tables.
    std::shared_ptr<JobServer> GetJobServer();

    // What the server says beside results (a NOTICE such as "... does not
    // exist, skipping", a WARNING) on any connection of this server goes
    // to the handler while one is set, on the thread whose call received
    // it; without one, to stderr. `severity` is the server's own word.
    using NoticeHandler = std::function<void(const std::string& severity, const std::string& message)>;
    void SetNoticeHandler(NoticeHandler handler);

private:
    friend struct detail::Access;
    friend class Database;
    friend class Databases;
    SQLServer() = default;

    struct Params;
    std::string conninfoValue(const std::string& value) const;
    PGconn* openConnection(const std::string& dbname, std::string& error) const;
    static void receiveNotice(void* server, const PGresult* result);
    PGconn* mainConnection();
    std::string scalar(const std::string& sql);
    bool alive(PGconn* conn);
    void loadDatabases();

    mutable std::recursive_mutex m_mutex;
    std::unique_ptr<Params> m_params;
    PGconn* m_conn = nullptr;
    bool m_everConnected = false;
    struct DbRow {
        std::uint32_t oid;
        std::string name;
    };
    std::optional<std::vector<DbRow>> m_databases;
    std::vector<std::weak_ptr<Database>> m_handedOut;
    // When each connection last answered a probe.
    std::map<PGconn*, std::chrono::steady_clock::time_point> m_answered;
    NoticeHandler m_noticeHandler;
};

class Databases {
public:
    void Refresh();
    int Count();
    // 1-based; out of range throws Error (not found).
    std::shared_ptr<Database> Item(int index);
    // Exact name first, then a unique match without regard to case.
    std::shared_ptr<Database> Item(const std::string& name);

private:
    friend class SQLServer;
    explicit Databases(std::shared_ptr<SQLServer> server) : m_server(std::move(server)) {}
    std::shared_ptr<Database> object(std::uint32_t oid, const std::string& name);
    std::shared_ptr<SQLServer> m_server;
};

class Database : public std::enable_shared_from_this<Database> {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    std::string Name() const { return m_name; }
    std::uint32_t Oid() const { return m_oid; }

    // Runs a batch as it is given. Type 0 (default) or 16 (quoted
    // identifiers, always on here), with bit 1 (no command terminator)
    // allowed; anything else is not supported.
    void ExecuteImmediate(const std::string& sql, int type = 0);
    // Every statement of the batch that returns rows gives one result set.
    std::shared_ptr<QueryResults> ExecuteWithResults(const std::string& sql);

    // The one table a user's or kit's name means: unqualified, the exact
    // name first in the search path, then in exactly one schema, then a
    // unique match without regard to case; qualified, the same within the
    // schema. Ordinary and partitioned tables only. Throws Error (not found)
    // when none or several fit.
    TableRef ResolveTable(const std::string& name);

    // Loads one bulk file into a table in one transaction: triggers and
    // foreign-key checks off, the table optionally emptied first (identity
    // restarted), COPY in binary format when the file has PostgreSQL's
    // binary signature and in text format otherwise, then every identity
    // and serial sequence moved past the loaded values. Any failure rolls
    // the file back. Returns the rows loaded. `truncated` is called once the
    // table is empty, before the rows go in.
    std::uint64_t BulkLoad(const std::string& table, const std::string& path, bool truncateFirst,
                           const std::function<void()>& truncated = {});

    std::shared_ptr<Tables> GetTables();
    std::shared_ptr<Views> GetViews();
    std::shared_ptr<StoredProcedures> GetStoredProcedures();
    // Type 4096: the user function group of that name in schema `owner`
    // (every overload).
    std::shared_ptr<RoutineGroup> GetObjectByName(const std::string& name, int type, const std::string& owner);
    // The folder of the database's files ("PRIMARY" only) and of the
    // write-ahead log; "" when unreadable. Informational.
    std::string PrimaryFilePhysicalName(const std::string& fileGroup);
    std::string LogFilePhysicalName();
    // Drops the database after closing this layer's connections to it; a
    // database in use fails (55006).
    void Remove();
    // True while a transaction that a batch began is open on this layer's
    // connection to the database.
    bool HasOpenTransaction();

private:
    friend struct detail::Access;
    friend class Databases;
    friend class SQLServer;
    Database(std::shared_ptr<SQLServer> server, std::uint32_t oid, std::string name);
    PGconn* connection();
    void close();

    std::shared_ptr<SQLServer> m_server;
    std::uint32_t m_oid;
    std::string m_name;
    PGconn* m_conn = nullptr;
    std::shared_ptr<detail::Catalog> m_catalog;
};

class QueryResults {
public:
    int ResultSets() const;
    int GetCurrentResultSet() const { return m_current; }
    // 1..ResultSets; 0 is accepted when there are none.
    void SetCurrentResultSet(int set);
    int Rows() const;
    int Columns() const;
    // Rows and columns count from 1. NULL reads as 0, "" and no bytes.
    std::int32_t GetColumnLong(int row, int column) const;
    std::string GetColumnString(int row, int column) const;
    std::vector<std::uint8_t> GetColumnBinary(int row, int column) const;
    long GetColumnBinaryLength(int row, int column) const;

    struct Set {
        std::vector<std::uint32_t> types; // type OIDs of the columns
        std::vector<std::vector<std::optional<std::string>>> rows;
    };
    void AddSet(Set set);

private:
    const std::optional<std::string>& cell(int row, int column) const;
    std::vector<Set> m_sets;
    int m_current = 0;
};

} // namespace dmo
