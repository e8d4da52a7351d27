// The chart fixture's statements, one per line of the file.
#pragma once

#include "testsupport.h"

#include <sstream>
#include <string>
#include <vector>

namespace kelm::test {

inline std::vector<std::string> FixtureStatements(const std::string& file)
{
    std::vector<std::string> statements;
    std::istringstream lines(readFile(file));
    std::string line, current;
    while (std::getline(lines, line)) {
        if (line.rfind("--", 0) == 0 || line.empty())
            continue;
        current += line + "\n";
        if (line.back() == ';') {
            statements.push_back(current);
            current.clear();
        }
    }
    return statements;
}

} // namespace kelm::test
