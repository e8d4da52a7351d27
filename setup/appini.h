// What setup and uninstall share: the records of App.ini, the list of
// installed paths Files.dat, the registry keys, and the command line.
#pragma once

#include "installer/common/slist.h"

#include <string>
#include <vector>

namespace kelm_setup {

inline constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr const char* kClientVersionsKey = "SOFTWARE\\Varnholt Inc\\Orvo Server\\ClientVersions\\";
inline constexpr const char* kProfileKey = "Varnholt Inc\\Orvo Server\\Ver100001";
inline constexpr const char* kUninstallerName = "uninstall";
inline constexpr const char* kClientProgramName = "OrvoExec";
inline constexpr const char* kFileListName = "Files.dat";
inline constexpr const char* kAppIniName = "App.ini";

struct TBase : dorvik::TListItem {
    std::string m_strSection;
    virtual bool Load(const std::string& appIni) { return true; }
};

struct TInstallInfo : TBase {
    std::string m_strDevID;
    std::string m_strDevName;
    std::string m_strDevLink;
    std::string m_strAppName;
    std::string m_strAppVer;
    std::string m_strAppGUID; // with braces
    bool m_bLicenseAgr = false;
    std::string m_strClientVer;
    std::string m_strCopyPath;
    std::string m_strAppIco;
    bool m_bEnglish = false;
    std::string m_strInstallPath;

    // Reads [INSTALL_INFO]; false at the first empty required key, and for
    // a name that would not be a safe folder level or key name.
    bool Load(const std::string& appIni) override;
};

struct TSec : TBase {
    bool m_bCreateDSN = false;
    std::string m_strDriver;
    std::string m_strDSN;
    std::string m_strServer;
    bool m_bAuthen = false;
    std::string m_strDatabase;
    // Parallel lists, one entry per shortcut found.
    std::vector<std::string> m_Arguments;
    std::vector<std::string> m_Names;
    std::vector<std::string> m_Icons;
    std::vector<std::string> m_Programs;

    // false only for a shortcut name that cannot be a file name.
    bool Load(const std::string& appIni) override;
};

class CInstallData : public dorvik::CSList {
public:
    bool LoadAppIni(const std::string& appIni);
    TInstallInfo* GetInstallInfo() const;
    std::vector<TSec*> GetSections() const;
};

// "{...}" around an identifier where a brace is missing.
std::string BraceGuid(const std::string& guid);
// Hex digits, '-' and braces only.
bool IsValidGuid(const std::string& guid);

// The lines of Files.dat for a copy folder: every entry below it, depth
// first, a folder after its content, the top-level uninstaller left out,
// "App.ini" last. false (with the last error) when a folder cannot be
// listed or its path is too long.
bool ListFolderTree(const std::string& folder, std::vector<std::string>& lines);
// The file's text: each line followed by CR LF.
std::string FormatFileList(const std::vector<std::string>& lines);
// Lines cut at LF with CRs removed; a last piece without LF is dropped.
std::vector<std::string> ParseFileList(const std::string& text);

// Both programs' command line: only '-' starts a flag; "-s" silent,
// "-h:<n>" a process handle, "-o:<path>" the installed uninstaller's path.
// The first plain argument is kept (setup's kit folder).
class CRunCommandLineInfo {
public:
    void ParseParam(const std::string& param, bool isFlag);
    void Parse(int argc, char** argv);
    void Parse(const std::vector<std::string>& args);

    int m_nSilent = 0;
    int m_nHandle = 0;
    std::string m_strPath;
    std::string m_strFileName;
};

} // namespace kelm_setup
