#include "sim/device_simulator.h"

#include <QHostAddress>

#include "sim/device_auth.h"
#include "sim/device_interfaces.h"
#include "sim/short_port_server.h"

DeviceSimulator::DeviceSimulator(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      auth_(std::make_unique<DeviceAuth>(options_.auth, options_.user, options_.password)),
      interfaces_(std::make_unique<DeviceInterfaces>()) {}

DeviceSimulator::~DeviceSimulator() {
    delete shortServer_;  // before the state it borrows
}

bool DeviceSimulator::start(QString* error) {
    if (started_)
        return listening_;
    started_ = true;
    shortServer_ = new ShortPortServer(auth_.get(), interfaces_.get(), this);
    shortPort_ = shortServer_->listen(QHostAddress::LocalHost, options_.shortPort);
    if (shortPort_ == 0) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(options_.shortPort);
        }
        return false;
    }
    listening_ = true;
    return true;
}

QString DeviceSimulator::password() const {
    return auth_->password();
}

int DeviceSimulator::shortRequestCount() const {
    return shortServer_ == nullptr ? 0 : shortServer_->requestCount();
}
