#include "editor/pages/ui/pagewindow.h"

#include <wx/busyinfo.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

namespace tarnwick {

namespace {

wxArrayString ToArray(const std::vector<std::string>& items)
{
    wxArrayString out;
    for (const std::string& item : items)
        out.Add(wxString::FromUTF8(item));
    return out;
}

void PushItems(wxItemContainer& list, const ControlState& state)
{
    const wxArrayString items = ToArray(state.items);
    if (list.GetStrings() != items) {
        if (items.empty())
            list.Clear();
        else
            list.Set(items);
    }
}

} // namespace

int ControlIdOf(const wxWindow& control)
{
    const std::string name = control.GetName().utf8_string();
    if (name.rfind("IDC_", 0) != 0)
        return 0;
    try {
        return std::stoi(name.substr(4));
    } catch (...) {
        return 0;
    }
}

void PushControls(CPageModel& model, wxWindow& window)
{
    for (const auto& [id, state] : model.Controls()) {
        wxWindow* w = window.FindWindow("IDC_" + std::to_string(id));
        if (!w)
            continue;
        const wxString text = wxString::FromUTF8(state.text);
        if (auto* check = dynamic_cast<wxCheckBox*>(w)) {
            check->SetValue(state.checked);
        } else if (auto* combo = dynamic_cast<wxComboBox*>(w)) {
            PushItems(*combo, state);
            if (state.HasSelection()) {
                if (combo->GetSelection() != state.selection)
                    combo->SetSelection(state.selection);
            } else if (combo->GetValue() != text || combo->GetSelection() != wxNOT_FOUND) {
                combo->SetSelection(wxNOT_FOUND);
                combo->ChangeValue(text);
            }
        } else if (auto* choice = dynamic_cast<wxChoice*>(w)) {
            PushItems(*choice, state);
            choice->SetSelection(state.HasSelection() ? state.selection : wxNOT_FOUND);
        } else if (auto* list = dynamic_cast<wxListBox*>(w)) {
            PushItems(*list, state);
            if (state.HasSelection())
                list->SetSelection(state.selection);
            else if (list->GetSelection() != wxNOT_FOUND)
                list->SetSelection(wxNOT_FOUND);
        } else if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) {
            if (edit->GetValue() != text)
                edit->ChangeValue(text);
        } else if (auto* label = dynamic_cast<wxStaticText*>(w)) {
            if (state.showsValue)
                label->SetLabel(text);
        }
        w->Enable(state.enabled);
        w->Show(state.shown);
    }
}

void PullControl(CPageModel& model, int id, wxWindow& w)
{
    ControlState& state = model.Control(id);
    if (auto* check = dynamic_cast<wxCheckBox*>(&w)) {
        state.checked = check->GetValue();
    } else if (auto* combo = dynamic_cast<wxComboBox*>(&w)) {
        state.selection = combo->GetSelection();
        state.text = combo->GetValue().utf8_string();
    } else if (auto* choice = dynamic_cast<wxChoice*>(&w)) {
        state.selection = choice->GetSelection();
    } else if (auto* list = dynamic_cast<wxListBox*>(&w)) {
        state.selection = list->GetSelection();
    } else if (auto* edit = dynamic_cast<wxTextCtrl*>(&w)) {
        state.text = edit->GetValue().utf8_string();
    }
}

CModelPage::CModelPage(std::unique_ptr<CPageModel> model, const std::string& xrcName, const std::string& caption)
    : CPropertyPage(caption), m_model(std::move(model)), m_xrcName(xrcName)
{
}

bool CModelPage::CreatePage(wxWindow* parent)
{
    if (!wxXmlResource::Get()->LoadPanel(this, parent, m_xrcName))
        return false;
    for (auto type : {wxEVT_CHECKBOX, wxEVT_CHOICE, wxEVT_COMBOBOX, wxEVT_TEXT, wxEVT_LISTBOX, wxEVT_BUTTON})
        Bind(type, &CModelPage::OnControlEvent, this);
    return true;
}

wxWindow* CModelPage::ControlWindow(int id)
{
    return FindWindow("IDC_" + std::to_string(id));
}

bool CModelPage::OnInitDialog()
{
    {
        wxBusyCursor wait;
        m_model->Init();
    }
    TransferDataToWindow();
    if (m_model->EndRequested)
        EndDialog(OD_IDCANCEL);
    return true;
}

bool CModelPage::TransferDataToWindow()
{
    m_bPushing = true;
    PushControls(*m_model, *this);
    m_bPushing = false;
    Layout();
    return true;
}

bool CModelPage::TransferDataFromWindow()
{
    for (const auto& entry : m_model->Controls())
        if (wxWindow* w = ControlWindow(entry.first))
            PullControl(*m_model, entry.first, *w);
    return true;
}

bool CModelPage::OnKillActive()
{
    return TransferDataFromWindow() && m_model->Validate();
}

bool CModelPage::OnApply()
{
    if (!m_model->Apply()) {
        TransferDataToWindow();
        return false;
    }
    return CPropertyPage::OnApply();
}

void CModelPage::OnControl(int id)
{
    m_model->OnCommand(id);
}

void CModelPage::OnControlEvent(wxCommandEvent& event)
{
    auto* w = dynamic_cast<wxWindow*>(event.GetEventObject());
    const int id = w ? ControlIdOf(*w) : 0;
    if (m_bPushing || !id || w->GetParent() == nullptr) {
        event.Skip();
        return;
    }
    PullControl(*m_model, id, *w);
    OnControl(id);
    if (m_model->Modified)
        SetModified();
    TransferDataToWindow();
    if (m_model->EndRequested)
        EndDialog(OD_IDCANCEL);
}

} // namespace tarnwick
