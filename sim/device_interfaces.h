#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// One answer of the short port: HTTP status, content type and body.
struct SimAnswer {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// What an interface of the simulated device does with a request.
enum class SimInterfaceKind {
    Get,             // answers its current setting
    Set,             // stores the children of the body's config for its Get partner
    Action,          // answers success (a body, when sent, must be XML)
    ModifyPassword,  // changes the password the device accepts
};

// One interface the device knows.
struct SimInterface {
    QByteArray name;
    SimInterfaceKind kind = SimInterfaceKind::Action;
    QByteArray partner;   // Get: the Set that writes it; Set: the Get it writes; else empty
    QByteArray defaults;  // Get: the children of config it answers until a Set replaces them
};

// The interfaces of the simulated device (the 37 of the tool's catalogue and every Set
// partner) and their stored settings, kept per interface and channel.
class DeviceInterfaces {
  public:
    DeviceInterfaces();

    // Every interface the device knows, Gets first with their Set partners, then actions.
    static const QList<SimInterface>& table();

    // The interface of that name; null when the device does not know it.
    static const SimInterface* find(const QByteArray& name);

    // Handles POST /<path> (path without the leading "/": "<Interface>[/<channel>][/Up]")
    // with body. password is the password the device accepts; ModifyPassword may change it.
    // Unknown interfaces and malformed paths give 404, a body that is not the XML needed 400.
    SimAnswer handle(const QByteArray& path, const QByteArray& body, QString* password);

    // The children of config that a Get of that interface and channel ("" for none) answers
    // now; null for a name that is not a Get.
    QByteArray setting(const QByteArray& getName, const QByteArray& channel = {}) const;

  private:
    QHash<QByteArray, QByteArray> stored_;  // "<GetName>/<channel>" -> children of config
};

// The XML content type of every answer.
inline constexpr const char kSimXmlContentType[] = "application/xml; charset=UTF-8";
