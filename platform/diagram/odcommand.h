// Command objects: every edit of a model goes through one, so that the
// model's history can undo and redo it.
#pragma once

#include "diagram/odmodel.h"

#include <memory>
#include <string>
#include <vector>

class wxDC;

class CODCommand {
public:
    explicit CODCommand(CODModel* model) : m_pModel(model) {}
    virtual ~CODCommand() = default;
    CODCommand(const CODCommand&) = delete;
    CODCommand& operator=(const CODCommand&) = delete;

    CODModel* GetModel() const { return m_pModel; }
    // False: nothing changed and the command is not kept.
    virtual bool Execute() = 0;
    virtual void Unexecute() = 0;
    virtual void Reexecute() { Execute(); }
    virtual std::string GetName() const = 0;

    // The components the command works on; it holds a reference to each.
    void SetComponents(const CODComponentSet& set);
    void SetComponent(CODComponent* c);
    const std::vector<CODComponent*>& Components() const { return m_components; }

protected:
    CODModel* m_pModel;
    struct Held {
        void operator()(CODComponent* c) const { c->Release(); }
    };
    std::vector<CODComponent*> m_components;
    std::vector<std::unique_ptr<CODComponent, Held>> m_holds;
};

// Appends components to the model (the insertion of a new symbol).
class CODInsertCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    bool Execute() override;
    void Unexecute() override;
    std::string GetName() const override { return "Insert"; }
};

// For each listed component still in the model, in list order: OnDelete,
// whose base is the library's removal. Undo puts each back at its index and
// restores its connections.
class CODDeleteCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    ~CODDeleteCommand() override;
    bool Execute() override;
    void Unexecute() override;
    void Reexecute() override;
    std::string GetName() const override { return "Delete"; }

private:
    struct Join {
        CODPortComponent* own;
        CODPortComponent* other;
    };
    struct Removed {
        CODComponent* comp;
        int index;
        std::vector<Join> joins;
    };
    std::vector<Removed> m_removed;
};

// Connects a link's source end to the start port and its target end to the
// end port (notifying, source first), takes the vertex list for the inner
// points, makes the line and appends the link to the model.
class CODLinkCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    void SetLink(CODLinkComponent* link);
    void SetVertices(const std::vector<CPoint>& pts) { m_vertices = pts; }
    void SetStartPort(CODPortComponent* p) { m_pStart = p; }
    void SetEndPort(CODPortComponent* p) { m_pEnd = p; }
    void SetValue1(std::int32_t v) { m_nValue1 = v; }
    void SetValue2(std::int32_t v) { m_nValue2 = v; }
    CODLinkComponent* GetLink() const { return m_pLink; }
    bool Execute() override;
    void Unexecute() override;
    void Reexecute() override;
    std::string GetName() const override { return "Link"; }

private:
    CODLinkComponent* m_pLink = nullptr;
    std::vector<CPoint> m_vertices;
    CODPortComponent* m_pStart = nullptr;
    CODPortComponent* m_pEnd = nullptr;
    std::int32_t m_nValue1 = 0;
    std::int32_t m_nValue2 = 0;
    bool m_bAppended = false;
};

// Geometry commands keep each affected component's geometry (and that of
// the links attached to it) from before and after, and undo by restoring it.
class CODGeometryCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    bool Execute() override;
    void Unexecute() override;
    void Reexecute() override;

protected:
    // Changes the geometry; false when nothing could be done.
    virtual bool Apply() = 0;

private:
    void SetComponentHold(CODComponent* c);
    std::vector<std::unique_ptr<CODComponent, Held>> m_extraHolds;
    std::vector<CODComponent*> affected() const;
    void capture(std::vector<std::vector<std::uint8_t>>& out, const std::vector<CODComponent*>& comps) const;
    void restore(const std::vector<std::vector<std::uint8_t>>& in);
    void finish();
    std::vector<CODComponent*> m_affected;
    std::vector<std::vector<std::uint8_t>> m_before, m_after;
};

// Moves a set by (dx, dy); attached link ends follow.
class CODMoveCommand : public CODGeometryCommand {
public:
    using CODGeometryCommand::CODGeometryCommand;
    void SetOffset(std::int32_t dx, std::int32_t dy) { m_dx = dx; m_dy = dy; }
    std::string GetName() const override { return "Move"; }

protected:
    bool Apply() override;

private:
    std::int32_t m_dx = 0, m_dy = 0;
};

