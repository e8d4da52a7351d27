#include "installer/core/progress.h"

namespace dorvik {

CProgressState::CProgressState() { m_state.lines[2].range = 0; }

void CProgressState::SetTitle(const std::string& text)
{
    {
        std::lock_guard lock(m_mutex);
        m_state.title = text;
    }
    changed();
}

void CProgressState::SetLineText(int line, const std::string& text)
{
    if (!validLine(line))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_state.lines[line].text = text;
    }
    changed();
}

void CProgressState::SetRange(int line, int max)
{
    if (!validLine(line) || max <= 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        Line& l = m_state.lines[line];
        l.range = max;
        if (l.pos > max)
            l.pos = max;
    }
    changed();
}

void CProgressState::SetPos(int line, int pos)
{
    if (!validLine(line))
        return;
    {
        std::lock_guard lock(m_mutex);
        Line& l = m_state.lines[line];
        l.pos = pos < 0 ? 0 : pos > l.range ? l.range : pos;
    }
    changed();
}

void CProgressState::StepIt(int line)
{
    if (!validLine(line))
        return;
    {
        std::lock_guard lock(m_mutex);
        Line& l = m_state.lines[line];
        l.pos = l.pos + 1 > l.range ? 0 : l.pos + 1;
    }
    changed();
}

void CProgressState::OffsetPos(int line, int offset)
{
    if (!validLine(line))
        return;
    int pos;
    {
        std::lock_guard lock(m_mutex);
        pos = m_state.lines[line].pos + offset;
    }
    SetPos(line, pos);
}

void CProgressState::ShowThirdLine(bool show)
{
    {
        std::lock_guard lock(m_mutex);
        m_state.thirdLine = show;
    }
    changed();
}

void CProgressState::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_state.closed = true;
    }
    changed();
}

CProgressState::Snapshot CProgressState::Get() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool CProgressState::IsClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_state.closed;
}

void CProgressState::Reopen()
{
    std::lock_guard lock(m_mutex);
    m_state.closed = false;
    m_state.lines[2] = Line{{}, 0, 0};
    m_state.thirdLine = false;
}

void CProgressState::SetChangeHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
    m_pending = false;
}

CProgressState::Snapshot CProgressState::TakeChange()
{
    m_pending = false;
    return Get();
}

void CProgressState::changed()
{
    if (m_pending.exchange(true))
        return;
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_handler;
    }
    if (handler)
        handler();
    else
        m_pending = false;
}

} // namespace dorvik
