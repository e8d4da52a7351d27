#include "editor/app/core/editorprompt.h"

#include <cstdio>

namespace tarnwick {

namespace {

// Without a user interface the messages go to the log (stderr).
class LogPrompt : public IPrompt {
public:
    void Message(const std::string& text, const std::string& caption, MessageIcon) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.empty() ? "Tarnwick" : caption.c_str(), text.c_str());
    }
};

LogPrompt g_logPrompt;
IPrompt* g_prompt = &g_logPrompt;

} // namespace

IPrompt& Prompt() { return *g_prompt; }

void SetPrompt(IPrompt* prompt) { g_prompt = prompt ? prompt : &g_logPrompt; }

} // namespace tarnwick
