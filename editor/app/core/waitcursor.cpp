#include "editor/app/core/waitcursor.h"

namespace tarnwick {

namespace {

bool (*g_show)() = nullptr;
void (*g_hide)() = nullptr;

} // namespace

WaitCursor::WaitCursor() : m_shown(g_show && g_show()) {}

WaitCursor::~WaitCursor()
{
    if (m_shown && g_hide)
        g_hide();
}

void SetWaitCursorHandlers(bool (*show)(), void (*hide)())
{
    g_show = show;
    g_hide = hide;
}

} // namespace tarnwick
