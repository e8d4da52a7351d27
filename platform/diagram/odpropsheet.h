// Property sheets: a modal dialog of pages, each page initialised when it is
// first shown and applied only when it was initialised; and the component
// property sheet that edits the components selected on a chart.
#pragma once

#include "diagram/odcomponent.h"

#include <string>
#include <vector>

#include <wx/panel.h>
#include <wx/propdlg.h>

class CODCommand;
class CODModel;
class CODViewport;
class CPropertySheet;
class wxBookCtrlEvent;

// How a sheet ended.
enum : int { OD_IDOK = 1, OD_IDCANCEL = 2 };

// The library's captions of the component sheet: read-only, and editable.
enum : int { OD_IDS_PROPERTIES_READONLY = 22104, OD_IDS_PROPERTIES = 22105 };
// The library's text of a string id, empty for an unknown one.
const char* ODLoadString(int id);

// A page of a property sheet. The sheet creates the page's window when the
// page is added; nothing runs on the page before it is first shown.
class CPropertyPage : public wxPanel {
public:
    explicit CPropertyPage(const std::string& caption = {});
    ~CPropertyPage() override;

    // Makes the page's window; the default is an empty panel.
    virtual bool CreatePage(wxWindow* parent);
    // First activation: the values go to the controls. False is no failure
    // (the focus was set by the page).
    virtual bool OnInitDialog();
    virtual bool OnSetActive();
    // Leaving the page or confirming the sheet: validation, then the values
    // come back from the controls. False keeps the page shown.
    virtual bool OnKillActive();
    // Confirmation of an initialised page; false keeps the sheet open.
    virtual bool OnApply();
    virtual void OnOK() {}
    virtual void OnCancel() {}

    // A modified page enables the sheet's Apply.
    void SetModified(bool modified = true);
    bool IsModified() const { return m_bModified; }
    bool IsInitialized() const { return m_bInitialized; }
    const std::string& GetCaption() const { return m_strCaption; }
    void SetCaption(const std::string& caption) { m_strCaption = caption; }
    CPropertySheet* GetSheet() const { return m_pSheet; }
    // Ends the whole sheet, also while the page is being initialised.
    void EndDialog(int result);

private:
    friend class CPropertySheet;
    bool Activate();

    std::string m_strCaption;
    bool m_bFirstActive = false;
    CPropertySheet* m_pSheet = nullptr;
    bool m_bInitialized = false;
    bool m_bModified = false;
};

// A modal sheet of pages with OK, Cancel and Apply. OK takes the values back
// from the page in front, then applies every initialised page in page order
// and ends the sheet; Apply does the same without ending it, and is enabled
// while a page is modified.
class CPropertySheet : public wxPropertySheetDialog {
public:
    CPropertySheet(const std::string& caption, wxWindow* parent, int initialPage = 0);
    ~CPropertySheet() override;

    // The page's window is made here; the sheet's window owns it from now on.
    virtual void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int i) const;
    int GetActiveIndex() const;
    CPropertyPage* GetActivePage() const { return GetPage(GetActiveIndex()); }
    // Brings a page to the front as a click on its tab does; false when the
    // page in front refuses to be left.
    bool SetActivePage(int index);
    void SetInitialPage(int index) { m_nInitialPage = index; }

    // IDOK (1) when confirmed, IDCANCEL (2) otherwise. The initial page
    // (the last one when the index lies beyond it) is initialised first; a
    // page that ends the sheet then ends it before it is shown.
    virtual int DoModal();
    // The confirmation: what the OK and Apply buttons run. False keeps the
    // sheet open.
    bool ApplyPages();
    // Apply is enabled while a page is modified.
    void UpdateApplyButton();
    // A request of a page to end the sheet.
    void EndSheet(int result);

protected:
    // Runs after every initialised page applied.
    virtual void OnApplied() {}

private:
    void OnPageChanging(wxBookCtrlEvent& event);
    void OnPageChanged(wxBookCtrlEvent& event);
    void OnOkButton(wxCommandEvent& event);
    void OnApplyButton(wxCommandEvent& event);
    void OnCancelButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    std::vector<CPropertyPage*> m_pages;
    int m_nInitialPage;
    bool m_bModal = false;
    int m_nEndResult = 0; // an end asked for before the modal run
};

// The sheet of the components selected on a chart.
class CODCompPropSheet : public CPropertySheet {
public:
    // Flags select the library's own pages; it has none.
    CODCompPropSheet(const CODComponentSet& selection, CODViewport* viewport, const std::string& caption,
                     std::uint32_t flags, wxWindow* parent, int initialPage);

    int GetComponentCount() const { return m_selection.GetSize(); }
    CODComponent* GetComponent(int i) const { return m_selection.GetAt(i); }
    CODComponentSet& GetSelection() { return m_selection; }
    CODViewport* GetViewport() const { return m_pViewport; }
    // The model of the chart: the viewport's, or the selection's.
    CODModel* GetModel() const;
    std::uint32_t GetFlags() const { return m_nFlags; }
    bool IsApplied() const { return m_bApplied; }

protected:
    // Marks applied, executes the pending change of the selection, then
    // tells the target with the code 2.
    void OnApplied() override;
    // The change the library's own pages collected; null without one.
    virtual CODCommand* GetPendingChange() { return nullptr; }
    virtual void NotifyTarget(CODComponentSet& selection, int code);

    bool m_bApplied = false;

private:
    CODComponentSet m_selection;
    CODViewport* m_pViewport;
    std::uint32_t m_nFlags;
};
