#include "editor/dialogs/ui/chartdialogwindows.h"

#include "editor/dialogs/ui/arrangedlg.h"
#include "editor/pages/ui/departmentpage.h"
#include "editor/pages/ui/diagrampropsheet.h"
#include "editor/dialogs/ui/shortcutdlg.h"

#include "diagram/odviewport.h"

#include <wx/app.h>
#include <wx/defs.h>
#include <wx/filedlg.h>
#include <wx/toplevel.h>

#include <cctype>

namespace tarnwick {

int DialogResultFromWx(int wxResult)
{
    return wxResult == wxID_OK ? IDOK : IDCANCEL;
}

int CWxChartDialogs::SelectAction(ActionChoice& choice)
{
    CActionSelectDlg dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (dialog.DoModal() != IDOK)
        return IDCANCEL;
    const CActionSelectDlgModel& chosen = dialog.Model();
    choice.action = chosen.SelectedAction;
    choice.name = chosen.SelectedName;
    choice.kind = chosen.KindIndex;
    choice.order = chosen.Order;
    return IDOK;
}

int CWxChartDialogs::RunProperties(CODComponentSet& selection, CODViewport& viewport, const std::string& caption)
{
    wxWindow* parent = viewport.GetWnd() ? wxGetTopLevelParent(viewport.GetWnd()) : nullptr;
    if (!parent && wxTheApp)
        parent = wxTheApp->GetTopWindow();
    CDiagramPropSheet sheet(selection, &viewport, caption, 0xFFFFFFFFu, parent);
    AddPagesForSelection(sheet);
    AddDepartmentPages(sheet);
    // Nothing to show: no sheet.
    if (sheet.GetPageCount() == 0)
        return IDCANCEL;
    return RunPropSheet(sheet) == OD_IDOK ? IDOK : IDCANCEL;
}

int CWxChartDialogs::ShowBackReferences(std::int32_t typeDoc, DocTypeChoice& chosen)
{
    CShortCutDlg dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, typeDoc);
    if (DialogResultFromWx(dialog.ShowModal()) != IDOK)
        return IDCANCEL;
    chosen.typeDoc = dialog.m_model.m_nSelTypeDoc;
    chosen.name = dialog.m_model.m_strSelName;
    return IDOK;
}

std::string PicturePathWithExtension(const std::string& path)
{
    const std::string extension = ".jpg";
    if (path.size() >= extension.size()) {
        std::string tail = path.substr(path.size() - extension.size());
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == extension)
            return path;
    }
    return path + extension;
}

int CWxChartDialogs::AskPicturePath(const std::string& proposed, std::string& path)
{
    wxFileDialog dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, wxString::FromUTF8("Сохранить файл как рисунок."),
                        "", wxString::FromUTF8(proposed + ".jpg"), wxString::FromUTF8("Файлы формата JPEG (*.jpg)|*.jpg"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (DialogResultFromWx(dialog.ShowModal()) != IDOK)
        return IDCANCEL;
    path = PicturePathWithExtension(dialog.GetPath().utf8_string());
    return IDOK;
}

int CWxChartDialogs::ArrangeParams(ArrangeChoice& params)
{
    CArrangeHorzParamDlg dialog(params, wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    const int result = DialogResultFromWx(dialog.ShowModal());
    if (result == IDOK)
        params = dialog.Model().m_choice;
    return result;
}

} // namespace tarnwick
