#include "odbc/dialogs/core/logindlg.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/listfillers.h"
#include "odbc/data/core/messages.h"

#include "profile/quillmark.h"
#include "winapi/text.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>

namespace {

std::mutex g_presenterLock;
CLoginDlg::Presenter g_presenter;
// Constant-initialised: the window part may set it before this file's
// dynamic initialisation has run.
std::atomic<CLoginDlg::Window> g_window{nullptr};

} // namespace

CLoginDlg::CLoginDlg(wxWindow* pParent, const char* section, const char* const* driverFilter, short filterCount,
                     bool lockDsn, const char* excludeDsn)
    : m_strSection(section ? section : ""), m_ppDriverFilter(driverFilter), m_nDriverFilterCount(filterCount),
      m_bLockDSN(lockDsn), m_strExcludeDSN(excludeDsn ? excludeDsn : ""), m_pParent(pParent)
{
    if (!m_strSection.empty()) {
        m_strUID = GetPrivateProfileStringQM(m_strSection.c_str(), "UID", "");
        m_strDSN = GetPrivateProfileStringQM(m_strSection.c_str(), "DSN", "");
    }
    if (m_strDSN.empty())
        m_bLockDSN = false;
}

CLoginDlg::CLoginDlg(const char* uid, const char* dsn, bool lockDsn, wxWindow* pParent, const char* const* driverFilter,
                     short filterCount)
    : m_strUID(uid ? uid : ""), m_strDSN(dsn ? dsn : ""), m_ppDriverFilter(driverFilter),
      m_nDriverFilterCount(filterCount), m_bLockDSN(lockDsn && dsn != nullptr), m_pParent(pParent)
{
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::SetPresenter(Presenter presenter)
{
    std::lock_guard<std::mutex> lock(g_presenterLock);
    g_presenter = std::move(presenter);
}

void CLoginDlg::SetWindow(Window window)
{
    g_window.store(window);
}

int CLoginDlg::DoModal()
{
    Presenter presenter;
    {
        std::lock_guard<std::mutex> lock(g_presenterLock);
        presenter = g_presenter;
    }
    if (presenter)
        return presenter(*this);
    Window window = g_window.load();
    return window != nullptr ? window(*this) : IDCANCEL;
}

std::string CLoginDlg::GetConnectStr() const
{
    return "DSN=" + BraceConnectValue(m_strDSN) + ";UID=" + BraceConnectValue(m_strUID) +
           ";PWD=" + BraceConnectValue(m_strPWD);
}

bool CLoginDlg::IsAddToList(const char*, const char* driver)
{
    if (m_ppDriverFilter == nullptr)
        return true;
    for (short i = 0; i < m_nDriverFilterCount; ++i)
        if (m_ppDriverFilter[i] != nullptr && winapi::Utf8EqualNoCase(m_ppDriverFilter[i], driver ? driver : ""))
            return true;
    return false;
}

bool CLoginDlg::OnInitDialog()
{
    m_dsnItems.clear();
    m_nDsnSel = -1;
    std::vector<OrvoDataSource> sources;
    if (!EnumDataSources(sources)) {
        m_bOKEnabled = false;
        return false;
    }
    bool found = false;
    for (const OrvoDataSource& source : sources) {
        if (!IsAddToList(source.name.c_str(), source.driver.c_str()))
            continue;
        // The excluded source is never listed, not even when it is the
        // preset one: that counts as not found.
        if (!m_strExcludeDSN.empty() && source.name == m_strExcludeDSN)
            continue;
        // Sorted as the combo box sorts: letters without regard to case.
        std::string key = winapi::Utf8Lower(source.name);
        auto at = std::upper_bound(m_dsnItems.begin(), m_dsnItems.end(), key, [](const std::string& k, const std::string& item) {
            return k < winapi::Utf8Lower(item);
        });
        m_dsnItems.insert(at, source.name);
        if (source.name == m_strDSN)
            found = true;
    }
    if (found)
        m_nDsnSel = static_cast<int>(std::find(m_dsnItems.begin(), m_dsnItems.end(), m_strDSN) - m_dsnItems.begin());
    if (m_dsnItems.empty()) {
        m_bOKEnabled = false;
        return true;
    }
    if (!found && !m_strDSN.empty())
        OrvoMessageBox(FormatOrvoString(IDS_LOGIN_DSN_MISSING, {m_strDSN}), MB_OK | MB_ICONINFORMATION,
                       LoadOrvoString(IDS_LOGIN_WARNING));
    if (m_nDsnSel < 0)
        m_nDsnSel = 0;
    if (m_strDSN.empty())
        m_strDSN = m_dsnItems[static_cast<std::size_t>(m_nDsnSel)];
    m_bDsnEnabled = !(m_bLockDSN && found);
    UpdateData(false);
    OnSelendokDsnList();
    return true;
}

void CLoginDlg::OnSelendokDsnList()
{
    if (m_dsnItems.empty() || m_nDsnSel < 0)
        return;
    m_strDSN = m_dsnItems[static_cast<std::size_t>(m_nDsnSel)];
    bool trusted = IsTrustedConnection(m_strDSN.c_str());
    if (!trusted) {
        if (!m_bPasswordEnabled)
            UpdateData(false);
        OnUserUpdate();
    } else if (m_bPasswordEnabled) {
        UpdateData(true);
        m_userText = LoadOrvoString(IDS_LOGIN_TRUSTED);
        m_passwordText.clear();
        m_bOKEnabled = true;
    }
    m_bUserEnabled = m_bPasswordEnabled = !trusted;
}

void CLoginDlg::OnUserUpdate()
{
    m_bOKEnabled = !m_userText.empty();
}

void CLoginDlg::UpdateData(bool save)
{
    if (save) {
        m_strUID = m_userText;
        m_strPWD = m_passwordText;
    } else {
        m_userText = std::string(winapi::Utf8Left(m_strUID, kUserChars));
        m_passwordText = std::string(winapi::Utf8Left(m_strPWD, kPasswordChars));
    }
}

void CLoginDlg::SelectDsn(int index)
{
    if (index < 0 || index >= static_cast<int>(m_dsnItems.size()))
        return;
    m_nDsnSel = index;
    OnSelendokDsnList();
}

void CLoginDlg::TypeUser(const std::string& text)
{
    if (!m_bUserEnabled)
        return;
    m_userText = std::string(winapi::Utf8Left(text, kUserChars));
    OnUserUpdate();
}

void CLoginDlg::TypePassword(const std::string& text)
{
    if (m_bPasswordEnabled)
        m_passwordText = std::string(winapi::Utf8Left(text, kPasswordChars));
}

void CLoginDlg::OnOK()
{
    UpdateData(true);
    if (m_nDsnSel >= 0 && m_nDsnSel < static_cast<int>(m_dsnItems.size()))
        m_strDSN = m_dsnItems[static_cast<std::size_t>(m_nDsnSel)];
    if (IsTrustedConnection(m_strDSN.c_str())) {
        m_strPWD.clear();
        m_strUID.clear();
    }
    if (m_strSection.empty())
        return;
    // The store refuses writes before the host set it up; a dialog never
    // throws to its host, and the answers are good without being kept.
    try {
        WritePrivateProfileStringQM(m_strSection.c_str(), "UID", m_strUID.c_str());
        WritePrivateProfileStringQM(m_strSection.c_str(), "DSN", m_strDSN.c_str());
    } catch (const std::invalid_argument&) {
    }
}
