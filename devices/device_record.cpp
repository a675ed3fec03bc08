#include "devices/device_record.h"

std::string DeviceKey(const DeviceRecord& record) {
    return record.user + "@" + record.address;
}

std::string DeviceLabel(const DeviceRecord& record) {
    std::string label = record.name.empty() ? std::string() : record.name + ": ";
    label +=
        DeviceKey(record) + ", long port " + record.longPort + ", short port " + record.shortPort;
    if (record.tls)
        label += ", TLS";
    return label;
}
