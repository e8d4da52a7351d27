// The back-references dialog's logic: the document types whose charts have
// a move into a given document type, by group and process.
#pragma once

#include "editor/trees/core/processtree.h"

#include <cstdint>
#include <string>

namespace tarnwick {

class CShortCutDlgModel {
public:
    CShortCutDlgModel(std::int32_t typeDoc, ITreeItems& items);

    // Fills the tree; a database error is shown and what was read stays.
    void OnInitDialog();
    void OnSelChange(TreeItem item);
    bool OkEnabled() const { return m_bOkEnabled; }

    std::int32_t m_nTypeDoc;
    std::int32_t m_nSelTypeDoc = 0;
    std::string m_strSelName;

private:
    TreeItem FindOrAppend(TreeItem parent, std::int32_t data, const std::string& text, int image);

    ITreeItems& m_items;
    bool m_bOkEnabled = false;
};

} // namespace tarnwick
