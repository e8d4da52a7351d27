#include "treedialogs_wx.h"

#include "catalogdlgs.h"
#include "diagrampropsheet.h"
#include "prompt.h"

#include "charts/awfelements.h"

namespace tarnwick {

namespace {

// own wording
const char* const kNotInThisBuild = "Выбор из каталога недоступен в этой сборке программы";

} // namespace

bool CWxTreeDialogs::SelectGroups(std::vector<std::int16_t>& groups)
{
    // Made without a parent, as it always was.
    CProdGroupSelectDlg dlg(nullptr);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    groups = dlg.m_model.m_arrGroups;
    return true;
}

bool CWxTreeDialogs::SelectProcess(std::int16_t, const std::string&, std::int32_t&, std::string&)
{
    Prompt().Message(kNotInThisBuild, {}, MessageIcon::Information);
    return false;
}

bool CWxTreeDialogs::SelectDocument(std::int16_t, std::int16_t, std::int32_t&, std::string&)
{
    Prompt().Message(kNotInThisBuild, {}, MessageIcon::Information);
    return false;
}

void CWxTreeDialogs::ShowProcessProperties(std::int16_t grp, std::int16_t type, const std::string& text)
{
    CAddProcessDlg dlg(grp, static_cast<std::uint16_t>(type), text, m_tree, true);
    dlg.ShowModal();
}

void CWxTreeDialogs::ShowDocumentProperties(CAWFDocumentType& element, std::int16_t grp, std::int16_t type)
{
    CPropertySheet sheet("Свойства", m_tree);
    sheet.AddPage(new CDocStatePPDocument(&element, grp, type, 1));
    sheet.DoModal();
}

} // namespace tarnwick
