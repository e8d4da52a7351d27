// The three pages of a selected state: its document type's options, the
// state's own flags, and the edits the state permits.
#pragma once

#include "editor/pages/core/pagemodel.h"

#include "charts/elements/awfelements.h"

class CODViewport;

namespace tarnwick {

// The options of a document type. Read-only (the catalogue shows it alone)
// disables the nine options.
class CDocStatePPDocumentModel : public CPageModel {
public:
    enum : int {
        IDC_DOCTYPE = 1027, IDC_DEFSTATE = 1028,
        IDC_ZERO_SUM = 1012, IDC_FIXED_RATE = 1013, IDC_OVERDRAW = 1014, IDC_BELOW_COST = 1015,
        IDC_IGNORE_CREDIT = 1016, IDC_RESERVE = 1022, IDC_TAXES = 1003, IDC_TAX_IN_PRICE = 1004,
        IDC_ONE_PACKAGE = 1005,
    };
    // The nine boxes in the order of the option bits (bit 0 first).
    static constexpr int kOptionBoxes[9] = {IDC_ZERO_SUM, IDC_FIXED_RATE, IDC_OVERDRAW,  IDC_BELOW_COST, IDC_IGNORE_CREDIT,
                                            IDC_RESERVE,  IDC_TAXES,      IDC_TAX_IN_PRICE, IDC_ONE_PACKAGE};
    static const char* const kTaxWarning;

    CDocStatePPDocumentModel(CAWFDocumentType* element, int grp, int type, int readOnly);
    void Init() override;
    void OnCommand(int id) override;
    bool Apply() override;

private:
    CAWFDocumentType* m_pElement;
    int m_nGrp, m_nType, m_nReadOnly;
};

// Which catalogue state the element is and what it allows.
class CDocStatePPModel : public CPageModel {
public:
    enum : int { IDC_STATE = 1028, IDC_WHOLE_SUM = 1012, IDC_NEW_DOCUMENT = 1013, IDC_PREV_WHOLE = 1014,
                 IDC_TAKE_PREV = 1015 };

    CDocStatePPModel(CAWFState* state, CODViewport* viewport, int grp, int type);
    void Init() override;
    void OnCommand(int id) override;
    bool Apply() override;

private:
    CAWFState* m_pState;
    CODViewport* m_pViewport;
    int m_nGrp, m_nType;
};

// The edits of the document and of its rows that the state permits, and the
// state that defines the amount.
class CDocStatePPAccessModel : public CPageModel {
public:
    enum : int { IDC_PARENT = 1072, IDC_CLEAR_PARENT = 1075, IDC_DOC_CHANGE = 1067, IDC_DOC_DELETE = 1068,
                 IDC_ROW_ADD = 1071, IDC_ROW_CHANGE = 1069, IDC_ROW_DELETE = 1070 };

    explicit CDocStatePPAccessModel(CAWFState* state);
    void Init() override;
    void OnCommand(int id) override;
    bool Apply() override;

private:
    CAWFState* m_pState;
};

} // namespace tarnwick
