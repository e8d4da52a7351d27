// The about box (Help, "&О Программе...").
#pragma once

#include "editor/dialogs/core/aboutdlgmodel.h"

#include <wx/dialog.h>

namespace tarnwick {

class CAboutDlg : public wxDialog {
public:
    CAboutDlg(wxWindow* parent, const CVersionInfo& version, const std::string& dbVersion, int diagramKind);

    CAboutDlgModel m_model;
};

} // namespace tarnwick
