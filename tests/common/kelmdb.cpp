#include "kelmdb.h"

#include <filesystem>

namespace kelm::test {

std::string EngineName(Engine engine) { return engine == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

std::vector<std::string> SchemaStatements(const std::string& file)
{
    std::string text = readFile(std::filesystem::path(KELM_SOURCE_DIR) / "kits/demo/schema" / file);
    std::vector<std::string> statements;
    std::string current;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (line.rfind("--", 0) == 0)
            continue;
        current += line + "\n";
        if (!line.empty() && line.back() == ';') {
            current.erase(current.find_last_of(';'));
            statements.push_back(current);
            current.clear();
        }
    }
    return statements;
}

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
        for (const auto& statement : SchemaStatements(engine == Engine::SQLite ? "sqlite.sql" : "postgresql.sql"))
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
