#include "cli/device_access.h"

#include "devices/device_list.h"
#include "devices/password_store.h"

bool LookUpDevice(const std::string& name, RememberedDevice& device, std::string& error) {
    const DeviceList list;
    const DeviceRecord* record = list.Find(name);
    if (record == nullptr) {
        error = "no remembered device \"" + name + "\" in " + DeviceList::FilePath() +
                " (tessaly-cli devices lists them)";
        return false;
    }
    device = {record->address, record->user, record->longPort, record->shortPort, record->tls};
    return true;
}

StoredPassword ReadStoredPassword(const std::string& key, std::string& password,
                                  std::string& reason) {
    const KeychainResult result = ReadPasswordNow(key);
    switch (result.status) {
        case KeychainStatus::Ok:
            password = result.password;
            return StoredPassword::Found;
        case KeychainStatus::NotFound:
            return StoredPassword::None;
        case KeychainStatus::Unavailable:
            break;
    }
    reason = result.error;
    return StoredPassword::NoKeychain;
}

bool RememberedDeviceLabels(std::vector<std::string>& labels, std::string& error) {
    (void)error;
    const DeviceList list;
    for (const DeviceRecord& record : list.Devices())
        labels.push_back(DeviceLabel(record));
    return true;
}
