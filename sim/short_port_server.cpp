#include "sim/short_port_server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QUrl>

#include "sim/sim_xml.h"
#include "sim/traffic_recorder.h"

namespace {

// The request target as the client wrote it: path and query, still percent-encoded.
QByteArray RequestTarget(const QHttpServerRequest& request) {
    const QUrl url = request.url();
    QByteArray target = url.path(QUrl::FullyEncoded).toUtf8();
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    return target;
}

}  // namespace

void ShortPortServer::send(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                           const QByteArray& contentType, const QByteArray& body,
                           const QList<QPair<QByteArray, QByteArray>>& headers) {
    QHttpServerResponse response(contentType, body,
                                 static_cast<QHttpServerResponse::StatusCode>(status));
    for (const auto& [name, value] : headers)
        response.addHeader(name, value);
    response.write(makeResponder(request, socket));
}

QByteArray UnauthorizedPage() {
    return "<!DOCTYPE html>\n<html><head><title>401 Unauthorized</title></head>\n"
           "<body><h1>401 Unauthorized</h1><p>The user name or password is wrong.</p></body>"
           "</html>\n";
}

ShortPortServer::ShortPortServer(DeviceAuth* auth, DeviceInterfaces* interfaces, QObject* parent)
    : QAbstractHttpServer(parent), auth_(auth), interfaces_(interfaces) {}

bool ShortPortServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    ++requests_;
    if (recorder_ != nullptr) {
        QByteArray record = "POST " + RequestTarget(request) + " HTTP/1.1\r\n";
        if (request.method() != QHttpServerRequest::Method::Post)
            record.replace(0, 4, "(not POST)");
        for (const auto& [name, value] : request.headers())
            record += name + ": " + value + "\r\n";
        recorder_->recordShortRequest(record + "\r\n" + request.body());
    }
    if (request.method() != QHttpServerRequest::Method::Post) {
        send(request, socket, 405, kSimXmlContentType,
             ConfigDocument({}, "failed", 405, "Only POST is served"), {{"Allow", "POST"}});
        return true;
    }
    const QByteArray target = RequestTarget(request);
    const auto verdict = auth_->check("POST", target, request.value("Authorization"));
    if (verdict != DeviceAuth::Verdict::Accepted) {
        QList<QPair<QByteArray, QByteArray>> headers;
        for (const QByteArray& c : auth_->challenges(verdict == DeviceAuth::Verdict::Stale)) {
            headers.append({"WWW-Authenticate", c});
        }
        send(request, socket, 401, "text/html; charset=UTF-8", UnauthorizedPage(), headers);
        return true;
    }
    QString password = auth_->password();
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8().mid(1);
    const SimAnswer answer = interfaces_->handle(path, request.body(), &password);
    if (password != auth_->password())
        auth_->setPassword(password);
    send(request, socket, answer.status, answer.contentType, answer.body);
    return true;
}

void ShortPortServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    send(request, socket, 404, kSimXmlContentType,
         ConfigDocument({}, "failed", 404, "Unknown interface"));
}
