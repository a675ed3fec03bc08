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
    bool tls = false;          // both connections over TLS
    TlsTrust trust = {};       // with TLS: a pin or "insecure" given for both ports (the command
                               // line); empty: the key trusted for each port in knownDevices
    std::string knownDevices;  // the known-devices file ("" none; see KnownDevices)
};

// The trust for one port of the settings: `trust` when it names a pin or is insecure, else the
// key trusted for ip:port in the known-devices file (none: the system's authorities decide).
TlsTrust TrustFor(const ConnectionSettings& settings, const std::string& portText);

// Trusts `pin` for ip:port of the settings from now on, in their known-devices file. False,
// with *error when given, when the port text names no port or the file cannot be written.
bool TrustKey(const ConnectionSettings& settings, const std::string& portText,
              const std::string& pin, std::string* error = nullptr);
