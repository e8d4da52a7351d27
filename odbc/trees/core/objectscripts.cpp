#include "odbc/trees/core/objectscripts.h"
#include "odbc/sql/odbccatalog.h"
#include "odbc/data/core/databaseex.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// Words a bare name cannot be on PostgreSQL or SQLite.
bool IsReservedWord(const std::string& lower)
{
    static const char* const kWords[] = {
        "all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "both", "case", "cast",
        "check", "collate", "column", "constraint", "create", "current_catalog", "current_date", "current_role",
        "current_time", "current_timestamp", "current_user", "default", "deferrable", "delete", "desc", "distinct",
        "do", "drop", "else", "end", "except", "exists", "false", "fetch", "for", "foreign", "from", "grant",
        "group", "having", "in", "index", "initially", "insert", "intersect", "into", "is", "join", "lateral",
        "leading", "limit", "localtime", "localtimestamp", "not", "null", "offset", "on", "only", "or", "order",
        "placing", "primary", "references", "returning", "select", "session_user", "set", "some", "symmetric",
        "table", "then", "to", "trailing", "true", "union", "unique", "update", "user", "using", "values",
        "variadic", "when", "where", "window", "with"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char* w) { return lower == w; });
}

// A name as the engine reads it: bare where a bare name means the same
// object, quoted otherwise. SQL Server's skeletons keep their names as is.
std::string Name(DbEngine engine, const std::string& name)
{
    if (engine == DbEngine::SqlServer || engine == DbEngine::Other || name.empty())
        return name;
    bool bare = !std::isdigit(static_cast<unsigned char>(name[0])) && name[0] != '$';
    std::string lower;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        // PostgreSQL folds only ASCII letters of a bare name to lower case
        // and keeps other letters as they are; SQLite ignores case.
        bool fits = u >= 0x80 || std::islower(u) || std::isdigit(u) || c == '_' ||
                    (engine == DbEngine::Sqlite && std::isupper(u)) || (engine == DbEngine::PostgreSql && c == '$');
        bare = bare && fits;
        lower += static_cast<char>(std::tolower(u));
    }
    return bare && !IsReservedWord(lower) ? name : QuoteIdentifier(name);
}

// "owner.name" with each part written for the engine.
std::string ObjectName(DbEngine engine, const std::string& text)
{
    if (text.find('.') == std::string::npos)
        return Name(engine, text);
    std::string owner, name;
    SplitObjectText(text, owner, name);
    return Name(engine, owner) + "." + Name(engine, name);
}

std::string TypeOf(const ScriptColumn& c)
{
    return TypeWithSize(c.typeName, c.dataType, c.precision);
}

template <class Fn>
std::string Joined(const std::vector<ScriptColumn>& columns, Fn&& part)
{
    std::string out;
    for (const ScriptColumn& c : columns) {
        if (!out.empty())
            out += ", ";
        out += part(c);
    }
    return out;
}

std::vector<ScriptColumn> TableColumns(CDatabaseEx& db, const std::string& database, const std::string& text)
{
    std::string owner, name;
    SplitObjectText(text, owner, name);
    std::vector<ScriptColumn> out;
    CColumns rs(&db);
    rs.Open(database.c_str(), owner.empty() ? nullptr : owner.c_str(), name.c_str(), nullptr, CRecordset::snapshot);
    for (; !rs.IsEOF(); rs.MoveNext())
        out.push_back({rs.m_strColumnName, rs.m_strTypeName, 0, rs.m_nDataType, static_cast<long>(rs.m_lPrecision)});
    return out;
}

std::vector<ScriptColumn> ProcedureColumns(CDatabaseEx& db, const std::string& database, const std::string& text)
{
    std::string owner, name;
    SplitObjectText(text, owner, name);
    std::vector<ScriptColumn> out;
    CProcedureColumns rs(&db);
    rs.Open(database.c_str(), owner.empty() ? nullptr : owner.c_str(), name.c_str(), nullptr, CRecordset::snapshot);
    for (; !rs.IsEOF(); rs.MoveNext())
        out.push_back({rs.m_strColumnName, rs.m_strTypeName, rs.m_nColumnType, rs.m_nDataType,
                       static_cast<long>(rs.m_lPrecision)});
    return out;
}

} // namespace

std::string TypeWithSize(const std::string& typeName, int dataType, long precision)
{
    switch (dataType) {
    case 1: case 12: case -8: case -9: case -2: case -3: {
        if (!typeName.empty() && typeName.back() == ')')
            return typeName;
        char size[32];
        std::snprintf(size, sizeof size, "(%d)", static_cast<int>(precision));
        return typeName + size;
    }
    default: return typeName;
    }
}

void SplitObjectText(const std::string& text, std::string& owner, std::string& name)
{
    std::size_t dot = text.find('.');
    if (dot == std::string::npos) {
        owner.clear();
        name = text;
    } else {
        owner = text.substr(0, dot);
        name = text.substr(dot + 1);
    }
}

