// The two texts a kit hands the installer: step lines of its command
// language and SQL script files cut into batches.
#pragma once

#include <string>
#include <vector>

namespace dorvik {

// A script's batches: the text is cut at every line that is exactly "GO"
// (with CR LF, LF or no line end); batches of nothing but bytes 1..32 are
// left out.
std::vector<std::string> SplitScriptBatches(const std::string& text);

// The tokens of a step line: cut at ',', '(' and ')', blanks (spaces only)
// trimmed at both ends; the first empty token ends the line.
std::vector<std::string> SplitCommandLine(const std::string& line);

} // namespace dorvik
