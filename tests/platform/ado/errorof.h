#pragma once

#include "ado/ado.h"

#include <functional>

namespace kelm::test {

// The error number an ADO call throws; S_OK when it throws none.
inline ado::HRESULT ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ado::_com_error& e) {
        return e.Error();
    }
    return ado::S_OK;
}

} // namespace kelm::test
