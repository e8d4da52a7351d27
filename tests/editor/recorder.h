// A prompt that records what the program would have shown, and a list
// control that keeps its items in memory.
#pragma once

#include "editor/app/core/dbutil.h"
#include "editor/app/core/editorprompt.h"

#include <string>
#include <vector>

namespace kelm::test {

struct RecordingPrompt : tarnwick::IPrompt {
    struct Shown {
        std::string text, caption;
        tarnwick::MessageIcon icon;
    };
    std::vector<Shown> shown;
    RecordingPrompt() { tarnwick::SetPrompt(this); }
    ~RecordingPrompt() override { tarnwick::SetPrompt(nullptr); }
    void Message(const std::string& text, const std::string& caption, tarnwick::MessageIcon icon) override
    {
        shown.push_back({text, caption, icon});
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& s : shown)
            texts.push_back(s.text);
        return texts;
    }
};

struct ItemList : tarnwick::IItemList {
    std::vector<std::string> items;
    std::vector<std::uint32_t> data;
    int selection = -1;
    void ResetContent() override
    {
        items.clear();
        data.clear();
        selection = -1;
    }
    int AddString(const std::string& text) override
    {
        items.push_back(text);
        data.push_back(0);
        return static_cast<int>(items.size()) - 1;
    }
    void SetItemData(int index, std::uint32_t value) override { data.at(static_cast<std::size_t>(index)) = value; }
    void SetCurSel(int index) override { selection = index; }
    int GetCount() const override { return static_cast<int>(items.size()); }
};

} // namespace kelm::test
