// The chart models: the diagram library's model with the database key of the
// chart it shows, and the workflow chart's model of one document type.
#pragma once

#include "charts/documents/core/chartrows.h"
#include "charts/elements/awfelements.h"
#include "diagram/odmodel.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CODController;
class wxDocument;

namespace tarnwick {
struct ChartScan;
}

class CDiagramModel : public CODModel {
    DECLARE_SERIAL(CDiagramModel)
public:
    CDiagramModel() = default;
    ~CDiagramModel() override = default;

    // Stores the key; the chart models read the database after it.
    virtual bool LoadFromDB(std::int32_t key, bool build);
    std::int32_t GetKey() const { return m_nKey; }

    // Runs the delete command on a set of components (and keeps it for undo).
    void DeleteComponents(const CODComponentSet& components);

    // While set, states and links removed from the chart ask nothing.
    std::uint8_t m_bSilentRemove = 1;
    std::int32_t m_nKey = -1;
};

class CTarnwickModel : public CDiagramModel {
    DECLARE_SERIAL(CTarnwickModel)
public:
    CTarnwickModel() = default;
    ~CTarnwickModel() override;

    // The library's model, the document types, the actions flag and 20
    // reserved values; loading ties the states to their document types by name.
    void Serialize(CArchive& ar) override;

    // The element of a document type, made (and looked up in MainDocType)
    // when the chart has none yet.
    CAWFDocumentType* GetDocType(std::int32_t typeDoc, const std::string& name);
    std::string GetNameDoc(std::int32_t typeDoc, std::int32_t grp = -1, std::int32_t type = -1);
    std::string GetNameState(std::int32_t state, std::int32_t grp = -1);
    std::string GetNameAction(std::int32_t action);
    // The layout pass once a freshly opened chart has its window: the
    // components the load made are registered with the controller and handed
    // to prepareNew, links are laid again, and every symbol takes the size
    // its texts need. Maximising the window and redrawing are the caller's.
    void FitSymbolsToText(CODController* controller, wxDocument* document,
                          const std::function<void(CODComponent*)>& prepareNew = {});
    // Gives one symbol the size its texts need (clamped to its last polygon).
    static void FitSymbolToText(CODComponent* component);
    // Drops the connections of a component whose far end is gone or outside a chart.
    void RemoveDanglingConnections(CODComponent* component);
    // Lets go of every document-type element.
    void ReleaseDocTypes();

    // Loading from the workflow tables: the operation of the document type,
    // then, when build is set, every component.
    bool LoadFromDB(std::int32_t key, bool build) override;
    // States, moves and actions from their rows, then the cascade for the
    // components without a stored drawing. Throws what the database or an
    // allocation throws; rows it leaves off the chart are reported and kept.
    // fromSymbols (the reload): stored drawings are ignored, repeated rows
    // of a state, a move or an action update the one component, and an
    // action without its move is left off. step runs after each table.
    void BuildFromDB(bool fromSymbols = false, const std::function<void()>& step = {});

    // Saving: the whole chart in one transaction; false when nothing was saved.
    bool SaveToDB();
    void DeleteStaleMoves(const ado::_ConnectionPtr& connection);
    static void DeleteArchive(const ado::_ConnectionPtr& connection, int grp, int typeDoc);
    CAWFState* FindState(int typeDoc, int state);
    CAWFLink* FindMove(int fromTypeDoc, int fromState, int toTypeDoc, int toState);

    // The integrity check: each fault is a text in the element's error list.
    void ClearErrors();
    void CheckDuplicateStates();
    void CheckDuplicateMoves();
    void CheckDuplicateActions();
    void CheckConnections();
    int CountErrors();
    // All of them in one go, as the save command runs them, reaching each
    // element's memory twice: step runs after each of the checks above;
    // returns the number of messages.
    int CheckAll(const std::function<void()>& step);
    // What the checks read of the chart's structure, taken again when the chart has changed.
    const tarnwick::ChartScan& CheckScan();

    // The archived drawing (MainDocGraphic) and the visibility operations.
    void LoadFromArchive(const ado::_ConnectionPtr& connection);
    void SaveToArchive(const ado::_ConnectionPtr& connection);
    bool HasConsistentStates();
    bool HasIsolatedStates();
    void ShowIsolatedStates(bool show);
    void ShowActions(CODComponentSet* selection, bool show);

    std::int32_t GetTypeDoc() const { return GetKey(); }
    std::int16_t GetGrp() const { return Grp; }
    std::int16_t GetType() const { return Type; }
    std::int32_t GetActionsShown() const { return m_bActionsShown; }
    std::int32_t GetIsolatedShown() const { return m_bIsolatedShown; }

    CODComponentSet m_DocTypes;
    std::int16_t Grp = -1;
    std::int16_t Type = -1;
    std::int32_t m_bActionsShown = 1;
    std::int32_t m_bIsolatedShown = 0;
    // Opened with its keys only, after its rows failed to load: a save would
    // delete the stored chart, so it is refused until a reload.
    bool m_bIncomplete = false;
    CODComponentSet m_NewComponents;
    // Rows of the chart's tables that the last load could not place on the
    // chart; the save leaves them (and a kept move's actions) in the tables.
    std::vector<std::int32_t> m_KeptStateIds;
    std::vector<std::int32_t> m_KeptMoveIds;
    // While a save writes the actions: the group of each action number on
    // the chart, read from ProdDocAction at once rather than once per action.
    std::optional<std::map<std::int32_t, std::int16_t>> m_ActionGroups;
    // The integrity check's reading of the chart's structure, kept while
    // the chart stays unchanged.
    std::shared_ptr<const tarnwick::ChartScan> m_CheckScan;
    // While a save runs: the chart's rows as it found them under its lock.
    tarnwick::ChartSaveRows* m_SaveRows = nullptr;
    // The version of the chart's rows that the chart was built from or last
    // saved as; none for a chart that came from a file. A save that finds
    // the rows changed since asks before it writes over them.
    std::optional<tarnwick::ChartRowsVersion> m_RowsVersion;

    // While a load builds the chart: the names already looked up (by the
    // look-up's text), and the state names of the chart's group read at once.
    struct NameCache {
        std::map<std::string, std::string> names;
        std::optional<std::map<std::int32_t, std::string>> stateNames;
    };
    std::optional<NameCache> m_NameCache;

private:
    // A document move of the chart that joins two states.
    struct DocumentMove {
        CAWFLink* link;
        CAWFState* from;
        CAWFState* to;
    };
    // The chart's document moves that join two states, in the chart's order.
    std::vector<DocumentMove> documentMoves();
    // One-value catalogue look-up shared by the name functions.
    std::string lookUpName(const std::string& sql, const char* column);
};
