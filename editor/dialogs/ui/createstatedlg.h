// The create-state dialog: the states a new state element may stand for,
// with the catalogue commands on a menu button and on keys. It is also the
// prompt the load and the insert ask through.
#pragma once

#include "editor/dialogs/core/createstate.h"

#include "charts/shell/core/chartprogress.h"

#include <wx/dialog.h>

#include <functional>
#include <memory>

class wxButton;
class wxListBox;
class wxMenu;

namespace tarnwick {

// Menu 170 under a dialog's menu button and accelerator table 168 on the
// dialog: Insert, F2, Del and F5 send the catalogue commands. enabled says
// which commands the popup offers.
void InstallCatalogMenu(wxDialog& dialog, wxButton& menuButton, std::function<bool(int id)> enabled);
// The name dialog as a window, for the catalogue dialogs.
class CWxNameDialog : public INameDialog {
public:
    explicit CWxNameDialog(wxWindow* parent) : m_pParent(parent) {}
    int AskName(const char* text, unsigned mode, std::string& name, std::string& fullName) override;

private:
    wxWindow* m_pParent;
};

class CCreateStateDlg : public wxDialog {
    CWxNameDialog m_names;

public:
    CCreateStateDlg(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel* model, wxWindow* parent);
    void Prepare();
    int ShowModal() override;
    bool TransferDataFromWindow() override;
    // Runs a catalogue command as its key or menu item does.
    void RunCommand(int id);

    CCreateStateDlgModel m_model;

private:
    void ShowSelection();

    wxListBox* m_list = nullptr;
};

// The create-state dialog as the charts' state prompt.
class CWxCreateStatePrompt final : public ICreateStatePrompt {
public:
    bool ChooseState(std::int32_t grp, std::int32_t typeDoc, CTarnwickModel& model, std::int16_t& state,
                     std::string& stateName) override;
};

} // namespace tarnwick
