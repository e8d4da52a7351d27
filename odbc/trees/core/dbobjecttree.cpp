#include "odbc/trees/core/dbobjecttree.h"
#include "odbc/sql/odbccatalog.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/sql/dialect.h"
#include "odbc/data/core/listfillers.h"
#include "odbc/data/core/messages.h"
#include "odbc/sql/userqueries.h"

#include "winapi/text.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

const char* const kUserTables = "User Tables";
const char* const kSystemTables = "System Tables";
const char* const kViews = "Views";
const char* const kProcedures = "Stored Procedures";
const char* const kFunctions = "User Functions";

// "owner.name", or the bare name where the server has no owners.
std::string OwnedName(const std::string& owner, const std::string& name)
{
    return owner.empty() ? name : owner + "." + name;
}

const char* OrNull(const std::string& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

CDBTreeNode* CDBTreeNode::Add(int nodeKind, const std::string& nodeText, int selected)
{
    auto node = std::make_unique<CDBTreeNode>();
    node->kind = nodeKind;
    node->selectedKind = selected < 0 ? nodeKind : selected;
    node->text = nodeText;
    node->parent = this;
    children.push_back(std::move(node));
    return children.back().get();
}

CDBTreeNode* CDBTreeNode::NextSibling() const
{
    if (parent == nullptr)
        return nullptr;
    auto& list = parent->children;
    for (std::size_t i = 0; i + 1 < list.size(); ++i)
        if (list[i].get() == this)
            return list[i + 1].get();
    return nullptr;
}

CDBTreeNode* CDBTreeNode::PrevSibling() const
{
    if (parent == nullptr)
        return nullptr;
    auto& list = parent->children;
    for (std::size_t i = 1; i < list.size(); ++i)
        if (list[i].get() == this)
            return list[i - 1].get();
    return nullptr;
}

CTreeDBFindSettings& TreeDBFindSettings()
{
    static CTreeDBFindSettings settings;
    return settings;
}

bool CTreeDBObjectsModel::IsConnected() const
{
    return m_db != nullptr && m_db->IsOpen();
}

void CTreeDBObjectsModel::Clear()
{
    m_root.reset();
}

void CTreeDBObjectsModel::Populate(CDatabaseEx* db)
{
    Clear();
    m_db = db;
    if (!IsConnected())
        return;
    m_root = std::make_unique<CDBTreeNode>();
    try {
        std::string server;
        m_db->GetServerName(server);
        m_root->kind = m_root->selectedKind = kNodeServer;
        m_root->text = server;
        m_catalog = m_db->GetDatabaseName();
        CDBTreeNode* database = m_root->Add(kNodeDatabase, m_catalog);
        PopulateOwners(database);
        PopulateTypesAndPrincipals(database);
    } catch (const CDBException& e) {
        OrvoMessageBox(e.m_strError, MB_OK | MB_ICONERROR);
    }
}

void CTreeDBObjectsModel::PopulateOwners(CDBTreeNode* database)
{
    // Schemas are PostgreSQL's owners, as they are SQL Server's.
    DbEngine engine = EngineOf(*m_db);
    bool owners = engine == DbEngine::SqlServer || engine == DbEngine::PostgreSql;
    const std::pair<const char*, eObjectDBType> folders[] = {{kUserTables, eUserTable},
                                                             {kSystemTables, eSystemTable},
                                                             {kViews, eView},
                                                             {kProcedures, eStoredProcedure},
                                                             {kFunctions, eScalarFunction}};
    for (auto [name, objectKind] : folders) {
        CDBTreeNode* folder = database->Add(kNodeFolder, name);
        std::vector<std::string> list;
        if (owners) {
            ++m_catalogQueries;
            GetListOwnerNames(m_db, list, objectKind);
        } else {
            list.emplace_back();
        }
        for (const std::string& owner : list)
            folder->Add(kNodeOwner, owner)->hasChildrenMark = true;
    }
}

std::vector<std::string> CTreeDBObjectsModel::TextColumn(const std::string& sql)
{
    std::vector<std::string> out;
    ++m_catalogQueries;
    CRecordset rs(m_db);
    rs.Open(CRecordset::forwardOnly, sql.c_str(), CRecordset::readOnly);
    for (; !rs.IsEOF(); rs.MoveNext()) {
        std::string value;
        rs.GetFieldValue(short{0}, value);
        out.push_back(value);
    }
    return out;
}

void CTreeDBObjectsModel::PopulateTypesAndPrincipals(CDBTreeNode* database)
{
    DbEngine engine = EngineOf(*m_db);
    if (engine != DbEngine::SqlServer && engine != DbEngine::PostgreSql) {
        CDBTreeNode* folder = database->Add(kNodeFolder, "Defined Data Types");
        ++m_catalogQueries;
        CGetTypeInfo types(m_db);
        types.Open(SQL_ALL_TYPES, CRecordset::snapshot);
        for (; !types.IsEOF(); types.MoveNext())
            folder->Add(kNodeDataType, types.m_strTypeName);
        return;
    }
    for (bool user : {true, false}) {
        CDBTreeNode* folder = database->Add(kNodeFolder, user ? "User Defined Data Types" : "System Data Types");
        for (const std::string& name : TextColumn(DataTypeNamesQuery(*m_db, user)))
            folder->Add(kNodeDataType, name);
    }
    std::vector<std::string> list;
    CDBTreeNode* users = database->Add(kNodeFolder, "Users");
    ++m_catalogQueries;
    GetListUsersDB(m_db, list);
    for (const std::string& name : list)
        users->Add(kNodeUser, name);
    for (bool application : {false, true}) {
        CDBTreeNode* roles = database->Add(kNodeFolder, application ? "Application roles" : "Roles");
        list.clear();
        ++m_catalogQueries;
        GetListRolesDB(m_db, list, application);
        for (const std::string& name : list)
            roles->Add(kNodeRole, name);
    }
}

void CTreeDBObjectsModel::Collapse(CDBTreeNode* node)
{
    if (node != nullptr && (node->kind == kNodeFolder || node->kind == kNodeFolderOpen))
        node->kind = kNodeFolder;
}

void CTreeDBObjectsModel::Expand(CDBTreeNode* node)
{
    if (node == nullptr || !IsConnected())
        return;
    try {
        switch (node->kind) {
        case kNodeFolder:
        case kNodeFolderOpen: node->kind = kNodeFolderOpen; break;
        case kNodeOwner:
            if (node->children.empty())
                ExpandOwner(node);
            break;
        case kNodeTable:
        case kNodeView:
            if (node->children.empty())
                ExpandTable(node);
            break;
        case kNodeProcedure:
        case kNodeFunction:
            if (node->children.empty())
                ExpandRoutine(node);
            break;
        default: break;
        }
    } catch (const CDBException& e) {
        OrvoMessageBox(e.m_strError, MB_OK | MB_ICONERROR);
    }
}

void CTreeDBObjectsModel::ExpandOwner(CDBTreeNode* owner)
{
    const std::string folder = owner->parent != nullptr ? owner->parent->text : std::string();
    const char* ownerArg = OrNull(owner->text);
    std::size_t before = owner->children.size();
    auto tables = [&](const char* type, int kind) {
        ++m_catalogQueries;
        CTables rs(m_db);
        rs.Open(m_catalog.c_str(), ownerArg, nullptr, type, CRecordset::snapshot);
        for (; !rs.IsEOF(); rs.MoveNext())
            owner->Add(kind, OwnedName(rs.m_strTableOwner, rs.m_strTableName))->hasChildrenMark = true;
    };
    if (folder == kUserTables) {
        tables("'TABLE'", kNodeTable);
    } else if (folder == kSystemTables) {
        tables("'SYSTEM TABLE'", kNodeTable);
    } else if (folder == kViews) {
        tables("'VIEW'", kNodeView);
    } else if (folder == kProcedures || folder == kFunctions) {
        int wanted = folder == kProcedures ? 1 : 0;
        // psqlODBC reports every routine as a function (2): PostgreSQL's
        // own catalog tells procedures from functions.
        std::map<std::string, char> pgKinds;
        bool pg = EngineOf(*m_db) == DbEngine::PostgreSql;
        if (pg) {
            ++m_catalogQueries;
            CRecordset kinds(m_db);
            kinds.Open(CRecordset::forwardOnly, RoutineKindsQuery(owner->text).c_str(), CRecordset::readOnly);
            for (; !kinds.IsEOF(); kinds.MoveNext()) {
                std::string name, kind;
                kinds.GetFieldValue(short{0}, name);
                kinds.GetFieldValue(short{1}, kind);
                pgKinds[name] = kind.empty() ? ' ' : kind[0];
            }
        }
        ++m_catalogQueries;
        CProcedures rs(m_db);
        rs.Open(m_catalog.c_str(), ownerArg, nullptr, CRecordset::snapshot);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            std::string name = rs.m_strProcedureName;
            std::size_t semicolon = name.find(';');
            int kind = rs.m_nProcedureType;
            if (pg) {
                auto found = pgKinds.find(name);
                char k = found == pgKinds.end() ? ' ' : found->second;
                kind = k == 'p' ? 1 : k == 'f' ? 0 : -2;
            } else if (kind == -1 && semicolon != std::string::npos) {
                kind = std::atoi(name.c_str() + semicolon + 1);
            }
            if (kind != wanted)
                continue;
            owner->Add(wanted == 1 ? kNodeProcedure : kNodeFunction,
                       OwnedName(rs.m_strProcedureOwner, name.substr(0, semicolon)))
                ->hasChildrenMark = true;
        }
    }
    if (owner->children.size() == before)
        owner->hasChildrenMark = false;
}

