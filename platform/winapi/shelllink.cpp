#include "winapi/shelllink.h"

#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/shell.h"


#include <cstdlib>

namespace winapi {

bool IsSafePathComponent(const std::string& text)
{
    return !text.empty() && text != "." && text != ".." && text.find('/') == std::string::npos &&
           text.find('\0') == std::string::npos;
}

bool IsConfinedRelativePath(const std::string& path)
{
    if (path.empty() || path[0] == '/' || path.find('\0') != std::string::npos)
        return false;
    std::size_t pos = 0;
    for (;;) {
        std::size_t slash = path.find('/', pos);
        if (path.compare(pos, slash == std::string::npos ? std::string::npos : slash - pos, "..") == 0)
            return false;
        if (slash == std::string::npos)
            return true;
        pos = slash + 1;
    }
}

std::string QuoteExecWord(const std::string& word)
{
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    bool quote = word.empty() || word.find_first_of(reserved) != std::string::npos;
    std::string out;
    for (char c : word) {
        if (c == '%')
            out += "%%";
        else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += std::string("\\") + c;
        else
            out += c;
    }
    return quote ? "\"" + out + "\"" : out;
}

std::string EscapeDesktopString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    // A leading blank would be trimmed by readers.
    if (!out.empty() && out[0] == ' ')
        out.replace(0, 1, "\\s");
    return out;
}

std::string ShellLink::Text(const std::string& linkPath) const
{
    std::string name = m_name;
    if (name.empty()) {
        name = linkPath.substr(linkPath.rfind('/') + 1);
        std::string ext = kShortcutExtension;
        if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
            name.resize(name.size() - ext.size());
    }
    std::string exec = QuoteExecWord(m_target);
    for (const auto& word : SplitShellWords(m_arguments))
        exec += " " + QuoteExecWord(word);
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.4\n";
    text += "Name=" + EscapeDesktopString(name) + "\n";
    text += "Exec=" + EscapeDesktopString(exec) + "\n";
    if (!m_icon.empty())
        text += "Icon=" + EscapeDesktopString(m_icon) + "\n";
    text += "Terminal=false\n";
    return text;
}

BOOL ShellLink::Save(const std::string& linkPath) const
{
    if (m_target.empty() || linkPath.empty())
        return FailWith(kErrorInvalidParameter);
    return WriteWholeFile(linkPath, Text(linkPath), 0644);
}

} // namespace winapi
