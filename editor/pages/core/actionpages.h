// The page of a selected action, the page of an element's integrity
// messages, and the choice of a catalogue action for a new action element.
#pragma once

#include "editor/pages/core/pagemodel.h"

#include "charts/elements/awfelements.h"

#include <string>
#include <vector>

namespace tarnwick {

class CDocActionPPModel : public CPageModel {
public:
    enum : int { IDC_ACTION = 1047, IDC_KIND = 1046, IDC_ORDER = 1048 };
    // The action that may only run before a document is created from the current one.
    static constexpr std::int32_t kBeforeCreateOnly = 8192;

    CDocActionPPModel(CAWFAction* action, int grp);
    void Init() override;
    void OnCommand(int id) override;
    bool Validate() override;
    bool Apply() override;

private:
    void BuildKinds(std::int32_t action, std::int32_t kind);

    CAWFAction* m_pAction;
    int m_nGrp;
    int m_nOrder;
};

class CDocMessagePPModel : public CPageModel {
public:
    enum : int { IDC_MESSAGES = 1053 };
    explicit CDocMessagePPModel(const std::vector<std::string>* errors) : m_pErrors(errors) {}
    void Init() override;
    void OnCommand(int) override { SetModified(); }

private:
    const std::vector<std::string>* m_pErrors;
};

class CActionSelectDlgModel : public CPageModel {
public:
    enum : int { IDC_ACTIONS = 1035, IDC_KIND = 1046, IDC_KIND_LABEL = 1000, IDC_ORDER = 1049, IDC_OK = 1 };

    CActionSelectDlgModel();
    void Init() override;
    // OK: false keeps the dialog (the order was refused).
    bool Apply() override;

    std::int32_t SelectedAction = -1;
    std::string SelectedName;
    int KindIndex = 0;
    std::int16_t Order = 0;
};

// The two kinds of an action, by index and item data.
extern const char* const kActionKinds[2];

} // namespace tarnwick
