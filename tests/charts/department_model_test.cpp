// The department chart's model: rebuilding from struct_gr, the stored chart
// in struct_gr_firm on both engines, and the tree arrangement of the nodes.
#include "charts/documents/core/deptmodel.h"
#include "charts/views/controllershared.h"

#include "tests/charts/workflow_support.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace wft;

namespace {

// A node of the model with the given codes, centred at (x, y).
CADSubDivision* AddNode(CADepartmentDiagramModel& model, std::int32_t code, std::int32_t parent, int x = 0, int y = 0,
                        const std::string& name = "")
{
    CADSubDivision* node = tarnwick::NewDepartmentNode();
    node->SetData(code, parent, name);
    model.AppendComponent(node);
    const CRect r = node->GetBounds();
    node->OffsetBy(x - (r.left + r.right) / 2, y - (r.top + r.bottom) / 2);
    return node;
}

CPoint Centre(const CODComponent* c)
{
    const CRect r = c->GetBounds();
    return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::string Name(const CADSubDivision* node)
{
    std::string text = "<none>";
    node->GetChildText("DocState", text);
    return text;
}

std::vector<CADSubDivision*> Nodes(CADepartmentDiagramModel& model)
{
    std::vector<CADSubDivision*> out;
    for (CODComponent* c : *model.GetComponents())
        if (auto* node = dynamic_cast<CADSubDivision*>(c))
            out.push_back(node);
    return out;
}

// "child->parent" for each link, by department code.
std::vector<std::string> Links(CADepartmentDiagramModel& model)
{
    std::vector<std::string> out;
    for (CODComponent* c : *model.GetComponents())
        if (auto* link = dynamic_cast<CDWFLink*>(c)) {
            auto* from = dynamic_cast<CADSubDivision*>(link->GetSourceComponent());
            auto* to = dynamic_cast<CADSubDivision*>(link->GetTargetComponent());
            out.push_back(std::to_string(from ? from->GetCode() : -99) + "->" +
                          std::to_string(to ? to->GetCode() : -99));
        }
    return out;
}

// ---------------------------------------------------------------- without a database

TEST(DepartmentElements, NodeAndLinkKeepTheirFieldsThroughTheArchive)
{
    ShellScope scope;
    CADepartmentDiagramModel model;
    CADSubDivision* a = AddNode(model, 40000, -1, 100, 100, "Дирекция");
    a->m_strComment = "первый\nвторой";
    CADSubDivision* b = AddNode(model, 7, 40000, 300, 300, "Склад");
    auto* link = new CDWFLink;
    ASSERT_TRUE(link->SetupLink(b->GetPort(), a->GetPort()));
    model.AppendComponent(link);
    EXPECT_EQ(link->GetLine()->GetEndDecoration(), 20);

    const std::vector<std::uint8_t> bytes = tarnwick::StoreElement(model);
    CADepartmentDiagramModel copy;
    tarnwick::LoadElement(copy, bytes);
    const auto nodes = Nodes(copy);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->GetCode(), 40000);
    EXPECT_EQ(nodes[0]->GetParentCode(), -1);
    EXPECT_EQ(nodes[0]->m_strComment, "первый\nвторой");
    EXPECT_EQ(Name(nodes[0]), "Дирекция");
    EXPECT_EQ(nodes[1]->GetParentCode(), 40000);
    EXPECT_EQ(Links(copy), std::vector<std::string>{"7->40000"});
    EXPECT_EQ(copy.m_nHorzSpace, 150);
    EXPECT_EQ(copy.m_nVertSpace, 100);
}

TEST(DepartmentElements, ChildTextNamesOneChildExactly)
{
    CADSubDivision* node = tarnwick::NewDepartmentNode();
    node->AddRef();
    ASSERT_NE(node->GetPort(), nullptr);
    node->SetChildText("DocState", "Цех");
    std::string text = "unchanged";
    node->GetChildText("docstate", text);
    EXPECT_EQ(text, "unchanged");
    node->SetChildText("NoSuchChild", "x");
    node->GetChildText("DocState", text);
    EXPECT_EQ(text, "Цех");
    node->Release();
}

TEST(DepartmentElements, LinksJoinTwoDifferentDepartmentNodesOnly)
{
    ShellScope scope;
    CADepartmentDiagramModel model;
    CADSubDivision* a = AddNode(model, 1, -1, 100, 100);
    CADSubDivision* b = AddNode(model, 2, 1, 300, 100);
    auto* plain = new CODSymbolComponent;
    tarnwick::LoadChartSymbol(*plain, tarnwick::IDR_SYMBOL_STATE);
    model.AppendComponent(plain);

    struct Case {
        const char* what;
        CODComponent* from;
        CODComponent* to;
        bool joined;
    } cases[] = {
        {"node to node", b, a, true},
        {"node to itself", a, a, false},
        {"node to another symbol", a, plain, false},
        {"another symbol to a node", plain, a, false},
    };
    for (const Case& c : cases) {
        auto* link = new CDWFLink;
        link->AddRef();
        link->SetupLink(nullptr, nullptr);
        const bool source = link->ConnectSource(c.from->GetPort());
        const bool target = source && link->ConnectTarget(c.to->GetPort());
        EXPECT_EQ(source && target, c.joined) << c.what;
        if (c.joined) {
            EXPECT_EQ(link->m_pSourceNode, c.from) << c.what;
            EXPECT_EQ(link->m_pTargetNode, c.to) << c.what;
        }
        link->DisconnectAll();
        link->Release();
    }
}

TEST(DepartmentElements, DoubleClickAsksForTheElementProperties)
{
    ShellScope scope;
    CADepartmentDiagramModel model;
    CADSubDivision* a = AddNode(model, 1, -1);
    auto* link = new CDWFLink;
    model.AppendComponent(link);
    EXPECT_TRUE(a->OnDoubleClick(0, CPoint()));
    EXPECT_TRUE(link->OnDoubleClick(0, CPoint()));
    EXPECT_EQ(scope.shell.posted, (std::vector<int>{44546, 44546}));
}

TEST(DepartmentElements, ThePropertySheetIsCaptionedByTheEditPropertysLastFlag)
{
    CADepartmentDiagramModel model;
    EXPECT_EQ(tarnwick::ElementPropertiesCaption(&model), "Свойства") << "no edit property";
    model.SetEditC(0);
    EXPECT_EQ(tarnwick::ElementPropertiesCaption(&model), "Свойства (только просмотр)");
    model.SetEditC(1);
    model.SetEditA(1);
    EXPECT_EQ(tarnwick::ElementPropertiesCaption(&model), "Свойства") << "only the last flag counts";
}

// ---------------------------------------------------------------- arrangement

TEST(DepartmentArrangement, SiblingsFollowTheBucketOrderOfTheirCodes)
{
    // Codes 0..15 share the first bucket, where the last added comes first;
    // code 16 is in the next bucket. The row order does not matter.
    CADepartmentDiagramModel model;
    AddNode(model, 100, -1, 5000, 5000);
    for (int code : {16, 0, 1, 2, 3, 15})
        AddNode(model, code, 100, 5000, 5000);
    ASSERT_TRUE(model.ArrangeNodes(nullptr));

    std::map<int, int> column;
    for (CADSubDivision* node : Nodes(model))
        column[node->GetCode()] = Centre(node).x;
    const int first = column[100];
    EXPECT_EQ(column[15], first);
    EXPECT_EQ(column[3], first + 150);
    EXPECT_EQ(column[2], first + 300);
    EXPECT_EQ(column[1], first + 450);
    EXPECT_EQ(column[0], first + 600);
    EXPECT_EQ(column[16], first + 750);
    for (CADSubDivision* node : Nodes(model))
        EXPECT_EQ(Centre(node).y, node->GetCode() == 100 ? 50 : 150) << node->GetCode();
}

TEST(DepartmentArrangement, TreesOfSuccessiveRootsFollowEachOtherDownwards)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> nodes; // code, parent
        std::map<int, CPoint> expected;         // code -> centre
    };
    const int w = 120; // the width of the department symbol
    const Case cases[] = {
        // Two levels below the first root, even without children.
        {"root without children, then a root", {{20, -1}, {40, 0}}, {{20, {w, 50}}, {40, {w, 250}}}},
        {"root with a subtree, then a root",
         {{20, -1}, {21, 20}, {22, 21}, {40, 0}},
         {{20, {w, 50}}, {21, {w, 150}}, {22, {w, 250}}, {40, {w, 450}}}},
        // Walk order 20 | 32 35 34 33: 32 takes the first column, 33 the
        // next, and 33's subtree fills the columns from its own rightwards.
        {"a subtree fills the columns from its own to the right",
         {{20, -1}, {33, 20}, {34, 33}, {35, 33}, {32, 20}},
         {{20, {w, 50}}, {32, {w, 150}}, {33, {w + 150, 150}}, {35, {w + 150, 250}}, {34, {w + 300, 250}}}},
    };
    for (const Case& c : cases) {
        CADepartmentDiagramModel model;
        for (auto [code, parent] : c.nodes)
            AddNode(model, code, parent, 3000, 3000);
        model.ArrangeNodes(nullptr);
        for (CADSubDivision* node : Nodes(model))
            EXPECT_EQ(Centre(node), c.expected.at(node->GetCode())) << c.what << ", code " << node->GetCode();
    }
}

