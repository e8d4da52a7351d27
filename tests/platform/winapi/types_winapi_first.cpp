// See types_odbc_first.cpp: the other include order.
#include "winapi/types.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <type_traits>

static_assert(std::is_same_v<BOOL, int>);
static_assert(std::is_same_v<DWORD, std::uint32_t>);
static_assert(std::is_same_v<WORD, std::uint16_t>);
static_assert(std::is_same_v<HWND, void*>);
