#include "installer/commands/commander.h"

#include "installer/common/utils.h"
#include "dmo/dmo.h"
#include "dmo/restore.h"

#include <new>

namespace dorvik {

namespace {

// A file name as the statement text carries it: at most 780 characters,
// no trailing blanks.
std::string PhysicalNameText(std::string name)
{
    std::size_t characters = 0, at = 0;
    while (at < name.size() && characters < 780) {
        unsigned char c = static_cast<unsigned char>(name[at]);
        at += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        ++characters;
    }
    name.resize(std::min(at, name.size()));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace

int CCommander::LoadDump(dmo::SQLServer* server, const std::string& database, const std::string& file)
{
    if (!server)
        return 7;
    // The dump path stays whole: there is no short form of it here.
    std::string path = m_run.ResolvePath(file);
    std::shared_ptr<dmo::Restore> restore;
    try {
        restore = dmo::Restore::Create();
    } catch (const std::bad_alloc&) {
        return 7;
    }
    restore->Files = path;
    auto list = restore->ReadFileList(*server);
    if (!list || list->ResultSets() < 1 || list->Rows() < 1 || list->Columns() < 1)
        return 7;
    std::string dataName = list->GetColumnString(1, 1);
    auto databases = server->GetDatabases();
    // An earlier step of the run may have created the database.
    databases->Refresh();
    auto db = databases->Item(database);
    std::string text = "RESTORE DATABASE " + database + " FROM DISK='" + path + "' WITH REPLACE " + ", MOVE '" +
                       dataName + "' TO '" + PhysicalNameText(db->PrimaryFilePhysicalName("PRIMARY")) + "'";
    if (list->Rows() > 1)
        text += ", MOVE '" + list->GetColumnString(2, 1) + "' TO '" + PhysicalNameText(db->LogFilePhysicalName()) +
                "'";
    // What the restore stands for, for the log; the restore itself is made
    // by PostgreSQL's own tools.
    m_protocol.AddLine(text, true, false);
    restore->Database = db->Name();
    restore->ReplaceDatabase = true;
    restore->Cancelled = [this] { return m_run.IsCancelRequested(); };
    return restore->SQLRestore(*server) ? 0 : 9;
}

int CCommander::RemoveDB(dmo::SQLServer* server, const std::string& database)
{
    if (int result = CheckConnection(server))
        return result;
    auto databases = server->GetDatabases();
    databases->Refresh();
    databases->Item(database)->Remove();
    return 0;
}

} // namespace dorvik
