// The configuration of one database section after its scripts: the
// maintenance jobs of the step, scheduled on the server's job agent.
#pragma once

#include <string>

namespace dorvik {

class CInstallData;
struct TDatabase;

class CConfigDB {
public:
    CConfigDB(CInstallData* data, TDatabase* step);
    virtual ~CConfigDB();

    // True when every job the step asks for was made; otherwise the reason
    // is the result text.
    bool Configure();
    const std::string& GetResultText() const { return m_strResult; }

protected:
    std::string m_strResult;
    TDatabase* m_pStep;
    std::string m_strServer; // "%SERVER%" expanded for the step
    CInstallData* m_pData;
};

} // namespace dorvik
