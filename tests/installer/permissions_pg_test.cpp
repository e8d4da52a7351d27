#include "installer/commands/commander.h"
#include "installer/commands/scriptlist.h"
#include "installer/common/utils.h"
#include "dmo/tables.h"

#include "tests/installer/pgtestutil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace dorvik;
using kelm::test::PgDatabase;
using kelm::test::Query;

namespace {

const char* const kObjects = R"(
    CREATE TABLE t (id int, secret text);
    CREATE VIEW v AS SELECT id FROM t;
    CREATE PROCEDURE p(a int) LANGUAGE sql AS $$ SELECT 1 $$;
    CREATE FUNCTION f(a int) RETURNS int LANGUAGE sql AS $$ SELECT a $$;
    CREATE FUNCTION f(a text) RETURNS text LANGUAGE sql AS $$ SELECT a $$;
    CREATE TABLE "Mixed Case" (id int);
)";

class PermissionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        db = std::make_unique<PgDatabase>("perm");
        r1 = "r1_" + db->name();
        r2 = "r2_" + db->name();
        kelm::test::PgAdminExec("CREATE ROLE \"" + r1 + "\"; CREATE ROLE \"" + r2 + "\"");
        db->exec(kObjects);
        db->exec("GRANT SELECT, INSERT ON t TO \"" + r1 + "\"; GRANT UPDATE (secret), SELECT (id, secret) ON t TO \"" +
                 r2 + "\"; GRANT DELETE ON t TO \"" + r2 + "\" WITH GRANT OPTION; GRANT SELECT ON t TO PUBLIC;"
                 "GRANT SELECT ON v TO \"" + r2 + "\"; GRANT EXECUTE ON PROCEDURE p(int) TO \"" + r1 + "\";"
                 "REVOKE ALL ON FUNCTION f(int) FROM PUBLIC; GRANT EXECUTE ON FUNCTION f(int) TO \"" + r1 + "\";"
                 "GRANT EXECUTE ON FUNCTION f(text) TO \"" + r2 + "\"; GRANT REFERENCES ON \"Mixed Case\" TO \"" +
                 r1 + "\"");
        server = kelm::test::ConnectTrustedServer();
        file = (dir / "perms.dat").string();
    }
    void TearDown() override
    {
        server.reset();
        db.reset();
        if (!r1.empty())
            kelm::test::PgAdminExec("DROP ROLE IF EXISTS \"" + r1 + "\"; DROP ROLE IF EXISTS \"" + r2 + "\"");
    }
    std::string acl()
    {
        return Query(*db, R"(
            SELECT string_agg(x, E'\n' ORDER BY x) FROM (
              SELECT c.relname || ':' || coalesce(r.rolname, 'PUBLIC') || ':' || a.privilege_type || ':' || a.is_grantable
                FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a LEFT JOIN pg_roles r ON r.oid = a.grantee
                WHERE c.relnamespace = 'public'::regnamespace
              UNION ALL
              SELECT c.relname || '.' || t.attname || ':' || coalesce(r.rolname, 'PUBLIC') || ':' || a.privilege_type
                FROM pg_attribute t JOIN pg_class c ON c.oid = t.attrelid CROSS JOIN LATERAL aclexplode(t.attacl) a
                LEFT JOIN pg_roles r ON r.oid = a.grantee WHERE c.relnamespace = 'public'::regnamespace
              UNION ALL
              SELECT p.proname || '(' || pg_get_function_identity_arguments(p.oid) || '):' ||
                     coalesce(r.rolname, 'PUBLIC') || ':' || a.privilege_type
                FROM pg_proc p CROSS JOIN LATERAL aclexplode(p.proacl) a LEFT JOIN pg_roles r ON r.oid = a.grantee
                WHERE p.pronamespace = 'public'::regnamespace) s(x))");
    }
    bool save(const std::string& flags = "1, 1, 1, 1")
    {
        return commander.Execute(server.get(), "SavePermissions(" + db->name() + ", " + file + ", " + flags + ")");
    }
    bool restore(const std::string& flags)
    {
        return commander.Execute(server.get(), "RestorePermissions(" + db->name() + ", " + file + ", " + flags + ")");
    }
    void recreate()
    {
        db->exec("DROP VIEW v; DROP TABLE t; DROP TABLE \"Mixed Case\"; DROP PROCEDURE p(int); DROP FUNCTION f(int);"
                 "DROP FUNCTION f(text);");
        db->exec(kObjects);
    }

    kelm::test::TempDir dir;
    std::unique_ptr<PgDatabase> db;
    std::string r1, r2, file;
    std::shared_ptr<dmo::SQLServer> server;
    kelm::test::RecordingProgress progress;
    RunContext run;
    CCommander commander{run, &progress};
};

} // namespace

