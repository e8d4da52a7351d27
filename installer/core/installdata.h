// The step list of one installation, built from the installer's INI file:
// the section names decide which steps exist and in which order; each step
// reads its own section, carries what the wizard's pages change, and
// expands the macros of the texts the engine reads from its section.
#pragma once

#include "installer/common/slist.h"
#include "winapi/files.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace dorvik {

class CInstallData;
class CPageBase; // a wizard page (installer/core/wizardpages.h)

struct TBase : TListItem {
    virtual bool Load(const std::string& iniPath);
    // A new page for this step, owned by the caller; null until the program
    // has registered its pages (SetPageFactory).
    virtual CPageBase* CreatePage();
    virtual void ExpandMacros(std::string& text) const;
    virtual int NeededSpace(const winapi::DriveId& drive) const { return 0; }

    bool m_bEnabled = false;
    std::string m_strName; // the section name, upper case
    std::string m_strSectionDescriptionR;
    std::string m_strSectionDescriptionE;
    std::string m_strInfo;
    CInstallData* m_pOwner = nullptr; // the list the step belongs to
};

struct TStart : TBase {
    bool Load(const std::string& iniPath) override;
    CPageBase* CreatePage() override;
    int m_nDefaultLanguage = 0;
};

struct TLicense : TBase {
    bool Load(const std::string& iniPath) override;
    CPageBase* CreatePage() override;
    std::string m_strLicenseFile;
};

struct TLogin : TBase {
    bool Load(const std::string& iniPath) override;
    CPageBase* CreatePage() override;
    bool m_bEnableChangeLogin = true;
    std::string m_strServer;
    std::string m_strUser;
    std::string m_strPassword;
    bool m_bTrustedConnection = false;
};

struct TEnd : TBase {
    CPageBase* CreatePage() override;
};

struct TSetup : TBase {
    bool Load(const std::string& iniPath) override;
    void ExpandMacros(std::string& text) const override;
    int NeededSpace(const winapi::DriveId& drive) const override;

    std::string m_strPathData;
    std::string m_strPathData2;
    int m_nNeedDiskSpace = 0;
    int m_nNeedDiskSpace2 = 0;
    std::string m_strCollateStr;
    bool m_bHideTempDatabaseControls = false;
};

struct TPatch : TSetup {
    bool Load(const std::string& iniPath) override;
    CPageBase* CreatePage() override;
    void ExpandMacros(std::string& text) const override;

    std::string m_strDataBase;
    std::string m_strBcpPath;
    std::string m_strUsing;
    std::string m_strTempDataBase;
};

struct TDatabase : TPatch {
    bool Load(const std::string& iniPath) override;
    CPageBase* CreatePage() override;
    void ExpandMacros(std::string& text) const override;

    int m_nLoadDump = 0; // 0 bulk files, 1 dump, 2 attach
    bool m_bEnableLoad = true;
    bool m_bEnableDorvik = false;
    std::string m_strBackUpPath; // set by the wizard (or the quiet run), not read
    bool m_bInstallDayMaintenance = false;
    bool m_bInstallWeekMaintenance = true;
    std::uint16_t m_nDayMaintenanceTime = 5;
    std::uint16_t m_nWeekMaintenanceTime = 1;
    int m_nWeekMaintenanceDay = 1;
    bool m_bMaintenanceConfirmed = false; // the pages' flag
};

// Which page a step wants; the program's page factory makes it.
enum class PageKind { Start, License, Login, Patch, Database, End };
using PageFactory = CPageBase* (*)(PageKind kind, TBase& step);
void SetPageFactory(PageFactory factory);

// A disk-space text: a number and one unit letter; "1.9M" is 1, a text
// shorter than two characters 0.
int ParseDiskSpace(const std::string& text);

// Reads a key of an INI file whole (no buffer cut); `def` when missing.
std::string ReadIniString(const std::string& section, const char* key, const char* def, const std::string& file);

// What the log shows in place of the login's password.
inline constexpr char kHiddenPassword[] = "***";

class CInstallData : public CSList {
public:
    // `kitFolder` is what %APPDIR% stands for, the program's folder when empty.
    bool Load(const std::string& iniPath, const std::string& kitFolder = {});
    const std::string& GetIniPath() const { return m_strIniPath; }
    std::string GetKitFolder() const;

    TLogin* GetLoginStep() const;
    TStart* GetStartStep() const;
    void GetLogin(std::string* server, std::string* user, std::string* password, bool* trusted) const;
    // After a successful connection: the login step takes the server's
    // network name (and instance), password and login name.
    bool RefreshLogin();
    int NeededSpaceBefore(const winapi::DriveId& drive, const TBase* step) const;
    int GetDefaultLanguage() const;
    // `hidePassword`: %PASSWORD% becomes kHiddenPassword, as the log shows it.
    void ExpandMacros(std::string& text, const TBase* step, bool withEscapes, bool hidePassword = false) const;

    template <typename F> void ForEach(F f) const
    {
        for (TListItem* item = GetHead(); item; item = item->m_pNext)
            f(*static_cast<TBase*>(item));
    }

private:
    std::string m_strKitFolder;
    std::string m_strIniPath;
};

} // namespace dorvik
