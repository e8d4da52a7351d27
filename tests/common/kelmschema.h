// The Kelm database the chart, tree and catalogue tests build: the two
// engines a suite runs on, the demo kit's schema script of each and the
// fixtures written as SQL scripts (tests/charts/fixtures/chartdb_chart.sql,
// the chart and catalogue the trees show). Read by the tests' database
// classes (tests/common/kelmdb.h, tests/charts/workflow_support.h) and by the
// chart benchmarks, so header-only.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelm::test {

// The engines a database suite runs on, one instance per engine:
//   INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
//                            [](const auto& info) { return EngineName(info.param); });
enum class Engine { SQLite, PostgreSQL };

inline std::string EngineName(Engine engine) { return engine == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

// The statements of an SQL script: each ends with the ';' that ends a line
// (the ';' is left out), lines that start with "--" are passed over.
inline std::vector<std::string> SqlScriptStatements(const std::string& text)
{
    std::vector<std::string> statements;
    std::istringstream lines(text);
    std::string current;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("--", 0) == 0 || (current.empty() && line.empty()))
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

// The same of a script file; throws when it cannot be read.
inline std::vector<std::string> SqlFileStatements(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return SqlScriptStatements(text.str());
}

// The demo kit's schema script for the engine, under the source tree.
inline std::filesystem::path SchemaFile(const std::filesystem::path& sourceDir, Engine engine)
{
    return sourceDir / "kits/demo/schema" / (engine == Engine::SQLite ? "sqlite.sql" : "postgresql.sql");
}

// The chart fixture the chart and tree tests share, under the source tree.
inline std::filesystem::path ChartFixtureFile(const std::filesystem::path& sourceDir)
{
    return sourceDir / "tests/charts/fixtures/chartdb_chart.sql";
}

} // namespace kelm::test
