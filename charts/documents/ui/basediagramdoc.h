// The chart documents: a chart is loaded from the database for a key or read
// from a chart file (.wfa), which holds the model's archive alone.
#pragma once

#include "charts/documents/core/diagrammodel.h"

#include <wx/docview.h>

#include <cstdint>
#include <string>

namespace tarnwick {

enum class ChartSaveResult { Refused, Empty, CheckFailed, NotSaved, Saved };
// The save of a workflow chart: refused in read-only mode, nothing for a
// chart without document types, the integrity check first (a failed check
// leaves its marks on the elements), then the save.
ChartSaveResult SaveWorkflowChart(CTarnwickModel& model);

} // namespace tarnwick

class CBaseDiagramDoc : public wxDocument {
    wxDECLARE_DYNAMIC_CLASS(CBaseDiagramDoc);

public:
    CBaseDiagramDoc() = default;
    ~CBaseDiagramDoc() override;

    CDiagramModel* GetModel() const { return m_pModel; }
    virtual bool OpenFromDB(std::int32_t key, const std::string& title, bool build);
    // Writes this document's own chart to the database: true only when the
    // save committed. The base document has nothing it could write.
    virtual bool SaveChartToDatabase();
    // The document file is exactly the model's archive.
    virtual void Serialize(CArchive& ar);

    bool IsModified() const override;
    bool OnNewDocument() override;
    bool OnOpenDocument(const wxString& file) override;
    bool DeleteContents() override;
    // Asked before the document closes: false keeps it open.
    bool OnSaveModified() override;
    // Save as: the title proposed as a file name loses the characters a file
    // name cannot or should not hold, and is put back afterwards.
    bool SaveAs() override;

    // The title with blank, quotes, slashes, '#', '%' and ':' made '_' and
    // cut to 80 characters, when it holds one of the nine characters that
    // ask for it; otherwise the title unchanged.
    static std::string ProposedFileTitle(const std::string& title);

    std::uint8_t m_bFromFile = 1;
    CDiagramModel* m_pModel = nullptr;

protected:
    bool DoSaveDocument(const wxString& file) override;
    bool DoOpenDocument(const wxString& file) override;
    // Drops the model (a failed load).
    void DropModel();
    // The answer to the save question is final for a closing document.
    void DiscardChanges();
};

class CTarnwickDoc : public CBaseDiagramDoc {
    wxDECLARE_DYNAMIC_CLASS(CTarnwickDoc);

public:
    CTarnwickDoc();
    CTarnwickModel* GetModel() const { return static_cast<CTarnwickModel*>(m_pModel); }
    // Refused in read-only mode; the integrity check first, then the save.
    bool SaveChartToDatabase() override;
};
