// The chart fixture's statements (the shared script reader, kelmschema.h).
#pragma once

#include "tests/common/kelmschema.h"

#include <string>
#include <vector>

namespace kelm::test {

inline std::vector<std::string> FixtureStatements(const std::string& file) { return SqlFileStatements(file); }

} // namespace kelm::test
