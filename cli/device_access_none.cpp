// A tessaly-cli built without Qt has no device list and no keychain.
#include "cli/device_access.h"

namespace {
const char kNoDevices[] = "this tessaly-cli was built without the device list (Qt)";
}

bool LookUpDevice(const std::string& name, RememberedDevice& device, std::string& error) {
    (void)name, (void)device;
    error = kNoDevices;
    return false;
}

StoredPassword ReadStoredPassword(const std::string& key, std::string& password,
                                  std::string& reason) {
    (void)key, (void)password;
    reason = kNoDevices;
    return StoredPassword::NoKeychain;
}

bool RememberedDeviceLabels(std::vector<std::string>& labels, std::string& error) {
    (void)labels;
    error = kNoDevices;
    return false;
}
