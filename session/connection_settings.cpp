#include "session/connection_settings.h"

#include <cstdlib>

#include "net/known_devices.h"

namespace {

// The port a field's text names; 0 when it names none.
unsigned short PortOf(const std::string& text) {
    const unsigned long port = std::strtoul(text.c_str(), nullptr, 10);
    return port <= 65535 ? static_cast<unsigned short>(port) : 0;
}

}  // namespace

TlsTrust TrustFor(const ConnectionSettings& settings, const std::string& portText) {
    if (!settings.tls || !settings.trust.pin.empty() || settings.trust.insecure) {
        return settings.trust;
    }
    TlsTrust trust;
    if (const unsigned short port = PortOf(portText)) {
        trust.pin = KnownDevices(settings.knownDevices).Find(settings.ip, port);
    }
    return trust;
}

bool TrustKey(const ConnectionSettings& settings, const std::string& portText,
              const std::string& pin, std::string* error) {
    const unsigned short port = PortOf(portText);
    if (port == 0) {
        if (error != nullptr) {
            *error = "\"" + portText + "\" is no port";
        }
        return false;
    }
    return KnownDevices(settings.knownDevices).Trust(settings.ip, port, pin, error);
}
