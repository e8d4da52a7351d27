#include "dmo/names.h"

#include "dmo/dmo.h"
#include "dmo/pgexec.h"
#include "dmo/quote.h"
#include "winapi/text.h"

#include <cstdlib>
#include <optional>

namespace dmo {

namespace {

// One part from `pos`: bare up to the next '.', or quoted with the closing
// character doubled inside.
std::string takePart(std::string_view text, std::size_t& pos, std::string_view whole)
{
    std::string part;
    char open = pos < text.size() ? text[pos] : '\0';
    if (open == '"' || open == '[') {
        char close = open == '"' ? '"' : ']';
        for (++pos;; ++pos) {
            if (pos >= text.size())
                throw Error(kErrArgument, "unclosed quote in the name '" + std::string(whole) + "'");
            if (text[pos] == close) {
                if (pos + 1 < text.size() && text[pos + 1] == close) {
                    part += close;
                    ++pos;
                    continue;
                }
                ++pos;
                break;
            }
            part += text[pos];
        }
    } else {
        std::size_t dot = text.find('.', pos);
        std::size_t end = dot == std::string_view::npos ? text.size() : dot;
        part = std::string(text.substr(pos, end - pos));
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
            part.pop_back();
        pos = end;
    }
    if (part.empty())
        throw Error(kErrArgument, "an empty part in the name '" + std::string(whole) + "'");
    return part;
}

struct Candidate {
    TableRef ref;
    int searchPosition; // place of the schema in the search path, 0 when not in it
};

// Of the candidates, the one `name` means: exact first (earliest in the
// search path when `useSearchPath`), then the only one equal without case.
const Candidate* choose(const std::vector<const Candidate*>& rows, const std::string& name, bool useSearchPath)
{
    const Candidate* best = nullptr;
    int exact = 0;
    for (const Candidate* c : rows) {
        if (c->ref.name != name)
            continue;
        ++exact;
        if (useSearchPath && c->searchPosition > 0 && (!best || best->searchPosition == 0 ||
                                                       c->searchPosition < best->searchPosition))
            best = c;
        else if (!best)
            best = c;
    }
    if (best && (exact == 1 || (useSearchPath && best->searchPosition > 0)))
        return best;
    if (exact > 1)
        return nullptr;
    const Candidate* folded = nullptr;
    for (const Candidate* c : rows) {
        if (!winapi::Utf8EqualNoCase(c->ref.name, name))
            continue;
        if (folded)
            return nullptr;
        folded = c;
    }
    return folded;
}

} // namespace

ObjectName ParseObjectName(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    std::string first = takePart(text, pos, text);
    if (pos >= text.size())
        return {{}, first};
    if (text[pos] != '.')
        throw Error(kErrArgument, "unexpected text after a quoted part in the name '" + std::string(text) + "'");
    ++pos;
    std::string second = takePart(text, pos, text);
    if (pos < text.size())
        throw Error(kErrArgument, "too many parts in the name '" + std::string(text) + "'");
    return {first, second};
}

std::string TableRef::QualifiedName() const { return QuoteQualified(schema, name); }

TableRef Database::ResolveTable(const std::string& text)
{
    std::lock_guard lock(m_server->m_mutex);
    ObjectName wanted = ParseObjectName(text);
    auto set = detail::ExecParams(
        connection(),
        "SELECT c.oid, n.nspname, c.relname, "
        "COALESCE(array_position(current_schemas(false), n.nspname::text), 0) "
        "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE c.relkind IN ('r', 'p') AND NOT c.relispartition "
        "AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\\_%'");
    std::vector<Candidate> all;
    all.reserve(set.rows.size());
    for (const auto& row : set.rows)
        all.push_back({{static_cast<std::uint32_t>(std::strtoul(row[0]->c_str(), nullptr, 10)), *row[1], *row[2]},
                       std::atoi(row[3]->c_str())});

    std::vector<const Candidate*> rows;
    if (wanted.schema.empty()) {
        for (const auto& c : all)
            rows.push_back(&c);
    } else {
        // The schema: exact, else the only one equal without case; "dbo"
        // stands for "public" when no schema answers to it.
        auto inSchema = [&](auto same) {
            std::vector<const Candidate*> found;
            std::optional<std::string> schema;
            for (const auto& c : all) {
                if (!same(c.ref.schema))
                    continue;
                if (schema && *schema != c.ref.schema)
                    return std::vector<const Candidate*>{}; // two schemas differ only in case
                schema = c.ref.schema;
                found.push_back(&c);
            }
            return found;
        };
        rows = inSchema([&](const std::string& s) { return s == wanted.schema; });
        if (rows.empty())
            rows = inSchema([&](const std::string& s) { return winapi::Utf8EqualNoCase(s, wanted.schema); });
        if (rows.empty() && winapi::Utf8EqualNoCase(wanted.schema, "dbo"))
            rows = inSchema([](const std::string& s) { return s == "public"; });
    }
    if (const Candidate* c = choose(rows, wanted.name, wanted.schema.empty()))
        return c->ref;
    throw Error(kErrNotFound, "table '" + text + "' not found");
}

} // namespace dmo
