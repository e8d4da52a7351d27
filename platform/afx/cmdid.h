// Command and window ids at the wx boundary. The suite keeps the original
// numbers everywhere (constants, presenters, posted commands); wx takes ids
// below 32767 and gives its stock ids their own meaning, so every id handed
// to wx passes through ToWxId and every id read back from wx through
// FromWxId.
#pragma once

#include <wx/defs.h>

// The class library's standard commands.
inline constexpr int ID_FILE_OPEN = 0xE101;
inline constexpr int ID_FILE_CLOSE = 0xE102;
inline constexpr int ID_FILE_SAVE = 0xE103;
inline constexpr int ID_FILE_SAVE_AS = 0xE104;
inline constexpr int ID_FILE_PRINT_SETUP = 0xE106;
inline constexpr int ID_FILE_PRINT = 0xE107;
inline constexpr int ID_FILE_PRINT_DIRECT = 0xE108;
inline constexpr int ID_FILE_PRINT_PREVIEW = 0xE109;
inline constexpr int ID_FILE_MRU_FILE1 = 0xE110; // to ID_FILE_MRU_FILE16 = 0xE11F
inline constexpr int ID_WINDOW_NEW = 0xE130;
inline constexpr int ID_WINDOW_ARRANGE = 0xE131;
inline constexpr int ID_WINDOW_CASCADE = 0xE132;
inline constexpr int ID_WINDOW_TILE_HORZ = 0xE133;
inline constexpr int ID_WINDOW_TILE_VERT = 0xE134;
inline constexpr int ID_APP_ABOUT = 0xE140;
inline constexpr int ID_APP_EXIT = 0xE141;
inline constexpr int ID_HELP_INDEX = 0xE142;
inline constexpr int ID_HELP_FINDER = 0xE143;
inline constexpr int ID_HELP_USING = 0xE144;
inline constexpr int ID_CONTEXT_HELP = 0xE145;
inline constexpr int ID_HELP = 0xE146;
inline constexpr int ID_DEFAULT_HELP = 0xE147;
inline constexpr int ID_NEXT_PANE = 0xE150;
inline constexpr int ID_PREV_PANE = 0xE151;

struct WxStockId {
    int id;   // the class library's number
    int wxId; // the wx stock id that does the same
};

// The standard commands wx knows by stock ids of its own: the document
// manager, the MDI frame and the file history answer to these. Undo and
// redo are not here: they belong to the diagram library's command history,
// not to wx's.
inline constexpr WxStockId kWxStockIds[] = {
    {ID_FILE_OPEN, wxID_OPEN},
    {ID_FILE_CLOSE, wxID_CLOSE},
    {ID_FILE_SAVE, wxID_SAVE},
    {ID_FILE_SAVE_AS, wxID_SAVEAS},
    {ID_FILE_PRINT_SETUP, wxID_PRINT_SETUP},
    {ID_FILE_PRINT, wxID_PRINT},
    {ID_FILE_PRINT_PREVIEW, wxID_PREVIEW},
    {ID_FILE_MRU_FILE1 + 0, wxID_FILE1},
    {ID_FILE_MRU_FILE1 + 1, wxID_FILE2},
    {ID_FILE_MRU_FILE1 + 2, wxID_FILE3},
    {ID_FILE_MRU_FILE1 + 3, wxID_FILE4},
    {ID_FILE_MRU_FILE1 + 4, wxID_FILE5},
    {ID_FILE_MRU_FILE1 + 5, wxID_FILE6},
    {ID_FILE_MRU_FILE1 + 6, wxID_FILE7},
    {ID_FILE_MRU_FILE1 + 7, wxID_FILE8},
    {ID_FILE_MRU_FILE1 + 8, wxID_FILE9},
    {ID_APP_ABOUT, wxID_ABOUT},
    {ID_APP_EXIT, wxID_EXIT},
    {ID_HELP, wxID_HELP},
    {ID_HELP_INDEX, wxID_HELP_INDEX},
    {ID_HELP_FINDER, wxID_HELP_CONTENTS},
    {ID_CONTEXT_HELP, wxID_HELP_CONTEXT},
    {ID_WINDOW_ARRANGE, wxID_MDI_WINDOW_ARRANGE_ICONS},
    {ID_WINDOW_CASCADE, wxID_MDI_WINDOW_CASCADE},
    {ID_WINDOW_TILE_HORZ, wxID_MDI_WINDOW_TILE_HORZ},
    {ID_WINDOW_TILE_VERT, wxID_MDI_WINDOW_TILE_VERT},
};

// Ids from 0x8000 up (commands, the class library's window ids) move down
// by 0x8000; ids below it (controls, resources) are handed over unchanged.
inline constexpr int kWxIdShift = 0x8000;

constexpr int ToWxId(int id)
{
    for (const WxStockId& s : kWxStockIds)
        if (s.id == id)
            return s.wxId;
    return id >= kWxIdShift ? id - kWxIdShift : id;
}

// The inverse for what the suite numbers from 0x8000 up, which is every
// command the menus, toolbars and accelerators carry. An id below 0x8000
// reaches wx unchanged and needs no way back: compare it as it is.
constexpr int FromWxId(int wxId)
{
    for (const WxStockId& s : kWxStockIds)
        if (s.wxId == wxId)
            return s.id;
    return wxId >= 0 && wxId < kWxIdShift ? wxId + kWxIdShift : wxId;
}
