#include "charts/elements/chartsymbols.h"

#include <vector>

namespace tarnwick {
namespace {

// The state symbol lives in local space x -50..50, top at y 0, so that a
// circular link's loop (laid in that space) stands beside it.
void clearChildren(CODSymbolComponent& symbol)
{
    while (symbol.GetChildCount() > 0)
        symbol.RemoveChild(symbol.GetChild(symbol.GetChildCount() - 1));
}

CODPortComponent* addPort(CODSymbolComponent& symbol, const CPoint& at)
{
    auto* port = new CODPortComponent;
    port->SetName("Port");
    port->SetCircle(true);
    port->SetLocation(at, 3);
    symbol.AppendChild(port);
    symbol.SetPort(port);
    return port;
}

void addText(CODSymbolComponent& symbol, const char* name, const char* text, const CRect& rc)
{
    auto* t = new CODTextComponent;
    t->SetName(name);
    t->SetText(text);
    t->SetTextRect(rc);
    symbol.AppendChild(t);
}

void finish(CODSymbolComponent& symbol)
{
    symbol.SetProperty(CODFontProperty("Arial CYR", 8));
    symbol.SetProperty(CODEditProperty());
    symbol.UpdateBounds(false);
}

void buildState(CODSymbolComponent& symbol)
{
    symbol.SetName("STATE");
    // The port comes first: a command that hides a symbol's first child
    // then hides nothing that is drawn.
    addPort(symbol, CPoint(0, 25));
    auto* polygon = new CODPolygonComponent;
    polygon->SetName("Polygon");
    const std::vector<CPoint> outline{{-50, 0}, {50, 0}, {50, 25}, {50, 50}, {-50, 50}, {-50, 25}, {-50, 0}};
    polygon->SetVertices(outline.data(), static_cast<int>(outline.size()));
    polygon->UpdateBounds(false);
    symbol.AppendChild(polygon);
    auto* line = new CODLineComponent;
    line->SetName("Line");
    const std::vector<CPoint> rule{{-32, 25}, {32, 25}};
    line->SetVertices(rule.data(), 2);
    line->UpdateBounds(false);
    symbol.AppendChild(line);
    addText(symbol, "DocType", "", CRect(-46, 3, 46, 23));
    addText(symbol, "DocState", "", CRect(-46, 27, 46, 47));
    finish(symbol);
}

void buildAction(CODSymbolComponent& symbol)
{
    symbol.SetName("ACTION");
    addPort(symbol, CPoint(0, 15));
    auto* ellipse = new CODEllipseComponent(CRect(-40, 0, 40, 30));
    ellipse->SetName("ACTION");
    symbol.AppendChild(ellipse);
    addText(symbol, "ActionName", "Action", CRect(-36, 5, 36, 25));
    finish(symbol);
}

// A rounded box with the department's name on one line across its middle;
// the port sits in its middle, where the links of the department chart
// meet. The name's rectangle is a little higher than a line of its font, so
// that a box fitted to its name widens for a long one and keeps its width
// for a short one.
void buildDepartment(CODSymbolComponent& symbol)
{
    symbol.SetName("DEPARTMENT");
    addPort(symbol, CPoint(0, 20));
    auto* box = new CODPolygonComponent;
    box->SetName("Polygon");
    const std::vector<CPoint> outline{{-56, 0}, {56, 0}, {60, 4}, {60, 36}, {56, 40},
                                      {-56, 40}, {-60, 36}, {-60, 4}, {-56, 0}};
    box->SetVertices(outline.data(), static_cast<int>(outline.size()));
    box->UpdateBounds(false);
    symbol.AppendChild(box);
    addText(symbol, "DocState", "", CRect(-56, 12, 56, 28));
    finish(symbol);
}

} // namespace

bool LoadChartSymbol(CODSymbolComponent& symbol, std::uint32_t id)
{
    if (id != IDR_SYMBOL_STATE && id != IDR_SYMBOL_ACTION && id != IDR_SYMBOL_DEPARTMENT)
        return false;
    clearChildren(symbol);
    symbol.GetProperties().Clear();
    if (id == IDR_SYMBOL_STATE)
        buildState(symbol);
    else if (id == IDR_SYMBOL_ACTION)
        buildAction(symbol);
    else
        buildDepartment(symbol);
    return true;
}

} // namespace tarnwick
