// A tree host that records the charts the tree asks it to open and
// answers every other request with "no".
#pragma once

#include "editor/trees/core/processtree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelm::test {

struct RecordingHost : tarnwick::ITreeHost {
    void OpenDiagram(std::int32_t key, const std::string& title) override { opened.emplace_back(key, title); }
    bool CloseDiagram(std::int32_t) override { return true; }
    std::unique_ptr<tarnwick::IOpenedChart> OpenChartFile() override { return nullptr; }
    bool AskYesNo(const std::string&) override { return false; }
    void DiscardDiagram(std::int32_t) override {}
    void RetitleDiagram(std::int32_t, const std::string&) override {}
    std::vector<std::pair<std::int32_t, std::string>> opened;
};

} // namespace kelm::test
