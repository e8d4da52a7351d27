// The list controls filled from ODBC: the data sources into a list box,
// combo box or report list, and the rows of a recordset into a report list.
#include "odbc/data/ui/listcontrols.h"
#include "odbc/data/core/listfillers.h"
#include "odbc/data/core/messages.h"

#include <wx/combobox.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/utils.h>

#include <algorithm>

namespace {

template <class Control>
bool FillNamesInto(Control& control, std::vector<std::string>* driverFilter)
{
    control.Clear();
    std::vector<OrvoDataSource> sources;
    wxBusyCursor wait;
    if (!EnumDataSources(sources))
        return false;
    for (const OrvoDataSource& source : sources)
        if (DriverPassesFilter(driverFilter, source.driver))
            control.Append(wxString::FromUTF8(source.name));
    if (control.GetCount() > 0)
        control.SetSelection(0);
    return true;
}

// The width of a column whose caption is `caption`: half again its text.
int CaptionWidth(wxListCtrl& list, const wxString& caption)
{
    return list.GetTextExtent(caption).x * 3 / 2;
}

// The header item data of FillSelectList, which wx has no slot for.
class SelectListColumns : public wxClientData {
public:
    std::vector<long> data;
};

} // namespace

bool FillDSNList(wxListBox& list, std::vector<std::string>* driverFilter)
{
    return FillNamesInto(list, driverFilter);
}

bool FillDSNList(wxComboBox& combo, std::vector<std::string>* driverFilter)
{
    return FillNamesInto(combo, driverFilter);
}

bool FillDSNList(wxListCtrl& list, std::vector<std::string>* driverFilter)
{
    wxBusyCursor wait;
    list.DeleteAllItems();
    list.DeleteAllColumns();
    for (unsigned id : {IDS_DSN_NAME_COLUMN, IDS_DSN_DRIVER_COLUMN}) {
        wxString caption = wxString::FromUTF8(LoadOrvoString(id));
        list.AppendColumn(caption, wxLIST_FORMAT_LEFT, CaptionWidth(list, caption));
    }
    std::vector<OrvoDataSource> sources;
    if (!EnumDataSources(sources))
        return false;
    for (const OrvoDataSource& source : sources) {
        if (!DriverPassesFilter(driverFilter, source.driver))
            continue;
        long row = list.InsertItem(list.GetItemCount(), wxString::FromUTF8(source.name));
        list.SetItem(row, 1, wxString::FromUTF8(source.driver));
    }
    if (list.GetItemCount() > 0)
        list.SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    return true;
}

bool FillSelectList(CRecordset& rs, wxListCtrl& list, bool resetColumns)
{
    list.DeleteAllItems();
    int columns = list.GetColumnCount();
    short n = rs.GetODBCFieldCount();
    auto* store = dynamic_cast<SelectListColumns*>(list.GetClientObject());
    if (store == nullptr) {
        store = new SelectListColumns;
        list.SetClientObject(store);
    }
    if (resetColumns || columns < 1) {
        list.DeleteAllColumns();
        for (short i = 0; i < n; ++i) {
            CODBCFieldInfo info;
            rs.GetODBCFieldInfo(i, info);
            wxString caption = info.m_strName.empty() ? wxString("No name") : wxString::FromUTF8(info.m_strName);
            bool left = false;
            switch (info.m_nSQLType) {
            case 1: case 12: case -1: case -2: case -3: case -4: case -8: case -9: case -11: left = true; break;
            default: break;
            }
            int width = caption.length() < 5 ? 30 : CaptionWidth(list, caption);
            list.InsertColumn(i, caption, left ? wxLIST_FORMAT_LEFT : wxLIST_FORMAT_RIGHT, width);
        }
        columns = list.GetColumnCount();
    }
    int used = std::min<int>(n, columns);
    store->data.assign(static_cast<std::size_t>(used), 0);
    for (short i = 0; i < used; ++i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        store->data[static_cast<std::size_t>(i)] = SelectListColumnData(info.m_nSQLType, info.m_nPrecision);
    }
    long row = 0;
    for (; !rs.IsEOF(); ++row) {
        for (short i = 0; i < used; ++i) {
            auto type = static_cast<short>(store->data[static_cast<std::size_t>(i)] & 0xFFFF);
            wxString text = wxString::FromUTF8(SelectListCellText(rs, i, type));
            if (i == 0)
                list.InsertItem(row, text);
            else
                list.SetItem(row, i, text);
        }
        rs.MoveNext();
    }
    if (row > 0)
        list.SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    return true;
}
