// What the chart classes need of the program around them: questions and
// messages to the user, commands posted to the main window, the read-only
// mode and the application's connection. The editor installs its own shell;
// tests install one that answers from a script.
#pragma once

#include "ado/ado.h"

#include <cstdint>
#include <string>

class CODViewport;

namespace tarnwick {

enum class ChartIcon { None, Question, Exclamation, Stop, Information };

// How a question or a dialog ended, with the class library's values.
enum ChartAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class IChartShell {
public:
    virtual ~IChartShell() = default;
    // Yes and No buttons, question icon.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Yes, No and Cancel buttons, question icon.
    virtual int AskYesNoCancel(const std::string& text) = 0;
    virtual void Message(const std::string& text, const std::string& caption, ChartIcon icon) = 0;
    // A command for the main window, handled after the current event.
    virtual void PostCommand(int id) = 0;
    // A command run at once; false when nobody handled it.
    virtual bool SendCommand(int id) = 0;
    virtual bool IsReadOnly() const = 0;
    // The application's connection, opened on demand; null without one.
    virtual ado::_ConnectionPtr Connection() = 0;
    // Shows the chart of a key, opening its window when needed.
    virtual void OpenDiagram(std::int32_t key, const std::string& title) {}
    // The viewport's default element properties, kept by the program between runs.
    virtual void LoadDefaultProperties(CODViewport& viewport) {}
    virtual void SaveDefaultProperties(CODViewport& viewport) {}
};

// The shell in use; without an installed one, a shell that shows message
// boxes, answers "no", posts nothing and has no connection.
IChartShell& ChartShell();
void SetChartShell(IChartShell* shell);

// The COM error box: the description (or the system text of the code),
// captioned with the error's source.
void ShowChartComError(const ado::_com_error& e);

} // namespace tarnwick
