#include "tests/platform/diagram/fixtures.h"

#include "diagram/odcommand.h"
#include "diagram/odmodel.h"

#include <gtest/gtest.h>

#include <random>

#include <string>
#include <vector>

namespace {

using odtest::MakeSymbol;

using Log = std::vector<std::string>;

// A symbol that records what the library tells it; with cascade set, its
// removal first deletes the links attached to it through a nested command,
// as the chart elements do.
class RecSymbol : public CODSymbolComponent {
public:
    RecSymbol(Log* log, bool cascade) : m_log(log), m_cascade(cascade) {}
    void OnConnected(CODConnection* c) override
    {
        m_log->push_back("connected " + GetName());
        CODSymbolComponent::OnConnected(c);
    }
    void OnDisconnected(CODConnection* c) override
    {
        m_log->push_back("disconnected " + GetName());
        CODSymbolComponent::OnDisconnected(c);
    }
    void OnSymbolChanged() override
    {
        // The links must already be re-laid when this arrives.
        CODConnectionSet conns;
        GetConnections(conns);
        std::string s = "changed " + GetName();
        for (CODConnection* c : conns) {
            auto* link = static_cast<CODLinkComponent*>(c->GetOwner(0) == this ? c->GetOwner(1) : c->GetOwner(0));
            const CPoint at = link->GetSourceComponent() == this ? link->GetPoint(0)
                                                                  : link->GetPoint(link->GetPointCount() - 1);
            s += at == GetPort()->GetLocation() ? " laid" : " stale";
        }
        m_log->push_back(s);
    }
    void OnDelete(CODModel* model) override
    {
        m_log->push_back("delete " + GetName());
        if (m_cascade) {
            CODConnectionSet conns;
            GetConnections(conns);
            CODComponentSet links;
            for (CODConnection* c : conns) {
                CODComponent* other = c->GetOwner(0) == this ? c->GetOwner(1) : c->GetOwner(0);
                if (links.IndexOf(other) < 0)
                    links.Add(other);
            }
            if (links.GetSize() > 0) {
                auto* cmd = new CODDeleteCommand(model);
                cmd->SetComponents(links);
                model->ExecuteCommand(cmd);
            }
        }
        CODSymbolComponent::OnDelete(model);
    }

private:
    Log* m_log;
    bool m_cascade;
};

class RecLink : public CODLinkComponent {
public:
    explicit RecLink(Log* log) : m_log(log) { SetName("L"); }
    bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* other) override
    {
        if (!CODLinkComponent::AcceptConnection(ownEnd, other))
            return false;
        m_log->push_back(std::string("accept ") + (ownEnd == GetSourcePort() ? "source " : "target ") +
                         other->GetOwner()->GetName());
        return true;
    }
    void OnConnected(CODConnection* c) override
    {
        m_log->push_back("connected L");
        CODLinkComponent::OnConnected(c);
    }
    void OnDisconnected(CODConnection* c) override
    {
        m_log->push_back("disconnected L");
        CODLinkComponent::OnDisconnected(c);
    }
    void OnCreateLine() override
    {
        CODLinkComponent::OnCreateLine();
        m_log->push_back("line");
        SetEndDecoration(20);
    }

private:
    Log* m_log;
};

// An element class as the charts derive them: the library's part first.
class TStamped : public CODSymbolComponent {
    DECLARE_SERIAL(TStamped)
public:
    void Serialize(CArchive& ar) override
    {
        CODSymbolComponent::Serialize(ar);
        if (ar.IsStoring()) {
            ar << std::int32_t{3} << m_nValue;
        } else {
            m_nSchema = ar.GetObjectSchema();
            std::int32_t version = 0;
            ar >> version >> m_nValue;
        }
    }
    std::int32_t m_nValue = 0;
    std::uint32_t m_nSchema = 0;
};
IMPLEMENT_SERIAL(TStamped, CODSymbolComponent, VERSIONABLE_SCHEMA | 3)

