#include "editor/app/ui/uires.h"

#include "afx/cmdid.h"
#include "diagram/odcontroller.h"

#include <wx/artprov.h>
#include <wx/bmpbndl.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/xrc/xmlres.h>

#include <cstring>
#include <map>
#include <string>

namespace tarnwick {

struct EmbeddedIcon {
    const char* name;
    const char* svg;
};
// Generated from resources/tarnwick/icons at build time.
extern const EmbeddedIcon kEmbeddedIcons[];
extern const std::size_t kEmbeddedIconCount;

wxBitmap IconBitmap(const char* name, int width, int height)
{
    for (std::size_t i = 0; i < kEmbeddedIconCount; ++i)
        if (std::strcmp(kEmbeddedIcons[i].name, name) == 0)
            return wxBitmapBundle::FromSVG(kEmbeddedIcons[i].svg, wxSize(width, height))
                .GetBitmap(wxSize(width, height));
    return wxBitmap();
}

std::vector<wxBitmap> TreeImageStrip()
{
    std::vector<wxBitmap> strip;
    for (const char* name : {"tree0", "tree1", "tree2", "tree3", "tree4"})
        strip.push_back(IconBitmap(name));
    return strip;
}

wxBitmap SplashBitmap()
{
    wxBitmap bitmap = IconBitmap("splash252", 360, 200);
    if (!bitmap.IsOk())
        return bitmap;
    wxMemoryDC dc(bitmap);
    dc.SetTextForeground(*wxWHITE);
    wxFont font = dc.GetFont();
    font.SetPointSize(22);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(font);
    const wxString title = "Kelm Tarnwick";
    const wxSize extent = dc.GetTextExtent(title);
    dc.DrawText(title, (360 - extent.x) / 2, 40);
    return bitmap;
}

wxBitmap CommandBitmap(int id)
{
    static const std::map<int, const char*> own = {
        {32775, "connect"},      {32776, "disconnect"},   {32804, "loaddb"},        {32773, "state"},
        {32774, "external"},     {32785, "action"},       {44538, "link"},          {32818, "circlelink"},
        {32793, "check"},        {32788, "savedb"},       {32792, "reload"},        {ID_OD_SAME_WIDTH, "same_width"},
        {ID_OD_SAME_HEIGHT, "same_height"}, {ID_OD_SAME_SIZE, "same_size"}, {ID_OD_ALIGN_LEFT, "align_left"},
        {ID_OD_ALIGN_CENTER, "align_center"}, {ID_OD_ALIGN_RIGHT, "align_right"}, {ID_OD_ALIGN_TOP, "align_top"},
        {ID_OD_ALIGN_MIDDLE, "align_middle"}, {ID_OD_ALIGN_BOTTOM, "align_bottom"}, {ID_OD_NUDGE_LEFT, "nudge_left"},
        {ID_OD_NUDGE_RIGHT, "nudge_right"}, {ID_OD_NUDGE_UP, "nudge_up"}, {ID_OD_NUDGE_DOWN, "nudge_down"},
        {ID_OD_ROTATE_LEFT, "rotate_left"}, {ID_OD_ROTATE_RIGHT, "rotate_right"}, {ID_OD_GROUP, "group"},
        {ID_OD_UNGROUP, "ungroup"}, {ID_OD_TO_FRONT, "to_front"}, {ID_OD_TO_BACK, "to_back"},
    };
    static const std::map<int, wxArtID> stock = {
        {ID_FILE_OPEN, wxART_FILE_OPEN}, {32813, wxART_FOLDER_OPEN}, {ID_FILE_PRINT, wxART_PRINT},
        {57632, wxART_DELETE},          {ID_APP_ABOUT, wxART_HELP},
    };
    if (auto it = own.find(id); it != own.end())
        return IconBitmap(it->second);
    if (auto it = stock.find(id); it != stock.end())
        return wxArtProvider::GetBitmap(it->second, wxART_TOOLBAR, wxSize(16, 16));
    return wxArtProvider::GetBitmap(wxART_MISSING_IMAGE, wxART_TOOLBAR, wxSize(16, 16));
}

void RenumberMenu(wxMenu& menu)
{
    for (wxMenuItem* item : menu.GetMenuItems()) {
        if (item->IsSubMenu()) {
            RenumberMenu(*item->GetSubMenu());
            continue;
        }
        if (item->IsSeparator())
            continue;
        const std::string name = wxXmlResource::FindXRCIDById(item->GetId()).utf8_string();
        if (name.rfind("ID_", 0) == 0)
            item->SetId(ToWxId(std::stoi(name.substr(3))));
    }
}

void RenumberMenuBar(wxMenuBar& bar)
{
    for (std::size_t i = 0; i < bar.GetMenuCount(); ++i)
        RenumberMenu(*bar.GetMenu(i));
}

wxMenuBar* LoadMenuBarResource(const char* name)
{
    wxMenuBar* bar = wxXmlResource::Get()->LoadMenuBar(name);
    if (bar)
        RenumberMenuBar(*bar);
    return bar;
}

} // namespace tarnwick
