#include "diagram/odcomponent.h"

#include <gtest/gtest.h>

#include <wx/log.h>

namespace {

// A symbol resource as a program registers it: the state of the workflow
// chart, 100 wide in local space with its top at 0, and two more.
const char* const kSymbols = R"(
# the state
symbol 136 STATE
port Port 0 30 4 circle
polygon Polygon -50 0 50 0 50 30 50 60 -50 60 -50 30 -50 0
line Line -50 30 50 30
text DocType -48 2 48 28 ""
text DocState -48 32 48 58 ""
property 30 font "Arial CYR" 8
property 40 edit 0 0
end
symbol 150 ACTION
port Port 0 20 4 circle
ellipse ACTION -40 0 40 40
text ActionName -36 12 36 28 "Action"
property 30 font "Arial CYR" 8
property 40 edit 0 0
end
symbol 250 SUBDIVISION
port Port 0 15 4 circle
text DocState -60 0 60 30 ""
property 30 font "Arial CYR" 8
property 40 edit 0 0
end
)";

void RegisterSymbolResources()
{
    for (std::uint32_t id : {136u, 150u, 250u})
        CODSymbolComponent::RegisterResource(id, kSymbols);
}

std::vector<std::string> childNames(const CODComponent& c)
{
    std::vector<std::string> out;
    for (int i = 0; i < c.GetChildCount(); ++i)
        out.push_back(c.GetChild(i)->GetName());
    return out;
}

TEST(SymbolResources, TheThreeSymbolsOfTheCharts)
{
    RegisterSymbolResources();
    struct Case {
        std::uint32_t id;
        const char* name;
        std::vector<std::string> children;
        CRect bounds;
    } cases[] = {
        {136, "STATE", {"Port", "Polygon", "Line", "DocType", "DocState"}, CRect(-50, 0, 50, 60)},
        {150, "ACTION", {"Port", "ACTION", "ActionName"}, CRect(-40, 0, 40, 40)},
        {250, "SUBDIVISION", {"Port", "DocState"}, CRect(-60, 0, 60, 30)},
    };
    for (const Case& c : cases) {
        CODSymbolComponent s;
        ASSERT_TRUE(s.LoadFromResource(c.id)) << c.id;
        EXPECT_EQ(s.GetName(), c.name);
        EXPECT_EQ(childNames(s), c.children) << c.id;
        EXPECT_EQ(s.GetBounds(), c.bounds) << c.id;
        ASSERT_NE(s.GetPort(), nullptr);
        EXPECT_EQ(s.GetPort(), s.GetChild(0)) << "the first child is the port";
        EXPECT_FALSE(s.GetPort()->IsKindOf(RUNTIME_CLASS(CODEllipseComponent)));
        EXPECT_TRUE(s.GetPort()->IsCircle());
        auto* font = dynamic_cast<CODFontProperty*>(s.GetProperty(OD_PROP_FONT));
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->m_strFace, "Arial CYR");
        EXPECT_NE(s.GetProperty(OD_PROP_EDIT), nullptr);
    }
}

TEST(SymbolResources, StateGeometryAndKinds)
{
    RegisterSymbolResources();
    CODSymbolComponent s;
    ASSERT_TRUE(s.LoadFromResource(136));
    CODComponent* poly = s.FindChild("Polygon");
    CODComponent* line = s.FindChild("Line");
    ASSERT_TRUE(poly && line);
    EXPECT_TRUE(poly->IsKindOf(RUNTIME_CLASS(CODPolygonComponent)));
    EXPECT_FALSE(line->IsKindOf(RUNTIME_CLASS(CODPolygonComponent))) << "a line is no polygon";
    ASSERT_EQ(poly->GetVertexCount(), 7);
    EXPECT_EQ(poly->GetVertex(0), poly->GetVertex(6));
    EXPECT_EQ(poly->GetVertex(2), CPoint(50, 30));
    EXPECT_EQ(line->GetVertexCount(), 2);
    s.MoveTo(200, 100);
    EXPECT_EQ(s.GetBounds(), CRect(200, 100, 300, 160));
    EXPECT_EQ(poly->GetBounds(), CRect(-50, 0, 50, 60)) << "children stay in local space";
    EXPECT_EQ(s.GetPort()->GetLocation(), CPoint(250, 130));

    CODSymbolComponent action;
    ASSERT_TRUE(action.LoadFromResource(150));
    EXPECT_EQ(static_cast<CODTextComponent*>(action.FindChild("ActionName"))->GetText(), "Action");
}

TEST(SymbolResources, MissingResourceIsAFailureAndChangesNothing)
{
    wxLogNull quiet;
    CODSymbolComponent s;
    s.SetName("kept");
    EXPECT_FALSE(s.LoadFromResource(999));
    EXPECT_EQ(s.GetName(), "kept");
    CODSymbolComponent::RegisterResource(998, "symbol 998 BAD\nspline x 1 2\nend\n");
    EXPECT_FALSE(s.LoadFromResource(998));
    EXPECT_EQ(s.GetChildCount(), 0);
}

TEST(SymbolResources, ASymbolReadFromAnArchiveBringsItsChildren)
{
    RegisterSymbolResources();
    auto* s = new CODSymbolComponent;
    s->AddRef();
    ASSERT_TRUE(s->LoadFromResource(136));
    s->MoveTo(10, 20);
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        ar << s;
    }
    const auto bytes = f.Detach();
    CMemFile in(bytes);
    CArchive ar(&in, CArchive::load);
    CODSymbolComponent* back = nullptr;
    ar >> back;
    ASSERT_NE(back, nullptr);
    back->AddRef();
    EXPECT_EQ(childNames(*back), childNames(*s));
    EXPECT_EQ(back->GetBounds(), s->GetBounds());
    EXPECT_EQ(back->GetPort(), back->GetChild(0));
    CMemFile again;
    {
        CArchive out(&again, CArchive::store);
        out << back;
    }
    EXPECT_EQ(again.Data(), bytes);
    back->Release();
    s->Release();
}

} // namespace
