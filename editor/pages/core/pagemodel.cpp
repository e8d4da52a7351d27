#include "editor/pages/core/pagemodel.h"

#include "editor/app/core/editorprompt.h"

#include "winapi/text.h"

#include <charconv>

namespace tarnwick {

std::int32_t ControlState::SelectedData(std::int32_t def) const
{
    return HasSelection() ? data[static_cast<std::size_t>(selection)] : def;
}

std::string ControlState::SelectedText() const
{
    return HasSelection() ? items[static_cast<std::size_t>(selection)] : std::string();
}

void ControlState::SelectData(std::int32_t value)
{
    selection = -1;
    for (int i = 0; i < GetCount(); ++i)
        if (data[static_cast<std::size_t>(i)] == value) {
            selection = i;
            return;
        }
}

int ControlState::FindText(const std::string& wanted) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (items[static_cast<std::size_t>(i)] == wanted)
            return i;
    return -1;
}

void ControlState::Clear()
{
    items.clear();
    data.clear();
    selection = -1;
}

int ControlItems::AddString(const std::string& text)
{
    auto at = m_control.items.size();
    if (m_control.sorted) {
        // As the toolkit's sorted lists compare: without regard to case.
        at = 0;
        while (at < m_control.items.size() && winapi::Utf8CompareNoCase(m_control.items[at], text) <= 0)
            ++at;
    }
    m_control.items.insert(m_control.items.begin() + static_cast<std::ptrdiff_t>(at), text);
    m_control.data.insert(m_control.data.begin() + static_cast<std::ptrdiff_t>(at), 0);
    if (m_control.selection >= static_cast<int>(at))
        ++m_control.selection;
    return static_cast<int>(at);
}

void ControlItems::SetItemData(int index, std::uint32_t data)
{
    if (index >= 0 && index < m_control.GetCount())
        m_control.data[static_cast<std::size_t>(index)] = static_cast<std::int32_t>(data);
}

bool CPageModel::ReadInt(int id, int min, int max, int& value)
{
    const std::string text = winapi::Trim(Control(id).text, " \t");
    long long parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || parsed < min || parsed > max) {
        Prompt().Message(RangeMessage(min, max), {}, MessageIcon::Warning);
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

std::string RangeMessage(int min, int max)
{
    return "Введите целое число от " + std::to_string(min) + " до " + std::to_string(max) + ".";
}

} // namespace tarnwick
