#include "dmo/restore.h"

#include "dmo/catalog.h"
#include "dmo/quote.h"
#include "dmo/tools.h"
#include "winapi/text.h"

#include <libpq-fe.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace dmo {

using namespace detail;

namespace fs = std::filesystem;

namespace {

// The server keeps a list setting as one text of names, quoted where needed;
// set again as one literal it would become a single name.
bool IsListSetting(const std::string& name)
{
    for (const char* list : {"search_path", "temp_tablespaces", "local_preload_libraries",
                             "session_preload_libraries", "shared_preload_libraries", "unix_socket_directories"})
        if (name == list)
            return true;
    return false;
}

std::string SettingValue(const std::string& name, const std::string& text)
{
    if (!IsListSetting(name))
        return QuoteLiteral(text);
    std::string value, item;
    bool quoted = false;
    auto flush = [&] {
        value += (value.empty() ? "" : ", ") + QuoteLiteral(item);
        item.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c != '"')
                item += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                item += text[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            flush();
        } else if (c != ' ') {
            item += c;
        }
    }
    flush();
    return value;
}

} // namespace

Restore::Format Restore::Detect(const std::string& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        if (fs::is_regular_file(fs::path(path) / "toc.dat", ec))
            return Format::Directory;
        throw Error(kErrFile, path + ": a folder without toc.dat is not a dump");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(kErrFile, path + ": " + std::strerror(errno));
    char head[262] = {};
    in.read(head, sizeof head);
    std::streamsize got = in.gcount();
    if (got >= 5 && std::memcmp(head, "PGDMP", 5) == 0)
        return Format::Custom;
    if (got >= 262 && std::memcmp(head + 257, "ustar", 5) == 0)
        return Format::Tar;
    return Format::Plain;
}

namespace {

std::string toolFailure(const std::string& tool, const ToolRun& run)
{
    return tool + " failed (exit status " + std::to_string(run.exitStatus) + ")" +
           (run.errorText.empty() ? "" : ": " + run.errorText);
}

// The databases a restore makes beside the one it replaces: the new
// content while it is restored ("restore"), the old one while it is
// dropped ("replaced"). Named after the process and the database, within
// 63 bytes, so that a later restore of the same database finds them.
std::string leftoverName(const char* kind, const std::string& pid, const std::string& database)
{
    std::string prefix = std::string("kelm_") + kind + "_" + pid + "_";
    return prefix + database.substr(0, winapi::Utf8CutBytes(database, 63 - prefix.size()));
}

// What a killed or failed restore of `database` left behind; one that a
// session still uses (a restore under way elsewhere) stays.
void dropLeftovers(PGconn* conn, const std::string& database)
{
    auto names = ExecParams(conn, "SELECT datname, substring(datname FROM '^kelm_(restore|replaced)_'), "
                                  "substring(datname FROM '^kelm_[a-z]+_([0-9]+)_') FROM pg_database "
                                  "WHERE datname ~ '^kelm_(restore|replaced)_[0-9]+_'");
    for (const auto& row : names.rows) {
        if (!row[1] || !row[2] || *row[0] != leftoverName(row[1]->c_str(), *row[2], database))
            continue;
        try {
            runBatch(conn, "DROP DATABASE " + QuoteIdent(*row[0]), nullptr);
        } catch (const Error&) {
            // In use (55006): its restore may still be running.
        }
    }
}

} // namespace

std::shared_ptr<QueryResults> Restore::ReadFileList(SQLServer& server)
{
    Format format = Detect(Files);
    std::string name = fs::path(Files).stem().string();
    if (format != Format::Plain) {
        char listing[] = "/tmp/kelm-restore-list-XXXXXX";
        int fd = ::mkstemp(listing);
        if (fd < 0)
            throw Error(kErrFile, std::string("a temporary file: ") + std::strerror(errno));
        ToolRun run = RunTool({FindPgTool("pg_restore"), "--list", Files}, server.ToolEnvironment(), fd);
        ::close(fd);
        std::ifstream in(listing);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind(";     dbname: ", 0) == 0)
                name = line.substr(std::strlen(";     dbname: "));
        ::unlink(listing);
        if (run.exitStatus != 0)
            throw Error(kErrTool, toolFailure("pg_restore --list", run));
    }
    QueryResults::Set set;
    set.types = {25, 25, 25, 25};
    set.rows.push_back({name + "_Data", std::string(), std::string("D"), std::string("PRIMARY")});
    set.rows.push_back({name + "_Log", std::string(), std::string("L"), std::string()});
    auto results = std::make_shared<QueryResults>();
    results->AddSet(std::move(set));
    return results;
}

