// The program's own version record and the texts of the about box.
#pragma once

#include <optional>
#include <string>

#include "winapi/version.h"

namespace tarnwick {

// String values of a module's version record.
class CVersionInfo {
public:
    // The record of the module file at modulePath; the program's own by default.
    explicit CVersionInfo(const std::string& modulePath = DefaultModulePath());
    virtual ~CVersionInfo();

    // Null without a record or without that value.
    const char* GetString(const std::string& name) const;

    static std::string DefaultModulePath();

private:
    std::optional<winapi::VersionInfo> m_data;
};

// What the about box shows, filled as its dialog starts.
class CAboutDlgModel {
public:
    void OnInitDialog(const CVersionInfo& version, const std::string& dbVersion, int diagramKind);

    std::string m_strProductName; // 1084
    std::string m_strVersion;     // 1085
    std::string m_strLegal;       // 1087
    std::string m_strCompany;     // 1007
    // Empty: the dialog keeps the caption of its resource.
    std::string m_strCaption;
};

} // namespace tarnwick
