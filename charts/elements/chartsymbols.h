// The drawings of the chart's symbols: 136 the state, 150 the action, 250
// the department.
#pragma once

#include "diagram/odcomponent.h"

#include <cstdint>

namespace tarnwick {

inline constexpr std::uint32_t IDR_SYMBOL_STATE = 136;
inline constexpr std::uint32_t IDR_SYMBOL_ACTION = 150;
inline constexpr std::uint32_t IDR_SYMBOL_DEPARTMENT = 250;

// Gives an already constructed symbol the drawing of the resource (name,
// children, ports, properties, size) and leaves its own fields alone. False
// for an unknown number.
bool LoadChartSymbol(CODSymbolComponent& symbol, std::uint32_t id);

} // namespace tarnwick
