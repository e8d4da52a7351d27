// The model: the ordered, reference-holding collection of a diagram's
// components, its settings, observers, and the command history.
#pragma once

#include "diagram/odcomponent.h"

#include <cstdint>
#include <memory>
#include <vector>

class CODCommand;

class IODObserver {
public:
    virtual ~IODObserver() = default;
    virtual void OnUpdate(void* sender, std::intptr_t hint, void* data) = 0;
};

// Hints of a model broadcast.
enum : std::intptr_t {
    OD_UPDATE_ALL = 0,       // data null: everything
    OD_UPDATE_COMPONENT = 1, // data: the component (its model bounds)
    OD_UPDATE_RECT = 2,      // data: a CRect in model space
};

// Undo and redo lists. A command executed while another is executing is
// recorded as its own entry when it completes, so it comes before the outer one.
class CODCommandHistory {
public:
    explicit CODCommandHistory(CODModel* model) : m_pModel(model) {}
    ~CODCommandHistory();
    bool Execute(CODCommand* cmd);
    bool Undo();
    bool Redo();
    void Clear();
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    int GetUndoCount() const { return static_cast<int>(m_undo.size()); }
    int GetRedoCount() const { return static_cast<int>(m_redo.size()); }
    CODCommand* GetLastCommand() const { return m_undo.empty() ? nullptr : m_undo.back(); }
    bool IsBusy() const { return m_nBusy > 0; }

private:
    CODModel* m_pModel;
    std::vector<CODCommand*> m_undo;
    std::vector<CODCommand*> m_redo;
    int m_nBusy = 0;
};

class CODModel : public CObject, public IODRefCount {
    DECLARE_SERIAL(CODModel)
public:
    CODModel();
    ~CODModel() override;
    CODModel(const CODModel&) = delete;
    CODModel& operator=(const CODModel&) = delete;

    std::int32_t AddRef() override { return ++m_nRefCount; }
    std::int32_t Release() override;
    void DiscardAfterFailedLoad() override;

    // Settings, every component as an object of its class, then the
    // connections. Loading replaces the contents only when the whole archive
    // was read, and clears the undo history.
    void Serialize(CArchive& ar) override;

    bool IsModified() const { return m_bModified; }
    void SetModified(bool modified = true) { m_bModified = modified; }

    CODComponentSet* GetComponents() { return &m_components; }
    int GetComponentCount() const { return m_components.GetSize(); }
    bool Contains(const CODComponent* c) const { return m_components.IndexOf(const_cast<CODComponent*>(c)) >= 0; }
    void AppendComponent(CODComponent* c);
    void InsertComponent(int index, CODComponent* c);
    // Takes the component out of the collection (and drops its reference)
    // without notifications.
    bool RemoveComponent(CODComponent* c);
    void RemoveAllComponents();
    // Releases every component without OnDelete and clears the history.
    virtual void DeleteContents();

    void UpdateComponent(CODComponent* c);
    void UpdateAllComponents();
    void RedrawComponent(CODComponent* c) { Broadcast(this, OD_UPDATE_COMPONENT, c); }
    void InvalidateRect(const CRect& modelRect);
    // Moves a set directly (no command); links follow their ports.
    void MoveComponents(CODComponentSet& set, std::int32_t dx, std::int32_t dy);

    // Top-level component under a point (last drawn first), visible only.
    CODComponent* ComponentAt(const CPoint& pt, int tolerance = 3) const;
    // A connectable port near a point, hidden ports included.
    CODPortComponent* PortAt(const CPoint& pt, int tolerance = 5, const CODComponent* exclude = nullptr) const;
    // Union of every component's bounds.
    CRect GetComponentBounds() const;
    // The visible top-level components that reach into an area, in drawing
    // order; found through the hit-test grid, so the cost follows the area,
    // not the size of the model.
    void ComponentsIn(const CRect& area, std::vector<CODComponent*>& out) const;

    CSize GetSize() const { return m_size; }
    // A new size changes the scrollable area: the viewports hear of it.
    void SetSize(const CSize& s)
    {
        if (s == m_size)
            return;
        m_size = s;
        Broadcast(this, OD_UPDATE_ALL, nullptr);
    }
    std::int32_t GetValue1() const { return m_nValue1; }
    void SetValue1(std::int32_t v) { m_nValue1 = v; }
    std::int32_t GetValue2() const { return m_nValue2; }
    void SetValue2(std::int32_t v) { m_nValue2 = v; }
    std::int32_t GetLinkValue() const { return m_nLinkValue; }
    void SetLinkValue(std::int32_t v) { m_nLinkValue = v; }

    CODPropertySet& GetProperties() { return m_props; }
    // Property 40 members with the defaults 0, 1, 1.
    std::int32_t GetEditA() const;
    std::int32_t GetEditB() const;
    std::int32_t GetEditC() const;
    void SetEditA(std::int32_t v);
    void SetEditB(std::int32_t v);
    void SetEditC(std::int32_t v);
    // Hands a property to the model's set; for property 40 only the members
    // named by the mask change.
    void SetProperty(const CODProperty& prop, std::uint32_t mask);

    // Observers, told in list order.
    void AddObserver(IODObserver* o) { m_observers.push_back(o); }
    void RemoveObserver(IODObserver* o);
    void Broadcast(void* sender, std::intptr_t hint, void* data);

    // Commands go to the delegate: the model's own history unless another
    // is set (null puts the own one back).
    bool ExecuteCommand(CODCommand* cmd) { return m_pDelegate->Execute(cmd); }
    CODCommandHistory* GetDelegate() const { return m_pDelegate; }
    void SetDelegate(CODCommandHistory* delegate) { m_pDelegate = delegate ? delegate : &m_history; }
    bool Undo() { return m_pDelegate->Undo(); }
    bool Redo() { return m_pDelegate->Redo(); }
    void ClearHistory() { m_pDelegate->Clear(); }
    bool CanUndo() const { return m_pDelegate->CanUndo(); }
    bool CanRedo() const { return m_pDelegate->CanRedo(); }

    // Connections of the model in a stable order: components in order, their
    // ports depth first, each port's connections in the order they were made.
    std::vector<CODConnection*> CollectConnections() const;

private:
    struct HitGrid;
    void readContents(CArchive& ar);
    const HitGrid& hitGrid() const;
    mutable std::unique_ptr<HitGrid> m_pGrid;
    mutable std::uint64_t m_nGridGeneration = ~std::uint64_t{0};
    CODComponentSet m_components;
    CODPropertySet m_props;
    CSize m_size{1000, 1000};
    std::int32_t m_nValue1 = 0;
    std::int32_t m_nValue2 = 0;
    std::int32_t m_nLinkValue = 0;
    bool m_bModified = false;
    std::vector<IODObserver*> m_observers;
    CODCommandHistory m_history;
    CODCommandHistory* m_pDelegate = &m_history;
    std::int32_t m_nRefCount = 0;
};