TEST_F(PermissionsTest, SavedPermissionsComeBackOnReCreatedObjects)
{
    std::string before = acl();
    ASSERT_NE(before.find("f(a integer):" + r1 + ":EXECUTE"), std::string::npos) << before;
    ASSERT_TRUE(save()) << commander.GetDetailText();
    ASSERT_TRUE(std::filesystem::exists(file));
    recreate();
    ASSERT_NE(acl(), before);
    ASSERT_TRUE(restore("1, 1, 1, 0, 0, 1")) << commander.GetDetailText() << "\n" << commander.GetProtocol().m_strText;
    EXPECT_EQ(acl(), before);
    EXPECT_TRUE(std::filesystem::exists(file)) << "kept without the delete flag";

    // The file's records: one per object, keyed "schema"."name", the two
    // overloads of f in one record.
    CScriptList list;
    ASSERT_EQ(list.Load(file), 0);
    EXPECT_EQ(list.GetCount(), 5);
    auto* f = list.Find(4, "\"public\".\"f\"");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->m_strText, "REVOKE ALL ON FUNCTION \"public\".\"f\"(a integer) FROM PUBLIC;\r\n"
                            "GRANT EXECUTE ON FUNCTION \"public\".\"f\"(a integer) TO \"" + r1 + "\";\r\n"
                            "GRANT EXECUTE ON FUNCTION \"public\".\"f\"(a text) TO \"" + r2 + "\";\r\n");
    auto* t = list.Find(1, "\"public\".\"t\"");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->m_strText.rfind("GRANT SELECT ON TABLE \"public\".\"t\" TO PUBLIC;\r\n", 0), 0u) << t->m_strText;
}

TEST_F(PermissionsTest, ObjectsWithoutAnEntryGetEverythingForPublicAndTheFileGoesAfterSuccess)
{
    ASSERT_TRUE(save("1, 0, 0, 0")) << commander.GetDetailText();
    db->exec("CREATE TABLE newcomer (id int)");
    ASSERT_TRUE(restore("1, 0, 0, 1, 1, 0")) << commander.GetDetailText();
    EXPECT_EQ(Query(*db, "SELECT string_agg(privilege_type, ',' ORDER BY privilege_type) FROM "
                         "aclexplode((SELECT relacl FROM pg_class WHERE relname = 'newcomer')) WHERE grantee = 0"),
              "DELETE,INSERT,REFERENCES,SELECT,UPDATE");
    EXPECT_FALSE(std::filesystem::exists(file));
    const std::string& text = commander.GetProtocol().m_strText;
    EXPECT_NE(text.find("GRANT SELECT, INSERT, UPDATE, DELETE, REFERENCES ON TABLE \"public\".\"newcomer\" TO PUBLIC"),
              std::string::npos) << text;
    EXPECT_NE(text.find("File " + file + " : successfully removed"), std::string::npos) << text;
}

