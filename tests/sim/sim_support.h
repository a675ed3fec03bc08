// Shared helpers of the simulator tests: a blocking loopback client, long-port requests,
// posts through HttpPost and small readers of the device's documents.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpSocket>
#include <string>

#include "sim/device_simulator.h"

class SimulatorThread;

// One HTTP message as received; head ends with the blank line; contentLength -1: no header.
struct Message {
    QByteArray firstLine, head, body;
    int contentLength = -1;
};

// A blocking TCP client of 127.0.0.1; every wait has a time limit.
class Client {
  public:
    explicit Client(quint16 port);
    bool send(const QByteArray& bytes);  // false when the connection takes no more
    // The next message framed by its Content-Length; false when none is whole in time.
    bool read(Message* m, int timeoutMs = 5000);
    bool anythingWithin(int ms) { return !buffer_.isEmpty() || fill(ms); }
    const QByteArray& received() const { return received_; }   // every byte so far
    const QList<QByteArray>& reads() const { return reads_; }  // what each recv gave

  private:
    bool fill(int timeoutMs);
    QTcpSocket socket_;
    QByteArray buffer_, received_;
    QList<QByteArray> reads_;
};

struct Post {
    int ok = 0;
    QByteArray body;
    std::string error;
};
// HttpPost to 127.0.0.1:port/path.
Post PostTo(quint16 port, const QByteArray& path, const QByteArray& body = {},
            const std::string& user = "admin", const std::string& password = "739184");

QByteArray Attr(const QByteArray& doc, const char* name);  // first such attribute, or empty
QByteArray Decode(const QByteArray& base64);  // CR and LF left out; empty when not valid
QByteArray BasicAuth(const QByteArray& pair = "admin:739184");

// Long-port requests as the tool's long template writes them.
QByteArray Request(const QByteArray& name, const QByteArray& body,
                   const QByteArray& authorization = BasicAuth());
QByteArray SubscribeBody(const QList<QByteArray>& types = {"VFD_MATCH", "VFD", "PEA", "VEHICLE"});
QByteArray FollowUpBody(const QByteArray& address);
// Subscribes; the serverAddress of a 200 answer, empty on any fault.
QByteArray Subscribe(Client& client, const QByteArray& body = SubscribeBody());

// A device that pushes nothing.
inline SimulatorOptions Quiet() {
    SimulatorOptions o;
    o.eventCount = 0;
    return o;
}

// A count the running simulator keeps, e.g. &DeviceSimulator::eventsPushed.
int Ask(SimulatorThread& sim, int (DeviceSimulator::*what)() const);
