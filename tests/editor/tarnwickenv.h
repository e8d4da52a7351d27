// The program's application object under the test display, started once per
// test program; any wx assertion fails the test that raised it.
#pragma once

#include "editor/trees/ui/basetreectrl.h"
#include "editor/frames/ui/editormainframe.h"
#include "editor/program/tarnwickapp.h"

#include "charts/shell/ui/chartmessagebox.h"
#include "tests/common/wxtestenv.h"

#include <gtest/gtest.h>

#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace kelm::test {

// `app` is set to the application object once wx runs. Its OnInit is not
// called: each test builds the windows it needs. With `displayOptional`,
// `app` stays null when there is no display to start on.
class TarnwickEnvironment : public WxTestEnvironment {
public:
    explicit TarnwickEnvironment(tarnwick::CTarnwickApp*& app, const char* program = "tarnwick_test",
                                 bool displayOptional = false)
        : WxTestEnvironment(program, {.failOnAsserts = true,
                                      .callOnInit = false,
                                      .imageHandlers = true,
                                      .displayOptional = displayOptional,
                                      .makeApp = [] { return new tarnwick::CTarnwickApp; },
                                      .started = [slot = &app] {
                                          *slot = dynamic_cast<tarnwick::CTarnwickApp*>(wxTheApp);
                                          (*slot)->SetAppDisplayName(wxString::FromUTF8("Диаграммы"));
                                          tarnwick::InitTarnwickResources();
                                      }})
    {
    }
};

// Lets pending events, idle handlers and painting run.
inline void SettleWindows()
{
    for (int i = 0; i < 5; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
    }
}

// The item of a tree reached by these texts from its root, each level
// expanded on the way down; 0 when one of them is not there.
inline tarnwick::TreeItem FindTreeItem(tarnwick::CBaseTreeCtrl& tree, const std::vector<std::string>& path)
{
    tarnwick::TreeItem item = tree.GetRootItem();
    for (const std::string& text : path) {
        tree.Expand(item);
        tarnwick::TreeItem found = 0;
        for (tarnwick::TreeItem child : tree.GetChildren(item))
            if (tree.GetItemText(child) == text)
                found = child;
        if (!found)
            return 0;
        item = found;
    }
    return item;
}

// Closes the program's documents, its main window and the rest of its
// windows as a test ends, letting the windows settle after each.
inline void CloseProgramWindows(tarnwick::CTarnwickApp& app)
{
    if (app.GetDocManager())
        app.GetDocManager()->CloseDocuments(true);
    SettleWindows();
    if (app.GetMainFrame())
        app.GetMainFrame()->Destroy();
    SettleWindows();
    app.DestroyWindows();
    SettleWindows();
}

// Lets the windows settle, then keeps a picture of the whole test display as
// folder/name; the test fails when none was taken.
inline void SaveScreenshot(const std::filesystem::path& folder, const std::string& name)
{
    for (int i = 0; i < 10; ++i) {
        wxMilliSleep(50);
        SettleWindows();
    }
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / name;
    std::filesystem::remove(file);
    std::system(("import -window root '" + file.string() + "' 2>/dev/null").c_str());
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
    std::printf("screenshot: %s\n", file.c_str());
}

// The program's message boxes record their texts; questions take the next
// scripted answer, and a question without one fails the test.
inline void AnswerMessageBoxes(std::vector<std::string>& asked, std::deque<int>& answers)
{
    tarnwick::SetMessageBoxAnswer([&asked, &answers](const std::string& text, tarnwick::ChartIcon,
                                                     tarnwick::MessageButtons buttons) {
        asked.push_back(text);
        if (buttons == tarnwick::MessageButtons::Ok)
            return 1;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return static_cast<int>(tarnwick::IDCANCEL);
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

} // namespace kelm::test
