// The main road on the staged demo kit, retargeted to databases of the
// test's own: a quiet Dorvik run installs the demo database from the bulk
// files, a second run keeps it as it is, the dump installs the same
// content, the maintenance job is scheduled, the patch kit brings an
// installed and a changed database to the kit's structure, and Tarnwick
// opens on it: its process tree shows the demo groups and a document type
// opened through the tree shows its states and links.
#include "tests/editor/recorder.h"
#include "tests/editor/tarnwickenv.h"
#include "editor/trees/ui/basetreectrl.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"

#include "charts/documents/core/diagrammodel.h"
#include "charts/documents/ui/basediagramdoc.h"
#include "charts/elements/awfelements.h"
#include "charts/shell/ui/chartmessagebox.h"
#include "tests/common/testsupport.h"
#include "winapi/folders.h"

#include <gtest/gtest.h>
#include <wx/init.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <thread>
#include <vector>


namespace fs = std::filesystem;
using kelm::test::TempDir;
using namespace tarnwick;

namespace {

CTarnwickApp* g_app = nullptr;

// The editor's application object lives in this process, as in the program;
// without a display the database steps still run.
const auto* const g_env = ::testing::AddGlobalTestEnvironment(
    new kelm::test::TarnwickEnvironment(g_app, "demo_kit_test", /*displayOptional=*/true));

void settle()
{
    for (int i = 0; i < 5; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
    }
}

void Screenshot(const std::string& name)
{
    fs::path out = fs::path(KELM_TEST_OUTPUT) / "demo_kit_test";
    fs::create_directories(out);
    fs::remove(out / name);
    std::system(("import -window root '" + (out / name).string() + "'").c_str());
    EXPECT_TRUE(fs::exists(out / name));
}

std::string Shell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::string Psql(const std::string& db, const std::string& sql)
{
    std::string out = Shell("psql -X -A -t -q -d '" + db + "' -c \"" + sql + "\" 2>&1");
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Everything of the demo's content that a user can see, as one text.
std::string Content(const std::string& db)
{
    std::string text;
    for (const char* query :
         {"SELECT string_agg(concat_ws('|', grp, namegrp, fullnamegrp), ';' ORDER BY grp) FROM prodgroupoperate",
          "SELECT string_agg(concat_ws('|', grp, type, nameoperate), ';' ORDER BY grp, type) FROM maintypeoperate",
          "SELECT string_agg(concat_ws('|', typedoc, type, grp, namedoc), ';' ORDER BY typedoc) FROM proddoctype",
          "SELECT string_agg(concat_ws('|', typedoc, grp, state, comment), ';' ORDER BY typedoc, state) FROM maindocstate",
          "SELECT string_agg(concat_ws('|', idmove, typedoc, state, newtypedoc, newstate), ';' ORDER BY idmove) "
          "FROM maindocmove",
          "SELECT string_agg(concat_ws('|', idaction, idmove, action, orderaction), ';' ORDER BY idaction) "
          "FROM maindocaction",
          "SELECT string_agg(concat_ws('|', id_struct, struct_code, struct_parent, struct_name), ';' ORDER BY "
          "id_struct) FROM struct_gr",
          "SELECT applversion FROM common_ver",
          // The charts' drawings, byte for byte.
          "SELECT md5(string_agg(concat_ws('|', idstate, encode(graphinfo, 'hex')), ';' ORDER BY idstate)) "
          "FROM maindocstate",
          "SELECT md5(string_agg(concat_ws('|', idmove, encode(graphinfo, 'hex')), ';' ORDER BY idmove)) "
          "FROM maindocmove",
          "SELECT md5(string_agg(concat_ws('|', idaction, encode(graphinfo, 'hex')), ';' ORDER BY idaction)) "
          "FROM maindocaction",
          "SELECT md5(string_agg(concat_ws('|', grp, type, encode(symbol_data, 'hex')), ';' ORDER BY grp, type)) "
          "FROM maindocgraphic"})
        text += Psql(db, query) + "\n";
    return text;
}

// The structure of the demo's tables (columns, keys, indexes) and the rights
// granted on them, leaving out tables that a structure sync kept aside.
std::string Structure(const std::string& db)
{
    const std::string tables = "SELECT oid FROM pg_class WHERE relnamespace = 'public'::regnamespace "
                               "AND relkind = 'r' AND relname NOT ILIKE '\\_\\_\\_kelmback%'";
    std::string text;
    for (const std::string& query : std::vector<std::string>{
             "SELECT string_agg(concat_ws(' ', table_name, column_name, data_type, character_maximum_length, "
          "is_nullable, column_default, is_identity, identity_generation), ';' ORDER BY table_name, ordinal_position) "
          "FROM information_schema.columns WHERE table_schema = 'public' AND table_name NOT ILIKE "
          "'\\_\\_\\_kelmback%'",
          "SELECT string_agg(conname || ' ' || pg_get_constraintdef(oid), ';' ORDER BY conname) FROM pg_constraint "
          "WHERE conrelid IN (" + tables + ")",
          "SELECT string_agg(indexdef, ';' ORDER BY indexname) FROM pg_indexes WHERE schemaname = 'public' AND "
          "tablename NOT ILIKE '\\_\\_\\_kelmback%'",
          "SELECT string_agg(relname || '=' || relacl::text, ';' ORDER BY relname) FROM pg_class WHERE oid IN (" +
              tables + ") AND relacl IS NOT NULL",
          "SELECT string_agg(attrelid::regclass || '.' || attname || '=' || attacl::text, ';' ORDER BY 1) "
          "FROM pg_attribute WHERE attrelid IN (" + tables + ") AND attacl IS NOT NULL"})
        text += Psql(db, query) + "\n";
    return text;
}

struct Kit {
    TempDir dir;
    TempDir home;
    std::string database;

    // A copy of the staged kit whose database is `database`.
    Kit(const std::string& name, int loadDump) : database(name)
    {
        fs::copy(KELM_DEMO_KIT, dir.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        std::string ini = kelm::test::readFile(dir.path() / "dorvik.ini");
        ini = std::regex_replace(ini, std::regex("DataBase=kelm_demo"), "DataBase=" + name);
        ini = std::regex_replace(ini, std::regex("LoadDump=0"), "LoadDump=" + std::to_string(loadDump));
        std::ofstream(dir.path() / "dorvik.ini", std::ios::binary | std::ios::trunc) << ini;
        std::string patch = kelm::test::readFile(dir.path() / "patch.ini");
        patch = std::regex_replace(patch, std::regex("DataBase=kelm_demo\n"), "DataBase=" + name + "\n");
        patch = std::regex_replace(patch, std::regex("TempDataBase=kelm_demo_patchref"), "TempDataBase=" + name + "_ref");
        std::ofstream(dir.path() / "patch.ini", std::ios::binary | std::ios::trunc) << patch;
        fs::create_directories(home.path() / "runtime");
        fs::permissions(home.path() / "runtime", fs::perms::owner_all);
    }
    ~Kit()
    {
        Psql("postgres", "DROP DATABASE IF EXISTS " + database);
        Psql("postgres", "DROP DATABASE IF EXISTS " + database + "__installing WITH (FORCE)");
        Psql("postgres", "DROP DATABASE IF EXISTS " + database + "_ref");
        Psql("postgres", "DELETE FROM pgagent.pga_job WHERE jobname LIKE '%''" + database + "''%'");
    }

    // dorvik -quite on the kit (or on its patch); the exit status.
    int Install(const char* ini = "dorvik.ini") const
    {
        int rc = std::system(("timeout 300 " + Command(ini)).c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    // The same run started in the background: its process.
    pid_t Start(const char* ini = "dorvik.ini") const
    {
        std::string command = "exec " + Command(ini);
        char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), command.data(), nullptr};
        pid_t pid = 0;
        return posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0 ? pid : -1;
    }
    std::string Command(const char* ini) const
    {
        return "env XDG_DOCUMENTS_DIR='" + (home.path() / "Documents").string() + "' XDG_RUNTIME_DIR='" +
               (home.path() / "runtime").string() + "' ASAN_OPTIONS=detect_leaks=0 '" DORVIK_BIN "' -quite '" +
               (dir.path() / ini).string() + "' >/dev/null 2>&1";
    }
    std::string Log() const
    {
        fs::path log = home.path() / "Documents/Varnholt Inc/Orvo-Dorvik.log";
        return fs::exists(log) ? kelm::test::readFile(log) : std::string();
    }
};

// ODBC files of the test's own holding the data source kName on a database.
struct DataSource {
    static inline const std::string kName = "KelmDemoTest";
    TempDir dir;

    explicit DataSource(const std::string& database)
    {
        const char* sysini = std::getenv("ODBCSYSINI");
        EXPECT_NE(sysini, nullptr);
        dir.write("odbcinst.ini", sysini ? kelm::test::readFile(fs::path(sysini) / "odbcinst.ini") : "");
        dir.write("odbc.ini", "[" + kName + "]\nDriver=PostgreSQL Unicode\nServername=" + kelm::test::PgHost() +
                                  "\nPort=" + kelm::test::PgPort() + "\nDatabase=" + database + "\n");
        dir.write("user-odbc.ini", "");
    }
    // The variables that make a program use these files and settings of its own.
    std::vector<std::string> Environment() const
    {
        return {"ODBCSYSINI=" + dir.path().string(), "ODBCINI=" + (dir.path() / "user-odbc.ini").string(),
                "XDG_CONFIG_HOME=" + (dir.path() / "config").string()};
    }
};

} // namespace

TEST(DemoKit, InstallsQuietlyKeepsItOnARerunAndTheDumpGivesTheSameContent)
{
    KELM_REQUIRE_PG();
    const std::string suffix = std::to_string(::getpid());
    Kit bcp("kelm_demo_bcp_" + suffix, 0);

    ASSERT_EQ(bcp.Install(), 0) << bcp.Log();
    std::string log = bcp.Log();
    EXPECT_NE(log.find("INSTALL STATUS : SUCCESS"), std::string::npos) << log;
    EXPECT_NE(log.find("STEP  4 = LoadBcp(" + bcp.database + "__installing, bcp/*.bcp, 1)"), std::string::npos) << log;
    std::string content = Content(bcp.database);
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM prodgroupoperate"), "3");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM proddoctype"), "8");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(DISTINCT typedoc) FROM maindocstate WHERE typedoc IN (101, 201, 301)"),
              "3");
    EXPECT_EQ(Psql(bcp.database, "SELECT min(n) FROM (SELECT count(*) AS n FROM maindocstate "
                                 "WHERE typedoc IN (101, 201, 301) GROUP BY typedoc) c"),
              "11");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM maindocmove WHERE state = newstate"), "1");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM maindocmove WHERE newtypedoc = 102"), "1");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM struct_gr"), "7");
    // Every element of the three charts carries its drawing, and each chart
    // its archived drawing.
    EXPECT_EQ(Psql(bcp.database, "SELECT (SELECT count(*) FROM maindocstate WHERE graphinfo IS NULL) + "
                                 "(SELECT count(*) FROM maindocmove WHERE graphinfo IS NULL) + "
                                 "(SELECT count(*) FROM maindocaction WHERE graphinfo IS NULL)"),
              "0");
    EXPECT_EQ(Psql(bcp.database, "SELECT count(*) FROM maindocgraphic WHERE type IN (101, 201, 301) "
                                 "AND length(symbol_data) > 0"),
              "3");
    EXPECT_EQ(Psql(bcp.database, "SELECT kelm_user_isadmin FROM kelm_user WHERE db_user_netname = session_user"),
              "1");
    // New rows continue after the loaded numbers.
    EXPECT_EQ(Psql(bcp.database, "INSERT INTO maindocmove (grp, type, typedoc, state, newstate) "
                                 "VALUES (1, 1, 101, 1, 3) RETURNING idmove > (SELECT count(*) FROM maindocmove)"),
              "t");
    Psql(bcp.database, "DELETE FROM maindocmove WHERE idmove = (SELECT max(idmove) FROM maindocmove)");
    // The weekly maintenance job, scheduled in pgAgent.
    EXPECT_EQ(Psql("postgres", "SELECT count(*) FROM pgagent.pga_job WHERE jobname LIKE '%''" + bcp.database +
                                   "''%' AND jobenabled"),
              "1");

    // A second run asks whether to create it anew; the quiet answer is No.
    ASSERT_EQ(bcp.Install(), 0) << bcp.Log();
    std::string second = bcp.Log().substr(log.size());
    EXPECT_NE(second.find("User choise : No"), std::string::npos) << second;
    EXPECT_EQ(second.find("STEP  2 ="), std::string::npos) << second;
    EXPECT_NE(second.find("INSTALL STATUS : SUCCESS"), std::string::npos) << second;
    EXPECT_EQ(Content(bcp.database), content);
    EXPECT_EQ(Psql("postgres", "SELECT count(*) FROM pgagent.pga_job WHERE jobname LIKE '%''" + bcp.database + "''%'"),
              "1");

    // The dump source installs the same content.
    Kit dump("kelm_demo_dump_" + suffix, 1);
    ASSERT_EQ(dump.Install(), 0) << dump.Log();
    EXPECT_NE(dump.Log().find("LoadDump(" + dump.database + "__installing, dump/kelm_demo.sql)"), std::string::npos);
    EXPECT_EQ(Content(dump.database), content);
}

