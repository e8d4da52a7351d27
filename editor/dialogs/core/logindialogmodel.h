// The login dialog's logic: the data-source list, the trusted-connection
// lookup and the values the dialog hands back.
#pragma once

#include "editor/app/core/dbutil.h"

#include <string>
#include <vector>

namespace tarnwick {

// The drivers the editor works with: PostgreSQL and SQLite, by the driver's
// description or by the file name of its library.
bool IsAcceptedDriver(const std::string& description);

// Whether the data source asks for a trusted connection ("Trusted_Connection"
// of its odbc.ini section, system first, then user). Reads only.
bool IsTrustedDataSource(const std::string& dsn);

class CLoginDlgModel {
public:
    CLoginDlgModel(const std::string& user, const std::string& dsn, int diagramKind);

    // Fills the data-source list and chooses the selection and the focus.
    void OnInitDialog();
    void SelectDataSource(int index);
    void OnOK();

    const std::vector<std::string>& DataSources() const { return m_dataSources; }
    int Selection() const { return m_nSelection; }
    bool FocusOnPassword() const { return !m_strUser.empty(); }
    bool CredentialsEnabled() const { return !m_bNTAuthentication; }

    std::string m_strPassword;
    std::string m_strUser;
    int m_nDiagrammKind;
    std::string m_strDSN;
    BOOL m_bNTAuthentication = FALSE;

    static constexpr int kMaxCredentialChars = 32;

private:
    void UpdateAuthentication();

    std::vector<std::string> m_dataSources;
    int m_nSelection = -1;
};

} // namespace tarnwick
