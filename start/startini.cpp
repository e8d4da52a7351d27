#include "start/startini.h"

#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/text.h"

#include <cstdint>
#include <filesystem>
#include <limits>

namespace start {

namespace {

// Large enough that no value or list of section names is ever cut.
constexpr DWORD kWhole = std::numeric_limits<std::int32_t>::max();

std::string ReadValue(const std::string& file, const std::string& section, const char* key)
{
    std::string value;
    winapi::GetPrivateProfileString(section.c_str(), key, "", value, kWhole, file);
    return value;
}

int TypeOf(const std::string& text)
{
    if (winapi::Utf8EqualNoCase(text, "Command"))
        return ButtonCommand;
    if (winapi::Utf8EqualNoCase(text, "Url"))
        return ButtonUrl;
    if (winapi::Utf8EqualNoCase(text, "Close"))
        return ButtonClose;
    return ButtonNone;
}

} // namespace

int Atoi(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    return winapi::StrToInt(std::string_view(text).substr(i));
}

StartPoint ParsePoint(const std::string& text)
{
    std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return {0, Atoi(text)};
    return {Atoi(winapi::Trim(text.substr(0, comma), " \t")), Atoi(winapi::Trim(text.substr(comma + 1), " \t"))};
}

COLORREF ParseColour(const std::string& text)
{
    std::vector<std::string> pieces;
    std::size_t begin = 0;
    while (true) {
        std::size_t comma = text.find(',', begin);
        if (comma == std::string::npos) {
            if (begin < text.size())
                pieces.push_back(winapi::Trim(text.substr(begin), " \t"));
            break;
        }
        pieces.push_back(winapi::Trim(text.substr(begin, comma - begin), " \t"));
        begin = comma + 1;
    }
    if (pieces.size() != 3)
        return 0;
    return MakeRgb(static_cast<unsigned>(Atoi(pieces[0])), static_cast<unsigned>(Atoi(pieces[1])),
                   static_cast<unsigned>(Atoi(pieces[2])));
}

CButtonTemplate ReadButtonSection(const std::string& file, const std::string& section)
{
    CButtonTemplate t;
    t.m_nType = TypeOf(ReadValue(file, section, "Type"));
    t.m_strCommandText = ReadValue(file, section, "CommandText");
    t.m_strParamText = ReadValue(file, section, "ParamText");
    t.m_ptBegin = ParsePoint(ReadValue(file, section, "PointBegin"));
    t.m_ptEnd = ParsePoint(ReadValue(file, section, "PointEnd"));
    t.m_strToolTip = ReadValue(file, section, "ToolTip");
    std::string selection = ReadValue(file, section, "Selection");
    std::string colour = ReadValue(file, section, "ColorLightSelection");
    if (selection.empty() && colour.empty()) {
        t.m_bSelection = 1;
        t.m_bFullLineSelection = 1;
    } else {
        t.m_bSelection = Atoi(selection);
        t.m_bFullLineSelection = Atoi(ReadValue(file, section, "FullLineSelection"));
        if (t.m_bSelection == 0)
            t.m_clrLightSelection = ParseColour(colour);
    }
    std::string cursor;
    winapi::GetPrivateProfileString(section.c_str(), "CursorIco", "CursorHand", cursor, kWhole, file);
    t.m_strCursorIco = cursor;
    return t;
}

CStartSettings ReadStartIni(const std::string& file)
{
    CStartSettings settings;
    for (const std::string& name : winapi::GetPrivateProfileSectionNames(file, kWhole)) {
        if (winapi::Utf8EqualNoCase(name, "Main")) {
            settings.m_bHasMain = true;
            settings.m_strBitmap = ReadValue(file, "Main", "Bitmap");
            settings.m_strCaption = ReadValue(file, "Main", "Caption");
            settings.m_strIconApp = ReadValue(file, "Main", "IconApp");
            continue;
        }
        if (name.size() < 6 || !winapi::Utf8EqualNoCase(std::string_view(name).substr(0, 6), "Button"))
            continue;
        int n = Atoi(name.substr(6));
        if (n == 0)
            continue;
        settings.m_arrButtons.push_back(ReadButtonSection(file, "Button" + std::to_string(n)));
    }
    return settings;
}

std::string StartIniPath(const std::vector<std::string>& arguments, const std::string& programPath)
{
    for (const auto& a : arguments)
        if (!a.empty() && a[0] != '-')
            return a;
    return (std::filesystem::path(programPath).parent_path() / "Start.ini").string();
}

std::string ResolveKitPath(const std::string& iniFile, const std::string& value)
{
    if (value.empty())
        return value;
    std::filesystem::path p(winapi::FromKitPath(value));
    if (p.is_absolute())
        return p.string();
    return (std::filesystem::absolute(iniFile).parent_path() / p).lexically_normal().string();
}

} // namespace start
