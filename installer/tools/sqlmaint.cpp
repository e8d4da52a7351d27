// sqlmaint: the database maintenance a scheduled job step runs. It checks a
// database, backs it up to a folder, verifies the backup, deletes old
// backups and rebuilds indexes, through PostgreSQL's own programs.
//
// Exit status: 0 every action succeeded, 1 one failed, 2 bad command line.
#include "dmo/address.h"
#include "dmo/error.h"
#include "dmo/tools.h"

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string server, login, password, database;
    bool check = false, onlyIfClean = false, verify = false, reindex = false;
    std::string backupFolder, media = "DISK", extension = "BAK", deleteOlder;
};

int usage(const std::string& why)
{
    std::cerr << "sqlmaint: " << why << "\n"
              << "usage: sqlmaint -S server [-U login -P password] -D database [-CkDB] [-BkUpDB folder "
                 "[-BkUpMedia DISK] [-BkExt ext] [-BkUpOnlyIfClean] [-VrfyBackup] [-DelBkUps <n>MINUTES|HOURS|"
                 "DAYS|WEEKS|MONTHS]] [-RebldIdx n]\n";
    return 2;
}

// "4WEEKS" as seconds; 0 when it is not such a text.
long long ageSeconds(const std::string& text)
{
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits == 0 || digits > 9)
        return 0;
    long long n = std::stoll(text.substr(0, digits));
    std::string unit = text.substr(digits);
    for (auto& c : unit)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (unit == "MINUTES")
        return n * 60;
    if (unit == "HOURS")
        return n * 3600;
    if (unit == "DAYS")
        return n * 86400;
    if (unit == "WEEKS")
        return n * 7 * 86400;
    if (unit == "MONTHS")
        return n * 30 * 86400;
    return 0;
}

class Maintenance {
public:
    explicit Maintenance(const Options& o) : m_o(o)
    {
        dmo::ServerAddress address = dmo::ParseServerName(o.server);
        if (!address.host.empty())
            m_env.emplace_back("PGHOST", address.host);
        m_env.emplace_back("PGPORT", std::to_string(address.port));
        m_env.emplace_back("PGAPPNAME", "sqlmaint");
        if (!o.login.empty()) {
            m_env.emplace_back("PGUSER", o.login);
            m_env.emplace_back("PGPASSWORD", o.password);
        }
    }

    bool run(const std::string& what, const std::vector<std::string>& argv, int out = -1)
    {
        std::cout << "[" << timestamp() << "] " << what << " ..." << std::endl;
        dmo::ToolRun result = dmo::RunTool(argv, m_env, out);
        bool ok = result.exitStatus == 0;
        std::cout << "[" << timestamp() << "] " << what << (ok ? " : OK" : " : FAILED") << std::endl;
        if (!ok)
            std::cout << "  " << argv[0] << " exit status " << result.exitStatus
                      << (result.errorText.empty() ? "" : "\n  " + result.errorText) << std::endl;
        return ok;
    }

    bool check()
    {
        return run("Integrity check of database '" + m_o.database + "'",
                   {dmo::FindPgTool("pg_amcheck"), "--install-missing", "--", dmo::DbnameArgument(m_o.database)});
    }

    bool backup(std::string& file)
    {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &tm);
        file = (fs::path(m_o.backupFolder) / (m_o.database + "_db_" + stamp + "." + m_o.extension)).string();
        return run("Backup of database '" + m_o.database + "' to " + file,
                   {dmo::FindPgTool("pg_dump"), "--format=custom", "--file=" + file, "--dbname=" + dmo::DbnameArgument(m_o.database)});
    }

    bool verify(const std::string& file)
    {
        return run("Verification of " + file, {dmo::FindPgTool("pg_restore"), "--file=/dev/null", file});
    }

    // Backups of this database older than the age, by modification time.
    bool deleteOld(const std::string& keep)
    {
        long long age = ageSeconds(m_o.deleteOlder);
        auto limit = fs::file_time_type::clock::now() - std::chrono::seconds(age);
        std::string prefix = m_o.database + "_db_", suffix = "." + m_o.extension;
        bool ok = true;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(m_o.backupFolder, ec)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + suffix.size() ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 || entry.path() == keep)
                continue;
            std::error_code timeError;
            auto written = entry.last_write_time(timeError);
            if (timeError || written >= limit)
                continue;
            std::error_code removeError;
            fs::remove(entry.path(), removeError);
            std::cout << "Old backup " << entry.path().string()
                      << (removeError ? " : not deleted: " + removeError.message() : " : deleted") << std::endl;
            ok = ok && !removeError;
        }
        if (ec) {
            std::cout << "Old backups in " << m_o.backupFolder << " : " << ec.message() << std::endl;
            return false;
        }
        return ok;
    }

    bool reindex()
    {
        return run("Index rebuild of database '" + m_o.database + "'",
                   {dmo::FindPgTool("reindexdb"), "--dbname=" + dmo::DbnameArgument(m_o.database)});
    }

private:
    static std::string timestamp()
    {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
        return text;
    }

    const Options& m_o;
    std::vector<std::pair<std::string, std::string>> m_env;
};

} // namespace

int main(int argc, char** argv)
{
    Options o;
    bool backup = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        bool ok = true;
        if (a == "-S")
            ok = value(o.server);
        else if (a == "-U")
            ok = value(o.login);
        else if (a == "-P") {
            ok = value(o.password);
            if (ok)
                std::memset(argv[i], 'x', std::strlen(argv[i])); // not left in the process list
        } else if (a == "-D")
            ok = value(o.database);
        else if (a == "-CkDB")
            o.check = true;
        else if (a == "-BkUpDB") {
            ok = value(o.backupFolder);
            backup = true;
        } else if (a == "-BkUpMedia")
            ok = value(o.media);
        else if (a == "-BkExt")
            ok = value(o.extension);
        else if (a == "-BkUpOnlyIfClean")
            o.onlyIfClean = true;
        else if (a == "-VrfyBackup")
            o.verify = true;
        else if (a == "-DelBkUps")
            ok = value(o.deleteOlder);
        else if (a == "-RebldIdx") {
            std::string ignored; // each index keeps its own fill factor
            ok = value(ignored);
            o.reindex = true;
        } else
            return usage("unknown switch " + a);
        if (!ok)
            return usage("a value is missing after " + a);
    }
    if (o.database.empty())
        return usage("no database (-D)");
    if (backup && o.media != "DISK")
        return usage("backup media " + o.media + " is not supported (DISK only)");
    if (backup && o.backupFolder.empty())
        return usage("no backup folder (-BkUpDB)");
    if (!o.deleteOlder.empty() && ageSeconds(o.deleteOlder) <= 0)
        return usage("bad age for -DelBkUps: " + o.deleteOlder);
    if (o.extension.empty() || o.extension.find('/') != std::string::npos)
        return usage("bad backup extension " + o.extension);

    try {
        Maintenance m(o);
        bool ok = true, clean = true;
        if (o.check || (backup && o.onlyIfClean))
            ok = clean = m.check();
        if (backup) {
            if (o.onlyIfClean && !clean) {
                std::cout << "Backup skipped: the integrity check failed" << std::endl;
            } else {
                std::string file;
                bool saved = m.backup(file);
                if (saved && o.verify)
                    saved = m.verify(file);
                if (saved && !o.deleteOlder.empty())
                    saved = m.deleteOld(file);
                ok = ok && saved;
            }
        }
        if (o.reindex)
            ok = m.reindex() && ok;
        return ok ? 0 : 1;
    } catch (const dmo::Error& e) {
        return usage(e.description);
    }
}
