// Drawing of the workflow elements under a display: the error icon stands
// where the elements put it, and only while they have errors.
#include "tests/charts/workflow_support.h"

#include "tests/common/wxtestenv.h"

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

using namespace wft;

namespace {

const auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new kelm::test::WxTestEnvironment("workflow_draw_test"));

wxImage Draw(CODComponent& component)
{
    wxBitmap bitmap(400, 300, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        component.OnDraw(dc);
    }
    return bitmap.ConvertToImage();
}

bool red(const wxImage& img, int x, int y)
{
    return img.GetRed(x, y) > 200 && img.GetGreen(x, y) < 60 && img.GetBlue(x, y) < 60;
}

} // namespace

TEST(WorkflowDraw, ErrorIconsStandWhereEachElementPutsThem)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 2, 100, 50);
    CAWFAction* action = AddAction(model, 1, "Провести", 0, 100, 150);
    struct Case {
        const char* what;
        CODComponent* element;
        std::vector<std::string>* errors;
        CPoint iconTopLeft;
    };
    // The state's icon at its centre, the action's at its left edge.
    const CRect sb = state->GetBounds();
    const CRect ab = action->GetBounds();
    const Case cases[] = {
        {"state", state, &state->Errors,
         CPoint(sb.left + sb.Width() / 2 - 8, sb.top + sb.Height() / 2 - 10)},
        {"action", action, &action->Errors, CPoint(ab.left + 4, ab.top + ab.Height() / 2 - 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CPoint probe(c.iconTopLeft.x + 3, c.iconTopLeft.y + 8);
        EXPECT_FALSE(red(Draw(*c.element), probe.x, probe.y));
        c.errors->push_back("ошибка");
        const wxImage img = Draw(*c.element);
        EXPECT_TRUE(red(img, probe.x, probe.y));
        EXPECT_FALSE(red(img, c.iconTopLeft.x - 3, probe.y));
    }
}
