#include "dmo/quote.h"

#include <stdexcept>

namespace dmo {

std::string QuoteIdent(std::string_view name)
{
    if (name.find('\0') != std::string_view::npos)
        throw std::invalid_argument("an identifier cannot hold a NUL character");
    std::string out;
    out.reserve(name.size() + 2);
    out += '"';
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string QuoteQualified(std::string_view schema, std::string_view name)
{
    if (schema.empty())
        return QuoteIdent(name);
    return QuoteIdent(schema) + "." + QuoteIdent(name);
}

std::string QuoteLiteral(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
        throw std::invalid_argument("a text value cannot hold a NUL character");
    const bool escaped = text.find('\\') != std::string_view::npos;
    std::string out;
    out.reserve(text.size() + 3);
    if (escaped)
        out += 'E';
    out += '\'';
    for (char c : text) {
        if (c == '\'' || (escaped && c == '\\'))
            out += c;
        out += c;
    }
    out += '\'';
    return out;
}

} // namespace dmo
