// How a table name that a user or a kit writes finds its table: "name",
// "schema.name", each part bare, in "..." or in [...]. The schema "dbo" is
// "public" unless the database has a schema of that name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dmo {

struct ObjectName {
    std::string schema; // "" when not given
    std::string name;
};

// Throws Error (bad argument) for an empty part or an unclosed quote.
ObjectName ParseObjectName(std::string_view text);

// A table as the catalogue knows it.
struct TableRef {
    std::uint32_t oid = 0;
    std::string schema;
    std::string name;
    // "schema"."name", for statements.
    std::string QualifiedName() const;
};

} // namespace dmo
