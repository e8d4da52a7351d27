#include "installer/commands/commander.h"

#include "installer/commands/scriptlist.h"
#include "installer/common/utils.h"
#include "installer/packed/exceptions.h"
#include "dmo/names.h"
#include "dmo/objects.h"
#include "dmo/quote.h"
#include "dmo/tables.h"
#include "winapi/files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

namespace dorvik {

namespace {

// User functions, one row per name and schema (the overloads go together).
const char* const kFunctionsQuery =
    "SELECT DISTINCT p.proname AS \"Name\", n.nspname AS \"Owner\", 'FN' AS \"Type\" FROM pg_proc p "
    "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE p.prokind = 'f' "
    "AND n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_%' "
    "AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.classid = 'pg_proc'::regclass AND d.objid = p.oid "
    "AND d.deptype = 'e') ORDER BY 3, 1";

const int kKindIds[] = {res::IDS_KIND_TABLE, res::IDS_KIND_VIEW, res::IDS_KIND_PROCEDURE, res::IDS_KIND_FUNCTION};

void EraseAll(std::string& text, const std::string& what)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

// One object of a kind as the walk sees it.
struct PermissionObject {
    bool system = false;
    std::string fullName;
    std::function<std::string()> script;
    std::function<std::string()> grantAllToPublic;
};

template <class T>
PermissionObject Describe(const std::shared_ptr<T>& object, bool system)
{
    return {system, object->QualifiedName(), [object] { return object->Script(dmo::kScriptPermissions, 16); },
            [object] { return object->ScriptGrantAllToPublic(); }};
}

// A saved name as PostgreSQL reads it, in the form the walk writes names
// ("schema"."name"): parts the file wrote unquoted fold to lower case,
// quoted parts keep their case. A name that does not parse stays as it is.
std::string SavedObjectName(const std::string& text)
{
    std::string folded;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        folded += !quoted && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    try {
        dmo::ObjectName name = dmo::ParseObjectName(folded);
        return dmo::QuoteQualified(name.schema, name.name);
    } catch (const dmo::Error&) {
        return text;
    }
}

// Written beside the old file and moved over it only when whole.
void SaveReplacing(const CScriptList& list, const std::string& path)
{
    const bool replaced = winapi::AtomicReplaceFile(path, [&list](const std::string& temporary, int) {
        list.Save(temporary);
        return true;
    });
    if (!replaced)
        CFileException::ThrowErrno(errno, path);
}

} // namespace

int CCommander::ProcessPermissions(dmo::SQLServer* server, const std::string& database, const std::string& file,
                                   bool save, bool tables, bool views, bool procedures, bool deleteFile,
                                   bool grantToPublic, bool functions)
{
    if (!tables && !views && !procedures && !functions)
        return 0;
    int language = m_run.Language();
    if (m_pProgress) {
        m_pProgress->ShowThirdLine(true);
        m_pProgress->SetLineText(2, res::LoadString(res::IDS_REFRESH_DATABASE_INFO, language));
    }
    struct HideLine {
        IProgress* progress;
        ~HideLine()
        {
            if (progress)
                progress->ShowThirdLine(false);
        }
    } hide{m_pProgress};
    if (!server)
        return 8;
    auto databases = server->GetDatabases();
    databases->Refresh();
    auto db = databases->Item(database);
    auto tableList = db->GetTables();
    auto viewList = db->GetViews();
    auto procedureList = db->GetStoredProcedures();
    tableList->Refresh();
    viewList->Refresh();
    procedureList->Refresh();
    if (int result = CheckConnection(server))
        return result;

    CScriptList list;
    if (!save) {
        switch (list.Load(file)) {
        case 0: break;
        case 1: return 12;
        case 2: return 13;
        default: return 14;
        }
        // A file of the Windows build holds Transact-SQL under [owner].[name].
        for (TListItem* p = list.GetHead(); p; p = p->m_pNext)
            if (static_cast<TScriptListItem*>(p)->m_strName.rfind('[', 0) == 0) {
                m_strDetail = "the permissions file holds Transact-SQL of the Windows build and cannot be replayed";
                return 12;
            }
        // PostgreSQL's names differ by case ("Foo" and foo are two tables):
        // a saved name finds the object it names and no other.
        for (TListItem* p = list.GetHead(); p; p = p->m_pNext) {
            auto* item = static_cast<TScriptListItem*>(p);
            item->m_strName = SavedObjectName(item->m_strName);
        }
    }

    auto processKind = [&](int kind) -> int {
        std::vector<std::function<PermissionObject()>> objects;
        if (kind == 1) {
            // Every table's name and statements in one read; a table the
            // read missed is asked on its own, as any other object.
            auto scripts = std::make_shared<std::map<std::uint32_t, dmo::RelationGrants>>(
                tableList->ScriptPermissions());
            for (int i = 1, n = tableList->Count(); i <= n; ++i)
                objects.push_back([&, scripts, i] {
                    auto t = tableList->Item(i);
                    auto found = scripts->find(t->Oid());
                    if (found == scripts->end())
                        return Describe(t, t->TypeOf() != dmo::kTypeUserTable);
                    const dmo::RelationGrants& g = found->second;
                    return PermissionObject{g.extension, g.qualifiedName, [text = g.script] { return text; },
                                            [t] { return t->ScriptGrantAllToPublic(); }};
                });
        } else if (kind == 2) {
            for (int i = 1, n = viewList->Count(); i <= n; ++i)
                objects.push_back([&, i] {
                    auto v = viewList->Item(i);
                    return Describe(v, v->SystemObject());
                });
        } else if (kind == 3) {
            for (int i = 1, n = procedureList->Count(); i <= n; ++i)
                objects.push_back([&, i] {
                    auto p = procedureList->Item(i);
                    return Describe(p, p->SystemObject());
                });
        } else {
            auto rows = db->ExecuteWithResults(kFunctionsQuery);
            for (int i = 1, n = rows->Rows(); i <= n; ++i)
                objects.push_back([&, rows, i] {
                    auto f = db->GetObjectByName(rows->GetColumnString(i, 1), dmo::kTypeUserFunction,
                                                 rows->GetColumnString(i, 2));
                    PermissionObject o = Describe(f, f->TypeOf() != dmo::kTypeUserFunction);
                    auto script = o.script;
                    o.script = [script] {
                        std::string text = script();
                        for (const char* action : {",  UPDATE", ",  INSERT", ",  DELETE"})
                            EraseAll(text, action);
                        return text;
                    };
                    return o;
                });
        }
        int n = static_cast<int>(objects.size());
        if (m_pProgress) {
            m_pProgress->SetRange(2, n);
            m_pProgress->SetPos(2, 0);
        }
        std::string kindName = res::LoadString(kKindIds[kind - 1], language);
        for (int i = n; i >= 1; --i) {
            if (int result = CheckConnection(server))
                return result;
            PermissionObject object = objects[static_cast<std::size_t>(i) - 1]();
            if (!object.system) {
                if (m_pProgress)
                    m_pProgress->SetLineText(2, kindName + " : " + object.fullName);
                if (save) {
                    auto* item = new TScriptListItem;
                    item->m_nKind = kind;
                    item->m_strName = object.fullName;
                    list.Add(item);
                    item->m_strText = object.script();
                } else if (TScriptListItem* item = list.Find(kind, object.fullName)) {
                    std::string text = item->m_strText;
                    list.Remove(item);
                    if (!text.empty()) {
                        try {
                            db->ExecuteImmediate(text, 0);
                        } catch (const dmo::Error&) {
                            m_protocol.AddLine("ERROR  : " + text, true, false);
                            throw;
                        }
                    }
                } else if (grantToPublic) {
                    std::string text = object.grantAllToPublic();
                    m_protocol.AddLine(text, true, false);
                    try {
                        db->ExecuteImmediate(text, 0);
                    } catch (const dmo::Error&) {
                        m_protocol.AddLine("ERROR  : " + text, true, false);
                        throw;
                    }
                }
            }
            if (m_pProgress)
                m_pProgress->StepIt(2);
        }
        return 0;
    };

    const bool wanted[] = {tables, views, procedures, functions};
    for (int kind = 1; kind <= 4; ++kind)
        if (wanted[kind - 1])
            if (int result = processKind(kind))
                return result;

    if (!save) {
        // Saved objects that are gone: their statements are not replayed.
        for (TListItem* p = list.GetHead(); p; p = p->m_pNext) {
            auto* item = static_cast<TScriptListItem*>(p);
            if (item->m_nKind >= 1 && item->m_nKind <= 4 && wanted[item->m_nKind - 1])
                m_protocol.AddLine(std::string(ScriptKindName(item->m_nKind)) + " " + item->m_strName +
                                       " : not found, its permissions are skipped",
                                   true, false);
        }
    }
    if (save) {
        SaveReplacing(list, file);
    } else if (deleteFile) {
        std::string removing = "File " + file + " : removing ...";
        if (m_pProgress)
            m_pProgress->SetLineText(2, removing);
        m_protocol.AddLine(removing, true, false);
        if (::unlink(file.c_str()) != 0)
            CFileException::ThrowErrno(errno, file);
        m_protocol.AddLine("File " + file + " : successfully removed", false, false);
    }
    return 0;
}

} // namespace dorvik
