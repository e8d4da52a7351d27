#include "odbc/data/ui/arrayimages.h"
#include "odbc/data/core/conversions.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

namespace {

// Decodes with a handler of its own, so nothing is registered process-wide.
wxImage LoadImage(const std::vector<std::uint8_t>& bytes, wxBitmapType type)
{
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    wxLogNull quiet;
    bool ok = false;
    if (type == wxBITMAP_TYPE_ICO) {
        wxICOHandler handler;
        ok = handler.LoadFile(&image, stream, false, 0);
    } else {
        wxBMPHandler handler;
        ok = handler.LoadFile(&image, stream, false, 0);
    }
    return ok && image.IsOk() ? image : wxImage();
}

} // namespace

wxImage GetFromArrayIcon(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> icon;
    if (!IconFileOfArray(data, icon))
        return wxImage();
    return LoadImage(icon, wxBITMAP_TYPE_ICO);
}

wxImage GetBitmapFromArray(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> file;
    if (!BitmapFileOfArray(data, file))
        return wxImage();
    return LoadImage(file, wxBITMAP_TYPE_BMP);
}
