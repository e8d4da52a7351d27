// Dorvik's run dialogs: the progress dialog that shows a run's stored
// values, the waiting dialog, and the log viewer.
#pragma once

#include "installer/common/runcontext.h"
#include "installer/core/progress.h"

#include <wx/dialog.h>

#include <memory>
#include <string>

class wxAnimationCtrl;
class wxGauge;
class wxStaticText;
class wxTextCtrl;

namespace dorvik {

class CDlgProgress : public wxDialog {
public:
    CDlgProgress(wxWindow* parent, const RunContext& run);

    // Shows the run's values modally until the run closes it (false) or the
    // user confirms Cancel (true). A run that has already ended ends it at
    // once.
    bool RunModal(CProgressState& state);

private:
    void ShowValues();
    void AskCancel();
    void ApplyThirdLine(bool show);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    const RunContext& m_run;
    CProgressState* m_state = nullptr;
    wxAnimationCtrl* m_animation;
    wxStaticText* m_texts[3];
    wxGauge* m_bars[3];
    bool m_thirdLine = true;
    bool m_asking = false;
    bool m_endPending = false;
    int m_shownRange[3] = {-1, -1, -1};
};

// Modeless, no buttons; painted before the caller blocks.
class CDlgWaiting {
public:
    explicit CDlgWaiting(const RunContext& run) : m_run(run) {}
    void Show(wxWindow* parent, const std::string& text);
    void Show(wxWindow* parent, int stringId);
    void Close();
    wxDialog* GetWindow() const { return m_dialog; }

private:
    const RunContext& m_run;
    wxDialog* m_dialog = nullptr;
};

class CDlgLog : public wxDialog {
public:
    CDlgLog(wxWindow* parent, const std::string& path);
    std::string GetShownText() const;

private:
    wxTextCtrl* m_text;
};

} // namespace dorvik
