// The login dialog: shows CLoginDlgModel.
#pragma once

#include "logindlgmodel.h"

class wxWindow;

namespace tarnwick {

// Runs the dialog modally; true when closed with OK (the model then holds the answers).
bool RunLoginDialog(wxWindow* parent, CLoginDlgModel& model);

} // namespace tarnwick
