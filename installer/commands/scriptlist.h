// The permission records that SavePermissions writes and
// RestorePermissions reads back, and their file.
#pragma once

#include "installer/common/slist.h"

#include <cstdint>
#include <string>

namespace dorvik {

struct TScriptListItem : TListItem {
    std::int32_t m_nKind = 0; // 1 table, 2 view, 3 stored procedure, 4 user-defined function
    std::string m_strName;
    std::string m_strText;
};

class CScriptList : public CSList {
public:
    // The record of that kind and name. Names compare exactly: on
    // PostgreSQL "Foo" and "foo" are two objects.
    TScriptListItem* Find(std::int32_t kind, const std::string& name) const;

    // Throws CFileException when the file cannot be written.
    void Save(const std::string& path) const;
    // 0 read; 1 another marker, 2 another version, 3 cut short (the list is
    // then empty). Throws CFileException when the file cannot be opened.
    int Load(const std::string& path);

    static constexpr const char* kMarker = "NUBO SavePermissions out";
};

// English display names of the kinds (string resources 61382, 61384,
// 61386, 104); null for another kind.
const char* ScriptKindName(std::int32_t kind);

} // namespace dorvik
