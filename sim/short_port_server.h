#pragma once

#include <QAbstractHttpServer>

#include "sim/device_auth.h"
#include "sim/device_interfaces.h"

class TrafficRecorder;

// The simulated device's short port: HTTP/1.1 POST requests, one answer each, authorised by
// Basic and/or Digest. Lives in the thread that created it.
class ShortPortServer : public QAbstractHttpServer {
    Q_OBJECT
  public:
    ShortPortServer(DeviceAuth* auth, DeviceInterfaces* interfaces, QObject* parent = nullptr);

    // Number of requests answered so far (any status).
    int requestCount() const { return requests_; }

    // Where every request received is recorded from now on (null: nowhere); it must outlive
    // this server.
    void setRecorder(TrafficRecorder* recorder) { recorder_ = recorder; }

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    static void send(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                     const QByteArray& contentType, const QByteArray& body,
                     const QList<QPair<QByteArray, QByteArray>>& headers = {});

    DeviceAuth* auth_;
    DeviceInterfaces* interfaces_;
    TrafficRecorder* recorder_ = nullptr;
    int requests_ = 0;
};

// The short HTML page of a 401 answer.
QByteArray UnauthorizedPage();
