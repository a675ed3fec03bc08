#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "sim/long_request_parser.h"
#include "sim/simulator_options.h"

class DeviceAuth;
class QTcpSocket;
class TrafficRecorder;
struct LongRequest;

// Bytes queued for one long connection (answers and events not yet taken by the socket)
// above which the device stops making events until the client has read some.
inline constexpr qint64 kSimLongBacklogBytes = 8 * 1024 * 1024;

// The renewal period every subscription answer names, in seconds.
inline constexpr int kSimRenewSeconds = 300;

// What all long connections of one device share.
struct LongPortContext {
    const SimulatorOptions* options = nullptr;
    DeviceAuth* auth = nullptr;
    TrafficRecorder* recorder = nullptr;  // null when nothing is recorded
    quint16 port = 0;                     // the long port, for the subscription addresses
    int nextSequence = 1;                 // number of the next pushed event (device-wide)
    int nextSubscription = 1;             // id of the next subscription address
};

// One connection of the long port: answers SetSubscribe and its follow-ups and, while
// subscribed, pushes events as HTTP POST requests, paced by the event rate and bounded by
// the event count and kSimLongBacklogBytes. Deletes itself when the client disconnects.
class LongSession : public QObject {
    Q_OBJECT
  public:
    LongSession(QTcpSocket* socket, LongPortContext* context, QObject* parent = nullptr);
    ~LongSession() override;

    // The current subscription's server address; empty when there is none.
    QByteArray subscription() const { return address_; }

    // Events pushed for the current (or last) subscription.
    int eventsPushed() const { return pushed_; }

    // True until the client has disconnected.
    bool isConnected() const { return connected_; }

    // True while the device still has events to push for the subscription.
    bool isPushing() const;

  signals:
    // An event was handed to the socket.
    void eventPushed(int sequence, const QString& smartType);
    // The client disconnected; the session is about to go.
    void closed();

  private:
    void onReadyRead();
    void onBytesWritten();
    void onDisconnected();
    void handle(const LongRequest& request);
    void answer(int status, const QByteArray& body, const QByteArray& contentType,
                const QList<QByteArray>& extraHeaders = {});
    void startPushing(const QStringList& subscribed);
    void stopPushing();
    void pushNext();
    void schedulePush();
    void queue(const QList<QByteArray>& writes);
    void pump();
    qint64 backlog() const;

    QTcpSocket* socket_;
    LongPortContext* context_;
    LongRequestParser parser_;
    QTimer rateTimer_;
    QTimer pieceTimer_;
    QByteArray address_;
    QStringList kinds_;  // the smart types pushed in turn for this subscription
    int kindIndex_ = 0;
    int pushed_ = 0;
    bool waitingForDrain_ = false;
    bool pushScheduled_ = false;
    bool connected_ = true;
    bool closing_ = false;       // a request could not be read: the connection is closing
    QList<QByteArray> pending_;  // writes not yet handed to the socket, in order
    qint64 pendingBytes_ = 0;
};
