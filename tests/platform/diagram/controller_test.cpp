// The controller's command operations and its mouse modes, without a display.
#include "diagram/odcontroller.h"

#include "tests/common/wxids.h"

#include <gtest/gtest.h>

#include <wx/defs.h>

namespace {

CODSymbolComponent* symbolAt(const std::string& name, int x, int y)
{
    auto* s = new CODSymbolComponent;
    s->SetName(name);
    auto* port = new CODPortComponent;
    port->SetLocation(CPoint(0, 30), 3);
    s->AppendChild(port);
    s->SetPort(port);
    auto* poly = new CODPolygonComponent;
    const CPoint pts[] = {{-50, 0}, {50, 0}, {50, 60}, {-50, 60}};
    poly->SetVertices(pts, 4);
    poly->UpdateBounds();
    s->AppendChild(poly);
    s->UpdateBounds();
    s->MoveTo(x, y);
    return s;
}

// Counts the post-command steps.
class CountingController : public CODController {
public:
    using CODController::CODController;
    void OnCommandExecuted(CODCommand* cmd) override
    {
        ++steps;
        CODController::OnCommandExecuted(cmd);
    }
    int steps = 0;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        viewport.SetModel(&model);
        ctl = new CountingController(&viewport);
        viewport.SetController(ctl, true);
        a = symbolAt("A", 0, 0);
        b = symbolAt("B", 300, 0);
        model.AppendComponent(a);
        model.AppendComponent(b);
    }

    CODModel model;
    CODViewport viewport;
    CountingController* ctl = nullptr;
    CODSymbolComponent* a = nullptr;
    CODSymbolComponent* b = nullptr;
};

TEST_F(ControllerTest, OperationsExecuteKeepAndRunThePostStepExceptLinks)
{
    CODComponentSet one;
    one.Add(b);
    CODCommand* del = ctl->DeleteComponents(&one);
    ASSERT_NE(del, nullptr);
    EXPECT_FALSE(model.Contains(b));
    EXPECT_EQ(model.GetDelegate()->GetLastCommand(), del);
    EXPECT_EQ(ctl->steps, 1);
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(model.GetComponents()->GetAt(1), b);

    auto* link = new CODLinkComponent;
    CODCommand* cmd = ctl->LinkPorts(link, {{7, 7}, {7, 7}}, a->GetPort(), a->GetPort());
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(ctl->steps, 1) << "link operations skip the post-command step";
    EXPECT_EQ(link->GetSourceComponent(), a);
    EXPECT_EQ(link->GetTargetComponent(), a);
    EXPECT_EQ(a->GetPort()->Connections().GetSize(), 2);

    CODComponentSet set;
    set.Add(a);
    ASSERT_NE(ctl->MoveComponents(&set, 10, 20), nullptr);
    EXPECT_EQ(a->GetOrigin(), CPoint(10, 20));
    EXPECT_EQ(link->GetPoint(0), CPoint(60, 50));
    EXPECT_EQ(ctl->steps, 2);
    EXPECT_EQ(ctl->MoveComponents(&set, 0, 0), nullptr) << "nothing moved, nothing kept";
    EXPECT_EQ(ctl->RotateComponents(&set, 90), nullptr) << "rotation is not built";

    ASSERT_NE(ctl->ShowComponent(a, 0), nullptr);
    EXPECT_FALSE(a->IsVisible());
    ASSERT_TRUE(model.Undo());
    EXPECT_TRUE(a->IsVisible());

    ASSERT_NE(ctl->ScaleComponents(&set, 200, 50, 0), nullptr);
    EXPECT_EQ(a->GetSize(), CSize(200, 30));
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(a->GetSize(), CSize(100, 60));
    EXPECT_EQ(link->GetPoint(0), CPoint(60, 50)) << "the link is put back with the symbol";
}

