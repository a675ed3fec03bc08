#pragma once

#include <string>

// A device the user worked with: where it is and who logs in. Its password is never part of
// it; the keychain keeps that under DeviceKey.
struct DeviceRecord {
    std::string name;      // given by the user; "" when none
    std::string address;   // IP address as typed; never empty in a list
    std::string user;      // user name; may be empty
    std::string longPort;  // port texts as typed
    std::string shortPort;
    bool tls = false;  // both connections use TLS

    bool operator==(const DeviceRecord&) const = default;
};

// "user@address": the identity of a device in the list and the name of its password in the
// keychain. The ports and the TLS flag are not part of it, so a device that moved to other
// ports stays one entry. An empty user gives "@address".
std::string DeviceKey(const DeviceRecord& record);

// The line the window's menu and `tessaly-cli devices` show, e.g.
// "Lab: admin@192.168.1.64, long port 8080, short port 80, TLS" (no "Lab: " without a name).
std::string DeviceLabel(const DeviceRecord& record);
