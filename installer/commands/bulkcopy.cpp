#include "installer/commands/bulkcopy.h"

#include "installer/commands/commander.h"
#include "installer/common/utils.h"
#include "installer/packed/crc32.h"
#include "dmo/dmo.h"
#include "dmo/quote.h"
#include "winapi/files.h"
#include "winapi/folders.h"

#include <cstdlib>
#include <filesystem>

namespace dorvik {

namespace {

// Shows progress line 2 for the length of a command.
class ThirdLine {
public:
    explicit ThirdLine(IProgress* progress) : m_progress(progress)
    {
        if (m_progress)
            m_progress->ShowThirdLine(true);
    }
    ~ThirdLine()
    {
        if (m_progress)
            m_progress->ShowThirdLine(false);
    }
    ThirdLine(const ThirdLine&) = delete;
    ThirdLine& operator=(const ThirdLine&) = delete;

private:
    IProgress* m_progress;
};

std::shared_ptr<dmo::Database> database(CCommander& commander, dmo::SQLServer* server, const std::string& name)
{
    if (!server)
        throw 8;
    return commander.OpenDatabase(server, name);
}

std::string typeName(const RunContext& run, int type)
{
    int id = 0;
    switch (type) {
    case 1: id = res::IDS_OBJECT_DIALOG; break;
    case 2: id = res::IDS_OBJECT_LIST; break;
    case 3: id = res::IDS_OBJECT_MDI; break;
    case 4: id = res::IDS_OBJECT_PROCEDURE; break;
    case 5: id = res::IDS_OBJECT_MENU; break;
    case 11: id = res::IDS_OBJECT_MODULE; break;
    case 12: id = res::IDS_Z_PROCEDURE; break;
    default: return std::to_string(type);
    }
    return run.Text(id);
}

// Every recorded object with its current data: forms, lists, windows,
// procedures, menus and Z-procedures from xobjects, modules from xmodules.
// The dates are cast to one type so that equal values give equal texts.
const char* const kMainQuery =
    "SELECT v.objecttype, v.objectname, v.crc, v.dateedit::timestamp AS dateafter, "
    "o.editdate::timestamp AS datebefore, o.objectdata, octet_length(o.objectdata) AS datalength "
    "FROM xvercrc v LEFT JOIN xobjects o ON o.objectname = v.objectname AND o.id_objecttype = v.objecttype "
    "WHERE v.objecttype IN (1, 2, 3, 4, 5, 12) "
    "UNION ALL "
    "SELECT v.objecttype, v.objectname, v.crc, v.dateedit::timestamp, m.editdate::timestamp, m.objectdata, "
    "octet_length(m.objectdata) "
    "FROM xvercrc v LEFT JOIN xmodules m ON m.modulecode::text = v.objectname "
    "WHERE v.objecttype = 11";

} // namespace

void LoadFromBcp(CCommander& commander, dmo::SQLServer* server, const std::string& databaseName,
                 const std::string& mask, bool truncateFirst)
{
    std::filesystem::path full = commander.Context().ResolvePath(winapi::FromKitPath(mask));
    std::string folder = full.parent_path().string();
    auto found = winapi::FindFiles(folder, full.filename().string(), winapi::FindMode::Pattern);
    std::vector<std::string> files;
    if (found)
        for (const auto& entry : *found)
            if (!entry.isDirectory)
                files.push_back(entry.name);
    if (files.empty())
        return;

    IProgress* progress = commander.GetProgress();
    std::string current;
    try {
        auto db = database(commander, server, databaseName);
        ThirdLine line(progress);
        if (progress) {
            progress->SetRange(2, static_cast<int>(files.size()));
            progress->SetPos(2, 0);
        }
        for (const auto& name : files) {
            if (int code = commander.CheckConnection(server))
                throw code;
            std::string table = std::filesystem::path(name).stem().string();
            current = folder + "/" + name;
            if (progress)
                progress->SetLineText(2, current);
            // The table's lines stand before its load, so that a load that
            // fails is the last one the protocol names.
            auto loading = [&] { commander.Protocol().AddLine("BULK INSERT " + table, true, false); };
            if (truncateFirst) {
                db->BulkLoad(table, current, true, [&] {
                    commander.Protocol().AddLine("TRUNCATE " + table + " : SUCCESS", true, false);
                    loading();
                });
            } else {
                loading();
                db->BulkLoad(table, current, false);
            }
            if (progress)
                progress->StepIt(2);
        }
    } catch (const dmo::Error& e) {
        throw CExceptLoadFromBCP(e.description, current);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw CExceptLoadFromBCP(e.what(), current);
    }
}

int ListChangedObjects(CCommander& commander, dmo::SQLServer* server, const std::string& databaseName,
                       const std::string& patchTable)
{
    IProgress* progress = commander.GetProgress();
    ThirdLine line(progress);
    if (progress)
        progress->SetLineText(2, commander.Context().Text(res::IDS_PROCESSING_QUERY));
    auto db = database(commander, server, databaseName);
    auto& protocol = commander.Protocol();

    const std::string truncate = "TRUNCATE TABLE xchangedobjects";
    protocol.AddLine(truncate, true, false);
    db->ExecuteImmediate(truncate);
    std::string patch = db->ResolveTable(patchTable).QualifiedName();
    db->ExecuteImmediate("INSERT INTO xchangedobjects (objecttype, objectname, userchanged, patchchanged) "
                         "SELECT DISTINCT v.objecttype, v.objectname, 0, 1 FROM xvercrc v, " + patch + " vt "
                         "WHERE v.objecttype = vt.objecttype AND v.objectname = vt.objectname "
                         "AND v.crc <> vt.crc AND v.objecttype <> 6");

    protocol.AddLine(std::string("SZ_SQL_MAIN : ") + kMainQuery, true, false);
    auto rows = db->ExecuteWithResults(kMainQuery);
    int count = rows->Rows();
    if (progress) {
        progress->SetRange(2, count);
        progress->SetPos(2, 0);
    }
    for (int r = 1; r <= count; ++r) {
        int type = rows->GetColumnLong(r, 1);
        std::string name = rows->GetColumnString(r, 2);
        // The recorded checksum as a 32-bit pattern, whether the column is
        // a signed integer or a wider one holding the unsigned value.
        auto recorded = static_cast<std::uint32_t>(std::strtoll(rows->GetColumnString(r, 3).c_str(), nullptr, 10));
        std::vector<std::uint8_t> data = rows->GetColumnBinary(r, 6);
        long length = rows->GetColumnLong(r, 7);
        if (progress)
            progress->SetLineText(2, typeName(commander.Context(), type) + ": " + name);
        bool changed;
        if (length == static_cast<long>(data.size()))
            changed = (data.empty() ? 0u : Crc32(data.data(), data.size(), 8376)) != recorded;
        else
            changed = rows->GetColumnString(r, 4) != rows->GetColumnString(r, 5);
        if (changed) {
            std::string where = " WHERE objecttype = " + std::to_string(type) + " AND objectname = " +
                                dmo::QuoteLiteral(name);
            if (db->ExecuteWithResults("SELECT * FROM xchangedobjects" + where)->Rows() == 0)
                db->ExecuteImmediate("INSERT INTO xchangedobjects (objecttype, objectname, userchanged, patchchanged) "
                                     "VALUES (" + std::to_string(type) + ", " + dmo::QuoteLiteral(name) + ", 1, 0)");
            else
                db->ExecuteImmediate("UPDATE xchangedobjects SET userchanged = 1" + where);
        }
        if (progress)
            progress->StepIt(2);
    }
    return 0;
}

} // namespace dorvik