TEST_F(ControllerTest, DrawingALinkWithTheMouse)
{
    auto* link = new CODLinkComponent;
    ctl->OnInsertLink(link);
    EXPECT_EQ(ctl->GetState(), OD_STATE_LINK_ARMED);
    EXPECT_EQ(link->GetRefCount(), 1) << "the pending insertion holds it";

    ctl->OnLButtonDown(OD_MK_LBUTTON, CPoint(50, 30)); // on A's port
    EXPECT_EQ(ctl->GetState(), OD_STATE_LINK_DRAG);
    EXPECT_EQ(ctl->GetStartPort(), a->GetPort());
    ctl->OnMouseMove(OD_MK_LBUTTON, CPoint(70, 40));
    ctl->OnLButtonUp(0, CPoint(80, 40)); // still over A
    EXPECT_EQ(ctl->GetState(), OD_STATE_LINK_DRAG) << "released on the start component: pending";
    EXPECT_EQ(ctl->GetInsertComponent(), link);
    EXPECT_FALSE(model.Contains(link));

    ctl->OnMouseMove(0, CPoint(200, 150));
    ctl->OnLButtonUp(0, CPoint(200, 150)); // over nothing: a bend
    EXPECT_EQ(ctl->GetState(), OD_STATE_LINK_DRAG);
    ctl->OnMouseMove(0, CPoint(340, 30));
    ctl->OnLButtonUp(0, CPoint(340, 30)); // over B
    EXPECT_EQ(ctl->GetState(), OD_STATE_IDLE);
    EXPECT_EQ(ctl->GetInsertComponent(), nullptr);
    ASSERT_TRUE(model.Contains(link));
    EXPECT_EQ(link->GetSourceComponent(), a);
    EXPECT_EQ(link->GetTargetComponent(), b);
    ASSERT_EQ(link->GetPointCount(), 3);
    EXPECT_EQ(link->GetPoint(1), CPoint(200, 150));
    EXPECT_EQ(link->GetPoint(2), CPoint(350, 30));

    ASSERT_TRUE(model.Undo());
    EXPECT_FALSE(model.Contains(link));
    EXPECT_EQ(b->GetPort()->Connections().GetSize(), 0);
}

TEST_F(ControllerTest, InsertingASymbolAndEscape)
{
    auto* c = symbolAt("C", 0, 0);
    ctl->OnInsertSymbol(c);
    EXPECT_EQ(ctl->GetState(), OD_STATE_INSERT);
    ctl->OnLButtonDown(OD_MK_LBUTTON, CPoint(100, 200));
    EXPECT_EQ(ctl->GetState(), OD_STATE_IDLE);
    EXPECT_EQ(ctl->GetInsertComponent(), nullptr);
    ASSERT_TRUE(model.Contains(c));
    EXPECT_EQ(c->GetOrigin(), CPoint(100, 200));
    EXPECT_EQ(ctl->GetSelection().GetAt(0), c);
    EXPECT_EQ(ctl->steps, 1);

    auto* d = symbolAt("D", 0, 0);
    d->AddRef();
    ctl->OnInsertSymbol(d);
    EXPECT_EQ(d->GetRefCount(), 2);
    EXPECT_TRUE(ctl->OnKeyDown(WXK_ESCAPE, 0));
    EXPECT_EQ(ctl->GetState(), OD_STATE_IDLE);
    EXPECT_EQ(d->GetRefCount(), 1) << "cancel releases the pending insertion";
    d->Release();
}

TEST_F(ControllerTest, DragMovesTheSelectionAndDeleteKeyDeletesIt)
{
    ctl->OnLButtonDown(OD_MK_LBUTTON, CPoint(10, 10));
    EXPECT_EQ(ctl->GetState(), OD_STATE_PRESSED);
    ctl->OnMouseMove(OD_MK_LBUTTON, CPoint(20, 15));
    EXPECT_EQ(ctl->GetState(), OD_STATE_DRAG);
    EXPECT_NE(a->GetStateValue(), 0) << "not at rest while dragged";
    ctl->OnLButtonUp(0, CPoint(40, 30));
    EXPECT_EQ(a->GetStateValue(), 0);
    EXPECT_EQ(a->GetOrigin(), CPoint(30, 20));
    EXPECT_EQ(b->GetOrigin(), CPoint(300, 0));

    // Rubber band around both, then Del.
    ctl->OnLButtonDown(OD_MK_LBUTTON, CPoint(-100, -100));
    ctl->OnMouseMove(OD_MK_LBUTTON, CPoint(500, 300));
    ctl->OnLButtonUp(0, CPoint(500, 300));
    EXPECT_EQ(ctl->GetSelection().GetSize(), 2);
    EXPECT_TRUE(ctl->OnKeyDown(WXK_DELETE, 0));
    EXPECT_EQ(model.GetComponentCount(), 0);
    EXPECT_EQ(ctl->GetSelection().GetSize(), 0);
    ASSERT_TRUE(ctl->ProcessCommand(ID_OD_EDIT_UNDO));
    EXPECT_EQ(model.GetComponentCount(), 2);
    ASSERT_TRUE(ctl->ProcessCommand(ID_OD_EDIT_UNDO));
    EXPECT_EQ(a->GetOrigin(), CPoint(0, 0));
}

