// What the installer's server tests share: a trusted server object on the
// test cluster, a query that returns text, and a progress that records.
#pragma once

#include "installer/commands/commander.h"
#include "dmo/dmo.h"

#include "tests/common/testsupport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelm::test {

std::shared_ptr<dmo::SQLServer> ConnectTrustedServer();

// Rows of a query joined: columns by '|', rows by '\n'.
std::string Query(const PgDatabase& db, const std::string& sql);
std::string QueryOn(const std::string& database, const std::string& sql);

struct RecordingProgress : dorvik::IProgress {
    std::vector<std::string> texts;
    std::function<void(const std::string&)> onText;
    void SetLineText(int, const std::string& text) override
    {
        texts.push_back(text);
        if (onText)
            onText(text);
    }
    void SetRange(int, int) override {}
    void SetPos(int, int) override {}
    void StepIt(int) override {}
    void ShowThirdLine(bool) override {}
};

} // namespace kelm::test
