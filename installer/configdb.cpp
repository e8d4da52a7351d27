#include "installer/configdb.h"

#include "installer/installdata.h"

namespace dorvik {

CConfigDB::CConfigDB(CInstallData* data, TDatabase* step) : m_pStep(step), m_pData(data)
{
    m_strServer = "%SERVER%";
    if (m_pData)
        m_pData->ExpandMacros(m_strServer, m_pStep, false);
}

CConfigDB::~CConfigDB() = default;

bool CConfigDB::Configure()
{
    m_strResult = "not available in this build : ConfigDB";
    return false;
}

} // namespace dorvik
