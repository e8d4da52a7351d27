// Views, stored procedures and user functions of a database, for their
// permission statements.
#pragma once

#include "dmo/dmo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dmo {

// A view, or every overload of one routine name in one schema.
class SchemaObject {
public:
    virtual ~SchemaObject() = default;
    std::string Name() const { return m_name; }
    // The schema.
    std::string Owner() const { return m_schema; }
    std::string QualifiedName() const;
    // True for a member of an extension.
    bool SystemObject() const { return m_system; }
    virtual int TypeOf() const = 0;
    // Type 2: the permission statements ("" when nothing is granted).
    virtual std::string Script(int scriptType, int script2Type = 16) = 0;
    virtual std::string ScriptGrantAllToPublic() = 0;

protected:
    SchemaObject(std::shared_ptr<Database> db, std::string schema, std::string name, bool system)
        : m_db(std::move(db)), m_schema(std::move(schema)), m_name(std::move(name)), m_system(system)
    {
    }
    std::shared_ptr<Database> m_db;
    std::string m_schema, m_name;
    bool m_system;
};

class View : public SchemaObject {
public:
    int TypeOf() const override { return 4; }
    std::string Script(int scriptType, int script2Type = 16) override;
    std::string ScriptGrantAllToPublic() override;

private:
    friend class Views;
    using SchemaObject::SchemaObject;
};

// Procedures (TypeOf 16) or functions (TypeOf 4096) of one name.
class RoutineGroup : public SchemaObject {
public:
    int TypeOf() const override { return m_procedure ? 16 : 4096; }
    std::string Script(int scriptType, int script2Type = 16) override;
    std::string ScriptGrantAllToPublic() override;

private:
    friend class StoredProcedures;
    friend class Database;
    RoutineGroup(std::shared_ptr<Database> db, std::string schema, std::string name, bool system, bool procedure)
        : SchemaObject(std::move(db), std::move(schema), std::move(name), system), m_procedure(procedure)
    {
    }
    std::vector<std::uint32_t> overloads();
    bool m_procedure;
};

// A snapshot taken by Refresh (or on first use), walked by position.
template <class T>
class ObjectList {
public:
    virtual ~ObjectList() = default;
    void Refresh() { m_items = load(); m_loaded = true; }
    int Count()
    {
        if (!m_loaded)
            Refresh();
        return static_cast<int>(m_items.size());
    }
    std::shared_ptr<T> Item(int index)
    {
        if (!m_loaded)
            Refresh();
        if (index < 1 || index > static_cast<int>(m_items.size()))
            throw Error(kErrNotFound, "object '" + std::to_string(index) + "' not found");
        return m_items[static_cast<std::size_t>(index) - 1];
    }

protected:
    explicit ObjectList(std::shared_ptr<Database> db) : m_db(std::move(db)) {}
    virtual std::vector<std::shared_ptr<T>> load() = 0;
    std::shared_ptr<Database> m_db;

private:
    std::vector<std::shared_ptr<T>> m_items;
    bool m_loaded = false;
};

class Views : public ObjectList<View> {
private:
    friend class Database;
    using ObjectList::ObjectList;
    std::vector<std::shared_ptr<View>> load() override;
};

class StoredProcedures : public ObjectList<RoutineGroup> {
private:
    friend class Database;
    using ObjectList::ObjectList;
    std::vector<std::shared_ptr<RoutineGroup>> load() override;
};

} // namespace dmo
