#include "charts/documents/ui/basediagramdoc.h"

#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"

#include "winapi/files.h"
#include "winapi/text.h"

wxIMPLEMENT_DYNAMIC_CLASS(CBaseDiagramDoc, wxDocument);
wxIMPLEMENT_DYNAMIC_CLASS(CTarnwickDoc, CBaseDiagramDoc);

using namespace tarnwick;

namespace {

const char* const kReadOnlyNotice = "Режим \"только чтение\", диаграмма не будет сохранена";

} // namespace

CBaseDiagramDoc::~CBaseDiagramDoc()
{
    DropModel();
}

void CBaseDiagramDoc::DropModel()
{
    if (m_pModel) {
        // The model may be held elsewhere (a viewport); the last holder frees it.
        CDiagramModel* model = m_pModel;
        m_pModel = nullptr;
        model->Release();
    }
}

bool CBaseDiagramDoc::OpenFromDB(std::int32_t key, const std::string& title, bool build)
{
    if (!m_pModel)
        return true;
    if (!m_pModel->LoadFromDB(key, build)) {
        DropModel();
        return false;
    }
    m_bFromFile = 0;
    SetTitle(wxString::FromUTF8(ChartShell().IsReadOnly() ? title + " (только чтение)" : title));
    return true;
}

void CBaseDiagramDoc::Serialize(CArchive& ar)
{
    if (m_pModel)
        m_pModel->Serialize(ar);
}

bool CBaseDiagramDoc::IsModified() const
{
    if (!m_pModel)
        return false;
    return wxDocument::IsModified() || m_pModel->IsModified();
}

bool CBaseDiagramDoc::OnNewDocument()
{
    if (!wxDocument::OnNewDocument())
        return false;
    DeleteContents();
    return true;
}

bool CBaseDiagramDoc::DeleteContents()
{
    wxDocument::DeleteContents();
    if (m_pModel)
        m_pModel->DeleteContents();
    return true;
}

bool CBaseDiagramDoc::OnOpenDocument(const wxString& file)
{
    bool ok = false;
    try {
        ok = wxDocument::OnOpenDocument(file);
    } catch (...) {
        ChartShell().Message("Ошибка загрузки файла !", "", ChartIcon::None);
        return false;
    }
    if (ok)
        m_bFromFile = 1;
    return ok;
}

bool CBaseDiagramDoc::DoOpenDocument(const wxString& file)
{
    CFile in(file.utf8_string(), CFile::modeRead);
    CArchive ar(&in, CArchive::load);
    Serialize(ar);
    return true;
}

bool CBaseDiagramDoc::DoSaveDocument(const wxString& file)
{
    // Written beside the target first, so that a failed write leaves the old file whole.
    const std::string path = file.utf8_string();
    // Storing the model clears its flag; a write that fails must not.
    const bool modelModified = m_pModel && m_pModel->IsModified();
    try {
        const bool replaced = winapi::AtomicReplaceFile(path, [this](const std::string& temporary, int) {
            CFile out(temporary, CFile::modeCreate | CFile::modeWrite);
            CArchive ar(&out, CArchive::store);
            Serialize(ar);
            ar.Close();
            out.Close();
            return true;
        });
        if (!replaced)
            throw CFileException(CFileException::generic, path, "cannot replace " + path);
    } catch (const std::exception& e) {
        if (m_pModel)
            m_pModel->SetModified(modelModified);
        ChartShell().Message(e.what(), "", ChartIcon::Stop);
        return false;
    }
    return true;
}

bool CBaseDiagramDoc::OnSaveModified()
{
    if (!m_pModel || !IsModified())
        return true;
    if (m_pModel->GetKey() < 0)
        return wxDocument::OnSaveModified();
    std::string question;
    if (m_bFromFile) {
        question = "Диаграмма была загружена из файла!\n";
    } else if (ChartShell().IsReadOnly()) {
        ChartShell().Message(kReadOnlyNotice, "", ChartIcon::Exclamation);
        DiscardChanges();
        return true;
    }
    question += "Сохранить диаграмму '" + GetTitle().utf8_string() + "' в БД ?";
    switch (ChartShell().AskYesNoCancel(question)) {
    case IDCANCEL:
        return false;
    case IDYES:
        // This document's chart, whichever window is active; a save that
        // did not commit keeps the window open with its edits.
        return SaveChartToDatabase();
    default:
        DiscardChanges();
        return true;
    }
}

void CBaseDiagramDoc::DiscardChanges()
{
    // The document is closing: asked once, it is not asked again when its last view goes.
    if (m_pModel)
        m_pModel->SetModified(false);
    Modify(false);
}

std::string CBaseDiagramDoc::ProposedFileTitle(const std::string& title)
{
    if (title.find_first_of(" #%;/\\:\"'") == std::string::npos)
        return title;
    std::string proposed = title;
    for (char& c : proposed)
        if (c == ' ' || c == '"' || c == '\'' || c == '\\' || c == '/' || c == '#' || c == '%' || c == ':')
            c = '_';
    proposed = std::string(winapi::Utf8Left(proposed, 80));
    return proposed;
}

bool CBaseDiagramDoc::SaveAs()
{
    const wxString kept = GetTitle();
    const std::string proposed = ProposedFileTitle(kept.utf8_string());
    if (proposed == kept.utf8_string())
        return wxDocument::SaveAs();
    SetTitle(wxString::FromUTF8(proposed));
    bool ok = false;
    try {
        ok = wxDocument::SaveAs();
    } catch (...) {
        SetTitle(kept);
        throw;
    }
    SetTitle(kept);
    return ok;
}

bool CBaseDiagramDoc::SaveChartToDatabase()
{
    return false;
}

CTarnwickDoc::CTarnwickDoc()
{
    m_pModel = new CTarnwickModel;
    m_pModel->AddRef();
}

ChartSaveResult tarnwick::SaveWorkflowChart(CTarnwickModel& model)
{
    if (ChartShell().IsReadOnly()) {
        ChartShell().Message(kReadOnlyNotice, "", ChartIcon::Exclamation);
        return ChartSaveResult::Refused;
    }
    if (model.m_DocTypes.IsEmpty())
        return ChartSaveResult::Empty;
    if (!CheckChart(model, false))
        return ChartSaveResult::CheckFailed;
    return model.SaveToDB() ? ChartSaveResult::Saved : ChartSaveResult::NotSaved;
}

bool CTarnwickDoc::SaveChartToDatabase()
{
    CTarnwickModel* model = GetModel();
    if (!model)
        return false;
    switch (SaveWorkflowChart(*model)) {
    case ChartSaveResult::Saved:
        Modify(false);
        return true;
    case ChartSaveResult::CheckFailed:
        // The elements now carry their error marks.
        UpdateAllViews();
        return false;
    default:
        return false;
    }
}
