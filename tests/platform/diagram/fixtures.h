// Small charts for the diagram library's tests.
#pragma once

#include "diagram/odcommand.h"
#include "diagram/odmodel.h"

#include <string>
#include <vector>

namespace odtest {

// A symbol 100 wide and 60 high in local space (x -50..50, y 0..60) with its
// port "Port" as child 0 at the centre and a polygon outline, placed with its
// top-left corner at (x, y).
CODSymbolComponent* MakeSymbol(const std::string& name, int x, int y);

// Bytes of a model's archive.
std::vector<std::uint8_t> Store(CODModel& model);
// Loads bytes into a model (throws what the archive throws).
void Load(CODModel& model, const std::vector<std::uint8_t>& bytes);

} // namespace odtest
