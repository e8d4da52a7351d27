// The one message box of the program: every question and message to the
// user, whoever asks it, comes up through here.
#pragma once

#include "charts/shell/core/chartshell.h"

#include <functional>
#include <string>

namespace tarnwick {

enum class MessageButtons { Ok, YesNo, YesNoCancel };

// IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7; IDCANCEL when there is no application.
int ShowMessageBox(const std::string& text, const std::string& caption, ChartIcon icon, MessageButtons buttons);

// Answers in place of the box while set (tests); null restores the box.
using MessageBoxAnswer = std::function<int(const std::string& text, ChartIcon icon, MessageButtons buttons)>;
void SetMessageBoxAnswer(MessageBoxAnswer answer);

} // namespace tarnwick
