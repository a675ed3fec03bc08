#pragma once

#include <string>
#include <vector>

// The devices that the window remembers, for --device and the devices command. A build with
// the devices library reads its list and the keychain; a build without Qt has neither, and
// every call fails saying so. Main thread only.

// A remembered device as --device applies it.
struct RememberedDevice {
    std::string address, user, longPort, shortPort;
    bool tls = false;
};

// The device called `name` (a name the user gave, "user@address", or an address that only
// one device has). False with the reason in `error` when there is none.
bool LookUpDevice(const std::string& name, RememberedDevice& device, std::string& error);

// What the keychain holds for a device.
enum class StoredPassword {
    Found,
    None,        // no password is stored for it
    NoKeychain,  // no keychain answered; `reason` says why
};

// The keychain's password of the device key ("user@address"), waiting for its answer.
StoredPassword ReadStoredPassword(const std::string& key, std::string& password,
                                  std::string& reason);

// One line per remembered device, most recently used first (see DeviceLabel). False with the
// reason in `error` when there is no list to read.
bool RememberedDeviceLabels(std::vector<std::string>& labels, std::string& error);
