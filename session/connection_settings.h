#pragma once

#include <string>

#include "catalogue/builtin_interfaces.h"
#include "net/tls.h"

// The connection settings of a device as the user typed them: texts, read at the moment of
// use (a port is turned into a number where one is needed). The defaults are the window's.
struct ConnectionSettings {
    std::string ip = kDefaultIp;
    std::string user = kDefaultUser;
    std::string password = kDefaultPassword;
    std::string longPort = kDefaultLongPort;
    std::string shortPort = kDefaultShortPort;
    bool tls = false;      // both connections over TLS
    TlsTrust trust = {};   // with TLS: the device's pin (from the known devices or the command
                           // line) or --insecure
};
