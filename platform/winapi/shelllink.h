// Shortcuts: freedesktop desktop entries in place of the shell's link
// files, and the rules for texts that become file names.
#pragma once

#include "winapi/types.h"

#include <string>
#include <vector>

namespace winapi {

// The file-name ending of a shortcut.
inline constexpr const char* kShortcutExtension = ".desktop";

// A text that may become one level of a path or a file name: not empty,
// not "." or "..", no '/' and no NUL.
bool IsSafePathComponent(const std::string& text);

// A path meant to stay below the folder it is joined to: relative and
// without a ".." component.
bool IsConfinedRelativePath(const std::string& path);

// One word of a desktop entry's Exec value (before the value is written as
// a desktop string): quoted when it holds a reserved character, '%'
// doubled.
std::string QuoteExecWord(const std::string& word);

// A text written as a desktop-entry string value (\s \n \t \r \\).
std::string EscapeDesktopString(const std::string& text);

class ShellLink {
public:
    void SetPath(std::string target) { m_target = std::move(target); }
    void SetArguments(std::string arguments) { m_arguments = std::move(arguments); }
    void SetIconLocation(std::string icon) { m_icon = std::move(icon); }
    void SetName(std::string name) { m_name = std::move(name); }

    // The entry's text: Type=Application, Name (the given name, else the
    // file's base name), Exec, Icon when set, Terminal=false.
    std::string Text(const std::string& linkPath) const;
    // Writes the entry whole (temporary file, then rename), mode 0644.
    // FALSE with the last error on failure.
    BOOL Save(const std::string& linkPath) const;

private:
    std::string m_target;
    std::string m_arguments;
    std::string m_icon;
    std::string m_name;
};

} // namespace winapi