void CTreeDBObjectsModel::ExpandTable(CDBTreeNode* table)
{
    std::string owner, name;
    SplitObjectText(table->text, owner, name);
    const char* ownerArg = OrNull(owner);
    const char* catalog = m_catalog.c_str();
    CDBTreeNode* columns = table->Add(kNodeFolder, "Columns", kNodeFolderOpen);
    {
        ++m_catalogQueries;
        CColumns rs(m_db);
        rs.Open(catalog, ownerArg, name.c_str(), nullptr, CRecordset::snapshot);
        for (; !rs.IsEOF(); rs.MoveNext())
            columns->Add(kNodeColumn, rs.m_strColumnName + " (" + TypeWithSize(rs.m_strTypeName, rs.m_nDataType, rs.m_lPrecision) +
                                          "," + GetNulableColName(static_cast<short>(rs.m_nNullable)) + ")");
    }
    if (table->kind != kNodeTable)
        return;
    CDBTreeNode* indexes = table->Add(kNodeFolder, "Indexes", kNodeFolderOpen);
    {
        ++m_catalogQueries;
        CStatistics rs(m_db);
        rs.Open(catalog, ownerArg, name.c_str(), SQL_INDEX_ALL, SQL_ENSURE, CRecordset::snapshot);
        std::set<std::string> seen;
        for (; !rs.IsEOF(); rs.MoveNext())
            if (!rs.m_strIndexName.empty() && seen.insert(rs.m_strIndexName).second)
                indexes->Add(kNodeIndex, rs.m_strIndexName);
    }
    CDBTreeNode* constraints = table->Add(kNodeFolder, "Constraints", kNodeFolderOpen);
    {
        ++m_catalogQueries;
        CPrimaryKeys rs(m_db);
        rs.Open(catalog, ownerArg, name.c_str(), CRecordset::snapshot);
        std::set<std::string> seen;
        for (; !rs.IsEOF(); rs.MoveNext())
            if (seen.insert(rs.m_strPkName).second)
                constraints->Add(kNodeConstraint, OwnedName(rs.m_strTableOwner, rs.m_strPkName) + " (primary key)");
    }
    // Keys of this table that point at others, then those pointing here.
    std::vector<std::pair<std::string, std::string>> referencing, referenced;
    {
        ++m_catalogQueries;
        CForeignKeys rs(m_db);
        rs.Open(nullptr, nullptr, nullptr, catalog, ownerArg, name.c_str(), CRecordset::snapshot);
        std::set<std::string> seen;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            if (seen.insert(rs.m_strFkName).second)
                constraints->Add(kNodeConstraint, OwnedName(rs.m_strFkTableOwner, rs.m_strFkName) + " (foreign key)");
            referenced.emplace_back(rs.m_strPkTableOwner, rs.m_strPkTableName);
        }
    }
    CDBTreeNode* dependencies = table->Add(kNodeFolder, "Dependencies", kNodeFolderOpen);
    {
        ++m_catalogQueries;
        CForeignKeys rs(m_db);
        rs.Open(catalog, ownerArg, name.c_str(), nullptr, nullptr, nullptr, CRecordset::snapshot);
        for (; !rs.IsEOF(); rs.MoveNext())
            dependencies->Add(kNodeReferencedBy, OwnedName(rs.m_strFkTableOwner, rs.m_strFkTableName));
    }
    // The same rows the constraints came from: one catalog query less.
    for (const auto& [pkOwner, pkTable] : referenced)
        dependencies->Add(kNodeReferences, OwnedName(pkOwner, pkTable));
}

