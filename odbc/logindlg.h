// The login dialog: the data source, user and password a connection opens
// with. The answers live in this plain class; the window only shows it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CLoginDlg {
public:
    CLoginDlg(const char* uid, const char* dsn, bool lockDsn, void* parent, const char** driverFilter,
              short filterCount);

    // IDOK when the user confirmed; the answers are then in the members.
    int DoModal();
    // "DSN=<dsn>;UID=<uid>;PWD=<pwd>"
    std::string GetConnectStr() const;

    // Replaces the window (tests answer here); an empty function restores it.
    using Presenter = std::function<int(CLoginDlg&)>;
    static void SetPresenter(Presenter presenter);

    std::string m_strDSN;
    std::string m_strUID;
    std::string m_strPWD;
    bool m_bLockDsn = false;
    std::vector<std::string> m_driverFilter;
};
