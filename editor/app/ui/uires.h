// The program's images and menus: small SVG images embedded at build time,
// and the XRC menus renumbered from their commands' original ids to wx's.
#pragma once

#include <wx/bitmap.h>

#include <vector>

class wxMenu;
class wxMenuBar;

namespace tarnwick {

// An embedded SVG image by file name (without .svg); an empty bitmap when unknown.
wxBitmap IconBitmap(const char* name, int width = 16, int height = 16);
// Strip 118: the navigation trees' five item images.
std::vector<wxBitmap> TreeImageStrip();
// Bitmap 252 of the splash window.
wxBitmap SplashBitmap();
// The toolbar image of a command: the desktop theme's for the standard
// commands, the program's own for the rest.
wxBitmap CommandBitmap(int id);

// Menu items are named "ID_<number>" in the XRC files; these give each item
// that number's wx id.
void RenumberMenu(wxMenu& menu);
void RenumberMenuBar(wxMenuBar& bar);
// A menu bar of the XRC file, renumbered; null when it is missing.
wxMenuBar* LoadMenuBarResource(const char* name);

} // namespace tarnwick