TEST(DepartmentArrangement, OnlyTheLastNodeOfACodeIsArranged)
{
    // Hand-inserted nodes all have code -1: the map keeps the last of them.
    CADepartmentDiagramModel model;
    CADSubDivision* first = AddNode(model, -1, -1, 700, 700);
    CADSubDivision* second = AddNode(model, -1, -1, 900, 900);
    CADSubDivision* last = AddNode(model, -1, -1, 1100, 1100);
    model.ArrangeNodes(nullptr);
    EXPECT_EQ(Centre(first), CPoint(700, 700));
    EXPECT_EQ(Centre(second), CPoint(900, 900));
    EXPECT_EQ(Centre(last), CPoint(120, 50));
}

TEST(DepartmentArrangement, ACycleThroughCodeZeroEndsWithEachNodePlacedOnce)
{
    // A root (parent 0) whose child has code 0: each is the other's child.
    CADepartmentDiagramModel model;
    CADSubDivision* root = AddNode(model, 5, 0, 800, 800);
    CADSubDivision* zero = AddNode(model, 0, 5, 800, 800);
    ASSERT_TRUE(model.ArrangeNodes(nullptr));
    EXPECT_EQ(Centre(root), CPoint(120, 50));
    EXPECT_EQ(Centre(zero), CPoint(120, 150));
}

