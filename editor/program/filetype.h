// Chart files (.wfa) open with the program from the desktop: a user-level
// MIME type and a desktop entry, written at start-up when missing or different.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwick {

// Quiet: a failure leaves the desktop as it was.
void RegisterChartFileType();
// The same into a data folder of the caller's choice, with the program's path;
// true when a file was written.
bool RegisterChartFileType(const std::filesystem::path& dataHome, const std::string& program);

} // namespace tarnwick
