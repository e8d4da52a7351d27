// The wizard's dialogs on wx: the folder tree and the two folder choosers,
// the maintenance dialog, and the bridge by which the pages' rules reach a
// window's controls by number.
#pragma once

#include "installer/common/runcontext.h"
#include "installer/core/wizardpages.h"

#include <wx/dialog.h>
#include <wx/treectrl.h>

#include <memory>
#include <string>
#include <vector>

class wxTextCtrl;

namespace dorvik {

// The controls below a window, found by their numbers (1 is OK, 2 Cancel).
class CWxControls : public IPageControls {
public:
    CWxControls(wxWindow* container, std::shared_ptr<winapi::PromptOwner> owner)
        : m_container(container), m_owner(std::move(owner))
    {
    }
    wxWindow* Find(int id) const;

    bool Has(int id) const override { return Find(id) != nullptr; }
    void SetText(int id, const std::string& text) override;
    std::string GetText(int id) const override;
    void Enable(int id, bool enable) override;
    bool IsEnabled(int id) const override;
    void Show(int id, bool show) override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void SetFocus(int id) override;
    void SetItems(int id, const std::vector<std::string>& items) override;
    int GetSelection(int id) const override;
    void SetSelection(int id, int index) override;
    std::shared_ptr<winapi::PromptOwner> GetOwner() override { return m_owner; }
    void SetBusy(bool busy) override;

private:
    wxWindow* m_container;
    std::shared_ptr<winapi::PromptOwner> m_owner;
    int m_busy = 0;
};

// Drives and folders; a folder's subfolders are listed when it is first
// expanded.
class CDirTreeCtrl : public wxTreeCtrl {
public:
    CDirTreeCtrl(wxWindow* parent, int id);
    void FillDrives(const std::vector<winapi::DriveInfo>& drives);
    std::string GetItemPath(const wxTreeItemId& item) const;
    bool GetSelectedPath(std::string& path) const;

private:
    void OnExpanding(wxTreeEvent& event);
    void ListChildren(const wxTreeItemId& item);
};

class CDlgChooseDir : public wxDialog {
public:
    CDlgChooseDir(wxWindow* parent, const std::string& title, const std::string& path);
    // The drives the tree offers (tests give their own before showing).
    void SetDrives(std::vector<winapi::DriveInfo> drives) { m_drives = std::move(drives); }
    const std::string& GetPath() const { return m_path; }
    CDirTreeCtrl* GetTree() const { return m_tree; }
    wxTextCtrl* GetEdit() const { return m_edit; }
    int ShowModal() override;
    // OK's rule; true when the dialog may end.
    bool Accept();

protected:
    virtual bool MayAccept(const std::string& path) { return true; }

private:
    std::string m_path;
    std::vector<winapi::DriveInfo> m_drives;
    bool m_bFilled = false;
    CDirTreeCtrl* m_tree;
    wxTextCtrl* m_edit;
};

// Refuses a folder on a network share.
class CDlgBrowse : public CDlgChooseDir {
public:
    // A network folder is refused with a box in the run's language.
    CDlgBrowse(const RunContext& run, wxWindow* parent, const std::string& title, const std::string& path)
        : CDlgChooseDir(parent, title, path), m_run(run)
    {
    }
    // The mount table it tests against (tests give their own).
    void SetMountInfo(std::string text) { m_mountInfo = std::move(text); }

protected:
    bool MayAccept(const std::string& path) override;

private:
    const RunContext& m_run;
    std::string m_mountInfo;
};

class CDlgParamDB : public wxDialog {
public:
    CDlgParamDB(wxWindow* parent, TDatabase& step, IWizardHost& host);
    ~CDlgParamDB() override;
    CWxControls& Controls() { return m_controls; }

private:
    CParamDBPresenter m_presenter;
    IWizardHost& m_host;
    std::shared_ptr<winapi::PromptOwner> m_owner;
    CWxControls m_controls;
};

} // namespace dorvik