TEST(DepartmentArrangement, LinksOfFourPointsBecomeStepsAndTheSheetFitsTheNodes)
{
    ShellScope scope;
    CADepartmentDiagramModel model;
    CADSubDivision* top = AddNode(model, 1, -1, 200, 100);
    CADSubDivision* below = AddNode(model, 2, 1, 500, 400);
    auto* routed = new CDWFLink;
    routed->SetupLink(below->GetPort(), top->GetPort());
    model.AppendComponent(routed);
    routed->InsertPoint(1, routed->GetPoint(0));
    routed->InsertPoint(2, routed->GetPoint(2));
    auto* drawn = new CDWFLink;
    drawn->SetupLink(top->GetPort(), below->GetPort());
    model.AppendComponent(drawn);

    model.ArrangeLinks(nullptr);
    const CPoint s = below->GetPort()->GetLocation(), e = top->GetPort()->GetLocation();
    const int m = s.y + (e.y - s.y) / 2;
    ASSERT_EQ(routed->GetPointCount(), 4);
    EXPECT_EQ(routed->GetPoint(1), CPoint(s.x, m));
    EXPECT_EQ(routed->GetPoint(2), CPoint(e.x, m));
    EXPECT_EQ(drawn->GetPointCount(), 2);
    EXPECT_EQ(drawn->GetPoint(0), e);
    EXPECT_EQ(drawn->GetPoint(1), s);

    model.FitExtent(nullptr);
    int maxX = 0, maxY = 0;
    for (CADSubDivision* node : Nodes(model))
        for (const CPoint& p : node->GetPoints(true)) {
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    EXPECT_EQ(model.GetSize(), CSize(maxX + 50, maxY + 50));
    EXPECT_EQ(maxX, 560);
}

// ---------------------------------------------------------------- database

class DepartmentDb : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::PostgreSQL)
            KELM_REQUIRE_PG();
        db = std::make_unique<KelmDb>(GetParam(), "department");
        scope.shell.connection = db->connection;
        model.m_nKey = 4;
    }

    void Department(int code, const std::string& parent, const std::string& name, int sort, int deleted = 0,
                    int firm = 4)
    {
        db->Exec("INSERT INTO struct_gr(id_firm, struct_code, struct_parent, struct_name, struct_lev, flag_deleted, "
                 "sort) VALUES (" +
                 std::to_string(firm) + ", " + std::to_string(code) + ", " + parent + ", " + name + ", 0, " +
                 std::to_string(deleted) + ", " + std::to_string(sort) + ")");
    }

    ShellScope scope;
    std::unique_ptr<KelmDb> db;
    CADepartmentDiagramModel model;
};

TEST_P(DepartmentDb, RebuildMakesANodePerLiveDepartmentAndLinksItToItsParent)
{
    Department(0, "-1", "'Правление'", 1);
    Department(1, "0", "'Дирекция'", 2);
    Department(2, "1", "NULL", 3);
    Department(3, "-1", "'Без родителя'", 4);
    Department(-1, "-1", "'Код минус один'", 5);
    Department(4, "77", "'Родитель не найден'", 6);
    Department(5, "1", "'Удалён'", 7, 1);
    Department(6, "1", "'Другая фирма'", 8, 0, 5);
    model.AppendComponent(tarnwick::NewDepartmentNode()); // dropped by the rebuild

    ASSERT_TRUE(model.RebuildFromDB(nullptr));
    std::vector<std::string> names;
    for (CADSubDivision* node : Nodes(model))
        names.push_back(std::to_string(node->GetCode()) + ":" + Name(node));
    EXPECT_EQ(names, (std::vector<std::string>{"0:Правление", "1:Дирекция", "2:", "3:Без родителя",
                                               "-1:Код минус один", "4:Родитель не найден"}));
    EXPECT_EQ(Links(model), (std::vector<std::string>{"1->0", "2->1"}));
    for (CODComponent* c : *model.GetComponents())
        if (auto* link = dynamic_cast<CDWFLink*>(c))
            EXPECT_EQ(link->GetPointCount(), 4);
}

