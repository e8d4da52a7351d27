#include "logindlg.h"
#include "databaseex.h"
#include "messages.h"

#include <wx/app.h>
#include <wx/textdlg.h>

#include <mutex>

namespace {

std::mutex g_presenterLock;
CLoginDlg::Presenter g_presenter;

// A plain sequence of entry boxes until the dialog gets its own window.
int ShowWithWx(CLoginDlg& dlg)
{
    if (wxTheApp == nullptr)
        return IDCANCEL;
    if (!dlg.m_bLockDsn) {
        wxTextEntryDialog dsn(nullptr, wxString::FromUTF8("Источник данных"), "ODBC",
                              wxString::FromUTF8(dlg.m_strDSN));
        if (dsn.ShowModal() != wxID_OK)
            return IDCANCEL;
        dlg.m_strDSN = dsn.GetValue().utf8_string();
    }
    wxTextEntryDialog user(nullptr, wxString::FromUTF8("Пользователь"), "ODBC", wxString::FromUTF8(dlg.m_strUID));
    if (user.ShowModal() != wxID_OK)
        return IDCANCEL;
    dlg.m_strUID = user.GetValue().utf8_string();
    wxPasswordEntryDialog password(nullptr, wxString::FromUTF8("Пароль"), "ODBC");
    if (password.ShowModal() != wxID_OK)
        return IDCANCEL;
    dlg.m_strPWD = password.GetValue().utf8_string();
    return IDOK;
}

} // namespace

CLoginDlg::CLoginDlg(const char* uid, const char* dsn, bool lockDsn, void*, const char** driverFilter,
                     short filterCount)
    : m_strDSN(dsn ? dsn : ""), m_strUID(uid ? uid : ""), m_bLockDsn(lockDsn)
{
    for (short i = 0; driverFilter != nullptr && i < filterCount; ++i)
        if (driverFilter[i] != nullptr)
            m_driverFilter.emplace_back(driverFilter[i]);
}

void CLoginDlg::SetPresenter(Presenter presenter)
{
    std::lock_guard<std::mutex> lock(g_presenterLock);
    g_presenter = std::move(presenter);
}

int CLoginDlg::DoModal()
{
    Presenter presenter;
    {
        std::lock_guard<std::mutex> lock(g_presenterLock);
        presenter = g_presenter;
    }
    return presenter ? presenter(*this) : ShowWithWx(*this);
}

std::string CLoginDlg::GetConnectStr() const
{
    return "DSN=" + BraceConnectValue(m_strDSN) + ";UID=" + BraceConnectValue(m_strUID) +
           ";PWD=" + BraceConnectValue(m_strPWD);
}
