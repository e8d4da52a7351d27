#include "tests/setup/sandbox.h"

#include "winapi/process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kelm::test {

namespace fs = std::filesystem;

SetupSandbox::SetupSandbox()
{
    auto set = [this](const char* name, const fs::path& path) { ::setenv(name, path.c_str(), 1); };
    // unixODBC keeps the first ODBCSYSINI and ODBCINI it sees for the rest of
    // the process, so every sandbox of one process shares its ODBC folder and
    // starts with empty data-source files.
    static const TempDir odbcDir;
    static const bool odbcReady = [] {
        std::string drivers;
        if (const char* sys = std::getenv("ODBCSYSINI"); sys && fs::exists(fs::path(sys) / "odbcinst.ini"))
            drivers = readFile(fs::path(sys) / "odbcinst.ini");
        else
            drivers = "[PostgreSQL Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n\n"
                      "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
        odbcDir.write("odbcinst.ini", drivers);
        ::setenv("ODBCSYSINI", odbcDir.path().c_str(), 1);
        ::setenv("ODBCINI", (odbcDir / "user-odbc.ini").c_str(), 1);
        return true;
    }();
    (void)odbcReady;
    odbcDir.write("odbc.ini", "");
    odbcDir.write("user-odbc.ini", "");
    m_odbcFolder = odbcDir.path().string();
    set("WINAPI_REGISTRY_MACHINE", m_dir / "registry" / "machine");
    set("WINAPI_REGISTRY_USER", m_dir / "registry" / "user");
    set("WINAPI_PROGRAM_FILES", m_dir / "program-files");
    set("WINAPI_COMMON_PROGRAMS", m_dir / "applications");
    set("XDG_DOCUMENTS_DIR", m_dir / "documents");
    fs::create_directories(m_dir / "documents");
    fs::copy(fs::path(KELM_SOURCE_DIR) / "kits" / "demo" / "client", m_dir / "kit", fs::copy_options::recursive);
}

std::string SetupSandbox::InstallFolder() const
{
    return ProgramFiles() + "/Varnholt Inc/Orvo Server/CommonFiles/Kelm/Kelm Tarnwick/10.2.8.20";
}

std::string SetupSandbox::LogText() const
{
    auto path = m_dir / "documents" / "Varnholt Inc" / "Orvo Server" / "Orvo_App.log";
    return fs::exists(path) ? readFile(path) : std::string();
}

int SetupSandbox::Run(const std::vector<std::string>& argv)
{
    auto pid = winapi::Spawn(argv);
    if (!pid)
        return -1;
    return winapi::WaitProcess(*pid).value_or(-1);
}

void SetupSandbox::RegisterClient(const std::string& version) const
{
    EXPECT_EQ(Run({WINAPI_REG_TOOL, "set", "HKLM", "SOFTWARE\\Varnholt Inc\\Orvo Server\\ClientVersions\\" + version,
                   "Path_Ver", ClientFolder()}),
              0);
}

void SetupSandbox::WriteAppIni(const std::string& text) const
{
    std::ofstream(m_dir / "kit" / "App.ini", std::ios::trunc) << text;
}

} // namespace kelm::test
