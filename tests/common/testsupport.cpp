#include "tests/common/testsupport.h"

#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace kelm::test {

namespace fs = std::filesystem;

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string uniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    return std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(rd() % 100000);
}

void execOn(const std::string& conninfo, const std::string& sql)
{
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string msg = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot connect to the test cluster: " + msg);
    }
    PGresult* res = PQexec(conn, sql.c_str());
    auto status = PQresultStatus(res);
    std::string msg = PQresultErrorMessage(res);
    PQclear(res);
    PQfinish(conn);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error("SQL failed: " + msg + " in: " + sql);
}

std::string baseConnInfo()
{
    return "host=" + PgHost() + " port=" + PgPort() + " user=" + PgUser();
}

} // namespace

std::string RunUnprivileged(const fs::path& tree, const std::function<std::string()>& body)
{
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* pw = ::getpwnam("nobody")) {
        uid = pw->pw_uid;
        gid = pw->pw_gid;
    }
    bool root = ::geteuid() == 0;
    if (root && !tree.empty()) {
        std::error_code ec;
        ::lchown(tree.c_str(), uid, gid);
        for (auto it = fs::recursive_directory_iterator(tree, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            ::lchown(it->path().c_str(), uid, gid);
    }
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = ::fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            out = "cannot become nobody";
        else
            out = body();
        for (std::size_t done = 0; done < out.size();) {
            ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child ended with status " + std::to_string(status) + ": " + out;
    return out;
}

TempDir::TempDir()
{
    fs::path base = env("TMPDIR").empty() ? fs::path("/tmp") : fs::path(env("TMPDIR"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = base / ("kelm-test-" + uniqueSuffix());
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_path = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only files behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

fs::path TempDir::write(const std::string& name, const std::string& bytes) const
{
    fs::path p = m_path / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + p.string());
    return p;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char*> EnvironmentWith(std::vector<std::string>& overrides)
{
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        bool replaced = false;
        for (const auto& mine : overrides)
            replaced = replaced || entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
        if (!replaced)
            envp.push_back(*e);
    }
    for (auto& mine : overrides)
        envp.push_back(mine.data());
    envp.push_back(nullptr);
    return envp;
}

std::string ShellOutput(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

ScopedEnv::~ScopedEnv()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

void ScopedEnv::set(const char* name, const std::string& value)
{
    remember(name);
    ::setenv(name, value.c_str(), 1);
}

void ScopedEnv::unset(const char* name)
{
    remember(name);
    ::unsetenv(name);
}

void ScopedEnv::remember(const char* name)
{
    const char* old = std::getenv(name);
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

bool PgAvailable() { return !env("KELM_PG_PORT").empty(); }
bool ServicesRequired() { return !env("KELM_REQUIRE_SERVICES").empty(); }
std::string PgHost() { return env("KELM_PG_HOST").empty() ? "/tmp" : env("KELM_PG_HOST"); }
std::string PgPort() { return env("KELM_PG_PORT"); }

std::string PgUser()
{
    if (!env("KELM_PG_USER").empty())
        return env("KELM_PG_USER");
    return env("USER").empty() ? "root" : env("USER");
}

void PgAdminExec(const std::string& sql)
{
    execOn(baseConnInfo() + " dbname=postgres", sql);
}

PgDatabase::PgDatabase(const std::string& hint)
{
    std::string clean;
    for (char c : hint)
        clean += (std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_');
    m_name = "t_" + clean.substr(0, 30) + "_" + uniqueSuffix();
    PgAdminExec("CREATE DATABASE \"" + m_name + "\" ENCODING 'UTF8' TEMPLATE template0");
}

PgDatabase::~PgDatabase()
{
    try {
        PgAdminExec("DROP DATABASE IF EXISTS \"" + m_name + "\" WITH (FORCE)");
    } catch (...) {
        // The cluster is thrown away at the end of the run anyway.
    }
}

std::string PgDatabase::libpqConnInfo() const
{
    return baseConnInfo() + " dbname=" + m_name;
}

std::string PgDatabase::odbcConnString() const
{
    return "Driver={PostgreSQL Unicode};Servername=" + PgHost() + ";Port=" + PgPort() +
           ";Database=" + m_name + ";Username=" + PgUser() + ";";
}

void PgDatabase::exec(const std::string& sql) const
{
    execOn(libpqConnInfo(), sql);
}

std::string PgDatabase::copyOut(const std::string& copy) const
{
    PGconn* conn = PQconnectdb(libpqConnInfo().c_str());
    PGresult* res = PQexec(conn, copy.c_str());
    const bool started = PQresultStatus(res) == PGRES_COPY_OUT;
    std::string msg = PQerrorMessage(conn);
    PQclear(res);
    std::string bytes;
    char* buffer = nullptr;
    int n;
    while ((n = PQgetCopyData(conn, &buffer, 0)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(n));
        PQfreemem(buffer);
    }
    while ((res = PQgetResult(conn)))
        PQclear(res);
    PQfinish(conn);
    if (!started)
        throw std::runtime_error("COPY failed: " + msg + " in: " + copy);
    return bytes;
}

std::string SqliteConnString(const fs::path& file)
{
    return "Driver={SQLite3};Database=" + file.string() + ";";
}

EngineDatabase::EngineDatabase(bool pg, const std::string& hint, const std::string& pgOptions)
{
    if (pg) {
        m_pg = std::make_unique<PgDatabase>(hint);
        m_connect = m_pg->odbcConnString() + pgOptions;
    } else {
        m_dir = std::make_unique<TempDir>();
        m_connect = SqliteConnString(*m_dir / (hint + ".db"));
    }
}

} // namespace kelm::test
