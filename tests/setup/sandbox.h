// A sandbox for setup and uninstall: every folder, the registry roots and
// the ODBC files the programs touch are moved into a temporary folder, and
// the demo client kit is copied there.
#pragma once

#include "tests/common/testsupport.h"

#include <string>
#include <vector>

namespace kelm::test {

class SetupSandbox {
public:
    SetupSandbox();

    const TempDir& Dir() const { return m_dir; }
    std::string Kit() const { return (m_dir / "kit").string(); }
    std::string ProgramFiles() const { return (m_dir / "program-files").string(); }
    std::string Applications() const { return (m_dir / "applications").string(); }
    std::string ClientFolder() const { return (m_dir / "kit" / "orvo-client").string(); }
    // The demo kit's default installation folder and program group.
    std::string InstallFolder() const;
    std::string Group() const { return Applications() + "/Kelm Tarnwick"; }
    std::string LogText() const;
    std::string OdbcIni() const { return readFile(m_odbcFolder + "/odbc.ini"); }

    // Runs a program to its end; its exit status (-1 when it did not start).
    static int Run(const std::vector<std::string>& argv);
    // Registers the client part's folder as the outside installation would.
    void RegisterClient(const std::string& version = "1.0") const;
    void WriteAppIni(const std::string& text) const;

private:
    TempDir m_dir;
    std::string m_odbcFolder;
};

} // namespace kelm::test
