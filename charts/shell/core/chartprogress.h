// What the load, the save and the check need of the main frame and of the
// create-state dialog: a progress display and one question. The editor's
// frame and dialog put their own in place; tests answer them.
#pragma once

#include <cstdint>
#include <string>

class CTarnwickModel;

namespace tarnwick {

class IChartProgress {
public:
    virtual ~IChartProgress() = default;
    virtual void BeginProgress(const std::string& text, int lower, int upper) = 0;
    virtual void StepProgress() = 0;
    virtual void EndProgress() = 0;
};

class ICreateStatePrompt {
public:
    virtual ~ICreateStatePrompt() = default;
    // Asks which state of the group a state row without a document type is;
    // false when the user cancels.
    virtual bool ChooseState(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel& model, std::int16_t& state,
                             std::string& stateName) = 0;
};

// Without an installed one: a progress display that shows nothing, and a
// prompt that cancels.
IChartProgress& ChartProgress();
void SetChartProgress(IChartProgress* progress);
ICreateStatePrompt& CreateStatePrompt();
void SetCreateStatePrompt(ICreateStatePrompt* prompt);

// The check the save runs first: clears the error lists, runs every check
// and counts the messages. A failed check tells the count; a passed one says
// so only when asked to report. True when the chart passed.
bool CheckChart(CTarnwickModel& model, bool report);

} // namespace tarnwick
