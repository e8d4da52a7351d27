// Tarnwick's ids at the wx boundary: every id the program declares reaches
// wx as an id it accepts, and no two meet.
#include "resources/tarnwick/tarnwickstrings.h"

#include "tests/common/wxids.h"

#include <gtest/gtest.h>

namespace {

using namespace tarnwick;

TEST(CommandIds, EveryDeclaredIdReachesWxSoundly)
{
    std::vector<int> ids = {res::IDS_OLE_INIT_FAILED, res::IDR_MAINFRAME,       res::IDR_TARNWICKTYPE,
                            res::IDR_DWFTYPE,         res::IDS_APP_TITLE,       res::ID_OPEN_CONNECTION,
                            res::ID_CLOSE_CONNECTION, res::ID_LOAD_FROM_FILE,   res::ID_APP_ABOUT,
                            res::ID_FILE_OPEN,        res::ID_FILE_PRINT_SETUP, res::ID_APP_EXIT,
                            res::IDD_LOGIN,           res::IDC_DIAGRAM_KIND,    res::IDC_DSN,
                            res::IDC_PASSWORD,        res::IDC_USER};
    for (const auto& entry : res::kStrings)
        ids.push_back(entry.id);
    EXPECT_EQ(kelm::test::WxIdFaults(ids), "");
    EXPECT_EQ(ToWxId(res::ID_FILE_OPEN), wxID_OPEN);
    EXPECT_EQ(ToWxId(res::ID_APP_EXIT), wxID_EXIT);
    EXPECT_EQ(ToWxId(res::ID_OPEN_CONNECTION), 7);
}

} // namespace
