// The check every program runs over the ids it declares: each one reaches
// wx as an id wx accepts, no two meet, and the way back gives the original.
#pragma once

#include "afx/cmdid.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kelm::test {

inline bool ThroughStockTable(int id)
{
    for (const WxStockId& s : kWxStockIds)
        if (s.id == id)
            return true;
    return false;
}

// Empty when the ids are sound; otherwise one line per fault.
inline std::string WxIdFaults(const std::vector<int>& ids)
{
    std::ostringstream out;
    std::map<int, int> taken; // wx id -> original
    for (int id : ids) {
        const int wx = ToWxId(id);
        if (wx < 0 || wx >= 32767)
            out << id << " reaches wx as " << wx << ", outside 0..32766\n";
        if (wx >= wxID_LOWEST && wx <= wxID_HIGHEST && !ThroughStockTable(id))
            out << id << " lands on wx's stock id " << wx << " outside the table\n";
        if (id >= kWxIdShift && FromWxId(wx) != id)
            out << id << " comes back from wx as " << FromWxId(wx) << "\n";
        auto [it, fresh] = taken.emplace(wx, id);
        if (!fresh && it->second != id)
            out << id << " and " << it->second << " both reach wx as " << wx << "\n";
    }
    return out.str();
}

} // namespace kelm::test
