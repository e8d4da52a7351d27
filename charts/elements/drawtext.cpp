#include "charts/elements/drawtext.h"

#include "diagram/odcomponent.h"
#include "diagram/odproperty.h"

#include <wx/dc.h>

#include <algorithm>

namespace tarnwick {

MultiLineTextLayout LayoutMultiLineText(const wxRect& rect, const std::string& text,
                                        const std::function<wxSize(const std::string&)>& measure)
{
    MultiLineTextLayout layout;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty())
            layout.lines.push_back(piece);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    int width = 0, height = 0;
    for (const auto& line : layout.lines) {
        wxSize extent = measure(line);
        width = std::max(width, extent.x);
        height += extent.y;
    }
    width += 10;
    height += 10;
    // The rectangle's bottom edge is exclusive, as the box's top is.
    int left = rect.x + (rect.width - width) / 2;
    int top = rect.y + rect.height;
    layout.box = wxRect(left, top, width, height);
    const int count = static_cast<int>(layout.lines.size());
    for (int i = 0; i < count; ++i)
        layout.origins.emplace_back(left + 5, top + 5 + i * (height / count));
    return layout;
}

void DrawMultiLineText(wxDC& dc, const wxRect& rect, std::string text, const CODComponent* component)
{
    if (!component)
        return;
    auto* fontProperty = dynamic_cast<const CODFontProperty*>(component->GetProperty(OD_PROP_FONT));
    if (!fontProperty)
        return;

    wxFont previous = dc.GetFont();
    dc.SetFont(fontProperty->CreateFont());
    MultiLineTextLayout layout = LayoutMultiLineText(rect, text, [&](const std::string& line) {
        return dc.GetTextExtent(wxString::FromUTF8(line));
    });
    const wxColour lightYellow(255, 255, 200);
    dc.SetBrush(wxBrush(lightYellow));
    dc.SetPen(wxPen(lightYellow));
    dc.DrawRectangle(layout.box);
    dc.SetTextForeground(*wxBLACK);
    dc.SetTextBackground(lightYellow);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    for (std::size_t i = 0; i < layout.lines.size(); ++i)
        dc.DrawText(wxString::FromUTF8(layout.lines[i]), layout.origins[i]);
    dc.SetFont(previous);
}

} // namespace tarnwick
