// The elements of a workflow chart: states (and foreign states), document
// moves and action links, circular links, actions, and the document types
// the states belong to.
#pragma once

#include "ado/ado.h"
#include "diagram/odcomponent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CODViewport;
class CAWFDocumentType;
class CAWFLink;

// The error list every workflow element carries; the integrity check fills
// it and the element draws an error icon while it is not empty. It starts a
// cache line, so that the list and the keys each element keeps right after
// it share one: a check of a large chart reads one line of each element.
class alignas(64) CAWFBase {
public:
    CAWFBase();
    virtual ~CAWFBase();

    std::vector<std::string> Errors;
    // Icon resource drawn while Errors is not empty (loaded when first drawn).
    std::int32_t ErrorIcon;

    // Draws the error icon with its top-left corner at pt.
    static void DrawErrorIcon(wxDC& dc, const CPoint& pt);
};

class CAWFDocumentType : public CODComponent {
    DECLARE_SERIAL(CAWFDocumentType)
public:
    CAWFDocumentType() : CAWFDocumentType(-1, "") {}
    CAWFDocumentType(std::int32_t typeDoc, const std::string& name);

    void Serialize(CArchive& ar) override;
    std::int32_t GetTypeDoc() const { return TypeDoc; }
    // Writes defState and DocTypeOptions into the chart's MainDocType row.
    void SaveToDB(const ado::_ConnectionPtr& connection);

    // The values as read from the database or the archive, or as last
    // saved: another chart's row is updated only where the user changed them.
    void MarkSaved()
    {
        SavedDefState = defState;
        SavedDocTypeOptions = DocTypeOptions;
    }

    std::int32_t TypeDoc;
    std::int32_t DocTypeOptions = 0;
    std::int16_t defState = -1;
    std::string NameDoc;
    std::int16_t SavedDefState = -1;
    std::int32_t SavedDocTypeOptions = 0;
};

class CAWFState : public CODSymbolComponent, public CAWFBase {
    DECLARE_SERIAL(CAWFState)
public:
    explicit CAWFState(CAWFDocumentType* documentType = nullptr, std::int16_t state = -1);
    ~CAWFState() override;

    void Serialize(CArchive& ar) override;
    void OnDraw(wxDC& dc) override;
    void OnDelete(CODModel* model) override;
    void OnSymbolChanged() override;
    bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) override;
    // True when it found an error (added to Errors).
    virtual bool Validate();
    // The same, told whether a link joined at the state's port ends on it.
    bool Validate(bool reachedByLink);
    // The same, told also whether its port has any connection.
    bool Validate(bool connected, bool reachedByLink);
    // Whether that finds an error in a state of the given number.
    static bool FindsError(bool connected, bool reachedByLink, std::int16_t state)
    {
        return !connected || (state != 1 && !reachedByLink);
    }

    void SetDocumentType(CAWFDocumentType* documentType);
    void SetData(std::int16_t state, const std::string& docTypeLabel, const std::string& stateLabel,
                 const std::string& docTypeName);
    std::string GetChildText(const std::string& childName) const;
    void SetChildText(const std::string& childName, const std::string& text);
    void SetDocTypeLabel(const std::string& text) { SetChildText("DocType", text); }
    void SetDocStateLabel(const std::string& text) { SetChildText("DocState", text); }
    std::string GetDocStateText() const { return GetChildText("DocState"); }

    std::int16_t GetState() const { return State; }
    std::int32_t GetTypeDoc() const;
    CAWFDocumentType* GetDocTypeElement() const { return DocumentType; }

    // Writes the state's MainDocState row; returns its idState.
    std::int32_t SaveToDB(const ado::_ConnectionPtr& connection);
    // The plain (false) or notched (true) look; with a viewport, the links of
    // its model are laid again and it redraws.
    void AdjustShape(bool generatesDocument, CODViewport* viewport);
    // The "DocType" label of a state that creates documents: the names of the
    // document types its incoming moves create.
    void UpdateDocTypeNames();

    // The keys and the kind of move first, beside the error list that every
    // check reads, so that a check reads one stretch of each element.
    CAWFDocumentType* DocumentType = nullptr;
    std::int16_t State;
    std::int32_t GenNewOperate = 0;
    std::int32_t isHoleProcess = 0;
    std::int32_t isPrevStateHole = 0;
    std::int32_t isTakePrevState = 0;
    std::string Comment;
    std::string DocTypeName;
    std::int32_t DataAction = 0;
    std::int32_t DataActionI = 0;
    std::int32_t idParentState = 0;
};

// A state that only chart files and stored drawings bring; it behaves as a
// state and carries two values of its own through its archive.
class CAWForeign : public CAWFState {
    DECLARE_SERIAL(CAWForeign)
public:
    CAWForeign();
    void Serialize(CArchive& ar) override;

    std::int16_t ForeignValue1 = -1;
    std::int16_t ForeignValue2 = -1;
};

class CAWFAction : public CODSymbolComponent, public CAWFBase {
    DECLARE_SERIAL(CAWFAction)
public:
    CAWFAction() = default;

