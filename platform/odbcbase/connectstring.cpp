#include "odbcbase/connectstring.h"

namespace odbcbase {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

std::vector<ConnectPart> SplitConnectString(std::string_view text)
{
    std::vector<ConnectPart> parts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ConnectPart part;
        part.begin = pos;
        std::size_t i = pos;
        while (i < text.size() && text[i] != ';' && text[i] != '=')
            ++i;
        if (i == text.size() || text[i] == ';') {
            part.end = i;
            part.key = std::string(TrimBlanks(text.substr(pos, i - pos)));
            parts.push_back(std::move(part));
            pos = i + 1;
            continue;
        }
        part.key = std::string(TrimBlanks(text.substr(pos, i - pos)));
        part.valueBegin = i + 1;
        std::size_t j = i + 1;
        while (j < text.size() && IsBlank(text[j]))
            ++j;
        if (j < text.size() && text[j] == '{') {
            part.braced = true;
            std::size_t k = j + 1;
            bool closed = false;
            while (k < text.size()) {
                if (text[k] == '}') {
                    if (k + 1 < text.size() && text[k + 1] == '}') {
                        part.value += '}';
                        k += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                part.value += text[k++];
            }
            // An open brace runs to the end of the text: whatever follows
            // belongs to the value, never to a key of its own.
            std::size_t after = closed ? k + 1 : text.size();
            part.written = std::string(text.substr(j, after - j));
            std::size_t end = after;
            while (end < text.size() && text[end] != ';')
                ++end;
            part.wellFormed = closed && TrimBlanks(text.substr(after, end - after)).empty();
            part.end = end;
        } else {
            std::size_t end = j;
            while (end < text.size() && text[end] != ';')
                ++end;
            part.written = std::string(TrimBlanks(text.substr(j, end - j)));
            part.value = part.written;
            part.end = end;
        }
        pos = part.end + 1;
        parts.push_back(std::move(part));
    }
    return parts;
}

bool KeyEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool IsPasswordKey(std::string_view key) { return KeyEquals(key, "PWD") || KeyEquals(key, "Password"); }

std::optional<std::string> FindConnectValue(std::string_view text, std::string_view key)
{
    for (ConnectPart& part : SplitConnectString(text))
        if (part.HasValue() && KeyEquals(part.key, key))
            return std::move(part.value);
    return std::nullopt;
}

std::string FormatConnectValue(const std::string& value)
{
    if (value.find_first_of(";{}=") == std::string::npos && TrimBlanks(value) == value)
        return value;
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}')
            braced += '}';
    }
    return braced + "}";
}

bool HasPassword(std::string_view text)
{
    for (const ConnectPart& part : SplitConnectString(text))
        if (part.HasValue() && IsPasswordKey(part.key) && part.valueBegin < part.end)
            return true;
    return false;
}

std::string HidePassword(const std::string& text)
{
    std::string out = text;
    const std::vector<ConnectPart> parts = SplitConnectString(text);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!it->HasValue() || !IsPasswordKey(it->key))
            continue;
        std::size_t begin = it->begin;
        std::size_t end = it->end < out.size() ? it->end + 1 : it->end;
        if (end == out.size() && begin > 0 && out[begin - 1] == ';')
            --begin;
        out.erase(begin, end - begin);
    }
    return out;
}

} // namespace odbcbase
