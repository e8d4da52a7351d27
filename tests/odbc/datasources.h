// Data sources of a test's own: the machine's drivers, the test's system
// and user odbc.ini files in a temporary folder. Must be in place before the
// first ODBC call of the process.
#pragma once

#include "tests/common/testsupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline void UseOwnDataSources(const kelm::test::TempDir& dir, const std::string& systemIni, const std::string& userIni)
{
    std::ifstream drivers("/etc/odbcinst.ini");
    std::stringstream text;
    text << drivers.rdbuf();
    dir.write("odbcinst.ini", text.str());
    dir.write("odbc.ini", systemIni);
    setenv("ODBCSYSINI", dir.path().c_str(), 1);
    setenv("ODBCINI", dir.write("user.ini", userIni).c_str(), 1);
}
