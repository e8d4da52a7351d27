// Script skeletons for the objects of a database-object tree; the clipboard
// and drag-and-drop of them are in odbc/trees/ui/objectclipboard.h.
#pragma once

#include "odbc/sql/dialect.h"

#include <string>
#include <vector>

class CDatabaseEx;

// The commands of the object tree.
enum : int {
    ID_TREEDB_REFRESH = 32772,
    ID_TREEDB_SCRIPT_SELECT = 32773,
    ID_TREEDB_SCRIPT_INSERT = 32774,
    ID_TREEDB_SCRIPT_UPDATE = 32775,
    ID_TREEDB_SCRIPT_DELETE = 32776,
    ID_TREEDB_SCRIPT_EXECUTE = 32777,
    ID_TREEDB_NEXT = 32778,
    ID_TREEDB_FIND = 57636, // the class library's find command
};

// Node kinds of the tree: the image index of the node.
enum TreeDBNodeKind : int {
    kNodeDatabase = 0,
    kNodeColumn = 1,
    kNodeTable = 2,
    kNodeFolderOpen = 3,
    kNodeFolder = 4,
    kNodeIndex = 5,
    kNodeReferencedBy = 7,
    kNodeParameter = 8,
    kNodeServer = 9,
    kNodeView = 10,
    kNodeProcedure = 11,
    kNodeFunction = 12,
    kNodeConstraint = 13,
    kNodeReferences = 18,
    kNodeDataType = 20,
    kNodeUser = 21,
    kNodeRole = 22,
    kNodeOwner = 23,
    kNodeKindCount = 24,
};

// One column of a table or one column of a procedure, as the catalog gives it.
struct ScriptColumn {
    std::string name;
    std::string typeName;
    int columnType = 0; // procedure columns: 1 in, 2 in/out, 4 out, 5 return value, 3 result
    int dataType = 0;
    long precision = 0;
};

// A type name with its size "(n)" for the character and binary types,
// unless the driver's name carries its size already ("VARCHAR(10)").
std::string TypeWithSize(const std::string& typeName, int dataType, long precision);

// "owner.name" split at the first '.'; no '.' gives an empty owner.
void SplitObjectText(const std::string& text, std::string& owner, std::string& name);

// The texts of the script commands for the object `text` ("owner.name") of
// the database `database`; names are written as the engine needs them.
// Insert and Update give "" for a table without columns.
std::string SelectScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns);
std::string InsertScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns);
std::string UpdateScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns);
std::string DeleteScript(DbEngine engine, const std::string& database, const std::string& text);
// A call of a stored procedure (kNodeProcedure) or a function (kNodeFunction).
std::string ExecuteScript(DbEngine engine, const std::string& database, const std::string& text, int kind,
                          const std::vector<ScriptColumn>& parameters);

// The script of a command for a node, reading the columns from the catalog
// of the connection. "" when the command gives nothing for the node. A
// database exception passes to the caller.
std::string BuildObjectScript(CDatabaseEx& db, int command, int kind, const std::string& text);

// What dragging a node hands on: a closed folder its children's names, any
// other node its own name.
std::string DragTextOf(int kind, const std::string& text, const std::vector<std::string>& childTexts);
