// The state of a dialog page without its window: per control its items,
// selection, check, text and whether it is enabled or shown. A page's logic
// works on this state; the window only shows it and reports the user's
// changes back (pagewindow.h).
#pragma once

#include "editor/app/core/dbutil.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnwick {

struct ControlState {
    bool enabled = true;
    bool shown = true;
    bool checked = false;
    // The edit text of a combo box with an edit, of an edit or a static.
    std::string text;
    std::vector<std::string> items;
    std::vector<std::int32_t> data;
    int selection = -1;
    // A sorted list keeps its items in the order the user sees.
    bool sorted = false;
    // A static that shows a value (its text), not a fixed label.
    bool showsValue = false;

    int GetCount() const { return static_cast<int>(items.size()); }
    bool HasSelection() const { return selection >= 0 && selection < GetCount(); }
    // The item data of the selection, or def without one.
    std::int32_t SelectedData(std::int32_t def) const;
    std::string SelectedText() const;
    // Selects the first item whose data equals value; none when no item has it.
    void SelectData(std::int32_t value);
    int FindText(const std::string& text) const;
    void Clear();
};

// A control's items as the list fills see them: sorted lists insert where
// the item belongs, and the selection stays on its item.
class ControlItems : public IItemList {
public:
    explicit ControlItems(ControlState& control) : m_control(control) {}
    void ResetContent() override { m_control.Clear(); }
    int AddString(const std::string& text) override;
    void SetItemData(int index, std::uint32_t data) override;
    void SetCurSel(int index) override { m_control.selection = index; }
    int GetCount() const override { return m_control.GetCount(); }

private:
    ControlState& m_control;
};

// The page's logic. Ids are the template's control ids.
class CPageModel {
public:
    virtual ~CPageModel() = default;

    ControlState& Control(int id) { return m_controls[id]; }
    const std::map<int, ControlState>& Controls() const { return m_controls; }
    bool Checked(int id) { return Control(id).checked; }
    void Check(int id, bool on) { Control(id).checked = on; }
    void Enable(int id, bool on) { Control(id).enabled = on; }

    // The first time the page is shown. Sets EndRequested to cancel the
    // whole sheet.
    virtual void Init() {}
    // The user changed control id; its state already holds the new value.
    virtual void OnCommand(int id) {}
    // Leaving the page or confirming: false keeps the page (the refusal has
    // been shown).
    virtual bool Validate() { return true; }
    // Confirmation; false keeps the sheet open.
    virtual bool Apply() { return true; }

    bool Modified = false;
    bool EndRequested = false;
    // Set by Apply when it changed the element.
    bool ChangedElement = false;

protected:
    void SetModified() { Modified = true; }
    // Reads edit id as a whole number within [min, max]; refuses otherwise
    // with the range message.
    bool ReadInt(int id, int min, int max, int& value);

private:
    std::map<int, ControlState> m_controls;
};

// The refusal of a number outside its range. Own wording.
std::string RangeMessage(int min, int max);

} // namespace tarnwick
