// Property sheets under a display: pages initialise when first shown, only
// initialised pages apply, in page order, and the component sheet's apply
// step runs after them.
#include "tests/platform/diagram/fixtures.h"
#include "tests/platform/diagram/wxtestapp.h"

#include "diagram/odpropsheet.h"
#include "diagram/odviewport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/textctrl.h>
#include <wx/valnum.h>

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new odtest::WxEnvironment);

std::vector<std::string> g_log;

class LogPage : public CPropertyPage {
public:
    explicit LogPage(const std::string& name) : CPropertyPage(name), m_name(name) {}
    bool OnInitDialog() override
    {
        g_log.push_back("init " + m_name);
        CPropertyPage::OnInitDialog();
        if (onInit)
            onInit(*this);
        return true;
    }
    bool OnKillActive() override
    {
        g_log.push_back("leave " + m_name);
        return leaveOk && CPropertyPage::OnKillActive();
    }
    bool OnApply() override
    {
        g_log.push_back("apply " + m_name);
        return applyOk && CPropertyPage::OnApply();
    }
    void OnCancel() override { g_log.push_back("cancel " + m_name); }

    std::function<void(LogPage&)> onInit;
    bool applyOk = true;
    bool leaveOk = true;

private:
    std::string m_name;
};

void Press(wxDialog& dialog, int id)
{
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(&dialog);
    dialog.GetEventHandler()->ProcessEvent(click);
}

// What the notebook does when the user clicks a tab: asks, and on consent
// switches and tells.
void ClickTab(CPropertySheet& sheet, int index)
{
    wxBookCtrlBase* book = sheet.GetBookCtrl();
    wxBookCtrlEvent changing(wxEVT_BOOKCTRL_PAGE_CHANGING, book->GetId(), index, book->GetSelection());
    changing.SetEventObject(book);
    if (book->GetEventHandler()->ProcessEvent(changing) && !changing.IsAllowed())
        return;
    wxBookCtrlEvent changed(wxEVT_BOOKCTRL_PAGE_CHANGED, book->GetId(), index, book->GetSelection());
    changed.SetEventObject(book);
    book->ChangeSelection(static_cast<std::size_t>(index));
    book->GetEventHandler()->ProcessEvent(changed);
}

// Runs the steps one after another inside the sheet's modal loop.
void Script(std::vector<std::function<void()>> steps)
{
    if (steps.empty())
        return;
    auto first = steps.front();
    steps.erase(steps.begin());
    wxTheApp->CallAfter([first, steps] {
        first();
        Script(steps);
    });
}

struct Sheet3 {
    explicit Sheet3(int initial) : sheet("Свойства", nullptr, initial)
    {
        for (const char* name : {"a", "b", "c"}) {
            pages.push_back(new LogPage(name));
            sheet.AddPage(pages.back());
        }
    }
    CPropertySheet sheet;
    std::vector<LogPage*> pages;
};

TEST(PropertySheet, OnlyThePagesShownInitialiseAndApplyInPageOrder)
{
    struct Case {
        int initial;
        std::vector<int> visits;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {1, {}, {"init b", "leave b", "apply b"}},
        {2, {0}, {"init c", "leave c", "init a", "leave a", "apply a", "apply c"}},
        // Past the last page: the last page.
        {7, {}, {"init c", "leave c", "apply c"}},
        // A page shown twice initialises once.
        {0, {1, 0}, {"init a", "leave a", "init b", "leave b", "leave a", "apply a", "apply b"}},
    };
    for (const Case& c : cases) {
        g_log.clear();
        Sheet3 s(c.initial);
        std::vector<std::function<void()>> steps;
        for (int v : c.visits)
            steps.push_back([&s, v] { EXPECT_TRUE(s.sheet.SetActivePage(v)); });
        steps.push_back([&s] { Press(s.sheet, wxID_OK); });
        Script(steps);
        EXPECT_EQ(s.sheet.DoModal(), OD_IDOK);
        EXPECT_EQ(g_log, c.log) << "initial page " << c.initial;
    }
}