std::string SelectScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns)
{
    std::string owner, name;
    SplitObjectText(text, owner, name);
    std::string list = Joined(columns, [&](const ScriptColumn& c) { return Name(engine, c.name); });
    return "SELECT " + (list.empty() ? std::string("*") : list) + " FROM " + Name(engine, database) + "." +
           Name(engine, owner) + "." + Name(engine, name);
}

std::string InsertScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns)
{
    if (columns.empty())
        return std::string();
    return "INSERT INTO " + Name(engine, database) + "." + ObjectName(engine, text) + "(" +
           Joined(columns, [&](const ScriptColumn& c) { return Name(engine, c.name); }) + ")VALUES(" +
           Joined(columns, [](const ScriptColumn& c) { return "<" + c.name + "," + c.typeName + ">"; }) + ")";
}

std::string UpdateScript(DbEngine engine, const std::string& database, const std::string& text,
                         const std::vector<ScriptColumn>& columns)
{
    if (columns.empty())
        return std::string();
    return "UPDATE  " + Name(engine, database) + "." + ObjectName(engine, text) + " SET " +
           Joined(columns,
                  [&](const ScriptColumn& c) { return Name(engine, c.name) + "=<" + c.name + "," + c.typeName + ">"; }) +
           " WHERE <Search conditions,,>";
}

std::string DeleteScript(DbEngine engine, const std::string& database, const std::string& text)
{
    return "DELETE FROM " + Name(engine, database) + "." + ObjectName(engine, text) + " WHERE <Search conditions,,>";
}

std::string ExecuteScript(DbEngine engine, const std::string& database, const std::string& text, int kind,
                          const std::vector<ScriptColumn>& parameters)
{
    std::string object = Name(engine, database) + "." + ObjectName(engine, text);
    auto placeholder = [](const ScriptColumn& c) { return "<" + c.name + "," + TypeOf(c) + ">"; };
    auto argumentsOf = [&](std::initializer_list<int> kinds) {
        std::vector<ScriptColumn> picked;
        for (const ScriptColumn& c : parameters)
            if (std::find(kinds.begin(), kinds.end(), c.columnType) != kinds.end())
                picked.push_back(c);
        return Joined(picked, placeholder);
    };
    if (kind == kNodeFunction)
        return "SELECT " + object + "(" + argumentsOf({1, 2}) + ")";
    if (kind != kNodeProcedure)
        return std::string();
    // PostgreSQL calls a procedure with every argument, its output ones too.
    if (engine == DbEngine::PostgreSql)
        return "CALL " + object + "(" + argumentsOf({1, 2, 4}) + ")";
    std::string call = "-- Set parameter values\nEXEC @RC = " + object + " ";
    std::string declarations = "DECLARE @RC int\n";
    bool first = true;
    for (const ScriptColumn& c : parameters) {
        if (c.columnType != 1 && c.columnType != 2 && c.columnType != 4)
            continue;
        if (!first) {
            call += ", ";
            declarations += "\n";
        }
        first = false;
        declarations += "DECLARE " + c.name + " " + TypeOf(c);
        call += c.name;
        if (c.columnType != 1)
            call += " OUTPUT";
    }
    return declarations + "\n" + call;
}

std::string BuildObjectScript(CDatabaseEx& db, int command, int kind, const std::string& text)
{
    DbEngine engine = EngineOf(db);
    std::string database = db.GetDatabaseName();
    switch (command) {
    case ID_TREEDB_SCRIPT_SELECT:
        if (kind != kNodeTable && kind != kNodeView)
            return std::string();
        return SelectScript(engine, database, text, TableColumns(db, database, text));
    case ID_TREEDB_SCRIPT_INSERT:
        return kind == kNodeTable ? InsertScript(engine, database, text, TableColumns(db, database, text))
                                  : std::string();
    case ID_TREEDB_SCRIPT_UPDATE:
        return kind == kNodeTable ? UpdateScript(engine, database, text, TableColumns(db, database, text))
                                  : std::string();
    case ID_TREEDB_SCRIPT_DELETE: return kind == kNodeTable ? DeleteScript(engine, database, text) : std::string();
    case ID_TREEDB_SCRIPT_EXECUTE:
        if (kind != kNodeProcedure && kind != kNodeFunction)
            return std::string();
        return ExecuteScript(engine, database, text, kind, ProcedureColumns(db, database, text));
    default: return std::string();
    }
}

std::string DragTextOf(int kind, const std::string& text, const std::vector<std::string>& childTexts)
{
    if (kind == kNodeFolder) {
        std::string out;
        for (const std::string& child : childTexts) {
            if (!out.empty())
                out += ", ";
            out += child.substr(0, child.find('('));
        }
        return out;
    }
    return text.substr(0, text.find_first_of(" \t\r\n;({,"));
}
