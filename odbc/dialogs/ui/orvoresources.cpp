#include "odbc/dialogs/ui/orvoresources.h"

#include <wx/xrc/xmlres.h>

#include <cstring>
#include <mutex>

struct OrvoEmbeddedImage {
    const char* name;
    const char* svg;
};
extern const OrvoEmbeddedImage kOrvoImages[];
extern const std::size_t kOrvoImageCount;
void InitOrvoXmlResource();

CSetResourceHandle::CSetResourceHandle()
{
    static std::once_flag once;
    std::call_once(once, [] {
        wxXmlResource::Get()->InitAllHandlers();
        InitOrvoXmlResource();
    });
}

wxBitmap OrvoImage(const char* name, const wxSize& size)
{
    for (std::size_t i = 0; i < kOrvoImageCount; ++i)
        if (std::strcmp(kOrvoImages[i].name, name) == 0)
            return wxBitmapBundle::FromSVG(kOrvoImages[i].svg, size).GetBitmap(size);
    return wxBitmap();
}
