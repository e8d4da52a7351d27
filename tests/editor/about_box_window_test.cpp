// The about box as the Help menu opens it over the main frame.
#include "tests/editor/catalogue_windows.h"

#include "resources/tarnwick/tarnwickstrings.h"

#include <kelm_version.h>

#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

using namespace tarnwick;

namespace kelm::test {
namespace {

using AboutBoxWindow = CatalogueWindow;

TEST_F(AboutBoxWindow, TheHelpMenuShowsTheVersionsAndTheKindsCaption)
{
    bool shown = false;
    WhenModal([&](wxDialog& dialog) {
        shown = true;
        EXPECT_EQ(dialog.GetTitle().utf8_string(), "О программе \"Документооборот\"");
        const std::string version = XRCCTRL(dialog, "IDC_VERSION", wxStaticText)->GetLabel().utf8_string();
        EXPECT_EQ(version, std::string("Tarnwick - ") + KELM_VERSION_STRING + "\nБаза Данных - 3.01.35");
        EXPECT_FALSE(XRCCTRL(dialog, "IDC_PRODUCT_NAME", wxStaticText)->GetLabel().empty());
        EXPECT_EQ(XRCCTRL(dialog, "IDC_COMPANY", wxTextCtrl)->GetValue().utf8_string(), KELM_COMPANY_NAME);
        Screenshot("about.png");
        dialog.EndModal(wxID_OK);
    });
    MenuCommand(res::ID_APP_ABOUT);
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace kelm::test
