// Lists filled from ODBC: the registered data sources, the rows of an open
// recordset as text, and the short names of ODBC codes. Nothing here keeps
// state. The list controls are filled by odbc/data/ui/listcontrols.h.
#pragma once

#include "afx/dbcore.h"

#include <string>
#include <vector>

// Display names of ODBC codes; never null, "" for an unknown code.
const char* GetSQLTypeName(short sqlType);
const char* GetNulableColName(short nullable);
const char* GetColProcTypeName(short columnType);

// One registered data source (user and system odbc.ini).
struct OrvoDataSource {
    std::string name;
    std::string driver; // the driver's description
};

// Every data source the driver manager knows, in its order. false when no
// ODBC environment could be made. An entry whose name or description does
// not fit the buffers is read on, never ending the walk.
bool EnumDataSources(std::vector<OrvoDataSource>& out);

// Whether a driver description is among the filter's names (case ignored);
// a null filter lets every driver through, an empty one none.
bool DriverPassesFilter(const std::vector<std::string>* filter, const std::string& driver);

// The rows from the current one to the end as tab-separated lines, with a
// header line of the column names when withHeader is non-zero. Long and
// binary columns are left out.
void FillChoiceList(CRecordset& rs, std::string& out, int withHeader);

// The header item data FillSelectList keeps per column:
// (display size << 16) | (SQL type & 0xFFFF).
long SelectListColumnData(short sqlType, SQLULEN precision);
// The text FillSelectList writes for column i of the current row, read as
// the SQL type of the header data says.
std::string SelectListCellText(CRecordset& rs, short column, short sqlType);
