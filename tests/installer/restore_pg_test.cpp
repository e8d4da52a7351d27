#include "installer/commander.h"
#include "installer/utils.h"
#include "dmo/tools.h"

#include "pgtestutil.h"

#include <gtest/gtest.h>

#include <libpq-fe.h>

using namespace dorvik;
using kelm::test::PgDatabase;
using kelm::test::Query;
using kelm::test::QueryOn;

namespace {

class RestoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<PgDatabase>("restore");
        owner = "own_" + db->name();
        reader = "read_" + db->name();
        kelm::test::PgAdminExec("CREATE ROLE \"" + owner + "\"; CREATE ROLE \"" + reader + "\"; ALTER DATABASE \"" +
                                db->name() + "\" OWNER TO \"" + owner + "\"; REVOKE ALL ON DATABASE \"" + db->name() +
                                "\" FROM PUBLIC; GRANT CONNECT ON DATABASE \"" + db->name() + "\" TO \"" + reader +
                                "\"; ALTER DATABASE \"" + db->name() + "\" CONNECTION LIMIT 50; ALTER DATABASE \"" +
                                db->name() + "\" SET work_mem = '8MB'; ALTER DATABASE \"" + db->name() +
                                "\" SET search_path = \"$user\", public, \"Odd, \"\"Name\"\"\"; ALTER ROLE \"" + reader +
                                "\" IN DATABASE \"" + db->name() + "\" SET search_path = a, b");
        db->exec("CREATE TABLE t (id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, v text);"
                 "INSERT INTO t (v) VALUES ('one'), ('two'), ('три')");
        server = kelm::test::ConnectTrustedServer();
    }
    void TearDown() override
    {
        server.reset();
        db.reset();
        if (!owner.empty())
            kelm::test::PgAdminExec("DROP ROLE IF EXISTS \"" + owner + "\"; DROP ROLE IF EXISTS \"" + reader + "\"");
    }
    std::string dump(const std::string& name, const std::string& format)
    {
        std::string path = (dir / name).string();
        auto run = dmo::RunTool({dmo::FindPgTool("pg_dump"), "--format=" + format, "--file=" + path,
                                 "--dbname=" + db->name()},
                                {});
        EXPECT_EQ(run.exitStatus, 0) << run.errorText;
        return path;
    }
    std::string properties()
    {
        return QueryOn("postgres", "SELECT r.rolname, pg_encoding_to_char(d.encoding), d.datcollate, t.spcname, "
                                   "d.datconnlimit, d.datacl::text, (SELECT string_agg(c, ',' ORDER BY s.setrole, c) FROM "
                                   "pg_db_role_setting s, unnest(s.setconfig) c WHERE s.setdatabase = d.oid) "
                                   "FROM pg_database d JOIN pg_roles r ON r.oid = d.datdba JOIN pg_tablespace t "
                                   "ON t.oid = d.dattablespace WHERE d.datname = '" + db->name() + "'");
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

    kelm::test::TempDir dir;
    std::unique_ptr<PgDatabase> db;
    std::string owner, reader;
    std::shared_ptr<dmo::SQLServer> server;
    kelm::test::RecordingProgress progress;
    CCommander commander{&progress};
};

} // namespace

TEST_F(RestoreTest, ADumpReplacesTheContentAndTheDatabaseKeepsItsProperties)
{
    std::string before = properties();
    for (const char* format : {"custom", "plain", "directory", "tar"}) {
        std::string path = dump(std::string("dump_") + format, format);
        db->exec("DELETE FROM t WHERE id = 1; INSERT INTO t (v) VALUES ('later'); CREATE TABLE extra (a int)");
        ASSERT_TRUE(loadDump(path)) << format << ": " << commander.GetDetailText();
        EXPECT_EQ(Query(*db, "SELECT string_agg(id || v, ',' ORDER BY id) FROM t"), "1one,2two,3три") << format;
        EXPECT_EQ(Query(*db, "SELECT count(*) FROM pg_class WHERE relname = 'extra'"), "0") << format;
        EXPECT_EQ(Query(*db, "INSERT INTO t (v) VALUES ('next') RETURNING id"), "4") << format;
        db->exec("DELETE FROM t WHERE id = 4; SELECT setval(pg_get_serial_sequence('t', 'id'), 3)");
        EXPECT_EQ(properties(), before) << format;
    }
    EXPECT_NE(commander.GetProtocol().m_strText.find("RESTORE DATABASE " + db->name() + " FROM DISK='"),
              std::string::npos);
    EXPECT_EQ(scratchDatabases(), "0");
}

TEST_F(RestoreTest, FailuresLeaveTheDatabaseAsItWas)
{
    std::string good = dump("good.dump", "custom");
    db->exec("INSERT INTO t (v) VALUES ('kept')");

    // Another session uses the database.
    PGconn* other = PQconnectdb(db->libpqConnInfo().c_str());
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    EXPECT_FALSE(loadDump(good));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetDetailText().find("55006"), std::string::npos) << commander.GetDetailText();
    PQfinish(other);
    EXPECT_EQ(Query(*db, "SELECT count(*) FROM t"), "4");

    // A damaged archive, and a plain script that fails half-way.
    auto damaged = dir.write("damaged.dump", "PGDMP\x01\x0e\x00garbage that is no archive");
    EXPECT_FALSE(loadDump(damaged.string()));
    EXPECT_EQ(commander.GetResultCode(), 15);
    auto failing = dir.write("failing.sql", "CREATE TABLE u (a int);\nINSERT INTO nowhere VALUES (1);\n");
    EXPECT_FALSE(loadDump(failing.string()));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetDetailText().find("psql"), std::string::npos) << commander.GetDetailText();
    EXPECT_FALSE(loadDump((dir / "missing.dump").string()));
    EXPECT_EQ(commander.GetResultCode(), 15);

    EXPECT_EQ(Query(*db, "SELECT count(*) FROM t"), "4");
    EXPECT_EQ(Query(*db, "SELECT count(*) FROM pg_class WHERE relname = 'u'"), "0");
    EXPECT_EQ(scratchDatabases(), "0");
}

TEST_F(RestoreTest, RemoveDBDropsADatabaseUnlessCancelledOrInUse)
{
    PgDatabase victim("victim");
    auto cancel = std::make_shared<CManualEvent>();
    cancel->Set();
    SetInstallCancelEvent(cancel);
    EXPECT_FALSE(commander.Execute(server.get(), "RemoveDB(" + victim.name() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 9);
    SetInstallCancelEvent(nullptr);

    PGconn* other = PQconnectdb(victim.libpqConnInfo().c_str());
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    EXPECT_FALSE(commander.Execute(server.get(), "RemoveDB(" + victim.name() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetDetailText().find("55006"), std::string::npos);
    PQfinish(other);

    // The layer's own connection to it does not stand in the way.
    server->GetDatabases()->Item(victim.name())->ExecuteImmediate("SELECT 1");
    EXPECT_TRUE(commander.Execute(server.get(), "RemoveDB(" + victim.name() + ")")) << commander.GetDetailText();
    EXPECT_EQ(QueryOn("postgres", "SELECT count(*) FROM pg_database WHERE datname = '" + victim.name() + "'"), "0");
    EXPECT_FALSE(commander.Execute(server.get(), "RemoveDB(" + victim.name() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 15);
}
