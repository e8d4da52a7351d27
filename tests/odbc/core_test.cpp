// OrvoODBC's display-free part linked on its own, without the windows: the
// library's message boxes, the login dialog and the trace-file chooser each
// ask what is set for them in the order the library keeps, and fall back as
// a process without an application does; the image bytes it prepares for a
// decoder.
#include "odbc/data/core/conversions.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/messages.h"
#include "odbc/dialogs/core/logindlg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct ShownBox {
    std::string text;
    long style;
    std::string caption;
    winapi::UiLanguage language;
};
std::vector<ShownBox> g_boxes;
bool g_windowShows = true;

bool FakeMessageWindow(const std::string& text, long style, const std::string& caption, winapi::UiLanguage language,
                       int& answer)
{
    g_boxes.push_back({text, style, caption, language});
    if (!g_windowShows)
        return false;
    answer = IDCANCEL;
    return true;
}

} // namespace

TEST(OdbcCore, MessageBoxAsksTheHandlerThenTheWindowThenWritesToStandardError)
{
    // Nothing set: the text goes to standard error and the answer is OK.
    testing::internal::CaptureStderr();
    EXPECT_EQ(OrvoMessageBox("no window here", MB_ICONSTOP), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "no window here\n");

    g_boxes.clear();
    SetOrvoMessageWindow(&FakeMessageWindow);
    EXPECT_EQ(OrvoMessageBox("shown", MB_ICONEXCLAMATION, "Title", winapi::UiLanguage::Russian), IDCANCEL);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "shown");
    EXPECT_EQ(g_boxes[0].style, MB_ICONEXCLAMATION);
    EXPECT_EQ(g_boxes[0].caption, "Title");
    EXPECT_EQ(g_boxes[0].language, winapi::UiLanguage::Russian);

    // A window with no application to show in leaves the text to standard error.
    g_windowShows = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(OrvoMessageBox("declined", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "declined\n");
    EXPECT_EQ(g_boxes.size(), 2u);
    g_windowShows = true;

    // A host's handler comes before the window.
    std::vector<std::string> handled;
    SetOrvoMessageHandler([&](const std::string& text, long) {
        handled.push_back(text);
        return IDOK;
    });
    EXPECT_EQ(OrvoMessageBox("to the host", MB_OK), IDOK);
    EXPECT_EQ(handled, std::vector<std::string>{"to the host"});
    EXPECT_EQ(g_boxes.size(), 2u);

    SetOrvoMessageHandler(nullptr);
    SetOrvoMessageWindow(nullptr);
}

namespace {

int g_loginWindows = 0;

int FakeLoginWindow(CLoginDlg& dlg)
{
    ++g_loginWindows;
    dlg.m_strUID = "shown";
    return IDOK;
}

} // namespace

TEST(OdbcCore, LoginDialogAsksThePresenterThenTheWindow)
{
    CLoginDlg alone("user", "Source");
    EXPECT_EQ(alone.DoModal(), IDCANCEL); // no window to show

    CLoginDlg::SetWindow(&FakeLoginWindow);
    CLoginDlg shown("user", "Source");
    EXPECT_EQ(shown.DoModal(), IDOK);
    EXPECT_EQ(g_loginWindows, 1);
    EXPECT_EQ(shown.m_strUID, "shown");
    EXPECT_EQ(shown.GetIcons(), nullptr);

    CLoginDlg::SetPresenter([](CLoginDlg&) { return IDCANCEL; });
    CLoginDlg presented("user", "Source");
    EXPECT_EQ(presented.DoModal(), IDCANCEL);
    EXPECT_EQ(g_loginWindows, 1);

    CLoginDlg::SetPresenter(nullptr);
    CLoginDlg::SetWindow(nullptr);
}

namespace {

std::string g_chooserSaw;
std::string g_chooserGives;

bool FakeChooser(const std::string& current, std::string& chosen)
{
    g_chooserSaw = current;
    if (g_chooserGives.empty())
        return false;
    chosen = g_chooserGives;
    return true;
}

} // namespace

