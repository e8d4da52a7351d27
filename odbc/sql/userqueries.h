// Questions about the users, roles, collations and programmable objects of
// the database behind a connection.
#pragma once

#include "afx/dbcore.h"

#include <string>
#include <vector>

class CDatabaseEx;

enum eObjectDBType {
    eUserTable = 0,
    eView = 1,
    eSystemTable = 2,
    eStoredProcedure = 3,
    eScalarFunction = 4,
    eTrigger = 5,
};

// The type code of a kind ("U", "V", "S", "P", "FN", "TR"); null for others.
const char* ObjectTypeCode(eObjectDBType kind);

bool GetListUsersDB(CDatabase* db, std::vector<std::string>& out);
bool GetListRolesDB(CDatabase* db, std::vector<std::string>& out, bool applicationRoles);
bool GetListRolememberDB(CDatabase* db, std::vector<std::string>& out, const char* role);
bool GetListUserRolesDB(CDatabase* db, std::vector<std::string>& out, const char* user, bool flag);
bool GetListOwnerNames(CDatabase* db, std::vector<std::string>& out, eObjectDBType kind);
std::string GetDBCollateName(CDatabase* db);
std::string GetServerCollateName(CDatabase* db);
long GetMaxDataLengthField(CDatabase* db, const char* table, const char* field);
long GetMaxRecordCount(CDatabase* db, const char* table);
bool GetUserScript(CDatabaseEx* db, eObjectDBType kind, const char* name, std::string& out);
bool IsCursorType(void* hstmt, DWORD cursorType);
