// The application object's logic: settings, command line, the one ADO
// connection with its version and rights check, and the login loop. The wx
// application (CTarnwickApp) shows it; tests drive it directly.
#pragma once

#include "ado/ado.h"
#include "editor/app/core/dbutil.h"
#include "editor/app/core/editorprompt.h"

#include <string>
#include <vector>

namespace tarnwick {

// TRUE until a connection passes the administrator check.
extern BOOL g_bReadOnlyMode;

class CCommandLineInfo {
public:
    enum { FileNew = 0, FileOpen = 1, FileNothing = 7 };
    virtual ~CCommandLineInfo() = default;
    virtual void ParseParam(const std::string& param, bool bFlag, bool bLast);

    int m_nShellCommand = FileNew;
    std::string m_strFileName;
};

class CTarnwickCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(const std::string& param, bool bFlag, bool bLast) override;

    std::uint8_t m_bClearReg = 0;
    std::uint8_t m_bLoginFromCmdLine = 0;
    std::string m_strDSN;
    BOOL m_bNTAuthentication = FALSE;
    std::string m_strUser;
    std::string m_strPassword;
    int m_nDiagrammType = 0;
};

// Hands each argument to ParseParam. Only '-' starts a flag: on Linux a
// leading '/' is an absolute path.
void ParseCommandLine(CCommandLineInfo& info, const std::vector<std::string>& args);

// The program's arguments (without the program name) as given; the value of
// every -p: flag is then overwritten in argv itself, so that the password no
// longer shows in the process list. Called by main before anything copies argv.
std::vector<std::string> TakeCommandLine(int argc, char** argv);

// The profile: section and key names as the registry had them.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                         const std::string& def) = 0;
    virtual int GetProfileInt(const std::string& section, const std::string& key, int def) = 0;
    virtual void WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    virtual void WriteProfileInt(const std::string& section, const std::string& key, int value) = 0;
};

// "Kelm Tarnwick v" and the program's version.
std::string RegistryKeyName();

// Compares dotted version texts part by part as numbers ("3.01.4" < "3.01.35").
int CompareVersions(const std::string& a, const std::string& b);

enum class TreeClass { Base, AWF, DWF };

// What a login dialog run gives back.
struct LoginResult {
    std::string m_strDSN;
    BOOL m_bNTAuthentication = FALSE;
    std::string m_strUser;
    std::string m_strPassword;
};

// The parts of the user interface the application logic drives.
class IAppShell {
public:
    virtual ~IAppShell() = default;
    // Runs the login dialog modally; false when it was not closed with OK.
    virtual bool RunLoginDialog(const std::string& user, const std::string& dsn, int diagramKind,
                                LoginResult& result) = 0;
    virtual void BuildNavigationTree(TreeClass treeClass) = 0;
    virtual void RemoveNavigationTree() = 0;
    // Closes every chart window, each through its save question; false when
    // one of them stayed open.
    virtual bool CloseChildWindows() = 0;
};

class CTarnwickAppCore {
public:
    CTarnwickAppCore();
    virtual ~CTarnwickAppCore();
    CTarnwickAppCore(const CTarnwickAppCore&) = delete;
    CTarnwickAppCore& operator=(const CTarnwickAppCore&) = delete;

    // The one application object of the process.
    static CTarnwickAppCore* Instance();

    void SetShell(IAppShell* shell) { m_shell = shell; }

    void LoadSettings(ISettingsStore& store);
    void SaveSettings(ISettingsStore& store);

    // Start-up step 12: create the connection object, connect silently, else
    // run the login loop; build the tree when connected. False ends the program.
    bool ConnectAtStartup();
    // Shut-down: close an open connection and release it.
    void ReleaseConnection();

    ado::_ConnectionPtr ConnectDB(BOOL bShowErrors);
    bool IsDbVersionAtLeast(const std::string& version) const;
    TreeClass GetTreeClass() const;

    void OnOpenConnection();
    void OnCloseConnection();
    bool OnUpdateOpenConnection() const;
    bool OnUpdateCloseConnection() const;

    // The name of the data source the trees show: the one given, or, once a
    // connection without a name is open, the driver manager's default one
    // that it went through.
    std::string DataSourceName() const;
    // The connection string ConnectDB passes to Open for the current settings.
    std::string ConnectionString() const;
    // The rights query for the engine of the open connection.
    std::string RightsQuery() const;

    CTarnwickCommandLineInfo m_cmdInfo;
    std::string m_strDbVersion;
    ado::_ConnectionPtr m_pConnection;

private:
    IAppShell* m_shell = nullptr;
};

// The operating-system account name of the process.
std::string CurrentUserName();

} // namespace tarnwick
