// The two selection dialogs of the process tree: an operation of a group
// and a document type of an operation, each with its catalogue commands on
// a menu button and on keys. After wxID_OK the caller reads m_model.
#pragma once

#include "editor/dialogs/ui/createstatedlg.h"
#include "editor/dialogs/core/selectdlgmodel.h"

#include <wx/dialog.h>

#include <cstdint>
#include <string>

class wxListBox;

namespace tarnwick {

// The add-process dialog as a window; a retry shows the values entered.
class CWxAddProcessDialog : public IAddProcessDialog {
public:
    explicit CWxAddProcessDialog(wxWindow* parent) : m_pParent(parent) {}
    int AskProcess(std::int16_t grp, std::int32_t type, const std::string& groupName, bool retry,
                   ProcessInput& input) override;

private:
    wxWindow* m_pParent;
};

class CProcessSelectDlg : public wxDialog {
    CWxNameDialog m_names;
    CWxAddProcessDialog m_processes;

public:
    CProcessSelectDlg(std::int16_t grp, const std::string& groupName, wxWindow* parent);
    void Prepare();
    int ShowModal() override;
    bool TransferDataFromWindow() override;
    // Runs a catalogue command as its key or menu item does.
    void RunCommand(int id);

    CProcessSelectDlgModel m_model;

private:
    void ShowOkState();

    wxListBox* m_list = nullptr;
};

class CSelectDocDlg : public wxDialog {
    CWxNameDialog m_names;

public:
    CSelectDocDlg(std::int16_t type, std::int16_t grp, wxWindow* parent);
    void Prepare();
    int ShowModal() override;
    bool TransferDataFromWindow() override;
    void RunCommand(int id);

    CSelectDocDlgModel m_model;

private:
    void ShowOkState();

    wxListBox* m_list = nullptr;
};

// The chosen operation as its word (Grp low, Type high) and name; false on Cancel.
bool RunProcessSelectDlg(wxWindow* parent, std::int16_t grp, const std::string& groupText, std::int32_t& word,
                         std::string& name);
// The chosen document type and its name; false on Cancel.
bool RunSelectDocDlg(wxWindow* parent, std::int16_t type, std::int16_t grp, std::int32_t& typeDoc,
                     std::string& name);

} // namespace tarnwick