CODLinkCommand* linkCommand(CODModel& m, CODLinkComponent* link, std::vector<CPoint> pts, CODPortComponent* a,
                            CODPortComponent* b)
{
    auto* cmd = new CODLinkCommand(&m);
    cmd->SetLink(link);
    cmd->SetVertices(pts);
    cmd->SetStartPort(a);
    cmd->SetEndPort(b);
    return cmd;
}

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        a = new RecSymbol(&log, true);
        a->SetName("A");
        b = new RecSymbol(&log, false);
        b->SetName("B");
        for (RecSymbol* s : {a, b}) {
            CODSymbolComponent* shape = MakeSymbol("tmp", 0, 0);
            while (shape->GetChildCount() > 0) {
                CODComponent* c = shape->GetChild(0);
                c->AddRef();
                shape->RemoveChild(c);
                s->AppendChild(c);
                c->Release();
            }
            delete shape;
            s->SetPort(static_cast<CODPortComponent*>(s->GetChild(0)));
            s->UpdateBounds();
        }
        a->MoveTo(0, 0);
        b->MoveTo(200, 0);
        model.AppendComponent(a);
        model.AppendComponent(b);
    }

    Log log;
    CODModel model;
    RecSymbol* a = nullptr;
    RecSymbol* b = nullptr;
};

TEST_F(ModelTest, LinkBetweenTwoPortsConnectsSourceThenTargetThenMakesTheLine)
{
    auto* link = new RecLink(&log);
    ASSERT_TRUE(model.ExecuteCommand(linkCommand(model, link, {{0, 0}, {120, 100}, {0, 0}}, a->GetPort(), b->GetPort())));
    EXPECT_EQ(log, (Log{"accept source A", "connected L", "connected A", "accept target B", "connected L",
                        "connected B", "line"}));
    EXPECT_EQ(link->GetSourceComponent(), a);
    EXPECT_EQ(link->GetTargetComponent(), b);
    ASSERT_EQ(link->GetPointCount(), 3);
    EXPECT_EQ(link->GetPoint(0), CPoint(50, 30)); // ends sit on the ports
    EXPECT_EQ(link->GetPoint(1), CPoint(120, 100));
    EXPECT_EQ(link->GetPoint(2), CPoint(250, 30));
    EXPECT_EQ(link->GetLine()->GetEndDecoration(), 20);
    EXPECT_EQ(model.GetComponents()->GetAt(2), link);
    EXPECT_TRUE(model.IsModified());
    CODConnectionSet conns;
    a->GetConnections(conns);
    ASSERT_EQ(conns.GetSize(), 1);
    EXPECT_EQ(conns.GetAt(0)->GetOtherPort(a->GetPort()), link->GetSourcePort());
}

TEST_F(ModelTest, LinkFromASymbolToItselfUsesOnePortAtBothEnds)
{
    auto* link = new RecLink(&log);
    ASSERT_TRUE(model.ExecuteCommand(linkCommand(model, link, {{5, 5}, {5, 5}}, a->GetPort(), a->GetPort())));
    EXPECT_EQ(link->GetSourceComponent(), a);
    EXPECT_EQ(link->GetTargetComponent(), a);
    EXPECT_EQ(a->GetPort()->Connections().GetSize(), 2);
    EXPECT_EQ(link->GetPoint(0), link->GetPoint(1));
}

TEST_F(ModelTest, ALinkSetUpBeforeAnyoneHoldsIt)
{
    // The program sets a link up first and adds it to the model afterwards.
    auto* link = new RecLink(&log);
    ASSERT_TRUE(link->SetupLink(a->GetPort(), b->GetPort()));
    EXPECT_EQ(link->GetRefCount(), 0);
    ASSERT_NE(link->GetLine(), nullptr);
    EXPECT_EQ(link->GetPointCount(), 2);
    EXPECT_EQ(log.back(), "line");
    model.AppendComponent(link);
    EXPECT_EQ(link->GetRefCount(), 1);
    EXPECT_EQ(link->GetTargetComponent(), b);

    auto* empty = new CODLinkComponent;
    EXPECT_TRUE(empty->SetupLink(nullptr, nullptr));
    EXPECT_EQ(empty->GetLine(), nullptr);
    EXPECT_EQ(empty->GetPoint(0), CPoint(-1, -1));
    empty->SetPoints(nullptr, 0); // nothing without a line
    model.AppendComponent(empty);
}

