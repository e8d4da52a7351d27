// Message boxes of the library and its string table in English and Russian.
#pragma once

#include "winapi/text.h"

#include <functional>
#include <string>
#include <vector>

constexpr long MB_OK = 0x0;
constexpr long MB_ICONSTOP = 0x10;
constexpr long MB_ICONERROR = MB_ICONSTOP;
constexpr long MB_ICONEXCLAMATION = 0x30;
constexpr long MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// The library's messages go through this handler; hosts without a window
// (and tests) may replace it. The default shows a message box when the
// library's windows are there to show one (OrvoMessageWindow) and writes to
// standard error otherwise.
using OrvoMessageHandler = std::function<int(const std::string& text, long style)>;
void SetOrvoMessageHandler(OrvoMessageHandler handler);

// The box of the default: true, with the button pressed in `answer`, when it
// was shown; false when there is no application to show it in. The
// library's window part sets it as it loads; null removes it.
using OrvoMessageWindow = bool (*)(const std::string& text, long style, const std::string& caption,
                                   winapi::UiLanguage language, int& answer);
void SetOrvoMessageWindow(OrvoMessageWindow window);
int OrvoMessageBox(const std::string& text, long style);
// The same with a caption of its own for the window (the handler sees the
// text and style only).
int OrvoMessageBox(const std::string& text, long style, const std::string& caption);
// The same with the box's buttons in `language` (the others take the
// language of the string table, for a text of their own the library's
// Russian windows pass Russian).
int OrvoMessageBox(const std::string& text, long style, const std::string& caption, winapi::UiLanguage language);

enum : unsigned {
    IDS_ERR_MODEL_VERSION = 20201,
    IDS_ERR_NO_MODEL_VERSION = 20202,
    IDS_ERR_ODBC_DRIVER = 20203,
    IDS_DSN_NAME_COLUMN = 20200,
    IDS_DSN_DRIVER_COLUMN = 20208,
    IDS_LOGIN_WARNING = 20210,
    IDS_LOGIN_DSN_MISSING = 20213,
    IDS_LOGIN_TRUSTED = 20220,
    // Prompts of the object tree's commands.
    IDS_TREE_REFRESH = 32772,
    IDS_TREE_SCRIPT_SELECT = 32773,
    IDS_TREE_SCRIPT_INSERT = 32774,
    IDS_TREE_SCRIPT_UPDATE = 32775,
    IDS_TREE_SCRIPT_DELETE = 32776,
    IDS_TREE_SCRIPT_EXECUTE = 32777,
};

// The language of the string table: Russian when LC_ALL, LC_MESSAGES or
// LANG names it, English otherwise.
winapi::UiLanguage OrvoStringLanguage();
// The text of a string resource in that language.
std::string LoadOrvoString(unsigned id);
// printf-style formatting of a resource text with %s arguments.
std::string FormatOrvoString(unsigned id, const std::vector<std::string>& args);
