// The class library's message box on wx: every box the programs show comes
// up through here, with the buttons and the icon its Win32 style asks for.
#pragma once

#include "winapi/prompt.h"

#include <string>

class wxWindow;

namespace afx {

// `text` under `caption` (empty: the program's title) with the buttons and
// icon of `style` (winapi/prompt.h), modal to `parent` (null: the program's
// top window). The buttons are the toolkit's own, in the language set by
// SetUiLanguage. Returns IDOK, IDCANCEL, IDYES or IDNO; a box closed without
// a button answers Cancel where it has one, No for Yes/No and OK for OK.
int MessageBox(wxWindow* parent, const std::string& text, const std::string& caption, UINT style);

} // namespace afx
