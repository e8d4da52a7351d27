// Runs every SQL text tool over arbitrary bytes: unterminated strings and
// comments, stray marks and broken UTF-8 must never read past the text.
#include "odbc/sql/sqltext.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

bool Value(const char* name, std::string& value)
{
    value = name;
    return name[0] != 'x';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* s = text.c_str();

    CParserReplace parser(s, Value);
    parser.GetError();
    std::vector<std::string> names;
    parser.GetBindVariables(names);

    std::vector<std::string> batches;
    GetBatchsFromString(s, batches);
    std::string out;
    DeleteAllComments(s, out);
    const CWordReplace table[] = {{"GO", "go"}, {",", ";"}, {nullptr, nullptr}};
    WordsReplaceCode(s, table, out, false, ",(");
    FindSubString(s, size > 3 ? s + size - 3 : "", false);
    return 0;
}
