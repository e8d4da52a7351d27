#include "installer/ui/dialogs.h"

#include "installer/common/utils.h"
#include "resources/dorvik/dorvikstrings.h"

#include <wx/animate.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <fstream>
#include <iterator>

namespace dorvik {

namespace {

wxString text(const RunContext& run, int id) { return wxString::FromUTF8(run.Text(id)); }

} // namespace

CDlgProgress::CDlgProgress(wxWindow* parent, const RunContext& run) : m_run(run)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "IDD_PROGRESS");
    m_animation = XRCCTRL(*this, "IDC_ANIMATE", wxAnimationCtrl);
    const char* texts[] = {"IDC_TEXT_SECTION", "IDC_TEXT_STEP", "IDC_TEXT_ITEM"};
    const char* bars[] = {"IDC_PROGRESS_SECTION", "IDC_PROGRESS_STEP", "IDC_PROGRESS_ITEM"};
    for (int i = 0; i < 3; ++i) {
        m_texts[i] = static_cast<wxStaticText*>(FindWindow(XRCID(texts[i])));
        m_bars[i] = static_cast<wxGauge*>(FindWindow(XRCID(bars[i])));
    }
    Bind(wxEVT_BUTTON, &CDlgProgress::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CDlgProgress::OnClose, this);
}

bool CDlgProgress::RunModal(CProgressState& state)
{
    m_state = &state;
    m_endPending = false;
    std::fill(std::begin(m_shownRange), std::end(m_shownRange), -1);
    state.SetChangeHandler([this] { CallAfter(&CDlgProgress::ShowValues); });
    int end = wxID_OK;
    if (!state.IsClosed()) {
        if (auto* cancel = FindWindow(wxID_CANCEL))
            cancel->SetLabel(text(m_run, res::IDS_CANCEL));
        auto values = state.TakeChange();
        m_thirdLine = !values.thirdLine; // forces the first resize
        ShowValues();
        if (m_animation)
            m_animation->Play();
        state.GetOwner()->Attach(this);
        CentreOnParent();
        if (!state.IsClosed())
            end = ShowModal();
        state.GetOwner()->Detach();
        if (m_animation)
            m_animation->Stop();
    }
    state.SetChangeHandler(nullptr);
    m_state = nullptr;
    return end == wxID_CANCEL;
}

void CDlgProgress::ApplyThirdLine(bool show)
{
    if (show == m_thirdLine)
        return;
    m_thirdLine = show;
    m_texts[2]->Show(show);
    m_bars[2]->Show(show);
    Layout();
    Fit();
}

void CDlgProgress::ShowValues()
{
    if (!m_state)
        return;
    auto values = m_state->TakeChange();
    SetTitle(wxString::FromUTF8(values.title));
    ApplyThirdLine(values.thirdLine);
    for (int i = 0; i < 3; ++i) {
        const auto& line = values.lines[i];
        wxString label = wxString::FromUTF8(line.text);
        if (m_texts[i]->GetLabel() != label)
            m_texts[i]->SetLabel(label);
        if (line.range > 0) {
            if (m_shownRange[i] != line.range) {
                m_bars[i]->SetRange(line.range);
                m_shownRange[i] = line.range;
            }
            m_bars[i]->SetValue(line.pos);
        }
    }
    if (values.closed) {
        if (m_asking)
            m_endPending = true;
        else if (IsModal())
            EndModal(wxID_OK);
    }
}

void CDlgProgress::AskCancel()
{
    if (m_asking)
        return;
    m_asking = true;
    int answer = ShowMessageId(m_run, m_state ? m_state->GetOwner() : nullptr, res::IDS_ASK_EXIT, res::IDS_APP_TITLE,
                               winapi::MB_YESNO | winapi::MB_ICONQUESTION);
    m_asking = false;
    if (!IsModal())
        return;
    // The run may have ended while the question was open: then it ended
    // by itself, whatever the answer.
    if (m_endPending || (m_state && m_state->IsClosed()))
        EndModal(wxID_OK);
    else if (answer == winapi::IDYES)
        EndModal(wxID_CANCEL);
}

void CDlgProgress::OnCancel(wxCommandEvent&) { AskCancel(); }

void CDlgProgress::OnClose(wxCloseEvent& event)
{
    if (event.CanVeto())
        event.Veto();
    AskCancel();
}

void CDlgWaiting::Show(wxWindow* parent, const std::string& message)
{
    Close();
    m_dialog = wxXmlResource::Get()->LoadDialog(parent, "IDD_WAITING");
    if (!m_dialog)
        return;
    m_dialog->SetTitle(text(m_run, res::IDS_APP_TITLE));
    if (auto* label = static_cast<wxStaticText*>(m_dialog->FindWindow(XRCID("IDC_WAIT_TEXT"))))
        label->SetLabel(wxString::FromUTF8(message));
    m_dialog->Fit();
    m_dialog->CentreOnParent();
    m_dialog->Show();
    m_dialog->Update();
    // Let the window appear before the caller blocks.
    if (wxTheApp)
        wxTheApp->SafeYieldFor(nullptr, wxEVT_CATEGORY_UI);
}

void CDlgWaiting::Show(wxWindow* parent, int stringId) { Show(parent, m_run.Text(stringId)); }

void CDlgWaiting::Close()
{
    if (m_dialog) {
        m_dialog->Destroy();
        m_dialog = nullptr;
    }
}

CDlgLog::CDlgLog(wxWindow* parent, const std::string& path)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "IDD_LOG");
    m_text = XRCCTRL(*this, "IDC_LOG_TEXT", wxTextCtrl);
    SetSize(FromDIP(wxSize(760, 520)));
    SetTitle(wxString::FromUTF8(path));
    m_text->SetFont(wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE)));
    std::ifstream in(path, std::ios::binary);
    std::string content;
    if (in)
        content.assign(std::istreambuf_iterator<char>(in), {});
    if (!in || in.bad())
        m_text->SetValue("File not found ...");
    else
        m_text->SetValue(wxString::FromUTF8(content));
    CallAfter([this] {
        m_text->SetSelection(0, 0);
        m_text->ShowPosition(0);
    });
    // The viewer has no button to stand for Escape; the key closes it.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_ESCAPE || event.HasAnyModifiers()) {
            event.Skip();
            return;
        }
        if (IsModal())
            EndModal(wxID_CANCEL);
        else
            Close();
    });
}

std::string CDlgLog::GetShownText() const { return m_text->GetValue().utf8_string(); }

} // namespace dorvik
