// "defprop.dat": the diagram library's default element properties kept
// between runs, in the settings folder. Failures are silent.
#pragma once

#include <filesystem>

class CODPropertySet;

namespace tarnwick {

std::filesystem::path DefaultPropertiesPath();
// The count, then each property's own bytes; written beside the file and renamed.
void SaveDefaultPropertiesFile(const std::filesystem::path& file, CODPropertySet& set);
// Replaces the set only when the file holds exactly as many properties and
// every one of them reads whole; otherwise the set stays as it was.
void LoadDefaultPropertiesFile(const std::filesystem::path& file, CODPropertySet& set);

} // namespace tarnwick