TEST(OdbcCore, TraceFileDialogSetsTheChosenFile)
{
    // This process never initialises the setting store: the chooser starts
    // at the driver manager's file.
    const std::string start = "/nonexistent/kelm-core/start.log";
    CDatabaseEx::SetTraceFile(start.c_str());
    EXPECT_FALSE(CDatabaseEx::SetTraceFileDlg()); // no chooser

    CDatabaseEx::SetTraceFileChooser(&FakeChooser);
    g_chooserGives.clear();
    EXPECT_FALSE(CDatabaseEx::SetTraceFileDlg());
    EXPECT_EQ(g_chooserSaw, start);

    struct Case {
        const char* chosen;
        const char* set;
    };
    const Case cases[] = {
        {"/nonexistent/kelm-core/trace", "/nonexistent/kelm-core/trace.log"},
        {"/nonexistent/kelm-core/trace.txt", "/nonexistent/kelm-core/trace.txt"},
        {"/nonexistent/kelm.core/trace", "/nonexistent/kelm.core/trace.log"},
    };
    for (const Case& c : cases) {
        g_chooserGives = c.chosen;
        EXPECT_TRUE(CDatabaseEx::SetTraceFileDlg()) << c.chosen;
        std::string file;
        CDatabaseEx::GetTraceFile(file);
        EXPECT_EQ(file, c.set) << c.chosen;
    }
    CDatabaseEx::SetTraceFileChooser(nullptr);
}

namespace {

void PutU32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t U32(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

} // namespace

TEST(OdbcCore, IconFileKeepsTheFirstImageOnly)
{
    // Two directory entries; the first image lies after both.
    std::vector<std::uint8_t> data(6 + 2 * 16, 0);
    data[4] = 2;
    PutU32(data, 6 + 8, 4);
    PutU32(data, 6 + 12, 38);
    PutU32(data, 6 + 16 + 8, 2);
    PutU32(data, 6 + 16 + 12, 42);
    data.insert(data.end(), {'A', 'B', 'C', 'D', 'y', 'z'});

    std::vector<std::uint8_t> file;
    ASSERT_TRUE(IconFileOfArray(data, file));
    ASSERT_EQ(file.size(), 6u + 16 + 4);
    EXPECT_EQ(file[4], 1);
    EXPECT_EQ(file[5], 0);
    EXPECT_EQ(U32(file, 6 + 8), 4u);
    EXPECT_EQ(U32(file, 6 + 12), 22u);
    EXPECT_EQ(std::string(file.end() - 4, file.end()), "ABCD");

    data.resize(41); // the first image cut short
    EXPECT_FALSE(IconFileOfArray(data, file));
    EXPECT_TRUE(file.empty());
}

TEST(OdbcCore, BitmapFileTakesTheOffsetOfItsBitsFromTheHeaders)
{
    struct Case {
        std::uint16_t bits;
        std::uint32_t used;        // colours in the table, 0: all the bits allow
        std::uint32_t compression; // 3: three colour masks before the bits
        std::uint32_t offset;      // where the bits start
    };
    const Case cases[] = {
        {24, 0, 0, 54},
        {8, 2, 0, 54 + 2 * 4},
        {1, 0, 0, 54 + 2 * 4},
        {16, 0, 3, 54 + 12},
        {32, 0, 0, 54},
    };
    for (const Case& c : cases) {
        const std::uint32_t width = 2, height = 2;
        const std::uint32_t stride = ((width * c.bits + 31) / 32) * 4;
        std::vector<std::uint8_t> data(c.offset + stride * height, 0);
        data[0] = 'B';
        data[1] = 'M';
        PutU32(data, 10, 0); // a wrong offset, as databases keep them
        PutU32(data, 14, 40);
        PutU32(data, 18, width);
        PutU32(data, 22, height);
        data[28] = static_cast<std::uint8_t>(c.bits);
        PutU32(data, 30, c.compression);
        PutU32(data, 46, c.used);

        std::vector<std::uint8_t> file;
        ASSERT_TRUE(BitmapFileOfArray(data, file)) << c.bits;
        EXPECT_EQ(U32(file, 10), c.offset) << c.bits;
        file[10] = file[11] = file[12] = file[13] = 0;
        EXPECT_EQ(file, data) << c.bits;

        data.pop_back(); // one byte of bits short
        EXPECT_FALSE(BitmapFileOfArray(data, file)) << c.bits;
        EXPECT_TRUE(file.empty()) << c.bits;
    }
}
