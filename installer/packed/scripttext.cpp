#include "installer/packed/scripttext.h"

namespace dorvik {

std::vector<std::string> SplitScriptBatches(const std::string& text)
{
    std::vector<std::string> batches;
    auto keep = [&](std::string batch) {
        for (unsigned char c : batch)
            if (c == 0 || c > 32) {
                batches.push_back(std::move(batch));
                return;
            }
    };
    std::size_t batchStart = 0; // where the current batch begins
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lf = text.find('\n', lineStart);
        std::size_t lineEnd = lf == std::string::npos ? text.size() : lf;
        std::size_t contentEnd = lineEnd;
        if (contentEnd > lineStart && text[contentEnd - 1] == '\r')
            --contentEnd;
        if (text.compare(lineStart, contentEnd - lineStart, "GO") == 0) {
            // The line break before the separator belongs to neither batch.
            std::size_t end = lineStart;
            if (end > batchStart && text[end - 1] == '\n')
                --end;
            if (end > batchStart && text[end - 1] == '\r')
                --end;
            keep(text.substr(batchStart, end - batchStart));
            batchStart = lf == std::string::npos ? text.size() : lf + 1;
        }
        if (lf == std::string::npos)
            break;
        lineStart = lf + 1;
    }
    if (batchStart < text.size())
        keep(text.substr(batchStart));
    return batches;
}

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    for (;;) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        std::size_t end = line.find_first_of(",()", pos);
        std::string token = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        while (!token.empty() && token.back() == ' ')
            token.pop_back();
        if (token.empty())
            return tokens; // an empty token ends the line
        tokens.push_back(std::move(token));
        if (end == std::string::npos)
            return tokens;
        pos = end + 1;
    }
}

} // namespace dorvik
