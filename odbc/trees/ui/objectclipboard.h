// The object tree's texts onto the clipboard and into a drag; without an
// application object nothing is copied.
#pragma once

#include <string>

class CDatabaseEx;
class wxWindow;

// The script of a command for a node (BuildObjectScript), put on the
// clipboard; a database exception is shown as a message box and nothing is
// copied. False when nothing was copied.
bool CopyObjectScript(CDatabaseEx* db, int command, int kind, const std::string& text);

// The text onto the clipboard (nothing for null).
void _CopyToClipboard(const char* text);
// The text onto the clipboard, then dragged (copy only) from `source`, or
// the application's top window when none is given.
void _CopyTextToDragObj(const char* text, wxWindow* source = nullptr);