    void Serialize(CArchive& ar) override;
    void OnDraw(wxDC& dc) override;
    bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) override;

    void SetActionName(std::int32_t actionId, const std::string& name, std::int32_t typeAction,
                       std::uint16_t order);
    std::string GetActionName() const;
    void FormatOrderLabel();
    // Adds a message when the action hangs on no move.
    void Validate();
    // The same, told whether its port has any connection.
    void Validate(bool connected);
    // Writes the action's MainDocAction row for the move whose id is given.
    void SaveToDB(const ado::_ConnectionPtr& connection, std::int32_t grp, std::int32_t type,
                  std::int32_t typeDoc, std::int32_t state, std::int32_t newGrp, std::int32_t newType,
                  std::int32_t newTypeDoc, std::int32_t newState, std::int32_t idMove);

    std::int32_t GetActionId() const { return ActionId; }
    std::uint16_t GetOrder() const { return Order; }

    std::int32_t ActionId = -1;
    std::uint16_t Order = 0;
    std::int32_t TypeAction = 0;
    std::string ReservedText;
    std::string OrderLabel;
};

class CAWFLink : public CODLinkComponent, public CAWFBase {
    DECLARE_SERIAL(CAWFLink)
public:
    enum : std::int32_t { kindUndecided = 0, kindMove = 1, kindAction = 2 };

    CAWFLink() = default;

    void Serialize(CArchive& ar) override;
    void OnDraw(wxDC& dc) override;
    void OnCreateLine() override;
    void OnDelete(CODModel* model) override;
    bool OnDoubleClick(std::uint32_t flags, const CPoint& pt) override;
    bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort) override;
    void OnConnected(CODConnection* conn) override;
    void OnDisconnected(CODConnection* conn) override;
    // Saves a document move and its actions.
    virtual void SaveToDB(const ado::_ConnectionPtr& connection);
    virtual void GetActions(CODComponentSet& list);
    virtual void MarkActionLinks(CODComponentSet& list);

    bool IsDocumentMove() const { return Kind == kindMove; }
    CAWFState* GetFromState() const { return FindStateAt(GetSourcePort()); }
    CAWFState* GetToState() const { return FindStateAt(GetTargetPort()); }
    CAWFState* FindStateAt(CODPortComponent* port) const;
    bool GetLinkedAction(CODComponentSet& list);
    CAWFAction* FindAction(std::int32_t action);
    CODConnection* Reconnect(CODConnection* conn, CODPortComponent* a, CODPortComponent* b);
    // True when it added a message.
    bool Validate();
    // The same, told the connections at its two ends and the states it joins.
    bool Validate(int atSource, int atTarget, CAWFState* from, CAWFState* to);
    // Whether that finds an error in a document move (or another link)
    // joining a state at both ends or not.
    static bool FindsError(int atSource, int atTarget, bool documentMove, bool bothStates)
    {
        // A move whose end lies on something other than a state would be
        // passed over by the save without a word.
        return atSource == 0 || atSource + atTarget == 1 || (documentMove && !bothStates);
    }

    std::int32_t Kind = kindUndecided;
    std::string name_template;
    std::int32_t isConcurrent = 0;
    std::int32_t isPartialProc = 0;
    std::int32_t LinkState = 0;
    std::int32_t NewTypeDoc = 0;
    std::int32_t MoveOptions = 0;
    std::string ReservedText;
    std::string FormulaScript;
    std::int32_t RemovalConfirmed = 0;
    CODComponent* SourceComponent = nullptr;
    CODComponent* TargetComponent = nullptr;
};

// A document move from a state back to the same state, laid as an arc beside it.
class CAWFCircleLink : public CAWFLink {
    DECLARE_SERIAL(CAWFCircleLink)
public:
    CAWFCircleLink() = default;

    void OnDelete(CODModel* model) override { CAWFLink::OnDelete(model); }
    void OnConnected(CODConnection* conn) override { CAWFLink::OnConnected(conn); }
    void SaveToDB(const ado::_ConnectionPtr& connection) override { CAWFLink::SaveToDB(connection); }
    bool AcceptConnection(CODPortComponent* ownEnd, CODPortComponent* otherPort) override;
    // Lays the loop; false when it cannot (no target, no polygon in the state).
    bool Route();
};

namespace tarnwick {

// The element a component is, told by its class's runtime record: what a
// dynamic_cast tells, for the price of a walk up the class's bases.
template <class T>
T* ElementCast(CObject* object)
{
    return object && object->IsKindOf(T::GetThisClass()) ? static_cast<T*>(object) : nullptr;
}

// The column value of a move's script: the character whose code is the
// trimmed script's length in characters, a blank, then the script. An empty
// script is stored as an empty text.
std::string EncodeFormulaScript(const std::string& trimmedScript);
// Drops the first two characters and stops at the first character of code 0.
std::string DecodeFormulaScript(const std::string& stored);
// Blanks, tabs and line ends cut off at both ends.
std::string TrimScript(const std::string& script);

} // namespace tarnwick

namespace tarnwick {

// An element's own Serialize over a memory archive: the bytes of a chart
// file's share and of a GraphInfo column.
std::vector<std::uint8_t> StoreElement(CObject& element);
// Reads an element back from such bytes; throws the archive's exception on
// a broken or empty drawing.
void LoadElement(CObject& element, const std::vector<std::uint8_t>& bytes);
// The drawing a GraphInfo value holds: none for NULL, the bytes of an array
// (an empty array is a drawing, one that cannot be read).
std::optional<std::vector<std::uint8_t>> DrawingOf(const ado::_variant_t& value);
// The table of an operation's document templates.
inline std::string TemplateTableName(const std::string& nameTable) { return nameTable + "Templ"; }

} // namespace tarnwick
