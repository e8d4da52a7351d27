#include "editor/dialogs/ui/aboutdlg.h"

#include "editor/app/ui/uires.h"

#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <stdexcept>

namespace tarnwick {

CAboutDlg::CAboutDlg(wxWindow* parent, const CVersionInfo& version, const std::string& dbVersion, int diagramKind)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "IDD_ABOUTBOX"))
        throw std::runtime_error("the dialog resource IDD_ABOUTBOX is missing");
    m_model.OnInitDialog(version, dbVersion, diagramKind);
    XRCCTRL(*this, "IDC_ABOUT_BITMAP", wxStaticBitmap)->SetBitmap(IconBitmap("about251", 48, 48));
    XRCCTRL(*this, "IDC_PRODUCT_NAME", wxStaticText)->SetLabel(wxString::FromUTF8(m_model.m_strProductName));
    XRCCTRL(*this, "IDC_VERSION", wxStaticText)->SetLabel(wxString::FromUTF8(m_model.m_strVersion));
    XRCCTRL(*this, "IDC_LEGAL", wxStaticText)->SetLabel(wxString::FromUTF8(m_model.m_strLegal));
    XRCCTRL(*this, "IDC_LEGAL", wxStaticText)->Wrap(FromDIP(320));
    XRCCTRL(*this, "IDC_COMPANY", wxTextCtrl)->ChangeValue(wxString::FromUTF8(m_model.m_strCompany));
    if (!m_model.m_strCaption.empty())
        SetTitle(wxString::FromUTF8(m_model.m_strCaption));
    GetSizer()->SetSizeHints(this);
    CentreOnParent();
}

} // namespace tarnwick
