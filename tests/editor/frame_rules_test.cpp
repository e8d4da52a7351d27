// Rules of the main frame and the application that need no display: where
// F6 moves the focus, and the default element properties kept between runs.
#include "editor/app/core/defprop.h"
#include "editor/frames/core/framelogic.h"

#include "afx/archive.h"
#include "afx/file.h"
#include "diagram/odproperty.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace tarnwick;

namespace {

TEST(NextPane, MovesBetweenTheTreeAndTheChartView)
{
    struct Case {
        bool inTreeBar, barVisible, hasView, onView;
        PaneTarget target;
    };
    const Case cases[] = {
        {true, true, true, false, PaneTarget::View},   {true, true, false, false, PaneTarget::None},
        {false, true, true, true, PaneTarget::Tree},   {false, true, true, false, PaneTarget::View},
        {false, true, false, false, PaneTarget::Tree}, {false, false, true, false, PaneTarget::View},
        {false, false, true, true, PaneTarget::None},  {false, false, false, false, PaneTarget::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextPaneTarget(c.inTreeBar, c.barVisible, c.hasView, c.onView), c.target)
            << c.inTreeBar << c.barVisible << c.hasView << c.onView;
}

CODPropertySet sampleSet(int count, std::int32_t base)
{
    CODPropertySet set;
    for (int i = 0; i < count; ++i)
        set.Set(CODIntProperty(100 + i, base + i));
    return set;
}

std::vector<std::int32_t> values(const CODPropertySet& set)
{
    std::vector<std::int32_t> v;
    for (int i = 0; i < set.GetCount(); ++i)
        v.push_back(set.GetAt(i)->GetValue());
    return v;
}

TEST(DefaultProperties, RoundTripInTheSettingsFolder)
{
    kelm::test::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::filesystem::path file = DefaultPropertiesPath();
    EXPECT_EQ(file.filename(), "defprop.dat");
    EXPECT_EQ(file.parent_path().parent_path(), dir.path());

    // No file yet: nothing changes.
    CODPropertySet loaded = sampleSet(6, 0);
    LoadDefaultPropertiesFile(file, loaded);
    EXPECT_EQ(values(loaded), values(sampleSet(6, 0)));

    CODPropertySet saved = sampleSet(6, 50);
    SaveDefaultPropertiesFile(file, saved);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
    LoadDefaultPropertiesFile(file, loaded);
    EXPECT_EQ(values(loaded), values(saved));

    // The count comes first, little-endian.
    const std::string bytes = kelm::test::readFile(file);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x06\x00\x00\x00", 4));
}

TEST(DefaultProperties, AnotherCountOrATruncatedFileChangesNothing)
{
    kelm::test::TempDir dir;
    const std::filesystem::path file = dir.path() / "defprop.dat";
    CODPropertySet five = sampleSet(5, 70);
    SaveDefaultPropertiesFile(file, five);

    CODPropertySet six = sampleSet(6, 0);
    LoadDefaultPropertiesFile(file, six);
    EXPECT_EQ(values(six), values(sampleSet(6, 0)));

    CODPropertySet sixSaved = sampleSet(6, 90);
    SaveDefaultPropertiesFile(file, sixSaved);
    const std::string whole = kelm::test::readFile(file);
    for (std::size_t cut : {std::size_t(2), whole.size() / 2, whole.size() - 1}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
        CODPropertySet kept = sampleSet(6, 0);
        LoadDefaultPropertiesFile(file, kept);
        EXPECT_EQ(values(kept), values(sampleSet(6, 0))) << "cut at " << cut;
    }

    // Empty sets read and write too.
    CODPropertySet none;
    SaveDefaultPropertiesFile(file, none);
    LoadDefaultPropertiesFile(file, none);
    EXPECT_EQ(none.GetCount(), 0);

    // An unwritable place is silent.
    CODPropertySet any = sampleSet(2, 0);
    SaveDefaultPropertiesFile("/proc/no/such/defprop.dat", any);
}

// What lies in `folder` besides `keep`: leftovers of a save.
std::vector<std::string> strays(const std::filesystem::path& folder, const std::string& keep)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != keep)
            out.push_back(e.path().filename().string());
    return out;
}

TEST(DefaultProperties, TwoProgramsSavingAtOnceLeaveOneWholeFile)
{
    kelm::test::TempDir dir;
    const std::filesystem::path file = dir.path() / "defprop.dat";
    const CODPropertySet first = sampleSet(40, 1000), second = sampleSet(40, 5000);
    CODPropertySet initial = first;
    SaveDefaultPropertiesFile(file, initial);
    std::atomic<bool> done {false};
    std::atomic<int> torn {0};
    auto saver = [&](const CODPropertySet& model) {
        for (int i = 0; i < 150; ++i) {
            CODPropertySet set = model;
            SaveDefaultPropertiesFile(file, set);
        }
    };
    // A reader that finds neither set saw half a file.
    std::thread reader([&] {
        while (!done) {
            CODPropertySet seen = sampleSet(40, 0);
            LoadDefaultPropertiesFile(file, seen);
            if (values(seen) != values(first) && values(seen) != values(second))
                ++torn;
        }
    });
    std::thread a(saver, std::cref(first)), b(saver, std::cref(second));
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    CODPropertySet last = sampleSet(40, 0);
    LoadDefaultPropertiesFile(file, last);
    EXPECT_TRUE(values(last) == values(first) || values(last) == values(second));
    EXPECT_TRUE(strays(dir.path(), "defprop.dat").empty());
}

} // namespace
