#include "sim/long_session.h"

#include <QDateTime>
#include <QTcpSocket>

#include "sim/device_auth.h"
#include "sim/device_interfaces.h"
#include "sim/push_events.h"
#include "sim/short_port_server.h"
#include "sim/sim_xml.h"
#include "sim/traffic_recorder.h"

namespace {

QByteArray ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        default:
            return "Error";
    }
}

// The smart types listed in config/subscribeList/item of a SetSubscribe body.
QStringList SubscribedTypes(const QByteArray& body) {
    QStringList types;
    for (const QByteArray& item : ElementTexts(body, {"config", "subscribeList", "item"})) {
        types << QString::fromUtf8(item.trimmed());
    }
    return types;
}

}  // namespace

LongSession::LongSession(QTcpSocket* socket, LongPortContext* context, QObject* parent)
    : QObject(parent), socket_(socket), context_(context) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &LongSession::onReadyRead);
    connect(socket_, &QTcpSocket::bytesWritten, this, &LongSession::onBytesWritten);
    connect(socket_, &QTcpSocket::disconnected, this, &LongSession::onDisconnected);
    connect(&rateTimer_, &QTimer::timeout, this, &LongSession::pushNext);
    pieceTimer_.setSingleShot(true);
    connect(&pieceTimer_, &QTimer::timeout, this, &LongSession::pump);
}

LongSession::~LongSession() = default;

bool LongSession::isPushing() const {
    return !address_.isEmpty() && !kinds_.isEmpty() && pushed_ < context_->options->eventCount;
}

void LongSession::onReadyRead() {
    if (closing_) {
        socket_->readAll();  // the connection is being closed: input is dropped
        return;
    }
    parser_.feed(socket_->readAll());
    LongRequest request;
    for (;;) {
        const auto state = parser_.next(&request);
        if (state == LongRequestParser::State::NeedMore)
            return;
        if (state == LongRequestParser::State::Malformed) {
            // Events already queued go out whole, then the answer, then the connection closes
            // (see pump).
            stopPushing();
            closing_ = true;
            answer(400, ConfigDocument({}, "failed", 400, "Malformed request"), kSimXmlContentType);
            return;
        }
        handle(request);
    }
}

void LongSession::handle(const LongRequest& request) {
    const SimulatorOptions& o = *context_->options;
    const DeviceAuth::Verdict verdict = context_->auth->check(
        request.method, request.target, request.headers.value("authorization"), o.longAuth);
    if (verdict != DeviceAuth::Verdict::Accepted) {
        QList<QByteArray> headers;
        for (const QByteArray& challenge : context_->auth->challenges(
                 verdict == DeviceAuth::Verdict::Stale, o.longAuth, o.digestAlgorithms))
            headers << "WWW-Authenticate: " + challenge;
        answer(401, UnauthorizedPage(), "text/html; charset=UTF-8", headers);
        return;
    }
    const QByteArray name = request.target.mid(1);
    const auto failed = [this](int status, const QByteArray& desc) {
        answer(status, ConfigDocument({}, "failed", status, desc), kSimXmlContentType);
    };
    const bool followUp =
        name == "RenewSubscribe" || name == "GetSubscribeInfo" || name == "CancelSubscribe";
    if (name != "SetSubscribe" && !followUp) {
        failed(404, "Unknown interface");
        return;
    }
    if (!request.body.isEmpty() && RootElementName(request.body) != "config") {
        failed(400, "The body is not a config document");
        return;
    }
    const QByteArray renew =
        "\n\t<renewTime type=\"uint32\">" + QByteArray::number(kSimRenewSeconds) + "</renewTime>\n";
    if (name == "SetSubscribe") {
        address_ = "http://127.0.0.1:" + QByteArray::number(context_->port) + "/Subscribers/" +
                   QByteArray::number(context_->nextSubscription++);
        answer(200,
               ConfigDocument("\n\t<serverAddress type=\"string\">" + Cdata(address_) +
                              "</serverAddress>" + renew),
               kSimXmlContentType);
        startPushing(SubscribedTypes(request.body));
        return;
    }
    const QByteArray given = ElementText(request.body, {"config", "serverAddress"}).trimmed();
    if (address_.isEmpty() || given != address_) {
        failed(400, "Unknown serverAddress");
        return;
    }
    if (name == "GetSubscribeInfo") {
        answer(200,
               ConfigDocument("\n\t<serverAddress type=\"string\">" + Cdata(address_) +
                              "</serverAddress>" + renew),
               kSimXmlContentType);
    } else if (name == "RenewSubscribe") {
        answer(200, ConfigDocument(renew), kSimXmlContentType);
    } else {
        stopPushing();
        address_.clear();
        answer(200, ConfigDocument({}), kSimXmlContentType);
    }
}

