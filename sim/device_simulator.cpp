#include "sim/device_simulator.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include "sim/device_auth.h"
#include "sim/device_interfaces.h"
#include "sim/long_session.h"
#include "sim/short_port_server.h"
#include "sim/traffic_recorder.h"

DeviceSimulator::DeviceSimulator(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      auth_(std::make_unique<DeviceAuth>(options_.auth, options_.user, options_.password)),
      interfaces_(std::make_unique<DeviceInterfaces>()),
      longContext_(std::make_unique<LongPortContext>()) {
    longContext_->options = &options_;
    longContext_->auth = auth_.get();
}

DeviceSimulator::~DeviceSimulator() {
    // The servers and sessions go before the state they borrow.
    for (LongSession* session : findChildren<LongSession*>())
        delete session;
    delete longServer_;
    delete shortServer_;
}

bool DeviceSimulator::start(QString* error) {
    if (started_)
        return listening_;
    started_ = true;
    // On any failure nothing stays open: the servers made so far go again.
    const auto fail = [this, error](const QString& reason) {
        if (error != nullptr)
            *error = reason;
        delete longServer_;
        longServer_ = nullptr;
        delete shortServer_;
        shortServer_ = nullptr;
        shortPort_ = 0;
        longPort_ = 0;
        longContext_->recorder = nullptr;
        recorder_.reset();
        return false;
    };
    const auto cannotListen = [](quint16 port) {
        return QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port);
    };

    shortServer_ = new ShortPortServer(auth_.get(), interfaces_.get(), this);
    shortPort_ = shortServer_->listen(QHostAddress::LocalHost, options_.shortPort);
    if (shortPort_ == 0)
        return fail(cannotListen(options_.shortPort));

    if (!options_.recordFolder.isEmpty()) {
        recorder_ = std::make_unique<TrafficRecorder>(options_.recordFolder);
        if (!recorder_->isOpen())
            return fail(recorder_->error());
        longContext_->recorder = recorder_.get();
    }

    longServer_ = new QTcpServer(this);
    if (!longServer_->listen(QHostAddress::LocalHost, options_.longPort))
        return fail(cannotListen(options_.longPort));
    longPort_ = longServer_->serverPort();
    longContext_->port = longPort_;
    connect(longServer_, &QTcpServer::newConnection, this, &DeviceSimulator::acceptLongConnections);
    listening_ = true;
    return true;
}

void DeviceSimulator::acceptLongConnections() {
    while (QTcpSocket* socket = longServer_->nextPendingConnection()) {
        auto* session = new LongSession(socket, longContext_.get(), this);
        connect(session, &LongSession::eventPushed, this,
                [this](int sequence, const QString& smartType) {
                    ++eventsPushed_;
                    emit eventPushed(sequence, smartType);
                });
    }
}

int DeviceSimulator::longConnectionCount() const {
    int open = 0;
    for (const LongSession* session : findChildren<LongSession*>(Qt::FindDirectChildrenOnly)) {
        if (session->isConnected())
            ++open;
    }
    return open;
}

QString DeviceSimulator::password() const {
    return auth_->password();
}

int DeviceSimulator::shortRequestCount() const {
    return shortServer_ == nullptr ? 0 : shortServer_->requestCount();
}
