// What the database classes do differently per engine.
#pragma once

#include "odbcbase/engine.h"

class CDbDialect {
public:
    explicit CDbDialect(odbcbase::Engine engine = odbcbase::Engine::Other) : m_engine(engine) {}

    odbcbase::Engine engine() const { return m_engine; }
    // The SQLite driver rewrites columns marked SQL_COLUMN_IGNORE in a
    // positioned update and drops their seconds: its recordsets update
    // through keyed statements instead.
    bool PositionedUpdates() const { return m_engine != odbcbase::Engine::Sqlite; }

private:
    odbcbase::Engine m_engine;
};
