// Dorvik's full-screen main window: painted bands, the kit's two texts and
// the logo; it runs the main run and shows its dialogs.
#pragma once

#include "installer/core/mainrun.h"
#include "installer/ui/dialogs.h"

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/frame.h>
#include <wx/modalhook.h>

#include <memory>
#include <string>
#include <vector>

namespace dorvik {

class CMainFrame : public wxFrame, public IMainView {
public:
    explicit CMainFrame(CMainRun& run);
    ~CMainFrame() override;

    // The posted start of the main run; ends the program with its status.
    void StartMainRun();
    void BringToFront();
    int GetStatus() const { return m_status; }

    // IMainView
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return m_owner; }
    void LanguageChanged() override;
    void ShowWaiting(const std::string& text) override;
    void HideWaiting() override;
    bool ShowProgress(CProgressState& progress) override;
    void WaitFor(const CManualEvent& done) override;
    std::optional<int> RunWizard(CInstallData& data) override;
    void ShowLog(const std::string& path) override;

    CDlgProgress& GetProgressDialog() { return *m_progress; }

private:
    void ReadTexts();
    void OnPaint(wxPaintEvent& event);
    void OnClose(wxCloseEvent& event);

    // The modal dialogs open over the frame, in the order they opened.
    class ModalDialogs : public wxModalDialogHook {
    public:
        ModalDialogs() { Register(); }
        ~ModalDialogs() override { Unregister(); }
        const std::vector<wxDialog*>& Dialogs() const { return m_dialogs; }

    protected:
        int Enter(wxDialog* dialog) override
        {
            m_dialogs.push_back(dialog);
            return wxID_NONE;
        }
        void Exit(wxDialog* dialog) override { std::erase(m_dialogs, dialog); }

    private:
        std::vector<wxDialog*> m_dialogs;
    };

    CMainRun& m_run;
    ModalDialogs m_modal;
    std::shared_ptr<winapi::PromptOwner> m_owner;
    CDlgProgress* m_progress;
    CDlgWaiting m_waiting;
    wxFont m_font;
    // The language the window is painted in: a frame whose deletion is
    // pending may still be painted after its run has ended.
    int m_language;
    std::string m_text1R, m_text1E, m_text2R, m_text2E;
    bool m_bDrawLogo = true;
    wxBitmap m_logo;
    int m_status = 2;
};

} // namespace dorvik
