#include "tests/platform/diagram/fixtures.h"

namespace odtest {

CODSymbolComponent* MakeSymbol(const std::string& name, int x, int y)
{
    auto* s = new CODSymbolComponent;
    s->SetName(name);
    auto* port = new CODPortComponent;
    port->SetLocation(CPoint(0, 30), 3);
    s->AppendChild(port);
    s->SetPort(port);
    auto* poly = new CODPolygonComponent;
    poly->SetName("Polygon");
    const CPoint pts[] = {{-50, 0}, {50, 0}, {50, 60}, {-50, 60}};
    poly->SetVertices(pts, 4);
    poly->UpdateBounds();
    s->AppendChild(poly);
    s->UpdateBounds();
    s->MoveTo(x, y);
    return s;
}

std::vector<std::uint8_t> Store(CODModel& model)
{
    CMemFile f;
    CArchive ar(&f, CArchive::store);
    model.Serialize(ar);
    ar.Close();
    return f.Detach();
}

void Load(CODModel& model, const std::vector<std::uint8_t>& bytes)
{
    CMemFile f(bytes);
    CArchive ar(&f, CArchive::load);
    model.Serialize(ar);
}

} // namespace odtest
