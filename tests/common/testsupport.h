// What the tests share: temporary folders, a fresh PostgreSQL database on the
// cluster that ./test.sh starts, and ODBC connection strings for both engines.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelm::test {

// A new empty folder under $TMPDIR, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // Writes a file (binary, exactly these bytes) and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& path);

// Runs `command` through the shell and returns what it wrote to its standard
// output (empty when it cannot be started).
std::string ShellOutput(const std::string& command);

// The process's environment with `overrides` ("NAME=value") in place of the
// variables of those names, null-terminated as posix_spawn takes it. The
// strings stay those of the environment and of `overrides`.
std::vector<char*> EnvironmentWith(std::vector<std::string>& overrides);

// Sets and removes environment variables for one test and puts the old
// values back, last change first, at its end.
class ScopedEnv {
public:
    void set(const char* name, const std::string& value);
    void unset(const char* name);
    ~ScopedEnv();

private:
    void remember(const char* name);
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Runs `body` in a child process that is not root: when the tests run as
// root (./test.sh in CI does), `tree` (when given) and all below it are
// handed to the user nobody and the child becomes that user first. Returns what the body
// returned, or a text saying how the child failed.
std::string RunUnprivileged(const std::filesystem::path& tree, const std::function<std::string()>& body);

// Skips the calling test when the PostgreSQL cluster is not there, unless
// KELM_REQUIRE_SERVICES is set (./test.sh sets it), in which case it fails.
#define KELM_REQUIRE_PG()                                                      \
    do {                                                                       \
        if (!::kelm::test::PgAvailable()) {                                    \
            if (::kelm::test::ServicesRequired())                              \
                FAIL() << "PostgreSQL test cluster not running (KELM_PG_PORT)"; \
            GTEST_SKIP() << "PostgreSQL test cluster not running";             \
        }                                                                      \
    } while (0)

bool PgAvailable();
bool ServicesRequired();
std::string PgHost();   // socket folder of the test cluster
std::string PgPort();
std::string PgUser();   // the role tests connect as (the current user)

// A database of its own for one test, created empty and dropped at the end.
// Tests run in parallel, so each makes its own; the name is made unique.
class PgDatabase {
public:
    explicit PgDatabase(const std::string& hint);
    ~PgDatabase();
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;

    const std::string& name() const { return m_name; }
    // libpq connection string ("host=... port=... dbname=...").
    std::string libpqConnInfo() const;
    // ODBC connection string through the PostgreSQL Unicode driver.
    std::string odbcConnString() const;
    // Runs SQL through libpq; throws std::runtime_error on failure.
    void exec(const std::string& sql) const;
    // Runs `COPY ... TO STDOUT` through libpq and returns the bytes it wrote,
    // as a kit's bulk file would hold them; throws when the copy does not start.
    std::string copyOut(const std::string& copy) const;

private:
    std::string m_name;
};

// Runs SQL on the maintenance database (postgres); throws on failure.
void PgAdminExec(const std::string& sql);

// ODBC connection string for an SQLite database file.
std::string SqliteConnString(const std::filesystem::path& file);

// What the recordset tests add to a PostgreSQL connection string: cursors
// that can update, and booleans as booleans.
inline const std::string kPgRecordsetOptions = "UpdatableCursors=1;BoolsAsChar=0;";

// A fresh database on one of the two ODBC engines: a PostgreSQL database of
// its own, or an SQLite file in a temporary folder.
class EngineDatabase {
public:
    // `pgOptions` are added to the PostgreSQL connection string.
    EngineDatabase(bool pg, const std::string& hint, const std::string& pgOptions = {});
    bool pg() const { return m_pg != nullptr; }
    const PgDatabase& pgDatabase() const { return *m_pg; }
    const std::string& connect() const { return m_connect; }

private:
    std::unique_ptr<PgDatabase> m_pg;
    std::unique_ptr<TempDir> m_dir;
    std::string m_connect;
};

} // namespace kelm::test
