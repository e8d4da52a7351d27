// The database-object tree without a window, on a PostgreSQL database the
// test builds (schemas, tables with keys and an index, a view, a procedure,
// an overloaded function, data types) and on an SQLite file.
#include "odbc/data/core/databaseex.h"
#include "odbc/trees/core/dbobjecttree.h"
#include "odbc/data/core/messages.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

using namespace kelm::test;

namespace {

std::vector<std::string> Texts(const CDBTreeNode* node)
{
    std::vector<std::string> out;
    for (const auto& child : node->children)
        out.push_back(child->text);
    return out;
}

CDBTreeNode* Child(CDBTreeNode* node, const std::string& text)
{
    for (const auto& child : node->children)
        if (child->text == text)
            return child.get();
    ADD_FAILURE() << "no child " << text << " under " << node->text;
    return nullptr;
}

struct Messages {
    Messages()
    {
        SetOrvoMessageHandler([this](const std::string& text, long) {
            shown.push_back(text);
            return IDOK;
        });
    }
    ~Messages() { SetOrvoMessageHandler(nullptr); }
    std::vector<std::string> shown;
};

class ObjectTreePg : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELM_REQUIRE_PG();
        pg = std::make_unique<PgDatabase>("tree");
        pg->exec("CREATE SCHEMA sales; CREATE SCHEMA stock;"
                 "CREATE TABLE sales.customers (id integer PRIMARY KEY, name text);"
                 "CREATE TABLE sales.orders (id integer PRIMARY KEY, customer_id integer REFERENCES sales.customers, "
                 "code varchar(10));"
                 "CREATE INDEX ix_orders_code ON sales.orders (code);"
                 "CREATE TABLE stock.items (id integer);"
                 "CREATE VIEW sales.v_orders AS SELECT id, code FROM sales.orders;"
                 "CREATE PROCEDURE sales.book(a integer, INOUT b varchar) LANGUAGE sql AS $$ SELECT 'x' $$;"
                 "CREATE FUNCTION sales.twice(x integer) RETURNS integer LANGUAGE sql AS $$ SELECT 2 * x $$;"
                 "CREATE FUNCTION sales.twice(x text) RETURNS text LANGUAGE sql AS $$ SELECT x || x $$;"
                 "CREATE DOMAIN sales.amount AS numeric(10,2); CREATE TYPE stock.mood AS ENUM ('ok', 'bad');");
        std::string error;
        ASSERT_TRUE(db.OpenDBExStr(pg->odbcConnString().c_str(), false, error)) << error;
        tree.Populate(&db);
        ASSERT_NE(tree.Root(), nullptr);
    }
    CDBTreeNode* Database() { return tree.Root()->children.front().get(); }
    CDBTreeNode* Owner(const std::string& folder, const std::string& owner)
    {
        return Child(Child(Database(), folder), owner);
    }
    std::unique_ptr<PgDatabase> pg;
    CDatabaseEx db;
    CTreeDBObjectsModel tree;
    Messages messages;
};

