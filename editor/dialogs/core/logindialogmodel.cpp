#include "editor/dialogs/core/logindialogmodel.h"

#include "editor/app/core/editorcore.h"

#include "odbcbase/engine.h"
#include "winapi/settings/odbcconfig.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool TrustedIn(winapi::OdbcScope scope, const std::string& dsn)
{
    auto value = winapi::OdbcDsnValue(scope, dsn, "Trusted_Connection", 256);
    if (!value || value->empty())
        return false;
    // The registry value was read into 4 bytes: a longer value never matched.
    return value->size() <= 3 && Lower(*value) == "yes";
}

} // namespace

bool IsAcceptedDriver(const std::string& description)
{
    const odbcbase::Engine engine = odbcbase::EngineOfDriver(description);
    return engine == odbcbase::Engine::PostgreSql || engine == odbcbase::Engine::Sqlite;
}

bool IsTrustedDataSource(const std::string& dsn)
{
    if (dsn.empty())
        return false;
    return TrustedIn(winapi::OdbcScope::System, dsn) || TrustedIn(winapi::OdbcScope::User, dsn);
}

CLoginDlgModel::CLoginDlgModel(const std::string& user, const std::string& dsn, int diagramKind)
    : m_strUser(user.empty() ? CurrentUserName() : user), m_nDiagrammKind(diagramKind), m_strDSN(dsn)
{
}

void CLoginDlgModel::OnInitDialog()
{
    m_dataSources.clear();
    for (const auto& source : ado::ListDataSources())
        if (IsAcceptedDriver(source.driver))
            m_dataSources.push_back(source.name);
    // The combo box is a sorted one.
    std::stable_sort(m_dataSources.begin(), m_dataSources.end(),
                     [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    m_nSelection = -1;
    if (!m_dataSources.empty()) {
        m_nSelection = 0;
        for (std::size_t i = 0; i < m_dataSources.size(); ++i)
            if (Lower(m_dataSources[i]) == Lower(m_strDSN)) {
                m_nSelection = static_cast<int>(i);
                break;
            }
    }
    UpdateAuthentication();
}

void CLoginDlgModel::SelectDataSource(int index)
{
    m_nSelection = index >= 0 && index < static_cast<int>(m_dataSources.size()) ? index : -1;
    UpdateAuthentication();
}

void CLoginDlgModel::UpdateAuthentication()
{
    if (m_nSelection < 0)
        return;
    m_bNTAuthentication = IsTrustedDataSource(m_dataSources[static_cast<std::size_t>(m_nSelection)]);
}

void CLoginDlgModel::OnOK()
{
    m_strDSN = m_nSelection >= 0 ? m_dataSources[static_cast<std::size_t>(m_nSelection)] : std::string();
}

} // namespace tarnwick
