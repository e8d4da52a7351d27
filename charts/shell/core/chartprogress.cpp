#include "charts/shell/core/chartprogress.h"

namespace tarnwick {
namespace {

class CSilentProgress : public IChartProgress {
public:
    void BeginProgress(const std::string&, int, int) override {}
    void StepProgress() override {}
    void EndProgress() override {}
};

class CCancellingPrompt : public ICreateStatePrompt {
public:
    bool ChooseState(std::int32_t, std::int32_t, CTarnwickModel&, std::int16_t&, std::string&) override
    {
        return false;
    }
};

CSilentProgress g_silentProgress;
CCancellingPrompt g_cancellingPrompt;
IChartProgress* g_pProgress = nullptr;
ICreateStatePrompt* g_pPrompt = nullptr;

} // namespace

IChartProgress& ChartProgress()
{
    return g_pProgress ? *g_pProgress : g_silentProgress;
}

void SetChartProgress(IChartProgress* progress)
{
    g_pProgress = progress;
}

ICreateStatePrompt& CreateStatePrompt()
{
    return g_pPrompt ? *g_pPrompt : g_cancellingPrompt;
}

void SetCreateStatePrompt(ICreateStatePrompt* prompt)
{
    g_pPrompt = prompt;
}

} // namespace tarnwick
