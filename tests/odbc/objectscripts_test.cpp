// Script skeletons of tree objects: the texts for SQL Server style names,
// then the same commands against real objects on PostgreSQL and SQLite,
// run where the engine can run them.
#include "odbc/data/core/databaseex.h"
#include "odbc/trees/core/objectscripts.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>


using namespace kelm::test;

namespace {

const std::vector<ScriptColumn> kOrders = {{"id", "int", 0, 4, 10}, {"note", "varchar", 0, 12, 50}};

TEST(ObjectScripts, SkeletonTextsOnServerStyleNames)
{
    const DbEngine ss = DbEngine::SqlServer;
    struct Case {
        const char* what;
        std::string text;
        std::string expected;
    };
    const std::vector<ScriptColumn> procedure = {
        {"@RETURN_VALUE", "int", 5, 4, 10}, {"@a", "int", 1, 4, 10}, {"@b", "varchar", 4, 12, 10}};
    const std::vector<ScriptColumn> function = {{"@RETURN_VALUE", "int", 5, 4, 10},
                                                {"@x", "int", 1, 4, 10},
                                                {"@s", "nvarchar", 2, -9, 20},
                                                {"@o", "int", 4, 4, 10},
                                                {"", "char", 3, 1, 5}};
    const Case cases[] = {
        {"select", SelectScript(ss, "Shop", "dbo.Orders", kOrders), "SELECT id, note FROM Shop.dbo.Orders"},
        {"select without columns", SelectScript(ss, "Shop", "dbo.Orders", {}), "SELECT * FROM Shop.dbo.Orders"},
        {"select without owner", SelectScript(ss, "Shop", "Orders", kOrders), "SELECT id, note FROM Shop..Orders"},
        {"insert", InsertScript(ss, "Shop", "dbo.Orders", kOrders),
         "INSERT INTO Shop.dbo.Orders(id, note)VALUES(<id,int>, <note,varchar>)"},
        {"insert without owner", InsertScript(ss, "Shop", "Orders", kOrders),
         "INSERT INTO Shop.Orders(id, note)VALUES(<id,int>, <note,varchar>)"},
        {"insert without columns", InsertScript(ss, "Shop", "dbo.Orders", {}), ""},
        {"update", UpdateScript(ss, "Shop", "dbo.Orders", kOrders),
         "UPDATE  Shop.dbo.Orders SET id=<id,int>, note=<note,varchar> WHERE <Search conditions,,>"},
        {"update without columns", UpdateScript(ss, "Shop", "dbo.Orders", {}), ""},
        {"delete", DeleteScript(ss, "Shop", "dbo.Orders"), "DELETE FROM Shop.dbo.Orders WHERE <Search conditions,,>"},
        {"procedure", ExecuteScript(ss, "Shop", "dbo.p", kNodeProcedure, procedure),
         "DECLARE @RC int\nDECLARE @a int\nDECLARE @b varchar(10)\n-- Set parameter values\nEXEC @RC = Shop.dbo.p @a, "
         "@b OUTPUT"},
        {"procedure without parameters", ExecuteScript(ss, "Shop", "dbo.p", kNodeProcedure, {}),
         "DECLARE @RC int\n\n-- Set parameter values\nEXEC @RC = Shop.dbo.p "},
        {"function", ExecuteScript(ss, "Shop", "dbo.f", kNodeFunction, function),
         "SELECT Shop.dbo.f(<@x,int>, <@s,nvarchar(20)>)"},
        {"execute on a table", ExecuteScript(ss, "Shop", "dbo.Orders", kNodeTable, function), ""},
        // PostgreSQL: bare names where they fold to themselves, quoted otherwise.
        {"postgres names",
         SelectScript(DbEngine::PostgreSql, "shop", "Sales.order",
                      {{"id", "int4"}, {"Note", "text"}, {"user", "text"}, {"2nd", "int4"}, {"a_$1", "int4"}, {"Имя", "text"}}),
         "SELECT id, \"Note\", \"user\", \"2nd\", a_$1, Имя FROM shop.\"Sales\".\"order\""},
        {"postgres procedure", ExecuteScript(DbEngine::PostgreSql, "shop", "public.p", kNodeProcedure, procedure),
         "CALL shop.public.p(<@a,int>, <@b,varchar(10)>)"},
        {"sqlite names", InsertScript(DbEngine::Sqlite, "main", "Orders", {{"Id", "INTEGER"}, {"my col", "TEXT"}}),
         "INSERT INTO main.Orders(Id, \"my col\")VALUES(<Id,INTEGER>, <my col,TEXT>)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, c.expected) << c.what;
}

TEST(ObjectScripts, DragTexts)
{
    struct Case {
        int kind;
        std::string text;
        std::vector<std::string> children;
        std::string expected;
    };
    const Case cases[] = {
        {kNodeFolder, "Columns", {"a (int,NULL)", "b (varchar(10),NOT NULL)"}, "a , b "},
        {kNodeFolder, "Parameters", {}, ""},
        {kNodeFolderOpen, "User Tables", {"x"}, "User"},
        {kNodeTable, "dbo.Orders", {}, "dbo.Orders"},
        {kNodeColumn, "id (int,NOT NULL)", {}, "id"},
        {kNodeConstraint, "public.orders_pkey (primary key)", {}, "public.orders_pkey"},
        {kNodeProcedure, "dbo.p;1", {}, "dbo.p"},
        {kNodeIndex, "ix\tname", {}, "ix"},
        {kNodeDataType, "a,b{c", {}, "a"},
        {kNodeOwner, "", {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DragTextOf(c.kind, c.text, c.children), c.expected) << c.text;
}

class ObjectScriptsDb : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam())
            KELM_REQUIRE_PG();
        engine = std::make_unique<EngineDatabase>(GetParam(), "scripts");
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(engine->connect().c_str(), false, error)) << error;
    }
    std::unique_ptr<EngineDatabase> engine;
    CDatabaseEx db;
};

// Placeholders <name,type> replaced by `value`, as a user fills them in.
std::string Filled(const std::string& script, const std::string& value = "NULL")
{
    std::string out;
    for (std::size_t i = 0; i < script.size(); ++i) {
        std::size_t close = script[i] == '<' ? script.find('>', i) : std::string::npos;
        if (close == std::string::npos) {
            out += script[i];
        } else {
            out += value;
            i = close;
        }
    }
    return out;
}

TEST_P(ObjectScriptsDb, ScriptsOfRealObjects)
{
    bool pg = GetParam();
    std::string d = db.GetDatabaseName();
    ASSERT_FALSE(d.empty());
    if (pg) {
        EXPECT_EQ(d, engine->pgDatabase().name());
        db.ExecuteSQL("CREATE SCHEMA sales");
        db.ExecuteSQL("CREATE TABLE sales.orders (id integer PRIMARY KEY, note varchar(20), \"Amount\" numeric(10,2))");
        db.ExecuteSQL("INSERT INTO sales.orders VALUES (1, 'Щи', 2.5)");
        db.ExecuteSQL("CREATE PROCEDURE sales.book(a integer, INOUT b varchar) LANGUAGE sql AS $$ SELECT 'x' $$");
        db.ExecuteSQL("CREATE FUNCTION sales.twice(x integer, s text) RETURNS integer LANGUAGE sql AS $$ SELECT 2 * x $$");
        std::string table = "sales.orders";
        std::string select = BuildObjectScript(db, ID_TREEDB_SCRIPT_SELECT, kNodeTable, table);
        EXPECT_EQ(select, "SELECT id, note, \"Amount\" FROM " + d + ".sales.orders");
        db.ExecuteSQL(select.c_str()); // runs as it stands
        EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_INSERT, kNodeTable, table),
                  "INSERT INTO " + d + ".sales.orders(id, note, \"Amount\")VALUES(<id,int4>, <note,varchar>, "
                  "<Amount,numeric>)");
        EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_UPDATE, kNodeTable, table),
                  "UPDATE  " + d + ".sales.orders SET id=<id,int4>, note=<note,varchar>, \"Amount\"=<Amount,numeric> "
                  "WHERE <Search conditions,,>");
        std::string del = BuildObjectScript(db, ID_TREEDB_SCRIPT_DELETE, kNodeTable, table);
        EXPECT_EQ(del, "DELETE FROM " + d + ".sales.orders WHERE <Search conditions,,>");
        db.ExecuteSQL(Filled(del, "id = 1").c_str());

        std::string call = BuildObjectScript(db, ID_TREEDB_SCRIPT_EXECUTE, kNodeProcedure, "sales.book");
        // psqlODBC gives a size to a varchar argument only in some versions.
        EXPECT_EQ(call.rfind("CALL " + d + ".sales.book(<a,int4>, <b,varchar", 0), 0u) << call;
        db.ExecuteSQL(Filled(call).c_str());
        std::string fn = BuildObjectScript(db, ID_TREEDB_SCRIPT_EXECUTE, kNodeFunction, "sales.twice");
        EXPECT_EQ(fn, "SELECT " + d + ".sales.twice(<x,int4>, <s,text>)");
        db.ExecuteSQL(Filled(fn).c_str());
    } else {
        db.ExecuteSQL("CREATE TABLE orders (id INTEGER PRIMARY KEY, note VARCHAR(20), \"Order\" TEXT)");
        // SQLite has no owners: the node text is the bare name. Its
        // database name is the file's path, quoted.
        std::string qd = QuoteIdentifier(d);
        EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_SELECT, kNodeTable, "orders"),
                  "SELECT id, note, \"Order\" FROM " + qd + "..orders");
        EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_INSERT, kNodeTable, "orders"),
                  "INSERT INTO " + qd + ".orders(id, note, \"Order\")VALUES(<id,INTEGER>, <note,VARCHAR(20)>, <Order,TEXT>)");
    }
    // Commands that do not fit the node give nothing.
    EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_INSERT, kNodeView, "x.y"), "");
    EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_SELECT, kNodeColumn, "x.y"), "");
    // A table without columns (unknown to the catalog): Select lists *, Insert nothing.
    EXPECT_EQ(BuildObjectScript(db, ID_TREEDB_SCRIPT_INSERT, kNodeTable, "nobody.none"), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, ObjectScriptsDb, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
