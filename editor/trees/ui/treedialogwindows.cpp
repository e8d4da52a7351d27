#include "editor/trees/ui/treedialogwindows.h"

#include "editor/dialogs/ui/catalogdlgs.h"
#include "editor/pages/ui/diagrampropsheet.h"
#include "editor/dialogs/ui/selectdlgs.h"

#include "charts/elements/awfelements.h"

namespace tarnwick {

bool CWxTreeDialogs::SelectGroups(std::vector<std::int16_t>& groups)
{
    // Made without a parent, as it always was.
    CProdGroupSelectDlg dlg(nullptr);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    groups = dlg.m_model.m_arrGroups;
    return true;
}

bool CWxTreeDialogs::SelectProcess(std::int16_t grp, const std::string& groupText, std::int32_t& word,
                                   std::string& name)
{
    return RunProcessSelectDlg(m_tree, grp, groupText, word, name);
}

bool CWxTreeDialogs::SelectDocument(std::int16_t type, std::int16_t grp, std::int32_t& typeDoc, std::string& name)
{
    return RunSelectDocDlg(m_tree, type, grp, typeDoc, name);
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
