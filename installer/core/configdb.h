// The configuration of one database section after its scripts: the
// maintenance jobs of the step, scheduled on the server's job agent.
#pragma once

#include "installer/common/runcontext.h"

#include <memory>
#include <string>
#include <vector>

namespace dmo {
class JobServer;
}

namespace dorvik {

// The maintenance tool the job steps run: beside the program.
std::string SqlMaintPath();
// The command line of a maintenance step: the tool with the server, the
// database and the step's options, each quoted for /bin/sh.
std::string SqlMaintCommand(const std::string& server, const std::string& database,
                            const std::vector<std::string>& options);

class CInstallData;
struct TDatabase;

class CConfigDB {
public:
    CConfigDB(const RunContext& run, CInstallData* data, TDatabase* step);
    virtual ~CConfigDB();

    // True when every job the step asks for was made; otherwise the reason
    // is the result text.
    bool Configure();
    const std::string& GetResultText() const { return m_strResult; }

protected:
    // A job, schedule or step object; null with the result text set when it
    // cannot be made.
    template <class T>
    std::shared_ptr<T> CreateDMOObject(const char* kind, const std::string& name);
    // One maintenance job; kind 0 daily checks, 1 weekly backup, checks and
    // index rebuild; week day -1 means every day.
    bool CreateJob(dmo::JobServer& jobServer, const std::string& baseName, const std::string& description,
                   const std::string& scheduleName, int hour, int weekDay, int kind, const std::string& backupPath);

    std::string m_strResult;
    const RunContext& m_run;
    TDatabase* m_pStep;
    std::string m_strServer; // "%SERVER%" expanded for the step
    // The server as the job steps reach it (socket folder or host, port).
    std::string m_strStepServer;
    CInstallData* m_pData;
};

} // namespace dorvik
