#include "editor/dialogs/core/arrangedlgmodel.h"

#include "editor/pages/core/pagemodel.h"
#include "editor/app/core/editorprompt.h"

#include "winapi/text.h"

#include <cerrno>
#include <cstdlib>

namespace tarnwick {

bool CArrangeHorzParamDlgModel::ParseSpacing(const std::string& text, std::uint32_t& value)
{
    const std::string digits = winapi::Trim(text, " \t");
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long parsed = std::strtoul(digits.c_str(), nullptr, 10);
    if (parsed < kMinSpace || parsed > kMaxSpace)
        return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool CArrangeHorzParamDlgModel::TakeSpacings(const std::string& horz, const std::string& vert, Field& badField)
{
    std::uint32_t h = 0, v = 0;
    badField = !ParseSpacing(horz, h) ? FieldHorz : !ParseSpacing(vert, v) ? FieldVert : FieldNone;
    if (badField != FieldNone) {
        Prompt().Message(RangeMessage(kMinSpace, kMaxSpace), {}, MessageIcon::Warning);
        return false;
    }
    m_choice.horzSpace = h;
    m_choice.vertSpace = v;
    return true;
}

} // namespace tarnwick
