#include "installer/common/runcontext.h"

#include "installer/common/utils.h"
#include "resources/dorvik/dorvikstrings.h"

namespace dorvik {

bool RunContext::IsCancelRequested() const
{
    const auto event = m_cancel.load();
    return event && event->IsSet();
}

std::string RunContext::Text(int id) const { return res::LoadString(id, Language()); }

void RunContext::SetClock(std::function<std::time_t()> clock)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock = std::move(clock);
}

std::time_t RunContext::Now() const
{
    std::function<std::time_t()> clock;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        clock = m_clock;
    }
    return clock ? clock() : std::time(nullptr);
}

void RunContext::SetKitFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_kitFolder = folder;
}

std::string RunContext::KitFolder() const
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_kitFolder.empty())
            return m_kitFolder;
    }
    return GetProgramFolder();
}

std::string RunContext::ResolvePath(const std::string& path) const
{
    if (!path.empty() && path[0] == '/')
        return path;
    return KitFolder() + "/" + path;
}

void RunContext::SetPrompt(std::shared_ptr<winapi::IPrompt> prompt)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_prompt = std::move(prompt);
}

std::shared_ptr<winapi::IPrompt> RunContext::Prompt() const
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_prompt)
            return m_prompt;
    }
    return winapi::GetPrompt();
}

} // namespace dorvik
