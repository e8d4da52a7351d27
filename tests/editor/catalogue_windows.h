// The program's frame with its process tree on the SQLite chart fixture,
// in this process under the test display; questions and messages are
// answered by the test's script.
#pragma once

#include "editor/trees/ui/basetreectrl.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"

#include "tests/common/testsupport.h"
#include "tests/common/kelmdb.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxDialog;

namespace kelm::test {

tarnwick::CTarnwickApp& App();
void Settle();
// Saves the whole screen into the test program's output folder.
void Screenshot(const char* name);
// Runs body once the next modal dialog is up, with that dialog.
void WhenModal(std::function<void(wxDialog&)> body);

class CatalogueWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    tarnwick::CMainFrame* Frame() { return App().GetMainFrame(); }
    tarnwick::CBaseTreeCtrl* Tree() { return Frame()->GetTree(); }
    // The item reached through these texts from the hidden root.
    tarnwick::TreeItem Find(const std::vector<std::string>& path);
    // A command as the frame's menu sends it.
    void MenuCommand(int id);

    TempDir dir;
    std::unique_ptr<KelmDatabase> db;
    std::deque<int> answers;
    std::vector<std::string> asked;
};

} // namespace kelm::test
