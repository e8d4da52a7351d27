// The object tree's texts onto the clipboard and into a drag.
#include "odbc/trees/ui/objectclipboard.h"
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/messages.h"
#include "odbc/trees/core/objectscripts.h"

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/window.h>

bool CopyObjectScript(CDatabaseEx* db, int command, int kind, const std::string& text)
{
    if (db == nullptr || !db->IsOpen())
        return false;
    std::string script;
    try {
        script = BuildObjectScript(*db, command, kind, text);
    } catch (const CDBException& e) {
        OrvoMessageBox(e.m_strError, MB_OK | MB_ICONERROR);
        return false;
    }
    if (script.empty())
        return false;
    _CopyToClipboard(script.c_str());
    return true;
}

void _CopyToClipboard(const char* text)
{
    if (text == nullptr || wxTheApp == nullptr)
        return;
    wxClipboardLocker clipboard;
    if (!clipboard)
        return;
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
}

void _CopyTextToDragObj(const char* text, wxWindow* source)
{
    if (text == nullptr || wxTheApp == nullptr)
        return;
    _CopyToClipboard(text);
    if (source == nullptr)
        source = wxTheApp->GetTopWindow();
    if (source == nullptr)
        return;
    wxTextDataObject data(wxString::FromUTF8(text));
    wxDropSource drag(data, source);
    drag.DoDragDrop(wxDrag_CopyOnly);
}
