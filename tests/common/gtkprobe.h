// What a program's windows show, as the probe module loaded into it through
// GTK_MODULES writes it (gtkprobe.cpp): the shown windows with their
// buttons, labels and images at their places on the screen. A test exports
// the probe before it starts the program (or before this process starts
// its toolkit), waits for a window, reads its words, clicks its buttons
// with the display's pointer and looks at the pixels of its pictures.
#pragma once

#include "tests/common/testsupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>

namespace kelm::test {

struct ProbeItem {
    std::string kind; // "button", "label" or "image"
    std::string text; // a button's label texts, an image's icon name
    int x = 0, y = 0, width = 0, height = 0;
    bool sensitive = true;
};

struct ProbeWindow {
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<ProbeItem> items;

    std::vector<std::string> Texts(const std::string& kind) const
    {
        std::vector<std::string> texts;
        for (const ProbeItem& item : items)
            if (item.kind == kind)
                texts.push_back(item.text);
        return texts;
    }
    // In the order of the alphabet, not of the window.
    std::vector<std::string> SortedTexts(const std::string& kind) const
    {
        std::vector<std::string> texts = Texts(kind);
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    const ProbeItem* Find(const std::string& kind, const std::string& text) const
    {
        for (const ProbeItem& item : items)
            if (item.kind == kind && item.text == text)
                return &item;
        return nullptr;
    }
    // Images at least `size` pixels each way (a message's icon, not a
    // button's or a list's).
    std::vector<ProbeItem> Images(int size) const
    {
        std::vector<ProbeItem> found;
        for (const ProbeItem& item : items)
            if (item.kind == "image" && item.width >= size && item.height >= size)
                found.push_back(item);
        return found;
    }
    std::string Describe() const
    {
        std::string text = "window \"" + title + "\":";
        for (const ProbeItem& item : items)
            text += " " + item.kind + "[" + item.text + "]";
        return text;
    }
};

// A click of the display's pointer in the middle of the item.
inline void ClickItem(const ProbeItem& item)
{
    ShellOutput("xdotool mousemove --sync " + std::to_string(item.x + item.width / 2) + " " +
                std::to_string(item.y + item.height / 2) + " click 1 2>/dev/null");
}

class GtkProbe {
public:
    GtkProbe() : m_file(m_dir / "windows.txt") {}

    // While the probe lives, this process and the programs it starts load
    // it when their toolkit starts.
    void Export()
    {
        m_env.set("GTK_MODULES", KELM_GTK_PROBE_MODULE);
        m_env.set("KELM_GTK_PROBE", m_file.string());
    }

    // Forgets what an earlier program showed; call it before starting the
    // next one.
    void Clear() const { std::filesystem::remove(m_file); }

    std::vector<ProbeWindow> Windows() const
    {
        std::vector<ProbeWindow> windows;
        std::ifstream in(m_file); // none until a window shows
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            std::size_t start = 0;
            for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                fields.push_back(line.substr(start, tab - start));
            fields.push_back(line.substr(start));
            if (fields.size() != 7)
                continue;
            ProbeItem item{fields[0], fields[1], std::atoi(fields[2].c_str()), std::atoi(fields[3].c_str()),
                           std::atoi(fields[4].c_str()), std::atoi(fields[5].c_str()), fields[6] == "1"};
            if (item.kind == "window")
                windows.push_back({item.text, item.x, item.y, item.width, item.height, {}});
            else if (!windows.empty())
                windows.back().items.push_back(item);
        }
        return windows;
    }

    // The first shown window that `matches`, waiting up to `seconds`.
    std::optional<ProbeWindow> WaitFor(const std::function<bool(const ProbeWindow&)>& matches, int seconds,
                                       const std::function<void()>& meanwhile = {}) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        do {
            for (const ProbeWindow& window : Windows())
                if (matches(window))
                    return window;
            if (meanwhile)
                meanwhile();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

    // Whether no shown window `matches` any more within `seconds`.
    bool WaitUntilGone(const std::function<bool(const ProbeWindow&)>& matches, int seconds) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        do {
            bool shown = false;
            for (const ProbeWindow& window : Windows())
                shown = shown || matches(window);
            if (!shown)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // The shown window of that title that holds a button with `button`.
    std::optional<ProbeWindow> WaitForButton(const std::string& title, const std::string& button, int seconds,
                                             const std::function<void()>& meanwhile = {}) const
    {
        return WaitFor(
            [&](const ProbeWindow& window) {
                return window.title == title && window.Find("button", button) != nullptr;
            },
            seconds, meanwhile);
    }

    // Clicks the button of that text in the shown window of that title once
    // it can be clicked and has kept its place for a moment (a window that
    // lays itself out moves its buttons); false when that does not happen
    // within `seconds`.
    bool Click(const std::string& title, const std::string& button, int seconds = 30) const
    {
        auto find = [&]() -> std::optional<ProbeItem> {
            for (const ProbeWindow& window : Windows())
                if (const ProbeItem* item = window.title == title ? window.Find("button", button) : nullptr)
                    if (item->sensitive)
                        return *item;
            return std::nullopt;
        };
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::optional<ProbeItem> before;
        do {
            std::optional<ProbeItem> now = find();
            if (now && before && now->x == before->x && now->y == before->y && now->width == before->width &&
                now->height == before->height) {
                ClickItem(*now);
                return true;
            }
            before = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // Every window shown now, for a failure's message.
    std::string Describe() const
    {
        std::string text;
        for (const ProbeWindow& window : Windows())
            text += window.Describe() + "\n";
        return text;
    }

private:
    TempDir m_dir;
    std::filesystem::path m_file;
    ScopedEnv m_env;
};

// Ends a program the test started if it still runs when the test ends, as
// it does after a failed assertion; a program already waited for is left.
class EndsWithTheTest {
public:
    explicit EndsWithTheTest(pid_t pid) : m_pid(pid) {}
    ~EndsWithTheTest()
    {
        if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    EndsWithTheTest(const EndsWithTheTest&) = delete;
    EndsWithTheTest& operator=(const EndsWithTheTest&) = delete;

private:
    pid_t m_pid;
};

// How many colours the screenshot shows where the item lies: one for an
// empty place, many for a drawn picture.
inline int ColoursAt(const std::filesystem::path& screenshot, const ProbeItem& item)
{
    const std::string crop = std::to_string(item.width) + "x" + std::to_string(item.height) + "+" +
                             std::to_string(item.x) + "+" + std::to_string(item.y);
    return std::atoi(
        ShellOutput("convert '" + screenshot.string() + "' -crop " + crop + " +repage -format %k info: 2>/dev/null")
            .c_str());
}

} // namespace kelm::test
