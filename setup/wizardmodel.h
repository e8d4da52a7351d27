// The rules of setup's wizard, without a window: which pages it has, which
// buttons each page offers, the licence acceptance, the folder and the
// summary.
#pragma once

#include <string>
#include <vector>

namespace kelm_setup {

class CSetupApp;

class CSetupWizardModel {
public:
    enum Page { PageLic, PagePath, PageInfo };
    struct Buttons {
        bool back = false;
        bool next = false;
        bool finish = false;
    };

    explicit CSetupWizardModel(CSetupApp& app);

    // The licence page only when App.ini asks for it, then the folder and
    // the summary.
    const std::vector<Page>& Pages() const { return m_pages; }
    std::string Caption() const;
    // The buttons of the page at `index`; the licence page offers Next only
    // once the agreement is accepted, and never Back.
    Buttons ButtonsFor(std::size_t index) const;

    void SetAccepted(bool accepted) { m_bAccepted = accepted; }
    bool IsAccepted() const { return m_bAccepted; }
    // The agreement text; when it cannot be had, the message is shown
    // (unless silent) and logged, and the text is empty.
    std::string LoadLicense();

    const std::string& GetFolder() const { return m_strFolder; }
    void SetFolder(std::string folder) { m_strFolder = std::move(folder); }
    // Next on the folder page: the folder becomes the installation folder.
    void CommitFolder();

    std::string Summary() const;
    // The abort question; true when the user really wants to cancel.
    bool ConfirmCancel();

private:
    CSetupApp& m_app;
    std::vector<Page> m_pages;
    bool m_bAccepted = false;
    std::string m_strFolder;
};

} // namespace kelm_setup
