// Export of a recordset's rows to a DBF table file.
#pragma once

#include "afx/dbcore.h"
#include "odbc/dbf/dbffile.h"
#include "odbc/data/core/odbcrecord.h"
#include "odbc/data/core/values.h"

// Appends one descriptor a result column, laid out from record offset 1.
// Gives false at the first column whose type has no DBF field; the
// descriptors made so far stay in fields.
bool ConvertODBCtoDBF(const CODBCFieldInfo* infos, unsigned short count, CFieldDBFArray& fields);
bool ConvertODBCtoDBF(const CODBCFieldInfo* infos, unsigned short count,
                      CDBTypedPtrArrayEx<CFieldDBF*>& fields);

// CreateDBFile over the library's owning array.
bool CreateDBFile(const char* path, CDBTypedPtrArrayEx<CFieldDBF*>& fields);

// Creates the file for the recordset's columns and copies every row from the
// current one to the end into it, reading each column through the
// recordset's typed reads; a NULL becomes a blank field. Gives false when a
// column has no DBF field (before any file is made), when the file cannot be
// made or written, and when a value does not fit its field. Database errors
// are thrown on, after the file is closed.
bool CopyODBCtoDBF(const char* path, CODBCRecord& rs);
