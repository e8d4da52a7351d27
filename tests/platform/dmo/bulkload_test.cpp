#include "dmo/dmo.h"
#include "dmo/names.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <fstream>
#include <string>

using namespace dmo;
using kelm::test::PgDatabase;

namespace {

std::shared_ptr<SQLServer> connect()
{
    auto server = SQLServer::Create();
    server->SetLoginSecure(true);
    server->Connect(kelm::test::PgHost() + "\\" + kelm::test::PgPort(), "", "");
    return server;
}

std::string scalar(const std::shared_ptr<Database>& db, const std::string& sql)
{
    auto r = db->ExecuteWithResults(sql);
    return r->Rows() ? r->GetColumnString(1, 1) : "";
}

class BulkLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        pg = std::make_unique<PgDatabase>("bulk");
        server = connect();
        db = server->GetDatabases()->Item(pg->name());
    }
    kelm::test::TempDir dir;
    std::unique_ptr<PgDatabase> pg;
    std::shared_ptr<SQLServer> server;
    std::shared_ptr<Database> db;
};

} // namespace

TEST(ObjectNames, Parts)
{
    struct Case {
        std::string text, schema, name;
    } cases[] = {
        {"items", "", "items"},
        {"dbo.items", "dbo", "items"},
        {"[dbo].[x Repository]", "dbo", "x Repository"},
        {"\"my\"\"schema\".\"a.b\"", "my\"schema", "a.b"},
        {"[a]]b]", "", "a]b"},
        {"  padded ", "", "padded"},
    };
    for (const auto& c : cases) {
        ObjectName n = ParseObjectName(c.text);
        EXPECT_EQ(n.schema, c.schema) << c.text;
        EXPECT_EQ(n.name, c.name) << c.text;
    }
    for (std::string bad : {"", "a.", ".a", "\"open", "[open", "a.b.c", "\"a\"x"})
        EXPECT_THROW(ParseObjectName(bad), Error) << bad;
}

TEST_F(BulkLoadTest, TableNamesResolveAsUsersWriteThem)
{
    pg->exec("CREATE SCHEMA other; CREATE TABLE items (a int); CREATE TABLE other.items (a int);"
             "CREATE TABLE other.only_here (a int); CREATE TABLE \"Mixed\" (a int);"
             "CREATE TABLE \"Twin\" (a int); CREATE TABLE twin (a int); CREATE TABLE \"we\"\"ird\" (a int);"
             "CREATE VIEW a_view AS SELECT 1 AS a; CREATE SEQUENCE a_sequence;"
             "CREATE TABLE parted (a int) PARTITION BY RANGE (a);"
             "CREATE TABLE parted_1 PARTITION OF parted FOR VALUES FROM (0) TO (10);");
    struct Case {
        std::string text, schema, name;
    } cases[] = {
        {"items", "public", "items"},          // the search path wins
        {"other.items", "other", "items"},
        {"[other].[ITEMS]", "other", "items"}, // unique without case in its schema
        {"only_here", "other", "only_here"},   // exactly one schema holds it
        {"ONLY_HERE", "other", "only_here"},
        {"mixed", "public", "Mixed"},
        {"Twin", "public", "Twin"},
        {"twin", "public", "twin"},
        {"dbo.items", "public", "items"},
        {"[dbo].[Mixed]", "public", "Mixed"},
        {"\"we\"\"ird\"", "public", "we\"ird"},
        {"parted", "public", "parted"},
    };
    for (const auto& c : cases) {
        TableRef t = db->ResolveTable(c.text);
        EXPECT_EQ(t.schema, c.schema) << c.text;
        EXPECT_EQ(t.name, c.name) << c.text;
        EXPECT_NE(t.oid, 0u);
    }
    EXPECT_EQ(db->ResolveTable("other.only_here").QualifiedName(), "\"other\".\"only_here\"");
    for (std::string missing : {"TWIN", "no_such", "a_view", "a_sequence", "parted_1", "nowhere.items", "pg_class"}) {
        try {
            db->ResolveTable(missing);
            ADD_FAILURE() << missing;
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult, kErrNotFound) << missing;
        }
    }
}

