// The recent-file list of the File menus. wx appends its entries at the
// menu's end, after Exit; here they stand where the user looks for them:
// above the separator over Exit, with a separator of their own above them.
#pragma once

#include <wx/filehistory.h>

#include <vector>

class wxMenu;
class wxMenuItem;

namespace tarnwick {

class CRecentFileList : public wxFileHistory {
public:
    explicit CRecentFileList(std::size_t maxFiles);

    void AddFileToHistory(const wxString& file) override;
    void RemoveFileFromHistory(std::size_t i) override;
    void UseMenu(wxMenu* menu) override;
    void RemoveMenu(wxMenu* menu) override;
    void AddFilesToMenu() override;
    void AddFilesToMenu(wxMenu* menu) override;
    void Load(const wxConfigBase& config) override;

    // The menu entry of the i-th file: "&1 name", the folder shown when it
    // differs from that of the latest file.
    wxString EntryLabel(std::size_t i) const;

private:
    struct Shown {
        wxMenu* menu;
        wxMenuItem* separator; // the one above the entries, null while there are none
    };
    void Refresh(Shown& shown);
    void RefreshAll();

    // The base's own list of menus stays empty, so its menu code (which
    // appends) has nothing to act on.
    std::vector<Shown> m_menus;
};

} // namespace tarnwick
