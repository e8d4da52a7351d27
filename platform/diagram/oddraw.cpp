// Drawing of the components through a wx device context, in model
// coordinates: the viewport's DC maps them to the device.
#include "diagram/odcomponent.h"

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/fontenum.h>
#include <wx/graphics.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <tuple>
#include <unordered_map>

namespace {

// A context makes a drawing object of its own for every pen, brush and font
// it is given: give it one only when it differs.
void usePen(wxDC& dc, const wxPen& pen)
{
    if (dc.GetPen() != pen)
        dc.SetPen(pen);
}

void useBrush(wxDC& dc, const wxBrush& brush)
{
    if (dc.GetBrush() != brush)
        dc.SetBrush(brush);
}

wxColour colourOf(const CODComponent& c, std::int32_t id, const wxColour& fallback)
{
    for (const CODComponent* p = &c; p; p = p->GetParent())
        if (CODProperty* prop = p->GetProperty(id)) {
            const auto v = static_cast<std::uint32_t>(prop->GetValue());
            return wxColour((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        }
    return fallback;
}

std::vector<wxPoint> toWx(const std::vector<CPoint>& pts)
{
    std::vector<wxPoint> out;
    out.reserve(pts.size());
    for (const CPoint& p : pts)
        out.emplace_back(p.x, p.y);
    return out;
}

void drawArrow(wxDC& dc, const CPoint& from, const CPoint& tip, std::int32_t size)
{
    const double dx = double(tip.x) - from.x, dy = double(tip.y) - from.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-9 || size <= 0)
        return;
    const double ux = dx / len, uy = dy / len;
    const double bx = tip.x - ux * size, by = tip.y - uy * size;
    const double half = size / 3.0;
    wxPoint tri[3] = {wxPoint(tip.x, tip.y),
                      wxPoint(static_cast<int>(std::lround(bx - uy * half)), static_cast<int>(std::lround(by + ux * half))),
                      wxPoint(static_cast<int>(std::lround(bx + uy * half)), static_cast<int>(std::lround(by - ux * half)))};
    useBrush(dc, wxBrush(dc.GetPen().GetColour()));
    dc.DrawPolygon(3, tri);
}

} // namespace

wxFont CODFontProperty::CreateFont() const
{
    // Faces of the Windows original map to installed ones with Cyrillic glyphs.
    static std::map<std::string, wxString> resolved;
    auto it = resolved.find(m_strFace);
    if (it == resolved.end()) {
        std::vector<wxString> candidates;
        std::string face = m_strFace;
        if (face.size() > 4 && face.compare(face.size() - 4, 4, " CYR") == 0)
            face.resize(face.size() - 4);
        candidates.push_back(wxString::FromUTF8(face));
        candidates.push_back("Liberation Sans");
        candidates.push_back("DejaVu Sans");
        wxString chosen;
        for (const wxString& c : candidates)
            if (wxFontEnumerator::IsValidFacename(c)) {
                chosen = c;
                break;
            }
        it = resolved.emplace(m_strFace, chosen).first;
    }
    // Made once per face, size and style: a paint sets a font per label.
    // Kept for the process: fonts must not be freed after the toolkit has gone.
    static auto* made = new std::map<std::tuple<std::string, std::int32_t, bool, bool>, wxFont>;
    const auto key = std::make_tuple(m_strFace, m_nPointSize, bool(m_bBold), bool(m_bItalic));
    if (auto f = made->find(key); f != made->end())
        return f->second;
    wxFontInfo info(std::max(1, m_nPointSize));
    if (!it->second.empty())
        info.FaceName(it->second);
    else
        info.Family(wxFONTFAMILY_SWISS);
    info.Bold(m_bBold).Italic(m_bItalic);
    return made->emplace(key, wxFont(info)).first->second;
}

namespace {

// A text's size as DrawSelf lays it out: an empty line is as high as a
// letter. Labels repeat across a chart, so sizes are remembered, per font and
// then per text, so that a size found again costs no new key.
class FontSizes : public IODTextMeasurer {
public:
    CSize Measure(const std::string& line, const CODFontProperty& font) override
    {
        Font& sizes = sizesOf(font);
        if (auto it = sizes.lines.find(line); it != sizes.lines.end())
            return it->second;
        const wxFont f = font.CreateFont();
        if (m_dc.GetFont() != f)
            m_dc.SetFont(f);
        const wxString text = wxString::FromUTF8(line);
        wxCoord w = 0, h = 0;
        m_dc.GetTextExtent(text.empty() ? wxString("X") : text, &w, &h);
        const CSize size(text.empty() ? 0 : w, h);
        if (sizes.lines.size() > 100000)
            sizes.lines.clear();
        sizes.lines.emplace(line, size);
        return size;
    }
    bool IsOk() const { return m_dc.IsOk(); }

private:
    struct Font {
        std::string face;
        std::int32_t pointSize;
        bool bold, italic;
        std::unordered_map<std::string, CSize> lines;
    };
    Font& sizesOf(const CODFontProperty& font)
    {
        const bool bold = font.m_bBold, italic = font.m_bItalic;
        // The last font asked for first: a chart's labels mostly share one.
        if (m_last < m_fonts.size()) {
            Font& f = m_fonts[m_last];
            if (f.pointSize == font.m_nPointSize && f.bold == bold && f.italic == italic && f.face == font.m_strFace)
                return f;
        }
        for (std::size_t i = 0; i < m_fonts.size(); ++i) {
            Font& f = m_fonts[i];
            if (f.pointSize == font.m_nPointSize && f.bold == bold && f.italic == italic && f.face == font.m_strFace) {
                m_last = i;
                return f;
            }
        }
        m_fonts.push_back({font.m_strFace, font.m_nPointSize, bold, italic, {}});
        m_last = m_fonts.size() - 1;
        return m_fonts.back();
    }

