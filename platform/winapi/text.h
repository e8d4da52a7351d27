// UTF-8 text rules of the suite: limits count characters (code points) and
// never cut one in half; "without regard to case" folds per code point on a
// C.UTF-8 locale object, whatever LANG says. Bytes that are not valid UTF-8
// count as one character each and are never changed.
#pragma once

#include "winapi/types.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace winapi {

std::size_t Utf8Length(std::string_view text);
// The first `maxChars` characters of `text`.
std::string_view Utf8Left(std::string_view text, std::size_t maxChars);
// The byte length of the longest prefix of `text` of at most `maxBytes`
// bytes that does not end inside a character: a sequence the cut would
// leave short is left out whole. Only the prefix is read.
std::size_t Utf8CutBytes(std::string_view text, std::size_t maxBytes);

// A surrogate pair becomes one character, a lone surrogate U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf16AsUtf8(std::string& out, std::u16string_view text);
// A byte that starts no whole sequence, an encoded surrogate and a value above
// U+10FFFF each become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

std::string Utf8Upper(std::string_view text);
std::string Utf8Lower(std::string_view text);
// The key under which names compare without regard to case.
std::string Utf8Fold(std::string_view text);
bool Utf8EqualNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 by folded code points.
int Utf8CompareNoCase(std::string_view a, std::string_view b);

// The blanks a trim removes unless told otherwise.
inline constexpr std::string_view kBlanks = " \t\r\n\v\f";
// `text` without the bytes of `blanks` at both ends, or at its end only.
std::string Trim(std::string_view text, std::string_view blanks = kBlanks);
std::string TrimRight(std::string_view text, std::string_view blanks = kBlanks);

// 0 to 15 for a hexadecimal digit of either case, -1 for any other byte.
int HexDigitValue(char c);
// The two hexadecimal digits of `byte`, high first.
void AppendHexByte(std::string& out, unsigned char byte, bool upperCase = false);

// Optional sign and leading decimal digits; none gives 0.
int StrToInt(std::string_view text);

// Once in main before any thread: the user's locale for everything but
// numbers, which keep the decimal point, and for characters, which are
// UTF-8 whatever the user's locale says.
void InitProcessLocale();

// The language of a program's windows.
enum class UiLanguage { English, Russian };

// The language the C library's message catalogs answer in for the whole
// process: the toolkit's own words (stock buttons, the file chooser), system
// error texts and the database client's messages. Russian takes the
// ru_RU.UTF-8 locale for messages, or C.UTF-8 where the system has none,
// and names Russian in LANGUAGE, which the catalogs honour outside the plain
// C locale and which overrides the user's own; English takes the C locale,
// whose messages are the untranslated ones. Numbers, dates and collation
// keep the user's settings. Call it after InitProcessLocale, on the thread
// that runs the windows, while no other thread of the program reads the
// environment or the catalogs.
void SetMessagesLanguage(UiLanguage language);

// The environment for a program this process starts: its own, with the
// user's LANGUAGE back in place of the language its windows speak.
std::vector<std::string> ChildEnvironment();

// ChildEnvironment as posix_spawn takes it.
class ChildEnvironmentBlock {
public:
    ChildEnvironmentBlock();
    ChildEnvironmentBlock(const ChildEnvironmentBlock&) = delete;
    ChildEnvironmentBlock& operator=(const ChildEnvironmentBlock&) = delete;
    char** Get() { return m_pointers.data(); }

private:
    std::vector<std::string> m_entries;
    std::vector<char*> m_pointers;
};

// Dates and times for display in the user's (or the system's default)
// locale: short date %x, long date "%e %B %Y", time always 24-hour.
std::string GetDateFormat(const std::tm& when, bool longDate, bool systemDefault = false);
std::string GetTimeFormat(const std::tm& when, bool systemDefault = false);

} // namespace winapi