TEST_F(ModelTest, TheLibraryRefusesJoinsThatCannotBe)
{
    auto* link = new CODLinkComponent;
    model.AppendComponent(link);
    auto* closed = new CODPortComponent;
    closed->SetConnectable(false);
    b->AppendChild(closed);
    struct Case {
        const char* what;
        CODPortComponent* other;
        bool accepted;
    } cases[] = {
        {"no port", nullptr, false},
        {"the link's own port", link->GetPort(), false},
        {"a port that takes no connections", closed, false},
        {"a symbol's port", a->GetPort(), true},
        {"the same port again", a->GetPort(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(link->ConnectSource(c.other), c.accepted) << c.what;
    EXPECT_EQ(link->GetSourceComponent(), a);
    EXPECT_FALSE(link->AcceptConnection(a->GetPort(), b->GetPort())) << "not one of the link's ends";
}

TEST_F(ModelTest, DeleteWithNestedDeletesUndoesAndRedoesInOrder)
{
    auto* l1 = new RecLink(&log);
    auto* l2 = new RecLink(&log);
    ASSERT_TRUE(model.ExecuteCommand(linkCommand(model, l1, {}, a->GetPort(), b->GetPort())));
    ASSERT_TRUE(model.ExecuteCommand(linkCommand(model, l2, {}, b->GetPort(), a->GetPort())));
    log.clear();

    auto* del = new CODDeleteCommand(&model);
    CODComponentSet set;
    set.Add(a);
    set.Add(l1); // removed by the nested delete first: skipped without a word
    del->SetComponents(set);
    ASSERT_TRUE(model.ExecuteCommand(del));
    EXPECT_EQ(model.GetComponentCount(), 1);
    EXPECT_EQ(model.GetComponents()->GetAt(0), b);
    EXPECT_EQ(model.GetDelegate()->GetUndoCount(), 4); // two links, nested delete, delete
    EXPECT_EQ(std::count(log.begin(), log.end(), "delete A"), 1);
    EXPECT_EQ(b->GetPort()->Connections().GetSize(), 0);

    ASSERT_TRUE(model.Undo()); // the outer delete: A comes back, the links not yet
    ASSERT_TRUE(model.Undo()); // the nested one: both links, joined again
    ASSERT_EQ(model.GetComponentCount(), 4);
    EXPECT_EQ(model.GetComponents()->GetAt(0), a);
    EXPECT_EQ(model.GetComponents()->GetAt(2), l1);
    EXPECT_EQ(model.GetComponents()->GetAt(3), l2);
    EXPECT_EQ(l1->GetSourceComponent(), a);
    EXPECT_EQ(l1->GetTargetComponent(), b);
    EXPECT_EQ(l2->GetSourceComponent(), b);
    EXPECT_EQ(l2->GetTargetComponent(), a);
    EXPECT_EQ(a->GetPort()->Connections().GetSize(), 2) << "each join restored once";

    ASSERT_TRUE(model.Redo());
    ASSERT_TRUE(model.Redo());
    EXPECT_EQ(model.GetComponentCount(), 1);
    EXPECT_EQ(b->GetPort()->Connections().GetSize(), 0);
    ASSERT_TRUE(model.Undo());
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(model.GetComponentCount(), 4);
    EXPECT_EQ(l2->GetTargetComponent(), a);
}

TEST_F(ModelTest, DeleteSkipsComponentsOutsideTheModel)
{
    auto* outside = MakeSymbol("X", 0, 0);
    outside->AddRef();
    auto* del = new CODDeleteCommand(&model);
    del->SetComponent(outside);
    EXPECT_FALSE(model.ExecuteCommand(del));
    EXPECT_EQ(outside->GetRefCount(), 1) << "no reference kept or lost";
    EXPECT_EQ(model.GetDelegate()->GetUndoCount(), 0);
    outside->Release();

    auto* one = new CODDeleteCommand(&model);
    one->SetComponent(b);
    ASSERT_TRUE(model.ExecuteCommand(one));
    EXPECT_FALSE(model.Contains(b));
    EXPECT_TRUE(model.CanUndo());
}

TEST_F(ModelTest, MoveCommandLaysLinksBeforeTheSymbolHearsAndUndoes)
{
    auto* link = new RecLink(&log);
    ASSERT_TRUE(model.ExecuteCommand(linkCommand(model, link, {}, a->GetPort(), b->GetPort())));
    log.clear();
    auto* move = new CODMoveCommand(&model);
    move->SetComponent(a);
    move->SetOffset(10, 5);
    ASSERT_TRUE(model.ExecuteCommand(move));
    EXPECT_EQ(log, Log{"changed A laid"});
    EXPECT_EQ(a->GetOrigin(), CPoint(10, 5));
    EXPECT_EQ(link->GetPoint(0), CPoint(60, 35));
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(a->GetOrigin(), CPoint(0, 0));
    EXPECT_EQ(link->GetPoint(0), CPoint(50, 30));
    ASSERT_TRUE(model.Redo());
    EXPECT_EQ(link->GetPoint(0), CPoint(60, 35));
}

TEST(Component, ChildrenLiveInTheSymbolsLocalSpace)
{
    CODModel model;
    CODSymbolComponent* s = MakeSymbol("S", 300, 40);
    model.AppendComponent(s);
    EXPECT_EQ(s->GetBounds(), CRect(300, 40, 400, 100));
    CODComponent* poly = s->FindChild("Polygon");
    EXPECT_EQ(poly->GetBounds(), CRect(-50, 0, 50, 60)) << "local, not moved";
    EXPECT_EQ(s->GetPort()->GetLocation(), CPoint(350, 70));
    EXPECT_EQ(poly->GetModel(), &model);
    EXPECT_EQ(poly->GetContainer(), s);
    EXPECT_EQ(s->GetContainer(), &model);

    s->SetSize(CSize(200, 120));
    EXPECT_EQ(s->GetSize(), CSize(200, 120));
    EXPECT_EQ(s->GetOrigin(), CPoint(300, 40));
    EXPECT_EQ(s->GetPort()->GetLocation(), CPoint(400, 100));
    EXPECT_EQ(poly->GetBounds(), CRect(-50, 0, 50, 60));

    // A temporary child outside the drawing widens it; removed, it leaves no trace.
    const CRect before = s->GetBounds();
    auto* probe = new CODEllipseComponent(CRect(-50, 60, 50, 160));
    s->AppendChild(probe);
    s->UpdateBounds();
    EXPECT_GT(s->GetBounds().bottom, before.bottom);
    s->RemoveChild(probe);
    EXPECT_EQ(s->GetBounds(), before);

    // The cascade of new windows places symbols at these points.
    for (int k : {0, 50, 100}) {
        s->MoveTo(k, k);
        EXPECT_EQ(s->GetOrigin(), CPoint(k, k));
    }
    std::vector<CPoint> outline = s->GetPoints(true);
    ASSERT_EQ(outline.size(), 4u);
    EXPECT_EQ(outline[0], CPoint(100, 100));
    EXPECT_EQ(outline[2], CPoint(300, 220));
}

TEST(Component, HitTestingAndPorts)
{
    CODModel model;
    CODSymbolComponent* s = MakeSymbol("S", 0, 0);
    CODSymbolComponent* t = MakeSymbol("T", 50, 0); // overlaps S, above it
    model.AppendComponent(s);
    model.AppendComponent(t);
    EXPECT_EQ(model.ComponentAt(CPoint(10, 10)), s);
    EXPECT_EQ(model.ComponentAt(CPoint(60, 10)), t) << "the last drawn wins";
    EXPECT_EQ(model.ComponentAt(CPoint(500, 500)), nullptr);
    t->SetVisible(false);
    EXPECT_EQ(model.ComponentAt(CPoint(60, 10)), s) << "hidden components are not hit";
    t->SetVisible(true);
    t->GetPort()->SetVisible(false);
    EXPECT_EQ(model.PortAt(CPoint(100, 30)), t->GetPort()) << "a hidden port still takes links";

    // What is found follows every change of place.
    t->MoveTo(5000, -3000);
    EXPECT_EQ(model.ComponentAt(CPoint(60, 10)), s);
    EXPECT_EQ(model.ComponentAt(CPoint(5010, -2990)), t);
    auto* big = new CODPolygonComponent; // spans far more than a few cells
    const CPoint pts[] = {{-100000, -100000}, {100000, -100000}, {100000, 100000}, {-100000, 100000}};
    big->SetVertices(pts, 4);
    big->UpdateBounds();
    model.InsertComponent(0, big);
    EXPECT_EQ(model.ComponentAt(CPoint(-90000, 500)), big);
    EXPECT_EQ(model.ComponentAt(CPoint(10, 10)), s) << "drawn above the big one";
    model.RemoveComponent(s);
    EXPECT_EQ(model.ComponentAt(CPoint(10, 10)), big);
    EXPECT_EQ(model.ComponentAt(CPoint(10, 10), 40), big) << "a wide tolerance scans everything";
}

TEST(Component, RegionsHitWithinTheirTolerance)
{
    CODRegion r;
    r.AddPolygon({{0, 0}, {100, 0}, {100, 50}, {0, 50}});
    struct Case {
        CPoint p;
        bool hit;
    } cases[] = {{{50, 25}, true}, {{110, 25}, true}, {{111, 25}, false}, {{50, -10}, true},
                 {{-8, -6}, true}, {{-8, -7}, false}, {{300, 300}, false}};
    for (const Case& c : cases)
        EXPECT_EQ(r.HitTest(c.p, 10), c.hit) << c.p.x << "," << c.p.y;
    int n = 0;
    EXPECT_EQ(r.GetPolygon(0, n)[2], CPoint(100, 50));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(r.GetPolygon(1, n), nullptr);

    CODEllipseComponent e(CRect(-50, -20, 50, 20));
    const CODRegion& outline = e.GetRegion();
    ASSERT_EQ(outline.GetPolygonCount(), 1);
    EXPECT_EQ(outline.Polygon(0).size(), std::size_t(CODEllipseComponent::kOutlinePoints));
    EXPECT_TRUE(outline.HitTest({0, 0}, 0));
    EXPECT_FALSE(outline.HitTest({48, 18}, 0)) << "the corner of the box is outside the ellipse";
    EXPECT_TRUE(e.IsFilled());
    e.ClearFilled();
    EXPECT_FALSE(e.IsFilled());
}

TEST(Component, TextFitsItsLinesWithFixedMetrics)
{
    auto* sym = MakeSymbol("S", 0, 0);
    sym->SetProperty(CODFontProperty("Arial CYR", 10));
    auto* text = new CODTextComponent;
    sym->AppendChild(text);
    text->Create(0);
    EXPECT_EQ(text->GetText(), "");
    EXPECT_GE(text->GetTextRect().top, 60) << "a new comment goes below the drawing";
    text->SetText("Приём\r\nдокументов");
    text->SizeToText(8);
    // 10 characters of 6 units on the longest line, two lines of 15.
    EXPECT_EQ(text->GetTextRect().Width(), 60);
    EXPECT_EQ(text->GetTextRect().Height(), 30);
    EXPECT_EQ(text->GetLines(), (std::vector<std::string>{"Приём", "документов"}));
    delete sym;
}

TEST(Model, EditPropertyMembersAndMasks)
{
    CODModel m;
    EXPECT_EQ(m.GetEditA(), 0);
    EXPECT_EQ(m.GetEditB(), 1);
    EXPECT_EQ(m.GetEditC(), 1);
    m.SetEditB(0);
    m.SetEditA(7);
    EXPECT_EQ(m.GetEditA(), 7);
    EXPECT_EQ(m.GetEditB(), 0);
    EXPECT_EQ(m.GetEditC(), 1);
    EXPECT_FALSE(m.IsModified()) << "direct setters leave the flag alone";
}

class ArchiveTest : public ::testing::Test {
protected:
    // Two symbols, a bent link between them, a link from A to itself and a
    // label on the first link.
    void Build(CODModel& m)
    {
        CODSymbolComponent* a = MakeSymbol("A", 0, 0);
        CODSymbolComponent* b = MakeSymbol("B", 300, 200);
        b->SetProperty(CODFontProperty("Arial CYR", 8));
        b->SetProperty(CODIntProperty(OD_PROP_FILL, 0xFFEECC));
        auto* label = new CODTextComponent;
        label->SetName("DocState");
        label->SetText("Новый");
        label->SetTextRect(CRect(-40, 10, 40, 30));
        b->AppendChild(label);
        m.AppendComponent(a);
        m.AppendComponent(b);
        auto* l1 = new CODLinkComponent;
        m.ExecuteCommand(linkCommand(m, l1, {{0, 0}, {50, 250}, {0, 0}}, a->GetPort(), b->GetPort()));
        l1->SetEndDecoration(20);
        auto* l2 = new CODLinkComponent;
        m.ExecuteCommand(linkCommand(m, l2, {}, a->GetPort(), a->GetPort()));
        m.SetSize(CSize(2000, 1500));
        m.SetValue1(3);
        m.SetValue2(-4);
        m.SetEditC(0);
    }
};

TEST_F(ArchiveTest, SerialisesAndLoadsBackToTheSameBytes)
{
    CODModel m;
    Build(m);
    const auto bytes = odtest::Store(m);
    EXPECT_EQ(odtest::Store(m), bytes);

    CODModel other;
    Build(other);
    EXPECT_EQ(odtest::Store(other), bytes) << "a second model built the same way";

    CODModel back;
    back.SetModified(false);
    odtest::Load(back, bytes);
    EXPECT_EQ(odtest::Store(back), bytes);
    ASSERT_EQ(back.GetComponentCount(), 4);
    auto* a = back.GetComponents()->GetAt(0);
    auto* b = back.GetComponents()->GetAt(1);
    auto* l1 = dynamic_cast<CODLinkComponent*>(back.GetComponents()->GetAt(2));
    auto* l2 = dynamic_cast<CODLinkComponent*>(back.GetComponents()->GetAt(3));
    ASSERT_TRUE(l1 && l2);
    EXPECT_EQ(a->GetName(), "A");
    EXPECT_EQ(l1->GetSourceComponent(), a);
    EXPECT_EQ(l1->GetTargetComponent(), b);
    EXPECT_EQ(l2->GetSourceComponent(), a);
    EXPECT_EQ(l2->GetTargetComponent(), a);
    EXPECT_EQ(l1->GetPoint(1), CPoint(50, 250));
    EXPECT_EQ(l1->GetLine()->GetEndDecoration(), 20);
    EXPECT_EQ(static_cast<CODTextComponent*>(b->FindChild("DocState"))->GetText(), "Новый");
    EXPECT_EQ(b->GetPort()->GetLocation(), CPoint(350, 230));
    EXPECT_EQ(back.GetEditC(), 0);
    EXPECT_EQ(back.GetValue2(), -4);
    EXPECT_FALSE(back.CanUndo()) << "loading clears the history";
}

TEST_F(ArchiveTest, BrokenArchivesThrowAndLeaveTheModelAlone)
{
    CODModel m;
    Build(m);
    const auto bytes = odtest::Store(m);

    CODModel target;
    target.AppendComponent(MakeSymbol("kept", 1, 2));
    const auto before = odtest::Store(target);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        EXPECT_THROW(odtest::Load(target, cut), CArchiveException) << n;
    }
    EXPECT_EQ(odtest::Store(target), before);

    // A connection to a port that is not there.
    auto bad = bytes;
    bad[bad.size() - 8] = 0x7F;
    EXPECT_THROW(odtest::Load(target, bad), CArchiveException);
    EXPECT_EQ(odtest::Store(target), before);
}

TEST(Archive, ElementClassesKeepTheirSchemaAndFields)
{
    CODModel m;
    auto* t = new TStamped;
    t->m_nValue = 77;
    m.AppendComponent(t);
    const auto bytes = odtest::Store(m);
    CODModel back;
    odtest::Load(back, bytes);
    auto* u = dynamic_cast<TStamped*>(back.GetComponents()->GetAt(0));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->m_nValue, 77);
    EXPECT_EQ(u->m_nSchema, 3u) << "the library's part leaves the schema to the element";
}

TEST_F(ArchiveTest, OneComponentAloneCarriesNoConnections)
{
    CODModel m;
    Build(m);
    auto* link = m.GetComponents()->GetAt(2);
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        ar << link;
    }
    CMemFile in(f.Detach());
    CArchive ar(&in, CArchive::load);
    CODLinkComponent* copy = nullptr;
    ar >> copy;
    ASSERT_NE(copy, nullptr);
    copy->AddRef();
    EXPECT_EQ(copy->GetSourceComponent(), nullptr);
    EXPECT_EQ(copy->GetPointCount(), 3);
    copy->Release();
}

TEST_F(ArchiveTest, DamagedBytesEndInTheArchiveErrorNeverACrash)
{
    CODModel m;
    Build(m);
    const auto good = odtest::Store(m);
    std::mt19937 rng(20261210);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes;
        if (round % 10 == 9) {
            bytes.resize(rng() % 200);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(rng());
        } else {
            bytes = good;
            const int changes = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < changes; ++k)
                bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        }
        CODModel target;
        try {
            odtest::Load(target, bytes);
            ++loaded;
            odtest::Store(target); // whatever came in can be written again
        } catch (const CArchiveException&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(loaded + refused, 3000);
}

} // namespace
