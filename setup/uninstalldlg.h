// uninstall's confirmation dialog.
#pragma once

#include <wx/dialog.h>

#include <string>

namespace kelm_setup {

class CUninstallDlg : public wxDialog {
public:
    explicit CUninstallDlg(const std::string& text);
};

} // namespace kelm_setup
