#include "sim/device_simulator.h"

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

#include "net/tls_identity.h"
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
    auth_->setNonceUses(options_.nonceUses);
}

DeviceSimulator::~DeviceSimulator() {
    // The servers and sessions go before the state they borrow.
    for (LongSession* session : findChildren<LongSession*>())
        delete session;
    qDeleteAll(longServers_);
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
        qDeleteAll(longServers_);
        longServers_.clear();
        delete shortServer_;
        shortServer_ = nullptr;
        shortPort_ = 0;
        longPort_ = 0;
        longContext_->recorder = nullptr;
        if (shortServer_ != nullptr)
            shortServer_->setRecorder(nullptr);
        recorder_.reset();
        return false;
    };
    const auto cannotListen = [](const QHostAddress& address, quint16 port) {
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? "[" + address.toString() + "]"
                                 : address.toString();
        return QStringLiteral("cannot listen on %1:%2").arg(host).arg(port);
    };
    if (options_.listen.isEmpty())
        return fail(QStringLiteral("no address to listen on"));
    for (const QHostAddress& address : options_.listen) {
        if (!address.isLoopback())
            return fail(address.toString() + " is no loopback address");
    }

    QSslConfiguration tls;
    if (options_.tls) {
        TlsIdentity identity;
        if (options_.certificateFile.isEmpty() && options_.keyFile.isEmpty()) {
            identity = MakeTlsIdentity();
        } else {
            QFile cert(options_.certificateFile), key(options_.keyFile);
            if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
                return fail("cannot read " + options_.certificateFile + " and " + options_.keyFile);
            identity = ReadTlsIdentity(cert.readAll().toStdString(), key.readAll().toStdString());
        }
        if (!identity.Ok())
            return fail(QString::fromStdString(identity.error));
        tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(
            QSslCertificate(QByteArray::fromStdString(identity.certificatePem)));
        const QByteArray keyPem = QByteArray::fromStdString(identity.keyPem);
        QSslKey key(keyPem, QSsl::Ec);
        if (key.isNull())
            key = QSslKey(keyPem, QSsl::Rsa);
        tls.setPrivateKey(key);
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        fingerprint_ = QByteArray::fromStdString(identity.pin);
    }
    // A plain server, or a TLS one with the device's identity.
    const auto makeServer = [this, &tls](QObject* parent) -> QTcpServer* {
        if (!options_.tls)
            return new QTcpServer(parent);
        auto* server = new QSslServer(parent);
        server->setSslConfiguration(tls);
        return server;
    };

    // The first address gives the port numbers (free ones when asked); the others take the same.
    shortServer_ = new ShortPortServer(auth_.get(), interfaces_.get(), this);
    if (options_.tls)
        shortServer_->sslSetup(tls);
    shortPort_ = shortServer_->listen(options_.listen.first(), options_.shortPort);
    if (shortPort_ == 0)
        return fail(cannotListen(options_.listen.first(), options_.shortPort));
    for (qsizetype i = 1; i < options_.listen.size(); ++i) {
        QTcpServer* server = makeServer(shortServer_);
        if (!server->listen(options_.listen[i], shortPort_))
            return fail(cannotListen(options_.listen[i], shortPort_));
        shortServer_->bind(server);
    }

    if (!options_.recordFolder.isEmpty()) {
        recorder_ = std::make_unique<TrafficRecorder>(options_.recordFolder);
        if (!recorder_->isOpen())
            return fail(recorder_->error());
        longContext_->recorder = recorder_.get();
        shortServer_->setRecorder(recorder_.get());
    }

    for (const QHostAddress& address : options_.listen) {
        QTcpServer* server = makeServer(this);
        longServers_ << server;
        const quint16 port = longPort_ != 0 ? longPort_ : options_.longPort;
        if (!server->listen(address, port))
            return fail(cannotListen(address, port));
        longPort_ = server->serverPort();
        // A TLS server hands a connection over once its handshake is done.
        connect(server, &QTcpServer::pendingConnectionAvailable, this,
                [this, server] { acceptLongConnections(server); });
    }
    longContext_->port = longPort_;
    listening_ = true;
    return true;
}

void DeviceSimulator::acceptLongConnections(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
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
