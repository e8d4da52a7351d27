// A host program without a version record cannot derive the sub-folder.
#include "profile/quillmark.h"
#include "tests/profile/quillmark_env.h"

#include "winapi/settings/app_profile.h"

#include <gtest/gtest.h>

TEST(QuillmarkNoVersion, InitWithoutSubFolderFails)
{
    qmtest::Folders f;
    winapi::AppProfile::Instance().SetProfileName("Host.INI");
    EXPECT_EQ(InitQuillmark(nullptr, "x.ini"), 0);
    EXPECT_EQ(InitQuillmark("", nullptr), 0);
    EXPECT_STREQ(GetPrivateINIFileName(), "Host.INI");
    std::vector<std::string> paths;
    GetPrivateProfilePaths(paths, false);
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(winapi::AppProfile::Instance().ProfileName(), "Host.INI");
    // A given sub-folder needs no version.
    EXPECT_EQ(InitQuillmark("Co/", nullptr), 1);
    GetPrivateProfilePaths(paths, false);
    EXPECT_EQ(paths.size(), 2u);
}
