// The arrangement dialog of a department chart without its window: the two
// spacings (whole numbers 10..1000) and the four switches.
#pragma once

#include "charts/shell/core/chartdialogs.h"

#include <cstdint>
#include <string>

namespace tarnwick {

class CArrangeHorzParamDlgModel {
public:
    static constexpr std::uint32_t kMinSpace = 10;
    static constexpr std::uint32_t kMaxSpace = 1000;
    enum Field { FieldNone = -1, FieldHorz = 0, FieldVert = 1 };

    explicit CArrangeHorzParamDlgModel(const ArrangeChoice& initial) : m_choice(initial) {}

    // The texts of the two edits, in exchange order. A text that is not a
    // whole number in range is refused with the range message; badField
    // names the edit that takes the focus, and nothing is taken.
    bool TakeSpacings(const std::string& horz, const std::string& vert, Field& badField);
    // A whole number 10..1000, blanks around it allowed.
    static bool ParseSpacing(const std::string& text, std::uint32_t& value);

    ArrangeChoice m_choice;
};

} // namespace tarnwick
