// Questions and messages to the user go through this interface, so that the
// logic runs without a display and tests can answer.
#pragma once

#include <string>

namespace tarnwick {

enum class MessageIcon { None, Error, Warning, Information, Stop };

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // caption empty: the application title.
    virtual void Message(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// The prompt the program shows its messages through (set by the user interface).
IPrompt& Prompt();
void SetPrompt(IPrompt* prompt);

} // namespace tarnwick
