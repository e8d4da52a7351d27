// The catalogue dialogs: a process of a group, a name in nine modes and the
// groups to put on the chart. Each shows its model; after wxID_OK the
// caller reads the answers from m_model. Prepare fills the controls the way
// ShowModal does, for callers that show the dialog without a modal loop.
#pragma once

#include "editor/dialogs/core/catalogdlgmodel.h"

#include <wx/dialog.h>

class wxChoice;
class wxListBox;
class wxRadioButton;
class wxTextCtrl;

namespace tarnwick {

class CAddProcessDlg : public wxDialog {
public:
    CAddProcessDlg(std::int16_t grp, std::uint16_t type, const std::string& groupName, wxWindow* parent,
                   bool edit);
    void Prepare();
    int ShowModal() override;
    bool TransferDataFromWindow() override;

    CAddProcessDlgModel m_model;

private:
    void ShowOkState();

    wxChoice* m_baseProcess = nullptr;
    wxTextCtrl* m_code = nullptr;
    wxTextCtrl* m_name = nullptr;
    wxRadioButton* m_kinds[3] = {};
};

class CAddState : public wxDialog {
public:
    // text may be null: both edits start empty.
    CAddState(const char* text, unsigned mode, wxWindow* parent);
    void Prepare();
    int ShowModal() override;
    bool TransferDataFromWindow() override;

    CAddStateModel m_model;

private:
    wxTextCtrl* m_nameEdit = nullptr;
    wxTextCtrl* m_fullNameEdit = nullptr;
};

class CProdGroupSelectDlg : public wxDialog {
public:
    explicit CProdGroupSelectDlg(wxWindow* parent);
    void Prepare();
    int ShowModal() override;

    CProdGroupSelectDlgModel m_model;

private:
    wxListBox* m_list = nullptr;
};

} // namespace tarnwick