TEST(PropertySheet, TabClicksInitialiseThePageAndARefusedLeaveKeepsIt)
{
    g_log.clear();
    Sheet3 s(0);
    s.pages[0]->leaveOk = false;
    Script({[&] {
                // The user clicks the tab of page c: the book control asks to change.
                ClickTab(s.sheet, 2);
                EXPECT_EQ(s.sheet.GetActiveIndex(), 0);
                EXPECT_FALSE(s.pages[2]->IsInitialized());
                s.pages[0]->leaveOk = true;
                ClickTab(s.sheet, 2);
                EXPECT_EQ(s.sheet.GetActiveIndex(), 2);
                EXPECT_TRUE(s.pages[2]->IsInitialized());
            },
            [&] { Press(s.sheet, wxID_CANCEL); }});
    EXPECT_EQ(s.sheet.DoModal(), OD_IDCANCEL);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init a", "leave a", "leave a", "init c", "cancel a", "cancel c"}));
}

TEST(PropertySheet, ARefusedApplyKeepsTheSheetOpenOnThatPage)
{
    g_log.clear();
    Sheet3 s(0);
    s.pages[1]->applyOk = false;
    Script({[&] { s.sheet.SetActivePage(1); },
            [&] {
                Press(s.sheet, wxID_OK);
                EXPECT_TRUE(s.sheet.IsModal());
                s.sheet.SetActivePage(0);
            },
            [&] {
                Press(s.sheet, wxID_OK);
                EXPECT_EQ(s.sheet.GetActiveIndex(), 1);
                s.pages[1]->applyOk = true;
                Press(s.sheet, wxID_OK);
            }});
    EXPECT_EQ(s.sheet.DoModal(), OD_IDOK);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply a"), 3);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply b"), 3);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply c"), 0);
}

TEST(PropertySheet, ApplyIsGreyedUntilAPageChangesAndAppliesWithoutEndingTheSheet)
{
    g_log.clear();
    Sheet3 s(0);
    wxWindow* apply = s.sheet.FindWindow(wxID_APPLY);
    ASSERT_NE(apply, nullptr);
    EXPECT_EQ(apply->GetLabel().utf8_string(), "Применить");
    Script({[&] {
                EXPECT_FALSE(apply->IsEnabled());
                s.pages[0]->SetModified();
                EXPECT_TRUE(apply->IsEnabled());
                Press(s.sheet, wxID_APPLY);
                EXPECT_TRUE(s.sheet.IsModal());
                EXPECT_FALSE(apply->IsEnabled());
                EXPECT_FALSE(s.pages[0]->IsModified());
                // A refused apply leaves Apply enabled.
                s.pages[0]->SetModified();
                s.pages[0]->applyOk = false;
                Press(s.sheet, wxID_APPLY);
                EXPECT_TRUE(apply->IsEnabled());
            },
            [&] { Press(s.sheet, wxID_CANCEL); }});
    EXPECT_EQ(s.sheet.DoModal(), OD_IDCANCEL);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init a", "leave a", "apply a", "leave a", "apply a", "cancel a"}));
}

TEST(PropertySheet, APageMayEndTheSheetWhileItInitialises)
{
    // Before the sheet is shown (the initial page) and later (a tab click).
    for (int initial : {1, 0}) {
        g_log.clear();
        Sheet3 s(initial);
        s.pages[1]->onInit = [](LogPage& page) { page.EndDialog(OD_IDCANCEL); };
        if (initial == 0)
            Script({[&] { ClickTab(s.sheet, 1); }});
        EXPECT_EQ(s.sheet.DoModal(), OD_IDCANCEL);
        EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply a"), 0);
        EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply b"), 0);
        EXPECT_FALSE(s.sheet.IsShown());
    }
}

TEST(PropertySheet, ValidatorsRefuseBeforeAnyPageApplies)
{
    g_log.clear();
    CPropertySheet sheet("Свойства", nullptr, 0);
    auto* page = new LogPage("a");
    sheet.AddPage(page);
    int order = 7;
    wxIntegerValidator<int> range(&order);
    range.SetRange(0, 255);
    auto* edit = new wxTextCtrl(page, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0, range);
    wxTheApp->CallAfter([&] {
        EXPECT_EQ(edit->GetValue(), "7");
        edit->ChangeValue("300");
        wxLog::EnableLogging(false);
        Press(sheet, wxID_OK);
        wxLog::EnableLogging(true);
        EXPECT_TRUE(sheet.IsModal());
        edit->ChangeValue("255");
        Press(sheet, wxID_OK);
    });
    EXPECT_EQ(sheet.DoModal(), OD_IDOK);
    EXPECT_EQ(order, 255);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "apply a"), 1);
}