TEST_P(DepartmentDb, AFirmWithoutLiveDepartmentsRebuildsToAnEmptyChart)
{
    Department(1, "0", "'Удалён'", 1, 1);
    model.AppendComponent(tarnwick::NewDepartmentNode());
    ASSERT_TRUE(model.RebuildFromDB(nullptr));
    EXPECT_EQ(model.GetComponentCount(), 0);
}

TEST_P(DepartmentDb, CodesAbove16BitsRebuild)
{
    if (GetParam() == Engine::PostgreSQL) {
        db->Exec("ALTER TABLE struct_gr ALTER COLUMN struct_code TYPE integer");
        db->Exec("ALTER TABLE struct_gr ALTER COLUMN struct_parent TYPE integer");
    }
    Department(40000, "-1", "'Большой'", 1);
    Department(70001, "40000", "'Ещё больше'", 2);
    ASSERT_TRUE(model.RebuildFromDB(nullptr));
    ASSERT_EQ(Nodes(model).size(), 2u);
    EXPECT_EQ(Nodes(model)[1]->GetCode(), 70001);
    EXPECT_EQ(Links(model), std::vector<std::string>{"70001->40000"});
    EXPECT_TRUE(scope.shell.messages.empty());
}

TEST_P(DepartmentDb, SaveInsertsTheFirmsRowFirstAndUpdatesItNext)
{
    AddNode(model, 1, -1, 100, 100, "Дирекция");
    model.SetModified(true);
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_FALSE(model.IsModified());
    EXPECT_EQ(db->Count("SELECT count(*) FROM struct_gr_firm WHERE id_firm = 4"), 1);

    AddNode(model, 2, 1, 300, 300, "Склад");
    ASSERT_TRUE(model.SaveToDB());
    EXPECT_EQ(db->Count("SELECT count(*) FROM struct_gr_firm"), 1);

    CADepartmentDiagramModel loaded;
    ASSERT_TRUE(loaded.LoadFromDB(4, true));
    EXPECT_EQ(loaded.GetKey(), 4);
    ASSERT_EQ(Nodes(loaded).size(), 2u);
    EXPECT_EQ(Name(Nodes(loaded)[1]), "Склад");
    EXPECT_FALSE(loaded.IsModified());
}

TEST_P(DepartmentDb, AFailedOrRefusedSaveSaysSoAndKeepsTheChangedFlag)
{
    AddNode(model, 1, -1);
    model.SetModified(true);
    scope.shell.readOnly = true;
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_EQ(scope.shell.messages.size(), 1u);
    EXPECT_EQ(db->Count("SELECT count(*) FROM struct_gr_firm"), 0);

    scope.shell.readOnly = false;
    db->Exec("DROP TABLE struct_gr_firm");
    EXPECT_FALSE(model.SaveToDB());
    EXPECT_TRUE(model.IsModified());
    EXPECT_EQ(scope.shell.messages.size(), 2u);
}

TEST_P(DepartmentDb, LoadGivesAnEmptyChartForNoRowOrNullAndRefusesADamagedOne)
{
    AddNode(model, 1, -1);
    ASSERT_TRUE(model.LoadFromDB(9, true));
    EXPECT_EQ(model.GetComponentCount(), 0);

    db->Exec("INSERT INTO struct_gr_firm(id_firm, graph) VALUES (9, NULL)");
    AddNode(model, 1, -1);
    ASSERT_TRUE(model.LoadFromDB(9, true));
    EXPECT_EQ(model.GetComponentCount(), 0);
    EXPECT_TRUE(scope.shell.messages.empty());

    // A stored chart cut short.
    CADepartmentDiagramModel source;
    source.m_nKey = 10;
    AddNode(source, 1, -1);
    AddNode(source, 2, 1);
    ASSERT_TRUE(source.SaveToDB());
    const std::string cut = GetParam() == Engine::SQLite ? "substr(graph, 1, 40)" : "substring(graph from 1 for 40)";
    db->Exec("UPDATE struct_gr_firm SET graph = " + cut + " WHERE id_firm = 10");
    EXPECT_FALSE(model.LoadFromDB(10, true));
    EXPECT_EQ(model.GetComponentCount(), 0);
    EXPECT_EQ(scope.shell.messages, std::vector<std::string>{"Ошибка чтения данных!"});
}

INSTANTIATE_TEST_SUITE_P(Engines, DepartmentDb, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

} // namespace
