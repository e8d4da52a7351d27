#include "installer/ui/wizarddlgs.h"

#include "installer/common/utils.h"
#include "winapi/drives.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/imaglist.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

namespace dorvik {

namespace {

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

int toWxId(int id) { return id == ctl::OK ? wxID_OK : id == ctl::Cancel ? wxID_CANCEL : id; }

// The item's own path: a drive's mount point; nothing for a folder, whose
// path is made from the texts above it.
class ItemData : public wxTreeItemData {
public:
    explicit ItemData(std::string mountPoint = {}) : mountPoint(std::move(mountPoint)) {}
    std::string mountPoint;
    bool listed = false;
};

} // namespace

// --- CWxControls -----------------------------------------------------------------

wxWindow* CWxControls::Find(int id) const { return m_container->FindWindow(toWxId(id)); }

void CWxControls::SetText(int id, const std::string& text)
{
    wxWindow* w = Find(id);
    if (!w)
        return;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) {
        edit->ChangeValue(U(text));
    } else if (auto* label = dynamic_cast<wxStaticText*>(w)) {
        label->SetLabelText(U(text));
        if (id == ctl::Context)
            label->Wrap(std::max(m_container->GetClientSize().x, m_container->FromDIP(480)) - m_container->FromDIP(10));
    } else if (auto* control = dynamic_cast<wxControl*>(w)) {
        control->SetLabelText(U(text));
    }
    m_container->Layout();
}

std::string CWxControls::GetText(int id) const
{
    wxWindow* w = Find(id);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(w))
        return edit->GetValue().utf8_string();
    if (auto* choice = dynamic_cast<wxChoice*>(w))
        return choice->GetStringSelection().utf8_string();
    if (auto* control = dynamic_cast<wxControl*>(w))
        return control->GetLabelText().utf8_string();
    return {};
}

void CWxControls::Enable(int id, bool enable)
{
    if (wxWindow* w = Find(id))
        w->Enable(enable);
}

bool CWxControls::IsEnabled(int id) const
{
    wxWindow* w = Find(id);
    return w && w->IsThisEnabled();
}

void CWxControls::Show(int id, bool show)
{
    if (wxWindow* w = Find(id)) {
        w->Show(show);
        m_container->Layout();
    }
}

void CWxControls::SetCheck(int id, bool checked)
{
    wxWindow* w = Find(id);
    if (auto* box = dynamic_cast<wxCheckBox*>(w))
        box->SetValue(checked);
    else if (auto* radio = dynamic_cast<wxRadioButton*>(w); radio && checked)
        radio->SetValue(true); // its group clears the others
}

bool CWxControls::GetCheck(int id) const
{
    wxWindow* w = Find(id);
    if (auto* box = dynamic_cast<wxCheckBox*>(w))
        return box->GetValue();
    if (auto* radio = dynamic_cast<wxRadioButton*>(w))
        return radio->GetValue();
    return false;
}

void CWxControls::SetFocus(int id)
{
    if (wxWindow* w = Find(id))
        w->SetFocus();
}

void CWxControls::SetItems(int id, const std::vector<std::string>& items)
{
    if (auto* choice = dynamic_cast<wxChoice*>(Find(id))) {
        wxArrayString list;
        for (const auto& item : items)
            list.Add(U(item));
        choice->Set(list);
    }
}

int CWxControls::GetSelection(int id) const
{
    auto* choice = dynamic_cast<wxChoice*>(Find(id));
    return choice ? choice->GetSelection() : -1;
}

void CWxControls::SetSelection(int id, int index)
{
    if (auto* choice = dynamic_cast<wxChoice*>(Find(id)))
        choice->SetSelection(index < 0 ? wxNOT_FOUND : index);
}

void CWxControls::SetBusy(bool busy)
{
    if (busy) {
        if (m_busy++ == 0)
            wxBeginBusyCursor();
    } else if (m_busy > 0 && --m_busy == 0) {
        wxEndBusyCursor();
    }
}

// --- CDirTreeCtrl ----------------------------------------------------------------

CDirTreeCtrl::CDirTreeCtrl(wxWindow* parent, int id)
    : wxTreeCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE)
{
    wxSize size = FromDIP(wxSize(16, 16));
    auto* images = new wxImageList(size.x, size.y, true);
    for (const auto& art : {wxART_FOLDER, wxART_FOLDER_OPEN, wxART_HARDDISK, wxART_CDROM, wxART_HARDDISK})
        images->Add(wxArtProvider::GetBitmap(art, wxART_OTHER, size));
    AssignImageList(images);
    Bind(wxEVT_TREE_ITEM_EXPANDING, &CDirTreeCtrl::OnExpanding, this);
}

void CDirTreeCtrl::FillDrives(const std::vector<winapi::DriveInfo>& drives)
{
    DeleteAllItems();
    wxTreeItemId root = AddRoot(wxEmptyString);
    for (const auto& drive : drives) {
        int image = drive.type == winapi::DriveType::CdRom ? 3 : drive.type == winapi::DriveType::Network ? 4 : 2;
        wxTreeItemId item = AppendItem(root, U(winapi::DriveItemText(drive)), image, image, new ItemData(drive.mountPoint));
        SetItemHasChildren(item, true);
    }
}

