// The Windows private-profile (INI file) functions, one implementation for
// every program of the suite.
//
// Rules: UTF-8 text, a leading BOM skipped, lines end at LF (a CR before it
// dropped). Section and key names compare without regard to case; values
// and names are trimmed of blanks and tabs; the first section and the first
// key of a name win; ';' begins a comment; a line without '=' is a key with
// an empty value; lines before the first section belong to none. A missing
// file reads as empty. Writes keep every other byte of the file and replace
// it atomically; concurrent writers (threads or processes) lose no update.
#pragma once

#include "winapi/types.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winapi {

// Value (or default) cut to nSize-1 characters; returns the characters
// copied. A null default is ""; trailing blanks of the default are removed.
// One pair of equal surrounding quotes is stripped from a stored value.
// Null section or key: "" and 0 (last error 87).
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def,
                              std::string& out, DWORD nSize, const std::string& file);

// Missing or empty value: the default; else an optional sign and decimal
// digits, wrapped to 32 bits ("-1" gives 0xFFFFFFFF), none giving 0.
UINT GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& file);

// Section names in file order, duplicates included, as spelt in the file;
// each name plus its NUL and a final NUL must fit nSize characters, a name
// that does not fit whole is left out with all after it.
std::vector<std::string> GetPrivateProfileSectionNames(const std::string& file, DWORD nSize);

// The entry lines of the first section of that name as "key=value" (trimmed,
// quotes kept), without comments and blank lines, cut like the names.
std::vector<std::string> GetPrivateProfileSection(const char* section, DWORD nSize, const std::string& file);

// TRUE when the value is exactly 2*(size+1) hex digits whose last byte is the
// sum of the others modulo 256; fills `data` only then (else last error 13,
// or 2 when missing).
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* data, UINT size,
                             const std::string& file);

// Writes "key=value" into the first section of that name (creating the file,
// never its folder: 3). Null value deletes the key, null key the section,
// null section writes nothing. Line breaks, a ']' in the section, or an '='
// or leading '[' / ';' in the key are refused with 87.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& file);

// Upper-case hex of the bytes and then of their checksum; null data deletes.
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, UINT size,
                               const std::string& file);

// The lookup behind GetPrivateProfileString without a default or a cut
// (quotes stripped); nullopt when the file, section or key is missing.
std::optional<std::string> IniFind(const std::string& file, const char* section, const char* key);

// The parsed text of one INI file. Exposed for the writers' tests and fuzzing.
class IniDocument {
public:
    explicit IniDocument(std::string text);

    std::vector<std::string> SectionNames() const;
    // Trimmed value of the first key in the first section, quotes kept.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    std::optional<std::vector<std::string>> SectionLines(std::string_view section) const;

    // The text after a write (see WritePrivateProfileString); nullopt when
    // the write changes nothing. Arguments must have passed validation.
    std::optional<std::string> ApplyWrite(const char* section, const char* key, const char* value) const;

    const std::string& Text() const { return m_text; }
    // Bytes held for the text and its index, roughly.
    std::size_t MemoryUse() const;

private:
    enum class Kind : unsigned char { Blank, Comment, Section, Entry };
    struct Line {
        std::size_t begin = 0;    // content, without the line break
        std::size_t length = 0;
        unsigned char eolLength = 0;
        Kind kind = Kind::Blank;
        std::size_t nameBegin = 0; // section name or key, trimmed
        std::size_t nameLength = 0;
        std::size_t valueBegin = 0; // trimmed value of an entry
        std::size_t valueLength = 0;
    };
    struct Section {
        std::size_t header; // line index
        std::size_t end;    // one past its last line
    };

    std::string_view content(const Line& l) const { return {m_text.data() + l.begin, l.length}; }
    std::string_view name(const Line& l) const { return {m_text.data() + l.nameBegin, l.nameLength}; }
    std::string_view value(const Line& l) const { return {m_text.data() + l.valueBegin, l.valueLength}; }
    const Section* findSection(std::string_view name) const;
    std::string_view eolStyle() const;
    bool terminated(const Line& l) const;

    std::string m_text;
    std::size_t m_bomLength = 0;
    std::vector<Line> m_lines;
    std::vector<Section> m_sections;
    std::vector<std::pair<std::string, std::size_t>> m_index; // folded name -> first section, sorted
};

// Refusal of text that would add lines or change the file's structure.
bool IsValidIniWrite(const char* section, const char* key, const char* value);

// One pair of equal surrounding quotes ('"' or '\'') removed from a value of
// two or more characters.
std::string_view StripIniQuotes(std::string_view value);

} // namespace winapi
