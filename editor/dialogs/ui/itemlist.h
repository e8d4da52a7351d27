// A combo box, choice or list box seen as the fills' item list; item data
// travels as the item's client data.
#pragma once

#include "editor/app/core/dbutil.h"

#include <wx/ctrlsub.h>

#include <cstdint>
#include <vector>

namespace tarnwick {

class CWxItemList : public IItemList {
public:
    explicit CWxItemList(wxItemContainer& items) : m_items(items) {}
    void ResetContent() override { m_items.Clear(); }
    int AddString(const std::string& text) override { return m_items.Append(wxString::FromUTF8(text)); }
    void SetItemData(int index, std::uint32_t data) override
    {
        m_items.SetClientData(static_cast<unsigned>(index), reinterpret_cast<void*>(static_cast<std::uintptr_t>(data)));
    }
    void SetCurSel(int index) override { m_items.SetSelection(index); }
    int GetCount() const override { return static_cast<int>(m_items.GetCount()); }

    static std::uint32_t ItemData(const wxItemContainer& items, int index)
    {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(items.GetClientData(static_cast<unsigned>(index))));
    }

private:
    wxItemContainer& m_items;
};

} // namespace tarnwick