    wxBitmap m_bitmap{1, 1};
    wxMemoryDC m_dc{m_bitmap};
    std::deque<Font> m_fonts;
    std::size_t m_last = 0;
};

} // namespace

IODTextMeasurer* od::FontMeasurer()
{
    if (!wxTheApp || !wxTheApp->IsGUI())
        return nullptr;
    // Made once the toolkit is up, kept for the process like the fonts.
    static auto* measurer = new FontSizes;
    return measurer->IsOk() ? measurer : nullptr;
}

void CODComponent::OnDraw(wxDC& dc)
{
    if (!m_bVisible)
        return;
    DrawSelf(dc);
    for (CODComponent* c : m_children)
        if (c && c->IsVisible())
            c->OnDraw(dc);
}

void CODPortComponent::DrawSelf(wxDC&)
{
    // Ports are places to connect to; they have no drawing of their own.
}

void CODPolygonComponent::DrawSelf(wxDC& dc)
{
    std::vector<CPoint> pts = GetPoints(true);
    if (pts.size() < 2)
        return;
    usePen(dc, wxPen(colourOf(*this, OD_PROP_LINECOLOR, *wxBLACK), 1));
    useBrush(dc, wxBrush(colourOf(*this, OD_PROP_FILL, *wxWHITE)));
    auto w = toWx(pts);
    dc.DrawPolygon(static_cast<int>(w.size()), w.data());
}

void CODLineComponent::DrawSelf(wxDC& dc)
{
    std::vector<CPoint> pts = GetPoints(true);
    if (pts.size() < 2)
        return;
    wxPen pen(colourOf(*this, OD_PROP_LINECOLOR, *wxBLACK), 1, m_nLineDecoration == 1 ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID);
    usePen(dc, pen);
    auto w = toWx(pts);
    dc.DrawLines(static_cast<int>(w.size()), w.data());
    drawArrow(dc, pts[pts.size() - 2], pts.back(), m_nEndDecoration);
}

void CODEllipseComponent::DrawSelf(wxDC& dc)
{
    CRect r = GetModelBounds();
    usePen(dc, wxPen(colourOf(*this, OD_PROP_LINECOLOR, *wxBLACK), 1));
    useBrush(dc, m_bFilled ? wxBrush(colourOf(*this, OD_PROP_FILL, *wxWHITE)) : *wxTRANSPARENT_BRUSH);
    dc.DrawEllipse(r.left, r.top, r.Width(), r.Height());
}

void CODTextComponent::DrawSelf(wxDC& dc)
{
    static const CODFontProperty kDefaultFont;
    const CODFontProperty* font = GetFont();
    if (!font)
        font = &kDefaultFont;
    const wxFont f = font->CreateFont();
    if (dc.GetFont() != f)
        dc.SetFont(f);
    const std::uint32_t c = font->m_crColor;
    dc.SetTextForeground(wxColour((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const CRect r = GetModelBounds();
    // A context that draws through a graphics context measures every text
    // it draws, for a bounding box nobody here reads: the text goes to the
    // graphics context itself, with the same font, colour and place.
    wxGraphicsContext* gc = dc.GetLogicalFunction() == wxCOPY ? dc.GetGraphicsContext() : nullptr;
    std::int32_t y = r.top;
    const auto& lines = GetLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const wxString text = wxString::FromUTF8(lines[i]);
        if (!text.empty()) {
            if (gc)
                gc->DrawText(text, r.left, y);
            else
                dc.DrawText(text, r.left, y);
        }
        if (i + 1 < lines.size()) { // the next line goes one line height lower
            wxCoord w = 0, h = 0;
            dc.GetTextExtent(text.empty() ? wxString("X") : text, &w, &h);
            y += h;
        }
    }
}

void CODLinkComponent::DrawSelf(wxDC& dc)
{
    const std::vector<CPoint> pts = GetDrawnPoints();
    if (pts.size() < 2)
        return;
    wxPen pen(colourOf(*this, OD_PROP_LINECOLOR, *wxBLACK), 1,
              m_pLine->GetLineDecoration() == 1 ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID);
    usePen(dc, pen);
    auto w = toWx(pts);
    dc.DrawLines(static_cast<int>(w.size()), w.data());
    drawArrow(dc, pts[pts.size() - 2], pts.back(), m_pLine->GetEndDecoration());
}
