// unixODBC's sqltypes.h declares the same Win32 names as the layer: either
// include order must compile and give the same types.
#include <sqltypes.h>

#include "winapi/types.h"

#include <cstdint>
#include <type_traits>

static_assert(std::is_same_v<BOOL, int>);
static_assert(std::is_same_v<DWORD, std::uint32_t>);
static_assert(std::is_same_v<WORD, std::uint16_t>);
static_assert(std::is_same_v<BYTE, std::uint8_t>);
static_assert(std::is_same_v<UINT, unsigned int>);
