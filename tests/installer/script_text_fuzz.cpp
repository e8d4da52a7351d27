// Any bytes as an SQL script file and as a step line: the batches keep only
// what has content, and the tokens never hold a delimiter or outer blanks.
#include "installer/packed/scripttext.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::size_t total = 0;
    for (const auto& batch : dorvik::SplitScriptBatches(text)) {
        bool content = false;
        for (unsigned char c : batch)
            content = content || c == 0 || c > 32;
        if (!content)
            std::abort();
        total += batch.size();
    }
    if (total > text.size())
        std::abort();

    // A step line is one line of an INI value.
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    std::size_t count = 0;
    for (const auto& token : dorvik::SplitCommandLine(line)) {
        if (token.empty() || token.find_first_of(",()") != std::string::npos || token.front() == ' ' ||
            token.back() == ' ')
            std::abort();
        ++count;
    }
    if (count > line.size())
        std::abort();
    return 0;
}
