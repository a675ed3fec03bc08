#include "session/connection_settings.h"

#include <cstdlib>

#include "net/known_devices.h"

TlsTrust TrustFor(const ConnectionSettings& settings, const std::string& portText) {
    if (!settings.tls || !settings.trust.pin.empty() || settings.trust.insecure) {
        return settings.trust;
    }
    TlsTrust trust;
    const unsigned long port = std::strtoul(portText.c_str(), nullptr, 10);
    if (port > 0 && port <= 65535) {
        trust.pin = KnownDevices(settings.knownDevices)
                        .Find(settings.ip, static_cast<unsigned short>(port));
    }
    return trust;
}