TEST_F(BulkLoadTest, BinaryAndTextFilesKeepIdentityValuesAndMoveTheCounters)
{
    pg->exec("CREATE TABLE parent (id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name text);"
             "CREATE TABLE child (id serial PRIMARY KEY, parent_id int REFERENCES parent, note text);"
             "CREATE TABLE source_parent (id int, name text);"
             "INSERT INTO source_parent VALUES (5, 'five'), (9, NULL), (7, E'tab\\there');");
    auto parentFile = dir.write("parent.bcp", pg->copyOut("COPY source_parent TO STDOUT (FORMAT binary)"));
    auto childFile = dir.write("child.txt", "100\t9\tfirst\n101\t5\t\\N\n");

    // The child goes first: foreign keys are not checked during a load.
    EXPECT_EQ(db->BulkLoad("child", childFile.string(), false), 2u);
    EXPECT_EQ(db->BulkLoad("PARENT", parentFile.string(), false), 3u);
    EXPECT_EQ(scalar(db, "SELECT string_agg(id || ':' || coalesce(name, 'NULL'), ',' ORDER BY id) FROM parent"),
              "5:five,7:tab\there,9:NULL");
    EXPECT_EQ(scalar(db, "SELECT count(*) FROM child WHERE note IS NULL"), "1");

    // The next generated values do not collide with the loaded ones.
    db->ExecuteImmediate("INSERT INTO parent (name) VALUES ('next'); INSERT INTO child (note) VALUES ('next')");
    EXPECT_EQ(scalar(db, "SELECT id FROM parent WHERE name = 'next'"), "10");
    EXPECT_EQ(scalar(db, "SELECT id FROM child WHERE note = 'next'"), "102");

    // A counter already past the loaded values stays where it is.
    auto low = dir.write("low.txt", "1\t\\N\tlow\n");
    db->BulkLoad("child", low.string(), false);
    db->ExecuteImmediate("INSERT INTO child (note) VALUES ('after')");
    EXPECT_EQ(scalar(db, "SELECT id FROM child WHERE note = 'after'"), "103");

    // Truncate first empties the table and restarts its identity.
    auto empty = dir.write("empty.txt", "");
    EXPECT_EQ(db->BulkLoad("child", empty.string(), true), 0u);
    db->ExecuteImmediate("INSERT INTO child (note) VALUES ('fresh')");
    EXPECT_EQ(scalar(db, "SELECT string_agg(id || note, ',') FROM child"), "1fresh");
}

TEST_F(BulkLoadTest, AFailureRollsTheWholeFileBack)
{
    pg->exec("CREATE TABLE t (id int PRIMARY KEY, v text); INSERT INTO t VALUES (1, 'kept');");
    auto bad = dir.write("t.txt", "2\tok\n3\tok\nnot a number\tbad\n");
    try {
        db->BulkLoad("t", bad.string(), true);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrStatement);
        EXPECT_EQ(e.sqlstate, "22P02");
        EXPECT_NE(e.description.find("line 3"), std::string::npos) << e.description;
    }
    // Neither the truncate nor the good rows stayed; the connection works.
    EXPECT_EQ(scalar(db, "SELECT string_agg(id || v, ',') FROM t"), "1kept");

    auto duplicate = dir.write("dup.txt", "1\tagain\n");
    try {
        db->BulkLoad("t", duplicate.string(), false);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.sqlstate, "23505");
    }
    try {
        db->BulkLoad("no_such_table", duplicate.string(), false);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrNotFound);
    }
    try {
        db->BulkLoad("t", (dir / "missing.txt").string(), false);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult, kErrFile);
        EXPECT_NE(e.description.find("missing.txt"), std::string::npos);
    }
    // A table that another one references cannot be emptied alone.
    pg->exec("CREATE TABLE r (t_id int REFERENCES t)");
    try {
        db->BulkLoad("t", duplicate.string(), true);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.sqlstate, "0A000");
    }
    EXPECT_EQ(scalar(db, "SELECT count(*) FROM t"), "1");
}
