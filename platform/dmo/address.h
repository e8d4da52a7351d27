// How a server name the user typed becomes a libpq host and port.
#pragma once

#include <string>

namespace dmo {

struct ServerAddress {
    std::string host; // a socket folder, a host name, or "" for libpq's default socket
    int port = 5432;
    bool local = false; // the local server through its Unix socket
};

// "", "(local)", "." or this computer's name: the local socket (PGHOST when
// it is a folder); "/folder": a socket there; anything else: TCP. Each may
// end in "\N", ":N" or ",N" for port N (default PGPORT, else 5432).
// Throws Error (not supported) for a named instance.
ServerAddress ParseServerName(const std::string& server);

// This computer's name as the installer shows it: no domain, upper case,
// at most 15 characters.
std::string LocalComputerName();

} // namespace dmo
