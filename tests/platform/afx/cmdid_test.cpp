// The id rule at the wx boundary: the standard commands go to wx's stock
// ids by the table, every other id from 0x8000 moves down by 0x8000.
#include "afx/cmdid.h"

#include "tests/common/wxids.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(WxIds, StandardCommandsReachWxStockIds)
{
    struct Case {
        int id;
        int wx;
    };
    const Case cases[] = {
        {ID_FILE_OPEN, wxID_OPEN},         {ID_FILE_CLOSE, wxID_CLOSE},
        {ID_FILE_SAVE, wxID_SAVE},         {ID_FILE_SAVE_AS, wxID_SAVEAS},
        {ID_FILE_PRINT, wxID_PRINT},       {ID_FILE_PRINT_SETUP, wxID_PRINT_SETUP},
        {ID_FILE_PRINT_PREVIEW, wxID_PREVIEW}, {ID_FILE_MRU_FILE1, wxID_FILE1},
        {ID_FILE_MRU_FILE1 + 3, wxID_FILE4}, {ID_APP_ABOUT, wxID_ABOUT},
        {ID_APP_EXIT, wxID_EXIT},          {ID_HELP, wxID_HELP},
        {ID_WINDOW_CASCADE, wxID_MDI_WINDOW_CASCADE},
        // Not wx's: the direct print, the diagram library's undo and redo,
        // the program's own commands and the class library's windows.
        {ID_FILE_PRINT_DIRECT, 57608 - 0x8000}, {57643, 57643 - 0x8000},
        {57644, 57644 - 0x8000},            {32775, 7},
        {59648, 26880},                     {ID_NEXT_PANE, ID_NEXT_PANE - 0x8000},
        // Below 0x8000: controls, resources, the scroll bars, unchanged.
        {200, 200},                        {2561, 2561},
        {0x7FFF - 1, 0x7FFF - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToWxId(c.id), c.wx) << c.id;
        if (c.id >= kWxIdShift)
            EXPECT_EQ(FromWxId(c.wx), c.id) << c.id;
    }
    static_assert(ToWxId(ID_FILE_OPEN) == wxID_OPEN, "usable in event tables and case labels");
}

TEST(WxIds, TheClassLibrarysDeclaredIdsAreSound)
{
    std::vector<int> ids;
    for (const WxStockId& s : kWxStockIds)
        ids.push_back(s.id);
    // Every MRU slot, the window and help commands, the class library's
    // window ids (status bar, toolbars, panes, MDI client, first MDI child).
    for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE1 + 15; ++id)
        ids.push_back(id);
    for (int id : {ID_FILE_PRINT_DIRECT, ID_WINDOW_NEW, ID_HELP_USING, ID_DEFAULT_HELP, ID_NEXT_PANE,
                   ID_PREV_PANE, 0xE800, 0xE801, 0xE81B, 0xE900, 0xE9FF, 0xFF00})
        ids.push_back(id);
    EXPECT_EQ(kelm::test::WxIdFaults(ids), "");

    std::set<int> stock;
    for (const WxStockId& s : kWxStockIds)
        EXPECT_TRUE(stock.insert(s.wxId).second) << "two entries share " << s.wxId;
}

TEST(WxIds, TheCheckFindsWhatWxWouldRefuse)
{
    // 0x8000 + 5000 lands on wx's stock range; 100 and 0x8000 + 100 meet.
    const std::string faults = kelm::test::WxIdFaults({0x8000 + 5000, 100, 0x8000 + 100, 0xFFFF});
    EXPECT_NE(faults.find("stock id 5000"), std::string::npos) << faults;
    EXPECT_NE(faults.find("both reach wx as 100"), std::string::npos) << faults;
    EXPECT_NE(faults.find("65535 reaches wx as 32767"), std::string::npos) << faults;
}

} // namespace
