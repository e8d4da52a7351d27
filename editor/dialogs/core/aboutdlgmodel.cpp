#include "editor/dialogs/core/aboutdlgmodel.h"

#include "resources/tarnwick/tarnwickstrings.h"

#include "winapi/folders.h"

namespace tarnwick {

CVersionInfo::CVersionInfo(const std::string& modulePath) : m_data(winapi::GetFileVersionInfo(modulePath)) {}

CVersionInfo::~CVersionInfo() = default;

std::string CVersionInfo::DefaultModulePath() { return winapi::GetModuleFileName(); }

const char* CVersionInfo::GetString(const std::string& name) const
{
    return m_data ? m_data->GetString(name) : nullptr;
}

void CAboutDlgModel::OnInitDialog(const CVersionInfo& version, const std::string& dbVersion, int diagramKind)
{
    if (const char* product = version.GetString("ProductName"))
        m_strProductName = product;
    m_strVersion = "Tarnwick - ";
    if (const char* productVersion = version.GetString("ProductVersion"))
        m_strVersion += productVersion;
    m_strVersion += "\nБаза Данных - " + dbVersion;
    m_strLegal = res::LoadString(res::IDS_ABOUT_LEGAL);
    if (const char* copyright = version.GetString("LegalCopyright"))
        m_strLegal += std::string("\n") + copyright;
    if (const char* company = version.GetString("CompanyName"))
        m_strCompany = company;
    // Kinds without a caption of their own keep the resource's.
    m_strCaption = diagramKind >= 0 && diagramKind <= 2 ? res::LoadString(res::IDS_ABOUT_CAPTION_BASE + diagramKind) : "";
}

} // namespace tarnwick
