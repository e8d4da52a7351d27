// The modal dialogs the process tree's catalogue commands open, behind one
// interface: the program shows the real dialogs over the tree, tests answer
// from a script.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CAWFDocumentType;

namespace tarnwick {

class ITreeDialogs {
public:
    virtual ~ITreeDialogs() = default;
    // CProdGroupSelectDlg: the chosen group numbers in list order; false on Cancel.
    virtual bool SelectGroups(std::vector<std::int16_t>& groups) = 0;
    // CProcessSelectDlg for a group: the chosen process as a word (Grp low, Type high) and its name.
    virtual bool SelectProcess(std::int16_t grp, const std::string& groupText, std::int32_t& word,
                               std::string& name) = 0;
    // CSelectDocDlg: the chosen TypeDoc and its name.
    virtual bool SelectDocument(std::int16_t type, std::int16_t grp, std::int32_t& typeDoc, std::string& name) = 0;
    // CAddProcessDlg in mode 1 for a process.
    virtual void ShowProcessProperties(std::int16_t grp, std::int16_t type, const std::string& text) = 0;
    // "Свойства" sheet with one read-only CDocStatePPDocument page.
    virtual void ShowDocumentProperties(CAWFDocumentType& element, std::int16_t grp, std::int16_t type) = 0;
};

// Dialogs that cancel every choice and show nothing: what a tree without a
// window of its own uses.
class CCancellingTreeDialogs final : public ITreeDialogs {
public:
    bool SelectGroups(std::vector<std::int16_t>&) override { return false; }
    bool SelectProcess(std::int16_t, const std::string&, std::int32_t&, std::string&) override { return false; }
    bool SelectDocument(std::int16_t, std::int16_t, std::int32_t&, std::string&) override { return false; }
    void ShowProcessProperties(std::int16_t, std::int16_t, const std::string&) override {}
    void ShowDocumentProperties(CAWFDocumentType&, std::int16_t, std::int16_t) override {}
};

} // namespace tarnwick