// Aligns a set to its first component: 0 left, 1 centre, 2 right, 3 top,
// 4 middle, 5 bottom.
class CODAlignCommand : public CODGeometryCommand {
public:
    using CODGeometryCommand::CODGeometryCommand;
    void SetAlignment(std::int32_t a) { m_nAlign = a; }
    std::string GetName() const override { return "Align"; }

protected:
    bool Apply() override;

private:
    std::int32_t m_nAlign = 0;
};

// Scales a set by cx/cy percent about each component's top-left (the third
// value is kept for the caller).
class CODScaleCommand : public CODGeometryCommand {
public:
    using CODGeometryCommand::CODGeometryCommand;
    void SetScale(std::int32_t cxPercent, std::int32_t cyPercent, std::int32_t anchor)
    {
        m_cx = cxPercent; m_cy = cyPercent; m_anchor = anchor;
    }
    std::string GetName() const override { return "Size"; }

protected:
    bool Apply() override;

private:
    std::int32_t m_cx = 100, m_cy = 100, m_anchor = 0;
};

// Moves, inserts or removes one vertex of a link or shape.
class CODVertexCommand : public CODGeometryCommand {
public:
    enum Kind { moveVertex, insertVertex };
    CODVertexCommand(CODModel* model, Kind kind) : CODGeometryCommand(model), m_kind(kind) {}
    void SetIndex(std::int32_t i) { m_nIndex = i; }
    void SetPoint(std::int32_t x, std::int32_t y) { m_pt = CPoint(x, y); }
    std::string GetName() const override { return m_kind == moveVertex ? "Move Vertex" : "Insert Vertex"; }

protected:
    bool Apply() override;

private:
    Kind m_kind;
    std::int32_t m_nIndex = 0;
    CPoint m_pt;
};

// Moves a handle of a component's bounds to a point: 0 top-left (moves),
// 1 bottom-right (sizes).
class CODHandleCommand : public CODGeometryCommand {
public:
    using CODGeometryCommand::CODGeometryCommand;
    void SetPoint(std::int32_t x, std::int32_t y) { m_pt = CPoint(x, y); }
    void SetHandle(std::int32_t h) { m_nHandle = h; }
    std::string GetName() const override { return "Resize"; }

protected:
    bool Apply() override;

private:
    CPoint m_pt;
    std::int32_t m_nHandle = 0;
};

// Nudges a set one unit: 0 left, 1 right, 2 up, 3 down.
class CODNudgeCommand : public CODGeometryCommand {
public:
    using CODGeometryCommand::CODGeometryCommand;
    void SetDirection(std::int32_t d) { m_nDir = d; }
    std::string GetName() const override { return "Nudge"; }

protected:
    bool Apply() override;

private:
    std::int32_t m_nDir = 0;
};

// Shows or hides one component.
class CODVisibilityCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    void SetValue(std::int32_t visible) { m_bVisible = visible != 0; }
    bool Execute() override;
    void Unexecute() override;
    std::string GetName() const override { return "Visibility"; }

private:
    bool m_bVisible = true;
    std::vector<bool> m_old;
};

// Gives a set a copy of a property; undo puts the old ones back.
class CODPropertyCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    void SetProperty(const CODProperty& prop) { m_pProp = prop.Clone(); }
    bool Execute() override;
    void Unexecute() override;
    std::string GetName() const override { return "Properties"; }

private:
    std::unique_ptr<CODProperty> m_pProp;
    std::vector<std::unique_ptr<CODProperty>> m_old;
};

// Sets the text of the text components of a set, sizing each to its text.
class CODTextCommand : public CODCommand {
public:
    using CODCommand::CODCommand;
    void SetText(const std::string& text) { m_strText = text; }
    void SetDC(wxDC* dc) { m_pDC = dc; }
    bool Execute() override;
    void Unexecute() override;
    std::string GetName() const override { return "Text"; }

private:
    std::string m_strText;
    wxDC* m_pDC = nullptr;
    std::vector<std::pair<std::string, CRect>> m_old;
};

// Commands of the library toolbars that this build keeps greyed: they
// accept their settings and change nothing.
class CODUnsupportedCommand : public CODCommand {
public:
    CODUnsupportedCommand(CODModel* model, const char* name) : CODCommand(model), m_name(name) {}
    void SetValue(std::int32_t v) { m_nValue = v; }
    void SetPair(std::int32_t a, std::int32_t b) { m_nA = a; m_nB = b; }
    void SetShared(IODRefCount* shared);
    ~CODUnsupportedCommand() override;
    bool Execute() override { return false; }
    void Unexecute() override {}
    std::string GetName() const override { return m_name; }

private:
    const char* m_name;
    std::int32_t m_nValue = 0, m_nA = 0, m_nB = 0;
    IODRefCount* m_pShared = nullptr;
};
