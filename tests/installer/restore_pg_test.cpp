#include "tests/installer/restorefixture.h"

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <vector>

using namespace dorvik;
using kelm::test::PgDatabase;
using kelm::test::Query;
using kelm::test::QueryOn;
using kelm::test::RestoreTest;

namespace fs = std::filesystem;

namespace {

// The children of this process, ended: what a hung restore left running.
void killOwnChildren()
{
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        int parent = 0;
        char state = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == ::getpid())
            ::kill(std::stoi(name), SIGKILL);
    }
}

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
    auto failing = dir.write("failing.sql", "CREATE TABLE u (a int);\nINSERT INTO nowhere VALUES (1);\n\n--\n"
                                            "-- PostgreSQL database dump complete\n--\n\n");
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
    run.SetCancelEvent(cancel);
    EXPECT_FALSE(commander.Execute(server.get(), "RemoveDB(" + victim.name() + ")"));
    EXPECT_EQ(commander.GetResultCode(), 9);
    run.SetCancelEvent(nullptr);

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

TEST_F(RestoreTest, APlainDumpThatCreatesOrConnectsToADatabaseIsRefused)
{
    // Made with --create: psql would create the dump's own database (gone
    // by now) or drop and re-create it (still there), fill that one, and
    // leave the database being restored empty.
    std::string goneName, created;
    {
        PgDatabase gone("restore_gone");
        gone.exec("CREATE TABLE elsewhere (a int); INSERT INTO elsewhere VALUES (1)");
        goneName = gone.name();
        created = dumpOf(gone.name(), "created.sql", {"--format=plain", "--create"});
    }
    PgDatabase alive("restore_alive");
    alive.exec("CREATE TABLE elsewhere (a int); INSERT INTO elsewhere VALUES (1)");
    std::string cleaned = dumpOf(alive.name(), "cleaned.sql", {"--format=plain", "--create", "--clean"});
    auto oidOf = [](const std::string& name) {
        return QueryOn("postgres", "SELECT count(*) || ':' || coalesce(max(oid::text), '') FROM pg_database "
                                   "WHERE datname = '" + name + "'");
    };
    std::string aliveOid = oidOf(alive.name()), before = content();

    for (const auto& path : {created, cleaned}) {
        EXPECT_FALSE(loadDump(path)) << path;
        EXPECT_EQ(commander.GetResultCode(), 15) << path;
        EXPECT_NE(commander.GetDetailText().find("--create"), std::string::npos) << commander.GetDetailText();
        EXPECT_EQ(content(), before) << path;
    }
    EXPECT_EQ(oidOf(goneName), "0:");
    EXPECT_EQ(oidOf(alive.name()), aliveOid);
    EXPECT_EQ(scratchDatabases(), "0");
}

TEST_F(RestoreTest, ACutDumpOfAnyFormatFailsAndLeavesTheDatabase)
{
    db->exec("CREATE TABLE big (id int PRIMARY KEY, v text);"
             "INSERT INTO big SELECT g, repeat('x', 60) || g FROM generate_series(1, 20000) g;"
             "ALTER TABLE t ADD COLUMN b int REFERENCES big");
    std::string before = content();
    std::string plain = kelm::test::readFile(dump("whole.sql", "plain"));
    std::size_t copyStart = plain.find("COPY public.big");
    std::size_t copyEnd = plain.find("\n\\.\n", copyStart);
    std::size_t copyMiddle = (copyStart + copyEnd) / 2;
    ASSERT_NE(copyEnd, std::string::npos);

    struct Case {
        std::string name;
        std::function<std::string()> make; // the cut dump's path
    };
    // A dump cut at a part of its size (below 1) or at a byte.
    auto cutAt = [&](const std::string& name, const std::string& format, double at) {
        return [&, name, format, at] {
            fs::path path = dump(name, format);
            fs::resize_file(path, static_cast<std::uintmax_t>(at < 1 ? fs::file_size(path) * at : at));
            return path.string();
        };
    };
    auto plainCut = [&](const std::string& name, std::size_t size) {
        return [&, name, size] { return dir.write(name, plain.substr(0, size)).string(); };
    };
    // In a directory archive: the table of contents, or the largest data
    // file, cut in half; uncompressed, a data file cut at a line end.
    auto directoryCut = [&](const std::string& name, const std::string& compression, bool toc) {
        return [&, name, compression, toc] {
            std::string path = dumpOf(db->name(), name, {"--format=directory", "--compress=" + compression});
            fs::path victim = fs::path(path) / "toc.dat";
            if (!toc)
                for (const auto& entry : fs::directory_iterator(path))
                    if (entry.path().filename() != "toc.dat" && fs::file_size(entry) > fs::file_size(victim))
                        victim = entry.path();
            std::string bytes = kelm::test::readFile(victim);
            std::size_t at = bytes.size() / 2;
            if (compression == "0")
                at = bytes.find('\n', at) + 1;
            fs::resize_file(victim, at);
            return path;
        };
    };
    const std::vector<Case> cases = {
        {"plain, inside a COPY block", plainCut("copy.sql", copyMiddle)},
        {"plain, at a line end inside a COPY block", plainCut("line.sql", plain.find('\n', copyMiddle) + 1)},
        {"plain, before the closing comment",
         plainCut("closing.sql", plain.find("-- PostgreSQL database dump complete"))},
        {"plain, empty", plainCut("empty.sql", 0)},
        {"custom, inside the table of contents", cutAt("toc.dump", "custom", 300)},
        {"custom, inside a table's data", cutAt("data.dump", "custom", 0.6)},
        {"tar, inside the table of contents", cutAt("toc.tar", "tar", 512 + 600)},
        {"tar, in half", cutAt("half.tar", "tar", 0.5)},
        {"tar, near the end of a table's data", cutAt("end.tar", "tar", 0.95)},
        {"directory, the table of contents", directoryCut("toc.dir", "6", true)},
        {"directory, a compressed table's data", directoryCut("gz.dir", "6", false)},
        {"directory, a table's data at a line end", directoryCut("plain.dir", "0", false)},
    };
    // Every dump is made before a failing restore could change what is dumped.
    std::vector<std::string> paths;
    for (const auto& c : cases)
        paths.push_back(c.make());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::string& path = paths[i];
        // A restore that hangs fails here instead of holding the test.
        auto done = std::async(std::launch::async, [&] { return loadDump(path); });
        if (done.wait_for(std::chrono::seconds(60)) == std::future_status::timeout) {
            ADD_FAILURE() << c.name << ": still restoring after a minute";
            killOwnChildren();
        }
        EXPECT_FALSE(done.get()) << c.name;
        EXPECT_EQ(commander.GetResultCode(), 15) << c.name;
        EXPECT_EQ(content(), before) << c.name << ": " << commander.GetDetailText();
        EXPECT_EQ(scratchDatabases(), "0") << c.name;
    }
}

