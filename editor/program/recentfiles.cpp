#include "editor/program/recentfiles.h"

#include <wx/filename.h>
#include <wx/menu.h>

#include <algorithm>

namespace tarnwick {

CRecentFileList::CRecentFileList(std::size_t maxFiles) : wxFileHistory(maxFiles) {}

void CRecentFileList::AddFileToHistory(const wxString& file)
{
    wxFileHistory::AddFileToHistory(file);
    RefreshAll();
}

void CRecentFileList::RemoveFileFromHistory(std::size_t i)
{
    wxFileHistory::RemoveFileFromHistory(i);
    RefreshAll();
}

void CRecentFileList::UseMenu(wxMenu* menu)
{
    if (!menu)
        return;
    if (std::none_of(m_menus.begin(), m_menus.end(), [menu](const Shown& s) { return s.menu == menu; }))
        m_menus.push_back({menu, nullptr});
}

void CRecentFileList::RemoveMenu(wxMenu* menu)
{
    m_menus.erase(std::remove_if(m_menus.begin(), m_menus.end(), [menu](const Shown& s) { return s.menu == menu; }),
                  m_menus.end());
}

void CRecentFileList::AddFilesToMenu() { RefreshAll(); }

void CRecentFileList::AddFilesToMenu(wxMenu* menu)
{
    UseMenu(menu);
    for (Shown& shown : m_menus)
        if (shown.menu == menu)
            Refresh(shown);
}

void CRecentFileList::Load(const wxConfigBase& config)
{
    wxFileHistory::Load(config);
    RefreshAll();
}

wxString CRecentFileList::EntryLabel(std::size_t i) const
{
    const wxFileName file(GetHistoryFile(i));
    const wxString latestFolder = wxFileName(GetHistoryFile(0)).GetPath();
    wxString shown = file.GetPath() == latestFolder ? file.GetFullName() : file.GetFullPath();
    shown.Replace("&", "&&");
    return wxString::Format("&%d %s", static_cast<int>(i + 1), shown);
}

void CRecentFileList::RefreshAll()
{
    for (Shown& shown : m_menus)
        Refresh(shown);
}

void CRecentFileList::Refresh(Shown& shown)
{
    wxMenu* menu = shown.menu;
    for (int i = 0; i < GetMaxFiles(); ++i)
        if (wxMenuItem* entry = menu->FindChildItem(GetBaseId() + i))
            menu->Destroy(entry);
    if (shown.separator) {
        menu->Destroy(shown.separator);
        shown.separator = nullptr;
    }
    if (GetCount() == 0)
        return;
    // Above the separator over Exit; at the end in a menu without Exit.
    std::size_t at = menu->GetMenuItemCount();
    std::size_t exitAt = 0;
    if (menu->FindChildItem(wxID_EXIT, &exitAt)) {
        at = exitAt;
        if (at > 0 && menu->FindItemByPosition(at - 1)->IsSeparator())
            --at;
    }
    if (at > 0)
        shown.separator = menu->InsertSeparator(at++);
    for (std::size_t i = 0; i < GetCount(); ++i)
        menu->Insert(at++, GetBaseId() + static_cast<int>(i), EntryLabel(i));
}

} // namespace tarnwick
