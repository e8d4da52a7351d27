// A Kelm database of the test's own on either engine, created from the
// schema files of the demo kit.
#pragma once

#include "ado/ado.h"
#include "tests/common/kelmschema.h"
#include "tests/common/testsupport.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kelm::test {

class KelmDatabase {
public:
    KelmDatabase(Engine engine, const std::string& hint, bool withSchema = true);
    ~KelmDatabase();
    Engine engine() const { return m_engine; }
    // An ODBC connection string that reaches the database.
    const std::string& connString() const { return m_connString; }
    // The database file (SQLite) or the database name (PostgreSQL).
    std::string DatabaseName() const;
    ado::_ConnectionPtr Open() const;
    // Runs statements on a connection of its own (autocommit).
    void Exec(const std::string& sql) const;

private:
    Engine m_engine;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<PgDatabase> m_pg;
    std::filesystem::path m_file;
    std::string m_connString;
};

} // namespace kelm::test