void CTreeDBObjectsModel::ExpandRoutine(CDBTreeNode* routine)
{
    std::string owner, name;
    SplitObjectText(routine->text, owner, name);
    CDBTreeNode* parameters = routine->Add(kNodeFolder, "Parameters", kNodeFolderOpen);
    ++m_catalogQueries;
    CProcedureColumns rs(m_db);
    rs.Open(m_catalog.c_str(), OrNull(owner), name.c_str(), nullptr, CRecordset::snapshot);
    for (; !rs.IsEOF(); rs.MoveNext())
        parameters->Add(kNodeParameter, rs.m_strColumnName + " (" +
                                            TypeWithSize(rs.m_strTypeName, rs.m_nDataType, rs.m_lPrecision) + "," +
                                            GetColProcTypeName(static_cast<short>(rs.m_nColumnType)) + "," +
                                            GetNulableColName(static_cast<short>(rs.m_nNullable)) + ")");
}

bool CTreeDBObjectsModel::IsCommandEnabled(int command, const CDBTreeNode* selected) const
{
    int kind = selected != nullptr ? selected->kind : -1;
    switch (command) {
    case ID_TREEDB_REFRESH: return true;
    case ID_TREEDB_SCRIPT_SELECT: return IsConnected() && (kind == kNodeTable || kind == kNodeView);
    case ID_TREEDB_SCRIPT_INSERT:
    case ID_TREEDB_SCRIPT_UPDATE:
    case ID_TREEDB_SCRIPT_DELETE: return IsConnected() && kind == kNodeTable;
    case ID_TREEDB_SCRIPT_EXECUTE: return IsConnected() && (kind == kNodeProcedure || kind == kNodeFunction);
    case ID_TREEDB_FIND:
    case ID_TREEDB_NEXT:
        return (kind >= 1 && kind <= 8) || (kind >= 10 && kind <= 13) || (kind >= 18 && kind <= 23);
    default: return false;
    }
}

