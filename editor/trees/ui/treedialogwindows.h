// The process tree's catalogue dialogs as windows over the tree.
#pragma once

#include "editor/trees/core/treedialogs.h"

class wxWindow;

namespace tarnwick {

class CWxTreeDialogs final : public ITreeDialogs {
public:
    explicit CWxTreeDialogs(wxWindow* tree) : m_tree(tree) {}
    bool SelectGroups(std::vector<std::int16_t>& groups) override;
    bool SelectProcess(std::int16_t grp, const std::string& groupText, std::int32_t& word,
                       std::string& name) override;
    bool SelectDocument(std::int16_t type, std::int16_t grp, std::int32_t& typeDoc, std::string& name) override;
    void ShowProcessProperties(std::int16_t grp, std::int16_t type, const std::string& text) override;
    void ShowDocumentProperties(CAWFDocumentType& element, std::int16_t grp, std::int16_t type) override;

private:
    wxWindow* m_tree;
};

} // namespace tarnwick
