#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "sim/simulator_options.h"

class DeviceAuth;
class DeviceInterfaces;
class LongSession;
class QTcpServer;
class ShortPortServer;
class TrafficRecorder;
struct LongPortContext;

// A network video device on loopback for trying and testing the tool without a camera: the
// short port answers the HTTP/XML interface and the long port answers subscriptions and
// pushes events, as docs/device-protocol.md describes. Runs in the event loop of the thread it
// lives in (the GUI thread for a demo, or a QThread of its own, see SimulatorThread); every member
// must be called from that thread.
class DeviceSimulator : public QObject {
    Q_OBJECT
  public:
    using Options = SimulatorOptions;

    explicit DeviceSimulator(Options options = {}, QObject* parent = nullptr);
    ~DeviceSimulator() override;

    // Starts listening on the options' loopback addresses (127.0.0.1 unless told otherwise),
    // on the ports of the options or free ones, the same on every address. False, with the
    // reason in *error when given, when a port cannot be had or the record folder cannot be
    // written; a second call does nothing and returns whether the first succeeded.
    bool start(QString* error = nullptr);

    // True after a successful start.
    bool isListening() const { return listening_; }

    // The short port listened on; 0 before a successful start.
    quint16 shortPort() const { return shortPort_; }

    // The long port listened on; 0 before a successful start.
    quint16 longPort() const { return longPort_; }

    // The password the device accepts now (changed by ModifyPassword).
    QString password() const;

    // Short-port requests answered so far, whatever their status.
    int shortRequestCount() const;

    // Events pushed on the long port so far, over all connections.
    int eventsPushed() const { return eventsPushed_; }

    // Long-port connections open now.
    int longConnectionCount() const;

    // With TLS: the key's fingerprint as the tool pins it ("sha256//..."); empty otherwise.
    QByteArray fingerprint() const { return fingerprint_; }

    // The options the device was made with.
    const Options& options() const { return options_; }

  signals:
    // An event was handed to a long connection's socket.
    void eventPushed(int sequence, const QString& smartType);

  private:
    void acceptLongConnections(QTcpServer* server);

    Options options_;
    std::unique_ptr<DeviceAuth> auth_;
    std::unique_ptr<DeviceInterfaces> interfaces_;
    std::unique_ptr<TrafficRecorder> recorder_;
    std::unique_ptr<LongPortContext> longContext_;
    ShortPortServer* shortServer_ = nullptr;  // child of this
    QList<QTcpServer*> longServers_;          // children of this, one per address
    QByteArray fingerprint_;
    quint16 shortPort_ = 0;
    quint16 longPort_ = 0;
    int eventsPushed_ = 0;
    bool started_ = false;
    bool listening_ = false;
};
