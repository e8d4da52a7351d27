// Shared by the chart save tests and the chart benchmark: the Kelm schema
// on a connection, and a chart of a given size built in memory.
#pragma once

#include "charts/documents/core/diagrammodel.h"

#include "ado/ado.h"

#include <string>

namespace chartdb {

// Runs the demo kit's schema script of the engine on the connection.
void LoadSchema(const ado::_ConnectionPtr& connection, bool postgres, const std::string& sourceDir);

// The catalogue rows a chart of the group needs: states 1..states and
// actions 1..actions of group grp.
void FillCatalogue(const ado::_ConnectionPtr& connection, int grp, int states, int actions);

// States 1..states of the document type in a grid; from each state a move to
// each of the next movesPerState states (wrapping round); actionsPerMove
// actions on each move, numbered from 1 and ordered 1, 2, ...
void BuildChart(CTarnwickModel& model, int grp, int type, int typeDoc, int states, int movesPerState,
                int actionsPerMove);

} // namespace chartdb
