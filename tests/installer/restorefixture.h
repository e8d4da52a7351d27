// What the restore tests share: a database with an owner, a reader, grants,
// settings and a table of three rows; dumps of it and of other databases;
// a source whose restore takes half a minute; and a wait for the session a
// restoring tool holds in the new database.
#pragma once

#include "installer/commands/commander.h"
#include "installer/common/utils.h"
#include "dmo/tools.h"

#include "tests/installer/pgtestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kelm::test {

class RestoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<PgDatabase>("restore");
        owner = "own_" + db->name();
        reader = "read_" + db->name();
        PgAdminExec("CREATE ROLE \"" + owner + "\"; CREATE ROLE \"" + reader + "\"; ALTER DATABASE \"" + db->name() +
                    "\" OWNER TO \"" + owner + "\"; REVOKE ALL ON DATABASE \"" + db->name() +
                    "\" FROM PUBLIC; GRANT CONNECT ON DATABASE \"" + db->name() + "\" TO \"" + reader +
                    "\"; ALTER DATABASE \"" + db->name() + "\" CONNECTION LIMIT 50; ALTER DATABASE \"" + db->name() +
                    "\" SET work_mem = '8MB'; ALTER DATABASE \"" + db->name() +
                    "\" SET search_path = \"$user\", public, \"Odd, \"\"Name\"\"\"; ALTER ROLE \"" + reader +
                    "\" IN DATABASE \"" + db->name() + "\" SET search_path = a, b");
        db->exec("CREATE TABLE t (id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, v text);"
                 "INSERT INTO t (v) VALUES ('one'), ('two'), ('три')");
        server = ConnectTrustedServer();
    }
    void TearDown() override
    {
        server.reset();
        db.reset();
        if (!owner.empty())
            PgAdminExec("DROP ROLE IF EXISTS \"" + owner + "\"; DROP ROLE IF EXISTS \"" + reader + "\"");
    }
    // pg_dump of `database` (this test's own by default) into the folder.
    std::string dumpOf(const std::string& database, const std::string& name, const std::vector<std::string>& options)
    {
        std::string path = (dir / name).string();
        std::vector<std::string> argv = {dmo::FindPgTool("pg_dump"), "--file=" + path, "--dbname=" + database};
        argv.insert(argv.end(), options.begin(), options.end());
        auto run = dmo::RunTool(argv, {});
        EXPECT_EQ(run.exitStatus, 0) << run.errorText;
        return path;
    }
    std::string dump(const std::string& name, const std::string& format)
    {
        return dumpOf(db->name(), name, {"--format=" + format});
    }
    std::string properties()
    {
        return QueryOn("postgres", "SELECT r.rolname, pg_encoding_to_char(d.encoding), d.datcollate, t.spcname, "
                                   "d.datconnlimit, d.datacl::text, (SELECT string_agg(c, ',' ORDER BY s.setrole, c) FROM "
                                   "pg_db_role_setting s, unnest(s.setconfig) c WHERE s.setdatabase = d.oid) "
                                   "FROM pg_database d JOIN pg_roles r ON r.oid = d.datdba JOIN pg_tablespace t "
                                   "ON t.oid = d.dattablespace WHERE d.datname = '" + db->name() + "'");
    }
    // Every table's rows and every constraint, as one text.
    std::string content()
    {
        std::string text = Query(*db, "SELECT string_agg(conname, ',' ORDER BY conname) FROM pg_constraint "
                                      "WHERE connamespace = 'public'::regnamespace");
        std::string tables = Query(*db, "SELECT coalesce(string_agg(relname, ' ' ORDER BY relname), '') FROM "
                                        "pg_class WHERE relnamespace = 'public'::regnamespace AND relkind = 'r'");
        std::size_t start = 0;
        while (start < tables.size()) {
            std::size_t end = std::min(tables.find(' ', start), tables.size());
            std::string table = tables.substr(start, end - start);
            text += ";" + table + ":" +
                    Query(*db, "SELECT count(*) || ' ' || coalesce(md5(string_agg(x::text, ',' ORDER BY x::text)), "
                               "'') FROM public." + table + " x");
            start = end + 1;
        }
        return text;
    }
    bool loadDump(const std::string& path)
    {
        return commander.Execute(server.get(), "LoadDump(" + db->name() + ", " + path + ")");
    }
    std::string scratchDatabases()
    {
        return QueryOn("postgres", "SELECT count(*) FROM pg_database WHERE datname LIKE 'kelm\\_restore\\_%" +
                                       db->name() + "'");
    }
    // Sessions in the database a restore of this test's database works in.
    std::string restoreSessions()
    {
        return QueryOn("postgres", "SELECT count(*) FROM pg_stat_activity WHERE datname LIKE 'kelm\\_restore\\_%" +
                                       db->name() + "'");
    }
    static bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }
    // An archive whose restore spends half a minute in one table's data:
    // each of its rows passes a check that sleeps in a database being
    // restored.
    std::string slowArchive()
    {
        PgDatabase source("restore_slow");
        source.exec("CREATE FUNCTION public.slow_ok(int) RETURNS boolean LANGUAGE sql AS $$ SELECT pg_sleep(CASE WHEN "
                    "current_database() LIKE 'kelm\\_restore\\_%' THEN 0.25 ELSE 0 END) IS NOT NULL $$;"
                    "CREATE TABLE slow (a int CHECK (public.slow_ok(a)));"
                    "INSERT INTO slow SELECT generate_series(1, 120)");
        return dumpOf(source.name(), "slow.dump", {"--format=custom"});
    }

    TempDir dir;
    std::unique_ptr<PgDatabase> db;
    std::string owner, reader;
    std::shared_ptr<dmo::SQLServer> server;
    RecordingProgress progress;
    dorvik::RunContext run;
    dorvik::CCommander commander{run, &progress};
};

} // namespace kelm::test
