// What start shows and does, as Start.ini describes it: the picture, the
// caption, the icon and the buttons, read without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace start {

struct StartPoint {
    int x = 0;
    int y = 0;
    bool operator==(const StartPoint&) const = default;
};

enum ButtonType { ButtonNone = 0, ButtonCommand = 1, ButtonUrl = 2, ButtonClose = 3 };

// A colour as Windows keeps it: red in the low byte, then green, then blue.
using COLORREF = std::uint32_t;
constexpr COLORREF MakeRgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned RedOf(COLORREF c) { return c & 0xFFu; }
constexpr unsigned GreenOf(COLORREF c) { return (c >> 8) & 0xFFu; }
constexpr unsigned BlueOf(COLORREF c) { return (c >> 16) & 0xFFu; }

// One [Button<n>] section.
struct CButtonTemplate {
    int m_nType = ButtonNone;
    std::string m_strCommandText;
    std::string m_strParamText;
    StartPoint m_ptBegin;
    StartPoint m_ptEnd;
    std::string m_strToolTip;
    std::string m_strCursorIco = "CursorHand";
    int m_bSelection = 0;
    COLORREF m_clrLightSelection = 0;
    int m_bFullLineSelection = 0;
};

// The [Main] values and the buttons in the order their sections stand.
struct CStartSettings {
    std::string m_strBitmap;
    std::string m_strCaption;
    std::string m_strIconApp;
    std::vector<CButtonTemplate> m_arrButtons;
    bool m_bHasMain = false;
};

// atoi: leading blanks, an optional sign, digits; anything else gives 0.
int Atoi(const std::string& text);
// "x, y" trimmed on both sides of the first comma; without a comma x is 0
// and the whole text is y.
StartPoint ParsePoint(const std::string& text);
// Three comma-separated numbers, each cut to its low 8 bits; any other
// number of pieces gives 0 (no colour).
COLORREF ParseColour(const std::string& text);

CButtonTemplate ReadButtonSection(const std::string& file, const std::string& section);
CStartSettings ReadStartIni(const std::string& file);

// The Start.ini a run uses: the first plain argument when there is one,
// else "Start.ini" beside the program.
std::string StartIniPath(const std::vector<std::string>& arguments, const std::string& programPath);

// A path from Start.ini ('\' read as '/'); a relative one is taken against
// the folder of Start.ini. Empty stays empty.
std::string ResolveKitPath(const std::string& iniFile, const std::string& value);

} // namespace start
