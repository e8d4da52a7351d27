// The one way the server layer and its callers put a name or a value into
// SQL text: every identifier through QuoteIdent, every value that cannot go
// as a parameter through QuoteLiteral.
#pragma once

#include <string>
#include <string_view>

namespace dmo {

// "name" with inner double quotes doubled. The name keeps its case: callers
// that mean a folded (unquoted) Kelm name pass it in lower case.
std::string QuoteIdent(std::string_view name);

// "schema"."name"; an empty schema gives the bare quoted name.
std::string QuoteQualified(std::string_view schema, std::string_view name);

// 'text' with inner single quotes doubled; a text holding a backslash is
// written as E'...' with the backslash doubled, so the literal means the
// same whatever standard_conforming_strings says. A NUL cannot be part of
// a PostgreSQL text and is refused with std::invalid_argument.
std::string QuoteLiteral(std::string_view text);

} // namespace dmo
