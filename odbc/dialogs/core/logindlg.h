// The login dialog: the data source, user and password a connection opens
// with. Its rules and the state of its controls live in this plain class,
// which tests drive; the window only shows it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxIconBundle;
class wxWindow;

class CLoginDlg {
public:
    // Remembers UID and DSN under `section` of the setting store when it is
    // not empty; the filter array is the caller's and must outlive the dialog.
    CLoginDlg(wxWindow* pParent, const char* section, const char* const* driverFilter, short filterCount, bool lockDsn,
              const char* excludeDsn);
    CLoginDlg(const char* uid = nullptr, const char* dsn = nullptr, bool lockDsn = false, wxWindow* pParent = nullptr,
              const char* const* driverFilter = nullptr, short filterCount = 0);
    virtual ~CLoginDlg();
    CLoginDlg(const CLoginDlg&) = delete;
    CLoginDlg& operator=(const CLoginDlg&) = delete;

    // The dialog's icon (big and small); call before DoModal.
    void LoadIconDlg(const wxIconBundle& icons);
    // IDOK when the user confirmed; the answers are then in the members.
    virtual int DoModal();
    // "DSN=<dsn>;UID=<uid>;PWD=<pwd>", values braced where they need it.
    std::string GetConnectStr() const;
    void GetConnectStr(std::string& out) const { out = GetConnectStr(); }
    void GetODBCConnectStr(std::string& out) const { out = "ODBC;" + GetConnectStr(); }

    // Replaces the window (tests answer here); an empty function restores it.
    using Presenter = std::function<int(CLoginDlg&)>;
    static void SetPresenter(Presenter presenter);
    // The window DoModal shows without a presenter: IDOK or IDCANCEL, and
    // IDCANCEL when there is no application to show it in. The library's
    // window part sets it as it loads; null removes it (DoModal then
    // answers IDCANCEL).
    using Window = int (*)(CLoginDlg&);
    static void SetWindow(Window window);
    // The icons LoadIconDlg gave, or null.
    const wxIconBundle* GetIcons() const { return m_pIcons.get(); }

    // What the window does, in the order it does it. OnInitDialog fills the
    // list and sets up the controls; false when no ODBC environment exists.
    bool OnInitDialog();
    void OnSelendokDsnList();
    void OnUserUpdate();
    // Ends the dialog with IDOK: reads the controls, remembers UID and DSN.
    void OnOK();
    // Controls to members (save) or members to controls.
    void UpdateData(bool save);
    // What the user does to the controls.
    void SelectDsn(int index);
    void TypeUser(const std::string& text);
    void TypePassword(const std::string& text);

    // The data of the dialog.
    std::string m_strSection;
    std::string m_strUID;
    std::string m_strPWD;
    std::string m_strDSN;
    const char* const* m_ppDriverFilter = nullptr;
    short m_nDriverFilterCount = 0;
    bool m_bLockDSN = false;
    std::string m_strExcludeDSN;
    wxWindow* m_pParent = nullptr;

    // The controls as the window shows them.
    std::vector<std::string> m_dsnItems; // sorted as the combo box sorts
    int m_nDsnSel = -1;
    bool m_bDsnEnabled = true;
    std::string m_userText;
    std::string m_passwordText;
    bool m_bUserEnabled = true;
    bool m_bPasswordEnabled = true;
    bool m_bOKEnabled = true;

    static constexpr std::size_t kUserChars = 32;
    static constexpr std::size_t kPasswordChars = 20;

protected:
    // Whether a data source of this driver is listed: all without a filter,
    // else those whose driver is named (case ignored) by a non-null entry.
    virtual bool IsAddToList(const char* dsn, const char* driver);

private:
    // Made and released by the window part (LoadIconDlg), which knows the type.
    std::shared_ptr<const wxIconBundle> m_pIcons;
};
