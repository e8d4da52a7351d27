#include "setup/appini.h"

#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/settings/ini.h"
#include "winapi/shelllink.h"
#include "winapi/text.h"

#include <algorithm>
#include <cctype>

namespace kelm_setup {

namespace {

// Large enough that no value, section list or section is ever cut.
constexpr DWORD kWhole = 1u << 20;

std::string readText(const std::string& file, const std::string& section, const std::string& key)
{
    std::string value;
    winapi::GetPrivateProfileString(section.c_str(), key.c_str(), "", value, kWhole, file);
    return value;
}

bool readFlag(const std::string& file, const std::string& section, const char* key)
{
    return winapi::GetPrivateProfileInt(section.c_str(), key, 0, file) != 0;
}

// The keys of the installation record in reading order; the required ones
// stop the reading when empty.
struct InfoKey {
    const char* name;
    bool required;
    std::string TInstallInfo::*text;
};

} // namespace

std::string BraceGuid(const std::string& guid)
{
    std::string out = guid;
    if (out.empty() || out.front() != '{')
        out.insert(out.begin(), '{');
    if (out.back() != '}')
        out.push_back('}');
    return out;
}

bool IsValidGuid(const std::string& guid)
{
    if (guid.empty())
        return false;
    for (char c : guid)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-' && c != '{' && c != '}')
            return false;
    return true;
}

bool TInstallInfo::Load(const std::string& appIni)
{
    const std::string section = "INSTALL_INFO";
    static const InfoKey textKeys[] = {
        {"DevID", true, &TInstallInfo::m_strDevID},     {"DevName", true, &TInstallInfo::m_strDevName},
        {"DevLink", false, &TInstallInfo::m_strDevLink}, {"AppName", true, &TInstallInfo::m_strAppName},
        {"AppVer", true, &TInstallInfo::m_strAppVer},   {"AppGUID", true, &TInstallInfo::m_strAppGUID},
    };
    for (const auto& key : textKeys) {
        this->*key.text = readText(appIni, section, key.name);
        if (key.required && (this->*key.text).empty())
            return false;
    }
    m_bLicenseAgr = readFlag(appIni, section, "License_agr");
    m_strClientVer = readText(appIni, section, "ClientVer");
    if (m_strClientVer.empty())
        return false;
    m_strCopyPath = winapi::FromKitPath(readText(appIni, section, "CopyPath"));
    m_strAppIco = winapi::FromKitPath(readText(appIni, section, "AppIco"));
    m_bEnglish = readFlag(appIni, section, "English");
    m_strInstallPath = winapi::FromKitPath(readText(appIni, section, "InstallPath"));

    // These texts become folder levels and a key name that root writes and
    // deletes.
    if (!winapi::IsSafePathComponent(m_strDevID) || !winapi::IsSafePathComponent(m_strAppName) ||
        !winapi::IsSafePathComponent(m_strAppVer) || !IsValidGuid(m_strAppGUID))
        return false;
    m_strAppGUID = BraceGuid(m_strAppGUID);
    return true;
}

bool TSec::Load(const std::string& appIni)
{
    m_bCreateDSN = readFlag(appIni, m_strSection, "CreateDSN");
    m_strDriver = readText(appIni, m_strSection, "DSN_DRIVER");
    m_strDSN = readText(appIni, m_strSection, "DSN");
    m_strServer = readText(appIni, m_strSection, "SERVER_NAME");
    m_bAuthen = readFlag(appIni, m_strSection, "AUTHEN");
    m_strDatabase = readText(appIni, m_strSection, "DATABASE");

    int count = 0;
    for (const auto& line : winapi::GetPrivateProfileSection(m_strSection.c_str(), kWhole, appIni))
        if (winapi::Utf8Upper(line).find("SHORTCUT") != std::string::npos)
            ++count;
    for (int n = 1; n <= count; ++n) {
        std::string number = std::to_string(n);
        std::string arguments = readText(appIni, m_strSection, "SHORTCUT" + number);
        if (arguments.empty())
            continue;
        std::string name = readText(appIni, m_strSection, "SHORTCUT_NAME" + number);
        if (!name.empty() && !winapi::IsSafePathComponent(name))
            return false;
        m_Arguments.push_back(arguments);
        m_Names.push_back(name);
        m_Icons.push_back(winapi::FromKitPath(readText(appIni, m_strSection, "ICON" + number)));
        m_Programs.push_back(winapi::FromKitPath(readText(appIni, m_strSection, "EXE_FILE" + number)));
    }
    return true;
}

bool CInstallData::LoadAppIni(const std::string& appIni)
{
    DeleteAll();
    auto names = winapi::GetPrivateProfileSectionNames(appIni, kWhole);
    if (names.empty())
        return false;
    auto* info = new TInstallInfo;
    info->m_strSection = "INSTALL_INFO";
    Add(info);
    // The first section stands for the installation record, whatever its name.
    for (std::size_t i = 1; i < names.size(); ++i) {
        std::string upper = winapi::Utf8Upper(names[i]);
        if (upper.find("SEC") == std::string::npos)
            continue;
        auto* sec = new TSec;
        sec->m_strSection = upper;
        Add(sec);
    }
    for (auto* item = GetHead(); item; item = item->m_pNext)
        if (!static_cast<TBase*>(item)->Load(appIni))
            return false;
    return true;
}

TInstallInfo* CInstallData::GetInstallInfo() const
{
    return GetHead() ? dynamic_cast<TInstallInfo*>(GetHead()) : nullptr;
}

std::vector<TSec*> CInstallData::GetSections() const
{
    std::vector<TSec*> sections;
    for (auto* item = GetHead(); item; item = item->m_pNext)
        if (auto* sec = dynamic_cast<TSec*>(item))
            sections.push_back(sec);
    return sections;
}

namespace {

bool listFolder(const std::string& folder, const std::string& relative, std::vector<std::string>& lines)
{
    if (folder.empty() || winapi::Utf8Length(folder) > 259 || !winapi::IsEnterableDirectory(folder)) {
        winapi::SetLastError(folder.empty() || winapi::IsEnterableDirectory(folder)
                                 ? winapi::kErrorFilenameExcedRange
                                 : winapi::kErrorPathNotFound);
        return false;
    }
    auto entries = winapi::FindNames(folder, "*", winapi::FindMode::Pattern);
    if (!entries)
        return winapi::GetLastError() == winapi::kErrorFileNotFound; // an empty folder
    for (const auto& entry : *entries) {
        std::string path = relative.empty() ? entry.name : relative + "/" + entry.name;
        // The uninstaller is not deleted from the list; it removes itself.
        if (relative.empty() && entry.name == kUninstallerName)
            continue;
        if (entry.isDirectory && !entry.isSymlink && !listFolder(folder + "/" + entry.name, path, lines))
            return false;
        lines.push_back(path);
    }
    return true;
}

} // namespace

bool ListFolderTree(const std::string& folder, std::vector<std::string>& lines)
{
    lines.clear();
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (!listFolder(base, "", lines))
        return false;
    lines.push_back(kAppIniName);
    return true;
}

std::string FormatFileList(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

std::vector<std::string> ParseFileList(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break;
        std::string line = text.substr(start, end - start);
        std::erase(line, '\r');
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void CRunCommandLineInfo::ParseParam(const std::string& param, bool isFlag)
{
    if (!isFlag) {
        if (m_strFileName.empty())
            m_strFileName = param;
        return;
    }
    std::string value;
    if (param.size() >= 2 && param[1] == ':')
        value = param.substr(2);
    else if (param.size() != 1)
        return;
    switch (param[0]) {
    case 's':
    case 'S':
        m_nSilent = 1;
        break;
    case 'h':
    case 'H':
        m_nHandle = winapi::StrToInt(value);
        break;
    case 'o':
    case 'O':
        m_strPath = value;
        break;
    default:
        break;
    }
}

void CRunCommandLineInfo::Parse(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg.size() > 1 && arg[0] == '-')
            ParseParam(arg.substr(1), true);
        else
            ParseParam(arg, false);
    }
}

void CRunCommandLineInfo::Parse(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    Parse(args);
}

} // namespace kelm_setup
