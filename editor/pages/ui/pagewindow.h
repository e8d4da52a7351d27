// A property page whose window shows a page model: the XRC panel's controls
// are found by their template ids ("IDC_<id>"), get the model's state, and
// hand the user's changes back to the model.
#pragma once

#include "editor/pages/core/pagemodel.h"

#include "diagram/odpropsheet.h"

#include <map>
#include <memory>
#include <string>

namespace tarnwick {

class CModelPage : public CPropertyPage {
public:
    CModelPage(std::unique_ptr<CPageModel> model, const std::string& xrcName, const std::string& caption);

    bool CreatePage(wxWindow* parent) override;
    bool OnInitDialog() override;
    bool OnKillActive() override;
    bool OnApply() override;
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    CPageModel& Model() { return *m_model; }
    // The window of control id on this page, or null.
    wxWindow* ControlWindow(int id);

protected:
    // The user changed control id; the model's state already holds it.
    virtual void OnControl(int id);

private:
    void OnControlEvent(wxCommandEvent& event);

    std::unique_ptr<CPageModel> m_model;
    std::string m_xrcName;
    bool m_bPushing = false;
};

// Moves a model's state into the controls of a window and back.
void PushControls(CPageModel& model, wxWindow& window);
void PullControl(CPageModel& model, int id, wxWindow& control);
// The template id of a control named "IDC_<id>", or 0.
int ControlIdOf(const wxWindow& control);

} // namespace tarnwick
