// For tests of the class library's database classes.
#pragma once

#include "afx/dbcore.h"

#include <string>

namespace kelm::test {

// One value of the first row as text; empty when there is no row.
inline std::string Scalar(CDatabase& db, const std::string& sql)
{
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.c_str(), CRecordset::readOnly);
    std::string value;
    if (!rs.IsEOF())
        rs.GetFieldValue(0, value);
    rs.Close();
    return value;
}

} // namespace kelm::test