TEST_F(PermissionsTest, FailuresKeepTheFiles)
{
    // Nothing asked for: no file.
    ASSERT_TRUE(save("0, 0, 0, 0"));
    EXPECT_FALSE(std::filesystem::exists(file));

    // A cancelled save leaves the previous file as it was.
    ASSERT_TRUE(save());
    std::string good = kelm::test::readFile(file);
    db->exec("GRANT TRUNCATE ON t TO \"" + r1 + "\"");
    auto cancel = std::make_shared<CManualEvent>();
    run.SetCancelEvent(cancel);
    progress.onText = [&](const std::string& text) {
        if (text.rfind("View : ", 0) == 0)
            cancel->Set();
    };
    EXPECT_FALSE(save());
    EXPECT_EQ(commander.GetResultCode(), 9);
    EXPECT_EQ(kelm::test::readFile(file), good);
    run.SetCancelEvent(nullptr);
    progress.onText = nullptr;

    // A statement that fails: result 15, the line in the protocol, the file kept.
    CScriptList bad;
    auto* item = new TScriptListItem;
    item->m_nKind = 1;
    item->m_strName = "\"public\".\"t\"";
    item->m_strText = "GRANT SELECT ON TABLE \"public\".\"t\" TO \"no such role\";\r\n";
    bad.Add(item);
    bad.Save(file);
    EXPECT_FALSE(restore("1, 0, 0, 1, 0, 0"));
    EXPECT_EQ(commander.GetResultCode(), 15);
    EXPECT_NE(commander.GetProtocol().m_strText.find("ERROR  : GRANT SELECT"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(file));

    // A file of the Windows build (Transact-SQL) is refused unread.
    CScriptList windows;
    auto* old = new TScriptListItem;
    old->m_nKind = 1;
    old->m_strName = "[dbo].[t]";
    old->m_strText = "GRANT SELECT ON [dbo].[t] TO [public]";
    windows.Add(old);
    windows.Save(file);
    EXPECT_FALSE(restore("1, 0, 0, 1, 0, 0"));
    EXPECT_EQ(commander.GetResultCode(), 12);
    EXPECT_TRUE(std::filesystem::exists(file));
}

// On PostgreSQL "Foo" and foo are two tables: each saved name finds its
// own table and no other, a name the file wrote unquoted folds to lower
// case as the server folds it, and a saved table that is gone is logged
// and skipped while the others still get their grants.
TEST_F(PermissionsTest, SavedNamesFindTheirOwnObjectsAndGoneOnesAreSkipped)
{
    db->exec("CREATE TABLE \"Foo\" (id int); CREATE TABLE foo (id int); CREATE TABLE bar (id int);"
             "GRANT SELECT ON \"Foo\" TO \"" + r1 + "\"; GRANT INSERT ON foo TO \"" + r2 + "\"");
    ASSERT_TRUE(save("1, 0, 0, 0")) << commander.GetDetailText();
    db->exec("DROP TABLE \"Foo\"; DROP TABLE foo; CREATE TABLE foo (id int)");
    auto grants = [&](const char* table) {
        return Query(*db, std::string("SELECT coalesce(string_agg(r.rolname || ':' || a.privilege_type, ',' "
                                      "ORDER BY r.rolname, a.privilege_type), '-') FROM pg_class c CROSS JOIN "
                                      "LATERAL aclexplode(c.relacl) a JOIN pg_roles r ON r.oid = a.grantee "
                                      "WHERE a.grantee <> c.relowner AND c.oid = '") + table + "'::regclass");
    };
    ASSERT_TRUE(restore("1, 0, 0, 0, 0, 0")) << commander.GetDetailText() << "\n" << commander.GetProtocol().m_strText;
    EXPECT_EQ(grants("foo"), r2 + ":INSERT");
    std::string text = commander.GetProtocol().m_strText;
    EXPECT_NE(text.find("Table \"public\".\"Foo\" : not found, its permissions are skipped"), std::string::npos)
        << text;
    EXPECT_EQ(commander.GetProtocol().m_nWarnings, 0);

    // Names as a file may hold them.
    CScriptList list;
    const struct {
        const char* name;
        std::string statement;
    } records[] = {
        {"public.Bar", "GRANT SELECT ON TABLE public.bar TO \"" + r1 + "\";"},
        {"\"public\".\"BAR\"", "GRANT INSERT ON TABLE public.bar TO \"" + r2 + "\";"},
        {"\"PUBLIC\".foo", "GRANT UPDATE ON TABLE public.foo TO \"" + r1 + "\";"},
    };
    for (const auto& record : records) {
        auto* item = new TScriptListItem;
        item->m_nKind = 1;
        item->m_strName = record.name;
        item->m_strText = record.statement;
        list.Add(item);
    }
    list.Save(file);
    ASSERT_TRUE(restore("1, 0, 0, 0, 0, 0")) << commander.GetDetailText() << "\n" << commander.GetProtocol().m_strText;
    EXPECT_EQ(grants("bar"), r1 + ":SELECT");
    EXPECT_EQ(grants("foo"), r2 + ":INSERT");
    text = commander.GetProtocol().m_strText;
    EXPECT_NE(text.find("Table \"public\".\"BAR\" : not found"), std::string::npos) << text;
    EXPECT_NE(text.find("Table \"PUBLIC\".\"foo\" : not found"), std::string::npos) << text;
}

// The save reads every table's statements at once: each table must get
// its own grants, column grants included, exactly as scripting it alone
// gives them, and a table dropped since the refresh is left out.
TEST_F(PermissionsTest, AllTablesAtOnceScriptLikeEachAlone)
{
    db->exec("CREATE TABLE u (a int, b int); GRANT INSERT (b) ON u TO \"" + r1 + "\"; GRANT SELECT (a, b) ON u TO \"" +
             r2 + "\"; CREATE TABLE gone (a int); GRANT SELECT ON gone TO \"" + r1 + "\"");
    auto tables = server->GetDatabases()->Item(db->name())->GetTables();
    tables->Refresh();
    auto all = tables->ScriptPermissions();
    ASSERT_EQ(all.size(), 4u);
    for (int i = 1; i <= tables->Count(); ++i) {
        auto table = tables->Item(i);
        const auto& one = all.at(table->Oid());
        EXPECT_EQ(one.qualifiedName, table->QualifiedName());
        EXPECT_FALSE(one.extension);
        EXPECT_EQ(one.script, table->Script(dmo::kScriptPermissions, 16)) << one.qualifiedName;
    }
    EXPECT_EQ(all.at(tables->Item("u")->Oid()).script,
              "GRANT INSERT (\"b\") ON TABLE \"public\".\"u\" TO \"" + r1 + "\";\r\n"
              "GRANT SELECT (\"a\", \"b\") ON TABLE \"public\".\"u\" TO \"" + r2 + "\";\r\n");

    auto gone = tables->Item("gone")->Oid();
    db->exec("DROP TABLE gone");
    all = tables->ScriptPermissions();
    EXPECT_EQ(all.size(), 3u);
    EXPECT_EQ(all.count(gone), 0u);
}