// The bulk-file install killed at each boundary between its creation steps
// in turn (the run held in a statement that changes nothing, put at the end
// of a step's script or the start of the next one's): the next quiet run
// ends with the whole database, and the one after it keeps it.
TEST(DemoKit, AnInstallKilledBetweenItsStepsIsMadeWholeByTheNextRun)
{
    KELM_REQUIRE_PG();
    const std::string suffix = std::to_string(::getpid());
    Kit reference("kelm_demo_whole_" + suffix, 0);
    ASSERT_EQ(reference.Install(), 0) << reference.Log();
    const std::string whole = Content(reference.database);

    Kit kit("kelm_demo_cut_" + suffix, 0);
    const std::string ini = kelm::test::readFile(kit.dir.path() / "dorvik.ini");
    auto stepLine = [&](int n) {
        std::smatch m;
        std::string key = "\nbcp_Step" + std::to_string(n) + "=([^\n]*)";
        return std::regex_search(ini, m, std::regex(key)) ? m[1].str() : std::string();
    };
    // The script file of a Script or RScript line; "" for other commands.
    auto scriptOf = [](const std::string& line) {
        std::smatch m;
        return std::regex_match(line, m, std::regex("R?Script\\([^,]*, *([^,)]*)[,)].*")) ? m[1].str() : std::string();
    };
    const std::string marker = "kit cut " + kit.database;
    const std::string hold = "SELECT pg_sleep(600) /* " + marker + " */";
    auto held = [&] {
        return Psql("postgres", "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND query LIKE '%" +
                                    marker + "%' AND pid <> pg_backend_pid()") != "0";
    };
    for (int boundary = 1; boundary <= 5; ++boundary) {
        SCOPED_TRACE("killed after step " + std::to_string(boundary));
        // Held at the start of the next step when it runs a script, else at
        // the end of this one's.
        std::string next = scriptOf(stepLine(boundary + 1));
        std::string file = next.empty() ? scriptOf(stepLine(boundary)) : next;
        ASSERT_FALSE(file.empty()) << stepLine(boundary) << " / " << stepLine(boundary + 1);
        const fs::path path = kit.dir.path() / file;
        const std::string original = kelm::test::readFile(path);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            << (next.empty() ? original + "\nGO\n" + hold + "\n" : hold + "\nGO\n" + original);
        std::size_t before = kit.Log().size();
        pid_t pid = kit.Start();
        ASSERT_GT(pid, 0);
        bool reached = false;
        for (int i = 0; i < 1200 && !reached; ++i) {
            reached = held();
            if (!reached)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
        ASSERT_TRUE(reached) << kit.Log().substr(before);
        EXPECT_NE(kit.Log().substr(before).find("STEP  " + std::to_string(boundary) + " = "), std::string::npos);

        // The held session of the killed run is still on the server.
        EXPECT_EQ(kit.Install(), 0) << kit.Log().substr(before);
        EXPECT_EQ(Content(kit.database), whole) << kit.Log().substr(before);
        EXPECT_EQ(Psql("postgres", "SELECT count(*) FROM pg_database WHERE datname LIKE '" + kit.database + "\\_\\_%'"),
                  "0");
        std::size_t rerun = kit.Log().size();
        EXPECT_EQ(kit.Install(), 0);
        EXPECT_NE(kit.Log().substr(rerun).find("User choise : No"), std::string::npos) << kit.Log().substr(rerun);
        EXPECT_EQ(Content(kit.database), whole);
        Psql("postgres", "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE '%" + marker +
                             "%' AND pid <> pg_backend_pid()");
        Psql("postgres", "DROP DATABASE IF EXISTS " + kit.database + " WITH (FORCE)");
    }
}

TEST(DemoKit, ThePatchKeepsRowsKeysAndRightsAndRebuildsOnlyWhatChanged)
{
    KELM_REQUIRE_PG();
    Kit kit("kelm_demo_patch_" + std::to_string(::getpid()), 0);
    ASSERT_EQ(kit.Install(), 0) << kit.Log();
    const std::string reader = kit.database + "_reader";
    Psql("postgres", "CREATE ROLE " + reader);
    Psql(kit.database, "GRANT SELECT ON proddoctype TO " + reader + "; GRANT UPDATE (struct_name) ON struct_gr TO " +
                           reader + "; GRANT INSERT ON maindocmove TO " + reader);
    const std::string content = Content(kit.database);
    const std::string structure = Structure(kit.database);
    ASSERT_NE(structure.find(reader), std::string::npos) << structure;
    ASSERT_NE(structure.find("maindocmove_key"), std::string::npos) << structure;

    // On the installed database nothing changes, the keys and indexes that the
    // sync takes away come back, and the reference database goes.
    std::size_t before = kit.Log().size();
    ASSERT_EQ(kit.Install("patch.ini"), 0) << kit.Log().substr(before);
    std::string log = kit.Log().substr(before);
    EXPECT_NE(log.find("Using file : patch.pak !"), std::string::npos) << log;
    EXPECT_NE(log.find("INSTALL STATUS : SUCCESS"), std::string::npos) << log;
    EXPECT_EQ(log.find("RENAME TABLE"), std::string::npos) << log;
    EXPECT_EQ(Content(kit.database), content);
    EXPECT_EQ(Structure(kit.database), structure);
    EXPECT_EQ(Psql("postgres", "SELECT count(*) FROM pg_database WHERE datname = '" + kit.database + "_ref'"), "0");
    // The saved rights go to the temporary folder, not into the kit, which an
    // installed suite keeps read-only, and are gone once restored.
    EXPECT_FALSE(fs::exists(kit.dir.path() / "permissions.dat"));
    const fs::path saved = fs::path(winapi::GetTempPath()) / (kit.database + ".permissions.dat");
    EXPECT_NE(log.find("SavePermissions(" + kit.database + ", " + saved.lexically_normal().string()), std::string::npos)
        << log;
    EXPECT_FALSE(fs::exists(saved));

    // A table that lost a column is rebuilt with its rows and rights; one with
    // a column of the user's own is kept aside with it, and the run warns.
    Psql(kit.database, "ALTER TABLE proddoctype DROP COLUMN fullnamedoc; ALTER TABLE struct_gr ADD COLUMN note text; "
                       "UPDATE struct_gr SET note = 'mine'");
    before = kit.Log().size();
    ASSERT_EQ(kit.Install("patch.ini"), 1) << kit.Log().substr(before);
    log = kit.Log().substr(before);
    EXPECT_NE(log.find("RENAME TABLE proddoctype->"), std::string::npos) << log;
    EXPECT_NE(log.find("DROP TABLE"), std::string::npos) << log;
    EXPECT_NE(log.find("KEEP TABLE"), std::string::npos) << log;
    EXPECT_EQ(Content(kit.database), content);
    EXPECT_EQ(Structure(kit.database), structure);
    EXPECT_EQ(Psql(kit.database, "SELECT count(*) FROM proddoctype WHERE fullnamedoc IS NULL"), "8");
    EXPECT_EQ(Psql(kit.database, "SELECT string_agg(relname, ',') FROM pg_class WHERE relname ILIKE "
                                 "'\\_\\_\\_kelmback%struct_gr' AND relkind = 'r'")
                  .empty(),
              false);
    EXPECT_EQ(Psql(kit.database, "SELECT count(*) FROM pg_attribute WHERE attname = 'note' AND attrelid IN "
                                 "(SELECT oid FROM pg_class WHERE relname ILIKE '\\_\\_\\_kelmback%')"),
              "1");
    // New rows continue after the copied numbers.
    EXPECT_EQ(Psql(kit.database, "INSERT INTO proddoctype (namedoc) VALUES ('x') RETURNING typedoc > 302"), "t");
    EXPECT_EQ(Psql("postgres", "SELECT count(*) FROM pg_database WHERE datname = '" + kit.database + "_ref'"), "0");
    Psql(kit.database, "REVOKE ALL ON ALL TABLES IN SCHEMA public FROM " + reader);
    Psql("postgres", "DROP DATABASE " + kit.database);
    Psql("postgres", "DROP ROLE " + reader);
}

TEST(DemoKit, TarnwickOpensOnTheInstalledDatabase)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    Kit kit("kelm_demo_gui_" + std::to_string(::getpid()), 0);
    ASSERT_EQ(kit.Install(), 0) << kit.Log();

    DataSource source(kit.database);
    std::vector<std::string> envs = source.Environment();
    envs.push_back("XDG_RUNTIME_DIR=" + (kit.home.path() / "runtime").string());
    envs.push_back("ASAN_OPTIONS=detect_leaks=0");
    std::vector<char*> envp = kelm::test::EnvironmentWith(envs);

    std::string dsn = "-d:" + DataSource::kName;
    char* argv[] = {const_cast<char*>(TARNWICK_BIN), dsn.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARNWICK_BIN, nullptr, nullptr, argv, envp.data()), 0);
    bool connected = false;
    std::string windows;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "tarnwick ended early";
        std::string sessions = Psql("postgres", "SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                                    kit.database + "'");
        windows = Shell("xwininfo -root -tree 2>/dev/null");
        if (sessions != "0" && windows.find("Диаграммы") != std::string::npos &&
            windows.find("Kelm Tarnwick") == std::string::npos) {
            connected = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_TRUE(connected) << windows;
    // Read-write: no login dialog, no "read only" in any title.
    EXPECT_EQ(windows.find("Параметры подключения"), std::string::npos);
    EXPECT_EQ(windows.find("только чтение"), std::string::npos) << windows;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Screenshot("tarnwick.png");
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

TEST(DemoKit, TarnwicksProcessTreeOpensADemoChartWithItsStatesAndLinks)
{
    KELM_REQUIRE_PG();
    ASSERT_NE(g_app, nullptr) << "no display";
    Kit kit("kelm_demo_tree_" + std::to_string(::getpid()), 0);
    ASSERT_EQ(kit.Install(), 0) << kit.Log();
    DataSource source(kit.database);
    for (const std::string& variable : source.Environment()) {
        auto eq = variable.find('=');
        setenv(variable.substr(0, eq).c_str(), variable.substr(eq + 1).c_str(), 1);
    }

    CTarnwickApp& app = *g_app;
    kelm::test::RecordingPrompt prompt;
    std::vector<std::string> asked;
    app.SetShell(&app);
    SetChartShell(&app);
    SetMessageBoxAnswer([&asked](const std::string& text, ChartIcon, MessageButtons) {
        asked.push_back(text);
        return static_cast<int>(IDCANCEL);
    });
    // As the program connects on "-d:" with a trusted login.
    app.m_cmdInfo.m_strDSN = DataSource::kName;
    app.m_cmdInfo.m_bNTAuthentication = TRUE;
    app.m_cmdInfo.m_nDiagrammType = 1;
    app.m_pConnection.CreateInstance("ADODB.Connection");
    ASSERT_TRUE(app.ConnectDB(TRUE));
    EXPECT_FALSE(g_bReadOnlyMode);
    EXPECT_TRUE(prompt.shown.empty()) << prompt.Texts().front();

    ASSERT_TRUE(app.CreateWindows());
    CMainFrame* frame = app.GetMainFrame();
    frame->SetSize(1200, 860);
    frame->Show();
    app.BuildNavigationTree(TreeClass::AWF);
    settle();
    CBaseTreeCtrl* tree = frame->GetTree();
    auto children = [tree](TreeItem item) {
        tree->Expand(item);
        std::vector<std::string> texts;
        for (TreeItem child : tree->GetChildren(item))
            texts.push_back(tree->GetItemText(child));
        return texts;
    };
    auto find = [tree](TreeItem item, const std::string& text) -> TreeItem {
        tree->Expand(item);
        for (TreeItem child : tree->GetChildren(item))
            if (tree->GetItemText(child) == text)
                return child;
        return 0;
    };
    ASSERT_EQ(children(tree->GetRootItem()), std::vector<std::string>{DataSource::kName + " [DSN]"});
    TreeItem server = find(tree->GetRootItem(), DataSource::kName + " [DSN]");
    auto groups = children(server);
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (std::vector<std::string>{"Закупки у поставщиков", "Продажи покупателям", "Складские операции"}));
    TreeItem sales = find(server, "Продажи покупателям");
    EXPECT_EQ(children(sales).size(), 3u);
    TreeItem order = find(find(sales, "Заказ покупателя"), "Заказ покупателя");
    ASSERT_NE(order, 0u);

    wxTreeEvent event(wxEVT_TREE_ITEM_ACTIVATED, tree, CBaseTreeCtrl::ToId(order));
    tree->GetEventHandler()->ProcessEvent(event);
    settle();
    std::vector<CBaseDiagramDoc*> charts;
    for (wxObject* object : app.GetDocManager()->GetDocuments())
        if (auto* doc = dynamic_cast<CBaseDiagramDoc*>(object))
            charts.push_back(doc);
    ASSERT_EQ(charts.size(), 1u);
    auto* model = dynamic_cast<CTarnwickModel*>(charts[0]->GetModel());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetKey(), 101);
    EXPECT_EQ(charts[0]->GetTitle().utf8_string(), "Заказ покупателя");
    EXPECT_FALSE(model->m_bIncomplete);

    // The chart holds the stored states and moves, the one into the state
    // that makes a shipment (another document type) and the loop included,
    // and the actions on the moves.
    using Move = std::tuple<int, int, int>; // state, new state, new document type
    std::set<int> states;
    std::map<int, std::pair<int, int>> origins;
    std::set<Move> moves;
    int circular = 0, actions = 0;
    for (CODComponent* comp : *model->GetComponents()) {
        if (auto* state = dynamic_cast<CAWFState*>(comp)) {
            states.insert(state->GetState());
            origins[state->GetState()] = {state->GetOrigin().x, state->GetOrigin().y};
        } else if (dynamic_cast<CAWFAction*>(comp))
            ++actions;
        if (auto* link = dynamic_cast<CAWFLink*>(comp); link && link->IsDocumentMove()) {
            ASSERT_NE(link->GetFromState(), nullptr);
            ASSERT_NE(link->GetToState(), nullptr);
            EXPECT_EQ(link->GetToState()->GetTypeDoc(), 101);
            moves.insert({link->GetFromState()->GetState(), link->GetToState()->GetState(), link->NewTypeDoc});
            circular += dynamic_cast<CAWFCircleLink*>(link) != nullptr;
        }
    }
    std::set<int> storedStates;
    for (const std::string& line : Lines(
             Psql(kit.database, "SELECT state FROM maindocstate WHERE typedoc = 101")))
        storedStates.insert(std::stoi(line));
    std::set<Move> storedMoves;
    std::string rows =
        Psql(kit.database, "SELECT state || ' ' || newstate || ' ' || newtypedoc FROM maindocmove WHERE typedoc = 101");
    for (const std::string& line : Lines(rows)) {
        int a = 0, b = 0, c = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %d", &a, &b, &c), 3) << line;
        storedMoves.insert({a, b, c});
    }
    EXPECT_EQ(states.size(), 13u);
    EXPECT_EQ(states, storedStates);
    // The chart comes from its stored drawings: each state stands where its
    // own drawing puts it, not where the load would have placed a state
    // without one.
    std::map<int, std::pair<int, int>> storedOrigins;
    ado::_RecordsetPtr rs = app.m_pConnection->Execute("SELECT State, GraphInfo FROM MainDocState WHERE TypeDoc = 101");
    for (; !rs->IsEOF(); rs->MoveNext()) {
        const auto drawing = DrawingOf(rs->GetCollect("GraphInfo"));
        ASSERT_TRUE(drawing && !drawing->empty());
        auto* stored = new CAWFState;
        stored->AddRef();
        LoadElement(*stored, *drawing);
        storedOrigins[rs->GetCollect("State").ToLong()] = {stored->GetOrigin().x, stored->GetOrigin().y};
        stored->Release();
    }
    rs->Close();
    // Opening fits each symbol to its labels, which may nudge a symbol by a
    // pixel; a state the load placed would stand far off (the cascade steps
    // 50 units from the corner).
    ASSERT_EQ(origins.size(), storedOrigins.size());
    for (const auto& [number, at] : origins) {
        const auto stored = storedOrigins.find(number);
        ASSERT_NE(stored, storedOrigins.end()) << "state " << number;
        EXPECT_LE(std::abs(at.first - stored->second.first), 2) << "state " << number;
        EXPECT_LE(std::abs(at.second - stored->second.second), 2) << "state " << number;
    }
    std::set<std::pair<int, int>> distinct;
    for (const auto& [number, at] : origins)
        distinct.insert(at);
    EXPECT_EQ(distinct.size(), origins.size()) << "states drawn over each other";
    EXPECT_EQ(moves.size(), 16u);
    EXPECT_EQ(moves.count({7, 13, 102}), 1u);
    EXPECT_EQ(moves, storedMoves);
    EXPECT_EQ(circular, 1);
    EXPECT_GT(actions, 0);
    EXPECT_EQ(std::to_string(actions), Psql(kit.database, "SELECT count(*) FROM maindocaction WHERE typedoc = 101"));
    EXPECT_TRUE(asked.empty());
    for (int i = 0; i < 10; ++i) {
        wxMilliSleep(50);
        settle();
    }
    Screenshot("demo-chart.png");

    app.GetDocManager()->CloseDocuments(true);
    settle();
    frame->Destroy();
    settle();
    app.DestroyWindows();
    settle();
    SetMessageBoxAnswer({});
    SetChartShell(nullptr);
    app.SetShell(nullptr);
    app.ReleaseConnection();
    app.m_cmdInfo = CTarnwickCommandLineInfo();
}
