// The library's own dialogs, menus and pictures. wx keeps one resource
// registry per process; the library adds its resources to it once.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/gdicmn.h>

// Registers the library's dialogs and menus the first time one is made;
// hold one while loading them.
class CSetResourceHandle {
public:
    CSetResourceHandle();
    virtual ~CSetResourceHandle() = default;
};

// One of the library's pictures ("login", "tree00" ... "tree23"), drawn at
// `size` pixels.
wxBitmap OrvoImage(const char* name, const wxSize& size);
