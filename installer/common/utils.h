// Small helpers shared by the installer's commands, log and engine.
#pragma once

#include "installer/common/runcontext.h"
#include "resources/dorvik/dorvikstrings.h"
#include "winapi/prompt.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

namespace dorvik {

// A box over `parent` when it has a window, else over the desktop, through
// the run's prompt; the caption is a string in the run's language.
// Returns the button pressed.
int ShowMessage(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, const std::string& text,
                int caption = res::IDS_ERROR, UINT style = winapi::MB_ICONERROR | winapi::MB_OK);
// The same with the text taken from the strings.
int ShowMessageId(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, int text,
                  int caption = res::IDS_ERROR, UINT style = winapi::MB_ICONERROR | winapi::MB_OK);
// True when `path` is a folder that can be entered. Otherwise says so, and
// with `askToCreate` offers to create it (every missing level); the result
// is whether the folder is there afterwards.
bool EnsureFolder(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, const std::string& path,
                  bool askToCreate);
// Local time by a strftime format in the C locale; "" when it cannot be
// converted.
std::string FormatLocalTime(std::time_t when, const char* format);

// The computer's name, without the domain, upper-cased, at most 15 characters.
std::string GetComputerNameUpper();

// Every occurrence of `what` replaced with `with`, left to right.
void ReplaceAll(std::string& text, const std::string& what, const std::string& with);

// Removes every byte with a code from 1 to 32.
void RemoveBlanks(std::string& text);
// Equal when both are empty, or equal without blanks and letter case.
bool EqualIgnoringBlanks(const std::string& a, const std::string& b);

// "___KELMBACK_dd_mm_yyyy__hh_mm_" + suffix at the run's time. A name this
// process has made before gets "_2", "_3", ... after the suffix, so two in
// one minute differ.
void MakeBackupName(const RunContext& run, const std::string& suffix, std::string& name);

// The version words of a loaded module's record (high and low halves of
// each); false when the file has no version record.
bool GetFileVersion(const std::string& path, std::uint32_t* fileMS, std::uint32_t* fileLS,
                    std::uint32_t* productMS, std::uint32_t* productLS);
// Full path of the loaded server-layer module.
bool GetSqlDmoPath(std::string& path);

// Folder of the running program (no trailing '/').
std::string GetProgramFolder();

} // namespace dorvik