class Recorder : public IODObserver {
public:
    void OnUpdate(void*, std::intptr_t hint, void* data) override
    {
        if (hint == OD_UPDATE_COMPONENT)
            g_log.push_back("update " + static_cast<CODComponent*>(data)->GetName());
    }
};

class CountingCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    bool Execute() override
    {
        g_log.push_back("change");
        return true;
    }
    void Unexecute() override {}
    std::string GetName() const override { return "Properties"; }
};

class ChangeSheet : public CODCompPropSheet {
public:
    using CODCompPropSheet::CODCompPropSheet;
    bool appliedSeen = false;

protected:
    CODCommand* GetPendingChange() override
    {
        appliedSeen = m_bApplied;
        return new CountingCommand(GetModel());
    }
};

TEST(ComponentSheet, ApplyStepRunsAfterThePagesThenChangesAndNotifies)
{
    g_log.clear();
    CODModel model;
    auto* a = odtest::MakeSymbol("A", 0, 0);
    auto* b = odtest::MakeSymbol("B", 200, 0);
    model.AppendComponent(a);
    model.AppendComponent(b);
    Recorder recorder;
    model.AddObserver(&recorder);
    CODViewport viewport;
    viewport.SetModel(&model);
    CODComponentSet selection;
    selection.Add(b);
    {
        ChangeSheet sheet(selection, &viewport, "Свойства", 0xFFFFFFF6u, nullptr, 0);
        EXPECT_EQ(sheet.GetComponentCount(), 1);
        EXPECT_EQ(sheet.GetComponent(0), b);
        EXPECT_EQ(sheet.GetModel(), &model);
        sheet.AddPage(new LogPage("a"));
        wxTheApp->CallAfter([&] { Press(sheet, wxID_OK); });
        EXPECT_EQ(sheet.DoModal(), OD_IDOK);
        EXPECT_TRUE(sheet.IsApplied());
        EXPECT_TRUE(sheet.appliedSeen);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"init a", "leave a", "apply a", "change", "update B"}));
    EXPECT_EQ(model.GetDelegate()->GetUndoCount(), 1);

    // Apply takes the same step; a Cancel after it ends a sheet that did apply.
    g_log.clear();
    {
        ChangeSheet sheet(selection, &viewport, "Свойства", 0xFFFFFFF6u, nullptr, 0);
        auto* page = new LogPage("a");
        sheet.AddPage(page);
        Script({[&] {
                    page->SetModified();
                    Press(sheet, wxID_APPLY);
                },
                [&] { Press(sheet, wxID_CANCEL); }});
        EXPECT_EQ(sheet.DoModal(), OD_IDCANCEL);
        EXPECT_TRUE(sheet.IsApplied());
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"init a", "leave a", "apply a", "change", "update B", "cancel a"}));

    // The viewport without a model: the selection's model.
    CODViewport bare;
    CODCompPropSheet plain(selection, &bare, "Свойства", 0, nullptr, 0);
    EXPECT_EQ(plain.GetModel(), &model);
    model.RemoveObserver(&recorder);
    viewport.SetModel(nullptr);
}

TEST(ComponentSheet, ASheetOpensModallyFromAPageOfAnother)
{
    g_log.clear();
    CPropertySheet outer("Свойства", nullptr, 0);
    auto* page = new LogPage("outer");
    outer.AddPage(page);
    int nested = 0;
    Script({[&] {
                CPropertySheet inner("Свойства", page, 0);
                inner.AddPage(new LogPage("inner"));
                wxTheApp->CallAfter([&] { Press(inner, wxID_OK); });
                nested = inner.DoModal();
                EXPECT_TRUE(outer.IsModal());
            },
            [&] { Press(outer, wxID_OK); }});
    EXPECT_EQ(outer.DoModal(), OD_IDOK);
    EXPECT_EQ(nested, OD_IDOK);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init outer", "init inner", "leave inner", "apply inner", "leave outer",
                                               "apply outer"}));
}

} // namespace

namespace {

TEST(ComponentSheet, CaptionsAreTheLibrarysStrings)
{
    EXPECT_STREQ(ODLoadString(OD_IDS_PROPERTIES), "Свойства");
    EXPECT_STREQ(ODLoadString(OD_IDS_PROPERTIES_READONLY), "Свойства (только просмотр)");
    EXPECT_STREQ(ODLoadString(1), "");
}

} // namespace
