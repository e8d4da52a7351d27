#include "installer/commander.h"

#include "dmo/dmo.h"

namespace dorvik {

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
