// The one failure type of the server layer, shaped like a COM error: an
// HRESULT by category, a description, its source and the SQLSTATE.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dmo {

enum ErrorCategory : std::int32_t {
    kErrStatement = static_cast<std::int32_t>(0x80040201u),    // the server rejected a statement
    kErrConnection = static_cast<std::int32_t>(0x80040202u),   // no connection, or it was lost
    kErrNotFound = static_cast<std::int32_t>(0x80040203u),     // no item of that name or position
    kErrNotSupported = static_cast<std::int32_t>(0x80040204u), // no PostgreSQL equivalent
    kErrTool = static_cast<std::int32_t>(0x80040205u),         // a child tool failed
    kErrArgument = static_cast<std::int32_t>(0x80040206u),     // a bad argument or value
    kErrFile = static_cast<std::int32_t>(0x80040207u),         // a file is missing or unreadable
};

class Error : public std::runtime_error {
public:
    Error(std::int32_t hresult, std::string description, std::string source = "DMO",
          std::string sqlstate = {});

    std::int32_t hresult;
    std::string description;
    std::string source;
    std::string sqlstate;
};

} // namespace dmo