TEST_F(ControllerTest, ToolbarCommandsAlignAndNudgeTheSelection)
{
    auto enabled = [&](int id) {
        wxUpdateUIEvent e(ToWxId(id));
        ctl->ProcessEvent(e);
        return e.GetEnabled();
    };
    b->MoveTo(300, 40);
    ctl->Select(a);
    EXPECT_FALSE(enabled(ID_OD_ALIGN_TOP)) << "aligning needs two";
    EXPECT_TRUE(enabled(ID_OD_NUDGE_DOWN));
    ctl->Select(b, true);
    EXPECT_TRUE(enabled(ID_OD_ALIGN_TOP));
    EXPECT_FALSE(enabled(ID_OD_ROTATE_LEFT)) << "present and grey";
    EXPECT_FALSE(enabled(ID_OD_GROUP));
    ASSERT_TRUE(ctl->ProcessCommand(ID_OD_ALIGN_TOP));
    EXPECT_EQ(b->GetOrigin(), CPoint(300, 0)) << "to the first of the selection";
    ASSERT_TRUE(ctl->ProcessCommand(ID_OD_NUDGE_RIGHT));
    EXPECT_EQ(a->GetOrigin(), CPoint(1, 0));
    EXPECT_EQ(b->GetOrigin(), CPoint(301, 0));
    ASSERT_TRUE(model.Undo());
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(b->GetOrigin(), CPoint(300, 40));

    std::vector<int> bars;
    for (const ODToolbarInfo& t : ODLibraryToolbars())
        bars.push_back(t.id);
    EXPECT_EQ(bars, (std::vector<int>{22053, 22046, 22049, 22051, 22052}));
}

TEST(ControllerIds, EveryCommandAndToolbarReachesWxAsAnIdItAccepts)
{
    std::vector<int> ids = {ID_OD_DEFAULT_PROPERTIES, ID_OD_PROPERTIES, ID_OD_EDIT_CLEAR, ID_OD_EDIT_COPY,
                            ID_OD_EDIT_CUT, ID_OD_EDIT_PASTE, ID_OD_EDIT_SELECT_ALL, ID_OD_EDIT_UNDO,
                            ID_OD_EDIT_REDO};
    for (const ODToolbarInfo& t : ODLibraryToolbars()) {
        ids.push_back(t.id);
        ids.insert(ids.end(), t.commands.begin(), t.commands.end());
    }
    EXPECT_EQ(kelm::test::WxIdFaults(ids), "");
    // Undo and redo stay the library's: wx's stock pair would reach the
    // document manager's command processor instead.
    EXPECT_NE(ToWxId(ID_OD_EDIT_UNDO), wxID_UNDO);
    EXPECT_NE(ToWxId(ID_OD_EDIT_REDO), wxID_REDO);
}

TEST_F(ControllerTest, PrepareGivesTheViewportDefaults)
{
    auto* c = symbolAt("C", 0, 0);
    c->AddRef();
    ctl->PrepareComponent(c);
    auto* font = dynamic_cast<CODFontProperty*>(c->GetProperty(OD_PROP_FONT));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->m_strFace, "Arial CYR");
    EXPECT_EQ(viewport.GetMeasurementUnits(), 4);
    c->Release();
}

} // namespace
