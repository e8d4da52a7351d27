// The list controls filled from ODBC; the lists themselves are read by
// odbc/data/core/listfillers.h.
#pragma once

#include "afx/dbcore.h"

#include <string>
#include <vector>

class wxComboBox;
class wxListBox;
class wxListCtrl;

// The data sources whose driver passes the filter (DriverPassesFilter), the
// first one selected; the report list gets a name and a driver column.
// false when no ODBC environment could be made.
bool FillDSNList(wxListBox& list, std::vector<std::string>* driverFilter);
bool FillDSNList(wxComboBox& combo, std::vector<std::string>* driverFilter);
bool FillDSNList(wxListCtrl& list, std::vector<std::string>* driverFilter);

// The rows from the current one into a report list; the columns are made
// anew when resetColumns is set or the list has none. Database exceptions
// pass to the caller.
bool FillSelectList(CRecordset& rs, wxListCtrl& list, bool resetColumns);
