// ODBC connection strings: "key=value;key={value with ; in it};...".
// One reading for every layer: a value in braces may hold ';', '=' and
// "}}" for a brace; blanks around a key and before or after a value are not
// part of it, so "PWD= {se;cret}" holds the braced value "se;cret".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace odbcbase {

struct ConnectPart {
    std::size_t begin = 0;       // first character of the part
    std::size_t end = 0;         // its ';' or the end of the text
    std::size_t valueBegin = std::string::npos; // behind the '='; npos for a part without one
    std::string key;             // blanks trimmed
    std::string written;         // the value as written, blanks trimmed, braces kept
    std::string value;           // braces removed, "}}" undoubled
    bool braced = false;
    // False for a brace left open or text behind the closing brace.
    bool wellFormed = true;

    bool HasValue() const { return valueBegin != std::string::npos; }
};

// Every part of the text, empty ones included, in order.
std::vector<ConnectPart> SplitConnectString(std::string_view text);

// ASCII letters without regard to case, as the driver manager compares keys.
bool KeyEquals(std::string_view a, std::string_view b);
// PWD, or Password (psqlODBC's own key).
bool IsPasswordKey(std::string_view key);

// The value of the first part named key ("UID", no '='); nullopt when none.
std::optional<std::string> FindConnectValue(std::string_view text, std::string_view key);

// The value as a connection string must hold it: in braces, every '}'
// doubled, when it has a character that would end it or start another
// part, or blanks that would be trimmed away.
std::string FormatConnectValue(const std::string& value);

// Whether a part names a non-empty password.
bool HasPassword(std::string_view text);
// The text without its password parts, for traces and messages.
std::string HidePassword(const std::string& text);

} // namespace odbcbase
