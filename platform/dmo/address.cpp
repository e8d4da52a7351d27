#include "dmo/address.h"

#include "dmo/error.h"
#include "winapi/folders.h"
#include "winapi/text.h"

#include <cstdlib>

namespace dmo {

std::string LocalComputerName() { return winapi::GetComputerName(); }

ServerAddress ParseServerName(const std::string& server)
{
    ServerAddress address;
    std::string host = server;
    std::string port;
    auto sep = host.find_last_of("\\:,");
    // A ':' inside an IPv6 address is not a port separator unless bracketed.
    if (sep != std::string::npos && host[sep] == ':' && host.find(':') != sep && host.front() != '[')
        sep = std::string::npos;
    if (sep != std::string::npos) {
        port = host.substr(sep + 1);
        host.erase(sep);
        bool digits = !port.empty() && port.size() <= 5 &&
                      port.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::atoi(port.c_str()) > 65535)
            throw Error(kErrNotSupported, "not supported on PostgreSQL: named instances: give the port");
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);

    if (!port.empty()) {
        address.port = std::atoi(port.c_str());
    } else if (const char* env = std::getenv("PGPORT"); env && *env) {
        address.port = std::atoi(env);
    }

    if (host.empty() || host == "(local)" || winapi::Utf8EqualNoCase(host, "(local)") || host == "." ||
        winapi::Utf8EqualNoCase(host, LocalComputerName())) {
        address.local = true;
        const char* env = std::getenv("PGHOST");
        if (env && env[0] == '/')
            address.host = env;
    } else if (host[0] == '/') {
        address.local = true;
        address.host = host;
    } else {
        address.host = host;
    }
    return address;
}

} // namespace dmo
