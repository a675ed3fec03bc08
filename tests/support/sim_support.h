// Helpers of the simulator tests: a blocking loopback client, long-port requests, posts.
#pragma once

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <string>

#include "request/http_post.h"
#include "sim/device_simulator.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"

// One HTTP message as received; head ends with the blank line; contentLength -1: no header.
struct Message {
    QByteArray firstLine, head, body;
    int contentLength = -1;
};

// A blocking TCP client of 127.0.0.1; every wait has a time limit.
class Client {
  public:
    explicit Client(quint16 port) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        socket_.waitForConnected(5000);
    }
    // False when the connection takes no more.
    bool send(const QByteArray& bytes) {
        socket_.write(bytes);
        while (socket_.bytesToWrite() > 0)
            if (!socket_.waitForBytesWritten(5000))
                return false;
        return socket_.state() == QAbstractSocket::ConnectedState;
    }
    // The next message framed by its Content-Length; false when none is whole in time.
    bool read(Message* m, int timeoutMs = 5000) {
        QElapsedTimer timer;
        for (timer.start();;) {
            const qsizetype headEnd = buffer_.indexOf("\r\n\r\n") + 4;
            if (headEnd >= 4) {
                m->head = buffer_.left(headEnd);
                m->firstLine = m->head.left(m->head.indexOf("\r\n"));
                const auto cl = QRegularExpression("\r\nContent-Length: (\\d+)\r\n").match(m->head);
                m->contentLength = cl.hasMatch() ? cl.captured(1).toInt() : -1;
                if (buffer_.size() >= headEnd + qMax(0, m->contentLength)) {
                    m->body = buffer_.mid(headEnd, qMax(0, m->contentLength));
                    buffer_.remove(0, headEnd + m->body.size());
                    return true;
                }
            }
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || !fill(left))
                return false;
        }
    }
    bool anythingWithin(int ms) { return !buffer_.isEmpty() || fill(ms); }
    QByteArray received;      // every byte so far
    QList<QByteArray> reads;  // what each recv gave

  private:
    bool fill(int timeoutMs) {
        if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(timeoutMs))
            return false;
        const QByteArray bytes = socket_.readAll();
        buffer_ += bytes;
        received += bytes;
        reads << bytes;
        return true;
    }
    QTcpSocket socket_;
    QByteArray buffer_;
};

// HttpPost to 127.0.0.1:port/path: the answer's body, "(failed)" when the transfer failed.
inline QByteArray PostTo(quint16 port, const QByteArray& path, const QByteArray& body = {},
                         const std::string& user = "admin",
                         const std::string& password = "739184") {
    const HttpOutcome got = HttpPost("127.0.0.1", std::to_string(port), user, password,
                                     path.toStdString(), body.toStdString());
    return got.completed ? QByteArray::fromStdString(got.body) : QByteArray("(failed)");
}

// The first such attribute, or empty.
inline QByteArray Attr(const QByteArray& doc, const char* name) {
    const QRegularExpression re(QString(" %1=\"([^\"]*)\"").arg(name));
    return re.match(QString::fromUtf8(doc)).captured(1).toUtf8();
}

inline QByteArray BasicAuth(const QByteArray& pair = "admin:739184") {
    return "Basic " + pair.toBase64();
}

// A long-port request as the tool's long template writes it.
inline QByteArray Request(const QByteArray& name, const QByteArray& body,
                          const QByteArray& authorization = BasicAuth()) {
    return "POST /" + name + " HTTP/1.1\r\nAuthorization: " + authorization +
           "\r\nUser-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
           QByteArray::number(body.size()) +
           "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" + body;
}

inline QByteArray SubscribeBody(const QList<QByteArray>& types = {"VFD_MATCH", "VFD", "PEA",
                                                                  "VEHICLE"}) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\"><subscribeFlag>"
           "BASE_SUBSCRIBE</subscribeFlag><subscribeList type=\"list\"><item>" +
           types.join("</item><item>") + "</item></subscribeList></config>";
}

inline QByteArray FollowUpBody(const QByteArray& address) {
    return "<config version=\"1.0\"><serverAddress><![CDATA[" + address +
           "]]></serverAddress><renewTime>300</renewTime></config>";
}

// Subscribes; the serverAddress of a 200 answer, empty on any fault.
inline QByteArray Subscribe(Client& client, const QByteArray& body = SubscribeBody()) {
    Message m;
    if (!client.send(Request("SetSubscribe", body)) || !client.read(&m) ||
        !m.firstLine.startsWith("HTTP/1.1 200"))
        return {};
    return ElementText(m.body, {"config", "serverAddress"});
}

// A count the running simulator keeps, e.g. &DeviceSimulator::eventsPushed.
inline int Ask(SimulatorThread& sim, int (DeviceSimulator::*what)() const) {
    int n = -1;
    sim.invoke([&](DeviceSimulator& d) { n = (d.*what)(); });
    return n;
}
