#include "setup/wizardmodel.h"

#include "resources/setup/setupstrings.h"
#include "setup/setupapp.h"
#include "winapi/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kelm_setup {

using namespace kelm_setup::res;

CSetupWizardModel::CSetupWizardModel(CSetupApp& app) : m_app(app), m_strFolder(app.GetInstallFolder())
{
    if (app.GetInfo() && app.GetInfo()->m_bLicenseAgr)
        m_pages.push_back(PageLic);
    m_pages.push_back(PagePath);
    m_pages.push_back(PageInfo);
}

std::string CSetupWizardModel::Caption() const
{
    return FormatText(LoadString(IDS_CAPTION), {m_app.GetInfo() ? m_app.GetInfo()->m_strAppName : std::string()});
}

CSetupWizardModel::Buttons CSetupWizardModel::ButtonsFor(std::size_t index) const
{
    Buttons buttons;
    bool last = index + 1 >= m_pages.size();
    buttons.back = index > 0;
    buttons.next = !last;
    buttons.finish = last;
    if (index < m_pages.size() && m_pages[index] == PageLic) {
        buttons.back = false;
        buttons.next = m_bAccepted && !last;
    }
    return buttons;
}

std::string CSetupWizardModel::LoadLicense()
{
    std::string name = LoadString(IDS_LICENSE_FILE);
    TInstallInfo* info = m_app.GetInfo();
    std::string text;
    bool ok = info && !info->m_strCopyPath.empty();
    if (ok) {
        std::string folder = info->m_strCopyPath[0] == '/' ? info->m_strCopyPath
                                                            : m_app.GetKitFolder() + "/" + info->m_strCopyPath;
        std::string path = folder + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && winapi::ReadAll(fd, text);
        if (fd >= 0)
            ::close(fd);
    }
    if (!ok) {
        std::string message = FormatText("%s\n\r%s !\n", {LoadString(IDS_LICENSE_MISSING), name});
        if (!m_app.IsSilent())
            m_app.Ask(message, 0);
        m_app.Log(message);
        return {};
    }
    return text;
}

void CSetupWizardModel::CommitFolder() { m_app.SetInstallFolder(m_strFolder); }

std::string CSetupWizardModel::Summary() const
{
    std::string appName = m_app.GetInfo() ? m_app.GetInfo()->m_strAppName : std::string();
    return std::string(LoadString(IDS_SUMMARY_FOLDER)) + m_app.GetInstallFolder() + "\r\n\r\n" +
           LoadString(IDS_SUMMARY_GROUP) + appName + "\r\n\r\n" + LoadString(IDS_SUMMARY_DSN) +
           m_app.DataSourceList();
}

bool CSetupWizardModel::ConfirmCancel()
{
    return m_app.Ask(LoadString(IDS_ABORT_QUESTION), winapi::MB_YESNO | winapi::MB_ICONQUESTION) == winapi::IDYES;
}

} // namespace kelm_setup