CDBTreeNode* CTreeDBObjectsModel::Search(CDBTreeNode* selected, const CTreeDBFindSettings& find,
                                         const std::function<void(CDBTreeNode*)>& expandFolder)
{
    if (find.text.empty() || selected == nullptr)
        return nullptr;
    auto notFound = [] {
        OrvoMessageBox("Значение не найдено!", MB_OK, std::string(), winapi::UiLanguage::Russian);
        return nullptr;
    };
    CDBTreeNode* candidate = nullptr;
    bool down = find.searchDown;
    switch (selected->kind) {
    case kNodeDatabase:
    case kNodeServer: return nullptr;
    case kNodeFolder:
        if (expandFolder)
            expandFolder(selected);
        else
            Expand(selected);
        [[fallthrough]];
    case kNodeFolderOpen:
        if (selected->children.empty())
            return nullptr;
        candidate = selected->children.front().get();
        down = true;
        break;
    default:
        if ((selected->kind >= 14 && selected->kind <= 17) || selected->kind > kNodeOwner)
            return notFound();
        candidate = down ? selected->NextSibling() : selected->PrevSibling();
        break;
    }
    std::string needle = find.matchCase ? find.text : winapi::Utf8Lower(find.text);
    for (; candidate != nullptr; candidate = down ? candidate->NextSibling() : candidate->PrevSibling()) {
        bool match;
        if (find.wholeWord)
            match = find.matchCase ? candidate->text == find.text : winapi::Utf8EqualNoCase(candidate->text, find.text);
        else
            match = (find.matchCase ? candidate->text : winapi::Utf8Lower(candidate->text)).find(needle) !=
                    std::string::npos;
        if (match)
            return candidate;
    }
    return notFound();
}