void LongSession::answer(int status, const QByteArray& body, const QByteArray& contentType,
                         const QList<QByteArray>& extraHeaders) {
    QByteArray message = "HTTP/1.1 " + QByteArray::number(status) + " " + ReasonPhrase(status) +
                         "\r\nContent-Type: " + contentType +
                         "\r\nContent-Length: " + QByteArray::number(body.size()) +
                         "\r\nConnection: keep-alive\r\n";
    for (const QByteArray& header : extraHeaders)
        message += header + "\r\n";
    message += "\r\n" + body;
    queue({message});  // an answer is always one write
}

void LongSession::startPushing(const QStringList& subscribed) {
    stopPushing();
    const SimulatorOptions& o = *context_->options;
    kinds_.clear();
    for (const QString& kind : o.kinds) {
        if (subscribed.isEmpty() || subscribed.contains(kind))
            kinds_ << kind;
    }
    kindIndex_ = 0;
    pushed_ = 0;
    if (!isPushing())
        return;
    if (o.eventRate > 0) {
        const double perTick = o.writeMode == SimWriteMode::Pairs ? 2.0 : 1.0;
        rateTimer_.start(qMax(1, int(1000.0 * perTick / o.eventRate)));
    } else {
        schedulePush();
    }
}

void LongSession::schedulePush() {
    if (pushScheduled_)
        return;  // one chain of immediate pushes at a time
    pushScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        pushScheduled_ = false;
        pushNext();
    });
}

void LongSession::stopPushing() {
    rateTimer_.stop();
    kinds_.clear();
    waitingForDrain_ = false;
}

void LongSession::pushNext() {
    if (!isPushing()) {
        rateTimer_.stop();
        return;
    }
    if (backlog() > kSimLongBacklogBytes) {
        waitingForDrain_ = true;  // resumed by onBytesWritten
        return;
    }
    const SimulatorOptions& o = *context_->options;
    const int left = o.eventCount - pushed_;
    const int events = o.writeMode == SimWriteMode::Pairs && left >= 2 ? 2 : 1;
    QList<QByteArray> messages;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < events; ++i) {
        const QString kind = kinds_[kindIndex_++ % kinds_.size()];
        const PushedEvent event = BuildPushedEvent(o, kind, context_->nextSequence++, now);
        if (context_->recorder != nullptr) {
            for (const PushedPicture& p : event.pictures) {
                context_->recorder->recordPicture(event.sequence, p.kind, p.jpeg);
            }
        }
        messages << event.message;
        ++pushed_;
        emit eventPushed(event.sequence, kind);
    }
    queue(CutIntoWrites(messages, o.writeMode, o.pieceBytes));
    if (!isPushing()) {
        rateTimer_.stop();
    } else if (o.eventRate <= 0) {
        schedulePush();
    }
}

void LongSession::queue(const QList<QByteArray>& writes) {
    for (const QByteArray& w : writes) {
        pending_.append(w);
        pendingBytes_ += w.size();
    }
    pump();
}

void LongSession::pump() {
    // One write goes to the socket only when the one before it has left Qt's buffer, so the
    // cuts between writes reach the network as they were made.
    while (!pending_.isEmpty() && socket_->bytesToWrite() == 0 && !pieceTimer_.isActive() &&
           socket_->state() == QAbstractSocket::ConnectedState) {
        const QByteArray w = pending_.takeFirst();
        pendingBytes_ -= w.size();
        socket_->write(w);
        if (context_->recorder != nullptr)
            context_->recorder->recordSent(w);
        socket_->flush();
        const int interval = context_->options->pieceIntervalMs;
        if (context_->options->writeMode == SimWriteMode::Pieces && interval > 0) {
            pieceTimer_.start(interval);
        }
    }
    if (closing_ && pending_.isEmpty() && socket_->state() == QAbstractSocket::ConnectedState) {
        socket_->disconnectFromHost();  // Qt still writes what it holds before closing
    }
}

void LongSession::onBytesWritten() {
    pump();
    if (waitingForDrain_ && backlog() <= kSimLongBacklogBytes / 2) {
        waitingForDrain_ = false;
        if (context_->options->eventRate <= 0)
            schedulePush();
    }
}

qint64 LongSession::backlog() const {
    return pendingBytes_ + socket_->bytesToWrite();
}

void LongSession::onDisconnected() {
    connected_ = false;
    stopPushing();
    pieceTimer_.stop();
    pending_.clear();
    pendingBytes_ = 0;
    emit closed();
    deleteLater();
}
