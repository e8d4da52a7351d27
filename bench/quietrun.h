// The windows of a quiet run in a benchmark: none; the run is waited for.
#pragma once

#include "installer/core/mainrun.h"
#include "installer/core/progress.h"

#include <chrono>
#include <memory>
#include <thread>

namespace kelm::bench {

struct NoWindows : dorvik::IMainView {
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return nullptr; }
    bool ShowProgress(dorvik::CProgressState& progress) override
    {
        while (!progress.IsClosed())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return false;
    }
};

} // namespace kelm::bench