TEST_F(RestoreTest, CancelEndsARunningRestoreAndKeepsTheDatabase)
{
    std::string slow = slowArchive();
    std::string before = content();
    auto cancel = std::make_shared<CManualEvent>();
    run.SetCancelEvent(cancel);
    auto done = std::async(std::launch::async, [&] { return loadDump(slow); });
    ASSERT_TRUE(waitFor([&] { return restoreSessions() != "0"; }, std::chrono::seconds(60)));

    cancel->Set();
    auto cancelled = std::chrono::steady_clock::now();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(10));
    EXPECT_FALSE(done.get());
    EXPECT_EQ(commander.GetResultCode(), 9);
    EXPECT_EQ(content(), before);
    EXPECT_EQ(scratchDatabases(), "0");
}

TEST_F(RestoreTest, WhatEarlierRestoresLeftIsDroppedUnlessInUse)
{
    std::string good = dump("good.dump", "custom");
    db->exec("INSERT INTO t (v) VALUES ('later')");
    // Left by a killed run whose process number this one now has, by
    // another run, and the old copy a run could not drop; one that a
    // session uses and one of another database stay.
    std::string pid = std::to_string(::getpid());
    const std::vector<std::string> left = {"kelm_restore_" + pid + "_" + db->name(), "kelm_restore_1_" + db->name(),
                                           "kelm_replaced_2_" + db->name()};
    const std::string used = "kelm_restore_3_" + db->name(), other = "kelm_restore_4_" + db->name() + "x";
    auto count = [](const std::string& name) {
        return QueryOn("postgres", "SELECT count(*) FROM pg_database WHERE datname = '" + name + "'");
    };
    for (const auto& name : {left[0], left[1], left[2], used, other})
        kelm::test::PgAdminExec("CREATE DATABASE \"" + name + "\"");
    PGconn* session = PQconnectdb(("host=" + kelm::test::PgHost() + " port=" + kelm::test::PgPort() +
                                   " dbname=" + used).c_str());
    ASSERT_EQ(PQstatus(session), CONNECTION_OK);

    EXPECT_TRUE(loadDump(good)) << commander.GetDetailText();
    EXPECT_EQ(Query(*db, "SELECT string_agg(v, ',' ORDER BY id) FROM t"), "one,two,три");
    for (const auto& name : left)
        EXPECT_EQ(count(name), "0") << name;
    EXPECT_EQ(count(used), "1");
    EXPECT_EQ(count(other), "1");

    PQfinish(session);
    for (const auto& name : {left[0], left[1], left[2], used, other})
        kelm::test::PgAdminExec("DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)");
}

TEST_F(RestoreTest, ADatabaseNameHoldingAnEqualsSignIsOnlyAName)
{
    std::string custom = dump("odd.dump", "custom"), plain = dump("odd.sql", "plain");
    const std::string odd = "t_a=b 'c'\\d " + db->name();
    kelm::test::PgAdminExec("CREATE DATABASE \"" + odd + "\"");
    for (const auto& path : {custom, plain}) {
        EXPECT_TRUE(commander.Execute(server.get(), "LoadDump(" + odd + ", " + path + ")"))
            << path << ": " << commander.GetDetailText();
        auto databases = server->GetDatabases();
        databases->Refresh();
        auto rows = databases->Item(odd)->ExecuteWithResults("SELECT string_agg(id || v, ',' ORDER BY id) FROM t");
        EXPECT_EQ(rows->Rows() == 1 ? rows->GetColumnString(1, 1) : "", "1one,2two,3три") << path;
    }
    server.reset();
    kelm::test::PgAdminExec("DROP DATABASE IF EXISTS \"" + odd + "\" WITH (FORCE)");
}
