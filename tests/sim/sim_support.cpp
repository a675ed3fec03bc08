#include "sim_support.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include "request/http_post.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"

Client::Client(quint16 port) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    socket_.waitForConnected(5000);
}

bool Client::send(const QByteArray& bytes) {
    socket_.write(bytes);
    while (socket_.bytesToWrite() > 0) {
        if (!socket_.waitForBytesWritten(5000))
            return false;
    }
    return socket_.state() == QAbstractSocket::ConnectedState;
}

bool Client::read(Message* m, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
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

bool Client::fill(int timeoutMs) {
    if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(timeoutMs))
        return false;
    const QByteArray bytes = socket_.readAll();
    buffer_ += bytes;
    received_ += bytes;
    reads_ << bytes;
    return true;
}

Post PostTo(quint16 port, const QByteArray& path, const QByteArray& body, const std::string& user,
            const std::string& password) {
    Post p;
    std::string response;
    p.ok = HttpPost("127.0.0.1", std::to_string(port), user, password, path.toStdString(),
                    body.toStdString(), response, p.error);
    p.body = QByteArray::fromStdString(response);
    return p;
}

QByteArray Attr(const QByteArray& doc, const char* name) {
    const QRegularExpression re(QString(" %1=\"([^\"]*)\"").arg(name));
    return re.match(QString::fromUtf8(doc)).captured(1).toUtf8();
}

QByteArray Decode(const QByteArray& base64) {
    const auto r = QByteArray::fromBase64Encoding(
        QByteArray(base64).replace('\r', "").replace('\n', ""),
        QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    return r ? r.decoded : QByteArray();
}

QByteArray BasicAuth(const QByteArray& pair) {
    return "Basic " + pair.toBase64();
}

QByteArray Request(const QByteArray& name, const QByteArray& body,
                   const QByteArray& authorization) {
    return "POST /" + name + " HTTP/1.1\r\nAuthorization: " + authorization +
           "\r\nUser-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
           QByteArray::number(body.size()) +
           "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" + body;
}

QByteArray SubscribeBody(const QList<QByteArray>& types) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\"><subscribeFlag>"
           "BASE_SUBSCRIBE</subscribeFlag><subscribeList type=\"list\"><item>" +
           types.join("</item><item>") + "</item></subscribeList></config>";
}

QByteArray FollowUpBody(const QByteArray& address) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\"><serverAddress>"
           "<![CDATA[" +
           address + "]]></serverAddress><renewTime>300</renewTime></config>";
}

QByteArray Subscribe(Client& client, const QByteArray& body) {
    Message m;
    if (!client.send(Request("SetSubscribe", body)) || !client.read(&m) ||
        !m.firstLine.startsWith("HTTP/1.1 200"))
        return {};
    return ElementText(m.body, {"config", "serverAddress"});
}

int Ask(SimulatorThread& sim, int (DeviceSimulator::*what)() const) {
    int n = -1;
    sim.invoke([&](DeviceSimulator& d) { n = (d.*what)(); });
    return n;
}