std::string CDirTreeCtrl::GetItemPath(const wxTreeItemId& item) const
{
    std::string path;
    for (wxTreeItemId at = item; at.IsOk() && at != GetRootItem(); at = GetItemParent(at)) {
        auto* data = static_cast<ItemData*>(GetItemData(at));
        if (data && !data->mountPoint.empty()) {
            std::string mount = data->mountPoint;
            if (!path.empty() && mount.back() != '/')
                mount += '/';
            return mount + path;
        }
        std::string name = GetItemText(at).utf8_string();
        path = path.empty() ? name : name + "/" + path;
    }
    return path;
}

bool CDirTreeCtrl::GetSelectedPath(std::string& path) const
{
    wxTreeItemId item = GetSelection();
    path = item.IsOk() ? GetItemPath(item) : std::string();
    return item.IsOk();
}

void CDirTreeCtrl::ListChildren(const wxTreeItemId& item)
{
    auto* data = static_cast<ItemData*>(GetItemData(item));
    if (!data || data->listed)
        return;
    data->listed = true;
    auto names = ListSubfolders(GetItemPath(item));
    for (const auto& name : names) {
        wxTreeItemId child = AppendItem(item, U(name), 0, 1, new ItemData);
        SetItemHasChildren(child, true);
    }
    if (names.empty())
        SetItemHasChildren(item, false);
}

void CDirTreeCtrl::OnExpanding(wxTreeEvent& event)
{
    ListChildren(event.GetItem());
    event.Skip();
}

// --- CDlgChooseDir ---------------------------------------------------------------

CDlgChooseDir::CDlgChooseDir(wxWindow* parent, const std::string& title, const std::string& path)
    : wxDialog(parent, wxID_ANY, U("Выбор каталога"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_path(path)
{
    SetTitle(U(title));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    m_edit = new wxTextCtrl(this, 1006, U(path));
    m_tree = new CDirTreeCtrl(this, 1039);
    sizer->Add(m_edit, 0, wxEXPAND | wxALL, FromDIP(8));
    sizer->Add(m_tree, 1, wxEXPAND | wxLEFT | wxRIGHT, FromDIP(8));
    sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(8));
    SetSizer(sizer);
    SetSize(FromDIP(wxSize(420, 460)));
    m_tree->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
        m_edit->ChangeValue(U(m_tree->GetItemPath(event.GetItem())));
    });
    m_tree->Bind(wxEVT_TREE_ITEM_ACTIVATED, [this](wxTreeEvent&) {
        if (Accept())
            EndModal(wxID_OK);
    });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (Accept())
            EndModal(wxID_OK);
    }, wxID_OK);
}

int CDlgChooseDir::ShowModal()
{
    if (!m_bFilled) {
        m_tree->FillDrives(m_drives.empty() ? winapi::ListDrives() : m_drives);
        m_bFilled = true;
    }
    CentreOnParent();
    return wxDialog::ShowModal();
}

bool CDlgChooseDir::Accept()
{
    std::string path = m_edit->GetValue().utf8_string();
    if (!MayAccept(path))
        return false;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    m_path = path;
    return true;
}

bool CDlgBrowse::MayAccept(const std::string& path)
{
    bool network = m_mountInfo.empty() ? winapi::IsNetworkPath(path) : winapi::IsNetworkPath(path, m_mountInfo);
    if (!network)
        return true;
    auto owner = std::make_shared<winapi::PromptOwner>(this);
    ShowMessageId(m_run, owner, res::IDS_NO_NETWORK_PATH);
    owner->Detach();
    return false;
}

// --- CDlgParamDB -----------------------------------------------------------------

CDlgParamDB::CDlgParamDB(wxWindow* parent, TDatabase& step, IWizardHost& host)
    : wxDialog(parent, wxID_ANY, U(CParamDBPresenter::Caption(host.Context()))), m_presenter(host.Context(), step), m_host(host),
      m_owner(std::make_shared<winapi::PromptOwner>(this)), m_controls(this, m_owner)
{
    const int gap = FromDIP(6);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto row = [&](std::initializer_list<wxWindow*> windows) {
        auto* line = new wxBoxSizer(wxHORIZONTAL);
        for (wxWindow* w : windows)
            line->Add(w, dynamic_cast<wxTextCtrl*>(w) ? 1 : 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
        sizer->Add(line, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(10));
    };
    row({new wxCheckBox(this, ctl::DailyCheck, "")});
    row({new wxStaticText(this, ctl::DailyWhat, "")});
    row({new wxStaticText(this, ctl::DailyTimeLabel, ""), new wxChoice(this, ctl::DailyHour)});
    row({new wxCheckBox(this, ctl::WeeklyCheck, "")});
    row({new wxStaticText(this, ctl::WeeklyWhat, "")});
    row({new wxStaticText(this, ctl::DayLabel, ""), new wxChoice(this, ctl::WeeklyDay),
         new wxStaticText(this, ctl::WeeklyTimeLabel, ""), new wxChoice(this, ctl::WeeklyHour)});
    row({new wxStaticText(this, ctl::BackupLabel, ""),
         new wxTextCtrl(this, ctl::BackupEdit, "", wxDefaultPosition, FromDIP(wxSize(280, -1))),
         new wxButton(this, ctl::BackupBrowse, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT)});
    sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(10));
    SetSizer(sizer);
    m_presenter.OnInitDialog(m_controls);
    Fit();
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (m_presenter.OnOK(m_controls))
            EndModal(wxID_OK);
    }, wxID_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_presenter.OnBrowse(m_controls, m_host); }, ctl::BackupBrowse);
}

CDlgParamDB::~CDlgParamDB() { m_owner->Detach(); }

} // namespace dorvik
