// A block of text lines in a light-yellow box hung centred below a rectangle
// (the tool tips of chart elements).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

class wxDC;
class CODComponent;

namespace tarnwick {

struct MultiLineTextLayout {
    wxRect box;
    std::vector<std::string> lines;
    std::vector<wxPoint> origins; // where each line is drawn
};

// Splits the text at CR and LF (empty pieces dropped) and places the lines.
MultiLineTextLayout LayoutMultiLineText(const wxRect& rect, const std::string& text,
                                        const std::function<wxSize(const std::string&)>& measure);

// Draws with the font of the component's first font property; without one
// it draws nothing.
void DrawMultiLineText(wxDC& dc, const wxRect& rect, std::string text, const CODComponent* component);

} // namespace tarnwick