TEST_F(ObjectTreePg, PopulationGivesServerDatabaseFoldersAndSchemasAsOwners)
{
    EXPECT_EQ(tree.Root()->kind, kNodeServer);
    EXPECT_FALSE(tree.Root()->text.empty());
    CDBTreeNode* database = Database();
    EXPECT_EQ(database->kind, kNodeDatabase);
    EXPECT_EQ(database->text, pg->name());
    EXPECT_EQ(Texts(database), (std::vector<std::string>{"User Tables", "System Tables", "Views", "Stored Procedures",
                                                         "User Functions", "User Defined Data Types", "System Data Types",
                                                         "Users", "Roles", "Application roles"}));
    for (const auto& folder : database->children)
        EXPECT_EQ(folder->kind, kNodeFolder) << folder->text;
    EXPECT_EQ(Texts(Child(database, "User Tables")), (std::vector<std::string>{"information_schema", "pg_catalog", "sales", "stock"}));
    EXPECT_EQ(Texts(Child(database, "Views")), (std::vector<std::string>{"information_schema", "pg_catalog", "sales"}));
    EXPECT_EQ(Texts(Child(database, "Stored Procedures")), (std::vector<std::string>{"pg_catalog", "sales"}));
    for (const auto& owner : Child(database, "User Tables")->children) {
        EXPECT_EQ(owner->kind, kNodeOwner);
        EXPECT_TRUE(owner->hasChildrenMark);
        EXPECT_TRUE(owner->children.empty()); // read on expansion only
    }
    EXPECT_EQ(Texts(Child(database, "User Defined Data Types")), (std::vector<std::string>{"amount", "mood"}));
    auto system = Texts(Child(database, "System Data Types"));
    EXPECT_NE(std::find(system.begin(), system.end(), "int4"), system.end());
    EXPECT_EQ(std::find(system.begin(), system.end(), "_int4"), system.end()); // no array types
    EXPECT_EQ(std::find(system.begin(), system.end(), "pg_class"), system.end()); // no row types of tables
    auto users = Texts(Child(database, "Users"));
    EXPECT_NE(std::find(users.begin(), users.end(), PgUser()), users.end());
    EXPECT_TRUE(Child(database, "Application roles")->children.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ObjectTreePg, EachKindExpandsOnceIntoItsChildren)
{
    CDBTreeNode* tables = Owner("User Tables", "sales");
    tree.Expand(tables);
    EXPECT_EQ(Texts(tables), (std::vector<std::string>{"sales.customers", "sales.orders"}));
    for (const auto& t : tables->children) {
        EXPECT_EQ(t->kind, kNodeTable);
        EXPECT_TRUE(t->hasChildrenMark);
    }

    CDBTreeNode* orders = Child(tables, "sales.orders");
    tree.Expand(orders);
    EXPECT_EQ(Texts(orders), (std::vector<std::string>{"Columns", "Indexes", "Constraints", "Dependencies"}));
    for (const auto& folder : orders->children) {
        EXPECT_EQ(folder->kind, kNodeFolder);
        EXPECT_EQ(folder->selectedKind, kNodeFolderOpen);
    }
    EXPECT_EQ(Texts(Child(orders, "Columns")),
              (std::vector<std::string>{"id (int4,NOT NULL)", "customer_id (int4,NULL)", "code (varchar(10),NULL)"}));
    auto indexes = Texts(Child(orders, "Indexes"));
    std::sort(indexes.begin(), indexes.end());
    EXPECT_EQ(indexes, (std::vector<std::string>{"ix_orders_code", "orders_pkey"}));
    EXPECT_EQ(Texts(Child(orders, "Constraints")),
              (std::vector<std::string>{"sales.orders_pkey (primary key)", "sales.orders_customer_id_fkey (foreign key)"}));
    CDBTreeNode* uses = Child(orders, "Dependencies");
    ASSERT_EQ(uses->children.size(), 1u);
    EXPECT_EQ(uses->children[0]->kind, kNodeReferences);
    EXPECT_EQ(uses->children[0]->text, "sales.customers");

    CDBTreeNode* customers = Child(tables, "sales.customers");
    tree.Expand(customers);
    CDBTreeNode* usedBy = Child(customers, "Dependencies");
    ASSERT_EQ(usedBy->children.size(), 1u);
    EXPECT_EQ(usedBy->children[0]->kind, kNodeReferencedBy);
    EXPECT_EQ(usedBy->children[0]->text, "sales.orders");

    // Views list only views, which show only their columns.
    CDBTreeNode* views = Owner("Views", "sales");
    tree.Expand(views);
    ASSERT_EQ(Texts(views), std::vector<std::string>{"sales.v_orders"});
    EXPECT_EQ(views->children[0]->kind, kNodeView);
    tree.Expand(views->children[0].get());
    EXPECT_EQ(Texts(views->children[0].get()), std::vector<std::string>{"Columns"});

    // Procedures and functions by PostgreSQL's own kinds; each overload of a
    // function is a node of its own.
    CDBTreeNode* procedures = Owner("Stored Procedures", "sales");
    tree.Expand(procedures);
    ASSERT_EQ(Texts(procedures), std::vector<std::string>{"sales.book"});
    EXPECT_EQ(procedures->children[0]->kind, kNodeProcedure);
    CDBTreeNode* functions = Owner("User Functions", "sales");
    tree.Expand(functions);
    EXPECT_EQ(Texts(functions), (std::vector<std::string>{"sales.twice", "sales.twice"}));
    EXPECT_EQ(functions->children[0]->kind, kNodeFunction);
    // The catalog names routines, not overloads: each node shows the
    // parameters of both.
    tree.Expand(functions->children[0].get());
    EXPECT_EQ(Texts(Child(functions->children[0].get(), "Parameters")),
              (std::vector<std::string>{" (int4,Return value,)", "x (int4,In,)", " (text,Return value,)", "x (text,In,)"}));

    CDBTreeNode* book = procedures->children[0].get();
    tree.Expand(book);
    auto parameters = Texts(Child(book, "Parameters"));
    ASSERT_EQ(parameters.size(), 2u);
    // psqlODBC reports the nullability of arguments as unknown (2).
    EXPECT_EQ(parameters[0], "a (int4,In,)");
    EXPECT_EQ(parameters[1].rfind("b (varchar", 0), 0u) << parameters[1];
    EXPECT_NE(parameters[1].find(",In\\Out,"), std::string::npos) << parameters[1];

    // An owner without objects of the kind loses its expand button.
    CDBTreeNode* none = Owner("Stored Procedures", "pg_catalog");
    tree.Expand(none);
    EXPECT_TRUE(none->children.empty());
    EXPECT_FALSE(none->hasChildrenMark);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ObjectTreePg, ReopeningANodeAsksTheCatalogNoMore)
{
    CDBTreeNode* tables = Owner("User Tables", "sales");
    tree.Expand(tables);
    CDBTreeNode* orders = Child(tables, "sales.orders");
    tree.Expand(orders);
    CDBTreeNode* columns = Child(orders, "Columns");
    tree.Expand(columns);
    EXPECT_EQ(columns->kind, kNodeFolderOpen);
    int queries = tree.CatalogQueries();
    tree.Collapse(columns);
    EXPECT_EQ(columns->kind, kNodeFolder);
    tree.Collapse(orders);
    tree.Collapse(tables);
    tree.Expand(tables);
    tree.Expand(orders);
    tree.Expand(columns);
    EXPECT_EQ(tree.CatalogQueries(), queries);
    EXPECT_EQ(orders->children.size(), 4u);
    EXPECT_EQ(tables->children.size(), 2u);
}

TEST_F(ObjectTreePg, SearchRunsAlongTheLevel)
{
    CDBTreeNode* tables = Owner("User Tables", "sales");
    tree.Expand(tables);
    CDBTreeNode* customers = Child(tables, "sales.customers");
    CDBTreeNode* orders = Child(tables, "sales.orders");
    tree.Expand(orders);
    CDBTreeNode* columns = Child(orders, "Columns");
    auto find = [](std::string text, bool down, bool matchCase, bool wholeWord) {
        return CTreeDBFindSettings{std::move(text), matchCase, down, wholeWord};
    };
    struct Case {
        const char* what;
        CDBTreeNode* from;
        CTreeDBFindSettings settings;
        CDBTreeNode* expected;
        bool message;
    };
    const Case cases[] = {
        {"down to the next table", customers, find("ORD", true, false, false), orders, false},
        {"up to the previous table", orders, find("cust", false, false, false), customers, false},
        {"the selected node is not a candidate", orders, find("orders", true, false, false), nullptr, true},
        {"whole word without case", customers, find("SALES.ORDERS", true, false, true), orders, false},
        {"whole word with case", customers, find("SALES.ORDERS", true, true, true), nullptr, true},
        {"part of a word is not whole", customers, find("orders", true, false, true), nullptr, true},
        {"match case", customers, find("Orders", true, true, false), nullptr, true},
        {"the same owner's tables only", customers, find("items", true, false, false), nullptr, true},
        {"empty text does nothing", customers, find("", true, false, false), nullptr, false},
        {"the database does nothing", Database(), find("x", true, false, false), nullptr, false},
        {"a closed folder opens and is searched", columns, find("code", true, false, false), columns->children.size() > 2 ? columns->children[2].get() : nullptr, false},
    };
    for (const Case& c : cases) {
        messages.shown.clear();
        CDBTreeNode* found = tree.Search(c.from, c.settings, nullptr);
        EXPECT_EQ(found, c.expected) << c.what;
        EXPECT_EQ(messages.shown, c.message ? std::vector<std::string>{"Значение не найдено!"} : std::vector<std::string>{})
            << c.what;
    }
    EXPECT_EQ(columns->kind, kNodeFolderOpen);

    // A closed folder not yet read (an owner's table folder) is filled first.
    CDBTreeNode* customerCols = nullptr;
    CDBTreeNode* customersTable = customers;
    tree.Expand(customersTable);
    customerCols = Child(customersTable, "Columns");
    ASSERT_NE(tree.Search(customerCols, find("name", true, false, false), [&](CDBTreeNode* n) { tree.Expand(n); }),
              nullptr);
}

TEST_F(ObjectTreePg, CommandsFollowTheSelectedKind)
{
    auto node = [](int kind) {
        CDBTreeNode n;
        n.kind = kind;
        return n;
    };
    CDBTreeNode table = node(kNodeTable), view = node(kNodeView), procedure = node(kNodeProcedure),
                function = node(kNodeFunction), column = node(kNodeColumn), owner = node(kNodeOwner),
                database = node(kNodeDatabase), server = node(kNodeServer), folder = node(kNodeFolder), other = node(15);
    struct Case {
        CDBTreeNode* node;
        std::vector<int> enabled;
    };
    const int all[] = {ID_TREEDB_SCRIPT_SELECT, ID_TREEDB_SCRIPT_INSERT, ID_TREEDB_SCRIPT_UPDATE,
                       ID_TREEDB_SCRIPT_DELETE, ID_TREEDB_SCRIPT_EXECUTE, ID_TREEDB_FIND, ID_TREEDB_NEXT};
    const Case cases[] = {
        {&table, {ID_TREEDB_SCRIPT_SELECT, ID_TREEDB_SCRIPT_INSERT, ID_TREEDB_SCRIPT_UPDATE, ID_TREEDB_SCRIPT_DELETE,
                  ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&view, {ID_TREEDB_SCRIPT_SELECT, ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&procedure, {ID_TREEDB_SCRIPT_EXECUTE, ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&function, {ID_TREEDB_SCRIPT_EXECUTE, ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&column, {ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&owner, {ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&folder, {ID_TREEDB_FIND, ID_TREEDB_NEXT}},
        {&database, {}},
        {&server, {}},
        {&other, {}},
        {nullptr, {}},
    };
    for (const Case& c : cases)
        for (int command : all) {
            bool expected = std::find(c.enabled.begin(), c.enabled.end(), command) != c.enabled.end();
            EXPECT_EQ(tree.IsCommandEnabled(command, c.node), expected)
                << "kind " << (c.node ? c.node->kind : -1) << " command " << command;
        }
    // A closed connection disables the scripts but not the search.
    db.Close();
    EXPECT_FALSE(tree.IsCommandEnabled(ID_TREEDB_SCRIPT_SELECT, &table));
    EXPECT_TRUE(tree.IsCommandEnabled(ID_TREEDB_FIND, &table));
}

TEST(ObjectTreeSqlite, OneEmptyOwnerPerFolderAndTheDriversTypes)
{
    Messages messages;
    TempDir dir;
    CDatabaseEx db;
    std::string error;
    ASSERT_TRUE(db.OpenDBExStr(SqliteConnString(dir / "tree.db").c_str(), false, error)) << error;
    db.ExecuteSQL("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)");
    db.ExecuteSQL("CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER REFERENCES customers(id), code "
                  "VARCHAR(10) NOT NULL)");
    db.ExecuteSQL("CREATE VIEW v_orders AS SELECT id FROM orders");
    CTreeDBObjectsModel tree;
    tree.Populate(&db);
    ASSERT_NE(tree.Root(), nullptr);
    CDBTreeNode* database = tree.Root()->children.front().get();
    EXPECT_EQ(Texts(database), (std::vector<std::string>{"User Tables", "System Tables", "Views", "Stored Procedures",
                                                         "User Functions", "Defined Data Types"}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Texts(database->children[static_cast<std::size_t>(i)].get()), std::vector<std::string>{""});
    auto types = Texts(Child(database, "Defined Data Types"));
    EXPECT_NE(std::find(types.begin(), types.end(), "integer"), types.end());

    CDBTreeNode* owner = Child(Child(database, "User Tables"), "");
    tree.Expand(owner);
    EXPECT_EQ(Texts(owner), (std::vector<std::string>{"customers", "orders"}));
    CDBTreeNode* orders = Child(owner, "orders");
    tree.Expand(orders);
    EXPECT_EQ(Texts(Child(orders, "Columns")),
              // The driver names the size in the type already, and calls the rowid alias nullable.
              (std::vector<std::string>{"id (INTEGER,NULL)", "customer_id (INTEGER,NULL)", "code (VARCHAR(10),NOT NULL)"}));
    CDBTreeNode* views = Child(Child(database, "Views"), "");
    tree.Expand(views);
    EXPECT_EQ(Texts(views), std::vector<std::string>{"v_orders"});
    CDBTreeNode* procedures = Child(Child(database, "Stored Procedures"), "");
    tree.Expand(procedures);
    EXPECT_FALSE(procedures->hasChildrenMark);
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
}

} // namespace
