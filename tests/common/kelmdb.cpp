#include "tests/common/kelmdb.h"

#include <filesystem>

namespace kelm::test {

KelmDatabase::KelmDatabase(Engine engine, const std::string& hint, bool withSchema) : m_engine(engine)
{
    if (engine == Engine::SQLite) {
        m_dir = std::make_unique<TempDir>();
        m_file = m_dir->path() / (hint + ".db");
        m_connString = SqliteConnString(m_file);
    } else {
        m_pg = std::make_unique<PgDatabase>(hint);
        m_connString = m_pg->odbcConnString();
    }
    if (withSchema) {
        auto connection = Open();
        for (const auto& statement : SqlFileStatements(SchemaFile(KELM_SOURCE_DIR, engine)))
            connection->Execute(statement);
        connection->Close();
    }
}

KelmDatabase::~KelmDatabase() = default;

std::string KelmDatabase::DatabaseName() const { return m_pg ? m_pg->name() : m_file.string(); }

ado::_ConnectionPtr KelmDatabase::Open() const
{
    ado::_ConnectionPtr connection;
    connection.CreateInstance("ADODB.Connection");
    connection->Open(m_connString, "", "", -1);
    return connection;
}

void KelmDatabase::Exec(const std::string& sql) const
{
    auto connection = Open();
    connection->Execute(sql);
    connection->Close();
}

} // namespace kelm::test