bool Restore::SQLRestore(SQLServer& server)
{
    if (!ReplaceDatabase)
        throw Error(kErrNotSupported, "not supported on PostgreSQL: a restore that does not replace the database");
    Format format = Detect(Files);
    std::lock_guard lock(Access::mutex(server));
    auto databases = server.GetDatabases();
    databases->Refresh();
    auto db = databases->Item(Database);
    PGconn* conn = Access::serverConnection(server);
    std::string oid = std::to_string(db->Oid());
    dropLeftovers(conn, db->Name());
    if (!CheckWhole(Files, format, Cancelled))
        return false;

    auto props = ExecParams(conn,
                            "SELECT r.rolname, pg_encoding_to_char(d.encoding), d.datcollate, d.datctype, "
                            "d.datlocprovider, d.daticulocale, t.spcname, d.datconnlimit, d.datacl IS NOT NULL "
                            "FROM pg_database d JOIN pg_roles r ON r.oid = d.datdba "
                            "JOIN pg_tablespace t ON t.oid = d.dattablespace WHERE d.oid = $1",
                            {oid});
    if (props.rows.empty())
        throw Error(kErrNotFound, "database '" + Database + "' not found");
    const auto& p = props.rows[0];
    std::string pid = std::to_string(::getpid());
    std::string scratch = leftoverName("restore", pid, db->Name());
    std::string replaced = leftoverName("replaced", pid, db->Name());
    std::string create = "CREATE DATABASE " + QuoteIdent(scratch) + " WITH OWNER " + QuoteIdent(*p[0]) +
                         " TEMPLATE template0 ENCODING " + QuoteLiteral(*p[1]) + " LC_COLLATE " +
                         QuoteLiteral(*p[2]) + " LC_CTYPE " + QuoteLiteral(*p[3]);
    if (*p[4] == "i")
        create += " LOCALE_PROVIDER icu ICU_LOCALE " + QuoteLiteral(p[5].value_or(""));
    create += " TABLESPACE " + QuoteIdent(*p[6]) + " CONNECTION LIMIT " + *p[7];

    // Grants and settings go onto the new database; they stay with it when
    // it takes the old name.
    std::string target = QuoteIdent(scratch);
    std::vector<std::string> after;
    if (*p[8] == "t") {
        after.push_back("REVOKE ALL ON DATABASE " + target + " FROM PUBLIC");
        auto grants = ExecParams(conn,
                                 "SELECT x.grantee = 0, r.rolname, x.privilege_type, x.is_grantable "
                                 "FROM pg_database d CROSS JOIN LATERAL aclexplode(d.datacl) x "
                                 "LEFT JOIN pg_roles r ON r.oid = x.grantee "
                                 "WHERE d.oid = $1 AND x.grantee <> d.datdba",
                                 {oid});
        for (const auto& g : grants.rows)
            if (*g[0] == "t" || g[1])
                after.push_back("GRANT " + *g[2] + " ON DATABASE " + target + " TO " +
                                (*g[0] == "t" ? std::string("PUBLIC") : QuoteIdent(*g[1])) +
                                (*g[3] == "t" ? " WITH GRANT OPTION" : ""));
    }
    auto settings = ExecParams(conn,
                               "SELECT r.rolname, split_part(c, '=', 1), substr(c, strpos(c, '=') + 1) "
                               "FROM pg_db_role_setting s CROSS JOIN LATERAL unnest(s.setconfig) c "
                               "LEFT JOIN pg_roles r ON r.oid = s.setrole WHERE s.setdatabase = $1",
                               {oid});
    for (const auto& s : settings.rows)
        after.push_back((s[0] ? "ALTER ROLE " + QuoteIdent(*s[0]) + " IN DATABASE " + target
                              : "ALTER DATABASE " + target) +
                        " SET " + QuoteIdent(*s[1]) + " = " + SettingValue(*s[1], *s[2]));

    runBatch(conn, create, nullptr);
    // The new database is this run's own: a session the ended tool left on
    // it is ended with it.
    auto dropScratch = [&] {
        try {
            runBatch(conn, "DROP DATABASE IF EXISTS " + QuoteIdent(scratch) + " WITH (FORCE)", nullptr);
        } catch (const Error&) {
            // The failure being reported matters more; the next restore of
            // this database drops what is left.
        }
    };
    try {
        for (const auto& statement : after)
            runBatch(conn, statement, nullptr);
        std::vector<std::string> argv;
        std::string tool;
        if (format == Format::Plain) {
            tool = "psql";
            argv = {FindPgTool("psql"), "-X", "-q", "-v", "ON_ERROR_STOP=1", "--dbname=" + DbnameArgument(scratch),
                    "-f", Files};
        } else {
            tool = "pg_restore";
            argv = {FindPgTool("pg_restore"), "--dbname=" + DbnameArgument(scratch), "--no-tablespaces",
                    "--no-owner", "--exit-on-error", Files};
        }
        // A session whose tool is gone (killed with a killed caller) stops
        // within a second, even in the middle of a long statement, so that
        // the next restore finds the new database unused.
        auto environment = server.ToolEnvironment();
        const char* options = std::getenv("PGOPTIONS");
        environment.emplace_back("PGOPTIONS", std::string(options ? options : "") +
                                                  " -c client_connection_check_interval=1000");
        int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ToolRun run = RunTool(argv, environment, devnull, Cancelled);
        if (devnull >= 0)
            ::close(devnull);
        if (run.cancelled) {
            dropScratch();
            return false;
        }
        if (run.exitStatus != 0)
            throw Error(kErrTool, toolFailure(tool, run));
        // The new database takes the name in one transaction; a database
        // in use cannot be renamed (55006), and then nothing changed.
        Access::close(*db);
        runBatch(conn,
                 "ALTER DATABASE " + QuoteIdent(db->Name()) + " RENAME TO " + QuoteIdent(replaced) +
                     "; ALTER DATABASE " + QuoteIdent(scratch) + " RENAME TO " + QuoteIdent(db->Name()),
                 nullptr);
    } catch (...) {
        dropScratch();
        throw;
    }
    try {
        runBatch(conn, "DROP DATABASE " + QuoteIdent(replaced) + " WITH (FORCE)", nullptr);
    } catch (const Error&) {
        // The restore stands; the next restore of this database drops it.
    }
    databases->Refresh();
    return true;
}

} // namespace dmo
